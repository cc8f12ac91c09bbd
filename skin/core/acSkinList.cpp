#include "skin/core/acSkinList.h"

#include <algorithm>

#include "platform/os/Files.h"
#include "platform/rtl/SysUtils.h"
#include "skin/core/acSkinPack.h"

TacSkinListController::TacSkinListController(const TacSkinListOwner* AOwner)
    : ImgList(std::make_unique<TsAlphaImageList>()), SkinManager(AOwner) {
  ImgList->IgnoreTransparency = true;
  ImgList->SetAllowScale(false);
  ImgList->SetWidth(140);
  ImgList->SetHeight(100);
}

void TacSkinListController::AddControl(TControl* Ctrl) {
  if (CtrlIndex(Ctrl) >= 0) return;
  const bool first = Controls.empty() && SkinList.empty();
  Controls.push_back(Ctrl);
  if (first) UpdateData(true);
}

int TacSkinListController::CtrlIndex(TControl* Ctrl) const {
  const auto it = std::find(Controls.begin(), Controls.end(), Ctrl);
  return it == Controls.end() ? -1 : int(it - Controls.begin());
}

void TacSkinListController::DelControl(TControl* Ctrl) {
  const int i = CtrlIndex(Ctrl);
  if (i >= 0) Controls[size_t(i)] = nullptr;
}

void TacSkinListController::SendListChanged() {
  for (TControl* c : Controls)
    if (c) c->Perform(WM_SKINCOMMAND, MAKEWPARAM(0, SKC_SKINLISTCHANGED), 0);
}

void TacSkinListController::SendSkinChanged() {
  const WPARAM w = MAKEWPARAM(0, SKC_LISTSKINCHANGED);
  for (TControl* c : Controls) {
    if (!c) continue;
    auto* win = dynamic_cast<TWinControl*>(c);
    if (win && win->HandleAllocated())
      PostMessageW(win->Handle(), WM_SKINCOMMAND, w, 0);
    else
      c->Perform(WM_SKINCOMMAND, w, 0);
  }
}

void TacSkinListController::Add(const String& Name, TacSkinMode Mode, TMemoryStream* Preview) {
  TacSkinListData d;
  d.skName = Name;
  d.skSkinMode = Mode;
  if (Preview && ImgList->TryLoadFromPngStream(*Preview)) d.skImageIndex = ImgList->Count() - 1;
  SkinList.push_back(std::move(d));
}

void TacSkinListController::UpdateData(bool) {
  if (!SkinManager || SkinManager->Busy) return;
  const TacSkinListController* shared = SkinManager->DefaultList;
  if (shared && shared != this && shared->SkinManager &&
      shared->SkinManager->FullSkinDirectory == SkinManager->FullSkinDirectory) {
    SkinList = shared->SkinList;
    ImgList->CopyImages(shared->ImgList.get());
    SendListChanged();
    return;
  }
  SkinList.clear();
  ImgList->Clear();
  if (SkinManager->SkinsFilter.Contains(sfiInternal) && SkinManager->InternalSkins)
    for (const TsStoredSkin& skin : SkinManager->InternalSkins->Items) {
      TMemoryStream preview;
      const bool found = skin.PackedData && ExtractPreview(preview, *skin.PackedData);
      Add(skin.Name, smInternal, found ? &preview : nullptr);
    }
  const String folder = IncludeTrailingPathDelimiter(SkinManager->FullSkinDirectory);
  if (SkinManager->SkinsFilter.Contains(sfiExternal) && !SkinManager->FullSkinDirectory.empty() &&
      DirectoryExists(folder)) {
    TSearchRec rec;
    for (int r = FindFirst(folder + "*", faAnyFile, rec); r == 0; r = FindNext(rec)) {
      // The extension is compared exactly: "Skin.ASZ" is not listed.
      if ((rec.Attr & faDirectory) || rec.Name.empty() || rec.Name[0] == '.' || ExtractFileExt(rec.Name) != ".asz")
        continue;
      String name = rec.Name;
      const size_t at = UpperCase(name).find(".ASZ");
      name.erase(at, 4);
      TMemoryStream preview;
      const bool found = ExtractPreviewFromFile(preview, folder + rec.Name);
      Add(name, smExtPacked, found ? &preview : nullptr);
    }
    FindClose(rec);
  }
  SendListChanged();
}
