#include "script/fnfile.h"

#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "interp_fixture.h"
#include "temp_dir.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/lexer.h"
#include "script/valtable.h"

using namespace vk;

namespace {

// The started interpreter in a fresh temporary folder (the current
// directory during the test).
struct FnFileTest : InTempDir<InterpTest> {
  static bool Exists(const std::string& name) { return std::filesystem::exists(name); }
  static size_t FilesHere() {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(".")) n += e.is_regular_file() ? 1 : 0;
    return n;
  }
  // The whole number an expression gives.
  static i64 Int(const std::string& expr) { return Num(expr) / NumScaleFactor(); }
  static std::string Detail() { return S(ErrDetail()); }
};

// ---- FN#FLEN and READ$ ------------------------------------------------------

TEST_F(FnFileTest, FileLengthOfNamedFiles) {
  Write("a.txt", "0123456789");
  EXPECT_EQ(Int("FN#FLEN('a.txt')"), 10);
  EXPECT_EQ(Int("FN#FLEN('missing.txt')"), 0);
  EXPECT_EQ(Eval("FN#FLEN()"), kErrSyntax);
  EXPECT_EQ(Eval("FN#FLEN(5)"), kErrTypeMismatch);
}

TEST_F(FnFileTest, ReadOfANamedFileTakesARange) {
  Write("a.txt", "0123456789");
  EXPECT_EQ(Text("READ$('a.txt';4;3)"), "456");
  EXPECT_EQ(Text("READ$('a.txt')"), "0123456789");
  EXPECT_EQ(Text("READ$('a.txt';8)"), "89");
  EXPECT_EQ(Text("READ$('a.txt';0;0)"), "");
  // Failures are the empty text, never an error.
  EXPECT_EQ(Text("READ$('a.txt';8;5)"), "");
  EXPECT_EQ(Text("READ$('missing.txt')"), "");
  EXPECT_EQ(Eval("READ$()"), kErrSyntax);
  EXPECT_EQ(Eval("READ$('a.txt';'x')"), kErrTypeMismatch);
}

TEST_F(FnFileTest, ReadOfAnOpenFileByLinesRecordsAndEnd) {
  Write("l.txt", "one\r\ntwo\nthree\rlast");
  ASSERT_EQ(Eval("f=FILESEL('l.txt';1)"), 0);
  EXPECT_GE(Int("f"), kFileFirstUserSlot);
  // The default position 0 reads the first line each time.
  EXPECT_EQ(Text("READ$(f)"), "one");
  EXPECT_EQ(Text("READ$(f)"), "one");
  // -1 reads on from where the last read ended; every line end is dropped.
  EXPECT_EQ(Text("READ$(f;-1)"), "two");
  EXPECT_EQ(Text("READ$(f;-1)"), "three");
  EXPECT_EQ(Text("READ$(f;0;0)"), "");  // not yet at the end
  EXPECT_EQ(Text("READ$(f;-1)"), "last");
  EXPECT_EQ(Text("READ$(f;-1)"), "");
  EXPECT_EQ(Text("READ$(f;-1;0)"), "\x1A");
  // A fixed-length record from a byte position.
  EXPECT_EQ(Text("READ$(f;5;3)"), "two");
  EXPECT_EQ(Text("READ$(f;-1;4)"), "\nthr");
  EXPECT_EQ(Int("FILESEL(f)"), 0);
  // A closed file reads as empty and is at its end.
  EXPECT_EQ(Text("READ$(f)"), "");
  EXPECT_EQ(Text("READ$(f;-1;0)"), "\x1A");
}

TEST_F(FnFileTest, ALoneCtrlZEndsAFile) {
  Write("z.txt", "a\r\n\x1A");
  ASSERT_EQ(Eval("f=FILESEL('z.txt';9)"), 0);
  EXPECT_EQ(Text("READ$(f;-1)"), "a");
  EXPECT_EQ(Text("READ$(f;-1)"), "");
  EXPECT_EQ(Int("FILESEL(f)"), 0);
}

// ---- WRITE ------------------------------------------------------------------

