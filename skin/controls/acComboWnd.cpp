#include "skin/controls/acComboWnd.h"

#include <algorithm>

#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acBtnWnd.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acGlow.h"
#include "skin/core/sGradient.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"

namespace {

constexpr int kComboEdge = 3;
constexpr UINT kListShown = 0x1AE, kListHidden = 0x1AF;
constexpr UINT CM_TEXTCHANGED_MSG = 0xB012, CM_EXIT_MSG = 0xB01B, CM_ITEMCHANGED_MSG = 0xB037;
constexpr UINT kRedrawNow = RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME;

bool Visible(HWND Wnd) { return Wnd && IsWindowVisible(Wnd); }

}  // namespace

// ---- The combo box ----

TacComboBoxWnd::~TacComboBoxWnd() {
  ReleaseList(false);
  if (FListBrush) DeleteObject(FListBrush);
}

void TacComboBoxWnd::AfterCreation() {
  LBoxOpening = false;
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection("COMBOBOX");
  TacEditWnd::AfterCreation();
}

void TacComboBoxWnd::ReleaseList(bool PlainBorder) {
  if (ListSW) {
    if (PlainBorder && IsWindow(FListHandle)) {
      const LONG_PTR s = GetWindowLongPtrW(FListHandle, GWL_STYLE);
      SetWindowLongPtrW(FListHandle, GWL_STYLE, (s & ~LONG_PTR(WS_THICKFRAME)) | WS_BORDER);
    }
    ReleaseWndHandler(FListHandle, true, false, ListSW);
  }
  FListHandle = nullptr;
}

void TacComboBoxWnd::RestoreStdParams() {
  // The list goes back with its combo.
  ReleaseList(false);
  TacEditWnd::RestoreStdParams();
}

HBRUSH TacComboBoxWnd::ListBrush(TColor Color) {
  if (!FListBrush || FListBrushColor != Color) {
    if (FListBrush) DeleteObject(FListBrush);
    FListBrush = CreateSolidBrush(ColorToRGB(Color));
    FListBrushColor = Color;
  }
  return FListBrush;
}

bool TacComboBoxWnd::EasyComboBox() const {
  return dynamic_cast<TCustomComboBox*>(SkinData ? SkinData->FOwnerControl : nullptr) != nullptr;
}

bool TacComboBoxWnd::ListShown() const {
  HWND list = FListHandle;
  if (!list) {
    COMBOBOXINFO info;
    if (GetComboBoxInfo(CtrlHandle, &info)) list = info.hwndList;
  }
  return Kind() != CBS_SIMPLE && Visible(list);
}

