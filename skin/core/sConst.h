#pragma once
// Library-wide values the skin units prepare once at program start: the
// system's version class, a few system metrics and the captions of the
// library's own dialogs and menus. There are no system string tables to read
// captions from, so every caption is the program's own text.

#include <array>

#include "platform/rtl/Classes.h"

// The major system version class; every current system counts as 8.
inline int WindowsVersion = 0;
inline bool IsNT = false;

// System metrics read at start-up (the form provider reads them again after a metrics change).
struct TacStartupMetrics {
  int HScrollWidth = 0;  // SM_CXHSCROLL
  int FrameWidth = 0;    // SM_CXFRAME
  int DlgFrameWidth = 0;  // SM_CXDLGFRAME
  int CaptionHeight = 0;  // SM_CYCAPTION
  int SmallCaptionHeight = 0;  // SM_CYSMCAPTION
};
inline TacStartupMetrics StartupMetrics;

enum TacCaption {
  acsOK, acsCancel, acsHelp, acsClose, acsAddToCustomColors, acsDefineColors, acsAdditionalColors, acsDecimal,
  acsRoot, acsCreate, acsRestore, acsSize, acsMove, acsMaximize, acsMinimize, acsCalculator, acsFileOpen,
  acsSelectDir, acsRed, acsGreen, acsBlue, acsColor, acsHex, acsFont, acsFontColor, acsInvalidDate,
  acsAvailStyles, acsInternal, acsDirWithSkins, acsSelectSkin, acsSkinPreview, acsFrameAdapterError
};
inline constexpr int kCaptionCount = acsFrameAdapterError + 1;
// Empty until the constants unit starts, and again after it is done.
inline std::array<String, kCaptionCount> acCaptions;
// The program's own text of each caption.
extern const char* const acOwnCaptions[kCaptionCount];

// The constants unit: version, metrics and captions (once; a second call does nothing).
void InitSkinConstants();
void DoneSkinConstants();
