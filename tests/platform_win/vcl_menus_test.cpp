// Framework menus and dialogs: items loaded from a window definition, the
// main menu on the form's bar, popup menus on a right click, owner drawing,
// short cuts, and the file and folder dialogs driven by keys and clicks.

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/os/Files.h"
#include "platform/vcl/Definitions.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImgList.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/TypInfo.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

const char* const kDefinition = R"(object MenuForm: TForm
  Left = 100
  Top = 100
  Width = 400
  Height = 300
  Caption = 'Menus'
  Menu = MainMenu1
  object MainMenu1: TMainMenu
    object mnuFile: TMenuItem
      Caption = '&File'
      object mnuOpen: TMenuItem
        Caption = '&Open'
        ShortCut = 16463
        OnClick = mnuOpenClick
      end
      object N1: TMenuItem
        Caption = '-'
      end
      object mnuQuit: TMenuItem
        Caption = '&Quit'
        Checked = True
      end
    end
  end
  object PopupMenu1: TPopupMenu
    OnPopup = PopupMenu1Popup
    object mnuAdd: TMenuItem
      Caption = 'Add'
      OnClick = mnuAddClick
    end
    object mnuRemove: TMenuItem
      Caption = 'Remove'
      OnClick = mnuRemoveClick
    end
  end
  object Panel1: TPanel
    Left = 10
    Top = 10
    Width = 200
    Height = 100
    PopupMenu = PopupMenu1
  end
end
)";

// Runs the next scripted step each time a menu loop of hwnd goes idle.
class IdleScript {
 public:
  explicit IdleScript(HWND wnd) : wnd_(wnd) {
    self_ = this;
    old_ = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&Proc))));
  }
  ~IdleScript() {
    SetWindowLongPtrW(wnd_, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(old_)));
    self_ = nullptr;
  }
  std::deque<std::function<void()>> steps;

 private:
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_ENTERIDLE && self_) {
      if (self_->steps.empty()) {
        InjectKey(VK_ESCAPE, true);
        InjectKey(VK_ESCAPE, false);
      } else {
        auto step = std::move(self_->steps.front());
        self_->steps.pop_front();
        step();
      }
      return 0;
    }
    return CallWindowProcW(self_->old_, w, m, wp, lp);
  }
  static inline IdleScript* self_ = nullptr;
  HWND wnd_;
  WNDPROC old_;
};

void Key(int vk) {
  InjectKey(vk, true);
  InjectKey(vk, false);
}

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class VclMenuTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    EnsureStandardClasses();
    form_ = new TForm(Application);
    form_->SetName("MenuForm");
    THandlerRegistry& h = form_->Handlers();
    h.Register<TNotifyEvent>("mnuOpenClick", [this](TObject*) { clicks_.push_back("open"); });
    h.Register<TNotifyEvent>("mnuAddClick", [this](TObject*) { clicks_.push_back("add"); });
    h.Register<TNotifyEvent>("mnuRemoveClick", [this](TObject*) { clicks_.push_back("remove"); });
    h.Register<TNotifyEvent>("PopupMenu1Popup", [this](TObject*) { clicks_.push_back("popup"); });
    LoadDefinition(form_, kDefinition, &h);
    form_->Show();
  }
  void TearDown() override {
    delete form_;
    WindowTest::TearDown();
  }
  template <class T>
  T* Find(const char* name) {
    return dynamic_cast<T*>(form_->FindComponent(name));
  }

  TForm* form_ = nullptr;
  std::vector<std::string> clicks_;
};

