#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/gdi/BmpFile.h"
#include "tests/platform_gdi/GdiTestUtil.h"

namespace {

HBITMAP MakeBitmap(int w, int h, int bits, bool masks565) {
  BITMAPINFO256 bi;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;
  bi.bmiHeader.biBitCount = WORD(bits);
  if (masks565) {
    bi.bmiHeader.biCompression = BI_BITFIELDS;
    const DWORD m[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(bi.bmiColors, m, sizeof m);
  }
  if (bits <= 8)
    for (int i = 0; i < (1 << bits); ++i) bi.bmiColors[i] = RGBQUAD{BYTE(i * 7), BYTE(255 - i), BYTE(i * 3), 0};
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, bi.info(), DIB_RGB_COLORS, &p, nullptr, 0);
  // Pseudo-random bytes everywhere, padding included.
  DIBSECTION ds;
  GetObject(b, sizeof ds, &ds);
  uint32_t seed = 12345;
  for (LONG i = 0; i < ds.dsBm.bmWidthBytes * h; ++i) {
    seed = seed * 1103515245 + 12345;
    static_cast<uint8_t*>(p)[i] = uint8_t(seed >> 16);
  }
  return b;
}

TEST(Bmp, RoundTripEveryFormat) {
  struct Case {
    int bits;
    bool masks;
  };
  for (const Case& c : {Case{1, false}, Case{4, false}, Case{8, false}, Case{16, false}, Case{16, true},
                        Case{24, false}, Case{32, false}}) {
    for (int width : {1, 3, 317}) {
      SCOPED_TRACE(testing::Message() << c.bits << (c.masks ? " 565 " : " ") << width);
      HBITMAP src = MakeBitmap(width, 5, c.bits, c.masks);
      std::vector<uint8_t> file;
      ASSERT_TRUE(EncodeBmp(src, file));
      std::string error;
      HBITMAP back = DecodeBmp(file.data(), file.size(), &error);
      ASSERT_NE(back, nullptr) << error;
      DIBSECTION a, b;
      GetObject(src, sizeof a, &a);
      GetObject(back, sizeof b, &b);
      EXPECT_EQ(b.dsBm.bmWidth, width);
      EXPECT_EQ(b.dsBm.bmHeight, 5);
      EXPECT_EQ(b.dsBm.bmBitsPixel, c.bits);
      EXPECT_EQ(b.dsBmih.biCompression, a.dsBmih.biCompression);
      EXPECT_EQ(b.dsBitfields[1], a.dsBitfields[1]);
      EXPECT_EQ(std::memcmp(a.dsBm.bmBits, b.dsBm.bmBits, size_t(a.dsBm.bmWidthBytes) * 5), 0);
      HDC da = CreateCompatibleDC(nullptr), db = CreateCompatibleDC(nullptr);
      SelectObject(da, src);
      SelectObject(db, back);
      RGBQUAD pa[256], pb[256];
      const UINT na = GetDIBColorTable(da, 0, 256, pa), nb = GetDIBColorTable(db, 0, 256, pb);
      EXPECT_EQ(na, nb);
      EXPECT_EQ(std::memcmp(pa, pb, na * sizeof(RGBQUAD)), 0);
      DeleteDC(da);
      DeleteDC(db);
      DeleteObject(src);
      DeleteObject(back);
    }
  }
}

TEST(Bmp, TopDownFilesRead) {
  Surface s(2, 2);
  s.At(0, 0) = 0x11111111;  // top row
  s.At(0, 1) = 0x22222222;
  std::vector<uint8_t> file;
  ASSERT_TRUE(EncodeBmp(s.bmp, file));
  // The same picture stored top row first, as a negative height says.
  const int32_t negative = -2;
  std::memcpy(&file[22], &negative, 4);
  std::swap_ranges(file.begin() + 54, file.begin() + 62, file.begin() + 62);
  HBITMAP back = DecodeBmp(file.data(), file.size(), nullptr);
  ASSERT_NE(back, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, back);
  EXPECT_EQ(GetPixel(dc, 0, 0), 0x111111u);
  EXPECT_EQ(GetPixel(dc, 0, 1), 0x222222u);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(back);
}

TEST(Bmp, DamagedFilesAreRefused) {
  HBITMAP src = MakeBitmap(7, 4, 8, false);
  std::vector<uint8_t> good;
  ASSERT_TRUE(EncodeBmp(src, good));
  DeleteObject(src);
  auto put32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases;
  for (size_t len : {size_t(0), size_t(2), size_t(14), size_t(30), size_t(53), size_t(54 + 1023), good.size() - 1})
    cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + ptrdiff_t(len))});
  auto edit = [&](const char* name, size_t at, uint32_t v) {
    Case c{name, good};
    put32(c.file, at, v);
    cases.push_back(c);
  };
  edit("header size too large", 14, 0x7FFFFFF0);
  edit("unknown header size", 14, 64);
  edit("width huge", 18, 0x7FFFFFFF);
  edit("width zero", 18, 0);
  edit("height huge", 22, 0x10000);
  edit("height most negative", 22, 0x80000000);
  edit("bit depth 7", 28, 0x00010007);
  edit("RLE compression", 30, 1);
  edit("colour count too large", 46, 257);
  edit("pixel offset past end", 10, 0xFFFFFFF0);
  edit("pixel offset inside header", 10, 20);
  cases.push_back({"not a BMP", std::vector<uint8_t>(64, 'x')});
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name << " (" << c.file.size() << " bytes)");
    // An exact-size heap copy lets the address sanitizer catch any read past the end.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[c.file.size() + 1]);
    std::copy(c.file.begin(), c.file.end(), exact.get());
    std::string error;
    EXPECT_EQ(DecodeBmp(exact.get(), c.file.size(), &error), nullptr);
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
