#pragma once
// A dataset over a vector of rows, overriding the framework's protected
// operations the way an engine dataset does, with counters the tests read.
//
// Record buffer: for each field, one null-flag byte and its data; then the
// row key (bookmark, 4 bytes), the bookmark flag byte and the calculated area.

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "db/dsfw/DB.h"

struct TColumn {
  String Name;
  TFieldType Type;
  int Size = 0;
  bool Required = false;
};

class TVectorDataSet : public TDataSet {
 public:
  using TDataSet::GetFieldData;
  using TDataSet::SetFieldData;

  TVectorDataSet(TComponent* Owner, std::vector<TColumn> Columns) : TDataSet(Owner), FColumns(std::move(Columns)) {}
  ~TVectorDataSet() override {
    Destroying();
    Close();
  }

  // Rows hold the record part of a buffer.
  struct TRow {
    int32_t Key;
    std::vector<uint8_t> Data;
  };
  std::vector<TRow> Rows;
  int32_t NextKey = 1;
  bool ReadOnlyData = false;
  String FilterSeen;      // the filter text as handed over
  int GetRecordCalls = 0;
  std::vector<TDataSetState> FilterStates;
  TDataSource* MasterSource = nullptr;

  TDataSource* GetDataSource() override { return MasterSource; }

  // Adds a row from values in column order (before opening or while browsing).
  void AddRow(const std::vector<Variant>& Values) {
    if (FRecordSize == 0) ComputeLayout();
    TRow Row{NextKey++, std::vector<uint8_t>(static_cast<size_t>(FRecordSize), 0)};
    for (size_t I = 0; I < Values.size(); ++I) {
      if (Values[I].IsNull()) continue;
      uint8_t* P = Row.Data.data() + FOffsets[I];
      P[0] = 1;
      EncodeValue(FColumns[I], Values[I], P + 1);
    }
    Rows.push_back(std::move(Row));
  }

  int32_t KeyOfActive() {
    int32_t Key;
    std::memcpy(&Key, ActiveBuffer() + FRecordSize, 4);
    return Key;
  }

  TRecordBuffer Filtering = nullptr;

  // -- searching as an engine dataset does: the spare buffer in the filter state
  bool Locate(const String& KeyFields, const Variant& KeyValues, TLocateOptions) override {
    CheckBrowseMode();
    int Row = FindRow(KeyFields, KeyValues);
    if (Row < 0) return false;
    DoBeforeScroll();
    FCursor = Row;
    Resync(rmExact | rmCenter);
    DoAfterScroll();
    return true;
  }
  Variant Lookup(const String& KeyFields, const Variant& KeyValues, const String& ResultFields) override {
    int Row = FindRow(KeyFields, KeyValues);
    if (Row < 0) return Variant();
    TDataSetState Saved = SetTempState(dsFilter);
    Filtering = TempBuffer();
    std::memcpy(Filtering, Rows[static_cast<size_t>(Row)].Data.data(), static_cast<size_t>(FRecordSize));
    Variant Result = FieldValues(ResultFields);
    RestoreState(Saved);
    return Result;
  }

  bool BookmarkValid(const TBookmark& B) override { return B.size() == 4 && RowOfKey(KeyOf(B.data())) >= 0; }
  int CompareBookmarks(const TBookmark& A, const TBookmark& B) override {
    if (A.empty() || B.empty()) return A.empty() && B.empty() ? 0 : (A.empty() ? 1 : -1);
    int RA = RowOfKey(KeyOf(A.data())), RB = RowOfKey(KeyOf(B.data()));
    return RA < RB ? -1 : RA > RB ? 1 : 0;
  }

  bool GetFieldData(TField* Field, void* Buffer) override {
    TRecordBuffer Record = RecordOfState();
    if (Record == nullptr) return false;
    const uint8_t* P = Field->Calculated() ? Record + FRecordSize + 5 + Field->Offset() : Record + FOffsets[Field->FieldNo() - 1];
    if (P[0] == 0) return false;
    if (Buffer) std::memcpy(Buffer, P + 1, static_cast<size_t>(Field->DataSize()));
    return true;
  }

