// The preview window of a task.

#include "media/Previewer.h"

#include "media/FFUtils.h"
#include "platform/os/Threads.h"

TPreviewerForm::TPreviewerForm(TComponent* AOwner) : TForm(AOwner) {}

void TPreviewerForm::SetFrame(TBitmap* ABitmap) { FFrame.Assign(ABitmap); }

void TPreviewerForm::Paint() {
  if (!FFrame.Empty()) Canvas()->Draw(0, 0, &FFrame);
  TForm::Paint();
}

void TPreviewerForm::WndProc(TMessage& Message) {
  if (Message.Msg == WM_LBUTTONDOWN) {
    // A press on the picture drags the window, as a press on a caption would.
    POINT p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    ::ClientToScreen(Handle(), &p);
    ReleaseCapture();
    Perform(WM_NCLBUTTONDOWN, WPARAM(HTCAPTION), PointToLParam(p));
    return;
  }
  TForm::WndProc(Message);
}

TPreviewer::~TPreviewer() {
  if (!FForm) return;
  TPreviewerForm* form = FForm;
  FForm = nullptr;
  CallInMainThread([form] { delete form; });
}

bool TPreviewer::PaintFrame(TBitmap* ABitmap, int AFrameNumber, int64_t APTS) {
  if (FClosed.load()) return false;
  FBitmap = ABitmap;
  FFrameNumber = AFrameNumber;
  FPTS = APTS;
  CallInMainThread([this] { PaintStep(); });
  return !FClosed.load();
}

void TPreviewer::PaintStep() {
  if (FClosed.load()) return;
  if (!FForm) {
    auto* form = new TPreviewerForm(nullptr);
    form->SetFormStyle(fsStayOnTop);
    form->SetBorderStyle(bsToolWindow);
    form->SetBorderIcons(TBorderIcons{biSystemMenu});
    form->SetPosition(poScreenCenter);
    form->OnCloseQuery = [this](TObject*, bool& CanClose) {
      FClosed.store(true);
      CanClose = true;
    };
    if (FBitmap) {
      form->SetClientWidth(FBitmap->Width());
      form->SetClientHeight(FBitmap->Height());
    }
    FForm = form;
  }
  FForm->SetCaption(DurationToText(FPTS));
  if (!FForm->Visible()) FForm->Show();
  if (FBitmap) {
    FForm->SetFrame(FBitmap);
    FForm->Canvas()->Draw(0, 0, FBitmap);
  }
  // Hand the window DC back so that the frame reaches the screen now.
  if (auto* canvas = dynamic_cast<TControlCanvas*>(FForm->Canvas())) canvas->FreeHandle();
}
