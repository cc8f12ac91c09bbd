#include "platform/rtl/Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <typeinfo>

// ---------------------------------------------------------------------------
// TObject / TPersistent

String TObject::ClassName() const {
  const char* mangled = typeid(*this).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  String full = status == 0 && name ? String(name.get()) : String(mangled);
  // Classes inside namespaces report their own name only.
  size_t colon = full.rfind("::", full.find('<'));
  return colon == String::npos ? full : full.substr(colon + 2);
}

void TPersistent::Assign(TPersistent* Source) {
  if (Source)
    Source->AssignTo(this);
  else
    AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
  throw EConvertError(Format("Cannot assign a %s to a %s", {Source ? Source->ClassName() : String("nil"), ClassName()}));
}

String TPersistent::GetNamePath() { return ClassName(); }

// ---------------------------------------------------------------------------
// TList / TObjectList / TThreadList / TBits

namespace {

[[noreturn]] void ListIndexError(int Index) { throw EListError(Format("List index out of bounds (%d)", {Index})); }

}  // namespace

TList::~TList() { Clear(); }

void* TList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) ListIndexError(Index);
  return FList[Index];
}

void TList::SetItems(int Index, void* Item) {
  if (Index < 0 || Index >= Count()) ListIndexError(Index);
  void* old = FList[Index];
  if (old == Item) return;
  FList[Index] = Item;
  if (old) Notify(old, lnDeleted);
  if (Item) Notify(Item, lnAdded);
}

void TList::SetCount(int NewCount) {
  if (NewCount < 0) throw EListError(Format("List count out of bounds (%d)", {NewCount}));
  if (NewCount > Count()) {
    FList.resize(NewCount, nullptr);
  } else {
    while (Count() > NewCount) Delete(Count() - 1);
  }
}

int TList::Add(void* Item) {
  FList.push_back(Item);
  if (Item) Notify(Item, lnAdded);
  return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > Count()) ListIndexError(Index);
  FList.insert(FList.begin() + Index, Item);
  if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
  void* item = Items(Index);
  FList.erase(FList.begin() + Index);
  if (item) Notify(item, lnDeleted);
}

int TList::Remove(void* Item) {
  int index = IndexOf(Item);
  if (index >= 0) Delete(index);
  return index;
}

void* TList::Extract(void* Item) {
  int index = IndexOf(Item);
  if (index < 0) return nullptr;
  FList.erase(FList.begin() + index);
  Notify(Item, lnExtracted);
  return Item;
}

void TList::Clear() {
  // Last first, so that a Notify that looks at the list sees it shrink consistently.
  while (!FList.empty()) Delete(Count() - 1);
  FList.shrink_to_fit();
}

int TList::IndexOf(const void* Item) const {
  auto it = std::find(FList.begin(), FList.end(), Item);
  return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

void TList::Exchange(int Index1, int Index2) {
  Items(Index1);
  Items(Index2);
  std::swap(FList[Index1], FList[Index2]);
}

void TList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  void* item = Items(CurIndex);
  if (NewIndex < 0 || NewIndex >= Count()) ListIndexError(NewIndex);
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, item);
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

void TList::Sort(const std::function<int(void*, void*)>& Compare) {
  std::stable_sort(FList.begin(), FList.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Notify(void*, TListNotification) {}

void TObjectList::Notify(void* Ptr, TListNotification Action) {
  if (OwnsObjects && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
  TList::Notify(Ptr, Action);
}

void TThreadList::Add(void* Item) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (Duplicates != dupAccept && FList.IndexOf(Item) >= 0) {
    if (Duplicates == dupError) throw EListError("List does not allow duplicates");
    return;
  }
  FList.Add(Item);
}

void TThreadList::Remove(void* Item) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FList.Remove(Item);
}

void TThreadList::Clear() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FList.Clear();
}

TList* TThreadList::LockList() {
  FLock.lock();
  return &FList;
}

void TThreadList::UnlockList() { FLock.unlock(); }

void TBits::SetSize(int Value) {
  if (Value < 0) throw EListError(Format("Bits index out of range (%d)", {Value}));
  FBits.resize(static_cast<size_t>(Value), false);
}

bool TBits::Bits(int Index) const {
  if (Index < 0 || Index >= Size()) throw EListError(Format("Bits index out of range (%d)", {Index}));
  return FBits[Index];
}

void TBits::SetBits(int Index, bool Value) {
  if (Index < 0) throw EListError(Format("Bits index out of range (%d)", {Index}));
  if (Index >= Size()) SetSize(Index + 1);
  FBits[Index] = Value;
}

int TBits::OpenBit() const {
  auto it = std::find(FBits.begin(), FBits.end(), false);
  return static_cast<int>(it - FBits.begin());
}

// ---------------------------------------------------------------------------
// TCollection / TCollectionItem

TCollectionItem::TCollectionItem(TCollection* Collection) { SetCollection(Collection); }

TCollectionItem::~TCollectionItem() { SetCollection(nullptr); }

void TCollectionItem::SetCollection(TCollection* Value) {
  if (Value == FCollection) return;
  if (FCollection) FCollection->RemoveItem(this);
  if (Value) Value->InsertItem(this);
}

int TCollectionItem::Index() const {
  if (!FCollection) return -1;
  const auto& items = FCollection->FItems;
  return static_cast<int>(std::find(items.begin(), items.end(), this) - items.begin());
}

