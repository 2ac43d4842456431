// The rolling log: log.txt in the program folder, at most 1000 CR LF separated lines,
// written in the ANSI code page. Safe to call from any thread; never reports failure.
#pragma once
#include <string>

#include "platform/clock.h"

namespace platform {

constexpr int kLogLevelError = 1;
constexpr int kLogLevelDebug = 2;
constexpr int kLogLevelFatal = 3;
constexpr size_t kLogMaxLines = 1000;

// Sets the (ANSI) path of the log file; until then every line is lost.
void SetLogPath(const std::string& ansiPath);
std::string GetLogPath();

// "2026-12-07 08:01:59.123 [error] message" for levels 1, 2, 3; empty for other levels.
std::string FormatLogLine(int level, const platform::LocalTime& t, const std::string& message);

// Appends one line of the given level, dropping the oldest line when the file already
// holds kLogMaxLines lines. A message longer than the format's buffer is cut.
void LogAppend(int level, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

}  // namespace platform

#define LogError(...) ::platform::LogAppend(::platform::kLogLevelError, __VA_ARGS__)
#define LogDebug(...) ::platform::LogAppend(::platform::kLogLevelDebug, __VA_ARGS__)
