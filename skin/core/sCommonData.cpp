#include "skin/core/sCommonData.h"

#include <algorithm>
#include <bitset>
#include <initializer_list>
#include <utility>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acGlow.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sFade.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"

namespace {

using KindSet = std::bitset<256>;

KindSet MakeKinds(std::initializer_list<std::pair<int, int>> Ranges) {
  KindSet s;
  for (auto [a, b] : Ranges)
    for (int i = a; i <= b; ++i) s.set(size_t(i));
  return s;
}

const KindSet kHoverSelf = MakeKinds({{19, 19}, {51, 74}, {110, 110}, {141, 161}});
const KindSet kHoverOptional = MakeKinds({{2, 18}, {76, 85}, {132, 140}, {231, 231}});
const KindSet kNoHoverBg = MakeKinds({{51, 51}, {54, 54}, {56, 59}, {74, 74}, {110, 110}, {141, 141}, {143, 143},
                                      {151, 151}, {161, 161}, {226, 226}});
const KindSet kStateColors = MakeKinds({{2, 18}, {76, 84}, {132, 140}, {231, 231}});
const KindSet kFrameOnSkin = MakeKinds({{7, 8}, {10, 10}, {14, 14}, {78, 78}, {83, 83}, {85, 85}, {231, 231}});
const KindSet kNoGlowOnEnter = MakeKinds({{92, 94}});
// Kinds that keep an empty section and ask their owner for the index (skin command 9).
const KindSet kAskOwner = MakeKinds({{2, 10}, {12, 14}, {32, 34}, {51, 51}, {53, 54}, {57, 59}, {74, 76}, {78, 78},
                                     {81, 85}, {92, 94}, {132, 141}, {143, 143}, {151, 151}, {161, 161},
                                     {165, 165}, {226, 227}});

bool InSet(const KindSet& S, int COC) { return COC >= 0 && COC < 256 && S.test(size_t(COC)); }

const char* DefaultSectionOf(int COC) {
  switch (COC) {
    case 18: return "COMBOBOX";
    case 19: return "BAR";
    case 20: return "BARTITLE";
    case 50:
    case 152: return "CHECKBOX";
    case 56: return "DRAGBAR";
    case 98: return "TOOLBUTTON";
    case 230: return "EDIT";
    default: return nullptr;
  }
}

bool IsDestroying(const TObject* O) {
  auto* c = dynamic_cast<const TComponent*>(O);
  return c && (c->ComponentState() & csDestroying);
}

bool IsLoadingOrDestroying(const TComponent* C) { return C && (C->ComponentState() & (csLoading | csDestroying)); }

bool AppTerminating() { return Application && Application->Terminated(); }

}  // namespace

bool IsHoverSelfKind(int COC) { return InSet(kHoverSelf, COC); }
bool IsHoverOptionalKind(int COC) { return InSet(kHoverOptional, COC); }
bool IsNoHoverBgKind(int COC) { return InSet(kNoHoverBg, COC); }
bool IsStateColorsKind(int COC) { return InSet(kStateColors, COC); }
bool IsFrameOnSkinKind(int COC) { return InSet(kFrameOnSkin, COC); }
bool IsNoGlowOnEnterKind(int COC) { return InSet(kNoGlowOnEnter, COC); }

// ---- Companions ----

void TacScrollData::SetScrollValue(int Index, int Value) {
  int& field = Index == 0 ? FScrollWidth : FButtonsSize;
  if (field == Value) return;
  field = Value;
  auto* wc = FOwner ? dynamic_cast<TWinControl*>(FOwner->FOwnerControl) : nullptr;
  if (!wc || !wc->HandleAllocated() || (wc->ComponentState() & csLoading)) return;
  if (Index == 1)
    SendSkinMessage(wc->Handle(), WM_NCPAINT, 0, 0);
  else
    SetWindowPos(wc->Handle(), nullptr, 0, 0, 0, 0, 0x727);
}

void TacOuterEffects::SetVisibility(TacOuterVisibility Value) {
  if (Value == FVisibility) return;
  FVisibility = Value;
  if (FOwner && !(FOwner->FOwnerControl && (FOwner->FOwnerControl->ComponentState() & csLoading))) Invalidate();
}

