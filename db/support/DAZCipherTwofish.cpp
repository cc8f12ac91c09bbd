// Twofish with key-dependent tables computed at key setup. Words of a block
// are little-endian.

#include <cstring>

#include "db/support/DAZCiphers.h"

using namespace cipher_detail;

namespace {

// The 4-bit tables t0..t3 that build the permutations q0 and q1.
constexpr uint8_t kQT[2][4][16] = {
    {{0x8, 0x1, 0x7, 0xD, 0x6, 0xF, 0x3, 0x2, 0x0, 0xB, 0x5, 0x9, 0xE, 0xC, 0xA, 0x4},
     {0xE, 0xC, 0xB, 0x8, 0x1, 0x2, 0x3, 0x5, 0xF, 0x4, 0xA, 0x6, 0x7, 0x0, 0x9, 0xD},
     {0xB, 0xA, 0x5, 0xE, 0x6, 0xD, 0x9, 0x0, 0xC, 0x8, 0xF, 0x3, 0x2, 0x4, 0x7, 0x1},
     {0xD, 0x7, 0xF, 0x4, 0x1, 0x2, 0x6, 0xE, 0x9, 0xB, 0x3, 0x0, 0x8, 0x5, 0xC, 0xA}},
    {{0x2, 0x8, 0xB, 0xD, 0xF, 0x7, 0x6, 0xE, 0x3, 0x1, 0x9, 0x4, 0x0, 0xA, 0xC, 0x5},
     {0x1, 0xE, 0x2, 0xB, 0x4, 0xC, 0x3, 0x7, 0x6, 0xD, 0xA, 0x5, 0xF, 0x9, 0x0, 0x8},
     {0x4, 0xC, 0x7, 0x5, 0x1, 0x6, 0x9, 0xA, 0x0, 0xE, 0xD, 0x8, 0x2, 0xB, 0x3, 0xF},
     {0xB, 0x9, 0x5, 0x1, 0xC, 0x3, 0xD, 0xE, 0x6, 0x4, 0x7, 0xF, 0x2, 0x0, 0x8, 0xA}}};

constexpr uint8_t kMDS[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B}, {0x5B, 0xEF, 0xEF, 0x01}, {0xEF, 0x5B, 0x01, 0xEF}, {0xEF, 0x01, 0xEF, 0x5B}};
constexpr uint8_t kRS[4][8] = {{0x01, 0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E},
                               {0xA4, 0x56, 0x82, 0xF3, 0x1E, 0xC6, 0x68, 0xE5},
                               {0x02, 0xA1, 0xFC, 0xC1, 0x47, 0xAE, 0x3D, 0x19},
                               {0xA4, 0x55, 0x87, 0x5A, 0x58, 0xDB, 0x9E, 0x03}};
constexpr unsigned kMDSPoly = 0x169;
constexpr unsigned kRSPoly = 0x14D;

inline uint8_t Ror4(uint8_t x) { return static_cast<uint8_t>(((x >> 1) | (x << 3)) & 0xF); }

struct TwofishTables {
  uint8_t Q[2][256];
  uint32_t MDS[4][256];  // column j of the MDS matrix times a byte

  TwofishTables() {
    for (int q = 0; q < 2; ++q)
      for (int x = 0; x < 256; ++x) {
        uint8_t a = static_cast<uint8_t>(x >> 4), b = static_cast<uint8_t>(x & 15);
        for (int stage = 0; stage < 2; ++stage) {
          const uint8_t a1 = a ^ b;
          const uint8_t b1 = static_cast<uint8_t>((a ^ Ror4(b) ^ (8 * a)) & 15);
          a = kQT[q][2 * stage][a1];
          b = kQT[q][2 * stage + 1][b1];
        }
        Q[q][x] = static_cast<uint8_t>(b << 4 | a);
      }
    for (int j = 0; j < 4; ++j)
      for (int x = 0; x < 256; ++x) {
        uint32_t w = 0;
        for (int i = 0; i < 4; ++i)
          w |= uint32_t{GFMul(kMDS[i][j], static_cast<uint8_t>(x), kMDSPoly)} << (8 * i);
        MDS[j][x] = w;
      }
  }
};

const TwofishTables& Tables() {
  static const TwofishTables tables;
  return tables;
}

inline uint8_t Byte(uint32_t w, int i) { return static_cast<uint8_t>(w >> (8 * i)); }

// The S-box path of byte position j of h: the q permutations alternating with
// the key bytes of L (K words), before the MDS matrix.
uint8_t SBoxByte(const TwofishTables& t, int j, uint8_t y, const uint32_t* L, int K) {
  // Which permutation each stage applies to each byte position.
  static constexpr uint8_t q4[4] = {1, 0, 0, 1}, q3[4] = {1, 1, 0, 0}, q2[4] = {0, 1, 0, 1}, q1[4] = {0, 0, 1, 1},
                           q0[4] = {1, 0, 1, 0};
  if (K == 4) y = t.Q[q4[j]][y] ^ Byte(L[3], j);
  if (K >= 3) y = t.Q[q3[j]][y] ^ Byte(L[2], j);
  y = t.Q[q2[j]][y] ^ Byte(L[1], j);
  y = t.Q[q1[j]][y] ^ Byte(L[0], j);
  return t.Q[q0[j]][y];
}

