#pragma once
// The display backend's state, shared by its sources. Not for callers.
// Xlib's headers come last: they define macros (None, Bool, Status ...).

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/WinInternal.h"
#include "platform/win/X11Backend.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace x11 {

// The atoms the backend uses, interned in one round trip.
#define TARNWICK_X11_ATOMS(X)                                                                             \
  X(WM_PROTOCOLS) X(WM_STATE) X(WM_DELETE_WINDOW) X(WM_TAKE_FOCUS) X(WM_TRANSIENT_FOR) X(_NET_WM_PING) X(_NET_WM_NAME) X(_NET_WM_ICON) \
  X(_NET_WM_ICON_NAME) X(UTF8_STRING) X(_NET_WM_STATE) X(_NET_WM_STATE_ABOVE) X(_NET_WM_WINDOW_TYPE)       \
  X(_NET_WM_WINDOW_TYPE_NORMAL) X(_NET_WM_WINDOW_TYPE_DIALOG) X(_NET_WM_WINDOW_TYPE_UTILITY)               \
  X(_NET_WM_WINDOW_TYPE_POPUP_MENU) X(_MOTIF_WM_HINTS) X(_NET_WM_WINDOW_OPACITY) X(_NET_WORKAREA)          \
  X(_NET_WM_PID) X(_NET_ACTIVE_WINDOW) X(_NET_SUPPORTING_WM_CHECK) X(CLIPBOARD) X(TARGETS) X(INCR)         \
  X(TIMESTAMP) X(TEXT) X(text_plain_utf8) X(XdndAware) X(XdndEnter) X(XdndPosition) X(XdndStatus)          \
  X(XdndLeave) X(XdndDrop) X(XdndFinished) X(XdndSelection) X(XdndTypeList) X(XdndActionCopy)             \
  X(text_uri_list) X(TARNWICK_TRANSFER) X(TARNWICK_TIME) X(CLIPBOARD_MANAGER) X(SAVE_TARGETS)

struct Atoms {
#define TARNWICK_ATOM_FIELD(name) Atom name = 0;
  TARNWICK_X11_ATOMS(TARNWICK_ATOM_FIELD)
#undef TARNWICK_ATOM_FIELD
  Atom cmSelection = 0;  // _NET_WM_CM_S<screen>
};

// One top-level window of the layer shown as an X window.
struct Mirror {
  HWND hwnd = nullptr;
  ::Window xid = 0;
  bool argb = false;      // 32-bit visual, per-pixel alpha shown by the compositor
  bool popup = false;     // override-redirect
  bool mapped = false;
  bool iconic = false;    // minimised to the window manager's taskbar
  RECT xrect{};           // geometry last asked of the server (screen coordinates)
  int pendingConfigures = 0;  // our own geometry requests not yet echoed
  XIC ic = nullptr;
  // The picture sent to the server, as wide and high as the window.
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  bool shmAttached = false;
  RECT dirty{};  // window coordinates; empty when nothing to send
  bool shapeDirty = true;
  // Properties last given to the server.
  std::string title;
  HWND owner = nullptr;
  DWORD exStyle = 0;
  unsigned long opacity = 0xFFFFFFFFul;
  HICON icon = nullptr;
};

}  // namespace x11

struct TX11Backend::Impl {
  Display* dpy = nullptr;
  int screen = 0;
  ::Window root = 0;
  x11::Atoms atoms;
  Visual* visual = nullptr;  // the default visual
  int depth = 0;
  XVisualInfo argbVisual{};  // depth 32 TrueColor, when the server has one
  bool hasArgb = false;
  Colormap argbColormap = 0;
  bool hasShape = false;
  bool hasShm = false;
  bool compositor = false;
  uint64_t compositorCheckedAt = 0;
  bool windowManager = false;
  XIM im = nullptr;
  ::Window helper = 0;  // owns selections and receives transfers
  Time lastTime = CurrentTime;  // of the last event with a time stamp
  std::map<HWND, x11::Mirror> mirrors;
  HWND grabbed = nullptr;  // window holding a pointer grab for the layer's capture
  HWND focusRequested = nullptr;
  bool focusLeft = false;  // a top-level window lost the keyboard focus: to whom is asked once pumped
  int cursorShape = -1;
  Cursor cursor = 0;
  uint64_t lastFlush = 0;
  // Clipboard: the text we own, and transfers of it in pieces (INCR).
  std::string clipboard;
  bool ownsClipboard = false;
  Time clipboardTime = CurrentTime;
  struct Outgoing {
    ::Window requestor;
    Atom property;
    Atom type;
    std::string data;
    size_t sent = 0;
  };
  std::vector<Outgoing> outgoing;
  // XDND target state.
  struct DragIn {
    ::Window source = 0;
    int version = 0;
    bool uriList = false;
    POINT point{};  // screen coordinates of the layer
    bool accepted = false;
  } drag;

  ~Impl();
  uint64_t Now() const;
  x11::Mirror* Find(HWND wnd);
  x11::Mirror* FindX(::Window xid);
  void CreateXWindow(x11::Mirror& m, win::Window* w);
  void DestroyXWindow(x11::Mirror& m);
  void MatchVisual(x11::Mirror& m, win::Window* w);
  void FreeImage(x11::Mirror& m);
  void EnsureImage(x11::Mirror& m, int width, int height);
  void SyncProperties(x11::Mirror& m, win::Window* w);
  void SyncState();
  void SyncIcon(x11::Mirror& m);   // asks the window (messages are sent)
  void WriteIcon(x11::Mirror& m);  // the property for m.icon
  void FlushImages();
  void ApplyShape(x11::Mirror& m, win::Window* w);
  void ApplyInputShape(x11::Mirror& m, win::Window* w);
  void CheckCompositor();
  void Handle(XEvent& e);
  void HandleKey(XKeyEvent& e, x11::Mirror* m);
  void CheckFocusLeft();
  long WmState(x11::Mirror& m);  // ICCCM WM_STATE: NormalState, IconicState or WithdrawnState
  POINT LayerPoint(x11::Mirror& m, int x, int y);
  void SendClientMessage(::Window to, Atom type, long l0, long l1, long l2, long l3, long l4, long mask = 0);

  // The server's present time, for claiming a selection.
  Time ServerTime();
  // Selections (X11Clipboard.cpp): waits for the owner's answer up to timeoutMs.
  std::optional<std::string> ReadSelection(Atom selection, Atom target, Time time, int timeoutMs);
  void HandleSelectionRequest(XSelectionRequestEvent& e);
  void HandleSelectionClear(XSelectionClearEvent& e);
  void HandleOutgoingProperty(XPropertyEvent& e);
  void HandOverClipboard();  // before closing the connection
  // XDND target (X11Dnd.cpp).
  void HandleDnd(XClientMessageEvent& e);
};
