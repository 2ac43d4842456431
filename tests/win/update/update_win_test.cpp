// The update check, offer and installer download against a loopback service, with the
// message boxes answered by the test and the installer start recorded.
#include "win/net/loopback_server.h"  // winsock2.h before windows.h
#include "update/update_win.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>

#include "framework/wstr_win.h"
#include "win/ui/dialog_script.h"
#include "platform/text.h"
#include "res/update_res.h"
#include "test_util.h"
#include "win/win_test_util.h"

namespace {

using wintest::LoopbackServer;

std::string ReadBinary(const std::string& path) { return testutil::ReadAll(path); }
std::string Installer(const char* name) { return ReadBinary(std::string(PELINOR_TEST_INSTALLERS) + "/" + name); }

struct Box {
  std::u16string text, caption;
  bool dialogGone = false;  // no download dialog was left open behind the box
};

// The service: a path prefix -> a whole response.
class Service {
 public:
  Service()
      : server_([this](LoopbackServer&, SOCKET s, const std::string& head) {
          std::string path = head.substr(4, head.find(' ', 4) - 4);
          std::string response = LoopbackServer::Response("404 Not Found", "no");
          std::lock_guard<std::mutex> l(m_);
          for (auto& r : routes_)
            if (path.compare(0, r.first.size(), r.first) == 0) response = r.second;
          LoopbackServer::Send(s, response);
        }) {}
  void Route(const std::string& prefix, const std::string& response) {
    std::lock_guard<std::mutex> l(m_);
    routes_[prefix] = response;
  }
  LoopbackServer& server() { return server_; }

 private:
  std::mutex m_;
  std::map<std::string, std::string> routes_;
  LoopbackServer server_;
};

update::UpdateController* g_controller = nullptr;
std::atomic<HWND> g_dialog{nullptr};  // the last download dialog, read by the boxes' threads

LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == update::WM_START_DOWNLOAD && lp) {
    auto* url = reinterpret_cast<wchar_t*>(lp);
    std::u16string copy = to_u16(url);
    delete[] url;
    if (g_controller) g_controller->StartDownload(copy);
    if (g_controller && g_controller->dialog()) g_dialog = g_controller->dialog()->hwnd();
    return 0;
  }
  return DefWindowProcW(w, msg, wp, lp);
}

class UpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PelinorUpdateTestMain";
    RegisterClassW(&wc);
    main_ = CreateWindowW(L"PelinorUpdateTestMain", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                          wc.hInstance, nullptr);
    folder_ = platform::Utf8ToU16(dir_.path().string()) + u"\\update";
    update::UpdateSettings s;
    s.mainWindow = main_;
    s.serviceBase = service_.server().Url("");
    s.updateFolder = folder_;
    s.allowPlainHttp = true;
    s.signer = update::BuildTrustedSigner();
    s.messageBox = [this](HWND, const std::u16string& text, const std::u16string& caption, UINT type) {
      // The dialog a box follows goes on the UI thread, which the test pumps meanwhile.
      HWND dialog = (type & MB_ICONERROR) ? g_dialog.load() : nullptr;
      ULONGLONG end = GetTickCount64() + 3000;
      while (dialog && IsWindow(dialog) && IsWindowVisible(dialog) && GetTickCount64() < end) Sleep(10);
      std::unique_lock<std::mutex> l(m_);
      boxes_.push_back({text, caption, !dialog || !IsWindow(dialog) || !IsWindowVisible(dialog)});
      maxOpen_ = std::max(maxOpen_, ++open_);
      held_.wait(l, [this, &text] { return text != hold_; });
      --open_;
      int answer = answers_.empty() ? IDCANCEL : answers_.front();
      if (!answers_.empty()) answers_.erase(answers_.begin());
      return (type & MB_TYPEMASK) == MB_OK ? IDOK : answer;
    };
    s.run = [this](const std::u16string& path, const std::u16string& params) {
      std::lock_guard<std::mutex> l(m_);
      runs_.push_back({path, params});
      return true;
    };
    controller_ = std::make_unique<update::UpdateController>(std::move(s));
    g_controller = controller_.get();
  }
  void TearDown() override {
    Hold(u"");
    g_controller = nullptr;
    g_dialog = nullptr;
    controller_.reset();
    DestroyWindow(main_);
  }
  size_t BoxCount() {
    std::lock_guard<std::mutex> l(m_);
    return boxes_.size();
  }
  std::vector<Box> Boxes() {
    std::lock_guard<std::mutex> l(m_);
    return boxes_;
  }
  std::vector<Box> Runs() {
    std::lock_guard<std::mutex> l(m_);
    return runs_;
  }
  // Boxes with this text stay open until another text (or none) is held.
  void Hold(const std::u16string& text) {
    {
      std::lock_guard<std::mutex> l(m_);
      hold_ = text;
    }
    held_.notify_all();
  }
  int OpenNow() {
    std::lock_guard<std::mutex> l(m_);
    return open_;
  }
  int MaxOpenAtOnce() {
    std::lock_guard<std::mutex> l(m_);
    return maxOpen_;
  }
  void Answer(std::vector<int> answers) {
    std::lock_guard<std::mutex> l(m_);
    answers_ = std::move(answers);
  }
  std::string Manifest(const std::string& version, const std::string& url, const std::string& sha = "") {
    std::string body = "<update><ver><![CDATA[" + version + "]]></ver><url><![CDATA[" + url + "]]></url>";
    if (!sha.empty()) body += "<sha256>" + sha + "</sha256>";
    return LoopbackServer::Response("200 OK", body + "</update>");
  }
  // Offers 1.0.0.1 from `installerPath`, answers OK, and waits until the download ended
  // in a message box or in starting the installer.
  bool OfferAndDownload(const std::string& installerPath, const std::string& sha = "") {
    size_t boxes = BoxCount(), runs = Runs().size();
    Answer({IDOK});
    std::string url = platform::U16ToUtf8(service_.server().Url(installerPath));
    service_.Route("/update/update.xml", Manifest("1.0.0.1", url, sha));
    controller_->CheckForUpdate(true);
    return wintest::PumpUntil([this, boxes, runs] {
      return (BoxCount() >= boxes + 2 || Runs().size() > runs) && controller_->dialog() &&
             !controller_->dialog()->IsWindow();
    }, 20000);
  }
  bool UpdateFolderHasNoInstaller() {
    std::error_code ec;
    for (auto& e : std::filesystem::directory_iterator(dir_.path() / "update", ec))
      if (e.path().extension() == ".exe" || e.path().extension() == ".tmp") return false;
    return true;
  }

  testutil::TempDir dir_;
  Service service_;
  HWND main_ = nullptr;
  std::u16string folder_;
  std::unique_ptr<update::UpdateController> controller_;
  std::mutex m_;
  std::vector<Box> boxes_, runs_;
  std::vector<int> answers_;
  std::condition_variable held_;
  std::u16string hold_;
  int open_ = 0, maxOpen_ = 0;
};

TEST_F(UpdateTest, UserCheckReportsFailureAndNothingNewer) {
  controller_->CheckForUpdate(true);  // 404
  ASSERT_TRUE(wintest::PumpUntil([this] { return BoxCount() == 1; }, 10000));
  EXPECT_EQ(Boxes()[0].text, u"检测更新失败！");
  EXPECT_EQ(Boxes()[0].caption, u"Dorvane软件更新提示");
  service_.Route("/update/update.xml", Manifest("1.0.0.0", "https://s/setup.exe"));
  controller_->CheckForUpdate(true);
  ASSERT_TRUE(wintest::PumpUntil([this] { return BoxCount() == 2; }, 10000));
  EXPECT_EQ(Boxes()[1].text, u"未检查到有更新！");
  // The manifest request carries a time and the running version.
  auto heads = service_.server().heads();
  ASSERT_EQ(heads.size(), 2u);
  std::string line = heads[1].substr(0, heads[1].find("\r\n"));
  EXPECT_EQ(line.compare(0, 28, "GET /update/update.xml?rand="), 0) << line;
  EXPECT_NE(line.find("&ver=1.0.0.0 HTTP/1.1"), std::string::npos) << line;
  // An automatic offer that is not newer stays silent.
  controller_->OfferUpdate(u"1.0.0.0", u"", u"https://s/setup.exe", "", false);
  wintest::PumpFor(300);
  EXPECT_EQ(BoxCount(), 2u);
}

