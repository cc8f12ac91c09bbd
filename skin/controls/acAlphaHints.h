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
#include "platform/vcl/Forms.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/StdCtrls.h"
#include "skin/core/acThdTimer.h"
#include "skin/core/sSkinRecords.h"

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

// ---- The alpha-hints component and its hint windows ----
//
// TsAlphaHints replaces the application's hint windows by layered ones: the
// hint's picture is composed once (from the current template, or from the
// skin's hint section), shown in a separate layered, topmost, click-through
// window and faded in; a hint that follows another one glides from the old
// place to the new one while the two pictures cross-fade. The framework's own
// hint window (TacPngHintWindow) stays invisible.

class TsAlphaHints;
class TacCustomHintWindow;
class TsShowTimer;
class TFrame;

// The corner of a hint at which its pointer stands.
enum TacMousePosition { mpLeftTop, mpLeftBottom, mpRightTop, mpRightBottom };
enum TacHintState { hsNormal, hsInit };

// A hint shown by code with a fixed size and an optional picture beside its caption.
struct TacShowHintData {
  int Width = 0;  // 0: the caption is measured
  int Height = 0;
  TPoint Position;
  String Caption;
  TControl* Control = nullptr;
  TBitmap* Image = nullptr;  // borrowed
  TacSide ImageAlignment = asLeft;
};

// CanShow = false drops the hint; Frame may be set to a frame shown as the hint's content (the component owns it).
using TacShowHintEvent = std::function<void(String& HintStr, bool& CanShow, THintInfo& HintInfo, TFrame*& Frame)>;
using TacMeasureEvent = std::function<void(const String& HintStr, const THintInfo& HintInfo, int& NewWidth, int& NewHeight)>;
// DefaultDraw = false leaves the content to the handler.
using TacPaintEvent =
    std::function<void(const String& HintStr, const THintInfo& HintInfo, TRect ARect, TBitmap* ABmp, bool& DefaultDraw)>;

// The component whose hints are shown (nullptr: the framework's plain hints).
inline TsAlphaHints* ActiveAlphaHints = nullptr;
// The template and picture the next hint is drawn from, and the hint window last made or shown.
inline TacHintTemplate* CurrentHintTemplate = nullptr;
inline TacHintImage* CurrentHintImage = nullptr;
inline TacCustomHintWindow* CurrentHintWindow = nullptr;
// The built-in template: a 27 x 27 rounded body with its shadow, made on first use.
TacHintTemplate* DefaultHintTemplate();

// The pause between hints of neighbouring controls (ms); the clean-up waits this plus 300 ms.
inline constexpr int kHintShortPause = 50;
// Room between a skinned hint's border and its text.
inline constexpr int kHintSpacing = 4;

class TsAlphaHints : public TComponent {
 public:
  explicit TsAlphaHints(TComponent* AOwner);
  ~TsAlphaHints() override;
  void AfterConstruction();
  // Placed on a window definition: takes over the application's hints.
  void Loaded();
  void Assign(TPersistent* Source) override;

  int MaxWidth = 120;  // text width limit; 0 or less: the screen's width
  int PauseHide() const { return FPauseHide; }
  void SetPauseHide(int Value);
  bool Animated = true;
  bool HTMLMode = false;
  bool AutoAlignment() const { return FAutoAlignment; }
  void SetAutoAlignment(bool Value);
  TAlignment TextAlignment = taCenter;
  TacMousePosition DefaultMousePosition = mpLeftTop;
  bool Active() const { return FActive; }
  void SetActive(bool Value);
  bool UseSkinData() const { return FUseSkinData; }
  void SetUseSkinData(bool Value) { FUseSkinData = Value; }
  const String& TemplateName() const { return FTemplateName; }
  void SetTemplateName(const String& Value);
  int TemplateIndex() const { return FTemplateIndex; }
  // Empty reads as "HINT".
  String SkinSection = "HINT";
  TacHintTemplates* Templates() const { return FTemplates.get(); }
  void SetTemplates(TacHintTemplates* Value) { FTemplates->Assign(Value); }

  TacPaintEvent OnPaint;
  TacMeasureEvent OnMeasure;
  TacShowHintEvent OnShowHint;
  TNotifyEvent OnChange;
  TNotifyEvent OnHideHint;

  // Hints by code; HideTime in ms, 0: hidden once the mouse leaves the control under it.
  void ShowHint(TControl* TheControl, const String& HintText, unsigned HideTime);
  void ShowHint(TacShowHintData& ShowHintData, unsigned HideTime);
  void ShowHint(TPoint Position, const String& HintText, unsigned HideTime);
  void HideHint();
  void HideAll();
  void KillTimer();
  void RepaintHint();
  // The hint section of the loaded skin paints the hints.
  bool Skinned() const;
  void StartHideTimer(unsigned HideTime);
  void StartCheckTimer();
  void StopCheckTimer();
  void InitTemplate();
  void CheckAutoHintPos();
  void Changed();
  // The template at TemplateIndex, else the built-in one, into the stream or file.
  void SaveToStream(TMemoryStream& AStream);
  void SaveToFile(const String& FileName);
  TacHintTemplate* LoadFromStream(TStream& AStream);
  TacHintTemplate* LoadFromFile(const String& FileName);

