// The message box of the display backend: a modal window of the layer with
// the text and push buttons, served by its own loop.

#include <algorithm>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/DisplayMessageBox.h"

namespace {

const char* const kClass = "TarnwickMessageBox";
constexpr int kMargin = 12, kGap = 6, kButtonWidth = 75, kButtonHeight = 23;

struct Button {
  int id;
  const char* text;
};

struct BoxState {
  std::string text;
  int result = 0;
  int closeResult = 0;  // the answer of Escape and the close request; 0: they do nothing
};

LRESULT BoxProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  switch (msg) {
    case WM_COMMAND:
      if (state && HIWORD(wp) == BN_CLICKED) state->result = LOWORD(wp);
      return 0;
    case WM_CLOSE:
      if (state && state->closeResult) state->result = state->closeResult;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (state) {
        RECT r;
        GetClientRect(wnd, &r);
        r.left += kMargin;
        r.top += kMargin;
        r.right -= kMargin;
        r.bottom -= kMargin + kButtonHeight + kGap;
        HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        DrawText(dc, state->text.c_str(), -1, &r, DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcW(wnd, msg, wp, lp);
}

std::vector<Button> ButtonsOf(UINT type, int& closeResult) {
  switch (type & 0xF) {
    case MB_OKCANCEL: closeResult = IDCANCEL; return {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    case MB_YESNOCANCEL: closeResult = IDCANCEL; return {{IDYES, "&Yes"}, {IDNO, "&No"}, {IDCANCEL, "Cancel"}};
    case MB_YESNO: closeResult = 0; return {{IDYES, "&Yes"}, {IDNO, "&No"}};
  }
  closeResult = IDOK;
  return {{IDOK, "OK"}};
}

}  // namespace

int ShowMessageBoxWindow(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = BoxProc;
  wc.lpszClassName = kClass;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  RegisterClassExW(&wc);  // fails harmlessly once registered

  BoxState state;
  state.text = text;
  const std::vector<Button> buttons = ButtonsOf(type, state.closeResult);
  const size_t defIndex = std::min(buttons.size() - 1, size_t((type >> 8) & 0xF));

  // Size: the text wrapped at a readable width, and the row of buttons.
  RECT textRect{0, 0, 420, 0};
  HDC screen = CreateCompatibleDC(nullptr);
  HGDIOBJ oldFont = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
  DrawText(screen, text.c_str(), -1, &textRect, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(screen, oldFont);
  DeleteDC(screen);
  const int rowWidth = int(buttons.size()) * kButtonWidth + int(buttons.size() - 1) * kGap;
  const int clientW = std::max(int(textRect.right), rowWidth) + 2 * kMargin;
  const int clientH = int(textRect.bottom) + 2 * kMargin + kGap + kButtonHeight;
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU, exStyle = WS_EX_DLGMODALFRAME;
  RECT wr{0, 0, clientW, clientH};
  AdjustWindowRectEx(&wr, style, FALSE, exStyle);

  // Centred on the owner, else on the work area of the primary monitor.
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : GetActiveWindow();
  RECT around{};
  if (!root || !GetWindowRect(root, &around)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  const int x = (around.left + around.right - w) / 2, y = (around.top + around.bottom - h) / 2;
  HWND box = CreateWindowExW(exStyle, kClass, caption.c_str(), style, x, y, w, h, root, nullptr, nullptr, nullptr);
  if (!box) return 0;
  SetWindowLongPtrW(box, GWLP_USERDATA, LONG_PTR(reinterpret_cast<uintptr_t>(&state)));
  std::vector<HWND> handles;
  int bx = (clientW - rowWidth) / 2;
  for (size_t i = 0; i < buttons.size(); ++i, bx += kButtonWidth + kGap) {
    const DWORD bs = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    handles.push_back(CreateWindowExW(0, "BUTTON", buttons[i].text, bs, bx, clientH - kMargin - kButtonHeight,
                                      kButtonWidth, kButtonHeight, box,
                                      reinterpret_cast<HMENU>(uintptr_t(buttons[i].id)), nullptr, nullptr));
  }
  const bool ownerWasEnabled = root && IsWindowEnabled(root);
  if (ownerWasEnabled) EnableWindow(root, FALSE);
  ShowWindow(box, SW_SHOW);
  SetFocus(handles[defIndex]);

  // Enter answers with the focused button, Escape as the close request, Tab and the arrows move between buttons.
  bool quit = false;
  int quitCode = 0;
  MSG m;
  while (!state.result && IsWindow(box)) {
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    if (m.message == WM_QUIT) {
      quit = true;
      quitCode = int(m.wParam);
      state.result = state.closeResult ? state.closeResult : buttons.back().id;
      break;
    }
    if (m.message == WM_KEYDOWN && (m.hwnd == box || IsChild(box, m.hwnd))) {
      const auto focused = std::find(handles.begin(), handles.end(), GetFocus());
      const size_t at = focused == handles.end() ? defIndex : size_t(focused - handles.begin());
      if (m.wParam == WPARAM(VK_RETURN)) {
        state.result = buttons[at].id;
        continue;
      }
      if (m.wParam == WPARAM(VK_ESCAPE)) {
        if (state.closeResult) state.result = state.closeResult;
        continue;
      }
      const bool back = m.wParam == WPARAM(VK_LEFT) || m.wParam == WPARAM(VK_UP) ||
                        (m.wParam == WPARAM(VK_TAB) && (GetKeyState(VK_SHIFT) & 0x8000));
      if (back || m.wParam == WPARAM(VK_RIGHT) || m.wParam == WPARAM(VK_DOWN) || m.wParam == WPARAM(VK_TAB)) {
        SetFocus(handles[(at + (back ? handles.size() - 1 : 1)) % handles.size()]);
        continue;
      }
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  const int result = state.result;
  if (ownerWasEnabled && IsWindow(root)) EnableWindow(root, TRUE);
  if (IsWindow(box)) {
    SetWindowLongPtrW(box, GWLP_USERDATA, 0);
    DestroyWindow(box);
  }
  if (root && IsWindow(root)) SetActiveWindow(root);
  if (quit) PostQuitMessage(quitCode);  // the main loop's, not ours
  return result;
}
