// Forms, the screen and the application's message loop.

#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"

#include <algorithm>
#include <cstring>

#include "platform/os/Threads.h"
#include "platform/win/Backend.h"

TApplication* Application = new TApplication(nullptr);
TScreen* Screen = new TScreen(nullptr);
THintWindowClass HintWindowClass = &HintWindowClassOf<THintWindow>;

// ---- TCustomForm ----

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {
  FVisible = false;
  FWidth = 320;
  FHeight = 240;
  Screen->FForms.push_back(this);
}

TCustomForm::TCustomForm(TComponent* AOwner, const String& DefinitionClass) : TCustomForm(AOwner) {
  FDefinitionClass = DefinitionClass;
}

void TCustomForm::LoadDefinition() {
  if (FDefinitionLoaded || FDefinitionClass.empty()) return;
  const char* text = FindWindowDefinition(FDefinitionClass);
  if (!text) throw EReadError(Format("No window definition for class %s", {FDefinitionClass}));
  FDefinitionLoaded = true;
  ::LoadDefinition(this, std::string_view(text), &FHandlers);
}

void TCustomForm::BeforeDestruction() {
  if (FDestroyFired) return;
  FDestroyFired = true;
  if (!OnDestroy) return;
  try {
    OnDestroy(this);
  } catch (...) {
    Application->HandleException(this);
  }
}

TCustomForm::~TCustomForm() {
  BeforeDestruction();  // a form that was not freed through delete
  FCanvas->FreeHandle();
  auto& forms = Screen->FForms;
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (Application->FMainForm == this) Application->FMainForm = nullptr;
  DestroyHandle();
}

void TCustomForm::AfterConstruction() {
  LoadDefinition();
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  if (FParent) return;  // a form placed inside another control is a child window
  Params.WndParent = nullptr;
  // Secondary forms are owned by the main form, so they stay in front of it.
  TCustomForm* main = Application->MainForm();
  if (main && main != this && main->HandleAllocated()) Params.WndParent = main->FHandle;
  Params.Style = WS_CLIPCHILDREN;
  Params.ExStyle = 0;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  switch (FBorderStyle) {
    case bsNone: Params.Style |= WS_POPUP; break;
    case bsSingle:
    case bsToolWindow: Params.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable:
    case bsSizeToolWin: Params.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      Params.Style |= WS_POPUP | WS_CAPTION;
      Params.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
      break;
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) Params.ExStyle |= WS_EX_TOOLWINDOW;
  if (FBorderStyle != bsNone && FBorderIcons.Contains(biSystemMenu)) {
    Params.Style |= WS_SYSMENU;
    if (FBorderStyle == bsSingle || FBorderStyle == bsSizeable) {
      if (FBorderIcons.Contains(biMinimize)) Params.Style |= WS_MINIMIZEBOX;
      if (FBorderIcons.Contains(biMaximize)) Params.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (FFormStyle == fsStayOnTop) Params.ExStyle |= WS_EX_TOPMOST;
  Params.WindowClass.style = CS_DBLCLKS;
  if (FFormStyle == fsMDIForm) Params.Style |= WS_CLIPCHILDREN;
  if (FFormStyle == fsMDIChild) {
    TCustomForm* frame = MDIFrameForm();
    if (!frame || !frame->HandleAllocated() || !frame->FClientHandle) throw EInvalidOperation("No MDI form is open");
    Params.Style = (Params.Style & ~WS_POPUP) | WS_CHILD | WS_CLIPSIBLINGS;
    Params.ExStyle |= WS_EX_MDICHILD;
    Params.WndParent = frame->FClientHandle;
  }
}

TCustomForm* MDIFrameForm() {
  TCustomForm* main = Application->MainForm();
  if (main && main->FormStyle() == fsMDIForm) return main;
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i)->FormStyle() == fsMDIForm) return Screen->Forms(i);
  return nullptr;
}

