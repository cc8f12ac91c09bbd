// The skin commands a form answers through its provider, in three sets tried
// in order (every form first; then a form without its skin; then a skinned
// form), the notices that let the adapter skin controls added later, and the
// link with the skin editor of a program started for live preview.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "skin/core/sMessages.h"
#include "skin/forms/acCtrlAdapter.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sSkinProviderScrolls.h"

namespace {

// The editor's window title, and how often it is asked to take the preview form.
constexpr const char* kEditorTitle = "Glazory Editor";
constexpr int kEditorAttempts = 101;
// WM_SKINEDITOR requests and WM_COPYDATA's preview kind.
constexpr WPARAM kEditorClose = 1, kEditorLink = 3, kEditorProbe = 4, kPreviewCopy = 7;

// Set while a preview buffer is being copied.
bool CopyingPreview = false;

void RedrawForm(TCustomForm* Form, UINT Flags) {
  if (Form && Form->HandleAllocated()) RedrawWindow(Form->Handle(), nullptr, nullptr, Flags);
}

void SendMoveDone(TCustomForm* Form) {
  if (Form && Form->HandleAllocated())
    SendSkinMessage(Form->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_MOVEDONE), 0);
}

// Every label of the form's components, however deep.
void ForEachLabel(TComponent* Owner, const std::function<void(TCustomLabel*)>& Proc) {
  for (int i = 0; i < Owner->ComponentCount(); ++i) {
    TComponent* c = Owner->Components(i);
    if (auto* l = dynamic_cast<TCustomLabel*>(c)) Proc(l);
    ForEachLabel(c, Proc);
  }
}

}  // namespace

// ---- Every form ----

bool TsSkinProvider::EarlySkinCommand(TMessage& Message) {
  const bool own = Skin() && Message.LParam == LPARAM(Skin());
  const int cmd = SkinCommandOf(Message);
  switch (cmd) {
    case SKC_SKINCHANGED:
      KillAnimations();
      if (FormDestroying() || !FCommonData) return false;
      if (own && !SystemMenu) PrepareForm();
      return false;
    case SKC_SKINREMOVED:
      if (own)
        SkinRemoved(Message);
      else {
        HandleCommonSkinCommand(Message, FCommonData.get());
        if (Form) BroadcastToChildren(Form, Message);
      }
      return true;
    case SKC_ISSKINNED:
      Message.Result = 1;
      return true;
    case SKC_ENDUPDATE:
      if (FCommonData && (FCommonData->CtrlSkinState & ACS_MNUPDATING)) {
        FCommonData->CtrlSkinState &= ~ACS_MNUPDATING;
        if (Form) Form->Perform(CM_MENUCHANGED, 0, 0);
      }
      return false;
    case SKC_GETBGINFO:
      if (!FCommonData || !FCommonData->Skinned() || !Message.LParam) return false;
      BackgroundInfo(*reinterpret_cast<TacBackgroundInfo*>(Message.LParam));
      return true;
    case SKC_GETAPPLICATION:
      Message.Result = LRESULT(Application);
      return true;
    case SKC_GETCLIENTOFFSET:
      Message.Result = LRESULT(MAKELPARAM(OffsetX(), OffsetY()));
      return true;
    case SKC_SETSCALE: {
      SetHotHT(-1, true);
      const int was = std::max(FCommonData->ScalePercent, 1), now = int(Message.LParam);
      auto scaled = [&](int v) { return int(std::lround(double(v) * now / was)); };
      TFont* f = FAddedTitle->Font();
      f->SetHeight(scaled(f->Height()));
      FFormHeader->SetAdditionalHeight(scaled(FFormHeader->AdditionalHeight()));
      HandleCommonSkinCommand(Message, FCommonData.get());
      if (Form) BroadcastToChildren(Form, Message);
      return true;
    }
    case SKC_GETSCALE:
      Message.Result = FCommonData->ScalePercent;
      return true;
  }
  if (cmd >= SKC_PRINTED && cmd <= SKC_MOVESTARTED) {
    // Notifications for the form's own code.
    CallOld(Message);
    return true;
  }
  return false;
}

