#include "platform/gdi/BmpFile.h"

#include <cstring>

#include "platform/gdi/GdiInternal.h"

namespace {

constexpr DWORD kInfoHeaderSizes[] = {40, 52, 56, 108, 124};
constexpr int kMaxDimension = 32767;

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}

HBITMAP Fail(std::string* error, const char* why) {
  if (error) *error = why;
  return nullptr;
}

}  // namespace

HBITMAP DecodeBmp(const uint8_t* data, size_t size, std::string* error) {
  if (!data || size < kBmpFileHeaderSize + 4) return Fail(error, "BMP file is truncated");
  if (U16(data) != kBmpSignature) return Fail(error, "Not a BMP file");
  const uint32_t offBits = U32(data + 10);
  const uint8_t* ih = data + kBmpFileHeaderSize;
  const uint32_t headerSize = U32(ih);
  bool knownHeader = false;
  for (DWORD s : kInfoHeaderSizes) knownHeader |= s == headerSize;
  if (!knownHeader) return Fail(error, "Unsupported BMP header");
  if (size - kBmpFileHeaderSize < headerSize) return Fail(error, "BMP file is truncated");

  BITMAPINFO256 bi;
  BITMAPINFOHEADER& h = bi.bmiHeader;
  h.biWidth = int32_t(U32(ih + 4));
  h.biHeight = int32_t(U32(ih + 8));
  h.biPlanes = U16(ih + 12);
  h.biBitCount = U16(ih + 14);
  h.biCompression = U32(ih + 16);
  h.biClrUsed = U32(ih + 32);
  const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
  if (h.biWidth <= 0 || height == 0 || h.biWidth > kMaxDimension || height > kMaxDimension)
    return Fail(error, "Invalid BMP size");
  if (h.biPlanes != 1) return Fail(error, "Invalid BMP header");
  const int bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return Fail(error, "Unsupported BMP bit depth");

  size_t tableEnd = kBmpFileHeaderSize + headerSize;
  if (h.biCompression == BI_BITFIELDS) {
    if (bpp != 16 && bpp != 32) return Fail(error, "Invalid BMP header");
    // The masks sit inside the longer headers, or follow the 40-byte one.
    const uint8_t* masks = ih + 40;
    if (headerSize == 40) {
      if (size - tableEnd < 12) return Fail(error, "BMP file is truncated");
      tableEnd += 12;
    }
    std::memcpy(bi.bmiColors, masks, 12);
  } else if (h.biCompression != BI_RGB) {
    return Fail(error, "Unsupported BMP compression");
  }
  if (bpp <= 8) {
    const uint32_t full = 1u << bpp;
    if (h.biClrUsed > full) return Fail(error, "Invalid BMP colour table");
    const uint32_t entries = h.biClrUsed ? h.biClrUsed : full;
    if ((size - tableEnd) / 4 < entries) return Fail(error, "BMP file is truncated");
    std::memcpy(bi.bmiColors, data + tableEnd, size_t(entries) * 4);
    tableEnd += size_t(entries) * 4;
    h.biClrUsed = entries;
  }
  const size_t stride = size_t(DibStride(h.biWidth, bpp));
  const size_t image = stride * size_t(height);
  if (offBits < tableEnd || offBits > size || size - offBits < image) return Fail(error, "BMP file is truncated");

  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return Fail(error, "Unsupported BMP layout");
  std::memcpy(bits, data + offBits, image);
  return bmp;
}

bool EncodeBmp(HBITMAP handle, std::vector<uint8_t>& out) {
  const HBITMAP__* b = gdi::As<HBITMAP__>(handle, OBJ_BITMAP);
  if (!b) return false;
  const bool masks = b->kind == PixKind::Rgb565;
  const uint32_t tableBytes = masks ? 12 : uint32_t(b->paletteSize) * 4;
  const uint32_t offBits = uint32_t(kBmpFileHeaderSize) + 40 + tableBytes;
  const uint32_t image = uint32_t(b->stride) * uint32_t(b->height);
  out.reserve(out.size() + offBits + image);
  Put16(out, kBmpSignature);
  Put32(out, offBits + image);
  Put32(out, 0);
  Put32(out, offBits);
  Put32(out, 40);
  Put32(out, uint32_t(b->width));
  Put32(out, uint32_t(b->height));  // always written bottom-up
  Put16(out, 1);
  Put16(out, uint16_t(b->bitCount));
  Put32(out, masks ? BI_BITFIELDS : BI_RGB);
  Put32(out, image);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, uint32_t(b->paletteSize));
  Put32(out, 0);
  if (masks) {
    Put32(out, 0xF800);
    Put32(out, 0x07E0);
    Put32(out, 0x001F);
  }
  for (int i = 0; i < b->paletteSize; ++i) {
    const RGBQUAD& q = b->palette[size_t(i)];
    out.insert(out.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
  }
  for (int y = b->height - 1; y >= 0; --y) {
    const uint8_t* row = b->Row(y);
    out.insert(out.end(), row, row + b->stride);
  }
  return true;
}
