#pragma once
// The data-set framework: datasets with a ring of record buffers, states,
// bookmarks and events, typed fields, field and index definitions, data
// sources and links, and parameters. A concrete dataset overrides the
// protected operations (InternalOpen, GetRecord, AllocRecordBuffer ...); the
// framework decides when each one runs.

#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "db/support/DAZTypes.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TDataSet;
class TDataSource;
class TDataLink;
class TField;
class TFieldDefs;
class TIndexDefs;

// ---------------------------------------------------------------------------
// Errors

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// Raises EDatabaseError; a named component puts "Name: " in front (an owned
// component with a named owner "Owner.Name: ").
[[noreturn]] void DatabaseError(const String& Message, TComponent* Component = nullptr);
[[noreturn]] void DatabaseErrorFmt(std::string_view Message, std::initializer_list<TVarRec> Args,
                                   TComponent* Component = nullptr);

// ---------------------------------------------------------------------------
// Variant: the loosely typed value of field values, key values and parameters.

struct TNullValue {
  bool operator==(const TNullValue&) const = default;
};

class Variant {
 public:
  using TArray = std::vector<Variant>;
  using TBytes = std::vector<uint8_t>;

  Variant() = default;
  Variant(bool V) : FValue(V) {}
  Variant(int V) : FValue(int64_t{V}) {}
  Variant(int64_t V) : FValue(V) {}
  Variant(double V) : FValue(V) {}
  Variant(const char* V) : FValue(String(V)) {}
  Variant(String V) : FValue(std::move(V)) {}
  Variant(TBytes V) : FValue(std::move(V)) {}
  Variant(TArray V) : FValue(std::move(V)) {}
  static Variant Null() { return Variant(); }

  bool IsNull() const { return std::holds_alternative<TNullValue>(FValue); }
  bool IsArray() const { return std::holds_alternative<TArray>(FValue); }
  bool IsString() const { return std::holds_alternative<String>(FValue); }
  bool IsBytes() const { return std::holds_alternative<TBytes>(FValue); }
  bool IsNumeric() const;

  // Conversions raise EConvertError for null or text that is not a number.
  String AsString() const;  // null gives ""
  int64_t AsInt64() const;
  double AsFloat() const;
  bool AsBoolean() const;
  TBytes AsBytes() const;  // text gives its bytes
  const TArray& AsArray() const;
  int ArrayCount() const { return IsArray() ? static_cast<int>(AsArray().size()) : 1; }
  // Element I of an array; a single value is its own element 0.
  const Variant& Item(int I) const;

  // Numbers compare as numbers, everything else by its text; null equals null only.
  bool operator==(const Variant& Other) const;

 private:
  std::variant<TNullValue, bool, int64_t, double, String, TBytes, TArray> FValue;
};

// ---------------------------------------------------------------------------
// Enumerations of the framework

enum TDataSetState {
  dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey, dsCalcFields, dsFilter, dsNewValue,
  dsOldValue, dsCurValue, dsBlockRead, dsInternalCalc, dsOpening
};
enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TDataEvent {
  deFieldChange, deRecordChange, deDataSetChange, deDataSetScroll, deLayoutChange, deUpdateRecord,
  deUpdateState, deCheckBrowseMode, dePropertyChange, deFieldListChange, deFocusControl,
  deParentScroll, deConnectChange, deReconcileError, deDisabledStateChange
};
enum TDataAction { daFail, daAbort, daRetry };
enum TUpdateKind { ukModify, ukInsert, ukDelete };
enum TUpdateAction { uaFail, uaAbort, uaSkip, uaRetry, uaApplied };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };
enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

// Small sets as bit masks of their enumerations.
enum TResyncModeFlag : unsigned { rmExact = 1, rmCenter = 2 };
using TResyncMode = unsigned;
enum TFilterOption : unsigned { foCaseInsensitive = 1, foNoPartialCompare = 2 };
using TFilterOptions = unsigned;
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;
enum TIndexOption : unsigned {
  ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8, ixExpression = 16,
  ixNonMaintained = 32
};
using TIndexOptions = unsigned;
enum TFieldAttribute : unsigned {
  faHiddenCol = 1, faReadonly = 2, faRequired = 4, faLink = 8, faUnNamed = 16, faFixed = 32
};
using TFieldAttributes = unsigned;

using TRecordBuffer = uint8_t*;
// A bookmark's bytes (BookmarkSize of them); empty is no bookmark.
using TBookmark = std::vector<uint8_t>;
using TValueBuffer = std::vector<uint8_t>;

