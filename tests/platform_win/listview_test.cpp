// Image lists, the list view and its column header: messages and their
// effects, injected mouse and keys with the notifications they send, custom
// drawing stages, and what a change repaints.

#include <functional>

#include "platform/win/Controls.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

const char* const kHostClass = "ListViewTestHost";

// One WM_NOTIFY (or context menu request) as the parent saw it.
struct Note {
  HWND from = nullptr;
  UINT code = 0;
  int item = -1;
  int subItem = 0;
  UINT newState = 0;
  UINT oldState = 0;
  DWORD stage = 0;  // NM_CUSTOMDRAW
  int width = -1;   // HDN_*: the item's width when given
};

struct Host {
  std::vector<Note> notes;
  // Answers of NM_CUSTOMDRAW by stage; the sub-item stage may also recolour the cell.
  std::function<LRESULT(NMLVCUSTOMDRAW*)> customDraw;
  std::function<LRESULT(const Note&)> answer;  // for other notifications
};
Host* host = nullptr;

LRESULT HostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (host && m == WM_CONTEXTMENU) {
    Note n;
    n.code = WM_CONTEXTMENU;
    n.from = reinterpret_cast<HWND>(wp);
    host->notes.push_back(n);
    return 0;
  }
  if (host && m == WM_MOUSEHOVER) {
    Note n;
    n.code = WM_MOUSEHOVER;
    n.from = w;
    n.item = GET_X_LPARAM(lp);
    host->notes.push_back(n);
    return 0;
  }
  if (host && m == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    Note n;
    n.from = hdr->hwndFrom;
    n.code = hdr->code;
    if (hdr->code == NM_CUSTOMDRAW) {
      auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(lp);
      n.stage = cd->dwDrawStage;
      n.item = int(cd->dwItemSpec);
      host->notes.push_back(n);
      char cls[32] = {};
      GetClassNameW(hdr->hwndFrom, cls, sizeof(cls));
      if (std::string(cls) != WC_LISTVIEWW) return CDRF_DODEFAULT;  // the header's plain record
      auto* lvcd = reinterpret_cast<NMLVCUSTOMDRAW*>(lp);
      host->notes.back().subItem = lvcd->iSubItem;
      return host->customDraw ? host->customDraw(lvcd) : CDRF_DODEFAULT;
    }
    if (hdr->code == LVN_ITEMCHANGED || hdr->code == LVN_ITEMCHANGING || hdr->code == NM_CLICK ||
        hdr->code == NM_RCLICK || hdr->code == NM_DBLCLK || hdr->code == LVN_COLUMNCLICK ||
        hdr->code == LVN_INSERTITEM || hdr->code == LVN_DELETEITEM || hdr->code == LVN_ITEMACTIVATE) {
      auto* lv = reinterpret_cast<NMLISTVIEW*>(lp);
      n.item = lv->iItem;
      n.subItem = lv->iSubItem;
      n.newState = lv->uNewState;
      n.oldState = lv->uOldState;
    }
    host->notes.push_back(n);
    return host->answer ? host->answer(n) : 0;
  }
  return DefWindowProcW(w, m, wp, lp);
}

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

class ListViewTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    host = &h;
    WNDCLASSEXW wc;
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = kHostClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(uintptr_t(COLOR_BTNFACE + 1));
    RegisterClassExW(&wc);
    parent = CreateWindowExW(0, kHostClass, "Host", WS_POPUP | WS_VISIBLE, 100, 100, 420, 320, nullptr, nullptr,
                             nullptr, nullptr);
    Pump();
  }
  void TearDown() override {
    host = nullptr;
    WindowTest::TearDown();
  }

  // A report list view with the given columns (widths), filled with rows "r<i>" / "r<i>.<sub>".
  HWND MakeReport(std::vector<int> widths, int rows, DWORD style = 0, DWORD ex = 0, int height = 200) {
    HWND lv = CreateWindowExW(0, WC_LISTVIEWW, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | style, 10, 10, 300, height,
                              parent, reinterpret_cast<HMENU>(uintptr_t(9)), nullptr, nullptr);
    SendMessageW(lv, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LPARAM(ex));
    for (size_t c = 0; c < widths.size(); ++c) {
      std::string title = "Col" + std::to_string(c);
      LVCOLUMNW col;
      col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      col.cx = widths[c];
      col.pszText = title.data();
      col.fmt = c == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
      SendMessageW(lv, LVM_INSERTCOLUMNW, c, LPARAM(&col));
    }
    for (int i = 0; i < rows; ++i) AddRow(lv, i, int(widths.size()));
    Pump();
    return lv;
  }
  void AddRow(HWND lv, int i, int columns) {
    std::string t = "r" + std::to_string(i);
    LVITEMW it;
    it.mask = LVIF_TEXT | LVIF_PARAM;
    it.iItem = i;
    it.pszText = t.data();
    it.lParam = 1000 + i;
    SendMessageW(lv, LVM_INSERTITEM, 0, LPARAM(&it));
    for (int s = 1; s < columns; ++s) SetText(lv, i, s, t + "." + std::to_string(s));
  }
  static void SetText(HWND lv, int i, int sub, std::string text) {
    LVITEMW it;
    it.iSubItem = sub;
    it.pszText = text.data();
    SendMessageW(lv, LVM_SETITEMTEXTW, WPARAM(i), LPARAM(&it));
  }
  static std::string Text(HWND lv, int i, int sub) {
    char buf[64] = {};
    LVITEMW it;
    it.iSubItem = sub;
    it.pszText = buf;
    it.cchTextMax = sizeof(buf);
    SendMessageW(lv, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&it));
    return buf;
  }
  static RECT ItemRect(HWND lv, int i, int code = LVIR_BOUNDS) {
    RECT r{code, 0, 0, 0};
    SendMessageW(lv, LVM_GETITEMRECT, WPARAM(i), LPARAM(&r));
    return r;
  }
  void ClickAt(HWND w, int x, int y, TMouseButton b = TMouseButton::Left) {
    POINT p{x, y};
    ClientToScreen(w, &p);
    InjectMouseButton(b, true, p.x, p.y);
    Pump();
    InjectMouseButton(b, false, p.x, p.y);
    Pump();
  }
  COLORREF Pixel(HWND c, int x, int y) {
    UpdateWindow(parent);
    POINT p{x, y};
    MapWindowPoints(c, parent, &p, 1);
    return SurfacePixel(parent, p.x, p.y);
  }
  std::vector<UINT> Codes(HWND from = nullptr) const {
    std::vector<UINT> out;
    for (const Note& n : h.notes)
      if (n.code != NM_CUSTOMDRAW && (!from || n.from == from)) out.push_back(n.code);
    return out;
  }
  int ItemPrepaints() const {
    int n = 0;
    for (const Note& x : h.notes) n += x.code == NM_CUSTOMDRAW && x.stage == CDDS_ITEMPREPAINT;
    return n;
  }

  Host h;
  HWND parent = nullptr;
};

