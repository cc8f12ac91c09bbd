#include "skin/core/sConst.h"

#include "platform/win/Windows.h"

const char* const acOwnCaptions[kCaptionCount] = {
    "OK", "Cancel", "&Help", "Close", "Add to custom colors set", "Define colors", "Additional colors :",
    "Decimal - ", "Root:", "Create", "Restore", "Size", "Move", "Maximize", "Minimize", "Calculator",
    "File open", "Select directory", "Red :", "Green :", "Blue :", "Color", "Hex - ", "Font", "Font color:",
    "Invalid date", "Available styles", "(internal)", "Directory with skins:", "Select skin", "Skin preview",
    "TsFrameAdapter adapter must be placed on the handled frame"};

namespace {
int gConstUses = 0;
}

void InitSkinConstants() {
  if (gConstUses++ > 0) return;
  WindowsVersion = 8;
  IsNT = true;
  StartupMetrics.HScrollWidth = GetSystemMetrics(SM_CXHSCROLL);
  StartupMetrics.FrameWidth = GetSystemMetrics(SM_CXFRAME);
  StartupMetrics.DlgFrameWidth = GetSystemMetrics(SM_CXDLGFRAME);
  StartupMetrics.CaptionHeight = GetSystemMetrics(SM_CYCAPTION);
  StartupMetrics.SmallCaptionHeight = GetSystemMetrics(SM_CYSMCAPTION);
  for (int i = 0; i < kCaptionCount; ++i) acCaptions[size_t(i)] = acOwnCaptions[i];
}

void DoneSkinConstants() {
  if (gConstUses == 0 || --gConstUses > 0) return;
  for (String& c : acCaptions) c.clear();
}
