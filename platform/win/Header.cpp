// The "SysHeader32" class: a row of column captions that the user can press
// and size by their dividers, telling the parent through HDN_* notifications.

#include <algorithm>
#include <cstring>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kDividerZone = 4;  // pixels either side of a divider that grab it
constexpr UINT ODT_HEADER = 100;

class Header : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(HDC dc) override;

 private:
  struct Item {
    std::string text;
    int width = 0;
    int fmt = HDF_LEFT | HDF_STRING;
    LPARAM param = 0;
    int image = 0;
    HBITMAP bitmap = nullptr;
  };

  int Count() const { return int(items_.size()); }
  bool Valid(int i) const { return i >= 0 && i < Count(); }
  int Height() const { return (Style() & HDS_HIDDEN) ? 0 : FontHeight(Font()) + 8; }
  RECT ItemRect(int index) const;
  // The item (by index) whose divider is at x, and whether it is the open divider of a hidden item.
  int DividerAt(int x, bool* open) const;
  int HitTest(POINT p, UINT* flags) const;
  int Insert(int at, const HDITEMW& hi);
  bool Delete(int index);
  BOOL GetItem(int index, HDITEMW* hi) const;
  BOOL SetItem(int index, const HDITEMW& hi);
  // HDN_ITEMCHANGING / HDN_ITEMCHANGED around a width change; false when refused.
  bool ChangeWidth(int index, int width);
  LRESULT Tell(UINT code, int index, int button = 0, HDITEMW* item = nullptr) {
    NMHEADERW nm;
    nm.iItem = index;
    nm.iButton = button;
    nm.pitem = item;
    return Notify(code, &nm.hdr);
  }
  void PaintItem(HDC dc, int index, const RECT& r, LRESULT stage);
  void SetHot(int index);

  std::vector<Item> items_;
  std::vector<int> order_;  // display position -> index
  HIMAGELIST images_ = nullptr;
  int hot_ = -1;
  int pressed_ = -1;
  bool pressedInside_ = false;
  int tracking_ = -1;  // item whose divider is dragged
  int trackStartX_ = 0;
  int trackStartWidth_ = 0;
};

RECT Header::ItemRect(int index) const {
  const RECT c = Client();
  int x = 0;
  for (int i : order_) {
    if (i == index) return RECT{x, 0, x + items_[size_t(i)].width, c.bottom};
    x += items_[size_t(i)].width;
  }
  return RECT{};
}

int Header::DividerAt(int x, bool* open) const {
  int right = 0, found = -1;
  *open = false;
  for (int i : order_) {
    right += items_[size_t(i)].width;
    if (x < right - kDividerZone || x >= right + kDividerZone) continue;
    // Right of a hidden column's divider the user reaches for the hidden column.
    if (items_[size_t(i)].width == 0 && x >= right && found >= 0) {
      *open = true;
      return i;
    }
    if (items_[size_t(i)].width > 0 || found < 0) found = i;
  }
  return found;
}

int Header::HitTest(POINT p, UINT* flags) const {
  const RECT c = Client();
  *flags = 0;
  if (p.y < 0) *flags |= HHT_ABOVE;
  if (p.y >= c.bottom) *flags |= HHT_BELOW;
  if (p.x < 0) *flags |= HHT_TOLEFT;
  if (p.x >= c.right) *flags |= HHT_TORIGHT;
  if (*flags) return -1;
  bool open = false;
  const int divider = DividerAt(p.x, &open);
  if (divider >= 0) {
    *flags = open ? HHT_ONDIVOPEN : HHT_ONDIVIDER;
    return divider;
  }
  int x = 0;
  for (int i : order_) {
    const int w = items_[size_t(i)].width;
    if (p.x >= x && p.x < x + w) {
      *flags = HHT_ONHEADER;
      return i;
    }
    x += w;
  }
  *flags = HHT_NOWHERE;
  return -1;
}