#pragma pack(push, 1)
struct TSQLTimeStamp {
  int16_t Year;
  uint16_t Month, Day, Hour, Minute, Second;
  uint32_t Fractions;  // milliseconds
};
#pragma pack(pop)
TDateTime SQLTimeStampToDateTime(const TSQLTimeStamp& Value);
TSQLTimeStamp DateTimeToSQLTimeStamp(TDateTime Value);

using TDataSetNotifyEvent = std::function<void(TDataSet* DataSet)>;
using TDataSetErrorEvent = std::function<void(TDataSet* DataSet, EDatabaseError& E, TDataAction& Action)>;
using TFilterRecordEvent = std::function<void(TDataSet* DataSet, bool& Accept)>;
using TUpdateRecordEvent = std::function<void(TDataSet* DataSet, TUpdateKind UpdateKind, TUpdateAction& UpdateAction)>;
using TFieldNotifyEvent = std::function<void(TField* Sender)>;

// ---------------------------------------------------------------------------
// Field definitions

class TFieldDef : public TPersistent {
 public:
  TFieldDef(TFieldDefs* Owner, const String& Name, TFieldType DataType, int Size, bool Required, int FieldNo);

  String Name;
  TFieldType DataType = ftUnknown;
  int Size = 0;
  int Precision = 0;
  int FieldNo = 0;
  TFieldAttributes Attributes = 0;
  bool InternalCalcField = false;

  bool GetRequired() const { return (Attributes & faRequired) != 0; }
  void SetRequired(bool Value);
  TFieldDefs* Collection() const { return FOwner; }
  int Index() const;
  // A field of the class the framework uses for DataType, bound to the dataset.
  TField* CreateField(TComponent* Owner);
  void Assign(TPersistent* Source) override;

 private:
  TFieldDefs* FOwner;
};

class TFieldDefs : public TPersistent {
 public:
  explicit TFieldDefs(TDataSet* DataSet) : FDataSet(DataSet) {}

  int Count() const { return static_cast<int>(FItems.size()); }
  TFieldDef* Items(int Index) const;
  TFieldDef* operator[](int Index) const { return Items(Index); }
  TFieldDef* AddFieldDef();
  TFieldDef* Add(const String& Name, TFieldType DataType, int Size = 0, bool Required = false);
  void Clear();
  int IndexOf(const String& Name) const;  // ignoring case, -1 when absent
  TFieldDef* Find(const String& Name) const;  // "Field 'X' not found" when absent
  // Refreshes the list from the dataset when it is out of date.
  void Update();
  bool Updated = false;
  TDataSet* DataSet() const { return FDataSet; }
  void Assign(TPersistent* Source) override;

 private:
  TDataSet* FDataSet;
  std::vector<std::unique_ptr<TFieldDef>> FItems;
};

// ---------------------------------------------------------------------------
// Index definitions

class TIndexDef : public TPersistent {
 public:
  String Name;
  String Fields;  // ";"-separated
  String DescFields;
  String CaseInsFields;
  String Expression;
  String Source;
  TIndexOptions Options = 0;
  int GroupingLevel = 0;
  void Assign(TPersistent* Source) override;
};

class TIndexDefs : public TPersistent {
 public:
  explicit TIndexDefs(TDataSet* DataSet) : FDataSet(DataSet) {}

  int Count() const { return static_cast<int>(FItems.size()); }
  TIndexDef* Items(int Index) const;
  TIndexDef* operator[](int Index) const { return Items(Index); }
  TIndexDef* AddIndexDef();
  void Add(const String& Name, const String& Fields, TIndexOptions Options);
  void Clear();
  int IndexOf(const String& Name) const;
  TIndexDef* Find(const String& Name) const;  // "Index 'X' not found" when absent
  // The index whose leading fields are Fields (case-insensitively when asked), or none.
  TIndexDef* GetIndexForFields(const String& Fields, bool CaseInsensitive) const;
  TIndexDef* FindIndexForFields(const String& Fields) const;  // "No index for fields 'X'"
  void Update();
  bool Updated = false;
  void Assign(TPersistent* Source) override;

 private:
  TDataSet* FDataSet;
  std::vector<std::unique_ptr<TIndexDef>> FItems;
};

// ---------------------------------------------------------------------------
// Fields

class TField : public TComponent {
 public:
  explicit TField(TComponent* AOwner);
  ~TField() override;

