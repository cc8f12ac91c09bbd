#pragma once
// Message digests of the engine: MD4, RIPEMD-128 and RIPEMD-256 on one
// 64-byte-block engine. Their use is key derivation for the ciphers; as
// protections they also digest buffers, streams, strings and files.

#include <cstdint>
#include <memory>

#include "db/support/DAZDecUtil.h"

class THash;

// A hash class reference: what the class methods of a hash class need.
struct THashClassRec {
  const char* ClassName;
  int DigestKeySize;
  std::shared_ptr<THash> (*Create)(std::shared_ptr<TProtection> AProtection);
};
using THashClass = const THashClassRec*;

class THash : public TProtection {
 public:
  using TProtection::TProtection;

  void BeginAction(TPAction Action) override;
  void EndAction(TPAction Action) override;
  void ApplyToBuffer(void* Buffer, int Size, TPAction Action) override;

  virtual void TestVector() const;
  virtual void Init() {}
  virtual void Calc(const void* Data, int DataSize);
  virtual void Done() {}
  // The DigestKeySize bytes of the finished digest.
  virtual const uint8_t* DigestKey();
  virtual int DigestKeySize() const { return 0; }

  // The digest as text in a string format (-1: the default, MIME Base64).
  String DigestStr(int Format = -1);

  // Make a hash of the class, digest the input, answer the digest in Format.
  // The chained protection takes no part in the digest.
  static String CalcBuffer(THashClass Class, const void* Buffer, int BufferSize,
                           std::shared_ptr<TProtection> Protection = nullptr, int Format = -1);
  static String CalcString(THashClass Class, const String& Data, std::shared_ptr<TProtection> Protection = nullptr,
                           int Format = -1);
  // StreamSize bytes from the current position (negative: the whole stream from 0).
  template <class TStreamLike>
  static String CalcStream(THashClass Class, TStreamLike* Stream, int64_t StreamSize,
                           std::shared_ptr<TProtection> Protection = nullptr, int Format = -1);
  static String CalcFile(THashClass Class, const String& FileName, std::shared_ptr<TProtection> Protection = nullptr,
                         int Format = -1);
  [[noreturn]] static void SelfTest();

 protected:
  template <class TStreamLike>
  void CalcFromStream(TStreamLike* Stream, int64_t StreamSize);
};

template <class TStreamLike>
void THash::CalcFromStream(TStreamLike* Stream, int64_t StreamSize) {
  if (StreamSize < 0) {
    Stream->SetPosition(0);
    StreamSize = Stream->GetSize();
  }
  DoProtectionProgress(this, 0, StreamSize);
  try {
    uint8_t buffer[ProtectionChunkSize];
    int64_t done = 0;
    while (done < StreamSize) {
      const int got = Stream->Read(buffer, static_cast<int>(std::min<int64_t>(ProtectionChunkSize, StreamSize - done)));
      if (got <= 0) break;
      Calc(buffer, got);
      done += got;
      DoProtectionProgress(this, done, StreamSize);
    }
  } catch (...) {
    DoProtectionProgress(this, 0, 0);
    throw;
  }
  DoProtectionProgress(this, 0, 0);
}

template <class TStreamLike>
String THash::CalcStream(THashClass Class, TStreamLike* Stream, int64_t StreamSize,
                         std::shared_ptr<TProtection> Protection, int Format) {
  auto hash = Class->Create(std::move(Protection));
  hash->Init();
  hash->CalcFromStream(Stream, StreamSize);
  hash->Done();
  return hash->DigestStr(Format);
}

// MD4 (RFC 1320) and the 64-byte-block engine its descendants share.
class THash_MD4 : public THash {
 public:
  using THash::THash;
  ~THash_MD4() override;

  static THashClass Class();

  void TestVector() const override;
  void Init() override;
  void Calc(const void* Data, int DataSize) override;
  void Done() override;
  const uint8_t* DigestKey() override { return reinterpret_cast<const uint8_t*>(FDigestBytes); }
  int DigestKeySize() const override { return 16; }

 protected:
  // Compresses one 64-byte block into the state.
  virtual void HashBlock(const uint8_t* Block);
  // The state words, as the digest reads them (little-endian words).
  uint32_t Word(int i) const;
  void SetWord(int i, uint32_t v);

  uint32_t FCount = 0;  // message bytes since Init, wrapping
  uint8_t FBuffer[64] = {};

 private:
  uint8_t FDigestBytes[40] = {};  // ten 32-bit state words, little-endian
};

class THash_RipeMD128 : public THash_MD4 {
 public:
  using THash_MD4::THash_MD4;
  static THashClass Class();
  void TestVector() const override;

 protected:
  void HashBlock(const uint8_t* Block) override;
};

class THash_RipeMD256 : public THash_MD4 {
 public:
  using THash_MD4::THash_MD4;
  static THashClass Class();
  void TestVector() const override;
  void Init() override;
  int DigestKeySize() const override { return 32; }

 protected:
  void HashBlock(const uint8_t* Block) override;
};
