#include "menus/qmenu_win.h"

#include <windowsx.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "framework/message_loop_win.h"
#include "menus/color_menu_win.h"
#include "menus/main_menu.h"
#include "menus/main_menu_win.h"
#include "ui/dpi_win.h"
#include "win/win_fake_program.h"
#include "win/win_test_util.h"

namespace {

using menus::CQMenu;

// A plain window that records the commands it receives.
class CommandSink : public fw::WindowBase {
 public:
  HWND Create() {
    return WindowBase::Create(L"PelinorTestCommandSink", nullptr, RECT{0, 0, 50, 50}, L"sink", WS_POPUP, 0);
  }
  std::vector<WPARAM> commands;
  BEGIN_MSG_MAP(CommandSink)
    MESSAGE_HANDLER(WM_COMMAND, OnCommand)
  END_MSG_MAP()

 private:
  LRESULT OnCommand(UINT, WPARAM wParam, LPARAM, BOOL&) {
    commands.push_back(wParam);
    return 0;
  }
};

RECT WindowRectOf(HWND hwnd) {
  RECT rc{};
  GetWindowRect(hwnd, &rc);
  return rc;
}

LPARAM CentreOf(const menus::Rect& r) { return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

// Pixels of the menu as it paints itself, printed into a 32-bit DIB.
std::vector<uint32_t> PrintWindowClient(HWND hwnd, int* w, int* h) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  *w = rc.right;
  *h = rc.bottom;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = *w;
  bi.bmiHeader.biHeight = -*h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  fw::UniqueBitmap dib(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  fw::UniqueMemDc dc(CreateCompatibleDC(nullptr));
  std::vector<uint32_t> out;
  if (!dib || !dc) return out;
  {
    fw::SelectGuard sel(dc.get(), dib.get());
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    out.assign(p, p + static_cast<size_t>(*w) * *h);
  }
  for (uint32_t& px : out) px &= 0xFFFFFF;
  return out;
}

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kFrame = 0xACA899;  // R172 G168 B153 as the DIB stores it

// The main window with the main menu and the notification icon as the program has them.
class MainMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fw::AppModule::AddMessageLoop(&loop_);
    program_.onIconMenu = [this](int x, int y) { menu_.Show(dlg_.hwnd(), x, y); };
    program_.onShowIcon = [this] { trayAdded_ = menus::AddTrayIcon(dlg_.hwnd()); };
    program_.onClosing = [this] { menus::RemoveTrayIcon(dlg_.hwnd()); };
    ASSERT_NE(program_.Create(), nullptr);
  }
  void TearDown() override {
    menu_.Close();
    if (dlg_.IsWindow()) dlg_.DestroyWindow();
    fw::AppModule::RemoveMessageLoop();
  }
  // Opens the main menu as a right click on the icon does, with the cursor at (x, y).
  // The menu closes by design when another application becomes active; tests running
  // beside this one may do that, so a menu closed that way is opened once more.
  void OpenAt(int x, int y) {
    bool open = false;
    for (int attempt = 0; attempt < 3 && !open; ++attempt) {
      SetCursorPos(x, y);
      PostMessageW(dlg_.hwnd(), menus::kTrayCallbackMessage, 0, WM_RBUTTONUP);
      open = wintest::PumpUntil([this] { return menu_.top().hwnd() && IsWindowVisible(menu_.top().hwnd()); }, 5000);
    }
    ASSERT_TRUE(open);
  }
  bool AllClosed() { return !menu_.top().hwnd() && !menu_.options().hwnd() && !menu_.toolbox().hwnd(); }

  fw::MessageLoop loop_;
  menus::MainMenu menu_;  // declared before the window, so it goes after it, as in the program
  wintest::FakeProgram program_;
  app::CMainDlg& dlg_ = program_.window();
  bool trayAdded_ = false;
  int Commands(UINT id) const { return static_cast<int>(std::count(program_.commands.begin(), program_.commands.end(), id)); }
};

