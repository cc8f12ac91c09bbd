#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "platform/os/Files.h"
#include "platform/os/System.h"

namespace {

// Runs each test with a scratch folder and restores the variables it changes.
class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    String pattern = GetTempDir() + "tarnwick_system_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (auto& [name, value] : saved_) {
      if (value.first)
        setenv(name.c_str(), value.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::filesystem::remove_all(dir_);
  }
  void Set(const String& name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = getenv(name.c_str());
      saved_[name] = {old != nullptr, old ? old : ""};
    }
    if (value)
      setenv(name.c_str(), value, 1);
    else
      unsetenv(name.c_str());
  }
  void Write(const String& path, const String& text) { std::ofstream(path) << text; }

  String dir_;
  std::map<String, std::pair<bool, String>> saved_;
};

const char* kUserDirKeys[] = {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "XDG_PICTURES_DIR", "XDG_VIDEOS_DIR",
                              "XDG_MUSIC_DIR"};

TEST_F(SystemTest, KnownFoldersFallBackWithoutXdgSettings) {
  Set("HOME", dir_.c_str());
  Set("XDG_CONFIG_HOME", nullptr);
  Set("XDG_DATA_HOME", nullptr);
  for (const char* key : kUserDirKeys) Set(key, nullptr);

  EXPECT_EQ(GetKnownFolder(kfAppData), dir_ + "/.config");
  EXPECT_EQ(GetKnownFolder(kfLocalAppData), dir_ + "/.local/share");
  // A missing standard folder falls back to the home folder itself.
  EXPECT_EQ(GetKnownFolder(kfVideos), dir_);
  ASSERT_TRUE(CreateDir(dir_ + "/Videos"));
  ASSERT_TRUE(CreateDir(dir_ + "/Desktop"));
  EXPECT_EQ(GetKnownFolder(kfVideos), dir_ + "/Videos");
  EXPECT_EQ(GetKnownFolder(kfDesktop), dir_ + "/Desktop");
  EXPECT_EQ(GetKnownFolder(kfDocuments), dir_);

  // Relative XDG values are invalid and ignored.
  Set("XDG_CONFIG_HOME", "relative/config");
  EXPECT_EQ(GetKnownFolder(kfAppData), dir_ + "/.config");

  Set("TMPDIR", dir_.c_str());
  EXPECT_EQ(GetKnownFolder(kfTemp), dir_);
}

TEST_F(SystemTest, KnownFoldersFromXdgSettings) {
  Set("HOME", dir_.c_str());
  Set("XDG_CONFIG_HOME", (dir_ + "/cfg/").c_str());
  Set("XDG_DATA_HOME", (dir_ + "/data").c_str());
  for (const char* key : kUserDirKeys) Set(key, nullptr);
  Set("XDG_MUSIC_DIR", "/srv/music");
  ASSERT_TRUE(CreateDir(dir_ + "/cfg"));
  Write(dir_ + "/cfg/user-dirs.dirs",
        "# written by the desktop\n"
        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
        "XDG_VIDEOS_DIR=\"$HOME/Meine Filme/\"\n"
        "XDG_PICTURES_DIR=\"/data/pics\"\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/old\"\n"
        "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");

  EXPECT_EQ(GetKnownFolder(kfAppData), dir_ + "/cfg");
  EXPECT_EQ(GetKnownFolder(kfLocalAppData), dir_ + "/data");
  EXPECT_EQ(GetKnownFolder(kfDesktop), dir_ + "/Schreibtisch");
  EXPECT_EQ(GetKnownFolder(kfVideos), dir_ + "/Meine Filme");
  EXPECT_EQ(GetKnownFolder(kfPictures), "/data/pics");
  EXPECT_EQ(GetKnownFolder(kfDocuments), dir_ + "/Dokumente");
  EXPECT_EQ(GetKnownFolder(kfMusic), "/srv/music");  // not in the file: the variable
}

