// Interim bodies of the provider's methods whose subjects have units of their
// own (title buttons, system menu, option objects, services, skin commands,
// extended borders, the menu line). Each is the smallest behaviour the frame
// needs; a unit that takes a subject over moves its definitions out of here.

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"

// ---- Menu line ----

void TsSkinProvider::PrepareMenuLine() {}
bool TsSkinProvider::UpdateMenu() { return false; }
void TsSkinProvider::InitMenuItems(bool) {}
void TsSkinProvider::RepaintMenu() {}

