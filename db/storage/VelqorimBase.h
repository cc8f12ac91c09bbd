#pragma once
// Metadata definitions of a table (fields, indexes, constraints) with their
// stored forms and the record layout they fix; the abstract cursor and the
// abstract engine session that the dataset components and the SQL layer
// program against.
//
// Stored forms (little-endian, packed). Every definition starts with its
// name (length byte, 8-bit bytes) and ObjectID (i32). A field then holds its
// two types, its size, the BLOB settings for BLOB types, the autoincrement
// settings and its default value; an index its type, flags, column count,
// root page and columns; constraints their table and column references.
// The byte layout is part of the database file: change nothing here
// without a format version.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/support/DAZArrays.h"
#include "db/support/DAZCompression.h"
#include "db/support/DAZEngineTypes.h"
#include "db/support/DAZScanConditions.h"
#include "db/support/DAZStreams.h"
#include "db/support/DAZVariant.h"
#include "platform/rtl/Classes.h"

// Names compare without regard to case.
bool SameDefName(const String& A, const String& B);
// A name cut to the 255 bytes of its stored 8-bit form.
String CutDefName(const String& Name);

// Short string: length byte and up to 255 8-bit bytes.
void WriteShortString(TStream& Stream, const String& Value, int LengthCode, int BytesCode);
String ReadShortString(TStream& Stream, int LengthCode, int BytesCode);

class TVelqorimMetaObjectDef : public TObject {
 public:
  virtual void Assign(const TVelqorimMetaObjectDef& Source);
  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream) const;

  String Name;
  int32_t ObjectID = -1;
  String SchemaName;  // carried, never stored
  int32_t SchemaID = -1;
};

// Decides, from a default value, whether it must be evaluated at each use and
// then parses it. Installed by the expression layer; empty: defaults are constants.
using TVelqorimDefaultValueExprFactory = std::function<std::unique_ptr<TObject>(const TABSVariant& DefaultValue)>;
extern TVelqorimDefaultValueExprFactory DefaultValueExprFactory;

class TVelqorimFieldDef : public TVelqorimMetaObjectDef {
 public:
  TVelqorimFieldDef();
  ~TVelqorimFieldDef() override;

  void Assign(const TVelqorimMetaObjectDef& Source) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) const override;

  // Sets both types, the size and the data sizes; 30007 / 30008 when the
  // type has no counterpart.
  void SetFieldDefDataType(TABSAdvancedFieldType Value, int Size);
  void SetFieldDefDataType(TABSBaseFieldType Value, int Size);
  void UpdateDataSizes();
  void UpdateDefaultValueExpr();

  TABSBaseFieldType BaseFieldType = bftUnknown;
  TABSAdvancedFieldType AdvancedFieldType = aftUnknown;
  int32_t FieldSize = 0;
  int32_t DiskDataSize = 0;
  int32_t MemoryDataSize = 0;
  int32_t DiskOffset = 0;
  int32_t MemoryOffset = 0;
  int32_t FieldNoReference = 0;
  TABSVariant DefaultValue;
  std::unique_ptr<TObject> DefaultValueExpr;
  TABSCompressionAlgorithm BLOBCompressionAlgorithm = acaNone;
  uint8_t BLOBCompressionMode = 0;
  int32_t BLOBBlockSize = ABSDefaultStreamBlockSize;
  int64_t AutoincIncrement = 1;
  int64_t AutoincInitialValue = 0;
  int64_t AutoincMinValue = 0;
  int64_t AutoincMaxValue = INT64_MAX;  // 0: no limit
  bool AutoincCycled = false;
};

// Counted bytes (VARBYTES) in their value slot of FieldSize + 1 bytes: the
// value from the first byte, zeros after it, and in the last byte how long it
// is. 0, as in a slot of zeros, means it ends at its last non-zero byte; 1 ..
// 254 that it leaves Tag - 1 bytes of the data area unused; 255 that its
// length is the 32-bit number in the last four bytes of the data area (only
// written when 254 or more bytes are unused). Values ending in zero bytes
// thus keep their length.
int32_t GetVarBytesLength(const uint8_t* Slot, int32_t FieldSize);
// Stores Length bytes of Data (cut to FieldSize) into Slot.
void SetVarBytesValue(uint8_t* Slot, int32_t FieldSize, const uint8_t* Data, int32_t Length);

