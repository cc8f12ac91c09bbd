#pragma once
// Menus of the window layer: menu handles with their items, the menu bar in a
// window's frame, the system menu, and popup menus tracked in a modal loop.
//
// A popup menu shows as a top-level window of class "#32768" (atom 0x8000,
// which creation hooks see), owned by the window the menu reports to. While a
// menu is tracked the owner gets WM_ENTERMENULOOP, WM_INITMENU (menu bar and
// system menu), WM_INITMENUPOPUP, WM_MEASUREITEM / WM_DRAWITEM for owner-drawn
// items, WM_MENUSELECT as the selection moves, WM_ENTERIDLE whenever the
// loop runs out of input, and WM_EXITMENULOOP at the end. The chosen command
// comes back as WM_COMMAND (WM_SYSCOMMAND from the system menu) or, with
// TPM_RETURNCMD, as the result. TPM_NONOTIFY leaves out every notice except
// the owner-drawing ones. Texts are UTF-8; "&" marks the mnemonic, "\t"
// starts the shortcut text shown on the right.

#include "platform/win/Windows.h"

constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_MENUCHAR = 0x0120;
constexpr UINT WM_MENURBUTTONUP = 0x0122;
constexpr UINT WM_UNINITMENUPOPUP = 0x0125;
// Asks a "#32768" window for its menu.
constexpr UINT MN_GETHMENU = 0x01E1;
// WM_ENTERIDLE's wParam: who runs the loop.
constexpr WPARAM MSGF_DIALOGBOX = 0;
constexpr WPARAM MSGF_MENU = 2;
// WM_MENUCHAR answers (high word).
constexpr LRESULT MNC_IGNORE = 0;
constexpr LRESULT MNC_CLOSE = 1;
constexpr LRESULT MNC_EXECUTE = 2;
constexpr LRESULT MNC_SELECT = 3;

constexpr UINT MF_INSERT = 0x00000000;
constexpr UINT MF_CHANGE = 0x00000080;
constexpr UINT MF_APPEND = 0x00000100;
constexpr UINT MF_DELETE = 0x00000200;
constexpr UINT MF_REMOVE = 0x00001000;
constexpr UINT MF_BYCOMMAND = 0x00000000;
constexpr UINT MF_BYPOSITION = 0x00000400;
constexpr UINT MF_SEPARATOR = 0x00000800;
constexpr UINT MF_ENABLED = 0x00000000;
constexpr UINT MF_GRAYED = 0x00000001;
constexpr UINT MF_DISABLED = 0x00000002;
constexpr UINT MF_UNCHECKED = 0x00000000;
constexpr UINT MF_CHECKED = 0x00000008;
constexpr UINT MF_USECHECKBITMAPS = 0x00000200;
constexpr UINT MF_STRING = 0x00000000;
constexpr UINT MF_BITMAP = 0x00000004;
constexpr UINT MF_OWNERDRAW = 0x00000100;
constexpr UINT MF_POPUP = 0x00000010;
constexpr UINT MF_MENUBARBREAK = 0x00000020;
constexpr UINT MF_MENUBREAK = 0x00000040;
constexpr UINT MF_UNHILITE = 0x00000000;
constexpr UINT MF_HILITE = 0x00000080;
constexpr UINT MF_DEFAULT = 0x00001000;
constexpr UINT MF_SYSMENU = 0x00002000;
constexpr UINT MF_HELP = 0x00004000;
constexpr UINT MF_RIGHTJUSTIFY = 0x00004000;
constexpr UINT MF_MOUSESELECT = 0x00008000;

constexpr UINT MFT_STRING = MF_STRING;
constexpr UINT MFT_BITMAP = MF_BITMAP;
constexpr UINT MFT_MENUBARBREAK = MF_MENUBARBREAK;
constexpr UINT MFT_MENUBREAK = MF_MENUBREAK;
constexpr UINT MFT_OWNERDRAW = MF_OWNERDRAW;
constexpr UINT MFT_RADIOCHECK = 0x00000200;
constexpr UINT MFT_SEPARATOR = MF_SEPARATOR;
constexpr UINT MFT_RIGHTORDER = 0x00002000;
constexpr UINT MFT_RIGHTJUSTIFY = MF_RIGHTJUSTIFY;

constexpr UINT MFS_GRAYED = 0x00000003;
constexpr UINT MFS_DISABLED = MFS_GRAYED;
constexpr UINT MFS_CHECKED = MF_CHECKED;
constexpr UINT MFS_HILITE = MF_HILITE;
constexpr UINT MFS_ENABLED = MF_ENABLED;
constexpr UINT MFS_UNCHECKED = MF_UNCHECKED;
constexpr UINT MFS_UNHILITE = MF_UNHILITE;
constexpr UINT MFS_DEFAULT = MF_DEFAULT;

