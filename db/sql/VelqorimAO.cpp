#include "db/sql/VelqorimAO.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "db/sql/VelqorimDatabase.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZStreams.h"
#include "db/support/DAZUnicode.h"

// ---------------------------------------------------------------------------
// Base

namespace {

// A whole number read straight from the value's bytes (false for other types).
bool ReadWholeNumber(const TABSVariant& V, int64_t& Out) {
  const char* p = V.pData();
  switch (V.DataType()) {
    case bftSignedInt8: Out = static_cast<int8_t>(*p); return true;
    case bftUnsignedInt8: Out = static_cast<uint8_t>(*p); return true;
    case bftSignedInt16: { int16_t x; std::memcpy(&x, p, 2); Out = x; return true; }
    case bftUnsignedInt16: { uint16_t x; std::memcpy(&x, p, 2); Out = x; return true; }
    case bftSignedInt32: { int32_t x; std::memcpy(&x, p, 4); Out = x; return true; }
    case bftUnsignedInt32: { uint32_t x; std::memcpy(&x, p, 4); Out = x; return true; }
    case bftSignedInt64: std::memcpy(&Out, p, 8); return true;
    default: return false;
  }
}

// One sort key of one row, read once: whole numbers compare as integers
// without going back to the value.
struct TKeyCell {
  int64_t Whole = 0;
  const TABSVariant* Value = nullptr;
  uint8_t Kind = 0;  // 0 NULL, 1 whole number, 2 other
};

TKeyCell MakeCell(const TABSVariant& V) {
  TKeyCell c;
  c.Value = &V;
  if (V.IsNull()) c.Kind = 0;
  else c.Kind = ReadWholeNumber(V, c.Whole) ? 1 : 2;
  return c;
}

// The order CompareAOValues gives, on cells.
int CompareCells(const TKeyCell& A, const TKeyCell& B) {
  if (A.Kind == 1 && B.Kind == 1) return (A.Whole > B.Whole) - (A.Whole < B.Whole);
  if (A.Kind == 0 || B.Kind == 0) return A.Kind == B.Kind ? 0 : (A.Kind == 0 ? -1 : 1);
  return CompareAOValues(*A.Value, *B.Value);
}

// The keys of Count rows (Columns per row, ValueOf(row, key)) as one flat table.
class TKeyTable {
 public:
  template <class F>
  TKeyTable(size_t Count, size_t Columns, F ValueOf) : FCount(Count), FColumns(Columns), FCells(Count * Columns) {
    for (size_t r = 0; r < Count; ++r)
      for (size_t k = 0; k < Columns; ++k) FCells[r * Columns + k] = MakeCell(ValueOf(r, k));
  }
  // Three-way comparison of rows A and B; Descending (may be null) flips keys.
  int Compare(size_t A, size_t B, const std::vector<char>* Descending = nullptr) const {
    const TKeyCell* a = FCells.data() + A * FColumns;
    const TKeyCell* b = FCells.data() + B * FColumns;
    for (size_t k = 0; k < FColumns; ++k)
      if (int c = CompareCells(a[k], b[k])) return Descending && (*Descending)[k] ? -c : c;
    return 0;
  }
  // Row numbers in stable key order.
  std::vector<size_t> Order(const std::vector<char>* Descending = nullptr) const {
    std::vector<size_t> order(FCount);
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return Compare(a, b, Descending) < 0; });
    return order;
  }

 private:
  size_t FCount, FColumns;
  std::vector<TKeyCell> FCells;
};

}  // namespace

int CompareAOValues(const TABSVariant& A, const TABSVariant& B) {
  const bool na = A.IsNull(), nb = B.IsNull();
  if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
  // Whole numbers compare directly: sorting and grouping do this millions of times.
  int64_t x, y;
  if (ReadWholeNumber(A, x) && ReadWholeNumber(B, y)) return x < y ? -1 : x > y ? 1 : 0;
  switch (A.Compare(B, false, false, false)) {
    case cmprLower: return -1;
    case cmprGreater: return 1;
    default: return 0;
  }
}

int CompareAORows(const TVelqorimAORow& A, const TVelqorimAORow& B, size_t Count) {
  for (size_t i = 0; i < Count; ++i)
    if (int c = CompareAOValues(A[i], B[i])) return c;
  return 0;
}

int TVelqorimAOBase::FieldExists(const String& FieldName, const String& TableName, bool, std::vector<int>* FieldNumbers,
                                 bool, bool) {
  int n = 0;
  const String field = UpperCase(FieldName), table = UpperCase(TableName);
  for (size_t i = 0; i < Columns.size(); ++i) {
    const TVelqorimAOColumn& c = Columns[i];
    if (c.Hidden || UpperCase(c.FieldName) != field) continue;
    if (!table.empty() && UpperCase(c.TableName) != table) continue;
    n++;
    if (FieldNumbers) FieldNumbers->push_back(static_cast<int>(i));
  }
  return n;
}

TVelqorimAOColumnInfo TVelqorimAOBase::GetColumnInfo(int FieldNo) {
  const TVelqorimAOColumn& c = Columns.at(static_cast<size_t>(FieldNo));
  TVelqorimAOColumnInfo info;
  info.FieldName = c.FieldName;
  info.AdvancedFieldType = c.Type;
  info.FieldSize = c.Size;
  return info;
}

