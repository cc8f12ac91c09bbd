// Panels, images, radio groups, splitters, timers and scroll boxes.

#include "platform/vcl/ExtCtrls.h"

#include <algorithm>
#include <cmath>

#include "platform/vcl/TypInfo.h"
#include "platform/win/Controls.h"

// ---- Utility windows ----

namespace {

constexpr const char* kUtilClass = "TPUtilWindow";

struct TUtilWindow {
  WNDPROC Instance = nullptr;
};

std::vector<std::pair<HWND, WNDPROC>>& UtilWindows() {
  static auto* list = new std::vector<std::pair<HWND, WNDPROC>>();
  return *list;
}

}  // namespace

HWND AllocateHWnd(std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> Proc) {
  WNDCLASSEXW existing;
  if (!GetClassInfoExW(nullptr, kUtilClass, &existing)) {
    WNDCLASSEXW wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kUtilClass;
    RegisterClassExW(&wc);
  }
  HWND h = CreateWindowExW(WS_EX_TOOLWINDOW, kUtilClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  if (!h) throw EInvalidOperation("Could not create a utility window");
  WNDPROC instance = MakeObjectInstance(std::move(Proc));
  SetWindowLongPtrW(h, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(instance)));
  UtilWindows().push_back({h, instance});
  return h;
}

void DeallocateHWnd(HWND Wnd) {
  auto& list = UtilWindows();
  auto it = std::find_if(list.begin(), list.end(), [Wnd](const auto& e) { return e.first == Wnd; });
  if (it == list.end()) return;
  WNDPROC instance = it->second;
  list.erase(it);
  if (IsWindow(Wnd)) {
    SetWindowLongPtrW(Wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&DefWindowProcW)));
    DestroyWindow(Wnd);
  }
  FreeObjectInstance(instance);
}

// ---- Frames ----

void Frame3D(TCanvas* Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int Width) {
  for (int i = 0; i < Width; ++i) {
    if (Rect.Width() <= 0 || Rect.Height() <= 0) return;
    Canvas->Brush()->SetColor(TopColor);
    Canvas->FillRect(TRect(Rect.Left, Rect.Top, Rect.Right, Rect.Top + 1));
    Canvas->FillRect(TRect(Rect.Left, Rect.Top, Rect.Left + 1, Rect.Bottom));
    Canvas->Brush()->SetColor(BottomColor);
    Canvas->FillRect(TRect(Rect.Left, Rect.Bottom - 1, Rect.Right, Rect.Bottom));
    Canvas->FillRect(TRect(Rect.Right - 1, Rect.Top, Rect.Right, Rect.Bottom));
    Rect = TRect(Rect.Left + 1, Rect.Top + 1, Rect.Right - 1, Rect.Bottom - 1);
  }
}

// ---- TCustomPanel ----

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                               csDoubleClicks, csReplicatable, csParentBackground};
  FWidth = 185;
  FHeight = 41;
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
  FBevelInner = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  FBevelOuter = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int Value) {
  FBevelWidth = std::max(1, Value);
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderWidth(int Value) {
  FBorderWidth = std::max(0, Value);
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Invalidate();
}

void TCustomPanel::SetVerticalAlignment(TTextLayout Value) {
  FVerticalAlignment = Value;
  Invalidate();
}

void TCustomPanel::SetParentBackground(bool Value) {
  if (Value) ControlStyle.Include(csParentBackground);
  else ControlStyle.Exclude(csParentBackground);
  Invalidate();
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
  Params.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
  if (FullRepaint) Params.WindowClass.style |= CS_HREDRAW | CS_VREDRAW;
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
  int inset = FBorderWidth;
  if (FBevelOuter != bvNone) inset += FBevelWidth;
  if (FBevelInner != bvNone) inset += FBevelWidth;
  Rect = TRect(Rect.Left + inset, Rect.Top + inset, Rect.Right - inset, Rect.Bottom - inset);
}

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  auto bevel = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    const TColor top = cut == bvLowered ? clBtnShadow : cut == bvRaised ? clBtnHighlight : FColor;
    const TColor bottom = cut == bvLowered ? clBtnHighlight : cut == bvRaised ? clBtnShadow : FColor;
    Frame3D(c, r, top, bottom, FBevelWidth);
  };
  bevel(FBevelOuter);
  Frame3D(c, r, FColor, FColor, FBorderWidth);
  bevel(FBevelInner);
  c->Brush()->SetColor(FColor);
  c->FillRect(r);
  const String caption = Caption();
  if (caption.empty()) return;
  c->SetFont(&FFont);
  c->Brush()->SetStyle(bsClear);
  RECT tr = r;
  UINT flags = DT_SINGLELINE | DT_EXPANDTABS | AlignmentToDrawText(FAlignment);
  flags |= FVerticalAlignment == tlTop ? DT_TOP : FVerticalAlignment == tlBottom ? DT_BOTTOM : DT_VCENTER;
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(FEnabled ? FFont.Color() : clGrayText));
  DrawText(dc, caption.c_str(), -1, &tr, flags);
}

