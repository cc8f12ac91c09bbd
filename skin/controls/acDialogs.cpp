#include "skin/controls/acDialogs.h"

#include <algorithm>

#include "skin/controls/acHookProvider.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sConst.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sSkinMenus.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr WPARAM kScContextHelp = 0xF180;
constexpr int kDefaultButtonSize = 21;  // a title button without a glyph in the skin
enum : int { tgCloseAlone, tgClose, tgMax, tgMin, tgNormal, tgHelp, tgSmallClose, tgSmallMax, tgSmallMin,
             tgSmallNormal, tgSmallHelp };

POINT CursorOf(const TMessage& Message) {
  return POINT{short(LOWORD(Message.LParam)), short(HIWORD(Message.LParam))};
}

String CaptionText(TacCaption Index) {
  const String& c = acCaptions[size_t(Index)];
  return c.empty() ? String(acOwnCaptions[Index]) : c;
}

constexpr WPARAM ICON_SMALL = 0, ICON_BIG = 1;
constexpr WPARAM kScDragMove = 0xF012;  // move by the caption
constexpr unsigned kBlendInterval = 12;

}  // namespace

// ---- Life ----

TacDialogWnd::~TacDialogWnd() {
  if (FBrush) DeleteObject(FBrush);
  MoveTimer.reset();
  SystemMenu.reset();
}

void TacDialogWnd::AfterCreation() {
  TacScrollWnd::AfterCreation();
  Initialized = false;
  RgnChanged = true;
  BorderStyle = acbsSingle;
  FFormActive = true;
  TitleIndex = -1;
  if (SkinData) SkinData->FUpdating = true;
  SystemMenu = std::make_unique<TacSystemMenu>(this);
  if (const TsSkinManager* m = SkinManagerOf(SkinManager); m && m->SkinnedPopups())
    m->SkinableMenus()->HookPopupMenu(SystemMenu.get(), true);
  UpdateIconsIndexes();
}

void TacDialogWnd::InitParams() {
  dwStyle = DWORD(GetWindowLongPtrW(CtrlHandle, GWL_STYLE));
  dwExStyle = DWORD(GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE));
  if ((dwStyle & 0x80C00000u) == 0x80000000u)
    BorderStyle = acbsNone;
  else if (dwStyle & WS_THICKFRAME)
    BorderStyle = acbsSizeable;
  else if (dwStyle & DS_MODALFRAME)
    BorderStyle = acbsDialog;
  else
    BorderStyle = acbsSizeable;
  PrepareTitleGlyph();
  UpdateIconsIndexes();
  if (SystemMenu) SystemMenu->UpdateItems();
  // The system must draw no caption buttons over the skinned ones.
  SetWindowLongPtrW(CtrlHandle, GWL_STYLE, LONG_PTR(dwStyle & ~DWORD(WS_SYSMENU)));
}

void TacDialogWnd::UpdateIconsIndexes() {
  if (!SkinManager || SkinManager->ConstData.IndexGLobalInfo < 0) return;
  ButtonMin.cpHitCode = HTMINBUTTON;
  ButtonMax.cpHitCode = HTMAXBUTTON;
  ButtonClose.cpHitCode = HTCLOSE;
  ButtonHelp.cpHitCode = HTHELP;
  const bool large = BorderStyle == acbsDialog || BorderStyle == acbsSingle || BorderStyle == acbsSizeable;
  ButtonClose.cpGlyphType = large ? ((VisibleMax() || VisibleMin()) ? tgClose : tgCloseAlone) : tgSmallClose;
  ButtonMin.cpGlyphType = large ? tgMin : tgSmallMin;
  ButtonMax.cpGlyphType = large ? tgMax : tgSmallMax;
  ButtonHelp.cpGlyphType = large ? tgHelp : tgSmallHelp;
  TitleIndex = SkinManager->ConstData.Sections[ssDialogTitle];
}

