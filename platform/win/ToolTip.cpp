// The "tooltips_class32" class: a small popup that shows a tool's text once
// the mouse rests over the tool. The owner relays its mouse messages
// (TTM_RELAYEVENT), or places the tip itself (TTF_TRACK with TTM_TRACKPOSITION).

#include <algorithm>
#include <cstring>

#include "platform/win/ControlsInternal.h"

namespace win {

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr int kMargin = 3;  // text inset inside the tip's border

class ToolTip : public Control {
 public:
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) override;

 protected:
  void Paint(HDC dc) override;

 private:
  struct Tool {
    UINT flags = 0;
    HWND wnd = nullptr;
    UINT_PTR id = 0;
    RECT rect;
    std::string text;
    LPARAM param = 0;
  };

  int Find(const TTTOOLINFOW* info) const;
  // The tool under a point of window `from` (client coordinates), or -1.
  int ToolAt(HWND from, POINT p) const;
  void Relay(const MSG& m);
  void Show(int tool, POINT screen);
  void Pop();
  void Tell(UINT code) {
    if (current_ < 0) return;
    const Tool& t = tools_[size_t(current_)];
    NMHDR nm;
    nm.hwndFrom = hwnd;
    nm.idFrom = t.id;
    nm.code = code;
    if (t.wnd) SendMessageW(t.wnd, WM_NOTIFY, WPARAM(t.id), LPARAM(&nm));
  }
  SIZE TextSize() const;

  std::vector<Tool> tools_;
  bool active_ = true;
  UINT initial_ = 500;
  UINT autopop_ = 5000;
  int maxWidth_ = -1;
  int current_ = -1;  // the tool shown or waiting to show
  int waiting_ = -1;
  POINT trackPos_;
};

int ToolTip::Find(const TTTOOLINFOW* info) const {
  if (!info) return -1;
  for (size_t i = 0; i < tools_.size(); ++i)
    if (tools_[i].wnd == info->hwnd && tools_[i].id == info->uId) return int(i);
  return -1;
}

int ToolTip::ToolAt(HWND from, POINT p) const {
  for (size_t i = 0; i < tools_.size(); ++i) {
    const Tool& t = tools_[i];
    if (t.flags & TTF_TRACK) continue;
    if (t.flags & TTF_IDISHWND) {
      if (reinterpret_cast<HWND>(t.id) == from) return int(i);
    } else if (t.wnd == from && PtInRect(&t.rect, p)) {
      return int(i);
    }
  }
  return -1;
}