  TDataSet* DataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* Value);  // refused while the dataset is open

  String FieldName;
  String DisplayLabel;
  String GetDisplayName() const { return DisplayLabel.empty() ? FieldName : DisplayLabel; }
  TFieldType DataType() const { return FDataType; }
  TFieldKind FieldKind = fkData;
  int FieldNo() const { return FFieldNo; }
  int Size() const { return FSize; }
  void SetSize(int Value);
  // Bytes of the field's value in a record buffer as the framework hands it over.
  virtual int GetDataSize() const;
  int DataSize() const { return GetDataSize(); }
  // The position of a calculated or lookup field in the calculated area.
  int Offset() const { return FOffset; }
  int Index() const;  // position among the dataset's fields
  bool Calculated() const { return FieldKind == fkCalculated || FieldKind == fkLookup; }
  bool Lookup() const { return FieldKind == fkLookup; }
  bool IsBlob() const;
  bool IsIndexField();  // whether the dataset's current index uses it

  bool Required = false;
  bool ReadOnly = false;
  bool Visible = true;

  // Lookup fields: KeyFields of this dataset give LookupKeyFields of
  // LookupDataSet, whose LookupResultField is the value.
  TDataSet* LookupDataSet = nullptr;
  String KeyFields, LookupKeyFields, LookupResultField;

  TFieldNotifyEvent OnChange;
  TFieldNotifyEvent OnValidate;

  // The record's bytes for the field; false when null.
  bool GetData(void* Buffer, bool NativeFormat = true);
  void SetData(const void* Buffer, bool NativeFormat = true);  // nullptr clears
  bool IsNull();
  void Clear() { SetData(nullptr); }

  virtual Variant GetAsVariant();
  virtual void SetAsVariant(const Variant& Value);
  Variant Value() { return GetAsVariant(); }
  void SetValue(const Variant& Value) { SetAsVariant(Value); }
  virtual String GetAsString();
  String AsString() { return GetAsString(); }
  void SetAsString(const String& V) { SetAsVariant(V); }
  int32_t AsInteger() { return static_cast<int32_t>(AsLargeInt()); }
  void SetAsInteger(int32_t V) { SetAsVariant(int64_t{V}); }
  int64_t AsLargeInt();
  void SetAsLargeInt(int64_t V) { SetAsVariant(V); }
  double AsFloat();
  void SetAsFloat(double V) { SetAsVariant(V); }
  bool AsBoolean();
  void SetAsBoolean(bool V) { SetAsVariant(V); }
  TDateTime AsDateTime() { return AsFloat(); }
  void SetAsDateTime(TDateTime V) { SetAsVariant(V); }

  // From another field: its value, or null.
  void Assign(TPersistent* Source) override;
  // Runs OnValidate before a value goes into the record.
  void Validate(const void* Buffer);
  void FocusControl();

 protected:
  friend class TDataSet;
  friend class TFieldDef;
  friend class TFields;
  [[noreturn]] void TypeError(const char* TypeName);
  bool IsNullValue(const Variant& V) const;
  virtual void Change();

  TDataSet* FDataSet = nullptr;
  TFieldType FDataType = ftUnknown;
  int FSize = 0;
  int FFieldNo = 0;
  int FOffset = 0;
  bool FValidating = false;
  const void* FValueBuffer = nullptr;
};

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* AOwner);
  int GetDataSize() const override { return FSize + 1; }
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  bool FixedChar = false;
};

class TGuidField : public TStringField {
 public:
  explicit TGuidField(TComponent* AOwner);
};

// Text as zero-terminated 16-bit units; Size counts characters.
class TWideStringField : public TField {
 public:
  explicit TWideStringField(TComponent* AOwner);
  int GetDataSize() const override { return (FSize + 1) * 2; }
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
};

class TNumericField : public TField {
 public:
  using TField::TField;
  String DisplayFormat, EditFormat;
};

// Whole numbers of the field's width (2, 4 or 8 bytes, signed unless a word).
class TIntegerField : public TNumericField {
 public:
  explicit TIntegerField(TComponent* AOwner);
  int GetDataSize() const override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  int64_t MinValue = 0, MaxValue = 0;  // both 0: the type's range
};
class TSmallintField : public TIntegerField {
 public:
  explicit TSmallintField(TComponent* AOwner);
};
class TWordField : public TIntegerField {
 public:
  explicit TWordField(TComponent* AOwner);
};
class TAutoIncField : public TIntegerField {
 public:
  explicit TAutoIncField(TComponent* AOwner);
};
class TLargeintField : public TIntegerField {
 public:
  explicit TLargeintField(TComponent* AOwner);
};

class TFloatField : public TNumericField {
 public:
  explicit TFloatField(TComponent* AOwner);
  int GetDataSize() const override { return sizeof(double); }
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  bool Currency = false;
  int Precision = 15;
};
class TCurrencyField : public TFloatField {
 public:
  explicit TCurrencyField(TComponent* AOwner);
};

