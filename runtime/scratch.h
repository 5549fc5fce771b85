// The scratch stack: one area for every temporary result, with a table of
// marks. A function that builds a text takes m = WorkMark(kMarkQuery), builds
// freely, and ends with WorkReturn(m, result): the caller sees exactly one new
// entry. A function that only computes a number ends with WorkMark(m).
// Entries are 4-byte aligned; at most (marks - 1) entries exist at once.
#pragma once
#include "runtime/memory.h"

namespace vk {

using WorkMarkId = u16;
constexpr WorkMarkId kMarkQuery = 0xFFFF;  // WorkMark: read, change nothing

u16 WorkInit(u16 kb, WorkStack* work);
u16 WorkFree();
WorkMarkId WorkMark(WorkMarkId mark);
u16 WorkAlloc(u16 count, StrSlice* out, WorkStack* work);
u16 WorkAllocFill(u16 count, u8 fill);
// Pointer to a new entry of count bytes (filled unless kNoFill), or null.
char* WorkAllocRaw(u16 count, u8 fill);
StrSlice WorkAllocSlice(u16 count, u8 fill);
u16 WorkPush(const char* p, u16 len);
u16 WorkPushConcat(StrSlice a, StrSlice b);
StrSlice WorkReturn(WorkMarkId mark, const char* p, u16 len);
inline StrSlice WorkReturn(WorkMarkId mark, StrSlice s) { return WorkReturn(mark, s.ptr, s.len); }
StrSlice WorkTop();
u32 WorkRoomLeft();
StrSlice WorkFreeSlice();
// Explicit-record push used by start-up code.
u16 WorkStackPush(WorkStack* work, const char* p, u16 len);

}  // namespace vk
