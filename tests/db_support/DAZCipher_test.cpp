#include "db/support/DAZCipher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "db/support/DAZCiphers.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n, int seed = 0) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 31 + 7 + seed);
  return b;
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

std::shared_ptr<TCipher> Keyed(TCipherClass cls, TCipherMode mode, const String& password = "secret") {
  auto cipher = CreateCipher(cls, password);
  cipher->SetMode(mode);
  return cipher;
}

const TCipherClass kBlockSizes[] = {TCipher_Blowfish::Class(), TCipher_Rijndael::Class(), TCipher_3TDES::Class()};

}  // namespace

TEST(CipherModeTest, EveryModeRoundTripsEveryLength) {
  for (TCipherClass cls : kBlockSizes) {
    const int B = cls->BufSize;
    for (TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmECB}) {
      for (int blocks = 0; blocks <= 3; ++blocks)
        for (int rest : {0, 1, B / 2, B - 1}) {
          const int n = blocks * B + rest;
          if (mode == cmECB && rest) continue;
          SCOPED_TRACE(String(cls->ClassName) + " mode " + std::to_string(mode) + " length " + std::to_string(n));
          const Bytes plain = Pattern(static_cast<size_t>(n));
          Bytes coded(plain.size()), back(plain.size());
          auto enc = Keyed(cls, mode), dec = Keyed(cls, mode);
          enc->EncodeBuffer(plain.data(), coded.data(), n);
          if (n >= B) {
            EXPECT_NE(coded, plain);
          }
          dec->DecodeBuffer(coded.data(), back.data(), n);
          EXPECT_EQ(back, plain);
          // In place gives the same bytes.
          Bytes inPlace = plain;
          Keyed(cls, mode)->EncodeBuffer(inPlace.data(), inPlace.data(), n);
          EXPECT_EQ(inPlace, coded);
        }
    }
  }
}

TEST(CipherModeTest, SplitAtABlockBoundaryChangesNothing) {
  for (TCipherClass cls : kBlockSizes) {
    const int B = cls->BufSize;
    const int n = 3 * B + 5;
    const Bytes plain = Pattern(static_cast<size_t>(n));
    for (TCipherMode mode : {cmCTS, cmCBC, cmCFB, cmOFB, cmCTSMAC, cmCBCMAC, cmCFBMAC}) {
      SCOPED_TRACE(String(cls->ClassName) + " mode " + std::to_string(mode));
      Bytes one = plain, two = plain;
      auto a = Keyed(cls, mode), b = Keyed(cls, mode);
      a->EncodeBuffer(one.data(), one.data(), n);
      b->EncodeBuffer(two.data(), two.data(), 2 * B);
      b->EncodeBuffer(two.data() + 2 * B, two.data() + 2 * B, n - 2 * B);
      EXPECT_EQ(one, two);
      EXPECT_EQ(Hex(a->Feedback(), static_cast<size_t>(B)), Hex(b->Feedback(), static_cast<size_t>(B)));
      if (mode >= cmCTSMAC) {
        EXPECT_EQ(one, plain) << "MAC modes write nothing";
      }
    }
    // Split inside a block, the chained modes end the chain at the partial block.
    Bytes one = plain, two = plain;
    auto a = Keyed(cls, cmCTS), b = Keyed(cls, cmCTS);
    a->EncodeBuffer(one.data(), one.data(), n);
    b->EncodeBuffer(two.data(), two.data(), B + 1);
    b->EncodeBuffer(two.data() + B + 1, two.data() + B + 1, n - B - 1);
    EXPECT_NE(one, two);
  }
}

TEST(CipherModeTest, ShortBufferIsAKeyStream) {
  for (TCipherMode mode : {cmCTS, cmCBC}) {
    const Bytes plain = Pattern(11);
    Bytes x = plain;
    auto enc = Keyed(TCipher_Rijndael::Class(), mode), dec = Keyed(TCipher_Rijndael::Class(), mode);
    enc->EncodeBuffer(x.data(), x.data(), 11);
    Bytes y = plain;
    dec->DecodeBuffer(y.data(), y.data(), 11);
    EXPECT_EQ(x, y) << "enciphering and deciphering a partial block are the same";
    EXPECT_EQ(Hex(enc->Feedback(), 16), Hex(dec->Feedback(), 16));
  }
  // Zero bytes leave even the feedback alone.
  auto c = Keyed(TCipher_Rijndael::Class(), cmCTS);
  const String before = Hex(c->Feedback(), 16);
  c->EncodeBuffer(nullptr, nullptr, 0);
  EXPECT_EQ(Hex(c->Feedback(), 16), before);
}

