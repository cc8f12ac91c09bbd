// The table component's record transfer on "MEMORY" and "TEMP": the shared
// record copy with its log, progress and stop; copy, import, export, batch
// move and restructure, with restructure's rollback after a failure at each
// step; and when the wait form stands in for the program's handlers.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimDbFile.h"
#include "platform/os/Files.h"
#include "tests/db_dsfw/VectorDataSet.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

// What Action raises, any engine or framework error alike; empty when nothing.
String Raised(const std::function<void()>& Action) {
  return ErrorOf(Action);
}

struct TRow {
  int Id;
  const char* Name;
};

class TransferTest : public ::testing::TestWithParam<const char*> {
 protected:
  std::unique_ptr<TVelqorimTable> NewTable(const String& Name, const String& Database = String()) {
    auto t = std::make_unique<TVelqorimTable>(nullptr);
    t->SetDatabaseName(Database.empty() ? String(GetParam()) : Database);
    t->SetTableName(Name);
    return t;
  }
  // An open table ID (primary), NAME with the rows given.
  std::unique_ptr<TVelqorimTable> Filled(const String& Name, const std::vector<TRow>& Rows,
                                         bool Unique = false) {
    auto t = NewTable(Name);
    t->FieldDefs().Add("ID", ftInteger);
    t->FieldDefs().Add("NAME", ftString, 20);
    t->IndexDefs().Add("ByID", "ID", ixPrimary);
    if (Unique) t->IndexDefs().Add("ByName", "NAME", ixUnique);
    t->CreateTable();
    t->Open();
    for (const TRow& r : Rows) {
      t->Append();
      t->FieldByName("ID")->SetAsInteger(r.Id);
      t->FieldByName("NAME")->SetAsString(r.Name);
      t->Post();
    }
    return t;
  }
  // "id:name" of every record in ID order.
  static String Contents(TVelqorimTable& T, const String& NameField = "NAME") {
    const bool wasOpen = T.Active();
    T.Open();
    T.IndexDefs().Update();
    const bool ordered = T.IndexDefs().GetIndexForFields("ID", false) != nullptr;
    if (ordered) T.SetIndexFieldNames("ID");
    String out;
    for (T.First(); !T.Eof(); T.Next())
      out +=
          std::to_string(T.FieldByName("ID")->AsInteger()) + ":" + T.FieldByName(NameField)->AsString() + " ";
    if (ordered) T.SetIndexFieldNames("");
    if (!wasOpen) T.Close();
    return out;
  }
  std::vector<String> Tables() {
    TVelqorimLocalSession session;
    session.DatabaseName = GetParam();
    session.SetConnected(true);
    TStringList list;
    session.GetTablesList(list);
    std::vector<String> names;
    for (int i = 0; i < list.Count(); ++i) names.push_back(list[i]);
    return names;
  }
  bool IsTemp() const { return String(GetParam()) == "TEMP"; }

  TStarted started;
};

const std::vector<TRow> Five = {{1, "Arne"}, {2, "Bo"}, {3, "Cleo"}, {4, "Dag"}, {5, "Eva"}};
const char* const FiveText = "1:Arne 2:Bo 3:Cleo 4:Dag 5:Eva ";