void TacOuterEffects::Invalidate() {
  TControl* c = FOwner ? FOwner->FOwnerControl : nullptr;
  TWinControl* p = c ? c->Parent() : nullptr;
  if (!p || !p->HandleAllocated() || IsLoadingOrDestroying(p)) return;
  SendSkinCommand(p->Handle(), SKC_INVALIDATE);
  FOwner->Invalidate(false);
}

// ---- Construction and links ----

TsCommonData::TsCommonData(TObject* AOwner, bool CreateCacheBmp)
    : FOuterEffects(std::make_unique<TacOuterEffects>(this)),
      FOwnerObject(AOwner),
      FOwnerControl(dynamic_cast<TControl*>(AOwner)) {
  if (auto* wc = dynamic_cast<TWinControl*>(FOwnerControl)) WndProc = wc->WindowProc;
  if (CreateCacheBmp) FCacheBmp = NewBitmap32(0, 0);
  InitCommonProp();
}

TsCommonData::~TsCommonData() {
  HideGlow(GlowID, false);
  RemoveCommonProp();
  SkinIndex = -1;
  FSkinManager = nullptr;
  ClearLinks();
  if (AnimTimer && !AnimTimer->Destroyed) {
    TacThreadedTimer* t = std::exchange(AnimTimer, nullptr);
    delete t;
  }
}

HWND TsCommonData::OwnerHandle() const {
  if (!FOwnerControl || IsDestroying(FOwnerControl)) return FSWHandle;
  if (auto* wc = dynamic_cast<TWinControl*>(FOwnerControl); wc && wc->HandleAllocated()) return wc->Handle();
  return nullptr;
}

void TsCommonData::InitCommonProp() {
  HWND wnd = OwnerHandle();
  if (!wnd) return;
  if (!WndProc)
    if (auto* wc = dynamic_cast<TWinControl*>(FOwnerControl)) WndProc = wc->WindowProc;
  SetPropW(wnd, kSkinDataProp, HANDLE(this));
}

void TsCommonData::RemoveCommonProp() {
  if (AppTerminating()) return;
  HWND wnd = OwnerHandle();
  if (wnd && GetPropW(wnd, kSkinDataProp) == HANDLE(this)) RemovePropW(wnd, kSkinDataProp);
}

void TsCommonData::ClearLinks() {
  FOwnerControl = nullptr;
  FOwnerObject = nullptr;
  FSWHandle = nullptr;
}

LRESULT TsCommonData::OwnerCommand(int Cmd, WPARAM Low, LPARAM LParam) {
  if (FOwnerControl) return FOwnerControl->Perform(WM_SKINCOMMAND, SkinCommandWParam(Cmd, int(Low)), LParam);
  if (!WndProc) return 0;
  TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(Cmd, int(Low)), LParam);
  WndProc(m);
  return m.Result;
}

bool TsCommonData::OwnerBusy() const { return IsLoadingOrDestroying(FOwnerControl); }

int TsCommonData::ClampState(int State) const {
  const TacSkinRecords* skin = SkinManager();
  const int states = skin && skin->IsValidSkinIndex(SkinIndex) ? skin->gd[size_t(SkinIndex)].States : 1;
  return std::clamp(std::min(State, states - 1), 0, 2);
}

void TsCommonData::EmptyCache() {
  if (FCacheBmp) FCacheBmp->SetSize(0, 0);
}

// ---- Properties ----

void TsCommonData::SetSkinSection(const String& Value) {
  if (Value == FSkinSection) return;
  HideGlow(GlowID, false);
  FSkinSection = AnsiUpperCase(Value);
  const TacSkinRecords* skin = SkinManager();
  if (skin && !skin->gd.empty()) {
    UpdateIndexes(true);
  } else {
    SkinIndex = -1;
    BorderIndex = -1;
  }
  TControl* c = FOwnerControl;
  if (!c || !c->Parent() || IsLoadingOrDestroying(c) || c->ControlState.Contains(csReadingState)) return;
  if (auto* wc = dynamic_cast<TWinControl*>(c)) {
    EmptyCache();
    TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_BGCHANGED, 1), 0);
    BroadcastToChildren(wc, m);
  }
  if (FUpdating || Loading) {
    if (!Loading) ApplyStateColors(false);
    return;
  }
  if (SkinManager() && SkinManager()->IsValidSkinIndex(SkinIndex))
    c->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINLOADED, 1), LPARAM(SkinManager()));
  else
    c->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINREMOVED), LPARAM(SkinManager()));
}

