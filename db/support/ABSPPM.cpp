#include "db/support/ABSPPM.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <mutex>

#include "db/support/ABSPPMMemory.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int kMaxOrderLimit = 16;
constexpr uint32_t kVariant = 6;  // the letter G minus the letter A
constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBot = 1u << 15;
constexpr unsigned kMaxFreq = 124;
constexpr int kBinShift = 14;
constexpr uint32_t kBinScale = 1u << kBinShift;
constexpr int kPeriodBits = 7;
constexpr uint32_t kStateSize = 6;

constexpr std::array<TPPMLevelParams, 9> kLevels = {
    {{2, 2}, {3, 3}, {4, 7}, {5, 16}, {7, 22}, {8, 25}, {10, 40}, {13, 100}, {16, 100}}};

constexpr uint16_t kInitBinEsc[16] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x5FFB, 0x5545, 0x63D1, 0x5D9D,
                                      0x64A1, 0x5ABC, 0x6632, 0x6051, 0x68F6, 0x549B, 0x6BCA, 0x3AB0};
constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};

// Index tables by number of symbols - 1: binary-context column and escape-context row.
struct TIndexTables {
  uint8_t BinIndex[256];
  uint8_t EscIndex[256];
  TIndexTables() {
    for (int i = 0; i < 256; ++i) {
      BinIndex[i] = static_cast<uint8_t>(i < 6 ? 2 * i : i < 50 ? 12 : 14);
      EscIndex[i] = static_cast<uint8_t>(i < 4    ? i
                                         : i < 12 ? (i - 4) / 2 + 4
                                         : i < 44 ? (i - 12) / 4 + 8
                                                  : (i - 44) / 8 + 16);
    }
  }
};
const TIndexTables& IndexTables() {
  static const TIndexTables tables;
  return tables;
}

// Secondary escape estimation: an adaptive mean of past escape frequencies.
struct TSEE2Context {
  uint16_t Sum;
  uint8_t Shift;
  uint8_t Count;

  unsigned Mean() {
    const unsigned r = static_cast<unsigned>(Sum >> Shift);
    Sum = static_cast<uint16_t>(Sum - r);
    const unsigned est = r & 0x3FF;
    return est != 0 ? est : 1;
  }
  void Update() {
    if (Shift < kPeriodBits && --Count == 0) {
      Sum = static_cast<uint16_t>(Sum + Sum);
      Count = static_cast<uint8_t>(3 << Shift++);
    }
  }
};

struct TSubRange {
  uint32_t LowCount = 0;
  uint32_t HighCount = 0;
  uint32_t Scale = 1;
};

// Carry-less range coder. A zero range can only come from a broken model or
// stream; it is reported instead of looping.
class TRangeEncoder {
 public:
  explicit TRangeEncoder(std::vector<uint8_t>& Out) : FOut(Out) {}

  void Encode(const TSubRange& r) {
    FRange /= r.Scale;
    FLow += FRange * r.LowCount;
    FRange *= r.HighCount - r.LowCount;
  }
  void EncodeShift(const TSubRange& r, int shift) {
    FRange >>= shift;
    FLow += FRange * r.LowCount;
    FRange *= r.HighCount - r.LowCount;
  }
  void Normalize() {
    if (FRange == 0) return;
    while ((FLow ^ (FLow + FRange)) < kTop || (FRange < kBot && ((FRange = (0u - FLow) & (kBot - 1)), true))) {
      FOut.push_back(static_cast<uint8_t>(FLow >> 24));
      FRange <<= 8;
      FLow <<= 8;
    }
  }
  void Flush() {
    for (int i = 0; i < 4; ++i) {
      FOut.push_back(static_cast<uint8_t>(FLow >> 24));
      FLow <<= 8;
    }
  }
  bool Broken() const { return FRange == 0; }

 private:
  std::vector<uint8_t>& FOut;
  uint32_t FLow = 0;
  uint32_t FRange = 0xFFFFFFFF;
};

class TRangeDecoder {
 public:
  TRangeDecoder(const uint8_t* In, size_t Size) : FIn(In), FSize(Size) {
    for (int i = 0; i < 4; ++i) FCode = (FCode << 8) | NextByte();
  }

  // False when the scale does not fit the range (only a broken stream).
  bool GetCurrentCount(uint32_t scale, uint32_t& count) {
    FRange /= scale;
    if (FRange == 0) return false;
    count = (FCode - FLow) / FRange;
    return true;
  }
  uint32_t GetCurrentShiftCount(int shift) {
    FRange >>= shift;
    return (FCode - FLow) / FRange;
  }
  void RemoveSubrange(const TSubRange& r) {
    FLow += FRange * r.LowCount;
    FRange *= r.HighCount - r.LowCount;
  }
  void Normalize() {
    if (FRange == 0) return;
    while ((FLow ^ (FLow + FRange)) < kTop || (FRange < kBot && ((FRange = (0u - FLow) & (kBot - 1)), true))) {
      FCode = (FCode << 8) | NextByte();
      FRange <<= 8;
      FLow <<= 8;
    }
  }
  bool Broken() const { return FRange == 0; }