TEST_F(FnFileTest, WriteToANamedFileAtEachPosition) {
  EXPECT_EQ(Int("WRITE('w.txt';0;'hello')"), 0);  // a missing file is created
  EXPECT_EQ(Read("w.txt"), "hello");
  EXPECT_EQ(Int("WRITE('w.txt';-1;'!!')"), 0);
  EXPECT_EQ(Read("w.txt"), "hello!!");
  EXPECT_EQ(Int("WRITE('w.txt';1;'EL')"), 0);  // over the bytes, not truncating
  EXPECT_EQ(Read("w.txt"), "hELlo!!");
  EXPECT_EQ(Int("WRITE('w.txt';-3;'new')"), 0);
  EXPECT_EQ(Read("w.txt"), "new");
  // Writing no byte is 131 at every position.
  EXPECT_EQ(Int("WRITE('w.txt';-1;'')"), kErrFileIO);
  EXPECT_EQ(Int("WRITE('w.txt';0;'')"), kErrFileIO);
  EXPECT_EQ(Read("w.txt"), "new");
  EXPECT_EQ(Int("WRITE('never.txt';0;'')"), kErrFileIO);
  EXPECT_FALSE(Exists("never.txt"));
}

TEST_F(FnFileTest, RecreatingWithNoTextDeletesTheFile) {
  Write("w.txt", "old content");
  EXPECT_EQ(Int("WRITE('w.txt';-3;'')"), kErrFileIO);
  EXPECT_FALSE(Exists("w.txt"));
  EXPECT_EQ(Int("WRITE('w.txt';-3;'')"), kErrFileIO);  // already gone
  EXPECT_FALSE(Exists("w.txt"));
  // Never a folder.
  std::filesystem::create_directory("d");
  EXPECT_EQ(Int("WRITE('d';-3;'')"), kErrFileIO);
  EXPECT_TRUE(std::filesystem::is_directory("d"));
}

TEST_F(FnFileTest, RecreateThatCannotReplaceReportsItAndLeavesNoTemporary) {
  std::filesystem::create_directory("d");
  Write("d/keep.txt", "x");
  EXPECT_EQ(Int("WRITE('d';-3;'text')"), kErrFileIO);
  EXPECT_TRUE(std::filesystem::is_directory("d"));
  EXPECT_EQ(Read("d/keep.txt"), "x");
  EXPECT_EQ(FilesHere(), 0u);
}

TEST_F(FnFileTest, WriteChecksItsArguments) {
  EXPECT_EQ(Eval("WRITE('w.txt';0)"), kErrSyntax);
  EXPECT_EQ(Eval("WRITE('w.txt';0;'a';'b')"), kErrSyntax);
  EXPECT_EQ(Eval("WRITE('w.txt';'a';'b')"), kErrTypeMismatch);
  EXPECT_EQ(Eval("WRITE('w.txt';0;5)"), kErrTypeMismatch);
  EXPECT_FALSE(Exists("w.txt"));
}

TEST_F(FnFileTest, WriteToOpenFilesAndToNumbersThatAreNone) {
  ASSERT_EQ(Eval("f=FILESEL('s.txt';2)"), 0);
  EXPECT_EQ(Int("WRITE(f;-1;'abc')"), 0);
  EXPECT_EQ(Int("WRITE(f;-1;'def')"), 0);
  EXPECT_EQ(Int("WRITE(f;1;'X')"), 0);
  EXPECT_EQ(Int("WRITE(f;-1;'')"), 0);
  EXPECT_EQ(Text("READ$(f;0;-1)"), "aXcdef");
  EXPECT_EQ(Int("FILESEL(f)"), 0);
  EXPECT_EQ(Read("s.txt"), "aXcdef");
  // A number that is not an open file is 151, and nothing is written.
  EXPECT_EQ(Int("WRITE(f;-1;'more')"), kErrBadFileNumber);
  EXPECT_EQ(Int("WRITE(39;0;'x')"), kErrBadFileNumber);
  EXPECT_EQ(Int("WRITE(-4;0;'x')"), kErrBadFileNumber);
  EXPECT_EQ(Int("WRITE(40;0;'x')"), kErrBadFileNumber);
  EXPECT_EQ(Read("s.txt"), "aXcdef");
}

