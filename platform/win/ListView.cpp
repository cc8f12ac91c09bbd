// The "SysListView32" class. The report view is the full one: columns kept in
// step with a "SysHeader32" child, rows with sub-items and small images,
// selection and focus, grid lines, row select, custom drawing per item and
// sub-item, scrolling. The icon, small-icon and list views lay the same items
// out on a plain grid. Every change invalidates only the rows it touches.

#include <algorithm>
#include <cstring>

#include "platform/rtl/SysUtils.h"
#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kCellPadding = 6;  // text inset inside a report cell
constexpr int kIconCellWidth = 76;
constexpr int kListCellMinWidth = 40;
constexpr int kWheelDelta = 120;  // one notch of the wheel
constexpr int kMaxSubItems = 1024;

int ImageHeight(HIMAGELIST list) {
  int cx = 0, cy = 0;
  ImageList_GetIconSize(list, &cx, &cy);
  return cy;
}

class ListView : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(HDC dc) override;

 private:
  struct Item {
    std::vector<std::string> text;  // by sub-item
    bool callback = false;          // text comes from LVN_GETDISPINFO
    int image = 0;
    LPARAM param = 0;
    UINT state = 0;
    int indent = 0;
  };
  struct Column {
    int fmt = LVCFMT_LEFT;
    int width = 0;
    int subItem = 0;
    int image = 0;
    std::string text;
  };

  // ---- geometry ----
  DWORD View() const { return Style() & LVS_TYPEMASK; }
  bool Report() const { return View() == LVS_REPORT; }
  int Count() const { return int(items_.size()); }
  bool Valid(int i) const { return i >= 0 && i < Count(); }
  int HeaderHeight() const;
  int RowHeight() const;
  SIZE CellSize() const;  // the grid cell of the icon, small-icon and list views
  int RowsPerPage() const;  // whole rows that fit (report, list)
  int PerLine() const;      // items per grid line (icon, small icon) or per column (list)
  int TotalWidth() const;   // of all columns
  std::vector<int> Order() const;  // column display order
  RECT RowRect(int i) const;       // LVIR_BOUNDS
  RECT CellRect(int i, int column) const;  // report: one sub-item's cell
  RECT IconRect(int i) const;
  RECT LabelRect(int i) const;
  int ItemAt(POINT p, int* subItem, UINT* flags) const;

  // ---- content ----
  std::string TextOf(int i, int subItem);
  int Insert(const LVITEMW& lvi);
  bool Delete(int i);
  void DeleteAll();
  BOOL SetItem(const LVITEMW& lvi);
  BOOL GetItem(LVITEMW* lvi);
  // Applies state bits to item i with LVN_ITEMCHANGING / LVN_ITEMCHANGED; false when refused.
  bool SetState(int i, UINT state, UINT mask);
  void SelectOnly(int i);
  void SelectRange(int from, int to);
  void SetFocusItem(int i);
  int FocusItem() const;
  int NextItem(int start, UINT flags) const;
  int InsertColumn(int at, const LVCOLUMNW& col);
  BOOL SetColumn(int at, const LVCOLUMNW& col);
  BOOL GetColumn(int at, LVCOLUMNW* col) const;
  void SetColumnWidth(int at, int width);
  int AutoWidth(int at, bool useHeader);

  // ---- painting and scrolling ----
  void InvalidateItem(int i);
  void InvalidateFrom(int i);  // row i and everything below it
  void Layout();
  void UpdateScrollBars();
  void ScrollTo(int top, int x);
  void EnsureVisible(int i);
  void PaintReport(HDC dc, const RECT& clip, LRESULT stage);
  void PaintGrid(HDC dc, LRESULT stage);
  void PaintItem(HDC dc, int i, LRESULT stage);
  bool ShowSelection() const { return Focused() || (Style() & LVS_SHOWSELALWAYS); }
  void MakeHeader();
  void SyncHeaderItem(int at, UINT mask, bool insert);

  // ---- input ----
  void Click(UINT msg, POINT p, WPARAM keys);
  LRESULT NotifyItem(UINT code, int i, int subItem, POINT p, UINT keyFlags = 0);
  void Key(int vk);
  void OnHeaderNotify(NMHDR* nm);

  std::vector<Item> items_;
  std::vector<Column> columns_;
  HWND header_ = nullptr;
  HIMAGELIST images_[3] = {};
  COLORREF bk_ = GetSysColor(COLOR_WINDOW);
  COLORREF text_ = GetSysColor(COLOR_WINDOWTEXT);
  COLORREF textBk_ = GetSysColor(COLOR_WINDOW);
  DWORD ex_ = 0;
  int top_ = 0;      // report and grid views: first visible row or line
  int xoff_ = 0;     // report and list views: pixels scrolled to the left
  int mark_ = -1;    // selection mark: anchor of Shift ranges
  int downItem_ = -1;
  int downSub_ = 0;
  bool leftDown_ = false;
  bool rightDown_ = false;
  bool inLayout_ = false;
};

// ---- geometry ----

int ListView::HeaderHeight() const {
  if (!Report() || !header_ || (Style() & LVS_NOCOLUMNHEADER)) return 0;
  RECT r;
  GetWindowRect(header_, &r);
  return r.bottom - r.top;
}

int ListView::RowHeight() const {
  int cx = 0, cy = 0;
  const int image = ImageList_GetIconSize(images_[LVSIL_SMALL], &cx, &cy) ? cy + 1 : 0;
  return std::max(FontHeight(Font()) + 4, image);
}

SIZE ListView::CellSize() const {
  int cx = 0, cy = 0;
  switch (View()) {
    case LVS_ICON: {
      if (!ImageList_GetIconSize(images_[LVSIL_NORMAL], &cx, &cy)) cx = cy = GetSystemMetrics(SM_CXICON);
      return SIZE{std::max(kIconCellWidth, cx + 8), cy + 2 * FontHeight(Font()) + 10};
    }
    case LVS_SMALLICON: case LVS_LIST: {
      ImageList_GetIconSize(images_[LVSIL_SMALL], &cx, &cy);
      HDC dc = GetDC(hwnd);
      HGDIOBJ old = SelectObject(dc, Font());
      int widest = 0;
      for (int i = 0; i < Count(); ++i) {
        SIZE s{};
        const std::string& t = items_[size_t(i)].text.empty() ? std::string() : items_[size_t(i)].text[0];
        GetTextExtentPoint32(dc, t.c_str(), int(t.size()), &s);
        widest = std::max(widest, int(s.cx));
      }
      SelectObject(dc, old);
      ReleaseDC(hwnd, dc);
      return SIZE{std::max(kListCellMinWidth, cx + widest + 3 * kCellPadding), RowHeight()};
    }
  }
  return SIZE{0, RowHeight()};
}

int ListView::RowsPerPage() const {
  const RECT c = Client();
  if (Report()) return std::max(0, int(c.bottom - HeaderHeight()) / RowHeight());
  return std::max(1, int(c.bottom) / int(CellSize().cy));
}

int ListView::PerLine() const {
  const RECT c = Client();
  if (View() == LVS_LIST) return RowsPerPage();
  return std::max(1, int(c.right) / int(CellSize().cx));
}

int ListView::TotalWidth() const {
  int w = 0;
  for (const Column& c : columns_) w += c.width;
  return w;
}

std::vector<int> ListView::Order() const {
  std::vector<int> order(columns_.size());
  if (header_ && SendMessageW(header_, HDM_GETORDERARRAY, order.size(), LPARAM(order.data()))) return order;
  for (size_t k = 0; k < order.size(); ++k) order[k] = int(k);
  return order;
}

