// Which paths name an existing folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "skin/controls/ShellFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(ShellFolderTest, DirExistsFollowsLinksAndRefusesEverythingElse) {
  const fs::path root = fs::temp_directory_path() / ("tarnwick_direxists_" + std::to_string(::getpid()));
  fs::create_directories(root / "folder");
  std::ofstream(root / "file") << "x";
  fs::create_directory_symlink(root / "folder", root / "link");
  fs::create_directory_symlink(root / "gone", root / "dangling");
  const struct {
    String Path;
    bool Exists;
  } cases[] = {
      {(root / "folder").string(), true},
      {(root / "folder/").string(), true},
      {(root / "link").string(), true},
      {(root / "file").string(), false},
      {(root / "dangling").string(), false},
      {(root / "missing").string(), false},
      {(root / "file/below").string(), false},
      {"", false},
      {String(5000, 'a'), false},
  };
  for (const auto& c : cases) EXPECT_EQ(DirExists(c.Path), c.Exists) << c.Path.substr(0, 80);
  fs::remove_all(root);
}

}  // namespace
