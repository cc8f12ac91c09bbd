#pragma once
// The engine-independent table code: the contracts of record stores and
// indexes, a cursor's record bitmap, the open table shared by its cursors
// with its managers, and the open database shared by its sessions.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "db/storage/VelqorimBase.h"

class TVelqorimBaseIndexManager;
class TVelqorimTableData;

// Stores the records of one table and walks them in physical order.
//
// Physical read (GetRecordBuffer): an empty table gives grrEOF. From before
// the first record (FirstPosition) grmNext gives the first record, grmPrior
// grrBOF, grmCurrent grrError; after the last (LastPosition) likewise
// mirrored. Otherwise from RecordID: grmCurrent that record (grrError when
// gone), grmNext / grmPrior the neighbour or grrEOF / grrBOF. On grrOK the
// record is copied into RecordBuffer and RecordID names it.
class TVelqorimBaseRecordManager : public TObject {
 public:
  virtual void Empty(int SessionID) = 0;
  virtual bool AddRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID& RecordID) = 0;
  virtual bool UpdateRecord(int SessionID, const uint8_t* RecordBuffer, TABSPageItemID RecordID) = 0;
  virtual bool DeleteRecord(int SessionID, TABSPageItemID& RecordID) = 0;
  virtual void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo) = 0;
  virtual int CompareRecordID(TABSPageItemID RecordID1, TABSPageItemID RecordID2) = 0;
  virtual int64_t GetApproximateRecNo(int SessionID, TABSPageItemID RecordID) = 0;

  int64_t RecordCount = 0;
  int32_t TableState = 0;  // advanced by every successful add, update and delete
  int32_t RecordBufferSize = 0;
};

// One index of a table.
//
// Index read (GetRecordBuffer): grmCurrent is refused. FirstPosition gives
// the first entry and LastPosition the last, whatever the mode (an empty
// index grrError); otherwise one step from RecordID's entry (found through
// the position cache when it matches, else by the record's values). A step
// off the end gives grrEOF with LastPosition set, off the front grrBOF with
// FirstPosition set.
class TVelqorimIndex : public TObject {
 public:
  explicit TVelqorimIndex(TVelqorimBaseIndexManager* aIndexManager) : IndexManager(aIndexManager) {}

  // Keeps a copy of the definition; implementations then build the index
  // and store its root page in aIndexDef.RootPageNo.
  virtual void CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& aIndexDef);
  virtual void DropIndex(int SessionID) = 0;
  virtual void EmptyIndex(int SessionID) = 0;
  virtual void OpenIndex(const TVelqorimIndexDef& aIndexDef);
  virtual void RebuildTemporaryIndex(TVelqorimCursor* Cursor) = 0;
  virtual void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo,
                               TABSIndexPositionCache* IndexPositionCache, int TableState) = 0;
  virtual void GetClosestRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo,
                                      TABSIndexPositionCache* IndexPositionCache, int TableState) = 0;
  virtual TObject* CreateIndexPosition() = 0;
  virtual void FreeIndexPosition(TObject*& IndexPosition) = 0;
  virtual bool GetIndexPosition(int SessionID, TABSPageItemID RecordID, const uint8_t* RecordBuffer,
                                TObject* IndexPosition) = 0;
  virtual int CompareRecordPositionsInIndex(TObject* RecordPosition1, TObject* RecordPosition2) = 0;
  virtual int64_t GetRecNoByRecordID(int SessionID, TABSPageItemID RecordID, const uint8_t* RecordBuffer) = 0;
  virtual TABSPageItemID GetRecordIDByRecNo(int SessionID, int64_t RecNo) = 0;
  virtual void ApplyDistinctToRecordBitmap(int SessionID, TVelqorimRecordBitmap& Bitmap, int DistinctFieldCount) = 0;
  virtual void* CreateSearchInfo() = 0;
  virtual void FreeSearchInfo(void* SearchInfo) = 0;
  // A search info that frees itself, for walks kept between a cursor's
  // steps; empty where the index keeps none.
  virtual std::shared_ptr<void> CreateSharedSearchInfo() { return {}; }
  virtual bool FindRecord(int SessionID, bool Restart, bool GoForward, TABSScanSearchCondition* StartScanCondition,
                          TABSScanSearchCondition* EndScanCondition, uint8_t* RecordBuffer,
                          TABSPageItemID& RecordID, void* SearchInfo) = 0;
  // Raises when the record FindRecord last named does not carry the key of
  // the index entry that named it (a damaged index).
  virtual void CheckFoundRecord(int SessionID, void* SearchInfo, const uint8_t* RecordBuffer) {
    (void)SessionID, (void)SearchInfo, (void)RecordBuffer;
  }
  virtual int CompareRecordBuffersByIndex(const uint8_t* Buffer1, const uint8_t* Buffer2, int IndexFieldCount) = 0;
  // -1 for a lower bound, 1 for an upper bound, 0 otherwise; the second condition is not looked at.
  virtual int CompareConditions(const TABSScanSearchCondition& Condition1, const TABSScanSearchCondition& Condition2);
  virtual int64_t GetApproxRangeRecordCount(int SessionID, int64_t TableRecordCount,
                                            TABSScanSearchCondition* RangeCondition1,
                                            TABSScanSearchCondition* RangeCondition2) = 0;
  virtual bool CanInsertRecord(int SessionID, const uint8_t* RecordBuffer) = 0;
  virtual bool CanUpdateRecord(int SessionID, const uint8_t* OldRecordBuffer, const uint8_t* NewRecordBuffer) = 0;
  virtual void InsertRecord(TVelqorimCursor& Cursor) = 0;
  virtual void DeleteRecord(TVelqorimCursor& Cursor) = 0;
  virtual void UpdateRecord(TVelqorimCursor& Cursor, bool BeforeNewRecordIsStored) = 0;
  virtual int GetMaxEntriesPerPage() = 0;
  virtual void GetRecordIDByIndexPosition(int SessionID, TObject* IndexPos, TABSPageItemID& RecordID) = 0;

  std::unique_ptr<TVelqorimIndexDef> IndexDef;
  TVelqorimBaseIndexManager* IndexManager;  // the owner
};

