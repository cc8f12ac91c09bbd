#pragma once
// Which form of a file name the FFmpeg libraries get, and back.
//
// Names are UTF-8 everywhere on this system, which is also what the libraries
// take, so every name goes as it is. Names of the form "unicode:utf8:<name>"
// (which presets or earlier output may still carry) are recognised and turned
// back into <name> for display. No "unicode" URL protocol is registered: the
// libraries no longer let a program add one, and none is needed.

#include "platform/rtl/SysUtils.h"

// The image codec id (non-zero) that the image-sequence format assigns to the
// name's extension (compared ignoring case), or 0 for any other name.
int IsImageFileName(std::string_view Name);

// True when the name would not survive the libraries' 8-bit form; never the
// case here, where that form is UTF-8 itself.
bool NeedsUnicodeName(std::string_view Name);
// At least 14 bytes, starting with "unicode:utf8:".
bool IsUnicodeUtf8Name(std::string_view Name);
// "unicode:utf8:" + Name.
String MakeUnicodeUtf8Name(std::string_view Name);
// Name without everything up to its second ':' ("unicode:" and "utf8:").
String DecodeUnicodeUtf8Name(std::string_view Name);

// The name as the libraries take it.
String ToLibraryFileName(std::string_view Name);
// A library's name as the user sees it: image names that carry the
// "unicode:utf8:" prefix are decoded, every other name is shown as it is.
String FromLibraryFileName(std::string_view Name);

// Whether the "unicode" protocol is registered: always false (see above).
bool UnicodeProtocolRegistered();