// A 16 x 16 picture, one colour, with a different 4 x 4 corner at the top left.
HBITMAP Picture(int cells, COLORREF body, COLORREF corner) {
  HBITMAP b = CreateCompatibleBitmap(nullptr, 16 * cells, 16);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, b);
  for (int c = 0; c < cells; ++c) {
    HBRUSH fill = CreateSolidBrush(c == 0 ? body : RGB(0, 0, 255));
    HBRUSH mark = CreateSolidBrush(corner);
    RECT all{16 * c, 0, 16 * c + 16, 16}, tl{16 * c, 0, 16 * c + 4, 4};
    FillRect(dc, &all, fill);
    FillRect(dc, &tl, mark);
    DeleteObject(fill);
    DeleteObject(mark);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return b;
}

// ---- Image lists ----

TEST_F(ListViewTest, ImageListsKeepMaskedImagesAndDrawAndHandThemOutAsIcons) {
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 4);
  ASSERT_NE(list, nullptr);
  // A strip of two cells adds two images; the key colour (the corner) becomes transparent.
  HBITMAP strip = Picture(2, RGB(255, 0, 0), RGB(0, 255, 0));
  EXPECT_EQ(ImageList_AddMasked(list, strip, RGB(0, 255, 0)), 0);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  int cx = 0, cy = 0;
  EXPECT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
  EXPECT_EQ(cx * 100 + cy, 1616);

  HBITMAP target = CreateCompatibleBitmap(nullptr, 40, 20);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  HBRUSH gray = CreateSolidBrush(RGB(128, 128, 128));
  RECT all{0, 0, 40, 20};
  FillRect(dc, &all, gray);
  struct Case {
    int index;
    COLORREF bk;
    UINT style;
    COLORREF corner, body;
  };
  const Case cases[] = {
      {0, CLR_NONE, ILD_NORMAL, RGB(128, 128, 128), RGB(255, 0, 0)},         // transparent corner
      {1, CLR_NONE, ILD_NORMAL, RGB(128, 128, 128), RGB(0, 0, 255)},         // second cell
      {0, RGB(255, 255, 0), ILD_NORMAL, RGB(255, 255, 0), RGB(255, 0, 0)},   // background shows
      {0, RGB(255, 255, 0), ILD_TRANSPARENT, RGB(128, 128, 128), RGB(255, 0, 0)},
      {0, CLR_NONE, ILD_MASK, RGB(255, 255, 255), RGB(0, 0, 0)},
  };
  for (const Case& c : cases) {
    FillRect(dc, &all, gray);
    ImageList_SetBkColor(list, c.bk);
    EXPECT_TRUE(ImageList_Draw(list, c.index, dc, 2, 2, c.style));
    EXPECT_EQ(GetPixel(dc, 3, 3), c.corner) << c.index << " " << c.style;
    EXPECT_EQ(GetPixel(dc, 10, 10), c.body) << c.index << " " << c.style;
    EXPECT_EQ(GetPixel(dc, 19, 10), RGB(128, 128, 128));  // nothing outside the image
  }
  EXPECT_EQ(ImageList_SetBkColor(list, RGB(1, 2, 3)), CLR_NONE);
  EXPECT_EQ(ImageList_GetBkColor(list), RGB(1, 2, 3));
  ImageList_SetBkColor(list, CLR_NONE);
  EXPECT_FALSE(ImageList_Draw(list, 2, dc, 0, 0, ILD_NORMAL));

  // Icons out and back in: the icon keeps the transparent corner; a replaced icon is fitted.
  HICON icon = ImageList_GetIcon(list, 0, 0);
  ASSERT_NE(icon, nullptr);
  FillRect(dc, &all, gray);
  DrawIconEx(dc, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(dc, 8, 8), RGB(255, 0, 0));
  EXPECT_EQ(ImageList_ReplaceIcon(list, -1, icon), 2);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 1, icon), 1);
  EXPECT_EQ(ImageList_ReplaceIcon(list, 7, icon), -1);
  FillRect(dc, &all, gray);
  ImageList_Draw(list, 1, dc, 0, 0, ILD_NORMAL);
  EXPECT_EQ(GetPixel(dc, 8, 8), RGB(255, 0, 0));
  DestroyIcon(icon);

  HIMAGELIST copy = ImageList_Duplicate(list);
  EXPECT_EQ(ImageList_GetImageCount(copy), 3);
  EXPECT_TRUE(ImageList_Remove(list, 0));
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  EXPECT_EQ(ImageList_GetImageCount(copy), 3);
  EXPECT_TRUE(ImageList_SetIconSize(list, 24, 24));  // resizing empties the list
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_FALSE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  ImageList_Destroy(copy);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(target);
  DeleteObject(strip);
  DeleteObject(gray);
}