void TCustomPanel::WndProc(TMessage& Message) {
  if (Message.Msg == WM_ERASEBKGND) {
    Message.Result = 1;  // Paint fills everything
    return;
  }
  if (Message.Msg == CM_TEXTCHANGED) Invalidate();
  TCustomControl::WndProc(Message);
}

// ---- TImage ----

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle.Include(csReplicatable);
  FWidth = 105;
  FHeight = 105;
  FPicture.OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::PictureChanged() {
  if (FAutoSize && FPicture.Width() > 0 && FPicture.Height() > 0)
    SetBounds(FLeft, FTop, FPicture.Width(), FPicture.Height());
  if (TGraphic* g = FPicture.Graphic()) {
    if (FTransparent != g->Transparent()) g->SetTransparent(FTransparent);
  }
  // A picture that covers the control paints every pixel.
  const TRect d = DestRect();
  const bool covers = FPicture.Graphic() && !FTransparent && d.Left <= 0 && d.Top <= 0 && d.Right >= FWidth &&
                      d.Bottom >= FHeight;
  if (covers) ControlStyle.Include(csOpaque);
  else ControlStyle.Exclude(csOpaque);
  Invalidate();
}

TCanvas* TImage::Canvas() {
  if (!FPicture.Graphic()) {
    TBitmap b;
    b.SetSize(FWidth, FHeight);
    FPicture.SetGraphic(&b);
  }
  auto* bitmap = dynamic_cast<TBitmap*>(FPicture.Graphic());
  if (!bitmap) throw EInvalidOperation("Can only modify an image if it contains a bitmap");
  return bitmap->Canvas();
}

void TImage::SetStretch(bool Value) {
  FStretch = Value;
  PictureChanged();
}

void TImage::SetProportional(bool Value) {
  FProportional = Value;
  PictureChanged();
}

void TImage::SetCenter(bool Value) {
  FCenter = Value;
  PictureChanged();
}

void TImage::SetTransparent(bool Value) {
  FTransparent = Value;
  PictureChanged();
}

void TImage::SetAutoSize(bool Value) {
  FAutoSize = Value;
  PictureChanged();
}

