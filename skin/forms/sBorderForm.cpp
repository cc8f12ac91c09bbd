// The extended-border window of a skinned form and the caption cover.
//
// With extended borders the form's window is cut to its client part and menu
// line, and a layered window right behind it shows the whole painted image
// (frame, title and the skin's shadow) with per-pixel alpha. That window
// follows the form, answers the mouse over the frame for it (the form gets
// the presses with the code -1 and asks this window's hit test) and lets the
// mouse through to the windows below where only the shadow lies.
//
// Here owned windows always stay in front of their owner, so the layered
// window gets no owner: it would be lifted in front of the form at every
// z-order change. It is a free top-level tool window placed after the form
// each time instead.

#include <algorithm>
#include <cstdlib>

#include "platform/win/Controls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinLoader.h"
#include "skin/core/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"

namespace {

constexpr LRESULT kHtObject = 19;  // every frame message then reaches the border window's procedure
constexpr UINT kSwpKeepOrder = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER |
                               SWP_NOSENDCHANGING;  // 0x61B
constexpr unsigned kNoRegionStates = FS_CHANGING | FS_ANIMMINIMIZING | FS_BLENDMOVING;

bool Terminating() { return Application && Application->Terminated(); }

TPoint MessagePoint(const TMessage& M) { return TPoint(GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)); }

bool Zoomed(HWND h) { return h && IsZoomed(h); }

const TacSkinRecords* SkinOfData(TsCommonData* D) { return D ? D->SkinManager() : nullptr; }

}  // namespace

// ---- Life cycle ----

TacBorderForm::TacBorderForm(TObject* AOwner) : FOwner(AOwner), sp(dynamic_cast<TsSkinProvider*>(AOwner)) {
  if (sp) SkinData = sp->SkinData();
  CreateNewForm();
}

TacBorderForm::~TacBorderForm() {
  KillAnimations();
  FreeForm();
}

void TacBorderForm::FreeForm() {
  if (!AForm) return;
  AForm->WindowProc = OldBorderProc;  // its last messages are its own
  delete std::exchange(AForm, nullptr);
}

void TacBorderForm::CreateNewForm() {
  if (FormState() & FS_ANIMSHOWING) return;
  MainRgnReady = false;
  AForm = new TacGlowForm(nullptr);
  AForm->TransparentMouse = false;  // the border answers the mouse; the shadow lets it through
  HWND w = AForm->Handle();
  SetWindowLongPtrW(w, GWL_EXSTYLE, WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW);
  ParentHandle = nullptr;
  OldBorderProc = AForm->WindowProc;
  AForm->WindowProc = [this](TMessage& Message) { BorderProc(Message); };
}

void TacBorderForm::KillAnimations() {
  if (sp) sp->KillAnimations();
}

// ---- Owner accessors ----

HWND TacBorderForm::OwnerHandle() const {
  return sp && sp->Form && sp->Form->HandleAllocated() ? sp->Form->Handle() : nullptr;
}

TRect TacBorderForm::ShadowSize() const {
  const TacSkinRecords* s = SkinOfData(SkinData);
  return s ? s->FormShadowSize : TRect();
}

int TacBorderForm::CaptionHeight(bool CheckSkin) { return sp ? sp->CaptionHeight(CheckSkin) : 0; }
int TacBorderForm::MenuHeight() { return sp ? sp->MenuHeight() : 0; }
TRect TacBorderForm::IconRect() { return sp ? sp->FIconRect : TRect(); }
unsigned TacBorderForm::FormState() const { return sp ? sp->FormState() : 0; }

void TacBorderForm::SetHotHT(int i, bool) {
  if (sp) sp->SetHotHT(i, true);
}

void TacBorderForm::PaintAll() {
  if (sp) sp->PaintAll();
}

int TacBorderForm::MinTopCoord() {
  if (!AForm || !AForm->HandleAllocated()) return 0;
  return Screen->MonitorFromWindow(AForm->Handle()).WorkareaRect.Top;
}

HWND TacBorderForm::GetTopWnd() {
  HWND h = OwnerHandle();
  if (sp && sp->Form && sp->Form->FormStyle() == fsStayOnTop) return HWND_TOP;
  if (h && (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST)) return HWND_TOPMOST;
  return h;
}

int TacBorderForm::OffsetX() {
  HWND h = OwnerHandle();
  return SkinExBorderWidth(this) + ShadowSize().Left - (h ? SysBorderWidth(h, this, false) : 0);
}