TEST_F(VclMenuTest, DefinitionsHoldMenusWithNestedItemsAndTheFormShowsTheBar) {
  auto* main = Find<TMainMenu>("MainMenu1");
  auto* file = Find<TMenuItem>("mnuFile");
  ASSERT_TRUE(main && file);
  EXPECT_EQ(form_->Menu(), main);
  EXPECT_EQ(file->Parent(), main->Items());
  EXPECT_EQ(file->Count(), 3);
  EXPECT_TRUE(file->Items(1)->IsLine());
  EXPECT_EQ(ShortCutToText(Find<TMenuItem>("mnuOpen")->ShortCut()), "Ctrl+O");
  EXPECT_EQ(Find<TPanel>("Panel1")->PopupMenu(), Find<TPopupMenu>("PopupMenu1"));

  HMENU bar = GetMenu(form_->Handle());
  ASSERT_EQ(bar, main->Handle());
  ASSERT_EQ(GetMenuItemCount(bar), 1);
  HMENU sub = GetSubMenu(bar, 0);
  ASSERT_EQ(GetMenuItemCount(sub), 3);
  char text[64];
  GetMenuStringW(sub, 0, text, sizeof(text), MF_BYPOSITION);
  EXPECT_STREQ(text, "&Open\tCtrl+O");
  EXPECT_EQ(GetMenuState(sub, 1, MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
  EXPECT_EQ(GetMenuState(sub, 2, MF_BYPOSITION) & MF_CHECKED, UINT(MF_CHECKED));

  // Changes reach the shown menu: a hidden item leaves it, a new one joins.
  Find<TMenuItem>("mnuQuit")->SetVisible(false);
  EXPECT_EQ(GetMenuItemCount(sub), 2);
  auto* extra = new TMenuItem(form_);
  extra->SetName("mnuExtra");
  extra->SetCaption("Extra");
  file->Add(extra);
  EXPECT_EQ(GetMenuItemCount(sub), 3);

  // The round trip keeps the items nested where they were.
  const String text2 = WriteDefinition(DescribeComponent(form_, &form_->Handlers()));
  const size_t fileAt = text2.find("object mnuFile: TMenuItem"), openAt = text2.find("object mnuOpen: TMenuItem");
  const size_t popupAt = text2.find("object PopupMenu1: TPopupMenu"), addAt = text2.find("object mnuAdd: TMenuItem");
  ASSERT_NE(fileAt, String::npos);
  EXPECT_LT(fileAt, openAt);
  EXPECT_LT(popupAt, addAt);
  EXPECT_NE(text2.find("OnClick = mnuOpenClick"), String::npos);
  EXPECT_NE(text2.find("PopupMenu = PopupMenu1"), String::npos);
  TForm* again = new TForm(Application);
  LoadDefinition(again, text2, &form_->Handlers());
  auto* reloaded = dynamic_cast<TMenuItem*>(again->FindComponent("mnuOpen"));
  ASSERT_NE(reloaded, nullptr);
  EXPECT_EQ(reloaded->Parent(), again->FindComponent("mnuFile"));
  delete again;
}

TEST_F(VclMenuTest, ABarItemChosenByMouseRunsItsOnClick) {
  HMENU bar = GetMenu(form_->Handle());
  RECT fileRect;
  ASSERT_TRUE(GetMenuItemRect(form_->Handle(), bar, 0, &fileRect));
  IdleScript script(form_->Handle());
  script.steps = {[&] {
    RECT open;
    ASSERT_TRUE(GetMenuItemRect(form_->Handle(), GetSubMenu(bar, 0), 0, &open));
    const POINT p = Centre(open);
    InjectMouseMove(p.x, p.y);
    InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
    InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  }};
  const POINT p = Centre(fileRect);
  InjectMouseButton(TMouseButton::Left, true, p.x, p.y);
  InjectMouseButton(TMouseButton::Left, false, p.x, p.y);
  Application->ProcessMessages();
  Application->ProcessMessages();
  EXPECT_EQ(clicks_, (std::vector<std::string>{"open"}));
}

TEST_F(VclMenuTest, ARightClickPopsTheControlsMenuUpAndKeysChooseAnItem) {
  auto* panel = Find<TPanel>("Panel1");
  auto* popup = Find<TPopupMenu>("PopupMenu1");
  IdleScript script(PopupListWindow());
  script.steps = {[] {
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_RETURN);
  }};
  const TPoint at = panel->ClientToScreen(TPoint(50, 40));
  InjectMouseMove(at.X, at.Y);
  InjectMouseButton(TMouseButton::Right, true, at.X, at.Y);
  InjectMouseButton(TMouseButton::Right, false, at.X, at.Y);
  Application->ProcessMessages();
  Application->ProcessMessages();
  EXPECT_EQ(clicks_, (std::vector<std::string>{"popup", "remove"}));
  EXPECT_EQ(popup->PopupComponent, panel);

  // Without AutoPopup the click shows nothing.
  popup->AutoPopup = false;
  clicks_.clear();
  InjectMouseButton(TMouseButton::Right, true, at.X, at.Y);
  InjectMouseButton(TMouseButton::Right, false, at.X, at.Y);
  Application->ProcessMessages();
  EXPECT_TRUE(clicks_.empty());
  // Freeing the menu clears the control's reference.
  delete popup;
  EXPECT_EQ(panel->PopupMenu(), nullptr);
}

TEST_F(VclMenuTest, OwnerDrawnItemsGoThroughTheirHandlersWithACanvas) {
  auto* popup = Find<TPopupMenu>("PopupMenu1");
  auto* add = Find<TMenuItem>("mnuAdd");
  int measured = 0;
  std::vector<bool> selectedStates;
  add->OnMeasureItem = [&](TObject*, TCanvas* c, int& w, int& h) {
    ++measured;
    EXPECT_NE(c, nullptr);
    w = 120;
    h = 26;
  };
  add->OnAdvancedDrawItem = [&](TObject*, TCanvas* c, TRect r, TOwnerDrawState s) {
    selectedStates.push_back(s.Contains(odSelected));
    c->Brush()->SetColor(s.Contains(odSelected) ? clRed : clLime);
    c->FillRect(r);
  };
  add->SetCaption("Add");  // the menu learns that the item draws itself
  RECT r{};
  IdleScript script(PopupListWindow());
  script.steps = {[&] {
    GetMenuItemRect(PopupListWindow(), popup->Handle(), 0, &r);
    Key(VK_DOWN);
  }, [] { Key(VK_ESCAPE); }};
  popup->Popup(300, 300);
  EXPECT_GE(measured, 1);
  EXPECT_EQ(r.bottom - r.top, 26);
  ASSERT_GE(selectedStates.size(), 2u);
  EXPECT_FALSE(selectedStates.front());
  EXPECT_TRUE(selectedStates.back());  // redrawn selected after the key
  EXPECT_EQ(clicks_, (std::vector<std::string>{"popup"}));
}

// Presses vk with the modifier keys held, as a user would.
void Chord(const std::vector<int>& mods, int vk) {
  for (int m : mods) InjectKey(m, true);
  InjectKey(vk, true);
  Application->ProcessMessages();
  InjectKey(vk, false);
  for (int m : mods) InjectKey(m, false);
  Application->ProcessMessages();
}

TEST_F(VclMenuTest, ShortCutKeysRunEnabledVisibleItemsOfTheFormsAndTheControlsMenus) {
  auto* edit = new TEdit(form_);
  edit->SetParent(Find<TPanel>("Panel1"));
  edit->SetFocus();
  auto* open = Find<TMenuItem>("mnuOpen");
  auto* file = Find<TMenuItem>("mnuFile");
  Find<TMenuItem>("mnuRemove")->SetShortCut(ShortCut(VK_DELETE, TShiftState{ssShift}));
  struct Case {
    std::function<void()> setup;
    std::vector<int> mods;
    int vk;
    std::vector<std::string> clicks;
  };
  const Case cases[] = {
      {[] {}, {VK_CONTROL}, 'O', {"open"}},                      // the main menu's item
      {[] {}, {VK_SHIFT}, VK_DELETE, {"remove"}},                // the parent panel's popup menu
      {[] {}, {}, 'O', {}},                                      // without its modifier
      {[&] { open->SetEnabled(false); }, {VK_CONTROL}, 'O', {}},  // a disabled item
      {[&] {
         open->SetEnabled(true);
         file->SetEnabled(false);
       }, {VK_CONTROL}, 'O', {}},                                 // under a disabled parent
      {[&] {
         file->SetEnabled(true);
         open->SetVisible(false);
       }, {VK_CONTROL}, 'O', {}},                                 // a hidden item
  };
  for (const Case& c : cases) {
    clicks_.clear();
    c.setup();
    Chord(c.mods, c.vk);
    EXPECT_EQ(clicks_, c.clicks) << ShortCutToText(TShortCut(c.vk));
  }
  EXPECT_EQ(edit->Text(), "");
}

TEST_F(VclMenuTest, AltAndF10EnterTheBarWhereArrowsWalkAndEscapeLeaves) {
  auto* help = new TMenuItem(form_);
  help->SetCaption("&Help");
  auto* about = new TMenuItem(form_);
  about->SetCaption("&About");
  about->OnClick = [this](TObject*) { clicks_.push_back("about"); };
  help->Add(about);
  Find<TMainMenu>("MainMenu1")->Items()->Add(help);
  HMENU bar = GetMenu(form_->Handle());
  SetFocus(form_->Handle());
  auto hot = [bar] {
    std::string s;
    for (int i = 0; i < GetMenuItemCount(bar); ++i) s += (GetMenuState(bar, UINT(i), MF_BYPOSITION) & MF_HILITE) ? '1' : '0';
    RECT r;
    return s + (GetMenuItemRect(nullptr, GetSubMenu(bar, 1), 0, &r) ? "+help" : "");
  };
  std::vector<std::string> seen;
  IdleScript script(form_->Handle());
  // Alt alone: the bar's first item, no popup; Right moves along, Down opens, Enter chooses.
  script.steps = {[&] { seen.push_back(hot()); Key(VK_RIGHT); },
                  [&] { seen.push_back(hot()); Key(VK_DOWN); },
                  [&] { seen.push_back(hot()); Key(VK_RETURN); }};
  Key(VK_MENU);
  Application->ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::string>{"10", "01", "01+help"}));
  EXPECT_EQ(clicks_, (std::vector<std::string>{"about"}));
  EXPECT_EQ(hot(), "00");
  // F10 too; Escape from a popup goes back to the bar, and again leaves it.
  seen.clear();
  clicks_.clear();
  script.steps = {[&] { seen.push_back(hot()); Key(VK_LEFT); },
                  [&] { seen.push_back(hot()); Key(VK_DOWN); },
                  [&] { seen.push_back(hot()); Key(VK_ESCAPE); },
                  [&] { seen.push_back(hot()); Key(VK_ESCAPE); }};
  Key(VK_F10);
  Application->ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::string>{"10", "01", "01+help", "01"}));
  EXPECT_TRUE(clicks_.empty());
  EXPECT_EQ(hot(), "00");
  // Alt with a letter opens that item's popup with its first item selected.
  script.steps = {[&] { Key(VK_RETURN); }};
  InjectKey(VK_MENU, true);
  InjectKey('F', true);
  InjectChar(U'f');
  InjectKey('F', false);
  InjectKey(VK_MENU, false);
  Application->ProcessMessages();
  Application->ProcessMessages();
  EXPECT_EQ(clicks_, (std::vector<std::string>{"open"}));
  EXPECT_EQ(hot(), "00");
}

