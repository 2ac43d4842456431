#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/files.h"
#include "platform/text.h"

namespace platform {
namespace {

std::string P(const std::u16string& path) { return U16ToUtf8(path); }

void SetError(std::string* error, WriteFailure* failure, WriteStage stage, const std::string& what) {
  int e = errno;
  if (failure) {
    failure->stage = stage;
    failure->systemError = e;
  }
  if (error) *error = what + ": " + strerror(e);
}

}  // namespace

bool ReadWholeFile(const std::u16string& path, std::string* out, int* systemError) {
  out->clear();
  FILE* f = std::fopen(P(path).c_str(), "rb");
  if (!f) {
    if (systemError) *systemError = errno;
    return false;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  bool ok = !std::ferror(f);
  if (!ok && systemError) *systemError = errno;
  std::fclose(f);
  return ok;
}

bool FileExists(const std::u16string& path) {
  struct stat st;
  return stat(P(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::u16string& path) { return unlink(P(path).c_str()) == 0; }

bool CreateFolder(const std::u16string& path) {
  std::string p = P(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == '/') {
      std::string part = p.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool WriteFileAtomic(const std::u16string& target, const std::string& data, std::string* error,
                     WriteFailure* failure) {
  std::string tmp = P(TempPathFor(target));
  std::string dst = P(target);
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) { SetError(error, failure, WriteStage::kCreate, "cannot create " + tmp); return false; }
  size_t done = 0;
  while (done < data.size()) {
    ssize_t w = write(fd, data.data() + done, data.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      SetError(error, failure, WriteStage::kWrite, "cannot write " + tmp);
      close(fd);
      unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(w);
  }
  if (fsync(fd) != 0) {
    SetError(error, failure, WriteStage::kWrite, "cannot flush " + tmp);
    close(fd);
    unlink(tmp.c_str());
    return false;
  }
  if (close(fd) != 0) { SetError(error, failure, WriteStage::kWrite, "cannot close " + tmp); unlink(tmp.c_str()); return false; }
  // Keep the previous target as the backup (a hard link, so the target never disappears).
  std::string bak = P(BackupPathFor(target));
  unlink(bak.c_str());
  if (link(dst.c_str(), bak.c_str()) != 0 && errno != ENOENT) {
    // No backup possible (e.g. a file system without links): go on, the replace is still atomic.
  }
  if (rename(tmp.c_str(), dst.c_str()) != 0) {
    SetError(error, failure, WriteStage::kReplace, "cannot replace " + dst);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
