#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/os/Threads.h"

namespace {

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitMainThread();
    while (CheckSynchronize(0)) {
    }
  }
};

// Serves the dispatcher until done holds.
template <class Done>
void ServeUntil(Done done) {
  while (!done()) CheckSynchronize(10);
}

bool WakeHandleReadable() {
  pollfd p{DispatcherWakeHandle(), POLLIN, 0};
  return poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

TEST_F(DispatcherTest, CallRunsOnMainThreadAndReturnsItsResult) {
  const TThreadID mainId = GetCurrentThreadId();
  EXPECT_EQ(MainThreadID(), mainId);
  std::atomic<bool> done{false};
  TThreadID ranOn = 0;
  TThreadID workerId = 0;
  int result = 0;
  std::thread worker([&] {
    workerId = GetCurrentThreadId();
    CallInMainThread([&] {
      ranOn = GetCurrentThreadId();
      result = 42;
    });
    EXPECT_EQ(result, 42);
    done = true;
  });
  ServeUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(ranOn, mainId);
  EXPECT_NE(workerId, mainId);
}

TEST_F(DispatcherTest, ExceptionComesBackToTheWorker) {
  std::atomic<bool> done{false};
  String caught;
  std::thread worker([&] {
    try {
      CallInMainThread([] { throw Exception("main thread failed"); });
    } catch (const Exception& e) {
      caught = e.Message;
    }
    done = true;
  });
  ServeUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(caught, "main thread failed");
}

TEST_F(DispatcherTest, OnMainThreadCallRunsAtOnce) {
  int calls = 0;
  CallInMainThread([&] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(CheckSynchronize(0));
}

TEST_F(DispatcherTest, MainThreadServesTenWorkersWithoutDeadlock) {
  constexpr int kWorkers = 10;
  constexpr int kCalls = 200;
  int total = 0;  // touched only on the main thread
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&] {
      for (int i = 0; i < kCalls; ++i) CallInMainThread([&] { ++total; });
      ++finished;
    });
  }
  ServeUntil([&] { return finished.load() == kWorkers; });
  for (auto& t : workers) t.join();
  EXPECT_EQ(total, kWorkers * kCalls);
}

TEST_F(DispatcherTest, QueuedCallsWaitForTheMainThreadInOrderAndRaiseTheWakeHandle) {
  std::vector<int> order;
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) QueueInMainThread([&order, i] { order.push_back(i); });
  });
  worker.join();
  EXPECT_TRUE(order.empty());
  EXPECT_TRUE(WakeHandleReadable());
  EXPECT_TRUE(CheckSynchronize(0));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(WakeHandleReadable());
}

TEST_F(DispatcherTest, ProcessPendingMessagesServesCallsAndThePump) {
  int pumped = 0;
  int served = 0;
  SetMessagePump([&] { ++pumped; });
  std::thread([&] { QueueInMainThread([&] { ++served; }); }).join();
  ProcessPendingMessages();
  SetMessagePump(nullptr);
  ProcessPendingMessages();
  EXPECT_EQ(served, 1);
  EXPECT_EQ(pumped, 1);
}