int TacBorderForm::OffsetY() {
  HWND h = OwnerHandle();
  if (sp && sp->FSysExHeight) return ShadowSize().Top + DiffTitle(this) + 4;
  const int c = CaptionHeight(false);
  const int e = c != 0 ? SkinExTitleHeight(this) : 0;
  return ShadowSize().Top + e - (h ? SysBorderWidth(h, this, false) : 0) - c;
}

// ---- Region ----

HRGN TacBorderForm::MakeRgn(int NewWidth, int NewHeight) {
  if (!AForm) return nullptr;
  HWND h = OwnerHandle();
  const TRect sh = ShadowSize();
  const int W = AForm->Width(), H = AForm->Height();
  HRGN R = nullptr;
  if (Zoomed(h)) {
    const int a = SysBorderWidth(h, this, false), b = DiffBorder(this);
    R = CreateRectRgn(a + b + sh.Left, sh.Top + 4, W - a - b - sh.Right, H - a - b - sh.Bottom);
  }
  auto whole = [&] { return R ? R : CreateRectRgn(0, 0, W, H); };
  const unsigned fs = FormState();
  if (fs & FS_CHANGING) return whole();
  if (fs & (FS_BLENDMOVING | FS_ANIMMINIMIZING | FS_ANIMCLOSING)) {
    const int top = AForm->Top(), minTop = MinTopCoord();
    MovRgnChanged = top < minTop;
    if (MovRgnChanged) {
      R = whole();
      HRGN strip = CreateRectRgn(0, 0, W, minTop - top);
      CombineRgn(R, R, strip, RGN_XOR);
      DeleteObject(strip);
    }
    return R;
  }
  if (!sp || !h) return R;
  // The client hole: there the form's own window shows.
  TCustomForm* f = sp->Form;
  const int left = sp->OffsetX();
  int top = sp->OffsetY();
  const int cw = WndClientWidth(h), ch = WndClientHeight(h);
  int right = left + cw, bottom = top + ch;
  if ((fs & FS_SIZING) && !f->Visible()) {
    const TRect& last = sp->LastClientRect;
    if (last.Right < cw)
      right = left + last.Right;
    else if (NewWidth > f->Constraints()->MinWidth())
      right = left + cw + NewWidth - f->Width();
    if (last.Bottom < ch)
      bottom = top + last.Bottom;
    else if (NewHeight > f->Constraints()->MinHeight())
      bottom = top + ch + NewHeight - f->Height();
  } else if (FormHasMenuLine(sp) && !(fs & FS_ANIMSHOWING)) {
    top -= sp->LinesCount() * sp->MenuHeight();
  }
  R = whole();
  HRGN hole = CreateRectRgn(left, top, right, bottom);
  CombineRgn(R, R, hole, RGN_XOR);
  DeleteObject(hole);
  return R;
}

void TacBorderForm::UpdateRgn() {
  if (!ResetRgn || !AForm || !AForm->HandleAllocated()) return;
  ResetRgn = false;
  SetWindowRgn(AForm->Handle(), MakeRgn(), FALSE);
}

// ---- Placing and painting ----

