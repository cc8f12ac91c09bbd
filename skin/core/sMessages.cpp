#include "skin/core/sMessages.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/PixelRows.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sMaskData.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sSkinPaint.h"

using skin_detail::Ch;
using skin_detail::Pack;

namespace {

bool Destroying(const TComponent* C) { return C && (C->ComponentState() & csDestroying); }

template <class F>
void ForEachChildWindow(HWND Wnd, F&& Fn) {
  std::vector<HWND> list;
  EnumChildWindows(
      Wnd,
      [](HWND w, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
        return TRUE;
      },
      LPARAM(&list));
  for (HWND w : list) Fn(w);
}

// Channel by channel S + W * (P - S) >> 8: the colour the painters make when
// W / 255 of the parent shows through.
TColor MixColorToward(TColor S, TColor P, int W) {
  using skin_detail::MixToward;
  const uint32_t s = uint32_t(S), p = uint32_t(P);
  return TColor(Pack(MixToward(Ch(s, 0), Ch(p, 0), W), MixToward(Ch(s, 1), Ch(p, 1), W),
                     MixToward(Ch(s, 2), Ch(p, 2), W), 0));
}

// Skin command 21 of a skinned owner control.
TColor BgColorForChildren(TsCommonData* Data) {
  TControl* c = Data->FOwnerControl;
  const TsGenState& st = Data->SkinManager()->gd[size_t(Data->SkinIndex)].Props[0];
  if (st.Transparency == 0) return st.Color;
  TColor parent;
  if (TWinControl* p = c->Parent()) {
    parent = p->HandleAllocated() && IsWindowSkinned(p->Handle()) ? ControlBgColor(p) : TColor(ColorToRGB(p->Color()));
  } else {
    return TColor(ColorToRGB(c->Color()));
  }
  if (st.Transparency == 100) return parent;
  // Weighted as the painters weigh a transparent section (T * 255 div 100), so
  // that children see the colour the parent paints.
  return MixColorToward(st.Color, parent, st.Transparency * 255 / 100);
}

void SendToChildren(TWinControl* Control, int Cmd, int Low, LPARAM LParam) {
  for (int i = 0; i < Control->ControlCount(); ++i) {
    TControl* ch = Control->Controls(i);
    if (Destroying(ch)) continue;
    SendSkinCommandToControl(ch, Cmd, LParam, Low);
  }
}

}  // namespace

TMessage MakeMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT Result) {
  TMessage m;
  m.Msg = Msg;
  m.WParam = WParam;
  m.LParam = LParam;
  m.Result = Result;
  return m;
}

// ---- Sending ----

LRESULT SendSkinMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (TsCommonData* d = GetWndSkinData(Wnd); d && d->WndProc) {
    TMessage m = MakeMessage(Msg, WParam, LParam);
    d->WndProc(m);
    return m.Result;
  }
  return SendMessageW(Wnd, Msg, WParam, LParam);
}

LRESULT SendSkinCommand(HWND Wnd, int Cmd, LPARAM LParam) {
  return SendSkinMessage(Wnd, WM_SKINCOMMAND, SkinCommandWParam(Cmd), LParam);
}

LRESULT SendSkinCommandToControl(TControl* Control, int Cmd, LPARAM LParam, int Low) {
  if (!Control) return 0;
  auto* wc = dynamic_cast<TWinControl*>(Control);
  if (!wc) return Control->Perform(WM_SKINCOMMAND, SkinCommandWParam(Cmd, Low), LParam);
  if (Destroying(wc) || !wc->HandleAllocated()) return 0;
  return SendSkinMessage(wc->Handle(), WM_SKINCOMMAND, SkinCommandWParam(Cmd, Low), LParam);
}

LRESULT QuerySkinCommand(TControl* Control, int Cmd) { return SendSkinCommandToControl(Control, Cmd, 0); }

bool WindowAnswersCommand(HWND Wnd, int Cmd) { return SendSkinCommand(Wnd, Cmd, 0) == 1; }

void SendSetRedraw(HWND Wnd, bool On) { SendSkinMessage(Wnd, WM_SETREDRAW, On ? 1 : 0, 0); }

// ---- Broadcasting and repainting ----

void RefreshChildControls(TWinControl* Control) {
  if (!Control || (Control->ComponentState() & csDesigning)) return;
  for (int i = 0; i < Control->ControlCount(); ++i) {
    TControl* ch = Control->Controls(i);
    if (Destroying(ch)) continue;
    if (auto* wc = dynamic_cast<TWinControl*>(ch)) {
      if (wc->HandleAllocated() && wc->Showing()) SendSkinCommand(wc->Handle(), SKC_REFRESH);
    } else {
      ch->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_REFRESH), 0);
    }
  }
}

