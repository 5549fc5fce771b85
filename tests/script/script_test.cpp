#include "script/script.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "interp_fixture.h"
#include "temp_dir.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/varstore.h"

using namespace vk;

namespace {

// The started library in a fresh temporary folder (the current directory
// during the test).
using ScriptTest = InTempDir<InterpTest>;

TEST_F(ScriptTest, RunsOneStatementPerLineWithAnyLineEnd) {
  Write("s.txt", "a=1\rb=a+1\nc$='x y'\r\nd=b*2\r\n\r\n");
  EXPECT_EQ(ScriptRunFile(L("s.txt"), kScriptReportMissing), 0);
  EXPECT_EQ(Num("b"), 200);
  EXPECT_EQ(Num("d"), 400);
  EXPECT_EQ(Text("c$"), "x y");
}

TEST_F(ScriptTest, FindsTheFileThroughTheFolderList) {
  ASSERT_EQ(mkdir("lib", 0700), 0);
  Write("lib/vars.txt", "found=7\n");
  const std::string folders = Lib("none") + "," + Lib("lib");
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdDefaultFolder, Sl(folders)), 0);
  EXPECT_EQ(ScriptRunFile(L("vars.txt"), kScriptReportMissing), 0);
  EXPECT_EQ(Num("found"), 700);
}

TEST_F(ScriptTest, MissingEmptyAndFailingScripts) {
  EXPECT_EQ(ScriptRunFile(L("absent.txt"), 0), 0);
  EXPECT_EQ(ScriptRunFile(L("absent.txt"), kScriptReportMissing), kErrFileNotFound);
  EXPECT_EQ(S(ErrDetail()), "absent.txt");
  Write("empty.txt", "");
  EXPECT_EQ(ScriptRunFile(L("empty.txt"), kScriptReportMissing), kErrFileNotFound);
  Write("bad.txt", "a=1\nb='x'+1\nc=3\n");
  EXPECT_EQ(ScriptRunFile(L("bad.txt"), kScriptReportMissing), kErrTypeMismatch);
  EXPECT_EQ(Num("a"), 100);
  EXPECT_EQ(Num("c"), 0);
}

TEST_F(ScriptTest, UpdatesAnAssignmentFile) {
  Write("v.txt", "a=1;t$='old';keep=3\nlast$='z'\n");
  ASSERT_EQ(Eval("a=5"), 0);
  ASSERT_EQ(Eval("t$=\"it's\""), 1);
  EXPECT_EQ(VarFileUpdate(L("v.txt"), L("a,t$,d=2+2,a")), 0);
  EXPECT_EQ(Read("v.txt"), "a=5;t$=\"it's\";d=4;keep=3;last$='z'");
  // The file was run again: every name has its written value.
  EXPECT_EQ(Num("d"), 400);
  EXPECT_EQ(Num("keep"), 300);
  EXPECT_EQ(Text("t$"), "it's");
}

TEST_F(ScriptTest, AFailedUpdateKeepsTheOldFile) {
  Write("v.txt", "a=1");
  EXPECT_EQ(VarFileUpdate(L("v.txt"), L("a=1+'x'")), kErrTypeMismatch);
  EXPECT_EQ(Read("v.txt"), "a=1");
  // A new file is created.
  EXPECT_EQ(Eval("n=2"), 0);
  EXPECT_EQ(VarFileUpdate(L("new.txt"), L("n")), 0);
  EXPECT_EQ(Read("new.txt"), "n=2");
}

TEST_F(ScriptTest, AssignmentTexts) {
  EXPECT_EQ(S(ExprAssignText(L("x$"), L("ab"))), "x$='ab'");
  EXPECT_EQ(S(ExprAssignText(L("x$"), L("it's"))), "x$=\"it's\"");
  EXPECT_EQ(S(ExprAssignText(L("n"), L(""))), "n=0");
  EXPECT_EQ(S(ExprAssignText(L("n#"), L("1.5"))), "n#=1.5");
  EXPECT_EQ(StrError(ExprAssignText(L(""), L("1"))), kErrData);

  EXPECT_EQ(VarAssignText(L("n"), L(" 12.5x"), 0), 0);
  EXPECT_EQ(Num("n"), 1300);
  EXPECT_EQ(VarAssignText(L("t$"), L("hello"), 1), 0);
  EXPECT_EQ(Text("t$"), "hello");
  ASSERT_EQ(Eval("v(3)"), 0);  // declares the array
  EXPECT_EQ(VarAssignText(L("v(2)"), L("7"), 0), 0);
  EXPECT_EQ(Num("v(2)"), 700);
  EXPECT_EQ(VarAssignText(L("x@"), L("1"), 0), kErrTypeMismatch);
}

}  // namespace
