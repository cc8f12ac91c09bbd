// Tables of database files through the local cursor: written, closed,
// reopened and read back (every cipher, every BLOB compression); structure
// changes; transactions; exclusive opens; processes sharing a file; faults.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "db/storage/VelqorimDiskTable.h"
#include "tests/db_storage/DiskFixture.h"

namespace {

using disk::NewSession;
using disk::ReadAll;
using disk::Tables;
using disk::WriteAll;
using disk::TFileTable;
using disk::TScratchDatabase;
using disk::TSessionOptions;
using local::AddFields;
using local::AddIndex;

struct TEngine {
  local::TLocalEngine Engine;
  disk::TShortRetries Quick;
};



String BlobValue(int Id) {
  String s;
  const int size = Id % 3 == 0 ? 0 : Id % 3 == 1 ? 20 + Id : 3000 + 37 * Id;  // none, small, large
  for (int i = 0; i < size; ++i) s += static_cast<char>('a' + (i * 7 + Id) % 26);
  return s;
}

void WriteBlob(TFileTable& T, int Field, const String& Value) {
  TABSStream* s = T.cursor.InternalCreateBlobStream(false, true, Field, bomWrite, false);
  s->Write(Value.data(), static_cast<int64_t>(Value.size()));
  s->SetModified(true);
  T.cursor.InternalCloseBLOB(Field);
}

String ReadBlob(TFileTable& T, int Field) {
  TABSStream* s = T.cursor.InternalCreateBlobStream(false, false, Field, bomRead, true);
  if (s == nullptr) return "<no stream>";
  String value(static_cast<size_t>(s->Size()), '\0');
  s->SetPosition(0);
  s->Read(value.data(), s->Size());
  T.cursor.InternalCloseBLOB(Field);
  return value;
}

// id (unique index), score (index, not null), body (BLOB with the given compression).
void CreateScores(TFileTable& T, TABSCompressionAlgorithm Compression) {
  TVelqorimFieldDefs f;
  AddFields(f, {{"id", aftInteger, 0}, {"score", aftInteger, 0}, {"body", aftBlob, 0}});
  f[2]->BLOBCompressionAlgorithm = Compression;
  f[2]->BLOBCompressionMode = Compression == acaNone ? 0 : 1;  // light: PPM models take memory by mode
  TVelqorimIndexDefs i;
  AddIndex(i, "byId", {"id"}, true);
  AddIndex(i, "byScore", {"score"});
  TVelqorimConstraintDefs c;
  auto* unique = c.AddUnique();
  unique->Name = "idUnique";
  unique->IndexName = "byId";
  unique->Columns = {{"id", 0}};
  c.AddNotNull()->SetNames("score", "", "");
  T.cursor.CreateTable(f, i, c);
  T.Open();
}

int InsertScore(TFileTable& T, int Id, int Score) {
  T.cursor.InternalInitRecord(T.record, true);
  T.Set(0, Id);
  T.Set(1, Score);
  WriteBlob(T, 2, BlobValue(Id));
  T.cursor.InternalPost(true);
  return T.cursor.ErrorCode;
}

// Positions the cursor on the record with that id (physical order); false when absent.
bool Seek(TFileTable& T, int Id) {
  T.cursor.InternalFirst();
  while (T.cursor.GetRecordBuffer(grmNext) == grrOK)
    if (T.Get(0) == Id) return true;
  return false;
}

// A BLOB's length and hash (test output stays short).
String Digest(const String& Body) { return std::to_string(Body.size()) + "#" + std::to_string(std::hash<String>{}(Body)); }

// Every record as id -> (score, body digest), read in physical order.
std::map<int, std::pair<int, String>> Contents(TFileTable& T) {
  std::map<int, std::pair<int, String>> rows;
  T.cursor.InternalFirst();
  while (T.cursor.GetRecordBuffer(grmNext) == grrOK) rows[*T.Get(0)] = {*T.Get(1), Digest(ReadBlob(T, 2))};
  return rows;
}

struct TRoundTrip {
  const char* Password;
  TABSCryptoAlgorithm Cipher;
  TABSCompressionAlgorithm Compression;
};

TEST(VelqorimDiskTable, ReopenedTablesReadBackWhatWasWritten) {
  TEngine e;
  std::vector<TRoundTrip> cases = {
      {"", craRijndael_128, acaNone}, {"", craRijndael_128, acaZLIB}, {"", craRijndael_128, acaBZIP},
      {"", craRijndael_128, acaPPM}};
  for (int c = craRijndael_128; c <= craSquare; ++c)
    cases.push_back({"secret", static_cast<TABSCryptoAlgorithm>(c), static_cast<TABSCompressionAlgorithm>(c % 4)});
  for (const TRoundTrip& rt : cases) {
    SCOPED_TRACE(std::to_string(rt.Cipher) + "/" + std::to_string(rt.Compression) + "/" + rt.Password);
    TScratchDatabase db;
    TSessionOptions o;
    o.Password = rt.Password;
    o.Cipher = rt.Cipher;
    NewSession(db.Name, o)->CreateDatabase();
    std::map<int, std::pair<int, String>> model;
    {
      TFileTable t(db.Name, "Scores", o);
      CreateScores(t, rt.Compression);
      for (int id = 1; id <= 30; ++id) {
        ASSERT_EQ(InsertScore(t, id, (id * 37) % 50), 0);
        model[id] = {(id * 37) % 50, Digest(BlobValue(id))};
      }
      EXPECT_EQ(InsertScore(t, 7, 1), -8);  // the unique index holds
      // Change and delete some, BLOBs included.
      for (int id : {4, 5, 6}) {
        ASSERT_TRUE(Seek(t, id));
        t.BeginEdit();
        t.Set(1, 100 + id);
        WriteBlob(t, 2, BlobValue(id + 1));
        t.cursor.InternalPost(false);
        ASSERT_EQ(t.cursor.ErrorCode, 0);
        model[id] = {100 + id, Digest(BlobValue(id + 1))};
      }
      for (int id : {1, 15, 30}) {
        ASSERT_TRUE(Seek(t, id));
        t.cursor.InternalDelete();
        ASSERT_EQ(t.cursor.ErrorCode, 0);
        model.erase(id);
      }
      EXPECT_EQ(Contents(t), model);
    }
    TFileTable t(db.Name, "Scores", o);
    t.Open();
    EXPECT_EQ(t.cursor.GetRecordCount(), static_cast<int64_t>(model.size()));
    EXPECT_EQ(Contents(t), model);
    // The indexes came back with the table: score order, and the unique id.
    t.cursor.SetIndexName("byScore");
    std::vector<int> byScore, expected;
    for (auto v : t.Column(1)) byScore.push_back(*v);
    for (const auto& [id, row] : model) expected.push_back(row.first);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(byScore, expected);
    t.cursor.SetIndexName("");
    EXPECT_EQ(InsertScore(t, 2, 0), -8);
    EXPECT_EQ(InsertScore(t, 1, 0), 0);
    EXPECT_EQ(t.cursor.GetRecordCount(), static_cast<int64_t>(model.size() + 1));
  }
}


std::vector<String> IndexNames(TFileTable& T) {
  std::vector<String> names;
  TVelqorimIndexDefs& defs = T.cursor.GetIndexDefs();
  for (int i = 0; i < defs.Count(); ++i) names.push_back(defs[i]->Name);
  return names;
}

TEST(VelqorimDiskTable, StructureChangesAndExclusiveOpens) {
  TEngine e;
  TScratchDatabase db;
  NewSession(db.Name)->CreateDatabase();
  TFileTable t(db.Name, "Scores");
  CreateScores(t, acaZLIB);
  for (int id = 1; id <= 5; ++id) ASSERT_EQ(InsertScore(t, id, id), 0);
  // A second cursor of the process cannot have the table exclusively.
  TFileTable other(db.Name, "Scores");
  other.cursor.Exclusive = true;
  EXPECT_EQ(NativeErrorOf([&] { other.Open(); }), 20242);
  // Indexes added and deleted are stored; a temporary one never touches the file.
  TVelqorimIndexDefs added;
  AddIndex(added, "byBoth", {"score", "id"});
  t.cursor.AddIndex(*added[0]);
  t.cursor.CloseTable();
  t.Open();
  EXPECT_EQ(IndexNames(t), (std::vector<String>{"byId", "byScore", "byBoth"}));
  t.cursor.DeleteIndex("byBoth");
  TStringList fields, order, cases;
  fields.Add("id");
  fields.Add("score");
  order.Add("ASC");
  order.Add("DESC");
  cases.Add("");
  cases.Add("");
  bool created = false;
  const String temporary = t.cursor.FindOrCreateIndex(fields, order, cases, created);
  ASSERT_TRUE(created);
  ASSERT_TRUE(t.cursor.GetIndexDefs().GetIndexDefByName(temporary)->Temporary);
  const std::vector<uint8_t> before = ReadAll(db.Name);
  t.cursor.DeleteIndex(temporary);
  EXPECT_EQ(ReadAll(db.Name), before);
  t.cursor.CloseTable();
  t.Open();
  EXPECT_EQ(IndexNames(t), (std::vector<String>{"byId", "byScore"}));
  // Emptied, renamed, deleted.
  t.cursor.CloseTable();
  t.cursor.EmptyTable();
  t.Open();
  EXPECT_EQ(t.cursor.GetRecordCount(), 0);
  EXPECT_EQ(InsertScore(t, 9, 9), 0);
  t.cursor.CloseTable();
  EXPECT_EQ(NativeErrorOf([&] { t.cursor.RenameTable("Scores"); }), 30452);
  t.cursor.RenameTable("Results");
  EXPECT_EQ(Tables(t.session), std::vector<String>{"Results"});
  t.Open();
  EXPECT_EQ(t.Column(0), (std::vector<std::optional<int32_t>>{9}));
  t.cursor.CloseTable();
  t.cursor.DeleteTable();
  EXPECT_TRUE(Tables(t.session).empty());
  EXPECT_EQ(NativeErrorOf([&] { t.Open(); }), 30396);
}

TEST(VelqorimDiskTable, TransactionsCommitAndRollBack) {
  TEngine e;
  TScratchDatabase db;
  NewSession(db.Name)->CreateDatabase();
  {
    TFileTable t(db.Name, "Scores");
    CreateScores(t, acaBZIP);
    ASSERT_EQ(InsertScore(t, 1, 1), 0);
    t.session.StartTransaction();
    for (int id = 2; id <= 40; ++id) ASSERT_EQ(InsertScore(t, id, id), 0);
    EXPECT_EQ(t.cursor.GetRecordCount(), 40);
    t.session.Rollback();
    EXPECT_EQ(t.cursor.GetRecordCount(), 1);
    EXPECT_EQ(Contents(t).size(), 1u);
    t.session.StartTransaction();
    ASSERT_EQ(InsertScore(t, 2, 2), 0);
    ASSERT_TRUE(Seek(t, 1));
    t.cursor.InternalDelete();
    ASSERT_EQ(t.cursor.ErrorCode, 0);
    t.session.Commit(true);
  }
  TFileTable t(db.Name, "Scores");
  t.Open();
  EXPECT_EQ(t.Column(0), (std::vector<std::optional<int32_t>>{2}));
  EXPECT_EQ(ReadBlob(t, 2), BlobValue(2));
}

// Sets the page type of a page in a plain database file.
void SetPageType(const String& File, int32_t PageNo, uint16_t Type) {
  std::vector<uint8_t> bytes = ReadAll(File);
  std::memcpy(bytes.data() + 380 + int64_t{PageNo} * 1024 + 8, &Type, 2);
  WriteAll(File, bytes);
}

TEST(VelqorimDiskTable, FailedCreateAndDeleteLeaveACleanCatalogue) {
  TEngine e;
  TScratchDatabase db;
  NewSession(db.Name)->CreateDatabase();
  int32_t indexRoot = -1;
  {
    // A record larger than a page: nothing of the table stays behind.
    TFileTable t(db.Name, "Wide");
    TVelqorimFieldDefs f;
    AddFields(f, {{"text", aftString, 2000}});
    TVelqorimIndexDefs none;
    EXPECT_EQ(NativeErrorOf([&] { t.Create(f, none); }), 20174);
    EXPECT_TRUE(Tables(t.session).empty());
    TFileTable s(db.Name, "Scores");
    CreateScores(s, acaNone);
    for (int id = 1; id <= 30; ++id) ASSERT_EQ(InsertScore(s, id, id), 0);
    indexRoot = static_cast<TVelqorimDiskTableData*>(s.cursor.TableData)->Records().RecordPageIndex().RootPageNo();
  }
  // The record-page tree is damaged: the delete fails, and says so, but the
  // table leaves the catalogue.
  SetPageType(db.Name, indexRoot, ptTableMetaData);
  TFileTable t(db.Name, "Scores");
  EXPECT_NE(NativeErrorOf([&] { t.cursor.DeleteTable(); }), 0);
  EXPECT_TRUE(Tables(t.session).empty());
  CreateScores(t, acaNone);
  EXPECT_EQ(InsertScore(t, 1, 1), 0);
}

TEST(VelqorimDiskTable, ASingleUserReaderFollowsTheWriters) {
  TEngine e;
  TScratchDatabase db;
  NewSession(db.Name)->CreateDatabase();
  TSessionOptions writer;
  writer.MultiUser = true;
  writer.SessionName = "Writer";
  TFileTable w(db.Name, "Scores", writer);
  CreateScores(w, acaZLIB);
  ASSERT_EQ(InsertScore(w, 1, 1), 0);
  TSessionOptions single;
  single.SessionName = "Reader";
  TFileTable r(db.Name, "Scores", single);
  ASSERT_TRUE(r.session.ReadOnly);
  r.Open();
  EXPECT_EQ(r.cursor.GetRecordCount(), 1);
  ASSERT_EQ(InsertScore(w, 2, 2), 0);
  ASSERT_TRUE(Seek(w, 1));
  w.BeginEdit();
  w.Set(1, 50);
  w.cursor.InternalPost(false);
  ASSERT_EQ(w.cursor.ErrorCode, 0);
  EXPECT_EQ(r.cursor.GetRecordCount(), 2);
  EXPECT_EQ(r.Column(1), (std::vector<std::optional<int32_t>>{50, 2}));
  EXPECT_EQ(ReadBlob(r, 2), BlobValue(2));
  EXPECT_EQ(NativeErrorOf([&] { InsertScore(r, 3, 3); }), 20304);
}

TEST(VelqorimDiskTable, ProcessesShareRecordsAndLocks) {
  TEngine e;
  TScratchDatabase db;
  NewSession(db.Name)->CreateDatabase();
  {
    TFileTable t(db.Name, "Scores");
    CreateScores(t, acaNone);
    ASSERT_EQ(InsertScore(t, 1, 1), 0);
    ASSERT_EQ(InsertScore(t, 2, 2), 0);
  }
  TSessionOptions multi;
  multi.MultiUser = true;
  disk::TPeer peer([&](disk::TPeer& P) {
    TSessionOptions mine = multi;
    mine.SessionName = "Child";
    // Opened at the first command, while the parent waits: with the short
    // retry counts two processes must not race for the catalogue.
    std::unique_ptr<TFileTable> table, sole;
    auto cursorTable = [&]() -> TFileTable& {
      if (!table) {
        table = std::make_unique<TFileTable>(db.Name, "Scores", mine);
        table->Open();
      }
      return *table;
    };
    auto join = [](const std::vector<std::optional<int32_t>>& Values) {
      String text;
      for (auto v : Values) text += (text.empty() ? "" : ",") + (v ? std::to_string(*v) : String("null"));
      return text;
    };
    for (char cmd = P.Next(); cmd != 0; cmd = P.Next()) {
      TFileTable& c = cursorTable();
      switch (cmd) {
        case 'n': P.Reply(std::to_string(c.cursor.GetRecordCount())); break;
        case 'i': P.Reply(join(c.Column(0))); break;
        case 's': P.Reply(join(c.Column(1))); break;
        case 'e':  // holds the record lock of id 1 until 'p'
          Seek(c, 1);
          c.BeginEdit();
          P.Reply(std::to_string(c.cursor.ErrorCode));
          break;
        case 'p':
          c.Set(1, 77);
          c.cursor.InternalPost(false);
          P.Reply(std::to_string(c.cursor.ErrorCode));
          break;
        case 'x':
          P.Reply(disk::Outcome([&] {
            TSessionOptions another = multi;
            another.SessionName = "Other";
            TFileTable x(db.Name, "Scores", another);
            x.cursor.Exclusive = true;
            x.Open();
          }));
          break;
        case 'X':  // the table exclusively, kept until the child ends
          P.Reply(disk::Outcome([&] {
            c.cursor.CloseTable();
            TSessionOptions another = multi;
            another.SessionName = "Sole";
            sole = std::make_unique<TFileTable>(db.Name, "Scores", another);
            sole->cursor.Exclusive = true;
            sole->Open();
          }));
          break;
        default: P.Reply("?");
      }
    }
  });
  multi.SessionName = "Parent";
  TFileTable p(db.Name, "Scores", multi);
  p.Open();
  EXPECT_EQ(peer.Ask('n'), "2");
  ASSERT_EQ(InsertScore(p, 3, 3), 0);
  EXPECT_EQ(peer.Ask('n'), "3");
  EXPECT_EQ(peer.Ask('i'), "1,2,3");
  // One process edits a record: the other's edit is refused until it posts.
  EXPECT_EQ(peer.Ask('e'), "0");
  ASSERT_TRUE(Seek(p, 1));
  p.BeginEdit();
  EXPECT_EQ(p.cursor.ErrorCode, -12);
  EXPECT_EQ(peer.Ask('p'), "0");
  p.BeginEdit();
  EXPECT_EQ(p.cursor.ErrorCode, -4);  // the record changed since it was read
  ASSERT_TRUE(Seek(p, 1));
  EXPECT_EQ(p.Get(1), 77);
  p.BeginEdit();
  ASSERT_EQ(p.cursor.ErrorCode, 0);
  p.Set(1, 55);
  p.cursor.InternalPost(false);
  EXPECT_EQ(p.cursor.ErrorCode, 0);
  EXPECT_EQ(peer.Ask('s'), "55,2,3");
  // The table is open here, so nobody has it exclusively.
  EXPECT_EQ(peer.Ask('x'), "20208");
  p.cursor.CloseTable();
  EXPECT_EQ(peer.Ask('x'), "20208");  // the child's own cursor still has it
  p.cursor.Exclusive = true;
  EXPECT_EQ(NativeErrorOf([&] { p.Open(); }), 20208);
  // Held exclusively there, the table cannot be opened here at all.
  EXPECT_EQ(peer.Ask('X'), "ok");
  p.cursor.Exclusive = false;
  EXPECT_EQ(NativeErrorOf([&] { p.Open(); }), 20209);
}

}  // namespace
