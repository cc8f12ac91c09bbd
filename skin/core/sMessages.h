#pragma once
// The skin command message, the one private message every part of the
// skinning library sends to skinned windows and controls: the high word of
// WParam names the sub-command (SKC_), the low word carries a small argument,
// LParam the manager concerned or a request record. A window whose record has
// a window procedure gets it by a direct call of that procedure (no trip
// through the window system), so commands reach controls whose window
// procedure a handler has replaced.

#include <functional>

#include "platform/vcl/Controls.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/acntTypes.h"
#include "skin/core/sSkinRecords.h"

class TsCommonData;

inline constexpr UINT WM_SKINCOMMAND = 0xA100;
inline constexpr UINT WM_SKINEDITOR = 0xA400;

enum : int {
  SKC_SKINCHANGED = 1, SKC_SKINREMOVED = 2, SKC_SKINLOADED = 3, SKC_GETPROVIDER = 4, SKC_MDINOTIFY = 5,
  SKC_REFRESH = 6, SKC_ISSKINNED = 7, SKC_SETUPDATING = 8, SKC_GETSKININDEX = 9, SKC_ISUPDATING = 10,
  SKC_ISHALFVISIBLE = 11, SKC_GETHANDLER = 12, SKC_UPDATESECTION = 13, SKC_MENURGNCHANGED = 14,
  SKC_SETSECTION = 15, SKC_STOPANIMATION = 16, SKC_BGCHANGED = 17, SKC_INVALIDATE = 18, SKC_COMPLEXBG = 19,
  SKC_PARENTMOVED = 20, SKC_GETBGCOLOR = 21, SKC_SETHALFVISIBLE = 22, SKC_PREPARECACHE = 23,
  SKC_ADAPTCONTROL = 25, SKC_GETSKININFO = 26, SKC_GETSKINMANAGER = 27, SKC_MOUSEENTER = 29,
  SKC_MOUSELEAVE = 30, SKC_BEGINUPDATE = 31, SKC_ENDUPDATE = 32, SKC_CLEARCACHE = 33, SKC_GETBGINFO = 34,
  SKC_GETSKINDATA = 37, SKC_SETPRINTDC = 38, SKC_PAINTOUTER = 40, SKC_BEGINREDRAW = 51, SKC_ENDREDRAW = 52,
  SKC_FRAMECHANGED = 53, SKC_GETAPPLICATION = 60, SKC_GETCLIENTOFFSET = 61, SKC_TITLECHANGED = 62,
  SKC_SETSLAVE = 63, SKC_ISSLAVE = 64, SKC_SETALPHA = 65, SKC_GETSTATESKIN = 66, SKC_GETBORDERWIDTH = 67,
  SKC_SETSCALE = 68, SKC_GETSCALE = 69, SKC_GETBOUNDS = 70, SKC_LOADPREVIEW = 71, SKC_POPUPCLOSED = 72,
  SKC_SETSHADOWPOS = 73, SKC_LISTSKINCHANGED = 74, SKC_SKINLISTCHANGED = 75, SKC_PRINTED = 76,
  SKC_MOVEDONE = 77, SKC_MOVEALPHA = 78, SKC_GETBORDERZORDER = 79, SKC_BORDERSSHOWN = 80,
  SKC_MOVESTARTED = 81, SKC_MOVESTOPPED = 82
};

// The record of skin command 66: which section paints State at R.
struct TacStateQuery {
  int State = 0;
  int SkinIndex = -1;
  TRect R;
};

inline constexpr WPARAM SkinCommandWParam(int Cmd, int Low = 0) { return (WPARAM(unsigned(Cmd)) << 16) | WPARAM(Low & 0xFFFF); }
inline constexpr int SkinCommandOf(const TMessage& M) { return int((M.WParam >> 16) & 0xFFFF); }
inline constexpr int SkinCommandArg(const TMessage& M) { return int(M.WParam & 0xFFFF); }
TMessage MakeMessage(UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT Result = 0);

// ---- Sending ----
LRESULT SendSkinMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
LRESULT SendSkinCommand(HWND Wnd, int Cmd, LPARAM LParam = 0);
// A graphic control through Perform; a windowed one without handle or being destroyed answers 0.
LRESULT SendSkinCommandToControl(TControl* Control, int Cmd, LPARAM LParam = 0, int Low = 0);
LRESULT QuerySkinCommand(TControl* Control, int Cmd);
bool WindowAnswersCommand(HWND Wnd, int Cmd);
void SendSetRedraw(HWND Wnd, bool On);

// ---- Broadcasting and repainting ----
// Skin command 6 to the children that are not being destroyed (windows only when showing).
void RefreshChildControls(TWinControl* Control);
void RefreshChildWindows(HWND Wnd);
// Children in order, stopping at the first one being destroyed; windows with a
// handle get it through SendSkinMessage and pass it on to their own children
// unless they are skinned (a skinned window passes it on itself) or the filter
// says to skip them.
void BroadcastToChildren(TWinControl* Control, TMessage& Message);
// Optional: windows for which the filter answers true are not walked into.
inline std::function<bool(TWinControl*)> BroadcastSkipFilter;
// The direct child windows of Wnd.
void BroadcastToChildWindows(HWND Wnd, TMessage& Message);
// Skin command 25 with the control to its parent form.
void NotifyParentForm(TControl* Control);
void ForEachChildControl(TWinControl* Control, LPARAM Param, const std::function<void(TControl*, LPARAM)>& Proc);

