// Which paths name an existing folder.

#include <gtest/gtest.h>
#include <sys/stat.h>
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

class ShellFolderObjectTest : public ::testing::Test {
 protected:
  fs::path root = fs::temp_directory_path() / ("tarnwick_shellfolder_" + std::to_string(::getpid()));
  void SetUp() override {
    fs::create_directories(root / "beta");
    fs::create_directories(root / "Alpha" / "inner");
    std::ofstream(root / "a.txt") << "x";
    std::ofstream(root / "pack.ZIP") << "x";
    fs::create_directory_symlink(root / "beta", root / "link");
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(root / "a.txt", fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(root);
  }
};

TEST_F(ShellFolderObjectTest, ListsFoldersFirstWithTheirAttributes) {
  TacShellFolder top(nullptr, root.string());
  auto items = top.Children();
  std::vector<String> names;
  for (const auto& i : items) names.push_back(i->DisplayName());
  EXPECT_EQ(names, (std::vector<String>{"Alpha", "beta", "link", "a.txt", "pack.ZIP"}));
  EXPECT_EQ(top.Level(), 0);
  auto inner = items[0]->Children();
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner[0]->Level(), 1);
  EXPECT_EQ(inner[0]->PathName(), (root / "Alpha" / "inner").string());

  TacShellFolder& alpha = *items[0];
  TacShellFolder& link = *items[2];
  TacShellFolder& text = *items[3];
  EXPECT_TRUE(alpha.IsFolder() && alpha.IsFileFolder() && alpha.SubFolders());
  EXPECT_TRUE(link.IsFolder());
  EXPECT_FALSE(link.IsFileFolder());
  EXPECT_TRUE(link.Properties() & (1u << fpIsLink));
  EXPECT_TRUE(text.IsFile() && !text.IsFolder());
  EXPECT_EQ(text.DisplayName(seHide), "a");
  EXPECT_EQ(alpha.DisplayName(seHide), "Alpha");
  // A zip archive is a file unless archives are opened, whatever the letter case.
  EXPECT_FALSE(alpha.IsFolder("pack.ZIP", false));
  EXPECT_TRUE(alpha.IsFile("pack.zip", false));
  EXPECT_TRUE(alpha.IsFolder("pack.zip", true));
  fs::permissions(root / "a.txt", fs::perms::owner_write, fs::perm_options::remove);
  if (::geteuid() != 0) {
    EXPECT_TRUE(text.IsReadOnly());
    EXPECT_TRUE(text.Properties() & (1u << fpReadOnly));
  }
}

TEST_F(ShellFolderObjectTest, RenamesAndRefusesNamesInUse) {
  TacShellFolder top(nullptr, root.string());
  TacShellFolder text(&top, "a.txt");
  EXPECT_TRUE(text.Rename("b.txt"));
  EXPECT_EQ(text.PathName(), (root / "b.txt").string());
  EXPECT_TRUE(fs::exists(root / "b.txt"));
  EXPECT_THROW(text.Rename("beta"), Exception);
  EXPECT_TRUE(fs::exists(root / "b.txt"));
}

TEST(ShellFolderDetails, ReplaceWithinTheListAndAppendJustAfterIt) {
  TacShellFolder item(nullptr, "/");
  EXPECT_THROW(item.GetDetails(1), Exception);  // no column texts stored yet
  item.SetDetails(1, "name");
  item.SetDetails(2, "size");
  item.SetDetails(2, "bytes");  // the last one is replaced, not inserted before
  item.SetDetails(3, "date");
  EXPECT_EQ(item.GetDetails(1), "name");
  EXPECT_EQ(item.GetDetails(2), "bytes");
  EXPECT_EQ(item.GetDetails(3), "date");
  EXPECT_THROW(item.GetDetails(4), Exception);
  EXPECT_THROW(item.SetDetails(5, "x"), Exception);
}

}  // namespace
