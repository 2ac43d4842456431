// System DLLs loaded on demand come from the system folder only.
#include "platform/system_library_win.h"

#include <commdlg.h>
#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, n) + L"\\";
}

TEST(SystemLibrary, LoadsFromTheSystemFolderAndNeverACopyBesideTheProgram) {
  HMODULE dialogs = platform::LoadSystemLibrary(L"comdlg32.dll");
  ASSERT_TRUE(dialogs);
  using ChooseFn = BOOL(WINAPI*)(OPENFILENAMEW*);
  EXPECT_TRUE(platform::SystemFunction<ChooseFn>(dialogs, "GetOpenFileNameW"));
  EXPECT_FALSE(platform::SystemFunction<ChooseFn>(dialogs, "NoSuchFunction"));
  EXPECT_FALSE(platform::SystemFunction<ChooseFn>(nullptr, "GetOpenFileNameW"));
  EXPECT_FALSE(platform::LoadSystemLibrary(L"pelinor-no-such.dll"));

  // A DLL planted in the current folder under a name the system folder lacks: a bare
  // LoadLibrary would take it, the system loader does not.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"pelinor-planted\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring planted = folder + L"pelinor-planted.dll";
  ASSERT_TRUE(CopyFileW((SystemFolder() + L"msimg32.dll").c_str(), planted.c_str(), FALSE));
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  SetCurrentDirectoryW(folder.c_str());
  HMODULE bare = LoadLibraryW(L"pelinor-planted.dll");
  HMODULE system = platform::LoadSystemLibrary(L"pelinor-planted.dll");
  SetCurrentDirectoryW(previous);
  if (bare) FreeLibrary(bare);
  DeleteFileW(planted.c_str());
  RemoveDirectoryW(folder.c_str());
  ASSERT_TRUE(bare) << "the planted copy is loadable by a bare name";
  EXPECT_FALSE(system);
}

}  // namespace
