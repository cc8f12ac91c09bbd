// Tab and page controls, status bars, tool bars and tree views.

#include "platform/vcl/ComCtrls.h"

#include <algorithm>

#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"

namespace {

// Runs paint with the canvas on a DC the window layer handed over.
void PaintOn(TControlCanvas* Canvas, HDC dc, const std::function<void()>& Paint) {
  Canvas->SetPaintHandle(dc);
  Paint();
  Canvas->SetPaintHandle(nullptr);
}

}  // namespace

// ---- TCustomTabControl ----

TCustomTabControl::TCustomTabControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {
  FWidth = 289;
  FHeight = 193;
  FTabStop = true;
}

TCustomTabControl::~TCustomTabControl() { DestroyHandle(); }

void TCustomTabControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_TABCONTROLW);
  Params.Style |= WS_CLIPCHILDREN;
  if (FMultiLine) Params.Style |= TCS_MULTILINE;
  if (FOwnerDraw) Params.Style |= TCS_OWNERDRAWFIXED;
  if (FStyle == tsButtons) Params.Style |= TCS_BUTTONS;
  if (FStyle == tsFlatButtons) Params.Style |= TCS_BUTTONS | TCS_FLATBUTTONS;
  if (FTabPosition == tpBottom) Params.Style |= TCS_BOTTOM;
  if (FTabPosition == tpLeft) Params.Style |= TCS_VERTICAL;
  if (FTabPosition == tpRight) Params.Style |= TCS_VERTICAL | TCS_RIGHT;
}

void TCustomTabControl::CreateHandleDone() {
  SendTabs();
  Realign();
}

void TCustomTabControl::SendTabs() {
  if (!FHandle) return;
  SendMessageW(FHandle, TCM_DELETEALLITEMS, 0, 0);
  for (size_t i = 0; i < FTabTexts.size(); ++i) {
    TCITEMW item;
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(FTabTexts[i].c_str());
    SendMessageW(FHandle, TCM_INSERTITEMW, i, LPARAM(&item));
  }
  SendMessageW(FHandle, TCM_SETCURSEL, WPARAM(FTabIndex), 0);
  Realign();
}

void TCustomTabControl::SetTabTexts(const std::vector<String>& Texts, int Selected) {
  FTabTexts = Texts;
  FTabIndex = Selected < int(Texts.size()) ? Selected : -1;
  SendTabs();
}

int TCustomTabControl::SelectedTab() {
  if (FHandle) FTabIndex = int(SendMessageW(FHandle, TCM_GETCURSEL, 0, 0));
  return FTabIndex;
}

void TCustomTabControl::SelectTab(int Index) {
  FTabIndex = Index >= 0 && Index < int(FTabTexts.size()) ? Index : -1;
  if (FHandle) SendMessageW(FHandle, TCM_SETCURSEL, WPARAM(FTabIndex), 0);
}

TRect TCustomTabControl::TabRect(int Index) {
  RECT r{};
  if (HandleAllocated() || Parent()) SendMessageW(Handle(), TCM_GETITEMRECT, WPARAM(Index), LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

void TCustomTabControl::AdjustClientRect(TRect& Rect) {
  if (!FHandle) return;
  RECT r{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
  SendMessageW(FHandle, TCM_ADJUSTRECT, FALSE, LPARAM(&r));
  Rect = TRect(r.left, r.top, r.right, r.bottom);
}

bool TCustomTabControl::CanChange() {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  return allow;
}

void TCustomTabControl::Change() {
  if (OnChange) OnChange(this);
}

#define SETTER(Class, Name, Type, Field) \
  void Class::Set##Name(Type Value) {    \
    if (Value == Field) return;          \
    Field = Value;                       \
    RecreateWnd();                       \
  }
SETTER(TCustomTabControl, TabPosition, TTabPosition, FTabPosition)
SETTER(TCustomTabControl, Style, TTabStyle, FStyle)
SETTER(TCustomTabControl, MultiLine, bool, FMultiLine)
SETTER(TCustomTabControl, OwnerDraw, bool, FOwnerDraw)

void TCustomTabControl::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_NOTIFY: {
      const UINT code = reinterpret_cast<NMHDR*>(Message.LParam)->code;
      if (code == TCN_SELCHANGING) {
        Message.Result = CanChange() ? 0 : 1;
        return;
      }
      if (code == TCN_SELCHANGE) {
        SelectedTab();
        Change();
        return;
      }
      break;
    }
    case CN_DRAWITEM: {
      auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
      const TRect r(di->rcItem.left, di->rcItem.top, di->rcItem.right, di->rcItem.bottom);
      PaintOn(FCanvas.get(), di->hDC, [&] {
        if (OnDrawTab) OnDrawTab(this, int(di->itemID), r, (di->itemState & ODS_SELECTED) != 0);
      });
      Message.Result = TRUE;
      return;
    }
    case WM_SIZE:
      TWinControl::WndProc(Message);
      Realign();
      return;
  }
  TWinControl::WndProc(Message);
}

