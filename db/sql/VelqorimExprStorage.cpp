// The storage engine's side of expressions: its cursors seen through the
// expression layer's cursor view, and the hooks through which the engine binds
// and evaluates filters and default values.
#include "db/sql/VelqorimExprUtil.h"
#include "db/storage/VelqorimBaseEngine.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "db/support/DAZUnicode.h"

namespace {

class TVelqorimCursorLink : public TVelqorimExprCursor {
 public:
  explicit TVelqorimCursorLink(TVelqorimCursor& Cursor) : FCursor(Cursor) {}

  bool FindFieldDef(const String& Name, bool Visible, TVelqorimExprFieldInfo& Info) override {
    const TVelqorimFieldDefs& list = Visible ? FCursor.VisibleFieldDefs : FCursor.FieldDefs;
    const int no = list.GetDefNumberByName(Name);
    if (no < 0) return false;
    const int fieldNo = Visible ? list.GetDef(no)->FieldNoReference : no;
    if (fieldNo < 0 || fieldNo >= FCursor.FieldDefs.Count()) return false;
    const TVelqorimFieldDef& d = *FCursor.FieldDefs.GetDef(fieldNo);
    Info.FieldNo = fieldNo;
    Info.MemoryOffset = d.MemoryOffset;
    Info.MemoryDataSize = d.MemoryDataSize;
    Info.AdvancedFieldType = d.AdvancedFieldType;
    Info.BaseFieldType = d.BaseFieldType;
    Info.FieldSize = d.FieldSize;
    return true;
  }
  uint8_t* GetCurrentRecordBuffer() override { return FCursor.CurrentRecordBuffer; }
  void SetCurrentRecordBuffer(uint8_t* Buffer) override { FCursor.CurrentRecordBuffer = Buffer; }

  void ReadBlobText(int FieldNo, uint8_t* Buffer, TABSVariant& Value) override {
    uint8_t* saved = FCursor.CurrentRecordBuffer;
    FCursor.CurrentRecordBuffer = Buffer;
    String bytes;
    try {
      TABSStream* s = FCursor.InternalCreateBlobStream(false, false, FieldNo, bomRead, false);
      if (s) {
        bytes.resize(static_cast<size_t>(std::max<int64_t>(0, s->Size())));
        s->SetPosition(0);
        bytes.resize(static_cast<size_t>(std::max<int64_t>(0, s->Read(bytes.data(), static_cast<int64_t>(bytes.size())))));
        FCursor.InternalCloseBLOB(FieldNo);
      }
    } catch (...) {
      FCursor.CurrentRecordBuffer = saved;
      throw;
    }
    FCursor.CurrentRecordBuffer = saved;
    const bool wide = FCursor.FieldDefs.GetDef(FieldNo)->BaseFieldType == bftWideClob;
    if (wide) Value.SetAsWideString(WideString(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2));
    else Value.SetAsAnsiString(bytes);
  }

  uint8_t* AllocateRecordBuffer() override { return FCursor.AllocateRecordBuffer(); }
  int GetRecordBufferSize() const override { return FCursor.RecordBufferSize; }
  void SetFieldValue(const TABSVariant& Value, int FieldNo, bool DirectAccess, uint8_t* RecordBuffer) override {
    FCursor.SetFieldValue(Value, FieldNo, DirectAccess, RecordBuffer);
  }

 private:
  TVelqorimCursor& FCursor;
};

// The expression's view of a cursor, made once per cursor and kept with the expression.
TVelqorimExprCursor* LinkFor(TVelqorimExpression& Expr, TVelqorimCursor* Cursor) {
  if (!Cursor) return nullptr;
  for (auto& l : Expr.FCursorLinks)
    if (l.Cursor == Cursor) return l.Link.get();
  Expr.FCursorLinks.push_back({Cursor, std::make_unique<TVelqorimCursorLink>(*Cursor)});
  return Expr.FCursorLinks.back().Link.get();
}

void Bind(TVelqorimExpression& Expr, TVelqorimCursor* Cursor, TObject* ParentQueryAO, TVelqorimCursor* ParentCursor) {
  TVelqorimExprCursor* link = LinkFor(Expr, Cursor);
  Expr.LCursor = link;
  Expr.AssignCursor(link, dynamic_cast<TVelqorimAO*>(ParentQueryAO), LinkFor(Expr, ParentCursor));
}

}  // namespace

void InstallVelqorimExpressionHooks() {
  TVelqorimLocalCursor::FilterFactory = [](TVelqorimCursor& Cursor, const String& Filter, bool CaseInsensitive,
                                           bool PartialKey) -> std::unique_ptr<TABSBaseExpression> {
    auto e = std::make_unique<TVelqorimExpression>();
    e->ParseForFilter(LinkFor(*e, &Cursor), Filter, CaseInsensitive, PartialKey);
    return e;
  };
  TVelqorimLocalCursor::LocateFactory = [](TVelqorimCursor& Cursor, const String& KeyFields,
                                           const std::vector<TABSVarData>& KeyValues, bool CaseInsensitive,
                                           bool PartialKey) -> std::unique_ptr<TABSBaseExpression> {
    auto e = std::make_unique<TVelqorimExpression>();
    e->ParseForLocate(LinkFor(*e, &Cursor), KeyFields, KeyValues, KeyValues.size() > 1, CaseInsensitive, PartialKey);
    return e;
  };
  TVelqorimLocalCursor::MatchFactory = [](TVelqorimCursor& Cursor, const String& FieldName, TABSDataOperator Operator,
                                          const TABSVariant& Value) -> std::unique_ptr<TABSBaseExpression> {
    auto e = std::make_unique<TVelqorimExpression>();
    e->ParseForIsAnyRecordMatchCondition(LinkFor(*e, &Cursor), FieldName, Operator, Value);
    return e;
  };
  TVelqorimCursor::SQLFilterBinder = [](TABSBaseExpression* FilterExpr, TVelqorimCursor* Cursor,
                                        TObject* ParentQueryAO, TVelqorimCursor* ParentCursor) {
    if (auto* e = dynamic_cast<TVelqorimExpression*>(FilterExpr)) Bind(*e, Cursor, ParentQueryAO, ParentCursor);
  };
  TVelqorimTableData::EvaluateExpression = [](TABSBaseExpression* Expression, const uint8_t* RecordBuffer,
                                              TVelqorimCursor& Cursor) {
    auto* e = dynamic_cast<TVelqorimExpression*>(Expression);
    if (!e) return true;
    if (e->IsEmpty()) return true;  // every conjunct went into the index scan
    TVelqorimExprCursor* link = LinkFor(*e, &Cursor);
    if (e->LCursor != link) Bind(*e, &Cursor, nullptr, nullptr);
    // The columns only read the buffer.
    e->AssignCursorBuffer(const_cast<uint8_t*>(RecordBuffer), false);
    return e->GetResult();
  };
  DefaultValueExprFactory = [](const TABSVariant& DefaultValue) -> std::unique_ptr<TObject> {
    if (!IsDefaultValueExpression(DefaultValue)) return nullptr;
    auto e = std::make_unique<TVelqorimExpression>();
    if (!e->ParseForDefaultValueExpression(UTF16ToUTF8(DefaultValue.GetAsWideString()))) return nullptr;
    return e;
  };
  TVelqorimTableData::EvaluateDefault = [](TObject* DefaultValueExpr, TABSVariant& Result) {
    auto* e = dynamic_cast<TVelqorimExpression*>(DefaultValueExpr);
    if (!e) return;
    if (const TABSVariant* v = e->GetValue(true)) Result.Assign(*v, true);
  };
}
