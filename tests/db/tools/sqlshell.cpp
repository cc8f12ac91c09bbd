// A small SQL shell for tests: runs the script files given (or standard
// input, one statement per line or several joined by ';') on "MEMORY" and
// prints each result row, values separated by '|'. Errors are printed and
// the shell goes on; the exit code is 1 when any statement failed.
//   sqlshell [-d MEMORY|TEMP] [file ...]

#include <fstream>
#include <iostream>
#include <sstream>

#include "db/sql/VelqorimMain.h"
#include "db/support/DAZExcept.h"
#include "tests/db/tools/SQLShell.h"

namespace {

bool RunText(TVelqorimSQLProcessor& P, const std::string& Text) {
  try {
    std::cout << sqlshell::Run(P, Text);
    return true;
  } catch (const Exception& e) {
    std::cout << "error: " << e.Message << "\n";
    return false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  VelqorimMainInitialize();
  bool ok = true;
  {
    TVelqorimSQLProcessor p;
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "-d") {
      p.DatabaseName = argv[2];
      first = 3;
    }
    if (first >= argc) {
      std::string line;
      while (std::getline(std::cin, line))
        if (line.find_first_not_of(" \t\r") != std::string::npos) ok = RunText(p, line) && ok;
    }
    for (int i = first; i < argc; ++i) {
      std::ifstream in(argv[i]);
      if (!in) {
        std::cerr << "sqlshell: cannot read " << argv[i] << "\n";
        ok = false;
        continue;
      }
      std::stringstream text;
      text << in.rdbuf();
      ok = RunText(p, text.str()) && ok;
    }
  }
  VelqorimMainFinalize();
  return ok ? 0 : 1;
}
