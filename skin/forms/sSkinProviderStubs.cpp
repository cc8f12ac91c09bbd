// Interim bodies of the provider's methods whose subjects have units of their
// own (title buttons, system menu, option objects, services, skin commands,
// extended borders, the menu line). Each is the smallest behaviour the frame
// needs; a unit that takes a subject over moves its definitions out of here.

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"

// ---- Title buttons ----

void TsSkinProvider::SetHotHT(int i, bool) { CurrentHT = i; }
void TsSkinProvider::DropSysMenu(int, int) {}

// ---- Menu line ----

void TsSkinProvider::PrepareMenuLine() {}
bool TsSkinProvider::UpdateMenu() { return false; }
void TsSkinProvider::InitMenuItems(bool) {}
void TsSkinProvider::RepaintMenu() {}
void TsSkinProvider::UpdateTitleBar() {}

// ---- Extended borders and caption cover ----

TacBorderForm::TacBorderForm(TObject* AOwner) : FOwner(AOwner), sp(dynamic_cast<TsSkinProvider*>(AOwner)) {}
TacBorderForm::~TacBorderForm() { delete std::exchange(AForm, nullptr); }
HWND TacBorderForm::OwnerHandle() const {
  return sp && sp->Form && sp->Form->HandleAllocated() ? sp->Form->Handle() : nullptr;
}
TRect TacBorderForm::ShadowSize() const {
  const TacSkinRecords* s = SkinData ? SkinData->SkinManager() : nullptr;
  return s ? s->FormShadowSize : TRect();
}
void TacBorderForm::UpdateExBordersPos(bool, uint8_t) {}

void TsSkinProvider::UpdateExBorders(bool Allow) {
  if (!Allow) delete std::exchange(BorderForm, nullptr);
}
void TsSkinProvider::ShowCaptionCover() {}
void TsSkinProvider::HideCaptionCover() {}

// ---- Services ----

void TsSkinProvider::InitLabel(TControl*, bool) {}
void TsSkinProvider::ReadThirdLists() {
  OwnThirdLists = false;
  for (int i = 0; i < TsThirdPartyList::kCount; ++i) {
    const String& s = FThirdParty->Items[size_t(i)];
    if (!s.empty()) OwnThirdLists = true;
    FThirdLists[size_t(i)].SetText(s);
  }
}
void TsSkinProvider::WriteThirdLists() {
  for (int i = 0; i < TsThirdPartyList::kCount; ++i) FThirdParty->Items[size_t(i)] = FThirdLists[size_t(i)].Text();
}
void TsSkinProvider::InitScrolls() {}

void TsSkinProvider::UpdateSysMenuStyle(bool Skinning) {
  if (!Form || !Form->HandleAllocated()) return;
  HWND h = Form->Handle();
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  if (Skinning) {
    const LONG_PTR want = FDrawNonClientArea ? style & ~LONG_PTR(WS_SYSMENU) : style | WS_SYSMENU;
    if (want != style) SetWindowLongPtrW(h, GWL_STYLE, want);
  } else if (Form->BorderIcons().Contains(biSystemMenu) && !(style & WS_SYSMENU)) {
    SetWindowLongPtrW(h, GWL_STYLE, style | WS_SYSMENU);
  }
}

void TsSkinProvider::StartMoveWithBlend() {}
void FreeListSW(TsSkinProvider* sp) { sp->ListSW = nullptr; }

// ---- Skin commands ----

bool TsSkinProvider::EarlySkinCommand(TMessage& Message) {
  const bool own = Skin() && Message.LParam == LPARAM(Skin());
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      KillAnimations();
      return false;
    case SKC_SKINREMOVED:
      if (!own) {
        HandleCommonSkinCommand(Message, FCommonData.get());
        return true;
      }
      FreeListSW(this);
      HandleCommonSkinCommand(Message, FCommonData.get());
      if (Adapter) {
        Adapter->WndProc(Message);
        Adapter.reset();
      }
      FLinesCount = FTitleSkinIndex = FCaptionSkinIndex = -1;
      KillAnimations();
      if (FormDestroying()) return true;
      UpdateSysMenuStyle(false);
      if (HaveBorder(this) && Form->HandleAllocated()) SetWindowRgn(Form->Handle(), nullptr, TRUE);
      if (FUseGlobalColor && !FCommonData->CustomColor()) Form->SetColor(clBtnFace);
      UpdateExBorders(false);
      FCommonData->FCacheBmp.reset();
      if (Form->HandleAllocated() && IsWindowVisible(Form->Handle()))
        RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      return true;
    case SKC_ISSKINNED:
      Message.Result = 1;
      return true;
    case SKC_GETAPPLICATION:
      Message.Result = LRESULT(Application);
      return true;
    case SKC_GETCLIENTOFFSET:
      Message.Result = LRESULT(MAKELPARAM(OffsetX(), OffsetY()));
      return true;
    case SKC_GETSCALE:
      Message.Result = FCommonData->ScalePercent;
      return true;
  }
  const int cmd = SkinCommandOf(Message);
  if (cmd >= SKC_PRINTED && cmd <= SKC_MOVESTARTED) {
    CallOld(Message);
    return true;
  }
  return false;
}

