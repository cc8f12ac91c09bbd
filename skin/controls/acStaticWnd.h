#pragma once
// Handlers of the system's static windows and of the link control: the
// parent's background (or the section) goes into the handler's cache, the
// static's text, icon or bitmap is drawn over it and the cache is copied to
// the window. Edge statics keep their own painting and get only the skinned
// two-pixel frame over it.

#include <memory>

#include "skin/controls/acMainWnd.h"

class TacStaticWnd : public TacMainWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  void AfterCreation() override;
  // Paints the window into DC (nullptr: the window DC).
  virtual void AC_WMPaint(HDC DC);
  // Draws the content over the cache; false leaves the window unpainted by the handler.
  virtual bool PaintText();
  // Makes the cache the window's size and fills it with the background.
  void PrepareBackground();
};

class TacEdgeWnd : public TacStaticWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  void AC_WMPaint(HDC DC) override;
};

class TacIconWnd : public TacStaticWnd {
 public:
  bool IsBmp = false;  // the static shows a bitmap, not an icon
  // The handler's own copy of the static's bitmap. The static keeps drawing
  // its bitmap after the handler lets go, so the handler never owns that
  // handle: it copies the picture and copies it again when the static's changes.
  std::unique_ptr<TBitmap> FBmp;

 protected:
  void AfterCreation() override;
  bool PaintText() override;

 private:
  HBITMAP FBmpSource = nullptr;
  void CopyStaticBitmap(HBITMAP Source);
};

class TacLinkWnd : public TacStaticWnd {
 public:
  void acWndProc(TMessage& Message) override;

 protected:
  bool PaintText() override;
};

// The caption of a link without its anchor tags ("<A>" and "</A>", exact case).
String LinkCaption(const String& Caption);