void TCollectionItem::SetIndex(int Value) {
  int current = Index();
  if (current < 0 || Value == current) return;
  auto& items = FCollection->FItems;
  Value = std::clamp(Value, 0, static_cast<int>(items.size()) - 1);
  items.erase(items.begin() + current);
  items.insert(items.begin() + Value, this);
  Changed(true);
}

String TCollectionItem::GetDisplayName() { return ClassName(); }

void TCollectionItem::SetDisplayName(const String&) { Changed(false); }

String TCollectionItem::GetNamePath() {
  if (!FCollection) return ClassName();
  return Format("%s[%d]", {FCollection->GetNamePath(), Index()});
}

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(AllItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

TCollection::TCollection(TCollectionItemClass ItemClass) : FItemClass(std::move(ItemClass)) {}

TCollection::~TCollection() {
  FUpdateCount = 1;  // no Update calls into a collection being torn down
  Clear();
}

TCollectionItem* TCollection::Items(int Index) const {
  if (Index < 0 || Index >= Count()) ListIndexError(Index);
  return FItems[Index];
}

TCollectionItem* TCollection::Add() {
  if (!FItemClass) throw EListError("Collection has no item class");
  // The item joins the collection from its base constructor, before it is
  // what it will be: the change is told once it is made whole.
  BeginUpdate();
  TCollectionItem* item = nullptr;
  try {
    item = FItemClass(this);
  } catch (...) {
    EndUpdate();
    throw;
  }
  if (item->FCollection != this) item->SetCollection(this);
  EndUpdate();
  return item;
}

TCollectionItem* TCollection::Insert(int Index) {
  if (Index < 0 || Index > Count()) ListIndexError(Index);
  TCollectionItem* item = Add();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int Index) {
  TCollectionItem* item = Items(Index);
  Notify(item, cnDeleting);
  delete item;
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  while (!FItems.empty()) Delete(Count() - 1);
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (TCollectionItem* item : FItems)
    if (item->FID == ID) return item;
  return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TCollection*>(Source);
  if (!other) {
    TPersistent::Assign(Source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* item : other->FItems) Add()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

String TCollection::GetNamePath() {
  TPersistent* owner = GetOwner();
  return owner ? owner->GetNamePath() : ClassName();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::InsertItem(TCollectionItem* Item) {
  FItems.push_back(Item);
  Item->FCollection = this;
  Item->FID = FNextID++;
  Notify(Item, cnAdded);
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  Notify(Item, cnExtracting);
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it != FItems.end()) FItems.erase(it);
  Item->FCollection = nullptr;
  Changed();
}

// ---------------------------------------------------------------------------
// TComponent

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

void* TComponent::operator new(std::size_t Size) {
  return ::operator new(Size);
}

void TComponent::operator delete(void* Block) {
  ::operator delete(Block);
}

void TComponent::operator delete(TComponent* Self, std::destroying_delete_t) {
  void* block = dynamic_cast<void*>(Self);  // the most derived object's start
  Self->BeforeDestruction();
  Self->~TComponent();
  ::operator delete(block);
}

TComponent::~TComponent() {
  Destroying();
  // Tell everyone who asked, then forget each other.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    RemoveFrom(other->FFreeNotifies, this);
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::Destroying() { FComponentState |= csDestroying; }

TComponent* TComponent::Components(int Index) const {
  if (Index < 0 || Index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  return FComponents[Index];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto it = std::find(FOwner->FComponents.begin(), FOwner->FComponents.end(), this);
  return static_cast<int>(it - FOwner->FComponents.begin());
}

TComponent* TComponent::FindComponent(const String& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, AName)) return c;
  return nullptr;
}

void TComponent::ValidateName(const String& NewName) const {
  if (NewName.empty()) return;
  auto identStart = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  bool valid = identStart(NewName[0]) && std::all_of(NewName.begin(), NewName.end(), [&](char c) {
                 return identStart(c) || (c >= '0' && c <= '9');
               });
  if (!valid) throw EComponentError(Format("''%s'' is not a valid component name", {NewName}));
  if (FOwner) {
    TComponent* other = FOwner->FindComponent(NewName);
    if (other && other != this) throw EComponentError(Format("A component named %s already exists", {NewName}));
  }
}

void TComponent::SetName(const String& NewName) {
  if (NewName == FName) return;
  ValidateName(NewName);
  FName = NewName;
}

void TComponent::RemoveFrom(std::vector<TComponent*>& list, TComponent* c) {
  auto it = std::find(list.begin(), list.end(), c);
  if (it != list.end()) list.erase(it);
}

void TComponent::Insert(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  AComponent->FOwner = nullptr;
  RemoveFrom(FComponents, AComponent);
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this) return;
  if (!AComponent->FName.empty()) {
    TComponent* other = FindComponent(AComponent->FName);
    if (other) throw EComponentError(Format("A component named %s already exists", {AComponent->FName}));
  }
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  Insert(AComponent);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* child = FComponents.back();
    Remove(child);
    delete child;
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(AComponent);
    AComponent->FFreeNotifies.push_back(this);
  }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveFrom(FFreeNotifies, AComponent);
  RemoveFrom(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // A handler may free components of ours; walk by index and re-check.
  for (int i = ComponentCount() - 1; i >= 0; --i) {
    if (i >= ComponentCount()) {
      i = ComponentCount();
      continue;
    }
    FComponents[i]->Notification(AComponent, Operation);
  }
}

