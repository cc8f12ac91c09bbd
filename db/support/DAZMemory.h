#pragma once
// The database engine's memory manager: every engine buffer is a guarded block
// taken here, so that foreign pointers and writes past a block's end are caught
// when it is freed, and the engine's total can be held under a limit.
//
// Block layout (in memory only, never stored): a 16-byte header (user size as
// 64-bit, allocation method byte, padding, head signature 0xACCACCAC in the
// last 4 bytes), the user bytes (16-byte aligned), then the tail signature
// 0xACCEACCE. The header is wider than strictly needed so user bytes keep the
// heap's alignment.

#include <cstddef>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <unordered_set>

class TABSMemoryManager;
// The engine's one memory manager, created on first use without a limit and
// never destroyed (blocks may be released by other modules' shutdown code).
TABSMemoryManager& MemoryManager();

class TABSMemoryManager {
 public:
  TABSMemoryManager() = default;
  explicit TABSMemoryManager(int64_t MaxMemorySize) : FMaxMemorySize(MaxMemorySize) {}
  TABSMemoryManager(const TABSMemoryManager&) = delete;
  TABSMemoryManager& operator=(const TABSMemoryManager&) = delete;

  // A new block of BufferSize bytes (1 .. 2147483647), contents undefined.
  // 30286 for 0; 30004 when the limit would be passed; 30015 for a negative or
  // oversized request and when the heap refuses. A failure changes no total.
  void* GetMem(int64_t BufferSize);
  // GetMem, zero-filled.
  void* AllocMem(int64_t BufferSize);
  // Moves the block to a new one of BufferSize bytes keeping min(old, new)
  // bytes; with ClearTail the grown part is zeroed. Any failure raises 30014
  // holding the cause; Buffer then still holds the old block unless the old
  // block's end was found damaged (then it is released and Buffer is null).
  // A null Buffer gets a new block.
  void ReallocMem(void*& Buffer, int64_t BufferSize, bool ClearTail = false);
  void ReallocMemAndClearTail(void*& Buffer, int64_t BufferSize) { ReallocMem(Buffer, BufferSize, true); }
  // Releases the block and nulls Buffer (nothing for null). 30001 for a
  // pointer that is not a live block of this manager (nothing released);
  // 30137 after the release when the tail signature was damaged.
  void FreeAndNillMem(void*& Buffer);
  void FreeMem(void* Buffer) { FreeAndNillMem(Buffer); }
  // The requested size of a live block; 0 for null; 30005 for anything else.
  int64_t GetMemoryBufferSize(const void* Buffer) const;
  // Free physical memory, capped by the limit when one is set.
  int64_t GetFreeMemorySize();

  template <class T>
  void ReallocMem(T*& Buffer, int64_t BufferSize, bool ClearTail = false) {
    void* p = Buffer;
    try {
      ReallocMem(p, BufferSize, ClearTail);
    } catch (...) {
      Buffer = static_cast<T*>(p);
      throw;
    }
    Buffer = static_cast<T*>(p);
  }
  template <class T>
  void ReallocMemAndClearTail(T*& Buffer, int64_t BufferSize) {
    ReallocMem(Buffer, BufferSize, true);
  }
  template <class T>
  void FreeAndNillMem(T*& Buffer) {
    void* p = const_cast<void*>(static_cast<const void*>(Buffer));
    try {
      FreeAndNillMem(p);
    } catch (...) {
      Buffer = static_cast<T*>(p);
      throw;
    }
    Buffer = nullptr;
  }

  int64_t MaxMemorySize() const;
  // Sets the limit on the total of live blocks (0: none); blocks already
  // alive stay, new ones are refused while the total is above it.
  void SetMaxMemorySize(int64_t Value);
  int64_t TotalMemAllocated() const;
  int64_t FreeSystemMemorySize() const { return FFreeSystemMemorySize.load(); }

 private:
  bool IsLiveBlock(const void* Buffer) const;

  int64_t FMaxMemorySize = 0;  // 0: no limit
  int64_t FTotalMemAllocated = 0;
  std::atomic<int64_t> FFreeSystemMemorySize{0};  // last reading; any thread may refresh it
  mutable std::mutex MMLock;  // guards the total and the set of live blocks
  std::unordered_set<const void*> FLiveBlocks;
};


// Owns one block of the engine memory manager until released; freeing on
// scope exit swallows an overrun report (a destructor must not raise).
class TABSMemBlock {
 public:
  explicit TABSMemBlock(void* Block = nullptr) : FBlock(Block) {}
  ~TABSMemBlock() { Reset(); }
  TABSMemBlock(const TABSMemBlock&) = delete;
  TABSMemBlock& operator=(const TABSMemBlock&) = delete;
  void* Get() const { return FBlock; }
  uint8_t* Bytes() const { return static_cast<uint8_t*>(FBlock); }
  void* Release() {
    void* p = FBlock;
    FBlock = nullptr;
    return p;
  }
  void Reset(void* Block = nullptr) {
    if (FBlock != nullptr) {
      try {
        MemoryManager().FreeAndNillMem(FBlock);
      } catch (...) {
      }
    }
    FBlock = Block;
  }

 private:
  void* FBlock;
};

// Overlap-safe byte copy.
void SafeMove(const void* Source, void* Dest, int Count);