TEST_P(TransferTest, CopyTableCopiesRecordsAndIndexesWithAnEmptyLog) {
  auto t = Filled("people", Five);
  t->SetIndexName("ByID");
  t->First();
  t->Next();  // the table's position survives the copy
  String log;
  bool Continue = true;
  EXPECT_TRUE(t->CopyTable("people2", log, Continue, "", "", false, false, true, 0, 100));
  EXPECT_EQ(log, "");
  EXPECT_TRUE(t->Active());
  EXPECT_EQ(t->FieldByName("ID")->AsInteger(), 2);
  auto copy = NewTable("people2");
  EXPECT_EQ(Contents(*copy), FiveText);
  copy->IndexDefs().Update();
  ASSERT_GE(copy->IndexDefs().IndexOf("ByID"), 0);
  EXPECT_TRUE(copy->IndexDefs().Find("ByID")->Options & ixPrimary);

  // Onto an existing table: refused, logged, or replaced; never onto itself.
  EXPECT_EQ(NativeErrorOf([&] { t->CopyTable("people2"); }), 30448);
  EXPECT_FALSE(t->CopyTable("people2", log, Continue, "", "", true, false, true, 0, 100));
  EXPECT_EQ(log, "Table '" + String(GetParam()) + ".people2' already exists");
  log.clear();
  EXPECT_EQ(NativeErrorOf([&] { t->CopyTable("PEOPLE"); }), 30447);
  EXPECT_EQ(Contents(*t), FiveText);
  EXPECT_TRUE(t->CopyTable("people2", log, Continue, "", "", false, true, false, 0, 100));
  copy->IndexDefs().Updated = false;
  copy->IndexDefs().Update();
  EXPECT_EQ(copy->IndexDefs().Count(), 0);
  EXPECT_EQ(Contents(*copy), FiveText);
}

TEST_P(TransferTest, CopyTableIntoMemory) {
  auto t = Filled("stock", Five);
  t->Close();
  EXPECT_TRUE(t->CopyTable("stock_copy", "MEMORY", ""));
  EXPECT_FALSE(t->Active());
  auto copy = NewTable("stock_copy", "MEMORY");
  EXPECT_EQ(Contents(*copy), FiveText);
  EXPECT_EQ(NativeErrorOf([&] { t->CopyTable("stock_copy", "MEMORY", ""); }), 10515);
}

TEST_P(TransferTest, RecordCopyLogsLostRecordsReportsProgressAndStops) {
  auto source = Filled("src", {{1, "Same"}, {2, "Other"}, {3, "Same"}});
  auto dest = Filled("dst", {}, true);  // NAME is unique there
  String log;
  bool Continue = true;
  EXPECT_FALSE(
      CopyTableRecords(source.get(), source.get(), dest.get(), 100, 0, nullptr, false, true, Continue, log));
  EXPECT_EQ(Contents(*dest), "1:Same 2:Other ");
  const String prefix = "Error copying table \"src\". Record #3 was not imported due to error: ";
  ASSERT_EQ(log.substr(0, prefix.size()), prefix);
  EXPECT_EQ(log.substr(log.size() - 4), "\r\n\r\n");
  // Without IgnoreErrors the error goes on, and the destination is back in browse mode.
  dest->Close();
  dest->EmptyTable();
  dest->Open();
  log.clear();
  EXPECT_NE(Raised([&] {
              CopyTableRecords(nullptr, source.get(), dest.get(), 100, 0, nullptr, false, false, Continue,
                               log);
            }),
            "");
  EXPECT_EQ(dest->State(), dsBrowse);
  EXPECT_NE(log.find("Error copying table \"unknown\""), String::npos);

  // Over 1,000 records from 0 to 100 %: after the first record, then every 11.
  auto big = NewTable("big");
  big->FieldDefs().Add("ID", ftInteger);
  big->CreateTable();
  big->Open();
  for (int i = 1; i <= 1000; ++i) {
    big->Append();
    big->FieldByName("ID")->SetAsInteger(i);
    big->Post();
  }
  auto into = NewTable("into");
  into->FieldDefs().Add("ID", ftInteger);
  into->CreateTable();
  into->Open();
  std::vector<double> seen;
  auto record = [&](TObject* Sender, double Percent, bool&) {
    EXPECT_EQ(Sender, big.get());
    seen.push_back(Percent);
  };
  log.clear();
  EXPECT_TRUE(
      CopyTableRecords(big.get(), big.get(), into.get(), 100, 0, record, false, false, Continue, log));
  EXPECT_EQ(log, "");
  ASSERT_EQ(seen.size(), 91u);
  EXPECT_EQ(seen[0], 0);    // record 1 of 1,000: 0.1 % rounds to 0
  EXPECT_EQ(seen[1], 1);    // record 12
  EXPECT_EQ(seen[90], 99);  // record 991
  EXPECT_EQ(into->RecordCount(), 1000);

  // Clearing Continue stops the copy after what arrived so far.
  into->Close();
  into->EmptyTable();
  into->Open();
  auto stop = [&](TObject*, double Percent, bool& C) { C = Percent < 5; };
  EXPECT_FALSE(CopyTableRecords(big.get(), big.get(), into.get(), 100, 0, stop, false, false, Continue, log));
  EXPECT_EQ(log, "Terminated by User.\r\n");
  EXPECT_EQ(into->RecordCount(), 56);  // record 56 reports 6 %
}