void TsCommonData::SetSkinManager(const TacSkinRecords* Value) {
  FSkinManager = Value == DefaultManager ? nullptr : Value;
  TControl* c = FOwnerControl;
  if (!(c && (c->ComponentState() & csLoading))) {
    if (SkinManager() && !SkinManager()->gd.empty())
      UpdateIndexes(true);
    else
      SkinIndex = -1;
  }
  if (!c || !c->Parent() || IsDestroying(c)) return;
  const bool valid = SkinManager() && SkinManager()->IsValidSkinIndex(SkinIndex);
  c->Perform(WM_SKINCOMMAND, SkinCommandWParam(valid ? SKC_SKINLOADED : SKC_SKINREMOVED), LPARAM(SkinManager()));
}

void TsCommonData::SetCustomProp(int Index, bool Value) {
  bool& flag = Index == 0 ? FCustomColor : FCustomFont;
  if (flag == Value) return;
  TControl* c = FOwnerControl;
  if (c && !Loading && !(c->ComponentState() & csLoading)) {
    TColor& saved = Index == 0 ? SavedColor : SavedFontColor;
    if (Value) {
      if (saved != kNoColorTone) {
        if (Index == 0)
          c->SetColor(saved);
        else
          c->Font()->SetColor(saved);
      }
    } else {
      saved = Index == 0 ? c->Color() : c->Font()->Color();
    }
  }
  flag = Value;
  UpdateSkinColors(true);
}

template <class T>
void TsCommonData::SetTransform(T& Field, T Value) {
  if (Value == Field) return;
  Field = Value;
  Loaded(true);
  Invalidate(false);
}

void TsCommonData::SetColorTone(TColor Value) { SetTransform(FColorTone, Value); }
void TsCommonData::SetHUEOffset(int Value) { SetTransform(FHUEOffset, Value); }
void TsCommonData::SetSaturation(int Value) { SetTransform(FSaturation, Value); }

// ---- Indexes ----

void TsCommonData::UpdateIndexes(bool UpdateMain) {
  BGChanged = true;
  const TacSkinRecords* skin = SkinManager();
  if (UpdateMain) {
    if (!skin || !skin->CommonSkinData.Active) {
      SkinIndex = -1;
    } else if (!FSkinSection.empty()) {
      SkinIndex = skin->GetSkinIndex(FSkinSection);
    } else if (auto* wc = dynamic_cast<TWinControl*>(FOwnerControl); wc && wc->HandleAllocated()) {
      SkinIndex = int(SendSkinCommand(wc->Handle(), SKC_GETSKININDEX)) - 1;
    } else if (FOwnerControl) {
      SkinIndex = int(FOwnerControl->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_GETSKININDEX), 0)) - 1;
    } else {
      SkinIndex = -1;
    }
  }
  UpdateBGType();
  BorderIndex = skin && skin->IsValidSkinIndex(SkinIndex) ? skin->gd[size_t(SkinIndex)].BorderIndex : -1;
}

void TsCommonData::UpdateBGType() {
  BGType = 0;
  const TacSkinRecords* skin = SkinManager();
  if (!skin || !skin->IsValidSkinIndex(SkinIndex)) return;
  const TsGenState& st = skin->gd[size_t(SkinIndex)].Props[0];
  if (!st.GradientArray.empty()) {
    const int mode = st.GradientArray[0].Mode;
    if (st.GradientPercent >= 1 || (mode & 0x20)) {
      static constexpr uint16_t kByMode[3] = {0x02, 0x01, 0x03};
      if ((mode & 3) < 3) BGType |= kByMode[mode & 3];
    }
  }
  if (st.ImagePercent > 0 && st.TextureIndex >= 0 && skin->IsValidImgIndex(st.TextureIndex)) {
    const int dm = skin->ma[size_t(st.TextureIndex)].DrawMode;
    auto in = [dm](std::initializer_list<int> l) { return std::find(l.begin(), l.end(), dm) != l.end(); };
    if (in({1, 4, 5, 8, 9, 11, 12})) BGType |= 0x04;
    if (in({0, 1, 3, 5, 10, 12})) BGType |= 0x10;
    if (in({0, 1, 2, 4, 10, 11})) BGType |= 0x20;
    if (in({0, 1, 7, 9, 10, 12})) BGType |= 0x40;
    if (in({0, 1, 6, 8, 10, 11})) BGType |= 0x80;
  }
}