  void SetFieldData(TField* Field, const void* Buffer) override {
    TDataSetState S = State();
    if (S != dsEdit && S != dsInsert && S != dsSetKey && S != dsCalcFields && S != dsFilter && S != dsNewValue)
      DatabaseError("Dataset not in edit or insert mode", this);
    TRecordBuffer Record = RecordOfState();
    uint8_t* P = Field->Calculated() ? Record + FRecordSize + 5 + Field->Offset() : Record + FOffsets[Field->FieldNo() - 1];
    if (Field->FieldKind == fkData) Field->Validate(Buffer);
    P[0] = Buffer ? 1 : 0;
    if (Buffer) std::memcpy(P + 1, Buffer, static_cast<size_t>(Field->DataSize()));
    if (S != dsCalcFields && S != dsFilter && S != dsNewValue) DataEvent(deFieldChange, reinterpret_cast<intptr_t>(Field));
  }

  // BLOB contents live in BlobStore; the record holds the slot number.
  std::vector<std::vector<uint8_t>> BlobStore;
  class TBlob : public TMemoryStream {
   public:
    TBlob(TVectorDataSet* DS, TField* Field, TRecordBuffer Record, bool Writing)
        : FDS(DS), FField(Field), FRecord(Record), FWriting(Writing) {}
    ~TBlob() override {
      if (!FWriting) return;
      uint8_t* P = FRecord + FDS->FOffsets[FField->FieldNo() - 1];
      auto Slot = static_cast<int32_t>(FDS->BlobStore.size());
      FDS->BlobStore.emplace_back(Memory(), Memory() + Size());
      P[0] = 1;
      std::memcpy(P + 1, &Slot, 4);
    }

   private:
    TVectorDataSet* FDS;
    TField* FField;
    TRecordBuffer FRecord;
    bool FWriting;
  };
  TStream* CreateBlobStream(TField* Field, TBlobStreamMode Mode) override {
    TRecordBuffer Record = RecordOfState();
    if (Mode != bmRead && State() != dsEdit && State() != dsInsert)
      DatabaseError("Dataset not in edit or insert mode", this);
    auto* Stream = new TBlob(this, Field, Record, Mode != bmRead);
    const uint8_t* P = Record ? Record + FOffsets[Field->FieldNo() - 1] : nullptr;
    if (Mode != bmWrite && P != nullptr && P[0] != 0) {
      int32_t Slot;
      std::memcpy(&Slot, P + 1, 4);
      const auto& Bytes = BlobStore[static_cast<size_t>(Slot)];
      if (!Bytes.empty()) Stream->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
      Stream->Seek(0, soBeginning);
    }
    return Stream;
  }

  void SetFilterText(const String& Value) override {
    TDataSet::SetFilterText(Value);
    FilterSeen = Value;
    if (Active() && Filtered()) First();
  }

 protected:
  TRecordBuffer AllocRecordBuffer() override {
    return new uint8_t[static_cast<size_t>(FRecordSize + 5 + CalcFieldsSize())]();
  }
  void FreeRecordBuffer(TRecordBuffer& Buffer) override {
    delete[] Buffer;
    Buffer = nullptr;
  }

  TGetResult GetRecord(TRecordBuffer Buffer, TGetMode Mode, bool) override {
    ++GetRecordCalls;
    int N = static_cast<int>(Rows.size());
    for (;;) {
      if (Mode == gmNext) {
        if (FCursor < N) ++FCursor;
        if (FCursor >= N) return grEOF;
      } else if (Mode == gmPrior) {
        if (FCursor >= 0) --FCursor;
        if (FCursor < 0) return grBOF;
      } else if (FCursor < 0 || FCursor >= N) {
        return grError;
      }
      Fill(Buffer, FCursor);
      if (Accept(Buffer)) break;
      if (Mode == gmCurrent) return grError;
    }
    GetCalcFields(Buffer);
    return grOK;
  }