void TacBorderForm::UpdateExBordersPos(bool Redraw, uint8_t Blend) {
  HWND h = OwnerHandle();
  RECT wr{};
  if (Terminating() || ExBorderShowing || !h || !GetWindowRect(h, &wr) || (SkinData && SkinData->PrintDC) ||
      FormAnimating)
    return;
  const unsigned fs = FormState();
  if (sp && sp->Form->Left() != wr.left && !IsIconic(h)) return;  // not settled yet
  if (fs & FS_ANIMSHOWING) return;
  if (!AForm) CreateNewForm();
  if (!AForm || !sp) return;  // a dialog owner: its handler places its own border
  if ((SkinData->CtrlSkinState & 0x800) || sp->FInAnimation || SkinData->FUpdating || !sp->DrawNonClientArea()) return;
  if (sp->FormDestroying()) return;
  if (!IsWindowVisible(h) && (fs == 0 || fs == FS_ACTIVATED)) {
    // A hidden form shows no border; the next showing makes a new window.
    FreeForm();
    sp->SetBGChanged(true);
    return;
  }
  ExBorderShowing = true;
  if (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) SetWindowPos(h, HWND_TOPMOST, 0, 0, 0, 0, kSwpKeepOrder);
  const bool resizing = fs & FS_SIZING;
  HWND insertAfter = resizing ? nullptr : GetTopWnd();
  const int ox = OffsetX(), oy = OffsetY();
  if ((fs & kNoRegionStates) || SkinLoadingInProgress) {
    if (sp->BGChanged()) PaintAll();
    Redraw = true;
    // The client part comes from the window itself, fully opaque.
    TBitmap* img = SkinData->FCacheBmp.get();
    RECT cr{};
    GetClientRect(h, &cr);
    POINT o{0, 0};
    ClientToScreen(h, &o);
    if (img) {
      const TRect dst(ox + (o.x - wr.left), oy + (o.y - wr.top), ox + (o.x - wr.left) + cr.right,
                      oy + (o.y - wr.top) + cr.bottom);
      HDC wdc = GetWindowDC(h);
      BitBlt(img->Canvas()->Handle(), dst.Left, dst.Top, dst.Width(), dst.Height(), wdc, o.x - wr.left, o.y - wr.top,
             SRCCOPY);
      ReleaseDC(h, wdc);
      FillRect32(img, dst, 0, 255);
      SendSkinCommandToControl(sp->Form, SKC_PRINTED, LPARAM(img));
    }
  } else if (sp->BGChanged()) {
    PaintAll();
    Redraw = true;
  }
  TBitmap* img = SkinData->FCacheBmp.get();
  const int W = img ? img->Width() : 0, H = img ? img->Height() : 0;
  if (!insertAfter) insertAfter = IsIconic(h) || resizing ? GetWindow(h, GW_HWNDPREV) : h;
  if (!insertAfter) insertAfter = HWND_TOP;
  UINT flags = resizing ? 0x614 : 0x610;
  const bool sameSize = AForm->Width() == W && AForm->Height() == H;
  const bool transfer = Redraw || !sameSize;
  if (!Redraw && sameSize) flags |= SWP_NOSIZE;
  if (!Redraw) flags |= SWP_NOREDRAW;
  POINT pos{wr.left - ox, wr.top - oy};
  HWND aw = AForm->Handle();
  if (transfer && img && !acInMouseMsg) {
    TCustomForm* f = sp->Form;
    BLENDFUNCTION blend{};
    InitBlendFunction(blend, Blend);  // forms have no alpha of their own here
    if (!sameSize) AForm->SetBounds(pos.x, pos.y, W, H);
    if (f->Enabled()) EnableWindow(aw, TRUE);
    if (fs & FS_BLENDMOVING) SetWindowRgn(aw, MakeRgn(), FALSE);
    SIZE size{W, H};
    POINT src{0, 0};
    UpdateLayeredWindow(aw, nullptr, &pos, &size, img->Canvas()->Handle(), &src, 0, &blend, ULW_ALPHA);
    if (!(fs & kNoRegionStates)) SetWindowRgn(aw, MakeRgn(), TRUE);
    const bool firstOpaque = Blend == 255 && !resizing && !MainRgnReady;
    if (IsWindowVisible(aw)) {
      SetWindowPos(aw, insertAfter, 0, 0, 0, 0, flags | SWP_NOSIZE | SWP_NOMOVE);
      if (firstOpaque) {
        sp->UpdateRgn(Redraw, false);
        MainRgnReady = true;
      }
    } else {
      const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
      if (Blend == 0) SetWindowLongPtrW(h, GWL_STYLE, style & ~LONG_PTR(WS_VISIBLE));
      SetWindowPos(aw, insertAfter, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
      if (Blend == 0) SetWindowLongPtrW(h, GWL_STYLE, style);
      if (firstOpaque) {
        sp->UpdateRgn(true, true);
        MainRgnReady = true;
      }
    }
  } else {
    SetWindowPos(aw, insertAfter, pos.x, pos.y, 0, 0, flags | SWP_NOSIZE);
  }
  LastTopLeft = TPoint(pos.x, pos.y);
  ExBorderShowing = false;
}

// ---- Hit testing ----

int TacBorderForm::TitleElementAt(const TPoint& P) {
  if (!sp || !sp->SystemMenu) return 0;
  int n = 0;
  auto hit = [&](const TsCaptionButton& B) { return B.cpRect.Contains(P); };
  if (sp->Form->BorderIcons().Contains(biSystemMenu)) {
    if (++n, hit(sp->ButtonClose)) return n;
    if (sp->SystemMenu->VisibleMax() && (++n, hit(sp->ButtonMax))) return n;
    if (sp->SystemMenu->VisibleMin() && (++n, hit(sp->ButtonMin))) return n;
    if (sp->Form->BorderIcons().Contains(biHelp) && (++n, hit(sp->ButtonHelp))) return n;
  }
  TsTitleButtons* buttons = sp->TitleButtons();
  for (int i = 0; buttons && i < buttons->Count(); ++i) {
    TsTitleButton* b = buttons->Items(i);
    ++n;
    if (b->Visible() && hit(b->Data)) return n;
  }
  return 0;
}

int TacBorderForm::Ex_WMNCHitTest(TMessage& Message) {
  if (sp && sp->OnExtHitTest) {
    Message.Result = 0;
    sp->OnExtHitTest(Message);
    if (Message.Result != 0) return int(Message.Result);
  }
  HWND h = OwnerHandle();
  if (!h || !AForm || !IsWindowEnabled(h)) return -1;
  const TPoint m = MessagePoint(Message);
  const TPoint p(m.X - AForm->Left(), m.Y - AForm->Top());
  const TRect sh = ShadowSize();
  const int W = AForm->Width(), H = AForm->Height();
  const TacSkinRecords* s = SkinOfData(SkinData);

  // Title buttons.
  if (const int n = TitleElementAt(p); n > 0 && sp && sp->SystemMenu) {
    TsSystemMenu* menu = sp->SystemMenu;
    const TBorderIcons icons = sp->Form->BorderIcons();
    const bool sys = icons.Contains(biSystemMenu), help = icons.Contains(biHelp), iconic = IsIconic(h);
    const bool maxVisible = menu->VisibleMax(), minShown = menu->VisibleMin() || iconic;
    const int k = sys ? 1 + int(maxVisible) + int(minShown) + int(help) : 0;
    int code = -1;
    if (n > k) {
      const int i = n - k - 1;
      if (i < sp->TitleButtons()->Count() && sp->TitleButtons()->Items(i)->Enabled()) code = HTUDBTN + i;
    } else if (n == 1) {
      code = !sys ? -1 : menu->VisibleClose() ? (menu->EnabledClose() ? HTCLOSE : HTCAPTION) : 0;
    } else if (n == 2) {
      code = maxVisible ? (menu->EnabledMax() || (menu->EnabledRestore() && !iconic) ? HTMAXBUTTON : HTCAPTION)
             : minShown ? (menu->EnabledMin() ? HTMINBUTTON : HTCAPTION)
             : help     ? HTHELP
                        : -1;
    } else if (n == 3) {
      code = minShown ? (iconic || menu->EnabledMin() ? HTMINBUTTON : HTCAPTION) : help ? HTHELP : -1;
    } else if (n == 4) {
      code = help && maxVisible ? HTHELP : -1;
    }
    if (code != -1) return code;
  }

  // Sizing edges, in the shadow just outside the visible frame.
  if (!Zoomed(h) && IsSizeable(h) && s) {
    const TsSkinData& c = s->CommonSkinData;
    bool left, right, top, bottom;
    if (c.ExDrawMode == 1) {
      const TRect o(sh.Left - c.ExShadowOffs, sh.Top - c.ExShadowOffsT, W - sh.Right + c.ExShadowOffsR,
                    H - sh.Bottom + c.ExShadowOffsB);
      const int b = SysBorderWidth(h, this, false);
      const bool inside = p.X >= o.Left && p.X <= o.Right && p.Y >= o.Top && p.Y <= o.Bottom;
      top = inside && p.Y <= o.Top + 4;
      bottom = inside && p.Y >= o.Bottom - b;
      left = inside && p.X <= o.Left + b;
      right = inside && p.X >= o.Right - b;
    } else {
      const int b = std::max(c.ExBorderWidth, 6);
      const bool inX = p.X >= sh.Left - b && p.X <= W - sh.Right + b;
      const bool inY = p.Y >= sh.Top - b && p.Y <= H - sh.Bottom + b;
      top = inX && p.Y >= sh.Top - b && p.Y <= sh.Top;
      bottom = inX && p.Y >= H - sh.Bottom && p.Y <= H - sh.Bottom + b;
      left = inY && p.X >= sh.Left - b && p.X <= sh.Left;
      right = inY && p.X >= W - sh.Right && p.X <= W - sh.Right + b;
    }
    if (left) return top ? HTTOPLEFT : bottom ? HTBOTTOMLEFT : HTLEFT;
    if (right) return top ? HTTOPRIGHT : bottom ? HTBOTTOMRIGHT : HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
  }

  // Caption and menu line.
  const int captionBottom = SysBorderWidthNoEx(h, this, true) + CaptionHeight(true) + sh.Top;
  if (p.Y >= 0 && p.Y <= captionBottom) return IconRect().Contains(p) ? HTSYSMENU : HTCAPTION;
  if (p.Y <= captionBottom + MenuHeight()) return HTMENU;
  if (!TRect(sh.Left, sh.Top, W - sh.Right, H - sh.Bottom).Contains(p)) return -1;

  // The size grip.
  if (sp && s && sp->GripVisible() && s->IsValidImgIndex(s->ConstData.GripRightBottom)) {
    const TPoint g = sp->GripPos(s->ConstData.GripRightBottom);
    if (p.X > g.X && p.Y > g.Y) return HTBOTTOMRIGHT;
  }
  return -1;
}

bool TacBorderForm::MouseAboveTheShadow(TMessage& Message) {
  if (FormState() & FS_BLENDMOVING) return false;
  UpdateRgn();
  const TacSkinRecords* s = SkinOfData(SkinData);
  TsSkinManager* m = sp ? sp->Manager() : nullptr;
  if (Terminating() || !SkinData || !AForm || !s || !m || !m->Active()) return false;
  TPoint p = MessagePoint(Message);
  if (Message.Msg < WM_MOUSEMOVE || Message.Msg > WM_MBUTTONDBLCLK) p = TPoint(p.X - AForm->Left(), p.Y - AForm->Top());
  if (Zoomed(OwnerHandle())) return false;
  const TRect sh = ShadowSize();
  const TsSkinData& c = s->CommonSkinData;
  const int W = AForm->Width(), H = AForm->Height();
  TRect frame;
  if (c.ExDrawMode == 1) {
    frame = TRect(sh.Left - c.ExShadowOffs, sh.Top - c.ExShadowOffsT, W + c.ExShadowOffsR - sh.Right,
                  H + c.ExShadowOffsB - sh.Bottom);
  } else {
    const int b = std::max(6, c.ExBorderWidth);
    frame = TRect(sh.Left - b, sh.Top - b, W - sh.Right + b, H - sh.Bottom + b);
  }
  if (p.X >= frame.Left && p.X <= frame.Right && p.Y >= frame.Top && p.Y <= frame.Bottom) return false;
  SetHotHT(-1, true);
  return true;
}

bool TacBorderForm::Ex_WMSetCursor(TMessage& Message) {
  POINT c{};
  GetCursorPos(&c);
  TMessage test = MakeMessage(WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y));
  if (MouseAboveTheShadow(test)) return false;
  const int code = Ex_WMNCHitTest(test);
  Message.LParam = MAKELPARAM(code, HIWORD(Message.LParam));
  const char* shape = nullptr;
  switch (code) {
    case HTCAPTION: case HTMENU: shape = IDC_ARROW; break;
    case HTLEFT: case HTRIGHT: shape = IDC_SIZEWE; break;
    case HTTOP: case HTBOTTOM: shape = IDC_SIZENS; break;
    case HTTOPLEFT: case HTBOTTOMRIGHT: shape = IDC_SIZENWSE; break;
    case HTTOPRIGHT: case HTBOTTOMLEFT: shape = IDC_SIZENESW; break;
    default: return false;
  }
  SetCursor(LoadCursorW(nullptr, shape));
  return true;
}