 private:
  // Past the end every byte reads as -1.
  uint32_t NextByte() { return FPos < FSize ? FIn[FPos++] : 0xFFFFFFFFu; }

  const uint8_t* FIn;
  size_t FSize;
  size_t FPos = 0;
  uint32_t FLow = 0;
  uint32_t FRange = 0xFFFFFFFF;
  uint32_t FCode = 0;
};

// The context model. Records live in the unit heap:
//   context (12 bytes): StateCount u16 | FreqSum u16, States ref  (or the single state) | Lower ref
//   state (6 bytes):    Symbol u8 | Freq u8 | Next ref
// A context with StateCount 0 is pending: its single state holds the symbol
// that followed it and the next pending context, standing for text not yet
// modelled.
class TPPMModel {
 public:
  explicit TPPMModel(int MaxOrder) : FMaxOrder(MaxOrder) {}

  bool StartHeap(int MemoryMB) {
    if (!FHeap.Start(MemoryMB)) return false;
    B = FHeap.Base();
    return true;
  }

  // False when the model broke an internal rule (never for a sound model).
  bool Encode(const uint8_t* In, size_t Size, std::vector<uint8_t>& Out);
  // Decoded length, or -1 for a broken stream or one longer than Limit.
  int64_t Decode(const uint8_t* In, size_t Size, std::vector<uint8_t>& Out, size_t Limit);

  int Restarts = 0;

 private:
  // Record access (references may be unaligned).
  uint16_t Ld16(TPPMRef r) const {
    uint16_t v;
    std::memcpy(&v, B + r, 2);
    return v;
  }
  uint32_t Ld32(TPPMRef r) const {
    uint32_t v;
    std::memcpy(&v, B + r, 4);
    return v;
  }
  void St16(TPPMRef r, unsigned v) {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(B + r, &w, 2);
  }
  void St32(TPPMRef r, uint32_t v) { std::memcpy(B + r, &v, 4); }

  unsigned StateCount(TPPMRef c) const { return Ld16(c); }
  void SetStateCount(TPPMRef c, unsigned v) { St16(c, v); }
  unsigned FreqSum(TPPMRef c) const { return Ld16(c + 2); }
  void SetFreqSum(TPPMRef c, unsigned v) { St16(c + 2, v); }
  TPPMRef States(TPPMRef c) const { return Ld32(c + 4); }
  void SetStates(TPPMRef c, TPPMRef v) { St32(c + 4, v); }
  TPPMRef Lower(TPPMRef c) const { return Ld32(c + 8); }
  void SetLower(TPPMRef c, TPPMRef v) { St32(c + 8, v); }
  static TPPMRef OneState(TPPMRef c) { return c + 2; }

  uint8_t& Symbol(TPPMRef s) { return B[s]; }
  uint8_t& Freq(TPPMRef s) { return B[s + 1]; }
  TPPMRef Next(TPPMRef s) const { return Ld32(s + 2); }
  void SetNext(TPPMRef s, TPPMRef v) { St32(s + 2, v); }
  void SetState(TPPMRef s, unsigned symbol, unsigned freq, TPPMRef next) {
    B[s] = static_cast<uint8_t>(symbol);
    B[s + 1] = static_cast<uint8_t>(freq);
    SetNext(s, next);
  }
  void SwapStates(TPPMRef a, TPPMRef b) {
    uint8_t t[kStateSize];
    std::memcpy(t, B + a, kStateSize);
    std::memcpy(B + a, B + b, kStateSize);
    std::memcpy(B + b, t, kStateSize);
  }
  bool IsRealContext(TPPMRef c) const { return c != 0 && StateCount(c) != 0; }
  // The state for Sym in a context of several states; 0 (and a fault) when absent.
  TPPMRef FindState(TPPMRef c, unsigned sym) {
    TPPMRef s = States(c);
    for (unsigned i = StateCount(c); i > 0; --i, s += kStateSize)
      if (Symbol(s) == sym) return s;
    FFault = true;
    return 0;
  }
  // The next state at or after s that the mask does not hide; 0 past End.
  TPPMRef NextUnmasked(TPPMRef s, TPPMRef End) {
    while (s < End && FCharMask[Symbol(s)] == FEscCount) s += kStateSize;
    if (s < End) return s;
    FFault = true;
    return 0;
  }

