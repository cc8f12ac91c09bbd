// The frame adapter: the frame's window procedure while it is skinned, its
// cached background and its painting.

#include "skin/forms/sFrameAdapter.h"

#include <algorithm>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sVclUtils.h"

namespace {
constexpr uint8_t kFrameKind = 226;  // the control kind of skinned frames
bool IsGoing(TComponent* C) { return C && (C->ComponentState() & csDestroying); }
}  // namespace

TsFrameAdapter::TsFrameAdapter(TComponent* AOwner) : TComponent(AOwner) {
  Frame = dynamic_cast<TCustomFrame*>(AOwner);
  if (!Frame) {
    if (AOwner) AOwner->RemoveComponent(this);
    throw Exception("TsFrameAdapter adapter must be placed on the handled frame");
  }
  FCommonData = std::make_unique<TsScrollWndData>(Frame, true);
  FCommonData->COC = kFrameKind;
  if (!IsControlSkinned(Frame)) {
    OldWndProc = Frame->WindowProc;
    Frame->WindowProc = [this](TMessage& M) { NewWndProc(M); };
    FReplaced = true;
  }
  // Children that find the record through the window reach the adapter too.
  FCommonData->WndProc = Frame->WindowProc;
  FCommonData->InitCommonProp();
  Frame->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINCHANGED), LPARAM(FCommonData->SkinManager()));
}

TsFrameAdapter::~TsFrameAdapter() {
  if (FReplaced && Frame && !IsGoing(Frame)) Frame->WindowProc = std::move(OldWndProc);
  FCommonData.reset();
}

void TsFrameAdapter::Loaded() {
  if (!FCommonData->SkinManager()) return;
  FCommonData->UpdateIndexes(true);
  FCommonData->InitCommonProp();
}

TColor TsFrameAdapter::BgColor() {
  const TacSkinRecords* s = FCommonData->SkinManager();
  const int i = FCommonData->SkinIndex;
  if (!FCommonData->Skinned() || !s || !s->IsValidSkinIndex(i)) return ColorToRGB(Frame->Color());
  const TsGenState& st = s->gd[size_t(i)].Props[0];
  const TColor own = ColorToRGB(st.Color);
  if (st.Transparency == 0) return own;
  TColor parent = Frame->Parent() ? TColor(Frame->Parent()->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_GETBGCOLOR), 0))
                                  : ColorToRGB(Frame->Color());
  if (parent == clFuchsia && Frame->Parent()) parent = ColorToRGB(Frame->Parent()->Color());
  if (st.Transparency == 100) return parent;
  // Per channel: own + T * (parent - own) / 256.
  auto mix = [&](int shift) {
    const int o = (own >> shift) & 0xFF, p = (parent >> shift) & 0xFF;
    return (o + st.Transparency * (p - o) / 256) & 0xFF;
  };
  return TColor(mix(0) | mix(8) << 8 | mix(16) << 16);
}

