#pragma once
// The handler of popup-menu windows ("#32768"): the items are painted by the
// owner-drawn menus; the handler paints what they do not cover (the frame, the
// background behind the items) and the window's translucency. It keeps out of
// the way until a skinned menu item was measured. A popup shows only once its
// frame is painted: it is layered and fully transparent until then.

#include <vector>

#include "skin/controls/acSBUtils.h"

class TacMnuWnd : public TacScrollWnd {
 public:
  void acWndProc(TMessage& Message) override;
  // Renders the section into the handler's cache when the background changed.
  void PrepareCache();

  bool Shown = false;    // the frame was painted once
  bool bFlag = false;    // the window is being made layered before it shows
  int RgnChanged = 0;    // the owner-drawn menus set the window's region

 protected:
  void AfterCreation() override;

 private:
  void NCPaint();
  void EndOfWindow(TMessage& Message);
};

// The handlers of the popup-menu windows the creation hook took over, in
// creation order. Handlers whose window is gone stay until the next popup or
// ClearHookedMenus (a handler is never freed inside its own procedure).
std::vector<TacHandlerPtr<TacMnuWnd>>& HookedMenus();
