#pragma once
// Character tables of the content matcher (8-bit, UTF-16 and UTF-8) of the file
// search. Built once; the matchers only index them.
//
// The 8-bit tables describe the system's 8-bit code page, which on this
// platform is UTF-8: only ASCII letters fold, and bytes of multi-byte
// sequences count as word characters.

#include <array>
#include <cstdint>

struct TCaseTables {
  std::array<uint8_t, 256> AnsiIdentity;
  std::array<uint8_t, 256> AnsiLower;
  std::array<uint8_t, 256> AnsiDelimiters;  // 1 = not alphanumeric
  std::array<uint16_t, 65536> WideIdentity;
  std::array<uint16_t, 65536> WideLower;
  std::array<uint8_t, 65536> WideDelimiters;  // 1 = not alphanumeric
};

// The tables, built on first use (thread-safe).
const TCaseTables& CaseTables();
