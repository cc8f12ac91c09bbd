// Handlers of static windows and links: what they paint over the section,
// the link's caption without its anchor tags, a bitmap static's alpha over the
// background, and a bitmap that stays the static's after the handler is gone.
// With them, every handler of plain windows is checked for giving its window back
// as it found it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acContainerWnd.h"
#include "skin/controls/acEditWnd.h"
#include "skin/controls/acStaticWnd.h"
#include "skin/core/sMessages.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_controls/ScrollSkin.h"

namespace {

constexpr TColor kStaticFont = 0x0000FF;
constexpr COLORREF kBmpColour = 0x00C08040;

class StaticHandlerTest : public SkinnedScrollsTest {
 protected:
  static void SetFont(ScrollSkin& k) {
    for (auto& st : k.s.gd[size_t(k.s.GetSkinIndex("EDIT"))].Props) st.FontColor.Color = kStaticFont;
  }
  HWND Static(TForm& form, const char* text, DWORD style, DWORD exStyle = 0) {
    return CreateWindowExW(exStyle, "STATIC", text, WS_CHILD | WS_VISIBLE | style, 20, 20, 120, 40, form.Handle(),
                           nullptr, nullptr, nullptr);
  }
  template <class T>
  TacHandlerPtr<T> Skin(HWND w, ScrollSkin& k, const char* section = "EDIT") {
    TacSkinParams p;
    p.SkinSection = section;
    return CreateWndHandler<T>(w, nullptr, &k.s, p, true);
  }
  COLORREF At(HWND w, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(w);
    return SurfacePixel(w, o.x + x, o.y + y);
  }
  void Repaint(HWND w) {
    RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Application->ProcessMessages();
  }
  // Pixels of the window for which Match holds, every second one of every second row.
  template <class F>
  int Count(HWND w, F&& Match) {
    int n = 0;
    for (int y = 0; y < 40; y += 2)
      for (int x = 0; x < 120; x += 2) n += Match(At(w, x, y));
    return n;
  }
  int CountColour(HWND w, COLORREF c) {
    return Count(w, [c](COLORREF p) { return p == c; });
  }
  // Text in the section's red font colour, edges smoothed over the light section.
  int CountText(HWND w) {
    return Count(w, [](COLORREF p) { return GetRValue(p) > 0xC0 && GetGValue(p) < 0x90 && GetBValue(p) < 0x90; });
  }
  static bool Near(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) <= 3 && std::abs(GetGValue(a) - GetGValue(b)) <= 3 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 3;
  }
  // A 32-bit bitmap 20 x 10: the left half opaque, the right half clear.
  static HBITMAP AlphaBitmap() {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 20;
    bi.bmiHeader.biHeight = -10;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* px = static_cast<uint32_t*>(bits);
    // Pixels are BGRA in memory: 0xAARRGGBB with the colour's red in the low byte of a COLORREF.
    const uint32_t opaque = 0xFF000000u | (uint32_t(GetRValue(kBmpColour)) << 16) |
                            (uint32_t(GetGValue(kBmpColour)) << 8) | GetBValue(kBmpColour);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 20; ++x) px[y * 20 + x] = x < 10 ? opaque : 0;
    return b;
  }
};

// What must come back unchanged when a handler lets a window go.
struct Snapshot {
  WNDPROC proc;
  LONG_PTR style, exStyle;
  HANDLE prop;
  SCROLLINFO vert;
  explicit Snapshot(HWND w)
      : proc(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC))),
        style(GetWindowLongPtrW(w, GWL_STYLE)),
        exStyle(GetWindowLongPtrW(w, GWL_EXSTYLE)),
        prop(GetPropW(w, "OWN")) {
    vert.fMask = SIF_ALL;
    GetScrollInfo(w, SB_VERT, &vert);
  }
  bool operator==(const Snapshot& o) const {
    return proc == o.proc && style == o.style && exStyle == o.exStyle && prop == o.prop && vert.nMax == o.vert.nMax &&
           vert.nPage == o.vert.nPage && vert.nPos == o.vert.nPos;
  }
};

}  // namespace