TEST_F(VclMenuTest, ItemImagesComeFromTheParentsSubMenuImagesOrTheMenusImagesOrTheItemsBitmap) {
  auto solidList = [this](TColor colour) {
    auto* list = new TImageList(form_);
    TBitmap image;
    image.SetSize(16, 16);
    image.Canvas()->Brush()->SetColor(colour);
    image.Canvas()->FillRect(TRect(0, 0, 16, 16));
    list->AddMasked(&image, clLime);  // nothing of it is clear
    return list;
  };
  TImageList* red = solidList(clRed);
  TImageList* blue = solidList(clBlue);
  auto* popup = Find<TPopupMenu>("PopupMenu1");
  auto* add = Find<TMenuItem>("mnuAdd");
  popup->SetImages(red);
  add->SetImageIndex(0);
  Find<TMenuItem>("mnuRemove")->SetImageIndex(5);  // beyond the list: no image
  EXPECT_TRUE(GetMenuState(popup->Handle(), 0, MF_BYPOSITION) & MF_OWNERDRAW);
  EXPECT_FALSE(GetMenuState(popup->Handle(), 1, MF_BYPOSITION) & MF_OWNERDRAW);
  // The main menu: its Images, unless the parent item has SubMenuImages.
  auto* open = Find<TMenuItem>("mnuOpen");
  auto* main = Find<TMainMenu>("MainMenu1");
  main->SetImages(red);
  EXPECT_EQ(open->ImageList(), red);
  Find<TMenuItem>("mnuFile")->SetSubMenuImages(blue);
  EXPECT_EQ(open->ImageList(), blue);
  EXPECT_EQ(Find<TMenuItem>("mnuFile")->ImageList(), red);
  // An item's own bitmap draws instead.
  TBitmap lime;
  lime.SetSize(16, 16);
  lime.Canvas()->Brush()->SetColor(clLime);
  lime.Canvas()->FillRect(TRect(0, 0, 16, 16));
  Find<TMenuItem>("mnuRemove")->SetBitmap(&lime);
  // Drawn in the check column of the shown popup.
  std::vector<COLORREF> shown;
  IdleScript script(PopupListWindow());
  script.steps = {[&] {
    for (UINT pos : {0u, 1u}) {
      RECT r{};
      GetMenuItemRect(PopupListWindow(), popup->Handle(), pos, &r);
      const POINT p{r.left + 11, (r.top + r.bottom) / 2};
      HWND wnd = WindowFromPoint(p);
      RECT wr;
      GetWindowRect(wnd, &wr);
      shown.push_back(SurfacePixel(wnd, p.x - wr.left, p.y - wr.top));
    }
    Key(VK_ESCAPE);
  }};
  popup->Popup(300, 300);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], RGB(255, 0, 0));
  EXPECT_EQ(shown[1], RGB(0, 255, 0));
  // A freed list is forgotten.
  delete blue;
  EXPECT_EQ(open->ImageList(), red);
}

