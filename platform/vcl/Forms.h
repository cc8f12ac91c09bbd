#pragma once
// Forms, the screen and the application object with its message loop.

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Definitions.h"

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
                 poMainFormCenter, poOwnerFormCenter };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TTileMode { tbHorizontal, tbVertical };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrAbort = 3;
constexpr TModalResult mrRetry = 4;
constexpr TModalResult mrIgnore = 5;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;
constexpr TModalResult mrAll = 8;
constexpr TModalResult mrNoToAll = 9;
constexpr TModalResult mrYesToAll = 10;

class TMainMenu;

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

class TCustomForm : public TWinControl {
 public:
  // A form without a window definition.
  explicit TCustomForm(TComponent* AOwner);
  // A form built from the window definition embedded for DefinitionClass.
  // AfterConstruction loads it, so that a derived form's constructor can
  // register its handlers first; LoadDefinition loads it earlier.
  TCustomForm(TComponent* AOwner, const String& DefinitionClass);
  ~TCustomForm() override;
  // OnDestroy runs here, while a derived form is still whole.
  void BeforeDestruction() override;
  // Loads the pending window definition (once), then fires OnCreate;
  // TApplication::CreateForm calls it once the object is built.
  virtual void AfterConstruction();
  // EReadError "No window definition for <class>" when none is embedded,
  // or naming what the definition got wrong. Does nothing once loaded.
  void LoadDefinition();
  // The handlers the definition binds events to, by name.
  THandlerRegistry& Handlers() { return FHandlers; }

  TCanvas* Canvas() { return FCanvas.get(); }
  TFormBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons Value);
  TFormStyle FormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle Value);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  TWindowState WindowState() const;
  void SetWindowState(TWindowState Value);
  bool Active() const;

  // Show makes the form visible and brings it to the front.
  void Show();
  // Asks OnCloseQuery, then OnClose decides: hide (the default), free, minimise or nothing.
  // Closing the main form ends the application.
  void Close();
  virtual bool CloseQuery();
  // Frees the form once the messages now queued for it have been handled.
  void Release();
  // Shows the form with every other form disabled and handles messages
  // (serving main-thread calls) until ModalResult is set and the close query
  // agrees, or the application terminates (mrCancel). Close sets mrCancel.
  TModalResult ShowModal();
  TModalResult ModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  bool Modal() const { return FModal; }

  // The control that has (or gets, when the form is activated) the focus.
  TWinControl* ActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Control);
  // A control of the form received the focus: it becomes ActiveControl and the
  // form and all its controls get CM_FOCUSCHANGED (LParam the control).
  void ControlFocused(TWinControl* Control);
  // Tells the active control (CM_CANCELMODE, LParam Sender) to leave any mode it
  // is in, because Sender was pressed; only while the form is active.
  void SendCancelMode(TControl* Sender);
  // The form sees its controls' keys first (OnKeyDown, OnKeyPress, OnKeyUp).
  bool KeyPreview = false;
  // The main menu shown as the form's menu bar; its items get the menu's messages.
  // The form gets CM_MENUCHANGED when the menu is set or changed while it has a window.
  TMainMenu* Menu() const { return FMenu; }
  void SetMenu(TMainMenu* Value);

  // MDI. An fsMDIForm holds its children in the "MDICLIENT" window ClientHandle
  // (made with the form's window and filling its client area); an
  // fsMDIChild's window is a document window inside the client of the
  // application's MDI form (EInvalidOperation "No MDI form is open" without one).
  HWND ClientHandle() const { return FClientHandle; }
  // The active child, the children front first, and their arrangement.
  TCustomForm* ActiveMDIChild() const;
  int MDIChildCount() const;
  TCustomForm* MDIChildren(int Index) const;
  TTileMode TileMode = tbHorizontal;
  void Cascade();
  void Tile();
  void ArrangeIcons();
  void Next();
  void Previous();

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TNotifyEvent OnResize;
  TCloseQueryEvent OnCloseQuery;
  TCloseEvent OnClose;
  TNotifyEvent OnDestroy;

 protected:
  void WndProc(TMessage& Message) override;
  void CreateParams(TCreateParams& Params) override;
  void ShowingChanged() override;
  virtual void Paint();
  virtual void DoClose(TCloseAction& Action);
  virtual void DoShow();
  virtual void DoHide();
  // Moves the form where Position says, before it is first shown.
  void ApplyPosition();
  void UpdateFrameStyle();
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CreateHandleDone() override;
  void DestroyWnd() override;
  // An MDI form's messages end in the frame's default handling, an MDI child's in the child's.
  void DefaultHandler(TMessage& Message) override;
  std::vector<TCustomForm*> MDIChildList() const;
  HWND FClientHandle = nullptr;
  TMainMenu* FMenu = nullptr;
  // Tab and arrows move the focus; Enter and Escape go to the default and cancel buttons.
  void DialogKey(TMessage& Message);
  // Focuses ActiveControl, or else the first control in tab order.
  void FocusFirstControl();
  TWinControl* FActiveControl = nullptr;

  std::unique_ptr<TControlCanvas> FCanvas;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TBorderIcons FBorderIcons{biSystemMenu, biMinimize, biMaximize};
  TFormStyle FFormStyle = fsNormal;
  TPosition FPosition = poDesigned;
  TWindowState FWindowState = wsNormal;
  bool FPositionApplied = false;
  bool FModal = false;
  TModalResult FModalResult = mrNone;
  bool FDestroyFired = false;
  String FDefinitionClass;
  bool FDefinitionLoaded = false;
  THandlerRegistry FHandlers;
};

