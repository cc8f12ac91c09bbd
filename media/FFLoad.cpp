#include "media/FFLoad.h"

#include <dlfcn.h>

#include <cassert>
#include <iterator>

#include "media/FFApi.h"
#include "media/FFLog.h"
#include "media/MyUtils.h"
#include "platform/os/Files.h"

namespace {

// One row per library, in ordinal order.
struct TLibraryRow {
  TLibrary Lib;
  const char* BaseName;
  bool System;        // loaded from the system, never from LibraryPath
  int Version;        // the major version compiled against; -1 = none
  const char* FileName;  // the default file name when it does not follow "lib" + base + ".so." + major
  const TEntryPointTable* EntryPoints;
  unsigned (*LoadedVersion)();  // the bound library's own version, nullptr = unchecked
  void (*AfterBind)();
  void (*BeforeClear)();  // only while the library is bound
};

const TLibraryRow kLibraries[LibraryCount] = {
    {avCodec, "avcodec", false, LIBAVCODEC_VERSION_MAJOR, nullptr, &AvCodecEntryPoints,
     [] { return ff::avcodec_version(); }, nullptr, nullptr},
    {avDevice, "avdevice", false, LIBAVDEVICE_VERSION_MAJOR, nullptr, &AvDeviceEntryPoints,
     [] { return ff::avdevice_version(); }, [] { ff::avdevice_register_all(); }, nullptr},
    {avFilter, "avfilter", false, LIBAVFILTER_VERSION_MAJOR, nullptr, &AvFilterEntryPoints,
     [] { return ff::avfilter_version(); }, nullptr, nullptr},
    {avFormat, "avformat", false, LIBAVFORMAT_VERSION_MAJOR, nullptr, &AvFormatEntryPoints,
     [] { return ff::avformat_version(); }, [] { ff::avformat_network_init(); },
     [] { ff::avformat_network_deinit(); }},
    {avUtil, "avutil", false, LIBAVUTIL_VERSION_MAJOR, nullptr, &AvUtilEntryPoints,
     [] { return ff::avutil_version(); }, nullptr, nullptr},
    {swResample, "swresample", false, LIBSWRESAMPLE_VERSION_MAJOR, nullptr, &SwResampleEntryPoints,
     [] { return ff::swresample_version(); }, nullptr, nullptr},
    {swScale, "swscale", false, LIBSWSCALE_VERSION_MAJOR, nullptr, &SwScaleEntryPoints,
     [] { return ff::swscale_version(); }, nullptr, nullptr},
    {myUtil, "libc", true, -1, "libc.so.6", &LibcEntryPoints, nullptr, nullptr, nullptr},
    {libSoundTouch, "SoundTouch", false, -1, "libSoundTouchDll.so.1", &SoundTouchEntryPoints, nullptr, nullptr,
     nullptr},
    {libMFX, "libmfx", false, -1, "libmfx.so.1", &LibMfxEntryPoints, nullptr, nullptr, nullptr},
};

// Dependency order: a library's FFmpeg dependencies are loaded before it, so
// that ld.so resolves them to the copies already loaded (from the same folder)
// rather than pulling a second copy from the system.
const TLibrary kLoadOrder[LibraryCount] = {myUtil, avUtil,   swResample, swScale,       avCodec,
                                           avFormat, avFilter, avDevice, libSoundTouch, libMFX};

// Process-wide state; never destroyed (see FFLoader()).
struct TLoaderUnit {
  TLibraryStatus Status[LibraryCount];
  String LastErrMsg;
  String LibraryPath;
  TLoaderUnit() {
    for (int i = 0; i < LibraryCount; ++i) Status[i].Lib = TLibrary(i);
  }
};

TLoaderUnit& Unit() {
  static TLoaderUnit* unit = new TLoaderUnit;
  return *unit;
}

// Keeps a bound library mapped until the process ends, whatever FreeLibrary
// does later: codec libraries may still run code in threads of their own
// (and the log callback stays installed in avutil) after the engine let go.
void KeepMapped(HMODULE handle) {
  const String path = GetModuleFileName(handle);
  if (void* pinned = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE)) dlclose(pinned);
}

}  // namespace

TFFLoader& FFLoader() {
  static TFFLoader* loader = new TFFLoader;
  return *loader;
}

String LibraryBaseName(TLibrary ALibrary) { return kLibraries[ALibrary].BaseName; }

int LibraryMajorVersion(TLibrary ALibrary) { return kLibraries[ALibrary].Version; }

String TFFLoader::GetLibraryName(TLibrary Index) const {
  const TLibraryStatus& status = Unit().Status[Index];
  if (!status.Name.empty()) return status.Name;
  const TLibraryRow& row = kLibraries[Index];
  if (row.FileName) return row.FileName;
  return Format("lib%s.so.%d", {row.BaseName, row.Version});
}

