#include "runtime/osdir.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"
#include "runtime/ostext.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

using OsTest = InTempDir<RuntimeTest>;

std::string ToUtf8(const std::string& lib, bool path) {
  char out[64];
  u32 n = OsToUtf8(Sl(lib), path, out, sizeof out);
  return n == kOsTooLong ? "<too long>" : std::string(out, n);
}

std::string FromUtf8(const std::string& utf8, bool* lossy = nullptr) {
  return S(OsPathFromUtf8(utf8.c_str(), lossy));
}

TEST_F(OsTest, TextCrossesTheBoundaryBothWays) {
  EXPECT_EQ(ToUtf8("\\home\\caf\xE9\\a.txt", true), "/home/caf\xC3\xA9/a.txt");
  EXPECT_EQ(ToUtf8("a\\b", false), "a\\b");
  EXPECT_EQ(ToUtf8("\xFF\x80", false), "\xC3\xBF\xC2\x80");
  EXPECT_EQ(ToUtf8(std::string("a\0b", 3), true), "<too long>");  // a NUL ends no name here
  char tiny[3];
  EXPECT_EQ(OsToUtf8(L("\xE9\xE9"), false, tiny, sizeof tiny), kOsTooLong);

  bool lossy = true;
  EXPECT_EQ(FromUtf8("/home/caf\xC3\xA9/a.txt", &lossy), "\\home\\caf\xE9\\a.txt");
  EXPECT_FALSE(lossy);
  EXPECT_EQ(S(OsTextFromUtf8("a/b")), "a/b");
  // Outside Latin-1, and malformed sequences, become '?'.
  EXPECT_EQ(FromUtf8("\xE2\x82\xAC" "5", &lossy), "?5");
  EXPECT_TRUE(lossy);
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), "?");
  EXPECT_EQ(FromUtf8("a\xC3"), "a?");
  EXPECT_EQ(FromUtf8("\xC0\xAF" "x"), "??x");  // an overlong '/' is no separator
  EXPECT_EQ(S(OsTextFromUtf8(nullptr)), "");
}