void TacDialogWnd::PrepareTitleGlyph() {
  TitleIcon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, WM_GETICON, ICON_SMALL, 0));
  if (!TitleIcon) TitleIcon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, WM_GETICON, ICON_BIG, 0));
}

// ---- Metrics ----

TRect TacDialogWnd::IconRect() const {
  const int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
  const int left = BorderWidth() + (SkinManager ? SkinManager->CommonSkinData.BILeftMargin : 0);
  const int top = (BorderWidth() + CaptionHeight() - cy) / 2;
  return TRect(left, top, left + cx, top + cy);
}

int TacDialogWnd::CaptionHeight(bool) const {
  const DWORD style = DWORD(GetWindowLongPtrW(CtrlHandle, GWL_STYLE));
  if (!(style & WS_CAPTION) && !IsIconic(CtrlHandle)) return 0;
  return GetSystemMetrics(BorderStyle == acbsToolWindow || BorderStyle == acbsSizeToolWin ? SM_CYSMCAPTION
                                                                                            : SM_CYCAPTION);
}

int TacDialogWnd::BorderWidth() const {
  RECT wr{}, cr{};
  GetWindowRect(CtrlHandle, &wr);
  GetClientRect(CtrlHandle, &cr);
  return ((wr.right - wr.left) - (cr.right - cr.left)) / 2;
}

int TacDialogWnd::OffsetX() const { return BorderWidth(); }

int TacDialogWnd::OffsetY() const {
  RECT wr{}, cr{};
  GetWindowRect(CtrlHandle, &wr);
  GetClientRect(CtrlHandle, &cr);
  return (wr.bottom - wr.top) - (cr.bottom - cr.top) - (CaptionHeight() ? BorderWidth() : 0);
}

int TacDialogWnd::SysButtonWidth(const TacDialogButton& Btn) const {
  if (!SkinManager || Btn.cpGlyphType < 0) return kDefaultButtonSize;
  const int mask = SkinManager->ConstData.TitleGlyphs[size_t(Btn.cpGlyphType)];
  return SkinManager->IsValidImgIndex(mask) ? MaskSize(SkinManager->ma[size_t(mask)]).X : kDefaultButtonSize;
}

int TacDialogWnd::ButtonHeight(const TacDialogButton& Btn) const {
  if (!SkinManager || Btn.cpGlyphType < 0) return kDefaultButtonSize;
  const int mask = SkinManager->ConstData.TitleGlyphs[size_t(Btn.cpGlyphType)];
  return SkinManager->IsValidImgIndex(mask) ? MaskSize(SkinManager->ma[size_t(mask)]).Y : kDefaultButtonSize;
}

int TacDialogWnd::TitleBtnsWidth() const {
  if (!VisibleClose()) return 0;
  int w = SysButtonWidth(ButtonClose);
  if (VisibleMax()) w += SysButtonWidth(ButtonMax);
  if (VisibleMin()) w += SysButtonWidth(ButtonMin);
  if (VisibleHelp()) w += SysButtonWidth(ButtonHelp);
  return w;
}

bool TacDialogWnd::EnabledClose() const {
  if (!VisibleClose()) return false;
  WNDCLASSEXW wc;
  const String name = GetWndClassName(CtrlHandle);
  return !GetClassInfoExW(nullptr, name.c_str(), &wc) || !(wc.style & CS_NOCLOSE);
}

bool TacDialogWnd::EnabledMax() const {
  return VisibleMax() && !IsZoomed(CtrlHandle) &&
         (BorderStyle == acbsSingle || BorderStyle == acbsSizeable || BorderStyle == acbsSizeToolWin);
}

// ---- Painting ----

