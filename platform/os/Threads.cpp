#include "platform/os/Threads.h"

#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// Zero until claimed: by InitMainThread, by the static initialiser below (which
// runs on the process's main thread), or by the first caller otherwise.
std::atomic<TThreadID> gMainThread{0};

TThreadID ClaimMainThread() {
  TThreadID expected = 0;
  TThreadID self = GetCurrentThreadId();
  if (gMainThread.compare_exchange_strong(expected, self)) return self;
  return expected;
}

[[maybe_unused]] const TThreadID gMainThreadAtStart = ClaimMainThread();

// Waits on cv until pred holds or timeoutMs passed (INFINITE: no limit).
template <class Pred>
bool WaitWithTimeout(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint32_t timeoutMs,
                     Pred pred) {
  if (timeoutMs == INFINITE) {
    cv.wait(lock, pred);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

// A worker blocked in CallInMainThread; lives on that worker's stack.
struct SyncWait {
  const std::function<void()>* call = nullptr;
  std::condition_variable done_cv;
  bool done = false;
  std::exception_ptr error;
};

struct PendingCall {
  std::function<void()> queued;  // for QueueInMainThread
  SyncWait* wait = nullptr;      // for CallInMainThread
};

class Dispatcher {
 public:
  Dispatcher() : wake_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

  int WakeHandle() const { return wake_fd_; }

  void Post(PendingCall call) {
    std::lock_guard<std::mutex> lock(mu_);
    queue_.push_back(std::move(call));
    SignalWake();
    cv_.notify_all();
  }

  // Called from a worker: hands call to the main thread and waits for it.
  void Send(const std::function<void()>& call) {
    SyncWait wait;
    wait.call = &call;
    std::unique_lock<std::mutex> lock(mu_);
    queue_.push_back(PendingCall{{}, &wait});
    SignalWake();
    cv_.notify_all();
    wait.done_cv.wait(lock, [&] { return wait.done; });
    lock.unlock();
    if (wait.error) std::rethrow_exception(wait.error);
  }

  // Runs the calls pending on entry; calls posted meanwhile wait for the next
  // round, so that a call re-queuing itself cannot starve the caller. An
  // exception from a queued call propagates; the calls behind it stay queued.
  bool RunPending() {
    size_t budget;
    {
      std::lock_guard<std::mutex> lock(mu_);
      budget = queue_.size();
    }
    bool ran = false;
    for (; budget > 0; --budget) {
      PendingCall item;
      {
        std::lock_guard<std::mutex> lock(mu_);
        if (queue_.empty()) break;
        item = std::move(queue_.front());
        queue_.pop_front();
        if (queue_.empty()) DrainWake();
      }
      ran = true;
      if (item.wait) {
        std::exception_ptr error;
        try {
          (*item.wait->call)();
        } catch (...) {
          error = std::current_exception();
        }
        // Notify while holding the lock: the worker's record must outlive the notify.
        // The error moves over whole, so that the exception's last reference is
        // dropped by the worker, after it has read it.
        std::lock_guard<std::mutex> lock(mu_);
        item.wait->error = std::move(error);
        item.wait->done = true;
        item.wait->done_cv.notify_one();
      } else if (item.queued) {
        item.queued();
      }
    }
    return ran;
  }

  // Waits up to timeoutMs for a pending call.
  bool WaitForCalls(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mu_);
    return WaitWithTimeout(cv_, lock, timeoutMs, [&] { return !queue_.empty(); });
  }

  // The main thread serves calls until done() holds; Nudge() makes it look
  // again. A queued call that throws does not end the wait (the worker may
  // still need the main thread); the first such exception is returned.
  template <class Done>
  std::exception_ptr ServeUntil(Done done) {
    std::exception_ptr first;
    for (;;) {
      uint64_t seen;
      {
        std::lock_guard<std::mutex> lock(mu_);
        seen = nudges_;
      }
      try {
        RunPending();
      } catch (...) {
        if (!first) first = std::current_exception();
        continue;
      }
      if (done()) return first;
      std::unique_lock<std::mutex> lock(mu_);
      cv_.wait(lock, [&] { return !queue_.empty() || nudges_ != seen; });
    }
  }

  void Nudge() {
    std::lock_guard<std::mutex> lock(mu_);
    ++nudges_;
    cv_.notify_all();
  }

  void SetPump(std::function<void()> pump) {
    std::lock_guard<std::mutex> lock(mu_);
    pump_ = std::move(pump);
  }

  std::function<void()> Pump() {
    std::lock_guard<std::mutex> lock(mu_);
    return pump_;
  }

 private:
  // Both under mu_, so the handle is readable exactly while calls are pending.
  void SignalWake() {
    if (wake_fd_ < 0) return;
    uint64_t one = 1;
    while (write(wake_fd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }
  void DrainWake() {
    if (wake_fd_ < 0) return;
    uint64_t count;
    while (read(wake_fd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<PendingCall> queue_;
  uint64_t nudges_ = 0;
  std::function<void()> pump_;
  int wake_fd_;
};

// Never destroyed: workers may still hand over calls while the process exits.
Dispatcher& TheDispatcher() {
  static Dispatcher* dispatcher = new Dispatcher;
  return *dispatcher;
}

String ExceptionMessage(const std::exception_ptr& error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const Exception& e) {
    return e.Message;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

int NiceValue(TThreadPriority p) {
  switch (p) {
    case tpIdle: return 19;
    case tpLowest: return 10;
    case tpLower: return 5;
    case tpNormal: return 0;
    case tpHigher: return -5;
    case tpHighest: return -10;
    case tpTimeCritical: return -20;
  }
  return 0;
}

}  // namespace

TThreadID GetCurrentThreadId() {
  static thread_local const TThreadID id = static_cast<TThreadID>(gettid());
  return id;
}

void InitMainThread() { gMainThread.store(GetCurrentThreadId()); }

TThreadID MainThreadID() {
  TThreadID id = gMainThread.load();
  return id != 0 ? id : ClaimMainThread();
}

bool IsMainThread() { return GetCurrentThreadId() == MainThreadID(); }

// --- TCriticalSection ---

struct TCriticalSection::Impl {
  std::recursive_mutex mu;
};

TCriticalSection::TCriticalSection() : impl_(std::make_unique<Impl>()) {}
TCriticalSection::~TCriticalSection() = default;
void TCriticalSection::Enter() { impl_->mu.lock(); }
void TCriticalSection::Leave() { impl_->mu.unlock(); }
bool TCriticalSection::TryEnter() { return impl_->mu.try_lock(); }

// --- TEvent ---

struct TEvent::Impl {
  std::mutex mu;
  std::condition_variable cv;
  bool manual = true;
  bool set = false;
};

TEvent::TEvent(bool manualReset, bool initialState) : impl_(std::make_unique<Impl>()) {
  impl_->manual = manualReset;
  impl_->set = initialState;
}

TEvent::~TEvent() = default;

void TEvent::SetEvent() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->set = true;
  if (impl_->manual)
    impl_->cv.notify_all();
  else
    impl_->cv.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  impl_->set = false;
}

TWaitResult TEvent::WaitFor(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(impl_->mu);
  if (!WaitWithTimeout(impl_->cv, lock, timeoutMs, [&] { return impl_->set; })) return TWaitResult::wrTimeout;
  if (!impl_->manual) impl_->set = false;  // an automatic event releases one waiter
  return TWaitResult::wrSignaled;
}

bool TEvent::IsSet() const {
  std::lock_guard<std::mutex> lock(impl_->mu);
  return impl_->set;
}

// --- TMutex ---

// Re-entrant for its owner, as mutex handles are documented to be. Built on a condition
// variable rather than a timed mutex so that timed waits stay visible to the
// thread checker.
struct TMutex::Impl {
  std::mutex mu;
  std::condition_variable cv;
  TThreadID owner = 0;
  uint32_t depth = 0;
};

TMutex::TMutex() : impl_(std::make_unique<Impl>()) {}
TMutex::~TMutex() = default;
void TMutex::Acquire() { WaitFor(INFINITE); }

void TMutex::Release() {
  std::lock_guard<std::mutex> lock(impl_->mu);
  if (impl_->depth == 0 || impl_->owner != GetCurrentThreadId()) return;  // not ours to release
  if (--impl_->depth == 0) {
    impl_->owner = 0;
    impl_->cv.notify_one();
  }
}

TWaitResult TMutex::WaitFor(uint32_t timeoutMs) {
  const TThreadID self = GetCurrentThreadId();
  std::unique_lock<std::mutex> lock(impl_->mu);
  if (!WaitWithTimeout(impl_->cv, lock, timeoutMs, [&] { return impl_->depth == 0 || impl_->owner == self; }))
    return TWaitResult::wrTimeout;
  impl_->owner = self;
  ++impl_->depth;
  return TWaitResult::wrSignaled;
}

// --- TThread ---

struct TThread::Impl {
  std::mutex mu;
  std::condition_variable cv;
  std::thread thread;
  bool started = false;
  bool startReturned = false;  // Start no longer touches the object
  bool done = false;  // Execute and DoTerminate are over
};

TThread::TThread(bool createSuspended) : impl_(std::make_unique<Impl>()) {
  if (!createSuspended) Start();
}

TThread::~TThread() { TerminateAndWait(); }

void TThread::TerminateAndWait() {
  // A self-freeing thread detached itself before getting here.
  if (!impl_->thread.joinable()) return;
  if (impl_->thread.get_id() == std::this_thread::get_id()) {
    impl_->thread.detach();  // deleted from inside its own Execute
    return;
  }
  Terminate();
  WaitUntilDone();  // a destructor has no one to hand a queued call's exception to
  impl_->thread.join();
}

void TThread::Start() {
  std::unique_lock<std::mutex> lock(impl_->mu);
  if (impl_->started) throw Exception("Cannot start a thread that was already started");
  impl_->started = true;
  // The new thread takes impl_->mu first, so it sees the stored handle.
  impl_->thread = std::thread(&TThread::ThreadProc, this);
  // ThreadID is known when Start returns.
  impl_->cv.wait(lock, [&] { return threadId_.load() != 0; });
  // A self-freeing thread that already ended waits for this before it frees the object.
  impl_->startReturned = true;
  impl_->cv.notify_all();
}

void TThread::ThreadProc(TThread* self) {
  {
    std::lock_guard<std::mutex> lock(self->impl_->mu);
    self->threadId_.store(GetCurrentThreadId());
    self->ApplyPriority();
    self->impl_->cv.notify_all();
  }
  if (!self->Terminated()) {
    try {
      self->Execute();
    } catch (...) {
      self->fatal_ = std::current_exception();
    }
  }
  const bool freeThread = self->FreeOnTerminate;
  self->finished_.store(true);
  try {
    self->DoTerminate();
  } catch (...) {
    if (!self->fatal_) self->fatal_ = std::current_exception();
  }
  if (freeThread) {
    {
      std::unique_lock<std::mutex> lock(self->impl_->mu);
      self->impl_->cv.wait(lock, [&] { return self->impl_->startReturned; });
      self->impl_->thread.detach();
    }
    delete self;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(self->impl_->mu);
    self->impl_->done = true;
    self->impl_->cv.notify_all();
  }
  // From here on the object may be gone; only the dispatcher is touched.
  TheDispatcher().Nudge();
}

std::exception_ptr TThread::WaitUntilDone() {
  auto done = [this] {
    std::lock_guard<std::mutex> lock(impl_->mu);
    return impl_->done;
  };
  // The worker may be waiting for the main thread (OnTerminate, Synchronize).
  if (IsMainThread()) return TheDispatcher().ServeUntil(done);
  std::unique_lock<std::mutex> lock(impl_->mu);
  impl_->cv.wait(lock, [&] { return impl_->done; });
  return nullptr;
}

int TThread::WaitFor() {
  if (FreeOnTerminate) throw Exception("Cannot wait for a thread that frees itself");
  {
    std::lock_guard<std::mutex> lock(impl_->mu);
    if (!impl_->started) throw Exception("Cannot wait for a thread that was never started");
  }
  if (std::exception_ptr error = WaitUntilDone()) std::rethrow_exception(error);
  return ReturnValue;
}

void TThread::ApplyPriority() {
  const TThreadID tid = threadId_.load();
  // Raising priority needs privileges; failure leaves the thread as it was.
  if (tid != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceValue(priority_));
}

void TThread::SetPriority(TThreadPriority p) {
  std::lock_guard<std::mutex> lock(impl_->mu);
  priority_ = p;
  if (!impl_->done) ApplyPriority();
}

String TThread::FatalExceptionMessage() const { return ExceptionMessage(fatal_); }

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Synchronize(const std::function<void()>& call) { CallInMainThread(call); }

void TThread::Queue(std::function<void()> call) { QueueInMainThread(std::move(call)); }

TAnonymousThread::TAnonymousThread(std::function<void()> body, bool createSuspended)
    : TThread(true), body_(std::move(body)) {
  if (!createSuspended) Start();
}

TAnonymousThread::~TAnonymousThread() { TerminateAndWait(); }

void TAnonymousThread::Execute() {
  if (body_) body_();
}

// --- The dispatcher ---

void CallInMainThread(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  TheDispatcher().Send(call);
}

void QueueInMainThread(std::function<void()> call) { TheDispatcher().Post(PendingCall{std::move(call), nullptr}); }

bool CheckSynchronize(uint32_t timeoutMs) {
  if (!IsMainThread()) return false;
  Dispatcher& dispatcher = TheDispatcher();
  if (timeoutMs != 0) dispatcher.WaitForCalls(timeoutMs);
  return dispatcher.RunPending();
}

int DispatcherWakeHandle() { return TheDispatcher().WakeHandle(); }

void SetMessagePump(std::function<void()> pump) { TheDispatcher().SetPump(std::move(pump)); }

void ProcessPendingMessages() {
  if (!IsMainThread()) return;
  TheDispatcher().RunPending();
  if (auto pump = TheDispatcher().Pump()) pump();
}
