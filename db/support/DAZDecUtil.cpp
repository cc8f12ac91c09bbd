#include "db/support/DAZDecUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

// ---------------------------------------------------------------------------
// Progress

TProtectionProgress& ProtectionProgress() {
  static TProtectionProgress progress;
  return progress;
}

void DoProtectionProgress(void* Sender, int64_t Current, int64_t Maximum) {
  auto& progress = ProtectionProgress();
  if (progress) progress(Sender, Current, Maximum);
}

// ---------------------------------------------------------------------------
// Streams used by CodeString and CodeFile

namespace {

// A growable byte buffer seen as a stream.
class BufferStream {
 public:
  explicit BufferStream(String& data) : data_(data) {}
  int Read(void* buffer, int count) {
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, GetSize() - pos_));
    if (n > 0) std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return static_cast<int>(n);
  }
  int Write(const void* buffer, int count) {
    if (count <= 0) return 0;
    if (pos_ + count > GetSize()) data_.resize(static_cast<size_t>(pos_ + count));
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
  }
  int64_t GetPosition() const { return pos_; }
  void SetPosition(int64_t pos) { pos_ = pos; }
  int64_t GetSize() const { return static_cast<int64_t>(data_.size()); }

 private:
  String& data_;
  int64_t pos_ = 0;
};

bool SameFile(const String& a, const String& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int LengthOf(const void* Value, int Len) {
  return Len < 0 ? static_cast<int>(std::strlen(static_cast<const char*>(Value))) : Len;
}

}  // namespace


// ---------------------------------------------------------------------------
// TProtectionFileStream

namespace {

[[noreturn]] void RaiseFileError(const char* what, const String& name) {
  throw EProtection(String(what) + " \"" + name + "\". " + std::strerror(errno));
}

}  // namespace

TProtectionFileStream::TProtectionFileStream(const String& FileName, int Flags) : FName(FileName) {
  FHandle = ::open(FileName.c_str(), Flags | O_CLOEXEC, 0666);
  if (FHandle < 0) RaiseFileError((Flags & O_CREAT) ? "Cannot create file" : "Cannot open file", FileName);
}

TProtectionFileStream::~TProtectionFileStream() { ::close(FHandle); }

int TProtectionFileStream::Read(void* Buffer, int Count) {
  ssize_t n;
  do n = ::read(FHandle, Buffer, static_cast<size_t>(std::max(0, Count)));
  while (n < 0 && errno == EINTR);
  if (n < 0) RaiseFileError("Cannot read file", FName);
  return static_cast<int>(n);
}

int TProtectionFileStream::Write(const void* Buffer, int Count) {
  const char* p = static_cast<const char*>(Buffer);
  int left = Count;
  while (left > 0) {
    const ssize_t n = ::write(FHandle, p, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) RaiseFileError("Cannot write file", FName);
    p += n;
    left -= static_cast<int>(n);
  }
  return Count;
}

int64_t TProtectionFileStream::GetPosition() const { return ::lseek(FHandle, 0, SEEK_CUR); }

void TProtectionFileStream::SetPosition(int64_t Position) {
  if (::lseek(FHandle, Position, SEEK_SET) < 0) RaiseFileError("Cannot seek in file", FName);
}

int64_t TProtectionFileStream::GetSize() const {
  struct stat st {};
  return ::fstat(FHandle, &st) == 0 ? st.st_size : 0;
}

void TProtectionFileStream::Truncate() {
  if (::ftruncate(FHandle, GetPosition()) != 0) RaiseFileError("Cannot write file", FName);
}

// ---------------------------------------------------------------------------
// TProtection

TProtection::TProtection(std::shared_ptr<TProtection> AProtection) { SetProtection(std::move(AProtection)); }

TProtection::~TProtection() = default;

void TProtection::SetProtection(std::shared_ptr<TProtection> Value) {
  if (Value == FProtection) return;
  for (const TProtection* p = Value.get(); p; p = p->FProtection.get())
    if (p == this) throw EProtection("Circular Protection detected, Protection Object is invalid.");
  FProtection = std::move(Value);
}

void TProtection::BeginAction(TPAction Action) {
  if (FProtection) FProtection->BeginAction(Action);
}

void TProtection::EndAction(TPAction Action) {
  if (FProtection) FProtection->EndAction(Action);
}

void TProtection::ApplyToBuffer(void* Buffer, int Size, TPAction Action) {
  if (FProtection) FProtection->ApplyToBuffer(Buffer, Size, Action);
}

