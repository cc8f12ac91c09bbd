#include "media/FormatConverter.h"

#include <cstring>

#include "platform/os/Threads.h"

namespace {

struct TRGBFormat {
  TBMPPixelFormat bmp;
  int bits;
  AVPixelFormat av;
};

// pf15bit reports 16 bits per pixel, as its pixels take two bytes. A 15 or 16-bit
// bitmap keeps red in the high bits (masks 0x7C00 / 0xF800), which is the library's
// RGB555LE / RGB565LE; its BGR names put blue there and would swap red and blue.
constexpr TRGBFormat kFormats[] = {
    {pf8bit, 8, AV_PIX_FMT_BGR8},    {pf15bit, 16, AV_PIX_FMT_RGB555LE}, {pf16bit, 16, AV_PIX_FMT_RGB565LE},
    {pf24bit, 24, AV_PIX_FMT_BGR24}, {pf32bit, 32, AV_PIX_FMT_BGRA},
};

const TRGBFormat& FormatFor(TBMPPixelFormat f) {
  for (const TRGBFormat& r : kFormats)
    if (r.bmp == f) return r;
  return kFormats[4];
}

}  // namespace

TFormatConverter::TFormatConverter() : FBitmap(std::make_unique<TBitmap>()) {
  FBitmap->Canvas()->Brush()->SetStyle(bsClear);
  ResetFormat();
}

TFormatConverter::~TFormatConverter() {
  FBitmap.reset();
  // Nothing to free through a library that is no longer bound.
  if (FRGBBuffer && ff::av_free) ff::av_free(FRGBBuffer);
  if (FtoRGB_convert_ctx && ff::sws_freeContext) ff::sws_freeContext(FtoRGB_convert_ctx);
  if (FfromRGB_convert_ctx && ff::sws_freeContext) ff::sws_freeContext(FfromRGB_convert_ctx);
}

void TFormatConverter::SetBitsPixel(int Value) {
  if (Value == FBitsPixel) return;
  TBMPPixelFormat f;
  switch (Value) {
    case 8: f = pf8bit; break;
    case 15: f = pf15bit; break;
    case 16: f = pf16bit; break;
    case 24: f = pf24bit; break;
    case 32: f = pf32bit; break;
    default: throw Exception(Format("Invalid BitsPixel %d", {Value}));
  }
  FBMPPixFmt = f;
  ResetFormat();
}

void TFormatConverter::SetBMPPixFmt(TBMPPixelFormat Value) {
  if (Value == FBMPPixFmt) return;
  if (Value < pf8bit || Value > pf32bit) throw Exception(Format("Invalid PixelFormat %d", {int(Value)}));
  FBMPPixFmt = Value;
  ResetFormat();
}

void TFormatConverter::ResetFormat() {
  FDIB = BITMAP{};
  FRGBPicture = TAVPicture{};
  FRGBPictureRef = nullptr;
  const TRGBFormat& f = FormatFor(FBMPPixFmt);
  FBitsPixel = f.bits;
  FAVPixFmt = f.av;
  FBitmap->SetPixelFormat(FBMPPixFmt);
}

bool TFormatConverter::Fail(const String& Message) {
  FLastErrMsg = Message;
  return false;
}

bool TFormatConverter::PictureToRGB(const uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt,
                                    int AWidth, int AHeight, bool ACopyToBitmap) {
  FRGBPictureRef = nullptr;
  const int needed = ff::av_image_get_buffer_size(FAVPixFmt, AWidth, AHeight, 1);
  if (needed <= 0) {
    FBitmap->SetSize(AWidth, AHeight);
    return Fail(Format("Invalid picture size %dx%d", {AWidth, AHeight}));
  }
  // The buffer only grows, so equally sized frames convert without allocating.
  if (!FRGBBuffer || FRGBBufSize < needed) {
    DropAlias();  // the bitmap must not outlive the memory it lies over
    if (FRGBBuffer) ff::av_free(FRGBBuffer);
    FRGBBufSize = 0;
    FRGBBuffer = static_cast<uint8_t*>(ff::av_malloc(size_t(needed)));
    if (!FRGBBuffer) {
      FBitmap->SetSize(AWidth, AHeight);
      return Fail("Cannot allocate the RGB picture buffer");
    }
    FRGBBufSize = needed;
  }
  FRGBPicture = TAVPicture{};
  if (ff::av_image_fill_arrays(FRGBPicture.data, FRGBPicture.linesize, FRGBBuffer, FAVPixFmt, AWidth, AHeight, 1) < 0)
    return Fail(Format("Invalid picture size %dx%d", {AWidth, AHeight}));
  if (!AliasBitmap(AWidth, AHeight)) {
    DropAlias();
    FBitmap->SetSize(AWidth, AHeight);
  }
  if (!ScaleToRGB(AData, ALineSize, APixFmt, AWidth, AHeight, FRGBPicture.data, FRGBPicture.linesize)) return false;
  FRGBPictureRef = &FRGBPicture;
  FDIB = BITMAP{};
  FDIB.bmWidth = AWidth;
  FDIB.bmHeight = AHeight;
  FDIB.bmWidthBytes = FRGBPicture.linesize[0];
  FDIB.bmPlanes = 1;
  FDIB.bmBitsPixel = WORD(FBitsPixel);
  FDIB.bmBits = FRGBPicture.data[0];
  if (ACopyToBitmap) RGBToBitmap();
  return true;
}

