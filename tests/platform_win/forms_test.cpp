// Forms and the application: window procedure chaining, form events and
// styles, the message loop with main-thread calls, Terminate and error boxes.

#include <chrono>
#include <thread>

#include "platform/vcl/ExtCtrls.h"
#include "tests/platform_win/WinTestUtil.h"

namespace {

class FormsTest : public WindowTest {};

TEST_F(FormsTest, FirstCreatedFormIsMainFormAndEventsFireInOrder) {
  std::vector<std::string> events;
  TForm* first = nullptr;
  TForm* second = nullptr;
  Application->CreateForm(first);
  Application->CreateForm(second);
  EXPECT_EQ(Application->MainForm(), first);
  EXPECT_EQ(Screen->FormCount(), 2);
  second->OnShow = [&](TObject*) { events.push_back("show"); };
  second->OnCloseQuery = [&](TObject*, bool& can) {
    events.push_back("closequery");
    can = events.size() > 2;  // refuse the first time
  };
  second->OnClose = [&](TObject*, TCloseAction& action) {
    events.push_back("close");
    EXPECT_EQ(action, caHide);
  };
  second->OnDestroy = [&](TObject*) { events.push_back("destroy"); };
  second->SetCaption("Second");
  second->Show();
  EXPECT_TRUE(IsWindowVisible(second->Handle()));
  char text[32];
  GetWindowTextW(second->Handle(), text, sizeof(text));
  EXPECT_STREQ(text, "Second");
  second->Close();
  EXPECT_TRUE(second->Visible());
  // Closing through the window (the frame's close button sends WM_CLOSE).
  SendMessageW(second->Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(second->Visible());
  EXPECT_FALSE(IsWindowVisible(second->Handle()));
  EXPECT_FALSE(Application->Terminated());
  delete second;
  EXPECT_EQ(events, (std::vector<std::string>{"show", "closequery", "closequery", "close", "destroy"}));
  // Closing the main form ends the application.
  first->Close();
  EXPECT_TRUE(Application->Terminated());
  delete first;
  EXPECT_EQ(Screen->FormCount(), 0);
}

// A form whose OnDestroy handler needs the derived form's own members.
class NotesForm : public TForm {
 public:
  explicit NotesForm(TComponent* AOwner) : TForm(AOwner) {}
  ~NotesForm() override { Notes.clear(); }
  std::vector<std::string> Notes{"unsaved"};
};

TEST_F(FormsTest, ApplicationWindowIsHiddenAndItsHooksSeeMessagesFirst) {
  HWND app = Application->Handle();
  ASSERT_TRUE(IsWindow(app));
  EXPECT_EQ(Application->Handle(), app);
  EXPECT_FALSE(IsWindowVisible(app));
  EXPECT_EQ(GetParent(app), nullptr);
  char cls[32];
  GetClassNameW(app, cls, sizeof(cls));
  EXPECT_STREQ(cls, "TApplication");

  // Hooks run in the order added; the first to answer true consumes the
  // message and its Result is what the sender gets.
  std::vector<std::string> seen;
  int a = 0, b = 0;
  Application->HookMainWindow(&a, [&](TMessage& m) {
    if (m.Msg == WM_USER + 1) seen.push_back("a");
    return false;
  });
  Application->HookMainWindow(&b, [&](TMessage& m) {
    if (m.Msg != WM_USER + 1) return false;
    seen.push_back("b");
    m.Result = 42;
    return m.WParam == 1;
  });
  EXPECT_EQ(SendMessageW(app, WM_USER + 1, 1, 0), 42);
  EXPECT_EQ(SendMessageW(app, WM_USER + 1, 0, 0), 0);  // not consumed: the window's own answer
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "a", "b"}));
  Application->UnhookMainWindow(&b);
  seen.clear();
  EXPECT_EQ(SendMessageW(app, WM_USER + 1, 1, 0), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"a"}));

  // Activation of the program arrives as CM_ACTIVATE / CM_DEACTIVATE posted
  // to the application window, once per switch.
  std::vector<UINT> cms;
  Application->HookMainWindow(&b, [&](TMessage& m) {
    if (m.Msg == CM_ACTIVATE || m.Msg == CM_DEACTIVATE) cms.push_back(m.Msg);
    return false;
  });
  TForm f(Application);
  ShowForm(f);
  f.Hide();  // nothing else to activate: the program loses activation
  Application->ProcessMessages();
  EXPECT_EQ(cms, (std::vector<UINT>{CM_ACTIVATE, CM_DEACTIVATE}));
  // A hook may take itself out while it runs.
  Application->HookMainWindow(&cms, [&](TMessage&) {
    Application->UnhookMainWindow(&cms);
    return true;
  });
  EXPECT_EQ(SendMessageW(app, WM_USER + 2, 0, 0), 0);
  Application->UnhookMainWindow(&a);
  Application->UnhookMainWindow(&b);
}