TEST_F(UpdateTest, SignedInstallerIsDownloadedShownAndStarted) {
  std::string installer = Installer("stub_signed.exe");
  ASSERT_FALSE(installer.empty());
  service_.Route("/dl/setup_2.exe", LoopbackServer::Response("200 OK", installer));
  Answer({IDOK});
  std::string url = platform::U16ToUtf8(service_.server().Url("/dl/setup_2.exe?x=1"));
  service_.Route("/update/update.xml", Manifest("1.0.0.1", url));
  controller_->CheckForUpdate(true);
  ASSERT_TRUE(wintest::PumpUntil([this] { return controller_->dialog() != nullptr; }, 10000));
  HWND dlg = controller_->dialog()->hwnd();
  if (IsWindow(dlg)) {
    wchar_t caption[64] = {};
    GetWindowTextW(dlg, caption, 64);
    EXPECT_STREQ(caption, L"更新下载中...");
    EXPECT_NE(GetDlgItem(dlg, IDC_DOWNLOAD_PROGRESS), nullptr);
    RECT r{};
    GetWindowRect(dlg, &r);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN) - 30 - GetSystemMetrics(SM_CYCAPTION));
  }
  ASSERT_TRUE(wintest::PumpUntil([this] { return !controller_->dialog()->IsWindow(); }, 20000));
  auto boxes = Boxes();
  ASSERT_GE(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, u"发现新版本v1.0.0.1,是否立即下载？");
  EXPECT_EQ(boxes.size(), 1u);
  auto runs = Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, folder_ + u"\\setup_2.exe");
  EXPECT_EQ(runs[0].caption, u"?update=true");
  EXPECT_EQ(ReadBinary((dir_.path() / "update" / "setup_2.exe").string()), installer);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "update" / "setup_2.tmp"));
}

TEST_F(UpdateTest, InstallersFailingACheckAreDeletedAndNeverStarted) {
  std::string signed_ = Installer("stub_signed.exe");
  std::string unsigned_ = ReadBinary(std::string(PELINOR_TEST_INSTALLERS) + "/stub_installer.exe");
  ASSERT_FALSE(unsigned_.empty());
  std::string flipped = signed_;
  flipped[flipped.size() / 2] ^= 1;
  service_.Route("/unsigned.exe", LoopbackServer::Response("200 OK", unsigned_));
  service_.Route("/other.exe", LoopbackServer::Response("200 OK", Installer("stub_other.exe")));
  service_.Route("/flipped.exe", LoopbackServer::Response("200 OK", flipped));
  service_.Route("/signed.exe", LoopbackServer::Response("200 OK", signed_));
  struct Case {
    const char* path;
    std::string sha;
    update::DownloadCheck expected;
  } cases[] = {
      {"/unsigned.exe", "", update::DownloadCheck::kUnsigned},
      {"/other.exe", "", update::DownloadCheck::kWrongSigner},
      {"/flipped.exe", "", update::DownloadCheck::kUnsigned},
      {"/signed.exe", std::string(64, 'a'), update::DownloadCheck::kHashMismatch},
  };
  size_t seen = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(OfferAndDownload(c.path, c.sha)) << c.path;
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), seen + 2) << c.path;
    EXPECT_EQ(boxes.back().text, update::DownloadCheckText(c.expected)) << c.path;
    EXPECT_TRUE(boxes.back().dialogGone) << c.path << ": the dialog waits behind the message";
    seen = boxes.size();
    EXPECT_TRUE(UpdateFolderHasNoInstaller()) << c.path;
  }
  EXPECT_TRUE(Runs().empty());
  // The right digest lets the signed installer through.
  ASSERT_TRUE(OfferAndDownload("/signed.exe", update::Sha256OfFile(platform::Utf8ToU16(
                                                  std::string(PELINOR_TEST_INSTALLERS) + "/stub_signed.exe"))));
  EXPECT_EQ(Runs().size(), 1u);
}

TEST_F(UpdateTest, BrokenTransfersOfferARetryAndLeaveNothing) {
  // A 404 page and a body cut short of its Content-Length.
  service_.Route("/missing.exe", LoopbackServer::Response("404 Not Found", "<html>not here</html>"));
  service_.Route("/short.exe", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\nConnection: close\r\n\r\nMZ-short");
  for (const char* path : {"/missing.exe", "/short.exe"}) {
    size_t before = BoxCount();
    Answer({IDOK, IDCANCEL});  // take the offer, decline the retry
    std::string url = platform::U16ToUtf8(service_.server().Url(path));
    service_.Route("/update/update.xml", Manifest("1.0.0.1", url));
    controller_->CheckForUpdate(true);
    ASSERT_TRUE(wintest::PumpUntil([this, before] { return BoxCount() == before + 2; }, 20000)) << path;
    EXPECT_EQ(Boxes().back().text, u"下载更新失败，是否继续尝试下载？");
    ASSERT_TRUE(wintest::PumpUntil([this] { return controller_->dialog() && !controller_->dialog()->IsWindow(); },
                                   10000));
    EXPECT_TRUE(UpdateFolderHasNoInstaller()) << path;
  }
  EXPECT_TRUE(Runs().empty());
}

TEST_F(UpdateTest, AnInstallerOverTheCapIsRefusedWithoutARetry) {
  // Announced above the cap: nothing is read, and trying again could never succeed.
  service_.Route("/huge.exe", "HTTP/1.1 200 OK\r\nContent-Length: 300000000\r\nConnection: close\r\n\r\nMZ");
  Answer({IDOK, IDOK});  // take the offer; an OK to a retry question would start over
  ASSERT_TRUE(OfferAndDownload("/huge.exe"));
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, update::DownloadCheckText(update::DownloadCheck::kTooLarge));
  EXPECT_TRUE(boxes[1].dialogGone);
  EXPECT_EQ(service_.server().heads().size(), 2u);  // the manifest and one installer request
  EXPECT_TRUE(UpdateFolderHasNoInstaller());
}

