// Menu items, main menus and popup menus over the window layer's menus.

#include "platform/vcl/Menus.h"

#include <algorithm>

#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/TypInfo.h"

namespace {

// Command ids are unique across every menu, so that a window can tell whose item was chosen.
// They are handed out round the whole range before one comes back, so that a late WM_COMMAND
// is unlikely to reach a newer item.
std::vector<bool>& UsedCommands() {
  static auto* used = new std::vector<bool>(0x10000, false);
  return *used;
}

WORD AllocateCommand() {
  std::vector<bool>& used = UsedCommands();
  static WORD next = 1;
  for (int tries = 0; tries < 0xFFFF; ++tries) {
    const WORD id = next;
    next = next == 0xFFFF ? 1 : WORD(next + 1);
    if (!used[id]) {
      used[id] = true;
      return id;
    }
  }
  return 0;
}

std::vector<TPopupMenu*>& PopupMenus() {
  static auto* list = new std::vector<TPopupMenu*>();
  return *list;
}

LRESULT PopupListProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  TMessage m{msg, wp, lp, 0};
  std::vector<TPopupMenu*> menus = PopupMenus();
  for (TPopupMenu* menu : menus) {
    auto& live = PopupMenus();
    if (std::find(live.begin(), live.end(), menu) == live.end()) continue;
    if (menu->WindowMessage(m)) return m.Result;
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

struct KeyName {
  WORD key;
  const char* name;
};
const KeyName kKeyNames[] = {
    {VK_BACK, "BkSp"},  {VK_TAB, "Tab"},   {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},  {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"}, {VK_END, "End"},      {VK_HOME, "Home"},   {VK_LEFT, "Left"},
    {VK_UP, "Up"},      {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},  {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},
};

String KeyText(WORD key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return String(1, char(key));
  if (key >= VK_F1 && key < VK_F1 + 12) return "F" + std::to_string(key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.key == key) return k.name;
  return String();
}

}  // namespace

String StripHotkey(const String& s) {
  String out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

// ---- Short cuts ----

TShortCut ShortCut(WORD Key, TShiftState Shift) {
  TShortCut s = TShortCut(Key & 0xFF);
  if (Shift.Contains(ssShift)) s |= scShift;
  if (Shift.Contains(ssCtrl)) s |= scCtrl;
  if (Shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

String ShortCutToText(TShortCut Value) {
  const String key = KeyText(Value & 0xFF);
  if (key.empty()) return String();
  String s;
  if (Value & scShift) s += "Shift+";
  if (Value & scCtrl) s += "Ctrl+";
  if (Value & scAlt) s += "Alt+";
  return s + key;
}

TShortCut TextToShortCut(const String& Text) {
  TShortCut mods = 0;
  String rest = Text;
  for (;;) {
    if (rest.size() > 6 && SameText(rest.substr(0, 6), "Shift+")) {
      mods |= scShift;
      rest = rest.substr(6);
    } else if (rest.size() > 5 && SameText(rest.substr(0, 5), "Ctrl+")) {
      mods |= scCtrl;
      rest = rest.substr(5);
    } else if (rest.size() > 4 && SameText(rest.substr(0, 4), "Alt+")) {
      mods |= scAlt;
      rest = rest.substr(4);
    } else {
      break;
    }
  }
  for (int key = 1; key < 256; ++key)
    if (const String t = KeyText(WORD(key)); !t.empty() && SameText(t, rest)) return TShortCut(mods | key);
  return scNone;
}

// ---- TMenuItem ----

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), FCommand(AllocateCommand()) {}

TMenuItem::~TMenuItem() {
  Destroying();
  while (!FItems.empty()) delete FItems.back();  // each takes itself out
  if (FParent) FParent->Remove(this);
  if (FHandle) DestroyMenu(FHandle);
  UsedCommands()[FCommand] = false;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* i = this;
  while (i->FParent) i = i->FParent;
  return i->FMenu;
}

TComponent* TMenuItem::GetParentComponent() const {
  if (FParent && FParent->FMenu) return FParent->FMenu;
  return FParent;
}

void TMenuItem::SetParentComponent(TComponent* Value) {
  if (FParent) FParent->Remove(this);
  if (auto* menu = dynamic_cast<TMenu*>(Value)) menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(Value)) item->Add(this);
}

bool TMenuItem::IsOwnerDrawn() const {
  TMenu* menu = GetParentMenu();
  return (menu && menu->OwnerDraw()) || OnMeasureItem || OnDrawItem || OnAdvancedDrawItem || HasImage() || HasBitmap();
}

TCustomImageList* TMenuItem::ImageList() const {
  if (FParent && FParent->FSubMenuImages) return FParent->FSubMenuImages;
  TMenu* menu = GetParentMenu();
  return menu ? menu->Images() : nullptr;
}

bool TMenuItem::HasImage() const {
  TCustomImageList* images = ImageList();
  return images && FImageIndex >= 0 && FImageIndex < images->Count();
}

bool TMenuItem::HasBitmap() const { return FBitmap && !FBitmap->Empty(); }

TBitmap* TMenuItem::Bitmap() {
  if (!FBitmap) {
    FBitmap = std::make_unique<TBitmap>();
    FBitmap->OnChange = [this](TObject*) { Changed(); };
  }
  return FBitmap.get();
}

void TMenuItem::SetBitmap(TBitmap* Value) {
  Bitmap()->Assign(Value);
  Changed();
}

void TMenuItem::SetSubMenuImages(TCustomImageList* Value) {
  if (FSubMenuImages) RemoveFreeNotification(FSubMenuImages);
  FSubMenuImages = Value;
  if (Value) FreeNotification(Value);
  if (!Quiet()) RebuildTree();
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  // The list is half gone: only forget it (the items draw without images).
  if (Operation == opRemove && AComponent == FSubMenuImages) FSubMenuImages = nullptr;
}

void TMenuItem::RebuildTree() {
  RebuildHandle();
  for (TMenuItem* child : FItems) child->RebuildTree();
}

void TMenuItem::Describe(MENUITEMINFOW& Info, std::string& Text) {
  Info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_STRING | MIIM_SUBMENU;
  Info.fType = (IsLine() ? MFT_SEPARATOR : 0) | (FRadioItem ? MFT_RADIOCHECK : 0) |
               (FBreak == mbBreak ? MFT_MENUBREAK : FBreak == mbBarBreak ? MFT_MENUBARBREAK : 0) |
               (IsOwnerDrawn() ? MFT_OWNERDRAW : 0);
  Info.fState = (FEnabled ? 0 : MFS_GRAYED) | (FChecked ? MFS_CHECKED : 0) | (FDefault ? MFS_DEFAULT : 0);
  Info.wID = FCommand;
  Info.dwItemData = reinterpret_cast<ULONG_PTR>(this);
  Text = FCaption;
  if (FShortCut != scNone) Text += "\t" + ShortCutToText(FShortCut);
  Info.dwTypeData = Text.data();
  if (FItems.empty() && FHandle) {
    DestroyMenu(FHandle);  // no children left: the entry is a plain command again
    FHandle = nullptr;
  }
  Info.hSubMenu = FItems.empty() ? nullptr : Handle();
}

HMENU TMenuItem::Handle() {
  if (FHandle && !IsMenu(FHandle)) FHandle = nullptr;  // destroyed with the window that showed it
  if (FHandle) return FHandle;
  FHandle = FMenu ? FMenu->CreateMenuHandle() : CreatePopupMenu();
  RebuildHandle();
  return FHandle;
}

void TMenuItem::RebuildHandle() {
  if (!FHandle) return;
  while (GetMenuItemCount(FHandle) > 0) RemoveMenu(FHandle, 0, MF_BYPOSITION);
  UINT pos = 0;
  for (TMenuItem* child : FItems) {
    if (!child->FVisible) continue;
    MENUITEMINFOW info;
    std::string text;
    child->Describe(info, text);
    InsertMenuItemW(FHandle, pos++, TRUE, &info);
  }
}

bool TMenuItem::Quiet() const {
  auto gone = [](const TComponent* c) { return c && (c->ComponentState() & csDestroying); };
  const TMenu* menu = GetParentMenu();
  return gone(this) || gone(Owner()) || gone(menu) || (menu && gone(menu->Owner()));
}

void TMenuItem::Changed() {
  if (Quiet()) return;
  if (FParent) FParent->RebuildHandle();
  else RebuildHandle();
  if (TMenu* menu = GetParentMenu(); menu && menu->HandleAllocated()) menu->MenuChanged();
}

void TMenuItem::SetCaption(const String& Value) {
  if (FCaption == Value) return;
  FCaption = Value;
  Changed();
}
void TMenuItem::SetShortCut(TShortCut Value) {
  FShortCut = Value;
  Changed();
}
void TMenuItem::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  Changed();
}
void TMenuItem::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  Changed();
}
void TMenuItem::SetChecked(bool Value) {
  if (FChecked == Value) return;
  FChecked = Value;
  if (Value && FRadioItem) UncheckGroup();
  Changed();
}
void TMenuItem::SetDefault(bool Value) {
  if (FDefault == Value) return;
  if (Value && FParent)
    for (TMenuItem* sibling : FParent->FItems) sibling->FDefault = false;
  FDefault = Value;
  Changed();
}
void TMenuItem::SetRadioItem(bool Value) {
  FRadioItem = Value;
  if (Value && FChecked) UncheckGroup();
  Changed();
}
void TMenuItem::SetImageIndex(int Value) {
  FImageIndex = Value;
  Changed();
}
void TMenuItem::SetBreak(TMenuBreak Value) {
  FBreak = Value;
  Changed();
}

void TMenuItem::UncheckGroup() {
  if (!FParent) return;
  for (TMenuItem* sibling : FParent->FItems)
    if (sibling != this && sibling->FRadioItem && sibling->FGroupIndex == FGroupIndex) sibling->FChecked = false;
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int Index, TMenuItem* Item) {
  if (!Item || Item == this) return;
  if (Item->FParent) Item->FParent->Remove(Item);
  Index = std::clamp(Index, 0, Count());
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
  RebuildHandle();
  Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  Item->FParent = nullptr;
  if (Quiet()) return;
  RebuildHandle();
  Changed();
}

void TMenuItem::Delete(int Index) { delete FItems.at(size_t(Index)); }

void TMenuItem::Clear() {
  while (!FItems.empty()) delete FItems.back();
}

int TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const String& ACaption) const {
  const String wanted = StripHotkey(ACaption);
  for (TMenuItem* i : FItems)
    if (SameText(StripHotkey(i->FCaption), wanted)) return i;
  return nullptr;
}