enum TVelqorimIndexType : uint8_t { itBTree, itAnotherOne };

struct TVelqorimIndexColumn {
  String FieldName;
  bool Descending = false;
  bool CaseInsensitive = false;
  int32_t MaxIndexedSize = 0;  // most bytes of the value that a key holds
};

class TVelqorimIndexDef : public TVelqorimMetaObjectDef {
 public:
  TVelqorimIndexDef();
  void Assign(const TVelqorimMetaObjectDef& Source) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) const override;

  int ColumnCount() const { return static_cast<int>(FColumns.size()); }
  void SetColumnCount(int Value);
  TVelqorimIndexColumn& GetIndexColumn(int Index) { return FColumns.at(Index); }
  const TVelqorimIndexColumn& GetIndexColumn(int Index) const { return FColumns.at(Index); }
  // Column i: field name i, descending for "DESC", case-insensitive for
  // "NO_CASE", 20 indexed bytes. 10278 / 10279 for lists of unequal length.
  void AssignByNames(const TStrings& FieldNames, const TStrings& AscDescList, const TStrings& CaseSensitivityList);

  TVelqorimIndexType IndexType = itBTree;
  bool Unique = false;
  bool Primary = false;
  int32_t RootPageNo = -1;
  bool Temporary = false;  // private to SessionID, never stored
  int32_t SessionID = -1;
  int32_t TableState = 0;
  bool NeedRebuild = false;

 private:
  std::vector<TVelqorimIndexColumn> FColumns;
};

class TVelqorimConstraintDef : public TVelqorimMetaObjectDef {
 public:
  void Assign(const TVelqorimMetaObjectDef& Source) override;
  TABSConstraintType ConstraintType = ctPK;
};

class TVelqorimConstraintDefNotNull : public TVelqorimConstraintDef {
 public:
  TVelqorimConstraintDefNotNull();
  void Assign(const TVelqorimMetaObjectDef& Source) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) const override;
  void SetNames(const String& ColumnName, const String& TableName, const String& SchemaName);

  String TableSchemaName;
  int32_t TableSchemaObjectID = 0;
  String TableName;
  int32_t TableObjectID = 0;
  String ColumnName;
  int32_t ColumnObjectID = 0;

 protected:
  // The stream codes differ between the not-null and the check constraint.
  struct Codes {
    int Read[9];
    int Write[9];
  };
  void LoadColumnRef(TStream& Stream, const Codes& C);
  void SaveColumnRef(TStream& Stream, const Codes& C) const;
};

class TVelqorimConstraintDefCheck : public TVelqorimConstraintDefNotNull {
 public:
  TVelqorimConstraintDefCheck();
  void Assign(const TVelqorimMetaObjectDef& Source) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) const override;

  TABSVariant MinValue;  // null: no bound
  TABSVariant MaxValue;
};

struct TVelqorimConstraintColumn {
  String ColumnName;
  int32_t ColumnObjectID = 0;
};

class TVelqorimConstraintDefUnique : public TVelqorimConstraintDef {
 public:
  TVelqorimConstraintDefUnique();
  void Assign(const TVelqorimMetaObjectDef& Source) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) const override;

  String TableSchemaName;
  int32_t TableSchemaObjectID = 0;
  String TableName;
  int32_t TableObjectID = 0;
  String IndexName;
  int32_t IndexObjectID = 0;
  std::vector<TVelqorimConstraintColumn> Columns;
};

class TVelqorimConstraintDefPrimary : public TVelqorimConstraintDefUnique {
 public:
  TVelqorimConstraintDefPrimary();
};

