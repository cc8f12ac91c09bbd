#include "skin/core/sSkinManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

#include "platform/gdi/Gdi.h"
#include "platform/os/Files.h"
#include "platform/os/Threads.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/acGlow.h"
#include "skin/core/acStartup.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinIndexes.h"
#include "skin/core/sStyleSimply.h"

namespace {

std::vector<TsSkinManager*>& Managers() {
  static auto* list = new std::vector<TsSkinManager*>();
  return *list;
}

HHOOK CbtHook = nullptr;

TMessage SkinMessage(int Cmd, LPARAM LParam) { return MakeMessage(WM_SKINCOMMAND, SkinCommandWParam(Cmd), LParam); }

bool Designing(const TComponent* C) { return C->ComponentState() & csDesigning; }

constexpr int kScalePercents[4] = {100, 125, 150, 200};

// Value * Num / Den rounded to the nearest, halves away from zero.
int MulDiv(int Value, int Num, int Den) {
  const int64_t p = int64_t(Value) * Num;
  return int((p + (p >= 0 ? Den / 2 : -Den / 2)) / Den);
}

// One solid brush per colour the redirection answered, until the skin changes.
std::map<COLORREF, HBRUSH>& CachedBrushes() {
  static auto* map = new std::map<COLORREF, HBRUSH>();
  return *map;
}

void FreeCachedBrushes() {
  for (auto& [color, brush] : CachedBrushes()) DeleteObject(brush);
  CachedBrushes().clear();
}

HBRUSH CachedBrush(COLORREF Color) {
  HBRUSH& b = CachedBrushes()[Color];
  if (!b) b = CreateSolidBrush(Color);
  return b;
}

}  // namespace

// ---- Options ----

void TacSkinEffects::SetEffect(bool& Field, bool Value) {
  if (Field == Value) return;
  Field = Value;
  if (Manager && !SkinLoadingInProgress && !Manager->NoAutoUpdate) Manager->RepaintForms(false);
}

void TacScrollBarsSupport::SetButtonsSize(int Value) {
  if (FButtonsSize == Value) return;
  FButtonsSize = Value;
  if (FOwner && !SkinLoadingInProgress) FOwner->RepaintForms(false);
}

void TacScrollBarsSupport::SetScrollSize(int Value) {
  if (FScrollSize == Value) return;
  FScrollSize = Value;
  if (!FOwner || SkinLoadingInProgress) return;
  TMessage m = SkinMessage(SKC_FRAMECHANGED, 0);
  BroadcastToApplicationForms(m);
}

void TacOptions::SetOption(int Index, bool Value) {
  if (Index < 0 || Index >= 6) return;
  FOptions[size_t(Index)] = Value;
  if (Index == NoMouseHover && FOwner && FOwner->IsDefault()) ::NoMouseHover = Value;
  if (Index != ChangeSysColors || !FOwner || !FOwner->IsDefault() || SkinLoadingInProgress || Designing(FOwner))
    return;
  if (Value)
    InstallSysColorRedirection();
  else
    RemoveSysColorRedirection();
}

void TacOptions::SetArrowsStyle(TacArrowsStyle Value) {
  if (FArrowsStyle == Value) return;
  FArrowsStyle = Value;
  if (FOwner) FOwner->UpdateSkin(true);
}

TacArrowsStyle TacOptions::ActualArrowStyle() const {
  if (FArrowsStyle != arsDefault || !FOwner) return FArrowsStyle;
  return FOwner->CommonSkinData.ArrowStyle;
}

void TacOptions::SetScaleMode(TacScaleMode Value) {
  if (Value == FScaleMode) return;
  auto percent = [this](TacScaleMode Mode) {
    if (Mode == smOldMode) return 100;
    const int step = Mode == smAuto ? (FOwner ? FOwner->SysFontScale : 0) : int(Mode);
    return kScalePercents[std::clamp(step, 0, 3)];
  };
  const int oldPercent = FOwner ? kScalePercents[std::clamp(FOwner->GetScale(), 0, 3)] : 100;
  TScaleChangeData change{FScaleMode, Value, oldPercent, percent(Value)};
  if (FOwner && FOwner->OnScaleModeChange && !Designing(FOwner)) FOwner->OnScaleModeChange(FOwner, change);
  FScaleMode = Value;
  if (!FOwner || SkinLoadingInProgress) return;
  FOwner->ScaleStep = FOwner->GetScale();
  FOwner->BeginUpdate();
  FOwner->UpdateAllScale();
  FOwner->EndUpdate(true, false);
}

