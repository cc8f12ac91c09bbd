// The "EDIT" class: single-line and multi-line text with selection, caret,
// clipboard, undo of the last change, read-only mode and its own scrolling.

#include <algorithm>

#include "platform/rtl/SysUtils.h"
#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr int kDefaultLimit = 0x7FFFFFFE;
constexpr int kSingleLineLimit = 30000;  // documented default for single-line edits

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

class Edit : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(HDC dc) override;

 private:
  struct Line {
    int start = 0;  // UTF-16 units
    int end = 0;    // before the line break
  };

  bool Multi() const { return Style() & ES_MULTILINE; }
  bool ReadOnly() const { return Style() & ES_READONLY; }
  bool Wraps() const { return Multi() && !(Style() & (ES_AUTOHSCROLL | WS_HSCROLL)); }
  int SelMin() const { return std::min(anchor_, caret_); }
  int SelMax() const { return std::max(anchor_, caret_); }
  RECT Format() const;
  int LineHeight() const { return std::max(1, FontHeight(Font())); }
  int VisibleLines() const;
  std::u16string Shown(int start, int end) const;  // password characters stand in
  int Width(int start, int end) const;             // pixels of text[start, end)
  // Lays the text out again from the hard line before the one holding `from`.
  void Layout(int from = 0);
  int LineOf(int pos) const;
  int PosFromX(const Line& l, int x) const;
  int CharFromPoint(POINT p) const;
  POINT PointOf(int pos) const;  // client coordinates of the caret before pos
  void SetSel(int start, int end, bool scroll);
  void Move(int pos, bool extend);
  void Replace(const std::u16string& with, bool undoable, bool notify);
  // After an edit at `from`; `appended` is the text added at the end when that was all.
  void Changed(int from = 0, const std::u16string* appended = nullptr);
  void ScrollToCaret();
  void UpdateScrollBars();
  void ScrollLines(int delta);
  void Key(WPARAM vk);
  void Char(char16_t c);
  void Copy();
  void Paste();
  void SetText(const std::string& utf8);

  std::u16string text_;
  int anchor_ = 0;
  int caret_ = 0;
  int limit_ = -1;  // -1: the default for the kind of edit
  std::vector<Line> lines_{Line{}};
  int firstLine_ = 0;
  int scrollX_ = 0;
  bool modified_ = false;
  bool focused_ = false;
  bool selecting_ = false;  // mouse button held
  std::u16string undoText_;
  int undoAnchor_ = 0, undoCaret_ = 0;
  bool canUndo_ = false;
  char16_t password_ = 0;
  int leftMargin_ = 1, rightMargin_ = 1;
  bool formatSet_ = false;
  RECT format_;
  int Limit() const { return limit_ >= 0 ? limit_ : Multi() ? kDefaultLimit : kSingleLineLimit; }
};

RECT Edit::Format() const {
  if (formatSet_) return format_;
  RECT r = Client();
  r.left += leftMargin_;
  r.right -= rightMargin_;
  if (!Multi()) {
    // A single line sits centred in the client area.
    const int h = LineHeight();
    r.top = std::max(0, int(r.bottom - h) / 2);
    r.bottom = r.top + h;
  }
  return r;
}

int Edit::VisibleLines() const {
  const RECT f = Format();
  return std::max(1, int(f.bottom - f.top) / LineHeight());
}

std::u16string Edit::Shown(int start, int end) const {
  if (password_ && !Multi()) return std::u16string(size_t(end - start), password_);
  return text_.substr(size_t(start), size_t(end - start));
}

int Edit::Width(int start, int end) const {
  if (end <= start) return 0;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font());
  const std::string s = UTF16ToUTF8(Shown(start, end));
  SIZE sz;
  GetTextExtentPoint32(dc, s.c_str(), int(s.size()), &sz);
  SelectObject(dc, old);
  DeleteDC(dc);
  return sz.cx;
}