  void InternalInitRecord(TRecordBuffer Buffer) override {
    std::memset(Buffer, 0, static_cast<size_t>(FRecordSize + 5));
  }
  void ClearCalcFields(TRecordBuffer Buffer) override {
    std::memset(Buffer + FRecordSize + 5, 0, static_cast<size_t>(CalcFieldsSize()));
  }
  int GetRecordCount() override {
    int Count = 0;
    std::vector<uint8_t> Scratch(static_cast<size_t>(FRecordSize + 5 + CalcFieldsSize()));
    for (size_t I = 0; I < Rows.size(); ++I) {
      Fill(Scratch.data(), static_cast<int>(I));
      Count += Accept(Scratch.data()) ? 1 : 0;
    }
    return Count;
  }

  void GetBookmarkData(TRecordBuffer Buffer, void* Data) override { std::memcpy(Data, Buffer + FRecordSize, 4); }
  void SetBookmarkData(TRecordBuffer Buffer, const void* Data) override {
    if (Data) std::memcpy(Buffer + FRecordSize, Data, 4);
  }
  TBookmarkFlag GetBookmarkFlag(TRecordBuffer Buffer) override {
    return static_cast<TBookmarkFlag>(Buffer[FRecordSize + 4]);
  }
  void SetBookmarkFlag(TRecordBuffer Buffer, TBookmarkFlag Value) override {
    Buffer[FRecordSize + 4] = static_cast<uint8_t>(Value);
  }
  void InternalGotoBookmark(const void* Bookmark) override {
    int Row = RowOfKey(KeyOf(Bookmark));
    if (Row < 0) DatabaseError("Record not found", this);
    FCursor = Row;
  }
  void InternalSetToRecord(TRecordBuffer Buffer) override {
    if (GetBookmarkFlag(Buffer) == bfCurrent) InternalGotoBookmark(Buffer + FRecordSize);
  }

  void InternalOpen() override {
    FCursor = -1;
    InitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    ComputeLayout();
    BookmarkSize = 4;
    FOpen = true;
  }
  void InternalClose() override {
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    FOpen = false;
  }
  bool IsCursorOpen() override { return FOpen; }
  void InternalFirst() override { FCursor = -1; }
  void InternalLast() override { FCursor = static_cast<int>(Rows.size()); }
  // Rows may have moved behind the dataset's back: find the record again.
  void InternalRefresh() override {
    if (!IsEmpty()) FCursor = std::max(RowOfKey(KeyOfActive()), 0);
  }
  void InternalInitFieldDefs() override {
    FieldDefs().Clear();
    for (const TColumn& C : FColumns) FieldDefs().Add(C.Name, C.Type, C.Size, C.Required);
  }

  void InternalPost() override {
    TDataSet::InternalPost();
    std::vector<uint8_t> Data(ActiveBuffer(), ActiveBuffer() + FRecordSize);
    if (State() == dsEdit) {
      Rows[static_cast<size_t>(RowOfKey(KeyOfActive()))].Data = std::move(Data);
      return;
    }
    // Appended buffers carry the end-of-file flag; inserts go before the cursor's record.
    int At = GetBookmarkFlag(ActiveBuffer()) == bfEOF || FCursor < 0 || FCursor >= static_cast<int>(Rows.size())
                 ? static_cast<int>(Rows.size())
                 : FCursor;
    Rows.insert(Rows.begin() + At, TRow{NextKey++, std::move(Data)});
    FCursor = At;
  }
  void InternalDelete() override { Rows.erase(Rows.begin() + FCursor); }
  void InternalAddRecord(TRecordBuffer Buffer, bool) override {
    Rows.push_back(TRow{NextKey++, std::vector<uint8_t>(Buffer, Buffer + FRecordSize)});
    FCursor = static_cast<int>(Rows.size()) - 1;
  }
  bool GetCanModify() override { return !ReadOnlyData; }