// Stored as a 16-bit flag (0 False).
class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* AOwner);
  int GetDataSize() const override { return sizeof(uint16_t); }
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
};

// Dates and times read and written as TDateTime through the dataset's data
// conversion (the record holds day numbers and milliseconds).
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(TComponent* AOwner);
  int GetDataSize() const override;
  Variant GetAsVariant() override;
  void SetAsVariant(const Variant& Value) override;
  String GetAsString() override;
};
class TDateField : public TDateTimeField {
 public:
  explicit TDateField(TComponent* AOwner);
};
class TTimeField : public TDateTimeField {
 public:
  explicit TTimeField(TComponent* AOwner);
};
class TSQLTimeStampField : public TField {
 public:
  explicit TSQLTimeStampField(TComponent* AOwner);
  int GetDataSize() const override { return sizeof(TSQLTimeStamp); }
  Variant GetAsVariant() override;  // as TDateTime
  void SetAsVariant(const Variant& Value) override;
  String GetAsString() override;
};

// Fixed (TBytesField) or counted (TVarBytesField: 16-bit length first) bytes.
class TBinaryField : public TField {
 public:
  using TField::TField;
  Variant GetAsVariant() override;  // bytes
  void SetAsVariant(const Variant& Value) override;
};
class TBytesField : public TBinaryField {
 public:
  explicit TBytesField(TComponent* AOwner);
  int GetDataSize() const override { return FSize; }
};
class TVarBytesField : public TBinaryField {
 public:
  explicit TVarBytesField(TComponent* AOwner);
  int GetDataSize() const override { return FSize + 2; }
};

// BLOB contents go through the dataset's BLOB streams, never the record.
class TBlobField : public TField {
 public:
  explicit TBlobField(TComponent* AOwner);
  int GetDataSize() const override { return 0; }
  Variant GetAsVariant() override;  // bytes (text for memos)
  void SetAsVariant(const Variant& Value) override;
  String GetAsString() override;
  void LoadFromStream(TStream& Stream);
  void SaveToStream(TStream& Stream);
  int64_t BlobSize();
  bool Modified = false;  // set when a BLOB stream changed the contents
};
class TMemoField : public TBlobField {
 public:
  explicit TMemoField(TComponent* AOwner);
};
class TWideMemoField : public TBlobField {
 public:
  explicit TWideMemoField(TComponent* AOwner);
};
class TGraphicField : public TBlobField {
 public:
  explicit TGraphicField(TComponent* AOwner);
};

// The fields of a dataset, in order; the dataset's owned ones are freed with it.
class TFields {
 public:
  explicit TFields(TDataSet* DataSet) : FDataSet(DataSet) {}
  int Count() const { return static_cast<int>(FList.size()); }
  TField* operator[](int Index) const;  // "Field index out of range"
  TField* FindField(const String& Name) const;
  TField* FieldByName(const String& Name) const;  // "Field 'X' not found"
  TField* FieldByNumber(int FieldNo) const;
  int IndexOf(const TField* Field) const;
  void Add(TField* Field);
  void Remove(TField* Field);
  void Clear() { FList.clear(); }

 private:
  TDataSet* FDataSet;
  std::vector<TField*> FList;
};

// ---------------------------------------------------------------------------
// Data sources and links

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* AOwner);
  ~TDataSource() override;

  TDataSet* DataSet() const { return FDataSet; }
  // "Circular datalinks are not allowed" when DataSet already depends on this source.
  void SetDataSet(TDataSet* Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool AutoEdit = true;
  TDataSetState State() const { return FState; }
  void Edit();  // puts the dataset into edit mode when AutoEdit allows
  bool IsLinkedTo(TDataSet* DataSet) const;

  std::function<void(TObject* Sender)> OnStateChange;
  std::function<void(TObject* Sender, TField* Field)> OnDataChange;
  std::function<void(TObject* Sender)> OnUpdateData;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TDataSet;
  friend class TDataLink;
  void AddDataLink(TDataLink* Link);
  void RemoveDataLink(TDataLink* Link);
  void DataEvent(TDataEvent Event, intptr_t Info);
  void NotifyDataLinks(TDataEvent Event, intptr_t Info);
  void UpdateState();

  TDataSet* FDataSet = nullptr;
  bool FEnabled = true;
  TDataSetState FState = dsInactive;
  std::vector<TDataLink*> FDataLinks;
};

class TDataLink : public TPersistent {
 public:
  TDataLink() = default;
  ~TDataLink() override;

