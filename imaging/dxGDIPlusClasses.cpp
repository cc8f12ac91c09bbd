#include "imaging/dxGDIPlusClasses.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

// Callbacks of the picture API over a framework stream; exceptions stay on this side.
int64_t StreamRead(void* context, void* buffer, int64_t count) {
  try {
    return static_cast<TStream*>(context)->Read(buffer, count);
  } catch (...) {
    return -1;
  }
}

int64_t StreamWrite(void* context, const void* buffer, int64_t count) {
  try {
    return static_cast<TStream*>(context)->Write(buffer, count);
  } catch (...) {
    return -1;
  }
}

int64_t StreamSeek(void* context, int64_t offset, int origin) {
  try {
    return static_cast<TStream*>(context)->Seek(offset, TSeekOrigin(origin));
  } catch (...) {
    return -1;
  }
}

GpStreamIO Adapter(TStream& Stream) { return GpStreamIO{&Stream, StreamRead, StreamWrite, StreamSeek}; }

struct ImageDeleter {
  void operator()(GpImage* p) const {
    if (p && dxGp.GdipDisposeImage) dxGp.GdipDisposeImage(p);
  }
};
using ImagePtr = std::unique_ptr<GpImage, ImageDeleter>;

uint32_t ToPixel(TColor Color) {
  const COLORREF c = ColorToRGB(Color);
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

}  // namespace

TdxImageDataFormat dxGetImageDataFormat(const GpGUID& RawFormat) {
  switch (RawFormat.Data1) {
    case ImageFormatBMPId: return dxImageBitmap;
    case ImageFormatMemoryBMPId: return dxImageMemoryBmp;
    case ImageFormatJPEGId: return dxImageJpeg;
    case ImageFormatPNGId: return dxImagePng;
    case ImageFormatTIFFId: return dxImageTiff;
    case ImageFormatGIFId: return dxImageGif;
    case ImageFormatIconId: return dxImageIcon;
    case ImageFormatEMFId: return dxImageEmf;
    case ImageFormatWMFId: return dxImageWmf;
    default: return dxImageUnknown;
  }
}

String dxGetImageDataFormatExtension(TdxImageDataFormat Format) {
  switch (Format) {
    case dxImageBitmap: return ".bmp";
    case dxImageJpeg: return ".jpg";
    case dxImagePng: return ".png";
    case dxImageTiff: return ".tif";
    case dxImageGif: return ".gif";
    case dxImageEmf: return ".emf";
    case dxImageIcon: return ".ico";
    case dxImageWmf: return ".wmf";
    default: return "";
  }
}

GpGUID dxGetImageEncoder(TdxImageDataFormat Format) {
  switch (Format) {
    case dxImageBitmap:
    case dxImageMemoryBmp: return dxGpCodecs.BmpEncoder;
    case dxImageJpeg: return dxGpCodecs.JpegEncoder;
    case dxImagePng: return dxGpCodecs.PngEncoder;
    case dxImageTiff: return dxGpCodecs.TiffEncoder;
    case dxImageGif: return dxGpCodecs.GifEncoder;
    case dxImageEmf:
    case dxImageIcon:
    case dxImageWmf: return GpGUID{};
    default: throw EdxException("dxGetImageEncoder fails");
  }
}

void TdxGPImageData::Clear() {
  FPixels.reset();
  FData.reset();
  FWidth = FHeight = 0;
}

// ---- TdxGPImage ----

TdxGPImage::TdxGPImage() = default;

TdxGPImage::TdxGPImage(int Width, int Height, uint32_t Color) {
  SetPixels(Width, Height, std::make_shared<TRGBColors>(size_t(std::max(0, Width)) * size_t(std::max(0, Height)), Color),
            true);
}

TdxGPImage::TdxGPImage(TBitmap* Bitmap) { AssignFromBitmap(Bitmap); }

TdxGPImage::TdxGPImage(int Width, int Height, const TRGBColors& Pixels, bool AlphaUsed) {
  SetPixels(Width, Height, std::make_shared<TRGBColors>(Pixels), AlphaUsed);
}

TdxGPImage::TdxGPImage(TStream& Stream) { LoadStream(Stream); }

TdxGPImage::~TdxGPImage() { SetHandle(nullptr); }

void TdxGPImage::SetHandle(GpImage* Image) const {
  if (FHandle && dxGp.GdipDisposeImage) dxGp.GdipDisposeImage(FHandle);
  FHandle = Image;
}

void TdxGPImage::FreeImage() {
  SetHandle(nullptr);
  FImageFormat = dxImageUnknown;
  FImageData.Clear();
}

