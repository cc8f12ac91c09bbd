#include "platform/picture/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/picture/Codecs.h"

using picture::Format;
using picture::Frame;

struct GpImage {
  Format format = Format::MemoryBmp;
  std::vector<Frame> frames;
  size_t active = 0;
  // Caller memory a bitmap made from scan lines draws from and into (null: the frame's own pixels).
  uint8_t* scan0 = nullptr;
  int stride = 0;
  GpPixelFormat pixelFormat = PixelFormat32bppARGB;

  int Width() const { return frames[active].width; }
  int Height() const { return frames[active].height; }
};

struct GpGraphics {
  int width = 0;
  int height = 0;
  int stride = 0;
  uint8_t* bits = nullptr;  // premultiplied when over caller memory
  GpImage* image = nullptr;  // set when drawing into an image
};

struct GpImageAttributes {
  float alphaScale = 1.0f;
};

namespace {

// Codec identifiers: Data1 tells the format, the rest is shared.
constexpr GpGUID kCodecBase{0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr GpGUID kFormatBase{0, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

struct CodecRow {
  Format format;
  uint32_t codecId;
  uint32_t formatId;
  const char* name;
  const char* description;
  const char* extensions;
  const char* mime;
};

const CodecRow kCodecs[] = {
    {Format::Bmp, 0x557CF400, ImageFormatBMPId, "Built-in BMP Codec", "BMP", "*.BMP;*.DIB;*.RLE", "image/bmp"},
    {Format::Jpeg, 0x557CF401, ImageFormatJPEGId, "Built-in JPEG Codec", "JPEG", "*.JPG;*.JPEG;*.JPE;*.JFIF",
     "image/jpeg"},
    {Format::Gif, 0x557CF402, ImageFormatGIFId, "Built-in GIF Codec", "GIF", "*.GIF", "image/gif"},
    {Format::Tiff, 0x557CF405, ImageFormatTIFFId, "Built-in TIFF Codec", "TIFF", "*.TIF;*.TIFF", "image/tiff"},
    {Format::Png, 0x557CF406, ImageFormatPNGId, "Built-in PNG Codec", "PNG", "*.PNG", "image/png"},
};

GpGUID WithId(GpGUID base, uint32_t id) {
  base.Data1 = id;
  return base;
}

uint32_t FormatId(Format f) {
  if (f == Format::MemoryBmp) return ImageFormatMemoryBMPId;
  for (const CodecRow& c : kCodecs)
    if (c.format == f) return c.formatId;
  return 0;
}

bool SameTail(const GpGUID& a, const GpGUID& b) {
  return a.Data2 == b.Data2 && a.Data3 == b.Data3 && std::memcmp(a.Data4, b.Data4, 8) == 0;
}

// Both lists offer every format: decoders and encoders are the same table.
GpStatus CodecsSize(uint32_t* num, uint32_t* size) {
  if (!num || !size) return InvalidParameter;
  uint32_t text = 0;
  for (const CodecRow& c : kCodecs)
    text += uint32_t(std::strlen(c.name) + std::strlen(c.description) + std::strlen(c.extensions) +
                     std::strlen(c.mime) + 4);
  *num = uint32_t(std::size(kCodecs));
  *size = uint32_t(sizeof(ImageCodecInfo) * std::size(kCodecs)) + text;
  return Ok;
}

GpStatus Codecs(uint32_t num, uint32_t size, ImageCodecInfo* out) {
  uint32_t n = 0, need = 0;
  CodecsSize(&n, &need);
  if (!out || num != n || size < need) return InvalidParameter;
  char* text = reinterpret_cast<char*>(out + n);
  auto put = [&](const char* s) {
    const size_t len = std::strlen(s) + 1;
    std::memcpy(text, s, len);
    const char* start = text;
    text += len;
    return start;
  };
  for (uint32_t i = 0; i < n; ++i) {
    const CodecRow& c = kCodecs[i];
    ImageCodecInfo& info = out[i];
    info.Clsid = WithId(kCodecBase, c.codecId);
    info.FormatID = WithId(kFormatBase, c.formatId);
    info.CodecName = put(c.name);
    info.FormatDescription = put(c.description);
    info.FilenameExtension = put(c.extensions);
    info.MimeType = put(c.mime);
    info.Flags = 0x7;  // encoder, decoder, supports bitmap
    info.Version = 1;
  }
  return Ok;
}

const CodecRow* CodecByClsid(const GpGUID* clsid) {
  if (!clsid || !SameTail(*clsid, kCodecBase)) return nullptr;
  for (const CodecRow& c : kCodecs)
    if (c.codecId == clsid->Data1) return &c;
  return nullptr;
}

// Every entry point turns an escaping allocation failure into a status.
template <class F>
GpStatus Guard(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  } catch (...) {
    return GenericError;
  }
}

// Brings caller scan lines into the active frame (they may have been drawn on).
const Frame& Pixels(GpImage* image) {
  Frame& f = image->frames[image->active];
  if (image->scan0) {
    for (int y = 0; y < f.height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(image->scan0 + size_t(y) * size_t(image->stride));
      uint32_t* dst = f.pixels.data() + size_t(y) * size_t(f.width);
      for (int x = 0; x < f.width; ++x) {
        uint32_t p = row[x];
        if (image->pixelFormat == PixelFormat32bppRGB) {
          p |= 0xFF000000u;
        } else if (image->pixelFormat == PixelFormat32bppPARGB) {
          const unsigned a = p >> 24;
          if (a == 0) {
            p = 0;
          } else if (a < 255) {
            auto un = [&](int shift) { return std::min(255u, (((p >> shift) & 0xFF) * 255 + a / 2) / a) << shift; };
            p = (p & 0xFF000000u) | un(16) | un(8) | un(0);
          }
        }
        dst[x] = p;
      }
    }
  }
  return f;
}

int64_t ReadAll(const GpStreamIO* s, std::vector<uint8_t>& out) {
  uint8_t buffer[65536];
  for (;;) {
    const int64_t n = s->Read(s->Context, buffer, sizeof buffer);
    if (n < 0) return -1;
    if (n == 0) return int64_t(out.size());
    out.insert(out.end(), buffer, buffer + n);
  }
}

uint32_t Premultiply(uint32_t p, float scale) {
  unsigned a = p >> 24;
  if (scale < 1.0f) a = unsigned(std::lround(float(a) * std::max(0.0f, scale)));
  if (a == 0) return 0;
  auto mul = [&](int shift) { return ((((p >> shift) & 0xFF) * a + 127) / 255) << shift; };
  return (uint32_t(a) << 24) | mul(16) | mul(8) | mul(0);
}

}  // namespace

namespace {
GpStatus Hook(uintptr_t* token) {
  if (token) *token = 1;
  return Ok;
}
void Unhook(uintptr_t) {}
}  // namespace

// Only the API's own functions leave the library.
#pragma GCC visibility push(default)
extern "C" {

void* GdipAlloc(size_t size) { return std::malloc(size ? size : 1); }
void GdipFree(void* ptr) { std::free(ptr); }

GpStatus GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input || input->GdiplusVersion != 1) return InvalidParameter;
  *token = 1;
  if (output) {
    output->NotificationHook = Hook;
    output->NotificationUnhook = Unhook;
  }
  return Ok;
}

