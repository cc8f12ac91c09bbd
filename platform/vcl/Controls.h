#pragma once
// Controls of the windowing framework: the message record, TControl (any
// control), TWinControl (a control with a window) and the control canvas.
//
// Every message a windowed control receives runs through its WindowProc
// (a replaceable method, by default WndProc), so that an object can take over
// a control's messages by saving WindowProc and installing its own, and later
// put the saved one back. WndProc handles what the control handles and hands
// the rest to DefaultHandler, the window class's procedure.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/Types.h"
#include "platform/win/Windows.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};
using TWndMethod = std::function<void(TMessage&)>;

// Framework messages (the documented CM_* numbers, which callers compare).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
constexpr UINT CM_GOTFOCUS = CM_BASE + 2;
constexpr UINT CM_LOSTFOCUS = CM_BASE + 3;
constexpr UINT CM_CANCELMODE = CM_BASE + 4;
constexpr UINT CM_DIALOGKEY = CM_BASE + 5;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 6;
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
constexpr UINT CM_APPKEYDOWN = CM_BASE + 22;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 23;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 24;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;
constexpr UINT CM_CONTROLLISTCHANGING = CM_BASE + 76;

// Notifications a parent hands back to the control they came from (WM_COMMAND,
// WM_NOTIFY, scrolling, colours, owner drawing) and keys the application hands
// to the focused control before dispatching them: the window message + CN_BASE.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_CHARTOITEM = CN_BASE + 0x002F;
constexpr UINT CN_COMMAND = CN_BASE + 0x0111;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + 0x0135;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + 0x0133;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + 0x0134;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + 0x0137;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + 0x0138;
constexpr UINT CN_DRAWITEM = CN_BASE + 0x002B;
constexpr UINT CN_HSCROLL = CN_BASE + 0x0114;
constexpr UINT CN_MEASUREITEM = CN_BASE + 0x002C;
constexpr UINT CN_NOTIFY = CN_BASE + 0x004E;
constexpr UINT CN_VSCROLL = CN_BASE + 0x0115;
constexpr UINT CN_KEYDOWN = CN_BASE + 0x0100;
constexpr UINT CN_KEYUP = CN_BASE + 0x0101;
constexpr UINT CN_CHAR = CN_BASE + 0x0102;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + 0x0104;
constexpr UINT CN_SYSCHAR = CN_BASE + 0x0106;

class TWinControl;

class EInvalidOperation : public Exception {
 public:
  using Exception::Exception;
};

enum TMouseButtonKind { mbLeft, mbRight, mbMiddle };
enum TShiftStateFlag { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateFlag>;
using TMouseEvent = std::function<void(TObject* Sender, TMouseButtonKind Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
// Key is a virtual key; setting it to 0 swallows the key.
using TKeyEvent = std::function<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
// Key is the typed character; setting it to 0 swallows it, changing it types another.
using TKeyPressEvent = std::function<void(TObject* Sender, char32_t& Key)>;
TShiftState KeysToShiftState(WPARAM Keys);
// The shift keys held now (GetKeyState).
TShiftState KeyboardShiftState();

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

// What a control is and does (the skin reads and changes these); the documented values.
enum TControlStyleFlag {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption, csOpaque,
  csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents,
  csDisplayDragImage, csReflector, csActionClient, csMenuEvents, csNeedsBorderPaint, csParentBackground,
  csPannable, csAlignWithMargins, csGestures, csPaintBlackOpaqueOnGlass, csOverrideStylePaint
};
using TControlStyle = TSet<TControlStyleFlag>;
// What a control is going through now.
enum TControlStateFlag {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating, csPaintCopy,
  csCustomPaint, csDestroyingHandle, csDocking, csDesignerHide, csPanning, csRecreating, csAligning, csGlassPaint,
  csPrintClient
};
using TControlState = TSet<TControlStateFlag>;

// Size limits of a control; 0 means none.
class TSizeConstraints : public TPersistent {
 public:
  int MaxHeight() const { return FMaxHeight; }
  int MaxWidth() const { return FMaxWidth; }
  int MinHeight() const { return FMinHeight; }
  int MinWidth() const { return FMinWidth; }
  void SetMaxHeight(int Value) { Set(FMaxHeight, Value); }
  void SetMaxWidth(int Value) { Set(FMaxWidth, Value); }
  void SetMinHeight(int Value) { Set(FMinHeight, Value); }
  void SetMinWidth(int Value) { Set(FMinWidth, Value); }
  void Assign(TPersistent* Source) override;
  // Clamps a size to the limits.
  int ClampWidth(int W) const;
  int ClampHeight(int H) const;
  TNotifyEvent OnChange;

 private:
  void Set(int& Field, int Value);
  int FMaxHeight = 0;
  int FMaxWidth = 0;
  int FMinHeight = 0;
  int FMinWidth = 0;
};

class TPopupMenu;

// Key is the letter after the single "&" in Caption (ignoring case).
bool IsAccel(char32_t Key, const String& Caption);

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // Shown on a right click (WM_CONTEXTMENU) when its AutoPopup is set.
  TPopupMenu* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TPopupMenu* Value);