void TsCommonData::InitSkinSection() {
  if (!FSkinSection.empty()) {
    UpdateIndexes(true);
  } else if (const char* def = DefaultSectionOf(COC)) {
    SetSkinSection(def);
  } else if (InSet(kAskOwner, COC) || !FOwnerObject) {
    UpdateIndexes(true);
  } else {
    SetSkinSection(FOwnerObject->ClassName());
  }
}

void TsCommonData::SelectSection(const std::vector<String>& Names) {
  const TacSkinRecords* skin = SkinManager();
  if (!skin) {
    SkinIndex = -1;
    return;
  }
  for (const String& n : Names) {
    if (n.empty()) continue;
    const int i = skin->GetSkinIndex(n);
    if (i >= 0) {
      SkinIndex = i;
      break;
    }
  }
  UpdateIndexes(false);
}

void TsCommonData::Loaded(bool UpdateColors) {
  Loading = false;
  InitSkinSection();
  TControl* c = FOwnerControl;
  if (Skinned() && c && c->Parent() && !(c->ComponentState() & csLoading)) {
    if (dynamic_cast<TWinControl*>(c)) NotifyParentForm(c);
    if (UpdateColors) UpdateSkinColors(false);
  }
  InitCommonProp();
}

// ---- Painting state ----

void TsCommonData::BeginUpdate() {
  ++FUpdateCount;
  FUpdating = true;
  CtrlSkinState |= ACS_LOCKED;
  OwnerCommand(SKC_BEGINUPDATE);
}

void TsCommonData::EndUpdate(bool Repaint) {
  // The flag goes at the first call even when nested; only the outermost call tells the owner and repaints.
  --FUpdateCount;
  FUpdating = false;
  CtrlSkinState &= ~ACS_LOCKED;
  if (FUpdateCount > 0) return;
  OwnerCommand(SKC_ENDUPDATE);
  if (Repaint) Invalidate(true);
}

bool TsCommonData::GetUpdating() const {
  const TacSkinRecords* skin = SkinManager();
  if (!skin) return false;
  if (FUpdating) return true;
  if (FOwnerControl) {
    if (IsDestroying(FOwnerControl)) return false;
    if (FOwnerControl->Parent()) return QuerySkinCommand(FOwnerControl->Parent(), SKC_ISUPDATING) != 0;
  }
  return false;
}

bool TsCommonData::CheckUpdating(bool ClearFirst) {
  if (ClearFirst) FUpdating = false;
  if (GetUpdating()) {
    FUpdating = true;
    return true;
  }
  return false;
}

void TsCommonData::Invalidate(bool UpdateNow) {
  BGChanged = true;
  if (Loading || !FOwnerControl) return;
  if (OwnerBusy() || !ControlIsPaintable(FOwnerControl)) return;
  if (auto* wc = dynamic_cast<TWinControl*>(FOwnerControl)) {
    if (wc->HandleAllocated()) RedrawWindow(wc->Handle(), nullptr, nullptr, UpdateNow ? 0x585 : 0x485);
  } else if (COC == 92) {
    FOwnerControl->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_INVALIDATE), 0);
  } else {
    FOwnerControl->Repaint();
  }
}

bool TsCommonData::Skinned(bool CheckSkinActive) const {
  const TacSkinRecords* skin = SkinManager();
  if (!skin || !skin->IsValidSkinIndex(SkinIndex) || IsDestroying(FOwnerObject)) return false;
  return !CheckSkinActive || skin->CommonSkinData.Active;
}

bool TsCommonData::RepaintIfMoved() const {
  if (!Skinned() || !FOwnerControl || !FOwnerControl->Enabled()) return true;
  const TsGenState& st = SkinManager()->gd[size_t(SkinIndex)].Props[0];
  TWinControl* p = FOwnerControl->Parent();
  if (st.Transparency > 0 && p && p->HandleAllocated()) return QuerySkinCommand(p, SKC_COMPLEXBG) != 0;
  return false;
}

void TsCommonData::PrepareCacheBmp() {
  if (!FCacheBmp)
    FCacheBmp = NewBitmap32(0, 0);
  else if (FCacheBmp->PixelFormat() != pf32bit)
    FCacheBmp->SetPixelFormat(pf32bit);
  if (FOwnerControl) {
    const int w = std::max(FOwnerControl->Width(), 0), h = std::max(FOwnerControl->Height(), 0);
    if (FCacheBmp->Width() != w || FCacheBmp->Height() != h) FCacheBmp->SetSize(w, h);
  }
}

