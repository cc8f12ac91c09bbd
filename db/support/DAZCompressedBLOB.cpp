#include "db/support/DAZCompressedBLOB.h"

#include <algorithm>
#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

namespace {

constexpr int kHeaderSize = TABSCompressedStreamBlockHeader::StoredSize;
const char* const kPositionMessage = "Cannot set stream position to %d. Position = %d, Size = %d";
const char* const kTooSmallMessage = "Stream size = %d too small. Should be at least = %d";
const char* const kInvalidSizeMessage = "Invalid stream size = %d. Should be = %d";

// Sets the position; raises Code with the wanted position, the one reached and the size.
void SeekChecked(TStream& Stream, int Code, int64_t Position) {
  Stream.SetPosition(Position);
  const int64_t reached = Stream.Position();
  if (reached != Position) throw EABSException(Code, kPositionMessage, {Position, reached, Stream.Size()});
}

void WriteOrRaise(const void* Buffer, int64_t Count, TStream& Stream, int Code) {
  if (Stream.Write(Buffer, Count) != Count) throw EABSException(Code, "Error writing to stream");
}

}  // namespace

void TABSBLOBDescriptor::EncodeTo(uint8_t* Dst) const {
  PutLE(Dst, BlockSize);
  PutLE(Dst, NumBlocks);
  PutLE(Dst, UncompressedSize);
  PutLE(Dst, StartPosition);
  PutLE(Dst, static_cast<uint8_t>(CompressionAlgorithm));
  PutLE(Dst, CompressionMode);
  PutLE(Dst, Reserved);
}

TABSBLOBDescriptor TABSBLOBDescriptor::DecodeFrom(const uint8_t* Src) {
  TABSBLOBDescriptor d;
  d.BlockSize = GetLE<int32_t>(Src);
  d.NumBlocks = GetLE<int64_t>(Src);
  d.UncompressedSize = GetLE<int64_t>(Src);
  d.StartPosition = GetLE<int64_t>(Src);
  d.CompressionAlgorithm = static_cast<TABSCompressionAlgorithm>(GetLE<uint8_t>(Src));
  d.CompressionMode = GetLE<uint8_t>(Src);
  d.Reserved = GetLE<uint16_t>(Src);
  return d;
}

int32_t DefaultBLOBBlockSize(uint8_t CompressionMode) {
  if (CompressionMode == 0) return 102400;
  if (CompressionMode <= 3) return 524288;
  if (CompressionMode <= 6) return 1048576;
  return 1572864;
}

// ---------------------------------------------------------------------------
// Header index

void TABSCompressedStreamBlockHeadersArray::SetSize(int64_t NewSize) {
  if (NewSize <= 0) {
    Items.clear();
    Items.shrink_to_fit();
    Positions.clear();
    Positions.shrink_to_fit();
    AllocItemCount = 0;
    ItemCount = 0;
    return;
  }
  if (NewSize > AllocItemCount) {
    AllocBy = std::min(AllocBy * 2, MaxAllocBy);
    AllocItemCount = NewSize > AllocItemCount + AllocBy ? NewSize : AllocItemCount + AllocBy;
    Items.resize(static_cast<size_t>(AllocItemCount));
    Positions.resize(static_cast<size_t>(AllocItemCount));
  } else if (NewSize < ItemCount && AllocItemCount - NewSize > DeAllocBy) {
    DeAllocBy = std::min(DeAllocBy * 2, MaxAllocBy);
    AllocItemCount = NewSize;
    Items.resize(static_cast<size_t>(NewSize));
    Positions.resize(static_cast<size_t>(NewSize));
  }
  ItemCount = NewSize;
}

void TABSCompressedStreamBlockHeadersArray::AppendItem(const TABSCompressedStreamBlockHeader& Value, int64_t Pos) {
  SetSize(ItemCount + 1);
  Items[ItemCount - 1] = Value;
  Positions[ItemCount - 1] = Pos;
}

int TABSCompressedStreamBlockHeadersArray::FindPosition(int64_t Pos) const {
  if (ItemCount <= 0) return 0;
  const auto end = Positions.begin() + ItemCount;
  const auto it = std::upper_bound(Positions.begin(), end, Pos);
  return static_cast<int>(std::clamp<int64_t>((it - Positions.begin()) - 1, 0, ItemCount - 1));
}

// ---------------------------------------------------------------------------
// Opening

