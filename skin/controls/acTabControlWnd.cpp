#include "skin/controls/acTabControlWnd.h"

#include <algorithm>

#include "platform/vcl/ComCtrls.h"
#include "platform/win/CommCtrl.h"
#include "platform/win/ListViews.h"
#include "skin/controls/acSpinWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/core/sVclUtils.h"

namespace {

constexpr int kCaptionChars = 4096;  // longer captions are cut
constexpr UINT kTabTextFlags = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

TCacheInfo CacheOn(TBitmap* Bmp) {
  TCacheInfo ci;
  ci.Bmp = Bmp;
  ci.Ready = true;
  return ci;
}

bool Horizontal(int Side) { return Side < 2; }

TRect InflateRectCopy(const TRect& R, int DX, int DY) { return TRect(R.Left - DX, R.Top - DY, R.Right + DX, R.Bottom + DY); }

TPoint Moved(const TPoint& P, const TPoint& D) { return TPoint(P.X + D.X, P.Y + D.Y); }

}  // namespace

// ---- Geometry ----

int TacTabControlWnd::TabCount() { return int(ProcessMessage(TCM_GETITEMCOUNT, 0, 0)); }

int TacTabControlWnd::ActiveTabIndex() { return int(ProcessMessage(TCM_GETCURSEL, 0, 0)); }

