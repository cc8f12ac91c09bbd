#include "skin/controls/acListViewWnd.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/vcl/Forms.h"
#include "platform/win/ListViews.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sGradient.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"

namespace {

constexpr int kHeaderTextChars = 1024;
constexpr UINT kHeaderTextFlags = DT_END_ELLIPSIS | DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;

bool IsHeaderClass(HWND Wnd) {
  char name[96] = {};
  GetClassNameW(Wnd, name, int(sizeof(name)));
  return std::strcmp(name, WC_HEADERW) == 0;
}

// The section index of a header cell: the column-header section, else the button's.
int SectionOf(const TacSkinRecords* Skin, int Std) {
  return Skin ? Skin->ConstData.Sections[size_t(Std)] : -1;
}

}  // namespace

TacListViewWnd::~TacListViewWnd() {
  // A header still taken over keeps a procedure that now passes everything on.
  if (FHeaderLink) FHeaderLink->Handler = nullptr;
}

// ---- Creation, colours and release ----

void TacListViewWnd::AfterCreation() {
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("EDIT");
  SkinData->COC = kListViewKind;
  TacEditWnd::AfterCreation();
  HoverColIndex = -1;
  FPressedColumn = -1;
  if (HWND header = FindWindowExW(CtrlHandle, nullptr, WC_HEADERW, nullptr); header && !FhWndHeader)
    SubclassHeader(header);
}

void TacListViewWnd::SubclassHeader(HWND Header) {
  FhWndHeader = Header;
  FhDefHeaderProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Header, GWLP_WNDPROC));
  FHeaderLink = std::make_shared<HeaderLink>(HeaderLink{this, FhDefHeaderProc});
  FhHeaderProc = MakeObjectInstance([link = FHeaderLink](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (TacListViewWnd* h = link->Handler) {
      TMessage msg{m, wp, lp, 0};
      h->HeaderWndProc(msg);
      return msg.Result;
    }
    return CallWindowProcW(link->Old, w, m, wp, lp);
  });
  SetWindowLongPtrW(Header, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(FhHeaderProc)));
}

void TacListViewWnd::UnsubclassHeader() {
  if (FHeaderLink) FHeaderLink->Handler = nullptr;
  if (FhWndHeader && FhHeaderProc && IsWindow(FhWndHeader) &&
      GetWindowLongPtrW(FhWndHeader, GWLP_WNDPROC) == LONG_PTR(reinterpret_cast<uintptr_t>(FhHeaderProc))) {
    SetWindowLongPtrW(FhWndHeader, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(FhDefHeaderProc)));
    FreeObjectInstance(FhHeaderProc);
  }
  // A procedure somebody subclassed over stays alive, passing the header's messages on.
  FHeaderLink.reset();
  FhHeaderProc = nullptr;
  FhWndHeader = nullptr;
  FhDefHeaderProc = nullptr;
}

TViewStyle TacListViewWnd::ViewStyle() {
  if (auto* lv = dynamic_cast<TCustomListView*>(SkinData ? SkinData->FOwnerControl : nullptr)) return lv->ViewStyle();
  switch (SendMessageW(CtrlHandle, LVM_GETVIEW, 0, 0)) {
    case LV_VIEW_ICON: return vsIcon;
    case LV_VIEW_DETAILS: return vsReport;
    case LV_VIEW_SMALLICON: return vsSmallIcon;
    default: return vsList;
  }
}

bool TacListViewWnd::AutoSizedCols() {
  auto* lv = dynamic_cast<TCustomListView*>(SkinData ? SkinData->FOwnerControl : nullptr);
  if (!lv) return false;
  for (int i = 0; i < lv->Columns()->Count(); ++i)
    if (lv->Columns()->Items(i)->AutoSize()) return true;
  return false;
}

void TacListViewWnd::SaveStdParams() {
  TacEditWnd::SaveStdParams();
  if (!CtrlHandle) return;
  if (TControl* c = SkinData ? SkinData->FOwnerControl : nullptr) {
    StdColor = c->Color();
    StdFontColor = c->Font()->Color();
  } else {
    StdColor = TColor(SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0));
    StdFontColor = TColor(SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0));
  }
}