bool TsCommonData::AnimationRunning() const { return AnimTimer && AnimTimer->Enabled(); }

void TsCommonData::KillAnimation() {
  if (!AnimTimer || AnimTimer->Destroyed) return;
  AnimTimer->SetEnabled(false);
  AnimTimer->State = -1;
  AnimTimer->BmpTo.reset();
  AnimTimer->BmpFrom.reset();
  AnimTimer->BmpOut.reset();
}

namespace {
// The part of a window on screen that its DC may draw (screen coordinates).
TRect VisibleScreenRect(HWND Wnd) {
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  HDC dc = GetWindowDC(Wnd);
  RECT clip;
  const int kind = GetClipBox(dc, &clip);
  ReleaseDC(Wnd, dc);
  if (kind != ERROR && kind != NULLREGION) {
    OffsetRect(&clip, wr.left, wr.top);
    IntersectRect(&wr, &wr, &clip);
  }
  return wr;
}
}  // namespace

void TsCommonData::UpdateGlow(bool KeepExisting, HWND Wnd, int ASkinIndex, bool Animate, int Alpha) {
  const TacSkinRecords* skin = SkinManager();
  if (ASkinIndex < 0) ASkinIndex = SkinIndex;
  if (!EffectsAllowGlowing || !skin || !skin->IsValidSkinIndex(ASkinIndex) || NoMouseHover || GetCapture() ||
      skin->gd[size_t(ASkinIndex)].GlowCount < 1)
    return;
  const TsGeneralData& section = skin->gd[size_t(ASkinIndex)];
  if (!FOwnerControl) {
    // A window without a framework control.
    if (FMouseAbove && !KeepExisting) {
      if (GlowID < 0 && Wnd)
        GlowID = ShowGlow(VisibleScreenRect(Wnd), FSkinSection, "GLOW", section.GlowMargin, Alpha, Wnd, this);
    } else {
      HideGlow(GlowID, false);
    }
    return;
  }
  if (!FMouseAbove) {
    HideGlow(GlowID, Animate);
    return;
  }
  if (FOwnerControl->ControlState.Contains(csLButtonDown) || (KeepExisting && GlowID >= 0)) return;
  // The glow stays above the form (or the control the form is embedded in).
  HWND parentWnd = Wnd;
  if (TCustomForm* form = FOwnerControl->GetParentForm()) {
    TWinControl* host = form->Parent() ? form->Parent() : form;
    parentWnd = TopParentWindow(host->Handle());
  }
  if (!EffectsAllowAnimation) Animate = false;
  if (GlowID < 0) {
    TRect r;
    String name;
    if (auto* wc = dynamic_cast<TWinControl*>(FOwnerControl)) {
      if (!wc->HandleAllocated()) return;
      r = VisibleScreenRect(wc->Handle());
      name = section.ClassName;
    } else if (TWinControl* parent = FOwnerControl->Parent(); parent && parent->HandleAllocated()) {
      const TPoint o = parent->ClientOrigin();
      RECT rr = FOwnerControl->BoundsRect();
      OffsetRect(&rr, o.X, o.Y);
      const RECT visible = VisibleScreenRect(parent->Handle());
      IntersectRect(&rr, &rr, &visible);
      r = rr;
      name = FSkinSection;
    } else {
      return;
    }
    GlowID = ShowGlow(r, name, "GLOW", section.GlowMargin, Animate ? 0 : Alpha, parentWnd, this);
  }
  if (Animate && GlowID >= 0) {
    BGChanged = false;
    AnimateStateChange(this, 1, &GlowFadeStep, true, false, false);
  }
}

bool TsCommonData::SizeChangeNeedsRepaint() const {
  return ((CtrlSkinState & ACS_CHANGING_WIDTH) && (BGType & 0xA5)) ||
         ((CtrlSkinState & ACS_CHANGING_HEIGHT) && (BGType & 0x56));
}

bool TsCommonData::OuterEffectsAllowed() const {
  // Outer effects are a manager option that no manager switches on yet.
  return false;
}

// ---- Colours and states ----

