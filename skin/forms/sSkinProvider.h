#pragma once
// The skin provider of a form: the component that skins one form. It takes
// over the form's WindowProc, keeps the form's skin record (section "FORM"),
// paints the whole non-client frame (borders, title, title buttons, menu line)
// from the skin into the record's cached 32-bit image, copies that image to
// the window on WM_NCPAINT, WM_PAINT and WM_ERASEBKGND, gives the window a
// region cut from the skin's corner shapes, and answers the library's skin
// commands on the form's behalf.
//
// The unit is split by subject: sSkinProvider.cpp (life cycle, window
// procedure, setters), sSkinProviderMetrics.cpp (frame measures and title
// layout), sSkinProviderPaint.cpp (the painted image), sSkinProviderRegion.cpp
// (window regions), sSkinProviderOutput.cpp (getting the image to the screen).
// Everything runs on the thread that owns the form's window.

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/controls/acMainWnd.h"
#include "skin/forms/acCtrlAdapter.h"
#include "skin/core/acntTypes.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sSkinManager.h"
#include "skin/core/sVclUtils.h"

class TsSkinProvider;
class TacThreadedTimer;
class TacScrollWnd;    // the form's scroll-bar handler (skin/controls/acSBUtils.h)
class TsTitleBar;      // the title-bar component
class TacTitleBarItem;

// ---- Title buttons ----

// Which title glyph of the skin paints a button (index into ConstData.TitleGlyphs).
enum TacTitleGlyph : uint8_t {
  tgCloseAlone, tgClose, tgMax, tgMin, tgNormal, tgHelp, tgSmallClose, tgSmallMax, tgSmallMin, tgSmallNormal,
  tgSmallHelp, tgUser, tgNone
};

// Hit codes of the skinned frame beyond the system's own.
inline constexpr int HTMDICLOSE = 101, HTMDIMAX = 102, HTMDIMIN = 103;
inline constexpr int HTUDBTN = 1000;      // + index of a user title button
inline constexpr int HTTITLEITEM = 2000;  // + index of a title-bar item

// One title button: state, place in the painted image, hit code and glyph.
struct TsCaptionButton {
  int cpState = 0;     // 0 normal, 1 hot, 2 pressed; -1 not repainted
  int cpGlowID = -1;   // the glow window shown while hot; -1 none (glow ids start at 0)
  TRect cpRect;        // in the painted image, shadow margins included
  unsigned cpHitCode = 0;
  TacThreadedTimer* cpTimer = nullptr;  // running state animation, owned by the button's holder
  bool cpHaveAlignment = false;         // follows the skin's vertical alignment of big buttons
  TacTitleGlyph cpGlyphType = tgNone;
};

// ---- Option objects of the provider ----

// The icon at the left of the caption.
class TsTitleIcon : public TPersistent {
 public:
  explicit TsTitleIcon(TsSkinProvider* AOwner);
  ~TsTitleIcon() override;
  int Height() const { return FHeight; }
  void SetHeight(int Value) { FHeight = Value; }
  int Width() const { return FWidth; }
  void SetWidth(int Value) { FWidth = Value; }
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);

  int FHeight = 0;
  int FWidth = 0;
  TsSkinProvider* FOwner;
  std::unique_ptr<TBitmap> FGlyph;
  bool FVisible = true;
};

// An extra button in the title bar, left of the system buttons.
class TsTitleButton : public TCollectionItem {
 public:
  explicit TsTitleButton(TCollection* ACollection);
  ~TsTitleButton() override;
  void AssignTo(TPersistent* Dest) override;
  String GetDisplayName() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool UseSkinData() const { return FUseSkinData; }
  void SetUseSkinData(bool Value) { FUseSkinData = Value; }
  const String& Name() const { return FName; }
  void SetName(const String& Value) { FName = Value; }
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  const String& Hint() const { return FHint; }
  void SetHint(const String& Value) { FHint = Value; }
  // Raise OnMouseDown / OnMouseUp with the button as Sender (the frame's mouse handling calls them).
  void MouseDown(TMouseButtonKind Button, TShiftState Shift, int X, int Y);
  void MouseUp(TMouseButtonKind Button, TShiftState Shift, int X, int Y);
  // The provider of the button's collection (nullptr outside one).
  TsSkinProvider* Provider() const;

  TMouseEvent FOnMouseUp;
  TMouseEvent FOnMouseDown;
  bool FEnabled = true;
  bool FVisible = true;
  bool FUseSkinData = true;
  String FName;
  std::unique_ptr<TBitmap> FGlyph;
  String FHint;
  THintWindow* HintWnd = nullptr;  // owned while shown
  TsCaptionButton Data;
};

class TsTitleButtons : public TCollection {
 public:
  explicit TsTitleButtons(TsSkinProvider* AOwner);
  ~TsTitleButtons() override;
  TsTitleButton* Items(int Index) const { return static_cast<TsTitleButton*>(TCollection::Items(Index)); }
  TsSkinProvider* FOwner;

