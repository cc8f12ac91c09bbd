// The provider's life cycle, its hold on the form's window procedure, the
// dispatch of the form's messages and the property setters.

#include "skin/forms/sSkinProvider.h"
#include "skin/forms/sTitleBar.h"

#include "skin/core/GeneralUtils.h"
#include "skin/core/acGlow.h"
#include "skin/core/sMessages.h"
#include "skin/core/sStyleSimply.h"

namespace {

constexpr UINT WM_POPUPSYSTEMMENU = 0x0313;  // the taskbar asks for the system menu

bool Going(const TComponent* C) { return C && (C->ComponentState() & csDestroying); }
bool Designing(const TComponent* C) { return C && (C->ComponentState() & csDesigning); }

// The skin command that asks a form for its provider.
TObject* AskProvider(TCustomForm* Form) {
  return reinterpret_cast<TObject*>(Form->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_GETPROVIDER), 0));
}

}  // namespace

// ---- Construction ----

TsSkinProvider::TsSkinProvider(TComponent* AOwner) : TComponent(nullptr) {
  Construct(AOwner);
  AfterConstruction();
}

TsSkinProvider::TsSkinProvider(TComponent* AOwner, bool) : TComponent(nullptr) {
  Construct(AOwner);
  RTInit = true;
  AfterConstruction();
}

void TsSkinProvider::Construct(TComponent* AOwner) {
  FThirdParty = std::make_unique<TsThirdPartyList>();
  // The form's own lists start empty: until one is filled the manager's decide.
  for (String& l : FThirdParty->Items) l.clear();
  for (TStringList& l : FThirdLists) l.SetCaseSensitive(true);
  auto* form = dynamic_cast<TCustomForm*>(AOwner);
  if (!form) {
    ShowWarningBox("TsSkinProvider component may be used with forms only!");
    return;
  }
  PreviewRequested = !Designing(form) && ProgramParams.size() > 1 && ProgramParams[1] == "/acpreview";
  Form = form;
  biClicked = false;
  RTEmpty = false;
  if (!Designing(form)) {
    TObject* existing = AskProvider(form);
    if (auto* other = dynamic_cast<TsSkinProvider*>(existing); other && other != this) {
      if (other->RTInit)
        delete other;  // a provider the window hook made gives way
      else
        RTEmpty = true;
    }
  }
  form->InsertComponent(this);

  FCommonData = std::make_unique<TsScrollWndData>(this, false);
  FCommonData->FOwnerControl = form;
  FCommonData->SetSkinSection("FORM");
  FCommonData->COC = 224;
  if (!form->ControlState.Empty() && form->BorderStyle() != bsNone) FCommonData->FUpdating = true;

  FAddedTitle = std::make_unique<TacAddedTitle>();
  FAddedTitle->FOwner = this;
  FFormHeader = std::make_unique<TacFormHeader>(this);
  InAero = AeroIsEnabled();
  FTitleIcon = std::make_unique<TsTitleIcon>(this);
  FTitleButtons = std::make_unique<TsTitleButtons>(this);
  FSysSubMenu = std::make_unique<TacSysSubMenu>(this);
  FGluedForms = std::make_unique<TStringList>();

  if (!Designing(form) && !RTEmpty) {
    form->SetDoubleBuffered(false);
    TempBmp = std::make_unique<TBitmap>();
    MenuLineBmp = NewBitmap32(0, 0);
    ClearButtons = true;
    Rects.clear();
    FLinesCount = -1;
    OldWndProc = form->WindowProc;
    form->WindowProc = [this](TMessage& M) { NewWndProc(M); };
    FReplacedWndProc = true;
    FCommonData->WndProc = form->WindowProc;
    RegisterSkinnedForm(form);
    FormActive = true;
  }
}

void TsSkinProvider::AfterConstruction() {
  if (!Form) return;
  ReadThirdLists();
  if (RTEmpty || RTInit || Designing(Form)) return;
  TsSkinManager* m = Manager();
  if (m && m->Active()) PrepareForm();
}

void TsSkinProvider::Loaded() {
  ReadThirdLists();
  if (RTEmpty || RTInit || Designing(Form) || !Manager()) return;
  if (!FCommonData->Skinned() || !SkinActive()) return;
  LoadInit();
}

