// The skinned frame of a standard dialog: its title painted from the skin,
// its title buttons' hit codes, the dialog's own hit test everywhere else,
// and one background brush per handler.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/win/Backend.h"

#include "skin/controls/acDialogs.h"
#include "skin/controls/acHookProvider.h"
#include "skin/core/sMessages.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_core/SkinFiles.h"
#include "tests/skin_core/SkinFixtures.h"
#include "tests/skin_controls/ManagedSkin.h"

using namespace skintest;

namespace {

constexpr TColor kTitleColor = 0x00C000;

// The framed skin with a dialog section, a dialog title and three title glyphs of 8 x 8.
SkinFiles DialogSkin() {
  SkinFiles s = FramedSkin();
  auto& global = s.options.sections.at(0).second;
  for (const char* name : {"BICONCLOSE", "BICONMAX", "BICONMIN"})
    global.emplace_back(name, GlyphValue(TRect(24, 0, 32, 8), 1, 0));
  s.options.Section("DIALOG").Key("PARENTCLASS", "FORM").Key("COLOR", 0xDDDDDD);
  s.options.Section("DIALOGTITLE").Key("COLOR", long(kTitleColor)).Key("FONTCOLOR", 0xFFFFFF);
  return s;
}

class DialogFrameTest : public WindowTest {
 protected:
  TempFolder dir;
  std::shared_ptr<void> manager;
  HWND dlg = nullptr;

  void SetUp() override {
    WindowTest::SetUp();
    DialogSkin().WriteFolder(dir.Path() + "Dialog");
    InstallHookServices();
    InstallDialogFrame();
    manager = StartSkinManager(dir.Path(), "Dialog");
    dlg = CreateWindowExW(WS_EX_DLGMODALFRAME, MAKEINTATOM(0x8002), "Options",
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 40, 40, 300, 200, nullptr, nullptr,
                          nullptr, nullptr);
    ShowWindow(dlg, SW_SHOW);
    Application->ProcessMessages();
  }
  void TearDown() override {
    if (IsWindow(dlg)) DestroyWindow(dlg);
    Application->ProcessMessages();
    manager.reset();
    CreateDialogFrameHandler = nullptr;
    HookServices = TacHookServices();
    WindowTest::TearDown();
  }
  TacDialogWnd* Frame() {
    TacHookedProvider* p = FindProvider(dlg);
    return p ? dynamic_cast<TacDialogWnd*>(p->ListSW.get()) : nullptr;
  }
  LRESULT HitAt(int x, int y) {  // window coordinates
    RECT wr{};
    GetWindowRect(dlg, &wr);
    return SendMessageW(dlg, WM_NCHITTEST, 0, MAKELPARAM(wr.left + x, wr.top + y));
  }
};

TEST_F(DialogFrameTest, TitleIsPaintedFromTheSkinAndTheSystemMenuStyleIsTakenOff) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(GetWindowLongPtrW(dlg, GWL_STYLE) & WS_SYSMENU);
  EXPECT_TRUE(f->VisibleClose());  // as the dialog asked for it
  const int caption = f->CaptionHeight();
  ASSERT_GT(caption, 0);
  EXPECT_EQ(f->HeaderHeight(), f->BorderWidth() + caption);
  // A point of the title left of the caption text, and one in the title's last row.
  const int y = f->BorderWidth() + caption - 1;
  EXPECT_EQ(SurfacePixel(dlg, f->BorderWidth() + 1, y), COLORREF(kTitleColor));
  EXPECT_EQ(SurfacePixel(dlg, 150, y), COLORREF(kTitleColor));
  // Two title buttons, close at the right, minimise to its left.
  EXPECT_FALSE(f->ButtonClose.cpRect.IsEmpty());
  EXPECT_FALSE(f->ButtonMin.cpRect.IsEmpty());
  EXPECT_TRUE(f->ButtonMax.cpRect.IsEmpty());
  EXPECT_LT(f->ButtonMin.cpRect.Right, f->ButtonClose.cpRect.Left + 1);
  EXPECT_EQ(f->TitleBtnsWidth(), 16);
  // The border's transparent corners are cut out of the window.
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(dlg, rgn), ERROR);
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  EXPECT_FALSE(PtInRegion(rgn, 299, 199));
  EXPECT_TRUE(PtInRegion(rgn, 2, 2));
  DeleteObject(rgn);
}