  void StartModel();
  void RestartModel();
  void ClearMask() {
    FEscCount = 1;
    std::memset(FCharMask, 0, sizeof FCharMask);
  }
  uint16_t& BinEstimate();
  void FoundBinary(TPPMRef s, uint16_t& bs);
  void MissedBinary(TPPMRef s, uint16_t& bs);
  void EncodeBinSymbol(int symbol);
  void DecodeBinSymbol(TRangeDecoder& dec);
  void EncodeSymbol1(int symbol);
  void DecodeSymbol1(TRangeDecoder& dec);
  void FoundFirst(TPPMRef p);
  void EscapeFirst(TPPMRef c);
  void Update1(TPPMRef p);
  TSEE2Context* MakeEscFreq2();
  void EncodeSymbol2(int symbol);
  void DecodeSymbol2(TRangeDecoder& dec);
  void Update2(TPPMRef p);
  void Rescale();
  void UpdateModel();
  bool CreateSuccessors(int Mode, TPPMRef p1);
  // After a found state: follow its successor or learn; shared by both directions.
  void AfterSymbol();

  TPPMUnitHeap FHeap;
  uint8_t* B = nullptr;
  const int FMaxOrder;
  bool FFault = false;

  TPPMRef FMinContext = 0;  // current (lowest-order) context
  TPPMRef FMaxContext = 0;  // highest-order context
  TPPMRef FFoundState = 0;
  TPPMRef FCurPending = 0;
  unsigned FNumMasked = 0;
  unsigned FInitEsc = 0;
  int FOrderFall = 0;
  uint8_t FEscCount = 0;
  uint8_t FPrintCount = 0;
  uint8_t FPrevSuccess = 0;
  uint8_t FCharMask[256] = {};
  uint16_t FBinSumm[128][16] = {};
  TSEE2Context FSEE2Cont[43][8] = {};
  TSEE2Context FDummySEE2Cont = {};
  TSubRange FSub;
};

void TPPMModel::StartModel() {
  FHeap.Initialise();
  const TPPMRef ctx0 = FHeap.AllocContext();
  const TPPMRef stats = FHeap.AllocUnits(256 / 2);
  SetStateCount(ctx0, 256);
  SetFreqSum(ctx0, 257);
  SetStates(ctx0, stats);
  SetLower(ctx0, 0);
  for (unsigned i = 0; i < 256; ++i) SetState(stats + i * kStateSize, i, 1, 0);
  FPrevSuccess = 0;
  FOrderFall = 1;

  // A chain of contexts for the symbol 0 up to the maximum order; its top is
  // the first pending context.
  TPPMRef prevCtx = ctx0;
  TPPMRef prevState = stats;
  TPPMRef c = 0;
  for (int k = 1; k <= FMaxOrder; ++k) {
    c = FHeap.AllocContext();
    SetStateCount(c, 1);
    SetLower(c, prevCtx);
    SetNext(prevState, c);
    if (k < FMaxOrder) {
      SetState(OneState(c), 0, 1, 0);
      prevState = OneState(c);
      prevCtx = c;
    } else {
      SetStateCount(c, 0);
      SetState(OneState(c), 0, 0, 0);
    }
  }
  FCurPending = c;
  FMinContext = FMaxContext = prevCtx;

  for (int i = 0; i < 128; ++i)
    for (int k = 0; k < 16; ++k) FBinSumm[i][k] = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (i + 2));
  for (int i = 0; i < 43; ++i)
    for (int k = 0; k < 8; ++k) FSEE2Cont[i][k] = {static_cast<uint16_t>((4 * i + 10) << 3), 3, 3};
  FDummySEE2Cont = {0, kPeriodBits, 0};
  ClearMask();
  FPrintCount = 1;
}

void TPPMModel::RestartModel() {
  StartModel();
  FEscCount = 0;
  FPrintCount = 255;
  ++Restarts;
}

uint16_t& TPPMModel::BinEstimate() {
  const TPPMRef s = OneState(FMinContext);
  const unsigned row = std::clamp<unsigned>(Freq(s), 1, 128) - 1;
  const unsigned lowerCount = StateCount(Lower(FMinContext));
  return FBinSumm[row][FPrevSuccess + IndexTables().BinIndex[(lowerCount - 1) & 0xFF]];
}

void TPPMModel::FoundBinary(TPPMRef s, uint16_t& bs) {
  FSub = {0, bs, kBinScale};
  if (Freq(s) < 128) ++Freq(s);
  bs = static_cast<uint16_t>(bs + 128 - ((bs + 32) >> 7));
  FPrevSuccess = 1;
  FFoundState = s;
}