void TdxGPImage::Changed() {
  FAlphaUsed.reset();
  TGraphic::Changed();
}

void TdxGPImage::Clear() {
  if (FHandle || !FImageData.Empty()) {
    FreeImage();
    Changed();
  }
}

bool TdxGPImage::IsBitmapData(TStream& Stream) {
  uint8_t header[14];
  const int64_t n = Stream.Read(header, sizeof header);
  Stream.Seek(-n, soCurrent);
  return n == int64_t(sizeof header) && header[0] == 'B' && header[1] == 'M';
}

void TdxGPImage::LoadStream(TStream& Stream) {
  FreeImage();
  const int64_t rest = Stream.Size() - Stream.Position();
  if (rest <= 0) return;
  FImageData.FData = std::make_unique<TMemoryStream>();
  FImageData.FData->CopyFrom(Stream, rest);
}

void TdxGPImage::LoadFromStream(TStream& Stream) {
  LoadStream(Stream);
  Changed();
}

void TdxGPImage::CreateHandle() const {
  if (FImageData.Empty()) return;
  auto* self = const_cast<TdxGPImage*>(this);
  GpImage* image = nullptr;
  if (FImageData.FData && !FImageData.FPixels) {
    TMemoryStream& data = *FImageData.FData;
    data.SetPosition(0);
    if (UseFrameworkBitmapReader() && IsBitmapData(data)) {
      TBitmap bitmap;
      bitmap.LoadFromStream(data);
      self->FImageData.Clear();
      self->AssignFromBitmap(&bitmap);
      if (FImageData.FPixels) CreateHandle();  // now from the pixels
      return;
    }
    const GpStreamIO io = Adapter(data);
    GdipCheck(dxGp.GdipLoadImageFromStream(&io, &image));
  } else {
    // Straight alpha, as the pixels hold it: declaring them premultiplied would
    // change the colours of half-transparent pixels on the way to a file.
    GdipCheck(dxGp.GdipCreateBitmapFromScan0(FImageData.FWidth, FImageData.FHeight, FImageData.FWidth * 4,
                                             PixelFormat32bppARGB,
                                             reinterpret_cast<uint8_t*>(FImageData.FPixels->data()), &image));
  }
  SetHandle(image);
  GpGUID raw{};
  GdipCheck(dxGp.GdipGetImageRawFormat(image, &raw));
  FImageFormat = dxGetImageDataFormat(raw);
  if (FActiveFrame != 0 && dxGp.GdipImageSelectActiveFrame(image, nullptr, uint32_t(FActiveFrame)) != Ok)
    dxGp.GdipImageSelectActiveFrame(image, nullptr, 0);
  if (FImageData.FNewSize.cx > 0 && FImageData.FNewSize.cy > 0)
    self->Resize(FImageData.FNewSize.cx, FImageData.FNewSize.cy);
}

GpImage* TdxGPImage::Handle() const {
  if (!FHandle && !FImageData.Empty() && CheckGdiPlus(false)) CreateHandle();
  return FHandle;
}

TdxImageDataFormat TdxGPImage::ImageDataFormat() const {
  Handle();
  return FImageFormat;
}

bool TdxGPImage::Empty() const {
  if (FHandle) return Width() <= 0 || Height() <= 0;
  return FImageData.Empty();
}

int TdxGPImage::Width() const {
  uint32_t w = 0;
  if (GpImage* h = Handle()) GdipCheck(dxGp.GdipGetImageWidth(h, &w));
  return int(w);
}

int TdxGPImage::Height() const {
  uint32_t v = 0;
  if (GpImage* h = Handle()) GdipCheck(dxGp.GdipGetImageHeight(h, &v));
  return int(v);
}

int TdxGPImage::FrameCount() const {
  uint32_t n = 0;
  if (GpImage* h = Handle()) GdipCheck(dxGp.GdipImageGetFrameCount(h, nullptr, &n));
  return int(n);
}

void TdxGPImage::SetActiveFrame(int Value) {
  if (Value == FActiveFrame) return;
  FActiveFrame = Value;
  if (FHandle && dxGp.GdipImageSelectActiveFrame(FHandle, nullptr, uint32_t(Value)) != Ok)
    dxGp.GdipImageSelectActiveFrame(FHandle, nullptr, 0);
  Changed();
}

