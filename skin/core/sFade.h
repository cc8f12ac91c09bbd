#pragma once
// State-change fades of controls: when a skinned control turns hot, pressed or
// normal again, its window cross-fades from the old picture to the new one in
// 12 ms steps on the control's animation timer, and its glow fades with it.
// The control's cached image is the picture of its current state; the fade
// paints straight onto the control's window.

#include "skin/core/acThdTimer.h"

class TsCommonData;

// Repaints the control for State: faded (with the glow shown first when
// WithGlow, State < 100 and none is shown) when Animate and the control has
// an up-to-date cached image and animation is allowed; otherwise a plain
// repaint, with the glow shown at full opacity while the mouse is over the
// control (WithGlow) and hidden when it is not.
void AnimateStateChange(TsCommonData* SkinData, int State, TacAnimProc AnimProc, bool Animate, bool Fast,
                        bool WithGlow);
// Takes the picture before the change, rebuilds the cache for State, and
// starts the control's timer with AnimProc (the first step at once). Nothing
// when the running fade already heads for State.
void StartFade(TsCommonData* SkinData, int State, TacAnimProc AnimProc, bool Fast);
// One step of a state-change fade (the control's TsCommonData in Data).
bool FadeStep(TObject* Data, int Iteration);