TEST_F(OsTest, WildcardMatcher) {
  struct Case {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Case cases[] = {
      {"*.*", "README", true},  {"*.*", ".", true},         {"*.txt", "a.txt", true},
      {"*.txt", "a.txt.bak", false}, {"*.txt", ".txt", true}, {"a?c", "abc", true},
      {"a?c", "ac", false},     {"A.TXT", "a.txt", false},  {"*", "", true},
      {"a*b*c", "axxbyybzc", true}, {"a*b*c", "axxbyybz", false}, {"*x", "xxxy", false},
      {"f[1].txt", "f[1].txt", true}, {"f[1].txt", "f1.txt", false}, {"??", "abc", false},
      {"caf\xE9*", "caf\xE9.txt", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(OsMatch(L(c.pattern), L(c.name)), c.match) << c.pattern << " ~ " << c.name;
  }
}

TEST_F(OsTest, EnvironmentExactNameFirstThenAnyCase) {
  ASSERT_EQ(setenv("VK_OS_TEST_VALUE", "x\xC3\xA9/y", 1), 0);
  bool found = false;
  EXPECT_EQ(S(OsEnvGet(L("VK_OS_TEST_VALUE"), &found)), "x\xE9/y");  // not a path: '/' stays
  EXPECT_TRUE(found);
  EXPECT_EQ(S(OsEnvGet(L("vk_os_test_value"))), "x\xE9/y");
  ASSERT_EQ(setenv("VK_OS_CASE", "upper", 1), 0);
  ASSERT_EQ(setenv("vk_os_case", "lower", 1), 0);
  EXPECT_EQ(S(OsEnvGet(L("vk_os_case"))), "lower");
  EXPECT_EQ(S(OsEnvGet(L("VK_OS_CASE"))), "upper");
  ASSERT_EQ(setenv("VK_OS_EMPTY", "", 1), 0);
  EXPECT_EQ(S(OsEnvGet(L("VK_OS_EMPTY"), &found)), "");
  EXPECT_TRUE(found);
  EXPECT_EQ(S(OsEnvGet(L("VK_OS_NOT_SET_ANYWHERE"), &found)), "");
  EXPECT_FALSE(found);
  EXPECT_EQ(S(OsEnvGet(L("VK_OS"))), "");  // a prefix is no name
  EXPECT_EQ(S(OsEnvGet(L(""), &found)), "");
}

TEST_F(OsTest, ExecutableAndCurrentDirectoryInLibraryForm) {
  StrSlice exe = OsExePath();
  ASSERT_GT(exe.len, 1);
  EXPECT_EQ(exe.ptr[0], '\\');
  EXPECT_EQ(S(exe).find('/'), std::string::npos);
  OsStat st;
  EXPECT_TRUE(OsStatPath(exe, &st));
  EXPECT_FALSE(st.is_dir);

  std::string accented = Sys("d\xC3\xA9j\xC3\xA0");
  ASSERT_EQ(mkdir(accented.c_str(), 0777), 0);
  std::string lib = Lib() + "\\d\xE9j\xE0";
  ASSERT_EQ(OsDirChange(Sl(lib)), 0);
  EXPECT_EQ(S(OsDirCurrent()), lib);
  EXPECT_EQ(OsDirChange(L("")), kFailed);
}

// A file whose name holds a letter outside ASCII, handled through the whole
// library: created, found, read and deleted.
TEST_F(OsTest, AccentedNameRoundTrip) {
  std::string folder = Lib() + "\\caf\xE9";
  std::string file = folder + "\\r\xE9sum\xE9.txt";
  ASSERT_EQ(DirCreatePath(Sl(folder)), 0);
  EXPECT_TRUE(IsDir("caf\xC3\xA9"));
  ASSERT_EQ(FileWrite(Sl(file), kWriteReplace, "Precauci\xF3n", 10), 0);
  // On disk the name is UTF-8; the content stays the bytes written.
  EXPECT_EQ(Read("caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt"), "Precauci\xF3n");

  std::string pattern = folder + "\\r*.txt";
  ASSERT_EQ(DirList(Sl(pattern)), 0);
  EXPECT_EQ(S(WorkTop()), "r\xE9sum\xE9.txt");
  std::string exact_pattern = folder + "\\r\xE9sum?.txt";
  EXPECT_EQ(DirList(Sl(exact_pattern)), 0);
  EXPECT_EQ(S(FileReadAll(Sl(file), 0, kReadToEnd)), "Precauci\xF3n");
  EXPECT_EQ(FileInfo(Sl(file)).size, 10u);

  EXPECT_EQ(FileDelete(Sl(file)), 0);
  EXPECT_EQ(DirList(Sl(pattern)), kErrFileNotFound);
  EXPECT_FALSE(Exists("caf\xC3\xA9/r\xC3\xA9sum\xC3\xA9.txt"));
}

// Every failing call on files and folders notes why, for the message that
// names the file; the reason reads in English.
TEST_F(OsTest, FailedCallsNoteTheSystemsReason) {
  ASSERT_EQ(mkdir(Sys("folder").c_str(), 0777), 0);
  Write("folder/file", "x");
  const struct {
    const char* what;
    bool (*fails)(const std::string& path);
    const char* name;
    const char* reason;
  } cases[] = {
      {"open a folder", [](const std::string& p) { return OsFileOpen(Sl(p), "rb") == nullptr; }, "folder",
       "Is a directory"},
      {"open a missing file", [](const std::string& p) { return OsFileOpen(Sl(p), "rb") == nullptr; }, "none",
       "No such file or directory"},
      {"create in a missing folder", [](const std::string& p) { return OsFileCreateNew(Sl(p)) == 0xFFFF; },
       "none\\f", "No such file or directory"},
      {"remove a missing file", [](const std::string& p) { return OsFileRemove(Sl(p)) != 0; }, "none",
       "No such file or directory"},
      {"rename a missing file", [](const std::string& p) { return OsFileRename(Sl(p), Sl(p + "2")) != 0; }, "none",
       "No such file or directory"},
      {"create a folder that is there", [](const std::string& p) { return OsDirCreate(Sl(p)) != 0; }, "folder",
       "File exists"},
      {"remove a folder that holds a file", [](const std::string& p) { return OsDirRemove(Sl(p)) != 0; }, "folder",
       "Directory not empty"},
      {"change into a missing folder", [](const std::string& p) { return OsDirChange(Sl(p)) != 0; }, "none",
       "No such file or directory"},
      {"sweep a missing folder", [](const std::string& p) { return OsTempSweep(Sl(p), L("")) != 0; }, "none",
       "No such file or directory"},
      {"read a folder whole",
       [](const std::string& p) {
         char* data = nullptr;
         u32 size = 0;
         return OsFileSlurp(Sl(p), 100, &data, &size) == kOsOpenFailed;
       },
       "folder", "Is a directory"},
      {"append to a folder", [](const std::string& p) { return OsFileAppend(Sl(p), "x", 1) == kOsOpenFailed; },
       "folder", "Is a directory"},
      {"replace in a missing folder", [](const std::string& p) { return OsFileReplace(Sl(p), "x", 1) != 0; },
       "none\\f", "No such file or directory"},
  };
  for (const auto& c : cases) {
    // A name no call can take is noted as well: the reason of the call
    // before does not stay.
    EXPECT_EQ(OsFileRemove(StrSlice{"a\0b", 3}), 0xFFFF);
    EXPECT_EQ(S(OsErrorText(OsLastError())), "Invalid argument");
    EXPECT_TRUE(c.fails(Lib() + "\\" + c.name)) << c.what;
    EXPECT_EQ(S(OsErrorText(OsLastError())), c.reason) << c.what;
  }
  EXPECT_EQ(S(OsErrorText(ENOSPC)), "No space left on device");
}

}  // namespace
