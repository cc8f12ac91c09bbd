// The skinned frame of a standard dialog: its title painted from the skin,
// its title buttons' hit codes, the dialog's own hit test everywhere else,
// one background brush per handler, the title icon, the skinned system menu
// and the translucent drag by the caption.

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "platform/win/Backend.h"

#include "skin/controls/acDialogs.h"
#include "skin/controls/acHookProvider.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
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

// A 16 x 16 opaque icon of one colour.
HICON SolidIcon(COLORREF Color) {
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
  HBITMAP color = CreateCompatibleBitmap(nullptr, 16, 16);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, mask);
  RECT all{0, 0, 16, 16};
  FillRect(dc, &all, HBRUSH(GetStockObject(BLACK_BRUSH)));
  SelectObject(dc, color);
  HBRUSH brush = CreateSolidBrush(Color);
  FillRect(dc, &all, brush);
  SelectObject(dc, old);
  ICONINFO ii;
  ii.hbmMask = mask;
  ii.hbmColor = color;
  HICON icon = CreateIconIndirect(&ii);
  DeleteObject(brush);
  DeleteDC(dc);
  DeleteObject(mask);
  DeleteObject(color);
  return icon;
}

// A dialog procedure that keeps the icon it is given, as applications' dialogs do.
WNDPROC iconDialogProc = nullptr;
HICON dialogIcon = nullptr;
LRESULT KeepIcon(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_SETICON) dialogIcon = reinterpret_cast<HICON>(lp);
  if (m == WM_GETICON) return LRESULT(dialogIcon);
  return CallWindowProcW(iconDialogProc, w, m, wp, lp);
}

TEST_F(DialogFrameTest, TitleIconIsDrawnLeftOfTheCaption) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  dialogIcon = nullptr;
  iconDialogProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&KeepIcon))));
  const TRect r = f->IconRect();
  const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
  EXPECT_EQ(SurfacePixel(dlg, cx, cy), COLORREF(kTitleColor));  // no icon yet
  HICON icon = SolidIcon(RGB(255, 0, 0));
  SendMessageW(dlg, WM_SETICON, 0, LPARAM(icon));
  Application->ProcessMessages();
  EXPECT_EQ(f->TitleIcon, icon);
  EXPECT_EQ(SurfacePixel(dlg, cx, cy), RGB(255, 0, 0));
  EXPECT_EQ(SurfacePixel(dlg, r.Right + 1, cy), COLORREF(kTitleColor));
  SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(iconDialogProc)));
  DestroyIcon(icon);
}

// Closes every menu as soon as it waits for input, counting them.
WNDPROC popupListProc = nullptr;
int menusShown = 0;
LRESULT CloseMenuWhenIdle(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_ENTERIDLE) {
    ++menusShown;
    EndMenu();
  }
  return CallWindowProcW(popupListProc, w, m, wp, lp);
}

