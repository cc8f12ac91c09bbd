#pragma once
// Window records and the layer's state, shared by the layer's sources. Not for callers.

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/win/Backend.h"
#include "platform/win/Windows.h"

namespace win {

struct WindowClass {
  ATOM atom = 0;
  std::string name;
  WNDCLASSEXW wc;
  int windows = 0;
};

// A scroll bar's state: the frame's two bars and the "SCROLLBAR" control's.
struct ScrollBarData {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  UINT disabled = 0;  // ESB_DISABLE_* arrows
  bool tracking = false;  // the thumb is being dragged: it is drawn at trackPos
};

// The state of a window of one of the layer's control classes. Held by the
// window record and kept alive by the class procedure while it runs.
struct ControlBase {
  virtual ~ControlBase() = default;
};

struct Window {
  HWND handle = nullptr;
  WindowClass* cls = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // children only
  HWND owner = nullptr;   // top-level only
  RECT rect;              // parent's client coordinates (screen for top-level)
  RECT client;            // window coordinates
  std::string text;
  WNDPROC proc = nullptr;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HINSTANCE instance = nullptr;
  std::vector<uint8_t> extra;
  std::vector<HWND> children;  // front first
  std::map<std::string, HANDLE> props;
  HRGN update = nullptr;  // client coordinates; nullptr when nothing to paint
  bool erasePending = false;
  bool ncPending = false;
  bool ncActive = false;
  bool destroying = false;
  bool created = false;     // WM_CREATE returned
  bool madeWithSysMenu = false;  // WS_SYSMENU at creation: the system menu outlives the style bit
  RECT normalRect;          // position before minimise or maximise
  HBITMAP surface = nullptr;  // top-level only
  HRGN shape = nullptr;       // SetWindowRgn, window coordinates; nullptr = the rectangle
  COLORREF layeredKey = 0;    // SetLayeredWindowAttributes
  BYTE layeredAlpha = 255;
  DWORD layeredFlags = 0;
  bool perPixelAlpha = false;  // UpdateLayeredWindow with ULW_ALPHA: the surface's alpha is meant
  DWORD trackFlags = 0;        // TrackMouseEvent: TME_LEAVE / TME_NONCLIENT pending
  ScrollBarData scroll[2];     // the frame's SB_HORZ and SB_VERT bars
  std::shared_ptr<ControlBase> control;
};

struct DcRecord {
  HDC dc = nullptr;
  HWND wnd = nullptr;
  bool window = false;  // GetWindowDC: origin at the window's corner
  HRGN extraClip = nullptr;  // further clip, the DC's own coordinates
  HGDIOBJ oldBitmap = nullptr;
  HBITMAP screenImage = nullptr;  // the screen DC's composed picture, freed with the DC
};

// The pixels of a 32-bit DIB section (blue, green, red, alpha), rows top first.
struct PixelRows32 {
  uint8_t* bits = nullptr;
  int width = 0, height = 0;
  long stride = 0;
  bool bottomUp = true;
  uint8_t* Row(int y) const { return bits + (bottomUp ? height - 1 - y : y) * stride; }
};
// False for a bitmap that is not a 32-bit DIB section.
bool ViewPixels(HBITMAP bmp, PixelRows32& v);

struct TimerRecord {
  HWND wnd;
  UINT_PTR id;
  UINT elapse;
  TIMERPROC proc;
  uint64_t due;
};

struct HookRecord {
  HHOOK handle;
  int kind;
  HOOKPROC proc;
};

// Drag state of the frame: moving or sizing by the caption or a border.
struct Tracking {
  HWND wnd = nullptr;
  WPARAM edge = 0;  // 0 = move, else WMSZ_*
  POINT start;
  RECT startRect;
};

struct State {
  std::unordered_map<HWND, std::unique_ptr<Window>> windows;
  std::vector<HWND> topLevel;  // z-order, front first
  std::vector<std::unique_ptr<WindowClass>> classes;
  ATOM nextAtom = 0xC000;
  uintptr_t nextHandle = 0x10000;
  std::vector<TimerRecord> timers;
  UINT_PTR nextTimerId = 1;
  std::vector<HookRecord> hooks;
  uintptr_t nextHook = 1;
  std::vector<DcRecord> dcs;
  HWND capture = nullptr;
  HWND focus = nullptr;
  HWND active = nullptr;
  POINT cursor;
  uint8_t keys[256] = {};
  int sendDepth = 0;
  MSG current;  // the message being dispatched (time and position)
  Tracking tracking;
  HWND hover = nullptr;  // the window last under the mouse, and whether over its frame
  bool hoverNonClient = false;
  HWND pressedButtonWnd = nullptr;  // caption button pressed, with its code
  LRESULT pressedButton = 0;
  bool systemClasses = false;  // the layer's control classes are registered
  bool altTapped = false;      // Alt went down with no other key since: its release enters the menu bar
};

State& S();
Window* Get(HWND wnd);  // nullptr for a stale or foreign handle
Window* Root(Window* w);
bool IsTopLevel(const Window* w);
bool Visible(const Window* w);  // and all ancestors
POINT ScreenOrigin(const Window* w);  // of the window's corner
POINT SurfaceOrigin(const Window* w);  // of the window's corner inside its root's surface
RECT ClientRectOf(const Window* w);  // (0, 0, w, h)
RECT WindowRectOf(const Window* w);  // (0, 0, w, h)
// Mouse input passes through a top-level window at this screen point: a
// layered window marked WS_EX_TRANSPARENT, or a per-pixel-alpha one whose pixel there has alpha 0.
bool ClickThrough(Window* w, POINT screen);
// The front visible top-level window under the point that takes the mouse,
// starting below the top-level window `below` (null: from the front).
Window* TopLevelAt(POINT p, HWND below);
// The deepest visible child of w under the point, through client areas (w itself when none).
Window* DeepestAt(Window* w, POINT p);

// Messages
LRESULT Send(Window* w, UINT msg, WPARAM wp, LPARAM lp);
// The window's tracking limits and maximised place: the system's, as
// WM_GETMINMAXINFO leaves them (the window may be gone afterwards).
// ptMaxPosition counts from the corner of the work area of the window's monitor.
MINMAXINFO AskMinMaxInfo(Window* w);
void PostInput(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
bool CallCbtHook(int code, WPARAM wp, LPARAM lp);  // true: cancelled
void ForgetWindowMessages(HWND wnd);
void ClearQueue();

// Frame
struct FrameMetrics {
  int border = 0;      // each side
  int caption = 0;     // caption height (0 without)
  int edge = 0;        // client edge inside the border
};
FrameMetrics MetricsFor(DWORD style, DWORD exStyle);
RECT ClientFromWindow(DWORD style, DWORD exStyle, const RECT& wr);
LRESULT HitTest(Window* w, POINT screen);
void PaintFrame(Window* w);
void PaintFrameInto(Window* w, HDC dc);  // window coordinates
RECT CaptionButtonRect(Window* w, LRESULT code);  // window coordinates, empty when absent
void StartTracking(Window* w, WPARAM edge, POINT screen);
bool TrackMouse(POINT screen, bool buttonUp);  // true when a drag consumed the event

// Painting
void EnsureSurface(Window* root);
void RefreshDcs(Window* root);  // after geometry or surface changes
void ReleaseDcsOf(HWND wnd);
HRGN VisibleRegion(Window* w, bool client);  // surface coordinates; caller deletes
void InvalidateClient(Window* w, HRGN rgn, bool erase, bool children);  // rgn in client coords, null = all
// w and every descendant inside rgn (client coords, null = all) whatever their
// clipping styles: for places whose picture is gone (a window shown, moved or
// resized), since nothing is drawn for hidden windows and every window of a
// tree shares one surface.
void InvalidateAll(Window* w, HRGN rgn);
void InvalidateFrame(Window* w);
void Validate(Window* w);
Window* FindPaintWindow(HWND filter);
void DiscardPaint(Window* w);

// Frame scroll bars (ScrollBar.cpp)
RECT NcScrollBarRect(Window* w, int bar);  // window coordinates; empty without the bar
void AdjustClientForScrollBars(Window* w, RECT* client);  // on WM_NCCALCSIZE
void PaintNcScrollBars(Window* w, HDC dc);  // window coordinates
bool StartNcScrollTracking(Window* w, LRESULT hit, POINT screen);
bool ScrollTracking();
void TrackScrollMouse(POINT screen, bool buttonUp);

// The layer's control classes (Controls.cpp)
void RegisterSystemClasses();
ATOM RegisterClassAtom(const WNDCLASSEXW* wc, ATOM atom);  // 0: the next free atom

// The menu bar in the frame and the frame's menus (Menu.cpp)
int MenuBarHeight(Window* w, int width);  // lays the bar out for a window this wide; 0 without a bar
int PaintMenuBar(Window* w, HDC dc);      // window coordinates; returns the bar's height
bool MenuBarContains(Window* w, POINT windowPoint);
// A press inside an MDI child that is not its client's active one activates it (Mdi.cpp).
void ActivateMdiChildAt(HWND target);
// A caption button's face and glyph (HTMINBUTTON, HTMAXBUTTON, HTCLOSE; restore: the maximise
// button of a maximised window), as the frame and the menu bar's child buttons draw it.
void DrawCaptionButtonFace(HDC dc, const RECT& r, LRESULT code, bool restore, bool pressed, bool enabled);
void TrackFrameMenu(Window* w, POINT screen);  // SC_MOUSEMENU: the bar's popups or the system menu
// SC_KEYMENU: the bar from the keyboard, its first item selected (ch 0) or the
// popup whose mnemonic ch is opened; ' ' opens the system menu.
void TrackKeyMenu(Window* w, char32_t ch);
void ForgetWindowMenus(HWND wnd);              // the window is gone: its bar and system menu go too

// Activation and focus
void ActivateWindow(Window* w, WORD how);
void OnWindowHidden(Window* w);
void OnWindowGone(HWND wnd);

}  // namespace win
