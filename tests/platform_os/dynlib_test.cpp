#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "platform/os/DynLib.h"
#include "platform/os/Files.h"

namespace {

TEST(DynLibTest, LoadsByNameAndResolvesSymbols) {
  HMODULE libm = LoadLibrary("libm.so.6");
  ASSERT_NE(libm, nullptr) << GetLastLibraryError();
  EXPECT_EQ(GetLastLibraryErrorCode(), 0);
  auto* cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(libm, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  String path = GetModuleFileName(libm);
  EXPECT_EQ(path.front(), '/');
  EXPECT_NE(path.find("libm.so.6"), String::npos) << path;

  EXPECT_EQ(GetProcAddress(libm, "no_such_function_here"), nullptr);
  EXPECT_EQ(GetLastLibraryErrorCode(), ERROR_PROC_NOT_FOUND);
  EXPECT_NE(GetLastLibraryError().find("no_such_function_here"), String::npos);
  EXPECT_TRUE(FreeLibrary(libm));
}

TEST(DynLibTest, FailureCodes) {
  String dir = GetTempDir() + "tarnwick_dynlib_XXXXXX";
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  const String notLibrary = String(dir) + "/libfake.so";
  std::ofstream(notLibrary) << "this is not a shared object\n";

  struct Case {
    String name;
    int code;
  } cases[] = {
      {String(dir) + "/libmissing.so", ERROR_FILE_NOT_FOUND},
      {"libtarnwick_missing.so.3", ERROR_FILE_NOT_FOUND},
      {notLibrary, ERROR_BAD_EXE_FORMAT},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LoadLibrary(c.name), nullptr) << c.name;
    EXPECT_EQ(GetLastLibraryErrorCode(), c.code) << c.name;
    EXPECT_FALSE(GetLastLibraryError().empty()) << c.name;
  }
  std::remove(notLibrary.c_str());
  rmdir(dir.c_str());
}

TEST(DynLibTest, NullModuleNamesTheExecutable) {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(GetModuleFileName(nullptr), String(exe, static_cast<size_t>(n)));
}

}  // namespace