 private:
  static int32_t KeyOf(const void* P) {
    int32_t Key;
    std::memcpy(&Key, P, 4);
    return Key;
  }
  int RowOfKey(int32_t Key) const {
    for (size_t I = 0; I < Rows.size(); ++I)
      if (Rows[I].Key == Key) return static_cast<int>(I);
    return -1;
  }
  void Fill(TRecordBuffer Buffer, int Row) {
    const TRow& R = Rows[static_cast<size_t>(Row)];
    std::memcpy(Buffer, R.Data.data(), static_cast<size_t>(FRecordSize));
    std::memcpy(Buffer + FRecordSize, &R.Key, 4);
    Buffer[FRecordSize + 4] = bfCurrent;
  }
  bool Accept(TRecordBuffer Buffer) {
    if (!IsFilterEventActive()) return true;
    bool Ok = true;
    TDataSetState Saved = SetTempState(dsFilter);
    Filtering = Buffer;
    FilterStates.push_back(State());
    try {
      OnFilterRecord()(this, Ok);
    } catch (...) {
      RestoreState(Saved);
      throw;
    }
    RestoreState(Saved);
    return Ok;
  }
  TRecordBuffer RecordOfState() {
    switch (State()) {
      case dsBrowse: return IsEmpty() ? nullptr : ActiveBuffer();
      case dsEdit:
      case dsInsert: return ActiveBuffer();
      case dsCalcFields: return CalcBuffer();
      case dsFilter: return Filtering;
      default: return nullptr;
    }
  }
  int FindRow(const String& KeyFields, const Variant& KeyValues) {
    std::vector<TField*> Keys;
    GetFieldList(Keys, KeyFields);
    TDataSetState Saved = SetTempState(dsFilter);
    int Found = -1;
    for (size_t I = 0; I < Rows.size() && Found < 0; ++I) {
      Filtering = TempBuffer();
      Fill(Filtering, static_cast<int>(I));
      bool Match = true;
      for (size_t K = 0; K < Keys.size() && Match; ++K)
        Match = Keys[K]->GetAsVariant() == KeyValues.Item(static_cast<int>(K));
      if (Match) Found = static_cast<int>(I);
    }
    RestoreState(Saved);
    return Found;
  }
  static int NativeSize(const TColumn& C) {
    switch (C.Type) {
      case ftString: case ftFixedChar: case ftGuid: return C.Size + 1;
      case ftWideString: return (C.Size + 1) * 2;
      case ftSmallint: case ftWord: case ftBoolean: return 2;
      case ftInteger: case ftAutoInc: case ftDate: case ftTime: return 4;
      case ftLargeint: case ftFloat: case ftCurrency: case ftDateTime: return 8;
      case ftTimeStamp: return static_cast<int>(sizeof(TSQLTimeStamp));
      case ftBytes: return C.Size;
      case ftBlob: case ftMemo: case ftWideMemo: case ftGraphic: return 4;  // a slot of BlobStore
      case ftVarBytes: return C.Size + 2;
      default: return 0;
    }
  }
  void ComputeLayout() {
    FOffsets.clear();
    int Offset = 0;
    for (const TColumn& C : FColumns) {
      FOffsets.push_back(Offset);
      Offset += 1 + NativeSize(C);
    }
    FRecordSize = Offset;
  }
  static void EncodeValue(const TColumn& C, const Variant& V, uint8_t* P) {
    switch (C.Type) {
      case ftInteger: { int32_t N = static_cast<int32_t>(V.AsInt64()); std::memcpy(P, &N, 4); break; }
      case ftFloat: { double D = V.AsFloat(); std::memcpy(P, &D, 8); break; }
      case ftString: { String S = V.AsString(); std::memcpy(P, S.data(), std::min<size_t>(S.size(), static_cast<size_t>(C.Size))); break; }
      default: break;
    }
  }

  std::vector<TColumn> FColumns;
  std::vector<int> FOffsets;
  int FRecordSize = 0;
  int FCursor = -1;
  bool FOpen = false;
};

// The message of the database error an action raises.
template <class F>
String ErrorOf(F&& Action) {
  try {
    Action();
  } catch (EDatabaseError& E) {
    return E.Message;
  }
  return "(no error)";
}

// A link that records what the dataset tells its controls.
class TRecordingLink : public TDataLink {
 public:
  std::vector<String> Log;

 protected:
  void ActiveChanged() override { Log.push_back(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { Log.push_back("changed"); }
  void DataSetScrolled(int Distance) override { Log.push_back("scrolled " + std::to_string(Distance)); }
  void RecordChanged(TField* Field) override { Log.push_back(Field ? "field " + Field->FieldName : "record"); }
  void EditingChanged() override { Log.push_back(Editing() ? "editing" : "not editing"); }
};
