#include "platform/rtl/IniFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool IsFile(const String& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsComment(std::string_view line) { return !line.empty() && (line[0] == ';' || line[0] == '#'); }

}  // namespace

TMemIniFile::TMemIniFile(const String& FileName) : FFileName(FileName) { LoadFile(); }

void TMemIniFile::LoadFile() {
  if (!IsFile(FFileName)) return;
  TStringList list;
  list.LoadFromFile(FFileName);
  SetStrings(list);
  FWriteBOM = list.WriteBOM;
}

void TMemIniFile::Rename(const String& FileName, bool Reload) {
  FFileName = FileName;
  if (Reload) {
    Clear();
    LoadFile();
  }
}

void TMemIniFile::Clear() {
  FPreamble.clear();
  FSections.clear();
}

void TMemIniFile::SetStrings(const TStrings& List) {
  Clear();
  for (int i = 0; i < List.Count(); ++i) {
    String raw = List[i];
    String line = Trim(raw);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      FSections.push_back(Section{Trim(std::string_view(line).substr(1, line.size() - 2)), {}});
      continue;
    }
    if (FSections.empty()) {
      FPreamble.push_back(raw);
      continue;
    }
    size_t eq = line.find('=');
    bool isKey = !IsComment(line) && eq != String::npos && !TrimRight(line.substr(0, eq)).empty();
    FSections.back().Lines.push_back(isKey ? Line{TrimRight(line.substr(0, eq)), TrimLeft(line.substr(eq + 1))}
                                           : Line{String(), raw});
  }
}

void TMemIniFile::GetStrings(TStrings& List) const {
  List.BeginUpdate();
  List.Clear();
  for (const String& line : FPreamble) List.Add(line);
  for (const Section& s : FSections) {
    // Sections are set apart by a blank line.
    if (&s != &FSections.front() && !Trim(List[List.Count() - 1]).empty()) List.Add(String());
    List.Add("[" + s.Name + "]");
    for (const Line& l : s.Lines) List.Add(l.IsKey() ? l.Key + "=" + l.Value : l.Value);
  }
  List.EndUpdate();
}

bool TMemIniFile::SameName(const String& A, const String& B) const {
  return FCaseSensitive ? A == B : AnsiSameText(A, B);
}

TMemIniFile::Line* TMemIniFile::FindKey(const String& Section, const String& Ident) {
  for (struct Section& s : FSections) {
    if (!SameName(s.Name, Section)) continue;
    for (Line& l : s.Lines)
      if (l.IsKey() && SameName(l.Key, Ident)) return &l;
  }
  return nullptr;
}

const TMemIniFile::Line* TMemIniFile::FindKey(const String& Section, const String& Ident) const {
  return const_cast<TMemIniFile*>(this)->FindKey(Section, Ident);
}

size_t TMemIniFile::KeyInsertPoint(const Section& S) {
  size_t pos = S.Lines.size();
  while (pos > 0 && !S.Lines[pos - 1].IsKey() && Trim(S.Lines[pos - 1].Value).empty()) --pos;
  return pos;
}

String TMemIniFile::ReadString(const String& Section, const String& Ident, const String& Default) const {
  const Line* l = FindKey(Section, Ident);
  return l ? l->Value : Default;
}

void TMemIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  String key = Trim(Ident);
  if (key.empty()) return;
  if (Line* found = FindKey(Section, key)) {
    found->Value = Trim(Value);
    return;
  }
  auto s = std::find_if(FSections.begin(), FSections.end(),
                        [&](const struct Section& x) { return SameName(x.Name, Section); });
  if (s == FSections.end()) s = FSections.insert(FSections.end(), TMemIniFile::Section{Trim(Section), {}});
  s->Lines.insert(s->Lines.begin() + KeyInsertPoint(*s), Line{key, Trim(Value)});
}

int TMemIniFile::ReadInteger(const String& Section, const String& Ident, int Default) const {
  return StrToIntDef(ReadString(Section, Ident, String()), Default);
}

int64_t TMemIniFile::ReadInt64(const String& Section, const String& Ident, int64_t Default) const {
  int64_t v = 0;
  return TryStrToInt64(ReadString(Section, Ident, String()), v) ? v : Default;
}

