#include <winsock2.h>

#include "app/app_win.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>
#include <winsock2.h>

#include <memory>

#include "adverts/adv_popup_wnd_win.h"
#include "adverts/advert_store.h"
#include "app/main_dlg_win.h"
#include "app/main_wiring_win.h"
#include "feed/feed_fetch_win.h"
#include "framework/handles_win.h"
#include "framework/message_loop_win.h"
#include "framework/wstr_win.h"
#include "platform/bench_trace.h"
#include "platform/write_queue.h"
#include "richtext/image_loader_win.h"
#include "store/data_store_win.h"
#include "store/statistics.h"

namespace app {
namespace {
std::wstring g_appFolder;
// How long the exit waits for workers to notice they are cancelled.
constexpr std::chrono::milliseconds kWorkerExitBound{2000};
constexpr char16_t kFetchStateFile[] = u"feeds.dat";
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

int Run(feed::FeedRefresher& feeds) {
  fw::MessageLoop loop;
  fw::AppModule::AddMessageLoop(&loop);

  std::wstring exe = ExecutablePath();
  size_t slash = exe.rfind(L'\\');
  g_appFolder = (slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash)) + L"\\";

  // What the feed workers remember between runs (validators, back-off) sits beside data.dat.
  std::u16string dataFolder = store::GetDataFolder();
  feeds.OpenStates((dataFolder.empty() ? to_u16(g_appFolder) : dataFolder) + kFetchStateFile);

  // Files are written on their own thread, or on a download thread that waits for work
  // (one lingers a while after every refresh): no thread is made for a save then. The
  // queue outlives everything that writes to it, and its end waits for the last save.
  platform::WriteQueue writes;
  writes.SetLender([&feeds](std::function<void()> job) { return feeds.RunOnIdleThread(std::move(job)); });
  store::DataStore data(dataFolder, to_u16(g_appFolder), &writes);
  adverts::AdvertStore advertStore(dataFolder);
  // The advert popup outlives the main window's hooks that show it.
  adverts::CAdvPopupWnd advertPopup;
  auto dlg = std::make_unique<CMainDlg>();
  InstallSubsystemHooks(*dlg, Subsystems{&data, &writes, &advertStore, &advertPopup, &feeds});
  if (!dlg->Create(nullptr)) {
    fw::AppModule::RemoveMessageLoop();
    store::SetStatisticsFolders(u"", u"");
    return 0;
  }
  ShowWindow(dlg->hwnd(), SW_HIDE);
  int result = loop.Run();
  fw::AppModule::RemoveMessageLoop();
  dlg.reset();
  store::SetStatisticsFolders(u"", u"");  // no statistics write may outlive the queue
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

    {
      // Every refresh and subscription notice goes through one refresher (and one WinINet
      // session). At exit those still downloading are cancelled; those that cannot end at
      // once are left behind within the bound (they keep what they use, and use nothing
      // torn down below). The main window's tick looks after its downloads' deadlines.
      feed::FeedRefresher feeds(net::HttpSession::Watch::kWhenLooked);
      Run(feeds);
      feeds.Stop(kWorkerExitBound);
    }

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