TEST_F(FormsTest, CopyDataCarriesItsBytesToTheReceiver) {
  HWND app = Application->Handle();
  std::string got;
  Application->HookMainWindow(&got, [&](TMessage& m) {
    if (m.Msg != WM_COPYDATA) return false;
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(m.LParam);
    got.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    m.Result = LRESULT(cds->dwData);
    return true;
  });
  char text[] = "preview";
  COPYDATASTRUCT cds{7, 7, text};
  EXPECT_EQ(SendMessageW(app, WM_COPYDATA, 0, LPARAM(&cds)), 7);
  EXPECT_EQ(got, "preview");
  Application->UnhookMainWindow(&got);
  EXPECT_EQ(WM_DWMSENDICONICTHUMBNAIL, 0x0323u);
  EXPECT_EQ(WM_DWMSENDICONICLIVEPREVIEWBITMAP, 0x0326u);
}

TEST_F(FormsTest, OnDestroySeesTheDerivedFormWhole) {
  std::vector<std::string> seen;
  auto watch = [&](NotesForm* f) {
    f->OnDestroy = [&seen](TObject* Sender) {
      auto* form = dynamic_cast<NotesForm*>(Sender);
      seen.push_back(form ? form->Notes.at(0) : "gone");
    };
  };
  // Freed directly, and freed with its owner.
  NotesForm* alone = new NotesForm(nullptr);
  watch(alone);
  delete alone;
  auto owner = std::make_unique<TComponent>(nullptr);
  watch(new NotesForm(owner.get()));
  owner.reset();
  // Out of scope: once, from the form's own part.
  {
    NotesForm local(nullptr);
    local.OnDestroy = [&seen](TObject*) { seen.push_back("local"); };
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"unsaved", "unsaved", "local"}));
}

TEST_F(FormsTest, ReplacedWindowProcSeesMessagesAndCanBeRestored) {
  TForm form(nullptr);
  std::vector<UINT> seen;
  TWndMethod saved = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    seen.push_back(m.Msg);
    if (m.Msg == WM_NCHITTEST) {
      m.Result = HTCAPTION;  // answered without the form
      return;
    }
    saved(m);
  };
  form.Show();
  EXPECT_NE(std::find(seen.begin(), seen.end(), UINT(WM_CREATE)), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), UINT(WM_SHOWWINDOW)), seen.end());
  RECT r;
  GetWindowRect(form.Handle(), &r);
  const LPARAM centre = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_EQ(SendMessageW(form.Handle(), WM_NCHITTEST, 0, centre), HTCAPTION);
  form.WindowProc = saved;
  seen.clear();
  EXPECT_EQ(SendMessageW(form.Handle(), WM_NCHITTEST, 0, centre), HTCLIENT);
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(TWinControl::FindControl(form.Handle()), &form);
}

TEST_F(FormsTest, BorderStylesPositionAndStayOnTop) {
  TForm tool(nullptr);
  tool.SetBorderStyle(bsToolWindow);
  tool.SetBorderIcons(TBorderIcons{biSystemMenu});
  tool.SetFormStyle(fsStayOnTop);
  tool.SetPosition(poScreenCenter);
  tool.SetClientWidth(160);
  tool.SetClientHeight(120);
  TForm plain(nullptr);
  plain.Show();
  tool.Show();
  plain.BringToFront();
  HWND h = tool.Handle();
  const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
  const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX), LONG_PTR(WS_CAPTION | WS_SYSMENU));
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(ex & WS_EX_TOPMOST);
  EXPECT_EQ(tool.ClientWidth(), 160);
  EXPECT_EQ(tool.ClientHeight(), 120);
  // Centred on the 1024 x 768 screen of the headless backend.
  EXPECT_EQ(tool.Left(), (1024 - tool.Width()) / 2);
  EXPECT_EQ(tool.Top(), (768 - tool.Height()) / 2);
  EXPECT_EQ(GetTopWindow(nullptr), h);  // stays above the plain form brought to front
  EXPECT_EQ(Screen->MonitorCount(), 1);
  EXPECT_TRUE(Screen->Monitors(0).Primary);
}

