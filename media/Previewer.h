#pragma once
// The floating preview window: shows the frames a task encodes, painted on
// the main thread whichever thread hands them in. Once the user closes the
// window, the previewer refuses frames.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/vcl/Forms.h"

// A small stay-on-top tool window that can be dragged by its picture.
class TPreviewerForm : public TForm {
 public:
  explicit TPreviewerForm(TComponent* AOwner);
  // Keeps a copy of the frame so that a later repaint shows it again.
  void SetFrame(TBitmap* ABitmap);

 protected:
  void WndProc(TMessage& Message) override;
  void Paint() override;

 private:
  TBitmap FFrame;
};

class TPreviewer {
 public:
  TPreviewer() = default;
  // Frees the window on the main thread.
  ~TPreviewer();
  TPreviewer(const TPreviewer&) = delete;
  TPreviewer& operator=(const TPreviewer&) = delete;

  // Called on a worker (or the main) thread: stores the frame and paints it on
  // the main thread, waiting until that is done, so ABitmap need only live
  // until this returns. True while the window is open, false once the user
  // has closed it (nothing is painted then and no window is made).
  bool PaintFrame(TBitmap* ABitmap, int AFrameNumber, int64_t APTS);

  // The window (main thread only), or nullptr before the first frame.
  TPreviewerForm* Form() const { return FForm; }
  bool Closed() const { return FClosed.load(); }

 private:
  void PaintStep();

  TPreviewerForm* FForm = nullptr;
  std::atomic<bool> FClosed{false};
  // Set by PaintFrame; read by the paint step while the caller waits.
  TBitmap* FBitmap = nullptr;
  int FFrameNumber = 0;
  int64_t FPTS = 0;
};
