#include "skin/controls/acStaticWnd.h"

#include <algorithm>

#include "platform/win/Controls.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sTextPaint.h"

namespace {

constexpr UINT kRedraw = RDW_UPDATENOW | RDW_ERASE | RDW_INVALIDATE;
constexpr UINT kRedrawAll = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME;

String WindowTextOf(HWND Wnd) {
  const int n = GetWindowTextLengthW(Wnd);
  String s(size_t(std::max(n, 0)) + 1, '\0');
  s.resize(size_t(std::max(GetWindowTextW(Wnd, s.data(), n + 1), 0)));
  return s;
}

// A DC for painting: the given one, or the window DC, released at the end; its state kept.
class PaintDC {
 public:
  PaintDC(HWND Wnd, HDC DC) : wnd(Wnd), dc(DC ? DC : GetWindowDC(Wnd)), own(!DC), saved(SaveDC(dc)) {}
  ~PaintDC() {
    RestoreDC(dc, saved);
    if (own) ReleaseDC(wnd, dc);
  }
  PaintDC(const PaintDC&) = delete;
  PaintDC& operator=(const PaintDC&) = delete;
  HWND wnd;
  HDC dc;
  bool own;
  int saved;
};

}  // namespace

// ---- Text statics ----

void TacStaticWnd::AfterCreation() {
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("TRANSPARENT");
  TacMainWnd::AfterCreation();
}

void TacStaticWnd::PrepareBackground() {
  UpdateWndGeometry(this);
  SkinData->BGChanged = true;
  SkinData->PrepareCacheBmp();
  SkinData->FCacheBmp->SetPixelFormat(pf32bit);
  SkinData->FCacheBmp->SetSize(WndSize.cx, WndSize.cy);
  PrepareCtrlCache(SkinData, CtrlHandle, false);
}

void TacStaticWnd::AC_WMPaint(HDC DC) {
  PaintDC p(CtrlHandle, DC);
  PrepareBackground();
  if (PaintText())
    BitBlt(p.dc, 0, 0, WndSize.cx, WndSize.cy, SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

bool TacStaticWnd::PaintText() {
  if (Caption.empty()) return true;
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  c->Brush()->SetStyle(bsClear);
  SelectCacheFont(this);
  c->Font()->SetColor(GetSectionFontColor(CtrlHandle, SkinData->SkinIndex, SkinData->SkinManager(), 0));
  const LONG_PTR style = GetWindowLongPtrW(CtrlHandle, GWL_STYLE);
  UINT flags = DT_WORDBREAK | DT_EXPANDTABS | DT_TABSTOP | DT_NOCLIP | (10 << 8);
  if (style & SS_NOPREFIX) flags |= DT_NOPREFIX;
  if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RIGHT) flags |= DT_RIGHT;
  DrawSkinText(c, Caption, true, nullptr, 0, -1, flags, TRect(0, 0, WndSize.cx, WndSize.cy));
  return true;
}

void TacStaticWnd::acWndProc(TMessage& M) {
  if (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & WS_TABSTOP ||
      GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_STATICEDGE || Destroyed) {
    TacMainWnd::acWndProc(M);
    return;
  }
  const bool visible = IsWindowVisible(CtrlHandle);
  switch (M.Msg) {
    case WM_MOVE:
    case WM_ENABLE:
      if (!visible) break;
      SkinData->BGChanged = true;
      Forward(M);
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedraw);
      return;
    case WM_SETTEXT:
      if (!visible) break;
      ProcessMessage(WM_SETREDRAW, 0, 0);
      Forward(M);
      Caption = WindowTextOf(CtrlHandle);
      SkinData->BGChanged = true;
      ProcessMessage(WM_SETREDRAW, 1, 0);
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedraw);
      return;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(CtrlHandle, &ps);
      if (visible) AC_WMPaint(nullptr);
      EndPaint(CtrlHandle, &ps);
      return;
    }
    case WM_ERASEBKGND:
      if (!visible) break;
      M.Result = 1;
      return;
    case WM_NCPAINT:
      return;
    case WM_PRINT:
      AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
      return;
  }
  TacMainWnd::acWndProc(M);
}

// ---- Edge statics ----

void TacEdgeWnd::AC_WMPaint(HDC DC) {
  PaintDC p(CtrlHandle, DC);
  PrepareBackground();
  PaintText();
  TBitmap* cache = SkinData->FCacheBmp.get();
  CopyBorderStrips(p.dc, 0, 0, WndSize.cx, WndSize.cy, cache->Canvas()->Handle(), 0, 0, 2);
}