TRect TacComboBoxWnd::ButtonRect() {
  RECT wr{};
  GetWindowRect(CtrlHandle, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  int width;
  if (DlgMode && Kind() != CBS_DROPDOWNLIST)
    width = Kind() == CBS_DROPDOWN ? GetScrollWidth(SkinManager) : 0;
  else
    width = GetScrollWidth(SkinManager) + 2;
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  const int m = skin ? skin->CommonSkinData.ComboBoxMargin : 0;
  const int left = (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) ? m : w - width - m;
  return TRect(left, m, left + width, h - m);
}

int TacComboBoxWnd::ButtonHeight() {
  const TacSkinRecords* skin = SkinData ? SkinData->SkinManager() : nullptr;
  const int g = skin ? skin->ConstData.ComboBtn.GlyphIndex : -1;
  return skin && skin->IsValidImgIndex(g) ? MaskSize(skin->ma[size_t(g)]).Y : 16;
}

void TacComboBoxWnd::PaintButton(HDC DC) {
  TsCommonData* d = SkinData;
  TBitmap* cache = d ? d->FCacheBmp.get() : nullptr;
  const TacSkinRecords* skin = d ? d->SkinManager() : nullptr;
  if (cache && skin && cache->Width() > 0 && cache->Height() > 0) {
    const int state = ListShown() ? 2 : (d->CurrentState() != 0 || ManagerActiveControl() == CtrlHandle) ? 1 : 0;
    std::unique_ptr<TBitmap> bmp = NewBitmapLike(cache);
    BitBlt(bmp->Canvas()->Handle(), 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, SRCCOPY);
    const TRect br = ButtonRect();
    const TacConstElementData& btn = skin->ConstData.ComboBtn;
    TCacheInfo self;
    self.Bmp = bmp.get();
    self.Ready = true;
    if (skin->IsValidSkinIndex(btn.SkinIndex))
      PaintSkinItem(btn.SkinIndex, self, btn.BGIndex[0], btn.BGIndex[1], skin, bmp.get(), TPoint(0, 0), br, state);
    if (!skin->IsValidImgIndex(btn.GlyphIndex)) {
      TColor color = 0;
      if (skin->IsValidSkinIndex(btn.SkinIndex))
        color = skin->gd[size_t(btn.SkinIndex)].Props[size_t(std::min(state, 2))].FontColor.Color;
      PaintSmallArrow(bmp.get(), color, br, asBottom);
    } else {
      const TsMaskData& glyph = skin->ma[size_t(btn.GlyphIndex)];
      const TPoint at(br.Left + (br.Width() - MaskSize(glyph).X) / 2, (WndSize.cy - ButtonHeight()) / 2);
      PaintMaskFrame(bmp.get(), at, state, self, glyph, 1);
    }
    BitBlt(DC, br.Left, br.Top, br.Width(), br.Height(), bmp->Canvas()->Handle(), br.Left, br.Top, SRCCOPY);
  }
  if (d && !MouseInWindow(CtrlHandle) && d->GlowID >= 0) HideGlow(d->GlowID, false);
}

void TacComboBoxWnd::RepaintButton() {
  TsCommonData* d = SkinData;
  if (!d) return;
  if (MouseInWindow(CtrlHandle) && Kind() != CBS_SIMPLE) {
    d->UpdateGlow(false, CtrlHandle, -1, false, 255);
  } else if (d->GlowID >= 0) {
    HideGlow(d->GlowID, false);
  }
  HDC dc = GetWindowDC(CtrlHandle);
  PaintButton(dc);
  ReleaseDC(CtrlHandle, dc);
}

void TacComboBoxWnd::PaintText() {
  TsCommonData* d = SkinData;
  TBitmap* cache = d->FCacheBmp.get();
  if (!cache) return;
  TCanvas* c = cache->Canvas();
  SelectCacheFont(this);
  const TRect br = ButtonRect();
  TRect r(kComboEdge, kComboEdge, br.Left, WndSize.cy - kComboEdge);
  if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING)
    r = TRect(br.Right, kComboEdge, WndSize.cx - kComboEdge, WndSize.cy - kComboEdge);
  String text;
  const LRESULT cur = SendMessageW(CtrlHandle, CB_GETCURSEL, 0, 0);
  if (cur != CB_ERR) {
    const LRESULT n = SendMessageW(CtrlHandle, CB_GETLBTEXTLEN, WPARAM(cur), 0);
    if (n != CB_ERR && n >= 0) {
      text.assign(size_t(n) + 1, '\0');
      const LRESULT got = SendMessageW(CtrlHandle, CB_GETLBTEXT, WPARAM(cur), LPARAM(text.data()));
      text.resize(got == CB_ERR ? 0 : size_t(std::clamp<LRESULT>(got, 0, n)));
    }
  } else {
    const int n = GetWindowTextLengthW(CtrlHandle);
    text.assign(size_t(std::max(n, 0)) + 1, '\0');
    text.resize(size_t(std::max(GetWindowTextW(CtrlHandle, text.data(), n + 1), 0)));
  }
  const bool focusedList = Kind() == CBS_DROPDOWNLIST && GetFocus() == CtrlHandle;
  HDC dc = c->Handle();
  if (focusedList) {
    const RECT fr{r.Left, r.Top, r.Right, r.Bottom};
    FillRect(dc, &fr, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, ColorToRGB(clHighlightText));
  }
  const int k = focusedList ? 1 : 0;
  SetBkMode(dc, TRANSPARENT);
  c->TextRect(r, r.Left + k, r.Top + k, text);
  if (focusedList) DrawDottedFocusRect(c, r, clHighlightText, clNone);
}

