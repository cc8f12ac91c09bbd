#include "db/support/DAZHash.h"

#include <fcntl.h>

#include <cstring>

namespace {

using namespace crypto_bytes;

inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (~x & z); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return (x | ~y) ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return (x & z) | (y & ~z); }

// RIPEMD message word order and rotations of the four rounds, left and right lines.
constexpr uint8_t kRL[64] = {0, 1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 7,  4,  13, 1,  10, 6,
                             15, 3, 12, 0,  9,  5,  2,  14, 11, 8,  3,  10, 14, 4,  9,  15, 8,  1,  2,  7,  0,  6,
                             13, 11, 5, 12, 1,  9,  11, 10, 0,  8,  12, 4,  13, 3,  7,  15, 14, 5,  6,  2};
constexpr uint8_t kRR[64] = {5, 14, 7,  0,  9,  2, 11, 4,  13, 6, 15, 8,  1,  10, 3,  12, 6,  11, 3, 7,  0, 13,
                             5, 10, 14, 15, 8,  12, 4, 9,  1,  2, 15, 5,  1,  3,  7,  14, 6,  9, 11, 8, 12, 2,
                             10, 0, 4,  13, 8,  6,  4, 1,  3,  11, 15, 0,  5,  12, 2,  13, 9,  7, 10, 14};
constexpr uint8_t kSL[64] = {11, 14, 15, 12, 5,  8,  7,  9,  11, 13, 14, 15, 6,  7,  9,  8,  7,  6,  8,  13, 11, 9,
                             7,  15, 7,  12, 15, 9,  11, 7,  13, 12, 11, 13, 6,  7,  14, 9,  13, 15, 14, 8,  13, 6,
                             5,  12, 7,  5,  11, 12, 14, 15, 14, 15, 9,  8,  9,  14, 5,  6,  8,  6,  5,  12};
constexpr uint8_t kSR[64] = {8,  9,  9,  11, 13, 15, 15, 5,  7,  7,  8,  11, 14, 14, 12, 6, 9,  13, 15, 7, 12, 8,
                             9,  11, 7,  7,  12, 7,  6,  15, 13, 11, 9,  7,  15, 11, 8,  6, 6,  14, 12, 13, 5, 14,
                             13, 13, 7,  5,  15, 5,  8,  11, 14, 14, 6,  14, 6,  9,  12, 9, 12, 5,  15, 8};
constexpr uint32_t kKL[4] = {0x00000000, 0x5A827999, 0x6ED9EBA1, 0x8F1BBCDC};
constexpr uint32_t kKR[4] = {0x50A28BE6, 0x5C4DD124, 0x6D703EF3, 0x00000000};

inline uint32_t RoundFL(int round, uint32_t x, uint32_t y, uint32_t z) {
  switch (round) {
    case 0: return F(x, y, z);
    case 1: return G(x, y, z);
    case 2: return H(x, y, z);
    default: return I(x, y, z);
  }
}

// Runs one round (16 steps) of both lines of RIPEMD-128/256.
void RipeRound(int round, const uint32_t* X, uint32_t (&l)[4], uint32_t (&r)[4]) {
  for (int j = 16 * round; j < 16 * round + 16; ++j) {
    uint32_t t = Rol(l[0] + RoundFL(round, l[1], l[2], l[3]) + X[kRL[j]] + kKL[round], kSL[j]);
    l[0] = l[3];
    l[3] = l[2];
    l[2] = l[1];
    l[1] = t;
    t = Rol(r[0] + RoundFL(3 - round, r[1], r[2], r[3]) + X[kRR[j]] + kKR[round], kSR[j]);
    r[0] = r[3];
    r[3] = r[2];
    r[2] = r[1];
    r[1] = t;
  }
}

template <class T>
std::shared_ptr<THash> MakeHash(std::shared_ptr<TProtection> AProtection) {
  return std::make_shared<T>(std::move(AProtection));
}

const THashClassRec kMD4{"THash_MD4", 16, &MakeHash<THash_MD4>};
const THashClassRec kRipeMD128{"THash_RipeMD128", 16, &MakeHash<THash_RipeMD128>};
const THashClassRec kRipeMD256{"THash_RipeMD256", 32, &MakeHash<THash_RipeMD256>};

}  // namespace

