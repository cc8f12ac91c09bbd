#pragma once
// The child-control adapter of a skinned form: it walks the form's components
// and child controls and attaches to each control the window handler its class
// calls for (the skin manager's or the form's class-name lists pick the kind),
// recolours plain labels, gives child forms a provider of their own, passes
// skin commands on to the live handlers and lets every handler go when the
// skin is removed, leaving each control as it was.
//
// A control whose Tag has kNoSkinTag set (acntTypes.h) is never adapted.

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Forms.h"
#include "skin/controls/acMainWnd.h"
#include "skin/core/acntTypes.h"

class TsSkinManager;
class TFrame;


// Asked for each child before it is skinned: CanBeAdded false leaves it plain;
// the section may be changed.
using TAddItemEvent = std::function<void(TComponent* Item, bool& CanBeAdded, String& SkinSection)>;
// The same with every parameter of the handler (clearing UseSkinFontColor also refuses a label).
using TAddItemExEvent = std::function<void(TComponent* Item, bool& CanBeAdded, TacSkinParams* SkinParams)>;

using TacThirdLists = std::array<TStringList, kThirdPartyKinds>;

// What the adapter needs of the form it adapts: the skin provider fills it in.
class TacAdapterHost {
 public:
  virtual ~TacAdapterHost() = default;
  // The skinned form (nullptr while there is none).
  virtual TForm* HostForm() const = 0;
  virtual bool AllowSkin3rdParty() const = 0;
  virtual const TAddItemEvent& SkinItemEvent() const = 0;
  virtual const TAddItemExEvent& SkinItemExEvent() const = 0;
  // The class-name lists that pick a control's handler kind: the form's own
  // when any of them is filled, else the manager's; nullptr without either.
  virtual const TacThirdLists* ThirdLists() const = 0;
  // The manager that skins the form (nullptr: none).
  virtual TsSkinManager* Manager() const = 0;
  // Recolours a plain label while skinned, gives its colours back otherwise.
  virtual void InitLabel(TControl* Control, bool Skinned) = 0;
  // A form placed as a child control gets a skin provider of its own painting Section.
  virtual void AdaptChildForm(TForm* Form, const String& Section) = 0;
  // A frame gets a frame adapter (nothing until frames are skinned).
  virtual void AdaptFrame(TFrame*) {}
};

class TacCtrlAdapter;

// One adapted windowed control and its handler.
class TacAdapterItem : public TPersistent {
 public:
  TacAdapterItem(TacCtrlAdapter* AAdapter, TWinControl* ACtrl) : WinCtrl(ACtrl), Adapter(AAdapter) {}
  ~TacAdapterItem() override;
  // Attaches the handler of the first class-name list naming the control's class.
  void DoHook(TWinControl* Control, const TacSkinParams& SkinParams);
  // The handler is there and still holds its window.
  bool Live() const { return ScrollWnd && !ScrollWnd->Destroyed; }

  TWinControl* WinCtrl = nullptr;  // borrowed; not touched once the handler let go
  TacHandlerPtr<TacMainWnd> ScrollWnd;
  TacCtrlAdapter* Adapter = nullptr;
};

class TacCtrlAdapter : public TPersistent {
 public:
  explicit TacCtrlAdapter(TacAdapterHost* AProvider);
  ~TacCtrlAdapter() override;
  TacCtrlAdapter(const TacCtrlAdapter&) = delete;
  TacCtrlAdapter& operator=(const TacCtrlAdapter&) = delete;

  // Adapts every supported component and child control of OwnerCtrl, recursively
  // (nullptr: the form). Returns at once while a walk of this adapter runs.
  void AddAllItems(TWinControl* OwnerCtrl = nullptr);
  // Adapts one windowed control (its window is made when missing).
  void AddNewItem(TWinControl* Ctrl) { AddNewItem(Ctrl, DefaultSection); }
  void AddNewItem(TWinControl* Ctrl, const String& SkinSection);
  // Whether the component is to be adapted at all.
  bool IsControlSupported(TComponent* Control);
  // Drops every entry whose handler is missing or has let go of its window.
  void CleanItems();
  // Frees every entry and its handler; each control is left as it was.
  void RemoveAllItems();
  // Frees the entry at Index; the last entry takes its place. Out of range: nothing.
  void RemoveItem(int Index);
  int IndexOf(TWinControl* Ctrl) const;
  TacAdapterItem* GetItem(int Index) const;
  int Count() const { return int(Items.size()); }
  // Passes the message to every live handler, in entry order.
  void WndProc(TMessage& Message);

  // Section of the controls added through the one-argument AddNewItem.
  String DefaultSection;
  // A control was made or inserted since the last walk (custom-draw notices walk only then).
  bool ControlsAddedSinceWalk = false;
  std::vector<std::unique_ptr<TacAdapterItem>> Items;
  TacAdapterHost* Provider = nullptr;  // borrowed: the provider owns the adapter

  // The handler-list index of a class name (-1: none), searching lists in
  // order and names within a list in order, exactly.
  static int FindHandlerKind(const TacThirdLists* Lists, const String& ClassName);

 private:
  // OnSkinItem and OnSkinItemEx for a graphic control, label, frame or form.
  bool AskEvents(TComponent* Control);
  // One component met by a walk: adapted when supported, then walked into.
  void AddComponent(TComponent* C);

  bool bFlag = false;  // a walk runs
};
