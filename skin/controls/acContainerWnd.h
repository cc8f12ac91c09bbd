#pragma once
// Handlers that give plain windows and simple controls a skinned background
// and border: foreign containers and search bands (border from the cache),
// scroll boxes with skinned bars, controls that paint their own client under
// a skinned border (native paint), and static-text controls.

#include "platform/vcl/ExtCtrls.h"
#include "skin/controls/acSBUtils.h"

// Foreign container windows: the client from the cache, a skinned border with WS_EX_CLIENTEDGE.
class TacContainerWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  TRect ClientRect;
  int BorderWidth = 0;

 protected:
  void AfterCreation() override;
  void PrepareCache();
  void AC_WMPaint();
  void AC_WMPrint(HDC DC);
  void AC_WMNCPaint();
};

// A foreign search band: only its three-pixel border is painted.
class TacSearchWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  TRect ClientRect;

 protected:
  void AfterCreation() override;
  void PrepareCache();
  void AC_WMNCPaint();
};

class TacScrollBoxWnd : public TacScrollWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  void AfterCreation() override;
  void PrepareCache();
  void AC_WMPaint(HDC DC);
  void AC_WMNCPaint(HDC DC);
  // The skin commands and the messages of a skinned container control; false when the message goes on.
  bool ContainerMessage(TMessage& Message);
};

// A scroll box whose client the control paints itself.
class TacNativePaint : public TacScrollBoxWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  void AfterCreation() override;
};

class TacStaticTextWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;
  TWinControl* Control = nullptr;

 protected:
  void AfterCreation() override;
  bool PrepareCache();
  virtual void AC_WMPaint(HDC DC);
  void AC_WMNCPaint(HDC DC);
  // Where the caption goes in the cache.
  virtual TRect TextRect();
  virtual void WriteText(const TRect& R, TCanvas* Canvas);
};

// The section of a static text from its bevels (kind none: transparent).
String StaticTextSection(bool HasBevelKind, TBevelCut Outer, TBevelCut Inner);

// A size grip: the parent's background with the skin's grip image in the
// bottom-right corner; the whole window answers as the bottom-right sizing border.
class TacSizerWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  void AfterCreation() override;
  void AC_WMPaint();
};

// A window that shows its parent's skinned background and nothing of its own
// (child dialogs inside a skinned dialog, the folder browser's host).
class TacTransPanelWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  void AfterCreation() override;
  void AC_WMPaint(HDC DC);
};

// A panel seen with the bevels and borders its handler reads.
using TacAccessPanel = TCustomPanel;

// The panel tag that asks for no caption (silently painted panels).
inline constexpr intptr_t kSilentPanelTag = 999;

// Panels: background and border from a section chosen by the bevels, and the caption.
class TacPanelWnd : public TacStaticTextWnd {
 public:
  void acWndProc(TMessage& Message) override;
  TacAccessPanel* Panel = nullptr;  // the owner panel; nullptr for a foreign window

 protected:
  void AfterCreation() override;
  void AC_WMPaint(HDC DC) override;
  TRect TextRect() override;
  void WriteText(const TRect& R, TCanvas* Canvas) override;
};

// The section of a panel from its bevels and border style.
String PanelSection(TBevelCut Outer, TBevelCut Inner, bool HasBorderStyle);