void TacDialogWnd::PaintAll() {
  UpdateWndGeometry(this);
  if (!SkinData || (FormState & kBlendMoving)) return;
  const int W = WndSize.cx, H = WndSize.cy;
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(W, H);
  const int headerBottom = BorderWidth() + CaptionHeight();
  if (SkinData->BGChanged && SkinManager && SkinManager->IsValidSkinIndex(SkinData->SkinIndex)) {
    RgnChanged = true;
    PaintControlItem(*SkinData, EmptyCI, bmp, TPoint(0, 0), TRect(0, 0, W, H), 0, true);
    if (CaptionHeight()) {
      PaintTitle(bmp, headerBottom);
      PaintBorderIcons(bmp);
    }
  }
  SkinData->BGChanged = false;
}

void TacDialogWnd::PaintTitle(TBitmap* Bmp, int HeaderBottom) {
  if (SkinManager->IsValidSkinIndex(TitleIndex))
    PaintSkinItem(TitleIndex, EmptyCI, -1, -1, SkinManager, Bmp, TPoint(0, 0), TRect(0, 0, WndSize.cx, HeaderBottom), 0);
  const TRect icon = IconRect();
  if (TitleIcon)
    DrawIconEx(Bmp->Canvas()->Handle(), icon.Left, icon.Top, TitleIcon, icon.Width(), icon.Height(), 0, nullptr,
               DI_NORMAL);
  // The caption, right of the icon and left of the title buttons.
  TRect t((TitleIcon ? icon.Right : BorderWidth() + SkinManager->CommonSkinData.BILeftMargin) + 4, 2,
          WndSize.cx - TitleBtnsWidth() - 6, HeaderBottom);
  if (t.Right <= t.Left || t.Bottom <= t.Top) return;
  char text[256] = "";
  GetWindowTextW(CtrlHandle, text, sizeof text);
  const int index = SkinManager->IsValidSkinIndex(TitleIndex) ? TitleIndex : SkinData->SkinIndex;
  HDC dc = Bmp->Canvas()->Handle();
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, SkinManager->gd[size_t(index)].Props[0].FontColor.Color);
  RECT r{t.Left, t.Top, t.Right, t.Bottom};
  UINT flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS;
  if (dwExStyle & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) flags |= DT_RIGHT | DT_RTLREADING;
  DrawText(dc, text, -1, &r, flags);
  SelectObject(dc, oldFont);
}

void TacDialogWnd::PaintBorderIcons(TBitmap* Bmp) {
  const auto& common = SkinManager->CommonSkinData;
  const bool spaced = BorderStyle == acbsDialog || BorderStyle == acbsSingle || BorderStyle == acbsSizeable ||
                      ButtonClose.cpGlyphType == tgClose;
  int x = Bmp->Width() - common.BIRightMargin - std::max(4, BorderWidth());
  for (TacDialogButton* b : {&ButtonClose, &ButtonMax, &ButtonMin, &ButtonHelp}) b->cpRect = TRect();
  if (!VisibleClose()) return;
  auto place = [&](TacDialogButton& b, int glyph, bool enabled) {
    const int mask = SkinManager->ConstData.TitleGlyphs[size_t(glyph)];
    if (!SkinManager->IsValidImgIndex(mask)) return;  // no glyph: no room taken
    const int w = SysButtonWidth(b), h = ButtonHeight(b);
    const int top = common.BIVAlign == 1 ? 0 : (BorderWidth() + CaptionHeight() - h) / 2;
    b.cpRect = TRect(x - w, top, x, top + h);
    PaintMaskFrame(Bmp, TPoint(b.cpRect.Left, top), b.cpState, SelfCacheInfo(Bmp), SkinManager->ma[size_t(mask)],
                   FFormActive && enabled ? 1 : 2);
    x = spaced ? b.cpRect.Left - common.BISpacing : b.cpRect.Left;
  };
  place(ButtonClose, ButtonClose.cpGlyphType, EnabledClose());
  if (VisibleMax()) place(ButtonMax, IsZoomed(CtrlHandle) ? tgNormal : ButtonMax.cpGlyphType, EnabledMax());
  if (VisibleMin()) place(ButtonMin, IsIconic(CtrlHandle) ? tgNormal : ButtonMin.cpGlyphType, EnabledMin());
  if (VisibleHelp()) place(ButtonHelp, ButtonHelp.cpGlyphType, true);
}

