// The "LISTBOX" class, and "ComboLBox", the same list serving as a combo
// box's drop-down.

#include <algorithm>
#include <cstring>

#include "platform/rtl/SysUtils.h"
#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

class ListBox : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

  HWND combo = nullptr;  // set when the list serves a combo box
  std::function<void(bool)> comboDone;

 protected:
  void Paint(HDC dc) override;

 private:
  struct Item {
    std::string text;
    ULONG_PTR data = 0;
    bool selected = false;
  };

  bool Multi() const { return Style() & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL); }
  bool OwnerDraw() const { return Style() & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE); }
  bool HasStrings() const { return !OwnerDraw() || (Style() & LBS_HASSTRINGS); }
  int Count() const { return int(items_.size()); }
  bool Valid(int i) const { return i >= 0 && i < Count(); }
  int Height() const { return itemHeight_ > 0 ? itemHeight_ : FontHeight(Font()) + 2; }
  int Visible() const { return std::max(1, int(Client().bottom) / Height()); }
  RECT ItemRect(int i) const {
    const RECT c = Client();
    return RECT{0, (i - top_) * Height(), c.right, (i - top_ + 1) * Height()};
  }
  int ItemAt(POINT p) const { return top_ + (p.y < 0 ? -1 : int(p.y) / Height()); }
  void Tell(WORD code) {
    if (!combo && (Style() & LBS_NOTIFY)) Command(code);
  }
  int Insert(int at, LPARAM lp);
  int Find(int after, const char* text, bool exact) const;
  void SetTop(int top);
  void SetCaret(int i, bool scroll);
  bool SelectOnly(int i);  // true when something changed
  void UpdateScrollBar();

  std::vector<Item> items_;
  int cur_ = -1;    // the selection of a single-selection list
  int caret_ = 0;   // the focused item
  int anchor_ = 0;  // start of a Shift range
  int top_ = 0;
  int itemHeight_ = 0;
  bool focused_ = false;
  bool tracking_ = false;
  bool vscroll_ = false;  // created with a vertical bar, which comes and goes with the items
};

int ListBox::Insert(int at, LPARAM lp) {
  Item item;
  if (HasStrings()) item.text = lp ? reinterpret_cast<const char*>(lp) : "";
  else item.data = ULONG_PTR(lp);
  if (at < 0 || at > Count()) at = Count();
  if (Style() & LBS_SORT) {
    at = int(std::upper_bound(items_.begin(), items_.end(), item,
                              [](const Item& a, const Item& b) { return CompareText(a.text, b.text) < 0; }) -
             items_.begin());
  }
  items_.insert(items_.begin() + at, item);
  if (cur_ >= at) ++cur_;
  UpdateScrollBar();
  Redraw();
  return at;
}

int ListBox::Find(int after, const char* text, bool exact) const {
  const std::string want = text ? text : "";
  const int n = Count();
  for (int k = 1; k <= n; ++k) {
    const int i = (after + k) % n;
    const std::string& t = items_[size_t(i)].text;
    const std::string_view head = exact ? std::string_view(t) : std::string_view(t).substr(0, want.size());
    if (CompareText(head, want) == 0) return i;
  }
  return int(LB_ERR);
}

void ListBox::SetTop(int top) {
  top = std::clamp(top, 0, std::max(0, Count() - Visible()));
  if (top == top_) return;
  top_ = top;
  UpdateScrollBar();
  Redraw();
}

void ListBox::SetCaret(int i, bool scroll) {
  if (!Valid(i)) return;
  caret_ = i;
  if (scroll) {
    if (i < top_) SetTop(i);
    else if (i >= top_ + Visible()) SetTop(i - Visible() + 1);
  }
  Redraw();
}

bool ListBox::SelectOnly(int i) {
  bool changed = false;
  if (Multi()) {
    for (int k = 0; k < Count(); ++k) {
      const bool on = k == i;
      changed |= items_[size_t(k)].selected != on;
      items_[size_t(k)].selected = on;
    }
  } else {
    changed = cur_ != i;
    cur_ = Valid(i) ? i : -1;
  }
  if (changed) Redraw();
  return changed;
}

