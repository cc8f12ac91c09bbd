// TVelqorimTable's record-moving operations: import, export, copy, batch move
// and restructure, with their shared record copy, their events and the wait
// form that stands in for unassigned handlers.

#include <cmath>
#include <mutex>
#include <set>

#include "db/dsfw/DAZTypesFields.h"
#include "db/sql/VelqorimTable.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"
#include "platform/os/Files.h"

namespace {

const char* const CRLF = "\r\n";

[[noreturn]] void NilPointer(int Code) {
  throw EABSException(Code, "Nil pointer occured");
}

String ErrorText(const std::exception& E) {
  if (const auto* e = dynamic_cast<const Exception*>(&E)) return e->Message;
  return E.what();
}

// Names of old tables that a restructure of this process has set aside right
// now; recovery on open leaves them to their restructure.
std::mutex RestructuresLock;
std::set<String> RestructuresUnderWay;

struct TRestructureMark {
  explicit TRestructureMark(const String& Name) : FName(UpperCase(Name)) {
    std::lock_guard<std::mutex> lock(RestructuresLock);
    RestructuresUnderWay.insert(FName);
  }
  ~TRestructureMark() {
    std::lock_guard<std::mutex> lock(RestructuresLock);
    RestructuresUnderWay.erase(FName);
  }
  String FName;
};

bool IsUnderWay(const String& Name) {
  std::lock_guard<std::mutex> lock(RestructuresLock);
  return RestructuresUnderWay.count(UpperCase(Name)) != 0;
}

bool IsHex(char C) {
  return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
}

// The table name inside "OLD_<name>_{GUID}"; empty for any other name.
String NameBeforeRestructure(const String& Aside) {
  constexpr size_t GuidLength = 38;
  const String prefix = "OLD_";
  if (Aside.size() < prefix.size() + 2 + GuidLength || !SameText(Aside.substr(0, prefix.size()), prefix))
    return String();
  const String guid = Aside.substr(Aside.size() - GuidLength);
  for (size_t i = 0; i < GuidLength; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    const char c = guid[i];
    if (i == 0 ? c != '{' : i == GuidLength - 1 ? c != '}' : dash ? c != '-' : !IsHex(c)) return String();
  }
  if (Aside[Aside.size() - GuidLength - 1] != '_') return String();
  return Aside.substr(prefix.size(), Aside.size() - prefix.size() - GuidLength - 1);
}

// A cursor of Session on table Name, for structure work only.
std::unique_ptr<TVelqorimLocalCursor> StructureCursor(TVelqorimBaseSession& Session, const String& Name) {
  auto cursor = std::make_unique<TVelqorimLocalCursor>();
  cursor->Session = &Session;
  cursor->TableName = Name;
  cursor->Exclusive = true;
  return cursor;
}

// Index fields of Def as the lists FindOrCreateIndex takes.
void IndexLists(const TIndexDef& Def, TStringList& Fields, TStringList& AscDesc, TStringList& Cases) {
  SplitFieldList(Fields, Def.Fields);
  TStringList desc, caseIns;
  SplitFieldList(desc, Def.DescFields);
  SplitFieldList(caseIns, Def.CaseInsFields);
  const bool allDesc = (Def.Options & ixDescending) != 0;
  const bool allCaseIns = (Def.Options & ixCaseInsensitive) != 0;
  for (int i = 0; i < Fields.Count(); ++i) {
    AscDesc.Add(allDesc || desc.IndexOf(Fields[i]) >= 0 ? "DESC" : "ASC");
    Cases.Add(allCaseIns || caseIns.IndexOf(Fields[i]) >= 0 ? "NO_CASE" : "CASE");
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The shared record copy

bool CopyTableRecords(TObject* LogTable, TDataSet* Source, TDataSet* Dest, int MaxProgress, int MinProgress,
                      const TVelqorimProgressEvent& OnProgress, bool MatchByObjectID, bool IgnoreErrors,
                      bool& Continue, String& Log) {
  bool Result = true;
  auto* logTable = dynamic_cast<TVelqorimTable*>(LogTable);
  const String tableName = logTable != nullptr ? logTable->TableName() : String("unknown");
  Source->CheckBrowseMode();
  int64_t recNo = 1;
  const int64_t count = Source->RecordCount();
  const int64_t step = MaxProgress == MinProgress ? 1 : count / (MaxProgress - MinProgress) + 1;
  const int64_t interval = std::max<int64_t>(1, std::min<int64_t>(step, 30));
  try {
    Source->Refresh();
  } catch (...) {
    // A source that cannot refresh is copied as it stands.
  }
  TBookmark bookmark = Source->GetBookmark();
  auto* srcTable = MatchByObjectID ? dynamic_cast<TVelqorimTable*>(Source) : nullptr;
  const bool byObjectID = srcTable != nullptr && dynamic_cast<TVelqorimTable*>(Dest) != nullptr;

  // The destination field of each source field definition (nullptr: none).
  auto destinationOf = [&](TField* SourceField) -> TField* {
    if (byObjectID) {
      const TVelqorimAdvFieldDef* def = srcTable->AdvFieldDefs().Find(SourceField->FieldName);
      TVelqorimAdvFieldDefs& target = srcTable->RestructureFieldDefs();
      for (int j = 0; def != nullptr && def->ObjectID >= 0 && j < target.Count(); ++j)
        if (target[j]->ObjectID == def->ObjectID) {
          if (TField* f = Dest->FindField(target[j]->Name)) return f;
          break;
        }
    }
    return Dest->FindField(SourceField->FieldName);
  };

  auto restore = [&] {
    try {
      if (!bookmark.empty() && Source->BookmarkValid(bookmark)) Source->GotoBookmark(bookmark);
    } catch (...) {
      // The copy's own outcome matters more than the source's position.
    }
    Source->FreeBookmark(bookmark);
  };
  try {
    Source->First();
    TFieldDefs& defs = Source->FieldDefs();
    while (!Source->Eof()) {
      // Appending keeps the source's order in destinations without an index.
      Dest->Append();
      try {
        for (int i = 0; i < defs.Count(); ++i) {
          TField* src = Source->Fields().Count() == defs.Count() ? Source->Fields()[i]
                                                                 : Source->FindField(defs[i]->Name);
          if (src == nullptr) {
            const String text = Format(
                "Field type is not supported and the field is skipped. Table name: \"%s\", field name: "
                "\"%s\"",
                {tableName, defs[i]->Name});
            if (!IgnoreErrors) throw EABSException(10499, text);
            Log += text + CRLF;
            Result = false;
            continue;
          }
          TField* dst = destinationOf(src);
          if (dst == nullptr) continue;
          try {
            AssignFieldValue(src, dst);
          } catch (const std::exception& e) {
            Log += Format(
                       "Error copying table \"%s\". Record #%d, field '%s' was copied with Null value due to "
                       "error: %s",
                       {tableName, recNo, src->FieldName, ErrorText(e)}) +
                   CRLF;
            dst->Clear();
            Result = false;
            if (!IgnoreErrors) throw;
          }
        }
      } catch (...) {
        Dest->Cancel();
        throw;
      }
      try {
        Dest->Post();
      } catch (const std::exception& e) {
        Log += Format("Error copying table \"%s\". Record #%d was not imported due to error: %s",
                      {tableName, recNo, ErrorText(e)}) +
               CRLF + CRLF;
        Dest->Cancel();
        Result = false;
        if (!IgnoreErrors) throw;
      }
      ++recNo;
      bool atEnd = false;
      try {
        Source->Next();
      } catch (...) {
        // A record that cannot be read is skipped: go on by record number.
        atEnd = true;
        while (recNo < count) {
          try {
            Source->SetRecNo(static_cast<int>(recNo));
            atEnd = false;
            break;
          } catch (...) {
            Log += "Record #" + std::to_string(recNo) + " corrupted and skipped." + CRLF;
            ++recNo;
          }
        }
      }
      if ((recNo - 2) % interval == 0) {
        const double percent =
            MinProgress + std::nearbyint(static_cast<double>(recNo - 1) * (MaxProgress - MinProgress) /
                                         static_cast<double>(std::max<int64_t>(count, 1)));
        if (OnProgress) OnProgress(Source, percent, Continue);
        if (!Continue) {
          Log += String("Terminated by User.") + CRLF;
          Result = false;
          break;
        }
      }
      if (atEnd) break;
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return Result;
}

// ---------------------------------------------------------------------------
// Events and the wait form

bool TVelqorimTable::UsesWaitForm() {
  if (FTemporary) return false;
  auto* database = dynamic_cast<TVelqorimDatabase*>(Database());
  if (database == nullptr && SessionList != nullptr) {
    try {
      database = SessionList->GetSessionByName(SessionName())->FindDatabase(DatabaseName());
    } catch (...) {
      database = nullptr;
    }
  }
  // Without a component of the program's own the database is an automatic, silent one.
  return database != nullptr && !database->SilentMode;
}

namespace {

struct TTransferEvents {
  TVelqorimDataSetNotifyEvent TVelqorimTable::*Before;
  TVelqorimProgressEvent TVelqorimTable::*Progress;
  TVelqorimDataSetNotifyEvent TVelqorimTable::*After;
  const char* Text;
};

const TTransferEvents TransferEvents[] = {
    {&TVelqorimTable::BeforeCopy, &TVelqorimTable::OnCopyProgress, &TVelqorimTable::AfterCopy,
     "Copy Table..."},
    {&TVelqorimTable::BeforeImport, &TVelqorimTable::OnImportProgress, &TVelqorimTable::AfterImport,
     "Import Table..."},
    {&TVelqorimTable::BeforeExport, &TVelqorimTable::OnExportProgress, &TVelqorimTable::AfterExport,
     "Export Table..."},
    {&TVelqorimTable::BeforeRestructure, &TVelqorimTable::OnRestructureProgress,
     &TVelqorimTable::AfterRestructure, "Restructure Table..."},
    {&TVelqorimTable::BeforeBatchMove, &TVelqorimTable::OnBatchMoveProgress, &TVelqorimTable::AfterBatchMove,
     "Batch Moving..."},
};

}  // namespace

void TVelqorimTable::InternalBeforeTransfer(TTransferKind Kind, TObject* Sender) {
  const TTransferEvents& e = TransferEvents[Kind];
  if (this->*e.Before)
    (this->*e.Before)(Sender);
  else if (UsesWaitForm())
    frmWait.Before(e.Text, false);
}

void TVelqorimTable::InternalOnTransferProgress(TTransferKind Kind, TObject* Sender, double PercentDone,
                                                bool& Continue) {
  const TTransferEvents& e = TransferEvents[Kind];
  if (this->*e.Progress)
    (this->*e.Progress)(Sender, PercentDone, Continue);
  else
    frmWait.Progress(PercentDone, Continue, false);
}

void TVelqorimTable::InternalAfterTransfer(TTransferKind Kind, TObject* Sender) {
  const TTransferEvents& e = TransferEvents[Kind];
  if (this->*e.After)
    (this->*e.After)(Sender);
  else
    frmWait.After();
}

// ---------------------------------------------------------------------------
// Import and export

void TVelqorimTable::CopyUnderDataLock(TTransferKind Kind, TDataSet* Source, TDataSet* Dest,
                                       const char* Doing, String& Log) {
  FHandle->LockTableData();
  InternalBeforeTransfer(Kind, this);
  try {
    String copyLog;
    bool Continue = true;
    CopyTableRecords(
        this, Source, Dest, 100, 0,
        [this, Kind](TObject* S, double P, bool& C) { InternalOnTransferProgress(Kind, S, P, C); }, false,
        true, Continue, copyLog);
    if (!copyLog.empty())
      Log += Format("Error %s table. Cannot copy data due to error: %s", {String(Doing), copyLog}) + CRLF;
  } catch (...) {
    InternalAfterTransfer(Kind, this);
    FHandle->UnlockTableData();
    throw;
  }
  InternalAfterTransfer(Kind, this);
  FHandle->UnlockTableData();
}

bool TVelqorimTable::ImportTable(TDataSet* SourceTable) {
  String log;
  return ImportTable(SourceTable, log, nullptr);
}

bool TVelqorimTable::ImportTable(TDataSet* SourceTable, String& Log, TIndexDefs* aIndexDefs) {
  // A closed source is read as a whole and closed again.
  const bool opened = !SourceTable->Active();
  if (opened) SourceTable->Open();
  try {
    const bool Result = ImportOpenTable(SourceTable, Log, aIndexDefs);
    if (opened) SourceTable->Close();
    return Result;
  } catch (...) {
    if (opened) SourceTable->Close();
    throw;
  }
}

bool TVelqorimTable::ImportOpenTable(TDataSet* SourceTable, String& Log, TIndexDefs* aIndexDefs) {
  SetFiltered(false);
  const String before = Log;
  CheckInactive();
  IndexDefs().Clear();
  FieldDefs().Clear();
  FAdvIndexDefs.Clear();
  FAdvFieldDefs.Clear();
  if (auto* engine = dynamic_cast<TVelqorimDataSet*>(SourceTable)) {
    if (dynamic_cast<TVelqorimTable*>(SourceTable) != nullptr) engine->UpdateAdvIndexDefs();
    FAdvFieldDefs.Assign(engine->AdvFieldDefs());
    // Indexes the engine made for one query are no part of the structure.
    FAdvIndexDefs.Assign(engine->AdvIndexDefs(), true);
    for (int i = 0; i < FAdvIndexDefs.Count(); ++i)
      if (FAdvIndexDefs[i]->Name.empty()) {
        FAdvIndexDefs[i]->Name = "idxPrimaryKey";
        break;
      }
  } else {
    SourceTable->FieldDefs().Update();
    FieldDefs().Assign(&SourceTable->FieldDefs());
    bool named = false;
    for (int i = 0; aIndexDefs != nullptr && i < aIndexDefs->Count(); ++i) {
      const TIndexDef* def = (*aIndexDefs)[i];
      if (def->Fields.empty()) {
        Log += Format("Cannot import index '%s'. Index type is not supported, index skipped", {def->Name});
        continue;
      }
      TIndexDef* copy = IndexDefs().AddIndexDef();
      copy->Name = def->Name;
      copy->Fields = def->Fields;
      copy->DescFields = def->DescFields;
      copy->CaseInsFields = def->CaseInsFields;
      copy->Options = def->Options;
      if (copy->Name.empty() && !named) {
        copy->Name = "idxPrimaryKey";
        named = true;
      }
    }
  }
  try {
    CreateTable();
  } catch (const std::exception& e) {
    Log += Format("Error importing table. Cannot create table due to error: %s", {ErrorText(e)}) + CRLF;
    return false;
  }
  Open();
  if (FHandle == nullptr) NilPointer(10259);
  try {
    CopyUnderDataLock(tkImport, SourceTable, this, "importing", Log);
  } catch (...) {
    Close();
    throw;
  }
  Close();
  return Log == before;
}

bool TVelqorimTable::ExportTable(TDataSet* DestinationTable,
                                 const std::function<void()>& CreateTablePointer) {
  String log;
  return ExportTable(DestinationTable, CreateTablePointer, log);
}

bool TVelqorimTable::ExportTable(TDataSet* DestinationTable, const std::function<void()>& CreateTablePointer,
                                 String& Log) {
  const String before = Log;
  const bool wasOpen = Active();
  DestinationTable->Close();
  TBookmark bookmark = wasOpen ? GetBookmark() : TBookmark();
  Close();
  Open();
  if (FHandle == nullptr) NilPointer(10262);
  auto finish = [&] {
    if (wasOpen) {
      if (!bookmark.empty() && BookmarkValid(bookmark)) GotoBookmark(bookmark);
    } else {
      Close();
    }
  };
  if (auto* engine = dynamic_cast<TVelqorimDataSet*>(DestinationTable))
    engine->AdvFieldDefs().Assign(FAdvFieldDefs);
  else
    DestinationTable->FieldDefs().Assign(&FieldDefs());
  try {
    CreateTablePointer();
  } catch (const std::exception& e) {
    Log += Format("Error exporting table. Cannot create table due to error: %s", {ErrorText(e)}) + CRLF;
    finish();
    return false;
  }
  try {
    DestinationTable->Open();
    for (int i = 0; i < DestinationTable->FieldDefs().Count(); ++i)
      DestinationTable->FieldDefs()[i]->SetRequired(false);
    for (int i = 0; i < DestinationTable->Fields().Count(); ++i)
      DestinationTable->Fields()[i]->Required = false;
  } catch (const std::exception& e) {
    Log += Format("Error exporting table. Cannot open destination table due to error: %s", {ErrorText(e)}) +
           CRLF;
    finish();
    return false;
  }
  try {
    CopyUnderDataLock(tkExport, this, DestinationTable, "exporting", Log);
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return Log == before;
}

// ---------------------------------------------------------------------------
// Copy

bool TVelqorimTable::CopyTable(const String& NewTableName, const String& DestDatabaseFileName,
                               const String& DestDatabasePassword) {
  String log;
  bool Continue = true;
  return CopyTable(NewTableName, log, Continue, DestDatabaseFileName, DestDatabasePassword, false, false,
                   true, 0, 100);
}

bool TVelqorimTable::CopyTable(const String& NewTableName, String& Log, bool& Continue,
                               const String& DestDatabaseFileName, const String& DestDatabasePassword,
                               bool IgnoreErrors, bool OverwriteExistingTable, bool CopyIndexes,
                               int MinProgress, int MaxProgress) {
  const bool wasOpen = Active();
  TBookmark bookmark;
  if (wasOpen) {
    bookmark = GetBookmark();
    Close();
  }
  std::unique_ptr<TVelqorimDatabase> tempDatabase;
  bool announced = false;
  auto finish = [&] {
    if (announced) InternalAfterCopy();
    if (wasOpen) {
      if (!Active()) Open();
      if (!bookmark.empty() && BookmarkValid(bookmark)) GotoBookmark(bookmark);
    } else {
      Close();
    }
    tempDatabase.reset();
  };
  try {
    Open();
    const bool intoMemory = DestDatabaseFileName == "MEMORY";
    const bool intoOwn = DestDatabaseFileName.empty();
    // The destination database and what log lines call it.
    String destName = DatabaseName(), destLabel;
    auto* ownDatabase = dynamic_cast<TVelqorimDatabase*>(Database());
    const String ownFile = ownDatabase != nullptr ? ownDatabase->DatabaseFileName() : String();
    if (intoMemory) {
      destName = destLabel = "MEMORY";
    } else if (!intoOwn) {
      tempDatabase = std::make_unique<TVelqorimDatabase>(nullptr);
      tempDatabase->SetDatabaseName(AddGUIDToName("TempDb"));
      tempDatabase->SetSessionName(SessionName());
      tempDatabase->SetDatabaseFileName(DestDatabaseFileName);
      tempDatabase->SetPassword(DestDatabasePassword);
      tempDatabase->SilentMode = true;
      try {
        tempDatabase->Open();
      } catch (const std::exception& e) {
        tempDatabase.reset();
        if (!IgnoreErrors) throw;
        Log += ErrorText(e) + CRLF;
        finish();
        return false;
      }
      destName = tempDatabase->DatabaseName();
      destLabel = DestDatabaseFileName;
    } else {
      destLabel = ownFile.empty() ? DatabaseName() : ownFile;
    }
    // A copy onto the table itself would delete it before reading it.
    const bool sameDatabase =
        intoOwn || (intoMemory && SameText(DatabaseName(), "MEMORY")) ||
        (!intoMemory && !ownFile.empty() && ExpandFileName(ownFile) == ExpandFileName(DestDatabaseFileName));
    if (sameDatabase && SameText(NewTableName, FTableName)) {
      const String text = Format("Cannot copy table '%s.%s' into it self", {destLabel, NewTableName});
      if (!IgnoreErrors) throw EABSException(30447, text);
      Log += text;
      finish();
      return false;
    }
    for (int i = 0; i < FieldDefs().Count(); ++i)
      if (FindField(FieldDefs()[i]->Name) == nullptr)
        throw EABSException(20297, "Cannot copy table \"%s\". Field object for field \"%s\" is not created.",
                            {FTableName, FieldDefs()[i]->Name});
    InternalBeforeCopy();
    announced = true;
    auto copy = std::make_unique<TVelqorimTable>(nullptr);
    copy->SetTableName(NewTableName);
    copy->SetSessionName(SessionName());
    if (intoOwn) {
      copy->SetInMemory(InMemory());
      copy->FTemporary = FTemporary;
    }
    copy->SetDatabaseName(destName);
    copy->AdvFieldDefs().Assign(FRestructureFieldDefs);
    if (CopyIndexes) copy->AdvIndexDefs().Assign(FRestructureIndexDefs);
    if (copy->Exists()) {
      if (OverwriteExistingTable) {
        copy->DeleteTable();
      } else {
        const String text = Format("Table '%s.%s' already exists", {destLabel, NewTableName});
        if (!IgnoreErrors) throw EABSException(intoMemory ? 10515 : 30448, text);
        Log += text;
        finish();
        return false;
      }
    }
    try {
      copy->CreateTable();
    } catch (const std::exception& e) {
      const String text = Format("Create table '%s.%s' error: '%s'", {destLabel, NewTableName, ErrorText(e)});
      if (!IgnoreErrors) throw EABSException(30450, text);
      Log += text;
      finish();
      return false;
    }
    copy->Open();
    try {
      CopyTableRecords(
          this, this, copy.get(), MaxProgress, MinProgress,
          [this](TObject* S, double P, bool& C) { InternalOnCopyProgress(S, P, C); }, false, IgnoreErrors,
          Continue, Log);
    } catch (...) {
      copy->Close();
      throw;
    }
    copy->Close();
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return true;
}

// ---------------------------------------------------------------------------
// Batch move

void TVelqorimTable::BatchMove(TVelqorimDataSet* SourceTableOrQuery, TABSBatchMoveType MoveType,
                               const String& DstTableIndexNameToIdentifyEqualRecords) {
  TVelqorimDataSet* source = SourceTableOrQuery;
  auto* sourceTable = dynamic_cast<TVelqorimTable*>(source);
  DisableControls();
  source->DisableControls();
  TBookmark sourceBookmark = source->Active() ? source->GetBookmark() : TBookmark();
  TBookmark bookmark = Active() ? GetBookmark() : TBookmark();
  const String oldIndexFieldNames = IndexFieldNames();
  const String oldIndexName = IndexName();
  TDataSource* oldMaster = MasterSource();
  String createdIndex, createdSourceIndex;
  bool announced = false;
  auto finish = [&] {
    if (announced) InternalAfterBatchMove(source);
    try {
      SetMasterSource(oldMaster);
      if (!oldIndexFieldNames.empty())
        SetIndexFieldNames(oldIndexFieldNames);
      else
        SetIndexName(oldIndexName);
      if (!createdIndex.empty()) DeleteIndex(createdIndex);
      if (!createdSourceIndex.empty() && sourceTable != nullptr) sourceTable->DeleteIndex(createdSourceIndex);
    } catch (...) {
      EnableControls();
      source->EnableControls();
      throw;
    }
    EnableControls();
    source->EnableControls();
    if (!sourceBookmark.empty() && source->BookmarkValid(sourceBookmark))
      source->GotoBookmark(sourceBookmark);
    if (!bookmark.empty() && Active() && BookmarkValid(bookmark)) GotoBookmark(bookmark);
  };
  // Every source field this table has takes the source's value.
  auto assignFields = [&] {
    for (int i = 0; i < source->Fields().Count(); ++i) {
      TField* src = source->Fields()[i];
      if (TField* dst = FindField(src->FieldName)) AssignFieldValue(src, dst);
    }
  };
  try {
    SetMasterSource(nullptr);
    SetIndexFieldNames(String());
    SetIndexName(String());
    source->Open();
    if (MoveType == bmtCopy || !Exists()) {
      Close();
      source->FieldDefs().Update();
      source->IndexDefs().Update();
      FAdvFieldDefs.Clear();
      FAdvIndexDefs.Clear();
      FieldDefs().Assign(&source->FieldDefs());
      IndexDefs().Assign(&source->IndexDefs());
      if (Exists()) DeleteTable();
      CreateTable();
    }
    Open();
    source->First();

    String keyIndex;
    if (MoveType != bmtCopy) {
      keyIndex = DstTableIndexNameToIdentifyEqualRecords;
      UpdateIndexDefs();
      for (int i = 0; keyIndex.empty() && i < IndexDefs().Count(); ++i)
        if (IndexDefs()[i]->Options & ixPrimary) keyIndex = IndexDefs()[i]->Name;
      if (keyIndex.empty()) {
        TStringList fields, ascDesc, cases;
        for (int i = 0; i < source->Fields().Count(); ++i) {
          TField* f = source->Fields()[i];
          TField* own = FindField(f->FieldName);
          // BLOB columns cannot be keys.
          if (own == nullptr || own->IsBlob() || f->FieldKind != fkData) continue;
          fields.Add(own->FieldName);
          ascDesc.Add("ASC");
          cases.Add("CASE");
        }
        bool created = false;
        keyIndex = FindOrCreateIndex(fields, ascDesc, cases, created);
        if (created) createdIndex = keyIndex;
        IndexDefs().Updated = false;
      }
      SetIndexName(keyIndex);
    }

    double total = source->RecordCount();
    if (MoveType == bmtSynchronize) total += RecordCount();
    int64_t counter = 1;
    bool Continue = true;
    InternalBeforeBatchMove(source);
    announced = true;
    auto progress = [&] {
      const double percent = total > 0 ? std::nearbyint(static_cast<double>(counter) / total * 100) : 100;
      InternalOnBatchMoveProgress(source, percent, Continue);
      return Continue;
    };
    while (!source->Eof()) {
      if (!progress()) break;
      bool found = false;
      if (MoveType != bmtCopy) {
        SetKey();
        for (int i = 0; i < IndexFieldCount(); ++i)
          if (TField* src = source->FindField(IndexField(i)->FieldName)) IndexField(i)->Assign(src);
        Post();
        found = GotoKey();
      }
      if (found) {
        if (MoveType == bmtAppendUpdate || MoveType == bmtUpdate || MoveType == bmtSynchronize) {
          Edit();
          try {
            assignFields();
            Post();
          } catch (...) {
            Cancel();
            throw;
          }
        } else if (MoveType == bmtDelete) {
          Delete();
        }
      } else if (MoveType != bmtDelete && MoveType != bmtUpdate) {
        Insert();
        try {
          assignFields();
          Post();
        } catch (...) {
          // A record this table refuses is left out.
          Cancel();
        }
      }
      source->Next();
      ++counter;
    }

    if (MoveType == bmtSynchronize && Continue) {
      total = source->RecordCount() + RecordCount();
      First();
      TStringList fields, ascDesc, cases;
      UpdateIndexDefs();
      if (TIndexDef* def = IndexDefs().Find(keyIndex)) IndexLists(*def, fields, ascDesc, cases);
      String oldSourceIndexName, oldSourceIndexFields;
      if (sourceTable != nullptr) {
        oldSourceIndexName = sourceTable->IndexName();
        oldSourceIndexFields = sourceTable->IndexFieldNames();
        bool created = false;
        const String name = sourceTable->FindOrCreateIndex(fields, ascDesc, cases, created);
        if (created) createdSourceIndex = name;
        sourceTable->IndexDefs().Updated = false;
        sourceTable->SetIndexName(name);
      }
      String keyFields;
      for (int i = 0; i < fields.Count(); ++i) keyFields += (i > 0 ? ";" : "") + fields[i];
      try {
        while (!Eof()) {
          if (!progress()) break;
          bool found = false;
          if (sourceTable != nullptr) {
            sourceTable->SetKey();
            for (int i = 0; i < sourceTable->IndexFieldCount(); ++i)
              if (TField* own = FindField(sourceTable->IndexField(i)->FieldName))
                sourceTable->IndexField(i)->Assign(own);
            sourceTable->Post();
            found = sourceTable->GotoKey();
          } else {
            found = source->Locate(keyFields, FieldValues(keyFields), 0);
          }
          if (found)
            Next();
          else
            Delete();
          ++counter;
        }
      } catch (...) {
        if (sourceTable != nullptr) {
          if (!oldSourceIndexFields.empty())
            sourceTable->SetIndexFieldNames(oldSourceIndexFields);
          else
            sourceTable->SetIndexName(oldSourceIndexName);
        }
        throw;
      }
      if (sourceTable != nullptr) {
        if (!oldSourceIndexFields.empty())
          sourceTable->SetIndexFieldNames(oldSourceIndexFields);
        else
          sourceTable->SetIndexName(oldSourceIndexName);
      }
    }
  } catch (...) {
    try {
      finish();
    } catch (...) {
      // The move's own error is the one to report.
    }
    throw;
  }
  finish();
}

// ---------------------------------------------------------------------------
// Restructure

namespace {

// Drops what a restructure left of its new table. A table too damaged to
// read still leaves the catalogue (its pages wait for a compact); only one
// that stays listed is a failure.
void DropPartialTable(TVelqorimTable& Partial) {
  if (!Partial.Exists()) return;
  try {
    Partial.DeleteTable();
  } catch (const Exception&) {
    if (Partial.Exists()) throw;
  }
}

}  // namespace

bool TVelqorimTable::RestructureTable() {
  String log;
  return RestructureTable(log);
}

bool TVelqorimTable::RestructureTable(String& Log) {
  CheckInactive();
  CheckTableName();
  // Indexes never read would otherwise be lost by the rebuild.
  if (!IndexDefs().Updated && FRestructureIndexDefs.Count() == 0) UpdateIndexDefs();
  bool Continue = true;
  const String name = FTableName;
  const String aside = AddGUIDToName("OLD_" + name + "_");
  // The new structure outlives opening the old table, which reloads the lists.
  TVelqorimAdvFieldDefs fieldDefs;
  TVelqorimAdvIndexDefs indexDefs;
  fieldDefs.Assign(FRestructureFieldDefs);
  indexDefs.Assign(FRestructureIndexDefs);
  TRestructureMark mark(aside);
  RenameTable(aside);

  // Puts the old table back under its name, dropping what stands there.
  auto rollback = [&] {
    if (Active()) Close();
    if (FTableName != aside) return;
    auto partial = std::make_unique<TVelqorimTable>(nullptr);
    partial->SetTableName(name);
    partial->SetSessionName(SessionName());
    partial->SetDatabaseName(DatabaseName());
    partial->SetInMemory(InMemory());
    partial->FTemporary = FTemporary;
    partial->FIgnoreDesignMode = FIgnoreDesignMode;
    DropPartialTable(*partial);
    RenameTable(name);
  };
  bool Result = false;
  bool announced = false;
  auto fresh = std::make_unique<TVelqorimTable>(nullptr);
  try {
    fresh->SetTableName(name);
    fresh->SetInMemory(InMemory());
    fresh->FTemporary = FTemporary;
    fresh->SetDatabaseName(DatabaseName());
    fresh->SetSessionName(SessionName());
    fresh->FIgnoreDesignMode = FIgnoreDesignMode;
    fresh->AdvFieldDefs().Assign(fieldDefs);
    fresh->AdvIndexDefs().Assign(indexDefs);
    try {
      fresh->CreateTable();
    } catch (const EABSException& e) {
      if (e.NativeError == 20182)
        throw EABSException(20180, "Cannot perform '%s' operation on a database in transaction",
                            {String("RestructureTable")});
      Log += Format("Error restructuring table. Cannot create table due to error: %s", {e.Message}) + CRLF;
      rollback();
      FRestructureFieldDefs.Assign(fieldDefs);
      FRestructureIndexDefs.Assign(indexDefs);
      return false;
    }
    fresh->Open();
    // The new table's own constraints judge each row, with the engine's words.
    for (int i = 0; i < fresh->Fields().Count(); ++i) fresh->Fields()[i]->Required = false;
    Open();
    FRestructureFieldDefs.Assign(fieldDefs);
    FRestructureIndexDefs.Assign(indexDefs);
    InternalBeforeRestructure();
    announced = true;
    const bool filtered = Filtered();
    SetFiltered(false);
    try {
      Result = CopyTableRecords(
          this, this, fresh.get(), 99, 0,
          [this](TObject* S, double P, bool& C) { InternalOnRestructureProgress(S, P, C); }, true, false,
          Continue, Log);
    } catch (...) {
      SetFiltered(filtered);
      throw;
    }
    SetFiltered(filtered);
    announced = false;
    InternalAfterRestructure();
    fresh->Close();
    Close();
    if (Result) {
      try {
        DeleteTable();
        FTableName = name;
      } catch (const std::exception& e) {
        Log +=
            Format("Error restructuring table. Cannot delete table due to error: %s", {ErrorText(e)}) + CRLF;
        Result = false;
        rollback();
      }
    } else {
      rollback();
    }
  } catch (...) {
    if (announced) InternalAfterRestructure();
    fresh.reset();
    rollback();
    throw;
  }
  return Result;
}

// ---------------------------------------------------------------------------
// Recovery of restructures that never finished

void RestoreInterruptedRestructures(TVelqorimBaseSession& Session) {
  if (Session.ReadOnly || Session.InMemory || Session.DatabaseFileName.empty()) return;
  if (auto* local = dynamic_cast<TVelqorimLocalSession*>(&Session))
    if (Session.MultiUser && local->GetDBFileConnectionsCount() > 1) return;
  TStringList tables;
  Session.GetTablesList(tables);
  for (int i = 0; i < tables.Count(); ++i) {
    const String aside = tables[i];
    const String name = NameBeforeRestructure(aside);
    if (name.empty() || IsUnderWay(aside)) continue;
    try {
      if (Session.TableExists(name)) {
        try {
          StructureCursor(Session, name)->DeleteTable();
        } catch (const Exception&) {
          if (Session.TableExists(name)) throw;
        }
      }
      StructureCursor(Session, aside)->RenameTable(name);
    } catch (const Exception&) {
      // The table stays aside, untouched, for the next open to try again.
    }
  }
}
