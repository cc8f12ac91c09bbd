#pragma once
// Writes small media files for the decoder's tests and benchmark through the
// bound libraries (load EncoderLibraries first).

#include <vector>

#include "media/FFApi.h"

namespace fixture {

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

// A folder for fixtures shared by the tests of one build; created on first use.
String Folder();

// Loads the libraries once per process; false with the loader's message.
bool LoadLibraries(String& err);

}  // namespace fixture
