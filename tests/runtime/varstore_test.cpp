#include "runtime/varstore.h"

#include <string>

#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

std::string Tag(u16 g, u16 i) { return "group" + std::to_string(g) + "-" + std::to_string(i); }

struct VarStoreTest : RuntimeTest {
  // Two distinct texts in every group but skip.
  void FillOthers(u16 skip) {
    for (u16 g = 0; g < kVarGroups; ++g) {
      for (u16 i = 0; i < 2 && g != skip; ++i) ASSERT_EQ(VarPush(g, L(Tag(g, i).c_str())), 0);
    }
  }
  void ExpectOthers(u16 skip) {
    for (u16 g = 0; g < kVarGroups; ++g) {
      if (g == skip) continue;
      ASSERT_EQ(VarCount(g), 2) << "group " << g;
      for (u16 i = 0; i < 2; ++i) EXPECT_EQ(S(VarGet(g, i)), Tag(g, i));
    }
  }
};

TEST_F(VarStoreTest, SetIntoOneGroupLeavesEveryOtherGroupIntact) {
  for (u16 g : {u16{0}, u16{kGroupStrVars}, u16{38}}) {
    ASSERT_EQ(MemShutdown(), 0);
    ASSERT_EQ(MemInit(), 0);
    FillOthers(g);
    ASSERT_EQ(VarSet(g, 5, L("x")), 0);
    EXPECT_EQ(VarCount(g), 6);
    for (u16 i = 0; i < 5; ++i) EXPECT_EQ(S(VarGet(g, i)), "");
    ExpectOthers(g);
    // A longer, then a shorter text moves every later text.
    ASSERT_EQ(VarSet(g, 2, L("a much longer text than before")), 0);
    ExpectOthers(g);
    ASSERT_EQ(VarSet(g, 2, L("s")), 0);
    EXPECT_EQ(S(VarGet(g, 2)), "s");
    EXPECT_EQ(S(VarGet(g, 5)), "x");
    ExpectOthers(g);
  }
}

TEST_F(VarStoreTest, TextTakenFromTheStoreIsCopiedBeforeAnythingMoves) {
  ASSERT_EQ(VarPush(20, L("tail text after group 3")), 0);
  ASSERT_EQ(VarPush(3, L("abc")), 0);
  ASSERT_EQ(VarSet(3, 4, VarGet(20, 0)), 0);  // the heap moves under the source
  ASSERT_EQ(VarSet(3, 0, VarGet(3, 0)), 0);
  ASSERT_EQ(VarSet(20, 0, VarGet(3, 4)), 0);
  EXPECT_EQ(S(VarGet(3, 0)), "abc");
  EXPECT_EQ(S(VarGet(3, 4)), "tail text after group 3");
  EXPECT_EQ(S(VarGet(20, 0)), "tail text after group 3");
}

TEST_F(VarStoreTest, StacksAndQueues) {
  for (u16 g : {u16{36}, u16{37}}) {
    ASSERT_EQ(VarPush(g, L("a")), 0);
    ASSERT_EQ(VarPush(g, L("b")), 0);
  }
  EXPECT_EQ(S(VarTop(37)), "a");
  EXPECT_EQ(S(VarTop(36)), "b");
  EXPECT_EQ(VarPop(37), 0);
  EXPECT_EQ(VarPop(36), 0);
  EXPECT_EQ(S(VarGet(37, 0)), "b");  // the queue's later entries moved down
  EXPECT_EQ(S(VarTop(36)), "a");

  const StrSlice v = VarPopValue(37);
  ASSERT_EQ(VarPush(37, L("overwrites the old heap bytes")), 0);
  EXPECT_EQ(S(v), "b");
  EXPECT_EQ(VarCount(37), 1);

  EXPECT_EQ(S(VarTop(10)), "");
  EXPECT_EQ(VarPop(10), 0);

  for (const char* t : {"1", "2", "3", "4", "5"}) ASSERT_EQ(VarPush(30, L(t)), 0);
  EXPECT_EQ(VarStackTrim(30, 2), 0);
  EXPECT_EQ(S(VarTop(30)), "2");
  ASSERT_EQ(VarPush(35, L("x")), 0);
  ASSERT_EQ(VarPush(38, L("q")), 0);
  ASSERT_EQ(VarPush(29, L("not push-only")), 0);
  EXPECT_EQ(VarCount(kVarPushOnlyCount), 2 + 1 + 1 + 1 + 1);  // groups 30, 35, 36, 37, 38
}