void TacComboBoxWnd::PrepareSimple() {
  TsCommonData* d = SkinData;
  d->PrepareCacheBmp();
  TBitmap* cache = d->FCacheBmp.get();
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(WndSize.cx, int(SendMessageW(CtrlHandle, CB_GETITEMHEIGHT, 0, 0)) + 8);
  const TacSkinRecords* skin = d->SkinManager();
  const TRect all(0, 0, cache->Width(), cache->Height());
  if (DlgMode && skin && skin->Palette[pcBorder] != clFuchsia) {
    cache->Canvas()->Brush()->SetColor(clWindow);
    cache->Canvas()->FillRect(all);
    cache->Canvas()->Brush()->SetColor(skin->Palette[pcBorder]);
    cache->Canvas()->FrameRect(all);
  } else {
    PaintControlItem(*d, GetParentCacheOfWnd(CtrlHandle), cache, TPoint(0, 0), all, d->CurrentState() & 0x7F, true);
  }
}

void TacComboBoxWnd::Invalidate() {
  if (TControl* c = SkinData->FOwnerControl) {
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    (void)c;
  } else {
    InvalidateRect(CtrlHandle, nullptr, true);
  }
}

void TacComboBoxWnd::DrawItem(int Index, const TRect& Rect, UINT State, HDC DC) {
  TsCommonData* d = SkinData;
  auto* owner = dynamic_cast<TCustomComboBox*>(d->FOwnerControl);
  const TacSkinRecords* skin = d->SkinManager();
  if (!owner || !skin || Rect.Right <= 0 || Rect.Bottom <= 0) return;
  constexpr UINT kFlags = DT_SINGLELINE | DT_EXPANDTABS | DT_NOCLIP | DT_NOPREFIX;
  if (d->BGChanged) PrepareCtrlCache(d, CtrlHandle, false);
  auto bmp = NewBitmap32(Rect.Right, Rect.Bottom);
  TCanvas* c = bmp->Canvas();
  c->SetFont(owner->Font());
  HDC bdc = c->Handle();
  SetBkMode(bdc, TRANSPARENT);
  const bool edit = (State & ODS_COMBOBOXEDIT) != 0;
  const int states = skin->IsValidSkinIndex(d->SkinIndex) ? skin->gd[size_t(d->SkinIndex)].States : 1;
  TBitmap* cache = d->FCacheBmp.get();
  bool hot = states > 1;
  if (edit) hot = hot && (d->CurrentState() != 0 || owner->Focused() || d->FFocused);
  const size_t h = hot ? 1 : 0;
  const String text = Index >= 0 && Index < owner->Items()->Count() ? owner->Items()->Strings(Index) : String();
  const TRect r = Rect;
  const RECT rr{r.Left, r.Top, r.Right, r.Bottom};
  const int selection = skin->ConstData.Sections[ssSelection];
  const bool selected = (State & ODS_SELECTED) != 0;
  auto background = [&] {
    if (edit && cache) {
      BitBlt(bdc, r.Left, r.Top, r.Width(), r.Height(), cache->Canvas()->Handle(), r.Left, r.Top, SRCCOPY);
    } else {
      HBRUSH b = CreateSolidBrush(ColorToRGB(edit || !skin->IsValidSkinIndex(d->SkinIndex)
                                                 ? Color
                                                 : skin->gd[size_t(d->SkinIndex)].Props[h].Color));
      FillRect(bdc, &rr, b);
      DeleteObject(b);
    }
  };
  background();
  if (selected) {
    if (skin->IsValidSkinIndex(selection)) {
      TCacheInfo ci;
      ci.Bmp = bmp.get();
      ci.Ready = true;
      PaintSkinItem(selection, ci, -1, -1, skin, bmp.get(), TPoint(0, 0), r, 1);
    } else {
      HBRUSH b = CreateSolidBrush(ColorToRGB(skin->GetHighLightColor(true)));
      FillRect(bdc, &rr, b);
      DeleteObject(b);
    }
    c->Font()->SetColor(skin->GetHighLightFontColor(true));
  } else if (skin->IsValidSkinIndex(d->SkinIndex)) {
    c->Font()->SetColor(skin->gd[size_t(d->SkinIndex)].Props[h].FontColor.Color);
  }
  if (Index >= 0 && Index < owner->Items()->Count()) {
    UINT flags = kFlags;
    if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RIGHT) flags |= DT_RIGHT;
    if (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) flags |= DT_RTLREADING;
    SelectObject(bdc, c->Font()->Handle());
    SetTextColor(bdc, ColorToRGB(c->Font()->Color()));
    if (edit && owner->Style() == csDropDown) {
      DrawTextCapped(bdc, owner->Text(), r, flags);
    } else {
      const TRect t(r.Left + 2, r.Top, r.Right - 2, r.Bottom);
      if (selected && skin->IsValidSkinIndex(selection)) {
        DrawSkinText(c, text, true, skin, 1, selection, flags, t);
      } else {
        DrawTextCapped(bdc, text, t, flags);
        if (State & ODS_FOCUS) DrawDottedFocusRect(c, r, c->Font()->Color(), clNone);
      }
    }
  }
  BitBlt(DC, r.Left, r.Top, r.Width(), r.Height(), bdc, r.Left, r.Top, SRCCOPY);
}

