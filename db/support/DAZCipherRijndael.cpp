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

void TCipher_Rijndael::EncryptBlock(void* Block) {
  const auto& t = Tables();
  auto* b = static_cast<uint8_t*>(Block);
  const uint32_t* rk = UserWords();
  uint32_t s[4], n[4];
  for (int c = 0; c < 4; ++c) s[c] = LoadLE(b + 4 * c) ^ rk[c];
  for (int r = 1; r < FRounds; ++r) {
    rk += 4;
    for (int c = 0; c < 4; ++c)
      n[c] = t.Te[0][s[c] & 0xFF] ^ t.Te[1][(s[(c + 1) & 3] >> 8) & 0xFF] ^ t.Te[2][(s[(c + 2) & 3] >> 16) & 0xFF] ^
             t.Te[3][s[(c + 3) & 3] >> 24] ^ rk[c];
    std::memcpy(s, n, sizeof s);
  }
  rk += 4;
  for (int c = 0; c < 4; ++c)
    StoreLE(b + 4 * c, (uint32_t{t.S[s[c] & 0xFF]} | uint32_t{t.S[(s[(c + 1) & 3] >> 8) & 0xFF]} << 8 |
                        uint32_t{t.S[(s[(c + 2) & 3] >> 16) & 0xFF]} << 16 | uint32_t{t.S[s[(c + 3) & 3] >> 24]} << 24) ^
                           rk[c]);
}

void TCipher_Rijndael::DecryptBlock(void* Block) {
  const auto& t = Tables();
  auto* b = static_cast<uint8_t*>(Block);
  const uint32_t* rk = UserWords() + kMaxRoundKeyWords;
  uint32_t s[4], n[4];
  for (int c = 0; c < 4; ++c) s[c] = LoadLE(b + 4 * c) ^ rk[c];
  for (int r = 1; r < FRounds; ++r) {
    rk += 4;
    for (int c = 0; c < 4; ++c)
      n[c] = t.Td[0][s[c] & 0xFF] ^ t.Td[1][(s[(c + 3) & 3] >> 8) & 0xFF] ^ t.Td[2][(s[(c + 2) & 3] >> 16) & 0xFF] ^
             t.Td[3][s[(c + 1) & 3] >> 24] ^ rk[c];
    std::memcpy(s, n, sizeof s);
  }
  rk += 4;
  for (int c = 0; c < 4; ++c)
    StoreLE(b + 4 * c, (uint32_t{t.Si[s[c] & 0xFF]} | uint32_t{t.Si[(s[(c + 3) & 3] >> 8) & 0xFF]} << 8 |
                        uint32_t{t.Si[(s[(c + 2) & 3] >> 16) & 0xFF]} << 16 | uint32_t{t.Si[s[(c + 1) & 3] >> 24]} << 24) ^
                           rk[c]);
}
