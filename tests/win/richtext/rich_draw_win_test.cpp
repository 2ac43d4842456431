// The rich-text engine on real GDI: pixels painted into a 32-bit DIB section, timers and
// the glide message on a real window, and the background image loader.
#include <winsock2.h>  // before <windows.h>, which the engine's header brings

#include "richtext/rich_draw_win.h"

#include <gtest/gtest.h>

#include <gdiplus.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/handles_win.h"
#include "framework/wstr_win.h"
#include "richtext/clipboard_win.h"
#include "richtext/gdi_draw_win.h"
#include "richtext/image_loader_win.h"
#include "test_util.h"
#include "win/win_test_util.h"

using namespace richtext;

namespace {

constexpr int kW = 220, kH = 120;
constexpr uint32_t kWhite = 0xFFFFFF;

struct TestWindow {
  HWND hwnd = nullptr;
  CRichDrawWin* rich = nullptr;
  int glideRest = 0;
};

LRESULT CALLBACK TestProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  auto* t = reinterpret_cast<TestWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  if (t && t->rich) {
    LRESULT r = 0;
    if (t->rich->ForwardMessage(m, w, l, &r)) return r;
  }
  if (t && m == kMsgGlideAtRest) {
    ++t->glideRest;
    return 0;
  }
  return DefWindowProcW(h, m, w, l);
}

class RichWin : public ::testing::Test {
 protected:
  void SetUp() override {
    static bool registered = false;
    if (!registered) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = TestProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = L"PelinorRichTest";
      RegisterClassW(&wc);
      registered = true;
    }
    win_.hwnd = CreateWindowExW(0, L"PelinorRichTest", L"rich", WS_POPUP, 0, 0, kW, kH, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(win_.hwnd, nullptr);
    SetWindowLongPtrW(win_.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&win_));
    win_.rich = &rich_;
    rich_.Attach(win_.hwnd);

    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kW;
    bi.bmiHeader.biHeight = -kH;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    dib_.reset(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
    ASSERT_TRUE(dib_);
    dc_.reset(CreateCompatibleDC(nullptr));
    imageDc_.reset(CreateCompatibleDC(nullptr));
    old_ = SelectObject(dc_.get(), dib_.get());
  }
  void TearDown() override {
    if (dc_) SelectObject(dc_.get(), old_);
    rich_.Detach();
    win_.rich = nullptr;
    DestroyWindow(win_.hwnd);
  }
  void PaintWhite() {
    RECT all{0, 0, kW, kH};
    FillRect(dc_.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    rich_.Paint(dc_.get(), imageDc_.get());
    GdiFlush();
  }
  // The pixel as a COLORREF-free 0xRRGGBB value.
  uint32_t Px(int x, int y) const { return bits_[y * kW + x] & 0xFFFFFF; }
  int Count(const RECT& r, bool (*pred)(uint32_t)) const {
    int n = 0;
    for (int y = std::max<int>(r.top, 0); y < std::min<int>(r.bottom, kH); ++y)
      for (int x = std::max<int>(r.left, 0); x < std::min<int>(r.right, kW); ++x) n += pred(Px(x, y));
    return n;
  }
  RECT ItemBox(int first, int last) const {
    RECT r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (int i = first; i <= last; ++i) {
      const RichItem& it = rich_.GetItem(i);
      int y = it.y + rich_.GetScrollPos();
      r.left = std::min<LONG>(r.left, it.x);
      r.top = std::min<LONG>(r.top, y);
      r.right = std::max<LONG>(r.right, it.x + it.width);
      r.bottom = std::max<LONG>(r.bottom, y + it.height);
    }
    return r;
  }
  std::vector<uint32_t> Snapshot() const { return std::vector<uint32_t>(bits_, bits_ + kW * kH); }

  TestWindow win_;
  CRichDrawWin rich_;
  fw::UniqueBitmap dib_;
  fw::UniqueMemDc dc_, imageDc_;
  HGDIOBJ old_ = nullptr;
  uint32_t* bits_ = nullptr;
};

bool IsInk(uint32_t p) { return p != kWhite; }
bool IsRed(uint32_t p) { return ((p >> 16) & 0xFF) > 180 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90; }
bool IsBlue(uint32_t p) { return ((p >> 16) & 0xFF) < 90 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) > 180; }
bool IsDark(uint32_t p) { return ((p >> 16) & 0xFF) < 90 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90; }