void Edit::Layout(int from) {
  const int n = int(text_.size());
  // Lines before the hard line that holds `from` (and the one before it, in case
  // an edit split or joined a CR LF pair) stay as they are: an edit near the end
  // (a log growing line by line) lays out only the end again.
  int start = std::clamp(from, 0, n);
  auto backToLineStart = [&] {
    while (start > 0 && text_[size_t(start - 1)] != u'\r' && text_[size_t(start - 1)] != u'\n') --start;
  };
  backToLineStart();
  if (start > 0) {
    --start;
    if (start > 0 && text_[size_t(start)] == u'\n' && text_[size_t(start - 1)] == u'\r') --start;
    backToLineStart();
  }
  auto keep = std::lower_bound(lines_.begin(), lines_.end(), start, [](const Line& l, int s) { return l.start < s; });
  lines_.erase(keep, lines_.end());
  if (lines_.empty()) start = 0;
  const RECT f = Format();
  const int width = f.right - f.left;
  for (;;) {
    int end = start;
    if (Multi()) {
      while (end < n && text_[size_t(end)] != u'\r' && text_[size_t(end)] != u'\n') ++end;
    } else {
      end = n;
    }
    // Word wrap: break the hard line into pieces that fit, at spaces where there are any.
    int s = start;
    while (Wraps() && width > 0 && Width(s, end) > width) {
      int fit = s + 1;
      while (fit < end && Width(s, fit + 1) <= width) ++fit;
      int brk = fit;
      while (brk > s && !IsSpace(text_[size_t(brk - 1)])) --brk;
      if (brk == s) brk = fit;
      lines_.push_back(Line{s, brk});
      s = brk;
    }
    lines_.push_back(Line{s, end});
    if (end >= n) break;
    start = end + ((text_[size_t(end)] == u'\r' && end + 1 < n && text_[size_t(end) + 1] == u'\n') ? 2 : 1);
    if (start >= n) {
      lines_.push_back(Line{n, n});
      break;
    }
  }
  firstLine_ = std::clamp(firstLine_, 0, std::max(0, int(lines_.size()) - 1));
}

int Edit::LineOf(int pos) const {
  for (size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].start <= pos) return int(i);
  return 0;
}

int Edit::PosFromX(const Line& l, int x) const {
  int best = l.start;
  for (int p = l.start; p <= l.end; ++p) {
    const int w = Width(l.start, p);
    if (w > x) {
      const int prev = Width(l.start, p - 1);
      return (x - prev) < (w - x) ? p - 1 : p;
    }
    best = p;
  }
  return best;
}

int Edit::CharFromPoint(POINT p) const {
  const RECT f = Format();
  int line = firstLine_ + (p.y < f.top ? -1 : int(p.y - f.top) / LineHeight());
  line = std::clamp(line, 0, int(lines_.size()) - 1);
  return PosFromX(lines_[size_t(line)], p.x - f.left + scrollX_);
}

POINT Edit::PointOf(int pos) const {
  const RECT f = Format();
  const int line = LineOf(pos);
  const Line& l = lines_[size_t(line)];
  return POINT{f.left - scrollX_ + Width(l.start, std::min(pos, l.end)), f.top + (line - firstLine_) * LineHeight()};
}

void Edit::SetSel(int start, int end, bool scroll) {
  const int n = int(text_.size());
  if (start < 0) {
    start = end = caret_;  // EM_SETSEL with -1 removes the selection
  } else if (end < 0) {
    end = n;
  }
  anchor_ = std::clamp(start, 0, n);
  caret_ = std::clamp(end, 0, n);
  if (scroll) ScrollToCaret();
  Redraw();
}

void Edit::Move(int pos, bool extend) {
  caret_ = std::clamp(pos, 0, int(text_.size()));
  if (!extend) anchor_ = caret_;
  ScrollToCaret();
  Redraw();
}

