#include "skin/controls/acSpeedButtonHandler.h"

#include <algorithm>

#include "skin/controls/acBtnWnd.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinPaint.h"
#include "skin/core/sTextPaint.h"
#include "skin/core/sVclUtils.h"

class TacSpeedButtonHandler::Watch : public TComponent {
 public:
  explicit Watch(TacSpeedButtonHandler* H) : TComponent(nullptr), FHandler(H) {}
  ~Watch() override {
    if (FHandler->Ctrl) FHandler->Ctrl->RemoveFreeNotification(this);
  }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FHandler->Ctrl) FHandler->Ctrl = nullptr;
  }

 private:
  TacSpeedButtonHandler* FHandler;
};

TacSpeedButtonHandler::TacSpeedButtonHandler(TControl* Btn, TsCommonData* ASkinData, const TacSkinRecords* ASkinManager,
                                             const String& SkinSection, bool)
    : Ctrl(Btn), SkinData(ASkinData), SkinManager(ASkinManager ? ASkinManager : ASkinData->SkinManager()) {
  FWatch = std::make_unique<Watch>(this);
  Ctrl->FreeNotification(FWatch.get());
  if (SkinData->SkinSection().empty()) SkinData->SetSkinSection(SkinSection);
  OldWndProc = Ctrl->WindowProc;
  auto proc = [this](TMessage& m) { acWndProc(m); };
  Ctrl->WindowProc = proc;
  SkinData->WndProc = proc;
}

void TacSpeedButtonHandler::GiveBack() {
  if (Destroyed) return;
  Destroyed = true;
  if (!Ctrl) return;
  Ctrl->WindowProc = OldWndProc;
  SkinData->WndProc = OldWndProc;
}

TacSpeedButtonHandler::~TacSpeedButtonHandler() {
  if (Ctrl && !(Ctrl->ComponentState() & csDestroying)) GiveBack();
  SkinManager = nullptr;
}

LRESULT TacSpeedButtonHandler::CallPrevWndProc(UINT Msg, WPARAM WParam, LPARAM& LParam) {
  if (!OldWndProc) return 0;
  TMessage m{Msg, WParam, LParam, 0};
  OldWndProc(m);
  LParam = m.LParam;
  return m.Result;
}

String TacSpeedButtonHandler::Caption() const { return Ctrl ? Ctrl->Caption() : String(); }

int TacSpeedButtonHandler::GlyphWidth() const {
  TSpeedButton* b = Button();
  if (!b || b->Glyph()->Empty()) return 0;
  return b->Glyph()->Width() / std::max(1, b->NumGlyphs());
}

int TacSpeedButtonHandler::GlyphHeight() const {
  TSpeedButton* b = Button();
  return !b || b->Glyph()->Empty() ? 0 : b->Glyph()->Height();
}

int TacSpeedButtonHandler::CurrentState() const {
  if (TSpeedButton* b = Button(); b && (b->State() == bsDown || b->State() == bsExclusive)) return 2;
  return SkinData->CurrentState();
}

bool TacSpeedButtonHandler::Shifted() const {
  return CurrentState() == 2 && (!SkinData->Skinned() || ButtonsOptions.ShiftContentOnClick);
}