void GdiplusShutdown(uintptr_t) {}

GpStatus GdipGetImageDecodersSize(uint32_t* num, uint32_t* size) { return CodecsSize(num, size); }
GpStatus GdipGetImageDecoders(uint32_t num, uint32_t size, ImageCodecInfo* out) { return Codecs(num, size, out); }
GpStatus GdipGetImageEncodersSize(uint32_t* num, uint32_t* size) { return CodecsSize(num, size); }
GpStatus GdipGetImageEncoders(uint32_t num, uint32_t size, ImageCodecInfo* out) { return Codecs(num, size, out); }

GpStatus GdipLoadImageFromStream(const GpStreamIO* stream, GpImage** image) {
  if (!stream || !stream->Read || !image) return InvalidParameter;
  *image = nullptr;
  return Guard([&] {
    std::vector<uint8_t> data;
    if (ReadAll(stream, data) < 0) return GpStatus(GenericError);
    auto img = std::make_unique<GpImage>();
    img->format = picture::Sniff(data.data(), data.size());
    bool ok = false;
    switch (img->format) {
      case Format::Bmp: ok = picture::DecodeBmpFile(data.data(), data.size(), img->frames); break;
      case Format::Png: ok = picture::DecodePng(data.data(), data.size(), img->frames); break;
      case Format::Jpeg: ok = picture::DecodeJpeg(data.data(), data.size(), img->frames); break;
      case Format::Gif: ok = picture::DecodeGif(data.data(), data.size(), img->frames); break;
      case Format::Tiff: ok = picture::DecodeTiff(data.data(), data.size(), img->frames); break;
      default: return GpStatus(UnknownImageFormat);
    }
    if (!ok || img->frames.empty()) return GpStatus(GenericError);
    *image = img.release();
    return GpStatus(Ok);
  });
}