TEST(CipherModeTest, RefusalsAndKeyState) {
  // ECB refuses a final partial block rather than produce bytes that cannot come back.
  auto ecb = Keyed(TCipher_Blowfish::Class(), cmECB);
  Bytes data = Pattern(20);
  const Bytes original = data;
  try {
    ecb->EncodeBuffer(data.data(), data.data(), 20);
    ADD_FAILURE();
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode, errCipherPartialBlock);
  }
  EXPECT_EQ(data, original);

  TCipher_Rijndael fresh;
  try {
    fresh.EncodeBuffer(data.data(), data.data(), 16);
    ADD_FAILURE();
  } catch (const ECipherException& e) {
    EXPECT_EQ(e.ErrorCode, 3);
    EXPECT_EQ(e.Message, "TCipher_Rijndael is not initialized call Init() or InitKey() before.");
  }
  EXPECT_THROW(fresh.BeginAction(paEncode), ECipherException);

  // Own vector: one block of 0xFF; no vector: that block enciphered under the key.
  fresh.InitKey("pw", fresh.Vector());
  EXPECT_EQ(Hex(fresh.Vector(), 16), String(32, 'f'));
  EXPECT_TRUE(fresh.HasHashKey());
  fresh.InitKey("pw", nullptr);
  uint8_t ff[16];
  std::memset(ff, 0xFF, 16);
  fresh.EncryptBlock(ff);
  EXPECT_EQ(Hex(fresh.Vector(), 16), Hex(ff, 16));
  const uint8_t key[4] = {1, 2, 3, 4};
  fresh.Init(key, 4, nullptr);
  EXPECT_FALSE(fresh.HasHashKey());
  EXPECT_TRUE(fresh.Initialized());
}

TEST(CipherProtectionTest, ChainedStringsAndFiles) {
  // A chain is undone in the reverse order in which it was applied.
  auto inner = CreateCipher(TCipher_Twofish::Class(), "inner");
  auto outer = CreateCipher(TCipher_Square::Class(), "outer", inner);
  const String text = "A database page travels through two ciphers and comes back unchanged.";
  const String coded = outer->CodeString(text, paEncode, 4196);
  EXPECT_NE(coded, StringFormat_MIME64.StrTo(text.data(), static_cast<int>(text.size())));
  EXPECT_EQ(outer->CodeString(coded, paDecode, 4196), text);

  String dir = (std::filesystem::temp_directory_path() / "dazcipherXXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const String plainFile = dir + "/plain.bin", codedFile = dir + "/coded.bin";
  const Bytes content = Pattern(10000);
  std::ofstream(plainFile, std::ios::binary).write(reinterpret_cast<const char*>(content.data()), 10000);
  auto read = [](const String& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  outer->CodeFile(plainFile, codedFile, paEncode);
  const String codedBytes = read(codedFile);
  ASSERT_EQ(codedBytes.size(), 10000u);
  // Another name for the same file codes it in place.
  outer->CodeFile(codedFile, dir + "/../" + std::filesystem::path(dir).filename().string() + "/coded.bin", paDecode);
  EXPECT_EQ(read(codedFile), read(plainFile));
  std::remove(plainFile.c_str());
  std::remove(codedFile.c_str());
  rmdir(dir.c_str());
}

TEST(CipherRegistryTest, DefaultEntryAndNames) {
  auto entries = RegisteredCiphers();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].first, "Rijndael=");
  EXPECT_EQ(entries[0].second, TCipher_Rijndael::Class());
  EXPECT_FALSE(AddCipher(nullptr, "x", "y"));
  EXPECT_TRUE(AddCipher(TCipher_Blowfish::Class(), "  ", "64-bit block"));
  EXPECT_TRUE(AddCipher(TCipher_Blowfish::Class(), "", "Blowfish, 16 rounds"));
  entries = RegisteredCiphers();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[1].first, "Blowfish=Blowfish, 16 rounds");
}

