#include "skin/core/acntTypes.h"

TacGlowForm::TacGlowForm(TComponent* AOwner) : TCustomForm(AOwner) {
  Tag = kNoSkinTag;
  SetBorderStyle(bsNone);
  ControlStyle.Exclude(csCaptureMouse);
}

void TacGlowForm::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  Params.ExStyle |= WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW;
  // Layered and marked transparent, the window is skipped by the mouse
  // altogether (on a display too), not only answered HTTRANSPARENT.
  if (TransparentMouse) Params.ExStyle |= WS_EX_TRANSPARENT;
}

void TacGlowForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SHOWWINDOW:
    case CM_VISIBLECHANGED:
      if (Message.WParam == 0 && HandleAllocated())
        SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER |
                         SWP_NOSENDCHANGING);
      break;
    case WM_NCHITTEST:
      if (TransparentMouse) {
        Message.Result = HTTRANSPARENT;
        return;
      }
      break;
  }
  TCustomForm::WndProc(Message);
}
