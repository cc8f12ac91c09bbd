#pragma once
// Skinned scroll bars in a window's non-client area. The handler makes the
// window's own procedure compute the client area without its scroll bars,
// reserves the room itself (the skin's thickness, not the system's) and paints
// both bars and the size box from the skin's scroll sections, while the window
// keeps its own scroll state (GetScrollInfo / SetScrollInfo). Under the mouse
// the bars hot-track, press and repeat their arrows and page areas, and drag
// the thumb; the window only ever gets WM_HSCROLL / WM_VSCROLL.

#include <memory>

#include "platform/win/Controls.h"
#include "skin/controls/acMainWnd.h"

// The scroll-bar thickness of the skin manager that skins a control (the
// default manager when Manager is none or no manager): the manager's scroll
// options' size when set, else the system's.
int GetScrollWidth(const TacSkinRecords* Manager);

constexpr int kDefaultMinThumbSize = 16;

// A x B / C rounded to the nearest, halves away from zero; -1 for C = 0.
int MulDivRound(int A, int B, int C);
inline TRect MovedRect(TRect R, int DX, int DY) { return TRect(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY); }

class TacScrollWnd;

// One bar of a handled window.
class TacScrollBar {
 public:
  WORD fScrollFlags = 0;  // 8 while the window's style shows the bar
  WORD nBarType = SB_HORZ;
  int nArrowWidth = -1;
  int nArrowLength = -1;  // used when neither the record nor the options set a length
  int nButSizeAfter = 0, nButSizeBefore = 0;
  int nMinThumbSize = kDefaultMinThumbSize;
  bool fButVisibleBefore = false, fButVisibleAfter = false;
  TacScrollWnd* sw = nullptr;  // the owning handler; nullptr once released
  bool fScrollVisible = false;  // the bar takes room now
  SCROLLINFO ScrollInfo;
  bool Vertical() const { return nBarType == SB_VERT; }
};

class TacScrollWnd : public TacMainWnd {
 public:
  TacScrollWnd();
  ~TacScrollWnd() override;
  void acWndProc(TMessage& Message) override;

  bool fThumbTracking = false;
  bool fLeftScrollbar = false;
  bool ScrollsInitialized = false;
  bool bPreventStyleChange = false;
  std::unique_ptr<TacScrollBar> sBarHorz, sBarVert;
  int cxLeftEdge = 0, cxRightEdge = 0, cyTopEdge = 0, cyBottomEdge = 0;

  TacScrollBar* Bar(int Index) const { return Index == SB_HORZ ? sBarHorz.get() : Index == SB_VERT ? sBarVert.get() : nullptr; }

 protected:
  void InitSkinData() override;
  void SubclassWindow(HWND Wnd, bool Repaint) override;
  void Released() override;
  void BeforeDestruction() override;
  // Handled while skinned; false when the message goes on to the previous procedure.
  bool SkinnedMessage(TMessage& Message);
  void HandleNCCalcSize(TMessage& Message);
};

// ---- Services ----

// Makes or frees the handler of a control with a scroll-window record as the control is skinned or not.
void RefreshScrolls(TsCommonData* SkinData, TacHandlerPtr<TacScrollWnd>& ScrollWnd);
// Re-reads both bars' scroll state and repaints them (Repaint).
void UpdateScrolls(TacScrollWnd* Handler, bool Repaint);
TacScrollWnd* GetScrollWnd(HWND Wnd);
TacScrollBar* GetScrollBar(HWND Wnd, int Index);
// Which: 0 horizontal, 1 vertical, 3 both. False without a handler.
bool SetMinThumbSize(HWND Wnd, int Which, int Size);
// The bar's thickness (Thickness) or button length.
int ScrollBarMetric(TacScrollBar* Bar, bool Thickness);
// Screen rectangles of the bars.
TRect GetHScrollRect(TacScrollWnd* Handler, HWND Wnd);
TRect GetVScrollRect(TacScrollWnd* Handler, HWND Wnd);
bool GetScrollBarRect(TacScrollWnd* Handler, int Index, HWND Wnd, TRect& R);
// Thumb length and start along the bar, in R's coordinates.
void GetThumbMetrics(TacScrollBar* Bar, const TRect& R, int& Length, int& Start);
// Both bars and the size box into DC (nullptr: the window's DC). ThumbPos -1: from the scroll state.
void PaintScrollBars(TacScrollWnd* Handler, HWND Wnd, int ThumbPos, HDC DC);
// One bar at R (window coordinates); PressedPart and ThumbPos -1 for none.
void PaintScrollBar(TacScrollBar* Bar, HWND Wnd, HDC DC, const TRect& R, int PressedPart, int ThumbPos);

// An arrow button (Side: asLeft, asTop, asRight, asBottom) and a thumb painted at R
// of a bar's bitmap in a state (0 normal, 1 hot, 2 pressed), over what the bitmap holds there.
void PaintScrollButton(const TRect& R, int State, TBitmap* BarBmp, const TacSkinRecords* Skin, int Side);
void PaintScrollThumb(const TRect& R, int State, TBitmap* BarBmp, const TacSkinRecords* Skin, bool Vertical);

// ---- Mouse tracking ----

// Parts of a bar: 0 first arrow, 1 second arrow, 2 page before the thumb,
// 3 page after it, 4 a page area with Shift held, 5 the thumb, -1 none.
enum : int { sbpNone = -1, sbpArrow1 = 0, sbpArrow2 = 1, sbpPageBefore = 2, sbpPageAfter = 3, sbpShiftPage = 4, sbpThumb = 5 };
constexpr UINT_PTR kScrollHoverTimer = 0xFFF2, kScrollDelayTimer = 0xFFFD, kScrollRepeatTimer = 0xFFFE;
constexpr UINT kScrollHoverInterval = 20, kScrollDelay = 300, kScrollRepeat = 55;

// The one pressed, hot or dragged bar of the process.
struct TacScrollTrackState {
  int PressedPart = sbpNone;
  HWND TrackedWindow = nullptr;
  UINT ScrollMsg = 0;
  UINT_PTR HoverTimer = 0;
  UINT_PTR RepeatTimer = 0;
  int TrackedBar = -1;
  int HotBar = -1;
  int ActivePart = sbpNone;
  int LastHotPart = sbpNone, HotPart = sbpNone;
  int LastThumbPos = -1;
  TRect BarRect;
  int ThumbStart = 0, ThumbLength = 0, ThumbMouseOffset = 0;
  bool InNCHitTest = false;
};
inline TacScrollTrackState ScrollTrack;

bool ScrollBarEnabled(TacScrollBar* Bar);
// The part at a screen point of the bar at R (screen coordinates).
int HitTestScrollBar(TacScrollBar* Bar, HWND Wnd, const TRect& R, int X, int Y);
// The scroll message with its code and position, the window's scroll state kept in step.
void SendScrollMessage(HWND Wnd, UINT Msg, int Code, int Pos);
LRESULT HandleScrollNCHitTest(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam);
LRESULT HandleScrollNCMouseMove(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam);
LRESULT HandleScrollNCLButtonDown(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam);
LRESULT HandleScrollMouseMove(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam);
LRESULT HandleScrollLButtonUp(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam);
LRESULT HandleScrollTimer(TacScrollWnd* sw, HWND Wnd, WPARAM WParam, LPARAM LParam);
