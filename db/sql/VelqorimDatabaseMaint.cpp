// Database file maintenance: compact, repair, password and settings changes.
// Each copies every table into a new file beside its target (the target's
// name followed by ".tmp"), syncs it and renames it over the target while the
// source is still held exclusively. The old file is never deleted first, so a
// failure or a crash at any point leaves it whole; a failed operation removes
// its partly written file.

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimDbFile.h"
#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "db/support/DAZExcept.h"
#include "db/support/DAZRandom.h"

struct TVelqorimDatabase::TMaintenance {
  const char* Text;  // the wait form's
  const TNotifyEvent& Before;
  const TVelqorimProgressEvent& Progress;
  const TNotifyEvent& After;
};

namespace {

TVelqorimDiskPageManager* DiskPagesOf(TVelqorimBaseSession* Handle) {
  auto* Local = dynamic_cast<TVelqorimLocalSession*>(Handle);
  TVelqorimDiskDatabaseData* Disk = Local != nullptr ? Local->DiskDatabase() : nullptr;
  return Disk != nullptr ? Disk->DiskPageManager() : nullptr;
}

// A database data of this process already has the file: an exclusive open
// would only join it, so the file could change under the copy.
bool IsOpenInProcess(const String& FileName) {
  if (DatabaseDataList == nullptr) return false;
  TVelqorimLockGuard<TVelqorimDatabaseDataList> Lock(*DatabaseDataList);
  for (int i = 0; i < DatabaseDataList->Count(); ++i)
    if (DatabaseDataList->Get(i)->DatabaseName == FileName) return true;
  return false;
}

[[noreturn]] void FileError(int rc, const String& FileName) {
  throw EABSException(30379, "Cannot flush file buffers for file: '%s'. ErrorCode:%d. ErrorMessage: %s",
                      {FileName, rc, std::system_category().message(rc)});
}

void CheckFreeSpace(const String& NewFile, const String& OldFile) {
  struct stat Old{};
  if (::stat(OldFile.c_str(), &Old) != 0) return;  // opening reports a missing file
  const auto Slash = NewFile.rfind('/');
  const String Folder = Slash == String::npos ? "." : NewFile.substr(0, std::max<size_t>(Slash, 1));
  struct statvfs Drive{};
  if (::statvfs(Folder.c_str(), &Drive) != 0) return;
  if (static_cast<unsigned long long>(Drive.f_bavail) * Drive.f_frsize < static_cast<unsigned long long>(Old.st_size))
    throw EABSException(20303,
                        "There is not enough free space on drive to perform required operation with the database "
                        "file.");
}

// Puts the first StubSize bytes of Source (a program in front of the
// database) in front of the database in File, moving its bytes up from the end.
void PutBehindStub(const String& Source, int64_t StubSize, const String& File) {
  std::unique_ptr<DbFile> In = NewDbFile(), Out = NewDbFile();
  std::vector<uint8_t> Buffer(1 << 16);
  auto Move = [&](DbFile& From, int64_t At, DbFile& To, int64_t ToAt, int64_t Count) {
    int64_t Done = 0;
    int rc = From.Read(Buffer.data(), Count, At, Done);
    if (rc == 0 && Done != Count) rc = EIO;
    if (rc == 0) rc = To.Write(Buffer.data(), Count, ToAt, Done);
    if (rc == 0 && Done != Count) rc = EIO;
    if (rc != 0) FileError(rc, File);
  };
  int rc = Out->Open(File, false, false);
  int64_t Size = 0;
  if (rc == 0) rc = Out->GetSize(Size);
  if (rc == 0) rc = In->Open(Source, false, true);
  if (rc != 0) FileError(rc, File);
  const auto Chunk = static_cast<int64_t>(Buffer.size());
  for (int64_t End = Size; End > 0;) {
    const int64_t Count = std::min(Chunk, End);
    End -= Count;
    Move(*Out, End, *Out, End + StubSize, Count);
  }
  for (int64_t At = 0; At < StubSize; At += Chunk) Move(*In, At, *Out, At, std::min(Chunk, StubSize - At));
}

// Makes File durable, then gives it Target's name (and syncs the folder).
void SyncAndRename(const String& File, const String& Target) {
  std::unique_ptr<DbFile> Handle = NewDbFile();
  int rc = Handle->Open(File, false, false);
  if (rc == 0) rc = Handle->Sync(false);
  Handle->Close();
  if (rc != 0) FileError(rc, File);
  TVelqorimDatabaseFile::RenameFile(File, Target);
}

}  // namespace