void TdxGPImage::SetPixels(int Width, int Height, std::shared_ptr<TRGBColors> Pixels, bool AlphaUsed) {
  FreeImage();
  if (Width <= 0 || Height <= 0 || !Pixels || Pixels->size() < size_t(Width) * size_t(Height)) return;
  FImageData.FPixels = std::move(Pixels);
  FImageData.FWidth = Width;
  FImageData.FHeight = Height;
  if (!AlphaUsed) {
    TRGBColors& p = *FImageData.FPixels;
    const uint32_t reference = FImageData.FTransparentMode == tmFixed
                                   ? ToPixel(FImageData.FTransparentColor)
                                   : p[size_t(Height - 1) * size_t(Width)] & 0xFFFFFF;
    for (uint32_t& v : p) {
      const bool clear = FImageData.FTransparent && (v & 0xFFFFFF) == reference;
      v = (v & 0xFFFFFF) | (clear ? 0 : 0xFF000000u);
    }
  }
}

void TdxGPImage::AssignFromBitmap(TBitmap* Bitmap) {
  FImageData.FTransparent = FImageData.FTransparent || Bitmap->Transparent();
  FImageData.FTransparentColor = Bitmap->TransparentColor();
  FImageData.FTransparentMode = tmAuto;
  auto pixels = std::make_shared<TRGBColors>();
  if (!GetBitmapBits(Bitmap, *pixels, true)) return;
  bool alpha = false;
  if (Bitmap->PixelFormat() == pf32bit) {
    bool allZero = true;
    for (uint32_t v : *pixels) {
      alpha = alpha || (v >> 24) != 0;
      allZero = allZero && v == 0;
    }
    alpha = alpha || allZero;
  }
  SetPixels(Bitmap->Width(), Bitmap->Height(), std::move(pixels), alpha);
}

void TdxGPImage::SetBitmap(TBitmap* Bitmap) {
  AssignFromBitmap(Bitmap);
  Changed();
}

void TdxGPImage::AssignFromImage(TdxGPImage* Image) {
  if (!Image->FImageData.Empty()) {
    FreeImage();
    const TdxGPImageData& s = Image->FImageData;
    FImageData.FPixels = s.FPixels;
    FImageData.FWidth = s.FWidth;
    FImageData.FHeight = s.FHeight;
    FImageData.FNewSize = s.FNewSize;
    FImageData.FTransparent = s.FTransparent;
    FImageData.FTransparentColor = s.FTransparentColor;
    FImageData.FTransparentMode = s.FTransparentMode;
    if (s.FData) {
      const int64_t pos = s.FData->Position();
      FImageData.FData = std::make_unique<TMemoryStream>();
      s.FData->SetPosition(0);
      FImageData.FData->CopyFrom(*s.FData, s.FData->Size());
      s.FData->SetPosition(pos);
    }
    Changed();
  } else if (Image->Empty()) {
    Clear();
  } else if (Image->ImageDataFormat() == dxImageBitmap) {
    std::unique_ptr<TBitmap> b = Image->GetAsBitmap();
    SetBitmap(b.get());
  } else {
    TMemoryStream s;
    Image->SaveToStream(s);
    s.SetPosition(0);
    LoadFromStream(s);
  }
}

void TdxGPImage::AssignFromGraphic(TGraphic* Graphic) {
  if (auto* b = dynamic_cast<TBitmap*>(Graphic)) {
    SetBitmap(b);
    return;
  }
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(Graphic->Width(), Graphic->Height());
  b.Canvas()->Draw(0, 0, Graphic);
  SetBitmap(&b);
}

void TdxGPImage::Assign(TPersistent* Source) {
  if (!Source)
    Clear();
  else if (auto* image = dynamic_cast<TdxGPImage*>(Source))
    AssignFromImage(image);
  else if (auto* graphic = dynamic_cast<TGraphic*>(Source))
    AssignFromGraphic(graphic);
  else
    TGraphic::Assign(Source);
}

void TdxGPImage::AssignTo(TPersistent* Dest) {
  if (auto* image = dynamic_cast<TdxGPImage*>(Dest)) {
    image->Assign(this);
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
    std::unique_ptr<TBitmap> b = GetAsBitmap();
    bitmap->Assign(b.get());
  } else {
    TGraphic::AssignTo(Dest);
  }
}

std::unique_ptr<TBitmap> TdxGPImage::GetAsBitmap() {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf32bit);
  GpImage* h = Handle();
  if (!h) return b;
  const int w = Width(), ht = Height();
  b->SetSize(w, ht);
  b->SetAlphaFormat(afDefined);
  std::vector<uint32_t> pixels(size_t(w) * size_t(ht));
  GdipCheck(dxGp.GdipBitmapGetPixels(h, reinterpret_cast<uint8_t*>(pixels.data()), w * 4));
  for (int y = 0; y < ht; ++y) std::memcpy(b->ScanLine(y), pixels.data() + size_t(y) * size_t(w), size_t(w) * 4);
  return b;
}