void RefreshChildWindows(HWND Wnd) {
  for (HWND w = GetWindow(Wnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
    if (GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) SendSkinCommand(w, SKC_REFRESH);
}

void BroadcastToChildren(TWinControl* Control, TMessage& Message) {
  if (!Control) return;
  for (int i = 0; i < Control->ControlCount(); ++i) {
    TControl* ch = Control->Controls(i);
    // Children created after a destroyed one are not reached (kept as the walk always was).
    if (Destroying(ch)) return;
    auto* wc = dynamic_cast<TWinControl*>(ch);
    if (!wc || !wc->HandleAllocated()) {
      Message.Result = ch->Perform(Message.Msg, Message.WParam, Message.LParam);
      continue;
    }
    Message.Result = SendSkinMessage(wc->Handle(), Message.Msg, Message.WParam, Message.LParam);
    if (!IsWindowSkinned(wc->Handle()) && !(BroadcastSkipFilter && BroadcastSkipFilter(wc)))
      BroadcastToChildren(wc, Message);
  }
}

void BroadcastToChildWindows(HWND Wnd, TMessage& Message) {
  ForEachChildWindow(Wnd, [&](HWND w) {
    if (GetParent(w) == Wnd) Message.Result = SendSkinMessage(w, Message.Msg, Message.WParam, Message.LParam);
  });
}

void NotifyParentForm(TControl* Control) {
  if (!Control || (Control->ComponentState() & (csLoading | csDestroying | csDesigning))) return;
  TCustomForm* f = Control->GetParentForm();
  if (f && f->HandleAllocated()) SendSkinMessage(f->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_ADAPTCONTROL), LPARAM(Control));
}

void ForEachChildControl(TWinControl* Control, LPARAM Param, const std::function<void(TControl*, LPARAM)>& Proc) {
  if (!Control) return;
  for (int i = 0; i < Control->ControlCount(); ++i) {
    TControl* ch = Control->Controls(i);
    Proc(ch, Param);
    if (auto* wc = dynamic_cast<TWinControl*>(ch)) ForEachChildControl(wc, Param, Proc);
  }
}

// ---- Colours and state of controls ----

TColor ControlBgColor(TControl* Control) {
  if (!Control) return clFuchsia;
  TColor c = IsControlSkinned(Control) ? TColor(SendSkinCommandToControl(Control, SKC_GETBGCOLOR, clFuchsia))
                                       : Control->Color();
  return TColor(ColorToRGB(c));
}

TColor ControlBgColorOfWnd(HWND Wnd) {
  if (!Wnd) return clFuchsia;
  return TColor(ColorToRGB(TColor(SendSkinCommand(Wnd, SKC_GETBGCOLOR, clFuchsia))));
}

bool ControlIsPaintable(TControl* Control) {
  if (!Control || !Control->Parent()) return false;
  if (auto* wc = dynamic_cast<TWinControl*>(Control); wc && !wc->HandleAllocated()) return false;
  if (Control->ComponentState() & (csLoading | csDestroying)) return false;
  return !Control->ControlState.Contains(csReadingState) && !Control->ControlState.Contains(csCreating);
}

bool IsPaintableGraphic(TControl* Control, HDC DC) {
  auto* g = dynamic_cast<TGraphicControl*>(Control);
  if (!g || !(g->Visible() || (g->ComponentState() & csDesigning)) || g->Width() <= 0 || g->Height() <= 0) return false;
  if (g->ControlStyle.Contains(csNoDesignVisible) || Destroying(g)) return false;
  const RECT r{g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height()};
  return !DC || RectVisible(DC, &r);
}

LRESULT ForwardStateQuery(TControl* Control, TacStateQuery& Query) {
  if (!Control) return 0;
  if (Control->Parent()) {
    Query.R.Left += Control->Left();
    Query.R.Right += Control->Left();
    Query.R.Top += Control->Top();
    Query.R.Bottom += Control->Top();
  }
  return SendSkinCommandToControl(Control, SKC_GETSTATESKIN, LPARAM(&Query));
}

// ---- The common skin command handler ----

bool HandleCommonSkinCommand(TMessage& Message, TsCommonData* Data) {
  if (!Data || Message.Msg != WM_SKINCOMMAND) return true;
  const LPARAM own = LPARAM(Data->SkinManager());
  TControl* owner = Data->FOwnerControl;
  auto* wc = dynamic_cast<TWinControl*>(owner);
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      if (Message.LParam == own) {
        Data->KillAnimation();
        Data->InitSkinSection();
        Data->SelectSection({Data->SkinSection()});
        if (Data->FCacheBmp) Data->FCacheBmp->SetSize(0, 0);
      }
      return true;
    case SKC_SKINREMOVED:
      if (Message.LParam == own && Data->SkinIndex >= 0) {
        Data->KillAnimation();
        Data->BorderIndex = -1;
        Data->SkinIndex = -1;
        Data->FUpdating = true;
        if (Data->FCacheBmp) Data->FCacheBmp->SetSize(0, 0);
        if (auto* edit = dynamic_cast<TCustomEdit*>(owner)) {
          if (!Data->FCustomColor) edit->SetColor(clWindow);
          if (!Data->FCustomFont) edit->Font()->SetColor(clWindowText);
          if (edit->HandleAllocated()) RedrawWindow(edit->Handle(), nullptr, nullptr, RDW_FRAME | RDW_NOERASE | RDW_INVALIDATE);
        } else if (wc) {
          for (int i = 0; i < wc->ControlCount(); ++i)
            if (auto* l = dynamic_cast<TLabel*>(wc->Controls(i))) l->Font()->SetColor(clWindowText);
        }
      }
      return true;
    case SKC_SKINLOADED:
      if (Message.LParam == own) {
        Data->KillAnimation();
        Data->BGChanged = true;
        Data->FUpdating = false;
        Data->UpdateSkinColors(true);
        if (IsFrameOnSkinKind(Data->COC) && wc && wc->HandleAllocated())
          SetWindowPos(wc->Handle(), nullptr, 0, 0, 0, 0, 0x727);
      }
      return true;
    case SKC_REFRESH:
      if (Data->FUpdating && wc) {
        if (!Data->CheckUpdating(true) && wc->HandleAllocated()) RedrawWindow(wc->Handle(), nullptr, nullptr, 0x585);
        RefreshChildControls(wc);
      }
      return true;
    case SKC_ISSKINNED:
      Message.Result = 1;
      return true;
    case SKC_SETUPDATING:
      Data->FUpdating = SkinCommandArg(Message) == 1;
      return true;
    case SKC_ISUPDATING:
      if (Data->CheckUpdating(false)) {
        Message.Result = 1;
      } else if (wc && !Data->FCustomColor) {
        auto empty = [Data] { return !Data->FCacheBmp || Data->FCacheBmp->Width() == 0 || Data->FCacheBmp->Height() == 0; };
        if (empty() || Data->BGChanged) {
          wc->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_PREPARECACHE), 0);
          Message.Result = empty() ? 1 : 0;
        } else {
          Message.Result = Data->FCacheBmp->Width() != wc->Width() || Data->FCacheBmp->Height() != wc->Height();
        }
      } else {
        Message.Result = 0;
      }
      return true;
    case SKC_ISHALFVISIBLE:
      Message.Result = Data->HalfVisible;
      return true;
    case SKC_UPDATESECTION:
      if (Message.LParam && AnsiUpperCase(Data->SkinSection()) == *reinterpret_cast<const String*>(Message.LParam))
        Data->Invalidate(false);
      return true;
    case SKC_SETSECTION:
      if (Message.LParam) {
        Data->SetSkinSection(*reinterpret_cast<const String*>(Message.LParam));
        Message.Result = 1;
      } else {
        Message.Result = 0;
      }
      return true;
    case SKC_STOPANIMATION:
      Data->KillAnimation();
      return true;
    case SKC_BGCHANGED:
      Data->BGChanged = true;
      return true;
    case SKC_INVALIDATE:
      Data->Invalidate(false);
      return true;
    case SKC_COMPLEXBG:
      Message.Result = Data->CommandQueryResult();
      return true;
    case SKC_PARENTMOVED: {
      const bool repaint = Data->RepaintIfMoved();
      Data->BGChanged = Data->BGChanged || repaint;
      if (wc && SkinCommandArg(Message) == 1 && repaint) {
        if (wc->HandleAllocated())
          RedrawWindow(wc->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_NOINTERNALPAINT | RDW_NOERASE | RDW_ALLCHILDREN);
        SendToChildren(wc, SKC_PARENTMOVED, 1, 0);
      }
      return true;
    }
    case SKC_GETBGCOLOR:
      if (owner && Data->Skinned())
        Message.Result = LRESULT(BgColorForChildren(Data));
      else
        Message.Result = owner ? LRESULT(ColorToRGB(owner->Color())) : LRESULT(Data->GetControlColor(0));
      return true;
    case SKC_SETHALFVISIBLE:
      Data->HalfVisible = true;
      return true;
    case SKC_PREPARECACHE:
      Data->BGChanged = false;
      return true;
    case SKC_GETSKININFO:
      if (Message.LParam) reinterpret_cast<int32_t*>(Message.LParam)[1] = Data->SkinIndex;
      return true;
    case SKC_CLEARCACHE:
      if (Data->FCacheBmp) {
        if (wc)
          for (int i = 0; i < wc->ControlCount(); ++i)
            if (auto* cw = dynamic_cast<TWinControl*>(wc->Controls(i)); cw && cw->HandleAllocated())
              SendSkinCommand(cw->Handle(), SKC_CLEARCACHE);
        Data->FCacheBmp->SetSize(0, 0);
        Data->BGChanged = true;
      }
      return true;
    case SKC_GETBGINFO: {
      if (!Message.LParam) return true;
      const int state = Data->FFocused || (Data->FMouseAbove && !IsNoHoverBgKind(Data->COC)) ? 1 : 0;
      Data->FillBgInfo(*reinterpret_cast<TacBackgroundInfo*>(Message.LParam), state);
      return true;
    }
    case SKC_GETSKINDATA:
      Message.Result = LRESULT(Data);
      return true;
    case SKC_SETPRINTDC:
      Data->PrintDC = HDC(Message.LParam);
      if (Message.LParam)
        Data->CtrlSkinState |= ACS_PRINTING;
      else
        Data->CtrlSkinState &= ~ACS_PRINTING;
      return true;
    case SKC_PAINTOUTER:
      return true;  // outer effects come with the manager that allows them
    case SKC_FRAMECHANGED:
      if (wc && wc->HandleAllocated()) {
        SetWindowPos(wc->Handle(), nullptr, 0, 0, 0, 0, 0x727);
        BroadcastToChildren(wc, Message);
      }
      return true;
    case SKC_GETAPPLICATION:
      Message.Result = LRESULT(Application);
      return true;
    case SKC_GETSTATESKIN: {
      if (!Message.LParam || !Data->Skinned()) return true;
      auto& q = *reinterpret_cast<TacStateQuery*>(Message.LParam);
      if (Data->IsStateTransparent(q.State)) {
        if (owner && owner->Parent()) {
          q.R = TRect(q.R.Left + owner->Left(), q.R.Top + owner->Top(), q.R.Right + owner->Left(),
                      q.R.Bottom + owner->Top());
          Message.Result = SendSkinCommandToControl(owner->Parent(), SKC_GETSTATESKIN, LPARAM(&q));
        }
        else if (!owner && Data->FSWHandle && GetParent(Data->FSWHandle))
          Message.Result = SendSkinCommand(GetParent(Data->FSWHandle), SKC_GETSTATESKIN, LPARAM(&q));
      } else if (q.State < Data->SkinManager()->gd[size_t(Data->SkinIndex)].States) {
        q.SkinIndex = Data->SkinIndex;
        Message.Result = 1;
      } else {
        q.SkinIndex = -1;
        Message.Result = -1;
      }
      return true;
    }
    case SKC_SETSCALE:
      Data->ScalePercent = int(Message.LParam);
      if (wc) BroadcastToChildren(wc, Message);
      return false;  // the owner's own code scales too
    case SKC_GETSCALE:
      Message.Result = Data->ScalePercent;
      return true;
    case SKC_GETBOUNDS:
      if (Message.LParam)
        *reinterpret_cast<TRect*>(Message.LParam) = owner ? owner->BoundsRect() : TRect();
      return true;
    default:
      return false;
  }
}

