#include "skin/forms/acCtrlAdapter.h"

#include <unordered_set>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinManager.h"

namespace {

// Guards RemoveAllItems of every adapter: freeing handlers sends messages that may come back here.
bool RemovingItems = false;

bool Skipped(const TComponent* C) { return (C->Tag & kNoSkinTag) != 0; }

}  // namespace

// ---- Items ----

TacAdapterItem::~TacAdapterItem() {
  // A handler still holding its window gives it back before it goes.
  if (Live()) ReleaseWndHandler(ScrollWnd->CtrlHandle, true, ScrollWnd.get());
  ScrollWnd.reset();
}

void TacAdapterItem::DoHook(TWinControl* Control, const TacSkinParams& SkinParams) {
  TacSkinParams params = SkinParams;
  TsSkinManager* manager = Adapter && Adapter->Provider ? Adapter->Provider->Manager() : nullptr;
  if (!Control || Skipped(Control) || !Control->HandleAllocated() || IsWindowSkinned(Control->Handle()) || !manager)
    return;
  WinCtrl = Control;
  params.Control = Control;
  const int kind = TacCtrlAdapter::FindHandlerKind(Adapter->Provider->ThirdLists(), Control->ClassName());
  if (kind < 0) return;
  const TacHandlerClass& cls = ThirdPartyHandlerClasses[size_t(kind)];
  // A kind whose handler is not written leaves the control plain.
  if (!cls.Create) return;
  ScrollWnd = cls.Create(Control->Handle(), nullptr, manager, params, true);
  if (ScrollWnd) ScrollWnd->Adapter = Adapter;
}

// ---- The adapter ----

TacCtrlAdapter::TacCtrlAdapter(TacAdapterHost* AProvider) : Provider(AProvider) { RemovingItems = false; }

TacCtrlAdapter::~TacCtrlAdapter() {
  CleanItems();
  RemoveAllItems();
}

int TacCtrlAdapter::FindHandlerKind(const TacThirdLists* Lists, const String& ClassName) {
  if (!Lists) return -1;
  for (int i = 0; i < kThirdPartyKinds; ++i) {
    const TStringList& l = (*Lists)[size_t(i)];
    for (int j = 0; j < l.Count(); ++j)
      if (l[j] == ClassName) return i;
  }
  return -1;
}

bool TacCtrlAdapter::AskEvents(TComponent* Control) {
  bool canBeAdded = true;
  TacSkinParams params;
  // Both events are asked, whatever the first answers.
  if (const auto& ev = Provider->SkinItemEvent()) ev(Control, canBeAdded, params.SkinSection);
  if (const auto& ev = Provider->SkinItemExEvent()) ev(Control, canBeAdded, &params);
  return canBeAdded && params.UseSkinFontColor;
}

bool TacCtrlAdapter::IsControlSupported(TComponent* Control) {
  if (!Control || Skipped(Control)) return false;
  if (auto* wc = dynamic_cast<TWinControl*>(Control))
    if (!wc->HandleAllocated() || IsWindowSkinned(wc->Handle())) return false;
  if (dynamic_cast<TGraphicControl*>(Control)) {
    if (dynamic_cast<TCustomLabel*>(Control)) return AskEvents(Control);
    if (dynamic_cast<TSpeedButton*>(Control))
      return FindHandlerKind(Provider->ThirdLists(), Control->ClassName()) >= 0 && AskEvents(Control);
    return false;
  }
  if (dynamic_cast<TCustomFrame*>(Control) || dynamic_cast<TCustomForm*>(Control)) return AskEvents(Control);
  return FindHandlerKind(Provider->ThirdLists(), Control->ClassName()) >= 0;
}

void TacCtrlAdapter::AddAllItems(TWinControl* OwnerCtrl) {
  TsSkinManager* manager = Provider ? Provider->Manager() : nullptr;
  if (!manager || !Provider->AllowSkin3rdParty() || bFlag || !manager->SkinningRules().Contains(srThirdParty)) return;
  if (!OwnerCtrl) OwnerCtrl = Provider->HostForm();
  if (!OwnerCtrl) return;
  bFlag = true;
  if (OwnerCtrl == Provider->HostForm()) ControlsAddedSinceWalk = false;
  CleanItems();
  // A control may be met both as an owned component and as a child control:
  // it is adapted and walked into once.
  std::unordered_set<TComponent*> met{OwnerCtrl};
  std::function<void(TWinControl*)> walk = [&](TWinControl* Owner) {
    auto visit = [&](TComponent* C) {
      if (!met.insert(C).second) return;
      AddComponent(C);
      auto* wc = dynamic_cast<TWinControl*>(C);
      if (wc && wc->HandleAllocated() && wc->Parent()) walk(wc);
    };
    for (int i = 0; i < Owner->ComponentCount(); ++i) visit(Owner->Components(i));
    for (int i = 0; i < Owner->ControlCount(); ++i) visit(Owner->Controls(i));
  };
  try {
    walk(OwnerCtrl);
  } catch (...) {
    bFlag = false;
    throw;
  }
  bFlag = false;
}

