#pragma once
// A fresh folder of its own under the temporary folder (TMPDIR when set),
// removed with everything in it when this goes: tests that run side by side,
// in one checkout or several, never share or leave a file.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/os/Files.h"

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& Prefix = "tarnwick-") {
    std::string pattern = GetTempDir() + Prefix + "XXXXXX";
    if (mkdtemp(pattern.data())) FPath = pattern;
  }
  ~TTempFolder() {
    std::error_code ignored;
    if (!FPath.empty()) std::filesystem::remove_all(FPath, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // The folder, or "" when it could not be made.
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return FPath + "/" + Name; }

 private:
  std::string FPath;
};