// ---- TTabControl ----

TTabControl::TTabControl(TComponent* AOwner) : TCustomTabControl(AOwner), FTabs(std::make_unique<TStringList>()) {
  FTabs->OnChange = [this](TObject*) {
    std::vector<String> texts;
    for (int i = 0; i < FTabs->Count(); ++i) texts.push_back(FTabs->Strings(i));
    SetTabTexts(texts, FTabIndex < 0 && !texts.empty() ? 0 : FTabIndex);
  };
}

TTabControl::~TTabControl() { DestroyHandle(); }

int TTabControl::TabIndex() { return SelectedTab(); }
void TTabControl::SetTabIndex(int Value) { SelectTab(Value); }

// ---- TTabSheet ----

TTabSheet::TTabSheet(TComponent* AOwner) : TWinControl(AOwner) {
  FVisible = false;  // the page control shows the active one
  FAlign = alClient;
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetParent(TWinControl* AParent) {
  TWinControl::SetParent(AParent);
  auto* pc = dynamic_cast<TPageControl*>(AParent);
  if (pc == FPageControl) return;
  if (FPageControl) FPageControl->RemovePage(this);
  FPageControl = pc;
  if (pc) pc->InsertPage(this);
}

void TTabSheet::SetPageControl(TPageControl* Value) {
  if (Value == FPageControl) return;
  SetParent(Value);
}

int TTabSheet::PageIndex() const {
  if (!FPageControl) return -1;
  const auto& pages = FPageControl->FPages;
  return int(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int Value) {
  if (FPageControl) FPageControl->MovePage(this, Value);
}

int TTabSheet::TabIndex() const {
  if (!FPageControl || !FTabVisible) return -1;
  int n = 0;
  for (TTabSheet* p : FPageControl->FPages) {
    if (p == this) return n;
    n += p->FTabVisible ? 1 : 0;
  }
  return -1;
}

void TTabSheet::SetTabVisible(bool Value) {
  if (Value == FTabVisible) return;
  FTabVisible = Value;
  if (FPageControl) FPageControl->UpdateTabs();
}

void TTabSheet::SetText(const String& Value) {
  TWinControl::SetText(Value);
  if (FPageControl) FPageControl->UpdateTabs();
}

void TTabSheet::WndProc(TMessage& Message) {
  if (Message.Msg == WM_ERASEBKGND) {
    EraseBackground(Message);
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TPageControl ----

TPageControl::TPageControl(TComponent* AOwner) : TCustomTabControl(AOwner) {}

TPageControl::~TPageControl() {
  // Pages owned elsewhere outlive the control: they forget it.
  for (TTabSheet* p : std::vector<TTabSheet*>(FPages)) p->FPageControl = nullptr;
  FPages.clear();
  DestroyHandle();
}

int TPageControl::ActivePageIndex() const {
  if (!FActivePage) return -1;
  return FActivePage->PageIndex();
}

void TPageControl::SetActivePageIndex(int Value) {
  SetActivePage(Value >= 0 && Value < PageCount() ? FPages[size_t(Value)] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* Page) {
  if (Page && Page->FPageControl != this) return;
  FActivePage = Page;
  UpdateTabs();
}

void TPageControl::InsertPage(TTabSheet* Page) {
  FPages.push_back(Page);
  if (!FActivePage) FActivePage = Page;
  UpdateTabs();
}

void TPageControl::RemovePage(TTabSheet* Page) {
  auto it = std::find(FPages.begin(), FPages.end(), Page);
  if (it == FPages.end()) return;
  const size_t at = size_t(it - FPages.begin());
  FPages.erase(it);
  if (FActivePage == Page) FActivePage = FPages.empty() ? nullptr : FPages[std::min(at, FPages.size() - 1)];
  UpdateTabs();
}

void TPageControl::MovePage(TTabSheet* Page, int Index) {
  auto it = std::find(FPages.begin(), FPages.end(), Page);
  if (it == FPages.end()) return;
  FPages.erase(it);
  Index = std::clamp(Index, 0, int(FPages.size()));
  FPages.insert(FPages.begin() + Index, Page);
  UpdateTabs();
}

void TPageControl::UpdateTabs() {
  std::vector<String> texts;
  for (TTabSheet* p : FPages)
    if (p->FTabVisible) texts.push_back(p->Caption());
  SetTabTexts(texts, FActivePage ? FActivePage->TabIndex() : -1);
  for (TTabSheet* p : FPages) p->SetVisible(p == FActivePage);
}

void TPageControl::Change() {
  // The user picked a tab: its page becomes the active one.
  const int tab = FTabIndex;
  for (TTabSheet* p : FPages)
    if (p->TabIndex() == tab && tab >= 0) {
      FActivePage = p;
      for (TTabSheet* q : FPages) q->SetVisible(q == p);
      break;
    }
  TCustomTabControl::Change();
}

void TPageControl::AlignControls(TRect Rect) {
  // Every page fills the display area, whatever its own Align says.
  for (TTabSheet* p : FPages) p->SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
  TCustomTabControl::AlignControls(Rect);
}

// ---- TStatusPanel, TStatusPanels ----

#define PANEL_SETTER(Name, Type, Field) \
  void TStatusPanel::Set##Name(Type Value) { \
    if (Value == Field) return;              \
    Field = Value;                           \
    Changed(false);                          \
  }
PANEL_SETTER(Text, const String&, FText)
PANEL_SETTER(Width, int, FWidth)
PANEL_SETTER(Style, TStatusPanelStyle, FStyle)
PANEL_SETTER(Alignment, TAlignment, FAlignment)
PANEL_SETTER(Bevel, TStatusPanelBevel, FBevel)

void TStatusPanel::Assign(TPersistent* Source) {
  auto* p = dynamic_cast<TStatusPanel*>(Source);
  if (!p) return TCollectionItem::Assign(Source);
  FText = p->FText;
  FWidth = p->FWidth;
  FStyle = p->FStyle;
  FAlignment = p->FAlignment;
  FBevel = p->FBevel;
  Changed(false);
}

TStatusPanels::TStatusPanels(TStatusBar* Bar) : TCollection(ItemClassOf<TStatusPanel>()), FBar(Bar) {}

void TStatusPanels::Update(TCollectionItem*) { FBar->UpdatePanels(); }

// ---- TStatusBar ----

TStatusBar::TStatusBar(TComponent* AOwner)
    : TWinControl(AOwner), FPanels(std::make_unique<TStatusPanels>(this)),
      FCanvas(std::make_unique<TControlCanvas>(this)) {
  FWidth = 200;
  FHeight = 19;
  SetAlign(alBottom);
}

TStatusBar::~TStatusBar() { DestroyHandle(); }

void TStatusBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, STATUSCLASSNAMEW);
  // The framework places the bar (Align); the window keeps the size it is given.
  Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE;
  if (FSizeGrip) Params.Style |= SBARS_SIZEGRIP;
}

void TStatusBar::CreateHandleDone() { UpdatePanels(); }

void TStatusBar::UpdatePanels() {
  if (!FHandle) return;
  const int n = FPanels->Count();
  std::vector<int> rights;
  int x = 0;
  for (int i = 0; i < n; ++i) {
    x += FPanels->Items(i)->Width();
    rights.push_back(i == n - 1 ? -1 : x);
  }
  if (rights.empty()) rights.push_back(-1);
  SendMessageW(FHandle, SB_SETPARTS, rights.size(), LPARAM(rights.data()));
  for (int i = 0; i < n; ++i) {
    TStatusPanel* p = FPanels->Items(i);
    WPARAM kind = WPARAM(i);
    if (p->Bevel() == pbNone) kind |= SBT_NOBORDERS;
    if (p->Bevel() == pbRaised) kind |= SBT_POPOUT;
    if (p->Style() == psOwnerDraw) {
      SendMessageW(FHandle, SB_SETTEXTW, kind | SBT_OWNERDRAW, LPARAM(p));
    } else {
      // The part's text carries the alignment through its tabs.
      const String prefix = p->Alignment() == taCenter ? "\t" : p->Alignment() == taRightJustify ? "\t\t" : "";
      SendMessageW(FHandle, SB_SETTEXTW, kind, LPARAM((prefix + p->Text()).c_str()));
    }
  }
  if (n == 0) SendMessageW(FHandle, SB_SETTEXTW, 0, LPARAM(FSimpleText.c_str()));
  SendMessageW(FHandle, SB_SETTEXTW, SB_SIMPLEID, LPARAM(FSimpleText.c_str()));
  SendMessageW(FHandle, SB_SIMPLE, FSimplePanel ? TRUE : FALSE, 0);
}

void TStatusBar::SetSimplePanel(bool Value) {
  if (Value == FSimplePanel) return;
  FSimplePanel = Value;
  if (FHandle) SendMessageW(FHandle, SB_SIMPLE, Value ? TRUE : FALSE, 0);
}

void TStatusBar::SetSimpleText(const String& Value) {
  FSimpleText = Value;
  UpdatePanels();
}

void TStatusBar::SetSizeGrip(bool Value) {
  if (Value == FSizeGrip) return;
  FSizeGrip = Value;
  RecreateWnd();
}

void TStatusBar::WndProc(TMessage& Message) {
  if (Message.Msg == CN_DRAWITEM) {
    auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam);
    auto* panel = reinterpret_cast<TStatusPanel*>(di->itemData);
    const TRect r(di->rcItem.left, di->rcItem.top, di->rcItem.right, di->rcItem.bottom);
    PaintOn(FCanvas.get(), di->hDC, [&] {
      if (OnDrawPanel && panel) OnDrawPanel(this, panel, r);
    });
    Message.Result = TRUE;
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- TToolButton ----

TToolButton::TToolButton(TComponent* AOwner) : TControl(AOwner) {
  FWidth = 23;
  FHeight = 22;
}

TToolButton::~TToolButton() { SetParent(nullptr); }

TToolBar* TToolButton::Bar() const { return dynamic_cast<TToolBar*>(FParent); }

void TToolButton::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (TToolBar* old = Bar()) old->RemoveButton(this);
  TControl::SetParent(AParent);
  if (TToolBar* bar = Bar()) bar->AddButton(this);
}

int TToolButton::Index() const {
  TToolBar* bar = Bar();
  if (!bar) return -1;
  auto it = std::find(bar->FButtons.begin(), bar->FButtons.end(), this);
  return it == bar->FButtons.end() ? -1 : int(it - bar->FButtons.begin());
}

bool TToolButton::Down() {
  TToolBar* bar = Bar();
  if (bar && bar->HandleAllocated()) {
    const LRESULT s = SendMessageW(bar->Handle(), TB_GETSTATE, WPARAM(FCommand), 0);
    if (s >= 0) FDown = (s & (TBSTATE_CHECKED | TBSTATE_PRESSED)) != 0;
  }
  return FDown;
}

void TToolButton::Refresh() {
  TToolBar* bar = Bar();
  if (bar && bar->HandleAllocated()) bar->UpdateButtons();
}

#define BUTTON_SETTER(Name, Type, Field) \
  void TToolButton::Set##Name(Type Value) { \
    if (Value == Field) return;             \
    Field = Value;                          \
    Refresh();                              \
  }
BUTTON_SETTER(Style, TToolButtonStyle, FStyle)
BUTTON_SETTER(Down, bool, FDown)
BUTTON_SETTER(Marked, bool, FMarked)
BUTTON_SETTER(Indeterminate, bool, FIndeterminate)
BUTTON_SETTER(Grouped, bool, FGrouped)
BUTTON_SETTER(ImageIndex, int, FImageIndex)

void TToolButton::SetEnabled(bool Value) {
  TControl::SetEnabled(Value);
  Refresh();
}

void TToolButton::SetVisible(bool Value) {
  TControl::SetVisible(Value);
  Refresh();
}

void TToolButton::SetText(const String& Value) {
  TControl::SetText(Value);
  Refresh();
}

// ---- TToolBar ----

TToolBar::TToolBar(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {
  FWidth = 150;
  FHeight = 29;
  SetAlign(alTop);
}

TToolBar::~TToolBar() {
  for (TToolButton* b : std::vector<TToolButton*>(FButtons)) b->FParent = nullptr;
  FButtons.clear();
  DestroyHandle();
}

void TToolBar::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, TOOLBARCLASSNAMEW);
  Params.Style |= CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER;
  if (FFlat) Params.Style |= TBSTYLE_FLAT;
  if (FList) Params.Style |= TBSTYLE_LIST;
  if (FWrapable) Params.Style |= TBSTYLE_WRAPABLE;
}

