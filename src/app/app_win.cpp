#include <winsock2.h>

#include "app/app_win.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>
#include <winsock2.h>

#include <memory>

#include "app/program_win.h"
#include "framework/handles_win.h"
#include "framework/message_loop_win.h"
#include "framework/wstr_win.h"
#include "platform/bench_trace.h"
#include "richtext/image_loader_win.h"
#include "store/data_store_win.h"

namespace app {
namespace {
std::wstring g_appFolder;
}

const std::wstring& AppFolder() { return g_appFolder; }
void SetAppFolderForTests(const std::wstring& folder) { g_appFolder = folder; }

std::wstring ExecutablePath() {
  std::wstring path(1000, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  path.resize(n < path.size() ? n : 0);
  return path;
}

bool IsInsideTempFolder(const std::wstring& exePath, const std::wstring& longTempPath) {
  if (exePath.empty() || longTempPath.empty()) return false;
  return exePath.find(longTempPath) != std::wstring::npos;
}

bool IsSiblingNotesRunning() {
  fw::UniqueHandleK h(OpenEventW(EVENT_MODIFY_STATE, FALSE, kSiblingEventName));
  return static_cast<bool>(h);
}

int Run() {
  fw::MessageLoop loop;
  fw::AppModule::AddMessageLoop(&loop);

  std::wstring exe = ExecutablePath();
  size_t slash = exe.rfind(L'\\');
  g_appFolder = (slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash)) + L"\\";

  int result = 0;
  {
    Program program(ProgramFolders{store::GetDataFolder(), to_u16(g_appFolder)});
    if (program.Open()) result = loop.Run();
  }
  fw::AppModule::RemoveMessageLoop();
  return result;
}

int AppMain(const wchar_t* cmdLine, int show) {
  platform::BenchEvent("main", nullptr);
  // 1. Is another instance running?
  HANDLE existing = OpenEventW(EVENT_MODIFY_STATE, FALSE, kInstanceEventName);

  // 2. Refuse to run from the temporary folder (an archive viewer's extraction folder).
  bool refused = false;
  wchar_t exe[MAX_PATH + 1] = {};
  wchar_t temp[MAX_PATH + 1] = {};
  DWORD exeLen = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  DWORD tempLen = GetTempPathW(MAX_PATH, temp);
  if (exeLen > 0 && exeLen < MAX_PATH && tempLen > 0 && tempLen < MAX_PATH) {
    // The long form matches how the exe's path is written; where it cannot be had, the
    // temporary path as the system gave it still has to be checked.
    wchar_t longTemp[MAX_PATH + 1] = {};
    DWORD longLen = GetLongPathNameW(temp, longTemp, MAX_PATH);
    const wchar_t* tempFolder = longLen > 0 && longLen < MAX_PATH ? longTemp : temp;
    if (IsInsideTempFolder(exe, tempFolder)) {
      MessageBoxW(nullptr, kRefusalText, kRefusalTitle, MB_ICONERROR);
      refused = true;
    }
  }

  // 3. A second instance or a refused run exits quietly.
  HANDLE instanceEvent = existing;
  if (!existing && !refused) {
    instanceEvent = CreateEventW(nullptr, FALSE, TRUE, kInstanceEventName);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    DefWindowProcW(nullptr, WM_NULL, 0, 0);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);

    Run();

    // No image may be decoding once GDI+ is gone.
    richtext::StopImageLoader();
    CoUninitialize();
    Gdiplus::GdiplusShutdown(gdiplusToken);
    WSACleanup();
  }
  if (instanceEvent) CloseHandle(instanceEvent);
  return 0;
}

}  // namespace app