  // ---- State shared with the hint windows ----
  TPoint FHintPos{-1, -1};        // anchor of the next hint; X -1: the cursor
  int FOldHintPause = 0;          // the application's hint pause while hints fade (0: none saved)
  TacShowHintData TmpShowData;    // the record hint being built
  TControl* HintTimeCtrl = nullptr;
  std::unique_ptr<TBitmap> FCacheBmp;    // work bitmap for measuring
  std::unique_ptr<TBitmap> OldAlphaBmp;  // the last hint's picture, for cross-fading
  double Blend = 0;
  TacHintState State = hsNormal;
  std::unique_ptr<TsShowTimer> ShowTimer;
  THintInfo CurrentHintInfo;
  std::unique_ptr<TCustomForm> NewWindow;   // the layered window of a hint gliding in
  std::unique_ptr<TCustomForm> AnimWindow;  // the layered window that shows the hint
  TPoint FHintLocation;               // anchor of the hint being built; (0, 0): not set
  bool HintShowing = false;
  TFrame* HintFrame = nullptr;  // owned
  TRect NewBounds;              // screen rectangle of the hint being shown
  std::unique_ptr<THintWindow> HintWindow;  // the window of hints shown by code

  // The application's hint event while the component has taken it over.
  void OnShowHintApp(String& HintStr, bool& CanShow, THintInfo& HintInfo);
  void FreeHintFrame();
  void UpdateHintClass();

 private:
  // The shared steps of the ShowHint forms: the window, the measuring with the
  // handler's say (Asked), the activation and the hide timer.
  void ShowPrepared(const String& HintText, unsigned HideTime, TControl* Named, bool Ask, bool KeepInfo, int Limit);
  void StopFade();
  // The template at TemplateIndex, else the built-in one.
  TacHintTemplate* SelectedTemplate() const;
  int FPauseHide = 5000;
  bool FAutoAlignment = false;
  bool FActive = true;
  bool FUseSkinData = false;
  int FTemplateIndex = -1;
  String FTemplateName;
  std::unique_ptr<TacHintTemplates> FTemplates;
  std::unique_ptr<TacThreadedTimer> HideTimer;
  std::unique_ptr<TacThreadedTimer> CheckTimer;
  bool FDestroying = false;
};

// The hint window while a component is active: measures, places and
// composes the picture, which the component's layered window shows.
class TacCustomHintWindow : public THintWindow {
 public:
  explicit TacCustomHintWindow(TComponent* AOwner);
  ~TacCustomHintWindow() override;
  TRect CalcHintRect(int MaxWidth, const String& AHint, void* AData = nullptr) override;
  void ActivateHint(TRect Rect, const String& AHint) override;
  // Composes AlphaBmp (Width x Height, premultiplied) from the skin's hint section.
  virtual void CreateAlphaBmp(int Width, int Height);
  virtual void DoDestroy();
  // The pointer corner for a hint at Rect anchored at mPos; Rect's top-left moves to stay on the monitor.
  TacMousePosition GetArrowPos(TRect& Rect, const TPoint& mPos);
  // Composes the picture again and shows it (0, 0: the current size).
  void UpdateWnd(int w, int h);
  void OnCloseHint();

  String Text;
  std::unique_ptr<TBitmap> BodyBmp, MaskBmp, AlphaBmp;
  int BGIndex = -1, SkinIndex = -1, BorderIndex = -1;
  TacMousePosition FMousePos = mpLeftTop;

  // Shadow sizes of the current picture (left, top, right, bottom).
  TRect ShadowRect() const;
  // The picture carries its own shadow (else the system would add one).
  bool DrawsOwnShadow() const;
  int SkinBorderWidth(int Side) const;
  void PaintHintContent(TBitmap* Bitmap);
  TRect AddClientMargins(const TRect& R) const;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;
  void Paint() override {}
  std::unique_ptr<TBitmap> MakeBodyBmp();
  std::unique_ptr<TBitmap> MakeMaskBmp();
  void UpdateSkinRegion();
  bool FClosed = true;  // OnCloseHint ran for the hint last shown
};

// The framework's hint window class while a component is active: pictures from the current template.
class TacPngHintWindow : public TacCustomHintWindow {
 public:
  using TacCustomHintWindow::TacCustomHintWindow;
  TRect CalcHintRect(int MaxWidth, const String& AHint, void* AData = nullptr) override;
  void CreateAlphaBmp(int Width, int Height) override;
  void DoDestroy() override;
};

// Registers the component for window definitions, its templates with their
// pictures' file bytes ("ImgData") included (done at start-up).
void RegisterAlphaHintsClasses();

// The layered window that shows a hint's picture: borderless, hidden, no
// owner, never activated, click-through, topmost, left alone by the skinning.
std::unique_ptr<TCustomForm> CreateHintWindow(const TRect& R);
// The template's picture for a pointer corner; a single-image template's default picture serves all four.
TacHintImage* HintPictureFor(TacHintTemplate* T, TacMousePosition P);
// Where a hint goes when nothing anchors it: the component's position, or the cursor.
TPoint HintAnchorPoint();

// Fades a new hint in (20 steps of 12 ms), gliding from the old hint's place when one is up.
class TsShowTimer : public TacThreadedTimer {
 public:
  explicit TsShowTimer(TComponent* AOwner);
  void Init(TacCustomHintWindow* HintForm, int w, int h);
  void IntOnTimer(TObject* Sender);

  double x = 0, y = 0, dx = 0, dy = 0, StepB = 0;
  int Step = 0, StepCount = 20, Transparency = 0;
  TRect SrcRect;
  TacCustomHintWindow* CurrentHintForm = nullptr;
};
