#include <cstring>
#include <string>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

struct StackState {
  WorkMarkId current;
  const u8* top;
  u32 room;
  u32 high_bytes;
  u16 high_marks;
  StrSlice newest;
};

StackState Snapshot() {
  MemControl c;
  MemGetStatus(&c);
  return {WorkMark(kMarkQuery), c.work.top, WorkRoomLeft(), c.work.high_bytes, c.work.high_marks, WorkTop()};
}

void ExpectSame(const StackState& a, const StackState& b) {
  EXPECT_EQ(a.current, b.current);
  EXPECT_EQ(a.top, b.top);
  EXPECT_EQ(a.room, b.room);
  EXPECT_EQ(a.high_bytes, b.high_bytes);
  EXPECT_EQ(a.high_marks, b.high_marks);
  EXPECT_EQ(a.newest.ptr, b.newest.ptr);
  EXPECT_EQ(a.newest.len, b.newest.len);
}

// Fills every mark but the last and checks that one more is refused
// without touching the stack.
void ExpectLiveEntryLimit(u16 limit) {
  for (u16 i = 0; i < limit; ++i) ASSERT_NE(WorkAllocRaw(4, 'x'), nullptr) << i;
  EXPECT_EQ(WorkMark(kMarkQuery), limit);
  // The memory-room check reads this: the mark as it stood when the top moved.
  EXPECT_EQ(Snapshot().high_marks, limit - 1);
  StackState before = Snapshot();
  EXPECT_EQ(WorkAllocRaw(4, 'x'), nullptr);
  EXPECT_EQ(WorkPush("ab", 2), kErrOutOfMemory);
  ExpectSame(before, Snapshot());
  WorkMark(0);
  EXPECT_EQ(WorkAllocFill(4, 0), 0);
}

}  // namespace

TEST_F(RuntimeTest, DefaultStackHolds127Entries) {
  MemControl c;
  MemGetStatus(&c);
  EXPECT_EQ(c.work.marks, 128);
  EXPECT_EQ(c.work.area_bytes, 128u * 1024);
  ExpectLiveEntryLimit(127);
}

// Tests that choose the limits before they start the library.
using ScratchLimits = MemManualStartTest;

TEST_F(ScratchLimits, FiveHundredTwelveMarksHold511Entries) {
  MemSetLimits(512, kKeepLimit, kKeepLimit);
  ASSERT_EQ(MemInit(), 0);
  MemControl c;
  MemGetStatus(&c);
  EXPECT_EQ(c.work.marks, 512);
  EXPECT_EQ(c.work.area_bytes, 512u * 1024);
  EXPECT_EQ(c.table_size, 64);
  ExpectLiveEntryLimit(511);
}

TEST_F(ScratchLimits, NoStackBeforeStartIsHarmless) {
  EXPECT_EQ(WorkMark(kMarkQuery), 0);
  EXPECT_EQ(WorkMark(0), 0);
  EXPECT_EQ(WorkTop().ptr, nullptr);
  EXPECT_EQ(WorkAllocRaw(4, kNoFill), nullptr);
  EXPECT_EQ(WorkPush("a", 1), kErrOutOfMemory);
  EXPECT_EQ(WorkRoomLeft(), 0xFFFFu);
}

// The area is 128 KB: a 65535-byte entry takes 65536 bytes (not 0), and an
// entry fits only while its aligned end stays strictly inside the area.
TEST_F(RuntimeTest, AreaExhaustionKeepsEntriesApart) {
  EXPECT_EQ(WorkRoomLeft(), 128u * 1024 - 4);
  EXPECT_EQ(WorkFreeSlice().len, 65535);
  char* big = WorkAllocRaw(65535, 'a');
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(WorkRoomLeft(), 128u * 1024 - 65536 - 4);
  StackState before = Snapshot();
  EXPECT_EQ(WorkAllocRaw(65533, kNoFill), nullptr);  // 65536 more reaches the end
  ExpectSame(before, Snapshot());
  char* rest = WorkAllocRaw(65532, 'b');
  ASSERT_EQ(rest, big + 65536);
  EXPECT_EQ(big[65534], 'a');
  EXPECT_EQ(WorkRoomLeft(), 0u);
  StrSlice empty = WorkAllocSlice(0, kNoFill);  // no room taken, one mark used
  EXPECT_EQ(empty.ptr, rest + 65532);
  EXPECT_EQ(empty.len, 0);
  EXPECT_EQ(WorkMark(kMarkQuery), 3);
  EXPECT_EQ(WorkAllocRaw(1, kNoFill), nullptr);
  EXPECT_EQ(WorkFreeSlice().len, 0);
}

