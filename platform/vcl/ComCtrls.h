#pragma once
// Tab controls and page controls with their sheets, status bars with panels,
// tool bars with their buttons, and tree views, over the window layer's
// "SysTabControl32", "msctls_statusbar32", "ToolbarWindow32" and
// "SysTreeView32". Programmatic changes of the selected tab or page fire no
// OnChange; the user's do, after OnChanging allowed them.

#include <vector>

#include "platform/vcl/StdCtrls.h"

// ---- Tabs and pages ----

enum TTabPosition { tpTop, tpBottom, tpLeft, tpRight };
enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;
class TCustomTabControl;
using TDrawTabEvent = std::function<void(TCustomTabControl* Control, int TabIndex, const TRect& Rect, bool Active)>;

class TCustomTabControl : public TWinControl {
 public:
  explicit TCustomTabControl(TComponent* AOwner);
  ~TCustomTabControl() override;

  TTabPosition TabPosition() const { return FTabPosition; }
  void SetTabPosition(TTabPosition Value);
  TTabStyle Style() const { return FStyle; }
  void SetStyle(TTabStyle Value);
  bool MultiLine() const { return FMultiLine; }
  void SetMultiLine(bool Value);
  // Tabs drawn by OnDrawTab on Canvas.
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value);
  TCanvas* Canvas() { return FCanvas.get(); }
  // The tab's rectangle in client coordinates (empty for no such tab).
  TRect TabRect(int Index);

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;
  TDrawTabEvent OnDrawTab;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;
  void AdjustClientRect(TRect& Rect) override;
  // The captions the window shows, in order; the selected one by index (-1 none).
  void SetTabTexts(const std::vector<String>& Texts, int Selected);
  int SelectedTab();
  void SelectTab(int Index);
  virtual bool CanChange();
  virtual void Change();

  std::vector<String> FTabTexts;
  int FTabIndex = -1;

 private:
  void SendTabs();
  TTabPosition FTabPosition = tpTop;
  TTabStyle FStyle = tsTabs;
  bool FMultiLine = false;
  bool FOwnerDraw = false;
  std::unique_ptr<TControlCanvas> FCanvas;
};

// A strip of tabs over one area; the application shows what a tab stands for.
class TTabControl : public TCustomTabControl {
 public:
  explicit TTabControl(TComponent* AOwner);
  ~TTabControl() override;
  TStrings* Tabs() { return FTabs.get(); }
  int TabIndex();
  void SetTabIndex(int Value);

 private:
  std::unique_ptr<TStringList> FTabs;
};

class TPageControl;

// One page of a page control: its caption is the tab's text.
class TTabSheet : public TWinControl {
 public:
  explicit TTabSheet(TComponent* AOwner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return FPageControl; }
  void SetPageControl(TPageControl* Value);
  void SetParent(TWinControl* AParent) override;
  // The position among all pages, shown or not.
  int PageIndex() const;
  void SetPageIndex(int Value);
  // The tab's position among the shown tabs, -1 while hidden.
  int TabIndex() const;
  bool TabVisible() const { return FTabVisible; }
  void SetTabVisible(bool Value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value) { FImageIndex = Value; }

 protected:
  void SetText(const String& Value) override;
  void WndProc(TMessage& Message) override;

 private:
  friend class TPageControl;
  TPageControl* FPageControl = nullptr;
  bool FTabVisible = true;
  int FImageIndex = -1;
};

class TPageControl : public TCustomTabControl {
 public:
  explicit TPageControl(TComponent* AOwner);
  ~TPageControl() override;
  int PageCount() const { return int(FPages.size()); }
  TTabSheet* Pages(int Index) const { return FPages.at(size_t(Index)); }
  TTabSheet* ActivePage() const { return FActivePage; }
  void SetActivePage(TTabSheet* Page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int Value);

 protected:
  void Change() override;
  void AlignControls(TRect Rect) override;

 private:
  friend class TTabSheet;
  void InsertPage(TTabSheet* Page);
  void RemovePage(TTabSheet* Page);
  void MovePage(TTabSheet* Page, int Index);
  // The tabs again from the pages; the active page shown, the others hidden.
  void UpdateTabs();
  std::vector<TTabSheet*> FPages;
  TTabSheet* FActivePage = nullptr;
};

// ---- Status bars ----