// ---- Header ----

TEST_F(ListViewTest, HeaderKeepsItemsOrderAndAnswersHitTests) {
  HWND hd = CreateWindowExW(0, WC_HEADERW, "", WS_CHILD | WS_VISIBLE | HDS_BUTTONS | HDS_FULLDRAG, 0, 0, 300, 20,
                            parent, nullptr, nullptr, nullptr);
  const int widths[] = {50, 0, 70};
  for (int i = 0; i < 3; ++i) {
    std::string t = "H" + std::to_string(i);
    HDITEMW hi;
    hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
    hi.pszText = t.data();
    hi.cxy = widths[i];
    hi.fmt = i == 2 ? HDF_RIGHT | HDF_SORTUP : HDF_LEFT;
    EXPECT_EQ(SendMessageW(hd, HDM_INSERTITEMW, i, LPARAM(&hi)), i);
  }
  EXPECT_EQ(SendMessageW(hd, HDM_GETITEMCOUNT, 0, 0), 3);
  char buf[8] = {};
  HDITEMW get;
  get.mask = HDI_TEXT | HDI_FORMAT | HDI_WIDTH | HDI_ORDER;
  get.pszText = buf;
  get.cchTextMax = 8;
  EXPECT_TRUE(SendMessageW(hd, HDM_GETITEMW, 2, LPARAM(&get)));
  EXPECT_STREQ(buf, "H2");
  EXPECT_EQ(get.fmt, HDF_RIGHT | HDF_SORTUP);
  EXPECT_EQ(get.cxy, 70);
  EXPECT_EQ(get.iOrder, 2);
  EXPECT_FALSE(SendMessageW(hd, HDM_GETITEMW, 3, LPARAM(&get)));

  // Hit tests: inside, on a divider, right of a hidden column's divider, beyond the items.
  struct Hit {
    int x;
    int item;
    UINT flags;
  };
  const Hit hits[] = {{20, 0, HHT_ONHEADER}, {48, 0, HHT_ONDIVIDER},  {52, 1, HHT_ONDIVOPEN},
                      {90, 2, HHT_ONHEADER}, {121, 2, HHT_ONDIVIDER}, {200, -1, HHT_NOWHERE}};
  for (const Hit& t : hits) {
    HDHITTESTINFO info;
    info.pt = POINT{t.x, 5};
    EXPECT_EQ(SendMessageW(hd, HDM_HITTEST, 0, LPARAM(&info)), t.item) << t.x;
    EXPECT_EQ(info.flags, t.flags) << t.x;
  }

  int order[3] = {2, 0, 1};
  EXPECT_TRUE(SendMessageW(hd, HDM_SETORDERARRAY, 3, LPARAM(order)));
  int back[3] = {};
  EXPECT_TRUE(SendMessageW(hd, HDM_GETORDERARRAY, 3, LPARAM(back)));
  EXPECT_EQ(std::vector<int>(back, back + 3), std::vector<int>({2, 0, 1}));
  EXPECT_EQ(SendMessageW(hd, HDM_ORDERTOINDEX, 0, 0), 2);
  RECT r{};
  EXPECT_TRUE(SendMessageW(hd, HDM_GETITEMRECT, 0, LPARAM(&r)));
  EXPECT_EQ(r.left, 70);
  EXPECT_EQ(r.right, 120);
  int bad[3] = {0, 0, 1};
  EXPECT_FALSE(SendMessageW(hd, HDM_SETORDERARRAY, 3, LPARAM(bad)));

  RECT area{0, 0, 300, 200};
  WINDOWPOS pos;
  HDLAYOUT layout;
  layout.prc = &area;
  layout.pwpos = &pos;
  EXPECT_TRUE(SendMessageW(hd, HDM_LAYOUT, 0, LPARAM(&layout)));
  EXPECT_GT(pos.cy, 10);
  EXPECT_EQ(area.top, pos.cy);

  // A press on an item clicks it; a drag of a divider tracks and sizes the item.
  ClickAt(hd, 20, 5);
  EXPECT_EQ(Codes(hd), std::vector<UINT>({HDN_ITEMCLICKW}));
  h.notes.clear();
  POINT p{118, 5};  // the divider right of item 0 (shown after item 2)
  ClientToScreen(hd, &p);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseMove(p.x + 15, p.y);
  Pump();
  InjectMouseButton(TMouseButton::Left, false, p.x + 15, p.y);
  Pump();
  EXPECT_EQ(Codes(hd), std::vector<UINT>({HDN_BEGINTRACKW, HDN_TRACKW, HDN_ITEMCHANGINGW, HDN_ITEMCHANGEDW,
                                          HDN_ENDTRACKW}));
  get.mask = HDI_WIDTH;
  SendMessageW(hd, HDM_GETITEMW, 0, LPARAM(&get));
  EXPECT_EQ(get.cxy, 65);
  // A parent refusing the track keeps the width.
  h.answer = [](const Note& n) { return n.code == HDN_BEGINTRACKW ? 1 : 0; };
  InjectMouseButton(TMouseButton::Left, true, p.x + 15, p.y);
  InjectMouseMove(p.x + 40, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x + 40, p.y);
  Pump();
  SendMessageW(hd, HDM_GETITEMW, 0, LPARAM(&get));
  EXPECT_EQ(get.cxy, 65);
}

