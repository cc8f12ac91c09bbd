#pragma once
// Converts decoded pictures of any library pixel format to packed RGB of a
// chosen depth, copies that into a bitmap, and takes a bitmap back the other way.
// No resizing: both sides have the same width and height.
//
// Round trip: PictureToRGB (copying to the bitmap), drawing on Bitmap(),
// BitmapToRGB, RGBToPicture with the same picture planes. Conversions run in the
// calling thread; only the fetch of the bitmap's row address goes to the main thread.
// A converter belongs to one user and is not locked.

#include "media/FFApi.h"
#include "platform/vcl/Graphics.h"

// Plane pointers and line sizes of a picture.
struct TAVPicture {
  uint8_t* data[AV_NUM_DATA_POINTERS] = {};
  int linesize[AV_NUM_DATA_POINTERS] = {};
};

// The bitmap formats the converter handles: pf8bit .. pf32bit.
using TBMPPixelFormat = TPixelFormat;

class TFormatConverter : public TObject {
 public:
  TFormatConverter();
  ~TFormatConverter() override;
  TFormatConverter(const TFormatConverter&) = delete;
  TFormatConverter& operator=(const TFormatConverter&) = delete;

  // The converter's own bitmap (brush clear), owned by the converter.
  TBitmap* Bitmap() const { return FBitmap.get(); }
  // 8, 16 (for pf15bit and pf16bit), 24 or 32. Setting 8, 15, 16, 24 or 32 picks the
  // bitmap format; anything else raises "Invalid BitsPixel %d" and changes nothing.
  int BitsPixel() const { return FBitsPixel; }
  void SetBitsPixel(int Value);
  // Outside pf8bit..pf32bit raises "Invalid PixelFormat %d" (the ordinal) and changes nothing.
  TBMPPixelFormat BMPPixFmt() const { return FBMPPixFmt; }
  void SetBMPPixFmt(TBMPPixelFormat Value);
  // The RGB picture after a conversion: width, height, bytes per row, bits per pixel, bits.
  const BITMAP* DIB() const { return &FDIB; }
  const TAVPicture* RGBPicture() const { return &FRGBPicture; }
  // The RGB picture after a successful PictureToRGB; nullptr before one and after a failed one.
  const TAVPicture* RGBPictureRef() const { return FRGBPictureRef; }
  // Bytes of the RGB buffer (it only grows).
  int RGBBufSize() const { return FRGBBufSize; }
  const String& LastErrMsg() const { return FLastErrMsg; }
  int sws_flags() const { return Fsws_flags; }
  void Setsws_flags(int Value) { Fsws_flags = Value; }

  // Converts the picture to RGB; with ACopyToBitmap also copies it into Bitmap().
  // False with LastErrMsg set when no scaler context fits, the buffer cannot be
  // had, or the scaler converts nothing.
  bool PictureToRGB(const uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt, int AWidth,
                    int AHeight, bool ACopyToBitmap);
  // Converts the picture straight into caller-owned packed rows of BitsPixel()
  // (24 or 32 bits: the scaler has no palette for 8 bits), the first row at
  // ATopRow and each next one ARowStep bytes on; a negative step fills rows
  // bottom-up as bitmaps store them. RGBPictureRef() is nullptr afterwards.
  // False with LastErrMsg set as PictureToRGB.
  bool PictureToRows(const uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt, int AWidth,
                     int AHeight, uint8_t* ATopRow, int ARowStep);
  // Copy between the RGB picture and Bitmap(), row by row, each side stepped by
  // its own row length. They need a previous successful PictureToRGB (an
  // Exception otherwise). False, copying nothing, when the bitmap's size or
  // format no longer matches the RGB picture. Where the rows have the same length
  // (always at 32 bits) the bitmap lies over the RGB buffer and nothing is copied:
  // drawing on the bitmap then changes the RGB picture at once.
  bool RGBToBitmap();
  bool BitmapToRGB();
  // Converts the RGB picture into the given planes; same size as the RGB picture.
  bool RGBToPicture(uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt, int AWidth, int AHeight);

 private:
  void ResetFormat();
  void RequirePicture() const;
  // Where the bitmap's rows and the RGB picture's rows have the same length, the
  // bitmap is laid over the RGB buffer (a top-down DIB): the copies between them vanish.
  bool AliasBitmap(int AWidth, int AHeight);
  bool Aliased() const;
  void DropAlias();
  // Row copy in either direction; toBitmap selects the direction.
  bool CopyRows(bool toBitmap);
  bool ScaleToRGB(const uint8_t* const AData[], const int ALineSize[], AVPixelFormat APixFmt, int AWidth, int AHeight,
                  uint8_t* const ADst[], const int ADstLineSize[]);
  bool Fail(const String& Message);

  AVPixelFormat FAVPixFmt = AV_PIX_FMT_BGRA;
  int FBitsPixel = 32;
  std::unique_ptr<TBitmap> FBitmap;
  uint8_t* FScanLine = nullptr;
  TBMPPixelFormat FBMPPixFmt = pf32bit;
  BITMAP FDIB;
  uint8_t* FRGBBuffer = nullptr;
  int FRGBBufSize = 0;
  TAVPicture FRGBPicture;
  const TAVPicture* FRGBPictureRef = nullptr;
  int Fsws_flags = SWS_BICUBIC;
  HBITMAP FAliasHandle = nullptr;  // the bitmap handle laid over the RGB buffer
  uint8_t* FAliasBits = nullptr;
  SwsContext* FtoRGB_convert_ctx = nullptr;
  SwsContext* FfromRGB_convert_ctx = nullptr;
  String FLastErrMsg;
};