TEST(EventTest, ManualResetReleasesEveryWaitUntilReset) {
  TEvent event(true, false);
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
  event.SetEvent();
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
  event.ResetEvent();
  EXPECT_FALSE(event.IsSet());
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(EventTest, AutoResetReleasesOneWait) {
  TEvent event(false, true);
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_FALSE(event.IsSet());
  EXPECT_EQ(event.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(EventTest, TimedWaitTimesOutAndWakesOnSet) {
  TEvent event(false, false);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event.WaitFor(30), TWaitResult::wrTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));

  std::atomic<int> released{0};
  std::thread a([&] { released += event.WaitFor(INFINITE) == TWaitResult::wrSignaled; });
  std::thread b([&] { released += event.WaitFor(INFINITE) == TWaitResult::wrSignaled; });
  event.SetEvent();
  event.SetEvent();
  // An automatic event lets one waiter through per SetEvent; a set that no one
  // consumed yet does not count twice, so keep setting until both passed.
  while (released.load() < 2) {
    event.SetEvent();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  a.join();
  b.join();
  EXPECT_EQ(released.load(), 2);
}

TEST(CriticalSectionTest, ReentrantForItsOwnerOnly) {
  TCriticalSection cs;
  cs.Enter();
  {
    TLock again(cs);
    bool otherGot = true;
    std::thread([&] { otherGot = cs.TryEnter(); }).join();
    EXPECT_FALSE(otherGot);
  }
  cs.Leave();
  bool otherGot = false;
  std::thread([&] {
    otherGot = cs.TryEnter();
    if (otherGot) cs.Leave();
  }).join();
  EXPECT_TRUE(otherGot);
}

TEST(MutexTest, TimedWaitFromAnotherThread) {
  TMutex mutex;
  EXPECT_EQ(mutex.WaitFor(0), TWaitResult::wrSignaled);
  mutex.Acquire();  // re-entrant for its owner
  TWaitResult other = TWaitResult::wrError;
  std::thread([&] { other = mutex.WaitFor(20); }).join();
  EXPECT_EQ(other, TWaitResult::wrTimeout);
  mutex.Release();
  mutex.Release();
  std::thread([&] {
    other = mutex.WaitFor(INFINITE);
    mutex.Release();
  }).join();
  EXPECT_EQ(other, TWaitResult::wrSignaled);
}

class ThreadTest : public DispatcherTest {};

TEST_F(ThreadTest, WaitForServesSynchronizeAndOnTerminateOnTheMainThread) {
  const TThreadID mainId = GetCurrentThreadId();
  TThreadID executedOn = 0;
  TThreadID syncOn = 0;
  TThreadID terminateOn = 0;
  TAnonymousThread thread(
      [&] {
        executedOn = GetCurrentThreadId();
        TThread::Synchronize([&] { syncOn = GetCurrentThreadId(); });
      },
      true);
  thread.ReturnValue = 7;
  thread.OnTerminate = [&](TThread* sender) {
    EXPECT_EQ(sender, &thread);
    EXPECT_TRUE(sender->Finished());
    terminateOn = GetCurrentThreadId();
  };
  thread.Start();
  EXPECT_NE(thread.ThreadID(), 0u);
  EXPECT_EQ(thread.WaitFor(), 7);
  EXPECT_EQ(executedOn, thread.ThreadID());
  EXPECT_NE(executedOn, mainId);
  EXPECT_EQ(syncOn, mainId);
  EXPECT_EQ(terminateOn, mainId);
  EXPECT_FALSE(thread.FatalException());
}

TEST_F(ThreadTest, QueuedCallThatThrowsDoesNotEndWaitFor) {
  bool synchronized = false;
  TAnonymousThread thread([&] {
    TThread::Queue([] { throw Exception("queued call failed"); });
    TThread::Synchronize([&] { synchronized = true; });
  });
  try {
    thread.WaitFor();
    ADD_FAILURE() << "the queued call's exception was lost";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "queued call failed");
  }
  EXPECT_TRUE(thread.Finished());
  EXPECT_TRUE(synchronized);
}

TEST_F(ThreadTest, FatalExceptionIsCaptured) {
  TAnonymousThread thread([] { throw Exception("decoder failed"); });
  thread.WaitFor();
  ASSERT_TRUE(thread.FatalException());
  EXPECT_EQ(thread.FatalExceptionMessage(), "decoder failed");
}

TEST_F(ThreadTest, FreeOnTerminateDeletesItselfAfterOnTerminate) {
  static std::atomic<bool> destroyed;
  destroyed = false;
  struct Worker : TThread {
    Worker() : TThread(true) {}
    ~Worker() override { destroyed = true; }
    void Execute() override {}
  };
  bool terminated = false;
  auto* worker = new Worker;
  worker->FreeOnTerminate = true;
  worker->OnTerminate = [&](TThread*) {
    EXPECT_TRUE(IsMainThread());
    EXPECT_FALSE(destroyed.load());
    terminated = true;
  };
  EXPECT_THROW(worker->WaitFor(), Exception);
  worker->Start();
  ServeUntil([&] { return destroyed.load(); });
  EXPECT_TRUE(terminated);
}

// A self-freeing thread that ends at once must not free itself while Start
// is still returning (caught by the thread checker, not by an assertion).
TEST_F(ThreadTest, SelfFreeingThreadThatEndsAtOnceOutlivesStart) {
  static std::atomic<int> destroyed;
  destroyed = 0;
  struct Worker : TThread {
    Worker() : TThread(true) {}
    ~Worker() override { ++destroyed; }
    void Execute() override {}
  };
  constexpr int kThreads = 100;
  for (int i = 0; i < kThreads; ++i) {
    auto* worker = new Worker;
    worker->FreeOnTerminate = true;
    worker->Start();
  }
  ServeUntil([&] { return destroyed.load() == kThreads; });
}

TEST_F(ThreadTest, DestroyingARunningThreadTerminatesAndWaits) {
  delete new TAnonymousThread([] {}, true);  // never started: nothing to wait for

  std::atomic<bool> running{false};
  std::atomic<bool> sawTerminate{false};
  TThread* self = nullptr;
  auto* thread = new TAnonymousThread(
      [&] {
        running = true;
        while (!self->Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawTerminate = true;
      },
      true);
  self = thread;
  thread->Start();
  while (!running.load()) std::this_thread::yield();
  delete thread;
  EXPECT_TRUE(sawTerminate.load());
}

}  // namespace
