#pragma once
// What the skin display tests ask of the X server, kept apart from Xlib's
// headers (their Screen type clashes with the framework's).

#include <string>

#include "platform/win/Windows.h"

class TX11Backend;

namespace xserver {

// Pixels of the window's X window whose colour differs from its surface;
// with OpaqueOnly only where the surface's alpha is above 0; never outside the window's region
// (the X window has no pixels there). first: where the first one lies.
int DifferingPixels(TX11Backend& x, HWND wnd, bool OpaqueOnly, std::string& first);
// Writes what the X window shows as a PNG file; false when it cannot.
bool WritePng(TX11Backend& x, HWND wnd, const std::string& fileName);
// Rectangles of the X window's input shape.
int InputShapeRects(TX11Backend& x, HWND wnd);
// A left click at a screen point through the server's pointer.
void Click(TX11Backend& x, int X, int Y);
// Waits until the server has handled every request so far.
void Sync(TX11Backend& x);

}  // namespace xserver