const char* const TsThirdPartyList::kNames[kCount] = {
    "ThirdEdits",       "ThirdButtons",     "ThirdBitBtns",       "ThirdCheckBoxes",  "ThirdComboBoxes",
    "ThirdGrids",       "ThirdGroupBoxes",  "ThirdListViews",     "ThirdPanels",      "ThirdTreeViews",
    "ThirdWWEdits",     "ThirdGridEh",      "ThirdVirtualTrees",  "ThirdPageControl", "ThirdTabControl",
    "ThirdToolBar",     "ThirdStatusBar",   "ThirdSpeedButton",   "ThirdScrollControl", "ThirdUpDown",
    "ThirdScrollBar",   "ThirdStaticText",  "ThirdNativePaint"};
const char* const TsThirdPartyList::kDefaults[kCount] = {
    " ", "TButton", " ", " ", " ", " ", " ", " ", " ", " ", " ", " ",
    " ", " ",       " ", " ", " ", " ", " ", " ", " ", " ", " "};

TsThirdPartyList::TsThirdPartyList() {
  for (int i = 0; i < kCount; ++i) Items[size_t(i)] = kDefaults[i];
}

// ---- Construction ----

TsSkinManager::TsSkinManager(TComponent* AOwner) : TComponent(AOwner) {
  FSkinableMenus = std::make_unique<TsSkinableMenus>(this);
  CommonSkinData.Active = false;
  CommonSkinData.SysInactiveBorderColor = TColor(GetSysColor(COLOR_INACTIVEBORDER));
  // The system's scale step would come from its display settings; this platform has none (100 %).
  SysFontScale = 0;
  FCommonSections.SetCaseSensitive(true);
  for (auto& l : ThirdLists) l.SetCaseSensitive(true);
  FListOwner.InternalSkins = &FBuiltInSkins;
  FSkinListController = std::make_unique<TacSkinListController>(&FListOwner);
  Managers().push_back(this);
  if (!DefaultSkinManager()) {
    DefaultManager = this;
    if (!Designing(this)) Application->HookMainWindow(this, [this](TMessage& M) { return ApplicationHook(M); });
  }
  FListOwner.FullSkinDirectory = GetFullSkinDirectory();
  TimerCheckHot = std::make_unique<TTimer>(nullptr);
  TimerCheckHot->SetInterval(100);
  TimerCheckHot->OnTimer = [this](TObject*) { CheckHotControl(); };
  UpdateThirdNames(false);
  if (FSkinDirectory.empty()) SetSkinDirectory("c:\\Skins");
}

TsSkinManager::~TsSkinManager() {
  Destroying();
  FListOwner.Busy = true;
  TimerCheckHot.reset();
  if (FActive && CommonSkinData.Active) SendRemoveSkin();
  FActive = false;
  // Hooked menu items must not keep handlers of a freed manager.
  if (FSkinableMenus->Active()) FSkinableMenus->SetActive(false);
  if (IsDefault()) {
    UnInstallHook();
    DefaultManager = nullptr;
  }
  Application->UnhookMainWindow(this);
  StoreThirdNames();
  std::erase(Managers(), this);
}

void TsSkinManager::Loaded() {
  const bool wasActive = CommonSkinData.Active;
  if (FSkinDirectory.empty()) SetSkinDirectory("c:\\Skins");
  UpdateThirdNames(false);
  if (FActive && !FSkinName.empty()) SendNewSkin(false);
  UpdateDialogsFlag();
  FSkinListController->UpdateData(false);
  if (OnActivate && !wasActive && CommonSkinData.Active && !Designing(this)) OnActivate(this);
}

TsSkinManager* SkinManagerOf(const TacSkinRecords* R) {
  if (!R) return nullptr;
  for (TsSkinManager* m : Managers())
    if (static_cast<const TacSkinRecords*>(m) == R) return m;
  return nullptr;
}

// ---- Properties ----

bool TsSkinManager::IsDefault() const { return DefaultManager == static_cast<const TacSkinRecords*>(this); }

void TsSkinManager::SetIsDefault(bool Value) {
  if (!Value && DefaultSkinManager() && !IsDefault()) return;
  if (!Value) return;  // the default manager stays the default
  if (IsDefault()) return;
  if (TsSkinManager* old = DefaultSkinManager()) {
    old->UnInstallHook();
    Application->UnhookMainWindow(old);
  }
  DefaultManager = this;
  if (!Designing(this)) Application->HookMainWindow(this, [this](TMessage& M) { return ApplicationHook(M); });
  if (FActive)
    SendNewSkin(true);
  else
    SendRemoveSkin();
}

bool TsSkinManager::ExtendedBorders() const { return FExtendedBorders && SystemBindings.UpdateLayeredWindow; }

void TsSkinManager::SetExtendedBorders(bool Value) {
  if (FExtendedBorders == Value) return;
  FExtendedBorders = Value;
  if (!CommonSkinData.Active) return;
  try {
    LoadSkin();
  } catch (const Exception& E) {
    SkinLoadingInProgress = false;
    ShowErrorBox(E.Message);
  }
  if (!Designing(this)) RepaintForms(true);
}

