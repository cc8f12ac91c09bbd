// Per-control skin records and skin commands on real (headless) windows: a
// command reaching a record without the window's procedure, broadcasts over
// graphic and windowed children, update nesting, the colour children see and
// the background answers they get.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sSkinRecords.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

// A skin with plain sections made in code.
struct CodeSkin {
  TacSkinRecords s;
  CodeSkin() { s.CommonSkinData.Active = true; }
  int Add(const String& name, int transparency, TColor color) {
    const int i = s.AddNewSection(name, -1, 3, transparency, color, 0);
    auto& g = s.gd[size_t(i)];
    g.BorderIndex = g.ImgTL = g.ImgTR = g.ImgBL = g.ImgBR = g.OuterMask = -1;
    return i;
  }
};

// A handler in front of a control's WindowProc, as skinned controls install
// one: it logs, runs the common handlers and passes the rest on.
struct Handler {
  TWinControl* ctrl;
  TsCommonData data;
  TWndMethod old;
  std::vector<UINT>* log;
  Handler(TWinControl* c, const TacSkinRecords* skin, std::vector<UINT>* l) : ctrl(c), data(c, true), log(l) {
    old = c->WindowProc;
    c->WindowProc = [this](TMessage& m) {
      if (log) log->push_back(m.Msg);
      if (!HandleCommonMessage(m, &data)) old(m);
    };
    data.WndProc = c->WindowProc;
    data.FSkinManager = skin;
    c->HandleNeeded();
    data.InitCommonProp();
    data.Loaded(false);
  }
  ~Handler() { ctrl->WindowProc = old; }
};

// A subclass of the window procedure that logs every message reaching the window.
struct WndSpy {
  static inline std::vector<std::pair<HWND, UINT>> log;
  static inline WNDPROC old = nullptr;
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    log.emplace_back(w, m);
    return CallWindowProcW(old, w, m, wp, lp);
  }
  explicit WndSpy(HWND w) : wnd(w) {
    log.clear();
    old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&Proc))));
  }
  ~WndSpy() { SetWindowLongPtrW(wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(old))); }
  static int Count(UINT m) {
    int n = 0;
    for (auto& e : log) n += e.second == m;
    return n;
  }
  HWND wnd;
};

class SkinCommandTest : public WindowTest {};

}  // namespace

TEST_F(SkinCommandTest, CommandReachesTheRecordWithoutTheWindowProcedure) {
  CodeSkin k;
  k.Add("TPANEL", 0, 0x336699);
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  ShowForm(form);
  std::vector<UINT> handlerLog;
  Handler h(panel, &k.s, &handlerLog);
  ASSERT_EQ(GetWndSkinData(panel->Handle()), &h.data);
  EXPECT_TRUE(IsWindowSkinned(panel->Handle()));
  EXPECT_EQ(h.data.SkinIndex, 0);  // the owner's class name is its section

  WndSpy spy(panel->Handle());
  handlerLog.clear();
  EXPECT_EQ(SendSkinCommand(panel->Handle(), SKC_ISSKINNED), 1);
  EXPECT_EQ(SendSkinCommand(panel->Handle(), SKC_GETSKINDATA), LRESULT(&h.data));
  EXPECT_EQ(WndSpy::Count(WM_SKINCOMMAND), 0);  // never through the window
  EXPECT_EQ(handlerLog, (std::vector<UINT>{WM_SKINCOMMAND, WM_SKINCOMMAND}));

  // Other messages through SendSkinMessage take the same direct road; a window
  // without a record gets them from the window system.
  SendSkinMessage(panel->Handle(), WM_SETREDRAW, 1, 0);
  EXPECT_EQ(WndSpy::Count(WM_SETREDRAW), 0);
  EXPECT_EQ(handlerLog.back(), UINT(WM_SETREDRAW));
  auto* plain = new TPanel(&form);
  plain->SetParent(&form);
  plain->HandleNeeded();
  WndSpy plainSpy(plain->Handle());
  EXPECT_EQ(SendSkinCommand(plain->Handle(), SKC_ISSKINNED), 0);
  EXPECT_EQ(WndSpy::Count(WM_SKINCOMMAND), 1);
  EXPECT_FALSE(IsWindowSkinned(plain->Handle()));

  // The record leaves the window when it goes.
  {
    TsCommonData temp(plain, false);
    EXPECT_EQ(GetWndSkinData(plain->Handle()), &temp);
  }
  EXPECT_EQ(GetWndSkinData(plain->Handle()), nullptr);
}