SIZE ToolTip::TextSize() const {
  const std::string& text = current_ >= 0 ? tools_[size_t(current_)].text : std::string();
  HDC dc = GetDC(hwnd);
  HGDIOBJ old = SelectObject(dc, Font());
  RECT r{0, 0, maxWidth_ > 0 ? maxWidth_ : 10000, 0};
  DrawText(dc, text.c_str(), int(text.size()), &r,
           DT_CALCRECT | DT_NOPREFIX | (maxWidth_ > 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
  return SIZE{r.right - r.left + 2 * kMargin + 2, r.bottom - r.top + 2 * kMargin};
}

void ToolTip::Show(int tool, POINT screen) {
  if (tool < 0 || tool >= int(tools_.size()) || tools_[size_t(tool)].text.empty()) return;
  current_ = tool;
  const SIZE s = TextSize();
  Tell(TTN_SHOW);
  SetWindowPos(hwnd, HWND_TOPMOST, screen.x, screen.y, s.cx, s.cy, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Redraw();
  if (!(tools_[size_t(tool)].flags & TTF_TRACK)) SetTimer(hwnd, kPopTimer, autopop_, nullptr);
}

void ToolTip::Pop() {
  KillTimer(hwnd, kShowTimer);
  KillTimer(hwnd, kPopTimer);
  waiting_ = -1;
  if (!IsWindowVisible(hwnd)) return;
  Tell(TTN_POP);
  ShowWindow(hwnd, SW_HIDE);
}

void ToolTip::Relay(const MSG& m) {
  if (!active_) return;
  if (m.message == WM_LBUTTONDOWN || m.message == WM_RBUTTONDOWN || m.message == WM_MBUTTONDOWN ||
      m.message == WM_MOUSEWHEEL) {
    Pop();
    current_ = -1;
    return;
  }
  if (m.message != WM_MOUSEMOVE) return;
  const POINT p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
  const int tool = ToolAt(m.hwnd, p);
  if (tool == current_ && IsWindowVisible(hwnd)) return;
  if (tool != waiting_) {
    Pop();
    current_ = -1;
    waiting_ = tool;
    if (tool >= 0) SetTimer(hwnd, kShowTimer, initial_, nullptr);
  }
}

void ToolTip::Paint(HDC dc) {
  const RECT c = Client();
  FillSys(dc, c, COLOR_INFOBK);
  FrameRect(dc, &c, GetSysColorBrush(COLOR_INFOTEXT));
  if (current_ < 0) return;
  RECT t = c;
  InflateRect(&t, -kMargin, -kMargin);
  DrawLabel(dc, Font(), tools_[size_t(current_)].text, t,
            DT_NOPREFIX | (maxWidth_ > 0 ? DT_WORDBREAK : DT_SINGLELINE), GetSysColor(COLOR_INFOTEXT));
}

LRESULT ToolTip::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case TTM_ADDTOOLW: {
      const auto* info = reinterpret_cast<const TTTOOLINFOW*>(lp);
      if (!info || Find(info) >= 0) return FALSE;
      Tool t;
      t.flags = info->uFlags;
      t.wnd = info->hwnd;
      t.id = info->uId;
      t.rect = info->rect;
      if (info->lpszText && info->lpszText != LPSTR_TEXTCALLBACKW) t.text = info->lpszText;
      t.param = info->lParam;
      tools_.push_back(t);
      return TRUE;
    }
    case TTM_DELTOOLW: {
      const int i = Find(reinterpret_cast<const TTTOOLINFOW*>(lp));
      if (i < 0) return 0;
      if (i == current_ || i == waiting_) {
        Pop();
        current_ = -1;
      }
      tools_.erase(tools_.begin() + i);
      if (current_ > i) --current_;
      return 0;
    }
    case TTM_GETTOOLCOUNT: return LRESULT(tools_.size());
    case TTM_GETTOOLINFOW: case TTM_SETTOOLINFOW: case TTM_NEWTOOLRECTW: case TTM_UPDATETIPTEXTW: case TTM_GETTEXTW: {
      auto* info = reinterpret_cast<TTTOOLINFOW*>(lp);
      const int i = Find(info);
      if (i < 0) return FALSE;
      Tool& t = tools_[size_t(i)];
      switch (msg) {
        case TTM_GETTOOLINFOW:
          info->uFlags = t.flags;
          info->rect = t.rect;
          info->lParam = t.param;
          [[fallthrough]];
        case TTM_GETTEXTW:
          // The caller's buffer has room for 80 characters (the documented size) unless it says otherwise.
          if (info->lpszText && info->lpszText != LPSTR_TEXTCALLBACKW) {
            const size_t room = msg == TTM_GETTEXTW && wp ? size_t(wp) : 80;
            const size_t n = std::min(t.text.size(), room - 1);
            memcpy(info->lpszText, t.text.data(), n);
            info->lpszText[n] = 0;
          }
          return TRUE;
        case TTM_SETTOOLINFOW:
          t.flags = info->uFlags;
          t.rect = info->rect;
          t.param = info->lParam;
          [[fallthrough]];
        case TTM_UPDATETIPTEXTW:
          if (info->lpszText && info->lpszText != LPSTR_TEXTCALLBACKW) t.text = info->lpszText;
          if (i == current_ && IsWindowVisible(hwnd)) {
            const SIZE s = TextSize();
            SetWindowPos(hwnd, nullptr, 0, 0, s.cx, s.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            Redraw();
          }
          return TRUE;
        case TTM_NEWTOOLRECTW:
          t.rect = info->rect;
          return TRUE;
      }
      return FALSE;
    }
    case TTM_ACTIVATE:
      active_ = wp != 0;
      if (!active_) Pop();
      return 0;
    case TTM_SETDELAYTIME: {
      const int v = int(int16_t(LOWORD(lp)));
      switch (wp) {
        case TTDT_AUTOMATIC:
          initial_ = v < 0 ? 500 : UINT(v);
          autopop_ = initial_ * 10;
          break;
        case TTDT_INITIAL: initial_ = v < 0 ? 500 : UINT(v); break;
        case TTDT_AUTOPOP: autopop_ = v < 0 ? 5000 : UINT(v); break;
        default: break;
      }
      return 0;
    }
    case TTM_GETDELAYTIME: return wp == TTDT_AUTOPOP ? autopop_ : initial_;
    case TTM_SETMAXTIPWIDTH: {
      const int old = maxWidth_;
      maxWidth_ = int(lp);
      return old;
    }
    case TTM_RELAYEVENT:
      if (lp) Relay(*reinterpret_cast<const MSG*>(lp));
      return 0;
    case TTM_POP:
      Pop();
      current_ = -1;
      return 0;
    case TTM_POPUP: {
      // Shows the tool under the cursor at once.
      POINT p;
      GetCursorPos(&p);
      HWND under = WindowFromPoint(p);
      POINT c = p;
      ScreenToClient(under, &c);
      const int tool = ToolAt(under, c);
      if (tool >= 0) Show(tool, POINT{p.x, p.y + GetSystemMetrics(SM_CYCURSOR) / 2});
      return 0;
    }
    case TTM_TRACKPOSITION:
      trackPos_ = POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
      if (current_ >= 0 && IsWindowVisible(hwnd) && (tools_[size_t(current_)].flags & TTF_TRACK))
        SetWindowPos(hwnd, nullptr, trackPos_.x, trackPos_.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    case TTM_TRACKACTIVATE: {
      const int i = Find(reinterpret_cast<const TTTOOLINFOW*>(lp));
      if (!wp) {
        if (i == current_) {
          Pop();
          current_ = -1;
        }
      } else if (i >= 0) {
        Show(i, trackPos_);
      }
      return 0;
    }
    case TTM_UPDATE:
      Redraw();
      return 0;
    case WM_TIMER:
      if (wp == kShowTimer) {
        KillTimer(hwnd, kShowTimer);
        POINT p;
        GetCursorPos(&p);
        const int tool = waiting_;
        waiting_ = -1;
        Show(tool, POINT{p.x, p.y + GetSystemMetrics(SM_CYCURSOR) / 2});
      } else if (wp == kPopTimer) {
        Pop();
      }
      return 0;
    case WM_NCHITTEST: return HTTRANSPARENT;
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ERASEBKGND: return 1;
  }
  return Control::Handle(msg, wp, lp);
}

}  // namespace

LRESULT ToolTipWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { return ControlProc<ToolTip>(wnd, msg, wp, lp); }

}  // namespace win
