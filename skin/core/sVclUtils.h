#pragma once
// Layered pictures and the show and hide animations of skinned forms.
//
// A show animation puts a picture of the whole form into a layered window
// (a TacGlowForm) and fades it in, optionally growing or unfolding, then
// shows the real form behind it: it runs to its end inside the call, one
// frame every 12 ms. A hide animation fades a picture of the closing form out
// after the form is gone, one frame per tick of the one hide timer.
//
// Everything here runs on the user interface thread and raises nothing.

#include <memory>
#include <vector>

#include "platform/vcl/Forms.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/acntTypes.h"

class TsCommonData;

enum TacAnimType { atFading, atAero, atDropDown };
enum TacAnimEvent { aeShowing, aeHiding, aeSkinChanging };

// One of the skin manager's form and dialog animations; T ms take T div 12 frames.
struct TacFormAnimation {
  uint16_t Time = 0;
  bool Active = true;
  TacAnimType Mode = atFading;
};

// True while a form or dialog animation is set up or played: painting code
// skips its work meanwhile.
inline bool FormAnimating = false;
// The name the control handlers know the same flag by.
inline bool& WindowAnimationActive = FormAnimating;
// Set by a skinned form when the session ends: no more fades.
inline bool SystemShuttingDown = false;

// What the form animations need of a skinned form's provider. The provider
// answers skin command SKC_GETPROVIDER with itself (a TObject that also
// derives from this class).
class TacAnimatedForm {
 public:
  virtual ~TacAnimatedForm() = default;
  virtual TCustomForm* AnimForm() = 0;
  // The provider's skin record: its FCacheBmp is the form's painted image, frame included.
  virtual TsCommonData* AnimSkinData() = 0;
  // Repaints the frame into the painted image; false when it could not be made yet.
  virtual bool PaintAll() = 0;
  // The transparent corner pieces of the painted frame (window coordinates).
  virtual std::vector<TRect> FrameCorners() { return {}; }
  // Provider state bits; 0x200: the image is already prepared for hiding.
  virtual unsigned AnimFormState() { return 0; }
  // The form's own opacity: 255, or its alpha-blend value.
  virtual uint8_t AnimBlendValue() { return 255; }
  // The provider paints the form's frame (a skin change then fades it in with the rest).
  virtual bool AnimDrawsNonClient() { return true; }
  // A snapshot window of the form made before it hides, or nullptr; the hide animation takes it over.
  virtual TacGlowForm* TakeCoverForm() { return nullptr; }
  // The animation ended (the provider's OnAfterAnimation).
  virtual void AfterAnimation(TacAnimEvent) {}
  // Set while the show animation prepares the picture.
  bool FInAnimation = false;
};

// ---- Layered pictures ----

// Shows Bmp (nullptr: a blank picture of the window's size) in the layered
// window Wnd at constant opacity Alpha; DstPoint, when given, moves it there.
// A window without WS_EX_LAYERED gets it first, hidden for the switch so that
// no stale picture shows.
void UpdateGlowWindow(HWND Wnd, TBitmap* Bmp, uint8_t Alpha, const TPoint* DstPoint = nullptr);
// Enable (layered windows available): adds WS_EX_LAYERED when missing (true
// only then) and sets the window's opacity to Alpha. Otherwise clears the
// window's WS_VISIBLE style bit (no show message) and WS_EX_LAYERED: false.
bool SetWindowLayered(HWND Wnd, bool Enable, uint8_t Alpha);
// Paints a control as it looks on screen into Bmp at (X, Y); a hidden child
// control is drawn from its parent's background. With WithSiblings the later
// visible siblings that overlap it are painted over it.
void PaintControlToBitmap(TBitmap* Bmp, TWinControl* Ctrl, int X, int Y, TacAnimatedForm* Provider,
                          bool WithSiblings);
// Each rectangle of Bmp becomes transparent black.
void ClearRects(const std::vector<TRect>& Rects, TBitmap* Bmp);
// The work area of the form's monitor.
void GetFormWorkArea(TCustomForm* Form, TRect& R);
// The work area of the first monitor whose work area holds P; empty when none does.
void GetWorkAreaAtPoint(const TPoint& P, TRect& R);
// Heights (alTop, alBottom) or widths (alLeft, alRight) of Ctrl's visible
// children aligned so (graphic ones only with IncludeGraphic); 0 for other alignments.
int SumAlignedChildSizes(TWinControl* Ctrl, TAlign Align, bool IncludeGraphic);

// ---- Form animations ----

// Plays the show animation of the provider's form over Time ms and leaves the
// form shown at BlendValue. A form that has no painted image (or whose
// provider has no skin record) is shown at once without animation.
void AnimShowForm(TacAnimatedForm* Provider, uint16_t Time, uint8_t BlendValue, TacAnimType Mode);
// Starts the hide animation of the provider's form (FormHide) from its
// painted image; all glows go first. Nothing without a painted image.
void AnimHideForm(TacAnimatedForm* Provider, const TacFormAnimation& FormHide);

// The one hide-animation timer: fades Form (showing SrcBmp) out, a frame per tick.
class TacHideTimer : public TacThreadedTimer {
 public:
  explicit TacHideTimer(TComponent* AOwner);
  ~TacHideTimer() override;

  void Anim_Init();
  void Anim_DoNext();
  void Anim_GoToNext();
  void OnTimerProc(TObject* Sender);
  // Tells the hidden form's provider, once, that its hide animation ended.
  void CallEvent();

  HWND ParentWnd = nullptr;  // the hidden form's window; nullptr for dialogs
  TacGlowForm* Form = nullptr;  // owned
  TSize FBmpSize;
  uint8_t FBlendAlpha = 255;  // the current frame's opacity
  double Trans = 0;
  double p = 0;
  double dx = 0, dy = 0;
  double l = 0, t = 0, r = 0, b = 0;
  int i = 0;
  int StartBlendValue = 255;
  int StepCount = 0;
  TacAnimType AnimType = atFading;
  bool EventCalled = false;
  std::unique_ptr<TBitmap> SrcBmp;
  std::unique_ptr<TBitmap> DstBmp;
};

// The hide timer, made on first use (owned by the application).
inline TacHideTimer* HideTimer = nullptr;

// Fades W (showing Bmp) out over Time ms; takes both. A running hide
// animation ends at once first. Time below 12 ms frees both at once.
void StartHideAnimation(TacGlowForm* W, std::unique_ptr<TBitmap> Bmp, int Time, HWND ParentWnd, TacAnimType Mode,
                        uint8_t BlendValue);

// ---- The skin-change cross-fade ----

// The animation window of the running skin-change cross-fade; nullptr when none runs.
inline TacGlowForm* SkinChangeWindow = nullptr;

// Fades Form's look in the new skin in over its still frozen old look: a
// picture of the form (its provider's painted image with the children and
// the later siblings over it) in a layered window just above the form, in
// Time div 12 + 1 frames of 12 ms rising to BlendValue (grown from 1/32
// inside its edges with Aero), the last frame being the new picture at
// BlendValue; then the form's drawing comes back and it is redrawn under the
// picture before the window goes. A hidden or minimised form is left alone;
// a form without a painted image (or without layered windows) only has
// FormAnimating cleared. Time 0 shows the new picture once at BlendValue.
void AnimChangeSkin(TCustomForm* Form, uint16_t Time, uint8_t BlendValue, bool Aero);
