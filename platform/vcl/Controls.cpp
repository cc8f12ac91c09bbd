// Controls: message routing, bounds, visibility, windows and their creation.

#include "platform/vcl/Controls.h"
#include "platform/vcl/Menus.h"

#include <algorithm>
#include <cctype>
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

TShiftState KeyboardShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

bool IsAccel(char32_t Key, const String& Caption) {
  for (size_t i = 0; i + 1 < Caption.size(); ++i) {
    if (Caption[i] != '&') continue;
    const unsigned char c = static_cast<unsigned char>(Caption[++i]);
    if (c == '&') continue;  // "&&" shows one ampersand
    return Key < 128 && c < 128 && std::tolower(c) == std::tolower(int(Key));
  }
  return false;
}

// ---- TSizeConstraints ----

void TSizeConstraints::Set(int& Field, int Value) {
  if (Value < 0) Value = 0;
  if (Field == Value) return;
  Field = Value;
  if (OnChange) OnChange(this);
}

void TSizeConstraints::Assign(TPersistent* Source) {
  auto* o = dynamic_cast<TSizeConstraints*>(Source);
  if (!o) return TPersistent::Assign(Source);
  FMaxHeight = o->FMaxHeight;
  FMaxWidth = o->FMaxWidth;
  FMinHeight = o->FMinHeight;
  FMinWidth = o->FMinWidth;
  if (OnChange) OnChange(this);
}

int TSizeConstraints::ClampWidth(int W) const {
  if (FMaxWidth > 0 && W > FMaxWidth) W = FMaxWidth;
  if (FMinWidth > 0 && W < FMinWidth) W = FMinWidth;
  return W;
}

int TSizeConstraints::ClampHeight(int H) const {
  if (FMaxHeight > 0 && H > FMaxHeight) H = FMaxHeight;
  if (FMinHeight > 0 && H < FMinHeight) H = FMinHeight;
  return H;
}

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
  ControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FFont.OnChange = [this](TObject*) {
    if (!FFollowingParent) FParentFont = false;
    FontChanged();
  };
  FConstraints.OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
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
  if (AParent) {
    AParent->InsertControl(this);
    ParentFontChanged();
    ParentColorChanged();
    if (FAlign != alNone) RequestAlign();
  }
}

void TControl::ConstrainSize(int& W, int& H) const {
  W = FConstraints.ClampWidth(W);
  H = FConstraints.ClampHeight(H);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  ConstrainSize(AWidth, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  Invalidate();
  AssignBounds(ALeft, ATop, AWidth, AHeight);
  Invalidate();
  if (FAlign != alNone) RequestAlign();
}

void TControl::RequestAlign() {
  if (FParent) FParent->Realign();
}

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  const TAlign old = FAlign;
  FAlign = Value;
  // Docked controls stretch with their edge.
  switch (Value) {
    case alTop: FAnchors = {akLeft, akTop, akRight}; break;
    case alBottom: FAnchors = {akLeft, akRight, akBottom}; break;
    case alLeft: FAnchors = {akLeft, akTop, akBottom}; break;
    case alRight: FAnchors = {akRight, akTop, akBottom}; break;
    case alClient: FAnchors = {akLeft, akTop, akRight, akBottom}; break;
    default: if (old != alNone) FAnchors = {akLeft, akTop}; break;
  }
  RequestAlign();
}

void TControl::SetParentFont(bool Value) {
  if (Value == FParentFont) return;
  FParentFont = Value;
  if (Value) ParentFontChanged();
}

void TControl::SetParentColor(bool Value) {
  if (Value == FParentColor) return;
  FParentColor = Value;
  if (Value) ParentColorChanged();
}

void TControl::ParentFontChanged() {
  if (!FParentFont || !FParent) return;
  FFollowingParent = true;
  FFont.Assign(FParent->Font());
  FFollowingParent = false;
}

void TControl::ParentColorChanged() {
  if (!FParentColor || !FParent) return;
  FFollowingParent = true;
  SetColor(FParent->Color());
  FFollowingParent = false;
}

