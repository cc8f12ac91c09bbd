#include "db/storage/VelqorimBTree.h"

#include <algorithm>
#include <cstring>

#include "db/support/DAZArrays.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"
#include "db/support/DAZVariant.h"

namespace {
int Sign(int V) { return (V > 0) - (V < 0); }
}  // namespace

// ---------------------------------------------------------------- keys

int TVelqorimBTreeKeyRef::CompareReferences(const uint8_t* Reference1, const uint8_t* Reference2, int Size) {
  if (Size == static_cast<int>(sizeof(TABSPageItemID))) {
    TABSPageItemID a, b;
    std::memcpy(&a, Reference1, sizeof a);
    std::memcpy(&b, Reference2, sizeof b);
    if (a.PageNo != b.PageNo) return a.PageNo < b.PageNo ? -1 : 1;
    return Sign(int{a.PageItemNo} - int{b.PageItemNo});
  }
  return Sign(std::memcmp(Reference1, Reference2, Size));
}

void TVelqorimRecordKeyRef::SetPartCount(int Value) {
  TVelqorimBTreeKeyRef::SetPartCount(Value);
  FCompareLengths.assign(Value, -1);
}

void TVelqorimRecordKeyRef::Assign(const TVelqorimIndexDef& IndexDef, TVelqorimTableData* aTableData) {
  LTableData = aTableData;
  if (aTableData == nullptr || aTableData->FieldManager == nullptr) throw EABSException(20044, "Pointer is nil");
  const TVelqorimFieldDefs& fields = aTableData->FieldManager->FieldDefs;
  if (fields.Count() == 0) throw EABSException(20045, "Pointer is nil");
  SetPartCount(IndexDef.ColumnCount());
  CompareFieldCount = IndexDef.ColumnCount();
  ShortKeySize = FullKeySize = 0;
  for (int i = 0; i < IndexDef.ColumnCount(); ++i) {
    const TVelqorimIndexColumn& column = IndexDef.GetIndexColumn(i);
    const int f = fields.GetDefNumberByName(column.FieldName);
    if (f < 0) throw EABSException(20043, "Cannot find index field '%s'", {column.FieldName});
    const TVelqorimFieldDef& def = *fields[f];
    if (IsBlobBaseFieldType(def.BaseFieldType))
      throw EABSException(20295,
                          "Cannot index BLOB field '%s'. Direct indexing of BLOB fields is not supported yet, please "
                          "use CAST(blob_field, string) function to convert BLOB field to a string expression before "
                          "indexing.",
                          {column.FieldName});
    TVelqorimKeyPart& part = Parts[i];
    part.OffsetInShortKeyBuffer = ShortKeySize;
    part.OffsetInFullKeyBuffer = FullKeySize;
    part.OffsetInRecordBuffer = def.MemoryOffset;
    part.FieldNo = f;
    // Only text can be cut (its terminator marks the end); a number cut short
    // would compare garbage, and a size of 0 or less means "not set".
    const bool cut = IsStringBaseFieldType(def.BaseFieldType) && column.MaxIndexedSize > 0 &&
                     column.MaxIndexedSize < def.MemoryDataSize;
    part.AddedSize = cut ? 2 : 0;
    part.ShortSize = cut ? column.MaxIndexedSize + 3 : def.MemoryDataSize + 1;
    part.FullSize = def.MemoryDataSize + 1;
    ShortKeySize += part.ShortSize;
    FullKeySize += part.FullSize;
    part.DataType = def.BaseFieldType;
    part.Descending = column.Descending;
    part.CaseInsensitive = column.CaseInsensitive;
  }
}

void TVelqorimRecordKeyRef::MakeKey(const uint8_t* RecordBuffer, uint8_t* KeyBuffer, bool Full) const {
  for (const TVelqorimKeyPart& part : Parts) {
    uint8_t* p = KeyBuffer + (Full ? part.OffsetInFullKeyBuffer : part.OffsetInShortKeyBuffer);
    if (GetBitInBuffer(part.FieldNo, RecordBuffer)) {
      p[0] = 1;
      continue;
    }
    p[0] = 0;
    const int size = Full ? part.FullSize - 1 : part.ShortSize - part.AddedSize - 1;
    std::memcpy(p + 1, RecordBuffer + part.OffsetInRecordBuffer, size);
  }
}

void TVelqorimRecordKeyRef::MakeShortKeyFromRecordBuffer(const uint8_t* RecordBuffer, uint8_t* KeyBuffer) {
  MakeKey(RecordBuffer, KeyBuffer, false);
  LRecordBuffer = RecordBuffer;
}

void TVelqorimRecordKeyRef::MakeFullKeyFromRecordBuffer(const uint8_t* RecordBuffer, uint8_t* KeyBuffer) const {
  MakeKey(RecordBuffer, KeyBuffer, true);
}

void TVelqorimRecordKeyRef::MakeFullKeyFromReference(const uint8_t* Reference, uint8_t* KeyBuffer,
                                                     int SessionID) const {
  TVelqorimBaseRecordManager& records = *LTableData->RecordManager;
  std::vector<uint8_t> record(records.RecordBufferSize);
  TABSNavigationInfo nav;
  nav.GetRecordMode = grmCurrent;
  std::memcpy(&nav.RecordID, Reference, sizeof nav.RecordID);
  nav.RecordBuffer = record.data();
  records.GetRecordBuffer(SessionID, nav);
  if (nav.GetRecordResult != grrOK) throw EABSException(20170, "Cannot retrieve record for index");
  MakeFullKeyFromRecordBuffer(record.data(), KeyBuffer);
}