bool TdxGPImage::GetTransparent() const {
  if (!FAlphaUsed) {
    bool used = false;
    if (!Empty()) {
      auto* self = const_cast<TdxGPImage*>(this);
      std::unique_ptr<TBitmap> b = self->GetAsBitmap();
      for (int y = 0; y < b->Height() && !used; ++y) {
        const auto* row = static_cast<const uint32_t*>(b->ScanLine(y));
        for (int x = 0; x < b->Width() && !used; ++x) used = (row[x] >> 24) != 255;
      }
    }
    FAlphaUsed = used;
  }
  return *FAlphaUsed;
}

bool TdxGPImage::Compare(TdxGPImage* Image) {
  if (Width() != Image->Width() || Height() != Image->Height()) return false;
  if (Empty() || Image->Empty()) return true;
  std::unique_ptr<TBitmap> a = GetAsBitmap(), b = Image->GetAsBitmap();
  for (int y = 0; y < a->Height(); ++y)
    if (std::memcmp(a->ScanLine(y), b->ScanLine(y), size_t(a->Width()) * 4) != 0) return false;
  return true;
}

std::unique_ptr<TdxGPImage> TdxGPImage::Clone() const {
  const TGraphicClass* cls = FindGraphicClass(ClassName());
  std::unique_ptr<TdxGPImage> copy;
  if (cls) copy.reset(dynamic_cast<TdxGPImage*>(cls->Create().release()));
  if (!copy) copy = std::make_unique<TdxGPImage>();
  copy->Assign(const_cast<TdxGPImage*>(this));
  return copy;
}

void TdxGPImage::ChangeColor(TColor Color) {
  if (Color == clNone || Color == clDefault || Empty()) return;
  std::unique_ptr<TBitmap> b = GetAsBitmap();
  const uint32_t c = ToPixel(Color);
  auto pixels = std::make_shared<TRGBColors>(size_t(b->Width()) * size_t(b->Height()));
  for (int y = 0; y < b->Height(); ++y) {
    const auto* row = static_cast<const uint32_t*>(b->ScanLine(y));
    for (int x = 0; x < b->Width(); ++x) {
      const uint32_t a = row[x] >> 24;
      auto scale = [&](int shift) { return ((((c >> shift) & 0xFF) * a + 127) / 255) << shift; };
      (*pixels)[size_t(y) * size_t(b->Width()) + size_t(x)] = (a << 24) | scale(16) | scale(8) | scale(0);
    }
  }
  SetPixels(b->Width(), b->Height(), std::move(pixels), true);
  Changed();
}

void TdxGPImage::Resize(int NewWidth, int NewHeight) {
  FImageData.FNewSize = TSize{NewWidth, NewHeight};
  if (!FHandle || NewWidth <= 0 || NewHeight <= 0) return;
  ImagePtr target(dxGpCreateBitmap(NewWidth, NewHeight));
  GpGraphics* g = nullptr;
  GdipCheck(dxGp.GdipGetImageGraphicsContext(target.get(), &g));
  const GpStatus s = dxGp.GdipDrawImageRectI(g, FHandle, 0, 0, NewWidth, NewHeight);
  dxGp.GdipDeleteGraphics(g);
  GdipCheck(s);
  // The drawn image stands on its own: the stored form no longer describes it.
  FImageData.FPixels.reset();
  FImageData.FData.reset();
  SetHandle(target.release());
}

uint32_t TdxGPImage::GetHashCode() {
  if (Empty()) return 0;
  std::unique_ptr<TBitmap> b = GetAsBitmap();
  uLong crc = crc32(0, nullptr, 0);
  for (int y = 0; y < b->Height(); ++y)
    crc = crc32(crc, static_cast<const Bytef*>(b->ScanLine(y)), uInt(b->Width()) * 4);
  return uint32_t(crc);
}

void TdxGPImage::InternalSaveToStream(TStream& Stream, TdxImageDataFormat Format) {
  if (Format == FImageFormat && FImageData.FData && !FImageData.FPixels) {
    Stream.WriteBuffer(FImageData.FData->Memory(), FImageData.FData->Size());
    return;
  }
  const GpGUID encoder = dxGetImageEncoder(Format);
  if (!dxGpIsCodecSet(encoder)) throw EdxException("InternalSaveToStream fails");
  const GpStreamIO io = Adapter(Stream);
  GdipCheck(dxGp.GdipSaveImageToStream(FHandle, &io, &encoder, nullptr));
}

void TdxGPImage::SaveToStreamByCodec(TStream& Stream, TdxImageDataFormat Format) {
  if (!Handle()) return;
  InternalSaveToStream(Stream, Format);
}