TEST_P(TransferTest, ImportsFromAnyDatasetAndExportsIntoAnyDataset) {
  // From a dataset of the framework's own, with an unnamed and an unusable index.
  TVectorDataSet data(nullptr, {{"ID", ftInteger}, {"NAME", ftString, 20}});
  for (const TRow& r : Five) data.AddRow({Variant(r.Id), Variant(String(r.Name))});
  data.Open();
  TIndexDefs indexes(nullptr);
  indexes.Add("", "ID", ixPrimary);
  indexes.Add("ByExpression", "", 0);
  auto t = NewTable("imported");
  String log;
  EXPECT_FALSE(t->ImportTable(&data, log, &indexes));
  EXPECT_EQ(log, "Cannot import index 'ByExpression'. Index type is not supported, index skipped");
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(Contents(*t), FiveText);
  t->IndexDefs().Updated = false;
  t->IndexDefs().Update();
  ASSERT_EQ(t->IndexDefs().Count(), 1);
  EXPECT_EQ(t->IndexDefs()[0]->Name, "idxPrimaryKey");

  // From an engine table: its whole structure, and an unchanged log.
  auto again = NewTable("imported2");
  log = "kept";
  EXPECT_TRUE(again->ImportTable(t.get(), log, nullptr));
  EXPECT_EQ(log, "kept");
  EXPECT_EQ(Contents(*again), FiveText);

  // Into a dataset of the framework's own, and into another table.
  TVectorDataSet out(nullptr, {{"ID", ftInteger}, {"NAME", ftString, 20}});
  bool created = false;
  EXPECT_TRUE(again->ExportTable(&out, [&] { created = true; }));
  EXPECT_TRUE(created);
  EXPECT_TRUE(out.Active());
  ASSERT_EQ(out.Rows.size(), 5u);
  out.Last();
  EXPECT_EQ(out.FieldByName("NAME")->AsString(), "Eva");
  auto exported = NewTable("exported");
  log.clear();
  EXPECT_TRUE(again->ExportTable(
      exported.get(), [&] { exported->CreateTable(); }, log));
  EXPECT_EQ(log, "");
  EXPECT_EQ(Contents(*exported), FiveText);
  // A destination that cannot be created is logged.
  EXPECT_FALSE(again->ExportTable(
      exported.get(), [] { throw EABSException(99999, "no room"); }, log));
  EXPECT_EQ(log.rfind("Error exporting table. Cannot create table due to error: ", 0), 0u);
}

