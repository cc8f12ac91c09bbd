// The file-open dialog and the folder browser: one browsing window over a
// folder's listing, in a files mode and a folders mode.

#include "platform/vcl/Dialogs.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/os/Files.h"
#include "platform/win/MessageBox.h"

struct ITEMIDLIST {
  String Path;  // absolute, no trailing delimiter except for "/"
};

namespace {

constexpr int kWidth = 440, kHeight = 330, kMargin = 8, kRow = 23, kButtonWidth = 75;

String NoTrailingDelimiter(const String& path) {
  if (path.size() > 1 && path.back() == '/') return path.substr(0, path.size() - 1);
  return path;
}

// The masks of each filter ("Caption|*.a;*.b|...").
struct FilterEntry {
  String Caption;
  std::vector<String> Masks;
};
std::vector<FilterEntry> ParseFilter(const String& filter) {
  std::vector<FilterEntry> out;
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == String::npos ? String::npos : bar - start));
    if (bar == String::npos) break;
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    FilterEntry e{parts[i], {}};
    size_t s = 0;
    const String& m = parts[i + 1];
    for (;;) {
      const size_t semi = m.find(';', s);
      String mask = Trim(m.substr(s, semi == String::npos ? String::npos : semi - s));
      if (!mask.empty()) e.Masks.push_back(mask);
      if (semi == String::npos) break;
      s = semi + 1;
    }
    out.push_back(std::move(e));
  }
  return out;
}

// "a b" "c" -> two names; a text without quotes is one name.
std::vector<String> SplitNames(const String& text) {
  std::vector<String> names;
  if (text.find('"') == String::npos) {
    if (!Trim(text).empty()) names.push_back(Trim(text));
    return names;
  }
  size_t i = 0;
  while ((i = text.find('"', i)) != String::npos) {
    const size_t end = text.find('"', i + 1);
    if (end == String::npos) break;
    if (end > i + 1) names.push_back(text.substr(i + 1, end - i - 1));
    i = end + 1;
  }
  return names;
}

std::set<const ITEMIDLIST*>& IssuedLists() {
  static auto* lists = new std::set<const ITEMIDLIST*>();
  return *lists;
}

PIDLIST_ABSOLUTE NewList(const String& path) {
  auto* l = new ITEMIDLIST{path};
  IssuedLists().insert(l);
  return l;
}

struct Entry {
  String Name;
  bool Folder;
};

class Browser {
 public:
  enum Mode { Files, Folders };
  Browser(Mode mode) : mode_(mode) {}

  // Set before Run.
  String Title;
  String Folder;  // with a trailing delimiter
  String Root;    // folders mode: no going above it (empty: anywhere)
  std::vector<FilterEntry> Filters;
  int FilterIndex = 0;  // from 0
  bool MultiSelect = false;
  bool FileMustExist = false;
  bool PathMustExist = false;
  bool IncludeFiles = false;  // folders mode
  bool EditBox = false;       // folders mode
  bool Validate = false;      // folders mode
  bool NewFolder = false;     // folders mode: the Make New Folder button
  BROWSEINFOW* Info = nullptr;
  String OkText = "&Open";

  // Results.
  std::vector<String> Chosen;
  bool Run(HWND owner);

 private:
  static LRESULT Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp);
  void Create();
  void Layout();
  void Navigate(const String& folder);
  void Fill();
  int Selected() const;
  void SelectionChanged();
  void Ok();
  void Up();
  void MakeNewFolder();
  String Resolve(const String& typed) const;
  int Callback(UINT msg, LPARAM lp);
  bool InsideRoot(const String& folder) const;
  HWND Item(int id) const;

  Mode mode_;
  HWND wnd_ = nullptr;
  WNDPROC previous_ = nullptr;
  std::vector<Entry> entries_;
  std::vector<String> masks_;  // typed masks override the filter's
  bool done_ = false;
  bool accepted_ = false;
  bool initialized_ = false;  // the callback heard BFFM_INITIALIZED: selection notices follow
};

std::vector<std::pair<HWND, Browser*>>& Live() {
  static auto* live = new std::vector<std::pair<HWND, Browser*>>();
  return *live;
}

