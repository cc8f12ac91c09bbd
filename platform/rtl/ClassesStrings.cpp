#include "platform/rtl/Classes.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TStrings

namespace {

// Runs f between BeginUpdate and EndUpdate, ending the update when f throws too.
template <class F>
void WhileUpdating(TStrings& list, F&& f) {
  list.BeginUpdate();
  try {
    f();
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

}  // namespace

void TStrings::CheckIndex(int Index, int Limit) const {
  if (Index < 0 || Index >= Limit) throw EStringListError(Format("List index out of bounds (%d)", {Index}));
}

int TStrings::Add(const String& S) {
  int index = Count();
  Insert(index, S);
  return index;
}

int TStrings::AddObject(const String& S, TObject* AObject) {
  int index = Add(S);
  PutObject(index, AObject);
  return index;
}

void TStrings::AddStrings(const TStrings& Strings) {
  WhileUpdating(*this, [&] {
    for (int i = 0; i < Strings.Count(); ++i) AddObject(Strings.Get(i), Strings.GetObject(i));
  });
}

void TStrings::InsertObject(int Index, const String& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TStrings::Put(int Index, const String& S) {
  TObject* obj = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, obj);
}

TObject* TStrings::GetObject(int) const { return nullptr; }
void TStrings::PutObject(int, TObject*) {}

void TStrings::Exchange(int Index1, int Index2) {
  String s1 = Get(Index1);
  TObject* o1 = GetObject(Index1);
  Put(Index1, Get(Index2));
  PutObject(Index1, GetObject(Index2));
  Put(Index2, s1);
  PutObject(Index2, o1);
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  String s = Get(CurIndex);
  TObject* o = GetObject(CurIndex);
  Delete(CurIndex);
  InsertObject(NewIndex, s, o);
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* strings = dynamic_cast<TStrings*>(Source))
    Assign(*strings);
  else
    TPersistent::Assign(Source);
}

void TStrings::Assign(const TStrings& Source) {
  if (&Source == this) return;
  WhileUpdating(*this, [&] {
    Clear();
    NameValueSeparator = Source.NameValueSeparator;
    Delimiter = Source.Delimiter;
    QuoteChar = Source.QuoteChar;
    StrictDelimiter = Source.StrictDelimiter;
    AddStrings(Source);
  });
}

bool TStrings::Equals(const TStrings& Other) const {
  if (Count() != Other.Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (Get(i) != Other.Get(i)) return false;
  return true;
}

int TStrings::CompareStrings(const String& S1, const String& S2) const { return AnsiCompareText(S1, S2); }

int TStrings::IndexOf(const String& S) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const String& Name) const {
  for (int i = 0; i < Count(); ++i) {
    String s = Get(i);
    size_t p = s.find(NameValueSeparator);
    if (p != String::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject* AObject) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

String TStrings::Names(int Index) const {
  String s = Get(Index);
  size_t p = s.find(NameValueSeparator);
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::ValueFromIndex(int Index) const {
  String s = Get(Index);
  size_t p = s.find(NameValueSeparator);
  return p == String::npos ? String() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int Index, const String& Value) {
  Put(Index, Names(Index) + NameValueSeparator + Value);
}

String TStrings::GetValue(const String& Name) const {
  int i = IndexOfName(Name);
  return i < 0 ? String() : ValueFromIndex(i);
}

void TStrings::SetValue(const String& Name, const String& Value) {
  int i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    Put(i, Name + NameValueSeparator + Value);
  } else {
    Add(Name + NameValueSeparator + Value);
  }
}

String TStrings::Text() const {
  String out;
  for (int i = 0; i < Count(); ++i) {
    out += Get(i);
    out += LineBreak;
  }
  return out;
}

void TStrings::SetText(std::string_view Value) {
  WhileUpdating(*this, [&] {
    Clear();
    size_t i = 0;
    while (i < Value.size()) {
      size_t end = Value.find_first_of("\r\n", i);
      if (end == std::string_view::npos) end = Value.size();
      Add(String(Value.substr(i, end - i)));
      i = end;
      if (i < Value.size() && Value[i] == '\r') {
        ++i;
        if (i < Value.size() && Value[i] == '\n') ++i;
      } else if (i < Value.size()) {
        ++i;
      }
    }
  });
}

namespace {

bool NeedsQuotes(std::string_view s, char delimiter, char quote, bool strict) {
  if (s.empty()) return !strict;
  for (char c : s) {
    if (c == delimiter || c == quote || c == '\r' || c == '\n') return true;
    if (!strict && static_cast<unsigned char>(c) <= ' ') return true;
  }
  return false;
}

String QuoteWith(std::string_view s, char quote) {
  String out(1, quote);
  for (char c : s) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

bool IsBlank(char c) { return c != 0 && static_cast<unsigned char>(c) <= ' '; }

}  // namespace

namespace {

String JoinDelimited(const TStrings& list, char delimiter, char quote, bool strict) {
  if (list.Count() == 1 && list[0].empty()) return String(2, quote);
  String out;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) out += delimiter;
    String s = list[i];
    out += NeedsQuotes(s, delimiter, quote, strict) ? QuoteWith(s, quote) : s;
  }
  return out;
}

void SplitDelimited(TStrings& list, std::string_view text, char delimiter, char quote, bool strict) {
  WhileUpdating(list, [&] {
    list.Clear();
    size_t i = 0, n = text.size();
    auto skipBlanks = [&]() {
      if (!strict)
        while (i < n && IsBlank(text[i])) ++i;
    };
    skipBlanks();
    while (i < n) {
      String item;
      if (text[i] == quote) {
        // Quoted: up to the closing quote, a doubled quote standing for one.
        for (++i; i < n; ++i) {
          if (text[i] == quote) {
            if (i + 1 < n && text[i + 1] == quote) {
              ++i;
            } else {
              ++i;
              break;
            }
          }
          item += text[i];
        }
      } else {
        size_t start = i;
        while (i < n && text[i] != delimiter && (strict || !IsBlank(text[i]))) ++i;
        item.assign(text.substr(start, i - start));
      }
      list.Add(item);
      skipBlanks();
      if (i < n && text[i] == delimiter) {
        ++i;
        if (i == n) list.Add(String());  // a trailing delimiter ends an empty item
        skipBlanks();
      }
    }
  });
}

}  // namespace

String TStrings::DelimitedText() const { return JoinDelimited(*this, Delimiter, QuoteChar, StrictDelimiter); }

void TStrings::SetDelimitedText(std::string_view Value) {
  SplitDelimited(*this, Value, Delimiter, QuoteChar, StrictDelimiter);
}

String TStrings::CommaText() const { return JoinDelimited(*this, ',', '"', false); }

void TStrings::SetCommaText(std::string_view Value) { SplitDelimited(*this, Value, ',', '"', false); }

void TStrings::LoadFromFile(const String& FileName) {
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TStrings::SaveToFile(const String& FileName) const {
  TFileStream file(FileName, fmCreate);
  SaveToStream(file);
}

void TStrings::LoadFromStream(TStream& Stream) {
  int64_t size = Stream.Size() - Stream.Position();
  String data(static_cast<size_t>(std::max<int64_t>(0, size)), '\0');
  data.resize(static_cast<size_t>(std::max<int64_t>(0, Stream.Read(data.data(), size))));
  std::string_view view(data);
  String converted;
  bool bom = false;
  if (view.substr(0, 3) == "\xEF\xBB\xBF") {
    view.remove_prefix(3);
    bom = true;
  } else if (view.size() >= 2 && (view.substr(0, 2) == "\xFF\xFE" || view.substr(0, 2) == "\xFE\xFF")) {
    bool bigEndian = view[0] == '\xFE';
    std::u16string wide;
    for (size_t i = 2; i + 1 < view.size(); i += 2) {
      auto lo = static_cast<unsigned char>(view[i + (bigEndian ? 1 : 0)]);
      auto hi = static_cast<unsigned char>(view[i + (bigEndian ? 0 : 1)]);
      wide += static_cast<char16_t>(lo | (hi << 8));
    }
    converted = UTF16ToUTF8(wide);
    view = converted;
    bom = true;
  }
  WriteBOM = bom;
  SetText(view);
}

void TStrings::SaveToStream(TStream& Stream) const {
  if (WriteBOM) Stream.WriteString("\xEF\xBB\xBF");
  Stream.WriteString(Text());
}

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

// ---------------------------------------------------------------------------
// TStringList

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating)
    Changing();
  else
    Changed();
}

int TStringList::CompareStrings(const String& S1, const String& S2) const {
  return FCaseSensitive ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

String TStringList::Get(int Index) const {
  CheckIndex(Index, Count());
  return FList[Index].Str;
}

TObject* TStringList::GetObject(int Index) const {
  CheckIndex(Index, Count());
  return FList[Index].Obj;
}

void TStringList::Put(int Index, const String& S) {
  if (FSorted) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(Index, Count());
  Changing();
  FList[Index].Str = S;
  Changed();
}

void TStringList::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index, Count());
  Changing();
  FList[Index].Obj = AObject;
  Changed();
}