void TacDialogWnd::NCPaint() {
  if (SkinData->BGChanged) PaintAll();
  if (RgnChanged) {
    RgnChanged = false;
    UpdateDialogRgn();
  }
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  HDC dc = GetWindowDC(CtrlHandle);
  HDC src = cache->Canvas()->Handle();
  const int bw = BorderWidth(), hh = HeaderHeight(), w = WndSize.cx, h = WndSize.cy;
  BitBlt(dc, 0, 0, w, hh, src, 0, 0, SRCCOPY);                  // the header
  BitBlt(dc, 0, hh, bw, h - hh, src, 0, hh, SRCCOPY);           // left
  BitBlt(dc, w - bw, hh, bw, h - hh, src, w - bw, hh, SRCCOPY); // right
  BitBlt(dc, bw, h - bw, w - 2 * bw, bw, src, bw, h - bw, SRCCOPY);  // bottom
  ReleaseDC(CtrlHandle, dc);
  SkinData->FUpdating = false;
}

void TacDialogWnd::EraseBackground(HDC DC) {
  if (SkinData->BGChanged) PaintAll();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!cache || cache->Empty()) return;
  RECT cr{};
  GetClientRect(CtrlHandle, &cr);
  BitBlt(DC, 0, 0, cr.right, cr.bottom, cache->Canvas()->Handle(), OffsetX(), OffsetY(), SRCCOPY);
}

void TacDialogWnd::UpdateDialogRgn() {
  if (BorderStyle == acbsNone && !IsIconic(CtrlHandle) && !(dwStyle & WS_THICKFRAME)) return;
  ArOR.clear();
  const int border = SkinData ? SkinData->BorderIndex : -1;
  if (SkinManager && SkinManager->IsValidImgIndex(border)) {
    const TsMaskData& m = SkinManager->ma[size_t(border)];
    GetMaskTransparentRects(ArOR, WndSize.cx, m, false, 0);
    GetMaskTransparentRects(ArOR, WndSize.cx, m, true, WndSize.cy - m.WB);
  }
  HRGN rgn = CreateRectRgn(0, 0, WndSize.cx, WndSize.cy);
  for (const TRect& r : ArOR) {
    HRGN hole = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
    CombineRgn(rgn, rgn, hole, RGN_DIFF);
    DeleteObject(hole);
  }
  SetWindowRgn(CtrlHandle, rgn, TRUE);
}

// ---- Title buttons ----

TacDialogButton* TacDialogWnd::ButtonOf(int HitCode) {
  switch (HitCode) {
    case HTMINBUTTON: return &ButtonMin;
    case HTMAXBUTTON: return &ButtonMax;
    case HTCLOSE: return &ButtonClose;
    case HTHELP: return &ButtonHelp;
    default: return nullptr;
  }
}

std::vector<TacDialogButton*> TacDialogWnd::VisibleButtons() {
  std::vector<TacDialogButton*> v;
  if (!VisibleClose()) return v;
  v.push_back(&ButtonClose);
  if (VisibleMax()) v.push_back(&ButtonMax);
  if (VisibleMin() || IsIconic(CtrlHandle)) v.push_back(&ButtonMin);
  if (VisibleHelp()) v.push_back(&ButtonHelp);
  return v;
}

int TacDialogWnd::TitleButtonAtX(int X) {
  const auto buttons = VisibleButtons();
  for (size_t i = 0; i < buttons.size(); ++i)
    if (!buttons[i]->cpRect.IsEmpty() && X >= buttons[i]->cpRect.Left && X < buttons[i]->cpRect.Right)
      return int(i) + 1;
  return 0;
}

