#include "db/sql/VelqorimQuery.h"

#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"
#include "db/support/DAZUnicode.h"

namespace {

// Parameter markers of SQL text in order of appearance, one per name: ":name"
// outside quotes and comments, the name a word or a quoted string. A colon
// written between double quotes (":") is text, never a marker.
std::vector<String> ParameterNames(const String& Text) {
  std::vector<String> names;
  auto add = [&](const String& Name) {
    for (const String& n : names)
      if (UpperCase(n) == UpperCase(Name)) return;
    names.push_back(Name);
  };
  const size_t n = Text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = Text[i];
    if (c == '\'' || c == '"' || c == '[' || c == '`') {
      const char close = c == '[' ? ']' : c;
      for (++i; i < n && Text[i] != close; ++i) {
      }
    } else if (c == '-' && i + 1 < n && Text[i + 1] == '-') {
      while (i < n && Text[i] != '\n') ++i;
    } else if (c == '/' && i + 1 < n && Text[i + 1] == '*') {
      const size_t end = Text.find("*/", i + 2);
      i = end == String::npos ? n : end + 1;
    } else if (c == ':' && i + 1 < n) {
      const char q = Text[i + 1];
      if (q == '\'' || q == '"') {
        const size_t end = Text.find(q, i + 2);
        if (end == String::npos) break;
        add(Text.substr(i + 2, end - i - 2));
        i = end;
      } else if (std::isalpha(static_cast<unsigned char>(q)) || q == '_') {
        size_t e = i + 1;
        while (e < n && (std::isalnum(static_cast<unsigned char>(Text[e])) || Text[e] == '_')) ++e;
        add(Text.substr(i + 1, e - i - 1));
        i = e - 1;
      }
    }
  }
  return names;
}

// A parameter's value as the engine takes it, by the parameter's type.
void ParamToEngineValue(const TParam& P, TVelqorimSQLParam& V) {
  TABSBaseFieldType type = bftUnknown;
  if (P.DataType != ftUnknown) type = AdvancedFieldTypeToBaseFieldType(FieldTypeToAdvancedFieldType(P.DataType));
  V.Clear(type);
  if (P.IsNull()) return;
  const Variant& value = P.Value();
  switch (P.DataType) {
    case ftBlob:
    case ftGraphic: {
      const Variant::TBytes bytes = value.AsBytes();
      if (!bytes.empty()) V.SetData(bytes.data(), static_cast<int>(bytes.size()), bftBlob);
      return;
    }
    case ftMemo:
    case ftFmtMemo:
      V.Clear(bftVarchar);
      V.SetAsAnsiString(UTF8ToAnsi(value.AsString()));
      return;
    case ftWideMemo:
      V.Clear(bftWideVarchar);
      V.SetAsWideString(UTF8ToUTF16(value.AsString()));
      return;
    default:
      break;
  }
  if (type == bftUnknown) {
    // An untyped parameter keeps the kind of its value.
    if (value.IsString()) {
      V.SetAsWideString(UTF8ToUTF16(value.AsString()));
      V.TryToReduceWideStringToAnsiString();
    } else if (value.IsNumeric() && static_cast<double>(value.AsInt64()) == value.AsFloat()) {
      V.SetAsInt64(value.AsInt64());
    } else if (value.IsNumeric()) {
      V.SetAsDouble(value.AsFloat());
    } else {
      const Variant::TBytes bytes = value.AsBytes();
      if (!bytes.empty()) V.SetData(bytes.data(), static_cast<int>(bytes.size()), bftBlob);
    }
    return;
  }
  if (IsIntegerBaseFieldType(type)) V.SetAsInt64(value.AsInt64());
  else if (type == bftLogical) V.SetAsBoolean(value.AsBoolean());
  else if (IsNumericBaseFieldType(type)) V.SetAsDouble(value.AsFloat());
  else if (IsWideStringBaseFieldType(type)) V.SetAsWideString(UTF8ToUTF16(value.AsString()));
  else V.SetAsAnsiString(UTF8ToAnsi(value.AsString()));
}

}  // namespace

// ---------------------------------------------------------------------------
// Master link

void TVelqorimQueryDataLink::ActiveChanged() {
  if (Active()) FQuery->RefreshParams();
}

void TVelqorimQueryDataLink::RecordChanged(TField* Field) {
  if (Field == nullptr && Active()) FQuery->RefreshParams();
}

