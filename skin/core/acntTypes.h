#pragma once
// Types every skin painter passes around, and the base of the layered helper windows.

#include "platform/vcl/Forms.h"
#include "platform/vcl/Graphics.h"

// How a child copies its parent's background. Ready: Bmp holds the parent's
// image and (X, Y) is the child's origin inside it; otherwise FillColor is the
// parent's plain colour (clFuchsia: nothing is known).
struct TCacheInfo {
  TBitmap* Bmp = nullptr;  // borrowed
  int X = 0;
  int Y = 0;
  TColor FillColor = clFuchsia;
  TRect FillRect;
  bool Ready = false;
};

// The record that knows nothing about the parent.
inline constexpr TCacheInfo EmptyCI{nullptr, -99, -99, clFuchsia, TRect(), false};

// The question a child puts to its parent about its background, and the answer.
struct TacBackgroundInfo {
  TBitmap* Bmp = nullptr;  // answer: the parent's cached image (BgType 2); borrowed
  TColor Color = 0;        // answer: the parent's colour (BgType 1)
  TPoint Offset;           // in: the child's place in the parent's client area; answer: its place in Bmp
  TRect R;                 // in: the child's area to fill
  TRect FillRect;          // answer: border margins of the parent's image; empty: none
  uint8_t BgType = 0;      // 0 no answer yet, 1 colour, 2 bitmap, 3 the parent's image is not ready
  bool PleaseDraw = false; // in: the parent paints itself into DC
  HDC DC = nullptr;
};

// ---- Layered helper windows ----

// The Tag mark of a component the skinning leaves alone.
inline constexpr intptr_t kNoSkinTag = 0x100;

// The base of the library's layered helper windows (glows, covers, animation
// pictures, borders): a frameless top-level form that never activates, carries
// the no-skin mark and, while TransparentMouse is on, lets every click through
// to the windows below it.
class TacGlowForm : public TCustomForm {
 public:
  explicit TacGlowForm(TComponent* AOwner);
  // Set before the window is made: it decides whether the window is click-through.
  bool TransparentMouse = true;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
};