LRESULT TacDialogWnd::HTProcess(TMessage& Message) {
  RECT wr{};
  GetWindowRect(CtrlHandle, &wr);
  const POINT c = CursorOf(Message);
  const POINT p{c.x - wr.left, c.y - wr.top};
  const int top = (BorderWidth() + CaptionHeight() - ButtonHeight(ButtonClose)) / 2;
  if (CaptionHeight() && p.y >= top && p.y <= top + ButtonHeight(ButtonClose)) {
    int answer = -1;
    if (p.x >= BorderWidth() && p.x <= BorderWidth() + GetSystemMetrics(SM_CXSMICON)) {
      answer = HTSYSMENU;
    } else {
      const int n = TitleButtonAtX(p.x);
      const auto buttons = VisibleButtons();
      if (n >= 1 && n <= int(buttons.size())) {
        TacDialogButton* b = buttons[size_t(n - 1)];
        if (b == &ButtonClose)
          answer = EnabledClose() ? HTCLOSE : HTNOWHERE;
        else if (b == &ButtonMax)
          answer = EnabledMax() || EnabledRestore() ? HTMAXBUTTON : HTCAPTION;
        else if (b == &ButtonMin)
          answer = IsIconic(CtrlHandle) || EnabledMin() ? HTMINBUTTON : HTCAPTION;
        else
          answer = HTHELP;
      }
    }
    if (answer > 0) {
      SetHotHT(answer);
      return answer;
    }
    if (answer == HTNOWHERE) return HTNOWHERE;  // a disabled close button
  }
  if (IsZoomed(CtrlHandle) && (p.x < 2 || p.y < 2 || p.x >= WndSize.cx - 4 || p.y >= WndSize.cy - 4)) {
    SetHotHT(0);
    return HTTRANSPARENT;
  }
  // Anywhere else the dialog's own hit test decides (caption, borders, client).
  return CallPrevWndProc(CtrlHandle, WM_NCHITTEST, 0, Message.LParam);
}

void TacDialogWnd::SetHotHT(int i, bool Repaint) {
  if (i == CurrentHT) return;
  if (TacDialogButton* old = ButtonOf(CurrentHT)) old->cpState = 0;
  CurrentHT = i;
  if (TacDialogButton* b = ButtonOf(i)) b->cpState = 1;
  if (Repaint) RepaintButtons();
}

void TacDialogWnd::SetPressedHT(int i) {
  if (i != CurrentHT)
    if (TacDialogButton* old = ButtonOf(CurrentHT)) old->cpState = 0;
  CurrentHT = i;
  if (TacDialogButton* b = ButtonOf(i)) {
    const bool maxOk = b != &ButtonMax || EnabledMax() || (IsZoomed(CtrlHandle) && EnabledRestore());
    if (maxOk) b->cpState = 2;
  }
  RepaintButtons();
}

void TacDialogWnd::RepaintButtons() {
  if (!SkinData || !IsWindowVisible(CtrlHandle)) return;
  SkinData->BGChanged = true;
  NCPaint();
}

HBRUSH TacDialogWnd::DialogBrush() {
  const TColor color = SkinManager ? SkinManager->GetGlobalColor() : TColor(GetSysColor(COLOR_BTNFACE));
  if (!FBrush || color != FBrushColor) {
    if (FBrush) DeleteObject(FBrush);
    FBrush = CreateSolidBrush(COLORREF(color));
    FBrushColor = color;
  }
  return FBrush;
}

// ---- System menu ----

TacSystemMenu::TacSystemMenu(TacDialogWnd* AOwner) : TPopupMenu(nullptr), FOwner(AOwner) {
  auto add = [&](TacCaption Text, const char* Name, WPARAM Cmd, bool Update) {
    auto* item = new TMenuItem(this);
    item->SetCaption(CaptionText(Text));
    item->SetName(Name);
    item->OnClick = [this, Cmd, Update](TObject*) { Command(Cmd, Update); };
    Items()->Add(item);
    return item;
  };
  ItemRestore = add(acsRestore, "miRestore", SC_RESTORE, true);
  ItemMove = add(acsMove, "miMove", SC_MOVE, false);
  ItemSize = add(acsSize, "miSize", SC_SIZE, false);
  ItemMinimize = add(acsMinimize, "miMinimize", SC_MINIMIZE, false);
  ItemMaximize = add(acsMaximize, "miMaximize", SC_MAXIMIZE, true);
  auto* separator = new TMenuItem(this);
  separator->SetCaption("-");
  Items()->Add(separator);
  ItemClose = add(acsClose, "miClose", SC_CLOSE, false);
  ItemClose->SetShortCut(TShortCut(0x8073));  // Alt+F4
}

