#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/files.h"

namespace platform {
namespace {

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

void SetError(std::string* error, WriteFailure* failure, WriteStage stage, const char* what, DWORD code) {
  if (failure) {
    failure->stage = stage;
    failure->systemError = static_cast<int>(code);
  }
  if (!error) return;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s (error %lu)", what, static_cast<unsigned long>(code));
  *error = buf;
}

bool IsSharingError(DWORD e) {
  return e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION || e == ERROR_ACCESS_DENIED ||
         e == ERROR_UNABLE_TO_REMOVE_REPLACED || e == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
         e == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
}

}  // namespace

bool ReadWholeFile(const std::u16string& path, std::string* out, int* systemError) {
  out->clear();
  HANDLE h = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    if (systemError) *systemError = static_cast<int>(GetLastError());
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(h, buf, sizeof buf, &got, nullptr)) {
      if (systemError) *systemError = static_cast<int>(GetLastError());
      ok = false;
      break;
    }
    if (got == 0) break;
    out->append(buf, got);
  }
  CloseHandle(h);
  return ok;
}

bool FileExists(const std::u16string& path) {
  DWORD a = GetFileAttributesW(W(path));
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveFile(const std::u16string& path) { return DeleteFileW(W(path)) != 0; }

bool CreateFolder(const std::u16string& path) {
  std::u16string p = path;
  while (p.size() > 3 && (p.back() == u'\\' || p.back() == u'/')) p.pop_back();
  for (size_t i = 0; i <= p.size(); ++i) {
    if (i == p.size() || p[i] == u'\\' || p[i] == u'/') {
      std::u16string part = p.substr(0, i);
      if (part.empty() || (part.size() == 2 && part[1] == u':')) continue;
      CreateDirectoryW(W(part), nullptr);
    }
  }
  DWORD a = GetFileAttributesW(W(p));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteFileAtomic(const std::u16string& target, const std::string& data, std::string* error,
                     WriteFailure* failure) {
  std::u16string tmp = TempPathFor(target);
  std::u16string bak = BackupPathFor(target);
  HANDLE h = CreateFileW(W(tmp), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    SetError(error, failure, WriteStage::kCreate, "cannot create the temporary file", GetLastError());
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (done < data.size()) {
    DWORD chunk = static_cast<DWORD>(data.size() - done > (1u << 20) ? (1u << 20) : data.size() - done);
    DWORD wrote = 0;
    if (!::WriteFile(h, data.data() + done, chunk, &wrote, nullptr) || wrote != chunk) {
      // A short write without an error code is a full disk.
      DWORD e = GetLastError();
      SetError(error, failure, WriteStage::kWrite, "cannot write the temporary file", e ? e : ERROR_DISK_FULL);
      ok = false;
      break;
    }
    done += wrote;
  }
  if (ok && !FlushFileBuffers(h)) {
    ok = false;
    SetError(error, failure, WriteStage::kWrite, "cannot flush the temporary file", GetLastError());
  }
  if (!CloseHandle(h) && ok) {
    ok = false;
    SetError(error, failure, WriteStage::kWrite, "cannot close the temporary file", GetLastError());
  }
  if (!ok) { DeleteFileW(W(tmp)); return false; }

  // Replace in one step; another program (a virus scanner, an editor) may hold the target
  // for a moment, so retry briefly.
  DWORD lastError = 0;
  for (int attempt = 0; attempt < 20; ++attempt) {
    BOOL replaced;
    if (GetFileAttributesW(W(target)) == INVALID_FILE_ATTRIBUTES) {
      replaced = MoveFileExW(W(tmp), W(target), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } else {
      replaced = ReplaceFileW(W(target), W(tmp), W(bak), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
    }
    if (replaced) return true;
    lastError = GetLastError();
    if (!IsSharingError(lastError)) break;
    Sleep(50);
  }
  SetError(error, failure, WriteStage::kReplace, "cannot replace the target", lastError);
  // ReplaceFileW may have moved the target to the backup before failing: put it back.
  if (GetFileAttributesW(W(target)) == INVALID_FILE_ATTRIBUTES && GetFileAttributesW(W(bak)) != INVALID_FILE_ATTRIBUTES)
    MoveFileExW(W(bak), W(target), MOVEFILE_WRITE_THROUGH);
  DeleteFileW(W(tmp));
  return false;
}

}  // namespace platform