void TVelqorimQueryDataLink::CheckBrowseMode() {
  if (FQuery->Active()) FQuery->CheckBrowseMode();
}

TDataSet* TVelqorimQueryDataLink::GetDetailDataSet() { return FQuery; }

// ---------------------------------------------------------------------------
// Query

TVelqorimQuery::TVelqorimQuery(TComponent* AOwner)
    : TVelqorimDataSet(AOwner),
      FSQL(std::make_unique<TStringList>()),
      FParams(std::make_unique<TParams>(this)),
      FDataLink(std::make_unique<TVelqorimQueryDataLink>(this)) {
  FSQL->OnChange = [this](TObject* Sender) { QueryChanged(Sender); };
}

TVelqorimQuery::~TVelqorimQuery() {
  FDestroying = true;
  try {
    Disconnect();
  } catch (...) {
    // A destructor never raises; the result table goes with the process at worst.
  }
  FSQL->OnChange = nullptr;
  FDataLink.reset();
}

void TVelqorimQuery::SetSQL(const TStrings& Value) {
  if (FSQL->Text() == Value.Text()) return;
  FSQL->BeginUpdate();
  try {
    Disconnect();
    FSQL->Assign(Value);
  } catch (...) {
    FSQL->EndUpdate();
    throw;
  }
  FSQL->EndUpdate();
}

void TVelqorimQuery::QueryChanged(TObject*) {
  if (FDestroying) return;
  Disconnect();
  FSQLBinary.reset();
  const String text = FSQL->Text();
  if (ParamCheck) {
    auto fresh = std::make_unique<TParams>(this);
    for (const String& name : ParameterNames(text)) {
      TParam* p = fresh->CreateParam(ftUnknown, name, DBParam::ptInput);
      // A parameter of an old name keeps its value and type.
      if (TParam* old = FParams->FindParam(name)) p->Assign(old);
    }
    FParams = std::move(fresh);
  }
  FText = text;
  DataEvent(dePropertyChange, 0);
}

void TVelqorimQuery::SetParams(TParams& Value) {
  for (int i = 0; i < Value.Count(); ++i)
    if (TParam* p = FParams->FindParam(Value[i]->Name)) p->Assign(Value[i]);
}

void TVelqorimQuery::SetDataSource(TDataSource* Value) { FDataLink->SetDataSource(Value); }

void TVelqorimQuery::Prepare() {
  UpdateDBFlag(1, true);
  try {
    SetPrepState(true);
  } catch (...) {
    UpdateDBFlag(1, false);
    throw;
  }
}

void TVelqorimQuery::UnPrepare() {
  SetPrepState(false);
  UpdateDBFlag(1, false);
}

void TVelqorimQuery::SetPrepState(bool Value) {
  if (FHandle != nullptr) {
    if (Value) throw EABSException(30141, "Cannot perform this operation on an open dataset");
    FHandle = nullptr;
    FExternalHandle = nullptr;
  }
  if (Value == FPrepared) return;
  if (Value) {
    FRowsAffected = -1;
    FCheckRowsAffected = true;
    if (FSQL->Text().size() < 2) throw EABSException(30142, "No SQL statement available");
    auto processor = std::make_unique<TVelqorimSQLProcessor>();
    processor->DatabaseName = DatabaseName();
    processor->FRequestLive = RequestLive;
    processor->PrepareStatement(FText);
    FStmtHandle = std::move(processor);
  } else {
    if (FCheckRowsAffected && FStmtHandle) FRowsAffected = RowsAffected();
    FStmtHandle.reset();
  }
  FPrepared = Value;
}

int TVelqorimQuery::RowsAffected() const {
  if (FPrepared && FStmtHandle && FCheckRowsAffected)
    return static_cast<int32_t>(static_cast<uint32_t>(FStmtHandle->FRowsAffected & 0xFFFFFFFF));
  return FRowsAffected;
}

void TVelqorimQuery::ExecSQL() {
  CheckInactive();
  UpdateDBFlag(2, true);
  try {
    ExecuteStatement(false);
  } catch (...) {
    UpdateDBFlag(2, false);
    throw;
  }
  UpdateDBFlag(2, false);
}

void TVelqorimQuery::UpdateDBFlag(int Flag, bool Value) {
  // The last flag going away unprepares the statement (keeping RowsAffected).
  if (!Value && DBFlag(Flag)) {
    bool others = false;
    for (int f = 0; f < 16; ++f) others = others || (f != Flag && DBFlag(f));
    if (!others && FPrepared) SetPrepState(false);
  }
  TVelqorimDataSet::UpdateDBFlag(Flag, Value);
}

