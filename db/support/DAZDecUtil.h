#pragma once
// The engine's protection base (shared by its ciphers and hashes) and the
// string formats that turn raw bytes into text and back.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/rtl/SysUtils.h"

enum TPAction : uint8_t { paEncode, paDecode, paScramble, paCalc, paWipe };

// A set of TPAction, one bit per ordinal.
using TPActions = uint8_t;
constexpr TPActions PActionSet(TPAction a) { return static_cast<TPActions>(1u << a); }
constexpr TPActions paAllActions = 0x1F;

class EProtection : public Exception {
 public:
  using Exception::Exception;
};

class EStringFormat : public Exception {
 public:
  using Exception::Exception;
};

// The one progress callback of the module (sender, current, maximum); empty by default.
using TProtectionProgress = std::function<void(void* Sender, int64_t Current, int64_t Maximum)>;
TProtectionProgress& ProtectionProgress();
void DoProtectionProgress(void* Sender, int64_t Current, int64_t Maximum);

// Size of the work buffer of stream coding and stream hashing.
constexpr int ProtectionChunkSize = 4096;

// A file opened by name (open(2) flags), closed with the object; the stream
// the coding and hashing of files use.
class TProtectionFileStream {
 public:
  TProtectionFileStream(const String& FileName, int Flags);
  ~TProtectionFileStream();
  TProtectionFileStream(const TProtectionFileStream&) = delete;
  TProtectionFileStream& operator=(const TProtectionFileStream&) = delete;

  int Read(void* Buffer, int Count);
  int Write(const void* Buffer, int Count);  // all or EProtection
  int64_t GetPosition() const;
  void SetPosition(int64_t Position);
  int64_t GetSize() const;
  // Cuts the file at the current position.
  void Truncate();

 private:
  String FName;
  int FHandle = -1;
};

// Base of every cipher and hash: applies an action to a buffer, a stream, a
// file or a string, and may be chained to a further protection that takes
// part in every action. Lifetime is shared (a chain holds its next link).
//
// Streams are duck-typed: anything with Read(void*, int) -> int,
// Write(const void*, int) -> int, GetPosition(), SetPosition(int64_t) and
// GetSize().
class TProtection {
 public:
  explicit TProtection(std::shared_ptr<TProtection> AProtection = nullptr);
  virtual ~TProtection();
  TProtection(const TProtection&) = delete;
  TProtection& operator=(const TProtection&) = delete;

  const std::shared_ptr<TProtection>& GetProtection() const { return FProtection; }
  // Refuses a chain that leads back to this object (EProtection).
  void SetProtection(std::shared_ptr<TProtection> Value);

  TPActions GetActions() const { return FActions; }
  void SetActions(TPActions Value) { FActions = Value; }

  virtual void BeginAction(TPAction Action);
  virtual void EndAction(TPAction Action);
  virtual void ApplyToBuffer(void* Buffer, int Size, TPAction Action);

  // Codes DataSize bytes (negative: the whole stream from position 0) from
  // Source to Dest; Dest may be Source or null (in place). paCalc only reads.
  template <class TStreamLike>
  void CodeStream(TStreamLike* Source, TStreamLike* Dest, int64_t DataSize, TPAction Action);
  // Codes a file into another file, or in place when Dest is blank or names
  // the same file as Source (same device and inode).
  virtual void CodeFile(const String& Source, const String& Dest, TPAction Action);
  // paDecode reads Source in Format and answers raw bytes; every other action
  // reads raw bytes and answers text in Format.
  virtual String CodeString(const String& Source, TPAction Action, int Format);
  virtual int CodeBuffer(void* Buffer, int BufferSize, TPAction Action);

  [[noreturn]] void Identity();

 protected:
  bool HasAction(TPAction Action) const { return (FActions & PActionSet(Action)) != 0; }

 private:
  std::shared_ptr<TProtection> FProtection;
  TPActions FActions = paAllActions;
};

template <class TStreamLike>
void TProtection::CodeStream(TStreamLike* Source, TStreamLike* Dest, int64_t DataSize, TPAction Action) {
  if (!Source) return;
  if (!Dest) Dest = Source;
  if (DataSize < 0) {
    DataSize = Source->GetSize();
    Source->SetPosition(0);
  }
  BeginAction(Action);
  try {
    DoProtectionProgress(this, 0, DataSize);
    std::vector<uint8_t> buffer(ProtectionChunkSize);
    int64_t done = 0;
    // Read and write positions are kept apart so that Source and Dest may be one stream.
    int64_t readPos = Source->GetPosition();
    int64_t writePos = Action == paCalc ? 0 : Dest->GetPosition();
    while (done < DataSize) {
      const int want = static_cast<int>(std::min<int64_t>(ProtectionChunkSize, DataSize - done));
      if (Action != paCalc) Source->SetPosition(readPos);
      const int got = Source->Read(buffer.data(), want);
      if (got <= 0) break;
      readPos += got;
      ApplyToBuffer(buffer.data(), got, Action);
      if (Action != paCalc) {
        Dest->SetPosition(writePos);
        if (Dest->Write(buffer.data(), got) != got) throw EProtection("Cannot write coded data.");
        writePos += got;
      }
      done += got;
      DoProtectionProgress(this, done, DataSize);
    }
  } catch (...) {
    DoProtectionProgress(this, 0, 0);
    try {
      EndAction(Action);
    } catch (...) {
    }
    throw;
  }
  DoProtectionProgress(this, 0, 0);
  EndAction(Action);
}

