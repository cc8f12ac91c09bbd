#pragma once
// A BLOB stored raw or as a chain of independently compressed blocks in an
// underlying stream, presented as an ordinary random-access stream of its
// uncompressed bytes.
//
// Stored format (little-endian, no padding):
//   raw BLOB:        UncompressedSize bytes at StartPosition, no headers.
//   compressed BLOB: NumBlocks x (20-byte TABSCompressedStreamBlockHeader,
//                    then CompressedSize bytes of CompressBuffer output); the
//                    first header at StartPosition, each next one at the
//                    previous one's offset plus its OffsetToNextHeader. Block k
//                    holds the uncompressed bytes from k x BlockSize; every
//                    block but the last is full.
// Where the BLOB starts and how it is cut and compressed is the 32-byte
// TABSBLOBDescriptor that the owner stores with the record; the stream keeps
// its copy current, and the owner reads it back after changing the BLOB.
//
// Compressed BLOBs change only at their end: a write appends (re-compressing
// the partial last block in place), SetSize extends with zeros or cuts.
// Every failure raises EABSException.

#include <cstdint>
#include <vector>

#include "db/support/DAZCompression.h"
#include "db/support/DAZStreams.h"

struct TABSBLOBDescriptor {
  static constexpr int StoredSize = 32;

  int32_t BlockSize = 0;         // uncompressed bytes per block (0 when new: the mode's default)
  int64_t NumBlocks = 0;         // blocks in the chain
  int64_t UncompressedSize = 0;  // bytes of the BLOB's data
  int64_t StartPosition = 0;     // first header (raw: first data byte) in the underlying stream
  TABSCompressionAlgorithm CompressionAlgorithm = acaNone;
  uint8_t CompressionMode = 0;
  uint16_t Reserved = 0;

  // 0 BlockSize i32 | 4 NumBlocks i64 | 12 UncompressedSize i64 | 20 StartPosition i64 |
  // 28 CompressionAlgorithm u8 | 29 CompressionMode u8 | 30 Reserved u16
  void EncodeTo(uint8_t* Dst) const;
  static TABSBLOBDescriptor DecodeFrom(const uint8_t* Src);
};

// Block size of a new BLOB by compression mode: 100 KB for mode 0, then 512 KB,
// 1 MB and 1.5 MB for modes 1-3, 4-6 and 7 upwards.
int32_t DefaultBLOBBlockSize(uint8_t CompressionMode);

// The in-memory index of a chain: each block's header and its offset in the
// underlying stream. Items and Positions always have AllocItemCount entries,
// of which the first ItemCount are in use.
class TABSCompressedStreamBlockHeadersArray {
 public:
  TABSCompressedStreamBlockHeadersArray() = default;
  ~TABSCompressedStreamBlockHeadersArray() { SetSize(0); }

  // Grows capacity in steps that double up to MaxAllocBy; gives memory back
  // only when the spare room exceeds DeAllocBy. Kept entries keep their values.
  void SetSize(int64_t NewSize);
  void AppendItem(const TABSCompressedStreamBlockHeader& Value, int64_t Pos);
  // Index of the last header at or before Pos (0 for an empty array).
  int FindPosition(int64_t Pos) const;

  int64_t AllocBy = 10;
  int64_t DeAllocBy = 10;
  int64_t MaxAllocBy = 10000;
  int64_t AllocItemCount = 0;
  std::vector<TABSCompressedStreamBlockHeader> Items;
  std::vector<int64_t> Positions;
  int64_t ItemCount = 0;
};

class TABSCompressedBLOBStream : public TABSStream {
 public:
  // Opens (or with ToCreate starts) the BLOB that BLOBDescriptor places in
  // Stream, which the caller keeps owning. ToRepair accepts a chain that ends
  // early or with a damaged header, keeping the whole blocks before it.
  TABSCompressedBLOBStream(TStream& Stream, const TABSBLOBDescriptor& BLOBDescriptor, bool ToCreate,
                           bool ToRepair = false);

  int64_t Read(void* Buffer, int64_t Count) override;
  // Compressed BLOBs take writes at or past their end only (a gap is filled
  // with zeros); a write inside the data raises 10084.
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return FUncompressedSize; }
  void SetSize(int64_t NewSize) override;

  TStream& CompressedStream() const { return FCompressedStream; }
  TABSCompressionAlgorithm CompressionAlgorithm() const { return FCompressionAlgorithm; }
  uint8_t CompressionMode() const { return FCompressionMode; }
  // Percent saved by compression (0 for raw or empty BLOBs).
  double CompressionRate() { return GetCompressionRate(); }
  double GetCompressionRate();
  // The size of the whole underlying stream.
  int64_t CompressedSize() { return GetCompressedSize(); }
  int64_t GetCompressedSize();
  const TABSBLOBDescriptor& BLOBDescriptor() const { return FBLOBDescriptor; }
  const TABSCompressedStreamBlockHeadersArray& Headers() const { return FHeaders; }

 private:
  bool Compressed() const { return FCompressionAlgorithm != acaNone; }
  void LoadHeaders();
  std::vector<uint8_t> ReadBlock(int64_t Index);
  std::vector<uint8_t> CompressBlock(const uint8_t* Data, int32_t Count, TABSCompressedStreamBlockHeader& Header);
  void WriteCurrentBlock(const uint8_t* Data, int32_t Count);
  using TWriteChecked = void (*)(const void* Buffer, int64_t Count, TStream& Stream, int NativeError);
  void WriteHeaderAndData(const TABSCompressedStreamBlockHeader& Header, const std::vector<uint8_t>& Data,
                          TWriteChecked WriteChecked, int HeaderError, int DataError);
  int64_t AppendCompressed(const uint8_t* Buffer, int64_t Count);
  void Extend(int64_t NewSize);
  void Shrink(int64_t NewSize);
  void CalcSizesAndRate();

  bool FRepair;
  TABSCompressedStreamBlockHeadersArray FHeaders;
  int64_t FUncompressedSize = 0;
  int64_t FCompressedSize = 0;
  int64_t FStartPosition = 0;
  int64_t FCurrentHeader = 0;
  int64_t FPosition = 0;
  uint8_t FCompressionMode;
  TABSCompressionAlgorithm FCompressionAlgorithm;
  double FCompressionRate = 0;
  TStream& FCompressedStream;
  TABSBLOBDescriptor FBLOBDescriptor;
};
