#include "skin/core/acAlphaImageList.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Definitions.h"
#include "platform/os/Files.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/ListViews.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/AlphaBitmapsPng.h"
#include "skin/core/GeneralUtils.h"
#include "skin/core/sCommonData.h"
#include "skin/core/sGraphUtils.h"
#include "skin/core/sGraphUtilsResample.h"
#include "skin/core/sTextPaint.h"

namespace {

constexpr uint8_t kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint8_t kIcoSignature[2] = {0, 0};
constexpr uint8_t kBmpSignature[2] = {'B', 'M'};
constexpr uint8_t kMitchellFilter = 6;

// The remaining bytes of Stream as a byte vector.
std::vector<uint8_t> RestOf(TStream& Stream) {
  const int64_t n = Stream.Size() - Stream.Position();
  std::vector<uint8_t> b(size_t(std::max<int64_t>(n, 0)));
  if (!b.empty()) Stream.ReadBuffer(b.data(), int64_t(b.size()));
  return b;
}

uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Sizes of every item in the alpha lists the layer knows.
bool HasAnyAlpha(TBitmap* Bmp) {
  for (int y = 0; y < Bmp->Height(); ++y)
    for (int x = 0; x < Bmp->Width(); ++x)
      if (GetPixel32(Bmp, x, y) >> 24) return true;
  return false;
}

void CopyBitmap32(TBitmap* Dst, TBitmap* Src) {
  Dst->SetPixelFormat(pf32bit);
  Dst->SetSize(Src->Width(), Src->Height());
  BitBlt(Dst->Canvas()->Handle(), 0, 0, Src->Width(), Src->Height(), Src->Canvas()->Handle(), 0, 0, SRCCOPY);
}

}  // namespace

// ---- Items ----

TsImgListItem::TsImgListItem(TCollection* Collection)
    : TCollectionItem(Collection), ImgData(std::make_unique<TMemoryStream>()) {}

TsImgListItem::~TsImgListItem() = default;

void TsImgListItem::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TsImgListItem*>(Source);
  if (!s) return TCollectionItem::Assign(Source);
  FImageFormat = s->FImageFormat;
  FImageName = s->FImageName;
  FPixelFormat = s->FPixelFormat;
  OrigWidth = s->OrigWidth;
  OrigHeight = s->OrigHeight;
  FText = s->FText;
  ImgData->Clear();
  if (s->ImgData->Size() > 0) ImgData->CopyFrom(*s->ImgData, 0);
  CacheBmp.reset();
}

TsImgListItems::TsImgListItems(TsAlphaImageList* AOwner)
    : TCollection(TCollection::ItemClassOf<TsImgListItem>()), FOwner(AOwner) {}

TPersistent* TsImgListItems::GetOwner() { return FOwner; }

// ---- The list ----

TsAlphaImageList::TsAlphaImageList(TComponent* AOwner)
    : TCustomImageList(AOwner), FItems(std::make_unique<TsImgListItems>(this)) {
  FLoaded = !(AOwner && (AOwner->ComponentState() & csLoading));
  SetMasked(false);
}

TsAlphaImageList::~TsAlphaImageList() = default;

bool TsAlphaImageList::CanScale() const {
  return FAllowScale && FLoaded && DefaultManager && !(ComponentState() & csDesigning) && FItems->Count() > 0;
}

int TsAlphaImageList::Width() const {
  auto* self = const_cast<TsAlphaImageList*>(this);
  if (CanScale() && SavedWidth) self->SetScaleValue(DefaultManager->ScaleStep);
  return TCustomImageList::Width();
}

int TsAlphaImageList::Height() const {
  auto* self = const_cast<TsAlphaImageList*>(this);
  if (CanScale() && SavedWidth) self->SetScaleValue(DefaultManager->ScaleStep);
  return TCustomImageList::Height();
}

void TsAlphaImageList::SetScaleValue(int Value) {
  if (Value == FSavedScale || !CanScale()) return;
  const bool was = AcChanging;
  AcChanging = true;
  FSavedScale = Value;
  TCustomImageList::SetWidth(DefaultManager->ScaleInt(SavedWidth));
  TCustomImageList::SetHeight(DefaultManager->ScaleInt(SavedHeight));
  FreeHandle();
  GenerateStdList();
  AcChanging = was;
  if (!was) TCustomImageList::Change();
}