// The application's MDI form: the main form when it is one, else the first open one.
TCustomForm* MDIFrameForm();

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
  TForm(TComponent* AOwner, const String& DefinitionClass) : TCustomForm(AOwner, DefinitionClass) {}
};

class TMonitor {
 public:
  HMONITOR Handle = nullptr;
  int MonitorNum = 0;
  bool Primary = false;
  TRect BoundsRect;
  TRect WorkareaRect;
  int Left() const { return BoundsRect.Left; }
  int Top() const { return BoundsRect.Top; }
  int Width() const { return BoundsRect.Width(); }
  int Height() const { return BoundsRect.Height(); }
};

// Pointer shapes the application asks for.
enum TCursor { crDefault, crArrow, crHourGlass };

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* AOwner) : TComponent(AOwner) {}
  // A shape other than crDefault shows over every window of the application
  // (an hour-glass through a long operation); crDefault lets each window choose.
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  // The shape's cursor, or null for crDefault.
  HCURSOR CursorHandle() const;
  int FormCount() const { return int(FForms.size()); }
  TCustomForm* Forms(int Index) const { return FForms.at(size_t(Index)); }
  // The form whose window is active, or nullptr.
  TCustomForm* ActiveForm() const;
  int Width() const;
  int Height() const;
  TRect WorkAreaRect() const;
  TRect DesktopRect() const;
  // Read afresh from the window layer on every call.
  int MonitorCount() const;
  TMonitor Monitors(int Index) const;
  TMonitor MonitorFromWindow(HWND Handle) const;

 private:
  friend class TCustomForm;
  std::vector<TCustomForm*> FForms;
  TCursor FCursor = crDefault;
};

using TMessageEvent = std::function<void(MSG& Msg, bool& Handled)>;
using TExceptionEvent = std::function<void(TObject* Sender, Exception& E)>;
using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
// Asked before a hint shows: CanShow = false drops it; the text and the
// description (place, width, colour, window class, timeout) may change.
using TShowHintEvent = std::function<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;

