// The node base, constants, columns, comparisons, Boolean operators, CASE,
// COALESCE and CAST.
#include <algorithm>

#include "db/sql/VelqorimExprUtil.h"
#include "db/support/DAZUnicode.h"

TVelqorimSubqueryFactory VelqorimSubqueryFactory;
TVelqorimAutoincSourceFactory VelqorimAutoincSourceFactory;
std::function<void(TDataSet*, String&, String&)> VelqorimDatasetNames;

String OperatorName(TABSDataOperator Op) {
  switch (Op) {
    case doEQ: return "=";
    case doNE: return "<>";
    case doGT: return ">";
    case doLT: return "<";
    case doGE: return ">=";
    case doLE: return "<=";
    case doNOT: return "NOT";
    case doAND: return "AND";
    case doOR: return "OR";
    case doLIKE: return "LIKE";
    case doNOTLIKE: return "NOT LIKE";
    case doISNULL: return "IS NULL";
    case doISNOTNULL: return "IS NOT NULL";
    case doADD: return "+";
    case doSUB: return "-";
    case doMUL: return "*";
    case doDIV: return "/";
    case doCONCAT: return "||";
    case doUPPER: return "UPPER";
    case doLOWER: return "LOWER";
    case doTRIM: return "TRIM";
    case doLTRIM: return "LTRIM";
    case doRTRIM: return "RTRIM";
    case doSUBSTRING: return "SUBSTRING";
    case doTOSTRING: return "TOSTRING";
    case doSUM: return "SUM";
    case doAVG: return "AVG";
    case doMIN: return "MIN";
    case doMAX: return "MAX";
    case doCOUNT: return "COUNT";
    case doCOUNTALL: return "COUNT(*)";
    default: return "unknown";
  }
}

TABSAdvancedFieldType SQLTypeNameToAdvancedFieldType(const String& Name) {
  const String upper = UpperCase(Name);
  for (const TSQLFieldType& row : SQLFieldTypes)
    if (upper == row.SqlName) return row.AdvancedFieldType;
  return aftUnknown;
}

void SplitNameList(std::vector<String>& List, const String& Text) {
  List.clear();
  size_t pos = 0;
  while (pos < Text.size()) {
    size_t end = Text.find(';', pos);
    if (end == String::npos) end = Text.size();
    size_t a = pos, b = end;
    while (a < b && static_cast<unsigned char>(Text[a]) <= ' ') a++;
    while (b > a && static_cast<unsigned char>(Text[b - 1]) <= ' ') b--;
    List.push_back(UpperCase(std::string_view(Text).substr(a, b - a)));
    pos = end + 1;
  }
}

TVelqorimExprNode* WrapInCast(TVelqorimExprNodePtr& Slot, TABSAdvancedFieldType Type) {
  if (Slot->GetDataType() == Type || dynamic_cast<TVelqorimExprNodeCast*>(Slot.get())) return Slot.get();
  Slot = std::make_unique<TVelqorimExprNodeCast>(std::move(Slot), Type, nullptr);
  return Slot.get();
}

// ---------------------------------------------------------------------------
// Base

TVelqorimExprNode::TVelqorimExprNode(TABSDataOperator Op, bool CaseInsensitive, bool PartialKey)
    : Operator(Op), Value(bftUnknown), FCaseInsensitive(CaseInsensitive), FPartialKey(PartialKey) {}

TVelqorimExprNode* TVelqorimExprNode::AddChild(TVelqorimExprNodePtr Node) {
  Children.push_back(std::move(Node));
  return Children.back().get();
}

void TVelqorimExprNode::PrepareTypes() {
  for (auto& c : Children)
    if (c) c->PrepareTypes();
}

bool TVelqorimExprNode::IsAggregated() {
  return std::any_of(Children.begin(), Children.end(), [](auto& c) { return c && c->IsAggregated(); });
}

void TVelqorimExprNode::Init() {
  for (auto& c : Children)
    if (c) c->Init();
}

void TVelqorimExprNode::Accumulate() {
  for (auto& c : Children)
    if (c) c->Accumulate();
}

