// Selections of the display backend: reading another client's selection
// (in one piece or in INCR pieces) and serving the CLIPBOARD's text.

#include <poll.h>

#include <algorithm>
#include <climits>

#include "platform/win/X11Internal.h"

namespace {

// Pieces of an INCR transfer: well under the smallest request limit a server
// may have without the big-requests extension (256 KiB).
constexpr size_t kChunk = 64 * 1024;

struct Awaited {
  ::Window window;
  int type;
  Atom atom;  // the selection (SelectionNotify) or the property (PropertyNotify)
};

Bool IsAwaited(Display*, XEvent* e, XPointer arg) {
  const Awaited* a = reinterpret_cast<const Awaited*>(arg);
  if (e->type != a->type) return False;
  if (a->type == SelectionNotify)
    return e->xselection.requestor == a->window && e->xselection.selection == a->atom ? True : False;
  return e->xproperty.window == a->window && e->xproperty.atom == a->atom &&
                 e->xproperty.state == PropertyNewValue
             ? True
             : False;
}

// Takes the awaited event from the queue, leaving every other event where it is.
bool WaitForEvent(Display* dpy, Awaited a, XEvent& out, uint64_t deadline, uint64_t (*now)()) {
  for (;;) {
    if (XCheckIfEvent(dpy, &out, IsAwaited, reinterpret_cast<XPointer>(&a))) return true;
    const uint64_t t = now();
    if (t >= deadline) return false;
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, int(std::min<uint64_t>(deadline - t, 100)));
  }
}

uint64_t MonotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000 + uint64_t(ts.tv_nsec / 1000000);
}

// Reads and deletes a property of 8-bit items; false when it is not one.
bool TakeProperty(Display* dpy, ::Window w, Atom prop, Atom& type, std::string& out) {
  int format = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, w, prop, 0, LONG_MAX / 4, True, AnyPropertyType, &type, &format, &n, &after,
                         &data) != Success)
    return false;
  const size_t bytes = format == 32 ? n * sizeof(long) : format == 16 ? n * sizeof(short) : n;
  if (data) out.assign(reinterpret_cast<const char*>(data), bytes);
  else out.clear();
  if (data) XFree(data);
  return true;
}

std::string Latin1ToUtf8(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += char(c);
    } else {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Characters outside Latin-1 become '?'.
std::string Utf8ToLatin1(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = uint8_t(s[i]);
    const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    if (len == 2 && i + 1 < s.size() && c <= 0xC3) out += char(((c & 0x1F) << 6) | (uint8_t(s[i + 1]) & 0x3F));
    else out += len == 1 ? char(c) : '?';
    i += len;
  }
  return out;
}

}  // namespace

std::optional<std::string> TX11Backend::Impl::ReadSelection(Atom selection, Atom target, Time time,
                                                            int timeoutMs) {
  const uint64_t deadline = MonotonicMs() + uint64_t(timeoutMs);
  const Atom prop = atoms.TARNWICK_TRANSFER;
  XDeleteProperty(dpy, helper, prop);
  XConvertSelection(dpy, selection, target, prop, helper, time);
  XFlush(dpy);
  XEvent e;
  if (!WaitForEvent(dpy, Awaited{helper, SelectionNotify, selection}, e, deadline, MonotonicMs) ||
      e.xselection.property == None)
    return std::nullopt;
  Atom type = None;
  std::string data;
  if (!TakeProperty(dpy, helper, prop, type, data)) return std::nullopt;
  if (type != atoms.INCR) return data;
  // In pieces: each new value is read and deleted, which asks for the next; an empty one ends it.
  std::string all;
  for (;;) {
    if (!WaitForEvent(dpy, Awaited{helper, PropertyNotify, prop}, e, deadline, MonotonicMs)) return std::nullopt;
    std::string piece;
    if (!TakeProperty(dpy, helper, prop, type, piece)) return std::nullopt;
    if (type == None) continue;  // the notice of the INCR value itself, already taken
    if (piece.empty()) return all;
    all += piece;
  }
}