// ---- The common standard-message handler ----

bool HandleCommonMessage(TMessage& Message, TsCommonData* Data) {
  if (!Data) return false;
  TControl* owner = Data->FOwnerControl;
  auto* wc = dynamic_cast<TWinControl*>(owner);
  switch (Message.Msg) {
    case WM_CREATE:
    case WM_NCCREATE:
      Data->InitCommonProp();
      return false;
    case WM_MOVE:
      if (Data->Skinned() && Data->RepaintIfMoved()) {
        Data->BGChanged = true;
        if (owner) owner->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_PARENTMOVED, 1), 0);
      }
      return false;
    case WM_SIZE:
      if (Data->Skinned()) {
        Data->BGChanged = true;
        if (Data->SizeChangeNeedsRepaint() && wc) {
          SendToChildren(wc, SKC_PARENTMOVED, 1, 0);
          Data->CtrlSkinState &= ~(ACS_CHANGING_WIDTH | ACS_CHANGING_HEIGHT);
        }
      }
      return false;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (Data->Skinned() && wc) {
        const bool setting = Message.Msg == WM_SETFOCUS;
        if (setting && (!wc->CanFocus() || !wc->TabStop())) return false;
        Data->BGChanged = true;
        Data->FFocused = setting;
        if (IsStateColorsKind(Data->COC) && (setting || Data->CurrentState() == 0)) Data->ApplyStateColors(true);
      }
      return false;
    case WM_SHOWWINDOW:
      Data->KillAnimation();
      return false;
    case WM_FONTCHANGE:
    case CM_ENABLEDCHANGED:
      Data->FMouseAbove = false;
      Data->FFocused = false;
      Data->BGChanged = true;
      return false;
    case WM_WINDOWPOSCHANGING:
      if (auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam); wp && wc && wc->HandleAllocated()) {
        RECT r{};
        GetWindowRect(wc->Handle(), &r);
        if (!(wp->flags & SWP_NOSIZE)) {
          if (wp->cx != r.right - r.left) Data->CtrlSkinState |= ACS_CHANGING_WIDTH;
          if (wp->cy != r.bottom - r.top) Data->CtrlSkinState |= ACS_CHANGING_HEIGHT;
        }
      }
      return false;
    case WM_UPDATEUISTATE:
      return Data->Skinned();
    case WM_PARENTNOTIFY:
      if (wc && (Message.WParam & 0xFFFF) == WM_CREATE) NotifyParentForm(wc);
      return false;
    case WM_PRINT:
      // Unskinned windows print without their graphic children otherwise.
      if (wc && !Data->Skinned() && Message.WParam && wc->HandleAllocated()) {
        const bool edge = GetWindowLongPtrW(wc->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE;
        PaintChildrenToDC(HDC(Message.WParam), wc, false, edge ? TPoint(2, 2) : TPoint(0, 0));
        return true;
      }
      return false;
    case WM_SKINCOMMAND:
      return HandleCommonSkinCommand(Message, Data);
    case CM_VISIBLECHANGED:
      return false;
    case CM_MOUSEENTER:
      if (!IsHoverSelfKind(Data->COC)) Data->FMouseAbove = true;
      if (Data->Skinned() && IsStateColorsKind(Data->COC) && (!IsHoverOptionalKind(Data->COC) || HotEditsAllowed))
        Data->ApplyStateColors(true);
      return false;
    case CM_MOUSELEAVE:
      // A leave between the control and a window of its own is no leave.
      if (Data->MouseInOwner()) return false;
      if (!IsHoverSelfKind(Data->COC)) Data->FMouseAbove = false;
      if (Data->Skinned() && IsStateColorsKind(Data->COC) && Data->CurrentState() == 0) Data->ApplyStateColors(true);
      return false;
    case CM_SHOWINGCHANGED:
      if (owner && owner->Visible()) Data->Loaded(true);
      return false;
    default:
      return false;
  }
}

