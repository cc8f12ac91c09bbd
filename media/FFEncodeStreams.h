#pragma once
// The encoder's "memory:" inputs and outputs: a caller's TStream served to
// the libraries through an I/O context of our own.
//
// A stream overload names the stream "memory:<identity>:<private data>" for
// the duration of its call (TStreamNameScope); opening an input of that name
// on that thread reads through a bridge over the stream, and an output of
// that name gets a bridge as its I/O context before anything is written.
//
// The bridges' contexts carry no opaque pointer (each bridge owns one of a
// fixed set of callback slots instead), so the library may close them like
// its own; the bridge only keeps its slot, and must outlive the library
// context that uses it.

#include <memory>

#include "media/FFApi.h"
#include "platform/rtl/Classes.h"

class TStreamIO {
 public:
  // A bridge over Stream (not owned) for reading or writing, from the
  // stream's position now on (the library's offset 0); nullptr when every
  // slot is taken or memory runs out.
  static std::unique_ptr<TStreamIO> Create(TStream* Stream, bool Write);
  ~TStreamIO();
  TStreamIO(const TStreamIO&) = delete;
  TStreamIO& operator=(const TStreamIO&) = delete;

  // The I/O context; the library's from HandOver on.
  AVIOContext* Context() const { return FContext; }
  void HandOver() { FHandedOver = true; }

 private:
  TStreamIO(int Slot, AVIOContext* Context) : FSlot(Slot), FContext(Context) {}
  int FSlot;
  AVIOContext* FContext;
  bool FHandedOver = false;
};

// Most bridges alive at once.
constexpr int StreamIOSlots = 64;

// Arms the stream's "memory:" name on this thread for one call.
class TStreamNameScope {
 public:
  TStreamNameScope(TStream* Stream, const String& PrivateData, bool Write);
  ~TStreamNameScope();
  TStreamNameScope(const TStreamNameScope&) = delete;
  TStreamNameScope& operator=(const TStreamNameScope&) = delete;
  const String& Name() const { return FName; }

 private:
  String FName;
};

// Before opening the input Name: a bridge in Bridge when Name is the armed
// read name (the opener sets it as the format context's pb), else nullptr.
// AVERROR(ENOMEM) when the name is armed but no bridge can be made; else 0.
int CreateInputStreamIO(const String& Name, std::unique_ptr<TStreamIO>& Bridge);
// After the input opened through Bridge: the library's from now on, the bridge
// kept on this thread for TakeOpenedStreamIO.
void KeepOpenedStreamIO(std::unique_ptr<TStreamIO> Bridge, AVFormatContext* Ctx);
// The bridge an input opening of Name kept on this thread, handed to the caller.
std::unique_ptr<TStreamIO> TakeOpenedStreamIO(const String& Name);
// A bridge for the output Name when it is the armed write name; else nullptr.
std::unique_ptr<TStreamIO> CreateOutputStreamIO(const String& Name);