int TsCommonData::CurrentState() const {
  TControl* c = FOwnerControl;
  if (!c || (c->ComponentState() & (csLoading | csDestroying)) || !c->Enabled()) return 0;
  if (FFocused) return 1;
  if (auto* wc = dynamic_cast<TWinControl*>(c); wc && wc->HandleAllocated() && GetFocus() == wc->Handle())
    return c->ClassName() == "TCustomPanel" || c->ClassName() == "TPanel" ? 0 : 1;
  if (!FMouseAbove || NoMouseHover) return 0;
  if (IsHoverSelfKind(COC)) return 0;
  if (IsHoverOptionalKind(COC)) return HotEditsAllowed ? 1 : 0;
  return 1;
}

TColor TsCommonData::GetControlColor(int State, HWND Wnd) const {
  if (!Skinned()) {
    if (FOwnerControl) return FOwnerControl->Color();
    return clBtnFace;
  }
  const TsGeneralData& g = SkinManager()->gd[size_t(SkinIndex)];
  const TsGenState& st = g.Props[State > 0 && g.States > 1 ? 1 : 0];
  const TColor c = st.Color;
  const int t = st.Transparency;
  if (t == 0) return FCustomColor && FOwnerControl ? FOwnerControl->Color() : c;
  TColor parent = clNone;
  if (FOwnerControl && FOwnerControl->Parent())
    parent = ControlBgColor(FOwnerControl->Parent());
  else if (!FOwnerControl && Wnd && GetParent(Wnd))
    parent = ControlBgColorOfWnd(GetParent(Wnd));
  if (t == 100) return parent != clNone ? parent : c;
  if (parent == clNone) return FOwnerControl || Wnd ? c : clBtnFace;
  return MixColors(c, parent, uint8_t(t * 255 / 100));
}

void TsCommonData::UpdateSkinColors(bool DoInvalidate) {
  TControl* c = FOwnerControl;
  if (!c) return;
  auto* wc = dynamic_cast<TWinControl*>(c);
  if (wc && !wc->HandleAllocated()) return;
  if (Skinned() && IsStateColorsKind(COC)) {
    const TsGeneralData& g = SkinManager()->gd[size_t(SkinIndex)];
    if (g.Props[0].Transparency != 100 || g.Props[1].Transparency != 100) {
      const TColor color = ControlTextColor(g.Props[0].Color, *this);
      if (!FCustomColor && c->Color() != color) c->SetColor(color);
      if (!FCustomFont && (COC != 10 || HotEditsAllowed)) {
        const TColor font = ControlTextColor(g.Props[0].FontColor.Color, *this);
        if (c->Font()->Color() != font) {
          CtrlSkinState |= ACS_FONTCHANGING;
          c->Font()->SetColor(font);
          CtrlSkinState &= ~ACS_FONTCHANGING;
        }
      }
    }
  }
  if (DoInvalidate) Invalidate(true);
}

void TsCommonData::ApplyStateColors(bool Silent) {
  TControl* c = FOwnerControl;
  const TacSkinRecords* skin = SkinManager();
  if (!c || !skin || !skin->IsValidSkinIndex(SkinIndex)) return;
  auto* wc = dynamic_cast<TWinControl*>(c);
  const bool lock = !Silent && c->Visible() && wc && wc->HandleAllocated();
  if (lock) SendMessageW(wc->Handle(), WM_SETREDRAW, 0, 0);
  const TsGenState& st = skin->gd[size_t(SkinIndex)].Props[size_t(ClampState(CurrentState() & 0x7F))];
  if (!FCustomColor) c->SetColor(st.Color);
  if (!FCustomFont && c->Font()->Color() != st.FontColor.Color) {
    CtrlSkinState |= ACS_FONTCHANGING;
    c->Font()->SetColor(st.FontColor.Color);
    CtrlSkinState &= ~ACS_FONTCHANGING;
  }
  if (lock) SendMessageW(wc->Handle(), WM_SETREDRAW, 1, 0);
}

