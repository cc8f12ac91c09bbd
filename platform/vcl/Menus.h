#pragma once
// Menus of the windowing framework: menu items (a tree of components), the
// form's main menu shown as its menu bar, and popup menus shown at a point or
// on a right click of a control whose PopupMenu they are. Each menu builds
// its window-layer menu on first use and keeps it up to date as items change.
// Items are owner-drawn when their menu says OwnerDraw or when they have a
// drawing handler; the handlers then get a canvas over the menu's DC.

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"

class TMenu;
class TCustomImageList;

// A key with modifiers: the virtual key in the low byte, scShift, scCtrl and scAlt above.
using TShortCut = WORD;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;
TShortCut ShortCut(WORD Key, TShiftState Shift);
// "Ctrl+O", "Shift+Del", "F5"...; empty for scNone.
String ShortCutToText(TShortCut Value);
// A caption as drawn: "&" marks the next letter and goes, "&&" is one ampersand.
String StripHotkey(const String& s);
// The reverse of ShortCutToText; scNone for text it does not know.
TShortCut TextToShortCut(const String& Text);

enum TMenuBreak { mbNone, mbBreak, mbBarBreak };
enum TOwnerDrawStateFlag {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
  odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateFlag>;

using TMenuMeasureItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height)>;
using TMenuDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, bool Selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State)>;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  // "-" makes the item a separator line.
  String Caption() const { return FCaption; }
  void SetCaption(const String& Value);
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  // The bold item that a double click on the parent would choose.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value);
  // Checking a radio item unchecks the others of its group among its siblings.
  uint8_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(uint8_t Value) { FGroupIndex = Value; }
  // An image of ImageList() drawn before the caption (-1: none).
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  // The images of this item's children, instead of the menu's Images.
  TCustomImageList* SubMenuImages() const { return FSubMenuImages; }
  void SetSubMenuImages(TCustomImageList* Value);
  // The list ImageIndex refers to: the parent's SubMenuImages, else the menu's Images.
  TCustomImageList* ImageList() const;
  // A picture of the item's own, drawn instead of an image of the list when not empty.
  TBitmap* Bitmap();
  void SetBitmap(TBitmap* Value);
  TMenuBreak Break() const { return FBreak; }
  void SetBreak(TMenuBreak Value);
  String Hint;
  bool IsLine() const { return FCaption == "-"; }

  // The command id of the item in its menu's window-layer menu.
  WORD Command() const { return FCommand; }
  // The window-layer submenu of an item with children (made on demand).
  HMENU Handle();

  int Count() const { return int(FItems.size()); }
  TMenuItem* Items(int Index) const { return FItems.at(size_t(Index)); }
  void Add(TMenuItem* Item);
  void Insert(int Index, TMenuItem* Item);
  // Takes the item out without freeing it.
  void Remove(TMenuItem* Item);
  // Frees the item at Index.
  void Delete(int Index);
  // Frees every child.
  void Clear();
  int IndexOf(const TMenuItem* Item) const;
  // The child with this caption (ignoring "&" and case), or nullptr.
  TMenuItem* Find(const String& ACaption) const;
  TMenuItem* Parent() const { return FParent; }
  int MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }
  TMenu* GetParentMenu() const;

  // Fires OnClick (a radio item gets checked first when AutoCheck... is not asked: the handler decides).
  virtual void Click();
  // Owner drawing: the handlers, or the plain look when there is none.
  virtual void MeasureItem(TCanvas* ACanvas, int& Width, int& Height);
  virtual void AdvancedDrawItem(TCanvas* ACanvas, TRect ARect, TOwnerDrawState State, bool TopLevel);

  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;

  TNotifyEvent OnClick;
  TMenuMeasureItemEvent OnMeasureItem;
  TMenuDrawItemEvent OnDrawItem;
  TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TMenu;
  bool HasImage() const;
  bool HasBitmap() const;
  // This item's window-layer menu and every one below it are built again.
  void RebuildTree();
  // The entry of this item in its parent's window-layer menu.
  void Describe(MENUITEMINFOW& Info, std::string& Text);
  bool IsOwnerDrawn() const;
  // The parent's window-layer menu is built again, and the bar redrawn.
  void Changed();
  void RebuildHandle();
  // The item, its menu or their owner is being freed: nothing is rebuilt.
  bool Quiet() const;
  void UncheckGroup();

  String FCaption;
  TShortCut FShortCut = scNone;
  bool FEnabled = true;
  bool FVisible = true;
  bool FChecked = false;
  bool FDefault = false;
  bool FRadioItem = false;
  uint8_t FGroupIndex = 0;
  int FImageIndex = -1;
  TCustomImageList* FSubMenuImages = nullptr;
  std::unique_ptr<TBitmap> FBitmap;  // made when first asked for
  TMenuBreak FBreak = mbNone;
  WORD FCommand = 0;
  HMENU FHandle = nullptr;
  TMenuItem* FParent = nullptr;
  TMenu* FMenu = nullptr;  // set on a menu's root item
  std::vector<TMenuItem*> FItems;
};

enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;

  // The root item; its children are the menu's items.
  TMenuItem* Items() const { return FItems.get(); }
  HMENU Handle();
  bool HandleAllocated() const { return FItems->FHandle != nullptr; }
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value);
  // The items' images (ImageIndex); an item with an image is drawn by the menu.
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);

  TMenuItem* FindItem(uintptr_t Value, TFindItemKind Kind) const;
  // A key pressed with these modifiers: the item it is the ShortCut of runs
  // its Click when it and its parents are enabled and visible; false when no
  // such item takes the key (it then goes on to the control).
  bool IsShortCut(WORD Key, TShiftState Shift);
  // WM_COMMAND of an item: its Click; false when the id is not this menu's.
  bool DispatchCommand(WORD ACommand);
  // WM_INITMENUPOPUP of a submenu: the Click of the item that opens it.
  bool DispatchPopup(HMENU AMenu);
  // The menu messages a window gets for this menu (WM_COMMAND, WM_INITMENUPOPUP,
  // WM_MEASUREITEM, WM_DRAWITEM, WM_MENUCHAR); true when handled.
  bool WindowMessage(TMessage& Message);

 protected:
  friend class TMenuItem;
  virtual HMENU CreateMenuHandle() = 0;
  // An item changed after the handle was made.
  virtual void MenuChanged() {}
  void Notification(TComponent* AComponent, TOperation Operation) override;

  std::unique_ptr<TMenuItem> FItems;
  bool FOwnerDraw = false;
  TCustomImageList* FImages = nullptr;
};

class TCustomForm;

class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
  // The form whose menu bar shows it (set by the form).
  TCustomForm* Form() const { return FForm; }

 protected:
  friend class TCustomForm;
  HMENU CreateMenuHandle() override { return CreateMenu(); }
  void MenuChanged() override;
  TCustomForm* FForm = nullptr;
};

enum TPopupAlignment { paLeft, paRight, paCenter };
enum TTrackButton { tbRightButton, tbLeftButton };
enum TMenuAnimations { maLeftToRight, maRightToLeft, maTopToBottom, maBottomToTop, maNone };
using TMenuAnimation = TSet<TMenuAnimations>;

class TPopupMenu : public TMenu {
 public:
  explicit TPopupMenu(TComponent* AOwner);
  ~TPopupMenu() override;

  // Shows the menu at a screen point (OnPopup first); returns once it closed.
  // The chosen item's OnClick runs when the posted command is handled.
  virtual void Popup(int X, int Y);
  // The control that was right-clicked for the last automatic popup.
  TComponent* PopupComponent = nullptr;
  bool AutoPopup = true;
  TPopupAlignment Alignment = paLeft;
  TTrackButton TrackButton = tbRightButton;
  TMenuAnimation MenuAnimation;
  TNotifyEvent OnPopup;

 protected:
  HMENU CreateMenuHandle() override { return CreatePopupMenu(); }
  virtual void DoPopup(TObject* Sender);
};

// The hidden window that owns every popup menu while it shows and hands the
// menu's messages to it ("TPUtilWindow", as the framework's helper windows).
HWND PopupListWindow();

// Registers the menu classes' published properties (done with the framework's own).
void RegisterMenuClasses();
// WM_CONTEXTMENU of a control: shows Menu at the message's point (the
// control's centre for the keyboard's -1) when it is set to pop up by itself.
bool ShowPopupMenuOf(TControl* Control, TPopupMenu* Menu, LPARAM ScreenPoint);
// The component as a menu of that kind; EPropertyError naming it otherwise.
TPopupMenu* CheckedPopupMenu(TComponent* Component);
TMainMenu* CheckedMainMenu(TComponent* Component);
