#pragma once
// Access to the picture API without linking to it: its library is loaded on
// first need and its functions bound by name into one table. When the library
// or any function of the table is missing, the API counts as unavailable and
// the picture classes stay unregistered; nothing is shown to the user.

#include "imaging/dxCore.h"
#include "platform/picture/Picture.h"

// The entry points the picture classes call, bound by name.
struct TdxGpFunctions {
#define DX_GP_FUNCTION(name) decltype(&::name) name = nullptr;
#include "imaging/dxGDIPlusFunctions.inc"
#undef DX_GP_FUNCTION
};
// The bound table; valid only while dxGpIsAvailable() holds.
extern TdxGpFunctions dxGp;

class EdxGdipException : public EdxException {
 public:
  // With status 7 (an error of the system underneath) and a non-zero last
  // error, the message names that error instead of the status.
  explicit EdxGdipException(GpStatus Status, int LastError = 0);
  GpStatus Status() const { return FStatus; }

 private:
  GpStatus FStatus;
};

// The library file the binding loads: by default "libtarnwick_picture.so"
// beside the program, in the lib folder next to the program's folder, or on the
// system's library path. Changing it unloads the API first.
void dxSetGpLibraryName(const String& FileName);
// Binds on first call and answers whether the API is usable. A failed binding
// is tried again at the next call. With ShowError set a missing API ends the
// process after saying so on the standard error (no caller here sets it).
bool CheckGdiPlus(bool ShowError = false);
bool dxGpIsAvailable();
void dxGpBind();
void dxGpShutdown();
// Ok returns; anything else raises EdxGdipException.
void GdipCheck(GpStatus Status);

// Codec identifiers: all zero when the codec is missing.
struct TdxGpCodecs {
  GpGUID BmpEncoder{}, BmpDecoder{}, GifEncoder{}, GifDecoder{}, JpegEncoder{}, JpegDecoder{};
  GpGUID PngEncoder{}, PngDecoder{}, TiffEncoder{}, TiffDecoder{};
  GpGUID EmfDecoder{}, WmfDecoder{}, IconDecoder{};
};
extern TdxGpCodecs dxGpCodecs;
bool dxGpIsCodecSet(const GpGUID& Id);
// 0 when found (or already set), non-zero otherwise; Id is left as it was when not found.
int GetEncoderClsid(const String& MimeType, GpGUID& Id);
int GetDecoderClsid(const String& MimeType, GpGUID& Id);
// The same, clearing Id when the codec is missing.
void GetEncoderClsidOrClear(const String& MimeType, GpGUID& Id);
void GetDecoderClsidOrClear(const String& MimeType, GpGUID& Id);
// The PNG codecs (a missing one raises), then the others, cleared when missing.
void dxGpInitializeCodecs();

// A premultiplied 32-bit bitmap of that size (status checked).
GpImage* dxGpCreateBitmap(int Width, int Height);
