#pragma once
// The standard controls of the framework: labels, push buttons, check boxes,
// radio buttons, group boxes, edits, memos, combo boxes and list boxes, each
// over the window layer's class ("BUTTON", "EDIT", "COMBOBOX", "LISTBOX").
//
// Events fire for programmatic changes too:
// setting Checked (or State) clicks a check box, setting a radio button's
// Checked clicks it, setting an edit's Text fires OnChange. Setting a combo
// box's or list box's ItemIndex fires nothing.

#include <vector>

#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

// The character cell height of a font, in pixels.
int FontPixelHeight(TFont& Font);
// DrawText flags for an alignment.
UINT AlignmentToDrawText(TAlignment Alignment);

// ---- Labels ----

class TCustomLabel : public TGraphicControl {
 public:
  explicit TCustomLabel(TComponent* AOwner);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  // Sizes the label to its text (the width too, unless WordWrap).
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  // Leaves the background as the parent painted it.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // "&" marks the accelerator letter (underlined) unless off.
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);

 protected:
  void Paint() override;
  void SetText(const String& Value) override;
  void FontChanged() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // CM_DIALOGCHAR: the accelerator letter moves the focus to FocusControl.
  void WndProc(TMessage& Message) override;
  // Draws (or, with DT_CALCRECT, measures) the caption in Rect.
  virtual void DoDrawText(TRect& Rect, UINT Flags);
  void AdjustBounds();

 private:
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TTextLayout FLayout = tlTop;
  bool FWordWrap = false;
  bool FTransparent = false;
  bool FShowAccelChar = true;
  TWinControl* FFocusControl = nullptr;
};

class TLabel : public TCustomLabel {
 public:
  using TCustomLabel::TCustomLabel;
};

// ---- Buttons ----

// Base of push buttons, check boxes and radio buttons.
class TButtonControl : public TWinControl {
 public:
  explicit TButtonControl(TComponent* AOwner);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
  // Check boxes and radio buttons: the side of the text (taLeftJustify puts it left of the box).
  void SetTextSide(TAlignment Value);
  // Clicks that the control makes itself (a check box set in code) are off while set.
  bool ClicksDisabled = false;
  TAlignment FAlignment = taRightJustify;

 private:
  bool FWordWrap = false;
};

enum TImageAlignment { iaLeft, iaRight, iaTop, iaBottom, iaCenter };

// The room kept around a button's image, in pixels.
class TImageMargins : public TPersistent {
 public:
  int Left() const { return FLeft; }
  void SetLeft(int Value) { Set(FLeft, Value); }
  int Top() const { return FTop; }
  void SetTop(int Value) { Set(FTop, Value); }
  int Right() const { return FRight; }
  void SetRight(int Value) { Set(FRight, Value); }
  int Bottom() const { return FBottom; }
  void SetBottom(int Value) { Set(FBottom, Value); }
  TNotifyEvent OnChange;

 private:
  void Set(int& Field, int Value) {
    if (Field == Value) return;
    Field = Value;
    if (OnChange) OnChange(this);
  }
  int FLeft = 0;
  int FTop = 0;
  int FRight = 0;
  int FBottom = 0;
};

