#include "imaging/dxThreading.h"

#include <algorithm>
#include <thread>

#include "platform/os/System.h"

namespace {

// The library's rule: at least 32 threads may be asked for.
constexpr int kMinThreadCount = 32;
// Below this many items per part a thread costs more than it saves.
constexpr size_t kMinItemsPerPart = 4096;

std::unique_ptr<TdxMultithreadedSort> gSort;
std::unique_ptr<TdxMultithreadedListIterator> gIterator;

}  // namespace

TEvent& TdxThreadPoolHelper::Event() {
  if (!FEvent) FEvent = std::make_unique<TEvent>(true, false);
  return *FEvent;
}

TdxMultithreadOperation::TdxMultithreadOperation() : TdxMultithreadOperation(ProcessorCount()) {}

TdxMultithreadOperation::TdxMultithreadOperation(int ThreadCount)
    : FThreadCount(std::max(ThreadCount, kMinThreadCount)) {}

void TdxMultithreadOperation::RunParts(int Parts, const std::function<void(int)>& Work) {
  std::vector<std::thread> workers;
  workers.reserve(size_t(std::max(0, Parts - 1)));
  for (int i = 1; i < Parts; ++i) workers.emplace_back(Work, i);
  if (Parts > 0) Work(0);
  for (std::thread& t : workers) t.join();
  FHelper.Event().SetEvent();
}

TdxMultithreadedSort::TdxMultithreadedSort(int ThreadCount) : TdxMultithreadOperation(ThreadCount) {
  FHelper.Event();
}

void TdxMultithreadedSort::Sort(std::vector<void*>& List, const TdxListSortCompare& Compare) {
  const auto less = [&](void* a, void* b) { return Compare(a, b) < 0; };
  const int parts = int(std::clamp<size_t>(List.size() / kMinItemsPerPart, 1,
                                           size_t(std::min(ThreadCount(), ProcessorCount()))));
  std::vector<size_t> bounds(size_t(parts) + 1);
  for (int i = 0; i <= parts; ++i) bounds[size_t(i)] = List.size() * size_t(i) / size_t(parts);
  RunParts(parts, [&](int p) {
    std::stable_sort(List.begin() + ptrdiff_t(bounds[size_t(p)]), List.begin() + ptrdiff_t(bounds[size_t(p) + 1]),
                     less);
  });
  for (int p = 1; p < parts; ++p)
    std::inplace_merge(List.begin(), List.begin() + ptrdiff_t(bounds[size_t(p)]),
                       List.begin() + ptrdiff_t(bounds[size_t(p) + 1]), less);
}

void TdxMultithreadedListIterator::ForEach(const std::vector<void*>& List,
                                           const std::function<void(void* Item)>& Proc) {
  const int parts = int(std::clamp<size_t>(List.size() / kMinItemsPerPart, 1,
                                           size_t(std::min(ThreadCount(), ProcessorCount()))));
  RunParts(parts, [&](int p) {
    const size_t from = List.size() * size_t(p) / size_t(parts), to = List.size() * size_t(p + 1) / size_t(parts);
    for (size_t i = from; i < to; ++i) Proc(List[i]);
  });
}

TdxMultithreadedSort* dxMultithreadedSort() { return gSort.get(); }
TdxMultithreadedListIterator* dxMultithreadedListIterator() { return gIterator.get(); }

void dxInitializeThreading(int Processors) {
  if (Processors <= 1) return;
  gSort = std::make_unique<TdxMultithreadedSort>(4 * Processors);
  gIterator = std::make_unique<TdxMultithreadedListIterator>(Processors);
}

void dxFinalizeThreading() {
  gSort.reset();
  gIterator.reset();
}
