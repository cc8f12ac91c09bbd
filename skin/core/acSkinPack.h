#pragma once
// Packed skin archives (".asz"): the options text and every image of a skin
// as zlib-compressed entries in one file.
//
// File format (little-endian), written and read only through the types below:
//   offset 0  4 bytes  signature "TWSK"
//   offset 4  uint32   number of entries
//   offset 8  entries, back to back:
//               int32 L, L bytes of the entry name (no terminator),
//               int32 N (bytes the entry inflates to), a zlib stream (RFC 1950)
//               inflating to exactly N bytes
//   optional  "previewimg", int32 P, P bytes of a PNG picture, stored as they are
// Exactly one entry is named "Options.dat" (compared in capitals).

#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"

// The fixed part at the start of an archive.
// The skin editor's preview buffer, a fixed record of 30,645 bytes: magic
// (32-bit, 0xA400 when it holds a preview), the skin's name (128 bytes), its
// folder (512) and the options text (30,001), each 8-bit text up to its first NUL.
struct TacSkinData {
  static constexpr size_t kSize = 30645;
  static constexpr int32_t kMagic = 0xA400;
  static constexpr size_t kNameSize = 128, kDirSize = 512, kDataSize = 30001;
  int32_t Magic = 0;
  String SkinName;
  String SkinDir;
  String Data;
  // False, and nothing read, when fewer than kSize bytes are given.
  bool DecodeFrom(const uint8_t* Bytes, size_t Count);
  // kSize bytes; texts longer than their fields are cut.
  std::vector<uint8_t> Encode() const;
};

struct TacSkinArchiveHeader {
  static constexpr char kSignature[4] = {'T', 'W', 'S', 'K'};
  static constexpr int kSize = 8;
  uint32_t Count = 0;

  void EncodeTo(TStream& Out) const;
  // False when the bytes are not an archive header.
  bool DecodeFrom(const uint8_t* Data, int64_t Size);
};

// The fixed parts of one entry around its name and compressed bytes.
struct TacSkinArchiveEntryHeader {
  // Names longer than this are refused as damage (real ones are file names).
  static constexpr int32_t kMaxName = 4096;
  // An entry may not claim to inflate to more than this (a hostile size never allocates).
  static constexpr int32_t kMaxInflated = 256 << 20;
};

// The preview picture's marker after the entries.
inline constexpr char kSkinPreviewMarker[] = "previewimg";

struct TacImageItem {
  String FileName;  // as stored
  bool IsBitmap = false;  // its extension in capitals is ".BMP"
  std::unique_ptr<TMemoryStream> FileStream;  // the inflated bytes
};

// The state of one archive read.
class TacSkinConvertor {
 public:
  ~TacSkinConvertor() { Clear(); }
  void Clear();

  std::unique_ptr<TMemoryStream> Options;  // the inflated Options.dat
  // The archive bytes: owned when read from a file, else borrowed from a stored skin.
  TMemoryStream* PackedData = nullptr;
  std::unique_ptr<TMemoryStream> OwnedData;
  int ImageCount = 0;  // entries - 1
  std::vector<TacImageItem> Files;

  // The entry whose name in capitals equals Name (already in capitals); nullptr when none.
  TacImageItem* Find(const String& UpperName);
};

// Reads Reader.PackedData from its start into Files and Options. False when
// the data is not an archive (the caller reports "Loaded data is not a packed
// Glazory file"). A damaged archive (a size beyond what remains, a zlib stream
// that is corrupt, ends early or inflates to more than its stated size) raises.
bool ReadSkinArchive(TacSkinConvertor& Reader);
// Reads the file when it exists (false when it does not or is no archive).
bool LoadPackedFile(const String& FileName, TacSkinConvertor& Reader);

// An archive of these entries (name, bytes), with an optional preview picture.
struct TacSkinArchiveItem {
  String Name;
  std::vector<uint8_t> Data;
};
void WriteSkinArchive(TStream& Out, const std::vector<TacSkinArchiveItem>& Items,
                      const std::vector<uint8_t>& PreviewPng = {});

// The preview picture of an archive: the P bytes after the first "previewimg".
bool ExtractPreview(TMemoryStream& Target, TMemoryStream& Source);
bool ExtractPreviewFromFile(TMemoryStream& Target, const String& FileName);
