#pragma once
// Handlers of windows with a client area of their own and skinned non-client
// scroll bars. TacBaseWnd adds what every such window shares (background
// invalidation on sizing, cursor and scroll messages, the repaint after a skin
// is loaded); TacEditWnd skins edits, memos and list boxes: it draws the
// skin's border around the window's own client painting, keeps the control's
// colours in step with its section and state, and answers the skin commands.

#include "skin/controls/acSBUtils.h"

class TacBaseWnd : public TacScrollWnd {
 public:
  void acWndProc(TMessage& Message) override;
};

// Control kind of a list view record (set by its handler).
constexpr uint8_t kListViewKind = 10;
// Control kind of a record an edit handler made for itself.
constexpr uint8_t kOwnEditKind = 231;

class TacEditWnd : public TacBaseWnd {
 public:
  enum : unsigned { csPaintNeeded = 1, csNCPaintNeeded = 2 };

  void acWndProc(TMessage& Message) override;
  // The client rectangle in window coordinates (computed once).
  TRect ClientRect();
  // Handles a skin command; true when the message is finished.
  bool HandleAlphaCmd(TMessage& Message);
  // The window's own non-client painting must run before the skinned frame:
  // a framework edit without skinned bars whose client is not the window less its edges.
  bool NCContent();

  TRect FClientRect{0, -1, 0, 0};
  TColor FrameColor = 0;
  unsigned CtrlState = 0;
  bool StdNCPaint = false;
  bool SingleLineEdit = false;
  bool CtrlListChanged = false;
  TColor Color = clNone;
  TColor FocusColor = clNone;

 protected:
  void InitSkinData() override;
  void AfterCreation() override;
  void SaveStdParams() override;
  void RestoreStdParams() override;
  void SetSkinParams() override;

 private:
  void WMPaint(TMessage& Message);
  void WMEraseBkgnd(TMessage& Message);
  void WMNCPaint(TMessage& Message);
  void WMPrint(TMessage& Message);
  void FocusChanged(TMessage& Message);
  bool FInSetSkinParams = false;
};