void TsSkinProvider::SkinRemoved(TMessage& Message) {
  FreeListSW(this);
  if (Form && Form->HandleAllocated()) SetTransitionsDisabled(Form->Handle(), false);
  HandleCommonSkinCommand(Message, FCommonData.get());
  FLinesCount = FTitleSkinIndex = FCaptionSkinIndex = -1;
  if (Form) BroadcastToChildren(Form, Message);
  if (Adapter) {
    // Each handler hears of the removal, then lets its control go.
    TMessage m = MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(SKC_SKINREMOVED), Message.LParam);
    Adapter->WndProc(m);
    Adapter.reset();
  }
  KillAnimations();
  if (FormDestroying()) return;
  if (Manager()) {
    InitMenuItems(false);
    UpdateSysMenuStyle(false);
    if (HaveBorder(this) && Form->HandleAllocated()) SetWindowRgn(Form->Handle(), nullptr, TRUE);
    UpdateMenu();
    if (FUseGlobalColor && !FCommonData->CustomColor()) Form->SetColor(clBtnFace);
    UpdateExBorders(false);
  }
  // Every recoloured label gets its colours back; entries of labels gone since are dropped unread.
  std::vector<TacLabelColor> saved = SavedLabelColors;
  ForEachLabel(Form, [&](TCustomLabel* l) {
    if (std::any_of(saved.begin(), saved.end(), [&](const TacLabelColor& c) { return c.Control == l; }))
      InitLabel(l, false);
  });
  SavedLabelColors.clear();
  FCommonData->FCacheBmp.reset();
  RedrawForm(Form, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  SendMoveDone(Form);
}

void TsSkinProvider::BackgroundInfo(TacBackgroundInfo& Info) {
  Info.Offset = TPoint(0, 0);
  if (BGChanged() && (!FCommonData->Updating() || FInAnimation)) PaintAll();
  if (Info.PleaseDraw) Info.Offset = TPoint(OffsetX(), OffsetY());
  if (Form->OnPaint && FCommonData->FCacheBmp) {
    Info.Bmp = FCommonData->FCacheBmp.get();
    Info.Offset = TPoint(OffsetX(), OffsetY());
    Info.BgType = 2;
    return;
  }
  FCommonData->FillBgInfo(Info, std::min<int>(FormActive ? 1 : 0, 1));
  if (Info.BgType == 2 && !Info.Bmp && !Info.PleaseDraw) {
    PaintAll();
    Info.Bmp = FCommonData->FCacheBmp.get();
  }
  Info.Offset.X += OffsetX();
  if (Info.Offset.X != 0) Info.FillRect.Left = std::max(0, Info.FillRect.Left - Info.Offset.X);
  Info.Offset.Y += OffsetY();
  if (Info.Offset.Y != 0) Info.FillRect.Top = std::max(0, Info.FillRect.Top - Info.Offset.Y);
}

// ---- A form without its skin ----

bool TsSkinProvider::UnskinnedSkinCommand(TMessage& Message) {
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      if (FormDestroying() || !FCommonData) return false;
      if (Message.LParam == LPARAM(Skin())) {
        KillAnimations();
        ResolveSkin();
        if (Manager() && Form->HandleAllocated()) FormActive = GetActiveWindow() == Form->Handle();
        SetBGChanged(true);
        if (Form->HandleAllocated()) SetTransitionsDisabled(Form->Handle(), FDrawNonClientArea);
        AdaptAllControls();
      }
      return true;
    case SKC_GETPROVIDER:
      Message.Result = LRESULT(static_cast<TObject*>(this));
      return true;
    case SKC_PREPARECACHE:
      SetBGChanged(false);
      return true;
  }
  return false;
}

// ---- A skinned form ----