void TacSystemMenu::Command(WPARAM Cmd, bool Update) {
  SendMessageW(FOwner->CtrlHandle, WM_SYSCOMMAND, Cmd, 0);
  if (Update) UpdateItems();
}

bool TacSystemMenu::VisibleSize() const {
  const TacBorderStyle b = FOwner->BorderStyle;
  return b != acbsDialog && b != acbsNone && b != acbsToolWindow;
}

bool TacSystemMenu::EnabledMove() const { return !IsZoomed(FOwner->CtrlHandle); }

bool TacSystemMenu::EnabledSize() const {
  return FOwner->BorderStyle != acbsSingle && !IsIconic(FOwner->CtrlHandle);
}

void TacSystemMenu::UpdateItems() {
  auto set = [](TMenuItem* Item, bool Visible, bool Enabled) {
    Item->SetVisible(Visible);
    Item->SetEnabled(Enabled);
  };
  set(ItemRestore, FOwner->VisibleRestore(), FOwner->EnabledRestore());
  set(ItemMove, true, EnabledMove());
  set(ItemSize, VisibleSize(), EnabledSize());
  set(ItemMinimize, FOwner->VisibleMin(), FOwner->EnabledMin());
  set(ItemMaximize, FOwner->VisibleMax(), FOwner->EnabledMax());
  set(ItemClose, FOwner->VisibleClose(), true);
}

void TacDialogWnd::DropSysMenu(int X, int Y) {
  if (!SystemMenu) return;
  SystemMenu->UpdateItems();
  SystemMenu->Popup(X, Y);
}

// ---- Moving with blending ----

void TacDialogWnd::StartBlendOnMoving() {
  const TsSkinManager* m = SkinManagerOf(SkinManager);
  if ((FormState & kBlendMoving) || !m || !m->AnimEffects.BlendOnMoving.Active) return;
  FormState |= kBlendMoving;
  FBlendValue = m->AnimEffects.BlendOnMoving.BlendValue;
  FBlendStep = uint8_t(std::max(1, (255 - FBlendValue) / 30));
  FCurrentBlend = 255;
  SetWindowLayered(CtrlHandle, true, 255);
  MoveTimer = std::make_unique<TacThreadedTimer>(nullptr);
  MoveTimer->SetInterval(kBlendInterval);
  MoveTimer->SetOnTimer([this](TObject*) { BlendStep(); });
  MoveTimer->SetEnabled(true);
  // Modal until the button goes up.
  SendMessageW(CtrlHandle, WM_SYSCOMMAND, kScDragMove, 0);
  EndBlendOnMoving();
}

void TacDialogWnd::BlendStep() {
  if (FCurrentBlend <= FBlendValue) return;
  FCurrentBlend = uint8_t(std::max<int>(FBlendValue, FCurrentBlend - FBlendStep));
  SetLayeredWindowAttributes(CtrlHandle, 0, FCurrentBlend, LWA_ALPHA);
}

void TacDialogWnd::EndBlendOnMoving() {
  MoveTimer.reset();
  FCurrentBlend = 255;
  if (!IsWindow(CtrlHandle)) return;
  const LONG_PTR ex = GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE);
  SetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
  FormState &= ~kBlendMoving;
  UpdateWindow(CtrlHandle);
  SetFocus(CtrlHandle);
  RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
}

// ---- Messages ----

