#include "platform/vcl/ListViews.h"

#include <algorithm>

#include "platform/vcl/TypInfo.h"

namespace {

int AlignmentFormat(TAlignment a) {
  switch (a) {
    case taRightJustify: return LVCFMT_RIGHT;
    case taCenter: return LVCFMT_CENTER;
    default: return LVCFMT_LEFT;
  }
}

TCustomDrawState DrawState(UINT itemState) {
  TCustomDrawState s;
  if (itemState & CDIS_SELECTED) s.Include(cdsSelected);
  if (itemState & CDIS_GRAYED) s.Include(cdsGrayed);
  if (itemState & CDIS_DISABLED) s.Include(cdsDisabled);
  if (itemState & CDIS_CHECKED) s.Include(cdsChecked);
  if (itemState & CDIS_FOCUS) s.Include(cdsFocused);
  if (itemState & CDIS_DEFAULT) s.Include(cdsDefault);
  if (itemState & CDIS_HOT) s.Include(cdsHot);
  return s;
}

}  // namespace

// Sub-items that send every change to their row.
class TListSubItems : public TStringList {
 public:
  explicit TListSubItems(TListItem* AOwner) : FOwner(AOwner) {}
  int Add(const String& S) override { return Synced(TStringList::Add(S)); }
  int AddObject(const String& S, TObject* AObject) override { return Synced(TStringList::AddObject(S, AObject)); }
  void Insert(int Index, const String& S) override {
    TStringList::Insert(Index, S);
    SyncFrom(Index, Count());
  }
  void InsertObject(int Index, const String& S, TObject* AObject) override {
    TStringList::InsertObject(Index, S, AObject);
    SyncFrom(Index, Count());
  }
  void Delete(int Index) override {
    TStringList::Delete(Index);
    SyncFrom(Index, Count() + 1);
  }
  void Clear() override {
    const int n = Count();
    TStringList::Clear();
    SyncFrom(0, n);
  }
  void Exchange(int Index1, int Index2) override {
    TStringList::Exchange(Index1, Index2);
    FOwner->SyncSubItem(Index1);
    FOwner->SyncSubItem(Index2);
  }
  void Move(int CurIndex, int NewIndex) override {
    TStringList::Move(CurIndex, NewIndex);
    SyncFrom(std::min(CurIndex, NewIndex), Count());
  }

 protected:
  void Put(int Index, const String& S) override {
    TStringList::Put(Index, S);
    FOwner->SyncSubItem(Index);
  }

 private:
  int Synced(int Index) {
    SyncFrom(Index, Count());
    return Index;
  }
  // Cells from..to-1 (cells beyond the strings are emptied).
  void SyncFrom(int From, int To) {
    for (int k = From; k < To; ++k) FOwner->SyncSubItem(k);
  }
  TListItem* FOwner;
};

// ---- TListColumn ----

TListColumn::TListColumn(TCollection* Collection) : TCollectionItem(Collection) {
  // The collection announced the item before it was a column: the window hears of it here.
  if (TCustomListView* lv = ListView()) {
    lv->InsertWindowColumn(Index(), this);
    lv->ResizeAutoColumns();
  }
}

TCustomListView* TListColumn::ListView() const {
  auto* columns = static_cast<TListColumns*>(Collection());
  return columns ? columns->Owner() : nullptr;
}

void TListColumn::Sync(UINT mask) {
  TCustomListView* lv = ListView();
  if (!lv || !lv->HandleAllocated()) return;
  LVCOLUMNW col;
  col.mask = mask;
  col.pszText = FCaption.data();
  col.cx = FWidth;
  col.fmt = AlignmentFormat(FAlignment) | (FImageIndex >= 0 ? LVCFMT_IMAGE : 0);
  col.iImage = FImageIndex;
  SendMessageW(lv->Handle(), LVM_SETCOLUMNW, WPARAM(Index()), LPARAM(&col));
}

void TListColumn::SetCaption(const String& Value) {
  FCaption = Value;
  Sync(LVCF_TEXT);
}

int TListColumn::Width() {
  TCustomListView* lv = ListView();
  // The user may have sized it; a column the window has not taken yet keeps its own width.
  if (lv && lv->HandleAllocated() && Index() < lv->FWindowColumns)
    FWidth = int(SendMessageW(lv->Handle(), LVM_GETCOLUMNWIDTH, WPARAM(Index()), 0));
  return FWidth;
}

void TListColumn::SetWidth(int Value) {
  if (MaxWidth > 0) Value = std::min(Value, MaxWidth);
  if (Value >= 0) Value = std::max(Value, MinWidth);
  TCustomListView* lv = ListView();
  if (lv && lv->HandleAllocated() && Value < 0) {
    // The window measures the texts.
    SendMessageW(lv->Handle(), LVM_SETCOLUMNWIDTH, WPARAM(Index()), MAKELPARAM(Value, 0));
    FWidth = int(SendMessageW(lv->Handle(), LVM_GETCOLUMNWIDTH, WPARAM(Index()), 0));
    return;
  }
  FWidth = std::max(0, Value);
  Sync(LVCF_WIDTH);
  if (lv && !FAutoSize) lv->ResizeAutoColumns();
}

void TListColumn::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Sync(LVCF_FMT);
}

void TListColumn::SetAutoSize(bool Value) {
  FAutoSize = Value;
  if (TCustomListView* lv = ListView()) lv->ResizeAutoColumns();
}

