#include "skin/core/acSkinPack.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "imaging/acZLibEx.h"
#include "platform/os/Files.h"
#include "platform/rtl/SysUtils.h"

namespace {

void PutLE32(TStream& Out, uint32_t V) {
  const uint8_t b[4] = {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(V >> 24)};
  Out.WriteBuffer(b, 4);
}

uint32_t GetLE32(const uint8_t* P) { return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24; }

[[noreturn]] void Damaged(const String& What) { throw Exception("Damaged skin archive: " + What); }

// The int32 at the stream's position, which must leave at least Need bytes after it.
int32_t ReadSize(TMemoryStream& S, const char* What) {
  const int64_t pos = S.Position();
  if (S.Size() - pos < 4) Damaged(String(What) + " is cut off");
  const int32_t v = int32_t(GetLE32(S.Memory() + pos));
  S.SetPosition(pos + 4);
  return v;
}

}  // namespace

void TacSkinArchiveHeader::EncodeTo(TStream& Out) const {
  Out.WriteBuffer(kSignature, 4);
  PutLE32(Out, Count);
}

bool TacSkinArchiveHeader::DecodeFrom(const uint8_t* Data, int64_t Size) {
  if (!Data || Size < kSize || std::memcmp(Data, kSignature, 4) != 0) return false;
  Count = GetLE32(Data + 4);
  return true;
}

void TacSkinConvertor::Clear() {
  while (!Files.empty()) Files.pop_back();
  Options.reset();
  OwnedData.reset();
  PackedData = nullptr;
  ImageCount = 0;
}

TacImageItem* TacSkinConvertor::Find(const String& UpperName) {
  for (TacImageItem& f : Files)
    if (UpperCase(f.FileName) == UpperName) return &f;
  return nullptr;
}

bool ReadSkinArchive(TacSkinConvertor& Reader) {
  TMemoryStream* data = Reader.PackedData;
  if (!data) return false;
  TacSkinArchiveHeader header;
  if (!header.DecodeFrom(data->Memory(), data->Size())) return false;
  // Every entry takes at least its two sizes and two bytes of zlib header.
  const int64_t room = data->Size() - TacSkinArchiveHeader::kSize;
  if (int64_t(header.Count) > room / 10) Damaged("entry count beyond the file");
  Reader.Files.clear();
  Reader.Options.reset();
  Reader.ImageCount = int(header.Count) - 1;
  data->SetPosition(TacSkinArchiveHeader::kSize);
  for (uint32_t e = 0; e < header.Count; ++e) {
    const int32_t nameLength = ReadSize(*data, "an entry name length");
    if (nameLength < 0 || nameLength > TacSkinArchiveEntryHeader::kMaxName || nameLength > data->Size() - data->Position())
      Damaged("entry name length");
    String name(reinterpret_cast<const char*>(data->Memory() + data->Position()), size_t(nameLength));
    data->SetPosition(data->Position() + nameLength);
    const int32_t size = ReadSize(*data, "an entry size");
    // zlib never inflates one input byte to more than 1032 bytes.
    const int64_t left = data->Size() - data->Position();
    if (size < 0 || size > TacSkinArchiveEntryHeader::kMaxInflated || int64_t(size) > left * 1032)
      Damaged("entry size of \"" + name + "\"");
    auto out = std::make_unique<TMemoryStream>();
    {
      TZDecompressionStream z(*data);
      // Grown as the bytes arrive, so a stated size is never allocated ahead of them.
      uint8_t buffer[65536];
      int64_t got = 0;
      while (got < size) {
        const int64_t n = z.Read(buffer, std::min<int64_t>(sizeof buffer, size - got));
        if (n <= 0) break;
        out->WriteBuffer(buffer, n);
        got += n;
      }
      if (got != size) Damaged("entry \"" + name + "\" inflates to less than its size");
      // The stream must end here too: more bytes would leave the archive between entries.
      if (z.Read(buffer, 1) != 0) Damaged("entry \"" + name + "\" inflates to more than its size");
    }
    out->SetPosition(0);
    if (UpperCase(name) == "OPTIONS.DAT") {
      Reader.Options = std::move(out);
    } else {
      TacImageItem item;
      item.IsBitmap = UpperCase(ExtractFileExt(name)) == ".BMP";
      item.FileName = std::move(name);
      item.FileStream = std::move(out);
      Reader.Files.push_back(std::move(item));
    }
  }
  return true;
}

bool LoadPackedFile(const String& FileName, TacSkinConvertor& Reader) {
  if (!FileExists(FileName)) return false;
  Reader.Clear();
  Reader.OwnedData = std::make_unique<TMemoryStream>();
  Reader.OwnedData->LoadFromFile(FileName);
  Reader.PackedData = Reader.OwnedData.get();
  const bool ok = ReadSkinArchive(Reader);
  Reader.OwnedData.reset();
  Reader.PackedData = nullptr;
  return ok;
}

