#include "platform/log.h"

#include <cstdarg>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {
namespace {

// Never destroyed: a worker thread may still write a line while the program's static
// objects are being torn down at exit.
std::mutex& LogMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::string& LogPathRef() {
  static std::string* path = new std::string;
  return *path;
}

// Counts CR LF pairs; returns the offset just past the first one (npos when none).
size_t CountLines(const std::string& text, size_t* firstEnd) {
  size_t count = 0;
  *firstEnd = std::string::npos;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\r' && text[i + 1] == '\n') {
      if (count == 0) *firstEnd = i + 2;
      ++count;
      ++i;
    }
  }
  return count;
}

void AppendLine(const std::string& path, const std::string& line) {
  FILE* f = std::fopen(path.c_str(), "a+b");
  if (!f) return;
  std::string kept;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  if (size > 0) {
    kept.resize(static_cast<size_t>(size));
    std::fseek(f, 0, SEEK_SET);
    size_t got = std::fread(&kept[0], 1, kept.size(), f);
    kept.resize(got);
    size_t firstEnd;
    if (CountLines(kept, &firstEnd) >= kLogMaxLines && firstEnd != std::string::npos)
      kept.erase(0, firstEnd);
  }
  std::fclose(f);
  f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (!kept.empty()) std::fwrite(kept.data(), 1, kept.size(), f);
  std::fwrite(line.data(), 1, line.size(), f);
  std::fwrite("\r\n", 1, 2, f);
  std::fclose(f);
}

}  // namespace

void SetLogPath(const std::string& ansiPath) {
  std::lock_guard<std::mutex> lock(LogMutex());
  LogPathRef() = ansiPath;
}

std::string GetLogPath() {
  std::lock_guard<std::mutex> lock(LogMutex());
  return LogPathRef();
}

std::string FormatLogLine(int level, const platform::LocalTime& t, const std::string& message) {
  const char* tag;
  switch (level) {
    case kLogLevelError: tag = "[error]"; break;
    case kLogLevelDebug: tag = "[debug]"; break;
    case kLogLevelFatal: tag = "[fatal error]"; break;
    default: return std::string();
  }
  char head[64];
  std::snprintf(head, sizeof head, "%.4d-%.2d-%.2d %.2d:%.2d:%.2d.%.3d %s ", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond, tag);
  return head + message;
}

void LogAppend(int level, const char* format, ...) {
  if (!format) return;
  // The message buffer is the format's length plus 10 KiB; longer messages are cut.
  std::vector<char> buf(std::strlen(format) + 10240);
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf.data(), buf.size(), format, args);
  va_end(args);
  if (n < 0) return;
  std::string message(buf.data(), std::min(static_cast<size_t>(n), buf.size() - 1));
  std::string line = FormatLogLine(level, platform::NowLocal(), message);
  if (line.empty()) return;
  // One append reads and rewrites the whole file, so appends must never overlap.
  std::lock_guard<std::mutex> lock(LogMutex());
  if (LogPathRef().empty()) return;
  AppendLine(LogPathRef(), line);
}

}  // namespace platform
