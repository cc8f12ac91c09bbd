#pragma once
// The run-time loader of the FFmpeg libraries.
//
// One loader serves the process (FFLoader()). Components load a library set
// before their first call through media/FFApi.h:
//
//   FFLoader().SetLibraryPath(folder);            // empty: system search path
//   if (!FFLoader().Load(EncoderLibraries)) report(FFLoader().LastErrMsg());
//   FFLoader().Load(libMFX);                      // the encoder's QSV extra
//
// Loading and unloading happen on the main thread, never while a conversion
// runs; the loader has no lock of its own.

#include <cstdint>

#include "media/SmallSet.h"
#include "platform/os/DynLib.h"
#include "platform/rtl/SysUtils.h"

enum TLibrary {
  avCodec,
  avDevice,
  avFilter,
  avFormat,
  avUtil,
  swResample,
  swScale,
  myUtil,  // the C run-time library of the process
  libSoundTouch,
  libMFX,
};
constexpr int LibraryCount = 10;

// A set of libraries in 16 bits (bit n = library n).
using TLibraries = TSmallSet<TLibrary, uint16_t>;

// Used only when the process ends.
constexpr TLibraries AllLibraries = TLibraries::FromBits(0x3FF);
constexpr TLibraries DecoderLibraries = TLibraries::FromBits(0xFD);  // all FFmpeg but avdevice, plus the C run-time
constexpr TLibraries EncoderLibraries = TLibraries::FromBits(0xFF);  // all FFmpeg, plus the C run-time

// The process-wide state of one library.
struct TLibraryStatus {
  TLibrary Lib;
  String Name;              // a file name set by the caller in place of the default
  HMODULE Handle = nullptr; // nullptr = not loaded
  bool Fixuped = false;     // every required entry point is bound
};

class TFFLoader {
 public:
  TFFLoader() = default;
  TFFLoader(const TFFLoader&) = delete;
  TFFLoader& operator=(const TFFLoader&) = delete;

  // The file to load: the name set by SetLibraryName, or the default
  // ("libavcodec.so.59" ...). A name with a folder part ignores LibraryPath.
  String GetLibraryName(TLibrary Index) const;
  // Unloads the library first.
  void SetLibraryName(TLibrary Index, const String& Value);

  // Loads and binds. False with LastErrMsg set on failure: "Load library %s
  // error(#%d): %s", "Load function %s@%s error: %s", or a version mismatch.
  // A library already bound only repeats the after-load steps (log callback).
  bool Load(TLibrary ALibrary);
  // Loads the members in dependency order. On failure unloads exactly the
  // members this call loaded (a library another component uses stays).
  bool Load(TLibraries ALibraries);

  bool Loaded(TLibrary ALibrary) const;
  bool Loaded(TLibraries ALibraries) const;  // every member; the set must not be empty

  // Raises Exception "Library %s not loaded." (base name) for the first member,
  // in ordinal order, that is not loaded.
  void CheckLibAV(TLibraries ALibraries) const;

  // Clears the library's entry points and frees it. Unloading a set goes in
  // reverse dependency order. Only when nothing of it is in use.
  void Unload(TLibrary ALibrary);
  void Unload(TLibraries ALibraries);

  const String& LastErrMsg() const;
  const String& LibraryPath() const;
  void SetLibraryPath(const String& Value);

  // Whether loading avutil installs the logger's library callback.
  bool InstallLogger() const { return FInstallLogger; }
  void SetInstallLogger(bool Value) { FInstallLogger = Value; }

  // The process-wide status of a library (for diagnostics and tests).
  const TLibraryStatus& Status(TLibrary ALibrary) const;
  // Entry points of the library bound now, and in its list.
  int BoundEntryPoints(TLibrary ALibrary) const;
  int EntryPointCount(TLibrary ALibrary) const;

 private:
  bool FInstallLogger = true;
};

// The one loader of the process. It is never destroyed: libraries stay mapped
// until the process ends, because codec libraries may still own threads.
TFFLoader& FFLoader();

// The base name of a library ("avformat"), as CheckLibAV reports it.
String LibraryBaseName(TLibrary ALibrary);
// The FFmpeg major version the engine is compiled against; -1 for the others.
int LibraryMajorVersion(TLibrary ALibrary);