int Header::Insert(int at, const HDITEMW& hi) {
  at = std::clamp(at, 0, Count());
  Item item;
  if (hi.mask & HDI_WIDTH) item.width = std::max(0, hi.cxy);
  if ((hi.mask & HDI_TEXT) && hi.pszText && hi.pszText != LPSTR_TEXTCALLBACKW) item.text = hi.pszText;
  if (hi.mask & HDI_FORMAT) item.fmt = hi.fmt;
  if (hi.mask & HDI_LPARAM) item.param = hi.lParam;
  if (hi.mask & HDI_IMAGE) item.image = hi.iImage;
  if (hi.mask & HDI_BITMAP) item.bitmap = hi.hbm;
  items_.insert(items_.begin() + at, item);
  for (int& i : order_)
    if (i >= at) ++i;
  const int pos = (hi.mask & HDI_ORDER) ? std::clamp(hi.iOrder, 0, int(order_.size())) : std::min(at, int(order_.size()));
  order_.insert(order_.begin() + pos, at);
  Redraw();
  return at;
}

bool Header::Delete(int index) {
  if (!Valid(index)) return false;
  items_.erase(items_.begin() + index);
  order_.erase(std::find(order_.begin(), order_.end(), index));
  for (int& i : order_)
    if (i > index) --i;
  hot_ = pressed_ = tracking_ = -1;
  Redraw();
  return true;
}

BOOL Header::GetItem(int index, HDITEMW* hi) const {
  if (!Valid(index) || !hi) return FALSE;
  const Item& it = items_[size_t(index)];
  if (hi->mask & HDI_WIDTH) hi->cxy = it.width;
  if ((hi->mask & HDI_TEXT) && hi->pszText && hi->cchTextMax > 0) {
    const size_t n = std::min(it.text.size(), size_t(hi->cchTextMax - 1));
    memcpy(hi->pszText, it.text.data(), n);
    hi->pszText[n] = 0;
  }
  if (hi->mask & HDI_FORMAT) hi->fmt = it.fmt;
  if (hi->mask & HDI_LPARAM) hi->lParam = it.param;
  if (hi->mask & HDI_IMAGE) hi->iImage = it.image;
  if (hi->mask & HDI_BITMAP) hi->hbm = it.bitmap;
  if (hi->mask & HDI_ORDER) hi->iOrder = int(std::find(order_.begin(), order_.end(), index) - order_.begin());
  return TRUE;
}

BOOL Header::SetItem(int index, const HDITEMW& given) {
  if (!Valid(index)) return FALSE;
  HDITEMW hi = given;
  if (Tell(HDN_ITEMCHANGING, index, 0, &hi)) return FALSE;
  Item& it = items_[size_t(index)];
  if (hi.mask & HDI_WIDTH) it.width = std::max(0, hi.cxy);
  if ((hi.mask & HDI_TEXT) && hi.pszText && hi.pszText != LPSTR_TEXTCALLBACKW) it.text = hi.pszText;
  if (hi.mask & HDI_FORMAT) it.fmt = hi.fmt;
  if (hi.mask & HDI_LPARAM) it.param = hi.lParam;
  if (hi.mask & HDI_IMAGE) it.image = hi.iImage;
  if (hi.mask & HDI_BITMAP) it.bitmap = hi.hbm;
  if (hi.mask & HDI_ORDER) {
    order_.erase(std::find(order_.begin(), order_.end(), index));
    order_.insert(order_.begin() + std::clamp(hi.iOrder, 0, int(order_.size())), index);
  }
  Redraw();
  Tell(HDN_ITEMCHANGED, index, 0, &hi);
  return TRUE;
}

bool Header::ChangeWidth(int index, int width) {
  HDITEMW hi;
  hi.mask = HDI_WIDTH;
  hi.cxy = std::max(0, width);
  return SetItem(index, hi);
}

void Header::SetHot(int index) {
  if (hot_ == index) return;
  hot_ = index;
  Redraw();
}

