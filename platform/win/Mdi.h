#pragma once
// Multiple-document windows: a frame window holds one "MDICLIENT" child, and
// the client holds the document windows (MDI children, WS_EX_MDICHILD). The
// client keeps the active child, places children (tile, cascade, maximise),
// scrolls them when they lie beyond its area, lists them in the frame's
// window menu and, while the active child is maximised, shows the child's
// icon (its system menu) and its minimise, restore and close buttons in the
// frame's menu bar.
//
// The frame's procedure passes what it does not handle to DefFrameProcW, a
// child's to DefMDIChildProcW, as documented.

#include "platform/win/Windows.h"

constexpr UINT WM_MDICREATE = 0x0220;
constexpr UINT WM_MDIDESTROY = 0x0221;
constexpr UINT WM_MDIACTIVATE = 0x0222;
constexpr UINT WM_MDIRESTORE = 0x0223;
constexpr UINT WM_MDINEXT = 0x0224;
constexpr UINT WM_MDIMAXIMIZE = 0x0225;
constexpr UINT WM_MDITILE = 0x0226;
constexpr UINT WM_MDICASCADE = 0x0227;
constexpr UINT WM_MDIICONARRANGE = 0x0228;
constexpr UINT WM_MDIGETACTIVE = 0x0229;
constexpr UINT WM_MDISETMENU = 0x0230;
constexpr UINT WM_MDIREFRESHMENU = 0x0234;

constexpr WPARAM MDITILE_VERTICAL = 0x0000;    // side by side
constexpr WPARAM MDITILE_HORIZONTAL = 0x0001;  // one above the other
constexpr WPARAM MDITILE_SKIPDISABLED = 0x0002;
constexpr DWORD MDIS_ALLCHILDSTYLES = 0x0001;

constexpr WPARAM SC_NEXTWINDOW = 0xF040;
constexpr WPARAM SC_PREVWINDOW = 0xF050;

// Bitmap items of a menu bar drawn by the layer (MF_BITMAP / MIIM_BITMAP).
// HBMMENU_SYSTEM shows the icon of the window in the item's data.
inline HBITMAP const HBMMENU_SYSTEM = reinterpret_cast<HBITMAP>(1);
inline HBITMAP const HBMMENU_MBAR_RESTORE = reinterpret_cast<HBITMAP>(2);
inline HBITMAP const HBMMENU_MBAR_MINIMIZE = reinterpret_cast<HBITMAP>(3);
inline HBITMAP const HBMMENU_MBAR_CLOSE = reinterpret_cast<HBITMAP>(5);
inline HBITMAP const HBMMENU_MBAR_CLOSE_D = reinterpret_cast<HBITMAP>(6);
inline HBITMAP const HBMMENU_MBAR_MINIMIZE_D = reinterpret_cast<HBITMAP>(7);

// The client's creation data (CREATESTRUCTW::lpCreateParams): the menu the
// children are listed in (may be null) and the command id of the first child.
struct CLIENTCREATESTRUCT {
  HMENU hWindowMenu = nullptr;
  UINT idFirstChild = 0;
};

// WM_MDICREATE's LParam; it reaches the child as its lpCreateParams.
struct MDICREATESTRUCTW {
  const char* szClass = nullptr;
  const char* szTitle = nullptr;
  HINSTANCE hOwner = nullptr;
  int x = CW_USEDEFAULT;
  int y = CW_USEDEFAULT;
  int cx = CW_USEDEFAULT;
  int cy = CW_USEDEFAULT;
  DWORD style = 0;
  LPARAM lParam = 0;
};

// WM_COMMAND from the window menu's child entries activates that child;
// commands of the maximised child's system menu and buttons (SC_*) go to the
// child as WM_SYSCOMMAND; WM_SIZE fits the client into the frame's client
// area; the focus passes to the client. Everything else: DefWindowProcW.
LRESULT DefFrameProcW(HWND frame, HWND client, UINT msg, WPARAM wParam, LPARAM lParam);
// Activation on a click, a focus or WM_CHILDACTIVATE; closing through the
// client (WM_MDIDESTROY); maximise and restore reported to the client;
// next and previous window commands. Everything else: DefWindowProcW.
LRESULT DefMDIChildProcW(HWND child, UINT msg, WPARAM wParam, LPARAM lParam);
// Ctrl+F4 closes the active child, Ctrl+F6 (with Shift: backwards) activates
// the next one. TRUE when the key was taken.
BOOL TranslateMDISysAccel(HWND client, MSG* msg);
