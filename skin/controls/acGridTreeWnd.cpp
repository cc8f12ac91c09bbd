#include "skin/controls/acGridTreeWnd.h"

#include <algorithm>
#include <type_traits>

#include "platform/vcl/ComCtrls.h"
#include "skin/controls/acListViewWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMessages.h"

namespace {

constexpr TColor kBlack = 0x000000, kWhite = 0xFFFFFF;

// The skin's values a grid row takes.
enum class GridValue { Main, LabelText, Border, Grid, FromGradient, MirrorFrom, MirrorTo, Highlight, HighlightText,
                       DataLine, MainNormal, SectionFont, EvenRow, OddRow, BrightLine, DarkLine, LightMain, Zero, Two,
                       Three };

// Conditions and treatments of a grid row.
enum : unsigned {
  rfNeedsLook = 1,      // only when the grid also publishes "ControlLook"
  rfRgb = 2,            // kept as RGB
  rfNotSaved = 4,       // restored from another row's value
  rfGradient = 8,       // a kept clNone becomes clBtnFace
  rfNoneIsWindow = 16,  // a kept clNone becomes clWindow as RGB
  rfRowsDiffer = 32,    // written only when the kept even and odd row colours differ
  rfParentColor = 64,   // written only while the property's owner has ParentColor set
};

// One published value of a grid: the property (a dotted path), where the
// grid's own value is kept, its treatment and the skin's value.
template <class H>
struct GridRow {
  const char* Path;
  TColor H::*Field;
  unsigned Flags;
  GridValue Value;
};

const GridRow<TacGridWnd> kGridRows[] = {
    {"FixedColor", &TacGridWnd::FixedColor, rfRgb, GridValue::Main},
    {"TitleFont.Color", &TacGridWnd::TitleFontColor, 0, GridValue::LabelText},
    {"FixedFont.Color", &TacGridWnd::TitleFontColor, rfNeedsLook | rfRgb, GridValue::LabelText},
    {"GridFixedLineColor", &TacGridWnd::GridFixedLineColor, rfNeedsLook, GridValue::Border},
    {"GridLineColor", &TacGridWnd::GridLineColor, rfNeedsLook, GridValue::Grid},
    {"ControlLook.FixedGradientFrom", &TacGridWnd::FixedGradientFrom, rfGradient, GridValue::FromGradient},
    {"ControlLook.FixedGradientTo", &TacGridWnd::FixedGradientTo, rfGradient, GridValue::Main},
    {"ControlLook.FixedGradientMirrorFrom", &TacGridWnd::FixedGradientMirrorFrom, rfGradient, GridValue::MirrorFrom},
    {"ControlLook.FixedGradientMirrorTo", &TacGridWnd::FixedGradientMirrorTo, rfGradient, GridValue::MirrorTo},
    {"SelectionColor", &TacGridWnd::SelectionColor, rfNeedsLook, GridValue::Highlight},
    {"SelectionTextColor", &TacGridWnd::SelectionTextColor, rfNeedsLook, GridValue::HighlightText},
    {"GridStyle.Title.StartColor", &TacGridWnd::FixedGradientFrom, 0, GridValue::FromGradient},
    {"GridStyle.Title.EndColor", &TacGridWnd::FixedGradientTo, 0, GridValue::Main},
    {"LineColors.FixedColor", &TacGridWnd::GridFixedLineColor, 0, GridValue::Border},
    {"LineColors.DataColor", &TacGridWnd::GridLineColor, 0, GridValue::DataLine},
    {"LineColors.ShadowColor", &TacGridWnd::GridLineColor, rfNotSaved, GridValue::DataLine},
    {"FooterColor", &TacGridWnd::FooterColor, 0, GridValue::MainNormal},
    {"FooterCellColor", &TacGridWnd::FooterCellColor, 0, GridValue::MainNormal},
    {"TitleColor", &TacGridWnd::TitleColor, 0, GridValue::MainNormal},
    {"IndicatorIconColor", &TacGridWnd::IndColor, 0, GridValue::SectionFont},
};

const GridRow<TacGridEhWnd> kGridEhRows[] = {
    {"EvenRowColor", &TacGridEhWnd::EvenRowColor, rfNoneIsWindow | rfRowsDiffer, GridValue::EvenRow},
    {"OddRowColor", &TacGridEhWnd::OddRowColor, rfNoneIsWindow | rfRowsDiffer, GridValue::OddRow},
    {"GridLineParams.BrightColor", &TacGridEhWnd::BrightColor, 0, GridValue::BrightLine},
    {"GridLineParams.DataHorzColor", &TacGridEhWnd::DataHorzColor, 0, GridValue::Grid},
    {"GridLineParams.DataVertColor", &TacGridEhWnd::DataVertColor, 0, GridValue::Grid},
    {"GridLineParams.DarkColor", &TacGridEhWnd::DarkColor, 0, GridValue::DarkLine},
    {"IndicatorParams.Color", &TacGridEhWnd::IndColor, 0, GridValue::Main},
    {"IndicatorParams.HorzLines", &TacGridEhWnd::IndHorzLines, 0, GridValue::Zero},
    {"IndicatorParams.VertLines", &TacGridEhWnd::IndVertLines, 0, GridValue::Zero},
    {"IndicatorParams.FillStyle", &TacGridEhWnd::InfFillStyle, 0, GridValue::Two},
    {"TitleParams.Color", &TacGridEhWnd::TitleColor, 0, GridValue::Main},
    {"TitleParams.SecondColor", &TacGridEhWnd::FixedGradientTo, 0, GridValue::LightMain},
    {"TitleParams.FillStyle", &TacGridEhWnd::TitleFillStyle, 0, GridValue::Three},
    {"TitleParams.VertLineColor", &TacGridEhWnd::GridFixedLineColor, 0, GridValue::Border},
    {"DataGrouping.Color", &TacGridEhWnd::DataGroupColor, rfParentColor, GridValue::LightMain},
    {"RowCategories.Color", &TacGridEhWnd::CategoriesColor, 0, GridValue::LightMain},
    {"RowCategories.Font.Color", &TacGridEhWnd::CategoriesFontColor, 0, GridValue::LabelText},
    {"RowDetailPanel.Color", &TacGridEhWnd::RowDetailColor, 0, GridValue::Main},
};

TColor SectionColor(const TacSkinRecords* Skin, int Index, bool Font, int State = 0) {
  if (!Skin || !Skin->IsValidSkinIndex(Index)) return clNone;
  const TsGeneralData& g = Skin->gd[size_t(Index)];
  const auto& p = g.Props[size_t(std::clamp(State, 0, std::clamp(g.States - 1, 0, 2)))];
  return Font ? p.FontColor.Color : p.Color;
}

TColor SkinValue(GridValue V, const TacSkinRecords* S, int SkinIndex) {
  const TColor main = S->Palette[pcMainColor];
  switch (V) {
    case GridValue::Main: return main;
    case GridValue::LabelText: return S->Palette[pcLabelText];
    case GridValue::Border: return S->Palette[pcBorder];
    case GridValue::Grid: return S->Palette[pcGrid];
    case GridValue::FromGradient: return MixColors(main, S->GetActiveEditColor(), 127);
    case GridValue::MirrorFrom: return MixColors(main, kBlack, 243);
    case GridValue::MirrorTo: return MixColors(main, kWhite, 230);
    case GridValue::Highlight: return S->GetHighLightColor(true);
    case GridValue::HighlightText: return S->GetHighLightFontColor(true);
    case GridValue::DataLine: return MixColors(S->GetActiveEditColor(), S->GetActiveEditFontColor(), 205);
    case GridValue::MainNormal: return SectionColor(S, S->ConstData.IndexGLobalInfo, false);
    case GridValue::SectionFont: return SectionColor(S, SkinIndex, true);
    case GridValue::EvenRow: return S->Palette[pcEditBG_EvenRow];
    case GridValue::OddRow: return S->Palette[pcEditBG_OddRow];
    case GridValue::BrightLine: return MixColors(kWhite, S->GetActiveEditColor(), 51);
    case GridValue::DarkLine: return MixColors(kBlack, S->GetGlobalColor(), 77);
    case GridValue::LightMain: return MixColors(kWhite, main, 26);
    case GridValue::Zero: return 0;
    case GridValue::Two: return 2;
    case GridValue::Three: return 3;
  }
  return clNone;
}

// The row's property on the grid: its owner object and name; nullptr when the grid lacks it.
template <class H>
TObject* RowTarget(TObject* Grid, const GridRow<H>& Row, String& Name) {
  if ((Row.Flags & rfNeedsLook) && !HasProperty(Grid, "ControlLook")) return nullptr;
  TObject* o = PropPathOwner(Grid, Row.Path, Name);
  return o && HasProperty(o, Name) ? o : nullptr;
}

bool OwnerAlive(TControl* C) { return C && !(C->ComponentState() & csDestroying); }

template <class H, size_t N>
void SaveRows(H* Handler, TObject* Grid, const GridRow<H> (&Rows)[N]) {
  for (const auto& row : Rows) {
    String name;
    TObject* o = RowTarget(Grid, row, name);
    if (!o || (row.Flags & rfNotSaved)) continue;
    TColor v = TColor(GetOrdPropByName(o, name));
    if ((row.Flags & rfGradient) && v == clNone) v = clBtnFace;
    if ((row.Flags & rfNoneIsWindow) && v == clNone) v = TColor(ColorToRGB(clWindow));
    Handler->*row.Field = (row.Flags & rfRgb) ? TColor(ColorToRGB(v)) : v;
  }
}

template <class H, size_t N>
void WriteRows(H* Handler, TObject* Grid, const GridRow<H> (&Rows)[N], const TacSkinRecords* Skin) {
  for (const auto& row : Rows) {
    String name;
    TObject* o = RowTarget(Grid, row, name);
    if (!o) continue;
    if ((row.Flags & rfParentColor) && GetOrdPropByName(o, "ParentColor") <= 0) continue;
    if (Skin) {
      if constexpr (std::is_same_v<H, TacGridEhWnd>) {
        if ((row.Flags & rfRowsDiffer) && Handler->EvenRowColor == Handler->OddRowColor) continue;
      }
      const TColor v = SkinValue(row.Value, Skin, Handler->SkinData->SkinIndex);
      if (GetOrdPropByName(o, name) != int64_t(v)) SetOrdPropByName(o, name, v);
    } else if (Handler->*row.Field != clNone) {
      SetOrdPropByName(o, name, Handler->*row.Field);
    }
  }
}

}  // namespace

