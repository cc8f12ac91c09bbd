// The database component on "MEMORY" and "TEMP", its session's side (finding,
// opening and dropping database components), the password request, and the
// executable database.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "db/sql/VelqorimDatabase.h"
#include "db/sql/VelqorimQuery.h"
#include "db/sql/VelqorimTable.h"
#include "db/storage/VelqorimMemEngine.h"
#include "db/support/DAZExcept.h"
#include "platform/os/Files.h"
#include "tests/db_dsfw/VectorDataSet.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

void CreateTable(const char* Database, const char* Name) {
  TVelqorimLocalSession session;
  session.DatabaseName = Database;
  session.SetConnected(true);
  TVelqorimLocalCursor cursor;
  cursor.Session = &session;
  cursor.TableName = Name;
  TVelqorimFieldDefs f;
  f.AddCreated()->Name = "a";
  f[0]->SetFieldDefDataType(aftInteger, 0);
  TVelqorimIndexDefs i;
  TVelqorimConstraintDefs c;
  cursor.CreateTable(f, i, c);
}

TEST(VelqorimDatabase, OpensTheProcessWideDatabasesAndRefusesTransactions) {
  TStarted started;
  CreateTable("MEMORY", "Stock");
  TVelqorimDatabase db(nullptr);
  db.SetName("Db1");
  EXPECT_EQ(ErrorOf([&] { db.Open(); }), "Db1: Database name missing");
  db.SetDatabaseName("memory");
  EXPECT_EQ(db.Session(), DefaultSession());
  EXPECT_EQ(db.CurrentVersion(), "7.80 ");
  EXPECT_EQ(ErrorOf([&] { db.StartTransaction(); }), "Db1: Cannot perform this operation on a closed database");
  db.Open();
  EXPECT_TRUE(db.Connected());
  EXPECT_TRUE(DefaultSession()->GetActive());
  EXPECT_TRUE(db.TableExists("STOCK"));
  TStringList tables;
  db.GetTablesList(tables);
  EXPECT_EQ(tables.Count(), 1);
  // MEMORY applies every change at once: no transaction it could not roll back.
  EXPECT_EQ(NativeErrorOf([&] { db.StartTransaction(); }), 20300);
  EXPECT_FALSE(db.InTransaction());
  EXPECT_EQ(NativeErrorOf([&] { db.Commit(); }), 20229);
  EXPECT_EQ(ErrorOf([&] { db.SetDatabaseName("Other"); }), "Db1: Cannot perform this operation on an open database");
  EXPECT_EQ(ErrorOf([&] { db.CreateDatabase(); }), "Db1: Cannot perform this operation on an open database");

  // Closing disconnects the datasets that use the database.
  TVectorDataSet data(nullptr, {{"a", ftInteger}});
  data.Open();
  db.AddDataSet(&data);
  db.Close();
  EXPECT_FALSE(data.Active());
  EXPECT_EQ(db.DataSetCount(), 0);
  EXPECT_FALSE(db.Connected());

  // Listing tables connects only for the while.
  TVelqorimDatabase temp(nullptr);
  temp.SetDatabaseName("TEMP");
  CreateTable("TEMP", "Scratch");
  tables.Clear();
  temp.GetTablesList(tables);
  EXPECT_EQ(tables.Count(), 1);
  EXPECT_FALSE(temp.Connected());
}

TEST(VelqorimDatabase, MissingFileAndDuplicateNames) {
  TStarted started;
  TVelqorimDatabase a(nullptr);
  a.SetName("A");
  a.SetDatabaseName("Shop");
  a.SetDatabaseFileName(GetTempDir() + "/no-such-database.vdb");
  EXPECT_EQ(ErrorOf([&] { a.Open(); }),
            "A: Database file '" + GetTempDir() + "/no-such-database.vdb' does not exist");
  TVelqorimDatabase b(nullptr);
  b.SetName("B");
  EXPECT_EQ(ErrorOf([&] { b.SetDatabaseName("SHOP"); }), "B: Duplicate database name 'SHOP'");
  a.SetHandleShared(true);
  b.SetHandleShared(true);
  b.SetDatabaseName("SHOP");  // both share handles
  EXPECT_EQ(DefaultSession()->FindDatabase("shop"), &a);

  // An unused temporary component gives way to a named one.
  TVelqorimDatabase* opened = DefaultSession()->OpenDatabase("TEMP");
  EXPECT_TRUE(opened->Temporary());
  DefaultSession()->CloseDatabase(opened);
  TVelqorimDatabase c(nullptr);
  c.SetDatabaseName("temp");
  EXPECT_EQ(DefaultSession()->FindDatabase("TEMP"), &c);
  EXPECT_EQ(DefaultSession()->DatabaseCount(), 3);
}