void TVelqorimAOBase::GetFieldValue(TABSVariant& Value, int FieldNo, bool, bool) {
  if (!FCurrent) {
    Value.Clear(AdvancedFieldTypeToBaseFieldType(Columns.at(static_cast<size_t>(FieldNo)).Type));
    return;
  }
  Value.Assign((*FCurrent)[static_cast<size_t>(FieldNo)], true);
}

void TVelqorimAOBase::SetFilter(std::unique_ptr<TVelqorimExpression> FilterExpr) {
  FilterExpr->AssignAO(this, ParentQueryAO, nullptr);
  FFilters.push_back(std::move(FilterExpr));
}

bool TVelqorimAOBase::PassesFilters() {
  for (auto& f : FFilters)
    if (!f->GetResult()) return false;
  return true;
}

void TVelqorimAOBase::AddIfPasses(TVelqorimAORow&& Row) {
  FCurrent = &Row;
  const bool pass = PassesFilters();
  FCurrent = nullptr;
  if (pass) Rows.push_back(std::move(Row));
}

int TVelqorimAOBase::VisibleColumnCount() const {
  int n = 0;
  for (const auto& c : Columns)
    if (!c.Hidden) n++;
  return n;
}

void TVelqorimAOBase::Run() {
  Execute();
  if (FinalDistinct) ApplyDistinct();
  ApplyOrder(FinalOrder);
}

void TVelqorimAOBase::ApplyDistinct() {
  const size_t n = static_cast<size_t>(VisibleColumnCount());
  const TKeyTable keys(Rows.size(), n, [&](size_t r, size_t k) -> const TABSVariant& { return Rows[r][k]; });
  const std::vector<size_t> order = keys.Order();
  std::vector<char> keep(Rows.size(), 0);
  for (size_t i = 0; i < order.size(); ++i)
    if (i == 0 || keys.Compare(order[i - 1], order[i]) != 0) keep[order[i]] = 1;
  std::vector<TVelqorimAORow> out;
  for (size_t i = 0; i < Rows.size(); ++i)
    if (keep[i]) out.push_back(std::move(Rows[i]));
  Rows = std::move(out);
}

void TVelqorimAOBase::ApplyOrder(const std::vector<TVelqorimAOSortKey>& Keys) {
  if (Keys.empty()) return;
  std::vector<char> descending;
  for (const auto& k : Keys) descending.push_back(k.Descending);
  const TKeyTable keys(Rows.size(), Keys.size(), [&](size_t r, size_t k) -> const TABSVariant& {
    return Rows[r][static_cast<size_t>(Keys[k].Column)];
  });
  const std::vector<size_t> order = keys.Order(&descending);
  std::vector<TVelqorimAORow> sorted;
  sorted.reserve(Rows.size());
  for (size_t i : order) sorted.push_back(std::move(Rows[i]));
  Rows = std::move(sorted);
}

// ---------------------------------------------------------------------------
// Intermediate results

thread_local TVelqorimAOWork AOWork;

namespace {

constexpr size_t SpoolChunk = 1 << 20;

}  // namespace

TVelqorimAORowSpool::TVelqorimAORowSpool() = default;
TVelqorimAORowSpool::~TVelqorimAORowSpool() = default;

// A row is its byte length and its number of values, then per value its type, its size (-1: NULL) and its bytes.
void TVelqorimAORowSpool::Add(const TVelqorimAORow& Row) {
  const size_t start = FBuffer.size();
  uint32_t length = 0;
  const auto values = static_cast<uint32_t>(Row.size());
  FBuffer.append(reinterpret_cast<const char*>(&length), 4);
  FBuffer.append(reinterpret_cast<const char*>(&values), 4);
  for (const TABSVariant& v : Row) {
    const uint8_t type = v.DataType();
    const int32_t size = v.IsNull() ? -1 : v.DataSize();
    FBuffer.push_back(static_cast<char>(type));
    FBuffer.append(reinterpret_cast<const char*>(&size), 4);
    if (size > 0) FBuffer.append(v.pData(), static_cast<size_t>(size));
  }
  length = static_cast<uint32_t>(FBuffer.size() - start - 4);
  std::memcpy(&FBuffer[start], &length, 4);
  FCount++;
  AOWork.RowsSpooled++;
  if (FFile) AOWork.RowsSpilled++;
  if (FFile ? FBuffer.size() >= SpoolChunk : static_cast<int64_t>(FBuffer.size()) > MemoryLimit) Flush();
}

void TVelqorimAORowSpool::Flush() {
  if (!FFile) {
    FFile = std::make_unique<TABSTemporaryStream>();
    FFile->SetMemoryLimit(0);
  }
  FFile->Write(FBuffer.data(), static_cast<int64_t>(FBuffer.size()));
  FBuffer.clear();
}

// At least Need unread bytes in the buffer (false at the end of the rows).
bool TVelqorimAORowSpool::Fill(size_t Need) {
  if (FBuffer.size() - FReadPos >= Need) return true;
  if (!FFile) return false;
  FBuffer.erase(0, FReadPos);
  FReadPos = 0;
  const size_t want = std::max(Need, SpoolChunk) - FBuffer.size();
  const size_t have = FBuffer.size();
  FBuffer.resize(have + want);
  const int64_t got = FFile->Read(&FBuffer[have], static_cast<int64_t>(want));
  FBuffer.resize(have + static_cast<size_t>(std::max<int64_t>(got, 0)));
  if (FBuffer.size() < Need && got > 0) return Fill(Need);
  return FBuffer.size() >= Need;
}

