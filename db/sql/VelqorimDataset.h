#pragma once
// The dataset over an engine cursor: the data-set framework keeps its ring of
// record buffers, states and events, and every record operation becomes a
// cursor operation. The base of the table and query components.
//
// Record buffer as the dataset sees it: the cursor's memory record, then at
// the cursor's BookmarkOffset the 6-byte record id (page number i32, item
// number u16) and one bookmark-flag byte (0 current, 1 BOF, 2 EOF,
// 3 inserted), then at CalculatedFieldsOffset the calculated-fields area:
// per calculated or lookup field one null-flag byte (0 null) and the value.
//
// Key buffer: a cursor key buffer whose byte at KeyOffset is the modified
// flag, then the exclusive flag, then the key field count (i32).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "db/dsfw/DB.h"
#include "db/sql/VelqorimAdvDefs.h"
#include "db/storage/VelqorimBase.h"
#include "db/support/DAZVariant.h"

class TVelqorimDataSet;
class TVelqorimLocalSession;

// How datasets reach database components. The database component installs
// these; while they are empty a dataset connects an engine session of its
// own to the database named by DatabaseName.
struct TVelqorimDatabaseHooks {
  // Opens (finding or making) the database component a dataset works in.
  std::function<TComponent*(TVelqorimDataSet& DataSet)> Open;
  // Gives up the dataset's hold on the database component.
  std::function<void(TVelqorimDataSet& DataSet, TComponent* Database)> Close;
  // The engine session of a database component.
  std::function<TVelqorimBaseSession*(TComponent* Database)> EngineSession;
};
extern TVelqorimDatabaseHooks VelqorimDatabaseHooks;

// Where exceptions raised inside event handlers (a filter event) go; unset,
// they are dropped. The application installs its exception handler.
extern std::function<void(TObject* Sender)> VelqorimHandleException;

// The dataset's key buffers: lookup, range start, range end, current
// range start, current range end, save.
enum TVelqorimKeyIndex { kiLookup, kiRangeStart, kiRangeEnd, kiCurRangeStart, kiCurRangeEnd, kiSave };
constexpr int VelqorimKeyBufferCount = 6;

class TVelqorimDataSet : public TDataSet, public IVelqorimDataSetServices {
 public:
  explicit TVelqorimDataSet(TComponent* AOwner);
  ~TVelqorimDataSet() override;