// Pinned enciphered pages: these bytes are the database file format.
TEST(PageCipherTest, GoldenPagesAndRoundTrip) {
  // RIPEMD-128 of each enciphered page, by algorithm ordinal.
  const char* golden[CryptoAlgorithmCount] = {
      "0591ca03bbb616f7dc4e05dcfe5383aa", "2b50ac967b8eb4df5306d80cee917df2", "92a25d150cec19ada3885a31945c0e1d",
      "2357210d914d4a98d06af94f5b7156a9", "b0e23263659ab2acf0293b189c3de1b7", "375bb42a0fa5e9c003eba007623eacb1",
      "bdf7b0006671d8a44e48ae81fbb2ddf0", "b46475a3defc48312fdfa693528a359d",
  };
  const Bytes page = Pattern(4096);
  for (int a = 0; a < CryptoAlgorithmCount; ++a) {
    const auto algorithm = static_cast<TABSCryptoAlgorithm>(a);
    SCOPED_TRACE(a);
    Bytes coded = page;
    ASSERT_TRUE(CipherEncodeBuffer(algorithm, coded.data(), 4096, "Tarnwick page key"));
    auto digest = THash_RipeMD128::Class()->Create(nullptr);
    digest->Init();
    digest->Calc(coded.data(), 4096);
    digest->Done();
    EXPECT_EQ(Hex(digest->DigestKey(), 16), golden[a]);
    Bytes back = coded;
    ASSERT_TRUE(CipherDecodeBuffer(algorithm, back.data(), 4096, "Tarnwick page key"));
    EXPECT_EQ(back, page);
    Bytes wrong = coded;
    ASSERT_TRUE(CipherDecodeBuffer(algorithm, wrong.data(), 4096, "Tarnwick page kez"));
    EXPECT_NE(wrong, page);
    // An odd length (the 256-byte control block is whole; a tail is not).
    Bytes odd = Pattern(1001);
    ASSERT_TRUE(CipherEncodeBuffer(algorithm, odd.data(), 1001, "pw"));
    ASSERT_TRUE(CipherDecodeBuffer(algorithm, odd.data(), 1001, "pw"));
    EXPECT_EQ(odd, Pattern(1001));
  }
  Bytes any = page;
  EXPECT_FALSE(CipherEncodeBuffer(static_cast<TABSCryptoAlgorithm>(8), any.data(), 4096, "pw"));
  EXPECT_EQ(CryptoHashClass(craRijndael_256), THash_RipeMD256::Class());
  EXPECT_EQ(CryptoCipherClass(craDES_Triple), TCipher_3TDES::Class());
}

TEST(CipherKeyTest, PasswordsAreHashedAsWindows1252) {
  // "café €" arrives as UTF-8; its key is the digest of the Windows-1252
  // bytes (é 0xE9, € 0x80).
  auto expected = THash_RipeMD256::Class()->Create(nullptr);
  expected->Init();
  expected->Calc("caf\xE9 \x80", 6);
  expected->Done();
  TCipher_Rijndael byDigest;
  byDigest.Init(expected->DigestKey(), std::min(expected->DigestKeySize(), byDigest.KeySize()), nullptr);
  TCipher_Rijndael byPassword;
  byPassword.InitKey("caf\xC3\xA9 \xE2\x82\xAC", nullptr);
  Bytes a = Pattern(64), b = Pattern(64);
  byDigest.EncodeBuffer(a.data(), a.data(), 64);
  byPassword.EncodeBuffer(b.data(), b.data(), 64);
  EXPECT_EQ(a, b);

  // A character the code page lacks would be lost: the password is refused.
  for (const char* password : {"\xC4\x80", "\xE6\x97\xA5\xE6\x9C\xAC", "ok\xF0\x9F\x94\x91"}) {
    TCipher_Rijndael c;
    try {
      c.InitKey(password, nullptr);
      ADD_FAILURE() << password;
    } catch (const ECipherException& e) {
      EXPECT_EQ(e.Message, "The password contains characters outside the Windows-1252 code page");
    }
    Bytes page = Pattern(4096);
    EXPECT_FALSE(CipherEncodeBuffer(craRijndael_128, page.data(), 4096, password));
  }
}