void TacComboBoxWnd::CNDrawItem(TMessage& M) {
  const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(M.LParam);
  if (!dis) return;
  DrawItem(int(dis->itemID), TRect(dis->rcItem.left, dis->rcItem.top, dis->rcItem.right, dis->rcItem.bottom),
           dis->itemState & 0xFFFF, dis->hDC);
  M.Result = 1;
}

void TacComboBoxWnd::CtlColorListBox(TMessage& M) {
  if (LBoxOpening) return;
  LBoxOpening = true;
  TacEditWnd::acWndProc(M);
  if (Destroyed) return;
  HWND list = reinterpret_cast<HWND>(M.LParam);
  if (!FListHandle && list && list != CtrlHandle) {
    FListHandle = list;
    if (!ListSW) {
      const bool held = DlgModeFlag;
      if (!SkinData->FOwnerControl) DlgModeFlag = DlgMode;
      ListSW = TacComboListWnd::CreateEx(FListHandle, nullptr, SkinData->SkinManager(), "EDIT",
                                         SendMessageW(CtrlHandle, CB_GETCOUNT, 0, 0) > 0, Kind() == CBS_SIMPLE);
      DlgModeFlag = held;
    }
  }
  if (FListHandle && list == FListHandle && ListSW && !DlgMode) {
    int info[2] = {0, -1};
    SendSkinCommand(FListHandle, SKC_GETSKININFO, LPARAM(info));
    const TacSkinRecords* skin = SkinData->SkinManager();
    if (skin && skin->IsValidSkinIndex(info[1])) {
      const TsGeneralData& g = skin->gd[size_t(info[1])];
      HDC dc = reinterpret_cast<HDC>(M.WParam);
      if (g.Props[0].FontColor.Color >= 0) SetTextColor(dc, ColorToRGB(g.Props[0].FontColor.Color));
      SetBkColor(dc, ColorToRGB(g.Props[0].Color));
      M.Result = LRESULT(ListBrush(g.Props[0].Color));
    }
  }
  LBoxOpening = false;
}