void TStringList::InsertItem(int Index, const String& S, TObject* AObject) {
  Changing();
  FList.insert(FList.begin() + Index, Item{S, AObject});
  Changed();
}

int TStringList::Add(const String& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const String& S, TObject* AObject) {
  int index = Count();
  if (FSorted && Find(S, index)) {
    if (Duplicates == dupIgnore) return index;
    if (Duplicates == dupError) throw EStringListError("String list does not allow duplicates");
    // dupAccept: after the equal ones, keeping insertion order among them.
    while (index < Count() && CompareStrings(FList[index].Str, S) == 0) ++index;
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::Insert(int Index, const String& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, const String& S, TObject* AObject) {
  if (FSorted) throw EStringListError("Operation not allowed on sorted list");
  CheckIndex(Index, Count() + 1);
  InsertItem(Index, S, AObject);
}

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  Clear();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index, Count());
  Changing();
  TObject* owned = OwnsObjects ? FList[Index].Obj : nullptr;
  FList.erase(FList.begin() + Index);
  delete owned;
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  std::vector<Item> old;
  old.swap(FList);
  if (OwnsObjects)
    for (Item& item : old) delete item.Obj;
  Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1, Count());
  CheckIndex(Index2, Count());
  Changing();
  std::swap(FList[Index1], FList[Index2]);
  Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
  CheckIndex(CurIndex, Count());
  CheckIndex(NewIndex, Count());
  if (CurIndex == NewIndex) return;
  if (FSorted) throw EStringListError("Operation not allowed on sorted list");
  Changing();
  auto from = FList.begin() + CurIndex, to = FList.begin() + NewIndex;
  if (CurIndex < NewIndex)
    std::rotate(from, from + 1, to + 1);
  else
    std::rotate(to, from, from + 1);
  Changed();
}

bool TStringList::Find(const String& S, int& Index) const {
  auto it = std::lower_bound(FList.begin(), FList.end(), S,
                             [this](const Item& item, const String& key) { return CompareStrings(item.Str, key) < 0; });
  Index = static_cast<int>(it - FList.begin());
  return it != FList.end() && CompareStrings(it->Str, S) == 0;
}

int TStringList::IndexOf(const String& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  int index = -1;
  return Find(S, index) ? index : -1;
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  if (FList.size() < 2) return;
  Changing();
  // Sort a permutation so that the comparer sees the list as it was.
  std::vector<int> order(FList.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(FList.size());
  for (int i : order) sorted.push_back(std::move(FList[i]));
  FList.swap(sorted);
  Changed();
}

void TStringList::Sort() {
  CustomSort([](const TStringList& list, int a, int b) { return list.CompareStrings(list.FList[a].Str, list.FList[b].Str); });
}

void TStringList::SetSorted(bool Value) {
  if (Value == FSorted) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (Value == FCaseSensitive) return;
  FCaseSensitive = Value;
  if (FSorted) Sort();
}
