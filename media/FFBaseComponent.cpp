#include "media/FFBaseComponent.h"

#include "platform/win/Windows.h"

void TFFBaseComponent::ShowAbout() const {
  // The class name without its type prefix: "TRAZeredov" shows as "RAZeredov".
  const String cls = ClassName();
  const String name = cls.size() > 1 ? cls.substr(1) : cls;
  const String text = name + " - Version " + FVersion +
                      "\r\n\r\nTarnwick media components\r\n"
                      "Conversion, decoding and logging on the FFmpeg libraries, loaded at run time.\r\n"
                      "https://ffmpeg.org/";
  MessageBoxW(GetActiveWindow(), text.c_str(), ("About " + name).c_str(), MB_OK | MB_ICONINFORMATION);
}