void TacComboBoxWnd::FocusMessage(TMessage& M) {
  TsCommonData* d = SkinData;
  auto* wc = dynamic_cast<TWinControl*>(d->FOwnerControl);
  const bool redraw = HasHotState(d, false) && wc && wc->CanFocus() && wc->TabStop();
  if (M.Msg == WM_SETFOCUS || M.Msg == WM_LBUTTONUP) {
    d->FFocused = true;
    if (redraw) {
      SetSkinParams();
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedrawNow);
    }
    Forward(M);
  } else {
    auto* cb = dynamic_cast<TCustomComboBox*>(d->FOwnerControl);
    COMBOBOXINFO info;
    const bool editFocused =
        cb && GetComboBoxInfo(CtrlHandle, &info) && info.hwndItem != CtrlHandle && GetFocus() == info.hwndItem;
    d->FFocused = editFocused;
    d->BGChanged = true;
    Forward(M);
    if (redraw) {
      SetSkinParams();
      if (cb && cb->Style() == csDropDown) SendMessageW(info.hwndItem, EM_SETSEL, WPARAM(-1), 0);
      RedrawWindow(CtrlHandle, nullptr, nullptr, kRedrawNow);
    }
  }
  if (!Destroyed) RepaintButton();
}

void TacComboBoxWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d || !d->Skinned()) {
    TacEditWnd::acWndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_SETFOCUS:
    case WM_LBUTTONUP:
    case WM_KILLFOCUS:
    case CM_EXIT_MSG:
      FocusMessage(M);
      return;
    case WM_PAINT: {
      if (!ParamsChanged) SetSkinParams();
      UpdateWndGeometry(this);
      Forward(M);
      HDC dc = M.WParam ? reinterpret_cast<HDC>(M.WParam) : GetWindowDC(CtrlHandle);
      if (Kind() == CBS_SIMPLE) {
        PrepareSimple();
      } else {
        d->BGChanged = true;
        SendSkinCommand(CtrlHandle, SKC_PREPARECACHE);
      }
      if (TBitmap* cache = d->FCacheBmp.get())
        CopyBorderStrips(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, kComboEdge);
      if (Kind() != CBS_SIMPLE) PaintButton(dc);
      if (!M.WParam) ReleaseDC(CtrlHandle, dc);
      return;
    }
    case WM_ERASEBKGND:
      M.Result = 1;
      return;
    case WM_DRAWITEM:
      Forward(M);
      Invalidate();
      return;
    case WM_NCCALCSIZE:
      TacEditWnd::acWndProc(M);
      cxLeftEdge = kComboEdge;
      return;
    case WM_COMMAND:
    case CN_COMMAND:
      if (HIWORD(M.WParam) == CBN_CLOSEUP && (M.Msg == CN_COMMAND || !(Style() & 1))) {
        d->BGChanged = true;
        RepaintButton();
      }
      break;
    case WM_CTLCOLORLISTBOX:
      CtlColorListBox(M);
      return;
    case CN_DRAWITEM:
      if (EasyComboBox())
        CNDrawItem(M);
      else
        Forward(M);
      return;
    case CB_SETCURSEL:
    case CM_TEXTCHANGED_MSG:
    case CM_ITEMCHANGED_MSG:
      if (EasyComboBox()) {
        SendMessageW(CtrlHandle, WM_SETREDRAW, 0, 0);
        d->BGChanged = true;
        Forward(M);
        SendMessageW(CtrlHandle, WM_SETREDRAW, 1, 0);
        RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_UPDATENOW | RDW_INVALIDATE);
      } else {
        Forward(M);
      }
      return;
    case WM_PRINT: {
      UpdateWndGeometry(this);
      d->FUpdating = true;
      if (!ParamsChanged) SetSkinParams();
      if (Destroyed) return;
      d->FUpdating = false;
      d->BGChanged = true;
      if (Kind() == CBS_SIMPLE) {
        PrepareSimple();
      } else {
        PrepareCtrlCache(d, CtrlHandle, DlgMode);
      }
      if (auto* cb = dynamic_cast<TCustomComboBox*>(d->FOwnerControl); cb && cb->ItemIndex() >= 0 && d->FCacheBmp) {
        RECT wr{};
        GetWindowRect(CtrlHandle, &wr);
        const TRect field(kComboEdge, kComboEdge, wr.right - wr.left - ButtonRect().Width(),
                          wr.bottom - wr.top - kComboEdge);
        DrawItem(cb->ItemIndex(), field, ODS_COMBOBOXEDIT, d->FCacheBmp->Canvas()->Handle());
      } else {
        PaintText();
      }
      FillCacheCorners(d, 0, this);
      HDC dc = reinterpret_cast<HDC>(M.WParam);
      if (TBitmap* cache = d->FCacheBmp.get(); cache && dc) {
        BitBlt(dc, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, SRCCOPY);
        if (Kind() != CBS_SIMPLE) PaintButton(dc);
      }
      return;
    }
    case WM_SKINCOMMAND:
      if (SkinCommandOf(M) == SKC_SKINREMOVED) {
        if (M.LParam != LPARAM(d->SkinManager())) return;
        TacEditWnd::acWndProc(M);
        ReleaseList(true);
        return;
      }
      TacEditWnd::acWndProc(M);
      if (!Destroyed && (SkinCommandOf(M) == SKC_MOUSEENTER || SkinCommandOf(M) == SKC_MOUSELEAVE)) RepaintButton();
      return;
    case CM_MOUSEENTER:
      if (d->FMouseAbove) return;
      d->FMouseAbove = true;
      d->BGChanged = true;
      TacEditWnd::acWndProc(M);
      Invalidate();
      return;
    case CM_MOUSELEAVE: {
      if (!d->FMouseAbove) return;
      RECT wr{};
      GetWindowRect(CtrlHandle, &wr);
      POINT p{};
      GetCursorPos(&p);
      if (PtInRect(&wr, p)) return;
      d->FMouseAbove = false;
      d->BGChanged = true;
      TacEditWnd::acWndProc(M);
      Invalidate();
      return;
    }
  }
  TacEditWnd::acWndProc(M);
}

