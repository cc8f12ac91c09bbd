#pragma once
// The pictures a skinned form hands the desktop for its taskbar thumbnail and
// its live preview: the shell's own capture would show the unskinned frame,
// or nothing while the form is minimised by the skinned animation.
//
// Delivery goes through three entry points of the desktop-composition library,
// bound late and kept for the program's life. That library is not present on
// this platform, so they stay unbound and every answer is False; the pictures
// are still made, and whoever binds the entry points (a test recorder) receives them.

#include <functional>
#include <memory>

#include "platform/vcl/Graphics.h"
#include "platform/win/Windows.h"

class TsSkinProvider;

using TacDwmResult = long;  // 0: accepted
inline constexpr TacDwmResult kDwmOK = 0;
inline constexpr unsigned kDwmSitDisplayFrame = 1;  // the system frame is drawn around the live preview

struct TacIconicEntryPoints {
  TacDwmResult (*SetIconicThumbnail)(HWND Wnd, HBITMAP Bmp, unsigned Flags) = nullptr;
  TacDwmResult (*SetIconicLivePreviewBitmap)(HWND Wnd, HBITMAP Bmp, const POINT* ClientOffset,
                                             unsigned Flags) = nullptr;
  TacDwmResult (*InvalidateIconicBitmaps)(HWND Wnd) = nullptr;
};
// The bound entry points (unbound here: composition is off).
inline TacIconicEntryPoints IconicEntryPoints;

// The picture the minimise animation saved before the form vanished, while
// the form is minimised by it (or being restored); nullptr otherwise. Filled
// in by the unit that animates minimising.
inline std::function<TBitmap*(TsSkinProvider*)> MinimizedFormImage;

// The thumbnail, P fitted into MaxWidth x MaxHeight with its aspect kept.
// True when the thumbnail was handed over.
bool SetIconicThumbnail(HWND Wnd, TsSkinProvider* Provider, int MaxWidth, int MaxHeight);
// The live preview at the picture's own size. True when it was accepted.
bool SetIconicLivePreview(HWND Wnd, TsSkinProvider* Provider);
// Tells the shell both pictures are out of date (nothing without the entry point).
void InvalidateIconic(HWND Wnd);
// The size of a W x H picture fitted into MaxWidth x MaxHeight, aspect kept, halves rounded to even.
TSize FitIconicSize(int W, int H, int MaxWidth, int MaxHeight);
// The whole form painted with its controls, frame included, as a new 32-bit bitmap.
std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider);