void TPPMModel::MissedBinary(TPPMRef s, uint16_t& bs) {
  FSub = {bs, kBinScale, kBinScale};
  bs = static_cast<uint16_t>(bs - ((bs + 32) >> 7));
  FInitEsc = kExpEscape[bs >> 10];
  FNumMasked = 1;
  FCharMask[Symbol(s)] = FEscCount;
  FPrevSuccess = 0;
  FFoundState = 0;
}

void TPPMModel::EncodeBinSymbol(int symbol) {
  const TPPMRef s = OneState(FMinContext);
  uint16_t& bs = BinEstimate();
  if (Symbol(s) == symbol)
    FoundBinary(s, bs);
  else
    MissedBinary(s, bs);
}

void TPPMModel::DecodeBinSymbol(TRangeDecoder& dec) {
  const TPPMRef s = OneState(FMinContext);
  uint16_t& bs = BinEstimate();
  if (dec.GetCurrentShiftCount(kBinShift) < bs)
    FoundBinary(s, bs);
  else
    MissedBinary(s, bs);
}

void TPPMModel::FoundFirst(TPPMRef p) {
  FSub.LowCount = 0;
  FSub.HighCount = Freq(p);
  FPrevSuccess = 2u * Freq(p) > FSub.Scale;
  FFoundState = p;
  Freq(p) += 4;
  SetFreqSum(FMinContext, FreqSum(FMinContext) + 4);
  if (Freq(p) > kMaxFreq) Rescale();
}

void TPPMModel::EscapeFirst(TPPMRef c) {
  FSub.HighCount = FSub.Scale;
  FNumMasked = StateCount(c);
  TPPMRef s = States(c);
  for (unsigned i = FNumMasked; i > 0; --i, s += kStateSize) FCharMask[Symbol(s)] = FEscCount;
  FFoundState = 0;
}

void TPPMModel::Update1(TPPMRef p) {
  FFoundState = p;
  Freq(p) += 4;
  SetFreqSum(FMinContext, FreqSum(FMinContext) + 4);
  if (Freq(p) > Freq(p - kStateSize)) {
    SwapStates(p, p - kStateSize);
    FFoundState = p -= kStateSize;
    if (Freq(p) > kMaxFreq) Rescale();
  }
}

void TPPMModel::EncodeSymbol1(int symbol) {
  const TPPMRef c = FMinContext;
  TPPMRef p = States(c);
  FSub.Scale = FreqSum(c);
  if (Symbol(p) == symbol) return FoundFirst(p);
  FPrevSuccess = 0;
  uint32_t lo = Freq(p);
  for (unsigned i = StateCount(c) - 1; i > 0; --i) {
    p += kStateSize;
    if (Symbol(p) == symbol) {
      FSub.LowCount = lo;
      FSub.HighCount = lo + Freq(p);
      return Update1(p);
    }
    lo += Freq(p);
  }
  FSub.LowCount = lo;
  EscapeFirst(c);
}

void TPPMModel::DecodeSymbol1(TRangeDecoder& dec) {
  const TPPMRef c = FMinContext;
  TPPMRef p = States(c);
  FSub.Scale = FreqSum(c);
  uint32_t count;
  if (!dec.GetCurrentCount(FSub.Scale, count)) {
    FFault = true;
    return;
  }
  uint32_t hi = Freq(p);
  if (count < hi) return FoundFirst(p);
  FPrevSuccess = 0;
  for (unsigned i = StateCount(c) - 1; i > 0; --i) {
    p += kStateSize;
    hi += Freq(p);
    if (hi > count) {
      FSub.LowCount = hi - Freq(p);
      FSub.HighCount = hi;
      return Update1(p);
    }
  }
  FSub.LowCount = hi;
  EscapeFirst(c);
}

TSEE2Context* TPPMModel::MakeEscFreq2() {
  const TPPMRef c = FMinContext;
  const int n = static_cast<int>(StateCount(c));
  const int diff = n - static_cast<int>(FNumMasked);
  if (diff <= 0) {
    FFault = true;
    return &FDummySEE2Cont;
  }
  if (n == 256) {
    FSub.Scale = 1;
    return &FDummySEE2Cont;
  }
  const int lowerCount = static_cast<int>(StateCount(Lower(c)));
  TSEE2Context* psee = &FSEE2Cont[IndexTables().EscIndex[diff - 1]]
                                 [(diff < lowerCount - n) + 2 * (FreqSum(c) < 11u * n) +
                                  4 * (static_cast<int>(FNumMasked) > diff)];
  FSub.Scale = psee->Mean();
  return psee;
}

