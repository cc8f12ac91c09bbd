#pragma once
// The options dialog: one input file's conversion choices, with its
// description, a frame preview on a track bar and clip marks. One instance
// serves the whole run; the choices stay from one file to the next, the
// preview and the marks are reset for each file.

#include <memory>

#include "app/FormLocal.h"
#include "app/OptionFrmPreview.h"
#include "app/OptionFrmText.h"

class TfrmOption : public TFormlocal {
 public:
  explicit TfrmOption(TComponent* AOwner);
  ~TfrmOption() override;
  void DoLocalize() override;

  // Clears the preview; with AResetCutClip also the duration, steps and clip marks.
  void ClearFrameView(bool AResetCutClip);
  // Attaches the inspection decoder with its file open (not owned).
  void SetDecoder(TFFDecoder* Decoder);
  // A stand-in decoder for the preview alone (tests).
  void SetPreviewDecoder(IPreviewDecoder* Decoder);
  void BuildInputOptions(TInputOptions& Options);
  void BuildOutputOptions(TOutputOptions& Options);
  // The dialog's choices as its controls hold them.
  TOptionChoices ReadChoices();

  TPreviewCore& Preview() { return FPreview; }
  String FMesImg;           // the watermark chooser's first folder
  String FSSameAsInput;     // the output folder text meaning "the input's folder"
  // Another row already holds this output name.
  std::function<bool(const String&)> NameHeld;
  // The folder dialog, starting at Folder: true with Folder chosen. The
  // window that makes the dialog provides it (tests answer it themselves).
  std::function<bool(const String& Caption, String& Folder)> ChooseFolder;
  // A line for the program's log.
  std::function<void(const String&)> OnLog;
  // The watermark chooser starting in InitialDir: true with FileName chosen.
  std::function<bool(const String& InitialDir, String& FileName)> ChooseWatermark;

 private:
  void RegisterHandlers();
  // Copies the preview's state into its controls.
  void ShowPreview();
  TSourceFacts SourceFacts();
  String InputFolder();
  // Shows why Folder cannot take the outputs (OpticalText for an optical
  // drive) and answers true; false when it can.
  bool RefuseOutputFolder(const String& Folder, const String& OpticalText);

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void NumKeyPress(TObject* Sender, char32_t& Key);
  void Image1Click(TObject* Sender);
  void TrackBar1Change(TObject* Sender);
  void btnStartTimeClick(TObject* Sender);
  void btnEndTimeClick(TObject* Sender);
  void btnNextFrameClick(TObject* Sender);
  void btnOutPathClick(TObject* Sender);
  void BtnChooseWaterMarkClick(TObject* Sender);
  void mmoAVFileInfoMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void chkCutClipClick(TObject* Sender);
  void CheckBoxClick(TObject* Sender);
  void ResetClick(TObject* Sender);

  TPreviewCore FPreview;
  TFFDecoder* FDecoder = nullptr;
  std::unique_ptr<TDecoderPreview> FDecoderPreview;
  bool FCharge = false;
  bool FirstShow = true;
  bool FMirroring = false;  // the dialog itself is setting the preview's controls
};

// The full watermark picture name the builder puts into the filter graph.
extern String WaterMarkFile;