void TX11Backend::Impl::HandleSelectionRequest(XSelectionRequestEvent& e) {
  XEvent reply{};
  XSelectionEvent& r = reply.xselection;
  r.type = SelectionNotify;
  r.requestor = e.requestor;
  r.selection = e.selection;
  r.target = e.target;
  r.time = e.time;
  r.property = None;
  const Atom prop = e.property != None ? e.property : e.target;  // clients older than ICCCM 2 send none
  if (e.selection == atoms.CLIPBOARD && ownsClipboard) {
    auto put = [&](Atom type, std::string data) {
      if (data.size() <= kChunk) {
        XChangeProperty(dpy, e.requestor, prop, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(data.data()), int(data.size()));
      } else {
        long size = long(data.size());
        XSelectInput(dpy, e.requestor, PropertyChangeMask);
        XChangeProperty(dpy, e.requestor, prop, atoms.INCR, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&size), 1);
        outgoing.push_back(Outgoing{e.requestor, prop, type, std::move(data), 0});
      }
      r.property = prop;
    };
    if (e.target == atoms.TARGETS) {
      Atom list[] = {atoms.TARGETS, atoms.TIMESTAMP, atoms.UTF8_STRING, atoms.text_plain_utf8, atoms.TEXT, XA_STRING};
      XChangeProperty(dpy, e.requestor, prop, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(list),
                      int(std::size(list)));
      r.property = prop;
    } else if (e.target == atoms.TIMESTAMP) {
      long t = long(clipboardTime);
      XChangeProperty(dpy, e.requestor, prop, XA_INTEGER, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&t),
                      1);
      r.property = prop;
    } else if (e.target == atoms.UTF8_STRING || e.target == atoms.text_plain_utf8 || e.target == atoms.TEXT) {
      put(e.target == atoms.TEXT ? atoms.UTF8_STRING : e.target, clipboard);
    } else if (e.target == XA_STRING) {
      put(XA_STRING, Utf8ToLatin1(clipboard));
    }
  }
  XSendEvent(dpy, e.requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

void TX11Backend::Impl::HandleSelectionClear(XSelectionClearEvent& e) {
  // A notice may be stale: taken from us earlier, we may have claimed the clipboard again since.
  if (e.selection != atoms.CLIPBOARD || XGetSelectionOwner(dpy, atoms.CLIPBOARD) == helper) return;
  ownsClipboard = false;
  clipboard.clear();
}

void TX11Backend::Impl::HandleOutgoingProperty(XPropertyEvent& e) {
  if (e.state != PropertyDelete) return;
  auto it = std::find_if(outgoing.begin(), outgoing.end(),
                         [&](const Outgoing& o) { return o.requestor == e.window && o.property == e.atom; });
  if (it == outgoing.end()) return;
  // The requestor took the last piece: send the next, or the empty one that ends the transfer.
  const size_t n = std::min(kChunk, it->data.size() - it->sent);
  XChangeProperty(dpy, it->requestor, it->property, it->type, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(it->data.data() + it->sent), int(n));
  it->sent += n;
  if (n == 0) {
    XSelectInput(dpy, it->requestor, NoEventMask);
    outgoing.erase(it);
  }
  XFlush(dpy);
}

std::string TX11Backend::ClipboardText() {
  Impl& d = *impl_;
  const ::Window owner = XGetSelectionOwner(d.dpy, d.atoms.CLIPBOARD);
  if (owner == None) return {};
  if (owner == d.helper && d.ownsClipboard) return d.clipboard;
  if (auto text = d.ReadSelection(d.atoms.CLIPBOARD, d.atoms.UTF8_STRING, d.lastTime, 2000)) return *text;
  if (auto text = d.ReadSelection(d.atoms.CLIPBOARD, XA_STRING, d.lastTime, 2000)) return Latin1ToUtf8(*text);
  return {};
}

Time TX11Backend::Impl::ServerTime() {
  // An empty append changes nothing but brings a PropertyNotify with the server's time.
  XChangeProperty(dpy, helper, atoms.TARNWICK_TIME, XA_INTEGER, 32, PropModeAppend, nullptr, 0);
  XFlush(dpy);
  XEvent e;
  if (WaitForEvent(dpy, Awaited{helper, PropertyNotify, atoms.TARNWICK_TIME}, e, MonotonicMs() + 1000, MonotonicMs))
    lastTime = e.xproperty.time;
  return lastTime;
}

void TX11Backend::SetClipboardText(const std::string& text) {
  Impl& d = *impl_;
  d.clipboard = text;
  // A time stamp older than the present owner's would be refused: the last
  // event may lie before another program took the clipboard.
  d.clipboardTime = d.ServerTime();
  XSetSelectionOwner(d.dpy, d.atoms.CLIPBOARD, d.helper, d.clipboardTime);
  d.ownsClipboard = XGetSelectionOwner(d.dpy, d.atoms.CLIPBOARD) == d.helper;
}

void TX11Backend::Impl::HandOverClipboard() {
  // A clipboard manager keeps the text once we are gone, if one runs and we hold the clipboard.
  if (!ownsClipboard || XGetSelectionOwner(dpy, atoms.CLIPBOARD) != helper ||
      XGetSelectionOwner(dpy, atoms.CLIPBOARD_MANAGER) == None)
    return;
  XConvertSelection(dpy, atoms.CLIPBOARD_MANAGER, atoms.SAVE_TARGETS, None, helper, ServerTime());
  XFlush(dpy);
  // Serve its requests for our text until it says it is done, for a while at most.
  const uint64_t deadline = MonotonicMs() + 2000;
  while (MonotonicMs() < deadline) {
    if (!XPending(dpy)) {
      pollfd p{ConnectionNumber(dpy), POLLIN, 0};
      poll(&p, 1, 50);
      continue;
    }
    XEvent e;
    XNextEvent(dpy, &e);
    if (e.type == SelectionNotify && e.xselection.selection == atoms.CLIPBOARD_MANAGER) return;
    if (e.type == SelectionRequest) HandleSelectionRequest(e.xselectionrequest);
    if (e.type == PropertyNotify) HandleOutgoingProperty(e.xproperty);
  }
}