void TListColumn::SetImageIndex(int Value) {
  FImageIndex = Value;
  Sync(LVCF_IMAGE | LVCF_FMT);
}

void TListColumn::Assign(TPersistent* Source) {
  auto* c = dynamic_cast<TListColumn*>(Source);
  if (!c) return TCollectionItem::Assign(Source);
  FCaption = c->FCaption;
  FWidth = c->FWidth;
  FAlignment = c->FAlignment;
  FAutoSize = c->FAutoSize;
  FImageIndex = c->FImageIndex;
  MinWidth = c->MinWidth;
  MaxWidth = c->MaxWidth;
  Tag = c->Tag;
  Sync(LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_IMAGE);
}

// ---- TListColumns ----

TListColumns::TListColumns(TCustomListView* AOwner) : TCollection(ItemClassOf<TListColumn>()), FOwner(AOwner) {}

TPersistent* TListColumns::GetOwner() { return FOwner; }

void TListColumns::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  if (Action != cnAdded && FOwner->HandleAllocated() && Item->Index() < FOwner->FWindowColumns) {
    SendMessageW(FOwner->Handle(), LVM_DELETECOLUMN, WPARAM(Item->Index()), 0);
    --FOwner->FWindowColumns;
  }
}

void TListColumns::Update(TCollectionItem* Item) {
  // Whole-collection changes come while an item is still being made; each column sends its own.
  if (Item) static_cast<TListColumn*>(Item)->Sync(LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_IMAGE);
}

// ---- TListItem ----

TListItem::TListItem(TListItems* AOwner) : FOwner(AOwner), FSubItems(std::make_unique<TListSubItems>(this)) {}

TListItem::~TListItem() = default;

TCustomListView* TListItem::ListView() const { return FOwner ? FOwner->Owner() : nullptr; }

int TListItem::Index() const { return FOwner ? FOwner->IndexOf(this) : -1; }

HWND TListItem::Window() const {
  TCustomListView* lv = ListView();
  return lv && lv->HandleAllocated() && Index() >= 0 ? lv->Handle() : nullptr;
}

void TListItem::SetCaption(const String& Value) {
  FCaption = Value;
  if (HWND h = Window()) {
    LVITEMW it;
    it.iSubItem = 0;
    it.pszText = FCaption.data();
    SendMessageW(h, LVM_SETITEMTEXTW, WPARAM(Index()), LPARAM(&it));
  }
}

void TListItem::SyncSubItem(int SubIndex) {
  HWND h = Window();
  if (!h) return;
  String text = SubIndex < FSubItems->Count() ? FSubItems->Strings(SubIndex) : String();
  LVITEMW it;
  it.iSubItem = SubIndex + 1;
  it.pszText = text.data();
  SendMessageW(h, LVM_SETITEMTEXTW, WPARAM(Index()), LPARAM(&it));
}

void TListItem::SetImageIndex(int Value) {
  FImageIndex = Value;
  if (HWND h = Window()) {
    LVITEMW it;
    it.mask = LVIF_IMAGE;
    it.iItem = Index();
    it.iImage = Value;
    SendMessageW(h, LVM_SETITEMW, 0, LPARAM(&it));
  }
}

int TListItem::StateBits() const {
  if (HWND h = Window()) return int(SendMessageW(h, LVM_GETITEMSTATE, WPARAM(Index()), LVIS_SELECTED | LVIS_FOCUSED));
  return int(FState);
}

void TListItem::SetStateBit(UINT bit, bool on) {
  FState = on ? (FState | bit) : (FState & ~bit);
  if (HWND h = Window()) {
    LVITEMW it;
    it.state = on ? bit : 0;
    it.stateMask = bit;
    SendMessageW(h, LVM_SETITEMSTATE, WPARAM(Index()), LPARAM(&it));
  } else if (TCustomListView* lv = on ? ListView() : nullptr) {
    // Without a window the single-selection and single-focus rules are kept here.
    for (TListItem* other : FOwner->FItems)
      if (other != this && (bit == LVIS_FOCUSED || !lv->MultiSelect())) other->FState &= ~bit;
  }
}

bool TListItem::Selected() const { return StateBits() & LVIS_SELECTED; }
void TListItem::SetSelected(bool Value) { SetStateBit(LVIS_SELECTED, Value); }
bool TListItem::Focused() const { return StateBits() & LVIS_FOCUSED; }
void TListItem::SetFocused(bool Value) { SetStateBit(LVIS_FOCUSED, Value); }

void TListItem::Delete() {
  if (FOwner) FOwner->Delete(Index());
}

TRect TListItem::DisplayRect(TDisplayCode Code) const {
  RECT r{int(Code), 0, 0, 0};
  HWND h = Window();
  if (!h || !SendMessageW(h, LVM_GETITEMRECT, WPARAM(Index()), LPARAM(&r))) return TRect();
  return TRect(r.left, r.top, r.right, r.bottom);
}

void TListItem::MakeVisible(bool PartialOK) {
  if (HWND h = Window()) SendMessageW(h, LVM_ENSUREVISIBLE, WPARAM(Index()), PartialOK);
}

void TListItem::Update() {
  if (HWND h = Window()) SendMessageW(h, LVM_UPDATE, WPARAM(Index()), 0);
}

void TListItem::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TListItem*>(Source);
  if (!other) return TPersistent::Assign(Source);
  SetCaption(other->FCaption);
  FSubItems->Assign(other->FSubItems.get());
  SetImageIndex(other->FImageIndex);
  Data = other->Data;
}

