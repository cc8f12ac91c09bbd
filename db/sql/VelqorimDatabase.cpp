#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "db/sql/VelqorimDataset.h"
#include "db/sql/VelqorimQuery.h"
#include "db/storage/VelqorimDbFile.h"
#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZUnicode.h"

namespace {

bool IsProcessWideName(const String& Name) {
  const String Upper = UpperCase(Name);
  return Upper == "MEMORY" || Upper == "TEMP";
}

// Copies the whole of Source (from its start) to Dest at DestPosition.
void CopyWholeFile(DbFile& Source, const String& SourceName, DbFile& Dest, int64_t& DestPosition) {
  int64_t Size = 0;
  int rc = Source.GetSize(Size);
  std::vector<uint8_t> Buffer(1 << 16);
  for (int64_t Position = 0; rc == 0 && Position < Size;) {
    const int64_t Want = std::min<int64_t>(static_cast<int64_t>(Buffer.size()), Size - Position);
    int64_t Done = 0;
    rc = Source.Read(Buffer.data(), Want, Position, Done);
    if (rc == 0 && Done != Want) rc = EIO;  // the file shrank under us
    int64_t Written = 0;
    if (rc == 0) rc = Dest.Write(Buffer.data(), Want, DestPosition, Written);
    if (rc == 0 && Written != Want) rc = EIO;
    Position += Want;
    DestPosition += Want;
  }
  if (rc != 0) throw EFOpenError("Cannot copy '" + SourceName + "': " + std::system_category().message(rc));
}

// Holds a session's lock for a scope.
class TSessionLock {
 public:
  explicit TSessionLock(TVelqorimSession* Session) : FSession(Session) { FSession->LockSession(); }
  ~TSessionLock() { FSession->UnlockSession(); }
  TSessionLock(const TSessionLock&) = delete;
  TSessionLock& operator=(const TSessionLock&) = delete;

 private:
  TVelqorimSession* FSession;
};

}  // namespace

// ---------------------------------------------------------------------------
// Construction

TVelqorimDatabase::TVelqorimDatabase(TComponent* AOwner) : TComponent(AOwner) {
  if (AOwner != nullptr && (AOwner->ComponentState() & csDesigning) != 0) DesignTimeFlag = true;
  auto* OwnerSession = dynamic_cast<TVelqorimSession*>(AOwner);
  FSession = OwnerSession != nullptr ? OwnerSession : DefaultSession();
  if (OwnerSession != nullptr) FSessionName = OwnerSession->GetSessionName();
  if (FSession != nullptr) {
    FSession->FreeNotification(this);
    FSession->AddDatabase(this);
  }
}

TVelqorimDatabase::~TVelqorimDatabase() {
  Destroying();
  try {
    Close();
  } catch (...) {
    // A destructor must not raise.
  }
  if (SessionList != nullptr && FSession != nullptr) FSession->RemoveDatabase(this);
}

void TVelqorimDatabase::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || AComponent != FSession || FSession == nullptr) return;
  if (!FSession->IsDefault()) {
    try {
      Close();
    } catch (...) {
      // The session goes either way.
    }
    FSessionName.clear();
  }
  FSession = nullptr;
}

void TVelqorimDatabase::Error(const String& Message) { DatabaseError(Message, this); }

bool TVelqorimDatabase::IsProcessWide() const { return IsProcessWideName(FDatabaseName); }

// ---------------------------------------------------------------------------
// Checks

void TVelqorimDatabase::CheckDatabaseName() {
  if (FDatabaseName.empty() && !FTemporary) Error("Database name missing");
}

void TVelqorimDatabase::CheckNotConnected() {
  if (Connected()) Error("Cannot perform this operation on an open database");
}

void TVelqorimDatabase::CheckConnected() const {
  if (!Connected()) DatabaseError("Cannot perform this operation on a closed database", const_cast<TVelqorimDatabase*>(this));
}

void TVelqorimDatabase::CheckInactiveDatabase() {
  if (!Connected()) return;
  if ((ComponentState() & csDesigning) != 0) Close();
  else Error("Cannot perform this operation on an open database");
}

