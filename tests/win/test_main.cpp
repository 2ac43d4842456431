// Entry of the Windows-layer test binary: brings up COM, common controls and GDI+ as the
// program does, runs the tests, and shuts them down.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  Gdiplus::GdiplusStartupInput in;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartup(&token, &in, nullptr);
  int rc = RUN_ALL_TESTS();
  // The results are out; end here rather than in GDI+'s, COM's and the runtime's teardown,
  // which under a loaded Wine has been seen to stall long after the last test passed.
  fflush(stdout);
  fflush(stderr);
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(rc));
  Gdiplus::GdiplusShutdown(token);
  CoUninitialize();
  return rc;
}
