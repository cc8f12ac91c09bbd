#pragma once
// The display backend: every top-level window of the layer is one X window
// showing the window's surface (frame included, no window-manager decoration).
//
// Popups (WS_POPUP with WS_EX_TOOLWINDOW and no caption: menus, drop-downs,
// hints) are override-redirect windows; the pointer is grabbed while a window
// holds the capture. Layered windows with per-pixel alpha use a 32-bit visual
// when a compositing manager runs, else they are shaped by the pixels whose
// alpha is above zero. Files dropped through XDND reach the layer as
// WM_DROPFILES; the CLIPBOARD selection carries the clipboard's text.

#include <memory>
#include <string>

#include "platform/win/Backend.h"

struct _XDisplay;

class TX11Backend : public TWindowBackend {
 public:
  // Connects to the display (nullptr: DISPLAY). On failure returns nullptr and
  // sets error to one line saying why.
  static std::unique_ptr<TX11Backend> Open(const char* displayName, std::string& error);
  ~TX11Backend() override;

  const char* Name() const override { return "display"; }
  uint64_t Now() override;
  void Wait(const std::vector<int>& fds, int timeoutMs) override;
  int DueIn(uint64_t due) override;
  void PumpEvents() override;
  std::vector<TMonitorDesc> Monitors() override;
  int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;

  void WindowCreated(HWND wnd) override;
  void WindowDestroyed(HWND wnd) override;
  void WindowShown(HWND wnd, bool shown) override;
  void WindowMoved(HWND wnd, const RECT& r) override;
  void ZOrderChanged() override;
  void SurfaceChanged(HWND wnd, const RECT& r) override;
  void ShapeChanged(HWND wnd) override;
  void SetCursorShape(int shape) override;
  std::string ClipboardText() override;
  void SetClipboardText(const std::string& text) override;

  // Shows every pending surface change and window property now.
  void Flush();
  _XDisplay* XDisplay() const;
  // The X window showing a top-level window; 0 when it has none.
  unsigned long XWindowOf(HWND wnd) const;
  // Whether a compositing manager owned its selection when last looked at.
  bool CompositingManager() const;

  struct Impl;

 private:
  explicit TX11Backend(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// The program's start-up choice: installs the display backend when a display
// is reachable; otherwise says why in one line on stderr and exits with 1.
void UseDisplayBackendOrExit();

// The file names of a text/uri-list: local file: URIs only (no host, or
// "localhost", or this machine's name), percent-decoded to UTF-8 paths; a
// folder's trailing slash is dropped. Anything else is skipped.
std::vector<std::string> FilesFromUriList(const std::string& uriList);