bool TVelqorimAORowSpool::Next(TVelqorimAORow& Row) {
  if (!FReading) {
    FReading = true;
    if (FFile) {
      if (!FBuffer.empty()) Flush();
      FFile->Seek(0, soBeginning);
    }
  }
  if (!Fill(4)) return false;
  uint32_t length;
  std::memcpy(&length, FBuffer.data() + FReadPos, 4);
  if (!Fill(4 + size_t{length})) throw EABSException(10183, "Invalid data type %d", {-1});
  const char* p = FBuffer.data() + FReadPos + 4;
  uint32_t values;
  std::memcpy(&values, p, 4);
  p += 4;
  if (Row.size() != values) Row = TVelqorimAORow(values);
  for (TABSVariant& v : Row) {
    const auto type = static_cast<TABSBaseFieldType>(static_cast<uint8_t>(*p));
    int32_t size;
    std::memcpy(&size, p + 1, 4);
    p += 5;
    if (size < 0) {
      v.Clear(type);
    } else {
      v.SetData(p, size, type, true);
      p += size;
    }
  }
  FReadPos += 4 + size_t{length};
  return true;
}

// ---------------------------------------------------------------------------
// Base table

TVelqorimTableOpen::TVelqorimTableOpen(const String& DatabaseName, const String& TableName)
    : FDatabaseName(DatabaseName) {
  Cursor.Session = StatementSession(Session, DatabaseName);
  Cursor.TableName = TableName;
  if (!Cursor.Session->TableExists(TableName)) throw EABSException(30190, "Table '%s' not found", {TableName});
  Cursor.OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  if (Cursor.Session != &Session) {
    FHeldBy = Cursor.Session;
    FHeldBy->Hold(this);
  }
}

TVelqorimTableOpen::~TVelqorimTableOpen() {
  if (FHeldBy != nullptr) FHeldBy->Unhold(this);
  try {
    Cursor.CloseTable();
  } catch (...) {
    // A destructor must not raise.
  }
}

// The table and the database it belongs to may be gone by the time the open is destroyed.
void TVelqorimTableOpen::Release() {
  FHeldBy = nullptr;
  try {
    Cursor.CloseTable();
  } catch (...) {
    // The session goes on letting go of the rest.
  }
  Cursor.DatabaseData = nullptr;
  Cursor.Session = nullptr;
}

bool TVelqorimTableOpen::Serves(const String& DatabaseName, TVelqorimBaseSession* Handle,
                                const String& TableName) const {
  if (!Cursor.IsOpen || !SameText(Cursor.TableName, TableName)) return false;
  if (Handle != nullptr) return FHeldBy == Handle;
  return FHeldBy == nullptr && Cursor.Session == &Session && SameText(FDatabaseName, DatabaseName);
}

thread_local TVelqorimTableOpenPool* AOTableOpens = nullptr;

std::unique_ptr<TVelqorimTableOpen> TVelqorimTableOpenPool::Take(const String& DatabaseName,
                                                               const String& TableName) {
  TVelqorimBaseSession* handle = DatabaseComponentHandle(DatabaseName);
  for (auto it = FOpens.begin(); it != FOpens.end(); ++it) {
    if (!(*it)->Serves(DatabaseName, handle, TableName)) continue;
    // A table kept open must still be there under its name.
    if (!(*it)->Cursor.Session->TableExists(TableName)) return nullptr;
    std::unique_ptr<TVelqorimTableOpen> open = std::move(*it);
    FOpens.erase(it);
    return open;
  }
  return nullptr;
}

TVelqorimAOTable::TVelqorimAOTable(const String& DatabaseName, const String& TableName, const String& Alias)
    : FOpen([&] {
        std::unique_ptr<TVelqorimTableOpen> open = AOTableOpens ? AOTableOpens->Take(DatabaseName, TableName) : nullptr;
        return open ? std::move(open) : std::make_unique<TVelqorimTableOpen>(DatabaseName, TableName);
      }()),
      Cursor(FOpen->Cursor),
      FPool(AOTableOpens) {
  FRecord = Cursor.AllocateRecordBuffer();
  Cursor.CurrentRecordBuffer = FRecord;
  const String name = Alias.empty() ? TableName : Alias;
  for (int i = 0; i < Cursor.FieldDefs.Count(); ++i) {
    auto* d = static_cast<TVelqorimFieldDef*>(Cursor.FieldDefs.GetDef(i));
    Columns.push_back({name, d->Name, d->AdvancedFieldType, d->FieldSize, false});
  }
}

// Back to the pool of the processor that built it while that processor runs
// (a table its session let go of closes).
TVelqorimAOTable::~TVelqorimAOTable() {
  Cursor.CurrentRecordBuffer = nullptr;
  MemoryManager().FreeAndNillMem(FRecord);
  if (FPool != nullptr && FPool == AOTableOpens && Cursor.IsOpen) FPool->Put(std::move(FOpen));
}