TObject* PropPathOwner(TObject* Obj, const String& Path, String& Name) {
  size_t from = 0;
  for (size_t dot = Path.find('.'); Obj && dot != String::npos; dot = Path.find('.', from)) {
    Obj = GetObjectPropByName(Obj, Path.substr(from, dot - from));
    from = dot + 1;
  }
  Name = Path.substr(from);
  return Obj;
}

// ---- Grids ----

void TacGridWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  if (TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr) SaveRows(this, grid, kGridRows);
}

void TacGridWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  if (grid && skin && !Destroyed) WriteRows(this, grid, kGridRows, skin);
}

void TacGridWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  if (OwnerAlive(grid)) WriteRows(this, grid, kGridRows, nullptr);
}

void TacGridWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d || !d->Skinned()) {
    TacEditWnd::acWndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_ERASEBKGND:
      d->FUpdating = d->GetUpdating();
      M.Result = 1;
      return;
    case WM_VSCROLL:
      if (HasProperty(d->FOwnerControl, "DataSource")) {
        const int code = LOWORD(M.WParam);
        if (code == SB_THUMBPOSITION || code == SB_THUMBTRACK) {
          SCROLLINFO si;
          si.fMask = SIF_ALL;
          GetScrollInfo(CtrlHandle, SB_VERT, &si);
          si.nPos = si.nTrackPos;
          SetScrollInfo(CtrlHandle, SB_VERT, &si, FALSE);
        }
      }
      break;
    case WM_LBUTTONUP:
      if (sBarVert && sBarVert->fScrollVisible) {
        const TRect r = GetVScrollRect(this, CtrlHandle);
        POINT p{};
        GetCursorPos(&p);
        if (p.x >= r.Left && p.x < r.Right && p.y >= r.Top && p.y < r.Bottom) {
          M.Result = HandleScrollLButtonUp(this, CtrlHandle, WPARAM(-1), M.LParam);
          return;
        }
      }
      break;
    case WM_PRINT: {
      TacEditWnd::acWndProc(M);
      HDC dc = reinterpret_cast<HDC>(M.WParam);
      if (Destroyed || !dc) return;
      const int saved = PrintClientOrigin(this, dc);
      SendMessageW(CtrlHandle, WM_PAINT, M.WParam, M.LParam);
      RestoreDC(dc, saved);
      return;
    }
  }
  TacEditWnd::acWndProc(M);
  if (Destroyed) return;
  if (M.Msg == WM_PAINT) {
    UpdateScrolls(this, true);
  } else if (M.Msg == WM_WINDOWPOSCHANGED && IsWindowVisible(CtrlHandle)) {
    ProcessMessage(WM_NCPAINT, 0, 0);
  }
}