// A cursor's set of visible records under a filter, range or distinct mode.
// Bits are numbered by record id through the table data, or, when
// IndexBased, by position in the cursor's current index.
class TVelqorimRecordBitmap : public TObject {
 public:
  explicit TVelqorimRecordBitmap(TVelqorimTableData* aTableData);  // 10425 without table data

  int64_t Size() const { return FBits.Size(); }
  void SetSize(int64_t Value);
  bool Outdated() const;
  int64_t GetRecordCount() const { return FBits.NonZeroBitCount(); }
  // 1-based number among the visible records; -1 when the bit lies beyond Size.
  int64_t GetRecNoByRecordID(TABSPageItemID RecordID) const;
  int64_t GetRecNoByIndexPos(int IndexID, TObject* IndexPos) const;
  TABSPageItemID GetRecordIDByRecNo(int64_t RecNo) const;
  void GetIndexPosByRecNo(int IndexID, int64_t RecNo, TObject* IndexPos) const;
  bool IsRecordVisible(TABSPageItemID RecordID) const;
  bool IsRecordVisible(int IndexID, TObject* IndexPos) const;
  void ShowRecord(TABSPageItemID RecordID);
  void ShowRecord(int IndexID, TObject* IndexPos);
  void HideRecord(TABSPageItemID RecordID);
  void HideRecord(int IndexID, TObject* IndexPos);
  void SetAllBits() { FBits.SetAllBits(); }
  void Clear();
  bool FindRecord(bool Restart, bool GoForward, TABSPageItemID CurRecordID, TABSPageItemID& FoundRecordID) const;
  bool FindRecord(bool Restart, bool GoForward, TObject* CurIndexPos, TObject* FoundRecordIndexPos,
                  int IndexID) const;

  bool Active = false;
  bool IndexBased = false;
  int32_t TableState = -1;

 private:
  int BitOf(TABSPageItemID RecordID) const;
  int BitOf(int IndexID, TObject* IndexPos) const;
  void SetVisible(int64_t Bit, bool Value);

  TABSBitsArray FBits;
  TVelqorimTableData* FTableData;
};

class TVelqorimPageManager;
class TVelqorimDatabaseData;

// Compares two buffers byte for byte; 10122 / 10123 for a missing buffer.
bool RecordBuffersEqual(const uint8_t* Buffer1, const uint8_t* Buffer2, int Size);

