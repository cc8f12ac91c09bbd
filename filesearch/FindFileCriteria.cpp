// Search criteria, target paths and the folder syntax.

#include <cmath>
#include <ctime>
#include <typeinfo>

#include "filesearch/FindFile.h"

// ---------------------------------------------------------------------------
// Helpers

std::vector<String> SplitValues(std::string_view text, char separator, bool caseSensitive) {
  std::vector<String> out;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(separator, start);
    String piece = Trim(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (!piece.empty()) {
      bool seen = false;
      for (const String& s : out) {
        if (caseSensitive ? s == piece : AnsiSameText(s, piece)) {
          seen = true;
          break;
        }
      }
      if (!seen) out.push_back(std::move(piece));
    }
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return out;
}

bool WildcardMatch(std::string_view text, std::string_view mask) {
  // A "?" after a "*" adds nothing: drop it (and repeated "*").
  String m;
  m.reserve(mask.size());
  for (char c : mask) {
    if ((c == '?' || c == '*') && !m.empty() && m.back() == '*') continue;
    m += c;
  }
  // The final run of "?" may match fewer characters, down to none: try each
  // shortened mask with the platform's matcher.
  size_t runEnd = m.size();
  if (runEnd > 0 && m[runEnd - 1] == '*') --runEnd;
  size_t runStart = runEnd;
  while (runStart > 0 && m[runStart - 1] == '?') --runStart;
  for (size_t drop = 0; drop <= runEnd - runStart; ++drop) {
    String shortened = m.substr(0, runEnd - drop) + m.substr(runEnd);
    if (MatchesMask(text, shortened)) return true;
  }
  return false;
}

namespace {

double DatePart(TDateTime v) { return std::trunc(v); }
double TimePart(TDateTime v) { return std::fabs(v - std::trunc(v)); }
bool IsWholeDate(TDateTime v) { return v == std::trunc(v); }

}  // namespace

bool IsDateTimeInRange(TDateTime V, TDateTime Before, TDateTime After) {
  if (Before != 0) {
    if (IsWholeDate(Before)) {
      if (DatePart(V) > Before) return false;
    } else if (Before < 1) {
      if (TimePart(V) > Before) return false;
    } else if (V > Before) {
      return false;
    }
  }
  if (After != 0) {
    if (IsWholeDate(After)) {
      if (DatePart(V) < After) return false;
    } else if (After < 1) {
      if (TimePart(V) < After) return false;
    } else if (V < After) {
      return false;
    }
  }
  return true;
}

TDateTime FileTimeToLocalDateTime(TDateTime Utc) {
  const double seconds = (Utc - UnixDateDelta) * SecsPerDay;
  const time_t whole = static_cast<time_t>(std::floor(seconds));
  struct tm local {};
  localtime_r(&whole, &local);
  return Utc + static_cast<double>(local.tm_gmtoff) / SecsPerDay;
}

// ---------------------------------------------------------------------------
// Target paths

namespace {

// Reads a level of the folder syntax; anything but a Word leaves the default.
void ReadLevel(const String& text, uint16_t& level) {
  int value;
  if (TryStrToInt(Trim(text), value) && value >= 0 && value <= 0xFFFF) level = static_cast<uint16_t>(value);
}

}  // namespace

String ParseFolderInfo(const String& FolderInfo, bool& Recursive, uint16_t& MinLevel, uint16_t& MaxLevel) {
  String folder = FolderInfo;
  const size_t gt = folder.find('>');
  if (gt != String::npos) {
    const String prefix = Trim(std::string_view(folder).substr(0, gt));
    folder.erase(0, gt + 1);
    Recursive = true;
    if (!prefix.empty()) {
      const size_t dash = prefix.find('-');
      if (dash != String::npos) {
        ReadLevel(prefix.substr(0, dash), MinLevel);
        ReadLevel(prefix.substr(dash + 1), MaxLevel);
      } else {
        ReadLevel(prefix, MaxLevel);
        MinLevel = 0;
      }
    }
  } else if (const size_t lt = folder.find('<'); lt != String::npos) {
    folder.erase(0, lt + 1);
    Recursive = false;
  }
  folder = Trim(folder);
  return IncludeTrailingPathDelimiter(folder.empty() ? GetCurrentDir() : ExpandFileName(folder));
}

TTargetPath::TTargetPath() { fFileMasks.SetCaseSensitive(false); }

TTargetPath* TTargetPaths::Find(const String& Folder) const {
  for (const auto& item : fItems) {
    if (item->Folder() == Folder) return item.get();
  }
  return nullptr;
}

TTargetPath& TTargetPaths::AddFolderAndMasks(const String& FolderInfo, const std::vector<String>& FileMasks,
                                             bool Recursive, uint16_t MinLevel, uint16_t MaxLevel) {
  const String folder = ParseFolderInfo(FolderInfo, Recursive, MinLevel, MaxLevel);
  TTargetPath* target = Find(folder);
  if (!target) {
    fItems.push_back(std::make_unique<TTargetPath>());
    target = fItems.back().get();
  }
  target->SetFolder(folder);
  target->Recursive = Recursive;
  target->MinLevel = MinLevel;
  target->MaxLevel = MaxLevel;
  if (FileMasks.empty()) target->FileMasks().Add("*.*");
  for (const String& mask : FileMasks) target->FileMasks().Add(mask);
  return *target;
}

TTargetPath& TTargetPaths::AddPath(const String& PathInfo, bool Recursive, uint16_t MinLevel, uint16_t MaxLevel) {
  const size_t slash = PathInfo.rfind(PathDelim);
  const String folderInfo = slash == String::npos ? String() : PathInfo.substr(0, slash + 1);
  const String mask = Trim(slash == String::npos ? std::string_view(PathInfo) : std::string_view(PathInfo).substr(slash + 1));
  return AddFolderAndMasks(folderInfo, {mask.empty() ? String("*.*") : mask}, Recursive, MinLevel, MaxLevel);
}

// ---------------------------------------------------------------------------
// Criteria

void TCustomCriteria::Assign(const TCustomCriteria& Source) {
  throw EConvertError(Format("Cannot assign a %s to a %s", {Source.ClassName(), ClassName()}));
}

namespace {

// The source as the same class as target, or nullptr.
template <typename T>
const T* SameClass(const T& target, const TCustomCriteria& source) {
  return typeid(source) == typeid(target) ? static_cast<const T*>(&source) : nullptr;
}

}  // namespace

TFileCriteria::TFileCriteria() {
  fPaths.SetCaseSensitive(false);
  fFilters.SetCaseSensitive(false);
  fPaths.OnChange = [this](TObject*) { DropTargetPaths(); };
}

void TFileCriteria::Assign(const TCustomCriteria& Source) {
  const TFileCriteria* src = SameClass(*this, Source);
  if (!src) return TCustomCriteria::Assign(Source);
  SetFileName(src->fFileName);
  SetLocation(src->fLocation);
  SetPaths(src->fPaths);
  SetSubfolders(src->fSubfolders);
  SetMinLevel(src->fMinLevel);
  SetMaxLevel(src->fMaxLevel);
  SetFilters(src->fFilters);
  DropTargetPaths();
}

void TFileCriteria::Clear() {
  fFileName.clear();
  fLocation.clear();
  fPaths.Clear();
  fFilters.Clear();
  fSubfolders = true;
  fMinLevel = 0;
  fMaxLevel = 0;
  DropTargetPaths();
}

void TFileCriteria::SetFileName(const String& Value) {
  if (Value == fFileName) return;
  fFileName = Value;
  DropTargetPaths();
}

void TFileCriteria::SetLocation(const String& Value) {
  if (Value == fLocation) return;
  fLocation = Value;
  DropTargetPaths();
}

void TFileCriteria::SetSubfolders(bool Value) {
  if (Value == fSubfolders) return;
  fSubfolders = Value;
  DropTargetPaths();
}

void TFileCriteria::SetMinLevel(uint16_t Value) {
  if (Value == fMinLevel) return;
  fMinLevel = Value;
  DropTargetPaths();
}

void TFileCriteria::SetMaxLevel(uint16_t Value) {
  if (Value == fMaxLevel) return;
  fMaxLevel = Value;
  DropTargetPaths();
}

bool TFileCriteria::Matches(const String& Folder, const String& FileName) const {
  if (fFilters.Count() == 0) return true;
  String text = Folder + FileName;
  if (ExtractFileExt(FileName).empty()) text += '.';
  for (int i = 0; i < fFilters.Count(); ++i) {
    const String filter = fFilters[i];
    if (!filter.empty() && filter[0] == '>') {
      if (WildcardMatch(text, std::string_view(filter).substr(1))) return true;
    } else {
      const std::string_view mask = !filter.empty() && filter[0] == '<' ? std::string_view(filter).substr(1) : filter;
      if (WildcardMatch(text, mask)) return false;
    }
  }
  return true;
}

TTargetPaths& TFileCriteria::GetTargetPaths() {
  if (fTargetPaths) return *fTargetPaths;
  auto targets = std::make_unique<TTargetPaths>();
  std::vector<String> masks = SplitValues(fFileName);
  if (masks.empty()) masks.push_back("*.*");
  // Folders differ by case on this file system, so only exact repeats go.
  for (const String& folder : SplitValues(fLocation, ';', true))
    targets->AddFolderAndMasks(folder, masks, fSubfolders, fMinLevel, fMaxLevel);
  for (int i = 0; i < fPaths.Count(); ++i) {
    const String line = Trim(fPaths[i]);
    if (!line.empty()) targets->AddPath(line, fSubfolders, fMinLevel, fMaxLevel);
  }
  fTargetPaths = std::move(targets);
  return *fTargetPaths;
}

void TAttributesCriteria::Assign(const TCustomCriteria& Source) {
  const TAttributesCriteria* src = SameClass(*this, Source);
  if (!src) return TCustomCriteria::Assign(Source);
  fOnAttributes = src->fOnAttributes;
  fOffAttributes = src->fOffAttributes;
  fAnyOnAttributes = src->fAnyOnAttributes;
  fAnyOffAttributes = src->fAnyOffAttributes;
}

void TAttributesCriteria::Clear() { fOnAttributes = fOffAttributes = fAnyOnAttributes = fAnyOffAttributes = 0; }

TFileAttributeStatus TAttributesCriteria::GetStatus(uint32_t Attribute) const {
  if (fOnAttributes & Attribute) return fsSet;
  if (fOffAttributes & Attribute) return fsUnset;
  if (fAnyOnAttributes & Attribute) return fsAnySet;
  if (fAnyOffAttributes & Attribute) return fsAnyUnset;
  return fsIgnore;
}

void TAttributesCriteria::SetStatus(uint32_t Attribute, TFileAttributeStatus Value) {
  fOnAttributes &= ~Attribute;
  fOffAttributes &= ~Attribute;
  fAnyOnAttributes &= ~Attribute;
  fAnyOffAttributes &= ~Attribute;
  switch (Value) {
    case fsSet: fOnAttributes |= Attribute; break;
    case fsUnset: fOffAttributes |= Attribute; break;
    case fsAnySet: fAnyOnAttributes |= Attribute; break;
    case fsAnyUnset: fAnyOffAttributes |= Attribute; break;
    case fsIgnore: break;
  }
}

bool TAttributesCriteria::Matches(uint32_t Attr) const {
  return (Attr & fOnAttributes) == fOnAttributes && (Attr & fOffAttributes) == 0 &&
         (fAnyOnAttributes == 0 || (Attr & fAnyOnAttributes) != 0) &&
         (fAnyOffAttributes == 0 || (~Attr & fAnyOffAttributes) != 0);
}

void TDateTimeCriteria::Assign(const TCustomCriteria& Source) {
  const TDateTimeCriteria* src = SameClass(*this, Source);
  if (!src) return TCustomCriteria::Assign(Source);
  CreatedBefore = src->CreatedBefore;
  CreatedAfter = src->CreatedAfter;
  ModifiedBefore = src->ModifiedBefore;
  ModifiedAfter = src->ModifiedAfter;
  AccessedBefore = src->AccessedBefore;
  AccessedAfter = src->AccessedAfter;
}

void TDateTimeCriteria::Clear() {
  CreatedBefore = CreatedAfter = ModifiedBefore = ModifiedAfter = AccessedBefore = AccessedAfter = 0;
}

bool TDateTimeCriteria::Matches(TDateTime Created, TDateTime Modified, TDateTime Accessed) const {
  const auto inRange = [](TDateTime utc, TDateTime before, TDateTime after) {
    return (before == 0 && after == 0) || IsDateTimeInRange(FileTimeToLocalDateTime(utc), before, after);
  };
  return inRange(Created, CreatedBefore, CreatedAfter) && inRange(Modified, ModifiedBefore, ModifiedAfter) &&
         inRange(Accessed, AccessedBefore, AccessedAfter);
}

void TSizeCriteria::Assign(const TCustomCriteria& Source) {
  const TSizeCriteria* src = SameClass(*this, Source);
  if (!src) return TCustomCriteria::Assign(Source);
  Min = src->Min;
  Max = src->Max;
}

void TSizeCriteria::Clear() { Min = Max = 0; }

bool TSizeCriteria::Matches(int64_t Size) const { return (Min == 0 || Size >= Min) && (Max == 0 || Size <= Max); }

void TContentCriteria::Assign(const TCustomCriteria& Source) {
  const TContentCriteria* src = SameClass(*this, Source);
  if (!src) return TCustomCriteria::Assign(Source);
  SetPhrase(src->fPhrase);
  Options = src->Options;
}

void TContentCriteria::Clear() {
  SetPhrase(String());
  Options = 0;
}

void TContentCriteria::SetPhrase(const String& Value) {
  if (Value == fPhrase) return;
  fPhrase = Value;
  // The 8-bit code page is UTF-8, so the 8-bit form is the text itself.
  fPhraseVariants = TStringVariants{Value, UTF8ToUTF16(Value), Value};
}

bool TContentCriteria::Matches(const String& FileName) const {
  if (fPhrase.empty()) return true;
  try {
    return FileContainsPhrase(FileName, fPhraseVariants, Options);
  } catch (...) {
    return false;  // unreadable: no match, whatever csoNegate says
  }
}

TSearchCriteria::TSearchCriteria()
    : fFiles(std::make_unique<TFileCriteria>()),
      fAttributes(std::make_unique<TAttributesCriteria>()),
      fTimeStamp(std::make_unique<TDateTimeCriteria>()),
      fSize(std::make_unique<TSizeCriteria>()),
      fContent(std::make_unique<TContentCriteria>()) {}

void TSearchCriteria::Assign(const TCustomCriteria& Source) {
  const TSearchCriteria* src = SameClass(*this, Source);
  if (!src) return TCustomCriteria::Assign(Source);
  SetFiles(*src->fFiles);
  SetAttributes(*src->fAttributes);
  SetTimeStamp(*src->fTimeStamp);
  SetSize(*src->fSize);
  SetContent(*src->fContent);
}

void TSearchCriteria::Clear() {
  fFiles->Clear();
  fAttributes->Clear();
  fTimeStamp->Clear();
  fSize->Clear();
  fContent->Clear();
}

bool TSearchCriteria::Matches(const String& Folder, const TSearchRec& FindData) const {
  return fAttributes->Matches(static_cast<uint32_t>(FindData.Attr)) && fSize->Matches(FindData.Size) &&
         fTimeStamp->Matches(FindData.CreationTime, FindData.LastWriteTime, FindData.LastAccessTime) &&
         fFiles->Matches(Folder, FindData.Name) &&
         (fContent->Phrase().empty() || fContent->Matches(Folder + FindData.Name));
}

bool TSearchCriteria::NeedsStatus() const {
  const uint32_t named = fAttributes->OnAttributes() | fAttributes->OffAttributes() | fAttributes->AnyOnAttributes() |
                         fAttributes->AnyOffAttributes();
  const TDateTimeCriteria& t = *fTimeStamp;
  const bool dated = t.CreatedBefore != 0 || t.CreatedAfter != 0 || t.ModifiedBefore != 0 || t.ModifiedAfter != 0 ||
                     t.AccessedBefore != 0 || t.AccessedAfter != 0;
  return (named & faReadOnly) || fSize->Min != 0 || fSize->Max != 0 || dated;
}