// ---- The drop-down list ----

TacHandlerPtr<TacComboListWnd> TacComboListWnd::CreateEx(HWND AHandle, TsCommonData* ASkinData,
                                                         const TacSkinRecords* ASkinManager, const String& SkinSection,
                                                         bool Repaint, bool Simply) {
  TacHandlerPtr<TacComboListWnd> h(new TacComboListWnd());
  h->SimplyBox = Simply;
  TacSkinParams p;
  p.SkinSection = SkinSection;
  h->Attach(AHandle, ASkinData, ASkinManager, p, Repaint);
  if (!Simply) {
    RECT r{};
    GetWindowRect(AHandle, &r);
    // One pixel wider: the list computes its frame again, with the skinned bars.
    SetWindowPos(AHandle, nullptr, 0, 0, r.right - r.left + 1, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOCOPYBITS | SWP_NOOWNERZORDER |
                     SWP_NOSENDCHANGING);
  }
  return h;
}

void TacComboListWnd::AfterCreation() {
  if (!SkinData) InitSkinData();
  Showed = false;
  DBScroll = false;
  UpdateWndGeometry(this);
  TacEditWnd::AfterCreation();
}

void TacComboListWnd::SetSkinParams() {
  if (bPreventStyleChange) return;
  bPreventStyleChange = true;
  TsCommonData* d = SkinData;
  d->FUpdating = true;
  const TacSkinRecords* skin = d->SkinManager();
  if (skin && skin->IsValidSkinIndex(d->SkinIndex)) {
    if (!d->CustomColor())
      Color = DlgMode ? TColor(ColorToRGB(clWindow))
                      : skin->gd[size_t(d->SkinIndex)].Props[size_t(std::min(d->CurrentState() & 0x7F, 2))].Color;
    FrameColor = skin->Palette[pcBorder];
    d->BGChanged = true;
  } else {
    FrameColor = 0;
  }
  d->FUpdating = false;
  bPreventStyleChange = false;
}

