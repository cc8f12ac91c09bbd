#pragma once
// Image files made in code for the skin tests (PNG through the skin maker's
// writer) and a temporary folder under TMPDIR.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/os/Files.h"
#include "skin/core/ownskin/PngWrite.h"

namespace skintest {

using Bytes = std::vector<uint8_t>;

// Pixels are 0xAARRGGBB, rows top first.
using ownskin::EncodePng;

inline void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

// A fresh folder under TMPDIR, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string templ = GetTempDir() + "skin-XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ + "/";
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace skintest
