#pragma once
// The title-bar component: extra items (buttons, drop-down menu buttons, tabs,
// spacers and information fields) that a skinned form shows in its title. The
// component holds, measures and lays out the items inside the bar rectangle
// its form's provider gives it, keeps their states and runs their click,
// drop-down and tab-group logic; the provider paints them (sTitleBarPaint.cpp)
// and routes the mouse to them through the hit codes HTTITLEITEM + index.
//
// The provider reaches an item through three entry points: ItemAt (the hit
// test inside the bar), DoMouseDown and DoMouseUp of the item.

#include <array>
#include <functional>
#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"
#include "skin/core/acntTypes.h"

class TsTitleBar;
class TacTitleBarItem;
class TacItemAnimation;
class TsSkinProvider;

enum TacItemAlign { tbaLeft, tbaRight, tbaCenter, tbaCenterInSpace };
enum TacBtnStyle { bsButton, bsMenu, bsTab, bsSpacing, bsInfo };

struct TacTitleItemDrawData {
  TRect ARect;
  TBitmap* Bmp = nullptr;
};
using TacDrawItemEvent = std::function<void(TacTitleBarItem* Item, TacTitleItemDrawData& ADrawData)>;
using TacInternalDrawEvent = std::function<void(TacTitleBarItem* Item, const TRect& R, TBitmap* Bmp)>;

// The caption font of an item: each UseSys flag takes that value from the
// skin or the system instead of from Font.
class TacFontData : public TPersistent {
 public:
  enum : int { fdColor = 0, fdFontName = 1, fdGlowing = 2, fdSize = 3, fdStyle = 4 };
  TacFontData();
  ~TacFontData() override;

  bool UseSys(int Index) const { return FUseSys[size_t(Index)]; }
  void SetUseSys(int Index, bool Value);
  bool UseSysColor() const { return UseSys(fdColor); }
  bool UseSysFontName() const { return UseSys(fdFontName); }
  bool UseSysGlowing() const { return UseSys(fdGlowing); }
  bool UseSysSize() const { return UseSys(fdSize); }
  bool UseSysStyle() const { return UseSys(fdStyle); }
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  int GlowSize() const { return FGlowSize; }
  void SetGlowSize(int Value);
  TColor GlowColor() const { return FGlowColor; }
  void SetGlowColor(TColor Value);
  // Asks the window (when set) to rebuild its title.
  void Invalidate();

  HWND WndHandle = nullptr;
  std::unique_ptr<TFont> UsedFont;
  std::unique_ptr<TBitmap> GlowMask;  // cached halo of the caption

 private:
  std::array<bool, 5> FUseSys{{true, true, true, true, true}};
  std::unique_ptr<TFont> FFont;
  int FGlowSize = 0;
  TColor FGlowColor = 0x808080;
};

// What the provider attaches to an item: the item's skin section.
struct TacItemData {
  int SkinIndex = -1;
};

class TacTitleBarItem : public TCollectionItem {
 public:
  explicit TacTitleBarItem(TCollection* ACollection);
  ~TacTitleBarItem() override;
  void AssignTo(TPersistent* Dest) override;
  String GetDisplayName() override { return FName; }

  TsTitleBar* Bar() const;
  TCustomForm* OwnerForm() const;