namespace {

// Whether comparing column values of type Column with constants of type
// Constant keeps the column's own order strictly: the common type the
// comparison converts to is the column's, or a wider type of the same family
// that every column value reaches exactly. Then an index on the column holds
// the rows a comparison passes between bounds taken from the constant.
bool ComparesInColumnOrder(TABSBaseFieldType Column, TABSBaseFieldType Constant) {
  const TABSBaseFieldType common = GetResultBaseFieldType(Column, Constant, true);
  if (common == Column) return true;
  if (IsStringBaseFieldType(Column)) return IsStringBaseFieldType(common);  // all text compares as wide text
  if (IsIntegerBaseFieldType(Column)) {
    if (IsIntegerBaseFieldType(common)) return true;
    // A double holds every integer of up to 32 bits exactly.
    return (common == bftDouble || common == bftExtended) && GetBaseFieldTypeDataSize(Column, 0) <= 4;
  }
  if (Column == bftSingle) return common == bftDouble || common == bftExtended;
  return false;
}

}  // namespace

bool TVelqorimAOTable::ExactColumnValue(const TABSVariant& Constant, int FieldNo, TABSVariant& Value) {
  uint8_t* buffer = Cursor.AllocateRecordBuffer();
  uint8_t* saved = Cursor.CurrentRecordBuffer;
  bool exact = false;
  try {
    Cursor.InternalInitRecord(buffer, true);
    Cursor.SetFieldValue(Constant, FieldNo, true, buffer);
    Cursor.CurrentRecordBuffer = buffer;
    TABSVariant stored;
    Cursor.GetFieldValue(stored, FieldNo, true);
    Value.Assign(stored, true);
    exact = !Value.IsNull() && Value.Compare(Constant, true, false, false) == cmprEqual;
  } catch (const Exception&) {
    exact = false;  // the constant does not convert to the column's type
  }
  Cursor.CurrentRecordBuffer = saved;
  MemoryManager().FreeAndNillMem(buffer);
  return exact;
}

// An index whose first column comparisons with constants name: the scan reads
// only the keys between the bounds they give (equality, <, <=, >, >=; bounds
// taken inclusively, in the column's own type, swapped for a descending
// column). The filters still decide every row, so the range only has to hold
// every row that can pass: NULLs, which sort first, stay on the side of the
// lower bound, and a constant that the column's type cannot hold exactly, or
// a comparison whose order is not the index's (case rules, types converted on
// the column's side), keys nothing.
bool TVelqorimAOTable::FindKeyRange(TKeyRange& Range) {
  TVelqorimIndexDefs& defs = Cursor.GetIndexDefs();
  auto indexOf = [&](int FieldNo, TABSBaseFieldType Type, bool& Descending) -> String {
    for (int i = 0; i < defs.Count(); ++i) {
      auto* d = static_cast<TVelqorimIndexDef*>(defs.GetDef(i));
      if (d->ColumnCount() == 0) continue;
      const TVelqorimIndexColumn& c = d->GetIndexColumn(0);
      if (UpperCase(c.FieldName) != UpperCase(Columns[static_cast<size_t>(FieldNo)].FieldName)) continue;
      if (c.CaseInsensitive && IsStringBaseFieldType(Type)) continue;  // ordered by other rules than "<"
      Descending = c.Descending;
      return d->Name;
    }
    return String();
  };
  for (auto& f : FFilters) {
    auto* cmp = dynamic_cast<TVelqorimExprNodeComparison*>(f->Root());
    if (!cmp || cmp->FQuantifier != qUNDEFINED || cmp->ChildCount() != 2 || cmp->FCaseInsensitive ||
        cmp->FPartialKey)
      continue;
    TABSDataOperator op = cmp->Operator;
    if (op != doEQ && op != doLT && op != doLE && op != doGT && op != doGE) continue;
    for (int side = 0; side < 2; ++side) {
      auto* field = dynamic_cast<TVelqorimExprNodeField*>(cmp->Child(static_cast<size_t>(side)));
      auto* constant = dynamic_cast<TVelqorimExprNodeConst*>(cmp->Child(static_cast<size_t>(1 - side)));
      if (!field || !constant || field->LAO != this || constant->Value.IsNull()) continue;
      const int no = field->FieldNo();
      if (no < 0 || (Range.FieldNo >= 0 && Range.FieldNo != no)) continue;
      const TABSBaseFieldType type = AdvancedFieldTypeToBaseFieldType(Columns[static_cast<size_t>(no)].Type);
      if (IsBlobBaseFieldType(type) || !ComparesInColumnOrder(type, constant->Value.DataType())) continue;
      bool descending = false;
      const String index = indexOf(no, type, descending);
      TABSVariant bound;
      if (index.empty() || !ExactColumnValue(constant->Value, no, bound)) continue;
      // With the constant on the left, "5 < a" is "a > 5".
      if (side == 1) op = op == doLT ? doGT : op == doLE ? doGE : op == doGT ? doLT : op == doGE ? doLE : op;
      Range.IndexName = index;
      Range.Descending = descending;
      Range.FieldNo = no;
      if ((op == doEQ || op == doGT || op == doGE) && (!Range.HasLo || CompareAOValues(bound, Range.Lo) > 0)) {
        Range.Lo.Assign(bound, true);
        Range.HasLo = true;
      }
      if ((op == doEQ || op == doLT || op == doLE) && (!Range.HasHi || CompareAOValues(bound, Range.Hi) < 0)) {
        Range.Hi.Assign(bound, true);
        Range.HasHi = true;
      }
      break;
    }
  }
  return Range.FieldNo >= 0;
}