void TToolBar::CreateHandleDone() {
  SendMessageW(FHandle, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(FHandle, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
  UpdateButtons();
}

#define BAR_SETTER(Name, Type, Field) \
  void TToolBar::Set##Name(Type Value) { \
    if (Value == Field) return;          \
    Field = Value;                       \
    RecreateWnd();                       \
  }
BAR_SETTER(Flat, bool, FFlat)
BAR_SETTER(List, bool, FList)
BAR_SETTER(Wrapable, bool, FWrapable)
BAR_SETTER(ShowCaptions, bool, FShowCaptions)
BAR_SETTER(ButtonWidth, int, FButtonWidth)
BAR_SETTER(ButtonHeight, int, FButtonHeight)

void TToolBar::AddButton(TToolButton* Button) {
  Button->FCommand = FNextCommand++;
  FButtons.push_back(Button);
  if (FHandle) UpdateButtons();
}

void TToolBar::RemoveButton(TToolButton* Button) {
  const int i = Button->Index();
  if (i < 0) return;
  FButtons.erase(FButtons.begin() + i);
  if (FHandle) SendMessageW(FHandle, TB_DELETEBUTTON, WPARAM(i), 0);
  UpdateBounds();
}

void TToolBar::SendButton(TToolButton* b, int Index) {
  TBBUTTON tb;
  tb.idCommand = b->FCommand;
  tb.iBitmap = b->FImageIndex;
  tb.dwData = ULONG_PTR(reinterpret_cast<uintptr_t>(b));
  static const BYTE styles[] = {BTNS_BUTTON, BTNS_CHECK, BTNS_DROPDOWN, BTNS_SEP, BTNS_SEP, BTNS_BUTTON};
  tb.fsStyle = styles[b->FStyle];
  if (b->FGrouped && b->FStyle == tbsCheck) tb.fsStyle |= BTNS_GROUP;
  tb.fsState = 0;
  if (b->Enabled()) tb.fsState |= TBSTATE_ENABLED;
  if (!b->Visible()) tb.fsState |= TBSTATE_HIDDEN;
  if (b->FDown) tb.fsState |= b->FStyle == tbsCheck ? TBSTATE_CHECKED : TBSTATE_PRESSED;
  if (b->FMarked) tb.fsState |= TBSTATE_MARKED;
  if (b->FIndeterminate) tb.fsState |= TBSTATE_INDETERMINATE;
  if (b->FStyle == tbsSeparator || b->FStyle == tbsDivider) tb.iBitmap = b->Width();
  const String caption = b->Caption();
  if (FShowCaptions && !caption.empty()) tb.iString = LONG_PTR(reinterpret_cast<uintptr_t>(caption.c_str()));
  SendMessageW(FHandle, TB_INSERTBUTTONW, WPARAM(Index), LPARAM(&tb));
}

void TToolBar::UpdateButtons() {
  if (!FHandle) return;
  while (SendMessageW(FHandle, TB_BUTTONCOUNT, 0, 0) > 0) SendMessageW(FHandle, TB_DELETEBUTTON, 0, 0);
  SendMessageW(FHandle, TB_SETBUTTONSIZE, 0, MAKELPARAM(FButtonWidth, FButtonHeight));
  for (int i = 0; i < ButtonCount(); ++i) SendButton(FButtons[size_t(i)], i);
  UpdateBounds();
}

void TToolBar::UpdateBounds() {
  // The buttons' bounds are where the window put them.
  for (int i = 0; i < ButtonCount(); ++i) {
    RECT r{};
    if (FHandle) SendMessageW(FHandle, TB_GETITEMRECT, WPARAM(i), LPARAM(&r));
    FButtons[size_t(i)]->AssignBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  }
}

TToolButton* TToolBar::ByCommand(int Id) const {
  for (TToolButton* b : FButtons)
    if (b->FCommand == Id) return b;
  return nullptr;
}

LRESULT TToolBar::CustomDraw(NMTBCUSTOMDRAW* cd) {
  const DWORD stage = cd->nmcd.dwDrawStage;
  const TCustomDrawStage s = (stage & 0xF) == CDDS_PREPAINT ? cdPrePaint : (stage & 0xF) == CDDS_POSTPAINT ? cdPostPaint
                             : (stage & 0xF) == CDDS_PREERASE ? cdPreErase : cdPostErase;
  const TRect r(cd->nmcd.rc.left, cd->nmcd.rc.top, cd->nmcd.rc.right, cd->nmcd.rc.bottom);
  bool defaultDraw = true;
  LRESULT result = CDRF_DODEFAULT;
  PaintOn(FCanvas.get(), cd->nmcd.hdc, [&] {
    if (!(stage & CDDS_ITEM)) {
      if (OnAdvancedCustomDraw) OnAdvancedCustomDraw(this, r, s, defaultDraw);
      if (OnAdvancedCustomDrawButton) result |= CDRF_NOTIFYITEMDRAW;
      return;
    }
    TToolButton* b = ByCommand(int(cd->nmcd.dwItemSpec));
    if (!b || !OnAdvancedCustomDrawButton) return;
    TCustomDrawState state;
    const UINT st = cd->nmcd.uItemState;
    if (st & CDIS_SELECTED) state.Include(cdsSelected);
    if (st & CDIS_DISABLED) state.Include(cdsDisabled);
    if (st & CDIS_CHECKED) state.Include(cdsChecked);
    if (st & CDIS_HOT) state.Include(cdsHot);
    TTBCustomDrawFlags flags;
    OnAdvancedCustomDrawButton(this, b, state, s, flags, defaultDraw);
    if (flags.Contains(tbNoEdges)) result |= TBCDRF_NOEDGES;
    if (flags.Contains(tbNoOffset)) result |= TBCDRF_NOOFFSET;
    if (flags.Contains(tbNoEtchedEffect)) result |= TBCDRF_NOETCHEDEFFECT;
  });
  if (!defaultDraw) result |= CDRF_SKIPDEFAULT;
  return result;
}

void TToolBar::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (TToolButton* b = ByCommand(LOWORD(Message.WParam))) {
        b->Down();  // takes the state the click left
        b->Click();
      }
      return;
    case CN_NOTIFY: {
      auto* h = reinterpret_cast<NMHDR*>(Message.LParam);
      if (h->code == NM_CUSTOMDRAW) {
        Message.Result = CustomDraw(reinterpret_cast<NMTBCUSTOMDRAW*>(Message.LParam));
        return;
      }
      break;
    }
    case WM_SIZE:
      TWinControl::WndProc(Message);
      UpdateBounds();
      return;
  }
  TWinControl::WndProc(Message);
}

