#include "platform/picture/Codecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdlib>
#include <map>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "platform/gdi/BmpFile.h"
#include "platform/gdi/Gdi.h"

namespace picture {

bool SizeAllowed(int64_t width, int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

Format Sniff(const uint8_t* d, size_t n) {
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return Format::Bmp;
  if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1a\n", 8) == 0) return Format::Png;
  if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return Format::Jpeg;
  if (n >= 6 && (std::memcmp(d, "GIF87a", 6) == 0 || std::memcmp(d, "GIF89a", 6) == 0)) return Format::Gif;
  if (n >= 4 && (std::memcmp(d, "II*\0", 4) == 0 || std::memcmp(d, "MM\0*", 4) == 0)) return Format::Tiff;
  return Format::Unknown;
}

namespace {

Frame NewFrame(int width, int height) {
  Frame f;
  f.width = width;
  f.height = height;
  f.pixels.assign(size_t(width) * size_t(height), 0);
  return f;
}

uint32_t Pack(uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  return uint32_t(b) | (uint32_t(g) << 8) | (uint32_t(r) << 16) | (uint32_t(a) << 24);
}

}  // namespace

// ---- BMP: the drawing layer's own codec ----

bool DecodeBmpFile(const uint8_t* data, size_t size, std::vector<Frame>& frames) {
  HBITMAP src = DecodeBmp(data, size, nullptr);
  if (!src) return false;
  BITMAP bm;
  GetObject(src, sizeof bm, &bm);
  bool ok = false;
  if (SizeAllowed(bm.bmWidth, bm.bmHeight)) {
    BITMAPINFO256 bi;
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dst = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dst) {
      HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
      HGDIOBJ oa = SelectObject(a, src), ob = SelectObject(b, dst);
      BitBlt(b, 0, 0, bm.bmWidth, bm.bmHeight, a, 0, 0, SRCCOPY);
      SelectObject(a, oa);
      SelectObject(b, ob);
      DeleteDC(a);
      DeleteDC(b);
      Frame f = NewFrame(bm.bmWidth, bm.bmHeight);
      std::memcpy(f.pixels.data(), bits, f.pixels.size() * 4);
      // BMP pixels carry no alpha: the reserved byte is not trusted.
      for (uint32_t& p : f.pixels) p |= 0xFF000000u;
      frames.push_back(std::move(f));
      DeleteObject(dst);
      ok = true;
    }
  }
  DeleteObject(src);
  return ok;
}

bool EncodeBmpFile(const Frame& frame, std::vector<uint8_t>& out) {
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = frame.width;
  bi.bmiHeader.biHeight = -frame.height;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bmp) return false;
  std::memcpy(bits, frame.pixels.data(), frame.pixels.size() * 4);
  const bool ok = EncodeBmp(bmp, out);
  DeleteObject(bmp);
  return ok;
}

// ---- PNG ----

bool DecodePng(const uint8_t* data, size_t size, std::vector<Frame>& frames) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return false;
  if (!SizeAllowed(image.width, image.height)) {
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_BGRA;
  Frame f = NewFrame(int(image.width), int(image.height));
  if (!png_image_finish_read(&image, nullptr, f.pixels.data(), int(image.width) * 4, nullptr)) {
    png_image_free(&image);
    return false;
  }
  frames.push_back(std::move(f));
  return true;
}

bool EncodePng(const Frame& frame, std::vector<uint8_t>& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(frame.width);
  image.height = png_uint_32(frame.height);
  image.format = PNG_FORMAT_BGRA;
  png_alloc_size_t bytes = 0;
  if (!png_image_write_to_memory(&image, nullptr, &bytes, 0, frame.pixels.data(), frame.width * 4, nullptr))
    return false;
  const size_t start = out.size();
  out.resize(start + bytes);
  if (!png_image_write_to_memory(&image, out.data() + start, &bytes, 0, frame.pixels.data(), frame.width * 4,
                                 nullptr)) {
    out.resize(start);
    return false;
  }
  out.resize(start + bytes);
  return true;
}

// ---- JPEG ----