TEST_F(StaticHandlerTest, EveryHandlerGivesItsWindowBackIntact) {
  ScrollSkin k;
  TForm form(nullptr);
  ShowForm(form);
  using Make = std::function<TacHandlerPtr<TacMainWnd>(HWND)>;
  auto maker = [&](auto* tag) -> Make {
    using T = std::remove_pointer_t<decltype(tag)>;
    return [&](HWND w) { return TacHandlerPtr<TacMainWnd>(Skin<T>(w, k).release()); };
  };
  struct Case {
    const char* name;
    DWORD style, exStyle;
    Make make;
  } cases[] = {
      {"static", SS_LEFT, 0, maker((TacStaticWnd*)nullptr)},
      {"edge", SS_BITMAP, WS_EX_STATICEDGE, maker((TacEdgeWnd*)nullptr)},
      {"icon", SS_ICON, 0, maker((TacIconWnd*)nullptr)},
      {"link", SS_LEFT, 0, maker((TacLinkWnd*)nullptr)},
      {"edit on a foreign window", WS_VSCROLL | WS_BORDER, 0, maker((TacEditWnd*)nullptr)},
      {"container", WS_BORDER, WS_EX_CLIENTEDGE, maker((TacContainerWnd*)nullptr)},
      {"search", WS_BORDER, 0, maker((TacSearchWnd*)nullptr)},
      {"scroll box", WS_VSCROLL | WS_BORDER, 0, maker((TacScrollBoxWnd*)nullptr)},
      {"native paint", WS_VSCROLL | WS_BORDER, 0, maker((TacNativePaint*)nullptr)},
      {"static text", WS_BORDER, 0, maker((TacStaticTextWnd*)nullptr)},
  };
  for (const Case& c : cases) {
    HWND w = Static(form, "text", c.style, c.exStyle);
    SetPropW(w, "OWN", HANDLE(0x77));
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = 90;
    si.nPage = 30;
    si.nPos = 10;
    SetScrollInfo(w, SB_VERT, &si, FALSE);
    const Snapshot before(w);
    auto h = c.make(w);
    EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(w, GWLP_WNDPROC)), before.proc) << c.name;
    EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1) << c.name;
    Repaint(w);
    ReleaseWndHandler(w, true, true, h);
    EXPECT_TRUE(Snapshot(w) == before) << c.name;
    EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr) << c.name;
    DestroyWindow(w);
  }
}

TEST_F(StaticHandlerTest, TextStaticPaintsTheSectionAndItsTextInTheSectionsColour) {
  ScrollSkin k;
  SetFont(k);
  TForm form(nullptr);
  ShowForm(form);
  HWND empty = Static(form, "", SS_LEFT);
  HWND text = Static(form, "Wide text WWW", SS_LEFT);
  SetWindowPos(text, nullptr, 20, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  auto h1 = Skin<TacStaticWnd>(empty, k);
  auto h2 = Skin<TacStaticWnd>(text, k);
  Repaint(empty);
  Repaint(text);
  EXPECT_EQ(CountColour(empty, COLORREF(kEdit)), 60 * 20);  // only the section
  EXPECT_EQ(At(text, 110, 35), COLORREF(kEdit));
  EXPECT_GT(CountText(text), 5);  // the text, in the section's font colour

  // New text is painted at once.
  SetWindowTextW(empty, "WWW");
  Application->ProcessMessages();
  EXPECT_EQ(h1->Caption, "WWW");
  EXPECT_GT(CountText(empty), 3);
  ReleaseWndHandler(empty, true, true, h1);
  ReleaseWndHandler(text, true, true, h2);
}

TEST_F(StaticHandlerTest, LinkShowsItsCaptionWithoutAnchorTags) {
  EXPECT_EQ(LinkCaption("Open <A>the folder</A> now"), "Open the folder now");
  EXPECT_EQ(LinkCaption("<a>lower</a> stays"), "<a>lower</a> stays");
  EXPECT_EQ(LinkCaption("<A></A><A>x</A>"), "x");
}

TEST_F(StaticHandlerTest, BitmapStaticBlendsItsAlphaAndKeepsItsBitmapAfterTheHandler) {
  ScrollSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Static(form, "", SS_BITMAP);
  HBITMAP bmp = AlphaBitmap();
  SendMessageW(w, STM_SETIMAGE, IMAGE_BITMAP, LPARAM(bmp));
  SetWindowPos(w, nullptr, 0, 0, 120, 40, SWP_NOMOVE | SWP_NOZORDER);
  {
    auto h = Skin<TacIconWnd>(w, k);
    EXPECT_TRUE(h->IsBmp);
    Repaint(w);
    EXPECT_TRUE(Near(At(w, 2, 2), kBmpColour)) << "opaque half";
    EXPECT_EQ(At(w, 15, 2), COLORREF(kEdit)) << "clear half shows the section";
    EXPECT_EQ(At(w, 60, 30), COLORREF(kEdit)) << "beside the bitmap";
    ASSERT_TRUE(h->FBmp);
    EXPECT_NE(h->FBmp->Handle(), bmp);  // the handler's picture is its own
    ReleaseWndHandler(w, true, true, h);
  }  // the handler is freed here
  // The static's bitmap lives on and the static still draws it.
  EXPECT_NE(GetObjectType(bmp), 0u);
  EXPECT_EQ(HBITMAP(SendMessageW(w, STM_GETIMAGE, IMAGE_BITMAP, 0)), bmp);
  Repaint(w);
  EXPECT_EQ(At(w, 2, 2), kBmpColour);
  DestroyWindow(w);
  DeleteObject(bmp);
}

TEST_F(StaticHandlerTest, IconStaticWithoutIconIsNotPaintedByTheHandler) {
  ScrollSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Static(form, "", SS_ICON);
  auto h = Skin<TacIconWnd>(w, k);
  EXPECT_FALSE(h->IsBmp);
  Repaint(w);
  EXPECT_EQ(CountColour(w, COLORREF(kEdit)), 0);  // the section never reached the window
  ReleaseWndHandler(w, true, true, h);
}
