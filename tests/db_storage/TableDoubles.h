#pragma once
// Test doubles for the engine-independent table code: a record store in a map,
// an index that sorts the store on demand, a table and database of them, a
// cursor with the engine operations the tests do not need left out, and a
// one-comparison filter expression that offers its index conditions.

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "db/storage/VelqorimBTree.h"
#include "db/storage/VelqorimBaseEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"

namespace doubles {

class TMapRecordManager : public TVelqorimBaseRecordManager {
 public:
  void Empty(int) override {
    Records.clear();
    RecordCount = 0;
    ++TableState;
  }
  bool AddRecord(int, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) override {
    RecordID = {NextSlot++, 0};
    Records[RecordID.PageNo].assign(RecordBuffer, RecordBuffer + RecordBufferSize);
    ++RecordCount;
    ++TableState;
    return true;
  }
  bool UpdateRecord(int, const uint8_t* RecordBuffer, TABSPageItemID RecordID) override {
    auto it = Records.find(int32_t{RecordID.PageNo});
    if (it == Records.end()) return false;
    it->second.assign(RecordBuffer, RecordBuffer + RecordBufferSize);
    ++TableState;
    return true;
  }
  bool DeleteRecord(int, TABSPageItemID& RecordID) override {
    if (Records.erase(int32_t{RecordID.PageNo}) == 0) return false;
    --RecordCount;
    ++TableState;
    return true;
  }
  void GetRecordBuffer(int, TABSNavigationInfo& Nav) override {
    Nav.GetRecordResult = grrError;
    if (Records.empty()) {
      Nav.GetRecordResult = grrEOF;
      return;
    }
    std::map<int32_t, std::vector<uint8_t>>::iterator it;
    if (Nav.FirstPosition || Nav.LastPosition) {
      if (Nav.GetRecordMode == grmCurrent) return;
      if (Nav.FirstPosition != (Nav.GetRecordMode == grmNext)) {
        Nav.GetRecordResult = Nav.FirstPosition ? grrBOF : grrEOF;
        return;
      }
      it = Nav.FirstPosition ? Records.begin() : std::prev(Records.end());
    } else if (Nav.GetRecordMode == grmCurrent) {
      it = Records.find(int32_t{Nav.RecordID.PageNo});
      if (it == Records.end()) return;
    } else if (Nav.GetRecordMode == grmNext) {
      it = Records.upper_bound(int32_t{Nav.RecordID.PageNo});
      if (it == Records.end()) {
        Nav.GetRecordResult = grrEOF;
        Nav.LastPosition = true;
        return;
      }
    } else {
      it = Records.lower_bound(int32_t{Nav.RecordID.PageNo});
      if (it == Records.begin()) {
        Nav.GetRecordResult = grrBOF;
        Nav.FirstPosition = true;
        return;
      }
      --it;
    }
    Nav.FirstPosition = Nav.LastPosition = false;
    Nav.RecordID = {it->first, 0};
    std::memcpy(Nav.RecordBuffer, it->second.data(), it->second.size());
    Nav.GetRecordResult = grrOK;
  }
  int CompareRecordID(TABSPageItemID A, TABSPageItemID B) override {
    return (A.PageNo > B.PageNo) - (A.PageNo < B.PageNo);
  }
  int64_t GetApproximateRecNo(int, TABSPageItemID RecordID) override {
    return std::distance(Records.begin(), Records.lower_bound(int32_t{RecordID.PageNo}));
  }

  std::map<int32_t, std::vector<uint8_t>> Records;
  int32_t NextSlot = 0;
};

class TTestTableData;

// A position in the sorted index: the entry's rank and record id.
class TSortedPosition : public TObject {
 public:
  int64_t Rank = -1;
  TABSPageItemID RecordID{-1, 0};
};

class TSortedIndex : public TVelqorimIndex {
 public:
  using TVelqorimIndex::TVelqorimIndex;

  TVelqorimTableData& Table() const { return *IndexManager->TableData(); }
  TMapRecordManager& Store() const { return static_cast<TMapRecordManager&>(*Table().RecordManager); }