TABSCompressedBLOBStream::TABSCompressedBLOBStream(TStream& Stream, const TABSBLOBDescriptor& BLOBDescriptor,
                                                   bool ToCreate, bool ToRepair)
    : FRepair(ToRepair),
      FCompressionMode(BLOBDescriptor.CompressionMode),
      FCompressionAlgorithm(BLOBDescriptor.CompressionAlgorithm),
      FCompressedStream(Stream),
      FBLOBDescriptor(BLOBDescriptor) {
  SeekChecked(Stream, 10103, BLOBDescriptor.StartPosition);
  // A raw BLOB's descriptor may carry no block size; whole-stream copies still need one.
  if (BLOBDescriptor.BlockSize > 0) FBlockSize = BLOBDescriptor.BlockSize;
  FStartPosition = BLOBDescriptor.StartPosition;
  if (ToCreate) FBLOBDescriptor.UncompressedSize = 0;

  if (Compressed()) {
    if (ToCreate) {
      if (FBLOBDescriptor.BlockSize == 0) FBLOBDescriptor.BlockSize = DefaultBLOBBlockSize(FCompressionMode);
      FBLOBDescriptor.NumBlocks = 0;
    }
    FBlockSize = FBLOBDescriptor.BlockSize;
    // Every position is split by the block size: a stored 0 or less cannot be used.
    if (FBlockSize <= 0 || FBLOBDescriptor.NumBlocks < 0)
      throw EABSException(10072, "Invalid BLOB descriptor. BlockSize = %d, NumBlocks = %d",
                          {FBlockSize, FBLOBDescriptor.NumBlocks});
    LoadHeaders();
    FCurrentHeader = 0;
    FPosition = 0;
  } else {
    const int64_t reached = Stream.Position();
    if (reached != FStartPosition) throw EABSException(10079, kPositionMessage, {FStartPosition, reached, Stream.Size()});
    if (!ToCreate) {
      FUncompressedSize = FCompressedSize = BLOBDescriptor.UncompressedSize;
      const int64_t streamSize = Stream.Size();
      if (FUncompressedSize < 0 || (!FRepair && streamSize - FStartPosition < FUncompressedSize))
        throw EABSException(10081, kTooSmallMessage, {streamSize, FStartPosition + FUncompressedSize});
    }
  }
  CalcSizesAndRate();
}

void TABSCompressedBLOBStream::LoadHeaders() {
  FUncompressedSize = FCompressedSize = 0;
  TStream& s = FCompressedStream;
  const int64_t reached = s.Position();
  if (reached != FStartPosition) throw EABSException(10080, kPositionMessage, {FStartPosition, reached, s.Size()});
  FHeaders.SetSize(0);
  const int64_t streamSize = s.Size();
  for (int64_t block = 0; block < FBLOBDescriptor.NumBlocks; ++block) {
    const int64_t p = s.Position();
    // In repair mode a block is kept only when its header is sound and its data whole.
    bool whole = streamSize - p >= kHeaderSize;
    if (!whole && !FRepair) throw EABSException(10082, kTooSmallMessage, {streamSize, p + kHeaderSize});
    TABSCompressedStreamBlockHeader h;
    if (whole) {
      uint8_t bytes[kHeaderSize];
      ReadFromStreamChecked(bytes, kHeaderSize, s, 10082);
      h = TABSCompressedStreamBlockHeader::DecodeFrom(bytes);
      // A header that does not lead forward would make the chain loop or overlap.
      const bool sound = h.CompressedSize > 0 && h.UncompressedSize > 0 && h.UncompressedSize <= FBlockSize &&
                         h.OffsetToNextHeader == int64_t{h.CompressedSize} + kHeaderSize;
      if (!sound && !FRepair)
        throw EABSException(10109,
                            "Invalid block header. Position = %d, CompressedSize = %d, UncompressedSize = %d, "
                            "OffsetToNextHeader = %d",
                            {p, h.CompressedSize, h.UncompressedSize, h.OffsetToNextHeader});
      whole = sound && (!FRepair || p + h.OffsetToNextHeader <= streamSize);
    }
    if (!whole) {
      FBLOBDescriptor.NumBlocks = block;
      FHeaders.SetSize(block);
      break;
    }
    FUncompressedSize += h.UncompressedSize;
    FCompressedSize += h.CompressedSize;
    FHeaders.AppendItem(h, p);
    const int64_t next = p + h.OffsetToNextHeader;
    s.SetPosition(next);
    if (s.Position() != next) throw EABSException(10083, kPositionMessage, {next, p + kHeaderSize, s.Size()});
  }
}

