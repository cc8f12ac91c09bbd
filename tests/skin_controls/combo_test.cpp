// The combo box handlers: the skinned frame, drop-down button and arrow
// (pressed exactly while the list shows), the drop-down list taken over at its
// first colour request and answered with one brush the handler keeps, and the
// combo and its list given back as they were.

#include <gtest/gtest.h>

#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acComboWnd.h"
#include "tests/skin_controls/ListSkin.h"

namespace {

class ComboHandlerTest : public SkinnedScrollsTest {
 protected:
  HWND Combo(TForm& form, DWORD kind = CBS_DROPDOWNLIST, int items = 30) {
    HWND w = CreateWindowExW(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | kind, 20, 20, 150, 200,
                             form.Handle(), nullptr, nullptr, nullptr);
    for (int i = 0; i < items; ++i) SendMessageW(w, CB_ADDSTRING, 0, LPARAM(("item " + std::to_string(i)).c_str()));
    return w;
  }
  static HWND ListOf(HWND w) {
    COMBOBOXINFO info;
    GetComboBoxInfo(w, &info);
    return info.hwndList;
  }
  static void Drop(HWND w, bool Show) {
    SendMessageW(w, CB_SHOWDROPDOWN, Show, 0);
    if (Show) RedrawWindow(ListOf(w), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
    Application->ProcessMessages();
  }
  static POINT Middle(const TRect& r) { return POINT{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
};

}  // namespace

TEST_F(ComboHandlerTest, ButtonAndArrowPaintFromTheSkinAndShowPressedWhileTheListShows) {
  ListSkin k;
  FakeManager m(&k.s);
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Combo(form);
  auto h = CreateWndHandler<TacComboBoxWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  EXPECT_EQ(h->SkinData->SkinSection(), "COMBOBOX");
  Repaint(w);
  const TRect br = h->ButtonRect();
  RECT wr{};
  GetWindowRect(w, &wr);
  EXPECT_EQ(br.Right, wr.right - wr.left);  // no margin in this skin
  EXPECT_EQ(br.Width(), GetScrollWidth(nullptr) + 2);
  // The frame from the combo's section, the button from the button section with the arrow in its font colour.
  EXPECT_EQ(At(w, 1, (wr.bottom - wr.top) / 2), COLORREF(kCombo));
  EXPECT_EQ(At(w, br.Left + 1, br.Top + 1), COLORREF(kBtnNormal));
  EXPECT_TRUE(AnyPixel(w, RECT{br.Left, br.Top, br.Right, br.Bottom}, COLORREF(kBtnFont)));
  // The arrow is a downward one: its widest row is its top row.
  const POINT c = Middle(br);
  int top = 0, bottom = 0;
  for (int y = c.y - 4; y <= c.y + 4; ++y) {
    int n = 0;
    for (int x = br.Left; x < br.Right; ++x) n += At(w, x, y) == COLORREF(kBtnFont);
    if (n && !top) top = n;
    if (n) bottom = n;
  }
  EXPECT_GT(top, bottom);

  Drop(w, true);
  EXPECT_TRUE(h->ListShown());
  h->RepaintButton();
  EXPECT_EQ(At(w, br.Left + 1, br.Top + 1), COLORREF(kBtnPressed));
  Drop(w, false);
  h->RepaintButton();
  EXPECT_NE(At(w, br.Left + 1, br.Top + 1), COLORREF(kBtnPressed));
  ReleaseWndHandler(w, true, true, h);
  DestroyWindow(w);
}

TEST_F(ComboHandlerTest, ListTakesTheSkinsColoursOnceAndTheColourRequestKeepsOneBrush) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Combo(form);
  HWND list = ListOf(w);
  const LONG_PTR listProc = GetWindowLongPtrW(list, GWLP_WNDPROC);
  auto h = CreateWndHandler<TacComboBoxWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  EXPECT_EQ(h->ListSW, nullptr);
  Drop(w, true);
  ASSERT_NE(h->ListSW, nullptr);
  EXPECT_EQ(h->FListHandle, list);
  EXPECT_EQ(SendSkinCommand(list, SKC_ISSKINNED), 1);
  TacComboListWnd* first = h->ListSW.get();
  // The list shows the edit section's colour inside a frame of the skin's border colour.
  RECT lr{};
  GetWindowRect(list, &lr);
  EXPECT_EQ(At(list, (lr.right - lr.left) / 2 + 10, lr.bottom - lr.top - 3), COLORREF(kEdit));
  EXPECT_EQ(At(list, 0, (lr.bottom - lr.top) / 2), COLORREF(ColorToRGB(k.s.Palette[pcBorder])));

  // Every request gets the same brush, in the list's colour.
  HDC dc = GetDC(list);
  const LRESULT b1 = SendMessageW(w, WM_CTLCOLORLISTBOX, WPARAM(dc), LPARAM(list));
  const LRESULT b2 = SendMessageW(w, WM_CTLCOLORLISTBOX, WPARAM(dc), LPARAM(list));
  EXPECT_NE(b1, 0);
  EXPECT_EQ(b1, b2);
  EXPECT_EQ(GetBkColor(dc), COLORREF(kEdit));
  ReleaseDC(list, dc);
  // A request while the list is being taken over is dropped.
  h->LBoxOpening = true;
  EXPECT_EQ(SendMessageW(w, WM_CTLCOLORLISTBOX, 0, LPARAM(list)), 0);
  h->LBoxOpening = false;

  // Later drops keep the list's handler.
  Drop(w, false);
  Drop(w, true);
  EXPECT_EQ(h->ListSW.get(), first);
  EXPECT_EQ(SendMessageW(w, WM_CTLCOLORLISTBOX, 0, LPARAM(list)), b1);
  Drop(w, false);

  // The skin removed: the list gets a plain border back and its handler goes.
  SendSkinCommand(w, SKC_SKINREMOVED, LPARAM(&k.s));
  EXPECT_EQ(h->ListSW, nullptr);
  EXPECT_EQ(h->FListHandle, nullptr);
  EXPECT_EQ(GetWindowLongPtrW(list, GWLP_WNDPROC), listProc);
  EXPECT_TRUE(GetWindowLongPtrW(list, GWL_STYLE) & WS_BORDER);
  EXPECT_FALSE(GetWindowLongPtrW(list, GWL_STYLE) & WS_THICKFRAME);
  ReleaseWndHandler(w, true, true, h);
  DestroyWindow(w);
}

TEST_F(ComboHandlerTest, ComboAndListComeBackIntact) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  for (DWORD kind : {DWORD(CBS_DROPDOWNLIST), DWORD(CBS_DROPDOWN)}) {
    SCOPED_TRACE(kind);
    HWND w = Combo(form, kind, 5);
    HWND list = ListOf(w);
    SetPropW(w, "OWN", HANDLE(0x55));
    const LONG_PTR proc = GetWindowLongPtrW(w, GWLP_WNDPROC), style = GetWindowLongPtrW(w, GWL_STYLE),
                   ex = GetWindowLongPtrW(w, GWL_EXSTYLE), listProc = GetWindowLongPtrW(list, GWLP_WNDPROC);
    auto h = MakeHandlerOf<TacComboBoxWnd>(w, nullptr, &k.s, TacSkinParams(), true);
    Repaint(w);
    Drop(w, true);
    Drop(w, false);
    EXPECT_NE(GetWindowLongPtrW(list, GWLP_WNDPROC), listProc);
    ReleaseWndHandler(w, true, true, h);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc);
    EXPECT_EQ(GetWindowLongPtrW(list, GWLP_WNDPROC), listProc);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), style);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_EXSTYLE), ex);
    EXPECT_EQ(GetPropW(w, "OWN"), HANDLE(0x55));
    EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
    EXPECT_EQ(GetPropW(list, kSkinDataProp), nullptr);
    DestroyWindow(w);
  }
}

