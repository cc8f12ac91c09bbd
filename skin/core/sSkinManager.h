#pragma once
// The skin manager: the component an application places on its main form to
// skin itself. It names the skin (a folder or an archive in SkinDirectory, or
// a stored skin), loads it, and tells every skinned form, control and
// hook-skinned window of each change through skin commands. The manager *is*
// the loaded skin: painters read its records (sections, images, palette,
// constant indexes) through the TacSkinRecords it derives from, and a load
// swaps fresh records in only when the whole load succeeded.
//
// The first manager made becomes the default one (DefaultManager), which
// records without a manager of their own use, which watches the application
// window and which installs the window-creation hook. Everything runs on the
// thread that owns the windows.

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "skin/core/acSkinList.h"
#include "skin/core/acSkinPack.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinLoader.h"
#include "skin/core/sSkinManagerHook.h"
#include "skin/core/sSkinMenus.h"
#include "skin/core/sSkinRecords.h"
#include "skin/core/sVclUtils.h"

class TsSkinManager;

enum TacScaleMode { sm100, sm125, sm150, sm200, smAuto, smOldMode };
enum TacOptimizingPriority { opSpeed, opMemory };
enum TacBtnEvent { beMouseEnter, beMouseLeave, beMouseDown, beMouseUp };
using TacBtnEvents = TSet<TacBtnEvent>;
enum TShowAction { saIgnore, saRestore, saMinimize, saMaximize };

// ---- Options ----

class TacSkinEffects {
 public:
  explicit TacSkinEffects(TsSkinManager* AManager) : Manager(AManager) {}
  bool AllowAnimation = true;
  bool AllowAeroBluring = true;
  bool AllowGlowing = true;
  // These two repaint the forms when changed (unless loading or between BeginUpdate and EndUpdate).
  bool AllowOuterEffects() const { return FAllowOuterEffects; }
  void SetAllowOuterEffects(bool Value) { SetEffect(FAllowOuterEffects, Value); }
  bool DiscoloredGlyphs() const { return FDiscoloredGlyphs; }
  void SetDiscoloredGlyphs(bool Value) { SetEffect(FDiscoloredGlyphs, Value); }
  TsSkinManager* Manager;

 private:
  void SetEffect(bool& Field, bool Value);
  bool FAllowOuterEffects = true;
  bool FDiscoloredGlyphs = false;
};

struct TacBlendOnMoving : TacFormAnimation {
  TacBlendOnMoving() { Active = false, Time = 1000; }
  uint8_t BlendValue = 170;
};
struct TacBtnEffects {
  TacBtnEvents Events{beMouseEnter, beMouseLeave, beMouseDown, beMouseUp};
};

class TacAnimEffects {
 public:
  explicit TacAnimEffects(TsSkinManager* AManager) : Manager(AManager) {
    for (TacFormAnimation* a : {static_cast<TacFormAnimation*>(&BlendOnMoving), &DialogShow, &FormShow, &FormHide,
                                &DialogHide, &Minimizing, &PageChange})
      a->Mode = atAero;
    Minimizing.Time = 120;
    SkinChanging.Time = 100;
    SkinChanging.Mode = atFading;
  }
  TacBlendOnMoving BlendOnMoving;
  TacBtnEffects Buttons;
  TacFormAnimation DialogShow, FormShow, FormHide, DialogHide, Minimizing, PageChange, SkinChanging;
  TsSkinManager* Manager;
};

// Scroll-bar sizes; -1: the system's.
class TacScrollBarsSupport {
 public:
  explicit TacScrollBarsSupport(TsSkinManager* AOwner) : FOwner(AOwner) {}
  int ButtonsSize() const { return FButtonsSize; }
  // Repaints the forms unless loading.
  void SetButtonsSize(int Value);
  int ScrollSize() const { return FScrollSize; }
  // Tells every form its frame changed (SKC_FRAMECHANGED) unless loading.
  void SetScrollSize(int Value);
  int FButtonsSize = -1;
  int FScrollSize = -1;
  TsSkinManager* FOwner;
};

struct TacButtonsSupport {
  bool ShowFocusRect = true;
  bool ShiftContentOnClick = true;
};
struct TacLabelsSupport {
  bool TransparentAlways = true;
};

struct TScaleChangeData {
  TacScaleMode OldScaleMode = smOldMode, NewScaleMode = smOldMode;
  int OldScalePercent = 100, NewScalePercent = 100;
};
using TScaleChangeEvent = std::function<void(TObject* Sended, const TScaleChangeData& ScaleChangeData)>;

