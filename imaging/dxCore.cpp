#include "imaging/dxCore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

TdxUnitsLoader& TdxUnitsLoader::Instance() {
  static TdxUnitsLoader loader;
  return loader;
}

TdxUnitsLoader::~TdxUnitsLoader() { Finalize(); }

void TdxUnitsLoader::AddUnit(TdxUnitProc Init, TdxUnitProc Done) {
  // Only a library defers its start-up; the program is never one.
  if (Init) {
    FInitialized = true;
    Init();
  }
  if (Done) FFinalizeList.push_back(Done);
}

void TdxUnitsLoader::RemoveUnit(TdxUnitProc Done) {
  auto it = std::find(FFinalizeList.begin(), FFinalizeList.end(), Done);
  if (it == FFinalizeList.end()) return;
  FFinalizeList.erase(it);
  if (FInitialized) Done();
}

void TdxUnitsLoader::Finalize() {
  if (FInitialized) {
    // A procedure may unregister others while it runs: take them one by one.
    while (!FFinalizeList.empty()) {
      TdxUnitProc p = FFinalizeList.back();
      FFinalizeList.pop_back();
      p();
    }
  }
  FInitialized = false;
  FFinalizeList.clear();
}

void* dxAllocZeroMem(size_t Size) { return std::calloc(1, Size ? Size : 1); }
void dxFreeMem(void* P) { std::free(P); }
void dxZeroMem(void* P, size_t Size) {
  if (P && Size) std::memset(P, 0, Size);
}

void dxCallNotify(const TNotifyEvent& Event, TObject* Sender) {
  if (Event) Event(Sender);
}

TdxSystemVersion dxComputeSystemVersion(int PlatformId, int Major, int Minor, int WorkstationMajor,
                                        int WorkstationMinor, bool Wow64) {
  TdxSystemVersion v;
  v.IsWin9X = PlatformId == 1;
  v.IsWin95 = v.IsWin9X && Minor == 0;
  v.IsWin98 = v.IsWin9X && Minor == 10;
  v.IsWinMe = v.IsWin9X && Minor == 90;
  v.IsWinNT = PlatformId == 2;
  v.IsWin2K = v.IsWinNT && Major == 5 && Minor == 0;
  v.IsWin2KOrLater = v.IsWinNT && Major >= 5;
  v.IsWinXP = v.IsWinNT && Major == 5 && Minor > 0;
  v.IsWinXPOrLater = v.IsWin2KOrLater && !v.IsWin2K;
  v.IsWin2KOrXP = v.IsWin2K || v.IsWinXP;
  v.IsWinVista = v.IsWinNT && Major == 6 && Minor == 0;
  v.IsWinVistaOrLater = v.IsWinNT && Major >= 6;
  v.IsWin7 = v.IsWinNT && Major == 6 && Minor == 1;
  v.IsWin7OrLater = v.IsWinVistaOrLater && !v.IsWinVista;
  v.IsWin8 = v.IsWinNT && Major == 6 && Minor == 2;
  v.IsWin8OrLater = v.IsWin7OrLater && !v.IsWin7;
  v.IsWin10OrLater = v.IsWin8OrLater && WorkstationMajor > 9;
  v.IsWin10 = v.IsWin8OrLater && WorkstationMajor == 10 && WorkstationMinor == 0;
  v.IsWin64Bit = Wow64;
  return v;
}

const TdxSystemVersion& dxSystemVersion() {
  static const TdxSystemVersion v = dxComputeSystemVersion(0, 0, 0, 0, 0, false);
  return v;
}
