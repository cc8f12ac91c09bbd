#pragma once
// The engine's text services: the 8-bit code page (fixed to Windows-1252, so
// stored text means the same on every machine), case mapping, comparison by
// a fixed locale-independent collation (index order is stored in files, so
// it must never follow the user's locale), and SQL LIKE matching.

#include <string>
#include <string_view>

#include "db/support/DAZTypes.h"

// 8-bit <-> 16-bit text. Every 8-bit byte maps to one 16-bit character and
// back; characters the code page lacks become "?".
WideString AnsiToWide(std::string_view Text);
AnsiString WideToAnsi(std::u16string_view Text);
// 8-bit text <-> UTF-8 (the platform's String).
AnsiString UTF8ToAnsi(std::string_view Text);
String AnsiToUTF8(std::string_view Text);
// True when every character of Text exists in the 8-bit code page.
bool IsAnsiRepresentable(std::u16string_view Text);

// Simple (length-keeping) Unicode case mapping, character by character.
WideString UnicodeUpperCase(const WideString& Text);
WideString UnicodeLowerCase(const WideString& Text);
AnsiString AnsiUpperCaseText(std::string_view Text);
AnsiString AnsiLowerCaseText(std::string_view Text);

// Collation order of two texts (root collation; case ignored when asked,
// accents never): <0, 0 or >0.
int CompareWideText(std::u16string_view Left, std::u16string_view Right, bool CaseInsensitive);
int CompareAnsiText(std::string_view Left, std::string_view Right, bool CaseInsensitive);

// SQL LIKE over zero-terminated text: "%" any run (also empty), "_" one
// character, EscapeChar makes the next pattern character literal. Runs in
// O(text x pattern) whatever the pattern.
bool AnsiStrLike(const char* Text, const char* Pattern, bool UseEscape, char EscapeChar, bool CaseInsensitive);
bool WideStrLike(const char16_t* Text, const char16_t* Pattern, bool UseEscape, char16_t EscapeChar,
                 bool CaseInsensitive);
// The last two arguments swapped would convert silently; refuse that order.
bool AnsiStrLike(const char*, const char*, bool, bool, char) = delete;
bool WideStrLike(const char16_t*, const char16_t*, bool, bool, char16_t) = delete;
