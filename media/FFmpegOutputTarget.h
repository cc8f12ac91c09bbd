#pragma once
// The local file a task writes its output to, and the rules that keep what
// the user already had on disk:
// - Preparing the output reserves its name: a missing file is created empty
//   (so that name choosers and other tasks see it taken); an existing one is
//   left untouched.
// - A regular file is written under a temporary name in its own folder and
//   renamed over the target only when the run ends normally or is stopped by
//   the user. Anything else (devices, FIFOs) is written in place.
// - Nothing is ever removed but the temporary file and the empty reservation
//   that this target itself created, and only while they are still what it
//   created.
// Outputs that are not local files (other protocols, caller streams) and
// formats whose muxer opens its own files (image sequences, segments) have
// no target: they are written where they are told.

#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/rtl/SysUtils.h"

class TOutputTarget {
 public:
  enum class TKind { Replace, InPlace };

  TOutputTarget() = default;
  TOutputTarget(const TOutputTarget&) = delete;
  TOutputTarget& operator=(const TOutputTarget&) = delete;
  // Removes the temporary file and this target's own reservation unless the
  // output was committed.
  ~TOutputTarget();

  // Checks and reserves Path (a file-system path). NoOverwrite ("-n") refuses
  // an existing file. 0, or a negative library code with Error set.
  int Prepare(const String& Path, bool NoOverwrite, String& Error);
  // Opens the way for the muxer: WriteName is the temporary name (Replace) or
  // the target itself (InPlace). An existing file other than the reservation
  // is refused under NoOverwrite. 0, or a negative code with Error set.
  int BeginWrite(bool NoOverwrite, String& WriteName, String& Error);
  // The muxer has written up to Position of the temporary file: every few
  // megabytes a thread of the target's own syncs what was written, so that
  // the muxer never waits for the disk and the sync before the rename finds
  // only the last megabytes left to do.
  void Written(int64_t Position);
  // Syncs the finished temporary file, renames it over the target and syncs
  // the folder (nothing to do in place). Call after the muxer closed the
  // file. 0, or a negative code with Error set: a file that could not be
  // synced is not renamed (the target keeps what it had, the temporary file
  // is removed with the target); one that could not be renamed stays where
  // it is.
  int Commit(String& Error);

  // Whether Path names this target: the same file (device and inode) or the
  // same resolved path.
  bool Refers(const String& Path) const;
  TKind Kind() const { return FKind; }
  const String& Path() const { return FPath; }
  bool Reserved() const { return FReserved; }

  // Path resolved through symbolic links; for a missing file, its folder is
  // resolved and the name appended.
  static String ResolvePath(const String& Path);
  // The file-system path of a library URL of the "file" protocol, or "" for
  // any other protocol.
  static String LocalPath(const char* LibName);

 private:
  void Abandon();
  // The syncing thread's loop, and its end (joined; safe to repeat).
  void SyncWhileWritten();
  void StopSyncing();

  TKind FKind = TKind::Replace;
  String FPath;   // resolved
  String FTemp;   // while writing (Replace)
  bool FReserved = false;
  bool FCommitted = false;
  dev_t FDev = 0;  // of the file at FPath when prepared (the reservation or the old file)
  ino_t FIno = 0;
  dev_t FTempDev = 0;
  ino_t FTempIno = 0;
  int FTempFd = -1;        // the temporary file, for its syncs
  int64_t FSyncAsked = 0;  // the muxer's thread asked for a sync up to here

  std::thread FSyncer;  // started with the first sync asked for
  std::mutex FSyncLock;
  std::condition_variable FSyncWake;
  // Under FSyncLock: these three.
  int64_t FSyncWanted = 0;
  bool FSyncStop = false;
  int FSyncError = 0;  // errno of the first failed sync: the file is not whole
};