// ---- Colours and state of controls ----
// The colour Control's children see (clFuchsia for none), as RGB.
TColor ControlBgColor(TControl* Control);
TColor ControlBgColorOfWnd(HWND Wnd);
bool ControlIsPaintable(TControl* Control);
bool IsPaintableGraphic(TControl* Control, HDC DC);
// Which section paints a state of a control (skin command 66 with its bounds).
LRESULT ForwardStateQuery(TControl* Control, TacStateQuery& Query);

// ---- The common handlers every skinned control runs ----
// True when the skin command was handled (also for a nil record or another message).
bool HandleCommonSkinCommand(TMessage& Message, TsCommonData* Data);
// True when the message is consumed and the window procedure stops.
bool HandleCommonMessage(TMessage& Message, TsCommonData* Data);

// ---- Backgrounds from parents ----
// Asks Parent for the background behind a child (skin command 34); an
// unskinned parent paints itself into Info.DC (PleaseDraw) or answers its colour.
bool QueryParentBgInfo(TacBackgroundInfo& Info, TControl* Parent, bool PleaseDraw);
// The same for a bare window; false when nobody answered.
bool QueryWndBgInfo(TacBackgroundInfo& Info, HWND Wnd, bool PleaseDraw);
TCacheInfo GetParentCacheOfWnd(HWND Wnd);
// The record's cache into DC at ClipRect from SrcPoint, leaving out (moved by
// DX, DY) the children that paint themselves over it.
void CopyCacheToDC(TWinControl* Control, TsCommonData* Data, const TPoint& SrcPoint, const TRect& ClipRect, HDC DC,
                   bool RefreshCorners, int DX, int DY);
void CopyCacheToWndDC(HWND Wnd, TsCommonData* Data, const TPoint& SrcPoint, const TRect& ClipRect, HDC DC,
                      bool RefreshCorners, int DX, int DY);
// Repairs the cache's corners where the border mask is transparent from the
// parent's background. Corners: 1 top-left, 2 bottom-left, 4 top-right, 8 bottom-right.
void RefreshBgFromParent(TsCommonData* Data, int State, int Corners);
// The weight of a disabled control's own image when the parent shows through it.
inline uint8_t DisabledBlendValue = 100;
// Disabled look: bit 2 greys the bitmap, bit 1 blends the parent's background
// (from CI at Pos) over it.
void CopyParentBg(TBitmap* Bmp, int Kind, TControl* Parent, const TCacheInfo& CI, const TPoint& Pos);

// ---- Regions, corners and colours from a section ----
// The size's rectangle without the transparent runs of the section's border
// mask in its top and bottom rows; nullptr without a border. The caller owns it.
HRGN CreateMaskRegion(int SkinIndex, const TSize& Size, const TacSkinRecords* Manager);
// The same runs cleared to transparent black in a 32-bit bitmap.
void FillTransparentCorners(int SkinIndex, TBitmap* Bmp, const TacSkinRecords* Manager);
// The record's tone, hue and saturation over a bitmap (key pixels spared),
// then its border's transparent corners refilled from the parent.
void ApplyColorTransforms(TBitmap* Bmp, TsCommonData* Data, int State);
// The text colour of a section state for a window: the state's own when it is
// readable (transparency below 40), else the section that shows through (skin
// command 66); clBtnText when nothing skinned answers.
TColor GetSectionFontColor(HWND Wnd, int SkinIndex, const TacSkinRecords* Manager, int State);
// The control's visible graphic children painted over its background into DC
// at their places plus Offset (for WM_PRINT, which paints windows only). With
// CheckPrint nothing is painted for a hidden control; an empty clip marks the
// control half visible instead.
void PaintChildrenToDC(HDC DC, TWinControl* Control, bool CheckPrint, const TPoint& Offset);
class TacThreadedTimer;
// Jumps a running fade to its last step at once, stops it and drops its output.
void FinishTimerAnimation(TacThreadedTimer* Timer);

// ---- Window and mouse utilities ----
TPoint SafeGetCursorPos();
HWND TopParentWindow(HWND Wnd);
bool HasParentWindow(HWND Wnd, HWND Parent);
String GetWndClassName(HWND Wnd);
TRect ClientRectInWindow(HWND Wnd);
class TCustomForm;
TCustomForm* OwnerFormOf(TComponent* Component);
UINT AlignToDrawTextFlags(TAlignment Alignment);
bool MouseInWindow(HWND Wnd);
// The control under the cursor: the framework window there, or its last child
// whose bounds hold the cursor; nullptr over no framework window.
TControl* ControlAtCursor();
// The framework's style services are never on here.
constexpr bool VclStylesEnabled() { return false; }
bool IsMouseOverControl(TControl* Control);
