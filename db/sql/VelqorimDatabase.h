#pragma once
// The database component: names a database (a file, or the process-wide
// "MEMORY" and "TEMP") and the settings to open it with, belongs to a session
// component, owns an engine session while connected, keeps the datasets that
// use it, and runs transactions and the database-wide operations.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "db/dsfw/DB.h"
#include "db/sql/VelqorimDialogs.h"
#include "db/sql/VelqorimMain.h"
#include "db/storage/VelqorimLocalEngine.h"

using TVelqorimPasswordEvent = std::function<void(TObject* Sender, bool& Continue)>;
using TVelqorimProgressEvent = std::function<void(TObject* Sender, double PercentDone, bool& Continue)>;
using TVelqorimOnNeedRepairEvent = std::function<void(TObject* Sender, bool& DoRepair)>;

// Makes datasets open their databases through the session's database
// components (start-up runs it).
void InstallVelqorimDatabaseHooks();

// The engine session an SQL statement works in on DatabaseName: the open
// handle of a database component of that name (so statements join its
// transaction and reach its file), else Own, connected to the process-wide
// database of that name.
TVelqorimBaseSession* StatementSession(TVelqorimLocalSession& Own, const String& DatabaseName);
// The open handle of a database component named DatabaseName; nullptr when none is open.
TVelqorimBaseSession* DatabaseComponentHandle(const String& DatabaseName);

class TVelqorimDatabase : public TComponent, public IVelqorimPasswordTarget {
 public:
  explicit TVelqorimDatabase(TComponent* AOwner);
  ~TVelqorimDatabase() override;

  // Connecting. Open asks for a password (OnPassword, else the dialog unless
  // silent) as long as the engine refuses the one given and the answer is to go on.
  void Open();
  void Close();
  // Disconnects every dataset that uses the database, last first.
  void CloseDataSets();
  bool Connected() const { return FHandle != nullptr; }
  void SetConnected(bool Value);

  // The database file. "Cannot perform this operation on an open database" while connected.
  void CreateDatabase();
  void DeleteDatabase();
  // Refused while anyone else has the file open, and onto an existing file.
  void RenameDatabase(const String& NewDatabaseFileName);
  void TruncateDatabase();
  // The stub's bytes followed by the database file's bytes, in ExeDbFileName.
  void MakeExecutableDatabase(const String& ExeStubFileName, const String& ExeDbFileName);
  bool Exists() const;

  // Maintenance: each copies every table into a new file, syncs it and
  // renames it over the target, so that a failure at any point leaves the
  // old file as it was and no partly written file behind. The source is held
  // exclusively while it is copied and replaced: another user of the file (in
  // this process or another) makes the operation fail before anything is written.
  // Compacting into another file; False ends in 30456 with the log.
  bool CompactDatabase(const String& NewDatabaseFileName);
  bool CompactDatabase();
  // Copies what can be read, logging what could not; True unless it raised.
  bool RepairDatabase(const String& NewDatabaseFileName, String& Log);
  // Repairs in place and answers the log (empty for a sound file).
  String RepairDatabase();
  // NewMaxConnections of 0 or less: 20274.
  bool ChangeDatabaseSettings(String& Log, bool IgnoreErrors, const String& NewPassword,
                              TABSCryptoAlgorithm NewCryptoAlgorithm, int NewPageSize, int NewPageCountInExtent,
                              int NewMaxConnections);
  // Empty log on success; the new file opens with the new password and cipher only.
  String ChangePassword(const String& NewPassword);
  String ChangePassword(const String& NewPassword, TABSCryptoAlgorithm NewCryptoAlgorithm);
  // Rows that the last maintenance operation could not carry into the new file.
  int64_t RowsNotCopied() const { return FRowsNotCopied; }

  // Need a connection ("Cannot perform this operation on a closed database").
  int GetDBFileConnectionsCount();
  void FlushBuffers();
  void StartTransaction();
  void Commit(bool DoFlushBuffers = true);
  void Rollback();
  bool InTransaction() const;

  // Connects when needed; every failure is swallowed (List keeps what came).
  void GetTablesList(TStrings& List);
  // Connects when needed and stays connected.
  bool TableExists(const String& TableName);

  // "Duplicate database name '%s'" when another component of the session has
  // the name (unless both share handles); an unused temporary one gives way.
  void ValidateName(const String& Name);
  String CurrentVersion() const;