TEST_F(RichWin, TextIsPaintedWhereTheLayoutPutsIt) {
  EXPECT_EQ(rich_.GetRect().left, 2);  // the client area less 2 px on each side
  EXPECT_EQ(rich_.GetRect().right, kW - 2);
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetHtml(u"<font color=\"#ff0000\" size=\"20\">MMMM</font>");
  ASSERT_EQ(rich_.GetItemCount(), 4);
  EXPECT_GT(rich_.GetItem(0).width, 5);
  EXPECT_GE(rich_.GetItem(0).height, 20);
  PaintWhite();
  RECT box = ItemBox(0, 3);
  EXPECT_GT(Count(box, IsRed), 40);
  RECT all{0, 0, kW, kH};
  EXPECT_EQ(Count(all, IsInk), Count(box, IsInk));  // nothing outside the characters' boxes
}

TEST_F(RichWin, NothingIsPaintedOutsideTheView) {
  rich_.SetRect(30, 20, 150, 70);
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += u"<font size=\"14\">MWMWMWMWMWMWMWMWMWMW</font><br>";
  rich_.SetHtml(text);
  rich_.ScrollTo(0, -45);
  PaintWhite();
  // The clip rectangle is the view widened by 1 px on the left and 2 px on the right.
  RECT inside{29, 20, 152, 70};
  EXPECT_GT(Count(inside, IsInk), 200);
  RECT all{0, 0, kW, kH};
  EXPECT_EQ(Count(all, IsInk), Count(inside, IsInk));
}

TEST_F(RichWin, HighlightedLinkTakesTheHighlightColour) {
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetHtml(u"<a href=\"http://x/\"><font size=\"16\">MMMM</font></a> MMMM");
  PaintWhite();
  RECT link = ItemBox(0, 3);
  EXPECT_EQ(Count(link, IsBlue), 0);
  EXPECT_GT(Count(link, IsDark), 40);
  rich_.HighlightLink(1, RGB(0, 0, 255));
  PaintWhite();
  EXPECT_GT(Count(link, IsBlue), 40);
  EXPECT_EQ(Count(link, IsDark), 0);
  // Underlined: some row in the lower part of the link's box is blue almost all along.
  int bestRow = 0;
  for (int y = link.top + (link.bottom - link.top) / 2; y < link.bottom; ++y)
    bestRow = std::max(bestRow, Count(RECT{link.left, y, link.right, y + 1}, IsBlue));
  EXPECT_GT(bestRow, (link.right - link.left) * 3 / 4);
  RECT plain = ItemBox(5, 8);
  EXPECT_EQ(Count(plain, IsBlue), 0);
  rich_.ClearLinkHighlight(0);
  PaintWhite();
  EXPECT_EQ(Count(link, IsBlue), 0);
}

// A GDI canvas that draws every character with a call of its own, as painting once did.
struct OneCallPerCharacter : Canvas {
  explicit OneCallPerCharacter(GdiCanvas& to) : c(to) {}
  GdiCanvas& c;
  void ClipTo(const Rect& r) override { c.ClipTo(r); }
  void UseFont(const FontDesc& f) override { c.UseFont(f); }
  ColorRef GetTextColor() override { return c.GetTextColor(); }
  ColorRef GetBackColor() override { return c.GetBackColor(); }
  bool IsBackTransparent() override { return c.IsBackTransparent(); }
  void SetTextColor(ColorRef v) override { c.SetTextColor(v); }
  void SetBackColor(ColorRef v) override { c.SetBackColor(v); }
  void SetBackTransparent(bool t) override { c.SetBackTransparent(t); }
  void DrawChar(int x, int y, char16_t ch) override { c.DrawChar(x, y, ch); }
  void FillRect(const Rect& r, ColorRef v) override { c.FillRect(r, v); }
  void InvertRect(const Rect& r) override { c.InvertRect(r); }
  void DrawBitmap(const Bitmap& b, int x, int y, int w, int h) override { c.DrawBitmap(b, x, y, w, h); }
};