  TDataSource* DataSource() const { return FDataSource; }
  void SetDataSource(TDataSource* Value);
  TDataSet* DataSet() const;
  bool Active() const { return FActive; }
  bool Editing() const { return FEditing; }
  bool ReadOnly = false;
  int BufferCount() const { return FBufferCount; }
  void SetBufferCount(int Value);
  // The link's own view onto the dataset's buffers: its active record and how
  // many of its BufferCount rows hold records.
  int ActiveRecord() const;
  int RecordCount() const;
  bool Edit();
  void UpdateRecord();

 protected:
  friend class TDataSource;
  friend class TDataSet;
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int /*Distance*/) { DataSetChanged(); }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField* /*Field*/) {}
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* /*Field*/) {}
  virtual void UpdateData() {}
  virtual TDataSet* GetDetailDataSet() { return nullptr; }
  void DataEvent(TDataEvent Event, intptr_t Info);

 private:
  void SetActive(bool Value);
  void UpdateState();
  void UpdateRange();

  TDataSource* FDataSource = nullptr;
  bool FActive = false;
  bool FEditing = false;
  bool FUpdating = false;
  int FBufferCount = 1;
  int FFirstRecord = 0;
};

// A link whose dataset is fed by another one (a detail of its data source's dataset).
class TDetailDataLink : public TDataLink {
 public:
  TDataSet* DetailDataSet() { return GetDetailDataSet(); }
};

// The link of a detail dataset to its master: the master's fields named by
// FieldNames (";"-separated), with events when the master moves or goes away.
class TMasterDataLink : public TDetailDataLink {
 public:
  explicit TMasterDataLink(TDataSet* DataSet) : FDataSet(DataSet) {}
  const String& FieldNames() const { return FFieldNames; }
  void SetFieldNames(const String& Value);
  const std::vector<TField*>& Fields() const { return FFields; }

  TDataSetNotifyEvent OnMasterChange;   // argument: the detail dataset
  TDataSetNotifyEvent OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override;
  void RecordChanged(TField* Field) override;
  TDataSet* GetDetailDataSet() override { return FDataSet; }

 private:
  void UpdateFields();

  TDataSet* FDataSet;
  String FFieldNames;
  std::vector<TField*> FFields;
};

// ---------------------------------------------------------------------------
// Parameters

// In a namespace of their own: the disk engine's page types have a ptUnknown too.
namespace DBParam {
enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };
}
using DBParam::TParamType;

class TParams;
class TParam : public TPersistent {
 public:
  TParam(TParams* Owner, const String& Name, TFieldType DataType, TParamType ParamType);
  String Name;
  TFieldType DataType = ftUnknown;
  TParamType ParamType = DBParam::ptUnknown;
  bool Bound = false;
  int Size = 0;

  const Variant& Value() const { return FValue; }
  void SetValue(const Variant& Value);
  bool IsNull() const { return FValue.IsNull(); }
  void Clear() { FValue = Variant(); }
  String AsString() const { return FValue.AsString(); }
  void SetAsString(const String& V);
  int32_t AsInteger() const { return static_cast<int32_t>(FValue.AsInt64()); }
  void SetAsInteger(int32_t V);
  double AsFloat() const { return FValue.AsFloat(); }
  void SetAsFloat(double V);
  bool AsBoolean() const { return FValue.AsBoolean(); }
  void SetAsBoolean(bool V);
  void SetAsDateTime(TDateTime V);
  // Takes the field's name, type and value.
  void AssignField(TField* Field);
  void AssignFieldValue(TField* Field, const Variant& Value);
  void Assign(TPersistent* Source) override;

 private:
  TParams* FOwner;
  Variant FValue;
};

class TParams : public TPersistent {
 public:
  explicit TParams(TPersistent* Owner = nullptr) : FOwner(Owner) {}
  int Count() const { return static_cast<int>(FItems.size()); }
  TParam* Items(int Index) const;
  TParam* operator[](int Index) const { return Items(Index); }
  TParam* CreateParam(TFieldType DataType, const String& Name, TParamType ParamType);
  void AddParam(std::unique_ptr<TParam> Param);
  void Delete(int Index);
  void Clear() { FItems.clear(); }
  TParam* FindParam(const String& Name) const;
  TParam* ParamByName(const String& Name) const;  // "Parameter 'X' not found"
  bool IsEqual(const TParams& Other) const;
  void Assign(TPersistent* Source) override;

 private:
  TPersistent* FOwner;
  std::vector<std::unique_ptr<TParam>> FItems;
};

// ---------------------------------------------------------------------------
// SQL text as provider support reads it