  // Entries in index order: by key, then by record id.
  std::vector<TABSPageItemID> Entries() {
    std::vector<TABSPageItemID> ids;
    for (auto& r : Store().Records) ids.push_back({r.first, 0});
    std::stable_sort(ids.begin(), ids.end(), [&](TABSPageItemID a, TABSPageItemID b) {
      return CompareRecordBuffersByIndex(Rec(a), Rec(b), IndexDef->ColumnCount()) < 0;
    });
    return ids;
  }
  const uint8_t* Rec(TABSPageItemID Id) { return Store().Records.at(int32_t{Id.PageNo}).data(); }
  int64_t RankOf(TABSPageItemID Id) {
    auto e = Entries();
    auto it = std::find(e.begin(), e.end(), Id);
    return it == e.end() ? -1 : it - e.begin();
  }

  void CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& Def) override {
    TVelqorimIndex::CreateIndex(Cursor, Def);
    Def.RootPageNo = 1;
  }
  void DropIndex(int) override {}
  void EmptyIndex(int) override {}
  void RebuildTemporaryIndex(TVelqorimCursor*) override { ++Rebuilds; }
  void Step(TABSNavigationInfo& Nav, int64_t Rank) {
    auto e = Entries();
    if (Rank < 0) {
      Nav.GetRecordResult = grrBOF;
      Nav.FirstPosition = true;
      Nav.LastPosition = false;
      return;
    }
    if (Rank >= static_cast<int64_t>(e.size())) {
      Nav.GetRecordResult = grrEOF;
      Nav.LastPosition = true;
      Nav.FirstPosition = false;
      return;
    }
    Nav.RecordID = e[Rank];
    std::memcpy(Nav.RecordBuffer, Rec(e[Rank]), Store().RecordBufferSize);
    Nav.FirstPosition = Nav.LastPosition = false;
    Nav.GetRecordResult = grrOK;
  }
  void GetRecordBuffer(int, TABSNavigationInfo& Nav, TABSIndexPositionCache*, int) override {
    if (Nav.GetRecordMode == grmCurrent) throw EABSException(1, "index read of the current record");
    const int64_t n = static_cast<int64_t>(Entries().size());
    if (Nav.FirstPosition || Nav.LastPosition) {
      if (n == 0) {
        Nav.GetRecordResult = grrError;
        return;
      }
      return Step(Nav, Nav.FirstPosition ? 0 : n - 1);
    }
    const int64_t rank = RankOf(Nav.RecordID);
    if (rank < 0) {
      Nav.GetRecordResult = grrError;
      return;
    }
    Step(Nav, Nav.GetRecordMode == grmNext ? rank + 1 : rank - 1);
  }
  void GetClosestRecordBuffer(int, TABSNavigationInfo& Nav, TABSIndexPositionCache*, int) override {
    auto e = Entries();
    int64_t rank = 0;
    while (rank < static_cast<int64_t>(e.size()) &&
           CompareRecordBuffersByIndex(Rec(e[rank]), Nav.RecordBuffer, IndexDef->ColumnCount()) <= 0)
      ++rank;
    Step(Nav, Nav.GetRecordMode == grmNext ? rank : rank - 1);
  }
  TObject* CreateIndexPosition() override { return new TSortedPosition; }
  void FreeIndexPosition(TObject*& P) override {
    delete P;
    P = nullptr;
  }
  bool GetIndexPosition(int, TABSPageItemID Id, const uint8_t*, TObject* P) override {
    auto* pos = static_cast<TSortedPosition*>(P);
    pos->Rank = RankOf(Id);
    pos->RecordID = Id;
    return pos->Rank >= 0;
  }
  int CompareRecordPositionsInIndex(TObject* A, TObject* B) override {
    const int64_t a = static_cast<TSortedPosition*>(A)->Rank, b = static_cast<TSortedPosition*>(B)->Rank;
    return (a > b) - (a < b);
  }
  int64_t GetRecNoByRecordID(int, TABSPageItemID Id, const uint8_t*) override {
    const int64_t r = RankOf(Id);
    return r < 0 ? -1 : r + 1;
  }
  TABSPageItemID GetRecordIDByRecNo(int, int64_t RecNo) override { return Entries().at(RecNo - 1); }
  void ApplyDistinctToRecordBitmap(int, TVelqorimRecordBitmap& Bitmap, int Count) override {
    const uint8_t* last = nullptr;
    for (TABSPageItemID id : Entries()) {
      TSortedPosition pos;
      GetIndexPosition(0, id, nullptr, &pos);
      if (!Bitmap.IsRecordVisible(IndexDef->ObjectID, &pos)) continue;
      if (last != nullptr && CompareRecordBuffersByIndex(Rec(id), last, Count) == 0)
        Bitmap.HideRecord(IndexDef->ObjectID, &pos);
      else
        last = Rec(id);
    }
  }
  struct TSearch {
    std::vector<TABSPageItemID> Ids;
    size_t Next = 0;
  };
  void* CreateSearchInfo() override { return new TSearch; }
  void FreeSearchInfo(void* S) override { delete static_cast<TSearch*>(S); }
  bool Satisfies(const uint8_t* R, const TABSScanSearchCondition* C) {
    if (C == nullptr) return true;
    const int c = CompareRecordBuffersByIndex(R, C->KeyRecordBuffer, C->KeyFieldCount);
    switch (C->Condition) {
      case scEqual:
        return c == 0;
      case scLower:
        return c < 0;
      case scGreater:
        return c > 0;
      case scLowerEqual:
        return c <= 0;
      case scGreaterEqual:
        return c >= 0;
      default:
        return true;
    }
  }
  bool FindRecord(int, bool Restart, bool GoForward, TABSScanSearchCondition* Start,
                  TABSScanSearchCondition* End, uint8_t*, TABSPageItemID& RecordID, void* Info) override {
    auto& s = *static_cast<TSearch*>(Info);
    if (Restart || s.Ids.empty()) {
      auto e = Entries();
      if (!GoForward) std::reverse(e.begin(), e.end());
      s.Ids.clear();
      bool passedCurrent = Restart;
      for (auto id : e) {
        if (!passedCurrent) {
          passedCurrent = id == RecordID;
          continue;
        }
        if (Satisfies(Rec(id), Start) && Satisfies(Rec(id), End)) s.Ids.push_back(id);
      }
      s.Next = 0;
      ++Searches;
    }
    if (s.Next >= s.Ids.size()) return false;
    RecordID = s.Ids[s.Next++];
    return true;
  }
  int CompareRecordBuffersByIndex(const uint8_t* A, const uint8_t* B, int Count) override {
    const TVelqorimFieldDefs& fields = Table().FieldManager->FieldDefs;
    for (int j = 0; j < Count && j < IndexDef->ColumnCount(); ++j) {
      const TVelqorimIndexColumn& col = IndexDef->GetIndexColumn(j);
      const int f = fields.GetDefNumberByName(col.FieldName);
      const TVelqorimFieldDef& d = *fields[f];
      int c = CompareValueBuffersAsInteger(A + d.MemoryOffset, B + d.MemoryOffset, d.BaseFieldType,
                                           d.BaseFieldType, GetBitInBuffer(f, A), GetBitInBuffer(f, B), -1,
                                           col.CaseInsensitive);
      if (col.Descending) c = -c;
      if (c != 0) return c;
    }
    return 0;
  }
  int64_t GetApproxRangeRecordCount(int, int64_t, TABSScanSearchCondition* A,
                                    TABSScanSearchCondition* B) override {
    int64_t n = 0;
    for (auto id : Entries()) n += Satisfies(Rec(id), A) && Satisfies(Rec(id), B);
    return n;
  }
  bool CanInsertRecord(int, const uint8_t* R) override {
    if (!IndexDef->Unique && !IndexDef->Primary) return true;
    for (auto id : Entries())
      if (CompareRecordBuffersByIndex(Rec(id), R, IndexDef->ColumnCount()) == 0) return false;
    return true;
  }
  bool CanUpdateRecord(int, const uint8_t* Old, const uint8_t* New) override {
    if (CompareRecordBuffersByIndex(Old, New, IndexDef->ColumnCount()) == 0) return true;
    return CanInsertRecord(0, New);
  }
  void InsertRecord(TVelqorimCursor&) override {}
  void DeleteRecord(TVelqorimCursor&) override {}
  void UpdateRecord(TVelqorimCursor&, bool) override {}
  int GetMaxEntriesPerPage() override { return 100; }
  void GetRecordIDByIndexPosition(int, TObject* P, TABSPageItemID& Id) override {
    Id = Entries().at(static_cast<TSortedPosition*>(P)->Rank);
  }

