#pragma once
// Owner-drawn menus of a skinned application. The skin manager owns one
// TsSkinableMenus: it makes every menu item of the application owner-drawn,
// measures the items, prepares one background picture per open popup menu
// (the "MAINMENU" section, the glyph column, the optional extra line down the
// left side, the border mask) and paints each item over its part of that
// picture. Top items of a main menu are measured and painted for the skinned
// menu line of their form's provider.
//
// The popup-menu window itself is taken over by a window handler of the
// control-skinning library, which paints the frame from the same background
// and clears the cache when a popup closes. Everything runs on the main thread.

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/sSkinRecords.h"

class TsSkinManager;

enum TsMenuItemType { smCaption, smDivider, smNormal, smTopLine };
using TsMenuManagerDrawItemEvent = std::function<void(TObject* Sender, TCanvas* ACanvas, TRect ARect,
                                                      TOwnerDrawState State, TsMenuItemType ItemType)>;

// What the application may change of an item before it is measured or drawn.
struct TacMenuItemData {
  TFont* Font = nullptr;
};
using TacGetPopupItemData = std::function<void(TMenuItem* Item, TOwnerDrawState State, TacMenuItemData& ItemData)>;
// The extra line of a popup menu: its section, its caption (drawn upwards) and
// a picture (the handler may hand one over); LineVisible false hides it.
using TacGetExtraLineData = std::function<void(TMenuItem* FirstItem, String& SkinSection, String& Caption,
                                               std::unique_ptr<TBitmap>& Glyph, bool& LineVisible)>;

// A message posted to the application window when an item was painted before
// its popup window was known: the window's border is drawn from there.
constexpr UINT WM_DRAWMENUBORDER = 0xBC4E + 101;  // CN_NOTIFY + 101
constexpr UINT WM_DRAWMENUBORDER2 = WM_DRAWMENUBORDER + 1;

// The user's menu options (the manager's MenuSupport).
class TacMenuSupport {
 public:
  TacMenuSupport();
  ~TacMenuSupport();
  TacMenuSupport(const TacMenuSupport&) = delete;
  TacMenuSupport& operator=(const TacMenuSupport&) = delete;

  // Opacity of popup-menu windows; 255: not layered.
  uint8_t AlphaBlend = 255;
  int ExtraLineWidth = 32;
  // The section of the glyph column; the manager sets "ICOLINE" when empty at load time.
  String IcoLineSkin;
  bool UseExtraLine = false;

  TFont* ExtraLineFont() { return &FExtraLineFont; }
  void SetExtraLineFont(TFont* Value) { FExtraLineFont.Assign(Value); }
  // The custom menu font, used for every item while CustomFont is on.
  TFont* Font() { return &FFont; }
  void SetFont(TFont* Value);
  bool CustomFont() const { return FCustomFont; }
  void SetCustomFont(bool Value);

 private:
  TFont FExtraLineFont;
  TFont FFont;
  bool FCustomFont = false;
};

// The prepared background of one open popup menu.
struct TacMenuInfo {
  TMenuItem* FirstItem = nullptr;  // the key: the first item of the menu
  std::unique_ptr<TBitmap> Bmp;    // window-sized
  HWND Wnd = nullptr;              // the popup window, when known
  bool HaveExtraLine = false;
  bool ItemsIterated = false;
};

// Where a menu-bar item lies in its form's skinned menu line. Filled in by
// the form skinning: false when the item's form has no provider or the
// provider has no menu-line image.
struct TacMenuLineInfo {
  TBitmap* Image = nullptr;  // the provider's menu-line image (parent of the items)
  TPoint Pos;                // the item's place in it
  bool AlphaText = false;    // the provider draws through an extended-border window
};
inline std::function<bool(TMenuItem* Item, TCanvas* ACanvas, const TRect& ARect, TacMenuLineInfo& Info)>
    MenuLineOfItem;

class TsSkinableMenus : public TPersistent {
 public:
  explicit TsSkinableMenus(TsSkinManager* AOwner);
  ~TsSkinableMenus() override;

  int Margin = 2;
  int Spacing = 8;
  int BevelWidth = 0;  // kept for the stored options, not painted
  int BorderWidth = 3;
  TAlignment Alignment = taLeftJustify;
  TsMenuManagerDrawItemEvent OnDrawItem;