// ---------------------------------------------------------------------------
// Blocks

std::vector<uint8_t> TABSCompressedBLOBStream::ReadBlock(int64_t Index) {
  const TABSCompressedStreamBlockHeader& h = FHeaders.Items[static_cast<size_t>(Index)];
  TStream& s = FCompressedStream;
  // The header is checked against what the block must hold before anything is allocated.
  const int64_t expected = std::min<int64_t>(FBlockSize, FUncompressedSize - Index * FBlockSize);
  if (h.UncompressedSize != expected)
    throw EABSException(10088, "Decompress buffer failed. UncompSize = %d, Header.UncompSize = %d",
                        {expected, h.UncompressedSize});
  const int64_t dataPos = FHeaders.Positions[static_cast<size_t>(Index)] + kHeaderSize;
  const int64_t streamSize = s.Size();
  if (h.CompressedSize <= 0 || dataPos + h.CompressedSize > streamSize)
    throw EABSException(10086,
                        "Cannot read from stream. Position = %d, Stream size = %d, Block size = %d, Bytes Read = %d",
                        {dataPos, streamSize, h.CompressedSize, std::max<int64_t>(0, streamSize - dataPos)});

  TABSMemBlock packed(MemoryManager().GetMem(h.CompressedSize));
  s.SetPosition(dataPos);
  ReadFromStreamChecked(packed.Get(), h.CompressedSize, s, 10086);
  std::vector<uint8_t> data;
  int32_t size = h.UncompressedSize;
  if (!DecompressBuffer(FCompressionAlgorithm, packed.Get(), h.CompressedSize, data, size, h.UncompressedSize))
    throw EABSException(10087, "Decompress buffer failed. CompAlg = %d, InSize = %d, OutSize = %d",
                        {static_cast<int>(FCompressionAlgorithm), h.CompressedSize, h.UncompressedSize});
  if (size != h.UncompressedSize)
    throw EABSException(10088, "Decompress buffer failed. UncompSize = %d, Header.UncompSize = %d",
                        {size, h.UncompressedSize});
  const uint32_t crc = CalcCRC32(0, data.data(), static_cast<uint32_t>(size));
  if (crc != h.Crc32)
    throw EABSException(10089, "Decompress buffer failed. CheckSum = %d, Header.Crc32 = %d", {crc, h.Crc32});
  return data;
}

std::vector<uint8_t> TABSCompressedBLOBStream::CompressBlock(const uint8_t* Data, int32_t Count,
                                                             TABSCompressedStreamBlockHeader& Header) {
  Header.UncompressedSize = Count;
  Header.Crc32 = CalcCRC32(0, Data, static_cast<uint32_t>(Count));
  std::vector<uint8_t> packed;
  if (!CompressBuffer(FCompressionAlgorithm, FCompressionMode, Data, Count, packed, Header.CompressedSize))
    throw EABSException(10085, "Compress buffer failed. CompAlg = %d, CompMode = %d, InSize = %d, OutSize = %d",
                        {static_cast<int>(FCompressionAlgorithm), static_cast<int>(FCompressionMode), Count,
                         Header.CompressedSize});
  Header.OffsetToNextHeader = int64_t{Header.CompressedSize} + kHeaderSize;
  return packed;
}

void TABSCompressedBLOBStream::WriteHeaderAndData(const TABSCompressedStreamBlockHeader& Header,
                                                  const std::vector<uint8_t>& Data, TWriteChecked WriteChecked,
                                                  int HeaderError, int DataError) {
  uint8_t bytes[kHeaderSize];
  Header.EncodeTo(bytes);
  WriteChecked(bytes, kHeaderSize, FCompressedStream, HeaderError);
  WriteChecked(Data.data(), Header.CompressedSize, FCompressedStream, DataError);
}

void TABSCompressedBLOBStream::WriteCurrentBlock(const uint8_t* Data, int32_t Count) {
  const size_t c = static_cast<size_t>(FCurrentHeader);
  const auto packed = CompressBlock(Data, Count, FHeaders.Items[c]);
  SeekChecked(FCompressedStream, 10099, FHeaders.Positions[c]);
  WriteHeaderAndData(FHeaders.Items[c], packed, WriteToStreamChecked, 10100, 10101);
}

