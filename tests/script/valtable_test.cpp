#include "script/valtable.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/memory.h"
#include "interp_fixture.h"

using namespace vk;

namespace {

using ValTabTest = ValTabLibTest;

u16 At16(u16 n, u16 i) {
  u16 v;
  std::memcpy(&v, ValTabAt(n, i), sizeof v);
  return v;
}

}  // namespace

TEST_F(ValTabTest, GrowingZeroFillsAndKeepsElements) {
  for (u16 i = 0; i < 10; ++i) {
    const u16 v = static_cast<u16>(100 + i);
    ASSERT_NE(ValTabPut(5, i, &v, 2), nullptr);
  }
  const u16 v = 0xBEEF;
  u8* p = ValTabPut(5, 40, &v, 2);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p, ValTabAt(5, 40));
  EXPECT_EQ(ValTabInfo(5, kValTabCount), 41);
  EXPECT_EQ(ValTabInfo(5, kValTabSize), 2);
  for (u16 i = 0; i < 10; ++i) EXPECT_EQ(At16(5, i), 100 + i);
  for (u16 i = 10; i < 40; ++i) EXPECT_EQ(At16(5, i), 0) << i;
  EXPECT_EQ(At16(5, 40), 0xBEEF);
  EXPECT_EQ(ValTabAt(5, 41), nullptr);
  // Shrinking loses the elements beyond the new count.
  ValTab* t = *ValTabSlot(5);
  ASSERT_EQ(ValTabResize(t, 5), 0);
  EXPECT_EQ(ValTabInfo(5, kValTabCount), 5);
  EXPECT_EQ(At16(5, 4), 104);
  EXPECT_EQ(ValTabResize(t, 40000), kErrStringTooLong);
  EXPECT_EQ(ValTabInfo(5, kValTabCount), 5);
}

TEST_F(ValTabTest, StoreFromTheTableItselfSurvivesGrowth) {
  const char rec[4] = {'a', 'b', 'c', 'd'};
  ASSERT_NE(ValTabPut(3, 0, rec, 4), nullptr);
  // The source lies in the block that growing replaces.
  u8* p = ValTabPut(3, 500, ValTabAt(3, 0), 4);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(p, "abcd", 4), 0);
}

TEST_F(ValTabTest, SizeMismatchAndOutOfModelRequestsChangeNothing) {
  const u16 v = 7;
  ASSERT_NE(ValTabPut(4, 2, &v, 2), nullptr);
  const u32 wide = 9;
  EXPECT_EQ(ValTabPut(4, 1, &wide, 4), nullptr);
  EXPECT_EQ(ValTabPut(4, 9, &wide, 4), nullptr);
  EXPECT_EQ(ValTabInfo(4, kValTabCount), 3);
  EXPECT_EQ(ValTabInfo(4, kValTabSize), 2);
  EXPECT_EQ(At16(4, 2), 7);

  EXPECT_EQ(ValTabPut(kValTabSlots, 0, &v, 2), nullptr);
  EXPECT_EQ(ValTabPut(4, 0xFFFF, &v, 2), nullptr);
  EXPECT_EQ(ValTabPut(4, 0, &v, 0), nullptr);
  // 8-byte elements: 8191 fit in 65535 bytes, 8192 do not.
  const u64 big = 1;
  EXPECT_NE(ValTabPut(10, 8190, &big, 8), nullptr);
  EXPECT_EQ(ValTabPut(10, 8191, &big, 8), nullptr);
  EXPECT_EQ(ValTabInfo(10, kValTabCount), 8191);
}

TEST_F(ValTabTest, FreeingASlotAndFreeingAllReleaseEveryBlock) {
  const u64 node = 42;
  ASSERT_NE(ValTabPut(9, 3, &node, 8), nullptr);
  ValTabFreeSlot(9);
  ValTabFreeSlot(9);  // an empty slot is left alone
  EXPECT_EQ(ValTabInfo(9, kValTabCount), 0);
  EXPECT_EQ(ValTabAt(9, 0), nullptr);
  // The next store creates the table afresh, with any element size.
  const u32 small = 1;
  ASSERT_NE(ValTabPut(9, 0, &small, 4), nullptr);
  EXPECT_EQ(ValTabInfo(9, kValTabSize), 4);

  SysVarSet(50, 1);
  EXPECT_EQ(NumVarSet(3, INT64_MIN), INT64_MIN);
  EXPECT_EQ(NumVarGet(3), INT64_MIN);
  ValTabFreeAll();
  EXPECT_EQ(ValTabSlot(0), nullptr);
  EXPECT_EQ(SysVarGet(50), 0);
  EXPECT_EQ(MemShutdown(), 0);  // no value-table block was left behind
}

TEST_F(ValTabTest, SystemVariablesKeepTheLow16Bits) {
  EXPECT_EQ(SysVarSet(5, 70000), 4464);
  EXPECT_EQ(SysVarGet(5), 4464);
  EXPECT_EQ(SysVarSet(6, 40000), -25536);
  EXPECT_EQ(SysVarGet(6), -25536);
  EXPECT_EQ(SysVarSet(8, INT64_MIN + 3), 3);
  EXPECT_EQ(SysVarGet(500), 0);
  EXPECT_EQ(ValTabInfo(kTabInts, kValTabCount), 9);  // grown up to element 8
}

TEST_F(ValTabTest, SysVarFlagsSetsClearsAndTests) {
  SysVarSet(kSysAuxstat, 0);
  EXPECT_TRUE(SysVarFlags(kSysAuxstat, kAuxRunFlag, 1));
  EXPECT_EQ(SysVarGet(kSysAuxstat), 0x4000);
  EXPECT_TRUE(SysVarFlags(kSysAuxstat, kAuxNoWildcard, 1));
  EXPECT_TRUE(SysVarTest(kSysAuxstat, kAuxNoWildcard | kAuxEmptyDate));
  EXPECT_FALSE(SysVarTest(kSysAuxstat, kAuxEmptyDate));
  EXPECT_FALSE(SysVarFlags(kSysAuxstat, kAuxRunFlag, 0));
  EXPECT_EQ(SysVarGet(kSysAuxstat), 0x0080);
}