void TVelqorimDatabase::AttachToSession(bool Activate) {
  TVelqorimSession* Found =
      Activate ? SessionList->GetSessionByName(FSessionName) : SessionList->FindSession(FSessionName);
  if (Found != nullptr && Found != FSession) {
    if (FSession != nullptr) {
      FSession->RemoveDatabase(this);
      FSession->RemoveFreeNotification(this);
    }
    FSession = Found;
    Found->FreeNotification(this);
    Found->AddDatabase(this);
    try {
      ValidateName(FDatabaseName);
    } catch (...) {
      FDatabaseName.clear();
      throw;
    }
  }
  if (Activate && FSession != nullptr) FSession->Open();
}

void TVelqorimDatabase::ValidateName(const String& Name) {
  if (Name.empty() || FSession == nullptr) return;
  TSessionLock Lock(FSession);
  TVelqorimDatabase* Other = FSession->FindDatabase(Name);
  if (Other == nullptr || Other == this) return;
  if (Other->FHandleShared && FHandleShared) return;
  if (Other->FTemporary && Other->FRefCount == 0) {
    delete Other;
    return;
  }
  Error(Format("Duplicate database name '%s'", {Name}));
}

// ---------------------------------------------------------------------------
// Connecting

std::unique_ptr<TVelqorimLocalSession> TVelqorimDatabase::CreateHandle() {
  auto Result = std::make_unique<TVelqorimLocalSession>();
  Result->DatabaseName = IsProcessWide() ? UpperCase(FDatabaseName) : FDatabaseName;
  Result->DatabaseFileName = FDatabaseFileName;
  Result->Password.Password = UTF8ToAnsi(FPassword);
  Result->Password.CryptoAlgorithm = CryptoAlgorithm;
  Result->PageSize = PageSize;
  Result->PageCountInExtent = PageCountInExtent;
  Result->MaxSessionCount = MaxConnections;
  Result->ReadOnly = FReadOnly;
  Result->Exclusive = FExclusive;
  Result->MultiUser = MultiUser;
  if (MultiUser && FSession != nullptr) Result->SessionName = FSession->GetSessionName();
  if (FSession != nullptr) Result->SessionComponentManager = FSession->Handle();
  return Result;
}

bool TVelqorimDatabase::DoPasswordRequest() {
  if (OnPassword) {
    bool Continue = false;
    OnPassword(this, Continue);
    return Continue;
  }
  if (SilentMode) return false;
  return VelqorimDialogs().ShowPasswordDialog(this, String());
}

bool TVelqorimDatabase::DoNeedRepair() {
  if (NoRequestAutoRepair) return false;
  if (OnNeedRepair) {
    bool DoRepair = false;
    OnNeedRepair(this, DoRepair);
    return DoRepair;
  }
  return VelqorimDialogs().Confirm("Database file was not correctly closed last time. Do you want to repair it?");
}

bool TVelqorimDatabase::DoOldFormatConversion() {
  if (NoRequestAutoRepair) return false;
  VelqorimDialogs().ShowMessage(
      "Database file you are opening is of old format. It will be converted to the current Velqorim Database "
      "format now. It is recommended to make a backup of the database before continuing.",
      vmkInformation);
  return true;
}

void TVelqorimDatabase::RepairOnOpen() {
  const bool SavedNoRequest = NoRequestAutoRepair;
  NoRequestAutoRepair = true;
  String Log;
  try {
    Log = RepairDatabase();
  } catch (const Exception&) {
    NoRequestAutoRepair = SavedNoRequest;
    throw EABSException(20238,
                        "Cannot convert database to the new format. Please report this to the program's support "
                        "with the database file.");
  }
  NoRequestAutoRepair = SavedNoRequest;
  if (!Log.empty()) VelqorimDialogs().ShowMessage(Log, vmkWarning);
}