RECT ListView::RowRect(int i) const {
  if (Report()) {
    const int h = RowHeight(), y = HeaderHeight() + (i - top_) * h;
    return RECT{-xoff_, y, TotalWidth() - xoff_, y + h};
  }
  const SIZE cell = CellSize();
  const int per = PerLine();
  if (View() == LVS_LIST) {
    const int x = (i / per) * cell.cx - xoff_, y = (i % per) * cell.cy;
    return RECT{x, y, x + cell.cx, y + cell.cy};
  }
  const int x = (i % per) * cell.cx, y = (i / per - top_) * cell.cy;
  return RECT{x, y, x + cell.cx, y + cell.cy};
}

RECT ListView::CellRect(int i, int column) const {
  const RECT row = RowRect(i);
  int x = row.left;
  for (int c : Order()) {
    const int w = columns_[size_t(c)].width;
    if (c == column) return RECT{x, row.top, x + w, row.bottom};
    x += w;
  }
  return RECT{};
}

RECT ListView::IconRect(int i) const {
  int cx = 0, cy = 0;
  if (View() == LVS_ICON) {
    if (!ImageList_GetIconSize(images_[LVSIL_NORMAL], &cx, &cy)) cx = cy = GetSystemMetrics(SM_CXICON);
    const RECT r = RowRect(i);
    const int x = r.left + (r.right - r.left - cx) / 2;
    return RECT{x, r.top + 2, x + cx, r.top + 2 + cy};
  }
  ImageList_GetIconSize(images_[LVSIL_SMALL], &cx, &cy);
  RECT r = Report() ? (columns_.empty() ? RowRect(i) : CellRect(i, 0)) : RowRect(i);
  r.left += 2 + items_[size_t(i)].indent * cx;
  return RECT{r.left, r.top, r.left + cx, r.bottom};
}

RECT ListView::LabelRect(int i) const {
  const RECT icon = IconRect(i);
  if (View() == LVS_ICON) {
    const RECT r = RowRect(i);
    return RECT{r.left, icon.bottom + 2, r.right, r.bottom};
  }
  RECT r = Report() ? (columns_.empty() ? RowRect(i) : CellRect(i, 0)) : RowRect(i);
  r.left = icon.right;
  return r;
}

int ListView::ItemAt(POINT p, int* subItem, UINT* flags) const {
  const RECT c = Client();
  *subItem = 0;
  *flags = 0;
  if (p.y < 0) *flags |= LVHT_ABOVE;
  if (p.y >= c.bottom) *flags |= LVHT_BELOW;
  if (p.x < 0) *flags |= LVHT_TOLEFT;
  if (p.x >= c.right) *flags |= LVHT_TORIGHT;
  if (*flags) return -1;
  int i = -1;
  if (Report()) {
    if (p.y >= HeaderHeight()) i = top_ + (p.y - HeaderHeight()) / RowHeight();
  } else {
    const SIZE cell = CellSize();
    const int per = PerLine();
    if (View() == LVS_LIST) {
      const int row = p.y / cell.cy;
      if (row < per) i = ((p.x + xoff_) / cell.cx) * per + row;
    } else if (p.x / cell.cx < per) {
      i = (p.y / cell.cy + top_) * per + p.x / cell.cx;
    }
  }
  if (!Valid(i)) {
    *flags = LVHT_NOWHERE;
    return -1;
  }
  const RECT icon = IconRect(i), label = LabelRect(i), row = RowRect(i);
  if (Report()) {
    int x = row.left;
    for (int col : Order()) {
      if (p.x >= x && p.x < x + columns_[size_t(col)].width) *subItem = columns_[size_t(col)].subItem;
      x += columns_[size_t(col)].width;
    }
  }
  if (PtInRect(&icon, p)) *flags = LVHT_ONITEMICON;
  else if (PtInRect(&label, p)) *flags = LVHT_ONITEMLABEL;
  else if (PtInRect(&row, p) && (ex_ & LVS_EX_FULLROWSELECT)) *flags = LVHT_ONITEMLABEL;
  else *flags = LVHT_NOWHERE;
  return (*flags & LVHT_ONITEM) ? i : -1;
}

// ---- content ----

std::string ListView::TextOf(int i, int subItem) {
  Item& it = items_[size_t(i)];
  if (it.callback && subItem == 0) {
    char buf[512] = {};
    NMLVDISPINFOW di;
    di.item.mask = LVIF_TEXT;
    di.item.iItem = i;
    di.item.iSubItem = subItem;
    di.item.pszText = buf;
    di.item.cchTextMax = sizeof(buf);
    di.item.lParam = it.param;
    Notify(LVN_GETDISPINFOW, &di.hdr);
    return di.item.pszText && di.item.pszText != LPSTR_TEXTCALLBACKW ? std::string(di.item.pszText) : std::string();
  }
  return size_t(subItem) < it.text.size() ? it.text[size_t(subItem)] : std::string();
}

int ListView::Insert(const LVITEMW& lvi) {
  if (lvi.iSubItem != 0) return -1;
  Item item;
  if (lvi.mask & LVIF_TEXT) {
    item.callback = lvi.pszText == LPSTR_TEXTCALLBACKW;
    item.text.push_back(lvi.pszText && !item.callback ? lvi.pszText : "");
  }
  if (lvi.mask & LVIF_IMAGE) item.image = lvi.iImage;
  if (lvi.mask & LVIF_PARAM) item.param = lvi.lParam;
  if (lvi.mask & LVIF_INDENT) item.indent = lvi.iIndent;
  int at = std::clamp(lvi.iItem, 0, Count());
  if (Style() & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) {
    const bool up = Style() & LVS_SORTASCENDING;
    const std::string key = item.text.empty() ? std::string() : item.text[0];
    at = 0;
    while (at < Count()) {
      const int cmp = CompareText(items_[size_t(at)].text.empty() ? std::string() : items_[size_t(at)].text[0], key);
      if (up ? cmp > 0 : cmp < 0) break;
      ++at;
    }
  }
  items_.insert(items_.begin() + at, item);
  if (mark_ >= at) ++mark_;
  if (lvi.mask & LVIF_STATE) {
    const UINT mask = lvi.stateMask & (LVIS_SELECTED | LVIS_FOCUSED | LVIS_CUT | LVIS_DROPHILITED |
                                       LVIS_OVERLAYMASK | LVIS_STATEIMAGEMASK);
    if ((Style() & LVS_SINGLESEL) && (lvi.state & mask & LVIS_SELECTED))
      for (int k = 0; k < Count(); ++k)
        if (k != at) items_[size_t(k)].state &= ~LVIS_SELECTED;
    if (lvi.state & mask & LVIS_FOCUSED)
      for (int k = 0; k < Count(); ++k)
        if (k != at) items_[size_t(k)].state &= ~LVIS_FOCUSED;
    items_[size_t(at)].state = lvi.state & mask;
  }
  UpdateScrollBars();
  if (View() == LVS_SMALLICON || View() == LVS_LIST) Redraw();  // the cell width may change
  else InvalidateFrom(at);
  NMLISTVIEW nm;
  nm.iItem = at;
  nm.lParam = item.param;
  Notify(LVN_INSERTITEM, &nm.hdr);
  return at;
}

bool ListView::Delete(int i) {
  if (!Valid(i)) return false;
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.lParam = items_[size_t(i)].param;
  Notify(LVN_DELETEITEM, &nm.hdr);
  if (!Valid(i)) return false;  // the parent changed the list meanwhile
  InvalidateFrom(i);
  items_.erase(items_.begin() + i);
  if (mark_ == i) mark_ = -1;
  else if (mark_ > i) --mark_;
  top_ = std::clamp(top_, 0, std::max(0, Count() - std::max(1, RowsPerPage())));
  UpdateScrollBars();
  return true;
}