namespace {

Bytes FromHex(const char* hex) {
  Bytes b;
  for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
    b.push_back(static_cast<uint8_t>(std::stoi(std::string(hex + i, 2), nullptr, 16)));
  return b;
}

// AES-128 from the published mode examples (NIST SP 800-38A, appendix F).
const char* const kNistKey = "2b7e151628aed2a6abf7158809cf4f3c";
const char* const kNistIV = "000102030405060708090a0b0c0d0e0f";
const char* const kNistPlain =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e5130c81c46a35ce411e5fbc1191a0a52ef"
    "f69f2445df4f9b17ad2b417be66c3710";

Bytes NistEncode(TCipherMode mode, size_t length) {
  TCipher_Rijndael c;
  c.SetMode(mode);
  const Bytes key = FromHex(kNistKey), iv = FromHex(kNistIV);
  c.Init(key.data(), 16, iv.data());
  Bytes data = FromHex(kNistPlain);
  data.resize(length);
  c.EncodeBuffer(data.data(), data.data(), static_cast<int>(length));
  return data;
}

}  // namespace

TEST(CipherKnownAnswers, StandardModesGiveThePublishedAesVectors) {
  EXPECT_EQ(Hex(NistEncode(cmECB, 64).data(), 64),
            "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf43b1cd7f598ece23881b00e3ed030688"
            "7b0c785e27e8ad3f8223207104725dd4");
  EXPECT_EQ(Hex(NistEncode(cmCBC, 64).data(), 64),
            "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b273bed6b8e3c1743b7116e69e22229516"
            "3ff1caa1681fac09120eca307586e1a7");
  EXPECT_EQ(Hex(NistEncode(cmCFB, 18).data(), 18), "3b79424c9c0dd436bace9e0ed4586a4f32b9");  // CFB8
}

// The other modes against a small model written from their equations, over
// the AES block the vectors above pin down: two whole blocks and five bytes.
TEST(CipherKnownAnswers, OwnModesFollowTheirEquations) {
  const Bytes key = FromHex(kNistKey), iv = FromHex(kNistIV);
  TCipher_Rijndael block;
  block.SetMode(cmECB);
  block.Init(key.data(), 16, iv.data());
  const auto E = [&block](Bytes b) {
    block.EncodeBuffer(b.data(), b.data(), 16);
    return b;
  };
  const auto Xor = [](Bytes a, const Bytes& b) {
    for (size_t i = 0; i < a.size(); ++i) a[i] ^= b[i];
    return a;
  };
  const Bytes plain = Pattern(37, 3);
  struct Model {
    Bytes out, F;
  };
  const auto model = [&](TCipherMode mode) {
    Model m{Bytes(plain.size()), iv};
    const bool mac = mode == cmCTSMAC || mode == cmCBCMAC || mode == cmCFBMAC;
    if (mode == cmOFB || mode == cmCFBMAC) {
      for (size_t i = 0; i < plain.size(); ++i) {
        const Bytes U = E(m.F);
        m.out[i] = plain[i] ^ U[0];
        m.F.erase(m.F.begin());
        m.F.push_back(mode == cmOFB ? U[0] : static_cast<uint8_t>(plain[i] ^ U[0]));
      }
    } else {
      size_t i = 0;
      for (; i + 16 <= plain.size(); i += 16) {
        const Bytes P(plain.begin() + long(i), plain.begin() + long(i) + 16);
        const Bytes Q = E(Xor(P, m.F));
        std::copy(Q.begin(), Q.end(), m.out.begin() + long(i));
        m.F = mode == cmCBCMAC ? Q : Xor(Q, m.F);
      }
      if (i < plain.size()) {
        const Bytes U = E(m.F);
        for (size_t k = i; k < plain.size(); ++k) m.out[k] = plain[k] ^ U[k - i];
        m.F = Xor(U, m.F);
      }
    }
    if (mac) m.out = plain;  // nothing written
    return m;
  };
  for (TCipherMode mode : {cmCTS, cmOFB, cmCTSMAC, cmCBCMAC, cmCFBMAC}) {
    SCOPED_TRACE(static_cast<int>(mode));
    TCipher_Rijndael c;
    c.SetMode(mode);
    c.Init(key.data(), 16, iv.data());
    Bytes data = plain;
    c.EncodeBuffer(data.data(), data.data(), static_cast<int>(data.size()));
    const Model m = model(mode);
    EXPECT_EQ(Hex(data.data(), data.size()), Hex(m.out.data(), m.out.size()));
    EXPECT_EQ(Hex(c.Feedback(), 16), Hex(m.F.data(), 16));
  }
}