int TProtection::CodeBuffer(void* Buffer, int BufferSize, TPAction Action) {
  BeginAction(Action);
  try {
    ApplyToBuffer(Buffer, BufferSize, Action);
  } catch (...) {
    try {
      EndAction(Action);
    } catch (...) {
    }
    throw;
  }
  EndAction(Action);
  return BufferSize;
}

void TProtection::CodeFile(const String& Source, const String& Dest, TPAction Action) {
  const bool separate = Action == paCalc || (Dest.find_first_not_of(" \t\r\n") != String::npos && !SameFile(Source, Dest));
  if (!separate) {
    TProtectionFileStream file(Source, O_RDWR);
    CodeStream(&file, &file, -1, Action);
    return;
  }
  TProtectionFileStream in(Source, O_RDONLY);
  if (Action == paCalc) {
    CodeStream(&in, &in, -1, Action);
    return;
  }
  TProtectionFileStream out(Dest, O_RDWR | O_CREAT | O_TRUNC);
  CodeStream(&in, &out, -1, Action);
  out.Truncate();
}

String TProtection::CodeString(const String& Source, TPAction Action, int Format) {
  if (Source.empty()) return String();
  String data = Action == paDecode ? FormatToBytes(Source, Format) : Source;
  BufferStream stream(data);
  CodeStream(&stream, &stream, -1, Action);
  return Action == paDecode ? data : BytesToFormat(data, Format);
}

void TProtection::Identity() { throw Exception("Not implemented 13"); }

// ---------------------------------------------------------------------------
// String formats

const TStringFormat StringFormat;
const TStringFormat_HEX StringFormat_HEX;
const TStringFormat_HEXL StringFormat_HEXL;
const TStringFormat_MIME64 StringFormat_MIME64;
const TStringFormat_UU StringFormat_UU;
const TStringFormat_XX StringFormat_XX;

String TStringFormat::ToStr(const void* Value, int Len) const {
  return Value ? String(static_cast<const char*>(Value), static_cast<size_t>(std::max(0, LengthOf(Value, Len))))
               : String();
}

String TStringFormat::StrTo(const void* Value, int Len) const { return TStringFormat::ToStr(Value, Len); }

String TStringFormat::Name() const {
  if (ClassName() == "TStringFormat") return "copy Input to Output";
  const String name = ClassName();
  const auto underscore = name.find('_');
  return underscore == String::npos ? name : name.substr(underscore + 1);
}

bool TStringFormat::IsValid(const void*, int, bool) const { return true; }

namespace {

// The formats whose alphabet is not available answer empty input with empty
// output and fail on anything else by asking for the alphabet.
template <class F>
String ThroughCharTable(const F& format, const void* Value, int Len) {
  if (!Value || LengthOf(Value, Len) <= 0) return String();
  format.CharTable();
  return String();
}

bool AllInTable(const char* table, const void* Value, int Len) {
  const auto* p = static_cast<const unsigned char*>(Value);
  for (int i = 0; i < Len; ++i)
    if (p[i] == 0 || !std::strchr(table, p[i])) return false;
  return true;
}

}  // namespace

String TStringFormat_HEX::ToStr(const void* Value, int Len) const { return ThroughCharTable(*this, Value, Len); }
String TStringFormat_HEX::StrTo(const void* Value, int Len) const { return ThroughCharTable(*this, Value, Len); }

bool TStringFormat_HEX::IsValid(const void* Value, int Len, bool ToStr) const {
  if (!ToStr) return true;
  const char* table = CharTable();
  return Value && AllInTable(table, Value, LengthOf(Value, Len));
}

const char* TStringFormat_HEX::CharTable() const { throw Exception("Not Implemented 2"); }
const char* TStringFormat_HEXL::CharTable() const { throw Exception("Not implemented 3"); }

String TStringFormat_UU::ToStr(const void* Value, int Len) const { return ThroughCharTable(*this, Value, Len); }
String TStringFormat_UU::StrTo(const void* Value, int Len) const { return ThroughCharTable(*this, Value, Len); }

bool TStringFormat_UU::IsValid(const void* Value, int Len, bool ToStr) const {
  if (!ToStr) return true;
  const char* table = CharTable();
  return Value && AllInTable(table, Value, LengthOf(Value, Len));
}

const char* TStringFormat_UU::CharTable() const { throw Exception("Not implemented 5"); }
const char* TStringFormat_XX::CharTable() const { throw Exception("Not implemented 6"); }

// RFC 4648 Base64: 64 digits, then the pad character at index 64.
const char* TStringFormat_MIME64::CharTable() const {
  return "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
}

