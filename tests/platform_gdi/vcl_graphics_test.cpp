#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/vcl/Graphics.h"

namespace {

TEST(Colors, SystemColoursAndIdentifiers) {
  EXPECT_EQ(ColorToRGB(clBtnFace), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(StringToColor("clBtnFace"), clBtnFace);
  EXPECT_EQ(StringToColor("$0000FF00"), clLime);
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(ColorToString(clWindowText), "clWindowText");
  EXPECT_EQ(ColorToString(0x123456), "$00123456");
  EXPECT_THROW(StringToColor("clNoSuch"), EConvertError);
}

TEST(TBitmap, ScanLineIsBottomUpAndChecksRows) {
  TBitmap bmp(3, 4);
  bmp.SetPixelFormat(pf24bit);
  auto* top = static_cast<uint8_t*>(bmp.ScanLine(0));
  auto* next = static_cast<uint8_t*>(bmp.ScanLine(1));
  EXPECT_EQ(top - next, 12);  // 9 bytes padded to 12, rows stored bottom-up
  top[0] = 0x30;  // blue of the top-left pixel
  top[2] = 0x10;  // red
  EXPECT_EQ(bmp.Canvas()->Pixels(0, 0), TColor(RGB(0x10, 0, 0x30)));
  bmp.Canvas()->SetPixels(2, 3, clLime);
  EXPECT_EQ(static_cast<uint8_t*>(bmp.ScanLine(3))[7], 0xFF);
  EXPECT_THROW(bmp.ScanLine(4), EInvalidGraphicOperation);
  EXPECT_THROW(bmp.ScanLine(-1), EInvalidGraphicOperation);
  TBitmap empty;
  EXPECT_THROW(empty.ScanLine(0), EInvalidGraphicOperation);
}

TEST(TBitmap, SizeAndFormatChangesKeepPixels) {
  TBitmap bmp(4, 4);
  EXPECT_EQ(bmp.PixelFormat(), pf32bit);
  bmp.Canvas()->SetPixels(1, 1, TColor(RGB(200, 100, 50)));
  bmp.SetSize(2, 3);
  EXPECT_EQ(bmp.Width(), 2);
  EXPECT_EQ(bmp.Canvas()->Pixels(1, 1), TColor(RGB(200, 100, 50)));
  struct Case {
    TPixelFormat format;
    COLORREF expected;
  };
  for (const Case& c : {Case{pf24bit, RGB(200, 100, 50)}, Case{pf16bit, RGB(206, 101, 49)},
                        Case{pf15bit, RGB(206, 99, 49)}, Case{pf8bit, RGB(204, 102, 51)}, Case{pf32bit, RGB(200, 100, 50)}}) {
    SCOPED_TRACE(c.format);
    TBitmap copy;
    copy.Assign(&bmp);
    copy.SetPixelFormat(c.format);
    EXPECT_EQ(copy.PixelFormat(), c.format);
    EXPECT_EQ(copy.Canvas()->Pixels(1, 1), TColor(c.expected));
  }
  EXPECT_THROW(bmp.SetPixelFormat(pfCustom), EInvalidGraphic);
}

TEST(TBitmap, StreamRoundTripEveryFormatAndDamage) {
  for (TPixelFormat f : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(f);
    TBitmap bmp(5, 3);
    bmp.SetPixelFormat(f);
    bmp.Canvas()->SetPixels(0, 0, clWhite);
    bmp.Canvas()->SetPixels(4, 2, clWhite);
    TMemoryStream stream;
    bmp.SaveToStream(stream);
    stream.WriteString("trailing data");  // the file header's size marks the end
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back.PixelFormat(), f);
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.Height(), 3);
    EXPECT_EQ(back.Canvas()->Pixels(0, 0), clWhite);
    EXPECT_EQ(back.Canvas()->Pixels(4, 2), clWhite);
    EXPECT_EQ(back.Canvas()->Pixels(1, 1), clBlack);
    const TBytes rest = stream.ReadBytes(13);
    EXPECT_EQ(String(rest.begin(), rest.end()), "trailing data");

    TMemoryStream cut;
    cut.WriteBuffer(stream.Memory(), stream.Size() - 14);
    cut.SetPosition(0);
    EXPECT_THROW(back.LoadFromStream(cut), EInvalidGraphic);
  }
}

