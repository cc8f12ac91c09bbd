#include "db/sql/VelqorimMain.h"

#include <cstdlib>

#include "db/sql/VelqorimDatabase.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/storage/VelqorimTempEngine.h"
#include "db/support/DAZExcept.h"
#include "platform/rtl/SysUtils.h"

TVelqorimSessionList* SessionList = nullptr;
TList* StringCellList = nullptr;

namespace {

int InitializeCount = 0;
TVelqorimSession* TheDefaultSession = nullptr;
bool EngineInitialized = false;
TVelqorimSessionComponentManager* EngineHandle = nullptr;
TVelqorimSessionComponentManager* CurrentSessionHandle = nullptr;
// One section for all sessions: activation, deactivation and the numbers.
std::recursive_mutex SessionCriticalSection;

using TSessionGuard = std::lock_guard<std::recursive_mutex>;

}  // namespace

void VelqorimMainInitialize() {
  if (InitializeCount++ > 0) return;
  DatabaseDataList = new TVelqorimDatabaseDataList;
  DatabaseDataList->Add(new TVelqorimMemoryDatabaseData);
  DatabaseDataList->Add(new TVelqorimTemporaryDatabaseData);
  DesignTimeFlag = false;
  SessionList = new TVelqorimSessionList;
  TheDefaultSession = new TVelqorimSession(nullptr);
  TheDefaultSession->SetSessionName("Default");
  StringCellList = new TList;
  InstallVelqorimDatabaseHooks();
}

void VelqorimMainFinalize() {
  if (InitializeCount == 0 || --InitializeCount > 0) return;
  delete SessionList;
  SessionList = nullptr;
  TheDefaultSession = nullptr;
  delete DatabaseDataList;
  DatabaseDataList = nullptr;
  while (StringCellList->Count() > 0) {
    std::free(StringCellList->Last());
    StringCellList->Delete(StringCellList->Count() - 1);
  }
  delete StringCellList;
  StringCellList = nullptr;
}

TVelqorimSession* DefaultSession() { return TheDefaultSession; }

void InitializeEngine() {
  if (EngineInitialized) return;
  EngineInitialized = true;
  EngineHandle = new TVelqorimSessionComponentManager;
}

void FinalizeEngine() {
  if (!EngineInitialized) return;
  EngineInitialized = false;
  if (CurrentSessionHandle == EngineHandle) CurrentSessionHandle = nullptr;
  delete EngineHandle;
  EngineHandle = nullptr;
}

TVelqorimSessionComponentManager* GetEngineHandle() {
  if (!EngineInitialized) throw EABSException(20007, "Database Engine is not initialized");
  return EngineHandle;
}

void SetCurrentSessionHandle(TVelqorimSessionComponentManager* Handle) { CurrentSessionHandle = Handle; }

void CreateSessionHandle(TVelqorimSessionComponentManager*& Handle) { Handle = new TVelqorimSessionComponentManager; }

void FreeSessionHandle(TVelqorimSessionComponentManager*& Handle) {
  if (CurrentSessionHandle == Handle) CurrentSessionHandle = nullptr;
  delete Handle;
  Handle = nullptr;
}

// ---------------------------------------------------------------------------
// Engine errors

namespace {
String EngineErrorText(int Code, const String& ErrMessage) {
  switch (Code) {
    case -1: return "Error adding record";
    case -2: return "Error updating record";
    case -3: return "Error deleting record";
    case -4: return "Error updating record - record was modified by other process";
    case -5: return "Error deleting record - record was modified by other process";
    case -6: return "Error updating record - record was deleted by other process";
    case -7: return "Error deleting record - record was deleted by other process";
    case -8: return ErrMessage;
    case -9: return "Cannot update record in temporary mode";
    case -10: return "Cannot delete record in temporary mode";
    case -11: return "Cannot cancel operation in temporary mode";
    case -12: return "Record is locked";
    case -13: return "Table is locked";
    default: return "";
  }
}
}  // namespace