TEST_P(TransferTest, BatchMoveEveryMoveType) {
  struct {
    TABSBatchMoveType Type;
    const char* Expected;
  } cases[] = {
      {bmtAppend, "1:a 2:b 3:C 9:z "}, {bmtAppendUpdate, "1:A 2:B 3:C 9:z "},
      {bmtCopy, "1:A 2:B 3:C "},       {bmtDelete, "9:z "},
      {bmtUpdate, "1:A 2:B 9:z "},     {bmtSynchronize, "1:A 2:B 3:C "},
  };
  auto source = Filled("source", {{1, "A"}, {2, "B"}, {3, "C"}});
  for (const auto& c : cases) {
    // Temporary tables take new records only.
    if (IsTemp() && c.Type != bmtAppend && c.Type != bmtCopy) continue;
    SCOPED_TRACE(static_cast<int>(c.Type));
    auto dest = Filled("dest", {{9, "z"}, {1, "a"}, {2, "b"}});
    dest->SetIndexFieldNames("ID");
    int before = 0, after = 0;
    std::vector<double> progress;
    dest->BeforeBatchMove = [&](TObject* Sender) { before += Sender == source.get(); };
    dest->AfterBatchMove = [&](TObject* Sender) { after += Sender == source.get(); };
    dest->OnBatchMoveProgress = [&](TObject*, double P, bool&) { progress.push_back(P); };
    dest->BatchMove(source.get(), c.Type);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_FALSE(progress.empty());
    EXPECT_EQ(dest->IndexFieldNames(), "ID");
    EXPECT_EQ(Contents(*dest), c.Expected);
    dest->DeleteTable();
  }
  // Without a primary index, equal records are those equal in every common field.
  auto plain = NewTable("plain");
  plain->FieldDefs().Add("ID", ftInteger);
  plain->FieldDefs().Add("NAME", ftString, 20);
  plain->CreateTable();
  plain->Open();
  plain->Append();
  plain->FieldByName("ID")->SetAsInteger(1);
  plain->FieldByName("NAME")->SetAsString("A");
  plain->Post();
  plain->BatchMove(source.get(), bmtAppend);
  EXPECT_EQ(Contents(*plain), "1:A 2:B 3:C ");
  plain->IndexDefs().Updated = false;
  plain->IndexDefs().Update();
  EXPECT_EQ(plain->IndexDefs().Count(), 0);  // the index made for the move is gone
}

TEST_P(TransferTest, RestructureFollowsRenamedFieldsAndKeepsData) {
  auto t = Filled("people", Five);
  t->Close();
  t->FieldDefs().Update();
  TVelqorimAdvFieldDefs& defs = t->RestructureFieldDefs();
  ASSERT_EQ(defs.Count(), 2);
  defs.Find("NAME")->Name = "FULLNAME";
  defs.Add("CITY", aftString, 10);
  String log;
  int before = 0, after = 0;
  t->BeforeRestructure = [&](TObject* Sender) { before += Sender == t.get(); };
  t->AfterRestructure = [&](TObject* Sender) { after += Sender == t.get(); };
  EXPECT_TRUE(t->RestructureTable(log));
  EXPECT_EQ(log, "");
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_EQ(t->TableName(), "people");
  EXPECT_FALSE(t->Active());
  EXPECT_EQ(Contents(*t, "FULLNAME"), FiveText);
  t->Open();
  EXPECT_NE(t->FindField("CITY"), nullptr);
  t->Close();
  EXPECT_EQ(Tables(), std::vector<String>{"people"});
}

// Every step that fails leaves the table under its name as it was, and no table aside.
TEST_P(TransferTest, FailedOrStoppedRestructureLeavesTheOldTable) {
  enum TFault { BadStructure, BeforeEvent, ProgressEvent, AfterEvent, CopyFails, UserStops };
  for (TFault fault : {BadStructure, BeforeEvent, ProgressEvent, AfterEvent, CopyFails, UserStops}) {
    SCOPED_TRACE(static_cast<int>(fault));
    auto t = Filled("people", {{1, "Arne"}, {2, "Arne"}});
    t->Close();
    t->FieldDefs().Update();
    t->RestructureFieldDefs().Add("EXTRA", aftInteger);
    auto fail = [](const char* Where) { throw EABSException(99999, Where); };
    switch (fault) {
      case BadStructure:
        t->RestructureFieldDefs().Add("WRONG", aftString, 0);
        break;
      case BeforeEvent:
        t->BeforeRestructure = [&](TObject*) { fail("before"); };
        break;
      case ProgressEvent:
        t->OnRestructureProgress = [&](TObject*, double, bool&) { fail("progress"); };
        break;
      case AfterEvent:
        t->AfterRestructure = [&](TObject*) { fail("after"); };
        break;
      case CopyFails:
        t->RestructureIndexDefs().Add("ByName", "NAME", ixUnique);  // the data breaks it
        break;
      case UserStops:
        t->OnRestructureProgress = [](TObject*, double, bool& C) { C = false; };
        break;
    }
    String log;
    bool result = false;
    const String error = Raised([&] { result = t->RestructureTable(log); });
    EXPECT_FALSE(result);
    EXPECT_EQ(t->TableName(), "people");
    EXPECT_EQ(Tables(), std::vector<String>{"people"});
    EXPECT_EQ(Contents(*t), "1:Arne 2:Arne ");
    EXPECT_EQ(t->FindField("EXTRA"), nullptr);
    if (fault == BadStructure) {
      EXPECT_EQ(log.rfind("Error restructuring table. Cannot create table due to error: ", 0), 0u);
    } else if (fault == UserStops) {
      EXPECT_EQ(log, "Terminated by User.\r\n");
    } else {
      EXPECT_NE(error, "");
    }
    t->DeleteTable();
  }
}

