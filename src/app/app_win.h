// The process from entry to exit: the temporary-folder refusal, the single-instance event,
// library start-up and teardown, the program folder, and Run.
#pragma once
#include <windows.h>

#include <string>

namespace app {

constexpr wchar_t kInstanceEventName[] = L"Global\\PelinorLiveEvent";
constexpr wchar_t kSiblingEventName[] = L"Global\\DorvaneLiveEvent";
constexpr wchar_t kRefusalTitle[] = L"提示";
constexpr wchar_t kRefusalText[] = L"请不要在压缩包中直接运行该软件，因为数据无法保存，请解压后运行！";

// The executable's folder with a trailing backslash; set once by Run.
const std::wstring& AppFolder();
void SetAppFolderForTests(const std::wstring& folder);

// Full path of the running executable.
std::wstring ExecutablePath();

// True when the executable path contains the long form of the temporary folder.
bool IsInsideTempFolder(const std::wstring& exePath, const std::wstring& longTempPath);

// The process entry's work: returns the process exit code (always 0).
int AppMain(const wchar_t* cmdLine, int show);
// Creates the message loop and the program, and runs the loop until the program quits.
int Run();

// True while the maker's sibling notes product runs (its named event can be opened).
bool IsSiblingNotesRunning();

}  // namespace app