TEST_F(MainMenuTest, RightClickOnTheIconOpensANonActivatingToolWindowAtTheCursor) {
  OpenAt(300, 200);
  POINT cursor;
  GetCursorPos(&cursor);
  HWND top = menu_.top().hwnd();
  RECT rc = WindowRectOf(top);
  EXPECT_EQ(rc.left, cursor.x);
  EXPECT_EQ(rc.top, cursor.y);
  EXPECT_TRUE(GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetClassLongPtrW(top, GCL_STYLE) & CS_DROPSHADOW);
  EXPECT_NE(GetForegroundWindow(), top);
  EXPECT_EQ(GetWindow(top, GW_OWNER), dlg_.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), &menu_.top());
  // Separator, 工具箱, 选项, 退出: 3 + 10 + 3 x 20 + 3 pixels at 96 DPI.
  EXPECT_EQ(menu_.top().ItemCount(), 4u);
  EXPECT_EQ(rc.bottom - rc.top, ui::ToPixels(76, ui::DpiAtPoint(cursor.x, cursor.y)));
  // A menu opened again is built anew, not doubled.
  menu_.Close();
  OpenAt(300, 200);
  EXPECT_EQ(menu_.top().ItemCount(), 4u);
  SendMessageW(menu_.top().hwnd(), WM_MOUSEMOVE, 0, CentreOf(menu_.top().ItemRect(2)));
  EXPECT_EQ(menu_.options().ItemCount(), 4u);
}

TEST_F(MainMenuTest, PrintedIntoADibItIsWhiteWithItsFrameAndEntries) {
  OpenAt(300, 200);
  int w = 0, h = 0;
  std::vector<uint32_t> px = PrintWindowClient(menu_.top().hwnd(), &w, &h);
  ASSERT_EQ(px.size(), static_cast<size_t>(w) * h);
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * w + x]; };
  EXPECT_EQ(at(0, 0), kFrame);
  EXPECT_EQ(at(w - 1, h - 1), kFrame);
  EXPECT_EQ(at(w / 2, 0), kFrame);
  EXPECT_EQ(at(0, h / 2), kFrame);
  EXPECT_EQ(at(1, 1), kWhite);
  EXPECT_EQ(at(w - 2, h - 2), kWhite);
  // The separator is the top entry: a frame-coloured line across its middle.
  menus::Rect sep = menu_.top().ItemRect(0);
  EXPECT_EQ(at(sep.left + 5, sep.top + sep.height() / 2), kFrame);
  EXPECT_EQ(at(sep.left + 5, sep.top + 1), kWhite);
  // Each caption leaves dark pixels in its text column; icons colour their column.
  auto countIn = [&](const menus::Rect& r, bool (*pred)(uint32_t)) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += pred(at(x, y)) ? 1 : 0;
    return n;
  };
  auto dark = [](uint32_t c) { return (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && (c >> 16) < 0x60; };
  auto coloured = [](uint32_t c) { return c != 0xFFFFFF; };
  for (size_t i = 1; i < 4; ++i) {
    menus::Rect item = menu_.top().ItemRect(i);
    menus::Rect text{item.left + 27, item.top, item.right - 12, item.bottom};
    EXPECT_GT(countIn(text, dark), 10) << "item " << i;
  }
  menus::Rect toolbox = menu_.top().ItemRect(1);
  EXPECT_GT(countIn(menus::Rect{toolbox.left, toolbox.top, toolbox.left + 27, toolbox.bottom}, coloured), 20);
  // Its submenu arrow: black lines of 1, 2, 3, 4, 3, 2, 1 pixels, 8 pixels left of the right.
  const int arrowX = toolbox.right - 8, arrowTop = toolbox.top + (toolbox.height() - 7) / 2;
  const int lengths[7] = {1, 2, 3, 4, 3, 2, 1};
  for (int k = 0; k < 7; ++k) {
    EXPECT_EQ(at(arrowX + lengths[k] - 1, arrowTop + k), 0u) << "arrow line " << k;
    EXPECT_EQ(at(arrowX + lengths[k], arrowTop + k), kWhite) << "arrow line " << k;
  }
  EXPECT_EQ(at(arrowX, arrowTop - 1), kWhite);
  EXPECT_EQ(at(arrowX, arrowTop + 7), kWhite);
  // The hot entry is filled light grey.
  SendMessageW(menu_.top().hwnd(), WM_MOUSEMOVE, 0, CentreOf(menu_.top().ItemRect(3)));
  px = PrintWindowClient(menu_.top().hwnd(), &w, &h);
  menus::Rect quit = menu_.top().ItemRect(3);
  EXPECT_EQ(at(quit.right - 2, quit.top + 1), 0xD2D2D2u);
}

