#include "ui/opml_dialogs_win.h"

#include <commdlg.h>

#include "framework/wstr_win.h"
#include "platform/system_library_win.h"

namespace ui {
namespace {

constexpr wchar_t kOpmlFilter[] = L"OPML 文件 (*.opml)\0*.opml\0XML 文件 (*.xml)\0*.xml\0所有文件 (*.*)\0*.*\0";
constexpr wchar_t kDefaultExportName[] = L"Pelinor订阅.opml";
constexpr wchar_t kMessageTitle[] = L"提示";

class SystemDialogs : public OpmlDialogs {
 public:
  bool ChooseExportFile(HWND owner, std::u16string* path) override {
    return Choose(owner, path, kDefaultExportName, L"导出订阅", OFN_OVERWRITEPROMPT, true);
  }
  bool ChooseImportFile(HWND owner, std::u16string* path) override {
    return Choose(owner, path, L"", L"导入订阅", OFN_FILEMUSTEXIST, false);
  }
  void Tell(HWND owner, const TransferOutcome& outcome) override {
    MessageBoxW(owner, as_wcstr(outcome.message), kMessageTitle, MB_OK | (outcome.ok ? MB_ICONINFORMATION : MB_ICONWARNING));
  }

 private:
  static bool Choose(HWND owner, std::u16string* path, const wchar_t* initial, const wchar_t* title, DWORD flags,
                     bool save) {
    wchar_t file[MAX_PATH * 2] = {0};
    wcsncpy(file, initial, MAX_PATH);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = kOpmlFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file / sizeof file[0];
    ofn.lpstrTitle = title;
    ofn.lpstrDefExt = L"opml";
    ofn.Flags = flags | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY | OFN_EXPLORER;
    // The common dialogs are loaded the first time one is needed: most runs never need one.
    using ChooseFn = BOOL(WINAPI*)(OPENFILENAMEW*);
    static const HMODULE dialogs = platform::LoadSystemLibrary(L"comdlg32.dll");
    const ChooseFn choose = platform::SystemFunction<ChooseFn>(dialogs, save ? "GetSaveFileNameW" : "GetOpenFileNameW");
    if (!choose || !choose(&ofn)) return false;
    *path = to_u16(file);
    return !path->empty();
  }
};

}  // namespace

OpmlDialogs& SystemOpmlDialogs() {
  static SystemDialogs dialogs;
  return dialogs;
}

void ExportSubscriptionsCommand(HWND owner, const std::vector<NewsLink>& widgetFeeds,
                                const std::vector<NewsLink>& offered, LinkDialogHost& host, OpmlDialogs& dialogs) {
  std::u16string path;
  if (!dialogs.ChooseExportFile(owner, &path)) return;
  dialogs.Tell(owner, ExportSubscriptions(path, SubscriptionsToExport(widgetFeeds, offered, host.Settings().custom_links)));
}

void ImportSubscriptionsCommand(HWND owner, LinkDialogHost& host, OpmlDialogs& dialogs) {
  std::u16string path;
  if (!dialogs.ChooseImportFile(owner, &path)) return;
  dialogs.Tell(owner, ImportSubscriptions(path, host));
}

}  // namespace ui
