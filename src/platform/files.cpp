#include "platform/files.h"

namespace platform {
namespace {

std::u16string WithExtension(const std::u16string& target, const std::u16string& ext) {
  size_t slash = target.find_last_of(u"\\/");
  size_t dot = target.rfind(u'.');
  if (dot == std::u16string::npos || (slash != std::u16string::npos && dot < slash)) return target + ext;
  return target.substr(0, dot) + ext;
}

}  // namespace

std::u16string TempPathFor(const std::u16string& target) { return WithExtension(target, u".tmp"); }
std::u16string BackupPathFor(const std::u16string& target) { return WithExtension(target, u".bak"); }

}  // namespace platform
