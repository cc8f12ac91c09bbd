#pragma once
// List views and header controls of the framework, over the layer's
// "SysListView32" and "SysHeader32" windows. The framework keeps the columns
// and items; the window mirrors them while it exists, so that a change sends
// the window only what changed (and the window repaints only that).

#include <memory>
#include <vector>

#include "platform/vcl/ComCtrls.h"  // the custom-draw stages and states
#include "platform/vcl/Controls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/StdCtrls.h"

class TCustomListView;
class TListItems;
class TListSubItems;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };
enum TDisplayCode { drBounds, drIcon, drLabel, drSelectBounds };

// Width values that size a column to its texts, or to its texts and caption.
constexpr int ColumnTextWidth = LVSCW_AUTOSIZE;
constexpr int ColumnHeaderWidth = LVSCW_AUTOSIZE_USEHEADER;

class TListColumn : public TCollectionItem {
 public:
  explicit TListColumn(TCollection* Collection);

  String Caption() const { return FCaption; }
  void SetCaption(const String& Value);
  // An AutoSize column takes the room the others leave.
  int Width();
  void SetWidth(int Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  int MinWidth = 0;
  int MaxWidth = 0;
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  intptr_t Tag = 0;

  void Assign(TPersistent* Source) override;
  String GetDisplayName() override { return FCaption.empty() ? TCollectionItem::GetDisplayName() : FCaption; }

 private:
  friend class TCustomListView;
  friend class TListColumns;
  TCustomListView* ListView() const;
  // Sends the column's state to the window (when it exists).
  void Sync(UINT mask);

  String FCaption;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = false;
  int FImageIndex = -1;
};

class TListColumns : public TCollection {
 public:
  explicit TListColumns(TCustomListView* AOwner);
  TListColumn* Add() { return static_cast<TListColumn*>(TCollection::Add()); }
  TListColumn* Items(int Index) const { return static_cast<TListColumn*>(TCollection::Items(Index)); }
  TListColumn* operator[](int Index) const { return Items(Index); }
  TCustomListView* Owner() const { return FOwner; }

 protected:
  TPersistent* GetOwner() override;
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
  void Update(TCollectionItem* Item) override;

 private:
  TCustomListView* FOwner;
};

class TListItem : public TPersistent {
 public:
  explicit TListItem(TListItems* AOwner);
  ~TListItem() override;

  TListItems* Owner() const { return FOwner; }
  TCustomListView* ListView() const;
  int Index() const;

  String Caption() const { return FCaption; }
  void SetCaption(const String& Value);
  // The texts of the columns after the first; changing one updates that cell only.
  TStrings* SubItems() { return FSubItems.get(); }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  void* Data = nullptr;
  bool Selected() const;
  void SetSelected(bool Value);
  bool Focused() const;
  void SetFocused(bool Value);

  // Frees the item (and its row).
  void Delete();
  // The item's rectangle in the list's client coordinates.
  TRect DisplayRect(TDisplayCode Code) const;
  void MakeVisible(bool PartialOK);
  // Repaints the item.
  void Update();

  void Assign(TPersistent* Source) override;

 private:
  friend class TListItems;
  friend class TCustomListView;
  friend class TListSubItems;
  HWND Window() const;
  int StateBits() const;
  void SetStateBit(UINT bit, bool on);
  void SyncSubItem(int SubIndex);  // SubIndex 0 = the first sub-item

  TListItems* FOwner;
  String FCaption;
  std::unique_ptr<TStrings> FSubItems;
  int FImageIndex = -1;
  UINT FState = 0;  // selected and focused while there is no window
};

class TListItems : public TPersistent {
 public:
  explicit TListItems(TCustomListView* AOwner) : FOwner(AOwner) {}
  ~TListItems() override;

