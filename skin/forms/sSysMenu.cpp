// The skinned system menu: a popup menu mirroring the window's own system
// menu, so that the owner-drawn menus can paint it from the skin.

#include <algorithm>

#include "platform/win/Menu.h"
#include "skin/core/sConst.h"
#include "skin/core/sSkinManager.h"
#include "skin/forms/sSkinProvider.h"

namespace {

// The owner-drawn menus know a system menu by this start of its name.
constexpr char kSysMenuNamePrefix[] = "acSysMenu";

constexpr UINT kNoItem = 0xFFFFFFFF;
constexpr int kSkinsPerColumn = 20;
constexpr char kSkinSelectName[] = "SkinSelectItem";

String Caption(TacCaption Index) {
  const String& c = acCaptions[size_t(Index)];
  return c.empty() ? String(acOwnCaptions[Index]) : c;
}

// A command of the window's menu: the caption before the first tab, the
// shortcut text after it; false when the item has no text.
bool ReadMenuText(HMENU Menu, UINT Item, UINT Flags, String& Text, String& ShortCutText) {
  char buf[256] = {};
  if (!Menu || GetMenuStringW(Menu, Item, buf, int(sizeof buf), Flags) <= 0) return false;
  const String s(buf);
  const size_t tab = s.find('\t');
  Text = s.substr(0, tab);
  ShortCutText = tab == String::npos ? String() : s.substr(tab + 1);
  return true;
}

bool IsStandardCommand(UINT Id) { return Id >= 0xF000 && Id <= 0xF1FF; }

// A copy of Source and its sub-items under Parent, all owned by Owner.
void CopyItem(TMenuItem* Source, TMenuItem* Parent, TComponent* Owner) {
  auto* c = new TMenuItem(Owner);
  c->SetCaption(Source->Caption());
  c->SetShortCut(Source->ShortCut());
  c->SetChecked(Source->Checked());
  c->SetEnabled(Source->Enabled());
  c->OnClick = Source->OnClick;
  c->SetImageIndex(Source->ImageIndex());
  // An unnamed source gives an unnamed copy: "Copy" alone would repeat.
  if (!Source->GetName().empty()) c->SetName(Source->GetName() + "Copy");
  Parent->Add(c);
  for (int i = 0; i < Source->Count(); ++i) CopyItem(Source->Items(i), c, Owner);
}

}  // namespace

TsSystemMenu::TsSystemMenu(TsSkinProvider* AOwner)
    : TsCustomSysMenu(AOwner), FOwner(AOwner), FForm(AOwner ? AOwner->Form : nullptr) {
  // The tick count alone can repeat for a second menu made in the same tick.
  String name = kSysMenuNamePrefix + std::to_string(GetTickCount());
  if (AOwner && AOwner->FindComponent(name)) {
    int n = 2;
    while (AOwner->FindComponent(name + "_" + std::to_string(n))) ++n;
    name += "_" + std::to_string(n);
  }
  SetName(name);
  Generate();
}

namespace {

// The window's own system menu, obtained without resetting it.
HMENU WindowMenu(const TCustomForm* F) {
  if (!F || !F->HandleAllocated()) return nullptr;
  return GetSystemMenu(const_cast<TCustomForm*>(F)->Handle(), FALSE);
}

bool HasSysIcon(const TCustomForm* F) { return F && F->BorderIcons().Contains(biSystemMenu); }

TsSkinManager* ManagerOf(const TsSkinProvider* P) { return P ? P->Manager() : nullptr; }

void SendCommand(TCustomForm* F, WPARAM Command) {
  if (F && F->HandleAllocated()) SendMessageW(F->Handle(), WM_SYSCOMMAND, Command, 0);
}

TMenuItem* AddItem(TsSystemMenu* M, const String& Caption, const String& Name, intptr_t Tag,
                   void (TsSystemMenu::*Click)(TObject*)) {
  auto* item = new TMenuItem(M);
  item->SetCaption(Caption);
  if (!Name.empty()) item->SetName(Name);
  item->Tag = Tag;
  item->OnClick = [M, Click](TObject* Sender) { (M->*Click)(Sender); };
  M->Items()->Add(item);
  return item;
}

void AddSeparator(TsSystemMenu* M, const String& Name = String()) {
  auto* item = new TMenuItem(M);
  item->SetCaption("-");
  if (!Name.empty()) item->SetName(Name);
  M->Items()->Add(item);
}

// The user's sub-menu with copies of its popup menu's items, when it goes at Position.
void AddSubMenu(TsSystemMenu* M, TacMenuItemPos Position) {
  TacSysSubMenu* s = M->FOwner ? M->FOwner->SysSubMenu() : nullptr;
  if (!s || s->Position != Position || s->Caption.empty() || !s->PopupMenu) return;
  if (Position == ipBottom) AddSeparator(M, "ac_BtmDiv");
  M->SubMenu = new TMenuItem(M);
  M->SubMenu->SetCaption(s->Caption);
  M->SubMenu->SetName("ac_SubMenu");
  M->Items()->Add(M->SubMenu);
  TMenuItem* from = s->PopupMenu->Items();
  for (int i = 0; i < from->Count(); ++i) CopyItem(from->Items(i), M->SubMenu, M);
  M->SetImages(s->PopupMenu->Images());
  if (Position != ipBottom) AddSeparator(M, "ac_TopDiv");
}

bool Minimized(TCustomForm* F) {
  return F->HandleAllocated() ? IsIconic(F->Handle()) != FALSE : F->WindowState() == wsMinimized;
}
bool MDIChild(TCustomForm* F) { return F->FormStyle() == fsMDIChild; }
bool SingleOrSizeable(TCustomForm* F) { return F->BorderStyle() == bsSingle || F->BorderStyle() == bsSizeable; }

}  // namespace

