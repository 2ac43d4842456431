// A save killed at any moment must leave a loadable document: the old one or the new one.
// POSIX only (fork and SIGKILL); the Windows program is covered by the same kind of test
// in the Windows test binary.
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tinyxml.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"
#include "store/data_store.h"
#include "test_util.h"

namespace {

// A document big enough that a kill often lands inside the write; `usecount` tells the
// versions apart.
std::string Document(int usecount) {
  ManagerData m;
  m.usecount = usecount;
  std::vector<CNotesLocalInfo> notes(30);
  for (auto& n : notes) n.content = std::u16string(400, u'\u65b0');
  return store::EncodeDataFile(store::BuildDataDocument({m, notes}, {1024, 768}));
}

// A folder in memory when the system has one: a kill waits for a disk flush to finish,
// which would make hundreds of rounds slow without testing anything more.
class MemoryFolder {
 public:
  MemoryFolder() {
    char pattern[] = "/dev/shm/pelinor-crash-XXXXXX";
    if (access("/dev/shm", W_OK) == 0 && mkdtemp(pattern)) path_ = pattern;
  }
  ~MemoryFolder() {
    if (!path_.empty()) std::filesystem::remove_all(path_);
  }
  std::string path() const { return path_.empty() ? fallback_.path().string() : path_; }

 private:
  std::string path_;
  testutil::TempDir fallback_;
};

TEST(DataCrash, KilledSavesAlwaysLeaveTheOldOrTheNewDocument) {
  platform::SetAnsiCodePageForTests(936);
  MemoryFolder dir;
  const std::u16string folder = platform::Utf8ToU16(dir.path() + "/");
  const std::u16string target = folder + u"data.dat";
  const std::string older = Document(10), newer = Document(20);
  ASSERT_TRUE(platform::WriteFileAtomic(target, older));

  std::mt19937 rng(12345);
  int interrupted = 0;
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Save the two versions in turn until killed.
      for (;;) {
        if (!platform::WriteFileAtomic(target, newer) || !platform::WriteFileAtomic(target, older)) _exit(3);
      }
    }
    usleep(static_cast<useconds_t>(rng() % 3000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child failed by itself";
    if (platform::FileExists(platform::TempPathFor(target))) ++interrupted;

    TiXmlDocument doc;
    bool anyRead = false;
    int error = 0;
    int index = store::LoadFirstUsable(store::DataFileCandidates(u"", folder), &doc, &anyRead, &error);
    ASSERT_EQ(index, 0) << "round " << round << ": data.dat itself must always load";
    ManagerData m;
    store::ReadSettings(doc.RootElement(), &m);
    ASSERT_TRUE(m.usecount == 11 || m.usecount == 21) << "round " << round << ": usecount " << m.usecount;
  }
  // The kills must have hit writes in progress, or the test proved nothing.
  EXPECT_GT(interrupted, kRounds / 10);
  std::printf("%d of %d kills interrupted a write\n", interrupted, kRounds);
}

}  // namespace
#endif
