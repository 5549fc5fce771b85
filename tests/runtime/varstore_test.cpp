#include "runtime/varstore.h"

#include <string>

#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

std::string Tag(u16 g, u16 i) { return "group" + std::to_string(g) + "-" + std::to_string(i); }

struct StoreTest : RuntimeTest {
  // Two distinct texts in every group but skip.
  void FillOthers(u16 skip) {
    for (u16 g = 0; g < kStoreGroups; ++g) {
      for (u16 i = 0; i < 2 && g != skip; ++i) ASSERT_EQ(StorePush(g, L(Tag(g, i).c_str())), 0);
    }
  }
  void ExpectOthers(u16 skip) {
    for (u16 g = 0; g < kStoreGroups; ++g) {
      if (g == skip) continue;
      ASSERT_EQ(StoreCount(g), 2) << "group " << g;
      for (u16 i = 0; i < 2; ++i) EXPECT_EQ(S(StoreGet(g, i)), Tag(g, i));
    }
  }
};

TEST_F(StoreTest, SetIntoOneGroupLeavesEveryOtherGroupIntact) {
  for (u16 g : {u16{0}, u16{kGroupStrVars}, u16{38}}) {
    ASSERT_EQ(MemShutdown(), 0);
    ASSERT_EQ(MemInit(), 0);
    FillOthers(g);
    ASSERT_EQ(StoreSet(g, 5, L("x")), 0);
    EXPECT_EQ(StoreCount(g), 6);
    for (u16 i = 0; i < 5; ++i) EXPECT_EQ(S(StoreGet(g, i)), "");
    ExpectOthers(g);
    // A longer, then a shorter text moves every later text.
    ASSERT_EQ(StoreSet(g, 2, L("a much longer text than before")), 0);
    ExpectOthers(g);
    ASSERT_EQ(StoreSet(g, 2, L("s")), 0);
    EXPECT_EQ(S(StoreGet(g, 2)), "s");
    EXPECT_EQ(S(StoreGet(g, 5)), "x");
    ExpectOthers(g);
  }
}

TEST_F(StoreTest, TextTakenFromTheStoreIsCopiedBeforeAnythingMoves) {
  ASSERT_EQ(StorePush(20, L("tail text after group 3")), 0);
  ASSERT_EQ(StorePush(3, L("abc")), 0);
  ASSERT_EQ(StoreSet(3, 4, StoreGet(20, 0)), 0);  // the heap moves under the source
  ASSERT_EQ(StoreSet(3, 0, StoreGet(3, 0)), 0);
  ASSERT_EQ(StoreSet(20, 0, StoreGet(3, 4)), 0);
  EXPECT_EQ(S(StoreGet(3, 0)), "abc");
  EXPECT_EQ(S(StoreGet(3, 4)), "tail text after group 3");
  EXPECT_EQ(S(StoreGet(20, 0)), "tail text after group 3");
}

TEST_F(StoreTest, StacksAndQueues) {
  for (u16 g : {u16{36}, u16{37}}) {
    ASSERT_EQ(StorePush(g, L("a")), 0);
    ASSERT_EQ(StorePush(g, L("b")), 0);
  }
  EXPECT_EQ(S(StoreTop(37)), "a");
  EXPECT_EQ(S(StoreTop(36)), "b");
  EXPECT_EQ(StorePop(37), 0);
  EXPECT_EQ(StorePop(36), 0);
  EXPECT_EQ(S(StoreGet(37, 0)), "b");  // the queue's later entries moved down
  EXPECT_EQ(S(StoreTop(36)), "a");

  const StrSlice v = StorePopValue(37);
  ASSERT_EQ(StorePush(37, L("overwrites the old heap bytes")), 0);
  EXPECT_EQ(S(v), "b");
  EXPECT_EQ(StoreCount(37), 1);

  EXPECT_EQ(S(StoreTop(10)), "");
  EXPECT_EQ(StorePop(10), 0);

  for (const char* t : {"1", "2", "3", "4", "5"}) ASSERT_EQ(StorePush(30, L(t)), 0);
  EXPECT_EQ(StoreTrim(30, 2), 0);
  EXPECT_EQ(S(StoreTop(30)), "2");
  ASSERT_EQ(StorePush(35, L("x")), 0);
  ASSERT_EQ(StorePush(38, L("q")), 0);
  ASSERT_EQ(StorePush(29, L("not push-only")), 0);
  EXPECT_EQ(StoreCount(kStorePushOnlyCount), 2 + 1 + 1 + 1 + 1);  // groups 30, 35, 36, 37, 38
}