TsSkinProvider::~TsSkinProvider() {
  Destroying();
  if (FAddedTitle) {
    FHintTimer.reset();
    delete std::exchange(BorderForm, nullptr);
    FAddedTitle.reset();
    if (!Designing(this)) KillAnimations();
    // The handlers chained after the provider let go before its procedure does.
    Adapter.reset();
    FreeListSW(this);
    if (Form) {
      UnregisterSkinnedForm(Form);
      if (FReplacedWndProc) Form->WindowProc = OldWndProc;
      if (FCommonData) FCommonData->WndProc = Form->WindowProc;
      // MDI: a child with a main menu repaints its MDI form's frame (no MDI yet).
      if (MDISkinProvider == this) {
        HookMDI(false);
        MDISkinProvider = nullptr;
      }
    }
    delete std::exchange(SystemMenu, nullptr);
    TempBmp.reset();
    MenuLineBmp.reset();
  }
  if (Form) ForgetGluedForm(Form);
  if (ChildProvider == this) ChildProvider = nullptr;
  FGlow1.reset();
  FGlow2.reset();
  FTitleIcon.reset();
  FTitleButtons.reset();
  FSysSubMenu.reset();
  Adapter.reset();
  FreeListSW(this);
  if (Form && FCommonData && !Going(Form) && Form->HandleAllocated()) {
    // The form goes on plain: its frame, buttons and corners come back.
    UpdateSysMenuStyle(false);
    SetWindowRgn(Form->Handle(), nullptr, TRUE);
    FCommonData->RemoveCommonProp();
    if (Form->Visible())
      RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }
  FCommonData.reset();
  delete std::exchange(FormTimer, nullptr);
  if (Form) WriteThirdLists();
  FFormHeader.reset();
  FGluedForms.reset();
}

// ---- Preparing for the skin ----

bool TsSkinProvider::SkinActive() const {
  const TacSkinRecords* s = Skin();
  return s && s->CommonSkinData.Active;
}

bool TsSkinProvider::FormDestroying() const { return !Form || Going(Form) || Going(this); }

void TsSkinProvider::PrepareForm() {
  TsSkinManager* m = Manager();
  if (RTInit || RTEmpty || !Form || !Form->HandleAllocated() || !Skin() || !SkinActive()) return;
  TMainMenu* menu = Form->Menu();
  FMenuOwnerDraw = menu && menu->OwnerDraw() && FDrawNonClientArea;
  if (FMenuOwnerDraw) MenusInitialized = true;
  FCommonData->Loaded(true);
  FCommonData->InitCommonProp();
  if (ClearButtons) {
    ClearButtons = false;
    if (Form->FormStyle() == fsMDIForm && !Designing(Form)) HookMDI(true);
  }
  ResolveSkin();
  if (FUseGlobalColor && !FCommonData->CustomColor() && Form->ControlState.Empty() &&
      !(Form->ComponentState() & csLoading) && m)
    Form->SetColor(m->GetGlobalColor());
  SystemMenu->UpdateGlyphs();
  if (!(Form->ComponentState() & csLoading) && Form->Showing() && m) UpdateExBorders(m->ExtendedBorders());
}

void TsSkinProvider::ResolveSkin() {
  const TacSkinRecords* s = Skin();
  if (!s || !Form || !Form->HandleAllocated()) return;
  FCommonData->SelectSection({FCommonData->SkinSection()});
  FCommonData->BGChanged = true;
  FCaptionSkinIndex = s->ConstData.Sections[ssCaption];
  FHeaderIndex = s->ConstData.Sections[ssFormHeader];
  FTitleSkinIndex = !FTitleSkin.empty() ? s->GetSkinIndex(FTitleSkin) : s->ConstData.Sections[ssFormTitle];
  if (!SystemMenu) {
    SystemMenu = new TsSystemMenu(this);
    SystemMenu->UpdateItems(false);
  }
  UpdateSysMenuStyle(true);
  UpdateTitleBar();
  InitButtons();
  RgnChanged = true;
  FLinesCount = -1;
}

void TsSkinProvider::LoadInit() {
  if (Form && Form->HandleAllocated()) SetTransitionsDisabled(Form->Handle(), FDrawNonClientArea);
  PrepareForm();
  AdaptAllControls();
  if (SystemMenu) SystemMenu->UpdateItems(false);
  for (int i = 0; i < FTitleButtons->Count(); ++i) {
    TsTitleButton* b = FTitleButtons->Items(i);
    b->Data.cpGlyphType = b->UseSkinData() ? tgUser : tgNone;
  }
  if (Form && Form->BorderStyle() == bsSizeToolWin) {
    AllowBlendOnMoving = false;
    SetBoolean(3, true);
  }
}

