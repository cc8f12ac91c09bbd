#include "skin/controls/acGridTreeWnd.h"

#include <algorithm>

#include "platform/vcl/ComCtrls.h"
#include "skin/controls/acListViewWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMessages.h"

namespace {

constexpr TColor kBlack = 0x000000, kWhite = 0xFFFFFF;

// The skin's colours a grid row takes.
enum class GridValue { Main, LabelText, Border, Grid, FromGradient, MirrorFrom, MirrorTo, Highlight, HighlightText,
                       DataLine, MainNormal, SectionFont };

// One published colour of a grid: the property (a dotted path), whether the
// grid must also publish "ControlLook", where its own value is kept, whether it
// is kept as RGB, whether it is saved at all (a row restored from another's
// value is not), whether it is a gradient colour (clNone kept as clBtnFace),
// and the skin's value.
struct GridRow {
  const char* Path;
  bool NeedsControlLook;
  TColor TacGridWnd::*Field;
  bool Rgb;
  bool Saved;
  bool Gradient;
  GridValue Value;
};

const GridRow kGridRows[] = {
    {"FixedColor", false, &TacGridWnd::FixedColor, true, true, false, GridValue::Main},
    {"TitleFont.Color", false, &TacGridWnd::TitleFontColor, false, true, false, GridValue::LabelText},
    {"FixedFont.Color", true, &TacGridWnd::TitleFontColor, true, true, false, GridValue::LabelText},
    {"GridFixedLineColor", true, &TacGridWnd::GridFixedLineColor, false, true, false, GridValue::Border},
    {"GridLineColor", true, &TacGridWnd::GridLineColor, false, true, false, GridValue::Grid},
    {"ControlLook.FixedGradientFrom", false, &TacGridWnd::FixedGradientFrom, false, true, true, GridValue::FromGradient},
    {"ControlLook.FixedGradientTo", false, &TacGridWnd::FixedGradientTo, false, true, true, GridValue::Main},
    {"ControlLook.FixedGradientMirrorFrom", false, &TacGridWnd::FixedGradientMirrorFrom, false, true, true,
     GridValue::MirrorFrom},
    {"ControlLook.FixedGradientMirrorTo", false, &TacGridWnd::FixedGradientMirrorTo, false, true, true,
     GridValue::MirrorTo},
    {"SelectionColor", true, &TacGridWnd::SelectionColor, false, true, false, GridValue::Highlight},
    {"SelectionTextColor", true, &TacGridWnd::SelectionTextColor, false, true, false, GridValue::HighlightText},
    {"GridStyle.Title.StartColor", false, &TacGridWnd::FixedGradientFrom, false, true, false, GridValue::FromGradient},
    {"GridStyle.Title.EndColor", false, &TacGridWnd::FixedGradientTo, false, true, false, GridValue::Main},
    {"LineColors.FixedColor", false, &TacGridWnd::GridFixedLineColor, false, true, false, GridValue::Border},
    {"LineColors.DataColor", false, &TacGridWnd::GridLineColor, false, true, false, GridValue::DataLine},
    {"LineColors.ShadowColor", false, &TacGridWnd::GridLineColor, false, false, false, GridValue::DataLine},
    {"FooterColor", false, &TacGridWnd::FooterColor, false, true, false, GridValue::MainNormal},
    {"FooterCellColor", false, &TacGridWnd::FooterCellColor, false, true, false, GridValue::MainNormal},
    {"TitleColor", false, &TacGridWnd::TitleColor, false, true, false, GridValue::MainNormal},
    {"IndicatorIconColor", false, &TacGridWnd::IndColor, false, true, false, GridValue::SectionFont},
};

TColor SectionColor(const TacSkinRecords* Skin, int Index, bool Font, int State = 0) {
  if (!Skin || !Skin->IsValidSkinIndex(Index)) return clNone;
  const TsGeneralData& g = Skin->gd[size_t(Index)];
  const auto& p = g.Props[size_t(std::clamp(State, 0, std::clamp(g.States - 1, 0, 2)))];
  return Font ? p.FontColor.Color : p.Color;
}

TColor SkinValue(GridValue V, const TacSkinRecords* S, int SkinIndex) {
  switch (V) {
    case GridValue::Main: return S->Palette[pcMainColor];
    case GridValue::LabelText: return S->Palette[pcLabelText];
    case GridValue::Border: return S->Palette[pcBorder];
    case GridValue::Grid: return S->Palette[pcGrid];
    case GridValue::FromGradient: return MixColors(S->Palette[pcMainColor], S->GetActiveEditColor(), 127);
    case GridValue::MirrorFrom: return MixColors(S->Palette[pcMainColor], kBlack, 243);
    case GridValue::MirrorTo: return MixColors(S->Palette[pcMainColor], kWhite, 230);
    case GridValue::Highlight: return S->GetHighLightColor(true);
    case GridValue::HighlightText: return S->GetHighLightFontColor(true);
    case GridValue::DataLine: return MixColors(S->GetActiveEditColor(), S->GetActiveEditFontColor(), 205);
    case GridValue::MainNormal: return SectionColor(S, S->ConstData.IndexGLobalInfo, false);
    case GridValue::SectionFont: return SectionColor(S, SkinIndex, true);
  }
  return clNone;
}

// The row's property on the grid: its owner object and name; nullptr when the grid lacks it.
TObject* RowTarget(TObject* Grid, const GridRow& Row, String& Name) {
  if (Row.NeedsControlLook && !HasProperty(Grid, "ControlLook")) return nullptr;
  TObject* o = PropPathOwner(Grid, Row.Path, Name);
  return o && HasProperty(o, Name) ? o : nullptr;
}

bool OwnerAlive(TControl* C) { return C && !(C->ComponentState() & csDestroying); }

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
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!grid) return;
  for (const GridRow& row : kGridRows) {
    String name;
    TObject* o = RowTarget(grid, row, name);
    if (!o || !row.Saved) continue;
    TColor v = TColor(GetOrdPropByName(o, name));
    if (row.Gradient && v == clNone) v = clBtnFace;
    this->*row.Field = row.Rgb ? TColor(ColorToRGB(v)) : v;
  }
}

void TacGridWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  if (!grid || !skin || Destroyed) return;
  for (const GridRow& row : kGridRows) {
    String name;
    if (TObject* o = RowTarget(grid, row, name)) {
      const TColor v = SkinValue(row.Value, skin, SkinData->SkinIndex);
      if (GetOrdPropByName(o, name) != int64_t(v)) SetOrdPropByName(o, name, v);
    }
  }
}

void TacGridWnd::RestoreStdParams() {
  TacEditWnd::RestoreStdParams();
  TControl* grid = SkinData ? SkinData->FOwnerControl : nullptr;
  if (!OwnerAlive(grid)) return;
  for (const GridRow& row : kGridRows) {
    String name;
    if (TObject* o = RowTarget(grid, row, name); o && this->*row.Field != clNone)
      SetOrdPropByName(o, name, this->*row.Field);
  }
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