// The table of a single-table SELECT (the last part of a qualified name,
// without quotes or brackets); empty for joins, lists of tables, derived
// tables and other statements.
String GetTableNameFromSQL(const String& SQL);
// The columns of the SELECT's outermost ORDER BY as a new index definition
// (the caller frees it), numbers naming DataSet's fields; none without an
// ORDER BY or when an entry is not a plain column.
TIndexDef* GetIndexForOrderBy(const String& SQL, TDataSet* DataSet);

// ---------------------------------------------------------------------------
// The dataset

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* AOwner);
  ~TDataSet() override;

  // Opening and closing.
  bool Active() const { return FState != dsInactive; }
  virtual void SetActive(bool Value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return FState; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }

  // Navigation.
  void First();
  void Last();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  int MoveBy(int Distance);
  bool Bof() const { return FBOF; }
  bool Eof() const { return FEOF; }
  bool IsEmpty() const { return FActiveRecord >= FRecordCount; }
  void Refresh();
  void Resync(TResyncMode Mode);
  int RecordCount() { CheckActive(); return GetRecordCount(); }
  int RecNo() { return GetRecNo(); }
  virtual void SetRecNo(int /*Value*/) {}
  bool FindFirst() { return FindRecord(true, true); }
  bool FindLast() { return FindRecord(true, false); }
  bool FindNext() { return FindRecord(false, true); }
  bool FindPrior() { return FindRecord(false, false); }
  bool Found() const { return FFound; }

  // Bookmarks.
  TBookmark GetBookmark();  // empty on an empty dataset or an unposted record
  void GotoBookmark(const TBookmark& Bookmark);
  void FreeBookmark(TBookmark& Bookmark) { Bookmark.clear(); }
  virtual bool BookmarkValid(const TBookmark& Bookmark);
  virtual int CompareBookmarks(const TBookmark& Bookmark1, const TBookmark& Bookmark2);

  // Editing.
  void Edit();
  void Insert();
  void Append();
  virtual void Post();
  virtual void Cancel();
  void Delete();
  void CheckBrowseMode();
  void UpdateRecord();
  bool CanModify() { return GetCanModify(); }
  void ClearFields();

  // Searching.
  virtual bool Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions Options);
  virtual Variant Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields);
  virtual bool GetCurrentRecord(TRecordBuffer Buffer);

  // Fields.
  TFields& Fields() { return FFields; }
  TFieldDefs& FieldDefs() { return *FFieldDefs; }
  TField* FindField(const String& Name) const { return FFields.FindField(Name); }
  TField* FieldByName(const String& Name) const { return FFields.FieldByName(Name); }
  // The fields named in a ";"-separated list, in its order.
  void GetFieldList(std::vector<TField*>& List, const String& FieldNames);
  void GetFieldNames(TStrings& List);
  Variant FieldValues(const String& FieldNames);
  bool DefaultFields() const { return FDefaultFields; }
  int CalcFieldsSize() const { return FCalcFieldsSize; }
  bool AutoCalcFields = true;
  virtual TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode);
  // The record's bytes of a field; the byte-array forms call the pointer forms.
  virtual bool GetFieldData(TField* Field, void* Buffer) = 0;
  virtual bool GetFieldData(TField* Field, TValueBuffer& Buffer);
  bool GetFieldData(TField* Field, void* Buffer, bool NativeFormat);
  virtual void SetFieldData(TField* Field, const void* Buffer) = 0;
  virtual void SetFieldData(TField* Field, const TValueBuffer& Buffer);
  void SetFieldData(TField* Field, const void* Buffer, bool NativeFormat);

  // Filters.
  const String& Filter() const { return FFilterText; }
  void SetFilter(const String& Value) { SetFilterText(Value); }
  bool Filtered() const { return FFiltered; }
  TFilterOptions FilterOptions() const { return FFilterOptions; }
  const TFilterRecordEvent& OnFilterRecord() const { return FOnFilterRecord; }
  virtual void SetFiltered(bool Value);
  virtual void SetFilterText(const String& Value);
  virtual void SetFilterOptions(TFilterOptions Value);
  virtual void SetOnFilterRecord(const TFilterRecordEvent& Value);

  // Controls and links.
  void DisableControls();
  void EnableControls();
  bool ControlsDisabled() const { return FDisableCount != 0; }
  // Whether DataSource's dataset depends on this one (directly or through its masters).
  bool IsLinkedTo(TDataSource* DataSource) const;
  virtual TDataSource* GetDataSource() { return nullptr; }

  // Events.
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
  TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
  TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
  TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
  TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
  TDataSetNotifyEvent OnCalcFields, OnNewRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;

  // Internal interface used by fields, links and data sources.
  virtual void DataEvent(TDataEvent Event, intptr_t Info);
  void CheckActive() const;   // "Cannot perform this operation on a closed dataset"
  void CheckInactive();       // "Cannot perform this operation on an open dataset"
  TRecordBuffer ActiveBuffer() const;
  int ActiveRecordIndex() const { return FActiveRecord; }
  int BufferRecordCount() const { return FRecordCount; }

 protected:
  // -- Buffers and records --------------------------------------------------
  virtual TRecordBuffer AllocRecordBuffer() = 0;
  virtual void FreeRecordBuffer(TRecordBuffer& Buffer) = 0;
  virtual TGetResult GetRecord(TRecordBuffer Buffer, TGetMode GetMode, bool DoCheck) = 0;
  virtual int GetRecordSize() { return 0; }
  virtual void InternalInitRecord(TRecordBuffer Buffer) = 0;
  virtual void InitRecord(TRecordBuffer Buffer);
  virtual void ClearCalcFields(TRecordBuffer /*Buffer*/) {}
  virtual void GetCalcFields(TRecordBuffer Buffer);
  virtual void CalculateFields(TRecordBuffer Buffer);
  virtual int GetRecordCount() { return -1; }
  virtual int GetRecNo() { return -1; }
  virtual void DataConvert(TField* Field, const void* Source, void* Dest, bool ToNative);
  virtual void DataConvert(TField* Field, const TValueBuffer& Source, TValueBuffer& Dest, bool ToNative);
  virtual void CloseBlob(TField* /*Field*/) {}

  // -- Bookmarks ------------------------------------------------------------
  virtual void GetBookmarkData(TRecordBuffer Buffer, void* Data) = 0;
  virtual void GetBookmarkData(TRecordBuffer Buffer, TBookmark& Data);
  virtual void SetBookmarkData(TRecordBuffer Buffer, const void* Data) = 0;
  virtual void SetBookmarkData(TRecordBuffer Buffer, const TBookmark& Data);
  virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) = 0;
  virtual void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) = 0;
  virtual void InternalGotoBookmark(const void* Bookmark) = 0;
  virtual void InternalSetToRecord(TRecordBuffer Buffer) = 0;

  // -- Cursor ---------------------------------------------------------------
  virtual void OpenCursor(bool InfoQuery);
  virtual void CloseCursor();
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool IsCursorOpen() = 0;
  virtual void InternalFirst() = 0;
  virtual void InternalLast() = 0;
  virtual void InternalRefresh() {}
  virtual void InternalHandleException();
  virtual void InternalInitFieldDefs() = 0;
  void InitFieldDefs();

  // -- Editing --------------------------------------------------------------
  virtual void InternalEdit() {}
  virtual void InternalInsert() {}
  // The framework's post checks (required fields); descendants call it first.
  virtual void InternalPost();
  virtual void InternalCancel() {}
  virtual void InternalDelete() = 0;
  virtual void InternalAddRecord(TRecordBuffer Buffer, bool Append) = 0;
  virtual void InternalAddRecord(const TValueBuffer& Buffer, bool Append) {
    InternalAddRecord(const_cast<TRecordBuffer>(Buffer.data()), Append);
  }
  virtual bool GetCanModify() { return true; }
  virtual void DoOnNewRecord();

  virtual bool GetIsIndexField(TField* /*Field*/) { return false; }

  // -- Provider support: statements, transactions and updates for providers --
 public:
  virtual int PSExecuteStatement(const String& /*ASQL*/, TParams* /*AParams*/) { return 0; }
  virtual int PSExecuteStatement(const String& ASQL, TParams* AParams, TDataSet*& ResultSet) {
    ResultSet = nullptr;
    return PSExecuteStatement(ASQL, AParams);
  }
  virtual String PSGetQuoteChar() { return String(); }
  virtual void PSStartTransaction() {}
  virtual void PSEndTransaction(bool /*Commit*/) {}
  virtual bool PSInTransaction() { return false; }
  virtual bool PSIsSQLBased() { return false; }
  virtual bool PSIsSQLSupported() { return false; }
  virtual void PSReset() {}
  virtual bool PSUpdateRecord(TUpdateKind /*UpdateKind*/, TDataSet* /*Delta*/) { return false; }
  virtual String PSGetTableName() { return String(); }
  virtual void PSSetCommandText(const String& /*CommandText*/) {}
  virtual String PSGetKeyFields() { return String(); }
  virtual void PSSetParams(TParams* /*AParams*/) {}
  virtual TParams* PSGetParams() { return nullptr; }
  virtual void PSExecute() {}
  // A new definition the caller frees, or none.
  virtual TIndexDef* PSGetDefaultOrder() { return nullptr; }
  // A new list the caller frees: the dataset's indexes of the given kinds.
  virtual TIndexDefs* PSGetIndexDefs(TIndexOptions /*IndexTypes*/) { return nullptr; }
  // The definitions of IndexDefs whose options include any of IndexTypes
  // (all of them when IndexTypes is empty), as a new list the caller frees.
  TIndexDefs* GetIndexDefs(TIndexDefs* IndexDefs, TIndexOptions IndexTypes);

 protected:
  // -- Filters, search ------------------------------------------------------
  virtual bool FindRecord(bool /*Restart*/, bool /*GoForward*/) { return false; }
  void SetFound(bool Value) { FFound = Value; }
  bool IsFilterEventActive() const { return FFiltered && FOnFilterRecord != nullptr; }
  // The framework's own setters, for overrides to call.
  void StoreFiltered(bool Value) { FFiltered = Value; }
  void StoreFilterText(const String& Value) { FFilterText = Value; }
  void StoreFilterOptions(TFilterOptions Value) { FFilterOptions = Value; }
  void StoreOnFilterRecord(const TFilterRecordEvent& Value) { FOnFilterRecord = Value; }

  // -- Fields ---------------------------------------------------------------
  virtual void CreateFields();
  virtual void DestroyFields();
  virtual void BindFields(bool Binding);
  void SetDefaultFields(bool Value) { FDefaultFields = Value; }
  virtual void UpdateIndexDefs() {}
  // Told when the field or index definitions change.
  virtual void DefChanged(TObject* /*Sender*/) {}
  void FreeFieldBuffers() {}

  // -- Ring and state helpers for descendants -------------------------------
  void SetState(TDataSetState Value);
  // Runs a state for a moment (calculations, filters) without telling the links.
  TDataSetState SetTempState(TDataSetState Value);
  void RestoreState(TDataSetState Value);
  void CheckOperation(const std::function<void()>& Operation, const TDataSetErrorEvent& ErrorEvent);
  void ClearBuffers();
  void CursorPosChanged() { FCurrentRecord = -1; }
  void UpdateCursorPos();
  void SetBufferCount(int Value);
  int BufferCount() const { return FBufferCount; }
  TRecordBuffer Buffers(int Index) const { return FBuffers[Index]; }
  // The buffer after the last record in the ring: scratch space for searches.
  TRecordBuffer TempBuffer() const { return FBuffers[FRecordCount]; }
  TRecordBuffer CalcBuffer() const { return FCalcBuffer; }
  int BookmarkSize = 0;
  void DoBeforeScroll() { Fire(BeforeScroll); }
  void DoAfterScroll() { Fire(AfterScroll); }
  void SetBOF(bool Value) { FBOF = Value; }
  void SetEOF(bool Value) { FEOF = Value; }

  std::unique_ptr<TFieldDefs> FFieldDefs;

 private:
  friend class TDataSource;
  friend class TDataLink;
  friend class TFieldDefs;
  friend class TIndexDefs;
  friend class TField;
  void Fire(const TDataSetNotifyEvent& Event) { if (Event) Event(this); }
  bool GetNextRecord();
  bool GetPriorRecord();
  int GetNextRecords();
  int GetPriorRecords();
  void SetCurrentRecord(int Index);
  void ActivateBuffers();
  void BeginInsertAppend();
  void EndInsertAppend();
  void AllocateBuffers();
  void FreeBuffers();
  void UpdateBufferCount();
  void AddDataSource(TDataSource* Source);
  void RemoveDataSource(TDataSource* Source);
  // Moves the ring's buffer at From to To, shifting the ones between.
  void MoveBuffer(int From, int To);

  TDataSetState FState = dsInactive;
  bool FModified = false;
  bool FBOF = true, FEOF = true;
  bool FFound = false;
  bool FDefaultFields = false;
  int FCalcFieldsSize = 0;
  TFields FFields;
  std::vector<TRecordBuffer> FBuffers;  // BufferCount ring entries and one spare
  int FBufferCount = 0;
  int FRecordCount = 0;    // ring entries holding records
  int FActiveRecord = 0;
  int FCurrentRecord = -1;  // the ring entry the cursor stands on, -1 unknown
  TRecordBuffer FCalcBuffer = nullptr;
  String FFilterText;
  bool FFiltered = false;
  TFilterOptions FFilterOptions = 0;
  TFilterRecordEvent FOnFilterRecord;
  int FDisableCount = 0;
  TDataSetState FDisableState = dsInactive;
  bool FEnableEvent = false;
  std::vector<TDataSource*> FDataSources;
};
