#pragma once
// Disk database test helpers: a scratch database file, short retry counts,
// local sessions on a file, and a second process driven through pipes.

#include <unistd.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <vector>
#include <functional>
#include <memory>

#include "db/storage/VelqorimDiskDatabase.h"
#include "db/storage/VelqorimLocalEngine.h"
#include "platform/os/Files.h"
#include "tests/db_storage/ForkPeer.h"
#include "tests/db_storage/LocalTables.h"
#include "tests/db_storage/NativeError.h"

namespace disk {

inline String ScratchName(const char* Stem) {
  static std::atomic<int> counter{0};
  return GetTempDir() + "/velqorim-" + Stem + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(counter++) + ".vdb";
}

struct TScratchDatabase {
  explicit TScratchDatabase(const char* Stem = "db") : Name(ScratchName(Stem)) {}
  ~TScratchDatabase() { ::unlink(Name.c_str()); }
  String Name;
};

// Retry loops shrunk so that a refused lock answers in milliseconds.
struct TShortRetries {
  TShortRetries() : FSaved(RetryConfig()) {
    TVelqorimRetryConfig& c = RetryConfig();
    // The header, session-slot and catalogue locks guard sections that another
    // process holds only briefly (its own open or commit); no test expects them
    // to fail, so they wait as long as a loaded machine may need.
    c.ShortLockTryCount = 5000;
    c.ShortLockDelayMS = 1;
    c.TablesLockTryCount = 5000;
    c.TablesLockDelayMS = 1;
    c.LongLockTryCount = 5;
    c.LongLockDelayMS = 2;
    c.LockTryCount = 5;
    c.LockDelayMS = 1;
    c.OpenTableTryCount = 5;
    c.OpenTableDelayMS = 1;
    c.ReadLockTryCount = 5;
    c.ReadLockDelayMS = 1;
  }
  ~TShortRetries() { RetryConfig() = FSaved; }

 private:
  TVelqorimRetryConfig FSaved;
};

struct TSessionOptions {
  bool MultiUser = false;
  bool Exclusive = false;
  const char* SessionName = "Default";
  const char* Password = "";
  TABSCryptoAlgorithm Cipher = craRijndael_128;
  int MaxSessionCount = 8;
};

inline void Configure(TVelqorimLocalSession& S, const String& File, const TSessionOptions& O = {}) {
  S.DatabaseName = File;
  S.DatabaseFileName = File;
  S.SessionName = O.SessionName;
  S.MultiUser = O.MultiUser;
  S.Exclusive = O.Exclusive;
  S.Password.Password = O.Password;
  S.Password.CryptoAlgorithm = O.Cipher;
  S.MaxSessionCount = O.MaxSessionCount;
  S.PageSize = 1024;
  S.PageCountInExtent = 8;
}

inline std::unique_ptr<TVelqorimLocalSession> NewSession(const String& File, const TSessionOptions& O = {}) {
  auto s = std::make_unique<TVelqorimLocalSession>();
  Configure(*s, File, O);
  return s;
}

// A table of a database file through its own session and cursor.
struct TFileTable : local::TLocalTable {
  TFileTable(const String& File, const char* Name, const TSessionOptions& O = {})
      : local::TLocalTable([&](TVelqorimLocalSession& S) { Configure(S, File, O); }, Name) {}
};

inline TVelqorimDiskDatabaseData& DiskOf(TVelqorimLocalSession& Session) {
  return *dynamic_cast<TVelqorimDiskDatabaseData*>(Session.DatabaseData);
}

inline std::vector<String> Tables(TVelqorimLocalSession& S) {
  TStringList list;
  S.GetTablesList(list);
  std::vector<String> names;
  for (int i = 0; i < list.Count(); ++i) names.push_back(list[i]);
  return names;
}

inline std::vector<uint8_t> ReadAll(const String& Name) {
  std::ifstream in(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteAll(const String& Name, const std::vector<uint8_t>& Bytes) {
  std::ofstream out(Name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
}

// The answer of an action in a child: "ok" or the engine error code.
inline String Outcome(const std::function<void()>& Action) {
  const int code = NativeErrorOf(Action);
  return code == 0 ? String("ok") : std::to_string(code);
}

}  // namespace disk