// ---- What the title bar asks ----

bool TsSystemMenu::VisibleClose() {
  if (!HasSysIcon(FForm)) return false;
  HMENU m = WindowMenu(FForm);
  return !m || GetMenuState(m, SC_CLOSE, MF_BYCOMMAND) != kNoItem;
}

bool TsSystemMenu::EnabledClose() {
  HMENU m = WindowMenu(FForm);
  if (!m) return HasSysIcon(FForm);
  const UINT state = GetMenuState(m, SC_CLOSE, MF_BYCOMMAND);
  // A greyed item counts as disabled too: the layer greys without the disabled bit.
  return state != kNoItem && !(state & (MF_DISABLED | MF_GRAYED));
}

bool TsSystemMenu::VisibleMax() {
  if (!HasSysIcon(FForm)) return false;
  if (Minimized(FForm) && !(Application && Application->MainFormOnTaskBar && FForm == Application->MainForm()))
    return true;
  if (MDIChild(FForm)) return true;
  return SingleOrSizeable(FForm) && FForm->BorderIcons().Contains(biMaximize);
}

bool TsSystemMenu::EnabledMax() {
  return (MDIChild(FForm) || SingleOrSizeable(FForm)) && FForm->BorderIcons().Contains(biMaximize);
}

bool TsSystemMenu::VisibleMin() {
  if (!HasSysIcon(FForm)) return false;
  if (Minimized(FForm) || MDIChild(FForm)) return true;
  return SingleOrSizeable(FForm) && FForm->BorderIcons().Contains(biMinimize);
}

bool TsSystemMenu::EnabledMin() { return FForm->BorderIcons().Contains(biMinimize); }

bool TsSystemMenu::VisibleRestore() {
  if (!HasSysIcon(FForm)) return false;
  return MDIChild(FForm) || SingleOrSizeable(FForm);
}

bool TsSystemMenu::EnabledRestore() {
  const TWindowState s = FForm->WindowState();
  return (FForm->BorderIcons().Contains(biMaximize) && s != wsNormal) || s == wsMinimized;
}

bool TsSystemMenu::VisibleSize() {
  if (MDIChild(FForm)) return true;
  const TFormBorderStyle b = FForm->BorderStyle();
  return b != bsNone && b != bsDialog && b != bsToolWindow;
}

bool TsSystemMenu::EnabledSize() { return FForm->BorderStyle() != bsSingle && !Minimized(FForm); }

bool TsSystemMenu::EnabledMove() { return FForm->WindowState() != wsMaximized; }

// ---- Building ----

void TsSystemMenu::Generate() {
  Items()->Clear();
  ExtItemsCount = 0;
  SubMenu = ItemMove = ItemSize = ItemClose = ItemRestore = ItemMinimize = ItemMaximize = nullptr;
  HMENU m = WindowMenu(FForm);
  if (!m) return;
  AddSubMenu(this, ipTop);

  auto standard = [&](UINT Command, TacCaption Default, const char* Name, void (TsSystemMenu::*Click)(TObject*)) {
    String text, shortcut;
    if (!ReadMenuText(m, Command, MF_BYCOMMAND, text, shortcut)) text = Caption(Default);
    return AddItem(this, text, Name, Command, Click);
  };
  ItemRestore = standard(SC_RESTORE, acsRestore, "acIR", &TsSystemMenu::RestoreClick);
  ItemMove = standard(SC_MOVE, acsMove, "acIM", &TsSystemMenu::MoveClick);
  ItemSize = standard(SC_SIZE, acsSize, "acIS", &TsSystemMenu::SizeClick);
  ItemMinimize = standard(SC_MINIMIZE, acsMinimize, "acIN", &TsSystemMenu::MinClick);
  ItemMaximize = standard(SC_MAXIMIZE, acsMaximize, "acIX", &TsSystemMenu::MaxClick);
  AddSeparator(this);

  // Commands the program added to the window's menu.
  const int count = GetMenuItemCount(m);
  for (int i = 0; i < count; ++i) {
    const UINT id = GetMenuItemID(m, i);
    String text, shortcut;
    if (IsStandardCommand(id) || !ReadMenuText(m, UINT(i), MF_BYPOSITION, text, shortcut)) continue;
    TMenuItem* item = AddItem(this, text, String(), intptr_t(id), &TsSystemMenu::ExtClick);
    if (!shortcut.empty()) item->SetShortCut(TextToShortCut(shortcut));
    ++ExtItemsCount;
  }
  if (ExtItemsCount > 0) AddSeparator(this);

  AddSubMenu(this, ipBeforeClose);
  String text, shortcut;
  if (!ReadMenuText(m, SC_CLOSE, MF_BYCOMMAND, text, shortcut)) text = Caption(acsClose);
  ItemClose = AddItem(this, text, "acIC", SC_CLOSE, &TsSystemMenu::CloseClick);
  if (!shortcut.empty()) ItemClose->SetShortCut(TextToShortCut(shortcut));
  ItemClose->SetEnabled(EnabledClose());
  AddSubMenu(this, ipBottom);
}

