#include "app/main_dlg_win.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/app_win.h"
#include "framework/handles_win.h"
#include "framework/message_loop_win.h"
#include "widgets/news_notes_win.h"
#include "win/win_fake_program.h"
#include "win/win_test_util.h"

namespace {

using app::CMainDlg;

std::wstring ReadValue(const wchar_t* keyPath, const wchar_t* name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &raw) != ERROR_SUCCESS) return L"<no key>";
  fw::UniqueRegKey key(raw);
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
  if (RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS)
    return L"<no value>";
  return buf;
}

void WriteValue(const wchar_t* keyPath, const wchar_t* name, const std::wstring& v) {
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  fw::UniqueRegKey key(raw);
  RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                 static_cast<DWORD>((v.size() + 1) * sizeof(wchar_t)));
}

// The main window driven by a fake program that records the calls it makes.
class MainDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::AppModule::AddMessageLoop(&loop_);
    program_.onSave = [this] { saves_.push_back(GetTickCount64()); };
    ASSERT_NE(program_.Create(), nullptr);
  }
  void TearDown() override {
    if (dlg_.IsWindow()) dlg_.DestroyWindow();
    fw::AppModule::RemoveMessageLoop();
  }

  fw::MessageLoop loop_;
  wintest::FakeProgram program_;
  CMainDlg& dlg_ = program_.window();
  std::vector<ULONGLONG> saves_;
};

TEST_F(MainDlgTest, HiddenToolWindowThatLoadedItsData) {
  EXPECT_FALSE(IsWindowVisible(dlg_.hwnd()));
  LONG_PTR ex = GetWindowLongPtrW(dlg_.hwnd(), GWL_EXSTYLE);
  EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(ex & WS_EX_APPWINDOW);
  EXPECT_EQ(program_.started, 1);
  wchar_t title[64] = {};
  GetWindowTextW(dlg_.hwnd(), title, 64);
  EXPECT_STREQ(title, L"Dorvane");
}

TEST_F(MainDlgTest, BurstOfScheduleSaveGivesOneSaveASecondAfterTheLast) {
  ULONGLONG last = 0;
  for (int i = 0; i < 5; ++i) {
    dlg_.ScheduleSave(app::kSaveDelayMs);
    last = GetTickCount64();
    wintest::PumpFor(150);
  }
  EXPECT_TRUE(saves_.empty()) << "saved before the burst ended";
  ASSERT_TRUE(wintest::PumpUntil([this] { return !saves_.empty(); }, 3000));
  ULONGLONG delay = saves_[0] - last;
  EXPECT_GE(delay, 900u);
  EXPECT_LE(delay, 1800u);  // generous: timers run late on a loaded machine
  wintest::PumpFor(1500);
  EXPECT_EQ(saves_.size(), 1u) << "the save timer must stop after firing";
}

TEST_F(MainDlgTest, ASaveAskedSoonerThanThePendingOneIsNotHeldBack) {
  dlg_.ScheduleSave(5000);
  const ULONGLONG asked = GetTickCount64();
  dlg_.ScheduleSave(300);
  ASSERT_TRUE(wintest::PumpUntil([this] { return !saves_.empty(); }, 3000));
  EXPECT_GE(saves_[0] - asked, 250u);
  EXPECT_LE(saves_[0] - asked, 1500u);
  // A later, longer delay moves it on instead.
  dlg_.ScheduleSave(300);
  dlg_.ScheduleSave(1200);
  const ULONGLONG again = GetTickCount64();
  wintest::PumpFor(800);
  EXPECT_EQ(saves_.size(), 1u) << "saved before the later due time";
  ASSERT_TRUE(wintest::PumpUntil([this] { return saves_.size() == 2; }, 3000));
  EXPECT_GE(saves_[1] - again, 1100u);
  wintest::PumpFor(600);
  EXPECT_EQ(saves_.size(), 2u);
}