EVelqorimEngineError::EVelqorimEngineError(int ErrorCode, const String& ErrMessage)
    : EDatabaseError(""), FErrorCode(ErrorCode), FErrorMessage(EngineErrorText(ErrorCode, ErrMessage)) {
  Message = "Velqorim Engine Error # " + std::to_string(ErrorCode) + " " + FErrorMessage;
}

// ---------------------------------------------------------------------------
// Session list

TVelqorimSessionList::TVelqorimSessionList() = default;

TVelqorimSessionList::~TVelqorimSessionList() { CloseAll(); }

void TVelqorimSessionList::AddSession(TVelqorimSession* Session) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (FSessions.empty()) Session->FDefault = true;
  FSessions.push_back(Session);
}

void TVelqorimSessionList::RemoveSession(TVelqorimSession* Session) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  std::erase(FSessions, Session);
}

void TVelqorimSessionList::CloseAll() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  while (!FSessions.empty()) delete FSessions.back();  // each leaves the list itself
}

int TVelqorimSessionList::Count() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return static_cast<int>(FSessions.size());
}

TVelqorimSession* TVelqorimSessionList::GetSession(int Index) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FSessions.at(static_cast<size_t>(Index));
}

TVelqorimSession* TVelqorimSessionList::FindSession(const String& SessionName) {
  if (SessionName.empty()) return DefaultSession();
  std::lock_guard<std::recursive_mutex> lock(FLock);
  for (TVelqorimSession* s : FSessions)
    if (SameText(s->GetSessionName(), SessionName)) return s;
  return nullptr;
}

TVelqorimSession* TVelqorimSessionList::GetSessionByName(const String& SessionName) {
  TVelqorimSession* s = FindSession(SessionName);
  if (s == nullptr) throw EABSException(20002, "Invalid session name '%s'", {SessionName});
  return s;
}

void TVelqorimSessionList::GetSessionNames(TStrings& List) {
  List.BeginUpdate();
  List.Clear();
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    for (TVelqorimSession* s : FSessions) List.Add(s->GetSessionName());
  }
  List.EndUpdate();
}

TVelqorimSession* TVelqorimSessionList::OpenSession(const String& SessionName) {
  TVelqorimSession* s = FindSession(SessionName);
  if (s == nullptr) {
    s = new TVelqorimSession(nullptr);
    s->SetSessionName(SessionName);
  }
  s->SetActive(true);
  return s;
}

TVelqorimSession* TVelqorimSessionList::GetCurrentSession() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  for (TVelqorimSession* s : FSessions)
    if (s->FHandle != nullptr && s->FHandle == CurrentSessionHandle) return s;
  return nullptr;
}

void TVelqorimSessionList::SetCurrentSession(TVelqorimSession* Value) { SetCurrentSessionHandle(Value->FHandle); }

// ---------------------------------------------------------------------------
// Session

TVelqorimSession::TVelqorimSession(TComponent* AOwner) : TComponent(nullptr) {
  ValidateAutoSession(AOwner, false);
  if (AOwner != nullptr) AOwner->InsertComponent(this);
  SessionList->AddSession(this);
}

TVelqorimSession::~TVelqorimSession() {
  try {
    SetActive(false);
    if (FAutoSessionName) SetAutoSessionName(false);
  } catch (...) {
    // A destructor must not raise.
  }
  DetachDatabases();
  if (SessionList != nullptr) SessionList->RemoveSession(this);
}

void TVelqorimSession::DatabaseError(const String& Message) const {
  String prefix = GetName();
  if (Owner() != nullptr && !Owner()->GetName().empty() && !prefix.empty()) prefix = Owner()->GetName() + "." + prefix;
  throw EVelqorimSessionError(prefix.empty() ? Message : prefix + ": " + Message);
}

void TVelqorimSession::CheckInactive() const {
  if (GetActive()) DatabaseError("Cannot perform this operation on an active session");
}

