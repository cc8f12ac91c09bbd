// The grid and tree handlers: a grid component known only by its published
// colour properties takes the skin's colours and gets its own back, a grid
// without the look object keeps its line and selection colours, and a tree
// view's background follows its section and comes back as it was.

#include <gtest/gtest.h>

#include "platform/vcl/TypInfo.h"
#include "skin/controls/acGridTreeWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "tests/skin_controls/ListSkin.h"

namespace {

constexpr TColor kMain = 0x335577, kLabel = 0x0A0B0C, kBorderColor = 0x112233, kGridColor = 0x445566,
                 kMainNormal = 0x6070A0, kHighlight = 0xA05010;

// The look object of a grid: its fixed-cell gradient.
class TFakeLook : public TPersistent {
 public:
  TColor From = clNone, To = 0x010101;
};

// A grid known only by what it publishes.
class TFakeGrid : public TWinControl {
 public:
  explicit TFakeGrid(TComponent* Owner) : TWinControl(Owner) { Register(); }
  TColor Fixed = 0x0F0F0F, Line = 0x202020, Selection = 0x303030, Footer = 0x404040;
  TFont Title;
  static void Register() {
    RegisterPropertyClass<TFakeGrid, TWinControl>(
        "TFakeGrid", {ColorProp<TFakeGrid>("FixedColor", [](TFakeGrid* g) { return g->Fixed; },
                                           [](TFakeGrid* g, TColor c) { g->Fixed = c; }),
                      ColorProp<TFakeGrid>("GridLineColor", [](TFakeGrid* g) { return g->Line; },
                                           [](TFakeGrid* g, TColor c) { g->Line = c; }),
                      ColorProp<TFakeGrid>("SelectionColor", [](TFakeGrid* g) { return g->Selection; },
                                           [](TFakeGrid* g, TColor c) { g->Selection = c; }),
                      ColorProp<TFakeGrid>("FooterColor", [](TFakeGrid* g) { return g->Footer; },
                                           [](TFakeGrid* g, TColor c) { g->Footer = c; }),
                      ObjectProp<TFakeGrid>("TitleFont", pkClass, [](TFakeGrid* g) { return &g->Title; })});
  }
};

// The same grid with a look object: its line and selection colours are the skin's too.
class TFakeLookGrid : public TFakeGrid {
 public:
  explicit TFakeLookGrid(TComponent* Owner) : TFakeGrid(Owner) {
    RegisterPropertyClass<TFakeLook>(
        "TFakeLook", {ColorProp<TFakeLook>("FixedGradientFrom", [](TFakeLook* l) { return l->From; },
                                           [](TFakeLook* l, TColor c) { l->From = c; }),
                      ColorProp<TFakeLook>("FixedGradientTo", [](TFakeLook* l) { return l->To; },
                                           [](TFakeLook* l, TColor c) { l->To = c; })});
    RegisterPropertyClass<TFakeLookGrid, TFakeGrid>(
        "TFakeLookGrid", {ObjectProp<TFakeLookGrid>("ControlLook", pkClass, [](TFakeLookGrid* g) { return &g->Look; })});
  }
  TFakeLook Look;
};

// The indicator and grouping parameters of an extended grid.
class TFakeParams : public TPersistent {
 public:
  TColor Color = 0x0C0C0C;
  int FillStyle = 0;
  bool ParentColor = false;
};

// An extended grid: row colours, indicator parameters and a grouping whose colour follows its parent's only when set.
class TFakeGridEh : public TWinControl {
 public:
  explicit TFakeGridEh(TComponent* Owner) : TWinControl(Owner) {
    RegisterPropertyClass<TFakeParams>(
        "TFakeParams", {ColorProp<TFakeParams>("Color", [](TFakeParams* p) { return p->Color; },
                                               [](TFakeParams* p, TColor c) { p->Color = c; }),
                        IntProp<TFakeParams>("FillStyle", [](TFakeParams* p) { return p->FillStyle; },
                                             [](TFakeParams* p, int v) { p->FillStyle = v; }),
                        BoolProp<TFakeParams>("ParentColor", [](TFakeParams* p) { return p->ParentColor; },
                                              [](TFakeParams* p, bool v) { p->ParentColor = v; })});
    RegisterPropertyClass<TFakeGridEh, TWinControl>(
        "TFakeGridEh",
        {ColorProp<TFakeGridEh>("EvenRowColor", [](TFakeGridEh* g) { return g->Even; },
                                [](TFakeGridEh* g, TColor c) { g->Even = c; }),
         ColorProp<TFakeGridEh>("OddRowColor", [](TFakeGridEh* g) { return g->Odd; },
                                [](TFakeGridEh* g, TColor c) { g->Odd = c; }),
         ObjectProp<TFakeGridEh>("IndicatorParams", pkClass, [](TFakeGridEh* g) { return &g->Indicator; }),
         ObjectProp<TFakeGridEh>("DataGrouping", pkClass, [](TFakeGridEh* g) { return &g->Grouping; })});
  }
  TColor Even = clNone, Odd = clNone;
  TFakeParams Indicator, Grouping;
};

class GridHandlerTest : public SkinnedScrollsTest {
 protected:
  static void SetPalette(ListSkin& k) {
    k.s.Palette[pcMainColor] = kMain;
    k.s.Palette[pcLabelText] = kLabel;
    k.s.Palette[pcBorder] = kBorderColor;
    k.s.Palette[pcGrid] = kGridColor;
    k.s.Palette[pcSelectionBG_Focused] = kHighlight;
    k.s.AddNewSection("GLOBALINFO", -1, 1, 0, kMainNormal, 0);
    InitConstantIndexes(k.s, false);
  }
  template <class G>
  G* Grid(TForm& form) {
    auto* g = new G(&form);
    g->SetParent(&form);
    g->SetBounds(10, 10, 200, 150);
    return g;
  }
};

class TreeHandlerTest : public SkinnedScrollsTest {};

}  // namespace

