#pragma once
// Alpha hints: the templates that say how a hint looks when no skin section
// paints it, and their file.
//
// A template has up to four pictures, one for each corner at which the hint's
// pointer may stand; each is cut into nine pieces by its border widths and
// stretched or tiled around the text, with its shadow, the margins of the
// text area and an offset from the anchor point.

#include <functional>
#include <memory>
#include <vector>

#include "imaging/acPNG.h"
#include "platform/rtl/Classes.h"
#include "platform/vcl/Graphics.h"

class TacHintImage;
class TacHintTemplate;
class TacHintTemplates;

enum TacHintAlign { haHorzCenter, haVertCenter };
enum TacBorderDrawMode : uint8_t { dmRepeat = 0, dmStretch = 1 };

// Four sizes of a picture's sides; a negative value reads as 0.
class TacBordersSizes : public TPersistent {
 public:
  explicit TacBordersSizes(TacHintImage* AOwner = nullptr) : FOwner(AOwner) {}
  void Assign(TPersistent* Source) override;
  int Top() const { return GetInteger(0); }
  int Left() const { return GetInteger(1); }
  int Bottom() const { return GetInteger(2); }
  int Right() const { return GetInteger(3); }
  void SetTop(int Value) { SetInteger(0, Value); }
  void SetLeft(int Value) { SetInteger(1, Value); }
  void SetBottom(int Value) { SetInteger(2, Value); }
  void SetRight(int Value) { SetInteger(3, Value); }
  void SetValues(int ALeft, int ATop, int ARight, int ABottom);
  int GetInteger(int Index) const;
  // Stores the value and tells the component that owns the template.
  void SetInteger(int Index, int Value);

 private:
  int FTop = 0;
  int FLeft = 0;
  int FRight = 0;
  int FBottom = 0;
  TacHintImage* FOwner;
};

// How each side and the centre of a picture fill their room.
class TacBorderDrawModes : public TPersistent {
 public:
  explicit TacBorderDrawModes(TacHintImage* AOwner = nullptr) : FOwner(AOwner) {}
  void Assign(TPersistent* Source) override;
  // Index: 0 Top, 1 Left, 2 Bottom, 3 Right, 4 Center.
  TacBorderDrawMode Get(int Index) const { return *Field(Index); }
  void Set(int Index, TacBorderDrawMode Value);

 private:
  const TacBorderDrawMode* Field(int Index) const;
  TacBorderDrawMode FTop = dmStretch;
  TacBorderDrawMode FLeft = dmStretch;
  TacBorderDrawMode FRight = dmStretch;
  TacBorderDrawMode FCenter = dmStretch;
  TacBorderDrawMode FBottom = dmStretch;
  TacHintImage* FOwner;
};

class TacHintImage : public TPersistent {
 public:
  explicit TacHintImage(TacHintTemplate* AOwner = nullptr);
  ~TacHintImage() override;
  void Assign(TPersistent* Source) override;

  int OffsetHorz() const { return FOffsetHorz; }
  int OffsetVert() const { return FOffsetVert; }
  void SetOffsetHorz(int Value);
  void SetOffsetVert(int Value);
  int ImageWidth() const { return FImage->Empty() ? 0 : FImage->Width(); }
  int ImageHeight() const { return FImage->Empty() ? 0 : FImage->Height(); }
  TPNGGraphic* Image() const { return FImage.get(); }
  // Copies the picture in; borders and margins become half its size.
  void SetImage(TGraphic* Value);
  // The bytes of the PNG file the picture came from; empty when it came another way.
  TMemoryStream* ImageData() const { return FImageData.get(); }
  TacBordersSizes* ShadowSizes() const { return FShadowSizes.get(); }
  TacBordersSizes* ClientMargins() const { return FClientMargins.get(); }
  TacBordersSizes* BordersWidths() const { return FBordersWidths.get(); }
  TacBorderDrawModes* BorderDrawModes() const { return FBorderDrawModes.get(); }

  // After Image is assigned: borders and client margins from its size.
  void ImageChanged();
  // After ImageData is filled: the picture decoded from it.
  void StreamChanged();
  // Tells the component that owns the template, if any.
  void Changed();