// ---------------------------------------------------------------------------
// Stream operations

int64_t TABSCompressedBLOBStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition < 0 || FPosition >= FUncompressedSize) return 0;
  auto* out = static_cast<uint8_t*>(Buffer);
  if (!Compressed()) {
    // Never past the BLOB's end, even when the stream holds more.
    const int64_t want = std::min(Count, FUncompressedSize - FPosition);
    FCompressedStream.SetPosition(FStartPosition + FPosition);
    const int64_t got = FCompressedStream.Read(out, want);
    FPosition = FCompressedStream.Position() - FStartPosition;
    return got;
  }
  int64_t delivered = 0;
  for (int64_t c = FPosition / FBlockSize; FPosition < FUncompressedSize && delivered < Count; ++c) {
    FCurrentHeader = c;
    const auto block = ReadBlock(c);
    const int64_t offset = FPosition % FBlockSize;
    const int64_t take = std::min({static_cast<int64_t>(block.size()) - offset, Count - delivered,
                                   FUncompressedSize - FPosition});
    if (take <= 0) throw EABSException(10090, "Cannot read from stream. ReadSize = %d", {take});
    std::memcpy(out + delivered, block.data() + offset, static_cast<size_t>(take));
    delivered += take;
    FPosition += take;
  }
  return delivered;
}

int64_t TABSCompressedBLOBStream::Write(const void* Buffer, int64_t Count) {
  int64_t written = 0;
  if (!Compressed()) {
    if (Count > 0) {
      FCompressedStream.SetPosition(FStartPosition + FPosition);
      written = FCompressedStream.Write(Buffer, Count);
      FPosition = FCompressedStream.Position() - FStartPosition;
      FUncompressedSize = std::max(FUncompressedSize, FPosition);
    }
  } else if (Count > 0) {
    if (FPosition < FUncompressedSize)
      throw EABSException(10084, "Cannot write inside compressed BLOB data. Position = %d, Size = %d",
                          {FPosition, FUncompressedSize});
    if (FPosition > FUncompressedSize) {
      const int64_t oldPosition = FPosition;
      Extend(oldPosition);
      if (FPosition != oldPosition)
        throw EABSException(10091, kPositionMessage, {oldPosition, FPosition, FUncompressedSize});
      if (FUncompressedSize != oldPosition)
        throw EABSException(10092, kInvalidSizeMessage, {FUncompressedSize, oldPosition});
    }
    written = AppendCompressed(static_cast<const uint8_t*>(Buffer), Count);
  }
  FBLOBDescriptor.UncompressedSize = FUncompressedSize;
  CalcSizesAndRate();
  return written;
}

// Appends at the end: the partial last block is completed and rewritten in
// place, the rest goes into new blocks after it. On a failure the index and
// sizes cover what was written.
int64_t TABSCompressedBLOBStream::AppendCompressed(const uint8_t* Buffer, int64_t Count) {
  int64_t written = 0;
  const int64_t oldItems = FHeaders.ItemCount;
  int64_t blocksDone = oldItems;
  try {
    int64_t c = oldItems > 0 ? oldItems - 1 : 0;
    const int64_t r = FPosition % FBlockSize;
    if (r > 0) {
      auto block = ReadBlock(c);
      const int64_t take = std::min<int64_t>(Count, FBlockSize - r);
      block.resize(static_cast<size_t>(r + take));
      std::memcpy(block.data() + r, Buffer, static_cast<size_t>(take));
      FCurrentHeader = c;
      WriteCurrentBlock(block.data(), static_cast<int32_t>(r + take));
      written = take;
      FUncompressedSize += take;
      ++c;
    }
    if (written < Count) {
      const int64_t next = oldItems > 0 ? FHeaders.Positions[static_cast<size_t>(oldItems - 1)] +
                                              FHeaders.Items[static_cast<size_t>(oldItems - 1)].OffsetToNextHeader
                                        : FStartPosition;
      c = oldItems;
      const int64_t remaining = Count - written;
      FHeaders.SetSize(oldItems + (remaining + FBlockSize - 1) / FBlockSize);
      SeekChecked(FCompressedStream, 10102, next);
      while (written < Count) {
        const int64_t n = std::min<int64_t>(Count - written, FBlockSize);
        FHeaders.Positions[static_cast<size_t>(c)] = FCompressedStream.Position();
        FCurrentHeader = c;
        WriteCurrentBlock(Buffer + written, static_cast<int32_t>(n));
        written += n;
        FUncompressedSize += n;
        blocksDone = ++c;
      }
    }
  } catch (...) {
    FHeaders.SetSize(blocksDone);
    FPosition = FUncompressedSize;
    throw;
  }
  FPosition = FUncompressedSize;
  FBLOBDescriptor.NumBlocks = FHeaders.ItemCount;
  return written;
}