constexpr int kSubkeys = 40;

const TCipherClassRec kTwofish{"TCipher_Twofish", 16, 32, 4256, &Make<TCipher_Twofish>};

}  // namespace

uint32_t TCipher_Twofish::KeyFunctionH(uint32_t X, const uint32_t* L, int K) {
  const auto& t = Tables();
  uint32_t z = 0;
  for (int j = 0; j < 4; ++j) z ^= t.MDS[j][SBoxByte(t, j, Byte(X, j), L, K)];
  return z;
}

TCipher_Twofish::TCipher_Twofish(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher(&kTwofish, std::move(AProtection)) {
  CreateKey(Password);
}

TCipherClass TCipher_Twofish::Class() { return &kTwofish; }

void TCipher_Twofish::TestVector() const { throw Exception("TCipher_Twofish.TestVector not implemented 26"); }

void TCipher_Twofish::Init(const void* Key, int Size, const void* IVector) {
  StartInit(Size);
  const auto& t = Tables();
  const int length = Size <= 16 ? 16 : Size <= 24 ? 24 : 32;
  const int k = length / 8;
  uint8_t key[32] = {};
  if (Size > 0) std::memcpy(key, Key, static_cast<size_t>(Size));
  uint32_t me[4], mo[4], s[4];
  for (int i = 0; i < k; ++i) {
    me[i] = LoadLE(key + 8 * i);
    mo[i] = LoadLE(key + 8 * i + 4);
    // S words through the RS code, listed in reverse order.
    uint32_t w = 0;
    for (int r = 0; r < 4; ++r) {
      uint8_t v = 0;
      for (int c = 0; c < 8; ++c) v ^= GFMul(kRS[r][c], key[8 * i + c], kRSPoly);
      w |= uint32_t{v} << (8 * r);
    }
    s[k - 1 - i] = w;
  }
  uint32_t* sub = UserWords();
  for (int i = 0; i < kSubkeys / 2; ++i) {
    const uint32_t a = KeyFunctionH(0x02020202u * static_cast<uint32_t>(i), me, k);
    const uint32_t b = Rol(KeyFunctionH(0x02020202u * static_cast<uint32_t>(i) + 0x01010101u, mo, k), 8);
    sub[2 * i] = a + b;
    // The engine's odd subkeys halve B where the published schedule doubles it.
    sub[2 * i + 1] = Rol(a + (b >> 1), 9);
  }
  uint32_t* tab = sub + kSubkeys;
  for (int j = 0; j < 4; ++j)
    for (int x = 0; x < 256; ++x) tab[256 * j + x] = t.MDS[j][SBoxByte(t, j, static_cast<uint8_t>(x), s, k)];
  FinishInit(IVector);
}

namespace {

inline uint32_t G(const uint32_t* tab, uint32_t x) {
  return tab[Byte(x, 0)] ^ tab[256 + Byte(x, 1)] ^ tab[512 + Byte(x, 2)] ^ tab[768 + Byte(x, 3)];
}

}  // namespace

void TCipher_Twofish::EncryptBlock(void* Block) {
  auto* b = static_cast<uint8_t*>(Block);
  const uint32_t* k = UserWords();
  const uint32_t* tab = k + kSubkeys;
  uint32_t r[4];
  for (int i = 0; i < 4; ++i) r[i] = LoadLE(b + 4 * i) ^ k[i];
  for (int round = 0; round < 16; ++round) {
    const uint32_t t0 = G(tab, r[0]), t1 = G(tab, Rol(r[1], 8));
    const uint32_t f0 = t0 + t1 + k[2 * round + 8], f1 = t0 + 2 * t1 + k[2 * round + 9];
    const uint32_t n2 = Ror(r[2] ^ f0, 1), n3 = Rol(r[3], 1) ^ f1;
    r[2] = r[0];
    r[3] = r[1];
    r[0] = n2;
    r[1] = n3;
  }
  for (int i = 0; i < 4; ++i) StoreLE(b + 4 * i, r[(i + 2) & 3] ^ k[4 + i]);
}

void TCipher_Twofish::DecryptBlock(void* Block) {
  auto* b = static_cast<uint8_t*>(Block);
  const uint32_t* k = UserWords();
  const uint32_t* tab = k + kSubkeys;
  uint32_t r[4];
  for (int i = 0; i < 4; ++i) r[(i + 2) & 3] = LoadLE(b + 4 * i) ^ k[4 + i];
  for (int round = 15; round >= 0; --round) {
    // Undo the swap, then the round.
    const uint32_t n2 = r[0], n3 = r[1];
    r[0] = r[2];
    r[1] = r[3];
    const uint32_t t0 = G(tab, r[0]), t1 = G(tab, Rol(r[1], 8));
    const uint32_t f0 = t0 + t1 + k[2 * round + 8], f1 = t0 + 2 * t1 + k[2 * round + 9];
    r[2] = Rol(n2, 1) ^ f0;
    r[3] = Ror(n3 ^ f1, 1);
  }
  for (int i = 0; i < 4; ++i) StoreLE(b + 4 * i, r[i] ^ k[i]);
}