  // Properties.
  const String& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const String& Value);
  const String& SessionName() const { return FSessionName; }
  void SetSessionName(const String& Value);
  bool InMemory() const { return FInMemory; }
  void SetInMemory(bool Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { CheckInactive(); FReadOnly = Value; }
  bool StoreDefs = false;
  TUpdateRecordEvent OnUpdateRecord;
  // The engine version followed by one blank: "7.80 ".
  static String CurrentVersion();

  TVelqorimCursor* Handle() const { return FHandle; }
  // The database component held while any DB flag is set (none without one).
  TComponent* Database() const { return FDatabase; }
  // The engine session the dataset's cursors work in; none while no flag is set.
  TVelqorimBaseSession* EngineSession() const { return FEngineSession; }
  TIndexDefs& IndexDefs() { return *FIndexDefs; }
  void SetIndexDefs(TIndexDefs& Value) { FIndexDefs->Assign(&Value); }
  int KeySize() const { return FKeySize; }
  int IndexFieldCount() const { return FIndexFieldCount; }
  // The table field (0-based visible number) of index column I.
  TField* IndexField(int Index);
  TVelqorimFieldDefs& VelqorimFieldDefs() { return FVelqorimFieldDefs; }
  TVelqorimAdvFieldDefs& AdvFieldDefs() { return FAdvFieldDefs; }
  TVelqorimAdvIndexDefs& AdvIndexDefs() { return FAdvIndexDefs; }
  TVelqorimAdvFieldDefs& RestructureFieldDefs() { return FRestructureFieldDefs; }
  TVelqorimAdvIndexDefs& RestructureIndexDefs() { return FRestructureIndexDefs; }
  TVelqorimConstraintDefs& VelqorimConstraintDefs() { return FVelqorimConstraintDefs; }

  // Closes without raising (for destructors).
  void CloseQuietly();
  // Closes the dataset (the query also unprepares).
  virtual void Disconnect() { Close(); }
  // While any of the 16 flags is set the dataset holds its database.
  virtual void UpdateDBFlag(int Flag, bool Value);
  bool DBFlag(int Flag) const { return (FDBFlags & (1u << Flag)) != 0; }

  // Framework overrides reachable from outside.
  void SetActive(bool Value) override;
  bool BookmarkValid(const TBookmark& Bookmark) override;
  int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2) override;
  bool GetCurrentRecord(TRecordBuffer Buffer) override;
  bool GetFieldData(TField* Field, void* Buffer) override;
  bool GetFieldData(TField* Field, TValueBuffer& Buffer) override;
  void SetFieldData(TField* Field, const void* Buffer) override;
  void SetFieldData(TField* Field, const TValueBuffer& Buffer) override;
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override;
  void SetRecNo(int Value) override;
  bool Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options) override;
  Variant Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) override;

  // Filters.
  void SetFiltered(bool Value) override;
  void SetFilterText(const String& Value) override;
  void SetFilterOptions(TFilterOptions Value) override;
  void SetOnFilterRecord(const TFilterRecordEvent& Value) override;
  void SetFilterData(const String& Text, TFilterOptions Options);
  void ActivateFilters();
  void DeactivateFilters();
  bool InternalFilterRecord(TRecordBuffer Buffer);
  static bool FilterRecord(uint8_t* Buffer, TObject* DataSet);
  bool LocateRecord(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options);

  // Value access of the SQL layer (FieldNo as the cursor counts).
  void GetFieldValue(TABSVariant& Value, int FieldNo, bool DirectAccess);
  void SetFieldValue(const TABSVariant& Value, int FieldNo, bool DirectAccess);
  void CopyFieldValue(int SrcFieldNo, bool UseDirectFieldAccess, int DestFieldNo, TVelqorimDataSet* DestDataset);
  // Restrictions the relational operators put on the dataset.
  void SetSQLFilter(TABSBaseExpression* FilterExpr, TObject* ParentQueryAO, TVelqorimCursor* ParentCursor);
  void ApplyProjection(const TStrings& FieldNamesList, const TStrings& AliasList);
  bool IsDistinctApplied() const;
  bool IsIndexActive() const;
  // The engine's BLOB stream of a field of the active record (owned by the cursor).
  TABSStream* CreateEngineBlobStream(TField* Field, TBlobStreamMode Mode) override;
  void CloseBlob(TField* Field) override;

  // What the definitions and BLOB streams ask of their dataset.
  bool IsReadOnlyDataSet() override { return FReadOnly; }
  void CloseEngineBlob(TField* Field) override { CloseBlob(Field); }
  void UpdateAdvIndexDefs() override { UpdateIndexDefs(); }
  void HandleDataSetException() override { InternalHandleException(); }

  // The record buffer field access works on in the current state (none: every field reads null).
  TRecordBuffer GetActiveRecordBuffer();

  // Provider support.
  int PSExecuteStatement(const String& ASQL, TParams* AParams) override;
  String PSGetQuoteChar() override { return "`"; }
  void PSStartTransaction() override;
  void PSEndTransaction(bool Commit) override;
  bool PSInTransaction() override;
  bool PSIsSQLBased() override { return true; }
  bool PSIsSQLSupported() override { return true; }
  void PSReset() override;
  bool PSUpdateRecord(TUpdateKind UpdateKind, TDataSet* Delta) override;
  // Runs a statement for the provider (the query component installs it): the
  // number of rows it changed.
  static std::function<int(TVelqorimDataSet& DataSet, const String& SQL, TParams* Params)> ExecuteStatementHook;

 protected:
  // New operations.
  virtual TVelqorimCursor* CreateCursorHandle() { return nullptr; }
  virtual void DestroyCursorHandle();
  virtual void PrepareCursor() {}

  // The engine session a maintenance cursor of the dataset works in (sets and
  // clears DB flags around it as the caller does).
  void OpenDatabase();
  void CloseDatabase();

  // Framework overrides.
  TRecordBuffer AllocRecordBuffer() override;
  void FreeRecordBuffer(TRecordBuffer& Buffer) override;
  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) override;
  int GetRecordSize() override;
  void InternalInitRecord(TRecordBuffer Buffer) override;
  void InitRecord(TRecordBuffer Buffer) override;
  void ClearCalcFields(TRecordBuffer Buffer) override;
  int GetRecordCount() override;
  int GetRecNo() override;
  void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative) override;
  void DataConvert(TField* Field, const TValueBuffer& Source, TValueBuffer& Dest, bool ToNative) override;
  void GetBookmarkData(TRecordBuffer Buffer, void* Data) override;
  void GetBookmarkData(TRecordBuffer Buffer, TBookmark& Data) override;
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override;
  void SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Data) override;
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override;
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override;
  void InternalGotoBookmark(const void* Bookmark) override;
  void InternalSetToRecord(TRecordBuffer Buffer) override;
  void OpenCursor(bool InfoQuery) override;
  void CloseCursor() override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() override { return FHandle != nullptr; }
  void InternalFirst() override;
  void InternalLast() override;
  void InternalRefresh() override;
  void InternalHandleException() override;
  void InternalInitFieldDefs() override;
  void InternalEdit() override;
  void InternalInsert() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalAddRecord(TRecordBuffer Buffer, bool Append) override;
  bool GetCanModify() override { return !FReadOnly; }
  bool GetIsIndexField(TField* Field) override;
  bool FindRecord(bool Restart, bool GoForward) override;

  // The field definitions of a cursor's table into the dataset's lists.
  void LoadFieldDefs(TVelqorimCursor& Cursor);

  // Index information and key buffers.
  void GetIndexInfo();
  void SwitchToIndex(const String& IndexName);
  void AllocKeyBuffers();
  void FreeKeyBuffers();
  void InitKeyBuffer(uint8_t* Buffer);
  bool ResetCursorRange();
  uint8_t* KeyBuffer(TVelqorimKeyIndex Index) const { return FKeyBuffers[Index]; }
  bool KeyModified(const uint8_t* Buffer) const;
  void SetKeyModified(uint8_t* Buffer, bool Value);
  bool KeyExclusive(const uint8_t* Buffer) const;
  void SetKeyExclusive(uint8_t* Buffer, bool Value);
  int KeyFieldCountOf(const uint8_t* Buffer) const;
  void SetKeyFieldCountOf(uint8_t* Buffer, int Value);
  bool GetBytesData(TField* Field, void* Buffer, const uint8_t* Record);
  void SetBytesData(TField* Field, const void* Buffer, uint8_t* Record);
  // The engine-error check: raises EVelqorimEngineError for the cursor's outcome.
  void CheckEngineError();
  // Reads the cursor's current record into Buffer; restores its own buffer.
  bool ReadCurrentInto(uint8_t* Buffer);
  // A shared table lock around a resynchronisation; runs without it when not granted.
  void WithSharedLock(const std::function<void()>& Action);

  TVelqorimCursor* FHandle = nullptr;
  TVelqorimCursor* FExternalHandle = nullptr;
  uint8_t* FEditRecordBuffer = nullptr;
  uint8_t* FFilterBuffer = nullptr;
  uint8_t* FKeyBuffer = nullptr;
  std::array<uint8_t*, VelqorimKeyBufferCount> FKeyBuffers{};
  int FIndexFieldCount = 0;
  std::vector<uint16_t> FIndexFieldMap;
  int FKeySize = 0;
  bool FIsRefreshing = false;
  bool FIgnoreDesignMode = false;
  std::unique_ptr<TIndexDefs> FIndexDefs;
  TVelqorimFieldDefs FVelqorimFieldDefs;
  TVelqorimIndexDefs FVelqorimIndexDefs;
  TVelqorimConstraintDefs FVelqorimConstraintDefs;
  TVelqorimAdvFieldDefs FAdvFieldDefs;
  TVelqorimAdvIndexDefs FAdvIndexDefs{this};
  TVelqorimAdvFieldDefs FRestructureFieldDefs;
  TVelqorimAdvIndexDefs FRestructureIndexDefs{this};

 private:
  void FreeEditBuffer();

  String FDatabaseName;
  String FSessionName;
  bool FInMemory = false;
  bool FReadOnly = false;
  uint16_t FDBFlags = 0;
  TComponent* FDatabase = nullptr;
  TVelqorimBaseSession* FEngineSession = nullptr;
  std::unique_ptr<TVelqorimLocalSession> FOwnSession;
};

// Between the framework's variant and the engine's (for key values).
TABSVarData VariantToVarData(const Variant& Value);
