#include "runtime/path.h"

#include <sys/stat.h>

#include <string>

#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

using PathTest = InTempDir<RuntimeTest>;

TEST_F(PathTest, PartsOfAPath) {
  struct Case {
    const char* path;
    u16 parts;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\a\\b\\f.txt", 1, "C:"},
      {"C:\\a\\b\\f.txt", 2, "\\a\\b"},
      {"C:\\a\\b\\f.txt", 3, "C:\\a\\b"},
      {"C:\\a\\b\\f.txt", 4, "f"},
      {"C:\\a\\b\\f.txt", 6, "\\a\\b\\f"},
      {"C:\\a\\b\\f.txt", 7, "C:\\a\\b\\f"},
      {"C:\\a\\b\\f.txt", 8, "txt"},
      {"C:\\a\\b\\f.txt", 15, "C:\\a\\b\\f.txt"},
      {"f.txt", 3, ""},
      {"f.txt", 7, "f"},
      {"f.txt", 8, "txt"},
      {"C:f.txt", 5, "C:f"},
      {"C:f.txt", 2, ""},
      {"C:\\a.b\\f", 8, ""},
      {"C:\\a.b\\f", 15, "C:\\a.b\\f"},
      {"a\\b\\", 3, "a\\b"},
      {"a\\b\\", 4, ""},
      {"a.tar.gz", 7, "a.tar"},
      {"name.", 15, "name"},
      // Linux paths in library form are absolute from the root.
      {"\\home\\ana\\site\\tree.txt", 3, "\\home\\ana\\site"},
      {"\\home\\ana\\site\\tree.txt", 6, "\\home\\ana\\site\\tree"},
      // A file at the root keeps its root as folder.
      {"\\tree.txt", 3, "\\"},
      {"\\tree.txt", 7, "\\tree"},
      {"C:\\f.txt", 3, "C:\\"},
      {"C:\\f.txt", 7, "C:\\f"},
      {"", 15, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(S(PathPart(L(c.path), c.parts)), c.expected) << c.path << " / " << c.parts;
  }
}

TEST_F(PathTest, JoinAndExtension) {
  EXPECT_EQ(S(PathJoin(L("C:\\a\\"), L("\\b"))), "C:\\a\\\\b");
  EXPECT_EQ(S(PathJoin(L("C:\\a"), L("b"))), "C:\\a\\b");
  EXPECT_EQ(S(PathJoin(L(""), L("b"))), "b");
  EXPECT_EQ(S(PathJoin(L("a"), L(""))), "a");
  EXPECT_EQ(S(PathJoin(L("a/b"), L("c/d"))), "a\\b\\c\\d");
  EXPECT_EQ(S(PathToNative(L("/x/y\\z"))), "\\x\\y\\z");
  EXPECT_EQ(S(PathAddExt(L("f"), L("txt"))), "f.txt");
  EXPECT_EQ(S(PathAddExt(L("f"), L(""))), "f");
  EXPECT_EQ(S(PathAddExt(L(""), L("txt"))), "txt");
  EXPECT_EQ(StrError(PathJoin(StrErrorSlice(145), L("b"))), 145);
}

TEST_F(PathTest, CombineClimbsLeadingDotDots) {
  EXPECT_EQ(S(PathCombine(L("C:\\a\\b"), L("..\\..\\x\\y.txt"))), "C:\\x\\y.txt");
  EXPECT_EQ(S(PathCombine(L("C:\\a"), L(".\\y"))), "C:\\a\\y");
  EXPECT_EQ(S(PathCombine(L("C:\\a\\b"), L(".."))), "C:\\a");
  EXPECT_EQ(S(PathCombine(L("C:\\a\\b"), L("../x"))), "C:\\a\\x");
  // "." stops the climb; a later ".." stays.
  EXPECT_EQ(S(PathCombine(L("C:\\a\\b"), L(".\\..\\x"))), "C:\\a\\b\\..\\x");
  EXPECT_EQ(S(PathCombine(L("C:\\a"), L("x\\.\\.\\y"))), "C:\\a\\x\\y");
  // Climbing past the root stays at the root.
  EXPECT_EQ(S(PathCombine(L("\\home\\ana"), L("..\\..\\..\\x"))), "\\x");
  EXPECT_EQ(S(PathCombine(L("a"), L("..\\x"))), "x");
  EXPECT_EQ(S(PathCombine(L("C:\\a"), L(""))), "C:\\a");
  EXPECT_EQ(S(PathCombine(L("C:\\a\\b"), L("..x"))), "C:\\a\\b\\..x");
}

TEST_F(PathTest, ResolveKeepsRootedPaths) {
  EXPECT_EQ(S(PathResolve(L("\\home\\ana"), L("/etc/x"))), "\\etc\\x");
  EXPECT_EQ(S(PathResolve(L("/home/ana"), L("site/t.txt"))), "\\home\\ana\\site\\t.txt");
  EXPECT_EQ(S(PathResolve(L("/home/ana"), L("../bo"))), "\\home\\bo");
  EXPECT_EQ(S(PathResolve(L("C:\\a"), L("D:x"))), "C:\\a\\D:x");  // a drive is not a root
}

TEST_F(PathTest, LanguageFileNames) {
  EXPECT_EQ(S(LangFileName(L("C:\\s\\tree.txt"), 2)), "C:\\s\\tree_es.txt");
  EXPECT_EQ(S(LangFileName(L("a.b.c"), 1)), "a_en.b.c");
  EXPECT_EQ(S(LangFileName(L("page"), 3)), "page_fr");
  EXPECT_EQ(S(LangFileName(L("\\srv\\v1.2\\page"), 5)), "\\srv\\v1.2\\page_it");
  EXPECT_EQ(S(LangFileName(L("page.html"), 0)), "page.html");
  EXPECT_EQ(S(LangFileName(L("page.html"), 6)), "page.html");
  // The current language comes from the identity's language code.
  EXPECT_EQ(LangIndex(), 0);
  EXPECT_EQ(S(LangFileName(L("p.html"), kLangCurrent)), "p.html");
  ASSERT_EQ(StoreSet(kGroupIdentity, 4, L("DE")), 0);
  EXPECT_EQ(LangIndex(), 4);
  EXPECT_EQ(S(LangFileName(L("p.tar.gz"), kLangCurrent)), "p_de.tar.gz");
  ASSERT_EQ(StoreSet(kGroupIdentity, 4, L("de")), 0);
  EXPECT_EQ(LangIndex(), 0);
}

TEST_F(PathTest, SearchTriesTheNameThenEachFolder) {
  ASSERT_EQ(mkdir(Sys("one").c_str(), 0777), 0);
  ASSERT_EQ(mkdir(Sys("two").c_str(), 0777), 0);
  Write("two/x.txt", "");
  std::string folders = Lib("one") + "," + Lib("two");
  WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(S(PathSearch(Sl(folders), L("x.txt"))), Lib("two/x.txt"));
  EXPECT_EQ(WorkMark(kMarkQuery), mark + 1);  // just the result
  EXPECT_EQ(S(PathSearch(L(""), L("x.txt"))), "");
  std::string direct = Lib("two/x.txt");
  EXPECT_EQ(S(PathSearch(L(""), Sl(direct))), direct);
  EXPECT_EQ(S(PathSearch(Sl(folders), L("y.txt"))), "");
}

}  // namespace
