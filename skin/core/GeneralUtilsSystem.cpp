// The skin library's property-by-name helpers and system services: caption
// font, window animation, debugger, message boxes, waits and folders.

#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "platform/os/DynLib.h"
#include "platform/os/Files.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/TypInfo.h"
#include "platform/win/Backend.h"
#include "platform/win/Controls.h"
#include "skin/core/GeneralUtils.h"

// ---- Properties by name ----

namespace {

// The property Name of Obj's class when it has the ordinal accessors of its kind.
const TPropInfo* OrdProperty(TObject* Obj, const String& Name) {
  const TPropInfo* p = Obj ? GetPropInfo(Obj, Name) : nullptr;
  return p && p->GetOrd && p->SetOrd ? p : nullptr;
}

// The bit of Element in a set-typed property, 0 when the property or the element is unknown.
int64_t SetElementBit(const TPropInfo* Info, const String& Element) {
  if (!Info || Info->Kind != pkSet) return 0;
  for (size_t i = 0; i < Info->Idents.size() && i < 32; ++i)
    if (SameText(Info->Idents[i], Element)) return int64_t(1) << i;
  return 0;
}

}  // namespace

bool HasProperty(TObject* Obj, const String& Name) { return Obj && GetPropInfo(Obj, Name); }

TObject* GetObjectPropByName(TObject* Obj, const String& Name) {
  const TPropInfo* p = Obj ? GetPropInfo(Obj, Name) : nullptr;
  if (!p) return nullptr;
  if (p->GetObject) return p->GetObject(Obj);
  return p->GetComponent ? p->GetComponent(Obj) : nullptr;
}

int64_t GetOrdPropByName(TObject* Obj, const String& Name) {
  const TPropInfo* p = OrdProperty(Obj, Name);
  return p ? p->GetOrd(Obj) : -1;
}

void SetOrdPropByName(TObject* Obj, const String& Name, int64_t Value) {
  if (const TPropInfo* p = OrdProperty(Obj, Name)) p->SetOrd(Obj, Value);
}

bool SetPropHasElement(TObject* Obj, const String& Name, const String& Element) {
  const TPropInfo* p = OrdProperty(Obj, Name);
  const int64_t bit = SetElementBit(p, Element);
  return bit && (p->GetOrd(Obj) & bit);
}

void ChangeSetPropByName(TObject* Obj, const String& Name, const String& Element, bool Include) {
  const TPropInfo* p = OrdProperty(Obj, Name);
  const int64_t bit = SetElementBit(p, Element);
  if (!bit) return;
  const int64_t bits = p->GetOrd(Obj);
  const int64_t changed = Include ? bits | bit : bits & ~bit;
  // Written back only when the element was not already as asked.
  if (changed != bits) p->SetOrd(Obj, changed);
}

// ---- System ----

namespace {

bool CaptionFont(LOGFONT& Font) {
  NONCLIENTMETRICSW m;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0)) return false;
  Font = m.lfCaptionFont;
  return true;
}

}  // namespace

int GetCaptionFontHeight() {
  LOGFONT f;
  return CaptionFont(f) ? f.lfHeight : 0;
}

HFONT CreateCaptionFont() {
  LOGFONT f;
  return CaptionFont(f) ? CreateFontIndirect(&f) : HFONT(nullptr);
}

bool WindowAnimationEnabled() {
  ANIMATIONINFO info;
  return SystemParametersInfoW(SPI_GETANIMATION, sizeof info, &info, 0) && info.iMinAnimate != 0;
}

void SetWindowAnimation(bool On) {
  ANIMATIONINFO info;
  info.iMinAnimate = On ? -1 : 0;
  SystemParametersInfoW(SPI_SETANIMATION, sizeof info, &info, 0);
}

bool DebuggerAttached() {
  // A tracing process is how a debugger sits on this system.
  std::ifstream status("/proc/self/status");
  if (!status) return true;
  for (std::string line; std::getline(status, line);)
    if (line.rfind("TracerPid:", 0) == 0) return std::stol(line.substr(10)) != 0;
  return true;
}

namespace {

void MessageDlgOk(const String& Text, const char* Caption, UINT Icon) {
  MSGBOXPARAMSW p;
  p.hwndOwner = GetActiveWindow();
  p.lpszText = Text.c_str();
  p.lpszCaption = Caption;
  p.dwStyle = MB_OK | Icon;
  MessageBoxIndirectW(&p);
}

}  // namespace

void ShowWarningBox(const String& Text) { MessageDlgOk(Text, "Warning", MB_ICONWARNING); }
void WarningMessage(const String& Text) { ShowWarningBox(Text); }
void ShowErrorBox(const String& Text) { MessageDlgOk(Text, "Error", MB_ICONERROR); }

void WaitTicks(DWORD Start, DWORD Delay) {
  // Unsigned differences stay right across a wrap of the tick count.
  const DWORD passed = GetTickCount() - Start;
  // A virtual clock moves only when told: the wait itself moves it.
  if (THeadlessBackend* virtualClock = HeadlessBackend()) {
    if (passed < Delay) virtualClock->AdvanceClock(Delay - passed);
    return;
  }
  while (DWORD(GetTickCount() - Start) < Delay) {
  }
}

void WaitProcessingMessages(DWORD Ms) {
  const DWORD start = GetTickCount();
  while (DWORD(GetTickCount() - start) < Ms) Application->ProcessMessages();
}

bool DirectoryExistsEx(const String& Name, bool FollowLink) {
  struct stat st;
  if (lstat(Name.c_str(), &st) != 0)
    // Not there (or a name no path can have): False; anything else, as a refused access, may hide a folder.
    return !(errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == EINVAL);
  if (!S_ISLNK(st.st_mode)) return S_ISDIR(st.st_mode);
  struct stat target;
  const bool opens = stat(Name.c_str(), &target) == 0;
  if (FollowLink) return opens && S_ISDIR(target.st_mode);
  // Without following: a link to a folder counts; a link to anything else only when it leads nowhere.
  return opens ? S_ISDIR(target.st_mode) : true;
}


bool MeasureTextWithFont(HFONT Font, const String& Text, UINT Flags, TSize& Size, int Width, bool Wrap) {
  // A DC compatible with the screen measures as the screen does.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = Font ? SelectObject(dc, Font) : nullptr;
  bool ok = true;
  if (Wrap) {
    RECT r{0, 0, Width, 0};
    DrawText(dc, Text.data(), int(Text.size()), &r, Flags | DT_CALCRECT);
    Size = TSize{r.right - r.left, r.bottom - r.top};
  } else {
    SIZE s{};
    ok = GetTextExtentPoint32(dc, Text.data(), int(Text.size()), &s);
    Size = ok ? TSize{s.cx, s.cy} : TSize{0, 0};
  }
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return ok;
}

String AppDir() { return ExtractFilePath(GetModuleFileName(nullptr)); }