  // The control's message entry; replace it to see every message first.
  TWndMethod WindowProc;
  // Runs a message through WindowProc at once.
  LRESULT Perform(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  void SetBoundsRect(const TRect& R) { SetBounds(R.Left, R.Top, R.Width(), R.Height()); }
  virtual TRect ClientRect();
  int ClientWidth() { return ClientRect().Width(); }
  int ClientHeight() { return ClientRect().Height(); }
  void SetClientWidth(int Value);
  void SetClientHeight(int Value);
  virtual TPoint ClientOrigin();
  TPoint ClientToScreen(const TPoint& P) { TPoint o = ClientOrigin(); return TPoint(P.X + o.X, P.Y + o.Y); }
  TPoint ScreenToClient(const TPoint& P) { TPoint o = ClientOrigin(); return TPoint(P.X - o.X, P.Y - o.Y); }

  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, with every parent showing (a form: its window is shown).
  virtual bool Showing() const;
  bool Enabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);

  // Caption and Text are the same string: the window text of windowed controls.
  String Caption() { return GetText(); }
  void SetCaption(const String& Value) { SetText(Value); }
  String Text() { return GetText(); }
  void SetTextValue(const String& Value) { SetText(Value); }

  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFont* Font() { return &FFont; }
  // While set, the font (colour) follows the parent's; setting Font (Color) clears it.
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool Value);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool Value);

  // Placement inside the parent: docked to an edge or filling what is left
  // (Align), or keeping the distance to the anchored edges when the parent is sized.
  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign Value);
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors Value) { FAnchors = Value; }
  TSizeConstraints* Constraints() { return &FConstraints; }

  // The tooltip text, shown after the pointer rests on the control while ShowHint is on.
  // ShowHint follows the parent's while ParentShowHint is set.
  String Hint;
  bool ShowHint() const;
  void SetShowHint(bool Value);
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool Value) { FParentShowHint = Value; }

  TControlStyle ControlStyle;
  TControlState ControlState;
  // The parent chain's form (or frame's form), or nullptr.
  class TCustomForm* GetParentForm();

  virtual void Invalidate() {}
  virtual void Update() {}
  void Repaint() {
    Invalidate();
    Update();
  }

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

 protected:
  friend class TWinControl;
  friend class TApplication;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  TPopupMenu* FPopupMenu = nullptr;
  virtual void WndProc(TMessage& Message);
  // What WndProc does with a message it does not handle.
  virtual void DefaultHandler(TMessage& Message);
  virtual String GetText() { return FText; }
  virtual void SetText(const String& Value);
  virtual void Click();
  // The bounds changed from outside (the window moved or was sized).
  void AssignBounds(int ALeft, int ATop, int AWidth, int AHeight);
  void MouseMessage(TMessage& Message);
  // Asks the parent to lay its children out again.
  void RequestAlign();
  // The parent's font or colour changed (or the control got a parent).
  void ParentFontChanged();
  void ParentColorChanged();
  virtual void FontChanged() { Invalidate(); }
  // Width and height within Constraints.
  void ConstrainSize(int& W, int& H) const;

  TWinControl* FParent = nullptr;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FVisible = true;
  bool FEnabled = true;
  String FText;
  TColor FColor = clBtnFace;
  TFont FFont;
  bool FMouseDownLeft = false;
  bool FParentFont = true;
  bool FParentColor = false;
  bool FParentShowHint = true;
  bool FShowHint = false;
  bool FFollowingParent = false;  // parent font or colour being copied, not set by the user
  TAlign FAlign = alNone;
  TAnchors FAnchors{akLeft, akTop};
  TSizeConstraints FConstraints;
};

struct TCreateParams {
  String Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSEXW WindowClass;
  String WinClassName;
};

