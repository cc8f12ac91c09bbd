// The message box: a modal "#32770" window with an icon, the text and its
// buttons, served by its own loop on every backend.

#include "platform/win/MessageBox.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "platform/win/WinInternal.h"

namespace {

constexpr ATOM kDialogAtom = 0x8002;  // "#32770"
constexpr int kMargin = 12, kGap = 6, kButtonWidth = 75, kButtonHeight = 23, kIconSize = 32;
constexpr int kTextId = 0xFFFF;
constexpr UINT kButtonsMask = 0xF, kIconMask = 0xF0, kDefaultMask = 0xF00;

struct Button {
  int id;
  const char* text;
};

struct BoxState {
  WNDPROC previous = nullptr;
  UINT icon = 0;
  int result = 0;
  int closeResult = 0;  // the answer of Escape and the close request; 0: they do nothing
  std::function<void()> help;
};

// Boxes open now, innermost last: their procedure finds its state here.
std::vector<std::pair<HWND, BoxState*>>& Open() {
  static auto* open = new std::vector<std::pair<HWND, BoxState*>>();
  return *open;
}

BoxState* StateOf(HWND wnd) {
  for (auto& [h, s] : Open())
    if (h == wnd) return s;
  return nullptr;
}

void PaintIcon(HDC dc, UINT icon) {
  if (!icon) return;
  COLORREF fill = RGB(0, 90, 200);
  const char* glyph = "i";
  switch (icon) {
    case MB_ICONERROR: fill = RGB(200, 30, 30); glyph = "X"; break;
    case MB_ICONQUESTION: glyph = "?"; break;
    case MB_ICONWARNING: fill = RGB(230, 170, 0); glyph = "!"; break;
  }
  HBRUSH brush = CreateSolidBrush(fill);
  HPEN pen = CreatePen(PS_SOLID, 1, fill);
  HGDIOBJ oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
  Ellipse(dc, kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(brush);
  DeleteObject(pen);
  static HFONT font = CreateFont(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT r{kMargin, kMargin, kMargin + kIconSize, kMargin + kIconSize};
  DrawText(dc, glyph, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, oldFont);
}

LRESULT BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  BoxState* state = StateOf(wnd);
  if (!state) return DefWindowProcW(wnd, msg, wp, lp);
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wp) != BN_CLICKED) break;
      if (LOWORD(wp) == IDHELP) {
        if (state->help) state->help();
      } else if (LOWORD(wp) == IDCANCEL && !lp) {
        if (state->closeResult) state->result = state->closeResult;  // Escape
      } else {
        state->result = LOWORD(wp);
      }
      return 0;
    case WM_CLOSE:
      if (state->closeResult) state->result = state->closeResult;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintIcon(dc, state->icon);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT:
      PaintIcon(reinterpret_cast<HDC>(wp), state->icon);
      return 0;
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(wnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
  }
  return state->previous ? CallWindowProcW(state->previous, wnd, msg, wp, lp) : DefWindowProcW(wnd, msg, wp, lp);
}

std::vector<Button> ButtonsOf(UINT type, int& closeResult) {
  std::vector<Button> b;
  closeResult = 0;
  switch (type & kButtonsMask) {
    case MB_OKCANCEL: closeResult = IDCANCEL; b = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}; break;
    case MB_ABORTRETRYIGNORE: b = {{IDABORT, "&Abort"}, {IDRETRY, "&Retry"}, {IDIGNORE, "&Ignore"}}; break;
    case MB_YESNOCANCEL: closeResult = IDCANCEL; b = {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}}; break;
    case MB_YESNO: b = {{IDYES, "&Yes"}, {IDNO, "&No"}}; break;
    case MB_RETRYCANCEL: closeResult = IDCANCEL; b = {{IDRETRY, "&Retry"}, {IDCANCEL, "Cancel"}}; break;
    default: closeResult = IDOK; b = {{IDOK, "OK"}}; break;
  }
  if (type & MB_HELP) b.push_back({IDHELP, "Help"});
  return b;
}

// The Help callback of the MessageBoxIndirectW call under way.
std::function<void()>& PendingHelp() {
  static auto* help = new std::function<void()>();
  return *help;
}

}  // namespace

bool NextModalMessage(MSG* msg, HWND idleOwner, WPARAM kind, HWND loopWindow, bool* idleSent) {
  if (PeekMessageW(msg, nullptr, 0, 0, PM_REMOVE)) {
    *idleSent = false;
    return true;
  }
  if (!*idleSent && idleOwner) {
    *idleSent = true;
    SendMessageW(idleOwner, WM_ENTERIDLE, kind, LPARAM(loopWindow));
    return false;
  }
  WaitMessage();
  *idleSent = false;
  return false;
}

int ShowMessageBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  BoxState state;
  state.icon = type & kIconMask;
  state.help = PendingHelp();
  const std::vector<Button> buttons = ButtonsOf(type, state.closeResult);
  const size_t defIndex = std::min(buttons.size() - 1, size_t((type & kDefaultMask) >> 8));

  // Size: the text wrapped at a readable width beside the icon, and the row of buttons.
  HFONT font = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  RECT textRect{0, 0, 420, 0};
  HDC screen = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(screen, font);
  DrawText(screen, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(screen, oldFont);
  DeleteDC(screen);
  const int iconRoom = state.icon ? kIconSize + kMargin : 0;
  const int textHeight = std::max(int(textRect.bottom), state.icon ? kIconSize : 0);
  const int rowWidth = int(buttons.size()) * kButtonWidth + int(buttons.size() - 1) * kGap;
  const int clientW = std::max(iconRoom + int(textRect.right), rowWidth) + 2 * kMargin;
  const int clientH = textHeight + 2 * kMargin + kGap + kButtonHeight;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT wr{0, 0, clientW, clientH};
  AdjustWindowRectEx(&wr, style, FALSE, exStyle);

  // Centred on the owner, else on the work area of the primary monitor.
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : GetActiveWindow();
  RECT around{};
  if (!root || !IsWindowVisible(root) || !GetWindowRect(root, &around)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  const int x = (around.left + around.right - w) / 2, y = (around.top + around.bottom - h) / 2;
  HWND box = CreateWindowExW(exStyle, MAKEINTATOM(kDialogAtom), caption.c_str(), style, x, y, w, h, root, nullptr,
                             nullptr, nullptr);
  if (!box) return 0;
  Open().emplace_back(box, &state);
  state.previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(box, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&BoxProc))));
  struct Close {
    HWND box;
    ~Close() {
      auto& open = Open();
      open.erase(std::remove_if(open.begin(), open.end(), [&](auto& e) { return e.first == box; }), open.end());
    }
  } closeGuard{box};

  HWND label = CreateWindowExW(0, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_NOPREFIX, kMargin + iconRoom,
                               kMargin + (textHeight - int(textRect.bottom)) / 2, int(textRect.right), int(textRect.bottom),
                               box, reinterpret_cast<HMENU>(uintptr_t(kTextId)), nullptr, nullptr);
  SendMessageW(label, WM_SETFONT, WPARAM(font), 0);
  std::vector<HWND> handles;
  int bx = (clientW - rowWidth) / 2;
  for (size_t i = 0; i < buttons.size(); ++i, bx += kButtonWidth + kGap) {
    const DWORD bs = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND b = CreateWindowExW(0, "BUTTON", buttons[i].text, bs, bx, clientH - kMargin - kButtonHeight, kButtonWidth,
                             kButtonHeight, box, reinterpret_cast<HMENU>(uintptr_t(buttons[i].id)), nullptr, nullptr);
    SendMessageW(b, WM_SETFONT, WPARAM(font), 0);
    handles.push_back(b);
  }
  if (!state.closeResult) EnableMenuItem(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  const bool ownerWasEnabled = root && IsWindowEnabled(root);
  if (ownerWasEnabled) EnableWindow(root, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(handles[defIndex]);

  bool quit = false, idleSent = false;
  int quitCode = 0;
  MSG m;
  while (!state.result && IsWindow(box)) {
    if (!NextModalMessage(&m, root, MSGF_DIALOGBOX, box, &idleSent)) continue;
    if (m.message == WM_QUIT) {
      quit = true;
      quitCode = int(m.wParam);
      state.result = state.closeResult ? state.closeResult : buttons.back().id;
      break;
    }
    if (IsDialogMessageW(box, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  const int result = state.result;
  if (ownerWasEnabled && IsWindow(root)) EnableWindow(root, TRUE);
  if (IsWindow(box)) DestroyWindow(box);
  if (root && IsWindow(root)) SetActiveWindow(root);
  if (quit) PostQuitMessage(quitCode);  // the main loop's, not ours
  return result;
}

int MessageBoxIndirectW(const MSGBOXPARAMSW* params) {
  if (!params) return 0;
  HELPINFO info;
  info.iContextType = 1;  // a window
  info.dwContextId = params->dwContextHelpId;
  const MSGBOXCALLBACK callback = params->lpfnMsgBoxCallback;
  std::function<void()> saved = PendingHelp();
  PendingHelp() = callback ? std::function<void()>([callback, info]() mutable { callback(&info); }) : nullptr;
  const int answer = MessageBoxW(params->hwndOwner, params->lpszText, params->lpszCaption, params->dwStyle);
  PendingHelp() = saved;
  return answer;
}