bool TsFrameAdapter::SkinCommand(TMessage& Message) {
  TsScrollWndData* d = FCommonData.get();
  const bool own = Message.LParam == LPARAM(d->SkinManager());
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      if (!own) return false;
      BroadcastToChildren(Frame, Message);
      HandleCommonMessage(Message, d);
      return true;
    case SKC_SKINREMOVED:
      if (!own) return false;
      HandleCommonMessage(Message, d);
      if (!(Application && Application->Terminated()) && Frame->HandleAllocated())
        RedrawWindow(Frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      BroadcastToChildren(Frame, Message);
      return true;
    case SKC_SKINLOADED:
      if (!own) return false;
      HandleCommonMessage(Message, d);
      d->UpdateIndexes(true);
      if (d->SkinManager()) {
        if (SkinCommandArg(Message) != 1) BroadcastToChildren(Frame, Message);
        if (Frame->HandleAllocated())
          RedrawWindow(Frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      }
      return true;
    case SKC_ISSKINNED:
      Message.Result = 1;
      return true;
    case SKC_GETSKININDEX: {
      const TacSkinRecords* s = d->SkinManager();
      if (!d->SkinSection().empty()) {
        d->UpdateIndexes(true);
        Message.Result = d->SkinIndex + 1;
      } else if (s) {
        Message.Result = s->GetSkinIndex("TRANSPARENT") + 1;
      }
      return true;
    }
    case SKC_STOPANIMATION:
      BroadcastToChildren(Frame, Message);
      return true;
    case SKC_GETBGCOLOR:
      if (d->Skinned()) {
        Message.Result = LRESULT(BgColor());
        return true;
      }
      Message.Result = LRESULT(ColorToRGB(Frame->Color()));
      return true;
    case SKC_PREPARECACHE:
      if (!d->CheckUpdating(false) && !PrepareCache()) d->FUpdating = true;
      return true;
  }
  return false;
}

void TsFrameAdapter::NewWndProc(TMessage& Message) {
  TsScrollWndData* d = FCommonData.get();
  if (Message.Msg == WM_SIZE) d->BGChanged = true;
  if (Message.Msg == WM_SKINCOMMAND) {
    if (SkinCommand(Message)) return;
  }
  const TacSkinRecords* s = d->SkinManager();
  if (IsGoing(this) || IsGoing(Frame) || !d->Skinned() || !s || !s->CommonSkinData.Active) {
    CallOld(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_SKINCOMMAND:
      if (SkinCommandOf(Message) == SKC_REFRESH) {
        if (d->FUpdating && !d->CheckUpdating(true)) {
          if (d->BGChanged) PrepareCache();
          if (Frame->HandleAllocated())
            RedrawWindow(Frame->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
          RefreshChildControls(Frame);
        }
        return;
      }
      if (SkinCommandOf(Message) == SKC_SETUPDATING) {
        d->FUpdating = SkinCommandArg(Message) == 1;
        for (int i = 0; i < Frame->ControlCount(); ++i) Frame->Controls(i)->Perform(Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      if (SkinCommandOf(Message) == SKC_GETSKINDATA) {
        Message.Result = LRESULT(d);
        return;
      }
      try {
        HandleCommonSkinCommand(Message, d);
      } catch (...) {
        // A broken command of a child must not take the frame's painting down.
      }
      return;
    case WM_MOVE:
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      d->BGChanged = d->BGChanged || Message.Msg == WM_SIZE || d->RepaintIfMoved();
      if (d->BGChanged) {
        TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_BGCHANGED, 1), 0);
        BroadcastToChildren(Frame, m);
      }
      if (Message.Msg != WM_MOVE && Frame->HandleAllocated()) InvalidateRect(Frame->Handle(), nullptr, TRUE);
      CallOld(Message);
      return;
    case WM_PAINT: {
      if (!Frame->Parent() || !Frame->HandleAllocated()) {
        CallOld(Message);
        return;
      }
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Frame->Handle(), &ps);
      HDC target = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : dc;
      const int saved = SaveDC(target);
      if (!d->CheckUpdating(false)) PaintFrame(target);
      RestoreDC(target, saved);
      EndPaint(Frame->Handle(), &ps);
      Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (!Frame->Showing()) {
        CallOld(Message);
        return;
      }
      // A changed background is rebuilt by the paint that follows.
      if (!FormAnimating && !d->CheckUpdating(false) && !d->BGChanged) PaintFrame(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      Message.Result = 0;
      return;
    case WM_PRINT:
      d->FUpdating = false;
      if (ControlIsPaintable(Frame)) PaintFrame(reinterpret_cast<HDC>(Message.WParam));
      return;
    case CM_VISIBLECHANGED:
      d->BGChanged = true;
      CallOld(Message);
      Frame->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINLOADED), LPARAM(s));
      return;
    case CM_SHOWINGCHANGED:
      CallOld(Message);
      if (Frame->Visible()) {
        d->FUpdating = false;
        Frame->Repaint();
      }
      return;
  }
  CallOld(Message);
}

bool TsFrameAdapter::PrepareCache() {
  TsScrollWndData* d = FCommonData.get();
  d->UpdateIndexes(true);
  TacBackgroundInfo info;
  info.PleaseDraw = false;
  info.R = TRect(0, 0, Frame->Width(), Frame->Height());
  info.Offset = TPoint(Frame->Left(), Frame->Top());
  if (!Frame->Parent() || !QueryParentBgInfo(info, Frame->Parent(), false) || info.BgType == 3) {
    d->FUpdating = true;
    return false;
  }
  d->PrepareCacheBmp();
  d->FCacheBmp->SetSize(Frame->Width(), Frame->Height());
  d->FCacheBmp->Canvas()->Font()->Assign(Frame->Font());
  PaintControlItem(*d, d->GetParentCache(), d->FCacheBmp.get(), TPoint(Frame->Left(), Frame->Top()),
                   TRect(0, 0, Frame->Width(), Frame->Height()), 0, true);
  d->BGChanged = false;
  return true;
}

void TsFrameAdapter::PaintFrame(HDC DC) {
  TsScrollWndData* d = FCommonData.get();
  if (!DC || (FormAnimating && DC != d->PrintDC) || d->CheckUpdating(false)) return;
  const int saved = SaveDC(DC);
  const TacSkinRecords* s = d->SkinManager();
  const int w = Frame->Width(), h = Frame->Height();
  const TsGeneralData* g = s && s->IsValidSkinIndex(d->SkinIndex) ? &s->gd[size_t(d->SkinIndex)] : nullptr;
  const bool cached = !g || s->IsValidImgIndex(g->BorderIndex) || g->Props[0].Transparency != 100 ||
                      d->OuterEffectsAllowed();
  bool painted = true;
  if (cached) {
    bool rebuild = d->BGChanged || d->HalfVisible;
    RECT clip{};
    const bool hasClip = GetClipBox(DC, &clip) != NULLREGION;
    d->HalfVisible = d->RepaintIfMoved() && Frame->Parent() &&
                     (clip.right - clip.left != w || clip.bottom - clip.top != h);
    if (!hasClip) painted = false;
    else if (rebuild && !PrepareCache()) painted = false;
    if (painted) CopyCacheToDC(Frame, d, TPoint(0, 0), TRect(0, 0, w, h), DC, true, 0, 0);
  } else {
    // A plain fully transparent section: the parent's picture or colour.
    TacBackgroundInfo info;
    info.R = TRect(0, 0, w, h);
    info.Offset = TPoint(Frame->Left(), Frame->Top());
    if (Frame->Parent() && QueryParentBgInfo(info, Frame->Parent(), false) && info.BgType == 2 && info.Bmp) {
      BitBlt(DC, 0, 0, w, h, info.Bmp->Canvas()->Handle(), info.Offset.X, info.Offset.Y, SRCCOPY);
      d->PrepareCacheBmp();
      d->FCacheBmp->SetSize(w, h);
      BitBlt(d->FCacheBmp->Canvas()->Handle(), 0, 0, w, h, info.Bmp->Canvas()->Handle(), info.Offset.X, info.Offset.Y,
             SRCCOPY);
    } else {
      ExcludeControlsFromClip(DC, Frame, 0, 0);
      PaintSolidRect(DC, TRect(0, 0, w, h), d->GetControlColor(0));
    }
  }
  if (painted) {
    PaintChildrenToDC(DC, Frame, false, TPoint(0, 0));
    RefreshChildControls(Frame);
  }
  RestoreDC(DC, saved);
}