// A table is read under a shared table lock, so that a writer of another
// process commits before or after the read, never in the middle of it. The
// lock is tried again while a writer holds the table; a table that stays
// locked is an error, never a short result.
void TVelqorimAOTable::Execute() {
  ReadLocked([this] { Scan(); });
}

void TVelqorimAOTable::ReadLocked(const std::function<void()>& Read) {
  bool locked = false;
  for (int attempt = 0; attempt < RetryConfig().SelectLockTryCount && !locked; ++attempt) {
    if (attempt > 0) {
      if (!Cursor.UnlockTable(ltS, true)) throw EABSException(20226, "Cannot unlock table");
      std::this_thread::sleep_for(std::chrono::milliseconds(RetryConfig().SelectLockDelayMS));
    }
    locked = Cursor.LockTable(ltS, 1, 0, true);
  }
  if (!locked) throw EABSException(20225, "Table is locked");
  try {
    Read();
  } catch (...) {
    Cursor.UnlockTable(ltS, true);
    throw;
  }
  if (!Cursor.UnlockTable(ltS, true)) throw EABSException(20227, "Cannot unlock table");
}

void TVelqorimAOTable::Scan() {
  Rows.clear();
  const size_t n = Columns.size();
  TKeyRange range;
  uint8_t* lo = nullptr;
  uint8_t* hi = nullptr;
  if (FindKeyRange(range)) {
    Cursor.SetIndexName(range.IndexName);
    auto bound = [&](bool Has, const TABSVariant& Key) -> uint8_t* {
      if (!Has) return nullptr;
      uint8_t* b = Cursor.AllocateRecordBuffer();
      Cursor.InternalInitRecord(b, true);
      Cursor.SetFieldValue(Key, range.FieldNo, true, b);
      return b;
    };
    lo = bound(range.HasLo, range.Lo);
    hi = bound(range.HasHi, range.Hi);
    // A descending column meets its greatest values first.
    if (range.Descending) Cursor.ApplyRange(hi, lo, 1, 1, false, false);
    else Cursor.ApplyRange(lo, hi, 1, 1, false, false);
  }
  try {
    Cursor.InternalFirst();
    while (Cursor.GetRecordBuffer(grmNext) == grrOK) {
      TVelqorimAORow row(n);
      for (size_t i = 0; i < n; ++i) Cursor.GetFieldValue(row[i], static_cast<int>(i), true);
      AddIfPasses(std::move(row));
    }
  } catch (...) {
    FinishKeyScan(range, lo, hi);
    throw;
  }
  FinishKeyScan(range, lo, hi);
}

bool TVelqorimAOTable::CountWithoutReading(int64_t& Count) {
  if (!FFilters.empty()) return false;
  ReadLocked([&] { Count = Cursor.GetRecordCount(); });
  return true;
}

void TVelqorimAOTable::FinishKeyScan(const TKeyRange& Range, uint8_t*& Lo, uint8_t*& Hi) {
  if (Range.FieldNo < 0) return;
  Cursor.ResetRange();
  Cursor.SetIndexName(String());
  if (Lo) MemoryManager().FreeAndNillMem(Lo);
  if (Hi) MemoryManager().FreeAndNillMem(Hi);
}

// ---------------------------------------------------------------------------
// Join

namespace {

// Appends the form under which values that may compare equal meet (a
// superset of equality: the join condition still decides): numbers as the
// bytes of their double, text upper-cased. False for NULL, which meets nothing.
bool AppendKey(const TABSVariant& V, std::string& Key) {
  if (V.IsNull()) return false;
  if (V.IsNumericDataType()) {
    int64_t whole = 0;
    double d = ReadWholeNumber(V, whole) ? static_cast<double>(whole) : V.GetAsDouble();
    if (d == 0) d = 0;  // -0 meets 0
    Key += 'n';
    Key.append(reinterpret_cast<const char*>(&d), sizeof d);
  } else {
    Key += 's';
    Key += UpperCase(AnsiToUTF8(V.GetAsAnsiString()));
    Key += '\x1f';
  }
  return true;
}

}  // namespace

TVelqorimAOJoin::TVelqorimAOJoin(std::unique_ptr<TVelqorimAOBase> Left, std::unique_ptr<TVelqorimAOBase> Right,
                                 TABSJoinType JoinType)
    : FLeft(std::move(Left)), FRight(std::move(Right)), FJoinType(JoinType) {
  Columns = FLeft->Columns;
  Columns.insert(Columns.end(), FRight->Columns.begin(), FRight->Columns.end());
}

