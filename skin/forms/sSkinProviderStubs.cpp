// Interim bodies of the provider's methods whose subjects have units of their
// own (title buttons, system menu, option objects, services, skin commands,
// extended borders, the menu line). Each is the smallest behaviour the frame
// needs; a unit that takes a subject over moves its definitions out of here.

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/sMaskPaint.h"
#include "skin/core/sMessages.h"
#include "skin/forms/sSkinProvider.h"

// ---- Option objects ----

TsTitleIcon::TsTitleIcon(TsSkinProvider* AOwner) : FOwner(AOwner), FGlyph(std::make_unique<TBitmap>()) {}
TsTitleIcon::~TsTitleIcon() = default;
void TsTitleIcon::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }
void TsTitleIcon::SetVisible(bool Value) { FVisible = Value; }

TsTitleButton::TsTitleButton(TCollection* ACollection)
    : TCollectionItem(ACollection), FName("TsTitleButton"), FGlyph(std::make_unique<TBitmap>()) {}
TsTitleButton::~TsTitleButton() { delete std::exchange(Data.cpTimer, nullptr); }
void TsTitleButton::AssignTo(TPersistent* Dest) {
  auto* b = dynamic_cast<TsTitleButton*>(Dest);
  if (!b) return TCollectionItem::AssignTo(Dest);
  b->FEnabled = FEnabled;
  b->FGlyph->Assign(FGlyph.get());
  b->FHint = FHint;
  b->FName = FName;
  b->FUseSkinData = FUseSkinData;
  b->FOnMouseDown = FOnMouseDown;
  b->FOnMouseUp = FOnMouseUp;
}
String TsTitleButton::GetDisplayName() { return FName.empty() ? TCollectionItem::GetDisplayName() : FName; }
void TsTitleButton::SetVisible(bool Value) { FVisible = Value; }
void TsTitleButton::SetGlyph(TBitmap* Value) { FGlyph->Assign(Value); }

TsTitleButtons::TsTitleButtons(TsSkinProvider* AOwner)
    : TCollection(TCollection::ItemClassOf<TsTitleButton>()), FOwner(AOwner) {}
TsTitleButtons::~TsTitleButtons() { FOwner = nullptr; }
TPersistent* TsTitleButtons::GetOwner() { return FOwner; }
void TsTitleButtons::Update(TCollectionItem*) {}

TacAddedTitle::TacAddedTitle() : FFont(std::make_unique<TFont>()) { FFont->SetColor(kNoColorTone); }
TacAddedTitle::~TacAddedTitle() = default;
void TacAddedTitle::SetShowMainCaption(bool Value) { FShowMainCaption = Value; }
void TacAddedTitle::SetText(const String& Value) { FText = Value; }
void TacFormHeader::SetAdditionalHeight(int Value) { FAdditionalHeight = Value; }

// ---- System menu: the queries the frame asks ----

TsSystemMenu::TsSystemMenu(TsSkinProvider* AOwner) : TsCustomSysMenu(AOwner), FOwner(AOwner), FForm(AOwner->Form) {}
void TsSystemMenu::Generate() {}
void TsSystemMenu::UpdateItems(bool) {}
void TsSystemMenu::MakeSkinItems() {}

namespace {
bool HasSysMenu(TCustomForm* F) { return F && F->BorderIcons().Contains(biSystemMenu); }
bool SingleOrSizeable(TCustomForm* F) { return F->BorderStyle() == bsSingle || F->BorderStyle() == bsSizeable; }
bool Minimized(TCustomForm* F) { return F->HandleAllocated() ? IsIconic(F->Handle()) : F->WindowState() == wsMinimized; }
}  // namespace

bool TsSystemMenu::VisibleClose() { return HasSysMenu(FForm); }
bool TsSystemMenu::VisibleMax() {
  if (!HasSysMenu(FForm)) return false;
  if (Minimized(FForm) && FForm != Application->MainForm()) return true;
  return FForm->FormStyle() == fsMDIChild || (SingleOrSizeable(FForm) && FForm->BorderIcons().Contains(biMaximize));
}
bool TsSystemMenu::VisibleMin() {
  if (!HasSysMenu(FForm)) return false;
  if (Minimized(FForm) || FForm->FormStyle() == fsMDIChild) return true;
  return SingleOrSizeable(FForm) && FForm->BorderIcons().Contains(biMinimize);
}
bool TsSystemMenu::EnabledMax() {
  return (FForm->FormStyle() == fsMDIChild || SingleOrSizeable(FForm)) && FForm->BorderIcons().Contains(biMaximize);
}
bool TsSystemMenu::EnabledMin() { return FForm->BorderIcons().Contains(biMinimize); }
bool TsSystemMenu::EnabledRestore() {
  return (FForm->BorderIcons().Contains(biMaximize) && FForm->WindowState() != wsNormal) ||
         FForm->WindowState() == wsMinimized;
}
bool TsSystemMenu::VisibleRestore() {
  return HasSysMenu(FForm) && (FForm->FormStyle() == fsMDIChild || SingleOrSizeable(FForm));
}
bool TsSystemMenu::VisibleSize() {
  const TFormBorderStyle b = FForm->BorderStyle();
  return FForm->FormStyle() == fsMDIChild || !(b == bsNone || b == bsDialog || b == bsToolWindow);
}
bool TsSystemMenu::EnabledClose() { return HasSysMenu(FForm); }
bool TsSystemMenu::EnabledMove() { return FForm->WindowState() != wsMaximized; }
bool TsSystemMenu::EnabledSize() { return FForm->BorderStyle() != bsSingle && !Minimized(FForm); }
void TsSystemMenu::RestoreClick(TObject*) {}
void TsSystemMenu::MoveClick(TObject*) {}
void TsSystemMenu::SizeClick(TObject*) {}
void TsSystemMenu::MinClick(TObject*) {}
void TsSystemMenu::MaxClick(TObject*) {}
void TsSystemMenu::CloseClick(TObject*) {}
void TsSystemMenu::ExtClick(TObject*) {}
void TsSystemMenu::SkinSelect(TObject*) {}

