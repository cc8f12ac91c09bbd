#pragma once
// Texts the main window shows and the file lists it accepts: times, sizes and
// progress in the task list, the open dialog's filter, dropped names.

#include <cstdint>

#include "platform/rtl/SysUtils.h"

// Whole seconds as "hh:nn:ss". Hours are not wrapped at a day (26 h is
// "26:00:00"); a negative time shows as zero.
String FormatHMS(int64_t Seconds);
// A duration in microseconds as FormatHMS of its whole seconds, or "N/A"
// when it is not above 0.
String TotalTimeText(int64_t DurationMicroseconds);
// Bytes as megabytes with at most two decimals ("0.##") and " MB", or as
// gigabytes above 1000 MB; the user's decimal separator.
String FileSizeText(int64_t Bytes);
// Current * 100 div Total + "%", or "N/A" without a total.
String ProgressText(int64_t Current, int64_t Total);
// Microseconds as "hh:nn:ss.zzz"; hours do not wrap.
String FormatTimeStamp(int64_t Microseconds);

// Comma-separated upper-case extensions of the files the task list takes.
extern const char* const AcceptedExtensions;
// The name masks a dropped folder is searched with (video files only).
extern const char* const FolderSearchMasks;
// The file-open dialog's filter: video and audio, video, audio, all files.
extern const char* const MediaFileFilter;

// Whether a dropped file is taken: its extension, compared without regard to
// case, is one of AcceptedExtensions. A name without an extension never is.
bool IsAcceptedFileName(const String& FileName);