const TacThirdLists* TsSkinProvider::ThirdLists() const {
  if (OwnThirdLists) return &FThirdLists;
  TsSkinManager* m = Manager();
  return m ? &m->ThirdLists : nullptr;
}

void TsSkinProvider::AdaptChildForm(TForm* ChildForm, const String& Section) {
  if (!ChildForm || dynamic_cast<TsSkinProvider*>(AskProvider(ChildForm))) return;
  auto* sp = new TsSkinProvider(ChildForm);
  sp->SkinData()->SetSkinSection(Section);
}

void TsSkinProvider::HookMDI(bool) {
  // MDI forms need the platform's MDI client window: until it exists no
  // TsMDIForm object is made and MDISkinProvider stays unset.
}

void TsSkinProvider::KillAnimations() {
  for (TsCaptionButton* b : {&ButtonMin, &ButtonMax, &ButtonClose, &ButtonHelp}) delete std::exchange(b->cpTimer, nullptr);
  if (FTitleButtons)
    for (int i = 0; i < FTitleButtons->Count(); ++i) delete std::exchange(FTitleButtons->Items(i)->Data.cpTimer, nullptr);
  if (!(ComponentState() & csDestroying)) KillTitleBarAnimations(this);
}

bool TsSkinProvider::CheckRTInit() {
  if (!RTInit) return false;
  RTInit = false;
  LoadInit();
  return true;
}

void TsSkinProvider::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (AComponent == SystemMenu && Operation == opRemove) SystemMenu = nullptr;
}

void TsSkinProvider::SetFormState(unsigned Value) {
  constexpr unsigned kAnim = FS_ANIMMINIMIZING | FS_ANIMRESTORING;
  if (Form) {
    const unsigned was = FFormState & kAnim, now = Value & kAnim;
    for (unsigned bit : {unsigned(FS_ANIMMINIMIZING), unsigned(FS_ANIMRESTORING)}) {
      if ((now & bit) && !(was & bit)) Form->DisableAlign();
      if (!(now & bit) && (was & bit)) Form->EnableAlign();
    }
  }
  FFormState = Value;
}

// ---- Menu lines ----

bool TsSkinProvider::MenuPresent() {
  if (!Form || Form->BorderStyle() == bsDialog || Form->FormStyle() == fsMDIChild) return false;
  TMainMenu* menu = Form->Menu();
  if (!menu) return false;
  TMenuItem* items = menu->Items();
  for (int i = 0; i < items->Count(); ++i)
    if (items->Items(i)->Visible()) return true;
  return false;  // MDI: a maximized child's menu would count here
}

int TsSkinProvider::LinesCount() {
  if (FLinesCount != -1) return FLinesCount;
  if (!Form || !Form->Menu() || !Form->HandleAllocated() || IsIconic(Form->Handle())) return 0;
  RECT r{};
  if (!GetMenuItemRect(Form->Handle(), GetMenu(Form->Handle()), 0, &r)) return 0;
  const int s = 0;  // the skinned horizontal scroll bar's height while it shows (no handler yet)
  const int t = Form->Top() + Form->Height() - Form->ClientHeight() - BorderHeight(false) - s -
                2 * FormBorderWidth(Form);
  const int line = GetSystemMetrics(SM_CYMENU) - 2;
  FLinesCount = r.bottom < t && line > 0 ? (t - int(r.bottom)) / line + 1 : 1;
  return FLinesCount;
}

// ---- Setters ----