void TVelqorimQuery::Disconnect() {
  Close();
  UnPrepare();
}

TVelqorimCursor* TVelqorimQuery::CreateCursorHandle() { return ExecuteStatement(true); }

TVelqorimCursor* TVelqorimQuery::ExecuteStatement(bool OpenCursor) {
  if (FSQL->Count() == 0) throw EABSException(20034, "No SQL statement available");
  FExecSQL = !OpenCursor;
  try {
    if (!FPrepared) SetPrepState(true);
  } catch (...) {
    FExecSQL = false;
    throw;
  }
  FExecSQL = false;
  if (FDataLink->DataSource() != nullptr) SetParamsFromDataSource();
  BindParams();
  FStmtHandle->DatabaseName = DatabaseName();
  FStmtHandle->FRequestLive = RequestLive && OpenCursor;
  TVelqorimAOBase* result = FStmtHandle->OpenQuery();
  const TVelqorimLiveResult* live = FStmtHandle->LiveResult();
  FCheckRowsAffected = !OpenCursor || (result == nullptr && live == nullptr);
  if (!OpenCursor) return nullptr;
  FResultReadOnly = FStmtHandle->FReadOnly || live == nullptr ||
                    (EngineSession() != nullptr && EngineSession()->ReadOnly);
  if (live != nullptr) return OpenLiveCursor(*live);
  if (result == nullptr) throw EABSException(20035, "The SQL statement gives no result set");
  // The result becomes a table of "TEMP" that the dataset walks like any other.
  DropResultTable();
  const String name = AddGUIDToName("TEMPORARY_TABLE_");
  CopyResultIntoTable(*result, "TEMP", name);
  FResultTable = name;
  if (!FResultSession.GetConnected()) {
    FResultSession.DatabaseName = "TEMP";
    FResultSession.SetConnected(true);
  }
  auto cursor = std::make_unique<TVelqorimLocalCursor>();
  cursor->Session = &FResultSession;
  cursor->TableName = name;
  cursor->ReadOnly = true;
  try {
    cursor->OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  } catch (...) {
    DropResultTable();
    throw;
  }
  cursor->SettingProjection = true;
  return cursor.release();
}

TVelqorimCursor* TVelqorimQuery::OpenLiveCursor(const TVelqorimLiveResult& Live) {
  if (EngineSession() == nullptr) throw EABSException(20001, "Error creating table handle");
  auto cursor = std::make_unique<TVelqorimLocalCursor>();
  cursor->Session = EngineSession();
  cursor->TableName = Live.TableName;
  cursor->ReadOnly = FResultReadOnly;
  cursor->OpenTableByFieldDefs(nullptr, nullptr, nullptr);
  if (Live.Fields.Count() > 0) cursor->ApplyProjection(Live.Fields, Live.Aliases);
  if (Live.OrderFields.Count() > 0) {
    TStringList fields, ascDesc, caseRules;
    fields.Assign(Live.OrderFields);
    ascDesc.Assign(Live.OrderAscDesc);
    caseRules.Assign(Live.OrderCase);
    bool created = false;
    cursor->SetIndexName(cursor->FindOrCreateIndex(fields, ascDesc, caseRules, created));
  }
  if (Live.Filter != nullptr) cursor->SetSQLFilter(Live.Filter, nullptr, nullptr);
  // The dataset opens on the cursor as it is: its fields follow the projection.
  cursor->SettingProjection = true;
  return cursor.release();
}

void TVelqorimQuery::DestroyCursorHandle() {
  TVelqorimDataSet::DestroyCursorHandle();
  DropResultTable();
}

void TVelqorimQuery::DropResultTable() {
  if (FResultTable.empty()) return;
  TVelqorimLocalCursor cursor;
  cursor.Session = &FResultSession;
  cursor.TableName = FResultTable;
  FResultTable.clear();
  if (FResultSession.TableExists(cursor.TableName)) cursor.DeleteTable();
}

void TVelqorimQuery::SetParamsFromDataSource() {
  TDataSet* master = FDataLink->DataSet();
  if (master == nullptr) return;
  master->FieldDefs().Update();
  for (int i = 0; i < FParams->Count(); ++i) {
    TParam* p = (*FParams)[i];
    if (p->Bound) continue;
    if (TField* f = master->FindField(p->Name)) {
      p->AssignField(f);
      p->Bound = false;
      if (p->IsNull() && p->DataType == ftUnknown) p->DataType = ftInteger;
    }
  }
}