// ---- Extended grids ----

void TacGridEhWnd::SaveStdParams() {
  TacGridWnd::SaveStdParams();
  if (TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr) SaveRows(this, grid, kGridEhRows);
}

void TacGridEhWnd::SetSkinParams() {
  TacGridWnd::SetSkinParams();
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  if (!grid || !skin || Destroyed) return;
  WriteRows(this, grid, kGridEhRows, skin);
  NotifyParentForm(grid);
}

void TacGridEhWnd::RestoreStdParams() {
  TacGridWnd::RestoreStdParams();
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  if (OwnerAlive(grid)) WriteRows(this, grid, kGridEhRows, nullptr);
}

void TacGridEhWnd::acWndProc(TMessage& M) {
  TacGridWnd::acWndProc(M);
  if (Destroyed || !SkinData || M.Msg != WM_WINDOWPOSCHANGED || !IsWindowVisible(CtrlHandle)) return;
  if (const auto* pos = reinterpret_cast<const WINDOWPOS*>(M.LParam); pos && (pos->flags & SWP_FRAMECHANGED))
    NotifyParentForm(SkinData->FOwnerControl);
}

// ---- Tree views ----

void TacTreeViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  if (SkinData && SkinData->FOwnerControl) return;
  // A foreign tree keeps its own colours to get back.
  StdColor = TColor(SendMessageW(CtrlHandle, TVM_GETBKCOLOR, 0, 0));
  StdFontColor = TColor(SendMessageW(CtrlHandle, TVM_GETTEXTCOLOR, 0, 0));
}

