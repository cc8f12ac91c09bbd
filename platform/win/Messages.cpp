// Sending, posting and retrieving messages; timers; hooks; the backend in use
// and the message pump that nested waits run.

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/os/Threads.h"
#include "platform/win/MessageBox.h"
#include "platform/win/WinInternal.h"

namespace win {

namespace {

// Posted messages may come from any thread; the queue has its own lock and a
// wake-up handle so that a waiting main thread notices them.
struct PostQueue {
  std::mutex lock;
  std::deque<MSG> messages;
  bool quitPending = false;  // the quit request, which any thread may make
  int quitCode = 0;
  int wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};

PostQueue& Q() {
  static PostQueue* q = new PostQueue();
  return *q;
}

void Wake() {
  uint64_t one = 1;
  ssize_t n = write(Q().wake, &one, sizeof(one));
  (void)n;
}

void DrainWake() {
  uint64_t v;
  ssize_t n = read(Q().wake, &v, sizeof(v));
  (void)n;
}

bool Matches(const MSG& m, HWND filter, UINT lo, UINT hi) {
  if (filter == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd) return false;
  } else if (filter && m.hwnd != filter && !IsChild(filter, m.hwnd)) {
    return false;
  }
  if (lo == 0 && hi == 0) return true;
  return m.message >= lo && m.message <= hi;
}

bool InRange(UINT msg, UINT lo, UINT hi) { return (lo == 0 && hi == 0) || (msg >= lo && msg <= hi); }

std::unique_ptr<TWindowBackend>& BackendSlot() {
  static auto* slot = new std::unique_ptr<TWindowBackend>();
  return *slot;
}

}  // namespace

LRESULT Send(Window* w, UINT msg, WPARAM wp, LPARAM lp) {
  State& s = S();
  ++s.sendDepth;
  struct Depth {
    ~Depth() { --S().sendDepth; }
  } depth;
  return CallWindowProcW(w->proc, w->handle, msg, wp, lp);
}

void PostInput(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) { PostMessageW(wnd, msg, wp, lp); }

void ClearQueue() {
  std::lock_guard<std::mutex> g(Q().lock);
  Q().messages.clear();
  Q().quitPending = false;
}

void ForgetWindowMessages(HWND wnd) {
  std::lock_guard<std::mutex> g(Q().lock);
  auto& q = Q().messages;
  q.erase(std::remove_if(q.begin(), q.end(), [&](const MSG& m) { return m.hwnd == wnd; }), q.end());
}

bool CallCbtHook(int code, WPARAM wp, LPARAM lp) {
  for (const HookRecord& h : S().hooks)
    if (h.kind == WH_CBT) return h.proc(code, wp, lp) != 0;
  return false;
}

}  // namespace win

using namespace win;

// ---- Backend ----

TWindowBackend& WindowBackend() {
  auto& slot = BackendSlot();
  if (!slot) slot = std::make_unique<THeadlessBackend>();
  return *slot;
}

std::unique_ptr<TWindowBackend> SetWindowBackend(std::unique_ptr<TWindowBackend> backend) {
  auto old = std::move(BackendSlot());
  BackendSlot() = std::move(backend);
  return old;
}

THeadlessBackend* HeadlessBackend() { return dynamic_cast<THeadlessBackend*>(&WindowBackend()); }

THeadlessBackend::THeadlessBackend() {
  monitors_.push_back(TMonitorDesc{RECT{0, 0, 1024, 768}, RECT{0, 0, 1024, 728}, true});
}

void THeadlessBackend::SetMonitors(std::vector<TMonitorDesc> monitors) {
  bool anyPrimary = false;
  for (auto& m : monitors) anyPrimary |= m.Primary;
  if (!anyPrimary && !monitors.empty()) monitors[0].Primary = true;
  monitors_ = std::move(monitors);
}

void THeadlessBackend::Wait(const std::vector<int>& fds, int timeoutMs) {
  if (!script_.empty()) return;
  std::vector<pollfd> p;
  for (int fd : fds) p.push_back(pollfd{fd, POLLIN, 0});
  poll(p.data(), p.size(), timeoutMs);
}