TEST_F(StoreTest, DeleteClosesTheGapAndIgnoresAbsentEntries) {
  FillOthers(kGroupRun);
  for (u16 i = 0; i < 11; ++i) ASSERT_EQ(StoreSet(kGroupRun, i, L(std::to_string(i).c_str())), 0);
  EXPECT_EQ(StoreDelete(kGroupRun, 9), 0);
  EXPECT_EQ(StoreCount(kGroupRun), 10);
  EXPECT_EQ(S(StoreGet(kGroupRun, 9)), "10");
  ExpectOthers(kGroupRun);

  EXPECT_EQ(StoreDelete(kGroupRun, 10), 0);
  EXPECT_EQ(StoreDelete(kGroupRun, 500), 0);
  EXPECT_EQ(StoreCount(kGroupRun), 10);
  ExpectOthers(kGroupRun);
}

TEST_F(StoreTest, CapacityIsStrict) {
  const std::string big(61361, 'x');
  EXPECT_EQ(StoreSet(4, 0, StrMake(big.data(), 61361)), kErrStrOutBound);
  EXPECT_EQ(StoreCount(4), 0);
  EXPECT_EQ(ErrGet(), kErrLoadStr + (u32{kWhereVarAssign} << 16));
  ASSERT_EQ(StoreSet(4, 0, StrMake(big.data(), 61360)), 0);
  EXPECT_EQ(StorePush(5, L("z")), kErrStrOutBound);
  ASSERT_EQ(StoreSet(4, 0, StrMake(big.data(), 61359)), 0);
  EXPECT_EQ(StorePush(5, L("z")), 0);
  ASSERT_EQ(StoreSet(4, 0, L("")), 0);

  EXPECT_EQ(StoreSet(0, 2047, L("")), kErrStrOutBound);  // would use 2048 + the two above
  ASSERT_EQ(StoreSet(0, 2044, L("last")), 0);            // 2047 in use
  EXPECT_EQ(StorePush(38, L("")), kErrStrOutBound);
  EXPECT_EQ(S(StoreGet(0, 2044)), "last");
}

TEST_F(StoreTest, OutOfRangeAndErrorTexts) {
  EXPECT_EQ(StoreSet(39, 0, L("x")), kErrStrOutBound);
  EXPECT_EQ(ErrGet(), kErrStrOutBound + (u32{kWhereVarIndex} << 16));
  EXPECT_EQ(S(StoreGet(39, 0)), "");
  EXPECT_EQ(StorePop(50), 0);
  EXPECT_EQ(StoreSet(2, 0, StrErrorSlice(kErrFileNotFound)), kErrFileNotFound);
  EXPECT_EQ(StoreCount(2), 0);
}

using VarStoreLayout = MemManualStartTest;

TEST_F(VarStoreLayout, UnusableLayoutRefusesEverySet) {
  StoreSetLayout(kStoreGroups, 40000, 65535);
  EXPECT_EQ(MemInit(), kErrStrOutBound);
  EXPECT_EQ(ErrGet(), kErrStrOutBound + (u32{kWhereMemStart} << 16));
  EXPECT_EQ(StoreSet(0, 0, L("x")), kErrStrOutBound);
  EXPECT_EQ(StorePush(38, L("x")), kErrStrOutBound);
  EXPECT_EQ(S(StoreGet(0, 0)), "");
  EXPECT_EQ(StoreCount(0), 0);
  EXPECT_EQ(MemShutdown(), 0);
}

TEST_F(VarStoreLayout, StoreIsNotReadAfterShutdown) {
  ASSERT_EQ(MemInit(), 0);
  ASSERT_EQ(StorePush(1, L("x")), 0);
  ASSERT_EQ(MemShutdown(), 0);
  EXPECT_EQ(S(StoreGet(1, 0)), "");
  EXPECT_EQ(StoreCount(1), 0);
}

}  // namespace
