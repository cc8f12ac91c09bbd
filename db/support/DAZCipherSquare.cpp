// Square: 16-byte block and key, 8 rounds, arithmetic in GF(2^8) modulo
// x^8+x^7+x^6+x^5+x^4+x^2+1. The state is four rows of four bytes, each row
// one little-endian word.

#include <cstring>

#include "db/support/DAZCiphers.h"

using namespace cipher_detail;

namespace {

constexpr unsigned kPoly = 0x1F5;
// theta multiplies each row by the circulant matrix of c(x) = 2 + x + x^2 + 3x^3:
// output byte j = sum over k of input byte k times kTheta[k][j].
constexpr uint8_t kTheta[4][4] = {{2, 1, 1, 3}, {3, 2, 1, 1}, {1, 3, 2, 1}, {1, 1, 3, 2}};
// Images of the eight unit bytes under the linear part of the S-box's affine map.
constexpr uint8_t kAffine[8] = {0x7F, 0xDA, 0xBC, 0x78, 0xF0, 0x60, 0xC0, 0x80};
constexpr uint8_t kAffineConstant = 0xB1;

struct SquareTables {
  uint8_t Se[256], Sd[256];
  uint8_t ThetaInv[4][4];
  uint32_t Te[4][256], Td[4][256];  // S-box, transposition and (inverse) theta per input row

  SquareTables() {
    for (int x = 0; x < 256; ++x) {
      uint8_t inv = 0;
      for (int y = 1; y < 256 && x; ++y)
        if (GFMul(static_cast<uint8_t>(x), static_cast<uint8_t>(y), kPoly) == 1) {
          inv = static_cast<uint8_t>(y);
          break;
        }
      uint8_t s = kAffineConstant;
      for (int bit = 0; bit < 8; ++bit)
        if (inv >> bit & 1) s ^= kAffine[bit];
      Se[x] = s;
      Sd[s] = static_cast<uint8_t>(x);
    }
    InvertTheta();
    for (int k = 0; k < 4; ++k)
      for (int x = 0; x < 256; ++x) {
        uint32_t e = 0, d = 0;
        for (int j = 0; j < 4; ++j) {
          e |= uint32_t{GFMul(Se[x], kTheta[k][j], kPoly)} << (8 * j);
          d |= uint32_t{GFMul(Sd[x], ThetaInv[k][j], kPoly)} << (8 * j);
        }
        Te[k][x] = e;
        Td[k][x] = d;
      }
  }

  // Gauss-Jordan elimination of the theta matrix over the field.
  void InvertTheta() {
    uint8_t m[4][8] = {};
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) m[r][c] = kTheta[r][c];
      m[r][4 + r] = 1;
    }
    for (int col = 0; col < 4; ++col) {
      int pivot = col;
      while (m[pivot][col] == 0) ++pivot;
      std::swap(m[pivot], m[col]);
      uint8_t inv = 1;
      while (GFMul(m[col][col], inv, kPoly) != 1) ++inv;
      for (int c = 0; c < 8; ++c) m[col][c] = GFMul(m[col][c], inv, kPoly);
      for (int r = 0; r < 4; ++r)
        if (r != col && m[r][col]) {
          const uint8_t f = m[r][col];
          for (int c = 0; c < 8; ++c) m[r][c] ^= GFMul(f, m[col][c], kPoly);
        }
    }
    for (int r = 0; r < 4; ++r)
      for (int c = 0; c < 4; ++c) ThetaInv[r][c] = m[r][4 + c];
  }
};

const SquareTables& Tables() {
  static const SquareTables tables;
  return tables;
}

inline uint8_t Byte(uint32_t w, int i) { return static_cast<uint8_t>(w >> (8 * i)); }

uint32_t ThetaRow(uint32_t row) {
  uint32_t out = 0;
  for (int j = 0; j < 4; ++j) {
    uint8_t v = 0;
    for (int k = 0; k < 4; ++k) v ^= GFMul(Byte(row, k), kTheta[k][j], kPoly);
    out |= uint32_t{v} << (8 * j);
  }
  return out;
}

// The rounds shared by both directions: add key 0, seven rounds of S-box,
// transposition and diffusion (through the tables) with keys 1..7, and a last
// round of S-box and transposition with key 8.
void Rounds(uint8_t* b, const uint32_t* keys, const uint32_t (&T)[4][256], const uint8_t* S) {
  uint32_t s[4], n[4];
  for (int i = 0; i < 4; ++i) s[i] = LoadLE(b + 4 * i) ^ keys[i];
  for (int r = 1; r < 8; ++r) {
    // Row i of the result comes from column i of the state.
    for (int i = 0; i < 4; ++i)
      n[i] = T[0][Byte(s[0], i)] ^ T[1][Byte(s[1], i)] ^ T[2][Byte(s[2], i)] ^ T[3][Byte(s[3], i)] ^ keys[4 * r + i];
    std::memcpy(s, n, sizeof s);
  }
  for (int i = 0; i < 4; ++i) {
    const uint32_t row = uint32_t{S[Byte(s[0], i)]} | uint32_t{S[Byte(s[1], i)]} << 8 |
                         uint32_t{S[Byte(s[2], i)]} << 16 | uint32_t{S[Byte(s[3], i)]} << 24;
    StoreLE(b + 4 * i, row ^ keys[32 + i]);
  }
}

constexpr int kRoundKeyWords = 36;

const TCipherClassRec kSquare{"TCipher_Square", 16, 16, 288, &Make<TCipher_Square>};

}  // namespace

TCipher_Square::TCipher_Square(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher(&kSquare, std::move(AProtection)) {
  CreateKey(Password);
}

TCipherClass TCipher_Square::Class() { return &kSquare; }

void TCipher_Square::TestVector() const { throw Exception("TCipher_Square.TestVector not implemented 27"); }

void TCipher_Square::Init(const void* Key, int Size, const void* IVector) {
  StartInit(Size);
  uint8_t key[16] = {};
  if (Size > 0) std::memcpy(key, Key, static_cast<size_t>(Size));
  uint32_t* ek = UserWords();
  uint32_t* dk = ek + kRoundKeyWords;
  uint32_t plain[9][4];  // round keys before theta
  for (int i = 0; i < 4; ++i) plain[0][i] = LoadLE(key + 4 * i);
  for (int t = 1; t <= 8; ++t) {
    plain[t][0] = plain[t - 1][0] ^ Ror(plain[t - 1][3], 8) ^ (1u << (t - 1));
    for (int j = 1; j < 4; ++j) plain[t][j] = plain[t - 1][j] ^ plain[t][j - 1];
  }
  for (int t = 0; t <= 8; ++t)
    for (int i = 0; i < 4; ++i) {
      ek[4 * t + i] = t < 8 ? ThetaRow(plain[t][i]) : plain[t][i];
      dk[4 * t + i] = t < 8 ? plain[8 - t][i] : ThetaRow(plain[0][i]);
    }
  FinishInit(IVector);
}

void TCipher_Square::EncryptBlock(void* Block) {
  const auto& t = Tables();
  Rounds(static_cast<uint8_t*>(Block), UserWords(), t.Te, t.Se);
}

void TCipher_Square::DecryptBlock(void* Block) {
  const auto& t = Tables();
  Rounds(static_cast<uint8_t*>(Block), UserWords() + kRoundKeyWords, t.Td, t.Sd);
}