void Header::PaintItem(HDC dc, int index, const RECT& r, LRESULT stage) {
  const Item& it = items_[size_t(index)];
  const bool pressed = index == pressed_ && pressedInside_;
  if (stage & CDRF_NOTIFYITEMDRAW) {
    const UINT state = (pressed ? CDIS_SELECTED : 0) | (index == hot_ ? CDIS_HOT : 0);
    if (CustomDraw(CDDS_ITEMPREPAINT, dc, r, ULONG_PTR(index), state, it.param) & CDRF_SKIPDEFAULT) return;
  }
  if (it.fmt & HDF_OWNERDRAW) {
    DrawItem(ODT_HEADER, UINT(index), pressed ? ODS_SELECTED : 0, dc, r, ULONG_PTR(it.param));
    return;
  }
  FillSys(dc, r, COLOR_BTNFACE);
  if (pressed) FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  else DrawEdge3d(dc, r, true, true);
  RECT t = r;
  InflateRect(&t, -6, 0);
  if (pressed) OffsetRect(&t, 1, 1);
  int cx = 0, cy = 0;
  if ((it.fmt & HDF_IMAGE) && images_ && ImageList_GetIconSize(images_, &cx, &cy) && it.image >= 0) {
    ImageList_Draw(images_, it.image, dc, t.left, t.top + (t.bottom - t.top - cy) / 2, ILD_TRANSPARENT);
    t.left += cx + 4;
  }
  const bool sorted = it.fmt & (HDF_SORTUP | HDF_SORTDOWN);
  if (sorted) t.right -= 12;
  UINT align = DT_LEFT;
  if ((it.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT) align = DT_RIGHT;
  if ((it.fmt & HDF_JUSTIFYMASK) == HDF_CENTER) align = DT_CENTER;
  DrawLabel(dc, Font(), it.text, t, align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX,
            GetSysColor(COLOR_BTNTEXT));
  if (sorted) {
    RECT a{t.right + 2, r.top, t.right + 12, r.bottom};
    DrawArrowGlyph(dc, a, (it.fmt & HDF_SORTUP) ? ArrowDir::Up : ArrowDir::Down, true);
  }
  if (stage & CDRF_NOTIFYPOSTPAINT) CustomDraw(CDDS_ITEMPOSTPAINT, dc, r, ULONG_PTR(index), 0, it.param);
}

void Header::Paint(HDC dc) {
  const RECT c = Client();
  const LRESULT stage = CustomDraw(CDDS_PREPAINT, dc, c);
  if (stage & CDRF_SKIPDEFAULT) return;
  int x = 0;
  for (int i : order_) {
    const RECT r{x, 0, x + items_[size_t(i)].width, c.bottom};
    x = r.right;
    if (r.right > r.left) PaintItem(dc, i, r, stage);
  }
  if (x < c.right) {
    const RECT rest{x, 0, c.right, c.bottom};
    FillSys(dc, rest, COLOR_BTNFACE);
    DrawEdge3d(dc, rest, true, true);
  }
  if (stage & CDRF_NOTIFYPOSTPAINT) CustomDraw(CDDS_POSTPAINT, dc, c);
}

LRESULT Header::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case HDM_GETITEMCOUNT: return Count();
    case HDM_INSERTITEMA: case HDM_INSERTITEMW:
      return lp ? Insert(int(wp), *reinterpret_cast<const HDITEMW*>(lp)) : -1;
    case HDM_DELETEITEM: return Delete(int(wp));
    case HDM_GETITEMA: case HDM_GETITEMW: return GetItem(int(wp), reinterpret_cast<HDITEMW*>(lp));
    case HDM_SETITEMA: case HDM_SETITEMW:
      return lp ? SetItem(int(wp), *reinterpret_cast<const HDITEMW*>(lp)) : FALSE;
    case HDM_LAYOUT: {
      auto* layout = reinterpret_cast<HDLAYOUT*>(lp);
      if (!layout || !layout->prc || !layout->pwpos) return FALSE;
      const int h = Height();
      WINDOWPOS& wp2 = *layout->pwpos;
      wp2.hwnd = hwnd;
      wp2.hwndInsertAfter = nullptr;
      wp2.x = layout->prc->left;
      wp2.y = layout->prc->top;
      wp2.cx = layout->prc->right - layout->prc->left;
      wp2.cy = h;
      wp2.flags = SWP_NOZORDER | SWP_NOACTIVATE;
      layout->prc->top += h;
      return TRUE;
    }
    case HDM_HITTEST: {
      auto* info = reinterpret_cast<HDHITTESTINFO*>(lp);
      if (!info) return -1;
      info->iItem = HitTest(info->pt, &info->flags);
      return info->iItem;
    }
    case HDM_GETITEMRECT:
      if (!Valid(int(wp)) || !lp) return FALSE;
      *reinterpret_cast<RECT*>(lp) = ItemRect(int(wp));
      return TRUE;
    case HDM_SETIMAGELIST: {
      HIMAGELIST old = images_;
      images_ = reinterpret_cast<HIMAGELIST>(lp);
      Redraw();
      return LRESULT(old);
    }
    case HDM_GETIMAGELIST: return LRESULT(images_);
    case HDM_ORDERTOINDEX: return int(wp) >= 0 && int(wp) < int(order_.size()) ? order_[size_t(wp)] : int(wp);
    case HDM_GETORDERARRAY: {
      auto* out = reinterpret_cast<int*>(lp);
      if (!out || int(wp) < Count()) return FALSE;
      std::copy(order_.begin(), order_.end(), out);
      return TRUE;
    }
    case HDM_SETORDERARRAY: {
      const auto* in = reinterpret_cast<const int*>(lp);
      if (!in || int(wp) != Count()) return FALSE;
      std::vector<int> order(in, in + wp), check = order;
      std::sort(check.begin(), check.end());
      for (int k = 0; k < Count(); ++k)
        if (check[size_t(k)] != k) return FALSE;
      order_ = order;
      Redraw();
      return TRUE;
    }
    case HDM_SETHOTDIVIDER: return -1;
    case WM_SETFONT:
      Control::Handle(msg, wp, lp);
      return 0;
    case WM_GETDLGCODE: return 0;
    case WM_SETCURSOR: {
      POINT p;
      GetCursorPos(&p);
      ScreenToClient(hwnd, &p);
      UINT flags = 0;
      if (LOWORD(lp) == HTCLIENT && (tracking_ >= 0 || (HitTest(p, &flags), flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)))) {
        SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONDOWN: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      UINT flags = 0;
      const int i = HitTest(p, &flags);
      if (i < 0) return 0;
      if (flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN)) {
        HDITEMW hi;
        hi.mask = HDI_WIDTH;
        hi.cxy = items_[size_t(i)].width;
        if (Tell(HDN_BEGINTRACK, i, 0, &hi)) return 0;
        tracking_ = i;
        trackStartX_ = p.x;
        trackStartWidth_ = items_[size_t(i)].width;
        SetCapture(hwnd);
      } else if (Style() & HDS_BUTTONS) {
        pressed_ = i;
        pressedInside_ = true;
        SetCapture(hwnd);
        Redraw();
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      UINT flags = 0;
      if (tracking_ >= 0) {
        HDITEMW hi;
        hi.mask = HDI_WIDTH;
        hi.cxy = std::max(0, trackStartWidth_ + p.x - trackStartX_);
        if (Tell(HDN_TRACK, tracking_, 0, &hi)) return 0;
        if (hi.cxy != items_[size_t(tracking_)].width) ChangeWidth(tracking_, hi.cxy);
        return 0;
      }
      if (pressed_ >= 0) {
        const bool inside = HitTest(p, &flags) == pressed_ && (flags & HHT_ONHEADER);
        if (inside != pressedInside_) {
          pressedInside_ = inside;
          Redraw();
        }
        return 0;
      }
      if (Style() & HDS_HOTTRACK) {
        const int i = HitTest(p, &flags);
        SetHot(flags & HHT_ONHEADER ? i : -1);
        TRACKMOUSEEVENT tme;
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = hwnd;
        TrackMouseEvent(&tme);
      }
      return 0;
    }
    case WM_MOUSELEAVE: SetHot(-1); return 0;
    case WM_LBUTTONUP: {
      if (tracking_ >= 0) {
        const int i = tracking_;
        tracking_ = -1;
        ReleaseCapture();
        HDITEMW hi;
        hi.mask = HDI_WIDTH;
        hi.cxy = items_[size_t(i)].width;
        Tell(HDN_ENDTRACK, i, 0, &hi);
        return 0;
      }
      if (pressed_ >= 0) {
        const int i = pressed_;
        const bool inside = pressedInside_;
        pressed_ = -1;
        ReleaseCapture();
        Redraw();
        if (inside) Tell(HDN_ITEMCLICK, i);
      }
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      UINT flags = 0;
      const int i = HitTest(p, &flags);
      if (i >= 0 && (flags & (HHT_ONDIVIDER | HHT_ONDIVOPEN))) Tell(HDN_DIVIDERDBLCLICK, i);
      else if (i >= 0) Tell(HDN_ITEMDBLCLICK, i);
      return 0;
    }
    case WM_RBUTTONUP: Notify(NM_RCLICK, nullptr); return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd && (tracking_ >= 0 || pressed_ >= 0)) {
        tracking_ = pressed_ = -1;
        Redraw();
      }
      return 0;
    case WM_ERASEBKGND: return 1;
  }
  return Control::Handle(msg, wp, lp);
}

}  // namespace

LRESULT HeaderWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Header>(wnd, msg, wp, lp); }

}  // namespace win