// ---- The layered window's procedure ----

void TacBorderForm::BorderProc(TMessage& Message) {
  HWND owner = OwnerHandle();
  auto toOwner = [&](WPARAM code) {
    if (owner) Message.Result = SendMessageW(owner, Message.Msg, code, Message.LParam);
  };
  switch (Message.Msg) {
    case WM_MOVE:
      if (sp && (FormState() & FS_BLENDMOVING) && (AForm->Top() < MinTopCoord() || MovRgnChanged)) {
        ResetRgn = true;
        UpdateRgn();
      }
      OldBorderProc(Message);
      if (sp) sp->MoveGluedForms(true);
      return;
    case WM_SETFOCUS:
      if (sp && !sp->FormDestroying() && sp->Form->Visible() && sp->Form->CanFocus() && sp->Form->Enabled())
        sp->Form->SetFocus();
      return;
    case WM_ENABLE:
    case WM_CANCELMODE:
      OldBorderProc(Message);
      return;
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
    case WM_SETCURSOR:
      if (sp && sp->CurrentHT >= HTTITLEITEM && sp->CurrentHT < HTTITLEITEM + 256) return;
      if (Ex_WMSetCursor(Message))
        Message.Result = 1;
      else
        OldBorderProc(Message);
      return;
    case WM_MOUSEACTIVATE:
      Message.Result = MA_NOACTIVATE;
      if (owner && IsWindowEnabled(owner)) SetForegroundWindow(owner);
      return;
    case WM_WINDOWPOSCHANGING: {
      auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam);
      const TacSkinRecords* s = SkinOfData(SkinData);
      if (sp && s && wp && (FormState() & FS_BLENDMOVING) && sp->ScreenSnap && !Zoomed(owner) &&
          !(wp->flags & SWP_NOMOVE)) {
        const TsSkinData& c = s->CommonSkinData;
        const TRect sh = ShadowSize();
        const TPoint d = c.ExDrawMode != 0 ? TPoint(DiffBorder(this) + c.ExContentOffs, DiffTitle(this) + c.ExContentOffs)
                                           : TPoint(sh.Left + DiffBorder(this), sh.Top + DiffTitle(this));
        int x = wp->x + d.X, y = wp->y + d.Y;
        sp->SnapPosition(x, y);
        wp->x = x - d.X;
        wp->y = y - d.Y;
      }
      OldBorderProc(Message);
      LastTopLeft = TPoint(AForm->Left(), AForm->Top());
      return;
    }
    case WM_WINDOWPOSCHANGED:
      OldBorderProc(Message);
      if (sp && !sp->FormDestroying() && owner && IsIconic(owner) && !sp->FormTimer &&
          !(FormState() & FS_ANIMMINIMIZING)) {
        sp->SetBGChanged(true);
        UpdateExBordersPos(false, 255);
      }
      return;
    case WM_NCHITTEST:
      if (MouseAboveTheShadow(Message)) {
        Message.Result = HTTRANSPARENT;
        return;
      }
      OldBorderProc(Message);
      Message.Result = kHtObject;
      return;
    case WM_NCMOUSEMOVE: {
      if (TsSkinManager* m = sp ? sp->Manager() : nullptr) m->SetActiveGraphControl(nullptr);
      POINT c{};
      GetCursorPos(&c);
      if (LeftPressed) {
        AForm->SetBounds(AForm->Left() + c.x - LastMousePos.X, AForm->Top() + c.y - LastMousePos.Y, AForm->Width(),
                         AForm->Height());
        LastMousePos = TPoint(c.x, c.y);
        return;
      }
      const int code = Ex_WMNCHitTest(Message);
      Message.Result = code;
      const bool hot = code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE || code == HTHELP ||
                       (code >= HTUDBTN && code <= HTTITLEITEM + 100);
      SetHotHT(hot ? code : 0, true);
      if (MaxMoving && sp && Zoomed(owner) && (std::abs(c.x - LastMousePos.X) > 5 || std::abs(c.y - LastMousePos.Y) > 6)) {
        // Dragging the caption of a maximized form restores it under the cursor.
        ExBorderShowing = true;
        sp->Form->SetWindowState(wsNormal);
        ExBorderShowing = false;
        const int w = sp->Form->Width();
        sp->Form->SetBounds(c.x - w / 2, c.y >= 0 && c.y <= 24 ? -8 : c.y - 8, w, sp->Form->Height());
        UpdateExBordersPos(true, 255);
        TMessage press = MakeMessage(WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(c.x, c.y));
        BorderProc(press);
        MaxMoving = false;
      }
      return;
    }
    case WM_NCLBUTTONDOWN: {
      if (MouseAboveTheShadow(Message)) return;
      ExBorderShowing = false;
      const int code = Ex_WMNCHitTest(Message);
      if (code == HTCAPTION && sp && Zoomed(owner) && !MaxMoving) {
        MaxMoving = true;
        POINT c{};
        GetCursorPos(&c);
        LastMousePos = TPoint(c.x, c.y);
        return;
      }
      if (code == HTSYSMENU) {
        toOwner(HTSYSMENU);
        return;
      }
      toOwner(MaxMoving ? Message.WParam : WPARAM(-1));
      return;
    }
    case WM_NCLBUTTONUP:
      if (MouseAboveTheShadow(Message)) return;
      MaxMoving = false;
      toOwner(WPARAM(-1));
      return;
    case WM_NCLBUTTONDBLCLK: {
      MaxMoving = false;
      const int code = Ex_WMNCHitTest(Message);
      Message.WParam = WPARAM(code);
      if (!sp || !owner) return;
      TCustomForm* f = sp->Form;
      if (code == HTCAPTION) {
        const bool zoomedOrIconic = IsZoomed(owner) || IsIconic(owner);
        const bool allowed = (f->BorderIcons().Contains(biSystemMenu) && sp->SystemMenu &&
                              (sp->SystemMenu->EnabledMax() || sp->SystemMenu->EnabledRestore())) ||
                             (f->BorderStyle() == bsNone && IsIconic(owner));
        if (allowed)
          SendMessageW(owner, WM_SYSCOMMAND, zoomedOrIconic ? SC_RESTORE : SC_MAXIMIZE, 0);
        else if (IsIconic(owner))
          SendMessageW(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
        if (sp->SystemMenu) sp->SystemMenu->UpdateItems(false);
        Message.WParam = 0;
      } else if (code == HTSYSMENU) {
        SendMessageW(owner, WM_SYSCOMMAND, SC_CLOSE, 0);
      } else if (f->BorderStyle() == bsSizeable && (code == HTLEFT || code == HTRIGHT || code == HTTOP || code == HTBOTTOM)) {
        // A border double-click spans one dimension over the work area; the next one gives it back.
        const bool horizontal = code == HTLEFT || code == HTRIGHT;
        const unsigned bit = horizontal ? FS_FULLWIDTH : FS_FULLHEIGHT;
        TRect work;
        GetFormWorkArea(f, work);
        TRect& nb = sp->NormalBounds;
        if (sp->FormState() & bit) {
          if (horizontal)
            f->SetBounds(nb.Left, f->Top(), nb.Right, f->Height());
          else
            f->SetBounds(f->Left(), nb.Top, f->Width(), nb.Bottom);
          sp->SetFormState(sp->FormState() & ~bit);
        } else {
          if (horizontal) {
            nb.Left = f->Left();
            nb.Right = f->Width();
            f->SetBounds(work.Left + DiffBorder(this), f->Top(), work.Width() - 2 * DiffBorder(this), f->Height());
          } else {
            nb.Top = f->Top();
            nb.Bottom = f->Height();
            f->SetBounds(f->Left(), work.Top + DiffTitle(this), f->Width(),
                         work.Height() - DiffTitle(this) - DiffBorder(this));
          }
          sp->SetFormState(sp->FormState() | bit);
        }
      }
      return;
    }
    case WM_NCRBUTTONDOWN:
      if (MouseAboveTheShadow(Message)) return;
      toOwner(WPARAM(Ex_WMNCHitTest(Message)));
      return;
    case WM_NCRBUTTONUP:
      if (MouseAboveTheShadow(Message)) return;
      toOwner(WPARAM(-1));
      return;
  }
  if (Message.Msg >= WM_MOUSEMOVE && Message.Msg <= WM_MBUTTONDBLCLK) {
    if (!MouseAboveTheShadow(Message)) return;  // the form's own part never reaches here
    if (TsSkinManager* m = sp ? sp->Manager() : nullptr) m->SetActiveGraphControl(nullptr);
    // A one-pixel hole under the mouse lets the next event through to the window below.
    acInMouseMsg = true;
    HRGN r = MakeRgn();
    if (!r) r = CreateRectRgn(0, 0, AForm->Width(), AForm->Height());
    const TPoint p = MessagePoint(Message);
    HRGN dot = CreateRectRgn(p.X, p.Y, p.X + 1, p.Y + 1);
    CombineRgn(r, r, dot, RGN_XOR);
    DeleteObject(dot);
    SetWindowRgn(AForm->Handle(), r, FALSE);
    ResetRgn = true;
    acInMouseMsg = false;
    return;
  }
  OldBorderProc(Message);
}

