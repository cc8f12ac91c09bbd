// Mutated database files through the opener: header, crypto header, system
// directory, session slots, table list, and every table opened and its rows read. Input: one byte of switches (bit 0:
// multi-user), then the file.
//
// Every outcome must be an opened file or an engine exception; anything else
// (another exception type, a crash, a hang, a huge allocation) is a finding.

#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/os/Files.h"
#include "tests/db_storage/fuzz/DbFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  static const String file = GetTempDir() + "/velqorim-fuzz-" + std::to_string(::getpid()) + ".vdb";
  // Nobody else uses the file: the first try of every lock answers.
  RetryConfig().ShortLockTryCount = RetryConfig().TablesLockTryCount = 1;
  RetryConfig().OpenTableTryCount = RetryConfig().ReadLockTryCount = RetryConfig().LongLockTryCount = 1;
  RetryConfig().ReopenTryCount = 1;
  RetryConfig().ReopenDelayMS = 0;
  FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(Data + 1, 1, Size - 1, f);
  std::fclose(f);
  OpenAndWalk(file, (Data[0] & 1) != 0);
  ::unlink(file.c_str());
  return 0;
}