void TacComboListWnd::PrepareListCache() {
  UpdateWndGeometry(this);
  TsCommonData* d = SkinData;
  if (SimplyBox) {
    SendSkinCommand(CtrlHandle, SKC_PREPARECACHE);
    return;
  }
  d->UpdateIndexes(true);
  SetSkinParams();
  d->PrepareCacheBmp();
  TBitmap* cache = d->FCacheBmp.get();
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(WndSize.cx, WndSize.cy);
  const TRect all(0, 0, WndSize.cx, WndSize.cy);
  cache->Canvas()->Brush()->SetColor(Color);
  cache->Canvas()->FillRect(all);
  cache->Canvas()->Brush()->SetColor(FrameColor);
  cache->Canvas()->FrameRect(all);
  d->BGChanged = false;
}

void TacComboListWnd::PaintFrame(HDC DC) {
  if (TBitmap* cache = SkinData->FCacheBmp.get())
    CopyBorderStrips(DC, 0, 0, cache->Width(), cache->Height(), cache->Canvas()->Handle(), 0, 0, 1);
}

void TacComboListWnd::acWndProc(TMessage& M) {
  TsCommonData* d = SkinData;
  if (Destroyed || !d || !d->Skinned()) {
    TacEditWnd::acWndProc(M);
    return;
  }
  switch (M.Msg) {
    case WM_ERASEBKGND:
      if (HDC dc = reinterpret_cast<HDC>(M.WParam)) {
        M.Result = 1;
        HBRUSH b = CreateSolidBrush(ColorToRGB(Color));
        const RECT all{0, 0, WndSize.cx, WndSize.cy};
        FillRect(dc, &all, b);
        DeleteObject(b);
      } else {
        Forward(M);
      }
      return;
    case WM_NCCALCSIZE:
      HandleNCCalcSize(M);
      return;
    case WM_NCPAINT: {
      if (DontRepaint) break;
      PrepareListCache();
      if (!DlgMode) FillCacheCorners(d, 0, this);
      HDC dc = GetWindowDC(CtrlHandle);
      PaintFrame(dc);
      ReleaseDC(CtrlHandle, dc);
      PaintScrollBars(this, CtrlHandle, -1, nullptr);
      M.Result = 0;
      return;
    }
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONDBLCLK: {
      const LRESULT hit = HandleScrollNCHitTest(this, CtrlHandle, M.WParam, M.LParam);
      M.WParam = WPARAM(hit);
      if (hit == HTHSCROLL || hit == HTVSCROLL) M.Result = HandleScrollNCLButtonDown(this, CtrlHandle, M.WParam, M.LParam);
      return;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      Forward(M);
      return;
    case kListShown:
      Showed = true;
      break;
    case kListHidden:
      Showed = false;
      d->BGChanged = true;
      break;
    case WM_LBUTTONUP: {
      UpdateWndGeometry(this);
      const int x = GET_X_LPARAM(M.LParam) + WndRect.Left, y = GET_Y_LPARAM(M.LParam) + WndRect.Top;
      const LRESULT hit = HandleScrollNCHitTest(this, CtrlHandle, 0, MAKELPARAM(x, y));
      M.WParam = WPARAM(hit);
      if (hit < 2) {
        M.Result = HandleScrollLButtonUp(this, CtrlHandle, M.WParam, M.LParam);
      } else {
        M.Result = HandleScrollLButtonUp(this, CtrlHandle, M.WParam, MAKELPARAM(x, y));
        if (SimplyBox) ReleaseCapture();
      }
      return;
    }
    case WM_PRINT:
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(M.WParam);
      if (!dc || !IsWindowVisible(CtrlHandle)) break;
      PrepareListCache();
      Forward(M);
      if (M.Msg == WM_PRINTCLIENT || SendMessageW(CtrlHandle, LB_GETCOUNT, 0, 0) < 1 || Showed) return;
      if (ScrollTrack.PressedPart == sbpNone) PaintFrame(dc);
      PaintScrollBars(this, CtrlHandle, -1, dc);
      return;
    }
  }
  TacEditWnd::acWndProc(M);
  if (!Destroyed && M.Msg == WM_WINDOWPOSCHANGED) UpdateScrolls(this, true);
}