void TCustomForm::DefaultHandler(TMessage& Message) {
  if (FHandle && FFormStyle == fsMDIForm && FClientHandle) {
    Message.Result = DefFrameProcW(FHandle, FClientHandle, Message.Msg, Message.WParam, Message.LParam);
  } else if (FHandle && FFormStyle == fsMDIChild && (GetWindowLongPtrW(FHandle, GWL_EXSTYLE) & WS_EX_MDICHILD)) {
    Message.Result = DefMDIChildProcW(FHandle, Message.Msg, Message.WParam, Message.LParam);
  } else {
    TWinControl::DefaultHandler(Message);
  }
}

void TCustomForm::DestroyWnd() {
  FClientHandle = nullptr;
  TWinControl::DestroyWnd();
}

std::vector<TCustomForm*> TCustomForm::MDIChildList() const {
  std::vector<TCustomForm*> out;
  if (!FClientHandle) return out;
  for (HWND c = GetWindow(FClientHandle, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (auto* f = dynamic_cast<TCustomForm*>(FindControl(c)); f && f->FFormStyle == fsMDIChild) out.push_back(f);
  return out;
}

TCustomForm* TCustomForm::ActiveMDIChild() const {
  if (!FClientHandle) return nullptr;
  HWND h = reinterpret_cast<HWND>(SendMessageW(FClientHandle, WM_MDIGETACTIVE, 0, 0));
  return dynamic_cast<TCustomForm*>(FindControl(h));
}

int TCustomForm::MDIChildCount() const { return int(MDIChildList().size()); }

TCustomForm* TCustomForm::MDIChildren(int Index) const {
  const std::vector<TCustomForm*> list = MDIChildList();
  return Index >= 0 && size_t(Index) < list.size() ? list[size_t(Index)] : nullptr;
}

void TCustomForm::Cascade() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDICASCADE, 0, 0);
}

void TCustomForm::Tile() {
  if (FClientHandle)
    SendMessageW(FClientHandle, WM_MDITILE, TileMode == tbHorizontal ? MDITILE_HORIZONTAL : MDITILE_VERTICAL, 0);
}

void TCustomForm::ArrangeIcons() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDIICONARRANGE, 0, 0);
}

void TCustomForm::Next() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDINEXT, 0, 0);
}

void TCustomForm::Previous() {
  if (FClientHandle) SendMessageW(FClientHandle, WM_MDINEXT, 0, 1);
}

void TCustomForm::UpdateFrameStyle() {
  if (!FHandle) return;
  TCreateParams p;
  CreateParams(p);
  // A style write stores WS_VISIBLE as given: the window stays as shown as it is.
  const LONG_PTR shown = GetWindowLongPtrW(FHandle, GWL_STYLE) & LONG_PTR(WS_VISIBLE);
  SetWindowLongPtrW(FHandle, GWL_STYLE, LONG_PTR(p.Style) | shown);
  SetWindowLongPtrW(FHandle, GWL_EXSTYLE, LONG_PTR(p.ExStyle));
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateBounds();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  UpdateFrameStyle();
}

void TCustomForm::SetBorderIcons(TBorderIcons Value) {
  if (Value == FBorderIcons) return;
  FBorderIcons = Value;
  UpdateFrameStyle();
}