// ---- TListItems ----

TListItems::~TListItems() {
  for (TListItem* item : FItems) {
    item->FOwner = nullptr;
    delete item;
  }
}

TPersistent* TListItems::GetOwner() { return FOwner; }

TListItem* TListItems::Item(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  return FItems[size_t(Index)];
}

int TListItems::IndexOf(const TListItem* Value) const {
  auto it = std::find(FItems.begin(), FItems.end(), Value);
  return it == FItems.end() ? -1 : int(it - FItems.begin());
}

TListItem* TListItems::Insert(int Index) {
  Index = std::clamp(Index, 0, Count());
  auto* item = new TListItem(this);
  FItems.insert(FItems.begin() + Index, item);
  if (FOwner->HandleAllocated()) FOwner->InsertWindowItem(Index, item);
  return item;
}

void TListItems::Delete(int Index) {
  TListItem* item = Item(Index);
  if (FOwner->HandleAllocated()) {
    SendMessageW(FOwner->Handle(), LVM_DELETEITEM, WPARAM(Index), 0);  // OnDeletion comes from the window
  } else if (FOwner->OnDeletion) {
    FOwner->OnDeletion(FOwner, item);
  }
  const int at = IndexOf(item);  // the handler may have changed the list
  if (at >= 0) FItems.erase(FItems.begin() + at);
  item->FOwner = nullptr;
  delete item;
}

void TListItems::Clear() {
  if (FOwner->HandleAllocated()) {
    SendMessageW(FOwner->Handle(), LVM_DELETEALLITEMS, 0, 0);
  } else if (FOwner->OnDeletion) {
    for (TListItem* item : std::vector<TListItem*>(FItems)) FOwner->OnDeletion(FOwner, item);
  }
  std::vector<TListItem*> gone;
  gone.swap(FItems);
  for (TListItem* item : gone) {
    item->FOwner = nullptr;
    delete item;
  }
}

void TListItems::BeginUpdate() {
  if (FUpdateCount++ == 0 && FOwner->HandleAllocated()) SendMessageW(FOwner->Handle(), WM_SETREDRAW, FALSE, 0);
}

void TListItems::EndUpdate() {
  if (FUpdateCount == 0 || --FUpdateCount > 0) return;
  if (FOwner->HandleAllocated()) {
    SendMessageW(FOwner->Handle(), WM_SETREDRAW, TRUE, 0);
    FOwner->Invalidate();
  }
}

void TListItems::Assign(TPersistent* Source) {
  auto* other = dynamic_cast<TListItems*>(Source);
  if (!other) return TPersistent::Assign(Source);
  BeginUpdate();
  Clear();
  for (TListItem* item : other->FItems) Add()->Assign(item);
  EndUpdate();
}

// ---- TCustomListView ----

TCustomListView::TCustomListView(TComponent* AOwner)
    : TWinControl(AOwner), FColumns(this), FItems(this), FCanvas(std::make_unique<TControlCanvas>(this)) {
  // The window reports clicks itself (NM_CLICK); double clicks come through the mouse messages.
  ControlStyle = TControlStyle{csDoubleClicks};
  FColor = clWindow;
  FWidth = 250;
  FHeight = 150;
  SetTabStop(true);
  FSmallLink.OnChange = [this](TObject* Sender) { ImagesChanged(Sender); };
  FLargeLink.OnChange = [this](TObject* Sender) { ImagesChanged(Sender); };
}

TCustomListView::~TCustomListView() {
  Destroying();
  FDeletingAll = true;
  DestroyHandle();
}

void TCustomListView::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_LISTVIEWW);
  static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  Params.Style |= LVS_SHAREIMAGELISTS | views[FViewStyle];
  if (!FHideSelection) Params.Style |= LVS_SHOWSELALWAYS;
  if (!FMultiSelect) Params.Style |= LVS_SINGLESEL;
  if (!FColumnClick) Params.Style |= LVS_NOSORTHEADER;
  if (!FShowColumnHeaders) Params.Style |= LVS_NOCOLUMNHEADER;
  if (FBorderStyle != bsNone) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomListView::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  HWND h = FHandle;
  ApplyExtendedStyle();
  SendMessageW(h, LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
  SendMessageW(h, LVM_SETTEXTBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
  SendMessageW(h, LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(FFont.Color())));
  ApplyImageLists();
  for (int i = 0; i < FColumns.Count(); ++i) InsertWindowColumn(i, FColumns.Items(i));
  SendMessageW(h, LVM_SETITEMCOUNT, WPARAM(FItems.Count()), 0);
  for (int i = 0; i < FItems.Count(); ++i) InsertWindowItem(i, FItems.Item(i));
  ResizeAutoColumns();
}

void TCustomListView::DestroyWnd() {
  // Keep what only the window knew: states and user-sized column widths.
  if (FHandle) {
    for (TListItem* item : FItems.FItems) item->FState = UINT(item->StateBits());
    for (int i = 0; i < FColumns.Count(); ++i) FColumns.Items(i)->Width();
  }
  const bool was = FDeletingAll;
  FDeletingAll = true;  // the rows go with the window, not the items
  TWinControl::DestroyWnd();
  FWindowColumns = 0;
  FDeletingAll = was;
}

