#pragma once
// The image library's core: its exception base, the units loader that runs the
// library's start-up and shut-down procedures, zeroed memory blocks, notify
// events, and the version flags of the running system.

#include <cstddef>
#include <vector>

#include "platform/rtl/Classes.h"

class EdxException : public Exception {
 public:
  using Exception::Exception;
};

using TdxUnitProc = void (*)();

// Start-up and shut-down procedures of the library's units. In the program the
// start-up procedure runs at once; shut-downs run last registered first.
class TdxUnitsLoader {
 public:
  // The process's one loader, created on first use.
  static TdxUnitsLoader& Instance();
  ~TdxUnitsLoader();

  // Either procedure may be null.
  void AddUnit(TdxUnitProc Init, TdxUnitProc Done);
  // Removes Done; runs it when it was registered and start-up has happened.
  void RemoveUnit(TdxUnitProc Done);
  void Finalize();
  bool Initialized() const { return FInitialized; }

 private:
  std::vector<TdxUnitProc> FFinalizeList;
  bool FInitialized = false;
};

void* dxAllocZeroMem(size_t Size);
void dxFreeMem(void* P);
void dxZeroMem(void* P, size_t Size);
void dxCallNotify(const TNotifyEvent& Event, TObject* Sender);

// Version flags of the running system. This program runs on none of the systems
// these flags name, so at run time every flag is false; the rule that sets
// them is kept for what the library's callers test.
struct TdxSystemVersion {
  bool IsWin9X = false, IsWin95 = false, IsWin98 = false, IsWinMe = false;
  bool IsWinNT = false, IsWin2K = false, IsWin2KOrLater = false, IsWinXP = false, IsWinXPOrLater = false;
  bool IsWin2KOrXP = false, IsWinVista = false, IsWinVistaOrLater = false, IsWin7 = false, IsWin7OrLater = false;
  bool IsWin8 = false, IsWin8OrLater = false, IsWin10OrLater = false, IsWin10 = false, IsWin64Bit = false;
};
// platformId 1 = 9x family, 2 = NT; the workstation version answers the two version-10 flags.
TdxSystemVersion dxComputeSystemVersion(int PlatformId, int Major, int Minor, int WorkstationMajor,
                                        int WorkstationMinor, bool Wow64);
const TdxSystemVersion& dxSystemVersion();