void TsSkinProvider::SetBoolean(int Index, bool Value) {
  bool* field[4] = {&FAllowExtBorders, &FDrawNonClientArea, &FShowAppIcon, &FUseGlobalColor};
  if (*field[Index] == Value) return;
  *field[Index] = Value;
  if (!Form) return;
  const bool design = Designing(this) || Designing(Form);
  TsSkinManager* m = Manager();
  switch (Index) {
    case 0:
      if ((ComponentState() & csLoading) || design) return;
      UpdateExBorders(true);
      SetBGChanged(true);
      if (Form->HandleAllocated()) RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_NOERASE | RDW_INVALIDATE);
      break;
    case 1:
      if (design || !m) return;
      if (Value) {
        UpdateSysMenuStyle(true);
        if (Form->Showing() && FCommonData->Skinned()) {
          SetBGChanged(true);
          RgnChanged = true;
          PrepareMenuLine();
          UpdateExBorders(m->ExtendedBorders());
          RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_NOERASE | RDW_INVALIDATE);
          InitScrolls();
        }
      } else {
        delete std::exchange(BorderForm, nullptr);
        FreeListSW(this);
        if (Form->BorderIcons().Contains(biSystemMenu) && Form->HandleAllocated())
          SetWindowLongPtrW(Form->Handle(), GWL_STYLE, GetWindowLongPtrW(Form->Handle(), GWL_STYLE) | WS_SYSMENU);
        if (Form->Showing()) {
          SetWindowRgn(Form->Handle(), nullptr, TRUE);
          RedrawWindow(Form->Handle(), nullptr, nullptr, RDW_FRAME | RDW_UPDATENOW | RDW_INVALIDATE);
        }
      }
      break;
    case 2:
      if (design) return;
      SetBGChanged(true);
      if (Form->Visible()) UpdateNonClient();
      break;
    case 3:
      if (Value && FCommonData->Skinned() && !FCommonData->CustomColor() && m) Form->SetColor(m->GetGlobalColor());
      break;
  }
}

void TsSkinProvider::SetSkinString(int Index, const String& Value) {
  String& field = Index == 0 ? FTitleSkin : FMenuLineSkin;
  if (field == Value) return;
  field = Value;
  if (Index == 0) {
    FTitleSkinIndex = -1;
    if (const TacSkinRecords* s = Skin(); s && s->CommonSkinData.Active)
      FTitleSkinIndex = !FTitleSkin.empty() ? s->GetSkinIndex(FTitleSkin) : s->ConstData.Sections[ssFormTitle];
    SetBGChanged(true);
    if (Form && Form->Visible() && Form->HandleAllocated()) {
      if (BorderForm)
        BorderForm->UpdateExBordersPos(true, 255);
      else
        ProcessMessage(WM_NCPAINT);
    }
  }
}

void TsSkinProvider::SetCaptionAlignment(TAlignment Value) {
  if (FCaptionAlignment == Value) return;
  FCaptionAlignment = Value;
  SetBGChanged(true);
  if (Form && Form->Visible() && !Designing(this) && FCommonData->Skinned()) UpdateNonClient();
}

void TsSkinProvider::SetDisabledBlendValue(uint8_t Value) { FDisabledBlendValue = Value; }
void TsSkinProvider::SetDisabledBlendColor(TColor Value) { FDisabledBlendColor = Value; }
void TsSkinProvider::SetGluedForms(const TStrings& Value) { FGluedForms->Assign(const_cast<TStrings*>(&Value)); }

void TsSkinProvider::SetTitleBar(TsTitleBar* Value) {
  if (FTitleBar == Value) return;
  FTitleBar = Value;
  UpdateNonClient();
}

void TsSkinProvider::SetTitleButtons(TsTitleButtons* Value) { FTitleButtons->Assign(Value); }

// ---- The window procedure ----

LRESULT TsSkinProvider::ProcessMessage(UINT Msg, WPARAM WParam, LPARAM LParam) {
  TMessage m = MakeMessage(Msg, WParam, LParam);
  NewWndProc(m);
  return m.Result;
}

void TsSkinProvider::NewWndProc(TMessage& Message) {
  if (Message.Msg == WM_SKINCOMMAND && EarlySkinCommand(Message)) return;
  if (FormDestroying() || !FCommonData || !FCommonData->Skinned())
    UnskinnedMessage(Message);
  else
    SkinnedMessage(Message);
}

void TsSkinProvider::UnskinnedMessage(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SKINCOMMAND:
      if (UnskinnedSkinCommand(Message)) return;
      break;
    case WM_PRINT:
      if (Message.WParam && Form) {
        HDC dc = reinterpret_cast<HDC>(Message.WParam);
        HBRUSH b = CreateSolidBrush(ColorToRGB(Form->Color()));
        RECT r{0, 0, Form->Width(), Form->Height()};
        FillRect(dc, &r, b);
        DeleteObject(b);
        Form->Perform(WM_PAINT, Message.WParam, Message.LParam);
      }
      return;
    case CM_VISIBLECHANGED:
      if (Message.WParam == 1) CheckRTInit();
      break;
    case CM_SYSFONTCHANGED:
      DoReinit = true;
      break;
  }
  CallOld(Message);
  // Hide animation and MDI clean-up steps of WM_WINDOWPOSCHANGED and WM_NCDESTROY belong to the form handlers.
}