class TButton : public TButtonControl {
 public:
  explicit TButton(TComponent* AOwner);
  ~TButton() override;
  // Enter clicks the default button unless another button has the focus.
  bool Default() const { return FDefault; }
  void SetDefault(bool Value);
  // Escape clicks the cancel button.
  bool Cancel() const { return FCancel; }
  void SetCancel(bool Value) { FCancel = Value; }
  // A click sets the form's ModalResult to this (closing a modal form unless mrNone).
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int Value) { FModalResult = Value; }
  // Presses the button: the form's ModalResult, then OnClick.
  void Click() override;

  // An image of Images beside the caption: ImageIndex, or the one given for
  // the state (hot, pressed, disabled, selected = focused or default; -1 or
  // outside the list: ImageIndex), placed by ImageAlignment within ImageMargins.
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  int ImageIndex() const { return FImageIndex[0]; }
  void SetImageIndex(int Value) { SetStateImage(0, Value); }
  int HotImageIndex() const { return FImageIndex[1]; }
  void SetHotImageIndex(int Value) { SetStateImage(1, Value); }
  int PressedImageIndex() const { return FImageIndex[2]; }
  void SetPressedImageIndex(int Value) { SetStateImage(2, Value); }
  int DisabledImageIndex() const { return FImageIndex[3]; }
  void SetDisabledImageIndex(int Value) { SetStateImage(3, Value); }
  int SelectedImageIndex() const { return FImageIndex[4]; }
  void SetSelectedImageIndex(int Value) { SetStateImage(4, Value); }
  TImageAlignment ImageAlignment() const { return FImageAlignment; }
  void SetImageAlignment(TImageAlignment Value);
  TImageMargins* ImageMargins() { return &FImageMargins; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Enter goes here when this is the focused button, or the default one and no button has the focus.
  bool IsActiveDefault();

 private:
  void SetStateImage(int State, int Value);
  // Hands the window a list of the state images (or none).
  void UpdateImages();

  bool FDefault = false;
  bool FCancel = false;
  int FModalResult = 0;
  TCustomImageList* FImages = nullptr;
  int FImageIndex[5] = {-1, -1, -1, -1, -1};  // normal, hot, pressed, disabled, selected
  TImageAlignment FImageAlignment = iaLeft;
  TImageMargins FImageMargins;
  std::unique_ptr<TChangeLink> FImageLink;
  HIMAGELIST FStateImages = nullptr;  // what the window draws from
};

enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCustomCheckBox : public TButtonControl {
 public:
  explicit TCustomCheckBox(TComponent* AOwner);
  // Setting State (or Checked) to a new value clicks the box (OnClick), as a user's click does.
  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState Value);
  bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool Value) { SetState(Value ? cbChecked : cbUnchecked); }
  // A user's click steps through grayed too.
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool Value) { FAllowGrayed = Value; }
  // taRightJustify: the text right of the box (the default).
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { SetTextSide(Value); }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;
  virtual void Toggle();

 private:
  TCheckBoxState FState = cbUnchecked;
  bool FAllowGrayed = false;
};

class TCheckBox : public TCustomCheckBox {
 public:
  using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
 public:
  explicit TRadioButton(TComponent* AOwner);
  // Checking a button unchecks its sibling radio buttons and clicks it (OnClick);
  // only the checked one is a tab stop.
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value) { SetTextSide(Value); }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;

 private:
  bool FChecked = false;
};

// ---- Group boxes ----

class TCustomGroupBox : public TWinControl {
 public:
  explicit TCustomGroupBox(TComponent* AOwner);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AdjustClientRect(TRect& Rect) override;
  void WndProc(TMessage& Message) override;
};

class TGroupBox : public TCustomGroupBox {
 public:
  using TCustomGroupBox::TCustomGroupBox;
};

// ---- Edits and memos ----

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TWinControl {
 public:
  explicit TCustomEdit(TComponent* AOwner);

  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value);
  // Characters the user may type (0: no limit); text set in code is not cut.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  char PasswordChar() const { return FPasswordChar; }
  void SetPasswordChar(char Value);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  // bsSingle: a sunken border; bsNone: none.
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  bool Modified();
  void SetModified(bool Value);
  // Selection in characters.
  int SelStart();
  void SetSelStart(int Value);
  int SelLength();
  void SetSelLength(int Value);
  String SelText();
  void SetSelText(const String& Value);
  void SelectAll();
  void Clear() { SetTextValue(String()); }

  // Fires on every change of the text, typed or set in code.
  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void WndProc(TMessage& Message) override;
  virtual void Change();

 private:
  bool FReadOnly = false;
  int FMaxLength = 0;
  char FPasswordChar = 0;
  TEditCharCase FCharCase = ecNormal;
  TFormBorderStyle FBorderStyle = bsSingle;
};

class TEdit : public TCustomEdit {
 public:
  using TCustomEdit::TCustomEdit;
};

class TCustomMemo;

// A memo's text as lines. Appending goes to the end of the window's text
// without rebuilding it, so that a log can grow line by line for hours.
class TMemoStrings : public TStrings {
 public:
  explicit TMemoStrings(TCustomMemo* Memo) : FMemo(Memo) {}
  int Count() const override;
  int Add(const String& S) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;
  void SetText(std::string_view Value) override;

 protected:
  String Get(int Index) const override;
  void Put(int Index, const String& S) override;