TEST_F(MainMenuTest, OptionsOpensToTheRightAndAboutReachesTheMainWindow) {
  OpenAt(300, 200);
  CQMenu& top = menu_.top();
  SendMessageW(top.hwnd(), WM_MOUSEMOVE, 0, CentreOf(top.ItemRect(2)));  // 选项
  ASSERT_TRUE(menu_.options().hwnd());
  EXPECT_TRUE(IsWindowVisible(menu_.options().hwnd()));
  EXPECT_EQ(top.OpenSubmenu(), &menu_.options());
  RECT parent = WindowRectOf(top.hwnd()), sub = WindowRectOf(menu_.options().hwnd());
  EXPECT_EQ(sub.left, parent.right);
  EXPECT_EQ(sub.top, parent.top + top.ItemRect(2).top);
  EXPECT_NE(GetForegroundWindow(), menu_.options().hwnd());
  // Moving onto 工具箱 swaps the submenus.
  SendMessageW(top.hwnd(), WM_MOUSEMOVE, 0, CentreOf(top.ItemRect(1)));
  EXPECT_FALSE(menu_.options().hwnd());
  EXPECT_TRUE(menu_.toolbox().hwnd());
  // Its entries are greyed and unavailable: a click leaves everything open and sends nothing.
  SendMessageW(menu_.toolbox().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(menu_.toolbox().ItemRect(0)));
  wintest::PumpFor(100);
  EXPECT_TRUE(menu_.toolbox().hwnd());
  EXPECT_TRUE(top.hwnd());
  // Back to 选项 and a click on 关于: the command travels up and every level closes.
  SendMessageW(top.hwnd(), WM_MOUSEMOVE, 0, CentreOf(top.ItemRect(2)));
  ASSERT_TRUE(menu_.options().hwnd());
  SendMessageW(menu_.options().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(menu_.options().ItemRect(3)));
  EXPECT_TRUE(wintest::PumpUntil([this] { return Commands(app::kCmdAbout) == 1; }, 2000));
  EXPECT_TRUE(AllClosed());
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
  EXPECT_EQ(Commands(app::kCmdCheckUpdate), 0);
  // 检查软件更新 and 设置 likewise.
  OpenAt(300, 200);
  SendMessageW(menu_.top().hwnd(), WM_MOUSEMOVE, 0, CentreOf(menu_.top().ItemRect(2)));
  SendMessageW(menu_.options().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(menu_.options().ItemRect(2)));
  EXPECT_TRUE(wintest::PumpUntil([this] { return Commands(app::kCmdCheckUpdate) == 1; }, 2000));
  OpenAt(300, 200);
  SendMessageW(menu_.top().hwnd(), WM_MOUSEMOVE, 0, CentreOf(menu_.top().ItemRect(2)));
  SendMessageW(menu_.options().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(menu_.options().ItemRect(0)));
  EXPECT_TRUE(wintest::PumpUntil([this] { return Commands(app::kCmdSettings) == 1; }, 2000));
  EXPECT_EQ(Commands(app::kCmdAbout), 1);
}

