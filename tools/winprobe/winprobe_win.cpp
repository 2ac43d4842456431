// winprobe: a small console helper that lists top-level windows and drives them with
// window messages. Synchronous and exact, unlike synthetic X events; used by the
// end-to-end tests and handy for diagnosing a running program under Wine.
//
//   winprobe list [--all]                 visible and hidden top-level windows, one a line:
//                                         hwnd pid visible exstyle class "title" left top right bottom
//   winprobe children HWND                the same for the child windows of HWND
//   winprobe find TITLE [CLASS]           hwnd of the first top-level window with that title
//   winprobe wait TITLE MS [CLASS]        waits until such a window exists; exit 1 on time-out
//   winprobe gone HWND MS                 waits until the window no longer exists; exit 1 on time-out
//   winprobe click HWND X Y [right]       posts a button down/up at client X,Y
//   winprobe move HWND X Y                posts a mouse move at client X,Y
//   winprobe send HWND MSG WPARAM LPARAM  SendMessage; prints the result
//   winprobe post HWND MSG WPARAM LPARAM  PostMessage
//   winprobe command HWND ID              WM_COMMAND with ID (BN_CLICKED) to HWND
//   winprobe item HWND ID                 hwnd of the dialog item ID of HWND
//   winprobe button HWND ID               BM_CLICK on the dialog item ID of HWND
//   winprobe settext HWND ID TEXT         WM_SETTEXT on the dialog item ID (ID 0: HWND itself)
//   winprobe gettext HWND [ID]            prints the window text
//   winprobe tiptext HWND                 prints what WM_GETTEXT answers (a tooltip: its tip)
//   winprobe hover HWND X Y               puts the real pointer on client X,Y and posts a move
//   winprobe rect HWND                    screen rectangle: left top right bottom
//   winprobe holdevent NAME MS            creates the named event and keeps it for MS (a stand-in
//                                         for a running copy that does not quit)
//
// Numbers may be decimal or 0x-hex. Text is printed in UTF-8.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

void PrintUtf8(const std::wstring& w) {
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
  std::fwrite(s.data(), 1, s.size(), stdout);
}

LONG_PTR Num(const wchar_t* s) { return static_cast<LONG_PTR>(std::wcstoll(s, nullptr, 0)); }
HWND Hwnd(const wchar_t* s) { return reinterpret_cast<HWND>(Num(s)); }

std::wstring Text(HWND h) {
  wchar_t buf[1024] = {};
  GetWindowTextW(h, buf, 1024);
  return buf;
}
std::wstring ClassOf(HWND h) {
  wchar_t buf[256] = {};
  GetClassNameW(h, buf, 256);
  return buf;
}

void PrintWindow(HWND h) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  RECT r{};
  GetWindowRect(h, &r);
  std::printf("0x%lx %lu %d 0x%lx ", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(h)),
              static_cast<unsigned long>(pid), IsWindowVisible(h) ? 1 : 0,
              static_cast<unsigned long>(GetWindowLongPtrW(h, GWL_EXSTYLE)));
  PrintUtf8(ClassOf(h));
  std::printf(" \"");
  PrintUtf8(Text(h));
  std::printf("\" %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
}

BOOL CALLBACK ListProc(HWND h, LPARAM) {
  PrintWindow(h);
  return TRUE;
}

struct FindArgs {
  const wchar_t* title;
  const wchar_t* cls;
  HWND found;
};
BOOL CALLBACK FindProc(HWND h, LPARAM lp) {
  auto* a = reinterpret_cast<FindArgs*>(lp);
  if (Text(h) == a->title && (!a->cls || ClassOf(h) == a->cls)) {
    a->found = h;
    return FALSE;
  }
  return TRUE;
}

HWND FindTop(const wchar_t* title, const wchar_t* cls) {
  FindArgs a{title, cls, nullptr};
  EnumWindows(FindProc, reinterpret_cast<LPARAM>(&a));
  return a.found;
}

