#include "db/support/DAZMemory.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "db/support/DAZExcept.h"

namespace {

constexpr uint32_t kHeadSignature = 0xACCACCAC;
constexpr uint32_t kTailSignature = 0xACCEACCE;
constexpr int64_t kHeaderSize = 16;
constexpr int64_t kTailSize = 4;
constexpr int64_t kMaxBlockSize = 2147483647;  // the most a block's signed 32-bit size field holds
constexpr uint8_t kMethodHeap = 0;

struct BlockHeader {
  int64_t Size;
  uint8_t Method;
  uint8_t Reserved[3];
  uint32_t HeadSignature;  // directly before the user bytes
};
static_assert(sizeof(BlockHeader) == kHeaderSize);

BlockHeader* HeaderOf(const void* user) {
  return reinterpret_cast<BlockHeader*>(static_cast<uint8_t*>(const_cast<void*>(user)) - kHeaderSize);
}

uint32_t ReadTail(const void* user, int64_t size) {
  uint32_t tail;
  std::memcpy(&tail, static_cast<const uint8_t*>(user) + size, sizeof tail);
  return tail;
}

}  // namespace

TABSMemoryManager& MemoryManager() {
  static TABSMemoryManager* instance = new TABSMemoryManager();
  return *instance;
}

int64_t TABSMemoryManager::MaxMemorySize() const {
  std::lock_guard<std::mutex> guard(MMLock);
  return FMaxMemorySize;
}

void TABSMemoryManager::SetMaxMemorySize(int64_t Value) {
  std::lock_guard<std::mutex> guard(MMLock);
  FMaxMemorySize = Value < 0 ? 0 : Value;
}

int64_t TABSMemoryManager::TotalMemAllocated() const {
  std::lock_guard<std::mutex> guard(MMLock);
  return FTotalMemAllocated;
}

bool TABSMemoryManager::IsLiveBlock(const void* Buffer) const {
  std::lock_guard<std::mutex> guard(MMLock);
  return FLiveBlocks.count(Buffer) != 0;
}

void* TABSMemoryManager::GetMem(int64_t BufferSize) {
  if (BufferSize == 0) throw EABSException(30286, "Cannot allocate 0 bytes");
  if (BufferSize < 0 || BufferSize > kMaxBlockSize)
    throw EABSException(30015, "GetMem error: %s", {"invalid block size " + std::to_string(BufferSize)});
  {
    // The limit test and the reservation are one step, so two threads cannot
    // both pass a limit that only one of them fits under.
    std::lock_guard<std::mutex> guard(MMLock);
    if (FMaxMemorySize != 0 && FTotalMemAllocated + BufferSize > FMaxMemorySize)
      throw EABSException(30004, "Memory limit exceeded (Limit = %d bytes)", {FMaxMemorySize});
    FTotalMemAllocated += BufferSize;
  }
  auto* base = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(BufferSize + kHeaderSize + kTailSize)));
  if (base == nullptr) {
    std::lock_guard<std::mutex> guard(MMLock);
    FTotalMemAllocated -= BufferSize;
    throw EABSException(30015, "GetMem error: %s", {"Out of memory"});
  }
  BlockHeader header{};
  header.Size = BufferSize;
  header.Method = kMethodHeap;
  header.HeadSignature = kHeadSignature;
  std::memcpy(base, &header, sizeof header);
  uint8_t* user = base + kHeaderSize;
  std::memcpy(user + BufferSize, &kTailSignature, sizeof kTailSignature);
  try {
    std::lock_guard<std::mutex> guard(MMLock);
    FLiveBlocks.insert(user);
  } catch (const std::exception& e) {
    std::free(base);
    std::lock_guard<std::mutex> guard(MMLock);
    FTotalMemAllocated -= BufferSize;
    throw EABSException(30015, "GetMem error: %s", {e.what()});
  }
  return user;
}

void* TABSMemoryManager::AllocMem(int64_t BufferSize) {
  void* p = GetMem(BufferSize);
  std::memset(p, 0, static_cast<size_t>(BufferSize));
  return p;
}