void TVelqorimAOJoin::AddKeysFrom(TVelqorimExpression& Condition) {
  TVelqorimExprNode* root = Condition.Root();
  if (!root) return;
  std::vector<TVelqorimExprNode*> parts;
  if (root->Operator == doAND && dynamic_cast<TVelqorimExprNodeBoolean*>(root))
    for (auto& c : root->Children) parts.push_back(c.get());
  else
    parts.push_back(root);
  const int leftCount = static_cast<int>(FLeft->Columns.size());
  for (TVelqorimExprNode* p : parts) {
    auto* cmp = dynamic_cast<TVelqorimExprNodeComparison*>(p);
    if (!cmp || cmp->Operator != doEQ || cmp->FQuantifier != qUNDEFINED || cmp->ChildCount() != 2) continue;
    auto* a = dynamic_cast<TVelqorimExprNodeField*>(cmp->Child(0));
    auto* b = dynamic_cast<TVelqorimExprNodeField*>(cmp->Child(1));
    if (!a || !b) continue;
    std::vector<int> la, ra, lb, rb;
    FLeft->FieldExists(a->FieldName(), a->TableName(), false, &la, false, false);
    FRight->FieldExists(a->FieldName(), a->TableName(), false, &ra, false, false);
    FLeft->FieldExists(b->FieldName(), b->TableName(), false, &lb, false, false);
    FRight->FieldExists(b->FieldName(), b->TableName(), false, &rb, false, false);
    // Only names that resolve to exactly one side are safe keys.
    if (la.size() == 1 && ra.empty() && rb.size() == 1 && lb.empty()) FKeys.push_back({la[0], rb[0]});
    else if (lb.size() == 1 && rb.empty() && ra.size() == 1 && la.empty()) FKeys.push_back({lb[0], ra[0]});
  }
  (void)leftCount;
}

void TVelqorimAOJoin::SetJoinCondition(std::unique_ptr<TVelqorimExpression> Condition) {
  Condition->AssignAO(this, ParentQueryAO, nullptr);
  FJoinCondition = std::move(Condition);
}

void TVelqorimAOJoin::Execute() {
  Rows.clear();
  Produce([&](TVelqorimAORow&& Row) { Rows.push_back(std::move(Row)); });
}

void TVelqorimAOJoin::ForEachLeftRow(const std::function<void()>& Ready,
                                     const std::function<void(TVelqorimAORow&)>& Visit) {
  // A nested inner join's rows go through a spool: memory stays bounded
  // however many rows a level of a long join yields.
  auto* nested = dynamic_cast<TVelqorimAOJoin*>(FLeft.get());
  if (nested && !nested->FinalDistinct && nested->FinalOrder.empty()) {
    TVelqorimAORowSpool spool;
    nested->Rows.clear();
    nested->Produce([&](TVelqorimAORow&& Row) { spool.Add(Row); });
    Ready();
    TVelqorimAORow row;
    while (spool.Next(row)) Visit(row);
    return;
  }
  FLeft->Run();
  Ready();
  for (auto& row : FLeft->Rows) Visit(row);
  FLeft->Rows.clear();
}

void TVelqorimAOJoin::Produce(const std::function<void(TVelqorimAORow&&)>& Emit) {
  const size_t nl = FLeft->Columns.size(), nr = FRight->Columns.size();
  auto keyOf = [&](const TVelqorimAORow& Row, bool Left, std::string& Key) {
    Key.clear();
    for (auto& key : FKeys)
      if (!AppendKey(Row[static_cast<size_t>(Left ? key.first : key.second)], Key)) return false;
    return true;
  };
  std::unordered_multimap<std::string, size_t> index;
  std::string key;
  std::vector<char> rightMatched;
  // The right input runs once the left one has (the order errors are met in).
  auto rightReady = [&] {
    FRight->Run();
    if (!FKeys.empty())
      for (size_t r = 0; r < FRight->Rows.size(); ++r)
        if (keyOf(FRight->Rows[r], false, key)) index.emplace(key, r);
    rightMatched.assign(FRight->Rows.size(), 0);
  };
  const bool outer = IsOuterJoin();
  // Outer joins apply their filters once the unmatched rows are in.
  std::vector<TVelqorimAORow> outerRows;
  auto pass = [&](TVelqorimAORow&& Row) {
    if (outer) {
      outerRows.push_back(std::move(Row));
      return;
    }
    FCurrent = &Row;
    const bool ok = PassesFilters();
    FCurrent = nullptr;
    if (ok) Emit(std::move(Row));
  };
  auto compose = [&](const TVelqorimAORow* l, const TVelqorimAORow* r) {
    TVelqorimAORow row(nl + nr);
    if (l)
      for (size_t i = 0; i < nl; ++i) row[i].Assign((*l)[i], true);
    if (r)
      for (size_t i = 0; i < nr; ++i) row[nl + i].Assign((*r)[i], true);
    return row;
  };
  auto tryPair = [&](const TVelqorimAORow& l, size_t ri, bool& matched) {
    if (++AOWork.PairsTried == AOWork.PairLimit) throw std::length_error("join work limit reached");
    TVelqorimAORow row = compose(&l, &FRight->Rows[ri]);
    if (FJoinCondition) {
      FCurrent = &row;
      const bool ok = FJoinCondition->GetResult();
      FCurrent = nullptr;
      if (!ok) return;
    }
    if (outer) {
      matched = true;
      rightMatched[ri] = 1;
    }
    pass(std::move(row));
  };
  std::vector<size_t> hits;
  ForEachLeftRow(rightReady, [&](TVelqorimAORow& l) {
    bool matched = false;
    if (!FKeys.empty()) {
      if (keyOf(l, true, key)) {
        auto range = index.equal_range(key);
        hits.clear();
        for (auto it = range.first; it != range.second; ++it) hits.push_back(it->second);
        std::sort(hits.begin(), hits.end());
        for (size_t ri : hits) tryPair(l, ri, matched);
      }
    } else {
      for (size_t ri = 0; ri < FRight->Rows.size(); ++ri) tryPair(l, ri, matched);
    }
    if (!matched && (FJoinType == ajtLeftOuter || FJoinType == ajtFullOuter)) pass(compose(&l, nullptr));
  });
  if (FJoinType == ajtRightOuter || FJoinType == ajtFullOuter)
    for (size_t ri = 0; ri < FRight->Rows.size(); ++ri)
      if (!rightMatched[ri]) pass(compose(nullptr, &FRight->Rows[ri]));
  FRight->Rows.clear();
  for (auto& r : outerRows) {
    FCurrent = &r;
    const bool ok = PassesFilters();
    FCurrent = nullptr;
    if (ok) Emit(std::move(r));
  }
}

