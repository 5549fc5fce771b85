#include "script/runlog.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "interp_fixture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/varstore.h"
#include "script/valtable.h"
#include "script/variables.h"
#include "temp_dir.h"

using namespace vk;

namespace {

i64 FixedClock() { return 1796651130; }  // 2026-12-07 13:45:30 UTC

// The library started, in a temporary folder that is the current directory.
struct LogTest : InTempDir<LibTest> {
  void TearDown() override {
    NumSetClockHook(nullptr);
    InTempDir::TearDown();
  }
};

TEST_F(LogTest, NamingTheLogStartsItFresh) {
  EXPECT_EQ(S(LogFilePath()), "log.txt");
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdAppNames, L("ABCDEF:Description")), 0);
  EXPECT_EQ(S(LogFilePath()), "ABlog.txt");

  std::ofstream("Run.log") << "old run\r\n";
  ASSERT_EQ(LogSetFile(L("Run.log")), 0);
  EXPECT_FALSE(std::filesystem::exists("Run.log"));
  EXPECT_EQ(S(LogFilePath()), "Run.log");

  LogLine(L("first"), kLogNormal);
  EXPECT_EQ(LogSetFile(L("")), 0);  // keeps the name and the file
  EXPECT_EQ(S(LogFilePath()), "Run.log");
  EXPECT_EQ(Read("Run.log"), "first\r\n");
  // A name read from the store is still the one deleted.
  ASSERT_EQ(LogSetFile(StoreGet(kGroupRun, kRunLogName)), 0);
  EXPECT_FALSE(std::filesystem::exists("Run.log"));
}

TEST_F(LogTest, LinesEndInCrLfAndAreGatedByTrace) {
  ASSERT_EQ(LogSetFile(L("t.log")), 0);
  LogLine(L("...OK\r\n"), kLogNormal);
  LogLine(StrErrorSlice(kErrFileNotFound), kLogNormal);
  LogLine(L("other bit"), 2);
  SysVarSet(kSysTrace, 0);
  LogLine(L("off"), 0xFF);
  SysVarSet(kSysTrace, 6);
  LogLine(L("bit 2"), 2);
  EXPECT_EQ(Read("t.log"), "...OK\r\n\r\nError #164\r\nbit 2\r\n");

  EXPECT_EQ(LogAppendLine(L(""), L("lost")), 0);
  EXPECT_EQ(LogAppendLine(L("no_folder\\x.log"), L("lost")), 1);  // the write is not reported
}

TEST_F(LogTest, EntriesAreFramedAndAppended) {
  NumSetClockHook(FixedClock);
  SysVarSet(kSysTrace, 0);  // entries are not gated
  const std::string head = "*****************************\r\n Date:12-07-2026 - Time:13:45 - User:0\r\n";
  const std::string tail = "\r\n**********************\r\n\r\n";
  ASSERT_EQ(LogSetFile(L("Run.log")), 0);
  EXPECT_EQ(LogWriteEntry(L("Something failed"), L("")), 0);
  EXPECT_EQ(LogWriteEntry(L("x\r\n"), L("Run.log")), 0);
  EXPECT_EQ(Read("Run.log"), head + "Something failed" + tail + head + "x\r\n" + tail);

  ASSERT_EQ(StoreSet(kGroupIdentity, kIdLanguage, L("ES")), 0);  // day first
  EXPECT_EQ(LogWriteEntry(L(""), L("b.log")), 0);
  EXPECT_EQ(Read("b.log").substr(31, 17), " Date:07-12-2026 ");

  EXPECT_EQ(LogWriteEntry(L("e"), L("no_folder\\x.log")), kErrFileNotFound);
  EXPECT_EQ(S(ErrDetail()), "no_folder/x.log");  // as the user reads it
  EXPECT_FALSE(std::filesystem::exists("no_folder"));

  // The device takes the entry into the stream's buffer and refuses it when
  // the file is closed: the entry is not written.
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(LogWriteEntry(L("e"), L("\\dev\\full")), kErrFileIO);
}

}  // namespace
