#include "imaging/dxGDIPlusAPI.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/os/DynLib.h"
#include "platform/rtl/SysUtils.h"

TdxGpFunctions dxGp;
TdxGpCodecs dxGpCodecs;

namespace {

// Binding, start-up and shut-down run on the main thread only.
struct Binding {
  String libraryName;
  HMODULE library = nullptr;
  bool available = false;
  uintptr_t startupToken = 0;
  uintptr_t notificationToken = 0;
  GdiplusStartupOutput startupOutput{};
};

Binding& State() {
  static Binding b;
  return b;
}

constexpr const char* kLibraryFile = "libtarnwick_picture.so";

HMODULE LoadPictureLibrary() {
  Binding& b = State();
  if (!b.libraryName.empty()) return LoadLibrary(b.libraryName);
  const String exe = GetModuleFileName(nullptr);
  const String dir = exe.substr(0, exe.find_last_of('/') + 1);
  for (const String& candidate : {dir + kLibraryFile, dir + "../lib/" + kLibraryFile, String(kLibraryFile)})
    if (HMODULE h = LoadLibrary(candidate)) return h;
  return nullptr;
}

// The first missing function makes the API unavailable; later slots stay empty.
template <class T>
void Bind(T& slot, const char* name) {
  Binding& b = State();
  slot = nullptr;
  if (!b.available) return;
  slot = reinterpret_cast<T>(GetProcAddress(b.library, name));
  b.available = slot != nullptr;
}

}  // namespace

EdxGdipException::EdxGdipException(GpStatus Status, int LastError)
    : EdxException(Status == Win32Error && LastError != 0
                       ? Format("Invalid operation in GDI+ (Win32 error code: %d)", {LastError})
                       : Format("Invalid operation in GDI+ (Code: %d)", {Status})),
      FStatus(Status) {}

void GdipCheck(GpStatus Status) {
  if (Status != Ok) throw EdxGdipException(Status);
}

void dxSetGpLibraryName(const String& FileName) {
  dxGpShutdown();
  State().libraryName = FileName;
}

void dxGpBind() {
  Binding& b = State();
  if (b.available) return;
  b.library = LoadPictureLibrary();
  b.available = b.library != nullptr;
  if (!b.available) return;
#define DX_GP_FUNCTION(name) Bind(dxGp.name, #name);
#include "imaging/dxGDIPlusFunctions.inc"
#undef DX_GP_FUNCTION
  if (b.available) {
    GdiplusStartupInput input;
    input.SuppressBackgroundThread = 1;
    input.SuppressExternalCodecs = 0;
    bool started = dxGp.GdiplusStartup(&b.startupToken, &input, &b.startupOutput) == Ok;
    if (started) started = b.startupOutput.NotificationHook(&b.notificationToken) == Ok;
    if (!started) {
      b.available = false;
      b.startupOutput = GdiplusStartupOutput{};
    }
  }
  if (!b.available) {
    // Nothing of a half-bound library stays reachable.
    dxGp = TdxGpFunctions{};
    FreeLibrary(b.library);
    b.library = nullptr;
  }
}

bool dxGpIsAvailable() { return State().available; }

bool CheckGdiPlus(bool ShowError) {
  if (!State().available) dxGpBind();
  if (!State().available && ShowError) {
    std::fprintf(stderr, "This application requires the picture library %s to be installed.\n", kLibraryFile);
    std::exit(1);
  }
  return State().available;
}

void dxGpShutdown() {
  Binding& b = State();
  if (b.available) {
    b.startupOutput.NotificationUnhook(b.notificationToken);
    dxGp.GdiplusShutdown(b.startupToken);
  }
  if (b.library) FreeLibrary(b.library);
  b.library = nullptr;
  b.available = false;
  dxGp = TdxGpFunctions{};
  dxGpCodecs = TdxGpCodecs{};
}

bool dxGpIsCodecSet(const GpGUID& Id) { return Id.Data1 != 0 || Id.Data2 != 0 || Id.Data3 != 0; }

namespace {

int FindCodec(const String& MimeType, GpGUID& Id, bool Encoder) {
  if (dxGpIsCodecSet(Id)) return 0;
  if (!CheckGdiPlus(false)) return 1;
  uint32_t count = 0, size = 0;
  if ((Encoder ? dxGp.GdipGetImageEncodersSize : dxGp.GdipGetImageDecodersSize)(&count, &size) != Ok || size == 0)
    return 1;
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
  auto* info = reinterpret_cast<ImageCodecInfo*>(buffer.get());
  if ((Encoder ? dxGp.GdipGetImageEncoders : dxGp.GdipGetImageDecoders)(count, size, info) != Ok) return 1;
  for (uint32_t i = 0; i < count; ++i) {
    if (info[i].MimeType && SameText(info[i].MimeType, MimeType)) {
      Id = info[i].Clsid;
      return 0;
    }
  }
  return 1;
}

}  // namespace

int GetEncoderClsid(const String& MimeType, GpGUID& Id) { return FindCodec(MimeType, Id, true); }
int GetDecoderClsid(const String& MimeType, GpGUID& Id) { return FindCodec(MimeType, Id, false); }

void GetEncoderClsidOrClear(const String& MimeType, GpGUID& Id) {
  if (GetEncoderClsid(MimeType, Id) != 0) Id = GpGUID{};
}

void GetDecoderClsidOrClear(const String& MimeType, GpGUID& Id) {
  if (GetDecoderClsid(MimeType, Id) != 0) Id = GpGUID{};
}

void dxGpInitializeCodecs() {
  TdxGpCodecs& c = dxGpCodecs;
  // The codecs return non-zero when missing; the status check turns that into an error.
  GdipCheck(GetEncoderClsid("image/png", c.PngEncoder) == 0 ? Ok : GpStatus(GenericError));
  GdipCheck(GetDecoderClsid("image/png", c.PngDecoder) == 0 ? Ok : GpStatus(GenericError));
  GetEncoderClsidOrClear("image/bmp", c.BmpEncoder);
  GetDecoderClsidOrClear("image/bmp", c.BmpDecoder);
  GetEncoderClsidOrClear("image/gif", c.GifEncoder);
  GetDecoderClsidOrClear("image/gif", c.GifDecoder);
  GetEncoderClsidOrClear("image/jpeg", c.JpegEncoder);
  GetDecoderClsidOrClear("image/jpeg", c.JpegDecoder);
  GetEncoderClsidOrClear("image/tiff", c.TiffEncoder);
  GetDecoderClsidOrClear("image/tiff", c.TiffDecoder);
  GetDecoderClsidOrClear("image/x-emf", c.EmfDecoder);
  GetDecoderClsidOrClear("image/x-wmf", c.WmfDecoder);
  GetDecoderClsidOrClear("image/x-icon", c.IconDecoder);
}

GpImage* dxGpCreateBitmap(int Width, int Height) {
  GpImage* image = nullptr;
  GdipCheck(dxGp.GdipCreateBitmapFromScan0(Width, Height, 0, PixelFormat32bppPARGB, nullptr, &image));
  return image;
}
