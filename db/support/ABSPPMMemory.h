#pragma once
// The PPM compressor's model memory: one fixed heap per call, cut into
// 12-byte units. Small model records are taken from the top, state arrays from
// the bottom, freed blocks go to one of 38 free lists by size class, and a
// reserve at the heap's start is released once when the two marks meet.
//
// Blocks are named by 32-bit references (byte offsets from the allocation's
// start) so that the model's records keep the same 12- and 6-byte layout on
// every platform. The allocation begins with one spare unit of zeros: a
// reference of 0 means none, and reading it yields an all-zero record.
//
// The model restarts when an allocation fails, so the points of exhaustion
// must be the same wherever a stream is compressed and decompressed: every
// rule below is part of the compressed format.

#include <array>
#include <cstdint>
#include <cstring>

using TPPMRef = uint32_t;

class TPPMUnitHeap {
 public:
  static constexpr uint32_t UnitSize = 12;
  static constexpr int ClassCount = 38;
  static constexpr int MaxUnits = 128;
  static constexpr uint32_t ReserveSize = 196608;  // 128 blocks of 128 units

  TPPMUnitHeap();
  ~TPPMUnitHeap();
  TPPMUnitHeap(const TPPMUnitHeap&) = delete;
  TPPMUnitHeap& operator=(const TPPMUnitHeap&) = delete;

  // Takes a zero-filled heap of Megabytes MB (kept when the size is unchanged).
  // False when the memory cannot be had.
  bool Start(int Megabytes);
  void Stop();
  // Empties the free lists and sets the marks and the reserve; the bytes stay.
  void Initialise();

  // Each answers 0 when the heap is exhausted.
  TPPMRef AllocUnits(int Units);  // 1 .. 128
  TPPMRef AllocContext();         // one unit, preferably from the top
  // Block of Units units grown by one unit; the old block is freed when it moves.
  TPPMRef ExpandUnits(TPPMRef Block, int Units);
  // Never fails: the old block is split in place when no better one is free.
  TPPMRef ShrinkUnits(TPPMRef Block, int OldUnits, int NewUnits);
  void FreeUnits(TPPMRef Block, int Units);
  // Bytes in use, divided by 4 (diagnostics).
  int64_t UsedMemory() const;

  uint8_t* Base() const { return FBase; }
  uint32_t Size() const { return FSize; }
  bool Started() const { return FBase != nullptr; }

  // Offsets from the heap's start, for diagnostics and tests.
  uint32_t LowMarkOffset() const { return FLowMark - UnitSize; }
  uint32_t HighMarkOffset() const { return FHighMark - UnitSize; }
  bool ReserveHeld() const { return FReserve != 0; }
  static int ClassUnits(int Class) { return Tables().Units[Class]; }
  static int ClassOf(int Units) { return Tables().ClassOfUnits[Units - 1]; }

 private:
  struct TClassTables {
    std::array<uint8_t, ClassCount> Units{};
    std::array<uint8_t, MaxUnits> ClassOfUnits{};
    TClassTables();
  };
  static const TClassTables& Tables();

  TPPMRef NextFree(TPPMRef Block) const {
    uint32_t next;
    std::memcpy(&next, FBase + Block, 4);
    return next;
  }
  void Push(TPPMRef Block, int Class);
  TPPMRef Pop(int Class);
  // Hands the part of a Class block beyond its first NewClass-size part to the free lists.
  void SplitBlock(TPPMRef Block, int Class, int NewClass);
  TPPMRef AllocUnitsRare(int Class);

  uint8_t* FBase = nullptr;
  uint32_t FSize = 0;  // heap bytes, without the spare unit
  std::array<TPPMRef, ClassCount> FFreeList{};
  TPPMRef FLowMark = 0;
  TPPMRef FHighMark = 0;
  TPPMRef FReserve = 0;
};