void TVelqorimQuery::BindParams() {
  if (FParams->Count() == 0) return;
  TVelqorimSQLParams& list = FStmtHandle->FSQLParams;
  list.Clear();
  for (int i = 0; i < FParams->Count(); ++i) {
    const TParam& p = *(*FParams)[i];
    TVelqorimSQLParam* v = list.AddCreated();
    v->Name = p.Name;
    ParamToEngineValue(p, *v);
  }
}

void TVelqorimQuery::RefreshParams() {
  DisableControls();
  try {
    TDataSet* master = FDataLink->DataSet();
    if (master != nullptr && master->Active() && master->State() != dsSetKey && Active()) {
      Close();
      Open();
    }
  } catch (...) {
    EnableControls();
    throw;
  }
  EnableControls();
}

void TVelqorimQuery::InternalRefresh() {
  // A copied result is refreshed by running the statement again; a live one
  // rereads its base table.
  if (!FResultReadOnly) {
    TVelqorimDataSet::InternalRefresh();
    return;
  }
  Close();
  Open();
}

void TVelqorimQuery::GetDetailLinkFields(std::vector<TField*>& MasterFields, std::vector<TField*>& DetailFields) {
  MasterFields.clear();
  DetailFields.clear();
  TDataSet* master = FDataLink->DataSet();
  if (master == nullptr) return;
  for (int i = 0; i < FParams->Count(); ++i) {
    TField* m = master->FindField((*FParams)[i]->Name);
    if (m == nullptr) continue;
    MasterFields.push_back(m);
    if (TField* d = FindField((*FParams)[i]->Name)) DetailFields.push_back(d);
  }
}

void TVelqorimQuery::ReadBinaryData(TStream& Stream) {
  const int64_t size = Stream.Size();
  auto text = std::make_unique<String>(static_cast<size_t>(size), '\0');
  if (size > 0) Stream.ReadBuffer(text->data(), size);
  FSQLBinary = std::move(text);
}

void TVelqorimQuery::WriteBinaryData(TStream& Stream) const {
  if (FSQLBinary && !FSQLBinary->empty())
    Stream.WriteBuffer(FSQLBinary->data(), static_cast<int64_t>(FSQLBinary->size()));
}

bool TVelqorimQuery::ParamDataStored(const TVelqorimQuery* Ancestor) const {
  if (Ancestor != nullptr) return !FParams->IsEqual(*Ancestor->FParams);
  return FParams->Count() > 0;
}

int TVelqorimQuery::PSExecuteStatement(const String& ASQL, TParams* AParams) {
  TVelqorimQuery q(nullptr);
  q.SetDatabaseName(DatabaseName());
  q.SetSessionName(SessionName());
  q.SQL().SetText(ASQL);
  if (AParams != nullptr) q.SetParams(*AParams);
  q.ExecSQL();
  return q.RowsAffected();
}

String TVelqorimQuery::PSGetTableName() {
  // The first table after FROM (or after UPDATE / INTO) of the SQL text.
  const String text = FSQL->Text();
  const String upper = UpperCase(text);
  for (const char* word : {"FROM", "UPDATE", "INTO"}) {
    size_t at = 0;
    const size_t len = std::strlen(word);
    while ((at = upper.find(word, at)) != String::npos) {
      const bool startOk = at == 0 || !std::isalnum(static_cast<unsigned char>(upper[at - 1]));
      const size_t end = at + len;
      if (startOk && end < upper.size() && std::isspace(static_cast<unsigned char>(upper[end]))) {
        size_t b = end;
        while (b < text.size() && std::isspace(static_cast<unsigned char>(text[b]))) ++b;
        size_t e = b;
        while (e < text.size() && (std::isalnum(static_cast<unsigned char>(text[e])) || text[e] == '_' ||
                                   text[e] == '.'))
          ++e;
        if (e > b) return text.substr(b, e - b);
      }
      at = end;
    }
  }
  return String();
}

void TVelqorimQuery::PSSetCommandText(const String& CommandText) {
  if (!CommandText.empty()) FSQL->SetText(CommandText);
}

void TVelqorimQuery::PSSetParams(TParams* AParams) {
  if (AParams != nullptr && AParams->Count() > 0) SetParams(*AParams);
  Close();
}