int TVelqorimRecordKeyRef::ComparePart(int Index, const uint8_t* Value1, const uint8_t* Value2, bool Null1,
                                       bool Null2, int Limit) const {
  const TVelqorimKeyPart& part = Parts[Index];
  // The common whole-number keys compare directly (NULL lowest, as below).
  auto direct = [&](auto Zero) {
    if (Null1 || Null2) return Null1 == Null2 ? 0 : (Null1 ? -1 : 1);
    decltype(Zero) a, b;
    std::memcpy(&a, Value1, sizeof a);
    std::memcpy(&b, Value2, sizeof b);
    return (a > b) - (a < b);
  };
  switch (part.DataType) {
    case bftSignedInt32: return direct(int32_t{0});
    case bftUnsignedInt32: return direct(uint32_t{0});
    case bftSignedInt64: return direct(int64_t{0});
    case bftChar: case bftVarchar: {
      // Text keys go straight to the collation, read as the value layer reads them.
      if (Null1 || Null2) return Null1 == Null2 ? 0 : (Null1 ? -1 : 1);
      auto view = [Limit](const uint8_t* V) {
        const char* c = reinterpret_cast<const char*>(V);
        return std::string_view(c, Limit >= 0 ? strnlen(c, static_cast<size_t>(Limit)) : std::strlen(c));
      };
      const int c = CompareAnsiText(view(Value1), view(Value2), part.CaseInsensitive);
      return (c > 0) - (c < 0);
    }
    default: break;
  }
  return CompareValueBuffersAsInteger(Value1, Value2, part.DataType, part.DataType, Null1, Null2, Limit,
                                      part.CaseInsensitive);
}

namespace {
// The part's value has no terminator inside the bytes a short key keeps.
bool FillsCutWidth(const TVelqorimKeyPart& Part, const uint8_t* KeyPart) {
  const uint8_t* v = KeyPart + 1;
  const int width = Part.ShortSize - Part.AddedSize - 1;
  if (IsWideStringBaseFieldType(Part.DataType)) {
    for (int i = 0; i + 1 < width; i += 2)
      if (v[i] == 0 && v[i + 1] == 0) return false;
    return true;
  }
  return std::memchr(v, 0, width) == nullptr;
}
}  // namespace

int TVelqorimRecordKeyRef::CompareShortKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2,
                                            bool MayUseFullKeys, int SessionID, const uint8_t* Reference1,
                                            const uint8_t* Reference2) {
  for (int i = 0; i < CompareFieldCount; ++i) {
    const TVelqorimKeyPart& part = Parts[i];
    const uint8_t* k1 = KeyBuffer1 + part.OffsetInShortKeyBuffer;
    const uint8_t* k2 = KeyBuffer2 + part.OffsetInShortKeyBuffer;
    const int cutWidth = part.ShortSize - part.AddedSize;
    const int limit = FCompareLengths[i] < 0 ? FCompareLengths[i] : std::min(FCompareLengths[i], cutWidth);
    int r = ComparePart(i, k1 + 1, k2 + 1, k1[0] != 0, k2[0] != 0, limit);
    if (r == 0 && part.AddedSize != 0 && k1[0] == 0 && k2[0] == 0) {
      if (!MayUseFullKeys) return 0;
      // Equal as far as the short keys reach: when either value fills the
      // whole cut width it may go on, and only the records can tell. (Asked
      // of the bytes, not of the collation, which ignores control characters.)
      if (Reference2 != nullptr && (FillsCutWidth(part, k1) || FillsCutWidth(part, k2))) {
        std::vector<uint8_t> full1(FullKeySize), full2(FullKeySize);
        if (Reference1 != nullptr)
          MakeFullKeyFromReference(Reference1, full1.data(), SessionID);
        else
          MakeFullKeyFromRecordBuffer(LRecordBuffer, full1.data());
        MakeFullKeyFromReference(Reference2, full2.data(), SessionID);
        return CompareFullKeys(full1.data(), full2.data());
      }
    }
    if (part.Descending) r = -r;
    if (r != 0) return r;
  }
  return 0;
}

int TVelqorimRecordKeyRef::CompareFullKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2) {
  for (int i = 0; i < CompareFieldCount; ++i) {
    const TVelqorimKeyPart& part = Parts[i];
    const uint8_t* k1 = KeyBuffer1 + part.OffsetInFullKeyBuffer;
    const uint8_t* k2 = KeyBuffer2 + part.OffsetInFullKeyBuffer;
    int r = ComparePart(i, k1 + 1, k2 + 1, k1[0] != 0, k2[0] != 0, FCompareLengths[i]);
    if (part.Descending) r = -r;
    if (r != 0) return r;
  }
  return 0;
}

void TVelqorimRecordKeyRef::SetPartialCompare(const uint8_t* RecordBuffer, bool PartialCompare) {
  for (int i = 0; i < PartCount(); ++i) {
    const TVelqorimKeyPart& part = Parts[i];
    FCompareLengths[i] = -1;
    if (!PartialCompare || GetBitInBuffer(part.FieldNo, RecordBuffer) || !IsStringBaseFieldType(part.DataType))
      continue;
    const uint8_t* v = RecordBuffer + part.OffsetInRecordBuffer;
    const int size = part.FullSize - 1;
    int n = 0;
    if (IsWideStringBaseFieldType(part.DataType)) {
      while (2 * n + 1 < size && (v[2 * n] != 0 || v[2 * n + 1] != 0)) ++n;
    } else {
      while (n < size && v[n] != 0) ++n;
    }
    FCompareLengths[i] = n;
  }
}

