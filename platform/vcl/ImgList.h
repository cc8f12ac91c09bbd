#pragma once
// The framework's image lists: a component around the layer's image list. The
// size, colour depth and masking are set first; the list itself is made when
// first needed. Users (list views, menus, buttons) hear of changes through
// change links.

#include <vector>

#include "platform/vcl/Graphics.h"
#include "platform/win/Controls.h"

enum TColorDepth { cdDeviceDependent, cd4Bit, cd8Bit, cd16Bit, cd24Bit, cd32Bit };
enum TDrawingStyle { dsFocus, dsSelected, dsNormal, dsTransparent };
enum TImageType { itImage, itMask };

class TCustomImageList;

// A user's subscription to an image list's changes; it unsubscribes when freed.
class TChangeLink : public TObject {
 public:
  ~TChangeLink() override;
  TCustomImageList* Sender = nullptr;
  TNotifyEvent OnChange;
  void Change();
};

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* AOwner);
  ~TCustomImageList() override;

  // The layer's list, made at the current size when first asked for.
  HIMAGELIST Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Takes Value over (it is destroyed with the component unless ShareImages);
  // the size follows the list's.
  void SetHandle(HIMAGELIST Value);

  // Changing the size empties the list.
  virtual int Width() const { return FWidth; }
  virtual void SetWidth(int Value);
  virtual int Height() const { return FHeight; }
  virtual void SetHeight(int Value);
  bool Masked() const { return FMasked; }
  void SetMasked(bool Value);
  TColorDepth ColorDepth() const { return FColorDepth; }
  void SetColorDepth(TColorDepth Value);
  // clNone draws transparently.
  TColor BkColor() const { return FBkColor; }
  void SetBkColor(TColor Value);
  // The colour that focused and selected drawing blends in (clNone: the highlight colour).
  TColor BlendColor = clNone;
  TDrawingStyle DrawingStyle = dsNormal;
  TImageType ImageType = itImage;
  bool ShareImages = false;
  int AllocBy = 4;

  int Count();
  // Each adds one image per Width-wide cell of Image; they return the first index or -1.
  virtual int Add(TBitmap* Image, TBitmap* Mask);
  int AddMasked(TBitmap* Image, TColor MaskColor);
  void Replace(int Index, TBitmap* Image, TBitmap* Mask);
  void Delete(int Index);
  void Clear();
  // Draws image Index with DrawingStyle and ImageType; a disabled image is faded.
  void Draw(TCanvas* Canvas, int X, int Y, int Index, bool Enabled = true);
  // Makes Image the list's size and draws image Index into it on BkColor (black for clNone).
  bool GetBitmap(int Index, TBitmap* Image);

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);
  TNotifyEvent OnChange;

  // Copies the size, the settings and the images of another list.
  void Assign(TPersistent* Source) override;

 protected:
  // Tells OnChange and the change links (not while updating).
  virtual void Change();
  virtual void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled);
  // The flags the list is made with.
  UINT CreateFlags() const;
  void FreeHandle();

 private:
  HIMAGELIST FHandle = nullptr;
  int FWidth = 16;
  int FHeight = 16;
  bool FMasked = true;
  TColorDepth FColorDepth = cdDeviceDependent;
  TColor FBkColor = clNone;
  int FUpdateCount = 0;
  bool FChanged = false;
  std::vector<TChangeLink*> FLinks;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};

// The layer's colour for a framework colour: clNone and clDefault map to CLR_NONE and CLR_DEFAULT.
COLORREF ImageListColor(TColor Color);

void RegisterImgListClasses();
