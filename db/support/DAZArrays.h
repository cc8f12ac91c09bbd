#pragma once
// Containers the storage engine and the SQL layer share: a growable array of
// 32-bit integers (record numbers, field numbers, column maps) and a bit
// array with rank and select (record bitmaps, page maps) and a stream form.

#include <cstdint>
#include <vector>

#include "platform/rtl/Classes.h"

// Bit BitNo mod 8 (least significant first) of byte BitNo div 8.
bool GetBitInBuffer(int BitNo, const void* Buffer);
void SetBitInBuffer(bool Value, int BitNo, void* Buffer);

class TABSIntegerArray : public TObject {
 public:
  // Capacity grows by a step that doubles at each growth up to MaximumAllocBy.
  TABSIntegerArray(int Size = 0, int DefaultAllocBy = 10, int MaximumAllocBy = 100);

  void SetSize(int NewSize);
  void Assign(const TABSIntegerArray& Source);
  void Append(int32_t Value);
  void Insert(int ItemNo, int32_t Value);
  // Moves the tail down; positions are the caller's to keep in range.
  void Delete(int ItemNo);
  void MoveTo(int ItemNo, int NewItemNo);
  void CopyTo(int32_t* Dest, int ItemNo, int Count) const;
  bool IsValueExists(int32_t Value) const { return IndexOf(Value) >= 0; }
  int IndexOf(int32_t Value) const;

  int32_t& operator[](int ItemNo) { return Items[ItemNo]; }
  int32_t operator[](int ItemNo) const { return Items[ItemNo]; }

  std::vector<int32_t> Items;  // its size is the capacity
  int ItemCount = 0;
  int AllocBy;
  int deAllocBy;
  int MaxAllocBy;
  int AllocItemCount() const { return static_cast<int>(Items.size()); }
};

class TABSBitsArray : public TObject {
 public:
  TABSBitsArray();
  ~TABSBitsArray() override;
  TABSBitsArray(const TABSBitsArray&) = delete;
  TABSBitsArray& operator=(const TABSBitsArray&) = delete;

  int Size() const { return FBitCount; }
  int BitCount() const { return FBitCount; }
  // Keeps the bits below the new size; new bits are 0.
  void SetSize(int Value);
  int NonZeroBitCount() const { return FNonZeroBitCount; }

  bool GetBit(int BitNo) const;  // 10394 past the end
  void SetBit(int BitNo, bool Value);  // 10395 past the end
  void SetAllBits();
  // First bit equal to Value.
  bool FindBit(bool Value, int& BitNo) const;
  // The next set bit after (or before) CurBitNo; from the first (last) bit with Restart.
  bool Find(bool Restart, bool GoForward, int CurBitNo, int& FoundBitNo) const;
  // Select: number of the set bit of rank BitPosition (10428 past NonZeroBitCount).
  int GetBitNoByBitPosition(int BitPosition) const;
  // Rank: set bits among 0 .. BitNo, minus 1 (10429 past the end).
  int GetBitPositionByBitNo(int BitNo) const;

  // Bit count (4 bytes), set-bit count (4 bytes), then the bit bytes.
  void SaveToStream(TStream& Stream) const;
  void LoadFromStream(TStream& Stream);

  const uint8_t* Bits() const { return FBits; }

 private:
  void Resize(int Value);  // the block only, no recount
  void CheckBitNo(int BitNo, int Code) const;
  int ByteCount() const { return (FBitCount + 7) / 8; }

  uint8_t* FBits = nullptr;
  int FBitCount = 0;
  int FNonZeroBitCount = 0;
};
