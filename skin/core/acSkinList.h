#pragma once
// The skins a skin-selection control offers: the program's stored skins and
// the archives of the skin folder, each with its preview picture, and the
// controls told when the list or the skin changes.

#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "skin/core/acAlphaImageList.h"
#include "skin/core/sMessages.h"
#include "skin/core/sSkinLoader.h"


enum TacSkinMode { smInternal, smExtPacked, smExtUnpacked };
struct TacSkinListData {
  String skName;
  TacSkinMode skSkinMode = smInternal;
  int skImageIndex = -1;  // preview picture in the image list; -1 none
};

enum TacSkinsFilterItem { sfiInternal, sfiExternal };
using TacSkinsFilter = TSet<TacSkinsFilterItem>;

class TacSkinListController;

// What the list asks of its skin manager, which fills and owns this.
struct TacSkinListOwner {
  String FullSkinDirectory;
  TacSkinsFilter SkinsFilter{sfiInternal, sfiExternal};
  const TsStoredSkins* InternalSkins = nullptr;  // borrowed
  // Loading a skin or being destroyed: the list is not rebuilt.
  bool Busy = false;
  // The default manager's list when that is another manager's (borrowed); a list
  // of the same skin folder is copied from it instead of reading the folder again.
  const TacSkinListController* DefaultList = nullptr;
};

class TacSkinListController {
 public:
  // The preview list holds 140 x 100 pictures, copied as they are.
  explicit TacSkinListController(const TacSkinListOwner* AOwner);

  // Registers a skin-selection control; the first one, with nothing listed yet, builds the list.
  void AddControl(TControl* Ctrl);
  int CtrlIndex(TControl* Ctrl) const;
  // Its slot is emptied; the others keep their indexes.
  void DelControl(TControl* Ctrl);
  // SKC_SKINLISTCHANGED to every control.
  void SendListChanged();
  // SKC_LISTSKINCHANGED, posted to windowed controls with a handle.
  void SendSkinChanged();
  // Rebuilds SkinList and the pictures: the stored skins, then the folder's
  // ".asz" files (the extension exactly so, no hidden files); then the controls are told.
  void UpdateData(bool UpdateNow = true);

  std::unique_ptr<TsAlphaImageList> ImgList;
  const TacSkinListOwner* SkinManager;  // borrowed
  std::vector<TControl*> Controls;
  std::vector<TacSkinListData> SkinList;

 private:
  void Add(const String& Name, TacSkinMode Mode, TMemoryStream* Preview);
};