// ---------------------------------------------------------------------------
// Computed columns and grouping

TVelqorimAOTableExpr::TVelqorimAOTableExpr(std::unique_ptr<TVelqorimAOBase> Input, std::vector<Item> Items,
                                           bool Grouping, std::vector<std::unique_ptr<TVelqorimExpression>> GroupBy,
                                           std::unique_ptr<TVelqorimExpression> Having)
    : FInput(std::move(Input)),
      FItems(std::move(Items)),
      FGrouping(Grouping),
      FGroupBy(std::move(GroupBy)),
      FHaving(std::move(Having)) {
  ParentQueryAO = FInput->ParentQueryAO;
  for (auto& g : FGroupBy) g->AssignAO(FInput.get(), ParentQueryAO, nullptr);
  if (FHaving) FHaving->AssignAO(FInput.get(), ParentQueryAO, nullptr);
  for (Item& it : FItems) {
    it.Expr->AssignAO(FInput.get(), ParentQueryAO, nullptr);
    TVelqorimAOColumn c;
    c.TableName = it.TableName;
    c.FieldName = it.Name;
    c.Hidden = it.Hidden;
    try {
      c.Type = it.Expr->GetDataType();
      c.Size = it.Expr->GetDataSize();
    } catch (const EABSException&) {
      c.Type = aftUnknown;  // known once a row is computed
    }
    Columns.push_back(c);
  }
}

void TVelqorimAOTableExpr::ComputeRow(const TVelqorimAORow* Source) {
  FInput->SetCurrent(Source);
  TVelqorimAORow row(FItems.size());
  for (size_t i = 0; i < FItems.size(); ++i)
    if (TABSVariant* v = FItems[i].Expr->GetValue(true)) row[i].Assign(*v, true);
  FInput->SetCurrent(nullptr);
  AddIfPasses(std::move(row));
}

void TVelqorimAOTableExpr::Execute() {
  Rows.clear();
  if (!FGrouping) {
    FInput->Run();
    Rows.reserve(FInput->Rows.size());
    for (const auto& r : FInput->Rows) ComputeRow(&r);
    return;
  }
  // COUNT(*) alone over a whole table is its record count: no row is read.
  if (FGroupBy.empty() && !FHaving) {
    auto* table = dynamic_cast<TVelqorimAOTable*>(FInput.get());
    bool countOnly = table != nullptr;
    for (auto& it : FItems) countOnly = countOnly && it.Expr->IsAggregatedCountAll();
    int64_t count = 0;
    if (countOnly && table->CountWithoutReading(count)) {
      TVelqorimAORow row(FItems.size());
      for (size_t i = 0; i < FItems.size(); ++i) {
        FItems[i].Expr->Init();
        FItems[i].Expr->SetCountAll(count);
        if (TABSVariant* v = FItems[i].Expr->GetValue(true)) row[i].Assign(*v, true);
      }
      AddIfPasses(std::move(row));
      return;
    }
  }
  FInput->Run();
  const auto& in = FInput->Rows;
  // Groups in the order of their keys; without GROUP BY one group, even of no rows.
  std::vector<TVelqorimAORow> keys(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    FInput->SetCurrent(&in[i]);
    keys[i] = TVelqorimAORow(FGroupBy.size());
    for (size_t g = 0; g < FGroupBy.size(); ++g)
      if (TABSVariant* v = FGroupBy[g]->GetValue(true)) keys[i][g].Assign(*v, true);
  }
  FInput->SetCurrent(nullptr);
  const size_t nk = FGroupBy.size();
  const TKeyTable table(in.size(), nk, [&](size_t r, size_t k) -> const TABSVariant& { return keys[r][k]; });
  const std::vector<size_t> order = table.Order();
  size_t start = 0;
  auto runGroup = [&](size_t from, size_t to) {
    for (auto& it : FItems) it.Expr->Init();
    if (FHaving) FHaving->Init();
    for (size_t i = from; i < to; ++i) {
      FInput->SetCurrent(&in[order[i]]);
      for (auto& it : FItems) it.Expr->Accumulate();
      if (FHaving) FHaving->Accumulate();
    }
    const TVelqorimAORow* last = to > from ? &in[order[to - 1]] : nullptr;
    FInput->SetCurrent(last);
    if (FHaving && !FHaving->GetResult()) {
      FInput->SetCurrent(nullptr);
      return;
    }
    TVelqorimAORow row(FItems.size());
    for (size_t i = 0; i < FItems.size(); ++i)
      if (TABSVariant* v = FItems[i].Expr->GetValue(true)) row[i].Assign(*v, true);
    FInput->SetCurrent(nullptr);
    AddIfPasses(std::move(row));
  };
  if (in.empty()) {
    if (FGroupBy.empty()) runGroup(0, 0);
    return;
  }
  for (size_t i = 1; i <= order.size(); ++i)
    if (i == order.size() || table.Compare(order[i - 1], order[i]) != 0) {
      runGroup(start, i);
      start = i;
    }
}

