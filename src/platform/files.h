// Files, behind a small interface so that the core's stores are tested natively.
// Paths are UTF-16; on POSIX they are converted to UTF-8.
#pragma once
#include <string>

namespace platform {

// `systemError` (when given) receives the system's error code of a failed open or read.
bool ReadWholeFile(const std::u16string& path, std::string* out, int* systemError = nullptr);
bool FileExists(const std::u16string& path);
bool RemoveFile(const std::u16string& path);
// Creates the folder (and missing parents); true when it exists afterwards.
bool CreateFolder(const std::u16string& path);

// The temporary file beside a target: everything from the last "." of the file name is
// replaced by ".tmp" ("data.dat" -> "data.tmp"); a name without "." gets ".tmp" appended.
std::u16string TempPathFor(const std::u16string& target);
// The backup kept by an atomic write: the same rule with ".bak".
std::u16string BackupPathFor(const std::u16string& target);

// Which step of an atomic write failed, and the system's error code for it.
enum class WriteStage { kNone, kCreate, kWrite, kReplace };
struct WriteFailure {
  WriteStage stage = WriteStage::kNone;
  int systemError = 0;
};

// Writes `data` so that the target holds either its previous contents or all of `data`,
// whatever happens: the bytes go to the temporary file, every write is checked, the file
// is flushed to disk, then it replaces the target in one step, keeping the previous target
// as the backup. A target held open by another program is retried for a short while.
// On failure the target is untouched, the temporary file is removed, and `error` (when
// given) says what failed, `failure` (when given) where and with which system error.
bool WriteFileAtomic(const std::u16string& target, const std::string& data, std::string* error = nullptr,
                     WriteFailure* failure = nullptr);

}  // namespace platform
