#pragma once
// The skinned scroll bars of a form window, kept apart from the provider's
// header: the handler's unit and the skin manager's declare different types
// of the same name, so no unit includes both.

#include "platform/vcl/Forms.h"
#include "skin/core/sCommonData.h"

class TacScrollWnd;

// A handler of the form's own scroll bars on the provider's record.
TacScrollWnd* CreateFormScrolls(TCustomForm* Form, TsScrollWndData* Data, const TacSkinRecords* Skin);
// The handler lets go of the form's window and is freed (nullptr: nothing).
void FreeFormScrolls(TacScrollWnd* Handler);
// The handler has let go of its window.
bool FormScrollsDestroyed(const TacScrollWnd* Handler);
// The width the handler keeps left of the client area (0 when none).
int FormScrollsLeftEdge(const TacScrollWnd* Handler);
