#pragma once
// The alpha image list, as far as the skin list's preview pictures need it:
// images kept as the bytes of the files they came from, with their decoded
// 32-bit bitmaps. Generating the system list, drawing, scaling and streaming
// come with the forms that show image lists.

#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Graphics.h"

enum TsImageFormat { ifPNG, ifICO, ifBMP32 };

struct TsImgListItem {
  TsImageFormat ImageFormat = ifPNG;
  int OrigWidth = 0, OrigHeight = 0;  // of the decoded image
  std::unique_ptr<TMemoryStream> ImgData = std::make_unique<TMemoryStream>();  // the file's bytes
  std::unique_ptr<TBitmap> CacheBmp;  // the decoded image
};

class TsAlphaImageList {
 public:
  int Width = 16, Height = 16;
  // Images are copied as they are instead of blended.
  bool IgnoreTransparency = false;
  bool AllowScale = true;
  std::vector<TsImgListItem> Items;

  int Count() const { return int(Items.size()); }
  void Clear() { Items.clear(); }
  // The PNG picture from the stream's position becomes a new image; false (and
  // nothing added) when the bytes are no PNG picture.
  bool TryLoadFromPngStream(TStream& Stream);
  // A new image with a copy of Item's file bytes and image.
  void AddCopy(const TsImgListItem& Item);
};
