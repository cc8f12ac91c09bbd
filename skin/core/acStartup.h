#pragma once
// The start-up of the skin units: library-wide state prepared once when the
// program starts, before any form exists, in the order the units start
// (constants, smooth drawing, gradients, glow and image lists, the never-skin
// list, control utilities, style, popup controller, skin manager, utilities,
// graphics utilities). Optional system functions the layer does not offer
// stay unbound and their features off. Clean-up runs in reverse.

#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/Controls.h"

// Command-line parameters are passed in (the first is the program); "/acver"
// in any letter case shows the library's version box. A second call does nothing.
void InitSkinUnits(const std::vector<String>& Params);
void DoneSkinUnits();
// The units started, in order (empty after clean-up).
const std::vector<String>& SkinUnitsStarted();

// The library's version text shown for "/acver".
inline constexpr char kSkinLibraryVersion[] = "Glazory v12.18";

// Form shadow templates from the program's own skin, white made transparent.
inline std::unique_ptr<TBitmap> ShdaTemplate, ShdiTemplate;
// The popup controller's own copy of the inactive template.
inline std::unique_ptr<TBitmap> PopupShdiTemplate;
// Window classes the window-creation hook never skins (sorted).
const std::vector<String>& NeverSkinClasses();
bool IsNeverSkinClass(const String& ClassName);
// The program's large and small icons: none (the title icon takes the form's).
inline HICON ProgramIconLarge = nullptr, ProgramIconSmall = nullptr;
inline bool NoGlowOnWow64 = false;

// Late-bound system functions: the layer's own where it has them, else nullptr.
struct TacSystemBindings {
  void* GradientFill = nullptr;
  void* SetWindowTheme = nullptr;
  void* SetProcessDPIAware = nullptr;
  void* IsDebuggerPresent = nullptr;
  void* IsWow64Process = nullptr;
  void* SHGetFileInfoW = nullptr;
  void* SetLayout = nullptr;
  void* GetLayout = nullptr;
  void* UpdateLayeredWindow = nullptr;
  void* SetLayeredWindowAttributes = nullptr;
};
inline TacSystemBindings SystemBindings;