void TsSkinProvider::SkinnedMessage(TMessage& Message) {
  switch (Message.Msg) {
    case WM_SKINCOMMAND: {
      const int cmd = SkinCommandOf(Message);
      if (cmd >= SKC_PRINTED && cmd <= SKC_MOVESTARTED)
        CallOld(Message);
      else
        SkinCommand(Message);
      return;
    }
    case WM_SKINEDITOR:
      WMSkinEditor(Message);
      return;
    case WM_COPYDATA:
      WMCopyData(Message);
      return;
    case WM_NCHITTEST:
      WMNCHitTest(Message);
      return;
    case WM_NCMOUSEMOVE:
      WMNCMouseMove(Message);
      return;
    case WM_MOUSEMOVE:
      WMMouseMove(Message);
      return;
    case WM_MOUSELEAVE:
    case WM_NCMOUSELEAVE:
    case CM_MOUSELEAVE:
      WMMouseLeave(Message);
      return;
    case CM_MOUSEENTER:
      CMMouseEnter(Message);
      return;
    case WM_SETCURSOR:
      WMSetCursor(Message);
      return;
    case WM_NCLBUTTONDOWN:
      WMNCLButtonDown(Message);
      return;
    case WM_NCLBUTTONUP:
    case WM_LBUTTONUP:
      WMNCLButtonUp(Message);
      return;
    case WM_NCLBUTTONDBLCLK:
      WMNCLButtonDblClk(Message);
      return;
    case WM_NCRBUTTONDOWN:
      WMNCRButtonDown(Message);
      return;
    case WM_NCRBUTTONUP:
      WMNCRButtonUp(Message);
      return;
    case WM_POPUPSYSTEMMENU: {
      POINT c;
      GetCursorPos(&c);
      DropSysMenu(c.x, c.y);
      return;
    }
    case WM_NCPAINT:
      CheckRTInit();
      if (!FDrawNonClientArea) {
        CallOld(Message);
        return;
      }
      WMNCPaint();
      Message.Result = 0;
      return;
    case WM_PAINT:
      if (!DrawClientArea || (FFormState & FS_ANIMRESTORING) || !Form->Showing()) {
        CallOld(Message);
        return;
      }
      WMPaint(Message);
      return;
    case WM_ERASEBKGND:
      WMEraseBkgnd(Message);
      return;
    case WM_PRINT: {
      HDC dc = reinterpret_cast<HDC>(Message.WParam);
      if (dc && (Message.LParam & PRF_NONCLIENT) && FDrawNonClientArea && PaintAll() && FCommonData->FCacheBmp) {
        TBitmap* img = FCommonData->FCacheBmp.get();
        BitBlt(dc, 0, 0, img->Width(), img->Height(), img->Canvas()->Handle(), 0, 0, SRCCOPY);
        Message.LParam &= ~LPARAM(PRF_NONCLIENT);
      }
      CallOld(Message);
      return;
    }
    case WM_PRINTCLIENT:
    case CM_COLORCHANGED:
      return;
    case WM_NCACTIVATE:
      WMNCActivate(Message);
      return;
    case WM_SETTEXT:
      WMSetText(Message);
      return;
    case WM_SIZE:
      WMSize(Message);
      return;
    case WM_SETREDRAW:
      WMSetRedraw(Message);
      return;
    case WM_GETMINMAXINFO:
      WMGetMinMaxInfo(Message);
      CallOld(Message);
      return;
    case WM_SYSCOLORCHANGE:
      CallOld(Message);
      UpdateMenu();
      return;
    case WM_ENTERIDLE:
      if (Message.WParam != 0) {
        Message.Result = 0;
        return;
      }
      break;
    case CM_VISIBLECHANGED:
      if (Message.WParam == 1) CheckRTInit();
      break;
    case CM_SYSFONTCHANGED:
      DoReinit = true;
      return;
    case CM_CONTROLLISTCHANGING:
    case 0xBC4D:
      Message.Result = 0;
      return;
    case CM_MENUCHANGED:
      CallOld(Message);
      FLinesCount = -1;
      MenuChanged = true;
      SetBGChanged(true);
      if (Form->Showing()) ProcessMessage(WM_NCPAINT);
      return;
    case WM_STYLECHANGED:
      CallOld(Message);
      InitButtons();
      return;
    case WM_SYSCOMMAND:
      // The minimise and restore animations start before the window changes state.
      StartSysCommandAnimation(this, Message.WParam);
      CallOld(Message);
      return;
    case CM_CONTROLLISTCHANGE:
    case WM_PARENTNOTIFY:
    case WM_NOTIFY:
      ChildControlMessage(Message);
      return;
    case WM_WINDOWPOSCHANGING:
      if (auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam); wp && ScreenSnap && Form->Showing() &&
          !(wp->flags & SWP_NOMOVE)) {
        RECT r{};
        GetWindowRect(Form->Handle(), &r);
        if (wp->x != r.left || wp->y != r.top) SnapPosition(wp->x, wp->y);
      }
      break;
    case WM_MOVE:
      CallOld(Message);
      if (!BorderForm) MoveGluedForms(false);
      return;
    case WM_WINDOWPOSCHANGED:
      CallOld(Message);
      if (BorderForm) {
        BorderForm->UpdateExBordersPos(false, 255);
      } else if (auto* wp = reinterpret_cast<WINDOWPOS*>(Message.LParam); wp && (wp->flags & SWP_SHOWWINDOW)) {
        TsSkinManager* m = Manager();
        if (m && m->ExtendedBorders()) UpdateExBorders(true);
      }
      return;
    case WM_ACTIVATE:
      CallOld(Message);
      if (LOWORD(Message.WParam) != WA_INACTIVE) CollectGluedForms();
      return;
  }
  CallOld(Message);
}