void TsAlphaImageList::SetDimensionByIndex(int Index, int Value) {
  (Index == 0 ? SavedHeight : SavedWidth) = Value;
  const int scaled = CanScale() ? DefaultManager->ScaleInt(Value) : Value;
  if (CanScale()) FSavedScale = DefaultManager->ScaleStep;
  if (Index == 0)
    TCustomImageList::SetHeight(scaled);
  else
    TCustomImageList::SetWidth(scaled);
  if (FLoaded && FItems->Count() >= ImageList_GetImageCount(Handle())) {
    GenerateStdList();
    Change();
  }
}

void TsAlphaImageList::SetUseCache(bool Value) {
  FUseCache = Value;
  for (int i = 0; i < FItems->Count(); ++i) FItems->Items(i)->CacheBmp.reset();
}

void TsAlphaImageList::Loaded() {
  FLoaded = true;
  if (!SavedWidth) SavedWidth = TCustomImageList::Width();
  if (!SavedHeight) SavedHeight = TCustomImageList::Height();
  if (!StdListIsGenerated) {
    GenerateStdList();
    Change();
  }
}

std::unique_ptr<TBitmap> TsAlphaImageList::DecodeItem(TsImgListItem* Item) {
  if (Item->ImgData->Size() == 0) return nullptr;
  Item->ImgData->SetPosition(0);
  std::unique_ptr<TBitmap> bmp;
  try {
    switch (Item->FImageFormat) {
      case ifPNG:
        bmp = std::make_unique<TBitmap>();
        LoadBitmapFromPngStream(bmp.get(), *Item->ImgData);
        break;
      case ifICO:
        bmp = DecodeIconFile(*Item->ImgData);
        break;
      case ifBMP32: {
        bmp = std::make_unique<TBitmap>();
        bmp->LoadFromStream(*Item->ImgData);
        if (bmp->PixelFormat() != pf32bit) {
          bmp->SetPixelFormat(pf32bit);
          MakeOpaqueExceptKey(bmp.get());
        }
        break;
      }
    }
  } catch (const Exception&) {
    return nullptr;
  }
  if (!bmp || bmp->Empty() || bmp->Width() == 0) return nullptr;
  Item->OrigWidth = bmp->Width();
  Item->OrigHeight = bmp->Height();
  return bmp;
}

int TsAlphaImageList::AppendImage(TBitmap* Bmp) {
  HICON icon = Bmp ? CreateAlphaIcon(Bmp) : nullptr;
  if (!icon) return -1;
  const int index = ImageList_ReplaceIcon(Handle(), -1, icon);
  DestroyIcon(icon);
  return index;
}

void TsAlphaImageList::GenerateStdList() {
  if (!SavedHeight) SavedHeight = TCustomImageList::Height();
  if (!SavedWidth) SavedWidth = TCustomImageList::Width();
  HIMAGELIST h = Handle();
  if (!h) return;
  const bool was = AcChanging;
  AcChanging = true;
  ImageList_RemoveAll(h);
  for (int i = 0; i < FItems->Count(); ++i) {
    auto bmp = DecodeItem(FItems->Items(i));
    if (AppendImage(bmp.get()) < 0) {
      // An unreadable item keeps its place with an empty image.
      auto blank = NewBitmap32(TCustomImageList::Width(), TCustomImageList::Height());
      AppendImage(blank.get());
    }
  }
  if (FItems->Count() > 0) {
    StdListIsGenerated = true;
    if (!KeepsData()) FItems->Clear();
  }
  AcChanging = was;
}

