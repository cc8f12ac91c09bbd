#pragma once
// Values owned by the engine and named in record slots by a handle (index + 1
// in the low IndexBits, a generation above it), never by an address: a slot
// is too narrow for a pointer, and a stale or foreign handle is refused
// instead of followed. Handle 0 names nothing.

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

template <class T, int IndexBits, int GenerationBits>
class TVelqorimHandleTable {
  static_assert(IndexBits + GenerationBits <= 64);

 public:
  // A handle for a new value; the table owns it. Raises std::length_error
  // when every index is in use.
  uint64_t Add(T&& Value) {
    uint32_t index;
    if (!FFree.empty()) {
      index = FFree.back();
      FFree.pop_back();
    } else {
      if (FEntries.size() + 1 >= (uint64_t{1} << IndexBits)) throw std::length_error("handle table full");
      index = static_cast<uint32_t>(FEntries.size());
      FEntries.emplace_back();
    }
    Entry& e = FEntries[index];
    e.Used = true;
    e.Value = std::move(Value);
    ++FLive;
    return (e.Generation << IndexBits) | (index + 1);
  }
  // The value of a live handle; nullptr for 0 or a stale handle.
  T* Find(uint64_t Handle) {
    const uint64_t index = Handle & IndexMask;
    if (index == 0 || index > FEntries.size()) return nullptr;
    Entry& e = FEntries[index - 1];
    return e.Used && e.Generation == (Handle >> IndexBits) ? &e.Value : nullptr;
  }
  void Release(uint64_t Handle) {
    if (Find(Handle) == nullptr) return;
    const auto index = static_cast<uint32_t>((Handle & IndexMask) - 1);
    Entry& e = FEntries[index];
    e.Used = false;
    e.Value = T{};
    // Generations wrap within their bits and skip 0, so no handle is ever 0.
    e.Generation = e.Generation + 1 > GenerationMask ? 1 : e.Generation + 1;
    FFree.push_back(index);
    --FLive;
  }
  // Every live value, in no particular order.
  template <class Visit>
  void ForEach(Visit&& Fn) {
    for (Entry& e : FEntries)
      if (e.Used) Fn(e.Value);
  }
  void Clear() {
    FEntries.clear();
    FFree.clear();
    FLive = 0;
  }
  int LiveCount() const { return FLive; }

 private:
  static constexpr uint64_t IndexMask = (uint64_t{1} << IndexBits) - 1;
  static constexpr uint64_t GenerationMask =
      GenerationBits >= 64 ? ~uint64_t{0} : (uint64_t{1} << GenerationBits) - 1;
  struct Entry {
    uint64_t Generation = 1;
    bool Used = false;
    T Value;
  };
  std::vector<Entry> FEntries;
  std::vector<uint32_t> FFree;
  int FLive = 0;
};