  int Rebuilds = 0;
  int Searches = 0;
};

class TTestTableData : public TVelqorimTableData {
 public:
  using TVelqorimTableData::TVelqorimTableData;
  TMapRecordManager& Store() { return static_cast<TMapRecordManager&>(*RecordManager); }

  void CreateRecordManager() override {
    RecordManager = std::make_unique<TMapRecordManager>();
    RecordManager->RecordBufferSize = GetRecordSize();
  }
  void CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& F, TVelqorimIndexDefs& I,
                   TVelqorimConstraintDefs& C) override {
    CreateFieldManager(F);
    CreateRecordManager();
    IndexManager = std::make_unique<TVelqorimBaseIndexManager>(this, PageManager);
    if (IndexPages != nullptr) {
      IndexManager->PageManager = IndexPages;  // the default index: the B-tree
    } else {
      IndexManager->IndexFactory = [](TVelqorimBaseIndexManager* M) {
        return std::make_unique<TSortedIndex>(M);
      };
    }
    CreateIndexManager(I);
    if (IndexPages != nullptr) IndexManager->CreateIndexesByIndexDefs(Cursor);
    CreateConstraintManager(C);
  }
  int64_t GetMaxBitmapRecNo(int) override {
    int64_t most = Store().NextSlot;
    if (IndexPages == nullptr) return most;
    // B-tree positions number by base (entries per page + 1) digits, one per level.
    for (int i = 0; i < IndexManager->IndexDefs.Count(); ++i) {
      auto& index = *IndexManager->OpenIndex(IndexManager->IndexDefs[i]->ObjectID);
      TVelqorimKeyPath path;
      TVelqorimBTreePage view(IndexPages, &static_cast<TVelqorimBTreeRecordIndex&>(index).KeyRef());
      view.GetIndexPage(0, index.IndexDef->RootPageNo)->GetFirstPosition(0, path);
      int64_t n = 1;
      for (int level = 0; level < path.Count; ++level) n *= index.GetMaxEntriesPerPage() + 1;
      most = std::max(most, n + 1);
    }
    return most;
  }
  int64_t GetBitmapRecNoByRecordID(TABSPageItemID Id) override { return Id.PageNo; }
  TABSPageItemID GetRecordIDByBitmapRecNo(int64_t RecNo) override { return {static_cast<int32_t>(RecNo), 0}; }
  TSortedIndex& Index(int IndexID) { return static_cast<TSortedIndex&>(*IndexManager->OpenIndex(IndexID)); }
  int64_t GetBitmapRecNoByIndexPosition(int IndexID, TObject* P) override {
    if (IndexPages != nullptr) return TVelqorimTableData::GetBitmapRecNoByIndexPosition(IndexID, P);
    return static_cast<TSortedPosition*>(P)->Rank;
  }
  void GetIndexPositionByBitmapRecNo(int IndexID, int64_t RecNo, TObject* P) override {
    if (IndexPages != nullptr) return TVelqorimTableData::GetIndexPositionByBitmapRecNo(IndexID, RecNo, P);
    auto* pos = static_cast<TSortedPosition*>(P);
    pos->Rank = RecNo;
    pos->RecordID = Index(IndexID).Entries().at(RecNo);
  }
  void WriteBLOBFieldToRecordBuffer(TVelqorimCursor&, int, TABSStream&) override {}
  TABSStream* InternalCreateBlobStream(TVelqorimCursor&, bool, int, TABSBLOBOpenMode) override {
    return nullptr;
  }
  void GetDirectBlobData(TVelqorimCursor&, int, uint8_t*, TABSPartialTemporaryBLOBDescriptor&,
                         uint8_t*&) override {}
  void SetDirectBlobData(TVelqorimCursor&, int, uint8_t*, TABSPartialTemporaryBLOBDescriptor&,
                         uint8_t*&) override {}
  void FreeDirectBlobData(TVelqorimCursor&, int, uint8_t*, TABSPartialTemporaryBLOBDescriptor&,
                          uint8_t*&) override {}
  bool InsertRecord(TVelqorimCursor*& Cursor) override {
    TABSPageItemID id;
    if (!RecordManager->AddRecord(0, Cursor->CurrentRecordBuffer, id)) return false;
    if (IndexPages != nullptr) {
      Cursor->CurrentRecordID = id;
      IndexManager->InsertRecord(*Cursor);
    }
    return true;
  }
  // Removes a record and, with B-trees, its index entries.
  void RemoveRecord(TVelqorimCursor& Cursor, TABSPageItemID Id) {
    if (IndexPages != nullptr) {
      Cursor.CurrentRecordID = Id;
      std::memcpy(Cursor.CurrentRecordBuffer, Store().Records.at(Id.PageNo).data(),
                  RecordManager->RecordBufferSize);
      IndexManager->DeleteRecord(Cursor);
    }
    RecordManager->DeleteRecord(0, Id);
  }
  TVelqorimPageManager* IndexPages = nullptr;  // set: the indexes are B-trees in these pages
  bool DeleteRecord(TVelqorimCursor& Cursor) override {
    return RecordManager->DeleteRecord(0, Cursor.CurrentRecordID);
  }
  bool UpdateRecord(TVelqorimCursor& Cursor) override {
    return RecordManager->UpdateRecord(0, Cursor.CurrentRecordBuffer, Cursor.CurrentRecordID);
  }
  void InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) override {
    auto it = Store().Records.begin();
    std::advance(it, RecNo - 1);
    Cursor.CurrentRecordID = {it->first, 0};
  }
  int64_t InternalGetRecNo(TVelqorimCursor& Cursor) override {
    return std::distance(Store().Records.begin(),
                         Store().Records.find(int32_t{Cursor.CurrentRecordID.PageNo})) +
           1;
  }
  int64_t InternalGetRecordCount(TVelqorimCursor&) override { return RecordManager->RecordCount; }
};