INSTANTIATE_TEST_SUITE_P(Databases, TransferTest, ::testing::Values("MEMORY", "TEMP"));

// A wait form whose Abort the user pressed at once.
class TAbortedWaitForm : public IVelqorimWaitForm {
 public:
  explicit TAbortedWaitForm(std::vector<String>& Calls) : FCalls(Calls) {}
  void SetPosition(int Percent) override { FCalls.push_back("position " + std::to_string(Percent)); }
  void MakeVisible() override {}
  void ProcessMessages() override {}
  bool Terminated() override { return true; }
  void Close() override { FCalls.push_back("close"); }

 private:
  std::vector<String>& FCalls;
};

// A window system that counts the wait forms asked for (each aborted by the user).
class TCountingDialogs : public IVelqorimDialogs {
 public:
  int WaitForms = 0;
  std::vector<String> Calls;
  std::unique_ptr<IVelqorimWaitForm> ShowWaitForm(const String& Text) override {
    ++WaitForms;
    Calls.push_back(Text);
    return std::make_unique<TAbortedWaitForm>(Calls);
  }
  bool ShowPasswordDialog(TObject*, const String&) override { return false; }
  bool Confirm(const String&) override { return false; }
  bool ShowMessage(const String&, TVelqorimMessageKind) override { return false; }
};

TEST(TableTransferWaitForm, ShownOnlyWithoutHandlerForAVisibleDatabase) {
  TStarted started;
  TCountingDialogs dialogs;
  SetVelqorimDialogs(&dialogs);
  struct TRestore {
    ~TRestore() { SetVelqorimDialogs(nullptr); }
  } restore;
  auto make = [](const char* Database, const char* Name) {
    auto t = std::make_unique<TVelqorimTable>(nullptr);
    t->SetDatabaseName(Database);
    t->SetTableName(Name);
    t->FieldDefs().Add("ID", ftInteger);
    t->CreateTable();
    return t;
  };
  // The automatic database component of a table is silent.
  auto t = make("MEMORY", "a");
  EXPECT_TRUE(t->CopyTable("a1"));
  EXPECT_EQ(dialogs.WaitForms, 0);
  // A program's own component that is not silent: the form, unless a handler is assigned.
  TVelqorimDatabase db(nullptr);
  db.SetDatabaseName("MEMORY");
  db.Open();
  t->Open();
  t->Append();
  t->FieldByName("ID")->SetAsInteger(1);
  t->Post();
  t->Close();
  String log;
  bool Continue = true;
  EXPECT_TRUE(t->CopyTable("a2", log, Continue, "", "", false, false, true, 0, 100));
  EXPECT_EQ(dialogs.WaitForms, 1);
  // The user's Abort stops the copy at its first progress step.
  EXPECT_FALSE(Continue);
  EXPECT_EQ(log, "Terminated by User.\r\n");
  EXPECT_EQ(dialogs.Calls, (std::vector<String>{"Copy Table...", "position 0", "position 100", "close"}));
  int handled = 0;
  t->BeforeCopy = [&](TObject*) { ++handled; };
  EXPECT_TRUE(t->CopyTable("a3"));
  EXPECT_EQ(dialogs.WaitForms, 1);
  EXPECT_EQ(handled, 1);
  t->BeforeCopy = nullptr;
  db.SilentMode = true;
  EXPECT_TRUE(t->CopyTable("a4"));
  EXPECT_EQ(dialogs.WaitForms, 1);
  // Temporary tables never show it.
  TVelqorimDatabase temp(nullptr);
  temp.SetDatabaseName("TEMP");
  temp.Open();
  auto scratch = std::make_unique<TVelqorimTable>(nullptr);
  scratch->SetTemporary(true);
  scratch->SetTableName("s");
  scratch->FieldDefs().Add("ID", ftInteger);
  scratch->CreateTable();
  EXPECT_TRUE(scratch->CopyTable("s1"));
  EXPECT_EQ(dialogs.WaitForms, 1);
  auto visible = make("TEMP", "v");
  EXPECT_TRUE(visible->CopyTable("v1"));
  EXPECT_EQ(dialogs.WaitForms, 2);
}

