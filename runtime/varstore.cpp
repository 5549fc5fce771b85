#include "runtime/varstore.h"

#include <cstdint>
#include <cstring>

#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"

namespace vk {
namespace {

// Start-up settings and the bookkeeping kept beside the block.
struct StoreState {
  u16 set_groups = kStoreGroups;
  u16 set_entries = kStoreEntries;
  u16 set_block = static_cast<u16>(kStoreBlockSize);

  u8* block = nullptr;
  u16 handle = kNotFound;  // slot of the block in the handle table
  bool usable = false;     // false when the layout did not fit the block
  u16 groups = 0;
  u16 max_entries = 0;
  u16 entries_used = 0;
  u16 heap_used = 0;
  u16 heap_capacity = 0;
  u16* counts = nullptr;   // one per group
  u16* lengths = nullptr;  // one per position of the shared sequence
  u8* heap = nullptr;
};

// Change stamps: a group's stamp takes a new value from the clock whenever
// the group may have changed, so a reader can keep what it derived from a
// group's texts for as long as the stamp stays the same.
u32 g_clock = 0;
u32 g_stamps[kStoreGroups];

void StampAll() {
  ++g_clock;
  for (u32& st : g_stamps) st = g_clock;
}

StoreState g_store;

// The store can be used only while its block is still the tracked block it
// was created as: after MemShutdown it is gone and must not be touched.
bool StoreLive() {
  if (!g_store.usable || !g_store.block || !MemIsInit()) return false;
  u16 err = 0;
  const MemEntry* e = MemEntryGet(g_store.handle, &err);
  return e && e->block == g_store.block;
}

// Callers test StoreLive first.
u16 CountOf(u16 group) { return group < g_store.groups ? g_store.counts[group] : 0; }

u16 LiveCount(u16 group) { return StoreLive() ? CountOf(group) : 0; }

// First position of group in the shared sequence (group < groups).
u32 GroupStart(u16 group) {
  u32 pos = 0;
  for (u16 g = 0; g < group; ++g) pos += g_store.counts[g];
  return pos;
}

// Heap offset of the text at position p.
u32 HeapOffset(u32 p) {
  u32 off = 0;
  for (u32 i = 0; i < p; ++i) off += g_store.lengths[i];
  return off;
}

bool IsQueue(u16 group) { return group >= kStoreFirstQueue; }

bool InsideBlock(const char* p, u16 len) {
  const auto a = reinterpret_cast<std::uintptr_t>(p);
  const auto lo = reinterpret_cast<std::uintptr_t>(g_store.block);
  const auto hi = lo + g_store.set_block;
  return len > 0 && a < hi && a + len > lo;
}

u16 SetFailed(WorkMarkId mark, u16 result) {
  ErrSet(kErrFirst, kWhereVarAssign, kErrLoadStr, result);
  WorkMark(mark);
  return result;
}

}  // namespace

void StoreSetLayout(u16 groups, u16 entries, u16 block_bytes) {
  g_store.set_groups = groups < kStoreGroups ? groups : kStoreGroups;
  g_store.set_entries = entries;
  g_store.set_block = block_bytes;
}

u16 StoreInit() {
  StampAll();
  StoreState& s = g_store;
  s.usable = false;
  s.block = nullptr;
  s.handle = kNotFound;
  s.groups = s.max_entries = s.entries_used = s.heap_used = s.heap_capacity = 0;
  s.counts = s.lengths = nullptr;
  s.heap = nullptr;

  // The block is created even for a layout that does not fit, so that the
  // handle order and shutdown stay the same; the store is then left unusable
  // instead of letting its tables run past the block.
  s.block = static_cast<u8*>(MemAlloc(kOwnerVarStore, s.set_block));
  if (!s.block) return kErrOutOfMemory;
  s.handle = MemFindHandle(s.block);

  const u32 tables = 2 * (u32{s.set_groups} + s.set_entries);
  if (tables >= s.set_block) {
    return ErrSet(kErrFirst, kWhereMemStart, kErrStrOutBound, kErrStrOutBound);
  }
  s.groups = s.set_groups;
  s.max_entries = s.set_entries;
  s.heap_capacity = static_cast<u16>(s.set_block - tables);
  // The block is zero-filled and comes from the heap, so the u16 tables at
  // its start are aligned.
  s.counts = reinterpret_cast<u16*>(s.block);
  s.lengths = s.counts + s.groups;
  s.heap = s.block + tables;
  s.usable = true;
  return kOk;
}

void* StoreBlock() { return g_store.block; }

u16 StoreEntryIndex(u16 group, u16 idx, bool record) {
  const bool inside = StoreLive() && group < g_store.groups;
  const u32 pos = inside ? GroupStart(group) + idx : 0;
  if (!inside || pos >= g_store.max_entries) {
    if (record) ErrSet(kErrFirst, kWhereVarIndex, kErrStrOutBound, kErrStrOutBound);
    return kNotFound;
  }
  return static_cast<u16>(pos);
}

StrSlice StoreGet(u16 group, u16 idx) {
  if (!StoreLive() || idx >= CountOf(group)) return kStrEmpty;
  const u32 p = GroupStart(group) + idx;
  return StrSlice{reinterpret_cast<const char*>(g_store.heap + HeapOffset(p)), g_store.lengths[p]};
}

u16 StoreSet(u16 group, u16 idx, StrSlice text) {
  if (group < kStoreGroups) g_stamps[group] = ++g_clock;
  if (const u16 code = StrError(text)) return ErrSet(kErrFirst, kWhereVarAssign, kErrLoadStr, code);
  if (!StoreLive()) return ErrSet(kErrFirst, kWhereVarAssign, kErrLoadStr, kErrStrOutBound);
  StoreState& s = g_store;
  const WorkMarkId mark = WorkMark(kMarkQuery);

  // A text read from the store moves with it: work from a copy.
  if (InsideBlock(text.ptr, text.len)) {
    if (WorkPush(text.ptr, text.len) != 0) return SetFailed(mark, kErrOutOfMemory);
    text = WorkTop();
  }

  const u16 count = CountOf(group);
  const i32 add = i32{idx} + 1 - count;
  const u16 p = StoreEntryIndex(group, idx, true);
  if (p == kNotFound) return SetFailed(mark, kErrStrOutBound);
  const u32 old = add > 0 ? 0 : s.lengths[p];

  if (i32{s.entries_used} + add >= i32{s.max_entries}) return SetFailed(mark, kErrStrOutBound);
  const u32 new_heap = u32{s.heap_used} + text.len - old;
  if (new_heap >= s.heap_capacity) return SetFailed(mark, kErrStrOutBound);

  if (add > 0) {
    // Open add empty positions at the end of this group.
    const u32 group_end = GroupStart(group) + count;
    std::memmove(s.lengths + group_end + add, s.lengths + group_end,
                 (s.entries_used - group_end) * sizeof(u16));
    for (u32 i = 0; i < static_cast<u32>(add); ++i) s.lengths[group_end + i] = 0;
    s.entries_used = static_cast<u16>(s.entries_used + add);
    s.counts[group] = static_cast<u16>(idx + 1);
  }

  const u32 off = HeapOffset(p);
  const u32 tail = s.heap_used - (off + old);
  std::memmove(s.heap + off + text.len, s.heap + off + old, tail);
  if (text.len) std::memcpy(s.heap + off, text.ptr, text.len);
  s.lengths[p] = text.len;
  s.heap_used = static_cast<u16>(new_heap);
  WorkMark(mark);
  return kOk;
}

u16 StorePush(u16 group, StrSlice text) { return StoreSet(group, LiveCount(group), text); }

StrSlice StoreTop(u16 group) {
  const u16 count = LiveCount(group);
  if (count == 0) return kStrEmpty;
  return StoreGet(group, IsQueue(group) ? 0 : static_cast<u16>(count - 1));
}

u16 StoreDelete(u16 group, u16 idx) {
  if (!StoreLive() || idx >= CountOf(group)) return kOk;
  if (const u16 rc = StoreSet(group, idx, kStrEmpty)) return rc;
  StoreState& s = g_store;
  const u32 p = GroupStart(group) + idx;
  std::memmove(s.lengths + p, s.lengths + p + 1, (s.entries_used - p - 1) * sizeof(u16));
  s.entries_used = static_cast<u16>(s.entries_used - 1);
  s.lengths[s.entries_used] = 0;
  s.counts[group] = static_cast<u16>(s.counts[group] - 1);
  return kOk;
}

u16 StorePop(u16 group) {
  const u16 count = LiveCount(group);
  if (count == 0) return kOk;
  return StoreDelete(group, IsQueue(group) ? 0 : static_cast<u16>(count - 1));
}

StrSlice StorePopValue(u16 group) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice top = StoreTop(group);
  if (WorkPush(top.ptr, top.len) != 0) {
    WorkMark(mark);
    return StrErrorSlice(kErrOutOfMemory);
  }
  const StrSlice copy = WorkTop();
  if (const u16 rc = StorePop(group)) {
    WorkMark(mark);
    return StrErrorSlice(rc);
  }
  return copy;
}

u16 StoreTrim(u16 group, u16 n) {
  u16 rc = kOk;
  for (u16 count = LiveCount(group); count > n; count = LiveCount(group)) {
    rc = StorePop(group);
    if (rc != kOk || LiveCount(group) >= count) break;
  }
  return rc;
}

u16 StoreCount(u16 group) {
  if (!StoreLive()) return 0;
  if (group == kStorePushOnlyCount) {
    u32 sum = 0;
    for (u16 g = kStoreFirstPushOnly; g < g_store.groups; ++g) sum += g_store.counts[g];
    return static_cast<u16>(sum);  // at most entries - 1
  }
  return CountOf(group);
}

u32 StoreGroupStamp(u16 group) { return group < kStoreGroups ? g_stamps[group] : 0; }

}  // namespace vk
