#pragma once
// The dataset layer's "advanced" field and index definitions, which carry
// everything the engine knows about a column or an index in plain
// properties; the conversions between them, the framework's definitions and
// the engine's metadata definitions; and the BLOB stream that datasets hand
// to the framework for BLOB fields.

#include <cstdint>
#include <memory>
#include <vector>

#include "db/dsfw/DB.h"
#include "db/storage/VelqorimBase.h"
#include "db/support/DAZStreams.h"
#include "db/support/DAZVariant.h"

// What definitions and BLOB streams need of the dataset they belong to. The
// dataset base implements it beside TDataSet; a dataset without it has no
// engine BLOBs and no index-definition update.
class IVelqorimDataSetServices {
 public:
  virtual ~IVelqorimDataSetServices() = default;
  virtual bool IsReadOnlyDataSet() = 0;
  // The engine stream under a dataset BLOB stream, or nullptr; the dataset owns it.
  virtual TABSStream* CreateEngineBlobStream(TField* Field, TBlobStreamMode Mode) = 0;
  // The framework's CloseBlob.
  virtual void CloseEngineBlob(TField* Field) = 0;
  // The framework's index-definition update hook.
  virtual void UpdateAdvIndexDefs() = 0;
  // The application's exception handler, for exceptions that must not leave a destructor.
  virtual void HandleDataSetException() = 0;
};

class TVelqorimAdvFieldDef : public TObject {
 public:
  TVelqorimAdvFieldDef() = default;
  TVelqorimAdvFieldDef(const TVelqorimAdvFieldDef&) = delete;
  TVelqorimAdvFieldDef& operator=(const TVelqorimAdvFieldDef&) = delete;
  void Assign(const TVelqorimAdvFieldDef& Source);

  String Name;
  int32_t ObjectID = -1;
  TABSAdvancedFieldType DataType = aftUnknown;
  bool Required = false;
  int32_t Size = 0;
  TABSVariant DefaultValue;
  TABSVariant MinValue;  // null: no bound
  TABSVariant MaxValue;
  int64_t AutoincIncrement = 1;
  int64_t AutoincInitialValue = 0;
  int64_t AutoincMinValue = 0;
  int64_t AutoincMaxValue = INT64_MAX;
  bool AutoincCycled = false;
  TABSCompressionAlgorithm BLOBCompressionAlgorithm = acaNone;
  uint8_t BLOBCompressionMode = 0;
  int32_t BLOBBlockSize = ABSDefaultStreamBlockSize;
};

// An ordered list that owns its definitions; names compare without regard to case.
template <class TDef>
class TVelqorimAdvDefList : public TObject {
 public:
  TVelqorimAdvDefList() = default;
  TVelqorimAdvDefList(const TVelqorimAdvDefList&) = delete;
  TVelqorimAdvDefList& operator=(const TVelqorimAdvDefList&) = delete;

  int GetCount() const { return static_cast<int>(FDefsList.size()); }
  int Count() const { return GetCount(); }
  TDef* GetDef(int Index) const { return FDefsList.at(static_cast<size_t>(Index)).get(); }
  TDef* operator[](int Index) const { return GetDef(Index); }
  // Frees the definition at Index and stores Value (taking ownership).
  void SetDef(int Index, TDef* Value) { FDefsList.at(static_cast<size_t>(Index)).reset(Value); }
  TDef* Find(const String& Name) const {
    const int i = IndexOf(Name);
    return i < 0 ? nullptr : GetDef(i);
  }
  void Clear() { FDefsList.clear(); }

 protected:
  TDef* AddDef() {
    FDefsList.push_back(std::make_unique<TDef>());
    return FDefsList.back().get();
  }
  int IndexOf(const String& Name) const {
    for (size_t i = 0; i < FDefsList.size(); ++i)
      if (SameDefName(FDefsList[i]->Name, Name)) return static_cast<int>(i);
    return -1;
  }
  // NotFoundCode with NotFoundText when no definition has that name.
  void DeleteDef(const String& Name, int NotFoundCode, const char* NotFoundText);

