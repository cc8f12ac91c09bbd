#pragma once
// The codecs behind the picture API: whole files in memory to frames of
// straight-alpha BGRA pixels and back. Each decoder bounds the picture's size
// before it allocates, and reports a damaged file as failure.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picture {

// Larger pictures are refused: they would not fit a bitmap anyway.
constexpr int kMaxSide = 32767;
constexpr int64_t kMaxPixels = int64_t(1) << 28;

bool SizeAllowed(int64_t width, int64_t height);

struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height, top-down, 0xAARRGGBB
};

enum class Format { Unknown, Bmp, Jpeg, Png, Gif, Tiff, MemoryBmp };

// The format whose signature starts the data.
Format Sniff(const uint8_t* data, size_t size);

// Each answers false for a damaged or unsupported file; frames then holds nothing.
bool DecodeBmpFile(const uint8_t* data, size_t size, std::vector<Frame>& frames);
bool DecodePng(const uint8_t* data, size_t size, std::vector<Frame>& frames);
bool DecodeJpeg(const uint8_t* data, size_t size, std::vector<Frame>& frames);
bool DecodeGif(const uint8_t* data, size_t size, std::vector<Frame>& frames);
bool DecodeTiff(const uint8_t* data, size_t size, std::vector<Frame>& frames);

bool EncodeBmpFile(const Frame& frame, std::vector<uint8_t>& out);
bool EncodePng(const Frame& frame, std::vector<uint8_t>& out);
bool EncodeJpeg(const Frame& frame, std::vector<uint8_t>& out);
bool EncodeGif(const Frame& frame, std::vector<uint8_t>& out);
bool EncodeTiff(const Frame& frame, std::vector<uint8_t>& out);

}  // namespace picture