void TVelqorimDatabase::PrepareMaintenance(bool AllowDesignClose) {
  CheckDatabaseName();
  AttachToSession(true);
  if (AllowDesignClose) CheckInactiveDatabase();
  else CheckNotConnected();
  // The operation rewrites the file anyway: opening must not offer a repair of its own.
  const bool SavedNoRequest = NoRequestAutoRepair;
  NoRequestAutoRepair = true;
  try {
    Open();
    Close();
  } catch (...) {
    NoRequestAutoRepair = SavedNoRequest;
    throw;
  }
  NoRequestAutoRepair = SavedNoRequest;
}

bool TVelqorimDatabase::CopyDatabase(const String& Target, String& Log, const TMaintenance& Events,
                                     TNewSettings Settings, bool IgnoreErrors) {
  CheckDatabaseName();
  AttachToSession(true);
  CheckNotConnected();
  const bool WasExclusive = FExclusive, WasSilent = SilentMode;
  Log.clear();
  FRowsNotCopied = 0;
  const String NewFile = Target + ".tmp";
  MaintenanceBefore(Events);

  bool Result = false, NewFileMade = false;
  std::unique_ptr<TVelqorimDatabase> Dest;
  auto Finish = [&] {
    // Nothing of a failed operation may stay behind, and the source is let go only now.
    Dest.reset();
    if (NewFileMade && !Result) ::unlink(NewFile.c_str());
    try {
      Close();
    } catch (...) {
    }
    FExclusive = WasExclusive;
    SilentMode = WasSilent;
    MaintenanceAfter(Events);
  };
  try {
    CheckFreeSpace(NewFile, FDatabaseFileName);
    for (const String& File : {FDatabaseFileName, Target})
      if (IsOpenInProcess(File)) throw EABSException(10461, "Error - database file %s is in use.", {File});
    // Another file under the target name is replaced only when nobody has it open.
    TVelqorimDatabaseFile TargetGuard;
    if (Target != FDatabaseFileName && ::access(Target.c_str(), F_OK) == 0)
      TargetGuard.OpenFile(Target, amReadOnly, smExclusive);
    // The source is held exclusively from here until it has been replaced.
    FExclusive = true;
    SilentMode = true;
    try {
      Open();
    } catch (...) {
      SilentMode = WasSilent;
      throw;
    }
    SilentMode = WasSilent;
    if (!Connected()) Error("Database open error");
    // Opening read the file's own settings back into the component.
    if (!Settings.Password) Settings.Password = FPassword;
    if (!Settings.CryptoAlgorithm) Settings.CryptoAlgorithm = CryptoAlgorithm;
    if (Settings.PageSize <= 0) Settings.PageSize = PageSize;
    if (Settings.PageCountInExtent <= 0) Settings.PageCountInExtent = PageCountInExtent;
    if (Settings.MaxConnections <= 0) Settings.MaxConnections = MaxConnections;
    const TVelqorimDiskPageManager* SourcePages = DiskPagesOf(FHandle);
    const int64_t StubSize = SourcePages != nullptr ? SourcePages->PageOffset(0) - VelqorimFirstPageOffset : 0;

    bool Created = true;
    try {
      Dest = std::make_unique<TVelqorimDatabase>(nullptr);
      Dest->SetSessionName(FSessionName);
      Dest->SetDatabaseName(AddGUIDToName("TempDatabase"));
      Dest->SetDatabaseFileName(NewFile);
      Dest->SetPassword(*Settings.Password);
      Dest->CryptoAlgorithm = *Settings.CryptoAlgorithm;
      Dest->PageSize = Settings.PageSize;
      Dest->PageCountInExtent = Settings.PageCountInExtent;
      Dest->MaxConnections = Settings.MaxConnections;
      Dest->SetExclusive(true);
      Dest->SilentMode = true;
      Dest->NoRequestAutoRepair = true;
      NewFileMade = true;
      Dest->CreateDatabase();
      Dest->Open();
    } catch (const Exception& E) {
      Log += Format("Create database error: '%s'", {E.Message});
      if (!IgnoreErrors) throw EABSException(30449, "Create database error: '%s'", {E.Message});
      Created = false;
    }
    if (Created) {
      FHandle->SetSuppressDBHeaderErrors(true);
      bool Continue = CopyTables(*Dest, *Settings.Password, Log, Events, IgnoreErrors);
      FHandle->SetSuppressDBHeaderErrors(false);
      if (Continue) {
        Dest->Close();
        MaintenanceProgress(Events, this, 100, Continue);
        Dest->TruncateDatabase();
        Dest.reset();
        Result = IgnoreErrors || Log.empty();
      }
    }
    if (Result) {
      if (StubSize > 0) PutBehindStub(FDatabaseFileName, StubSize, NewFile);
      SyncAndRename(NewFile, Target);
    }
  } catch (...) {
    Result = false;
    Finish();
    throw;
  }
  Finish();
  return Result;
}