void TsSkinManager::SetSkinningRules(const TacSkinningRules& Value) {
  FSkinningRules = Value;
  UpdateDialogsFlag();
}

void TsSkinManager::SetSkinsFilter(const TacSkinsFilter& Value) {
  if (FListOwner.SkinsFilter == Value) return;
  FListOwner.SkinsFilter = Value;
  FSkinListController->UpdateData(false);
  if (OnSkinListChanged) OnSkinListChanged(this);
}

void TsSkinManager::SetBrightness(int Value) {
  Value = std::clamp(Value, -100, 100);
  if (FBrightness == Value) return;
  FBrightness = Value;
  ReloadAndRepaint();
}

void TsSkinManager::SetHueOffset(int Value) {
  if (FHueOffset == Value) return;
  FHueOffset = Value;
  ReloadAndRepaint();
}

void TsSkinManager::SetSaturation(int Value) {
  if (FSaturation == Value) return;
  FSaturation = Value;
  ReloadAndRepaint();
}

void TsSkinManager::SetCommonSections(const TStrings& Value) {
  FCommonSections.Clear();
  for (int i = 0; i < Value.Count(); ++i) {
    String line = Value.Strings(i);
    if (!line.empty() && line[0] != ';') std::erase(line, ' ');
    FCommonSections.Add(line);
  }
  SetSkinName(FSkinName);
}

void TsSkinManager::SetSkinDirectory(const String& Value) {
  if (FSkinDirectory == Value) return;
  FSkinDirectory = Value;
  FListOwner.FullSkinDirectory = GetFullSkinDirectory();
  CommonSkinData.SkinPath = FListOwner.FullSkinDirectory;
  FSkinListController->UpdateData(false);
  if (OnSkinListChanged) OnSkinListChanged(this);
}

String TsSkinManager::GetFullSkinDirectory() const {
  const String& d = FSkinDirectory;
  const String a = IncludeTrailingPathDelimiter(AppDir());
  if (d.rfind("..", 0) == 0) {
    String up = a.substr(0, a.size() - 1);
    const size_t cut = up.find_last_of("\\/");
    up = cut == String::npos ? String() : up.substr(0, cut + 1);
    return up + (d.size() > 3 ? d.substr(3) : String());
  }
  if (d.rfind(".\\", 0) == 0 || d.rfind("./", 0) == 0) return a + d.substr(2);
  if (d == ".") return a;
  // An absolute path of this platform stays as it is.
  if (!d.empty() && d[0] == '/') return d;
  if (d.find(':') == String::npos && d.find("\\\\") == String::npos) return a + d;
  return d;
}

String TsSkinManager::SkinInfo() const {
  if (!CommonSkinData.Active) return "N/A";
  char buf[32];
  std::snprintf(buf, sizeof(buf), "%g", CommonSkinData.Version);
  return buf;
}

// ---- Skin selection ----

bool TsSkinManager::LoadSkin() {
  if (OnSkinLoading) OnSkinLoading(this);
  TacSkinSource src;
  src.SkinDirectory = GetFullSkinDirectory();
  src.SkinName = FSkinName;
  src.ScaleStep = GetScale();
  src.HueOffset = FHueOffset;
  src.Saturation = FSaturation;
  src.Brightness = FBrightness;
  for (int i = 0; i < FCommonSections.Count(); ++i) src.CommonSections.push_back(FCommonSections.Strings(i));
  src.InternalSkins = &FBuiltInSkins;
  src.PreviewText = FPreviewText.get();
  src.ExtendedBorders = ExtendedBorders();
  const String dir = IncludeTrailingPathDelimiter(src.SkinDirectory);
  bool packed = !src.PreviewText && !FSkinName.empty() &&
                (FileExists(dir + FSkinName + ".asz") || !FindSkinFile(dir, FSkinName + ".asz").empty());
  if (packed && PreviewWasLoaded && DirectoryExists(dir + FSkinName)) packed = false;
  std::unique_ptr<TacSkinRecords> fresh;
  if (packed) {
    ReloadPackedSkin(src, fresh);
  } else {
    String used;
    if (!ReloadSkin(src, fresh, &used)) return false;
    if (!used.empty()) FSkinName = used;
  }
  TakeSkin(*fresh);
  ScaleStep = src.ScaleStep;
  FreeCachedBrushes();
  return true;
}

