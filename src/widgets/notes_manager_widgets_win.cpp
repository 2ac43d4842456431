// The widget side of CNotesManager: the list of feed widgets, creating and removing
// them, the periodic refresh, the first widget of a fresh installation, and embedding
// widgets in the desktop's icon view.
#include <algorithm>

#include "feed/default_feeds.h"
#include "store/data_store.h"
#include "widgets/news_notes_win.h"
#include "widgets/notes_manager_win.h"
#include "widgets/widget_geometry.h"

namespace {

constexpr int kNewWidgetFontSize = 90;
constexpr int kNewWidgetLineSpace = 6;
constexpr wchar_t kDefaultFace[] = L"宋体";

// Process-wide: the desktop's icon view is looked for once.
HWND g_desktopListView = nullptr;
bool g_desktopSearched = false;
int g_osMajorVersion = 0;

BOOL CALLBACK FindListViewProc(HWND top, LPARAM) {
  if (!(GetWindowLongW(top, GWL_STYLE) & WS_VISIBLE)) return TRUE;
  HWND view = FindWindowExW(top, nullptr, L"SHELLDLL_DefView", nullptr);
  if (!view) return TRUE;
  HWND list = FindWindowExW(view, nullptr, L"SysListView32", L"FolderView");
  if (!list) return TRUE;
  g_desktopListView = list;
  return FALSE;
}

}  // namespace

CNotesManager::~CNotesManager() {
  // The final save has been made by Quit; the widgets go with the manager.
  for (CNewsNotes* w : widgets_) delete w;
}

void CNotesManager::AddWidget(CNewsNotes* w) {
  if (w) widgets_.push_back(w);
}

void CNotesManager::RemoveWidget(CNewsNotes* w) {
  auto it = std::find(widgets_.begin(), widgets_.end(), w);
  if (it == widgets_.end()) return;
  w->DestroyWidget();
  widgets_.erase(it);
  delete w;
}

void CNotesManager::RefreshAllWidgets() {
  for (CNewsNotes* w : widgets_) w->Refresh(1);
}

CNewsNotes* CNotesManager::CreateFeedWidget(const std::u16string& url, int x, int y, CNewsNotes* templ) {
  auto* w = new CNewsNotes;
  w->rssurl = url;
  if (templ) {
    w->alpha = templ->GetAlpha();
    w->tmpl = templ->GetTemplate();
  }
  w->SetFont(kNewWidgetFontSize, 0, u"宋体");
  w->SetLineSpace(kNewWidgetLineSpace);
  w->MoveTo(x, y);
  w->ShowWidget();
  w->Refresh(0);
  AddWidget(w);
  return w;
}

void CNotesManager::CreateFirstWidgetIfNone() {
  if (!widgets_.empty()) return;
  std::vector<NewsLink> offered = feed::EffectiveRemoteLinks(remote_links, custom_links);
  if (offered.empty()) return;
  int x, y;
  widgets::NewWidgetPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), &x, &y);
  CreateFeedWidget(offered.front().url, x, y, nullptr);
}

int CNotesManager::Restore(const DataSnapshot& data) {
  static_cast<ManagerData&>(*this) = data.settings;
  int made = 0;
  for (const CNotesLocalInfo& record : data.widgets) {
    auto* w = new CNewsNotes;
    w->CopyRecordFrom(record);
    w->ShowWidget();
    w->Refresh(0);
    AddWidget(w);
    ++made;
  }
  return made;
}

DataSnapshot CNotesManager::Snapshot() {
  DataSnapshot data;
  data.settings = *this;
  const store::ScreenSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  for (CNewsNotes* w : widgets_) {
    const store::StoredPosition at = store::ClampedPosition(*w, screen);
    w->x = at.x;
    w->y = at.y;
    CNotesLocalInfo record(*w);
    record.content = w->GetContent();
    data.widgets.push_back(std::move(record));
  }
  return data;
}

HWND CNotesManager::FindDesktopListView() {
  if (g_desktopSearched) return g_desktopListView;
  g_desktopSearched = true;
  EnumWindows(FindListViewProc, 0);
  return g_desktopListView;
}

int CNotesManager::GetOsMajorVersion() {
  if (g_osMajorVersion == 0) {
    OSVERSIONINFOW vi{sizeof vi};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&vi)) g_osMajorVersion = static_cast<int>(vi.dwMajorVersion);
#pragma GCC diagnostic pop
  }
  return g_osMajorVersion;
}

int CNotesManager::CanEmbedInDesktop() {
  // Since Windows Vista the icon view is no place for foreign windows.
  return FindDesktopListView() && GetOsMajorVersion() < 6 ? 1 : 0;
}
