#include "skin/core/sStyleSimply.h"

#include <algorithm>

#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"

namespace {

std::vector<TCustomForm*>& FormList() {
  static auto* list = new std::vector<TCustomForm*>();
  return *list;
}

bool BeingDestroyed(TComponent* C) { return C->ComponentState() & csDestroying; }

void SendToForm(TCustomForm* Form, TMessage& Msg) {
  if (Form->HandleAllocated()) Msg.Result = SendMessageW(Form->Handle(), Msg.Msg, Msg.WParam, Msg.LParam);
  BroadcastToChildren(Form, Msg);
}

// The forms a skin change freezes: their windows, so that a form freed
// between the freeze and the release is simply skipped.
std::vector<HWND>& LockedForms() {
  static auto* list = new std::vector<HWND>();
  return *list;
}

bool AppMinimized() { return Application->Minimized(); }

}  // namespace

void RegisterSkinnedForm(TCustomForm* Form) { FormList().push_back(Form); }

void UnregisterSkinnedForm(TCustomForm* Form) {
  auto& list = FormList();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] != Form) continue;
    list[i] = list.back();
    list.back() = nullptr;
    list.pop_back();
    --i;  // the moved entry is looked at too
  }
}

const std::vector<TCustomForm*>& SkinnedForms() { return FormList(); }

void BroadcastToApplicationForms(TMessage& Msg) {
  // Handlers may free forms: the count is read again at every step.
  for (int i = Application->ComponentCount() - 1; i >= 0; --i) {
    if (i >= Application->ComponentCount()) continue;
    auto* form = dynamic_cast<TCustomForm*>(Application->Components(i));
    if (!form || form->FormStyle() == fsMDIChild) continue;
    if (form->ComponentState() & (csLoading | csDestroying)) continue;
    if (form->HandleAllocated() && IsWindowSkinned(form->Handle())) continue;  // registered: reached below
    SendToForm(form, Msg);
  }
  BroadcastToSkinnedForms(Msg);
}

void BroadcastToSkinnedForms(TMessage& Msg) {
  auto& list = FormList();
  for (size_t i = 0; i < list.size(); ++i) {
    TCustomForm* form = list[i];
    if (form && !BeingDestroyed(form)) SendToForm(form, Msg);
  }
  if (!HookProviders) return;
  for (size_t i = 0; i < HookProviders->size(); ++i) {
    HWND wnd = (*HookProviders)[i]->CtrlHandle;
    if (IsWindowVisible(wnd)) SendMessageW(wnd, Msg.Msg, Msg.WParam, Msg.LParam);
  }
}

void ForEachProviderForm(TsSkinManager* Manager, const TacProviderProc& Proc, void* Data) {
  auto& list = FormList();
  for (size_t i = 0; i < list.size(); ++i) {
    TCustomForm* form = list[i];
    if (!form || BeingDestroyed(form) || form->WindowState() == wsMinimized || form->FormStyle() == fsMDIChild ||
        form->Parent() || !form->HandleAllocated() || !form->Visible())
      continue;
    auto* provider = reinterpret_cast<TObject*>(SendSkinCommand(form->Handle(), SKC_GETPROVIDER));
    if (!provider) continue;
    auto* data = reinterpret_cast<TsCommonData*>(SendSkinCommand(form->Handle(), SKC_GETSKINDATA));
    const TacSkinRecords* own = data ? data->SkinManager() : DefaultManager;
    if (own == static_cast<const TacSkinRecords*>(Manager)) Proc(form, provider, Data);
  }
}

namespace {

void SetAnimatingFor(TsSkinManager* Manager) {
  if (Manager->IsDefault() && Manager->AnimEffects.SkinChanging.Active) FormAnimating = true;
}

}  // namespace

void PrepareSkinChange(TsSkinManager* Manager) {
  if (AppMinimized() || SkinLoadingInProgress || (Manager->ComponentState() & csDesigning)) return;
  SetAnimatingFor(Manager);
  ForEachProviderForm(Manager, [](TCustomForm* Form, TObject* Provider, void*) {
    if (SkinChangeSteps.Prepare) SkinChangeSteps.Prepare(Form, Provider);
  });
}

void LockForms(TsSkinManager* Manager) {
  if (AppMinimized()) return;
  SetAnimatingFor(Manager);
  ForEachProviderForm(Manager, [](TCustomForm* Form, TObject* Provider, void*) {
    auto& locked = LockedForms();
    if (std::find(locked.begin(), locked.end(), Form->Handle()) != locked.end()) return;
    if (SkinChangeSteps.Lock) SkinChangeSteps.Lock(Form, Provider);
    locked.push_back(Form->Handle());
    SendSetRedraw(Form->Handle(), false);
  });
}

void UnlockForms(TsSkinManager* Manager, bool Repaint) {
  if (AppMinimized()) return;
  if (Manager->IsDefault()) FormAnimating = false;
  std::vector<HWND> locked;
  locked.swap(LockedForms());
  for (HWND wnd : locked)
    if (IsWindow(wnd)) SendSetRedraw(wnd, true);
  ForEachProviderForm(Manager, [&locked, Manager, Repaint](TCustomForm* Form, TObject* Provider, void*) {
    if (std::find(locked.begin(), locked.end(), Form->Handle()) == locked.end()) return;
    const TacFormAnimation& change = Manager->AnimEffects.SkinChanging;
    if (Repaint && change.Active) {
      // A provider that leaves the frame to the system shows the new look at once.
      auto* animated = dynamic_cast<TacAnimatedForm*>(Provider);
      const bool frame = animated && animated->AnimDrawsNonClient();
      AnimChangeSkin(Form, frame ? change.Time : 0, frame ? animated->AnimBlendValue() : 255,
                     frame && change.Mode == atAero);
    }
    const bool done = SkinChangeSteps.Finish && SkinChangeSteps.Finish(Form, Provider, Repaint);
    if (Repaint && !done)
      RedrawWindow(Form->Handle(), nullptr, nullptr,
                   RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
  });
}
