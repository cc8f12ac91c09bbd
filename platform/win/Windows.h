#pragma once
// The window layer: windows, classes, window procedures and subclassing,
// message queues, the non-client frame, painting, timers, input, capture,
// focus, activation, hooks and monitors.
//
// Names, structures and numeric values follow the documented platform's user
// interface, because callers compare and store those numbers. Text is UTF-8.
// Windows belong to the main thread: every call below must be made there,
// except PostMessageW (any thread) and SendMessageW (from a worker it runs on
// the main thread through the dispatcher and waits).
//
// A window procedure value (WNDPROC) is only ever called through
// CallWindowProcW: it may be a plain function or an object instance made by
// MakeObjectInstance, which carries state.

#include <cstdint>
#include <functional>

#include "platform/gdi/Gdi.h"

struct HWND__;
struct HHOOK__;
struct HMONITOR__;
struct HICON__;
struct HCURSOR__;
struct HMENU__;
using HWND = HWND__*;
using HHOOK = HHOOK__*;
using HMONITOR = HMONITOR__*;
// Module handles are the dynamic-library handles of platform/os (HMODULE there).
using HINSTANCE = void*;
using HICON = HICON__*;
using HCURSOR = HCURSOR__*;
using HMENU = HMENU__*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using ULONG_PTR = uintptr_t;
using ATOM = WORD;
using UINT_PTR = uintptr_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using HOOKPROC = LRESULT (*)(int code, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

constexpr WORD LOWORD(uintptr_t v) { return WORD(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return WORD((v >> 16) & 0xFFFF); }
constexpr LPARAM MAKELPARAM(int lo, int hi) { return LPARAM(DWORD(WORD(lo)) | (DWORD(WORD(hi)) << 16)); }
constexpr WPARAM MAKEWPARAM(int lo, int hi) { return WPARAM(DWORD(WORD(lo)) | (DWORD(WORD(hi)) << 16)); }
constexpr LRESULT MAKELRESULT(int lo, int hi) { return LRESULT(MAKELPARAM(lo, hi)); }
constexpr int GET_X_LPARAM(LPARAM l) { return int(int16_t(LOWORD(uintptr_t(l)))); }
constexpr int GET_Y_LPARAM(LPARAM l) { return int(int16_t(HIWORD(uintptr_t(l)))); }
inline LPARAM PointToLParam(POINT p) { return MAKELPARAM(p.x, p.y); }

// ---- Messages ----
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_FONTCHANGE = 0x001D;
constexpr UINT WM_SETTINGCHANGE = 0x001A;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_CHILDACTIVATE = 0x0022;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_STYLECHANGING = 0x007C;
constexpr UINT WM_STYLECHANGED = 0x007D;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCCALCSIZE = 0x0083;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
constexpr UINT WM_NCLBUTTONDOWN = 0x00A1;
constexpr UINT WM_NCLBUTTONUP = 0x00A2;
constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
constexpr UINT WM_NCRBUTTONDOWN = 0x00A4;
constexpr UINT WM_NCRBUTTONUP = 0x00A5;
constexpr UINT WM_NCRBUTTONDBLCLK = 0x00A6;
constexpr UINT WM_NCMBUTTONDOWN = 0x00A7;
constexpr UINT WM_NCMBUTTONUP = 0x00A8;
constexpr UINT WM_NCMBUTTONDBLCLK = 0x00A9;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_ENTERIDLE = 0x0121;
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSELAST = 0x020E;
constexpr UINT WM_PARENTNOTIFY = 0x0210;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;
constexpr UINT WM_SIZING = 0x0214;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_MOVING = 0x0216;
constexpr UINT WM_ENTERSIZEMOVE = 0x0231;
constexpr UINT WM_EXITSIZEMOVE = 0x0232;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_NCMOUSEHOVER = 0x02A0;
constexpr UINT WM_MOUSEHOVER = 0x02A1;
constexpr UINT WM_NCMOUSELEAVE = 0x02A2;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
constexpr UINT WM_PRINT = 0x0317;
constexpr UINT WM_PRINTCLIENT = 0x0318;
constexpr UINT WM_THEMECHANGED = 0x031A;
// Desktop composition's messages: named so that code can compare them; the
// layer never sends them (composition is never on).
constexpr UINT WM_DWMCOMPOSITIONCHANGED = 0x031E;
constexpr UINT WM_DWMNCRENDERINGCHANGED = 0x031F;
constexpr UINT WM_DWMCOLORIZATIONCOLORCHANGED = 0x0320;
constexpr UINT WM_DWMWINDOWMAXIMIZEDCHANGE = 0x0321;
constexpr UINT WM_DWMSENDICONICTHUMBNAIL = 0x0323;
constexpr UINT WM_DWMSENDICONICLIVEPREVIEWBITMAP = 0x0326;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// WM_ACTIVATE, WM_MOUSEACTIVATE, WM_SIZE, WM_SHOWWINDOW, mouse key state
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;
constexpr LRESULT MA_ACTIVATE = 1;
constexpr LRESULT MA_ACTIVATEANDEAT = 2;
constexpr LRESULT MA_NOACTIVATE = 3;
constexpr LRESULT MA_NOACTIVATEANDEAT = 4;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// WM_SYSCOMMAND
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_MOUSEMENU = 0xF090;
constexpr WPARAM SC_KEYMENU = 0xF100;
constexpr WPARAM SC_RESTORE = 0xF120;
// WM_SIZING edges (also added to SC_SIZE)
constexpr WPARAM WMSZ_LEFT = 1;
constexpr WPARAM WMSZ_RIGHT = 2;
constexpr WPARAM WMSZ_TOP = 3;
constexpr WPARAM WMSZ_TOPLEFT = 4;
constexpr WPARAM WMSZ_TOPRIGHT = 5;
constexpr WPARAM WMSZ_BOTTOM = 6;
constexpr WPARAM WMSZ_BOTTOMLEFT = 7;
constexpr WPARAM WMSZ_BOTTOMRIGHT = 8;

// ---- Hit-test codes ----
constexpr LRESULT HTERROR = -2;
constexpr LRESULT HTTRANSPARENT = -1;
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCLIENT = 1;
constexpr LRESULT HTCAPTION = 2;
constexpr LRESULT HTSYSMENU = 3;
constexpr LRESULT HTGROWBOX = 4;
constexpr LRESULT HTMENU = 5;
constexpr LRESULT HTHSCROLL = 6;
constexpr LRESULT HTVSCROLL = 7;
constexpr LRESULT HTMINBUTTON = 8;
constexpr LRESULT HTMAXBUTTON = 9;
constexpr LRESULT HTLEFT = 10;
constexpr LRESULT HTRIGHT = 11;
constexpr LRESULT HTTOP = 12;
constexpr LRESULT HTTOPLEFT = 13;
constexpr LRESULT HTTOPRIGHT = 14;
constexpr LRESULT HTBOTTOM = 15;
constexpr LRESULT HTBOTTOMLEFT = 16;
constexpr LRESULT HTBOTTOMRIGHT = 17;
constexpr LRESULT HTBORDER = 18;
constexpr LRESULT HTCLOSE = 20;
constexpr LRESULT HTHELP = 21;

// ---- Styles ----
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_MDICHILD = 0x00000040;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD WS_EX_COMPOSITED = 0x02000000;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;
constexpr UINT CS_CLASSDC = 0x0040;
constexpr UINT CS_PARENTDC = 0x0080;
constexpr UINT CS_NOCLOSE = 0x0200;
constexpr UINT CS_SAVEBITS = 0x0800;
constexpr UINT CS_GLOBALCLASS = 0x4000;

// ---- Structures ----
struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

struct WNDCLASSEXW {
  UINT cbSize = sizeof(WNDCLASSEXW);
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  HBRUSH hbrBackground = nullptr;  // a brush, or a system colour index + 1
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
  HICON hIconSm = nullptr;
};

// WM_COPYDATA's LParam: Size bytes at Data, valid only while the message is handled.
struct COPYDATASTRUCT {
  ULONG_PTR dwData = 0;
  DWORD cbData = 0;
  void* lpData = nullptr;
};

struct CREATESTRUCTW {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  int cy = 0;
  int cx = 0;
  int y = 0;
  int x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
};

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos = nullptr;
};

struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};

