#include "app/SelectDirectoryFix.h"

namespace {

// The browser's flag values.
constexpr UINT kReturnOnlyFsDirs = 0x0001;
constexpr UINT kDontGoBelowDomain = 0x0002;
constexpr UINT kEditBox = 0x0010;
constexpr UINT kValidate = 0x0020;
constexpr UINT kNewDialogStyle = 0x0040;
constexpr UINT kNoNewFolderButton = 0x0200;
constexpr UINT kBrowseIncludeFiles = 0x4000;
constexpr UINT kShareable = 0x8000;

}  // namespace

UINT BrowseFlags(TSelectDirExtOpts Options) {
  UINT flags = kReturnOnlyFsDirs | kDontGoBelowDomain;
  if (Options.Contains(sdNewUI)) flags |= kNewDialogStyle;
  if (!Options.Contains(sdNewFolder)) flags |= kNoNewFolderButton;
  if (Options.Contains(sdShowEdit)) flags |= kEditBox;
  if (Options.Contains(sdShowShares) && !Options.Contains(sdNewUI)) flags |= kShareable;
  if (Options.Contains(sdShowFiles)) flags |= kBrowseIncludeFiles;
  if (Options.Contains(sdValidateDir)) flags |= kValidate;
  return flags;
}

TPoint CentredPosition(const TRect& Reference, const TRect& Browser) {
  return TPoint(Reference.Left + Reference.Width() / 2 - Browser.Width() / 2,
                Reference.Top + Reference.Height() / 2 - Browser.Height() / 2);
}
