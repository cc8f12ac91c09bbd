// Content search: does a file contain a phrase? Streams the file in blocks,
// picking the 8-bit, UTF-16 or UTF-8 matcher from its byte-order mark.

#include <fcntl.h>
#include <locale.h>
#include <unistd.h>
#include <wctype.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "filesearch/FindFile.h"
#include "filesearch/FindFileTables.h"

namespace {

TCaseTables* MakeTables() {
  auto* t = new TCaseTables;
  for (int c = 0; c < 256; ++c) {
    t->AnsiIdentity[c] = static_cast<uint8_t>(c);
    // The 8-bit code page is UTF-8: only ASCII letters are characters of
    // their own; lead and continuation bytes belong to words.
    t->AnsiLower[c] = static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
    t->AnsiDelimiters[c] = alnum ? 0 : 1;
  }
  // A private UTF-8 C locale gives Unicode case mapping and classification
  // without touching the process locale.
  locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  for (int c = 0; c < 65536; ++c) {
    t->WideIdentity[c] = static_cast<uint16_t>(c);
    uint16_t lower = static_cast<uint16_t>(c);
    bool alnum = false;
    const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
    if (loc && !surrogate) {
      const wint_t l = towlower_l(static_cast<wint_t>(c), loc);
      if (l < 0x10000 && !(l >= 0xD800 && l <= 0xDFFF)) lower = static_cast<uint16_t>(l);
      alnum = iswalnum_l(static_cast<wint_t>(c), loc) != 0;
    } else if (c < 128) {
      lower = t->AnsiLower[c];
      alnum = t->AnsiDelimiters[c] == 0;
    }
    t->WideLower[c] = lower;
    t->WideDelimiters[c] = alnum ? 0 : 1;
  }
  if (loc) freelocale(loc);
  return t;
}

constexpr size_t kBlockBytes = 61440;

// Reads a file front to back; failures raise an Exception.
class TBlockReader {
 public:
  explicit TBlockReader(const String& fileName) {
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw Exception("Cannot open " + fileName + ": " + std::strerror(errno));
  }
  ~TBlockReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  TBlockReader(const TBlockReader&) = delete;
  TBlockReader& operator=(const TBlockReader&) = delete;

  // Fills dst with up to n bytes; fewer only at the end of the file.
  size_t Read(uint8_t* dst, size_t n) {
    size_t got = 0;
    while (got < n) {
      const ssize_t r = ::read(fd_, dst + got, n - got);
      if (r == 0) break;
      if (r < 0) {
        if (errno == EINTR) continue;
        throw Exception(String("Cannot read file: ") + std::strerror(errno));
      }
      got += static_cast<size_t>(r);
    }
    return got;
  }

 private:
  int fd_ = -1;
};

// How one encoding finds character starts and the characters around a hit.
// 8-bit text and UTF-16: every unit is a character.
template <typename U>
struct TPlainTraits {
  using Unit = U;
  static constexpr size_t LookBehind = 1;
  static constexpr size_t LookAhead = 1;
  static bool IsDelimiter(U c) {
    if constexpr (sizeof(U) == 1) {
      return CaseTables().AnsiDelimiters[c] != 0;
    } else {
      return CaseTables().WideDelimiters[c] != 0;
    }
  }
  static bool CanStart(const Unit*, size_t) { return true; }
  // The start and the end of the file count as the delimiter 0.
  static bool DelimBefore(const Unit* buf, size_t i) { return IsDelimiter(i == 0 ? 0 : buf[i - 1]); }
  static bool DelimAfter(const Unit* buf, size_t j, size_t size) { return IsDelimiter(j >= size ? 0 : buf[j]); }
};
using TAnsiTraits = TPlainTraits<uint8_t>;
using TWideTraits = TPlainTraits<uint16_t>;

struct TUtf8Traits {
  using Unit = uint8_t;
  static constexpr size_t MaxSeq = 4;
  static constexpr size_t LookBehind = MaxSeq;
  static constexpr size_t LookAhead = MaxSeq;
  static bool IsContinuation(Unit b) { return (b & 0xC0) == 0x80; }
  static bool CanStart(const Unit* buf, size_t i) { return !IsContinuation(buf[i]); }

  // One UTF-8 character as a single 16-bit unit; 0 when it does not decode to one.
  static uint16_t Decode(const Unit* s, size_t n) {
    if (n == 0) return 0;
    const Unit b = s[0];
    size_t len;
    uint32_t cp;
    if (b < 0x80) return b;
    if ((b & 0xE0) == 0xC0) {
      len = 2;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
      cp = b & 0x0F;
    } else {
      return 0;  // four-byte characters need two units; invalid leads decode to nothing
    }
    if (n < len) return 0;
    for (size_t k = 1; k < len; ++k) {
      if (!IsContinuation(s[k])) return 0;
      cp = (cp << 6) | (s[k] & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return static_cast<uint16_t>(cp);
  }
  static bool DelimBefore(const Unit* buf, size_t i) {
    if (i == 0) return CaseTables().WideDelimiters[0] != 0;
    size_t lead = i - 1;
    while (lead > 0 && i - lead < MaxSeq && IsContinuation(buf[lead])) --lead;
    const size_t len = i - lead;
    uint16_t c = Decode(buf + lead, len);
    // The bytes before i must form exactly one character.
    if (c != 0 && len != SequenceLength(buf[lead])) c = 0;
    return CaseTables().WideDelimiters[c] != 0;
  }
  static bool DelimAfter(const Unit* buf, size_t j, size_t size) {
    const uint16_t c = j >= size ? 0 : Decode(buf + j, size - j);
    return CaseTables().WideDelimiters[c] != 0;
  }
  static size_t SequenceLength(Unit b) {
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) return 2;
    if ((b & 0xF0) == 0xE0) return 3;
    if ((b & 0xF8) == 0xF0) return 4;
    return 0;
  }
};

// Streaming phrase search over a sliding window. Every position of the file
// is tried as a start, so a failed partial match never hides an overlapping
// hit ("aab" in "aaab"), whole-word rejections included.
template <typename Traits, typename Table>
class TPhraseScanner {
 public:
  using Unit = typename Traits::Unit;