TEST_F(SkinCommandTest, BroadcastsReachGraphicAndWindowedChildrenAndStopAtOneBeingDestroyed) {
  CodeSkin k;
  k.Add("TPANEL", 0, 0x336699);
  TForm form(nullptr);
  std::vector<std::pair<TControl*, int>> got;  // (control, command)
  auto listen = [&](TControl* c) {
    TWndMethod old = c->WindowProc;
    c->WindowProc = [&got, c, old](TMessage& m) {
      // (IsWindowSkinned asks windows with a command of its own)
      if (m.Msg == WM_SKINCOMMAND && SkinCommandOf(m) == SKC_BGCHANGED) got.emplace_back(c, SkinCommandOf(m));
      old(m);
    };
  };
  // form: label, box (panel with a label and an edit inside), skinned (panel with a label), last label
  auto* label1 = new TLabel(&form);
  auto* box = new TPanel(&form);
  auto* inner1 = new TLabel(&form);
  auto* inner2 = new TEdit(&form);
  auto* skinned = new TPanel(&form);
  auto* skinnedChild = new TLabel(&form);
  auto* last = new TLabel(&form);
  label1->SetParent(&form);
  box->SetParent(&form);
  inner1->SetParent(box);
  inner2->SetParent(box);
  skinned->SetParent(&form);
  skinnedChild->SetParent(skinned);
  last->SetParent(&form);
  ShowForm(form);
  Handler h(skinned, &k.s, nullptr);
  for (TControl* c : std::initializer_list<TControl*>{label1, box, inner1, inner2, skinned, skinnedChild, last}) listen(c);
  h.data.WndProc = skinned->WindowProc;  // the record's procedure is what commands call

  TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_BGCHANGED), 0);
  BroadcastToChildren(&form, m);
  std::vector<TControl*> order;
  for (auto& [c, cmd] : got) order.push_back(c);
  // The skinned panel passes the message on itself; the broadcast does not walk into it.
  EXPECT_EQ(order, (std::vector<TControl*>{label1, box, inner1, inner2, skinned, last}));

  // Only direct child windows for the window walk.
  got.clear();
  BroadcastToChildWindows(form.Handle(), m);
  order.clear();
  for (auto& [c, cmd] : got) order.push_back(c);
  EXPECT_EQ(order, (std::vector<TControl*>{box, skinned}));

  // A child being destroyed ends the walk: the children after it are not reached.
  got.clear();
  box->Destroying();
  BroadcastToChildren(&form, m);
  order.clear();
  for (auto& [c, cmd] : got) order.push_back(c);
  EXPECT_EQ(order, (std::vector<TControl*>{label1}));
}

TEST_F(SkinCommandTest, NestedEndUpdateClearsTheFlagAtOnceButTellsTheOwnerOnlyAtTheEnd) {
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  ShowForm(form);
  std::vector<UINT> log;
  CodeSkin k;
  k.Add("TPANEL", 0, 0);
  Handler h(panel, &k.s, nullptr);
  std::vector<int> cmds;
  TWndMethod inner = panel->WindowProc;
  panel->WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_SKINCOMMAND) cmds.push_back(SkinCommandOf(m));
    inner(m);
  };
  h.data.BeginUpdate();
  h.data.BeginUpdate();
  EXPECT_TRUE(h.data.FUpdating);
  EXPECT_EQ(cmds, (std::vector<int>{SKC_BEGINUPDATE, SKC_BEGINUPDATE}));
  h.data.EndUpdate();
  EXPECT_FALSE(h.data.FUpdating);  // cleared by the inner call already
  EXPECT_EQ(cmds.size(), 2u);
  h.data.EndUpdate();
  EXPECT_EQ(cmds.back(), SKC_ENDUPDATE);
  EXPECT_EQ(h.data.FUpdateCount, 0);
  panel->WindowProc = inner;
}

