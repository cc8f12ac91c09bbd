#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <fstream>
#include <vector>

#include "platform/os/Files.h"

namespace {

// A temporary folder tree, removed afterwards.
class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
    String pattern = GetTempDir() + "tarnwick_files_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = String(pattern) + "/";
  }
  void TearDown() override { RemoveTree(root_); }

  void Write(const String& name, const String& text = "data") { std::ofstream(root_ + name) << text; }

  static void RemoveTree(const String& dir) {
    TSearchRec rec;
    for (int rc = FindFirst(dir + "*", faAnyFile, rec); rc == 0; rc = FindNext(rec)) {
      if (rec.Name == "." || rec.Name == "..") continue;
      const String path = dir + rec.Name;
      if ((rec.Attr & faDirectory) && !(rec.Attr & faSymLink))
        RemoveTree(path + "/");
      else
        unlink(path.c_str());
    }
    FindClose(rec);
    rmdir(dir.c_str());
  }

  std::vector<String> Find(const String& mask, int attr, int* firstResult = nullptr) {
    std::vector<String> names;
    TSearchRec rec;
    int rc = FindFirst(root_ + mask, attr, rec);
    if (firstResult) *firstResult = rc;
    for (; rc == 0; rc = FindNext(rec)) names.push_back(rec.Name);
    EXPECT_TRUE(rc == ERROR_NO_MORE_FILES || names.empty()) << rc;
    FindClose(rec);
    return names;
  }

  String root_;
};

TEST(MatchesMaskTest, Table) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  } cases[] = {
      {"clip.mp4", "*.MP4", true},      {"CLIP.Mp4", "clip.mp4", true},  {"README", "*.*", true},
      {"README", "*", true},            {"abc", "a?c", true},            {"aXc", "A?C", true},
      {"ac", "a?c", false},             {"abcd", "a?c", false},          {"a.b.c", "*.c", true},
      {"a.b.c", "*.b", false},          {"foo", "foo.*", true},          {"foo.txt", "foo.*", true},
      {"fo", "foo.*", false},           {"x", "", false},                {"", "*", true},
      {"Été.MKV", "été.mkv", true},     {"日本.mp4", "??.MP4", true},    {"日本.mp4", "?.mp4", false},
      {"movie.mp4.part", "*.mp4", false}, {"a*b", "a*b", true},
      // Many stars over a long name that almost matches: must stay quick.
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*a*a*a*c", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " ~ " << c.mask;
}