void THeadlessBackend::PumpEvents() {
  if (script_.empty()) return;
  auto step = std::move(script_.front());
  script_.pop_front();
  step();
  // A loop waiting for input looks again, also when the step posted nothing.
  PostMessageW(nullptr, WM_NULL, 0, 0);
}

int THeadlessBackend::MessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
  boxes_.push_back(TMessageBoxRecord{text, caption, type});
  if (!ScriptedMessageBoxes) return ShowMessageBoxWindow(owner, text, caption, type);
  fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
  return MessageBoxReply;
}

void InstallWindowMessagePump() {
  // Once only: the application object may install its own pump afterwards.
  static bool installed = false;
  if (installed) return;
  installed = true;
  SetMessagePump(PumpWindowMessages);
}

void PumpWindowMessages() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      // A nested wait must not swallow the quit request meant for the main loop.
      PostQuitMessage(int(m.wParam));
      break;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// ---- Sending and posting ----

LRESULT SendMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!IsMainThread()) {
    LRESULT r = 0;
    CallInMainThread([&] { r = SendMessageW(wnd, msg, wParam, lParam); });
    return r;
  }
  Window* w = Get(wnd);
  return w ? Send(w, msg, wParam, lParam) : 0;
}

BOOL InSendMessage() { return S().sendDepth > 0; }

BOOL PostMessageW(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (wnd && IsMainThread() && !Get(wnd)) return FALSE;
  MSG m;
  m.hwnd = wnd;
  m.message = msg;
  m.wParam = wParam;
  m.lParam = lParam;
  {
    std::lock_guard<std::mutex> g(Q().lock);
    Q().messages.push_back(m);
  }
  Wake();
  return TRUE;
}

BOOL PostThreadMessageW(DWORD, UINT msg, WPARAM wParam, LPARAM lParam) {
  return PostMessageW(nullptr, msg, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
  {
    std::lock_guard<std::mutex> g(Q().lock);
    Q().quitPending = true;
    Q().quitCode = exitCode;
  }
  Wake();
}

DWORD GetTickCount() { return DWORD(WindowBackend().Now()); }
DWORD GetMessageTime() { return S().current.time; }
DWORD GetMessagePos() { return DWORD(MAKELPARAM(S().current.pt.x, S().current.pt.y)); }
DWORD GetWindowThreadProcessId(HWND, DWORD* processId) {
  if (processId) *processId = DWORD(getpid());
  return DWORD(MainThreadID());
}

BOOL PeekMessageW(MSG* msg, HWND wnd, UINT lo, UINT hi, UINT removeMsg) {
  if (!msg) return FALSE;
  State& s = S();
  TWindowBackend& backend = WindowBackend();
  backend.PumpEvents();
  const bool remove = removeMsg & PM_REMOVE;
  DrainWake();
  {
    std::lock_guard<std::mutex> g(Q().lock);
    auto& q = Q().messages;
    for (auto it = q.begin(); it != q.end(); ++it) {
      if (!Matches(*it, wnd, lo, hi)) continue;
      *msg = *it;
      if (remove) q.erase(it);
      else Wake();  // still pending: a waiting loop must not sleep on it
      msg->time = DWORD(backend.Now());
      msg->pt = s.cursor;
      return TRUE;
    }
  }
  const uint64_t now = backend.Now();
  auto fill = [&](HWND h, UINT m, WPARAM wp, LPARAM lp) {
    *msg = MSG{};
    msg->hwnd = h;
    msg->message = m;
    msg->wParam = wp;
    msg->lParam = lp;
    msg->time = DWORD(now);
    msg->pt = s.cursor;
  };
  if (InRange(WM_QUIT, lo, hi) && (!wnd || wnd == reinterpret_cast<HWND>(-1))) {
    std::lock_guard<std::mutex> g(Q().lock);
    if (Q().quitPending) {
      fill(nullptr, WM_QUIT, WPARAM(Q().quitCode), 0);
      if (remove) Q().quitPending = false;
      return TRUE;
    }
  }
  if (InRange(WM_PAINT, lo, hi)) {
    if (Window* p = FindPaintWindow(wnd == reinterpret_cast<HWND>(-1) ? nullptr : wnd)) {
      fill(p->handle, WM_PAINT, 0, 0);
      return TRUE;
    }
  }
  if (InRange(WM_TIMER, lo, hi)) {
    for (TimerRecord& t : s.timers) {
      if (t.due > now) continue;
      if (wnd && t.wnd != wnd && !IsChild(wnd, t.wnd)) continue;
      fill(t.wnd, WM_TIMER, t.id, LPARAM(reinterpret_cast<uintptr_t>(t.proc)));
      if (remove) t.due = now + t.elapse;
      return TRUE;
    }
  }
  return FALSE;
}

namespace {
// Sleeps until something may have arrived, then serves the dispatcher.
void WaitForInput() {
  State& s = S();
  TWindowBackend& backend = WindowBackend();
  int timeout = -1;
  for (const TimerRecord& t : s.timers) {
    int d = backend.DueIn(t.due);
    if (d >= 0 && (timeout < 0 || d < timeout)) timeout = d;
  }
  backend.Wait({DispatcherWakeHandle(), Q().wake}, timeout);
  CheckSynchronize(0);
}
}  // namespace

BOOL WaitMessage() {
  MSG m;
  // A served call counts as something that arrived: the caller's loop must look again.
  if (CheckSynchronize(0)) return TRUE;
  if (PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE)) return TRUE;
  WaitForInput();
  return TRUE;
}

