#include "db/support/DAZCipher.h"

#include <cstring>
#include <mutex>

#include "db/support/DAZCiphers.h"
#include "db/support/DAZUnicode.h"

namespace {

inline void XorInto(uint8_t* dst, const uint8_t* src, int n) {
  for (int i = 0; i < n; ++i) dst[i] ^= src[i];
}

// Moves F one byte towards its start and puts b in its last byte.
inline void ShiftIn(uint8_t* f, int n, uint8_t b) {
  std::memmove(f, f + 1, static_cast<size_t>(n - 1));
  f[n - 1] = b;
}

// Passwords are hashed as Windows-1252 bytes, so that a file keyed on one
// machine opens on any other; a character that code page lacks would be
// lost (it has no byte), so such a password is refused.
AnsiString PasswordBytes(const String& Password) {
  const WideString wide = UTF8ToUTF16(Password);
  if (!IsAnsiRepresentable(wide))
    throw ECipherException("The password contains characters outside the Windows-1252 code page", 0);
  return WideToAnsi(wide);
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle and keys

TCipher::TCipher(TCipherClass Class, std::shared_ptr<TProtection> AProtection)
    : TProtection(std::move(AProtection)),
      FClass(Class),
      FHashClass(THash_RipeMD256::Class()),
      FKeySize(Class->KeySize),
      FBufSize(Class->BufSize),
      FUserSize(Class->UserSize),
      FBuffer(static_cast<size_t>(Class->BufSize)),
      FVector(static_cast<size_t>(Class->BufSize)),
      FFeedback(static_cast<size_t>(Class->BufSize)),
      FUser(static_cast<size_t>((Class->UserSize + 3) / 4)) {
  TCipher::Protect();
}

TCipher::~TCipher() { TCipher::Protect(); }

void TCipher::CreateKey(const String& Password) {
  if (!Password.empty()) InitKey(Password, nullptr);
}

std::shared_ptr<TCipher> CreateCipher(TCipherClass Class, const String& Password,
                                      std::shared_ptr<TProtection> AProtection) {
  return Class->Create(Password, std::move(AProtection));
}

THash& TCipher::Hash() {
  if (!FHash) FHash = (FHashClass ? FHashClass : THash_RipeMD256::Class())->Create(nullptr);
  return *FHash;
}

void TCipher::SetHashClass(THashClass Value) {
  if (Value == FHashClass) return;
  FHash.reset();
  FHashClass = Value ? Value : THash_RipeMD256::Class();
}

void TCipher::SetFlagBit(int Index, bool Value) {
  if (Value)
    FFlags |= 1 << Index;
  else
    FFlags &= ~(1 << Index);
}

void TCipher::Protect() {
  SetFlagBit(0, false);
  SetFlagBit(1, false);
  for (const uint8_t fill : {0xAA, 0x55}) {
    std::memset(FVector.data(), fill, FVector.size());
    std::memset(FFeedback.data(), fill, FFeedback.size());
    std::memset(FBuffer.data(), fill, FBuffer.size());
    std::memset(FUser.data(), fill, FUser.size() * 4);
  }
  std::memset(FVector.data(), 0xFF, FVector.size());
  std::memset(FFeedback.data(), 0xFF, FFeedback.size());
  std::memset(FBuffer.data(), 0, FBuffer.size());
  std::memset(FUser.data(), 0, FUser.size() * 4);
}

void TCipher::StartInit(int& Size) {
  SetFlagBit(1, false);
  Protect();
  Size = std::clamp(Size, 0, FKeySize);
}

void TCipher::FinishInit(const void* IVector) {
  if (IVector) {
    std::memmove(FVector.data(), IVector, FVector.size());
  } else {
    EncryptBlock(FVector.data());
  }
  std::memcpy(FFeedback.data(), FVector.data(), FFeedback.size());
  SetFlagBit(1, true);
}

void TCipher::InitKey(const String& Key, const void* IVector) {
  const AnsiString bytes = PasswordBytes(Key);
  THash& hash = Hash();
  hash.Init();
  hash.Calc(bytes.data(), static_cast<int>(bytes.size()));
  hash.Done();
  const int size = std::min(hash.DigestKeySize(), FKeySize);
  Init(hash.DigestKey(), size, IVector);
  // Leave no key material in the hash: encipher its digest in place.
  auto* digest = const_cast<uint8_t*>(hash.DigestKey());
  const int digestSize = hash.DigestKeySize();
  if (FMode == cmECB) {
    const int whole = digestSize - digestSize % FBufSize;
    for (int i = 0; i < whole; i += FBufSize) EncryptBlock(digest + i);
    if (whole < digestSize) {
      std::memcpy(FBuffer.data(), digest + whole, static_cast<size_t>(digestSize - whole));
      EncryptBlock(FBuffer.data());
      std::memcpy(digest + whole, FBuffer.data(), static_cast<size_t>(digestSize - whole));
    }
  } else {
    EncodeBuffer(digest, digest, digestSize);
  }
  Done();
  SetFlagBit(0, true);
}

void TCipher::Done() {
  if (FVector != FFeedback) {
    FBuffer = FFeedback;
    FFeedback = FVector;
  }
}

void TCipher::TestVector() const { throw Exception("Not implemented 14"); }

void TCipher::SelfTest(TCipherClass Class) {
  auto cipher = CreateCipher(Class);
  cipher->SetMode(cmCTS);
  cipher->Init(Class->ClassName, static_cast<int>(std::strlen(Class->ClassName)), nullptr);
  throw Exception("Not implemented 14");
}

void TCipher::CheckInitialized() const {
  if (!Initialized())
    throw ECipherException(ClassName() + " is not initialized call Init() or InitKey() before.",
                           errCipherNotInitialized);
}

// ---------------------------------------------------------------------------
// Block modes

// A final partial block of the chained modes: a key stream E(F) xor the data;
// its bytes never enter the feedback.
void TCipher::CodeTail(const uint8_t* in, uint8_t* out, int r) {
  const int B = FBufSize;
  uint8_t* U = FBuffer.data();
  uint8_t* F = FFeedback.data();
  std::memcpy(U, F, static_cast<size_t>(B));
  EncryptBlock(U);
  for (int i = 0; i < r; ++i) out[i] = in[i] ^ U[i];
  XorInto(F, U, B);
}

void TCipher::MacBlocks(const uint8_t* in, int DataSize) {
  const int B = FBufSize;
  uint8_t* U = FBuffer.data();
  uint8_t* F = FFeedback.data();
  if (FMode == cmCFBMAC) {
    for (int i = 0; i < DataSize; ++i) {
      std::memcpy(U, F, static_cast<size_t>(B));
      EncryptBlock(U);
      ShiftIn(F, B, in[i] ^ U[0]);
    }
    return;
  }
  const int whole = DataSize - DataSize % B;
  for (int i = 0; i < whole; i += B) {
    for (int j = 0; j < B; ++j) U[j] = in[i + j] ^ F[j];
    EncryptBlock(U);
    if (FMode == cmCTSMAC)
      XorInto(F, U, B);
    else
      std::memcpy(F, U, static_cast<size_t>(B));
  }
  if (whole < DataSize) {
    std::memcpy(U, F, static_cast<size_t>(B));
    EncryptBlock(U);
    XorInto(F, U, B);
  }
}

// 8-bit CFB and OFB: each byte is coded with the first byte of E(F); CFB
// feeds the ciphertext byte back, OFB the key-stream byte.
void TCipher::CodeBytes(const uint8_t* in, uint8_t* out, int DataSize, bool Decipher) {
  const int B = FBufSize;
  uint8_t* U = FBuffer.data();
  uint8_t* F = FFeedback.data();
  for (int i = 0; i < DataSize; ++i) {
    std::memcpy(U, F, static_cast<size_t>(B));
    EncryptBlock(U);
    const uint8_t coded = in[i] ^ U[0];
    const uint8_t cipherByte = Decipher ? in[i] : coded;
    out[i] = coded;
    ShiftIn(F, B, FMode == cmCFB ? cipherByte : U[0]);
  }
}

// A partial block cannot come back through ECB, so it is refused before
// anything is written.
void TCipher::CodeECB(const uint8_t* in, uint8_t* out, int DataSize, bool Decipher) {
  const int B = FBufSize;
  if (DataSize % B != 0)
    throw ECipherException(ClassName() + ": ECB mode cannot code a final partial block.", errCipherPartialBlock);
  if (out != in) std::memmove(out, in, static_cast<size_t>(DataSize));
  for (int i = 0; i < DataSize; i += B) Decipher ? DecryptBlock(out + i) : EncryptBlock(out + i);
}

void TCipher::EncodeBuffer(const void* Source, void* Dest, int DataSize) {
  CheckInitialized();
  if (DataSize <= 0) return;
  const int B = FBufSize;
  const int whole = DataSize - DataSize % B;
  const int r = DataSize - whole;
  const auto* in = static_cast<const uint8_t*>(Source);
  auto* out = static_cast<uint8_t*>(Dest);
  uint8_t* U = FBuffer.data();
  uint8_t* F = FFeedback.data();
  switch (FMode) {
    case cmCTS:
    case cmCBC:
      for (int i = 0; i < whole; i += B) {
        for (int j = 0; j < B; ++j) U[j] = in[i + j] ^ F[j];
        EncryptBlock(U);
        std::memcpy(out + i, U, static_cast<size_t>(B));
        if (FMode == cmCTS)
          XorInto(F, U, B);
        else
          std::memcpy(F, U, static_cast<size_t>(B));
      }
      if (r > 0) CodeTail(in + whole, out + whole, r);
      break;
    case cmCFB:
    case cmOFB:
      CodeBytes(in, out, DataSize, false);
      break;
    case cmECB:
      CodeECB(in, out, DataSize, false);
      break;
    case cmCTSMAC:
    case cmCBCMAC:
    case cmCFBMAC:
      MacBlocks(in, DataSize);
      break;
  }
}

void TCipher::DecodeBuffer(const void* Source, void* Dest, int DataSize) {
  CheckInitialized();
  if (DataSize <= 0) return;
  const int B = FBufSize;
  const int whole = DataSize - DataSize % B;
  const int r = DataSize - whole;
  const auto* in = static_cast<const uint8_t*>(Source);
  auto* out = static_cast<uint8_t*>(Dest);
  uint8_t* U = FBuffer.data();
  uint8_t* F = FFeedback.data();
  switch (FMode) {
    case cmCTS:
    case cmCBC:
      if (out != in) std::memmove(out, in, static_cast<size_t>(DataSize));
      for (int i = 0; i < whole; i += B) {
        uint8_t* block = out + i;
        // U keeps the next feedback: Q xor F (CTS) or Q (CBC).
        std::memcpy(U, block, static_cast<size_t>(B));
        if (FMode == cmCTS) XorInto(U, F, B);
        DecryptBlock(block);
        XorInto(block, F, B);
        std::memcpy(F, U, static_cast<size_t>(B));
      }
      if (r > 0) CodeTail(out + whole, out + whole, r);
      break;
    case cmCFB:
    case cmOFB:
      CodeBytes(in, out, DataSize, true);
      break;
    case cmECB:
      CodeECB(in, out, DataSize, true);
      break;
    case cmCTSMAC:
    case cmCBCMAC:
    case cmCFBMAC:
      MacBlocks(in, DataSize);
      break;
  }
}

// ---------------------------------------------------------------------------
// Protection actions

void TCipher::BeginAction(TPAction Action) {
  CheckInitialized();
  if (Action != paCalc) {
    if (Action == paWipe) throw Exception("Not implemented 12");
    Done();
  }
  TProtection::BeginAction(Action);
}

void TCipher::EndAction(TPAction Action) {
  TProtection::EndAction(Action);
  if (Action != paCalc) {
    if (Action == paWipe) throw Exception("Not implemented 12");
    Done();
  }
}

// A chain is undone in the reverse order in which it was applied.
void TCipher::ApplyToBuffer(void* Buffer, int Size, TPAction Action) {
  if (Action == paDecode) {
    if (HasAction(paDecode)) DecodeBuffer(Buffer, Buffer, Size);
    TProtection::ApplyToBuffer(Buffer, Size, Action);
  } else {
    TProtection::ApplyToBuffer(Buffer, Size, Action);
    if (HasAction(Action)) EncodeBuffer(Buffer, Buffer, Size);
  }
}

// ---------------------------------------------------------------------------
// Registry

namespace {

struct CipherRegistry {
  std::mutex lock;
  std::vector<std::pair<String, TCipherClass>> entries{{"Rijndael=", TCipher_Rijndael::Class()}};
};

CipherRegistry& Ciphers() {
  static CipherRegistry registry;
  return registry;
}

String TrimBlanks(const String& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == String::npos) return String();
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool AddCipher(TCipherClass CipherClass, const String& Name, const String& Description) {
  if (!CipherClass) return false;
  String name = TrimBlanks(Name);
  if (name.empty()) {
    name = CipherClass->ClassName;
    if (!name.empty() && (name[0] == 'T' || name[0] == 't')) name.erase(0, 1);
    const auto underscore = name.find('_');
    if (underscore != String::npos) name.erase(0, underscore + 1);
  }
  auto& registry = Ciphers();
  std::lock_guard guard(registry.lock);
  const String text = name + "=" + Description;
  for (auto& entry : registry.entries)
    if (entry.second == CipherClass) {
      entry.first = text;
      return true;
    }
  registry.entries.emplace_back(text, CipherClass);
  return true;
}

std::vector<std::pair<String, TCipherClass>> RegisteredCiphers() {
  auto& registry = Ciphers();
  std::lock_guard guard(registry.lock);
  return registry.entries;
}

// ---------------------------------------------------------------------------
// Database algorithms

TCipherClass CryptoCipherClass(TABSCryptoAlgorithm Algorithm) {
  switch (Algorithm) {
    case craRijndael_128:
    case craRijndael_256: return TCipher_Rijndael::Class();
    case craDES_Single: return TCipher_1DES::Class();
    case craDES_Triple: return TCipher_3TDES::Class();
    case craBlowfish: return TCipher_Blowfish::Class();
    case craTwofish_128:
    case craTwofish_256: return TCipher_Twofish::Class();
    case craSquare: return TCipher_Square::Class();
  }
  return nullptr;
}

THashClass CryptoHashClass(TABSCryptoAlgorithm Algorithm) {
  switch (Algorithm) {
    case craRijndael_256:
    case craBlowfish:
    case craTwofish_256: return THash_RipeMD256::Class();
    case craRijndael_128:
    case craDES_Single:
    case craDES_Triple:
    case craTwofish_128:
    case craSquare: return THash_RipeMD128::Class();
  }
  return nullptr;
}

namespace {

bool CipherCodeBuffer(bool encode, TABSCryptoAlgorithm Algorithm, void* Buffer, int DataSize,
                      const String& Password) {
  TCipherClass cipherClass = static_cast<unsigned>(Algorithm) < CryptoAlgorithmCount ? CryptoCipherClass(Algorithm)
                                                                                      : nullptr;
  if (!cipherClass || DataSize < 0 || (!Buffer && DataSize > 0)) return false;
  try {
    // Made without the password: a key derived at creation would be replaced
    // by the one below, so deriving it is wasted work.
    auto cipher = CreateCipher(cipherClass);
    cipher->SetHashClass(CryptoHashClass(Algorithm));
    cipher->InitKey(Password, cipher->Vector());
    if (encode)
      cipher->EncodeBuffer(Buffer, Buffer, DataSize);
    else
      cipher->DecodeBuffer(Buffer, Buffer, DataSize);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool CipherEncodeBuffer(TABSCryptoAlgorithm Algorithm, void* Buffer, int DataSize, const String& Password) {
  return CipherCodeBuffer(true, Algorithm, Buffer, DataSize, Password);
}

bool CipherDecodeBuffer(TABSCryptoAlgorithm Algorithm, void* Buffer, int DataSize, const String& Password) {
  return CipherCodeBuffer(false, Algorithm, Buffer, DataSize, Password);
}