void TsSkinManager::SetSkinName(const String& Value) {
  const String old = FSkinName;
  FSkinName = Value;
  const bool wasActive = CommonSkinData.Active;
  if (FActive) {
    if (OnBeforeChange) OnBeforeChange(this);
    if (ExtendedBorders() && !NoAutoUpdate && AnimEffects.SkinChanging.Active && Effects.AllowAnimation)
      PrepareSkinChange(this);
    SkinLoadingInProgress = true;
    CommonSkinData.Active = false;
    if (FSkinName.size() > 4) {
      String ext = FSkinName.substr(FSkinName.size() - 4);
      std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
      if (ext == ".asz") FSkinName.resize(FSkinName.size() - 4);
    }
    bool found = true, failed = false;
    try {
      found = LoadSkin();
    } catch (const Exception& E) {
      // Nothing of the skin changed: the old name and skin stay, the error is shown once.
      failed = true;
      FSkinName = old;
      SkinLoadingInProgress = false;
      CommonSkinData.Active = wasActive;
      ShowErrorBox(E.Message);
    }
    SkinLoadingInProgress = false;
    if (!failed) {
      if (!found) {
        FActive = false;
        SendRemoveSkin();
      } else if (!NoAutoUpdate) {
        SendNewSkin(true);
      }
    }
    if (OnActivate && !wasActive && CommonSkinData.Active && !Designing(this)) OnActivate(this);
    if (!NoAutoUpdate && OnAfterChange) OnAfterChange(this);
  }
  SendSkinListChanged();
  UpdateDialogsFlag();
}

void TsSkinManager::SetActive(bool Value) {
  if (FActive != Value) {
    FActive = Value;
    if (Value) {
      SetSkinName(FSkinName);
      return;  // the setter told the skin-list controls
    }
    if (!FSkinName.empty()) {
      if (!SkinLoadingInProgress) SendRemoveSkin();
      ConstData = TConstantSkinData();
      UpdateDialogsFlag();
      if (OnDeactivate && !Designing(this)) OnDeactivate(this);
    }
  }
  SendSkinListChanged();
}

void TsSkinManager::SendSkinListChanged() { FSkinListController->SendSkinChanged(); }

void TsSkinManager::ReloadAndRepaint() {
  if (!FActive || SkinLoadingInProgress || FSkinName.empty()) return;
  try {
    if (!LoadSkin()) return;
  } catch (const Exception& E) {
    SkinLoadingInProgress = false;
    ShowErrorBox(E.Message);
    return;
  }
  SkinLoadingInProgress = false;
  if (NoAutoUpdate) return;  // EndUpdate broadcasts once
  SendNewSkin(true);
  if (OnAfterChange) OnAfterChange(this);
}

void TsSkinManager::FreeSkinData() {
  TacSkinRecords empty;
  TakeSkin(empty);
  FreeCachedBrushes();
}

// ---- Broadcasts ----

void TsSkinManager::SendToAll(TMessage& M) {
  if (!Designing(this)) {
    BroadcastToApplicationForms(M);
    return;
  }
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->GetName() == "AppBuilder" || f->GetName() == "PropertyInspector") continue;
    BroadcastToChildren(f, M);
  }
  BroadcastToSkinnedForms(M);
}

void TsSkinManager::SendNewSkin(bool Repaint) {
  if (SkinLoadingInProgress) return;
  if (IsDefault()) {
    // Glows hold pictures of the old skin.
    FreeAllGlows(false);
    EffectsAllowGlowing = Effects.AllowGlowing;
    EffectsAllowAnimation = Effects.AllowAnimation;
  }
  if (!Designing(this) && Repaint) LockForms(this);
  CommonSkinData.Active = false;
  SkinChangingFlag = true;
  TMessage m = SkinMessage(SKC_SKINCHANGED, AsParam());
  SendToAll(m);
  SkinChangingFlag = false;
  CommonSkinData.Active = true;
  if (IsDefault()) InstallHook();
  // Menus measure against the new skin: its border width is read again and the backgrounds rebuilt.
  if (MenuSupport.IcoLineSkin.empty()) MenuSupport.IcoLineSkin = "ICOLINE";
  FSkinableMenus->SetSkinBorderWidth(-1);
  ClearMenuInfo();
  FSkinableMenus->UpdateMenus();
  if (Repaint) RepaintForms(false);
}

void TsSkinManager::SendRemoveSkin() {
  SkinRemoving = true;
  FreeAllGlows(false);
  UnInstallHook();
  CommonSkinData.Active = false;
  FSkinableMenus->UpdateMenus();
  ClearMenuInfo();
  TMessage m = SkinMessage(SKC_SKINREMOVED, AsParam());
  SendToAll(m);
  FreeSkinData();
  SkinRemoving = false;
}