void TMenuItem::Click() {
  if (FEnabled && OnClick) OnClick(this);
}

void TMenuItem::MeasureItem(TCanvas* ACanvas, int& Width, int& Height) {
  if (IsLine()) {
    Height = 8;
  } else {
    String text = StripHotkey(FCaption);
    if (FShortCut != scNone) text += "   " + ShortCutToText(FShortCut);
    Width = ACanvas->TextWidth(text) + GetSystemMetrics(SM_CXMENUCHECK) + 22;
    Height = std::max(GetSystemMetrics(SM_CYMENU), ACanvas->TextHeight("Wg") + 6);
  }
  if (HasBitmap() || HasImage()) {
    const int w = HasBitmap() ? FBitmap->Width() : ImageList()->Width();
    const int h = HasBitmap() ? FBitmap->Height() : ImageList()->Height();
    Width += std::max(0, w + 6 - GetSystemMetrics(SM_CXMENUCHECK));
    Height = std::max(Height, h + 4);
  }
  if (OnMeasureItem) OnMeasureItem(this, ACanvas, Width, Height);
}

void TMenuItem::AdvancedDrawItem(TCanvas* ACanvas, TRect ARect, TOwnerDrawState State, bool TopLevel) {
  if (OnAdvancedDrawItem) return OnAdvancedDrawItem(this, ACanvas, ARect, State);
  if (OnDrawItem) return OnDrawItem(this, ACanvas, ARect, State.Contains(odSelected));
  // The plain look: the menu's colours, the caption after the check column.
  const bool selected = State.Contains(odSelected);
  ACanvas->Brush()->SetColor(selected ? clHighlight : clMenu);
  ACanvas->FillRect(ARect);
  if (IsLine()) {
    const int y = (ARect.Top + ARect.Bottom) / 2;
    ACanvas->Pen()->SetColor(clBtnShadow);
    ACanvas->MoveTo(ARect.Left + 1, y);
    ACanvas->LineTo(ARect.Right - 1, y);
    return;
  }
  ACanvas->Brush()->SetStyle(bsClear);
  ACanvas->Font()->SetColor(!FEnabled ? clGrayText : selected ? clHighlightText : clMenuText);
  const String text = StripHotkey(FCaption);
  int x = ARect.Left + (TopLevel ? 6 : GetSystemMetrics(SM_CXMENUCHECK) + 6);
  if (HasBitmap() || HasImage()) {
    // The glyph takes the check column; a checked item's glyph is framed.
    const int w = HasBitmap() ? FBitmap->Width() : ImageList()->Width();
    const int h = HasBitmap() ? FBitmap->Height() : ImageList()->Height();
    const int ix = ARect.Left + 3, iy = ARect.Top + (ARect.Height() - h) / 2;
    if (HasBitmap()) ACanvas->Draw(ix, iy, FBitmap.get());
    else ImageList()->Draw(ACanvas, ix, iy, FImageIndex, FEnabled);
    if (FChecked) {
      ACanvas->Brush()->SetColor(clBtnShadow);
      ACanvas->FrameRect(TRect(ix - 1, iy - 1, ix + w + 1, iy + h + 1));
      ACanvas->Brush()->SetStyle(bsClear);
    }
    x = std::max(TopLevel ? 0 : x, ix + w + (TopLevel ? 4 : 6));
  }
  ACanvas->TextOut(x, ARect.Top + (ARect.Height() - ACanvas->TextHeight(text)) / 2, text);
}