  TPhraseScanner(const Unit* phrase, size_t length, const Table& table, bool wholeWord)
      : table_(table), wholeWord_(wholeWord) {
    phrase_.reserve(length);
    for (size_t k = 0; k < length; ++k) phrase_.push_back(table_[phrase[k]]);
  }

  // Adds units; true at the first hit. With eof the rest is scanned to the end.
  bool Feed(const Unit* data, size_t n, bool eof) {
    if (phrase_.empty()) return true;
    buf_.insert(buf_.end(), data, data + n);
    const size_t len = phrase_.size();
    const size_t ahead = wholeWord_ ? Traits::LookAhead : 0;
    const size_t size = buf_.size();
    const Unit* b = buf_.data();
    size_t i = next_;
    for (; i + len <= size; ++i) {
      if (!eof && i + len + ahead > size) break;
      if (table_[b[i]] != phrase_[0] || !Traits::CanStart(b, i)) continue;
      size_t k = 1;
      while (k < len && table_[b[i + k]] == phrase_[k]) ++k;
      if (k < len) continue;
      if (!wholeWord_) return true;
      if (Traits::DelimAfter(b, i + len, size) && Traits::DelimBefore(b, i)) return true;
    }
    if (eof) return false;
    // Keep the undecided tail plus the context the next candidates look back
    // on; so a candidate at index 0 is always the start of the file.
    const size_t keepFrom = i > Traits::LookBehind ? i - Traits::LookBehind : 0;
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(keepFrom));
    next_ = i - keepFrom;
    return false;
  }

 private:
  const Table& table_;
  bool wholeWord_;
  std::vector<Unit> phrase_;
  std::vector<Unit> buf_;
  size_t next_ = 0;
};

template <typename Traits, typename Table>
bool ScanBytes(TBlockReader& reader, std::vector<uint8_t>& block, size_t from, size_t filled,
               const uint8_t* phrase, size_t length, const Table& table, bool wholeWord) {
  TPhraseScanner<Traits, Table> scanner(phrase, length, table, wholeWord);
  for (;;) {
    const bool eof = filled < block.size();
    if (scanner.Feed(block.data() + from, filled - from, eof)) return true;
    if (eof) return false;
    from = 0;
    filled = reader.Read(block.data(), block.size());
  }
}

bool ScanWide(TBlockReader& reader, std::vector<uint8_t>& block, size_t from, size_t filled, bool bigEndian,
              const WideString& phrase, const std::array<uint16_t, 65536>& table, bool wholeWord) {
  std::vector<uint16_t> units(phrase.begin(), phrase.end());
  TPhraseScanner<TWideTraits, std::array<uint16_t, 65536>> scanner(units.data(), units.size(), table, wholeWord);
  for (;;) {
    const bool eof = filled < block.size();
    units.clear();
    // The block size is even and the mark is two bytes, so a unit never
    // straddles blocks; an odd last byte of the file is ignored.
    for (size_t k = from; k + 1 < filled; k += 2) {
      const uint8_t lo = bigEndian ? block[k + 1] : block[k];
      const uint8_t hi = bigEndian ? block[k] : block[k + 1];
      units.push_back(static_cast<uint16_t>(lo | (hi << 8)));
    }
    if (scanner.Feed(units.data(), units.size(), eof)) return true;
    if (eof) return false;
    from = 0;
    filled = reader.Read(block.data(), block.size());
  }
}

}  // namespace

const TCaseTables& CaseTables() {
  static const TCaseTables* tables = MakeTables();
  return *tables;
}

void BuildCaseTables() { (void)CaseTables(); }

bool FileContainsPhrase(const String& FileName, const TStringVariants& Phrase, TContentSearchOptions Options) {
  const TCaseTables& t = CaseTables();
  const bool caseSensitive = (Options & csoCaseSensitive) != 0;
  const bool wholeWord = (Options & csoWholeWord) != 0;
  const bool negate = (Options & csoNegate) != 0;

  TBlockReader reader(FileName);
  std::vector<uint8_t> block(kBlockBytes);
  const size_t filled = reader.Read(block.data(), block.size());
  const auto& ansiTable = caseSensitive ? t.AnsiIdentity : t.AnsiLower;
  bool found;
  if (filled >= 2 && block[0] == 0xFF && block[1] == 0xFE) {
    found = ScanWide(reader, block, 2, filled, false, Phrase.Unicode, caseSensitive ? t.WideIdentity : t.WideLower,
                     wholeWord);
  } else if (filled >= 2 && block[0] == 0xFE && block[1] == 0xFF) {
    found = ScanWide(reader, block, 2, filled, true, Phrase.Unicode, caseSensitive ? t.WideIdentity : t.WideLower,
                     wholeWord);
  } else if (filled >= 3 && block[0] == 0xEF && block[1] == 0xBB && block[2] == 0xBF) {
    const auto* p = reinterpret_cast<const uint8_t*>(Phrase.Utf8.data());
    found = ScanBytes<TUtf8Traits>(reader, block, 3, filled, p, Phrase.Utf8.size(), ansiTable, wholeWord);
  } else {
    const auto* p = reinterpret_cast<const uint8_t*>(Phrase.Ansi.data());
    found = ScanBytes<TAnsiTraits>(reader, block, 0, filled, p, Phrase.Ansi.size(), ansiTable, wholeWord);
  }
  return found != negate;
}