// ---- Backgrounds from parents ----

namespace {

// An unskinned control or window paints itself into the record's DC.
void PaintInto(TacBackgroundInfo& Info, const std::function<void(UINT, WPARAM)>& Send) {
  const int saved = SaveDC(Info.DC);
  SetViewportOrgEx(Info.DC, -Info.Offset.X + Info.R.Left, -Info.Offset.Y + Info.R.Top, nullptr);
  IntersectClipRect(Info.DC, Info.Offset.X, Info.Offset.Y, Info.Offset.X + Info.R.Width(), Info.Offset.Y + Info.R.Height());
  Send(WM_ERASEBKGND, WPARAM(Info.DC));
  Send(WM_PAINT, WPARAM(Info.DC));
  RestoreDC(Info.DC, saved);
}

void FillInfoColor(TacBackgroundInfo& Info, TColor Color) {
  Info.BgType = 1;
  Info.Color = Color;
  if (Info.PleaseDraw && Info.DC) PaintSolidRect(Info.DC, Info.R, Color);
}

void StartBgRequest(TacBackgroundInfo& Info, bool PleaseDraw) {
  Info.Bmp = nullptr;
  Info.BgType = 0;
  Info.PleaseDraw = PleaseDraw;
  Info.FillRect = TRect();
}

}  // namespace