void TFFLoader::SetLibraryName(TLibrary Index, const String& Value) {
  Unload(Index);
  Unit().Status[Index].Name = Value;
}

bool TFFLoader::Load(TLibrary ALibrary) {
  TLoaderUnit& unit = Unit();
  TLibraryStatus& status = unit.Status[ALibrary];
  const TLibraryRow& row = kLibraries[ALibrary];
  const String libraryName = GetLibraryName(ALibrary);

  if (!status.Handle) {
    String folder = ExtractFilePath(libraryName);
    const String fileName = ExtractFileName(libraryName);
    if (folder.empty() && !unit.LibraryPath.empty() && !row.System)
      folder = IncludeTrailingPathDelimiter(unit.LibraryPath);
    int errorCode = 0;
    HMODULE handle = LoadLibraryFromPath(folder, fileName, errorCode);
    if (!handle) {
      // A file absent from the folder was looked for by name alone.
      const String shown = !folder.empty() && FileExists(folder + fileName) ? folder + fileName : fileName;
      unit.LastErrMsg = Format("Load library %s error(#%d): %s", {shown, errorCode, GetLastLibraryError()});
      return false;
    }
    status.Handle = handle;
  }

  if (!status.Fixuped) {
    try {
      row.EntryPoints->Bind(libraryName, status.Handle);
      // Structure layouts are compiled in: another major cannot be used.
      if (row.LoadedVersion) {
        const int major = int(row.LoadedVersion() >> 16);
        if (major != row.Version)
          throw Exception(Format("Load library %s error: major version %d, expected %d",
                                 {libraryName, major, row.Version}));
      }
      if (row.AfterBind) row.AfterBind();
      KeepMapped(status.Handle);
      status.Fixuped = true;
    } catch (const Exception& e) {
      unit.LastErrMsg = e.Message;
    }
  }
  if (!status.Fixuped) {
    Unload(ALibrary);
    return false;
  }

  if (ALibrary == avUtil && FInstallLogger) GlobalLogger()->InstallAVLogCallback();
  return true;
}

bool TFFLoader::Load(TLibraries ALibraries) {
  assert(!ALibraries.Empty());
  TLibrary loadedNow[LibraryCount];
  int loadedCount = 0;
  for (TLibrary lib : kLoadOrder) {
    if (!ALibraries.Contains(lib)) continue;
    const bool wasLoaded = Unit().Status[lib].Handle != nullptr;
    if (!Load(lib)) {
      // Only what this call loaded goes: another component may be using the rest.
      while (loadedCount > 0) Unload(loadedNow[--loadedCount]);
      return false;
    }
    if (!wasLoaded) loadedNow[loadedCount++] = lib;
  }
  return true;
}

bool TFFLoader::Loaded(TLibrary ALibrary) const {
  const TLibraryStatus& status = Unit().Status[ALibrary];
  return status.Handle && status.Fixuped;
}

bool TFFLoader::Loaded(TLibraries ALibraries) const {
  assert(!ALibraries.Empty());
  for (int i = 0; i < LibraryCount; ++i)
    if (ALibraries.Contains(TLibrary(i)) && !Loaded(TLibrary(i))) return false;
  return true;
}

void TFFLoader::CheckLibAV(TLibraries ALibraries) const {
  for (int i = 0; i < LibraryCount; ++i)
    if (ALibraries.Contains(TLibrary(i)) && !Loaded(TLibrary(i)))
      throw Exception(Format("Library %s not loaded.", {kLibraries[i].BaseName}));
}

void TFFLoader::Unload(TLibrary ALibrary) {
  TLibraryStatus& status = Unit().Status[ALibrary];
  const TLibraryRow& row = kLibraries[ALibrary];
  if (status.Fixuped && row.BeforeClear) row.BeforeClear();
  // Also after a failed bind, so that no entry point of a library outlives it.
  row.EntryPoints->Clear();
  status.Fixuped = false;
  if (status.Handle) {
    FreeLibrary(status.Handle);
    status.Handle = nullptr;
  }
}

void TFFLoader::Unload(TLibraries ALibraries) {
  assert(!ALibraries.Empty());
  for (auto it = std::rbegin(kLoadOrder); it != std::rend(kLoadOrder); ++it)
    if (ALibraries.Contains(*it)) Unload(*it);
}

const String& TFFLoader::LastErrMsg() const { return Unit().LastErrMsg; }

const String& TFFLoader::LibraryPath() const { return Unit().LibraryPath; }

void TFFLoader::SetLibraryPath(const String& Value) { Unit().LibraryPath = Value; }

const TLibraryStatus& TFFLoader::Status(TLibrary ALibrary) const { return Unit().Status[ALibrary]; }

int TFFLoader::BoundEntryPoints(TLibrary ALibrary) const { return kLibraries[ALibrary].EntryPoints->BoundCount(); }

int TFFLoader::EntryPointCount(TLibrary ALibrary) const { return kLibraries[ALibrary].EntryPoints->Count; }
