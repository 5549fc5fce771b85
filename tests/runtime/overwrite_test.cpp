#include "runtime/overwrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "runtime/number.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

i64 g_now = 0;
i64 HookedClock() { return g_now; }

// 2026-12-07 10:20:30 UTC and 2027-01-01 00:10:00 UTC.
constexpr i64 kMidDay = 1796638830;
constexpr i64 kNewYear = 1798762200;
constexpr i64 kMinute = 60;

// The dialog's rules: create missing files unless in deletion mode; with
// Overwrite ticked every file ("All Files") or those inside a time window.
constexpr u32 kAllFiles = kOverwriteCreate | kOverwriteExisting;
constexpr u32 kWindow = kOverwriteCreate | kOverwriteAgeTest | kOverwriteOnGreater | kOverwriteExisting;

struct OverwriteTest : InTempDir<RuntimeTest> {
  u16 written = 0;
  u16 avoids = 0;

  void SetUp() override {
    InTempDir::SetUp();
    g_now = kMidDay;
    NumSetClockHook(HookedClock);
  }
  void TearDown() override {
    NumSetClockHook(nullptr);
    InTempDir::TearDown();
  }

  // A file whose last write lies `written_ago` seconds before now and whose
  // last access `accessed_ago` seconds before now.
  std::string MakeFile(const char* name, i64 written_ago, i64 accessed_ago = 0) {
    std::string path = dir + "/" + name;
    int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    EXPECT_GE(fd, 0);
    const timespec times[2] = {{static_cast<time_t>(g_now - accessed_ago), 0},
                               {static_cast<time_t>(g_now - written_ago), 0}};
    EXPECT_EQ(futimens(fd, times), 0);
    close(fd);
    return path;
  }

  OverwriteRule Rule(u32 flags, u32 window = 0) { return OverwriteRule{flags, 0, window, 0, &written, &avoids}; }
  u16 Check(const std::string& path, OverwriteRule rule) { return FileOverwriteCheck(L(path.c_str()), rule); }
};

}  // namespace

TEST_F(OverwriteTest, MissingFileIsCreatedOrInDeletionModeAvoided) {
  const std::string missing = dir + "/missing.html";
  EXPECT_EQ(Check(missing, Rule(kAllFiles)), 1);
  EXPECT_EQ(Check(missing, Rule(kWindow, 60)), 1);
  EXPECT_EQ(written, 2);
  EXPECT_EQ(Check(missing, Rule(kAllFiles & ~kOverwriteCreate)), 0);
  EXPECT_EQ(Check(missing, Rule(kWindow & ~kOverwriteCreate, 60)), 0);
  EXPECT_EQ(avoids, 2);
  EXPECT_NE(access(missing.c_str(), F_OK), 0);  // the check itself creates nothing
}

TEST_F(OverwriteTest, AllFilesOverwritesEveryExistingFileAndNoFlagNone) {
  const std::string fresh = MakeFile("fresh.html", 1);
  const std::string old = MakeFile("old.html", 400 * 24 * 3600);
  EXPECT_EQ(Check(fresh, Rule(kAllFiles)), 1);
  EXPECT_EQ(Check(old, Rule(kAllFiles)), 1);
  EXPECT_EQ(Check(fresh, Rule(kOverwriteCreate)), 0);  // Overwrite not ticked
  EXPECT_EQ(Check(old, Rule(0)), 0);
  EXPECT_EQ(written, 2);
  EXPECT_EQ(avoids, 2);
}

TEST_F(OverwriteTest, TimeWindowAllowsOnlyFilesWrittenLessThanItAgo) {
  EXPECT_EQ(Check(MakeFile("a.html", 30 * kMinute), Rule(kWindow, 60)), 1);
  EXPECT_EQ(Check(MakeFile("b.html", 300 * kMinute), Rule(kWindow, 60)), 0);
  EXPECT_EQ(Check(MakeFile("c.html", 60 * kMinute), Rule(kWindow, 60)), 0);
  // A stamp in the future is younger than any window, not ancient.
  EXPECT_EQ(Check(MakeFile("d.html", -10 * kMinute), Rule(kWindow, 60)), 1);
  EXPECT_EQ(written, 2);
  EXPECT_EQ(avoids, 2);
}

TEST_F(OverwriteTest, AgeCountsAcrossTheYearEnd) {
  g_now = kNewYear;
  const std::string path = MakeFile("late.html", 20 * kMinute);  // 31 December 23:50
  EXPECT_EQ(FileAge(L(path.c_str()), kStampWritten, 2), 20);
  EXPECT_EQ(Check(path, Rule(kWindow, 60)), 1);
}

TEST_F(OverwriteTest, AgeUsesTheChosenStamp) {
  const std::string path = MakeFile("p.html", 300 * kMinute, 30 * kMinute);
  EXPECT_EQ(FileAge(L(path.c_str()), kStampWritten, 1), 5);
  EXPECT_EQ(FileAge(L(path.c_str()), kStampAccessed, 2), 30);
  EXPECT_EQ(Check(path, Rule(kWindow, 60)), 0);
  EXPECT_EQ(Check(path, Rule(kWindow | kOverwriteAccessed, 60)), 1);
}

TEST_F(OverwriteTest, ComparesTheStampWithAReferenceMoment) {
  // Written at 10:00:30; the reference is the same day at 10:00:30.5.
  const std::string path = MakeFile("r.html", 20 * kMinute);
  OverwriteRule rule{kOverwriteOnEqual, 20261207, 36030500, 1000, &written, &avoids};
  EXPECT_EQ(Check(path, rule), 1);
  rule.tolerance = 100;
  EXPECT_EQ(Check(path, rule), 0);
  rule.flags = kOverwriteOnGreater;
  EXPECT_EQ(Check(path, rule), 1);
  rule.ref_date = 20261206;
  EXPECT_EQ(Check(path, rule), 0);
  rule.flags = kOverwriteOnLess;
  EXPECT_EQ(Check(path, rule), 1);
}

TEST_F(OverwriteTest, CountersWrapAndMayBeAbsent) {
  const std::string path = MakeFile("w.html", 1);
  written = 0xFFFF;
  EXPECT_EQ(Check(path, Rule(kAllFiles)), 1);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(FileOverwriteCheck(L(path.c_str()), OverwriteRule{kAllFiles, 0, 0, 0, nullptr, nullptr}), 1);
  EXPECT_EQ(FileOverwriteCheck(L(path.c_str()), OverwriteRule{0, 0, 0, 0, nullptr, nullptr}), 0);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(avoids, 0);
}