void TsSystemMenu::UpdateItems(bool Full) {
  if (Full || !ItemClose) Generate();
  auto set = [](TMenuItem* Item, bool Visible, bool Enabled) {
    if (!Item) return;
    Item->SetVisible(Visible);
    Item->SetEnabled(Enabled);
  };
  // Through the object, so that a descendant's answers apply.
  set(ItemRestore, VisibleRestore(), EnabledRestore());
  set(ItemMove, true, EnabledMove());
  set(ItemSize, VisibleSize(), EnabledSize());
  set(ItemMinimize, VisibleMin(), EnabledMin());
  set(ItemMaximize, VisibleMax(), EnabledMax());
  set(ItemClose, VisibleClose(), EnabledClose());
}

void TsSystemMenu::MakeSkinItems() {
  TsSkinManager* sm = ManagerOf(FOwner);
  if (!sm) return;
  TStringList names;
  sm->GetSkinNames(names, false, smExtUnpacked);
  if (names.Count() == 0) return;
  // Items of an earlier call go first: their names would clash with the new ones.
  if (Items()->Count() > 0 && Items()->Items(0)->GetName() == kSkinSelectName) {
    Items()->Delete(0);
    if (Items()->Count() > 0 && Items()->Items(0)->IsLine()) Items()->Delete(0);
  }
  auto* top = new TMenuItem(this);
  top->SetCaption(Caption(acsAvailStyles));
  top->SetName(kSkinSelectName);
  Items()->Insert(0, top);
  auto* div = new TMenuItem(this);
  div->SetCaption("-");
  Items()->Insert(1, div);
  bool checked = false;
  for (int i = 0; i < names.Count(); ++i) {
    auto* item = new TMenuItem(this);
    item->SetCaption(names.Strings(i));
    item->SetName(kSkinSelectName + std::to_string(i));
    item->SetRadioItem(true);
    item->OnClick = [this](TObject* Sender) { SkinSelect(Sender); };
    if (!checked && names.Strings(i) == sm->SkinName()) {
      item->SetChecked(true);
      checked = true;
    }
    if (i > 0 && i % kSkinsPerColumn == 0) item->SetBreak(mbBreak);
    top->Add(item);
  }
}

// ---- Commands ----

void TsSystemMenu::RestoreClick(TObject*) {
  SendCommand(FForm, SC_RESTORE);
  UpdateItems(false);
}

void TsSystemMenu::MoveClick(TObject*) { SendCommand(FForm, SC_MOVE); }

void TsSystemMenu::SizeClick(TObject*) { SendCommand(FForm, SC_SIZE); }

void TsSystemMenu::MinClick(TObject*) {
  if (FOwner) FOwner->SkipAnimation = true;
  SendCommand(FForm, SC_MINIMIZE);
  if (FOwner) FOwner->SkipAnimation = false;
  if (FOwner && FOwner->SystemMenu) FOwner->SystemMenu->UpdateItems(false);
}

void TsSystemMenu::MaxClick(TObject*) {
  SendCommand(FForm, SC_MAXIMIZE);
  UpdateItems(false);
}

void TsSystemMenu::CloseClick(TObject*) { SendCommand(FForm, SC_CLOSE); }

void TsSystemMenu::ExtClick(TObject* Sender) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (item && FForm && FForm->HandleAllocated())
    PostMessageW(FForm->Handle(), WM_SYSCOMMAND, WPARAM(item->Tag), 0);
}

void TsSystemMenu::SkinSelect(TObject* Sender) {
  TsSkinManager* sm = ManagerOf(FOwner);
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!sm || !item) return;
  String name = item->Caption();
  name.erase(std::remove(name.begin(), name.end(), '&'), name.end());
  const String marker = Caption(acsInternal);
  const size_t at = name.find(marker);
  if (at != String::npos) name.resize(at + marker.size());
  sm->SetSkinName(name);
}