// An ordered list that owns its definitions.
class TVelqorimMetaObjectDefs : public TObject {
 public:
  TVelqorimMetaObjectDefs() = default;
  TVelqorimMetaObjectDefs(const TVelqorimMetaObjectDefs&) = delete;
  TVelqorimMetaObjectDefs& operator=(const TVelqorimMetaObjectDefs&) = delete;

  virtual int GetCount() const { return static_cast<int>(FDefs.size()); }
  int Count() const { return GetCount(); }
  // Takes ownership; returns the position.
  virtual int AddDef(TVelqorimMetaObjectDef* Def);
  // A new empty definition of the list's kind, appended (30339 in the base).
  virtual TVelqorimMetaObjectDef* InternalAddCreated();
  // Clears the list first; definitions read completely stay when a later one fails.
  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream) const;
  // 10424 when Source holds two definitions of one name.
  virtual void Assign(const TVelqorimMetaObjectDefs& Source);
  virtual void Delete(int Index);
  virtual void Insert(int Index, TVelqorimMetaObjectDef* Def);
  virtual void Move(int CurIndex, int NewIndex);
  virtual void Clear();

  TVelqorimMetaObjectDef* GetDef(int Index) const { return FDefs.at(Index).get(); }
  void SetDef(int Index, TVelqorimMetaObjectDef* Value);
  int GetDefNumberByName(const String& Name) const;
  TVelqorimMetaObjectDef* GetDefByName(const String& Name) const;
  int GetDefNumberByObjectId(int ObjectID) const;
  TVelqorimMetaObjectDef* GetDefByObjectId(int ObjectID) const;

  int LoadedItemCount = 0;

 protected:
  // Reads or writes the count, then each definition.
  void LoadDefs(TStream& Stream, int CountCode);
  void SaveDefs(TStream& Stream, int CountCode, const std::function<bool(const TVelqorimMetaObjectDef&)>& Stored) const;

  std::vector<std::unique_ptr<TVelqorimMetaObjectDef>> FDefs;
};

class TVelqorimFieldDefs : public TVelqorimMetaObjectDefs {
 public:
  TVelqorimMetaObjectDef* InternalAddCreated() override { return AddCreated(); }
  TVelqorimFieldDef* AddCreated();
  // Offsets follow the null-flag bytes, slot after slot, in list order.
  virtual void RecalcFieldOffsets();
  TVelqorimFieldDef* GetDef(int Index) const { return static_cast<TVelqorimFieldDef*>(FDefs.at(Index).get()); }
  TVelqorimFieldDef* operator[](int Index) const { return GetDef(Index); }
  void SetDef(int Index, TVelqorimFieldDef* Value) { TVelqorimMetaObjectDefs::SetDef(Index, Value); }
  TVelqorimFieldDef* GetFieldDefByName(const String& Name) const {
    return static_cast<TVelqorimFieldDef*>(GetDefByName(Name));
  }
  int NullFlagsSize() const { return (Count() + 7) / 8; }
  int GetMemoryRecordBufferSize() const;
  int GetDiskRecordBufferSize() const;
};

class TVelqorimIndexDefs : public TVelqorimMetaObjectDefs, public TABSScanIndexDefs {
 public:
  TVelqorimMetaObjectDef* InternalAddCreated() override { return AddCreated(); }
  TVelqorimIndexDef* AddCreated();
  virtual TVelqorimIndexDef* GetIndexDef(int Index) const;
  virtual void SetIndexDef(int Index, TVelqorimIndexDef* Value);
  void LoadFromStream(TStream& Stream) override;
  // Temporary definitions are never stored.
  void SaveToStream(TStream& Stream) const override;
  TVelqorimIndexDef* operator[](int Index) const { return GetIndexDef(Index); }
  TVelqorimIndexDef* GetIndexDefByName(const String& Name) const {
    return static_cast<TVelqorimIndexDef*>(GetDefByName(Name));
  }
  TVelqorimIndexDef* GetIndexDefByObjectId(int ObjectID) const {
    return static_cast<TVelqorimIndexDef*>(GetDefByObjectId(ObjectID));
  }
  // ObjectID of the first index whose leading columns serve the request; -1 when none.
  int FindIndex(const TStrings* FieldNames, const TStrings* AscDescList, const TStrings* CaseSensitivityList,
                int SessionID, const TVelqorimFieldDefs& FieldDefs) const;
  bool IsIndexExists(const TStrings* FieldNames, const TStrings* AscDescList, const TStrings* CaseSensitivityList,
                     int SessionID, const TVelqorimFieldDefs& FieldDefs) const {
    return FindIndex(FieldNames, AscDescList, CaseSensitivityList, SessionID, FieldDefs) != -1;
  }
  int GetIndexColumnCountByObjectId(int IndexID) const override;
};

