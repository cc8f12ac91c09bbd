// "SysTreeView32": items in a hierarchy, shown one per row with their depth
// as indentation, expand buttons and a selected item. The parent hears
// TVN_SELCHANGING (which may refuse), TVN_SELCHANGED, TVN_ITEMEXPANDING /
// TVN_ITEMEXPANDED and TVN_DELETEITEM. Colours can be set by message.

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kDefaultIndent = 19;
constexpr int kButtonBox = 9;

struct Node {
  Node* parent = nullptr;
  std::vector<std::unique_ptr<Node>> children;
  std::string text;
  LPARAM param = 0;
  UINT state = 0;
  int image = 0, selectedImage = 0;
  int cChildren = 0;  // I_CHILDRENCALLBACK is not kept: only the count the caller gave
};

HTREEITEM H(const Node* n) { return reinterpret_cast<HTREEITEM>(const_cast<Node*>(n)); }

class TreeView : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case TVM_INSERTITEMW: return LRESULT(Insert(reinterpret_cast<const TVINSERTSTRUCTW*>(lp)));
      case TVM_DELETEITEM: {
        HTREEITEM h = reinterpret_cast<HTREEITEM>(lp);
        if (!h || h == TVI_ROOT) {
          while (!root_.children.empty()) Remove(root_.children.back().get());
        } else {
          Node* n = Find(h);
          if (!n) return FALSE;
          Remove(n);
        }
        Changed();
        return TRUE;
      }
      case TVM_GETCOUNT: return LRESULT(count_);
      case TVM_GETNEXTITEM: return LRESULT(Next(wp, Find(reinterpret_cast<HTREEITEM>(lp))));
      case TVM_EXPAND: {
        Node* n = Find(reinterpret_cast<HTREEITEM>(lp));
        if (!n || n->children.empty()) return FALSE;
        const UINT action = UINT(wp & 3);
        const bool open = action == TVE_TOGGLE ? !(n->state & TVIS_EXPANDED) : action == TVE_EXPAND;
        Expand(n, open, action);
        return TRUE;
      }
      case TVM_SELECTITEM: {
        if (wp != TVGN_CARET && wp != TVGN_FIRSTVISIBLE) return FALSE;
        Node* n = Find(reinterpret_cast<HTREEITEM>(lp));
        if (wp == TVGN_FIRSTVISIBLE) {
          if (!n) return FALSE;
          SetTop(RowOf(n));
          return TRUE;
        }
        return Select(n, TVC_UNKNOWN) ? TRUE : FALSE;
      }
      case TVM_GETITEMW: return GetItem(reinterpret_cast<TVITEMW*>(lp));
      case TVM_SETITEMW: return SetItem(reinterpret_cast<const TVITEMW*>(lp));
      case TVM_GETITEMRECT: {
        auto* r = reinterpret_cast<RECT*>(lp);
        if (!r) return FALSE;
        Node* n = Find(*reinterpret_cast<HTREEITEM*>(lp));
        const int row = n ? RowOf(n) : -1;
        if (row < 0) return FALSE;
        *r = RowRect(row);
        if (wp) {
          r->left = TextLeft(n);
          r->right = r->left + TextWidth(Font(), n->text) + 4;
        }
        return TRUE;
      }
      case TVM_HITTEST: {
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lp);
        if (!info) return 0;
        info->hItem = H(HitTest(info->pt, &info->flags));
        return LRESULT(info->hItem);
      }
      case TVM_SETBKCOLOR: return SetColor(bk_, COLORREF(lp));
      case TVM_SETTEXTCOLOR: return SetColor(text_, COLORREF(lp));
      case TVM_GETBKCOLOR: return LRESULT(LONG(bk_));
      case TVM_GETTEXTCOLOR: return LRESULT(LONG(text_));
      case TVM_GETINDENT: return indent_;
      case TVM_SETINDENT:
        indent_ = std::max(int(wp), 4);
        Redraw();
        return 0;
      case TVM_GETITEMHEIGHT: return RowHeight();
      case TVM_SETITEMHEIGHT: {
        const int old = RowHeight();
        itemHeight_ = int(int16_t(wp)) < 1 ? 0 : int(wp);
        Changed();
        return old;
      }
      case TVM_GETVISIBLECOUNT: return PageRows();
      case TVM_ENSUREVISIBLE: {
        Node* n = Find(reinterpret_cast<HTREEITEM>(lp));
        if (!n) return FALSE;
        for (Node* p = n->parent; p && p != &root_; p = p->parent)
          if (!(p->state & TVIS_EXPANDED)) Expand(p, true, TVE_EXPAND);
        Reveal(n);
        return TRUE;
      }
      case WM_SIZE: case WM_SETFONT: {
        const LRESULT r = msg == WM_SETFONT ? Control::Handle(msg, wp, lp) : 0;
        Changed();
        return r;
      }
      case WM_VSCROLL: {
        const int rows = int(Rows().size());
        SetTop(ScrollTarget(hwnd, SB_VERT, LOWORD(wp), top_, 1, PageRows(), std::max(0, rows - PageRows())));
        return 0;
      }
      case WM_MOUSEWHEEL:
        SetTop(top_ - int(int16_t(HIWORD(wp))) / 120 * 3);
        return 0;
      case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: {
        SetFocus(hwnd);
        UINT flags = 0;
        Node* n = HitTest(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, &flags);
        if (!n) return 0;
        if ((flags & TVHT_ONITEMBUTTON) || (msg == WM_LBUTTONDBLCLK && !n->children.empty())) {
          Expand(n, !(n->state & TVIS_EXPANDED), TVE_TOGGLE);
          return 0;
        }
        Select(n, TVC_BYMOUSE);
        if (msg == WM_LBUTTONDBLCLK) {
          Notify(NM_DBLCLK);
        }
        return 0;
      }
      case WM_LBUTTONUP: {
        Notify(NM_CLICK);
        return 0;
      }
      case WM_RBUTTONDOWN: {
        Notify(NM_RCLICK);
        return 0;
      }
      case WM_KEYDOWN: return Key(int(wp));
      case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
      case WM_SETFOCUS: case WM_KILLFOCUS: {
        if (caret_) InvalidateRow(caret_);
        Notify(msg == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        return 0;
      }
      case WM_ERASEBKGND: {
        const RECT c = Client();
        Fill(reinterpret_cast<HDC>(wp), c);
        return 1;
      }
      case WM_DESTROY:
        while (!root_.children.empty()) Remove(root_.children.back().get());
        break;
    }
    return Control::Handle(msg, wp, lp);
  }

 protected:
  void Paint(HDC dc) override {
    const RECT c = Client();
    const auto rows = Rows();
    const COLORREF text = text_ == CLR_NONE ? GetSysColor(COLOR_WINDOWTEXT) : text_;
    for (int row = top_; row < int(rows.size()); ++row) {
      const RECT r = RowRect(row);
      if (r.top >= c.bottom) break;
      Fill(dc, r);
      Node* n = rows[size_t(row)];
      const int depth = Depth(n);
      if ((Style() & TVS_HASBUTTONS) && !n->children.empty() && (depth > 0 || (Style() & TVS_LINESATROOT))) {
        const RECT b = ButtonRect(n, r);
        FillSys(dc, b, COLOR_WINDOW);
        FrameRect(dc, &b, GetSysColorBrush(COLOR_BTNSHADOW));
        const int cy = (b.top + b.bottom) / 2, cx = (b.left + b.right) / 2;
        FillSys(dc, RECT{b.left + 2, cy, b.right - 2, cy + 1}, COLOR_WINDOWTEXT);
        if (!(n->state & TVIS_EXPANDED)) FillSys(dc, RECT{cx, b.top + 2, cx + 1, b.bottom - 2}, COLOR_WINDOWTEXT);
      }
      RECT t{TextLeft(n), r.top, TextLeft(n) + TextWidth(Font(), n->text) + 4, r.bottom};
      const bool selected = n == caret_ && (Focused() || (Style() & TVS_SHOWSELALWAYS));
      if (selected) FillSys(dc, t, Focused() ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
      RECT inner = t;
      inner.left += 2;
      DrawLabel(dc, Font(), n->text, inner, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX,
                selected && Focused() ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
      if (n == caret_ && Focused()) DrawFocusRectangle(dc, t);
    }
  }

 private:
  Node* Find(HTREEITEM h) const {
    if (!h || h == TVI_ROOT) return nullptr;
    auto it = live_.find(reinterpret_cast<Node*>(h));
    return it == live_.end() ? nullptr : *it;
  }

  Node* Insert(const TVINSERTSTRUCTW* is) {
    if (!is) return nullptr;
    Node* parent = is->hParent && is->hParent != TVI_ROOT ? Find(is->hParent) : &root_;
    if (!parent) return nullptr;
    auto node = std::make_unique<Node>();
    node->parent = parent;
    Apply(*node, is->item);
    auto& list = parent->children;
    size_t at = list.size();
    if (is->hInsertAfter == TVI_FIRST) {
      at = 0;
    } else if (is->hInsertAfter != TVI_LAST && is->hInsertAfter != nullptr) {
      Node* after = Find(is->hInsertAfter);
      for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == after) at = i + 1;
    }
    Node* raw = node.get();
    list.insert(list.begin() + long(at), std::move(node));
    live_.insert(raw);
    ++count_;
    Changed();
    return raw;
  }

  void Remove(Node* n) {
    while (!n->children.empty()) Remove(n->children.back().get());
    NMTREEVIEWW nm;
    nm.itemOld.hItem = H(n);
    nm.itemOld.lParam = n->param;
    nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
    Notify(TVN_DELETEITEMW, &nm.hdr);
    if (caret_ == n) caret_ = nullptr;
    live_.erase(n);
    --count_;
    auto& list = n->parent->children;
    list.erase(std::find_if(list.begin(), list.end(), [n](const auto& p) { return p.get() == n; }));
  }

  static void Apply(Node& n, const TVITEMW& item) {
    if ((item.mask & TVIF_TEXT) && item.pszText) n.text = item.pszText;
    if (item.mask & TVIF_PARAM) n.param = item.lParam;
    if (item.mask & TVIF_IMAGE) n.image = item.iImage;
    if (item.mask & TVIF_SELECTEDIMAGE) n.selectedImage = item.iSelectedImage;
    if (item.mask & TVIF_CHILDREN) n.cChildren = item.cChildren;
    if (item.mask & TVIF_STATE) n.state = (n.state & ~item.stateMask) | (item.state & item.stateMask);
  }

  LRESULT GetItem(TVITEMW* item) const {
    Node* n = item ? Find(item->hItem) : nullptr;
    if (!n) return FALSE;
    if ((item->mask & TVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
      size_t len = std::min(n->text.size(), size_t(item->cchTextMax - 1));
      while (len > 0 && len < n->text.size() && (uint8_t(n->text[len]) & 0xC0) == 0x80) --len;
      memcpy(item->pszText, n->text.data(), len);
      item->pszText[len] = 0;
    }
    if (item->mask & TVIF_PARAM) item->lParam = n->param;
    if (item->mask & TVIF_IMAGE) item->iImage = n->image;
    if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = n->selectedImage;
    if (item->mask & TVIF_CHILDREN) item->cChildren = n->children.empty() ? n->cChildren : 1;
    if (item->mask & TVIF_STATE) item->state = (n->state | (n == caret_ ? TVIS_SELECTED : 0)) & item->stateMask;
    return TRUE;
  }

  LRESULT SetItem(const TVITEMW* item) {
    Node* n = item ? Find(item->hItem) : nullptr;
    if (!n) return FALSE;
    Apply(*n, *item);
    Changed();
    return TRUE;
  }

  LRESULT SetColor(COLORREF& slot, COLORREF c) {
    const COLORREF old = slot;
    slot = c;
    Redraw();
    return LRESULT(LONG(old));
  }

  Node* Next(WPARAM how, Node* n) const {
    switch (how) {
      case TVGN_ROOT: return root_.children.empty() ? nullptr : root_.children.front().get();
      case TVGN_CARET: return caret_;
      case TVGN_CHILD: {
        const Node* p = n ? n : &root_;
        return p->children.empty() ? nullptr : p->children.front().get();
      }
      case TVGN_PARENT: return n && n->parent != &root_ ? n->parent : nullptr;
      case TVGN_NEXT: case TVGN_PREVIOUS: {
        if (!n) return nullptr;
        const auto& list = n->parent->children;
        for (size_t i = 0; i < list.size(); ++i)
          if (list[i].get() == n) {
            if (how == TVGN_NEXT) return i + 1 < list.size() ? list[i + 1].get() : nullptr;
            return i > 0 ? list[i - 1].get() : nullptr;
          }
        return nullptr;
      }
      case TVGN_FIRSTVISIBLE: {
        const auto rows = Rows();
        return top_ < int(rows.size()) ? rows[size_t(top_)] : nullptr;
      }
      case TVGN_NEXTVISIBLE: case TVGN_PREVIOUSVISIBLE: {
        const auto rows = Rows();
        const int row = n ? RowOf(n) : -1;
        if (row < 0) return nullptr;
        const int k = row + (how == TVGN_NEXTVISIBLE ? 1 : -1);
        return k >= 0 && k < int(rows.size()) ? rows[size_t(k)] : nullptr;
      }
    }
    return nullptr;
  }

  // The items shown, in row order: every item whose ancestors are all expanded.
  std::vector<Node*> Rows() const {
    std::vector<Node*> out;
    std::function<void(const Node*)> walk = [&](const Node* p) {
      for (const auto& c : p->children) {
        out.push_back(c.get());
        if (c->state & TVIS_EXPANDED) walk(c.get());
      }
    };
    walk(&root_);
    return out;
  }
  int RowOf(const Node* n) const {
    const auto rows = Rows();
    auto it = std::find(rows.begin(), rows.end(), n);
    return it == rows.end() ? -1 : int(it - rows.begin());
  }
  int Depth(const Node* n) const {
    int d = 0;
    for (const Node* p = n->parent; p && p != &root_; p = p->parent) ++d;
    return d;
  }
  int RowHeight() const { return itemHeight_ > 0 ? itemHeight_ : FontHeight(Font()) + 3; }
  int PageRows() const { return std::max(1, (Client().bottom - Client().top) / RowHeight()); }
  RECT RowRect(int row) const {
    const RECT c = Client();
    const int y = (row - top_) * RowHeight();
    return RECT{c.left, y, c.right, y + RowHeight()};
  }
  int Level(const Node* n) const { return Depth(n) + ((Style() & TVS_LINESATROOT) ? 1 : 0); }
  int TextLeft(const Node* n) const { return Level(n) * indent_ + 2; }
  RECT ButtonRect(const Node* n, const RECT& row) const {
    const int cx = (Level(n) - 1) * indent_ + indent_ / 2 + 2, cy = (row.top + row.bottom) / 2;
    return RECT{cx - kButtonBox / 2, cy - kButtonBox / 2, cx + kButtonBox / 2 + 1, cy + kButtonBox / 2 + 1};
  }

  Node* HitTest(POINT p, UINT* flags) const {
    *flags = TVHT_NOWHERE;
    const auto rows = Rows();
    if (p.y < 0) return nullptr;
    const int row = top_ + p.y / RowHeight();
    if (row >= int(rows.size())) return nullptr;
    Node* n = rows[size_t(row)];
    const RECT r = RowRect(row);
    const RECT b = ButtonRect(n, r);
    const int textLeft = TextLeft(n), textRight = textLeft + TextWidth(Font(), n->text) + 4;
    if (!n->children.empty() && (Style() & TVS_HASBUTTONS) && p.x >= b.left - 2 && p.x < b.right + 2)
      *flags = TVHT_ONITEMBUTTON;
    else if (p.x < textLeft) *flags = TVHT_ONITEMINDENT;
    else if (p.x < textRight) *flags = TVHT_ONITEMLABEL;
    else *flags = TVHT_ONITEMRIGHT;
    return n;
  }

  bool Select(Node* n, UINT action) {
    if (n == caret_) return true;
    NMTREEVIEWW nm;
    nm.action = action;
    Describe(nm.itemOld, caret_);
    Describe(nm.itemNew, n);
    if (Notify(TVN_SELCHANGINGW, &nm.hdr)) return false;
    if (!IsWindow(hwnd)) return false;
    if (caret_) InvalidateRow(caret_);
    caret_ = n;
    if (n) {
      for (Node* p = n->parent; p && p != &root_; p = p->parent)
        if (!(p->state & TVIS_EXPANDED)) Expand(p, true, TVE_EXPAND);
      Reveal(n);
      InvalidateRow(n);
    }
    Notify(TVN_SELCHANGEDW, &nm.hdr);
    return true;
  }

  static void Describe(TVITEMW& item, Node* n) {
    item.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
    item.hItem = H(n);
    item.lParam = n ? n->param : 0;
    item.state = n ? n->state : 0;
  }

  void Expand(Node* n, bool open, UINT action) {
    if (bool(n->state & TVIS_EXPANDED) == open) return;
    NMTREEVIEWW nm;
    nm.action = open ? TVE_EXPAND : TVE_COLLAPSE;
    (void)action;
    Describe(nm.itemNew, n);
    if (Notify(TVN_ITEMEXPANDINGW, &nm.hdr)) return;
    if (!live_.count(n)) return;
    n->state = open ? (n->state | TVIS_EXPANDED) : (n->state & ~TVIS_EXPANDED);
    // Collapsing over the selected item moves the selection to the collapsed one.
    if (!open && caret_) {
      for (Node* p = caret_->parent; p && p != &root_; p = p->parent)
        if (p == n) {
          Select(n, TVC_UNKNOWN);
          break;
        }
    }
    Changed();
    Describe(nm.itemNew, n);
    Notify(TVN_ITEMEXPANDEDW, &nm.hdr);
  }

  LRESULT Key(int vk) {
    Node* target = nullptr;
    switch (vk) {
      case VK_UP: target = Next(TVGN_PREVIOUSVISIBLE, caret_); break;
      case VK_DOWN: target = caret_ ? Next(TVGN_NEXTVISIBLE, caret_) : Next(TVGN_ROOT, nullptr); break;
      case VK_HOME: target = Next(TVGN_ROOT, nullptr); break;
      case VK_END: {
        const auto rows = Rows();
        target = rows.empty() ? nullptr : rows.back();
        break;
      }
      case VK_RIGHT:
        if (caret_ && !caret_->children.empty()) {
          if (!(caret_->state & TVIS_EXPANDED)) Expand(caret_, true, TVE_EXPAND);
          else target = caret_->children.front().get();
        }
        break;
      case VK_LEFT:
        if (caret_ && (caret_->state & TVIS_EXPANDED)) Expand(caret_, false, TVE_COLLAPSE);
        else if (caret_) target = Next(TVGN_PARENT, caret_);
        break;
    }
    if (target) Select(target, TVC_BYKEYBOARD);
    return 0;
  }

  void Reveal(Node* n) {
    const int row = RowOf(n);
    if (row < 0) return;
    if (row < top_) SetTop(row);
    else if (row >= top_ + PageRows()) SetTop(row - PageRows() + 1);
  }
  void SetTop(int top) {
    const int rows = int(Rows().size());
    top = std::clamp(top, 0, std::max(0, rows - PageRows()));
    if (top == top_) return;
    top_ = top;
    UpdateScroll();
    Redraw();
  }
  void UpdateScroll() {
    SCROLLINFO si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, int(Rows().size()) - 1);
    si.nPage = UINT(PageRows());
    si.nPos = top_;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
  }
  void Changed() {
    const int rows = int(Rows().size());
    top_ = std::clamp(top_, 0, std::max(0, rows - PageRows()));
    if (Style() & WS_VSCROLL) UpdateScroll();
    Redraw();
  }
  void InvalidateRow(Node* n) {
    const int row = RowOf(n);
    if (row < 0) return;
    const RECT r = RowRect(row);
    InvalidateRect(hwnd, &r, TRUE);
  }
  void Fill(HDC dc, const RECT& r) { FillColorOr(dc, r, bk_, COLOR_WINDOW); }

  Node root_;
  std::set<Node*> live_;  // handles given out that still name an item
  size_t count_ = 0;
  Node* caret_ = nullptr;
  int top_ = 0;
  int indent_ = kDefaultIndent;
  int itemHeight_ = 0;
  COLORREF bk_ = CLR_NONE, text_ = CLR_NONE;  // CLR_NONE (-1): the system colours
};

}  // namespace

LRESULT TreeViewWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<TreeView>(wnd, msg, wp, lp); }

}  // namespace win
