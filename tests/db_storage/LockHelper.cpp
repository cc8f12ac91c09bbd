// A second process for the database file's lock tests. It acts on a file,
// prints "ok" or "fail" and, for the hold commands, keeps what it took until
// its standard input closes (or a time-out passes, so it never lingers).
//   LockHelper lock FILE OFFSET COUNT     try a byte lock, report
//   LockHelper holdlock FILE OFFSET COUNT take a byte lock and keep it
//   LockHelper open FILE ACCESS SHARE     try an open (ACCESS 0 read / 1 write; SHARE 0 excl / 1 none / 2 deny write)
//   LockHelper holdopen FILE ACCESS SHARE open and keep the file open

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "db/storage/VelqorimDiskEngine.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const String cmd = argv[1];
  TVelqorimDatabaseFile file;
  bool ok = false;
  try {
    if (cmd == "lock" || cmd == "holdlock") {
      file.OpenFile(argv[2], amReadWrite, smShareDenyNone);
      ok = file.LockByte(std::atoll(argv[3]), std::atoi(argv[4]));
    } else {
      file.OpenFile(argv[2], static_cast<TVelqorimAccessMode>(std::atoi(argv[3])),
                    static_cast<TVelqorimShareMode>(std::atoi(argv[4])));
      ok = true;
    }
  } catch (const std::exception&) {
    ok = false;
  }
  std::printf("%s\n", ok ? "ok" : "fail");
  std::fflush(stdout);
  if (cmd.rfind("hold", 0) == 0) {
    struct pollfd p {0, POLLIN, 0};
    poll(&p, 1, 20000);  // until the test closes our input, at most 20 s
  }
  return 0;
}
