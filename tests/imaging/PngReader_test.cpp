#include <gtest/gtest.h>

#include "tests/imaging/PngTestSupport.h"

using namespace pngtest;

namespace {

void ExpectSameAsLibpng(const Bytes& file, const std::string& name) {
  int w = 0, h = 0;
  bool alpha = false;
  std::vector<uint32_t> expected;
  ASSERT_TRUE(ExpectedColours(file, w, h, expected, alpha)) << name;
  TPNGGraphic png;
  ASSERT_NO_THROW(Load(png, file)) << name;
  ASSERT_EQ(png.Width(), w) << name;
  ASSERT_EQ(png.Height(), h) << name;
  const std::vector<uint32_t> got = Colours(png);
  for (size_t i = 0; i < got.size(); ++i)
    ASSERT_EQ(got[i], expected[i]) << name << ": pixel " << i % size_t(w) << "," << i / size_t(w);
}

std::string Describe(const Spec& s) {
  return "type " + std::to_string(s.colorType) + " depth " + std::to_string(s.bitDepth) +
         (s.interlace ? " interlaced" : "") + (s.gamma > 0 ? " gamma" : "");
}

std::string LoadError(const Bytes& file) {
  TPNGGraphic png;
  try {
    Load(png, file);
  } catch (const EInvalidGraphic& e) {
    return e.Message;
  } catch (const std::exception& e) {
    return std::string("wrong kind of error: ") + e.what();
  }
  return "";
}

}  // namespace