TEST_F(RuntimeTest, MarksReleaseAndIgnoreOutOfRange) {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice a = WorkAllocSlice(5, 'a');
  StrSlice b = WorkAllocSlice(1, 'b');
  EXPECT_EQ(b.ptr, a.ptr + 8);  // entries are 4-byte aligned
  WorkMark(m + 1);
  EXPECT_EQ(WorkTop().ptr, a.ptr);
  StrSlice c = WorkAllocSlice(1, 'c');
  EXPECT_EQ(c.ptr, b.ptr);  // b's space was released
  StackState before = Snapshot();
  EXPECT_EQ(WorkMark(128), m + 2);  // at or past the number of marks
  EXPECT_EQ(WorkMark(m + 5), m + 2);  // above the current mark
  ExpectSame(before, Snapshot());
  EXPECT_EQ(WorkMark(0), 0);
  EXPECT_EQ(WorkTop().len, 0);
  EXPECT_EQ(WorkRoomLeft(), 128u * 1024 - 4);
}

TEST_F(RuntimeTest, ReturnCopiesResultFromReleasedSpace) {
  ASSERT_EQ(WorkPush("keep", 4), 0);
  WorkMarkId m = WorkMark(kMarkQuery);
  ASSERT_EQ(WorkPush("12345678", 8), 0);
  ASSERT_EQ(WorkPush("hello, world", 12), 0);
  StrSlice src = WorkTop();  // lies above m, overlapping where the copy goes
  StrSlice r = WorkReturn(m, src);
  EXPECT_EQ(S(r), "hello, world");
  EXPECT_EQ(WorkMark(kMarkQuery), m + 1);
  EXPECT_EQ(WorkTop().ptr, r.ptr);
  WorkMark(m);
  EXPECT_EQ(S(WorkTop()), "keep");
}

TEST_F(RuntimeTest, ErrorSlicePassesThroughReturnAndPush) {
  WorkMarkId m = WorkMark(kMarkQuery);
  ASSERT_EQ(WorkPush("abc", 3), 0);
  StrSlice r = WorkReturn(m, StrErrorSlice(kErrStringTooLong));
  EXPECT_EQ(r.ptr, nullptr);
  EXPECT_EQ(r.len, kErrStringTooLong);
  EXPECT_EQ(WorkMark(kMarkQuery), m);
  EXPECT_EQ(WorkPush(nullptr, 0), kFailed);
  EXPECT_EQ(WorkPushConcat(L("a"), StrErrorSlice(kErrData)), kErrData);
  EXPECT_EQ(WorkMark(kMarkQuery), m);
  EXPECT_EQ(WorkPush("", 0), 0);  // a valid empty text is an entry
  EXPECT_EQ(WorkMark(kMarkQuery), m + 1);
}

TEST_F(RuntimeTest, ConcatJoinsAndRefusesOverlongResult) {
  ASSERT_EQ(WorkPushConcat(L("ab"), L("cde")), 0);
  EXPECT_EQ(S(WorkTop()), "abcde");
  std::string big(40000, 'z');
  StrSlice half{big.data(), 40000};
  StackState before = Snapshot();
  EXPECT_EQ(WorkPushConcat(half, half), kErrStringTooLong);
  ExpectSame(before, Snapshot());
  // Sources in the space just released may be covered by the new entry.
  WorkMarkId m = WorkMark(kMarkQuery);
  ASSERT_EQ(WorkPush("first", 5), 0);
  StrSlice a = WorkTop();
  ASSERT_EQ(WorkPush("second", 6), 0);
  StrSlice b = WorkTop();
  WorkMark(m);
  ASSERT_EQ(WorkPushConcat(b, a), 0);
  EXPECT_EQ(S(WorkTop()), "secondfirst");
}