TEST(ShortCutTest, TextAndValuesConvertBothWays) {
  struct Case {
    TShortCut value;
    const char* text;
  };
  const Case cases[] = {{TShortCut(scCtrl | 'O'), "Ctrl+O"},        {TShortCut(VK_DELETE), "Del"},
                        {TShortCut(scShift | scCtrl | 'S'), "Shift+Ctrl+S"}, {TShortCut(VK_F1 + 4), "F5"},
                        {TShortCut(scAlt | VK_RETURN), "Alt+Enter"},  {scNone, ""}};
  for (const Case& c : cases) {
    EXPECT_EQ(ShortCutToText(c.value), c.text);
    EXPECT_EQ(TextToShortCut(c.text), c.value) << c.text;
  }
  EXPECT_EQ(ShortCut('O', TShiftState{ssCtrl}), TShortCut(scCtrl | 'O'));
  EXPECT_EQ(TextToShortCut("Ctrl+Nonsense"), scNone);
}

}  // namespace

// ---- File and folder dialogs over a folder tree of their own ----

namespace {

class DialogTest : public VclMenuTest {
 protected:
  void SetUp() override {
    VclMenuTest::SetUp();
    std::string dir = GetTempDir() + "tarnwick-dialogs-XXXXXX";
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    root_ = IncludeTrailingPathDelimiter(dir);
    for (const char* d : {"Clips", "Music"}) ForceDirectories(root_ + d);
    for (const char* f : {"Clips/a.MP4", "Clips/b.mkv", "Clips/notes.txt", "Music/song.mp3", "readme.TXT", ".hidden"})
      std::ofstream(root_ + f) << "x";
    SetFocus(form_->Handle());
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
    VclMenuTest::TearDown();
  }
  static HWND Child(HWND dlg, int id) {
    for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetWindowLongPtrW(c, GWLP_ID) == id) return c;
    return nullptr;
  }
  static std::vector<std::string> Listing(HWND dlg) {
    HWND list = Child(dlg, lst1);
    std::vector<std::string> out;
    const int n = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char buf[256];
      SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(buf));
      out.push_back(buf);
    }
    return out;
  }
  static void Type(const std::string& text) {
    for (char c : text) InjectChar(char32_t(static_cast<unsigned char>(c)));
  }
  // The dialog the idle notice is about.
  static HWND Dialog() { return GetActiveWindow(); }

  String root_;
};

