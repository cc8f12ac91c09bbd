// Queries through a damaged index of a database file end, with the engine's
// corruption error: an entry that names another record, or a link that leads
// a walk back, must never make a scan run for ever.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "db/sql/VelqorimQuery.h"
#include "tests/db/ScratchDiskDatabase.h"
#include "tests/db_sql/DbTestUtil.h"

namespace {

constexpr size_t FileHeader = 380, PageSize = 4096, PageHeader = 40, IndexPageType = 12;

std::vector<uint8_t> ReadAll(const String& File) {
  std::ifstream in(File, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const String& File, const std::vector<uint8_t>& Bytes) {
  std::ofstream out(File, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

// The leaf pages of the file's one index, in their left-to-right order.
struct TLeaves {
  explicit TLeaves(std::vector<uint8_t>& Bytes) : B(Bytes) {
    std::map<int32_t, int32_t> right;
    int32_t first = -1;
    for (size_t p = 0; FileHeader + (p + 1) * PageSize <= B.size(); ++p) {
      const uint8_t* d = Data(static_cast<int32_t>(p));
      if (B[FileHeader + p * PageSize + 8] != IndexPageType || d[1] == 0) continue;
      right[static_cast<int32_t>(p)] = Get32(d + 6);
      if (Get32(d + 2) == -1) first = static_cast<int32_t>(p);
    }
    for (int32_t p = first; p != -1 && Order.size() < right.size(); p = right[p]) Order.push_back(p);
  }
  uint8_t* Data(int32_t Page) { return B.data() + FileHeader + Page * PageSize + PageHeader; }
  static int32_t Get32(const uint8_t* P) {
    int32_t v;
    std::memcpy(&v, P, 4);
    return v;
  }
  // The reference of entry Entry of a leaf (keys first, then a 6-byte record id).
  uint8_t* Reference(int32_t Page, int Entry) {
    uint8_t* d = Data(Page);
    uint16_t key;
    std::memcpy(&key, d + 12, 2);
    return d + 18 + Entry * (key + 6) + key;
  }
  std::vector<uint8_t>& B;
  std::vector<int32_t> Order;
};

// Runs Sql on File in a child process; 0 when it raised an engine error,
// 1 when it answered, -1 when it did not end within the time given.
int RunDamaged(const String& File, const String& Sql) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(60);
    int code = 1;
    try {
      TStarted started;
      TVelqorimDatabase d(nullptr);
      d.SetDatabaseName("DAMAGED");
      d.SetDatabaseFileName(File);
      d.Open();
      TVelqorimQuery q(nullptr);
      q.SetDatabaseName("DAMAGED");
      q.SQL().SetText(Sql);
      q.Open();
      for (q.First(); !q.Eof(); q.Next()) {
      }
    } catch (const EABSException& e) {
      code = e.NativeError == 20028 ? 0 : 2;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(VelqorimDamagedIndex, WalksThatWouldComeBackRaise) {
  String file;
  std::vector<uint8_t> base;
  {
    TStarted started;
    TScratchDiskDatabase db;
    TVelqorimQuery q(nullptr);
    q.SetDatabaseName(TScratchDiskDatabase::Name);
    q.SQL().SetText("CREATE TABLE t (id INTEGER, v VARCHAR(20)); CREATE INDEX byid ON t (id)");
    q.ExecSQL();
    String rows = "INSERT INTO t VALUES (0, 'row')";
    for (int i = 1; i < 1500; ++i) rows += ", (" + std::to_string(i) + ", 'row')";
    q.SQL().SetText(rows);
    q.ExecSQL();
    db.Database->Close();
    base = ReadAll(db.File);
    file = db.File + ".damaged";
  }
  const struct {
    const char* What;
    void (*Damage)(TLeaves&);
  } cases[] = {
      // The second leaf's first entry names the first record: a walk resuming
      // from that record finds it again in the first leaf.
      {"entry names an earlier record",
       [](TLeaves& L) { std::memcpy(L.Reference(L.Order[1], 0), L.Reference(L.Order[0], 0), 6); }},
      // Two entries of one leaf swap their records: the keys stay in order,
      // the records they name do not.
      {"entries swap their records",
       [](TLeaves& L) {
         uint8_t keep[6];
         std::memcpy(keep, L.Reference(L.Order[1], 0), 6);
         std::memcpy(L.Reference(L.Order[1], 0), L.Reference(L.Order[1], 5), 6);
         std::memcpy(L.Reference(L.Order[1], 5), keep, 6);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::vector<uint8_t> bytes = base;
    TLeaves leaves(bytes);
    ASSERT_GE(leaves.Order.size(), 3u);
    c.Damage(leaves);
    WriteAll(file, bytes);
    for (const char* sql : {"SELECT COUNT(*) FROM t WHERE id >= 0", "SELECT id FROM t WHERE id >= 0 ORDER BY id"}) {
      SCOPED_TRACE(sql);
      EXPECT_EQ(RunDamaged(file, sql), 0);
    }
  }
  ::unlink(file.c_str());
}

}  // namespace