void TCustomForm::SetFormStyle(TFormStyle Value) {
  if (Value == FFormStyle) return;
  const bool mdi = Value == fsMDIForm || Value == fsMDIChild || FFormStyle == fsMDIForm || FFormStyle == fsMDIChild;
  FFormStyle = Value;
  if (mdi && FHandle) {
    // The window is of another kind now: made again.
    DestroyHandle();
    UpdateShowing();
    return;
  }
  if (FHandle)
    SetWindowPos(FHandle, Value == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TWindowState TCustomForm::WindowState() const {
  if (FHandle) return IsIconic(FHandle) ? wsMinimized : IsZoomed(FHandle) ? wsMaximized : wsNormal;
  return FWindowState;
}

void TCustomForm::SetWindowState(TWindowState Value) {
  FWindowState = Value;
  if (FHandle && FShowing)
    ShowWindow(FHandle, Value == wsMinimized ? SW_MINIMIZE : Value == wsMaximized ? SW_SHOWMAXIMIZED : SW_RESTORE);
}

bool TCustomForm::Active() const { return FHandle && GetActiveWindow() == FHandle; }

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& Action) {
  if (OnClose) OnClose(this, Action);
}

void TCustomForm::Close() {
  if (FModal) {
    // The modal loop asks the close query and runs the close events.
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::Release() {
  if (FHandle) {
    PostMessageW(FHandle, CM_RELEASE, 0, 0);
  } else {
    QueueInMainThread([this] { delete this; });
  }
}

TModalResult TCustomForm::ShowModal() {
  if (FVisible || !FEnabled || FModal) throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCapture()) ReleaseCapture();
  HWND previous = GetActiveWindow();
  std::vector<TCustomForm*> disabled;
  for (TCustomForm* f : Screen->FForms) {
    if (f == this || !f->HandleAllocated() || !IsWindowEnabled(f->FHandle)) continue;
    EnableWindow(f->FHandle, FALSE);
    disabled.push_back(f);
  }
  FModal = true;
  FModalResult = mrNone;
  auto restore = [&] {
    for (TCustomForm* f : disabled)
      if (std::find(Screen->FForms.begin(), Screen->FForms.end(), f) != Screen->FForms.end() && f->FHandle)
        EnableWindow(f->FHandle, TRUE);
    FModal = false;
    Hide();
    if (IsWindow(previous)) SetActiveWindow(previous);
  };
  try {
    Show();
    for (;;) {
      Application->HandleMessage();
      if (Application->Terminated()) FModalResult = mrCancel;
      if (FModalResult == mrNone) continue;
      TCloseAction action = caHide;
      if (CloseQuery()) DoClose(action);
      else action = caNone;
      if (action != caNone || Application->Terminated()) {
        if (action == caFree) Release();
        break;
      }
      FModalResult = mrNone;
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return FModalResult;
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::ApplyPosition() {
  if (FPositionApplied || FParent) return;
  FPositionApplied = true;
  TRect area;
  switch (FPosition) {
    case poScreenCenter: area = Rect(0, 0, Screen->Width(), Screen->Height()); break;
    case poDesktopCenter: area = Screen->DesktopRect(); break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* ref = FPosition == poOwnerFormCenter ? dynamic_cast<TCustomForm*>(Owner()) : nullptr;
      if (!ref) ref = Application->MainForm();
      if (!ref || ref == this) area = Rect(0, 0, Screen->Width(), Screen->Height());
      else area = ref->BoundsRect();
      break;
    }
    default: return;
  }
  SetBounds(area.Left + (area.Width() - FWidth) / 2, area.Top + (area.Height() - FHeight) / 2, FWidth, FHeight);
}

void TCustomForm::ShowingChanged() {
  if (!FHandle) return;
  if (FShowing) {
    ApplyPosition();
    DoShow();
    if (!FHandle || !FShowing) return;
    // A window that never takes activation (popups, tool palettes) shows without it.
    const bool noActivate = (GetWindowLongPtrW(FHandle, GWL_EXSTYLE) & WS_EX_NOACTIVATE) != 0;
    ShowWindow(FHandle, FWindowState == wsMaximized   ? SW_SHOWMAXIMIZED
                        : FWindowState == wsMinimized ? SW_SHOWMINIMIZED
                        : noActivate                  ? SW_SHOWNOACTIVATE
                                                      : SW_SHOWNORMAL);
  } else {
    DoHide();
    if (FHandle) ShowWindow(FHandle, SW_HIDE);
  }
}

void TCustomForm::SetActiveControl(TWinControl* Control) {
  if (FActiveControl) RemoveFreeNotification(FActiveControl);
  FActiveControl = Control;
  if (Control) FreeNotification(Control);
  if (Control && Active() && Control->CanFocus()) Control->SetFocus();
}

void TCustomForm::ControlFocused(TWinControl* Control) {
  if (Control != FActiveControl) {
    if (FActiveControl) RemoveFreeNotification(FActiveControl);
    FActiveControl = Control;
    if (Control) FreeNotification(Control);
  }
  Perform(CM_FOCUSCHANGED, 0, LPARAM(Control));
}

void TCustomForm::SendCancelMode(TControl* Sender) {
  if (Active() && FActiveControl) FActiveControl->Perform(CM_CANCELMODE, 0, LPARAM(Sender));
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FActiveControl) FActiveControl = nullptr;
  if (Operation == opRemove && AComponent == FMenu) SetMenu(nullptr);
}

void TCustomForm::SetMenu(TMainMenu* Value) {
  if (FMenu == Value) return;
  if (FMenu) {
    FMenu->FForm = nullptr;
    RemoveFreeNotification(FMenu);
  }
  FMenu = Value;
  if (Value) {
    if (Value->FForm) Value->FForm->SetMenu(nullptr);  // a menu bar shows on one form
    Value->FForm = this;
    FreeNotification(Value);
  }
  if (HandleAllocated()) {
    ::SetMenu(FHandle, Value && !(Value->ComponentState() & csDestroying) ? Value->Handle() : nullptr);
    if (!(ComponentState() & csDestroying)) Perform(CM_MENUCHANGED, 0, 0);
  }
}

void TCustomForm::CreateHandleDone() {
  TWinControl::CreateHandleDone();
  if (FMenu) ::SetMenu(FHandle, FMenu->Handle());
  if (FFormStyle == fsMDIForm && !FClientHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    CLIENTCREATESTRUCT ccs;
    ccs.idFirstChild = 0xFF00;
    FClientHandle = CreateWindowExW(WS_EX_CLIENTEDGE, "MDICLIENT", "",
                                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL,
                                    0, 0, r.right, r.bottom, FHandle, nullptr, nullptr, &ccs);
  }
}

void TCustomForm::FocusFirstControl() {
  TWinControl* c = FActiveControl;
  if (!c || !c->CanFocus()) c = FindNextControl(nullptr, true, true, false);
  if (c) c->SetFocus();
}

void TCustomForm::DialogKey(TMessage& Message) {
  const WORD key = WORD(Message.WParam);
  if (GetKeyState(VK_MENU) >= 0) {
    switch (key) {
      case VK_TAB:
        if (GetKeyState(VK_CONTROL) < 0) break;
        SelectNext(FActiveControl, GetKeyState(VK_SHIFT) >= 0, true);
        Message.Result = 1;
        return;
      case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
        // Arrows move among the siblings (the buttons of a radio group).
        if (FActiveControl && FActiveControl->Parent()) {
          FActiveControl->Parent()->SelectNext(FActiveControl, key == VK_RIGHT || key == VK_DOWN, false);
          Message.Result = 1;
          return;
        }
        break;
    }
  }
  TWinControl::WndProc(Message);
}

void TCustomForm::Paint() {
  if (OnPaint) OnPaint(this);
}

void TCustomForm::WndProc(TMessage& Message) {
  if (FMenu && FMenu->WindowMessage(Message)) return;
  if (PaintBuffered(Message)) return;
  switch (Message.Msg) {
    case WM_SETTINGCHANGE:
      // The system's fonts changed: the form and every control hear of it.
      if (Message.WParam == SPI_SETNONCLIENTMETRICS || Message.WParam == SPI_SETICONTITLELOGFONT)
        Perform(CM_SYSFONTCHANGED, 0, 0);
      break;
    case WM_CLOSE:
      Close();
      return;
    case WM_PAINT:
      PaintWithCanvas(this, FCanvas.get(), [this] { Paint(); }, reinterpret_cast<HDC>(Message.WParam));
      return;
    case CM_DIALOGKEY:
      DialogKey(Message);
      return;
    case WM_GETMINMAXINFO: {
      TWinControl::WndProc(Message);
      auto* mm = reinterpret_cast<MINMAXINFO*>(Message.LParam);
      if (FConstraints.MinWidth() > 0) mm->ptMinTrackSize.x = FConstraints.MinWidth();
      if (FConstraints.MinHeight() > 0) mm->ptMinTrackSize.y = FConstraints.MinHeight();
      if (FConstraints.MaxWidth() > 0) mm->ptMaxTrackSize.x = FConstraints.MaxWidth();
      if (FConstraints.MaxHeight() > 0) mm->ptMaxTrackSize.y = FConstraints.MaxHeight();
      return;
    }
    case WM_ACTIVATE:
      TWinControl::WndProc(Message);
      if (LOWORD(Message.WParam) != WA_INACTIVE) {
        // The focus goes back to the control that had it, unless it is already
        // on its way to one of the form's controls (a click).
        if (!HIWORD(Message.WParam) && FHandle && !IsChild(FHandle, GetFocus())) FocusFirstControl();
        if (OnActivate) OnActivate(this);
      } else if (OnDeactivate) {
        OnDeactivate(this);
      }
      return;
    case WM_SIZE:
      TWinControl::WndProc(Message);
      FCanvas->FreeHandle();
      if (OnResize) OnResize(this);
      return;
    case CM_RELEASE:
      delete this;
      return;
  }
  TWinControl::WndProc(Message);
}

// ---- TScreen ----

TCustomForm* TScreen::ActiveForm() const {
  HWND active = GetActiveWindow();
  for (TCustomForm* f : FForms)
    if (f->HandleAllocated() && f->Handle() == active) return f;
  return nullptr;
}

void TScreen::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  // At once, not only at the pointer's next move; crDefault shows the arrow
  // until a window chooses again.
  ::SetCursor(Value == crDefault ? LoadCursorW(nullptr, IDC_ARROW) : CursorHandle());
}

HCURSOR TScreen::CursorHandle() const {
  switch (FCursor) {
    case crArrow: return LoadCursorW(nullptr, IDC_ARROW);
    case crHourGlass: return LoadCursorW(nullptr, IDC_WAIT);
    case crDefault: break;
  }
  return nullptr;
}

int TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TRect TScreen::WorkAreaRect() const {
  RECT r;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return TRect(r);
}

TRect TScreen::DesktopRect() const {
  return Bounds(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

int TScreen::MonitorCount() const { return GetSystemMetrics(SM_CMONITORS); }

namespace {
TMonitor MonitorOf(HMONITOR h) {
  TMonitor m;
  MONITORINFO mi;
  if (!GetMonitorInfoW(h, &mi)) return m;
  m.Handle = h;
  m.MonitorNum = int(reinterpret_cast<uintptr_t>(h)) - 1;
  m.Primary = mi.dwFlags & MONITORINFOF_PRIMARY;
  m.BoundsRect = TRect(mi.rcMonitor);
  m.WorkareaRect = TRect(mi.rcWork);
  return m;
}
}  // namespace

TMonitor TScreen::Monitors(int Index) const {
  if (Index < 0 || Index >= MonitorCount()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return MonitorOf(reinterpret_cast<HMONITOR>(uintptr_t(Index + 1)));
}

TMonitor TScreen::MonitorFromWindow(HWND Handle) const {
  return MonitorOf(::MonitorFromWindow(Handle, MONITOR_DEFAULTTONEAREST));
}

// ---- TApplication ----

TApplication::~TApplication() = default;

void TApplication::Initialize() {
  InitMainThread();
  InstallWindowMessagePump();
  Handle();
  // Nested waits (a thread's WaitFor, the engine's stop) then handle messages the
  // way the loop does: OnMessage sees them, and WM_QUIT ends the application.
  SetMessagePump([this] {
    MSG m;
    try {
      while (ProcessMessage(m)) {
      }
    } catch (...) {
      HandleException(this);
    }
  });
}

namespace {
constexpr char kAppWindowClass[] = "TApplication";
}

HWND TApplication::Handle() {
  if (FHandle && IsWindow(FHandle)) return FHandle;
  WNDCLASSEXW existing;
  if (!GetClassInfoExW(nullptr, kAppWindowClass, &existing)) {
    WNDCLASSEXW wc;
    wc.lpfnWndProc = &TApplication::AppWndProc;
    wc.lpszClassName = kAppWindowClass;
    RegisterClassExW(&wc);
  }
  FHandle = CreateWindowExW(WS_EX_TOOLWINDOW, kAppWindowClass, FTitle.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            nullptr, nullptr);
  return FHandle;
}

void TApplication::HookMainWindow(const void* Key, TWindowHook Hook) {
  FWindowHooks.emplace_back(Key, std::move(Hook));
}

void TApplication::UnhookMainWindow(const void* Key) {
  std::erase_if(FWindowHooks, [Key](const auto& h) { return h.first == Key; });
}

LRESULT TApplication::AppWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TApplication* app = Application;
  TMessage m{Msg, WParam, LParam, 0};
  // A hook may unhook itself or others while it runs: the list is re-read
  // at every step and the running hook is a copy.
  for (size_t i = 0; i < app->FWindowHooks.size(); ++i) {
    TWindowHook hook = app->FWindowHooks[i].second;
    if (hook && hook(m)) return m.Result;
  }
  if (Msg == WM_ACTIVATEAPP) PostMessageW(Wnd, WParam ? CM_ACTIVATE : CM_DEACTIVATE, 0, 0);
  return DefWindowProcW(Wnd, Msg, WParam, LParam);
}

void TApplication::Minimize() {
  if (FMinimized) return;
  FMinimized = true;
  if (FMainForm) FMainForm->SetWindowState(wsMinimized);
}

void TApplication::Restore() {
  if (!FMinimized) return;
  FMinimized = false;
  if (FMainForm) FMainForm->SetWindowState(wsNormal);
  if (OnRestore) OnRestore(this);
}

void TApplication::ResetForTests() {
  FMainForm = nullptr;
  if (FMouseControl) RemoveFreeNotification(FMouseControl);
  FMouseControl = nullptr;
  StopHintTimer();
  if (FHintControl) RemoveFreeNotification(FHintControl);
  FHintControl = nullptr;
  delete FHintWindow;
  FHintWindow = nullptr;
  FHintWindowClass = nullptr;
  HintWindowClass = &HintWindowClassOf<THintWindow>;
  OnShowHint = nullptr;
  FHintShowing = false;
  FSwallowChar = 0;
  ShowHint = true;
  HintPause = 500;
  HintHidePause = 2500;
  FTerminated = false;
  FRunning = false;
  SetTitle(String());
  FMinimized = false;
  OnRestore = nullptr;
  ShowMainForm = true;
  MainFormOnTaskBar = false;
  OnMessage = nullptr;
  OnException = nullptr;
  OnIdle = nullptr;
  FWindowHooks.clear();
}

bool TApplication::ProcessMessage(MSG& Msg) {
  if (!PeekMessageW(&Msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (Msg.message == WM_QUIT) {
    FTerminated = true;
    return true;
  }
  bool handled = false;
  if (OnMessage) OnMessage(Msg, handled);
  if (!handled) {
    HintMouseMessage(Msg);
    if (TCustomForm* frame = MDIFrameForm(); frame && frame->ClientHandle() && TranslateMDISysAccel(frame->ClientHandle(), &Msg))
      return true;
    if (IsKeyMsg(Msg)) return true;
    TranslateMessage(&Msg);
    DispatchMessageW(&Msg);
  }
  return true;
}

bool TApplication::IsKeyMsg(MSG& Msg) {
  if (Msg.message < WM_KEYDOWN || Msg.message > WM_SYSCHAR) return false;
  if (Msg.message == WM_CHAR && FSwallowChar) {
    // The character of a key the dialog step already used (Tab, Enter, Escape).
    const bool eat = Msg.wParam == FSwallowChar;
    FSwallowChar = 0;
    if (eat) return true;
  }
  TWinControl* c = FindControlOrAncestor(Msg.hwnd);
  if (!c) return false;
  if (Msg.message == WM_KEYDOWN) FSwallowChar = 0;
  const LRESULT r = c->Perform(CN_BASE + Msg.message, Msg.wParam, Msg.lParam);
  if (r && Msg.message == WM_KEYDOWN) {
    switch (Msg.wParam) {
      case VK_TAB: FSwallowChar = '\t'; break;
      case VK_RETURN: FSwallowChar = '\r'; break;
      case VK_ESCAPE: FSwallowChar = 0x1B; break;
    }
  }
  return r != 0;
}

// ---- Hints ----

void TApplication::HintTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  Application->StopHintTimer();
  if (!Application->FHintControl) return;
  if (Application->FHintShowing) Application->CancelHint();
  else Application->ActivateHint(Application->FHintControl);
}

void TApplication::StartHintTimer(int Ms) {
  StopHintTimer();
  FHintTimer = SetTimer(nullptr, 0, UINT(std::max(1, Ms)), &HintTimerProc);
}

void TApplication::StopHintTimer() {
  if (FHintTimer) KillTimer(nullptr, FHintTimer);
  FHintTimer = 0;
}

void TApplication::CancelHint() {
  StopHintTimer();
  FHintShowing = false;
  if (FHintWindow) FHintWindow->ReleaseHandle();
}

void TApplication::ActivateHint(TControl* Control) {
  if (!Control || Control->Hint.empty()) return;
  POINT p;
  GetCursorPos(&p);
  THintInfo info;
  info.HintControl = Control;
  info.HintWindowClass = HintWindowClass;
  // Below the pointer, clear of its shape.
  info.HintPos = TPoint(p.x, p.y + GetSystemMetrics(SM_CYCURSOR) - 12);
  info.HintMaxWidth = Screen->Width();
  info.HintColor = HintColor;
  info.CursorRect = Control->ClientRect();
  info.CursorPos = Control->ScreenToClient(TPoint(p));
  info.HideTimeout = HintHidePause;
  info.HintStr = Control->Hint;
  bool canShow = true;
  if (OnShowHint) OnShowHint(info.HintStr, canShow, info);
  if (!canShow || info.HintStr.empty()) return;
  THintWindowClass make = info.HintWindowClass ? info.HintWindowClass : &HintWindowClassOf<THintWindow>;
  if (FHintWindow && FHintWindowClass != make) {
    delete FHintWindow;
    FHintWindow = nullptr;
  }
  if (!FHintWindow) {
    FHintWindow = make(nullptr);
    FHintWindowClass = make;
  }
  FHintWindow->SetColor(info.HintColor);
  TRect r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr, info.HintData);
  r = Bounds(info.HintPos.X, info.HintPos.Y, r.Width(), r.Height());
  FHintWindow->ActivateHintData(r, info.HintStr, info.HintData);
  FHintShowing = true;
  StartHintTimer(info.HideTimeout);
}

void TApplication::HintMouseMessage(const MSG& Msg) {
  if (Msg.message == WM_MOUSEMOVE) {
    TWinControl* w = TWinControl::FindControl(Msg.hwnd);
    if (w == FHintWindow) return;
    TControl* target = w;
    if (w)
      if (TGraphicControl* g = w->GraphicControlAt(TPoint(GET_X_LPARAM(Msg.lParam), GET_Y_LPARAM(Msg.lParam))))
        target = g;
    if (target == FHintControl) return;
    CancelHint();
    if (FHintControl) RemoveFreeNotification(FHintControl);
    FHintControl = target;
    if (target) FreeNotification(target);
    if (target && ShowHint && target->ShowHint() && !target->Hint.empty()) StartHintTimer(HintPause);
  } else if ((Msg.message >= WM_LBUTTONDOWN && Msg.message <= WM_MBUTTONDBLCLK) || Msg.message == WM_KEYDOWN ||
             Msg.message == WM_SYSKEYDOWN) {
    // A click or a key ends the hint until the pointer moves to another control.
    if (FHintShowing || FHintTimer) CancelHint();
  }
}

void TApplication::ProcessMessages() {
  CheckSynchronize(0);
  MSG m;
  while (ProcessMessage(m)) {
  }
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMouseControl) FMouseControl = nullptr;
  if (Operation == opRemove && AComponent == FHintControl) {
    FHintControl = nullptr;
    CancelHint();
  }
  if (Operation == opRemove && AComponent == FHintWindow) FHintWindow = nullptr;
}

void TApplication::DoMouseIdle() {
  POINT p;
  GetCursorPos(&p);
  TWinControl* w = TWinControl::FindControl(WindowFromPoint(p));
  if (w && w == FHintWindow) return;
  TControl* now = w;
  // Graphic controls (flat buttons) are told too.
  if (w)
    if (TGraphicControl* g = w->GraphicControlAt(w->ScreenToClient(TPoint(p)))) now = g;
  if (now == FMouseControl) return;
  if (FHintControl && now != FHintControl) {
    CancelHint();
    RemoveFreeNotification(FHintControl);
    FHintControl = nullptr;
  }
  TControl* old = FMouseControl;
  if (old) RemoveFreeNotification(old);
  FMouseControl = now;
  if (now) FreeNotification(now);
  if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
  if (now && FMouseControl == now) now->Perform(CM_MOUSEENTER, 0, 0);
}

void TApplication::Idle() {
  FreeDeviceContexts();
  DoMouseIdle();
  bool done = true;
  if (OnIdle) OnIdle(this, done);
  // A call served here may have changed what the loop waits for: go round again instead of sleeping.
  const bool served = CheckSynchronize(0);
  if (done && !served && !FTerminated) WaitMessage();
}

void TApplication::HandleMessage() {
  MSG m;
  try {
    if (!ProcessMessage(m)) Idle();
  } catch (...) {
    HandleException(this);
  }
}

void TApplication::Run() {
  if (!FMainForm) return;
  FRunning = true;
  try {
    if (ShowMainForm) FMainForm->Show();
  } catch (...) {
    HandleException(this);
  }
  while (!FTerminated) HandleMessage();
  FRunning = false;
}

void TApplication::SetTitle(const String& Value) {
  FTitle = Value;
  SetApplicationTitle(Value.c_str());
}

void TApplication::Terminate() {
  FTerminated = true;
  PostQuitMessage(0);
}

void TApplication::ShowException(Exception& E) {
  String msg = E.Message;
  // A full stop is added unless the text ends in punctuation.
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  HWND owner = FMainForm && FMainForm->HandleAllocated() ? FMainForm->Handle() : nullptr;
  MessageBoxW(owner, msg.c_str(), nullptr, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException(TObject* Sender) {
  // Never let anything escape: this runs inside window procedures and the loop.
  try {
    try {
      throw;
    } catch (EAbort&) {
    } catch (Exception& e) {
      if (OnException) OnException(Sender, e);
      else ShowException(e);
    } catch (std::exception& e) {
      Exception wrapped(e.what());
      if (OnException) OnException(Sender, wrapped);
      else ShowException(wrapped);
    } catch (...) {
      Exception wrapped("Unknown exception");
      if (OnException) OnException(Sender, wrapped);
      else ShowException(wrapped);
    }
  } catch (...) {
  }
}

void GetWindowSurfaceBitmap(HWND Wnd, TBitmap& Bitmap) {
  HBITMAP surface = GetWindowSurface(Wnd);
  DIBSECTION ds;
  if (!surface || GetObject(surface, sizeof(ds), &ds) != int(sizeof(ds))) {
    Bitmap.SetSize(0, 0);
    return;
  }
  const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
  Bitmap.SetPixelFormat(pf32bit);
  Bitmap.SetSize(w, h);
  const auto* bits = static_cast<const uint8_t*>(ds.dsBm.bmBits);
  const int stride = ds.dsBm.bmWidthBytes;
  for (int y = 0; y < h; ++y) {
    // The surface's rows are bottom-up, like every DIB here.
    const uint8_t* src = ds.dsBmih.biHeight > 0 ? bits + size_t(h - 1 - y) * size_t(stride) : bits + size_t(y) * size_t(stride);
    memcpy(Bitmap.ScanLine(y), src, size_t(w) * 4);
  }
}
