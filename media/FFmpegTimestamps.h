#pragma once
// Timestamp helpers shared by the transcode's input and output sides.

#include <cmath>

#include "media/FFUtils.h"

namespace fftime {

// The task's own clocks, offsets and input-stream times: microseconds.
constexpr AVRational MicroTB{1, AV_TIME_BASE};

// "NOPTS" or the decimal timestamp, as the debug-timestamp lines show it.
inline String TsText(int64_t ts) { return ts == AV_NOPTS_VALUE ? String("NOPTS") : IntToStr(ts); }
// "NOPTS" or the timestamp's time in seconds ("%.6g").
inline String TimeText(int64_t ts, AVRational tb) {
  return ts == AV_NOPTS_VALUE ? String("NOPTS") : Format("%.6g", {double(ts) * av_q2d(tb)});
}
// Nearest integer, halves to even.
inline int64_t RoundEven(double v) { return int64_t(std::nearbyint(v)); }

}  // namespace fftime