// The class of the window the application shows hints in (by default the plain
// THintWindow); a change takes effect at the next hint.
extern THintWindowClass HintWindowClass;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* AOwner) : TComponent(AOwner) {}
  ~TApplication() override;

  // Marks the calling thread as the main thread and installs the application's
  // message pump for nested waits (ProcessPendingMessages).
  void Initialize();
  // Makes a form owned by the application; the first one becomes MainForm.
  template <class T>
  void CreateForm(T*& Reference) {
    T* form = new T(this);
    Reference = form;
    form->AfterConstruction();
    if (!FMainForm) FMainForm = form;
  }
  TCustomForm* MainForm() const { return FMainForm; }
  // Shows the main form and handles messages until Terminate.
  void Run();
  // Handles every pending message and main-thread call, then returns.
  void ProcessMessages();
  // Handles one message, or waits for one (serving main-thread calls) when none is pending.
  void HandleMessage();
  // Ends Run; stays set.
  void Terminate();
  bool Terminated() const { return FTerminated.load(); }
  // Shows the exception being handled in an error box (or hands it to OnException).
  void HandleException(TObject* Sender);
  void ShowException(Exception& E);
  // Restores the initial state (tests).
  void ResetForTests();
  // Minimises the main form; Restore brings it back and fires OnRestore
  // (only when the application was minimised).
  void Minimize();
  void Restore();
  bool Minimized() const { return FMinimized; }
  TNotifyEvent OnRestore;

  // The hidden top-level window of class "TApplication" that stands for the
  // whole program, made by Initialize (or on first use). Its messages pass
  // the main-window hooks first; when the program gains or loses activation
  // (WM_ACTIVATEAPP) it posts itself CM_ACTIVATE or CM_DEACTIVATE.
  HWND Handle();
  // A hook sees each message of the application window before the window
  // handles it; answering true consumes it (Result is what the sender gets).
  // Key names the hook for UnhookMainWindow; hooks run in the order added.
  using TWindowHook = std::function<bool(TMessage&)>;
  void HookMainWindow(const void* Key, TWindowHook Hook);
  void UnhookMainWindow(const void* Key);

  // The caption of message boxes shown without one.
  String Title() const { return FTitle; }
  void SetTitle(const String& Value);
  bool ShowMainForm = true;
  // The main form stands for the program on the task bar (rather than the
  // application window); a minimised main form then offers no Maximize.
  bool MainFormOnTaskBar = false;
  // Sees every queued message before it is dispatched; Handled stops it.
  TMessageEvent OnMessage;
  TExceptionEvent OnException;
  TIdleEvent OnIdle;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 public:
  // Hints: shown HintPause ms after the pointer came to rest on a control with
  // ShowHint and a Hint, hidden after HintHidePause ms or when the pointer leaves.
  bool ShowHint = true;
  int HintPause = 500;
  int HintHidePause = 2500;
  TColor HintColor = clInfoBk;
  // The window of the last hint shown, of the class its description named, or
  // nullptr before the first (owned by the application).
  THintWindow* HintWindow() const { return FHintWindow; }
  void CancelHint();
  // Shows Control's hint now (tests, and the pause timer), once OnShowHint agreed.
  void ActivateHint(TControl* Control);
  TShowHintEvent OnShowHint;

 private:
  friend class TCustomForm;
  bool ProcessMessage(MSG& Msg);
  // Hands key messages to the focused control first (dialog keys); true when taken.
  bool IsKeyMsg(MSG& Msg);
  void HintMouseMessage(const MSG& Msg);
  static void HintTimerProc(HWND, UINT, UINT_PTR, DWORD);
  void StartHintTimer(int Ms);
  void StopHintTimer();
  TControl* FHintControl = nullptr;
  THintWindow* FHintWindow = nullptr;
  THintWindowClass FHintWindowClass = nullptr;  // what made FHintWindow
  UINT_PTR FHintTimer = 0;
  bool FHintShowing = false;
  WPARAM FSwallowChar = 0;
  String FTitle;
  void Idle();
  // Tells controls that the mouse came in (CM_MOUSEENTER) or went away (CM_MOUSELEAVE).
  void DoMouseIdle();
  TCustomForm* FMainForm = nullptr;
  TControl* FMouseControl = nullptr;
  std::atomic<bool> FTerminated{false};  // Terminate may come from any thread
  bool FRunning = false;
  bool FMinimized = false;
  HWND FHandle = nullptr;
  std::vector<std::pair<const void*, TWindowHook>> FWindowHooks;
  static LRESULT AppWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
};

extern TApplication* Application;
extern TScreen* Screen;

// Copies a window's surface (the whole top-level window, frame included) into Bitmap.
void GetWindowSurfaceBitmap(HWND Wnd, TBitmap& Bitmap);