 private:
  int FOffsetHorz = 0;
  int FOffsetVert = 0;
  std::unique_ptr<TacBordersSizes> FShadowSizes;
  std::unique_ptr<TacBordersSizes> FClientMargins;
  std::unique_ptr<TacBordersSizes> FBordersWidths;
  std::unique_ptr<TacBorderDrawModes> FBorderDrawModes;
  TacHintTemplate* FOwner;
  std::unique_ptr<TPNGGraphic> FImage;
  std::unique_ptr<TMemoryStream> FImageData;
};

class TacHintTemplate : public TPersistent {
 public:
  // Collection: the templates it belongs to, or nullptr (the default template).
  explicit TacHintTemplate(TacHintTemplates* Collection = nullptr);
  ~TacHintTemplate() override;
  void Assign(TPersistent* Source) override;

  TacHintImage* ImageDefault() const { return FImageDefault.get(); }
  TacHintImage* Img_RightTop() const { return FImageRightTop.get(); }
  TacHintImage* Img_LeftBottom() const { return FImageLeftBottom.get(); }
  TacHintImage* Img_RightBottom() const { return FImageRightBottom.get(); }
  // Index: 0 ImageDefault, 1 Img_LeftBottom, 2 Img_RightBottom, 3 Img_RightTop.
  TacHintImage* GetImg(int Index) const;
  void SetImg(int Index, TacHintImage* Value);
  TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value);
  TacHintAlign HintAlign = haHorzCenter;
  String Name;
  TacHintTemplates* Owner() const { return FOwner; }

  // The lower-left picture is empty: ImageDefault serves every pointer corner.
  bool SingleImageUsed() const;

 private:
  std::unique_ptr<TacHintImage> FImageDefault;
  std::unique_ptr<TacHintImage> FImageRightTop;
  std::unique_ptr<TacHintImage> FImageLeftBottom;
  std::unique_ptr<TacHintImage> FImageRightBottom;
  std::unique_ptr<TFont> FFont;
  TacHintTemplates* FOwner;
};

// The templates of an alpha-hints component, which hears of their changes (OnChange).
class TacHintTemplates : public TPersistent {
 public:
  TacHintTemplates() = default;
  void Assign(TPersistent* Source) override;
  int Count() const { return int(FItems.size()); }
  TacHintTemplate* Items(int Index) const { return FItems.at(size_t(Index)).get(); }
  TacHintTemplate* Add();
  // Takes a template built apart into the collection.
  TacHintTemplate* Adopt(std::unique_ptr<TacHintTemplate> Item);
  void Clear() { FItems.clear(); }
  TNotifyEvent OnChange;
  void Changed();

 private:
  std::vector<std::unique_ptr<TacHintTemplate>> FItems;
};

// The template file (little-endian 32-bit integers):
//   "AShh", kind ("1": up to three more picture records follow, "0": one),
//   font colour (0x00BBGGRR, a system colour as 0), font size in points,
//   style bits (1 bold, 2 italic, 4 underline, 8 strike-out), name length n,
//   n bytes of name (at most kMaxHintFontName), then picture records:
//   ImageDefault, and with kind "1" while bytes remain Img_RightTop,
//   Img_RightBottom, Img_LeftBottom. A picture record: five draw-mode bytes
//   (Top, Left, Right, Bottom, Center), BordersWidths, ClientMargins and
//   ShadowSizes (Top, Left, Right, Bottom each), picture kind ("1" PNG file
//   bytes, "0" the framework's bitmap format), byte count, the bytes.
constexpr int kMaxHintFontName = 63;

// Writes Template (nothing when nullptr) over the whole of Stream.
void SaveHintTemplateToStream(TacHintTemplate* Template, TMemoryStream& Stream);
void SaveHintTemplateToFile(TacHintTemplate* Template, const String& FileName);
// Reads a template from the stream's start into a new one added to Templates
// and returns it. Any fault of the file (signature, a length beyond the bytes
// left or a name over kMaxHintFontName, a picture that cannot be decoded)
// raises EacHintTemplateError "Unknown file format" and adds nothing.
TacHintTemplate* LoadHintTemplateFromStream(TacHintTemplates& Templates, TStream& Stream);
// As above from a file; the template is named after the file, cut at its first ".".
TacHintTemplate* LoadHintTemplateFromFile(TacHintTemplates& Templates, const String& FileName);

class EacHintTemplateError : public Exception {
 public:
  using Exception::Exception;
};