// ---- List view: messages ----

TEST_F(ListViewTest, ReportViewAnswersItsMessages) {
  HWND lv = MakeReport({80, 60, 70}, 5, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  HWND hd = HWND(SendMessageW(lv, LVM_GETHEADER, 0, 0));
  ASSERT_NE(hd, nullptr);
  char cls[32] = {};
  GetClassNameW(hd, cls, sizeof(cls));
  EXPECT_STREQ(cls, "SysHeader32");
  EXPECT_EQ(GetParent(hd), lv);
  EXPECT_EQ(SendMessageW(hd, HDM_GETITEMCOUNT, 0, 0), 3);

  EXPECT_EQ(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0), 5);
  EXPECT_EQ(Text(lv, 3, 0), "r3");
  EXPECT_EQ(Text(lv, 3, 2), "r3.2");
  EXPECT_EQ(Text(lv, 3, 5), "");
  LVITEMW it;
  it.mask = LVIF_PARAM | LVIF_IMAGE;
  it.iItem = 4;
  EXPECT_TRUE(SendMessageW(lv, LVM_GETITEMW, 0, LPARAM(&it)));
  EXPECT_EQ(it.lParam, 1004);
  EXPECT_EQ(SendMessageW(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0), LRESULT(LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES));

  // Geometry: rows follow the header, one row height apart; sub-item cells follow the columns.
  RECT hr;
  GetWindowRect(hd, &hr);
  const RECT r0 = ItemRect(lv, 0), r1 = ItemRect(lv, 1);
  EXPECT_EQ(r0.top, hr.bottom - hr.top);
  EXPECT_EQ(r1.top, r0.bottom);
  EXPECT_EQ(r0.left, 0);
  EXPECT_EQ(r0.right, 210);
  RECT sub{LVIR_BOUNDS, 2, 0, 0};
  EXPECT_TRUE(SendMessageW(lv, LVM_GETSUBITEMRECT, 1, LPARAM(&sub)));
  EXPECT_EQ(sub.left, 140);
  EXPECT_EQ(sub.right, 210);
  EXPECT_EQ(sub.top, r1.top);
  EXPECT_FALSE(SendMessageW(lv, LVM_GETITEMRECT, 9, LPARAM(&sub)));
  LVHITTESTINFO hit;
  hit.pt = POINT{150, (r1.top + r1.bottom) / 2};
  EXPECT_EQ(SendMessageW(lv, LVM_SUBITEMHITTEST, 0, LPARAM(&hit)), 1);
  EXPECT_EQ(hit.iSubItem, 2);
  hit.pt = POINT{250, (r1.top + r1.bottom) / 2};
  EXPECT_EQ(SendMessageW(lv, LVM_HITTEST, 0, LPARAM(&hit)), -1);

  // Colours are stored and answered; view numbers map the styles.
  struct Colour {
    UINT set, get;
  };
  for (const Colour c : {Colour{LVM_SETBKCOLOR, LVM_GETBKCOLOR}, Colour{LVM_SETTEXTCOLOR, LVM_GETTEXTCOLOR},
                         Colour{LVM_SETTEXTBKCOLOR, LVM_GETTEXTBKCOLOR}}) {
    EXPECT_TRUE(SendMessageW(lv, c.set, 0, LPARAM(RGB(1, 2, 3))));
    EXPECT_EQ(SendMessageW(lv, c.get, 0, 0), LRESULT(RGB(1, 2, 3)));
  }
  struct View {
    DWORD style;
    LRESULT view;
  };
  for (const View v : {View{LVS_ICON, LV_VIEW_ICON}, View{LVS_SMALLICON, LV_VIEW_SMALLICON},
                       View{LVS_LIST, LV_VIEW_LIST}, View{LVS_REPORT, LV_VIEW_DETAILS}}) {
    SetWindowLongPtrW(lv, GWL_STYLE, (GetWindowLongPtrW(lv, GWL_STYLE) & ~LONG_PTR(LVS_TYPEMASK)) | LONG_PTR(v.style));
    EXPECT_EQ(SendMessageW(lv, LVM_GETVIEW, 0, 0), v.view);
  }
  EXPECT_EQ(SendMessageW(lv, LVM_ISGROUPVIEWENABLED, 0, 0), 0);
  EXPECT_FALSE(SendMessageW(lv, LVM_ARRANGE, LVA_DEFAULT, 0));  // nothing to arrange in report view

  // Columns: widths, autosize, order.
  EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 1, 0), 60);
  EXPECT_TRUE(SendMessageW(lv, LVM_SETCOLUMNWIDTH, 2, MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0)));
  EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 2, 0), 300 - 140);  // the last column fills the rest
  HDITEMW hi;
  hi.mask = HDI_WIDTH;
  SendMessageW(hd, HDM_GETITEMW, 2, LPARAM(&hi));
  EXPECT_EQ(hi.cxy, 160);
  int order[3] = {1, 0, 2};
  EXPECT_TRUE(SendMessageW(lv, LVM_SETCOLUMNORDERARRAY, 3, LPARAM(order)));
  sub = RECT{LVIR_BOUNDS, 1, 0, 0};
  SendMessageW(lv, LVM_GETSUBITEMRECT, 0, LPARAM(&sub));
  EXPECT_EQ(sub.left, 0);

  // Selection and focus through state messages.
  it.mask = LVIF_STATE;
  it.state = LVIS_SELECTED | LVIS_FOCUSED;
  it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(lv, LVM_SETITEMSTATE, 2, LPARAM(&it));
  it.state = LVIS_SELECTED;
  it.stateMask = LVIS_SELECTED;
  SendMessageW(lv, LVM_SETITEMSTATE, 4, LPARAM(&it));
  EXPECT_EQ(SendMessageW(lv, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 2);
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, 2, LVNI_SELECTED), 4);
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED), 2);
  EXPECT_EQ(SendMessageW(lv, LVM_GETITEMSTATE, 2, LVIS_FOCUSED | LVIS_SELECTED), LRESULT(LVIS_FOCUSED | LVIS_SELECTED));

  // Deleting shifts the rows and keeps their state.
  EXPECT_TRUE(SendMessageW(lv, LVM_DELETEITEM, 0, 0));
  EXPECT_EQ(Text(lv, 0, 0), "r1");
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED), 1);
  EXPECT_FALSE(SendMessageW(lv, LVM_DELETEITEM, 7, 0));
  SendMessageW(lv, LVM_DELETEALLITEMS, 0, 0);
  EXPECT_EQ(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(ListViewTest, ScrollingMovesWholeRowsAndKeepsTheFocusedItemInView) {
  HWND lv = MakeReport({100, 100}, 40, 0, 0, 120);
  const int rowH = ItemRect(lv, 1).top - ItemRect(lv, 0).top;
  const int page = int(SendMessageW(lv, LVM_GETCOUNTPERPAGE, 0, 0));
  EXPECT_GT(page, 2);
  EXPECT_NE(GetWindowLongPtrW(lv, GWL_STYLE) & WS_VSCROLL, 0);
  EXPECT_TRUE(SendMessageW(lv, LVM_SCROLL, 0, 3 * rowH));
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 3);
  EXPECT_EQ(GetScrollPos(lv, SB_VERT), 3);
  EXPECT_EQ(ItemRect(lv, 3).top, ItemRect(lv, 0).top + 3 * rowH);
  SendMessageW(lv, LVM_SCROLL, 0, -100 * rowH);
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 0);
  SendMessageW(lv, LVM_SCROLL, 0, 1000 * rowH);
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 40 - page);
  SendMessageW(lv, WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 0);
  SendMessageW(lv, WM_VSCROLL, SB_LINEDOWN, 0);
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 1);
  EXPECT_TRUE(SendMessageW(lv, LVM_ENSUREVISIBLE, 30, FALSE));
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 30 - page + 1);
  // Keys move the focus and selection, scrolling along.
  SetFocus(lv);
  InjectKey(VK_END, true);
  InjectKey(VK_END, false);
  Pump();
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 39);
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 40 - page);
  InjectKey(VK_HOME, true);
  InjectKey(VK_HOME, false);
  InjectKey(VK_DOWN, true);
  InjectKey(VK_DOWN, false);
  Pump();
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED | LVNI_FOCUSED), 1);
  EXPECT_EQ(SendMessageW(lv, LVM_GETSELECTEDCOUNT, 0, 0), 1);
  EXPECT_EQ(SendMessageW(lv, LVM_GETTOPINDEX, 0, 0), 0);
}

