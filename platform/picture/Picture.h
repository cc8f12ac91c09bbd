#pragma once
// The flat picture API: decoding, encoding and drawing of BMP, PNG, JPEG, GIF
// and TIFF pictures. It is built as a shared library (libtarnwick_picture.so)
// that callers load at run time and bind by name, so that a system without it
// (or without one of its functions) still runs, only without these pictures.
//
// Status codes, pixel-format values and codec records follow the documented
// picture API's numbering, because callers store and compare those numbers.
// All functions are plain C: no exception ever leaves the library.
//
// Pixels cross this interface as 32-bit values in memory order blue, green,
// red, alpha, rows top-down. Images hold straight (not premultiplied) alpha;
// a graphics surface over caller memory holds premultiplied alpha.

#include <cstddef>
#include <cstdint>

extern "C" {

using GpStatus = int;
constexpr GpStatus Ok = 0;
constexpr GpStatus GenericError = 1;
constexpr GpStatus InvalidParameter = 2;
constexpr GpStatus OutOfMemory = 3;
constexpr GpStatus InsufficientBuffer = 5;
constexpr GpStatus NotImplemented = 6;
constexpr GpStatus Win32Error = 7;
constexpr GpStatus WrongState = 8;
constexpr GpStatus UnknownImageFormat = 13;

struct GpGUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

// Pixel formats of GdipCreateBitmapFromScan0.
using GpPixelFormat = int;
constexpr GpPixelFormat PixelFormat32bppRGB = 0x00022009;   // alpha byte ignored (opaque)
constexpr GpPixelFormat PixelFormat32bppARGB = 0x0026200A;  // straight alpha
constexpr GpPixelFormat PixelFormat32bppPARGB = 0x000E200B; // premultiplied alpha

// Image types of GdipGetImageType.
constexpr int ImageTypeUnknown = 0;
constexpr int ImageTypeBitmap = 1;
constexpr int ImageTypeMetafile = 2;

constexpr int UnitPixel = 2;

// Raw-format identifiers (GdipGetImageRawFormat): Data1 of these values, the
// rest of the identifier as in kImageFormatTail.
constexpr uint32_t ImageFormatMemoryBMPId = 0xB96B3CAA;
constexpr uint32_t ImageFormatBMPId = 0xB96B3CAB;
constexpr uint32_t ImageFormatEMFId = 0xB96B3CAC;
constexpr uint32_t ImageFormatWMFId = 0xB96B3CAD;
constexpr uint32_t ImageFormatJPEGId = 0xB96B3CAE;
constexpr uint32_t ImageFormatPNGId = 0xB96B3CAF;
constexpr uint32_t ImageFormatGIFId = 0xB96B3CB0;
constexpr uint32_t ImageFormatTIFFId = 0xB96B3CB1;
constexpr uint32_t ImageFormatIconId = 0xB96B3CB5;

// One codec record of GdipGetImageEncoders / GdipGetImageDecoders. The text
// fields point into the same buffer, behind the records.
struct ImageCodecInfo {
  GpGUID Clsid;
  GpGUID FormatID;
  const char* CodecName;
  const char* FormatDescription;
  const char* FilenameExtension;
  const char* MimeType;
  uint32_t Flags;
  uint32_t Version;
};

// A byte stream supplied by the caller. The callbacks must not throw.
// Read and Write return the bytes moved (or -1 on error); Seek returns the new
// position (or -1), origin 0 = beginning, 1 = current, 2 = end.
struct GpStreamIO {
  void* Context;
  int64_t (*Read)(void* context, void* buffer, int64_t count);
  int64_t (*Write)(void* context, const void* buffer, int64_t count);
  int64_t (*Seek)(void* context, int64_t offset, int origin);
};

struct GdiplusStartupInput {
  uint32_t GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  int SuppressBackgroundThread = 0;
  int SuppressExternalCodecs = 0;
};
using NotificationHookProc = GpStatus (*)(uintptr_t* token);
using NotificationUnhookProc = void (*)(uintptr_t token);
struct GdiplusStartupOutput {
  NotificationHookProc NotificationHook;
  NotificationUnhookProc NotificationUnhook;
};

struct GpImage;
struct GpGraphics;
struct GpImageAttributes;

// A 5 x 5 colour matrix applied to (r, g, b, a, 1) rows.
struct ColorMatrix {
  float m[5][5];
};
constexpr int ColorAdjustTypeBitmap = 1;
constexpr int ColorMatrixFlagsDefault = 0;

void* GdipAlloc(size_t size);
void GdipFree(void* ptr);

GpStatus GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(uintptr_t token);

GpStatus GdipGetImageDecodersSize(uint32_t* numDecoders, uint32_t* size);
GpStatus GdipGetImageDecoders(uint32_t numDecoders, uint32_t size, ImageCodecInfo* decoders);
GpStatus GdipGetImageEncodersSize(uint32_t* numEncoders, uint32_t* size);
GpStatus GdipGetImageEncoders(uint32_t numEncoders, uint32_t size, ImageCodecInfo* encoders);

// Reads the stream from its position to its end and decodes it. UnknownImageFormat
// for bytes no decoder recognises, GenericError for a damaged picture.
GpStatus GdipLoadImageFromStream(const GpStreamIO* stream, GpImage** image);
// Encodes with the encoder clsid (from GdipGetImageEncoders) and writes at the stream's position.
// params is reserved (null).
GpStatus GdipSaveImageToStream(GpImage* image, const GpStreamIO* stream, const GpGUID* clsidEncoder,
                               const void* params);
// stride 0 means width * 4. With scan0 the image uses that memory, which must
// outlive it; without, the pixels start transparent black and belong to the image.
GpStatus GdipCreateBitmapFromScan0(int width, int height, int stride, GpPixelFormat format, uint8_t* scan0,
                                   GpImage** bitmap);
GpStatus GdipCloneImage(GpImage* image, GpImage** clone);
GpStatus GdipDisposeImage(GpImage* image);
GpStatus GdipGetImageWidth(GpImage* image, uint32_t* width);
GpStatus GdipGetImageHeight(GpImage* image, uint32_t* height);
GpStatus GdipGetImageRawFormat(GpImage* image, GpGUID* format);
GpStatus GdipGetImageType(GpImage* image, int* type);
// Frames of GIF and TIFF pictures; the dimension identifier is not used.
GpStatus GdipImageGetFrameCount(GpImage* image, const GpGUID* dimensionID, uint32_t* count);
GpStatus GdipImageSelectActiveFrame(GpImage* image, const GpGUID* dimensionID, uint32_t frameIndex);
// Copies the active frame's pixels (straight alpha, top-down) into out, stride bytes per row.
GpStatus GdipBitmapGetPixels(GpImage* image, uint8_t* out, int stride);

// A graphics surface over caller memory holding premultiplied 32-bit pixels.
GpStatus GdipCreateFromScan0(int width, int height, int stride, uint8_t* scan0, GpGraphics** graphics);
// A graphics surface drawing into a bitmap made by GdipCreateBitmapFromScan0.
GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipIsVisibleRectI(GpGraphics* graphics, int x, int y, int width, int height, int* result);
// Draws the source rectangle of the image into the destination rectangle,
// scaling bilinearly, blending over what is there (source over), with the
// attributes' colour matrix (its alpha scale) when given.
GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, int dstx, int dsty, int dstwidth,
                                int dstheight, int srcx, int srcy, int srcwidth, int srcheight, int srcUnit,
                                GpImageAttributes* attributes, void* callback, void* callbackData);
GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width, int height);

GpStatus GdipCreateImageAttributes(GpImageAttributes** attributes);
GpStatus GdipSetImageAttributesColorMatrix(GpImageAttributes* attributes, int type, int enableFlag,
                                           const ColorMatrix* colorMatrix, const ColorMatrix* grayMatrix,
                                           int flags);
GpStatus GdipDisposeImageAttributes(GpImageAttributes* attributes);

}  // extern "C"