TEST_F(SkinCommandTest, ChildrenSeeTheColourTheParentPaints) {
  // A section at transparency T over its parent: the painters weigh the parent
  // by T * 255 div 100, and the colour answered to children must match.
  struct Case {
    int t;
    TColor section, parent, expected;
  } cases[] = {
      {0, 0x102030, 0xFFFFFF, 0x102030},
      {100, 0x102030, 0x0000FF, 0x0000FF},
      {50, 0x000000, 0xFFFFFF, 0x7E7E7E},  // 127 * 255 >> 8 (a weight of 50 would give 0x313131)
      {20, 0xFF0000, 0x0000FF, 0xCC0032},
  };
  for (const Case& c : cases) {
    CodeSkin k;
    k.Add("TPANEL", c.t, c.section);
    TForm form(nullptr);
    form.SetColor(c.parent);
    auto* panel = new TPanel(&form);
    panel->SetParent(&form);
    ShowForm(form);
    Handler h(panel, &k.s, nullptr);
    EXPECT_EQ(ControlBgColor(panel), c.expected) << c.t;
    // The painted pixel agrees.
    auto parent = NewBitmap32(1, 1);
    FillRect32(parent.get(), TRect(0, 0, 1, 1), c.parent, 0xFF);
    TCacheInfo ci;
    ci.Bmp = parent.get();
    ci.Ready = true;
    auto own = NewBitmap32(1, 1);
    PaintSectionBg(h.data.SkinIndex, ci, 0, TRect(0, 0, 1, 1), TPoint(0, 0), own.get(), &k.s, -1, -1, clFuchsia);
    EXPECT_EQ(GetPixel32(own.get(), 0, 0) & 0xFFFFFF, SwapRedBlue(uint32_t(c.expected))) << c.t;
  }
}

TEST_F(SkinCommandTest, BackgroundAnswersToChildren) {
  CodeSkin k;
  const int opaque = k.Add("TPANEL", 0, 0x0000FF);
  TForm form(nullptr);
  form.SetColor(0x00FF00);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(10, 20, 50, 40);
  ShowForm(form);
  Handler h(panel, &k.s, nullptr);
  ASSERT_EQ(h.data.SkinIndex, opaque);

  // A plain section answers its colour.
  TacBackgroundInfo info;
  ASSERT_TRUE(QueryParentBgInfo(info, panel, false));
  EXPECT_EQ(info.BgType, 1);
  EXPECT_EQ(info.Color, TColor(0x0000FF));

  // A section with a gradient needs the image: not ready until the owner builds it.
  k.s.gd[size_t(opaque)].Props[0].GradientPercent = 50;
  h.data.BGChanged = true;
  h.data.FCacheBmp->SetSize(0, 0);
  QueryParentBgInfo(info, panel, false);
  EXPECT_EQ(info.BgType, 3);
  h.data.FCacheBmp->SetSize(50, 40);
  h.data.BGChanged = false;
  QueryParentBgInfo(info, panel, false);
  EXPECT_EQ(info.BgType, 2);
  EXPECT_EQ(info.Bmp, h.data.FCacheBmp.get());
  EXPECT_EQ(info.Offset, TPoint(0, 0));

  // An unskinned parent answers its own colour; the parent cache of the record becomes that colour.
  TacBackgroundInfo formInfo;
  QueryParentBgInfo(formInfo, &form, false);
  EXPECT_EQ(formInfo.BgType, 1);
  EXPECT_EQ(formInfo.Color, TColor(0x00FF00));
  const TCacheInfo ci = h.data.GetParentCache();
  EXPECT_FALSE(ci.Ready);
  EXPECT_EQ(ci.FillColor, TColor(0x00FF00));

  // An unknown section: not skinned, and the plain control colour is answered.
  h.data.SetSkinSection("NOSUCHSECTION");
  EXPECT_EQ(h.data.SkinIndex, -1);
  EXPECT_EQ(h.data.BorderIndex, -1);
  EXPECT_FALSE(h.data.Skinned());
  panel->SetColor(0x123456);
  QueryParentBgInfo(info, panel, false);
  EXPECT_EQ(info.BgType, 1);
  EXPECT_EQ(info.Color, TColor(0x123456));
}

