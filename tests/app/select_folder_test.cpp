// The folder dialog's browser flags, where it is centred, and a run of it.

#include "app/SelectDirectoryFix.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/os/Files.h"
#include "platform/os/Threads.h"
#include "platform/vcl/Dialogs.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

TEST(SelectFolderTest, BrowserFlagsFollowTheOptions) {
  struct Case {
    TSelectDirExtOpts Options;
    UINT Flags;
  } cases[] = {
      {{}, 0x0001 | 0x0002 | 0x0200},
      {{sdNewUI}, 0x0003 | 0x0040 | 0x0200},
      {{sdNewFolder, sdNewUI}, 0x0003 | 0x0040},
      {{sdShowShares}, 0x0003 | 0x0200 | 0x8000},
      {{sdShowShares, sdNewUI}, 0x0003 | 0x0040 | 0x0200},  // shares only without the new style
      {{sdShowEdit, sdShowFiles, sdValidateDir, sdNewFolder}, 0x0003 | 0x0010 | 0x4000 | 0x0020},
  };
  for (const Case& c : cases) EXPECT_EQ(BrowseFlags(c.Options), c.Flags) << c.Options.Bits();
}

TEST(SelectFolderTest, CentredOnTheReferenceWithHalvesTruncated) {
  EXPECT_EQ(CentredPosition(TRect(0, 0, 1024, 768), TRect(5, 5, 405, 305)), TPoint(312, 234));
  EXPECT_EQ(CentredPosition(TRect(100, 50, 201, 151), TRect(0, 0, 31, 21)), TPoint(135, 90));
  // A browser larger than its reference starts left of and above it.
  EXPECT_EQ(CentredPosition(TRect(10, 10, 110, 60), TRect(0, 0, 300, 200)), TPoint(-90, -65));
}

// The browser run itself, headless: a chosen folder of any length comes back
// with its delimiter, and a typed name that is no folder is refused with a
// message while the browser stays open.
class SelectFolderRunTest : public WindowTest {
 protected:
  static HWND Child(HWND Dialog, int Id) {
    for (HWND c = GetWindow(Dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetWindowLongPtrW(c, GWLP_ID) == Id) return c;
    return nullptr;
  }
  // Runs Steps one by one on the open browser, each once the loop is idle again.
  void Script(std::vector<std::function<void(HWND)>> Steps) {
    steps_ = std::move(Steps);
    next_ = 0;
    QueueInMainThread([this] { Step(); });
  }
  size_t StepsRun() const { return next_; }

 private:
  void Step() {
    if (next_ >= steps_.size()) return;
    steps_[next_++](GetActiveWindow());
    QueueInMainThread([this] { Step(); });
  }
  std::vector<std::function<void(HWND)>> steps_;
  size_t next_ = 0;
};

TEST_F(SelectFolderRunTest, LongFoldersAndTypedNamesThatAreNoFolder) {
  TForm form(Application);
  ShowForm(form);
  const String root = GetTempDir() + "tarnwick-select-" + IntToStr(getpid()) + "/";
  String deep = root;
  while (deep.size() < 600) deep += "a folder name of some forty characters/";
  ASSERT_TRUE(ForceDirectories(deep));
  const auto click = [this](int Id) { return [this, Id](HWND Dialog) { SendMessageW(Child(Dialog, Id), BM_CLICK, 0, 0); }; };

  String chosen = deep;
  Script({click(IDOK)});
  ASSERT_TRUE(SelectFolder("Select Output Folder", "", chosen, &form, {sdNewUI}));
  EXPECT_EQ(chosen, deep);
  EXPECT_GT(chosen.size(), 520u);

  Headless().ClearMessageBoxes();
  chosen = root;
  Script({[](HWND Dialog) {
            SetWindowTextW(Child(Dialog, edt1), "nowhere");
            SendMessageW(Child(Dialog, IDOK), BM_CLICK, 0, 0);
          },
          click(IDCANCEL)});
  EXPECT_FALSE(SelectFolder("Select Output Folder", "", chosen, &form, {sdShowEdit, sdValidateDir}));
  EXPECT_EQ(StepsRun(), 2u);  // the refused name left the browser open
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_EQ(Headless().MessageBoxes()[0].Text, "\"nowhere\" is not a valid path.");

  // A folder that no longer exists is no starting point.
  chosen = root + "gone/";
  Script({click(IDCANCEL)});
  EXPECT_FALSE(SelectFolder("Select Output Folder", "", chosen, &form, {}));
  EXPECT_EQ(chosen, "");
  std::filesystem::remove_all(root);
}

}  // namespace