TEST_F(RichWin, RunsPaintTheSamePixelsAsOneCallPerCharacter) {
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetHtml(u"<a href=\"http://x/\">第一条 Wide title, jgq</a><br><b>粗体 bold</b> "
                u"<font size=\"14\" style=\"background-color:#00ff00\">背景 AVAW</font>"
                u"<i>斜体 italic fff</i><br><font underline=\"1\" color=\"#3a3031\">下划线 under</font>");
  rich_.HighlightLink(2, RGB(189, 10, 1));  // underlined, in the hover colour
  PaintWhite();
  const std::vector<uint32_t> runs = Snapshot();
  RECT all{0, 0, kW, kH};
  EXPECT_GT(Count(all, IsInk), 800);
  RECT fill{0, 0, kW, kH};
  FillRect(dc_.get(), &fill, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  GdiFontCache fonts;
  {
    GdiCanvas gdi(dc_.get(), imageDc_.get(), fonts);
    OneCallPerCharacter single(gdi);
    rich_.CRichDraw::Paint(single);
  }
  GdiFlush();
  const std::vector<uint32_t> single = Snapshot();
  size_t differ = 0;
  for (size_t i = 0; i < runs.size(); ++i) differ += runs[i] != single[i];
  EXPECT_EQ(differ, 0u);
}

TEST_F(RichWin, HalfPointSizesFallToThePointBelow) {
  rich_.SetRect(10, 10, 200, 110);
  TextStyle s;
  auto render = [&](int size) {
    rich_.SetHtml(u"");
    s.size = size;
    rich_.InsertText(u"MgM", 0, s);
    PaintWhite();
    return Snapshot();
  };
  std::vector<uint32_t> ten = render(100);
  int h10 = rich_.GetItem(0).height;
  std::vector<uint32_t> tenHalf = render(105);
  EXPECT_EQ(rich_.GetItem(0).height, h10);
  EXPECT_TRUE(ten == tenHalf);
  std::vector<uint32_t> eleven = render(110);
  EXPECT_FALSE(ten == eleven);
}

TEST_F(RichWin, GlideComesToRestAndPostsItsMessage) {
  rich_.SetRect(0, 0, kW, kH);
  rich_.SetDragScroll(1);
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += u"line<br>";
  rich_.SetHtml(text);
  ASSERT_GT(rich_.GetContentHeight(), kH);
  // Pull the content down beyond its top; the button is not really held, which the first
  // glide step notices, so the content glides back to the top.
  SendMessageW(win_.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
  SendMessageW(win_.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 60));
  ASSERT_TRUE(wintest::PumpUntil([&] { return win_.glideRest > 0; }, 5000));
  EXPECT_EQ(rich_.GetScrollPos(), 0);
  EXPECT_EQ(win_.glideRest, 1);
}

// A small BMP file of one colour.
void WriteBmp(const std::string& path, int w, int h, uint32_t rgb) {
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof ih;
  ih.biWidth = w;
  ih.biHeight = h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + w * h * 4;
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  f.write(reinterpret_cast<const char*>(&ih), sizeof ih);
  for (int i = 0; i < w * h; ++i) f.write(reinterpret_cast<const char*>(&rgb), 4);
}

TEST_F(RichWin, ImagesLoadInTheBackground) {
  testutil::TempDir dir;
  std::string path = dir.file("red.bmp");
  WriteBmp(path, 40, 20, 0xFF0000);
  std::u16string src(path.begin(), path.end());
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetHtml(u"<img src=\"" + src + u"\" width=\"30\" height=\"15\">x");
  ASSERT_TRUE(wintest::PumpUntil([&] { return rich_.GetItem(0).displayBitmap != nullptr; }, 5000));
  EXPECT_EQ(rich_.GetItem(0).displayBitmap->Width(), 30);
  PaintWhite();
  RECT box = ItemBox(0, 0);
  EXPECT_EQ(Count(box, IsRed), 30 * 15);

  // New content withdraws the requests still waiting.
  std::u16string many;
  for (int i = 0; i < 40; ++i) many += u"<img src=\"" + src + u"\" width=\"5\" height=\"5\">";
  rich_.SetHtml(many);
  rich_.SetHtml(u"none");
  EXPECT_EQ(PendingImageLoads(win_.hwnd), 0);
  wintest::PumpFor(200);
  EXPECT_EQ(rich_.GetItemCount(), 4);
}

TEST(ImageLoader, OnlyLocalFilesAreOpened) {
  EXPECT_TRUE(IsLocalImagePath(u"C:\\pictures\\a.png"));
  EXPECT_TRUE(IsLocalImagePath(u"a.png"));
  EXPECT_TRUE(IsLocalImagePath(u"C:/pictures/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\\\127.0.0.1\\share\\a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"//127.0.0.1/share/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\/127.0.0.1/share/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\\\?\\UNC\\host\\share\\a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\\\.\\pipe\\x"));
  EXPECT_FALSE(IsLocalImagePath(u"\\??\\UNC\\host\\share\\a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\??\\C:\\a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"/?\?/C:/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\\\?\\C:\\a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"\\\\.\\C:\\a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"http://127.0.0.1/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"file://C:/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u"file:C:/a.png"));
  EXPECT_FALSE(IsLocalImagePath(u""));

  // What is opened is the full path that was checked.
  std::u16string resolved;
  ASSERT_TRUE(IsLocalImagePath(u"sub\\..\\a.png", &resolved));
  ASSERT_GE(resolved.size(), 3u);
  EXPECT_EQ(resolved.substr(1, 2), u":\\");
  EXPECT_EQ(resolved.substr(resolved.size() - 6), u"\\a.png");
  EXPECT_EQ(resolved.find(u".."), std::u16string::npos);
}

TEST_F(RichWin, NetworkSourcesAreNeverContacted) {
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(listener, INVALID_SOCKET);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  int len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  listen(listener, 4);
  std::string port = std::to_string(ntohs(addr.sin_port));
  std::u16string p(port.begin(), port.end());

  // Every spelling of a share on the loopback listener (WebDAV's "host@port" form), and
  // the system namespaces that reach shares under other names.
  const std::u16string host = u"127.0.0.1@" + p;
  const std::u16string sources[] = {
      u"http://127.0.0.1:" + p + u"/a.png",
      u"\\\\" + host + u"\\share\\a.png",
      u"//" + host + u"/share/a.png",
      u"\\/" + host + u"/share/a.png",
      u"\\??\\UNC\\" + host + u"\\share\\a.png",
      u"/?\?/UNC/" + host + u"/share/a.png",
      u"\\\\?\\UNC\\" + host + u"\\share\\a.png",
      u"\\\\.\\UNC\\" + host + u"\\share\\a.png",
  };
  std::u16string html;
  for (const std::u16string& src : sources) {
    EXPECT_FALSE(IsLocalImagePath(src)) << std::string(src.begin(), src.end());
    html += u"<img src=\"" + src + u"\" width=\"5\" height=\"5\">";
  }
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetHtml(html);
  EXPECT_EQ(PendingImageLoads(win_.hwnd), 0);
  wintest::PumpFor(500);
  fd_set set;
  FD_ZERO(&set);
  FD_SET(listener, &set);
  timeval none{0, 0};
  EXPECT_EQ(select(0, &set, nullptr, nullptr, &none), 0);  // no connection was attempted
  for (int i = 0; i < rich_.GetItemCount(); ++i) EXPECT_FALSE(rich_.GetItem(i).displayBitmap);
  closesocket(listener);
  WSACleanup();
}

TEST_F(RichWin, CopyPlacesPlainAndRichTextAndPasteTakesItBack) {
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetHtml(u"<font color=\"#ff0000\" size=\"12\">red</font>");
  rich_.SelectAll();
  rich_.Copy();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_TRUE(IsClipboardFormatAvailable(kRichTextFormat));
  HANDLE text = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(text))), L"red");
  GlobalUnlock(text);
  HANDLE rich = GetClipboardData(kRichTextFormat);
  ASSERT_NE(rich, nullptr);
  std::wstring html(static_cast<const wchar_t*>(GlobalLock(rich)));
  GlobalUnlock(rich);
  CloseClipboard();
  EXPECT_NE(html.find(L"<font color=\"#ff0000\" size=\"12\""), std::wstring::npos);

  // Our own copy pastes with its style.
  rich_.SetReadOnly(0);
  rich_.ClearSelection();
  rich_.SetCaret(3);
  EXPECT_EQ(rich_.IsClipboardEmpty(), 0);
  rich_.Paste();
  ASSERT_EQ(rich_.GetItemCount(), 6);
  EXPECT_EQ(rich_.GetItem(4).size, 120);
  EXPECT_EQ(rich_.GetItem(4).contentColor, 0x0000FFu);

  // The private format placed by anyone else is not taken.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const wchar_t foreign[] = L"<font color=\"#00ff00\">x</font>";
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof foreign);
  memcpy(GlobalLock(block), foreign, sizeof foreign);
  GlobalUnlock(block);
  SetClipboardData(kRichTextFormat, block);
  CloseClipboard();
  EXPECT_EQ(rich_.IsClipboardEmpty(), 1);
  rich_.Paste();
  EXPECT_EQ(rich_.GetItemCount(), 6);
}

TEST_F(RichWin, PastedPictureIsKeptAsTwoNewJpegFiles) {
  testutil::TempDir dir;
  rich_.SetDataFolder(as_u16((dir.path().wstring() + L"\\").c_str()));
  rich_.SetRect(10, 10, 200, 110);
  rich_.SetReadOnly(0);
  // A 300 x 200 picture on the clipboard.
  HDC screen = GetDC(nullptr);
  HBITMAP picture = CreateCompatibleBitmap(screen, 300, 200);
  ReleaseDC(nullptr, screen);
  ASSERT_TRUE(OpenClipboard(win_.hwnd));
  EmptyClipboard();
  ASSERT_NE(SetClipboardData(CF_BITMAP, picture), nullptr);
  CloseClipboard();
  EXPECT_EQ(rich_.IsClipboardEmpty(), 0);
  rich_.Paste();

  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "image")) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 2u);
  std::sort(files.begin(), files.end());
  const std::filesystem::path full = files[0], thumb = files[1];
  EXPECT_EQ(full.extension(), ".jpg");
  EXPECT_EQ(thumb.stem().string(), full.stem().string() + "_150");
  for (const auto& f : files) {
    std::string bytes = testutil::ReadAll(f.string());
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
    EXPECT_EQ(static_cast<unsigned char>(bytes[2]), 0xFF);
  }
  {
    Gdiplus::Bitmap small(thumb.wstring().c_str());
    ASSERT_EQ(small.GetLastStatus(), Gdiplus::Ok);
    EXPECT_EQ(small.GetWidth(), 150u);
    EXPECT_EQ(small.GetHeight(), 100u);
    Gdiplus::Bitmap large(full.wstring().c_str());
    EXPECT_EQ(large.GetWidth(), 300u);
  }
  // The thumbnail is shown, linked to the full picture.
  ASSERT_EQ(rich_.GetItemCount(), 1);
  const RichItem& image = rich_.GetItem(0);
  EXPECT_EQ(image.source, as_u16(thumb.wstring().c_str()));
  ASSERT_TRUE(image.link);
  EXPECT_EQ(*image.link, as_u16(full.wstring().c_str()));
  int kind = 0;
  EXPECT_NE(rich_.GetLinkAt(image.x + 1, image.y + 1, &kind), nullptr);
  EXPECT_EQ(kind, 1);
}

