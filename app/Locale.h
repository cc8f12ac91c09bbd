#pragma once
// The user-interface texts of every window, the registered languages and the
// choice between them.

#include <cstdint>
#include <vector>

#include "platform/rtl/SysUtils.h"

// Every text, in the catalogue's order: the field and its English text.
#define TARNWICK_LOCALE_STRINGS(X)                                              \
  X(Title, "Tarnwick")                                                          \
  X(mnuAdd_Caption, "Add")                                                      \
  X(mnuRemove_Caption, "Remove")                                                \
  X(mnuClear_Caption, "Clear")                                                  \
  X(mnuPlay_Caption, "Play")                                                    \
  X(mnuOpenFolder_Caption, "Open Folder")                                       \
  X(Column_0_Input, "Input")                                                    \
  X(Column_1_TotalTime, "Total Time")                                           \
  X(Column_2_FileSize, "File Size")                                             \
  X(Column_3_Output, "Output")                                                  \
  X(Column_4_Progress, "Progress")                                              \
  X(Column_5_FPS, "FPS")                                                        \
  X(Column_6_CurrentTime, "Current Time")                                       \
  X(Column_7_FileSize, "File Size")                                             \
  X(MChangeLangage, "Change Langage")                                           \
  X(GrpOption_Caption, "Options")                                               \
  X(grpLogLevel_Caption, "Log Level")                                           \
  X(LabelTasksCount_Caption, "Task count")                                      \
  X(chkPreview_Caption, "Preview")                                              \
  X(btnAdd_Caption, "Add")                                                      \
  X(btnRemove_Caption, "Remove")                                                \
  X(btnClear_Caption, "Clear")                                                  \
  X(btnStart_Caption, "Start")                                                  \
  X(btnStop_Caption, "Stop")                                                    \
  X(btnPause_Caption, "Pause")                                                  \
  X(btnResume_Caption, "Resume")                                                \
  X(btnExit_Caption, "Exit")                                                    \
  X(File_load_error, "File load error")                                         \
  X(File_open_error, "File open error")                                         \
  X(Cannot_do_convert_error, "Cannot do convert")                               \
  X(File_has_been_added_to_convert_list, "File has been added to convert list") \
  X(SHookFrameNumber, "Video Convert - Frame Number: %d")                       \
  X(SHookTimeStamp, "Video Convert - Time Stamp: %d")                           \
  X(SHookTextImage, "Video Convert")                                            \
  X(SHookReverseVertical, "Reverse Picture Vertically")                         \
  X(SHookReverseHorizontal, "Reverse Picture Horizontally")                     \
  X(lAllTasksFinished, "All Tasks Finished ")                                   \
  X(lFileConverted, "File Converted")                                           \
  X(_Site, "Website")                                                           \
  X(_Fermer, "Close")                                                           \
  X(_Aide, "About")                                                             \
  X(AutoLocale, "(Auto-select)")                                                \
  X(_LienMonSite, "https://tarnwick.example.org/")                              \
  X(frmOption_Caption, "Output Options")                                        \
  X(grpAVFileInfo_Caption, "Source Media File Info")                            \
  X(grpFormats_Caption, "Output Formats")                                       \
  X(grpNorm_Caption, "Norm(VCD/SVCD/DVD)")                                      \
  X(grpAudioChannels_Caption, "Audio Channel")                                  \
  X(grpAudioSampleRate_Caption, "Audio Sample Rate (Hz)")                       \
  X(grpAudioVolume_Caption, "Audio Volume")                                     \
  X(grpFrameSize_Caption, "Video Frame Size")                                   \
  X(grpFrameRate_Caption, "Video Frame Rate (FPS)")                             \
  X(grpAspectRatio_Caption, "Aspect Ratio")                                     \
  X(grpBitRate_Caption, "Bit Rate (Kbps)")                                      \
  X(grpPadCrop_Caption, "Crop and Pad")                                         \
  X(grpCutClip_Caption, "Cut a piece clip (seconds)")                           \
  X(btnStartTime_Caption, "Set Start")                                          \
  X(btnEndTime_Caption, "Set End")                                              \
  X(btnNextFrame_Caption, "Next Frame")                                         \
  X(chkCutClip_Caption, "Cut Clip")                                             \
  X(grpAudioCodec_Caption, "Audio Encoder")                                     \
  X(grpVideoCodec_Caption, "Video Encoder")                                     \
  X(grpHook_Caption, "Hook")                                                    \
  X(grpVideoFilter_Caption, "Video Filter")                                     \
  X(lblOutPath_Caption, "Output Folder")                                        \
  X(btnCancel_Caption, "Cancel")                                                \
  X(btnOk_Caption, "Ok")                                                        \
  X(chkOverwrite_Caption, "Overwrite Existing File")                            \
  X(chkHue_Caption, "Hue")                                                      \
  X(chkSaturation_Caption, "Saturation")                                        \
  X(chkBrightness_Caption, "Brightness")                                        \
  X(chkNegate_Caption, "Negate")                                                \
  X(chkHoriFlip_Caption, "Horizontally Flip")                                   \
  X(chkVertFlip_Caption, "Vertically Flip")                                     \
  X(chkWaterMark_Caption, "WaterMark (image overlay)")                          \
  X(chkDeinterlace_Caption, "Deinterlace")                                      \
  X(chkRotate_Caption, "Rotate")                                                \
  X(chkCrop_Caption, "Crop")                                                    \
  X(chkPad_Caption, "Pad")                                                      \
  X(chkAudioVolume_Caption, "Adjust Volume")                                    \
  X(lblTop_Caption, "Top")                                                      \
  X(lblBottom_Caption, "Bottom")                                                \
  X(lblLeft_Caption, "Left")                                                    \
  X(lblRight_Caption, "Right")                                                  \
  X(SSameAsInput, "<same as input>")                                            \
  X(SViewActual, "Click to view current picture in actual size")                \
  X(Invalid_key, "Invalid key")                                                 \
  X(Select_Output_Folder, "Select Output Folder")                               \
  X(Open_Watermark_Image, "Open Watermark Image")                               \
  X(CDROM1, "Input folder is located in CD-ROM, please select output folder.")  \
  X(CDROM2, "Output folder cannot be located in CD-ROM.")

struct TLocaleStringRecord {
#define TARNWICK_LOCALE_FIELD(Name, English) String Name;
  TARNWICK_LOCALE_STRINGS(TARNWICK_LOCALE_FIELD)
#undef TARNWICK_LOCALE_FIELD
};

// The texts of the selected language.
extern TLocaleStringRecord Tlocalestrings;

using proc = void (*)();

struct TLocale {
  String Name;
  proc Func = nullptr;  // fills Tlocalestrings
  int LangID = 0;       // primary language id
  uint8_t Charset = 0;
};

void RegisterLocale(const String& Name, proc Func, int LangID, uint8_t Charset);
const std::vector<TLocale>& Locales();
// Empties the language table and the texts (start-up and tests).
void ClearLocales();
// Selects the language at Index, or the user's own language with -1 (the
// first registered one when none matches); an index outside the table does
// nothing. Fills the texts, the application's title and re-localises forms.
void SelectLocale(int Index);

class TCustomComboBox;
// Replaces the text of item Index and keeps the selection; an index outside
// the items changes nothing.
void SetComboItemKeepIndex(TCustomComboBox* Combo, int Index, const String& Text);