TEST_F(SkinCommandTest, CacheCopiesLeaveOutChildrenThatPaintThemselves) {
  CodeSkin k;
  k.Add("TPANEL", 0, 0x0000FF);
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 20, 10);
  auto* label = new TLabel(&form);
  label->SetParent(panel);
  label->SetBounds(2, 2, 4, 4);
  auto* edit = new TEdit(&form);
  edit->SetParent(panel);
  edit->SetBounds(10, 2, 6, 6);
  ShowForm(form);
  Handler h(panel, &k.s, nullptr);
  h.data.PrepareCacheBmp();
  FillRect32(h.data.FCacheBmp.get(), TRect(0, 0, 20, 10), 0xABCDEF, 0xFF);

  auto target = NewBitmap32(20, 10);
  FillRect32(target.get(), TRect(0, 0, 20, 10), 0, 0xFF);
  CopyCacheToDC(panel, &h.data, TPoint(0, 0), TRect(0, 0, 20, 10), target->Canvas()->Handle(), false, 0, 0);
  EXPECT_EQ(GetPixel32(target.get(), 0, 0) & 0xFFFFFF, SwapRedBlue(0xABCDEFu));
  EXPECT_EQ(GetPixel32(target.get(), 3, 3) & 0xFFFFFF, 0u);        // the graphic label is left out
  EXPECT_EQ(GetPixel32(target.get(), 12, 4) & 0xFFFFFF, SwapRedBlue(0xABCDEFu));  // a windowed edit is not

  FillRect32(target.get(), TRect(0, 0, 20, 10), 0, 0xFF);
  CopyCacheToWndDC(panel->Handle(), &h.data, TPoint(0, 0), TRect(0, 0, 20, 10), target->Canvas()->Handle(), false, 0, 0);
  EXPECT_EQ(GetPixel32(target.get(), 12, 4) & 0xFFFFFF, 0u);  // child windows are left out
  EXPECT_EQ(GetPixel32(target.get(), 3, 3) & 0xFFFFFF, SwapRedBlue(0xABCDEFu));
}

TEST_F(SkinCommandTest, RegionsCornersAndTextColoursFromASection) {
  // A border mask of one 6 x 6 frame whose top-left and bottom-right corner pixels are the key.
  CodeSkin k;
  const int sec = k.Add("TPANEL", 0, 0x0000FF);
  k.s.MasterBitmap = NewBitmap32(6, 6);
  FillRect32(k.s.MasterBitmap.get(), TRect(0, 0, 6, 6), 0x808080, 0xFF);
  SetPixel32(k.s.MasterBitmap.get(), 0, 0, 0x00FF00FF);
  SetPixel32(k.s.MasterBitmap.get(), 5, 5, 0x00FF00FF);
  const int mask = k.s.MakeNewItem(sec, "BORDERSMASK", "TPANEL", itisaBorder, TRect(0, 0, 6, 6), 1, 0, 0);
  TsMaskData& m = k.s.ma[size_t(mask)];
  m.WL = m.WT = m.WR = m.WB = 2;
  m.Width = m.Height = 6;
  k.s.gd[size_t(sec)].BorderIndex = mask;

  HRGN rgn = CreateMaskRegion(sec, TSize{20, 10}, &k.s);
  ASSERT_NE(rgn, nullptr);
  EXPECT_FALSE(PtInRegion(rgn, 0, 0));
  EXPECT_TRUE(PtInRegion(rgn, 1, 0));
  EXPECT_FALSE(PtInRegion(rgn, 19, 9));  // the right-hand run placed against the width, at the bottom
  EXPECT_TRUE(PtInRegion(rgn, 10, 5));
  DeleteObject(rgn);
  EXPECT_EQ(CreateMaskRegion(k.Add("PLAIN", 0, 0), TSize{20, 10}, &k.s), nullptr);

  auto bmp = NewBitmap32(20, 10);
  FillRect32(bmp.get(), TRect(0, 0, 20, 10), 0x123456, 0xFF);
  FillTransparentCorners(sec, bmp.get(), &k.s);
  EXPECT_EQ(GetPixel32(bmp.get(), 0, 0), 0u);
  EXPECT_EQ(GetPixel32(bmp.get(), 19, 9), 0u);
  EXPECT_NE(GetPixel32(bmp.get(), 1, 0), 0u);

  // Text colours: a readable hot state gives its own; state 0 asks the window, and nothing skinned answers.
  k.s.gd[size_t(sec)].Props[1].FontColor.Color = 0x00AA00;
  k.s.gd[size_t(sec)].Props[0].FontColor.Color = 0x0000AA;
  EXPECT_EQ(GetSectionFontColor(nullptr, sec, &k.s, 1), TColor(0x00AA00));
  EXPECT_EQ(GetSectionFontColor(nullptr, sec, &k.s, 0), clBtnText);
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  ShowForm(form);
  Handler h(panel, &k.s, nullptr);
  EXPECT_EQ(GetSectionFontColor(panel->Handle(), sec, &k.s, 0), TColor(0x0000AA));
}

