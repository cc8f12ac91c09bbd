#pragma once
// The table component: the dataset over one stored table of a database
// (a disk database, "MEMORY" or "TEMP"). It selects indexes by name or by
// field list, searches by key, restricts the view to key ranges, follows a
// master data source, and creates, empties, renames and deletes its table
// and its indexes.

#include <memory>
#include <vector>

#include "db/sql/VelqorimDataset.h"
#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimDialogs.h"
#include "db/sql/VelqorimTableExport.h"

// Adds or drops indexes of the cursor's table under its exclusive table lock,
// so that no other session holds changes of the table that the index would
// miss or that would land in pages of a dropped index: Change runs with the
// lock held (tried as often as a table open is); 20228 when it cannot be had.
void ChangeIndexesExclusively(TVelqorimCursor& Cursor, const std::function<void()>& Change);

// ---- data transfer: types (VelqorimTableTransfer.cpp) ----
using TVelqorimDataSetNotifyEvent = std::function<void(TObject* DataSet)>;
// ---- end of data transfer types ----

class TVelqorimTable : public TVelqorimDataSet {
 public:
  explicit TVelqorimTable(TComponent* AOwner);
  ~TVelqorimTable() override;

  const String& TableName() const { return FTableName; }
  void SetTableName(const String& Value);
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool Value) { CheckInactive(); FExclusive = Value; }
  bool Temporary() const { return FTemporary; }
  void SetTemporary(bool Value);
  bool DisableTempFiles = false;
  String IndexName() const { return FFieldsIndex ? String() : FIndexName; }
  void SetIndexName(const String& Value) { SetIndex(Value, false); }
  String IndexFieldNames() const { return FFieldsIndex ? FIndexName : String(); }
  void SetIndexFieldNames(const String& Value) { SetIndex(Value, !Value.empty()); }
  TDataSource* MasterSource() const { return FMasterLink->DataSource(); }
  void SetMasterSource(TDataSource* Value);
  const String& MasterFields() const { return FMasterLink->FieldNames(); }
  void SetMasterFields(const String& Value) { FMasterLink->SetFieldNames(Value); }
  // Whether the table is stored; False on any failure to find out.
  bool Exists();
  TField* GetIndexField(int Index) { return IndexField(Index); }
  void SetIndexField(int Index, TField* Value) { IndexField(Index)->Assign(Value); }

  // Structure.
  void CreateTable();
  void DeleteTable();
  void EmptyTable();
  void RenameTable(const String& NewTableName);
  void RenameField(const String& FieldName, const String& NewFieldName);
  void AddIndex(const String& Name, const String& Fields, TIndexOptions Options = 0, const String& DescFields = "",
                const String& CaseInsFields = "");
  void DeleteIndex(const String& Name);
  void DeleteAllIndexes();

  // Key searches: the key buffer being edited takes field writes in the set-key state.
  void SetKey() { SetKeyBuffer(kiLookup, true); }
  void EditKey() { SetKeyBuffer(kiLookup, false); }
  bool GotoKey();
  void GotoNearest();
  bool FindKey(const std::vector<Variant>& KeyValues);
  void FindNearest(const std::vector<Variant>& KeyValues);
  bool KeyExclusive();
  void SetKeyExclusive(bool Value);
  int KeyFieldCount();
  void SetKeyFieldCount(int Value);

  // Ranges.
  void SetRangeStart() { SetKeyBuffer(kiRangeStart, true); }
  void SetRangeEnd() { SetKeyBuffer(kiRangeEnd, true); }
  void EditRangeStart() { SetKeyBuffer(kiRangeStart, false); }
  void EditRangeEnd() { SetKeyBuffer(kiRangeEnd, false); }
  void ApplyRange();
  void CancelRange();
  void SetRange(const std::vector<Variant>& StartValues, const std::vector<Variant>& EndValues);
  // False when the range in force is already the one set.
  bool SetCursorRange();

  void Post() override;
  void Cancel() override;
  bool IsRecordLocked() { return FHandle != nullptr && FHandle->IsRecordLocked(); }
  int64_t LastAutoincValue(int FieldIndex);
  int64_t LastAutoincValue(const String& FieldName);

  // For the SQL processor.
  String FindOrCreateIndex(TStringList& FieldNamesList, TStringList& AscDescList, TStringList& CaseSensitivityList,
                           bool& IsCreated);
  bool IndexExists(TStringList& FieldNamesList, TStringList& AscDescList, TStringList& CaseSensitivityList);
  // Distinct rows over the given columns (the index serving them becomes current).
  void ApplyDistinct(TStringList& FieldNamesList, TStringList& AscDescList, TStringList& CaseSensitivityList);
  // The distinct view of another table's cursor.
  void ApplyDistinct(TVelqorimTable& DataSet);
  // Opens and frees a cursor that may read a damaged table (for database copies).
  void OpenForRepair();

  // ---- data transfer (VelqorimTableTransfer.cpp) ----
  // Each operation appends to Log what it could not do; an empty addition
  // means everything arrived. Progress handlers may clear Continue to stop.
  // The table takes the source's structure (engine datasets hand over their
  // advanced definitions), is created and filled; it is left closed.
  bool ImportTable(TDataSet* SourceTable, String& Log, TIndexDefs* aIndexDefs);
  bool ImportTable(TDataSet* SourceTable);
  // Gives the destination this table's structure, has CreateTablePointer
  // create it, and fills it; the destination stays open.
  bool ExportTable(TDataSet* DestinationTable, const std::function<void()>& CreateTablePointer, String& Log);
  bool ExportTable(TDataSet* DestinationTable, const std::function<void()>& CreateTablePointer);
  // A new table NewTableName with this table's structure and records: in this
  // table's database (empty DestDatabaseFileName), in "MEMORY", or in the
  // database file named. Errors of single records only go to Log.
  bool CopyTable(const String& NewTableName, String& Log, bool& Continue, const String& DestDatabaseFileName,
                 const String& DestDatabasePassword, bool IgnoreErrors, bool OverwriteExistingTable, bool CopyIndexes,
                 int MinProgress, int MaxProgress);
  bool CopyTable(const String& NewTableName, const String& DestDatabaseFileName = String(),
                 const String& DestDatabasePassword = String());
  // Moves the source's records into this table; equal records are found
  // through DstTableIndexNameToIdentifyEqualRecords, else the primary index,
  // else an index over the common fields.
  void BatchMove(TVelqorimDataSet* SourceTableOrQuery, TABSBatchMoveType MoveType,
                 const String& DstTableIndexNameToIdentifyEqualRecords = String());
  // Rebuilds the table as RestructureFieldDefs and RestructureIndexDefs say,
  // keeping each field's data through renames. On any failure the table is
  // back under its name as it was.
  bool RestructureTable(String& Log);
  bool RestructureTable();

  TVelqorimDataSetNotifyEvent BeforeCopy;
  TVelqorimProgressEvent OnCopyProgress;
  TVelqorimDataSetNotifyEvent AfterCopy;
  TVelqorimDataSetNotifyEvent BeforeImport;
  TVelqorimProgressEvent OnImportProgress;
  TVelqorimDataSetNotifyEvent AfterImport;
  TVelqorimDataSetNotifyEvent BeforeExport;
  TVelqorimProgressEvent OnExportProgress;
  TVelqorimDataSetNotifyEvent AfterExport;
  TVelqorimDataSetNotifyEvent BeforeRestructure;
  TVelqorimProgressEvent OnRestructureProgress;
  TVelqorimDataSetNotifyEvent AfterRestructure;
  TVelqorimDataSetNotifyEvent BeforeBatchMove;
  TVelqorimProgressEvent OnBatchMoveProgress;
  TVelqorimDataSetNotifyEvent AfterBatchMove;
  // ---- end of data transfer ----

  void DataEvent(TDataEvent Event, intptr_t Info) override;
  TDataSource* GetDataSource() override { return FMasterLink->DataSource(); }
  String PSGetTableName() override { return FTableName; }
  void PSSetCommandText(const String& CommandText) override {
    if (!CommandText.empty()) SetTableName(CommandText);
  }
  String PSGetKeyFields() override;
  TIndexDef* PSGetDefaultOrder() override;
  TIndexDefs* PSGetIndexDefs(TIndexOptions IndexTypes) override;
  // Parameters restrict the table to the key they give; none cancel the range.
  void PSSetParams(TParams* AParams) override;

 protected:
  TVelqorimCursor* CreateCursorHandle() override;
  void PrepareCursor() override { CheckMasterRange(); }
  void InternalInitFieldDefs() override;
  void UpdateIndexDefs() override;
  void DoOnNewRecord() override;
  void DefChanged(TObject* Sender) override;

 protected:
  // ---- data transfer: event dispatchers (VelqorimTableTransfer.cpp) ----
  // Each calls the program's handler when assigned, else drives the wait form
  // unless the database is silent or the table temporary.
  enum TTransferKind { tkCopy, tkImport, tkExport, tkRestructure, tkBatchMove };
  void InternalBeforeTransfer(TTransferKind Kind, TObject* Sender);
  void InternalOnTransferProgress(TTransferKind Kind, TObject* Sender, double PercentDone, bool& Continue);
  void InternalAfterTransfer(TTransferKind Kind, TObject* Sender);
  void InternalBeforeCopy() { InternalBeforeTransfer(tkCopy, this); }
  void InternalOnCopyProgress(TObject* Sender, double PercentDone, bool& Continue) {
    InternalOnTransferProgress(tkCopy, Sender, PercentDone, Continue);
  }
  void InternalAfterCopy() { InternalAfterTransfer(tkCopy, this); }
  void InternalBeforeImport() { InternalBeforeTransfer(tkImport, this); }
  void InternalOnImportProgress(TObject* Sender, double PercentDone, bool& Continue) {
    InternalOnTransferProgress(tkImport, Sender, PercentDone, Continue);
  }
  void InternalAfterImport() { InternalAfterTransfer(tkImport, this); }
  void InternalBeforeExport() { InternalBeforeTransfer(tkExport, this); }
  void InternalOnExportProgress(TObject* Sender, double PercentDone, bool& Continue) {
    InternalOnTransferProgress(tkExport, Sender, PercentDone, Continue);
  }
  void InternalAfterExport() { InternalAfterTransfer(tkExport, this); }
  void InternalBeforeRestructure() { InternalBeforeTransfer(tkRestructure, this); }
  void InternalOnRestructureProgress(TObject* Sender, double PercentDone, bool& Continue) {
    InternalOnTransferProgress(tkRestructure, Sender, PercentDone, Continue);
  }
  void InternalAfterRestructure() { InternalAfterTransfer(tkRestructure, this); }
  void InternalBeforeBatchMove(TObject* Source) { InternalBeforeTransfer(tkBatchMove, Source); }
  void InternalOnBatchMoveProgress(TObject* Source, double PercentDone, bool& Continue) {
    InternalOnTransferProgress(tkBatchMove, Source, PercentDone, Continue);
  }
  void InternalAfterBatchMove(TObject* Source) { InternalAfterTransfer(tkBatchMove, Source); }
  // ---- end of data transfer dispatchers ----

 private:
  // A new local cursor on the table, opened unless only configured.
  TVelqorimCursor* OpenTableCursor(bool Open = true);
  // Runs Action on a cursor of its own (exclusive, writable) under DB flag Flag.
  void WithTableCursor(int Flag, const std::function<void(TVelqorimCursor& Cursor)>& Action);
  // Runs Action on the open cursor, or on one of its own while closed.
  void WithAnyCursor(int Flag, const std::function<void(TVelqorimCursor& Cursor)>& Action);
  void CheckTableName();
  void CheckInTransaction(TVelqorimCursor& Cursor, int Code, const char* Operation);
  String ResolveIndexName(const String& Name, bool FieldsIndex);
  void SetIndex(const String& Value, bool FieldsIndex);
  void SetKeyBuffer(TVelqorimKeyIndex Index, bool Clear);
  void PostKeyBuffer(bool Commit);
  void SetKeyFields(TVelqorimKeyIndex Index, const std::vector<Variant>& Values);
  // Clears a key buffer and has Assign write its first FieldCount index fields.
  void WriteKey(TVelqorimKeyIndex Index, int FieldCount, const std::function<void(int I)>& Assign);
  void CheckSetKeyMode();
  void SetLinkRanges(const std::vector<TField*>& MasterFields);
  void CheckMasterRange();
  void MasterChanged();
  void MasterDisabled();
  void WriteBlobDefaults();
  // 30499 unnamed field, 30453 sized type without size, 20257 BLOB compression mode out of range.
  void ValidateAdvFieldDefs();

  String FTableName;
  bool FExclusive = false;
  bool FTemporary = false;
  String FIndexName;
  bool FFieldsIndex = false;
  bool FIsRepairing = false;
  std::unique_ptr<TMasterDataLink> FMasterLink;
  // ---- data transfer state ----
  bool UsesWaitForm();
  bool ImportOpenTable(TDataSet* SourceTable, String& Log, TIndexDefs* aIndexDefs);
  // Import's and export's copy, under this table's data lock and between the
  // operation's before and after events; Doing names it in the log.
  void CopyUnderDataLock(TTransferKind Kind, TDataSet* Source, TDataSet* Dest, const char* Doing, String& Log);
  TVelqorimWaitFormUser frmWait;
  // ---- end of data transfer state ----

  // ---- Export to an SQL script (VelqorimTableExport.cpp) ----
 public:
  TVelqorimExportToSqlOptions* ExportToSqlOptions() const { return FExportToSqlOptions.get(); }
  void SetExportToSqlOptions(TVelqorimExportToSqlOptions* Value) { FExportToSqlOptions->Assign(Value); }
  // The table (closed, opened for the export and closed again) as a script of
  // DROP TABLE, CREATE TABLE and INSERT statements that the SQL processor runs back.
  void ExportToSQL(TStream& Stream);
  // Replaces the file; EFCreateError when it cannot be created.
  void ExportToSQL(const String& FileName);
  String ExportToSQL();
  // Every piece of the script goes out through here, as UTF-8 text.
  static void WriteScriptText(TStream& Stream, const String& Text);

 private:
  void WriteScriptStructure(TStream& Stream);
  void WriteScriptData(TStream& Stream);
  std::unique_ptr<TVelqorimExportToSqlOptions> FExportToSqlOptions = std::make_unique<TVelqorimExportToSqlOptions>();
  // ---- end of export ----
};

// ---- data transfer: unit routines (VelqorimTableTransfer.cpp) ----
// Copies every record of Source into Dest (by field name, or with
// MatchByObjectID through the source table's restructure definitions), from
// the first record, reporting progress between MinProgress and MaxProgress.
// Failures of single fields and records go to Log (and raise without
// IgnoreErrors); the source returns to where it was. False when anything was
// lost or the user stopped the copy.
bool CopyTableRecords(TObject* LogTable, TDataSet* Source, TDataSet* Dest, int MaxProgress, int MinProgress,
                      const TVelqorimProgressEvent& OnProgress, bool MatchByObjectID, bool IgnoreErrors,
                      bool& Continue, String& Log);
// A restructure that did not finish leaves its old table aside under
// "OLD_<name>_<GUID>". Puts every such table back under its name (dropping
// the partial new one); runs only when no other connection shares the
// database, since a restructure of another connection may be under way.
void RestoreInterruptedRestructures(TVelqorimBaseSession& Session);
// ---- end of data transfer routines ----