void TPPMModel::Update2(TPPMRef p) {
  FFoundState = p;
  Freq(p) += 4;
  SetFreqSum(FMinContext, FreqSum(FMinContext) + 4);
  if (Freq(p) > kMaxFreq) Rescale();
  ++FEscCount;
}

void TPPMModel::EncodeSymbol2(int symbol) {
  TSEE2Context* psee = MakeEscFreq2();
  const TPPMRef c = FMinContext;
  const TPPMRef end = States(c) + StateCount(c) * kStateSize;
  TPPMRef p = States(c);
  uint32_t lo = 0;
  for (unsigned i = StateCount(c) - FNumMasked; i > 0 && !FFault; --i) {
    p = NextUnmasked(p, end);
    if (p == 0) return;
    FCharMask[Symbol(p)] = FEscCount;
    if (Symbol(p) == symbol) {
      FSub.LowCount = lo;
      FSub.HighCount = lo + Freq(p);
      uint32_t total = FSub.HighCount;
      for (TPPMRef q = p + kStateSize; --i > 0; q += kStateSize) {
        q = NextUnmasked(q, end);
        if (q == 0) return;
        total += Freq(q);
      }
      FSub.Scale += total;
      psee->Update();
      return Update2(p);
    }
    lo += Freq(p);
    p += kStateSize;
  }
  FSub.LowCount = lo;
  FSub.Scale += lo;
  FSub.HighCount = FSub.Scale;
  psee->Sum = static_cast<uint16_t>(psee->Sum + FSub.Scale);
  FNumMasked = StateCount(c);
}

void TPPMModel::DecodeSymbol2(TRangeDecoder& dec) {
  TSEE2Context* psee = MakeEscFreq2();
  if (FFault) return;
  const TPPMRef c = FMinContext;
  const TPPMRef end = States(c) + StateCount(c) * kStateSize;
  TPPMRef ps[256];
  unsigned count = 0;
  uint32_t hi = 0;
  TPPMRef p = States(c);
  for (unsigned i = StateCount(c) - FNumMasked; i > 0; --i) {
    p = NextUnmasked(p, end);
    if (p == 0) return;
    hi += Freq(p);
    ps[count++] = p;
    p += kStateSize;
  }
  FSub.Scale += hi;
  uint32_t target;
  if (!dec.GetCurrentCount(FSub.Scale, target)) {
    FFault = true;
    return;
  }
  if (target < hi) {
    uint32_t acc = 0;
    unsigned k = 0;
    while ((acc += Freq(ps[k])) <= target) ++k;
    FSub.LowCount = acc - Freq(ps[k]);
    FSub.HighCount = acc;
    psee->Update();
    return Update2(ps[k]);
  }
  FSub.LowCount = hi;
  FSub.HighCount = FSub.Scale;
  for (unsigned k = 0; k < count; ++k) FCharMask[Symbol(ps[k])] = FEscCount;
  psee->Sum = static_cast<uint16_t>(psee->Sum + FSub.Scale);
  FNumMasked = StateCount(c);
}

// Halves the frequencies of the current context, keeping them in falling
// order with the found state first, and drops the states that reach 0.
void TPPMModel::Rescale() {
  const TPPMRef c = FMinContext;
  const TPPMRef stats = States(c);
  const unsigned oldCount = StateCount(c);
  for (TPPMRef p = FFoundState; p != stats; p -= kStateSize) SwapStates(p, p - kStateSize);
  Freq(stats) += 4;
  SetFreqSum(c, FreqSum(c) + 4);
  int escFreq = static_cast<int>(FreqSum(c)) - Freq(stats);
  const int adder = FOrderFall != 0;
  Freq(stats) = static_cast<uint8_t>((Freq(stats) + adder) >> 1);
  unsigned sum = Freq(stats);
  for (unsigned i = 1; i < oldCount; ++i) {
    const TPPMRef p = stats + i * kStateSize;
    escFreq -= Freq(p);
    Freq(p) = static_cast<uint8_t>((Freq(p) + adder) >> 1);
    sum += Freq(p);
    if (Freq(p) > Freq(p - kStateSize)) {
      uint8_t tmp[kStateSize];
      std::memcpy(tmp, B + p, kStateSize);
      TPPMRef p1 = p;
      do {
        std::memcpy(B + p1, B + p1 - kStateSize, kStateSize);
        p1 -= kStateSize;
      } while (p1 != stats && tmp[1] > Freq(p1 - kStateSize));
      std::memcpy(B + p1, tmp, kStateSize);
    }
  }
  SetFreqSum(c, sum);

  TPPMRef last = stats + (oldCount - 1) * kStateSize;
  if (Freq(last) == 0) {
    unsigned zeros = 0;
    do {
      ++zeros;
      last -= kStateSize;
    } while (last > stats && Freq(last) == 0);
    escFreq += static_cast<int>(zeros);
    const unsigned newCount = oldCount - zeros;
    SetStateCount(c, newCount);
    if (newCount == 1) {
      uint8_t tmp[kStateSize];
      std::memcpy(tmp, B + stats, kStateSize);
      do {
        tmp[1] = static_cast<uint8_t>(tmp[1] - (tmp[1] >> 1));
        escFreq >>= 1;
      } while (escFreq > 1);
      FHeap.FreeUnits(stats, static_cast<int>((oldCount + 1) >> 1));
      std::memcpy(B + OneState(c), tmp, kStateSize);
      FFoundState = OneState(c);
      return;
    }
  }
  escFreq -= escFreq >> 1;
  SetFreqSum(c, FreqSum(c) + static_cast<unsigned>(escFreq));
  const int n0 = static_cast<int>((oldCount + 1) >> 1);
  const int n1 = static_cast<int>((StateCount(c) + 1) >> 1);
  if (n0 != n1) SetStates(c, FHeap.ShrinkUnits(stats, n0, n1));
  FFoundState = States(c);
}