TEST_F(MainDlgTest, QueryEndSessionDropsAPendingSave) {
  dlg_.ScheduleSave(300);
  EXPECT_EQ(SendMessageW(dlg_.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
  wintest::PumpFor(700);
  EXPECT_TRUE(saves_.empty());
}

// The start-up wait is asked once a second until it says it is over, and never after.
TEST_F(MainDlgTest, TheNetworkWaitIsAskedEverySecondUntilItIsOver) {
  ASSERT_TRUE(wintest::PumpUntil([this] { return program_.networkWaits >= 2; }, 3500));
  EXPECT_GE(program_.ticks, 1);
  program_.online = true;
  const int asked = program_.networkWaits;
  ASSERT_TRUE(wintest::PumpUntil([&] { return program_.networkWaits > asked; }, 1600));
  const int last = program_.networkWaits;
  wintest::PumpFor(2200);
  EXPECT_EQ(program_.networkWaits, last) << "asked again after the wait was over";
  EXPECT_GE(program_.ticks, 3) << "the tick goes on";
}

TEST_F(MainDlgTest, CustomMessages) {
  SendMessageW(dlg_.hwnd(), app::WM_APP_REMOTE_CONFIG, 0, 0);
  SendMessageW(dlg_.hwnd(), app::WM_APP_REMOTE_CONFIG, 1, 0);
  EXPECT_EQ(program_.configResults, (std::vector<bool>{false, true}));
  // Removal: a pointer that is not a listed widget is ignored, a listed one goes.
  auto* widget = new CNewsNotes(program_.manager());
  program_.manager().AddWidget(widget);
  PostMessageW(dlg_.hwnd(), app::WM_APP_REMOVE_WIDGET, 0, 1234);
  wintest::PumpFor(50);
  EXPECT_EQ(program_.manager().WidgetList().size(), 1u);
  dlg_.RemoveWidgetLater(widget);
  EXPECT_EQ(program_.manager().WidgetList().size(), 1u) << "removed before the message returned";
  wintest::PumpFor(50);
  EXPECT_TRUE(program_.manager().WidgetList().empty());
  for (UINT m : {app::WM_APP_UNUSED_101, app::WM_APP_UNUSED_104, app::WM_APP_UNUSED_110})
    EXPECT_EQ(SendMessageW(dlg_.hwnd(), m, 7, 7), 0);
  // The download request's URL block belongs to the receiver.
  auto* block = new wchar_t[32];
  wcscpy(block, L"http://127.0.0.1/setup.exe");
  SendMessageW(dlg_.hwnd(), app::WM_APP_START_DOWNLOAD, 0, reinterpret_cast<LPARAM>(block));
  EXPECT_EQ(SendMessageW(dlg_.hwnd(), app::WM_APP_START_DOWNLOAD, 0, 0), 0);
  EXPECT_EQ(program_.downloads, (std::vector<std::wstring>{L"http://127.0.0.1/setup.exe"}));
}

// Commands, the notification icon, waking up and Explorer's restart reach the program as
// calls of their own; only the computer's resume counts as one (not a suspend).
TEST_F(MainDlgTest, MessagesBecomeTypedCalls) {
  for (UINT id : {app::kCmdSettings, app::kCmdCheckUpdate, app::kCmdAbout, 9999u})
    SendMessageW(dlg_.hwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
  EXPECT_EQ(program_.commands, (std::vector<UINT>{app::kCmdSettings, app::kCmdCheckUpdate, app::kCmdAbout, 9999u}));
  std::vector<POINT> menus;
  program_.onIconMenu = [&](int x, int y) { menus.push_back({x, y}); };
  SetCursorPos(120, 130);
  POINT cursor{};
  GetCursorPos(&cursor);
  SendMessageW(dlg_.hwnd(), app::WM_APP_TRAY, 0, WM_RBUTTONUP);
  SendMessageW(dlg_.hwnd(), app::WM_APP_TRAY, 0, WM_MOUSEMOVE);
  SendMessageW(dlg_.hwnd(), app::WM_APP_TRAY, 0, WM_LBUTTONUP);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].x, cursor.x);
  EXPECT_EQ(menus[0].y, cursor.y);
  EXPECT_EQ(program_.iconClicks, 1);
  for (WPARAM event : {WPARAM{0x4} /* suspend */, WPARAM{0x7}, WPARAM{0x12}})
    EXPECT_EQ(SendMessageW(dlg_.hwnd(), WM_POWERBROADCAST, event, 0), TRUE);
  EXPECT_EQ(program_.resumes, 2);
  const int shown = program_.iconShown;
  SendMessageW(dlg_.hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(program_.iconShown, shown + 1);
  dlg_.DestroyWindow();
  EXPECT_EQ(program_.closings, 1);
}

TEST_F(MainDlgTest, QuitSavesDestroysAndPostsQuit) {
  dlg_.ScheduleSave(5000);
  SendMessageW(dlg_.hwnd(), WM_COMMAND, MAKEWPARAM(app::kCmdQuit, 0), 0);
  EXPECT_EQ(saves_.size(), 1u);
  EXPECT_FALSE(dlg_.IsWindow());
  EXPECT_TRUE(program_.commands.empty()) << "quitting is the window's own";
  MSG msg;
  bool sawQuit = false;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    if (msg.message == WM_QUIT) sawQuit = true;
  EXPECT_TRUE(sawQuit);
  wintest::PumpFor(300);
  EXPECT_EQ(saves_.size(), 1u) << "the pending save was dropped";
}

TEST(AutoStart, OnOffAndAnotherCopysPath) {
  std::wstring quoted = L"\"" + app::ExecutablePath() + L"\"";
  app::DisableAutoStart();
  EXPECT_FALSE(app::IsAutoStartOn());
  WriteValue(app::kRunKey, app::kRunValue, L"\"C:\\Other Copy\\pelinor.exe\"");
  EXPECT_FALSE(app::IsAutoStartOn()) << "another copy's path is not ours";
  ASSERT_TRUE(app::EnableAutoStart());
  EXPECT_TRUE(app::IsAutoStartOn());
  EXPECT_EQ(ReadValue(app::kRunKey, app::kRunValue), quoted);
  WriteValue(app::kRunKey, app::kRunValue, app::ExecutablePath());  // unquoted: not ours either
  EXPECT_FALSE(app::IsAutoStartOn());
  EXPECT_TRUE(app::DisableAutoStart());
  EXPECT_FALSE(app::IsAutoStartOn());
  EXPECT_EQ(ReadValue(app::kRunKey, app::kRunValue), L"<no value>");
  EXPECT_FALSE(app::DisableAutoStart()) << "deleting a missing value is not a success";
}

TEST(Location, RewrittenOnlyWhenItDiffers) {
  WriteValue(app::kLocationKey, app::kLocationValue, L"C:\\old place\\pelinor.exe");
  EXPECT_TRUE(app::PublishLocation());
  EXPECT_EQ(ReadValue(app::kLocationKey, app::kLocationValue), app::ExecutablePath());
  EXPECT_FALSE(app::PublishLocation()) << "an identical value is left untouched";
  std::wstring upper = app::ExecutablePath();
  for (auto& c : upper) c = towupper(c);
  WriteValue(app::kLocationKey, app::kLocationValue, upper);
  EXPECT_TRUE(app::PublishLocation()) << "the comparison is case-sensitive";
}

TEST(TempFolder, ContainmentIsASubstringMatch) {
  EXPECT_TRUE(app::IsInsideTempFolder(L"C:\\Users\\a\\AppData\\Local\\Temp\\Rar$EX0\\pelinor.exe",
                                      L"C:\\Users\\a\\AppData\\Local\\Temp\\"));
  EXPECT_FALSE(app::IsInsideTempFolder(L"C:\\Program Files\\Pelinor\\pelinor.exe",
                                       L"C:\\Users\\a\\AppData\\Local\\Temp\\"));
  EXPECT_FALSE(app::IsInsideTempFolder(L"c:\\users\\a\\appdata\\local\\temp\\x.exe",
                                       L"C:\\Users\\a\\AppData\\Local\\Temp\\"));
  EXPECT_FALSE(app::IsInsideTempFolder(L"", L"C:\\Temp\\"));
}

}  // namespace