void TCustomListView::InsertWindowColumn(int Index, TListColumn* Column) {
  if (!HandleAllocated()) return;
  LVCOLUMNW col;
  col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM | (Column->FImageIndex >= 0 ? LVCF_IMAGE : 0);
  col.pszText = Column->FCaption.data();
  col.cx = std::max(0, Column->FWidth);
  col.fmt = AlignmentFormat(Column->FAlignment) | (Column->FImageIndex >= 0 ? LVCFMT_IMAGE : 0);
  col.iSubItem = Index;
  col.iImage = Column->FImageIndex;
  if (SendMessageW(FHandle, LVM_INSERTCOLUMNW, WPARAM(Index), LPARAM(&col)) >= 0) ++FWindowColumns;
  if (Column->FWidth < 0) Column->SetWidth(Column->FWidth);
}

void TCustomListView::InsertWindowItem(int Index, TListItem* Item) {
  LVITEMW it;
  it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
  it.iItem = Index;
  it.pszText = Item->FCaption.data();
  it.iImage = Item->FImageIndex;
  it.lParam = LPARAM(Item);
  it.state = Item->FState;
  it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(FHandle, LVM_INSERTITEM, 0, LPARAM(&it));
  for (int k = 0; k < Item->FSubItems->Count(); ++k) Item->SyncSubItem(k);
}

void TCustomListView::ApplyExtendedStyle() {
  if (!HandleAllocated()) return;
  const DWORD ex = (FGridLines ? LVS_EX_GRIDLINES : 0) | (FRowSelect ? LVS_EX_FULLROWSELECT : 0);
  SendMessageW(FHandle, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT, LPARAM(ex));
}

void TCustomListView::ApplyImageLists() {
  if (!HandleAllocated()) return;
  SendMessageW(FHandle, LVM_SETIMAGELIST, LVSIL_SMALL, LPARAM(FSmallImages ? FSmallImages->Handle() : nullptr));
  SendMessageW(FHandle, LVM_SETIMAGELIST, LVSIL_NORMAL, LPARAM(FLargeImages ? FLargeImages->Handle() : nullptr));
}

void TCustomListView::ImagesChanged(TObject*) {
  ApplyImageLists();
  Invalidate();
}

void TCustomListView::ResizeAutoColumns() {
  if (!HandleAllocated() || FSizingColumns || FViewStyle != vsReport) return;
  int fixed = 0, autos = 0;
  for (int i = 0; i < FColumns.Count(); ++i) autos += FColumns.Items(i)->FAutoSize;
  if (!autos) return;
  for (int i = 0; i < FColumns.Count(); ++i)
    if (!FColumns.Items(i)->FAutoSize) fixed += FColumns.Items(i)->Width();
  FSizingColumns = true;
  RECT client;
  GetClientRect(FHandle, &client);
  const int share = std::max(0, int(client.right) - fixed) / autos;
  for (int i = 0; i < FColumns.Count(); ++i) {
    TListColumn* c = FColumns.Items(i);
    if (!c->FAutoSize) continue;
    int w = std::max(share, c->MinWidth);
    if (c->MaxWidth > 0) w = std::min(w, c->MaxWidth);
    if (w != c->FWidth) {
      c->FWidth = w;
      c->Sync(LVCF_WIDTH);
    }
  }
  FSizingColumns = false;
}

void TCustomListView::SetViewStyle(TViewStyle Value) {
  if (Value == FViewStyle) return;
  FViewStyle = Value;
  if (HandleAllocated()) {
    static const DWORD views[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
    const LONG_PTR style = GetWindowLongPtrW(FHandle, GWL_STYLE);
    SetWindowLongPtrW(FHandle, GWL_STYLE, (style & ~LONG_PTR(LVS_TYPEMASK)) | LONG_PTR(views[Value]));
    ResizeAutoColumns();
  }
}

namespace {
void SetStyleBit(TWinControl* c, DWORD bit, bool on) {
  if (!c->HandleAllocated()) return;
  HWND h = c->Handle();
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  SetWindowLongPtrW(h, GWL_STYLE, on ? (style | LONG_PTR(bit)) : (style & ~LONG_PTR(bit)));
}
}  // namespace

void TCustomListView::SetGridLines(bool Value) {
  FGridLines = Value;
  ApplyExtendedStyle();
}

void TCustomListView::SetRowSelect(bool Value) {
  FRowSelect = Value;
  ApplyExtendedStyle();
}

void TCustomListView::SetHideSelection(bool Value) {
  FHideSelection = Value;
  SetStyleBit(this, LVS_SHOWSELALWAYS, !Value);
}

void TCustomListView::SetMultiSelect(bool Value) {
  FMultiSelect = Value;
  SetStyleBit(this, LVS_SINGLESEL, !Value);
}

void TCustomListView::SetShowColumnHeaders(bool Value) {
  FShowColumnHeaders = Value;
  SetStyleBit(this, LVS_NOCOLUMNHEADER, !Value);
}

void TCustomListView::SetColumnClick(bool Value) {
  FColumnClick = Value;
  // The header's buttons are fixed when it is made.
  if (HandleAllocated()) RecreateWnd();
}

void TCustomListView::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  if (HandleAllocated()) RecreateWnd();
}

void TCustomListView::SetSmallImages(TCustomImageList* Value) {
  if (FSmallImages) FSmallImages->UnRegisterChanges(&FSmallLink);
  FSmallImages = Value;
  if (Value) {
    Value->RegisterChanges(&FSmallLink);
    Value->FreeNotification(this);
  }
  ApplyImageLists();
}