TRect TImage::DestRect() {
  int w = FPicture.Width(), h = FPicture.Height();
  const int cw = FWidth, ch = FHeight;
  if (FStretch || (FProportional && (w > cw || h > ch))) {
    if (FProportional && w > 0 && h > 0) {
      const double aspect = double(w) / double(h);
      if (w > h) {
        w = cw;
        h = int(std::trunc(cw / aspect));
        if (h > ch) {
          h = ch;
          w = int(std::trunc(ch * aspect));
        }
      } else {
        h = ch;
        w = int(std::trunc(ch * aspect));
        if (w > cw) {
          w = cw;
          h = int(std::trunc(cw / aspect));
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int x = 0, y = 0;
  if (FCenter) {
    x = (cw - w) / 2;
    y = (ch - h) / 2;
  }
  return Bounds(x, y, w, h);
}

void TImage::Paint() {
  TGraphic* g = FPicture.Graphic();
  if (!g || g->Empty()) return;
  TGraphicControl::Canvas()->StretchDraw(DestRect(), g);
}

// ---- TCustomRadioGroup ----

TGroupButton::TGroupButton(TCustomRadioGroup* Group, int Index) : TRadioButton(Group), FGroup(Group) {
  (void)Index;
  SetParent(Group);
}

void TGroupButton::Click() {
  FGroup->ButtonClick(this);
  TRadioButton::Click();
}

TCustomRadioGroup::TCustomRadioGroup(TComponent* AOwner) : TCustomGroupBox(AOwner) {
  FItems.OnChange = [this](TObject*) { UpdateButtons(); };
}

TCustomRadioGroup::~TCustomRadioGroup() {
  FItems.OnChange = nullptr;
  for (TGroupButton* b : FButtons) delete b;
}

void TCustomRadioGroup::ButtonClick(TGroupButton* Button) {
  if (FUpdating) return;
  auto it = std::find(FButtons.begin(), FButtons.end(), Button);
  FItemIndex = it == FButtons.end() ? -1 : int(it - FButtons.begin());
  Click();
}

void TCustomRadioGroup::SetItemIndex(int Value) {
  if (Value < -1 || Value >= int(FButtons.size())) {
    // Kept until the items arrive (a definition may set it first).
    if (FButtons.empty()) FItemIndex = Value;
    return;
  }
  if (Value == FItemIndex && (Value < 0 || FButtons[size_t(Value)]->Checked())) return;
  if (Value < 0) {
    FItemIndex = -1;
    FUpdating = true;
    for (TGroupButton* b : FButtons) b->SetChecked(false);
    FUpdating = false;
    return;
  }
  FButtons[size_t(Value)]->SetChecked(true);  // clicks the group
  FItemIndex = Value;
}

void TCustomRadioGroup::SetColumns(int Value) {
  Value = std::clamp(Value, 1, 16);
  if (Value == FColumns) return;
  FColumns = Value;
  ArrangeButtons();
}

void TCustomRadioGroup::UpdateButtons() {
  FUpdating = true;
  while (int(FButtons.size()) > FItems.Count()) {
    delete FButtons.back();
    FButtons.pop_back();
  }
  while (int(FButtons.size()) < FItems.Count()) {
    auto* b = new TGroupButton(this, int(FButtons.size()));
    b->SetEnabled(FEnabled);
    FButtons.push_back(b);
  }
  for (size_t i = 0; i < FButtons.size(); ++i) {
    FButtons[i]->SetCaption(FItems[int(i)]);
    FButtons[i]->SetChecked(int(i) == FItemIndex);
  }
  FUpdating = false;
  ArrangeButtons();
}

void TCustomRadioGroup::ArrangeButtons() {
  if (FButtons.empty()) return;
  const int n = int(FButtons.size());
  const int perCol = (n + FColumns - 1) / FColumns;
  const int buttonWidth = (FWidth - 10) / FColumns;
  const int fontHeight = FontPixelHeight(FFont);
  const int room = FHeight - fontHeight - 5;
  const int buttonHeight = room / perCol;
  const int topMargin = fontHeight + 1 + (room % perCol) / 2;
  for (int i = 0; i < n; ++i)
    FButtons[size_t(i)]->SetBounds((i / perCol) * buttonWidth + 8, (i % perCol) * buttonHeight + topMargin,
                                   buttonWidth, buttonHeight);
}

void TCustomRadioGroup::WndProc(TMessage& Message) {
  TCustomGroupBox::WndProc(Message);
  switch (Message.Msg) {
    case WM_SIZE: ArrangeButtons(); break;
    case CM_ENABLEDCHANGED:
      for (TGroupButton* b : FButtons) b->SetEnabled(FEnabled);
      break;
  }
}

// ---- TSplitter ----

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 3;
  FHeight = 100;
  SetAlign(alLeft);
}

void TSplitter::SetBeveled(bool Value) {
  FBeveled = Value;
  Invalidate();
}

TControl* TSplitter::FindControl() {
  if (!FParent) return nullptr;
  // The neighbour on the side the splitter is docked to, aligned the same way.
  for (int i = 0; i < FParent->ControlCount(); ++i) {
    TControl* c = FParent->Controls(i);
    if (c == this || !c->Visible() || c->Align() != FAlign) continue;
    switch (FAlign) {
      case alLeft: if (c->Left() + c->Width() == FLeft) return c; break;
      case alRight: if (c->Left() == FLeft + FWidth) return c; break;
      case alTop: if (c->Top() + c->Height() == FTop) return c; break;
      case alBottom: if (c->Top() == FTop + FHeight) return c; break;
      default: break;
    }
  }
  return nullptr;
}

void TSplitter::Paint() {
  TCanvas* c = TGraphicControl::Canvas();
  TRect r = ClientRect();
  c->Brush()->SetColor(FColor);
  c->FillRect(r);
  if (FBeveled) Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
}

void TSplitter::WndProc(TMessage& Message) {
  const TPoint p(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      FControl = FindControl();
      if (FControl) {
        FDragging = true;
        FDownPos = ClientToScreen(p);
        FStartSize = (FAlign == alLeft || FAlign == alRight) ? FControl->Width() : FControl->Height();
      }
      break;
    case WM_MOUSEMOVE:
      if (FDragging && FControl && FParent) {
        const TPoint s = ClientToScreen(p);
        const bool horz = FAlign == alLeft || FAlign == alRight;
        int delta = horz ? s.X - FDownPos.X : s.Y - FDownPos.Y;
        if (FAlign == alRight || FAlign == alBottom) delta = -delta;
        // What the other controls leave: the parent's client size less the
        // controls docked to the edges, splitter and resized control excluded.
        const TRect client = FParent->ClientRect();
        int used = 0;
        for (int i = 0; i < FParent->ControlCount(); ++i) {
          TControl* c = FParent->Controls(i);
          if (c == this || c == FControl || !c->Visible()) continue;
          if (horz && (c->Align() == alLeft || c->Align() == alRight)) used += c->Width();
          if (!horz && (c->Align() == alTop || c->Align() == alBottom)) used += c->Height();
        }
        const int limit = (horz ? client.Width() : client.Height()) - used - (horz ? FWidth : FHeight) - FMinSize;
        int size = std::clamp(FStartSize + delta, FMinSize, std::max(FMinSize, limit));
        if (horz) FControl->SetWidth(size);
        else FControl->SetHeight(size);
      }
      break;
    case WM_LBUTTONUP:
      if (FDragging) {
        FDragging = false;
        if (OnMoved) OnMoved(this);
      }
      break;
  }
  TGraphicControl::WndProc(Message);
}

// ---- TTimer ----

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  FWindowHandle = AllocateHWnd([this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_TIMER) {
      try {
        Timer();
      } catch (...) {
        Application->HandleException(this);
      }
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  });
  UpdateTimer();
}

TTimer::~TTimer() {
  FEnabled = false;
  UpdateTimer();
  DeallocateHWnd(FWindowHandle);
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  if (!IsWindow(FWindowHandle)) return;
  KillTimer(FWindowHandle, 1);
  if (FEnabled && FInterval > 0) SetTimer(FWindowHandle, 1, FInterval, nullptr);
}

void TTimer::Timer() {
  if (OnTimer) OnTimer(this);
}

// ---- TScrollBox ----

TScrollBox::TScrollBox(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FWidth = 185;
  FHeight = 41;
}

void TScrollBox::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RecreateWnd();
}

void TScrollBox::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.Style |= WS_CLIPCHILDREN;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TScrollBox::AlignControls(TRect Rect) {
  TCustomControl::AlignControls(Rect);
  UpdateBars();
}

void TScrollBox::UpdateBars() {
  if (!FHandle || !AutoScroll) return;
  // The children's extent, measured at the unscrolled origin.
  int right = 0, bottom = 0;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible() || c->Align() != alNone) continue;
    right = std::max(right, c->Left() + c->Width() + FPos[0]);
    bottom = std::max(bottom, c->Top() + c->Height() + FPos[1]);
  }
  FRange[0] = right;
  FRange[1] = bottom;
  RECT cr;
  GetClientRect(FHandle, &cr);
  for (int bar = 0; bar < 2; ++bar) {
    SCROLLINFO si;
    si.fMask = SIF_ALL;
    si.nMin = 0;
    si.nMax = std::max(0, FRange[bar] - 1);
    si.nPage = UINT(bar == 0 ? cr.right : cr.bottom);
    si.nPos = FPos[bar];
    SetScrollInfo(FHandle, bar == 0 ? SB_HORZ : SB_VERT, &si, TRUE);
    const int page = bar == 0 ? int(cr.right) : int(cr.bottom);
    const int maxPos = std::max(0, FRange[bar] - page);
    if (FPos[bar] > maxPos) ScrollTo(bar, maxPos);
  }
}

