#pragma once
// A page store in a map, for the page cache and the trees built on it.

#include <cstring>
#include <map>
#include <vector>

#include "db/storage/VelqorimPage.h"

namespace doubles {

// A store in a map: what a page manager's descendants do with pages.
class TMapPageManager : public TVelqorimPageManager {
 public:
  explicit TMapPageManager(int Capacity) {
    CacheCapacity = Capacity;
    PageSize = 128;
    PageHeaderSize = 40;
  }
  void InternalAddPage(TVelqorimPage& Page) override {
    Page.PageNo = Next++;
    Page.AllocPageBuffer();
    Allocated.insert({Page.PageNo, std::vector<uint8_t>(PageSize)});
  }
  void InternalRemovePage(int32_t PageNo) override {
    Allocated.erase(PageNo);
    Removed.push_back(PageNo);
    Events.push_back(-1 - PageNo);
  }
  bool InternalReadPage(TVelqorimPage& Page) override {
    ++Reads;
    auto it = Allocated.find(Page.PageNo);
    if (it == Allocated.end()) return false;
    if (Page.PageBuffer == nullptr) Page.AllocPageBuffer();
    std::memcpy(Page.PageBuffer, it->second.data(), PageSize);
    return true;
  }
  void InternalWritePage(TVelqorimPage& Page) override {
    Writes.push_back(Page.PageNo);
    Events.push_back(Page.PageNo);
    std::memcpy(Allocated.at(Page.PageNo).data(), Page.PageBuffer, PageSize);
  }
  int32_t Next = 0;
  int Reads = 0;
  std::map<int32_t, std::vector<uint8_t>> Allocated;
  std::vector<int32_t> Writes, Removed;
  std::vector<int32_t> Events;  // writes as page numbers, removals as -1 - page number
};

}  // namespace doubles
