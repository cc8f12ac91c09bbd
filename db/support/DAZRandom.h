#pragma once
// The engine's one source of randomness and time: GUIDs, random numbers
// (page stamps, control blocks, generated names) and the millisecond clock.
// Tests install a deterministic source so stored files come out the same on
// every run.

#include <cstdint>
#include <memory>

#include "platform/rtl/SysUtils.h"

class TABSRandomSource {
 public:
  virtual ~TABSRandomSource() = default;
  // A uniformly distributed 32-bit value.
  virtual uint32_t Next32() = 0;
  // Milliseconds of a steady clock.
  virtual uint64_t TickCount() = 0;
};

// The installed source (a system one unless a test replaced it).
TABSRandomSource& RandomSource();
// Installs Source (nullptr restores the system source); returns the previous one.
std::unique_ptr<TABSRandomSource> SetRandomSource(std::unique_ptr<TABSRandomSource> Source);

// A value in 0 .. Range - 1 (0 for Range <= 0).
int32_t ABSRandom(int32_t Range);
void ABSRandomBytes(void* Buffer, int Count);
uint64_t ABSTickCount();
// A new GUID in the framework's text form: 38 characters, braces, upper-case
// hexadecimal digits in groups of 8-4-4-4-12.
String CreateGUIDString();
// Prefix followed by a new GUID (unique names of temporary objects).
String AddGUIDToName(const String& Prefix);

// A repeatable source for tests: a fixed-seed generator and a clock that
// advances only when told.
class TABSSeededRandomSource : public TABSRandomSource {
 public:
  explicit TABSSeededRandomSource(uint64_t Seed) : FState(Seed) {}
  uint32_t Next32() override;
  uint64_t TickCount() override { return Ticks; }
  uint64_t Ticks = 0;

 private:
  uint64_t FState;
};