  // Border width of the skin's popup mask; -1 computes it anew (after a skin change).
  int SkinBorderWidth();
  void SetSkinBorderWidth(int Value) { FSkinBorderWidth = Value; }
  // The font of caption items.
  TFont* CaptionFont();
  void SetCaptionFont(TFont* Value) { FCaptionFont.Assign(Value); }

  bool Active() const { return FActive; }
  void SetActive(bool Value);
  // Hooks the menus while the manager's skin is active, unhooks them otherwise.
  void UpdateMenus();
  void InitItems(bool A);
  void HookItem(TMenuItem* MenuItem, bool AActive);
  void HookPopupMenu(TPopupMenu* Menu, bool Active);
  void InitItem(TMenuItem* Item, bool A);
  void InitMenuLine(TMainMenu* Menu, bool A);
  static bool IsTopLine(TMenuItem* Item);
  static bool IsPopupItem(TMenuItem* Item);

  bool NoBorder() const;
  int RealBorderWidth() const { return NoBorder() ? 0 : BorderWidth; }
  int ExtraWidth(const TacMenuInfo& mi) const;

  // The cached background of the item's menu (by the window without an
  // item); built when missing and a canvas is given. nullptr when none.
  TacMenuInfo* GetMenuInfo(TMenuItem* Item, TCanvas* aCanvas, HWND aWnd);
  void PrepareMenuBG(TMenuItem* Item, int Width, int Height, HWND Wnd);
  // The popup window's region and border strips from its background.
  void DrawWndBorder(HWND Wnd, TBitmap* MenuBmp);

  void sMeasureItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);
  void sAdvancedDrawItem(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State);
  void sMeasureLineItem(TObject* Sender, TCanvas* ACanvas, int& Width, int& Height);
  void sAdvancedDrawLineItem(TObject* Sender, TCanvas* ACanvas, TRect ARect, TOwnerDrawState State);

  // ---- Measures the painting shares ----
  static TSize ItemGlyphSize(TMenuItem* Item);
  static bool IsCaptionItem(TMenuItem* Item);
  static bool InFirstColumn(TMenuItem* Item);
  void SetItemFont(TCanvas* Canvas, TMenuItem* Item, bool IsCaption, bool Bold);
  int ItemHeight(TCanvas* Canvas, TMenuItem* Item);
  int PopupHeight(TCanvas* Canvas, TMenuItem* Item);
  int PopupWidth(TCanvas* Canvas, TMenuItem* Item);

  TsMenuItemType it = smNormal;  // kind of the item last measured or drawn
  bool Pressed = false;
  bool BorderDrawing = false;
  std::vector<TRect> ArOR;  // transparent corner runs of the border mask, cut out of the window region
  TsSkinManager* FOwner;
  TObject* MenuProvider = nullptr;  // the provider painting its menu line now

 private:
  const TacSkinRecords* Skin() const;
  int SectionIndex(int Section) const;
  void PaintDivider(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo& mi, TBitmap* BG, TMenuItem* Item);
  void PaintCaptionItem(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo& mi, TBitmap* BG, TMenuItem* Item);
  void PaintNormalItem(TCanvas* ACanvas, TRect ARect, TOwnerDrawState State, TacMenuInfo& mi, TMenuItem* Item);
  void PaintBorderStrips(HWND Wnd, TacMenuInfo& mi, TMenuItem* Item, const TRect& ARect);
  // Runs the application's extra-line handler for the menu of FirstItem; answers whether the line shows.
  bool FetchExtraLine(TMenuItem* FirstItem);
  void HookPopupEvents(TMenuItem* Item, bool A);
  void HookLineEvents(TMenuItem* Item, bool A);

  // Keeps the font's face loaded: the layer frees a face with its last font,
  // and menus make and free their fonts item by item.
  void KeepFace(TFont* Font);

  int FSkinBorderWidth = 0;
  bool FActive = false;
  TFont FCaptionFont;
  std::vector<std::unique_ptr<TFont>> FFaceKeepers;
};

// Set when a skinned item was measured: the popup-menu window handler then
// paints the popup; it clears the mark when a popup window goes.
inline bool SkinnedMenuMeasured = false;
// Frees every prepared popup background.
void ClearMenuInfo();
// How many popup backgrounds are prepared now.
int MenuInfoCount();
// The owner-drawn menus and the popup opacity of the manager whose skin this
// is (the default manager for other records); nullptr and 255 without one.
TsSkinableMenus* SkinableMenusOf(const TacSkinRecords* Skin);
uint8_t MenuAlphaBlendOf(const TacSkinRecords* Skin);