// Gives the contexts that the pending successor u of the found state stands
// for a real form: every state below the current context that still points
// at u gets a new one-state context. Mode 0 also gives the found state one;
// modes 1 and 2 (order fall 0) turn u itself into the top context, mode 2
// starting one context lower because u then sits at the maximum order.
// False when the heap is exhausted.
bool TPPMModel::CreateSuccessors(int Mode, TPPMRef p1) {
  const TPPMRef f = FFoundState;
  const TPPMRef u = Next(f);
  const unsigned sym = Symbol(f);
  TPPMRef collected[kMaxOrderLimit + 2];
  unsigned n = 0;
  TPPMRef pc = FMinContext;
  TPPMRef base = 0;
  if (Mode == 0) collected[n++] = f;
  if (Mode == 0 && Lower(pc) == 0) {
    base = pc;
  } else {
    if (Mode == 2 && Lower(pc) != 0) pc = Lower(pc);
    TPPMRef s = 0;
    if (p1 != 0) {
      pc = Lower(pc);
      s = p1;
    }
    for (;;) {
      if (s == 0) {
        if (Lower(pc) == 0) {
          base = pc;
          break;
        }
        pc = Lower(pc);
        s = StateCount(pc) == 1 ? OneState(pc) : FindState(pc, sym);
        if (s == 0) return true;  // fault recorded
      }
      if (Next(s) != u) {
        base = Next(s);
        break;
      }
      if (n == std::size(collected)) {
        FFault = true;
        return true;
      }
      collected[n++] = s;
      s = 0;
    }
  }
  if (!IsRealContext(base)) {
    FFault = true;
    return true;
  }

  const TPPMRef us = OneState(u);
  const unsigned upSymbol = Symbol(us);
  const TPPMRef upNext = Next(us);
  unsigned upFreq;
  if (StateCount(base) != 1) {
    const TPPMRef s = FindState(base, upSymbol);
    if (s == 0) return true;
    const uint32_t cf = Freq(s) - 1u;
    const uint32_t s0 = FreqSum(base) - StateCount(base) - cf;
    if (2 * cf <= s0)
      upFreq = 1 + (5 * cf > s0);
    else if (s0 != 0)
      upFreq = 1 + (2 * cf + 3 * s0 - 1) / (2 * s0);
    else
      return FFault = true;
  } else {
    upFreq = Freq(OneState(base));
  }
  Freq(us) = static_cast<uint8_t>(upFreq);

  TPPMRef built = base;
  while (n > 0) {
    const TPPMRef c = FHeap.AllocContext();
    if (c == 0) return false;
    SetStateCount(c, 1);
    SetState(OneState(c), upSymbol, upFreq, upNext);
    SetLower(c, built);
    SetNext(collected[--n], c);
    built = c;
  }
  if (FOrderFall == 0) {
    SetStateCount(u, 1);
    SetLower(u, built);
  }
  return true;
}