  TCustomListView* Owner() const { return FOwner; }
  int Count() const { return int(FItems.size()); }
  TListItem* Item(int Index) const;  // EListError when out of range
  TListItem* operator[](int Index) const { return Item(Index); }
  TListItem* Add() { return Insert(Count()); }
  TListItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  int IndexOf(const TListItem* Value) const;
  // Changes between the two are sent on, but the window does not repaint until the end.
  void BeginUpdate();
  void EndUpdate();

  void Assign(TPersistent* Source) override;

 protected:
  TPersistent* GetOwner() override;

 private:
  friend class TListItem;
  friend class TCustomListView;
  TCustomListView* FOwner;
  std::vector<TListItem*> FItems;
  int FUpdateCount = 0;
};

using TLVCustomDrawEvent = std::function<void(TCustomListView* Sender, const TRect& ARect, bool& DefaultDraw)>;
using TLVCustomDrawItemEvent =
    std::function<void(TCustomListView* Sender, TListItem* Item, TCustomDrawState State, bool& DefaultDraw)>;
using TLVCustomDrawSubItemEvent = std::function<void(TCustomListView* Sender, TListItem* Item, int SubItem,
                                                     TCustomDrawState State, bool& DefaultDraw)>;
using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;
using TLVColumnClickEvent = std::function<void(TObject* Sender, TListColumn* Column)>;
using TLVDeletedEvent = std::function<void(TObject* Sender, TListItem* Item)>;

class TCustomListView : public TWinControl {
 public:
  explicit TCustomListView(TComponent* AOwner);
  ~TCustomListView() override;

  TListColumns* Columns() { return &FColumns; }
  TListItems* Items() { return &FItems; }

  TViewStyle ViewStyle() const { return FViewStyle; }
  void SetViewStyle(TViewStyle Value);
  bool GridLines() const { return FGridLines; }
  void SetGridLines(bool Value);
  bool RowSelect() const { return FRowSelect; }
  void SetRowSelect(bool Value);
  // Labels are never edited here; the flag is kept for definitions.
  bool ReadOnly = false;
  // Off: the selection shows while the list is not focused.
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  bool ShowColumnHeaders() const { return FShowColumnHeaders; }
  void SetShowColumnHeaders(bool Value);
  bool ColumnClick() const { return FColumnClick; }
  void SetColumnClick(bool Value);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TCustomImageList* SmallImages() const { return FSmallImages; }
  void SetSmallImages(TCustomImageList* Value);
  TCustomImageList* LargeImages() const { return FLargeImages; }
  void SetLargeImages(TCustomImageList* Value);

  // The first selected item (nullptr for none); setting selects only it.
  TListItem* Selected();
  void SetSelected(TListItem* Value);
  int ItemIndex();
  void SetItemIndex(int Value);
  int SelCount();
  TListItem* ItemFocused();
  void SetItemFocused(TListItem* Value);
  TListItem* TopItem();
  int VisibleRowCount();
  TListItem* GetItemAt(int X, int Y);
  void Scroll(int DX, int DY);
  void Clear() { FItems.Clear(); }
  // Postpones repainting while many items change.
  void BeginUpdate() { FItems.BeginUpdate(); }
  void EndUpdate() { FItems.EndUpdate(); }

  // The paint DC while custom drawing, else a DC of the window.
  TCanvas* Canvas() { return FCanvas.get(); }

  TLVCustomDrawEvent OnCustomDraw;
  TLVCustomDrawItemEvent OnCustomDrawItem;
  TLVCustomDrawSubItemEvent OnCustomDrawSubItem;
  TLVSelectItemEvent OnSelectItem;
  TLVColumnClickEvent OnColumnClick;
  TLVDeletedEvent OnDeletion;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Custom drawing; each returns whether the list draws on by itself.
  virtual bool CustomDraw(const TRect& ARect, TCustomDrawStage Stage);
  virtual bool CustomDrawItem(TListItem* Item, TCustomDrawState State, TCustomDrawStage Stage);
  virtual bool CustomDrawSubItem(TListItem* Item, int SubItem, TCustomDrawState State, TCustomDrawStage Stage);

