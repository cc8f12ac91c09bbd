#pragma once
// The process-wide state of the dataset layer: the list of open databases
// (with "MEMORY" and "TEMP"), the session list with its default session
// "Default", and the engine error through which datasets report the outcome
// codes of their cursors. Start-up opens no file and activates nothing.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "db/dsfw/DB.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

class TVelqorimDatabase;
class TVelqorimSession;
class TVelqorimSessionList;

enum TVelqorimDatabaseEvent { dbOpen, dbClose, dbAdd, dbRemove };

// Creates the list of open databases with "MEMORY" and "TEMP", the session
// list and the default session; a second call does nothing.
void VelqorimMainInitialize();
// Frees the sessions (last first), then every open database; runs once per start-up.
void VelqorimMainFinalize();

extern TVelqorimSessionList* SessionList;
// Cells of wide-string values of calculated and lookup fields, freed at shutdown.
extern TList* StringCellList;
TVelqorimSession* DefaultSession();

void InitializeEngine();
void FinalizeEngine();
// 20007 before InitializeEngine.
TVelqorimSessionComponentManager* GetEngineHandle();
void SetCurrentSessionHandle(TVelqorimSessionComponentManager* Handle);
void CreateSessionHandle(TVelqorimSessionComponentManager*& Handle);
void FreeSessionHandle(TVelqorimSessionComponentManager*& Handle);

// The outcome of a cursor's edit, post, cancel or delete, raised by datasets:
// "Velqorim Engine Error # <code> <text>", the text fixed by the code except
// for -8, which carries the failing check's message.
class EVelqorimEngineError : public EDatabaseError {
 public:
  EVelqorimEngineError(int ErrorCode, const String& ErrMessage);
  int ErrorCode() const { return FErrorCode; }
  const String& ErrorMessage() const { return FErrorMessage; }

 private:
  int FErrorCode;
  String FErrorMessage;
};

// Session misuse; the text starts with the session component's name.
class EVelqorimSessionError : public Exception {
 public:
  using Exception::Exception;
};

class TVelqorimSession : public TComponent {
 public:
  explicit TVelqorimSession(TComponent* AOwner);
  ~TVelqorimSession() override;

  bool GetActive() const { return FHandle != nullptr; }
  void SetActive(bool Value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  bool GetAutoSessionName() const { return FAutoSessionName; }
  void SetAutoSessionName(bool Value);
  bool KeepConnections = true;
  const String& GetSessionName() const { return FSessionName; }
  void SetSessionName(const String& Value);
  void SetName(const String& NewName) override;
  std::function<void(TObject* Sender)> OnStartup;

  TVelqorimSessionComponentManager* Handle();
  void LockSession();
  void UnlockSession();
  void MakeCurrent();
  bool IsDefault() const { return FDefault; }
  int SessionNumber() const { return FSessionNumber; }

  // The database components of the session, in the order they came.
  int DatabaseCount() const { return static_cast<int>(FDatabases.size()); }
  TComponent* GetDatabase(int Index) const { return FDatabases.at(static_cast<size_t>(Index)); }
  void AddDatabase(TComponent* Database);
  void RemoveDatabase(TComponent* Database);

  // Finding and opening database components (with the database component).
  // The first component of that name (an unnamed one only when temporary).
  TVelqorimDatabase* FindDatabase(const String& DatabaseName);
  // With AOwner, first a component of that owner that shares its handle.
  TVelqorimDatabase* DoFindDatabase(const String& DatabaseName, TComponent* AOwner);
  TVelqorimDatabase* OpenDatabase(const String& DatabaseName) { return DoOpenDatabase(DatabaseName, nullptr); }
  // Finds or makes (temporary, silent) the component, opens it and counts one user.
  TVelqorimDatabase* DoOpenDatabase(const String& DatabaseName, TComponent* AOwner);
  // One user less; unused and without KeepConnection it closes (a temporary one goes).
  void CloseDatabase(TVelqorimDatabase* Database);
  // Frees the unused temporary components.
  void DropConnections();
  TVelqorimBaseSession* FindSharedDatabaseHandle(const String& DatabaseName);
  void GetDatabaseNames(TStrings& List);
  void GetTableNames(const String& DatabaseName, TStrings& List);
  void DBNotify(TVelqorimDatabaseEvent DBEvent, TComponent* Param);
  std::function<void(TVelqorimDatabaseEvent DBEvent, TComponent* Param)> OnDBNotify;

 private:
  friend class TVelqorimSessionList;
  void CheckInactive() const;
  void ValidateAutoSession(TComponent* AOwner, bool Enabling);
  void UpdateAutoSessionName();
  [[noreturn]] void DatabaseError(const String& Message) const;
  // On deactivation: temporary components go, the others close.
  void CloseDatabases();
  // On destruction: the components that stay forget the session.
  void DetachDatabases();

  TVelqorimSessionComponentManager* FHandle = nullptr;
  std::vector<TComponent*> FDatabases;  // borrowed
  bool FDefault = false;
  bool FAutoSessionName = false;
  bool FUpdatingAutoSessionName = false;
  String FSessionName;
  int FSessionNumber = -1;
};

class TVelqorimSessionList {
 public:
  TVelqorimSessionList();
  ~TVelqorimSessionList();
  TVelqorimSessionList(const TVelqorimSessionList&) = delete;
  TVelqorimSessionList& operator=(const TVelqorimSessionList&) = delete;

  void AddSession(TVelqorimSession* Session);
  void RemoveSession(TVelqorimSession* Session);
  void CloseAll();
  int Count();
  TVelqorimSession* GetSession(int Index);
  // An empty name gives the default session; names compare without regard to case.
  TVelqorimSession* FindSession(const String& SessionName);
  // 20002 when there is none.
  TVelqorimSession* GetSessionByName(const String& SessionName);
  void GetSessionNames(TStrings& List);
  // Finds or creates the session, and activates it.
  TVelqorimSession* OpenSession(const String& SessionName);
  TVelqorimSession* GetCurrentSession();
  void SetCurrentSession(TVelqorimSession* Value);

  TBits SessionNumbers;

 private:
  std::recursive_mutex FLock;
  std::vector<TVelqorimSession*> FSessions;
};
