// DES, triple DES and the interleaved 24-byte-block triple DES. Halves of a
// block are read big-endian; bit 1 is the most significant bit, as in the
// published tables.

#include <cstring>

#include "db/support/DAZCiphers.h"

using namespace cipher_detail;

namespace {

constexpr uint8_t kIP[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kPC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
                              35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
                              46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kPC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7, 0, 15, 7,  4,  14, 2,  13, 1,  10, 6, 12, 11,
     9,  5,  3,  8, 4,  1,  14, 8,  13, 6,  2,  11, 15, 12, 9, 7, 3, 10, 5,  0,  15, 12, 8,  2,  4,  9, 1,  7,
     5,  11, 3,  14, 10, 0, 6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9, 7,  2,  13, 12, 0, 5,  10, 3, 13, 4,  7, 15, 2,  8,  14, 12, 0, 1, 10,
     6,  9,  11, 5,  0,  14, 7,  11, 10, 4, 13, 1,  5,  8,  12, 6, 9,  3,  2,  15, 13, 8, 10, 1,  3,  15, 4, 2,
     11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7,  0,  9, 3,  4,  6,  10, 2, 8, 5, 14,
     12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1,  2,  12, 5,  10, 14, 7, 1,  10, 13, 0,  6, 9, 8, 7,
     4,  15, 14, 3,  11, 5, 2,  12},
    {7,  13, 14, 3,  0, 6,  9,  10, 1,  2,  8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6,  15, 0,  3,  4, 7, 2, 12,
     1,  10, 14, 9,  10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3,  14, 5,  2,  8,  4, 3,  15, 0,  6,  10, 1, 13, 8,
     9,  4,  5,  11, 12, 7, 2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8,  5,  3,  15, 13, 0, 14, 9,  14, 11, 2,  12, 4, 7,  13, 1,  5,  0, 15, 10,
     3,  9,  8, 6,  4,  2,  1,  11, 10, 13, 7, 8,  15, 9,  12, 5, 6,  3,  0,  14, 11, 8,  12, 7,  1,  14, 2, 13,
     6,  15, 0, 9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8, 0,  13, 3,  4,  14, 7,  5,  11, 10, 15, 4,  2, 7, 12, 9,  5,  6,  1, 13, 14,
     0,  11, 3,  8,  9,  14, 15, 5, 2,  8,  12, 3,  7,  0,  4,  10, 1,  13, 11, 6, 4, 3,  2,  12, 9,  5, 15, 10,
     11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0,  8,  13, 3,  12, 9, 7, 5, 10, 6,  1,  13, 0,  11, 7,  4,  9,  1,  10, 14, 3, 5, 12,
     2,  15, 8,  6,  1,  4,  11, 13, 12, 3,  7, 14, 10, 15, 6, 8, 0, 5,  9,  2,  6,  11, 13, 8,  1,  4, 10, 7,
     9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2,  8,  4, 6,  15, 11, 1,  10, 9,  3,  14, 5,  0, 12, 7, 1,  15, 13, 8, 10, 3,  7,  4,  12, 5, 6, 11,
     0,  14, 9,  2, 7,  11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13, 15, 3,  5,  8, 2,  1,  14, 7,  4,  10, 8, 13,
     15, 12, 9,  0, 3,  5,  6,  11}};

// Applies a bit permutation (1-based source bit numbers, bit 1 = most
// significant of an inBits-wide value).
uint64_t Permute(uint64_t in, int inBits, const uint8_t* table, int outBits) {
  uint64_t out = 0;
  for (int i = 0; i < outBits; ++i) out = out << 1 | ((in >> (inBits - table[i])) & 1);
  return out;
}

struct DesTables {
  uint32_t SP[8][64];    // S-box output already through P, per 6-bit input
  uint64_t IP[8][256];   // initial permutation, per input byte
  uint64_t FP[8][256];   // final permutation, per input byte

  DesTables() {
    uint8_t fp[64];
    for (int i = 0; i < 64; ++i) fp[kIP[i] - 1] = static_cast<uint8_t>(i + 1);
    for (int box = 0; box < 8; ++box)
      for (int x = 0; x < 64; ++x) {
        const int row = ((x >> 4) & 2) | (x & 1), col = (x >> 1) & 15;
        const uint64_t s = uint64_t{kS[box][row * 16 + col]} << (28 - 4 * box);
        SP[box][x] = static_cast<uint32_t>(Permute(s, 32, kP, 32));
      }
    for (int byte = 0; byte < 8; ++byte)
      for (int v = 0; v < 256; ++v) {
        const uint64_t in = uint64_t(v) << (56 - 8 * byte);
        IP[byte][v] = Permute(in, 64, kIP, 64);
        FP[byte][v] = Permute(in, 64, fp, 64);
      }
  }
};