class TacOptions {
 public:
  enum { CheckEmptyAlpha, NoMouseHover, NativeBordersMaximized, StdGlyphsOrder, ChangeSysColors, StdImgTransparency };
  explicit TacOptions(TsSkinManager* AOwner) : FOwner(AOwner) {}
  bool GetOption(int Index) const { return Index >= 0 && Index < 6 && FOptions[size_t(Index)]; }
  // ChangeSysColors on the default manager (not while loading) installs or
  // removes the redirection of system colours and pens to the skin's palette.
  void SetOption(int Index, bool Value);
  TacScaleMode ScaleMode() const { return FScaleMode; }
  // Rescales the forms skinned by the manager to the new percent.
  void SetScaleMode(TacScaleMode Value);
  TacArrowsStyle ArrowsStyle() const { return FArrowsStyle; }
  void SetArrowsStyle(TacArrowsStyle Value);
  // ArrowsStyle, or the skin's own when it is arsDefault.
  TacArrowsStyle ActualArrowStyle() const;
  TacOptimizingPriority OptimizingPriority = opSpeed;
  TsSkinManager* FOwner;

 private:
  std::array<bool, 6> FOptions{};
  TacScaleMode FScaleMode = smOldMode;
  TacArrowsStyle FArrowsStyle = arsDefault;
};

// The lists of class names the library treats like a standard kind of
// control, one per handler kind, in the order of the handler-class table.
class TsThirdPartyList {
 public:
  static constexpr int kCount = 23;
  static const char* const kNames[kCount];     // ThirdEdits .. ThirdNativePaint
  static const char* const kDefaults[kCount];  // one name a line
  TsThirdPartyList();
  std::array<String, kCount> Items;
};

// ---- The manager ----

class TsSkinManager : public TComponent, public TacSkinRecords {
 public:
  explicit TsSkinManager(TComponent* AOwner);
  ~TsSkinManager() override;
  // After streaming: broadcasts the skin that SkinName loaded while reading.
  void Loaded();

  // The value skin commands carry as LParam for this manager (the records
  // that skin data compare with their own manager's).
  LPARAM AsParam() const { return LPARAM(static_cast<const TacSkinRecords*>(this)); }

