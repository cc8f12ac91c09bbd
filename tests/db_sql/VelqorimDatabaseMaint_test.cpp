// Maintenance of database files through the database component: compact,
// repair, password and settings changes replace the file whole or not at all,
// refuse a file someone else has open, and a file left mid-commit is repaired
// on opening when the handler says so.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimDbFile.h"
#include "db/storage/VelqorimDiskEngine.h"
#include "platform/os/Files.h"
#include "tests/db_sql/DbTestUtil.h"
#include "tests/db_storage/ForkPeer.h"

namespace {

constexpr int64_t WriteChangesStateOffset = 42;  // in the file header
constexpr int64_t VersionOffset = 18;

std::string Bytes(const String& File) {
  std::ifstream in(File, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const String& File) { return ::access(File.c_str(), F_OK) == 0; }

ino_t Inode(const String& File) {
  struct stat Info{};
  return ::stat(File.c_str(), &Info) == 0 ? Info.st_ino : 0;
}

void Patch(const String& File, int64_t Offset, const void* Data, size_t Count) {
  std::fstream f(File, std::ios::binary | std::ios::in | std::ios::out);
  f.seekp(Offset);
  f.write(static_cast<const char*>(Data), static_cast<std::streamsize>(Count));
}

uint8_t WriteChangesState(const String& File, int64_t HeaderOffset = 0) {
  return static_cast<uint8_t>(Bytes(File).at(static_cast<size_t>(HeaderOffset + WriteChangesStateOffset)));
}

// A database file under TMPDIR, with the component that made it; both go at the end.
struct TScratch {
  explicit TScratch(const String& Password = "", TABSCryptoAlgorithm Cipher = craRijndael_128)
      : Name(GetTempDir() + "/velqorim-maint-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++) +
             ".vdb"),
        Db(nullptr) {
    Db.SetDatabaseName("Maint" + std::to_string(Counter));
    Db.SetDatabaseFileName(Name);
    Db.SetPassword(Password);
    Db.CryptoAlgorithm = Cipher;
    Db.PageSize = 1024;
    Db.SilentMode = true;
    Db.CreateDatabase();
  }
  ~TScratch() {
    Db.Close();
    ::unlink(Name.c_str());
    ::unlink((Name + ".tmp").c_str());
  }
  static inline std::atomic<int> Counter{0};
  String Name;
  TVelqorimDatabase Db;
};

// Whether a component with this password opens the file; the engine code otherwise.
int OpenCode(const String& File, const String& Password) {
  TVelqorimDatabase probe(nullptr);
  probe.SetDatabaseName("Probe");
  probe.SetDatabaseFileName(File);
  probe.SetPassword(Password);
  probe.SilentMode = true;
  return NativeErrorOf([&] {
    probe.Open();
    probe.Close();
  });
}

// A second process that opens File (sharing it) when asked and keeps it open until the test hangs up.
std::function<void(disk::TPeer&)> HoldOpen(const String& File) {
  return [File](disk::TPeer& p) {
    p.Next();
    TVelqorimDatabaseFile file;
    file.OpenFile(File, amReadOnly, smShareDenyNone);
    p.Reply("open");
    p.Next();
  };
}

// Records the handlers a maintenance operation calls, in order.
struct TEventLog {
  void Attach(TNotifyEvent& Before, TVelqorimProgressEvent& Progress, TNotifyEvent& After) {
    Before = [this](TObject*) { Calls += "before;"; };
    Progress = [this](TObject*, double Percent, bool&) { Calls += "progress " + std::to_string(int(Percent)) + ";"; };
    After = [this](TObject*) { Calls += "after;"; };
  }
  String Calls;
};

// Every operation replaces its target by a new file (a new inode) that opens,
// reports no lost rows and leaves no ".tmp" behind.
TEST(VelqorimDatabaseMaint, EveryOperationReplacesTheFileWhole) {
  TStarted started;
  struct TCase {
    const char* Name;
    std::function<void(TScratch&, TEventLog&)> Run;
    bool IntoOtherFile;
  };
  const std::vector<TCase> cases = {
      {"compact", [](TScratch& s, TEventLog& e) {
         e.Attach(s.Db.BeforeCompact, s.Db.OnCompactProgress, s.Db.AfterCompact);
         EXPECT_TRUE(s.Db.CompactDatabase());
       }, false},
      {"compact into", [](TScratch& s, TEventLog& e) {
         e.Attach(s.Db.BeforeCompact, s.Db.OnCompactProgress, s.Db.AfterCompact);
         EXPECT_TRUE(s.Db.CompactDatabase(s.Name + ".copy"));
       }, true},
      {"repair", [](TScratch& s, TEventLog& e) {
         e.Attach(s.Db.BeforeRepair, s.Db.OnRepairProgress, s.Db.AfterRepair);
         EXPECT_EQ(s.Db.RepairDatabase(), "");
       }, false},
      {"repair into", [](TScratch& s, TEventLog& e) {
         e.Attach(s.Db.BeforeRepair, s.Db.OnRepairProgress, s.Db.AfterRepair);
         String log = "stale";
         EXPECT_TRUE(s.Db.RepairDatabase(s.Name + ".copy", log));
         EXPECT_EQ(log, "");
       }, true},
      {"password", [](TScratch& s, TEventLog& e) {
         e.Attach(s.Db.BeforeChangePassword, s.Db.OnChangePasswordProgress, s.Db.AfterChangePassword);
         EXPECT_EQ(s.Db.ChangePassword(""), "");
       }, false},
      {"settings", [](TScratch& s, TEventLog& e) {
         e.Attach(s.Db.BeforeChangeDatabaseSettings, s.Db.OnChangeDatabaseSettingsProgress,
                  s.Db.AfterChangeDatabaseSettings);
         String log;
         EXPECT_TRUE(s.Db.ChangeDatabaseSettings(log, false, "", craRijndael_128, 2048, 4, 20));
         EXPECT_EQ(log, "");
       }, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScratch s;
    TEventLog events;
    const String target = c.IntoOtherFile ? s.Name + ".copy" : s.Name;
    const ino_t before = Inode(s.Name);
    c.Run(s, events);
    EXPECT_EQ(events.Calls, "before;progress 100;after;");
    EXPECT_EQ(s.Db.RowsNotCopied(), 0);
    EXPECT_FALSE(s.Db.Connected());
    EXPECT_FALSE(FileExists(target + ".tmp"));
    EXPECT_EQ(Inode(s.Name) == before, c.IntoOtherFile);
    EXPECT_EQ(OpenCode(target, ""), 0);
    EXPECT_EQ(WriteChangesState(target), VelqorimChangesWritten);
    ::unlink((s.Name + ".copy").c_str());
  }
}

TEST(VelqorimDatabaseMaint, SettingsAndPasswordGoIntoTheNewFile) {
  TStarted started;
  TScratch s("old secret", craRijndael_128);
  EXPECT_EQ(OpenCode(s.Name, "old secret"), 0);
  EXPECT_EQ(s.Db.ChangePassword("new secret", craBlowfish), "");
  EXPECT_EQ(s.Db.Password(), "new secret");
  EXPECT_EQ(OpenCode(s.Name, "old secret"), 30445);
  EXPECT_EQ(OpenCode(s.Name, "new secret"), 0);
  s.Db.Open();
  EXPECT_EQ(s.Db.CryptoAlgorithm, craBlowfish);  // read back from the file
  s.Db.Close();

  String log;
  EXPECT_TRUE(s.Db.ChangeDatabaseSettings(log, false, "third", craTwofish_256, 2048, 4, 20));
  EXPECT_EQ(OpenCode(s.Name, "new secret"), 30445);
  s.Db.Open();
  EXPECT_EQ(s.Db.PageSize, 2048);
  EXPECT_EQ(s.Db.PageCountInExtent, 4);
  EXPECT_EQ(s.Db.MaxConnections, 20);
  EXPECT_EQ(s.Db.CryptoAlgorithm, craTwofish_256);
  s.Db.Close();

  // An empty password: the new file has none.
  EXPECT_EQ(s.Db.ChangePassword(""), "");
  EXPECT_EQ(s.Db.Password(), "");
  EXPECT_EQ(OpenCode(s.Name, ""), 0);
  EXPECT_EQ(OpenCode(s.Name, "anything"), 0);
}

// Refusals: an open component, a transaction, a connection limit of 0,
// another component of this process and another process on the file. None
// of them changes the file or leaves a new one; renaming refuses the same
// users and an existing file under the new name.
TEST(VelqorimDatabaseMaint, RefusesAFileInUse) {
  TStarted started;
  TScratch s;
  const std::string original = Bytes(s.Name);
  auto untouched = [&] {
    EXPECT_TRUE(Bytes(s.Name) == original);
    EXPECT_FALSE(FileExists(s.Name + ".tmp"));
  };
  s.Db.Open();
  s.Db.StartTransaction();
  EXPECT_EQ(ErrorOf([&] { s.Db.CompactDatabase(); }), "Cannot perform this operation on an open database");
  EXPECT_EQ(ErrorOf([&] { s.Db.ChangePassword("x"); }), "Cannot perform this operation on an open database");
  s.Db.Rollback();
  s.Db.Close();
  String log;
  EXPECT_EQ(NativeErrorOf([&] { s.Db.ChangeDatabaseSettings(log, false, "", craRijndael_128, 1024, 8, 0); }), 20274);

  TVelqorimDatabase other(nullptr);
  other.SetDatabaseName("Other");
  other.SetDatabaseFileName(s.Name);
  other.Open();
  EXPECT_EQ(NativeErrorOf([&] { s.Db.ChangePassword("x"); }), 10461);
  EXPECT_EQ(NativeErrorOf([&] { s.Db.RenameDatabase(s.Name + ".moved"); }), 30364);
  other.Close();
  untouched();
  // Renaming never replaces another file.
  std::ofstream(s.Name + ".moved") << "precious";
  EXPECT_EQ(NativeErrorOf([&] { s.Db.RenameDatabase(s.Name + ".moved"); }), 30378);
  EXPECT_EQ(Bytes(s.Name + ".moved"), "precious");
  EXPECT_EQ(s.Db.DatabaseFileName(), s.Name);
  ::unlink((s.Name + ".moved").c_str());
  untouched();

  {
    disk::TPeer peer(HoldOpen(s.Name));
    ASSERT_EQ(peer.Ask('o'), "open");
    for (auto op : std::vector<std::function<void()>>{[&] { s.Db.CompactDatabase(); },
                                                     [&] { s.Db.RepairDatabase(); },
                                                     [&] { s.Db.ChangePassword("x"); },
                                                     [&] { s.Db.RenameDatabase(s.Name + ".moved"); }}) {
      EXPECT_NE(ErrorOf(op), "");
      EXPECT_FALSE(s.Db.Connected());
      EXPECT_FALSE(FileExists(s.Name + ".moved"));
      untouched();
    }
  }
  EXPECT_TRUE(s.Db.CompactDatabase());  // the other process has let go

  // Nor does compacting replace another file that someone has open.
  std::ofstream(s.Name + ".other") << "in use";
  {
    disk::TPeer peer(HoldOpen(s.Name + ".other"));
    ASSERT_EQ(peer.Ask('o'), "open");
    EXPECT_EQ(NativeErrorOf([&] { s.Db.CompactDatabase(s.Name + ".other"); }), 30364);
    EXPECT_EQ(Bytes(s.Name + ".other"), "in use");
    EXPECT_FALSE(FileExists(s.Name + ".other.tmp"));
  }
  ::unlink((s.Name + ".other").c_str());
}

// A file layer that fails the N-th write, or the sync, of the new ".tmp" file.
int FailAtWrite = 0, TmpWrites = 0;
bool FailSync = false;
class TTmpFaults : public FaultyDbFile {
 public:
  int Open(const String& FileName, bool Create, bool ReadOnly) override {
    FTmp = FileName.size() > 4 && FileName.compare(FileName.size() - 4, 4, ".tmp") == 0;
    return FaultyDbFile::Open(FileName, Create, ReadOnly);
  }
  int Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) override {
    if (FTmp && ++TmpWrites == FailAtWrite) WriteErrno = EIO;
    const int rc = FaultyDbFile::Write(Buffer, Count, Position, Done);
    WriteErrno = 0;
    return rc;
  }
  int Sync(bool DataOnly) override { return FTmp && FailSync ? EIO : FaultyDbFile::Sync(DataOnly); }

 private:
  bool FTmp = false;
};

TEST(VelqorimDatabaseMaint, AFaultLeavesTheOldFileAndNoNewOne) {
  TStarted started;
  TScratch s("key");
  SetDbFileFactory([] { return std::make_unique<TTmpFaults>(); });
  const std::string original = Bytes(s.Name);
  int failures = 0;
  // Every write of the new file in turn, then its sync.
  for (FailAtWrite = 1;; ++FailAtWrite) {
    SCOPED_TRACE(FailAtWrite);
    TmpWrites = 0;
    const String error = ErrorOf([&] { s.Db.ChangePassword("new", craSquare); });
    if (error.empty()) break;
    ++failures;
    EXPECT_TRUE(Bytes(s.Name) == original);
    EXPECT_FALSE(FileExists(s.Name + ".tmp"));
    EXPECT_EQ(s.Db.Password(), "key");
    ASSERT_LT(FailAtWrite, 200);
  }
  EXPECT_GT(failures, 3);
  EXPECT_EQ(OpenCode(s.Name, "new"), 0);
  EXPECT_EQ(OpenCode(s.Name, "key"), 30445);

  FailAtWrite = 0;
  FailSync = true;
  const std::string rekeyed = Bytes(s.Name);
  EXPECT_NE(ErrorOf([&] { s.Db.CompactDatabase(); }), "");
  EXPECT_TRUE(Bytes(s.Name) == rekeyed);
  EXPECT_FALSE(FileExists(s.Name + ".tmp"));
  FailSync = false;
  SetDbFileFactory(nullptr);
}

// A file whose last commit did not finish opens with repair needed; the
// handler decides, and the repaired file is whole again.
TEST(VelqorimDatabaseMaint, RepairOnOpenWhenTheHandlerSaysSo) {
  TStarted started;
  TScratch s;
  s.Db.SilentMode = false;
  const uint8_t midCommit = VelqorimCommitWriting;
  Patch(s.Name, WriteChangesStateOffset, &midCommit, 1);
  int asked = 0;
  TEventLog events;
  events.Attach(s.Db.BeforeRepair, s.Db.OnRepairProgress, s.Db.AfterRepair);

  s.Db.NoRequestAutoRepair = true;  // never asked: opens as it is
  s.Db.OnNeedRepair = [&](TObject*, bool& DoRepair) { DoRepair = ++asked > 1; };
  s.Db.Open();
  s.Db.Close();
  s.Db.NoRequestAutoRepair = false;
  s.Db.Open();  // asked, declined
  s.Db.Close();
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(WriteChangesState(s.Name), VelqorimCommitWriting);
  EXPECT_EQ(events.Calls, "");

  {
    // Repair needs the file to itself: with another process on it, opening fails with 20238.
    disk::TPeer peer(HoldOpen(s.Name));
    ASSERT_EQ(peer.Ask('o'), "open");
    EXPECT_EQ(NativeErrorOf([&] { s.Db.Open(); }), 20238);
    EXPECT_FALSE(s.Db.Connected());
    EXPECT_EQ(WriteChangesState(s.Name), VelqorimCommitWriting);
    EXPECT_FALSE(FileExists(s.Name + ".tmp"));
  }
  events.Calls.clear();
  s.Db.Open();  // asked, repaired, connected to the new file
  EXPECT_TRUE(s.Db.Connected());
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(events.Calls, "before;progress 100;after;");
  s.Db.Close();
  EXPECT_EQ(WriteChangesState(s.Name), VelqorimChangesWritten);
  EXPECT_FALSE(s.Db.NoRequestAutoRepair);

  // An old-format file is converted without asking (after an information box).
  const double oldVersion = 2.5;
  Patch(s.Name, VersionOffset, &oldVersion, sizeof oldVersion);
  s.Db.Open();
  s.Db.Close();
  EXPECT_EQ(asked, 3);
  double version = 0;
  const std::string bytes = Bytes(s.Name);
  std::memcpy(&version, bytes.data() + VersionOffset, sizeof version);
  EXPECT_EQ(version, VelqorimFormatVersion);
}

// A database behind a program stub opens, and maintenance keeps the stub.
TEST(VelqorimDatabaseMaint, ExecutableDatabaseKeepsItsStub) {
  TStarted started;
  TScratch s;
  const String stub = s.Name + ".stub", exe = s.Name + ".exe";
  std::string stubBytes(5000, 'P');
  stubBytes += "VELQORIMFILEHEAD";  // a decoy: its header size is wrong
  std::ofstream(stub, std::ios::binary) << stubBytes;
  s.Db.MakeExecutableDatabase(stub, exe);
  TVelqorimDatabase db(nullptr);
  db.SetDatabaseName("Exe");
  db.SetDatabaseFileName(exe);
  db.SilentMode = true;
  db.Open();
  EXPECT_TRUE(db.Connected());
  db.Close();
  EXPECT_EQ(db.ChangePassword("inside"), "");
  const std::string after = Bytes(exe);
  EXPECT_EQ(after.substr(0, stubBytes.size()), stubBytes);
  EXPECT_EQ(after.compare(stubBytes.size(), 16, "VELQORIMFILEHEAD"), 0);
  EXPECT_EQ(OpenCode(exe, "inside"), 0);
  EXPECT_EQ(OpenCode(exe, ""), 30445);
  for (const String& f : {stub, exe}) ::unlink(f.c_str());
}

// A table of Rows records (a key, a name and a memo) in the database component's database.
void FillTable(TVelqorimDatabase& Db, const char* Name, int Rows) {
  TVelqorimTable t(nullptr);
  t.SetDatabaseName(Db.DatabaseName());
  t.SetTableName(Name);
  t.FieldDefs().Add("ID", ftInteger);
  t.FieldDefs().Add("NAME", ftString, 20);
  t.FieldDefs().Add("NOTES", ftMemo);
  t.IndexDefs().Add("ByID", "ID", ixPrimary);
  t.CreateTable();
  t.Open();
  for (int i = 0; i < Rows; ++i) {
    t.Append();
    t.FieldByName("ID")->SetAsInteger(i);
    t.FieldByName("NAME")->SetAsString("row " + std::to_string(i));
    t.FieldByName("NOTES")->SetAsString(std::string(static_cast<size_t>(i % 7) * 300, char('a' + i % 26)));
    t.Post();
  }
  t.Close();
}

// The records of a table as text, in key order; "" when it cannot be opened.
String TableText(TVelqorimDatabase& Db, const char* Name) {
  String text;
  try {
    TVelqorimTable t(nullptr);
    t.SetDatabaseName(Db.DatabaseName());
    t.SetTableName(Name);
    t.SetIndexName("ByID");
    t.Open();
    for (t.First(); !t.Eof(); t.Next())
      text += t.FieldByName("ID")->AsString() + "," + t.FieldByName("NAME")->AsString() + "," +
              std::to_string(t.FieldByName("NOTES")->AsString().size()) + ";";
  } catch (const Exception& e) {
    text = "error: " + e.Message;
  }
  Db.Close();  // maintenance wants it closed
  return text;
}

// Tables "A" and "B" with their records as text.
std::pair<String, String> FillAB(TVelqorimDatabase& Db, int RowsA, int RowsB) {
  FillTable(Db, "A", RowsA);
  FillTable(Db, "B", RowsB);
  Db.Close();
  return {TableText(Db, "A"), TableText(Db, "B")};
}

// Tables and their rows come through every operation whole; compacting
// after deletions makes the file no larger.
TEST(VelqorimDatabaseMaint, TablesAndRowsComeThrough) {
  TStarted started;
  TScratch s("pw");
  FillTable(s.Db, "Parts", 300);
  FillTable(s.Db, "Empty", 0);
  {
    TVelqorimTable t(nullptr);
    t.SetDatabaseName(s.Db.DatabaseName());
    t.SetTableName("Parts");
    t.Open();
    for (int i = 0; i < 200; ++i) t.Delete();
    t.Close();
  }
  s.Db.Close();
  const String parts = TableText(s.Db, "Parts");
  ASSERT_EQ(std::count(parts.begin(), parts.end(), ';'), 100);
  struct stat before{};
  ::stat(s.Name.c_str(), &before);

  EXPECT_TRUE(s.Db.CompactDatabase());
  EXPECT_EQ(s.Db.RowsNotCopied(), 0);
  struct stat after{};
  ::stat(s.Name.c_str(), &after);
  EXPECT_LE(after.st_size, before.st_size);
  EXPECT_EQ(TableText(s.Db, "Parts"), parts);
  EXPECT_EQ(TableText(s.Db, "Empty"), "");

  EXPECT_EQ(s.Db.RepairDatabase(), "");
  EXPECT_EQ(s.Db.RowsNotCopied(), 0);
  EXPECT_EQ(TableText(s.Db, "Parts"), parts);

  EXPECT_EQ(s.Db.ChangePassword("other", craTwofish_128), "");
  EXPECT_EQ(s.Db.RowsNotCopied(), 0);
  EXPECT_EQ(OpenCode(s.Name, "pw"), 30445);
  EXPECT_EQ(TableText(s.Db, "Parts"), parts);

  String log;
  EXPECT_TRUE(s.Db.ChangeDatabaseSettings(log, false, "other", craTwofish_128, 4096, 8, 50));
  EXPECT_EQ(TableText(s.Db, "Parts"), parts);
  TStringList tables;
  s.Db.GetTablesList(tables);
  EXPECT_EQ(tables.Count(), 2);
}

// Stopping from the progress handler ends the copy with False: compacting
// into a file then fails with 30456 and leaves no new file; a file left
// mid-commit with tables is repaired with its rows.
TEST(VelqorimDatabaseMaint, AbortAndRepairWithTables) {
  TStarted started;
  TScratch s;
  const auto [a, b] = FillAB(s.Db, 50, 50);
  int steps = 0;
  s.Db.OnCompactProgress = [&](TObject*, double, bool& Continue) { Continue = ++steps < 2; };
  EXPECT_EQ(NativeErrorOf([&] { s.Db.CompactDatabase(s.Name + ".copy"); }), 30456);
  EXPECT_FALSE(FileExists(s.Name + ".copy"));
  EXPECT_FALSE(FileExists(s.Name + ".copy.tmp"));
  EXPECT_EQ(TableText(s.Db, "A"), a);

  const uint8_t midCommit = VelqorimCommitWriting;
  Patch(s.Name, WriteChangesStateOffset, &midCommit, 1);
  s.Db.SilentMode = false;
  s.Db.OnNeedRepair = [](TObject*, bool& DoRepair) { DoRepair = true; };
  s.Db.Open();
  EXPECT_EQ(s.Db.RowsNotCopied(), 0);
  s.Db.Close();
  EXPECT_EQ(WriteChangesState(s.Name), VelqorimChangesWritten);
  EXPECT_EQ(TableText(s.Db, "A"), a);
  EXPECT_EQ(TableText(s.Db, "B"), b);
}

// A failing write of the new file at any point of a repair or a compact
// with tables: either the operation fails and the old file stays as it was,
// or every row arrived. A repair skips damage of the source, never rows the
// new file failed to take.
TEST(VelqorimDatabaseMaint, AFaultWhileCopyingTablesNeverLosesRows) {
  TStarted started;
  TScratch s;
  const auto [a, b] = FillAB(s.Db, 20, 3);
  int failures = 0, successes = 0;
  for (FailAtWrite = 1; FailAtWrite < 2000; FailAtWrite += 7) {
    SCOPED_TRACE(FailAtWrite);
    const std::string original = Bytes(s.Name);
    const ino_t inode = Inode(s.Name);
    TmpWrites = 0;
    SetDbFileFactory([] { return std::make_unique<TTmpFaults>(); });
    const bool repair = FailAtWrite % 2 == 1;
    String error = ErrorOf([&] {
      if (repair) s.Db.RepairDatabase();
      else s.Db.CompactDatabase();
    });
    SetDbFileFactory(nullptr);
    EXPECT_FALSE(FileExists(s.Name + ".tmp"));
    if (Inode(s.Name) == inode) {
      ++failures;
      EXPECT_TRUE(Bytes(s.Name) == original);
    } else {
      ++successes;
      EXPECT_EQ(s.Db.RowsNotCopied(), 0);
    }
    ASSERT_EQ(TableText(s.Db, "A"), a);
    ASSERT_EQ(TableText(s.Db, "B"), b);
    if (TmpWrites < FailAtWrite) break;  // the fault came after the last write
  }
  EXPECT_GT(failures, 20);
  EXPECT_GT(successes, 0);
}

// A damaged page of an enciphered file (its check sum fails): the table
// cannot be read through, repair keeps every record it can read and reports
// how many it could not.
TEST(VelqorimDatabaseMaint, RepairSkipsDamageAndCountsTheLostRows) {
  TStarted started;
  TScratch s("pw");
  FillTable(s.Db, "A", 200);
  s.Db.Close();
  std::string bytes = Bytes(s.Name);
  constexpr size_t PageSize = 1024, PageTypeAt = 8;
  constexpr uint16_t RecordPage = 10;
  int recordPages = 0;
  for (size_t at = VelqorimFirstPageOffset; at + PageSize <= bytes.size(); at += PageSize) {
    uint16_t type = 0;
    std::memcpy(&type, bytes.data() + at + PageTypeAt, sizeof type);
    if (type == RecordPage && ++recordPages == 2) bytes[at + PageSize / 2] ^= 0x55;
  }
  ASSERT_GT(recordPages, 2);
  std::ofstream(s.Name, std::ios::binary | std::ios::trunc) << bytes;
  EXPECT_NE(TableText(s.Db, "A").find("30446"), String::npos);

  const String log = s.Db.RepairDatabase();
  EXPECT_NE(log.find("corrupted and skipped."), String::npos);
  const int64_t lost = s.Db.RowsNotCopied();
  EXPECT_GT(lost, 0);
  EXPECT_LT(lost, 100);
  const String text = TableText(s.Db, "A");
  EXPECT_EQ(std::count(text.begin(), text.end(), ';'), 200 - lost);
}

// Without handlers the wait form shows each operation's text, visible at
// once, and closes at the end; a silent component shows none.
class TRecordingDialogs : public IVelqorimDialogs {
 public:
  struct TForm : IVelqorimWaitForm {
    explicit TForm(TRecordingDialogs& D) : Owner(D) {}
    void SetPosition(int Percent) override { Owner.Log += "@" + std::to_string(Percent); }
    void MakeVisible() override { Owner.Log += "+"; }
    void ProcessMessages() override {}
    bool Terminated() override { return false; }
    void Close() override { Owner.Log += "|"; }
    TRecordingDialogs& Owner;
  };
  std::unique_ptr<IVelqorimWaitForm> ShowWaitForm(const String& Text) override {
    Log += Text;
    return std::make_unique<TForm>(*this);
  }
  bool ShowPasswordDialog(TObject*, const String&) override { return false; }
  bool Confirm(const String&) override { return false; }
  bool ShowMessage(const String&, TVelqorimMessageKind) override { return false; }
  String Log;
};

TEST(VelqorimDatabaseMaint, WaitFormWithoutHandlers) {
  TStarted started;
  TRecordingDialogs dialogs;
  SetVelqorimDialogs(&dialogs);
  TScratch s;
  s.Db.SilentMode = false;
  String log;
  s.Db.CompactDatabase();
  s.Db.RepairDatabase();
  s.Db.ChangePassword("p");
  s.Db.ChangeDatabaseSettings(log, false, "p", craRijndael_128, 1024, 8, 10);
  EXPECT_EQ(dialogs.Log,
            "Compacting Database...@0++@100|Repairing Database...@0++@100|"
            "Changing Database Password...@0++@100|Changing Database Settings...@0++@100|");
  dialogs.Log.clear();
  s.Db.SilentMode = true;
  s.Db.CompactDatabase();
  EXPECT_EQ(dialogs.Log, "");
  SetVelqorimDialogs(nullptr);
}

}  // namespace