TEST_F(TempTree, FindFirstMasksAttributesAndOrder) {
  for (const char* name : {"clip.mp4", "README", "abc", "aXc", "abcd", "ac", ".hidden"}) Write(name);
  ASSERT_TRUE(CreateDir(root_ + "sub"));
  ASSERT_EQ(symlink((root_ + "sub").c_str(), (root_ + "linkdir").c_str()), 0);
  ASSERT_EQ(symlink((root_ + "README").c_str(), (root_ + "linkfile").c_str()), 0);

  using Names = std::vector<String>;
  struct Case {
    const char* mask;
    int attr;
    Names expected;
  } cases[] = {
      {"*.MP4", faAnyFile, {"clip.mp4"}},
      {"*.*", faAnyFile, {".", "..", ".hidden", "abc", "abcd", "ac", "aXc", "clip.mp4", "linkdir", "linkfile", "README", "sub"}},
      {"a?c", faAnyFile, {"abc", "aXc"}},
      // Without faHidden and faDirectory: neither dot files nor folders (nor "." and "..").
      {"*", 0, {"abc", "abcd", "ac", "aXc", "clip.mp4", "linkfile", "README"}},
      {"*", faDirectory, {".", "..", "abc", "abcd", "ac", "aXc", "clip.mp4", "linkdir", "linkfile", "README", "sub"}},
      {".h*", faHidden, {".hidden"}},
      {"README", 0, {"README"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Find(c.mask, c.attr), c.expected) << c.mask;

  int rc = 0;
  EXPECT_TRUE(Find(".h*", 0, &rc).empty());
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Find("readme", faAnyFile, &rc).empty());  // a plain name is looked up exactly
  EXPECT_EQ(rc, ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(Find("missing/*", faAnyFile, &rc).empty());
  EXPECT_EQ(rc, ERROR_PATH_NOT_FOUND);

  struct Attr {
    const char* name;
    int set;
    int clear;
  } attrs[] = {
      {"linkdir", faSymLink | faDirectory, faHidden},
      {"linkfile", faSymLink | faArchive, faDirectory},
      {"sub", faDirectory, faSymLink | faArchive | faHidden},
      {".hidden", faHidden | faArchive, faDirectory},
      {".", faDirectory, faHidden},
      {"..", faDirectory, faHidden},
  };
  for (const Attr& a : attrs) {
    TSearchRec rec;
    ASSERT_EQ(FindFirst(root_ + (a.name[0] == '.' ? String("*") : String(a.name)), faAnyFile, rec), 0);
    while (rec.Name != a.name) ASSERT_EQ(FindNext(rec), 0) << a.name;
    EXPECT_EQ(rec.Attr & a.set, a.set) << a.name;
    EXPECT_EQ(rec.Attr & a.clear, 0) << a.name;
    FindClose(rec);
  }
}

TEST_F(TempTree, SizeTimesAndReadOnly) {
  Write("movie.mp4", String(1234, 'x'));
  const String path = root_ + "movie.mp4";
  // 2020-01-02 03:04:05 UTC
  const time_t when = 1577934245;
  timespec times[2] = {{when, 0}, {when, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);

  TSearchRec rec;
  ASSERT_EQ(FindFirst(path, faAnyFile, rec), 0);
  EXPECT_EQ(rec.Size, 1234);
  EXPECT_EQ(FileGetSize(path), 1234);
  const double utc = 25569.0 + when / 86400.0;
  EXPECT_NEAR(rec.LastWriteTime, utc, 1e-9);
  EXPECT_NEAR(rec.LastAccessTime, utc, 1e-9);
  struct tm local {};
  localtime_r(&when, &local);
  EXPECT_NEAR(rec.Time, utc + local.tm_gmtoff / 86400.0, 1e-9);
  EXPECT_NEAR(FileAge(path), rec.Time, 1e-9);
  EXPECT_GT(rec.CreationTime, 40000.0);
  EXPECT_TRUE(rec.Attr & faReadOnly);
  FindClose(rec);

  EXPECT_EQ(FileAge(root_ + "none"), -1);
  EXPECT_EQ(FileGetSize(root_ + "none"), -1);
  EXPECT_EQ(FileGetSize(root_), -1);
}

// An open folder describes each entry exactly as FindFirst does, listing and
// permission shortcuts included.
TEST_F(TempTree, OpenFolderDescribesEntriesAsFindFirst) {
  Write("file.mp4", "1234567");
  Write(".hidden");
  Write("a*b?");
  Write("readonly.txt");
  ASSERT_EQ(chmod((root_ + "readonly.txt").c_str(), 0444), 0);
  Write("others.txt");
  ASSERT_EQ(chmod((root_ + "others.txt").c_str(), 0644), 0);
  ASSERT_TRUE(CreateDir(root_ + "folder"));
  ASSERT_TRUE(CreateDir(root_ + ".hiddenfolder"));
  ASSERT_EQ(symlink((root_ + "folder").c_str(), (root_ + "linkdir").c_str()), 0);
  ASSERT_EQ(symlink((root_ + "file.mp4").c_str(), (root_ + "linkfile").c_str()), 0);
  ASSERT_EQ(symlink((root_ + "missing").c_str(), (root_ + "dangling").c_str()), 0);
  ASSERT_EQ(mkfifo((root_ + "pipe").c_str(), 0644), 0);
  // Owned by someone else: the owner's bits say nothing about this process.
  const bool chowned = chown((root_ + "others.txt").c_str(), 12345, 12345) == 0;
  // Immutable (where the file system and privileges allow): no one may write.
  Write("immutable.txt");
  const int fd = open((root_ + "immutable.txt").c_str(), O_RDONLY);
  int flags = 0;
  const bool immutable = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags |= FS_IMMUTABLE_FL, ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);

  TOpenFolder folder(root_, false);
  ASSERT_TRUE(folder.Valid());
  std::vector<String> listed;
  for (const TFolderEntry& e : folder.ReadAll()) {
    listed.push_back(e.Name);
    EXPECT_EQ(e.Type == DT_DIR, e.Name == "folder" || e.Name == ".hiddenfolder") << e.Name;
  }
  std::sort(listed.begin(), listed.end());
  const std::vector<String> all = {".hidden",      ".hiddenfolder", "a*b?",     "dangling",   "file.mp4",
                                   "folder",       "immutable.txt", "linkdir",  "linkfile",   "others.txt",
                                   "pipe",         "readonly.txt"};
  EXPECT_EQ(listed, all);

  // Following a dangling link reads it, which may touch its access time once.
  TSearchRec rec;
  ASSERT_TRUE(folder.Describe("dangling", rec));
  for (const String& name : all) {
    TSearchRec expected, actual;
    int rc = FindFirst(root_ + "*", faAnyFile, expected);
    while (rc == 0 && expected.Name != name) rc = FindNext(expected);
    ASSERT_EQ(rc, 0) << name;
    FindClose(expected);
    ASSERT_TRUE(folder.Describe(name, actual)) << name;
    EXPECT_EQ(actual.Name, name);
    EXPECT_EQ(actual.Attr, expected.Attr) << name;
    EXPECT_EQ(actual.Size, expected.Size) << name;
    EXPECT_EQ(actual.Time, expected.Time) << name;
    EXPECT_EQ(actual.CreationTime, expected.CreationTime) << name;
    EXPECT_EQ(actual.LastAccessTime, expected.LastAccessTime) << name;
    EXPECT_EQ(actual.LastWriteTime, expected.LastWriteTime) << name;
    if ((actual.Attr & faDirectory) && !(actual.Attr & faSymLink)) {
      EXPECT_EQ(FolderAttributes(name), actual.Attr & ~faReadOnly) << name;
    }
  }
  EXPECT_TRUE(folder.Describe("file.mp4", rec) && rec.Size == 7 && !(rec.Attr & faReadOnly));
  EXPECT_TRUE(folder.Describe("readonly.txt", rec) && (rec.Attr & faReadOnly));
  if (chowned) {
    EXPECT_TRUE(folder.Describe("others.txt", rec));
    EXPECT_EQ((rec.Attr & faReadOnly) != 0, access((root_ + "others.txt").c_str(), W_OK) != 0);
  }
  if (immutable) {
    EXPECT_TRUE(folder.Describe("immutable.txt", rec) && (rec.Attr & faReadOnly));
  }
  EXPECT_FALSE(folder.Describe("missing", rec));
  EXPECT_FALSE(folder.Describe("folder/x", rec));
  EXPECT_FALSE(folder.Describe("", rec));

  // Subfolders open relative to their parent, symlinks never; a symlinked
  // path opens only when asked to follow it.
  TOpenFolder sub(folder, "folder"), byPath(root_ + "folder", false);
  ASSERT_TRUE(sub.Valid() && byPath.Valid());
  EXPECT_EQ(sub.Device(), byPath.Device());
  EXPECT_EQ(sub.Inode(), byPath.Inode());
  EXPECT_FALSE(TOpenFolder(folder, "linkdir").Valid());
  EXPECT_FALSE(TOpenFolder(folder, "file.mp4").Valid());
  EXPECT_FALSE(TOpenFolder(root_ + "linkdir", false).Valid());
  EXPECT_EQ(TOpenFolder(root_ + "linkdir", true).Inode(), sub.Inode());

  if (immutable) {
    flags &= ~FS_IMMUTABLE_FL;
    ioctl(fd, FS_IOC_SETFLAGS, &flags);
  }
  if (fd >= 0) close(fd);
}

TEST_F(TempTree, ExistenceFoldersAndRenaming) {
  Write("a.txt");
  Write("b.txt");
  ASSERT_TRUE(CreateDir(root_ + "real"));
  ASSERT_EQ(symlink((root_ + "real").c_str(), (root_ + "link").c_str()), 0);

  EXPECT_TRUE(FileExists(root_ + "a.txt"));
  EXPECT_FALSE(FileExists(root_ + "real"));
  EXPECT_FALSE(FileExists(root_ + "missing"));
  EXPECT_TRUE(DirectoryExists(root_ + "real"));
  EXPECT_TRUE(DirectoryExists(root_ + "link"));
  EXPECT_FALSE(DirectoryExists(root_ + "a.txt"));

  EXPECT_TRUE(ForceDirectories(root_ + "x/y/z/"));
  EXPECT_TRUE(DirectoryExists(root_ + "x/y/z"));
  EXPECT_TRUE(ForceDirectories(root_ + "x/y"));
  EXPECT_FALSE(ForceDirectories(root_ + "a.txt/sub"));
  EXPECT_FALSE(ForceDirectories(""));

  EXPECT_FALSE(RenameFile(root_ + "a.txt", root_ + "b.txt"));  // never replaces
  EXPECT_TRUE(FileExists(root_ + "a.txt"));
  EXPECT_TRUE(RenameFile(root_ + "a.txt", root_ + "c.txt"));
  EXPECT_FALSE(FileExists(root_ + "a.txt"));
  EXPECT_TRUE(DeleteFile(root_ + "c.txt"));
  EXPECT_FALSE(DeleteFile(root_ + "c.txt"));
  EXPECT_TRUE(RemoveDir(root_ + "x/y/z"));

  const String temp = CreateUniqueTempFile("tw", root_);
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(ExtractFilePath(temp), root_);
  EXPECT_EQ(ExtractFileName(temp).substr(0, 2), "tw");
  EXPECT_TRUE(FileExists(temp));
  EXPECT_NE(CreateUniqueTempFile("tw", root_), temp);
}

TEST(PathTest, Helpers) {
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFilePath("c.txt"), "");
  EXPECT_EQ(ExtractFileDir("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(ExtractFileDir("/c.txt"), "/");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFileName("/a/b/"), "");
  EXPECT_EQ(ExtractFileExt("/a/b.d/c.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("/a/b.d/c"), "");
  EXPECT_EQ(ChangeFileExt("/a/b.d/c", ".mp4"), "/a/b.d/c.mp4");
  EXPECT_EQ(ChangeFileExt("/a/clip.avi", ".mp4"), "/a/clip.mp4");
  EXPECT_EQ(ChangeFileExt("/a/clip.avi", ""), "/a/clip");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a/"), "/a/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/a/"), "/a");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExpandFileName("/a/./b/../c"), "/a/c");
  EXPECT_EQ(ExpandFileName("/a//b/"), "/a/b/");
  EXPECT_EQ(ExpandFileName("/.."), "/");
  EXPECT_EQ(ExpandFileName("x/y"), IncludeTrailingPathDelimiter(GetCurrentDir()) + "x/y");
  EXPECT_EQ(GetTempDir().back(), PathDelim);
  EXPECT_EQ(ExecutablePath().substr(0, 1), "/");
  EXPECT_TRUE(FileExists(ExecutablePath()));
}

}  // namespace