// ---- The provider's side ----

void TsSkinProvider::UpdateExBorders(bool Allow) {
  TsSkinManager* m = Manager();
  const bool nativeMax = m && m->Options.GetOption(TacOptions::NativeBordersMaximized) && Form &&
                         Form->HandleAllocated() && IsZoomed(Form->Handle());
  const bool child = Form && (Form->Parent() || Form->FormStyle() == fsMDIChild);
  if (Allow && Form && HaveBorder(this) && FDrawNonClientArea && !child && FAllowExtBorders && !nativeMax) {
    if (!BorderForm) {
      BorderForm = new TacBorderForm(this);
      BorderForm->SkinData = FCommonData.get();
      FLinesCount = -1;
      RgnChanged = true;
    }
    SetBGChanged(true);
    BorderForm->UpdateExBordersPos(true, 255);
  } else if (BorderForm) {
    delete std::exchange(BorderForm, nullptr);
    FLinesCount = -1;
    RgnChanged = true;
    SetBGChanged(true);
  }
}

void TsSkinProvider::PaintExBorderShadow(int W, int H) {
  const TacSkinRecords* s = Skin();
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!BorderForm || !s || !img) return;
  TBitmap* t = FormActive ? s->ShdaTemplate.get() : s->ShdiTemplate.get();
  BorderForm->ShadowTemplate = t;
  if (!t || t->Empty()) return;
  const TsSkinData& c = s->CommonSkinData;
  const TRect sh = ShadowSize();
  const int ex = s->ConstData.ExBorder;
  const bool valid = s->IsValidImgIndex(ex);
  const TRect full(0, 0, W, H), src(0, 0, t->Width(), t->Height());
  if (c.ExDrawMode == 1) {
    if (!valid) return;
    const TsMaskData& m = s->ma[size_t(ex)];
    const int ch = CaptionHeight(true), bw = BorderWidth(true);
    const int mode = m.DrawMode & 1;
    CopyBitmapNineParts(img, t, full, src,
                        TRect(m.WL, std::min<int>(m.WT, (H - ch) / 2 + ch), m.WR, std::min<int>(m.WB, (H - ch) / 2)),
                        TRect(bw + sh.Left, sh.Top + ch, bw + sh.Right, bw + sh.Bottom), TRect(mode, mode, mode, mode),
                        false, false);
    return;
  }
  TRect margins, modes;
  if (!valid) {
    const int d = (t->Width() - 1) / 2;
    margins = TRect(d, d, d, d);
    modes = TRect(1, 1, 1, 1);
  } else {
    const TsMaskData& m = s->ma[size_t(ex)];
    margins = TRect(m.WL, m.WT, m.WR, m.WB);
    modes = TRect(m.DrawMode, m.DrawMode, m.DrawMode, m.DrawMode);
  }
  CopyBitmapNineParts(img, t, full, src, margins, sh, modes, false, false);
}