void ListView::DeleteAll() {
  NMLISTVIEW nm;
  nm.iItem = -1;
  // A parent answering TRUE wants no LVN_DELETEITEM per item.
  const bool quiet = Notify(LVN_DELETEALLITEMS, &nm.hdr) != 0;
  if (!quiet)
    for (int i = 0; i < Count(); ++i) {
      NMLISTVIEW one;
      one.iItem = i;
      one.lParam = items_[size_t(i)].param;
      Notify(LVN_DELETEITEM, &one.hdr);
    }
  items_.clear();
  mark_ = -1;
  top_ = 0;
  UpdateScrollBars();
  Redraw();
}

BOOL ListView::SetItem(const LVITEMW& lvi) {
  const int i = lvi.iItem;
  // Sub-item texts are kept even for columns not inserted yet.
  if (!Valid(i) || lvi.iSubItem < 0 || lvi.iSubItem >= kMaxSubItems) return FALSE;
  Item& it = items_[size_t(i)];
  if (lvi.iSubItem > 0) {
    if (!(lvi.mask & LVIF_TEXT)) return TRUE;
    if (it.text.size() <= size_t(lvi.iSubItem)) it.text.resize(size_t(lvi.iSubItem) + 1);
    const std::string t = lvi.pszText && lvi.pszText != LPSTR_TEXTCALLBACKW ? lvi.pszText : "";
    if (it.text[size_t(lvi.iSubItem)] == t) return TRUE;
    it.text[size_t(lvi.iSubItem)] = t;
    // Only the changed cell needs painting again.
    for (size_t c = 0; c < columns_.size(); ++c)
      if (columns_[c].subItem == lvi.iSubItem) {
        const RECT r = CellRect(i, int(c));
        InvalidateRect(hwnd, &r, TRUE);
      }
    return TRUE;
  }
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.uChanged = lvi.mask & (LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM);
  nm.lParam = it.param;
  if (nm.uChanged && Notify(LVN_ITEMCHANGING, &nm.hdr)) return FALSE;
  if (!Valid(i)) return FALSE;
  Item& item = items_[size_t(i)];
  if (lvi.mask & LVIF_TEXT) {
    if (item.text.empty()) item.text.resize(1);
    item.callback = lvi.pszText == LPSTR_TEXTCALLBACKW;
    item.text[0] = lvi.pszText && !item.callback ? lvi.pszText : "";
  }
  if (lvi.mask & LVIF_IMAGE) item.image = lvi.iImage;
  if (lvi.mask & LVIF_PARAM) item.param = lvi.lParam;
  if (lvi.mask & LVIF_INDENT) item.indent = lvi.iIndent;
  if (nm.uChanged || (lvi.mask & LVIF_INDENT)) {
    InvalidateItem(i);
    nm.lParam = item.param;
    if (nm.uChanged) Notify(LVN_ITEMCHANGED, &nm.hdr);
  }
  if (lvi.mask & LVIF_STATE) return SetState(i, lvi.state, lvi.stateMask);
  return TRUE;
}

BOOL ListView::GetItem(LVITEMW* lvi) {
  if (!lvi || !Valid(lvi->iItem)) return FALSE;
  const int i = lvi->iItem;
  if (lvi->mask & LVIF_TEXT) {
    const std::string t = TextOf(i, lvi->iSubItem);
    if (lvi->pszText && lvi->pszText != LPSTR_TEXTCALLBACKW && lvi->cchTextMax > 0) {
      const size_t n = std::min(t.size(), size_t(lvi->cchTextMax - 1));
      memcpy(lvi->pszText, t.data(), n);
      lvi->pszText[n] = 0;
    }
  }
  const Item& it = items_[size_t(i)];
  if (lvi->mask & LVIF_IMAGE) lvi->iImage = it.image;
  if (lvi->mask & LVIF_PARAM) lvi->lParam = it.param;
  if (lvi->mask & LVIF_STATE) lvi->state = it.state & lvi->stateMask;
  if (lvi->mask & LVIF_INDENT) lvi->iIndent = it.indent;
  return TRUE;
}

bool ListView::SetState(int i, UINT state, UINT mask) {
  if (!Valid(i)) return false;
  const UINT old = items_[size_t(i)].state;
  const UINT now = (old & ~mask) | (state & mask);
  if (now == old) return true;
  NMLISTVIEW nm;
  nm.iItem = i;
  nm.uChanged = LVIF_STATE;
  nm.uOldState = old;
  nm.uNewState = now;
  nm.lParam = items_[size_t(i)].param;
  if (Notify(LVN_ITEMCHANGING, &nm.hdr) || !Valid(i)) return false;
  // One selection in a single-selection list, one focused item in any list.
  if ((now & LVIS_SELECTED) && !(old & LVIS_SELECTED) && (Style() & LVS_SINGLESEL))
    for (int k = 0; k < Count(); ++k)
      if (k != i && (items_[size_t(k)].state & LVIS_SELECTED)) SetState(k, 0, LVIS_SELECTED);
  if ((now & LVIS_FOCUSED) && !(old & LVIS_FOCUSED))
    for (int k = 0; k < Count(); ++k)
      if (k != i && (items_[size_t(k)].state & LVIS_FOCUSED)) SetState(k, 0, LVIS_FOCUSED);
  if (!Valid(i)) return false;
  items_[size_t(i)].state = now;
  InvalidateItem(i);
  Notify(LVN_ITEMCHANGED, &nm.hdr);
  return true;
}

void ListView::SelectOnly(int i) {
  for (int k = 0; k < Count(); ++k)
    if (k != i && (items_[size_t(k)].state & LVIS_SELECTED)) SetState(k, 0, LVIS_SELECTED);
  if (Valid(i)) SetState(i, LVIS_SELECTED, LVIS_SELECTED);
}

void ListView::SelectRange(int from, int to) {
  if (from > to) std::swap(from, to);
  for (int k = 0; k < Count(); ++k) SetState(k, k >= from && k <= to ? LVIS_SELECTED : 0, LVIS_SELECTED);
}

void ListView::SetFocusItem(int i) {
  if (Valid(i)) SetState(i, LVIS_FOCUSED, LVIS_FOCUSED);
}

int ListView::FocusItem() const {
  for (int k = 0; k < Count(); ++k)
    if (items_[size_t(k)].state & LVIS_FOCUSED) return k;
  return -1;
}

int ListView::NextItem(int start, UINT flags) const {
  const UINT want = flags & (LVNI_SELECTED | LVNI_FOCUSED | LVIS_CUT | LVIS_DROPHILITED);
  auto matches = [&](int k) { return (items_[size_t(k)].state & want) == want; };
  int step = 1;
  if (flags & (LVNI_ABOVE | LVNI_TOLEFT)) step = -1;
  if (!Report() && View() != LVS_LIST && (flags & (LVNI_ABOVE | LVNI_BELOW))) step *= PerLine();
  if (!(flags & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT)) && start < 0) start = -1;
  for (int k = start + step; k >= 0 && k < Count(); k += step)
    if (matches(k)) return k;
  return -1;
}

int ListView::InsertColumn(int at, const LVCOLUMNW& col) {
  at = std::clamp(at, 0, int(columns_.size()));
  Column c;
  if (col.mask & LVCF_FMT) c.fmt = col.fmt;
  if (col.mask & LVCF_WIDTH) c.width = std::max(0, col.cx);
  if ((col.mask & LVCF_TEXT) && col.pszText && col.pszText != LPSTR_TEXTCALLBACKW) c.text = col.pszText;
  c.subItem = (col.mask & LVCF_SUBITEM) ? col.iSubItem : at;
  if (col.mask & LVCF_IMAGE) c.image = col.iImage;
  // The first column is always left-aligned (a documented rule of list views).
  if (at == 0) c.fmt &= ~LVCFMT_JUSTIFYMASK;
  columns_.insert(columns_.begin() + at, c);
  SyncHeaderItem(at, HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_IMAGE | ((col.mask & LVCF_ORDER) ? HDI_ORDER : 0), true);
  if (col.mask & LVCF_ORDER) {
    HDITEMW hi;
    hi.mask = HDI_ORDER;
    hi.iOrder = col.iOrder;
    if (header_) SendMessageW(header_, HDM_SETITEMW, WPARAM(at), LPARAM(&hi));
  }
  UpdateScrollBars();
  Redraw();
  return at;
}

