#include "db/support/DAZRandom.h"

#include <chrono>
#include <mutex>
#include <random>

namespace {

class TSystemRandomSource : public TABSRandomSource {
 public:
  uint32_t Next32() override {
    std::lock_guard<std::mutex> lock(FLock);
    return static_cast<uint32_t>(FEngine());
  }
  uint64_t TickCount() override {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }

 private:
  std::mutex FLock;
  std::mt19937_64 FEngine{std::random_device{}()};
};

std::mutex SourceLock;
std::unique_ptr<TABSRandomSource>& Installed() {
  static std::unique_ptr<TABSRandomSource> source = std::make_unique<TSystemRandomSource>();
  return source;
}

}  // namespace

TABSRandomSource& RandomSource() {
  std::lock_guard<std::mutex> lock(SourceLock);
  return *Installed();
}

std::unique_ptr<TABSRandomSource> SetRandomSource(std::unique_ptr<TABSRandomSource> Source) {
  std::lock_guard<std::mutex> lock(SourceLock);
  if (!Source) Source = std::make_unique<TSystemRandomSource>();
  std::swap(Source, Installed());
  return Source;
}

uint32_t TABSSeededRandomSource::Next32() {
  // splitmix64: small, and the same sequence on every machine.
  uint64_t z = (FState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

int32_t ABSRandom(int32_t Range) {
  if (Range <= 0) return 0;
  return static_cast<int32_t>(RandomSource().Next32() % static_cast<uint32_t>(Range));
}

void ABSRandomBytes(void* Buffer, int Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  for (int i = 0; i < Count; ++i) p[i] = static_cast<uint8_t>(RandomSource().Next32());
}

uint64_t ABSTickCount() { return RandomSource().TickCount(); }

String CreateGUIDString() {
  uint8_t b[16];
  ABSRandomBytes(b, sizeof b);
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);  // variant
  static const char hex[] = "0123456789ABCDEF";
  String s = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) s += '-';
    s += hex[b[i] >> 4];
    s += hex[b[i] & 15];
  }
  return s + "}";
}

String AddGUIDToName(const String& Prefix) { return Prefix + CreateGUIDString(); }