void TsSkinManager::RepaintForms(bool DoLockForms) {
  if (!Designing(this)) {
    TMessage stop = SkinMessage(SKC_STOPANIMATION, AsParam());
    BroadcastToApplicationForms(stop);
  }
  TMessage m = SkinMessage(SKC_SKINLOADED, AsParam());
  if (Designing(this) || SkinLoadingInProgress) {
    SendToAll(m);
  } else {
    if (DoLockForms) LockForms(this);
    BroadcastToApplicationForms(m);
    UnlockForms(this, !NoAutoUpdate);
  }
  if (HookProviders)
    for (size_t i = 0; i < HookProviders->size(); ++i) {
      HWND wnd = (*HookProviders)[i]->CtrlHandle;
      if (IsWindowVisible(wnd))
        RedrawWindow(wnd, nullptr, nullptr, RDW_FRAME | RDW_ALLCHILDREN | RDW_ERASE | RDW_INVALIDATE);
    }
}

void TsSkinManager::UpdateSkin(bool Repaint) {
  // Without loaded records there is nothing to tell (and no skin to call active).
  if (FActive && !gd.empty()) SendNewSkin(Repaint);
}

void TsSkinManager::UpdateSkinSection(const String& SectionName) {
  String upper = SectionName;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  TMessage m = SkinMessage(SKC_UPDATESECTION, LPARAM(&upper));
  SendToAll(m);
}

void TsSkinManager::EndUpdate(bool Repaint, bool AllowAnimation) {
  NoAutoUpdate = false;
  const bool anim = AnimEffects.SkinChanging.Active;
  if (!AllowAnimation) AnimEffects.SkinChanging.Active = false;
  UpdateSkin(Repaint);
  AnimEffects.SkinChanging.Active = anim;
  if (OnAfterChange) OnAfterChange(this);
}

// ---- Scaling ----

int TsSkinManager::GetScale() const {
  if (Designing(this)) return 0;
  switch (Options.ScaleMode()) {
    case smOldMode: return 0;
    case smAuto: return SysFontScale;
    default: return int(Options.ScaleMode());
  }
}

int TsSkinManager::ScaleInt(int Value, int SysScale) const {
  if (Options.ScaleMode() == smOldMode) return Value;
  const int step = GetScale();
  if (SysScale == 0) {
    switch (step) {
      case 1: return Value + Value / 4;
      case 2: return Value + Value / 2;
      case 3: return 2 * Value;
      default: return Value;
    }
  }
  if (SysScale < step) return Value * kScalePercents[std::clamp(SysScale, 0, 3)] / 100;
  return Value;
}

void TsSkinManager::UpdateScale(TControl* Ctrl, int CurrentScale) {
  if (!Ctrl) return;
  const LRESULT asked = Ctrl->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_GETSCALE), 0);
  const int current = asked ? int(asked) : CurrentScale;
  const int target = kScalePercents[std::clamp(GetScale(), 0, 3)];
  if (current == target || current <= 0) return;
  const TRect old = Ctrl->BoundsRect();
  const int w = MulDiv(Ctrl->Width(), target, current), h = MulDiv(Ctrl->Height(), target, current);
  const bool anim = Effects.AllowAnimation;
  Effects.AllowAnimation = false;
  auto* wc = dynamic_cast<TWinControl*>(Ctrl);
  const bool shown = wc && wc->HandleAllocated() && IsWindowVisible(wc->Handle());
  if (shown) SetWindowPos(wc->Handle(), nullptr, 0, 0, 0, 0, 0x97);
  Ctrl->SetBounds(old.Left, old.Top, w, h);
  Ctrl->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_SETSCALE), target);
  if (shown) SetWindowPos(wc->Handle(), nullptr, 0, 0, 0, 0, 0x57);
  if (w < old.Width() || h < old.Height()) {
    RECT r{old.Left, old.Top, old.Right, old.Bottom};
    if (TWinControl* p = Ctrl->Parent(); p && p->HandleAllocated())
      InvalidateRect(p->Handle(), &r, TRUE);
    else
      InvalidateRect(nullptr, &r, TRUE);
  }
  Effects.AllowAnimation = anim;
}

void TsSkinManager::UpdateAllScale() {
  const auto& forms = SkinnedForms();
  for (size_t i = 0; i < forms.size(); ++i)
    if (forms[i]) UpdateScale(forms[i], 100);
}

int TsSkinManager::GetScrollWidth() const {
  return ScrollsOptions.ScrollSize() >= 0 ? ScrollsOptions.ScrollSize() : GetSystemMetrics(SM_CXVSCROLL);
}

int TsSkinManager::ActualScrollWidth() const { return std::max(GetScrollWidth(), GetSystemMetrics(SM_CXVSCROLL)); }

// ---- Skin lists ----