bool TsSkinProvider::UnskinnedSkinCommand(TMessage& Message) {
  switch (SkinCommandOf(Message)) {
    case SKC_SKINCHANGED:
      if (FormDestroying() || !FCommonData) return false;
      if (Message.LParam == LPARAM(Skin())) {
        KillAnimations();
        ResolveSkin();
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
      if (Adapter)
        Adapter->AddAllItems(nullptr);
      else if (DrawClientArea) {
        Adapter = std::make_unique<TacCtrlAdapter>(this);
        Adapter->AddAllItems(nullptr);
      }
      FLinesCount = -1;
      if (HaveBorder(this)) RgnChanged = true;
      if (Form->Visible()) SetBGChanged(true);
      FCommonData->FUpdating = false;
      if (Form->HandleAllocated() && IsWindowVisible(Form->Handle()) && !FormAnimating)
        RedrawWindow(Form->Handle(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | RDW_UPDATENOW | RDW_FRAME);
      return;
    case SKC_GETPROVIDER:
      Message.Result = LRESULT(static_cast<TObject*>(this));
      return;
    case SKC_SETUPDATING:
      FCommonData->FUpdating = SkinCommandArg(Message) == 1;
      if (FCommonData->FUpdating) SetBGChanged(true);
      return;
    case SKC_ISUPDATING:
      Message.Result = !FormAnimating && FCommonData->Updating() ? 1 : 0;
      return;
    case SKC_BGCHANGED:
      SetBGChanged(true);
      return;
    case SKC_PREPARECACHE:
      if (BGChanged() && !FCommonData->Updating()) PaintAll();
      return;
    case SKC_GETBGINFO: {
      auto* info = reinterpret_cast<TacBackgroundInfo*>(Message.LParam);
      if (!info) return;
      if (BGChanged()) PaintAll();
      info->Offset = TPoint(0, 0);
      if (info->PleaseDraw) info->Offset = TPoint(OffsetX(), OffsetY());
      FCommonData->FillBgInfo(*info, std::min<int>(FormActive, 1));
      info->Offset.X += OffsetX();
      info->Offset.Y += OffsetY();
      return;
    }
    case SKC_GETBORDERWIDTH: {
      const int w = (Form->Width() - Form->ClientWidth()) / 2 - FormBorderWidth(Form);
      Message.Result = w != 0 ? w : Message.LParam;
      return;
    }
    case SKC_TITLECHANGED:
      if (Message.LParam == 1) SetBGChanged(true);
      UpdateNonClient();
      return;
  }
  HandleCommonSkinCommand(Message, FCommonData.get());
}

void TsSkinProvider::WMSkinEditor(TMessage& Message) {
  if (Message.WParam == 1 && Form) Form->Close();
  else if (Message.WParam == 3) CallOld(Message);
  else if (Message.WParam == 4) Message.Result = 1;
}

void TsSkinProvider::WMCopyData(TMessage& Message) { CallOld(Message); }

void LinkToSkinEditor(HWND) {}

TsSkinProvider* ProviderOfComponent(TComponent* Component) {
  while (Component && !dynamic_cast<TCustomForm*>(Component)) Component = Component->Owner();
  auto* form = dynamic_cast<TCustomForm*>(Component);
  if (!form || !form->HandleAllocated()) return nullptr;
  return dynamic_cast<TsSkinProvider*>(
      reinterpret_cast<TObject*>(SendSkinMessage(form->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_GETPROVIDER), 0)));
}

void RemoveGluedSlave(TForm*) {}
bool AeroIsEnabled() { return false; }
void SetTransitionsDisabled(HWND, bool) {}
