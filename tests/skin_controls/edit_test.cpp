// The edit handler on memos, edits and list boxes: the skin's border around
// the control's own client, skinned bars taking the skin's width, colours
// following the section and given back, and the messages it keeps from a
// hidden or nested window.

#include <gtest/gtest.h>

#include <string>

#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acEditWnd.h"
#include "skin/core/sMessages.h"
#include "tests/platform_win/WinTestUtil.h"
#include "tests/skin_controls/ScrollSkin.h"

namespace {

constexpr TColor kEditFont = 0x2040C0;

class EditHandlerTest : public SkinnedScrollsTest {
 protected:
  static void SetEditFont(ScrollSkin& k) {
    const int i = k.s.GetSkinIndex("EDIT");
    for (auto& st : k.s.gd[size_t(i)].Props) st.FontColor.Color = kEditFont;
    k.s.gd[size_t(i)].ScrollBorderOffset = 0;  // the border keeps the frame's width
  }
  TMemo* Memo(TForm& form) {
    auto* memo = new TMemo(&form);
    memo->SetParent(&form);
    memo->SetBounds(20, 20, 160, 140);
    memo->SetScrollBars(ssVertical);
    for (int i = 0; i < 100; ++i) memo->Lines()->Add("line " + std::to_string(i));
    ShowForm(form);
    return memo;
  }
  template <class T = TacEditWnd>
  TacHandlerPtr<T> Skin(TWinControl* c, ScrollSkin& k) {
    TacSkinParams p;
    p.Control = c;
    return CreateWndHandler<T>(c->Handle(), nullptr, &k.s, p, true);
  }
  COLORREF At(HWND w, int x, int y) {
    const POINT o = GetWindowSurfaceOffset(w);
    return SurfacePixel(w, o.x + x, o.y + y);
  }
};

// Counts what reaches the control behind the handler.
struct MsgCount {
  TControl* ctrl;
  TWndMethod old;
  UINT msg;
  int n = 0;
  MsgCount(TControl* c, UINT m) : ctrl(c), old(c->WindowProc), msg(m) {
    c->WindowProc = [this](TMessage& x) {
      n += x.Msg == msg;
      old(x);
    };
  }
  ~MsgCount() { ctrl->WindowProc = old; }
};

}  // namespace