// ---- Caption cover ----

void TsSkinProvider::ShowCaptionCover() {
  if (!FDrawNonClientArea || fAnimating || !Form || !Form->HandleAllocated()) return;
  HWND h = Form->Handle();
  if (IsIconic(h) || !Form->Showing() || (BorderForm && !Form->Menu()) || (FFormState & FS_BLENDMOVING)) return;
  if (!CaptForm) {
    CaptForm = new TacCaptForm(nullptr);
    CaptForm->SP = this;
    if (!CaptForm->Handle()) {
      delete std::exchange(CaptForm, nullptr);
      return;
    }
  }
  HWND c = CaptForm->Handle();
  RECT wr{};
  GetWindowRect(h, &wr);
  TRect b;
  if (BorderForm) {
    // Only the menu line needs covering.
    const int m = LinesCount() * MenuHeight(), sbw = SysBorderWidth(h, BorderForm, false);
    b = Bounds(wr.left + sbw, wr.top + OffsetY() - m - ShadowSize().Top - DiffTitle(BorderForm) - 1,
               (wr.right - wr.left) - 2 * sbw, m + 2);
  } else {
    b = TRect(wr);
    HRGN rgn = MakeRgn(0, 0);
    // Windows above the form keep their place on screen.
    for (HWND above = GetWindow(h, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
      if (above == c || !IsWindowVisible(above)) continue;
      RECT ar{};
      GetWindowRect(above, &ar);
      HRGN cut = CreateRectRgn(ar.left - wr.left, ar.top - wr.top, ar.right - wr.left, ar.bottom - wr.top);
      CombineRgn(rgn, rgn, cut, RGN_DIFF);
      DeleteObject(cut);
    }
    POINT o{0, 0};
    ClientToScreen(h, &o);
    HRGN client = CreateRectRgn(o.x - wr.left, o.y - wr.top, o.x - wr.left + Form->ClientWidth(),
                                o.y - wr.top + Form->ClientHeight());
    CombineRgn(rgn, rgn, client, RGN_DIFF);
    DeleteObject(client);
    SetWindowRgn(c, rgn, FALSE);
  }
  HWND after = (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_TOPMOST) ? HWND_TOPMOST : HWND_TOP;
  CaptForm->SetBounds(b.Left, b.Top, b.Width(), b.Height());
  SetWindowPos(c, after, b.Left, b.Top, b.Width(), b.Height(), 0x658);
  ShowWindow(c, SW_SHOWNOACTIVATE);
  RedrawWindow(c, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void TsSkinProvider::HideCaptionCover() { delete std::exchange(CaptForm, nullptr); }

void TacCaptForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = BeginPaint(FHandle, &ps);
      TBitmap* img = SP && SP->SkinData() ? SP->SkinData()->FCacheBmp.get() : nullptr;
      if (img) {
        int x = 0, y = 0;
        if (SP->BorderForm) {
          x = SP->OffsetX() - FormBorderWidth(SP->Form);
          y = SP->OffsetY() - SP->LinesCount() * SP->MenuHeight() - FormBorderWidth(SP->Form) - 1;
          HWND h = SP->Form->Handle();
          if (IsZoomed(h) && (GetWindowLongPtrW(h, GWL_STYLE) & (WS_BORDER | WS_DLGFRAME))) y += 4;
        }
        BitBlt(dc, 0, 0, Width(), Height(), img->Canvas()->Handle(), x, y, SRCCOPY);
      }
      EndPaint(FHandle, &ps);
      return;
    }
    case WM_ERASEBKGND:
    case WM_NCPAINT:
      Message.Result = 1;
      return;
  }
  TacGlowForm::WndProc(Message);
}