void TacListViewWnd::SetSkinParams() {
  TacEditWnd::SetSkinParams();
  if (!CtrlHandle || Destroyed) return;
  TsCommonData* d = SkinData;
  if (DlgMode) {
    SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(clWindow)));
    SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, LPARAM(ColorToRGB(clWindow)));
    SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(clWindowText)));
    return;
  }
  const TacSkinRecords* skin = d->SkinManager();
  if (!skin || !skin->IsValidSkinIndex(d->SkinIndex)) return;
  const TsGeneralData& g = skin->gd[size_t(d->SkinIndex)];
  const size_t state = d->CurrentState() != 0 && g.States > 1 ? 1 : 0;
  if (!d->CustomColor()) {
    const LPARAM c = LPARAM(ColorToRGB(g.Props[state].Color));
    if (SendMessageW(CtrlHandle, LVM_GETBKCOLOR, 0, 0) != c) SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, c);
    if (SendMessageW(CtrlHandle, LVM_GETTEXTBKCOLOR, 0, 0) != c) SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, c);
  }
  if (!d->CustomFont()) {
    const LPARAM f = LPARAM(ColorToRGB(g.Props[state].FontColor.Color));
    if (SendMessageW(CtrlHandle, LVM_GETTEXTCOLOR, 0, 0) != f) SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, f);
  }
}

void TacListViewWnd::RestoreStdParams() {
  UnsubclassHeader();
  TacEditWnd::RestoreStdParams();
  if (!CtrlHandle || !IsWindow(CtrlHandle)) return;
  TControl* c = SkinData ? SkinData->FOwnerControl : nullptr;
  if (c && (c->ComponentState() & csDestroying)) return;
  SendMessageW(CtrlHandle, LVM_SETTEXTCOLOR, 0, LPARAM(ColorToRGB(StdFontColor)));
  SendMessageW(CtrlHandle, LVM_SETTEXTBKCOLOR, 0, LPARAM(ColorToRGB(StdColor)));
  if (c) {
    c->SetColor(StdColor);
  } else {
    // A foreign list gets its own background back too, not the skin's.
    SendMessageW(CtrlHandle, LVM_SETBKCOLOR, 0, LPARAM(ColorToRGB(StdColor)));
  }
  InvalidateRect(CtrlHandle, nullptr, true);
}

// ---- The header ----