struct STYLESTRUCT {
  DWORD styleOld = 0;
  DWORD styleNew = 0;
};

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;
  RECT rcPaint;
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};

struct CBT_CREATEWNDW {
  CREATESTRUCTW* lpcs = nullptr;
  HWND hwndInsertAfter = nullptr;
};
struct CBTACTIVATESTRUCT {
  BOOL fMouse = FALSE;
  HWND hWndActive = nullptr;
};

struct MONITORINFO {
  DWORD cbSize = sizeof(MONITORINFO);
  RECT rcMonitor;
  RECT rcWork;
  DWORD dwFlags = 0;
};
constexpr DWORD MONITORINFOF_PRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;

// ---- Classes ----
ATOM RegisterClassExW(const WNDCLASSEXW* wc);  // 0 when the name is taken
BOOL UnregisterClassW(const char* className, HINSTANCE instance);  // FALSE while windows of it exist
BOOL GetClassInfoExW(HINSTANCE instance, const char* className, WNDCLASSEXW* wc);
int GetClassNameW(HWND wnd, char* name, int maxCount);
// Atoms of registered classes may stand for the name: pass MAKEINTATOM(atom).
inline const char* MAKEINTATOM(ATOM a) { return reinterpret_cast<const char*>(uintptr_t(a)); }