TEST_F(DialogFrameTest, SystemMenuDropsSkinnedFromTheIconAndCaptionAndSendsItsCommands) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  ASSERT_NE(f->SystemMenu, nullptr);
  TacSystemMenu* menu = f->SystemMenu.get();
  EXPECT_TRUE(menu->OwnerDraw());  // drawn by the skinned menu support
  menusShown = 0;
  HWND list = PopupListWindow();
  popupListProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(list, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&CloseMenuWhenIdle))));
  RECT wr{};
  GetWindowRect(dlg, &wr);
  const TRect icon = f->IconRect();
  const LPARAM onIcon = MAKELPARAM(wr.left + icon.Left + 2, wr.top + (icon.Top + icon.Bottom) / 2);
  SendMessageW(dlg, WM_NCLBUTTONDOWN, HTSYSMENU, onIcon);
  SendMessageW(dlg, WM_NCRBUTTONUP, HTCAPTION, MAKELPARAM(wr.left + 120, wr.top + 10));
  SendMessageW(dlg, WM_NCRBUTTONUP, HTCLIENT, MAKELPARAM(wr.left + 120, wr.top + 100));  // not on the title
  SetWindowLongPtrW(list, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(popupListProc)));
  EXPECT_EQ(menusShown, 2);

  // A dialog with a minimise box only, sizeable, not zoomed.
  struct Item {
    const char* name;
    TMenuItem* item;
    bool visible, enabled;
  } items[] = {
      {"restore", menu->ItemRestore, true, false}, {"move", menu->ItemMove, true, true},
      {"size", menu->ItemSize, true, true},        {"minimise", menu->ItemMinimize, true, true},
      {"maximise", menu->ItemMaximize, false, false}, {"close", menu->ItemClose, true, true},
  };
  for (const Item& i : items) {
    EXPECT_EQ(i.item->Visible(), i.visible) << i.name;
    EXPECT_EQ(i.item->Enabled(), i.enabled) << i.name;
  }
  EXPECT_EQ(menu->ItemClose->ShortCut(), TShortCut(scAlt | VK_F4));

  sysCommands.clear();
  recordedProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&RecordSysCommands))));
  menu->ItemMinimize->Click();
  menu->ItemClose->Click();
  SetWindowLongPtrW(dlg, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(recordedProc)));
  EXPECT_EQ(sysCommands, (std::vector<WPARAM>{SC_MINIMIZE, SC_CLOSE}));
}

// What the drag looked like at the first blend step, then the release.
struct DragProbe {
  HWND dlg = nullptr;
  POINT drop{};
  bool layered = false;
  BYTE alpha = 255;
};
DragProbe dragProbe;
void ProbeAndRelease(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  dragProbe.layered = GetWindowLongPtrW(dragProbe.dlg, GWL_EXSTYLE) & WS_EX_LAYERED;
  GetLayeredWindowAttributes(dragProbe.dlg, nullptr, &dragProbe.alpha, nullptr);
  InjectMouseButton(TMouseButton::Left, false, dragProbe.drop.x, dragProbe.drop.y);
}

TEST_F(DialogFrameTest, DraggingTheCaptionMakesTheDialogTranslucentUntilReleased) {
  TacDialogWnd* f = Frame();
  ASSERT_NE(f, nullptr);
  auto* m = static_cast<TsSkinManager*>(manager.get());
  m->AnimEffects.BlendOnMoving.Active = true;
  m->AnimEffects.BlendOnMoving.BlendValue = 100;
  RECT wr{};
  GetWindowRect(dlg, &wr);
  const POINT from{wr.left + 120, wr.top + 10};
  dragProbe = DragProbe{dlg, POINT{wr.left + 160, wr.top + 50}};
  Headless().QueueInput([from] { InjectMouseButton(TMouseButton::Left, true, from.x, from.y); });
  Headless().QueueInput([this] {
    // Due after the blend timer, which is older: the probe sees one blend step.
    SetTimer(nullptr, 0, 12, &ProbeAndRelease);
    Headless().AdvanceClock(12);
    InjectMouseMove(dragProbe.drop.x, dragProbe.drop.y);
  });
  Application->ProcessMessages();
  EXPECT_EQ(Headless().QueuedInput(), 0u);
  EXPECT_TRUE(dragProbe.layered);
  EXPECT_EQ(dragProbe.alpha, 255 - (255 - 100) / 30);
  // Let go: opaque, no longer layered, where it was dropped.
  EXPECT_FALSE(GetWindowLongPtrW(dlg, GWL_EXSTYLE) & WS_EX_LAYERED);
  EXPECT_EQ(f->FormState & TacDialogWnd::kBlendMoving, 0u);
  RECT after{};
  GetWindowRect(dlg, &after);
  EXPECT_EQ(after.left, wr.left + 40);
  EXPECT_EQ(after.top, wr.top + 40);
}

}  // namespace