GpStatus GdipSaveImageToStream(GpImage* image, const GpStreamIO* stream, const GpGUID* clsid, const void*) {
  if (!image || !stream || !stream->Write) return InvalidParameter;
  const CodecRow* codec = CodecByClsid(clsid);
  if (!codec) return UnknownImageFormat;
  return Guard([&] {
    const Frame& f = Pixels(image);
    std::vector<uint8_t> out;
    bool ok = false;
    switch (codec->format) {
      case Format::Bmp: ok = picture::EncodeBmpFile(f, out); break;
      case Format::Png: ok = picture::EncodePng(f, out); break;
      case Format::Jpeg: ok = picture::EncodeJpeg(f, out); break;
      case Format::Gif: ok = picture::EncodeGif(f, out); break;
      case Format::Tiff: ok = picture::EncodeTiff(f, out); break;
      default: break;
    }
    if (!ok) return GpStatus(GenericError);
    if (stream->Write(stream->Context, out.data(), int64_t(out.size())) != int64_t(out.size()))
      return GpStatus(Win32Error);
    return GpStatus(Ok);
  });
}

GpStatus GdipCreateBitmapFromScan0(int width, int height, int stride, GpPixelFormat format, uint8_t* scan0,
                                   GpImage** bitmap) {
  if (!bitmap || !picture::SizeAllowed(width, height)) return InvalidParameter;
  if (format != PixelFormat32bppRGB && format != PixelFormat32bppARGB && format != PixelFormat32bppPARGB)
    return InvalidParameter;
  if (stride == 0) stride = width * 4;
  if (scan0 && stride < width * 4) return InvalidParameter;
  return Guard([&] {
    auto img = std::make_unique<GpImage>();
    Frame f;
    f.width = width;
    f.height = height;
    f.pixels.assign(size_t(width) * size_t(height), 0);
    img->frames.push_back(std::move(f));
    img->scan0 = scan0;
    img->stride = stride;
    img->pixelFormat = format;
    *bitmap = img.release();
    return GpStatus(Ok);
  });
}

GpStatus GdipCloneImage(GpImage* image, GpImage** clone) {
  if (!image || !clone) return InvalidParameter;
  return Guard([&] {
    Pixels(image);
    auto copy = std::make_unique<GpImage>(*image);
    copy->scan0 = nullptr;
    copy->pixelFormat = PixelFormat32bppARGB;
    *clone = copy.release();
    return GpStatus(Ok);
  });
}

GpStatus GdipDisposeImage(GpImage* image) {
  if (!image) return InvalidParameter;
  delete image;
  return Ok;
}

GpStatus GdipGetImageWidth(GpImage* image, uint32_t* width) {
  if (!image || !width) return InvalidParameter;
  *width = uint32_t(image->Width());
  return Ok;
}