// ---- Windows ----
constexpr int CW_USEDEFAULT = int(0x80000000);
HWND CreateWindowExW(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL DestroyWindow(HWND wnd);
BOOL IsWindow(HWND wnd);
BOOL IsWindowVisible(HWND wnd);  // this window and all its ancestors have WS_VISIBLE
BOOL IsWindowEnabled(HWND wnd);
BOOL EnableWindow(HWND wnd, BOOL enable);  // returns TRUE when it was disabled
BOOL IsChild(HWND parent, HWND wnd);
BOOL IsIconic(HWND wnd);
BOOL IsZoomed(HWND wnd);
HWND GetParent(HWND wnd);  // the parent of a child, the owner of a popup
HWND SetParent(HWND wnd, HWND newParent);
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;
HWND GetAncestor(HWND wnd, UINT flags);
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
HWND GetWindow(HWND wnd, UINT cmd);  // z-order: GW_HWNDNEXT goes towards the bottom
HWND GetTopWindow(HWND wnd);         // the topmost child (of the desktop for null)
HWND GetDesktopWindow();
BOOL EnumWindows(WNDENUMPROC proc, LPARAM param);  // top-level windows, front to back
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param);  // descendants, depth first
HWND FindWindowW(const char* className, const char* windowName);
// Children of parent (top-level windows for null or the desktop) after childAfter,
// matched by class name or atom and by exact text; null for either matches any.
HWND FindWindowExW(HWND parent, HWND childAfter, const char* className, const char* windowName);

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
constexpr int GWL_WNDPROC = GWLP_WNDPROC;
constexpr int GWL_ID = GWLP_ID;
constexpr int GWL_USERDATA = GWLP_USERDATA;
// Indices >= 0 address the class's cbWndExtra bytes. GWL_STYLE and GWL_EXSTYLE
// send WM_STYLECHANGING / WM_STYLECHANGED; the frame is recomputed by
// SetWindowPos with SWP_FRAMECHANGED, as documented.
LONG_PTR GetWindowLongPtrW(HWND wnd, int index);
LONG_PTR SetWindowLongPtrW(HWND wnd, int index, LONG_PTR value);
inline LONG GetWindowLongW(HWND wnd, int index) { return LONG(GetWindowLongPtrW(wnd, index)); }

BOOL SetWindowTextW(HWND wnd, const char* text);  // sends WM_SETTEXT
int GetWindowTextW(HWND wnd, char* text, int maxCount);
int GetWindowTextLengthW(HWND wnd);

BOOL SetPropW(HWND wnd, const char* name, HANDLE data);
HANDLE GetPropW(HWND wnd, const char* name);
HANDLE RemovePropW(HWND wnd, const char* name);