// ---- TTreeNode, TTreeNodes ----

String TTreeNode::Text() const { return FText; }

void TTreeNode::SetText(const String& Value) {
  FText = Value;
  if (!FItem || !FOwner->HandleAllocated()) return;
  TVITEMW item;
  item.mask = TVIF_TEXT;
  item.hItem = FItem;
  item.pszText = const_cast<char*>(FText.c_str());
  SendMessageW(FOwner->Handle(), TVM_SETITEMW, 0, LPARAM(&item));
}

bool TTreeNode::Expanded() const {
  if (!FItem || !FOwner->HandleAllocated()) return false;
  TVITEMW item;
  item.mask = TVIF_STATE;
  item.hItem = FItem;
  item.stateMask = TVIS_EXPANDED;
  SendMessageW(FOwner->Handle(), TVM_GETITEMW, 0, LPARAM(&item));
  return item.state & TVIS_EXPANDED;
}

void TTreeNode::SetExpanded(bool Value) {
  if (FItem && FOwner->HandleAllocated())
    SendMessageW(FOwner->Handle(), TVM_EXPAND, Value ? TVE_EXPAND : TVE_COLLAPSE, LPARAM(FItem));
}

TTreeNodes::~TTreeNodes() { FAll.clear(); }

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const String& Text) {
  auto node = std::make_unique<TTreeNode>();
  node->FOwner = FOwner;
  node->FParent = Parent;
  node->FText = Text;
  TTreeNode* raw = node.get();
  if (Parent) Parent->FChildren.push_back(raw);
  FAll.push_back(std::move(node));
  if (FOwner->HandleAllocated()) Send(raw);
  return raw;
}