String TsSkinManager::GetSkinNames(TStrings& Names, bool CreateDataObject, TacSkinMode Kind) {
  Names.Clear();
  if (FSkinListController->SkinList.empty()) FSkinListController->UpdateData(false);
  TStringList collected;
  String first;
  for (const TacSkinListData& d : FSkinListController->SkinList) {
    // smInternal: the stored skins; smExtPacked: the skin folder's; smExtUnpacked: all.
    const bool take = Kind == smExtUnpacked || (Kind == smInternal) == (d.skSkinMode == smInternal);
    if (!take) continue;
    if (first.empty()) first = d.skName;
    collected.Add(d.skName);
    (void)CreateDataObject;  // the list keeps no per-name objects here
  }
  collected.Sort();
  Names.AddStrings(collected);
  return first;
}

String TsSkinManager::GetExternalSkinNames(TStrings& Names, bool CreateDataObject) {
  return GetSkinNames(Names, CreateDataObject, smExtPacked);
}

String TsSkinManager::GetRandomSkin() {
  TStringList names;
  GetSkinNames(names, false, smExtUnpacked);
  if (names.Count() == 0) return String();
  static std::mt19937 gen{std::random_device{}()};
  return names.Strings(int(gen() % unsigned(names.Count())));
}

void TsSkinManager::GetSkinSections(TStrings& Names) const {
  Names.Clear();
  if (!CommonSkinData.Active) return;
  for (const TsGeneralData& g : gd) Names.Add(g.ClassName);
}

void TsSkinManager::UpdateThirdNames(bool Force) {
  for (int i = 0; i < TsThirdPartyList::kCount; ++i) {
    String& item = ThirdParty.Items[size_t(i)];
    if (Force || item.empty()) item = TsThirdPartyList::kDefaults[i];
    ThirdLists[size_t(i)].SetText(item);
  }
}

void TsSkinManager::StoreThirdNames() {
  for (int i = 0; i < TsThirdPartyList::kCount; ++i) ThirdParty.Items[size_t(i)] = ThirdLists[size_t(i)].Text();
}

// ---- Hot control ----

void TsSkinManager::CheckHotControl() {
  if (!FActiveControl) return;
  RECT r;
  const TPoint p = SafeGetCursorPos();
  if (!IsWindow(FActiveControl) || !GetWindowRect(FActiveControl, &r) || p.X < r.left || p.X >= r.right ||
      p.Y < r.top || p.Y >= r.bottom) {
    SetActiveControl(nullptr);
    if (FActiveGraphControl && !(FActiveGraphControl->ComponentState() & csDestroying))
      FActiveGraphControl->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_MOUSELEAVE), LPARAM(FActiveGraphControl));
  }
}

void TsSkinManager::SetActiveControl(HWND Value) {
  if (Value == FActiveControl) return;
  if (FActiveControl && MouseInWindow(FActiveControl) && Value && HasParentWindow(FActiveControl, Value)) return;
  if (FActiveControl && FActiveGraphControl) {
    SetActiveGraphControl(nullptr);
    if (FActiveGraphControl) return;
  }
  HWND old = FActiveControl;
  FActiveControl = Value;
  if (old && IsWindow(old)) SendSkinCommand(old, SKC_MOUSELEAVE, AsParam());
  if (Value) SendSkinCommand(Value, SKC_MOUSEENTER, AsParam());
}

void TsSkinManager::SetActiveGraphControl(TControl* Value) {
  if ((Owner() && (Owner()->ComponentState() & csDestroying)) || Value == FActiveGraphControl) return;
  if (!Value && FActiveGraphControl) {
    auto* data = reinterpret_cast<TsCommonData*>(
        FActiveGraphControl->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_GETSKINDATA), 0));
    if (data && data->FMouseAbove) return;
  }
  TControl* old = FActiveGraphControl;
  FActiveGraphControl = Value;
  if (old) old->Perform(WM_SKINCOMMAND, SkinCommandWParam(SKC_MOUSELEAVE), AsParam());
}

// ---- The application window ----