  // ---- Published properties ----
  TacItemAlign Align() const { return FAlign; }
  void SetAlign(TacItemAlign Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  const String& Caption() const { return FCaption; }
  void SetCaption(const String& Value);
  bool Down() const { return FDown; }
  void SetDown(bool Value);
  TPopupMenu* DropdownMenu() const { return FDropdownMenu; }
  void SetDropdownMenu(TPopupMenu* Value) { FDropdownMenu = Value; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  TacFontData* FontData() const { return FFontData.get(); }
  TBitmap* Glyph() const { return FGlyph.get(); }
  void SetGlyph(TBitmap* Value);
  const String& Name() const { return FName; }
  void SetName(const String& Value) { FName = Value; }
  const String& SkinSection() const { return FSkinSection; }
  void SetSkinSection(const String& Value);
  TacBtnStyle Style() const { return FStyle; }
  void SetStyle(TacBtnStyle Value);
  // The integer properties, by index: 0 DisabledImageIndex, 1 ImageIndex,
  // 2 HotImageIndex, 3 PressedImageIndex, 4 NumGlyphs, 5 Spacing, 6 Height,
  // 7 Width, 8 GroupIndex.
  void SetInteger(int Index, int Value);
  int DisabledImageIndex() const { return FDisabledImageIndex; }
  void SetDisabledImageIndex(int V) { SetInteger(0, V); }
  int ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int V) { SetInteger(1, V); }
  int HotImageIndex() const { return FHotImageIndex; }
  void SetHotImageIndex(int V) { SetInteger(2, V); }
  int PressedImageIndex() const { return FPressedImageIndex; }
  void SetPressedImageIndex(int V) { SetInteger(3, V); }
  int NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int V) { SetInteger(4, V); }
  int Spacing() const { return FSpacing; }
  void SetSpacing(int V) { SetInteger(5, V); }
  int Height() const { return FHeight; }
  void SetHeight(int V) { SetInteger(6, V); }
  int Width() const { return FWidth; }
  void SetWidth(int V) { SetInteger(7, V); }
  int GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int V) { SetInteger(8, V); }

  String Hint;
  bool ShowHint = false;
  TCursor Cursor = crDefault;
  int Tag = 0;
  TNotifyEvent OnClick;
  TacDrawItemEvent OnDrawItem;
  TMouseEvent OnMouseDown, OnMouseUp;
  TNotifyEvent OnMouseEnter, OnMouseLeave;

  // ---- Public properties ----
  // 2 while dropped down or down, else the stored state (0 normal, 1 hot, 2 pressed).
  int State() const { return FDroppedDown || FDown ? 2 : FState; }
  void SetState(int Value);
  bool DroppedDown() const { return FDroppedDown; }
  bool Pressed() const { return FPressed; }
  const TSize& ContentSize() const { return FContentSize; }
  TacInternalDrawEvent OnInternalDraw;
  TNotifyEvent OnChanged;

  // ---- Operations ----
  // Re-measures (RecalcSize, auto-sized items) and asks the form to rebuild its title.
  void Invalidate(bool RecalcSize);
  // Measures the content; unless ContentOnly also Width and Height.
  void UpdateSize(bool ContentOnly = false);
  void ScaleItem(int M, int D);
  int IntXMargin() const { return FStyle == bsMenu ? 4 : 0; }
  void InitFont();
  void DoMouseDown(TMouseButtonKind Button, TShiftState Shift, int X, int Y);
  void DoMouseUp(TMouseButtonKind Button, TShiftState Shift, int X, int Y);
  void DoClick();
  void Changed();
  // The item's rectangle on screen: Rect moved by the window it is painted on.
  TRect ScreenRect() const;

  // ---- Fields the provider and the animation use ----
  TRect Rect;                               // layout result, in the provider's painted image
  std::unique_ptr<TacItemData> Data;        // attached by the provider
  TacItemAnimation* Timer = nullptr;        // owned
  TacGlowForm* ExtForm = nullptr;           // the extended-border window the item lies on
  THintWindow* HintWnd = nullptr;           // owned while shown
  TBitmap* DefaultMenuBtn() const;

 private:
  // Other is held down exclusively with this item.
  bool SameGroup(const TacTitleBarItem* Other) const;
  TacItemAlign FAlign = tbaLeft;
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  String FCaption;
  bool FDown = false;
  TPopupMenu* FDropdownMenu = nullptr;
  bool FEnabled = true;
  bool FVisible = true;
  std::unique_ptr<TacFontData> FFontData;
  std::unique_ptr<TBitmap> FGlyph;
  String FName;
  String FSkinSection;
  TacBtnStyle FStyle = bsButton;
  int FDisabledImageIndex = -1, FImageIndex = -1, FHotImageIndex = -1, FPressedImageIndex = -1;
  int FNumGlyphs = 1, FSpacing = 4, FHeight = 18, FWidth = 22, FGroupIndex = 0;
  int FState = 0;
  bool FDroppedDown = false;
  bool FPressed = false;
  TSize FContentSize{0, 0};
};

class TacTitleItems : public TCollection {
 public:
  explicit TacTitleItems(TsTitleBar* AOwner);
  TacTitleBarItem* Items(int Index) const { return static_cast<TacTitleBarItem*>(TCollection::Items(Index)); }
  TacTitleBarItem* Add() { return static_cast<TacTitleBarItem*>(TCollection::Add()); }
  // Stops the provider's title animations first while one of its buttons is pressed.
  TacTitleBarItem* Insert(int Index);
  TsTitleBar* FOwner;

 protected:
  TPersistent* GetOwner() override;
};

class TsTitleBar : public TComponent {
 public:
  // Only on a form: anything else aborts silently.
  explicit TsTitleBar(TComponent* AOwner);
  ~TsTitleBar() override;
  void Loaded();

