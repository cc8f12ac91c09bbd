#include "db/support/DAZArrays.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "db/support/DAZExcept.h"
#include "db/support/DAZMemory.h"
#include "db/support/DAZStreams.h"

bool GetBitInBuffer(int BitNo, const void* Buffer) {
  return (static_cast<const uint8_t*>(Buffer)[BitNo / 8] >> (BitNo % 8)) & 1;
}

void SetBitInBuffer(bool Value, int BitNo, void* Buffer) {
  uint8_t& b = static_cast<uint8_t*>(Buffer)[BitNo / 8];
  const uint8_t mask = static_cast<uint8_t>(1u << (BitNo % 8));
  b = Value ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
}

// ---------------------------------------------------------------------------

TABSIntegerArray::TABSIntegerArray(int Size, int DefaultAllocBy, int MaximumAllocBy)
    : AllocBy(DefaultAllocBy), deAllocBy(DefaultAllocBy), MaxAllocBy(MaximumAllocBy) {
  SetSize(Size);
}

void TABSIntegerArray::SetSize(int NewSize) {
  if (NewSize == 0) {
    ItemCount = 0;
    Items.clear();
    Items.shrink_to_fit();
    return;
  }
  const int capacity = AllocItemCount();
  if (NewSize > capacity) {
    AllocBy = std::min(AllocBy * 2, MaxAllocBy);
    Items.resize(capacity + AllocBy > NewSize ? capacity + AllocBy : NewSize);
  } else if (NewSize < ItemCount && capacity - NewSize > deAllocBy) {
    deAllocBy = std::min(deAllocBy * 2, MaxAllocBy);
    Items.resize(NewSize);
    Items.shrink_to_fit();
  }
  ItemCount = NewSize;
}

void TABSIntegerArray::Assign(const TABSIntegerArray& Source) {
  SetSize(Source.ItemCount);
  std::copy_n(Source.Items.begin(), Source.ItemCount, Items.begin());
}

void TABSIntegerArray::Append(int32_t Value) {
  SetSize(ItemCount + 1);
  Items[ItemCount - 1] = Value;
}

void TABSIntegerArray::Insert(int ItemNo, int32_t Value) {
  SetSize(ItemCount + 1);
  if (ItemCount == 1) {
    Items[0] = Value;
  } else if (ItemNo >= ItemCount - 1) {
    Items[ItemCount - 1] = Value;
  } else {
    std::move_backward(Items.begin() + ItemNo, Items.begin() + ItemCount - 1, Items.begin() + ItemCount);
    Items[ItemNo] = Value;
  }
}

void TABSIntegerArray::Delete(int ItemNo) {
  if (ItemNo < ItemCount - 1) std::move(Items.begin() + ItemNo + 1, Items.begin() + ItemCount, Items.begin() + ItemNo);
  // The count drops first, so the capacity stays until the array is empty.
  --ItemCount;
  SetSize(ItemCount);
}

void TABSIntegerArray::MoveTo(int ItemNo, int NewItemNo) {
  if (ItemNo == NewItemNo) return;
  if (ItemNo - NewItemNo == 1 || NewItemNo - ItemNo == 1) {
    std::swap(Items[ItemNo], Items[NewItemNo]);
  } else if (NewItemNo < ItemNo) {
    std::rotate(Items.begin() + NewItemNo, Items.begin() + ItemNo, Items.begin() + ItemNo + 1);
  } else {
    std::rotate(Items.begin() + ItemNo, Items.begin() + ItemNo + 1, Items.begin() + NewItemNo);
  }
}

void TABSIntegerArray::CopyTo(int32_t* Dest, int ItemNo, int Count) const {
  if (Items.empty()) return;
  std::copy_n(Items.begin() + ItemNo, Count, Dest);
}

int TABSIntegerArray::IndexOf(int32_t Value) const {
  for (int i = 0; i < ItemCount; ++i)
    if (Items[i] == Value) return i;
  return -1;
}

// ---------------------------------------------------------------------------

TABSBitsArray::TABSBitsArray() = default;

TABSBitsArray::~TABSBitsArray() { TABSMemBlock release(FBits); }

void TABSBitsArray::Resize(int Value) {
  if (Value == 0) {
    MemoryManager().FreeAndNillMem(FBits);
  } else if (FBits == nullptr) {
    FBits = static_cast<uint8_t*>(MemoryManager().AllocMem((int64_t{Value} + 7) / 8));
  } else {
    MemoryManager().ReallocMemAndClearTail(FBits, (int64_t{Value} + 7) / 8);
  }
}