bool TsSkinManager::ApplicationHook(TMessage& Message) {
  switch (Message.Msg) {
    case WM_COPYDATA: {
      if (Message.Result != 0 || FCopyingData) return false;
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(Message.LParam);
      if (!cds || Message.WParam != 7 || !cds->lpData || cds->cbData < sizeof(int32_t)) return false;
      int32_t magic = 0;
      std::memcpy(&magic, cds->lpData, sizeof(magic));
      // The whole record must be there: a shorter buffer is never read past its end.
      if (magic != TacSkinData::kMagic || cds->cbData < TacSkinData::kSize) return false;
      FCopyingData = true;
      const bool ok = PreviewBuffer.DecodeFrom(static_cast<const uint8_t*>(cds->lpData), cds->cbData);
      if (ok) PostMessageW(Application->Handle(), WM_SKINCOMMAND, SkinCommandWParam(SKC_LOADPREVIEW), 0);
      FCopyingData = false;
      return ok;
    }
    case WM_SKINCOMMAND:
      if (SkinCommandOf(Message) == SKC_LOADPREVIEW) LoadPreview();
      return false;
    case CM_ACTIVATE:
      for (int i = Screen->FormCount() - 1; i >= 0; --i) {
        if (i >= Screen->FormCount()) continue;
        TCustomForm* f = Screen->Forms(i);
        if (f->HandleAllocated()) SendSkinCommand(f->Handle(), SKC_INVALIDATE, 0);
      }
      return false;
    case WM_SYSCOMMAND:
      if (!CommonSkinData.Active) return false;
      switch (Message.WParam & 0xFFF0) {
        case SC_MINIMIZE: ShowState = saMinimize; break;
        case SC_RESTORE: ShowState = saRestore; break;
        default: ShowState = saIgnore;
      }
      return false;
    case WM_THEMECHANGED:
      return true;
    case WM_DRAWMENUBORDER:
      DrawMenuBorderOf(reinterpret_cast<TMenuItem*>(Message.LParam));
      return false;
    default:
      // Taskbar previews need desktop composition, which is never on here.
      return false;
  }
}

void TsSkinManager::DrawMenuBorderOf(TMenuItem* Item) {
  // The popup window is the one under the centre of the menu's first item.
  TMenuItem* parent = Item ? Item->Parent() : nullptr;
  if (!parent || parent->Count() == 0) return;
  RECT r;
  if (!GetMenuItemRect(nullptr, parent->Handle(), 0, &r)) return;
  HWND wnd = WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  if (!wnd || GetWndClassName(wnd) != "#32768") return;
  HDC dc = CreateCompatibleDC(nullptr);
  TCanvas canvas;
  canvas.SetHandle(dc);
  if (TacMenuInfo* mi = FSkinableMenus->GetMenuInfo(parent->Items(0), &canvas, wnd))
    FSkinableMenus->DrawWndBorder(wnd, mi->Bmp.get());
  canvas.SetHandle(nullptr);
  DeleteDC(dc);
}

void TsSkinManager::LoadPreview() {
  if (PreviewBuffer.Magic != TacSkinData::kMagic) return;
  PreviewWasLoaded = true;
  BeginUpdate();
  FPreviewText = std::make_unique<TStringList>();
  FPreviewText->SetText(PreviewBuffer.Data);
  SetSkinDirectory(PreviewBuffer.SkinDir);
  SetSkinName(PreviewBuffer.SkinName);
  EndUpdate(true, false);
  FPreviewText.reset();
}

// ---- Window-creation hook ----

void TsSkinManager::InstallHook() {
  if (Designing(this) || !IsDefault() || FGlobalHookInstalled) return;
  FGlobalHookInstalled = true;
  if (!HookProviders) HookProviders = std::make_unique<std::vector<std::unique_ptr<TacProvider>>>();
  CbtHook = SetWindowsHookExW(WH_CBT, &CBTHookProc, nullptr, DWORD(GetCurrentThreadId()));
  if (Options.GetOption(TacOptions::ChangeSysColors)) InstallSysColorRedirection();
}

void TsSkinManager::UnInstallHook() {
  if (Designing(this) || !IsDefault() || !FGlobalHookInstalled) return;
  if (HookServices.ClearHookedMenus) HookServices.ClearHookedMenus();
  if (CbtHook) UnhookWindowsHookEx(CbtHook);
  CbtHook = nullptr;
  HookProviders.reset();
  RemoveSysColorRedirection();
  FGlobalHookInstalled = false;
}

bool DefaultHookRules(TacHookRules& Rules) {
  TsSkinManager* m = DefaultSkinManager();
  if (!m) return false;
  Rules.Active = m->Active();
  Rules.SkinnedPopups = m->SkinnedPopups();
  Rules.SkinningRules = m->SkinningRules();
  return true;
}

bool AllowSysDialogSkinning(HWND Dialog) {
  TsSkinManager* m = DefaultSkinManager();
  bool allow = true;
  if (m && m->OnSysDlgInit) {
    TacSysDlgData data{Dialog};
    m->OnSysDlgInit(data, allow);
  }
  return allow;
}

void PurgeProviders() {
  if (!HookProviders) return;
  std::erase_if(*HookProviders, [](const std::unique_ptr<TacProvider>& p) { return !p || !p->Alive(); });
}