void TScrollBox::ScrollTo(int Bar, int Pos) {
  Pos = std::max(0, Pos);
  const int delta = FPos[Bar] - Pos;
  if (!delta) return;
  FPos[Bar] = Pos;
  for (int i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (c->Align() != alNone) continue;
    if (Bar == 0) c->SetLeft(c->Left() + delta);
    else c->SetTop(c->Top() + delta);
  }
  if (FHandle) SetScrollPos(FHandle, Bar == 0 ? SB_HORZ : SB_VERT, Pos, TRUE);
  Invalidate();
}

void TScrollBox::ScrollInView(TControl* AControl) {
  if (!AControl || !FHandle) return;
  RECT cr;
  GetClientRect(FHandle, &cr);
  if (AControl->Left() < 0) ScrollTo(0, FPos[0] + AControl->Left());
  else if (AControl->Left() + AControl->Width() > cr.right)
    ScrollTo(0, FPos[0] + AControl->Left() + AControl->Width() - int(cr.right));
  if (AControl->Top() < 0) ScrollTo(1, FPos[1] + AControl->Top());
  else if (AControl->Top() + AControl->Height() > cr.bottom)
    ScrollTo(1, FPos[1] + AControl->Top() + AControl->Height() - int(cr.bottom));
}

void TScrollBox::WndProc(TMessage& Message) {
  if ((Message.Msg == WM_HSCROLL || Message.Msg == WM_VSCROLL) && Message.LParam == 0) {
    const int bar = Message.Msg == WM_HSCROLL ? 0 : 1;
    RECT cr;
    GetClientRect(FHandle, &cr);
    const int page = bar == 0 ? int(cr.right) : int(cr.bottom);
    const int maxPos = std::max(0, FRange[bar] - page);
    int pos = FPos[bar];
    switch (LOWORD(Message.WParam)) {
      case SB_LINEUP: pos -= 8; break;
      case SB_LINEDOWN: pos += 8; break;
      case SB_PAGEUP: pos -= page; break;
      case SB_PAGEDOWN: pos += page; break;
      case SB_THUMBTRACK: case SB_THUMBPOSITION: pos = HIWORD(Message.WParam); break;
      case SB_TOP: pos = 0; break;
      case SB_BOTTOM: pos = maxPos; break;
      default: break;
    }
    ScrollTo(bar, std::clamp(pos, 0, maxPos));
    Message.Result = 0;
    return;
  }
  TCustomControl::WndProc(Message);
}