void TsSkinProvider::CallOldWithoutFrame(TMessage& Message, bool Client) {
  HWND h = Form->Handle();
  const bool visible = IsWindowVisible(h);
  if (visible) ProcessMessage(WM_SETREDRAW, 0);
  CallOld(Message);
  if (!visible || !IsWindow(h)) return;
  ProcessMessage(WM_SETREDRAW, 1);
  if (Client)
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW | RDW_FRAME);
  else
    ProcessMessage(WM_NCPAINT);
}

void TsSkinProvider::WMNCActivate(TMessage& Message) {
  if (FFormState & FS_ANIMRESTORING) return;
  FreeAllGlows(false);
  if (!FDrawNonClientArea || !Form->HandleAllocated()) {
    CallOld(Message);
    return;
  }
  if (!SystemMenu) PrepareForm();
  FFormState |= FS_ACTIVATED;
  const bool active = Message.WParam != 0;
  if (!(FFormState & FS_BLENDMOVING) && active != FormActive) {
    FormActive = active;
    SetBGChanged(true);
  }
  CallOldWithoutFrame(Message, true);
  PurgeProviders();
}

void TsSkinProvider::WMSetText(TMessage& Message) {
  if (!Form->HandleAllocated() || !IsWindowVisible(Form->Handle()) || !FDrawNonClientArea ||
      !Form->ControlState.Empty()) {
    CallOld(Message);
    return;
  }
  FGlow1.reset();
  FGlow2.reset();
  SetBGChanged(true);
  CallOldWithoutFrame(Message, false);
}

void TsSkinProvider::WMSize(TMessage& Message) {
  CallOld(Message);
  if (!Form->HandleAllocated()) return;
  LastClientRect = TRect(0, 0, Form->ClientWidth(), Form->ClientHeight());
  FLinesCount = -1;
  RgnChanged = true;
  SetBGChanged(true);
  FGlow1.reset();
  FGlow2.reset();
  if (IsWindowVisible(Form->Handle())) ProcessMessage(WM_NCPAINT);
}

void TsSkinProvider::WMSetRedraw(TMessage& Message) {
  if (Message.WParam == 0)
    ++LockCount;
  else if (LockCount > 0)
    --LockCount;
  CallOld(Message);
}

void TsSkinProvider::WMEraseBkgnd(TMessage& Message) {
  if (!Form->Visible() || !DrawClientArea) {
    CallOld(Message);
    return;
  }
  PaintClientBackground(reinterpret_cast<HDC>(Message.WParam));
  Message.Result = 1;
}