HWND Browser::Item(int id) const {
  for (HWND c = GetWindow(wnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetWindowLongPtrW(c, GWLP_ID) == id) return c;
  return nullptr;
}

bool Browser::InsideRoot(const String& folder) const {
  if (Root.empty()) return true;
  const String r = IncludeTrailingPathDelimiter(Root), f = IncludeTrailingPathDelimiter(folder);
  return f.compare(0, r.size(), r) == 0;
}

int Browser::Callback(UINT msg, LPARAM lp) {
  if (!Info || !Info->lpfn || (msg != BFFM_INITIALIZED && !initialized_)) return 0;
  return Info->lpfn(wnd_, msg, lp, Info->lParam);
}

LRESULT Browser::Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  for (auto& [h, b] : Live())
    if (h == wnd) return b->Handle(msg, wp, lp);
  return DefWindowProcW(wnd, msg, wp, lp);
}

LRESULT Browser::Handle(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE:
      Layout();
      break;
    case WM_CLOSE:
      done_ = true;
      return 0;
    case WM_COMMAND: {
      const int id = LOWORD(wp), code = HIWORD(wp);
      if (id == IDCANCEL && (code == BN_CLICKED || !lp)) {
        done_ = true;
        return 0;
      }
      if (id == IDOK && code == BN_CLICKED) {
        Ok();
        return 0;
      }
      if (id == psh1 && code == BN_CLICKED) {
        Up();
        return 0;
      }
      if (id == psh2 && code == BN_CLICKED) {
        MakeNewFolder();
        return 0;
      }
      if (id == lst1 && code == LBN_DBLCLK) {
        const int i = Selected();
        if (i >= 0 && entries_[size_t(i)].Folder) Navigate(Folder + entries_[size_t(i)].Name + "/");
        else if (i >= 0) Ok();
        return 0;
      }
      if (id == lst1 && code == LBN_SELCHANGE) {
        SelectionChanged();
        return 0;
      }
      if (id == cmb1 && code == CBN_SELCHANGE) {
        FilterIndex = int(SendMessageW(Item(cmb1), CB_GETCURSEL, 0, 0));
        masks_.clear();
        Fill();
        return 0;
      }
      break;
    }
    case BFFM_SETSELECTIONW: case BFFM_SETSELECTIONA: {
      String path = wp ? String(reinterpret_cast<const char*>(lp) ? reinterpret_cast<const char*>(lp) : "")
                       : (lp ? reinterpret_cast<const ITEMIDLIST*>(lp)->Path : String());
      if (!path.empty() && DirectoryExists(path)) Navigate(IncludeTrailingPathDelimiter(path));
      return 0;
    }
    case BFFM_ENABLEOK:
      EnableWindow(Item(IDOK), lp ? TRUE : FALSE);
      return 0;
  }
  return previous_ ? CallWindowProcW(previous_, wnd_, msg, wp, lp) : DefWindowProcW(wnd_, msg, wp, lp);
}