  // ---- Properties ----
  bool Active() const { return FActive; }
  // True: SkinName is loaded again; False: the skin is removed from every window.
  void SetActive(bool Value);
  const String& SkinName() const { return FSkinName; }
  // Loads the skin and tells every window. A skin that cannot be loaded keeps
  // the previous name and skin and shows the error once; a name that finds no
  // skin at all switches the manager off.
  void SetSkinName(const String& Value);
  const String& SkinDirectory() const { return FSkinDirectory; }
  void SetSkinDirectory(const String& Value);
  // SkinDirectory made absolute against the program's folder.
  String GetFullSkinDirectory() const;
  bool IsDefault() const;
  // False keeps the default manager; True makes this one the default.
  void SetIsDefault(bool Value);
  // Set, and layered windows available.
  bool ExtendedBorders() const;
  void SetExtendedBorders(bool Value);
  bool SkinnedPopups() const { return FSkinnedPopups; }
  void SetSkinnedPopups(bool Value) { FSkinnedPopups = Value; }
  const TacSkinningRules& SkinningRules() const { return FSkinningRules; }
  void SetSkinningRules(const TacSkinningRules& Value);
  const TacSkinsFilter& SkinsFilter() const { return FListOwner.SkinsFilter; }
  void SetSkinsFilter(const TacSkinsFilter& Value);
  int Brightness() const { return FBrightness; }
  void SetBrightness(int Value);  // clamped to -100..100
  int HueOffset() const { return FHueOffset; }
  void SetHueOffset(int Value);
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value);
  const TStringList& CommonSections() const { return FCommonSections; }
  // Spaces leave every line that is not a comment; the skin is loaded again.
  void SetCommonSections(const TStrings& Value);
  TsStoredSkins& InternalSkins() { return FBuiltInSkins; }
  // The loaded skin's version ("N/A" without an active skin).
  String SkinInfo() const;
  static String Version() { return "12.18"; }

  TacSkinEffects Effects{this};
  TacAnimEffects AnimEffects{this};
  TacOptions Options{this};
  TacScrollBarsSupport ScrollsOptions{this};
  TacButtonsSupport ButtonsOptions;
  TacLabelsSupport LabelsOptions;
  TsThirdPartyList ThirdParty;
  // The class-name lists of ThirdParty, one name a line each.
  std::array<TStringList, TsThirdPartyList::kCount> ThirdLists;

  TNotifyEvent OnActivate, OnDeactivate, OnSkinLoading, OnAfterChange, OnBeforeChange, OnSkinListChanged;
  TScaleChangeEvent OnScaleModeChange;
  TacSysDlgInit OnSysDlgInit;

  // ---- Menus ----
  TacMenuSupport MenuSupport;
  // The owner-drawn menus of the application (hooked while a skin is active).
  TsSkinableMenus* SkinableMenus() const { return FSkinableMenus.get(); }
  TacGetExtraLineData OnGetMenuExtraLineData;
  TacGetPopupItemData OnGetPopupItemData;

  // ---- Updating ----
  // When active: every window takes the skin again.
  void UpdateSkin(bool Repaint = true);
  // SKC_UPDATESECTION with the name in capitals to every form.
  void UpdateSkinSection(const String& SectionName);
  // Every form and hook-skinned window repaints (SKC_STOPANIMATION, then SKC_SKINLOADED).
  void RepaintForms(bool DoLockForms = true);
  // Skin changes between the two are not broadcast; EndUpdate broadcasts once.
  void BeginUpdate() { NoAutoUpdate = true; }
  void EndUpdate(bool Repaint = true, bool AllowAnimation = true);
  // SKC_SKINCHANGED to every window, then the hook and, with Repaint, RepaintForms.
  void SendNewSkin(bool Repaint = true);
  // SKC_SKINREMOVED to every window; the skin's data is freed.
  void SendRemoveSkin();

  // ---- Scaling ----
  // Scale step 0..3 (100, 125, 150, 200 percent).
  int GetScale() const;
  using TacSkinRecords::ScaleInt;
  int ScaleInt(int Value, int SysScale) const;
  // Rescales a control tree from its scale (or CurrentScale) to the manager's.
  void UpdateScale(TControl* Ctrl, int CurrentScale);
  void UpdateAllScale();
  int GetScrollWidth() const;
  int ActualScrollWidth() const;

  // ---- Skin lists ----
  // Sorted names into Names; the first one found (before sorting) is returned.
  String GetSkinNames(TStrings& Names, bool CreateDataObject = false, TacSkinMode Kind = smExtPacked);
  String GetExternalSkinNames(TStrings& Names, bool CreateDataObject = false);
  String GetRandomSkin();
  void GetSkinSections(TStrings& Names) const;
  TacSkinListController& SkinListController() { return *FSkinListController; }

  // ---- System integration ----
  // The application window's hook; true consumes the message.
  bool ApplicationHook(TMessage& Message);
  // The window-creation hook (default manager only), with the system colours
  // and pens redirected to the skin when ChangeSysColors is on.
  void InstallHook();
  void UnInstallHook();
  bool GlobalHookInstalled() const { return FGlobalHookInstalled; }
  // Loads the skin-editor preview waiting in PreviewBuffer.
  void LoadPreview();
  // The border of the popup window showing Item's menu (WM_DRAWMENUBORDER).
  void DrawMenuBorderOf(TMenuItem* Item);

  // ---- Hot control ----
  HWND ActiveControl() const { return FActiveControl; }
  void SetActiveControl(HWND Value);
  TControl* ActiveGraphControl() const { return FActiveGraphControl; }
  void SetActiveGraphControl(TControl* Value);
  // Every 100 ms: the hot window loses its hover when the cursor left it.
  void CheckHotControl();

  // ---- State ----
  bool NoAutoUpdate = false;
  bool SkinRemoving = false;
  TShowAction ShowState = saIgnore;
  int SysFontScale = 0;  // the system's scale step
  TacSkinData PreviewBuffer;

 private:
  void ReloadAndRepaint();
  // Loads SkinName into fresh records and takes them; raises on errors,
  // false when no skin was found.
  bool LoadSkin();
  void UpdateDialogsFlag() {}
  void UpdateThirdNames(bool Force);
  void StoreThirdNames();
  void SendToAll(TMessage& M);
  void SendSkinListChanged();
  void FreeSkinData();

  bool FActive = true;
  bool FSkinnedPopups = true;
  bool FExtendedBorders = false;
  bool FGlobalHookInstalled = false;
  String FSkinName;
  String FSkinDirectory;
  TsStoredSkins FBuiltInSkins;
  TStringList FCommonSections;
  TacSkinningRules FSkinningRules{srStdForms, srStdDialogs, srThirdParty};
  int FBrightness = 0, FHueOffset = 0, FSaturation = 0;
  HWND FActiveControl = nullptr;
  TControl* FActiveGraphControl = nullptr;
  std::unique_ptr<TTimer> TimerCheckHot;
  TacSkinListOwner FListOwner;
  std::unique_ptr<TacSkinListController> FSkinListController;
  std::unique_ptr<TStringList> FPreviewText;
  std::unique_ptr<TsSkinableMenus> FSkinableMenus;
  bool FCopyingData = false;
  friend class TacOptions;
};

// The manager whose records are R (nullptr for records of no manager).
TsSkinManager* SkinManagerOf(const TacSkinRecords* R);
// The default manager as a manager (nullptr without one).
inline TsSkinManager* DefaultSkinManager() { return SkinManagerOf(DefaultManager); }

// True while a skin change is being broadcast.
inline bool SkinChangingFlag = false;
// True after a skin-editor preview: later selections prefer a folder to an archive of the same name.
inline bool PreviewWasLoaded = false;

// ---- System colours while the hook is installed ----
// The answers the redirection gives (the skin's palette); the system's
// without a default manager. One brush per colour is cached until the skin
// changes or the redirection ends.
bool SkinSysColor(int Index, COLORREF* Color, HBRUSH* Brush);
COLORREF SkinPenColor(COLORREF Color);
void InstallSysColorRedirection();
void RemoveSysColorRedirection();