class TTestDatabaseData : public TVelqorimDatabaseData {
 public:
  TVelqorimTableData* CreateTableData(TVelqorimCursor& Cursor) override {
    auto* t = new TTestTableData(this);
    t->IndexPages = IndexPages;
    t->TableName = Cursor.TableName;
    AddTableData(t);
    return t;
  }
  int GetNewObjectId() override { return ++LastObjectId; }
  int LastObjectId = 0;
  TVelqorimPageManager* IndexPages = nullptr;
};

// A cursor for the engine-independent code: the engine's operations are not needed here.
class TTestCursor : public TVelqorimCursor {
 public:
  [[noreturn]] static void No() { throw EABSException(1, "not in this test cursor"); }
  void CreateTable(TVelqorimFieldDefs&, TVelqorimIndexDefs&, TVelqorimConstraintDefs&) override { No(); }
  void DeleteTable() override { No(); }
  void EmptyTable() override { No(); }
  void RenameTable(const String&) override { No(); }
  void InternalInitFieldDefs() override { No(); }
  void OpenTableByFieldDefs(TVelqorimFieldDefs*, TVelqorimIndexDefs*, TVelqorimConstraintDefs*) override {
    No();
  }
  void CloseTable() override { No(); }
  void LockTableData() override { No(); }
  void UnlockTableData() override { No(); }
  bool LockTable(TABSLockType, int, int, bool) override { return true; }
  bool UnlockTable(TABSLockType, bool) override { return true; }
  void AddIndex(TVelqorimIndexDef&) override { No(); }
  void DeleteIndex(const String&) override { No(); }
  void DeleteAllIndexes() override { No(); }
  String FindOrCreateIndex(TStringList&, TStringList&, TStringList&, bool&) override { No(); }
  bool IndexExists(TStringList&, TStringList&, TStringList&) override { No(); }
  void CopyFieldValue(int, bool, int, TVelqorimCursor&) override { No(); }
  void InternalInitRecord(uint8_t* R, bool) override {
    std::memset(R, 0, FieldDefs.GetMemoryRecordBufferSize());
    for (int i = 0; i < FieldDefs.Count(); ++i) SetBitInBuffer(true, i, R);
  }
  int64_t GetRecordCount() override { No(); }
  TABSGetRecordResult GetRecordBuffer(TABSGetRecordMode) override { No(); }
  void SetRecNo(int64_t) override { No(); }
  int64_t GetRecNo() override { No(); }
  int CompareRecordsOrder(TABSPageItemID, TABSPageItemID) override { No(); }
  void InternalFirst() override { No(); }
  void InternalLast() override { No(); }
  void InternalInsert() override { No(); }
  void InternalEdit() override { No(); }
  void InternalCancel(bool) override { No(); }
  void InternalPost(bool) override { No(); }
  void InternalDelete() override { No(); }
  bool IsRecordLocked() override { return false; }
  void ApplyDistinct(TStringList&, TStringList&, TStringList&) override { No(); }
  void ActivateFilters(const String&, bool, bool) override { No(); }
  void DeactivateFilters() override { No(); }
  bool Locate(const String&, const std::vector<TABSVarData>&, bool, bool) override { No(); }
  bool FindKey(TABSSearchCondition) override { No(); }
  bool IsAnyRecordMatchCondition(const String&, TABSDataOperator, const TABSVariant&) override { No(); }
  TABSStream* InternalCreateBlobStream(bool, bool, int, TABSBLOBOpenMode, bool) override { No(); }
  void InternalCloseBLOB(int) override { No(); }
  void ClearBLOBStreams(bool) override {}
  int64_t LastAutoincValue(int) override { No(); }
  void BeginBatchUpdate() override { No(); }
  void EndBatchUpdate() override { No(); }
  void CancelBatchUpdate() override { No(); }
  bool CheckConstraints(bool) override { No(); }
};