bool QueryParentBgInfo(TacBackgroundInfo& Info, TControl* Parent, bool PleaseDraw) {
  StartBgRequest(Info, PleaseDraw);
  if (!Parent) return true;
  SendSkinCommandToControl(Parent, SKC_GETBGINFO, LPARAM(&Info));
  if (Info.BgType != 0) return true;
  if (PleaseDraw && Info.DC) {
    PaintInto(Info, [Parent](UINT m, WPARAM w) { Parent->Perform(m, w, 0); });
    Info.BgType = 2;
  } else {
    const TColor c = IsControlSkinned(Parent) ? TColor(SendSkinCommandToControl(Parent, SKC_GETBGCOLOR, clFuchsia))
                                              : Parent->Color();
    FillInfoColor(Info, TColor(ColorToRGB(c)));
  }
  return true;
}

bool QueryWndBgInfo(TacBackgroundInfo& Info, HWND Wnd, bool PleaseDraw) {
  StartBgRequest(Info, PleaseDraw);
  if (!Wnd) return false;
  SendSkinCommand(Wnd, SKC_GETBGINFO, LPARAM(&Info));
  if (Info.BgType != 0) return true;
  if (PleaseDraw && Info.DC) {
    PaintInto(Info, [Wnd](UINT m, WPARAM w) { SendMessageW(Wnd, m, w, 0); });
  } else {
    Info.BgType = 1;
    Info.Color = DefaultManager && DefaultManager->CommonSkinData.Active ? DefaultManager->GetGlobalColor()
                                                                          : TColor(ColorToRGB(clBtnFace));
  }
  return false;
}

TCacheInfo GetParentCacheOfWnd(HWND Wnd) {
  HWND parent = Wnd ? GetParent(Wnd) : nullptr;
  if (!parent) return EmptyCI;
  TacBackgroundInfo info;
  QueryWndBgInfo(info, parent, false);
  return CacheInfoFromBgInfo(info);
}

namespace {

bool CacheUsable(TsCommonData* Data) {
  return Data && Data->FCacheBmp && Data->FCacheBmp->Width() > 0 && Data->FCacheBmp->Height() > 0;
}

void BlitCache(TsCommonData* Data, const TPoint& SrcPoint, const TRect& ClipRect, HDC DC) {
  BitBlt(DC, ClipRect.Left, ClipRect.Top, ClipRect.Width(), ClipRect.Height(), Data->FCacheBmp->Canvas()->Handle(),
         SrcPoint.X, SrcPoint.Y, SRCCOPY);
}

}  // namespace

void CopyCacheToDC(TWinControl* Control, TsCommonData* Data, const TPoint& SrcPoint, const TRect& ClipRect, HDC DC,
                   bool RefreshCorners, int DX, int DY) {
  if (!CacheUsable(Data)) return;
  if (RefreshCorners) RefreshBgFromParent(Data, 0, 15);
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, ClipRect.Left, ClipRect.Top, ClipRect.Right, ClipRect.Bottom);
  if (Control)
    for (int i = 0; i < Control->ControlCount(); ++i) {
      TControl* ch = Control->Controls(i);
      if (!ch->Visible()) continue;
      const TRect b = ch->BoundsRect();
      const TRect moved(b.Left + DX, b.Top + DY, b.Right + DX, b.Bottom + DY);
      if (!RectOverlaps(ClipRect, moved)) continue;
      const bool graphic = dynamic_cast<TGraphicControl*>(ch) != nullptr;
      if (graphic || ch->ControlStyle.Contains(csOpaque)) ExcludeClipRect(DC, moved.Left, moved.Top, moved.Right, moved.Bottom);
    }
  BlitCache(Data, SrcPoint, ClipRect, DC);
  RestoreDC(DC, saved);
}