void TacTreeViewWnd::SkinColors(TColor& Color, TColor& FontColor) {
  TsCommonData* d = SkinData;
  TControl* owner = d->FOwnerControl;
  const TacSkinRecords* skin = d->SkinManager();
  const int state = d->CurrentState() & 0x7F;
  Color = d->CustomColor() ? (owner ? owner->Color() : 0) : SectionColor(skin, d->SkinIndex, false, state);
  FontColor = d->CustomFont() ? (owner ? owner->Font()->Color() : 0) : SectionColor(skin, d->SkinIndex, true, state);
}

void TacTreeViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  if (Destroyed || !SkinData) return;
  if (DlgMode) {
    SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(clWindow)));
    SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(clWindowText)));
    return;
  }
  TColor color, font;
  SkinColors(color, font);
  if (color == clNone) return;
  if (TControl* owner = SkinData->FOwnerControl) {
    if (font != clNone && owner->Font()->Color() != font) owner->Font()->SetColor(font);
    if (owner->Color() == color) return;
  }
  if (SendMessageW(CtrlHandle, TVM_GETBKCOLOR, 0, 0) != LRESULT(LONG(ColorToRGB(color))))
    SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(color)));
}

void TacTreeViewWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  if (!IsWindow(CtrlHandle) || (SkinData && SkinData->FOwnerControl && !OwnerAlive(SkinData->FOwnerControl))) return;
  // The foreign tree's colours come back as read; the default (CLR_NONE) stays the default.
  const auto value = [](TColor c) { return LPARAM(c == TColor(CLR_NONE) ? CLR_NONE : ColorToRGB(c)); };
  SendMessageW(CtrlHandle, TVM_SETBKCOLOR, 0, value(StdColor));
  SendMessageW(CtrlHandle, TVM_SETTEXTCOLOR, 0, value(StdFontColor));
}

void TacTreeViewWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d) {
    TacEditWnd::acWndProc(M);
    return;
  }
  if (M.Msg == WM_ERASEBKGND && !SkipBG) {
    auto* tree = dynamic_cast<TTreeView*>(d->FOwnerControl);
    if ((tree && tree->OnCustomDraw) || !d->Skinned()) {
      Forward(M);
      return;
    }
    M.Result = 1;
    // While the control must not paint, the erase draws nothing.
    if (d->CheckUpdating(false)) return;
    if (d->BGChanged) PrepareCtrlCache(d, CtrlHandle, DlgMode);
    TColor color;
    if (DlgMode) {
      color = clWindow;
    } else if (d->CustomColor()) {
      color = d->FOwnerControl ? d->FOwnerControl->Color() : clWindow;
    } else {
      const bool hot = d->FFocused || (d->FMouseAbove && HasHotState(d, true));
      color = SectionColor(d->SkinManager(), d->SkinIndex, false, hot ? 1 : 0);
    }
    HDC dc = M.WParam ? reinterpret_cast<HDC>(M.WParam) : GetDC(CtrlHandle);
    RECT c{};
    GetClientRect(CtrlHandle, &c);
    HBRUSH b = CreateSolidBrush(ColorToRGB(color));
    FillRect(dc, &c, b);
    DeleteObject(b);
    if (!M.WParam) ReleaseDC(CtrlHandle, dc);
    return;
  }
  TacEditWnd::acWndProc(M);
  if (!Destroyed && M.Msg == WM_LBUTTONUP) ReleaseCapture();
}
