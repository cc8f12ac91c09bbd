#pragma once
// What the layer's control classes share: the control object behind a window
// of one of those classes, notifications to the parent, and the plain default
// look (edges, arrows, check marks, focus rectangles, text). Not for callers.

#include <functional>
#include <memory>
#include <string>

#include "platform/win/WinInternal.h"

namespace win {

class Control : public ControlBase {
 public:
  HWND hwnd = nullptr;

  // The class procedure: messages the control does not handle go to DefWindowProcW.
  virtual LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);

 protected:
  DWORD Style() const { return DWORD(GetWindowLongPtrW(hwnd, GWL_STYLE)); }
  int Id() const { return int(GetWindowLongPtrW(hwnd, GWLP_ID)); }
  HWND Parent() const { return GetParent(hwnd); }
  bool Enabled() const { return IsWindowEnabled(hwnd) != FALSE; }
  bool Focused() const { return GetFocus() == hwnd; }
  RECT Client() const;
  std::string Text() const;
  HFONT Font() const { return font_ ? font_ : HFONT(GetStockObject(DEFAULT_GUI_FONT)); }
  // WM_COMMAND to the parent: (id, code), the control.
  void Command(WORD code);
  // WM_NOTIFY to the parent with the header filled in; returns the parent's answer.
  LRESULT Notify(UINT code, NMHDR* header);
  LRESULT Notify(UINT code) {
    NMHDR h;
    return Notify(code, &h);
  }
  void Redraw() { InvalidateRect(hwnd, nullptr, TRUE); }
  // The brush the parent chooses through WM_CTLCOLOR*; the DC gets its colours.
  HBRUSH ParentBrush(HDC dc, UINT ctlColorMsg);
  // Paints through Paint for WM_PAINT (BeginPaint) and WM_PRINTCLIENT (the given DC).
  virtual void Paint(HDC) {}
  // WM_DRAWITEM to the parent (of owner, when the control draws for another window).
  void DrawItem(UINT type, UINT item, UINT state, HDC dc, const RECT& r, ULONG_PTR data = 0, HWND owner = nullptr);
  // One NM_CUSTOMDRAW stage to the parent; CDRF_DODEFAULT when nobody answers.
  LRESULT CustomDraw(DWORD stage, HDC dc, const RECT& r, ULONG_PTR item = 0, UINT state = 0, LPARAM itemParam = 0);

 private:
  HFONT font_ = nullptr;
};

// The class procedure of control type T: makes the control on WM_NCCREATE and
// keeps it alive while it handles a message, whatever the handler destroys.
template <class T>
LRESULT ControlProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* w = Get(wnd);
  if (!w) return 0;
  if (!w->control && msg == WM_NCCREATE) {
    auto c = std::make_shared<T>();
    c->hwnd = wnd;
    w->control = c;
  }
  std::shared_ptr<ControlBase> keep = w->control;
  auto* c = dynamic_cast<T*>(keep.get());
  if (!c) return DefWindowProcW(wnd, msg, wp, lp);
  return c->Handle(msg, wp, lp);
}

// ---- The plain default look ----
void FillSys(HDC dc, const RECT& r, int colorIndex);
// A colour the caller set, or the system colour while it is CLR_DEFAULT or CLR_NONE.
void FillColorOr(HDC dc, const RECT& r, COLORREF color, int colorIndex);
// Two-pixel 3D edge: raised (light top-left) or sunken; one pixel when thin.
void DrawEdge3d(HDC dc, const RECT& r, bool raised, bool thin = false);
enum class ArrowDir { Up, Down, Left, Right };
void DrawArrowGlyph(HDC dc, const RECT& r, ArrowDir dir, bool enabled);
// A push-button face: face colour, raised or pressed edge.
void DrawButtonFace(HDC dc, const RECT& r, bool pressed);
void DrawFocusRectangle(HDC dc, const RECT& r);
void DrawCheckMark(HDC dc, const RECT& box, COLORREF color);
// Text through the control's font and the given colour, transparent background.
void DrawLabel(HDC dc, HFONT font, const std::string& text, RECT r, UINT format, COLORREF color);
int FontHeight(HFONT font);  // line height of the font
int TextWidth(HFONT font, const std::string& text);  // one line, no prefix handling

// ---- Scroll-bar pieces shared by the frame's bars and the controls ----
enum class ScrollPart { None, LineUp, PageUp, Thumb, PageDown, LineDown };
struct ScrollLayout {
  RECT arrow1, arrow2, track, thumb;  // thumb empty when not shown
};
ScrollLayout LayoutScrollBar(const RECT& bar, bool vertical, const ScrollBarData& d, bool enabled);
ScrollPart ScrollPartAt(const ScrollLayout& l, bool vertical, POINT p);
void PaintScrollBar(HDC dc, const RECT& bar, bool vertical, const ScrollBarData& d, bool enabled,
                    ScrollPart pressed);
// Applies a SCROLLINFO to d (clamping the position); true when the range or page changed.
bool ApplyScrollInfo(ScrollBarData& d, const SCROLLINFO& si);
void ReadScrollInfo(const ScrollBarData& d, SCROLLINFO* si);
// Where a bar shows its content: a range the page does not cover.
bool ScrollBarNeeded(const ScrollBarData& d);
// Where a WM_HSCROLL / WM_VSCROLL code asks a window to scroll its own bar: pos moved by a
// line or a page, to 0 or last, or the thumb's track position. The caller clamps.
int ScrollTarget(HWND wnd, int bar, WORD code, int pos, int line, int page, int last);

// Tracking of a pressed bar: arrows and pages repeat while held; the thumb follows the mouse.
// target gets msg (WM_HSCROLL/WM_VSCROLL) with lParam ctl (the control, or null for a frame bar).
struct ScrollTrackTarget {
  HWND owner = nullptr;  // the window holding the bar
  int bar = SB_CTL;
  HWND notify = nullptr;
  UINT msg = WM_VSCROLL;
};
void BeginScrollTrack(const ScrollTrackTarget& t, POINT screen);

// Status bars and tool bars sit along an edge of their parent's client area at
// the given height, unless their CCS_* styles say otherwise; bottom is the default edge.
void AlignToParent(HWND wnd, int height, bool bottom);

// A combo box's list ("ComboLBox") reports the end of a pick: accepted or not.
void SetComboListOwner(HWND list, HWND combo, std::function<void(bool accepted)> done);

// The dialog class "#32770" (Dialog.cpp), registered with the other system classes.
void RegisterDialogClass();
// The MDI client class "MDICLIENT" (Mdi.cpp), registered with them too.
void RegisterMdiClientClass();
// A top-down 32-bit copy of part of a bitmap, alpha included (the caller deletes bitmap).
struct Pixels32 {
  HBITMAP bitmap = nullptr;
  uint8_t* bits = nullptr;
  int width = 0, height = 0;
  uint8_t* Row(int y) const { return bits + size_t(y) * size_t(width) * 4; }
};
// A new top-down 32-bit picture, all zero.
Pixels32 NewPixels32(int width, int height);
Pixels32 Copy32(HBITMAP src, int sx, int sy, int width, int height);

// Class procedures registered by RegisterSystemClasses.
LRESULT ScrollBarWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ButtonWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StaticWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT EditWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListBoxWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ComboBoxWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TrackBarWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT UpDownWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TabWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StatusBarWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ToolbarWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TreeViewWndProc(HWND, UINT, WPARAM, LPARAM);
// List view, its column header and tooltips.
LRESULT ListViewWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT HeaderWndProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ToolTipWndProc(HWND, UINT, WPARAM, LPARAM);

}  // namespace win