// The table's field definitions, record layouts, defaults and autoincrement values.
class TVelqorimBaseFieldManager : public TObject {
 public:
  explicit TVelqorimBaseFieldManager(TVelqorimTableData* aTableData) : FTableData(aTableData) {}

  // Advances the field's last value by its increment (1 for 0); wraps to the
  // minimum when cycling, else 20160 past the maximum; 30700 past 64 bits.
  virtual int64_t IncLastAutoinc(int FieldNo);
  virtual void ApplyDefaultValuesToRecordBuffer(TVelqorimBaseSession* Session, uint8_t* RecordBuffer);
  // Null autoincrement fields get the next value; given values are learnt
  // (read sign-extended for the signed types).
  virtual void ApplyAutoincsToRecordBuffer(TVelqorimBaseSession* Session, uint8_t* RecordBuffer);
  virtual int64_t GetNextAutoinc(TVelqorimBaseSession* Session, int FieldNo);
  virtual int64_t GetLastAutoinc(TVelqorimBaseSession* Session, int FieldNo);

  void LoadMetadata(TStream& Stream);
  void SaveMetadata(TStream& Stream) const { FieldDefs.SaveToStream(Stream); }
  // The autoincrement block: count (i32), then one i64 per field.
  void LoadMostUpdated(const uint8_t* Buf, int& Offset, int BufSize);
  void SaveMostUpdated(uint8_t* Buf, int& Offset, int BufSize) const;
  int MostUpdatedSize() const;
  void RecalcFieldOffsets() { FieldDefs.RecalcFieldOffsets(); }
  void InitLastAutoIncValues();
  void DiskRecordBufferToMemRecordBuffer(const uint8_t* DiskRecordBuffer, uint8_t* MemRecordBuffer) const;
  void MemRecordBufferToDiskRecordBuffer(const uint8_t* MemRecordBuffer, uint8_t* DiskRecordBuffer) const;
  // Null flags and every field's whole stored slot agree.
  bool CompareRecordBuffers(const uint8_t* RecordBuffer1, const uint8_t* RecordBuffer2) const;
  bool BlobFieldsPresent() const;
  void UpdateLastAutoinc(TVelqorimBaseSession* Session, int FieldNo, int64_t InsertedValue);
  // 30701 when a field's default does not fit its slot.
  void CheckDefaultValues() const;

  TVelqorimFieldDefs FieldDefs;
  std::vector<int64_t> LastAutoincValues;

 protected:
  TVelqorimTableData* FTableData;
};

// The table's index definitions, open index objects and per-session temporary indexes.
class TVelqorimBaseIndexManager : public TObject {
 public:
  TVelqorimBaseIndexManager(TVelqorimTableData* aTableData, TVelqorimPageManager* TempPageManager);
  ~TVelqorimBaseIndexManager() override;

  virtual void LoadMetadata(TStream& Stream) { IndexDefs.LoadFromStream(Stream); }
  virtual void SaveMetadata(TStream& Stream) const { IndexDefs.SaveToStream(Stream); }
  virtual void CreateIndexDefs(const TVelqorimIndexDefs& aIndexDefs) { IndexDefs.Assign(aIndexDefs); }