void TacEdgeWnd::acWndProc(TMessage& M) {
  if (!Destroyed) switch (M.Msg) {
      case WM_PAINT:
        Forward(M);  // the static paints itself; the skinned frame goes over it
        AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
        return;
      case WM_ERASEBKGND:
      case WM_NCPAINT:
        return;
    }
  TacStaticWnd::acWndProc(M);
}

// ---- Icon and bitmap statics ----

void TacIconWnd::AfterCreation() {
  IsBmp = (GetWindowLongPtrW(CtrlHandle, GWL_STYLE) & 3) != SS_ICON;
  FBmp.reset();
  FBmpSource = nullptr;
  TacStaticWnd::AfterCreation();
}

void TacIconWnd::CopyStaticBitmap(HBITMAP Source) {
  FBmpSource = Source;
  FBmp = std::make_unique<TBitmap>();
  BITMAP info;
  if (!Source || !GetObject(Source, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return;
  if (info.bmBitsPixel == 32) FBmp->SetPixelFormat(pf32bit);
  FBmp->SetSize(info.bmWidth, info.bmHeight);
  HDC src = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(src, Source);
  BitBlt(FBmp->Canvas()->Handle(), 0, 0, info.bmWidth, info.bmHeight, src, 0, 0, SRCCOPY);
  SelectObject(src, old);
  DeleteDC(src);
}

bool TacIconWnd::PaintText() {
  TBitmap* cache = SkinData->FCacheBmp.get();
  if (!IsBmp) {
    HICON icon = reinterpret_cast<HICON>(SendMessageW(CtrlHandle, STM_GETICON, 0, 0));
    if (!icon) return false;
    DrawIconEx(cache->Canvas()->Handle(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    return true;
  }
  const HBITMAP source = reinterpret_cast<HBITMAP>(SendMessageW(CtrlHandle, STM_GETIMAGE, IMAGE_BITMAP, 0));
  if (!FBmp || source != FBmpSource) CopyStaticBitmap(source);
  if (FBmp->Empty() || FBmp->Width() == 0) return false;
  if (FBmp->PixelFormat() == pf32bit) {
    TCacheInfo ci = EmptyCI;
    ci.Bmp = cache;
    ci.Ready = true;
    BlendBitmapOverEx(TRect(0, 0, WndSize.cx, WndSize.cy), TRect(0, 0, FBmp->Width(), FBmp->Height()), cache, false,
                      1, 0x1FFFFFFF, false, ci, FBmp.get());
  } else {
    BitBlt(cache->Canvas()->Handle(), 0, 0, std::min<int>(WndSize.cx, FBmp->Width()),
           std::min<int>(WndSize.cy, FBmp->Height()), FBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  return true;
}

// ---- Links ----

String LinkCaption(const String& Caption) {
  String s, t;
  ReplaceAllStr(Caption, "<A>", "", s);
  ReplaceAllStr(s, "</A>", "", t);
  return t;
}

bool TacLinkWnd::PaintText() {
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  c->Brush()->SetStyle(bsClear);
  SelectCacheFont(this);
  TFontStyles st = c->Font()->Style();
  st.Include(fsUnderline);
  c->Font()->SetStyle(st);
  DrawSkinControlText(c, LinkCaption(Caption), true, 0, *SkinData, DT_NOCLIP | DT_EXPANDTABS | DT_WORDBREAK,
                      TRect(0, 0, WndSize.cx + 4, WndSize.cy));
  return true;
}

void TacLinkWnd::acWndProc(TMessage& M) {
  if (Destroyed || GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_STATICEDGE) {
    TacStaticWnd::acWndProc(M);
    return;
  }
  const bool visible = IsWindowVisible(CtrlHandle);
  switch (M.Msg) {
    case WM_MOVE:
      SkinData->BGChanged = true;
      Forward(M);
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedrawAll);
      return;
    case WM_SETTEXT:
      Forward(M);
      Caption = WindowTextOf(CtrlHandle);
      SkinData->BGChanged = true;
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedrawAll);
      return;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(CtrlHandle, &ps);
      EndPaint(CtrlHandle, &ps);
      return;
    }
    case WM_ERASEBKGND:
      if (!visible) break;
      AC_WMPaint(reinterpret_cast<HDC>(M.WParam));
      M.Result = 1;
      return;
    case WM_NCPAINT:
      return;
    case WM_UPDATEUISTATE:
      if (!visible) return;
      break;
  }
  TacStaticWnd::acWndProc(M);
}
