#pragma once
// Ordinary forms shown as drop-down popups of a control, the way a combo box
// shows its list: borderless, never activated, with a soft shadow window
// behind them, optionally unrolled by an animation, and closed when the user
// clicks elsewhere, the application loses activation, the opening control
// loses the focus or is clicked again (that click is swallowed).

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Forms.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/acntTypes.h"

class TsPopupController;
class TacShadowForm;

// What SKC_SETSHADOWPOS carries (LParam points at it): the popup's visible
// rectangle on screen and the shadow's opacity.
struct TacShadowPos {
  TRect R;
  uint8_t Blend = 255;
};

// One per popup form: the subclassing of the popup and its opening control, and the closing.
class TacFormHandler : public TObject {
 public:
  ~TacFormHandler() override;
  // Closes the popup (hiding or freeing it with Hide) unless refused.
  void CloseForm(bool Hide);
  // Gives the popup and the control their procedures and events back.
  void ReleaseHooks();

  TWinControl* ClientCtrl = nullptr;
  TWndMethod FormWndProc, CtrlWndProc;
  bool Initialized = false;
  bool ClosingForbidden = false;
  std::unique_ptr<TacThreadedTimer> CheckTimer;
  TsPopupController* Controller = nullptr;
  TCloseEvent OldOnClose;
  HWND CaptureHandle = nullptr;
  bool Closed = true;
  TForm* PopupForm = nullptr;
  TWinControl* PopupCtrl = nullptr;
  TForm* ParentForm = nullptr;
  TacShadowForm* ShadowForm = nullptr;  // owned

 private:
  friend class TsPopupController;
  void NewFormWndProc(TMessage& Message);
  void NewCtrlWndProc(TMessage& Message);
  void OnCheckTimer(TObject* Sender);
  bool CtrlHooked = false;
};

// The shadow of a popup: a click-through layered window ShadowSize pixels
// wider on every side, kept right behind the popup.
class TacShadowForm : public TacGlowForm {
 public:
  static constexpr int ShadowSize = 9;
  // Owned by nobody; follows AOwner's moves through its window procedure.
  TacShadowForm(TForm* AOwner, int Dummy);
  ~TacShadowForm() override;
  void SetNewPos(int ALeft, int ATop, int AWidth, int AHeight, uint8_t BlendValue);
  void UpdateShadowPos();
  void HideWnd();
  void KillShadow();
  // The shadow picture (made once for the program).
  static TBitmap* ShadowTemplate();

  TForm* FOwnerForm = nullptr;
  TWndMethod OldWndProc;
  bool FDestroyed = false;
  bool Locked = true;  // true: does not follow the popup

 private:
  void NewWndProc(TMessage& Message);
  std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

class TsPopupController : public TComponent {
 public:
  explicit TsPopupController(TComponent* AOwner);
  ~TsPopupController() override;

  // Shows AForm as a popup of AOwnerControl at the screen point (ALeft, ATop);
  // (-1, -1): under the control, or above it when there is no room below.
  void ShowForm(TForm* AForm, TWinControl* AOwnerControl, int AnimTime = 0, int ALeft = -1, int ATop = -1);
  // Shows AForm at a screen point without an opening control, always unrolled.
  void ShowFormPos(TForm* AForm, const TPoint& ALeftTop, int AnimTime = 0);
  // Unrolls the popup in AnimTime div 12 steps (plus the first, empty one).
  void AnimShowPopup(TForm* aForm, int wTime, uint8_t BlendValue);
  void KillAllForms(TWinControl* ExceptChild = nullptr);
  int PopupCount(TForm* ExceptForm = nullptr);
  int PopuChildCount(TForm* ExceptForm);
  int GetFormIndex(TForm* Form);
  bool HasChild(TForm* Parent);
  void ClosingForbide(TForm* AForm);
  void ClosingAllow(TForm* AForm);
  // The index of Form's handler, made and set up when there is none yet.
  int RegisterForm(TForm* Form, TWinControl* Control);

  // Bit 0: opens upwards; value 2: aligned to the work area's right edge.
  int AnimDirection = 0;
  bool SkipOpen = false;
  std::vector<std::unique_ptr<TacFormHandler>> FormHandlers;
  // Raised for every frame of the unroll with the visible part on screen and its alpha.
  std::function<void(const TRect& Visible, uint8_t Alpha)> OnUnrollFrame;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void ShowPopup(TForm* AForm, TWinControl* Control, int AnimTime, TPoint At, bool FromPoint);
  TacFormHandler* HandlerOf(TForm* Form);
};

// The library's shared controller (made on first use, freed at clean-up).
TsPopupController* PopupController();
void FreePopupController();
