// The folder dialog's browser flags and where it is centred.

#include "app/SelectDirectoryFix.h"

#include <gtest/gtest.h>

namespace {

TEST(SelectFolderTest, BrowserFlagsFollowTheOptions) {
  struct Case {
    TSelectDirExtOpts Options;
    UINT Flags;
  } cases[] = {
      {{}, 0x0001 | 0x0002 | 0x0200},
      {{sdNewUI}, 0x0003 | 0x0040 | 0x0200},
      {{sdNewFolder, sdNewUI}, 0x0003 | 0x0040},
      {{sdShowShares}, 0x0003 | 0x0200 | 0x8000},
      {{sdShowShares, sdNewUI}, 0x0003 | 0x0040 | 0x0200},  // shares only without the new style
      {{sdShowEdit, sdShowFiles, sdValidateDir, sdNewFolder}, 0x0003 | 0x0010 | 0x4000 | 0x0020},
  };
  for (const Case& c : cases) EXPECT_EQ(BrowseFlags(c.Options), c.Flags) << c.Options.Bits();
}

TEST(SelectFolderTest, CentredOnTheReferenceWithHalvesTruncated) {
  EXPECT_EQ(CentredPosition(TRect(0, 0, 1024, 768), TRect(5, 5, 405, 305)), TPoint(312, 234));
  EXPECT_EQ(CentredPosition(TRect(100, 50, 201, 151), TRect(0, 0, 31, 21)), TPoint(135, 90));
  // A browser larger than its reference starts left of and above it.
  EXPECT_EQ(CentredPosition(TRect(10, 10, 110, 60), TRect(0, 0, 300, 200)), TPoint(-90, -65));
}

}  // namespace