String TStringFormat_MIME64::StrTo(const void* Value, int Len) const {
  if (!Value || Len == 0) return String();
  Len = LengthOf(Value, Len);
  const char* table = CharTable();
  const auto* p = static_cast<const unsigned char*>(Value);
  String out;
  out.reserve(static_cast<size_t>((Len + 2) / 3 * 4));
  for (int i = 0; i < Len; i += 3) {
    const int missing = std::max(0, i + 3 - Len);
    uint32_t n = uint32_t{p[i]} << 16;
    if (missing < 2) n |= uint32_t{p[i + 1]} << 8;
    if (missing < 1) n |= p[i + 2];
    out += table[(n >> 18) & 63];
    out += table[(n >> 12) & 63];
    out += missing >= 2 ? '=' : table[(n >> 6) & 63];
    out += missing >= 1 ? '=' : table[n & 63];
  }
  return out;
}

// Characters outside the alphabet (line breaks, blanks) are skipped and do not
// count towards the expected length, so wrapped text decodes to its bytes alone.
String TStringFormat_MIME64::ToStr(const void* Value, int Len) const {
  if (!Value || Len == 0) return String();
  Len = LengthOf(Value, Len);
  const char* table = CharTable();
  const auto* p = static_cast<const unsigned char*>(Value);
  String text;
  text.reserve(static_cast<size_t>(Len) + 3);
  for (int i = 0; i < Len; ++i)
    if (p[i] != 0 && std::strchr(table, p[i])) text += static_cast<char>(p[i]);
  while (text.size() % 4 != 0) text += '=';
  String out;
  out.reserve(text.size() / 4 * 3);
  for (size_t i = 0; i < text.size(); i += 4) {
    uint32_t n = 0;
    int kept = 3;
    for (size_t j = 0; j < 4; ++j) {
      const int digit = static_cast<int>(std::strchr(table, text[i + j]) - table);
      n <<= 6;
      if (digit < 64)
        n |= static_cast<uint32_t>(digit);
      else
        --kept;
    }
    const char bytes[3] = {static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)};
    out.append(bytes, static_cast<size_t>(std::max(0, kept)));
  }
  return out;
}

// ---------------------------------------------------------------------------
// Registry

namespace {

struct FormatRegistry {
  std::mutex lock;
  std::vector<TStringFormatClass> formats{&StringFormat,        &StringFormat_HEX, &StringFormat_HEXL,
                                          &StringFormat_MIME64, &StringFormat_UU,  &StringFormat_XX};
};

FormatRegistry& Registry() {
  static FormatRegistry registry;
  return registry;
}

}  // namespace

void AddStringFormats(std::initializer_list<TStringFormatClass> Formats) {
  auto& registry = Registry();
  std::lock_guard guard(registry.lock);
  for (TStringFormatClass format : Formats) {
    if (!format || format->Format() == -1) continue;
    auto it = std::find_if(registry.formats.begin(), registry.formats.end(),
                           [&](TStringFormatClass f) { return f->Format() == format->Format(); });
    if (it != registry.formats.end())
      *it = format;
    else
      registry.formats.push_back(format);
  }
}

TStringFormatClass LookupStringFormat(int Format) {
  if (Format == -1) Format = DefaultStringFormat;
  auto& registry = Registry();
  std::lock_guard guard(registry.lock);
  for (TStringFormatClass format : registry.formats)
    if (format->Format() == Format) return format;
  return nullptr;
}

std::vector<TStringFormatClass> RegisteredStringFormats() {
  auto& registry = Registry();
  std::lock_guard guard(registry.lock);
  return registry.formats;
}

namespace {

TStringFormatClass RequireFormat(int Format) {
  TStringFormatClass format = LookupStringFormat(Format);
  if (!format) throw EStringFormat("String Format \"" + std::to_string(Format) + "\" not exists.");
  return format;
}

}  // namespace

String BytesToFormat(const void* Value, int Len, int Format) {
  if (!Value || Format == 0 || LengthOf(Value, Len) <= 0) return String();
  TStringFormatClass format = RequireFormat(Format);
  if (!format->IsValid(Value, Len, false))
    throw EStringFormat("Input can not be convert to " + format->Name() + " Format.");
  return format->StrTo(Value, Len);
}

String FormatToBytes(const void* Value, int Len, int Format) {
  if (!Value || Format == 0 || LengthOf(Value, Len) <= 0) return String();
  TStringFormatClass format = RequireFormat(Format);
  if (!format->IsValid(Value, Len, true))
    throw EStringFormat("Input is not an valid " + format->Name() + " Format.");
  return format->ToStr(Value, Len);
}
