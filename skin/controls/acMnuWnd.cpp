#include "skin/controls/acMnuWnd.h"

#include "skin/controls/acHookProvider.h"

#include <algorithm>

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinMenus.h"
#include "skin/core/sSkinPaint.h"

namespace {

constexpr int kMenuFrame = 3;

void SetAlpha(HWND Wnd, uint8_t Alpha) {
  const LONG_PTR ex = GetWindowLongPtrW(Wnd, GWL_EXSTYLE);
  if (Alpha == 255) {
    if (ex & WS_EX_LAYERED) SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
    return;
  }
  if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(Wnd, GWL_EXSTYLE, ex | WS_EX_LAYERED);
  SetLayeredWindowAttributes(Wnd, 0, Alpha, LWA_ALPHA);
}

}  // namespace

std::vector<TacHandlerPtr<TacMnuWnd>>& HookedMenus() {
  static auto* list = new std::vector<TacHandlerPtr<TacMnuWnd>>();
  return *list;
}

int LiveHookedMenus() {
  return int(std::count_if(HookedMenus().begin(), HookedMenus().end(),
                           [](const TacHandlerPtr<TacMnuWnd>& h) { return h && !h->Destroyed; }));
}

void ClearHookedMenus() { HookedMenus().clear(); }

void SkinPopupMenuWindow(HWND Wnd) {
  std::erase_if(HookedMenus(), [](const TacHandlerPtr<TacMnuWnd>& h) { return !h || h->Destroyed; });
  TacSkinParams params;
  params.SkinSection = "MAINMENU";
  HookedMenus().push_back(CreateWndHandler<TacMnuWnd>(Wnd, nullptr, DefaultManager, params, false));
  HookedMenus().back()->CtrlHandle = Wnd;
}

void TacMnuWnd::AfterCreation() {
  Shown = false;
  bFlag = false;
  RgnChanged = 0;
  TacScrollWnd::AfterCreation();
}

void TacMnuWnd::PrepareCache() {
  UpdateWndGeometry(this);
  if (!SkinData->BGChanged) return;
  SkinData->PrepareCacheBmp();
  TBitmap* bmp = SkinData->FCacheBmp.get();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(WndSize.cx, WndSize.cy);
  PaintControlItem(*SkinData, EmptyCI, bmp, TPoint(WndRect.Left - ParentRect.Left, WndRect.Top - ParentRect.Top),
                   TRect(0, 0, WndSize.cx, WndSize.cy), 0, true);
  FillCacheCorners(SkinData, 0, this);
  SkinData->BGChanged = false;
}

void TacMnuWnd::EndOfWindow(TMessage& Message) {
  if (!Subclassing()) {
    // Nothing was before the handler: the default end of a window, never a second message to it.
    Message.Result = DefWindowProcW(CtrlHandle, Message.Msg, Message.WParam, Message.LParam);
    return;
  }
  Forward(Message);
  ReleaseWndHandler(CtrlHandle, false, this);
  Destroyed = true;
  RgnChanged = 0;
  ClearMenuInfo();
  // The menus still open paint their frames again; their backgrounds are built anew.
  for (const auto& h : HookedMenus()) {
    if (!h || h.get() == this || h->Destroyed || !IsWindow(h->CtrlHandle)) continue;
    RedrawWindow(h->CtrlHandle, nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
  }
  if (LiveHookedMenus() == 0) {
    // The last one: the others go now, this one at the next popup.
    std::erase_if(HookedMenus(), [this](const TacHandlerPtr<TacMnuWnd>& h) { return h.get() != this; });
  }
  SkinnedMenuMeasured = false;
}

void TacMnuWnd::NCPaint() {
  TsSkinableMenus* menus = SkinableMenusOf(SkinManager);
  TacMenuInfo* mi = menus ? menus->GetMenuInfo(nullptr, nullptr, CtrlHandle) : nullptr;
  RECT wr{};
  GetWindowRect(CtrlHandle, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  HDC dc = GetWindowDC(CtrlHandle);
  // The prepared background is the window's size here (the layer measures the
  // popup from its window); one 6 pixels narrower fits as well.
  TBitmap* bg = mi && mi->Bmp ? mi->Bmp.get() : nullptr;
  if (bg && bg->Height() == h && (bg->Width() == w || bg->Width() == w - 2 * kMenuFrame)) {
    CopyBorderStrips(dc, 0, 0, bg->Width(), bg->Height(), bg->Canvas()->Handle(), 0, 0, kMenuFrame);
  } else {
    PrepareCache();
    TBitmap* cache = SkinData->FCacheBmp.get();
    CopyBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, kMenuFrame);
  }
  ReleaseDC(CtrlHandle, dc);
  SetAlpha(CtrlHandle, MenuAlphaBlendOf(SkinManager));
}

void TacMnuWnd::acWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_DESTROY:
    case WM_NCDESTROY:
      EndOfWindow(Message);
      return;
    case WM_SKINCOMMAND:
      switch (SkinCommandOf(Message)) {
        case SKC_ISSKINNED: Message.Result = 1; break;
        case SKC_SETUPDATING: Message.Result = RgnChanged; break;
        case SKC_MENURGNCHANGED:
          if (IsWindowVisible(CtrlHandle)) RgnChanged = 1;
          break;
        case SKC_GETAPPLICATION: Message.Result = LRESULT(Application); break;
        default: break;
      }
      return;
  }
  if (!SkinnedMenuMeasured) return TacScrollWnd::acWndProc(Message);
  switch (Message.Msg) {
    case WM_ERASEBKGND: {
      PrepareCache();
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      const bool own = !dc;
      if (own) dc = GetDC(CtrlHandle);
      TBitmap* cache = SkinData->FCacheBmp.get();
      BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), kMenuFrame, kMenuFrame, SRCCOPY);
      if (own) ReleaseDC(CtrlHandle, dc);
      RgnChanged = 0;
      Message.Result = 1;
      return;
    }
    case WM_WINDOWPOSCHANGING: {
      TacScrollWnd::acWndProc(Message);
      const auto* wp = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
      if (bFlag || !wp || (wp->flags & SWP_NOREDRAW)) return;
      if ((wp->flags & SWP_SHOWWINDOW) && !IsWindowVisible(CtrlHandle)) {
        bFlag = true;
        SetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE, GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(CtrlHandle, 0, 0, LWA_ALPHA);
        bFlag = false;
      }
      return;
    }
    case WM_NCPAINT:
      NCPaint();
      Shown = true;
      return;
  }
  TacScrollWnd::acWndProc(Message);
}
