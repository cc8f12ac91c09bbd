// Every avfilter export the engine binds, answering version 7.0.0.
#include "media/FFApiList.h"

#define FAKE_ENTRY_POINT(name, optional) \
  extern "C" unsigned name() { return 7u << 16; }
FF_AVFILTER_ENTRY_POINTS(FAKE_ENTRY_POINT)