TEST(VelqorimDatabase, SessionOpensCountsAndDropsTemporaryComponents) {
  TStarted started;
  TVelqorimSession* session = DefaultSession();
  TVelqorimDatabase* db = session->OpenDatabase("MEMORY");
  EXPECT_TRUE(db->Connected());
  EXPECT_TRUE(db->Temporary());
  EXPECT_TRUE(db->SilentMode);
  EXPECT_EQ(session->OpenDatabase("memory"), db);
  EXPECT_EQ(db->RefCount(), 2);
  session->CloseDatabase(db);
  session->CloseDatabase(db);
  EXPECT_EQ(db->RefCount(), 0);
  EXPECT_TRUE(db->Connected());  // KeepConnection holds it
  TStringList names;
  session->GetDatabaseNames(names);
  EXPECT_EQ(names.Count(), 1);
  session->DropConnections();
  EXPECT_EQ(session->DatabaseCount(), 0);

  session->KeepConnections = false;
  db = session->OpenDatabase("TEMP");
  session->CloseDatabase(db);  // freed at once
  EXPECT_EQ(session->DatabaseCount(), 0);

  // Deactivating the session frees temporary components and closes the others.
  TVelqorimDatabase kept(nullptr);
  kept.SetDatabaseName("MEMORY");
  kept.Open();
  session->OpenDatabase("TEMP");
  session->Close();
  EXPECT_FALSE(kept.Connected());
  EXPECT_EQ(session->DatabaseCount(), 1);
}

TEST(VelqorimDatabase, ASharedHandleEndsWithItsOwner) {
  TStarted started;
  TVelqorimDatabase owner(nullptr), sharer(nullptr);
  owner.SetHandleShared(true);
  sharer.SetHandleShared(true);
  owner.SetDatabaseName("MEMORY");
  sharer.SetDatabaseName("MEMORY");
  owner.Open();
  sharer.Open();
  EXPECT_EQ(sharer.Handle(), owner.Handle());
  owner.Close();
  // The sharer must not keep the engine session its owner freed.
  EXPECT_FALSE(sharer.Connected());
  EXPECT_EQ(sharer.Handle(), nullptr);
  sharer.Open();
  EXPECT_TRUE(sharer.Connected());
}

// A disk database stand-in whose only check is the password.
TEST(VelqorimDatabase, PasswordRequestRepeatsTheOpen) {
  TStarted started;
  const String file = GetTempDir() + "/velqorim-password.vdb";
  std::ofstream(file) << "x";
  int attempts = 0;
  auto savedFactory = DiskDatabaseDataFactory;
  DiskDatabaseDataFactory = [&](TVelqorimLocalSession& s) -> TVelqorimDatabaseData* {
    ++attempts;
    if (s.Password.Password != "right") throw EABSException(30445, "Wrong password");
    auto* d = new TVelqorimMemoryDatabaseData;
    d->DatabaseName = UpperCase(s.DatabaseFileName);
    return d;
  };
  TVelqorimDatabase db(nullptr);
  db.SetDatabaseName("Locked");
  db.SetDatabaseFileName(file);
  db.SilentMode = true;
  EXPECT_EQ(NativeErrorOf([&] { db.Open(); }), 30445);  // silent: no dialog, the error stands
  EXPECT_EQ(attempts, 1);
  int asked = 0;
  db.OnPassword = [&](TObject* sender, bool& Continue) {
    ++asked;
    static_cast<TVelqorimDatabase*>(sender)->SetPassword(asked == 1 ? "wrong" : "right");
    Continue = asked < 3;
  };
  db.Open();
  EXPECT_TRUE(db.Connected());
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(attempts, 4);
  db.Close();
  DiskDatabaseDataFactory = savedFactory;
  std::remove(file.c_str());
}