TEST_F(DialogTest, TheOpenDialogNavigatesFiltersAndChoosesByKeyboard) {
  TOpenDialog dlg(form_);
  dlg.Filter = "Video|*.mp4;*.mkv|Text|*.txt|All|*.*";
  dlg.InitialDir = root_;
  dlg.Options.Include(ofFileMustExist);
  std::vector<std::vector<std::string>> seen;
  IdleScript script(form_->Handle());
  script.steps = {
      [&] {
        seen.push_back(Listing(Dialog()));
        SetFocus(Child(Dialog(), edt1));
        Type("Clips");
        Key(VK_RETURN);  // a typed folder opens
      },
      [&] {
        seen.push_back(Listing(Dialog()));
        SetFocus(Child(Dialog(), cmb1));
        Key(VK_DOWN);  // the second filter
      },
      [&] {
        seen.push_back(Listing(Dialog()));
        SetFocus(Child(Dialog(), edt1));
        Type("missing.txt");
        Key(VK_RETURN);  // refused with a message, the dialog stays
      },
      [&] {
        SetFocus(Child(Dialog(), lst1));
        Key(VK_DOWN);
        Key(VK_RETURN);
      },
  };
  ASSERT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.FileName, root_ + "Clips/notes.txt");
  EXPECT_EQ(dlg.Files()->Count(), 1);
  EXPECT_EQ(dlg.FilterIndex, 2);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::vector<std::string>{"Clips/", "Music/"}));  // no video here, nothing hidden
  EXPECT_EQ(seen[1], (std::vector<std::string>{"a.MP4", "b.mkv"}));   // masks ignore case
  EXPECT_EQ(seen[2], (std::vector<std::string>{"notes.txt"}));
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_NE(Headless().MessageBoxes()[0].Text.find("File not found."), std::string::npos);
  EXPECT_TRUE(IsWindowEnabled(form_->Handle()));
}