 protected:
  TPersistent* GetOwner() override;
  void Update(TCollectionItem* Item) override;
};

// A second text painted after the form's caption.
class TacAddedTitle : public TPersistent {
 public:
  TacAddedTitle();
  ~TacAddedTitle() override;
  bool ShowMainCaption() const { return FShowMainCaption; }
  void SetShowMainCaption(bool Value);
  TFont* Font() { return FFont.get(); }
  void SetFont(TFont* Value);
  const String& Text() const { return FText; }
  void SetText(const String& Value);
  // The font differs from a new one of the state colour (so a form file stores it).
  bool FontStored() const;
  // Repaints the frame unless the provider is loading.
  void UpdateTitle();

  bool FShowMainCaption = true;
  std::unique_ptr<TFont> FFont;  // colour 0x1FFFFFFF: the title section's text colour
  String FText;
  TsSkinProvider* FOwner = nullptr;
};

// A band at the top of the client area painted with the form-header section.
class TacFormHeader : public TPersistent {
 public:
  explicit TacFormHeader(TsSkinProvider* AOwner) : FOwner(AOwner) {}
  int AdditionalHeight() const { return FAdditionalHeight; }
  void SetAdditionalHeight(int Value);
  TsSkinProvider* FOwner;
  int FAdditionalHeight = 0;
};

enum TacMenuItemPos { ipTop, ipBottom, ipBeforeClose };

// The user's sub-menu of the skinned system menu.
class TacSysSubMenu : public TPersistent {
 public:
  explicit TacSysSubMenu(TsSkinProvider*) {}
  String Caption;
  TacMenuItemPos Position = ipBeforeClose;
  TPopupMenu* PopupMenu = nullptr;
};

// The popup menu the skinned frame shows as the system menu, and what the
// frame painter and hit test ask of it.
class TsCustomSysMenu : public TPopupMenu {
 public:
  explicit TsCustomSysMenu(TComponent* AOwner) : TPopupMenu(AOwner) {}
  virtual bool VisibleClose() = 0;
  virtual bool VisibleMax() = 0;
  virtual bool VisibleMin() = 0;
  virtual bool EnabledMax() = 0;
  virtual bool EnabledMin() = 0;
  virtual bool EnabledRestore() = 0;
};

// The form provider's system menu: mirrors the window's own system menu.
class TsSystemMenu : public TsCustomSysMenu {
 public:
  explicit TsSystemMenu(TsSkinProvider* AOwner);
  void Generate();
  void UpdateItems(bool Full = false);
  void UpdateGlyphs() {}
  void MakeSkinItems();

  bool VisibleClose() override;
  bool VisibleMax() override;
  bool VisibleMin() override;
  bool EnabledMax() override;
  bool EnabledMin() override;
  bool EnabledRestore() override;
  bool VisibleRestore();
  bool VisibleSize();
  bool EnabledClose();
  bool EnabledMove();
  bool EnabledSize();

  void RestoreClick(TObject* Sender);
  void MoveClick(TObject* Sender);
  void SizeClick(TObject* Sender);
  void MinClick(TObject* Sender);
  void MaxClick(TObject* Sender);
  void CloseClick(TObject* Sender);
  void ExtClick(TObject* Sender);
  void SkinSelect(TObject* Sender);

  TMenuItem* SubMenu = nullptr;
  TMenuItem* ItemMove = nullptr;
  TMenuItem* ItemSize = nullptr;
  TMenuItem* ItemClose = nullptr;
  TMenuItem* ItemRestore = nullptr;
  TMenuItem* ItemMinimize = nullptr;
  TMenuItem* ItemMaximize = nullptr;
  int ExtItemsCount = 0;
  TsSkinProvider* FOwner;
  TCustomForm* FForm;
};

// The extended-border window of a form: a layered window that shows the
// whole painted image, shadow included, around the form, sits right behind
// it, follows its moves and sizes, answers the mouse over the frame for it
// (forwarding presses to the form) and lets clicks through over the clear
// shadow. The form's own window is cut to its client part meanwhile.
class TacBorderForm : public TPersistent {
 public:
  explicit TacBorderForm(TObject* AOwner);
  ~TacBorderForm() override;
  // Makes the layered window (nothing during a show animation).
  void CreateNewForm();
  // Frees the layered window (the object stays).
  void FreeForm();
  void KillAnimations();
  // Where the owner window lies inside the layered window.
  int OffsetX();
  int OffsetY();
  // The window the border belongs to (0 when the owner has none).
  HWND OwnerHandle() const;
  TRect ShadowSize() const;
  int CaptionHeight(bool CheckSkin = true);
  int MenuHeight();
  TRect IconRect();
  void SetHotHT(int i, bool Repaint = true);
  void PaintAll();
  // Top of the work area of the monitor that holds the layered window.
  int MinTopCoord();
  // A new region of the layered window (0: none); the caller owns it.
  HRGN MakeRgn(int NewWidth = 0, int NewHeight = 0);
  unsigned FormState() const;
  // Rebuilds the window region when a mouse test asked for it.
  void UpdateRgn();
  // Places, sizes and (with Redraw) repaints the layered window at Blend.
  void UpdateExBordersPos(bool Redraw = true, uint8_t Blend = 255);
  // The layered window's procedure.
  void BorderProc(TMessage& Message);
  // The frame's hit code at the screen point of Message (-1: none).
  int Ex_WMNCHitTest(TMessage& Message);
  bool Ex_WMSetCursor(TMessage& Message);
  // The mouse is over the transparent shadow and must reach the window below.
  bool MouseAboveTheShadow(TMessage& Message);
  // The number of the title element under P (layered-window coordinates), 0 none.
  int TitleElementAt(const TPoint& P);
  // The window the layered window goes right below (HWND_TOP, HWND_TOPMOST or the owner).
  HWND GetTopWnd();