void ListBox::UpdateScrollBar() {
  if (!vscroll_) return;
  SCROLLINFO si;
  si.fMask = SIF_ALL | ((Style() & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0);
  si.nMin = 0;
  si.nMax = std::max(0, Count() - 1);
  si.nPage = UINT(Visible());
  si.nPos = top_;
  SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
}

LRESULT ListBox::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_NCCREATE:
      vscroll_ = reinterpret_cast<CREATESTRUCTW*>(lp)->style & WS_VSCROLL;
      break;
    case WM_CREATE:
      if (OwnerDraw()) {
        MEASUREITEMSTRUCT mi;
        mi.CtlType = ODT_LISTBOX;
        mi.CtlID = UINT(Id());
        mi.itemHeight = UINT(FontHeight(Font()) + 2);
        if (HWND p = Parent()) SendMessageW(p, WM_MEASUREITEM, WPARAM(Id()), LPARAM(&mi));
        itemHeight_ = int(mi.itemHeight);
      }
      break;
    case LB_ADDSTRING: return Insert(-1, lp);
    case LB_INSERTSTRING: return Insert(int(LPARAM(wp)), lp);
    case LB_DELETESTRING: {
      const int i = int(wp);
      if (!Valid(i)) return LB_ERR;
      items_.erase(items_.begin() + i);
      if (cur_ == i) cur_ = -1;
      else if (cur_ > i) --cur_;
      caret_ = std::min(caret_, std::max(0, Count() - 1));
      top_ = std::clamp(top_, 0, std::max(0, Count() - Visible()));
      UpdateScrollBar();
      Redraw();
      return Count();
    }
    case LB_RESETCONTENT:
      items_.clear();
      cur_ = -1;
      caret_ = top_ = 0;
      UpdateScrollBar();
      Redraw();
      return 0;
    case LB_GETCOUNT: return Count();
    case LB_GETTEXT: {
      const int i = int(wp);
      if (!Valid(i)) return LB_ERR;
      if (!HasStrings()) {
        if (lp) memcpy(reinterpret_cast<void*>(lp), &items_[size_t(i)].data, sizeof(ULONG_PTR));
        return sizeof(ULONG_PTR);
      }
      const std::string& t = items_[size_t(i)].text;
      if (lp) memcpy(reinterpret_cast<char*>(lp), t.c_str(), t.size() + 1);
      return LRESULT(t.size());
    }
    case LB_GETTEXTLEN: return Valid(int(wp)) ? LRESULT(items_[size_t(wp)].text.size()) : LB_ERR;
    case LB_GETITEMDATA: return Valid(int(wp)) ? LRESULT(items_[size_t(wp)].data) : LB_ERR;
    case LB_SETITEMDATA:
      if (!Valid(int(wp))) return LB_ERR;
      items_[size_t(wp)].data = ULONG_PTR(lp);
      return TRUE;
    case LB_SETCURSEL: {
      if (Multi()) return LB_ERR;
      const int i = int(LPARAM(wp));
      SelectOnly(i);
      if (Valid(i)) SetCaret(i, true);
      return Valid(i) ? i : LB_ERR;
    }
    case LB_GETCURSEL: return Multi() ? caret_ : cur_;
    case LB_SETSEL: {
      if (!Multi()) return LB_ERR;
      const int i = int(lp);
      for (int k = 0; k < Count(); ++k)
        if (i == -1 || k == i) items_[size_t(k)].selected = wp != 0;
      Redraw();
      return Valid(i) || i == -1 ? 0 : LB_ERR;
    }
    case LB_GETSEL:
      if (!Valid(int(wp))) return LB_ERR;
      return Multi() ? items_[size_t(wp)].selected : int(wp) == cur_;
    case LB_GETSELCOUNT: {
      if (!Multi()) return LB_ERR;
      return std::count_if(items_.begin(), items_.end(), [](const Item& it) { return it.selected; });
    }
    case LB_GETSELITEMS: {
      if (!Multi()) return LB_ERR;
      int n = 0;
      for (int k = 0; k < Count() && n < int(wp); ++k)
        if (items_[size_t(k)].selected) reinterpret_cast<int*>(lp)[n++] = k;
      return n;
    }
    case LB_FINDSTRING: case LB_FINDSTRINGEXACT:
      return Count() ? Find(int(LPARAM(wp)) < 0 ? -1 : int(wp), reinterpret_cast<const char*>(lp),
                            msg == LB_FINDSTRINGEXACT)
                     : LB_ERR;
    case LB_SELECTSTRING: {
      const int i = Count() ? Find(int(LPARAM(wp)) < 0 ? -1 : int(wp), reinterpret_cast<const char*>(lp), false)
                            : int(LB_ERR);
      if (i >= 0 && !Multi()) {
        SelectOnly(i);
        SetCaret(i, true);
      }
      return i;
    }
    case LB_GETTOPINDEX: return top_;
    case LB_SETTOPINDEX:
      if (!Valid(int(wp)) && !(wp == 0 && Count() == 0)) return LB_ERR;
      SetTop(int(wp));
      return LB_OKAY;
    case LB_GETITEMRECT:
      if (!Valid(int(wp)) || !lp) return LB_ERR;
      *reinterpret_cast<RECT*>(lp) = ItemRect(int(wp));
      return LB_OKAY;
    case LB_ITEMFROMPOINT: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const int i = ItemAt(p);
      const RECT c = Client();
      const bool outside = !PtInRect(&c, p) || !Valid(i);
      return MAKELRESULT(std::clamp(i, 0, std::max(0, Count() - 1)), outside ? 1 : 0);
    }
    case LB_SETCARETINDEX: SetCaret(int(wp), !lp); return Valid(int(wp)) ? LB_OKAY : LB_ERR;
    case LB_GETCARETINDEX: return caret_;
    case LB_SETITEMHEIGHT:
      if (LOWORD(lp) == 0 || LOWORD(lp) > 255) return LB_ERR;
      itemHeight_ = LOWORD(lp);
      UpdateScrollBar();
      Redraw();
      return LB_OKAY;
    case LB_GETITEMHEIGHT: return Height();
    case WM_SIZE:
      UpdateScrollBar();
      break;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
      focused_ = true;
      Redraw();
      Tell(LBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      Redraw();
      Tell(LBN_KILLFOCUS);
      return 0;
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_MOUSEMOVE: case WM_LBUTTONUP: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      const RECT c = Client();
      const int i = ItemAt(p);
      if (combo) {
        // As a drop-down: the selection follows the mouse; a release over it picks, a press outside cancels.
        const bool inside = PtInRect(&c, p) != FALSE;
        if (inside && Valid(i) && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONDOWN)) {
          SelectOnly(i);
          SetCaret(i, false);
        }
        if ((msg == WM_LBUTTONUP && inside) || (msg == WM_LBUTTONDOWN && !inside)) {
          if (comboDone) comboDone(inside);
        }
        return 0;
      }
      if (msg == WM_LBUTTONUP) {
        if (tracking_ && GetCapture() == hwnd) ReleaseCapture();
        tracking_ = false;
        return 0;
      }
      if (msg == WM_MOUSEMOVE && !tracking_) return 0;
      if (msg != WM_MOUSEMOVE) {
        SetFocus(hwnd);
        tracking_ = true;
        SetCapture(hwnd);
      }
      if (!Valid(i) || (Style() & LBS_NOSEL)) return 0;
      bool changed = false;
      if ((Style() & LBS_MULTIPLESEL) && msg != WM_MOUSEMOVE) {
        items_[size_t(i)].selected = !items_[size_t(i)].selected;
        changed = true;
        Redraw();
      } else if ((Style() & LBS_EXTENDEDSEL) && (wp & MK_SHIFT)) {
        for (int k = 0; k < Count(); ++k) {
          const bool on = k >= std::min(anchor_, i) && k <= std::max(anchor_, i);
          changed |= items_[size_t(k)].selected != on;
          items_[size_t(k)].selected = on;
        }
        Redraw();
      } else if ((Style() & LBS_EXTENDEDSEL) && (wp & MK_CONTROL) && msg != WM_MOUSEMOVE) {
        items_[size_t(i)].selected = !items_[size_t(i)].selected;
        anchor_ = i;
        changed = true;
        Redraw();
      } else if (!(Style() & LBS_MULTIPLESEL)) {
        changed = SelectOnly(i);
        if (msg != WM_MOUSEMOVE) anchor_ = i;
      }
      SetCaret(i, true);
      if (changed) Tell(LBN_SELCHANGE);
      if (msg == WM_LBUTTONDBLCLK && IsWindow(hwnd)) Tell(LBN_DBLCLK);
      return 0;
    }
    case WM_CAPTURECHANGED:
      tracking_ = false;
      return 0;
    case WM_KEYDOWN: {
      int i = caret_;
      switch (wp) {
        case VK_UP: --i; break;
        case VK_DOWN: ++i; break;
        case VK_PRIOR: i -= Visible() - 1; break;
        case VK_NEXT: i += Visible() - 1; break;
        case VK_HOME: i = 0; break;
        case VK_END: i = Count() - 1; break;
        case VK_SPACE:
          if ((Style() & LBS_MULTIPLESEL) && Valid(caret_)) {
            items_[size_t(caret_)].selected = !items_[size_t(caret_)].selected;
            Redraw();
            Tell(LBN_SELCHANGE);
          }
          return 0;
        default: return 0;
      }
      if (!Count()) return 0;
      i = std::clamp(i, 0, Count() - 1);
      const bool changed = (Style() & LBS_MULTIPLESEL) ? false : SelectOnly(i);
      SetCaret(i, true);
      if (changed) Tell(LBN_SELCHANGE);
      return 0;
    }
    case WM_CHAR: {
      // A typed character goes to the next item starting with it.
      if (!Count() || wp < 0x20) return 0;
      const char c[2] = {char(wp < 0x80 ? wp : '?'), 0};
      const int i = Find(caret_, c, false);
      if (i >= 0) {
        const bool changed = Multi() ? false : SelectOnly(i);
        SetCaret(i, true);
        if (changed) Tell(LBN_SELCHANGE);
      }
      return 0;
    }
    case WM_VSCROLL:
      SetTop(ScrollTarget(hwnd, SB_VERT, LOWORD(wp), top_, 1, Visible(), Count()));
      return 0;
    case WM_MOUSEWHEEL:
      SetTop(top_ - 3 * int(int16_t(HIWORD(wp))) / 120);
      return 0;
    case WM_ERASEBKGND: return 1;
  }
  return Control::Handle(msg, wp, lp);
}