void TCustomListView::SetLargeImages(TCustomImageList* Value) {
  if (FLargeImages) FLargeImages->UnRegisterChanges(&FLargeLink);
  FLargeImages = Value;
  if (Value) {
    Value->RegisterChanges(&FLargeLink);
    Value->FreeNotification(this);
  }
  ApplyImageLists();
}

void TCustomListView::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // A list on its way out has already let its links go.
  if (AComponent == FSmallImages) FSmallImages = nullptr;
  if (AComponent == FLargeImages) FLargeImages = nullptr;
  if (AComponent == FSmallImages || AComponent == FLargeImages || !AComponent) return;
  ApplyImageLists();
}

TListItem* TCustomListView::Selected() {
  if (HandleAllocated()) return ItemOf(int(SendMessageW(FHandle, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)));
  for (TListItem* item : FItems.FItems)
    if (item->FState & LVIS_SELECTED) return item;
  return nullptr;
}

void TCustomListView::SetSelected(TListItem* Value) {
  for (TListItem* item : FItems.FItems)
    if (item != Value && item->Selected()) item->SetSelected(false);
  if (Value) {
    Value->SetSelected(true);
    Value->SetFocused(true);
  }
}

int TCustomListView::ItemIndex() {
  TListItem* s = Selected();
  return s ? s->Index() : -1;
}

void TCustomListView::SetItemIndex(int Value) { SetSelected(ItemOf(Value)); }

int TCustomListView::SelCount() {
  if (HandleAllocated()) return int(SendMessageW(FHandle, LVM_GETSELECTEDCOUNT, 0, 0));
  return int(std::count_if(FItems.FItems.begin(), FItems.FItems.end(),
                           [](TListItem* i) { return i->FState & LVIS_SELECTED; }));
}

TListItem* TCustomListView::ItemFocused() {
  if (HandleAllocated()) return ItemOf(int(SendMessageW(FHandle, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)));
  for (TListItem* item : FItems.FItems)
    if (item->FState & LVIS_FOCUSED) return item;
  return nullptr;
}

void TCustomListView::SetItemFocused(TListItem* Value) {
  if (Value) Value->SetFocused(true);
}

TListItem* TCustomListView::TopItem() {
  return HandleAllocated() ? ItemOf(int(SendMessageW(FHandle, LVM_GETTOPINDEX, 0, 0))) : nullptr;
}

int TCustomListView::VisibleRowCount() {
  return HandleAllocated() ? int(SendMessageW(Handle(), LVM_GETCOUNTPERPAGE, 0, 0)) : 0;
}

TListItem* TCustomListView::GetItemAt(int X, int Y) {
  if (!HandleAllocated()) return nullptr;
  LVHITTESTINFO info;
  info.pt = POINT{X, Y};
  return ItemOf(int(SendMessageW(FHandle, LVM_HITTEST, 0, LPARAM(&info))));
}

void TCustomListView::Scroll(int DX, int DY) {
  if (HandleAllocated()) SendMessageW(FHandle, LVM_SCROLL, WPARAM(DX), LPARAM(DY));
}

bool TCustomListView::CustomDraw(const TRect& ARect, TCustomDrawStage Stage) {
  bool draw = true;
  if (Stage == cdPrePaint && OnCustomDraw) OnCustomDraw(this, ARect, draw);
  return draw;
}

bool TCustomListView::CustomDrawItem(TListItem* Item, TCustomDrawState State, TCustomDrawStage Stage) {
  bool draw = true;
  if (Stage == cdPrePaint && OnCustomDrawItem) OnCustomDrawItem(this, Item, State, draw);
  return draw;
}

bool TCustomListView::CustomDrawSubItem(TListItem* Item, int SubItem, TCustomDrawState State, TCustomDrawStage Stage) {
  bool draw = true;
  if (Stage == cdPrePaint && OnCustomDrawSubItem) OnCustomDrawSubItem(this, Item, SubItem, State, draw);
  return draw;
}

LRESULT TCustomListView::OnCustomDrawNotify(NMLVCUSTOMDRAW* cd) {
  const DWORD stage = cd->nmcd.dwDrawStage;
  FCanvas->SetPaintHandle(cd->nmcd.hdc);
  struct Release {
    TControlCanvas* c;
    ~Release() { c->SetPaintHandle(nullptr); }
  } release{FCanvas.get()};
  const TRect rect(cd->nmcd.rc.left, cd->nmcd.rc.top, cd->nmcd.rc.right, cd->nmcd.rc.bottom);
  if (stage == CDDS_PREPAINT) {
    if (!CustomDraw(rect, cdPrePaint)) return CDRF_SKIPDEFAULT;
    return (OnCustomDrawItem || OnCustomDrawSubItem) ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
  }
  const bool sub = stage == (CDDS_ITEMPREPAINT | CDDS_SUBITEM);
  if (stage != CDDS_ITEMPREPAINT && !sub) return CDRF_DODEFAULT;
  TListItem* item = ItemOf(int(cd->nmcd.dwItemSpec));
  if (!item) return CDRF_DODEFAULT;
  // The handler colours the item through the canvas's font and brush.
  FCanvas->Font()->Assign(&FFont);
  FCanvas->Brush()->SetColor(FColor);
  const TCustomDrawState state = DrawState(cd->nmcd.uItemState);
  const bool draw = sub ? (!OnCustomDrawSubItem || CustomDrawSubItem(item, cd->iSubItem, state, cdPrePaint))
                        : CustomDrawItem(item, state, cdPrePaint);
  if (!draw) return CDRF_SKIPDEFAULT;
  cd->clrText = ColorToRGB(FCanvas->Font()->Color());
  cd->clrTextBk = ColorToRGB(FCanvas->Brush()->Color());
  SelectObject(cd->nmcd.hdc, FCanvas->Font()->Handle());
  return CDRF_NEWFONT | (!sub && OnCustomDrawSubItem ? CDRF_NOTIFYSUBITEMDRAW : 0);
}