const DesTables& Tables() {
  static const DesTables tables;
  return tables;
}

inline uint64_t ApplyByteTable(const uint64_t (&table)[8][256], uint64_t x) {
  uint64_t out = 0;
  for (int byte = 0; byte < 8; ++byte) out |= table[byte][(x >> (56 - 8 * byte)) & 0xFF];
  return out;
}

// The round function f(R, K). The expansion's 6-bit groups 0, 2, 4, 6 sit at
// bits 26, 18, 10, 2 of R rotated right by one, groups 1, 3, 5, 7 at the same
// bits of that rotated left by four; a subkey holds its groups in the same
// places (word 0 the even groups, word 1 the odd ones).
inline uint32_t RoundF(const DesTables& t, uint32_t r, const uint32_t* k) {
  const uint32_t e = Ror(r, 1);
  const uint32_t x = e ^ k[0], y = Rol(e, 4) ^ k[1];
  return t.SP[0][x >> 26] | t.SP[2][(x >> 18) & 63] | t.SP[4][(x >> 10) & 63] | t.SP[6][(x >> 2) & 63] |
         t.SP[1][y >> 26] | t.SP[3][(y >> 18) & 63] | t.SP[5][(y >> 10) & 63] | t.SP[7][(y >> 2) & 63];
}

const TCipherClassRec k1DES{"TCipher_1DES", 8, 8, 256, &Make<TCipher_1DES>};
const TCipherClassRec k3DES{"TCipher_3DES", 8, 24, 768, &Make<TCipher_3DES>};
const TCipherClassRec k3TDES{"TCipher_3TDES", 24, 24, 768, &Make<TCipher_3TDES>};

constexpr int kScheduleWords = 32;

}  // namespace

void TCipher_1DES::MakeSchedule(const uint8_t* Key, bool Decipher, uint32_t* Schedule) {
  uint64_t key = 0;
  for (int i = 0; i < 8; ++i) key = key << 8 | Key[i];
  const uint64_t cd = Permute(key, 64, kPC1, 56);
  uint32_t c = static_cast<uint32_t>(cd >> 28) & 0x0FFFFFFF, d = static_cast<uint32_t>(cd) & 0x0FFFFFFF;
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < kShifts[round]; ++s) {
      c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
      d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
    }
    const uint64_t k = Permute(uint64_t{c} << 28 | d, 56, kPC2, 48);
    uint32_t w[2] = {0, 0};
    for (int i = 0; i < 8; ++i) {
      const uint32_t group = static_cast<uint32_t>(k >> (42 - 6 * i)) & 63;
      w[i & 1] |= group << (26 - 8 * (i >> 1));
    }
    const int slot = Decipher ? 15 - round : round;
    Schedule[2 * slot] = w[0];
    Schedule[2 * slot + 1] = w[1];
  }
}

void TCipher_1DES::Crypt(uint8_t* Block, const uint32_t* const* Schedules, int Count) {
  const auto& t = Tables();
  uint64_t x = 0;
  for (int i = 0; i < 8; ++i) x = x << 8 | Block[i];
  x = ApplyByteTable(t.IP, x);
  uint32_t l = static_cast<uint32_t>(x >> 32), r = static_cast<uint32_t>(x);
  for (int n = 0; n < Count; ++n) {
    const uint32_t* k = Schedules[n];
    for (int round = 0; round < 16; ++round) {
      const uint32_t next = l ^ RoundF(t, r, k + 2 * round);
      l = r;
      r = next;
    }
    // The final swap; the next pass's initial permutation would undo the
    // final permutation, so passes chain directly.
    std::swap(l, r);
  }
  x = ApplyByteTable(t.FP, uint64_t{l} << 32 | r);
  for (int i = 7; i >= 0; --i, x >>= 8) Block[i] = static_cast<uint8_t>(x);
}

// ---------------------------------------------------------------------------
// TCipher_1DES

