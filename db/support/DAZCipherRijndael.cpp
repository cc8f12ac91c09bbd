// Rijndael with a 128-bit block. Words hold the four bytes of a column
// little-endian (byte 0 = row 0).

#include <cstring>

#include "db/support/DAZCiphers.h"

using namespace cipher_detail;

namespace {

struct RijndaelTables {
  uint8_t S[256], Si[256];
  uint32_t Te[4][256], Td[4][256];

  RijndaelTables() {
    // S-box: multiplicative inverse modulo x^8+x^4+x^3+x+1, then the affine map.
    for (int x = 0; x < 256; ++x) {
      uint8_t inv = 0;
      for (int y = 1; y < 256 && x; ++y)
        if (GFMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0x11B) == 1) {
          inv = static_cast<uint8_t>(y);
          break;
        }
      unsigned s = inv;
      for (int r = 1; r <= 4; ++r) s ^= ((inv << r) | (inv >> (8 - r))) & 0xFF;
      S[x] = static_cast<uint8_t>(s ^ 0x63);
      Si[S[x]] = static_cast<uint8_t>(x);
    }
    for (int x = 0; x < 256; ++x) {
      const uint8_t s = S[x], si = Si[x];
      const uint32_t e = uint32_t{GFMul(s, 2, 0x11B)} | uint32_t{s} << 8 | uint32_t{s} << 16 |
                         uint32_t{GFMul(s, 3, 0x11B)} << 24;
      const uint32_t d = uint32_t{GFMul(si, 14, 0x11B)} | uint32_t{GFMul(si, 9, 0x11B)} << 8 |
                         uint32_t{GFMul(si, 13, 0x11B)} << 16 | uint32_t{GFMul(si, 11, 0x11B)} << 24;
      for (int t = 0; t < 4; ++t) {
        Te[t][x] = Rol(e, 8 * t);
        Td[t][x] = Rol(d, 8 * t);
      }
    }
  }
};

const RijndaelTables& Tables() {
  static const RijndaelTables tables;
  return tables;
}

inline uint32_t SubWord(const RijndaelTables& t, uint32_t w) {
  return uint32_t{t.S[w & 0xFF]} | uint32_t{t.S[(w >> 8) & 0xFF]} << 8 | uint32_t{t.S[(w >> 16) & 0xFF]} << 16 |
         uint32_t{t.S[w >> 24]} << 24;
}

// RotWord on a little-endian column word.
inline uint32_t RotWord(uint32_t w) { return Ror(w, 8); }

constexpr int kMaxRoundKeyWords = 60;

const TCipherClassRec kRijndael{"TCipher_Rijndael", 16, 32, 480, &Make<TCipher_Rijndael>};

}  // namespace