void TVelqorimExprNode::AssignAO(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO, TVelqorimExprCursor* ParentCursor) {
  for (auto& c : Children)
    if (c) c->AssignAO(AO, ParentQueryAO, ParentCursor);
}

void TVelqorimExprNode::AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO* ParentQueryAO,
                                     TVelqorimExprCursor* ParentCursor) {
  for (auto& c : Children)
    if (c) c->AssignCursor(Cursor, ParentQueryAO, ParentCursor);
}

void TVelqorimExprNode::AssignCursorBuffer(uint8_t* Buffer, bool ApplyToParentQueryFields) {
  for (auto& c : Children)
    if (c) c->AssignCursorBuffer(Buffer, ApplyToParentQueryFields);
}

TABSAdvancedFieldType TVelqorimExprNode::GetDataType() {
  if (Children.empty()) throw EABSException(30283, "Cannot determine expression type");
  TABSAdvancedFieldType t = Children[0]->GetDataType();
  for (size_t i = 1; i < Children.size(); ++i) t = GetResultAdvancedFieldType(t, Children[i]->GetDataType(), false);
  if (t == aftUnknown) throw EABSException(30283, "Cannot determine expression type");
  return t;
}

int TVelqorimExprNode::GetDataSize() {
  if (Operator != doADD && Operator != doCONCAT && Operator != doCAST) return 0;
  if (!IsStringBaseFieldType(AdvancedFieldTypeToBaseFieldType(GetDataType()))) return 0;
  int size = 0;
  for (auto& c : Children) size += c->GetDataSize();
  return size;
}

bool TVelqorimExprNode::CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO,
                                      TVelqorimExprCursor* ParentCursor, bool ForHavingClause) {
  for (auto& c : Children)
    if (c && !c->CanBeAssigned(AO, ParentQueryAO, ParentCursor, ForHavingClause)) return false;
  return true;
}

void TVelqorimExprNode::ReplacePseudonyms(std::vector<TVelqorimSelectListItem>& SelectList) {
  for (auto& c : Children)
    if (c) c->ReplacePseudonyms(SelectList);
}