TCipher_1DES::TCipher_1DES(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher(&k1DES, std::move(AProtection)) {
  CreateKey(Password);
}

TCipher_1DES::TCipher_1DES(TCipherClass Class, std::shared_ptr<TProtection> AProtection)
    : TCipher(Class, std::move(AProtection)) {}

TCipherClass TCipher_1DES::Class() { return &k1DES; }

void TCipher_1DES::TestVector() const { throw Exception("TCipher_1DES.TestVector not implemented"); }

void TCipher_1DES::Init(const void* Key, int Size, const void* IVector) {
  StartInit(Size);
  uint8_t key[8] = {};
  if (Size > 0) std::memcpy(key, Key, static_cast<size_t>(Size));
  MakeSchedule(key, false, UserWords());
  MakeSchedule(key, true, UserWords() + kScheduleWords);
  FinishInit(IVector);
}

void TCipher_1DES::EncryptBlock(void* Block) {
  const uint32_t* s[1] = {UserWords()};
  Crypt(static_cast<uint8_t*>(Block), s, 1);
}

void TCipher_1DES::DecryptBlock(void* Block) {
  const uint32_t* s[1] = {UserWords() + kScheduleWords};
  Crypt(static_cast<uint8_t*>(Block), s, 1);
}

// ---------------------------------------------------------------------------
// TCipher_3DES: schedules K1 enc, K2 dec, K3 enc, K3 dec, K2 enc, K1 dec.

TCipher_3DES::TCipher_3DES(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher_1DES(&k3DES, std::move(AProtection)) {
  CreateKey(Password);
}

TCipher_3DES::TCipher_3DES(TCipherClass Class, std::shared_ptr<TProtection> AProtection)
    : TCipher_1DES(Class, std::move(AProtection)) {}

TCipherClass TCipher_3DES::Class() { return &k3DES; }

void TCipher_3DES::TestVector() const { throw Exception("TCipher_3DES.TestVector not implemented 24"); }

void TCipher_3DES::Init(const void* Key, int Size, const void* IVector) {
  StartInit(Size);
  uint8_t key[24] = {};
  if (Size > 0) std::memcpy(key, Key, static_cast<size_t>(Size));
  uint32_t* u = UserWords();
  MakeSchedule(key, false, u);
  MakeSchedule(key + 8, true, u + kScheduleWords);
  MakeSchedule(key + 16, false, u + 2 * kScheduleWords);
  MakeSchedule(key + 16, true, u + 3 * kScheduleWords);
  MakeSchedule(key + 8, false, u + 4 * kScheduleWords);
  MakeSchedule(key, true, u + 5 * kScheduleWords);
  FinishInit(IVector);
}

void TCipher_3DES::EncryptBlock(void* Block) {
  const uint32_t* u = UserWords();
  const uint32_t* s[3] = {u, u + kScheduleWords, u + 2 * kScheduleWords};
  Crypt(static_cast<uint8_t*>(Block), s, 3);
}

void TCipher_3DES::DecryptBlock(void* Block) {
  const uint32_t* u = UserWords();
  const uint32_t* s[3] = {u + 3 * kScheduleWords, u + 4 * kScheduleWords, u + 5 * kScheduleWords};
  Crypt(static_cast<uint8_t*>(Block), s, 3);
}

// ---------------------------------------------------------------------------
// TCipher_3TDES

TCipher_3TDES::TCipher_3TDES(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher_3DES(&k3TDES, std::move(AProtection)) {
  CreateKey(Password);
}

TCipherClass TCipher_3TDES::Class() { return &k3TDES; }

void TCipher_3TDES::TestVector() const { throw Exception("TCipher_3TDES.TestVector not implemented 25"); }

// Three DES layers over the three 8-byte blocks; words 1 and 2 (bytes 4..7
// and 8..11) trade places between the layers, words 3 and 4 stay.
void TCipher_3TDES::EncryptBlock(void* Block) {
  const uint32_t* u = UserWords();
  CryptLayers(static_cast<uint8_t*>(Block), {u, u + kScheduleWords, u + 2 * kScheduleWords});
}

void TCipher_3TDES::DecryptBlock(void* Block) {
  const uint32_t* u = UserWords();
  CryptLayers(static_cast<uint8_t*>(Block), {u + 3 * kScheduleWords, u + 4 * kScheduleWords, u + 5 * kScheduleWords});
}

void TCipher_3TDES::CryptLayers(uint8_t* Block, std::initializer_list<const uint32_t*> Layers) {
  uint8_t word[4];
  bool first = true;
  for (const uint32_t* schedule : Layers) {
    if (!first) {
      std::memcpy(word, Block + 4, 4);
      std::memcpy(Block + 4, Block + 8, 4);
      std::memcpy(Block + 8, word, 4);
    }
    first = false;
    for (int block = 0; block < 3; ++block) Crypt(Block + 8 * block, &schedule, 1);
  }
}