// The program's handler of each step, else the wait form unless silent.
void TVelqorimDatabase::MaintenanceBefore(const TMaintenance& Events) {
  if (Events.Before) Events.Before(this);
  else if (!SilentMode) frmWait.Before(Events.Text, true);
}

void TVelqorimDatabase::MaintenanceProgress(const TMaintenance& Events, TObject* Sender, double PercentDone,
                                            bool& Continue) {
  if (Events.Progress) Events.Progress(Sender, PercentDone, Continue);
  else if (!SilentMode) frmWait.Progress(PercentDone, Continue, true);
}

void TVelqorimDatabase::MaintenanceAfter(const TMaintenance& Events) {
  if (Events.After) Events.After(this);
  else if (!SilentMode) frmWait.After();
}

namespace {

bool NewFileHadWriteError(TVelqorimDatabase& Dest) {
  TVelqorimDiskPageManager* Pages = DiskPagesOf(Dest.Handle());
  return Pages == nullptr || Pages->DatabaseFile().HadWriteError();
}

// Records of a table, 0 when it cannot be opened.
int64_t RecordsOf(const String& SessionName, const String& DatabaseName, const String& TableName) {
  try {
    TVelqorimTable Table(nullptr);
    Table.SetSessionName(SessionName);
    Table.SetDatabaseName(DatabaseName);
    Table.SetTableName(TableName);
    Table.Open();
    return Table.RecordCount();
  } catch (const Exception&) {
    return 0;
  }
}

}  // namespace

bool TVelqorimDatabase::CopyTables(TVelqorimDatabase& Dest, const String& DestPassword, String& Log,
                                   const TMaintenance& Events, bool IgnoreErrors) {
  TStringList Tables;
  FHandle->GetTablesList(Tables);
  const int Count = Tables.Count();
  bool Continue = true;
  const String& NewFile = Dest.DatabaseFileName();
  for (int i = 0; i < Count && Continue; ++i) {
    const String Name = Tables[i];
    int64_t Records = 0;
    String Failure;
    try {
      TVelqorimTable Table(nullptr);
      Table.SetSessionName(FSessionName);
      Table.SetDatabaseName(FDatabaseName);
      Table.SetTableName(Name);
      if (IgnoreErrors) Table.OpenForRepair();
      Table.Open();
      Records = Table.RecordCount();
      Table.Close();
      Table.OnCopyProgress = [&](TObject* Sender, double PercentDone, bool& Go) {
        MaintenanceProgress(Events, Sender, PercentDone, Go);
      };
      // The database's own wait form covers the copy: none for the table.
      Table.BeforeCopy = Table.AfterCopy = [](TObject*) {};
      Table.CopyTable(Name, Log, Continue, NewFile, DestPassword, IgnoreErrors, false, true, i * 100 / Count,
                      (i + 1) * 100 / Count);
    } catch (const Exception& E) {
      Failure = E.Message;
    }
    // Damage of the source is what a repair skips; a failed write of the
    // new file would only hand on less than the source holds (the table
    // reports no more than a refused record), so it ends the operation
    // whatever IgnoreErrors says.
    const bool NewFileFailed = NewFileHadWriteError(Dest);
    if (NewFileFailed && Failure.empty()) Failure = Format("Cannot write to file: '%s'", {NewFile});
    if (!Failure.empty()) {
      const String Problem = Format("Problem occured while copying table '%s': '%s'", {Name, Failure});
      Log += Problem;
      if (!IgnoreErrors || NewFileFailed) throw EABSException(20199, Problem);
    }
    FRowsNotCopied += std::max<int64_t>(0, Records - RecordsOf(FSessionName, Dest.DatabaseName(), Name));
  }
  return Continue;
}

