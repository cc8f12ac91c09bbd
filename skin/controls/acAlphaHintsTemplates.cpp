// Hint templates: their pictures, sizes and draw modes, copying, change
// notification and the template file.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/os/Files.h"
#include "skin/controls/acAlphaHints.h"
#include "skin/core/AlphaBitmaps.h"

namespace {

// Guards the notification of border changes against re-entry.
bool BordersChanging = false;

constexpr char kSignature[4] = {'A', 'S', 'h', 'h'};
// Larger font sizes than any screen could show mean a damaged file.
constexpr int32_t kMaxHintFontSize = 1000;
constexpr int kStyleBold = 1, kStyleItalic = 2, kStyleUnderline = 4, kStyleStrikeOut = 8;

[[noreturn]] void UnknownFormat() { throw EacHintTemplateError("Unknown file format"); }

// Reads from a stream without trusting any length it finds: every read and
// every count is checked against the bytes left.
class TemplateReader {
 public:
  explicit TemplateReader(TStream& S) : FStream(S), FSize(S.Size()) {}
  int64_t Left() { return FSize - FStream.Position(); }
  void Bytes(void* Buffer, int64_t Count) {
    if (Count < 0 || Count > Left() || FStream.Read(Buffer, Count) != Count) UnknownFormat();
  }
  uint8_t Byte() {
    uint8_t b;
    Bytes(&b, 1);
    return b;
  }
  int32_t Int() {
    uint8_t b[4];
    Bytes(b, 4);
    return int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24);
  }
  // A count that must fit in what is left of the stream (and under Limit).
  int32_t Count(int64_t Limit) {
    const int32_t n = Int();
    if (n < 0 || n > Left() || n > Limit) UnknownFormat();
    return n;
  }

 private:
  TStream& FStream;
  int64_t FSize;
};

void WriteInt(TStream& S, int32_t V) {
  const uint8_t b[4] = {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(V >> 24)};
  S.WriteBuffer(b, 4);
}

void WriteSizes(TStream& S, const TacBordersSizes* B) {
  for (int v : {B->Top(), B->Left(), B->Right(), B->Bottom()}) WriteInt(S, v);
}

void ReadSizes(TemplateReader& R, TacBordersSizes* B) {
  const int top = R.Int(), left = R.Int(), right = R.Int(), bottom = R.Int();
  B->SetValues(left, top, right, bottom);
}

// Draw modes in file order: Top, Left, Right, Bottom, Center (property indexes 0, 1, 3, 2, 4).
constexpr int kModeFileOrder[5] = {0, 1, 3, 2, 4};

void WritePicture(TStream& S, TacHintImage* Img) {
  for (int i : kModeFileOrder) {
    const uint8_t m = Img->BorderDrawModes()->Get(i);
    S.WriteBuffer(&m, 1);
  }
  WriteSizes(S, Img->BordersWidths());
  WriteSizes(S, Img->ClientMargins());
  WriteSizes(S, Img->ShadowSizes());
  TMemoryStream bytes;
  char kind = '1';
  if (Img->ImageData()->Size() > 0) {
    bytes.CopyFrom(*Img->ImageData(), 0);
  } else {
    kind = '0';
    if (!Img->Image()->Empty()) Img->Image()->SaveToStream(bytes);
  }
  S.WriteBuffer(&kind, 1);
  WriteInt(S, int32_t(bytes.Size()));
  if (bytes.Size() > 0) S.WriteBuffer(bytes.Memory(), bytes.Size());
}

void ReadPicture(TemplateReader& R, TacHintImage* Img) {
  for (int i : kModeFileOrder) Img->BorderDrawModes()->Set(i, R.Byte() ? dmStretch : dmRepeat);
  ReadSizes(R, Img->BordersWidths());
  ReadSizes(R, Img->ClientMargins());
  ReadSizes(R, Img->ShadowSizes());
  const uint8_t kind = R.Byte();
  const int32_t n = R.Count(INT32_MAX);
  TMemoryStream bytes;
  bytes.SetSize(n);
  if (n > 0) R.Bytes(bytes.Memory(), n);
  bytes.SetPosition(0);
  try {
    if (kind == '0') {
      TBitmap bmp;
      if (n > 0) bmp.LoadFromStream(bytes);
      // The picture only: the borders and margins just read stay as the file gave them.
      Img->Image()->Assign(&bmp);
      Img->ImageData()->Clear();
    } else {
      Img->ImageData()->Clear();
      Img->ImageData()->CopyFrom(bytes, 0);
      Img->StreamChanged();
    }
  } catch (const std::exception&) {
    UnknownFormat();
  }
}