TEST_F(UpdateTest, ALaterCheckOpensNoBoxOverAnUnansweredRefusal) {
  service_.Route("/unsigned.exe",
                 LoopbackServer::Response("200 OK", ReadBinary(std::string(PELINOR_TEST_INSTALLERS) +
                                                               "/stub_installer.exe")));
  const std::u16string refusal = update::DownloadCheckText(update::DownloadCheck::kUnsigned);
  Hold(refusal);
  Answer({IDOK, IDOK});  // the offer and the refusal; the later offer would be taken too
  std::string url = platform::U16ToUtf8(service_.server().Url("/unsigned.exe"));
  service_.Route("/update/update.xml", Manifest("1.0.0.1", url));
  controller_->CheckForUpdate(true);
  ASSERT_TRUE(wintest::PumpUntil([this, &refusal] { return BoxCount() == 2 && Boxes()[1].text == refusal; }, 20000));
  // The user's check and the configuration's offer while the refusal is still up.
  controller_->CheckForUpdate(true);
  controller_->OfferUpdate(u"1.0.0.2", u"", u"https://s/setup.exe", "", false);
  ASSERT_TRUE(wintest::PumpUntil([this] { return service_.server().heads().size() == 3; }, 10000));
  EXPECT_FALSE(wintest::PumpUntil([this] { return BoxCount() > 2; }, 2000)) << "a box over the refusal";
  Hold(u"");
  ASSERT_TRUE(wintest::PumpUntil([this] { return OpenNow() == 0; }, 5000));
  EXPECT_EQ(MaxOpenAtOnce(), 1);
  EXPECT_EQ(BoxCount(), 2u);  // dropped, not shown later: the next check asks again
}

TEST_F(UpdateTest, StatusTextAndCancelQuestion) {
  auto state = std::make_shared<update::DownloadState>();
  std::vector<std::u16string> asked;
  update::CDownloadUpdate dlg(state, [&asked](HWND, const std::u16string& text, const std::u16string&, UINT) {
    asked.push_back(text);
    return IDOK;
  });
  ASSERT_TRUE(dlg.Create(main_));
  state->total = 2621440;
  state->percent = 40;
  ASSERT_TRUE(wintest::PumpUntil([&dlg] {
    wchar_t text[128] = {};
    GetDlgItemTextW(dlg.hwnd(), IDC_DOWNLOAD_STATUS, text, 128);
    return std::wstring(text).find(L"40%") != std::wstring::npos;
  }, 5000));
  wchar_t text[128] = {};
  GetDlgItemTextW(dlg.hwnd(), IDC_DOWNLOAD_STATUS, text, 128);
  EXPECT_EQ(to_u16(text), u"正在下载更新，请稍后......\n文件大小:2.500M 已下载:40%");
  EXPECT_EQ(SendDlgItemMessageW(dlg.hwnd(), IDC_DOWNLOAD_PROGRESS, PBM_GETPOS, 0, 0), 40);
  SendMessageW(dlg.hwnd(), WM_COMMAND, IDCANCEL, 0);  // Esc or the close box asks first
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], u"确定要取消更新吗？");
  EXPECT_TRUE(state->cancel.load());
  EXPECT_FALSE(IsWindowVisible(dlg.hwnd()));
  PostMessageW(dlg.hwnd(), update::WM_DOWNLOAD_DONE, 0, 0);
  EXPECT_TRUE(wintest::PumpUntil([&dlg] { return !dlg.IsWindow(); }, 5000));
}

TEST_F(UpdateTest, AboutBoxShowsTheProgramVersion) {
  wintest::DialogScript script;
  std::wstring shown;
  script.On(L"关于", [&shown](HWND d) {
    shown = wintest::ItemText(d, IDC_ABOUT_TEXT);
    wintest::Click(d, IDOK);
  });
  controller_->ShowAbout(main_);
  EXPECT_TRUE(script.finished());
  EXPECT_EQ(shown.compare(0, 12, L"软件版本：1.0.0.0"), 0) << shown.size();
  EXPECT_NE(shown.find(L"\r\n\r\n"), std::wstring::npos);
}

}  // namespace
