// The mouse on a skinned frame: hit codes, the hot and pressed title
// elements, clicks carried out on release over the element that was pressed,
// double clicks, the right button and the system menu. Moving and sizing stay
// the layer's modal loop, reached through the previous window procedure.

#include <algorithm>

#include "platform/win/Menu.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinMenus.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

namespace {

constexpr WPARAM SC_CONTEXTHELP = 0xF180;  // the help button's command

bool Iconic(TCustomForm* F) { return F->HandleAllocated() && IsIconic(F->Handle()); }
bool Zoomed(TCustomForm* F) { return F->HandleAllocated() && IsZoomed(F->Handle()); }
bool IsMDIChild(TCustomForm* F) { return F->FormStyle() == fsMDIChild; }

bool IsSysButton(int HT) {
  return HT == HTMINBUTTON || HT == HTMAXBUTTON || HT == HTCLOSE || HT == HTHELP || HT == HTMDICLOSE ||
         HT == HTMDIMAX || HT == HTMDIMIN;
}

// The hit code a button message carries (its WParam as a signed code).
int CodeOf(const TMessage& M) { return int(intptr_t(M.WParam)); }

// The screen point of a non-client mouse message.
TPoint PosOf(const TMessage& M) { return TPoint(GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)); }

// MDI: the active child of the MDI form; the MDI client fills this in.
HWND ActiveMDIChildHandle(TsSkinProvider*) { return nullptr; }

}  // namespace

// ---- Frame coordinates ----

void TsSkinProvider::FormOrigin(TPoint& P) {
  P = TPoint(0, 0);
  if (!Form || !Form->HandleAllocated()) return;
  HWND h = Form->Handle();
  if (IsMDIChild(Form)) {
    POINT c{0, 0};
    ClientToScreen(h, &c);
    P.X = c.x - SysBorderWidth(h, BorderForm, true);
    P.Y = c.y - SysBorderWidthNoEx(h, BorderForm, true);
    if (!Iconic(Form)) P.Y -= CaptionHeight(true);
    return;
  }
  RECT r;
  GetWindowRect(h, &r);
  P = TPoint(r.left, r.top);
}

void TsSkinProvider::ScreenToFrame(int X, int Y, TPoint& P) {
  TPoint o;
  FormOrigin(o);
  P = TPoint(X - o.X, Y - o.Y);
}

// ---- Hot and pressed elements ----

namespace {

// The record of a system or user button for a code, nullptr for other codes.
TsCaptionButton* ButtonOf(TsSkinProvider* sp, int HT) {
  switch (HT) {
    case HTMINBUTTON: return &sp->ButtonMin;
    case HTMAXBUTTON: return &sp->ButtonMax;
    case HTCLOSE: return &sp->ButtonClose;
    case HTHELP: return &sp->ButtonHelp;
    case HTMDICLOSE: return &sp->MDIClose;
    case HTMDIMAX: return &sp->MDIMax;
    case HTMDIMIN: return &sp->MDIMin;
  }
  TsTitleButtons* user = sp->TitleButtons();
  if (user && HT >= HTUDBTN && HT < HTUDBTN + user->Count()) return &user->Items(HT - HTUDBTN)->Data;
  return nullptr;
}

TsTitleButton* UserButtonOf(TsSkinProvider* sp, int HT) {
  TsTitleButtons* user = sp->TitleButtons();
  return user && HT >= HTUDBTN && HT < HTUDBTN + user->Count() ? user->Items(HT - HTUDBTN) : nullptr;
}

}  // namespace