TVelqorimPageKeyRef::TVelqorimPageKeyRef() {
  SetPartCount(1);
  Parts[0].ShortSize = Parts[0].FullSize = 4;
  Parts[0].DataType = bftSignedInt32;
  ShortKeySize = FullKeySize = 4;
  ReferenceSize = 2;
  CompareFieldCount = 1;
}

int TVelqorimPageKeyRef::CompareFullKeys(const uint8_t* KeyBuffer1, const uint8_t* KeyBuffer2) {
  int32_t a, b;
  std::memcpy(&a, KeyBuffer1, 4);
  std::memcpy(&b, KeyBuffer2, 4);
  return (a > b) - (a < b);
}

// ---------------------------------------------------------------- path

void TVelqorimKeyPath::Assign(const TVelqorimKeyPath& Source) {
  Count = Source.Count;
  ItemNo = Source.ItemNo;
  PositionType = Source.PositionType;
  IndexState = Source.IndexState;
  std::copy(Source.Items.begin(), Source.Items.begin() + Count, Items.begin());
}

void TVelqorimKeyPath::AddItem(int32_t aPageNo, int32_t aEntryNo, int32_t aEntryCount) {
  if (ItemNo >= MaxLevels) throw EABSException(20281, "Index error: tree is too deep");
  Items[ItemNo] = {aPageNo, aEntryNo, aEntryCount};
  ++ItemNo;
  ++Count;
}

bool TVelqorimKeyPath::PageExists(int32_t aPageNo) const {
  for (int i = 0; i < Count; ++i)
    if (Items[i].PageNo == aPageNo) return true;
  return false;
}

int TVelqorimKeyPath::Compare(const TVelqorimKeyPath& aKeyPath) const {
  if (Count != aKeyPath.Count) throw EABSException(20051, "Invalid index key path");
  for (int i = 0; i < Count; ++i) {
    if (Items[i].PageNo != aKeyPath.Items[i].PageNo) throw EABSException(20052, "Invalid index key path");
    if (Items[i].EntryNo != aKeyPath.Items[i].EntryNo) return Items[i].EntryNo < aKeyPath.Items[i].EntryNo ? -1 : 1;
  }
  return 0;
}

double TVelqorimKeyPath::GetApproxRecNoInPercents() const {
  int64_t a = 1, b = 0;
  for (int i = Count - 1; i >= 0; --i) {
    b += Items[i].EntryNo * a;
    a *= std::max(Items[i].EntryCount, 1);
  }
  return static_cast<double>(b) / static_cast<double>(a);
}

int64_t TVelqorimKeyPath::GetBitmapRecNoByIndexPosition(int MaxEntriesPerPage) const {
  const int64_t base = MaxEntriesPerPage + 1;
  int64_t n = 0;
  for (int j = 0; j < Count; ++j) n = n * base + (Items[j].EntryNo + 1);
  return n;
}

void TVelqorimKeyPath::FillItemsByBitmapRecNo(int32_t RecordNo, int MaxEntriesPerPage) {
  Clear();
  const int64_t base = MaxEntriesPerPage + 1;
  std::vector<int32_t> digits;
  for (int64_t v = RecordNo; v > 0; v /= base) digits.push_back(static_cast<int32_t>(v % base));
  Count = ItemNo = static_cast<int32_t>(digits.size());
  for (int j = 0; j < Count; ++j) Items[j] = {-1, digits[Count - 1 - j] - 1, 0};
}

// ---------------------------------------------------------------- pages

TVelqorimBTreePage::~TVelqorimBTreePage() {
  if (Page != nullptr) LPageManager->PutPage(Page);
}

std::unique_ptr<TVelqorimBTreePage> TVelqorimBTreePage::AddIndexPage(int SessionID) const {
  auto view = std::make_unique<TVelqorimBTreePage>(LPageManager, LKeyRef);
  view->Page = LPageManager->AddPage(SessionID, VelqorimTableIndexPageType);
  view->Init();
  return view;
}

std::unique_ptr<TVelqorimBTreePage> TVelqorimBTreePage::GetIndexPage(int SessionID, int32_t aPageNo) const {
  auto view = std::make_unique<TVelqorimBTreePage>(LPageManager, LKeyRef);
  view->Page = LPageManager->GetPage(SessionID, aPageNo, VelqorimTableIndexPageType, true);
  // Every page this engine writes has this layout; a page read from a
  // damaged file must not make a search read past its buffer.
  if (view->KeyPrefixSize() != LKeyRef->ShortKeySize || view->PagePrefixSize() != 0 || view->HasSuffixes() ||
      view->Overflow())
    throw EABSException(20028, "Index integrity error. PageNo=%d EntryNo=%d", {aPageNo, view->EntryCount()});
  return view;
}

bool TVelqorimBTreePage::StepPath(int SessionID, TVelqorimKeyPath& Path, bool Forward, int EmptyPathCode,
                                  int NoNeighbourCode) const {
  if (Path.Count == 0) throw EABSException(EmptyPathCode, "Index error: invalid position");
  int level = Path.Count - 1;
  while (level >= 0 && (Forward ? Path.Items[level].EntryNo >= Path.Items[level].EntryCount - 1
                                : Path.Items[level].EntryNo < 1))
    --level;
  if (level < 0) return false;
  Path.Items[level].EntryNo += Forward ? 1 : -1;
  // The pages of a level are chained across parents: the neighbour is the
  // first (last) page of the next (previous) subtree.
  for (int j = level + 1; j < Path.Count; ++j) {
    int32_t neighbour;
    {
      auto page = GetIndexPage(SessionID, Path.Items[j].PageNo);
      neighbour = Forward ? page->RightPageNo() : page->LeftPageNo();
    }
    if (neighbour == -1) throw EABSException(NoNeighbourCode, "Index error: invalid page number");
    auto page = GetIndexPage(SessionID, neighbour);
    const int n = page->EntryCount();
    if (n == 0) throw EABSException(NoNeighbourCode, "Index error: invalid page number");
    Path.Items[j] = {neighbour, Forward ? 0 : n - 1, n};
  }
  return true;
}