bool TControl::ShowHint() const {
  if (FParentShowHint && FParent) return FParent->ShowHint();
  return FShowHint;
}

void TControl::SetShowHint(bool Value) {
  FShowHint = Value;
  FParentShowHint = false;
}

TCustomForm* TControl::GetParentForm() {
  TControl* c = this;
  while (c->FParent) c = c->FParent;
  return dynamic_cast<TCustomForm*>(c);
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
  if (FAlign != alNone) RequestAlign();
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
  if (!FFollowingParent) FParentColor = false;
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
      if (Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) {
        FMouseDownLeft = true;
        ControlState.Include(csLButtonDown);
      }
      if (Message.Msg % 3 == WM_LBUTTONDBLCLK % 3) shift.Include(ssDouble);
      // A press anywhere ends a mode the form's active control is in (an open drop-down).
      if (TCustomForm* form = GetParentForm()) form->SendCancelMode(this);
      if (OnMouseDown) OnMouseDown(this, TMouseButtonKind(k), shift, x, y);
      if (Message.Msg == WM_LBUTTONDBLCLK && OnDblClick) OnDblClick(this);
      break;
    }
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
      const UINT k = (Message.Msg - WM_LBUTTONUP) / 3;
      const bool click = Message.Msg == WM_LBUTTONUP && FMouseDownLeft;
      if (Message.Msg == WM_LBUTTONUP) {
        FMouseDownLeft = false;
        ControlState.Exclude(csLButtonDown);
      }
      if (OnMouseUp) OnMouseUp(this, TMouseButtonKind(k), shift, x, y);
      // Controls whose window reports its own clicks (buttons) leave csClickEvents out.
      if (click && ControlStyle.Contains(csClickEvents) && ClientRect().Contains(TPoint(x, y))) Click();
      break;
    }
  }
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
  if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
  FPopupMenu = Value;
  if (Value) FreeNotification(Value);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::WndProc(TMessage& Message) {
  if (Message.Msg == WM_CONTEXTMENU && ShowPopupMenuOf(this, FPopupMenu, Message.LParam)) {
    Message.Result = 1;
    return;
  }
  if (Message.Msg >= WM_MOUSEFIRST && Message.Msg <= WM_MBUTTONDBLCLK) MouseMessage(Message);
  if (Message.Msg == CM_MOUSEENTER && OnMouseEnter) OnMouseEnter(this);
  if (Message.Msg == CM_MOUSELEAVE && OnMouseLeave) OnMouseLeave(this);
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
  Destroying();
  ++FAlignLevel;  // children leaving lay nothing out
  DestroyHandle();
  if (FColorBrush) DeleteObject(FColorBrush);
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
  // Handle() makes the parent's window before this one's; measuring makes none.
  Params.WndParent = FParent && FParent->HandleAllocated() ? FParent->FHandle : nullptr;
  Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  Params.WindowClass.lpfnWndProc = DefWindowProcW;
  Params.WinClassName = ClassName();
}

void TWinControl::CreateSubClass(TCreateParams& Params, const char* ClassName) {
  WNDCLASSEXW wc;
  if (!GetClassInfoExW(nullptr, ClassName, &wc)) throw EInvalidOperation(Format("Window class %s not found", {String(ClassName)}));
  // The framework's own class style bits are dropped; the class's are kept.
  Params.WindowClass.style = wc.style & ~UINT(CS_GLOBALCLASS);
  Params.WindowClass.lpfnWndProc = wc.lpfnWndProc;
  Params.WindowClass.hCursor = wc.hCursor;
  Params.WindowClass.hbrBackground = wc.hbrBackground;
  Params.WindowClass.cbWndExtra = wc.cbWndExtra;
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
  ApplyFont();
  for (TControl* c : FControls)
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->HandleNeeded();
  CreateHandleDone();
  UpdateShowing();
}