namespace {

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void JpegErrorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1); }
void JpegSilence(j_common_ptr, int) {}

}  // namespace

// Nothing with a destructor may live between setjmp and the calls that can jump.
bool DecodeJpeg(const uint8_t* data, size_t size, std::vector<Frame>& frames) {
  jpeg_decompress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilence;
  Frame f;
  std::vector<uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  jpeg_calc_output_dimensions(&cinfo);
  if (!SizeAllowed(cinfo.output_width, cinfo.output_height)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  f = NewFrame(int(cinfo.output_width), int(cinfo.output_height));
  row.resize(size_t(cinfo.output_width) * 4);
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {row.data()};
    const unsigned y = cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, rows, 1);
    uint32_t* dst = f.pixels.data() + size_t(y) * size_t(f.width);
    for (int x = 0; x < f.width; ++x) {
      const uint8_t* p = row.data() + size_t(x) * 4;
      if (cmyk) {
        // Adobe's files store CMYK inverted, so each sample is already 255 - ink.
        const unsigned k = p[3];
        dst[x] = Pack(uint8_t(p[2] * k / 255), uint8_t(p[1] * k / 255), uint8_t(p[0] * k / 255), 255);
      } else {
        dst[x] = Pack(p[0], p[1], p[2], 255);
      }
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  frames.push_back(std::move(f));
  return true;
}

bool EncodeJpeg(const Frame& frame, std::vector<uint8_t>& out) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JpegErrorExit;
  err.mgr.emit_message = JpegSilence;
  unsigned char* buffer = nullptr;
  unsigned long bytes = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &bytes);
  cinfo.image_width = JDIMENSION(frame.width);
  cinfo.image_height = JDIMENSION(frame.height);
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_EXT_BGRX;  // JPEG has no alpha
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW rows[1] = {
        reinterpret_cast<JSAMPROW>(const_cast<uint32_t*>(frame.pixels.data() + size_t(cinfo.next_scanline) *
                                                                                   size_t(frame.width)))};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  out.insert(out.end(), buffer, buffer + bytes);
  std::free(buffer);
  return true;
}

// ---- GIF ----

namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

int GifRead(GifFileType* gif, GifByteType* buffer, int count) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  const size_t n = std::min(size_t(count), r->size - r->pos);
  std::memcpy(buffer, r->data + r->pos, n);
  r->pos += n;
  return int(n);
}

int GifWrite(GifFileType* gif, const GifByteType* buffer, int count) {
  static_cast<std::vector<uint8_t>*>(gif->UserData)->insert(
      static_cast<std::vector<uint8_t>*>(gif->UserData)->end(), buffer, buffer + count);
  return count;
}

}  // namespace

bool DecodeGif(const uint8_t* data, size_t size, std::vector<Frame>& frames) {
  MemoryReader reader{data, size, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, GifRead, &error);
  if (!gif) return false;
  bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0 && SizeAllowed(gif->SWidth, gif->SHeight);
  if (ok) {
    // Frames are composed onto one canvas, each frame a snapshot of it.
    Frame canvas = NewFrame(gif->SWidth, gif->SHeight);
    // Every frame is a full canvas: past the pixel budget, later frames are dropped.
    int64_t budget = kMaxPixels;
    for (int i = 0; i < gif->ImageCount && ok; ++i) {
      budget -= int64_t(canvas.width) * canvas.height;
      if (i > 0 && budget < 0) break;
      const SavedImage& img = gif->SavedImages[i];
      const ColorMapObject* map = img.ImageDesc.ColorMap ? img.ImageDesc.ColorMap : gif->SColorMap;
      if (!map || !img.RasterBits) {
        ok = false;
        break;
      }
      GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
      DGifSavedExtensionToGCB(gif, i, &gcb);
      const Frame before = gcb.DisposalMode == DISPOSE_PREVIOUS ? canvas : Frame();
      const GifImageDesc& d = img.ImageDesc;
      for (int y = 0; y < d.Height; ++y) {
        const int cy = d.Top + y;
        if (cy < 0 || cy >= canvas.height) continue;
        for (int x = 0; x < d.Width; ++x) {
          const int cx = d.Left + x;
          if (cx < 0 || cx >= canvas.width) continue;
          const int index = img.RasterBits[size_t(y) * size_t(d.Width) + size_t(x)];
          if (index == gcb.TransparentColor) continue;
          if (index >= map->ColorCount) continue;
          const GifColorType& c = map->Colors[index];
          canvas.pixels[size_t(cy) * size_t(canvas.width) + size_t(cx)] = Pack(c.Blue, c.Green, c.Red, 255);
        }
      }
      frames.push_back(canvas);
      if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
        for (int y = std::max(0, d.Top); y < std::min(canvas.height, d.Top + d.Height); ++y)
          for (int x = std::max(0, d.Left); x < std::min(canvas.width, d.Left + d.Width); ++x)
            canvas.pixels[size_t(y) * size_t(canvas.width) + size_t(x)] = 0;
      } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
        canvas = before;
      }
    }
  }
  DGifCloseFile(gif, &error);
  if (!ok) frames.clear();
  return ok;
}