TEST_F(VarStoreTest, DeleteClosesTheGapAndIgnoresAbsentEntries) {
  FillOthers(kGroupRun);
  for (u16 i = 0; i < 11; ++i) ASSERT_EQ(VarSet(kGroupRun, i, L(std::to_string(i).c_str())), 0);
  EXPECT_EQ(VarDelete(kGroupRun, 9), 0);
  EXPECT_EQ(VarCount(kGroupRun), 10);
  EXPECT_EQ(S(VarGet(kGroupRun, 9)), "10");
  ExpectOthers(kGroupRun);

  EXPECT_EQ(VarDelete(kGroupRun, 10), 0);
  EXPECT_EQ(VarDelete(kGroupRun, 500), 0);
  EXPECT_EQ(VarCount(kGroupRun), 10);
  ExpectOthers(kGroupRun);
}

TEST_F(VarStoreTest, CapacityIsStrict) {
  const std::string big(61361, 'x');
  EXPECT_EQ(VarSet(4, 0, StrMake(big.data(), 61361)), kErrStrOutBound);
  EXPECT_EQ(VarCount(4), 0);
  EXPECT_EQ(ErrGet(), kErrLoadStr + (u32{kWhereVarAssign} << 16));
  ASSERT_EQ(VarSet(4, 0, StrMake(big.data(), 61360)), 0);
  EXPECT_EQ(VarPush(5, L("z")), kErrStrOutBound);
  ASSERT_EQ(VarSet(4, 0, StrMake(big.data(), 61359)), 0);
  EXPECT_EQ(VarPush(5, L("z")), 0);
  ASSERT_EQ(VarSet(4, 0, L("")), 0);

  EXPECT_EQ(VarSet(0, 2047, L("")), kErrStrOutBound);  // would use 2048 + the two above
  ASSERT_EQ(VarSet(0, 2044, L("last")), 0);            // 2047 in use
  EXPECT_EQ(VarPush(38, L("")), kErrStrOutBound);
  EXPECT_EQ(S(VarGet(0, 2044)), "last");
}

TEST_F(VarStoreTest, OutOfRangeAndErrorTexts) {
  EXPECT_EQ(VarSet(39, 0, L("x")), kErrStrOutBound);
  EXPECT_EQ(ErrGet(), kErrStrOutBound + (u32{kWhereVarIndex} << 16));
  EXPECT_EQ(S(VarGet(39, 0)), "");
  EXPECT_EQ(VarPop(50), 0);
  EXPECT_EQ(VarSet(2, 0, StrErrorSlice(kErrFileNotFound)), kErrFileNotFound);
  EXPECT_EQ(VarCount(2), 0);
}

using VarStoreLayout = MemManualStartTest;

TEST_F(VarStoreLayout, UnusableLayoutRefusesEverySet) {
  VarStoreSetLayout(kVarGroups, 40000, 65535);
  EXPECT_EQ(MemInit(), kErrStrOutBound);
  EXPECT_EQ(ErrGet(), kErrStrOutBound + (u32{kWhereMemStart} << 16));
  EXPECT_EQ(VarSet(0, 0, L("x")), kErrStrOutBound);
  EXPECT_EQ(VarPush(38, L("x")), kErrStrOutBound);
  EXPECT_EQ(S(VarGet(0, 0)), "");
  EXPECT_EQ(VarCount(0), 0);
  EXPECT_EQ(MemShutdown(), 0);
}

TEST_F(VarStoreLayout, StoreIsNotReadAfterShutdown) {
  ASSERT_EQ(MemInit(), 0);
  ASSERT_EQ(VarPush(1, L("x")), 0);
  ASSERT_EQ(MemShutdown(), 0);
  EXPECT_EQ(S(VarGet(1, 0)), "");
  EXPECT_EQ(VarCount(1), 0);
}

}  // namespace