GpStatus GdipGetImageHeight(GpImage* image, uint32_t* height) {
  if (!image || !height) return InvalidParameter;
  *height = uint32_t(image->Height());
  return Ok;
}

GpStatus GdipGetImageRawFormat(GpImage* image, GpGUID* format) {
  if (!image || !format) return InvalidParameter;
  *format = WithId(kFormatBase, FormatId(image->format));
  return Ok;
}

GpStatus GdipGetImageType(GpImage* image, int* type) {
  if (!image || !type) return InvalidParameter;
  *type = ImageTypeBitmap;
  return Ok;
}

GpStatus GdipImageGetFrameCount(GpImage* image, const GpGUID*, uint32_t* count) {
  if (!image || !count) return InvalidParameter;
  *count = uint32_t(image->frames.size());
  return Ok;
}

GpStatus GdipImageSelectActiveFrame(GpImage* image, const GpGUID*, uint32_t frameIndex) {
  if (!image || frameIndex >= image->frames.size()) return InvalidParameter;
  image->active = frameIndex;
  return Ok;
}

GpStatus GdipBitmapGetPixels(GpImage* image, uint8_t* out, int stride) {
  if (!image || !out || stride < image->Width() * 4) return InvalidParameter;
  const Frame& f = Pixels(image);
  for (int y = 0; y < f.height; ++y)
    std::memcpy(out + size_t(y) * size_t(stride), f.pixels.data() + size_t(y) * size_t(f.width), size_t(f.width) * 4);
  return Ok;
}

GpStatus GdipCreateFromScan0(int width, int height, int stride, uint8_t* scan0, GpGraphics** graphics) {
  if (!graphics || !scan0 || width <= 0 || height <= 0 || stride < width * 4) return InvalidParameter;
  return Guard([&] {
    auto g = std::make_unique<GpGraphics>();
    g->width = width;
    g->height = height;
    g->stride = stride;
    g->bits = scan0;
    *graphics = g.release();
    return GpStatus(Ok);
  });
}

GpStatus GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics) {
  if (!image || !graphics) return InvalidParameter;
  return Guard([&] {
    auto g = std::make_unique<GpGraphics>();
    g->width = image->Width();
    g->height = image->Height();
    g->image = image;
    *graphics = g.release();
    return GpStatus(Ok);
  });
}

GpStatus GdipDeleteGraphics(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  delete graphics;
  return Ok;
}

GpStatus GdipIsVisibleRectI(GpGraphics* graphics, int x, int y, int width, int height, int* result) {
  if (!graphics || !result) return InvalidParameter;
  *result = width > 0 && height > 0 && x < graphics->width && y < graphics->height && int64_t(x) + width > 0 &&
            int64_t(y) + height > 0;
  return Ok;
}