void TVelqorimDatabase::Open() {
  if (Connected()) return;
  try {
    CheckDatabaseName();
    AttachToSession(true);
    if (FHandleShared) {
      if (TVelqorimBaseSession* Shared = FSession->FindSharedDatabaseHandle(FDatabaseName)) {
        FHandle = Shared;
        FAcquiredHandle = true;
        FSession->DBNotify(dbOpen, this);
        return;
      }
    }
    TSessionLock Lock(FSession);
    // The process-wide databases have no file.
    if (!FTemporary && !IsProcessWide() && !Exists())
      Error(Format("Database file '%s' does not exist", {FDatabaseFileName}));
    bool Repaired = false;
    for (;;) {
      std::unique_ptr<TVelqorimLocalSession> Session = CreateHandle();
      if (Session == nullptr) Error("Database open error");
      try {
        Session->SetConnected(true);
        // Asked once: a repaired file that still needs repair opens as it is.
        if (Session->RepairNeeded && !SilentMode && !DesignTimeFlag && !Repaired) {
          const TVelqorimDiskDatabaseData* Disk = Session->DiskDatabase();
          const bool OldFormat = Disk != nullptr && Disk->DiskPageManager() != nullptr &&
                                 Disk->DiskPageManager()->DBHeader().Version < VelqorimMinimalVersion;
          if (OldFormat ? DoOldFormatConversion() : DoNeedRepair()) {
            Session.reset();
            Repaired = true;
            RepairOnOpen();
            continue;
          }
        }
      } catch (EABSException& E) {
        Session.reset();
        if (E.NativeError == 30445 && DoPasswordRequest()) continue;
        throw;
      }
      if (!DesignTimeFlag) FReadOnly = Session->ReadOnly;
      CryptoAlgorithm = Session->Password.CryptoAlgorithm;
      PageSize = Session->PageSize;
      PageCountInExtent = Session->PageCountInExtent;
      MaxConnections = Session->MaxSessionCount;
      // A table restructure that never finished is undone before anyone sees the tables.
      if (!DesignTimeFlag) RestoreInterruptedRestructures(*Session);
      FHandle = Session.release();
      FAcquiredHandle = false;
      FSession->DBNotify(dbOpen, this);
      return;
    }
  } catch (Exception& E) {
    if (!DesignTimeFlag) throw;
    VelqorimDialogs().ShowMessage(E.Message, vmkError);
  }
}

void TVelqorimDatabase::Close() {
  if (!Connected() || FClosing) return;
  // Datasets let go of the database as they close; nothing they do may close
  // or free it again meanwhile.
  FClosing = true;
  try {
    if (FSession != nullptr) FSession->DBNotify(dbClose, this);
    CloseDataSets();
  } catch (...) {
    FClosing = false;
    throw;
  }
  FClosing = false;
  TVelqorimBaseSession* Handle = FHandle;
  const bool Acquired = FAcquiredHandle;
  FHandle = nullptr;
  FAcquiredHandle = false;
  FRefCount = 0;
  if (Acquired) return;
  // Components that took this engine session as a shared one must not keep it past its end.
  if (FSession != nullptr)
    for (int i = FSession->DatabaseCount() - 1; i >= 0; --i) {
      auto* Other = static_cast<TVelqorimDatabase*>(FSession->GetDatabase(i));
      if (Other != this && Other->FAcquiredHandle && Other->FHandle == Handle) Other->Close();
    }
  delete Handle;
}

void TVelqorimDatabase::CloseDataSets() {
  auto disconnect = [this](TDataSet* DataSet) {
    if (auto* own = dynamic_cast<TVelqorimDataSet*>(DataSet)) own->Disconnect();
    else DataSet->Close();
    // A dataset normally leaves the list as it lets go of the database.
    std::erase(FDataSets, DataSet);
  };
  // Queries go first, prepared ones too: their statements work through
  // datasets of their own on this database.
  for (;;) {
    auto query = std::find_if(FDataSets.begin(), FDataSets.end(),
                              [](TDataSet* DataSet) { return dynamic_cast<TVelqorimQuery*>(DataSet) != nullptr; });
    if (query == FDataSets.end()) break;
    disconnect(*query);
  }
  while (!FDataSets.empty()) disconnect(FDataSets.back());
}

void TVelqorimDatabase::RemoveDataSet(TDataSet* DataSet) { std::erase(FDataSets, DataSet); }

void TVelqorimDatabase::SetConnected(bool Value) {
  if (Value) Open();
  else Close();
}

void TVelqorimDatabase::SetHandle(TVelqorimBaseSession* Value) {
  if (Connected()) Close();
  if (Value == nullptr) return;
  CheckDatabaseName();
  AttachToSession(true);
  if (Value->SessionComponentManager != nullptr && Value->SessionComponentManager != FSession->Handle())
    Error("Database handle owned by a different session");
  FHandle = Value;
  FAcquiredHandle = true;
  FSession->DBNotify(dbOpen, this);
}

