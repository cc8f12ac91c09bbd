#pragma once
// More controls of the framework: panels, images, radio groups, splitters,
// timers, scroll boxes, frames, and the hidden utility windows that timers use.

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/StdCtrls.h"

// A hidden window whose messages go to Proc (timers, message sinks). Free it with DeallocateHWnd.
HWND AllocateHWnd(std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> Proc);
void DeallocateHWnd(HWND Wnd);

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

// Draws a 3D frame of Width pixels inside Rect (top-left in TopColor), and shrinks Rect past it.
void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width);

class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* AOwner);
  TBevelCut BevelInner() const { return FBevelInner; }
  void SetBevelInner(TBevelCut Value);
  TBevelCut BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut Value);
  int BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(int Value);
  int BorderWidth() const { return FBorderWidth; }
  void SetBorderWidth(int Value);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  TTextLayout VerticalAlignment() const { return FVerticalAlignment; }
  void SetVerticalAlignment(TTextLayout Value);
  bool FullRepaint = true;
  // Leaves the background as the parent painted it (the skin sets it).
  bool ParentBackground() const { return ControlStyle.Contains(csParentBackground); }
  void SetParentBackground(bool Value);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AdjustClientRect(TRect& Rect) override;
  void Paint() override;
  void WndProc(TMessage& Message) override;

 private:
  TBevelCut FBevelInner = bvNone;
  TBevelCut FBevelOuter = bvRaised;
  int FBevelWidth = 1;
  int FBorderWidth = 0;
  TFormBorderStyle FBorderStyle = bsNone;
  TAlignment FAlignment = taCenter;
  TTextLayout FVerticalAlignment = tlCenter;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
};

// A picture in a control. Stretch fills the control; Proportional keeps the
// aspect (shrinking only, unless Stretch too); Center centres what is drawn.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TComponent* AOwner);
  TPicture* Picture() { return &FPicture; }
  void SetPicture(TPicture* Value) { FPicture.Assign(Value); }
  // A bitmap's canvas; an empty picture gets a bitmap of the control's size first.
  // EInvalidOperation for other graphics.
  TCanvas* Canvas();
  bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);
  bool Proportional() const { return FProportional; }
  void SetProportional(bool Value);
  bool Center() const { return FCenter; }
  void SetCenter(bool Value);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool Value);
  // Sizes the control to the picture.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  // Where the picture goes, in client coordinates.
  TRect DestRect();

 protected:
  void Paint() override;

 private:
  void PictureChanged();
  TPicture FPicture;
  bool FStretch = false;
  bool FProportional = false;
  bool FCenter = false;
  bool FTransparent = false;
  bool FAutoSize = false;
};

class TCustomRadioGroup;

// A radio button of a radio group (owned by the group).
class TGroupButton : public TRadioButton {
 public:
  TGroupButton(TCustomRadioGroup* Group, int Index);
  void Click() override;

 private:
  TCustomRadioGroup* FGroup;
};

class TCustomRadioGroup : public TCustomGroupBox {
 public:
  explicit TCustomRadioGroup(TComponent* AOwner);
  ~TCustomRadioGroup() override;
  TStrings* Items() { return &FItems; }
  // -1 for none. Setting it checks that button, which clicks the group (OnClick).
  int ItemIndex() const { return FItemIndex < int(FButtons.size()) ? FItemIndex : -1; }
  void SetItemIndex(int Value);
  int Columns() const { return FColumns; }
  void SetColumns(int Value);
  // The button of item Index.
  TRadioButton* Buttons(int Index) const { return FButtons.at(size_t(Index)); }
  int ButtonCount() const { return int(FButtons.size()); }

 protected:
  friend class TGroupButton;
  void ButtonClick(TGroupButton* Button);
  void WndProc(TMessage& Message) override;
  void ArrangeButtons();
  void UpdateButtons();

 private:
  TStringList FItems;
  std::vector<TGroupButton*> FButtons;
  int FItemIndex = -1;
  int FColumns = 1;
  bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  using TCustomRadioGroup::TCustomRadioGroup;
};

// A bar that resizes the control before it (the one aligned to the same edge,
// touching it) when dragged; MinSize keeps both sides from vanishing.
class TSplitter : public TGraphicControl {
 public:
  explicit TSplitter(TComponent* AOwner);
  int MinSize() const { return FMinSize; }
  void SetMinSize(int Value) { FMinSize = std::max(1, Value); }
  bool Beveled() const { return FBeveled; }
  void SetBeveled(bool Value);
  // The control the splitter resizes now, or nullptr.
  TControl* FindControl();
  TNotifyEvent OnMoved;

 protected:
  void Paint() override;
  void WndProc(TMessage& Message) override;

 private:
  TControl* FControl = nullptr;
  bool FDragging = false;
  TPoint FDownPos;
  int FStartSize = 0;
  int FMinSize = 30;
  bool FBeveled = false;
};

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  // Milliseconds; 0 stops the timer.
  unsigned Interval() const { return FInterval; }
  void SetInterval(unsigned Value);
  // Runs on the main thread's message loop, every Interval while Enabled.
  TNotifyEvent OnTimer;

 protected:
  virtual void Timer();

 private:
  void UpdateTimer();
  HWND FWindowHandle = nullptr;
  bool FEnabled = true;
  unsigned FInterval = 1000;
};

// A container that scrolls its children when they reach past its client area.
class TScrollBox : public TCustomControl {
 public:
  explicit TScrollBox(TComponent* AOwner);
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  bool AutoScroll = true;
  // Brings the children's area back to the bars' positions.
  void ScrollInView(TControl* AControl);
  int HorzPosition() const { return FPos[0]; }
  int VertPosition() const { return FPos[1]; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AlignControls(TRect Rect) override;
  void WndProc(TMessage& Message) override;
  TFormBorderStyle FBorderStyle = bsSingle;

 private:
  void UpdateBars();
  void ScrollTo(int Bar, int Pos);
  int FPos[2] = {0, 0};
  int FRange[2] = {0, 0};
};

// A reusable group of controls with a window definition of its own (found by
// the class name given), placed on forms like any container.
class TCustomFrame : public TScrollBox, public TDefinitionHost {
 public:
  explicit TCustomFrame(TComponent* AOwner);
  TCustomFrame(TComponent* AOwner, const String& DefinitionClass);
  // Loads the definition (once); a derived frame registers its handlers first.
  // EReadError when none is embedded for the class or the definition is wrong.
  void LoadDefinition();
  THandlerRegistry& Handlers() { return FHandlers; }
  bool HasOwnDefinition() const override { return !FDefinitionClass.empty(); }
  void LoadOwnDefinition() override { LoadDefinition(); }

 private:
  String FDefinitionClass;
  bool FDefinitionLoaded = false;
  THandlerRegistry FHandlers;
};

class TFrame : public TCustomFrame {
 public:
  using TCustomFrame::TCustomFrame;
};

void RegisterExtCtrlsClasses();
