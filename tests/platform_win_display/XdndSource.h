#pragma once
// An XDND source on a connection of its own: drags a text/uri-list onto a
// window and drops it, as a desktop's file manager does.

#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>

#include <X11/Xlib.h>

struct SourceResult {
  bool statusAccepted = false;
  bool served = false;
  bool finished = false;
  bool finishedAccepted = false;
};

// A selection owner's answer: data when the request is for target, else a refusal.
// Without data the property is written already (the start of an INCR transfer).
inline bool Answer(Display* d, const XSelectionRequestEvent& r, Atom target, const std::string* data) {
  XEvent reply{};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = r.requestor;
  reply.xselection.selection = r.selection;
  reply.xselection.target = r.target;
  reply.xselection.time = r.time;
  if (r.target == target) {
    if (data)
      XChangeProperty(d, r.requestor, r.property, target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(data->data()), int(data->size()));
    reply.xselection.property = r.property;
  }
  XSendEvent(d, r.requestor, False, NoEventMask, &reply);
  XFlush(d);
  return r.target == target;
}

// Drags text/uri-list data onto target at a root point and drops it, as a
// version 5 source does; waits up to five seconds for each answer.
inline SourceResult DragAndDrop(Display* d, ::Window target, int rootX, int rootY, const std::string& uriList) {
  SourceResult res;
  auto atom = [&](const char* n) { return XInternAtom(d, n, False); };
  const ::Window src = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  const Atom selection = atom("XdndSelection"), uri = atom("text/uri-list");
  XSetSelectionOwner(d, selection, src, CurrentTime);
  auto send = [&](const char* type, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = target;
    e.xclient.message_type = atom(type);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(src);
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(d, target, False, NoEventMask, &e);
    XFlush(d);
  };
  // Serves the selection and waits for a client message of the given type.
  auto await = [&](const char* type, XEvent& out) {
    const Atom want = atom(type);
    for (int i = 0; i < 500; ++i) {
      while (XPending(d)) {
        XNextEvent(d, &out);
        if (out.type == ClientMessage && out.xclient.message_type == want) return true;
        if (out.type == SelectionRequest) res.served |= Answer(d, out.xselectionrequest, uri, &uriList);
      }
      usleep(10000);
    }
    return false;
  };
  send("XdndEnter", 5L << 24, long(uri), 0, 0);
  send("XdndPosition", 0, long(rootX) << 16 | rootY, CurrentTime, long(atom("XdndActionCopy")));
  XEvent e;
  if (await("XdndStatus", e)) {
    res.statusAccepted = e.xclient.data.l[1] & 1;
    send("XdndDrop", 0, CurrentTime, 0, 0);
    if (await("XdndFinished", e)) {
      res.finished = true;
      res.finishedAccepted = e.xclient.data.l[1] & 1;
    }
  }
  XDestroyWindow(d, src);
  return res;
}

inline std::string FileUri(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : path) {
    if (isalnum(c) || strchr("/-._~", c)) {
      out += char(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}