void TPPMModel::UpdateModel() {
  const TPPMRef f = FFoundState;
  const unsigned fSymbol = Symbol(f);
  const unsigned fFreq = Freq(f);
  const TPPMRef fNext = Next(f);

  // The suffix learns the symbol too.
  TPPMRef p = 0;
  const TPPMRef suffix = Lower(FMinContext);
  if (fFreq < kMaxFreq / 4 && suffix != 0) {
    if (StateCount(suffix) != 1) {
      p = States(suffix);
      if (Symbol(p) != fSymbol) {
        p = FindState(suffix, fSymbol);
        if (p == 0) return;
        if (Freq(p) >= Freq(p - kStateSize)) {
          SwapStates(p, p - kStateSize);
          p -= kStateSize;
        }
      }
      if (Freq(p) < 108) {
        Freq(p) += 2;
        SetFreqSum(suffix, FreqSum(suffix) + 2);
      }
    } else {
      p = OneState(suffix);
      if (Freq(p) < 32) ++Freq(p);
    }
  }

  if (FOrderFall == 0) {
    if (fNext == 0 || !CreateSuccessors(2, 0)) return RestartModel();
    FMinContext = FMaxContext = Next(f);
    return;
  }

  --FOrderFall;
  const int mode = FOrderFall == 0 ? 1 : 0;
  TPPMRef successor = fNext;
  if (mode == 0) {
    successor = FHeap.AllocContext();
    if (successor == 0) return RestartModel();
    SetStateCount(successor, 0);
    SetState(OneState(successor), 0, 0, 0);
    SetLower(successor, 0);
  }
  if (FCurPending != 0 && StateCount(FCurPending) == 0) {
    Symbol(OneState(FCurPending)) = static_cast<uint8_t>(fSymbol);
    SetNext(OneState(FCurPending), successor);
  }

  // Add the symbol to every context above the one it was found in.
  const unsigned ns = StateCount(FMinContext);
  // For a one-state context the FreqSum bytes hold the state's symbol and Freq, as the format always had it.
  const uint32_t s0 = FreqSum(FMinContext) - ns - (fFreq - 1);
  for (TPPMRef pc = FMaxContext; pc != FMinContext; pc = Lower(pc)) {
    const unsigned ns1 = StateCount(pc);
    if (pc == 0 || ns1 == 0 || ns1 >= 256) {
      FFault = true;
      return;
    }
    if (ns1 != 1) {
      if ((ns1 & 1) == 0) {
        const TPPMRef a = FHeap.ExpandUnits(States(pc), static_cast<int>(ns1 >> 1));
        if (a == 0) return RestartModel();
        SetStates(pc, a);
      }
      const unsigned sf = FreqSum(pc);
      SetFreqSum(pc, sf + 2 * ((sf <= 8 * ns1) & (4 * ns1 <= ns)) + (2 * ns1 < ns));
    } else {
      const TPPMRef a = FHeap.AllocUnits(1);
      if (a == 0) return RestartModel();
      std::memcpy(B + a, B + OneState(pc), kStateSize);
      SetStates(pc, a);
      Freq(a) = static_cast<uint8_t>(Freq(a) < kMaxFreq / 4 - 1 ? 2 * Freq(a) : kMaxFreq - 4);
      SetFreqSum(pc, Freq(a) + FInitEsc + (ns > 3));
    }
    const uint32_t sum = FreqSum(pc);
    const uint32_t cf = 2 * fFreq * (sum + 6);
    const uint32_t sf = s0 + sum;
    unsigned freq;
    if (cf < 6 * sf) {
      freq = 1 + (cf > sf) + (cf >= 4 * sf);
      SetFreqSum(pc, sum + 3);
    } else {
      freq = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
      SetFreqSum(pc, sum + freq);
    }
    SetState(States(pc) + ns1 * kStateSize, fSymbol, freq, successor);
    SetStateCount(pc, ns1 + 1);
  }

  if (fNext != 0) {
    if (StateCount(fNext) == 0 && !CreateSuccessors(mode, p)) return RestartModel();
    FMinContext = Next(f);
  } else {
    SetNext(f, successor);
    ++FOrderFall;
  }
  FMaxContext = FMinContext;
  FCurPending = successor;
}

void TPPMModel::AfterSymbol() {
  const TPPMRef next = Next(FFoundState);
  if (FOrderFall == 0 && IsRealContext(next)) {
    FMinContext = FMaxContext = next;
  } else {
    UpdateModel();
    if (FEscCount == 0) ClearMask();
  }
}

bool TPPMModel::Encode(const uint8_t* In, size_t Size, std::vector<uint8_t>& Out) {
  TRangeEncoder enc(Out);
  StartModel();
  for (size_t i = 0;; ++i) {
    const int symbol = i < Size ? In[i] : -1;
    if (StateCount(FMinContext) == 0) return false;
    if (StateCount(FMinContext) != 1) {
      EncodeSymbol1(symbol);
      enc.Encode(FSub);
    } else {
      EncodeBinSymbol(symbol);
      enc.EncodeShift(FSub, kBinShift);
    }
    while (FFoundState == 0) {
      enc.Normalize();
      do {
        ++FOrderFall;
        FMinContext = Lower(FMinContext);
        if (FMinContext == 0) {
          // Only the end may escape past order 0: any other symbol would be lost.
          if (symbol != -1 || enc.Broken()) return false;
          enc.Flush();
          return true;
        }
      } while (StateCount(FMinContext) == FNumMasked);
      EncodeSymbol2(symbol);
      if (FFault) return false;
      enc.Encode(FSub);
    }
    AfterSymbol();
    if (FFault || enc.Broken()) return false;
    enc.Normalize();
  }
}