// ---------------------------------------------------------------------------
// TOP

TVelqorimAOSQLTopRowCount::TVelqorimAOSQLTopRowCount(std::unique_ptr<TVelqorimAOBase> Input)
    : FInput(std::move(Input)) {
  Columns = FInput->Columns;
  ParentQueryAO = FInput->ParentQueryAO;
}

void TVelqorimAOSQLTopRowCount::SetTopRowCount(int64_t FirstRowNo, int64_t TopRowCount) {
  FFirstRowNo = FirstRowNo < 1 ? 1 : FirstRowNo;
  FTopRowCount = TopRowCount;
}

void TVelqorimAOSQLTopRowCount::Execute() {
  Rows.clear();
  FInput->Run();
  // The input holds only rows that passed every filter, so the count is of those.
  int64_t skipped = 0;
  for (auto& r : FInput->Rows) {
    if (skipped < FFirstRowNo - 1) {
      skipped++;
      continue;
    }
    if (FTopRowCount >= 0 && static_cast<int64_t>(Rows.size()) >= FTopRowCount) break;
    Rows.push_back(std::move(r));
  }
}

// ---------------------------------------------------------------------------
// Set operations

TVelqorimAOUnion::TVelqorimAOUnion(std::unique_ptr<TVelqorimAOBase> Left, std::unique_ptr<TVelqorimAOBase> Right,
                                   TABSUnionType UnionType, bool Distinct)
    : FLeft(std::move(Left)), FRight(std::move(Right)), FUnionType(UnionType), FDistinct(Distinct) {
  if (FLeft->VisibleColumnCount() != FRight->VisibleColumnCount())
    throw EABSException(20261, "Number of columns of both queries of set operation must be equal");
  for (const auto& c : FLeft->Columns)
    if (!c.Hidden) Columns.push_back(c);
}

void TVelqorimAOUnion::Execute() {
  Rows.clear();
  FLeft->Run();
  FRight->Run();
  const size_t n = Columns.size();
  auto visible = [&](TVelqorimAOBase& ao, TVelqorimAORow& r) {
    TVelqorimAORow out(n);
    size_t k = 0;
    for (size_t i = 0; i < ao.Columns.size(); ++i)
      if (!ao.Columns[i].Hidden) out[k++].Assign(r[i], true);
    return out;
  };
  std::vector<TVelqorimAORow> right;
  for (auto& r : FRight->Rows) right.push_back(visible(*FRight, r));
  if (FUnionType == autUnion) {
    for (auto& r : FLeft->Rows) Rows.push_back(visible(*FLeft, r));
    for (auto& r : right) Rows.push_back(std::move(r));
    if (FDistinct) ApplyDistinct();
    return;
  }
  std::sort(right.begin(), right.end(),
            [&](const TVelqorimAORow& a, const TVelqorimAORow& b) { return CompareAORows(a, b, n) < 0; });
  for (auto& r : FLeft->Rows) {
    TVelqorimAORow row = visible(*FLeft, r);
    const bool found = std::binary_search(
        right.begin(), right.end(), row,
        [&](const TVelqorimAORow& a, const TVelqorimAORow& b) { return CompareAORows(a, b, n) < 0; });
    if (found == (FUnionType == autIntersect)) Rows.push_back(std::move(row));
  }
  if (FDistinct) ApplyDistinct();
}

// ---------------------------------------------------------------------------
// Column order

TVelqorimAOColumnOrder::TVelqorimAOColumnOrder(std::unique_ptr<TVelqorimAOBase> Input, std::vector<size_t> Order)
    : FInput(std::move(Input)), FOrder(std::move(Order)) {
  ParentQueryAO = FInput->ParentQueryAO;
  for (size_t k : FOrder) Columns.push_back(FInput->Columns.at(k));
}

void TVelqorimAOColumnOrder::Execute() {
  Rows.clear();
  FInput->Run();
  Rows.reserve(FInput->Rows.size());
  for (auto& r : FInput->Rows) {
    TVelqorimAORow out(FOrder.size());
    for (size_t k = 0; k < FOrder.size(); ++k) out[k].Assign(r[FOrder[k]], true);
    AddIfPasses(std::move(out));
  }
  FInput->Rows.clear();
}

// ---------------------------------------------------------------------------
// Derived table

TVelqorimAOSubquery::TVelqorimAOSubquery(std::unique_ptr<TVelqorimAOBase> Input, const String& Alias)
    : FInput(std::move(Input)) {
  for (const auto& c : FInput->Columns)
    if (!c.Hidden) Columns.push_back({Alias, c.FieldName, c.Type, c.Size, false});
}

void TVelqorimAOSubquery::Execute() {
  Rows.clear();
  FInput->Run();
  for (auto& r : FInput->Rows) {
    TVelqorimAORow out(Columns.size());
    size_t k = 0;
    for (size_t i = 0; i < FInput->Columns.size(); ++i)
      if (!FInput->Columns[i].Hidden) out[k++].Assign(r[i], true);
    AddIfPasses(std::move(out));
  }
}