  TPoint LastTopLeft;
  TPoint LastMousePos{-9999, -9999};
  bool LeftPressed = false, MainRgnReady = false, acInMouseMsg = false, MovRgnChanged = false, MaxMoving = false;
  TObject* FOwner;
  TsSkinProvider* sp = nullptr;
  bool ExBorderShowing = false, ResetRgn = false;
  TacGlowForm* AForm = nullptr;  // owned
  TWndMethod OldBorderProc;
  TBitmap* ShadowTemplate = nullptr;
  HWND ParentHandle = nullptr;
  TsCommonData* SkinData = nullptr;
};

// The short-lived window that shows the painted frame over the form while
// the system would paint its own caption or menu bar.
class TacCaptForm : public TacGlowForm {
 public:
  explicit TacCaptForm(TComponent* AOwner) : TacGlowForm(AOwner) { TransparentMouse = false; }
  TsSkinProvider* SP = nullptr;

 protected:
  void WndProc(TMessage& Message) override;
};

// ---- The provider ----

enum TsGripMode { gmNone, gmRightBottom };
enum TsResizeMode { rmStandard, rmBorder };

using TacAfterAnimation = std::function<void(TacAnimEvent AnimType)>;
using TacNCHitTest = std::function<void(TMessage& Msg)>;

struct TMenuItemData {
  TMenuItem* Item = nullptr;
  TRect R;
};

struct TacLabelColor {
  TColor Color = 0;
  TControl* Control = nullptr;
  bool ParentFont = false;
};

// FormState bits.
enum : unsigned {
  FS_SIZING = 0x1,            // the border window is resized with the form
  FS_BLENDMOVING = 0x80,      // dragged with blend-on-moving
  FS_ANIMMINIMIZING = 0x100,  // minimise animation
  FS_ANIMCLOSING = 0x200,     // hide snapshot taken or shown
  FS_ANIMRESTORING = 0x400,   // restore animation
  FS_THUMBDRAWING = 0x800,    // taskbar pictures being made
  FS_CHANGING = 0x1000,       // the manager changes the skin under a cover (with 0x10000)
  FS_ANIMSHOWING = 0x2000,    // show animation around the show call
  FS_FULLHEIGHT = 0x4000,     // stretched to the work-area height
  FS_FULLWIDTH = 0x8000,      // stretched to the work-area width
  FS_SKINCHANGING = 0x10000,
  FS_SCROLLSINIT = 0x20000,   // the scroll-bar handler is being attached
  FS_SLAVE = 0x40000,         // a glued form moved by its master
  FS_MAXIMIZING = 0x80000,
  FS_DISABLED = 0x100000,     // disabled look shown
  FS_ACTIVATED = 0x200000,    // first activation handled
  FS_RESTORINGFROMTB = 0x400000
};

class TsSkinProvider : public TComponent, public TacAnimatedForm, public TacAdapterHost {
 public:
  // A provider on a form (any other owner: a warning, and it stays unattached).
  explicit TsSkinProvider(TComponent* AOwner);
  // A provider made at run time for a form the window hook found: it
  // prepares itself at the first frame paint, hit test or showing.
  TsSkinProvider(TComponent* AOwner, bool InitRT);
  ~TsSkinProvider() override;
  void Loaded();
  virtual int TitleButtonsTop();