int32_t TVelqorimBTreePage::Get32(int Offset) const {
  int32_t v;
  std::memcpy(&v, PageData() + Offset, 4);
  return v;
}
void TVelqorimBTreePage::Set32(int Offset, int32_t Value) { std::memcpy(PageData() + Offset, &Value, 4); }
uint16_t TVelqorimBTreePage::Get16(int Offset) const {
  uint16_t v;
  std::memcpy(&v, PageData() + Offset, 2);
  return v;
}
void TVelqorimBTreePage::Set16(int Offset, uint16_t Value) { std::memcpy(PageData() + Offset, &Value, 2); }

int32_t TVelqorimBTreePage::ChildPageNo(int Position) const {
  int32_t v;
  std::memcpy(&v, GetPReference(Position), 4);
  return v;
}

void TVelqorimBTreePage::Init() {
  std::memset(PageData(), 0, HeaderSize);
  SetLeftPageNo(-1);
  SetRightPageNo(-1);
}

void TVelqorimBTreePage::InitAsRoot() {
  Init();
  SetIsRoot(true);
  SetIsLeaf(true);
  PageData()[10] = 1;
  Set16(12, static_cast<uint16_t>(LKeyRef->ShortKeySize));
}

bool TVelqorimBTreePage::HasRoom() const {
  return (EntryCount() + 1) * EntrySize() + EntriesOffset() <= PageDataSize();
}
bool TVelqorimBTreePage::Overflow() const { return EntryCount() * EntrySize() + EntriesOffset() > PageDataSize(); }
bool TVelqorimBTreePage::Underflow() const {
  return EntryCount() * EntrySize() < (PageDataSize() - EntriesOffset()) / 2;
}
bool TVelqorimBTreePage::CanMergeInto(const TVelqorimBTreePage& P) const {
  // An empty page always goes, also next to full neighbours: an empty page
  // left in a level would end walks and first/last searches early.
  return EntryCount() == 0 || (EntryCount() + P.EntryCount()) * EntrySize() + EntriesOffset() < P.PageDataSize();
}

void TVelqorimBTreePage::CopyFrom(const TVelqorimBTreePage& Source, int StartNo, int Count) {
  std::memcpy(PageData(), Source.PageData(), Source.EntriesOffset());
  SetEntryCount(0);
  AppendFrom(Source, StartNo, Count);
}

void TVelqorimBTreePage::AppendFrom(const TVelqorimBTreePage& Source, int StartNo, int Count) {
  const int n = EntryCount(), e = EntrySize();
  std::memmove(GetPKey(n), Source.GetPKey(StartNo), static_cast<size_t>(Count) * e);
  SetEntryCount(n + Count);
}

void TVelqorimBTreePage::InsertFrom(const TVelqorimBTreePage& Source, int StartNo, int Count) {
  const int n = EntryCount(), e = EntrySize();
  std::memmove(GetPKey(Count), GetPKey(0), static_cast<size_t>(n) * e);
  std::memmove(GetPKey(0), Source.GetPKey(StartNo), static_cast<size_t>(Count) * e);
  SetEntryCount(n + Count);
}

void TVelqorimBTreePage::UpdateKey(int Position, const uint8_t* Key) {
  std::memcpy(GetPKey(Position), Key, KeyPrefixSize());
}

void TVelqorimBTreePage::UpdateReference(int Position, const uint8_t* Reference) {
  std::memcpy(GetPReference(Position), Reference, ReferenceSize());
}

void TVelqorimBTreePage::InsertEntry(int Position, const uint8_t* Key, const uint8_t* Reference) {
  // Without room the entry still goes in for the moment: the caller splits at once.
  if (!HasRoom()) EnlargePageBuffer(PageSize() + EntrySize());
  const int n = EntryCount(), e = EntrySize();
  std::memmove(GetPKey(Position + 1), GetPKey(Position), static_cast<size_t>(n - Position) * e);
  std::memset(GetPKey(Position), 0, KeyPrefixSize());
  if (Key != nullptr) std::memcpy(GetPKey(Position), Key, KeyPrefixSize());
  std::memcpy(GetPReference(Position), Reference, ReferenceSize());
  SetEntryCount(n + 1);
}

void TVelqorimBTreePage::DeleteEntry(int Position) {
  const int n = EntryCount(), e = EntrySize();
  if (n == 0) throw EABSException(20025, "Index error: page is empty");
  std::memmove(GetPKey(Position), GetPKey(Position + 1), static_cast<size_t>(n - Position - 1) * e);
  SetEntryCount(n - 1);
}