TEST_F(FormsTest, OnPaintDrawsOnTheFormCanvas) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 50, 40);
  form.OnPaint = [&](TObject*) {
    form.Canvas()->Brush()->SetColor(clRed);
    form.Canvas()->FillRect(Rect(0, 0, 10, 10));
  };
  form.SetColor(clWhite);
  form.Show();
  Application->ProcessMessages();
  EXPECT_EQ(SurfacePixel(form.Handle(), 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(SurfacePixel(form.Handle(), 20, 20), RGB(255, 255, 255));
}

TEST_F(FormsTest, RunServesWorkerCallsUntilTerminate) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  TThreadID servedOn = 0;
  TAnonymousThread worker([&] {
    CallInMainThread([&] { servedOn = GetCurrentThreadId(); });
    CallInMainThread([&] { Application->Terminate(); });
  });
  Application->Run();
  worker.WaitFor();
  EXPECT_EQ(servedOn, MainThreadID());
  EXPECT_TRUE(Application->Terminated());
  delete main;
}

TEST_F(FormsTest, TerminateInsideNestedProcessMessagesEndsRun) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  std::vector<UINT> seen;
  Application->OnMessage = [&](MSG& m, bool& handled) {
    if (m.message == WM_USER + 1) {
      seen.push_back(m.message);
      PostMessageW(main->Handle(), WM_USER + 2, 0, 0);
      Application->ProcessMessages();
      handled = true;
    } else if (m.message == WM_USER + 2) {
      seen.push_back(m.message);
      Application->Terminate();
      handled = true;
    }
  };
  main->Show();
  PostMessageW(main->Handle(), WM_USER + 1, 0, 0);
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
  delete main;
}

TEST_F(FormsTest, NestedWaitsRunTheMessageFilterAndTheQuitRequestEndsTheApplication) {
  TForm form(nullptr);
  form.Show();
  int filtered = 0;
  Application->OnMessage = [&](MSG& m, bool&) { filtered += m.message == WM_USER; };
  PostMessageW(form.Handle(), WM_USER, 0, 0);
  TAnonymousThread worker([] { PostQuitMessage(0); });
  worker.WaitFor();  // a main-thread wait: pending messages are handled meanwhile
  ProcessPendingMessages();
  EXPECT_EQ(filtered, 1);
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(FormsTest, ExceptionsFromHandlersGoToTheErrorBox) {
  TForm form(nullptr);
  Application->SetTitle("Tarnwick");
  form.OnResize = [](TObject*) { throw Exception("Size refused"); };
  form.SetBounds(0, 0, 300, 200);
  form.Show();
  form.SetWidth(310);  // the exception stays inside the window procedure
  ASSERT_FALSE(Headless().MessageBoxes().empty());
  EXPECT_EQ(Headless().MessageBoxes().back().Text, "Size refused.");
  EXPECT_EQ(Headless().MessageBoxes().back().Caption, "Tarnwick");
  // Any box shown without a caption goes by the title too; "Error" while there is none.
  MessageBoxW(nullptr, "Plain", nullptr, MB_OK);
  EXPECT_EQ(Headless().MessageBoxes().back().Caption, "Tarnwick");
  Application->SetTitle("");
  MessageBoxW(nullptr, "Plain", nullptr, MB_OK);
  EXPECT_EQ(Headless().MessageBoxes().back().Caption, "Error");
  Application->SetTitle("Tarnwick");
  Headless().ClearMessageBoxes();
  // From the loop itself (a queued main-thread call that throws).
  TForm* main = nullptr;
  Application->CreateForm(main);
  QueueInMainThread([] { throw Exception("Queued failure"); });
  QueueInMainThread([] { Application->Terminate(); });
  Application->Run();
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_EQ(Headless().MessageBoxes()[0].Text, "Queued failure.");
  delete main;
}

TEST_F(FormsTest, IdleLoopTellsControlsWhenTheMouseEntersAndLeaves) {
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 50, 50);
  form.Show();
  std::vector<UINT> seen;
  TWndMethod saved = form.WindowProc;
  form.WindowProc = [&](TMessage& m) {
    if (m.Msg == CM_MOUSEENTER || m.Msg == CM_MOUSELEAVE) seen.push_back(m.Msg);
    saved(m);
  };
  Application->OnIdle = [](TObject*, bool& done) { done = false; };  // idle without waiting
  Application->ProcessMessages();
  SetCursorPos(10, 10);
  Application->HandleMessage();
  Application->HandleMessage();
  SetCursorPos(500, 500);
  Application->HandleMessage();
  EXPECT_EQ(seen, (std::vector<UINT>{CM_MOUSEENTER, CM_MOUSELEAVE}));
  form.WindowProc = saved;
}

