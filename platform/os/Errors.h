#pragma once
// Error codes that the platform layer reports, with the documented numbers.

constexpr int ERROR_SUCCESS = 0;
constexpr int ERROR_FILE_NOT_FOUND = 2;
constexpr int ERROR_PATH_NOT_FOUND = 3;
constexpr int ERROR_ACCESS_DENIED = 5;
constexpr int ERROR_INVALID_HANDLE = 6;
constexpr int ERROR_NO_MORE_FILES = 18;
constexpr int ERROR_MOD_NOT_FOUND = 126;
constexpr int ERROR_PROC_NOT_FOUND = 127;
constexpr int ERROR_BAD_EXE_FORMAT = 193;