// ---- TMenu ----

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), FItems(std::make_unique<TMenuItem>(nullptr)) {
  FItems->FMenu = this;
}

TMenu::~TMenu() {
  Destroying();
  FItems.reset();
}

HMENU TMenu::Handle() { return FItems->Handle(); }

void TMenu::SetOwnerDraw(bool Value) {
  if (FOwnerDraw == Value) return;
  FOwnerDraw = Value;
  FItems->RebuildTree();
  FItems->Changed();
}

void TMenu::SetImages(TCustomImageList* Value) {
  if (FImages) RemoveFreeNotification(FImages);
  FImages = Value;
  if (Value) FreeNotification(Value);
  if (FItems->Quiet()) return;
  FItems->RebuildTree();
  FItems->Changed();
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) FImages = nullptr;  // half gone: only forget it
}

namespace {
TMenuItem* Search(TMenuItem* item, const std::function<bool(TMenuItem*)>& match) {
  for (int i = 0; i < item->Count(); ++i) {
    TMenuItem* c = item->Items(i);
    if (match(c)) return c;
    if (TMenuItem* found = Search(c, match)) return found;
  }
  return nullptr;
}
}  // namespace

TMenuItem* TMenu::FindItem(uintptr_t Value, TFindItemKind Kind) const {
  return Search(FItems.get(), [&](TMenuItem* i) {
    switch (Kind) {
      case fkCommand: return i->Command() == Value;
      case fkHandle: return i->FHandle && reinterpret_cast<uintptr_t>(i->FHandle) == Value;
      case fkShortCut: return i->ShortCut() != scNone && i->ShortCut() == Value;
    }
    return false;
  });
}