void TABSCompressedBLOBStream::Extend(int64_t NewSize) {
  FPosition = FUncompressedSize;
  const int64_t extension = NewSize - FUncompressedSize;
  if (extension <= 0)
    throw EABSException(10098, "Invalid extension size. NewSize = %d, UncompressedSize = %d, ExtensionSize = %d",
                        {NewSize, FUncompressedSize, extension});
  const std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(extension, FBlockSize)), 0);
  for (int64_t left = extension; left > 0;) {
    const int64_t n = std::min<int64_t>(left, FBlockSize);
    WriteToStreamChecked(zeros.data(), n, *this, 10097);
    left -= n;
  }
}

void TABSCompressedBLOBStream::Shrink(int64_t NewSize) {
  const int64_t k = NewSize / FBlockSize;
  const int64_t r = NewSize % FBlockSize;
  if (r == 0) {
    // Whole blocks are dropped; their bytes stay in the stream unused.
    FBLOBDescriptor.NumBlocks = k;
    FHeaders.SetSize(k);
    return;
  }
  const auto block = ReadBlock(k);
  TABSCompressedStreamBlockHeader& h = FHeaders.Items[static_cast<size_t>(k)];
  const auto packed = CompressBlock(block.data(), static_cast<int32_t>(r), h);
  FBLOBDescriptor.NumBlocks = k + 1;
  FHeaders.SetSize(k + 1);
  TStream& s = FCompressedStream;
  const int64_t cut = FHeaders.Positions[static_cast<size_t>(k)];
  s.SetSize(cut);
  if (s.Size() != cut) throw EABSException(10093, kInvalidSizeMessage, {s.Size(), cut});
  SeekChecked(s, 10094, cut);
  FHeaders.Positions[static_cast<size_t>(k)] = s.Position();
  WriteHeaderAndData(h, packed, WriteOrRaise, 10095, 10096);
}

void TABSCompressedBLOBStream::SetSize(int64_t NewSize) {
  NewSize = std::max<int64_t>(NewSize, 0);
  if (!Compressed()) {
    FCompressedStream.SetSize(FStartPosition + NewSize);
  } else if (NewSize > FUncompressedSize) {
    Extend(NewSize);
  } else if (NewSize < FUncompressedSize) {
    Shrink(NewSize);
  }
  FUncompressedSize = NewSize;
  FBLOBDescriptor.UncompressedSize = NewSize;
  CalcSizesAndRate();
  FPosition = std::min(FPosition, NewSize);
}

int64_t TABSCompressedBLOBStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t target = Origin == soBeginning ? Offset : Origin == soCurrent ? FPosition + Offset : FUncompressedSize + Offset;
  if (Compressed()) {
    FPosition = std::max<int64_t>(target, 0);
  } else {
    FCompressedStream.SetPosition(FStartPosition + std::max<int64_t>(target, 0));
    FPosition = FCompressedStream.Position() - FStartPosition;
  }
  return FPosition;
}

void TABSCompressedBLOBStream::CalcSizesAndRate() {
  if (Compressed() && FUncompressedSize > 0) {
    FCompressedSize = 0;
    for (int64_t i = 0; i < FHeaders.ItemCount; ++i) FCompressedSize += FHeaders.Items[static_cast<size_t>(i)].CompressedSize;
    FCompressionRate = (1.0 - static_cast<double>(FCompressedSize) / static_cast<double>(FUncompressedSize)) * 100.0;
  } else {
    FCompressedSize = FUncompressedSize;
    FCompressionRate = 0;
  }
}

double TABSCompressedBLOBStream::GetCompressionRate() {
  CalcSizesAndRate();
  return FCompressionRate;
}

int64_t TABSCompressedBLOBStream::GetCompressedSize() { return FCompressedStream.Size(); }
