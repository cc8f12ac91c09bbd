// "ToolbarWindow32": a row (or wrapped rows) of buttons with images and
// captions, separators, check buttons and check groups, and drop-down buttons
// that ask their parent (TBN_DROPDOWN). Clicks reach the parent as WM_COMMAND
// with the button's command id; the parent may draw through NM_CUSTOMDRAW.

#include <algorithm>
#include <cstring>

#include "platform/win/ControlsInternal.h"
#include "platform/win/ListViews.h"

namespace win {

namespace {

constexpr int kSeparatorWidth = 8;
constexpr int kTextGap = 3;     // image to caption
constexpr int kTextMargin = 6;  // caption to button edge, both sides together

struct Button {
  TBBUTTON b;
  std::string text;  // own copy of a caption given by pointer
  RECT rect{};       // client coordinates; empty while hidden
};

class Toolbar : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_CREATE:
        AutoSize();
        break;
      case WM_SIZE:
        if (!placing_) Layout();
        return 0;
      case TB_BUTTONSTRUCTSIZE: return 0;
      case TB_BUTTONCOUNT: return Count();
      case TB_ADDBUTTONSW: {
        const auto* list = reinterpret_cast<const TBBUTTON*>(lp);
        if (!list) return FALSE;
        for (int i = 0; i < int(wp); ++i) InsertOne(Count(), list[i]);
        Layout();
        return TRUE;
      }
      case TB_INSERTBUTTONW: {
        const auto* b = reinterpret_cast<const TBBUTTON*>(lp);
        if (!b) return FALSE;
        InsertOne(int(wp) < 0 || int(wp) > Count() ? Count() : int(wp), *b);
        Layout();
        return TRUE;
      }
      case TB_DELETEBUTTON: return Delete(int(wp));
      case TB_GETBUTTON: {
        auto* out = reinterpret_cast<TBBUTTON*>(lp);
        if (!out || int(wp) < 0 || int(wp) >= Count()) return FALSE;
        *out = buttons_[wp].b;
        return TRUE;
      }
      case TB_GETITEMRECT: {
        auto* out = reinterpret_cast<RECT*>(lp);
        if (!out || int(wp) < 0 || int(wp) >= Count()) return FALSE;
        *out = buttons_[wp].rect;
        return (buttons_[wp].b.fsState & TBSTATE_HIDDEN) ? FALSE : TRUE;
      }
      case TB_GETRECT: {
        const int i = IndexOf(int(wp));
        auto* out = reinterpret_cast<RECT*>(lp);
        if (i < 0 || !out) return FALSE;
        *out = buttons_[size_t(i)].rect;
        return TRUE;
      }
      case TB_COMMANDTOINDEX: return IndexOf(int(wp));
      case TB_GETBUTTONTEXTW: {
        const int i = IndexOf(int(wp));
        if (i < 0) return -1;
        const std::string t = Caption(buttons_[size_t(i)]);
        if (char* out = reinterpret_cast<char*>(lp)) memcpy(out, t.c_str(), t.size() + 1);
        return LRESULT(t.size());
      }
      case TB_ADDSTRINGW: return AddStrings(reinterpret_cast<const char*>(lp));
      case TB_ENABLEBUTTON: return SetStateBit(int(wp), TBSTATE_ENABLED, LOWORD(lp) != 0);
      case TB_CHECKBUTTON: return Check(int(wp), LOWORD(lp) != 0);
      case TB_PRESSBUTTON: return SetStateBit(int(wp), TBSTATE_PRESSED, LOWORD(lp) != 0);
      case TB_HIDEBUTTON: {
        const LRESULT r = SetStateBit(int(wp), TBSTATE_HIDDEN, LOWORD(lp) != 0);
        Layout();
        return r;
      }
      case TB_INDETERMINATE: return SetStateBit(int(wp), TBSTATE_INDETERMINATE, LOWORD(lp) != 0);
      case TB_MARKBUTTON: return SetStateBit(int(wp), TBSTATE_MARKED, LOWORD(lp) != 0);
      case TB_ISBUTTONENABLED: return StateBit(int(wp), TBSTATE_ENABLED);
      case TB_ISBUTTONCHECKED: return StateBit(int(wp), TBSTATE_CHECKED);
      case TB_ISBUTTONPRESSED: return StateBit(int(wp), TBSTATE_PRESSED);
      case TB_ISBUTTONHIDDEN: return StateBit(int(wp), TBSTATE_HIDDEN);
      case TB_ISBUTTONINDETERMINATE: return StateBit(int(wp), TBSTATE_INDETERMINATE);
      case TB_GETSTATE: {
        const int i = IndexOf(int(wp));
        return i < 0 ? -1 : buttons_[size_t(i)].b.fsState;
      }
      case TB_SETSTATE: {
        const int i = IndexOf(int(wp));
        if (i < 0) return FALSE;
        const bool hiddenChanged = ((buttons_[size_t(i)].b.fsState ^ BYTE(lp)) & (TBSTATE_HIDDEN | TBSTATE_WRAP)) != 0;
        buttons_[size_t(i)].b.fsState = BYTE(lp);
        if (hiddenChanged) Layout();
        Redraw();
        return TRUE;
      }
      case TB_SETBUTTONSIZE:
        buttonSize_ = SIZE{std::max(1, int(LOWORD(lp))), std::max(1, int(HIWORD(lp)))};
        Layout();
        return TRUE;
      case TB_GETBUTTONSIZE: return MAKELRESULT(ButtonWidth(), ButtonHeight());
      case TB_SETBITMAPSIZE:
        bitmapSize_ = SIZE{int(LOWORD(lp)), int(HIWORD(lp))};
        Layout();
        return TRUE;
      case TB_SETINDENT:
        indent_ = int(wp);
        Layout();
        return TRUE;
      case TB_AUTOSIZE:
        AutoSize();
        return 0;
      case TB_GETROWS: return rows_;
      case TB_SETIMAGELIST: case TB_SETHOTIMAGELIST: case TB_SETDISABLEDIMAGELIST: {
        HIMAGELIST& slot = msg == TB_SETIMAGELIST ? images_ : msg == TB_SETHOTIMAGELIST ? hotImages_ : disabledImages_;
        HIMAGELIST old = slot;
        slot = reinterpret_cast<HIMAGELIST>(lp);
        // Buttons take their size from the images they show.
        int cx = 0, cy = 0;
        if (msg == TB_SETIMAGELIST && slot && ImageList_GetIconSize(slot, &cx, &cy)) {
          bitmapSize_ = SIZE{cx, cy};
          Layout();
        }
        Redraw();
        return LRESULT(old);
      }
      case TB_GETIMAGELIST: return LRESULT(images_);
      case TB_GETHOTIMAGELIST: return LRESULT(hotImages_);
      case TB_GETDISABLEDIMAGELIST: return LRESULT(disabledImages_);
      case TB_SETSTYLE:
        SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(lp));
        Layout();
        return 0;
      case TB_GETSTYLE: return LRESULT(Style());
      case TB_SETEXTENDEDSTYLE: {
        const DWORD old = exStyle_;
        exStyle_ = DWORD(lp);
        Layout();
        return old;
      }
      case TB_GETEXTENDEDSTYLE: return exStyle_;
      case TB_HITTEST: {
        const auto* p = reinterpret_cast<const POINT*>(lp);
        if (!p) return -1;
        const int i = IndexAt(*p);
        if (i < 0) return -1;
        return (buttons_[size_t(i)].b.fsStyle & BTNS_SEP) ? -i : i;
      }
      case TB_GETHOTITEM: return hot_;
      case TB_SETHOTITEM: {
        const int old = hot_;
        SetHot(int(wp) >= 0 && int(wp) < Count() ? int(wp) : -1, 0);
        return old;
      }
      case WM_SETFONT: {
        const LRESULT r = Control::Handle(msg, wp, lp);
        Layout();
        return r;
      }
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: return Press(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      case WM_MOUSEMOVE: return Move(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      case WM_LBUTTONUP: return Release(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      case WM_CAPTURECHANGED:
        if (pressed_ >= 0 && reinterpret_cast<HWND>(lp) != hwnd) {
          SetStateBitAt(pressed_, TBSTATE_PRESSED, false);
          pressed_ = -1;
        }
        return 0;
      case WM_MOUSELEAVE:
        tracking_ = false;
        if (pressed_ < 0) SetHot(-1, HICF_LEAVING);
        return 0;
      case WM_RBUTTONUP: {
        NMMOUSE m;
        m.pt = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        const int i = IndexAt(m.pt);
        m.dwItemSpec = i >= 0 ? ULONG_PTR(buttons_[size_t(i)].b.idCommand) : ULONG_PTR(-1);
        m.dwItemData = i >= 0 ? buttons_[size_t(i)].b.dwData : 0;
        Notify(NM_RCLICK, &m.hdr);
        return 0;
      }
      case WM_ERASEBKGND: {
        // The face goes down on the erase, so that a window that takes the erase
        // over keeps its own background under the buttons.
        FillSys(reinterpret_cast<HDC>(wp), Client(), COLOR_BTNFACE);
        return 1;
      }
      case WM_PRINTCLIENT:
        if (lp & PRF_ERASEBKGND) SendMessageW(hwnd, WM_ERASEBKGND, wp, 0);
        break;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT c = Client();
    NMTBCUSTOMDRAW cd;
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = c;
    cd.clrText = GetSysColor(COLOR_BTNTEXT);
    cd.clrBtnFace = GetSysColor(COLOR_BTNFACE);
    cd.clrBtnHighlight = GetSysColor(COLOR_BTNHIGHLIGHT);
    const LRESULT pre = Stage(cd, CDDS_PREPAINT);
    if (pre & CDRF_SKIPDEFAULT) return;
    for (int i = 0; i < Count(); ++i) {
      const Button& btn = buttons_[size_t(i)];
      if ((btn.b.fsState & TBSTATE_HIDDEN) || IsRectEmpty(&btn.rect)) continue;
      LRESULT item = CDRF_DODEFAULT;
      if (pre & CDRF_NOTIFYITEMDRAW) {
        cd.nmcd.rc = btn.rect;
        cd.nmcd.dwItemSpec = ULONG_PTR(btn.b.idCommand);
        cd.nmcd.lItemlParam = LPARAM(btn.b.dwData);
        cd.nmcd.uItemState = ItemState(i);
        item = Stage(cd, CDDS_ITEMPREPAINT);
        if (!IsWindow(hwnd) || i >= Count()) return;
      }
      if (!(item & CDRF_SKIPDEFAULT)) DrawButton(dc, i, item);
      if (item & CDRF_NOTIFYPOSTPAINT) Stage(cd, CDDS_ITEMPOSTPAINT);
    }
    if (pre & CDRF_NOTIFYPOSTPAINT) {
      cd.nmcd.rc = c;
      cd.nmcd.dwItemSpec = 0;
      Stage(cd, CDDS_POSTPAINT);
    }
  }

 private:
  int Count() const { return int(buttons_.size()); }
  bool List() const { return Style() & TBSTYLE_LIST; }
  bool Flat() const { return Style() & TBSTYLE_FLAT; }

  LRESULT Stage(NMTBCUSTOMDRAW& cd, DWORD stage) {
    cd.nmcd.dwDrawStage = stage;
    return Notify(NM_CUSTOMDRAW, &cd.nmcd.hdr);
  }

  UINT ItemState(int i) const {
    const BYTE s = buttons_[size_t(i)].b.fsState;
    UINT st = 0;
    if (s & TBSTATE_CHECKED) st |= CDIS_CHECKED;
    if (s & TBSTATE_PRESSED) st |= CDIS_SELECTED;
    if (!(s & TBSTATE_ENABLED)) st |= CDIS_DISABLED;
    if (s & TBSTATE_INDETERMINATE) st |= 0x0100;  // CDIS_INDETERMINATE
    if (s & TBSTATE_MARKED) st |= 0x0080;         // CDIS_MARKED
    if (i == hot_) st |= CDIS_HOT;
    return st;
  }

  // ---- Buttons ----
  void InsertOne(int at, const TBBUTTON& b) {
    Button btn;
    btn.b = b;
    if (b.iString >= 0x10000) {
      btn.text = reinterpret_cast<const char*>(b.iString);
      btn.b.iString = -1;
    }
    buttons_.insert(buttons_.begin() + at, btn);
    if (hot_ >= at) ++hot_;
  }

  LRESULT Delete(int i) {
    if (i < 0 || i >= Count()) return FALSE;
    NMTOOLBARW nm;
    nm.iItem = buttons_[size_t(i)].b.idCommand;
    nm.tbButton = buttons_[size_t(i)].b;
    Notify(TBN_DELETINGBUTTON, &nm.hdr);
    if (!IsWindow(hwnd) || i >= Count()) return FALSE;
    buttons_.erase(buttons_.begin() + i);
    if (hot_ == i) hot_ = -1;
    else if (hot_ > i) --hot_;
    if (pressed_ == i) pressed_ = -1;
    else if (pressed_ > i) --pressed_;
    Layout();
    return TRUE;
  }

  int IndexOf(int id) const {
    for (int i = 0; i < Count(); ++i)
      if (buttons_[size_t(i)].b.idCommand == id) return i;
    return -1;
  }
  int IndexAt(POINT p) const {
    for (int i = 0; i < Count(); ++i) {
      const Button& b = buttons_[size_t(i)];
      if (!(b.b.fsState & TBSTATE_HIDDEN) && PtInRect(&b.rect, p)) return i;
    }
    return -1;
  }

  std::string Caption(const Button& b) const {
    if (!b.text.empty()) return b.text;
    if (b.b.iString >= 0 && b.b.iString < LONG_PTR(strings_.size())) return strings_[size_t(b.b.iString)];
    return std::string();
  }

  // A list of NUL-separated strings ended by an empty one; returns the first one's index.
  LRESULT AddStrings(const char* list) {
    if (!list) return -1;
    const LRESULT first = LRESULT(strings_.size());
    for (const char* p = list; *p; p += strlen(p) + 1) strings_.push_back(p);
    Layout();
    return first;
  }

  LRESULT StateBit(int id, BYTE bit) const {
    const int i = IndexOf(id);
    return i < 0 ? -1 : LRESULT(buttons_[size_t(i)].b.fsState & bit);
  }
  LRESULT SetStateBit(int id, BYTE bit, bool on) {
    const int i = IndexOf(id);
    if (i < 0) return FALSE;
    SetStateBitAt(i, bit, on);
    return TRUE;
  }
  void SetStateBitAt(int i, BYTE bit, bool on) {
    BYTE& s = buttons_[size_t(i)].b.fsState;
    const BYTE old = s;
    s = on ? BYTE(s | bit) : BYTE(s & ~bit);
    if (s != old) InvalidateRect(hwnd, &buttons_[size_t(i)].rect, TRUE);
  }

  // Checking one button of a check group clears the others of its run of group buttons.
  LRESULT Check(int id, bool on) {
    const int i = IndexOf(id);
    if (i < 0) return FALSE;
    if (on && (buttons_[size_t(i)].b.fsStyle & BTNS_GROUP)) {
      int a = i, b = i;
      while (a > 0 && (buttons_[size_t(a - 1)].b.fsStyle & BTNS_GROUP) && !(buttons_[size_t(a - 1)].b.fsStyle & BTNS_SEP)) --a;
      while (b + 1 < Count() && (buttons_[size_t(b + 1)].b.fsStyle & BTNS_GROUP) && !(buttons_[size_t(b + 1)].b.fsStyle & BTNS_SEP)) ++b;
      for (int k = a; k <= b; ++k)
        if (k != i) SetStateBitAt(k, TBSTATE_CHECKED, false);
    }
    SetStateBitAt(i, TBSTATE_CHECKED, on);
    return TRUE;
  }

  // ---- Geometry ----
  int TextHeight() const { return strings_.empty() && !AnyText() ? 0 : FontHeight(Font()); }
  bool AnyText() const {
    for (const Button& b : buttons_)
      if (!Caption(b).empty()) return true;
    return false;
  }
  int MaxTextWidth() const {
    int w = 0;
    for (const Button& b : buttons_) w = std::max(w, TextWidth(Font(), Caption(b)));
    return w;
  }
  int ButtonHeight() const {
    const int th = TextHeight();
    const int content = List() ? std::max(bitmapSize_.cy, th) : bitmapSize_.cy + (th ? th + kTextGap : 0);
    return std::max(buttonSize_.cy, content + 7);
  }
  int ButtonWidth() const {
    const int tw = MaxTextWidth();
    const int content = List() ? bitmapSize_.cx + (tw ? tw + kTextGap : 0) : std::max(bitmapSize_.cx, tw);
    return std::max(buttonSize_.cx, content + kTextMargin + 2);
  }
  int DropWidth() const { return GetSystemMetrics(SM_CXVSCROLL) - 2; }
  bool SplitDrop(const Button& b) const {
    return (b.b.fsStyle & BTNS_DROPDOWN) && (exStyle_ & TBSTYLE_EX_DRAWDDARROWS) && !(b.b.fsStyle & BTNS_WHOLEDROPDOWN);
  }
  int WidthOf(const Button& b) const {
    if (b.b.fsStyle & BTNS_SEP) return b.b.iBitmap > 0 ? b.b.iBitmap : kSeparatorWidth;
    int w = ButtonWidth();
    if ((b.b.fsStyle & BTNS_AUTOSIZE) || List()) {
      const int tw = TextWidth(Font(), Caption(b));
      w = std::max(buttonSize_.cx, (List() ? bitmapSize_.cx + (tw ? tw + kTextGap : 0) : std::max(bitmapSize_.cx, tw)) +
                                       kTextMargin + 2);
    }
    if (SplitDrop(b) || (b.b.fsStyle & BTNS_WHOLEDROPDOWN)) w += DropWidth();
    return w;
  }

  void Layout() {
    const RECT c = Client();
    const int h = ButtonHeight();
    const bool wrap = Style() & TBSTYLE_WRAPABLE;
    int x = indent_, y = 0;
    rows_ = buttons_.empty() ? 0 : 1;
    for (Button& b : buttons_) {
      if (b.b.fsState & TBSTATE_HIDDEN) {
        b.rect = RECT{};
        continue;
      }
      const int w = WidthOf(b);
      if (wrap && x > indent_ && x + w > c.right && !(b.b.fsStyle & BTNS_SEP)) {
        x = indent_;
        y += h;
        ++rows_;
      }
      b.rect = RECT{x, y, x + w, y + h};
      x += w;
      if (b.b.fsState & TBSTATE_WRAP) {
        x = indent_;
        y += h;
        ++rows_;
      }
    }
    Redraw();
  }

  void AutoSize() {
    Layout();
    placing_ = true;
    AlignToParent(hwnd, std::max(1, rows_) * ButtonHeight() + ((Style() & CCS_NODIVIDER) ? 0 : 2), false);
    placing_ = false;
    Layout();
  }

  // ---- Input ----
  bool OnDropPart(const Button& b, POINT p) const {
    if (b.b.fsStyle & BTNS_WHOLEDROPDOWN) return true;
    if (!(b.b.fsStyle & BTNS_DROPDOWN)) return false;
    if (!SplitDrop(b)) return true;  // a drop-down without its own arrow part drops as a whole
    return p.x >= b.rect.right - DropWidth();
  }

  LRESULT Press(POINT p) {
    const int i = IndexAt(p);
    if (i < 0) return 0;
    Button& b = buttons_[size_t(i)];
    if ((b.b.fsStyle & BTNS_SEP) || !(b.b.fsState & TBSTATE_ENABLED)) return 0;
    if (OnDropPart(b, p)) {
      NMTOOLBARW nm;
      nm.iItem = b.b.idCommand;
      nm.tbButton = b.b;
      nm.rcButton = b.rect;
      SetStateBitAt(i, TBSTATE_PRESSED, true);
      UpdateWindow(hwnd);
      // The parent shows its menu inside this call; the button looks pressed meanwhile.
      const LRESULT answer = Notify(TBN_DROPDOWN, &nm.hdr);
      if (!IsWindow(hwnd) || i >= Count()) return 0;
      if (answer != TBDDRET_TREATPRESSED) {
        SetStateBitAt(i, TBSTATE_PRESSED, false);
        return 0;
      }
    }
    pressed_ = i;
    SetStateBitAt(i, TBSTATE_PRESSED, true);
    SetCapture(hwnd);
    return 0;
  }

  LRESULT Move(POINT p) {
    if (pressed_ >= 0) {
      const bool inside = PtInRect(&buttons_[size_t(pressed_)].rect, p);
      SetStateBitAt(pressed_, TBSTATE_PRESSED, inside);
      return 0;
    }
    if (!tracking_) {
      TRACKMOUSEEVENT t;
      t.dwFlags = TME_LEAVE;
      t.hwndTrack = hwnd;
      tracking_ = TrackMouseEvent(&t) != FALSE;
    }
    int i = IndexAt(p);
    if (i >= 0 && ((buttons_[size_t(i)].b.fsStyle & BTNS_SEP) || !(buttons_[size_t(i)].b.fsState & TBSTATE_ENABLED)))
      i = -1;
    SetHot(i, HICF_MOUSE);
    return 0;
  }

  LRESULT Release(POINT p) {
    const int i = pressed_;
    if (i < 0) return 0;
    pressed_ = -1;
    if (GetCapture() == hwnd) ReleaseCapture();
    SetStateBitAt(i, TBSTATE_PRESSED, false);
    Button& b = buttons_[size_t(i)];
    if (!PtInRect(&b.rect, p)) return 0;
    const int id = b.b.idCommand;
    if (b.b.fsStyle & BTNS_CHECK) {
      // A pressed group button stays checked; a lone check button toggles.
      const bool group = b.b.fsStyle & BTNS_GROUP;
      Check(id, group ? true : !(b.b.fsState & TBSTATE_CHECKED));
    }
    NMMOUSE m;
    m.pt = p;
    m.dwItemSpec = ULONG_PTR(id);
    m.dwItemData = b.b.dwData;
    Notify(NM_CLICK, &m.hdr);
    if (HWND parent = Parent()) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(hwnd));
    return 0;
  }

  void SetHot(int i, DWORD flags) {
    if (i == hot_) return;
    NMTBHOTITEM nm;
    nm.idOld = hot_ >= 0 ? buttons_[size_t(hot_)].b.idCommand : 0;
    nm.idNew = i >= 0 ? buttons_[size_t(i)].b.idCommand : 0;
    nm.dwFlags = flags | (i < 0 ? HICF_LEAVING : 0);
    if (Notify(TBN_HOTITEMCHANGE, &nm.hdr)) return;  // the parent keeps the old hot button
    if (!IsWindow(hwnd)) return;
    if (hot_ >= 0 && hot_ < Count()) InvalidateRect(hwnd, &buttons_[size_t(hot_)].rect, TRUE);
    hot_ = i;
    if (hot_ >= 0) InvalidateRect(hwnd, &buttons_[size_t(hot_)].rect, TRUE);
  }

  // ---- Drawing ----
  void DrawButton(HDC dc, int i, LRESULT flags) {
    const Button& btn = buttons_[size_t(i)];
    RECT r = btn.rect;
    const BYTE s = btn.b.fsState;
    if (btn.b.fsStyle & BTNS_SEP) {
      // An etched line across the middle of a flat bar's separator.
      if (Flat()) {
        const int x = (r.left + r.right) / 2 - 1;
        FillSys(dc, RECT{x, r.top + 2, x + 1, r.bottom - 2}, COLOR_BTNSHADOW);
        FillSys(dc, RECT{x + 1, r.top + 2, x + 2, r.bottom - 2}, COLOR_BTNHIGHLIGHT);
      }
      return;
    }
    const bool down = (s & (TBSTATE_PRESSED | TBSTATE_CHECKED)) != 0;
    const bool hot = i == hot_;
    RECT face = r;
    if (SplitDrop(btn)) face.right -= DropWidth();
    if (s & TBSTATE_CHECKED) FillSys(dc, face, COLOR_3DLIGHT);
    if (!(flags & TBCDRF_NOEDGES)) {
      if (down) DrawEdge3d(dc, face, false, Flat());
      else if (!Flat()) DrawEdge3d(dc, face, true);
      else if (hot) DrawEdge3d(dc, face, true, true);
    }
    if (btn.b.fsStyle & (BTNS_DROPDOWN | BTNS_WHOLEDROPDOWN)) {
      RECT arrow{r.right - DropWidth(), r.top, r.right, r.bottom};
      if (SplitDrop(btn) && !(flags & TBCDRF_NOEDGES) && (!Flat() || hot)) DrawEdge3d(dc, arrow, true, Flat());
      DrawArrowGlyph(dc, arrow, ArrowDir::Down, s & TBSTATE_ENABLED);
    }
    const int shift = down && !(flags & TBCDRF_NOOFFSET) ? 1 : 0;
    DrawImage(dc, btn, face, hot, shift);
    const std::string caption = Caption(btn);
    if (caption.empty()) return;
    RECT t = face;
    if (btn.b.fsStyle & BTNS_WHOLEDROPDOWN) t.right -= DropWidth();
    if (List()) t.left += kTextMargin / 2 + bitmapSize_.cx + kTextGap;
    else t.top += 3 + bitmapSize_.cy + kTextGap;
    OffsetRect(&t, shift, shift);
    DrawLabel(dc, Font(), caption, t,
              (List() ? DT_LEFT | DT_VCENTER : DT_CENTER | DT_TOP) | DT_SINGLELINE | DT_END_ELLIPSIS |
                  ((btn.b.fsStyle & BTNS_NOPREFIX) ? DT_NOPREFIX : 0),
              GetSysColor((s & TBSTATE_ENABLED) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  }

  // Above the caption, or alone centred; in a list bar, left of the caption.
  void DrawImage(HDC dc, const Button& btn, RECT face, bool hot, int shift) {
    const bool enabled = btn.b.fsState & TBSTATE_ENABLED;
    HIMAGELIST list = !enabled && disabledImages_ ? disabledImages_ : hot && hotImages_ ? hotImages_ : images_;
    if (!list || btn.b.iBitmap < 0 || btn.b.iBitmap >= ImageList_GetImageCount(list)) return;
    if (btn.b.fsStyle & BTNS_WHOLEDROPDOWN) face.right -= DropWidth();
    const bool captioned = !Caption(btn).empty();
    int x = (face.left + face.right - bitmapSize_.cx) / 2;
    int y = captioned && !List() ? face.top + 3 : (face.top + face.bottom - bitmapSize_.cy) / 2;
    if (List() && captioned) x = face.left + kTextMargin / 2;
    // Without a disabled list, a disabled button's image fades into the face.
    const bool fade = !enabled && list != disabledImages_;
    ImageList_DrawEx(list, btn.b.iBitmap, dc, x + shift, y + shift, 0, 0, CLR_NONE,
                     fade ? GetSysColor(COLOR_BTNFACE) : CLR_DEFAULT, ILD_TRANSPARENT | (fade ? ILD_BLEND50 : 0));
  }

  std::vector<Button> buttons_;
  std::vector<std::string> strings_;
  SIZE buttonSize_{24, 22};
  SIZE bitmapSize_{16, 15};
  int indent_ = 0;
  int rows_ = 0;
  int hot_ = -1;
  int pressed_ = -1;
  bool tracking_ = false;
  bool placing_ = false;
  DWORD exStyle_ = 0;
  HIMAGELIST images_ = nullptr, hotImages_ = nullptr, disabledImages_ = nullptr;
};

}  // namespace

LRESULT ToolbarWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Toolbar>(wnd, msg, wp, lp); }

}  // namespace win