TEST(TCanvas, DrawingThroughTheCanvas) {
  TBitmap a(10, 10), b(4, 4);
  TCanvas* c = a.Canvas();
  c->Brush()->SetColor(clBlue);
  c->FillRect(Rect(0, 0, 10, 10));
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, 4, 4));
  c->Draw(2, 2, &b);
  EXPECT_EQ(c->Pixels(2, 2), clRed);
  EXPECT_EQ(c->Pixels(6, 6), clBlue);
  c->StretchDraw(Rect(0, 0, 2, 2), &b);
  EXPECT_EQ(c->Pixels(1, 1), clRed);
  c->CopyRect(Rect(8, 8, 10, 10), b.Canvas(), Rect(0, 0, 2, 2));
  EXPECT_EQ(c->Pixels(9, 9), clRed);

  // Changing the font, pen and brush while selected rebuilds their handles.
  for (int size : {8, 12, 20}) {
    c->Font()->SetSize(size);
    c->Pen()->SetColor(TColor(size));
    c->Brush()->SetColor(TColor(size));
    EXPECT_GT(c->TextHeight("Ag"), size);
  }
  c->Font()->SetHeight(-12);
  const int width = c->TextWidth("Hello");
  SIZE sz;
  GetTextExtentPoint32(c->Handle(), "Hello", 5, &sz);  // the canvas's font is selected now
  EXPECT_EQ(width, sz.cx);
  c->Pen()->SetColor(clYellow);
  c->MoveTo(0, 0);
  c->LineTo(5, 0);
  EXPECT_EQ(c->Pixels(4, 0), clYellow);
  EXPECT_EQ(c->PenPos(), Point(5, 0));

  c->Lock();
  EXPECT_EQ(c->LockCount(), 1);
  c->Unlock();
  EXPECT_EQ(c->LockCount(), 0);
}

TEST(TBitmap, AlphaFormatBlendsWhenDrawn) {
  TBitmap dst(1, 1), src(1, 1);
  dst.Canvas()->SetPixels(0, 0, clWhite);
  *static_cast<uint32_t*>(src.ScanLine(0)) = 0x80000080;  // premultiplied half-transparent blue
  src.SetAlphaFormat(afPremultiplied);
  dst.Canvas()->Draw(0, 0, &src);
  EXPECT_EQ(dst.Canvas()->Pixels(0, 0), TColor(RGB(127, 127, 255)));
}

class TTestGraphic : public TGraphic {
 public:
  bool Empty() const override { return data.empty(); }
  int Width() const override { return 1; }
  int Height() const override { return 1; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  void LoadFromStream(TStream& Stream) override {
    const TBytes b = Stream.ReadBytes(Stream.Size() - Stream.Position());
    data.assign(b.begin(), b.end());
  }
  void SaveToStream(TStream& Stream) override { Stream.WriteString(data); }
  void Assign(TPersistent* Source) override {
    if (auto* t = dynamic_cast<TTestGraphic*>(Source)) {
      data = t->data;
      return;
    }
    TGraphic::Assign(Source);
  }
  String data;

 protected:
  void Draw(TCanvas*, const TRect&) override {}
};

TEST(TPicture, FormatsByExtensionAndClassesByName) {
  const TGraphicClass* cls = GraphicClassOf<TTestGraphic>();
  EXPECT_EQ(cls->ClassName, "TTestGraphic");
  EXPECT_EQ(FindGraphicClass("TTestGraphic"), nullptr);
  TPicture::RegisterFileFormat("TGX", "Test pictures", cls);
  EXPECT_EQ(FindGraphicClass("ttestgraphic"), cls);
  EXPECT_EQ(TPicture::FileFormatForExtension(".tgx"), cls);
  EXPECT_EQ(FindGraphicClass("TBitmap"), GraphicClassOf<TBitmap>());
  EXPECT_EQ(GraphicExtension(GraphicClassOf<TBitmap>()), "bmp");
  EXPECT_EQ(GraphicFilter(cls), "Test pictures (*.tgx)|*.tgx");
  EXPECT_EQ(GraphicFilter(), "All (*.bmp;*.tgx)|*.bmp;*.tgx|Bitmaps (*.bmp)|*.bmp|Test pictures (*.tgx)|*.tgx");

  const auto dir = std::filesystem::temp_directory_path() / ("tarnwick_picture_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    TFileStream f((dir / "a.TGX").string(), fmCreate);
    f.WriteString("payload");
  }
  TPicture pic;
  int changes = 0;
  pic.OnChange = [&](TObject*) { ++changes; };
  pic.LoadFromFile((dir / "a.TGX").string());
  ASSERT_NE(dynamic_cast<TTestGraphic*>(pic.Graphic()), nullptr);
  EXPECT_EQ(static_cast<TTestGraphic*>(pic.Graphic())->data, "payload");
  EXPECT_EQ(changes, 1);
  try {
    pic.LoadFromFile((dir / "a.xyz").string());
    FAIL() << "no exception";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message, "Unknown picture file extension (.xyz)");
  }

  // Window-definition form: class name, then the graphic's data.
  pic.Bitmap()->SetSize(2, 2);
  pic.Bitmap()->Canvas()->SetPixels(1, 0, clAqua);
  TMemoryStream stream;
  pic.WriteData(stream);
  stream.SetPosition(0);
  TPicture back;
  back.ReadData(stream);
  ASSERT_NE(dynamic_cast<TBitmap*>(back.Graphic()), nullptr);
  EXPECT_EQ(back.Bitmap()->Canvas()->Pixels(1, 0), clAqua);
  EXPECT_EQ(stream.Position(), stream.Size());

  TPicture copy;
  copy.Assign(&back);
  EXPECT_EQ(copy.Width(), 2);
  EXPECT_NE(copy.Graphic(), back.Graphic());

  TPicture::UnregisterGraphicClass(cls);
  EXPECT_EQ(TPicture::FileFormatForExtension("tgx"), nullptr);
  EXPECT_EQ(FindGraphicClass("TTestGraphic"), nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