// ---------------------------------------------------------------------------
// Database files

// A database file under TMPDIR with its component; both go at the end.
struct TFileDatabase {
  explicit TFileDatabase(const char* Tag)
      : Name(GetTempDir() + "/velqorim-transfer-" + std::to_string(::getpid()) + "-" + Tag + ".vdb"),
        Db(nullptr) {
    ::unlink(Name.c_str());
    Db.SetDatabaseName(String("Transfer") + Tag);
    Db.SetDatabaseFileName(Name);
    Db.PageSize = 1024;
    Db.SilentMode = true;
    Db.CreateDatabase();
  }
  ~TFileDatabase() {
    Db.Close();
    ::unlink(Name.c_str());
  }
  std::unique_ptr<TVelqorimTable> Table(const String& TableName) {
    auto t = std::make_unique<TVelqorimTable>(nullptr);
    t->SetDatabaseName(Db.DatabaseName());
    t->SetTableName(TableName);
    return t;
  }
  String Name;
  TVelqorimDatabase Db;
};

std::string FileBytes(const String& File) {
  std::ifstream in(File, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const String& File, const std::string& Bytes) {
  std::ofstream out(File, std::ios::binary | std::ios::trunc);
  out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

// People 1..Count named "n1".."nCount", with an index on ID.
void FillPeople(TVelqorimTable& T, int Count) {
  T.FieldDefs().Add("ID", ftInteger);
  T.FieldDefs().Add("NAME", ftString, 20);
  T.IndexDefs().Add("ByID", "ID", ixPrimary);
  T.CreateTable();
  T.Open();
  for (int i = 1; i <= Count; ++i) {
    T.Append();
    T.FieldByName("ID")->SetAsInteger(i);
    T.FieldByName("NAME")->SetAsString("n" + std::to_string(i));
    T.Post();
  }
  T.Close();
}

// Whether T holds people 1..Count under NameField, in ID order.
bool HoldsPeople(TVelqorimTable& T, int Count, const String& NameField) {
  T.SetIndexName("ByID");
  T.Open();
  bool same = T.RecordCount() == Count;
  int i = 1;
  for (T.First(); same && !T.Eof(); T.Next(), ++i)
    same = T.FieldByName("ID")->AsInteger() == i &&
           T.FieldByName(NameField)->AsString() == "n" + std::to_string(i);
  T.Close();
  return same;
}

TEST(TableTransferOnFiles, CopiesIntoAnotherDatabaseFile) {
  TStarted started;
  TFileDatabase from("from"), into("into");
  auto t = from.Table("people");
  FillPeople(*t, 20);
  String log;
  bool Continue = true;
  EXPECT_TRUE(t->CopyTable("people", log, Continue, into.Name, "", false, false, true, 0, 100));
  EXPECT_EQ(log, "");
  auto copy = into.Table("people");
  EXPECT_TRUE(HoldsPeople(*copy, 20, "NAME"));
  // Onto itself through its own file name, or onto the copy: refused.
  EXPECT_EQ(NativeErrorOf([&] { t->CopyTable("PEOPLE", from.Name, ""); }), 30447);
  EXPECT_EQ(NativeErrorOf([&] { t->CopyTable("people", into.Name, ""); }), 30448);
  EXPECT_TRUE(HoldsPeople(*t, 20, "NAME"));
}

// A process that dies at any write of a restructure leaves a file that opens
// with the table under its name, old or new, whole, and nothing set aside.
TEST(TableTransferOnFiles, RestructureSurvivesDeathAtEveryWrite) {
  TStarted started;
  constexpr int Rows = 30;
  TFileDatabase file("restructure");
  {
    auto t = file.Table("people");
    FillPeople(*t, Rows);
  }
  file.Db.Close();
  const std::string base = FileBytes(file.Name);
  auto restructure = [&] {
    TVelqorimDatabase db(nullptr);
    db.SetDatabaseName("Dying");
    db.SetDatabaseFileName(file.Name);
    db.SilentMode = true;
    db.Open();
    TVelqorimTable t(nullptr);
    t.SetDatabaseName("Dying");
    t.SetTableName("people");
    t.FieldDefs().Update();
    t.RestructureFieldDefs().Find("NAME")->Name = "FULLNAME";
    t.RestructureFieldDefs().Add("CITY", aftString, 10);
    String log;
    return t.RestructureTable(log) && log.empty();
  };
  // How many writes a whole restructure makes.
  struct TCountingFile : FaultyDbFile {
    explicit TCountingFile(int64_t& Count) : FCount(Count) {}
    int Write(const void* Buffer, int64_t Count, int64_t Position, int64_t& Done) override {
      ++FCount;
      return FaultyDbFile::Write(Buffer, Count, Position, Done);
    }
    int64_t& FCount;
  };
  int64_t writes = 0;
  SetDbFileFactory([&] { return std::make_unique<TCountingFile>(writes); });
  ASSERT_TRUE(restructure());
  SetDbFileFactory(nullptr);
  ASSERT_GT(writes, 0);
  const int64_t step = std::max<int64_t>(1, writes / 30);
  int newStructure = 0, oldStructure = 0;
  for (int64_t n = 0; n <= writes; n += step) {
    SCOPED_TRACE(n);
    WriteFileBytes(file.Name, base);
    // The restructure runs in a child process that really ends where its file dies.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SetDbFileFactory([&] {
        auto f = std::make_unique<FaultyDbFile>();
        f->WritesUntilDeath = static_cast<int>(n);
        return f;
      });
      try {
        restructure();
      } catch (...) {
        // The process is gone here.
      }
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const String error = Raised([&] {
      TVelqorimDatabase db(nullptr);
      db.SetDatabaseName("Reopened");
      db.SetDatabaseFileName(file.Name);
      db.SilentMode = true;
      db.Open();
      TStringList tables;
      db.GetTablesList(tables);
      ASSERT_EQ(tables.Count(), 1);
      EXPECT_EQ(tables[0], "people");
      TVelqorimTable t(nullptr);
      t.SetDatabaseName("Reopened");
      t.SetTableName("people");
      t.FieldDefs().Update();
      const bool renamed = t.FieldDefs().IndexOf("FULLNAME") >= 0;
      EXPECT_TRUE(HoldsPeople(t, Rows, renamed ? "FULLNAME" : "NAME"));
      (renamed ? newStructure : oldStructure)++;
    });
    EXPECT_EQ(error, "");
  }
  EXPECT_GT(oldStructure, 0);
  EXPECT_GT(newStructure, 0);
  std::printf("restructure: %lld writes; %d deaths left the old table, %d the new one\n",
              static_cast<long long>(writes), oldStructure, newStructure);
}

}  // namespace