TEST_F(FnFileTest, AssignmentFileTakesCurrentValuesAndKeepsTheOldOnFailure) {
  Write("vars.txt", "a=1\nb$='old'\n");
  ASSERT_EQ(Eval("a=5;c$='x'"), 1);
  EXPECT_EQ(Int("WRITE('vars.txt';-2;'a,c$')"), 0);
  const std::string now = Read("vars.txt");
  EXPECT_EQ(now.find("a=5"), 0u) << now;
  EXPECT_NE(now.find("c$='x'"), std::string::npos) << now;
  EXPECT_NE(now.find("b$='old'"), std::string::npos) << now;
  EXPECT_EQ(Text("b$"), "old");  // the new file was run

  // A value that cannot be had is the status; the file stays as it was.
  EXPECT_EQ(Int("WRITE('vars.txt';-2;'a=1+''x''')"), kErrTypeMismatch);
  EXPECT_EQ(Read("vars.txt"), now);
  EXPECT_EQ(FilesHere(), 1u);
}

TEST_F(FnFileTest, NamedFilesHaveTheirPathMacrosExpanded) {
  // Each test runs in its own process: the environment may be changed.
  setenv("TEMP", "sub", 1);
  std::filesystem::create_directory("sub");
  EXPECT_EQ(Int("WRITE('%TEMP%\\x.txt';0;'hi')"), 0);
  EXPECT_EQ(Read("sub/x.txt"), "hi");
  EXPECT_EQ(Int("FN#FLEN('%TEMP%\\x.txt')"), 2);
  EXPECT_EQ(Text("READ$('%TEMP%\\x.txt')"), "hi");
}

// ---- FILESEL ----------------------------------------------------------------

TEST_F(FnFileTest, FileSelOpensClosesAndReportsOpenErrors) {
  EXPECT_EQ(Eval("FILESEL('none.txt';9)"), kErrFileNotFound);  // read, no create
  EXPECT_FALSE(Exists("none.txt"));
  const i64 slot = Int("FILESEL('new.txt';1)");  // created when missing
  EXPECT_GE(slot, kFileFirstUserSlot);
  EXPECT_TRUE(Exists("new.txt"));
  EXPECT_EQ(Int("FILESEL(" + std::to_string(slot) + ")"), 0);
  EXPECT_EQ(FileStream(static_cast<u16>(slot)), nullptr);
  // The standard streams stay open; closing a free slot is harmless.
  EXPECT_EQ(Int("FILESEL(1)"), 0);
  EXPECT_NE(FileStream(kSlotStdout), nullptr);
  EXPECT_EQ(Int("FILESEL(30)"), 0);
  EXPECT_EQ(Eval("FILESEL('')"), kErrFeatureRemoved);
  EXPECT_EQ(Eval("FILESEL('CUSTOMERS')"), kErrFeatureRemoved);
  EXPECT_EQ(Detail().find("DataFileSelect"), 0u) << Detail();
  EXPECT_EQ(Eval("FILESEL()"), kErrSyntax);
  EXPECT_EQ(Eval("FILESEL(3;1)"), kErrTypeMismatch);
}

// ---- EXEC$ ------------------------------------------------------------------

// What the test command executor received.
std::string g_exec_seen;
u16 g_exec_status = 0;

u16 TestExecutor(StrSlice command, StrSlice args, u16 mode) {
  g_exec_seen = S(command) + "|" + S(args) + "|" + std::to_string(mode);
  if (g_exec_status == 0) {
    EXPECT_EQ(StorePush(kGroupFuncPop, StrC("answer")), 0);
  }
  return g_exec_status;
}