bool TsCommonData::IsStateTransparent(int State) const {
  const TacSkinRecords* skin = SkinManager();
  if ((FOwnerControl && !FOwnerControl->Parent()) || !skin || !skin->IsValidSkinIndex(SkinIndex)) return false;
  const TsGeneralData& g = skin->gd[size_t(SkinIndex)];
  State = std::clamp(std::min(State, g.States - 1), 0, 2);
  const int t = g.Props[size_t(State)].Transparency;
  if (t <= 50 || !skin->IsValidImgIndex(g.BorderIndex)) return t > 50;
  const TsMaskData& m = skin->ma[size_t(g.BorderIndex)];
  if (State == 0) return !((m.DrawMode & 4) && !(m.DrawMode & 2));
  if (!(m.DrawMode & 4)) return true;
  if (m.MaskType == 0) return false;
  TBitmap* img = skin->MaskBitmap(g.BorderIndex);
  if (!img || m.Width <= 0 || m.Height <= 0) return true;
  const int x = m.R.Left + State * m.Width + m.Width / 2;
  const int y = m.R.Bottom - m.Height / 2;
  if (x < 0 || y < 0 || x >= img->Width() || y >= img->Height() || img->PixelFormat() != pf32bit) return true;
  return (GetPixel32(img, x, y) & 0x80) != 0;
}

bool TsCommonData::MouseInOwner() const {
  HWND wnd = OwnerHandle();
  if (!wnd || !IsWindowVisible(wnd)) return false;
  POINT p{0, 0};
  GetCursorPos(&p);
  RECT client{};
  if (!FOwnerControl) {
    RECT wr{};
    GetWindowRect(wnd, &wr);
    p.x -= wr.left;
    p.y -= wr.top;
  } else {
    ScreenToClient(wnd, &p);
  }
  GetClientRect(wnd, &client);
  if (p.x < client.left || p.y < client.top || p.x >= client.right || p.y >= client.bottom) return false;
  HDC dc = GetDC(wnd);
  RECT clip{};
  GetClipBox(dc, &clip);
  ReleaseDC(wnd, dc);
  if (p.x < clip.left || p.y < clip.top || p.x >= clip.right || p.y >= clip.bottom) return false;
  if (auto* other = dynamic_cast<TWinControl*>(ControlAtCursor()); other && other->HandleAllocated())
    return HasParentWindow(other->Handle(), wnd);
  return true;
}

void TsCommonData::FillBgInfo(TacBackgroundInfo& Info, int State, HWND Wnd) {
  auto answerCache = [&] {
    Info.BgType = 2;
    if (Info.PleaseDraw) {
      BitBlt(Info.DC, Info.R.Left, Info.R.Top, Info.R.Width(), Info.R.Height(), FCacheBmp->Canvas()->Handle(),
             Info.Offset.X, Info.Offset.Y, SRCCOPY);
    } else {
      Info.Bmp = FCacheBmp.get();
      Info.Offset = TPoint(0, 0);
    }
  };
  if (Info.PleaseDraw) {
    if (BGChanged && FOwnerControl) OwnerCommand(SKC_PREPARECACHE);
    if (!BGChanged && !CacheEmpty()) answerCache();
    Info.BgType = 2;
    return;
  }
  Info.Bmp = nullptr;
  if (!Skinned() || FCustomColor) {
    Info.BgType = 1;
    if (FOwnerControl) Info.Color = TColor(ColorToRGB(FOwnerControl->Color()));
    return;
  }
  const TacSkinRecords* skin = SkinManager();
  const TsGeneralData& g = skin->gd[size_t(SkinIndex)];
  State = std::clamp(std::min(State, g.States - 1), 0, 2);
  const TsGenState& st = g.Props[size_t(State)];
  const int t = st.Transparency;
  if (t == 100 && !FCacheBmp) {
    if (FOwnerControl && FOwnerControl->Parent()) {
      QueryParentBgInfo(Info, FOwnerControl->Parent(), Info.PleaseDraw);
      Info.Offset.X += FOwnerControl->Left();
      Info.Offset.Y += FOwnerControl->Top();
      Info.FillRect.Left -= FOwnerControl->Left();
      Info.FillRect.Top -= FOwnerControl->Top();
    } else if (!FOwnerControl && Wnd && GetParent(Wnd)) {
      QueryWndBgInfo(Info, GetParent(Wnd), Info.PleaseDraw);
      if (Info.BgType == 2) {
        RECT wr{};
        GetWindowRect(Wnd, &wr);
        POINT o{0, 0};
        ClientToScreen(GetParent(Wnd), &o);
        Info.Offset.X += wr.left - o.x;
        Info.Offset.Y += wr.top - o.y;
      }
    } else {
      Info.BgType = 1;
      Info.Color = DefaultManager ? DefaultManager->GetGlobalColor() : TColor(ColorToRGB(clBtnFace));
    }
    return;
  }
  if (t == 100) {
    if (BGChanged) OwnerCommand(SKC_PREPARECACHE);
    if (BGChanged) {
      Info.BgType = 1;
      Info.Offset = TPoint(0, 0);
      Info.Color = GetControlColor(0);
    } else {
      answerCache();
    }
    return;
  }
  if (t != 0) {
    if (!FCacheBmp) {
      Info.BgType = 1;
      Info.Color = clFuchsia;
      return;
    }
    if (CacheEmpty() && BGChanged) OwnerCommand(SKC_PREPARECACHE);
    if (CacheEmpty()) {
      FUpdating = true;
      Info.BgType = 3;
    } else {
      answerCache();
    }
    return;
  }
  if (st.GradientPercent == 0 && st.ImagePercent == 0 && g.ImgTL < 0 && g.ImgTR < 0 && g.ImgBL < 0 && g.ImgBR < 0 &&
      !OuterEffectsAllowed()) {
    Info.BgType = 1;
    Info.Color = GetControlColor(State);
    if (skin->IsValidImgIndex(BorderIndex) && !(skin->ma[size_t(BorderIndex)].DrawMode & 2)) {
      const TsMaskData& m = skin->ma[size_t(BorderIndex)];
      Info.FillRect = TRect(m.WL, m.WT, m.WR, m.WB);
      Info.Bmp = FCacheBmp.get();
      Info.Offset = TPoint(0, 0);
    }
    return;
  }
  Info.Color = skin->GetGlobalColor();
  const bool sizeDiffers = FOwnerControl && FCacheBmp &&
                           (FCacheBmp->Width() != FOwnerControl->Width() || FCacheBmp->Height() != FOwnerControl->Height());
  if (BGChanged || CacheEmpty() || sizeDiffers) {
    BGChanged = true;
    EmptyCache();
    OwnerCommand(SKC_PREPARECACHE);
    if (CacheEmpty()) {
      Info.BgType = 3;
      return;
    }
  }
  answerCache();
}

