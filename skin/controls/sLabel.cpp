// Skinned labels: section and caption colours from the skin, HTML captions
// with links that open through the platform's launcher.

#include "skin/controls/sLabel.h"

#include <algorithm>

#include "platform/os/System.h"
#include "platform/vcl/TypInfo.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"

namespace {

// Set while one label of the library handles a font change (its new size changes fonts of others).
bool FontChanging = false;

bool Active(const TacSkinRecords* M) { return M && M->CommonSkinData.Active; }

}  // namespace

// ---- Plain skinned labels ----

TsCustomLabel::TsCustomLabel(TComponent* AOwner) : TCustomLabel(AOwner) { SetTransparent(true); }

void TsCustomLabel::SetSkinSection(const String& Value) {
  if (Value == FSkinSection) return;
  FSkinIndex = -1;
  FSkinSection = Value;
  Invalidate();
}

const TacSkinRecords* TsCustomLabel::SkinManager() const { return FSkinManager ? FSkinManager : DefaultManager; }

void TsCustomLabel::SetSkinManager(const TacSkinRecords* Value) {
  if (Value == FSkinManager) return;
  FSkinManager = Value;
  Invalidate();
}

bool TsCustomLabel::SkinActive() const { return Active(SkinManager()); }

int TsCustomLabel::CurrentSkinIndex() {
  const TacSkinRecords* m = SkinManager();
  if (!Active(m)) return -1;
  if (!FSkinSection.empty() && FSkinIndex < 0) FSkinIndex = m->GetSkinIndex(FSkinSection);
  return FSkinIndex;
}

TCacheInfo TsCustomLabel::ParentBgCacheInfo() {
  TacBackgroundInfo info;
  info.R = TRect(0, 0, Width(), Height());
  QueryParentBgInfo(info, Parent(), false);
  return CacheInfoFromBgInfo(info);
}

TColor TsCustomLabel::GetCurrentColor() {
  const TacSkinRecords* m = SkinManager();
  const TColor c = Active(m) ? m->Palette[pcLabelText] : Font()->Color();
  if (Enabled() || !m) return c;
  return MixColors(TColor(ColorToRGB(c)), TColor(ColorToRGB(m->Palette[pcMainColor])), 100);
}

void TsCustomLabel::Paint() {
  if (ComponentState() & csDestroying) return;
  const int idx = CurrentSkinIndex();
  if (idx >= 0)
    PaintSectionToDC(idx, ParentBgCacheInfo(), SkinManager(), Canvas()->Handle(), TPoint(Left(), Top()),
                     TRect(0, 0, Width(), Height()), 0);
  TCustomLabel::Paint();
  FSkinIndex = -1;
}

void TsCustomLabel::DoDrawText(TRect& Rect, UINT Flags) {
  String text = Caption();
  if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar() && text == "&"))) text += " ";
  if (!ShowAccelChar()) Flags |= DT_NOPREFIX;
  Flags |= AlignmentToDrawText(Alignment());
  if (WordWrap()) Flags |= DT_WORDBREAK;
  const bool own = !Canvas()->HandleAllocated();
  HDC dc = own ? CreateCompatibleDC(nullptr) : Canvas()->Handle();
  HGDIOBJ old = SelectObject(dc, GetCurrentFont()->Handle());
  SetBkMode(dc, TRANSPARENT);
  // No embossed look: a disabled label differs by its colour only.
  SetTextColor(dc, ColorToRGB(GetCurrentColor()));
  RECT r = Rect;
  DrawText(dc, text.c_str(), -1, &r, Flags);
  SelectObject(dc, old);
  if (own) DeleteDC(dc);
  Rect = TRect(r);
}

