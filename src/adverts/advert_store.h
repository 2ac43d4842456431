// The advert store: adverts waiting for their time, the ids of adverts already shown (so
// that none is ever shown twice, across restarts) and the current advert-link groups. The
// last two live in adv\config.dat in the data folder: ANSI XML text, one zero byte, the
// whole scrambled like data.dat.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "model/advert_record.h"

namespace adverts {

constexpr char16_t kAdvertFolderName[] = u"adv";
constexpr char16_t kAdvertFileName[] = u"config.dat";
// A file this short cannot hold a document.
constexpr size_t kMinAdvertFileSize = 4;
// Links handed to the widgets at most.
constexpr size_t kMaxAdvLinks = 10;
// A start-time advert is shown by a scheduler run no later than this after its start.
constexpr int64_t kShowWindowSeconds = 20;
// Adverts waiting at most; the oldest waiting advert makes room for a new one.
constexpr size_t kMaxStoredAdverts = 64;
// The advert-link position whose links become the widgets' extra lines.
constexpr int32_t kWidgetLinkPosition = 6;

// The whole text of the file (without its terminating zero byte). Names, addresses and the
// retired list are escaped, so whatever the service sends reads back as it was.
std::string BuildAdvertFileText(const std::u16string& retired, const std::vector<AdvLinkGroup>& groups);
// The bytes on disk for a text: the text, one zero byte, scrambled.
std::string EncodeAdvertFile(const std::string& text);

enum class AdvertFileStatus { kOk, kTooShort, kParseError };

// Reads the file's bytes (scrambled, or plain text starting with "<?xml"): the retired list
// and the groups. An "advlink" without a "position" attribute gives no group; links keep
// empty names and addresses. Logs "invalid file" or "parse adv xml error!" on failure, and
// leaves both outputs untouched then.
AdvertFileStatus ParseAdvertFile(const std::string& bytes, std::u16string* retired,
                                 std::vector<AdvLinkGroup>* groups);

// Position attribute rule: "2" gives 2, "6" gives 6, anything else 1.
int32_t AdvLinkPositionFromText(const char* text);

// True when `id` is one of the comma-ended ids of `retired` ("12,40,"). Whole ids only:
// "13," does not hold 3.
bool IsRetired(const std::u16string& retired, int32_t id);

// What a scheduler run needs from the program.
struct SchedulerHost {
  int64_t now = 0;        // seconds since 1970
  int32_t usecount = 0;   // the program's use count: adverts for later users wait
  // True while the maker's sibling product runs; its adverts are then retired unseen.
  std::function<bool()> siblingRunning;
  std::function<void(const AdvertRecord&)> show;
};

class AdvertStore {
 public:
  // `dataFolder` ends with a path separator; empty means there is no data folder.
  explicit AdvertStore(std::u16string dataFolder);

  // Reads the file at most once per store: 1 when it is (or already was) loaded, 0 when
  // this first read failed (logged; the store stays empty and is not read again).
  int Load();
  // Writes the file atomically; 1 on success, failures logged.
  int Save();

  // Stores copies of the adverts not stored yet and not retired.
  void AddAdverts(const std::vector<AdvertRecord>& adverts);
  // Replaces the groups and saves.
  void ReplaceAdvLinkGroups(const std::vector<AdvLinkGroup>& groups);
  // The links of every group of `position`, in order, at most kMaxAdvLinks.
  std::vector<AdvLink> GetAdvLinks(int32_t position);
  // Forgets the stored advert with that id, adds the id to the retired list, saves.
  void RetireAdvert(int32_t id);
  // Shows and retires every waiting start-time advert that is due (see SchedulerHost);
  // returns how many were due.
  int RunAdvertScheduler(const SchedulerHost& host);

  std::u16string FilePath() const;
  std::u16string retired();
  size_t storedCount();

 private:
  struct Entry {
    AdvertRecord advert;
    bool shown = false;
  };
  int LoadLocked();
  void RetireLocked(int32_t id);
  int SaveLocked();

  std::u16string dataFolder_;
  std::mutex mu_;
  bool loaded_ = false;
  std::vector<Entry> stored_;
  std::u16string retired_;
  std::vector<AdvLinkGroup> groups_;
};

}  // namespace adverts
