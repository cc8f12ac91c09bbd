// Controls: message routing, bounds, visibility, windows and their creation.

#include "platform/vcl/Controls.h"

#include <algorithm>
#include <cstring>

#include "platform/vcl/Forms.h"

namespace {

constexpr const char* kControlProp = "TarnwickControl";

// The control whose window is being created: its first messages arrive
// before CreateWindowExW returns the handle.
TWinControl* CreationControl = nullptr;

std::vector<TControlCanvas*>& CanvasesWithDC() {
  static auto* list = new std::vector<TControlCanvas*>();
  return *list;
}

}  // namespace

TShiftState KeysToShiftState(WPARAM Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s.Include(ssShift);
  if (Keys & MK_CONTROL) s.Include(ssCtrl);
  if (Keys & MK_LBUTTON) s.Include(ssLeft);
  if (Keys & MK_RBUTTON) s.Include(ssRight);
  if (Keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

// ---- TControl ----

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {
  WindowProc = [this](TMessage& m) { WndProc(m); };
}

TControl::~TControl() {
  if (FParent) FParent->RemoveControl(this);
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  WindowProc(m);
  return m.Result;
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == FParent) return;
  if (AParent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  Invalidate();
  AssignBounds(ALeft, ATop, AWidth, AHeight);
  Invalidate();
}

void TControl::AssignBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  FLeft = ALeft;
  FTop = ATop;
  FWidth = AWidth;
  FHeight = AHeight;
}

TRect TControl::ClientRect() { return Rect(0, 0, FWidth, FHeight); }

void TControl::SetClientWidth(int Value) { SetWidth(FWidth - ClientWidth() + Value); }
void TControl::SetClientHeight(int Value) { SetHeight(FHeight - ClientHeight() + Value); }

TPoint TControl::ClientOrigin() {
  if (!FParent) return TPoint(FLeft, FTop);
  TPoint p = FParent->ClientOrigin();
  return TPoint(p.X + FLeft, p.Y + FTop);
}

void TControl::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  Perform(CM_VISIBLECHANGED, Value ? 1 : 0, 0);
}

bool TControl::Showing() const { return FVisible && (!FParent || FParent->Showing()); }

void TControl::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const String& Value) {
  if (Value == FText) return;
  FText = Value;
  Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Perform(CM_COLORCHANGED, 0, 0);
  Invalidate();
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::MouseMessage(TMessage& Message) {
  const int x = GET_X_LPARAM(Message.LParam), y = GET_Y_LPARAM(Message.LParam);
  TShiftState shift = KeysToShiftState(Message.WParam);
  switch (Message.Msg) {
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(this, shift, x, y);
      break;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN: case WM_MBUTTONDBLCLK: {
      const UINT k = (Message.Msg - WM_LBUTTONDOWN) / 3;
      if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) FMouseDownLeft = true;
      if (Message.Msg % 3 == WM_LBUTTONDBLCLK % 3) shift.Include(ssDouble);
      if (OnMouseDown) OnMouseDown(this, TMouseButtonKind(k), shift, x, y);
      break;
    }
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
      const UINT k = (Message.Msg - WM_LBUTTONUP) / 3;
      const bool click = Message.Msg == WM_LBUTTONUP && FMouseDownLeft;
      if (Message.Msg == WM_LBUTTONUP) FMouseDownLeft = false;
      if (OnMouseUp) OnMouseUp(this, TMouseButtonKind(k), shift, x, y);
      if (click && ClientRect().Contains(TPoint(x, y))) Click();
      break;
    }
  }
}

void TControl::WndProc(TMessage& Message) {
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MBUTTONDBLCLK) MouseMessage(Message);
  DefaultHandler(Message);
}

void TControl::DefaultHandler(TMessage&) {}

// ---- TWinControl ----

LRESULT ControlInitWndProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TWinControl* c = static_cast<TWinControl*>(GetPropW(Wnd, kControlProp));
  if (!c) {
    c = CreationControl;
    if (!c) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    CreationControl = nullptr;
    c->FHandle = Wnd;
    SetPropW(Wnd, kControlProp, c);
  }
  // Someone (a creation hook) may have subclassed the window already: then
  // this procedure stays in its chain and passes every message on.
  if (GetWindowLongPtrW(Wnd, GWLP_WNDPROC) == LONG_PTR(reinterpret_cast<uintptr_t>(&ControlInitWndProc)))
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(c->FObjectInstance)));
  return CallWindowProcW(c->FObjectInstance, Wnd, Msg, WParam, LParam);
}

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {
  FObjectInstance = MakeObjectInstance(
      [this](HWND w, UINT m, WPARAM wp, LPARAM lp) { return MainWndProc(w, m, wp, lp); });
}