// Every colour type and depth PNG allows, plain and interlaced, with and without gamma.
TEST(PngReader, EveryColourTypeAndDepthDecodesLikeLibpng) {
  const std::vector<std::pair<int, std::vector<int>>> types = {
      {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},  {PNG_COLOR_TYPE_RGB, {8, 16}},
      {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},   {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
      {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
  unsigned seed = 1;
  for (const auto& [type, depths] : types)
    for (int depth : depths)
      for (bool interlace : {false, true})
        for (double gamma : {0.0, 0.7}) {
          Spec s;
          s.colorType = type;
          s.bitDepth = depth;
          s.interlace = interlace;
          s.gamma = gamma;
          s.paletteSize = type == PNG_COLOR_TYPE_PALETTE ? std::min(1 << depth, 200) : 0;
          s.seed = seed++;
          // Odd sizes leave partial bytes and short interlace passes.
          s.width = 13 + depth;
          s.height = 11;
          const Bytes file = WritePng(s);
          ASSERT_FALSE(file.empty());
          ExpectSameAsLibpng(file, Describe(s));
        }
}

TEST(PngReader, BitmapFormatsAndPalettes) {
  struct Case {
    int type, depth;
    TPixelFormat format;
  } cases[] = {{0, 1, pf1bit}, {0, 2, pf4bit}, {0, 16, pf8bit}, {2, 16, pf24bit}, {3, 2, pf4bit},
               {4, 8, pf8bit}, {6, 16, pf32bit}};
  for (const Case& c : cases) {
    Spec s;
    s.colorType = c.type;
    s.bitDepth = c.depth;
    s.paletteSize = 4;
    TPNGGraphic png;
    Load(png, WritePng(s));
    EXPECT_EQ(png.PixelFormat(), c.format) << c.type << "/" << c.depth;
  }
  // A 1 x 1 picture in a tiny and a wide size.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1000, 2}}) {
    Spec s;
    s.width = w;
    s.height = h;
    s.interlace = true;
    ExpectSameAsLibpng(WritePng(s), std::to_string(w));
  }
}

TEST(PngReader, PngSuiteDecodesLikeLibpngAndRefusesBrokenFiles) {
  const auto dir = PngSuiteDir();
  if (dir.empty()) GTEST_SKIP() << "PngSuite not found (looked for shared/oracles/pngsuite/png beside the sources)";
  int good = 0, broken = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    const Bytes file = ReadFile(entry.path());
    if (name[0] == 'x') {
      const std::string error = LoadError(file);
      EXPECT_TRUE(error.rfind("Cannot load", 0) == 0 || error == "Invalid color format in PNG file.")
          << name << ": " << error;
      ++broken;
    } else {
      ExpectSameAsLibpng(file, name);
      ++good;
    }
  }
  EXPECT_GT(good, 100);
  EXPECT_GT(broken, 10);
}

// Each damaged file names its fault; none crashes, over-reads or passes.
TEST(PngReader, DamagedFilesRaiseTheirError) {
  const Bytes ihdr = Header(4, 3, 8, 0), rows = GreyRows(4, 3), idat = Chunk("IDAT", Zlib(rows)),
              iend = Chunk("IEND", {});
  const std::string invalid = "Cannot load image. Invalid or unexpected PNG image format.";
  const std::string crc = "Cannot load image. CRC error found in PNG file.";
  const std::string extra = "Cannot load image. Extra compressed data found in PNG file.";
  const std::string critical = "Cannot load PNG image. Unexpected but critical chunk detected.";
  auto flip = [](Bytes b, size_t at) {
    b[at] ^= 0x10;
    return b;
  };
  Bytes shortRows = rows;
  shortRows.resize(rows.size() - 3);
  Bytes trailing = Zlib(rows);
  trailing.push_back(7);
  Bytes badZlib = Zlib(rows);
  badZlib[4] ^= 0xFF;
  badZlib[5] ^= 0xFF;
  Bytes hugeLength = Chunk("tEXt", {'a'});
  hugeLength[0] = 0x7F;
  const Bytes good = File({ihdr, idat, iend});
  Bytes truncated = good;
  truncated.resize(good.size() - 20);

  const std::vector<std::pair<std::string, std::pair<Bytes, std::string>>> table = {
      {"good", {good, ""}},
      {"empty", {Bytes(), invalid}},
      {"signature", {flip(good, 1), invalid}},
      {"no header first", {File({Chunk("tEXt", {'a'}), ihdr, idat, iend}), invalid}},
      {"zero width", {File({Header(0, 3, 8, 0), idat, iend}), invalid}},
      {"too wide", {File({Header(40000, 3, 8, 0), idat, iend}), invalid}},
      {"header CRC", {File({flip(ihdr, 10), idat, iend}), crc}},
      {"data CRC", {File({ihdr, flip(idat, 12), iend}), crc}},
      {"colour picture's palette CRC",
       {File({Header(1, 1, 8, 2), flip(Chunk("PLTE", {1, 2, 3}), 9), Chunk("IDAT", Zlib({0, 1, 2, 3})), iend}), crc}},
      {"colour type", {File({Header(4, 3, 8, 5), idat, iend}), "Invalid color format in PNG file."}},
      {"bit depth", {File({Header(4, 3, 3, 0), idat, iend}), "Invalid color format in PNG file."}},
      {"compression", {File({Header(4, 3, 8, 0, 1), idat, iend}),
                       "Cannot load image. The compression scheme is not supported for PNG files."}},
      {"palette length", {File({Header(4, 3, 8, 3), Chunk("PLTE", {1, 2, 3, 4}), idat, iend}),
                          "Cannot load image. Palette in PNG file is invalid."}},
      {"indexed without palette", {File({Header(4, 3, 8, 3), idat, iend}),
                                   "Cannot load image. Palette in PNG file is invalid."}},
      {"critical chunk", {File({ihdr, Chunk("ABCD", {}), idat, iend}), critical}},
      {"second header", {File({ihdr, ihdr, idat, iend}), critical}},
      {"ancillary chunk", {File({ihdr, Chunk("abCD", {1}), idat, iend}), ""}},
      {"lower-case end", {File({ihdr, idat, Chunk("iend", {}), Chunk("ABCD", {})}), ""}},
      {"short tRNS and bKGD", {File({ihdr, Chunk("tRNS", {1}), Chunk("bKGD", {}), idat, iend}), ""}},
      {"stream ends inside a row", {File({ihdr, Chunk("IDAT", Zlib(shortRows)), iend}), extra}},
      {"bytes after the stream", {File({ihdr, Chunk("IDAT", trailing), iend}), extra}},
      {"corrupt stream", {File({ihdr, Chunk("IDAT", badZlib), iend}),
                          "Cannot load image. Compression error found in PNG file."}},
      {"data left in later chunks", {File({ihdr, idat, Chunk("IDAT", {1, 2, 3}), iend}), ""}},
      {"no image data", {File({ihdr, iend}), invalid}},
      {"chunk longer than the file", {File({ihdr, hugeLength, idat, iend}), invalid}},
      {"truncated", {truncated, invalid}},
  };
  for (const auto& [name, c] : table) EXPECT_EQ(LoadError(c.first), c.second) << name;
}

TEST(PngReader, ImageDataSplitOverChunksAndProgressOrder) {
  const Bytes packed = Zlib(GreyRows(4, 3));
  std::vector<Bytes> chunks = {Header(4, 3, 8, 0)};
  for (size_t i = 0; i < packed.size(); i += 3)
    chunks.push_back(Chunk("IDAT", Bytes(packed.begin() + ptrdiff_t(i),
                                         packed.begin() + ptrdiff_t(std::min(packed.size(), i + 3)))));
  chunks.push_back(Chunk("IDAT", {}));
  chunks.push_back(Chunk("IEND", {}));
  TPNGGraphic png;
  std::vector<std::string> events;
  png.OnProgress = [&](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const String& msg) {
    events.push_back(std::to_string(int(stage)) + msg);
  };
  Load(png, File(chunks));
  EXPECT_EQ(events, (std::vector<std::string>{"0Preparing...", "2", "0Transfering...", "2"}));
  EXPECT_EQ(Colours(png)[5], 0xFF111111u);  // row 1, column 1: 16 + 1
}

TEST(PngReader, CanLoadKeepsThePosition) {
  const Bytes file = WritePng(Spec());
  TMemoryStream s;
  s.WriteBuffer(file.data(), 8);
  s.SetPosition(0);
  EXPECT_FALSE(TPNGGraphic::CanLoad(s));  // exactly 8 bytes left
  EXPECT_EQ(s.Position(), 0);
  s.SetPosition(8);
  s.WriteBuffer(file.data() + 8, int64_t(file.size()) - 8);
  s.SetPosition(0);
  EXPECT_TRUE(TPNGGraphic::CanLoad(s));
  EXPECT_EQ(s.Position(), 0);
}

TEST(PngReader, CopyToBitmap32FillsAlpha) {
  // Indexed with a 3-entry transparency chunk: indexes 3 and up are opaque.
  const Bytes palette = {10, 0, 0, 20, 0, 0, 30, 0, 0, 40, 0, 0};
  const Bytes file = File({Header(4, 1, 8, 3), Chunk("PLTE", palette), Chunk("tRNS", {0, 100, 200}),
                           Chunk("IDAT", Zlib({0, 0, 1, 2, 3})), Chunk("IEND", {})});
  TPNGGraphic png;
  Load(png, file);
  TBitmap b;
  CopyPNGToBitmap32(&b, &png);
  ASSERT_EQ(b.PixelFormat(), pf32bit);
  const auto* row = static_cast<const uint32_t*>(b.ScanLine(0));
  EXPECT_EQ(row[0], 0x000A0000u);
  EXPECT_EQ(row[1] >> 24, 100u);
  EXPECT_EQ(row[2] >> 24, 200u);
  EXPECT_EQ(row[3], 0xFF280000u);

  // Grey with gamma: a black shadow whose opacity is the inverted grey.
  TPNGGraphic grey;
  Load(grey, File({Header(2, 1, 8, 0), Chunk("gAMA", {0, 0, 0xB1, 0x8F}), Chunk("IDAT", Zlib({0, 0, 255})),
                   Chunk("IEND", {})}));
  CopyPNGToBitmap32(&b, &grey);
  row = static_cast<const uint32_t*>(b.ScanLine(0));
  EXPECT_EQ(row[0], 0xFF000000u);
  EXPECT_EQ(row[1], 0x00000000u);
}

TEST(PngReader, DrawBlendsAndReflects) {
  // Half-transparent red over white, 2 x 2.
  Bytes rows;
  for (int y = 0; y < 2; ++y) rows.insert(rows.end(), {0, 255, 0, 0, 128, 255, 0, 0, 128});
  TPNGGraphic png;
  Load(png, File({Header(2, 2, 8, 6), Chunk("IDAT", Zlib(rows)), Chunk("IEND", {})}));
  TBitmap canvas;
  canvas.SetSize(4, 6);
  canvas.Canvas()->Brush()->SetColor(clWhite);
  canvas.Canvas()->FillRect(TRect(0, 0, 4, 6));
  png.Reflected = true;
  canvas.Canvas()->Draw(0, 0, &png);
  const COLORREF inside = ColorToRGB(canvas.Canvas()->Pixels(0, 0));
  EXPECT_EQ(GetRValue(inside), 255);
  EXPECT_NEAR(GetGValue(inside), 127, 2);
  // The mirror image fades into the band below.
  const COLORREF mirror = ColorToRGB(canvas.Canvas()->Pixels(0, 2));
  EXPECT_GT(GetGValue(mirror), GetGValue(inside));
  EXPECT_EQ(ColorToRGB(canvas.Canvas()->Pixels(3, 0)) & 0xFFFFFF, 0xFFFFFFu);

  // Stretched: no mirror image below.
  canvas.Canvas()->FillRect(TRect(0, 0, 4, 6));
  canvas.Canvas()->StretchDraw(TRect(0, 0, 4, 4), &png);
  EXPECT_NEAR(GetGValue(ColorToRGB(canvas.Canvas()->Pixels(1, 1))), 127, 3);
  EXPECT_EQ(ColorToRGB(canvas.Canvas()->Pixels(1, 4)) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(PngReader, RegisteredForPngAndStoredAsBitmap) {
  acPNGInitialize();
  EXPECT_EQ(TPicture::FileFormatForExtension("png"), GraphicClassOf<TPNGGraphic>());
  TPNGGraphic png;
  Load(png, WritePng(Spec()));
  TPicture pic;
  pic.SetGraphic(&png);
  TMemoryStream def;
  pic.WriteData(def);
  def.SetPosition(0);
  TPicture back;
  back.ReadData(def);
  ASSERT_NE(dynamic_cast<TPNGGraphic*>(back.Graphic()), nullptr);
  EXPECT_EQ(Colours(*static_cast<TPNGGraphic*>(back.Graphic())), Colours(png));
  acPNGFinalize();
  EXPECT_EQ(TPicture::FileFormatForExtension("png"), nullptr);
}