void TMemIniFile::WriteInteger(const String& Section, const String& Ident, int64_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TMemIniFile::ReadBool(const String& Section, const String& Ident, bool Default) const {
  String text = ReadString(Section, Ident, String());
  if (SameText(text, "true") || SameText(text, "yes")) return true;
  if (SameText(text, "false") || SameText(text, "no")) return false;
  int64_t v = 0;
  return TryStrToInt64(text, v) ? v != 0 : Default;
}

void TMemIniFile::WriteBool(const String& Section, const String& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

double TMemIniFile::ReadFloat(const String& Section, const String& Ident, double Default) const {
  double v = 0;
  return TryStrToFloatPoint(ReadString(Section, Ident, String()), v) ? v : Default;
}

void TMemIniFile::WriteFloat(const String& Section, const String& Ident, double Value) {
  WriteString(Section, Ident, FloatToStrPoint(Value));
}

bool TMemIniFile::SectionExists(const String& Section) const {
  return std::any_of(FSections.begin(), FSections.end(), [&](const struct Section& s) { return SameName(s.Name, Section); });
}

bool TMemIniFile::ValueExists(const String& Section, const String& Ident) const {
  return FindKey(Section, Ident) != nullptr;
}

void TMemIniFile::CollectKeys(const String& Section, TStrings& Strings, bool WithValues) const {
  Strings.BeginUpdate();
  Strings.Clear();
  for (const struct Section& s : FSections)
    if (SameName(s.Name, Section))
      for (const Line& l : s.Lines)
        if (l.IsKey()) Strings.Add(WithValues ? l.Key + "=" + l.Value : l.Key);
  Strings.EndUpdate();
}

void TMemIniFile::ReadSection(const String& Section, TStrings& Strings) const { CollectKeys(Section, Strings, false); }

void TMemIniFile::ReadSections(TStrings& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  for (size_t i = 0; i < FSections.size(); ++i) {
    auto first = FSections.begin() + static_cast<std::ptrdiff_t>(i);
    bool seen = std::any_of(FSections.begin(), first, [&](const Section& s) { return SameName(s.Name, first->Name); });
    if (!seen) Strings.Add(first->Name);
  }
  Strings.EndUpdate();
}

void TMemIniFile::ReadSectionValues(const String& Section, TStrings& Strings) const {
  CollectKeys(Section, Strings, true);
}

void TMemIniFile::EraseSection(const String& Section) {
  FSections.erase(std::remove_if(FSections.begin(), FSections.end(),
                                 [&](const struct Section& s) { return SameName(s.Name, Section); }),
                  FSections.end());
}

void TMemIniFile::DeleteKey(const String& Section, const String& Ident) {
  for (struct Section& s : FSections) {
    if (!SameName(s.Name, Section)) continue;
    auto it = std::find_if(s.Lines.begin(), s.Lines.end(),
                           [&](const Line& l) { return l.IsKey() && SameName(l.Key, Ident); });
    if (it != s.Lines.end()) {
      s.Lines.erase(it);
      return;
    }
  }
}

void TMemIniFile::UpdateFile() {
  TStringList list;
  GetStrings(list);
  list.WriteBOM = FWriteBOM;
  String temp = FFileName + ".tmp";
  try {
    list.SaveToFile(temp);
  } catch (...) {
    std::remove(temp.c_str());
    throw;
  }
  if (std::rename(temp.c_str(), FFileName.c_str()) != 0) {
    int err = errno;
    std::remove(temp.c_str());
    throw EFCreateError(Format("Cannot create file \"%s\". %s", {FFileName, std::strerror(err)}));
  }
}

void TIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  TMemIniFile::WriteString(Section, Ident, Value);
  UpdateFile();
}

void TIniFile::EraseSection(const String& Section) {
  TMemIniFile::EraseSection(Section);
  UpdateFile();
}

void TIniFile::DeleteKey(const String& Section, const String& Ident) {
  TMemIniFile::DeleteKey(Section, Ident);
  UpdateFile();
}