// ---- Title buttons ----

void TsSkinProvider::PaintTitleButton(TsCaptionButton& Button, bool Enabled) {
  const TacSkinRecords* s = Skin();
  if (!s || Button.cpGlyphType >= tgNone) return;
  const int mask = s->ConstData.TitleGlyphs[Button.cpGlyphType];
  if (!s->IsValidImgIndex(mask) || Button.cpRect.Width() <= 0) return;
  const bool dimmed = !(FormActive && Enabled && Form->Enabled());
  const bool plain = Button.cpState == 0 || Button.cpTimer;
  const int state = Button.cpTimer ? 0 : std::max(0, Button.cpState);
  PaintMaskFrame(FCommonData->FCacheBmp.get(), Button.cpRect.TopLeft(), state, EmptyCI, s->ma[size_t(mask)],
                 plain && dimmed ? 2 : 1);
}

void TsSkinProvider::PaintTitleButtons(int W) {
  if (!HaveBorder(this)) return;
  RestoreButtonsBackground(W);
  if (SystemMenu && Form->BorderIcons().Contains(biSystemMenu)) {
    PaintTitleButton(ButtonClose, SystemMenu->VisibleClose() && SystemMenu->EnabledClose());
    if (SystemMenu->VisibleMax()) PaintTitleButton(ButtonMax, SystemMenu->EnabledMax());
    if (SystemMenu->VisibleMin()) PaintTitleButton(ButtonMin, SystemMenu->EnabledMin());
    if (Form->BorderIcons().Contains(biHelp)) PaintTitleButton(ButtonHelp, true);
  }
  for (int i = 0; i < FTitleButtons->Count(); ++i) {
    TsTitleButton* b = FTitleButtons->Items(i);
    if (!b->Visible()) continue;
    b->Data.cpHitCode = unsigned(HTUDBTN + i);
    PaintTitleButton(b->Data, b->Enabled());
  }
}

void TsSkinProvider::RepaintButton(int) {}

void TsSkinProvider::SaveButtonsBackground(int W, bool Full) {
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!img || !TempBmp) return;
  const TRect sh = ShadowSize();
  const int w = SysBorderWidth(Form->Handle(), BorderForm, true) + ButtonsWidth() + sh.Right + 10;
  const int h = SysBorderWidth(Form->Handle(), BorderForm, false) + SysBorderWidthNoEx(Form->Handle(), BorderForm, true) +
                CaptionHeight(true) + MenuHeight() + sh.Top;
  TempBmp->SetPixelFormat(img->PixelFormat());
  TempBmp->SetSize(std::max(0, w), std::max(0, h));
  const int rows = Full ? h : SysBorderWidthNoEx(Form->Handle(), BorderForm, true) + CaptionHeight(true);
  BitBlt(TempBmp->Canvas()->Handle(), 0, 0, w, rows, img->Canvas()->Handle(), W - w - 1, 0, SRCCOPY);
}

void TsSkinProvider::RestoreButtonsBackground(int W) {
  TBitmap* img = FCommonData->FCacheBmp.get();
  if (!img || !TempBmp || TempBmp->Width() == 0) return;
  BitBlt(img->Canvas()->Handle(), W - TempBmp->Width() - 1, 0, TempBmp->Width(), TempBmp->Height(),
         TempBmp->Canvas()->Handle(), 0, 0, SRCCOPY);
}

int TsSkinProvider::HitTest(TMessage&) { return HTNOWHERE; }
int TsSkinProvider::TitleElementAt(const TPoint&) { return 0; }
void TsSkinProvider::ShowButtonHint(TsTitleButton*) {}
void TsSkinProvider::HideButtonHint(TsTitleButton*) {}
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