void TWinControl::DestroyWnd() {
  // The text lives on in the control until the window is made again.
  if (FHandle) FText = GetText();
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
  if (FHandle) Perform(CM_RECREATEWND, 0, 0);
}

void TWinControl::SetDoubleBuffered(bool Value) {
  if (FDoubleBuffered == Value) return;
  FDoubleBuffered = Value;
  Invalidate();
}

void TWinControl::NotifyControlList(UINT Msg, TControl* AControl, bool Inserting) {
  // A parent on its way out tells nobody: its children are only being let go.
  if (ComponentState() & csDestroying) return;
  Perform(Msg, WPARAM(AControl), Inserting ? 1 : 0);
}

void TWinControl::Broadcast(TMessage& Message) {
  for (TControl* c : std::vector<TControl*>(FControls)) c->WindowProc(Message);
}

void TWinControl::InsertControl(TControl* AControl) {
  if (std::find(FControls.begin(), FControls.end(), AControl) != FControls.end()) return;
  NotifyControlList(CM_CONTROLLISTCHANGING, AControl, true);
  FControls.push_back(AControl);
  AControl->FParent = this;
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    FTabList.push_back(w);
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
  NotifyControlList(CM_CONTROLLISTCHANGE, AControl, true);
}

void TWinControl::RemoveControl(TControl* AControl) {
  if (std::find(FControls.begin(), FControls.end(), AControl) == FControls.end()) return;
  NotifyControlList(CM_CONTROLLISTCHANGING, AControl, false);
  NotifyControlList(CM_CONTROLLISTCHANGE, AControl, false);
  // A handler may have taken the control out already.
  auto it = std::find(FControls.begin(), FControls.end(), AControl);
  if (it == FControls.end()) return;
  AControl->Invalidate();
  FControls.erase(it);
  FTabList.erase(std::remove(FTabList.begin(), FTabList.end(), AControl), FTabList.end());
  AControl->FParent = nullptr;
  if (AControl->FAlign != alNone) Realign();
  if (auto* w = dynamic_cast<TWinControl*>(AControl)) {
    // A window cannot live without its parent window; it is made again when needed.
    w->DestroyHandle();
    w->FShowing = false;
  }
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  ConstrainSize(AWidth, AHeight);
  if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
  AssignBounds(ALeft, ATop, AWidth, AHeight);
  if (FHandle) {
    SetWindowPos(FHandle, nullptr, ALeft, ATop, AWidth, AHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateBounds();
  }
  Realign();
  if (FAlign != alNone) RequestAlign();
}

// ---- Layout ----

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0 && --FAlignLevel == 0 && FAlignPending) Realign();
}

void TWinControl::Realign() {
  if (FAlignLevel > 0 || FAligning) {
    FAlignPending = FAlignPending || FAlignLevel > 0;
    return;
  }
  FAlignPending = false;
  FAligning = true;
  ControlState.Include(csAligning);
  try {
    TRect r = ClientRect();
    AdjustClientRect(r);
    AlignControls(r);
  } catch (...) {
    FAligning = false;
    ControlState.Exclude(csAligning);
    throw;
  }
  FAligning = false;
  ControlState.Exclude(csAligning);
}