TEST_F(GridHandlerTest, PublishedColoursTakeTheSkinAndComeBack) {
  ListSkin k;
  SetPalette(k);
  TForm form(nullptr);
  auto* plain = Grid<TFakeGrid>(form);
  auto* look = Grid<TFakeLookGrid>(form);
  ShowForm(form);
  plain->Title.SetColor(0x0000AA);
  look->Title.SetColor(0x0000AA);
  struct Case {
    TFakeGrid* grid;
    bool withLook;
  } cases[] = {{plain, false}, {look, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.withLook ? "with look" : "plain");
    TFakeGrid* g = c.grid;
    TacSkinParams p;
    p.Control = g;
    auto h = CreateWndHandler<TacGridWnd>(g->Handle(), nullptr, &k.s, p, true);
    RedrawWindow(g->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    EXPECT_EQ(h->FixedColor, TColor(0x0F0F0F));
    EXPECT_EQ(g->Fixed, kMain);
    EXPECT_EQ(g->Title.Color(), kLabel);
    EXPECT_EQ(g->Footer, kMainNormal);
    // Line and selection colours are skinned only beside a look object.
    EXPECT_EQ(g->Line, c.withLook ? kGridColor : TColor(0x202020));
    EXPECT_EQ(g->Selection, c.withLook ? kHighlight : TColor(0x303030));
    if (c.withLook) {
      EXPECT_EQ(look->Look.From, MixColors(kMain, k.s.GetActiveEditColor(), 127));
      EXPECT_EQ(look->Look.To, kMain);
    }
    // A skin change writes the new values.
    k.s.Palette[pcMainColor] = 0x123123;
    SendSkinCommand(g->Handle(), SKC_SKINLOADED, LPARAM(&k.s));
    EXPECT_EQ(g->Fixed, TColor(0x123123));
    k.s.Palette[pcMainColor] = kMain;

    ReleaseWndHandler(g->Handle(), true, true, h);
    EXPECT_EQ(g->Fixed, TColor(0x0F0F0F));
    EXPECT_EQ(g->Title.Color(), TColor(0x0000AA));
    EXPECT_EQ(g->Footer, TColor(0x404040));
    EXPECT_EQ(g->Line, TColor(0x202020));
    EXPECT_EQ(g->Selection, TColor(0x303030));
    if (c.withLook) {
      EXPECT_EQ(look->Look.From, clBtnFace);  // no gradient colour comes back as the button face
      EXPECT_EQ(look->Look.To, TColor(0x010101));
    }
  }
}

TEST_F(GridHandlerTest, ExtendedGridTakesItsRowsIndicatorAndGroupingColoursByRule) {
  ListSkin k;
  SetPalette(k);
  k.s.Palette[pcEditBG_EvenRow] = 0x0E0E0E;
  k.s.Palette[pcEditBG_OddRow] = 0x0D0D0D;
  TForm form(nullptr);
  auto* equal = Grid<TFakeGridEh>(form);
  auto* differ = Grid<TFakeGridEh>(form);
  differ->Odd = 0x00FF00;
  differ->Grouping.ParentColor = true;
  ShowForm(form);
  for (TFakeGridEh* g : {equal, differ}) {
    SCOPED_TRACE(g == equal ? "equal rows" : "different rows");
    TacSkinParams p;
    p.Control = g;
    auto h = CreateWndHandler<TacGridEhWnd>(g->Handle(), nullptr, &k.s, p, true);
    RedrawWindow(g->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
    EXPECT_EQ(g->Indicator.Color, kMain);
    EXPECT_EQ(g->Indicator.FillStyle, 2);
    // Row colours that were equal stay equal: the grid keeps its own.
    EXPECT_EQ(g->Even, g == equal ? clNone : TColor(0x0E0E0E));
    EXPECT_EQ(g->Odd, g == equal ? clNone : TColor(0x0D0D0D));
    // The grouping colour is written only while it follows its parent.
    EXPECT_EQ(g->Grouping.Color, g == equal ? TColor(0x0C0C0C) : MixColors(0xFFFFFF, kMain, 26));
    ReleaseWndHandler(g->Handle(), true, true, h);
    EXPECT_EQ(g->Indicator.Color, TColor(0x0C0C0C));
    EXPECT_EQ(g->Indicator.FillStyle, 0);
    EXPECT_EQ(g->Grouping.Color, TColor(0x0C0C0C));
    EXPECT_EQ(g->Odd, g == equal ? TColor(ColorToRGB(clWindow)) : TColor(0x00FF00));
  }
}

TEST_F(GridHandlerTest, PropertyPathsReachSubObjects) {
  TForm form(nullptr);
  auto* g = Grid<TFakeLookGrid>(form);
  String name;
  EXPECT_EQ(PropPathOwner(g, "ControlLook.FixedGradientTo", name), &g->Look);
  EXPECT_EQ(name, "FixedGradientTo");
  EXPECT_EQ(PropPathOwner(g, "FixedColor", name), g);
  EXPECT_EQ(PropPathOwner(g, "GridStyle.Title.StartColor", name), nullptr);
}

TEST_F(TreeHandlerTest, TreeBackgroundFollowsTheSectionAndComesBack) {
  ListSkin k;
  TForm form(nullptr);
  ShowForm(form);
  HWND w = CreateWindowExW(WS_EX_CLIENTEDGE, "SysTreeView32", "", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS, 10, 10, 200,
                           160, form.Handle(), nullptr, nullptr, nullptr);
  for (const char* t : {"one", "two", "three"}) {
    TVINSERTSTRUCTW ins;
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT;
    ins.item.pszText = const_cast<char*>(t);
    SendMessageW(w, TVM_INSERTITEMW, 0, LPARAM(&ins));
  }
  SendMessageW(w, TVM_SETBKCOLOR, 0, 0x223344);
  const LRESULT text = SendMessageW(w, TVM_GETTEXTCOLOR, 0, 0);
  const LONG_PTR proc = GetWindowLongPtrW(w, GWLP_WNDPROC), style = GetWindowLongPtrW(w, GWL_STYLE);
  auto h = MakeHandlerOf<TacTreeViewWnd>(w, nullptr, &k.s, TacSkinParams(), true);
  EXPECT_EQ(h->SkinData->SkinSection(), "EDIT");
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  EXPECT_EQ(SendMessageW(w, TVM_GETBKCOLOR, 0, 0), LRESULT(kEdit));
  // Rows and the room below them in the section's colour, the border from the section.
  EXPECT_EQ(At(w, 150, 140), COLORREF(kEdit));
  EXPECT_EQ(At(w, 150, 10), COLORREF(kEdit));
  EXPECT_EQ(At(w, 0, 80), COLORREF(kEdit));
  ReleaseWndHandler(w, true, true, h);
  EXPECT_EQ(SendMessageW(w, TVM_GETBKCOLOR, 0, 0), 0x223344);
  EXPECT_EQ(SendMessageW(w, TVM_GETTEXTCOLOR, 0, 0), text);
  EXPECT_EQ(GetWindowLongPtrW(w, GWLP_WNDPROC), proc);
  EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), style);
  EXPECT_EQ(GetPropW(w, kSkinDataProp), nullptr);
  DestroyWindow(w);
}