// ---------------------------------------------------------------------------
// The database file

bool TVelqorimDatabase::Exists() const {
  struct stat Info{};
  return !FDatabaseFileName.empty() && ::stat(FDatabaseFileName.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

void TVelqorimDatabase::CreateDatabase() {
  CheckDatabaseName();
  AttachToSession(true);
  CheckNotConnected();
  TSessionLock Lock(FSession);
  std::unique_ptr<TVelqorimLocalSession> Session = CreateHandle();
  if (Session == nullptr) Error("Cannot create database");
  Session->CreateDatabase();
}

void TVelqorimDatabase::DeleteDatabase() {
  CheckDatabaseName();
  AttachToSession(true);
  CheckNotConnected();
  try {
    // Opening first names the file and refuses one held exclusively elsewhere;
    // the deletion itself is refused while any handle has it open.
    TVelqorimDatabaseFile File;
    File.OpenFile(FDatabaseFileName, amReadOnly, smShareDenyNone);
    File.CloseFile();
    File.DeleteFile();
  } catch (...) {
    // A file that cannot go stays; the caller sees it still exists.
  }
}

void TVelqorimDatabase::RenameDatabase(const String& NewDatabaseFileName) {
  CheckDatabaseName();
  AttachToSession(true);
  CheckNotConnected();
  // Nobody else may have the file open while it moves, and it never takes
  // the place of another file.
  TVelqorimDatabaseFile Guard;
  Guard.OpenFile(FDatabaseFileName, amReadOnly, smExclusive);
  TVelqorimDatabaseFile::RenameFile(FDatabaseFileName, NewDatabaseFileName, false);
  Guard.CloseFile();
  FDatabaseFileName = NewDatabaseFileName;
}

void TVelqorimDatabase::TruncateDatabase() {
  CheckDatabaseName();
  AttachToSession(true);
  CheckNotConnected();
  const bool WasExclusive = FExclusive;
  FExclusive = true;
  try {
    Open();
    if (auto* Local = dynamic_cast<TVelqorimLocalSession*>(FHandle)) Local->TruncateDatabase();
    Close();
  } catch (...) {
    FExclusive = WasExclusive;
    Close();
    throw;
  }
  FExclusive = WasExclusive;
}

void TVelqorimDatabase::MakeExecutableDatabase(const String& ExeStubFileName, const String& ExeDbFileName) {
  std::unique_ptr<DbFile> Database = NewDbFile(), Stub = NewDbFile(), Output = NewDbFile();
  auto Check = [](int rc, const String& Name) {
    if (rc != 0) throw EFOpenError("Cannot open file '" + Name + "': " + std::system_category().message(rc));
  };
  Check(Database->Open(FDatabaseFileName, false, true), FDatabaseFileName);
  // Others may read the database meanwhile, not write it.
  bool Conflict = false;
  Check(Database->TestLock(ShareWriterOffset, 1, false, Conflict), FDatabaseFileName);
  if (Conflict) Check(EBUSY, FDatabaseFileName);
  Check(Database->Lock(ShareDenyWriteOffset, 1, false), FDatabaseFileName);
  Check(Stub->Open(ExeStubFileName, false, true), ExeStubFileName);
  Check(Output->Open(ExeDbFileName, true, false), ExeDbFileName);
  int64_t Position = 0;
  CopyWholeFile(*Stub, ExeStubFileName, *Output, Position);
  CopyWholeFile(*Database, FDatabaseFileName, *Output, Position);
  Check(Output->Sync(false), ExeDbFileName);
  Database->Unlock(ShareDenyWriteOffset, 1);
}

// ---------------------------------------------------------------------------
// Work on a connection

int TVelqorimDatabase::GetDBFileConnectionsCount() {
  CheckDatabaseName();
  AttachToSession(true);
  CheckConnected();
  auto* Local = dynamic_cast<TVelqorimLocalSession*>(FHandle);
  return Local != nullptr ? Local->GetDBFileConnectionsCount() : 0;
}

void TVelqorimDatabase::FlushBuffers() {
  CheckDatabaseName();
  AttachToSession(true);
  CheckConnected();
  FHandle->FlushBuffers();
}

void TVelqorimDatabase::StartTransaction() {
  CheckConnected();
  if (FHandle->InTransaction) DatabaseError("Database is already within a transaction");
  FHandle->StartTransaction();
}

void TVelqorimDatabase::Commit(bool DoFlushBuffers) {
  CheckConnected();
  FHandle->Commit(DoFlushBuffers);
}

void TVelqorimDatabase::Rollback() {
  CheckConnected();
  FHandle->Rollback();
}

bool TVelqorimDatabase::InTransaction() const { return Connected() && FHandle->InTransaction; }

void TVelqorimDatabase::GetTablesList(TStrings& List) {
  const bool WasConnected = Connected();
  try {
    if (!WasConnected) Open();
    if (FHandle != nullptr) FHandle->GetTablesList(List);
  } catch (...) {
    // The list holds what was added.
  }
  try {
    if (!WasConnected) Close();
  } catch (...) {
  }
}

bool TVelqorimDatabase::TableExists(const String& TableName) {
  if (!Connected()) Open();
  return FHandle != nullptr && FHandle->TableExists(TableName);
}

String TVelqorimDatabase::CurrentVersion() const { return "7.80 "; }

// ---------------------------------------------------------------------------
// Properties

void TVelqorimDatabase::SetDatabaseName(const String& Value) {
  if (Value == FDatabaseName) return;
  CheckInactiveDatabase();
  ValidateName(Value);
  FDatabaseName = Value;
}

void TVelqorimDatabase::SetDatabaseFileName(const String& Value) {
  if (Value == FDatabaseFileName) return;
  Close();
  FDatabaseFileName = Value;
}

void TVelqorimDatabase::SetSessionName(const String& Value) {
  CheckInactiveDatabase();
  if (Value == FSessionName) return;
  FSessionName = Value;
  if ((ComponentState() & csDestroying) == 0) AttachToSession(false);
}

void TVelqorimDatabase::SetKeepConnection(bool Value) {
  if (Value == FKeepConnection) return;
  FKeepConnection = Value;
  if (!Value && FRefCount == 0) Close();
}

// ---------------------------------------------------------------------------
// Datasets reach their databases through the session's components.

void InstallVelqorimDatabaseHooks() {
  VelqorimDatabaseHooks.Open = [](TVelqorimDataSet& DataSet) -> TComponent* {
    TVelqorimSession* Session = SessionList->GetSessionByName(DataSet.SessionName());
    TVelqorimDatabase* Database = Session->DoOpenDatabase(DataSet.DatabaseName(), DataSet.Owner());
    Database->AddDataSet(&DataSet);
    return Database;
  };
  VelqorimDatabaseHooks.Close = [](TVelqorimDataSet& DataSet, TComponent* Component) {
    auto* Database = static_cast<TVelqorimDatabase*>(Component);
    Database->RemoveDataSet(&DataSet);
    if (Database->Session() != nullptr) Database->Session()->CloseDatabase(Database);
  };
  VelqorimDatabaseHooks.EngineSession = [](TComponent* Component) {
    return static_cast<TVelqorimDatabase*>(Component)->Handle();
  };
}

// ---------------------------------------------------------------------------
// The session's side

TVelqorimDatabase* TVelqorimSession::FindDatabase(const String& DatabaseName) {
  TSessionLock Lock(this);
  for (TComponent* C : FDatabases) {
    auto* Database = static_cast<TVelqorimDatabase*>(C);
    if ((!Database->FDatabaseName.empty() || Database->FTemporary) &&
        SameText(Database->FDatabaseName, DatabaseName))
      return Database;
  }
  return nullptr;
}

TVelqorimDatabase* TVelqorimSession::DoFindDatabase(const String& DatabaseName, TComponent* AOwner) {
  if (AOwner == nullptr) return FindDatabase(DatabaseName);
  TSessionLock Lock(this);
  for (TComponent* C : FDatabases) {
    auto* Database = static_cast<TVelqorimDatabase*>(C);
    if (Database->Owner() == AOwner && Database->FHandleShared && SameText(Database->FDatabaseName, DatabaseName))
      return Database;
  }
  return FindDatabase(DatabaseName);
}

TVelqorimDatabase* TVelqorimSession::DoOpenDatabase(const String& DatabaseName, TComponent* AOwner) {
  TSessionLock Lock(this);
  TVelqorimDatabase* Database = DoFindDatabase(DatabaseName, AOwner);
  std::unique_ptr<TVelqorimDatabase> Created;
  if (Database == nullptr) {
    Created = std::make_unique<TVelqorimDatabase>(this);
    Database = Created.get();
    Database->SetDatabaseName(DatabaseName);
    Database->SetKeepConnection(KeepConnections);
    Database->FTemporary = true;
    Database->SilentMode = true;
  }
  Database->Open();
  ++Database->FRefCount;
  Created.release();
  return Database;
}

void TVelqorimSession::CloseDatabase(TVelqorimDatabase* Database) {
  if (Database->FRefCount != 0) --Database->FRefCount;
  if (Database->FRefCount != 0 || Database->FKeepConnection || Database->FClosing) return;
  if (!Database->FTemporary) Database->Close();
  else if ((Database->ComponentState() & csDestroying) == 0) delete Database;
}

void TVelqorimSession::DropConnections() {
  for (int i = DatabaseCount() - 1; i >= 0; --i) {
    auto* Database = static_cast<TVelqorimDatabase*>(GetDatabase(i));
    if (Database->FTemporary && Database->FRefCount == 0) delete Database;
  }
}

TVelqorimBaseSession* DatabaseComponentHandle(const String& DatabaseName) {
  if (SessionList != nullptr)
    for (int i = 0; i < SessionList->Count(); ++i)
      for (int d = 0; d < SessionList->GetSession(i)->DatabaseCount(); ++d) {
        auto* database = static_cast<TVelqorimDatabase*>(SessionList->GetSession(i)->GetDatabase(d));
        if (database->Handle() != nullptr && SameText(database->DatabaseName(), DatabaseName))
          return database->Handle();
      }
  return nullptr;
}

TVelqorimBaseSession* StatementSession(TVelqorimLocalSession& Own, const String& DatabaseName) {
  if (TVelqorimBaseSession* handle = DatabaseComponentHandle(DatabaseName)) return handle;
  Own.DatabaseName = DatabaseName;
  Own.SetConnected(true);
  return &Own;
}

TVelqorimBaseSession* TVelqorimSession::FindSharedDatabaseHandle(const String& DatabaseName) {
  for (TComponent* C : FDatabases) {
    auto* Database = static_cast<TVelqorimDatabase*>(C);
    if (Database->FHandle != nullptr && Database->FHandleShared && !Database->FAcquiredHandle &&
        SameText(Database->FDatabaseName, DatabaseName))
      return Database->FHandle;
  }
  return nullptr;
}

void TVelqorimSession::GetDatabaseNames(TStrings& List) {
  TStringList Names;
  Names.SetSorted(true);
  for (TComponent* C : FDatabases) {
    const String& Name = static_cast<TVelqorimDatabase*>(C)->FDatabaseName;
    if (Names.IndexOf(Name) < 0) Names.Add(Name);
  }
  List.Assign(Names);
}

void TVelqorimSession::GetTableNames(const String& DatabaseName, TStrings& List) {
  List.BeginUpdate();
  List.Clear();
  TVelqorimDatabase* Database = nullptr;
  try {
    if (!DatabaseName.empty()) {
      Database = OpenDatabase(DatabaseName);
      if (Database->Handle() != nullptr) Database->Handle()->GetTablesList(List);
    }
  } catch (...) {
    if (Database != nullptr) CloseDatabase(Database);
    List.EndUpdate();
    throw;
  }
  if (Database != nullptr) CloseDatabase(Database);
  List.EndUpdate();
}

void TVelqorimSession::DBNotify(TVelqorimDatabaseEvent DBEvent, TComponent* Param) {
  if (OnDBNotify) OnDBNotify(DBEvent, Param);
}

void TVelqorimSession::CloseDatabases() {
  for (int i = DatabaseCount() - 1; i >= 0; --i) {
    if (i >= DatabaseCount()) continue;
    auto* Database = static_cast<TVelqorimDatabase*>(GetDatabase(i));
    if (Database->FTemporary) delete Database;
    else Database->Close();
  }
}

void TVelqorimSession::DetachDatabases() {
  for (TComponent* C : FDatabases) {
    auto* Database = static_cast<TVelqorimDatabase*>(C);
    Database->FSession = nullptr;
    if (!FDefault) Database->FSessionName.clear();
    RemoveFreeNotification(Database);
  }
  FDatabases.clear();
}