class TVelqorimConstraintDefs : public TVelqorimMetaObjectDefs {
 public:
  // Re-creates each definition by its type (30035 for a type without class).
  void Assign(const TVelqorimMetaObjectDefs& Source) override;
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) const override;
  TVelqorimConstraintDefNotNull* AddNotNull();
  TVelqorimConstraintDefCheck* AddCheck();
  TVelqorimConstraintDefPrimary* AddPK();
  TVelqorimConstraintDefUnique* AddUnique();
  TVelqorimConstraintDef* GetDef(int Index) const {
    return static_cast<TVelqorimConstraintDef*>(FDefs.at(Index).get());
  }
  TVelqorimConstraintDef* operator[](int Index) const { return GetDef(Index); }
  void SetDef(int Index, TVelqorimConstraintDef* Value) { TVelqorimMetaObjectDefs::SetDef(Index, Value); }
};

// Writes a non-null value into field FieldNo of a memory record, converted to
// the field's type; 20056 when it does not fit the slot.
void StoreFieldValue(const TABSVariant& Value, const TVelqorimFieldDef& Def, int FieldNo, uint8_t* RecordBuffer);

// ===========================================================================
// Abstract cursor and engine session

class TVelqorimBaseSession;
class TVelqorimRecordBitmap;

// The record filter of a dataset: accepts or rejects a record buffer.
using TVelqorimFilterRecordEvent = std::function<bool(uint8_t* RecordBuffer, TObject* Dataset)>;

// One open table as one dataset sees it. The record buffer holds the memory
// record from offset 0, then the 6-byte record id at BookmarkOffset and one
// flag byte, then the dataset's own areas.
class TVelqorimCursor : public TObject {
 public:
  TVelqorimCursor();
  ~TVelqorimCursor() override;
  TVelqorimCursor(const TVelqorimCursor&) = delete;
  TVelqorimCursor& operator=(const TVelqorimCursor&) = delete;