// ---- Position, size, z-order ----
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline HWND const HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline HWND const HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOCOPYBITS = 0x0100;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
constexpr UINT SWP_NOSENDCHANGING = 0x0400;
constexpr UINT SWP_DEFERERASE = 0x2000;
constexpr UINT SWP_ASYNCWINDOWPOS = 0x4000;
constexpr UINT SWP_NOREPOSITION = SWP_NOOWNERZORDER;

// The topmost band: windows with WS_EX_TOPMOST stay above all others; owned
// windows stay above their owner.
BOOL SetWindowPos(HWND wnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND wnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND wnd);
BOOL GetWindowRect(HWND wnd, RECT* r);  // screen coordinates
BOOL GetClientRect(HWND wnd, RECT* r);  // (0, 0, width, height)
BOOL ClientToScreen(HWND wnd, POINT* p);
BOOL ScreenToClient(HWND wnd, POINT* p);
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
BOOL AdjustWindowRectEx(RECT* r, DWORD style, BOOL menu, DWORD exStyle);
// Skips hidden windows and click-through ones: layered windows with
// WS_EX_TRANSPARENT, and per-pixel-alpha windows where the pixel's alpha is 0.
HWND WindowFromPoint(POINT p);
HWND ChildWindowFromPoint(HWND parent, POINT clientPoint);

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;
// Returns whether the window was visible before.
BOOL ShowWindow(HWND wnd, int cmd);