void CopyCacheToWndDC(HWND Wnd, TsCommonData* Data, const TPoint& SrcPoint, const TRect& ClipRect, HDC DC,
                      bool RefreshCorners, int DX, int DY) {
  if (!CacheUsable(Data)) return;
  if (RefreshCorners) RefreshBgFromParent(Data, 0, 15);
  const int saved = SaveDC(DC);
  IntersectClipRect(DC, ClipRect.Left, ClipRect.Top, ClipRect.Right, ClipRect.Bottom);
  POINT origin{0, 0};
  ClientToScreen(Wnd, &origin);
  for (HWND w = GetWindow(Wnd, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!IsWindowVisible(w)) continue;
    RECT r{};
    GetWindowRect(w, &r);
    const TRect b(r.left - origin.x + DX, r.top - origin.y + DY, r.right - origin.x + DX, r.bottom - origin.y + DY);
    const LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE), ex = GetWindowLongPtrW(w, GWL_EXSTYLE);
    const TacSkinRecords* skin = DefaultManager;
    const int gb = skin ? skin->ConstData.Sections[ssGroupBox] : -1;
    if ((style & 7) == 7 && !(ex & WS_EX_CLIENTEDGE) && skin && skin->IsValidSkinIndex(gb) &&
        skin->IsValidImgIndex(skin->gd[size_t(gb)].BorderIndex)) {
      // A group box paints only its frame; its inside shows the cache.
      const TsMaskData& m = skin->ma[size_t(skin->gd[size_t(gb)].BorderIndex)];
      const int caption = int(SendSkinCommand(w, SKC_GETSKINMANAGER));
      ExcludeClipRect(DC, b.Left, b.Top, b.Right, b.Top + caption);
      ExcludeClipRect(DC, b.Left, b.Top, b.Left + m.WL, b.Bottom);
      ExcludeClipRect(DC, b.Right - m.WR, b.Top, b.Right, b.Bottom);
      ExcludeClipRect(DC, b.Left, b.Bottom - m.WB, b.Right, b.Bottom);
    } else {
      ExcludeClipRect(DC, b.Left, b.Top, b.Right, b.Bottom);
    }
  }
  BlitCache(Data, SrcPoint, ClipRect, DC);
  RestoreDC(DC, saved);
}

void RefreshBgFromParent(TsCommonData* Data, int State, int Corners) {
  if (!Data || !Data->FCacheBmp || !Data->FOwnerControl) return;
  const TacSkinRecords* skin = Data->SkinManager();
  if (!skin || !skin->IsValidImgIndex(Data->BorderIndex)) return;
  const TsMaskData& m = skin->ma[size_t(Data->BorderIndex)];
  TBitmap* cache = Data->FCacheBmp.get();
  std::vector<TRect> top, bottom;
  GetMaskTransparentRects(top, cache->Width(), m, false, 0);
  GetMaskTransparentRects(bottom, cache->Width(), m, true, cache->Height() - m.WB);
  if (top.empty() && bottom.empty()) return;
  (void)State;
  const TCacheInfo ci = Data->GetParentCache();
  const int half = cache->Width() / 2;
  auto copy = [&](const std::vector<TRect>& rects, int leftBit, int rightBit) {
    for (const TRect& r : rects) {
      if (!(Corners & (r.Left < half ? leftBit : rightBit))) continue;
      if (ci.Ready && ci.Bmp)
        BitBlt(cache->Canvas()->Handle(), r.Left, r.Top, r.Width(), r.Height(), ci.Bmp->Canvas()->Handle(), ci.X + r.Left,
               ci.Y + r.Top, SRCCOPY);
      else
        FillRect32(cache, r, ci.FillColor, 0xFF);
    }
  };
  copy(top, 1, 4);
  copy(bottom, 2, 8);
}

void CopyParentBg(TBitmap* Bmp, int Kind, TControl* Parent, const TCacheInfo& CI, const TPoint& Pos) {
  if (!Bmp || Bmp->Empty()) return;
  if (Kind & 2) ApplyPixelFilter(Bmp, SaturationProc, DisabledSaturation * 255 / 100, clFuchsia);
  if (!(Kind & 1)) return;
  if (CI.Bmp) {
    CopyBitmapKeyed(Bmp, 0, 0, clFuchsia, DisabledBlendValue, TRect(Pos.X + CI.X, Pos.Y + CI.Y, Pos.X + CI.X + Bmp->Width(),
                                                                     Pos.Y + CI.Y + Bmp->Height()), CI.Bmp);
  } else {
    const TColor c = CI.FillColor == clFuchsia ? ControlBgColor(Parent) : CI.FillColor;
    MixBitmapWithColor(Bmp, DisabledBlendValue, c);
  }
}