// ---------------------------------------------------------------------------
// The operations

bool TVelqorimDatabase::CompactDatabase(const String& NewDatabaseFileName) {
  PrepareMaintenance(true);
  String Log;
  const TMaintenance Events{"Compacting Database...", BeforeCompact, OnCompactProgress, AfterCompact};
  if (!CopyDatabase(NewDatabaseFileName, Log, Events, {}, false))
    throw EABSException(30456, "Operation %s failed: %s", {String("CompactDatabase"), Log});
  return true;
}

bool TVelqorimDatabase::CompactDatabase() { return CompactDatabase(FDatabaseFileName); }

bool TVelqorimDatabase::RepairInto(const String& Target, String& Log) {
  PrepareMaintenance(false);
  const TMaintenance Events{"Repairing Database...", BeforeRepair, OnRepairProgress, AfterRepair};
  return CopyDatabase(Target, Log, Events, {}, true);
}

bool TVelqorimDatabase::RepairDatabase(const String& NewDatabaseFileName, String& Log) {
  return RepairInto(NewDatabaseFileName, Log);
}

String TVelqorimDatabase::RepairDatabase() {
  String Log;
  if (!RepairInto(FDatabaseFileName, Log) && Log.empty()) return "Unknown error";
  return Log;
}

bool TVelqorimDatabase::ChangeDatabaseSettings(String& Log, bool IgnoreErrors, const String& NewPassword,
                                               TABSCryptoAlgorithm NewCryptoAlgorithm, int NewPageSize,
                                               int NewPageCountInExtent, int NewMaxConnections) {
  PrepareMaintenance(false);
  if (NewMaxConnections <= 0) throw EABSException(20274, "MaxConnections value must be positive ( >= 0)");
  const TMaintenance Events{"Changing Database Settings...", BeforeChangeDatabaseSettings,
                            OnChangeDatabaseSettingsProgress, AfterChangeDatabaseSettings};
  const TNewSettings Settings{NewPassword, NewCryptoAlgorithm, NewPageSize, NewPageCountInExtent,
                              NewMaxConnections};
  if (!CopyDatabase(FDatabaseFileName, Log, Events, Settings, IgnoreErrors)) return false;
  FPassword = NewPassword;
  CryptoAlgorithm = NewCryptoAlgorithm;
  return true;
}

String TVelqorimDatabase::ChangePassword(const String& NewPassword, TABSCryptoAlgorithm NewCryptoAlgorithm) {
  String Log;
  const TMaintenance Events{"Changing Database Password...", BeforeChangePassword, OnChangePasswordProgress,
                            AfterChangePassword};
  TNewSettings Settings;
  Settings.Password = NewPassword;
  Settings.CryptoAlgorithm = NewCryptoAlgorithm;
  if (!CopyDatabase(FDatabaseFileName, Log, Events, Settings, false)) return Log;
  FPassword = NewPassword;
  CryptoAlgorithm = NewCryptoAlgorithm;
  return String();
}

String TVelqorimDatabase::ChangePassword(const String& NewPassword) {
  return ChangePassword(NewPassword, CryptoAlgorithm);
}
