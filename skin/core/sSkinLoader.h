#pragma once
// Loading a skin (a folder with its "Options.dat" and images, a packed
// archive, or a skin stored with the program) into TacSkinRecords.
//
// Every load fills a fresh record set; the caller's set is replaced only when
// the whole load succeeded, so a failed load leaves the previous skin whole.
// File names inside a skin are compared in capitals: in a skin folder the
// lookup ignores case ("FRAME.BMP" finds "frame.bmp"), and "/" and "\"
// both separate folders.

#include <memory>
#include <vector>

#include "platform/rtl/Classes.h"
#include "skin/core/sSkinRecords.h"

// True from the start of a load until its end.
inline bool SkinLoadingInProgress = false;

// A skin kept inside the program: its archive bytes and what the skin says of itself.
struct TsStoredSkin {
  TsStoredSkin() = default;
  TsStoredSkin(String AName, String AOrigName, std::shared_ptr<TMemoryStream> Data)
      : Name(std::move(AName)), OrigName(std::move(AOrigName)), PackedData(std::move(Data)) {}
  String Name;
  String OrigName;
  std::shared_ptr<TMemoryStream> PackedData = std::make_shared<TMemoryStream>();
  String Author;
  String Description;
  int Shadow1Blur = -1;
  int Shadow1Offset = 0;
  int Shadow1Transparency = 0;
  TColor BorderColor = 0xFF00FF;
  TColor Shadow1Color = 0;
  double Version = 0;
  std::shared_ptr<TBitmap> MasterBitmap = std::make_shared<TBitmap>();
};
struct TsStoredSkins {
  std::vector<TsStoredSkin> Items;
  // The first item whose Name equals SkinName exactly; -1.
  int IndexOf(const String& SkinName) const;
};

// What a load needs from the skin manager.
struct TacSkinSource {
  String SkinDirectory;  // the full skin folder, with or without a trailing delimiter
  String SkinName;
  int ScaleStep = 0;  // 0..3
  int HueOffset = 0;
  int Saturation = 0;
  int Brightness = 0;             // -100..100
  std::vector<String> CommonSections;  // the application's own sections and images (ini lines)
  const TsStoredSkins* InternalSkins = nullptr;
  const TStrings* PreviewText = nullptr;  // an options text used in place of the folder's file
  bool ExtendedBorders = false;
};

// Folder, preview text or stored skin (in that order of preference). False
// when there is neither an options file nor a stored skin (the manager then
// switches itself off); Target is untouched. Errors raise; Target is untouched.
// UsedName receives the stored skin's name when the first one stood in.
bool ReloadSkin(const TacSkinSource& Source, std::unique_ptr<TacSkinRecords>& Target, String* UsedName = nullptr);
// The archive <SkinDirectory>/<SkinName>.asz. An archive without options raises
// "Internal format error in the "<name>" skin. Please, update this skin to latest version.";
// Target is untouched on every failure.
void ReloadPackedSkin(const TacSkinSource& Source, std::unique_ptr<TacSkinRecords>& Target);

// The archive of stored skin Index written to "<DestDir>/<Name> extracted.asz",
// the folder made when it is missing; an error box when it cannot be made.
void ExtractByIndex(const TsStoredSkins& Skins, int Index, const String& DestDir);
// Every stored skin named NameOfSkin extracted into the existing folder DestDir
// (a later one of the same name overwrites); error boxes when the folder or the skin does not exist.
void ExtractInternalSkin(const TsStoredSkins& Skins, const String& NameOfSkin, const String& DestDir);

// An options text and its images (folder SkinPath, or Pack when given) loaded
// into Records. The loader's core, also for the fuzz target; raises on errors.
class TacSkinConvertor;
void LoadSkinFromOptions(const TStrings& Options, const String& SkinPath, TacSkinConvertor* Pack,
                         const TacSkinSource& Source, TacSkinRecords& Records);

// The file in Folder (with a trailing delimiter) whose path matches Name in
// capitals, "/" or "\" separating folders; "" when there is none.
String FindSkinFile(const String& Folder, const String& Name);