  TacTitleItems* Items() const { return FItems.get(); }
  TCustomImageList* Images() const { return FImages; }
  void SetImages(TCustomImageList* Value);
  bool ShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool Value);
  int ItemsMargin = 3;
  int ItemsSpacing = 0;
  int RightSpacing = 0;

  const TRect& BarRect() const { return FBarRect; }
  const TRect& CaptionRect() const { return FCaptionRect; }
  int LeftWidth() const { return FLeftWidth; }
  int RightWidth() const { return FRightWidth; }

  // Lays the visible items out inside FBarRect (set with FBarVCenter and FFullRight first).
  void CalcSizes();
  // Asks the form to rebuild and repaint its title.
  void Invalidate();
  void UpdateScale(int NewValue);
  // Index of the visible item whose Rect holds P (painted-image coordinates), or -1.
  int ItemAt(const TPoint& P) const;

  TCustomForm* Form = nullptr;
  TRect FBarRect;
  int FBarVCenter = 0;
  int FFullRight = 0;
  int OldScaleValue = 100;
  bool FUpdating = false;
  std::unique_ptr<TBitmap> FDefaultMenuBtn;  // three 17 x 20 pictures: normal, hot, pressed

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void UpdateAutoSized();
  int FLeftWidth = 0, FRightWidth = 0, FCenterWidth = 0, FCenterWidthS = 0;
  TRect FCaptionRect;
  std::unique_ptr<TacTitleItems> FItems;
  bool FShowCaption = false;
  TCustomImageList* FImages = nullptr;
  std::unique_ptr<TChangeLink> FImageChangeLink;
};

// The hot and pressed looks of an item, faded in and out by a layered window over it.
class TacItemAnimation : public TTimer {
 public:
  explicit TacItemAnimation(TComponent* AOwner);
  ~TacItemAnimation() override;
  void StartAnimation(int NewState, bool Show);
  void ChangeState(int NewState, bool Show);
  int Step() const { return std::max(255 / std::max(MaxIterations, 1), 0); }
  void UpdateForm(uint8_t Blend);
  void MakeImg();
  void MakeForm();
  TRect GetFormBounds();
  bool CheckMouseLeave();
  void OnAnimTimer(TObject* Sender);

  int CurrentLevel = 0;
  int CurrentState = 0;
  int MaxIterations = 0;
  TacGlowForm* AForm = nullptr;    // owned
  TacGlowForm* OldForm = nullptr;  // owned
  bool ToShow = false;
  std::unique_ptr<TBitmap> NewBmp;
  HWND FormHandle = nullptr;
  TacTitleBarItem* Item = nullptr;
  TacGlowForm* ExtForm = nullptr;
};

// ---- Routines the provider uses ----
void AnimateTitleItem(TacTitleBarItem* Item, int Iterations, bool Show, TacGlowForm* ExtForm);
void ShowTitleItemHint(TacTitleBarItem* Item);
void HideTitleItemHint(TacTitleBarItem* Item);
// One picture of the default menu picture stretched in nine parts into DstRect of Dst.
void PaintDefaultMenuButton(TBitmap* Dst, TBitmap* Src, const TRect& DstRect, const TRect& Margins,
                            const TRect& SrcRect);
// The title bar among the form's components (the last one), or nullptr.
TsTitleBar* FindTitleBar(TComponent* Form);

// ---- The provider's side of the bar (sTitleBarPaint.cpp) ----
// The bar's rectangle between the title icon and ButtonsLeft, then the items' layout.
void LayoutTitleBar(TsSkinProvider* sp, int FullRight, int ButtonsLeft);
// Every visible item into the painted image, last to first, pressed tabs on top.
void PaintTitleBarItems(TsSkinProvider* sp, int W);
// Counts the items into N while looking for the one at P: N when found, -1
// for a spacer or an information field there (not an element), else 0.
int TitleBarElementAt(TsSkinProvider* sp, const TPoint& P, int& N);
// HTTITLEITEM + Index for an enabled item that is not a pressed tab, else HTCLIENT.
int TitleBarHitCode(TsSkinProvider* sp, int Index);
// The item of a hit code, or nullptr.
TacTitleBarItem* TitleBarItemOf(TsSkinProvider* sp, int HitCode);
void KillTitleBarAnimations(TsSkinProvider* sp);

// ---- The frame's mouse over items, by hit code (sTitleBarInput.cpp) ----
// The item of HitCode becomes hot; false when HitCode is no item.
bool TitleItemEnter(TsSkinProvider* sp, int HitCode);
void TitleItemLeave(TsSkinProvider* sp, int HitCode);
// Left press and release at the screen point P; Clicked: the press was on this item.
void TitleItemPress(TsSkinProvider* sp, int HitCode, const TPoint& P);
void TitleItemRelease(TsSkinProvider* sp, int HitCode, const TPoint& P, bool Clicked);
void TitleItemRightPress(TsSkinProvider* sp, int HitCode, const TPoint& P);
void TitleItemRightRelease(TsSkinProvider* sp, int HitCode, const TPoint& P);