int TVelqorimBTreePage::CompareEntryReference(bool MayUseFullKeys, int SessionID, int RefPosition,
                                              const uint8_t* Reference, const uint8_t* Key) {
  if (IsLeaf()) return TVelqorimBTreeKeyRef::CompareReferences(Reference, GetPReference(RefPosition), ReferenceSize());
  (void)MayUseFullKeys;
  std::vector<uint8_t> firstKey(LKeyRef->ShortKeySize), firstRef(LKeyRef->ReferenceSize);
  GetIndexPage(SessionID, ChildPageNo(RefPosition))->GetFirstEntry(SessionID, firstKey.data(), firstRef.data());
  const int c = LKeyRef->CompareShortKeys(Key, firstKey.data(), true, SessionID, Reference, firstRef.data());
  if (c != 0) return c;
  return TVelqorimBTreeKeyRef::CompareReferences(Reference, firstRef.data(), LKeyRef->ReferenceSize);
}

int TVelqorimBTreePage::FindEntryPosition(bool MayUseFullKeys, int SessionID, const uint8_t* Key,
                                          const uint8_t* Reference, int StartNo, TVelqorimKeyPathPosition& Kind,
                                          int Mode) {
  const int n = EntryCount();
  if (n == 0) {
    Kind = kppEOF;
    return 0;
  }
  const bool leaf = IsLeaf();
  // The entry layout is read once per search, not once per comparison.
  const uint8_t* first = GetPKey(0);
  const int entrySize = EntrySize(), prefixSize = KeyPrefixSize();
  auto compareKey = [&](int At) {
    const uint8_t* key = first + At * entrySize;
    return LKeyRef->CompareShortKeys(Key, key, MayUseFullKeys, SessionID, nullptr, leaf ? key + prefixSize : nullptr);
  };
  int lo = StartNo, hi = n - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    int c = compareKey(mid);
    if (c == 0 && Reference != nullptr) c = CompareEntryReference(MayUseFullKeys, SessionID, mid, Reference, Key);
    if (c < 0) {
      hi = mid - 1;
    } else if (c > 0) {
      lo = mid + 1;
    } else {
      Kind = kppOnKey;
      int at = mid;
      if (Mode == 0)
        while (at > StartNo && compareKey(at - 1) == 0) --at;
      else if (Mode == 1)
        while (at < n - 1 && compareKey(at + 1) == 0) ++at;
      return at;
    }
  }
  Kind = kppBeforeKey;
  return lo;
}

int TVelqorimBTreePage::FindEntryByReference(int SessionID, const uint8_t* Key, const uint8_t* Reference) {
  const int n = EntryCount(), rs = ReferenceSize();
  if (Key == nullptr) {
    for (int i = 0; i < n; ++i)
      if (std::memcmp(GetPReference(i), Reference, rs) == 0) return i;
    return -1;
  }
  TVelqorimKeyPathPosition kind;
  int at = FindEntryPosition(true, SessionID, Key, Reference, 0, kind, 0);
  if (kind != kppOnKey) return -1;
  for (; at < n; ++at) {
    if (std::memcmp(GetPReference(at), Reference, rs) == 0) return at;
    if (LKeyRef->CompareShortKeys(Key, GetPKey(at), false, SessionID, nullptr, nullptr) != 0) return -1;
  }
  return -1;
}

void TVelqorimBTreePage::InsertLeafEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference,
                                         TVelqorimKeyPath& KeyPath) {
  TVelqorimKeyPathPosition kind;
  if (!IsLeaf()) {
    int p = FindEntryPosition(false, SessionID, Key, Reference, 1, kind, 2);
    if (kind != kppOnKey) --p;
    if (p < 0) p = 0;
    KeyPath.AddItem(PageNo(), p, EntryCount());
    GetIndexPage(SessionID, ChildPageNo(p))->InsertLeafEntry(SessionID, Key, Reference, KeyPath);
    return;
  }
  const int p = FindEntryPosition(true, SessionID, Key, Reference, 0, kind, 2);
  InsertEntry(p, Key, Reference);
  if (Overflow()) {
    Split(SessionID, KeyPath);
    return;
  }
  SetIsDirty(true);
  KeyPath.AddItem(PageNo(), p, EntryCount());
}

bool TVelqorimBTreePage::DeleteLeafEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference,
                                         TVelqorimKeyPath& KeyPath) {
  if (!IsLeaf()) {
    TVelqorimKeyPathPosition kind;
    int p = FindEntryPosition(false, SessionID, Key, Reference, 1, kind, 2);
    if (kind != kppOnKey) --p;
    if (p < 0) p = 0;
    KeyPath.AddItem(PageNo(), p, EntryCount());
    return GetIndexPage(SessionID, ChildPageNo(p))->DeleteLeafEntry(SessionID, Key, Reference, KeyPath);
  }
  const int at = FindEntryByReference(SessionID, Key, Reference);
  if (at < 0) return false;
  DeleteEntry(at);
  SetIsDirty(true);
  if (Underflow()) TryMerge(SessionID, KeyPath);
  return true;
}

void TVelqorimBTreePage::FreeAllPages(int SessionID, bool KeepRootPage, int Depth) {
  if (Page == nullptr || PageNo() == -1) return;
  CheckDescent(Depth);
  if (!IsLeaf())
    for (int i = 0; i < EntryCount(); ++i)
      GetIndexPage(SessionID, ChildPageNo(i))->FreeAllPages(SessionID, false, Depth + 1);
  if (!(IsRoot() && KeepRootPage)) RemoveIndexPage(SessionID, PageNo());
}