TCipher_Rijndael::TCipher_Rijndael(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher(&kRijndael, std::move(AProtection)) {
  CreateKey(Password);
}

TCipherClass TCipher_Rijndael::Class() { return &kRijndael; }

void TCipher_Rijndael::TestVector() const { throw Exception("TCipher_Rijndael.TestVector not implemented 20"); }

void TCipher_Rijndael::Init(const void* Key, int Size, const void* IVector) {
  StartInit(Size);
  const auto& t = Tables();
  FRounds = Size <= 16 ? 10 : Size <= 24 ? 12 : 14;
  uint8_t key[32] = {};
  if (Size > 0) std::memcpy(key, Key, static_cast<size_t>(Size));
  uint32_t* ek = UserWords();
  uint32_t* dk = ek + kMaxRoundKeyWords;
  const int nk = FRounds - 6;
  const int total = 4 * (FRounds + 1);
  uint32_t rcon = 1;
  if (FRounds < 14) {
    // FIPS-197 key expansion.
    for (int i = 0; i < nk; ++i) ek[i] = LoadLE(key + 4 * i);
    for (int i = nk; i < total; ++i) {
      uint32_t w = ek[i - 1];
      if (i % nk == 0) {
        w = SubWord(t, RotWord(w)) ^ rcon;
        rcon = GFMul(static_cast<uint8_t>(rcon), 2, 0x11B);
      }
      ek[i] = ek[i - nk] ^ w;
    }
  } else {
    // The engine's 32-byte schedule: words 4 to 7 of each step are chained
    // twice (once through the first loop, once after SubWord of word 3).
    uint32_t T[8];
    for (int i = 0; i < 8; ++i) T[i] = ek[i] = LoadLE(key + 4 * i);
    for (int n = 8; n < total; n += 8) {
      T[0] ^= SubWord(t, RotWord(T[7])) ^ rcon;
      rcon = GFMul(static_cast<uint8_t>(rcon), 2, 0x11B);
      for (int j = 1; j < 8; ++j) T[j] ^= T[j - 1];
      T[4] ^= SubWord(t, T[3]);
      for (int j = 5; j < 8; ++j) T[j] ^= T[j - 1];
      for (int j = 0; j < 8 && n + j < total; ++j) ek[n + j] = T[j];
    }
  }
  // Keys of the equivalent inverse cipher, first round first.
  for (int r = 0; r <= FRounds; ++r)
    for (int c = 0; c < 4; ++c) {
      const uint32_t w = ek[4 * (FRounds - r) + c];
      if (r == 0 || r == FRounds)
        dk[4 * r + c] = w;
      else
        dk[4 * r + c] = t.Td[0][t.S[w & 0xFF]] ^ t.Td[1][t.S[(w >> 8) & 0xFF]] ^ t.Td[2][t.S[(w >> 16) & 0xFF]] ^
                        t.Td[3][t.S[w >> 24]];
    }
  FinishInit(IVector);
}

// One round through four tables: column c takes row r from column c + r
// (enciphering) or c - r (deciphering), selected by the offsets o1..o3.
#define RIJNDAEL_ROUND(T, o1, o2, o3)                                                                        \
  n0 = T[0][s0 & 0xFF] ^ T[1][(o1##0 >> 8) & 0xFF] ^ T[2][(o2##0 >> 16) & 0xFF] ^ T[3][o3##0 >> 24] ^ rk[0]; \
  n1 = T[0][s1 & 0xFF] ^ T[1][(o1##1 >> 8) & 0xFF] ^ T[2][(o2##1 >> 16) & 0xFF] ^ T[3][o3##1 >> 24] ^ rk[1]; \
  n2 = T[0][s2 & 0xFF] ^ T[1][(o1##2 >> 8) & 0xFF] ^ T[2][(o2##2 >> 16) & 0xFF] ^ T[3][o3##2 >> 24] ^ rk[2]; \
  n3 = T[0][s3 & 0xFF] ^ T[1][(o1##3 >> 8) & 0xFF] ^ T[2][(o2##3 >> 16) & 0xFF] ^ T[3][o3##3 >> 24] ^ rk[3]

namespace {

// Last round: S-box bytes only.
inline uint32_t LastColumn(const uint8_t* S, uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
  return (uint32_t{S[a & 0xFF]} | uint32_t{S[(b >> 8) & 0xFF]} << 8 | uint32_t{S[(c >> 16) & 0xFF]} << 16 |
          uint32_t{S[d >> 24]} << 24) ^
         k;
}

}  // namespace

void TCipher_Rijndael::EncryptBlock(void* Block) {
  const auto& t = Tables();
  auto* b = static_cast<uint8_t*>(Block);
  const uint32_t* rk = UserWords();
  uint32_t s0 = LoadLE(b) ^ rk[0], s1 = LoadLE(b + 4) ^ rk[1], s2 = LoadLE(b + 8) ^ rk[2], s3 = LoadLE(b + 12) ^ rk[3];
  uint32_t n0, n1, n2, n3;
  // a0..a3, c0..c3, d0..d3: for each column c, the columns c + 1, c + 2, c + 3.
  for (int r = 1; r < FRounds; ++r) {
    rk += 4;
    const uint32_t a0 = s1, a1 = s2, a2 = s3, a3 = s0;
    const uint32_t c0 = s2, c1 = s3, c2 = s0, c3 = s1;
    const uint32_t d0 = s3, d1 = s0, d2 = s1, d3 = s2;
    RIJNDAEL_ROUND(t.Te, a, c, d);
    s0 = n0, s1 = n1, s2 = n2, s3 = n3;
  }
  rk += 4;
  StoreLE(b, LastColumn(t.S, s0, s1, s2, s3, rk[0]));
  StoreLE(b + 4, LastColumn(t.S, s1, s2, s3, s0, rk[1]));
  StoreLE(b + 8, LastColumn(t.S, s2, s3, s0, s1, rk[2]));
  StoreLE(b + 12, LastColumn(t.S, s3, s0, s1, s2, rk[3]));
}

void TCipher_Rijndael::DecryptBlock(void* Block) {
  const auto& t = Tables();
  auto* b = static_cast<uint8_t*>(Block);
  const uint32_t* rk = UserWords() + kMaxRoundKeyWords;
  uint32_t s0 = LoadLE(b) ^ rk[0], s1 = LoadLE(b + 4) ^ rk[1], s2 = LoadLE(b + 8) ^ rk[2], s3 = LoadLE(b + 12) ^ rk[3];
  uint32_t n0, n1, n2, n3;
  // a0..a3, c0..c3, d0..d3: for each column c, the columns c - 1, c - 2, c - 3.
  for (int r = 1; r < FRounds; ++r) {
    rk += 4;
    const uint32_t a0 = s3, a1 = s0, a2 = s1, a3 = s2;
    const uint32_t c0 = s2, c1 = s3, c2 = s0, c3 = s1;
    const uint32_t d0 = s1, d1 = s2, d2 = s3, d3 = s0;
    RIJNDAEL_ROUND(t.Td, a, c, d);
    s0 = n0, s1 = n1, s2 = n2, s3 = n3;
  }
  rk += 4;
  StoreLE(b, LastColumn(t.Si, s0, s3, s2, s1, rk[0]));
  StoreLE(b + 4, LastColumn(t.Si, s1, s0, s3, s2, rk[1]));
  StoreLE(b + 8, LastColumn(t.Si, s2, s1, s0, s3, rk[2]));
  StoreLE(b + 12, LastColumn(t.Si, s3, s2, s1, s0, rk[3]));
}

#undef RIJNDAEL_ROUND
