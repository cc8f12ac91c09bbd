#pragma once
// The block ciphers that encipher database pages. Each supplies its sizes,
// key setup and one-block transforms; modes, key derivation and vectors are
// TCipher's. Where a cipher departs from its published form (the 32-byte-key
// Rijndael key schedule, the Twofish odd subkeys, 3TDES, K3 of a 16-byte
// triple-DES key) the departure is part of the database file format.

#include <initializer_list>

#include "db/support/DAZCipher.h"

// Rijndael with a 128-bit block: AES-128/192 for keys up to 24 bytes; keys of
// 25 to 32 bytes run 14 rounds with the engine's own key schedule.
class TCipher_Rijndael : public TCipher {
 public:
  explicit TCipher_Rijndael(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void Init(const void* Key, int Size, const void* IVector) override;
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;
  int Rounds() const { return FRounds; }

 private:
  int FRounds = 0;
};

class TCipher_Blowfish : public TCipher {
 public:
  explicit TCipher_Blowfish(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void Init(const void* Key, int Size, const void* IVector) override;
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;
};

class TCipher_1DES : public TCipher {
 public:
  explicit TCipher_1DES(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void Init(const void* Key, int Size, const void* IVector) override;
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;

 protected:
  TCipher_1DES(TCipherClass Class, std::shared_ptr<TProtection> AProtection);
  // Builds the enciphering or deciphering 16-round schedule (32 words) of an 8-byte key.
  static void MakeSchedule(const uint8_t* Key, bool Decipher, uint32_t* Schedule);
  // Whole DES (with the initial and final permutations) of one 8-byte block
  // through one or more schedules in turn.
  static void Crypt(uint8_t* Block, const uint32_t* const* Schedules, int Count);
};

// Triple DES, encrypt-decrypt-encrypt with K1, K2, K3 (a shorter key leaves
// the missing bytes zero, so a 16-byte key has K3 = 0).
class TCipher_3DES : public TCipher_1DES {
 public:
  explicit TCipher_3DES(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void Init(const void* Key, int Size, const void* IVector) override;
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;

 protected:
  TCipher_3DES(TCipherClass Class, std::shared_ptr<TProtection> AProtection);
};

// Three interleaved triple-DES blocks in a 24-byte block: words 1 and 2 trade
// places between the three DES layers.
class TCipher_3TDES : public TCipher_3DES {
 public:
  explicit TCipher_3TDES(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;

 private:
  static void CryptLayers(uint8_t* Block, std::initializer_list<const uint32_t*> Layers);
};

// Twofish with full-key tables; the odd subkeys are ROL(A + (B shr 1), 9).
class TCipher_Twofish : public TCipher {
 public:
  explicit TCipher_Twofish(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void Init(const void* Key, int Size, const void* IVector) override;
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;

  // The key-schedule function h of the published cipher (X a word, L the list
  // of K key words); exposed so that the published schedule can be checked.
  static uint32_t KeyFunctionH(uint32_t X, const uint32_t* L, int K);
};

// Square, 16-byte block and key, 8 rounds.
class TCipher_Square : public TCipher {
 public:
  explicit TCipher_Square(const String& Password = String(), std::shared_ptr<TProtection> AProtection = nullptr);
  static TCipherClass Class();
  void Init(const void* Key, int Size, const void* IVector) override;
  void EncryptBlock(void* Block) override;
  void DecryptBlock(void* Block) override;
  void TestVector() const override;
};

// Shared by the cipher sources.
namespace cipher_detail {

using namespace crypto_bytes;

// Product in GF(2^8) modulo the given polynomial (with its x^8 bit).
inline uint8_t GFMul(uint8_t a, uint8_t b, unsigned poly) {
  unsigned r = 0, x = a;
  for (; b; b >>= 1) {
    if (b & 1) r ^= x;
    x <<= 1;
    if (x & 0x100) x ^= poly;
  }
  return static_cast<uint8_t>(r);
}

// Makes a cipher of class T for a class record.
template <class T>
std::shared_ptr<TCipher> Make(const String& Password, std::shared_ptr<TProtection> AProtection) {
  return std::make_shared<T>(Password, std::move(AProtection));
}

}  // namespace cipher_detail