bool TFormatConverter::ScaleToRGB(const uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt,
                                  int AWidth, int AHeight, uint8_t* const ADst[], const int ADstLineSize[]) {
  // The scaler aborts the process on formats it does not know, so ask first.
  if (!ff::sws_isSupportedInput(APixFmt)) return Fail("Cannot initialize the toRGB conversion context");
  FtoRGB_convert_ctx = ff::sws_getCachedContext(FtoRGB_convert_ctx, AWidth, AHeight, APixFmt, AWidth, AHeight,
                                                FAVPixFmt, Fsws_flags, nullptr, nullptr, nullptr);
  if (!FtoRGB_convert_ctx) return Fail("Cannot initialize the toRGB conversion context");
  if (ff::sws_scale(FtoRGB_convert_ctx, AData, ALineSize, 0, AHeight, ADst, ADstLineSize) <= 0)
    return Fail("Cannot convert the picture to RGB");
  return true;
}

bool TFormatConverter::PictureToRows(const uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt,
                                     int AWidth, int AHeight, uint8_t* ATopRow, int ARowStep) {
  // The converter's own RGB picture is not produced, so nothing may read it afterwards.
  FRGBPictureRef = nullptr;
  FDIB = BITMAP{};
  if (AWidth <= 0 || AHeight <= 0) return Fail(Format("Invalid picture size %dx%d", {AWidth, AHeight}));
  uint8_t* dst[4] = {ATopRow, nullptr, nullptr, nullptr};
  const int dstLineSize[4] = {ARowStep, 0, 0, 0};
  return ScaleToRGB(AData, ALineSize, APixFmt, AWidth, AHeight, dst, dstLineSize);
}

bool TFormatConverter::Aliased() const { return FAliasHandle && FBitmap->Handle() == FAliasHandle; }

void TFormatConverter::DropAlias() {
  if (Aliased()) FBitmap->SetHandle(nullptr);
  FAliasHandle = nullptr;
}

bool TFormatConverter::AliasBitmap(int AWidth, int AHeight) {
  // 8-bit pictures keep a bitmap of their own, with the bitmap's palette.
  if (FBMPPixFmt == pf8bit || DibStride(AWidth, FBitsPixel) != FRGBPicture.linesize[0]) return false;
  if (Aliased() && FBitmap->Width() == AWidth && FBitmap->Height() == AHeight && FAliasBits == FRGBBuffer)
    return true;
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = AWidth;
  bi.bmiHeader.biHeight = -AHeight;  // top-down, like the RGB picture
  bi.bmiHeader.biBitCount = WORD(FBitsPixel);
  if (FBMPPixFmt == pf16bit) {
    bi.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bi.bmiColors, masks, sizeof masks);
  }
  HBITMAP h = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, nullptr, FRGBBuffer, 0);
  if (!h) return false;
  FBitmap->SetHandle(h);
  FAliasHandle = h;
  FAliasBits = FRGBBuffer;
  return true;
}

void TFormatConverter::RequirePicture() const {
  if (!FRGBPictureRef) throw Exception("Assertion failed: no RGB picture (call PictureToRGB first)");
}

bool TFormatConverter::CopyRows(bool toBitmap) {
  RequirePicture();
  const int width = FDIB.bmWidth, height = FDIB.bmHeight;
  if (FBitmap->Width() != width || FBitmap->Height() != height || FBitmap->PixelFormat() != FBMPPixFmt) return false;
  if (Aliased()) return true;  // one memory: nothing to copy
  // The bitmap is touched on the main thread; the copy itself runs here.
  ptrdiff_t distance = 0;
  CallInMainThread([&] {
    FScanLine = static_cast<uint8_t*>(FBitmap->ScanLine(0));
    distance = height > 1 ? static_cast<uint8_t*>(FBitmap->ScanLine(1)) - FScanLine : 0;
  });
  // Each side steps by its own row length: the bitmap's rows are padded to 4 bytes
  // and stored bottom-up, the RGB picture's are packed top-down.
  const size_t rowBytes = size_t(width) * size_t(FBitsPixel / 8);
  uint8_t* rgb = FRGBPicture.data[0];
  uint8_t* row = FScanLine;
  for (int y = 0; y < height; ++y) {
    if (toBitmap) {
      std::memcpy(row, rgb, rowBytes);
    } else {
      std::memcpy(rgb, row, rowBytes);
    }
    rgb += FRGBPicture.linesize[0];
    row += distance;
  }
  return true;
}

bool TFormatConverter::RGBToBitmap() { return CopyRows(true); }

bool TFormatConverter::BitmapToRGB() { return CopyRows(false); }

bool TFormatConverter::RGBToPicture(uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt, int AWidth,
                                    int AHeight) {
  RequirePicture();
  // The scaler reads AWidth x AHeight from the RGB picture: a larger size would read past it.
  if (AWidth != FDIB.bmWidth || AHeight != FDIB.bmHeight)
    return Fail(Format("Picture size %dx%d differs from the RGB picture (%dx%d)",
                       {AWidth, AHeight, FDIB.bmWidth, FDIB.bmHeight}));
  if (!ff::sws_isSupportedOutput(APixFmt)) return Fail("Cannot initialize the fromRGB conversion context");
  FfromRGB_convert_ctx = ff::sws_getCachedContext(FfromRGB_convert_ctx, AWidth, AHeight, FAVPixFmt, AWidth, AHeight,
                                                  APixFmt, Fsws_flags, nullptr, nullptr, nullptr);
  if (!FfromRGB_convert_ctx) return Fail("Cannot initialize the fromRGB conversion context");
  if (ff::sws_scale(FfromRGB_convert_ctx, FRGBPicture.data, FRGBPicture.linesize, 0, AHeight, AData, ALineSize) <= 0)
    return Fail("Cannot convert the RGB picture");
  return true;
}
