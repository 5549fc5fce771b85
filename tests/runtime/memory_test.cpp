#include <cstring>
#include <string>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

constexpr u16 kFirstFreeSlot = 4;  // after the library block, scratch area, marks, store

u16 InUse() { return MemCount(0, kNotFound, kCountInUse, nullptr); }

// These tests leave blocks in use on purpose, and nothing else holds them:
// the end releases every block, whatever the shut-down answered.
struct MemoryTest : RuntimeTest {
  void TearDown() override {
    RuntimeTest::TearDown();
    if (MemIsInit()) (void)MemRelease(true);
    LibLimitsReset();
  }
};

}  // namespace

TEST_F(MemoryTest, StartFixesTheFirstSlots) {
  MemControl c;
  MemGetStatus(&c);
  EXPECT_EQ(c.table_size, kDefaultTableEntries);
  EXPECT_EQ(c.table[0].owner, kOwnerLibrary);
  EXPECT_EQ(c.table[0].size, kLibraryBlockSize);
  EXPECT_EQ(c.table[0].block, c.library_block);
  EXPECT_EQ(c.work.area_handle, 1);
  EXPECT_EQ(c.work.marks_handle, 2);
  EXPECT_EQ(c.table[3].owner, kOwnerVarStore);
  EXPECT_EQ(c.table[3].block, StoreBlock());
  EXPECT_EQ(MemInit(), kWarnUndefined);  // already running: nothing changes
  EXPECT_EQ(InUse(), kFirstFreeSlot);
  MemSetLimits(16, kKeepLimit, 8);  // too late to matter
  EXPECT_EQ(MemControlGet()->entries, kDefaultTableEntries);
}

TEST_F(MemoryTest, AllocZeroFillsGuardsAndReusesLowestSlot) {
  auto* p = static_cast<u8*>(MemAlloc(20, 6));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::memcmp(p, "\0\0\0\0\0\0\x00\x21\x21\x00", 10), 0);
  EXPECT_EQ(MemFindHandle(p), kFirstFreeSlot);
  void* held[kDefaultTableEntries];
  u16 n = 0;
  while ((held[n] = MemAlloc(12, 1)) != nullptr) ++n;
  EXPECT_EQ(n, kDefaultTableEntries - kFirstFreeSlot - 1);  // then the table is full
  EXPECT_EQ(MemFree(12, held[3]), 0);
  EXPECT_EQ(MemFindHandle(MemAlloc(12, 1)), kFirstFreeSlot + 4);
  EXPECT_EQ(MemFree(20, p), 0);
  EXPECT_EQ(MemFree(20, p), kErrMemoryAlloc);        // already freed
  EXPECT_EQ(MemFree(20, nullptr), kErrMemoryAlloc);  // free slots hold null
  u8 local[4];
  EXPECT_EQ(MemFree(20, local), kErrMemoryAlloc);
}

TEST_F(MemoryTest, DamagedGuardOrWrongOwnerKeepsTheBlock) {
  auto* p = static_cast<u8*>(MemAlloc(kOwnerValueTables, 8));
  ASSERT_NE(p, nullptr);
  u16 used = InUse();
  EXPECT_EQ(MemFree(kOwnerSortedList, p), kErrInternal);
  EXPECT_EQ(InUse(), used);
  p[8] = 'X';  // one byte past the payload
  EXPECT_EQ(MemFree(kOwnerValueTables, p), kErrMemoryOverflow);
  EXPECT_EQ(InUse(), used);
  EXPECT_EQ(MemFindHandle(p), kFirstFreeSlot);
  p[8] = 0;
  EXPECT_EQ(MemFree(kOwnerValueTables, p), 0);
  EXPECT_EQ(InUse(), used - 1);
}

