#pragma once
// Threads, synchronisation and the main-thread dispatcher.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

#include "platform/rtl/SysUtils.h"

using TThreadID = uint64_t;  // the kernel thread id (gettid)

TThreadID GetCurrentThreadId();
// The thread that called InitMainThread (or, failing that, the first one that
// used the dispatcher). Tests and main() call InitMainThread first.
void InitMainThread();
TThreadID MainThreadID();
bool IsMainThread();

// Re-entrant lock: its owner may enter it again.
class TCriticalSection {
 public:
  TCriticalSection();
  ~TCriticalSection();
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  void Enter();
  void Leave();
  bool TryEnter();
  void Acquire() { Enter(); }
  void Release() { Leave(); }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Scoped Enter/Leave.
class TLock {
 public:
  explicit TLock(TCriticalSection& cs) : cs_(cs) { cs_.Enter(); }
  ~TLock() { cs_.Leave(); }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;

 private:
  TCriticalSection& cs_;
};

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };
constexpr uint32_t INFINITE = 0xFFFFFFFF;

// Manual- or automatic-reset event.
class TEvent {
 public:
  explicit TEvent(bool manualReset = true, bool initialState = false);
  ~TEvent();
  TEvent(const TEvent&) = delete;
  TEvent& operator=(const TEvent&) = delete;
  void SetEvent();
  void ResetEvent();
  TWaitResult WaitFor(uint32_t timeoutMs = INFINITE);
  bool IsSet() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A named or anonymous mutex (within the process).
class TMutex {
 public:
  TMutex();
  ~TMutex();
  void Acquire();
  void Release();
  TWaitResult WaitFor(uint32_t timeoutMs = INFINITE);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A worker thread. Subclasses override Execute. Created running unless
// createSuspended; Start() runs a suspended one. With FreeOnTerminate the
// object deletes itself after Execute and OnTerminate.
// A subclass whose Execute uses its own members should pass createSuspended =
// true and call Start() at the end of its constructor: a thread started by the
// base constructor may reach Execute before the subclass is fully built.
// Set FreeOnTerminate before Start; never touch a self-freeing thread after.
// Destroying a running thread (not self-freeing) terminates it and waits
// (see TerminateAndWait for subclasses).
class TThread {
 public:
  explicit TThread(bool createSuspended = true);
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  void Start();
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  // Waits until Execute returned; returns ReturnValue. Keeps serving the
  // dispatcher when called on the main thread; an exception from a queued call
  // served meanwhile is raised once the thread has ended.
  int WaitFor();
  bool Finished() const { return finished_.load(); }
  TThreadID ThreadID() const { return threadId_.load(); }

  bool FreeOnTerminate = false;
  int ReturnValue = 0;
  // Runs on the main thread after Execute (through the dispatcher).
  std::function<void(TThread*)> OnTerminate;

  void SetPriority(TThreadPriority p);  // best effort
  TThreadPriority GetPriority() const { return priority_; }
  // The exception that ended Execute, if any.
  std::exception_ptr FatalException() const { return fatal_; }
  String FatalExceptionMessage() const;

  // Runs call on the main thread and waits for it (see CallInMainThread).
  static void Synchronize(const std::function<void()>& call);
  // Runs call on the main thread later; returns at once.
  static void Queue(std::function<void()> call);

 protected:
  virtual void Execute() = 0;
  virtual void DoTerminate();
  // What the destructor does for a running thread: Terminate, wait (serving the
  // dispatcher on the main thread), join. A subclass whose Execute uses its own
  // members calls it first in its destructor, before those members go.
  void TerminateAndWait();

 private:
  static void ThreadProc(TThread* self);
  void ApplyPriority();
  std::exception_ptr WaitUntilDone();

  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<TThreadID> threadId_{0};
  TThreadPriority priority_ = tpNormal;
  std::exception_ptr fatal_;
};

// A TThread running a function; handy for short-lived helpers and tests.
class TAnonymousThread : public TThread {
 public:
  explicit TAnonymousThread(std::function<void()> body, bool createSuspended = false);
  ~TAnonymousThread() override;

 protected:
  void Execute() override;

 private:
  std::function<void()> body_;
};

// Main-thread dispatcher.
// Runs call on the main thread and blocks until it ran; an exception raised
// there is re-raised here. On the main thread the call runs at once.
void CallInMainThread(const std::function<void()>& call);
// Queues call for the main thread without waiting; on the main thread too, where
// it runs at the next CheckSynchronize rather than at once.
void QueueInMainThread(std::function<void()> call);
// On the main thread: runs pending calls, waiting up to timeoutMs for the first
// one. Returns true when at least one call ran. An exception raised by a queued
// call propagates from here; the calls behind it stay queued. Elsewhere: false.
bool CheckSynchronize(uint32_t timeoutMs = 0);
// An eventfd that becomes readable whenever calls are pending, so that a
// message loop can sleep in poll() and still serve them.
int DispatcherWakeHandle();
// Hook for the window layer: runs the main thread's pending window messages.
// Until a window layer installs one, ProcessPendingMessages only serves calls.
void SetMessagePump(std::function<void()> pump);
// Serves pending calls and, when installed, the window message pump.
void ProcessPendingMessages();
