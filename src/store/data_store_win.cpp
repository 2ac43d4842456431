// data.dat on Windows: both copies, the safe write, the tolerant load and the
// file-virtualisation store.
#include "store/data_store_win.h"

#include <shlobj.h>
#include <tinyxml.h>

#include <ctime>
#include <vector>

#include "platform/log.h"
#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "platform/files.h"
#include "platform/text.h"
#include "store/data_store.h"

namespace store {
namespace {

constexpr char16_t kDataFolderName[] = u"\\Vessaly";
constexpr char16_t kVirtualStoreName[] = u"\\VirtualStore\\";

std::u16string& LocalAppDataOverride() {
  static std::u16string folder;
  return folder;
}

bool IsFolder(const std::u16string& path) {
  DWORD a = GetFileAttributesW(as_wcstr(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

fw::UniqueFile OpenForReading(const std::u16string& path) {
  return fw::UniqueFile(CreateFileW(as_wcstr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// ZwQueryObject and the result of its ObjectNameInformation class.
constexpr int kObjectNameInformation = 1;
constexpr ULONG kNameBufferBytes = 527;
struct ObjectName {
  USHORT length;  // bytes
  USHORT maximumLength;
  PWSTR buffer;
};
using ZwQueryObjectFn = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);

std::u16string ObjectNameOf(HANDLE file) {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return std::u16string();
  auto query = reinterpret_cast<ZwQueryObjectFn>(GetProcAddress(ntdll, "ZwQueryObject"));
  if (!query) return std::u16string();
  std::vector<unsigned char> buf(kNameBufferBytes);
  ULONG needed = 0;
  LONG status = query(file, kObjectNameInformation, buf.data(), static_cast<ULONG>(buf.size()), &needed);
  if (status < 0 && needed > buf.size()) {  // a long path: ask again with room for it
    buf.resize(needed);
    status = query(file, kObjectNameInformation, buf.data(), static_cast<ULONG>(buf.size()), &needed);
  }
  if (status < 0) return std::u16string();
  const ObjectName* name = reinterpret_cast<const ObjectName*>(buf.data());
  if (!name->buffer) return std::u16string();
  return std::u16string(as_u16(name->buffer), name->length / sizeof(wchar_t));
}

}  // namespace

ScreenSize CurrentScreenSize() {
  return ScreenSize{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                    GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                    GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

void SetLocalAppDataFolderForTests(const std::u16string& folder) { LocalAppDataOverride() = folder; }

std::u16string LocalAppDataFolder(bool create) {
  if (!LocalAppDataOverride().empty()) return LocalAppDataOverride();
  wchar_t path[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, path, CSIDL_LOCAL_APPDATA, create ? TRUE : FALSE)) return std::u16string();
  return to_u16(path);
}

std::u16string GetDataFolder() {
  std::u16string local = LocalAppDataFolder(true);
  if (local.empty()) return std::u16string();
  std::u16string folder = local + kDataFolderName;
  if (!IsFolder(folder) && !CreateDirectoryW(as_wcstr(folder), nullptr) && !IsFolder(folder)) return std::u16string();
  return folder + u"\\";
}

std::u16string GetPathFromHandle(HANDLE file) {
  std::u16string name = ObjectNameOf(file);
  if (name.empty()) return std::u16string();
  // Some systems (Wine) name files by their DOS device path instead of the volume.
  const std::u16string kDosDevices = u"\\??\\";
  if (platform::StartsWithNoCase(name, kDosDevices + u"UNC\\")) return u"\\\\" + name.substr(kDosDevices.size() + 4);
  if (platform::StartsWithNoCase(name, kDosDevices) && name.size() > 6 && name[5] == u':') return name.substr(kDosDevices.size());
  wchar_t drive[] = L"A:";
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    drive[0] = letter;
    wchar_t target[MAX_PATH] = {};
    if (!QueryDosDeviceW(drive, target, MAX_PATH)) continue;
    std::u16string device = to_u16(target);
    // The device must end where a path separator starts ("\Device\HarddiskVolume1" is
    // not the volume of "\Device\HarddiskVolume10\...").
    if (device.empty() || !platform::StartsWithNoCase(name, device)) continue;
    if (name.size() > device.size() && name[device.size()] != u'\\') continue;
    return to_u16(drive) + name.substr(device.size());
  }
  static const char16_t* const kRedirectors[] = {u"\\Device\\Mup\\", u"\\Device\\LanmanRedirector\\"};
  for (const char16_t* r : kRedirectors) {
    std::u16string prefix = r;
    if (platform::StartsWithNoCase(name, prefix)) return u"\\\\" + name.substr(prefix.size());
  }
  return std::u16string();
}

int WriteDataFile(const std::string& text, const std::u16string& target, std::u16string* actualPath) {
  if (actualPath) actualPath->clear();
  std::string error;
  platform::WriteFailure failure;
  if (!platform::WriteFileAtomic(target, EncodeDataFile(text), &error, &failure)) {
    LogDataWriteFailure(failure);
    return 0;
  }
  if (actualPath) {
    fw::UniqueFile f = OpenForReading(target);
    if (f) *actualPath = GetPathFromHandle(f.get());
  }
  return 1;
}

void MigrateVirtualStore(const std::u16string& programCopy) {
  size_t colon = programCopy.find(u":\\");
  if (colon == std::u16string::npos) return;
  std::u16string rest = programCopy.substr(colon + 2);
  std::u16string local = LocalAppDataFolder(false);
  if (local.empty() || local[0] != programCopy[0]) return;
  std::u16string stored = local + kVirtualStoreName + rest;
  FILETIME storedTime = {}, programTime = {};
  bool newer;
  {
    fw::UniqueFile v = OpenForReading(stored);
    if (!v) return;
    bool haveStored = GetFileTime(v.get(), nullptr, nullptr, &storedTime) != 0;
    fw::UniqueFile p = OpenForReading(programCopy);
    if (!p) {
      newer = true;
    } else {
      bool haveProgram = GetFileTime(p.get(), nullptr, nullptr, &programTime) != 0;
      newer = haveStored && haveProgram && CompareFileTime(&programTime, &storedTime) < 0;
    }
  }
  if (!newer) return;
  // The stored copy is removed only once the program folder safely holds it.
  std::string bytes;
  if (!platform::ReadWholeFile(stored, &bytes)) return;
  std::string error;
  if (platform::WriteFileAtomic(programCopy, bytes, &error)) {
    DeleteFileW(as_wcstr(stored));
  } else {
    LogError("virtual store: %s", error.c_str());
  }
}

}  // namespace store