class TTestSession : public TVelqorimBaseSession {
 public:
  bool GetConnected() override { return true; }
  void SetConnected(bool) override {}
  bool GetSuppressDBHeaderErrors() override { return false; }
  void SetSuppressDBHeaderErrors(bool) override {}
  void CreateDatabase() override {}
  void DeleteDatabase() override {}
  void RenameDatabase(const String&) override {}
  void GetTablesList(TStrings&) override {}
  bool TableExists(const String&) override { return false; }
  void StartTransaction() override {}
  void Commit(bool) override {}
  void Rollback() override {}
  void FlushBuffers() override {}
};

// A table "T" of the given definitions in a test database, with one cursor
// opened on it. The caller decides the database's index pages and the
// cursor's session before Open.
struct TTestTable {
  static void AddIndex(TVelqorimIndexDefs& Defs, const char* Name,
                       std::initializer_list<const char*> Columns) {
    auto* d = Defs.AddCreated();
    d->Name = Name;
    d->SetColumnCount(int(Columns.size()));
    int n = 0;
    for (const char* column : Columns) d->GetIndexColumn(n++).FieldName = column;
  }

  void Open(TVelqorimFieldDefs& Fields, TVelqorimIndexDefs& Indexes) {
    TVelqorimConstraintDefs constraints;
    cursor.TableName = "T";
    table = static_cast<TTestTableData*>(db.FindOrCreateTableData(cursor));
    table->CreateTable(&cursor, Fields, Indexes, constraints);
    cursor.FieldDefs.Assign(table->FieldManager->FieldDefs);
    cursor.VisibleFieldDefs.Assign(cursor.FieldDefs);
    for (int n = 0; n < cursor.VisibleFieldDefs.Count(); ++n)
      cursor.VisibleFieldDefs[n]->FieldNoReference = n;
    cursor.IndexDefs.Assign(table->IndexManager->IndexDefs);
    cursor.RecordBufferSize = cursor.FieldDefs.GetMemoryRecordBufferSize() + 7;
    cursor.BookmarkOffset = cursor.FieldDefs.GetMemoryRecordBufferSize();
    cursor.KeyBufferSize = cursor.RecordBufferSize;
    cursor.Session = &session;
    cursor.RecordBitmap = std::make_unique<TVelqorimRecordBitmap>(table);
    record.Reset(cursor.AllocateRecordBuffer());
    cursor.CurrentRecordBuffer = record.Bytes();
    table->OpenTable(&cursor);
  }

  // Inserts a record whose first two integer fields are A and B (absent: NULL).
  void Insert(std::optional<int32_t> A, std::optional<int32_t> B) {
    cursor.InternalInitRecord(cursor.CurrentRecordBuffer, true);
    TABSVariant v;
    if (A) v.SetAsInteger(*A), cursor.SetFieldValue(v, 0, true);
    if (B) v.SetAsInteger(*B), cursor.SetFieldValue(v, 1, true);
    TVelqorimCursor* c = &cursor;
    table->InsertRecord(c);
  }

  TTestDatabaseData db;
  TTestSession session;
  TTestCursor cursor;
  TTestTableData* table = nullptr;
  TABSMemBlock record;
};

}  // namespace doubles