// ---- The combo with a child list box ----

TacWWComboBoxWnd::~TacWWComboBoxWnd() { ReleaseListBox(); }

bool TacWWComboBoxWnd::HasDropDownButton(TControl* Box) {
  auto* cb = dynamic_cast<TCustomComboBox*>(Box);
  return !cb || cb->Style() == csDropDown || cb->Style() == csDropDownList;
}

void TacWWComboBoxWnd::AfterCreation() {
  ListBox = nullptr;
  if (TControl* c = SkinData->FOwnerControl) FShowButton = HasDropDownButton(c);
  TacComboBoxWnd::AfterCreation();
}

TRect TacWWComboBoxWnd::ButtonRect() {
  RECT wr{};
  GetWindowRect(CtrlHandle, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  const int width = FShowButton ? GetSystemMetrics(SM_CXVSCROLL) : 0;
  constexpr int m = 2;
  const int left = (GetWindowLongPtrW(CtrlHandle, GWL_EXSTYLE) & WS_EX_RTLREADING) ? m : w - width - m;
  return TRect(left, m, left + width, h - m);
}

void TacWWComboBoxWnd::ReleaseListBox() {
  if (ListBoxSW && ListBox && ListBox->HandleAllocated()) ReleaseWndHandler(ListBox->Handle(), true, false, ListBoxSW);
  ListBoxSW.reset();
  ListBoxSkinData.reset();
  ListBox = nullptr;
}

void TacWWComboBoxWnd::RestoreStdParams() {
  ReleaseListBox();
  TacComboBoxWnd::RestoreStdParams();
}

void TacWWComboBoxWnd::AdoptListBox() {
  auto* owner = dynamic_cast<TWinControl*>(SkinData->FOwnerControl);
  if (!owner) return;
  for (int i = 0; i < owner->ControlCount(); ++i) {
    auto* lb = dynamic_cast<TCustomListBox*>(owner->Controls(i));
    if (!lb) continue;
    if (ListBoxSW && (ListBoxSW->Destroyed || lb != ListBox)) ReleaseListBox();
    ListBox = lb;
    if (ListBoxSW) continue;
    ListBoxSkinData = std::make_unique<TsScrollWndData>(lb, true);
    ListBoxSkinData->FSkinManager = SkinData->SkinManager();
    ListBoxSkinData->SetSkinSection("EDIT");
    ListBoxSkinData->FOwnerControl = lb;
    TacSkinParams p;
    p.Control = lb;
    ListBoxSW = CreateWndHandler<TacEditWnd>(lb->Handle(), ListBoxSkinData.get(), SkinData->SkinManager(), p, true);
  }
}

void TacWWComboBoxWnd::acWndProc(TMessage& M) {
  if (M.Msg == WM_CTLCOLORLISTBOX && !Destroyed) {
    Forward(M);
    return;
  }
  TacComboBoxWnd::acWndProc(M);
  if (!Destroyed && M.Msg == WM_PARENTNOTIFY && LOWORD(M.WParam) == WM_CREATE && SkinData && SkinData->Skinned())
    AdoptListBox();
}