void ListBox::Paint(HDC dc) {
  const RECT c = Client();
  HWND owner = combo ? combo : hwnd;
  // A combo's drop-down list asks its combo box, which asks the combo's parent.
  HWND notify = combo ? combo : GetParent(hwnd);
  HBRUSH bg = nullptr;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  if (notify) bg = reinterpret_cast<HBRUSH>(SendMessageW(notify, WM_CTLCOLORLISTBOX, WPARAM(dc), LPARAM(hwnd)));
  if (!bg) bg = GetSysColorBrush(COLOR_WINDOW);
  const COLORREF text = GetTextColor(dc);
  FillRect(dc, &c, bg);
  const int last = std::min(Count(), top_ + Visible() + 1);
  for (int i = top_; i < last; ++i) {
    const RECT r = ItemRect(i);
    const bool sel = Multi() ? items_[size_t(i)].selected : i == cur_;
    if (OwnerDraw()) {
      DrawItem(combo ? ODT_COMBOBOX : ODT_LISTBOX, UINT(i), (sel ? ODS_SELECTED : 0) | (focused_ && i == caret_ ? ODS_FOCUS : 0),
               dc, r, items_[size_t(i)].data, owner);
      continue;
    }
    if (sel) FillSys(dc, r, COLOR_HIGHLIGHT);
    RECT t = r;
    t.left += 2;
    DrawLabel(dc, Font(), items_[size_t(i)].text, t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_EXPANDTABS,
              !Enabled() ? GetSysColor(COLOR_GRAYTEXT) : sel ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
    if (focused_ && i == caret_ && Multi()) DrawFocusRectangle(dc, r);
  }
}

}  // namespace

void SetComboListOwner(HWND list, HWND combo, std::function<void(bool)> done) {
  Window* w = Get(list);
  auto* l = w ? dynamic_cast<ListBox*>(w->control.get()) : nullptr;
  if (!l) return;
  l->combo = combo;
  l->comboDone = std::move(done);
}

LRESULT ListBoxWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<ListBox>(wnd, msg, wp, lp); }

}  // namespace win