TEST_F(SystemTest, DriveTypeFromMountTable) {
  const String table = dir_ + "/mounts";
  Write(table,
        "/dev/sda1 / ext4 rw,relatime 0 0\n"
        "tmpfs /run/user/1000 tmpfs rw,nosuid 0 0\n"
        "/dev/sr0 /media/user/DVD\\040Disc iso9660 ro,nosuid,nodev 0 0\n"
        "/dev/sdb1 /media/user/DVD ext4 ro,relatime 0 0\n"
        "/dev/sr1 /media/user/BD udf ro 0 0\n"
        "server:/export /net/videos nfs4 rw 0 0\n"
        "//srv/share /net/smb cifs rw 0 0\n"
        "/dev/sdc1 /net/smb/local ext4 rw 0 0\n");
  struct Case {
    const char* path;
    unsigned type;
    bool readOnly;
  } cases[] = {
      {"/home/user/clip.mp4", DRIVE_FIXED, false},
      {"/run/user/1000/x", DRIVE_RAMDISK, false},
      {"/media/user/DVD Disc/VIDEO_TS/VTS_01_1.VOB", DRIVE_CDROM, true},
      {"/media/user/DVD Disc", DRIVE_CDROM, true},
      {"/media/user/DVD/clip.mp4", DRIVE_FIXED, true},
      {"/media/user/DVDX/clip.mp4", DRIVE_FIXED, false},  // a name prefix is not a folder prefix
      {"/media/user/BD/BDMV", DRIVE_CDROM, true},
      {"/net/videos/a.mkv", DRIVE_REMOTE, false},
      {"/net/smb/b.mkv", DRIVE_REMOTE, false},
      {"/net/smb/local/c.mkv", DRIVE_FIXED, false},  // the deeper mount wins
  };
  for (const Case& c : cases) {
    TMountInfo info;
    ASSERT_TRUE(FindMount(c.path, info, table)) << c.path;
    EXPECT_EQ(info.DriveType, c.type) << c.path;
    EXPECT_EQ(info.ReadOnly, c.readOnly) << c.path;
    EXPECT_EQ(GetDriveType(c.path, table), c.type) << c.path;
  }
  TMountInfo info;
  ASSERT_TRUE(FindMount("/media/user/DVD Disc/a", info, table));
  EXPECT_EQ(info.MountPoint, "/media/user/DVD Disc");
  EXPECT_EQ(info.Device, "/dev/sr0");

  EXPECT_EQ(GetDriveType("", table), DRIVE_NO_ROOT_DIR);
  EXPECT_EQ(GetDriveType("/x", dir_ + "/no-such-table"), DRIVE_NO_ROOT_DIR);
  EXPECT_NE(GetDriveType("/"), DRIVE_NO_ROOT_DIR);  // the real table
}

TEST(LanguageTest, PrimaryLanguageTable) {
  struct Case {
    const char* locale;
    uint16_t id;
  } cases[] = {
      {"fr_FR.UTF-8", 12}, {"en_US.UTF-8", 9},   {"de_DE", 7},           {"es_ES@euro", 10},
      {"it_IT.UTF-8", 16}, {"ru_RU.KOI8-R", 25}, {"zh_CN.GB18030", 4},   {"ja_JP.eucJP", 17},
      {"pt_BR", 22},       {"nb_NO.UTF-8", 20},  {"C", 9},               {"POSIX", 9},
      {"C.UTF-8", 9},      {"", 9},              {"xx_YY", LANG_NEUTRAL},
  };
  for (const Case& c : cases) EXPECT_EQ(PrimaryLanguageOfLocale(c.locale), c.id) << c.locale;
}

TEST_F(SystemTest, UserLanguageFollowsLocaleVariablePrecedence) {
  Set("LC_ALL", "");
  Set("LC_MESSAGES", "de_DE.UTF-8");
  Set("LANG", "fr_FR.UTF-8");
  EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
  EXPECT_EQ(PrimaryLangID(GetUserDefaultLCID()), 7);
  Set("LC_ALL", "it_IT");
  EXPECT_EQ(PrimaryLangID(GetUserDefaultLangID()), 16);
  Set("LC_ALL", nullptr);
  Set("LC_MESSAGES", nullptr);
  EXPECT_EQ(PrimaryLangID(GetUserDefaultLangID()), 12);
  Set("LANG", nullptr);
  EXPECT_EQ(PrimaryLangID(GetUserDefaultLangID()), LANG_ENGLISH);
}

TEST_F(SystemTest, EnvironmentAndProcessors) {
  Set("TARNWICK_TEST_VAR", nullptr);
  EXPECT_EQ(GetEnvironmentVariable("TARNWICK_TEST_VAR"), "");
  EXPECT_TRUE(SetEnvironmentVariable("TARNWICK_TEST_VAR", "a b=c"));
  EXPECT_EQ(GetEnvironmentVariable("TARNWICK_TEST_VAR"), "a b=c");
  EXPECT_TRUE(UnsetEnvironmentVariable("TARNWICK_TEST_VAR"));
  EXPECT_EQ(GetEnvironmentVariable("TARNWICK_TEST_VAR"), "");
  EXPECT_GE(ProcessorCount(), 1);
}

// A stand-in opener on PATH records its arguments: the name must arrive as
// one argument, untouched by any shell.
TEST_F(SystemTest, ShellOpenPassesTheNameAsOneArgument) {
  const String bin = dir_ + "/bin";
  const String log = dir_ + "/args";
  ASSERT_TRUE(CreateDir(bin));
  Write(bin + "/xdg-open", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + log + ".tmp'\nmv '" +
                               log + ".tmp' '" + log + "'\n");
  ASSERT_EQ(chmod((bin + "/xdg-open").c_str(), 0755), 0);
  Set("PATH", (bin + ":/usr/bin:/bin").c_str());

  const String file = dir_ + "/it's a \"clip\" $(touch pwned).mp4";
  Write(file, "x");
  EXPECT_FALSE(ShellOpen(dir_ + "/missing.mp4"));
  ASSERT_TRUE(ShellOpen(file));
  for (int i = 0; i < 500 && !FileExists(log); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::ifstream in(log);
  std::stringstream args;
  args << in.rdbuf();
  EXPECT_EQ(args.str(), file + "\n");
  EXPECT_FALSE(FileExists(dir_ + "/pwned"));
  EXPECT_FALSE(FileExists("pwned"));

  Set("PATH", dir_.c_str());  // no opener at all
  EXPECT_FALSE(ShellOpen(file));
}

}  // namespace
