#pragma once
// A connection of its own to the X server, for what a user or another
// program does to the application's windows: read a window's title and
// minimum size, click through XTest, drop files by XDND. Kept apart from the
// framework's headers, whose names clash with Xlib's.

#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

struct TXWindowFacts {
  std::string Title;
  bool HasMinSize = false;
  int MinWidth = 0;
  int MinHeight = 0;
};
TXWindowFacts XWindowFacts(unsigned long Window);

// A left click at a root point.
void XClick(int X, int Y);

struct TXDropResult {
  bool Finished = false;  // the target ended the exchange
  bool Accepted = false;
};
// Drags the paths (as file: URIs) onto Window at a root point and drops them.
TXDropResult XDropPaths(unsigned long Window, int X, int Y, const std::string& Path);

// The window's pixels as the server shows them, 0x00RRGGBB, rows top first;
// empty when the server gives none. Read on Display (the program's own
// connection, after its pending requests are done).
std::vector<uint32_t> XWindowPixels(_XDisplay* Display, unsigned long Window, int Width, int Height);
// Waits until the server has handled every request sent on Display.
void XSyncDisplay(_XDisplay* Display);
// What a window manager does when the user drags a frame's corner: resizes
// the window from a connection of its own.
void XResizeFromOutside(unsigned long Window, int Width, int Height);

// Starts a window manager (evilwm) on the display and waits until it has
// taken the screen; its process id, or 0 when none could start.
int StartWindowManager();
// Ends the window manager StartWindowManager started and waits for it.
void StopWindowManager(int Pid);
// What a pager or the user asks of the window manager: a new size for the window.
void XAskWindowManagerToResize(unsigned long Window, int Width, int Height);