TRect TacListViewWnd::GetHeaderColumnRect(int Index) {
  int item = Index;
  if (GetWindowLongPtrW(FhWndHeader, GWL_STYLE) & HDS_FULLDRAG) {
    const int n = int(SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
    if (n > 0 && Index < n) {
      std::vector<int> order(size_t(n), 0);
      if (SendMessageW(FhWndHeader, HDM_GETORDERARRAY, WPARAM(n), LPARAM(order.data()))) item = order[size_t(Index)];
    }
  }
  RECT r{};
  SendMessageW(FhWndHeader, HDM_GETITEMRECT, WPARAM(item), LPARAM(&r));
  return TRect(r.left, r.top, r.right, r.bottom);
}

void TacListViewWnd::ColumnSkinPaint(const TRect& ControlRect, int cIndex, HDC DC) {
  const TacSkinRecords* skin = SkinData->SkinManager();
  std::unique_ptr<TBitmap> bmp = NewBitmap32ForRect(ControlRect);
  const int state = cIndex == HoverColIndex && FPressedColumn < 0 ? 1 : cIndex == FPressedColumn ? 2 : 0;
  TControl* owner = SkinData->FOwnerControl;
  const TColor under = owner ? owner->Color() : clWindow;
  const int section = PaintSkinItemToDC(bmp.get(), SectionOf(skin, ssColHeader), SectionOf(skin, ssButton), nullptr,
                                        under, ControlRect, skin, state);
  TCanvas* canvas = bmp->Canvas();
  HDC bdc = canvas->Handle();
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(CtrlHandle, WM_GETFONT, 0, 0));
  HGDIOBJ oldFont = font ? SelectObject(bdc, font) : nullptr;
  TRect text(4, 1, bmp->Width() - 4, bmp->Height() - 1);
  SetBkMode(bdc, TRANSPARENT);

  char buf[kHeaderTextChars] = {};
  HDITEMW item;
  item.mask = HDI_TEXT | HDI_FORMAT | HDI_BITMAP | HDI_IMAGE | HDI_ORDER;
  item.pszText = buf;
  item.cchTextMax = kHeaderTextChars;
  if (cIndex >= 0 && SendMessageW(FhWndHeader, HDM_GETITEMW, WPARAM(cIndex), LPARAM(&item))) {
    buf[kHeaderTextChars - 1] = '\0';
    const String caption = buf;
    auto* lv = dynamic_cast<TCustomListView*>(owner);
    TCustomImageList* images = lv ? lv->SmallImages() : nullptr;
    const bool withImage = images && (item.fmt & (HDF_IMAGE | HDF_OWNERDRAW));
    const int imageWidth = withImage ? images->Width() + 4 : 0;

    int glyph = -1;
    TSize arrow(0, 0);
    int direction = asBottom;
    if (item.fmt & (HDF_SORTDOWN | HDF_SORTUP)) {
      direction = (item.fmt & HDF_SORTDOWN) ? asBottom : asTop;
      glyph = skin ? skin->ConstData.ScrollBtns[direction].GlyphIndex : -1;
      if (glyph >= 0 && skin->IsValidImgIndex(glyph)) {
        const TPoint sz = MaskSize(skin->ma[size_t(glyph)]);
        arrow = TSize(sz.X + 6, sz.Y);
      } else {
        // The small arrow is 6 wide with the same 6 of room before it as a
        // glyph, so a right-aligned column keeps it inside the cell.
        glyph = -1;
        arrow = TSize(6 + 6, 3);
      }
    }
    SIZE ext{};
    GetTextExtentPoint32(bdc, caption.c_str(), int(caption.size()), &ext);
    const int textWidth = int(ext.cx) + 5;
    switch (item.fmt & 0xFF) {
      case HDF_RIGHT:
        text.Right -= arrow.cx;
        text.Left = text.Right - textWidth;
        break;
      case HDF_CENTER: {
        const int free = text.Width() - (textWidth + arrow.cx + imageWidth);
        text.Left += free / 2 + imageWidth;
        text.Right = text.Left + textWidth;
        break;
      }
      default:
        text.Left += imageWidth;
        text.Right = text.Left + textWidth;
        break;
    }
    if (arrow.cx > 0) {
      const TPoint at(text.Right + 6, (bmp->Height() - arrow.cy) / 2);
      if (glyph >= 0) {
        TCacheInfo self;
        self.Bmp = bmp.get();
        self.Ready = true;
        PaintMaskFrame(bmp.get(), at, state, self, skin->ma[size_t(glyph)], 1);
      } else {
        TColor color = clBtnText;
        if (skin && skin->IsValidSkinIndex(section))
          color = skin->gd[size_t(section)].Props[size_t(std::min(state, 2))].FontColor.Color;
        PaintSmallArrow(bmp.get(), color, TRect(at.X, at.Y, at.X + 6, at.Y + 3), direction);
      }
    }
    if (state == 2 && (!SkinData->Skinned() || ButtonsOptions.ShiftContentOnClick)) text = MovedRect(text, 1, 1);
    DrawSkinText(canvas, caption, true, skin, state != 0 ? 1 : 0, section, kHeaderTextFlags, text);
    if (withImage && item.iImage >= 0) {
      const int y = (text.Height() - images->Height()) / 2 + (state == 2 ? 1 : 0);
      images->Draw(canvas, text.Left - imageWidth, y, item.iImage, owner->Enabled());
    }
  }
  if (oldFont) SelectObject(bdc, oldFont);
  HDC target = DC ? DC : GetDC(FhWndHeader);
  BitBlt(target, ControlRect.Left, ControlRect.Top, ControlRect.Width(), ControlRect.Height(), bdc, 0, 0, SRCCOPY);
  if (!DC) ReleaseDC(FhWndHeader, target);
}