// Distance of (X, Y) outside the rectangle with rounded corners of Radius (negative inside).
double RoundRectDistance(double X, double Y, const TRect& R, double Radius) {
  const double qx = std::max({R.Left + Radius - X, X - (R.Right - Radius), 0.0});
  const double qy = std::max({R.Top + Radius - Y, Y - (R.Bottom - Radius), 0.0});
  if (qx > 0 || qy > 0) return std::hypot(qx, qy) - Radius;
  return -std::min({X - R.Left, R.Right - X, Y - R.Top, R.Bottom - Y});
}

// The built-in hint picture, 27 x 27 with straight alpha: a light rounded body
// with a grey frame over a soft shadow that falls to the lower right. Its body
// lies inside the shadow sizes (left 6, top 5, right 7, bottom 8).
std::unique_ptr<TBitmap> DefaultHintPicture() {
  constexpr int kSide = 27;
  constexpr uint32_t kBody = 0xFFFFFFF0, kFrame = 0xFF808080;
  auto b = NewBitmap32(kSide, kSide);
  const TRect body(6, 5, kSide - 7, kSide - 8), shadow(7, 7, kSide - 6, kSide - 6);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      const double d = RoundRectDistance(px, py, body, 3);
      uint32_t v;
      if (d <= -1)
        v = kBody;
      else if (d <= 0)
        v = kFrame;
      else
        v = uint32_t(std::clamp(70.0 - 12.0 * std::max(RoundRectDistance(px, py, shadow, 3), 0.0), 0.0, 70.0)) << 24;
      SetPixel32(b.get(), x, y, v);
    }
  return b;
}

}  // namespace

TacHintTemplate* DefaultHintTemplate() {
  static const std::unique_ptr<TacHintTemplate> t = [] {
    auto d = std::make_unique<TacHintTemplate>();
    TacHintImage* img = d->ImageDefault();
    auto pic = DefaultHintPicture();
    img->SetImage(pic.get());
    img->BordersWidths()->SetValues(11, 10, 14, 15);
    img->ShadowSizes()->SetValues(6, 5, 7, 8);
    img->ClientMargins()->SetValues(11, 8, 16, 15);
    return d;
  }();
  return t.get();
}

// ---- Sizes and draw modes ----

void TacBordersSizes::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TacBordersSizes*>(Source);
  if (!s) return TPersistent::Assign(Source);
  FTop = s->FTop;
  FLeft = s->FLeft;
  FRight = s->FRight;
  FBottom = s->FBottom;
}

int TacBordersSizes::GetInteger(int Index) const {
  const int v = Index == 0 ? FTop : Index == 1 ? FLeft : Index == 2 ? FBottom : FRight;
  return v < 0 ? 0 : v;
}

void TacBordersSizes::SetInteger(int Index, int Value) {
  (Index == 0 ? FTop : Index == 1 ? FLeft : Index == 2 ? FBottom : FRight) = Value;
  if (BordersChanging || !FOwner) return;
  BordersChanging = true;
  FOwner->Changed();
  BordersChanging = false;
}

void TacBordersSizes::SetValues(int ALeft, int ATop, int ARight, int ABottom) {
  FLeft = ALeft;
  FTop = ATop;
  FRight = ARight;
  FBottom = ABottom;
}

void TacBorderDrawModes::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TacBorderDrawModes*>(Source);
  if (!s) return TPersistent::Assign(Source);
  for (int i = 0; i < 5; ++i) *const_cast<TacBorderDrawMode*>(Field(i)) = s->Get(i);
}

const TacBorderDrawMode* TacBorderDrawModes::Field(int Index) const {
  switch (Index) {
    case 0: return &FTop;
    case 1: return &FLeft;
    case 2: return &FBottom;
    case 3: return &FRight;
    default: return &FCenter;
  }
}

void TacBorderDrawModes::Set(int Index, TacBorderDrawMode Value) {
  *const_cast<TacBorderDrawMode*>(Field(Index)) = Value;
  if (FOwner) FOwner->Changed();
}