bool TVelqorimBTreePage::FindEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference,
                                   TVelqorimKeyPath& Position) {
  if (IsLeaf()) {
    const int at = FindEntryByReference(SessionID, Key, Reference);
    if (at < 0) return false;
    Position.AddItem(PageNo(), at, EntryCount());
    return true;
  }
  if (EntryCount() == 0) return false;
  int q, p;
  GetChildRange(SessionID, Key, scEqual, q, p);
  for (int i = q; i <= p; ++i) {
    Position.AddItem(PageNo(), i, EntryCount());
    if (GetIndexPage(SessionID, ChildPageNo(i))->FindEntry(SessionID, Key, Reference, Position)) return true;
    Position.DeleteLastItem();
  }
  return false;
}

bool TVelqorimBTreePage::GetFirstPosition(int SessionID, TVelqorimKeyPath& Position) {
  const int n = EntryCount();
  if (n == 0) return false;
  Position.AddItem(PageNo(), 0, n);
  return IsLeaf() || GetIndexPage(SessionID, ChildPageNo(0))->GetFirstPosition(SessionID, Position);
}

bool TVelqorimBTreePage::GetLastPosition(int SessionID, TVelqorimKeyPath& Position) {
  const int n = EntryCount();
  if (n == 0) return false;
  Position.AddItem(PageNo(), n - 1, n);
  return IsLeaf() || GetIndexPage(SessionID, ChildPageNo(n - 1))->GetLastPosition(SessionID, Position);
}

void TVelqorimBTreePage::CheckDescent(int Depth) const {
  // A child link back up the tree would otherwise descend for ever.
  if (Depth >= TVelqorimKeyPath::MaxLevels || (!IsLeaf() && EntryCount() == 0))
    throw EABSException(20028, "Index integrity error. PageNo=%d EntryNo=%d", {PageNo(), EntryCount()});
}

void TVelqorimBTreePage::GetFirstEntry(int SessionID, uint8_t* Key, uint8_t* Reference, int Depth) {
  CheckDescent(Depth);
  if (!IsLeaf()) return GetIndexPage(SessionID, ChildPageNo(0))->GetFirstEntry(SessionID, Key, Reference, Depth + 1);
  if (Key != nullptr) std::memcpy(Key, GetPKey(0), KeyPrefixSize());
  if (Reference != nullptr) std::memcpy(Reference, GetPReference(0), ReferenceSize());
}

void TVelqorimBTreePage::GetLastEntry(int SessionID, uint8_t* Key, uint8_t* Reference, int Depth) {
  CheckDescent(Depth);
  const int last = EntryCount() - 1;
  if (!IsLeaf())
    return GetIndexPage(SessionID, ChildPageNo(last))->GetLastEntry(SessionID, Key, Reference, Depth + 1);
  if (Key != nullptr) std::memcpy(Key, GetPKey(last), KeyPrefixSize());
  if (Reference != nullptr) std::memcpy(Reference, GetPReference(last), ReferenceSize());
}

bool TVelqorimBTreePage::LeafFindByCondition(bool First, const uint8_t* Key, TABSSearchCondition Operator,
                                             int SessionID, int& Entry) {
  const int n = EntryCount();
  TVelqorimKeyPathPosition kind;
  auto search = [&](int Mode) { return FindEntryPosition(true, SessionID, Key, nullptr, 0, kind, Mode); };
  int p;
  switch (Operator) {
    case scNone:
      Entry = First ? 0 : n - 1;
      return true;
    case scEqual:
      Entry = search(First ? 0 : 1);
      return kind == kppOnKey;
    case scLower:
      p = search(0) - 1;
      Entry = First ? 0 : p;
      return p >= 0;
    case scGreater:
      p = search(1);
      if (kind == kppOnKey) ++p;
      Entry = First ? p : n - 1;
      return p < n;
    case scLowerEqual:
      p = search(First ? 0 : 1);
      if (kind != kppOnKey) --p;
      Entry = First ? 0 : p;
      return p >= 0;
    case scGreaterEqual:
      p = search(First ? 0 : 2);
      Entry = First ? p : n - 1;
      return p < n;
  }
  return false;
}

void TVelqorimBTreePage::GetChildRange(int SessionID, const uint8_t* Key, TABSSearchCondition Operator, int& Q,
                                       int& P) {
  const int n = EntryCount();
  Q = 0;
  P = n - 1;
  if (Key == nullptr || Operator == scNone) return;
  TVelqorimKeyPathPosition kind;
  int first = FindEntryPosition(false, SessionID, Key, nullptr, 1, kind, 0);
  const bool onKey = kind == kppOnKey;
  const int low = onKey ? std::max(first - 1, 0) : first - 1;
  // Off every key, the search for the last equal entry ends where the first did.
  int last = onKey ? FindEntryPosition(false, SessionID, Key, nullptr, 1, kind, 1) : first;
  const int high = onKey ? last : last - 1;
  // Separators compare on short keys: with cut key parts a value equal
  // there may lie on either side, so the range widens to every such child.
  const bool cut = LKeyRef->ShortKeySize != LKeyRef->FullKeySize;
  switch (Operator) {
    case scEqual: Q = low, P = high; break;
    case scLower: P = cut ? high : first - 1; break;
    case scLowerEqual: P = high; break;
    case scGreater: Q = cut ? low : high; break;
    case scGreaterEqual: Q = low; break;
    default: break;
  }
  Q = std::clamp(Q, 0, n - 1);
  P = std::clamp(P, 0, n - 1);
}

