#pragma once
// The backends behind the window layer. The layer keeps windows, messages and
// surfaces itself; a backend supplies the clock, waiting for events, monitors,
// message boxes, and shows top-level surfaces (the display backend) or keeps
// them for inspection (the headless backend, the default).
//
// Input from a backend enters the layer through the Inject* functions below;
// they hit-test, honour capture and post the non-client or client messages.
//
// A display backend: Wait also wakes on its own event source; PumpEvents turns
// its events into Inject* calls (on the main thread); the Window* and
// ZOrderChanged notifications mirror top-level windows; SurfaceChanged says
// which part of GetWindowSurface to show again; ShapeChanged points to
// GetWindowRgn and GetLayeredWindowAttributes (per-pixel alpha in the surface).
// Every top-level window is drawn complete (frame included) in its surface.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/Windows.h"

struct TMonitorDesc {
  RECT Bounds;
  RECT WorkArea;
  bool Primary = false;
};

struct TMessageBoxRecord {
  std::string Text;
  std::string Caption;
  UINT Type = 0;
};

class TWindowBackend {
 public:
  virtual ~TWindowBackend() = default;
  virtual const char* Name() const = 0;
  // Milliseconds since some fixed start.
  virtual uint64_t Now() = 0;
  // Sleeps until one of fds is readable, the backend has input, or timeoutMs
  // (-1: no limit) of real time passed. The layer computes the timeout from
  // DueIn for its timers.
  virtual void Wait(const std::vector<int>& fds, int timeoutMs) = 0;
  // Real milliseconds to sleep before the clock reaches due; -1 when sleeping
  // cannot bring it closer (a virtual clock).
  virtual int DueIn(uint64_t due) = 0;
  // Turns pending backend events into Inject* calls.
  virtual void PumpEvents() {}
  virtual std::vector<TMonitorDesc> Monitors() = 0;
  virtual int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;

  // Top-level window notifications (the display backend mirrors them).
  virtual void WindowCreated(HWND) {}
  virtual void WindowDestroyed(HWND) {}
  virtual void WindowShown(HWND, bool) {}
  virtual void WindowMoved(HWND, const RECT&) {}
  virtual void ZOrderChanged() {}
  // A top-level window's surface changed inside r (window coordinates).
  virtual void SurfaceChanged(HWND, const RECT&) {}
  // The window's region or layered attributes changed (GetWindowRgn,
  // GetLayeredWindowAttributes and the surface's alpha tell the new state).
  virtual void ShapeChanged(HWND) {}

  // The mouse pointer's shape, one of the layer's standard cursor ids
  // (IDC_ARROW, IDC_IBEAM, IDC_SIZEWE ... as numbers); 0 hides it.
  virtual void SetCursorShape(int) {}
  // The system clipboard's text (UTF-8); empty when it holds none.
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
};

// The default backend: a virtual clock that only AdvanceClock moves, monitors
// set by the test, message boxes recorded and answered with a scripted reply
// (or shown as windows).
class THeadlessBackend : public TWindowBackend {
 public:
  THeadlessBackend();
  const char* Name() const override { return "headless"; }
  uint64_t Now() override { return clock_; }
  void Wait(const std::vector<int>& fds, int timeoutMs) override;
  int DueIn(uint64_t due) override { return due <= clock_ ? 0 : -1; }
  std::vector<TMonitorDesc> Monitors() override { return monitors_; }
  int MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
  void SetCursorShape(int shape) override { cursorShape_ = shape; }
  void PumpEvents() override;
  std::string ClipboardText() override { return clipboard_; }
  void SetClipboardText(const std::string& text) override { clipboard_ = text; }

  // The shape last set (0 before any).
  int CursorShape() const { return cursorShape_; }
  void AdvanceClock(uint64_t ms) { clock_ += ms; }
  // The first monitor given is primary unless another says so.
  void SetMonitors(std::vector<TMonitorDesc> monitors);
  const std::vector<TMessageBoxRecord>& MessageBoxes() const { return boxes_; }
  void ClearMessageBoxes() { boxes_.clear(); }
  // Message boxes are recorded and answered with MessageBoxReply at once; cleared,
  // they show as real modal windows (driven by injected input) and are still recorded.
  bool ScriptedMessageBoxes = true;
  int MessageBoxReply = IDOK;

  // Input for the modal loops (moving, sizing, menus) that a test cannot inject
  // while they run: each PumpEvents call (every look at the queue) injects the
  // next step, and waiting does not block while steps are left.
  void QueueInput(std::function<void()> step) { script_.push_back(std::move(step)); }
  size_t QueuedInput() const { return script_.size(); }

 private:
  std::deque<std::function<void()>> script_;
  uint64_t clock_ = 1000;
  std::vector<TMonitorDesc> monitors_;
  std::vector<TMessageBoxRecord> boxes_;
  int cursorShape_ = 0;
  std::string clipboard_;
};

// The backend in use; a headless one is made on first use when none was set.
TWindowBackend& WindowBackend();
// Installs a backend (before any window exists); returns the previous one.
std::unique_ptr<TWindowBackend> SetWindowBackend(std::unique_ptr<TWindowBackend> backend);
// The headless backend in use, or nullptr.
THeadlessBackend* HeadlessBackend();

// Installs the layer's message pump into the main-thread dispatcher, so that
// ProcessPendingMessages (every nested wait) serves window messages too.
// Done on first window creation; harmless to repeat.
void InstallWindowMessagePump();
// The layer's pump: dispatches every pending message; a WM_QUIT met on the way
// is posted again and ends the pumping. (The application object installs its
// own, which runs its message filter and marks the application terminated.)
void PumpWindowMessages();

// ---- Input from the backend (screen coordinates) ----
enum class TMouseButton { Left, Right, Middle };
void InjectMouseMove(int x, int y);
void InjectMouseButton(TMouseButton button, bool down, int x, int y);
void InjectMouseWheel(int delta, int x, int y);
void InjectKey(int vk, bool down);
void InjectChar(char32_t ch);
// Files dropped at a screen point: the window there (or its nearest ancestor)
// that accepts files gets WM_DROPFILES. False when no window took them.
bool InjectDropFiles(const std::vector<std::string>& files, int x, int y);

// ---- Test and teardown helpers ----
// Destroys every window, timer, hook and queued message (tests start clean).
void ResetWindowLayer();