TEST_F(MainMenuTest, QuitSavesAndEndsTheProgram) {
  OpenAt(300, 200);
  SendMessageW(menu_.top().hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(menu_.top().ItemRect(3)));
  // The command arrives posted; dispatch until the quit request shows up (generously:
  // tests running beside this one can hold the posted command back for seconds).
  bool sawQuit = false;
  ULONGLONG end = GetTickCount64() + 10000;
  while (!sawQuit && GetTickCount64() < end) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      Sleep(5);
      continue;
    }
    if (msg.message == WM_QUIT) sawQuit = true;
    DispatchMessageW(&msg);
  }
  EXPECT_TRUE(sawQuit);
  EXPECT_EQ(program_.saves, 1);
  EXPECT_FALSE(dlg_.IsWindow());
  EXPECT_TRUE(AllClosed());
}

TEST_F(MainMenuTest, NearTheBottomRightCornerItOpensUpAndLeft) {
  int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  OpenAt(sw - 5, sh - 5);
  POINT cursor;
  GetCursorPos(&cursor);
  RECT rc = WindowRectOf(menu_.top().hwnd());
  EXPECT_EQ(rc.right, cursor.x);
  EXPECT_EQ(rc.bottom, cursor.y);
  // Its submenu cannot open to the right either.
  SendMessageW(menu_.top().hwnd(), WM_MOUSEMOVE, 0, CentreOf(menu_.top().ItemRect(2)));
  RECT sub = WindowRectOf(menu_.options().hwnd());
  EXPECT_EQ(sub.right, rc.left);
  EXPECT_LE(sub.bottom, sh);
}

TEST_F(MainMenuTest, TheNotificationIconComesBackWhenExplorerRestarts) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = dlg_.hwnd();
  nid.uID = menus::kTrayIconId;
  nid.uFlags = NIF_TIP;
  lstrcpynW(nid.szTip, L"Dorvane", ARRAYSIZE(nid.szTip));
  if (!trayAdded_) GTEST_SKIP() << "this session has no notification area";
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &nid));  // it exists
  menus::RemoveTrayIcon(dlg_.hwnd());
  EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &nid));
  SendMessageW(dlg_.hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &nid));
  // A left click brings the widgets forward and opens no menu.
  SendMessageW(dlg_.hwnd(), menus::kTrayCallbackMessage, 0, WM_LBUTTONUP);
  EXPECT_EQ(program_.iconClicks, 1);
  EXPECT_FALSE(menu_.top().hwnd());
  // The window's end removes it.
  dlg_.DestroyWindow();
  EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &nid));
}

// A top-level menu with a submenu, owned by a plain window of the test.
class QMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sink_.Create());
    ASSERT_TRUE(other_.Create());
    sub_.AppendItem(0, u"子项一", 11, nullptr);
    sub_.AppendItem(menus::kItemGrayed, u"灰色但可选", 12, nullptr);
  }
  void Open() {
    top_.AppendItem(0, u"第一项", 1, nullptr);
    top_.AppendPopup(menus::kItemPopup, u"更多", &sub_, nullptr);
    ASSERT_TRUE(top_.Create(sink_.hwnd()));
    top_.TrackPopup(400, 300, sink_.hwnd());
    SendMessageW(top_.hwnd(), WM_MOUSEMOVE, 0, CentreOf(top_.ItemRect(1)));
    ASSERT_TRUE(sub_.hwnd());
  }
  void TearDown() override { top_.Close(); }

  CommandSink sink_, other_;
  CQMenu sub_;
  CQMenu top_;
};