  // --- Operations each engine gives, in slot order.
  virtual void CreateTable(TVelqorimFieldDefs& FieldDefs, TVelqorimIndexDefs& IndexDefs,
                           TVelqorimConstraintDefs& ConstraintDefs) = 0;
  virtual void DeleteTable() = 0;
  virtual void EmptyTable() = 0;
  virtual void RenameTable(const String& NewTableName) = 0;
  virtual void InternalInitFieldDefs() = 0;
  virtual void OpenTableByFieldDefs(TVelqorimFieldDefs* FieldDefs, TVelqorimIndexDefs* IndexDefs,
                                    TVelqorimConstraintDefs* ConstraintDefs) = 0;
  virtual void CloseTable() = 0;
  virtual void LockTableData() = 0;
  virtual void UnlockTableData() = 0;
  virtual bool LockTable(TABSLockType LockType, int TryCount, int Delay, bool AllowXIRWAfterSIRW) = 0;
  virtual bool UnlockTable(TABSLockType LockType, bool IgnoreIfNoLock) = 0;
  // Renames the definition in FieldDefs; 30345 missing, 30346 new name taken.
  virtual void RenameField(const String& FieldName, const String& NewFieldName);
  virtual TVelqorimIndexDefs& GetIndexDefs() { return IndexDefs; }
  virtual void AddIndex(TVelqorimIndexDef& IndexDef) = 0;
  virtual void DeleteIndex(const String& Name) = 0;
  virtual void DeleteAllIndexes() = 0;
  virtual String FindOrCreateIndex(TStringList& FieldNamesList, TStringList& AscDescList,
                                   TStringList& CaseSensitivityList, bool& IsCreated) = 0;
  virtual bool IndexExists(TStringList& FieldNamesList, TStringList& AscDescList,
                           TStringList& CaseSensitivityList) = 0;
  virtual void CopyFieldValue(int SrcFieldNo, bool DirectAccess, int DestFieldNo, TVelqorimCursor& DestCursor) = 0;
  virtual void InternalInitRecord(uint8_t* RecordBuffer, bool InsertMode) = 0;
  virtual void FreeRecordBuffer(uint8_t*& Buffer);
  virtual int64_t GetRecordCount() = 0;
  virtual TABSGetRecordResult GetRecordBuffer(TABSGetRecordMode GetRecordMode) = 0;
  virtual void SetRecNo(int64_t Value) = 0;
  virtual int64_t GetRecNo() = 0;
  virtual int CompareRecordsOrder(TABSPageItemID RecordID1, TABSPageItemID RecordID2) = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalInsert() = 0;
  virtual void InternalEdit() = 0;
  virtual void InternalCancel(bool ToInsert) = 0;
  virtual void InternalPost(bool ToInsert) = 0;
  virtual void InternalDelete() = 0;
  virtual bool IsRecordLocked() = 0;
  virtual void ApplyDistinct(TStringList& FieldNamesList, TStringList& AscDescList,
                             TStringList& CaseSensitivityList) = 0;
  virtual void ActivateFilters(const String& FilterText, bool CaseInsensitive, bool PartialKey) = 0;
  virtual void DeactivateFilters() = 0;
  virtual bool Locate(const String& KeyFields, const std::vector<TABSVarData>& KeyValues, bool CaseInsensitive,
                      bool PartialKey) = 0;
  virtual bool FindKey(TABSSearchCondition SearchCondition) = 0;
  virtual bool IsAnyRecordMatchCondition(const String& FieldName, TABSDataOperator Operator,
                                         const TABSVariant& Value) = 0;
  virtual TABSStream* InternalCreateBlobStream(bool ToInsert, bool ToEdit, int FieldNo, TABSBLOBOpenMode OpenMode,
                                               bool CanDoGetRecordBuffer) = 0;
  virtual void InternalCloseBLOB(int FieldNo) = 0;
  virtual void ClearBLOBStreams(bool WriteOnly) = 0;
  virtual int64_t LastAutoincValue(int FieldNo) = 0;
  virtual void BeginBatchUpdate() = 0;
  virtual void EndBatchUpdate() = 0;
  virtual void CancelBatchUpdate() = 0;
  virtual bool CheckConstraints(bool ToInsert) = 0;