TEST(RichClipboard, ReadsStopAtTheEndOfTheBlock) {
  const char16_t unterminated[] = {u'a', u'b', u'c'};
  EXPECT_EQ(BoundedClipboardText(unterminated, sizeof unterminated), u"abc");
  EXPECT_EQ(BoundedClipboardText(unterminated, 3), u"a");  // an odd size drops the half unit

  // A dropped-file list: two wide paths, then one running off the end of its block.
  std::vector<unsigned char> block(sizeof(DROPFILES));
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = TRUE;
  memcpy(block.data(), &header, sizeof header);
  for (const char16_t* path : {u"C:\\a.txt", u"C:\\b.txt", u"C:\\cut"}) {
    const std::u16string p(path);
    const auto* bytes = reinterpret_cast<const unsigned char*>(p.c_str());
    block.insert(block.end(), bytes, bytes + (p.size() + 1) * 2);
  }
  block.resize(block.size() - 4);  // the last path loses its end
  std::vector<std::u16string> files = BoundedDropFiles(block.data(), block.size(), 520);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1], u"C:\\b.txt");
  header.pFiles = 100000;  // pointing outside the block
  memcpy(block.data(), &header, sizeof header);
  EXPECT_TRUE(BoundedDropFiles(block.data(), block.size(), 520).empty());
}

}  // namespace