void TCustomListView::CNNotify(TMessage& Message) {
  auto* hdr = reinterpret_cast<NMHDR*>(Message.LParam);
  auto* lv = reinterpret_cast<NMLISTVIEW*>(Message.LParam);
  switch (hdr->code) {
    case NM_CUSTOMDRAW:
      Message.Result = OnCustomDrawNotify(reinterpret_cast<NMLVCUSTOMDRAW*>(Message.LParam));
      return;
    case LVN_ITEMCHANGED:
      if ((lv->uChanged & LVIF_STATE) && ((lv->uNewState ^ lv->uOldState) & LVIS_SELECTED) && OnSelectItem) {
        if (TListItem* item = ItemOf(lv->iItem)) OnSelectItem(this, item, (lv->uNewState & LVIS_SELECTED) != 0);
      }
      return;
    case LVN_DELETEITEM:
      if (!FDeletingAll && OnDeletion)
        if (TListItem* item = ItemOf(lv->iItem)) OnDeletion(this, item);
      return;
    case LVN_DELETEALLITEMS:
      Message.Result = FDeletingAll || !OnDeletion ? TRUE : FALSE;
      return;
    case LVN_COLUMNCLICK:
      if (OnColumnClick && lv->iSubItem >= 0 && lv->iSubItem < FColumns.Count())
        OnColumnClick(this, FColumns.Items(lv->iSubItem));
      return;
    case NM_CLICK: Click(); return;
    case NM_RCLICK: Message.Result = 0; return;  // the window then asks for the context menu
  }
}

void TCustomListView::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_NOTIFY: CNNotify(Message); return;
    case WM_SIZE:
      TWinControl::WndProc(Message);
      ResizeAutoColumns();
      return;
    case WM_NOTIFY: {
      TWinControl::WndProc(Message);
      // A header divider dragged by the user: the other auto-sized columns give way.
      auto* hn = reinterpret_cast<NMHEADERW*>(Message.LParam);
      if ((hn->hdr.code == HDN_ENDTRACKW || hn->hdr.code == HDN_DIVIDERDBLCLICKW) && hn->iItem >= 0 &&
          hn->iItem < FColumns.Count()) {
        FColumns.Items(hn->iItem)->Width();
        ResizeAutoColumns();
      }
      return;
    }
    case CM_COLORCHANGED:
      if (HandleAllocated()) {
        SendMessageW(FHandle, LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
        SendMessageW(FHandle, LVM_SETTEXTBKCOLOR, 0, LPARAM(ColorToRGB(FColor)));
        Invalidate();
      }
      break;
    case CM_FONTCHANGED:
      if (HandleAllocated()) {
        SendMessageW(FHandle, LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(FFont.Color())));
        Invalidate();
      }
      break;
  }
  TWinControl::WndProc(Message);
}

// ---- THeaderSection ----

THeaderSection::THeaderSection(TCollection* Collection) : TCollectionItem(Collection) {
  if (THeaderControl* h = Header()) h->InsertWindowSection(Index(), this);
}

THeaderControl* THeaderSection::Header() const {
  auto* sections = static_cast<THeaderSections*>(Collection());
  return sections ? sections->Owner() : nullptr;
}

int THeaderSection::Left() const {
  int x = 0;
  for (int i = 0; i < Index(); ++i) x += static_cast<THeaderSection*>(Collection()->Items(i))->FWidth;
  return x;
}

void THeaderSection::Sync() {
  THeaderControl* h = Header();
  if (!h || !h->HandleAllocated() || h->FSyncing) return;
  HDITEMW hi;
  hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT | HDI_IMAGE;
  hi.pszText = FText.data();
  hi.cxy = FWidth;
  hi.fmt = AlignmentFormat(FAlignment) | (Style == hsOwnerDraw ? HDF_OWNERDRAW : HDF_STRING) |
           (FImageIndex >= 0 ? HDF_IMAGE : 0);
  hi.iImage = FImageIndex;
  SendMessageW(h->Handle(), HDM_SETITEMW, WPARAM(Index()), LPARAM(&hi));
}

void THeaderSection::SetText(const String& Value) {
  FText = Value;
  Sync();
}

void THeaderSection::SetWidth(int Value) {
  FWidth = std::clamp(Value, MinWidth, std::max(MinWidth, MaxWidth));
  Sync();
}

void THeaderSection::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Sync();
}

void THeaderSection::SetImageIndex(int Value) {
  FImageIndex = Value;
  Sync();
}

void THeaderSection::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<THeaderSection*>(Source);
  if (!s) return TCollectionItem::Assign(Source);
  FText = s->FText;
  FWidth = s->FWidth;
  FAlignment = s->FAlignment;
  FImageIndex = s->FImageIndex;
  MinWidth = s->MinWidth;
  MaxWidth = s->MaxWidth;
  AllowClick = s->AllowClick;
  Style = s->Style;
  Sync();
}

