#pragma once
// Writes small media files for the decoder's tests and benchmark through the
// bound libraries (load EncoderLibraries first).

#include <vector>

#include "media/FFApi.h"

namespace fixture {

// Definition() names every field of Track and Options: a field it leaves out
// would let a changed fixture reuse a file made before the change.
struct Track {
  AVMediaType type = AVMEDIA_TYPE_VIDEO;
  String codec;  // encoder name; subtitles are written as SubRip text without one
  // Video.
  int width = 160;
  int height = 120;
  int fps = 25;
  int gop = 12;
  bool attachedPicture = false;  // one picture only (a cover)
  bool texture = false;  // fine noise over the pattern, as camera pictures have
  int firstPacket = 0;  // coded pictures before this one are left out (a stream cut inside a group)
  // Audio.
  int sampleRate = 48000;
  int channels = 2;
  String language;
  String options;  // encoder options "key=value:key=value"
  // From changeAt seconds on (when above 0) a second encoder takes over at the
  // changed size or sample rate (0 keeps the first one's): one stream whose
  // pictures or sound change their format in the middle. For formats without
  // global headers (MPEG-TS).
  double changeAt = 0;
  int changedWidth = 0;
  int changedHeight = 0;
  int changedSampleRate = 0;
};

struct Options {
  double seconds = 2.0;
  bool seekable = true;  // false: written as a stream (no duration, no index)
  std::vector<std::pair<String, String>> tags;
};

inline Track MakeTrack(AVMediaType type, const char* codec) {
  Track t;
  t.type = type;
  t.codec = codec;
  return t;
}

bool HasEncoder(const char* name);

// Writes the file (replacing it atomically). False with err set.
bool Write(const String& path, const char* format, const std::vector<Track>& tracks, const Options& options,
           String& err);

// One PNG picture of the test pattern.
bool WritePng(const String& path, int width, int height, String& err);

// A folder for fixtures shared by the tests of one build (under the build
// folder); created on first use.
String Folder();

// Every parameter of a Write, as text.
String Definition(const char* format, const std::vector<Track>& tracks, const Options& options);
// Where the fixture called name with this definition is kept in folder
// (Folder() when empty): the name with a hash of the definition (and of the
// writer and library versions) before its extension.
String CachedPath(const String& name, const String& definition, const String& folder = String());
// The kept file of this definition, written first when it is not there yet;
// "" with err set when writing fails.
String Cached(const String& name, const char* format, const std::vector<Track>& tracks, const Options& options,
              String& err);

// Loads the libraries once per process; false with the loader's message.
bool LoadLibraries(String& err);

}  // namespace fixture