BOOL ListView::SetColumn(int at, const LVCOLUMNW& col) {
  if (at < 0 || at >= int(columns_.size())) return FALSE;
  Column& c = columns_[size_t(at)];
  UINT mask = 0;
  if (col.mask & LVCF_FMT) c.fmt = at == 0 ? (col.fmt & ~LVCFMT_JUSTIFYMASK) : col.fmt, mask |= HDI_FORMAT;
  if (col.mask & LVCF_WIDTH) c.width = std::max(0, col.cx), mask |= HDI_WIDTH;
  if ((col.mask & LVCF_TEXT) && col.pszText && col.pszText != LPSTR_TEXTCALLBACKW) c.text = col.pszText, mask |= HDI_TEXT;
  if (col.mask & LVCF_SUBITEM) c.subItem = col.iSubItem;
  if (col.mask & LVCF_IMAGE) c.image = col.iImage, mask |= HDI_IMAGE;
  SyncHeaderItem(at, mask, false);
  if (col.mask & LVCF_ORDER) {
    HDITEMW hi;
    hi.mask = HDI_ORDER;
    hi.iOrder = col.iOrder;
    if (header_) SendMessageW(header_, HDM_SETITEMW, WPARAM(at), LPARAM(&hi));
  }
  UpdateScrollBars();
  Redraw();
  return TRUE;
}

BOOL ListView::GetColumn(int at, LVCOLUMNW* col) const {
  if (!col || at < 0 || at >= int(columns_.size())) return FALSE;
  const Column& c = columns_[size_t(at)];
  if (col->mask & LVCF_FMT) col->fmt = c.fmt;
  if (col->mask & LVCF_WIDTH) col->cx = c.width;
  if ((col->mask & LVCF_TEXT) && col->pszText && col->cchTextMax > 0) {
    const size_t n = std::min(c.text.size(), size_t(col->cchTextMax - 1));
    memcpy(col->pszText, c.text.data(), n);
    col->pszText[n] = 0;
  }
  if (col->mask & LVCF_SUBITEM) col->iSubItem = c.subItem;
  if (col->mask & LVCF_IMAGE) col->iImage = c.image;
  if (col->mask & LVCF_ORDER) {
    const std::vector<int> order = Order();
    col->iOrder = int(std::find(order.begin(), order.end(), at) - order.begin());
  }
  return TRUE;
}

void ListView::SetColumnWidth(int at, int width) {
  Column& c = columns_[size_t(at)];
  if (c.width == width) return;
  c.width = std::max(0, width);
  SyncHeaderItem(at, HDI_WIDTH, false);
  UpdateScrollBars();
  Redraw();
}

int ListView::AutoWidth(int at, bool useHeader) {
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, Font());
  auto width = [&](const std::string& t) {
    SIZE s{};
    GetTextExtentPoint32(dc, t.c_str(), int(t.size()), &s);
    return int(s.cx);
  };
  const Column& c = columns_[size_t(at)];
  int w = useHeader ? width(c.text) + 2 * kCellPadding : 0;
  int cx = 0, cy = 0;
  const int icon = c.subItem == 0 && ImageList_GetIconSize(images_[LVSIL_SMALL], &cx, &cy) ? cx + 2 : 0;
  for (int i = 0; i < Count(); ++i) w = std::max(w, width(TextOf(i, c.subItem)) + 2 * kCellPadding + icon);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  // The last column with the header's size fills the rest of the client area.
  if (useHeader && at == int(columns_.size()) - 1) {
    int others = 0;
    for (int k = 0; k < int(columns_.size()) - 1; ++k) others += columns_[size_t(k)].width;
    w = std::max(w, int(Client().right) - others);
  }
  return w;
}

// ---- painting and scrolling ----

void ListView::InvalidateItem(int i) {
  if (!Valid(i)) return;
  RECT r = RowRect(i);
  if (Report()) {
    r.left = 0;
    r.right = std::max(r.right, Client().right);
  }
  InvalidateRect(hwnd, &r, TRUE);
}

void ListView::InvalidateFrom(int i) {
  if (!Report()) {
    Redraw();
    return;
  }
  const RECT c = Client();
  RECT r{0, std::max(int(RowRect(i).top), HeaderHeight()), c.right, c.bottom};
  if (r.top < r.bottom) InvalidateRect(hwnd, &r, TRUE);
}