TEST(VelqorimDatabase, ExecutableDatabaseIsStubThenDatabase) {
  TStarted started;
  const String dir = GetTempDir();
  const String stub = dir + "/velqorim-stub.bin", base = dir + "/velqorim-base.vdb", out = dir + "/velqorim-exe.bin";
  std::string stubBytes(70000, '\x7f'), baseBytes = "VELQORIMFILEHEAD and pages";
  stubBytes[69999] = 'E';
  std::ofstream(stub, std::ios::binary) << stubBytes;
  std::ofstream(base, std::ios::binary) << baseBytes;
  TVelqorimDatabase db(nullptr);
  db.SetDatabaseFileName(base);
  db.MakeExecutableDatabase(stub, out);
  std::ifstream in(out, std::ios::binary);
  const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(got, stubBytes + baseBytes);
  EXPECT_THROW(db.MakeExecutableDatabase(dir + "/velqorim-missing-stub.bin", out), Exception);
  for (const String& f : {stub, base, out}) std::remove(f.c_str());
}

// Tables reach their database through a component of their session: a named
// one when it exists, else a temporary one that goes when the last user does.
TEST(VelqorimDatabase, TablesOpenThroughDatabaseComponents) {
  TStarted started;
  TVelqorimSession* session = DefaultSession();
  session->KeepConnections = false;
  {
    TVelqorimTable table(nullptr);
    table.SetDatabaseName("MEMORY");
    table.SetTableName("Parts");
    table.FieldDefs().Add("ID", ftInteger);
    table.CreateTable();
    table.Open();
    ASSERT_EQ(session->DatabaseCount(), 1);
    auto* temporary = static_cast<TVelqorimDatabase*>(session->GetDatabase(0));
    EXPECT_TRUE(temporary->Temporary());
    EXPECT_EQ(temporary->DataSetCount(), 1);
    EXPECT_EQ(temporary->RefCount(), 1);
    table.Close();
    EXPECT_EQ(session->DatabaseCount(), 0);  // the temporary component went with its last user
  }
  TVelqorimDatabase named(nullptr);
  named.SetDatabaseName("MEMORY");
  TVelqorimTable a(nullptr), b(nullptr);
  for (TVelqorimTable* t : {&a, &b}) {
    t->SetDatabaseName("memory");
    t->SetTableName("Parts");
    t->Open();
  }
  EXPECT_EQ(named.DataSetCount(), 2);
  EXPECT_EQ(named.RefCount(), 2);
  a.Append();
  a.FieldByName("ID")->SetAsInteger(7);
  a.Post();
  named.Close();  // closes the tables first
  EXPECT_FALSE(a.Active());
  EXPECT_FALSE(b.Active());
  EXPECT_EQ(named.DataSetCount(), 0);
  b.Open();
  EXPECT_EQ(b.RecordCount(), 1);
  EXPECT_TRUE(named.Connected());

  // Queries, open or only prepared, are disconnected before the other
  // datasets, and come back on a fresh connection.
  TVelqorimQuery open(nullptr), prepared(nullptr);
  for (TVelqorimQuery* q : {&open, &prepared}) {
    q->SetDatabaseName("MEMORY");
    q->SQL().SetText("SELECT ID FROM Parts");
  }
  open.Open();
  prepared.Prepare();
  a.Open();
  std::vector<String> closed;
  b.AfterClose = [&](TDataSet*) { closed.push_back("b"); };
  a.AfterClose = [&](TDataSet*) { closed.push_back("a"); };
  open.AfterClose = [&](TDataSet*) { closed.push_back("query"); };
  EXPECT_EQ(named.DataSetCount(), 4);
  named.Close();
  EXPECT_EQ(closed, (std::vector<String>{"query", "a", "b"}));
  EXPECT_FALSE(open.Prepared());
  EXPECT_FALSE(prepared.Prepared());
  EXPECT_EQ(named.DataSetCount(), 0);
  prepared.Open();
  EXPECT_EQ(prepared.RecordCount(), 1);
  EXPECT_TRUE(named.Connected());
  prepared.Close();
  b.Close();
}

}  // namespace
