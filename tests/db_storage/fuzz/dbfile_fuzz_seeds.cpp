// Writes small valid database files as seeds of the file fuzz target: plain
// and enciphered, empty and with tables. Each seed starts with the switch
// byte the target reads.
//   dbfile_fuzz_seeds FOLDER

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/os/Files.h"
#include "tests/db_storage/fuzz/DbFileFuzz.h"

namespace {
void Seed(const String& Folder, const String& Name, const char* Password, int Tables) {
  const String file = GetTempDir() + "/velqorim-seed-" + std::to_string(::getpid()) + ".vdb";
  {
    TVelqorimDiskDatabaseData d;
    d.DatabaseName = file;
    d.Password()->Password = Password;
    d.PageSize = 512;
    d.MaxSessionCount = 16;
    d.CreateDatabase();
    TVelqorimLocalSession s;
    d.ConnectSession(&s);
    for (int i = 0; i < Tables; ++i)
      d.AddTableToList(d.GetNewObjectId(), "Table" + std::to_string(i), 7, 8, 9);
    d.DisconnectSession(&s);
  }
  std::ifstream in(file, std::ios::binary);
  std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ::unlink(file.c_str());
  std::ofstream out(Folder + "/" + Name, std::ios::binary);
  out.put(0);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Seed(argv[1], "plain-empty", "", 0);
  Seed(argv[1], "plain-tables", "", 3);
  Seed(argv[1], "enciphered-tables", FuzzPassword, 2);
  return 0;
}
