// Parts of the display backend that need no display: the file names of a
// dropped uri-list, and the start-up choice when there is no display.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/win/X11Backend.h"

namespace {

std::string Host() {
  char name[256] = {};
  gethostname(name, sizeof(name) - 1);
  return name;
}

TEST(UriListTest, LocalFileUrisBecomeDecodedPaths) {
  struct Case {
    std::string list;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases{
      {"file:///home/a/clip.mkv\r\nfile:///home/a/b%20c.mp3\r\n", {"/home/a/clip.mkv", "/home/a/b c.mp3"}},
      {"file:///tmp/%C3%BC%23.mp4\n", {"/tmp/\xC3\xBC#.mp4"}},  // UTF-8 and '#' escaped, LF only
      {"file://localhost/srv/x\r\nfile://" + Host() + "/srv/y", {"/srv/x", "/srv/y"}},
      {"file://elsewhere/srv/x\r\nhttp://example.invalid/a.mkv\r\n# a comment\r\n\r\n", {}},
      {"file:///media/Folder/\r\nfile:/single/slash\r\nFILE:///upper", {"/media/Folder", "/single/slash", "/upper"}},
      {"file:///a%2\r\nfile:///b%zz%41\r\n", {"/a%2", "/b%zzA"}},  // malformed escapes stay as written
      {"file:///with%00nul\r\nfile:///", {"/"}},                   // no NUL in a path; the root keeps its slash
  };
  for (const Case& c : cases) EXPECT_EQ(FilesFromUriList(c.list), c.files) << c.list;
}

TEST(UseDisplayBackendTest, WithoutADisplaySaysSoInOneLineAndExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        UseDisplayBackendOrExit();
      },
      ::testing::ExitedWithCode(1), "^tarnwick: no display to show windows on \\(DISPLAY is not set\\)\n$");
}

}  // namespace
