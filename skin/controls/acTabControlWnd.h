#pragma once
// The handlers of tab strips and page controls: the page frame from the
// skin's page-control section for the tabs' side, every tab from the skin's
// tab section for that side (the selected one drawn last, straight on the
// window, standing over the frame), the scroll arrows of tabs that do not fit
// from the up-down sections, and a handler on every page that shows the
// frame's background through it.
//
// Tab states: 0 normal, 1 hot, 2 selected. Sides: 0 top, 1 bottom, 2 left, 3 right.

#include <vector>

#include "skin/controls/acMainWnd.h"

class TacSpinWnd;
class TTabSheet;

class TacTabControlWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  // The display area under the tabs, in window coordinates.
  virtual TRect ClientRect();
  // The page frame: the window less the tab strip.
  virtual TRect PageRect();

  int TabCount();
  int ActiveTabIndex();
  TRect TabRect(int Index);
  int RowCount();
  // 1 for the row farthest from the frame.
  int TabRow(int TabIndex);
  TRect TabsRect();
  int TabPosition() const;
  // 0 tabs, 1 buttons, 2 flat buttons.
  int Style() const;
  // Where the skin paints a tab: the control's rectangle grown for the skin's tab shapes.
  TRect SkinTabRect(int Index, bool Active);
  // The arrows of tabs that do not fit get their handler; without arrows it goes.
  void CheckUpDown();

  TacHandlerPtr<TacSpinWnd> BtnSW;

 protected:
  void AfterCreation() override;
  void Released() override;
  void BeforeDestruction() override;
  // The handlers the control gave its child windows let go.
  virtual void ReleaseChildHandlers();
  void DrawSkinTabs(const TCacheInfo& CI);
  void DrawSkinTab(int Index, int State, HDC DC);
  void DrawSkinTab(int Index, int State, TBitmap* Bmp, TPoint OffsetPoint);
  void AC_WMPaint(TMessage& Message);
  void RepaintUpDown();
  // The skin's tab section for the control's side; -1 without tab sections.
  int TabSection() const;

 private:
  // The window cut at the frame's edge on the tabs' side: the strip (Strip) or the frame.
  TRect SplitAtFrame(bool Strip);
  void DrawTabContent(int Index, int State, int Section, TBitmap* Bmp, TRect T);
};

// The framework's page control: the tab strip's handler plus one handler on every page.
class TacPageControlWnd : public TacTabControlWnd {
 public:
  void acWndProc(TMessage& Message) override;
  // Gives every page without a handler yet its own.
  void InitPages();

 protected:
  void AfterCreation() override;
  void ReleaseChildHandlers() override;
};

// A page of a page control (or a child window of a foreign tab control): shows the frame's background.
class TacPageWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  int TabPosition() const;

  TTabSheet* Page = nullptr;  // nullptr for a foreign page window

 protected:
  void AfterCreation() override;
  void AC_WMEraseBKGnd(HDC DC);
};

// The page handlers made so far, owned here; they let go of their pages when
// the page control's handler does, and are freed by FreePageHandlers.
std::vector<TacHandlerPtr<TacPageWnd>>& PageHandlers();
// Releases and frees the page handlers of the pages of Host (every one with nullptr).
void FreePageHandlers(HWND Host);