TEST_F(DialogFrameTest, TitleButtonsAnswerTheirCodesAndTheRestFallsBackToTheDialog) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  const TRect close = f->ButtonClose.cpRect, min = f->ButtonMin.cpRect;
  const int band = (close.Top + close.Bottom) / 2;
  struct Case {
    const char* name;
    int x, y;
    LRESULT code;
  } cases[] = {
      {"close button", (close.Left + close.Right) / 2, band, HTCLOSE},
      {"minimise button", (min.Left + min.Right) / 2, band, HTMINBUTTON},
      {"the icon", f->BorderWidth() + 2, band, HTSYSMENU},
      {"title band between icon and buttons", 120, band, HTCAPTION},
      {"caption above the band", 120, close.Top - 1, HTCAPTION},
      {"caption below the band", 120, close.Bottom + 1, HTCAPTION},
      {"client", 150, 100, HTCLIENT},
  };
  for (const Case& c : cases) EXPECT_EQ(HitAt(c.x, c.y), c.code) << c.name;
  // The hot button follows the cursor and clears off the buttons.
  HitAt((close.Left + close.Right) / 2, band);
  EXPECT_EQ(f->CurrentHT, HTCLOSE);
  EXPECT_EQ(f->ButtonClose.cpState, 1);
  HitAt(150, 100);
  EXPECT_EQ(f->CurrentHT, 0);
  EXPECT_EQ(f->ButtonClose.cpState, 0);
}

// Records the system commands the dialog receives.
WNDPROC recordedProc = nullptr;
std::vector<WPARAM> sysCommands;
LRESULT RecordSysCommands(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SYSCOMMAND) {
    sysCommands.push_back(wp & 0xFFF0);
    return 0;
  }
  return CallWindowProcW(recordedProc, w, m, wp, lp);
}

TEST_F(DialogFrameTest, ATitleButtonActsOnlyWhenReleasedOverItself) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  sysCommands.clear();
  recordedProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&RecordSysCommands))));
  RECT wr{};
  GetWindowRect(dlg, &wr);
  const TRect close = f->ButtonClose.cpRect, min = f->ButtonMin.cpRect;
  auto press = [&](const TRect& down, POINT up) {
    const POINT p{wr.left + (down.Left + down.Right) / 2, wr.top + (down.Top + down.Bottom) / 2};
    InjectMouseMove(p.x, p.y);
    InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
    Application->ProcessMessages();
    InjectMouseMove(wr.left + up.x, wr.top + up.y);
    InjectMouseButton(TMouseButton::Left, false, wr.left + up.x, wr.top + up.y);
    Application->ProcessMessages();
  };
  // Pressed on close, released on the client: nothing happens and the button is normal again.
  press(close, POINT{150, 100});
  EXPECT_TRUE(sysCommands.empty());
  EXPECT_EQ(f->ButtonClose.cpState, 0);
  EXPECT_TRUE(IsWindow(dlg));
  // Pressed and released on minimise: the dialog is asked to minimise.
  press(min, POINT{(min.Left + min.Right) / 2, (min.Top + min.Bottom) / 2});
  EXPECT_EQ(sysCommands, std::vector<WPARAM>{SC_MINIMIZE});
  SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(recordedProc)));
}

TEST_F(DialogFrameTest, DoubleClicksOnTheTitle) {
  sysCommands.clear();
  recordedProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&RecordSysCommands))));
  // No maximise box: a double click on the caption does nothing; on the icon it closes.
  SendMessageW(dlg, WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_TRUE(sysCommands.empty());
  SendMessageW(dlg, WM_NCLBUTTONDBLCLK, HTSYSMENU, 0);
  EXPECT_EQ(sysCommands, std::vector<WPARAM>{SC_CLOSE});
  SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(recordedProc)));
}

TEST_F(DialogFrameTest, ChildrenGetTheBackgroundAtTheClientArea) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  // A plain dialog section answers its colour, with the framed image placed at the client's origin.
  TacBackgroundInfo info;
  SendSkinCommand(dlg, SKC_GETBGINFO, LPARAM(&info));
  ASSERT_EQ(info.Bmp, f->SkinData->FCacheBmp.get());
  EXPECT_EQ(info.Offset.X, f->OffsetX());
  EXPECT_EQ(info.Offset.Y, f->OffsetY());
  const int x = info.Offset.X + 20, y = info.Offset.Y + 20;
  const auto* row = static_cast<const uint8_t*>(info.Bmp->ScanLine(y));
  EXPECT_EQ(RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]), SurfacePixel(dlg, x, y));
  if (info.BgType == 1) {
    EXPECT_EQ(COLORREF(info.Color), SurfacePixel(dlg, x, y));
  }
}

TEST_F(DialogFrameTest, BackgroundBrushIsOnePerHandler) {
  const LRESULT a = SendMessageW(dlg, WM_CTLCOLORDLG, 0, LPARAM(dlg));
  const LRESULT b = SendMessageW(dlg, WM_CTLCOLORDLG, 0, LPARAM(dlg));
  EXPECT_NE(a, 0);
  EXPECT_EQ(a, b);
}

}  // namespace