// ---------------------------------------------------------------------------
// THash

void THash::TestVector() const { throw Exception("Not implemented 14"); }
void THash::Calc(const void*, int) {}
const uint8_t* THash::DigestKey() { throw Exception("Not implemented 14"); }
void THash::SelfTest() { throw Exception("Not implemented 14"); }

String THash::DigestStr(int Format) { return BytesToFormat(DigestKey(), DigestKeySize(), Format); }

void THash::BeginAction(TPAction Action) {
  Init();
  if (Action == paWipe) throw Exception("Not implemented 12");
  TProtection::BeginAction(Action);
}

void THash::EndAction(TPAction Action) {
  TProtection::EndAction(Action);
  if (Action == paCalc)
    Done();
  else
    Init();
}

void THash::ApplyToBuffer(void* Buffer, int Size, TPAction Action) {
  if (Action != paDecode) TProtection::ApplyToBuffer(Buffer, Size, Action);
  if (HasAction(Action) && Buffer) {
    auto* p = static_cast<uint8_t*>(Buffer);
    const int b = DigestKeySize();
    if (Action == paCalc) {
      Calc(Buffer, Size);
    } else if (b > 0) {
      uint8_t key[64];
      for (int pos = 0; pos < Size; pos += b) {
        const int n = std::min(b, Size - pos);
        if (Action == paScramble || Action == paWipe) {
          Calc(p + pos, n);
          Done();
          std::memcpy(p + pos, DigestKey(), static_cast<size_t>(n));
        } else {
          // Key stream: the digest hashed on from the state Init left.
          std::memcpy(key, DigestKey(), static_cast<size_t>(b));
          Calc(key, b);
          Done();
          const uint8_t* digest = DigestKey();
          for (int i = 0; i < n; ++i) p[pos + i] ^= digest[i];
        }
      }
    }
  }
  if (Action == paDecode) TProtection::ApplyToBuffer(Buffer, Size, Action);
}

String THash::CalcBuffer(THashClass Class, const void* Buffer, int BufferSize, std::shared_ptr<TProtection> Protection,
                         int Format) {
  auto hash = Class->Create(std::move(Protection));
  hash->Init();
  hash->Calc(Buffer, BufferSize);
  hash->Done();
  return hash->DigestStr(Format);
}

String THash::CalcString(THashClass Class, const String& Data, std::shared_ptr<TProtection> Protection, int Format) {
  return CalcBuffer(Class, Data.data(), static_cast<int>(Data.size()), std::move(Protection), Format);
}

String THash::CalcFile(THashClass Class, const String& FileName, std::shared_ptr<TProtection> Protection, int Format) {
  TProtectionFileStream file(FileName, O_RDONLY);
  return CalcStream(Class, &file, -1, std::move(Protection), Format);
}

// ---------------------------------------------------------------------------
// THash_MD4

THash_MD4::~THash_MD4() {
  std::memset(FDigestBytes, 0, sizeof FDigestBytes);
  std::memset(FBuffer, 0, sizeof FBuffer);
}

THashClass THash_MD4::Class() { return &kMD4; }
THashClass THash_RipeMD128::Class() { return &kRipeMD128; }
THashClass THash_RipeMD256::Class() { return &kRipeMD256; }

void THash_MD4::TestVector() const { throw Exception("THash_MD4.TestVector not implemented 28"); }
void THash_RipeMD128::TestVector() const { throw Exception("THash_RipeMD128.TestVector not implemented 30"); }
void THash_RipeMD256::TestVector() const { throw Exception("THash_RipeMD256.TestVector not implemented 31"); }

uint32_t THash_MD4::Word(int i) const { return LoadLE(FDigestBytes + 4 * i); }
void THash_MD4::SetWord(int i, uint32_t v) { StoreLE(FDigestBytes + 4 * i, v); }

void THash_MD4::Init() {
  std::memset(FBuffer, 0, sizeof FBuffer);
  static constexpr uint32_t kInit[10] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 10; ++i) SetWord(i, kInit[i]);
  FCount = 0;
}

void THash_RipeMD256::Init() {
  THash_MD4::Init();
  static constexpr uint32_t kInit[8] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                        0x76543210, 0xFEDCBA98, 0x89ABCDEF, 0x01234567};
  for (int i = 0; i < 8; ++i) SetWord(i, kInit[i]);
}

