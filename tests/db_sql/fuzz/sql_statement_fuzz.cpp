// Whole SQL scripts through the SQL processor on a fresh "MEMORY" database
// holding two small tables. Every outcome must be a result or an engine
// exception; anything else (another exception type, a crash, a hang) is a
// finding.

#include <cstdint>
#include <string>

#include "db/sql/VelqorimMain.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "db/support/DAZExcept.h"

namespace {

// Cross joins of many references are honest work, not findings: such inputs are passed over.
bool TooManyTables(const std::string& Text) {
  int n = 0;
  for (size_t i = 0; i + 1 < Text.size(); ++i)
    if ((Text[i] == 't' || Text[i] == 'T') && (Text[i + 1] == '1' || Text[i + 1] == '2')) n++;
  return n > 8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  if (TooManyTables(text)) return 0;
  VelqorimMainInitialize();
  {
    TVelqorimSQLProcessor p;
    p.PrepareStatement(
        "CREATE TABLE t1 (a INTEGER, b INTEGER, c FLOAT, d VARCHAR(10));"
        "INSERT INTO t1 VALUES (1, 2, 1.5, 'x'), (2, 3, 2.5, 'y'), (3, 1, 0.5, 'z');"
        "CREATE TABLE t2 (a INTEGER PRIMARY KEY, e INTEGER, f VARCHAR(10));"
        "INSERT INTO t2 VALUES (1, 10, 'p'), (3, 30, 'q')");
    p.ExecuteQuery();
    try {
      p.PrepareStatement(text);
      p.ExecuteQuery();
    } catch (const Exception&) {
      // engine errors: an expected outcome
    }
  }
  VelqorimMainFinalize();
  return 0;
}