void TWinControl::AlignControls(TRect Rect) {
  // Anchored controls move (or stretch) by what the client area gained since the last layout.
  const TRect client = ClientRect();
  const int dx = FLaidOutWidth < 0 ? 0 : client.Width() - FLaidOutWidth;
  const int dy = FLaidOutHeight < 0 ? 0 : client.Height() - FLaidOutHeight;
  FLaidOutWidth = client.Width();
  FLaidOutHeight = client.Height();
  std::vector<TControl*> kids = FControls;
  if (dx || dy) {
    for (TControl* c : kids) {
      if (c->FAlign != alNone) continue;
      const TAnchors a = c->FAnchors;
      int l = c->FLeft, t = c->FTop, w = c->FWidth, h = c->FHeight;
      if (a.Contains(akRight)) {
        if (a.Contains(akLeft)) w += dx;
        else l += dx;
      } else if (!a.Contains(akLeft)) {
        l += dx / 2;
      }
      if (a.Contains(akBottom)) {
        if (a.Contains(akTop)) h += dy;
        else t += dy;
      } else if (!a.Contains(akTop)) {
        t += dy / 2;
      }
      c->SetBounds(l, t, std::max(0, w), std::max(0, h));
    }
  }
  // Docked controls take their edge of what is left, nearest the edge first; alClient takes the rest.
  for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
    std::vector<TControl*> list;
    for (TControl* c : kids)
      if (c->FAlign == align && c->FVisible) list.push_back(c);
    std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
      switch (align) {
        case alTop: return a->FTop < b->FTop;
        case alBottom: return a->FTop + a->FHeight > b->FTop + b->FHeight;
        case alLeft: return a->FLeft < b->FLeft;
        case alRight: return a->FLeft + a->FWidth > b->FLeft + b->FWidth;
        default: return false;
      }
    });
    for (TControl* c : list) {
      const int w = std::max(0, Rect.Width()), h = std::max(0, Rect.Height());
      switch (align) {
        case alTop:
          c->SetBounds(Rect.Left, Rect.Top, w, c->FHeight);
          Rect.Top += c->FHeight;
          break;
        case alBottom:
          c->SetBounds(Rect.Left, Rect.Bottom - c->FHeight, w, c->FHeight);
          Rect.Bottom -= c->FHeight;
          break;
        case alLeft:
          c->SetBounds(Rect.Left, Rect.Top, c->FWidth, h);
          Rect.Left += c->FWidth;
          break;
        case alRight:
          c->SetBounds(Rect.Right - c->FWidth, Rect.Top, c->FWidth, h);
          Rect.Right -= c->FWidth;
          break;
        default: c->SetBounds(Rect.Left, Rect.Top, w, h); break;
      }
    }
  }
}

// ---- Tab order and focus ----

