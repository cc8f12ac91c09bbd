#pragma once
// The program's own skin, drawn and packed at build time (MakeOwnSkin): the
// skin archive and the active and inactive form shadow templates (PNG).

#include <cstddef>

struct OwnSkinBytes {
  const unsigned char* Data;
  unsigned long Size;
};

// The packed archive of the skin named "Tarnwick".
OwnSkinBytes OwnSkinArchive();
OwnSkinBytes OwnShadowTemplate(bool Active);

// The name the program knows its own skin by.
inline constexpr char kOwnSkinName[] = "Tarnwick";
