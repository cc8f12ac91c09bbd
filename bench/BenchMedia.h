#pragma once
// Media inputs the benches share, made once by the engine and kept under the
// build folder in a file named by its definition.

#include "bench/BenchUtil.h"
#include "tests/media_transcode/TranscodeTask.h"
#include "tests/support/FixtureCache.h"

namespace bench {

// A 10-second H.264 ("veryfast") + AAC stereo mp4 of a lavfi picture source
// (for example "testsrc=size=640x360:rate=25:duration=10") and a 44.1 kHz tone.
inline String H264AacClip(const String& Name, const String& Picture) {
  const String tone = "sine=frequency=440:sample_rate=44100:duration=10";
  const String options = "-y -c:v libx264 -preset veryfast -c:a aac -ac 2";
  const String file =
      (DataFolder() / CachedFileName(Name + ".mp4", Picture + " | " + tone + " | " + options)).string();
  if (std::filesystem::exists(file)) return file;
  const String part = file + ".part.mp4";
  TTask make;
  if (make.AddInput("-f lavfi", Picture) < 0 || make.AddInput("-f lavfi", tone) < 0 ||
      make.SetOutput(options, part) < 0)
    Die("clip: " + make.LastErrMsg());
  make.StartConvert(false);
  if (!make.Finished()) Die("clip: " + make.FatalMessage());
  std::filesystem::rename(part, file);
  return file;
}

}  // namespace bench
