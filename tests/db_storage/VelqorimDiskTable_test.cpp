// Tables of database files through the local cursor: written, closed,
// reopened and read back (every cipher, every BLOB compression); structure
// changes; transactions; exclusive opens; processes sharing a file; faults.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>

#include "db/storage/VelqorimDiskTable.h"
#include "tests/db_storage/DiskFixture.h"

namespace {

using disk::NewSession;
using disk::TFileTable;
using disk::TScratchDatabase;
using disk::TSessionOptions;
using local::AddFields;
using local::AddIndex;

struct TEngine {
  local::TLocalEngine Engine;
  disk::TShortRetries Quick;
};

[[maybe_unused]] std::vector<uint8_t> ReadAll(const String& Name) {
  std::ifstream in(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

[[maybe_unused]] void WriteAll(const String& Name, const std::vector<uint8_t>& Bytes) {
  std::ofstream out(Name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

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
      for (int id = 1; id <= 60; ++id) {
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
      for (int id : {1, 30, 60}) {
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

}  // namespace
