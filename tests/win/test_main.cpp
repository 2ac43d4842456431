// Entry of the Windows-layer test binary: brings up COM, common controls and GDI+ as the
// program does, runs the tests (or, with "--child=NAME", one child entry point), and shuts
// them down.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "win/win_test_util.h"

namespace wintest {
namespace {

constexpr wchar_t kChildSwitch[] = L"--child=";

std::map<std::wstring, ChildMain>& Children() {
  static std::map<std::wstring, ChildMain> children;
  return children;
}

}  // namespace

bool RegisterChild(const wchar_t* name, ChildMain main) {
  Children()[name] = main;
  return true;
}

std::wstring ChildCommandLine(const wchar_t* name) {
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  return std::wstring(L"\"") + exe + L"\" " + kChildSwitch + name;
}

}  // namespace wintest

namespace {

// The child entry point the command line names; nullptr when it names none.
wintest::ChildMain ChildFromCommandLine(int argc, wchar_t** argv) {
  const std::wstring prefix = wintest::kChildSwitch;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg.compare(0, prefix.size(), prefix) != 0) continue;
    auto found = wintest::Children().find(arg.substr(prefix.size()));
    if (found == wintest::Children().end()) {
      std::fprintf(stderr, "unknown child entry point: %ls\n", arg.c_str());
      std::exit(2);
    }
    return found->second;
  }
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wintest::ChildMain child = ChildFromCommandLine(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Gdiplus::GdiplusStartupInput in;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &in, nullptr);
  int rc = child ? child() : RUN_ALL_TESTS();
  // The results are out; end here rather than in GDI+'s, COM's and the runtime's teardown,
  // which under a loaded Wine has been seen to stall long after the last test passed.
  fflush(stdout);
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(rc));
  Gdiplus::GdiplusShutdown(token);
  CoUninitialize();
  return rc;
}