void TsSkinProvider::SetHotHT(int i, bool Repaint) {
  if (i == CurrentHT || !FDrawNonClientArea) return;
  // A hot item of the skinned menu line is drawn with the menu line.
  HotItem.Item = nullptr;
  FHintTimer.reset();
  if (CurrentHT > 0) {
    if (TsCaptionButton* b = ButtonOf(this, CurrentHT)) {
      b->cpState = 0;
      if (TsTitleButton* u = UserButtonOf(this, CurrentHT)) HideButtonHint(u);
    }
    TitleItemLeave(this, CurrentHT);
    if (Repaint) RepaintButton(CurrentHT);
  }
  CurrentHT = i;
  if (biClicked || i <= 0) return;
  TsCaptionButton* b = ButtonOf(this, i);
  if (b) {
    b->cpState = 1;
    if (TsTitleButton* u = UserButtonOf(this, i)) ShowButtonHint(u);
  } else if (!TitleItemEnter(this, i)) {
    return;
  }
  if (Repaint) RepaintButton(i);
  // The layer tells the frame when the mouse leaves it only when asked.
  if (Form->HandleAllocated()) {
    TRACKMOUSEEVENT t{};
    t.cbSize = sizeof(t);
    t.dwFlags = TME_LEAVE | TME_NONCLIENT;
    t.hwndTrack = Form->Handle();
    TrackMouseEvent(&t);
  }
}

void TsSkinProvider::SetPressedHT(int HT) {
  if (HT != CurrentHT && CurrentHT != 0) {
    if (TsCaptionButton* b = ButtonOf(this, CurrentHT)) {
      b->cpState = 0;
      RepaintButton(CurrentHT);
    }
  }
  CurrentHT = HT;
  TsCaptionButton* b = ButtonOf(this, HT);
  const bool maxAllowed = SystemMenu && (SystemMenu->EnabledMax() || (Zoomed(Form) && SystemMenu->EnabledRestore()));
  switch (HT) {
    case HTMAXBUTTON:
      if (!maxAllowed) {
        CurrentHT = 0;
        return;
      }
      break;
    case HTCLOSE:
      if (!SystemMenu || !SystemMenu->EnabledClose()) {
        CurrentHT = 0;
        return;
      }
      break;
    case HTMDIMAX:
      if (!SystemMenu || !SystemMenu->EnabledMax()) b = nullptr;
      break;
  }
  // Title-bar items are pressed through the title-bar component.
  if (b) b->cpState = 2;
  biClicked = true;
  FPressedHT = HT;
  RepaintButton(HT);
}

// ---- Hit test ----

int TsSkinProvider::ResolveHitCode(int Code, LPARAM ScreenPos) {
  if (Code != -1 || !BorderForm || !BorderForm->AForm || !BorderForm->AForm->HandleAllocated()) return Code;
  TMessage m = MakeMessage(WM_NCHITTEST, 0, ScreenPos);
  return BorderForm->Ex_WMNCHitTest(m);
}

void TsSkinProvider::WMNCHitTest(TMessage& Message) {
  CheckRTInit();
  if (CaptionHeight(true) == 0 || !FDrawNonClientArea) {
    CallOld(Message);
    return;
  }
  const int code = HitTest(Message);
  if ((code == HTMINBUTTON || code == HTMAXBUTTON || code == HTCLOSE) && IsMDIChild(Form)) UpdateSysMenuStyle(true);
  const bool system = code == HTNOWHERE || code == HTCLIENT || code == HTCAPTION || code == HTMENU ||
                      (code >= HTLEFT && code <= HTBOTTOMRIGHT);
  if (!system) {
    Message.Result = code;
    return;
  }
  const TacSkinRecords* s = Skin();
  const int grip = s ? s->ConstData.GripRightBottom : -1;
  if (GripVisible() && s && s->IsValidImgIndex(grip)) {
    TPoint g = GripPos(grip);
    if (BorderForm) {
      const TRect sh = ShadowSize();
      g.X -= DiffBorder(BorderForm) + sh.Left;
      g.Y -= DiffTitle(BorderForm) + sh.Top;
    }
    TPoint p;
    ScreenToFrame(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam), p);
    if (p.X > g.X && p.Y > g.Y) {
      Message.Result = HTBOTTOMRIGHT;
      return;
    }
  }
  CallOld(Message);
}

