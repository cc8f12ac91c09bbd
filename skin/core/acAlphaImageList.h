#pragma once
// The alpha image list: images that keep their full alpha channel and the
// bytes of the files they came from (PNG, ICO, 32-bit BMP). From the stored
// files the list generates the layer's image list at its size and the skin's
// scale, caches ready 32-bit bitmaps per item and draws items blended. A form
// stores the list through its window definition: the items' published values
// and each item's file bytes as "ImgData".

#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/ImgList.h"
#include "skin/core/AlphaBitmaps.h"

enum TsImageFormat { ifPNG, ifICO, ifBMP32 };

class TsImgListItem : public TCollectionItem {
 public:
  explicit TsImgListItem(TCollection* Collection);
  ~TsImgListItem() override;
  // Copies the published values, the original size and the file bytes.
  void Assign(TPersistent* Source) override;

  String FText;
  String FImageName;
  TsImageFormat FImageFormat = ifPNG;
  TPixelFormat FPixelFormat = pf32bit;
  int OrigWidth = 0, OrigHeight = 0;      // of the decoded stored image
  std::unique_ptr<TBitmap> CacheBmp;      // a ready image at one size; nullptr: none
  std::unique_ptr<TMemoryStream> ImgData;  // the file's bytes
};

class TsAlphaImageList;

class TsImgListItems : public TCollection {
 public:
  explicit TsImgListItems(TsAlphaImageList* AOwner);
  TsImgListItem* Items(int Index) const { return static_cast<TsImgListItem*>(TCollection::Items(Index)); }
  TsImgListItem* Add() { return static_cast<TsImgListItem*>(TCollection::Add()); }
  TsAlphaImageList* FOwner;

 protected:
  TPersistent* GetOwner() override;
};

class TsAlphaImageList : public TCustomImageList {
 public:
  explicit TsAlphaImageList(TComponent* AOwner = nullptr);
  ~TsAlphaImageList() override;

  // The design sizes; the layer's list holds them scaled by the skin while AllowScale.
  int Width() const override;
  void SetWidth(int Value) override { SetDimensionByIndex(1, Value); }
  int Height() const override;
  void SetHeight(int Value) override { SetDimensionByIndex(0, Value); }
  void SetDimensionByIndex(int Index, int Value);
  // The skin's scale step the images are made for.
  void SetScaleValue(int Value);
  bool AllowScale() const { return FAllowScale; }
  void SetAllowScale(bool Value) { FAllowScale = Value; }
  bool UseCache() const { return FUseCache; }
  void SetUseCache(bool Value);
  TsImgListItems* Items() { return FItems.get(); }

  // Keep the items' file bytes after generating (otherwise the items are dropped).
  bool DoubleData = true;
  // Draw images copied as they are instead of blended.
  bool IgnoreTransparency = false;

  void Loaded();
  // Rebuilds the layer's list from the items at the current size.
  void GenerateStdList();
  // Image Index at Image's size (made 32-bit); false without a handle or for a bad index.
  bool GetBitmap32(int Index, TBitmap* Image);
  // A new 32-bit bitmap of image Index at the size asked; nullptr for a bad index.
  std::unique_ptr<TBitmap> CreateBitmap32(int Index, int aWidth, int aHeight);
  bool TryLoadFromFile(const String& FileName);
  // Shows "Cannot load <name>" when the file is no image.
  void LoadFromFile(const String& FileName);
  // The rest of the stream is taken as a PNG picture; false (nothing added) when it is none.
  bool TryLoadFromPngStream(TStream& Stream);
  void LoadFromPngStream(TStream& Stream);
  // A new 32-bit BMP item from Image (its transparent colour made transparent); the index or -1.
  int Add(TBitmap* Image, TBitmap* Mask) override;
  void Replace(int AIndex, TBitmap* ABmp32);
  void MoveItem(int CurIndex, int NewIndex);
  void Clear();
  void CopyImages(TsAlphaImageList* ImgList);
  void Assign(TPersistent* Source) override;
  void AcBeginUpdate() { AcChanging = true; }
  void AcEndUpdate(bool DoChange);
  bool CanScale() const;

  bool FLoaded = false;
  bool AcChanging = false;
  bool StdListIsGenerated = false;
  int SavedWidth = 0, SavedHeight = 0;
  int FSavedScale = 0;

 protected:
  void Change() override;
  void DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) override;

 private:
  bool KeepsData() const { return DoubleData || (ComponentState() & csDesigning); }
  // Appends a 32-bit image to the layer's list as an icon; its index or -1.
  int AppendImage(TBitmap* Bmp);
  // The stored file of an item decoded at its own size; nullptr when unreadable.
  std::unique_ptr<TBitmap> DecodeItem(TsImgListItem* Item);
  int AddItemFromStream(TStream& Stream, TsImageFormat Format, const String& Name);

  bool FAllowScale = true;
  bool FUseCache = true;
  std::unique_ptr<TsImgListItems> FItems;
};

// ---- Module routines ----
int ImageListCount(TCustomImageList* List);
int ImageListWidth(TCustomImageList* List);
int ImageListHeight(TCustomImageList* List);
// The file is longer than Count (at most 8) bytes and begins with Signature.
bool FileStartsWith(const String& FileName, const uint8_t* Signature, int Count);
// PNG by its signature, ICO by 00 00 and the ".ico" extension, BMP by "BM"; false otherwise.
bool SniffImageFile(const String& FileName, TsImageFormat& Format);
// An image without any alpha becomes opaque except for its bottom-left colour.
void MakeOpaqueExceptKey(TBitmap* Bmp);
// The first image of an icon file's bytes (PNG or 32/24-bit DIB entries) as a 32-bit bitmap.
std::unique_ptr<TBitmap> DecodeIconFile(TStream& Stream);

// Image Index (cell Cell of NumGlyphs side by side) blended into a 32-bit
// bitmap at (X, Y); CellSize gets the cell's size. TintColor 0x1FFFFFFF: none.
void DrawAlphaListImage(TCustomImageList* List, TBitmap* Bmp, int X, int Y, TSize& CellSize, bool Reflected,
                        int NumGlyphs, int Cell, TColor TintColor, int Blend, int Index);
void DrawAlphaListImageToDC(TCustomImageList* List, HDC DC, int X, int Y, bool Reflected, int NumGlyphs, int Cell,
                            TColor TintColor, int Blend, int Index);

// How a glyph is drawn by state.
struct TacGlyphDrawInfo {
  int Blend = 0;        // percent, normal state
  int NumGlyphs = 1;    // state cells side by side
  int ImageIndex = -1;
  int State = 0;        // 0 normal, 1 hot, 2 pressed
  bool Down = false;
  bool Grayed = false;  // tinted by TintColor
  bool Enabled = true;
  bool Reflected = false;
  TBitmap* Glyph = nullptr;
  TBitmap* DstBmp = nullptr;
  TRect Rect;
  TCanvas* DstCanvas = nullptr;
  TColor TintColor = 0x1FFFFFFF;
  TCustomImageList* ImageList = nullptr;
  TacDisabledKind DisabledKind;
};
void DrawImageListItem(const TacGlyphDrawInfo& Info);

void RegisterAlphaImageListClasses();