  TVelqorimPageManager* GetPageManager(const TVelqorimIndex& Index) const;
  int FindIndex(TStringList& FieldNames, TStringList& AscDescList, TStringList& CaseSensitivityList,
                int SessionID, const TVelqorimFieldDefs& FieldDefs) const {
    return IndexDefs.FindIndex(&FieldNames, &AscDescList, &CaseSensitivityList, SessionID, FieldDefs);
  }
  bool IsIndexExists(TStringList& FieldNames, TStringList& AscDescList, TStringList& CaseSensitivityList,
                     int SessionID, const TVelqorimFieldDefs& FieldDefs) const {
    return FindIndex(FieldNames, AscDescList, CaseSensitivityList, SessionID, FieldDefs) != -1;
  }
  int CreateTemporaryIndex(TVelqorimCursor& Cursor, TStringList& FieldNamesList, TStringList& AscDescList,
                           TStringList& CaseSensitivityList);
  int FindOrCreateIndex(TVelqorimCursor& Cursor, TStringList& FieldNamesList, TStringList& AscDescList,
                        TStringList& CaseSensitivityList, bool& IsCreated);
  void CreateIndexesByIndexDefs(TVelqorimCursor* Cursor);
  TVelqorimIndex* FindOpenIndex(int IndexID) const;
  int CreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& IndexDef);
  TVelqorimIndex* OpenIndex(int IndexID);
  void CloseIndex(int IndexID);
  void DropIndex(int SessionID, int IndexID);
  void DropAllIndexes(int SessionID);
  void DropTemporaryIndexes(int SessionID);
  void EmptyIndex(int SessionID, int IndexID);
  void EmptyAllIndexes(int SessionID);
  void GetRecordBuffer(int SessionID, TABSNavigationInfo& NavigationInfo, TABSIndexPositionCache* IndexPositionCache,
                       int TableState);
  void InsertRecord(TVelqorimCursor& Cursor);
  void UpdateRecord(TVelqorimCursor& Cursor, bool BeforeNewRecordIsStored);
  void DeleteRecord(TVelqorimCursor& Cursor);
  void SynchronizeTemporaryIndexes(TVelqorimCursor& Cursor, bool& IsChanged);
  void RenameField(const String& FieldName, const String& NewFieldName);

  // Makes the index objects of this table; unset, the B-tree record index.
  // Tests give a double of the index.
  std::function<std::unique_ptr<TVelqorimIndex>(TVelqorimBaseIndexManager* Manager)> IndexFactory;

  TVelqorimTableData* TableData() const { return FTableData; }
  TVelqorimIndexDefs IndexDefs;
  TVelqorimPageManager* PageManager = nullptr;

 private:
  std::unique_ptr<TVelqorimIndex> MakeIndex();
  void InternalCreateIndex(TVelqorimCursor* Cursor, TVelqorimIndexDef& IndexDef);
  TVelqorimIndex* InternalOpenIndex(int IndexID);

  TVelqorimTableData* FTableData;
  TVelqorimPageManager* FTempPageManager;
  std::vector<std::unique_ptr<TVelqorimIndex>> FOpenIndexes;
  bool FSynchronizing = false;
};

// The table's constraints, tied to fields and indexes by object id.
class TVelqorimBaseConstraintManager : public TObject {
 public:
  explicit TVelqorimBaseConstraintManager(TVelqorimTableData* aTableData) : FTableData(aTableData) {}

  void LoadMetadata(TStream& Stream) { ConstraintDefs.LoadFromStream(Stream); }
  void SaveMetadata(TStream& Stream) const { ConstraintDefs.SaveToStream(Stream); }
  // The first violation raises (RaiseException) or answers false.
  bool CheckConstraints(int SessionID, const uint8_t* NewRecordBuffer, const uint8_t* OldRecordBuffer, bool ToInsert,
                        TABSPageItemID CurrentRecordID, bool RaiseException, bool CheckUniqueIndexes);
  void LinkObjectId(TVelqorimConstraintDef& ConstraintDef);
  void LinkObjectIds();
  void FillConstraintAutoNames();
  void AddConstraintFromIndex(const TVelqorimIndexDef& IndexDef);
  void DeleteConstraintForIndexID(int IndexObjectID);

  TVelqorimConstraintDefs ConstraintDefs;

 private:
  TVelqorimTableData* FTableData;
};

// One open table, shared by every cursor that has it open in its database.
class TVelqorimTableData : public TObject {
 public:
  explicit TVelqorimTableData(TVelqorimDatabaseData* aDatabaseData);
  ~TVelqorimTableData() override;
  TVelqorimTableData(const TVelqorimTableData&) = delete;
  TVelqorimTableData& operator=(const TVelqorimTableData&) = delete;

