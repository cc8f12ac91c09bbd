#include "app/SelectDirectoryFix.h"

#include <vector>

#include "platform/os/Files.h"
#include "platform/vcl/Dialogs.h"
#include "skin/controls/ShellFolder.h"

namespace {

// The browser's flag values.
constexpr UINT kReturnOnlyFsDirs = 0x0001;
constexpr UINT kDontGoBelowDomain = 0x0002;
constexpr UINT kEditBox = 0x0010;
constexpr UINT kValidate = 0x0020;
constexpr UINT kNewDialogStyle = 0x0040;
constexpr UINT kNoNewFolderButton = 0x0200;
constexpr UINT kBrowseIncludeFiles = 0x4000;
constexpr UINT kShareable = 0x8000;
// Beyond this a path is not a folder anyone chose.
constexpr size_t kLongestPath = 1 << 20;

}  // namespace

UINT BrowseFlags(TSelectDirExtOpts Options) {
  UINT flags = kReturnOnlyFsDirs | kDontGoBelowDomain;
  if (Options.Contains(sdNewUI)) flags |= kNewDialogStyle;
  if (!Options.Contains(sdNewFolder)) flags |= kNoNewFolderButton;
  if (Options.Contains(sdShowEdit)) flags |= kEditBox;
  if (Options.Contains(sdShowShares) && !Options.Contains(sdNewUI)) flags |= kShareable;
  if (Options.Contains(sdShowFiles)) flags |= kBrowseIncludeFiles;
  if (Options.Contains(sdValidateDir)) flags |= kValidate;
  return flags;
}

TPoint CentredPosition(const TRect& Reference, const TRect& Browser) {
  return TPoint(Reference.Left + Reference.Width() / 2 - Browser.Width() / 2,
                Reference.Top + Reference.Height() / 2 - Browser.Height() / 2);
}

// ---------------------------------------------------------------------------
// The browser run

namespace {

// The state of one browser run: selects the first folder and centres the
// window on its first size.
class TSelectDirCallback {
 public:
  TSelectDirCallback(const String& _Directory, TWinControl* _Parent) : FDirectory(_Directory), FParent(_Parent) {}

  int Notice(HWND Wnd, UINT Msg, LPARAM Typed) {
    switch (Msg) {
      case BFFM_INITIALIZED:
        if (!FWnd) {
          FWnd = Wnd;
          Current() = this;
          FOldProc = reinterpret_cast<WNDPROC>(
              SetWindowLongPtrW(Wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&SubclassProc))));
        }
        FInitialized = true;
        PostSelection();
        return 0;
      case BFFM_SELCHANGED:
        // The browser may settle on another folder while it fills its tree:
        // the first change gets the wanted one posted once more.
        if (FInitialized && !FSelectionRepeated) {
          FSelectionRepeated = true;
          PostSelection();
        }
        return 0;
      case BFFM_VALIDATEFAILEDA:
      case BFFM_VALIDATEFAILEDW: {
        // A typed name that is no folder: say so and keep the browser open.
        const String typed = Typed ? String(reinterpret_cast<const char*>(Typed)) : String();
        MessageBoxW(Wnd, Format(InvalidPathText, {typed}).c_str(), nullptr, MB_OK | MB_ICONERROR);
        return 1;
      }
      default:
        return 0;
    }
  }

  ~TSelectDirCallback() {
    if (Current() == this) Current() = nullptr;
  }

 private:
  static TSelectDirCallback*& Current() {
    static TSelectDirCallback* current = nullptr;
    return current;
  }

  void PostSelection() {
    if (FDirectory.empty()) return;
    // The text must outlive the posted message: it lives in this object.
    PostMessageW(FWnd, BFFM_SETSELECTIONW, TRUE, LPARAM(reinterpret_cast<uintptr_t>(FDirectory.c_str())));
  }

  static LRESULT SubclassProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
    TSelectDirCallback* self = Current();
    if (!self || !self->FOldProc) return DefWindowProcW(Wnd, Msg, WParam, LParam);
    const WNDPROC old = self->FOldProc;
    if (Msg == WM_SIZE) {
      self->Centre();
      const LRESULT result = CallWindowProcW(old, Wnd, Msg, WParam, LParam);
      SetWindowLongPtrW(Wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(old)));
      self->FOldProc = nullptr;
      return result;
    }
    return CallWindowProcW(old, Wnd, Msg, WParam, LParam);
  }

  void Centre() {
    TRect reference;
    TCustomForm* form = FParent ? FParent->GetParentForm() : nullptr;
    if (form) {
      reference = form->BoundsRect();
    } else {
      TCustomForm* main = Application ? Application->MainForm() : nullptr;
      reference = main && Screen ? Screen->MonitorFromWindow(main->Handle()).BoundsRect
                                 : (Screen ? Screen->Monitors(0).BoundsRect : TRect(0, 0, 0, 0));
    }
    RECT r{};
    GetWindowRect(FWnd, &r);
    const TPoint at = CentredPosition(reference, TRect(r.left, r.top, r.right, r.bottom));
    SetWindowPos(FWnd, nullptr, at.X, at.Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  String FDirectory;
  TWinControl* FParent;
  HWND FWnd = nullptr;
  WNDPROC FOldProc = nullptr;
  bool FInitialized = false;
  bool FSelectionRepeated = false;
};

int BrowseCallback(HWND Wnd, UINT Msg, LPARAM LParam, LPARAM Data) {
  return reinterpret_cast<TSelectDirCallback*>(Data)->Notice(Wnd, Msg, LParam);
}

}  // namespace

bool SelectFolder(const String& Caption, const String& Root, String& Directory, TWinControl* Parent,
                  TSelectDirExtOpts Options) {
  if (!DirExists(Directory)) Directory.clear();
  PIDLIST_ABSOLUTE root = nullptr;
  if (!Root.empty() && SHParseDisplayName(Root.c_str(), nullptr, &root, 0, nullptr) != S_OK) root = nullptr;
  std::vector<char> name(MAX_PATH * 2, '\0');
  TSelectDirCallback callback(Directory, Parent);
  BROWSEINFOW info;
  info.hwndOwner = Parent && Parent->HandleAllocated()
                       ? Parent->Handle()
                       : (Application && Application->MainForm() ? Application->MainForm()->Handle() : nullptr);
  info.pidlRoot = root;
  info.pszDisplayName = name.data();
  info.lpszTitle = Caption.c_str();
  info.ulFlags = BrowseFlags(Options);
  info.lpfn = &BrowseCallback;
  info.lParam = LPARAM(reinterpret_cast<uintptr_t>(&callback));
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
  if (root) ILFree(root);
  if (!chosen) return false;
  // Folder names have no length limit here: the buffer grows until the path fits.
  std::vector<char> path(MAX_PATH * 2, '\0');
  bool ok = false;
  while (!(ok = SHGetPathFromIDListEx(chosen, path.data(), DWORD(path.size()), 0)) && path.size() < kLongestPath)
    path.resize(path.size() * 2);
  ILFree(chosen);
  if (!ok) return false;
  Directory = IncludeTrailingPathDelimiter(String(path.data()));
  return true;
}