TCacheInfo TsCommonData::GetParentCache() {
  TCacheInfo ci;
  ci.Bmp = nullptr;
  ci.X = ci.Y = 0;
  ci.Ready = false;
  if (!Skinned() || !FOwnerControl) {
    ci.FillColor = GetControlColor(0);
    return ci;
  }
  TacBackgroundInfo info;
  if (FOwnerControl->Parent()) {
    info.Offset = TPoint(FOwnerControl->Left(), FOwnerControl->Top());
    QueryParentBgInfo(info, FOwnerControl->Parent(), false);
  } else if (HWND w = OwnerHandle(); w && GetParent(w)) {
    QueryWndBgInfo(info, GetParent(w), false);
  } else {
    ci.FillColor = GetControlColor(0);
    return ci;
  }
  if (info.BgType == 3) {
    ci.FillColor = clFuchsia;
    return ci;
  }
  return CacheInfoFromBgInfo(info);
}

// ---- The scroll-bar record ----

TsScrollWndData::TsScrollWndData(TObject* AOwner, bool CreateCacheBmp)
    : TsCommonData(AOwner, CreateCacheBmp),
      FVertScrollData(std::make_unique<TacScrollData>(this)),
      FHorzScrollData(std::make_unique<TacScrollData>(this)) {}

TsScrollWndData::~TsScrollWndData() {
  FHorzScrollData.reset();
  FVertScrollData.reset();
}

// ---- Windows and records ----

TsCommonData* GetWndSkinData(HWND Wnd) { return Wnd ? static_cast<TsCommonData*>(GetPropW(Wnd, kSkinDataProp)) : nullptr; }

bool IsWindowSkinned(HWND Wnd) {
  if (!Wnd) return false;
  return GetPropW(Wnd, kSkinDataProp) || GetPropW(Wnd, kScrollHandlerProp) || WindowAnswersCommand(Wnd, SKC_ISSKINNED);
}

bool IsControlSkinned(TControl* Control, bool CheckSkinned) {
  if (!Control) return false;
  if (auto* wc = dynamic_cast<TWinControl*>(Control); wc && wc->HandleAllocated()) {
    if (TsCommonData* d = GetWndSkinData(wc->Handle())) return !CheckSkinned || d->Skinned();
    return WindowAnswersCommand(wc->Handle(), SKC_ISSKINNED);
  }
  return Control->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_ISSKINNED), 0) == 1;
}