void Browser::Create() {
  auto child = [&](const char* cls, const char* text, DWORD style, int id, DWORD ex = 0) {
    HWND h = CreateWindowExW(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, wnd_,
                             reinterpret_cast<HMENU>(uintptr_t(id)), nullptr, nullptr);
    SendMessageW(h, WM_SETFONT, WPARAM(GetStockObject(DEFAULT_GUI_FONT)), 0);
    return h;
  };
  child("STATIC", mode_ == Folders && Info && Info->lpszTitle ? Info->lpszTitle : "Look in:", SS_LEFT, 0xFFFF);
  child("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, edt2, WS_EX_CLIENTEDGE);
  child("BUTTON", "Up", WS_TABSTOP | BS_PUSHBUTTON, psh1);
  child("LISTBOX", "",
        WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT | (MultiSelect ? LBS_EXTENDEDSEL : 0),
        lst1, WS_EX_CLIENTEDGE);
  if (mode_ == Files || EditBox) {
    child("STATIC", mode_ == Files ? "File &name:" : "Fo&lder:", SS_LEFT, 0xFFFE);
    child("EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL, edt1, WS_EX_CLIENTEDGE);
  }
  if (mode_ == Files) {
    child("STATIC", "Files of &type:", SS_LEFT, 0xFFFD);
    HWND combo = child("COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, cmb1);
    for (const FilterEntry& f : Filters) SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(f.Caption.c_str()));
    SendMessageW(combo, CB_SETCURSEL, WPARAM(FilterIndex), 0);
  }
  if (mode_ == Folders && NewFolder) child("BUTTON", "&Make New Folder", WS_TABSTOP | BS_PUSHBUTTON, psh2);
  child("BUTTON", OkText.c_str(), WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK);
  child("BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL);
}

void Browser::Layout() {
  RECT c;
  GetClientRect(wnd_, &c);
  const int w = c.right, h = c.bottom;
  const int bottomRows = (mode_ == Files ? 2 : EditBox ? 1 : 0);
  const int labelW = 90;
  MoveWindow(Item(0xFFFF), kMargin, kMargin + 4, labelW, kRow - 4, TRUE);
  MoveWindow(Item(edt2), kMargin + labelW, kMargin, w - 3 * kMargin - labelW - kButtonWidth, kRow, TRUE);
  MoveWindow(Item(psh1), w - kMargin - kButtonWidth, kMargin, kButtonWidth, kRow, TRUE);
  const int listTop = 2 * kMargin + kRow;
  const int listBottom = h - kMargin - bottomRows * (kRow + kMargin) - (bottomRows ? 0 : kRow + kMargin);
  MoveWindow(Item(lst1), kMargin, listTop, w - 2 * kMargin, std::max(kRow, listBottom - listTop), TRUE);
  const int fieldW = w - 4 * kMargin - labelW - kButtonWidth;
  int y = listBottom + kMargin;
  if (HWND e = Item(edt1)) {
    MoveWindow(Item(0xFFFE), kMargin, y + 4, labelW, kRow - 4, TRUE);
    MoveWindow(e, kMargin + labelW, y, fieldW, kRow, TRUE);
    MoveWindow(Item(IDOK), w - kMargin - kButtonWidth, y, kButtonWidth, kRow, TRUE);
    y += kRow + kMargin;
  }
  if (HWND combo = Item(cmb1)) {
    MoveWindow(Item(0xFFFD), kMargin, y + 4, labelW, kRow - 4, TRUE);
    MoveWindow(combo, kMargin + labelW, y, fieldW, 120, TRUE);
  }
  if (!Item(edt1)) MoveWindow(Item(IDOK), w - 2 * kMargin - 2 * kButtonWidth, y, kButtonWidth, kRow, TRUE);
  MoveWindow(Item(IDCANCEL), w - kMargin - kButtonWidth, y, kButtonWidth, kRow, TRUE);
  if (HWND make = Item(psh2)) MoveWindow(make, kMargin, y, 2 * kButtonWidth - kMargin, kRow, TRUE);
}

void Browser::Navigate(const String& folder) {
  String f = IncludeTrailingPathDelimiter(ExpandFileName(folder));
  if (!DirectoryExists(f) || !InsideRoot(f)) return;
  Folder = f;
  SetWindowTextW(Item(edt2), Folder.c_str());
  Fill();
  SelectionChanged();
}

void Browser::Fill() {
  entries_.clear();
  std::vector<String> masks = masks_;
  if (masks.empty() && FilterIndex >= 0 && size_t(FilterIndex) < Filters.size()) masks = Filters[size_t(FilterIndex)].Masks;
  const bool files = mode_ == Files || IncludeFiles;
  TSearchRec rec;
  std::vector<Entry> plain;
  if (FindFirst(Folder + "*", faDirectory | faReadOnly | faArchive, rec) == 0) {
    do {
      if (rec.Name == "." || rec.Name == "..") continue;
      if (rec.Attr & faDirectory) {
        entries_.push_back(Entry{rec.Name, true});
      } else if (files) {
        const bool match = masks.empty() || std::any_of(masks.begin(), masks.end(), [&](const String& m) {
                             return MatchesMask(rec.Name, m);
                           });
        if (match) plain.push_back(Entry{rec.Name, false});
      }
    } while (FindNext(rec) == 0);
    FindClose(rec);
  }
  entries_.insert(entries_.end(), plain.begin(), plain.end());
  HWND list = Item(lst1);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const Entry& e : entries_) {
    const String shown = e.Folder ? e.Name + "/" : e.Name;
    SendMessageW(list, LB_ADDSTRING, 0, LPARAM(shown.c_str()));
  }
}

int Browser::Selected() const {
  HWND list = Item(lst1);
  const int caret = int(SendMessageW(list, MultiSelect ? LB_GETCARETINDEX : LB_GETCURSEL, 0, 0));
  if (caret < 0 || size_t(caret) >= entries_.size()) return -1;
  if (MultiSelect && SendMessageW(list, LB_GETSEL, WPARAM(caret), 0) <= 0) return -1;
  return caret;
}

void Browser::SelectionChanged() {
  if (mode_ == Files) {
    // The chosen files' names go to the name field ("a" "b" for several).
    std::vector<String> names;
    HWND list = Item(lst1);
    for (size_t i = 0; i < entries_.size(); ++i) {
      const bool on = MultiSelect ? SendMessageW(list, LB_GETSEL, WPARAM(i), 0) > 0
                                  : int(SendMessageW(list, LB_GETCURSEL, 0, 0)) == int(i);
      if (on && !entries_[i].Folder) names.push_back(entries_[i].Name);
    }
    if (names.empty()) return;
    String text;
    if (names.size() == 1) text = names[0];
    else
      for (const String& n : names) text += (text.empty() ? "\"" : " \"") + n + "\"";
    SetWindowTextW(Item(edt1), text.c_str());
    return;
  }
  const int i = Selected();
  if (HWND e = Item(edt1)) SetWindowTextW(e, i >= 0 ? entries_[size_t(i)].Name.c_str() : "");
  PIDLIST_ABSOLUTE sel = NewList(NoTrailingDelimiter(i >= 0 ? Folder + entries_[size_t(i)].Name : Folder));
  Callback(BFFM_SELCHANGED, LPARAM(sel));
  ILFree(sel);
}

String Browser::Resolve(const String& typed) const {
  if (typed.empty()) return String();
  if (typed[0] == '/') return ExpandFileName(typed);
  if (typed[0] == '~') {
    const char* home = getenv("HOME");
    return ExpandFileName(String(home ? home : "") + typed.substr(1));
  }
  return ExpandFileName(Folder + typed);
}

void Browser::Up() {
  const String parent = ExtractFilePath(NoTrailingDelimiter(Folder));
  if (!parent.empty() && parent != Folder) Navigate(parent);
}

void Browser::MakeNewFolder() {
  String name;
  if (HWND e = Item(edt1)) {
    char buf[1024] = "";
    GetWindowTextW(e, buf, sizeof(buf));
    name = Trim(String(buf));
  }
  const bool usable = !name.empty() && name != "." && name != ".." && name.find('/') == String::npos &&
                      !FileExists(Folder + name) && !DirectoryExists(Folder + name);
  if (!usable) {
    name = "New folder";
    for (int n = 2; n < 10000 && (FileExists(Folder + name) || DirectoryExists(Folder + name)); ++n)
      name = Format("New folder (%d)", {n});
  }
  if (!CreateDir(Folder + name)) {
    MessageBoxW(wnd_, ("Unable to create the folder \"" + name + "\" in " + Folder + ".").c_str(), Title.c_str(),
                MB_OK | MB_ICONERROR);
    return;
  }
  Fill();
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].Folder && entries_[i].Name == name) SendMessageW(Item(lst1), LB_SETCURSEL, WPARAM(i), 0);
  SelectionChanged();
  SetFocus(Item(lst1));
}