TEST_F(MemoryTest, ReallocCopiesOrLeavesTheOldBlock) {
  auto* p = static_cast<char*>(MemRealloc(15, nullptr, 0, 4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abcd", 4);
  auto* q = static_cast<char*>(MemRealloc(15, p, 4, 100000));  // past 16 bits
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(std::string(q, 4), "abcd");
  EXPECT_EQ(MemFindHandle(p == q ? nullptr : p), kNotFound);
  u16 used = InUse();
  EXPECT_EQ(MemRealloc(15, q, 100000, 10), nullptr);  // copy does not fit
  EXPECT_EQ(MemRealloc(15, q, 100001, 200000), nullptr);  // reads past q
  EXPECT_EQ(InUse(), used);
  EXPECT_EQ(std::string(q, 4), "abcd");
}

TEST_F(MemoryTest, WritesStayInsideTheirBlock) {
  auto* p = static_cast<u8*>(MemAlloc(10, 70000));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(MemBlockWrite(10, p, 69996, "wxyz", 4), 0);
  EXPECT_EQ(std::memcmp(p + 69996, "wxyz", 4), 0);
  EXPECT_EQ(MemBlockWrite(10, p, 69997, "wxyz", 4), kErrDataOutBound);
  EXPECT_EQ(MemBlockWrite(10, p + 1, 0, "w", 1), kErrDataOutBound);
  char buf[8] = "abcdefg";
  EXPECT_EQ(MemWriteAt(buf, 6, 4, "XYZ", 3), 0);
  EXPECT_STREQ(buf, "abcdXYg");  // cut at the capacity
  EXPECT_EQ(MemWriteAt(buf, 6, 7, "Q", 1), kErrDataOutBound);
  EXPECT_EQ(MemWriteAt(buf, 7, 1, buf, 5), 0);  // overlapping move
  EXPECT_STREQ(buf, "aabcdXg");
}

TEST_F(MemoryTest, ShutdownReleasesEverythingWhenOnlyTheStoreIsLeft) {
  void* p = MemAlloc(kOwnerValueTables, 16);
  EXPECT_EQ(MemFree(kOwnerValueTables, p), 0);
  EXPECT_EQ(MemShutdown(), 0);
  EXPECT_FALSE(MemIsInit());
  EXPECT_EQ(WorkTop().ptr, nullptr);
  EXPECT_EQ(MemAlloc(1, 1), nullptr);
}

// A block still in use keeps every block allocated, whatever its owner.
TEST_F(MemoryTest, ShutdownWithABlockInUseFreesNothing) {
  ASSERT_EQ(WorkPush("kept", 4), 0);
  for (u16 owner : {u16{kOwnerValueTables}, u16{kOwnerFileDialog}, u16{kOwnerVarStore}}) {
    auto* p = static_cast<char*>(MemAlloc(owner, 8));
    std::memcpy(p, "payload", 8);
    u16 used = InUse();
    u16 expected = owner == kOwnerFileDialog ? u16{kErrMemoryLeaks} : owner;
    EXPECT_EQ(MemShutdown(), expected) << owner;
    ASSERT_TRUE(MemIsInit());
    EXPECT_EQ(InUse(), used);
    EXPECT_STREQ(p, "payload");
    EXPECT_EQ(S(WorkTop()), "kept");
    EXPECT_EQ(MemFree(owner, p), 0);
  }
  EXPECT_EQ(MemShutdown(), 0);
}

TEST_F(MemoryTest, GrowableBufferAppendsWithinCapacity) {
  MemBuf b = MemBufNew(12, 10);
  ASSERT_EQ(b.error, 0);
  EXPECT_EQ(MemBufAppend(12, &b, "abc", 3, false), b.data);
  EXPECT_EQ(MemBufAppend(12, &b, "de", 2, true), b.data + 4);
  EXPECT_EQ(b.len, 6);
  EXPECT_EQ(MemBufAppend(12, &b, nullptr, 5, false), nullptr);  // reserve past capacity
  EXPECT_EQ(b.error, kErrDataOutBound);
  EXPECT_EQ(b.len, 6);
  EXPECT_EQ(MemBufAppend(12, &b, "x", 1, false), nullptr);  // error kept

  MemBuf grown = MemBufNewCopy(12, 20, b);
  ASSERT_EQ(grown.error, 0);
  EXPECT_EQ(std::memcmp(grown.data, "abc\0de", 6), 0);
  EXPECT_EQ(MemFindHandle(b.data == grown.data ? nullptr : b.data), kNotFound);
  MemBuf refused = MemBufNewCopy(12, 4, grown);  // the content does not fit
  EXPECT_EQ(refused.error, kErrOutOfMemory);
  EXPECT_EQ(refused.data, grown.data);
  EXPECT_EQ(refused.capacity, 20);

  MemBuf full = MemBufNew(12, 65535);
  ASSERT_NE(MemBufAppend(12, &full, nullptr, 65533, false), nullptr);
  EXPECT_EQ(MemBufAppend(12, &full, nullptr, 1, true), nullptr);  // 65536 + 1
  EXPECT_EQ(full.error, kErrStringTooLong);
}

TEST_F(MemoryTest, StickyBufferPutsAndKeepsItsError) {
  MemBufB b = MemBufInit(10, 8);
  ASSERT_EQ(b.error, 0);
  EXPECT_EQ(S(MemBufPut(&b, "abc", 3, kNotFound)), "abc");
  EXPECT_EQ(S(MemBufPut(&b, "Z", 1, 1)), "Z");
  EXPECT_EQ(S(MemBufPut(&b, "de", 2, kNotFound)), "de");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data), b.len), "aZcde");
  StrSlice r = MemBufPut(&b, "fghi", 4, kNotFound);
  EXPECT_EQ(b.error, kErrStrConcat);
  EXPECT_NE(r.ptr, nullptr);
  EXPECT_EQ(r.len, 0);
  EXPECT_EQ(MemBufPut(&b, "f", 1, kNotFound).len, 0);  // would fit, but no
  EXPECT_EQ(b.len, 5);
  EXPECT_EQ(MemBufFree(10, &b), 0);
  MemBufB far = MemBufInit(10, 100);
  MemBufPut(&far, "x", 1000, 65000);  // the end is not taken modulo 65536
  EXPECT_EQ(far.error, kErrStrConcat);
}
