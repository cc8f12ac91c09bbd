#pragma once
// A database file made for one test under TMPDIR and opened through a
// database component named "DISKDB"; closed and removed afterwards.

#include <unistd.h>

#include <memory>

#include "db/sql/VelqorimDatabase.h"
#include "platform/os/Files.h"

struct TScratchDiskDatabase {
  TScratchDiskDatabase() : File(GetTempDir() + "/velqorim-sql-" + std::to_string(::getpid()) + ".vdb") {
    Database = std::make_unique<TVelqorimDatabase>(nullptr);
    Database->SetDatabaseName(Name);
    Database->SetDatabaseFileName(File);
    Database->CreateDatabase();
    Database->Open();
  }
  ~TScratchDiskDatabase() {
    Database.reset();
    ::unlink(File.c_str());
  }

  static constexpr const char* Name = "DISKDB";
  String File;
  std::unique_ptr<TVelqorimDatabase> Database;
};