// ---- Window procedures ----
LRESULT CallWindowProcW(WNDPROC proc, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The default behaviour: the frame (WM_NCCALCSIZE, WM_NCHITTEST, WM_NCPAINT,
// WM_NCACTIVATE), moving and sizing by the frame, WM_SIZE/WM_MOVE after
// WM_WINDOWPOSCHANGED, focus on activation, erasing with the class brush,
// validation of WM_PAINT, WM_CLOSE destroying the window, text.
LRESULT DefWindowProcW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// A window procedure value that calls fn: lets an object subclass a window
// (SetWindowLongPtrW(GWLP_WNDPROC)) with its own state. Free it once no window
// uses it any more.
using TWndProcFunction = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
WNDPROC MakeObjectInstance(TWndProcFunction fn);
void FreeObjectInstance(WNDPROC instance);

// ---- Messages and queues ----
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Calls the window procedure at once (nested); from a worker thread, on the
// main thread through the dispatcher. 0 for a window that does not exist.
LRESULT SendMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Any thread. A null window posts to the main thread's queue itself.
BOOL PostMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// Any thread. Sets the quit request: once the queue holds no posted message,
// the next GetMessageW / PeekMessageW retrieves WM_QUIT (wParam = exitCode) and
// clears it. The pump of nested waits (ProcessPendingMessages) leaves it set.
void PostQuitMessage(int exitCode);
// Order of retrieval: posted and input messages, then WM_QUIT, then WM_PAINT,
// then WM_TIMER. A filter of 0, 0 takes every message.
BOOL PeekMessageW(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax, UINT removeMsg);
// Waits (serving the main-thread dispatcher meanwhile) for a message. Returns
// 0 for WM_QUIT, else TRUE.
BOOL GetMessageW(MSG* msg, HWND wnd, UINT filterMin, UINT filterMax);
// Waits until a message, an input event or a dispatcher call is pending;
// dispatcher calls that came in meanwhile are served.
BOOL WaitMessage();
BOOL TranslateMessage(const MSG* msg);
// Runs the window procedure; WM_TIMER with a timer procedure in lParam calls it.
LRESULT DispatchMessageW(const MSG* msg);
DWORD GetMessageTime();
DWORD GetMessagePos();
BOOL InSendMessage();
// The id of the main thread, owner of every window.
DWORD GetWindowThreadProcessId(HWND wnd, DWORD* processId);
// Milliseconds of the backend's clock (virtual in the headless backend).
DWORD GetTickCount();

// ---- Painting ----
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
constexpr UINT RDW_NOERASE = 0x0020;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_NOFRAME = 0x0800;

// Rectangles and regions are in client coordinates. Without WS_CLIPCHILDREN the
// children under the area are invalidated too. A null window stands for the
// screen: every visible top-level window the area (screen coordinates, null:
// all) meets is invalidated, its frame too where the area meets it.
BOOL InvalidateRect(HWND wnd, const RECT* r, BOOL erase);
BOOL InvalidateRgn(HWND wnd, HRGN rgn, BOOL erase);
BOOL ValidateRect(HWND wnd, const RECT* r);
BOOL RedrawWindow(HWND wnd, const RECT* r, HRGN rgn, UINT flags);
BOOL UpdateWindow(HWND wnd);  // sends WM_PAINT at once to the window and its children when they need it
// A brush of a fixed system colour, owned by the layer (never deleted).
HBRUSH GetSysColorBrush(int index);
BOOL GetUpdateRect(HWND wnd, RECT* r, BOOL erase);
int GetUpdateRgn(HWND wnd, HRGN rgn, BOOL erase);
// Sends WM_NCPAINT and WM_ERASEBKGND when pending; the DC is clipped to the
// update region and the window's visible part; the update region is validated.
HDC BeginPaint(HWND wnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND wnd, const PAINTSTRUCT* ps);
// A DC over the client area (GetDC) or the whole window (GetWindowDC), drawing
// into the top-level window's surface, clipped to the visible part. Every DC
// must be released; DCs stay valid when windows move or surfaces are re-made.
// A null window gives a DC over a picture of the whole screen (screen
// coordinates): the visible top-level windows composed back to front as they
// show, inside their regions and with their alpha; drawing into it is discarded.
HDC GetDC(HWND wnd);
HDC GetWindowDC(HWND wnd);
constexpr DWORD DCX_WINDOW = 0x00000001;
constexpr DWORD DCX_CACHE = 0x00000002;
constexpr DWORD DCX_CLIPCHILDREN = 0x00000008;
constexpr DWORD DCX_CLIPSIBLINGS = 0x00000010;
constexpr DWORD DCX_PARENTCLIP = 0x00000020;
constexpr DWORD DCX_EXCLUDERGN = 0x00000040;
constexpr DWORD DCX_INTERSECTRGN = 0x00000080;
// DCX_WINDOW, DCX_INTERSECTRGN (clip further to clip, window coordinates for DCX_WINDOW) are honoured.
HDC GetDCEx(HWND wnd, HRGN clip, DWORD flags);
int ReleaseDC(HWND wnd, HDC dc);
HWND WindowFromDC(HDC dc);
// The window's surface (top-level windows own one; children paint into their
// root's): a 32-bit DIB section covering the whole window. Borrowed.
HBITMAP GetWindowSurface(HWND wnd);
// The offset of the window's top-left corner inside its root's surface.
POINT GetWindowSurfaceOffset(HWND wnd);

// WM_PRINT flags: DefWindowProcW draws the frame, sends WM_ERASEBKGND and
// WM_PRINTCLIENT with the DC, and prints visible children at their places.
constexpr LPARAM PRF_CHECKVISIBLE = 0x00000001;
constexpr LPARAM PRF_NONCLIENT = 0x00000002;
constexpr LPARAM PRF_CLIENT = 0x00000004;
constexpr LPARAM PRF_ERASEBKGND = 0x00000008;
constexpr LPARAM PRF_CHILDREN = 0x00000010;
constexpr LPARAM PRF_OWNED = 0x00000020;

// ---- Window shapes and layered windows ----
// The region (window coordinates) becomes the window's: the system owns it
// afterwards. nullptr gives back the plain rectangle. Hit testing and drawing
// keep inside it; the display backend shows only that part.
int SetWindowRgn(HWND wnd, HRGN rgn, BOOL redraw);
// Copies the window's region into rgn; ERROR when it has none.
int GetWindowRgn(HWND wnd, HRGN rgn);
constexpr DWORD LWA_COLORKEY = 0x00000001;
constexpr DWORD LWA_ALPHA = 0x00000002;
constexpr DWORD ULW_COLORKEY = 0x00000001;
constexpr DWORD ULW_ALPHA = 0x00000002;
constexpr DWORD ULW_OPAQUE = 0x00000004;
// For windows with WS_EX_LAYERED: how the backend blends the surface.
BOOL SetLayeredWindowAttributes(HWND wnd, COLORREF key, BYTE alpha, DWORD flags);
BOOL GetLayeredWindowAttributes(HWND wnd, COLORREF* key, BYTE* alpha, DWORD* flags);
// Moves and sizes the window (when dstPos / size are given) and copies the
// source DC's pixels from srcPos into its surface. ULW_ALPHA: the surface's
// alpha channel (premultiplied) is the window's per-pixel opacity.
BOOL UpdateLayeredWindow(HWND wnd, HDC dst, const POINT* dstPos, const SIZE* size, HDC src, const POINT* srcPos,
                         COLORREF key, const BLENDFUNCTION* blend, DWORD flags);

// ---- Mouse leave tracking ----
constexpr DWORD TME_HOVER = 0x00000001;
constexpr DWORD TME_LEAVE = 0x00000002;
constexpr DWORD TME_NONCLIENT = 0x00000010;
constexpr DWORD TME_CANCEL = 0x80000000;
struct TRACKMOUSEEVENT {
  DWORD cbSize = sizeof(TRACKMOUSEEVENT);
  DWORD dwFlags = 0;
  HWND hwndTrack = nullptr;
  DWORD dwHoverTime = 0;
};
constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFF;  // the system's hover time (400 ms)
// TME_LEAVE: WM_MOUSELEAVE (WM_NCMOUSELEAVE with TME_NONCLIENT) is posted once
// the mouse leaves the window's client area (frame); the request then ends.
// TME_HOVER: WM_MOUSEHOVER (WM_NCMOUSEHOVER) is posted once the mouse rested
// dwHoverTime ms within a few pixels over the window; moving further starts
// the wait again; the request then ends.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* event);

// ---- Dropped files ----
struct HDROP__;
using HDROP = HDROP__*;
// Sets or clears WS_EX_ACCEPTFILES: dropped files reach the window as WM_DROPFILES.
void DragAcceptFiles(HWND wnd, BOOL accept);
// index 0xFFFFFFFF: the number of files. Otherwise copies the file name (UTF-8)
// into file (when given) and returns its length in bytes without the NUL.
UINT DragQueryFileW(HDROP drop, UINT index, char* file, UINT size);
// The drop point in the client coordinates of the window that got the drop;
// FALSE when it lies outside that window's client area.
BOOL DragQueryPoint(HDROP drop, POINT* point);
// Frees the drop record; every WM_DROPFILES must end with it.
void DragFinish(HDROP drop);

// ---- Timers ----
UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND wnd, UINT_PTR id);

// ---- Input, capture, focus, activation ----
HWND SetCapture(HWND wnd);  // sends WM_CAPTURECHANGED to the window losing it
BOOL ReleaseCapture();
HWND GetCapture();
HWND SetFocus(HWND wnd);  // WM_KILLFOCUS to the old, WM_SETFOCUS to the new; activates its root
HWND GetFocus();
HWND SetActiveWindow(HWND wnd);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND wnd);
HWND GetForegroundWindow();
BOOL GetCursorPos(POINT* p);
BOOL SetCursorPos(int x, int y);

constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_F4 = 0x73;
constexpr int VK_F6 = 0x75;
constexpr int VK_F10 = 0x79;
// Bit 15 set while the key (or mouse button) is down.
short GetKeyState(int vk);
short GetAsyncKeyState(int vk);

// ---- Hooks ----
constexpr int WH_GETMESSAGE = 3;
constexpr int WH_CALLWNDPROC = 4;
constexpr int WH_CBT = 5;
constexpr int HCBT_MOVESIZE = 0;
constexpr int HCBT_MINMAX = 1;
constexpr int HCBT_CREATEWND = 3;
constexpr int HCBT_DESTROYWND = 4;
constexpr int HCBT_ACTIVATE = 5;
constexpr int HCBT_SYSCOMMAND = 8;
constexpr int HCBT_SETFOCUS = 9;
// WH_CBT: HCBT_CREATEWND (wParam the new window, lParam a CBT_CREATEWNDW;
// non-zero cancels the creation), HCBT_DESTROYWND, HCBT_ACTIVATE (lParam a
// CBTACTIVATESTRUCT; non-zero prevents it), HCBT_SETFOCUS (non-zero prevents it).
// The last hook set runs first; CallNextHookEx passes on.
HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE mod, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// ---- Metrics and monitors ----
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CXFIXEDFRAME = SM_CXDLGFRAME;
constexpr int SM_CYFIXEDFRAME = SM_CYDLGFRAME;
constexpr int SM_CXSIZE = 30;
constexpr int SM_CYSIZE = 31;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CXSIZEFRAME = SM_CXFRAME;
constexpr int SM_CYSIZEFRAME = SM_CYFRAME;
constexpr int SM_CXMINTRACK = 34;
constexpr int SM_CYMINTRACK = 35;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CYSMCAPTION = 51;
constexpr int SM_CXSMSIZE = 52;
constexpr int SM_CYSMSIZE = 53;
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CMONITORS = 80;
int GetSystemMetrics(int index);