bool TMenu::IsShortCut(WORD Key, TShiftState Shift) {
  const TShortCut wanted = ::ShortCut(Key, Shift);
  if ((wanted & 0xFF) == 0) return false;
  TMenuItem* item = Search(FItems.get(), [&](TMenuItem* i) {
    if (i->ShortCut() != wanted) return false;
    for (TMenuItem* p = i; p && p != FItems.get(); p = p->Parent())
      if (!p->Enabled() || !p->Visible()) return false;
    return true;
  });
  if (!item) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchCommand(WORD ACommand) {
  TMenuItem* item = FindItem(ACommand, fkCommand);
  if (!item) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU AMenu) {
  TMenuItem* item = FindItem(reinterpret_cast<uintptr_t>(AMenu), fkHandle);
  if (!item) return AMenu == FItems->FHandle;
  item->Click();
  return true;
}

bool TMenu::WindowMessage(TMessage& Message) {
  auto itemOf = [this](ULONG_PTR data) {
    return Search(FItems.get(), [data](TMenuItem* i) { return reinterpret_cast<ULONG_PTR>(i) == data; });
  };
  switch (Message.Msg) {
    case WM_COMMAND:
      if (Message.LParam || HIWORD(Message.WParam) > 1) return false;
      return DispatchCommand(LOWORD(Message.WParam));
    case WM_INITMENUPOPUP:
      if (!DispatchPopup(reinterpret_cast<HMENU>(Message.WParam))) return false;
      Message.Result = 0;
      return true;
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(Message.LParam);
      TMenuItem* item = mis && mis->CtlType == ODT_MENU ? itemOf(mis->itemData) : nullptr;
      if (!item) return false;
      HDC dc = CreateCompatibleDC(nullptr);
      TCanvas canvas;
      canvas.SetHandle(dc);
      NONCLIENTMETRICSW ncm;
      SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
      canvas.Font()->SetName(ncm.lfMenuFont.lfFaceName);
      canvas.Font()->SetHeight(ncm.lfMenuFont.lfHeight);
      int width = int(mis->itemWidth), height = int(mis->itemHeight);
      item->MeasureItem(&canvas, width, height);
      mis->itemWidth = UINT(std::max(0, width));
      mis->itemHeight = UINT(std::max(0, height));
      canvas.SetHandle(nullptr);
      DeleteDC(dc);
      Message.Result = TRUE;
      return true;
    }
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
      TMenuItem* item = dis && dis->CtlType == ODT_MENU ? itemOf(dis->itemData) : nullptr;
      if (!item) return false;
      TCanvas canvas;
      canvas.SetHandle(dis->hDC);
      TOwnerDrawState state;
      if (dis->itemState & ODS_SELECTED) state.Include(odSelected);
      if (dis->itemState & ODS_GRAYED) state.Include(odGrayed);
      if (dis->itemState & ODS_DISABLED) state.Include(odDisabled);
      if (dis->itemState & ODS_CHECKED) state.Include(odChecked);
      if (dis->itemState & ODS_DEFAULT) state.Include(odDefault);
      if (dis->itemState & ODS_NOACCEL) state.Include(odNoAccel);
      const bool topLevel = item->Parent() == FItems.get() && dynamic_cast<TMainMenu*>(this);
      item->AdvancedDrawItem(&canvas, TRect(dis->rcItem), state, topLevel);
      canvas.SetHandle(nullptr);
      Message.Result = TRUE;
      return true;
    }
  }
  return false;
}