void TdxGPImage::SaveToStream(TStream& Stream) {
  if (!Handle()) return;
  InternalSaveToStream(Stream, FImageFormat == dxImageMemoryBmp ? dxImageBitmap : FImageFormat);
}

void TdxGPImage::PaintTo(HDC DC, const TRect& Rect, uint8_t Alpha, const TRect* Source) {
  GpImage* h = Handle();
  if (!h) return;
  TRect src = Source ? *Source : TRect(0, 0, Width(), Height());
  const int w = Rect.Width(), ht = Rect.Height();
  if (w < 1 || ht < 1 || src.Width() < 1 || src.Height() < 1) return;
  // Stretching up from a source one pixel short keeps the last row and column
  // from smearing half a pixel into the edge.
  if (src.Width() > 1 && src.Width() < w) src.Right -= 1;
  if (src.Height() > 1 && src.Height() < ht) src.Bottom -= 1;
  // Drawn into a premultiplied buffer, then blended onto the device context,
  // which keeps its own origin and clipping.
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -ht;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP buffer = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!buffer) return;
  GpGraphics* g = nullptr;
  GpImageAttributes* attributes = nullptr;
  GpStatus s = dxGp.GdipCreateFromScan0(w, ht, w * 4, static_cast<uint8_t*>(bits), &g);
  if (s == Ok && Alpha < 255) {
    s = dxGp.GdipCreateImageAttributes(&attributes);
    ColorMatrix m{};
    for (int i = 0; i < 5; ++i) m.m[i][i] = 1.0f;
    m.m[3][3] = float(Alpha) / 255.0f;
    if (s == Ok) s = dxGp.GdipSetImageAttributesColorMatrix(attributes, ColorAdjustTypeBitmap, 1, &m, nullptr,
                                                            ColorMatrixFlagsDefault);
  }
  if (s == Ok)
    s = dxGp.GdipDrawImageRectRectI(g, h, 0, 0, w, ht, src.Left, src.Top, src.Width(), src.Height(), UnitPixel,
                                    attributes, nullptr, nullptr);
  if (attributes) dxGp.GdipDisposeImageAttributes(attributes);
  if (g) dxGp.GdipDeleteGraphics(g);
  if (s == Ok) {
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, buffer);
    AlphaBlend(DC, Rect.Left, Rect.Top, w, ht, mem, 0, 0, w, ht, BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  DeleteObject(buffer);
  GdipCheck(s);
}

void TdxGPImage::Draw(TCanvas* ACanvas, const TRect& Rect) { PaintTo(ACanvas->Handle(), Rect); }

// ---- Registration ----

namespace {

struct FormatRow {
  const char* extension;
  bool png;
  const char* description;
  GpGUID TdxGpCodecs::*decoder;
};

const FormatRow kFormats[] = {
    {"TIFF", false, "TIFF graphics from Tesserine", &TdxGpCodecs::TiffDecoder},
    {"TIF", false, "TIFF graphics from Tesserine", &TdxGpCodecs::TiffDecoder},
    {"GIF", false, "GIF graphics from Tesserine", &TdxGpCodecs::GifDecoder},
    {"JPEG", false, "JPEG graphics from Tesserine", &TdxGpCodecs::JpegDecoder},
    {"JPG", false, "JPEG graphics from Tesserine", &TdxGpCodecs::JpegDecoder},
    {"PNG", true, "PNG graphics from Tesserine", &TdxGpCodecs::PngDecoder},
};

bool gRegistered = false;

}  // namespace

bool dxGDIPlusClassesInitialize() {
  if (gRegistered) return true;
  if (!CheckGdiPlus(false)) return false;
  dxGpInitializeCodecs();
  RegisterGraphicClass(GraphicClassOf<TdxPNGImage>());
  RegisterGraphicClass(GraphicClassOf<TdxSmartImage>());
  for (const FormatRow& row : kFormats) {
    if (!dxGpIsCodecSet(dxGpCodecs.*row.decoder)) continue;
    TPicture::RegisterFileFormat(row.extension, row.description,
                                 row.png ? GraphicClassOf<TdxPNGImage>() : GraphicClassOf<TdxSmartImage>());
  }
  gRegistered = true;
  return true;
}

void dxGDIPlusClassesFinalize() {
  if (gRegistered) {
    TPicture::UnregisterGraphicClass(GraphicClassOf<TdxGPImage>());
    TPicture::UnregisterGraphicClass(GraphicClassOf<TdxSmartImage>());
    TPicture::UnregisterGraphicClass(GraphicClassOf<TdxPNGImage>());
    gRegistered = false;
  }
  dxGpShutdown();
}