  virtual void CreateRecordManager() = 0;
  virtual void CreateFieldManager(TVelqorimFieldDefs& FieldDefs);
  virtual void CreateIndexManager(TVelqorimIndexDefs& IndexDefs);
  virtual void CreateConstraintManager(TVelqorimConstraintDefs& ConstraintDefs);
  virtual void InitCursorRecordLayout(TVelqorimCursor& Cursor);
  virtual void ApplyChanges(int SessionID, bool InTransaction);
  virtual void CancelChanges(int SessionID, bool InTransaction);
  virtual void CreateTable(TVelqorimCursor* Cursor, TVelqorimFieldDefs& FieldDefs, TVelqorimIndexDefs& IndexDefs,
                           TVelqorimConstraintDefs& ConstraintDefs) = 0;
  virtual void DeleteTable(TVelqorimCursor* Cursor, bool DesignMode);
  virtual void EmptyTable(TVelqorimCursor* Cursor);
  virtual void RenameTable(const String& NewTableName, TVelqorimCursor* Cursor);
  virtual void OpenTable(TVelqorimCursor* Cursor);
  virtual void CloseTable(TVelqorimCursor* Cursor);
  virtual void RenameField(const String& FieldName, const String& NewFieldName);
  virtual void AddIndex(TVelqorimIndexDef& IndexDef, TVelqorimCursor* Cursor);
  virtual void DeleteIndex(int IndexID, TVelqorimCursor* Cursor);
  virtual int64_t GetMaxBitmapRecNo(int SessionID) = 0;
  virtual int64_t GetBitmapRecNoByRecordID(TABSPageItemID RecordID) = 0;
  virtual TABSPageItemID GetRecordIDByBitmapRecNo(int64_t RecNo) = 0;
  // Index positions as bit numbers (in index order) and back; given by the
  // engine that owns the index (the B-tree's key path).
  virtual int64_t GetBitmapRecNoByIndexPosition(int IndexID, TObject* IndexPosition);
  virtual void GetIndexPositionByBitmapRecNo(int IndexID, int64_t RecNo, TObject* IndexPosition);
  virtual void ClearBlobsCacheInRecordBuffer(uint8_t* Buffer) { (void)Buffer; }
  virtual TABSGetRecordResult GetRecordBuffer(TVelqorimCursor& Cursor, TABSGetRecordMode GetRecordMode);
  virtual bool Locate(TVelqorimCursor& Cursor, TABSBaseExpression* SearchExpression);
  virtual bool FindKey(TVelqorimCursor& Cursor, TABSSearchCondition SearchCondition);
  virtual void WriteBLOBFieldToRecordBuffer(TVelqorimCursor& Cursor, int FieldNo, TABSStream& BLOBStream) = 0;
  virtual void ClearBLOBFieldInRecordBuffer(uint8_t* RecordBuffer, int FieldNo) { (void)RecordBuffer, (void)FieldNo; }
  virtual void ClearBLOBFieldsInRecordBuffer(uint8_t* RecordBuffer);
  virtual TABSStream* InternalCreateBlobStream(TVelqorimCursor& Cursor, bool ToInsert, int FieldNo,
                                               TABSBLOBOpenMode OpenMode) = 0;
  virtual void GetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                 TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) = 0;
  virtual void SetDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                 TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) = 0;
  virtual void FreeDirectBlobData(TVelqorimCursor& Cursor, int FieldNo, uint8_t* RecordBuffer,
                                  TABSPartialTemporaryBLOBDescriptor& BLOBDescriptor, uint8_t*& pBlobData) = 0;
  virtual bool InsertRecord(TVelqorimCursor*& Cursor) = 0;
  virtual bool DeleteRecord(TVelqorimCursor& Cursor) = 0;
  virtual bool UpdateRecord(TVelqorimCursor& Cursor) = 0;
  virtual void SetRecNo(TVelqorimCursor& Cursor, int64_t RecNo);
  virtual int64_t GetRecNo(TVelqorimCursor& Cursor);
  virtual void InternalSetRecNo(TVelqorimCursor& Cursor, int64_t RecNo) = 0;
  virtual int64_t InternalGetRecNo(TVelqorimCursor& Cursor) = 0;
  virtual int64_t InternalGetRecordCount(TVelqorimCursor& Cursor) = 0;
  virtual int64_t LastAutoincValue(int FieldNo, TVelqorimBaseSession* Session);
  virtual void Rollback(int SessionID) { RebuildTemporaryIndexes(SessionID); }

  void Lock();
  void Unlock();
  void EmptyIndex(int IndexID, int SessionID);
  void DeleteAllIndexes(TVelqorimCursor* Cursor);
  void EmptyAllIndexes(int SessionID);
  String FindOrCreateIndex(TVelqorimCursor& Cursor, TStringList& FieldNamesList, TStringList& AscDescList,
                           TStringList& CaseSensitivityList, bool& IsCreated);
  bool IndexExists(TVelqorimCursor& Cursor, TStringList& FieldNamesList, TStringList& AscDescList,
                   TStringList& CaseSensitivityList);
  bool IsUniqueConstraintFailed(int SessionID, int IndexID, const uint8_t* NewRecordBuffer,
                                const uint8_t* OldRecordBuffer, bool ToInsert, TABSPageItemID CurrentRecordID);
  int64_t GetRecordCount(TVelqorimCursor& Cursor);
  void RebuildTemporaryIndexes(int SessionID);
  int GetRecordSize() const;

  // Scans (navigation, Locate, FindKey, counts): see VelqorimScans.cpp.
  bool ScanTable(TVelqorimCursor& Cursor, TABSBaseExpression* Expression, bool FillBitmap,
                 TVelqorimRecordBitmap* Bitmap, TABSPageItemID& RecordID, bool GoForward, bool Restart,
                 TABSScanSearchCondition* KeyCondition);
  void BuildScanConditions(TVelqorimCursor& Cursor, TABSScanSearchConditionArray& List, bool GoForward,
                           TABSBaseExpression* Expression, TABSScanSearchCondition* KeyCondition);
  // False (Empty) when the key conditions contradict each other.
  bool CombineScanConditions(TABSScanSearchConditionArray& List);
  void ChooseScan(int SessionID, TABSScanSearchConditionArray& List, int& Start, int& End, bool HasRecordFilter,
                  bool GoForward, TABSPageItemID CurrentRecordID, int CursorIndexID);
  bool RecordMatchesScanCondition(const TABSScanSearchCondition& Condition, const uint8_t* RecordBuffer);
  // A condition made from a comparison never accepts a NULL key (an index
  // sorts NULL lowest, the comparison rejects it): an index must not change an answer.
  bool NullKeyRejected(const TABSScanSearchCondition* Condition, const uint8_t* RecordBuffer);
  void ValidateRecordBitmap(TVelqorimCursor& Cursor);
  void BuildRecordBitmap(TVelqorimCursor& Cursor);
  bool IsRecordAccepted(TVelqorimCursor& Cursor);
  // The engine's evaluation of an expression on a record buffer, set by the
  // expression layer (no filter expressions can exist without it).
  static std::function<bool(TABSBaseExpression* Expression, const uint8_t* RecordBuffer, TVelqorimCursor& Cursor)>
      EvaluateExpression;
  // Evaluates a parsed default value (set by the expression layer).
  static std::function<void(TObject* DefaultValueExpr, TABSVariant& Result)> EvaluateDefault;

  bool IsRepairing = false;
  TVelqorimPageManager* PageManager = nullptr;
  TVelqorimDatabaseData* DatabaseData;
  String TableName;
  TABSCompression BLOBCompression;
  bool Active = false;
  std::unique_ptr<TVelqorimBaseFieldManager> FieldManager;
  std::unique_ptr<TVelqorimBaseConstraintManager> ConstraintManager;
  std::unique_ptr<TVelqorimBaseIndexManager> IndexManager;
  std::unique_ptr<TVelqorimBaseRecordManager> RecordManager;
  std::vector<TVelqorimCursor*> CursorList;  // borrowed
  bool DisableTempFiles = false;

 protected:
  void AssignObjectIds(TVelqorimMetaObjectDefs& Defs);
  void ReadRecord(int SessionID, TABSNavigationInfo& NavigationInfo, int TableState,
                  TABSIndexPositionCache* IndexPositionCache);
  TABSGetRecordResult GetVisibleRecord(TVelqorimCursor& Cursor, TABSGetRecordMode GetRecordMode, bool FillBitmap);
  bool IsRecordInRange(TVelqorimCursor& Cursor, const uint8_t* RecordBuffer);
  bool RecordMatchesConditions(TABSScanSearchConditionArray& List, int Start, const uint8_t* RecordBuffer,
                               TABSPageItemID RecordID, TVelqorimCursor& Cursor, int End);
  bool HasResidualConditions(TABSScanSearchConditionArray& List, int Start, bool HasRecordFilter, int End);
  bool RunScan(TVelqorimCursor& Cursor, TABSScanSearchConditionArray& List, int Start, int End, bool FillBitmap,
               TVelqorimRecordBitmap* Bitmap, TABSPageItemID& RecordID, bool GoForward, bool Restart);
  // Compares a record with a key over KeyFieldCount columns of the index.
  int CompareByIndex(int IndexID, const uint8_t* RecordBuffer, const uint8_t* KeyBuffer, int KeyFieldCount);
  void InitRecordBitmap(TVelqorimCursor& Cursor, TVelqorimRecordBitmap& Bitmap);
  // Shows the cursor's current record in its active bitmap when the cursor's
  // filter and range accept it, else hides it; the bitmap is then current.
  void MarkInBitmap(TVelqorimCursor& Cursor);
  // Where a cursor goes when its current record is deleted: the next visible
  // record, else the previous one, else before the first. The cursor's
  // position, record id and buffer are as they were afterwards.
  void FindNeighbourForDelete(TVelqorimCursor& Cursor, TABSPageItemID& Neighbour, bool& BeforeFirst);
  // After the record Target was deleted: the bitmap loses it (current again
  // when it was current before) and the cursor goes to its neighbour.
  void LeaveDeletedRecord(TVelqorimCursor& Cursor, TABSPageItemID Target, bool BitmapWasCurrent,
                          TABSPageItemID Neighbour, bool BeforeFirst);
  bool IsBitmapCurrent(const TVelqorimCursor& Cursor) const;
  bool FindRecordInBitmap(TVelqorimCursor& Cursor, TVelqorimRecordBitmap& Bitmap, TABSPageItemID& RecordID,
                          bool GoForward, bool Restart);
};