 private:
  friend class TCustomMemo;
  std::vector<String> Split() const;
  void Join(const std::vector<String>& Lines);
  TCustomMemo* FMemo;
  mutable int FCount = -1;  // hard lines, -1 when unknown
};

class TCustomMemo : public TCustomEdit {
 public:
  explicit TCustomMemo(TComponent* AOwner);
  TStrings* Lines() { return &FLines; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
  void Change() override;

 private:
  friend class TMemoStrings;
  TMemoStrings FLines{this};
  TScrollStyle FScrollBars = ssNone;
  bool FWordWrap = true;
  bool FWantReturns = true;
  bool FWantTabs = false;
  TAlignment FAlignment = taLeftJustify;
  bool FAppending = false;
};

class TMemo : public TCustomMemo {
 public:
  using TCustomMemo::TCustomMemo;
};

// ---- Combo boxes and list boxes ----

// The items of a combo box or list box: kept by the control, and in its window while it has one.
class TItemStrings : public TStrings {
 public:
  struct Messages {
    UINT Add, Insert, Delete, Reset, SetData, Error;
  };
  TItemStrings(TWinControl* Control, const Messages& Msgs) : FControl(Control), FMsgs(Msgs) {}
  int Count() const override { return int(FItems.size()); }
  int Add(const String& S) override;
  void Insert(int Index, const String& S) override;
  void Delete(int Index) override;
  void Clear() override;
  bool Sorted() const { return FSorted; }
  // Turning sorting on sorts the items there are.
  void SetSorted(bool Value);
  // Puts every item into the (new) window.
  void Fill(HWND Handle);

 protected:
  String Get(int Index) const override;
  void Put(int Index, const String& S) override;
  TObject* GetObject(int Index) const override;
  void PutObject(int Index, TObject* AObject) override;

 private:
  struct Item {
    String Str;
    TObject* Obj = nullptr;
  };
  int InsertAt(int Index, const String& S);
  TWinControl* FControl;
  Messages FMsgs;
  bool FSorted = false;
  std::vector<Item> FItems;
};

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  TStrings* Items() { return &FItems; }
  // -1 for none. Setting it fires no event.
  int ItemIndex();
  void SetItemIndex(int Value);
  TComboBoxStyle Style() const { return FStyle; }
  void SetStyle(TComboBoxStyle Value);
  int DropDownCount() const { return FDropDownCount; }
  void SetDropDownCount(int Value);  // the dropped list shows this many items, then scrolls
  bool Sorted() const { return FItems.Sorted(); }
  void SetSorted(bool Value) { FItems.SetSorted(Value); }
  bool DroppedDown();
  void SetDroppedDown(bool Value);
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int Value) { FItemHeight = Value; }
  void Clear();

  // The user chose an item or typed into the edit part.
  TNotifyEvent OnChange;
  // The user chose an item.
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;
  String GetText() override;
  void SetText(const String& Value) override;
  virtual void Change();

 private:
  TItemStrings FItems;
  int FItemIndex = -1;
  TComboBoxStyle FStyle = csDropDown;
  int FDropDownCount = 8;
  int FMaxLength = 0;
  int FItemHeight = 16;
};

class TComboBox : public TCustomComboBox {
 public:
  using TCustomComboBox::TCustomComboBox;
};

class TCustomListBox : public TWinControl {
 public:
  explicit TCustomListBox(TComponent* AOwner);
  TStrings* Items() { return &FItems; }
  // -1 for none; setting it fires no event.
  int ItemIndex();
  void SetItemIndex(int Value);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool Value);
  bool Selected(int Index);
  void SetSelected(int Index, bool Value);
  int SelCount();
  bool Sorted() const { return FItems.Sorted(); }
  void SetSorted(bool Value) { FItems.SetSorted(Value); }
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int Value);
  int TopIndex();
  void SetTopIndex(int Value);
  void Clear();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateHandleDone() override;
  void DestroyWnd() override;
  void WndProc(TMessage& Message) override;

 private:
  TItemStrings FItems;
  int FItemIndex = -1;
  std::vector<bool> FSelected;  // kept while the window is gone (multi-select)
  bool FMultiSelect = false;
  int FItemHeight = 13;
};

class TListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;
};

// Registers the classes above and their published properties.
void RegisterStdCtrlsClasses();
