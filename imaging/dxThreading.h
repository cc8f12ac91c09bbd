#pragma once
// Multi-threaded operations of the image library: a sort and a list iterator
// that split their work over worker threads.

#include <functional>
#include <memory>
#include <vector>

#include "platform/os/Threads.h"

// The event workers signal; created on first need, freed with the helper.
class TdxThreadPoolHelper {
 public:
  TEvent& Event();

 private:
  std::unique_ptr<TEvent> FEvent;
};

class TdxMultithreadOperation {
 public:
  TdxMultithreadOperation();  // the processor count
  explicit TdxMultithreadOperation(int ThreadCount);
  virtual ~TdxMultithreadOperation() = default;
  int ThreadCount() const { return FThreadCount; }

 protected:
  // Runs Work(part) for parts 0 .. Parts - 1 on up to Parts threads (the caller's included).
  void RunParts(int Parts, const std::function<void(int)>& Work);
  TdxThreadPoolHelper FHelper;

 private:
  int FThreadCount;
};

using TdxListSortCompare = std::function<int(void* Item1, void* Item2)>;

class TdxMultithreadedSort : public TdxMultithreadOperation {
 public:
  explicit TdxMultithreadedSort(int ThreadCount);
  // Sorts in place: parts sorted on their own threads, then merged.
  void Sort(std::vector<void*>& List, const TdxListSortCompare& Compare);
};

class TdxCustomMultithreadedIterator : public TdxMultithreadOperation {
 public:
  using TdxMultithreadOperation::TdxMultithreadOperation;
  virtual int PrepareTask(int Task) { return Task; }
  virtual void CheckTask(int) {}
};

class TdxMultithreadedListIterator : public TdxCustomMultithreadedIterator {
 public:
  using TdxCustomMultithreadedIterator::TdxCustomMultithreadedIterator;
  // Calls Proc for every item; items are shared out over the threads.
  void ForEach(const std::vector<void*>& List, const std::function<void(void* Item)>& Proc);
};

class TdxMultithreadedClassMethodIterator : public TdxCustomMultithreadedIterator {
 public:
  using TdxCustomMultithreadedIterator::TdxCustomMultithreadedIterator;
};

// The global objects, created at start-up when the machine has more than one processor; null otherwise.
TdxMultithreadedSort* dxMultithreadedSort();
TdxMultithreadedListIterator* dxMultithreadedListIterator();
// Creates (processorCount > 1) or frees the global objects; start-up and shut-down call it.
void dxInitializeThreading(int ProcessorCount);
void dxFinalizeThreading();