bool TVelqorimExprNode::CanBeUsedInGroupBy(const String& GroupByFields) {
  for (auto& c : Children)
    if (c && !c->CanBeUsedInGroupBy(GroupByFields)) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Constant

TABSAdvancedFieldType TVelqorimExprNodeConst::GetDataType() { return BaseFieldTypeToAdvancedFieldType(Value.DataType()); }

int TVelqorimExprNodeConst::GetDataSize() {
  if (Value.IsNull() || !Value.IsStringDataType()) return 0;
  return Value.IsWideStringDataType() ? Value.StrLen() * 2 : Value.StrLen();
}

namespace {

// The constant's text as 16-bit units, whatever its kind.
WideString ConstText(const TABSVariant& v) { return v.GetAsWideString(); }

}  // namespace

bool TVelqorimExprNodeConst::IsLikePatternEqualToPartialComparePattern() const {
  if (Value.IsNull() || !Value.IsStringDataType()) return false;
  const WideString t = ConstText(Value);
  return t.size() >= 2 && t.find(u'%') == t.size() - 1 && t.find(u'_') == WideString::npos;
}

void TVelqorimExprNodeConst::TruncateForPartialCompare() {
  if (Value.IsNull() || !Value.IsStringDataType()) return;
  if (Value.IsWideStringDataType()) {
    WideString t = Value.GetAsWideString();
    if (!t.empty()) t.pop_back();
    Value.SetAsWideString(t);
  } else {
    AnsiString t = Value.GetAsAnsiString();
    if (!t.empty()) t.pop_back();
    Value.SetAsAnsiString(t);
  }
}

bool TVelqorimExprNodeConst::IsUpperCase() const {
  if (Value.IsNull() || !Value.IsStringDataType()) return false;
  const WideString t = ConstText(Value);
  return t == UnicodeUpperCase(t);
}

bool TVelqorimExprNodeConst::IsLowerCase() const {
  if (Value.IsNull() || !Value.IsStringDataType()) return false;
  const WideString t = ConstText(Value);
  return t == UnicodeLowerCase(t);
}

// ---------------------------------------------------------------------------
// Column

TVelqorimExprNodeField::TVelqorimExprNodeField(TVelqorimExprCursor* Cursor, const String& FieldName,
                                               const String& TableName)
    : TVelqorimExprNode(doUNDEFINED, true, false), FTableName(TableName), FFieldName(FieldName) {
  if (Cursor) AssignCursor(Cursor, nullptr, nullptr);
}

bool TVelqorimExprNodeField::FindFieldInCursor(TVelqorimExprCursor* Cursor, int& FieldNo,
                                               TVelqorimExprFieldInfo* Info) {
  if (!Cursor) return false;
  TVelqorimExprFieldInfo found;
  const bool ok = Cursor->FindFieldDef(FFieldName, false, found) || Cursor->FindFieldDef(FFieldName, true, found) ||
                  (!FFieldNameInAO.empty() && (Cursor->FindFieldDef(FFieldNameInAO, false, found) ||
                                               Cursor->FindFieldDef(FFieldNameInAO, true, found)));
  if (!ok) return false;
  FieldNo = found.FieldNo;
  if (Info) *Info = found;
  return true;
}

void TVelqorimExprNodeField::BindToCursor(TVelqorimExprCursor* Cursor, const TVelqorimExprFieldInfo& Info) {
  LCursor = Cursor;
  FFieldNo = Info.FieldNo;
  FFieldOffsetInBuffer = Info.MemoryOffset;
  FFieldType = Info.AdvancedFieldType;
  FBaseFieldType = Info.BaseFieldType;
  FFieldSize = Info.MemoryDataSize;
  AssignCursorBuffer(Cursor->GetCurrentRecordBuffer(), FGetFromParent);
}

void TVelqorimExprNodeField::AssignCursor(TVelqorimExprCursor* Cursor, TVelqorimAO* ParentQueryAO,
                                          TVelqorimExprCursor* ParentCursor) {
  if (!Cursor) throw EABSException(30202, "Value is Null");
  if (ParentQueryAO) LAO = nullptr;
  if (ParentCursor) LCursor = nullptr;
  TVelqorimExprFieldInfo info;
  int no = -1;
  if (FGetFromParent) {
    if (FindFieldInCursor(ParentCursor, no, &info)) BindToCursor(ParentCursor, info);
    else TryAssignAO(ParentQueryAO);
    return;
  }
  LCursor = nullptr;
  LAO = nullptr;
  if (FindFieldInCursor(Cursor, no, &info)) BindToCursor(Cursor, info);
  else if (FindFieldInCursor(ParentCursor, no, &info)) BindToCursor(ParentCursor, info);
  else throw EABSException(30115, "Field '%s' not found", {FFieldName});
}

bool TVelqorimExprNodeField::TryAssignAO(TVelqorimAO* AOToAssign) {
  if (!AOToAssign) return false;
  std::vector<int> matches;
  AOToAssign->FieldExists(FFieldName, FTableName, !FScanOnlyVisibleFieldsInAO, &matches, true,
                          FScanOnlyVisibleFieldsInAO);
  if (matches.empty()) return false;
  LAO = AOToAssign;
  FFieldNo = matches[0];
  const TVelqorimAOColumnInfo info = AOToAssign->GetColumnInfo(FFieldNo);
  FFieldNameInAO = info.FieldName;
  FFieldType = info.AdvancedFieldType;
  FBaseFieldType = AdvancedFieldTypeToBaseFieldType(info.AdvancedFieldType);
  FFieldSize = info.FieldSize;
  FFieldPrecision = info.FieldPrecision;
  FFieldOffsetInBuffer = 0;
  return true;
}

void TVelqorimExprNodeField::AssignAO(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO,
                                      TVelqorimExprCursor* ParentCursor) {
  LCursor = nullptr;
  LRecordBuffer = nullptr;
  if (TryAssignAO(AO)) return;
  if (TryAssignAO(ParentQueryAO)) {
    ParentQueryAO->OuterReferences++;
    return;
  }
  if (FGetFromParent && ParentCursor) {
    AssignCursor(ParentCursor, ParentQueryAO, ParentCursor);
    if (LCursor) return;
  }
  if (!LAO) throw EABSException(30197, "Field '%s' not found", {FTableName + "." + FFieldName});
}

void TVelqorimExprNodeField::AssignCursorBuffer(uint8_t* Buffer, bool ApplyToParentQueryFields) {
  if (FGetFromParent == ApplyToParentQueryFields) LRecordBuffer = Buffer;
}

TABSVariant* TVelqorimExprNodeField::GetDataValue() {
  Value.Clear(Value.DataType());
  if (!LRecordBuffer) {
    if (!LAO || FFieldNo < 0) throw EABSException(30196, "Dataset and AO not assigned");
    LAO->GetFieldValue(Value, FFieldNo, true, true);
    return &Value;
  }
  if (LRecordBuffer[FFieldNo / 8] & (1u << (FFieldNo % 8))) {
    Value.Clear(FBaseFieldType);
    return &Value;
  }
  if (FBaseFieldType == bftClob || FBaseFieldType == bftWideClob) {
    if (!LCursor) throw EABSException(30196, "Dataset and AO not assigned");
    LCursor->ReadBlobText(FFieldNo, LRecordBuffer, Value);
    return &Value;
  }
  Value.SetData(LRecordBuffer + FFieldOffsetInBuffer, FFieldSize, FBaseFieldType);
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeField::GetDataType() {
  if ((!LCursor && !LAO) || FFieldType == aftUnknown) throw EABSException(30284, "Cannot determine expression type");
  return FFieldType;
}

bool TVelqorimExprNodeField::CanBeAssigned(TVelqorimAO* AO, TVelqorimAO* ParentQueryAO,
                                           TVelqorimExprCursor* ParentCursor, bool ForHavingClause) {
  FGetFromParent = false;
  bool ok = false;
  if (AO) {
    ok = AO->FieldExists(FFieldName, FTableName, false, nullptr, false, false) == 1;
  }
  if (!ok && ParentQueryAO && ParentQueryAO->FieldExists(FFieldName, FTableName, false, nullptr, false, false) == 1) {
    ok = true;
    FGetFromParent = true;
  }
  int no = -1;
  if (!ok && ParentCursor && FindFieldInCursor(ParentCursor, no)) {
    ok = true;
    FGetFromParent = true;
  }
  if (ok) FScanOnlyVisibleFieldsInAO = ForHavingClause;
  return ok;
}

void TVelqorimExprNodeField::ReplacePseudonyms(std::vector<TVelqorimSelectListItem>& SelectList) {
  for (const auto& item : SelectList) {
    if (item.IsExpression || !EqualsASCIIUpper(FFieldName, item.Pseudonym)) continue;
    if (!FTableName.empty() && !EqualsASCIIUpper(FTableName, item.TableName)) continue;
    FFieldName = item.FieldName;
    FTableName = item.TableName;
  }
}

bool TVelqorimExprNodeField::CanBeUsedInGroupBy(const String& GroupByFields) {
  std::vector<String> names;
  SplitNameList(names, GroupByFields);
  return std::find(names.begin(), names.end(), UpperCase(FFieldName)) != names.end();
}

void TVelqorimExprNodeField::FillItem(TVelqorimSelectListItem& Item) const {
  Item.TableName = FTableName;
  Item.FieldName = FFieldName;
}

// ---------------------------------------------------------------------------
// Comparison

TVelqorimExprNodeComparison::TVelqorimExprNodeComparison(TABSDataOperator Op, TVelqorimExprNodePtr Node1,
                                                         TVelqorimExprNodePtr Node2, bool TrueFalseNullLogic,
                                                         bool CaseInsensitive, bool PartialKey)
    : TVelqorimExprNodeComparison(Op, qUNDEFINED, std::move(Node1), std::move(Node2), TrueFalseNullLogic,
                                  CaseInsensitive, PartialKey) {}

TVelqorimExprNodeComparison::TVelqorimExprNodeComparison(TABSDataOperator Op, TABSQuantifier Quantifier,
                                                         TVelqorimExprNodePtr Node1, TVelqorimExprNodePtr Node2,
                                                         bool TrueFalseNullLogic, bool CaseInsensitive,
                                                         bool PartialKey)
    : TVelqorimExprNode(Op, CaseInsensitive, PartialKey), F3ValueLogic(TrueFalseNullLogic), FQuantifier(Quantifier) {
  Value.Clear(bftLogical);
  AddChild(std::move(Node1));
  AddChild(std::move(Node2));
}

namespace {

// Whether wide text keeps every character in the 8-bit code page: text that
// does not would compare equal to the '?' an 8-bit column stored in their place.
bool SurvivesAnsi(const TABSVariant& Wide) {
  if (Wide.IsNull()) return true;
  TABSVariant narrow;
  narrow.Assign(Wide, true);
  narrow.Cast(bftVarchar);
  narrow.Cast(bftWideVarchar);
  return narrow.GetAsWideString() == Wide.GetAsWideString();
}

}  // namespace

void TVelqorimExprNodeComparison::PrepareTypes() {
  TVelqorimExprNodeField* field = nullptr;
  TVelqorimExprNodeConst* constant = nullptr;
  for (auto& c : Children) {
    if (auto* f = dynamic_cast<TVelqorimExprNodeField*>(c.get())) field = f;
    else if (auto* k = dynamic_cast<TVelqorimExprNodeConst*>(c.get())) constant = k;
  }
  if (!field || !constant || (!field->LCursor && !field->LAO)) return;
  const TABSAdvancedFieldType ft = field->FFieldType;
  if ((ft == aftChar || ft == aftString || ft == aftGuid) && constant->Value.IsWideStringDataType() &&
      SurvivesAnsi(constant->Value))
    constant->Value.Cast(bftVarchar);
}

TABSVariant* TVelqorimExprNodeComparison::GetDataValue() {
  if (FQuantifier != qUNDEFINED) {
    auto* sub = dynamic_cast<TVelqorimExprNodeSubquery*>(Children[1].get());
    if (!sub) RaiseUnknownOperator(30117, Operator);
    const bool r = sub->QuantifiedCompare(Operator, FQuantifier, *Children[0]->GetDataValue());
    Value.Clear(bftLogical);
    Value.SetAsBoolean(r);
    return &Value;
  }
  const TABSVariant* a = Children[0]->GetDataValue();
  const TABSVariant* b = Children[1]->GetDataValue();
  const TABSCompareResult c = a->Compare(*b, F3ValueLogic, FCaseInsensitive, FPartialKey);
  bool r;
  switch (Operator) {
    case doEQ: r = c == cmprEqual; break;
    case doNE: r = F3ValueLogic ? (c == cmprLower || c == cmprGreater) : c != cmprEqual; break;
    case doGT: r = c == cmprGreater; break;
    case doLT: r = c == cmprLower; break;
    case doGE: r = c == cmprEqual || c == cmprGreater; break;
    case doLE: r = c == cmprEqual || c == cmprLower; break;
    default: RaiseUnknownOperator(30117, Operator);
  }
  Value.Clear(bftLogical);
  Value.SetAsBoolean(r);
  return &Value;
}

// ---------------------------------------------------------------------------
// Boolean

TVelqorimExprNodeBoolean::TVelqorimExprNodeBoolean(TABSDataOperator Op, bool CaseInsensitive, bool PartialKey,
                                                   const String& aEscapeStr)
    : TVelqorimExprNode(Op, CaseInsensitive, PartialKey), EscapeStr(aEscapeStr) {
  Value.Clear(bftLogical);
}

namespace {

void SetBool(TABSVariant& v, bool b) {
  v.Clear(bftLogical);
  v.SetAsBoolean(b);
}

bool Like(TVelqorimExprNodeBoolean& node, const TABSVariant& text, const TABSVariant& pattern) {
  TABSBaseFieldType t = text.IsNull() ? pattern.DataType() : text.DataType();
  const TABSBaseFieldType common = GetResultBaseFieldType(t, pattern.DataType(), false);
  if (!IsStringBaseFieldType(common)) throw EABSException(30120, "Not string argument in function '%s'", {"LIKE"});
  const bool escape = !node.EscapeStr.empty();
  if (IsWideStringBaseFieldType(common)) {
    const WideString v = text.IsNull() ? WideString() : text.GetAsWideString();
    const WideString p = pattern.GetAsWideString();
    const char16_t e = escape ? UTF8ToUTF16(node.EscapeStr)[0] : u'\0';
    return WideStrLike(v.c_str(), p.c_str(), escape, e, node.FCaseInsensitive);
  }
  const AnsiString v = text.IsNull() ? AnsiString() : text.GetAsAnsiString();
  const AnsiString p = pattern.GetAsAnsiString();
  const char e = escape ? UTF8ToAnsi(node.EscapeStr)[0] : '\0';
  return AnsiStrLike(v.c_str(), p.c_str(), escape, e, node.FCaseInsensitive);
}

}  // namespace

TABSVariant* TVelqorimExprNodeBoolean::GetDataValue() {
  Value.Clear(bftLogical);
  switch (Operator) {
    case doNOT: {
      const TABSVariant* v = Children[0]->GetDataValue();
      if (!v->IsNull()) SetBool(Value, !v->GetAsBoolean());
      break;
    }
    case doAND: {
      bool anyNull = false;
      for (auto& c : Children) {
        const TABSVariant* v = c->GetDataValue();
        if (v->IsNull()) {
          anyNull = true;
        } else if (!v->GetAsBoolean()) {
          SetBool(Value, false);
          return &Value;
        }
      }
      if (!anyNull) SetBool(Value, true);
      break;
    }
    case doOR: {
      bool anyNull = false;
      for (auto& c : Children) {
        const TABSVariant* v = c->GetDataValue();
        if (v->IsNull()) {
          anyNull = true;
        } else if (v->GetAsBoolean()) {
          SetBool(Value, true);
          return &Value;
        }
      }
      if (!anyNull) SetBool(Value, false);
      break;
    }
    case doIN:
    case doNOTIN: {
      if (auto* sub = Children.size() == 2 ? dynamic_cast<TVelqorimExprNodeSubquery*>(Children[1].get()) : nullptr) {
        const bool r = sub->IsValueIn(*Children[0]->GetDataValue());
        SetBool(Value, Operator == doIN ? r : !r);
        break;
      }
      const TABSVariant* v = Children[0]->GetDataValue();
      if (v->IsNull()) break;
      TempVal.Assign(*v, true);
      bool found = false;
      for (size_t i = 1; i < Children.size() && !found; ++i)
        found = TempVal.Compare(*Children[i]->GetDataValue(), true, true, false) == cmprEqual;
      SetBool(Value, Operator == doIN ? found : !found);
      break;
    }
    case doEXISTS: {
      auto* sub = dynamic_cast<TVelqorimExprNodeSubquery*>(Children[0].get());
      if (!sub) RaiseUnknownOperator(30116, Operator);
      SetBool(Value, sub->Exists());
      break;
    }
    case doBETWEEN:
    case doNOTBETWEEN: {
      TempVal.Assign(*Children[0]->GetDataValue(), true);
      TABSVariant low;
      low.Assign(*Children[1]->GetDataValue(), true);
      const TABSVariant* high = Children[2]->GetDataValue();
      if (TempVal.IsNull() || low.IsNull() || high->IsNull()) break;
      const TABSCompareResult a = TempVal.Compare(low, true, true, false);
      const TABSCompareResult b = TempVal.Compare(*high, true, true, false);
      const bool r = (a == cmprEqual || a == cmprGreater) && (b == cmprEqual || b == cmprLower);
      SetBool(Value, Operator == doBETWEEN ? r : !r);
      break;
    }
    case doLIKE:
    case doNOTLIKE: {
      TempVal.Assign(*Children[0]->GetDataValue(), true);
      const TABSVariant* p = Children[1]->GetDataValue();
      if (p->IsNull()) break;
      const bool r = Like(*this, TempVal, *p);
      SetBool(Value, Operator == doLIKE ? r : !r);
      break;
    }
    case doISNULL:
      SetBool(Value, Children[0]->GetDataValue()->IsNull());
      break;
    case doISNOTNULL:
      SetBool(Value, !Children[0]->GetDataValue()->IsNull());
      break;
    default:
      RaiseUnknownOperator(30116, Operator);
  }
  return &Value;
}

// ---------------------------------------------------------------------------
// CASE and COALESCE

std::unique_ptr<TVelqorimExprNodeCase> TVelqorimExprNodeCase::CreateSimpleCase(TVelqorimExprNodePtr InputExpression) {
  std::unique_ptr<TVelqorimExprNodeCase> n(new TVelqorimExprNodeCase());
  n->FInputExpression = n->AddChild(std::move(InputExpression));
  return n;
}

std::unique_ptr<TVelqorimExprNodeCase> TVelqorimExprNodeCase::CreateSearchedCase() {
  return std::unique_ptr<TVelqorimExprNodeCase>(new TVelqorimExprNodeCase());
}

std::unique_ptr<TVelqorimExprNodeCase> TVelqorimExprNodeCase::CreateCoalesce(TVelqorimExprNodeArray Nodes) {
  std::unique_ptr<TVelqorimExprNodeCase> n(new TVelqorimExprNodeCase());
  n->FIsCoalesceExpression = true;
  for (auto& node : Nodes) n->FCoalesceNodes.push_back(n->AddChild(std::move(node)));
  return n;
}

void TVelqorimExprNodeCase::AddWhenExpression(TVelqorimExprNodePtr Node) {
  FWhenExpressions.push_back(AddChild(std::move(Node)));
}
void TVelqorimExprNodeCase::AddResultExpression(TVelqorimExprNodePtr Node) {
  FResultExpressions.push_back(AddChild(std::move(Node)));
}
void TVelqorimExprNodeCase::SetElseResultExpression(TVelqorimExprNodePtr Node) {
  FElseResultExpression = AddChild(std::move(Node));
}

TABSVariant* TVelqorimExprNodeCase::GetDataValue() {
  Value.Clear(Value.DataType());
  const TABSVariant* result = nullptr;
  if (FIsCoalesceExpression) {
    for (TVelqorimExprNode* n : FCoalesceNodes) {
      const TABSVariant* v = n->GetDataValue();
      if (!v->IsNull()) {
        result = v;
        break;
      }
    }
  } else {
    TABSVariant input;
    if (FInputExpression) input.Assign(*FInputExpression->GetDataValue(), true);
    for (size_t i = 0; i < FWhenExpressions.size() && i < FResultExpressions.size() && !result; ++i) {
      const TABSVariant* w = FWhenExpressions[i]->GetDataValue();
      // A WHEN condition that is NULL is no match (it is not true).
      const bool match = FInputExpression ? input.Compare(*w, false, true, false) == cmprEqual
                                          : (!w->IsNull() && w->GetAsBoolean());
      if (match) result = FResultExpressions[i]->GetDataValue();
    }
    if (!result && FElseResultExpression) result = FElseResultExpression->GetDataValue();
  }
  if (result) Value.Assign(*result, true);
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeCase::GetDataType() {
  std::vector<TVelqorimExprNode*> nodes = FIsCoalesceExpression ? FCoalesceNodes : FResultExpressions;
  if (!FIsCoalesceExpression && FElseResultExpression) nodes.push_back(FElseResultExpression);
  if (nodes.empty()) throw EABSException(30283, "Cannot determine expression type");
  TABSAdvancedFieldType t = nodes[0]->GetDataType();
  for (size_t i = 1; i < nodes.size(); ++i) t = GetResultAdvancedFieldType(t, nodes[i]->GetDataType(), false);
  if (t == aftUnknown) throw EABSException(30283, "Cannot determine expression type");
  return t;
}

int TVelqorimExprNodeCase::GetDataSize() {
  const TABSAdvancedFieldType type = GetDataType();
  // Branches of another type are converted once the size is fixed.
  auto convert = [&](TVelqorimExprNode*& listed) {
    for (auto& slot : Children)
      if (slot.get() == listed) {
        listed = WrapInCast(slot, type);
        return;
      }
  };
  std::vector<TVelqorimExprNode*>& list = FIsCoalesceExpression ? FCoalesceNodes : FResultExpressions;
  for (auto& n : list) convert(n);
  if (!FIsCoalesceExpression && FElseResultExpression) convert(FElseResultExpression);
  int size = 0;
  for (TVelqorimExprNode* n : list) size = std::max(size, n->GetDataSize());
  if (!FIsCoalesceExpression && FElseResultExpression) size = std::max(size, FElseResultExpression->GetDataSize());
  return size;
}

// ---------------------------------------------------------------------------
// CAST

TVelqorimExprNodeCast::TVelqorimExprNodeCast(TVelqorimExprNodePtr Node, TABSAdvancedFieldType CastType,
                                             TVelqorimExprNodePtr CastSizeNode)
    : TVelqorimExprNode(doCAST, true, false), FCastType(CastType) {
  AddChild(std::move(Node));
  if (CastSizeNode) LCastSizeNode = AddChild(std::move(CastSizeNode));
}

TABSVariant* TVelqorimExprNodeCast::GetDataValue() {
  Value.Assign(*Children[0]->GetDataValue(), true);
  const TABSBaseFieldType target = AdvancedFieldTypeToBaseFieldType(FCastType);
  Value.Cast(target);
  if (!IsStringAdvancedFieldType(FCastType) || Value.IsNull()) return &Value;
  int64_t limit = 4096;
  if (LCastSizeNode) limit = std::max<int64_t>(0, LCastSizeNode->GetDataValue()->GetAsInt64());
  if (IsWideStringAdvancedFieldType(FCastType)) {
    WideString t = Value.GetAsWideString();
    if (static_cast<int64_t>(t.size()) > limit) Value.SetAsWideString(t.substr(0, static_cast<size_t>(limit)));
  } else {
    AnsiString t = Value.GetAsAnsiString();
    if (static_cast<int64_t>(t.size()) > limit) Value.SetAsAnsiString(t.substr(0, static_cast<size_t>(limit)));
  }
  return &Value;
}

int TVelqorimExprNodeCast::GetDataSize() {
  if (LCastSizeNode) return LCastSizeNode->GetDataValue()->GetAsInteger();
  if (!IsStringAdvancedFieldType(FCastType)) return 0;
  const TABSAdvancedFieldType t = Children[0]->GetDataType();
  switch (t) {
    case aftChar: case aftString: case aftWideChar: case aftWideString: case aftBytes: case aftVarBytes:
    case aftBlob: case aftGraphic:
      return Children[0]->GetDataSize();
    case aftShortint: case aftAutoIncShortint: return 4;
    case aftSmallint: case aftAutoIncSmallint: return 6;
    case aftInteger: case aftAutoInc: case aftAutoIncInteger: return 11;
    case aftLargeint: case aftAutoIncLargeint: return 20;
    case aftByte: case aftAutoIncByte: return 3;
    case aftWord: case aftAutoIncWord: return 5;
    case aftCardinal: case aftAutoIncCardinal: return 10;
    case aftSingle: case aftDouble: case aftExtended: return 26;
    case aftBoolean: return 5;
    case aftCurrency: return 21;
    case aftDate: case aftTime: case aftDateTime: case aftTimeStamp: return 26;
    case aftMemo: case aftFormattedMemo: case aftWideMemo: return 4096;
    case aftGuid: return 38;
    default: throw EABSException(30466, "Unsupported data type '%s'", {AdvancedFieldTypeToSQLName(t)});
  }
}