void Edit::Replace(const std::u16string& with, bool undoable, bool notify) {
  std::u16string ins = with;
  if (!Multi()) {
    // A single line keeps only the first line of what comes in.
    const size_t br = ins.find_first_of(u"\r\n");
    if (br != std::u16string::npos) ins.resize(br);
  }
  const DWORD s = Style();
  for (char16_t& c : ins) {
    if ((s & ES_UPPERCASE) && c >= u'a' && c <= u'z') c = char16_t(c - 32);
    if ((s & ES_LOWERCASE) && c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  }
  const int room = Limit() - (int(text_.size()) - (SelMax() - SelMin()));
  if (int(ins.size()) > room) {
    ins.resize(size_t(std::max(0, room)));
    Command(EN_MAXTEXT);
  }
  if (ins.empty() && SelMin() == SelMax()) return;
  if (undoable) {
    undoText_ = text_;
    undoAnchor_ = anchor_;
    undoCaret_ = caret_;
    canUndo_ = true;
  }
  const int at = SelMin();
  const bool append = at == int(text_.size());
  text_.replace(size_t(at), size_t(SelMax() - at), ins);
  anchor_ = caret_ = at + int(ins.size());
  if (notify) Changed(at, append ? &ins : nullptr);
  else Layout(at);
}

void Edit::Changed(int from, const std::u16string* appended) {
  modified_ = true;
  Layout(from);
  UpdateScrollBars();
  ScrollToCaret();
  Redraw();
  // The window text follows the buffer, so that WM_GETTEXT sees it; an append only adds its own text.
  if (Window* w = Get(hwnd)) {
    if (appended) w->text += UTF16ToUTF8(*appended);
    else w->text = UTF16ToUTF8(text_);
  }
  Command(EN_UPDATE);
  if (IsWindow(hwnd)) Command(EN_CHANGE);
}

void Edit::ScrollToCaret() {
  const RECT f = Format();
  const int line = LineOf(caret_);
  const int oldFirst = firstLine_, oldX = scrollX_;
  if (Multi()) {
    if (line < firstLine_) firstLine_ = line;
    else if (line >= firstLine_ + VisibleLines()) firstLine_ = line - VisibleLines() + 1;
  }
  if (!Wraps()) {
    const Line& l = lines_[size_t(line)];
    const int x = Width(l.start, std::min(caret_, l.end));
    const int width = f.right - f.left;
    if (x < scrollX_) scrollX_ = std::max(0, x - width / 4);
    else if (x > scrollX_ + width - 1) scrollX_ = x - width + width / 4;
  }
  if (firstLine_ != oldFirst || scrollX_ != oldX) {
    UpdateScrollBars();
    Redraw();
    if (firstLine_ != oldFirst) Command(EN_VSCROLL);
    if (scrollX_ != oldX) Command(EN_HSCROLL);
  }
}

void Edit::UpdateScrollBars() {
  if (!Multi()) return;
  if (Style() & WS_VSCROLL) {
    SCROLLINFO si;
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = int(lines_.size()) - 1;
    si.nPage = UINT(VisibleLines());
    si.nPos = firstLine_;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
  }
  if (Style() & WS_HSCROLL) {
    int widest = 0;
    for (const Line& l : lines_) widest = std::max(widest, Width(l.start, l.end));
    const RECT f = Format();
    SCROLLINFO si;
    si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
    si.nMin = 0;
    si.nMax = widest;
    si.nPage = UINT(std::max(0, int(f.right - f.left)));
    si.nPos = scrollX_;
    SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
  }
}

void Edit::ScrollLines(int delta) {
  const int old = firstLine_;
  firstLine_ = std::clamp(firstLine_ + delta, 0, std::max(0, int(lines_.size()) - VisibleLines()));
  if (firstLine_ == old) return;
  UpdateScrollBars();
  Redraw();
  Command(EN_VSCROLL);
}

void Edit::Copy() {
  if (SelMin() == SelMax() || password_) return;
  WindowBackend().SetClipboardText(UTF16ToUTF8(text_.substr(size_t(SelMin()), size_t(SelMax() - SelMin()))));
}

void Edit::Paste() {
  if (ReadOnly()) return;
  std::u16string t = UTF8ToUTF16(WindowBackend().ClipboardText());
  if (Style() & ES_NUMBER) t.erase(std::remove_if(t.begin(), t.end(), [](char16_t c) { return c < u'0' || c > u'9'; }), t.end());
  Replace(t, true, true);
}

void Edit::Key(WPARAM vk) {
  const bool shift = GetKeyState(VK_SHIFT) & 0x8000;
  const bool ctrl = GetKeyState(VK_CONTROL) & 0x8000;
  const int line = LineOf(caret_);
  const Line& l = lines_[size_t(line)];
  auto wordLeft = [&](int p) {
    while (p > 0 && IsSpace(text_[size_t(p - 1)])) --p;
    while (p > 0 && !IsSpace(text_[size_t(p - 1)])) --p;
    return p;
  };
  auto wordRight = [&](int p) {
    const int n = int(text_.size());
    while (p < n && !IsSpace(text_[size_t(p)])) ++p;
    while (p < n && IsSpace(text_[size_t(p)])) ++p;
    return p;
  };
  auto lineStep = [&](int delta) {
    const int target = std::clamp(line + delta, 0, int(lines_.size()) - 1);
    const int x = Width(l.start, std::min(caret_, l.end));
    return PosFromX(lines_[size_t(target)], x);
  };
  switch (vk) {
    case VK_LEFT: {
      if (!shift && SelMin() != SelMax()) return Move(SelMin(), false);
      int p = ctrl ? wordLeft(caret_) : caret_ - 1;
      if (p >= 1 && text_[size_t(p)] == u'\n' && text_[size_t(p - 1)] == u'\r') --p;
      return Move(p, shift);
    }
    case VK_RIGHT: {
      if (!shift && SelMin() != SelMax()) return Move(SelMax(), false);
      int p = ctrl ? wordRight(caret_) : caret_ + 1;
      if (p < int(text_.size()) && p >= 1 && text_[size_t(p - 1)] == u'\r' && text_[size_t(p)] == u'\n') ++p;
      return Move(p, shift);
    }
    case VK_UP: if (Multi()) Move(lineStep(-1), shift); return;
    case VK_DOWN: if (Multi()) Move(lineStep(1), shift); return;
    case VK_PRIOR: if (Multi()) Move(lineStep(-VisibleLines()), shift); return;
    case VK_NEXT: if (Multi()) Move(lineStep(VisibleLines()), shift); return;
    case VK_HOME: return Move(ctrl ? 0 : l.start, shift);
    case VK_END: return Move(ctrl ? int(text_.size()) : l.end, shift);
    case VK_DELETE:
      if (ReadOnly()) return;
      if (shift) {  // Shift+Delete cuts
        Copy();
        return Replace(u"", true, true);
      }
      if (SelMin() == SelMax()) {
        int end = caret_ + 1;
        if (end < int(text_.size()) && text_[size_t(caret_)] == u'\r' && text_[size_t(end)] == u'\n') ++end;
        caret_ = std::min(end, int(text_.size()));
      }
      return Replace(u"", true, true);
    case VK_INSERT:
      if (ctrl) Copy();
      else if (shift) Paste();
      return;
  }
}

void Edit::Char(char16_t c) {
  switch (c) {
    case 0x01: return SetSel(0, -1, true);  // Ctrl+A
    case 0x03: return Copy();               // Ctrl+C
    case 0x16: return Paste();              // Ctrl+V
    case 0x18:                              // Ctrl+X
      if (ReadOnly() || password_) return;
      Copy();
      return Replace(u"", true, true);
    case 0x1A:  // Ctrl+Z
      SendMessageW(hwnd, EM_UNDO, 0, 0);
      return;
  }
  if (ReadOnly()) return;
  if (c == u'\b') {
    if (SelMin() == SelMax()) {
      if (caret_ == 0) return;
      int start = caret_ - 1;
      if (start >= 1 && text_[size_t(start)] == u'\n' && text_[size_t(start - 1)] == u'\r') --start;
      anchor_ = start;
    }
    return Replace(u"", true, true);
  }
  if (c == u'\r' || c == u'\n') {
    if (Multi()) Replace(u"\r\n", true, true);
    return;
  }
  if (c == u'\t' && !Multi()) return;
  if (c < 0x20 && c != u'\t') return;
  if ((Style() & ES_NUMBER) && (c < u'0' || c > u'9')) {
    MessageBeep(0);
    return;
  }
  Replace(std::u16string(1, c), true, true);
}

void Edit::SetText(const std::string& utf8) {
  // The limit holds typing and pasting only, as documented: text set
  // whole stays whole (cutting it here left WM_GETTEXT and the screen disagreeing).
  text_ = UTF8ToUTF16(utf8);
  anchor_ = caret_ = 0;
  firstLine_ = 0;
  scrollX_ = 0;
  canUndo_ = false;
  modified_ = false;
  Layout();
  UpdateScrollBars();
  Redraw();
}

LRESULT Edit::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      if (Style() & ES_PASSWORD) password_ = u'*';
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetText(cs && cs->lpszName ? cs->lpszName : "");
      return 0;
    }
    case WM_SETTEXT: {
      DefWindowProcW(hwnd, msg, wp, lp);
      SetText(lp ? reinterpret_cast<const char*>(lp) : "");
      Command(EN_UPDATE);
      if (IsWindow(hwnd)) Command(EN_CHANGE);
      return TRUE;
    }
    case WM_SIZE: case WM_SETFONT: {
      LRESULT r = Control::Handle(msg, wp, lp);
      Layout();
      UpdateScrollBars();
      Redraw();
      return r;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_HASSETSEL | DLGC_WANTCHARS | DLGC_WANTARROWS;
      if (Multi()) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_SETFOCUS:
      focused_ = true;
      Redraw();
      Command(EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      Redraw();
      Command(EN_KILLFOCUS);
      return 0;
    case WM_KEYDOWN:
      Key(wp);
      return 0;
    case WM_CHAR:
      Char(char16_t(wp));
      return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd);
      const int p = CharFromPoint(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      Move(p, (wp & MK_SHIFT) != 0);
      selecting_ = true;
      SetCapture(hwnd);
      return 0;
    }
    case WM_LBUTTONDBLCLK: {
      // Selects the word under the mouse.
      int s = CharFromPoint(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}), e = s;
      while (s > 0 && !IsSpace(text_[size_t(s - 1)])) --s;
      while (e < int(text_.size()) && !IsSpace(text_[size_t(e)])) ++e;
      SetSel(s, e, true);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (selecting_ && GetCapture() == hwnd) Move(CharFromPoint(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}), true);
      return 0;
    case WM_LBUTTONUP:
      if (selecting_) {
        selecting_ = false;
        if (GetCapture() == hwnd) ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      selecting_ = false;
      return 0;
    case WM_VSCROLL:
      ScrollLines(ScrollTarget(hwnd, SB_VERT, LOWORD(wp), firstLine_, 1, VisibleLines(), int(lines_.size())) -
                  firstLine_);
      return 0;
    case WM_HSCROLL: {
      const RECT f = Format();
      const int x = std::max(0, ScrollTarget(hwnd, SB_HORZ, LOWORD(wp), scrollX_, 8, std::max(1, int(f.right - f.left)),
                                             scrollX_));
      if (x != scrollX_) {
        scrollX_ = x;
        UpdateScrollBars();
        Redraw();
        Command(EN_HSCROLL);
      }
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (Multi()) ScrollLines(-3 * int(int16_t(HIWORD(wp))) / 120);
      return 0;
    case WM_COPY: Copy(); return 0;
    case WM_PASTE: Paste(); return 0;
    case WM_CUT:
      if (!ReadOnly()) {
        Copy();
        Replace(u"", true, true);
      }
      return 0;
    case WM_CLEAR:
      if (!ReadOnly()) Replace(u"", true, true);
      return 0;
    case WM_UNDO: case EM_UNDO: {
      if (!canUndo_) return FALSE;
      // Undo of the last change, which itself can be undone again.
      std::swap(text_, undoText_);
      std::swap(anchor_, undoAnchor_);
      std::swap(caret_, undoCaret_);
      Changed();
      return TRUE;
    }
    case EM_CANUNDO: return canUndo_;
    case EM_EMPTYUNDOBUFFER:
      canUndo_ = false;
      undoText_.clear();
      return 0;
    case EM_GETSEL:
      if (wp) *reinterpret_cast<DWORD*>(wp) = DWORD(SelMin());
      if (lp) *reinterpret_cast<DWORD*>(lp) = DWORD(SelMax());
      return MAKELRESULT(std::min(SelMin(), 0xFFFF), std::min(SelMax(), 0xFFFF));
    case EM_SETSEL:
      SetSel(int(LPARAM(wp)), int(lp), false);
      return 0;
    case EM_SCROLLCARET:
      ScrollToCaret();
      return TRUE;
    case EM_REPLACESEL:
      Replace(UTF8ToUTF16(lp ? reinterpret_cast<const char*>(lp) : ""), wp != 0, true);
      return 0;
    case EM_GETMODIFY: return modified_;
    case EM_SETMODIFY:
      modified_ = wp != 0;
      return 0;
    case EM_GETLINECOUNT: return LRESULT(lines_.size());
    case EM_LINEINDEX: {
      const int line = int(LPARAM(wp)) < 0 ? LineOf(caret_) : int(wp);
      return line < int(lines_.size()) ? lines_[size_t(line)].start : -1;
    }
    case EM_LINELENGTH: {
      if (int(LPARAM(wp)) < 0) {
        // The unselected rest of the lines the selection touches.
        const Line& a = lines_[size_t(LineOf(SelMin()))];
        const Line& b = lines_[size_t(LineOf(SelMax()))];
        return (SelMin() - a.start) + (b.end - SelMax());
      }
      const Line& l = lines_[size_t(LineOf(int(wp)))];
      return l.end - l.start;
    }
    case EM_LINEFROMCHAR: return LineOf(int(LPARAM(wp)) < 0 ? SelMin() : int(wp));
    case EM_GETLINE: {
      const int line = Multi() ? int(wp) : 0;
      char* out = reinterpret_cast<char*>(lp);
      if (!out || line < 0 || line >= int(lines_.size())) return 0;
      // The buffer's first word gives its size in bytes; the line is not terminated.
      const WORD size = *reinterpret_cast<WORD*>(out);
      const std::string s = UTF16ToUTF8(text_.substr(size_t(lines_[size_t(line)].start),
                                                     size_t(lines_[size_t(line)].end - lines_[size_t(line)].start)));
      const size_t n = std::min(s.size(), size_t(size));
      std::copy(s.begin(), s.begin() + long(n), out);
      return LRESULT(n);
    }
    case EM_LIMITTEXT:
      limit_ = wp ? int(std::min<WPARAM>(wp, kDefaultLimit)) : kDefaultLimit;
      return 0;
    case EM_GETLIMITTEXT: return Limit();
    case EM_SETREADONLY: {
      const DWORD s = Style();
      SetWindowLongPtrW(hwnd, GWL_STYLE, LONG_PTR(wp ? (s | ES_READONLY) : (s & ~ES_READONLY)));
      Redraw();
      return TRUE;
    }
    case EM_SETPASSWORDCHAR:
      password_ = char16_t(wp);
      Layout();
      Redraw();
      return 0;
    case EM_GETPASSWORDCHAR: return password_;
    case EM_GETFIRSTVISIBLELINE: return Multi() ? firstLine_ : LineOf(PosFromX(lines_[0], scrollX_));
    case EM_LINESCROLL:
      if (Multi()) ScrollLines(int(lp));
      return TRUE;
    case EM_SCROLL: {
      const int before = firstLine_;
      switch (wp) {
        case SB_LINEUP: ScrollLines(-1); break;
        case SB_LINEDOWN: ScrollLines(1); break;
        case SB_PAGEUP: ScrollLines(-VisibleLines()); break;
        case SB_PAGEDOWN: ScrollLines(VisibleLines()); break;
        default: return FALSE;
      }
      return MAKELRESULT(firstLine_ - before, TRUE);
    }
    case EM_SETMARGINS:
      if (wp & EC_LEFTMARGIN) leftMargin_ = LOWORD(lp) == EC_USEFONTINFO ? 2 : LOWORD(lp);
      if (wp & EC_RIGHTMARGIN) rightMargin_ = HIWORD(lp) == EC_USEFONTINFO ? 2 : HIWORD(lp);
      Layout();
      Redraw();
      return 0;
    case EM_GETMARGINS: return MAKELRESULT(leftMargin_, rightMargin_);
    case EM_GETRECT:
      if (lp) *reinterpret_cast<RECT*>(lp) = Format();
      return 0;
    case EM_SETRECT: case EM_SETRECTNP:
      formatSet_ = lp != 0;
      if (lp) format_ = *reinterpret_cast<const RECT*>(lp);
      Layout();
      if (msg == EM_SETRECT) Redraw();
      return 0;
    case EM_POSFROMCHAR: {
      if (int(wp) > int(text_.size())) return -1;
      const POINT p = PointOf(int(wp));
      return MAKELRESULT(p.x, p.y);
    }
    case EM_CHARFROMPOS: {
      const int pos = CharFromPoint(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return MAKELRESULT(pos, LineOf(pos));
    }
    case WM_ERASEBKGND: return 1;
  }
  return Control::Handle(msg, wp, lp);
}

void Edit::Paint(HDC dc) {
  const RECT c = Client();
  const bool readOnlyLook = ReadOnly() || !Enabled();
  HBRUSH bg = ParentBrush(dc, readOnlyLook ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
  const COLORREF textColor = Enabled() ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
  FillRect(dc, &c, bg);
  const RECT f = Format();
  IntersectClipRect(dc, f.left, f.top, f.right, f.bottom);
  HGDIOBJ oldFont = SelectObject(dc, Font());
  SetBkMode(dc, TRANSPARENT);
  const int h = LineHeight();
  const bool showSel = focused_ || (Style() & ES_NOHIDESEL);
  const int last = std::min(int(lines_.size()), firstLine_ + VisibleLines() + 1);
  for (int i = firstLine_; i < last; ++i) {
    const Line& l = lines_[size_t(i)];
    const int y = f.top + (i - firstLine_) * h;
    int x = f.left - scrollX_;
    const DWORD align = Style() & (ES_CENTER | ES_RIGHT);
    if (align && !Multi()) {
      const int w = Width(l.start, l.end);
      x = align == ES_RIGHT ? f.right - w : f.left + (f.right - f.left - w) / 2;
    }
    const std::string all = UTF16ToUTF8(Shown(l.start, l.end));
    SetTextColor(dc, textColor);
    TextOut(dc, x, y, all.c_str(), int(all.size()));
    const int s = std::max(SelMin(), l.start), e = std::min(SelMax(), l.end);
    if (showSel && s < e) {
      RECT sel{x + Width(l.start, s), y, x + Width(l.start, e), y + h};
      FillSys(dc, sel, COLOR_HIGHLIGHT);
      SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
      const std::string part = UTF16ToUTF8(Shown(s, e));
      TextOut(dc, sel.left, y, part.c_str(), int(part.size()));
    }
  }
  if (focused_) {
    const POINT p = PointOf(caret_);
    RECT caret{p.x, p.y, p.x + 1, p.y + h};
    FillSys(dc, caret, COLOR_WINDOWTEXT);
  }
  SelectObject(dc, oldFont);
}

}  // namespace

LRESULT EditWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<Edit>(wnd, msg, wp, lp); }

}  // namespace win
