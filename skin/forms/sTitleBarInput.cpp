// The mouse of the skinned frame over title-bar items: hot and pressed
// looks, clicks, drop-downs and hints, as the frame's non-client handlers
// pass them on by hit code.

#include <utility>

#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

namespace {
int AnimationSteps(TsSkinProvider* sp) {
  TsSkinManager* sm = sp->Manager();
  return sm && sm->Effects.AllowAnimation ? 10 : 1;
}
TacGlowForm* ExtFormOf(TsSkinProvider* sp) { return sp->BorderForm ? sp->BorderForm->AForm : nullptr; }
}  // namespace

bool TitleItemEnter(TsSkinProvider* sp, int HitCode) {
  TacTitleBarItem* it = TitleBarItemOf(sp, HitCode);
  if (!it) return false;
  if (it->OnMouseEnter) it->OnMouseEnter(it);
  it->SetState(1);
  if (it->ShowHint) ShowTitleItemHint(it);
  return true;
}

void TitleItemLeave(TsSkinProvider* sp, int HitCode) {
  TacTitleBarItem* it = TitleBarItemOf(sp, HitCode);
  if (!it) return;
  if (it->OnMouseLeave) it->OnMouseLeave(it);
  it->SetState(0);
  HideTitleItemHint(it);
}

void TitleItemPress(TsSkinProvider* sp, int HitCode, const TPoint& P) {
  TacTitleBarItem* it = TitleBarItemOf(sp, HitCode);
  if (!it) return;
  sp->FHintTimer.reset();
  if (it->Style() != bsTab && it->Style() != bsMenu) {
    sp->CurrentHT = HitCode;
    it->SetState(2);
    HideTitleItemHint(it);
    sp->RepaintButton(HitCode);
  }
  it->DoMouseDown(mbLeft, TShiftState(), P.X, P.Y);
  sp->biClicked = it->Pressed();
}

void TitleItemRelease(TsSkinProvider* sp, int HitCode, const TPoint& P, bool Clicked) {
  TacTitleBarItem* it = TitleBarItemOf(sp, HitCode);
  if (!it) return;
  if (Clicked) {
    it->SetState(0);
    it->DoMouseUp(mbLeft, TShiftState(), P.X, P.Y);
    if (it->Visible() && !it->Down()) {
      // Still over the item: it shows hot again.
      TMessage hit{};
      hit.Msg = WM_NCHITTEST;
      hit.LParam = MAKELPARAM(P.X, P.Y);
      if (sp->HitTest(hit) == HitCode) AnimateTitleItem(it, AnimationSteps(sp), true, ExtFormOf(sp));
    }
    it->SetState(0);
  }
  if (!it->Visible()) delete std::exchange(it->Timer, nullptr);
}

void TitleItemRightPress(TsSkinProvider* sp, int HitCode, const TPoint& P) {
  if (TacTitleBarItem* it = TitleBarItemOf(sp, HitCode))
    if (it->OnMouseDown) it->OnMouseDown(it, mbRight, TShiftState(), P.X, P.Y);
}

void TitleItemRightRelease(TsSkinProvider* sp, int HitCode, const TPoint& P) {
  if (TacTitleBarItem* it = TitleBarItemOf(sp, HitCode)) it->DoMouseUp(mbRight, TShiftState(), P.X, P.Y);
}