bool EncodeGif(const Frame& frame, std::vector<uint8_t>& out) {
  // The picture's own colours when they fit, else a 6 x 7 x 6 colour cube;
  // pixels under half opacity become the transparent index.
  std::map<uint32_t, int> colours;
  bool transparent = false;
  for (uint32_t p : frame.pixels) {
    if ((p >> 24) < 128)
      transparent = true;
    else if (colours.size() <= 256)
      colours.emplace(p & 0xFFFFFF, 0);
  }
  const bool cube = colours.size() > size_t(transparent ? 255 : 256);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  if (!map) return false;
  int count = 0;
  if (cube) {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 7; ++g)
        for (int b = 0; b < 6; ++b, ++count)
          map->Colors[count] = GifColorType{GifByteType(r * 51), GifByteType(g * 255 / 6), GifByteType(b * 51)};
  } else {
    for (auto& [rgb, index] : colours) {
      index = count;
      map->Colors[count++] = GifColorType{GifByteType(rgb >> 16), GifByteType(rgb >> 8), GifByteType(rgb)};
    }
  }
  const int transparentIndex = transparent ? count : NO_TRANSPARENT_COLOR;
  std::vector<GifByteType> raster(frame.pixels.size());
  for (size_t i = 0; i < raster.size(); ++i) {
    const uint32_t p = frame.pixels[i];
    if ((p >> 24) < 128) {
      raster[i] = GifByteType(transparentIndex);
    } else if (cube) {
      const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
      raster[i] = GifByteType(((r * 5 + 127) / 255) * 42 + ((g * 6 + 127) / 255) * 6 + (b * 5 + 127) / 255);
    } else {
      raster[i] = GifByteType(colours[p & 0xFFFFFF]);
    }
  }
  int error = 0;
  const size_t start = out.size();
  GifFileType* gif = EGifOpen(&out, GifWrite, &error);
  if (!gif) {
    GifFreeMapObject(map);
    return false;
  }
  bool ok = EGifPutScreenDesc(gif, frame.width, frame.height, 8, 0, map) == GIF_OK;
  if (ok && transparent) {
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, transparentIndex};
    GifByteType ext[4];
    const size_t n = EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < frame.height; ++y)
    ok = EGifPutLine(gif, raster.data() + size_t(y) * size_t(frame.width), frame.width) == GIF_OK;
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  GifFreeMapObject(map);
  if (!ok) out.resize(start);
  return ok;
}

// ---- TIFF ----