BOOL GetMessageW(MSG* msg, HWND wnd, UINT lo, UINT hi) {
  for (;;) {
    if (PeekMessageW(msg, wnd, lo, hi, PM_REMOVE)) return msg->message != WM_QUIT;
    WaitForInput();
  }
}

BOOL TranslateMessage(const MSG*) {
  // Characters come from the backend as WM_CHAR already (InjectChar).
  return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  State& s = S();
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(uintptr_t(msg->lParam))(msg->hwnd, WM_TIMER, msg->wParam, DWORD(msg->time));
    return 0;
  }
  Window* w = Get(msg->hwnd);
  if (!w) return 0;
  MSG saved = s.current;
  s.current = *msg;
  struct Restore {
    MSG m;
    ~Restore() { S().current = m; }
  } restore{saved};
  LRESULT r = Send(w, msg->message, msg->wParam, msg->lParam);
  // A procedure that does not validate must not make WM_PAINT come back forever.
  if (msg->message == WM_PAINT && (w = Get(msg->hwnd))) {
    Validate(w);
    w->ncPending = false;
  }
  return r;
}

// ---- Timers ----

UINT_PTR SetTimer(HWND wnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  State& s = S();
  if (wnd && !Get(wnd)) return 0;
  if (!wnd) id = 0x7FFF0000 + s.nextTimerId++;
  elapse = std::max(elapse, 1u);
  const uint64_t due = WindowBackend().Now() + elapse;
  for (TimerRecord& t : s.timers) {
    if (t.wnd == wnd && t.id == id) {
      t.elapse = elapse;
      t.proc = proc;
      t.due = due;
      return wnd ? 1 : id;
    }
  }
  s.timers.push_back(TimerRecord{wnd, id, elapse, proc, due});
  return wnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND wnd, UINT_PTR id) {
  auto& t = S().timers;
  auto it = std::find_if(t.begin(), t.end(), [&](const TimerRecord& r) { return r.wnd == wnd && r.id == id; });
  if (it == t.end()) return FALSE;
  t.erase(it);
  return TRUE;
}

// ---- Hooks ----

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD) {
  if (!proc || idHook != WH_CBT) return nullptr;
  State& s = S();
  HHOOK h = reinterpret_cast<HHOOK>(s.nextHook++);
  s.hooks.insert(s.hooks.begin(), HookRecord{h, idHook, proc});
  return h;
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  auto& hooks = S().hooks;
  auto it = std::find_if(hooks.begin(), hooks.end(), [&](const HookRecord& r) { return r.handle == hook; });
  if (it == hooks.end()) return FALSE;
  hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam) {
  auto& hooks = S().hooks;
  auto it = std::find_if(hooks.begin(), hooks.end(), [&](const HookRecord& r) { return r.handle == hook; });
  if (it == hooks.end()) return 0;
  const int kind = it->kind;
  for (++it; it != hooks.end(); ++it)
    if (it->kind == kind) return it->proc(code, wParam, lParam);
  return 0;
}