  // ---- Published properties ----
  bool AllowAnimation = true;
  bool AllowBlendOnMoving = true;
  bool AllowSkin3rdParty() const override { return FAllowSkin3rdParty; }
  void SetAllowSkin3rdParty(bool Value) { FAllowSkin3rdParty = Value; }
  bool DrawClientArea = true;
  bool MakeSkinMenu = false;
  bool ScreenSnap = false;
  bool DisabledBlured = false;
  bool AllowExtBorders() const { return FAllowExtBorders; }
  void SetAllowExtBorders(bool Value) { SetBoolean(0, Value); }
  bool DrawNonClientArea() const { return FDrawNonClientArea; }
  void SetDrawNonClientArea(bool Value) { SetBoolean(1, Value); }
  bool ShowAppIcon() const { return FShowAppIcon; }
  void SetShowAppIcon(bool Value) { SetBoolean(2, Value); }
  bool UseGlobalColor() const { return FUseGlobalColor; }
  void SetUseGlobalColor(bool Value) { SetBoolean(3, Value); }
  const String& TitleSkin() const { return FTitleSkin; }
  void SetTitleSkin(const String& Value) { SetSkinString(0, Value); }
  const String& MenuLineSkin() const { return FMenuLineSkin; }
  void SetMenuLineSkin(const String& Value) { SetSkinString(1, Value); }
  TacAddedTitle* AddedTitle() const { return FAddedTitle.get(); }
  TAlignment CaptionAlignment() const { return FCaptionAlignment; }
  void SetCaptionAlignment(TAlignment Value);
  uint8_t DisabledBlendValue() const { return FDisabledBlendValue; }
  void SetDisabledBlendValue(uint8_t Value);
  TColor DisabledBlendColor() const { return FDisabledBlendColor; }
  void SetDisabledBlendColor(TColor Value);
  TacFormHeader* FormHeader() const { return FFormHeader.get(); }
  TStringList* GluedForms() const { return FGluedForms.get(); }
  void SetGluedForms(const TStrings& Value);
  TsScrollWndData* SkinData() const { return FCommonData.get(); }
  TsGripMode GripMode = gmNone;
  TsResizeMode ResizeMode() const { return FResizeMode; }
  void SetResizeMode(TsResizeMode) { FResizeMode = rmStandard; }  // sizing is always the system's
  int SnapBuffer = 10;
  TacSysSubMenu* SysSubMenu() const { return FSysSubMenu.get(); }
  TsTitleBar* TitleBar() const { return FTitleBar; }
  void SetTitleBar(TsTitleBar* Value);
  TsTitleButtons* TitleButtons() const { return FTitleButtons.get(); }
  void SetTitleButtons(TsTitleButtons* Value);
  TsTitleIcon* TitleIcon() const { return FTitleIcon.get(); }
  TsThirdPartyList* ThirdParty() const { return FThirdParty.get(); }
  TacAfterAnimation OnAfterAnimation;
  TacNCHitTest OnExtHitTest;
  TAddItemEvent OnSkinItem;
  TAddItemExEvent OnSkinItemEx;

  // ---- Public properties ----
  const TRect& IconRect() const { return FIconRect; }
  unsigned FormState() const { return FFormState; }
  // Setting or clearing a minimise or restore bit holds the form's alignment meanwhile.
  void SetFormState(unsigned Value);

  // ---- Life cycle and window procedure ----
  void PrepareForm();
  // Takes the manager's (new) skin: the record's and the title's sections, the
  // system menu, the window style and the title buttons. Also while the
  // manager broadcasts a skin change (its skin reads inactive meanwhile).
  void ResolveSkin();
  void LoadInit();
  // MDI: the MDI form's client window (no MDI in the platform yet: nothing happens).
  void HookMDI(bool Active = true);
  void KillAnimations();
  void NewWndProc(TMessage& Message);
  // Runs a message (Result 0) through NewWndProc and answers its Result.
  LRESULT ProcessMessage(UINT Msg, WPARAM WParam = 0, LPARAM LParam = 0);
  bool MenuPresent();
  int LinesCount();

  // ---- Frame metrics ----
  int BorderWidth(bool CheckSkin = true);
  int BorderHeight(bool CheckSkin = true);
  int CaptionHeight(bool CheckSkin = true);
  int CaptionWidth();
  int HeaderHeight();
  int MenuHeight();
  int OffsetX();
  int OffsetY();
  TRect ShadowSize();
  int ExTitleHeight(bool Max);
  int ExtraTitleHeight(bool Max);
  bool IconVisible();
  int TitleIconWidth();
  int TitleIconHeight();
  int TitleBtnWidth(const TsCaptionButton& Button);
  int TitleBtnHeight();
  int SysButtonsCount();
  int ButtonsWidth();
  int UserButtonWidth(TsTitleButton* Btn);
  void InitButtons();
  // Lays out the title icon, the title buttons and the title bar.
  void CalcItems();
  bool GripVisible();
  TPoint GripPos(int MaskIndex);
  bool UseExtBorders();
  void WMGetMinMaxInfo(TMessage& Message);
  // Height of the painted image (Part of the image layout, with CaptionWidth its width).
  int ImageHeight();