TRect TacTabControlWnd::TabRect(int Index) {
  RECT r{};
  ProcessMessage(TCM_GETITEMRECT, WPARAM(Index), LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

int TacTabControlWnd::RowCount() { return int(ProcessMessage(TCM_GETROWCOUNT, 0, 0)); }

int TacTabControlWnd::TabPosition() const {
  const LONG_PTR s = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  if (s & TCS_VERTICAL) return (s & TCS_RIGHT) ? 3 : 2;
  return (s & TCS_BOTTOM) ? 1 : 0;
}

int TacTabControlWnd::Style() const {
  const LONG_PTR s = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  if (s & TCS_FLATBUTTONS) return 2;
  return (s & TCS_BUTTONS) ? 1 : 0;
}

TRect TacTabControlWnd::ClientRect() {
  RECT r{0, 0, WndSize.cx, WndSize.cy};
  ProcessMessage(TCM_ADJUSTRECT, FALSE, LPARAM(&r));
  return TRect(r.left, r.top + 2, r.right, r.bottom);
}

TRect TacTabControlWnd::SplitAtFrame(bool Strip) {
  TRect r(0, 0, WndSize.cx, WndSize.cy);
  if (TabCount() == 0) return r;
  // The frame's outer edge on the tabs' side ends the strip and starts the frame.
  const TRect c = ClientRect();
  switch (TabPosition()) {
    case 0: (Strip ? r.Bottom : r.Top) = c.Top - 4; break;
    case 1: (Strip ? r.Top : r.Bottom) = c.Bottom + 2; break;
    case 2: (Strip ? r.Right : r.Left) = c.Left - 1; break;
    default: (Strip ? r.Left : r.Right) = c.Right + 1; break;
  }
  return r;
}

TRect TacTabControlWnd::TabsRect() { return SplitAtFrame(true); }

TRect TacTabControlWnd::PageRect() { return SplitAtFrame(false); }

int TacTabControlWnd::TabRow(int TabIndex) {
  const int n = RowCount();
  if (n < 2) return 1;
  const TRect r = TabRect(TabIndex), t = TabsRect();
  const int w = std::max(1, r.Width()), h = std::max(1, r.Height());
  switch (TabPosition()) {
    case 0: return (r.Bottom + h / 2) / h;
    case 1: return n - (r.Bottom - t.Top + h / 2) / h + 1;
    case 2: return (r.Right + w / 2) / w;
    default: return n - (r.Right - t.Left + w / 2) / w + 1;
  }
}

TRect TacTabControlWnd::SkinTabRect(int Index, bool Active) {
  if (Index < 0 || Index >= TabCount()) return TRect();
  TRect r = TabRect(Index);
  if (Style() != 0 || r.Width() == 0) return r;
  const int a = Active ? 1 : 0;
  if (Active) {
    r.Bottom -= 1;
  } else {
    r.Bottom += 3;
    r.Right -= 1;
  }
  const int side = TabPosition();
  switch (side) {
    case 0:
      r = InflateRectCopy(r, 2 * a, 2 * a);
      r.Bottom += 1;
      break;
    case 1:
      r = InflateRectCopy(r, 2 * a, a);
      r.Top -= 2;
      r.Bottom += Active ? 1 : -3;
      break;
    case 2:
      r = InflateRectCopy(r, 0, 1);
      r.Right += 2;
      if (Active) {
        r = InflateRectCopy(r, 1, 1);
      } else {
        r.Bottom -= 4;
        r.Right += 2;
      }
      break;
    default:
      r = OffsetRectCopy(InflateRectCopy(r, 1, 0), -1, -1);
      if (Active) {
        r = InflateRectCopy(r, 1, 1);
        r.Bottom += 3;
      } else {
        r.Bottom -= 2;
      }
      break;
  }
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  if (const int c = skin ? skin->CommonSkinData.TabsCovering : 0; c > 0)
    r = Horizontal(side) ? InflateRectCopy(OffsetRectCopy(r, c, 0), c, 0)
                         : InflateRectCopy(OffsetRectCopy(r, 0, c), 0, c);
  return r;
}

int TacTabControlWnd::TabSection() const {
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (!skin || skin->ConstData.Tabs[tlSingle][asTop].SkinIndex <= 0) return -1;
  static constexpr TacSide kSides[4] = {asTop, asBottom, asLeft, asRight};
  return skin->ConstData.Tabs[tlSingle][kSides[TabPosition()]].SkinIndex;
}

// ---- The arrows ----

void TacTabControlWnd::CheckUpDown() {
  HWND arrows = SkinData && SkinData->Skinned() ? FindWindowExW(CtrlHandle, nullptr, UPDOWN_CLASSW, nullptr) : nullptr;
  // A handler still holding the same arrows is kept.
  if (arrows && BtnSW && BtnSW->CtrlHandle == arrows && !BtnSW->Destroyed) return;
  if (BtnSW) ReleaseWndHandler(BtnSW->CtrlHandle, true, false, BtnSW);
  if (!arrows) return;
  TacSkinParams p;
  p.SkinSection = "UPDOWNBTN";
  BtnSW = CreateWndHandler<TacSpinWnd>(arrows, nullptr, SkinManager, p, true);
}

void TacTabControlWnd::RepaintUpDown() {
  if (BtnSW && !SkinData->BGChanged)
    RedrawWindow(BtnSW->CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
}

// ---- Painting ----

void TacTabControlWnd::DrawTabContent(int Index, int State, int Section, TBitmap* Bmp, TRect T) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  std::vector<char> text(kCaptionChars, '\0');
  TCITEMW item;
  item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_STATE;
  item.pszText = text.data();
  item.cchTextMax = kCaptionChars;
  ProcessMessage(TCM_GETITEMW, WPARAM(Index), LPARAM(&item));
  const String caption(text.data());
  TCanvas* canvas = Bmp->Canvas();
  TControl* owner = SkinData->FOwnerControl;
  bool ownFont = false;  // the application's tab drawing chose the caption's font
  auto* tabs = dynamic_cast<TCustomTabControl*>(owner);
  if (tabs && tabs->OwnerDraw() && tabs->OnDrawTab) {
    auto* c = static_cast<TControlCanvas*>(tabs->Canvas());
    c->SetPaintHandle(canvas->Handle());
    c->Font()->Assign(tabs->Font());
    canvas->Font()->Assign(tabs->Font());
    if (Section >= 0) c->Font()->SetColor(skin->gd[size_t(Section)].Props[size_t(std::min(State, 2))].FontColor.Color);
    canvas->Font()->SetColor(c->Font()->Color());
    tabs->OnDrawTab(tabs, Index, T, State == 2);
    if (!FontsEqual(c->Font(), canvas->Font()) || c->Font()->Color() != canvas->Font()->Color()) {
      canvas->Font()->Assign(c->Font());
      ownFont = true;
    }
    c->SetPaintHandle(nullptr);
  }
  if (owner && !ownFont) canvas->Font()->Assign(owner->Font());
  SetBkMode(canvas->Handle(), TRANSPARENT);
  HIMAGELIST images = reinterpret_cast<HIMAGELIST>(ProcessMessage(TCM_GETIMAGELIST, 0, 0));
  int cx = 0, cy = 0;
  const bool glyph = images && item.iImage >= 0 && ImageList_GetIconSize(images, &cx, &cy);
  const int side = TabPosition();
  const int colorState = State != 0 ? 1 : 0;
  if (Horizontal(side)) {
    if (glyph) {
      const int tw = canvas->TextWidth(caption);
      ImageList_Draw(images, item.iImage, canvas->Handle(), T.Left + (T.Width() - (tw + cx + 8)) / 2,
                     T.Top + (T.Height() - cy) / 2, ILD_NORMAL);
      T.Left += cx;
    }
    if (ownFont)
      DrawTextOnCanvas(canvas, caption, kTabTextFlags, T);
    else
      DrawSkinText(canvas, caption, true, skin, colorState, Section, kTabTextFlags, T);
    return;
  }
  // Side tabs: the caption turned to read along the tab (left tabs upward, right tabs downward), never bold.
  const TSize extent = canvas->TextExtent(caption);
  const int tw = extent.cx, th = extent.cy;
  LOGFONT lf{};
  TFont* f = canvas->Font();
  lf.lfHeight = f->Height();
  lf.lfEscapement = lf.lfOrientation = side == 2 ? -2700 : -900;
  lf.lfWeight = FW_NORMAL;
  lf.lfItalic = f->Style().Contains(fsItalic);
  lf.lfUnderline = f->Style().Contains(fsUnderline);
  lf.lfStrikeOut = f->Style().Contains(fsStrikeOut);
  const String face = f->Name() == "MS Sans Serif" ? String("Arial") : f->Name();
  snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", face.c_str());
  HDC dc = canvas->Handle();
  HFONT rotated = CreateFontIndirect(&lf);
  HGDIOBJ old = SelectObject(dc, rotated);
  SetTextColor(dc, ColorToRGB(Section >= 0 ? skin->gd[size_t(Section)].Props[size_t(colorState)].FontColor.Color
                                           : f->Color()));
  if (side == 3) T = OffsetRectCopy(T, -2, -1);
  const int x = T.Left + (T.Width() - th) / 2 + (side == 3 ? th : 0);
  int y = side == 2 ? T.Bottom - (T.Height() - tw) / 2 : T.Top + (T.Height() - tw) / 2;
  if (glyph) {
    if (State == 2) T = OffsetRectCopy(T, 2, 0);
    const int gy = side == 2 ? T.Bottom - (T.Height() - (cy + 4 + tw)) / 2 - cy : T.Top + (T.Height() - (cy + 4 + tw)) / 2;
    ImageList_Draw(images, item.iImage, dc, T.Left + (T.Width() - cx) / 2, gy, ILD_TRANSPARENT);
    y = side == 2 ? gy - 4 : gy + cy + 4;
  }
  const RECT clip{T.Left, T.Top, T.Right, T.Bottom};
  ExtTextOut(dc, x, y, ETO_CLIPPED, &clip, caption.c_str(), int(caption.size()), nullptr);
  SelectObject(dc, old);
  DeleteObject(rotated);
}

void TacTabControlWnd::DrawSkinTab(int Index, int State, TBitmap* Bmp, TPoint OffsetPoint) {
  if (Index < 0) return;
  const int selected = ActiveTabIndex();
  if (State == 1 && SkinTabRect(Index, Index == selected).Left < 0) return;
  TRect t = SkinTabRect(Index, State == 2 && Index == selected);
  if (t.Width() <= 0 || t.Height() <= 0) return;
  HDC dc = Bmp->Canvas()->Handle();
  HFONT font = reinterpret_cast<HFONT>(ProcessMessage(WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  const TacSkinRecords* skin = SkinData->SkinManager();
  const int s = TabSection();
  if (s >= 0) {
    auto w = NewBitmap32(t.Width(), t.Height());
    TBitmap* cache = SkinData->FCacheBmp.get();
    const TRect at = OffsetRectCopy(t, OffsetPoint.X, OffsetPoint.Y);
    if (Index == selected && State == 2) {
      // The selected tab stands over the frame: the cache shows under it.
      BitBlt(w->Canvas()->Handle(), 0, 0, t.Width(), t.Height(), cache->Canvas()->Handle(), t.Left, t.Top, SRCCOPY);
      BitBlt(dc, at.Left, at.Top, t.Width(), t.Height(), w->Canvas()->Handle(), 0, 0, SRCCOPY);
      PaintSkinItem(s, CacheOn(w.get()), -1, -1, skin, Bmp, TPoint(0, 0), at, State);
    } else {
      PaintSkinItem(s, CacheOn(cache), -1, -1, skin, w.get(), t.TopLeft(), TRect(0, 0, t.Width(), t.Height()), State);
      // Tabs above or left of the frame stop at it.
      const int saved = SaveDC(dc);
      if (TabPosition() == 0 || TabPosition() == 2) {
        const TRect page = OffsetRectCopy(PageRect(), OffsetPoint.X, OffsetPoint.Y);
        ExcludeClipRect(dc, page.Left, page.Top, page.Right, page.Bottom);
      }
      BitBlt(dc, at.Left, at.Top, t.Width(), t.Height(), w->Canvas()->Handle(), 0, 0, SRCCOPY);
      RestoreDC(dc, saved);
    }
  }
  DrawTabContent(Index, State, s, Bmp, OffsetRectCopy(t, OffsetPoint.X, OffsetPoint.Y));
  if (oldFont) SelectObject(dc, oldFont);
}

void TacTabControlWnd::DrawSkinTab(int Index, int State, HDC DC) {
  const TRect r = SkinTabRect(Index, State == 2);
  if (r.Width() <= 0 || r.Height() <= 0) return;
  auto bmp = NewBitmap32(r.Width(), r.Height());
  DrawSkinTab(Index, State, bmp.get(), TPoint(-r.Left, -r.Top));
  BitBlt(DC, r.Left, r.Top, r.Width(), r.Height(), bmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void TacTabControlWnd::DrawSkinTabs(const TCacheInfo& CI) {
  TBitmap* cache = SkinData->FCacheBmp.get();
  const TRect tr = TabsRect();
  if (CI.Ready && CI.Bmp) {
    BitBlt(cache->Canvas()->Handle(), tr.Left, tr.Top, std::min(tr.Width(), CI.Bmp->Width()),
           std::min(tr.Height(), CI.Bmp->Height()), CI.Bmp->Canvas()->Handle(), CI.X + WndPos.X + tr.Left,
           CI.Y + WndPos.Y + tr.Top, SRCCOPY);
  } else {
    const TColor fill = CI.FillColor == clFuchsia ? ControlBgColorOfWnd(ParentWnd) : CI.FillColor;
    cache->Canvas()->Brush()->SetColor(fill);
    cache->Canvas()->FillRect(tr);
  }
  // Rows from the outermost in; the selected tab never goes into the cache.
  const int selected = ActiveTabIndex(), rows = std::max(1, RowCount()), n = TabCount();
  for (int row = 1; row <= rows; ++row)
    for (int i = 0; i < n; ++i)
      if (i != selected && TabRow(i) == row) DrawSkinTab(i, 0, cache, TPoint(0, 0));
}

void TacTabControlWnd::AC_WMPaint(TMessage& Message) {
  if (SkinData->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  const bool given = Message.LParam == 1 || WindowAnimationActive || (SkinData->CtrlSkinState & ACS_PRINTING);
  HDC dc = given ? reinterpret_cast<HDC>(Message.WParam) : GetDC(CtrlHandle);
  if (!dc) return;
  const int saved = SaveDC(dc);
  SkinData->BGChanged = true;
  const TacSkinRecords* skin = SkinData->SkinManager();
  const int n = TabCount();
  static const char* const kSuffix[4] = {"", "BOTTOM", "LEFT", "RIGHT"};
  const String section = n == 0                                    ? String("TRANSPARENT")
                         : SkinData->SkinSection() == "PAGECONTROL" ? "PAGECONTROL" + String(kSuffix[TabPosition()])
                                                                    : SkinData->SkinSection();
  SkinData->SkinIndex = skin ? skin->GetSkinIndex(section) : -1;
  const TCacheInfo ci = GetParentCacheOfWnd(CtrlHandle);
  SkinData->PrepareCacheBmp();
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (SkinData->BGChanged) {
    cache->SetPixelFormat(pf32bit);
    cache->SetSize(WndSize.cx, WndSize.cy);
    if (n > 0) DrawSkinTabs(ci);
    const TRect page = PageRect();
    PaintSkinItem(SkinData->SkinIndex, ci, -1, -1, skin, cache, Moved(WndPos, page.TopLeft()), page, 0);
    SkinData->BGChanged = false;
  }
  const int selected = n > 0 ? ActiveTabIndex() : -1;
  if (selected >= 0) {
    const int clip = SaveDC(dc);
    const TRect r = SkinTabRect(selected, true);
    ExcludeClipRect(dc, r.Left, r.Top, r.Right, r.Bottom);
    BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas()->Handle(), 0, 0, SRCCOPY);
    RestoreDC(dc, clip);
    DrawSkinTab(selected, 2, dc);
  } else {
    BitBlt(dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  if (auto* owner = dynamic_cast<TWinControl*>(SkinData->FOwnerControl)) PaintChildrenToDC(dc, owner, true, TPoint(0, 0));
  RestoreDC(dc, saved);
  if (!given) ReleaseDC(CtrlHandle, dc);
}

// ---- Life ----

void TacTabControlWnd::AfterCreation() {
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("PAGECONTROL");
  TacMainWnd::AfterCreation();
  UpdateWndGeometry(this);
  // Tabs that overflow already have their arrows.
  CheckUpDown();
}

void TacTabControlWnd::ReleaseChildHandlers() {
  if (BtnSW) ReleaseWndHandler(BtnSW->CtrlHandle, true, false, BtnSW);
}

void TacTabControlWnd::Released() { ReleaseChildHandlers(); }

void TacTabControlWnd::BeforeDestruction() {
  TacMainWnd::BeforeDestruction();
  ReleaseChildHandlers();
}

void TacTabControlWnd::acWndProc(TMessage& Message) {
  if (!SkinData) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  TsCommonData* d = SkinData;
  const bool skinned = d->Skinned();
  const bool own = Message.LParam == LPARAM(d->SkinManager());
  TControl* owner = d->FOwnerControl;
  const UINT all = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW;
  if (Message.Msg == WM_SKINCOMMAND) {
    switch (SkinCommandOf(Message)) {
      case SKC_SKINCHANGED:
        if (own) HandleCommonMessage(Message, d);
        BroadcastSkinMessage(owner, CtrlHandle, Message);
        return;
      case SKC_SKINREMOVED:
        if (own) {
          HandleCommonMessage(Message, d);
          CheckUpDown();
          BroadcastSkinMessage(owner, CtrlHandle, Message);
          InvalidateRect(CtrlHandle, nullptr, TRUE);
          RedrawWindow(CtrlHandle, nullptr, nullptr, all);
        } else {
          BroadcastSkinMessage(owner, CtrlHandle, Message);
        }
        return;
      case SKC_SKINLOADED:
        if (own) {
          HandleCommonMessage(Message, d);
          InvalidateRect(CtrlHandle, nullptr, TRUE);
          CheckUpDown();
        }
        BroadcastSkinMessage(owner, CtrlHandle, Message);
        return;
      case SKC_REFRESH:
        if (skinned && d->FUpdating) {
          if (!d->CheckUpdating(true)) InvalidateRect(CtrlHandle, nullptr, TRUE);
          if (auto* wc = dynamic_cast<TWinControl*>(owner)) RefreshChildControls(wc);
          return;
        }
        break;
      case SKC_ISSKINNED:
        Message.Result = 1;
        return;
      case SKC_ISUPDATING:
        if (skinned) {
          Message.Result = d->FUpdating ? 1 : 0;
          return;
        }
        break;
      case SKC_GETSKINMANAGER:
        Message.Result = LRESULT(SkinManager);
        return;
      case SKC_GETBGINFO:
        if (skinned && HandleCommonMessage(Message, d)) return;
        break;
    }
  } else if (skinned) {
    switch (Message.Msg) {
      case WM_PAINT:
        // The control is built on the erase that BeginPaint sends.
        InvalidateRect(CtrlHandle, nullptr, TRUE);
        ValidateByEmptyPaint(CtrlHandle);
        RepaintUpDown();
        Message.Result = 0;
        return;
      case WM_ERASEBKGND:
        if (!IsWindowVisible(CtrlHandle)) break;
        if (!WindowAnimationActive) AC_WMPaint(Message);
        CheckUpDown();
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        return;
      case WM_PRINTCLIENT:
        CheckUpDown();
        AC_WMPaint(Message);
        RepaintUpDown();
        return;
      case TCM_SETCURSEL:
        // The control must not show the new selection in its own look first.
        SendSetRedraw(CtrlHandle, false);
        TacMainWnd::acWndProc(Message);
        SendSetRedraw(CtrlHandle, true);
        InvalidateRect(CtrlHandle, nullptr, TRUE);
        return;
    }
  }
  const TSize before = WndSize;
  TacMainWnd::acWndProc(Message);
  if (!d->Skinned() || Destroyed) return;
  if (Message.Msg == WM_SIZE) {
    CheckUpDown();
    UpdateWndGeometry(this);
    if (WndSize.cx < before.cx || WndSize.cy < before.cy)
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_NOCHILDREN);
  } else if (Message.Msg == CM_CONTROLLISTCHANGE) {
    CheckUpDown();
  }
}

// ---- The page control ----

void TacPageControlWnd::InitPages() {
  if (auto* pc = dynamic_cast<TPageControl*>(SkinData->FOwnerControl)) {
    for (int i = 0; i < pc->PageCount(); ++i) {
      TTabSheet* page = pc->Pages(i);
      if (!page->HandleAllocated() || IsWindowSkinned(page->Handle())) continue;
      TacSkinParams p;
      p.Control = page;
      p.SkinSection = "TRANSPARENT";
      PageHandlers().push_back(CreateWndHandler<TacPageWnd>(page->Handle(), nullptr, SkinManager, p, true));
    }
    return;
  }
  if (!SendSkinCommand(CtrlHandle, SKC_GETSKINMANAGER)) return;
  for (HWND child = GetWindow(CtrlHandle, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (GetParent(child) != CtrlHandle || GetWndClassName(child) == UPDOWN_CLASSW || IsWindowSkinned(child)) continue;
    TacSkinParams p;
    p.SkinSection = "TRANSPARENT";
    PageHandlers().push_back(CreateWndHandler<TacPageWnd>(child, nullptr, SkinManager, p, true));
  }
}

void TacPageControlWnd::AfterCreation() {
  InitPages();
  TacTabControlWnd::AfterCreation();
}

void TacPageControlWnd::ReleaseChildHandlers() {
  TacTabControlWnd::ReleaseChildHandlers();
  FreePageHandlers(CtrlHandle);
}

void TacPageControlWnd::acWndProc(TMessage& Message) {
  if (!SkinData || !SkinData->Skinned()) {
    TacTabControlWnd::acWndProc(Message);
    return;
  }
  TControl* owner = SkinData->FOwnerControl;
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      if (!IsWindowVisible(CtrlHandle)) break;
      if (!WindowAnimationActive) AC_WMPaint(Message);
      Message.Result = 1;
      return;
    case WM_NCPAINT:
      InitPages();
      return;
    case WM_PARENTNOTIFY:
      if (LOWORD(Message.WParam) == WM_CREATE || LOWORD(Message.WParam) == WM_DESTROY) {
        InitPages();
        if (LOWORD(Message.WParam) == WM_CREATE && dynamic_cast<TWinControl*>(owner)) NotifyParentForm(owner);
      }
      break;
    case WM_PRINTCLIENT: {
      CheckUpDown();
      InitPages();
      SkinData->FUpdating = false;
      AC_WMPaint(Message);
      if (BtnSW) {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        RECT r{};
        GetWindowRect(BtnSW->CtrlHandle, &r);
        POINT p{r.left, r.top};
        ScreenToClient(CtrlHandle, &p);
        const int saved = SaveDC(dc);
        SetViewportOrgEx(dc, p.x, p.y, nullptr);
        IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        BtnSW->SkinData->FUpdating = false;
        SendMessageW(BtnSW->CtrlHandle, WM_PAINT, WPARAM(dc), 0);
        RestoreDC(dc, saved);
      }
      return;
    }
    case TCM_SETCURSEL:
    case TCM_SETITEMW:
      if (owner) {
        InitPages();
        NotifyParentForm(owner);
      }
      break;
  }
  TacTabControlWnd::acWndProc(Message);
}

// ---- Pages ----

std::vector<TacHandlerPtr<TacPageWnd>>& PageHandlers() {
  static std::vector<TacHandlerPtr<TacPageWnd>> handlers;
  return handlers;
}

void FreePageHandlers(HWND Host) {
  auto& all = PageHandlers();
  std::vector<TacHandlerPtr<TacPageWnd>> going;
  for (auto it = all.begin(); it != all.end();) {
    TacPageWnd* h = it->get();
    if (!Host || h->Destroyed || (IsWindow(h->CtrlHandle) && GetParent(h->CtrlHandle) == Host)) {
      going.push_back(std::move(*it));
      it = all.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& h : going) ReleaseWndHandler(h->CtrlHandle, true, false, h);
}

int TacPageWnd::TabPosition() const {
  const LONG_PTR s = ParentWnd ? GetWindowLongPtrW(ParentWnd, GWL_STYLE) : 0;
  if (s & TCS_VERTICAL) return (s & TCS_RIGHT) ? 3 : 2;
  return (s & TCS_BOTTOM) ? 1 : 0;
}

void TacPageWnd::AfterCreation() {
  Page = dynamic_cast<TTabSheet*>(SkinData->FOwnerControl);
  UpdateWndGeometry(this);
  TacMainWnd::AfterCreation();
}

void TacPageWnd::AC_WMEraseBKGnd(HDC DC) {
  if (!DC || SkinData->CheckUpdating(false)) return;
  UpdateWndGeometry(this);
  TacBackgroundInfo info;
  QueryWndBgInfo(info, ParentWnd, false);
  const int w = WndSize.cx, h = WndSize.cy;
  if (info.BgType == 2 && info.Bmp) {
    if (info.Bmp->Empty()) SendMessageW(ParentWnd, WM_PAINT, WPARAM(info.Bmp->Canvas()->Handle()), 0);
    if (info.Bmp->Empty()) return;
    BitBlt(DC, 0, 0, w, h, info.Bmp->Canvas()->Handle(), WndPos.X + info.Offset.X, WndPos.Y + info.Offset.Y, SRCCOPY);
  } else if (Page) {
    HBRUSH b = CreateSolidBrush(ColorToRGB(info.Color));
    const RECT all{0, 0, w, h};
    FillRect(DC, &all, b);
    DeleteObject(b);
    if (info.Bmp && Page->PageControl() && Page->PageControl()->PageCount() > 0) {
      HDC src = info.Bmp->Canvas()->Handle();
      switch (TabPosition()) {
        case 0: BitBlt(DC, 0, 0, w, 3, src, WndPos.X + info.Offset.X, WndPos.Y + info.Offset.Y, SRCCOPY); break;
        case 1: BitBlt(DC, 0, h - 3, w, 3, src, WndPos.X, WndPos.Y + h - 3, SRCCOPY); break;
        case 2: BitBlt(DC, 0, 0, 3, h, src, WndPos.X, WndPos.Y, SRCCOPY); break;
        default: BitBlt(DC, w - 3, 0, 3, h, src, WndPos.X + w - 3, WndPos.Y, SRCCOPY); break;
      }
    }
  }
  if (Page) {
    PaintChildrenToDC(DC, Page, true, TPoint(0, 0));
    RefreshChildControls(Page);
  }
}

void TacPageWnd::acWndProc(TMessage& Message) {
  TsCommonData* d = SkinData;
  if (Message.Msg == WM_DESTROY) {
    // The handler outlives its page: nothing of the page may be reached through it afterwards.
    TacMainWnd::acWndProc(Message);
    Page = nullptr;
    if (SkinData) {
      SkinData->FOwnerControl = nullptr;
      SkinData->FOwnerObject = nullptr;
    }
    return;
  }
  if (!d || !d->Skinned()) {
    TacMainWnd::acWndProc(Message);
    return;
  }
  const bool own = Message.LParam == LPARAM(d->SkinManager());
  const bool visible = IsWindowVisible(CtrlHandle) != FALSE;
  switch (Message.Msg) {
    case WM_PAINT:
      if (visible) {
        PAINTSTRUCT ps;
        BeginPaint(CtrlHandle, &ps);
        if (Message.WParam) AC_WMEraseBKGnd(reinterpret_cast<HDC>(Message.WParam));
        EndPaint(CtrlHandle, &ps);
        Message.Result = 0;
        return;
      }
      break;
    case WM_ERASEBKGND:
      if (visible) {
        AC_WMEraseBKGnd(reinterpret_cast<HDC>(Message.WParam));
        Message.Result = 1;
        return;
      }
      break;
    case WM_NCPAINT:
      return;
    case WM_PRINTCLIENT:
      AC_WMEraseBKGnd(reinterpret_cast<HDC>(Message.WParam));
      Message.Result = SendMessageW(CtrlHandle, WM_PAINT, Message.WParam, Message.LParam);
      return;
    case WM_SKINCOMMAND:
      switch (SkinCommandOf(Message)) {
        case SKC_SKINCHANGED:
          if (own) HandleCommonSkinCommand(Message, d);
          BroadcastSkinMessage(d->FOwnerControl, CtrlHandle, Message);
          return;
        case SKC_SKINREMOVED:
        case SKC_SKINLOADED:
          if (own) {
            HandleCommonMessage(Message, d);
            InvalidateRect(CtrlHandle, nullptr, TRUE);
          }
          BroadcastSkinMessage(d->FOwnerControl, CtrlHandle, Message);
          if (SkinCommandOf(Message) == SKC_SKINLOADED) return;
          break;
        case SKC_REFRESH:
          if (d->FUpdating) {
            if (!d->CheckUpdating(true))
              RedrawWindow(CtrlHandle, nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
            if (Page) RefreshChildControls(Page);
            return;
          }
          break;
        case SKC_ISSKINNED:
          Message.Result = 1;
          return;
        case SKC_ISUPDATING:
          Message.Result = d->FUpdating ? 1 : 0;
          return;
        case SKC_GETBGINFO:
          if (auto* info = reinterpret_cast<TacBackgroundInfo*>(Message.LParam)) {
            UpdateWndGeometry(this);
            QueryWndBgInfo(*info, ParentWnd, info->PleaseDraw);
            info->Offset = Moved(info->Offset, Page ? TPoint(Page->Left(), Page->Top()) : WndPos);
          }
          return;
      }
      break;
  }
  TacMainWnd::acWndProc(Message);
  if (Message.Msg == WM_PARENTNOTIFY && LOWORD(Message.WParam) == WM_CREATE) AdaptTopParent(CtrlHandle);
}