void TTreeNodes::Send(TTreeNode* Node) {
  TVINSERTSTRUCTW is;
  is.hParent = Node->FParent ? Node->FParent->FItem : TVI_ROOT;
  is.hInsertAfter = TVI_LAST;
  is.item.mask = TVIF_TEXT | TVIF_PARAM;
  is.item.pszText = const_cast<char*>(Node->FText.c_str());
  is.item.lParam = LPARAM(reinterpret_cast<uintptr_t>(Node));
  Node->FItem = reinterpret_cast<HTREEITEM>(SendMessageW(FOwner->Handle(), TVM_INSERTITEMW, 0, LPARAM(&is)));
}

void TTreeNodes::Clear() {
  if (FOwner->HandleAllocated()) SendMessageW(FOwner->Handle(), TVM_DELETEITEM, 0, LPARAM(TVI_ROOT));
  FAll.clear();
}

// ---- TTreeView ----

TTreeView::TTreeView(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 121;
  FHeight = 97;
  FTabStop = true;
  FColor = clWindow;
}

TTreeView::~TTreeView() { DestroyHandle(); }

void TTreeView::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_TREEVIEWW);
  Params.Style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_VSCROLL;
  Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TTreeView::CreateHandleDone() {
  SendColors();
  // Parents before children: FAll keeps the order nodes were added in.
  for (auto& n : FItems.FAll) FItems.Send(n.get());
}