TEST_F(ComboHandlerTest, RightToLeftComboHasItsButtonAtTheLeft) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = Combo(form, CBS_DROPDOWNLIST, 2);
  SetWindowLongPtrW(w, GWL_EXSTYLE, GetWindowLongPtrW(w, GWL_EXSTYLE) | WS_EX_RTLREADING);
  k.s.CommonSkinData.ComboBoxMargin = 2;
  auto h = CreateWndHandler<TacComboBoxWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  const TRect br = h->ButtonRect();
  EXPECT_EQ(br.Left, 2);
  EXPECT_EQ(br.Top, 2);
  ReleaseWndHandler(w, true, true, h);
  DestroyWindow(w);
}

TEST_F(ComboHandlerTest, FrameworkComboDrawsSelectedItemsOnTheSelectionSection) {
  ListSkin k;
  TForm form(nullptr);
  auto* cb = new TComboBox(&form);
  cb->SetParent(&form);
  cb->SetBounds(20, 20, 150, 24);
  cb->SetStyle(csOwnerDrawFixed);
  for (const char* s : {"alpha", "beta"}) cb->Items()->Add(s);
  ShowForm(form);
  TacSkinParams p;
  p.Control = cb;
  auto h = CreateWndHandler<TacComboBoxWnd>(cb->Handle(), nullptr, &k.s, p, true);
  EXPECT_TRUE(h->EasyComboBox());
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(150, 60);
  HDC dc = target.Canvas()->Handle();
  auto item = [&](int index, UINT state, int top) {
    DRAWITEMSTRUCT dis;
    dis.CtlType = ODT_COMBOBOX;
    dis.itemID = UINT(index);
    dis.itemState = state;
    dis.hDC = dc;
    dis.rcItem = RECT{0, top, 150, top + 20};
    return SendMessageW(cb->Handle(), CN_DRAWITEM, 0, LPARAM(&dis));
  };
  EXPECT_EQ(item(0, ODS_SELECTED | ODS_FOCUS, 0), 1);
  item(1, 0, 20);
  item(7, ODS_SELECTED, 40);  // outside the items: only the background
  EXPECT_EQ(ColorToRGB(target.Canvas()->Pixels(140, 10)), COLORREF(kSelection));
  EXPECT_EQ(ColorToRGB(target.Canvas()->Pixels(140, 30)), COLORREF(kCombo));
  bool text = false;
  for (int x = 2; x < 60 && !text; ++x)
    for (int y = 22; y < 38 && !text; ++y) text = ColorToRGB(target.Canvas()->Pixels(x, y)) != COLORREF(kCombo);
  EXPECT_TRUE(text) << "the unselected item's text";
  ReleaseWndHandler(cb->Handle(), true, true, h);
}

