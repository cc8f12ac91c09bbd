#include "db/support/ABSPPMMemory.h"

#include <cstdlib>

TPPMUnitHeap::TClassTables::TClassTables() {
  // 1, 2, 3, 4, 6, 8, 10, 12, 15, 18, 21, 24, then steps of 4 up to 128.
  int units = 1;
  for (int i = 0; i < ClassCount; ++i) {
    Units[i] = static_cast<uint8_t>(units);
    units += i < 3 ? 1 : i < 7 ? 2 : i < 11 ? 3 : 4;
  }
  int k = 0;
  for (int n = 1; n <= MaxUnits; ++n) {
    if (Units[k] < n) ++k;
    ClassOfUnits[n - 1] = static_cast<uint8_t>(k);
  }
}

const TPPMUnitHeap::TClassTables& TPPMUnitHeap::Tables() {
  static const TClassTables tables;
  return tables;
}

TPPMUnitHeap::TPPMUnitHeap() = default;

TPPMUnitHeap::~TPPMUnitHeap() { Stop(); }

bool TPPMUnitHeap::Start(int Megabytes) {
  if (Megabytes <= 0 || Megabytes > 256) return false;
  const uint32_t size = static_cast<uint32_t>(Megabytes) << 20;
  if (FBase != nullptr && size == FSize) return true;
  Stop();
  FBase = static_cast<uint8_t*>(std::calloc(size + UnitSize, 1));
  if (FBase == nullptr) return false;
  FSize = size;
  return true;
}

void TPPMUnitHeap::Stop() {
  std::free(FBase);
  FBase = nullptr;
  FSize = 0;
}

void TPPMUnitHeap::Initialise() {
  FFreeList.fill(0);
  FReserve = UnitSize;
  FLowMark = UnitSize + ReserveSize;
  FHighMark = UnitSize + FSize / UnitSize * UnitSize;
}

void TPPMUnitHeap::Push(TPPMRef Block, int Class) {
  std::memcpy(FBase + Block, &FFreeList[Class], 4);
  FFreeList[Class] = Block;
}

TPPMRef TPPMUnitHeap::Pop(int Class) {
  const TPPMRef block = FFreeList[Class];
  FFreeList[Class] = NextFree(block);
  return block;
}

void TPPMUnitHeap::SplitBlock(TPPMRef Block, int Class, int NewClass) {
  const auto& t = Tables();
  int diff = t.Units[Class] - t.Units[NewClass];
  TPPMRef rest = Block + t.Units[NewClass] * UnitSize;
  int c = t.ClassOfUnits[diff - 1];
  if (t.Units[c] != diff) {
    // Not a class size: the class below takes the first piece, the rest its own.
    --c;
    Push(rest, c);
    rest += t.Units[c] * UnitSize;
    diff -= t.Units[c];
    c = t.ClassOfUnits[diff - 1];
  }
  Push(rest, c);
}

TPPMRef TPPMUnitHeap::AllocUnitsRare(int Class) {
  if (FReserve != 0) {
    // Pushed in address order, so the highest block is handed out first.
    for (int i = 0; i < MaxUnits; ++i) Push(FReserve + i * MaxUnits * UnitSize, ClassCount - 1);
    FReserve = 0;
    if (FFreeList[Class] != 0) return Pop(Class);
  }
  for (int c = Class + 1; c < ClassCount; ++c) {
    if (FFreeList[c] != 0) {
      const TPPMRef block = Pop(c);
      SplitBlock(block, c, Class);
      return block;
    }
  }
  return 0;
}

TPPMRef TPPMUnitHeap::AllocUnits(int Units) {
  const int c = ClassOf(Units);
  if (FFreeList[c] != 0) return Pop(c);
  const uint32_t bytes = ClassUnits(c) * UnitSize;
  if (FHighMark - FLowMark >= bytes) {
    const TPPMRef block = FLowMark;
    FLowMark += bytes;
    return block;
  }
  return AllocUnitsRare(c);
}

TPPMRef TPPMUnitHeap::AllocContext() {
  if (FHighMark != FLowMark) return FHighMark -= UnitSize;
  return AllocUnits(1);
}

TPPMRef TPPMUnitHeap::ExpandUnits(TPPMRef Block, int Units) {
  const int c0 = ClassOf(Units);
  if (c0 == ClassOf(Units + 1)) return Block;
  const TPPMRef block = AllocUnits(Units + 1);
  if (block == 0) return 0;
  std::memcpy(FBase + block, FBase + Block, ClassUnits(c0) * UnitSize);
  Push(Block, c0);
  return block;
}

TPPMRef TPPMUnitHeap::ShrinkUnits(TPPMRef Block, int OldUnits, int NewUnits) {
  const int c0 = ClassOf(OldUnits);
  const int c1 = ClassOf(NewUnits);
  if (c0 == c1) return Block;
  if (FFreeList[c1] != 0) {
    const TPPMRef block = Pop(c1);
    std::memcpy(FBase + block, FBase + Block, ClassUnits(c1) * UnitSize);
    Push(Block, c0);
    return block;
  }
  SplitBlock(Block, c0, c1);
  return Block;
}

void TPPMUnitHeap::FreeUnits(TPPMRef Block, int Units) { Push(Block, ClassOf(Units)); }

int64_t TPPMUnitHeap::UsedMemory() const {
  int64_t freeUnits = 0;
  for (int c = 0; c < ClassCount; ++c)
    for (TPPMRef b = FFreeList[c]; b != 0; b = NextFree(b)) freeUnits += ClassUnits(c);
  int64_t used = int64_t{FSize} - (FHighMark - FLowMark) - freeUnits * UnitSize;
  if (FReserve != 0) used -= ReserveSize;
  return used / 4;
}