// ---- TCustomFrame ----

TCustomFrame::TCustomFrame(TComponent* AOwner) : TScrollBox(AOwner) {
  FBorderStyle = bsNone;
  FWidth = 320;
  FHeight = 240;
}

TCustomFrame::TCustomFrame(TComponent* AOwner, const String& DefinitionClass) : TCustomFrame(AOwner) {
  FDefinitionClass = DefinitionClass;
}

void TCustomFrame::LoadDefinition() {
  if (FDefinitionLoaded || FDefinitionClass.empty()) return;
  const char* text = FindWindowDefinition(FDefinitionClass);
  if (!text) throw EReadError(Format("No window definition for class %s", {FDefinitionClass}));
  FDefinitionLoaded = true;
  ::LoadDefinition(this, std::string_view(text), &FHandlers);
}

// ---- Published properties ----

void RegisterExtCtrlsClasses() {
  const std::vector<String> bevels{"bvNone", "bvLowered", "bvRaised", "bvSpace"};
  RegisterPropertyClass<TCustomPanel, TCustomControl>(
      "TCustomPanel",
      {EnumProp<TCustomPanel, TBevelCut>("BevelInner", bevels, [](TCustomPanel* c) { return c->BevelInner(); },
                                         [](TCustomPanel* c, TBevelCut v) { c->SetBevelInner(v); }),
       EnumProp<TCustomPanel, TBevelCut>("BevelOuter", bevels, [](TCustomPanel* c) { return c->BevelOuter(); },
                                         [](TCustomPanel* c, TBevelCut v) { c->SetBevelOuter(v); }),
       IntProp<TCustomPanel>("BevelWidth", [](TCustomPanel* c) { return c->BevelWidth(); },
                             [](TCustomPanel* c, int v) { c->SetBevelWidth(v); }),
       IntProp<TCustomPanel>("BorderWidth", [](TCustomPanel* c) { return c->BorderWidth(); },
                             [](TCustomPanel* c, int v) { c->SetBorderWidth(v); }),
       EnumProp<TCustomPanel, TFormBorderStyle>("BorderStyle", {"bsNone", "bsSingle"},
                                                [](TCustomPanel* c) { return c->BorderStyle(); },
                                                [](TCustomPanel* c, TFormBorderStyle v) { c->SetBorderStyle(v); }),
       EnumProp<TCustomPanel, TAlignment>("Alignment", {"taLeftJustify", "taRightJustify", "taCenter"},
                                          [](TCustomPanel* c) { return c->Alignment(); },
                                          [](TCustomPanel* c, TAlignment v) { c->SetAlignment(v); }),
       EnumProp<TCustomPanel, TTextLayout>("VerticalAlignment", {"taAlignTop", "taAlignBottom", "taVerticalCenter"},
                                           [](TCustomPanel* c) {
                                             const TTextLayout l = c->VerticalAlignment();
                                             return l == tlTop ? 0 : l == tlBottom ? 1 : 2;
                                           },
                                           [](TCustomPanel* c, int v) {
                                             c->SetVerticalAlignment(v == 0 ? tlTop : v == 1 ? tlBottom : tlCenter);
                                           }),
       BoolProp<TCustomPanel>("FullRepaint", [](TCustomPanel* c) { return c->FullRepaint; },
                              [](TCustomPanel* c, bool v) { c->FullRepaint = v; }),
       BoolProp<TCustomPanel>("ParentBackground", [](TCustomPanel* c) { return c->ParentBackground(); },
                              [](TCustomPanel* c, bool v) { c->SetParentBackground(v); })});
  RegisterPropertyClass<TPanel, TCustomPanel>("TPanel", {});
  RegisterPropertyClass<TImage, TGraphicControl>(
      "TImage",
      {ObjectProp<TImage>("Picture", pkPicture, [](TImage* c) { return c->Picture(); }),
       BoolProp<TImage>("Stretch", [](TImage* c) { return c->Stretch(); }, [](TImage* c, bool v) { c->SetStretch(v); }),
       BoolProp<TImage>("Proportional", [](TImage* c) { return c->Proportional(); },
                        [](TImage* c, bool v) { c->SetProportional(v); }),
       BoolProp<TImage>("Center", [](TImage* c) { return c->Center(); }, [](TImage* c, bool v) { c->SetCenter(v); }),
       BoolProp<TImage>("Transparent", [](TImage* c) { return c->Transparent(); },
                        [](TImage* c, bool v) { c->SetTransparent(v); }),
       BoolProp<TImage>("AutoSize", [](TImage* c) { return c->AutoSize(); }, [](TImage* c, bool v) { c->SetAutoSize(v); })});
  RegisterPropertyClass<TCustomRadioGroup, TCustomGroupBox>(
      "TCustomRadioGroup",
      {IntProp<TCustomRadioGroup>("Columns", [](TCustomRadioGroup* c) { return c->Columns(); },
                                  [](TCustomRadioGroup* c, int v) { c->SetColumns(v); }),
       IntProp<TCustomRadioGroup>("ItemIndex", [](TCustomRadioGroup* c) { return c->ItemIndex(); },
                                  [](TCustomRadioGroup* c, int v) { c->SetItemIndex(v); }),
       ObjectProp<TCustomRadioGroup>("Items", pkStrings, [](TCustomRadioGroup* c) { return c->Items(); })});
  RegisterPropertyClass<TRadioGroup, TCustomRadioGroup>("TRadioGroup", {});
  RegisterPropertyClass<TSplitter, TGraphicControl>(
      "TSplitter", {IntProp<TSplitter>("MinSize", [](TSplitter* c) { return c->MinSize(); },
                                       [](TSplitter* c, int v) { c->SetMinSize(v); }),
                    BoolProp<TSplitter>("Beveled", [](TSplitter* c) { return c->Beveled(); },
                                        [](TSplitter* c, bool v) { c->SetBeveled(v); }),
                    EventProp<TSplitter>("OnMoved", &TSplitter::OnMoved)});
  RegisterPropertyClass<TTimer, TComponent>(
      "TTimer", {BoolProp<TTimer>("Enabled", [](TTimer* c) { return c->Enabled(); }, [](TTimer* c, bool v) { c->SetEnabled(v); }),
                 IntProp<TTimer>("Interval", [](TTimer* c) { return int(c->Interval()); },
                                 [](TTimer* c, int v) { c->SetInterval(unsigned(std::max(0, v))); }),
                 EventProp<TTimer>("OnTimer", &TTimer::OnTimer)});
  RegisterPropertyClass<TScrollBox, TCustomControl>(
      "TScrollBox", {EnumProp<TScrollBox, TFormBorderStyle>("BorderStyle", {"bsNone", "bsSingle"},
                                                            [](TScrollBox* c) { return c->BorderStyle(); },
                                                            [](TScrollBox* c, TFormBorderStyle v) { c->SetBorderStyle(v); }),
                     BoolProp<TScrollBox>("AutoScroll", [](TScrollBox* c) { return c->AutoScroll; },
                                          [](TScrollBox* c, bool v) { c->AutoScroll = v; })});
  RegisterPropertyClass<TCustomFrame, TScrollBox>("TCustomFrame", {});
  RegisterPropertyClass<TFrame, TCustomFrame>("TFrame", {});
}
