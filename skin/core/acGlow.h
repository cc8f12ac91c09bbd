#pragma once
// Glows: a soft halo picture from the skin shown around a hot control in a
// layered, click-through window of its own, placed just above the control's
// top-level window so that it can spill outside the control. Glows live in one
// table; a glow id is an index into it (-1: none). The table only grows: a
// removed glow leaves an empty slot until FreeAllGlows clears the whole table.
//
// User interface thread only; nothing here raises.

#include <memory>
#include <vector>

#include "skin/core/acntTypes.h"
#include "skin/core/sSkinRecords.h"

class TsCommonData;

// The skin manager's effect switches (the manager sets them): whether controls
// glow, and whether state changes and glows fade.
inline bool EffectsAllowGlowing = true;
inline bool EffectsAllowAnimation = true;

class TacGlowEffect {
 public:
  TacGlowEffect() = default;
  ~TacGlowEffect();
  TacGlowEffect(const TacGlowEffect&) = delete;
  TacGlowEffect& operator=(const TacGlowEffect&) = delete;

  // AlphaBmp := a transparent 32-bit picture of that size with the glow mask
  // painted over it in the control's colour tone.
  void CreateAlphaBmp(int Width, int Height);
  // Makes and shows the glow window around RealRect (screen) at opacity Alpha,
  // above WndHandle's window; nothing when the window exists.
  void Show(const TRect& RealRect, int Alpha, HWND WndHandle);

  int Margin = 0;      // overlap of the picture with the rectangle on each side
  int MaskIndex = -1;  // the glow picture in the skin's masks
  TacGlowForm* Wnd = nullptr;  // owned
  std::unique_ptr<TBitmap> AlphaBmp;
  bool Destroyed = false;
  TWndMethod OldWndProc;
  const TacSkinRecords* SkinManager = nullptr;  // borrowed
  TsCommonData* SkinData = nullptr;             // borrowed

 private:
  friend void HideGlow(int& GlowID, bool Animated);
  friend void FreeAllGlows(bool ReleaseWindows);
  void NewWndProc(TMessage& Message);
  // Gives the window its own procedure back and frees it: at once, or
  // (while the program runs) from the message loop, so that a glow removed
  // from inside its window's message handling frees no window still in use.
  void DropWindow(bool AtOnce);
};

// Owned; empty slots are removed glows.
inline std::vector<std::unique_ptr<TacGlowEffect>> GlowEffects;

// Shows the glow of the section (SkinSection, or else SkinData's section and
// its parents) named MaskName + "0" around RealRect; the glow id, or -1 when
// layered windows are off, SkinData is missing, the mouse is captured or the
// skin has no such mask.
int ShowGlow(const TRect& RealRect, const String& SkinSection, const String& MaskName, int Margin, int Alpha,
             HWND WndHandle, TsCommonData* SkinData);
// The same with the glow picture given: MaskIndexes[0].
int ShowGlowByMasks(const TRect& RealRect, const std::vector<int>& MaskIndexes, int Margin, int Alpha,
                    HWND WndHandle, TsCommonData* SkinData);
// The glow's picture at opacity Alpha; stale ids are ignored.
void SetGlowAlpha(int GlowID, int Alpha);
// Removes the glow: faded out on the control's timer when Animated (and
// animation is allowed), else at once, GlowID becoming -1. Stale ids are ignored.
void HideGlow(int& GlowID, bool Animated);
// Frees every glow (their windows at once with ReleaseWindows) and empties the table.
void FreeAllGlows(bool ReleaseWindows);
// The animation step of a glow-only fade (the control's TsCommonData in Data).
bool GlowFadeStep(TObject* Data, int Iteration);
