// The XDND target of the display backend: files dragged from other programs
// reach the layer as one WM_DROPFILES per drop, with the drop point.

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/win/X11Internal.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Malformed escapes stay as they are written.
std::string PercentDecode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += char(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool IsThisHost(const std::string& host) {
  if (host.empty() || strcasecmp(host.c_str(), "localhost") == 0) return true;
  char name[256] = {};
  return gethostname(name, sizeof(name) - 1) == 0 && strcasecmp(host.c_str(), name) == 0;
}

// The window that takes files dropped at a screen point, as the layer will choose it.
bool AcceptsFilesAt(POINT p) {
  for (HWND w = WindowFromPoint(p); w; w = (GetWindowLongPtrW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr)
    if (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) return true;
  return false;
}

}  // namespace

std::vector<std::string> FilesFromUriList(const std::string& uriList) {
  std::vector<std::string> files;
  size_t pos = 0;
  while (pos < uriList.size()) {
    size_t end = uriList.find('\n', pos);
    if (end == std::string::npos) end = uriList.size();
    std::string line = uriList.substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#' || strncasecmp(line.c_str(), "file:", 5) != 0) continue;
    std::string rest = line.substr(5);
    if (rest.rfind("//", 0) == 0) {
      const size_t slash = rest.find('/', 2);
      if (slash == std::string::npos || !IsThisHost(PercentDecode(rest.substr(2, slash - 2)))) continue;
      rest = rest.substr(slash);
    }
    if (rest.empty() || rest[0] != '/') continue;
    std::string path = PercentDecode(rest);
    if (path.find('\0') != std::string::npos) continue;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    files.push_back(std::move(path));
  }
  return files;
}

void TX11Backend::Impl::HandleDnd(XClientMessageEvent& e) {
  const Atom t = e.message_type;
  const ::Window source = ::Window(e.data.l[0]);
  x11::Mirror* m = FindX(e.window);
  if (!m) return;
  if (t == atoms.XdndEnter) {
    drag = DragIn{};
    drag.source = source;
    drag.version = std::min(5, int((unsigned long)(e.data.l[1]) >> 24));
    std::vector<Atom> types;
    if (e.data.l[1] & 1) {
      Atom type;
      int format;
      unsigned long n = 0, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(dpy, source, atoms.XdndTypeList, 0, 1024, False, XA_ATOM, &type, &format, &n, &after,
                             &data) == Success && data) {
        const Atom* a = reinterpret_cast<const Atom*>(data);
        types.assign(a, a + n);
        XFree(data);
      }
    } else {
      for (int i = 2; i < 5; ++i) types.push_back(Atom(e.data.l[i]));
    }
    drag.uriList = std::find(types.begin(), types.end(), atoms.text_uri_list) != types.end();
    return;
  }
  if (source != drag.source) return;  // a stray message of another exchange
  if (t == atoms.XdndPosition) {
    const int rx = int((unsigned long)(e.data.l[2]) >> 16 & 0xFFFF), ry = int(e.data.l[2] & 0xFFFF);
    int wx = 0, wy = 0;
    ::Window child;
    XTranslateCoordinates(dpy, root, m->xid, int16_t(rx), int16_t(ry), &wx, &wy, &child);
    drag.point = LayerPoint(*m, wx, wy);
    drag.accepted = drag.uriList && AcceptsFilesAt(drag.point);
    // Bit 1: keep sending positions, the answer depends on the window under the point.
    SendClientMessage(source, atoms.XdndStatus, long(m->xid), (drag.accepted ? 1 : 0) | 2, 0, 0,
                      drag.accepted ? long(atoms.XdndActionCopy) : long(None));
    XFlush(dpy);
  } else if (t == atoms.XdndLeave) {
    drag = DragIn{};
  } else if (t == atoms.XdndDrop) {
    // The source waits for XdndFinished whatever happens here, also when something below throws.
    struct Finish {
      Impl& d;
      ::Window target;
      ::Window source;
      int version;
      bool done = false;
      ~Finish() {
        const bool v5 = version >= 5;
        d.SendClientMessage(source, d.atoms.XdndFinished, long(target), v5 && done ? 1 : 0,
                            v5 && done ? long(d.atoms.XdndActionCopy) : 0, 0, 0);
        XFlush(d.dpy);
        d.drag = DragIn{};
      }
    } finish{*this, m->xid, source, drag.version};
    if (!drag.accepted) return;
    const Time time = drag.version >= 1 ? Time(e.data.l[2]) : CurrentTime;
    const auto list = ReadSelection(atoms.XdndSelection, atoms.text_uri_list, time, 3000);
    if (!list) return;
    const std::vector<std::string> files = FilesFromUriList(*list);
    finish.done = !files.empty() && InjectDropFiles(files, drag.point.x, drag.point.y);
  }
}