// ---- Window and mouse utilities ----

TPoint SafeGetCursorPos() {
  POINT p{0, 0};
  if (!GetCursorPos(&p)) p = POINT{0, 0};
  return TPoint(p.x, p.y);
}

HWND TopParentWindow(HWND Wnd) {
  while (Wnd && GetParent(Wnd) && (GetWindowLongPtrW(Wnd, GWL_STYLE) & WS_CHILD)) Wnd = GetParent(Wnd);
  return Wnd;
}

bool HasParentWindow(HWND Wnd, HWND Parent) { return Wnd && Parent && (Wnd == Parent || IsChild(Parent, Wnd)); }

String GetWndClassName(HWND Wnd) {
  char buf[129] = {};
  const int n = GetClassNameW(Wnd, buf, 129);
  return String(buf, size_t(std::max(n, 0)));
}

TRect ClientRectInWindow(HWND Wnd) {
  RECT wr{}, cr{};
  GetWindowRect(Wnd, &wr);
  GetClientRect(Wnd, &cr);
  POINT o{0, 0};
  ClientToScreen(Wnd, &o);
  const int dx = o.x - wr.left, dy = o.y - wr.top;
  return TRect(cr.left + dx, cr.top + dy, cr.right + dx, cr.bottom + dy);
}

TCustomForm* OwnerFormOf(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->Owner())
    if (auto* f = dynamic_cast<TCustomForm*>(c)) return f;
  return nullptr;
}

UINT AlignToDrawTextFlags(TAlignment Alignment) {
  static constexpr UINT kAlign[3] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  return kAlign[Alignment] | DT_VCENTER | DT_EXPANDTABS;
}

bool MouseInWindow(HWND Wnd) {
  HDC dc = GetWindowDC(Wnd);
  RECT clip{};
  const int kind = GetClipBox(dc, &clip);
  ReleaseDC(Wnd, dc);
  if (kind != SIMPLEREGION) return false;
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  const TPoint p = SafeGetCursorPos();
  return p.X >= wr.left + clip.left && p.X < wr.left + clip.right && p.Y >= wr.top + clip.top && p.Y < wr.top + clip.bottom;
}

bool IsMouseOverControl(TControl* Control) {
  if (!Control) return false;
  const TPoint p = Control->ScreenToClient(SafeGetCursorPos());
  const TRect r = Control->ClientRect();
  if (p.X < r.Left || p.Y < r.Top || p.X >= r.Right || p.Y >= r.Bottom) return false;
  if (auto* wc = dynamic_cast<TWinControl*>(Control); wc && wc->HandleAllocated()) {
    const TPoint s = SafeGetCursorPos();
    return HasParentWindow(WindowFromPoint(POINT{s.X, s.Y}), wc->Handle());
  }
  return true;
}

// ---- Regions, corners and colours from a section ----

namespace {

// The transparent runs of a section's border in the top and bottom rows of a Width x Height image.
bool BorderRuns(int SkinIndex, int Width, int Height, const TacSkinRecords* Manager, std::vector<TRect>& Runs) {
  if (!Manager || !Manager->IsValidSkinIndex(SkinIndex)) return false;
  const int border = Manager->gd[size_t(SkinIndex)].BorderIndex;
  if (!Manager->IsValidImgIndex(border)) return false;
  const TsMaskData& m = Manager->ma[size_t(border)];
  GetMaskTransparentRects(Runs, Width, m, false, 0);
  GetMaskTransparentRects(Runs, Width, m, true, Height - m.WB);
  return true;
}

}  // namespace

HRGN CreateMaskRegion(int SkinIndex, const TSize& Size, const TacSkinRecords* Manager) {
  std::vector<TRect> runs;
  if (!BorderRuns(SkinIndex, Size.cx, Size.cy, Manager, runs)) return nullptr;
  HRGN rgn = CreateRectRgn(0, 0, Size.cx, Size.cy);
  for (const TRect& r : runs) {
    HRGN hole = CreateRectRgn(r.Left, r.Top, r.Right, r.Bottom);
    CombineRgn(rgn, rgn, hole, RGN_DIFF);
    DeleteObject(hole);
  }
  return rgn;
}

void FillTransparentCorners(int SkinIndex, TBitmap* Bmp, const TacSkinRecords* Manager) {
  std::vector<TRect> runs;
  if (!Bmp || !BorderRuns(SkinIndex, Bmp->Width(), Bmp->Height(), Manager, runs)) return;
  for (const TRect& r : runs) FillRect32(Bmp, r, 0, 0);
}

void ApplyColorTransforms(TBitmap* Bmp, TsCommonData* Data, int State) {
  if (!Bmp || !Data) return;
  if (Data->FColorTone != kNoColorTone) ApplyPixelFilter(Bmp, ToneProc, int(Data->FColorTone), clFuchsia);
  if (Data->FHUEOffset != 0) ApplyPixelFilter(Bmp, HueProc, Data->FHUEOffset, clFuchsia);
  if (Data->FSaturation != 0)
    ApplyPixelFilter(Bmp, SaturationProc, std::clamp(Data->FSaturation * 255 / 100, -255, 255), clFuchsia);
  RefreshBgFromParent(Data, State, 15);
}