// ---- Moves and leaves ----

void TsSkinProvider::WMNCMouseMove(TMessage& Message) {
  if (!Form->Enabled()) return;
  if (TsSkinManager* m = Manager()) m->SetActiveControl(Form->Handle());
  TMessage hit = MakeMessage(WM_NCHITTEST, 0, Message.LParam);
  const int code = HitTest(hit);
  Message.WParam = WPARAM(code);
  const bool element = IsSysButton(code) || (code >= HTUDBTN && code <= HTUDBTN + 100) ||
                       (code >= HTTITLEITEM && code <= HTTITLEITEM + 100);
  if (element) {
    SetHotHT(code, true);
    return;
  }
  SetHotHT(0, true);
  CallOld(Message);
}

void TsSkinProvider::WMMouseMove(TMessage& Message) {
  CallOld(Message);
  SetHotHT(0, true);
  if (TsSkinManager* m = DefaultSkinManager(); m && !(ComponentState() & csDesigning) && Form->HandleAllocated())
    m->SetActiveControl(Form->Handle());
}

void TsSkinProvider::WMMouseLeave(TMessage& Message) {
  // With a border window, a hot title-bar item keeps its state until the border window says otherwise.
  if (!(BorderForm && CurrentHT >= HTTITLEITEM)) SetHotHT(-1, true);
  biClicked = false;
  FPressedHT = 0;
  CallOld(Message);
}

void TsSkinProvider::CMMouseEnter(TMessage& Message) {
  if (BorderForm) SetHotHT(-1, true);
  biClicked = false;
  FPressedHT = 0;
  CallOld(Message);
  if (TsSkinManager* m = Manager(); m && Form->HandleAllocated()) m->SetActiveControl(Form->Handle());
  // The border window rebuilds its region here once extended borders ask for it.
}

void TsSkinProvider::WMSetCursor(TMessage& Message) {
  // A title-bar item keeps the cursor it set when it became hot.
  if (CurrentHT >= HTTITLEITEM && CurrentHT <= HTTITLEITEM + 255 && FTitleBar) return;
  CallOld(Message);
}

// ---- Left button ----