void TacListViewWnd::PaintHeader(HDC DC) {
  if (!FhWndHeader || ViewStyle() != vsReport) return;
  PAINTSTRUCT ps;
  BeginPaint(FhWndHeader, &ps);
  HDC target = DC ? DC : GetDC(FhWndHeader);
  const int n = int(SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
  int right = 0;
  for (int i = 0; i < n; ++i) {
    const TRect r = GetHeaderColumnRect(i);
    if (r.Width() <= 0 || r.Height() <= 0) continue;
    ColumnSkinPaint(r, int(SendMessageW(FhWndHeader, HDM_ORDERTOINDEX, WPARAM(i), 0)), target);
    right = std::max(right, int(r.Right));
  }
  RECT c{};
  GetClientRect(FhWndHeader, &c);
  const TRect rest(right, 0, c.right, c.bottom);
  if (rest.Width() > 0 && rest.Height() > 0) ColumnSkinPaint(rest, -2, target);
  if (!DC) ReleaseDC(FhWndHeader, target);
  EndPaint(FhWndHeader, &ps);
}

int TacListViewWnd::ColumnAt(LPARAM ScreenPoint) {
  POINT p{GET_X_LPARAM(ScreenPoint), GET_Y_LPARAM(ScreenPoint)};
  ScreenToClient(FhWndHeader, &p);
  const int n = int(SendMessageW(FhWndHeader, HDM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    const TRect r = GetHeaderColumnRect(i);
    if (p.x >= r.Left && p.x < r.Right && p.y >= r.Top && p.y < r.Bottom) return i;
  }
  return -2;
}

LRESULT TacListViewWnd::CallHeaderProc(TMessage& M) {
  return FhDefHeaderProc ? CallWindowProcW(FhDefHeaderProc, FhWndHeader, M.Msg, M.WParam, M.LParam) : 0;
}

void TacListViewWnd::ResetHeaderStates() {
  if (HoverColIndex < 0 && FPressedColumn < 0) return;
  HoverColIndex = -1;
  FPressedColumn = -1;
  PaintHeader(nullptr);
}

void TacListViewWnd::HeaderWndProc(TMessage& M) {
  if (Destroyed || ViewStyle() != vsReport) {
    if (FhDefHeaderProc && FhWndHeader) M.Result = CallHeaderProc(M);
    return;
  }
  try {
    switch (M.Msg) {
      case WM_PAINT:
        PaintHeader(nullptr);
        break;
      case WM_ERASEBKGND:
        M.Result = 1;
        break;
      case WM_WINDOWPOSCHANGING:
        if (IsWindowVisible(CtrlHandle)) ProcessMessage(WM_NCPAINT, 0, 0);
        M.Result = CallHeaderProc(M);
        break;
      case WM_NCDESTROY: {
        M.Result = CallHeaderProc(M);
        // The header is gone: its procedure goes with it.
        if (FHeaderLink) FHeaderLink->Handler = nullptr;
        FreeObjectInstance(FhHeaderProc);
        FHeaderLink.reset();
        FhHeaderProc = nullptr;
        FhWndHeader = nullptr;
        FhDefHeaderProc = nullptr;
        break;
      }
      case WM_NCHITTEST: {
        if (SetActiveControlProc && IsWindowEnabled(CtrlHandle)) SetActiveControlProc(CtrlHandle);
        M.Result = CallHeaderProc(M);
        const int pos = ColumnAt(M.LParam);
        if (pos != HoverColIndex) {
          HoverColIndex = pos >= 0 ? int(SendMessageW(FhWndHeader, HDM_ORDERTOINDEX, WPARAM(pos), 0)) : pos;
          PaintHeader(nullptr);
        }
        break;
      }
      case WM_LBUTTONUP:
        FPressedColumn = -1;
        M.Result = CallHeaderProc(M);
        break;
      case WM_LBUTTONDOWN: {
        M.Result = CallHeaderProc(M);
        if (!FhWndHeader) break;
        HDHITTESTINFO hit;
        hit.pt = POINT{GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)};
        const int item = int(SendMessageW(FhWndHeader, HDM_HITTEST, 0, LPARAM(&hit)));
        FPressedColumn = (hit.flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) ? -1 : item;
        InvalidateRect(FhWndHeader, nullptr, true);
        break;
      }
      default:
        M.Result = CallHeaderProc(M);
        break;
    }
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
}

// ---- The list's messages ----

int PrintClientOrigin(TacEditWnd* H, HDC DC) {
  const int saved = SaveDC(DC);
  const int e = std::max(H->cxLeftEdge, 0);
  POINT old;
  OffsetViewportOrgEx(DC, e, e, &old);
  int w = H->WndSize.cx - 2 * e, h = H->WndSize.cy - 2 * e;
  if (H->sBarVert->fScrollVisible) w -= ScrollBarMetric(H->sBarVert.get(), true);
  if (H->sBarHorz->fScrollVisible) h -= ScrollBarMetric(H->sBarHorz.get(), true);
  IntersectClipRect(DC, 0, 0, w, h);
  return saved;
}

void TacListViewWnd::ListScroll(TMessage& M) {
  const bool vert = M.Msg == WM_VSCROLL;
  if (LOWORD(M.WParam) != SB_THUMBTRACK) {
    if (vert) M.LParam = 0;
    Forward(M);
    return;
  }
  const int pos = M.LParam ? int(M.LParam) : int(HIWORD(M.WParam));
  const int last = ScrollTrack.LastThumbPos;
  if (vert && pos == last) return;
  int delta = pos - last;
  RECT r{};
  r.left = LVIR_BOUNDS;
  if (vert) {
    if (ViewStyle() == vsReport && !SendMessageW(CtrlHandle, LVM_ISGROUPVIEWENABLED, 0, 0) &&
        SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, LPARAM(&r)))
      delta *= int(r.bottom - r.top);
    SendMessageW(CtrlHandle, LVM_SCROLL, 0, LPARAM(delta));
  } else {
    if (ViewStyle() == vsList && SendMessageW(CtrlHandle, LVM_GETITEMRECT, 0, LPARAM(&r)))
      delta *= int(r.right - r.left);
    SendMessageW(CtrlHandle, LVM_SCROLL, WPARAM(delta), 0);
  }
}

void TacListViewWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d || !d->Skinned()) {
    TacEditWnd::acWndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_PAINT:
      SetSkinParams();
      break;
    case WM_NCHITTEST:
      ResetHeaderStates();
      break;
    case WM_NCPAINT:
      M.Result = 0;
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      ListScroll(M);
      return;
    case WM_PRINT: {
      UpdateWndGeometry(this);
      if (!ParamsChanged) SetSkinParams();
      if (HDC dc = reinterpret_cast<HDC>(M.WParam)) {
        HBRUSH b = CreateSolidBrush(ColorToRGB(Color));
        const RECT all{0, 0, WndSize.cx, WndSize.cy};
        FillRect(dc, &all, b);
        DeleteObject(b);
      }
      if (auto* lv = dynamic_cast<TCustomListView*>(d->FOwnerControl); lv && lv->BorderStyle() == bsNone) {
        Forward(M);
        return;
      }
      break;
    }
    case WM_SKINCOMMAND:
      switch (SkinCommandOf(M)) {
        case SKC_SKINLOADED:
          if (M.LParam == LPARAM(d->SkinManager())) {
            TacEditWnd::acWndProc(M);
            if (!Destroyed && FhWndHeader) {
              TMessage paint{WM_PAINT, 0, 0, 0};
              HeaderWndProc(paint);
            }
            return;
          }
          break;
        case SKC_GETSKININFO:
          if (M.LParam) reinterpret_cast<int*>(M.LParam)[1] = d->SkinIndex;
          return;
        case SKC_MOUSELEAVE:
          ResetHeaderStates();
          break;
        case SKC_BEGINREDRAW:
          // The bars hand thumb positions over in full in LParam.
          M.Result = 1;
          return;
      }
      break;
  }
  TacEditWnd::acWndProc(M);
  if (Destroyed) return;
  switch (M.Msg) {
    case WM_SIZE:
      d->BGChanged = true;
      PrepareCtrlCache(d, CtrlHandle, DlgMode);
      InvalidateRect(CtrlHandle, nullptr, true);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      SetSkinParams();
      break;
    case WM_STYLECHANGED:
    case LVM_ARRANGE:
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
      if (!d->GetUpdating()) UpdateScrolls(this, true);
      break;
    case WM_LBUTTONUP:
      ReleaseCapture();
      break;
    case WM_PARENTNOTIFY:
      if (LOWORD(M.WParam) == WM_CREATE) {
        HWND child = reinterpret_cast<HWND>(M.LParam);
        if (child && IsHeaderClass(child)) {
          if (FhWndHeader)
            UnsubclassHeader();
          else
            SubclassHeader(child);
        }
      }
      break;
    case WM_PRINT:
      if (ViewStyle() == vsReport && FhWndHeader) {
        HDC dc = reinterpret_cast<HDC>(M.WParam);
        const int saved = PrintClientOrigin(this, dc);
        PaintHeader(dc);
        RestoreDC(dc, saved);
      }
      break;
  }
}