bool TVelqorimBTreePage::FindByCondition(int SessionID, bool First, const uint8_t* Key,
                                         TABSSearchCondition Operator, TVelqorimKeyPath& Position) {
  const int n = EntryCount();
  if (n == 0) return false;
  if (IsLeaf()) {
    int entry;
    if (!LeafFindByCondition(First, Key, Operator, SessionID, entry)) return false;
    Position.AddItem(PageNo(), entry, n);
    return true;
  }
  int q, p;
  GetChildRange(SessionID, Key, Operator, q, p);
  for (int k = 0; k <= p - q; ++k) {
    const int i = First ? q + k : p - k;
    Position.AddItem(PageNo(), i, n);
    if (GetIndexPage(SessionID, ChildPageNo(i))->FindByCondition(SessionID, First, Key, Operator, Position))
      return true;
    Position.DeleteLastItem();
  }
  return false;
}

void TVelqorimBTreePage::InsertNodeEntry(int SessionID, const uint8_t* Key, const uint8_t* Reference,
                                         TVelqorimKeyPath& KeyPath) {
  if (IsLeaf()) throw EABSException(20020, "Internal index error");
  const int n = EntryCount();
  const int at = n > 1 ? KeyPath.Items[KeyPath.ItemNo].EntryNo + 1 : n;
  InsertEntry(at, Key, Reference);
  if (Overflow())
    Split(SessionID, KeyPath);
  else
    SetIsDirty(true);
}

void TVelqorimBTreePage::Split(int SessionID, TVelqorimKeyPath& KeyPath) {
  if (IsRoot())
    SplitRoot(SessionID);
  else
    SplitPage(SessionID, KeyPath);
}

void TVelqorimBTreePage::SplitRoot(int SessionID) {
  const int n = EntryCount(), h = n / 2;
  auto p1 = AddIndexPage(SessionID);
  auto p2 = AddIndexPage(SessionID);
  p1->CopyFrom(*this, 0, h);
  p2->CopyFrom(*this, h, n - h);
  p1->SetIsRoot(false);
  p2->SetIsRoot(false);
  p1->SetRightPageNo(p2->PageNo());
  p2->SetLeftPageNo(p1->PageNo());
  p1->SetIsDirty(true);
  p2->SetIsDirty(true);
  SetIsLeaf(false);
  SetEntryCount(0);
  const int32_t n1 = p1->PageNo(), n2 = p2->PageNo();
  InsertEntry(0, nullptr, reinterpret_cast<const uint8_t*>(&n1));
  InsertEntry(1, p2->GetPKey(0), reinterpret_cast<const uint8_t*>(&n2));
  SetIsDirty(true);
}

void TVelqorimBTreePage::SplitPage(int SessionID, TVelqorimKeyPath& KeyPath) {
  const int n = EntryCount(), h = n / 2;
  auto r = AddIndexPage(SessionID);
  r->CopyFrom(*this, h, n - h);
  r->SetRightPageNo(RightPageNo());
  r->SetLeftPageNo(PageNo());
  if (RightPageNo() != -1) {
    auto right = GetIndexPage(SessionID, RightPageNo());
    right->SetLeftPageNo(r->PageNo());
    right->SetIsDirty(true);
  }
  SetRightPageNo(r->PageNo());
  SetEntryCount(h);
  SetIsDirty(true);
  r->SetIsDirty(true);
  std::vector<uint8_t> key(r->GetPKey(0), r->GetPKey(0) + KeyPrefixSize());
  const int32_t rNo = r->PageNo();
  r.reset();
  KeyPath.DecLevel();
  GetIndexPage(SessionID, KeyPath.CurrentPageNo())
      ->InsertNodeEntry(SessionID, key.data(), reinterpret_cast<const uint8_t*>(&rNo), KeyPath);
  KeyPath.IncLevel();
}

bool TVelqorimBTreePage::TryMerge(int SessionID, TVelqorimKeyPath& KeyPath) {
  if (IsRoot()) return false;
  const int n = EntryCount();
  std::vector<uint8_t> firstKey(KeyPrefixSize());
  // A node's entry 0 key is never compared on its own page; once its entries
  // join a neighbour it must separate, so it becomes its subtree's smallest.
  if (n > 0) {
    if (!IsLeaf()) GetIndexPage(SessionID, ChildPageNo(0))->GetFirstEntry(SessionID, GetPKey(0), nullptr);
    std::memcpy(firstKey.data(), GetPKey(0), firstKey.size());
  }
  std::unique_ptr<TVelqorimBTreePage> left, right;
  if (LeftPageNo() != -1) left = GetIndexPage(SessionID, LeftPageNo());
  bool intoLeft = left != nullptr && CanMergeInto(*left);
  if (!intoLeft && RightPageNo() != -1) right = GetIndexPage(SessionID, RightPageNo());
  const bool intoRight = !intoLeft && right != nullptr && CanMergeInto(*right);
  if (!intoLeft && !intoRight) return false;
  if (intoLeft) {
    if (RightPageNo() != -1) {
      auto r = GetIndexPage(SessionID, RightPageNo());
      r->SetLeftPageNo(LeftPageNo());
      r->SetIsDirty(true);
    }
    left->AppendFrom(*this, 0, n);
    left->SetRightPageNo(RightPageNo());
    left->SetIsDirty(true);
  } else {
    if (LeftPageNo() != -1) {
      auto l = GetIndexPage(SessionID, LeftPageNo());
      l->SetRightPageNo(RightPageNo());
      l->SetIsDirty(true);
    }
    if (!right->IsLeaf() && right->EntryCount() > 0)
      GetIndexPage(SessionID, right->ChildPageNo(0))->GetFirstEntry(SessionID, right->GetPKey(0), nullptr);
    right->InsertFrom(*this, 0, n);
    right->SetLeftPageNo(LeftPageNo());
    right->SetIsDirty(true);
  }
  left.reset();
  right.reset();
  const int32_t self = PageNo();
  RemoveIndexPage(SessionID, self);
  KeyPath.DecLevel();
  GetIndexPage(SessionID, KeyPath.CurrentPageNo())
      ->DeleteNodeEntry(SessionID, KeyPath, intoLeft, n > 0 ? firstKey.data() : nullptr);
  KeyPath.IncLevel();
  return true;
}