// A control without a window of its own (labels, glyph buttons, images):
// it paints into its parent's DC during the parent's WM_PAINT, and the parent
// hands it the mouse messages over its bounds.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  // The parent's paint DC while painting, with the origin at the control's corner.
  TCanvas* Canvas() { return FCanvas.get(); }
  void Invalidate() override;
  void Update() override;

 protected:
  void WndProc(TMessage& Message) override;
  virtual void Paint() {}

 private:
  std::unique_ptr<TCanvas> FCanvas;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // The window, created on first use.
  HWND Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys the window; it is made again when next needed.
  void DestroyHandle();
  // Sends CM_RECREATEWND, whose default handling destroys the window and makes it again.
  void RecreateWnd();

  int ControlCount() const { return int(FControls.size()); }
  TControl* Controls(int Index) const { return FControls.at(size_t(Index)); }
  // Both tell the control and its parents: CM_CONTROLLISTCHANGING before the
  // list changes, CM_CONTROLLISTCHANGE after an insertion and before a removal
  // (WParam the child, LParam 1 when inserted, 0 when removed).
  void InsertControl(TControl* AControl);
  void RemoveControl(TControl* AControl);

  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  TRect ClientRect() override;
  TPoint ClientOrigin() override;
  bool Showing() const override { return FShowing; }
  void SetEnabled(bool Value) override;
  bool Focused() const;
  bool CanFocus() const;
  virtual void SetFocus();

  // Keyboard order among the siblings: TabOrder is the position in the
  // parent's tab list (set it to move the control); Tab skips controls without TabStop.
  int TabOrder() const;
  void SetTabOrder(int Value);
  bool TabStop() const { return FTabStop; }
  void SetTabStop(bool Value) { FTabStop = Value; }
  // Every windowed descendant in tab order (depth first).
  void GetTabOrderList(std::vector<TWinControl*>& List);
  // The control after (or before) CurControl among this control's descendants
  // that can take the focus, wrapping around; nullptr when there is none.
  TWinControl* FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop, bool CheckParent);
  void SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop);

  // Lays the children out (Align and Anchors). Between DisableAlign and
  // EnableAlign requests are remembered and run once at the end.
  void Realign();
  void DisableAlign() { ++FAlignLevel; }
  void EnableAlign();
  bool AlignDisabled() const { return FAlignLevel > 0; }

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  void Invalidate() override;
  void Update() override;
  // Brings the window to the front of its siblings.
  void BringToFront();

  // The control that owns a window, or nullptr.
  static TWinControl* FindControl(HWND Handle);
  // The topmost visible graphic child under a client point, or nullptr.
  TGraphicControl* GraphicControlAt(const TPoint& P) const;
  // Paints the visible graphic children into dc (client coordinates), bottom first.
  void PaintControls(HDC dc);
  // Draws the control as it looks, frame and visible children included (shown
  // or not yet), into DC with its top-left corner at (X, Y), through WM_PRINT;
  // the windows are made when missing.
  void PaintTo(HDC DC, int X, int Y);
  // While set, WM_PAINT erases and paints into an off-screen image first and
  // copies it to the window at once, so that nothing flickers; the window's
  // own background erase is skipped.
  bool DoubleBuffered() const { return FDoubleBuffered; }
  void SetDoubleBuffered(bool Value);

 protected:
  void WndProc(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  String GetText() override;
  void SetText(const String& Value) override;
  virtual void CreateParams(TCreateParams& Params);
  // Makes the window a window of the layer's class ClassName (its procedure
  // handles what the control does not), registered under the control's class name.
  void CreateSubClass(TCreateParams& Params, const char* ClassName);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  // The window exists (its first messages have run); children get theirs.
  virtual void CreateHandleDone() {}
  // Showing changed (CM_SHOWINGCHANGED): show or hide the window.
  virtual void ShowingChanged();
  void UpdateShowing();
  // Re-reads the bounds from the window.
  void UpdateBounds();
  // Erases the background with Color.
  void EraseBackground(TMessage& Message);
  // Hands Message to every child.
  void Broadcast(TMessage& Message);
  // The WM_PAINT of a double-buffered window: erases and paints through
  // WM_ERASEBKGND (WParam = LParam = the image's DC) and WM_PAINT (WParam = that DC)
  // into an off-screen image, then copies it. False when the message is not such a paint.
  bool PaintBuffered(TMessage& Message);
  // The part of the client area that aligned children share (a border or caption takes the rest).
  virtual void AdjustClientRect(TRect& Rect) { (void)Rect; }
  virtual void AlignControls(TRect Rect);
  // Key handlers: true when the key was swallowed.
  virtual bool DoKeyDown(TMessage& Message);
  virtual bool DoKeyUp(TMessage& Message);
  virtual bool DoKeyPress(TMessage& Message);
  // The dialog-key step of a key the application hands over (CN_KEYDOWN): Tab,
  // arrows, Enter and Escape go to the form unless the window wants them.
  void KeyDownBeforeDispatch(TMessage& Message);
  // The key is the short cut of an item of a popup menu of this control or
  // of a parent, or of the form's main menu: the item ran.
  bool IsMenuKey(TMessage& Message);
  virtual void DoEnter();
  virtual void DoExit();
  // The brush for WM_CTLCOLOR*: Color's, with the font colour as text colour.
  HBRUSH ControlColorBrush(HDC dc);
  // The font handle for the window classes (WM_SETFONT).
  void ApplyFont();
  void FontChanged() override;

  bool FTabStop = false;

  HWND FHandle = nullptr;
  WNDPROC FDefWndProc = DefWindowProcW;
  bool FShowing = false;

 private:
  friend LRESULT ControlInitWndProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT MainWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
  // Hands a mouse message to the graphic child under it (or holding the mouse); true when it took it.
  bool GraphicControlMouse(TMessage& Message);
  // Sends a control-list message about AControl, unless this control is being destroyed.
  void NotifyControlList(UINT Msg, TControl* AControl, bool Inserting);
  TGraphicControl* FMouseGraphic = nullptr;  // holds the mouse between press and release
  WNDPROC FObjectInstance = nullptr;
  std::vector<TControl*> FControls;
  std::vector<TWinControl*> FTabList;
  bool FDestroyingHandle = false;
  int FAlignLevel = 0;
  bool FAlignPending = false;
  bool FAligning = false;
  // The client size the children were last laid out for (anchors move by the difference).
  int FLaidOutWidth = -1;
  int FLaidOutHeight = -1;
  HBRUSH FColorBrush = nullptr;
  TColor FColorBrushColor = clNone;
  bool FDoubleBuffered = false;
};

