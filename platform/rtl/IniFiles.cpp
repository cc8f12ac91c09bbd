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
  Section* current = nullptr;
  size_t insertAt = 0;  // where the next line of the current section goes
  for (int i = 0; i < List.Count(); ++i) {
    String raw = List[i];
    String line = Trim(raw);
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      String name = Trim(std::string_view(line).substr(1, line.size() - 2));
      current = FindSection(name);
      // A repeated section continues the first one, ahead of its trailing blank lines.
      if (!current) current = &FSections.emplace_back(Section{name, {}});
      insertAt = KeyInsertPoint(*current);
      continue;
    }
    if (!current) {
      FPreamble.push_back(raw);
      continue;
    }
    size_t eq = line.find('=');
    bool isKey = !IsComment(line) && eq != String::npos && !TrimRight(line.substr(0, eq)).empty();
    Line entry = isKey ? Line{TrimRight(line.substr(0, eq)), TrimLeft(line.substr(eq + 1))} : Line{String(), raw};
    current->Lines.insert(current->Lines.begin() + insertAt++, std::move(entry));
  }
}

size_t TMemIniFile::KeyInsertPoint(const Section& S) {
  size_t pos = S.Lines.size();
  while (pos > 0 && !S.Lines[pos - 1].IsKey() && Trim(S.Lines[pos - 1].Value).empty()) --pos;
  return pos;
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

TMemIniFile::Section* TMemIniFile::FindSection(const String& Name) {
  auto it = std::find_if(FSections.begin(), FSections.end(), [&](const Section& s) { return AnsiSameText(s.Name, Name); });
  return it == FSections.end() ? nullptr : &*it;
}

const TMemIniFile::Section* TMemIniFile::FindSection(const String& Name) const {
  return const_cast<TMemIniFile*>(this)->FindSection(Name);
}

const TMemIniFile::Line* TMemIniFile::FindKey(const Section& S, const String& Ident) {
  for (const Line& l : S.Lines)
    if (l.IsKey() && AnsiSameText(l.Key, Ident)) return &l;
  return nullptr;
}

String TMemIniFile::ReadString(const String& Section, const String& Ident, const String& Default) const {
  const struct Section* s = FindSection(Section);
  const Line* l = s ? FindKey(*s, Ident) : nullptr;
  return l ? l->Value : Default;
}

void TMemIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  String key = Trim(Ident);
  if (key.empty()) return;
  struct Section* s = FindSection(Section);
  if (!s) s = &FSections.emplace_back(TMemIniFile::Section{Trim(Section), {}});
  if (const Line* found = FindKey(*s, key)) {
    const_cast<Line*>(found)->Value = Trim(Value);
    return;
  }
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
  String text = ReadString(Section, Ident, String());
  double v = 0;
  return TryStrToFloatPoint(text, v) || TryStrToFloat(text, v) ? v : Default;
}

void TMemIniFile::WriteFloat(const String& Section, const String& Ident, double Value) {
  WriteString(Section, Ident, FloatToStrPoint(Value));
}

bool TMemIniFile::SectionExists(const String& Section) const { return FindSection(Section) != nullptr; }

bool TMemIniFile::ValueExists(const String& Section, const String& Ident) const {
  const struct Section* s = FindSection(Section);
  return s && FindKey(*s, Ident);
}

void TMemIniFile::ReadSection(const String& Section, TStrings& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  if (const struct Section* s = FindSection(Section))
    for (const Line& l : s->Lines)
      if (l.IsKey()) Strings.Add(l.Key);
  Strings.EndUpdate();
}

void TMemIniFile::ReadSections(TStrings& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  for (const Section& s : FSections) Strings.Add(s.Name);
  Strings.EndUpdate();
}

void TMemIniFile::ReadSectionValues(const String& Section, TStrings& Strings) const {
  Strings.BeginUpdate();
  Strings.Clear();
  if (const struct Section* s = FindSection(Section))
    for (const Line& l : s->Lines)
      if (l.IsKey()) Strings.Add(l.Key + "=" + l.Value);
  Strings.EndUpdate();
}

void TMemIniFile::EraseSection(const String& Section) {
  FSections.erase(std::remove_if(FSections.begin(), FSections.end(),
                                 [&](const struct Section& s) { return AnsiSameText(s.Name, Section); }),
                  FSections.end());
}

void TMemIniFile::DeleteKey(const String& Section, const String& Ident) {
  struct Section* s = FindSection(Section);
  if (!s) return;
  const Line* l = FindKey(*s, Ident);
  if (l) s->Lines.erase(s->Lines.begin() + (l - s->Lines.data()));
}

void TMemIniFile::UpdateFile() {
  TStringList list;
  GetStrings(list);
  list.WriteBOM = FWriteBOM;
  // Write beside the file and swap it in, so that a full disk or a crash
  // leaves the previous settings rather than a truncated file.
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