void TVelqorimBTreePage::DeleteNodeEntry(int SessionID, TVelqorimKeyPath& KeyPath, bool MergeWithLeft,
                                         const uint8_t* MovedFirstKey) {
  if (IsLeaf()) throw EABSException(20024, "Internal index error");
  const int level = KeyPath.ItemNo;
  const int e = KeyPath.Items[level].EntryNo;
  if (MergeWithLeft && e == 0) {
    // This subtree now starts at its second child: raise the separator
    // above it so that the keys moved to the left stay below it.
    if (EntryCount() > 1) {
      for (int l = level - 1; l >= 0; --l) {
        const int k = KeyPath.Items[l].EntryNo;
        if (k < 1) continue;
        auto ancestor = GetIndexPage(SessionID, KeyPath.Items[l].PageNo);
        ancestor->UpdateKey(k, GetPKey(1));
        ancestor->SetIsDirty(true);
        break;
      }
    }
  } else if (!MergeWithLeft && MovedFirstKey != nullptr) {
    // The moved entries now begin the right neighbour: its separator drops to
    // their smallest key (taken from the entries, so it is defined even for
    // a first child whose own separator is never compared).
    for (int l = level; l >= 0; --l) {
      const int k = KeyPath.Items[l].EntryNo;
      auto page = l == level ? nullptr : GetIndexPage(SessionID, KeyPath.Items[l].PageNo);
      TVelqorimBTreePage& at = page ? *page : *this;
      if (k >= at.EntryCount() - 1) continue;
      at.UpdateKey(k + 1, MovedFirstKey);
      at.SetIsDirty(true);
      break;
    }
  }
  DeleteEntry(e);
  SetIsDirty(true);
  if (Underflow() && !TryMerge(SessionID, KeyPath) && IsRoot() && EntryCount() == 1) CollapseRoot(SessionID);
}

void TVelqorimBTreePage::CollapseRoot(int SessionID) {
  const int32_t childNo = ChildPageNo(0);
  {
    auto child = GetIndexPage(SessionID, childNo);
    CopyFrom(*child, 0, child->EntryCount());
  }
  SetIsRoot(true);
  SetIsDirty(true);
  RemoveIndexPage(SessionID, childNo);
}

void TVelqorimBTreePage::CheckIntegrity(int SessionID, TVelqorimKeyPath& KeyPath) {
  const int n = EntryCount();
  const bool uncut = LKeyRef->ShortKeySize == LKeyRef->FullKeySize;
  const int rs = LKeyRef->ReferenceSize;
  auto fail = [&](int Code, int Entry) {
    throw EABSException(Code, "Index integrity error. PageNo=%d EntryNo=%d", {PageNo(), Entry});
  };
  auto cmp = [&](const uint8_t* A, const uint8_t* B) {
    return LKeyRef->CompareShortKeys(A, B, false, SessionID, nullptr, nullptr);
  };
  if (IsLeaf()) {
    for (int i = 0; i + 1 < n; ++i) {
      const int c = cmp(GetPKey(i), GetPKey(i + 1));
      if (c > 0) fail(20028, i);
      if (c == 0 && uncut &&
          TVelqorimBTreeKeyRef::CompareReferences(GetPReference(i), GetPReference(i + 1), rs) >= 0)
        fail(20028, i);
    }
    return;
  }
  if (KeyPath.PageExists(PageNo()))
    throw EABSException(20032, "Index integrity error. Circular links. PageNo=%d EntryNo=%d", {PageNo(), 0});
  for (int i = 0; i < n; ++i) {
    auto child = GetIndexPage(SessionID, ChildPageNo(i));
    const char* bad = "Index integrity error. Invlaid leaf link. PageNo=%d EntryNo=%d";
    if (i > 0 && child->LeftPageNo() != ChildPageNo(i - 1)) throw EABSException(20033, bad, {PageNo(), i});
    if (i + 1 < n && child->RightPageNo() != ChildPageNo(i + 1)) throw EABSException(20034, bad, {PageNo(), i});
    KeyPath.AddItem(PageNo(), i, n);
    child->CheckIntegrity(SessionID, KeyPath);
    KeyPath.DeleteLastItem();
  }
  std::vector<uint8_t> key(LKeyRef->ShortKeySize), ref(rs), key2(LKeyRef->ShortKeySize), ref2(rs);
  for (int i = 1; i < n; ++i) {
    if (i + 1 < n && cmp(GetPKey(i), GetPKey(i + 1)) > 0) fail(20029, i);
    GetIndexPage(SessionID, ChildPageNo(i - 1))->GetLastEntry(SessionID, key.data(), ref.data());
    if (cmp(key.data(), GetPKey(i)) > 0) fail(20030, i);
    GetIndexPage(SessionID, ChildPageNo(i))->GetFirstEntry(SessionID, key2.data(), ref2.data());
    if (cmp(key2.data(), GetPKey(i)) < 0) fail(20031, i);
    if (uncut && cmp(key.data(), key2.data()) == 0 &&
        TVelqorimBTreeKeyRef::CompareReferences(ref.data(), ref2.data(), rs) >= 0)
      fail(20194, i);
  }
}