constexpr UINT SPI_GETWORKAREA = 0x0030;
BOOL SystemParametersInfoW(UINT action, UINT uiParam, void* pvParam, UINT winIni);

HMONITOR MonitorFromPoint(POINT p, DWORD flags);
HMONITOR MonitorFromRect(const RECT* r, DWORD flags);
HMONITOR MonitorFromWindow(HWND wnd, DWORD flags);
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);
using MONITORENUMPROC = BOOL (*)(HMONITOR, HDC, RECT*, LPARAM);
BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC proc, LPARAM data);

// ---- Message boxes ----
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFBUTTON4 = 0x00000300;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_HELP = 0x00004000;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONHAND = MB_ICONERROR;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDHELP = 9;
// A modal "#32770" window of the layer (platform/win/MessageBox.h says how it
// behaves); without a caption it shows the application's title ("Error"
// while there is none). The headless backend records every box and, while
// its ScriptedMessageBoxes holds, answers its scripted reply instead of
// showing one.
int MessageBoxW(HWND owner, const char* text, const char* caption, UINT type);
// The title the application goes by (its framework object sets it).
void SetApplicationTitle(const char* title);
const char* GetApplicationTitle();
struct HELPINFO {
  UINT cbSize = sizeof(HELPINFO);
  int iContextType = 0;
  int iCtrlId = 0;
  HANDLE hItemHandle = nullptr;
  ULONG_PTR dwContextId = 0;
  POINT MousePos;
};
using MSGBOXCALLBACK = void (*)(HELPINFO* info);
struct MSGBOXPARAMSW {
  UINT cbSize = sizeof(MSGBOXPARAMSW);
  HWND hwndOwner = nullptr;
  HINSTANCE hInstance = nullptr;
  const char* lpszText = nullptr;
  const char* lpszCaption = nullptr;
  DWORD dwStyle = 0;
  const char* lpszIcon = nullptr;
  ULONG_PTR dwContextHelpId = 0;
  MSGBOXCALLBACK lpfnMsgBoxCallback = nullptr;
  DWORD dwLanguageId = 0;
};
// With MB_HELP, the Help button calls the callback with the context id (the box stays).
int MessageBoxIndirectW(const MSGBOXPARAMSW* params);

// ======== The dialog manager and further window and device queries ========

// Windows of class "#32770" (WC_DIALOG, atom 32770) have DefDlgProcW as their
// class procedure; a dialog procedure set at DWLP_DLGPROC sees each message
// first and answers TRUE when it handled it (its result then in DWLP_MSGRESULT).
inline const char* const WC_DIALOG = reinterpret_cast<const char*>(uintptr_t(0x8002));
constexpr int DLGWINDOWEXTRA = 30;
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;
using DLGPROC = LONG_PTR (*)(HWND, UINT, WPARAM, LPARAM);
constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SYSMODAL = 0x0002;
constexpr DWORD DS_LOCALEDIT = 0x0020;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_NOFAILCREATE = 0x0010;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;

