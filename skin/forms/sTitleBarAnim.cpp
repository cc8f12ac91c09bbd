// The hot and pressed looks of title-bar items: the item's picture in a
// click-through layered window over it, faded in and out every 12 ms.

#include <algorithm>
#include <utility>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sTitleBar.h"

namespace {
constexpr unsigned kAnimInterval = 12;
constexpr LONG_PTR kOverlayExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;  // 0x08080020

HWND HostWindow(TacItemAnimation* A) {
  if (A->ExtForm && A->ExtForm->HandleAllocated()) return A->ExtForm->Handle();
  return A->FormHandle;
}
}  // namespace

TacItemAnimation::TacItemAnimation(TComponent* AOwner) : TTimer(AOwner) {
  SetEnabled(false);
  SetInterval(kAnimInterval);
  OnTimer = [this](TObject* Sender) { OnAnimTimer(Sender); };
}

TacItemAnimation::~TacItemAnimation() {
  SetEnabled(false);
  delete std::exchange(AForm, nullptr);
  delete std::exchange(OldForm, nullptr);
  if (Item && Item->Timer == this) Item->Timer = nullptr;
}

void TacItemAnimation::MakeImg() {
  if (!Item) return;
  NewBmp = NewBitmap32(std::max(1, Item->Rect.Width()), std::max(1, Item->Rect.Height()));
  const TRect r(0, 0, NewBmp->Width(), NewBmp->Height());
  if (Item->OnInternalDraw)
    Item->OnInternalDraw(Item, r, NewBmp.get());
  else
    FillRect32(NewBmp.get(), r, 0x00FFFF, 255);
}

void TacItemAnimation::MakeForm() {
  AForm = new TacGlowForm(nullptr);
  AForm->TransparentMouse = true;
  HWND host = HostWindow(this);
  const bool topmost = host && (GetWindowLongPtrW(host, GWL_EXSTYLE) & WS_EX_TOPMOST);
  if (topmost) SetWindowLongPtrW(AForm->Handle(), GWL_EXSTYLE, GetWindowLongPtrW(AForm->Handle(), GWL_EXSTYLE) | WS_EX_TOPMOST);
}

TRect TacItemAnimation::GetFormBounds() {
  RECT wr{0, 0, 0, 0};
  if (HWND host = HostWindow(this)) GetWindowRect(host, &wr);
  TRect b = Item->Rect;
  b = TRect(b.Left + wr.left, b.Top + wr.top, b.Right + wr.left, b.Bottom + wr.top);
  if (NewBmp && NewBmp->Width() != b.Width()) {
    // The picture stays centred on the item.
    const int dx = (NewBmp->Width() - b.Width()) / 2, dy = (NewBmp->Height() - b.Height()) / 2;
    b = TRect(b.Left - dx, b.Top - dy, b.Left - dx + NewBmp->Width(), b.Top - dy + NewBmp->Height());
  }
  return b;
}

void TacItemAnimation::UpdateForm(uint8_t Blend) {
  if (!Item) return;
  if (!NewBmp) MakeImg();
  if (!AForm) MakeForm();
  HWND w = AForm->Handle();
  const TRect b = GetFormBounds();
  HWND host = HostWindow(this);
  const bool topmost = host && (GetWindowLongPtrW(host, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetWindowPos(w, topmost ? HWND_TOPMOST : host, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowLongPtrW(w, GWL_EXSTYLE, GetWindowLongPtrW(w, GWL_EXSTYLE) | kOverlayExStyle);
  const TPoint at = b.TopLeft();
  UpdateGlowWindow(w, NewBmp.get(), Blend, &at);
  ShowWindow(w, SW_SHOWNOACTIVATE);
}

void TacItemAnimation::StartAnimation(int NewState, bool Show) {
  if (NewState == CurrentState) return;
  CurrentState = NewState;
  if (NewState != 0) {
    if (NewState == 2) {
      delete std::exchange(AForm, nullptr);
      NewBmp.reset();
    }
    CurrentLevel = 1;
    ToShow = Show;
    UpdateForm(uint8_t(std::min(Step(), 255)));
    ++CurrentLevel;
    SetEnabled(true);
  } else {
    ToShow = false;
    --CurrentLevel;
    UpdateForm(255);
    if (MaxIterations >= 2) SetEnabled(true);
  }
}

void TacItemAnimation::ChangeState(int NewState, bool Show) {
  ToShow = Show;
  SetEnabled(true);
  StartAnimation(NewState, Show);
}

bool TacItemAnimation::CheckMouseLeave() {
  if (!Item) return false;
  POINT p;
  GetCursorPos(&p);
  RECT wr{0, 0, 0, 0};
  if (HWND host = HostWindow(this)) GetWindowRect(host, &wr);
  if (Item->Rect.Contains(TPoint(p.x - wr.left, p.y - wr.top))) return false;
  SetEnabled(false);
  if (FormHandle) SendMessageW(FormHandle, WM_MOUSELEAVE, 0, 0);
  return true;
}

void TacItemAnimation::OnAnimTimer(TObject*) {
  if (!Enabled()) return;
  if (ToShow) {
    if (CurrentLevel >= MaxIterations) {
      if (CheckMouseLeave()) return;
      if (MaxIterations != -1) {
        MaxIterations = -1;
        UpdateForm(255);
      }
      delete std::exchange(OldForm, nullptr);
    } else {
      UpdateForm(uint8_t(std::max(std::min(Step() * CurrentLevel, 255), 0)));
      ++CurrentLevel;
    }
  } else if (CurrentLevel <= 0) {
    CurrentState = -1;
    SetEnabled(false);
    NewBmp.reset();
    delete std::exchange(AForm, nullptr);
  } else {
    UpdateForm(uint8_t(std::max(0, std::min(Step() * CurrentLevel, 255))));
    --CurrentLevel;
  }
}

void AnimateTitleItem(TacTitleBarItem* Item, int Iterations, bool Show, TacGlowForm* ExtForm) {
  if (!Item) return;
  TacItemAnimation* t = Item->Timer;
  const int state = Item->State();
  if (!t) {
    TCustomForm* f = Item->OwnerForm();
    if (!f) return;
    t = new TacItemAnimation(f);
    Item->Timer = t;
    t->ExtForm = ExtForm;
    t->FormHandle = f->HandleAllocated() ? f->Handle() : nullptr;
    t->Item = Item;
    t->MaxIterations = Iterations;
    t->StartAnimation(state, true);
    return;
  }
  if ((state == 1 && t->CurrentState == 2) || state == 2) {
    delete std::exchange(t->OldForm, std::exchange(t->AForm, nullptr));
    t->NewBmp.reset();
  }
  if (Show) t->CurrentState = state;
  t->MaxIterations = Iterations;
  t->ToShow = Show;
  t->SetEnabled(true);
  t->ExtForm = ExtForm;
  t->StartAnimation(state, true);
  if (state == 2) t->CurrentLevel = Iterations;
}