namespace {

struct TiffMemory {
  const uint8_t* data = nullptr;
  std::vector<uint8_t>* out = nullptr;
  size_t size = 0;
  size_t pos = 0;
};

tmsize_t TiffRead(thandle_t h, void* buffer, tmsize_t count) {
  auto* m = static_cast<TiffMemory*>(h);
  if (!m->data || count < 0 || m->pos >= m->size) return 0;
  const size_t n = std::min(size_t(count), m->size - m->pos);
  std::memcpy(buffer, m->data + m->pos, n);
  m->pos += n;
  return tmsize_t(n);
}

tmsize_t TiffWrite(thandle_t h, void* buffer, tmsize_t count) {
  auto* m = static_cast<TiffMemory*>(h);
  if (!m->out || count < 0) return -1;
  if (m->pos + size_t(count) > m->out->size()) m->out->resize(m->pos + size_t(count));
  std::memcpy(m->out->data() + m->pos, buffer, size_t(count));
  m->pos += size_t(count);
  m->size = std::max(m->size, m->pos);
  return count;
}

toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<TiffMemory*>(h);
  int64_t base = whence == SEEK_CUR ? int64_t(m->pos) : whence == SEEK_END ? int64_t(m->size) : 0;
  const int64_t pos = base + int64_t(offset);
  if (pos < 0 || (m->data && pos > int64_t(m->size)) || pos > (int64_t(1) << 32)) return toff_t(-1);
  m->pos = size_t(pos);
  return toff_t(pos);
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<TiffMemory*>(h)->size; }
int TiffMap(thandle_t, void**, toff_t*) { return 0; }
void TiffUnmap(thandle_t, void*, toff_t) {}

void SilenceTiff() {
  static const bool once = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)once;
}

}  // namespace

bool DecodeTiff(const uint8_t* data, size_t size, std::vector<Frame>& frames) {
  SilenceTiff();
  TiffMemory m;
  m.data = data;
  m.size = size;
  TIFF* tif = TIFFClientOpen("memory", "rm", &m, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                             TiffUnmap);
  if (!tif) return false;
  bool ok = true;
  int64_t budget = kMaxPixels;  // over all pages; later pages past it are dropped
  do {
    uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    budget -= int64_t(w) * int64_t(h);
    if (!frames.empty() && budget < 0) break;
    char message[1024];
    if (!SizeAllowed(w, h) || !TIFFRGBAImageOK(tif, message)) {
      ok = false;
      break;
    }
    Frame f = NewFrame(int(w), int(h));
    if (!TIFFReadRGBAImageOriented(tif, w, h, f.pixels.data(), ORIENTATION_TOPLEFT, 0)) {
      ok = false;
      break;
    }
    // The reader gives red in the low byte and premultiplied alpha.
    for (uint32_t& p : f.pixels) {
      const unsigned r = TIFFGetR(p), g = TIFFGetG(p), b = TIFFGetB(p), a = TIFFGetA(p);
      if (a == 0)
        p = 0;
      else if (a == 255)
        p = Pack(uint8_t(b), uint8_t(g), uint8_t(r), 255);
      else
        p = Pack(uint8_t(std::min(255u, (b * 255 + a / 2) / a)), uint8_t(std::min(255u, (g * 255 + a / 2) / a)),
                 uint8_t(std::min(255u, (r * 255 + a / 2) / a)), uint8_t(a));
    }
    frames.push_back(std::move(f));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  if (!ok) frames.clear();
  return ok && !frames.empty();
}

bool EncodeTiff(const Frame& frame, std::vector<uint8_t>& out) {
  SilenceTiff();
  std::vector<uint8_t> file;
  TiffMemory m;
  m.out = &file;
  TIFF* tif = TIFFClientOpen("memory", "w", &m, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                             TiffUnmap);
  if (!tif) return false;
  const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(frame.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(frame.height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
  TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  std::vector<uint8_t> row(size_t(frame.width) * 4);
  bool ok = true;
  for (int y = 0; ok && y < frame.height; ++y) {
    const uint32_t* src = frame.pixels.data() + size_t(y) * size_t(frame.width);
    for (int x = 0; x < frame.width; ++x) {
      const uint32_t p = src[x];
      row[size_t(x) * 4 + 0] = uint8_t(p >> 16);
      row[size_t(x) * 4 + 1] = uint8_t(p >> 8);
      row[size_t(x) * 4 + 2] = uint8_t(p);
      row[size_t(x) * 4 + 3] = uint8_t(p >> 24);
    }
    ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
  }
  TIFFClose(tif);
  if (ok) out.insert(out.end(), file.begin(), file.end());
  return ok;
}

}  // namespace picture