TEST_F(QMenuTest, AClickOutsideClosesEveryLevelAndSendsNothing) {
  for (int round = 0; round < 2; ++round) {  // the hook comes back with the next menu
    Open();
    SetCursorPos(20, 20);  // far from the menu
    PostMessageW(other_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    wintest::PumpFor(100);
    EXPECT_FALSE(top_.hwnd()) << "round " << round;
    EXPECT_FALSE(sub_.hwnd());
    EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
    wintest::PumpFor(50);
    EXPECT_TRUE(sink_.commands.empty());
  }
}

TEST_F(QMenuTest, EscapeClosesEveryLevelAndOtherKeysDoNot) {
  Open();
  PostMessageW(other_.hwnd(), WM_KEYDOWN, 'A', 0);
  wintest::PumpFor(50);
  EXPECT_TRUE(sub_.hwnd());
  PostMessageW(other_.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
  wintest::PumpFor(50);
  EXPECT_FALSE(top_.hwnd());
  EXPECT_FALSE(sub_.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
  EXPECT_TRUE(sink_.commands.empty());
}

TEST_F(QMenuTest, AnotherApplicationBecomingActiveClosesEveryLevel) {
  Open();
  SendMessageW(sub_.hwnd(), WM_ACTIVATEAPP, TRUE, 0);  // this application activated: stays
  EXPECT_TRUE(sub_.hwnd());
  SendMessageW(top_.hwnd(), WM_ACTIVATEAPP, FALSE, 0);
  EXPECT_FALSE(top_.hwnd());
  EXPECT_FALSE(sub_.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
  wintest::PumpFor(50);
  EXPECT_TRUE(sink_.commands.empty());
}

// A window of another thread in front of every other, as a message box on another thread
// is, or the program the system left in front when it refused this one the foreground.
class OtherThreadWindow {
 public:
  OtherThreadWindow() {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this, ready] {
      threadId_ = GetCurrentThreadId();
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"PelinorTestOtherThread";
      RegisterClassW(&wc);  // fails harmlessly when a former test registered it
      hwnd_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"other", WS_POPUP | WS_VISIBLE, 40, 40, 160, 120,
                              nullptr, nullptr, wc.hInstance, nullptr);
      SetForegroundWindow(hwnd_);
      SetEvent(ready);
      MSG msg;
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
      DestroyWindow(hwnd_);
    });
    WaitForSingleObject(ready, 5000);
    CloseHandle(ready);
  }
  ~OtherThreadWindow() {
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND hwnd() const { return hwnd_; }

 private:
  std::thread thread_;
  DWORD threadId_ = 0;
  HWND hwnd_ = nullptr;
};

// A press of the left button at a screen point, through the system's input.
void PressAt(POINT pt) {
  INPUT in[3] = {};
  for (INPUT& i : in) i.type = INPUT_MOUSE;
  in[0].mi.dx = MulDiv(pt.x, 65536, GetSystemMetrics(SM_CXSCREEN));
  in[0].mi.dy = MulDiv(pt.y, 65536, GetSystemMetrics(SM_CYSCREEN));
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, in, sizeof(INPUT));
}

TEST_F(QMenuTest, APressInAnotherThreadsWindowClosesItWhileTheProgramIsNotInFront) {
  OtherThreadWindow front;
  ASSERT_TRUE(front.hwnd());
  Open();
  EXPECT_NE(GetWindowThreadProcessId(GetForegroundWindow(), nullptr), GetCurrentThreadId());
  RECT r = WindowRectOf(front.hwnd());
  PressAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  EXPECT_TRUE(wintest::PumpUntil([this] { return !top_.hwnd(); }, 5000));
  EXPECT_FALSE(sub_.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
  EXPECT_TRUE(sink_.commands.empty());
}

TEST_F(QMenuTest, ActivationOrTheMouseCaptureLeavingAWindowOfTheThreadClosesIt) {
  Open();
  SendMessageW(other_.hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);  // gaining it: stays
  // Passing to another window of this thread (a tip of the program's, say): stays.
  SendMessageW(other_.hwnd(), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(sink_.hwnd()));
  wintest::PumpFor(50);
  EXPECT_TRUE(top_.hwnd());
  SendMessageW(other_.hwnd(), WM_ACTIVATE, WA_INACTIVE, 0);  // to another thread's window
  EXPECT_TRUE(wintest::PumpUntil([this] { return !top_.hwnd() && !sub_.hwnd(); }, 2000));
  Open();
  SendMessageW(other_.hwnd(), WM_CANCELMODE, 0, 0);
  EXPECT_TRUE(wintest::PumpUntil([this] { return !top_.hwnd() && !sub_.hwnd(); }, 2000));
  // A window of the thread that held the mouse loses it to another.
  SetCapture(other_.hwnd());
  Open();
  SetCapture(sink_.hwnd());
  ReleaseCapture();
  EXPECT_TRUE(wintest::PumpUntil([this] { return !top_.hwnd() && !sub_.hwnd(); }, 2000));
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
  EXPECT_TRUE(sink_.commands.empty());
}

TEST_F(QMenuTest, AClickInsideTheSubmenuIsNotOutside) {
  Open();
  RECT sub = WindowRectOf(sub_.hwnd());
  SetCursorPos(sub.left + 10, sub.top + 10);
  // The hook sees the button press in the submenu; the submenu itself chooses the item.
  PostMessageW(sub_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(sub_.ItemRect(1)));
  EXPECT_TRUE(wintest::PumpUntil([this] { return !sink_.commands.empty(); }, 2000));
  ASSERT_EQ(sink_.commands.size(), 1u);
  EXPECT_EQ(sink_.commands[0], 12u);  // grey but available: it still chooses
  EXPECT_FALSE(top_.hwnd());
  // The submenu kept its items; the top-level menu is to be filled again.
  EXPECT_EQ(sub_.ItemCount(), 2u);
  EXPECT_EQ(top_.ItemCount(), 0u);
}

TEST_F(QMenuTest, AnotherTopLevelMenuClosesTheFirstAndTheOwnersEndClosesIt) {
  Open();
  CQMenu second;
  second.AppendItem(0, u"其他", 5, nullptr);
  second.TrackPopup(100, 100, other_.hwnd());
  EXPECT_FALSE(top_.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), &second);
  // The owner's window goes: its menu goes with it and stops being current.
  other_.DestroyWindow();
  EXPECT_FALSE(second.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
  // Captions are the menu's own: the source string may go away.
  {
    std::u16string caption = u"临时标题";
    top_.AppendItem(0, caption, 7, nullptr);
  }
  ASSERT_TRUE(top_.Create(sink_.hwnd()));
  top_.TrackPopup(400, 300, sink_.hwnd());
  SendMessageW(top_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(top_.ItemRect(0)));
  EXPECT_TRUE(wintest::PumpUntil([this] { return !sink_.commands.empty(); }, 2000));
  EXPECT_EQ(sink_.commands[0], 7u);
}

TEST_F(QMenuTest, EmptiedWhileShownItHoldsNoItemsAndClicksChooseNothing) {
  Open();
  const menus::Rect first = top_.ItemRect(0);
  const RECT before = WindowRectOf(top_.hwnd());
  top_.RemoveAllItems();
  EXPECT_FALSE(sub_.hwnd());  // the submenu of an entry that went closes
  EXPECT_EQ(top_.OpenSubmenu(), nullptr);
  EXPECT_EQ(top_.HotItem(), -1);
  ASSERT_EQ(top_.ItemRect(0).height(), 0);
  ASSERT_EQ(top_.ItemRect(1).height(), 0);
  const RECT after = WindowRectOf(top_.hwnd());
  EXPECT_LT(after.bottom - after.top, before.bottom - before.top);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  // Where the entries were: nothing is chosen or opened, and the menu stays.
  SendMessageW(top_.hwnd(), WM_MOUSEMOVE, 0, CentreOf(first));
  SendMessageW(top_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(first));
  wintest::PumpFor(50);
  EXPECT_TRUE(top_.hwnd());
  EXPECT_TRUE(sink_.commands.empty());
  // Filled again, it lays out and chooses the new entry.
  top_.AppendItem(0, u"新的一项", 9, nullptr);
  top_.TrackPopup(400, 300, sink_.hwnd());
  SendMessageW(top_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, CentreOf(top_.ItemRect(0)));
  EXPECT_TRUE(wintest::PumpUntil([this] { return !sink_.commands.empty(); }, 2000));
  EXPECT_EQ(sink_.commands[0], 9u);
}

// The colour grid, owned by a plain window of the test.
class ColorMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sink_.Create());
    colors_.SetCommand(77);
    ASSERT_TRUE(colors_.Create(sink_.hwnd()));
    colors_.TrackPopup(200, 150, sink_.hwnd());
  }
  void Click(int x, int y) { SendMessageW(colors_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  LPARAM CellCentre(int c, int r) { return CentreOf(colors_.grid().Cell(c, r)); }

  CommandSink sink_;
  menus::CColorMenu colors_;
};

TEST_F(ColorMenuTest, PaintsThePaletteInsideItsFrame) {
  RECT rc = WindowRectOf(colors_.hwnd());
  EXPECT_EQ(rc.left, 200);
  EXPECT_EQ(rc.top, 150);
  EXPECT_TRUE(GetWindowLongPtrW(colors_.hwnd(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  int w = 0, h = 0;
  std::vector<uint32_t> px = PrintWindowClient(colors_.hwnd(), &w, &h);
  ASSERT_EQ(w, colors_.grid().width);
  auto at = [&](LPARAM p) { return px[static_cast<size_t>(GET_Y_LPARAM(p)) * w + GET_X_LPARAM(p)]; };
  EXPECT_EQ(at(MAKELPARAM(0, 0)), kFrame);
  EXPECT_EQ(at(MAKELPARAM(1, 1)), kWhite);
  // The DIB holds 0xRRGGBB, as the palette does.
  EXPECT_EQ(at(CellCentre(0, 0)), menus::PaletteColor(0));
  EXPECT_EQ(at(CellCentre(1, 0)), 0x003300u);
  EXPECT_EQ(at(CellCentre(17, 8)), 0xFFFE65u);
  EXPECT_EQ(at(CellCentre(5, 3)), 0x00FF98u);
}

TEST_F(ColorMenuTest, PicksTheCellsColourAndIgnoresTheMargin) {
  Click(1, 60);  // the margin: nothing happens
  wintest::PumpFor(50);
  EXPECT_TRUE(colors_.hwnd());
  EXPECT_TRUE(sink_.commands.empty());
  LPARAM cell = CellCentre(17, 8);
  Click(GET_X_LPARAM(cell), GET_Y_LPARAM(cell));
  EXPECT_TRUE(wintest::PumpUntil([this] { return !sink_.commands.empty(); }, 2000));
  EXPECT_EQ(sink_.commands[0], 77u);
  EXPECT_EQ(colors_.PickedColor(), RGB(0xFF, 0xFE, 0x65));
  EXPECT_FALSE(colors_.NoColorPicked());
  EXPECT_FALSE(colors_.hwnd());
  EXPECT_EQ(menus::CQMenuBase::Current(), nullptr);
}

TEST_F(ColorMenuTest, OfferedNoColourCellAndAClickOutside) {
  colors_.SetOfferNoColor(true);
  int w = 0, h = 0;
  std::vector<uint32_t> px = PrintWindowClient(colors_.hwnd(), &w, &h);
  menus::Rect first = colors_.grid().Cell(0, 0);
  EXPECT_EQ(px[static_cast<size_t>(first.top) * w + first.left + 5], 0u);       // a black line
  EXPECT_EQ(px[static_cast<size_t>(first.top + 1) * w + first.left + 1], kWhite);
  LPARAM cell = CellCentre(0, 0);
  Click(GET_X_LPARAM(cell), GET_Y_LPARAM(cell));
  EXPECT_TRUE(wintest::PumpUntil([this] { return !sink_.commands.empty(); }, 2000));
  EXPECT_TRUE(colors_.NoColorPicked());
  // Shown again, a click elsewhere in the program closes it without a command.
  colors_.TrackPopup(200, 150, sink_.hwnd());
  SetCursorPos(20, 20);
  PostMessageW(sink_.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
  wintest::PumpFor(100);
  EXPECT_FALSE(colors_.hwnd());
  EXPECT_EQ(sink_.commands.size(), 1u);
}

}  // namespace