TSize TacSpeedButtonHandler::TextRectSize() {
  const String text = Caption();
  if (text.empty()) return TSize(0, 0);
  SkinData->PrepareCacheBmp();
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  c->Font()->Assign(Ctrl->Font());
  RECT r{0, 0, 255, 0};
  DrawText(c->Handle(), text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  return TSize(r.right - r.left, r.bottom - r.top);
}

TRect TacSpeedButtonHandler::ImgRect() {
  TSpeedButton* b = Button();
  const int gw = GlyphWidth(), gh = GlyphHeight(), W = Ctrl->Width(), H = Ctrl->Height();
  const TSize t = TextRectSize();
  const bool captioned = !Caption().empty();
  const int spacing = b ? b->Spacing() : 0, margin = b ? b->Margin() : -1;
  const int x0 = (W - gw - (gw > 0 && captioned ? spacing : 0) - t.cx) / 2;
  const int y0 = (H - gh - (gh > 0 && captioned ? spacing : 0) - t.cy) / 2;
  int x = 0, y = 0;
  switch (b ? b->Layout() : blGlyphLeft) {
    case blGlyphLeft: x = margin == -1 ? x0 : margin; y = (H - gh) / 2; break;
    case blGlyphRight: x = margin == -1 ? W - gw - x0 : W - gw - margin; y = (H - gh) / 2; break;
    case blGlyphTop: x = (W - gw) / 2; y = margin == -1 ? y0 : margin; break;
    case blGlyphBottom: x = (W - gw) / 2; y = margin == -1 ? H - gh - y0 : H - gh - margin; break;
  }
  if (Shifted()) ++x, ++y;
  return TRect(x, y, x + gw, y + gh);
}

TRect TacSpeedButtonHandler::CaptionRect() {
  TSpeedButton* b = Button();
  const TSize t = TextRectSize();
  const int W = Ctrl->Width(), H = Ctrl->Height(), s = Shifted() ? 1 : 0;
  const int spacing = b ? b->Spacing() : 0, margin = b ? b->Margin() : -1;
  const TButtonLayout layout = b ? b->Layout() : blGlyphLeft;
  int left = 0, top = 0;
  if (GlyphWidth() == 0) {
    if (margin == -1) {
      left = (W - t.cx) / 2;
      top = (H - t.cy) / 2;
    } else {
      switch (layout) {
        case blGlyphLeft: left = margin; top = (H - t.cy) / 2; break;
        case blGlyphRight: left = W - margin - t.cx; top = (H - t.cy) / 2; break;
        case blGlyphTop: left = (W - t.cx) / 2; top = margin; break;
        case blGlyphBottom: left = (W - t.cx) / 2; top = H - margin - t.cy; break;
      }
    }
  } else {
    const TRect g = ImgRect();
    switch (layout) {
      case blGlyphLeft: left = g.Right + spacing; top = (H - t.cy) / 2; break;
      case blGlyphRight: left = g.Left - spacing - t.cx; top = (H - t.cy) / 2; break;
      case blGlyphTop: left = (W - t.cx) / 2; top = g.Bottom + spacing - s; break;
      case blGlyphBottom: left = (W - t.cx) / 2; top = g.Top - spacing - t.cy; break;
    }
  }
  return TRect(left + s, top + s, left + t.cx + s, top + t.cy + s);
}

void TacSpeedButtonHandler::DoDrawText(const TRect& R, UINT Flags) {
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  c->Font()->Assign(Ctrl->Font());
  DrawSkinControlText(c, Caption(), Ctrl->Enabled(), CurrentState() != 0 ? 1 : 0, *SkinData, Flags & ~UINT(DT_SINGLELINE),
                      R);
}

void TacSpeedButtonHandler::DrawCaption() {
  if (Caption().empty()) return;
  TCanvas* c = SkinData->FCacheBmp->Canvas();
  c->Font()->Assign(Ctrl->Font());
  SetBkMode(c->Handle(), TRANSPARENT);
  DoDrawText(CaptionRect(), DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS);
}

void TacSpeedButtonHandler::DrawGlyph() {
  TSpeedButton* b = Button();
  if (!b || b->Glyph()->Empty()) return;
  const int state = CurrentState();
  TacGlyphDrawInfo gi;
  gi.Glyph = b->Glyph();
  gi.NumGlyphs = b->NumGlyphs();
  gi.DstBmp = SkinData->FCacheBmp.get();
  gi.Rect = ImgRect();
  gi.Enabled = b->Enabled();
  gi.Down = b->Down();
  gi.State = std::min(state, 2);
  const TacSkinRecords* skin = SkinData->SkinManager();
  if (state == 0 && ButtonsOptions.DiscoloredGlyphs && SkinData->Skinned())
    gi.TintColor = skin->gd[size_t(SkinData->SkinIndex)].Props[0].Color;
  DrawImageListItem(gi);
}

void TacSpeedButtonHandler::PrepareCache() {
  SkinData->PrepareCacheBmp();
  TBitmap* cache = SkinData->FCacheBmp.get();
  cache->Canvas()->Font()->Assign(Ctrl->Font());
  TacBackgroundInfo info;
  QueryParentBgInfo(info, Ctrl->Parent(), false);
  const TCacheInfo ci = CacheInfoFromBgInfo(info);
  // The parent has no image yet: the last one stays.
  if (ci.Ready && ci.Bmp && ci.Bmp->Width() == 0) return;
  cache->SetPixelFormat(pf32bit);
  cache->SetSize(Ctrl->Width(), Ctrl->Height());
  const int s = CurrentState();
  PaintControlItem(*SkinData, ci, cache, TPoint(Ctrl->Left(), Ctrl->Top()), TRect(0, 0, Ctrl->Width(), Ctrl->Height()), s,
                   true);
  RefreshBgFromParent(SkinData, s, 15);
  DrawCaption();
  DrawGlyph();
  if (!Ctrl->Enabled()) CopyParentBg(cache, 1, Ctrl->Parent(), SkinData->GetParentCache(), TPoint(Ctrl->Left(), Ctrl->Top()));
  SkinData->BGChanged = false;
}

void TacSpeedButtonHandler::AC_WMPaint(TMessage& Message) {
  HDC dc = reinterpret_cast<HDC>(Message.WParam);
  if (!dc) return;
  const int saved = SaveDC(dc);
  PrepareCache();
  RefreshBgFromParent(SkinData, 0, 15);
  BitBlt(dc, 0, 0, Ctrl->Width(), Ctrl->Height(), SkinData->FCacheBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
  RestoreDC(dc, saved);
}

void TacSpeedButtonHandler::Repaint() {
  if (Ctrl && Ctrl->Visible()) Ctrl->Invalidate();
}

void TacSpeedButtonHandler::acWndProc(TMessage& Message) {
  const bool own = Message.LParam == LPARAM(SkinManager);
  switch (Message.Msg) {
    case WM_DESTROY:
      if (Destroyed) break;
      // The parent's window ends: the button goes back to its own procedure first.
      GiveBack();
      if (OldWndProc) OldWndProc(Message);
      Ctrl = nullptr;
      return;
    case WM_PAINT:
      AC_WMPaint(Message);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      SkinData->FMouseAbove = Message.Msg == CM_MOUSEENTER;
      SkinData->BGChanged = true;
      Message.Result = CallPrevWndProc(Message.Msg, Message.WParam, Message.LParam);
      Repaint();
      return;
    case WM_SKINCOMMAND:
      switch (SkinCommandOf(Message)) {
        case SKC_SKINCHANGED:
          if (!own) break;
          HandleCommonMessage(Message, SkinData);
          return;
        case SKC_SKINREMOVED:
          if (!own || !Ctrl || (Ctrl->ComponentState() & csDestroying)) break;
          HandleCommonMessage(Message, SkinData);
          Repaint();
          GiveBack();
          return;
        case SKC_SKINLOADED:
          if (!own) break;
          HandleCommonMessage(Message, SkinData);
          Repaint();
          return;
        case SKC_REFRESH:
          if (!SkinData->CheckUpdating(false)) break;
          SkinData->FUpdating = false;
          return;
        case SKC_ISSKINNED:
          Message.Result = 1;
          return;
        case SKC_INVALIDATE:
          SkinData->FUpdating = false;
          SkinData->BGChanged = true;
          Repaint();
          return;
        case SKC_GETAPPLICATION:
          Message.Result = LRESULT(Application);
          return;
        case SKC_GETSTATESKIN:
          HandleCommonSkinCommand(Message, SkinData);
          return;
      }
      break;
  }
  Message.Result = CallPrevWndProc(Message.Msg, Message.WParam, Message.LParam);
}
