#pragma once
// Constant tables of the database engine: page-type names and SQL reserved words.

#include <string_view>

#include "platform/rtl/SysUtils.h"

constexpr int ABSPageTypeCount = 13;   // page types 0 .. 12
constexpr int ABSReservedWordCount = 292;

// The name of a page type (0 .. 12); 30382 "Unknown Page Type: (%d)" otherwise.
String PageTypeName(int PageType);
// The upper-case reserved words, indexed by their number.
extern const char* const ABSReservedWords[ABSReservedWordCount];
// The number of a reserved word (any case), -1 for other text.
int ReservedWordNumber(std::string_view Text);
