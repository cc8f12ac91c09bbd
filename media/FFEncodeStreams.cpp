#include "media/FFEncodeStreams.h"

#include <array>
#include <atomic>
#include <mutex>
#include <utility>

namespace {

constexpr int BridgeBufferSize = 64 * 1024;

// A slot's stream, and the stream position that is offset 0 to the library.
std::array<std::atomic<TStream*>, StreamIOSlots> Slots{};
std::array<int64_t, StreamIOSlots> Origins{};
std::mutex SlotLock;  // taking and giving back slots

int ReadSlot(int Slot, uint8_t* Buf, int Size) {
  TStream* stream = Slots[size_t(Slot)].load();
  if (!stream) return AVERROR(EIO);
  try {
    const int64_t n = stream->Read(Buf, Size);
    return n > 0 ? int(n) : AVERROR_EOF;
  } catch (...) {  // never across the library's callback
    return AVERROR(EIO);
  }
}

int WriteSlot(int Slot, uint8_t* Buf, int Size) {
  TStream* stream = Slots[size_t(Slot)].load();
  if (!stream) return AVERROR(EIO);
  try {
    return stream->Write(Buf, Size) == Size ? Size : AVERROR(EIO);
  } catch (...) {
    return AVERROR(EIO);
  }
}

int64_t SeekSlot(int Slot, int64_t Offset, int Whence) {
  TStream* stream = Slots[size_t(Slot)].load();
  if (!stream) return AVERROR(EIO);
  try {
    const int64_t origin = Origins[size_t(Slot)];
    if (Whence & AVSEEK_SIZE) return stream->Size() - origin;
    int64_t pos;
    switch (Whence & ~AVSEEK_FORCE) {
      case SEEK_SET: pos = stream->Seek(origin + Offset, soBeginning); break;
      case SEEK_CUR: pos = stream->Seek(Offset, soCurrent); break;
      case SEEK_END: pos = stream->Seek(Offset, soEnd); break;
      default: return AVERROR(EINVAL);
    }
    return pos < origin ? AVERROR(EINVAL) : pos - origin;
  } catch (...) {
    return AVERROR(EIO);
  }
}

// One set of callbacks per slot: the context's opaque pointer stays null.
struct TSlotCallbacks {
  int (*Read)(void*, uint8_t*, int);
  int (*Write)(void*, uint8_t*, int);
  int64_t (*Seek)(void*, int64_t, int);
};

template <int N>
constexpr TSlotCallbacks CallbacksOf() {
  return {[](void*, uint8_t* b, int s) { return ReadSlot(N, b, s); },
          [](void*, uint8_t* b, int s) { return WriteSlot(N, b, s); },
          [](void*, int64_t o, int w) { return SeekSlot(N, o, w); }};
}

template <int... N>
constexpr std::array<TSlotCallbacks, sizeof...(N)> MakeCallbacks(std::integer_sequence<int, N...>) {
  return {CallbacksOf<N>()...};
}

constexpr auto SlotCallbacks = MakeCallbacks(std::make_integer_sequence<int, StreamIOSlots>());

// The name armed on this thread, and a bridge an input opening made for it.
struct TArmed {
  String Name;
  TStream* Stream = nullptr;
  bool Write = false;
  std::unique_ptr<TStreamIO> Opened;
};
thread_local TArmed Armed;

}  // namespace

std::unique_ptr<TStreamIO> TStreamIO::Create(TStream* Stream, bool Write) {
  int slot = -1;
  {
    std::lock_guard<std::mutex> lock(SlotLock);
    for (int i = 0; i < StreamIOSlots && slot < 0; ++i)
      if (!Slots[size_t(i)].load()) {
        Origins[size_t(i)] = Stream->Position();
        Slots[size_t(i)].store(Stream);
        slot = i;
      }
  }
  if (slot < 0) return nullptr;
  auto* buffer = static_cast<unsigned char*>(ff::av_malloc(BridgeBufferSize));
  AVIOContext* ctx = buffer ? ff::avio_alloc_context(buffer, BridgeBufferSize, Write ? 1 : 0, nullptr,
                                                     SlotCallbacks[size_t(slot)].Read,
                                                     SlotCallbacks[size_t(slot)].Write,
                                                     SlotCallbacks[size_t(slot)].Seek)
                              : nullptr;
  if (!ctx) {
    ff::av_free(buffer);
    Slots[size_t(slot)].store(nullptr);
    return nullptr;
  }
  return std::unique_ptr<TStreamIO>(new TStreamIO(slot, ctx));
}

TStreamIO::~TStreamIO() {
  if (!FHandedOver) {
    ff::av_freep(&FContext->buffer);
    ff::avio_context_free(&FContext);
  }
  std::lock_guard<std::mutex> lock(SlotLock);
  Slots[size_t(FSlot)].store(nullptr);
}

TStreamNameScope::TStreamNameScope(TStream* Stream, const String& PrivateData, bool Write)
    : FName(Format("memory:%d:%s", {int64_t(reinterpret_cast<intptr_t>(Stream)), PrivateData})) {
  Armed.Name = FName;
  Armed.Stream = Stream;
  Armed.Write = Write;
  Armed.Opened.reset();
}

TStreamNameScope::~TStreamNameScope() {
  Armed.Name.clear();
  Armed.Stream = nullptr;
  Armed.Opened.reset();
}

int CreateInputStreamIO(const String& Name, std::unique_ptr<TStreamIO>& Bridge) {
  Bridge.reset();
  if (!Armed.Stream || Armed.Write || Armed.Name != Name) return 0;
  Bridge = TStreamIO::Create(Armed.Stream, false);
  return Bridge ? 0 : AVERROR(ENOMEM);
}

void KeepOpenedStreamIO(std::unique_ptr<TStreamIO> Bridge, AVFormatContext* Ctx) {
  // Closing the input frees the context like one of the library's own.
  Ctx->flags &= ~AVFMT_FLAG_CUSTOM_IO;
  Bridge->HandOver();
  Armed.Opened = std::move(Bridge);
}

std::unique_ptr<TStreamIO> TakeOpenedStreamIO(const String& Name) {
  if (Armed.Name != Name) return nullptr;
  return std::move(Armed.Opened);
}

std::unique_ptr<TStreamIO> CreateOutputStreamIO(const String& Name) {
  if (!Armed.Stream || !Armed.Write || Armed.Name != Name) return nullptr;
  return TStreamIO::Create(Armed.Stream, true);
}