void Browser::Ok() {
  HWND name = Item(edt1);
  char buf[4096] = "";
  if (name) GetWindowTextW(name, buf, sizeof(buf));
  String typed = Trim(String(buf));
  // The path field, when it was edited: go there.
  char pathBuf[4096] = "";
  GetWindowTextW(Item(edt2), pathBuf, sizeof(pathBuf));
  if (GetFocus() == Item(edt2) && IncludeTrailingPathDelimiter(pathBuf) != Folder) {
    const String p = Resolve(pathBuf);
    if (DirectoryExists(p)) Navigate(p);
    else SetWindowTextW(Item(edt2), Folder.c_str());
    return;
  }
  // A folder picked in the list opens (files mode) unless a name was typed.
  const int sel = Selected();
  if (mode_ == Files && GetFocus() == Item(lst1) && sel >= 0 && entries_[size_t(sel)].Folder) {
    Navigate(Folder + entries_[size_t(sel)].Name + "/");
    return;
  }
  if (mode_ == Folders) {
    String chosen = sel >= 0 ? Folder + entries_[size_t(sel)].Name : Folder;
    if (name && !typed.empty() && !(sel >= 0 && typed == entries_[size_t(sel)].Name)) {
      const String p = Resolve(typed);
      if (!DirectoryExists(p)) {
        if (Validate) {
          if (Callback(BFFM_VALIDATEFAILEDW, LPARAM(typed.c_str()))) return;
          done_ = true;  // the callback let it go: nothing chosen
          return;
        }
      } else {
        chosen = p;
      }
    }
    if (!InsideRoot(chosen)) return;
    Chosen = {NoTrailingDelimiter(chosen)};
    accepted_ = done_ = true;
    return;
  }
  if (typed.find_first_of("*?") != String::npos && typed.find('"') == String::npos) {
    masks_.clear();
    size_t s = 0;
    for (;;) {
      const size_t semi = typed.find(';', s);
      masks_.push_back(typed.substr(s, semi == String::npos ? String::npos : semi - s));
      if (semi == String::npos) break;
      s = semi + 1;
    }
    Fill();
    return;
  }
  std::vector<String> names = SplitNames(typed);
  if (names.empty()) return;
  if (names.size() == 1) {
    const String p = Resolve(names[0]);
    if (DirectoryExists(p)) {
      SetWindowTextW(name, "");
      Navigate(p);
      return;
    }
  }
  if (!MultiSelect && names.size() > 1) names.resize(1);
  std::vector<String> paths;
  for (const String& n : names) {
    const String p = Resolve(n);
    if (PathMustExist && !DirectoryExists(ExtractFileDir(p))) {
      MessageBoxW(wnd_, (p + "\nPath does not exist.\nCheck the path and try again.").c_str(), Title.c_str(),
                  MB_OK | MB_ICONWARNING);
      return;
    }
    if (FileMustExist && !FileExists(p)) {
      MessageBoxW(wnd_, (p + "\nFile not found.\nCheck the file name and try again.").c_str(), Title.c_str(),
                  MB_OK | MB_ICONWARNING);
      return;
    }
    paths.push_back(p);
  }
  Chosen = paths;
  accepted_ = done_ = true;
}