void TacCtrlAdapter::AddComponent(TComponent* C) {
  if (!IsControlSupported(C)) return;
  if (auto* wc = dynamic_cast<TWinControl*>(C)) {
    AddNewItem(wc, String());
  } else if (auto* label = dynamic_cast<TCustomLabel*>(C)) {
    // The library's own labels skin themselves.
    if (!IsControlSkinned(label)) Provider->InitLabel(label, true);
  }
}

void TacCtrlAdapter::AddNewItem(TWinControl* Ctrl, const String& SkinSection) {
  if (!Provider || !Provider->AllowSkin3rdParty() || !Ctrl || Skipped(Ctrl) || !Ctrl->Parent()) return;
  if (IsWindowSkinned(Ctrl->Handle())) return;
  TacSkinParams params;
  params.SkinSection = SkinSection;
  bool canBeAdded = true;
  if (const auto& ev = Provider->SkinItemEvent()) {
    ev(Ctrl, canBeAdded, params.SkinSection);
    if (!canBeAdded) return;
  }
  if (const auto& ev = Provider->SkinItemExEvent()) {
    ev(Ctrl, canBeAdded, &params);
    if (!canBeAdded) return;
  }
  if (auto* frame = dynamic_cast<TFrame*>(Ctrl)) {
    Provider->AdaptFrame(frame);
    return;
  }
  if (auto* form = dynamic_cast<TForm*>(Ctrl)) {
    Provider->AdaptChildForm(form, params.SkinSection.empty() ? String("FORM") : params.SkinSection);
    return;
  }
  const int i = IndexOf(Ctrl);
  if (i >= 0) {
    TacAdapterItem* item = Items[size_t(i)].get();
    if (item->ScrollWnd && item->ScrollWnd->Destroyed) {
      // The window was made again since: a fresh handler takes it.
      item->ScrollWnd.reset();
      if (item->WinCtrl->Parent()) item->DoHook(Ctrl, params);
    }
    return;
  }
  Items.push_back(std::make_unique<TacAdapterItem>(this, Ctrl));
  TacAdapterItem* item = Items.back().get();
  if (item->WinCtrl->Parent()) item->DoHook(Ctrl, params);
  if (!item->ScrollWnd) Items.pop_back();
}

void TacCtrlAdapter::CleanItems() {
  std::erase_if(Items, [](const std::unique_ptr<TacAdapterItem>& item) { return !item->Live(); });
}

void TacCtrlAdapter::RemoveAllItems() {
  if (RemovingItems) return;
  RemovingItems = true;
  // Last first; each entry gives its control back as it frees its handler.
  while (!Items.empty()) {
    std::unique_ptr<TacAdapterItem> item = std::move(Items.back());
    Items.pop_back();
    item.reset();
  }
  RemovingItems = false;
}

void TacCtrlAdapter::RemoveItem(int Index) {
  if (Index < 0 || Index >= Count()) return;
  std::unique_ptr<TacAdapterItem> gone = std::move(Items[size_t(Index)]);
  if (size_t(Index) + 1 < Items.size()) Items[size_t(Index)] = std::move(Items.back());
  Items.pop_back();
}

int TacCtrlAdapter::IndexOf(TWinControl* Ctrl) const {
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i]->WinCtrl == Ctrl) return int(i);
  return -1;
}

TacAdapterItem* TacCtrlAdapter::GetItem(int Index) const {
  return Index >= 0 && Index < Count() ? Items[size_t(Index)].get() : nullptr;
}

void TacCtrlAdapter::WndProc(TMessage& Message) {
  // By index: a handler's answer may add or clean entries.
  for (size_t i = 0; i < Items.size(); ++i) {
    TacAdapterItem* item = Items[i].get();
    if (item->Live() && item->WinCtrl->Parent())
      item->ScrollWnd->ProcessMessage(Message.Msg, Message.WParam, Message.LParam);
  }
}