  // ---- Frame painting ----
  // Paints the whole frame into the cached image; false when the parent's
  // background was not ready (the form is marked updating).
  bool PaintAll() override;
  TColor FormColor();
  void PaintTitleIcon();
  void PaintTitleBackground(int W);
  void PaintCaptionText(int W);
  // Title buttons: painted into the image, repainted alone on screen.
  void PaintTitleButtons(int W);
  void PaintTitleButton(TsCaptionButton& Button, bool Enabled);
  void RepaintButton(int HitCode);
  void SaveButtonsBackground(int W, bool Full);
  void RestoreButtonsBackground(int W);
  // Hit code of the screen point of a hit-test message (no extended borders).
  int HitTest(TMessage& Message);
  int TitleElementAt(const TPoint& P);
  void ShowButtonHint(TsTitleButton* Btn);
  void HideButtonHint(TsTitleButton* Btn);
  // The hot title element (hit code; -1 forces a change).
  void SetHotHT(int i, bool Repaint = true);
  // The pressed title element: state 2 until the button goes up.
  void SetPressedHT(int HT);
  // The skinned system menu with its top-left at the screen point.
  void DropSysMenu(int X, int Y);
  // The frame origin on screen, and a screen point in frame coordinates.
  void FormOrigin(TPoint& P);
  void ScreenToFrame(int X, int Y, TPoint& P);

  // ---- Menu line ----
  void PrepareMenuLine();
  bool UpdateMenu();
  void InitMenuItems(bool A);
  void RepaintMenu();
  void UpdateTitleBar();
  // Draws a title-bar item at R of Bmp (the painted image or the item's own picture).
  void DrawTitleItem(TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp);

  // ---- Regions ----
  void UpdateRgnRects();
  // A new region of the frame at (X, Y) without the transparent corner pieces; the caller owns it.
  HRGN MakeRgn(int X = 0, int Y = 0);
  void UpdateRgn(bool Repaint = true, bool SetOnly = false);

  // ---- Frame output ----
  void PaintNonClient(HDC DC);
  void WMNCPaint();
  void WMPaint(TMessage& Message);
  void PaintClientBackground(HDC DC);
  void PaintClient(HDC DC, const TRect& R, bool Children);
  void PaintGripToDC(HDC DC);
  void UpdateNonClient();

  // ---- Glued forms and screen snapping ----
  // Records the forms of GluedForms whose outline touches this form's (before a move).
  void CollectGluedForms();
  // Places this form's recorded slaves after it moved (FromBorderWindow: from
  // the extended-border window's own move, its origin then counts).
  void MoveGluedForms(bool FromBorderWindow);
  // Adjusts a new window position of the moving form so that its outline
  // lands on the work area's and other skinned forms' edges within SnapBuffer.
  void SnapPosition(int& X, int& Y);
  // R widened to the visible outline (Direction +1) or back (-1) by what the
  // extended-border window adds; unchanged without one.
  TRect OutlineRect(TRect R, int Direction);

  // ---- Extended borders and caption cover ----
  void UpdateExBorders(bool Allow);
  // The extended-border shadow around the painted image of W x H.
  void PaintExBorderShadow(int W, int H);
  void ShowCaptionCover();
  void HideCaptionCover();

  // ---- Services ----
  void InitLabel(TControl* Control, bool Skinned) override;
  void ReadThirdLists();
  void WriteThirdLists();
  void InitScrolls();
  void UpdateSysMenuStyle(bool Skinning);
  void StartMoveWithBlend();

  // ---- Skin commands and the skin-editor link ----
  // Each answers true when it handled the command (Message.Result set).
  bool EarlySkinCommand(TMessage& Message);
  bool UnskinnedSkinCommand(TMessage& Message);
  void SkinCommand(TMessage& Message);
  void WMSkinEditor(TMessage& Message);
  void WMCopyData(TMessage& Message);
  // The skin of the provider's own manager is removed: the adapter, the
  // scroll-bar handler and the labels' colours go, the form is plain again.
  void SkinRemoved(TMessage& Message);
  // The answer to a child's background request.
  void BackgroundInfo(TacBackgroundInfo& Info);
  // Control-list changes, child-window creation and custom-draw notices: the adapter skins new controls.
  void ChildControlMessage(TMessage& Message);
  // Makes the adapter when missing (a skinned form at run time) and adapts every control.
  void AdaptAllControls();

  // ---- TacAdapterHost ----
  TForm* HostForm() const override { return dynamic_cast<TForm*>(Form); }
  const TAddItemEvent& SkinItemEvent() const override { return OnSkinItem; }
  const TAddItemExEvent& SkinItemExEvent() const override { return OnSkinItemEx; }
  // The form's own class-name lists when any is filled, else the manager's.
  const TacThirdLists* ThirdLists() const override;
  void AdaptChildForm(TForm* ChildForm, const String& Section) override;

  // ---- TacAnimatedForm ----
  TCustomForm* AnimForm() override { return Form; }
  TsCommonData* AnimSkinData() override { return FCommonData.get(); }
  std::vector<TRect> FrameCorners() override { return Rects; }
  unsigned AnimFormState() override { return FFormState; }
  bool AnimDrawsNonClient() override { return FDrawNonClientArea; }
  void AfterAnimation(TacAnimEvent AnimType) override {
    if (OnAfterAnimation) OnAfterAnimation(AnimType);
  }