void TsCustomLabel::WndProc(TMessage& M) {
  switch (M.Msg) {
    case CM_FONTCHANGED:
      if ((ComponentState() & (csLoading | csDestroying)) || FontChanging) return;
      FontChanging = true;
      if (AutoSize()) AdjustBounds();
      FontChanging = false;
      Invalidate();
      return;
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      break;
  }
  TCustomLabel::WndProc(M);
  if (M.Msg == CM_MOUSELEAVE && OnMouseLeave) OnMouseLeave(this);
  if (M.Msg != WM_SKINCOMMAND || (ComponentState() & (csDestroying | csDesigning))) return;
  switch (SkinCommandOf(M)) {
    case SKC_SKINREMOVED:
      if (FSavedParentFont) SetParentFont(true);
      FSkinIndex = -1;
      Invalidate();
      break;
    case SKC_SKINLOADED:
      if (ParentFont()) FSavedParentFont = true;
      FSkinIndex = -1;
      Invalidate();
      break;
    case SKC_GETSTATESKIN:
      if (SkinActive() && Parent() && M.LParam)
        M.Result = ForwardStateQuery(Parent(), *reinterpret_cast<TacStateQuery*>(M.LParam));
      break;
  }
}

// ---- Labels that may keep their own colour ----

TColor GetLabelTextColor(TsLabel* Label, int SkinIndex, const TacSkinRecords* Manager, int State) {
  TColor c = Label->Font()->Color();
  bool resolved = false;
  int idx = SkinIndex;
  const bool see = !Manager || !Manager->IsValidSkinIndex(idx) ||
                   Manager->gd[size_t(idx)].Props[size_t(std::clamp(State, 0, 2))].Transparency >= 40;
  if (State == 0 && see) {
    idx = -1;
    if (TWinControl* p = Label->Parent()) {
      TacStateQuery q;
      q.R = Bounds(Label->Left(), Label->Top(), Label->Width(), Label->Height());
      if (SendSkinCommandToControl(p, SKC_GETSTATESKIN, LPARAM(&q)) == 0) {
        c = p->Font()->Color();
        resolved = true;
      } else {
        idx = q.SkinIndex;
      }
    } else {
      resolved = true;
    }
  }
  if (!resolved && Active(Manager)) {
    if (Manager->IsValidSkinIndex(idx)) {
      const TsGeneralData& g = Manager->gd[size_t(idx)];
      c = g.Props[size_t(std::clamp(std::min(State, g.States - 1), 0, 2))].FontColor.Color;
    } else {
      c = Manager->Palette[pcLabelText];
    }
  }
  if (!Label->Enabled() && Label->Parent())
    c = MixColors(TColor(ColorToRGB(c)), ControlBgColor(Label->Parent()), 100);
  return c;
}

TColor TsLabel::GetCurrentColor() {
  const TacSkinRecords* m = SkinManager();
  if (UseSkinColor && Active(m)) return GetLabelTextColor(this, CurrentSkinIndex(), m, 0);
  const TColor c = Font()->Color();
  if (Enabled()) return c;
  return MixColors(TColor(ColorToRGB(c)), TColor(ColorToRGB(ControlBgColor(Parent()))), 100);
}

// ---- HTML labels ----

TsHTMLLabel::TsHTMLLabel(TComponent* AOwner) : TsLabel(AOwner) {}

void TsHTMLLabel::SetUseHTML(bool Value) {
  if (Value == FUseHTML) return;
  FUseHTML = Value;
  Invalidate();
}

String TsHTMLLabel::PlainCaption() const {
  String s = const_cast<TsHTMLLabel*>(this)->Caption();
  for (;;) {
    const size_t p = s.find('<');
    if (p == String::npos || p + 1 >= s.size()) break;
    const size_t q = s.find('>', p);
    if (q == String::npos) break;
    s.erase(p, q - p + 1);
  }
  return s;
}

