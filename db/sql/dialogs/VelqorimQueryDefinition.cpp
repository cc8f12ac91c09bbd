#include "db/sql/dialogs/VelqorimQueryDefinition.h"

#include "platform/vcl/Definitions.h"
#include "platform/vcl/TypInfo.h"

namespace {

const std::vector<String> FieldTypeNames = {
    "ftUnknown",     "ftString",   "ftSmallint",   "ftInteger",     "ftWord",        "ftBoolean",  "ftFloat",
    "ftCurrency",    "ftBCD",      "ftDate",       "ftTime",        "ftDateTime",    "ftBytes",    "ftVarBytes",
    "ftAutoInc",     "ftBlob",     "ftMemo",       "ftGraphic",     "ftFmtMemo",     "ftParadoxOle", "ftDBaseOle",
    "ftTypedBinary", "ftCursor",   "ftFixedChar",  "ftWideString",  "ftLargeint",    "ftADT",      "ftArray",
    "ftReference",   "ftDataSet",  "ftOraBlob",    "ftOraClob",     "ftVariant",     "ftInterface", "ftIDispatch",
    "ftGuid",        "ftTimeStamp", "ftFMTBcd",    "ftFixedWideChar", "ftWideMemo"};
const std::vector<String> ParamTypeNames = {"ptUnknown", "ptInput", "ptOutput", "ptInputOutput", "ptResult"};

// The position of Name in Names (ASCII case ignored); raises for an unknown one.
size_t Ordinal(const std::vector<String>& Names, const String& Name, const char* What) {
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameText(Names[i], Name)) return i;
  throw EPropertyError(Format("Unknown %s %s", {String(What), Name}));
}

[[noreturn]] void BadValue(const char* Property) {
  throw EPropertyError(Format("Invalid value for property %s", {String(Property)}));
}

// "Data": the statement's stored binary form, its bytes as they are.
void ReadData(TVelqorimQuery* Q, const TDefValue& V) {
  if (V.Kind != TDefValue::vBinary) BadValue("Data");
  TMemoryStream stream;
  if (!V.Binary.empty()) stream.WriteBuffer(V.Binary.data(), static_cast<int64_t>(V.Binary.size()));
  stream.SetPosition(0);
  Q->ReadBinaryData(stream);
}

bool WriteData(TVelqorimQuery* Q, TDefValue& V) {
  if (!Q->DataStored()) return false;
  TMemoryStream stream;
  Q->WriteBinaryData(stream);
  V.Kind = TDefValue::vBinary;
  V.Binary = stream.Bytes();
  return true;
}

// "ParamData": one item per parameter with its name, types and value.
void ReadParamData(TVelqorimQuery* Q, const TDefValue& V) {
  if (V.Kind != TDefValue::vCollection) BadValue("ParamData");
  TParams params(Q);
  for (const TDefItem& item : V.Items) {
    TParam* p = params.CreateParam(ftUnknown, String(), DBParam::ptUnknown);
    for (const TDefProperty& prop : item.Properties) {
      const TDefValue& v = prop.Value;
      if (SameText(prop.Name, "Name") && v.Kind == TDefValue::vString)
        p->Name = v.Str;
      else if (SameText(prop.Name, "DataType") && v.Kind == TDefValue::vIdent)
        p->DataType = static_cast<TFieldType>(Ordinal(FieldTypeNames, v.Str, "field type"));
      else if (SameText(prop.Name, "ParamType") && v.Kind == TDefValue::vIdent)
        p->ParamType = static_cast<TParamType>(Ordinal(ParamTypeNames, v.Str, "parameter type"));
      else if (SameText(prop.Name, "Value") && v.Kind == TDefValue::vInteger)
        p->SetValue(Variant(v.Int));
      else if (SameText(prop.Name, "Value") && v.Kind == TDefValue::vString)
        p->SetValue(Variant(v.Str));
      else
        BadValue("ParamData");
    }
  }
  Q->Params().Assign(&params);
}

bool WriteParamData(TVelqorimQuery* Q, TDefValue& V) {
  if (!Q->ParamDataStored(nullptr)) return false;
  V.Kind = TDefValue::vCollection;
  for (int i = 0; i < Q->ParamCount(); ++i) {
    const TParam& p = *Q->Params()[i];
    TDefItem item;
    auto add = [&item](const char* Name, TDefValue::TKind Kind, const String& Text) {
      TDefValue v;
      v.Kind = Kind;
      v.Str = Text;
      item.Properties.push_back({Name, std::move(v), 0});
    };
    add("DataType", TDefValue::vIdent, FieldTypeNames.at(p.DataType));
    add("Name", TDefValue::vString, p.Name);
    add("ParamType", TDefValue::vIdent, ParamTypeNames.at(static_cast<size_t>(p.ParamType)));
    if (!p.IsNull()) {
      const Variant& value = p.Value();
      if (value.IsNumeric() && static_cast<double>(value.AsInt64()) == value.AsFloat()) {
        add("Value", TDefValue::vInteger, String());
        item.Properties.back().Value.Int = value.AsInt64();
      } else {
        add("Value", TDefValue::vString, value.AsString());
      }
    }
    V.Items.push_back(std::move(item));
  }
  return true;
}

}  // namespace

void RegisterVelqorimQueryClass() {
  RegisterPropertyClass<TVelqorimQuery, TComponent>(
      "TVelqorimQuery",
      {StrProp<TVelqorimQuery>("DatabaseName", [](TVelqorimQuery* q) { return q->DatabaseName(); },
                               [](TVelqorimQuery* q, const String& v) { q->SetDatabaseName(v); }),
       StrProp<TVelqorimQuery>("SessionName", [](TVelqorimQuery* q) { return q->SessionName(); },
                               [](TVelqorimQuery* q, const String& v) { q->SetSessionName(v); }),
       BoolProp<TVelqorimQuery>("ParamCheck", [](TVelqorimQuery* q) { return q->ParamCheck; },
                                [](TVelqorimQuery* q, bool v) { q->ParamCheck = v; }),
       BoolProp<TVelqorimQuery>("RequestLive", [](TVelqorimQuery* q) { return q->RequestLive; },
                                [](TVelqorimQuery* q, bool v) { q->RequestLive = v; }),
       // The lines first: a new text makes its parameters, which ParamData then replaces.
       ObjectProp<TVelqorimQuery>("SQL", pkStrings, [](TVelqorimQuery* q) { return &q->SQL(); }),
       DefinedProp<TVelqorimQuery>("Data", ReadData, WriteData),
       DefinedProp<TVelqorimQuery>("ParamData", ReadParamData, WriteParamData)});
}
