#include "runtime/linelist.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

using Lines = std::vector<std::string>;

struct LineListTest : InTempDir<RuntimeTest> {
  static Lines Group(u16 g) {
    Lines out;
    for (u16 i = 0; i < StoreCount(g); ++i) out.push_back(S(StoreGet(g, i)));
    return out;
  }
};

TEST_F(LineListTest, LayoutsSelectKeysAndPayloads) {
  Write("l0", "first\r\n\r\nthird");
  EXPECT_EQ(LineListLoadInto(L("l0"), 0, 0, 20), 3);
  EXPECT_EQ(Group(20), (Lines{"first", "", "third"}));
  // Blanks in the key read as zeros; a line shorter than its key columns
  // has a shorter key.
  Write("l3", "0012 a\n0013 b\n  12 c\n12\n");
  EXPECT_EQ(LineListLoadInto(L("l3"), 3, 12, 21), 3);
  EXPECT_EQ(Group(21), (Lines{"a", "c", ""}));
  Write("l6", "00007xyz\n00008no\n");
  EXPECT_EQ(LineListLoadInto(L("l6"), 6, 7, 22), 1);
  EXPECT_EQ(Group(22), (Lines{"00007xyz"}));
  Write("l2", "[05abc]\n[05]\n[06x]\n");
  EXPECT_EQ(LineListLoad(L("l2"), 2, 5), 2);
  EXPECT_EQ(Group(kGroupLineQueue), (Lines{"abc", ""}));
  EXPECT_EQ(LineKeyValue(9, L("0042 x")), 0);  // any other layout is layout 0
}

TEST_F(LineListTest, NothingLoadedIsReportedAndRecordsNothing) {
  Write("keys", "0001 a\n");
  EXPECT_EQ(LineListLoad(L(""), 0, 0), kLineLoadFailed);
  EXPECT_EQ(LineListLoad(L("absent.txt"), 0, 0), kLineLoadFailed);
  EXPECT_EQ(LineListLoad(L("keys"), 3, 2), kLineLoadFailed);
  EXPECT_EQ(StoreCount(kGroupLineQueue), 0);
  EXPECT_EQ(ErrGet(), 0u);
}

TEST_F(LineListTest, BareNameIsSearchedInTheDefaultFolders) {
  ASSERT_EQ(mkdir("two", 0700), 0);
  Write("two/only.txt", "from two\n");
  const std::string base = Lib();
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdDefaultFolder, L((base + "\\one," + base + "\\two").c_str())), 0);
  EXPECT_EQ(LineListLoad(L("only.txt"), 0, 0), 1);
  EXPECT_EQ(Group(kGroupLineQueue), (Lines{"from two"}));
  EXPECT_EQ(LineListLoad(L("x\\only.txt"), 0, 0), kLineLoadFailed);  // has a folder
}

TEST_F(LineListTest, FailedLoadLeavesTheGroupAsItWas) {
  ASSERT_EQ(StorePush(kGroupLineQueue, L("kept")), 0);
  ASSERT_EQ(StorePush(22, L("below")), 0);
  // Fill the store so that only five of the file's twenty lines still fit.
  std::string filler(61360 - 9 - 5 * 100, 'f');
  ASSERT_EQ(StoreSet(10, 0, L(filler.c_str())), 0);
  std::string body;
  for (int i = 0; i < 20; ++i) body += std::string(100, static_cast<char>('a' + i)) + "\n";
  Write("big", body);
  EXPECT_EQ(LineListLoad(L("big"), 0, 0), kLineLoadFailed);
  EXPECT_EQ(LineListLoadInto(L("big"), 0, 0, 22), kLineLoadFailed);
  EXPECT_EQ(ParamListLoad(L("big"), 0, 0), kLineLoadFailed);
  EXPECT_EQ(Group(kGroupLineQueue), (Lines{"kept"}));
  EXPECT_EQ(Group(22), (Lines{"below"}));
  EXPECT_EQ(StoreCount(kGroupParamLists), 0);
}

TEST_F(LineListTest, ParameterListsPushedLookedUpAndPopped) {
  Write("users", "USER=ann\nROLE:admin\nNAME='Ann Lee'\n");
  ASSERT_EQ(ParamListLoad(L("users"), 0, 0), 0);
  EXPECT_EQ(S(StoreTop(kGroupParamLists)), "USER=ann:ROLE:admin:NAME='Ann Lee'");
  EXPECT_EQ(StoreCount(kGroupLineQueue), 0);
  EXPECT_EQ(S(ParamListLookup(L("ROLE"))), "ADMIN");
  EXPECT_EQ(S(ParamListLookup(L("USER"))), "ANN");
  EXPECT_EQ(S(ParamListLookup(L("NAME"))), "Ann Lee");
  EXPECT_EQ(S(ParamListLookup(L("role"))), "");

  // A second list hides the first until it is popped.
  Write("page_es.txt", "index=Inicio\nmap=Mapa\n");
  ASSERT_EQ(ParamListLoadSep(L("page_es.txt"), 0, 0, L("&")), 0);
  EXPECT_EQ(S(StoreTop(kGroupParamLists)), "index=Inicio&map=Mapa");
  EXPECT_EQ(S(ParamListLookup(L("USER"))), "");
  EXPECT_EQ(ParamListPop(), 0);
  EXPECT_EQ(S(ParamListLookup(L("USER"))), "ANN");
}

TEST_F(LineListTest, FileKindNames) {
  EXPECT_EQ(S(FileKindName(L("menu"), 8)), "menu.KLA");
  EXPECT_EQ(S(FileKindName(L(""), 11)), "TXT");
  EXPECT_EQ(S(FileKindName(L("a"), 5)), "a.DAT");
  EXPECT_EQ(S(FileKindName(L("a"), 15)), "a");
}

}  // namespace