void TABSMemoryManager::FreeAndNillMem(void*& Buffer) {
  if (Buffer == nullptr) return;
  BlockHeader* header = HeaderOf(Buffer);
  int64_t size = 0;
  {
    std::lock_guard<std::mutex> guard(MMLock);
    // A pointer that is not one of ours is refused without touching the memory around it.
    if (FLiveBlocks.count(Buffer) == 0 || header->HeadSignature != kHeadSignature)
      throw EABSException(30001, "Invalid pointer");
    size = header->Size;
    FLiveBlocks.erase(Buffer);
    FTotalMemAllocated -= size;
  }
  const bool overrun = ReadTail(Buffer, size) != kTailSignature;
  std::free(header);
  Buffer = nullptr;
  if (overrun) throw EABSException(30137, "Memory overrun detected");
}

void TABSMemoryManager::ReallocMem(void*& Buffer, int64_t BufferSize, bool ClearTail) {
  void* fresh = nullptr;
  try {
    int64_t oldSize = 0;
    if (Buffer != nullptr) {
      if (!IsLiveBlock(Buffer) || HeaderOf(Buffer)->HeadSignature != kHeadSignature)
        throw EABSException(30002, "Invalid pointer");
      oldSize = HeaderOf(Buffer)->Size;
    }
    fresh = GetMem(BufferSize);
    const int64_t kept = oldSize < BufferSize ? oldSize : BufferSize;
    if (kept > 0) std::memcpy(fresh, Buffer, static_cast<size_t>(kept));
    if (ClearTail && oldSize < BufferSize)
      std::memset(static_cast<uint8_t*>(fresh) + oldSize, 0, static_cast<size_t>(BufferSize - oldSize));
    FreeAndNillMem(Buffer);
    Buffer = fresh;
  } catch (const std::exception& e) {
    if (fresh != nullptr) {
      try {
        FreeAndNillMem(fresh);
      } catch (...) {
      }
    }
    throw EABSException(30014, "ReallocMem error: %s", {String(e.what())});
  }
}

int64_t TABSMemoryManager::GetMemoryBufferSize(const void* Buffer) const {
  if (Buffer == nullptr) return 0;
  if (!IsLiveBlock(Buffer) || HeaderOf(Buffer)->HeadSignature != kHeadSignature)
    throw EABSException(30005, "Invalid pointer");
  return HeaderOf(Buffer)->Size;
}

namespace {

// Memory the system can hand out without swapping: MemAvailable counts the
// reclaimable file cache too, which the bare free-page count leaves out.
int64_t ReadAvailablePhysicalMemory() {
  if (FILE* f = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    long long kb = -1;
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "MemAvailable: %lld kB", &kb) == 1) break;
    std::fclose(f);
    if (kb >= 0) return int64_t{kb} * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  return (pages > 0 && pageSize > 0) ? int64_t{pages} * pageSize : 0;
}

// Every table open sizes its caches from this, so one statement may ask
// many times: the kernel's figure is read again only after a short while.
int64_t AvailablePhysicalMemory() {
  using Clock = std::chrono::steady_clock;
  static std::mutex lock;
  static Clock::time_point readAt;
  static int64_t available = -1;
  const std::lock_guard<std::mutex> guard(lock);
  const Clock::time_point now = Clock::now();
  if (available < 0 || now - readAt > std::chrono::milliseconds(250)) {
    available = ReadAvailablePhysicalMemory();
    readAt = now;
  }
  return available;
}

}  // namespace

int64_t TABSMemoryManager::GetFreeMemorySize() {
  const int64_t available = AvailablePhysicalMemory();
  FFreeSystemMemorySize = available;
  const int64_t limit = MaxMemorySize();
  if (limit == 0) return available;
  return available < limit ? available : limit;
}

void SafeMove(const void* Source, void* Dest, int Count) {
  if (Count > 0) std::memmove(Dest, Source, static_cast<size_t>(Count));
}
