#include "skin/core/acAlphaImageList.h"

#include "skin/core/AlphaBitmaps.h"
#include "skin/core/AlphaBitmapsPng.h"

bool TsAlphaImageList::TryLoadFromPngStream(TStream& Stream) {
  const int64_t size = Stream.Size() - Stream.Position();
  if (size <= 0) return false;
  TsImgListItem item;
  item.ImgData->CopyFrom(Stream, size);
  item.ImgData->SetPosition(0);
  item.CacheBmp = std::make_unique<TBitmap>();
  try {
    LoadBitmapFromPngStream(item.CacheBmp.get(), *item.ImgData);
  } catch (const Exception&) {
    return false;
  }
  if (item.CacheBmp->Empty()) return false;
  item.OrigWidth = item.CacheBmp->Width();
  item.OrigHeight = item.CacheBmp->Height();
  Items.push_back(std::move(item));
  return true;
}

void TsAlphaImageList::AddCopy(const TsImgListItem& Item) {
  TsImgListItem copy;
  copy.ImageFormat = Item.ImageFormat;
  copy.OrigWidth = Item.OrigWidth;
  copy.OrigHeight = Item.OrigHeight;
  if (Item.ImgData->Size() > 0) copy.ImgData->CopyFrom(*Item.ImgData, 0);
  if (Item.CacheBmp) {
    copy.CacheBmp = std::make_unique<TBitmap>();
    copy.CacheBmp->Assign(Item.CacheBmp.get());
  }
  Items.push_back(std::move(copy));
}
