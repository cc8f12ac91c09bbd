// Small services of the form provider: plain labels recoloured while skinned
// and given their colours back, the form's own class-name lists, the form's
// skinned scroll bars, the child-control adapter's link to the provider, the
// glued-forms list, desktop composition (never available here) and look-ups.

#include <algorithm>

#include "platform/win/Controls.h"
#include "skin/core/sMessages.h"
#include "skin/forms/acCtrlAdapter.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sSkinProviderScrolls.h"

namespace {

bool Skipped(const TComponent* C) { return (C->Tag & kNoSkinTag) != 0; }

// Transparent labels show the form's skinned background through.
bool ShowsThrough(TCustomLabel* Label) {
  TsSkinManager* m = DefaultSkinManager();
  return Label->Transparent() || (m && m->LabelsOptions.TransparentAlways);
}

}  // namespace

// ---- Labels ----

void TsSkinProvider::InitLabel(TControl* Control, bool Skinned) {
  auto* label = dynamic_cast<TCustomLabel*>(Control);
  if (!label) return;
  auto saved = std::find_if(SavedLabelColors.begin(), SavedLabelColors.end(),
                            [&](const TacLabelColor& c) { return c.Control == Control; });
  if (Skinned) {
    if (Skipped(label)) return;
    if (saved == SavedLabelColors.end())
      SavedLabelColors.push_back({label->Font()->Color(), label, label->ParentFont()});
    if (ShowsThrough(label)) label->ControlStyle.Exclude(csOpaque);
    if (DefaultManager) label->Font()->SetColor(DefaultManager->GetGlobalFontColor());
    return;
  }
  if (saved != SavedLabelColors.end()) {
    if (!saved->ParentFont)
      label->Font()->SetColor(saved->Color);
    else if (label->ParentFont()) {
      if (label->Parent()) label->Font()->SetColor(label->Parent()->Font()->Color());
    } else {
      label->SetParentFont(true);
    }
    *saved = SavedLabelColors.back();
    SavedLabelColors.pop_back();
  }
  if (ShowsThrough(label)) label->ControlStyle.Include(csOpaque);
}

// ---- Class-name lists ----

void TsSkinProvider::ReadThirdLists() {
  OwnThirdLists = false;
  for (int i = 0; i < TsThirdPartyList::kCount; ++i) {
    const String& s = FThirdParty->Items[size_t(i)];
    if (!s.empty()) OwnThirdLists = true;
    FThirdLists[size_t(i)].SetText(s);
  }
}

void TsSkinProvider::WriteThirdLists() {
  if (!FThirdParty) return;
  for (int i = 0; i < TsThirdPartyList::kCount; ++i) FThirdParty->Items[size_t(i)] = FThirdLists[size_t(i)].Text();
}

// ---- The form's scroll bars ----

void TsSkinProvider::InitScrolls() {
  if ((ComponentState() & csDestroying) || !Form || !Form->HandleAllocated() || (FFormState & FS_SCROLLSINIT)) return;
  FFormState |= FS_SCROLLSINIT;
  if (FCommonData->Skinned()) {
    UninitializeFlatSB(Form->Handle());
    if (FormScrollsDestroyed(ListSW)) FreeListSW(this);
    if (!ListSW) ListSW = CreateFormScrolls(Form, FCommonData.get(), Skin());
  } else {
    FreeListSW(this);
    InitializeFlatSB(Form->Handle());
  }
  FFormState &= ~unsigned(FS_SCROLLSINIT);
}

void FreeListSW(TsSkinProvider* sp) { FreeFormScrolls(std::exchange(sp->ListSW, nullptr)); }

// ---- The child-control adapter ----

void TsSkinProvider::AdaptAllControls() {
  if (!Adapter) {
    if (!Form || (Form->ComponentState() & csDesigning) || !FCommonData->Skinned()) return;
    Adapter = std::make_unique<TacCtrlAdapter>(this);
  }
  Adapter->AddAllItems(nullptr);
}

// ---- Window style ----

void TsSkinProvider::UpdateSysMenuStyle(bool Skinning) {
  if (!Form || !Form->HandleAllocated()) return;
  HWND h = Form->Handle();
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  if (Skinning) {
    // While the frame is painted here the layer must draw no caption buttons of its own.
    const LONG_PTR want = FDrawNonClientArea ? style & ~LONG_PTR(WS_SYSMENU) : style | WS_SYSMENU;
    if (want != style) SetWindowLongPtrW(h, GWL_STYLE, want);
  } else if (Form->BorderIcons().Contains(biSystemMenu)) {
    if (!(style & WS_SYSMENU)) SetWindowLongPtrW(h, GWL_STYLE, style | WS_SYSMENU);
    constexpr WPARAM kSmallIcon = 0;  // the system menu's icon comes back with the style
    SendMessageW(h, WM_SETICON, kSmallIcon, SendMessageW(h, WM_GETICON, kSmallIcon, 0));
  }
}

void TsSkinProvider::StartMoveWithBlend() {
  if (!FormActive) {
    FormActive = true;
    SetBGChanged(true);
  }
  if (Form && Form->CanFocus()) Form->SetFocus();
  StartFormBlendOnMoving(this, true);
}

// ---- Glued forms ----

void RemoveGluedSlave(TForm* Form) {
  auto& couples = FormsCouples;
  for (size_t i = 0; i < couples.size();) {
    if (couples[i].Slave == Form) {
      couples[i] = couples.back();
      couples.pop_back();
    } else {
      ++i;
    }
  }
}

int SnapDelta(int A, int B, int Range) { return A >= B - Range && A <= B + Range ? A - B : 0; }

// ---- Desktop composition ----
// The platform offers no composition: every call finds its entry missing.

int32_t SetDwmAttribute(HWND, DWORD, const void*, DWORD) { return kDwmNotImplemented; }
bool AeroIsEnabled() { return false; }

void SetTransitionsDisabled(HWND Wnd, bool Disable) {
  const BOOL value = Disable ? TRUE : FALSE;
  SetDwmAttribute(Wnd, 3, &value, sizeof value);
}

// ---- Look-ups ----

TsSkinProvider* ProviderOfComponent(TComponent* Component) {
  while (Component && !dynamic_cast<TCustomForm*>(Component)) Component = Component->Owner();
  auto* form = dynamic_cast<TCustomForm*>(Component);
  if (!form || !form->HandleAllocated()) return nullptr;
  return dynamic_cast<TsSkinProvider*>(
      reinterpret_cast<TObject*>(SendSkinMessage(form->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_GETPROVIDER), 0)));
}

TComponent* FindControlById(int Id, TComponent* Component) {
  if (!Component) return nullptr;
  for (int i = 0; i < Component->ComponentCount(); ++i) {
    TComponent* c = Component->Components(i);
    if (auto* wc = dynamic_cast<TWinControl*>(c); wc && wc->HandleAllocated() && GetDlgCtrlID(wc->Handle()) == Id)
      return c;
    if (TComponent* found = FindControlById(Id, c)) return found;
  }
  return nullptr;
}
