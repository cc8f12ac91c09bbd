// Blowfish: 16 rounds, P-array and S-boxes initialised from the hexadecimal
// digits of pi, halves of a block read big-endian.

#include <cstring>
#include <vector>

#include "db/support/DAZCiphers.h"

using namespace cipher_detail;

namespace {

constexpr int kPWords = 18;
constexpr int kSWords = 4 * 256;

// Fixed-point numbers: word 0 is the integer part, then 32-bit fraction words.
using Fixed = std::vector<uint32_t>;

void DivSmall(Fixed& x, uint32_t d) {
  uint64_t rem = 0;
  for (auto& w : x) {
    const uint64_t cur = rem << 32 | w;
    w = static_cast<uint32_t>(cur / d);
    rem = cur % d;
  }
}

void AddTo(Fixed& sum, const Fixed& x, bool subtract) {
  uint64_t carry = 0;
  for (size_t i = x.size(); i-- > 0;) {
    if (!subtract) {
      const uint64_t v = uint64_t{sum[i]} + x[i] + carry;
      sum[i] = static_cast<uint32_t>(v);
      carry = v >> 32;
    } else {
      const uint64_t v = uint64_t{sum[i]} - x[i] - carry;
      sum[i] = static_cast<uint32_t>(v);
      carry = (v >> 32) ? 1 : 0;
    }
  }
}

bool IsZero(const Fixed& x) {
  for (uint32_t w : x)
    if (w) return false;
  return true;
}

// factor * atan(1/x) added to sum.
void AddArcTan(Fixed& sum, uint32_t factor, uint32_t x) {
  Fixed power(sum.size(), 0);
  power[0] = factor;
  DivSmall(power, x);
  const uint32_t x2 = x * x;
  for (uint32_t k = 0; !IsZero(power); ++k) {
    Fixed term = power;
    DivSmall(term, 2 * k + 1);
    AddTo(sum, term, k & 1);
    DivSmall(power, x2);
  }
}

struct BlowfishInit {
  uint32_t P[kPWords];
  uint32_t S[kSWords];

  BlowfishInit() {
    // pi = 16 atan(1/5) - 4 atan(1/239) (Machin), with guard words.
    Fixed pi(1 + kPWords + kSWords + 4, 0);
    AddArcTan(pi, 16, 5);
    Fixed negative(pi.size(), 0);
    AddArcTan(negative, 4, 239);
    AddTo(pi, negative, true);
    for (int i = 0; i < kPWords; ++i) P[i] = pi[1 + i];
    for (int i = 0; i < kSWords; ++i) S[i] = pi[1 + kPWords + i];
  }
};

const BlowfishInit& Initial() {
  static const BlowfishInit init;
  return init;
}

inline uint32_t Feistel(const uint32_t* S, uint32_t x) {
  return ((S[x >> 24] + S[256 + ((x >> 16) & 0xFF)]) ^ S[512 + ((x >> 8) & 0xFF)]) + S[768 + (x & 0xFF)];
}

// Context layout: the four S-boxes, then the P-array.
inline void Encipher(const uint32_t* ctx, uint32_t& l, uint32_t& r) {
  const uint32_t* P = ctx + kSWords;
  for (int i = 0; i < 16; i += 2) {
    l ^= P[i];
    r ^= Feistel(ctx, l);
    r ^= P[i + 1];
    l ^= Feistel(ctx, r);
  }
  l ^= P[16];
  r ^= P[17];
  std::swap(l, r);
}

inline void Decipher(const uint32_t* ctx, uint32_t& l, uint32_t& r) {
  const uint32_t* P = ctx + kSWords;
  for (int i = 17; i > 1; i -= 2) {
    l ^= P[i];
    r ^= Feistel(ctx, l);
    r ^= P[i - 1];
    l ^= Feistel(ctx, r);
  }
  l ^= P[1];
  r ^= P[0];
  std::swap(l, r);
}

const TCipherClassRec kBlowfish{"TCipher_Blowfish", 8, 56, 4168, &Make<TCipher_Blowfish>};

}  // namespace

TCipher_Blowfish::TCipher_Blowfish(const String& Password, std::shared_ptr<TProtection> AProtection)
    : TCipher(&kBlowfish, std::move(AProtection)) {
  CreateKey(Password);
}

TCipherClass TCipher_Blowfish::Class() { return &kBlowfish; }

void TCipher_Blowfish::TestVector() const { throw Exception("TCipher_Blowfish.TestVector not implemented 21"); }

void TCipher_Blowfish::Init(const void* Key, int Size, const void* IVector) {
  StartInit(Size);
  const auto& init = Initial();
  uint32_t* ctx = UserWords();
  uint32_t* P = ctx + kSWords;
  std::memcpy(ctx, init.S, sizeof init.S);
  std::memcpy(P, init.P, sizeof init.P);
  const auto* key = static_cast<const uint8_t*>(Key);
  if (Size > 0) {
    int pos = 0;
    for (int i = 0; i < kPWords; ++i) {
      uint32_t w = 0;
      for (int j = 0; j < 4; ++j) w = w << 8 | key[(pos + j) % Size];
      pos = (pos + 4) % Size;
      P[i] ^= w;
    }
  }
  uint32_t l = 0, r = 0;
  for (int i = 0; i < kPWords; i += 2) {
    Encipher(ctx, l, r);
    P[i] = l;
    P[i + 1] = r;
  }
  for (int i = 0; i < kSWords; i += 2) {
    Encipher(ctx, l, r);
    ctx[i] = l;
    ctx[i + 1] = r;
  }
  FinishInit(IVector);
}

void TCipher_Blowfish::EncryptBlock(void* Block) {
  auto* b = static_cast<uint8_t*>(Block);
  uint32_t l = LoadBE(b), r = LoadBE(b + 4);
  Encipher(UserWords(), l, r);
  StoreBE(b, l);
  StoreBE(b + 4, r);
}

void TCipher_Blowfish::DecryptBlock(void* Block) {
  auto* b = static_cast<uint8_t*>(Block);
  uint32_t l = LoadBE(b), r = LoadBE(b + 4);
  Decipher(UserWords(), l, r);
  StoreBE(b, l);
  StoreBE(b + 4, r);
}