bool Browser::Run(HWND owner) {
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : GetActiveWindow();
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  wnd_ = CreateWindowExW(exStyle, MAKEINTATOM(0x8002), Title.c_str(), style, 0, 0, 200, 150, root, nullptr, nullptr,
                         nullptr);
  if (!wnd_) return false;
  Live().emplace_back(wnd_, this);
  struct Forget {
    HWND wnd;
    ~Forget() {
      auto& l = Live();
      l.erase(std::remove_if(l.begin(), l.end(), [&](auto& e) { return e.first == wnd; }), l.end());
    }
  } forget{wnd_};
  previous_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(wnd_, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&Browser::Proc))));
  Create();
  if (!DirectoryExists(Folder) || !InsideRoot(Folder)) Folder = IncludeTrailingPathDelimiter(Root.empty() ? GetCurrentDir() : Root);
  Navigate(Folder);
  Callback(BFFM_INITIALIZED, 0);
  initialized_ = true;
  if (IsWindow(wnd_)) SelectionChanged();
  // Centred on the owner; the first WM_SIZE comes now, after the callback could subclass.
  RECT wr{0, 0, kWidth, kHeight}, around{};
  AdjustWindowRectEx(&wr, style, FALSE, exStyle);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  if (!root || !IsWindowVisible(root) || !GetWindowRect(root, &around)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &around, 0);
  if (IsWindow(wnd_)) SetWindowPos(wnd_, nullptr, (around.left + around.right - w) / 2, (around.top + around.bottom - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  const bool ownerWasEnabled = root && IsWindowEnabled(root);
  if (ownerWasEnabled) EnableWindow(root, FALSE);
  ShowWindow(wnd_, SW_SHOW);
  SetFocus(Item(edt1) ? Item(edt1) : Item(lst1));

  bool quit = false, idleSent = false;
  int quitCode = 0;
  MSG m;
  while (!done_ && IsWindow(wnd_)) {
    if (!NextModalMessage(&m, root, MSGF_DIALOGBOX, wnd_, &idleSent)) continue;
    if (m.message == WM_QUIT) {
      quit = true;
      quitCode = int(m.wParam);
      break;
    }
    // Backspace in the listing goes up a folder.
    if (m.message == WM_KEYDOWN && m.wParam == WPARAM(VK_BACK) && m.hwnd == Item(lst1)) {
      Up();
      continue;
    }
    if (IsDialogMessageW(wnd_, &m)) continue;
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  if (ownerWasEnabled && IsWindow(root)) EnableWindow(root, TRUE);
  if (IsWindow(wnd_)) DestroyWindow(wnd_);
  if (root && IsWindow(root)) SetActiveWindow(root);
  if (quit) PostQuitMessage(quitCode);  // the main loop's, not ours
  return accepted_;
}

}  // namespace

// ---- TOpenDialog ----

TOpenDialog::TOpenDialog(TComponent* AOwner) : TComponent(AOwner), FFiles(std::make_unique<TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute(HWND ParentWnd) {
  Browser b(Browser::Files);
  b.Title = Title.empty() ? "Open" : Title;
  b.Filters = ParseFilter(Filter);
  b.FilterIndex = b.Filters.empty() ? 0 : std::clamp(FilterIndex, 1, int(b.Filters.size())) - 1;
  b.MultiSelect = Options.Contains(ofAllowMultiSelect);
  b.FileMustExist = Options.Contains(ofFileMustExist);
  b.PathMustExist = Options.Contains(ofPathMustExist) || b.FileMustExist;
  const String fileDir = ExtractFileDir(FileName);
  b.Folder = IncludeTrailingPathDelimiter(!fileDir.empty() && DirectoryExists(fileDir) ? fileDir
                                          : !InitialDir.empty()                         ? InitialDir
                                                                                        : GetCurrentDir());
  if (!b.Run(ParentWnd)) return false;
  FFiles->Clear();
  for (const String& p : b.Chosen) FFiles->Add(p);
  FileName = b.Chosen.empty() ? String() : b.Chosen.front();
  if (!b.Filters.empty()) FilterIndex = b.FilterIndex + 1;
  return true;
}

// ---- The folder browser ----

PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* bi) {
  if (!bi) return nullptr;
  Browser b(Browser::Folders);
  b.Info = bi;
  b.Title = "Browse For Folder";
  b.OkText = "OK";
  if (bi->pidlRoot && IssuedLists().count(bi->pidlRoot)) b.Root = bi->pidlRoot->Path;
  b.Folder = IncludeTrailingPathDelimiter(b.Root.empty() ? GetCurrentDir() : b.Root);
  b.IncludeFiles = bi->ulFlags & BIF_BROWSEINCLUDEFILES;
  b.EditBox = bi->ulFlags & BIF_EDITBOX;
  b.Validate = bi->ulFlags & BIF_VALIDATE;
  b.NewFolder = (bi->ulFlags & BIF_NEWDIALOGSTYLE) && !(bi->ulFlags & BIF_NONEWFOLDERBUTTON);
  if (!b.Run(bi->hwndOwner) || b.Chosen.empty()) return nullptr;
  if (bi->pszDisplayName) {
    const String name = ExtractFileName(b.Chosen.front());
    const size_t n = std::min(name.size(), MAX_PATH - 1);
    memcpy(bi->pszDisplayName, name.data(), n);
    bi->pszDisplayName[n] = 0;
  }
  return NewList(b.Chosen.front());
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE pidl, char* path) {
  return SHGetPathFromIDListEx(pidl, path, MAX_PATH * 2, 0);
}

BOOL SHGetPathFromIDListEx(PCIDLIST_ABSOLUTE pidl, char* path, DWORD cchPath, int) {
  if (!pidl || !path || !IssuedLists().count(pidl) || pidl->Path.size() + 1 > cchPath) return FALSE;
  memcpy(path, pidl->Path.c_str(), pidl->Path.size() + 1);
  return TRUE;
}

HRESULT SHParseDisplayName(const char* name, void*, PIDLIST_ABSOLUTE* pidl, uint32_t, uint32_t* attributesOut) {
  if (!pidl) return E_FAIL;
  *pidl = nullptr;
  if (attributesOut) *attributesOut = 0;
  if (!name || !*name) return E_FAIL;
  const String path = NoTrailingDelimiter(ExpandFileName(name));
  if (!DirectoryExists(path) && !FileExists(path)) return E_FAIL;
  *pidl = NewList(path);
  return S_OK;
}

void ILFree(PIDLIST_ABSOLUTE pidl) {
  if (!pidl || !IssuedLists().erase(pidl)) return;
  delete pidl;
}