int Usage() {
  std::fprintf(stderr, "usage: winprobe list|children|find|wait|gone|click|move|send|post|command|item|button|settext|gettext|tiptext|hover|rect|holdevent ...\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  std::wstring cmd = argv[1];
  if (cmd == L"list") {
    EnumWindows(ListProc, 0);
    return 0;
  }
  if (cmd == L"children" && argc >= 3) {
    EnumChildWindows(Hwnd(argv[2]), ListProc, 0);
    return 0;
  }
  if (cmd == L"find" && argc >= 3) {
    HWND h = FindTop(argv[2], argc >= 4 ? argv[3] : nullptr);
    if (!h) return 1;
    std::printf("0x%lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(h)));
    return 0;
  }
  if (cmd == L"wait" && argc >= 4) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(Num(argv[3]));
    for (;;) {
      HWND h = FindTop(argv[2], argc >= 5 ? argv[4] : nullptr);
      if (h) {
        std::printf("0x%lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(h)));
        return 0;
      }
      if (GetTickCount64() >= end) return 1;
      Sleep(50);
    }
  }
  if (cmd == L"gone" && argc >= 4) {
    ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(Num(argv[3]));
    while (IsWindow(Hwnd(argv[2]))) {
      if (GetTickCount64() >= end) return 1;
      Sleep(50);
    }
    return 0;
  }
  if ((cmd == L"click" || cmd == L"move") && argc >= 5) {
    HWND h = Hwnd(argv[2]);
    LPARAM pos = MAKELPARAM(static_cast<int>(Num(argv[3])), static_cast<int>(Num(argv[4])));
    PostMessageW(h, WM_MOUSEMOVE, 0, pos);
    if (cmd == L"click") {
      bool right = argc >= 6 && std::wstring(argv[5]) == L"right";
      PostMessageW(h, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, pos);
      PostMessageW(h, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, pos);
    }
    return 0;
  }
  if ((cmd == L"send" || cmd == L"post") && argc >= 6) {
    HWND h = Hwnd(argv[2]);
    UINT msg = static_cast<UINT>(Num(argv[3]));
    WPARAM wp = static_cast<WPARAM>(Num(argv[4]));
    LPARAM lp = static_cast<LPARAM>(Num(argv[5]));
    if (cmd == L"post") return PostMessageW(h, msg, wp, lp) ? 0 : 1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(h, msg, wp, lp, SMTO_NORMAL, 10000, &result)) return 1;
    std::printf("%ld\n", static_cast<long>(result));
    return 0;
  }
  if (cmd == L"command" && argc >= 4) {
    return PostMessageW(Hwnd(argv[2]), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(Num(argv[3])), BN_CLICKED), 0) ? 0 : 1;
  }
  if (cmd == L"item" && argc >= 4) {  // a dialog's control by id
    HWND item = GetDlgItem(Hwnd(argv[2]), static_cast<int>(Num(argv[3])));
    if (!item) return 1;
    std::printf("0x%lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(item)));
    return 0;
  }
  if (cmd == L"button" && argc >= 4) {
    HWND item = GetDlgItem(Hwnd(argv[2]), static_cast<int>(Num(argv[3])));
    if (!item) return 1;
    return PostMessageW(item, BM_CLICK, 0, 0) ? 0 : 1;
  }
  if (cmd == L"settext" && argc >= 5) {
    HWND h = Hwnd(argv[2]);
    int id = static_cast<int>(Num(argv[3]));
    HWND target = id ? GetDlgItem(h, id) : h;
    if (!target) return 1;
    DWORD_PTR r = 0;
    return SendMessageTimeoutW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]), SMTO_NORMAL, 10000, &r) ? 0 : 1;
  }
  if (cmd == L"gettext" && argc >= 3) {
    HWND h = Hwnd(argv[2]);
    if (argc >= 4) h = GetDlgItem(h, static_cast<int>(Num(argv[3])));
    if (!h) return 1;
    PrintUtf8(Text(h));
    std::printf("\n");
    return 0;
  }
  // The text a window reports to WM_GETTEXT: what a tooltip control is showing (its
  // caption, which gettext reads, stays empty).
  if (cmd == L"tiptext" && argc >= 3) {
    wchar_t buf[2048] = {};
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutW(Hwnd(argv[2]), WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 10000, &r))
      return 1;
    PrintUtf8(buf);
    std::printf("\n");
    return 0;
  }
  // Puts the pointer on a window's client point, as a user's mouse would (tooltips look at
  // the real pointer), and tells the window.
  if (cmd == L"hover" && argc >= 5) {
    HWND h = Hwnd(argv[2]);
    POINT p{static_cast<LONG>(Num(argv[3])), static_cast<LONG>(Num(argv[4]))};
    LPARAM pos = MAKELPARAM(p.x, p.y);
    ClientToScreen(h, &p);
    SetCursorPos(p.x, p.y);
    PostMessageW(h, WM_MOUSEMOVE, 0, pos);
    return 0;
  }
  if (cmd == L"rect" && argc >= 3) {
    RECT r{};
    if (!GetWindowRect(Hwnd(argv[2]), &r)) return 1;
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (cmd == L"holdevent" && argc >= 4) {
    HANDLE e = CreateEventW(nullptr, FALSE, TRUE, argv[2]);
    if (!e) return 1;
    Sleep(static_cast<DWORD>(Num(argv[3])));
    CloseHandle(e);
    return 0;
  }
  return Usage();
}