TWinControl::~TWinControl() {
  DestroyHandle();
  // Children that outlive us (owned elsewhere) lose their parent.
  std::vector<TControl*> kids = FControls;
  for (TControl* c : kids) c->SetParent(nullptr);
  FreeObjectInstance(FObjectInstance);
}

TWinControl* TWinControl::FindControl(HWND Handle) {
  return Handle ? static_cast<TWinControl*>(GetPropW(Handle, kControlProp)) : nullptr;
}

LRESULT TWinControl::MainWndProc(HWND, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  try {
    WindowProc(m);
  } catch (...) {
    Application->HandleException(this);
  }
  return m.Result;
}

HWND TWinControl::Handle() {
  if (!FHandle && !FDestroyingHandle) {
    if (FParent) FParent->HandleNeeded();
    CreateWnd();
  }
  return FHandle;
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params = TCreateParams{};
  Params.Caption = FText;
  Params.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (!FEnabled) Params.Style |= WS_DISABLED;
  Params.X = FLeft;
  Params.Y = FTop;
  Params.Width = FWidth;
  Params.Height = FHeight;
  Params.WndParent = FParent ? FParent->Handle() : nullptr;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.WindowClass.lpfnWndProc = DefWindowProcW;
  Params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
  TCreateParams p;
  CreateParams(p);
  FDefWndProc = p.WindowClass.lpfnWndProc;
  WNDCLASSEXW existing;
  if (!GetClassInfoExW(nullptr, p.WinClassName.c_str(), &existing)) {
    WNDCLASSEXW wc = p.WindowClass;
    wc.lpfnWndProc = ControlInitWndProc;
    wc.lpszClassName = p.WinClassName.c_str();
    if (!RegisterClassExW(&wc)) throw EInvalidOperation("Could not register the window class " + p.WinClassName);
  }
  CreationControl = this;
  HWND h = CreateWindowExW(p.ExStyle, p.WinClassName.c_str(), p.Caption.c_str(), p.Style & ~WS_VISIBLE, p.X, p.Y,
                           p.Width, p.Height, p.WndParent, nullptr, nullptr, p.Param);
  CreationControl = nullptr;
  if (!h) {
    FHandle = nullptr;
    throw EInvalidOperation("Could not create the window of " + ClassName());
  }
  FHandle = h;
  UpdateBounds();
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->HandleNeeded();
  CreateHandleDone();
  UpdateShowing();
}

void TWinControl::DestroyWnd() {
  HWND h = FHandle;
  if (h) DestroyWindow(h);
  FHandle = nullptr;
}

void TWinControl::DestroyHandle() {
  if (!FHandle || FDestroyingHandle) return;
  FDestroyingHandle = true;
  DestroyWnd();
  FDestroyingHandle = false;
  FShowing = false;
}

void TWinControl::RecreateWnd() {
  if (!FHandle) return;
  DestroyHandle();
  HandleNeeded();
}

void TWinControl::InsertControl(TControl* AControl) {
  if (std::find(FControls.begin(), FControls.end(), AControl) != FControls.end()) return;
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    if (w->HandleAllocated() && FHandle) {
      ::SetParent(w->FHandle, FHandle);
    } else if (w->HandleAllocated()) {
      w->DestroyHandle();
    }
    if (FHandle && w->Visible()) w->HandleNeeded();
    w->UpdateShowing();
  } else {
    AControl->Invalidate();
  }
}

void TWinControl::RemoveControl(TControl* AControl) {
  auto it = std::find(FControls.begin(), FControls.end(), AControl);
  if (it == FControls.end()) return;
  AControl->Invalidate();
  FControls.erase(it);
  AControl->FParent = nullptr;
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    // A window cannot live without its parent window; it is made again when needed.
    w->DestroyHandle();
    w->FShowing = false;
  }
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  AssignBounds(ALeft, ATop, AWidth, AHeight);
  if (FHandle) {
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();
  }
}

void TWinControl::UpdateBounds() {
  if (!FHandle) return;
  RECT r;
  GetWindowRect(FHandle, &r);
  if (FParent && FParent->HandleAllocated()) {
    POINT p{r.left, r.top};
    ::ScreenToClient(FParent->FHandle, &p);
    OffsetRect(&r, p.x - r.left, p.y - r.top);
  }
  AssignBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

TRect TWinControl::ClientRect() {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return TRect(r);
  }
  // Without a window yet: what the frame of the styles would leave.
  TCreateParams p;
  CreateParams(p);
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, p.Style, FALSE, p.ExStyle);
  return Rect(0, 0, std::max(0, FWidth - (frame.right - frame.left)), std::max(0, FHeight - (frame.bottom - frame.top)));
}

