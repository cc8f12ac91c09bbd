#pragma once
// A database file under TMPDIR for one test, removed afterwards, and a page
// manager on it that can be closed and opened again.

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "db/storage/VelqorimDiskPageManager.h"
#include "platform/os/Files.h"

struct TScratchFile {
  TScratchFile() : Name(GetTempDir() + "/velqorim-pm-" + std::to_string(::getpid()) + ".vdb") {}
  ~TScratchFile() { ::unlink(Name.c_str()); }
  std::vector<uint8_t> Bytes() const {
    std::ifstream in(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void Put(const std::vector<uint8_t>& Bytes) const {
    std::ofstream out(Name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  }
  String Name;
};

// A plain (unenciphered) database with its page manager.
struct TScratchDatabase {
  explicit TScratchDatabase(uint16_t PageSize = 1024) {
    Pm = std::make_unique<TVelqorimDiskPageManager>();
    Pm->CreateAndOpenDatabase(File.Name, TABSPassword{}, PageSize, 8);
  }
  // Closes the file and opens it with a fresh page manager: nothing cached survives.
  void Reopen() {
    Pm.reset();
    Pm = std::make_unique<TVelqorimDiskPageManager>();
    bool readOnly = false, repair = false, multiUser = false;
    Pm->OpenDatabase(File.Name, TABSPassword{}, readOnly, repair, false, multiUser);
  }

  TScratchFile File;
  std::unique_ptr<TVelqorimDiskPageManager> Pm;
};
