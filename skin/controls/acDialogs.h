#pragma once
// The frame handler of a foreign standard dialog ("#32770"): it paints the
// whole frame (border, title, caption text and title buttons) from the skin's
// "DIALOG" section into one cached bitmap, cuts the window region to the
// border's transparent corners and answers the hit test of its own title
// buttons. The system draws no caption buttons: WS_SYSMENU is taken off the
// window once the dialog shows.

#include <array>
#include <memory>
#include <vector>

#include "platform/vcl/Menus.h"
#include "skin/controls/acSBUtils.h"

class TacDialogWnd;
class TacThreadedTimer;

enum TacBorderStyle { acbsDialog, acbsSingle, acbsNone, acbsSizeable, acbsToolWindow, acbsSizeToolWin };

// One title button of the dialog.
struct TacDialogButton {
  int cpState = 0;      // 0 normal, 1 hot, 2 pressed
  TRect cpRect;         // in cache (window) coordinates; empty while not painted
  int cpHitCode = 0;    // HTMINBUTTON, HTMAXBUTTON, HTCLOSE, HTHELP
  int cpGlyphType = -1; // index into the skin's title glyphs
};

// The skinned system menu a dialog drops from its icon or caption: Restore,
// Move, Size, Minimize, Maximize, a separator and Close, shown and enabled as
// the dialog's styles and state allow; each item sends its system command.
class TacSystemMenu : public TPopupMenu {
 public:
  explicit TacSystemMenu(TacDialogWnd* AOwner);
  void UpdateItems();
  bool VisibleSize() const;
  bool EnabledMove() const;
  bool EnabledSize() const;

  TMenuItem* ItemRestore = nullptr;
  TMenuItem* ItemMove = nullptr;
  TMenuItem* ItemSize = nullptr;
  TMenuItem* ItemMinimize = nullptr;
  TMenuItem* ItemMaximize = nullptr;
  TMenuItem* ItemClose = nullptr;
  TacDialogWnd* FOwner;

 private:
  void Command(WPARAM Cmd, bool Update);
};

class TacDialogWnd : public TacScrollWnd {
 public:
  ~TacDialogWnd() override;
  void acWndProc(TMessage& Message) override;

  // ---- Frame metrics (window coordinates) ----
  int CaptionHeight(bool CheckSkin = true) const;
  int BorderWidth() const;  // the side and bottom frame
  int HeaderHeight() const { return CaptionHeight() + BorderWidth(); }
  int OffsetX() const;
  int OffsetY() const;
  int SysButtonWidth(const TacDialogButton& Btn) const;
  int ButtonHeight(const TacDialogButton& Btn) const;
  int TitleBtnsWidth() const;
  bool VisibleClose() const { return dwStyle & WS_SYSMENU; }
  bool VisibleMax() const { return dwStyle & WS_MAXIMIZEBOX; }
  bool VisibleMin() const { return dwStyle & WS_MINIMIZEBOX; }
  bool VisibleHelp() const { return dwExStyle & WS_EX_CONTEXTHELP; }
  bool EnabledClose() const;
  bool EnabledMax() const;
  bool EnabledMin() const { return VisibleMin() && !IsIconic(CtrlHandle); }
  bool EnabledRestore() const { return VisibleMax() && (IsIconic(CtrlHandle) || IsZoomed(CtrlHandle)); }
  bool VisibleRestore() const {
    return (BorderStyle == acbsSingle || BorderStyle == acbsSizeable) && VisibleClose();
  }
  // Where the title icon is drawn (window coordinates).
  TRect IconRect() const;
  bool FormActive() const { return FFormActive; }

  // Reads the dialog's styles and takes WS_SYSMENU off it (once it exists with its controls).
  void InitParams();
  void UpdateIconsIndexes();
  // Builds the frame into the cache when the background changed.
  void PaintAll();
  // The hit code of the title band: the system-menu icon, a title button, or
  // (anywhere else) the dialog's own hit test.
  LRESULT HTProcess(TMessage& Message);
  void SetHotHT(int i, bool Repaint = true);
  void SetPressedHT(int i);
  // Takes the dialog's icon (small, else big) for the title.
  void PrepareTitleGlyph();
  // Drops the skinned system menu at a screen point.
  void DropSysMenu(int X, int Y);
  // A drag by the caption with the dialog translucent until it is let go:
  // its opacity falls every 12 ms from 255 to the manager's blend value.
  void StartBlendOnMoving();
  void EndBlendOnMoving();
  // The brush the dialog's background is painted with, one per handler.
  HBRUSH DialogBrush();

  int CurrentHT = 0;
  bool FFormActive = true;
  bool Initialized = false;
  bool RgnChanged = true;
  TacBorderStyle BorderStyle = acbsSingle;
  DWORD dwStyle = 0, dwExStyle = 0;
  int TitleIndex = -1;
  TacDialogButton ButtonMin, ButtonMax, ButtonHelp, ButtonClose;
  std::vector<TRect> ArOR;  // transparent corner runs cut out of the region
  HICON TitleIcon = nullptr;  // the dialog's, not owned
  std::unique_ptr<TacSystemMenu> SystemMenu;
  // 0x80 while the dialog is moved with blending.
  unsigned FormState = 0;
  static constexpr unsigned kBlendMoving = 0x80;

 protected:
  void AfterCreation() override;

 private:
  void PaintTitle(TBitmap* Bmp, int HeaderBottom);
  void PaintBorderIcons(TBitmap* Bmp);
  void NCPaint();
  void EraseBackground(HDC DC);
  void UpdateDialogRgn();
  TacDialogButton* ButtonOf(int HitCode);
  // Title buttons from the right: close, maximise, minimise, help (the visible ones).
  std::vector<TacDialogButton*> VisibleButtons();
  int TitleButtonAtX(int X);
  void RepaintButtons();
  void EndOfWindow(TMessage& Message);

  void BlendStep();

  HBRUSH FBrush = nullptr;
  TColor FBrushColor = clNone;
  std::unique_ptr<TacThreadedTimer> MoveTimer;
  uint8_t FCurrentBlend = 255, FBlendValue = 255, FBlendStep = 0;
};

// Standard dialogs skinned by the creation hook get this frame handler from now on.
void InstallDialogFrame();