TEST_F(FnFileTest, ExecRunsScriptFiles) {
  Write("run.txt", "x=7\ny$='ok'\n");
  EXPECT_EQ(Text("EXEC$('run.txt')"), "");
  EXPECT_EQ(Int("x"), 7);
  EXPECT_EQ(Text("y$"), "ok");
  EXPECT_EQ(Text("EXEC$('run.txt';)"), "");  // an empty argument text
  EXPECT_EQ(Eval("EXEC$('missing.txt')"), kErrFileNotFound);
  EXPECT_NE(Detail().find("missing.txt"), std::string::npos) << Detail();
  Write("bad.txt", "q=1\nq='a'*2\n");
  EXPECT_EQ(Eval("EXEC$('bad.txt')"), kErrTypeMismatch);
  EXPECT_EQ(Eval("EXEC$()"), kErrSyntax);
  EXPECT_EQ(Eval("EXEC$(5)"), kErrTypeMismatch);
}

TEST_F(FnFileTest, ExecOfACommandNeedsTheApplicationsExecutor) {
  // Never the operating system: no executor, no command.
  EXPECT_EQ(Eval("EXEC$('touch';'made.txt')"), kErrFeatureRemoved);
  EXPECT_EQ(Detail().find("EXEC$()"), 0u) << Detail();
  EXPECT_EQ(Eval("EXEC$('rm -rf x')"), kErrFeatureRemoved);
  Write("run.txt", "x=7\n");
  EXPECT_EQ(Eval("x=0;EXEC$('run.txt';'arg')"), kErrFeatureRemoved);  // a script takes no arguments
  EXPECT_EQ(Int("x"), 0);
  EXPECT_FALSE(Exists("made.txt"));

  ASSERT_TRUE(LibHookSet(kHookExec, reinterpret_cast<LibHookFn>(TestExecutor)));
  EXPECT_EQ(Text("EXEC$('cmd';'a b')"), "answer");
  EXPECT_EQ(g_exec_seen, "cmd|a b|2");
  EXPECT_EQ(StoreCount(kGroupFuncPop), 0);
  g_exec_status = kErrChildExec;
  EXPECT_EQ(Eval("EXEC$('cmd')"), kErrChildExec);
  EXPECT_EQ(g_exec_seen, "cmd||2");
  LibHookSet(kHookExec, nullptr);
}

// ---- SQLCHILD -----------------------------------------------------------------

TEST_F(FnFileTest, SqlChildNestsSevenLevelsDeepAndRestores) {
  SysVarSet(kSysCurrow, 3);
  SysVarSet(kSysIer, 9);
  // The arguments see the current row reset.
  EXPECT_EQ(Int("r=5;SQLCHILD(r=_CURROW;'text';2)"), 0);
  EXPECT_EQ(Int("r"), 0);
  EXPECT_EQ(Int("SQLCHILD()"), 0);
  // Failing arguments restore as well.
  EXPECT_EQ(Eval("SQLCHILD('a'*1)"), kErrTypeMismatch);
  EXPECT_EQ(SysVarGet(kSysSqlstk), 0);
  EXPECT_EQ(SysVarGet(kSysCurrow), 3);
  EXPECT_EQ(SysVarGet(kSysIer), 9);

  auto nested = [](int depth) {
    std::string e = "r=_SQLSTK";
    for (int i = 0; i < depth; ++i) e = "SQLCHILD(" + e + ")";
    return "r=-1;" + e;
  };
  EXPECT_EQ(Int(nested(7)), 0);
  EXPECT_EQ(Int("r"), 7);
  EXPECT_EQ(Eval(nested(8)), kErrStrOutBound);
  EXPECT_EQ(Int("r"), -1);  // the eighth level evaluates nothing
  EXPECT_EQ(SysVarGet(kSysSqlstk), 0);
  EXPECT_EQ(SysVarGet(kSysCurrow), 3);
  EXPECT_EQ(SysVarGet(kSysIer), 9);
}

// ---- Data-file functions ------------------------------------------------------

