#pragma once
// Alpha colours and reading a bitmap's pixels as 32-bit values.

#include <cstdint>
#include <vector>

#include "platform/vcl/Graphics.h"

// 0xAARRGGBB; 0 means none, 0x00010203 the default colour.
using TdxAlphaColor = uint32_t;
constexpr TdxAlphaColor dxacNone = 0;
constexpr TdxAlphaColor dxacDefault = 0x00010203;

// Blue, green, red, reserved bytes; rows top-down unless asked otherwise.
using TRGBColors = std::vector<uint32_t>;

TColor dxAlphaColorToColor(TdxAlphaColor Color);
TColor dxAlphaColorToColor(TdxAlphaColor Color, uint8_t& Alpha);
// pf15bit and pf16bit count as 16; the device format as 32, the only device depth here.
int GetBitmapBitsPerPixel(TBitmap* Bitmap);
// Reads every pixel into Colors (Width * Height values). False for an empty bitmap.
bool GetBitmapBits(TBitmap* Bitmap, TRGBColors& Colors, bool TopDownDIB);
bool GetBitmapBits(TBitmap* Bitmap, uint32_t* Colors, bool TopDownDIB);