TColor GetSectionFontColor(HWND Wnd, int SkinIndex, const TacSkinRecords* Manager, int State) {
  if (!Manager || !Manager->CommonSkinData.Active) return clBtnText;
  if (State != 0 && Manager->IsValidSkinIndex(SkinIndex)) {
    const TsGeneralData& g = Manager->gd[size_t(SkinIndex)];
    const int s = std::min(State, 2);
    if (s < g.States && g.Props[size_t(s)].Transparency < 40) return g.Props[size_t(s)].FontColor.Color;
  }
  TacStateQuery q;
  q.State = State;
  q.SkinIndex = SkinIndex;
  const LRESULT answer = Wnd ? SendSkinCommand(Wnd, SKC_GETSTATESKIN, LPARAM(&q)) : 0;
  if (answer == 0) return clBtnText;
  if (answer != -1 && q.SkinIndex >= 0) SkinIndex = q.SkinIndex;
  if (!Manager->IsValidSkinIndex(SkinIndex)) return Manager->Palette[pcLabelText];
  const TsGeneralData& g = Manager->gd[size_t(SkinIndex)];
  return g.Props[size_t(std::clamp(std::min(State, g.States - 1), 0, 2))].FontColor.Color;
}

void FinishTimerAnimation(TacThreadedTimer* Timer) {
  if (!Timer || Timer->Destroyed) return;
  Timer->Iteration = Timer->Iterations;
  Timer->Glow = Timer->State <= 0 ? 0 : 255;
  Timer->SetEnabled(false);
  if (Timer->AnimProc) Timer->AnimProc(Timer->AnimData, Timer->Iteration);
  Timer->BmpOut.reset();
}

namespace {
bool gPaintingChildren = false;
}

void PaintChildrenToDC(HDC DC, TWinControl* Control, bool CheckPrint, const TPoint& Offset) {
  if (gPaintingChildren || !Control || !DC || Control->ControlCount() == 0) return;
  if (CheckPrint && !Control->Visible() && !(Control->ComponentState() & csDesigning)) return;
  RECT clip{};
  if (GetClipBox(DC, &clip) == NULLREGION || clip.right <= clip.left || clip.bottom <= clip.top) {
    if (Control->HandleAllocated()) SendSkinCommand(Control->Handle(), SKC_SETHALFVISIBLE);
    return;
  }
  gPaintingChildren = true;
  TacBackgroundInfo bg;
  QueryParentBgInfo(bg, Control, false);
  const TColor bgColor = ControlBgColor(Control);
  std::unique_ptr<TBitmap> mem;
  std::vector<TControl*> painted;
  for (int i = 0; i < Control->ControlCount(); ++i) {
    TControl* ch = Control->Controls(i);
    if (!IsPaintableGraphic(ch, nullptr)) continue;
    if (!mem) mem = NewBitmap32(Control->Width(), Control->Height());
    const TRect b = ch->BoundsRect();
    // The background the child paints over.
    if (ch->ControlStyle.Contains(csOpaque) || bg.BgType != 2 || !bg.Bmp)
      FillRect32(mem.get(), b, ch->ControlStyle.Contains(csOpaque) ? bgColor : TColor(bg.Color), 0xFF);
    else
      BitBlt(mem->Canvas()->Handle(), b.Left, b.Top, b.Width(), b.Height(), bg.Bmp->Canvas()->Handle(),
             bg.Offset.X + b.Left, bg.Offset.Y + b.Top, SRCCOPY);
    HDC mdc = mem->Canvas()->Handle();
    const int saved = SaveDC(mdc);
    SetViewportOrgEx(mdc, b.Left, b.Top, nullptr);
    IntersectClipRect(mdc, 0, 0, b.Width(), b.Height());
    try {
      ch->Perform(WM_PAINT, WPARAM(mdc), 0);
    } catch (...) {
      RestoreDC(mdc, saved);
      gPaintingChildren = false;
      throw;
    }
    RestoreDC(mdc, saved);
    painted.push_back(ch);
  }
  for (TControl* ch : painted) {
    const TRect b = ch->BoundsRect();
    if ((GetPixel32(mem.get(), std::max(b.Left, 0), std::max(b.Top, 0)) & 0xFFFFFF) == 0xFF00FF) continue;
    BitBlt(DC, b.Left + Offset.X, b.Top + Offset.Y, b.Width(), b.Height(), mem->Canvas()->Handle(), b.Left, b.Top,
           SRCCOPY);
  }
  gPaintingChildren = false;
}

TControl* ControlAtCursor() {
  const TPoint p = SafeGetCursorPos();
  HWND w = WindowFromPoint(POINT{p.X, p.Y});
  TWinControl* wc = w ? TWinControl::FindControl(w) : nullptr;
  if (!wc) return nullptr;
  const TPoint c = wc->ScreenToClient(p);
  for (int i = wc->ControlCount() - 1; i >= 0; --i) {
    const TRect b = wc->Controls(i)->BoundsRect();
    if (c.X >= b.Left && c.X < b.Right && c.Y >= b.Top && c.Y < b.Bottom) return wc->Controls(i);
  }
  return wc;
}