TEST_F(FnFileTest, DataFileFunctionsReachTheAbsentLayer) {
  EXPECT_EQ(Eval("FILEFIND('key')"), kErrFeatureRemoved);
  EXPECT_EQ(Detail().find("DataFileFind"), 0u) << Detail();
  EXPECT_EQ(Eval("FILEFIND('key';1;0;8)"), kErrFeatureRemoved);
  EXPECT_EQ(Detail().find("DataFileMove"), 0u) << Detail();
  EXPECT_EQ(Eval("FILEFIND()"), kErrSyntax);
  EXPECT_EQ(Eval("FILEFIND('k';'f')"), kErrTypeMismatch);

  EXPECT_EQ(Eval("FILELOCATE('TOP')"), kErrFeatureRemoved);
  EXPECT_EQ(Detail().find("DataFileMove"), 0u) << Detail();
  EXPECT_EQ(Eval("FILELOCATE(,2)"), kErrFeatureRemoved);
  EXPECT_EQ(Eval("FILELOCATE()"), kErrSyntax);
  EXPECT_EQ(Eval("FILELOCATE(5)"), kErrTypeMismatch);

  EXPECT_EQ(Eval("FILEREL(1;2;3)"), kErrFeatureRemoved);
  EXPECT_EQ(Detail().find("DataFileRelUpdate"), 0u) << Detail();
  EXPECT_EQ(Eval("FILEREL(1;'a';3)"), kErrSyntax);  // numbers only
  EXPECT_EQ(Eval("FILEREL(1;2)"), kErrSyntax);

  // Without descriptors: the empty key and error status 0, never a failure.
  EXPECT_EQ(Text("KEY$()"), "");
  EXPECT_EQ(Text("KEY$(0;1)"), "");
  EXPECT_EQ(Eval("KEY$('a')"), kErrTypeMismatch);
  EXPECT_EQ(Int("IER()"), 0);
  EXPECT_EQ(Eval("IER(1;2)"), kErrSyntax);
}

// What the test related-file hook received.
std::string g_rel_seen;
u16 g_rel_status = 5;

u16 TestRelHook(u16 file, u8 related, i64 third, u16 flags, StrSlice rest) {
  g_rel_seen = std::to_string(file) + " " + std::to_string(related) + " " + std::to_string(third) + " " +
               std::to_string(flags) + " [" + S(rest) + "]";
  return g_rel_status;
}

TEST_F(FnFileTest, FileRelHandsTheApplicationItsArguments) {
  ASSERT_TRUE(LibHookSet(kHookFileRel, reinterpret_cast<LibHookFn>(TestRelHook)));
  SysVarSet(kSysCurfil, 3);
  SysVarSet(kSysUpstat, 4);
  SysVarSet(kSysLastkey, 4);
  // No data file is open: the current file; the related number's low byte;
  // bit 1 set, and bit 2 dropped after a key other than 23 or 29. The rest
  // of the argument text arrives unevaluated.
  EXPECT_EQ(Int("z=0;FILEREL(9;258;70000;6;z=1;'w')"), 5);
  EXPECT_EQ(g_rel_seen, "3 2 70000 5 [z=1;'w']");
  EXPECT_EQ(Int("z"), 0);
  SysVarSet(kSysLastkey, 29);
  EXPECT_EQ(Int("FILEREL(1;2;3;6)"), 5);
  EXPECT_EQ(g_rel_seen, "3 2 3 7 []");
  SysVarSet(kSysLastkey, 4);
  EXPECT_EQ(Int("FILEREL(1;2;3;22)"), 5);  // bit 16 keeps bit 2
  EXPECT_EQ(g_rel_seen, "3 2 3 23 []");
  g_rel_status = kErrData;
  EXPECT_EQ(Eval("FILEREL(1;2;3;4)"), kErrData);

  // Without flag 4, or without _UPSTAT's bit 4, the data-file layer is asked.
  g_rel_seen.clear();
  EXPECT_EQ(Eval("FILEREL(1;2;3;2)"), kErrFeatureRemoved);
  SysVarSet(kSysUpstat, 1);
  EXPECT_EQ(Eval("FILEREL(1;2;3;4)"), kErrFeatureRemoved);
  EXPECT_EQ(g_rel_seen, "");
  LibHookSet(kHookFileRel, nullptr);
}

}  // namespace