  const String& DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const String& Value);
  const String& DatabaseFileName() const { return FDatabaseFileName; }
  void SetDatabaseFileName(const String& Value);
  const String& SessionName() const { return FSessionName; }
  void SetSessionName(const String& Value);
  TVelqorimSession* Session() const { return FSession; }
  const String& Password() const { return FPassword; }
  void SetPassword(const String& Value) { FPassword = Value; }
  bool KeepConnection() const { return FKeepConnection; }
  void SetKeepConnection(bool Value);
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool Exclusive() const { return FExclusive; }
  void SetExclusive(bool Value) { FExclusive = Value; }
  bool HandleShared() const { return FHandleShared; }
  void SetHandleShared(bool Value) { FHandleShared = Value; }
  bool Temporary() const { return FTemporary; }
  void SetTemporary(bool Value) { FTemporary = Value; }
  int RefCount() const { return FRefCount; }

  // The engine session while connected. Setting one from outside closes
  // first and takes it without owning it.
  TVelqorimBaseSession* Handle() const { return FHandle; }
  void SetHandle(TVelqorimBaseSession* Value);

  // Datasets register themselves while they hold the database.
  int DataSetCount() const { return static_cast<int>(FDataSets.size()); }
  TDataSet* GetDataSet(int Index) const { return FDataSets.at(static_cast<size_t>(Index)); }
  void AddDataSet(TDataSet* DataSet) { FDataSets.push_back(DataSet); }
  void RemoveDataSet(TDataSet* DataSet);

  // The password dialog's answer.
  void SetDialogPassword(const String& Value) override { FPassword = Value; }

  TABSCryptoAlgorithm CryptoAlgorithm = craRijndael_128;
  int PageSize = 4096;
  int PageCountInExtent = 8;
  bool NoRequestAutoRepair = false;
  bool SilentMode = false;
  bool MultiUser = false;
  int MaxConnections = 500;
  bool DisableTempFiles = false;

  TVelqorimPasswordEvent OnPassword;
  TVelqorimOnNeedRepairEvent OnNeedRepair;
  TNotifyEvent BeforeRepair, AfterRepair, BeforeCompact, AfterCompact;
  TNotifyEvent BeforeChangePassword, AfterChangePassword;
  TNotifyEvent BeforeChangeDatabaseSettings, AfterChangeDatabaseSettings;
  TVelqorimProgressEvent OnRepairProgress, OnCompactProgress, OnChangePasswordProgress,
      OnChangeDatabaseSettingsProgress;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TVelqorimSession;
  void CheckDatabaseName();
  // Joins the session named SessionName (activating it when asked).
  void AttachToSession(bool Activate);
  void CheckNotConnected();
  void CheckConnected() const;
  void CheckInactiveDatabase();
  std::unique_ptr<TVelqorimLocalSession> CreateHandle();
  // Whether the password request found a new password to try.
  bool DoPasswordRequest();
  bool DoNeedRepair();
  bool DoOldFormatConversion();
  // Repairs in place for Open; any failure is 20238.
  void RepairOnOpen();
  // The three handlers a maintenance copy reports to, and its settings.
  struct TMaintenance;
  // The new file's settings; unset ones are the source file's.
  struct TNewSettings {
    std::optional<String> Password;
    std::optional<TABSCryptoAlgorithm> CryptoAlgorithm;
    int PageSize = 0, PageCountInExtent = 0, MaxConnections = 0;
  };
  // Copies every table into a new file and puts it in place of Target.
  bool CopyDatabase(const String& Target, String& Log, const TMaintenance& Events, TNewSettings Settings,
                    bool IgnoreErrors);
  bool CopyTables(TVelqorimDatabase& Dest, const String& DestPassword, String& Log, const TMaintenance& Events,
                  bool IgnoreErrors);
  void MaintenanceBefore(const TMaintenance& Events);
  void MaintenanceProgress(const TMaintenance& Events, TObject* Sender, double PercentDone, bool& Continue);
  void MaintenanceAfter(const TMaintenance& Events);
  // The checks before a maintenance copy: a closed database that opens.
  void PrepareMaintenance(bool AllowDesignClose);
  bool RepairInto(const String& Target, String& Log);
  bool IsProcessWide() const;
  [[noreturn]] void Error(const String& Message);

  std::vector<TDataSet*> FDataSets;  // borrowed
  bool FKeepConnection = true;
  bool FTemporary = false;
  bool FClosing = false;
  bool FAcquiredHandle = false;
  bool FHandleShared = false;
  bool FReadOnly = false;
  bool FExclusive = false;
  int FRefCount = 0;
  TVelqorimBaseSession* FHandle = nullptr;  // owned unless FAcquiredHandle
  TVelqorimSession* FSession = nullptr;
  String FSessionName;
  String FDatabaseName;
  String FDatabaseFileName;
  String FPassword;
  TVelqorimWaitFormUser frmWait;
  int64_t FRowsNotCopied = 0;
};
