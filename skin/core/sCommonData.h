#pragma once
// The skin record of one skinned control, provider or window handler: which
// section paints it, its cached image, whether it may paint now, its focus and
// hover state, its colour transforms and its scale. The record is reachable
// from the owner's window through the property "ACSDATA", so code that holds
// only a window handle (a child asking for its background, a broadcast) finds
// it and calls the owner's window procedure directly (sMessages.h).
//
// A record with SkinIndex -1 is not skinned. Nothing here raises: a missing
// manager, skin or handle answers -1, false, nullptr or a plain colour.

#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "skin/core/acntTypes.h"
#include "skin/core/sSkinRecords.h"

// No colour tone, no saved colour.
inline constexpr TColor kNoColorTone = 0x1FFFFFFF;
// The window property that carries a window's record.
inline constexpr const char* kSkinDataProp = "ACSDATA";
// The property of the skinned-scroll-bar handler of a window.
inline constexpr const char* kScrollHandlerProp = "ACSBSC";

// The loaded skin of the manager a record without its own manager uses
// (borrowed; set by the skin manager that becomes the default).
inline const TacSkinRecords* DefaultManager = nullptr;
// Edit-like kinds show a hot look only while this is on.
inline bool HotEditsAllowed = false;
// The manager's "no mouse hover" option: no hot look from the mouse.
inline bool NoMouseHover = false;
// Every window handler's record keeps the control's own font.
inline bool ForceCustomFont = false;

class TsCommonData;
class TacThreadedTimer;

// The bar width and button size of one skinned scroll bar (-1: the skin's or system's).
class TacScrollData : public TPersistent {
 public:
  explicit TacScrollData(TsCommonData* AOwner) : FOwner(AOwner) {}
  int ScrollWidth() const { return FScrollWidth; }
  int ButtonsSize() const { return FButtonsSize; }
  void SetScrollWidth(int Value) { SetScrollValue(0, Value); }
  void SetButtonsSize(int Value) { SetScrollValue(1, Value); }
  void SetScrollValue(int Index, int Value);
  void Invalidate() {}

  int FScrollWidth = -1;
  int FButtonsSize = -1;
  TsCommonData* FOwner;
};

enum TacOuterVisibility { ovNone, ovAlways };

// The shadow drawn around a control.
class TacOuterEffects : public TPersistent {
 public:
  explicit TacOuterEffects(TsCommonData* AOwner) : FOwner(AOwner) {}
  TacOuterVisibility Visibility() const { return FVisibility; }
  void SetVisibility(TacOuterVisibility Value);
  void Invalidate();

  TsCommonData* FOwner;
  TacOuterVisibility FVisibility = ovNone;
};

// CtrlSkinState bits.
inline constexpr unsigned ACS_PRINTING = 0x200;
inline constexpr unsigned ACS_MNUPDATING = 0x400;
inline constexpr unsigned ACS_LOCKED = 0x800;
inline constexpr unsigned ACS_FONTCHANGING = 0x2000;
inline constexpr unsigned ACS_CHANGING_WIDTH = 0x8000;
inline constexpr unsigned ACS_CHANGING_HEIGHT = 0x10000;

// The fixed sets of control kinds (COC) that decide behaviour.
bool IsHoverSelfKind(int COC);
bool IsHoverOptionalKind(int COC);
bool IsNoHoverBgKind(int COC);
bool IsStateColorsKind(int COC);
bool IsFrameOnSkinKind(int COC);
bool IsNoGlowOnEnterKind(int COC);

class TsCommonData : public TPersistent {
 public:
  // AOwner: the control, provider or handler the record skins; a windowed
  // control's WindowProc becomes the record's WndProc. CreateCacheBmp makes the cached image.
  explicit TsCommonData(TObject* AOwner = nullptr, bool CreateCacheBmp = false);
  ~TsCommonData() override;
  TsCommonData(const TsCommonData&) = delete;
  TsCommonData& operator=(const TsCommonData&) = delete;

  // ---- Links ----
  void InitCommonProp();
  void RemoveCommonProp();
  void ClearLinks();
  // The window the record lives on: the owner control's when it has one, else FSWHandle.
  HWND OwnerHandle() const;

