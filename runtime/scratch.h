// The scratch stack: one area for every temporary result, with a table of
// marks. A function that builds a text takes m = WorkMark(kMarkQuery), builds
// freely, and ends with WorkReturn(m, result): the caller sees exactly one new
// entry. A function that only computes a number ends with WorkMark(m).
// Entries are 4-byte aligned; at most (marks - 1) entries exist at once.
// A failed allocation (145) leaves the stack exactly as it was.
#pragma once
#include "runtime/memory.h"

namespace vk {

using WorkMarkId = u16;
constexpr WorkMarkId kMarkQuery = 0xFFFF;  // WorkMark: read, change nothing

// kWorkInitFailed when the area or the mark table is refused (or kb is 0).
[[nodiscard]] u16 WorkInit(u16 kb, WorkStack* work);
// Frees the area, the mark table and the library block; the first error.
[[nodiscard]] u16 WorkFree();
// Releases everything above mark (a mark at or above the number of marks,
// or above the current one, changes nothing); returns the current mark.
WorkMarkId WorkMark(WorkMarkId mark);
// A new entry of count bytes: 0 with *out = {entry, count}, or 145 with
// *out the error slice.
[[nodiscard]] u16 WorkAlloc(u16 count, StrSlice* out, WorkStack* work);
[[nodiscard]] u16 WorkAllocFill(u16 count, u8 fill);
// Pointer to a new entry of count bytes (filled unless kNoFill), or null.
char* WorkAllocRaw(u16 count, u8 fill);
StrSlice WorkAllocSlice(u16 count, u8 fill);
// A new unfilled entry for a text of n bytes whose length was summed in 32
// bits: the error slice 146 past 65535 bytes (nothing allocated), else as
// WorkAllocSlice.
StrSlice WorkAllocText(u32 n);
// Pushes a copy of the bytes (which may lie anywhere, the space just released
// included); an error slice gives its code and pushes nothing.
[[nodiscard]] u16 WorkPush(const char* p, u16 len);
// One part of a text built on the scratch stack: len bytes from ptr, or,
// with a null ptr, len copies of fill.
struct WorkPiece {
  const char* ptr;
  u32 len;
  char fill;
};
// The one way texts are joined on the scratch stack: one new entry holding
// the pieces one after the other. Sources may lie anywhere, the space just
// released included (where the new entry goes): sources the new entry would
// cover are gathered before any byte is written. 0, 146 when the result
// would pass 65535 bytes, 145 on a full stack.
[[nodiscard]] u16 WorkPushPieces(const WorkPiece* pieces, u16 count);
// WorkPushPieces of the texts; an error slice among them gives its code.
[[nodiscard]] u16 WorkPushTexts(const StrSlice* texts, u16 count);
// One new entry holding a then b, as WorkPushTexts.
[[nodiscard]] u16 WorkPushConcat(StrSlice a, StrSlice b);
// Releases to mark, then pushes the copy and returns it; an error slice
// passes through after the release.
StrSlice WorkReturn(WorkMarkId mark, const char* p, u16 len);
inline StrSlice WorkReturn(WorkMarkId mark, StrSlice s) { return WorkReturn(mark, s.ptr, s.len); }
// The newest entry; {area start, 0} when empty; {null, 0} without a stack.
StrSlice WorkTop();
// Largest aligned entry that still fits; kMaxText without a stack.
u32 WorkRoomLeft();
// {top, room left capped at 65535} for readers that fill it in place and
// then allocate what they wrote.
StrSlice WorkFreeSlice();
// Explicit-record push used by start-up code.
[[nodiscard]] u16 WorkStackPush(WorkStack* work, const char* p, u16 len);

}  // namespace vk