enum TStatusPanelStyle { psText, psOwnerDraw };
enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };
class TStatusBar;

class TStatusPanel : public TCollectionItem {
 public:
  explicit TStatusPanel(TCollection* Collection) : TCollectionItem(Collection) {}
  String Text() const { return FText; }
  void SetText(const String& Value);
  int Width() const { return FWidth; }
  void SetWidth(int Value);
  TStatusPanelStyle Style() const { return FStyle; }
  void SetStyle(TStatusPanelStyle Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TStatusPanelBevel Bevel() const { return FBevel; }
  void SetBevel(TStatusPanelBevel Value);
  void Assign(TPersistent* Source) override;

 private:
  String FText;
  int FWidth = 50;
  TStatusPanelStyle FStyle = psText;
  TAlignment FAlignment = taLeftJustify;
  TStatusPanelBevel FBevel = pbLowered;
};

class TStatusPanels : public TCollection {
 public:
  explicit TStatusPanels(TStatusBar* Bar);
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* Items(int Index) const { return static_cast<TStatusPanel*>(TCollection::Items(Index)); }

 protected:
  void Update(TCollectionItem* Item) override;

 private:
  TStatusBar* FBar;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

// Aligned to the bottom of its parent unless told otherwise.
class TStatusBar : public TWinControl {
 public:
  explicit TStatusBar(TComponent* AOwner);
  ~TStatusBar() override;
  TStatusPanels* Panels() { return FPanels.get(); }
  // One part over the whole bar showing SimpleText, the panels kept aside.
  bool SimplePanel() const { return FSimplePanel; }
  void SetSimplePanel(bool Value);
  String SimpleText() const { return FSimpleText; }
  void SetSimpleText(const String& Value);
  bool SizeGrip() const { return FSizeGrip; }
  void SetSizeGrip(bool Value);
  TCanvas* Canvas() { return FCanvas.get(); }

  TDrawPanelEvent OnDrawPanel;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;

 private:
  friend class TStatusPanels;
  void UpdatePanels();
  std::unique_ptr<TStatusPanels> FPanels;
  std::unique_ptr<TControlCanvas> FCanvas;
  bool FSimplePanel = false;
  String FSimpleText;
  bool FSizeGrip = true;
};

// ---- Tool bars ----

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider, tbsTextButton };
class TToolBar;

// A button of a tool bar: the bar's window draws it and reports its clicks.
class TToolButton : public TControl {
 public:
  explicit TToolButton(TComponent* AOwner);
  ~TToolButton() override;
  void SetParent(TWinControl* AParent) override;
  // The position among the bar's buttons, -1 without a bar.
  int Index() const;
  TToolButtonStyle Style() const { return FStyle; }
  void SetStyle(TToolButtonStyle Value);
  // Checked, for check buttons (and pressed looking for others).
  bool Down();
  void SetDown(bool Value);
  bool Marked() const { return FMarked; }
  void SetMarked(bool Value);
  bool Indeterminate() const { return FIndeterminate; }
  void SetIndeterminate(bool Value);
  bool Grouped() const { return FGrouped; }
  void SetGrouped(bool Value);
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int Value);
  void SetEnabled(bool Value) override;
  void SetVisible(bool Value) override;
  // The command id the bar's window knows the button by.
  int CommandId() const { return FCommand; }

 protected:
  void SetText(const String& Value) override;

 private:
  friend class TToolBar;
  TToolBar* Bar() const;
  void Refresh();
  TToolButtonStyle FStyle = tbsButton;
  bool FDown = false;
  bool FMarked = false;
  bool FIndeterminate = false;
  bool FGrouped = false;
  int FImageIndex = -1;
  int FCommand = 0;
};

enum TCustomDrawStage { cdPrePaint, cdPostPaint, cdPreErase, cdPostErase };
enum TCustomDrawStateFlag { cdsSelected, cdsGrayed, cdsDisabled, cdsChecked, cdsFocused, cdsDefault, cdsHot,
                            cdsMarked, cdsIndeterminate };
using TCustomDrawState = TSet<TCustomDrawStateFlag>;
enum TTBCustomDrawFlag { tbNoEdges, tbHiliteHotTrack, tbNoOffset, tbNoMark, tbNoEtchedEffect };
using TTBCustomDrawFlags = TSet<TTBCustomDrawFlag>;
using TTBAdvancedCustomDrawEvent =
    std::function<void(TToolBar* Sender, const TRect& ARect, TCustomDrawStage Stage, bool& DefaultDraw)>;