  // ---- Properties ----
  const String& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const String& Value);
  // The own manager, else the default one.
  const TacSkinRecords* SkinManager() const { return FSkinManager ? FSkinManager : DefaultManager; }
  const TacSkinRecords* GetSkinManager() const { return SkinManager(); }
  void SetSkinManager(const TacSkinRecords* Value);
  bool CustomColor() const { return FCustomColor; }
  bool CustomFont() const { return FCustomFont; }
  void SetCustomColor(bool Value) { SetCustomProp(0, Value); }
  void SetCustomFont(bool Value) { SetCustomProp(1, Value); }
  void SetCustomProp(int Index, bool Value);
  TColor ColorTone() const { return FColorTone; }
  void SetColorTone(TColor Value);
  int HUEOffset() const { return FHUEOffset; }
  void SetHUEOffset(int Value);
  int Saturation() const { return FSaturation; }
  void SetSaturation(int Value);
  TacOuterEffects* OuterEffects() { return FOuterEffects.get(); }
  int GetScalePercent() const { return ScalePercent; }
  bool Updating() const { return FUpdating; }

  // ---- Indexes ----
  void UpdateIndexes(bool UpdateMain = true);
  void InitSkinSection();
  // The first name of Names the skin knows becomes the section index.
  void SelectSection(const std::vector<String>& Names);
  void Loaded(bool UpdateColors = true);
  void UpdateBGType();

  // ---- Painting state ----
  void BeginUpdate();
  void EndUpdate(bool Repaint = false);
  // True while the control must not paint (it or an ancestor has no image yet).
  bool GetUpdating() const;
  bool CheckUpdating(bool ClearFirst = false);
  void Invalidate(bool UpdateNow = false);
  bool Skinned(bool CheckSkinActive = false) const;
  bool RepaintIfMoved() const;
  void PrepareCacheBmp();
  bool AnimationRunning() const;
  void KillAnimation();
  // Shows the control's glow while the mouse is over it (the section's "GLOW"
  // mask; ASkinIndex -1: the record's section), or hides it. KeepExisting
  // keeps a shown glow; Animate fades a new glow in from 0 instead of showing it at Alpha.
  void UpdateGlow(bool KeepExisting, HWND Wnd, int ASkinIndex, bool Animate, int Alpha);
  bool CommandQueryResult() const { return true; }
  bool SizeChangeNeedsRepaint() const;
  bool OuterEffectsAllowed() const;

  // ---- Colours and states ----
  int CurrentState() const;
  // The control's colour in State as its children see it.
  TColor GetControlColor(int State, HWND Wnd = nullptr) const;
  void UpdateSkinColors(bool DoInvalidate);
  void ApplyStateColors(bool Silent);
  bool IsStateTransparent(int State) const;
  // The cursor lies on the visible owner window's client area (or a window inside it).
  bool MouseInOwner() const;
  // The answer to a child's background request (skin command 34).
  void FillBgInfo(TacBackgroundInfo& Info, int State, HWND Wnd = nullptr);
  // The background behind the control as a cache record.
  TCacheInfo GetParentCache();

  // ---- Fields ----
  bool FCustomFont = false;
  bool FCustomColor = false;
  std::unique_ptr<TBitmap> FOuterCache;
  String FSkinSection;
  const TacSkinRecords* FSkinManager = nullptr;  // borrowed; nullptr: the default manager
  std::unique_ptr<TacOuterEffects> FOuterEffects;
  TColor FColorTone = kNoColorTone;
  TColor SavedColor = kNoColorTone;
  TColor SavedFontColor = kNoColorTone;
  bool FFocused = false;
  bool FUpdating = false;
  bool FMouseAbove = false;
  bool HalfVisible = false;
  bool Loading = true;
  uint8_t COC = 0;
  int GlowID = -1;
  int FHUEOffset = 0;
  int FSaturation = 0;
  int BorderIndex = -1;
  int ScalePercent = 100;
  int FUpdateCount = 0;
  HDC PrintDC = nullptr;
  std::unique_ptr<TBitmap> FCacheBmp;
  HWND FSWHandle = nullptr;
  TWndMethod WndProc;
  TObject* FOwnerObject = nullptr;
  TacThreadedTimer* AnimTimer = nullptr;  // owned
  uint16_t BGType = 0;
  unsigned CtrlSkinState = 0;
  TRect InvalidRectH, InvalidRectV;
  bool BGChanged = true;
  int SkinIndex = -1;
  TControl* FOwnerControl = nullptr;

 protected:
  // Sends a command to the owner: through Perform to a control, through WndProc otherwise.
  LRESULT OwnerCommand(int Cmd, WPARAM Low = 0, LPARAM LParam = 0);
  bool OwnerBusy() const;  // loading or being destroyed
  // The section's state for a requested state (clamped to States - 1 and 2).
  int ClampState(int State) const;
  bool CacheEmpty() const { return !FCacheBmp || FCacheBmp->Width() == 0 || FCacheBmp->Height() == 0; }
  void EmptyCache();
  // A colour transform changed: the colours are applied again and the control repaints.
  template <class T>
  void SetTransform(T& Field, T Value);
};

// The record with its two scroll-bar settings.
class TsScrollWndData : public TsCommonData {
 public:
  explicit TsScrollWndData(TObject* AOwner = nullptr, bool CreateCacheBmp = false);
  ~TsScrollWndData() override;
  TacScrollData* VertScrollData() { return FVertScrollData.get(); }
  TacScrollData* HorzScrollData() { return FHorzScrollData.get(); }

  std::unique_ptr<TacScrollData> FVertScrollData;
  std::unique_ptr<TacScrollData> FHorzScrollData;
};

// ---- Windows and records ----
TsCommonData* GetWndSkinData(HWND Wnd);
// The window has a record, a scroll-bar handler, or answers skin command 7.
bool IsWindowSkinned(HWND Wnd);
bool IsControlSkinned(TControl* Control, bool CheckSkinned = false);
