#include "db/support/DAZHash.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

String Hex(const uint8_t* p, int n) {
  static const char digits[] = "0123456789abcdef";
  String s;
  for (int i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

struct Vector {
  THashClass (*Class)();
  const char* Message;
  const char* Digest;
};

const String kDigits80 = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";

// RFC 1320 appendix A.5 and the RIPEMD authors' published values.
const Vector kVectors[] = {
    {THash_MD4::Class, "", "31d6cfe0d16ae931b73c59d7e0c089c0"},
    {THash_MD4::Class, "a", "bde52cb31de33e46245e05fbdbd6fb24"},
    {THash_MD4::Class, "abc", "a448017aaf21d8525fc10ae87aa6729d"},
    {THash_MD4::Class, "message digest", "d9130a8164549fe818874806e1c7014b"},
    {THash_MD4::Class, "abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9"},
    {THash_MD4::Class, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "043f8582f241db351ce627e153e7f0e4"},
    {THash_MD4::Class, kDigits80.c_str(), "e33b4ddc9c38f2199c3e7b164fcc0536"},
    {THash_RipeMD128::Class, "", "cdf26213a150dc3ecb610f18f6b38b46"},
    {THash_RipeMD128::Class, "a", "86be7afa339d0fc7cfc785e72f578d33"},
    {THash_RipeMD128::Class, "abc", "c14a12199c66e4ba84636b0f69144c77"},
    {THash_RipeMD128::Class, "message digest", "9e327b3d6e523062afc1132d7df9d1b8"},
    {THash_RipeMD128::Class, "abcdefghijklmnopqrstuvwxyz", "fd2aa607f71dc8f510714922b371834e"},
    {THash_RipeMD128::Class, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "a1aa0689d0fafa2ddc22e88b49133a06"},
    {THash_RipeMD128::Class, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d1e959eb179c911faea4624c60c5c702"},
    {THash_RipeMD128::Class, kDigits80.c_str(), "3f45ef194732c2dbb2c4a2c769795fa3"},
    {THash_RipeMD256::Class, "", "02ba4c4e5f8ecd1877fc52d64d30e37a2d9774fb1e5d026380ae0168e3c5522d"},
    {THash_RipeMD256::Class, "a", "f9333e45d857f5d90a91bab70a1eba0cfb1be4b0783c9acfcd883a9134692925"},
    {THash_RipeMD256::Class, "abc", "afbd6e228b9d8cbbcef5ca2d03e6dba10ac0bc7dcbe4680e1e42d2e975459b65"},
    {THash_RipeMD256::Class, "message digest", "87e971759a1ce47a514d5c914c392c9018c7c46bc14465554afcdf54a5070c0e"},
    {THash_RipeMD256::Class, "abcdefghijklmnopqrstuvwxyz",
     "649d3034751ea216776bf9a18acc81bc7896118a5197968782dd1fd97d8d5133"},
    {THash_RipeMD256::Class, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
     "3843045583aac6c8c8d9128573e7a9809afb2a0f34ccc36ea9e72f16f6368e3f"},
    {THash_RipeMD256::Class, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "5740a408ac16b720b84424ae931cbb1fe363d1d0bf4017f1a89f7ea6de77a0b8"},
    {THash_RipeMD256::Class, kDigits80.c_str(), "06fdcc7a409548aaf91368c06a6275b553e3f099bf0ea4edfd6778df89a890dd"},
};

}  // namespace

TEST(HashTest, PublishedVectorsWholeBytewiseAndSplit) {
  std::mt19937 random(7);
  for (const auto& v : kVectors) {
    const String message = v.Message;
    SCOPED_TRACE(String(v.Class()->ClassName) + " \"" + message + "\"");
    auto hash = v.Class()->Create(nullptr);
    const int size = hash->DigestKeySize();

    hash->Init();
    hash->Calc(message.data(), static_cast<int>(message.size()));
    hash->Done();
    EXPECT_EQ(Hex(hash->DigestKey(), size), v.Digest);

    hash->Init();
    for (char c : message) hash->Calc(&c, 1);
    hash->Done();
    EXPECT_EQ(Hex(hash->DigestKey(), size), v.Digest);

    for (int round = 0; round < 5; ++round) {
      hash->Init();
      size_t pos = 0;
      while (pos < message.size()) {
        const size_t n = std::min<size_t>(random() % 70, message.size() - pos);
        hash->Calc(message.data() + pos, static_cast<int>(n));
        pos += n;
      }
      hash->Done();
      EXPECT_EQ(Hex(hash->DigestKey(), size), v.Digest);
    }
  }
}

TEST(HashTest, TextDigestsAndStreams) {
  // 16 digest bytes in Base64: 24 characters ending in "==".
  const String empty = THash::CalcString(THash_RipeMD128::Class(), "", nullptr, 4196);
  EXPECT_EQ(empty, "zfJiE6FQ3D7LYQ8Y9rOLRg==");
  EXPECT_EQ(THash::CalcString(THash_MD4::Class(), "abc"), "pEgBeq8h2FJfwQroeqZynQ==");

  // A stream digest reads from position 0 when the size is negative.
  struct Stream {
    String data;
    int64_t pos = 0;
    int Read(void* b, int n) {
      n = static_cast<int>(std::min<int64_t>(n, static_cast<int64_t>(data.size()) - pos));
      std::memcpy(b, data.data() + pos, static_cast<size_t>(n));
      pos += n;
      return n;
    }
    int64_t GetPosition() const { return pos; }
    void SetPosition(int64_t p) { pos = p; }
    int64_t GetSize() const { return static_cast<int64_t>(data.size()); }
  } stream{String(10000, 'x'), 123};
  std::vector<int64_t> progress;
  ProtectionProgress() = [&](void*, int64_t current, int64_t maximum) {
    progress.push_back(current);
    progress.push_back(maximum);
  };
  const String viaStream = THash::CalcStream(THash_RipeMD256::Class(), &stream, -1);
  ProtectionProgress() = nullptr;
  EXPECT_EQ(viaStream, THash::CalcString(THash_RipeMD256::Class(), String(10000, 'x')));
  EXPECT_EQ(progress, (std::vector<int64_t>{0, 10000, 4096, 10000, 8192, 10000, 10000, 10000, 0, 0}));
}

TEST(HashTest, KeyStreamCodingIsItsOwnInverse) {
  for (auto cls : {THash_MD4::Class(), THash_RipeMD256::Class()}) {
    auto hash = cls->Create(nullptr);
    String data = "The key stream depends only on the chunk count, not on the data.";
    const String original = data;
    hash->CodeBuffer(data.data(), static_cast<int>(data.size()), paEncode);
    EXPECT_NE(data, original);
    hash->CodeBuffer(data.data(), static_cast<int>(data.size()), paDecode);
    EXPECT_EQ(data, original);
  }
  auto hash = THash_MD4::Class()->Create(nullptr);
  EXPECT_THROW(hash->CodeBuffer(nullptr, 0, paWipe), Exception);
}