// ---- Pictures ----

TacHintImage::TacHintImage(TacHintTemplate* AOwner)
    : FShadowSizes(std::make_unique<TacBordersSizes>(this)),
      FClientMargins(std::make_unique<TacBordersSizes>(this)),
      FBordersWidths(std::make_unique<TacBordersSizes>(this)),
      FBorderDrawModes(std::make_unique<TacBorderDrawModes>(this)),
      FOwner(AOwner),
      FImage(std::make_unique<TPNGGraphic>()),
      FImageData(std::make_unique<TMemoryStream>()) {}

TacHintImage::~TacHintImage() = default;

void TacHintImage::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TacHintImage*>(Source);
  if (!s) return TPersistent::Assign(Source);
  FImage->Assign(s->FImage.get());
  FImageData->Clear();
  if (s->FImageData->Size() > 0) FImageData->CopyFrom(*s->FImageData, 0);
  FOffsetHorz = s->FOffsetHorz;
  FOffsetVert = s->FOffsetVert;
  FClientMargins->Assign(s->FClientMargins.get());
  FBorderDrawModes->Assign(s->FBorderDrawModes.get());
  FBordersWidths->Assign(s->FBordersWidths.get());
  FShadowSizes->Assign(s->FShadowSizes.get());
}

void TacHintImage::SetOffsetHorz(int Value) {
  FOffsetHorz = Value;
  Changed();
}

void TacHintImage::SetOffsetVert(int Value) {
  FOffsetVert = Value;
  Changed();
}

void TacHintImage::SetImage(TGraphic* Value) {
  FImage->Assign(Value);
  ImageChanged();
}

void TacHintImage::ImageChanged() {
  const int w = ImageWidth(), h = ImageHeight();
  FBordersWidths->SetValues((w - 1) / 2, (h - 1) / 2, (w - 1) / 2, (h - 1) / 2);
  FClientMargins->SetValues((w - 1) / 2, (h - 1) / 2, (w - 1) / 2, (h - 1) / 2);
  Changed();
}

void TacHintImage::StreamChanged() {
  if (FImageData->Size() > 0) {
    TPNGGraphic png;
    FImageData->SetPosition(0);
    png.LoadFromStream(*FImageData);
    FImage->Assign(&png);
  }
  Changed();
}

void TacHintImage::Changed() {
  if (FOwner && FOwner->Owner()) FOwner->Owner()->Changed();
}

// ---- Templates ----

TacHintTemplate::TacHintTemplate(TacHintTemplates* Collection)
    : FImageDefault(std::make_unique<TacHintImage>(this)),
      FImageRightTop(std::make_unique<TacHintImage>(this)),
      FImageLeftBottom(std::make_unique<TacHintImage>(this)),
      FImageRightBottom(std::make_unique<TacHintImage>(this)),
      FFont(std::make_unique<TFont>()),
      FOwner(Collection) {}

TacHintTemplate::~TacHintTemplate() = default;

TacHintImage* TacHintTemplate::GetImg(int Index) const {
  switch (Index) {
    case 0: return FImageDefault.get();
    case 1: return FImageLeftBottom.get();
    case 2: return FImageRightBottom.get();
    default: return FImageRightTop.get();
  }
}

void TacHintTemplate::SetImg(int Index, TacHintImage* Value) { GetImg(Index)->Assign(Value); }

void TacHintTemplate::SetFont(TFont* Value) {
  FFont->Assign(Value);
  if (FOwner) FOwner->Changed();
}

bool TacHintTemplate::SingleImageUsed() const {
  return FImageLeftBottom->ImageData()->Size() == 0 && FImageLeftBottom->Image()->Empty();
}

void TacHintTemplate::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TacHintTemplate*>(Source);
  if (!s) return TPersistent::Assign(Source);
  for (int i = 0; i < 4; ++i) GetImg(i)->Assign(s->GetImg(i));
  HintAlign = s->HintAlign;
  FFont->Assign(s->FFont.get());
  Name = s->Name;
}

void TacHintTemplates::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TacHintTemplates*>(Source);
  if (!s) return TPersistent::Assign(Source);
  if (s == this) return;
  FItems.clear();
  for (const auto& t : s->FItems) Add()->Assign(t.get());
}