void TacDialogWnd::EndOfWindow(TMessage& Message) {
  if (SkinData && SkinData->FCacheBmp) SkinData->FCacheBmp->SetSize(0, 0);
  if (!Subclassing()) {
    Message.Result = DefWindowProcW(CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
    return;
  }
  Forward(Message);
  ReleaseWndHandler(CtrlHandle, false, this);
  Destroyed = true;
}

void TacDialogWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY:
      EndOfWindow(Message);
      return;
    case WM_SHOWWINDOW:
      if (Message.WParam && !Initialized) {
        Initialized = true;
        InitParams();
        if (TacHookedProvider* p = FindProvider(CtrlHandle)) p->InitHwndControls(CtrlHandle);
        if (SkinData) SkinData->BGChanged = true;
      }
      break;
    case WM_NCHITTEST:
      if (!Initialized) break;
      Message.Result = HTProcess(Message);
      if (!ButtonOf(int(Message.Result))) SetHotHT(0);
      return;
    case WM_NCPAINT:
      if (!Initialized || !IsWindowVisible(CtrlHandle)) break;
      UpdateWndGeometry(this);
      NCPaint();
      Message.Result = 0;
      return;
    case WM_NCACTIVATE:
      if (!Initialized || !IsWindowVisible(CtrlHandle)) break;
      SendMessageW(CtrlHandle, WM_SETREDRAW, FALSE, 0);
      Forward(Message);
      SendMessageW(CtrlHandle, WM_SETREDRAW, TRUE, 0);
      FFormActive = LOWORD(Message.WParam) != 0;
      SkinData->BGChanged = true;
      NCPaint();
      Message.Result = 1;
      return;
    case WM_ERASEBKGND: {
      if (!Initialized) break;
      UpdateWndGeometry(this);
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      const bool own = !dc;
      if (own) dc = GetDC(CtrlHandle);
      EraseBackground(dc);
      if (own) ReleaseDC(CtrlHandle, dc);
      Message.Result = 1;
      return;
    }
    case WM_SIZE:
      if (SkinData) SkinData->BGChanged = true;
      RgnChanged = true;
      Forward(Message);
      if (Initialized) RedrawWindow(CtrlHandle, nullptr, nullptr, 0x585);
      return;
    case WM_SETTEXT:
      Forward(Message);
      if (Initialized && IsWindowVisible(CtrlHandle)) {
        SkinData->BGChanged = true;
        NCPaint();
      }
      return;
    case WM_CTLCOLORDLG:
      Message.Result = LRESULT(DialogBrush());
      return;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
      SetHotHT(0);
      break;
    case WM_NCLBUTTONDOWN:
      if (Message.WParam < HTLEFT || Message.WParam > HTBOTTOMRIGHT) Message.WParam = WPARAM(HTProcess(Message));
      if (ButtonOf(int(Message.WParam))) {
        SetPressedHT(int(Message.WParam));
        SetCapture(CtrlHandle);
        Message.Result = 0;
        return;
      }
      if (Message.WParam == HTSYSMENU) {
        SetHotHT(0);
        RECT wr{};
        GetWindowRect(CtrlHandle, &wr);
        DropSysMenu(wr.left + BorderWidth(), wr.top + BorderWidth() + GetSystemMetrics(SM_CYSMICON));
        Message.Result = 0;
        return;
      }
      if (Message.WParam == HTCAPTION && !IsIconic(CtrlHandle)) {
        const TsSkinManager* m = SkinManagerOf(SkinManager);
        if (m && m->AnimEffects.BlendOnMoving.Active && m->AnimEffects.BlendOnMoving.BlendValue != 255) {
          SetHotHT(0);
          SkinData->BGChanged = true;
          FFormActive = true;
          PaintAll();
          StartBlendOnMoving();
          Message.Result = 0;
          return;
        }
      }
      Forward(Message);
      return;
    case WM_NCLBUTTONDBLCLK:
      if (Message.WParam == HTCAPTION && (EnabledMax() || EnabledRestore()))
        SendMessageW(CtrlHandle, WM_SYSCOMMAND,
                     IsZoomed(CtrlHandle) || IsIconic(CtrlHandle) ? SC_RESTORE : SC_MAXIMIZE, 0);
      else if (Message.WParam == HTSYSMENU)
        SendMessageW(CtrlHandle, WM_SYSCOMMAND, SC_CLOSE, 0);
      Message.Result = 0;
      return;
    case WM_NCRBUTTONUP:
      if (Message.WParam == HTCAPTION || Message.WParam == HTSYSMENU) {
        SetHotHT(0);
        const POINT c = CursorOf(Message);
        DropSysMenu(c.x, c.y);
      }
      Message.Result = 0;
      return;
    case WM_SETICON:
      Forward(Message);
      PrepareTitleGlyph();
      if (Initialized && IsWindowVisible(CtrlHandle)) {
        SkinData->BGChanged = true;
        NCPaint();
      }
      return;
    case WM_NCRBUTTONDOWN:
      if (Message.WParam == HTCAPTION || Message.WParam == HTSYSMENU) {
        Message.Result = 0;
        return;
      }
      break;
    case WM_LBUTTONUP:
    case WM_NCLBUTTONUP:
      if (TacDialogButton* b = ButtonOf(CurrentHT); b && b->cpState == 2) {
        if (GetCapture() == CtrlHandle) ReleaseCapture();
        POINT pt{};
        GetCursorPos(&pt);
        TMessage probe{WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), 0};
        const int over = int(HTProcess(probe));
        const int pressed = CurrentHT;
        SetHotHT(0);
        if (over == pressed) {
          const WPARAM cmd = pressed == HTCLOSE ? SC_CLOSE : pressed == HTMINBUTTON ? SC_MINIMIZE
                           : pressed == HTHELP ? kScContextHelp : IsZoomed(CtrlHandle) ? SC_RESTORE : SC_MAXIMIZE;
          SendMessageW(CtrlHandle, WM_SYSCOMMAND, cmd, 0);
        }
        Message.Result = 0;
        return;
      }
      break;
    case WM_SKINCOMMAND:
      switch (SkinCommandOf(Message)) {
        case SKC_SKINCHANGED:
          if (SkinData) SkinData->UpdateIndexes(true);
          UpdateIconsIndexes();
          if (SkinData) SkinData->BGChanged = true;
          Message.Result = 0;
          return;
        case SKC_GETBGINFO: {
          // Children ask in client coordinates; the cache holds the whole window.
          auto* info = reinterpret_cast<TacBackgroundInfo*>(Message.LParam);
          if (!info || !SkinData) break;
          UpdateWndGeometry(this);
          const TPoint client(OffsetX(), OffsetY());
          if (SkinData->BGChanged || !SkinData->FCacheBmp || SkinData->FCacheBmp->Empty()) PaintAll();
          if (info->PleaseDraw) info->Offset = TPoint(info->Offset.X + client.X, info->Offset.Y + client.Y);
          SkinData->FillBgInfo(*info, 0, CtrlHandle);
          if (!info->PleaseDraw && info->Bmp == SkinData->FCacheBmp.get()) info->Offset = client;
          Message.Result = 0;
          return;
        }
        case SKC_GETBORDERWIDTH: {
          Message.Result = BorderWidth();
          return;
        }
        default: break;
      }
      break;
  }
  TacScrollWnd::acWndProc(Message);
}

void InstallDialogFrame() {
  CreateDialogFrameHandler = [](HWND Wnd, const TacSkinRecords* Manager) -> TacHandlerPtr<TacMainWnd> {
    TacSkinParams params;
    params.SkinSection = "DIALOG";
    auto h = CreateWndHandler<TacDialogWnd>(Wnd, nullptr, Manager, params, false);
    return TacHandlerPtr<TacMainWnd>(h.release());
  };
}