void TVelqorimSession::ValidateAutoSession(TComponent* AOwner, bool Enabling) {
  if (AOwner == nullptr) return;
  for (int i = 0; i < AOwner->ComponentCount(); ++i) {
    auto* other = dynamic_cast<TVelqorimSession*>(AOwner->Components(i));
    if (other == nullptr || other == this) continue;
    if (Enabling)
      DatabaseError("Cannot enable AutoSessionName property with more than one session on a form or data-module");
    if (other->FAutoSessionName)
      DatabaseError(Format("Cannot add a session to the form or data-module while session '%s' has "
                           "AutoSessionName enabled",
                           {other->GetName()}));
  }
}

void TVelqorimSession::SetActive(bool Value) {
  if (Value == GetActive()) return;
  TSessionGuard guard(SessionCriticalSection);
  if (Value) {
    if (OnStartup) OnStartup(this);
    if (FSessionName.empty()) DatabaseError("Session name missing");
    if (!FDefault) DefaultSession()->SetActive(true);
    if (FDefault) {
      InitializeEngine();
      FHandle = GetEngineHandle();
    } else {
      CreateSessionHandle(FHandle);
    }
    return;
  }
  SetCurrentSessionHandle(FHandle);
  CloseDatabases();
  if (FDefault) {
    FinalizeEngine();
  } else {
    FreeSessionHandle(FHandle);
    if (DefaultSession() != nullptr) SetCurrentSessionHandle(DefaultSession()->FHandle);
  }
  FHandle = nullptr;
}

void TVelqorimSession::SetAutoSessionName(bool Value) {
  if (Value == FAutoSessionName) return;
  if (Value) {
    CheckInactive();
    ValidateAutoSession(Owner(), true);
    FSessionNumber = -1;
    {
      TSessionGuard guard(SessionCriticalSection);
      FSessionNumber = SessionList->SessionNumbers.OpenBit();
      SessionList->SessionNumbers.SetBits(FSessionNumber, true);
    }
    FAutoSessionName = true;
    UpdateAutoSessionName();
    return;
  }
  {
    TSessionGuard guard(SessionCriticalSection);
    if (FSessionNumber >= 0) SessionList->SessionNumbers.SetBits(FSessionNumber, false);
  }
  FAutoSessionName = false;
}

void TVelqorimSession::UpdateAutoSessionName() {
  FUpdatingAutoSessionName = true;
  try {
    SetSessionName(Format("%s_%d", {GetName(), FSessionNumber + 1}));
  } catch (...) {
    FUpdatingAutoSessionName = false;
    throw;
  }
  FUpdatingAutoSessionName = false;
}

void TVelqorimSession::SetSessionName(const String& Value) {
  if (FAutoSessionName && !FUpdatingAutoSessionName)
    DatabaseError("Cannot modify SessionName while AutoSessionName is enabled");
  CheckInactive();
  if (!Value.empty()) {
    TVelqorimSession* other = SessionList->FindSession(Value);
    if (other != nullptr && other != this) DatabaseError(Format("Duplicate session name '%s'", {Value}));
  }
  FSessionName = Value;
}

void TVelqorimSession::SetName(const String& NewName) {
  TComponent::SetName(NewName);
  if (FAutoSessionName) UpdateAutoSessionName();
}

void TVelqorimSession::MakeCurrent() {
  if (FHandle != nullptr) SetCurrentSessionHandle(FHandle);
  else SetActive(true);
}

TVelqorimSessionComponentManager* TVelqorimSession::Handle() {
  MakeCurrent();
  return FHandle;
}

void TVelqorimSession::LockSession() {
  SessionCriticalSection.lock();
  try {
    MakeCurrent();
  } catch (...) {
    SessionCriticalSection.unlock();
    throw;
  }
}

void TVelqorimSession::UnlockSession() { SessionCriticalSection.unlock(); }

void TVelqorimSession::AddDatabase(TComponent* Database) {
  FDatabases.push_back(Database);
  DBNotify(dbAdd, Database);
}

void TVelqorimSession::RemoveDatabase(TComponent* Database) {
  {
    TSessionGuard guard(SessionCriticalSection);
    std::erase(FDatabases, Database);
  }
  DBNotify(dbRemove, Database);
}