void TsSkinProvider::WMNCLButtonDown(TMessage& Message) {
  int code = CodeOf(Message);
  const TPoint pos = PosOf(Message);
  TPoint o;
  if (!FDrawNonClientArea || (Application && Application->Terminated())) {
    if (code != HTSYSMENU) {
      CallOld(Message);
      return;
    }
    SetHotHT(0, true);
    biClicked = false;
    FormOrigin(o);
    HWND h = Form->Handle();
    if (IsMDIChild(Form))
      DropSysMenu(o.X, o.Y + CaptionHeight(true) + 4);
    else
      DropSysMenu(o.X + SysBorderWidth(h, BorderForm, true), o.Y + BorderHeight(true) + FIconRect.Height() +
                                                                  SysBorderWidthNoEx(h, BorderForm, true));
    return;
  }
  // Popup forms of the popup controller close here once it exists.
  if (BorderForm) {
    if (code == HTBORDER) {
      CallOld(Message);
      return;
    }
    code = ResolveHitCode(code, Message.LParam);
  }
  if (code == HTSYSMENU) {
    Message.Result = 0;
    CallOld(Message);
    if (Message.Result != 0) return;
    SetHotHT(0, true);
    biClicked = false;
    TsSkinManager* m = Manager();
    if (!m || !m->SkinnedPopups()) {
      WaitProcessingMessages(200);
      if (FCommonData->Updating()) return;
    }
    FormOrigin(o);
    HWND h = Form->Handle();
    if (!IsMDIChild(Form))
      DropSysMenu(o.X + SysBorderWidth(h, BorderForm, false),
                  o.Y + BorderHeight(true) + FIconRect.Height() + SysBorderWidthNoEx(h, BorderForm, true));
    else if (MDISkinProvider)
      DropSysMenu(o.X, o.Y + SysCaptionHeight(Form) + 4 - (Iconic(Form) ? 16 : 0));
    return;
  }
  if (code == HTMENU) {
    CallOld(Message);
    return;
  }
  if (IsSysButton(code)) {
    if (code == HTMDIMIN && ChildProvider && ChildProvider->SystemMenu &&
        !(ChildProvider->SystemMenu->EnabledMin() && ChildProvider->SystemMenu->EnabledRestore()))
      return;
    SetPressedHT(code);
    return;
  }
  if (TsTitleButton* u = UserButtonOf(this, code)) {
    SetPressedHT(code);
    u->MouseDown(mbLeft, TShiftState(), pos.X, pos.Y);
    HideButtonHint(u);
    return;
  }
  if (code >= HTTITLEITEM && code <= HTTITLEITEM + 255 && FTitleBar) {
    TitleItemPress(this, code, pos);
    if (biClicked) FPressedHT = code;
    return;
  }
  // Anything else: the caption, the borders, the client.
  if (Iconic(Form)) {
    Form->Perform(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, Message.LParam);
    return;
  }
  SetHotHT(0, true);
  if (Zoomed(Form)) {
    TPoint p;
    ScreenToFrame(pos.X, pos.Y, p);
    if (p.Y <= SysBorderWidthNoEx(Form->Handle(), BorderForm, true) + CaptionHeight(true)) {
      CallOld(Message);
      if (Form->Enabled() && !Form->Active() && Form->CanFocus()) Form->SetFocus();
      return;
    }
  }
  BOOL fullDrag = FALSE;
  SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
  // Glued forms are collected here once they exist.
  TsSkinManager* m = Manager();
  if (fullDrag && code == HTCAPTION && !IsMDIChild(Form) && m && m->AnimEffects.BlendOnMoving.Active &&
      m->AnimEffects.BlendOnMoving.BlendValue != 255 && AllowBlendOnMoving) {
    StartMoveWithBlend();
    return;
  }
  CallOld(Message);
}