// Reads a window's control for key handling: the control of the window or of its nearest ancestor.
TWinControl* FindControlOrAncestor(HWND Handle);

// A canvas over a control's window: a window DC made on first use (outside
// painting), or the paint DC while the control paints.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TWinControl* AControl) : FControl(AControl) {}
  ~TControlCanvas() override { FreeHandle(); }
  // Gives back a DC made on demand, so that the window shows what was drawn.
  void FreeHandle();
  // Paint-time DC (not owned); nullptr ends painting.
  void SetPaintHandle(HDC dc);

 protected:
  void CreateHandle() override;

 private:
  TWinControl* FControl;
  HDC FOwnDC = nullptr;
};

// Frees every control canvas's on-demand DC (the application does it when idle).
void FreeDeviceContexts();

// A windowed control that paints itself on its Canvas (Paint).
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() { return FCanvas.get(); }

 protected:
  void WndProc(TMessage& Message) override;
  virtual void Paint() {}

  std::unique_ptr<TControlCanvas> FCanvas;
};

// Runs a WM_PAINT with canvas set to the paint DC, calling paint in between.
// A WM_PAINT that carries a DC in WParam (WM_PRINTCLIENT, snapshots) paints
// into that DC instead, leaving the update region alone.
void PaintWithCanvas(TWinControl* Control, TControlCanvas* Canvas, const std::function<void()>& Paint,
                     HDC Given = nullptr);

// The tooltip popup: a small bordered top-level window in the info colours
// that shows a text near the pointer without taking the focus.
class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* AOwner);
  // The bounds (at 0, 0) that Hint needs, wrapped at MaxWidth; AData is what
  // the hint's description carries for windows that show more than text.
  virtual TRect CalcHintRect(int MaxWidth, const String& AHint, void* AData = nullptr);
  // Shows the window at Rect (screen coordinates) with AHint as its text.
  virtual void ActivateHint(TRect Rect, const String& AHint);
  // As ActivateHint, with the description's data (ignored here).
  virtual void ActivateHintData(TRect Rect, const String& AHint, void* AData);
  // Hides the window (it is made again by the next ActivateHint).
  void ReleaseHandle();
  bool Active() const { return FActive; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
  void Paint() override;

 private:
  bool FActive = false;
};

// Makes the window that shows hints; compare with HintWindowClassOf<T> to
// learn which class it makes.
using THintWindowClass = THintWindow* (*)(TComponent* AOwner);
template <class T>
THintWindow* HintWindowClassOf(TComponent* AOwner) {
  return new T(AOwner);
}

// What the application is about to show as a hint; OnShowHint may change any of it.
struct THintInfo {
  TControl* HintControl = nullptr;
  THintWindowClass HintWindowClass = nullptr;
  TPoint HintPos;  // screen position of the window's top-left corner
  int HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  TRect CursorRect;  // in the control's coordinates: the hint holds while the pointer stays inside
  TPoint CursorPos;  // the pointer, in the control's coordinates
  int ReshowTimeout = 0;
  int HideTimeout = 0;  // ms the hint stays up
  String HintStr;
  void* HintData = nullptr;
};