THeaderSections::THeaderSections(THeaderControl* AOwner)
    : TCollection(ItemClassOf<THeaderSection>()), FOwner(AOwner) {}

TPersistent* THeaderSections::GetOwner() { return FOwner; }

void THeaderSections::Notify(TCollectionItem* Item, TCollectionNotification Action) {
  if (Action != cnAdded && FOwner->HandleAllocated()) SendMessageW(FOwner->Handle(), HDM_DELETEITEM, WPARAM(Item->Index()), 0);
}

void THeaderSections::Update(TCollectionItem* Item) {
  if (Item) static_cast<THeaderSection*>(Item)->Sync();
}

// ---- THeaderControl ----

THeaderControl::THeaderControl(TComponent* AOwner) : TWinControl(AOwner), FSections(this) {
  FWidth = 200;
  FHeight = 17;
}

void THeaderControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  CreateSubClass(Params, WC_HEADERW);
  Params.Style |= HDS_BUTTONS | HDS_FULLDRAG | (FHotTrack ? HDS_HOTTRACK : 0);
}

void THeaderControl::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  SendMessageW(FHandle, HDM_SETIMAGELIST, 0, LPARAM(FImages ? FImages->Handle() : nullptr));
  for (int i = 0; i < FSections.Count(); ++i) InsertWindowSection(i, FSections.Items(i));
}

void THeaderControl::InsertWindowSection(int Index, THeaderSection* Section) {
  if (!HandleAllocated()) return;
  HDITEMW hi;
  hi.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT | HDI_IMAGE;
  hi.pszText = Section->FText.data();
  hi.cxy = Section->FWidth;
  hi.fmt = AlignmentFormat(Section->FAlignment) | (Section->Style == hsOwnerDraw ? HDF_OWNERDRAW : HDF_STRING) |
           (Section->FImageIndex >= 0 ? HDF_IMAGE : 0);
  hi.iImage = Section->FImageIndex;
  SendMessageW(FHandle, HDM_INSERTITEMW, WPARAM(Index), LPARAM(&hi));
}

void THeaderControl::SetImages(TCustomImageList* Value) {
  FImages = Value;
  if (Value) Value->FreeNotification(this);
  if (HandleAllocated()) {
    SendMessageW(FHandle, HDM_SETIMAGELIST, 0, LPARAM(Value ? Value->Handle() : nullptr));
    Invalidate();
  }
}

void THeaderControl::SetHotTrack(bool Value) {
  FHotTrack = Value;
  SetStyleBit(this, HDS_HOTTRACK, Value);
}

void THeaderControl::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) SetImages(nullptr);
}

void THeaderControl::WndProc(TMessage& Message) {
  if (Message.Msg != CN_NOTIFY) return TWinControl::WndProc(Message);
  auto* hn = reinterpret_cast<NMHEADERW*>(Message.LParam);
  THeaderSection* s = hn->iItem >= 0 && hn->iItem < FSections.Count() ? FSections.Items(hn->iItem) : nullptr;
  Message.Result = 0;
  if (!s) return;
  switch (hn->hdr.code) {
    case HDN_ITEMCLICKW:
      if (s->AllowClick && OnSectionClick) OnSectionClick(this, s);
      return;
    case HDN_BEGINTRACKW: case HDN_TRACKW: case HDN_ENDTRACKW: {
      if (!hn->pitem) return;
      int w = std::clamp(hn->pitem->cxy, s->MinWidth, std::max(s->MinWidth, s->MaxWidth));
      const TSectionTrackState state = hn->hdr.code == HDN_BEGINTRACKW ? tsTrackBegin
                                       : hn->hdr.code == HDN_TRACKW     ? tsTrackMove
                                                                        : tsTrackEnd;
      if (OnSectionTrack) OnSectionTrack(this, s, w, state);
      hn->pitem->cxy = w;
      return;
    }
    case HDN_ITEMCHANGINGW:
      // The limits hold for drags too.
      if (hn->pitem && (hn->pitem->mask & HDI_WIDTH))
        hn->pitem->cxy = std::clamp(hn->pitem->cxy, s->MinWidth, std::max(s->MinWidth, s->MaxWidth));
      return;
    case HDN_ITEMCHANGEDW:
      if (hn->pitem && (hn->pitem->mask & HDI_WIDTH) && hn->pitem->cxy != s->FWidth) {
        s->FWidth = hn->pitem->cxy;
        if (OnSectionResize) OnSectionResize(this, s);
      }
      return;
  }
}

// ---- Published properties ----