// ---- TMainMenu ----

void TMainMenu::MenuChanged() {
  if (FForm && !(FForm->ComponentState() & csDestroying) && FForm->HandleAllocated()) {
    DrawMenuBar(FForm->Handle());
    FForm->Perform(CM_MENUCHANGED, 0, 0);
  }
}

// ---- TPopupMenu ----

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) { PopupMenus().push_back(this); }

TPopupMenu::~TPopupMenu() {
  auto& list = PopupMenus();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TPopupMenu::DoPopup(TObject* Sender) {
  if (OnPopup) OnPopup(Sender);
}

void TPopupMenu::Popup(int X, int Y) {
  DoPopup(this);
  const UINT align = Alignment == paRight ? TPM_RIGHTALIGN : Alignment == paCenter ? TPM_CENTERALIGN : TPM_LEFTALIGN;
  const UINT button = TrackButton == tbRightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON;
  TrackPopupMenu(Handle(), align | button, X, Y, 0, PopupListWindow(), nullptr);
}

HWND PopupListWindow() {
  static HWND wnd = nullptr;
  if (IsWindow(wnd)) return wnd;
  WNDCLASSEXW probe;
  if (!GetClassInfoExW(nullptr, "TPUtilWindow", &probe)) {
    WNDCLASSEXW wc;
    wc.lpfnWndProc = PopupListProc;
    wc.lpszClassName = "TPUtilWindow";
    RegisterClassExW(&wc);
  }
  wnd = CreateWindowExW(WS_EX_TOOLWINDOW, "TPUtilWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  return wnd;
}

bool ShowPopupMenuOf(TControl* Control, TPopupMenu* Menu, LPARAM ScreenPoint) {
  if (!Menu || !Menu->AutoPopup) return false;
  TPoint p(GET_X_LPARAM(ScreenPoint), GET_Y_LPARAM(ScreenPoint));
  if (ScreenPoint == -1) p = Control->ClientToScreen(TPoint(Control->Width() / 2, Control->Height() / 2));
  Menu->PopupComponent = Control;
  Menu->Popup(p.X, p.Y);
  return true;
}

template <class T>
T* CheckedMenu(TComponent* Component, const char* Kind) {
  if (!Component) return nullptr;
  if (auto* m = dynamic_cast<T*>(Component)) return m;
  throw EPropertyError(Format("%s is not a %s", {Component->GetName(), String(Kind)}));
}
static TCustomImageList* CheckedImageList(TComponent* Component) {
  return CheckedMenu<TCustomImageList>(Component, "TCustomImageList");
}
TPopupMenu* CheckedPopupMenu(TComponent* Component) { return CheckedMenu<TPopupMenu>(Component, "TPopupMenu"); }
TMainMenu* CheckedMainMenu(TComponent* Component) { return CheckedMenu<TMainMenu>(Component, "TMainMenu"); }

// ---- Published properties ----

void RegisterMenuClasses() {
  RegisterPropertyClass<TMenuItem, TComponent>(
      "TMenuItem",
      {StrProp<TMenuItem>("Caption", [](TMenuItem* i) { return i->Caption(); },
                          [](TMenuItem* i, const String& v) { i->SetCaption(v); }),
       IntProp<TMenuItem>("ShortCut", [](TMenuItem* i) { return int(i->ShortCut()); },
                          [](TMenuItem* i, int v) { i->SetShortCut(TShortCut(v)); }),
       BoolProp<TMenuItem>("Enabled", [](TMenuItem* i) { return i->Enabled(); }, [](TMenuItem* i, bool v) { i->SetEnabled(v); }),
       BoolProp<TMenuItem>("Visible", [](TMenuItem* i) { return i->Visible(); }, [](TMenuItem* i, bool v) { i->SetVisible(v); }),
       BoolProp<TMenuItem>("Checked", [](TMenuItem* i) { return i->Checked(); }, [](TMenuItem* i, bool v) { i->SetChecked(v); }),
       BoolProp<TMenuItem>("Default", [](TMenuItem* i) { return i->Default(); }, [](TMenuItem* i, bool v) { i->SetDefault(v); }),
       BoolProp<TMenuItem>("RadioItem", [](TMenuItem* i) { return i->RadioItem(); },
                           [](TMenuItem* i, bool v) { i->SetRadioItem(v); }),
       IntProp<TMenuItem>("GroupIndex", [](TMenuItem* i) { return int(i->GroupIndex()); },
                          [](TMenuItem* i, int v) { i->SetGroupIndex(uint8_t(v)); }),
       IntProp<TMenuItem>("ImageIndex", [](TMenuItem* i) { return i->ImageIndex(); },
                          [](TMenuItem* i, int v) { i->SetImageIndex(v); }),
       ComponentProp<TMenuItem>("SubMenuImages", [](TMenuItem* i) { return i->SubMenuImages(); },
                                [](TMenuItem* i, TComponent* v) { i->SetSubMenuImages(CheckedImageList(v)); }),
       EnumProp<TMenuItem, TMenuBreak>("Break", {"mbNone", "mbBreak", "mbBarBreak"}, [](TMenuItem* i) { return i->Break(); },
                                       [](TMenuItem* i, TMenuBreak v) { i->SetBreak(v); }),
       StrProp<TMenuItem>("Hint", [](TMenuItem* i) { return i->Hint; }, [](TMenuItem* i, const String& v) { i->Hint = v; }),
       EventProp<TMenuItem>("OnClick", &TMenuItem::OnClick),
       EventProp<TMenuItem>("OnMeasureItem", &TMenuItem::OnMeasureItem),
       EventProp<TMenuItem>("OnDrawItem", &TMenuItem::OnDrawItem),
       EventProp<TMenuItem>("OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem)});
  RegisterPropertyClass<TMenu, TComponent>(
      "TMenu", {BoolProp<TMenu>("OwnerDraw", [](TMenu* m) { return m->OwnerDraw(); }, [](TMenu* m, bool v) { m->SetOwnerDraw(v); }),
                ComponentProp<TMenu>("Images", [](TMenu* m) { return m->Images(); },
                                     [](TMenu* m, TComponent* v) { m->SetImages(CheckedImageList(v)); })});
  RegisterPropertyClass<TMainMenu, TMenu>("TMainMenu", {});
  RegisterPropertyClass<TPopupMenu, TMenu>(
      "TPopupMenu",
      {BoolProp<TPopupMenu>("AutoPopup", [](TPopupMenu* m) { return m->AutoPopup; }, [](TPopupMenu* m, bool v) { m->AutoPopup = v; }),
       EnumProp<TPopupMenu, TPopupAlignment>("Alignment", {"paLeft", "paRight", "paCenter"},
                                             [](TPopupMenu* m) { return m->Alignment; },
                                             [](TPopupMenu* m, TPopupAlignment v) { m->Alignment = v; }),
       EnumProp<TPopupMenu, TTrackButton>("TrackButton", {"tbRightButton", "tbLeftButton"},
                                          [](TPopupMenu* m) { return m->TrackButton; },
                                          [](TPopupMenu* m, TTrackButton v) { m->TrackButton = v; }),
       SetProp<TPopupMenu, TMenuAnimations>(
           "MenuAnimation", {"maLeftToRight", "maRightToLeft", "maTopToBottom", "maBottomToTop", "maNone"},
           [](TPopupMenu* m) { return m->MenuAnimation; }, [](TPopupMenu* m, TMenuAnimation v) { m->MenuAnimation = v; }),
       EventProp<TPopupMenu>("OnPopup", &TPopupMenu::OnPopup)});
}
