#pragma once
// The cipher framework of the engine: key derivation from a password through
// a hash, the initialisation vector and running feedback, and eight block
// modes that code buffers of any length (ciphertext is exactly as long as
// plaintext). The storage engine enciphers pages with it through
// CipherEncodeBuffer / CipherDecodeBuffer below.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "db/support/DAZDecUtil.h"
#include "db/support/DAZHash.h"

enum TCipherMode : uint8_t { cmCTS, cmCBC, cmCFB, cmOFB, cmECB, cmCTSMAC, cmCBCMAC, cmCFBMAC };

class ECipherException : public Exception {
 public:
  ECipherException(String Message, int AErrorCode) : Exception(std::move(Message)), ErrorCode(AErrorCode) {}
  int ErrorCode;
};

// ErrorCode of a cipher used before a key was set.
constexpr int errCipherNotInitialized = 3;
// ErrorCode of an ECB call whose data ends in a partial block.
constexpr int errCipherPartialBlock = 4;

// The database's choice of cipher, stored as one byte (ordinals 0 to 7).
enum TABSCryptoAlgorithm : uint8_t {
  craRijndael_128,
  craRijndael_256,
  craDES_Single,
  craDES_Triple,
  craBlowfish,
  craTwofish_128,
  craTwofish_256,
  craSquare
};
// The storage engine's name for the same enumeration.
using TVelqorimCryptoAlgorithm = TABSCryptoAlgorithm;
constexpr int CryptoAlgorithmCount = 8;

class TCipher;

// A cipher class reference: sizes and a maker.
struct TCipherClassRec {
  const char* ClassName;
  int BufSize;   // block length in bytes
  int KeySize;   // maximum key length in bytes
  int UserSize;  // key-schedule context in bytes
  std::shared_ptr<TCipher> (*Create)(const String& Password, std::shared_ptr<TProtection> AProtection);
};
using TCipherClass = const TCipherClassRec*;

class TCipher : public TProtection {
 public:
  ~TCipher() override;

  TCipherClass ClassType() const { return FClass; }
  String ClassName() const { return FClass->ClassName; }

  TCipherMode GetMode() const { return FMode; }
  void SetMode(TCipherMode Value) { FMode = Value; }

  // The hash that derives keys, made on first use.
  THash& Hash();
  THashClass HashClass() const { return FHashClass; }
  // Null selects THash_RipeMD256.
  void SetHashClass(THashClass Value);

  int KeySize() const { return FKeySize; }
  int BufSize() const { return FBufSize; }
  static int MaxKeySize(TCipherClass Class) { return Class->KeySize; }
  const uint8_t* Vector() const { return FVector.data(); }
  const uint8_t* Feedback() const { return FFeedback.data(); }
  bool HasHashKey() const { return (FFlags & 1) != 0; }
  bool Initialized() const { return (FFlags & 2) != 0; }

  // Key setup from Size bytes (cut to KeySize) and the vector: IVector's
  // BufSize bytes, or when null the block of 0xFF bytes enciphered.
  virtual void Init(const void* Key, int Size, const void* IVector) = 0;
  // Key from a password (UTF-8): the digest, under the hash class, of its
  // Windows-1252 bytes. ECipherException when a character lacks a byte there.
  void InitKey(const String& Key, const void* IVector);
  // Sets the feedback back to the vector.
  virtual void Done();
  // Wipes vector, feedback, scratch block and key schedule; uninitialised.
  virtual void Protect();

  // Code DataSize bytes from Source to Dest (may be the same buffer) in the
  // current mode; the feedback carries over from call to call. In the MAC
  // modes nothing is written and the result is Feedback().
  void EncodeBuffer(const void* Source, void* Dest, int DataSize);
  void DecodeBuffer(const void* Source, void* Dest, int DataSize);

  // One block in place.
  virtual void EncryptBlock(void* Block) = 0;
  virtual void DecryptBlock(void* Block) = 0;

  virtual void TestVector() const;
  [[noreturn]] static void SelfTest(TCipherClass Class);

  void BeginAction(TPAction Action) override;
  void EndAction(TPAction Action) override;
  void ApplyToBuffer(void* Buffer, int Size, TPAction Action) override;

  // The key schedule (UserSize bytes).
  uint8_t* User() { return reinterpret_cast<uint8_t*>(FUser.data()); }

 protected:
  TCipher(TCipherClass Class, std::shared_ptr<TProtection> AProtection);
  // The last step of every maker: derive a key when a password is given.
  void CreateKey(const String& Password);

  virtual void SetFlagBit(int Index, bool Value);
  // First step of every Init: wipes the state and fits Size into 0..KeySize.
  void StartInit(int& Size);
  // Last step of every Init.
  virtual void FinishInit(const void* IVector);

  uint32_t* UserWords() { return FUser.data(); }

 private:
  void CheckInitialized() const;
  void CodeTail(const uint8_t* in, uint8_t* out, int r);
  void CodeBytes(const uint8_t* in, uint8_t* out, int DataSize, bool Decipher);
  void CodeECB(const uint8_t* in, uint8_t* out, int DataSize, bool Decipher);
  void MacBlocks(const uint8_t* in, int DataSize);

  TCipherClass FClass;
  TCipherMode FMode = cmCTS;
  std::shared_ptr<THash> FHash;
  THashClass FHashClass;
  int FKeySize;
  int FBufSize;
  int FUserSize;
  std::vector<uint8_t> FBuffer;    // scratch block U
  std::vector<uint8_t> FVector;    // V
  std::vector<uint8_t> FFeedback;  // F
  std::vector<uint32_t> FUser;     // key schedule, word-aligned
  int FFlags = 0;                  // bit 0: key from a password, bit 1: key set
};

// Make a cipher of a class (with a key from Password when it is not empty).
std::shared_ptr<TCipher> CreateCipher(TCipherClass Class, const String& Password = String(),
                                      std::shared_ptr<TProtection> AProtection = nullptr);

// The cipher registry: "Name=Description" texts with their classes, in order.
// Holds TCipher_Rijndael before the first use.
bool AddCipher(TCipherClass CipherClass, const String& Name, const String& Description);
std::vector<std::pair<String, TCipherClass>> RegisteredCiphers();

// The cipher and key hash of each database algorithm.
TCipherClass CryptoCipherClass(TABSCryptoAlgorithm Algorithm);
THashClass CryptoHashClass(TABSCryptoAlgorithm Algorithm);

// Enciphers (deciphers) a buffer in place the way the storage engine codes its
// pages: a fresh cipher of the algorithm, the key the password's digest, the
// vector one block of 0xFF bytes, mode cmCTS. False on any failure (an unknown
// algorithm included); the buffer is then unspecified.
bool CipherEncodeBuffer(TABSCryptoAlgorithm Algorithm, void* Buffer, int DataSize, const String& Password);
bool CipherDecodeBuffer(TABSCryptoAlgorithm Algorithm, void* Buffer, int DataSize, const String& Password);