// 30040 for a constraint of a kind tables cannot keep (foreign keys).
void CheckConstraintTypesSupported(const TVelqorimConstraintDefs& ConstraintDefs);

// One open database, shared by its sessions; its lock serialises all table work in it.
class TVelqorimDatabaseData : public TObject {
 public:
  TVelqorimDatabaseData();
  ~TVelqorimDatabaseData() override;
  TVelqorimDatabaseData(const TVelqorimDatabaseData&) = delete;
  TVelqorimDatabaseData& operator=(const TVelqorimDatabaseData&) = delete;

  virtual void ConnectSession(TVelqorimBaseSession* Session);
  virtual void DisconnectSession(TVelqorimBaseSession* Session);
  // Destroys this object when no session is connected; true when it did.
  virtual bool FreeIfNoSessionsConnected();
  virtual void GetTablesList(TStrings& List);
  virtual void CreateDatabase() {}
  virtual TVelqorimTableData* CreateTableData(TVelqorimCursor& Cursor) = 0;
  virtual TVelqorimTableData* FindTableData(const TVelqorimCursor& Cursor);
  virtual TVelqorimTableData* FindOrCreateTableData(TVelqorimCursor& Cursor);
  virtual int GetNewObjectId() = 0;
  virtual void Commit(int SessionID, bool DoFlushBuffers);
  virtual void Rollback(int SessionID);
  virtual void FlushBuffers() {}