 private:
  friend class TListColumn;
  friend class TListColumns;
  friend class TListItem;
  friend class TListItems;
  void CNNotify(TMessage& Message);
  LRESULT OnCustomDrawNotify(NMLVCUSTOMDRAW* cd);
  void ApplyExtendedStyle();
  void ApplyImageLists();
  void ResizeAutoColumns();
  void InsertWindowItem(int Index, TListItem* Item);
  void InsertWindowColumn(int Index, TListColumn* Column);
  TListItem* ItemOf(int Index) const { return Index >= 0 && Index < FItems.Count() ? FItems.Item(Index) : nullptr; }
  void ImagesChanged(TObject* Sender);

  TListColumns FColumns;
  TListItems FItems;
  std::unique_ptr<TControlCanvas> FCanvas;
  TViewStyle FViewStyle = vsIcon;
  bool FGridLines = false;
  bool FRowSelect = false;
  bool FHideSelection = true;
  bool FMultiSelect = false;
  bool FShowColumnHeaders = true;
  bool FColumnClick = true;
  TFormBorderStyle FBorderStyle = bsSingle;
  TCustomImageList* FSmallImages = nullptr;
  TCustomImageList* FLargeImages = nullptr;
  TChangeLink FSmallLink;
  TChangeLink FLargeLink;
  bool FDeletingAll = false;
  bool FSizingColumns = false;
  int FWindowColumns = 0;  // columns the window has taken so far
};

class TListView : public TCustomListView {
 public:
  using TCustomListView::TCustomListView;
};

// ---- Header control ----

enum THeaderSectionStyle { hsText, hsOwnerDraw };
class THeaderControl;

class THeaderSection : public TCollectionItem {
 public:
  explicit THeaderSection(TCollection* Collection);
  String Text() const { return FText; }
  void SetText(const String& Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  int MinWidth = 0;
  int MaxWidth = 10000;
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool AllowClick = true;
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  THeaderSectionStyle Style = hsText;
  // The left edge, from the widths of the sections before it.
  int Left() const;
  int Right() const { return Left() + FWidth; }
  void Assign(TPersistent* Source) override;

 private:
  friend class THeaderControl;
  friend class THeaderSections;
  THeaderControl* Header() const;
  void Sync();
  String FText;
  int FWidth = 50;
  TAlignment FAlignment = taLeftJustify;
  int FImageIndex = -1;
};

class THeaderSections : public TCollection {
 public:
  explicit THeaderSections(THeaderControl* AOwner);
  THeaderSection* Add() { return static_cast<THeaderSection*>(TCollection::Add()); }
  THeaderSection* Items(int Index) const { return static_cast<THeaderSection*>(TCollection::Items(Index)); }
  THeaderSection* operator[](int Index) const { return Items(Index); }
  THeaderControl* Owner() const { return FOwner; }

 protected:
  TPersistent* GetOwner() override;
  void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
  void Update(TCollectionItem* Item) override;

 private:
  THeaderControl* FOwner;
};

using TSectionNotifyEvent = std::function<void(THeaderControl* HeaderControl, THeaderSection* Section)>;
enum TSectionTrackState { tsTrackBegin, tsTrackMove, tsTrackEnd };
using TSectionTrackEvent = std::function<void(THeaderControl* HeaderControl, THeaderSection* Section, int Width,
                                              TSectionTrackState State)>;

class THeaderControl : public TWinControl {
 public:
  explicit THeaderControl(TComponent* AOwner);
  THeaderSections* Sections() { return &FSections; }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool Value);

  TSectionNotifyEvent OnSectionClick;
  TSectionNotifyEvent OnSectionResize;
  TSectionTrackEvent OnSectionTrack;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class THeaderSection;
  friend class THeaderSections;
  void InsertWindowSection(int Index, THeaderSection* Section);
  THeaderSections FSections;
  TCustomImageList* FImages = nullptr;
  bool FHotTrack = false;
  bool FSyncing = false;
};

// Registers the classes above and their published properties.
void RegisterListViewClasses();
