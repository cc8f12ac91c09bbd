#include "db/support/DAZCiphers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const char* hex) {
  std::vector<uint8_t> out;
  for (; hex[0] && hex[1]; hex += 2) out.push_back(static_cast<uint8_t>(std::stoi(String(hex, 2), nullptr, 16)));
  return out;
}

String Hex(const uint8_t* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  String s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

// Enciphers (or deciphers) whole blocks with a raw key.
String Code(TCipherClass cls, const char* keyHex, const char* dataHex, bool decipher = false) {
  auto cipher = CreateCipher(cls);
  const auto key = Bytes(keyHex);
  cipher->Init(key.data(), static_cast<int>(key.size()), nullptr);
  auto data = Bytes(dataHex);
  for (size_t i = 0; i < data.size(); i += static_cast<size_t>(cipher->BufSize()))
    decipher ? cipher->DecryptBlock(data.data() + i) : cipher->EncryptBlock(data.data() + i);
  return Hex(data.data(), data.size());
}

struct KnownAnswer {
  TCipherClass (*Class)();
  const char* Key;
  const char* Plain;
  const char* Cipher;
};

// FIPS-197 appendix C, the classic DES examples, SP 800-67's triple-DES
// example, the Blowfish reference vectors.
const KnownAnswer kPublished[] = {
    {TCipher_Rijndael::Class, "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {TCipher_Rijndael::Class, "000102030405060708090a0b0c0d0e0f1011121314151617",
     "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {TCipher_1DES::Class, "133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    {TCipher_1DES::Class, "0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    {TCipher_3DES::Class, "0123456789abcdef23456789abcdef01456789abcdef0123",
     "5468652071756663" "6b2062726f776e20" "666f78206a756d70",
     "a826fd8ce53b855f" "cce21c8112256fe6" "68d5c05dd9b6b900"},
    {TCipher_Blowfish::Class, "0000000000000000", "0000000000000000", "4ef997456198dd78"},
    {TCipher_Blowfish::Class, "ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
    {TCipher_Blowfish::Class, "3000000000000000", "1000000000000001", "7d856f9a613063f2"},
};

}  // namespace

TEST(BlockCipherTest, PublishedVectors) {
  for (const auto& v : kPublished) {
    SCOPED_TRACE(String(v.Class()->ClassName) + " key " + v.Key);
    EXPECT_EQ(Code(v.Class(), v.Key, v.Plain), v.Cipher);
    EXPECT_EQ(Code(v.Class(), v.Key, v.Cipher, true), v.Plain);
  }
}

TEST(BlockCipherTest, RijndaelKeyLengths) {
  // The 32-byte key has a schedule of its own: FIPS-197 C.3 gives 8ea2b7ca...
  const char* key = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
  const String c = Code(TCipher_Rijndael::Class(), key, "00112233445566778899aabbccddeeff");
  EXPECT_NE(c, "8ea2b7ca516745bfeafc49904b496089");
  EXPECT_EQ(c, "7db8ca4ebc1555cd9b4e8c321b572299");
  EXPECT_EQ(Code(TCipher_Rijndael::Class(), key, c.c_str(), true), "00112233445566778899aabbccddeeff");

  // 20 bytes: 12 rounds, as the key padded with four zero bytes.
  TCipher_Rijndael twenty;
  const auto k20 = Bytes("000102030405060708090a0b0c0d0e0f10111213");
  twenty.Init(k20.data(), 20, nullptr);
  EXPECT_EQ(twenty.Rounds(), 12);
  EXPECT_EQ(Code(TCipher_Rijndael::Class(), "000102030405060708090a0b0c0d0e0f10111213",
                 "00112233445566778899aabbccddeeff"),
            Code(TCipher_Rijndael::Class(), "000102030405060708090a0b0c0d0e0f1011121300000000",
                 "00112233445566778899aabbccddeeff"));
}

TEST(BlockCipherTest, TwofishDiffersOnlyInTheOddSubkeys) {
  struct Case {
    const char* Key;
    const char* Cipher;  // published, for a zero plaintext
  } cases[] = {
      {"00000000000000000000000000000000", "9f589f5cf6122c32b6bfec2f2ae8c35a"},
      {"0123456789abcdeffedcba98765432100011223344556677", "cfd1d2e5a9be9cdf501f13b892bd2248"},
      {"0123456789abcdeffedcba987654321000112233445566778899aabbccddeeff", "37527be0052334b89f0cfccae87cfa20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Key);
    const auto key = Bytes(c.Key);
    TCipher_Twofish cipher;
    cipher.Init(key.data(), static_cast<int>(key.size()), nullptr);
    uint8_t block[16] = {};
    cipher.EncryptBlock(block);
    EXPECT_NE(Hex(block, 16), c.Cipher);

    // With the published odd subkeys ROL(A + 2B, 9) put in, the published
    // ciphertext comes out: S-boxes, tables, MDS and rounds are the standard ones.
    const int k = static_cast<int>(key.size()) / 8;
    uint32_t me[4], mo[4];
    for (int i = 0; i < k; ++i) {
      me[i] = cipher_detail::LoadLE(key.data() + 8 * i);
      mo[i] = cipher_detail::LoadLE(key.data() + 8 * i + 4);
    }
    auto* subkeys = reinterpret_cast<uint32_t*>(cipher.User());
    for (uint32_t i = 0; i < 20; ++i) {
      const uint32_t a = TCipher_Twofish::KeyFunctionH(0x02020202u * i, me, k);
      const uint32_t b = cipher_detail::Rol(TCipher_Twofish::KeyFunctionH(0x02020202u * i + 0x01010101u, mo, k), 8);
      EXPECT_EQ(subkeys[2 * i], a + b);
      subkeys[2 * i + 1] = cipher_detail::Rol(a + 2 * b, 9);
    }
    std::memset(block, 0, sizeof block);
    cipher.EncryptBlock(block);
    EXPECT_EQ(Hex(block, 16), c.Cipher);
  }
  // The published first subkey of the all-zero 128-bit key.
  TCipher_Twofish zero;
  const uint8_t key[16] = {};
  zero.Init(key, 16, nullptr);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(zero.User())[0], 0x52C54DDEu);
}

TEST(BlockCipherTest, ThreeTDESLastBlockIsTripleDES) {
  const char* key = "0123456789abcdef23456789abcdef01456789abcdef0123";
  const String plain = "5468652071756663" "6b2062726f776e20" "666f78206a756d70";
  const String wide = Code(TCipher_3TDES::Class(), key, plain.c_str());
  EXPECT_EQ(wide.substr(32), "68d5c05dd9b6b900");
  EXPECT_NE(wide.substr(0, 32), "a826fd8ce53b855fcce21c8112256fe6");
  EXPECT_EQ(Code(TCipher_3TDES::Class(), key, wide.c_str(), true), plain);
  // A 16-byte key leaves K3 zero (not K1 again, as two-key triple DES would).
  EXPECT_EQ(Code(TCipher_3DES::Class(), "0123456789abcdef23456789abcdef01", "0000000000000000"),
            Code(TCipher_3DES::Class(), "0123456789abcdef23456789abcdef010000000000000000", "0000000000000000"));
}

TEST(BlockCipherTest, SquareKnownAnswer) {
  const char* key = "000102030405060708090a0b0c0d0e0f";
  const String c = Code(TCipher_Square::Class(), key, "000102030405060708090a0b0c0d0e0f");
  EXPECT_EQ(c, "7c3491d94994e70f0ec2e7a5ccb5a14f");
  EXPECT_EQ(Code(TCipher_Square::Class(), key, c.c_str(), true), "000102030405060708090a0b0c0d0e0f");
}

TEST(BlockCipherTest, EveryKeyLengthRoundTrips) {
  for (auto cls : {TCipher_Rijndael::Class(), TCipher_Blowfish::Class(), TCipher_1DES::Class(),
                   TCipher_3DES::Class(), TCipher_3TDES::Class(), TCipher_Twofish::Class(), TCipher_Square::Class()}) {
    SCOPED_TRACE(cls->ClassName);
    uint8_t key[64];
    for (int i = 0; i < 64; ++i) key[i] = static_cast<uint8_t>(i * 37 + 11);
    for (int size = 1; size <= cls->KeySize; ++size) {
      auto cipher = CreateCipher(cls);
      cipher->Init(key, size, nullptr);
      std::vector<uint8_t> block(static_cast<size_t>(cls->BufSize));
      for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7 + size);
      const auto original = block;
      cipher->EncryptBlock(block.data());
      EXPECT_NE(block, original) << size;
      cipher->DecryptBlock(block.data());
      EXPECT_EQ(block, original) << size;
    }
  }
}

TEST(BlockCipherTest, TestVectorsRaiseTheirMessages) {
  const std::pair<TCipherClass, const char*> cases[] = {
      {TCipher_Rijndael::Class(), "TCipher_Rijndael.TestVector not implemented 20"},
      {TCipher_3TDES::Class(), "TCipher_3TDES.TestVector not implemented 25"},
      {TCipher_Square::Class(), "TCipher_Square.TestVector not implemented 27"},
  };
  for (const auto& [cls, message] : cases) {
    try {
      CreateCipher(cls)->TestVector();
      ADD_FAILURE() << cls->ClassName;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, message);
    }
  }
}