using TTBAdvancedCustomDrawBtnEvent =
    std::function<void(TToolBar* Sender, TToolButton* Button, TCustomDrawState State, TCustomDrawStage Stage,
                       TTBCustomDrawFlags& Flags, bool& DefaultDraw)>;

// Aligned to the top of its parent unless told otherwise.
class TToolBar : public TWinControl {
 public:
  explicit TToolBar(TComponent* AOwner);
  ~TToolBar() override;
  int ButtonCount() const { return int(FButtons.size()); }
  TToolButton* Buttons(int Index) const { return FButtons.at(size_t(Index)); }
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  bool List() const { return FList; }
  void SetList(bool Value);
  bool ShowCaptions() const { return FShowCaptions; }
  void SetShowCaptions(bool Value);
  bool Wrapable() const { return FWrapable; }
  void SetWrapable(bool Value);
  int ButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(int Value);
  int ButtonHeight() const { return FButtonHeight; }
  void SetButtonHeight(int Value);
  TCanvas* Canvas() { return FCanvas.get(); }

  TTBAdvancedCustomDrawEvent OnAdvancedCustomDraw;
  TTBAdvancedCustomDrawBtnEvent OnAdvancedCustomDrawButton;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;

 private:
  friend class TToolButton;
  void AddButton(TToolButton* Button);
  void RemoveButton(TToolButton* Button);
  void SendButton(TToolButton* Button, int Index);
  void UpdateButtons();  // the window's buttons again from FButtons, and their bounds
  void UpdateBounds();
  TToolButton* ByCommand(int Id) const;
  LRESULT CustomDraw(NMTBCUSTOMDRAW* cd);
  std::vector<TToolButton*> FButtons;
  std::unique_ptr<TControlCanvas> FCanvas;
  bool FFlat = false;
  bool FList = false;
  bool FShowCaptions = false;
  bool FWrapable = true;
  int FButtonWidth = 23;
  int FButtonHeight = 22;
  int FNextCommand = 1;
};

// ---- Tree views ----

class TTreeView;
using TTVCustomDrawEvent = std::function<void(TTreeView* Sender, const TRect& ARect, bool& DefaultDraw)>;

class TTreeNode {
 public:
  String Text() const;
  void SetText(const String& Value);
  TTreeNode* Parent() const { return FParent; }
  int Count() const { return int(FChildren.size()); }
  TTreeNode* Item(int Index) const { return FChildren.at(size_t(Index)); }
  bool Expanded() const;
  void SetExpanded(bool Value);
  HTREEITEM ItemId() const { return FItem; }

 private:
  friend class TTreeNodes;
  friend class TTreeView;
  TTreeView* FOwner = nullptr;
  TTreeNode* FParent = nullptr;
  std::vector<TTreeNode*> FChildren;
  HTREEITEM FItem = nullptr;
  String FText;
};

// The nodes of a tree view; the view owns them.
class TTreeNodes {
 public:
  explicit TTreeNodes(TTreeView* Owner) : FOwner(Owner) {}
  ~TTreeNodes();
  int Count() const { return int(FAll.size()); }
  // A node at the top level (Parent null) or under Parent, at the end.
  TTreeNode* Add(TTreeNode* Parent, const String& Text) { return AddChild(Parent, Text); }
  TTreeNode* AddChild(TTreeNode* Parent, const String& Text);
  void Clear();

 private:
  friend class TTreeView;
  void Send(TTreeNode* Node);  // makes the node's window item
  TTreeView* FOwner;
  std::vector<std::unique_ptr<TTreeNode>> FAll;
};

class TTreeView : public TWinControl {
 public:
  explicit TTreeView(TComponent* AOwner);
  ~TTreeView() override;
  TTreeNodes* Items() { return &FItems; }
  TTreeNode* Selected();
  void SetSelected(TTreeNode* Node);

  TNotifyEvent OnChange;
  TTVCustomDrawEvent OnCustomDraw;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;
  void FontChanged() override;

 private:
  friend class TTreeNodes;
  friend class TTreeNode;
  void SendColors();
  TTreeNodes FItems{this};
};

// Registers the classes above with their published properties.
void RegisterComCtrlsClasses();