  // --- Concrete operations.
  void SetIndexName(const String& Value);
  const String& IndexName() const { return FIndexName; }
  // Between a record buffer and the dataset's field buffer, for visible field
  // FieldNo. A null field answers false; an empty text is stored as null.
  bool GetFieldData(int FieldNo, void* Buffer, const uint8_t* RecordBuffer);
  void SetFieldData(int FieldNo, const void* Buffer, uint8_t* RecordBuffer);
  // FieldNo indexes FieldDefs with DirectAccess, else VisibleFieldDefs.
  void GetFieldValue(TABSVariant& Value, int FieldNo, bool DirectAccess);
  void SetFieldValue(const TABSVariant& Value, int FieldNo, bool DirectAccess, uint8_t* RecordBuffer = nullptr);
  // Zero-fills text slots behind their text (and null text slots), so equal texts give equal slots.
  void ClearStringFieldsGarbage(uint8_t* RecordBuffer);
  uint8_t* AllocateRecordBuffer();
  uint8_t* AllocateKeyRecordBuffer();
  void InternalInitKeyBuffer(uint8_t* RecordBuffer);
  void* SavePosition();
  void RestorePosition(const void* Pos);
  void FreePosition(void*& Pos);
  void DisableRecordBitmap();
  // Visible fields by name, each under its alias when one is given.
  void ApplyProjection(const TStrings& FieldNamesList, const TStrings& AliasList);
  bool IsIndexApplied() const { return IndexID != -1; }
  bool IsDistinctApplied() const { return DistinctFieldCount > 0; }
  bool IsFilterApplied() const {
    return FilterExpression != nullptr || SQLFilterExpression != nullptr || static_cast<bool>(FilterRecord);
  }
  bool IsRangeApplied() const { return RangeStartBuffer != nullptr || RangeEndBuffer != nullptr; }
  bool IsViewRestricted() const { return IsFilterApplied() || IsRangeApplied() || IsDistinctApplied(); }
  void ResetRange();
  void ApplyRange(uint8_t* StartBuffer, uint8_t* EndBuffer, int StartKeyFieldCount, int EndKeyFieldCount,
                  bool StartExclusive, bool EndExclusive);
  // Stores the WHERE filter; binding it to this cursor and the enclosing
  // query for correlated references is the expression layer's (SQLFilterBinder).
  void SetSQLFilter(TABSBaseExpression* FilterExpr, TObject* ParentQueryAO, TVelqorimCursor* ParentCursor);
  using TSQLFilterBinder = std::function<void(TABSBaseExpression* FilterExpr, TVelqorimCursor* Cursor,
                                              TObject* ParentQueryAO, TVelqorimCursor* ParentCursor)>;
  static TSQLFilterBinder SQLFilterBinder;

  // The definition of a field number (direct: FieldDefs; else the visible entry's table field).
  TVelqorimFieldDef& FieldDefOf(int FieldNo, bool DirectAccess, int DirectCode, int VisibleCode);

  bool SettingProjection = false;
  String TableName;
  int32_t IndexID = -1;
  bool ReadOnly = false;
  bool Exclusive = false;
  bool InMemory = false;
  bool Temporary = false;
  TVelqorimBaseSession* Session = nullptr;  // borrowed
  bool IsOpen = false;
  bool PhysicalOrder = false;
  TObject* CurrentRecordPositionInIndex = nullptr;  // carried only
  uint8_t* CurrentRecordBuffer = nullptr;
  uint8_t* DistinctRecordBuffer = nullptr;
  uint8_t* EditRecordBuffer = nullptr;
  TABSPassword Password;
  TVelqorimConstraintDefs ConstraintDefs;
  TABSCompression BLOBCompression;
  TVelqorimFieldDefs FieldDefs;
  TVelqorimFieldDefs VisibleFieldDefs;
  TVelqorimIndexDefs IndexDefs;
  std::vector<std::unique_ptr<TABSStream>> BLOBStreams;
  std::unique_ptr<TVelqorimRecordBitmap> RecordBitmap;
  TABSIndexPositionCache IndexPositionCache;
  TABSRangeScanCache RangeScanCache;
  bool TableLockedByCursor = false;
  bool InBatchUpdate = false;
  bool DisableTempFiles = false;
  bool IsRepairing = false;
  int32_t ErrorCode = 0;
  String ErrorMessage;
  bool IsDesignMode = false;
  int32_t RecordBufferSize = 0;
  int32_t RecordSize = 0;
  int32_t KeyBufferSize = 0;
  int32_t KeyOffset = 0;
  int32_t KeyFieldCount = 0;
  int32_t FieldValuesOffset = 0;
  int32_t CalculatedFieldsOffset = 0;
  int32_t BookmarkOffset = 0;
  TABSBaseExpression* FilterExpression = nullptr;     // owned by the engine's cursor
  TABSBaseExpression* SQLFilterExpression = nullptr;  // borrowed from the SQL layer
  uint8_t* KeyBuffer = nullptr;
  uint8_t* RangeStartBuffer = nullptr;
  uint8_t* RangeEndBuffer = nullptr;
  bool RangeStartExclusive = false;
  bool RangeEndExclusive = false;
  int32_t RangeStartKeyFieldCount = 0;
  int32_t RangeEndKeyFieldCount = 0;
  int32_t DistinctFieldCount = 0;
  TABSPageItemID CurrentRecordID{-1, 0};
  int32_t CurrentIndexID = -1;
  bool FirstPosition = false;
  bool LastPosition = false;
  TVelqorimFilterRecordEvent FilterRecord;
  TObject* Dataset = nullptr;