namespace {

bool ApplicationGoing() { return !Application || (Application->ComponentState() & csDestroying); }

bool HookSkinned(HWND Wnd) {
  if (IsWindowSkinned(Wnd)) return true;
  if (!HookProviders) return false;
  return std::any_of(HookProviders->begin(), HookProviders->end(),
                     [Wnd](const std::unique_ptr<TacProvider>& p) { return p && p->CtrlHandle == Wnd; });
}

void TrySkinWindow(HWND Wnd, void* Params) {
  if (!HookServices.TrySkinWindow || !DefaultSkinManager() || ApplicationGoing() || HookSkinned(Wnd)) return;
  HookServices.TrySkinWindow(Wnd, Params);
}

}  // namespace

LRESULT CBTHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  const LRESULT next = CallNextHookEx(CbtHook, Code, WParam, LParam);
  if (ApplicationGoing()) return next;
  HWND wnd = reinterpret_cast<HWND>(WParam);
  if (Code == HCBT_ACTIVATE) {
    TrySkinWindow(wnd, nullptr);
  } else if (Code == HCBT_CREATEWND) {
    const auto* cbt = reinterpret_cast<const CBT_CREATEWNDW*>(LParam);
    const char* cls = cbt && cbt->lpcs ? cbt->lpcs->lpszClass : nullptr;
    const uintptr_t atom = reinterpret_cast<uintptr_t>(cls);
    if (cls && atom <= 0xFFFF) {
      if (atom == 0x8002) {
        TrySkinWindow(wnd, nullptr);
      } else if (atom == 0x8000) {
        TsSkinManager* m = DefaultSkinManager();
        if (m && m->SkinnedPopups() && !IsWindowSkinned(wnd) && HookServices.SkinPopupMenu)
          HookServices.SkinPopupMenu(wnd);
      }
    } else if (cls && GetWndClassName(wnd) != "TPUtilWindow" && cbt->lpcs->style && cbt->lpcs->dwExStyle &&
               !GetParent(wnd)) {
      // Framework helper windows are never skinned; other parentless windows may be.
      TCustomForm* main = Application->MainForm();
      if (!main || !main->HandleAllocated() || main->Handle() != wnd) TrySkinWindow(wnd, nullptr);
    }
  }
  return next;
}

// ---- System colours ----

bool SkinSysColor(int Index, COLORREF* Color, HBRUSH* Brush) {
  const TacSkinRecords* s = DefaultManager;
  if (!s) return false;
  const TacPaletteArray& p = s->Palette;
  TColor c;
  int solid = 0;  // 1: the manager's edit brush; 2: a cached solid brush; 0: the system's brush
  switch (Index) {
    case COLOR_WINDOW: c = p[pcEditBG], solid = 1; break;
    case COLOR_WINDOWFRAME: c = p[pcBorder]; break;
    case COLOR_WINDOWTEXT: c = p[pcEditText], solid = 2; break;
    case COLOR_INACTIVEBORDER: c = s->CommonSkinData.SysInactiveBorderColor; break;
    case COLOR_HIGHLIGHT: c = p[pcSelectionBG_Focused], solid = 2; break;
    case COLOR_HIGHLIGHTTEXT: c = p[pcSelectionText_Focused], solid = 2; break;
    case COLOR_BTNSHADOW:
    case COLOR_3DDKSHADOW: c = MixColors(p[pcMainColor], 0, 205); break;
    case COLOR_3DLIGHT: c = MixColors(p[pcMainColor], 0xFFFFFF, 205); break;
    default: return false;
  }
  if (Brush) {
    if (solid == 0) return false;  // the system's brush, in the system's colour
    *Brush = solid == 1 && s->Brushes[5] ? s->Brushes[5] : CachedBrush(COLORREF(c));
  }
  *Color = COLORREF(c);
  return true;
}

COLORREF SkinPenColor(COLORREF Color) {
  const TacSkinRecords* s = DefaultManager;
  if (!s) return Color;
  const TacPaletteArray& p = s->Palette;
  switch (Color) {
    case 5: return p[pcEditBG];
    case 6: return p[pcBorder];
    case 11: return s->CommonSkinData.SysInactiveBorderColor;
    case 13: return p[pcSelectionBG_Focused];
    case 14: return p[pcSelectionText_Focused];
    case 15: return p[pcMainColor];
    case 16:
    case 21: return MixColors(p[pcMainColor], 0, 205);
    case 22: return MixColors(p[pcMainColor], 0xFFFFFF, 205);
    case 0xC0C0C0:
    case 0xF0F0F0: return MixColors(p[pcEditText], p[pcEditBG], 38);
    default: return Color;
  }
}

void InstallSysColorRedirection() {
  SetSysColorOverride(&SkinSysColor);
  SetPenColorOverride(&SkinPenColor);
}

void RemoveSysColorRedirection() {
  if (GetSysColorOverride() == &SkinSysColor) SetSysColorOverride(nullptr);
  if (GetPenColorOverride() == &SkinPenColor) SetPenColorOverride(nullptr);
  FreeCachedBrushes();
}