// ---- List view: input and notifications ----

TEST_F(ListViewTest, ClicksSelectAndTellTheParent) {
  HWND lv = MakeReport({80, 60, 70}, 5, 0, LVS_EX_FULLROWSELECT);
  h.notes.clear();
  const RECT r1 = ItemRect(lv, 1), r3 = ItemRect(lv, 3);
  ClickAt(lv, 150, r1.top + 2);  // on a sub-item: row select takes the row
  EXPECT_EQ(Codes(lv), std::vector<UINT>({NM_SETFOCUS, LVN_ITEMCHANGING, LVN_ITEMCHANGED, LVN_ITEMCHANGING,
                                          LVN_ITEMCHANGED, NM_CLICK}));
  EXPECT_EQ(h.notes[2].item, 1);
  EXPECT_EQ(h.notes[2].newState, LVIS_SELECTED);
  EXPECT_EQ(h.notes[4].newState, LVIS_SELECTED | LVIS_FOCUSED);
  EXPECT_EQ(h.notes.back().item, 1);
  EXPECT_EQ(h.notes.back().subItem, 2);
  EXPECT_EQ(GetFocus(), lv);

  // Control adds to the selection, Shift takes the range from the mark.
  h.notes.clear();
  InjectKey(VK_CONTROL, true);
  ClickAt(lv, 10, r3.top + 2);
  InjectKey(VK_CONTROL, false);
  EXPECT_EQ(SendMessageW(lv, LVM_GETSELECTEDCOUNT, 0, 0), 2);
  InjectKey(VK_SHIFT, true);
  ClickAt(lv, 10, ItemRect(lv, 0).top + 2);
  InjectKey(VK_SHIFT, false);
  EXPECT_EQ(SendMessageW(lv, LVM_GETSELECTEDCOUNT, 0, 0), 4);  // 0..3
  // A parent refusing a change keeps the old state.
  h.answer = [](const Note& n) { return n.code == LVN_ITEMCHANGING ? 1 : 0; };
  ClickAt(lv, 10, ItemRect(lv, 4).top + 2);
  EXPECT_EQ(SendMessageW(lv, LVM_GETITEMSTATE, 4, LVIS_SELECTED), 0);
  h.answer = nullptr;

  // Below the rows a click clears the selection and still reports the click (item -1).
  h.notes.clear();
  ClickAt(lv, 10, 190);
  EXPECT_EQ(SendMessageW(lv, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  EXPECT_EQ(Codes(lv).back(), NM_CLICK);
  EXPECT_EQ(h.notes.back().item, -1);

  // Right click selects the row, tells NM_RCLICK and, unanswered, asks for a context menu.
  h.notes.clear();
  ClickAt(lv, 20, r3.top + 2, TMouseButton::Right);
  EXPECT_EQ(SendMessageW(lv, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED), 3);
  std::vector<UINT> codes = Codes();
  ASSERT_GE(codes.size(), 2u);
  EXPECT_EQ(codes[codes.size() - 2], NM_RCLICK);
  EXPECT_EQ(codes.back(), WM_CONTEXTMENU);
  EXPECT_EQ(h.notes.back().from, lv);
  h.notes.clear();
  Headless().AdvanceClock(1000);  // not a double click
  h.answer = [](const Note& n) { return n.code == NM_RCLICK ? 1 : 0; };
  ClickAt(lv, 20, r3.top + 2, TMouseButton::Right);
  EXPECT_EQ(Codes().back(), NM_RCLICK);
  h.answer = nullptr;

  // Double click, then a click on a column caption.
  h.notes.clear();
  POINT p{20, r1.top + 2};
  ClientToScreen(lv, &p);
  for (int k = 0; k < 2; ++k) {
    InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
    InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  }
  Pump();
  codes = Codes(lv);
  EXPECT_NE(std::find(codes.begin(), codes.end(), NM_DBLCLK), codes.end());
  EXPECT_NE(std::find(codes.begin(), codes.end(), LVN_ITEMACTIVATE), codes.end());
  h.notes.clear();
  ClickAt(HWND(SendMessageW(lv, LVM_GETHEADER, 0, 0)), 100, 5);
  EXPECT_EQ(Codes(lv), std::vector<UINT>({LVN_COLUMNCLICK}));
  EXPECT_EQ(h.notes.back().subItem, 1);
}

TEST_F(ListViewTest, DraggingAHeaderDividerResizesTheListColumn) {
  HWND lv = MakeReport({80, 60}, 3);
  HWND hd = HWND(SendMessageW(lv, LVM_GETHEADER, 0, 0));
  POINT p{80, 5};
  ClientToScreen(hd, &p);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseMove(p.x + 30, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x + 30, p.y);
  Pump();
  EXPECT_EQ(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 0, 0), 110);
  RECT sub{LVIR_BOUNDS, 1, 0, 0};
  SendMessageW(lv, LVM_GETSUBITEMRECT, 0, LPARAM(&sub));
  EXPECT_EQ(sub.left, 110);
}

// ---- List view: painting ----

TEST_F(ListViewTest, CustomDrawGoesThroughItemAndSubItemStages) {
  HWND lv = MakeReport({80, 60, 70}, 3, LVS_SHOWSELALWAYS, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  h.customDraw = [](NMLVCUSTOMDRAW* cd) -> LRESULT {
    if (cd->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    if (cd->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) return cd->nmcd.dwItemSpec == 2 ? CDRF_SKIPDEFAULT : CDRF_NOTIFYSUBITEMDRAW;
    if (cd->nmcd.dwDrawStage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM) && cd->iSubItem == 1)
      cd->clrTextBk = RGB(0, 200, 0);
    return CDRF_DODEFAULT;
  };
  InvalidateRect(lv, nullptr, TRUE);
  h.notes.clear();
  UpdateWindow(parent);
  std::vector<std::pair<DWORD, int>> stages;
  for (const Note& n : h.notes)
    if (n.code == NM_CUSTOMDRAW && n.from == lv)
      stages.emplace_back(n.stage, (n.stage & CDDS_SUBITEM) ? n.item * 10 + n.subItem : n.item);
  const DWORD sub = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
  const std::vector<std::pair<DWORD, int>> want{
      {CDDS_PREPAINT, 0},  {CDDS_ITEMPREPAINT, 0}, {sub, 0}, {sub, 1}, {sub, 2}, {CDDS_ITEMPREPAINT, 1},
      {sub, 10},           {sub, 11},              {sub, 12}, {CDDS_ITEMPREPAINT, 2}, {CDDS_POSTPAINT, 0}};
  EXPECT_EQ(stages, want);

  // The recoloured cell, the plain ones, the skipped row and a grid line.
  const RECT r0 = ItemRect(lv, 0), r2 = ItemRect(lv, 2);
  EXPECT_EQ(Pixel(lv, 100, r0.top + 1), RGB(0, 200, 0));
  EXPECT_EQ(Pixel(lv, 200, r0.top + 1), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(Pixel(lv, 79, r0.top + 3), GetSysColor(COLOR_BTNFACE));   // column line
  EXPECT_EQ(Pixel(lv, 100, r0.bottom - 1), GetSysColor(COLOR_BTNFACE));  // row line
  EXPECT_EQ(Pixel(lv, 200, r2.top + 3), GetSysColor(COLOR_WINDOW));  // skipped: only the erase

  // Selected rows show the highlight when focused, the face colour when not.
  h.customDraw = nullptr;
  LVITEMW it;
  it.state = it.stateMask = LVIS_SELECTED;
  SendMessageW(lv, LVM_SETITEMSTATE, 1, LPARAM(&it));
  const RECT r1 = ItemRect(lv, 1);
  SetFocus(lv);
  EXPECT_EQ(Pixel(lv, 200, r1.top + 2), GetSysColor(COLOR_HIGHLIGHT));
  SetFocus(parent);
  EXPECT_EQ(Pixel(lv, 200, r1.top + 2), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(Pixel(lv, 250, r1.top + 2), GetSysColor(COLOR_WINDOW));  // right of the columns
}

TEST_F(ListViewTest, AThousandChangingRowsRepaintOnlyWhatChanged) {
  HWND lv = MakeReport({80, 60, 70}, 1000, 0, LVS_EX_FULLROWSELECT);
  h.customDraw = [](NMLVCUSTOMDRAW* cd) -> LRESULT {
    return cd->nmcd.dwDrawStage == CDDS_PREPAINT ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  };
  InvalidateRect(lv, nullptr, TRUE);
  h.notes.clear();
  UpdateWindow(parent);
  const int page = int(SendMessageW(lv, LVM_GETCOUNTPERPAGE, 0, 0));
  EXPECT_GE(ItemPrepaints(), page);
  EXPECT_LE(ItemPrepaints(), page + 1);

  // Each tick sets the progress text of a few rows: only their cells become invalid.
  for (int tick = 0; tick < 3; ++tick) {
    h.notes.clear();
    SetText(lv, 2, 1, "p" + std::to_string(tick));
    SetText(lv, 5, 2, "q" + std::to_string(tick));
    SetText(lv, 900, 1, "far" + std::to_string(tick));  // not on screen: nothing to paint
    SetText(lv, 5, 1, "r5.1");                          // unchanged text: nothing either
    SendMessageW(lv, LVM_SETITEMTEXTW, 5, 0);
    RECT u{};
    ASSERT_TRUE(GetUpdateRect(lv, &u, FALSE));
    const RECT r2 = ItemRect(lv, 2), r5 = ItemRect(lv, 5);
    EXPECT_EQ(u.top, r2.top);
    EXPECT_EQ(u.bottom, r5.bottom);
    EXPECT_EQ(u.left, 80);
    EXPECT_EQ(u.right, 210);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(lv, rgn, FALSE);
    EXPECT_FALSE(PtInRegion(rgn, 100, (ItemRect(lv, 3).top + ItemRect(lv, 3).bottom) / 2));
    DeleteObject(rgn);
    UpdateWindow(parent);
    std::vector<int> painted;
    for (const Note& n : h.notes)
      if (n.code == NM_CUSTOMDRAW && n.stage == CDDS_ITEMPREPAINT) painted.push_back(n.item);
    EXPECT_EQ(painted, std::vector<int>({2, 5})) << tick;
  }
  EXPECT_EQ(Text(lv, 900, 1), "far2");
  // A selection change repaints the two rows involved.
  LVITEMW it;
  it.state = it.stateMask = LVIS_SELECTED;
  SendMessageW(lv, LVM_SETITEMSTATE, 7, LPARAM(&it));
  h.notes.clear();
  UpdateWindow(parent);
  EXPECT_EQ(ItemPrepaints(), 1);
}

TEST_F(ListViewTest, SmallImagesDrawInTheFirstColumn) {
  HWND lv = MakeReport({80, 60}, 2);
  HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 1, 1);
  HBITMAP pic = Picture(1, RGB(255, 0, 0), RGB(0, 255, 0));
  ImageList_AddMasked(list, pic, RGB(0, 255, 0));
  EXPECT_EQ(SendMessageW(lv, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(list)), 0);
  EXPECT_EQ(SendMessageW(lv, LVM_GETIMAGELIST, LVSIL_SMALL, 0), LRESULT(list));
  const RECT icon = ItemRect(lv, 0, LVIR_ICON);
  EXPECT_EQ(icon.right - icon.left, 16);
  EXPECT_GE(ItemRect(lv, 0).bottom - ItemRect(lv, 0).top, 17);
  EXPECT_EQ(Pixel(lv, icon.left + 8, icon.top + 8), RGB(255, 0, 0));
  EXPECT_EQ(Pixel(lv, icon.left + 1, icon.top + 1), GetSysColor(COLOR_WINDOW));  // the masked corner
  const RECT label = ItemRect(lv, 0, LVIR_LABEL);
  EXPECT_EQ(label.left, icon.right);
  DestroyWindow(lv);  // not shared: the list goes with the control
  EXPECT_FALSE(ImageList_Destroy(list));
  DeleteObject(pic);
}

// ---- Hover tracking and tooltips ----

TEST_F(ListViewTest, HoverComesOnceTheMouseRestsAndStartsOverWhenItMoves) {
  POINT p{50, 50};
  ClientToScreen(parent, &p);
  InjectMouseMove(p.x, p.y);
  Pump();
  TRACKMOUSEEVENT tme;
  tme.dwFlags = TME_HOVER;
  tme.hwndTrack = parent;
  tme.dwHoverTime = HOVER_DEFAULT;
  ASSERT_TRUE(TrackMouseEvent(&tme));
  auto hovers = [&] {
    int n = 0;
    for (const Note& x : h.notes) n += x.code == WM_MOUSEHOVER;
    return n;
  };
  Headless().AdvanceClock(300);
  Pump();
  EXPECT_EQ(hovers(), 0);
  InjectMouseMove(p.x + 1, p.y + 1);  // within the resting square: the wait goes on
  Headless().AdvanceClock(150);
  Pump();
  EXPECT_EQ(hovers(), 1);
  EXPECT_EQ(h.notes.back().item, 51);  // the client point in the message
  Headless().AdvanceClock(1000);
  Pump();
  EXPECT_EQ(hovers(), 1);  // once per request

  tme.dwHoverTime = 100;
  TrackMouseEvent(&tme);
  Headless().AdvanceClock(60);
  InjectMouseMove(p.x + 20, p.y);  // moved away: the wait starts again there
  Headless().AdvanceClock(60);
  Pump();
  EXPECT_EQ(hovers(), 1);
  Headless().AdvanceClock(50);
  Pump();
  EXPECT_EQ(hovers(), 2);
  // Cancelled, or left, nothing comes.
  TrackMouseEvent(&tme);
  tme.dwFlags = TME_HOVER | TME_CANCEL;
  TrackMouseEvent(&tme);
  Headless().AdvanceClock(500);
  Pump();
  EXPECT_EQ(hovers(), 2);
}

TEST_F(ListViewTest, ToolTipShowsTheToolUnderTheRestingMouseAndPops) {
  HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, "", WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, parent, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(tip, nullptr);
  std::string text = "Start the queue";
  TTTOOLINFOW ti;
  ti.hwnd = parent;
  ti.uId = 5;
  ti.rect = RECT{10, 10, 110, 40};
  ti.lpszText = text.data();
  EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, LPARAM(&ti)));
  EXPECT_FALSE(SendMessageW(tip, TTM_ADDTOOLW, 0, LPARAM(&ti)));
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(200, 0));
  EXPECT_EQ(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 200);

  auto relay = [&](UINT msg, int x, int y) {
    MSG m{};
    m.hwnd = parent;
    m.message = msg;
    m.lParam = MAKELPARAM(x, y);
    SendMessageW(tip, TTM_RELAYEVENT, 0, LPARAM(&m));
  };
  relay(WM_MOUSEMOVE, 200, 200);  // outside every tool
  Headless().AdvanceClock(300);
  Pump();
  EXPECT_FALSE(IsWindowVisible(tip));
  relay(WM_MOUSEMOVE, 20, 20);
  Headless().AdvanceClock(150);
  Pump();
  EXPECT_FALSE(IsWindowVisible(tip));
  Headless().AdvanceClock(60);
  Pump();
  EXPECT_TRUE(IsWindowVisible(tip));
  EXPECT_EQ(Codes(tip), std::vector<UINT>({TTN_SHOW}));
  RECT r;
  GetWindowRect(tip, &r);
  EXPECT_GT(r.right - r.left, 40);
  EXPECT_EQ(SurfacePixel(tip, 1, 1), GetSysColor(COLOR_INFOBK));

  char buf[80] = {};
  ti.lpszText = buf;
  EXPECT_TRUE(SendMessageW(tip, TTM_GETTEXTW, sizeof(buf), LPARAM(&ti)));
  EXPECT_STREQ(buf, "Start the queue");
  relay(WM_LBUTTONDOWN, 20, 20);  // a click pops the tip
  EXPECT_FALSE(IsWindowVisible(tip));
  EXPECT_EQ(Codes(tip), std::vector<UINT>({TTN_SHOW, TTN_POP}));
  SendMessageW(tip, TTM_DELTOOLW, 0, LPARAM(&ti));
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
}

}  // namespace