void TsSkinProvider::SkinCommand(TMessage& Message) {
  const bool own = Message.LParam == LPARAM(Skin());
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      if (!own) return;
      ResolveSkin();
      if (TempBmp) TempBmp->SetSize(0, 0);
      ProcessMessage(WM_NCPAINT);
      return;
    case SKC_SKINLOADED:
      if (!own) return;
      AdaptAllControls();
      if (FDrawNonClientArea && DrawClientArea) InitScrolls();
      FLinesCount = -1;
      if (!SkinLoadingInProgress) {
        UpdateMenu();
        InitMenuItems(true);
      }
      if (HaveBorder(this)) RgnChanged = true;
      UpdateTitleBar();
      if (Form->Visible()) {
        SetBGChanged(true);
        if (TsSkinManager* m = Manager()) UpdateExBorders(m->ExtendedBorders());
      }
      if (!FormAnimating && Form->HandleAllocated() && IsWindowVisible(Form->Handle()))
        RedrawForm(Form, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      if (FUseGlobalColor && !FCommonData->CustomColor())
        if (TsSkinManager* m = Manager()) Form->SetColor(m->GetGlobalColor());
      FCommonData->FUpdating = false;
      if (SystemMenu) SystemMenu->UpdateGlyphs();
      if (Adapter) Adapter->WndProc(Message);
      SendMoveDone(Form);
      return;
    case SKC_GETPROVIDER:
      Message.Result = LRESULT(static_cast<TObject*>(this));
      return;
    case SKC_REFRESH:
      if (FCommonData->FUpdating && !FCommonData->CheckUpdating(true)) {
        RedrawForm(Form, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
        RefreshChildControls(Form);
      }
      return;
    case SKC_SETUPDATING:
      FCommonData->FUpdating = SkinCommandArg(Message) == 1;
      if (FCommonData->Updating()) SetBGChanged(true);
      return;
    case SKC_ISUPDATING:
      Message.Result = !FormAnimating && FCommonData->Updating() ? 1 : 0;
      return;
    case SKC_BGCHANGED:
      SetBGChanged(true);
      return;
    case SKC_COMPLEXBG: {
      const TacSkinRecords* s = Skin();
      const int i = FCommonData->SkinIndex;
      Message.LParam = 1;
      if (s && s->IsValidSkinIndex(i)) {
        const auto& g = s->gd[size_t(i)];
        if (g.Props[0].ImagePercent + g.Props[0].GradientPercent < 1)
          Message.LParam = s->IsValidImgIndex(g.BorderIndex) && (s->ma[size_t(g.BorderIndex)].DrawMode & 4) ? 1 : 0;
      }
      Message.Result = Message.LParam;
      return;
    }
    case SKC_GETBGCOLOR:
      Message.Result = LRESULT(FCommonData->GetControlColor(FCommonData->CurrentState()));
      return;
    case SKC_PREPARECACHE:
      if (SkinChangingFlag || !BGChanged() || FCommonData->Updating()) return;
      PaintAll();
      if (BGChanged() && (!Form->ControlState.Empty() || (FFormState & (FS_ANIMCLOSING | FS_BLENDMOVING)) ||
                          FCommonData->SkinIndex < 0))
        SetBGChanged(false);
      return;
    case SKC_ADAPTCONTROL:
      if (Form && !(Form->ComponentState() & csLoading) && Adapter) {
        auto* c = reinterpret_cast<TWinControl*>(Message.LParam);
        Adapter->AddAllItems(c);
      }
      return;
    case SKC_MOUSELEAVE:
      SetHotHT(-1, true);
      biClicked = false;
      return;
    case SKC_BEGINREDRAW:
      if (FCommonData->RepaintIfMoved()) Form->Perform(WM_SETREDRAW, 0, 0);
      return;
    case SKC_ENDREDRAW:
      if (FCommonData->RepaintIfMoved()) {
        Form->Perform(WM_SETREDRAW, 1, 0);
        RedrawForm(Form, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      }
      return;
    case SKC_TITLECHANGED:
      if (Message.LParam == 1) {
        SetBGChanged(true);
        UpdateTitleBar();
      }
      UpdateNonClient();
      return;
    case SKC_SETSLAVE:
      if (Message.LParam == 1)
        FFormState |= FS_SLAVE;
      else
        FFormState &= ~unsigned(FS_SLAVE);
      return;
    case SKC_ISSLAVE:
      Message.Result = (FFormState & FS_SLAVE) ? 1 : 0;
      return;
    case SKC_SETALPHA: {
      if (!Form->HandleAllocated() || !IsWindowVisible(Form->Handle())) return;
      HWND h = Form->Handle();
      const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
      if (Message.LParam != 255) {
        if (!(ex & WS_EX_LAYERED)) SetWindowLongPtrW(h, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        SetLayeredWindowAttributes(h, COLORREF(kNoColorTone), BYTE(Message.LParam), LWA_ALPHA);
      } else if (ex & WS_EX_LAYERED) {
        SetWindowLongPtrW(h, GWL_EXSTYLE, ex & ~LONG_PTR(WS_EX_LAYERED));
      }
      return;
    }
    case SKC_GETSTATESKIN: {
      auto* q = reinterpret_cast<TacStateQuery*>(Message.LParam);
      const TacSkinRecords* s = Skin();
      if (!q || !s) return;
      const int header = FHeaderIndex;
      if (FFormHeader->AdditionalHeight() > 0 && s->IsValidSkinIndex(header) && q->R.Top < FFormHeader->AdditionalHeight()) {
        q->SkinIndex = header;
        Message.Result = 1;
        return;
      }
      const int i = FCommonData->SkinIndex;
      q->SkinIndex = s->IsValidSkinIndex(i) && q->State < s->gd[size_t(i)].States ? i : -1;
      Message.Result = 1;
      return;
    }
    case SKC_GETBORDERWIDTH: {
      if (FormScrollsLeftEdge(ListSW) > 0) {
        Message.Result = FormScrollsLeftEdge(ListSW) - FormBorderWidth(Form);
        return;
      }
      const int w = (Form->Width() - Form->ClientWidth()) / 2 - FormBorderWidth(Form);
      Message.Result = w != 0 ? w : Message.LParam;
      return;
    }
  }
  // Any other command means nothing to a skinned form.
}

// ---- Controls added later ----

void TsSkinProvider::ChildControlMessage(TMessage& Message) {
  CallOld(Message);
  if (!Adapter) return;
  switch (Message.Msg) {
    case CM_CONTROLLISTCHANGE:
      // Inserted (LParam 1) windowed controls get their handlers at once.
      if (!Message.LParam) return;
      Adapter->ControlsAddedSinceWalk = true;
      if (auto* c = dynamic_cast<TWinControl*>(reinterpret_cast<TControl*>(Message.WParam))) Adapter->AddNewItem(c);
      return;
    case WM_PARENTNOTIFY: {
      TsSkinManager* m = Manager();
      if (FormDestroying() || (Form->ComponentState() & csLoading) || !m ||
          !m->SkinningRules().Contains(srThirdParty) || (Message.WParam & 0xFFFF) != WM_CREATE)
        return;
      Adapter->ControlsAddedSinceWalk = true;
      HWND w = reinterpret_cast<HWND>(Message.LParam);
      if (!w) {
        Adapter->AddAllItems();
        return;
      }
      if (!IsWindowVisible(w)) return;
      // The control is found by its window, not by comparing an identifier with a handle.
      if (TWinControl* c = TWinControl::FindControl(w))
        Adapter->AddNewItem(c);
      else
        Adapter->AddAllItems();
      return;
    }
    case WM_NOTIFY:
      // Custom drawing comes with every paint of some controls: the form is
      // walked again only when a control came since the last walk.
      if (Message.LParam && reinterpret_cast<NMHDR*>(Message.LParam)->code == NM_CUSTOMDRAW &&
          Adapter->ControlsAddedSinceWalk)
        Adapter->AddAllItems();
      return;
  }
}

// ---- The skin editor ----

void LinkToSkinEditor(HWND Handle) {
  if (!PreviewRequested || PreviewFormHandle) return;
  TCustomForm* main = Application->MainForm();
  if (main && !(main->HandleAllocated() && main->Handle() == Handle)) return;
  PreviewFormHandle = Handle;
  PreviewRequested = false;
  for (int i = 0; i < kEditorAttempts; ++i) {
    HWND editor = FindWindowW(nullptr, kEditorTitle);
    if (!editor) return;
    if (SendMessageW(editor, WM_SKINEDITOR, kEditorLink, LPARAM(Handle)) == 1) return;
  }
}

void TsSkinProvider::WMSkinEditor(TMessage& Message) {
  switch (Message.WParam) {
    case kEditorClose:
      if (Form) Form->Close();
      break;
    case kEditorLink:
      CallOld(Message);
      break;
    case kEditorProbe:
      Message.Result = 1;
      break;
  }
}

void TsSkinProvider::WMCopyData(TMessage& Message) {
  CallOld(Message);
  if (Message.Result != 0 || !Form || !Form->HandleAllocated() || Form->Handle() != PreviewFormHandle ||
      CopyingPreview)
    return;
  const auto* cd = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
  if (!cd || cd->dwData != kPreviewCopy || !cd->lpData || cd->cbData < sizeof(int32_t)) return;
  int32_t magic = 0;
  std::memcpy(&magic, cd->lpData, sizeof magic);
  if (magic != TacSkinData::kMagic) return;
  TsSkinManager* m = DefaultSkinManager();
  CopyingPreview = true;
  // A buffer shorter than a whole preview is refused, never read past its end.
  const bool copied = m && m->PreviewBuffer.DecodeFrom(static_cast<const uint8_t*>(cd->lpData), cd->cbData);
  CopyingPreview = false;
  if (copied && Application->Handle())
    PostMessageW(Application->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_LOADPREVIEW), 0);
}