TEST_F(FormsTest, ShowModalDisablesOtherFormsAndKeepsTheCloseQueryRule) {
  TForm* main = nullptr;
  Application->CreateForm(main);
  main->Show();
  TForm dialog(nullptr);
  std::atomic<int> asked{0};
  dialog.OnCloseQuery = [&](TObject*, bool& can) { can = ++asked > 1; };  // refuses the first close
  bool mainDisabledMeanwhile = false;
  TAnonymousThread worker([&] {
    // A worker's call is served inside the modal loop.
    CallInMainThread([&] { mainDisabledMeanwhile = !IsWindowEnabled(main->Handle()); });
    CallInMainThread([&] { SendMessageW(dialog.Handle(), WM_CLOSE, 0, 0); });  // refused
    while (asked.load() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    CallInMainThread([&] { dialog.SetModalResult(mrOk); });
  });
  EXPECT_EQ(dialog.ShowModal(), mrOk);
  worker.WaitFor();
  EXPECT_TRUE(mainDisabledMeanwhile);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(dialog.Visible());
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_EQ(GetActiveWindow(), main->Handle());
  delete main;
}

TEST_F(FormsTest, GraphicChildrenPaintInTheParentAndGetItsMouse) {
  struct TSwatch : TGraphicControl {
    using TGraphicControl::TGraphicControl;
    void Paint() override {
      Canvas()->Brush()->SetColor(clBlue);
      Canvas()->FillRect(Rect(0, 0, Width(), Height()));
    }
  };
  TForm form(nullptr);
  form.SetBorderStyle(bsNone);
  form.SetBounds(0, 0, 60, 60);
  form.SetColor(clWhite);
  auto* swatch = new TSwatch(&form);
  swatch->SetBounds(10, 10, 20, 20);
  swatch->SetParent(&form);
  std::vector<TPoint> downs;
  int clicks = 0;
  swatch->OnMouseDown = [&](TObject*, TMouseButtonKind, TShiftState, int x, int y) { downs.push_back(TPoint(x, y)); };
  swatch->OnClick = [&](TObject*) { ++clicks; };
  form.Show();
  Application->ProcessMessages();
  EXPECT_EQ(SurfacePixel(form.Handle(), 15, 15), RGB(0, 0, 255));
  EXPECT_EQ(SurfacePixel(form.Handle(), 35, 35), RGB(255, 255, 255));
  InjectMouseButton(TMouseButton::Left, true, 12, 14);
  InjectMouseButton(TMouseButton::Left, false, 13, 14);
  InjectMouseButton(TMouseButton::Left, true, 40, 40);  // beside it: the form's own
  InjectMouseButton(TMouseButton::Left, false, 40, 40);
  Application->ProcessMessages();
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0], TPoint(2, 4));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace

TEST_F(FormsTest, PaintToDrawsTheControlAndItsChildrenAtAPoint) {
  TForm form(nullptr);
  form.SetColor(clRed);
  auto* panel = new TPanel(&form);
  panel->SetParent(&form);
  panel->SetBevelOuter(bvNone);
  panel->SetColor(clBlue);
  panel->SetBounds(10, 10, 30, 20);
  ShowForm(form, 100, 80);
  TBitmap out(120, 100);
  out.Canvas()->Brush()->SetColor(clWhite);
  out.Canvas()->FillRect(Rect(0, 0, 120, 100));
  form.PaintTo(out.Canvas()->Handle(), 5, 7);
  EXPECT_EQ(out.Canvas()->Pixels(2, 2), clWhite);
  EXPECT_EQ(out.Canvas()->Pixels(6, 8), clRed);
  EXPECT_EQ(out.Canvas()->Pixels(5 + 20, 7 + 15), clBlue);
  EXPECT_EQ(out.Canvas()->Pixels(5 + 99, 7 + 79), clRed);
  EXPECT_EQ(out.Canvas()->Pixels(5 + 100, 7 + 80), clWhite);
}

TEST_F(FormsTest, AFormThatNeverTakesActivationShowsWithoutIt) {
  TForm main(nullptr), popup(nullptr);
  ShowForm(main);
  popup.SetBorderStyle(bsNone);
  popup.SetBounds(50, 50, 100, 80);
  SetWindowLongPtrW(popup.Handle(), GWL_EXSTYLE, GetWindowLongPtrW(popup.Handle(), GWL_EXSTYLE) | WS_EX_NOACTIVATE);
  popup.Show();
  Application->ProcessMessages();
  EXPECT_TRUE(IsWindowVisible(popup.Handle()));
  EXPECT_EQ(GetActiveWindow(), main.Handle());
  // Shown again while visible: still not activated.
  popup.Hide();
  SetWindowPos(popup.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  popup.SetVisible(true);
  EXPECT_EQ(GetActiveWindow(), main.Handle());
  // Without the style a form is activated when shown.
  TForm plain(nullptr);
  plain.SetBorderStyle(bsNone);
  plain.Show();
  EXPECT_EQ(GetActiveWindow(), plain.Handle());
}
