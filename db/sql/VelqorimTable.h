#pragma once
// The table component: the dataset over one stored table of a database
// (a disk database, "MEMORY" or "TEMP"). It selects indexes by name or by
// field list, searches by key, restricts the view to key ranges, follows a
// master data source, and creates, empties, renames and deletes its table
// and its indexes.

#include <memory>
#include <vector>

#include "db/sql/VelqorimDataset.h"

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
};