void TABSBitsArray::SetSize(int Value) {
  Resize(Value);
  if (Value == 0) {
    FNonZeroBitCount = 0;
  } else if (Value < FBitCount) {
    // Bits past the new end in the last byte are cleared, so growing again
    // never brings back set bits that the count does not know of.
    if (Value % 8 != 0) FBits[Value / 8] &= static_cast<uint8_t>((1u << (Value % 8)) - 1);
    int count = 0;
    for (int i = 0; i < (Value + 7) / 8; ++i) count += std::popcount(FBits[i]);
    FNonZeroBitCount = count;
  }
  FBitCount = Value;
}

void TABSBitsArray::CheckBitNo(int BitNo, int Code) const {
  if (BitNo >= FBitCount) throw EABSException(Code, "Invalid bit no = %d, number of bits = %d", {BitNo, FBitCount});
}

bool TABSBitsArray::GetBit(int BitNo) const {
  CheckBitNo(BitNo, 10394);
  return GetBitInBuffer(BitNo, FBits);
}

void TABSBitsArray::SetBit(int BitNo, bool Value) {
  CheckBitNo(BitNo, 10395);
  if (GetBitInBuffer(BitNo, FBits) == Value) return;
  SetBitInBuffer(Value, BitNo, FBits);
  FNonZeroBitCount += Value ? 1 : -1;
}

void TABSBitsArray::SetAllBits() {
  if (FBitCount == 0) return;
  std::memset(FBits, 0xFF, ByteCount());
  FNonZeroBitCount = FBitCount;
}

bool TABSBitsArray::FindBit(bool Value, int& BitNo) const {
  for (int i = 0; i < FBitCount; ++i)
    if (GetBitInBuffer(i, FBits) == Value) {
      BitNo = i;
      return true;
    }
  return false;
}

bool TABSBitsArray::Find(bool Restart, bool GoForward, int CurBitNo, int& FoundBitNo) const {
  const int step = GoForward ? 1 : -1;
  int i = Restart ? (GoForward ? 0 : FBitCount - 1) : CurBitNo + step;
  for (; i >= 0 && i < FBitCount; i += step) {
    // Skip empty bytes whole when walking forward from a byte boundary.
    if (GoForward && i % 8 == 0 && FBits[i / 8] == 0) {
      i += 7;
      continue;
    }
    if (GetBitInBuffer(i, FBits)) {
      FoundBitNo = i;
      return true;
    }
  }
  return false;
}

int TABSBitsArray::GetBitNoByBitPosition(int BitPosition) const {
  if (BitPosition >= FNonZeroBitCount)
    throw EABSException(10428, "Invalid bit no = %d, number of bits = %d", {BitPosition, FNonZeroBitCount});
  if (FNonZeroBitCount == FBitCount) return BitPosition;
  int sum = 0;
  for (int byteNo = 0; byteNo < ByteCount(); ++byteNo) {
    const int inByte = std::popcount(FBits[byteNo]);
    if (sum + inByte > BitPosition) {
      for (int bitNo = byteNo * 8; bitNo < std::min(FBitCount, byteNo * 8 + 8); ++bitNo)
        if (GetBitInBuffer(bitNo, FBits) && sum++ == BitPosition) return bitNo;
    }
    sum += inByte;
  }
  return -1;  // unreachable while the count is right
}

int TABSBitsArray::GetBitPositionByBitNo(int BitNo) const {
  CheckBitNo(BitNo, 10429);
  if (FNonZeroBitCount == FBitCount) return BitNo;
  int result = -1;
  for (int byteNo = 0; byteNo < BitNo / 8; ++byteNo) result += std::popcount(FBits[byteNo]);
  for (int bitNo = BitNo / 8 * 8; bitNo <= BitNo; ++bitNo) result += GetBitInBuffer(bitNo, FBits) ? 1 : 0;
  return result;
}

void TABSBitsArray::SaveToStream(TStream& Stream) const {
  const int32_t count = FBitCount, nonZero = FNonZeroBitCount;
  WriteToStreamChecked(&count, 4, Stream, 10398);
  WriteToStreamChecked(&nonZero, 4, Stream, 10427);
  if (count <= 0) return;
  if (FBits == nullptr) throw EABSException(10399, "Nil pointer occured");
  WriteToStreamChecked(FBits, ByteCount(), Stream, 10400);
}

void TABSBitsArray::LoadFromStream(TStream& Stream) {
  int32_t count = 0, nonZero = 0;
  ReadFromStreamChecked(&count, 4, Stream, 10401);
  ReadFromStreamChecked(&nonZero, 4, Stream, 10426);
  // Refuse counts that cannot be right before sizing a block after them.
  if (count < 0 || nonZero < 0 || nonZero > count || (int64_t{count} + 7) / 8 > Stream.Size() - Stream.Position())
    throw EABSException(10401, "Invalid bit array: bits = %d, set bits = %d", {count, nonZero});
  Resize(count);
  FBitCount = count;
  FNonZeroBitCount = nonZero;
  if (count > 0) ReadFromStreamChecked(FBits, ByteCount(), Stream, 10402);
}