TEST_F(DialogTest, TheOpenDialogGoesUpCancelsAndTakesSeveralFiles) {
  TOpenDialog dlg(form_);
  dlg.Filter = "All|*.*";
  dlg.InitialDir = root_ + "Clips";
  dlg.Options.Include(ofAllowMultiSelect);
  std::vector<std::string> afterUp;
  IdleScript script(form_->Handle());
  script.steps = {[&] {
                    SetFocus(Child(Dialog(), lst1));
                    Key(VK_BACK);
                  },
                  [&] {
                    afterUp = Listing(Dialog());
                    Key(VK_ESCAPE);
                  }};
  EXPECT_FALSE(dlg.Execute());
  EXPECT_EQ(afterUp, (std::vector<std::string>{"Clips/", "Music/", "readme.TXT"}));
  script.steps = {[&] {
    Type("\"a.MP4\" \"b.mkv\"");
    Key(VK_RETURN);
  }};
  ASSERT_TRUE(dlg.Execute());
  ASSERT_EQ(dlg.Files()->Count(), 2);
  EXPECT_EQ(dlg.Files()->Strings(0), root_ + "Clips/a.MP4");
  EXPECT_EQ(dlg.Files()->Strings(1), root_ + "Clips/b.mkv");
}

struct BrowseLog {
  static inline std::vector<std::string> notices;
  static inline std::string initial;
  static inline WNDPROC previous = nullptr;
  static inline bool sized = false;
  static LRESULT Subclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SIZE && !sized) {
      sized = true;
      const LRESULT r = CallWindowProcW(previous, w, m, wp, lp);
      SetWindowPos(w, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return r;
    }
    return CallWindowProcW(previous, w, m, wp, lp);
  }
  static int Callback(HWND wnd, UINT msg, LPARAM lp, LPARAM) {
    char path[MAX_PATH * 2] = "";
    switch (msg) {
      case BFFM_INITIALIZED:
        notices.push_back("init");
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(wnd, GWLP_WNDPROC, LONG_PTR(reinterpret_cast<uintptr_t>(&Subclass))));
        PostMessageW(wnd, BFFM_SETSELECTIONW, TRUE, LPARAM(initial.c_str()));
        return 0;
      case BFFM_SELCHANGED:
        SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lp), path);
        notices.push_back(std::string("sel ") + ExtractFileName(path));
        return 0;
      case BFFM_VALIDATEFAILEDW:
        notices.push_back(std::string("invalid ") + reinterpret_cast<const char*>(lp));
        return 1;
    }
    return 0;
  }
};