TEST_F(SkinCommandTest, GraphicChildrenPaintIntoAPrintedImage) {
  struct Box : TGraphicControl {
    using TGraphicControl::TGraphicControl;
    void Paint() override {
      Canvas()->Brush()->SetColor(0x00FF00);
      Canvas()->FillRect(TRect(0, 0, Width(), Height()));
    }
  };
  TForm form(nullptr);
  form.SetColor(0x0000FF);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(0, 0, 40, 20);
  panel->SetColor(0xFF0000);
  auto* box = new Box(&form);
  box->SetParent(panel);
  box->SetBounds(5, 4, 6, 6);
  ShowForm(form);
  auto target = NewBitmap32(50, 30);
  FillRect32(target.get(), TRect(0, 0, 50, 30), 0, 0xFF);
  PaintChildrenToDC(target->Canvas()->Handle(), panel, true, TPoint(3, 2));
  EXPECT_EQ(GetPixel32(target.get(), 8, 6) & 0xFFFFFF, 0x00FF00u);   // the child at its place plus the offset
  EXPECT_EQ(GetPixel32(target.get(), 7, 5) & 0xFFFFFF, 0u);          // not the box moved without the offset
  EXPECT_EQ(GetPixel32(target.get(), 20, 10) & 0xFFFFFF, 0u);        // the panel itself is not painted here
}

TEST_F(SkinCommandTest, HoverFollowsTheCursorIntoChildWindows) {
  CodeSkin k;
  k.Add("TPANEL", 0, 0);
  TForm form(nullptr);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBounds(10, 10, 100, 60);
  auto* edit = new TEdit(&form);
  edit->SetParent(panel);
  edit->SetBounds(10, 10, 40, 20);
  auto* label = new TLabel(&form);
  label->SetParent(panel);
  label->SetBounds(60, 10, 20, 20);
  ShowForm(form);
  Handler h(panel, &k.s, nullptr);
  auto moveTo = [&](TWinControl* c, int x, int y) {
    const TPoint s = c->ClientToScreen(TPoint(x, y));
    InjectMouseMove(s.X, s.Y);
  };
  panel->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(h.data.FMouseAbove);
  moveTo(panel, 20, 15);  // over the edit, a window inside the panel
  EXPECT_EQ(ControlAtCursor(), edit);
  panel->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(h.data.FMouseAbove);
  moveTo(panel, 65, 15);
  EXPECT_EQ(ControlAtCursor(), label);
  moveTo(panel, 200, 200);  // off the panel
  panel->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(h.data.FMouseAbove);
}