  // ---- Fields ----
  int CurrentHT = 0;
  int UserBtnIndex = -1;
  bool ControlsChanged = false;
  bool FirstInitialized = false;
  TRect FIconRect;
  TRect FHintRect;
  std::unique_ptr<TTimer> FHintTimer;

  bool DoReinit = false;
  bool RgnChanged = true;
  bool FSysExHeight = false;
  bool ClearButtons = false;
  bool OwnThirdLists = false;
  bool FMenuOwnerDraw = false;
  bool MenusInitialized = false;
  int LockCount = 0;
  int FLinesCount = -1;
  int FHeaderIndex = -1;
  int FHeaderHeight = 0;
  int FTitleSkinIndex = -1;
  int FCaptionSkinIndex = -1;
  TRect NormalBounds;
  TRect LastClientRect;
  std::unique_ptr<TBitmap> FGlow1, FGlow2;
  std::unique_ptr<TBitmap> TempBmp;
  std::unique_ptr<TBitmap> CoverBmp;
  std::unique_ptr<TBitmap> MenuLineBmp;
  TsCaptionButton MDIMin, MDIMax, ButtonMin, ButtonMax, ButtonHelp, ButtonClose, MDIClose;
  std::vector<TRect> Rects;
  TMenuItemData HotItem;
  TacGlowForm* LayerForm = nullptr;
  TacGlowForm* CoverForm = nullptr;
  TacThreadedTimer* FormTimer = nullptr;
  std::vector<TacLabelColor> SavedLabelColors;

  bool RTInit = false;
  bool RTEmpty = false;
  bool InAero = false;
  bool InMenu = false;
  bool biClicked = false;
  bool fAnimating = false;
  bool BigButtons = false;
  bool FormActive = true;
  bool MenuChanged = true;
  bool RgnChanging = false;
  bool RightPressed = false;
  bool SkipAnimation = false;
  // FInAnimation lives in TacAnimatedForm.

  TCustomForm* Form = nullptr;
  TacCaptForm* CaptForm = nullptr;  // owned while shown
  TacThirdLists FThirdLists;  // one class-name list per handler kind
  int VCenter = 0;
  TObject* MDIForm = nullptr;
  TacScrollWnd* ListSW = nullptr;  // owned; freed by FreeListSW
  TWndMethod OldWndProc;
  std::unique_ptr<TacCtrlAdapter> Adapter;
  TShowAction ShowAction = saIgnore;
  TsSystemMenu* SystemMenu = nullptr;  // owned (a component of the provider)
  TacBorderForm* BorderForm = nullptr;  // owned; extended borders are not built yet

  // The record's skin, and the skin manager it belongs to (nullptr for records of no manager).
  const TacSkinRecords* Skin() const { return FCommonData ? FCommonData->SkinManager() : nullptr; }
  TsSkinManager* Manager() const override { return SkinManagerOf(Skin()); }
  // The skin is loaded and active.
  bool SkinActive() const;
  // The form or the provider is gone or going.
  bool FormDestroying() const;
  bool BGChanged() const { return FCommonData && FCommonData->BGChanged; }
  void SetBGChanged(bool Value) {
    if (FCommonData) FCommonData->BGChanged = Value;
  }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void Construct(TComponent* AOwner);
  void AfterConstruction();
  void SetBoolean(int Index, bool Value);
  void SetSkinString(int Index, const String& Value);
  // Steps of the window procedure.
  void UnskinnedMessage(TMessage& Message);
  void SkinnedMessage(TMessage& Message);
  void CallOld(TMessage& Message) {
    if (OldWndProc) OldWndProc(Message);
  }
  // Runs the previous procedure with the window's redraw off, so that the
  // layer paints none of its plain frame, then repaints the skinned frame
  // (with Client, the whole window).
  void CallOldWithoutFrame(TMessage& Message, bool Client);
  // Mouse on the frame (sSkinProviderInput.cpp).
  void WMNCHitTest(TMessage& Message);
  void WMNCMouseMove(TMessage& Message);
  void WMMouseMove(TMessage& Message);
  void WMMouseLeave(TMessage& Message);
  void CMMouseEnter(TMessage& Message);
  void WMSetCursor(TMessage& Message);
  void WMNCLButtonDown(TMessage& Message);
  void WMNCLButtonUp(TMessage& Message);
  void WMNCLButtonDblClk(TMessage& Message);
  void WMNCRButtonDown(TMessage& Message);
  void WMNCRButtonUp(TMessage& Message);
  // A code of -1 (from the border window) resolved by the border window's hit test.
  int ResolveHitCode(int Code, LPARAM ScreenPos);
  // The element pressed while biClicked: its action runs only on a release over it.
  int FPressedHT = 0;
  void WMNCActivate(TMessage& Message);
  void WMSetText(TMessage& Message);
  void WMSize(TMessage& Message);
  void WMSetRedraw(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);
  bool CheckRTInit();