TacHintTemplate* TacHintTemplates::Add() {
  FItems.push_back(std::make_unique<TacHintTemplate>(this));
  return FItems.back().get();
}

TacHintTemplate* TacHintTemplates::Adopt(std::unique_ptr<TacHintTemplate> Item) {
  TacHintTemplate* t = Add();
  t->Assign(Item.get());
  Changed();
  return t;
}

void TacHintTemplates::Changed() {
  if (OnChange) OnChange(this);
}

// ---- The template file ----

void SaveHintTemplateToStream(TacHintTemplate* Template, TMemoryStream& Stream) {
  Stream.Clear();
  if (!Template) return;
  Stream.WriteBuffer(kSignature, 4);
  const char kind = '1';  // every template has its upper-right picture
  Stream.WriteBuffer(&kind, 1);
  TFont* f = Template->Font();
  WriteInt(Stream, f->Color() < 0 ? 0 : int32_t(f->Color()));
  WriteInt(Stream, f->Size());
  const TFontStyles st = f->Style();
  const uint8_t bits = uint8_t((st.Contains(fsBold) ? kStyleBold : 0) | (st.Contains(fsItalic) ? kStyleItalic : 0) |
                               (st.Contains(fsUnderline) ? kStyleUnderline : 0) |
                               (st.Contains(fsStrikeOut) ? kStyleStrikeOut : 0));
  Stream.WriteBuffer(&bits, 1);
  const String name = f->Name().substr(0, kMaxHintFontName);
  WriteInt(Stream, int32_t(name.size()));
  Stream.WriteString(name);
  WritePicture(Stream, Template->ImageDefault());
  if (!Template->SingleImageUsed()) {
    WritePicture(Stream, Template->Img_RightTop());
    WritePicture(Stream, Template->Img_RightBottom());
    WritePicture(Stream, Template->Img_LeftBottom());
  }
}

void SaveHintTemplateToFile(TacHintTemplate* Template, const String& FileName) {
  if (FileExists(FileName)) DeleteFile(FileName);
  TMemoryStream s;
  SaveHintTemplateToStream(Template, s);
  s.SaveToFile(FileName);
}

TacHintTemplate* LoadHintTemplateFromStream(TacHintTemplates& Templates, TStream& Stream) {
  Stream.SetPosition(0);
  TemplateReader r(Stream);
  char sig[4] = {};
  if (r.Left() < 4) UnknownFormat();
  r.Bytes(sig, 4);
  if (std::memcmp(sig, kSignature, 4) != 0) UnknownFormat();
  // Built apart: a damaged file leaves the collection as it was.
  auto t = std::make_unique<TacHintTemplate>();
  const uint8_t kind = r.Byte();
  TFont* f = t->Font();
  const int32_t color = r.Int();
  f->SetColor(color < 0 ? 0 : color);
  const int32_t size = r.Int();
  if (size < -kMaxHintFontSize || size > kMaxHintFontSize) UnknownFormat();
  f->SetSize(size);
  const uint8_t bits = r.Byte();
  TFontStyles st;
  if (bits & kStyleBold) st.Include(fsBold);
  if (bits & kStyleItalic) st.Include(fsItalic);
  if (bits & kStyleUnderline) st.Include(fsUnderline);
  if (bits & kStyleStrikeOut) st.Include(fsStrikeOut);
  f->SetStyle(st);
  String name(size_t(r.Count(kMaxHintFontName)), '\0');
  if (!name.empty()) r.Bytes(name.data(), int64_t(name.size()));
  f->SetName(name);
  ReadPicture(r, t->ImageDefault());
  if (kind == '1' && r.Left() > 0) {
    ReadPicture(r, t->Img_RightTop());
    ReadPicture(r, t->Img_RightBottom());
    ReadPicture(r, t->Img_LeftBottom());
  }
  return Templates.Adopt(std::move(t));
}

TacHintTemplate* LoadHintTemplateFromFile(TacHintTemplates& Templates, const String& FileName) {
  TMemoryStream s;
  s.LoadFromFile(FileName);
  TacHintTemplate* t = LoadHintTemplateFromStream(Templates, s);
  const String base = ExtractFileName(FileName);
  t->Name = base.substr(0, base.find('.'));
  return t;
}