void TTreeView::DestroyWnd() {
  for (auto& n : FItems.FAll) n->FItem = nullptr;
  TWinControl::DestroyWnd();
}

void TTreeView::SendColors() {
  if (!FHandle) return;
  SendMessageW(FHandle, TVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
  SendMessageW(FHandle, TVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(FFont.Color())));
}

void TTreeView::FontChanged() {
  TWinControl::FontChanged();
  SendColors();
}

TTreeNode* TTreeView::Selected() {
  if (!FHandle) return nullptr;
  auto h = reinterpret_cast<HTREEITEM>(SendMessageW(FHandle, TVM_GETNEXTITEM, TVGN_CARET, 0));
  for (auto& n : FItems.FAll)
    if (n->FItem == h && h) return n.get();
  return nullptr;
}

void TTreeView::SetSelected(TTreeNode* Node) {
  if (HandleAllocated() || Parent()) SendMessageW(Handle(), TVM_SELECTITEM, TVGN_CARET, LPARAM(Node ? Node->FItem : nullptr));
}

void TTreeView::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CM_COLORCHANGED:
      SendColors();
      break;
    case CN_NOTIFY: {
      const UINT code = reinterpret_cast<NMHDR*>(Message.LParam)->code;
      if (code == TVN_SELCHANGEDW && OnChange) OnChange(this);
      if (code == TVN_DELETEITEMW) Message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      if (OnCustomDraw) {
        // The whole-control custom draw: the handler may paint the background itself.
        TControlCanvas canvas(this);
        canvas.SetPaintHandle(reinterpret_cast<HDC>(Message.WParam));
        bool defaultDraw = true;
        OnCustomDraw(this, ClientRect(), defaultDraw);
        canvas.SetPaintHandle(nullptr);
        if (!defaultDraw) {
          Message.Result = 1;
          return;
        }
      }
      break;
  }
  TWinControl::WndProc(Message);
}