// ---------------------------------------------------------------------------
// String formats: classes used only through their (virtual) class methods, so
// each is one constant instance and a "class reference" is a pointer to it.

class TStringFormat {
 public:
  virtual ~TStringFormat() = default;
  // Text in this format to raw bytes. Len < 0: up to the first zero byte.
  virtual String ToStr(const void* Value, int Len) const;
  // Raw bytes to text in this format.
  virtual String StrTo(const void* Value, int Len) const;
  virtual String Name() const;
  virtual int Format() const { return 1; }
  virtual bool IsValid(const void* Value, int Len, bool ToStr) const;
  virtual String ClassName() const { return "TStringFormat"; }
};
using TStringFormatClass = const TStringFormat*;

class TStringFormat_HEX : public TStringFormat {
 public:
  String ToStr(const void* Value, int Len) const override;
  String StrTo(const void* Value, int Len) const override;
  String Name() const override { return "Hexadecimal"; }
  int Format() const override { return 16; }
  bool IsValid(const void* Value, int Len, bool ToStr) const override;
  String ClassName() const override { return "TStringFormat_HEX"; }
  // The format's zero-terminated alphabet.
  virtual const char* CharTable() const;
};

class TStringFormat_HEXL : public TStringFormat_HEX {
 public:
  String Name() const override { return "Hexadecimal lowercase"; }
  int Format() const override { return 1016; }
  String ClassName() const override { return "TStringFormat_HEXL"; }
  const char* CharTable() const override;
};

class TStringFormat_MIME64 : public TStringFormat_HEX {
 public:
  String ToStr(const void* Value, int Len) const override;
  String StrTo(const void* Value, int Len) const override;
  String Name() const override { return "MIME Base 64"; }
  int Format() const override { return 4196; }
  String ClassName() const override { return "TStringFormat_MIME64"; }
  const char* CharTable() const override;
};

class TStringFormat_UU : public TStringFormat {
 public:
  String ToStr(const void* Value, int Len) const override;
  String StrTo(const void* Value, int Len) const override;
  String Name() const override { return "UU Coding"; }
  int Format() const override { return 21845; }
  bool IsValid(const void* Value, int Len, bool ToStr) const override;
  String ClassName() const override { return "TStringFormat_UU"; }
  virtual const char* CharTable() const;
};

class TStringFormat_XX : public TStringFormat_UU {
 public:
  String Name() const override { return "XX Coding"; }
  int Format() const override { return 22616; }
  String ClassName() const override { return "TStringFormat_XX"; }
  const char* CharTable() const override;
};

// The one instance of each format class.
extern const TStringFormat StringFormat;
extern const TStringFormat_HEX StringFormat_HEX;
extern const TStringFormat_HEXL StringFormat_HEXL;
extern const TStringFormat_MIME64 StringFormat_MIME64;
extern const TStringFormat_UU StringFormat_UU;
extern const TStringFormat_XX StringFormat_XX;

constexpr int DefaultStringFormat = 4196;

// Registers format classes in order; a class whose id is already registered
// takes the registered one's place, a class with id -1 is skipped. The six
// formats above are registered before the first use.
void AddStringFormats(std::initializer_list<TStringFormatClass> Formats);
// -1 stands for the default format; null when the id is not registered.
TStringFormatClass LookupStringFormat(int Format);
// The registered classes in order.
std::vector<TStringFormatClass> RegisteredStringFormats();

String BytesToFormat(const void* Value, int Len, int Format);
String FormatToBytes(const void* Value, int Len, int Format);
inline String BytesToFormat(const String& Value, int Format) {
  return BytesToFormat(Value.data(), static_cast<int>(Value.size()), Format);
}
inline String FormatToBytes(const String& Value, int Format) {
  return FormatToBytes(Value.data(), static_cast<int>(Value.size()), Format);
}

// Word and byte helpers shared by the hashes and ciphers.
namespace crypto_bytes {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> ((32 - n) & 31)); }
inline uint32_t Ror(uint32_t x, int n) { return (x >> n) | (x << ((32 - n) & 31)); }
inline uint32_t LoadLE(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline void StoreLE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t LoadBE(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
inline void StoreBE(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace crypto_bytes
