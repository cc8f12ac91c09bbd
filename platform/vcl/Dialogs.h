#pragma once
// The file-open dialog and the folder browser: the layer's own modal "#32770"
// windows built from its standard controls. Both list one folder at a time
// (its folders first, by name ignoring case; hidden entries left out), go up
// with the Up button or Backspace in the list, into a folder with a double
// click or Enter, and to any folder typed into the path or name field. The
// owner's top-level window is disabled while one runs and gets WM_ENTERIDLE
// (MSGF_DIALOGBOX, the dialog) whenever its loop runs out of input.
//
// The controls carry fixed ids: the listing lst1, the file name edt1, the
// path edt2, the filter combo box cmb1, Up psh1, and IDOK / IDCANCEL. The
// folder browser in its new style (BIF_NEWDIALOGSTYLE without
// BIF_NONEWFOLDERBUTTON) adds Make New Folder psh2: it makes the folder named
// in the edit box when that names nothing yet, else "New folder" (numbered
// when taken), in the folder shown, and selects it.

#include <memory>

#include "platform/rtl/Classes.h"
#include "platform/vcl/Types.h"
#include "platform/win/Windows.h"

constexpr int psh1 = 0x0400;
constexpr int psh2 = 0x0401;
constexpr int lst1 = 0x0460;
constexpr int cmb1 = 0x0470;
constexpr int edt1 = 0x0480;
constexpr int edt2 = 0x0481;

enum TOpenOption {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = TSet<TOpenOption>;

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;

  // Shows the dialog (owned by ParentWnd, else the active window); true when
  // the user chose: FileName holds the first file's full path and Files every
  // one (several with ofAllowMultiSelect), FilterIndex the filter in use.
  virtual bool Execute(HWND ParentWnd = nullptr);

  String FileName;
  TStrings* Files() { return FFiles.get(); }
  // "Caption|*.a;*.b|Caption|*.c": the masks match names ignoring case.
  String Filter;
  int FilterIndex = 1;  // from 1
  // Where the listing starts: the folder of FileName when that has one, else
  // InitialDir, else the current folder.
  String InitialDir;
  String Title;  // "Open" when empty
  TOpenOptions Options{ofHideReadOnly, ofEnableSizing};

 private:
  std::unique_ptr<TStringList> FFiles;
};

// ---- The shell's folder browser ----

struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = int32_t(0x80004005);
constexpr size_t MAX_PATH = 260;

using BFFCALLBACK = int (*)(HWND wnd, UINT msg, LPARAM lParam, LPARAM data);
struct BROWSEINFOW {
  HWND hwndOwner = nullptr;
  PCIDLIST_ABSOLUTE pidlRoot = nullptr;  // nullptr: the whole tree
  char* pszDisplayName = nullptr;        // gets the chosen folder's name (MAX_PATH bytes)
  const char* lpszTitle = nullptr;
  UINT ulFlags = 0;
  BFFCALLBACK lpfn = nullptr;
  LPARAM lParam = 0;
  int iImage = 0;
};
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
constexpr UINT BIF_STATUSTEXT = 0x0004;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_VALIDATE = 0x0020;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;
constexpr UINT BIF_NONEWFOLDERBUTTON = 0x0200;
constexpr UINT BIF_BROWSEINCLUDEFILES = 0x4000;
constexpr UINT BIF_SHAREABLE = 0x8000;
// Notices to the callback.
constexpr UINT BFFM_INITIALIZED = 1;      // the window exists; lParam 0
constexpr UINT BFFM_SELCHANGED = 2;       // lParam: the selected folder's item list (valid during the call)
constexpr UINT BFFM_VALIDATEFAILEDA = 3;  // lParam: the typed text; non-zero keeps the browser open
constexpr UINT BFFM_VALIDATEFAILEDW = 4;
// Messages the browser window takes.
constexpr UINT BFFM_ENABLEOK = WM_USER + 101;
constexpr UINT BFFM_SETSELECTIONA = WM_USER + 102;
constexpr UINT BFFM_SETSELECTIONW = WM_USER + 103;  // wParam TRUE: lParam is a path text, else an item list

// Runs the browser modally. It first sends BFFM_INITIALIZED, then gives the
// window its size (its first WM_SIZE, which a subclass may use to move it),
// then shows it. Returns the chosen folder's item list (free it with ILFree),
// or nullptr when cancelled.
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* bi);
// Copies the item list's path (UTF-8, at most MAX_PATH * 2 bytes with the NUL).
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, char* path);
// The same into a buffer of cchPath bytes; FALSE when the path with its NUL
// does not fit (a longer buffer then takes it). flags: 0.
BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE pidl, char* path, DWORD cchPath, int flags);
// The item list of an existing file or folder.
HRESULT SHParseDisplayName(const char* name, void* bindContext, PIDLIST_ABSOLUTE* pidl, uint32_t attributesIn,
                           uint32_t* attributesOut);
void ILFree(PIDLIST_ABSOLUTE pidl);