  bool FAllowSkin3rdParty = true;
  bool FAllowExtBorders = true;
  bool FDrawNonClientArea = true;
  bool FShowAppIcon = true;
  bool FUseGlobalColor = true;
  bool FReplacedWndProc = false;
  String FTitleSkin, FMenuLineSkin;
  std::unique_ptr<TsTitleIcon> FTitleIcon;
  std::unique_ptr<TStringList> FGluedForms;
  TsResizeMode FResizeMode = rmStandard;
  std::unique_ptr<TacAddedTitle> FAddedTitle;
  std::unique_ptr<TacSysSubMenu> FSysSubMenu;
  std::unique_ptr<TsTitleButtons> FTitleButtons;
  TAlignment FCaptionAlignment = taLeftJustify;
  std::unique_ptr<TacFormHeader> FFormHeader;
  std::unique_ptr<TsThirdPartyList> FThirdParty;
  uint8_t FDisabledBlendValue = 255;
  TColor FDisabledBlendColor = 0;
  TsTitleBar* FTitleBar = nullptr;
  std::unique_ptr<TsScrollWndData> FCommonData;
  unsigned FFormState = 0;
};

// ---- Frame measures (also used by the dialog handlers) ----

int SysBorderWidth(HWND Handle, TacBorderForm* bf, bool CheckSkin = true);
int SysBorderWidthNoEx(HWND Handle, TacBorderForm* bf, bool CheckSkin = true);
int SysCaptionHeight(TCustomForm* Form);
int SkinExTitleHeight(TacBorderForm* bf);
int SkinExBorderWidth(TacBorderForm* bf);
int DiffTitle(TacBorderForm* bf);
int DiffBorder(TacBorderForm* bf);
bool IsSizeable(HWND Handle);
bool HaveBorder(TsSkinProvider* sp);
bool FormHasMenuLine(TsSkinProvider* sp);
bool MDIChildMaximizedWithMenu(TsSkinProvider* sp);
int WndWidth(HWND Handle);
int WndHeight(HWND Handle);
int WndClientWidth(HWND Handle);
int WndClientHeight(HWND Handle);
int IconSizeFor(int Height);
bool IsSingleImageMask(int MaskIndex, const TacSkinRecords* Skin);
// Drops the cached caption heights (after a settings change).
void ResetCaptionHeights();
// The form's BorderWidth property (the framework has none here: 0).
inline int FormBorderWidth(TCustomForm*) { return 0; }

// ---- Seams filled by the units that own the objects ----
void FreeListSW(TsSkinProvider* sp);

// ---- Unit globals ----
inline TsSkinProvider* MDISkinProvider = nullptr;
inline TsSkinProvider* ChildProvider = nullptr;
inline bool MDICreating = false;
inline TForm* MDIIconsForm = nullptr;
inline bool PreviewRequested = false;
// The program's command-line parameters (the first is the program), set at start.
inline std::vector<String> ProgramParams;
inline HWND PreviewFormHandle = nullptr;

void LinkToSkinEditor(HWND Handle);
// A form whose position another form's moves carry along.
struct TacFormsCouple {
  TForm* Slave = nullptr;
  TForm* Master = nullptr;
  TPoint Pos;
};
inline std::vector<TacFormsCouple> FormsCouples;
// A - B when A lies within Range of B (inclusive), else 0.
int SnapDelta(int A, int B, int Range);
// The first windowed control owned (at any depth) by Component whose window has the identifier Id.
TComponent* FindControlById(int Id, TComponent* Component);
// The answer of composition calls that find no composition.
inline constexpr int32_t kDwmNotImplemented = int32_t(0x80004001u);
int32_t SetDwmAttribute(HWND Wnd, DWORD Attr, const void* Value, DWORD Size);
// The provider of the form that owns Component (through skin command 4), or nullptr.
TsSkinProvider* ProviderOfComponent(TComponent* Component);
// Removes every couple in which Form is the slave.
void RemoveGluedSlave(TForm* Form);
// Removes every couple of Form, as slave or as master (the form goes away;
// compared by address, so it also serves while the form is being destroyed).
void ForgetGluedForm(const TCustomForm* Form);
bool AeroIsEnabled();
void SetTransitionsDisabled(HWND Wnd, bool Disable);

// ---- Minimise, restore and move animations ----

// Flies a picture of the form to its target (shrinking and fading) when it is
// minimised, and back (growing) when it is restored; one step per 12 ms tick.
// There is no taskbar to fly to here: the target is the empty rectangle at
// the screen's top-left corner.
class TacMinTimer : public TacThreadedTimer {
 public:
  explicit TacMinTimer(TsSkinProvider* AOwner);
  ~TacMinTimer() override;
  // The picture's starting opacity: 255 (forms have no alpha-blend value here).
  uint8_t AlphaFrom() const { return 255; }
  TRect GetRectTo();
  void UpdateDstRect();
  void InitData();
  void TimeHandler() override;