void WriteSkinArchive(TStream& Out, const std::vector<TacSkinArchiveItem>& Items,
                      const std::vector<uint8_t>& PreviewPng) {
  TacSkinArchiveHeader header;
  header.Count = uint32_t(Items.size());
  header.EncodeTo(Out);
  for (const TacSkinArchiveItem& item : Items) {
    PutLE32(Out, uint32_t(item.Name.size()));
    Out.WriteBuffer(item.Name.data(), int64_t(item.Name.size()));
    PutLE32(Out, uint32_t(item.Data.size()));
    uLongf packed = compressBound(uLong(item.Data.size()));
    std::vector<uint8_t> z(packed);
    if (compress2(z.data(), &packed, item.Data.data(), uLong(item.Data.size()), Z_BEST_COMPRESSION) != Z_OK)
      throw Exception("Cannot compress \"" + item.Name + "\"");
    Out.WriteBuffer(z.data(), int64_t(packed));
  }
  if (!PreviewPng.empty()) {
    Out.WriteBuffer(kSkinPreviewMarker, 10);
    PutLE32(Out, uint32_t(PreviewPng.size()));
    Out.WriteBuffer(PreviewPng.data(), int64_t(PreviewPng.size()));
  }
}

bool ExtractPreview(TMemoryStream& Target, TMemoryStream& Source) {
  const uint8_t* begin = Source.Memory();
  if (!begin) return false;
  const uint8_t* end = begin + Source.Size();
  const uint8_t* p = std::search(begin, end, kSkinPreviewMarker, kSkinPreviewMarker + 10);
  if (p == end || end - (p + 10) < 4) return false;
  const uint32_t size = GetLE32(p + 10);
  // The picture may not reach past the archive's end.
  if (int64_t(size) > end - (p + 14)) return false;
  Target.SetSize(0);
  Target.WriteBuffer(p + 14, int64_t(size));
  Target.SetPosition(0);
  return true;
}

bool ExtractPreviewFromFile(TMemoryStream& Target, const String& FileName) {
  if (!FileExists(FileName)) return false;
  TMemoryStream source;
  source.LoadFromFile(FileName);
  return ExtractPreview(Target, source);
}

namespace {

// 8-bit text up to its first NUL, as UTF-8 (bytes above 127 are Latin-1 letters).
String FieldText(const uint8_t* P, size_t Size) {
  String s;
  for (size_t i = 0; i < Size && P[i]; ++i) {
    if (P[i] < 0x80) {
      s += char(P[i]);
    } else {
      s += char(0xC0 | P[i] >> 6);
      s += char(0x80 | (P[i] & 0x3F));
    }
  }
  return s;
}

void PutField(std::vector<uint8_t>& Out, size_t At, size_t Size, const String& Text) {
  // Latin-1 back from UTF-8; characters beyond it become "?". One byte stays NUL.
  size_t n = 0;
  for (size_t i = 0; i < Text.size() && n + 1 < Size; ++i) {
    const auto c = uint8_t(Text[i]);
    if (c < 0x80) {
      Out[At + n++] = c;
    } else if ((c & 0xFE) == 0xC2 && i + 1 < Text.size()) {
      Out[At + n++] = uint8_t((c & 0x03) << 6 | (uint8_t(Text[++i]) & 0x3F));
    } else if ((c & 0xC0) != 0x80) {
      Out[At + n++] = '?';
    }
  }
}

}  // namespace

bool TacSkinData::DecodeFrom(const uint8_t* Bytes, size_t Count) {
  if (!Bytes || Count < kSize) return false;
  Magic = int32_t(uint32_t(Bytes[0]) | uint32_t(Bytes[1]) << 8 | uint32_t(Bytes[2]) << 16 | uint32_t(Bytes[3]) << 24);
  SkinName = FieldText(Bytes + 4, kNameSize);
  SkinDir = FieldText(Bytes + 4 + kNameSize, kDirSize);
  Data = FieldText(Bytes + 4 + kNameSize + kDirSize, kDataSize);
  return true;
}

std::vector<uint8_t> TacSkinData::Encode() const {
  std::vector<uint8_t> out(kSize, 0);
  for (int i = 0; i < 4; ++i) out[size_t(i)] = uint8_t(uint32_t(Magic) >> (8 * i));
  PutField(out, 4, kNameSize, SkinName);
  PutField(out, 4 + kNameSize, kDirSize, SkinDir);
  PutField(out, 4 + kNameSize + kDirSize, kDataSize, Data);
  return out;
}