  void Lock() { FCSect.lock(); }
  void Unlock() { FCSect.unlock(); }
  bool TableExists(const String& TableName);
  // Table datas register and leave through these.
  void AddTableData(TVelqorimTableData* TableData);
  void RemoveTableData(TVelqorimTableData* TableData);
  const std::vector<TVelqorimTableData*>& TableDataList() const { return FTableDataList; }

  std::vector<TVelqorimBaseSession*> SessionList;  // borrowed
  String DatabaseName;
  TVelqorimPageManager* PageManager = nullptr;
  bool ReadOnly = false;
  int32_t TryCount = 20;
  int32_t Delay = 50;
  bool MultiUser = false;
  String SessionName;

  // The process-wide list of open databases leaves a database through this (set by the session layer).
  static std::function<void(TVelqorimDatabaseData*)> OnDestroy;

 protected:
  std::vector<TVelqorimTableData*> FTableDataList;  // the table datas destroy themselves out of it

 private:
  std::recursive_mutex FCSect;
};

// Holds a database or table lock for a scope.
template <class T>
class TVelqorimLockGuard {
 public:
  explicit TVelqorimLockGuard(T& Object) : FObject(Object) { FObject.Lock(); }
  ~TVelqorimLockGuard() { FObject.Unlock(); }
  TVelqorimLockGuard(const TVelqorimLockGuard&) = delete;
  TVelqorimLockGuard& operator=(const TVelqorimLockGuard&) = delete;

 private:
  T& FObject;
};
