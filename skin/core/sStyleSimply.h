#pragma once
// The forms the skinning reaches: the list of forms skinned by a provider,
// the broadcasts of skin commands over the application's forms, and the
// freezing and release of provider forms around a skin change.

#include <functional>
#include <vector>

#include "platform/vcl/Forms.h"
#include "skin/core/sVclUtils.h"

class TsSkinManager;

// Forms with an active skin provider, in the order they were registered.
void RegisterSkinnedForm(TCustomForm* Form);
// The last entry takes the place of the form; the list shrinks by one.
void UnregisterSkinnedForm(TCustomForm* Form);
const std::vector<TCustomForm*>& SkinnedForms();

// The message to each form of the application that has no provider (last
// first) and its children, then BroadcastToSkinnedForms.
void BroadcastToApplicationForms(TMessage& Msg);
// The message to each registered form and its children, then to the visible
// windows the window-creation hook skinned.
void BroadcastToSkinnedForms(TMessage& Msg);

// Proc(provider, Data) for each visible, not minimised top-level registered
// form whose provider (its answer to SKC_GETPROVIDER) is skinned by Manager.
using TacProviderProc = std::function<void(TCustomForm* Form, TObject* Provider, void* Data)>;
void ForEachProviderForm(TsSkinManager* Manager, const TacProviderProc& Proc, void* Data = nullptr);

// What the form library adds to the freezing of a provider form around a
// skin change and its release after it (its cover images, extended borders,
// the change animation); unset, forms are only frozen and redrawn.
struct TacSkinChangeSteps {
  std::function<void(TCustomForm* Form, TObject* Provider)> Prepare;
  std::function<void(TCustomForm* Form, TObject* Provider)> Lock;
  // Returns true when it repainted the form itself.
  std::function<bool(TCustomForm* Form, TObject* Provider, bool Repaint)> Finish;
};
inline TacSkinChangeSteps SkinChangeSteps;


void PrepareSkinChange(TsSkinManager* Manager);
// Provider forms stop drawing (WM_SETREDRAW off) until UnlockForms.
void LockForms(TsSkinManager* Manager);
// Drawing comes back; with Repaint each form is redrawn whole.
void UnlockForms(TsSkinManager* Manager, bool Repaint = true);