 private:
  String FIndexName;
};

// A per-session object found by name or object id.
class TVelqorimSessionNamedObject : public TObject {
 public:
  explicit TVelqorimSessionNamedObject(const String& AName) : ObjectID(-1), Name(CutDefName(AName)) {}
  explicit TVelqorimSessionNamedObject(int32_t AObjectID) : ObjectID(AObjectID) {}
  int32_t ObjectID;
  String Name;
};

// The session's last autoincrement value of a field, under the field's object id.
class TVelqorimSessionNamedObjectSequenceValue : public TVelqorimSessionNamedObject {
 public:
  TVelqorimSessionNamedObjectSequenceValue(int32_t AObjectID, int64_t AValue)
      : TVelqorimSessionNamedObject(AObjectID), Value(AValue) {}
  int64_t Value;
};

// Identifies the session component that owns an engine session.
class TVelqorimSessionComponentManager : public TObject {};

class TVelqorimBaseSession : public TObject {
 public:
  TVelqorimBaseSession() = default;
  TVelqorimBaseSession(const TVelqorimBaseSession&) = delete;
  TVelqorimBaseSession& operator=(const TVelqorimBaseSession&) = delete;

  virtual bool GetConnected() = 0;
  virtual void SetConnected(bool Value) = 0;
  virtual bool GetSuppressDBHeaderErrors() = 0;
  virtual void SetSuppressDBHeaderErrors(bool Value) = 0;
  virtual void CreateDatabase() = 0;
  virtual void DeleteDatabase() = 0;
  virtual void RenameDatabase(const String& NewDatabaseFileName) = 0;
  virtual void GetTablesList(TStrings& List) = 0;
  virtual bool TableExists(const String& TableName) = 0;
  // Takes ownership; replaces an object of the same identity (name when its
  // ObjectID is -1, else object id).
  virtual void SetObject(TVelqorimSessionNamedObject* Value);
  virtual TVelqorimSessionNamedObject* GetObjectByName(const String& ObjectName);
  virtual TVelqorimSessionNamedObject* GetObjectByID(int id);
  virtual void DeleteObject(int id);
  virtual void StartTransaction() = 0;
  virtual void Commit(bool DoFlushBuffers) = 0;
  virtual void Rollback() = 0;
  virtual void FlushBuffers() = 0;

  // Something a caller keeps open on the session's tables for the rest of a
  // transaction (an SQL processor keeps the table its INSERTs go into). The
  // session has each one let go before its transaction commits or rolls back
  // and before it disconnects, so nothing outlives the unit of work it was
  // opened for.
  class THeldOpen {
   public:
    virtual void Release() = 0;

   protected:
    ~THeldOpen() = default;
  };
  void Hold(THeldOpen* Held);
  void Unhold(THeldOpen* Held);
  void ReleaseHeld();

  int ObjectCount() const { return static_cast<int>(FObjects.size()); }

  String DatabaseName;
  String DatabaseFileName;
  int32_t SessionID = -1;
  bool InTransaction = false;
  bool ReadOnly = false;
  bool Exclusive = false;
  bool InMemory = false;
  String Login;
  TVelqorimSessionComponentManager* SessionComponentManager = nullptr;  // borrowed
  int32_t MaxSessionCount = 0;
  bool RepairNeeded = false;
  bool MultiUser = false;
  String SessionName;

 private:
  std::vector<std::unique_ptr<TVelqorimSessionNamedObject>> FObjects;
  std::vector<THeldOpen*> FHeld;
};