  std::vector<std::unique_ptr<TDef>> FDefsList;
};

class TVelqorimAdvFieldDefs : public TVelqorimAdvDefList<TVelqorimAdvFieldDef> {
 public:
  TVelqorimAdvFieldDef* AddFieldDef() { return AddDef(); }
  TVelqorimAdvFieldDef* Add(const String& Name, TABSAdvancedFieldType DataType, int Size = 0, bool Required = false,
                            TABSCompressionAlgorithm BLOBCompressionAlgorithm = acaNone,
                            uint8_t BLOBCompressionMode = 0);
  // 30349 when no definition has that name.
  void DeleteFieldDef(const String& FieldName) { DeleteDef(FieldName, 30349, "Field '%s' not found"); }
  void Assign(const TVelqorimAdvFieldDefs& Source);
};

class TVelqorimAdvIndexDef : public TObject {
 public:
  void Assign(const TVelqorimAdvIndexDef& ASource);

  String Name;
  String Fields;  // ";"-separated (a "," is taken too)
  String DescFields;
  String CaseInsFields;
  TIndexOptions Options = 0;
  String MaxIndexedSizes;  // per column, the leading characters indexed
  bool Temporary = false;
};

class TVelqorimAdvIndexDefs : public TVelqorimAdvDefList<TVelqorimAdvIndexDef> {
 public:
  explicit TVelqorimAdvIndexDefs(TDataSet* ADataSet = nullptr) : FDataset(ADataSet) {}

  TVelqorimAdvIndexDef* AddIndexDef() { return AddDef(); }
  TVelqorimAdvIndexDef* Add(const String& Name, const String& Fields, TIndexOptions Options = 0,
                            bool Temporary = false, const String& DescFields = String(),
                            const String& CaseInsFields = String(), const String& MaxIndexedSizes = String());
  // 20190 when no definition has that name.
  void DeleteIndexDef(const String& IndexName) { DeleteDef(IndexName, 20190, "Index '%s' not found"); }
  // With SkipTemporaryIndexes, definitions marked temporary or whose name
  // holds "TEMPORARY" (any case) are left out.
  void Assign(const TVelqorimAdvIndexDefs& Source, bool SkipTemporaryIndexes = false);
  void Update();
  TDataSet* DataSet() const { return FDataset; }

 private:
  TDataSet* FDataset;  // borrowed
};

// A dataset's BLOB field as a stream, over the engine's BLOB stream of the
// current record. Only a stream that changed the BLOB tells the dataset's
// links of a field change when it is freed.
class TVelqorimBLOBStream : public TABSStream {
 public:
  // 10106 for a writing mode on a read-only dataset. Write mode empties the BLOB.
  TVelqorimBLOBStream(TBlobField* Field, TBlobStreamMode Mode);
  ~TVelqorimBLOBStream() override;

  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  void SetSize(int64_t NewSize) override;
  void Truncate();

  TABSStream* BLOBStream() const { return FBLOBStream; }
  // The stored (compressed) size of the BLOB; 0 without an engine stream.
  int64_t CompressedSize();

 private:
  TBlobField* FField = nullptr;
  TDataSet* FDataSet = nullptr;
  IVelqorimDataSetServices* FServices = nullptr;
  TABSStream* FBLOBStream = nullptr;  // owned by the dataset's cursor
};

// ---------------------------------------------------------------------------
// Conversions. Every routine clears its target first.

void FieldDefsToEngineFieldDefs(const TFieldDefs& FieldDefs, TVelqorimFieldDefs& EngineFieldDefs);
void FieldDefsToAdvFieldDefs(const TFieldDefs& FieldDefs, TVelqorimAdvFieldDefs& AdvFieldDefs);
void AdvFieldDefsToFieldDefs(const TVelqorimAdvFieldDefs& AdvFieldDefs, TFieldDefs& FieldDefs);
// NOT NULL and CHECK constraints come from the columns (unless
// SkipColumnConstraints), primary-key and unique ones from the indexes.
void AdvFieldDefsToEngineFieldDefs(const TVelqorimAdvFieldDefs& AdvFieldDefs, const TVelqorimIndexDefs& EngineIndexDefs,
                                   TVelqorimFieldDefs& EngineFieldDefs, TVelqorimConstraintDefs& ConstraintDefs,
                                   bool SkipColumnConstraints = false);
