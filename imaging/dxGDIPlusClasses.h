#pragma once
// Picture classes that keep a picture in its encoded form (the bytes of a PNG,
// GIF, JPEG, TIFF or BMP file) or as 32-bit pixels, make a picture-API image
// from it only when first needed, and draw it with alpha blending.
// TdxSmartImage stores its encoded bytes unchanged in window definitions;
// TdxPNGImage always saves as PNG.

#include <cstdint>
#include <memory>
#include <optional>

#include "imaging/dxCoreGraphics.h"
#include "imaging/dxGDIPlusAPI.h"
#include "platform/vcl/Graphics.h"

// Image formats, with their stored numbers.
enum TdxImageDataFormat : uint8_t {
  dxImageUnknown = 0,
  dxImageBitmap = 1,
  dxImageJpeg = 2,
  dxImagePng = 3,
  dxImageTiff = 4,
  dxImageGif = 5,
  dxImageEmf = 6,
  dxImageIcon = 8,
  dxImageMemoryBmp = 9,
  dxImageWmf = 10
};

// The format a raw-format identifier stands for.
TdxImageDataFormat dxGetImageDataFormat(const GpGUID& RawFormat);
// ".png" and the like; "" for formats without a file extension.
String dxGetImageDataFormatExtension(TdxImageDataFormat Format);
// The encoder of a format (all zero when it has none); EdxException "dxGetImageEncoder fails" for 0 and 7.
GpGUID dxGetImageEncoder(TdxImageDataFormat Format);

enum TTransparentMode { tmAuto, tmFixed };

// The stored form of a picture: encoded bytes, or pixels with their size.
class TdxGPImageData {
 public:
  bool Empty() const { return !FData && !FPixels; }
  void Clear();

  bool FTransparent = false;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  std::shared_ptr<TRGBColors> FPixels;  // top-down; shared between copies
  int FWidth = 0;
  int FHeight = 0;
  std::unique_ptr<TMemoryStream> FData;  // the encoded bytes
  TSize FNewSize;                        // applied when the image is made
};

class TdxGPImage : public TGraphic {
 public:
  TdxGPImage();
  // Width x Height pixels of Color (0xAARRGGBB, alpha included).
  TdxGPImage(int Width, int Height, uint32_t Color);
  explicit TdxGPImage(TBitmap* Bitmap);
  // Pixels top-down; with AlphaUsed false their alpha bytes are replaced.
  TdxGPImage(int Width, int Height, const TRGBColors& Pixels, bool AlphaUsed);
  explicit TdxGPImage(TStream& Stream);
  ~TdxGPImage() override;

  void Assign(TPersistent* Source) override;
  bool Empty() const override;
  int Width() const override;
  int Height() const override;
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void LoadFromStream(TStream& Stream) override;
  // In the picture's own format.
  void SaveToStream(TStream& Stream) override;
  // Appends the picture encoded in Format.
  void SaveToStreamByCodec(TStream& Stream, TdxImageDataFormat Format);

  // True when the picture is not empty and some pixel is not opaque; computed once per change.
  bool GetTransparent() const;
  bool Equals(TdxGPImage* Other) { return Compare(Other); }
  bool Compare(TdxGPImage* Image);
  void Clear();
  std::unique_ptr<TdxGPImage> Clone() const;
  // Every pixel takes Color scaled by its alpha; clNone, clDefault and empty pictures stay as they are.
  void ChangeColor(TColor Color);
  // A new 32-bit bitmap with the picture's pixels and alpha.
  std::unique_ptr<TBitmap> GetAsBitmap();
  void Resize(int Width, int Height);
  void SetBitmap(TBitmap* Bitmap);
  void SetPixels(int Width, int Height, std::shared_ptr<TRGBColors> Pixels, bool AlphaUsed);
  // 0 for an empty picture, else the CRC-32 of its pixels, top-down.
  uint32_t GetHashCode();
  // Draws at Rect with the given opacity; Source defaults to the whole picture.
  void PaintTo(HDC DC, const TRect& Rect, uint8_t Alpha = 255, const TRect* Source = nullptr);

  TdxImageDataFormat ImageDataFormat() const;
  bool HandleAllocated() const { return FHandle != nullptr; }
  // The image, made from the stored form on first need; null when there is nothing to make.
  GpImage* Handle() const;
  int ActiveFrame() const { return FActiveFrame; }
  void SetActiveFrame(int Value);
  int FrameCount() const;
  bool HandleReadyOrEmpty() const { return FHandle || FImageData.Empty(); }

  static bool IsBitmapData(TStream& Stream);

 protected:
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void AssignTo(TPersistent* Dest) override;
  void Changed() override;
  virtual bool UseFrameworkBitmapReader() const { return true; }
  void AssignFromBitmap(TBitmap* Bitmap);
  void AssignFromImage(TdxGPImage* Image);
  void AssignFromGraphic(TGraphic* Graphic);
  void FreeImage();
  void LoadStream(TStream& Stream);
  // The encoded bytes of the picture in Format, appended to Stream.
  void InternalSaveToStream(TStream& Stream, TdxImageDataFormat Format);

 private:
  void CreateHandle() const;
  void SetHandle(GpImage* Image) const;

  int FActiveFrame = 0;
  TdxGPImageData FImageData;
  mutable TdxImageDataFormat FImageFormat = dxImageUnknown;
  mutable std::optional<bool> FAlphaUsed;
  mutable GpImage* FHandle = nullptr;
};

class TdxSmartImage : public TdxGPImage {
 public:
  using TdxGPImage::TdxGPImage;
  // Window definitions hold the picture's file bytes unchanged.
  void ReadData(TStream& Stream) override { LoadFromStream(Stream); }
  void WriteData(TStream& Stream) override { SaveToStream(Stream); }
};

class TdxPNGImage : public TdxSmartImage {
 public:
  using TdxSmartImage::TdxSmartImage;
  void SaveToStream(TStream& Stream) override { SaveToStreamByCodec(Stream, dxImagePng); }
};

// Start-up: when the picture API is available, registers TdxSmartImage for
// "TIFF", "TIF", "GIF", "JPEG", "JPG" and TdxPNGImage for "PNG", each only
// when its decoder exists; without the API nothing is registered. Answers
// whether the classes were registered.
bool dxGDIPlusClassesInitialize();
// Shut-down: unregisters the classes and unloads the API.
void dxGDIPlusClassesFinalize();