GpStatus GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, int dstx, int dsty, int dstwidth,
                                int dstheight, int srcx, int srcy, int srcwidth, int srcheight, int srcUnit,
                                GpImageAttributes* attributes, void*, void*) {
  if (!graphics || !image || srcUnit != UnitPixel) return InvalidParameter;
  if (dstwidth <= 0 || dstheight <= 0 || srcwidth <= 0 || srcheight <= 0) return Ok;
  return Guard([&] {
    const Frame& src = Pixels(image);
    const float scale = attributes ? attributes->alphaScale : 1.0f;
    // Pixel centres of the destination map back into the source rectangle.
    const double sx = double(srcwidth) / dstwidth, sy = double(srcheight) / dstheight;
    auto sample = [&](int x, int y) {
      x = std::clamp(x, std::max(0, srcx), std::min(src.width, srcx + srcwidth) - 1);
      y = std::clamp(y, std::max(0, srcy), std::min(src.height, srcy + srcheight) - 1);
      return Premultiply(src.pixels[size_t(y) * size_t(src.width) + size_t(x)], scale);
    };
    if (srcx >= src.width || srcy >= src.height || srcx + srcwidth <= 0 || srcy + srcheight <= 0)
      return GpStatus(Ok);
    std::vector<uint32_t>* target = nullptr;
    if (graphics->image) target = &graphics->image->frames[graphics->image->active].pixels;
    for (int y = std::max(0, dsty); y < std::min(graphics->height, dsty + dstheight); ++y) {
      const double fy = srcy + (y - dsty + 0.5) * sy - 0.5;
      const int y0 = int(std::floor(fy));
      const double wy = fy - y0;
      for (int x = std::max(0, dstx); x < std::min(graphics->width, dstx + dstwidth); ++x) {
        const double fx = srcx + (x - dstx + 0.5) * sx - 0.5;
        const int x0 = int(std::floor(fx));
        const double wx = fx - x0;
        const uint32_t p00 = sample(x0, y0), p10 = sample(x0 + 1, y0), p01 = sample(x0, y0 + 1),
                       p11 = sample(x0 + 1, y0 + 1);
        uint32_t s = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          auto c = [&](uint32_t p) { return double((p >> shift) & 0xFF); };
          const double v = (c(p00) * (1 - wx) + c(p10) * wx) * (1 - wy) + (c(p01) * (1 - wx) + c(p11) * wx) * wy;
          s |= uint32_t(std::lround(std::clamp(v, 0.0, 255.0))) << shift;
        }
        const unsigned sa = s >> 24;
        if (target) {
          // Images hold straight alpha: blend in premultiplied form and convert back.
          uint32_t& d = (*target)[size_t(y) * size_t(graphics->width) + size_t(x)];
          const uint32_t dp = Premultiply(d, 1.0f);
          uint32_t r = 0;
          for (int shift = 0; shift < 32; shift += 8)
            r |= std::min(255u, ((s >> shift) & 0xFF) + (((dp >> shift) & 0xFF) * (255 - sa) + 127) / 255) << shift;
          const unsigned ra = r >> 24;
          if (ra == 0) {
            d = 0;
          } else {
            auto un = [&](int shift) { return std::min(255u, (((r >> shift) & 0xFF) * 255 + ra / 2) / ra) << shift; };
            d = (r & 0xFF000000u) | un(16) | un(8) | un(0);
          }
        } else {
          auto* d = reinterpret_cast<uint32_t*>(graphics->bits + size_t(y) * size_t(graphics->stride)) + x;
          uint32_t r = 0;
          for (int shift = 0; shift < 32; shift += 8)
            r |= std::min(255u, ((s >> shift) & 0xFF) + (((*d >> shift) & 0xFF) * (255 - sa) + 127) / 255) << shift;
          *d = r;
        }
      }
    }
    return GpStatus(Ok);
  });
}

GpStatus GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, int x, int y, int width, int height) {
  if (!image) return InvalidParameter;
  return GdipDrawImageRectRectI(graphics, image, x, y, width, height, 0, 0, image->Width(), image->Height(),
                                UnitPixel, nullptr, nullptr, nullptr);
}

GpStatus GdipCreateImageAttributes(GpImageAttributes** attributes) {
  if (!attributes) return InvalidParameter;
  return Guard([&] {
    *attributes = new GpImageAttributes();
    return GpStatus(Ok);
  });
}

GpStatus GdipSetImageAttributesColorMatrix(GpImageAttributes* attributes, int, int enableFlag,
                                           const ColorMatrix* colorMatrix, const ColorMatrix*, int) {
  if (!attributes || (enableFlag && !colorMatrix)) return InvalidParameter;
  // Only the alpha scale of the matrix is applied.
  attributes->alphaScale = enableFlag ? colorMatrix->m[3][3] : 1.0f;
  return Ok;
}

GpStatus GdipDisposeImageAttributes(GpImageAttributes* attributes) {
  if (!attributes) return InvalidParameter;
  delete attributes;
  return Ok;
}

}  // extern "C"
#pragma GCC visibility pop