void TsHTMLLabel::DoDrawText(TRect& Rect, UINT Flags) {
  if (!FUseHTML) return TsLabel::DoDrawText(Rect, Flags);
  const String text = Caption();
  if (text.empty()) return;
  TsHtml html;
  auto bmp = NewBitmap32(std::max(Width(), 1), std::max(Height(), 1));
  TCanvas* c = bmp->Canvas();
  c->Font()->Assign(Font());
  c->Brush()->SetStyle(bsClear);
  c->Font()->SetColor(GetCurrentColor());
  const TacSkinRecords* m = SkinManager();
  html.SkinPalette = Active(m) ? &m->Palette : nullptr;
  if (Flags & DT_CALCRECT) {
    html.Init(bmp.get(), text, TRect(0, 0, 0, 0), HotLink, PressedLink);
    Rect = html.HTMLText(Links, true);
    return;
  }
  html.Init(bmp.get(), text, Rect, HotLink, PressedLink);
  if (Alignment() != taLeftJustify) {
    TacLinks measured;
    const int w = html.HTMLText(measured, true).Right - Rect.Left;
    TRect area = Rect;
    area.Left = Alignment() == taRightJustify ? Rect.Right - w : (Rect.Width() - w) / 2;
    area.Right = area.Left + w;
    html.Area = area;
    html.CurX = area.Left;
    html.CurY = area.Top;
  }
  HDC dc = Canvas()->Handle();
  BitBlt(c->Handle(), 0, 0, Width(), Height(), dc, 0, 0, SRCCOPY);
  html.HTMLText(Links, false);
  BitBlt(dc, 0, 0, Width(), Height(), c->Handle(), 0, 0, SRCCOPY);
}

int TsHTMLLabel::LinkAtCursor(const TPoint& P) const {
  for (size_t i = 0; i < Links.size(); ++i)
    if (Links[i].Bounds.Contains(P)) return int(i);
  return -1;
}

void TsHTMLLabel::DoClick(int LinkIndex) {
  if (LinkIndex < 0 || LinkIndex >= int(Links.size())) return;
  String link = Links[size_t(LinkIndex)].URL;
  bool defaultAction = true;
  if (OnLinkClick) OnLinkClick(this, link, defaultAction);
  if (link.empty() || !defaultAction) return;
  // A launcher that fails says nothing here.
  if (LabelLinkOpener)
    LabelLinkOpener(link, ShowMode);
  else
    ShellOpen(link);
}

void TsHTMLLabel::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_MOUSEMOVE: {
      const int i = LinkAtCursor(TPoint(GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)));
      if (i < 0) {
        if (HotLink >= 0) {
          HotLink = -1;
          HandCursor = false;
          Invalidate();
        }
      } else if (i != HotLink) {
        HotLink = i;
        HandCursor = true;
        Invalidate();
      }
      break;
    }
    case WM_LBUTTONDOWN:
      if (HotLink >= 0) {
        PressedLink = HotLink;
        Invalidate();
      }
      break;
    case WM_LBUTTONUP:
      if (!LinkClicking && PressedLink >= 0) {
        LinkClicking = true;
        if (HotLink >= 0) DoClick(PressedLink);
        PressedLink = -1;
        LinkClicking = false;
        Invalidate();
      }
      break;
    case WM_MOUSELEAVE:
    case CM_MOUSELEAVE:
      if (HotLink >= 0 || PressedLink >= 0) {
        HotLink = PressedLink = -1;
        HandCursor = false;
        Invalidate();
      }
      break;
  }
  TsLabel::WndProc(M);
}

TsEditLabel::~TsEditLabel() {
  if (BoundLabel) BoundLabel->LabelDestroyed();
}

// ---- Registration ----

void RegisterLabelClasses() {
  RegisterPropertyClass<TsCustomLabel, TCustomLabel>(
      "TsCustomLabel", {StrProp<TsCustomLabel>(
                           "SkinSection", [](TsCustomLabel* l) { return l->SkinSection(); },
                           [](TsCustomLabel* l, const String& v) { l->SetSkinSection(v); })});
  RegisterPropertyClass<TsLabel, TsCustomLabel>(
      "TsLabel", {BoolProp<TsLabel>("UseSkinColor", [](TsLabel* l) { return l->UseSkinColor; },
                                    [](TsLabel* l, bool v) { l->UseSkinColor = v; })});
  RegisterPropertyClass<TsHTMLLabel, TsLabel>(
      "TsHTMLLabel", {BoolProp<TsHTMLLabel>("UseHTML", [](TsHTMLLabel* l) { return l->UseHTML(); },
                                            [](TsHTMLLabel* l, bool v) { l->SetUseHTML(v); })});
  RegisterPropertyClass<TsEditLabel, TsHTMLLabel>("TsEditLabel", {});
}

namespace {
// Window definitions find the edit label by name from the start.
const bool kLabelsRegistered = (RegisterLabelClasses(), true);
}  // namespace