int TWinControl::TabOrder() const {
  if (!FParent) return -1;
  auto& list = FParent->FTabList;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : int(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (!FParent) return;
  auto& list = FParent->FTabList;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  Value = std::clamp(Value, 0, int(list.size()));
  list.insert(list.begin() + Value, this);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) {
  for (TWinControl* c : FTabList) {
    List.push_back(c);
    c->GetTabOrderList(List);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* CurControl, bool GoForward, bool CheckTabStop,
                                          bool CheckParent) {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int n = int(list.size());
  auto it = std::find(list.begin(), list.end(), CurControl);
  int start = it == list.end() ? (GoForward ? n - 1 : 0) : int(it - list.begin());
  int i = start;
  for (int step = 0; step < n; ++step) {
    i = GoForward ? (i + 1) % n : (i + n - 1) % n;
    TWinControl* c = list[size_t(i)];
    if (c == CurControl) continue;
    if (CheckTabStop && !c->FTabStop) continue;
    if (CheckParent && c->FParent != this) continue;
    if (c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* CurControl, bool GoForward, bool CheckTabStop) {
  if (TWinControl* c = FindNextControl(CurControl, GoForward, CheckTabStop, !CheckTabStop)) c->SetFocus();
}

// ---- Keys ----

TWinControl* FindControlOrAncestor(HWND Handle) {
  for (HWND h = Handle; h; h = GetParent(h))
    if (TWinControl* c = TWinControl::FindControl(h)) return c;
  return nullptr;
}

bool TWinControl::DoKeyDown(TMessage& Message) {
  WORD key = WORD(Message.WParam);
  const TShiftState shift = KeyboardShiftState();
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview && static_cast<TWinControl*>(form)->DoKeyDown(Message)) return true;
  key = WORD(Message.WParam);
  if (OnKeyDown) OnKeyDown(this, key, shift);
  Message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyUp(TMessage& Message) {
  WORD key = WORD(Message.WParam);
  const TShiftState shift = KeyboardShiftState();
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview && static_cast<TWinControl*>(form)->DoKeyUp(Message)) return true;
  key = WORD(Message.WParam);
  if (OnKeyUp) OnKeyUp(this, key, shift);
  Message.WParam = key;
  return key == 0;
}

bool TWinControl::DoKeyPress(TMessage& Message) {
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview && static_cast<TWinControl*>(form)->DoKeyPress(Message)) return true;
  char32_t key = char32_t(Message.WParam);
  if (OnKeyPress) OnKeyPress(this, key);
  Message.WParam = WPARAM(key);
  return key == 0;
}

void TWinControl::KeyDownBeforeDispatch(TMessage& Message) {
  Message.Result = 1;
  const WORD key = WORD(Message.WParam);
  LRESULT mask = 0;
  switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_ESCAPE: mask = DLGC_WANTALLKEYS; break;
  }
  if (mask && !(Perform(WM_GETDLGCODE, 0, 0) & mask)) {
    TCustomForm* form = GetParentForm();
    if (form && form->Perform(CM_DIALOGKEY, key, Message.LParam) != 0) return;
  }
  Message.Result = 0;
}

bool TWinControl::IsMenuKey(TMessage& Message) {
  const WORD key = WORD(Message.WParam);
  const TShiftState shift = KeyboardShiftState();
  for (TControl* c = this; c; c = c->Parent())
    if (TPopupMenu* menu = c->PopupMenu(); menu && menu->IsShortCut(key, shift)) return true;
  TCustomForm* form = GetParentForm();
  return form && form->Menu() && form->Menu()->IsShortCut(key, shift);
}

void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---- Font and colour for the window classes ----

void TWinControl::ApplyFont() {
  if (FHandle) SendMessageW(FHandle, WM_SETFONT, WPARAM(FFont.Handle()), 0);
}

void TWinControl::FontChanged() {
  ApplyFont();
  Invalidate();
  for (TControl* c : FControls) c->ParentFontChanged();
}

HBRUSH TWinControl::ControlColorBrush(HDC dc) {
  SetTextColor(dc, ColorToRGB(FFont.Color()));
  SetBkColor(dc, ColorToRGB(FColor));
  if (!FColorBrush || FColorBrushColor != FColor) {
    if (FColorBrush) DeleteObject(FColorBrush);
    FColorBrush = CreateSolidBrush(ColorToRGB(FColor));
    FColorBrushColor = FColor;
  }
  return FColorBrush;
}

void TWinControl::UpdateBounds() {
  if (!FHandle) return;
  RECT r;
  GetWindowRect(FHandle, &r);
  // A child window without a framework parent (a document window) counts from its window parent.
  HWND parent = FParent && FParent->HandleAllocated() ? FParent->FHandle
                : (GetWindowLongPtrW(FHandle, GWL_STYLE) & WS_CHILD) ? ::GetParent(FHandle) : nullptr;
  if (parent) {
    POINT p{r.left, r.top};
    ::ScreenToClient(parent, &p);
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

void TWinControl::PaintTo(HDC DC, int X, int Y) {
  const int saved = SaveDC(DC);
  POINT org;
  GetViewportOrgEx(DC, &org);
  SetViewportOrgEx(DC, org.x + X, org.y + Y, nullptr);
  IntersectClipRect(DC, 0, 0, FWidth, FHeight);
  HWND wnd = Handle();
  SendMessageW(wnd, WM_PRINT, WPARAM(DC), PRF_NONCLIENT | PRF_ERASEBKGND | PRF_CLIENT);
  // The windowed children by the framework's Visible, not their windows' state:
  // a form that is not shown yet prints whole.
  RECT wr, cr;
  GetWindowRect(wnd, &wr);
  GetClientRect(wnd, &cr);
  POINT client{0, 0};
  ::ClientToScreen(wnd, &client);
  const int cx = client.x - wr.left, cy = client.y - wr.top;
  IntersectClipRect(DC, cx, cy, cx + cr.right, cy + cr.bottom);
  for (TControl* c : FControls)
    if (auto* child = dynamic_cast<TWinControl*>(c); child && child->Visible())
      child->PaintTo(DC, cx + child->Left(), cy + child->Top());
  RestoreDC(DC, saved);
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

bool TWinControl::PaintBuffered(TMessage& Message) {
  if (Message.Msg != WM_PAINT || Message.WParam || !FDoubleBuffered || !FHandle) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(FHandle, &ps);
  RECT r;
  GetClientRect(FHandle, &r);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, std::max(1, int(r.right)), std::max(1, int(r.bottom)));
  HGDIOBJ old = SelectObject(mem, bmp);
  auto finish = [&] {
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    EndPaint(FHandle, &ps);
  };
  try {
    Perform(WM_ERASEBKGND, WPARAM(mem), LPARAM(mem));
    Perform(WM_PAINT, WPARAM(mem), 0);
    if (FHandle) BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
  } catch (...) {
    finish();
    throw;
  }
  finish();
  return true;
}

void TWinControl::WndProc(TMessage& Message) {
  if (GraphicControlMouse(Message)) return;
  if (PaintBuffered(Message)) return;
  switch (Message.Msg) {
    case WM_SETCURSOR:
      if (HCURSOR screen = Screen->CursorHandle()) {
        ::SetCursor(screen);
        Message.Result = TRUE;
        return;
      }
      break;
    case WM_PAINT: {
      bool graphics = false;
      for (TControl* c : FControls) graphics |= dynamic_cast<TGraphicControl*>(c) != nullptr;
      if (!graphics) break;
      // The window class paints first (into the DC, when it has painting of its
      // own), then the graphic children go on top.
      const bool classPaints = FDefWndProc != DefWindowProcW;
      if (Message.WParam) {
        if (classPaints) DefaultHandler(Message);
        PaintControls(reinterpret_cast<HDC>(Message.WParam));
      } else {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(FHandle, &ps);
        if (classPaints) {
          TMessage m{WM_PAINT, WPARAM(dc), 0, 0};
          DefaultHandler(m);
        }
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
      if (Message.Msg == WM_SIZE) Realign();
      return;
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_NOTIFY:
    case WM_DRAWITEM: {
      // Notifications go back to the control they came from.
      HWND from = reinterpret_cast<HWND>(Message.LParam);
      if (Message.Msg == WM_NOTIFY) from = reinterpret_cast<NMHDR*>(Message.LParam)->hwndFrom;
      if (Message.Msg == WM_DRAWITEM) from = reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam)->hwndItem;
      TWinControl* c = from ? FindControl(from) : nullptr;
      if (c && c != this) {
        Message.Result = c->Perform(CN_BASE + Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      break;
    }
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORLISTBOX:
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSCROLLBAR:
    case CN_CTLCOLORSTATIC:
      Message.Result = LRESULT(ControlColorBrush(reinterpret_cast<HDC>(Message.WParam)));
      return;
    case CN_KEYDOWN:
    case CN_SYSKEYDOWN:
      if (IsMenuKey(Message)) {
        Message.Result = 1;
        return;
      }
      if (Message.Msg == CN_KEYDOWN) KeyDownBeforeDispatch(Message);
      else Message.Result = 0;
      return;
    case CN_SYSCHAR: {
      // Alt+letter: a label's accelerator, else the window's menu bar (by the default handling).
      TCustomForm* form = GetParentForm();
      Message.Result = form && form->Perform(CM_DIALOGCHAR, Message.WParam, Message.LParam) != 0 ? 1 : 0;
      return;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (DoKeyDown(Message)) return;
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (DoKeyUp(Message)) return;
      break;
    case WM_CHAR:
      if (DoKeyPress(Message)) return;
      break;
    case WM_SETFOCUS:
      DefaultHandler(Message);
      if (TCustomForm* form = GetParentForm(); form && form != this) form->ControlFocused(this);
      DoEnter();
      return;
    case WM_KILLFOCUS:
      DefaultHandler(Message);
      DoExit();
      return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
      // Offered to every child until one takes it (default and cancel buttons, labels' accelerators).
      for (TControl* c : std::vector<TControl*>(FControls))
        if (c->Visible() && c->Perform(Message.Msg, Message.WParam, Message.LParam) != 0) {
          Message.Result = 1;
          return;
        }
      Message.Result = 0;
      return;
    case WM_ERASEBKGND:
      // Double-buffered windows erase into their image while painting, never on the screen.
      if (FDoubleBuffered && Message.WParam != WPARAM(Message.LParam)) {
        Message.Result = 1;
        return;
      }
      EraseBackground(Message);
      return;
    case CM_RECREATEWND: {
      if (!FHandle) return;
      ControlState.Include(csRecreating);
      try {
        DestroyHandle();
        HandleNeeded();
      } catch (...) {
        ControlState.Exclude(csRecreating);
        throw;
      }
      ControlState.Exclude(csRecreating);
      return;
    }
    case CM_CONTROLLISTCHANGING:
    case CM_CONTROLLISTCHANGE:
      // Everything above hears of changes below it (a form sees controls added to its panels).
      if (FParent) FParent->WindowProc(Message);
      return;
    case CM_SYSFONTCHANGED:
    case CM_FOCUSCHANGED:
      Broadcast(Message);
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
  if (PaintBuffered(Message)) return;
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

// ---- Hint window ----

THintWindow::THintWindow(TComponent* AOwner) : TCustomControl(AOwner) {
  FVisible = false;
  FColor = clInfoBk;
  FFont.SetColor(clInfoText);
  FParentFont = false;
}

void THintWindow::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style = WS_POPUP | WS_BORDER;
  Params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
  Params.WndParent = nullptr;
  Params.WindowClass.style = CS_SAVEBITS;
}

TRect THintWindow::CalcHintRect(int MaxWidth, const String& AHint, void*) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, FFont.Handle());
  RECT r{0, 0, MaxWidth, 0};
  DrawText(dc, AHint.c_str(), -1, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  // Room for the border and a little padding around the text.
  return Rect(0, 0, r.right + 6 + 2, r.bottom + 2 + 2);
}

void THintWindow::ActivateHint(TRect Rect, const String& AHint) {
  FActive = true;
  SetCaption(AHint);
  // Kept on the screen.
  const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  if (Rect.Right > sw) Rect = Bounds(std::max(0, sw - Rect.Width()), Rect.Top, Rect.Width(), Rect.Height());
  if (Rect.Bottom > sh) Rect = Bounds(Rect.Left, std::max(0, Rect.Top - Rect.Height() - 24), Rect.Width(), Rect.Height());
  SetBounds(Rect.Left, Rect.Top, Rect.Width(), Rect.Height());
  HandleNeeded();
  SetWindowPos(FHandle, HWND_TOPMOST, Rect.Left, Rect.Top, Rect.Width(), Rect.Height(),
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void THintWindow::ActivateHintData(TRect Rect, const String& AHint, void*) { ActivateHint(Rect, AHint); }

void THintWindow::ReleaseHandle() {
  FActive = false;
  DestroyHandle();
}

void THintWindow::WndProc(TMessage& Message) {
  // The pointer passes through to what lies below; the hint never takes the focus.
  if (Message.Msg == WM_NCHITTEST) {
    Message.Result = HTTRANSPARENT;
    return;
  }
  if (Message.Msg == WM_MOUSEACTIVATE) {
    Message.Result = MA_NOACTIVATE;
    return;
  }
  TCustomControl::WndProc(Message);
}

void THintWindow::Paint() {
  TRect r = ClientRect();
  FCanvas->Brush()->SetColor(FColor);
  FCanvas->FillRect(r);
  FCanvas->SetFont(&FFont);
  FCanvas->Brush()->SetStyle(bsClear);
  RECT tr = Rect(r.Left + 3, r.Top + 1, r.Right - 3, r.Bottom - 1);
  const String text = Caption();
  DrawText(FCanvas->Handle(), text.c_str(), -1, &tr, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}