  double CurrentAlpha = 0, BlendStep = 0;
  double CurRight = 0, CurLeft = 0, CurTop = 0, CurBottom = 0;
  int StepCount = 1;
  int XFrom = 0, YFrom = 0, XTo = 0, YTo = 0;
  double DeltaX = 0, DeltaY = 0, DeltaW = 0, DeltaH = 0;
  uint8_t AlphaOrigin = 255, AlphaTo = 0;
  TRect RectFrom, RectTo;
  TacGlowForm* AnimForm = nullptr;
  TsSkinProvider* sp = nullptr;
  HWND FormHandle = nullptr;
  TacBorderForm* BorderForm = nullptr;
  std::unique_ptr<TBitmap> SavedImage;
  std::unique_ptr<TBitmap> AlphaBmp;
  // False while minimising; true once minimised and while restoring.
  bool Minimized = false;
  bool AlphaFormWasCreated = false;

 private:
  void EndMinimizing();
  void EndRestoring();
  void ShowFrame();
};

// Keeps the form translucent while it is dragged: its opacity falls from 255
// to BlendValue by BlendStep a tick.
class TacMoveTimer : public TacThreadedTimer {
 public:
  explicit TacMoveTimer(TComponent* AOwner) : TacThreadedTimer(AOwner, true) {}
  void TimeHandler() override;

  uint8_t BlendValue = 255;
  HWND FormHandle = nullptr;
  TacBorderForm* BorderForm = nullptr;
  double BlendStep = 0;
  double CurrentBlendValue = 255;
};

// Starts the minimise animation: true when it runs (or already ran); the
// caller then minimises the window. False when the manager's minimise
// animation is off.
bool StartMinimizing(TsSkinProvider* Provider);
// Starts flying the picture of a form minimised by the animation back; the
// caller then restores the window, which stays invisible until the picture
// has arrived. Always true.
bool StartRestoring(TsSkinProvider* Provider);
// Starts the animation a system command plays (minimising a form other than
// the main form, restoring a minimised one) before the command runs.
void StartSysCommandAnimation(TsSkinProvider* Provider, WPARAM Command);
// Makes the form translucent for a drag; with DoMove also runs the layer's
// move loop and ends the blend when the button goes up.
void StartFormBlendOnMoving(TsSkinProvider* Provider, bool DoMove);
// Gives the dragged form its opacity back (Cover: the snapshot shown over the switch, taken; may be nullptr).
void EndBlendOnMoving(TsSkinProvider* Provider, TacGlowForm* Cover);
// A shown top-most layered snapshot of Wnd (its transparent frame corners
// cleared); the caller owns it.
TacGlowForm* MakeCoverForm(HWND Wnd);
// A picture of the whole form with its controls, or nullptr without a
// painted image; with FreeCache the painted image is freed afterwards.
std::unique_ptr<TBitmap> MakeFormImage(TsSkinProvider* Provider, bool FreeCache);

// ---- Title-button fades ----

// The hot or pressed look of one title button fading in over the frame in a
// small layered window of its own, and out again, one step per 12 ms tick.
// The button's cpTimer points at it; its provider owns it.
class TacSBAnimation : public TacThreadedTimer {
 public:
  explicit TacSBAnimation(TsSkinProvider* AOwner);
  ~TacSBAnimation() override;
  void ChangeState(int NewState, bool ToUp);
  void StartAnimation(int NewState, bool ToUp);
  // The opacity a step adds or takes: 255 div MaxIterations, 0 once shown in full.
  int Step() const { return MaxIterations > 0 ? 255 / MaxIterations : 0; }
  // How far a hot system button's glow picture reaches beyond the button (0 without one).
  int Offset() const;
  // The picture's screen rectangle.
  TRect GetFormBounds() const;
  void MakeForm();
  void MakeImg();
  void UpdateForm(uint8_t Blend);
  void CheckMouseLeave();
  void OnAnimTimer(TObject* Sender);

  int CurrentLevel = 0;
  int CurrentState = 0;   // 0 normal, 1 hot, 2 pressed, -1 after a finished fade-out
  int MaxIterations = 0;  // -1 once the fade-in reached full opacity
  TacBorderForm* BorderForm = nullptr;
  TsCommonData* SkinData = nullptr;
  HWND FormHandle = nullptr;
  TsCaptionButton* PBtnData = nullptr;
  bool Up = false;  // fading in
  TacGlowForm* AForm = nullptr;  // owned
  std::unique_ptr<TBitmap> ABmp;
  TsSkinProvider* Provider = nullptr;

 private:
  bool Glowing() const;
  int GlowMask() const;
};

// Starts the fade of Btn towards its cpState (fading in with Up) in
// Iterations steps, or retargets the running one. Nothing while the
// application is terminating.
void AnimateCaptionButton(TsCaptionButton* Btn, int State, int Iterations, bool Up, TsSkinProvider* Provider);
// A user button's glyph centred in R's W x H (one pixel right and down while
// pressed): with its alpha when 32-bit, else keyed by its bottom-left pixel.
void DrawTitleGlyph(TBitmap* Image, TBitmap* Glyph, const TRect& R, int W, int H, bool Pressed);