TPoint TWinControl::ClientOrigin() {
  if (FHandle) {
    POINT p{0, 0};
    ::ClientToScreen(FHandle, &p);
    return TPoint(p);
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetEnabled(bool Value) {
  TControl::SetEnabled(Value);
  if (FHandle) EnableWindow(FHandle, Value ? TRUE : FALSE);
}

bool TWinControl::Focused() const { return FHandle && GetFocus() == FHandle; }

bool TWinControl::CanFocus() const {
  for (const TWinControl* c = this; c; c = c->FParent)
    if (!c->FVisible || !c->FEnabled) return false;
  return true;
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Update() {
  if (FHandle) UpdateWindow(FHandle);
}

void TWinControl::BringToFront() {
  if (FHandle) SetWindowPos(FHandle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

String TWinControl::GetText() {
  if (!FHandle) return FText;
  int n = GetWindowTextLengthW(FHandle);
  String s(size_t(n) + 1, '\0');
  n = GetWindowTextW(FHandle, s.data(), n + 1);
  s.resize(size_t(std::max(0, n)));
  return s;
}

void TWinControl::SetText(const String& Value) {
  if (Value == GetText()) return;
  FText = Value;
  if (FHandle) SetWindowTextW(FHandle, Value.c_str());
  else Perform(CM_TEXTCHANGED, 0, 0);
}

void TWinControl::UpdateShowing() {
  const bool showing = FVisible && (!FParent || FParent->Showing());
  if (showing && !FHandle) {
    if (FParent && !FParent->HandleAllocated()) return;  // made with the parent's window
    HandleNeeded();  // CreateWnd comes back here once the window exists
    return;
  }
  if (showing == FShowing) return;
  FShowing = showing;
  Perform(CM_SHOWINGCHANGED, 0, 0);
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->UpdateShowing();
}

void TWinControl::ShowingChanged() {
  if (!FHandle) return;
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                   (FShowing ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TWinControl::EraseBackground(TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  RECT r;
  GetClientRect(FHandle, &r);
  HBRUSH b = CreateSolidBrush(ColorToRGB(FColor));
  FillRect(dc, &r, b);
  DeleteObject(b);
  Message.Result = 1;
}

TGraphicControl* TWinControl::GraphicControlAt(const TPoint& P) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    auto* g = dynamic_cast<TGraphicControl*>(*it);
    if (g && g->Visible() && g->BoundsRect().Contains(P)) return g;
  }
  return nullptr;
}

void TWinControl::PaintControls(HDC dc) {
  for (TControl* c : FControls) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
    const int saved = SaveDC(dc);
    OffsetViewportOrgEx(dc, g->Left(), g->Top(), nullptr);
    IntersectClipRect(dc, 0, 0, g->Width(), g->Height());
    g->Perform(WM_PAINT, WPARAM(dc), 0);
    RestoreDC(dc, saved);
  }
}

bool TWinControl::GraphicControlMouse(TMessage& Message) {
  if (Message.Msg < WM_MOUSEFIRST || Message.Msg > WM_MBUTTONDBLCLK) return false;
  const TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
  TGraphicControl* g = FMouseGraphic ? FMouseGraphic : GraphicControlAt(p);
  if (!g || (!g->Enabled() && !FMouseGraphic)) return false;
  const bool down = Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_RBUTTONDOWN || Message.Msg == WM_MBUTTONDOWN ||
                    Message.Msg == WM_LBUTTONDBLCLK || Message.Msg == WM_RBUTTONDBLCLK ||
                    Message.Msg == WM_MBUTTONDBLCLK;
  const bool up = Message.Msg == WM_LBUTTONUP || Message.Msg == WM_RBUTTONUP || Message.Msg == WM_MBUTTONUP;
  if (down && !FMouseGraphic) {
    // The pressed control keeps the mouse until the release, as a captured window would.
    FMouseGraphic = g;
    FreeNotification(g);
    SetCapture(FHandle);
  }
  Message.Result = g->Perform(Message.Msg, Message.WParam, MAKELPARAM(p.X - g->Left(), p.Y - g->Top()));
  if (up && FMouseGraphic && !(Message.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON))) {
    RemoveFreeNotification(FMouseGraphic);
    FMouseGraphic = nullptr;
    if (GetCapture() == FHandle) ReleaseCapture();
  }
  return true;
}

void TWinControl::Notification(TComponent* AComponent, TOperation Operation) {
  TControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMouseGraphic) FMouseGraphic = nullptr;
}

void TWinControl::WndProc(TMessage& Message) {
  if (GraphicControlMouse(Message)) return;
  switch (Message.Msg) {
    case WM_PAINT: {
      bool graphics = false;
      for (TControl* c : FControls) graphics |= dynamic_cast<TGraphicControl*>(c) != nullptr;
      if (!graphics) break;
      // A window without painting of its own still shows its graphic children.
      if (Message.WParam) {
        PaintControls(reinterpret_cast<HDC>(Message.WParam));
      } else {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        PaintControls(dc);
        EndPaint(FHandle, &ps);
      }
      return;
    }
    case WM_CAPTURECHANGED:
      if (FMouseGraphic && HWND(Message.LParam) != FHandle) {
        RemoveFreeNotification(FMouseGraphic);
        FMouseGraphic = nullptr;
      }
      break;
    case WM_SIZE:
    case WM_MOVE:
      DefaultHandler(Message);
      UpdateBounds();
      return;
    case WM_ERASEBKGND:
      EraseBackground(Message);
      return;
    case WM_PRINTCLIENT:
      // Printing paints the client into the given DC like a WM_PAINT would.
      Perform(WM_PAINT, Message.WParam, 0);
      return;
    case WM_SETTEXT:
      DefaultHandler(Message);
      Perform(CM_TEXTCHANGED, 0, 0);
      return;
    case WM_NCDESTROY:
      DefaultHandler(Message);
      RemovePropW(FHandle, kControlProp);
      FHandle = nullptr;
      FShowing = false;
      return;
    case CM_VISIBLECHANGED:
      UpdateShowing();
      return;
    case CM_SHOWINGCHANGED:
      ShowingChanged();
      return;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
    case CM_COLORCHANGED:
      return;
  }
  TControl::WndProc(Message);
}

void TWinControl::DefaultHandler(TMessage& Message) {
  if (FHandle) Message.Result = CallWindowProcW(FDefWndProc, FHandle, Message.Msg, Message.WParam, Message.LParam);
}

// ---- Canvases ----

void TControlCanvas::CreateHandle() {
  if (!FControl || !FControl->Handle()) return;
  FOwnDC = GetDC(FControl->Handle());
  SetHandle(FOwnDC);
  CanvasesWithDC().push_back(this);
}

void TControlCanvas::FreeHandle() {
  if (!FOwnDC) return;
  SetHandle(nullptr);
  if (FControl && FControl->HandleAllocated()) ReleaseDC(FControl->Handle(), FOwnDC);
  else ReleaseDC(nullptr, FOwnDC);
  FOwnDC = nullptr;
  auto& list = CanvasesWithDC();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControlCanvas::SetPaintHandle(HDC dc) {
  FreeHandle();
  SetHandle(dc);
}

void FreeDeviceContexts() {
  std::vector<TControlCanvas*> list = CanvasesWithDC();
  for (TControlCanvas* c : list) c->FreeHandle();
}

void PaintWithCanvas(TWinControl* Control, TControlCanvas* Canvas, const std::function<void()>& Paint,
                     HDC Given) {
  PAINTSTRUCT ps;
  HWND h = Control->Handle();
  HDC dc = Given ? Given : BeginPaint(h, &ps);
  const int saved = Given ? SaveDC(Given) : 0;
  auto finish = [&] {
    Canvas->SetPaintHandle(nullptr);
    Canvas->Unlock();
    if (Given) RestoreDC(Given, saved);
    else EndPaint(h, &ps);
  };
  Canvas->Lock();
  try {
    Canvas->SetPaintHandle(dc);
    Paint();
    Canvas->SetPaintHandle(nullptr);
    Control->PaintControls(dc);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

TCustomControl::TCustomControl(TComponent* AOwner)
    : TWinControl(AOwner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() { FCanvas->FreeHandle(); }

void TCustomControl::WndProc(TMessage& Message) {
  if (Message.Msg == WM_PAINT) {
    PaintWithCanvas(this, FCanvas.get(), [this] { Paint(); }, reinterpret_cast<HDC>(Message.WParam));
    return;
  }
  TWinControl::WndProc(Message);
}

// ---- Graphic controls ----

namespace {
// A canvas whose DC is lent by the parent's painting.
class TGraphicCanvas : public TCanvas {};
}  // namespace

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner), FCanvas(std::make_unique<TGraphicCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Invalidate() {
  if (FParent && FParent->HandleAllocated() && FVisible) {
    RECT r = BoundsRect();
    InvalidateRect(FParent->Handle(), &r, TRUE);
  }
}

void TGraphicControl::Update() {
  if (FParent) FParent->Update();
}

void TGraphicControl::WndProc(TMessage& Message) {
  if (Message.Msg == WM_PAINT && Message.WParam) {
    FCanvas->Lock();
    FCanvas->SetHandle(reinterpret_cast<HDC>(Message.WParam));
    try {
      Paint();
    } catch (...) {
      FCanvas->SetHandle(nullptr);
      FCanvas->Unlock();
      throw;
    }
    FCanvas->SetHandle(nullptr);
    FCanvas->Unlock();
    return;
  }
  TControl::WndProc(Message);
}
