#pragma once
// Reading and writing BMP files: our own codec for the device-independent bitmaps.
//
// File layout (all little-endian):
//   file header, 14 bytes: "BM", file size (u32), two reserved u16, offset of the pixel rows (u32)
//   info header, 40 bytes (BITMAPINFOHEADER; the longer 52/56/108/124-byte forms are read too)
//   colour table: 4 bytes per entry for 1, 4 and 8 bits; three u32 masks for BI_BITFIELDS
//   pixel rows, each padded to 4 bytes, bottom row first (top row first when the height is negative)
// Read: 1, 4, 8, 16 (5-5-5, or 5-6-5 masks), 24 and 32 bits, uncompressed. Written
// the same way; 5-6-5 pictures carry BI_BITFIELDS masks so that they read back as 5-6-5.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"

constexpr WORD kBmpSignature = 0x4D42;  // "BM"
constexpr size_t kBmpFileHeaderSize = 14;

// Decodes a whole BMP file held in memory. Every size and offset read is checked
// against size: a truncated, oversized or inconsistent file gives nullptr and a
// reason in *error (when error is not null); nothing is read past data + size.
HBITMAP DecodeBmp(const uint8_t* data, size_t size, std::string* error);

// Appends bmp as a BMP file to out. False for an invalid handle.
bool EncodeBmp(HBITMAP bmp, std::vector<uint8_t>& out);