bool TsAlphaImageList::GetBitmap32(int Index, TBitmap* Image) {
  if (!Image || !Handle() || Index < 0 || Index >= Count()) return false;
  const int w = Image->Width(), h = Image->Height();
  if (KeepsData() && Index < FItems->Count() && FItems->Items(Index)->ImgData->Size() > 0 &&
      FItems->Items(Index)->FImageFormat != ifICO) {
    TsImgListItem* item = FItems->Items(Index);
    if (FUseCache && item->CacheBmp) {
      if (item->CacheBmp->Width() == w && item->CacheBmp->Height() == h) {
        CopyBitmap32(Image, item->CacheBmp.get());
        return true;
      }
      item->CacheBmp.reset();
    }
    auto src = DecodeItem(item);
    if (!src) return false;
    if (src->Width() == w && src->Height() == h) {
      CopyBitmap32(Image, src.get());
    } else {
      Image->SetPixelFormat(pf32bit);
      ResampleBitmap32(src.get(), Image, w, h, kMitchellFilter);
    }
    if (FUseCache && w == TCustomImageList::Width() && h == TCustomImageList::Height()) {
      item->CacheBmp = NewBitmap32(w, h);
      CopyBitmap32(item->CacheBmp.get(), Image);
    }
    return true;
  }
  // Icons and images without stored data come from the layer's list.
  Image->SetPixelFormat(pf32bit);
  FillRect32(Image, TRect(0, 0, w, h), 0, 0);
  HICON icon = ImageList_GetIcon(Handle(), Index, 0);
  if (!icon) return false;
  DrawIconEx(Image->Canvas()->Handle(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
  DestroyIcon(icon);
  return true;
}

std::unique_ptr<TBitmap> TsAlphaImageList::CreateBitmap32(int Index, int aWidth, int aHeight) {
  if (!Handle() || Index < 0 || Index >= Count()) return nullptr;
  auto bmp = NewBitmap32(aWidth, aHeight);
  if (!GetBitmap32(Index, bmp.get())) return nullptr;
  // Every result is kept, whatever its size.
  if (FUseCache && KeepsData() && Index < FItems->Count() && FItems->Items(Index)->FImageFormat != ifICO) {
    auto& cache = FItems->Items(Index)->CacheBmp;
    if (!cache || cache->Width() != aWidth || cache->Height() != aHeight) {
      cache = NewBitmap32(aWidth, aHeight);
      CopyBitmap32(cache.get(), bmp.get());
    }
  }
  return bmp;
}

int TsAlphaImageList::AddItemFromStream(TStream& Stream, TsImageFormat Format, const String& Name) {
  auto bytes = RestOf(Stream);
  if (bytes.empty()) return -1;
  TsImgListItem* item = FItems->Add();
  item->ImgData->WriteBuffer(bytes.data(), int64_t(bytes.size()));
  item->FImageFormat = Format;
  item->FImageName = Name;
  auto bmp = DecodeItem(item);
  const int index = bmp ? AppendImage(bmp.get()) : -1;
  if (index < 0) {
    delete item;
    return -1;
  }
  item->FPixelFormat = Format == ifICO && !HasAnyAlpha(bmp.get()) ? pf24bit : pf32bit;
  StdListIsGenerated = true;
  if (!KeepsData()) FItems->Clear();
  return index;
}

bool TsAlphaImageList::TryLoadFromFile(const String& FileName) {
  TsImageFormat format;
  if (!SniffImageFile(FileName, format)) return false;
  int index = -1;
  try {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    String name = ExtractFileName(FileName);
    name = name.size() > 4 ? name.substr(0, name.size() - 4) : String();
    index = AddItemFromStream(f, format, name);
  } catch (const Exception&) {
    return false;
  }
  Change();
  return index >= 0;
}

void TsAlphaImageList::LoadFromFile(const String& FileName) {
  if (!TryLoadFromFile(FileName))
    ShowErrorBox("Cannot load " + FileName + "\r\nInvalid or unexpected image format.");
}

bool TsAlphaImageList::TryLoadFromPngStream(TStream& Stream) {
  int index = -1;
  try {
    index = AddItemFromStream(Stream, ifPNG, "");
  } catch (const Exception&) {
    return false;
  }
  Change();
  return index >= 0;
}

void TsAlphaImageList::LoadFromPngStream(TStream& Stream) {
  if (!TryLoadFromPngStream(Stream))
    ShowErrorBox("Cannot load from stream\r\nInvalid or unexpected image format.");
}

int TsAlphaImageList::Add(TBitmap* Image, TBitmap* Mask) {
  (void)Mask;
  if (!Image || Image->Empty()) return -1;
  TBitmap copy;
  copy.Assign(Image);
  if (copy.PixelFormat() != pf32bit) {
    copy.SetPixelFormat(pf32bit);
    const int32_t key = Image->Transparent() ? int32_t(SwapRedBlue(uint32_t(ColorToRGB(Image->TransparentColor())) & 0xFFFFFF))
                                             : int32_t(clNone);
    SetAlphaInRect(&copy, TRect(0, 0, copy.Width(), copy.Height()), 0xFF, key);
  }
  if (KeepsData()) {
    TsImgListItem* item = FItems->Add();
    copy.SaveToStream(*item->ImgData);
    item->FImageFormat = ifBMP32;
    item->FPixelFormat = pf32bit;
    item->OrigWidth = copy.Width();
    item->OrigHeight = copy.Height();
  }
  const int index = AppendImage(&copy);
  Change();
  return index;
}

void TsAlphaImageList::Replace(int AIndex, TBitmap* ABmp32) {
  if (!ABmp32 || AIndex < 0 || AIndex >= FItems->Count()) return;
  try {
    TBitmap copy;
    copy.Assign(ABmp32);
    if (copy.PixelFormat() != pf32bit) {
      copy.SetPixelFormat(pf32bit);
      SetAlphaInRect(&copy, TRect(0, 0, copy.Width(), copy.Height()), 0xFF, int32_t(clNone));
    }
    TsImgListItem* item = FItems->Items(AIndex);
    if (KeepsData()) {
      item->CacheBmp.reset();
      item->ImgData->Clear();
      copy.SaveToStream(*item->ImgData);
      item->FImageFormat = ifBMP32;
    }
    GenerateStdList();
    Change();
  } catch (const Exception&) {
    // A replacement that cannot be made leaves the image as it was.
  }
}

void TsAlphaImageList::MoveItem(int CurIndex, int NewIndex) {
  if (CurIndex < 0 || CurIndex >= FItems->Count()) return;
  FItems->Items(CurIndex)->SetIndex(NewIndex);
  GenerateStdList();
  Change();
}

void TsAlphaImageList::Clear() {
  FItems->Clear();
  if (HandleAllocated()) ImageList_RemoveAll(Handle());
  StdListIsGenerated = false;
  Change();
}

void TsAlphaImageList::CopyImages(TsAlphaImageList* ImgList) {
  if (!ImgList) return;
  FItems->Clear();
  for (int i = 0; i < ImgList->FItems->Count(); ++i) FItems->Add()->Assign(ImgList->FItems->Items(i));
  GenerateStdList();
}

void TsAlphaImageList::Assign(TPersistent* Source) {
  auto* s = dynamic_cast<TsAlphaImageList*>(Source);
  if (!s) return TCustomImageList::Assign(Source);
  AcBeginUpdate();
  FAllowScale = s->FAllowScale;
  SavedWidth = s->SavedWidth ? s->SavedWidth : s->TCustomImageList::Width();
  SavedHeight = s->SavedHeight ? s->SavedHeight : s->TCustomImageList::Height();
  TCustomImageList::SetWidth(s->TCustomImageList::Width());
  TCustomImageList::SetHeight(s->TCustomImageList::Height());
  SetBkColor(s->BkColor());
  BlendColor = s->BlendColor;
  IgnoreTransparency = s->IgnoreTransparency;
  CopyImages(s);
  AcEndUpdate(false);
}

void TsAlphaImageList::AcEndUpdate(bool DoChange) {
  AcChanging = false;
  if (DoChange) Change();
}

void TsAlphaImageList::Change() {
  if (AcChanging) return;
  TCustomImageList::Change();
}

void TsAlphaImageList::DoDraw(int Index, TCanvas* Canvas, int X, int Y, UINT Style, bool Enabled) {
  (void)Style;
  (void)Enabled;
  if (!Canvas || Index < 0 || !Handle()) return;
  const int w = TCustomImageList::Width(), h = TCustomImageList::Height();
  auto img = CreateBitmap32(Index, w, h);
  if (!img) return;
  auto scratch = NewBitmap32(w, h);
  BitBlt(scratch->Canvas()->Handle(), 0, 0, w, h, Canvas->Handle(), X, Y, SRCCOPY);
  BlendBitmapOverEx(TRect(0, 0, w, h), TRect(0, 0, w, h), scratch.get(), false, 0, clNone, false, EmptyCI, img.get());
  BitBlt(Canvas->Handle(), X, Y, w, h, scratch->Canvas()->Handle(), 0, 0, SRCCOPY);
}

// ---- Module routines ----

int ImageListCount(TCustomImageList* List) { return List ? List->Count() : 0; }
int ImageListWidth(TCustomImageList* List) { return List ? List->Width() : 0; }
int ImageListHeight(TCustomImageList* List) { return List ? List->Height() : 0; }

bool FileStartsWith(const String& FileName, const uint8_t* Signature, int Count) {
  Count = std::min(Count, 8);
  try {
    TFileStream f(FileName, fmOpenRead | fmShareDenyNone);
    if (f.Size() <= Count) return false;
    uint8_t head[8] = {};
    f.ReadBuffer(head, Count);
    return std::memcmp(head, Signature, size_t(Count)) == 0;
  } catch (const Exception&) {
    return false;
  }
}

bool SniffImageFile(const String& FileName, TsImageFormat& Format) {
  if (FileStartsWith(FileName, kPngSignature, 8)) {
    Format = ifPNG;
  } else if (FileStartsWith(FileName, kIcoSignature, 2) && LowerCase(ExtractFileExt(FileName)) == ".ico") {
    Format = ifICO;
  } else if (FileStartsWith(FileName, kBmpSignature, 2)) {
    Format = ifBMP32;
  } else {
    return false;
  }
  return true;
}

void MakeOpaqueExceptKey(TBitmap* Bmp) {
  if (!Bmp || Bmp->Empty() || Bmp->PixelFormat() != pf32bit || HasAnyAlpha(Bmp)) return;
  const uint32_t key = GetPixel32(Bmp, 0, Bmp->Height() - 1);
  for (int y = 0; y < Bmp->Height(); ++y)
    for (int x = 0; x < Bmp->Width(); ++x) {
      const uint32_t p = GetPixel32(Bmp, x, y);
      if (p != key) SetPixel32(Bmp, x, y, p | 0xFF000000u);
    }
}

std::unique_ptr<TBitmap> DecodeIconFile(TStream& Stream) {
  const std::vector<uint8_t> f = RestOf(Stream);
  // Header: reserved 0, type 1, count; then 16-byte entries.
  if (f.size() < 6 + 16 || Le16(&f[0]) != 0 || Le16(&f[2]) != 1 || Le16(&f[4]) == 0) return nullptr;
  const uint32_t size = Le32(&f[6 + 8]), offset = Le32(&f[6 + 12]);
  if (offset >= f.size() || size > f.size() - offset || size < 40) return nullptr;
  const uint8_t* p = &f[offset];
  if (std::memcmp(p, kPngSignature, 8) == 0) {
    TMemoryStream png;
    png.WriteBuffer(p, int64_t(size));
    png.SetPosition(0);
    auto bmp = std::make_unique<TBitmap>();
    LoadBitmapFromPngStream(bmp.get(), png);
    return bmp;
  }
  // A device-independent bitmap twice the icon's height (colour, then the 1-bit mask).
  const uint32_t headerSize = Le32(p);
  const int w = int(Le32(p + 4)), h2 = int(Le32(p + 8)), bpp = Le16(p + 14);
  if (headerSize < 40 || w <= 0 || w > 1024 || h2 <= 0 || h2 > 2048 || (bpp != 32 && bpp != 24) || Le32(p + 16) != 0)
    return nullptr;
  const int h = h2 / 2;
  const size_t stride = size_t((w * bpp + 31) / 32 * 4), maskStride = size_t((w + 31) / 32 * 4);
  const size_t need = headerSize + stride * size_t(h) + (bpp == 24 ? maskStride * size_t(h) : 0);
  if (need > size) return nullptr;
  auto bmp = NewBitmap32(w, h);
  const uint8_t* bits = p + headerSize;
  const uint8_t* mask = bits + stride * size_t(h);
  for (int row = 0; row < h; ++row) {  // rows bottom-up
    for (int x = 0; x < w; ++x) {
      const uint8_t* px = bits + stride * size_t(row) + size_t(x) * size_t(bpp / 8);
      uint32_t v = uint32_t(px[0]) | uint32_t(px[1]) << 8 | uint32_t(px[2]) << 16;
      if (bpp == 32) {
        v |= uint32_t(px[3]) << 24;
      } else {
        const bool transparent = (mask[maskStride * size_t(row) + size_t(x / 8)] >> (7 - x % 8)) & 1;
        if (!transparent) v |= 0xFF000000u;
      }
      SetPixel32(bmp.get(), x, h - 1 - row, v);
    }
  }
  if (bpp == 32) MakeOpaqueExceptKey(bmp.get());
  return bmp;
}

void DrawAlphaListImage(TCustomImageList* List, TBitmap* Bmp, int X, int Y, TSize& CellSize, bool Reflected,
                        int NumGlyphs, int Cell, TColor TintColor, int Blend, int Index) {
  if (!Bmp || Bmp->Empty() || !List || Index < 0 || !List->Handle()) return;
  const int n = std::max(1, NumGlyphs);
  const int lw = List->Width(), lh = List->Height();
  const int cw = lw / n;
  const TRect target(X, Y, X + cw, Y + lh);
  const int cell = std::min(Cell, n - 1);
  const TRect source(cell * cw, 0, cell * cw + cw, lh);
  CellSize = TSize{cw, lh};
  if (List->BkColor() != clNone) FillRect32(Bmp, target, TColor(ColorToRGB(List->BkColor())), 0xFF);
  if (auto* alpha = dynamic_cast<TsAlphaImageList*>(List)) {
    auto img = alpha->CreateBitmap32(Index, lw, lh);
    if (!img) return;
    if (alpha->IgnoreTransparency) {
      BitBlt(Bmp->Canvas()->Handle(), X, Y, lw, lh, img->Canvas()->Handle(), 0, 0, SRCCOPY);
      return;
    }
    BlendBitmapOverEx(target, source, Bmp, Reflected, Blend, TintColor, false, EmptyCI, img.get());
    return;
  }
  // Another list draws the image itself over what lies there.
  auto scratch = NewBitmap32(lw, lh);
  BitBlt(scratch->Canvas()->Handle(), 0, 0, lw, lh, Bmp->Canvas()->Handle(), X, Y, SRCCOPY);
  List->Draw(scratch->Canvas(), 0, 0, Index, true);
  BitBlt(Bmp->Canvas()->Handle(), X, Y, lw, lh, scratch->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void DrawAlphaListImageToDC(TCustomImageList* List, HDC DC, int X, int Y, bool Reflected, int NumGlyphs, int Cell,
                            TColor TintColor, int Blend, int Index) {
  if (!List || !DC) return;
  const int w = List->Width(), h = List->Height() + (Reflected ? List->Height() / 2 : 0);
  auto scratch = NewBitmap32(w, h);
  BitBlt(scratch->Canvas()->Handle(), 0, 0, w, h, DC, X, Y, SRCCOPY);
  TSize cell;
  DrawAlphaListImage(List, scratch.get(), 0, 0, cell, Reflected, NumGlyphs, Cell, TintColor, Blend, Index);
  BitBlt(DC, X, Y, w, h, scratch->Canvas()->Handle(), 0, 0, SRCCOPY);
}

void DrawImageListItem(const TacGlyphDrawInfo& Info) {
  TacGlyphDrawInfo d = Info;
  const TColor tint = d.Grayed ? d.TintColor : clNone;
  TCustomImageList* list = d.ImageList;
  if (list && d.ImageIndex >= 0 && d.ImageIndex < ImageListCount(list)) {
    if (dynamic_cast<TsAlphaImageList*>(list)) {
      const int blend = std::max(d.State == 0 ? d.Blend : 0, !d.Enabled && d.DisabledKind.Contains(dkBlended) ? 50 : 0);
      if (d.DstBmp) {
        TSize cell;
        DrawAlphaListImage(list, d.DstBmp, d.Rect.Left, d.Rect.Top, cell, d.Reflected, d.NumGlyphs,
                           int(d.Down) + d.State, tint, blend, d.ImageIndex);
      } else if (d.DstCanvas) {
        DrawAlphaListImageToDC(list, d.DstCanvas->Handle(), d.Rect.Left, d.Rect.Top, d.Reflected, d.NumGlyphs,
                               int(d.Down) + d.State, tint, blend, d.ImageIndex);
      }
    } else if (d.DstBmp) {
      TSize cell;
      DrawAlphaListImage(list, d.DstBmp, d.Rect.Left, d.Rect.Top, cell, false, 1, 0, clNone, 0, d.ImageIndex);
    } else if (d.DstCanvas) {
      list->Draw(d.DstCanvas, d.Rect.Left, d.Rect.Top, d.ImageIndex, true);
    }
    return;
  }
  if (!d.Glyph || d.Glyph->Empty()) return;
  if (d.Glyph->PixelFormat() != pf32bit) {
    if (d.DstBmp)
      DrawGlyphFromStrip(d.Glyph, d.DstBmp, d.Rect, d.Reflected, uint8_t(d.State), d.Blend, 2, d.Enabled,
                         std::max(1, d.NumGlyphs));
    return;
  }
  const int cw = d.Rect.Width();
  const int cell = std::min(d.State, std::max(1, d.NumGlyphs) - 1);
  const TRect source(cell * cw, 0, cell * cw + cw, d.Glyph->Height());
  if (d.DstBmp) {
    BlendBitmapOverEx(d.Rect, source, d.DstBmp, d.Reflected, d.State == 0 ? d.Blend : 0, tint, false, EmptyCI, d.Glyph);
  } else if (d.DstCanvas) {
    auto copy = NewBitmap32ForRect(d.Rect);
    BitBlt(copy->Canvas()->Handle(), 0, 0, cw, d.Glyph->Height(), d.Glyph->Canvas()->Handle(), source.Left, 0, SRCCOPY);
    const int e = !d.Enabled && d.DisabledKind.Contains(dkBlended) ? std::max(d.Blend, 50) : d.Blend;
    if (d.State == 0 && e != 0)
      for (int y = 0; y < copy->Height(); ++y)
        for (int x = 0; x < copy->Width(); ++x) {
          const uint32_t p = GetPixel32(copy.get(), x, y);
          SetPixel32(copy.get(), x, y, (p & 0xFFFFFF) | ((p >> 24) * uint32_t(e) / 100) << 24);
        }
    if ((!d.Enabled && d.DisabledKind.Contains(dkGrayed)) || (d.State == 0 && d.Grayed)) GrayscaleBitmap(copy.get());
    DrawBitmapToCanvas(d.DstCanvas, copy.get(), d.Rect, d.Reflected);
  }
}

// ---- Streaming ----

void RegisterAlphaImageListClasses() {
  using I = TsImgListItem;
  using L = TsAlphaImageList;
  RegisterImgListClasses();
  RegisterPropertyClass<TsImgListItem>(
      "TsImgListItem",
      {EnumProp<I, TsImageFormat>("ImageFormat", {"ifPNG", "ifICO", "ifBMP32"}, [](I* i) { return i->FImageFormat; },
                                  [](I* i, TsImageFormat v) { i->FImageFormat = v; }),
       StrProp<I>("ImageName", [](I* i) { return i->FImageName; }, [](I* i, const String& v) { i->FImageName = v; }),
       EnumProp<I, TPixelFormat>(
           "PixelFormat", {"pfDevice", "pf1bit", "pf4bit", "pf8bit", "pf15bit", "pf16bit", "pf24bit", "pf32bit", "pfCustom"},
           [](I* i) { return i->FPixelFormat; }, [](I* i, TPixelFormat v) { i->FPixelFormat = v; }),
       StrProp<I>("Text", [](I* i) { return i->FText; }, [](I* i, const String& v) { i->FText = v; }),
       // The file's bytes as they were loaded, always stored.
       DefinedProp<I>(
           "ImgData",
           [](I* i, const TDefValue& v) {
             i->ImgData->Clear();
             if (!v.Binary.empty()) i->ImgData->WriteBuffer(v.Binary.data(), int64_t(v.Binary.size()));
             i->CacheBmp.reset();
             if (auto* items = dynamic_cast<TsImgListItems*>(i->Collection())) items->FOwner->StdListIsGenerated = false;
           },
           [](I* i, TDefValue& v) {
             v.Kind = TDefValue::vBinary;
             v.Binary = i->ImgData->Bytes();
             return true;
           })});
  RegisterPropertyClass<TsAlphaImageList, TCustomImageList>(
      "TsAlphaImageList",
      {ObjectProp<L>("Items", pkCollection, [](L* l) { return l->Items(); }),
       BoolProp<L>("UseCache", [](L* l) { return l->UseCache(); }, [](L* l, bool v) { l->SetUseCache(v); })});
}