LRESULT DefDlgProcW(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Keyboard navigation for a dialog (or any window with tab-stop children):
// Tab / Shift+Tab move through the WS_TABSTOP controls, arrows within a
// WS_GROUP run, Enter presses the default button (DM_GETDEFID, else IDOK),
// Escape sends IDCANCEL. Controls keep keys they ask for through WM_GETDLGCODE.
// Every other message for the dialog or its descendants is dispatched here.
// FALSE: the message was not for this dialog.
BOOL IsDialogMessageW(HWND dlg, MSG* msg);
HWND GetNextDlgTabItem(HWND dlg, HWND ctl, BOOL previous);
HWND GetNextDlgGroupItem(HWND dlg, HWND ctl, BOOL previous);
HWND GetDlgItem(HWND dlg, int id);
int GetDlgCtrlID(HWND wnd);
LRESULT SendDlgItemMessageW(HWND dlg, int id, UINT msg, WPARAM wParam, LPARAM lParam);

// Scrolling a window's client area: the pixels move, what they uncover is
// invalidated (SW_INVALIDATE, SW_ERASE), pending updates move with them, and
// with SW_SCROLLCHILDREN (always for ScrollWindow without a scroll rectangle)
// the children move too.
constexpr UINT SW_SCROLLCHILDREN = 0x0001;
constexpr UINT SW_INVALIDATE = 0x0002;
constexpr UINT SW_ERASE = 0x0004;
BOOL ScrollWindow(HWND wnd, int dx, int dy, const RECT* scroll, const RECT* clip);
int ScrollWindowEx(HWND wnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update, RECT* updateRect,
                   UINT flags);

// Shows or hides at once: there is no animation.
constexpr DWORD AW_HOR_POSITIVE = 0x00000001;
constexpr DWORD AW_HOR_NEGATIVE = 0x00000002;
constexpr DWORD AW_VER_POSITIVE = 0x00000004;
constexpr DWORD AW_VER_NEGATIVE = 0x00000008;
constexpr DWORD AW_CENTER = 0x00000010;
constexpr DWORD AW_HIDE = 0x00010000;
constexpr DWORD AW_ACTIVATE = 0x00020000;
constexpr DWORD AW_SLIDE = 0x00040000;
constexpr DWORD AW_BLEND = 0x00080000;
BOOL AnimateWindow(HWND wnd, DWORD time, DWORD flags);

// What a device answers about itself: every DC draws 32-bit colour at 96 dots per inch;
// HORZRES / VERTRES are the primary monitor's size.
constexpr int HORZSIZE = 4;
constexpr int VERTSIZE = 6;
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int SIZEPALETTE = 104;
constexpr int COLORRES = 108;
constexpr int DESKTOPVERTRES = 117;
constexpr int DESKTOPHORZRES = 118;
constexpr int RC_BITBLT = 0x0001;
constexpr int RC_STRETCHBLT = 0x0800;
constexpr int RC_DI_BITMAP = 0x0080;
int GetDeviceCaps(HDC dc, int index);

// Text, prefixed text, an icon or a bitmap, plain, disabled (embossed),
// dithered (DSS_UNION) or in one colour (DSS_MONO, the brush's).
using DRAWSTATEPROC = BOOL (*)(HDC, LPARAM, WPARAM, int, int);
constexpr UINT DST_COMPLEX = 0x0000;
constexpr UINT DST_TEXT = 0x0001;
constexpr UINT DST_PREFIXTEXT = 0x0002;
constexpr UINT DST_ICON = 0x0003;
constexpr UINT DST_BITMAP = 0x0004;
constexpr UINT DSS_NORMAL = 0x0000;
constexpr UINT DSS_UNION = 0x0010;
constexpr UINT DSS_DISABLED = 0x0020;
constexpr UINT DSS_MONO = 0x0080;
constexpr UINT DSS_HIDEPREFIX = 0x0200;
constexpr UINT DSS_PREFIXONLY = 0x0400;
constexpr UINT DSS_RIGHT = 0x8000;
BOOL DrawStateW(HDC dc, HBRUSH brush, DRAWSTATEPROC proc, LPARAM data, WPARAM wData, int x, int y, int cx, int cy,
                UINT flags);

#include "platform/win/Controls.h"
#include "platform/win/Menu.h"
#include "platform/win/Mdi.h"
