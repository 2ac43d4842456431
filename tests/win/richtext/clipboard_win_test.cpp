// The private rich-text block on the clipboard is freed exactly once when another program
// empties the clipboard: by its owner where the system leaves that to the owner (as
// Windows does), by the system where it frees such blocks itself (as Wine does), never by
// both. The test binary runs itself again as the program that copied (the
// CopiesAndWaitsUntilTheClipboardIsEmptied child entry point).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/handles_win.h"
#include "richtext/clipboard_win.h"
#include "win/win_test_util.h"

using namespace richtext;

namespace {

constexpr wchar_t kRuleVar[] = L"PELINOR_CLIPBOARD_RULE";  // "windows": the owner frees; "system": as here
constexpr wchar_t kReadyVar[] = L"PELINOR_CLIPBOARD_READY";
constexpr wchar_t kEmptiedVar[] = L"PELINOR_CLIPBOARD_EMPTIED";
constexpr DWORD kWaitMs = 20000;

// How the copying child ends.
enum ChildExit : UINT {
  kFreedOnce = 0,
  kNotPlaced = 2,
  kLeaked = 3,          // the owner had to free the block and did not
  kFreedByUsToo = 4,    // the owner freed a block the system frees as well
  kNeverFreed = 5,      // the system was to free it and did not
  kNotEmptied = 6,
};

using wintest::Env;

}  // namespace

// Copies rich text, then waits until another program empties the clipboard; its exit code
// (a ChildExit) tells how the private block was freed.
WINTEST_CHILD(CopiesAndWaitsUntilTheClipboardIsEmptied) {
  const std::wstring rule = Env(kRuleVar);
  if (rule.empty()) return kNotPlaced;
  const bool ownerFrees = rule == L"windows" || !SystemFreesPrivateClipboardData();
  fw::UniqueHandleK ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, Env(kReadyVar).c_str()));
  fw::UniqueHandleK emptied(OpenEventW(SYNCHRONIZE, FALSE, Env(kEmptiedVar).c_str()));
  HWND reader = nullptr;
  WinClipboard clipboard(reader, ownerFrees);
  if (!clipboard.Put(u"plain", u"<font color=\"#ff0000\">rich</font>") || !OpenClipboard(nullptr))
    ExitProcess(kNotPlaced);
  HANDLE block = GetClipboardData(kRichTextFormat);
  CloseClipboard();
  if (!block) ExitProcess(kNotPlaced);
  SetEvent(ready.get());

  // WM_DESTROYCLIPBOARD is a sent message: dispatch until the other program has emptied
  // the clipboard (its EmptyClipboard returns once the message is handled).
  HANDLE wait = emptied.get();
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &wait, FALSE, kWaitMs, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    if (r != WAIT_OBJECT_0 + 1) ExitProcess(kNotEmptied);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  const bool freedNow = GlobalFlags(block) == GMEM_INVALID_HANDLE;
  // Ends without touching the clipboard again: where the system frees such blocks too,
  // the owner rule tried here would otherwise have the block freed a second time.
  if (ownerFrees) ExitProcess(freedNow ? kFreedOnce : kLeaked);
  if (freedNow) ExitProcess(kFreedByUsToo);
  // This system frees it when this program next opens the clipboard.
  if (OpenClipboard(nullptr)) CloseClipboard();
  ExitProcess(GlobalFlags(block) == GMEM_INVALID_HANDLE ? kFreedOnce : kNeverFreed);
}

namespace {

TEST(RichClipboard, PrivateBlockIsFreedOnceWhenAnotherProgramEmptiesTheClipboard) {
  for (const wchar_t* rule : {L"windows", L"system"}) {
    SCOPED_TRACE(std::string(rule, rule + wcslen(rule)));
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId()) + L"_" + rule;
    const std::wstring readyName = L"PelinorClipReady" + suffix, emptiedName = L"PelinorClipEmptied" + suffix;
    fw::UniqueHandleK ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    fw::UniqueHandleK emptied(CreateEventW(nullptr, TRUE, FALSE, emptiedName.c_str()));
    SetEnvironmentVariableW(kRuleVar, rule);
    SetEnvironmentVariableW(kReadyVar, readyName.c_str());
    SetEnvironmentVariableW(kEmptiedVar, emptiedName.c_str());
    std::wstring line = wintest::ChildCommandLine(L"CopiesAndWaitsUntilTheClipboardIsEmptied");
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;  // keep the child quiet
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    SetEnvironmentVariableW(kRuleVar, nullptr);
    fw::UniqueHandleK process(pi.hProcess), thread(pi.hThread);
    HANDLE started[] = {ready.get(), process.get()};
    ASSERT_EQ(WaitForMultipleObjects(2, started, FALSE, kWaitMs), WAIT_OBJECT_0) << "the child did not copy";

    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_TRUE(EmptyClipboard());
    CloseClipboard();
    SetEvent(emptied.get());
    ASSERT_EQ(WaitForSingleObject(process.get(), kWaitMs), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, static_cast<DWORD>(kFreedOnce))
        << "3: leaked by its owner, 4: freed by the owner and the system, 5: never freed, other: no copy";
  }
}

}  // namespace