void THash_MD4::Calc(const void* Data, int DataSize) {
  if (DataSize <= 0 || !Data) return;
  const auto* p = static_cast<const uint8_t*>(Data);
  const uint32_t k = FCount % 64;
  FCount += static_cast<uint32_t>(DataSize);
  if (k > 0) {
    const int take = std::min<int>(DataSize, 64 - static_cast<int>(k));
    std::memcpy(FBuffer + k, p, static_cast<size_t>(take));
    p += take;
    DataSize -= take;
    if (k + take < 64) return;
    HashBlock(FBuffer);
  }
  for (; DataSize >= 64; DataSize -= 64, p += 64) HashBlock(p);
  if (DataSize > 0) std::memcpy(FBuffer, p, static_cast<size_t>(DataSize));
}

void THash_MD4::Done() {
  const uint32_t k = FCount % 64;
  FBuffer[k] = 0x80;
  if (k + 1 > 56) {
    std::memset(FBuffer + k + 1, 0, 64 - (k + 1));
    HashBlock(FBuffer);
    std::memset(FBuffer, 0, 64);
  } else {
    std::memset(FBuffer + k + 1, 0, 64 - (k + 1));
  }
  // The length field carries only 32 bits of the bit count.
  StoreLE(FBuffer + 56, FCount * 8);
  StoreLE(FBuffer + 60, 0);
  HashBlock(FBuffer);
  std::memset(FBuffer, 0, 64);
}

void THash_MD4::HashBlock(const uint8_t* Block) {
  uint32_t X[16];
  for (int i = 0; i < 16; ++i) X[i] = LoadLE(Block + 4 * i);
  uint32_t a = Word(0), b = Word(1), c = Word(2), d = Word(3);
  static constexpr int s1[4] = {3, 7, 11, 19}, s2[4] = {3, 5, 9, 13}, s3[4] = {3, 9, 11, 15};
  static constexpr int o3[16] = {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15};
  for (int i = 0; i < 16; ++i) {
    const uint32_t t = Rol(a + G(b, c, d) + X[i], s1[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  for (int i = 0; i < 16; ++i) {
    const uint32_t f = (b & c) | (b & d) | (c & d);
    const uint32_t t = Rol(a + f + X[(i % 4) * 4 + i / 4] + 0x5A827999, s2[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  for (int i = 0; i < 16; ++i) {
    const uint32_t t = Rol(a + F(b, c, d) + X[o3[i]] + 0x6ED9EBA1, s3[i % 4]);
    a = d, d = c, c = b, b = t;
  }
  SetWord(0, Word(0) + a);
  SetWord(1, Word(1) + b);
  SetWord(2, Word(2) + c);
  SetWord(3, Word(3) + d);
}

void THash_RipeMD128::HashBlock(const uint8_t* Block) {
  uint32_t X[16];
  for (int i = 0; i < 16; ++i) X[i] = LoadLE(Block + 4 * i);
  uint32_t l[4] = {Word(0), Word(1), Word(2), Word(3)};
  uint32_t r[4] = {l[0], l[1], l[2], l[3]};
  for (int round = 0; round < 4; ++round) RipeRound(round, X, l, r);
  const uint32_t t = Word(1) + l[2] + r[3];
  SetWord(1, Word(2) + l[3] + r[0]);
  SetWord(2, Word(3) + l[0] + r[1]);
  SetWord(3, Word(0) + l[1] + r[2]);
  SetWord(0, t);
}

void THash_RipeMD256::HashBlock(const uint8_t* Block) {
  uint32_t X[16];
  for (int i = 0; i < 16; ++i) X[i] = LoadLE(Block + 4 * i);
  uint32_t l[4] = {Word(0), Word(1), Word(2), Word(3)};
  uint32_t r[4] = {Word(4), Word(5), Word(6), Word(7)};
  // After round n the two lines trade their word n.
  for (int round = 0; round < 4; ++round) {
    RipeRound(round, X, l, r);
    std::swap(l[round], r[round]);
  }
  for (int i = 0; i < 4; ++i) {
    SetWord(i, Word(i) + l[i]);
    SetWord(4 + i, Word(4 + i) + r[i]);
  }
}