// ---- Published properties ----

void RegisterComCtrlsClasses() {
  RegisterPropertyClass<TCustomTabControl, TWinControl>(
      "TCustomTabControl",
      {EnumProp<TCustomTabControl, TTabPosition>("TabPosition", {"tpTop", "tpBottom", "tpLeft", "tpRight"},
                                                 [](TCustomTabControl* c) { return c->TabPosition(); },
                                                 [](TCustomTabControl* c, TTabPosition v) { c->SetTabPosition(v); }),
       EnumProp<TCustomTabControl, TTabStyle>("Style", {"tsTabs", "tsButtons", "tsFlatButtons"},
                                              [](TCustomTabControl* c) { return c->Style(); },
                                              [](TCustomTabControl* c, TTabStyle v) { c->SetStyle(v); }),
       BoolProp<TCustomTabControl>("MultiLine", [](TCustomTabControl* c) { return c->MultiLine(); },
                                   [](TCustomTabControl* c, bool v) { c->SetMultiLine(v); }),
       BoolProp<TCustomTabControl>("OwnerDraw", [](TCustomTabControl* c) { return c->OwnerDraw(); },
                                   [](TCustomTabControl* c, bool v) { c->SetOwnerDraw(v); }),
       EventProp<TCustomTabControl>("OnChange", &TCustomTabControl::OnChange),
       EventProp<TCustomTabControl>("OnChanging", &TCustomTabControl::OnChanging),
       EventProp<TCustomTabControl>("OnDrawTab", &TCustomTabControl::OnDrawTab)});
  RegisterPropertyClass<TTabControl, TCustomTabControl>(
      "TTabControl",
      {ObjectProp<TTabControl>("Tabs", pkStrings, [](TTabControl* c) { return c->Tabs(); }),
       IntProp<TTabControl>("TabIndex", [](TTabControl* c) { return c->TabIndex(); },
                            [](TTabControl* c, int v) { c->SetTabIndex(v); })});
  RegisterPropertyClass<TPageControl, TCustomTabControl>(
      "TPageControl", {NotStored(IntProp<TPageControl>("ActivePageIndex", [](TPageControl* c) { return c->ActivePageIndex(); },
                                                       [](TPageControl* c, int v) { c->SetActivePageIndex(v); })),
                       ComponentProp<TPageControl>("ActivePage", [](TPageControl* c) { return c->ActivePage(); },
                                                   [](TPageControl* c, TComponent* v) {
                                                     c->SetActivePage(dynamic_cast<TTabSheet*>(v));
                                                   })});
  RegisterPropertyClass<TTabSheet, TWinControl>(
      "TTabSheet",
      {BoolProp<TTabSheet>("TabVisible", [](TTabSheet* c) { return c->TabVisible(); },
                           [](TTabSheet* c, bool v) { c->SetTabVisible(v); }),
       IntProp<TTabSheet>("ImageIndex", [](TTabSheet* c) { return c->ImageIndex(); },
                          [](TTabSheet* c, int v) { c->SetImageIndex(v); }),
       NotStored(IntProp<TTabSheet>("PageIndex", [](TTabSheet* c) { return c->PageIndex(); },
                                    [](TTabSheet* c, int v) { c->SetPageIndex(v); }))});
  RegisterPropertyClass<TStatusPanel>(
      "TStatusPanel",
      {StrProp<TStatusPanel>("Text", [](TStatusPanel* p) { return p->Text(); },
                             [](TStatusPanel* p, const String& v) { p->SetText(v); }),
       IntProp<TStatusPanel>("Width", [](TStatusPanel* p) { return p->Width(); }, [](TStatusPanel* p, int v) { p->SetWidth(v); }),
       EnumProp<TStatusPanel, TStatusPanelStyle>("Style", {"psText", "psOwnerDraw"},
                                                 [](TStatusPanel* p) { return p->Style(); },
                                                 [](TStatusPanel* p, TStatusPanelStyle v) { p->SetStyle(v); }),
       EnumProp<TStatusPanel, TAlignment>("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                                          [](TStatusPanel* p) { return p->Alignment(); },
                                          [](TStatusPanel* p, TAlignment v) { p->SetAlignment(v); }),
       EnumProp<TStatusPanel, TStatusPanelBevel>("Bevel", {"pbNone", "pbLowered", "pbRaised"},
                                                 [](TStatusPanel* p) { return p->Bevel(); },
                                                 [](TStatusPanel* p, TStatusPanelBevel v) { p->SetBevel(v); })});
  RegisterPropertyClass<TStatusBar, TWinControl>(
      "TStatusBar",
      {ObjectProp<TStatusBar>("Panels", pkCollection, [](TStatusBar* c) { return c->Panels(); }),
       BoolProp<TStatusBar>("SimplePanel", [](TStatusBar* c) { return c->SimplePanel(); },
                            [](TStatusBar* c, bool v) { c->SetSimplePanel(v); }),
       StrProp<TStatusBar>("SimpleText", [](TStatusBar* c) { return c->SimpleText(); },
                           [](TStatusBar* c, const String& v) { c->SetSimpleText(v); }),
       BoolProp<TStatusBar>("SizeGrip", [](TStatusBar* c) { return c->SizeGrip(); },
                            [](TStatusBar* c, bool v) { c->SetSizeGrip(v); }),
       EventProp<TStatusBar>("OnDrawPanel", &TStatusBar::OnDrawPanel)});
  RegisterPropertyClass<TToolBar, TWinControl>(
      "TToolBar",
      {BoolProp<TToolBar>("Flat", [](TToolBar* c) { return c->Flat(); }, [](TToolBar* c, bool v) { c->SetFlat(v); }),
       BoolProp<TToolBar>("List", [](TToolBar* c) { return c->List(); }, [](TToolBar* c, bool v) { c->SetList(v); }),
       BoolProp<TToolBar>("ShowCaptions", [](TToolBar* c) { return c->ShowCaptions(); },
                          [](TToolBar* c, bool v) { c->SetShowCaptions(v); }),
       BoolProp<TToolBar>("Wrapable", [](TToolBar* c) { return c->Wrapable(); },
                          [](TToolBar* c, bool v) { c->SetWrapable(v); }),
       IntProp<TToolBar>("ButtonWidth", [](TToolBar* c) { return c->ButtonWidth(); },
                         [](TToolBar* c, int v) { c->SetButtonWidth(v); }),
       IntProp<TToolBar>("ButtonHeight", [](TToolBar* c) { return c->ButtonHeight(); },
                         [](TToolBar* c, int v) { c->SetButtonHeight(v); }),
       EventProp<TToolBar>("OnAdvancedCustomDraw", &TToolBar::OnAdvancedCustomDraw),
       EventProp<TToolBar>("OnAdvancedCustomDrawButton", &TToolBar::OnAdvancedCustomDrawButton)});
  RegisterPropertyClass<TToolButton, TControl>(
      "TToolButton",
      {EnumProp<TToolButton, TToolButtonStyle>(
           "Style", {"tbsButton", "tbsCheck", "tbsDropDown", "tbsSeparator", "tbsDivider", "tbsTextButton"},
           [](TToolButton* b) { return b->Style(); }, [](TToolButton* b, TToolButtonStyle v) { b->SetStyle(v); }),
       BoolProp<TToolButton>("Down", [](TToolButton* b) { return b->Down(); }, [](TToolButton* b, bool v) { b->SetDown(v); }),
       BoolProp<TToolButton>("Grouped", [](TToolButton* b) { return b->Grouped(); },
                             [](TToolButton* b, bool v) { b->SetGrouped(v); }),
       BoolProp<TToolButton>("Marked", [](TToolButton* b) { return b->Marked(); },
                             [](TToolButton* b, bool v) { b->SetMarked(v); }),
       BoolProp<TToolButton>("Indeterminate", [](TToolButton* b) { return b->Indeterminate(); },
                             [](TToolButton* b, bool v) { b->SetIndeterminate(v); }),
       IntProp<TToolButton>("ImageIndex", [](TToolButton* b) { return b->ImageIndex(); },
                            [](TToolButton* b, int v) { b->SetImageIndex(v); })});
  RegisterPropertyClass<TTreeView, TWinControl>(
      "TTreeView", {EventProp<TTreeView>("OnChange", &TTreeView::OnChange),
                    EventProp<TTreeView>("OnCustomDraw", &TTreeView::OnCustomDraw)});
}