void TsSkinProvider::WMNCLButtonUp(TMessage& Message) {
  if (!FDrawNonClientArea || !Form->Enabled()) {
    CallOld(Message);
    return;
  }
  // A client-area release carries key states, never a hit code.
  int code = Message.Msg == WM_LBUTTONUP ? HTCLIENT : CodeOf(Message);
  if (BorderForm) code = ResolveHitCode(code, Message.LParam);
  const TPoint pos = PosOf(Message);
  const bool clicked = biClicked && code == FPressedHT;
  if (biClicked && code != FPressedHT && (IsSysButton(code) || UserButtonOf(this, code))) {
    // Released over another element than the one pressed: nothing is carried out.
    biClicked = false;
    FPressedHT = 0;
    SetHotHT(0, true);
    CallOld(Message);
    return;
  }
  HWND h = Form->Handle();
  switch (code) {
    case HTMINBUTTON: {
      TPoint p;
      if (BorderForm) {
        RECT r;
        GetWindowRect(BorderForm->AForm && BorderForm->AForm->HandleAllocated() ? BorderForm->AForm->Handle() : h, &r);
        p = TPoint(pos.X - r.left, pos.Y - r.top);
      } else {
        ScreenToFrame(pos.X, pos.Y, p);
      }
      if (!clicked || !ButtonMin.cpRect.Contains(p)) {
        biClicked = false;
        SetHotHT(0, true);
        CallOld(Message);
        return;
      }
      biClicked = false;
      SetHotHT(0, true);
      if (Application && Application->MainForm() == Form) {
        SkipAnimation = true;
        SendSkinMessage(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        SkipAnimation = false;
      } else {
        SendSkinMessage(h, WM_SYSCOMMAND, Iconic(Form) ? SC_RESTORE : SC_MINIMIZE, 0);
      }
      SetBGChanged(true);
      break;
    }
    case HTMAXBUTTON:
      if (!SystemMenu || !(SystemMenu->EnabledMax() || (Zoomed(Form) && SystemMenu->EnabledRestore()))) break;
      if (clicked) {
        SetHotHT(0, true);
        RgnChanged = true;
        if (IsMDIChild(Form)) ChildProvider = nullptr;
        biClicked = false;
        SendSkinMessage(h, WM_SYSCOMMAND, Zoomed(Form) ? SC_RESTORE : SC_MAXIMIZE, 0);
        if (SystemMenu) SystemMenu->UpdateItems(false);
      } else {
        SetHotHT(0, true);
        CallOld(Message);
      }
      break;
    case HTCLOSE:
      if (!SystemMenu || !SystemMenu->EnabledClose() || !clicked) break;
      ButtonClose.cpState = 0;
      biClicked = false;
      SendSkinMessage(h, WM_SYSCOMMAND, SC_CLOSE, 0);
      if (FormDestroying()) return;
      KillAnimations();
      if (Form->HandleAllocated() && Form->Visible() && FCommonData) SetHotHT(0, true);
      break;
    case HTHELP:
      if (clicked) {
        biClicked = false;
        SendSkinMessage(h, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        SetHotHT(0, true);
        if (SystemMenu) SystemMenu->UpdateItems(false);
        Form->Perform(WM_NCPAINT, 0, 0);
      } else {
        SetHotHT(0, true);
      }
      break;
    case HTMDICLOSE:
    case HTMDIMAX:
    case HTMDIMIN:
      // MDI: the buttons of a maximized child in the menu line act on the active child.
      if (clicked) {
        biClicked = false;
        if (HWND child = ActiveMDIChildHandle(this)) {
          if (code == HTMDIMIN && MDISkinProvider) MDISkinProvider->SkinData()->BeginUpdate();
          SendMessageW(child, WM_SYSCOMMAND,
                       code == HTMDICLOSE ? SC_CLOSE : code == HTMDIMAX ? SC_RESTORE : SC_MINIMIZE, 0);
        }
      }
      biClicked = false;
      SetHotHT(0, code == HTMDIMIN);
      break;
    default:
      if (TsTitleButton* u = UserButtonOf(this, code)) {
        if (clicked) u->MouseUp(mbLeft, TShiftState(), pos.X, pos.Y);
        biClicked = false;
        SetHotHT(0, true);
        break;
      }
      if (code >= HTTITLEITEM && code <= HTTITLEITEM + 255 && FTitleBar) {
        TitleItemRelease(this, code, pos, clicked);
        biClicked = false;
        break;
      }
      if (Iconic(Form) && MDISkinProvider && IsMDIChild(Form)) {
        TPoint o;
        FormOrigin(o);
        POINT c;
        GetCursorPos(&c);
        DropSysMenu(o.X, c.y);
      } else {
        CallOld(Message);
      }
      biClicked = false;
  }
  FPressedHT = biClicked ? FPressedHT : 0;
}

void TsSkinProvider::WMNCLButtonDblClk(TMessage& Message) {
  switch (CodeOf(Message)) {
    case HTCAPTION: {
      const bool iconic = Iconic(Form);
      bool allowed = Form->BorderIcons().Contains(biSystemMenu) && SystemMenu &&
                     (SystemMenu->EnabledMax() || SystemMenu->EnabledRestore());
      if (!allowed) allowed = Form->BorderStyle() == bsNone && iconic;
      HWND h = Form->Handle();
      if (allowed) {
        SendSkinMessage(h, WM_SYSCOMMAND, Zoomed(Form) || iconic ? SC_RESTORE : SC_MAXIMIZE, 0);
        if (SystemMenu) SystemMenu->UpdateItems(false);
      } else if (iconic) {
        SendSkinMessage(h, WM_SYSCOMMAND, SC_RESTORE, 0);
        if (SystemMenu) SystemMenu->UpdateItems(false);
      }
      Message.WParam = 0;
      return;
    }
    case HTSYSMENU: {
      TsSkinManager* m = Manager();
      if (!m || !m->SkinnedPopups()) FCommonData->BeginUpdate();
      Form->Close();
      return;
    }
  }
  CallOld(Message);
}

// ---- Right button ----

void TsSkinProvider::WMNCRButtonDown(TMessage& Message) {
  const int code = CodeOf(Message);
  if (code == HTCAPTION || code == HTSYSMENU) {
    RightPressed = true;
    return;
  }
  if (code >= HTTITLEITEM && code <= HTTITLEITEM + 255 && FTitleBar) {
    RightPressed = true;
    TitleItemRightPress(this, code, PosOf(Message));
    return;
  }
  CallOld(Message);
}

void TsSkinProvider::WMNCRButtonUp(TMessage& Message) {
  if (!HaveBorder(this)) {
    CallOld(Message);
    RightPressed = false;
    return;
  }
  int code = CodeOf(Message);
  if (BorderForm && code == -1) {
    code = ResolveHitCode(code, Message.LParam);
  } else {
    TMessage hit = MakeMessage(WM_NCHITTEST, 0, Message.LParam);
    code = HitTest(hit);
  }
  Message.WParam = WPARAM(code);
  if ((code == HTCAPTION || code == HTSYSMENU) && RightPressed) {
    SetHotHT(0, true);
    biClicked = false;
    RightPressed = false;
    const TPoint p = PosOf(Message);
    DropSysMenu(p.X, p.Y);
  } else if (TitleBarItemOf(this, code)) {
    TitleItemRightRelease(this, code, PosOf(Message));
  }
  RightPressed = false;
}

// ---- System menu ----

void TsSkinProvider::DropSysMenu(int X, int Y) {
  if (!SystemMenu) PrepareForm();
  if (!SystemMenu || !Form->HandleAllocated()) return;
  if (GetActiveWindow() != Form->Handle()) return;
  TsSkinManager* m = Manager();
  if (m && m->SkinnedPopups()) {
    SystemMenu->UpdateItems(SystemMenu->ExtItemsCount > 0 || (FSysSubMenu && FSysSubMenu->PopupMenu));
    // The skin items are built afresh each time (the old set goes first).
    if (MakeSkinMenu && SystemMenu->Items()->Count() > 0) SystemMenu->MakeSkinItems();
    if (m->SkinableMenus()) m->SkinableMenus()->HookPopupMenu(SystemMenu, true);
    SystemMenu->Popup(X, Y);
    return;
  }
  // The system's own menu, its items enabled as the skinned one would show them.
  HWND h = Form->Handle();
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  SetWindowLongPtrW(h, GWL_STYLE, style & ~LONG_PTR(WS_VISIBLE));
  HMENU menu = GetSystemMenu(h, FALSE);
  auto able = [&](UINT cmd, bool on) { EnableMenuItem(menu, cmd, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)); };
  const bool iconic = Iconic(Form);
  able(SC_RESTORE, SystemMenu->VisibleRestore() && SystemMenu->EnabledRestore());
  able(SC_MOVE, SystemMenu->EnabledMove() && !iconic);
  able(SC_SIZE, SystemMenu->VisibleSize() && SystemMenu->EnabledSize() && Form->WindowState() == wsNormal);
  able(SC_MINIMIZE, SystemMenu->VisibleMin() && SystemMenu->EnabledMin());
  able(SC_MAXIMIZE, SystemMenu->VisibleMax() && SystemMenu->EnabledMax());
  able(SC_CLOSE, SystemMenu->VisibleClose() && SystemMenu->EnabledClose());
  SetWindowLongPtrW(h, GWL_STYLE, GetWindowLongPtrW(h, GWL_STYLE) | WS_VISIBLE);
  const int cmd = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, X, Y, 0, h, nullptr));
  if (cmd > 0) PostMessageW(h, WM_SYSCOMMAND, WPARAM(cmd), 0);
}
