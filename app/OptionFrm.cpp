#include "app/OptionFrm.h"

#include "app/ConverterText.h"
#include "app/Locale.h"
#include "platform/os/Files.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/RangeControls.h"
#include "platform/vcl/StdCtrls.h"

String WaterMarkFile;

namespace {

// The preview's empty colour (sky blue).
constexpr TColor SkyBlue = TColor(0xF0CAA6);

// The numeric edits, their defaults and the check box each belongs to.
struct TNumericEdit {
  const char* Edit;
  const char* Default;
  const char* CheckBox;
};
constexpr TNumericEdit NumericEdits[] = {
    {"edtAudioVolume", "256", "chkAudioVolume"}, {"edtVideoBitRate", "1500", nullptr},
    {"edtAudioBitRate", "320", nullptr},         {"edtRotate", "45", "chkRotate"},
    {"edtCropTop", "0", "chkCrop"},              {"edtCropBottom", "0", "chkCrop"},
    {"edtCropLeft", "0", "chkCrop"},             {"edtCropRight", "0", "chkCrop"},
    {"edtPadTop", "0", "chkPad"},                {"edtPadBottom", "0", "chkPad"},
    {"edtPadLeft", "0", "chkPad"},               {"edtPadRight", "0", "chkPad"},
};

// Which controls each check box enables.
struct TCheckBoxControls {
  const char* CheckBox;
  std::vector<const char*> Controls;
};
const TCheckBoxControls CheckBoxControls[] = {
    {"chkAudioVolume", {"edtAudioVolume"}},
    {"chkCrop", {"edtCropTop", "edtCropBottom", "edtCropLeft", "edtCropRight"}},
    {"chkPad", {"edtPadTop", "edtPadBottom", "edtPadLeft", "edtPadRight"}},
    {"chkRotate", {"edtRotate"}},
    {"chkBrightness", {"trbBrightness", "btnBrightness"}},
    {"chkSaturation", {"trbSaturation", "btnSaturation"}},
    {"chkHue", {"trbHue", "btnHue"}},
};

template <size_t N>
void FillItems(TStrings* Items, const char* const (&Texts)[N]) {
  Items->Clear();
  for (const char* t : Texts) Items->Add(t);
}

String KeyText(char32_t Key) {
  std::u32string one(1, Key);
  String out;
  for (char32_t c : one) {
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace


TfrmOption::TfrmOption(TComponent* AOwner) : TFormlocal(AOwner, "TfrmOption") {
  FSSameAsInput = "<same as input>";
  RegisterHandlers();
}

TfrmOption::~TfrmOption() = default;

void TfrmOption::RegisterHandlers() {
  THandlerRegistry& h = Handlers();
  const auto notify = [&](const char* Name, void (TfrmOption::*Method)(TObject*)) {
    h.Register(Name, TNotifyEvent([this, Method](TObject* s) { (this->*Method)(s); }));
  };
  notify("FormCreate", &TfrmOption::FormCreate);
  notify("FormShow", &TfrmOption::FormShow);
  notify("Image1Click", &TfrmOption::Image1Click);
  notify("TrackBar1Change", &TfrmOption::TrackBar1Change);
  notify("btnStartTimeClick", &TfrmOption::btnStartTimeClick);
  notify("btnEndTimeClick", &TfrmOption::btnEndTimeClick);
  notify("btnNextFrameClick", &TfrmOption::btnNextFrameClick);
  notify("btnOutPathClick", &TfrmOption::btnOutPathClick);
  notify("BtnChooseWaterMarkClick", &TfrmOption::BtnChooseWaterMarkClick);
  notify("chkCutClipClick", &TfrmOption::chkCutClipClick);
  for (const char* name : {"chkAudioVolumeClick", "chkCropClick", "chkPadClick", "chkRotateClick",
                           "chkBrightnessClick", "chkSaturationClick", "chkHueClick", "chkWaterMarkClick"})
    notify(name, &TfrmOption::CheckBoxClick);
  for (const char* name : {"btnBrightnessClick", "btnSaturationClick", "btnHueClick"})
    notify(name, &TfrmOption::ResetClick);
  h.Register("FormClose", TCloseEvent([this](TObject* s, TCloseAction& a) { FormClose(s, a); }));
  h.Register("FormCloseQuery", TCloseQueryEvent([this](TObject* s, bool& c) { FormCloseQuery(s, c); }));
  h.Register("NumKeyPress", TKeyPressEvent([this](TObject* s, char32_t& k) { NumKeyPress(s, k); }));
  h.Register("mmoAVFileInfoMouseMove",
             TMouseMoveEvent([this](TObject* s, TShiftState sh, int x, int y) { mmoAVFileInfoMouseMove(s, sh, x, y); }));
}

// ---------------------------------------------------------------------------
// Life cycle

void TfrmOption::FormCreate(TObject*) {
  FillItems(Named<TRadioGroup>("grpFormats").Items(), FormatItems);
  FillItems(Named<TRadioGroup>("grpNorm").Items(), NormItems);
  FillItems(Named<TRadioGroup>("grpAudioChannels").Items(), AudioChannelItems);
  FillItems(Named<TRadioGroup>("grpAudioSampleRate").Items(), AudioSampleRateItems);
  FillItems(Named<TComboBox>("cboFrameSize").Items(), FrameSizeItems);
  FillItems(Named<TRadioGroup>("grpFrameRate").Items(), FrameRateItems);
  FillItems(Named<TRadioGroup>("grpAspectRatio").Items(), AspectRatioItems);
  FillItems(Named<TRadioGroup>("grpAudioCodec").Items(), AudioCodecItems);
  FillItems(Named<TRadioGroup>("grpVideoCodec").Items(), VideoCodecItems);
  const TOptionChoices defaults;
  Named<TRadioGroup>("grpFormats").SetItemIndex(defaults.Format);
  Named<TRadioGroup>("grpNorm").SetItemIndex(defaults.Norm);
  Named<TRadioGroup>("grpAudioChannels").SetItemIndex(defaults.AudioChannels);
  Named<TRadioGroup>("grpAudioSampleRate").SetItemIndex(defaults.AudioSampleRate);
  Named<TRadioGroup>("grpFrameRate").SetItemIndex(defaults.FrameRate);
  Named<TRadioGroup>("grpAspectRatio").SetItemIndex(defaults.AspectRatio);
  Named<TRadioGroup>("grpAudioCodec").SetItemIndex(defaults.AudioCodec);
  Named<TRadioGroup>("grpVideoCodec").SetItemIndex(defaults.VideoCodec);
  TImage& image = Named<TImage>("Image1");
  image.Hint = "Click to view current picture in actual size";
  image.SetShowHint(true);
  Named<TEdit>("edtOutPath").SetTextValue(FSSameAsInput);
  ClearFrameView(true);
  FirstShow = true;
}

void TfrmOption::DoLocalize() {
  TFormlocal::DoLocalize();
  const TLocaleStringRecord& t = Tlocalestrings;
  SetCaption(t.frmOption_Caption);
  const std::pair<const char*, const String*> captions[] = {
      {"grpAVFileInfo", &t.grpAVFileInfo_Caption},   {"grpFormats", &t.grpFormats_Caption},
      {"grpNorm", &t.grpNorm_Caption},               {"grpAudioChannels", &t.grpAudioChannels_Caption},
      {"grpAudioSampleRate", &t.grpAudioSampleRate_Caption}, {"grpAudioVolume", &t.grpAudioVolume_Caption},
      {"grpFrameSize", &t.grpFrameSize_Caption},     {"grpFrameRate", &t.grpFrameRate_Caption},
      {"grpAspectRatio", &t.grpAspectRatio_Caption}, {"grpBitRate", &t.grpBitRate_Caption},
      {"grpPadCrop", &t.grpPadCrop_Caption},         {"grpCutClip", &t.grpCutClip_Caption},
      {"btnStartTime", &t.btnStartTime_Caption},     {"btnEndTime", &t.btnEndTime_Caption},
      {"btnNextFrame", &t.btnNextFrame_Caption},     {"chkCutClip", &t.chkCutClip_Caption},
      {"grpAudioCodec", &t.grpAudioCodec_Caption},   {"grpVideoCodec", &t.grpVideoCodec_Caption},
      {"grpHook", &t.grpHook_Caption},               {"grpVideoFilter", &t.grpVideoFilter_Caption},
      {"lblOutPath", &t.lblOutPath_Caption},         {"btnCancel", &t.btnCancel_Caption},
      {"btnOk", &t.btnOk_Caption},                   {"chkOverwrite", &t.chkOverwrite_Caption},
      {"chkHue", &t.chkHue_Caption},                 {"chkSaturation", &t.chkSaturation_Caption},
      {"chkBrightness", &t.chkBrightness_Caption},   {"chkNegate", &t.chkNegate_Caption},
      {"chkHoriFlip", &t.chkHoriFlip_Caption},       {"chkVertFlip", &t.chkVertFlip_Caption},
      {"chkWaterMark", &t.chkWaterMark_Caption},     {"chkDeinterlace", &t.chkDeinterlace_Caption},
      {"chkRotate", &t.chkRotate_Caption},           {"chkCrop", &t.chkCrop_Caption},
      {"chkPad", &t.chkPad_Caption},                 {"chkAudioVolume", &t.chkAudioVolume_Caption},
      {"lblTop", &t.lblTop_Caption},                 {"lblBottom", &t.lblBottom_Caption},
      {"lblLeft", &t.lblLeft_Caption},               {"lblRight", &t.lblRight_Caption},
  };
  for (const auto& [name, text] : captions) Named<TControl>(name).SetCaption(*text);
  FSSameAsInput = t.SSameAsInput;
  // A language change puts the output back into the input's folder.
  if (!FCharge) Named<TEdit>("edtOutPath").SetTextValue(FSSameAsInput);
  Named<TImage>("Image1").Hint = t.SViewActual;
}

void TfrmOption::FormShow(TObject*) {
  if (FirstShow) {
    FirstShow = false;
    Named<TComboBox>("cboFrameSize").SetItemIndex(0);
  }
  TRadioGroup& formats = Named<TRadioGroup>("grpFormats");
  const int i = formats.ItemIndex();
  if (formats.CanFocus() && i >= 0 && i < formats.ButtonCount()) formats.Buttons(i)->SetFocus();
}

void TfrmOption::FormClose(TObject*, TCloseAction&) {
  // Blank edits get their defaults back and their check box unchecked, so
  // that the next file starts from numbers the builder can use.
  for (const TNumericEdit& e : NumericEdits) {
    TEdit& edit = Named<TEdit>(e.Edit);
    if (!Trim(edit.Text()).empty()) continue;
    edit.SetTextValue(e.Default);
    if (e.CheckBox) Named<TCheckBox>(e.CheckBox).SetChecked(false);
  }
  if (Named<TCheckBox>("chkWaterMark").Checked() && Trim(Named<TEdit>("edtWaterMark").Text()).empty())
    Named<TCheckBox>("chkWaterMark").SetChecked(false);
}

void TfrmOption::FormCloseQuery(TObject*, bool& CanClose) {
  if (ModalResult() != mrOk) return;
  // Values the builder cannot use are refused here, where the user can mend them.
  const TChoiceProblem problem = CheckChoices(ReadChoices(), SourceFacts());
  if (!problem.Edit.empty()) {
    MessageBoxW(Handle(), problem.Message.c_str(), Application->Title().c_str(), MB_OK | MB_ICONWARNING);
    TEdit& edit = Named<TEdit>(problem.Edit.c_str());
    if (edit.CanFocus()) edit.SetFocus();
    CanClose = false;
    return;
  }
  const String out = Named<TEdit>("edtOutPath").Text();
  const String folder = out != FSSameAsInput ? out : InputFolder();
  if (!RefuseOutputFolder(folder, Tlocalestrings.CDROM1)) return;
  Named<TButton>("btnOutPath").SetFocus();
  CanClose = false;
}

bool TfrmOption::RefuseOutputFolder(const String& Folder, const String& OpticalText) {
  String text;
  switch (OutputFolderProblem(Folder)) {
    case ofpNone:
      return false;
    case ofpOptical:
      text = OpticalText;
      break;
    case ofpUnwritable:
      text = Format("The folder \"%s\" cannot be written. Please select another output folder.", {Folder});
      break;
  }
  MessageBoxW(Handle(), text.c_str(), Application->Title().c_str(), MB_OK | MB_ICONINFORMATION);
  return true;
}

String TfrmOption::InputFolder() {
  const String name = FPreview.Decoder() ? FPreview.Decoder()->FileName() : String();
  return ExtractFilePath(name);
}

// ---------------------------------------------------------------------------
// Preview

void TfrmOption::ClearFrameView(bool AResetCutClip) {
  FPreview.ClearFrameView(AResetCutClip);
  TBitmap* picture = Named<TImage>("Image1").Picture()->Bitmap();
  TImage& image = Named<TImage>("Image1");
  picture->SetSize(image.Width(), image.Height());
  picture->Canvas()->Brush()->SetColor(SkyBlue);
  picture->Canvas()->FillRect(TRect(0, 0, image.Width(), image.Height()));
  image.Invalidate();
  ShowPreview();
}

void TfrmOption::SetDecoder(TFFDecoder* Decoder) {
  if (!Decoder) return;
  if (Decoder != FDecoder) FDecoderPreview = std::make_unique<TDecoderPreview>(*Decoder);
  FDecoder = Decoder;
  SetPreviewDecoder(FDecoderPreview.get());
}

void TfrmOption::SetPreviewDecoder(IPreviewDecoder* Decoder) {
  FPreview.SetDecoder(Decoder);
  ShowPreview();
}

void TfrmOption::ShowPreview() {
  FMirroring = true;
  struct TDone {
    bool& Flag;
    ~TDone() { Flag = false; }
  } done{FMirroring};
  const TPreviewDisplay& d = FPreview.Display();
  TTrackBar& bar = Named<TTrackBar>("TrackBar1");
  // Enabled changes only when it must: disabling the bar in passing would take the
  // keyboard focus (and a press in progress) from the user moving it.
  bar.SetMax(d.Max);
  bar.SetFrequency(d.Frequency);
  bar.SetPageSize(d.PageSize);
  bar.SetSelStart(d.SelStart);
  bar.SetSelEnd(d.SelEnd);
  bar.SetPosition(d.Position);
  bar.SetEnabled(d.TrackEnabled);
  bar.SetSliderVisible(d.SliderVisible);
  Named<TLabel>("lblPTS").SetCaption(d.PTSText);
  Named<TEdit>("edtStartTime").SetTextValue(d.StartText);
  Named<TEdit>("edtEndTime").SetTextValue(d.EndText);
  TCheckBox& clip = Named<TCheckBox>("chkCutClip");
  clip.SetEnabled(d.CutClipEnabled);
  if (clip.Checked() != d.CutClipChecked) clip.SetChecked(d.CutClipChecked);
  TMemo& info = Named<TMemo>("mmoAVFileInfo");
  if (info.Text() != d.FileInfo) info.SetTextValue(d.FileInfo);
  TBitmap& shown = FPreview.Bitmap();
  if (shown.Width() > 0 && shown.Height() > 0) {
    TImage& image = Named<TImage>("Image1");
    TBitmap* picture = image.Picture()->Bitmap();
    picture->Canvas()->StretchDraw(FittedRect(shown.Width(), shown.Height(), picture->Width(), picture->Height()),
                                   &shown);
    image.Invalidate();
  }
}

void TfrmOption::TrackBar1Change(TObject*) {
  if (FMirroring) return;
  FPreview.TrackBarChange(Named<TTrackBar>("TrackBar1").Position());
  ShowPreview();
}

void TfrmOption::btnStartTimeClick(TObject*) {
  FPreview.SetStartMark();
  ShowPreview();
}

void TfrmOption::btnEndTimeClick(TObject*) {
  FPreview.SetEndMark();
  ShowPreview();
}

void TfrmOption::btnNextFrameClick(TObject*) {
  FPreview.NextFrame();
  ShowPreview();
}

void TfrmOption::chkCutClipClick(TObject*) {
  if (!FMirroring) FPreview.SetCutClipChecked(Named<TCheckBox>("chkCutClip").Checked());
}

void TfrmOption::Image1Click(TObject*) {
  TBitmap& shown = FPreview.Bitmap();
  if (shown.Width() <= 0 || shown.Height() <= 0) return;
  TForm viewer(this);
  viewer.SetBorderStyle(bsSingle);
  viewer.SetBorderIcons({biSystemMenu});
  viewer.SetPosition(poScreenCenter);
  viewer.SetCaption(Format("%dx%d @ %s", {shown.Width(), shown.Height(), FormatTimeStamp(FPreview.CurrentPTS())}));
  viewer.SetClientWidth(shown.Width());
  viewer.SetClientHeight(shown.Height());
  auto* image = new TImage(&viewer);
  image->SetParent(&viewer);
  image->SetBounds(0, 0, shown.Width(), shown.Height());
  image->Picture()->Bitmap()->Assign(&shown);
  image->OnClick = [&viewer](TObject*) { viewer.Close(); };
  // Enter and Escape close the window.
  auto* close = new TButton(&viewer);
  close->SetParent(&viewer);
  close->SetBounds(0, 0, 0, 0);
  close->SetDefault(true);
  close->SetCancel(true);
  close->SetModalResult(mrCancel);
  viewer.ShowModal();
}

// ---------------------------------------------------------------------------
// Edits, check boxes and choosers

void TfrmOption::NumKeyPress(TObject*, char32_t& Key) {
  if (IsNumericKey(Key)) return;
  const String text = Tlocalestrings.Invalid_key + ": " + KeyText(Key);
  Key = 0;
  MessageBoxW(Handle(), text.c_str(), Application->Title().c_str(), MB_OK | MB_ICONWARNING);
}

void TfrmOption::CheckBoxClick(TObject* Sender) {
  auto* box = dynamic_cast<TCheckBox*>(Sender);
  if (!box) return;
  if (box->GetName() == "chkWaterMark") {
    if (box->Checked() && Trim(Named<TEdit>("edtWaterMark").Text()).empty()) BtnChooseWaterMarkClick(box);
    return;
  }
  for (const TCheckBoxControls& c : CheckBoxControls) {
    if (box->GetName() != c.CheckBox) continue;
    for (const char* control : c.Controls) Named<TControl>(control).SetEnabled(box->Checked());
  }
}

void TfrmOption::ResetClick(TObject* Sender) {
  auto* button = dynamic_cast<TComponent*>(Sender);
  if (!button) return;
  if (button->GetName() == "btnBrightness") Named<TTrackBar>("trbBrightness").SetPosition(0);
  if (button->GetName() == "btnSaturation") Named<TTrackBar>("trbSaturation").SetPosition(10);
  if (button->GetName() == "btnHue") Named<TTrackBar>("trbHue").SetPosition(0);
}

void TfrmOption::BtnChooseWaterMarkClick(TObject*) {
  TEdit& edit = Named<TEdit>("edtWaterMark");
  TCheckBox& box = Named<TCheckBox>("chkWaterMark");
  const String current = Trim(edit.Text());
  const String initial = current.empty() ? FMesImg : ExtractFilePath(current);
  String chosen;
  // The box changes below without opening a second chooser.
  const TNotifyEvent onClick = box.OnClick;
  box.OnClick = nullptr;
  struct TRestore {
    TCheckBox& Box;
    TNotifyEvent OnClick;
    ~TRestore() { Box.OnClick = OnClick; }
  } restore{box, onClick};
  if (ChooseWatermark && ChooseWatermark(initial, chosen)) {
    edit.SetTextValue(chosen);
    WaterMarkFile = chosen;
    box.SetChecked(true);
  } else {
    box.SetChecked(false);
  }
}

void TfrmOption::btnOutPathClick(TObject*) {
  TEdit& out = Named<TEdit>("edtOutPath");
  String folder = IncludeTrailingPathDelimiter(out.Text() != FSSameAsInput ? out.Text() : InputFolder());
  if (!ChooseFolder || !ChooseFolder(Tlocalestrings.Select_Output_Folder, folder)) return;
  if (RefuseOutputFolder(folder, Tlocalestrings.CDROM2)) return;
  out.SetTextValue(IncludeTrailingPathDelimiter(folder));
}

void TfrmOption::mmoAVFileInfoMouseMove(TObject*, TShiftState, int, int) {
  TMemo& memo = Named<TMemo>("mmoAVFileInfo");
  memo.Hint = memo.Text();
}

// ---------------------------------------------------------------------------
// Option text

TOptionChoices TfrmOption::ReadChoices() {
  TOptionChoices c;
  c.Format = Named<TRadioGroup>("grpFormats").ItemIndex();
  c.Norm = Named<TRadioGroup>("grpNorm").ItemIndex();
  c.AudioChannels = Named<TRadioGroup>("grpAudioChannels").ItemIndex();
  c.AudioSampleRate = Named<TRadioGroup>("grpAudioSampleRate").ItemIndex();
  c.FrameSize = Named<TComboBox>("cboFrameSize").ItemIndex();
  c.FrameRate = Named<TRadioGroup>("grpFrameRate").ItemIndex();
  c.AspectRatio = Named<TRadioGroup>("grpAspectRatio").ItemIndex();
  c.AudioCodec = Named<TRadioGroup>("grpAudioCodec").ItemIndex();
  c.VideoCodec = Named<TRadioGroup>("grpVideoCodec").ItemIndex();
  const auto text = [&](const char* Name) { return Named<TEdit>(Name).Text(); };
  const auto checked = [&](const char* Name) { return Named<TCheckBox>(Name).Checked(); };
  c.AudioBitRate = text("edtAudioBitRate");
  c.VideoBitRate = text("edtVideoBitRate");
  c.AudioVolume = text("edtAudioVolume");
  c.Rotate = text("edtRotate");
  c.CropTop = text("edtCropTop");
  c.CropBottom = text("edtCropBottom");
  c.CropLeft = text("edtCropLeft");
  c.CropRight = text("edtCropRight");
  c.PadTop = text("edtPadTop");
  c.PadBottom = text("edtPadBottom");
  c.PadLeft = text("edtPadLeft");
  c.PadRight = text("edtPadRight");
  c.OutPath = text("edtOutPath");
  c.AudioVolumeOn = checked("chkAudioVolume");
  c.CutClipEnabled = Named<TCheckBox>("chkCutClip").Enabled();
  c.CutClip = checked("chkCutClip");
  c.Crop = checked("chkCrop");
  c.Pad = checked("chkPad");
  c.VertFlip = checked("chkVertFlip");
  c.HoriFlip = checked("chkHoriFlip");
  c.Deinterlace = checked("chkDeinterlace");
  c.Negate = checked("chkNegate");
  c.RotateOn = checked("chkRotate");
  c.Brightness = checked("chkBrightness");
  c.Saturation = checked("chkSaturation");
  c.Hue = checked("chkHue");
  c.BrightnessPosition = Named<TTrackBar>("trbBrightness").Position();
  c.SaturationPosition = Named<TTrackBar>("trbSaturation").Position();
  c.HuePosition = Named<TTrackBar>("trbHue").Position();
  c.WaterMark = checked("chkWaterMark");
  c.Overwrite = checked("chkOverwrite");
  c.AudioHook = checked("chkAudioHook");
  c.VideoInputHook = checked("chkVideoInputHook");
  c.VideoOutputHook = checked("chkVideoOutputHook");
  return c;
}

TSourceFacts TfrmOption::SourceFacts() {
  TSourceFacts s;
  if (IPreviewDecoder* d = FPreview.Decoder()) s.FileName = d->FileName();
  s.VideoStreamIndex = FPreview.VideoStreamIndex();
  if (FDecoder) {
    s.ForceFormat = FDecoder->ForceFormat();
    if (s.VideoStreamIndex >= 0) {
      const TVideoStreamInfo info = FDecoder->GetVideoStreamInfos(s.VideoStreamIndex);
      s.VideoWidth = info.Width;
      s.VideoHeight = info.Height;
    }
    s.FrameWidth = FDecoder->FrameInfo().Width;
    s.FrameHeight = FDecoder->FrameInfo().Height;
  }
  s.FirstPTS = FPreview.FirstPTS();
  s.StartTime = FPreview.StartTime();
  s.EndTime = FPreview.EndTime();
  return s;
}

void TfrmOption::BuildInputOptions(TInputOptions& Options) {
  ::BuildInputOptions(ReadChoices(), SourceFacts(), Options);
}

void TfrmOption::BuildOutputOptions(TOutputOptions& Options) {
  TOptionChoices choices = ReadChoices();
  TBuildEnv env = DefaultBuildEnv();
  env.SameAsInput = FSSameAsInput;
  env.WaterMarkFile = WaterMarkFile;
  if (NameHeld) env.NameHeld = NameHeld;
  env.Log = OnLog;
  ::BuildOutputOptions(choices, SourceFacts(), env, Options);
  // The disc formats may have switched the norm from "Auto" to "PAL".
  Named<TRadioGroup>("grpNorm").SetItemIndex(choices.Norm);
}