int64_t TPPMModel::Decode(const uint8_t* In, size_t Size, std::vector<uint8_t>& Out, size_t Limit) {
  TRangeDecoder dec(In, Size);
  StartModel();
  for (;;) {
    if (StateCount(FMinContext) == 0) return -1;
    if (StateCount(FMinContext) != 1)
      DecodeSymbol1(dec);
    else
      DecodeBinSymbol(dec);
    if (FFault) return -1;
    dec.RemoveSubrange(FSub);
    while (FFoundState == 0) {
      dec.Normalize();
      do {
        ++FOrderFall;
        FMinContext = Lower(FMinContext);
        if (FMinContext == 0) return static_cast<int64_t>(Out.size());
      } while (StateCount(FMinContext) == FNumMasked);
      DecodeSymbol2(dec);
      if (FFault) return -1;
      dec.RemoveSubrange(FSub);
    }
    if (Out.size() >= Limit) return -1;
    Out.push_back(Symbol(FFoundState));
    AfterSymbol();
    if (FFault || dec.Broken()) return -1;
    dec.Normalize();
  }
}

std::mutex& PPMLock() {
  static std::mutex lock;
  return lock;
}
int GLastRestarts = 0;  // guarded by PPMLock

}  // namespace

TPPMLevelParams PPMLevelParams(int Level) { return kLevels[std::clamp(Level, 1, 9) - 1]; }

void PPMCompressBuf(const void* InBuf, int32_t InSize, std::vector<uint8_t>& OutBuf, int32_t& OutSize, int Level) {
  const int32_t n = std::max(InSize, 0);
  OutSize = n + n / 20 + 50;
  const TPPMLevelParams params = PPMLevelParams(Level);
  std::lock_guard<std::mutex> lock(PPMLock());
  OutBuf.clear();
  OutBuf.reserve(static_cast<size_t>(OutSize));
  bool ok = false;
  {
    TPPMModel model(params.MaxOrder);
    if (InSize >= 0 && model.StartHeap(params.MemoryMB)) {
      const uint32_t header =
          static_cast<uint32_t>(params.MaxOrder - 1) | static_cast<uint32_t>(params.MemoryMB - 1) << 4 | kVariant << 12;
      for (int i = 0; i < 4; ++i) OutBuf.push_back(static_cast<uint8_t>(header >> (8 * i)));
      ok = model.Encode(static_cast<const uint8_t*>(InBuf), static_cast<size_t>(n), OutBuf);
    }
    GLastRestarts = model.Restarts;
  }
  if (!ok || OutBuf.size() > static_cast<size_t>(INT32_MAX)) {
    OutBuf.clear();
    OutSize = 0;
    throw Exception("PPM Compression error");
  }
  OutSize = static_cast<int32_t>(OutBuf.size());
}

void PPMDecompressBuf(const void* InBuf, int32_t InSize, std::vector<uint8_t>& OutBuf, int32_t& OutSize) {
  if (OutSize <= 0) throw Exception("PPM DecpmpressBuf: OutSize must be set");
  std::lock_guard<std::mutex> lock(PPMLock());
  OutBuf.clear();
  int64_t count = -1;
  const auto* in = static_cast<const uint8_t*>(InBuf);
  if (InSize >= 4) {
    const uint32_t header = in[0] | in[1] << 8 | in[2] << 16 | static_cast<uint32_t>(in[3]) << 24;
    if (header >> 12 == kVariant) {
      TPPMModel model(static_cast<int>(header & 0xF) + 1);
      if (model.StartHeap(static_cast<int>((header >> 4) & 0xFF) + 1)) {
        count = model.Decode(in + 4, static_cast<size_t>(InSize) - 4, OutBuf, static_cast<size_t>(OutSize));
      }
      GLastRestarts = model.Restarts;
    }
  }
  if (count <= 0) {
    OutBuf.clear();
    OutSize = 0;
    throw Exception("PPM Decompression error");
  }
  OutSize = static_cast<int32_t>(count);
}

int PPMLastModelRestarts() {
  std::lock_guard<std::mutex> lock(PPMLock());
  return GLastRestarts;
}