void RegisterListViewClasses() {
  RegisterImgListClasses();
  using C = TListColumn;
  RegisterPropertyClass<TListColumn>(
      "TListColumn",
      {StrProp<C>("Caption", [](C* c) { return c->Caption(); }, [](C* c, const String& v) { c->SetCaption(v); }),
       IntProp<C>("Width", [](C* c) { return c->Width(); }, [](C* c, int v) { c->SetWidth(v); }),
       EnumProp<C, TAlignment>("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                               [](C* c) { return c->Alignment(); }, [](C* c, TAlignment v) { c->SetAlignment(v); }),
       BoolProp<C>("AutoSize", [](C* c) { return c->AutoSize(); }, [](C* c, bool v) { c->SetAutoSize(v); }),
       IntProp<C>("MinWidth", [](C* c) { return c->MinWidth; }, [](C* c, int v) { c->MinWidth = v; }),
       IntProp<C>("MaxWidth", [](C* c) { return c->MaxWidth; }, [](C* c, int v) { c->MaxWidth = v; }),
       IntProp<C>("ImageIndex", [](C* c) { return c->ImageIndex(); }, [](C* c, int v) { c->SetImageIndex(v); }),
       IntProp<C>("Tag", [](C* c) { return int(c->Tag); }, [](C* c, int v) { c->Tag = v; })});
  using L = TCustomListView;
  RegisterPropertyClass<TCustomListView, TWinControl>(
      "TCustomListView",
      {ObjectProp<L>("Columns", pkCollection, [](L* l) { return l->Columns(); }),
       EnumProp<L, TViewStyle>("ViewStyle", {"vsIcon", "vsSmallIcon", "vsList", "vsReport"},
                               [](L* l) { return l->ViewStyle(); }, [](L* l, TViewStyle v) { l->SetViewStyle(v); }),
       BoolProp<L>("GridLines", [](L* l) { return l->GridLines(); }, [](L* l, bool v) { l->SetGridLines(v); }),
       BoolProp<L>("RowSelect", [](L* l) { return l->RowSelect(); }, [](L* l, bool v) { l->SetRowSelect(v); }),
       BoolProp<L>("ReadOnly", [](L* l) { return l->ReadOnly; }, [](L* l, bool v) { l->ReadOnly = v; }),
       BoolProp<L>("HideSelection", [](L* l) { return l->HideSelection(); },
                   [](L* l, bool v) { l->SetHideSelection(v); }),
       BoolProp<L>("MultiSelect", [](L* l) { return l->MultiSelect(); }, [](L* l, bool v) { l->SetMultiSelect(v); }),
       BoolProp<L>("ShowColumnHeaders", [](L* l) { return l->ShowColumnHeaders(); },
                   [](L* l, bool v) { l->SetShowColumnHeaders(v); }),
       BoolProp<L>("ColumnClick", [](L* l) { return l->ColumnClick(); }, [](L* l, bool v) { l->SetColumnClick(v); }),
       EnumProp<L, TFormBorderStyle>("BorderStyle", {"bsNone", "bsSingle"}, [](L* l) { return l->BorderStyle(); },
                                     [](L* l, TFormBorderStyle v) { l->SetBorderStyle(v); }),
       ComponentProp<L>("SmallImages", [](L* l) { return l->SmallImages(); },
                        [](L* l, TComponent* v) { l->SetSmallImages(dynamic_cast<TCustomImageList*>(v)); }),
       ComponentProp<L>("LargeImages", [](L* l) { return l->LargeImages(); },
                        [](L* l, TComponent* v) { l->SetLargeImages(dynamic_cast<TCustomImageList*>(v)); }),
       EventProp<L>("OnCustomDraw", &L::OnCustomDraw), EventProp<L>("OnCustomDrawItem", &L::OnCustomDrawItem),
       EventProp<L>("OnCustomDrawSubItem", &L::OnCustomDrawSubItem), EventProp<L>("OnSelectItem", &L::OnSelectItem),
       EventProp<L>("OnColumnClick", &L::OnColumnClick), EventProp<L>("OnDeletion", &L::OnDeletion)});
  RegisterPropertyClass<TListView, TCustomListView>("TListView", {});

  using S = THeaderSection;
  RegisterPropertyClass<THeaderSection>(
      "THeaderSection",
      {StrProp<S>("Text", [](S* s) { return s->Text(); }, [](S* s, const String& v) { s->SetText(v); }),
       IntProp<S>("Width", [](S* s) { return s->Width(); }, [](S* s, int v) { s->SetWidth(v); }),
       IntProp<S>("MinWidth", [](S* s) { return s->MinWidth; }, [](S* s, int v) { s->MinWidth = v; }),
       IntProp<S>("MaxWidth", [](S* s) { return s->MaxWidth; }, [](S* s, int v) { s->MaxWidth = v; }),
       EnumProp<S, TAlignment>("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                               [](S* s) { return s->Alignment(); }, [](S* s, TAlignment v) { s->SetAlignment(v); }),
       BoolProp<S>("AllowClick", [](S* s) { return s->AllowClick; }, [](S* s, bool v) { s->AllowClick = v; }),
       IntProp<S>("ImageIndex", [](S* s) { return s->ImageIndex(); }, [](S* s, int v) { s->SetImageIndex(v); }),
       EnumProp<S, THeaderSectionStyle>("Style", {"hsText", "hsOwnerDraw"}, [](S* s) { return s->Style; },
                                        [](S* s, THeaderSectionStyle v) { s->Style = v; })});
  using H = THeaderControl;
  RegisterPropertyClass<THeaderControl, TWinControl>(
      "THeaderControl",
      {ObjectProp<H>("Sections", pkCollection, [](H* h) { return h->Sections(); }),
       ComponentProp<H>("Images", [](H* h) { return h->Images(); },
                        [](H* h, TComponent* v) { h->SetImages(dynamic_cast<TCustomImageList*>(v)); }),
       BoolProp<H>("HotTrack", [](H* h) { return h->HotTrack(); }, [](H* h, bool v) { h->SetHotTrack(v); }),
       EventProp<H>("OnSectionClick", &H::OnSectionClick), EventProp<H>("OnSectionResize", &H::OnSectionResize),
       EventProp<H>("OnSectionTrack", &H::OnSectionTrack)});
}