constexpr UINT MIIM_STATE = 0x00000001;
constexpr UINT MIIM_ID = 0x00000002;
constexpr UINT MIIM_SUBMENU = 0x00000004;
constexpr UINT MIIM_CHECKMARKS = 0x00000008;
constexpr UINT MIIM_TYPE = 0x00000010;
constexpr UINT MIIM_DATA = 0x00000020;
constexpr UINT MIIM_STRING = 0x00000040;
constexpr UINT MIIM_BITMAP = 0x00000080;
constexpr UINT MIIM_FTYPE = 0x00000100;

struct MENUITEMINFOW {
  UINT cbSize = sizeof(MENUITEMINFOW);
  UINT fMask = 0;
  UINT fType = 0;
  UINT fState = 0;
  UINT wID = 0;
  HMENU hSubMenu = nullptr;
  HBITMAP hbmpChecked = nullptr;
  HBITMAP hbmpUnchecked = nullptr;
  ULONG_PTR dwItemData = 0;
  char* dwTypeData = nullptr;  // the text (UTF-8); on reading, a buffer of cch bytes
  UINT cch = 0;                // on reading: the text's length in bytes without the NUL
  HBITMAP hbmpItem = nullptr;
};

constexpr UINT MIM_MAXHEIGHT = 0x00000001;
constexpr UINT MIM_BACKGROUND = 0x00000002;
constexpr UINT MIM_HELPID = 0x00000004;
constexpr UINT MIM_MENUDATA = 0x00000008;
constexpr UINT MIM_STYLE = 0x00000010;
constexpr UINT MIM_APPLYTOSUBMENUS = 0x80000000;
struct MENUINFO {
  DWORD cbSize = sizeof(MENUINFO);
  DWORD fMask = 0;
  DWORD dwStyle = 0;
  UINT cyMax = 0;
  HBRUSH hbrBack = nullptr;
  DWORD dwContextHelpID = 0;
  ULONG_PTR dwMenuData = 0;
};

constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_HORIZONTAL = 0x0000;
constexpr UINT TPM_VERTICAL = 0x0040;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;
constexpr UINT TPM_RECURSE = 0x0001;
struct TPMPARAMS {
  UINT cbSize = sizeof(TPMPARAMS);
  RECT rcExclude;  // screen coordinates the menu keeps clear of
};

HMENU CreateMenu();       // a menu bar
HMENU CreatePopupMenu();  // a drop-down menu
// Destroys the menu and its submenus.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// item is a command id (MF_BYCOMMAND, searched through submenus too) or a
// position (MF_BYPOSITION). With MF_POPUP, newItem is the submenu's handle.
// With MF_OWNERDRAW, newItem is the item data (the text stays empty).
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR newItem, const char* text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR newItem, const char* text);
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOW* info);
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOW* info);
// DeleteMenu destroys a submenu; RemoveMenu leaves it to the caller.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
int GetMenuItemCount(HMENU menu);  // -1 for an invalid menu
UINT GetMenuItemID(HMENU menu, int pos);  // 0xFFFFFFFF for a submenu or no item
HMENU GetSubMenu(HMENU menu, int pos);
// The item's MF_* state and type bits (for a submenu: its item count in the
// high byte and MF_POPUP); 0xFFFFFFFF when there is no such item.
UINT GetMenuState(HMENU menu, UINT id, UINT flags);
int GetMenuStringW(HMENU menu, UINT item, char* text, int maxCount, UINT flags);
// Return the previous state (MF_ENABLED/MF_GRAYED/MF_DISABLED, MF_CHECKED), or 0xFFFFFFFF.
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags);
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);  // item -1: none
UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags);
BOOL HiliteMenuItem(HWND wnd, HMENU menu, UINT item, UINT hilite);
BOOL GetMenuInfo(HMENU menu, MENUINFO* info);
BOOL SetMenuInfo(HMENU menu, const MENUINFO* info);

// The item's rectangle in screen coordinates: on the window's menu bar, or in
// the popup window that shows the menu now; FALSE when it is not shown.
BOOL GetMenuItemRect(HWND wnd, HMENU menu, UINT item, RECT* rect);
// The position of the item at a screen point, -1 for none.
int MenuItemFromPoint(HWND wnd, HMENU menu, POINT screen);

// The menu bar lies in the frame below the caption; it wraps onto further
// lines when the window is too narrow. SetMenu recomputes the frame.
BOOL SetMenu(HWND wnd, HMENU menu);
HMENU GetMenu(HWND wnd);
BOOL DrawMenuBar(HWND wnd);
// The window's own copy of the standard window menu (restore, move, size,
// minimise, maximise, close), made on first request; revert = TRUE destroys
// the copy and answers nullptr. A window made with WS_SYSMENU keeps its menu
// when the style bit is removed later; one made without it has none.
HMENU GetSystemMenu(HWND wnd, BOOL revert);

// Shows the menu at a screen point and tracks it until an item is chosen or
// the menu is dismissed (Escape, a click elsewhere, EndMenu, losing the
// capture). Returns the command with TPM_RETURNCMD (0 for none), else TRUE
// when the menu was shown. One menu is tracked at a time.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* ignored);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, const TPMPARAMS* params);
// Ends the menu being tracked, as if dismissed.
BOOL EndMenu();