// EngineFieldDefs are the visible ones; constraints name columns of TableFieldDefs
// by object id (30031 / 30032 when absent, 30039 for a kind not converted).
void EngineFieldDefsToAdvFieldDefs(const TVelqorimFieldDefs& EngineFieldDefs, const TVelqorimFieldDefs& TableFieldDefs,
                                   const TVelqorimConstraintDefs& ConstraintDefs, TVelqorimAdvFieldDefs& AdvFieldDefs);
void EngineFieldDefsToFieldDefs(const TVelqorimFieldDefs& EngineFieldDefs, const TVelqorimConstraintDefs& ConstraintDefs,
                                TFieldDefs& FieldDefs);

// 20048 for an empty name, 20049 without fields, 20050 for a field FieldDefs lacks.
void FillEngineIndexDef(TVelqorimIndexDef& IndexDef, const String& Name, const String& Fields,
                        const TFieldDefs& FieldDefs, const String& MaxIndexedSizes, const String& CaseInsFields,
                        const String& DescFields, bool Temporary, TIndexOptions Options);
void AdvIndexDefToEngineIndexDef(const TVelqorimAdvIndexDef& AdvIndexDef, TVelqorimIndexDef& IndexDef,
                                 const TFieldDefs& FieldDefs);
void AdvIndexDefsToEngineIndexDefs(const TVelqorimAdvIndexDefs& AdvIndexDefs, TVelqorimIndexDefs& IndexDefs,
                                   const TFieldDefs& FieldDefs);
void EngineIndexDefToAdvIndexDef(const TVelqorimIndexDef& IndexDef, TVelqorimAdvIndexDef& AdvIndexDef);
void EngineIndexDefsToAdvIndexDefs(const TVelqorimIndexDefs& IndexDefs, TVelqorimAdvIndexDefs& AdvIndexDefs);
void AdvIndexDefsToIndexDefs(const TVelqorimAdvIndexDefs& AdvIndexDefs, TIndexDefs& IndexDefs);
void IndexDefsToAdvIndexDefs(const TIndexDefs& IndexDefs, TVelqorimAdvIndexDefs& AdvIndexDefs);

// Before a table is made from advanced definitions: defaults, minimum and
// maximum values take the column's storage type (empty texts become null;
// default-value expressions stay text), and sizes stay only on the types that
// take one (a GUID column is 38 characters). A value that cannot take the
// type raises the cast's error.
void NormalizeAdvFieldDefs(TVelqorimAdvFieldDefs& AdvFieldDefs);
// Index columns keep a positive indexed size only on columns whose type takes
// a length; every other column indexes 20. Definitions that change are
// written back.
void AdjustIndexColumnSizes(TVelqorimAdvIndexDefs& AdvIndexDefs, const TVelqorimAdvFieldDefs& AdvFieldDefs,
                            const TFieldDefs& FieldDefs);

// A primary index gives a primary-key constraint "C_PK$A$B...", a unique one a
// unique constraint "C_Unique$A..."; any other nothing (nullptr).
TVelqorimConstraintDef* AddConstraintDefFromIndexDef(const TVelqorimIndexDef& IndexDef,
                                                     TVelqorimConstraintDefs& ConstraintDefs);
// Names separated by ";" or ",", trimmed; "A;;B" keeps its empty middle entry.
void SplitFieldList(TStrings& List, const String& Text);
bool FieldDefsHasField(const TFieldDefs& FieldDefs, const String& Name);
// Stored numbers 1 to 3 keep their value; anything else is acaNone.
TABSCompressionAlgorithm ToCompressionAlgorithm(int Value);

[[noreturn]] void RaiseEngineError(int ResultCode, const String& Text);
// Raises EVelqorimEngineError for a code other than 0.
void CheckEngineError(int ResultCode, const String& Text);