void ListView::Layout() {
  if (inLayout_) return;
  inLayout_ = true;
  if (header_) {
    const bool show = Report() && !(Style() & LVS_NOCOLUMNHEADER);
    RECT c = Client();
    c.left = -xoff_;
    c.right = std::max(int(c.right), TotalWidth() - xoff_ + 200);
    WINDOWPOS pos;
    HDLAYOUT layout;
    layout.prc = &c;
    layout.pwpos = &pos;
    SendMessageW(header_, HDM_LAYOUT, 0, LPARAM(&layout));
    SetWindowPos(header_, nullptr, pos.x, pos.y, pos.cx, pos.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
  UpdateScrollBars();
  inLayout_ = false;
}

void ListView::UpdateScrollBars() {
  if (Style() & LVS_NOSCROLL) return;
  const RECT c = Client();
  SCROLLINFO v, h;
  v.fMask = h.fMask = SIF_ALL;
  v.nMin = h.nMin = 0;
  if (Report()) {
    v.nMax = std::max(0, Count() - 1);
    v.nPage = UINT(std::max(1, RowsPerPage()));
    top_ = std::clamp(top_, 0, std::max(0, Count() - int(v.nPage)));
    v.nPos = top_;
    h.nMax = std::max(0, TotalWidth() - 1);
    h.nPage = UINT(std::max(1, int(c.right)));
    xoff_ = std::clamp(xoff_, 0, std::max(0, TotalWidth() - int(c.right)));
    h.nPos = xoff_;
  } else if (View() == LVS_LIST) {
    const SIZE cell = CellSize();
    const int columns = (Count() + PerLine() - 1) / PerLine();
    v.nMax = 0;
    v.nPage = 1;
    v.nPos = 0;
    h.nMax = std::max(0, columns * int(cell.cx) - 1);
    h.nPage = UINT(std::max(1, int(c.right)));
    xoff_ = std::clamp(xoff_, 0, std::max(0, columns * int(cell.cx) - int(c.right)));
    h.nPos = xoff_;
  } else {
    const int lines = (Count() + PerLine() - 1) / PerLine();
    const int visible = std::max(1, int(c.bottom) / int(CellSize().cy));
    v.nMax = std::max(0, lines - 1);
    v.nPage = UINT(visible);
    top_ = std::clamp(top_, 0, std::max(0, lines - visible));
    v.nPos = top_;
    h.nMax = 0;
    h.nPage = 1;
    h.nPos = 0;
  }
  SetScrollInfo(hwnd, SB_VERT, &v, TRUE);
  SetScrollInfo(hwnd, SB_HORZ, &h, TRUE);
}

void ListView::ScrollTo(int top, int x) {
  const int oldTop = top_, oldX = xoff_;
  top_ = top;
  xoff_ = x;
  UpdateScrollBars();  // clamps
  if (top_ == oldTop && xoff_ == oldX) return;
  if (xoff_ != oldX) Layout();
  Redraw();
}

void ListView::EnsureVisible(int i) {
  if (!Valid(i)) return;
  if (Report()) {
    const int page = std::max(1, RowsPerPage());
    if (i < top_) ScrollTo(i, xoff_);
    else if (i >= top_ + page) ScrollTo(i - page + 1, xoff_);
  } else if (View() == LVS_LIST) {
    const RECT r = RowRect(i), c = Client();
    if (r.left < 0) ScrollTo(top_, xoff_ + r.left);
    else if (r.right > c.right) ScrollTo(top_, xoff_ + (r.right - c.right));
  } else {
    const int line = i / PerLine();
    const int visible = std::max(1, int(Client().bottom) / int(CellSize().cy));
    if (line < top_) ScrollTo(line, 0);
    else if (line >= top_ + visible) ScrollTo(line - visible + 1, 0);
  }
}

void ListView::PaintItem(HDC dc, int i, LRESULT stage) {
  const Item& it = items_[size_t(i)];
  const RECT row = RowRect(i);
  NMLVCUSTOMDRAW cd;
  cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
  cd.nmcd.hdc = dc;
  cd.nmcd.rc = row;
  cd.nmcd.dwItemSpec = ULONG_PTR(i);
  cd.nmcd.uItemState = ((it.state & LVIS_SELECTED) ? CDIS_SELECTED : 0) |
                       ((it.state & LVIS_FOCUSED) && Focused() ? CDIS_FOCUS : 0) | (Enabled() ? 0 : CDIS_DISABLED);
  cd.nmcd.lItemlParam = it.param;
  cd.clrText = text_;
  cd.clrTextBk = textBk_;
  SelectObject(dc, Font());
  LRESULT itemStage = CDRF_DODEFAULT;
  if (stage & CDRF_NOTIFYITEMDRAW) {
    itemStage = Notify(NM_CUSTOMDRAW, &cd.nmcd.hdr);
    if (itemStage & CDRF_SKIPDEFAULT) return;
    if (!Valid(i)) return;
  }
  const COLORREF itemText = cd.clrText, itemBk = cd.clrTextBk;
  const bool selected = (cd.nmcd.uItemState & CDIS_SELECTED) && ShowSelection();
  const COLORREF selBk = GetSysColor(Focused() ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  const COLORREF selText = GetSysColor(Focused() ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
  const bool fullRow = Report() && (ex_ & LVS_EX_FULLROWSELECT);
  auto fill = [&](const RECT& r, COLORREF c) {
    if (c == CLR_NONE) return;
    HBRUSH b = CreateSolidBrush(c == CLR_DEFAULT ? bk_ : c);
    FillRect(dc, &r, b);
    DeleteObject(b);
  };
  auto text = [&](const std::string& t, RECT r, UINT align, COLORREF c) {
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, c);
    DrawText(dc, t.c_str(), int(t.size()), &r, align | DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
  };
  if (!Report()) {
    const RECT icon = IconRect(i), label = LabelRect(i);
    HIMAGELIST list = images_[View() == LVS_ICON ? LVSIL_NORMAL : LVSIL_SMALL];
    if (list) ImageList_DrawEx(list, it.image, dc, icon.left, icon.top + (icon.bottom - icon.top - ImageHeight(list)) / 2,
                              0, 0, CLR_NONE, CLR_DEFAULT, selected ? ILD_SELECTED : ILD_TRANSPARENT);
    fill(label, selected ? selBk : itemBk);
    RECT t = label;
    InflateRect(&t, -2, 0);
    text(TextOf(i, 0), t, View() == LVS_ICON ? DT_CENTER : DT_LEFT, selected ? selText : itemText);
    if ((it.state & LVIS_FOCUSED) && Focused()) DrawFocusRectangle(dc, label);
    return;
  }
  for (int col : Order()) {
    const Column& c = columns_[size_t(col)];
    const RECT cell = CellRect(i, col);
    if (cell.right <= cell.left) continue;
    COLORREF cellText = itemText, cellBk = itemBk;
    if (itemStage & CDRF_NOTIFYSUBITEMDRAW) {
      cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
      cd.nmcd.rc = cell;
      cd.iSubItem = c.subItem;
      cd.clrText = itemText;
      cd.clrTextBk = itemBk;
      const LRESULT r = Notify(NM_CUSTOMDRAW, &cd.nmcd.hdr);
      if (!Valid(i)) return;
      if (r & CDRF_SKIPDEFAULT) continue;
      cellText = cd.clrText;
      cellBk = cd.clrTextBk;
    }
    const bool highlight = selected && (fullRow || c.subItem == 0);
    RECT area = cell;
    if (c.subItem == 0) {
      const RECT icon = IconRect(i);
      fill(RECT{cell.left, cell.top, icon.right, cell.bottom}, cellBk);
      if (images_[LVSIL_SMALL] && it.image >= 0)
        ImageList_DrawEx(images_[LVSIL_SMALL], it.image, dc, icon.left,
                         icon.top + (icon.bottom - icon.top - ImageHeight(images_[LVSIL_SMALL])) / 2, 0, 0, CLR_NONE,
                         CLR_DEFAULT, highlight && !fullRow ? ILD_SELECTED : ILD_TRANSPARENT);
      area.left = icon.right;
    }
    fill(area, highlight ? selBk : cellBk);
    RECT t = area;
    t.left += c.subItem == 0 ? 2 : kCellPadding;
    t.right -= kCellPadding;
    UINT align = DT_LEFT;
    if ((c.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT) align = DT_RIGHT;
    if ((c.fmt & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER) align = DT_CENTER;
    text(TextOf(i, c.subItem), t, align, highlight ? selText : cellText);
  }
  if ((it.state & LVIS_FOCUSED) && Focused()) {
    RECT f = fullRow || columns_.empty() ? row : LabelRect(i);
    DrawFocusRectangle(dc, f);
  }
  if (itemStage & CDRF_NOTIFYPOSTPAINT) {
    cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
    cd.nmcd.rc = row;
    cd.iSubItem = 0;
    Notify(NM_CUSTOMDRAW, &cd.nmcd.hdr);
  }
}

void ListView::PaintReport(HDC dc, const RECT& clip, LRESULT stage) {
  const int h = RowHeight(), top = HeaderHeight();
  const RECT c = Client();
  const int first = std::max(top_, top_ + (int(clip.top) - top) / h);
  const int last = std::min(Count() - 1, top_ + (int(clip.bottom) - top - 1) / h);
  for (int i = first; i <= last && i < Count(); ++i) {
    const RECT r = RowRect(i);
    if (RectVisible(dc, &r)) PaintItem(dc, i, stage);
  }
  if (ex_ & LVS_EX_GRIDLINES) {
    HBRUSH b = GetSysColorBrush(COLOR_BTNFACE);
    for (int y = top + h - 1; y < c.bottom; y += h) {
      RECT line{0, y, c.right, y + 1};
      FillRect(dc, &line, b);
    }
    int x = -xoff_;
    for (int col : Order()) {
      x += columns_[size_t(col)].width;
      RECT line{x - 1, top, x, c.bottom};
      FillRect(dc, &line, b);
    }
  }
}

void ListView::PaintGrid(HDC dc, LRESULT stage) {
  for (int i = 0; i < Count(); ++i) {
    const RECT r = RowRect(i);
    if (RectVisible(dc, &r)) PaintItem(dc, i, stage);
  }
}

void ListView::Paint(HDC dc) {
  const RECT c = Client();
  RECT clip;
  if (GetClipBox(dc, &clip) == NULLREGION) return;
  NMLVCUSTOMDRAW cd;
  cd.nmcd.dwDrawStage = CDDS_PREPAINT;
  cd.nmcd.hdc = dc;
  cd.nmcd.rc = c;
  cd.clrText = text_;
  cd.clrTextBk = textBk_;
  SelectObject(dc, Font());
  const LRESULT stage = Notify(NM_CUSTOMDRAW, &cd.nmcd.hdr);
  if (stage & CDRF_SKIPDEFAULT) return;
  if (Report()) PaintReport(dc, clip, stage);
  else PaintGrid(dc, stage);
  if (stage & CDRF_NOTIFYPOSTPAINT) {
    cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
    Notify(NM_CUSTOMDRAW, &cd.nmcd.hdr);
  }
}

void ListView::MakeHeader() {
  if (header_ || !Report()) return;
  DWORD style = WS_CHILD | HDS_HORZ | HDS_FULLDRAG | HDS_HOTTRACK;
  if (!(Style() & LVS_NOSORTHEADER)) style |= HDS_BUTTONS;
  if (ex_ & LVS_EX_HEADERDRAGDROP) style |= HDS_DRAGDROP;
  header_ = CreateWindowExW(0, WC_HEADERW, "", style, 0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr);
  if (!header_) return;
  SendMessageW(header_, WM_SETFONT, WPARAM(Font()), FALSE);
  for (int k = 0; k < int(columns_.size()); ++k) SyncHeaderItem(k, HDI_WIDTH | HDI_TEXT | HDI_FORMAT | HDI_IMAGE, true);
  Layout();
}

void ListView::SyncHeaderItem(int at, UINT mask, bool insert) {
  if (!header_ || !mask) return;
  const Column& c = columns_[size_t(at)];
  HDITEMW hi;
  hi.mask = mask & ~HDI_ORDER;
  hi.cxy = c.width;
  hi.pszText = const_cast<char*>(c.text.c_str());
  hi.fmt = (c.fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING | ((c.fmt & LVCFMT_IMAGE) ? HDF_IMAGE : 0);
  hi.iImage = c.image;
  SendMessageW(header_, insert ? HDM_INSERTITEMW : HDM_SETITEMW, WPARAM(at), LPARAM(&hi));
}

// ---- input ----

LRESULT ListView::NotifyItem(UINT code, int i, int subItem, POINT p, UINT keyFlags) {
  NMITEMACTIVATE nm;
  nm.iItem = i;
  nm.iSubItem = subItem;
  nm.ptAction = p;
  nm.uKeyFlags = keyFlags;
  if (Valid(i)) {
    nm.uNewState = nm.uOldState = items_[size_t(i)].state;
    nm.lParam = items_[size_t(i)].param;
  }
  return Notify(code, &nm.hdr);
}

void ListView::Click(UINT msg, POINT p, WPARAM keys) {
  if (!Focused()) SetFocus(hwnd);
  int sub = 0;
  UINT flags = 0;
  const int i = ItemAt(p, &sub, &flags);
  const bool single = Style() & LVS_SINGLESEL;
  const bool ctrl = keys & MK_CONTROL, shift = keys & MK_SHIFT;
  if (msg == WM_RBUTTONDOWN) {
    if (i >= 0 && !(items_[size_t(i)].state & LVIS_SELECTED)) SelectOnly(i);
    if (i >= 0) SetFocusItem(i);
    rightDown_ = true;
  } else if (i < 0) {
    if (!ctrl) SelectOnly(-1);
  } else if (ctrl && !single) {
    SetState(i, (items_[size_t(i)].state & LVIS_SELECTED) ? 0 : LVIS_SELECTED, LVIS_SELECTED);
    mark_ = i;
    SetFocusItem(i);
  } else if (shift && !single && Valid(mark_)) {
    SelectRange(mark_, i);
    SetFocusItem(i);
  } else {
    SelectOnly(i);
    mark_ = i;
    SetFocusItem(i);
  }
  if (i >= 0) EnsureVisible(i);
  if (msg == WM_LBUTTONDOWN) leftDown_ = true;
  downItem_ = i;
  downSub_ = sub;
  SetCapture(hwnd);
}

void ListView::Key(int vk) {
  NMLVKEYDOWN kd;
  kd.wVKey = WORD(vk);
  Notify(LVN_KEYDOWN, &kd.hdr);
  if (!Count()) return;
  const int cur = std::max(0, FocusItem());
  const int page = Report() ? std::max(1, RowsPerPage() - 1) : PerLine();
  const int step = Report() || View() == LVS_LIST ? 1 : PerLine();
  int next = cur;
  switch (vk) {
    case VK_UP: next = cur - step; break;
    case VK_DOWN: next = cur + step; break;
    case VK_LEFT:
      if (Report()) return ScrollTo(top_, xoff_ - 10);
      next = cur - (View() == LVS_LIST ? PerLine() : 1);
      break;
    case VK_RIGHT:
      if (Report()) return ScrollTo(top_, xoff_ + 10);
      next = cur + (View() == LVS_LIST ? PerLine() : 1);
      break;
    case VK_PRIOR: next = cur - page; break;
    case VK_NEXT: next = cur + page; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = Count() - 1; break;
    case VK_SPACE:
      SetState(cur, LVIS_SELECTED, LVIS_SELECTED);
      return;
    case VK_RETURN:
      Notify(NM_RETURN, nullptr);
      NotifyItem(LVN_ITEMACTIVATE, cur, 0, POINT{});
      return;
    default: return;
  }
  next = std::clamp(next, 0, Count() - 1);
  const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  if (shift && !(Style() & LVS_SINGLESEL) && Valid(mark_)) SelectRange(mark_, next);
  else if (!ctrl) {
    SelectOnly(next);
    mark_ = next;
  }
  SetFocusItem(next);
  EnsureVisible(next);
}

void ListView::OnHeaderNotify(NMHDR* nm) {
  auto* hn = reinterpret_cast<NMHEADERW*>(nm);
  switch (nm->code) {
    case HDN_ITEMCHANGEDA: case HDN_ITEMCHANGEDW:
      if (hn->pitem && (hn->pitem->mask & HDI_WIDTH) && hn->iItem >= 0 && hn->iItem < int(columns_.size()) &&
          columns_[size_t(hn->iItem)].width != hn->pitem->cxy) {
        columns_[size_t(hn->iItem)].width = std::max(0, hn->pitem->cxy);
        UpdateScrollBars();
        Redraw();
      }
      if (hn->pitem && (hn->pitem->mask & HDI_ORDER)) Redraw();
      break;
    case HDN_ITEMCLICKA: case HDN_ITEMCLICKW: {
      NMLISTVIEW lv;
      lv.iItem = -1;
      lv.iSubItem = hn->iItem >= 0 && hn->iItem < int(columns_.size()) ? columns_[size_t(hn->iItem)].subItem : hn->iItem;
      Notify(LVN_COLUMNCLICK, &lv.hdr);
      break;
    }
    case HDN_DIVIDERDBLCLICKA: case HDN_DIVIDERDBLCLICKW:
      if (hn->iItem >= 0 && hn->iItem < int(columns_.size())) SetColumnWidth(hn->iItem, AutoWidth(hn->iItem, false));
      break;
  }
}

LRESULT ListView::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      MakeHeader();
      Layout();
      return 0;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_STYLECHANGED:
      if (int(wp) == GWL_STYLE) {
        MakeHeader();
        Layout();
        Redraw();
      }
      return 0;
    case WM_SETFONT:
      Control::Handle(msg, wp, lp);
      if (header_) SendMessageW(header_, WM_SETFONT, wp, lp);
      Layout();
      return 0;
    case WM_ERASEBKGND: {
      if (bk_ == CLR_NONE) return 1;
      HDC dc = reinterpret_cast<HDC>(wp);
      HBRUSH b = CreateSolidBrush(bk_);
      const RECT c = Client();
      FillRect(dc, &c, b);
      DeleteObject(b);
      return 1;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS: case WM_KILLFOCUS:
      Notify(msg == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS, nullptr);
      for (int k = 0; k < Count(); ++k)
        if (items_[size_t(k)].state & (LVIS_SELECTED | LVIS_FOCUSED)) InvalidateItem(k);
      return 0;
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN:
      Click(msg, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, wp);
      return 0;
    case WM_LBUTTONUP: case WM_RBUTTONUP: {
      const bool left = msg == WM_LBUTTONUP;
      if (!(left ? leftDown_ : rightDown_)) return 0;
      (left ? leftDown_ : rightDown_) = false;
      if (GetCapture() == hwnd) ReleaseCapture();
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      UINT flags = 0;
      if (left) {
        NotifyItem(NM_CLICK, downItem_, downSub_, p, flags);
        if ((ex_ & LVS_EX_ONECLICKACTIVATE) && Valid(downItem_)) NotifyItem(LVN_ITEMACTIVATE, downItem_, downSub_, p);
      } else if (!NotifyItem(NM_RCLICK, downItem_, downSub_, p)) {
        // Unanswered, the right click becomes a context menu request (screen coordinates).
        POINT s = p;
        ClientToScreen(hwnd, &s);
        SendMessageW(hwnd, WM_CONTEXTMENU, WPARAM(hwnd), MAKELPARAM(s.x, s.y));
      }
      return 0;
    }
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: {
      const POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      int sub = 0;
      UINT flags = 0;
      const int i = ItemAt(p, &sub, &flags);
      leftDown_ = rightDown_ = false;
      NotifyItem(msg == WM_LBUTTONDBLCLK ? NM_DBLCLK : NM_RDBLCLK, i, sub, p);
      if (msg == WM_LBUTTONDBLCLK && i >= 0) NotifyItem(LVN_ITEMACTIVATE, i, sub, p);
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd) leftDown_ = rightDown_ = false;
      return 0;
    case WM_KEYDOWN: Key(int(wp)); return 0;
    case WM_MOUSEWHEEL: {
      const int lines = -int(int16_t(HIWORD(wp))) * 3 / kWheelDelta;
      if (View() == LVS_LIST) ScrollTo(top_, xoff_ + lines * int(CellSize().cx));
      else ScrollTo(top_ + lines, xoff_);
      return 0;
    }
    case WM_VSCROLL: case WM_HSCROLL: {
      if (lp) break;  // from a scroll-bar control, not ours
      const bool vert = msg == WM_VSCROLL;
      SCROLLINFO si;
      si.fMask = SIF_ALL;
      GetScrollInfo(hwnd, vert ? SB_VERT : SB_HORZ, &si);
      const int pos = vert ? top_ : xoff_;
      const int line = vert ? 1 : (View() == LVS_LIST ? int(CellSize().cx) : 10);
      const int target = ScrollTarget(hwnd, vert ? SB_VERT : SB_HORZ, LOWORD(wp), pos, line,
                                      std::max(1, int(si.nPage)), si.nMax);
      if (vert) ScrollTo(target, xoff_);
      else ScrollTo(top_, target);
      return 0;
    }
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(lp);
      if (nm && header_ && nm->hwndFrom == header_) OnHeaderNotify(nm);
      return 0;
    }
    case WM_NCDESTROY:
      if (!(Style() & LVS_SHAREIMAGELISTS))
        for (HIMAGELIST& list : images_) {
          if (list) ImageList_Destroy(list);
          list = nullptr;
        }
      break;
    case WM_DESTROY: {
      // A parent on its way out hears nothing more from its children.
      Window* p = Get(Parent());
      if (Count() && !(p && p->destroying)) DeleteAll();
      items_.clear();
      break;
    }

    case LVM_GETBKCOLOR: return LRESULT(bk_);
    case LVM_SETBKCOLOR: bk_ = COLORREF(lp); return TRUE;
    case LVM_GETTEXTCOLOR: return LRESULT(text_);
    case LVM_SETTEXTCOLOR: text_ = COLORREF(lp); return TRUE;
    case LVM_GETTEXTBKCOLOR: return LRESULT(textBk_);
    case LVM_SETTEXTBKCOLOR: textBk_ = COLORREF(lp); return TRUE;
    case LVM_GETIMAGELIST: return int(wp) >= 0 && int(wp) < 3 ? LRESULT(images_[wp]) : 0;
    case LVM_SETIMAGELIST: {
      if (int(wp) < 0 || int(wp) >= 3) return 0;
      HIMAGELIST old = images_[wp];
      images_[wp] = reinterpret_cast<HIMAGELIST>(lp);
      Layout();
      Redraw();
      return LRESULT(old);
    }
    case LVM_GETITEMCOUNT: return Count();
    case LVM_GETITEMA: case LVM_GETITEMW: return GetItem(reinterpret_cast<LVITEMW*>(lp));
    case LVM_SETITEMA: case LVM_SETITEMW: return lp ? SetItem(*reinterpret_cast<const LVITEMW*>(lp)) : FALSE;
    case LVM_INSERTITEMA: case LVM_INSERTITEMW: return lp ? Insert(*reinterpret_cast<const LVITEMW*>(lp)) : -1;
    case LVM_DELETEITEM: return Delete(int(wp));
    case LVM_DELETEALLITEMS:
      DeleteAll();
      return TRUE;
    case LVM_GETNEXTITEM: return NextItem(int(LPARAM(wp)), UINT(lp));
    case LVM_GETITEMRECT: case LVM_GETSUBITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lp);
      const int i = int(wp);
      if (!r || !Valid(i)) return FALSE;
      const int code = r->left;
      const int sub = msg == LVM_GETSUBITEMRECT ? r->top : 0;
      if (sub > 0) {
        for (size_t c = 0; c < columns_.size(); ++c)
          if (columns_[c].subItem == sub) {
            *r = CellRect(i, int(c));
            if (code == LVIR_ICON) r->right = r->left;
            return TRUE;
          }
        return FALSE;
      }
      switch (code) {
        case LVIR_BOUNDS: *r = RowRect(i); break;
        case LVIR_ICON: *r = IconRect(i); break;
        case LVIR_LABEL: *r = LabelRect(i); break;
        case LVIR_SELECTBOUNDS: {
          const RECT icon = IconRect(i), label = LabelRect(i);
          *r = (ex_ & LVS_EX_FULLROWSELECT) && Report() ? RowRect(i) : RECT{icon.left, label.top, label.right, label.bottom};
          break;
        }
        default: return FALSE;
      }
      return TRUE;
    }
    case LVM_GETITEMPOSITION: {
      auto* p = reinterpret_cast<POINT*>(lp);
      if (!p || !Valid(int(wp))) return FALSE;
      const RECT r = RowRect(int(wp));
      *p = POINT{r.left, r.top};
      return TRUE;
    }
    case LVM_GETSTRINGWIDTHA: case LVM_GETSTRINGWIDTHW: {
      const char* t = reinterpret_cast<const char*>(lp);
      if (!t) return 0;
      HDC dc = GetDC(hwnd);
      HGDIOBJ old = SelectObject(dc, Font());
      SIZE s{};
      GetTextExtentPoint32(dc, t, int(strlen(t)), &s);
      SelectObject(dc, old);
      ReleaseDC(hwnd, dc);
      return s.cx;
    }
    case LVM_HITTEST: case LVM_SUBITEMHITTEST: {
      auto* info = reinterpret_cast<LVHITTESTINFO*>(lp);
      if (!info) return -1;
      int sub = 0;
      info->iItem = ItemAt(info->pt, &sub, &info->flags);
      info->iSubItem = msg == LVM_SUBITEMHITTEST ? sub : 0;
      return info->iItem;
    }
    case LVM_ENSUREVISIBLE:
      if (!Valid(int(wp))) return FALSE;
      EnsureVisible(int(wp));
      return TRUE;
    case LVM_SCROLL: {
      const int dx = int(wp), dy = int(lp);
      if (Report()) {
        const int h = RowHeight();
        int rows = dy / h;
        if (rows == 0 && dy != 0) rows = dy > 0 ? 1 : -1;
        ScrollTo(top_ + rows, xoff_ + dx);
      } else if (View() == LVS_LIST) {
        ScrollTo(top_, xoff_ + dx);
      } else {
        const int h = int(CellSize().cy);
        ScrollTo(top_ + dy / std::max(1, h), 0);
      }
      return TRUE;
    }
    case LVM_REDRAWITEMS: {
      const int first = std::max(0, int(wp)), last = std::min(Count() - 1, int(lp));
      for (int i = first; i <= last; ++i) InvalidateItem(i);
      return TRUE;
    }
    case LVM_UPDATE:
      if (!Valid(int(wp))) return FALSE;
      InvalidateItem(int(wp));
      return TRUE;
    case LVM_ARRANGE:
      if (Report()) return FALSE;
      UpdateScrollBars();
      Redraw();
      return TRUE;
    case LVM_GETCOLUMNA: case LVM_GETCOLUMNW: return GetColumn(int(wp), reinterpret_cast<LVCOLUMNW*>(lp));
    case LVM_SETCOLUMNA: case LVM_SETCOLUMNW:
      return lp ? SetColumn(int(wp), *reinterpret_cast<const LVCOLUMNW*>(lp)) : FALSE;
    case LVM_INSERTCOLUMNA: case LVM_INSERTCOLUMNW:
      return lp ? InsertColumn(int(wp), *reinterpret_cast<const LVCOLUMNW*>(lp)) : -1;
    case LVM_DELETECOLUMN: {
      const int at = int(wp);
      if (at < 0 || at >= int(columns_.size())) return FALSE;
      columns_.erase(columns_.begin() + at);
      if (header_) SendMessageW(header_, HDM_DELETEITEM, WPARAM(at), 0);
      UpdateScrollBars();
      Redraw();
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH:
      if (Report()) return int(wp) >= 0 && int(wp) < int(columns_.size()) ? columns_[wp].width : 0;
      return View() == LVS_LIST ? int(CellSize().cx) : 0;
    case LVM_SETCOLUMNWIDTH: {
      const int at = int(wp);
      if (at < 0 || at >= int(columns_.size())) return FALSE;
      int width = int(int16_t(LOWORD(lp)));
      if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER)
        width = AutoWidth(at, width == LVSCW_AUTOSIZE_USEHEADER);
      SetColumnWidth(at, width);
      return TRUE;
    }
    case LVM_GETHEADER: return LRESULT(header_);
    case LVM_GETVIEWRECT: {
      auto* r = reinterpret_cast<RECT*>(lp);
      if (!r) return FALSE;
      *r = Count() ? RowRect(0) : RECT{};
      for (int i = 1; i < Count(); ++i) {
        const RECT one = RowRect(i);
        UnionRect(r, r, &one);
      }
      return TRUE;
    }
    case LVM_GETTOPINDEX:
      if (Report()) return top_;
      if (View() == LVS_LIST) return (xoff_ / std::max(1, int(CellSize().cx))) * PerLine();
      return 0;
    case LVM_GETCOUNTPERPAGE:
      if (Report()) return RowsPerPage();
      if (View() == LVS_LIST) return PerLine() * std::max(1, int(Client().right) / std::max(1, int(CellSize().cx)));
      return Count();
    case LVM_GETORIGIN: {
      auto* p = reinterpret_cast<POINT*>(lp);
      if (!p || Report() || View() == LVS_LIST) return FALSE;
      *p = POINT{0, top_ * int(CellSize().cy)};
      return TRUE;
    }
    case LVM_SETITEMSTATE: {
      const auto* lvi = reinterpret_cast<const LVITEMW*>(lp);
      if (!lvi) return FALSE;
      if (int(LPARAM(wp)) == -1) {
        for (int k = 0; k < Count(); ++k) SetState(k, lvi->state, lvi->stateMask);
        return TRUE;
      }
      return SetState(int(wp), lvi->state, lvi->stateMask);
    }
    case LVM_GETITEMSTATE: return Valid(int(wp)) ? LRESULT(items_[wp].state & UINT(lp)) : 0;
    case LVM_GETITEMTEXTA: case LVM_GETITEMTEXTW: {
      auto* lvi = reinterpret_cast<LVITEMW*>(lp);
      if (!lvi || !Valid(int(wp)) || !lvi->pszText || lvi->cchTextMax <= 0) return 0;
      const std::string t = TextOf(int(wp), lvi->iSubItem);
      const size_t n = std::min(t.size(), size_t(lvi->cchTextMax - 1));
      memcpy(lvi->pszText, t.data(), n);
      lvi->pszText[n] = 0;
      return LRESULT(n);
    }
    case LVM_SETITEMTEXTA: case LVM_SETITEMTEXTW: {
      const auto* given = reinterpret_cast<const LVITEMW*>(lp);
      if (!given) return FALSE;
      LVITEMW lvi = *given;
      lvi.mask = LVIF_TEXT;
      lvi.iItem = int(wp);
      return SetItem(lvi);
    }
    case LVM_SETITEMCOUNT:
      items_.reserve(size_t(wp));
      return TRUE;
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(items_.begin(), items_.end(), [](const Item& it) { return it.state & LVIS_SELECTED; });
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      const DWORD old = ex_;
      const DWORD mask = wp ? DWORD(wp) : 0xFFFFFFFF;
      ex_ = (ex_ & ~mask) | (DWORD(lp) & mask);
      if (ex_ != old) Redraw();
      return LRESULT(old);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return LRESULT(ex_);
    case LVM_SETCOLUMNORDERARRAY:
      if (!header_ || !SendMessageW(header_, HDM_SETORDERARRAY, wp, lp)) return FALSE;
      Redraw();
      return TRUE;
    case LVM_GETCOLUMNORDERARRAY: {
      auto* out = reinterpret_cast<int*>(lp);
      if (!out || int(wp) < int(columns_.size())) return FALSE;
      const std::vector<int> order = Order();
      std::copy(order.begin(), order.end(), out);
      return TRUE;
    }
    case LVM_GETSELECTIONMARK: return mark_;
    case LVM_SETSELECTIONMARK: {
      const int old = mark_;
      mark_ = int(lp);
      return old;
    }
    case LVM_GETVIEW:
      switch (View()) {
        case LVS_REPORT: return LV_VIEW_DETAILS;
        case LVS_SMALLICON: return LV_VIEW_SMALLICON;
        case LVS_LIST: return LV_VIEW_LIST;
        default: return LV_VIEW_ICON;
      }
    case LVM_SETVIEW: {
      static const DWORD styles[] = {LVS_ICON, LVS_REPORT, LVS_SMALLICON, LVS_LIST};
      if (wp > LV_VIEW_LIST) return -1;
      SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR((Style() & ~LVS_TYPEMASK) | styles[wp]));
      return 1;
    }
    case LVM_ISGROUPVIEWENABLED: return 0;
    case LVM_ENABLEGROUPVIEW: return -1;  // no groups
  }
  return Control::Handle(msg, wp, lp);
}

}  // namespace

LRESULT ListViewWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<ListView>(wnd, msg, wp, lp); }

}  // namespace win