namespace {
// A combo component outside the framework whose list is a child list box.
class TFakeWWCombo : public TWinControl {
 public:
  using TWinControl::TWinControl;
};
}  // namespace

TEST_F(ComboHandlerTest, ComboWithAChildListBoxSkinsTheListBoxWhenItIsMade) {
  ListSkin k;
  TForm form(nullptr);
  auto* combo = new TFakeWWCombo(&form);
  combo->SetParent(&form);
  combo->SetBounds(10, 10, 160, 24);
  ShowForm(form);
  TacSkinParams p;
  p.Control = combo;
  auto h = CreateWndHandler<TacWWComboBoxWnd>(combo->Handle(), nullptr, &k.s, p, true);
  EXPECT_TRUE(h->FShowButton);
  const TRect br = h->ButtonRect();
  EXPECT_EQ(br.Width(), GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(br.Right, 160 - 2);
  EXPECT_EQ(br.Top, 2);
  auto* list = new TListBox(combo);
  list->SetParent(combo);
  list->SetBounds(0, 0, 100, 80);
  list->HandleNeeded();
  ASSERT_EQ(h->ListBox, list);
  ASSERT_NE(h->ListBoxSW, nullptr);
  EXPECT_EQ(SendSkinCommand(list->Handle(), SKC_ISSKINNED), 1);
  // The list's colour request is the component's own: no drop-down handler is attached that way.
  SendMessageW(combo->Handle(), WM_CTLCOLORLISTBOX, 0, LPARAM(list->Handle()));
  EXPECT_EQ(h->ListSW, nullptr);
  EXPECT_EQ(h->FListHandle, nullptr);
  ReleaseWndHandler(combo->Handle(), true, true, h);
  EXPECT_EQ(GetPropW(list->Handle(), kSkinDataProp), nullptr);
  auto* simple = new TComboBox(&form);
  simple->SetStyle(csSimple);
  EXPECT_FALSE(TacWWComboBoxWnd::HasDropDownButton(simple));
  EXPECT_TRUE(TacWWComboBoxWnd::HasDropDownButton(combo));
}