TEST_F(EditHandlerTest, MemoGetsTheSkinsBorderBarAndColoursAndGetsItsOwnBack) {
  ScrollSkin k;
  SetEditFont(k);
  TForm form(nullptr);
  TMemo* memo = Memo(form);
  HWND w = memo->Handle();
  const TColor color = memo->Color(), font = memo->Font()->Color();

  auto h = Skin(memo, k);
  EXPECT_EQ(h->SkinData->SkinSection(), "EDIT");  // the handler's own record takes the edit section
  EXPECT_EQ(h->SkinData->COC, kOwnEditKind);
  EXPECT_FALSE(h->SingleLineEdit);
  RedrawWindow(w, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  Application->ProcessMessages();

  // The client is the window less the border on each side and the skin's bar.
  RECT c{};
  GetClientRect(w, &c);
  EXPECT_GT(h->cxLeftEdge, 0);
  EXPECT_EQ(c.right - c.left, 160 - h->cxLeftEdge - h->cxRightEdge - kSkinWidth);
  EXPECT_TRUE(h->sBarVert->fScrollVisible);

  // The control paints in the section's colours.
  EXPECT_EQ(memo->Color(), kEdit);
  EXPECT_EQ(memo->Font()->Color(), kEditFont);
  EXPECT_EQ(h->Color, kEdit);
  // The border strips come from the section image, the bar from the scroll sections.
  EXPECT_EQ(At(w, 0, 70), COLORREF(kEdit)) << "left border";
  EXPECT_EQ(At(w, 80, 0), COLORREF(kEdit)) << "top border";
  EXPECT_EQ(At(w, 80, 139), COLORREF(kEdit)) << "bottom border";
  EXPECT_EQ(At(w, 160 - h->cxRightEdge - kSkinWidth + 1, h->cyTopEdge + 1), COLORREF(kArrowUp)) << "up arrow";
  // The client keeps the control's own painting, in the section's background.
  EXPECT_EQ(At(w, h->cxLeftEdge + 100, 130 - h->cyBottomEdge), COLORREF(kEdit)) << "client background";

  // The skinned answers while taken over.
  EXPECT_EQ(SendSkinCommand(w, SKC_ISSKINNED), 1);

  ReleaseWndHandler(w, true, true, h);
  EXPECT_EQ(memo->Color(), clWindow);
  EXPECT_EQ(memo->Font()->Color(), clWindowText);
  EXPECT_EQ(color, clWindow);
  EXPECT_EQ(font, clWindowText);
  GetClientRect(w, &c);
  EXPECT_EQ(c.right - c.left, 160 - 2 * 2 - GetSystemMetrics(SM_CXVSCROLL));
}

TEST_F(EditHandlerTest, CustomColourAndFontStayTheControls) {
  ScrollSkin k;
  SetEditFont(k);
  TForm form(nullptr);
  TMemo* memo = Memo(form);
  memo->SetColor(0x123456);
  memo->Font()->SetColor(0x654321);
  TacSkinParams p;
  p.Control = memo;
  p.UseSkinColor = false;
  p.UseSkinFontColor = false;
  auto h = CreateWndHandler<TacEditWnd>(memo->Handle(), nullptr, &k.s, p, true);
  RedrawWindow(memo->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(memo->Color(), 0x123456);
  EXPECT_EQ(memo->Font()->Color(), 0x654321);
  ReleaseWndHandler(memo->Handle(), true, true, h);
  EXPECT_EQ(memo->Color(), 0x123456);
  EXPECT_EQ(memo->Font()->Color(), 0x654321);
}

TEST_F(EditHandlerTest, HiddenEditGetsNoSizeMessages) {
  ScrollSkin k;
  TForm form(nullptr);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(10, 10, 100, 24);
  ShowForm(form);
  MsgCount sizes(edit, WM_SIZE);  // behind the handler, as the edit's own code
  auto h = Skin(edit, k);
  EXPECT_TRUE(h->SingleLineEdit);
  edit->SetVisible(false);
  Application->ProcessMessages();
  sizes.n = 0;
  h->ProcessMessage(WM_SIZE, 0, MAKELPARAM(120, 24));
  EXPECT_EQ(sizes.n, 0);
  edit->SetVisible(true);
  Application->ProcessMessages();
  const int shown = sizes.n;
  h->ProcessMessage(WM_SIZE, 0, MAKELPARAM(120, 24));
  EXPECT_EQ(sizes.n, shown + 1);
  ReleaseWndHandler(edit->Handle(), true, true, h);
}

TEST_F(EditHandlerTest, NestedFramePaintDrawsNothingAndEmptyListAnswersNoTopItem) {
  ScrollSkin k;
  TForm form(nullptr);
  auto* list = new TListBox(&form);
  list->SetParent(&form);
  list->SetBounds(10, 10, 100, 80);
  ShowForm(form);
  MsgCount nc(list, WM_NCPAINT), odd(list, 0x2100);  // behind the handler
  auto h = Skin(list, k);
  EXPECT_EQ(SendMessageW(list->Handle(), LB_GETTOPINDEX, 0, 0), -1);
  list->Items()->Add("one");
  EXPECT_EQ(SendMessageW(list->Handle(), LB_GETTOPINDEX, 0, 0), 0);

  // A frame paint inside the window's own frame painting leaves the frame alone.
  nc.n = 0;
  h->StdNCPaint = true;
  h->CtrlState = TacEditWnd::csNCPaintNeeded;
  h->ProcessMessage(WM_NCPAINT, 1, 0);
  EXPECT_EQ(nc.n, 0);
  EXPECT_EQ(h->CtrlState, 0u);
  h->StdNCPaint = false;
  // 0x2100 never reaches the window while skinned.
  SendMessageW(list->Handle(), 0x2100, 0, 0);
  EXPECT_EQ(odd.n, 0);
  ReleaseWndHandler(list->Handle(), true, true, h);
}