TEST_F(DialogTest, TheFolderBrowserStartsWhereItIsToldAndIsSubclassedBeforeItsFirstSize) {
  BrowseLog::notices.clear();
  BrowseLog::sized = false;
  BrowseLog::initial = root_ + "Music";
  PIDLIST_ABSOLUTE rootList = nullptr;
  ASSERT_EQ(SHParseDisplayName(root_.c_str(), nullptr, &rootList, 0, nullptr), S_OK);
  char name[MAX_PATH] = "";
  BROWSEINFOW bi;
  bi.hwndOwner = form_->Handle();
  bi.pidlRoot = rootList;
  bi.pszDisplayName = name;
  bi.lpszTitle = "Select Output Folder";
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_VALIDATE;
  bi.lpfn = &BrowseLog::Callback;
  std::string pathShown;
  RECT placed{};
  IdleScript script(form_->Handle());
  script.steps = {
      [&] {
        char buf[512];
        GetWindowTextW(Child(Dialog(), edt2), buf, sizeof(buf));
        pathShown = buf;
        GetWindowRect(Dialog(), &placed);
        Key(VK_ESCAPE);
      },
      [&] {
        SendMessageW(Child(Dialog(), psh1), BM_CLICK, 0, 0);  // at the root already
        SetFocus(Child(Dialog(), edt1));
        Type("nowhere");
        Key(VK_RETURN);  // refused by validation, the browser stays
      },
      [&] {
        SetFocus(Child(Dialog(), lst1));
        Key(VK_HOME);  // "Clips/"
        Key(VK_RETURN);
      },
  };
  // Escape ends the first run; the second goes up, is refused a typed name and takes a folder from the list.
  EXPECT_EQ(SHBrowseForFolderW(&bi), nullptr);
  EXPECT_EQ(pathShown, root_ + "Music/");
  EXPECT_EQ(placed.left, 5);
  EXPECT_EQ(placed.top, 5);
  BrowseLog::sized = false;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  ASSERT_NE(chosen, nullptr);
  char path[MAX_PATH * 2];
  ASSERT_TRUE(SHGetPathFromIDListW(chosen, path));
  EXPECT_EQ(std::string(path), root_ + "Clips");
  EXPECT_STREQ(name, "Clips");
  EXPECT_NE(std::find(BrowseLog::notices.begin(), BrowseLog::notices.end(), "invalid nowhere"), BrowseLog::notices.end());
  EXPECT_NE(std::find(BrowseLog::notices.begin(), BrowseLog::notices.end(), "sel Clips"), BrowseLog::notices.end());
  EXPECT_EQ(BrowseLog::notices.front(), "init");
  ILFree(chosen);
  ILFree(rootList);
}

TEST_F(DialogTest, TheNewStyleFolderBrowserMakesFoldersWhereItStands) {
  PIDLIST_ABSOLUTE rootList = nullptr;
  ASSERT_EQ(SHParseDisplayName(root_.c_str(), nullptr, &rootList, 0, nullptr), S_OK);
  BROWSEINFOW bi;
  bi.hwndOwner = form_->Handle();
  bi.pidlRoot = rootList;
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  auto make = [] { SendMessageW(Child(Dialog(), psh2), BM_CLICK, 0, 0); };
  std::vector<std::string> listing;
  IdleScript script(form_->Handle());
  script.steps = {
      make,  // "New folder"
      make,  // the edit box names the selected folder, which exists: numbered
      [&] {
        SetWindowTextW(Child(Dialog(), edt1), "Renders");
        make();
      },
      [&] {
        listing = Listing(Dialog());
        Key(VK_RETURN);  // the new folder is selected
      },
  };
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
  ASSERT_NE(chosen, nullptr);
  char path[MAX_PATH * 2];
  ASSERT_TRUE(SHGetPathFromIDListW(chosen, path));
  EXPECT_EQ(std::string(path), root_ + "Renders");
  ILFree(chosen);
  for (const char* made : {"New folder", "New folder (2)", "Renders"}) {
    EXPECT_TRUE(DirectoryExists(root_ + made)) << made;
    EXPECT_NE(std::find(listing.begin(), listing.end(), std::string(made) + "/"), listing.end()) << made;
  }
  // The old style, or BIF_NONEWFOLDERBUTTON, has no such button.
  for (UINT flags : {UINT(BIF_RETURNONLYFSDIRS), UINT(BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON)}) {
    bi.ulFlags = flags;
    bool button = true;
    script.steps = {[&] {
      button = Child(Dialog(), psh2) != nullptr;
      Key(VK_ESCAPE);
    }};
    EXPECT_EQ(SHBrowseForFolderW(&bi), nullptr);
    EXPECT_FALSE(button) << flags;
  }
  ILFree(rootList);
}

}  // namespace
