// A save killed at any moment must leave a loadable document, old or new. The test binary
// runs itself again as the saving child (the SavesUntilKilled child entry point) and
// terminates it at random points.
#include <windows.h>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include <random>
#include <string>
#include <vector>

#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "platform/files.h"
#include "platform/text.h"
#include "store/data_store.h"
#include "store/data_store_win.h"
#include "test_util.h"
#include "win/win_test_util.h"

namespace {

constexpr wchar_t kTargetVar[] = L"PELINOR_CRASH_TARGET";
constexpr wchar_t kReadyVar[] = L"PELINOR_CRASH_READY";

std::string Document(int usecount) {
  ManagerData m;
  m.usecount = usecount;
  std::vector<CNotesLocalInfo> notes(30);
  for (auto& n : notes) n.content = std::u16string(400, u'\u65b0');
  return store::BuildDataDocument({m, notes}, {1024, 768});
}

using wintest::Env;

}  // namespace

// Saves the older and the newer document in turn until it is killed.
WINTEST_CHILD(SavesUntilKilled) {
  const std::wstring target = Env(kTargetVar);
  if (target.empty()) return 2;
  const std::string older = Document(10), newer = Document(20);
  fw::UniqueHandleK ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, Env(kReadyVar).c_str()));
  if (ready) SetEvent(ready.get());
  for (;;) {
    if (!store::WriteDataFile(newer, to_u16(target), nullptr) || !store::WriteDataFile(older, to_u16(target), nullptr))
      ExitProcess(3);
  }
}

namespace {

TEST(DataCrash, KilledSavesAlwaysLeaveTheOldOrTheNewDocument) {
  testutil::TempDir dir;
  const std::u16string folder = platform::Utf8ToU16(dir.file(""));
  const std::u16string target = folder + u"data.dat";
  ASSERT_EQ(store::WriteDataFile(Document(10), target, nullptr), 1);

  const std::wstring cmd = wintest::ChildCommandLine(L"SavesUntilKilled");
  std::mt19937 rng(4242);
  int interrupted = 0, fromBackup = 0;
  constexpr int kRounds = 80;
  for (int round = 0; round < kRounds; ++round) {
    std::wstring readyName = L"PelinorCrashReady" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(round);
    fw::UniqueHandleK ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    SetEnvironmentVariableW(kTargetVar, as_wcstr(target));
    SetEnvironmentVariableW(kReadyVar, readyName.c_str());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;  // keep the child quiet
    PROCESS_INFORMATION pi{};
    std::wstring line = cmd;
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    SetEnvironmentVariableW(kTargetVar, nullptr);
    fw::UniqueHandleK process(pi.hProcess), thread(pi.hThread);
    ASSERT_EQ(WaitForSingleObject(ready.get(), 20000), WAIT_OBJECT_0) << "the child did not start";
    Sleep(rng() % 25);
    TerminateProcess(process.get(), 9);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    ASSERT_EQ(code, 9u) << "the saving child failed by itself";
    if (platform::FileExists(platform::TempPathFor(target))) ++interrupted;

    TiXmlDocument doc;
    bool anyRead = false;
    int error = 0;
    int index = store::LoadFirstUsable(store::DataFileCandidates(u"", folder), &doc, &anyRead, &error);
    ASSERT_GE(index, 0) << "round " << round << ": nothing loadable";
    if (index > 0) ++fromBackup;
    ManagerData m;
    store::ReadSettings(doc.RootElement(), &m);
    ASSERT_TRUE(m.usecount == 11 || m.usecount == 21) << "round " << round << ": usecount " << m.usecount;
  }
  EXPECT_GT(interrupted, kRounds / 10) << "the kills must hit writes in progress";
  std::printf("%d of %d kills interrupted a write; %d loads needed the backup\n", interrupted, kRounds, fromBackup);
}

}  // namespace
