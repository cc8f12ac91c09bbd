#include "skin/core/acStartup.h"

#include <algorithm>

#include "platform/rtl/SysUtils.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Windows.h"
#include "skin/core/AlphaBitmaps.h"
#include "skin/core/AlphaBitmapsPng.h"
#include "skin/core/acgpUtils.h"
#include "skin/core/ownskin/OwnSkin.h"
#include "skin/core/sConst.h"

namespace {

int gUses = 0;
std::vector<String> gStarted;
std::vector<String> gNeverSkin;

std::unique_ptr<TBitmap> LoadShadowTemplate(bool Active) {
  const OwnSkinBytes b = OwnShadowTemplate(Active);
  TMemoryStream s;
  s.WriteBuffer(b.Data, int64_t(b.Size));
  s.SetPosition(0);
  auto bmp = std::make_unique<TBitmap>();
  LoadBitmapFromPngStream(bmp.get(), s);
  ClearWhitePixels32(bmp.get());
  return bmp;
}

void ShowVersionIfAsked(const std::vector<String>& Params) {
  for (size_t i = 1; i < Params.size(); ++i)
    if (LowerCase(Params[i]) == "/acver") {
      MessageBoxW(nullptr, kSkinLibraryVersion, Application ? Application->Title().c_str() : "", MB_OK);
      return;
    }
}

}  // namespace

const std::vector<String>& SkinUnitsStarted() { return gStarted; }
const std::vector<String>& NeverSkinClasses() { return gNeverSkin; }
bool IsNeverSkinClass(const String& ClassName) {
  return std::binary_search(gNeverSkin.begin(), gNeverSkin.end(), ClassName);
}

void InitSkinUnits(const std::vector<String>& Params) {
  if (gUses++ > 0) return;
  InitSkinConstants();
  gStarted.push_back("sConst");
  StartGdiPlus(true);
  gStarted.push_back("acgpUtils");
  SystemBindings.GradientFill = reinterpret_cast<void*>(&GradientFill);
  gStarted.push_back("sGradient");
  gStarted.push_back("acGlow");
  gStarted.push_back("acAlphaImageList");
  gNeverSkin = {"TApplication", "TfcPopup", "TcxComboBoxPopupWindow", "TcxCustomPopupWindow", "TdxPopupEditForm",
                "TcxDateEditPopupWindow", "TcxGridFilterPopup"};
  std::sort(gNeverSkin.begin(), gNeverSkin.end());
  gStarted.push_back("acNeverSkin");
  // No theme library here: SetWindowTheme stays unbound.
  gStarted.push_back("sVclUtils");
  // No shell icons here: the program icons stay none.
  gStarted.push_back("sStyleSimply");
  PopupShdiTemplate = LoadShadowTemplate(false);
  gStarted.push_back("acPopupController");
  ShdaTemplate = LoadShadowTemplate(true);
  ShdiTemplate = LoadShadowTemplate(false);
  ShowVersionIfAsked(Params);
  gStarted.push_back("sSkinManager");
  NoGlowOnWow64 = false;
  gStarted.push_back("acntUtils");
  SystemBindings.UpdateLayeredWindow = reinterpret_cast<void*>(&UpdateLayeredWindow);
  SystemBindings.SetLayeredWindowAttributes = reinterpret_cast<void*>(&SetLayeredWindowAttributes);
  gStarted.push_back("sGraphUtils");
}

void DoneSkinUnits() {
  if (gUses == 0 || --gUses > 0) return;
  SystemBindings = TacSystemBindings();
  ShdaTemplate.reset();
  ShdiTemplate.reset();
  PopupShdiTemplate.reset();
  gNeverSkin.clear();
  StopGdiPlus(true);
  DoneSkinConstants();
  gStarted.clear();
}
