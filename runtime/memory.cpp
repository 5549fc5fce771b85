#include "runtime/memory.h"

#include <cstdlib>
#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"

namespace vk {

namespace {

constexpr u8 kGuard[kGuardSize] = {0x00, 0x21, 0x21, 0x00};

MemControl g_mem = {kDefaultTableEntries, kDefaultScratchKB, nullptr, 0, 0,
                    {kNotFound, kNotFound, 0, 0, 0, nullptr, 0, 0}, nullptr};

// Releases every block from the highest slot down and then the table,
// without guard or owner tests.
void ReleaseAll() {
  for (u16 h = g_mem.table_size; h-- > 0;) {
    std::free(g_mem.table[h].block);
    g_mem.table[h].block = nullptr;
  }
  std::free(g_mem.table);
  g_mem.table = nullptr;
  g_mem.table_size = 0;
  g_mem.work = WorkStack{};
  g_mem.work.area_handle = kNotFound;
  g_mem.work.marks_handle = kNotFound;
  g_mem.library_block = nullptr;
}

bool IsLibraryBlock(const u8* p) {
  const WorkStack& w = g_mem.work;
  MemEntry* area = MemEntryGet(w.area_handle, nullptr);
  MemEntry* marks = MemEntryGet(w.marks_handle, nullptr);
  return (area && area->block == p) || (marks && marks->block == p) || p == g_mem.library_block;
}

// Shutdown's answer for a block still in use: its owner, except that owner 0
// would read as success.
u16 InUseAnswer(u16 owner) { return owner != 0 ? owner : u16{kErrMemoryLeaks}; }

// The highest block in use other than the variable store and the library's
// own blocks: its handle, kNotFound when there is none.
u16 HighestForeignBlock() {
  const u8* store = static_cast<const u8*>(StoreBlock());
  for (u16 h = g_mem.table_size; h-- > 0;) {
    const u8* p = g_mem.table[h].block;
    if (p && p != store && !IsLibraryBlock(p)) return h;
  }
  return kNotFound;
}

}  // namespace

MemControl* MemControlGet() { return &g_mem; }

void MemSetLimits(u16 scratch_kb, u16 /*unused*/, u16 entries) {
  if (MemIsInit()) return;
  if (scratch_kb != kKeepLimit) g_mem.scratch_kb = scratch_kb;
  if (entries != kKeepLimit) g_mem.entries = entries;
}

u16 MemInit() {
  u16 err = MemTableInit();
  if (err) return err;
  return StoreInit();
}

u16 MemTableInit() {
  if (MemIsInit()) return kWarnUndefined;
  if (g_mem.entries == 0) return kErrOutOfMemory;
  auto* table = static_cast<MemEntry*>(std::calloc(g_mem.entries, sizeof(MemEntry)));
  if (!table) return kErrOutOfMemory;
  g_mem.table = table;
  g_mem.table_size = g_mem.entries;
  g_mem.use_counter = 0;
  u16 err = MemScratchInit();
  // A half-built manager would refuse a second start (124) and leak its
  // blocks: undo everything.
  if (err) ReleaseAll();
  return err;
}

u16 MemScratchInit() {
  g_mem.library_block = static_cast<u8*>(MemAlloc(kOwnerLibrary, kLibraryBlockSize));
  if (!g_mem.library_block) return kErrOutOfMemory;
  return WorkInit(g_mem.scratch_kb, &g_mem.work);
}

bool MemIsInit() { return g_mem.table_size != 0; }

void* MemAlloc(u16 owner, u32 size) {
  u16 h = MemSlotAlloc(owner, size, 0);
  if (h == kNoSlot) return nullptr;
  return g_mem.table[h].block;
}

u16 MemSlotAlloc(u16 owner, u32 size, u8 fill) {
  g_mem.use_counter = static_cast<i16>(g_mem.use_counter + 1);
  for (u16 h = 0; h < g_mem.table_size; ++h) {
    if (!g_mem.table[h].block) {
      MemSlotSet(owner, size, h, fill);
      return h;
    }
  }
  return kNoSlot;
}

u16 MemSlotSet(u16 owner, u32 size, u16 handle, u8 fill) {
  u16 err = 0;
  MemEntry* e = MemEntryGet(handle, &err);
  if (!e) return err;
  e->owner = owner;
  e->size = size;
  e->block = MemBlockNew(size, fill);
  return 0;
}

u8* MemBlockNew(u32 size, u8 fill) {
  if (size > UINT32_MAX - kGuardSize) return nullptr;
  auto* p = static_cast<u8*>(std::malloc(size_t{size} + kGuardSize));
  if (!p) return nullptr;
  if (fill != kNoFill) std::memset(p, fill, size);
  std::memcpy(p + size, kGuard, kGuardSize);
  return p;
}

MemEntry* MemEntryGet(u16 handle, u16* err) {
  if (handle >= g_mem.table_size) {
    if (err) *err = kErrData;
    return nullptr;
  }
  if (err) *err = 0;
  return &g_mem.table[handle];
}

u16 MemFindHandle(const void* p) {
  if (!p) return kNotFound;
  for (u16 h = 0; h < g_mem.table_size; ++h) {
    if (g_mem.table[h].block == p) return h;
  }
  return kNotFound;
}

u16 MemFree(u16 owner, void* p) {
  g_mem.use_counter = static_cast<i16>(g_mem.use_counter - 1);
  // Free slots hold null, so a null pointer must not be searched for.
  u16 h = MemFindHandle(p);
  if (h == kNotFound) return kErrMemoryAlloc;
  return MemBlockFree(owner, h);
}

u16 MemBlockFree(u16 owner, u16 handle) {
  u16 err = 0;
  MemEntry* e = MemEntryGet(handle, &err);
  if (!e) return err;
  if (!e->block) return kErrMemoryAlloc;
  if (std::memcmp(e->block + e->size, kGuard, kGuardSize) != 0) return kErrMemoryOverflow;
  if (e->owner != owner) return kErrInternal;
  std::free(e->block);
  e->block = nullptr;
  return 0;
}

u16 MemFreeHandle(u16 handle) { return MemBlockFree(kOwnerLibrary, handle); }

void* MemRealloc(u16 owner, void* old, u32 old_len, u32 new_size) {
  // Reading past the end of a tracked old block is refused before anything
  // is allocated.
  u16 oh = MemFindHandle(old);
  if (oh != kNotFound && old_len > g_mem.table[oh].size) return nullptr;
  void* p = MemAlloc(owner, new_size);
  if (!p || !old) return p;
  if (MemBlockWrite(owner, p, 0, old, old_len) != 0) {
    (void)MemFree(owner, p);  // allocated just above for this owner
    return nullptr;
  }
  // A block the table refuses to free (not tracked, another owner's) stays
  // where it was; the caller holds the new one either way.
  (void)MemFree(owner, old);
  return p;
}

u16 MemBlockWrite(u16 /*owner*/, void* block, u32 offset, const void* src, u32 count) {
  u16 h = MemFindHandle(block);
  if (h == kNotFound) return kErrDataOutBound;
  if (u64{offset} + count > g_mem.table[h].size) return kErrDataOutBound;
  if (count == 0) return 0;
  if (!src) return kErrData;
  // Block sizes are 32-bit: the move is done here rather than through the
  // 16-bit MemWriteAt.
  std::memmove(static_cast<u8*>(block) + offset, src, count);
  return 0;
}

u16 MemWriteAt(void* buf, u16 capacity, u16 offset, const void* src, u16 count) {
  if (offset > capacity) return kErrDataOutBound;
  u16 n = count < capacity - offset ? count : static_cast<u16>(capacity - offset);
  if (n == 0) return 0;
  if (!buf || !src) return kErrData;
  std::memmove(static_cast<u8*>(buf) + offset, src, n);
  return 0;
}

u16 MemCount(u16 first, u16 end, u16 kind, u16* out_owner) {
  if (end > g_mem.table_size) end = g_mem.table_size;
  u16 count = 0;
  u16 owner = 0;
  bool seen = false;
  for (u16 h = end; h-- > first;) {
    bool used = g_mem.table[h].block != nullptr;
    if (used && !seen) {
      owner = g_mem.table[h].owner;
      seen = true;
    }
    if ((used && (kind & kCountInUse)) || (!used && (kind & kCountFree))) ++count;
  }
  if (out_owner) *out_owner = owner;
  return count;
}

u16 MemRelease(bool force) {
  u16 owner = 0;
  u16 used = MemCount(0, g_mem.table_size, kCountInUse, &owner);
  if (used && !force) return owner;
  ReleaseAll();
  return owner;
}

u16 MemShutdown() {
  u16 owner = MemRelease(false);
  if (!MemIsInit()) return owner;  // nothing was in use: all released
  if (owner != kOwnerVarStore) return InUseAnswer(owner);
  // The store is the highest block in use; anything else still held apart
  // from the library's own blocks keeps everything allocated.
  u16 h = HighestForeignBlock();
  if (h != kNotFound) {
    return InUseAnswer(g_mem.table[h].owner);
  }
  u16 err = MemFree(kOwnerVarStore, StoreBlock());
  if (err) return err;
  err = WorkFree();
  if (err) return err;
  return MemRelease(true);
}

void MemGetStatus(MemControl* dest) {
  if (dest) *dest = g_mem;
}

MemBuf MemBufNew(u16 owner, u16 capacity) {
  MemBuf b{};
  b.data = static_cast<u8*>(MemAlloc(owner, capacity));
  b.capacity = capacity;
  b.error = b.data ? 0 : kErrOutOfMemory;
  return b;
}

MemBuf MemBufNewCopy(u16 owner, u16 new_capacity, MemBuf old) {
  auto* p = static_cast<u8*>(MemRealloc(owner, old.data, old.capacity, new_capacity));
  if (!p) {
    // The old block is still allocated and holds the data: keep it.
    old.error = kErrOutOfMemory;
    return old;
  }
  MemBuf b{};
  b.data = p;
  b.len = old.len;
  b.capacity = new_capacity;
  b.error = 0;
  return b;
}

u8* MemBufAppend(u16 owner, MemBuf* buf, const void* src, u16 n, bool align) {
  if (!buf || buf->error) return nullptr;
  if (!buf->data) {
    buf->error = kErrOutOfMemory;
    return nullptr;
  }
  u32 at = align ? MemRound4(buf->len) : buf->len;
  u32 end = at + n;
  if (end > kMaxText) {
    buf->error = kErrStringTooLong;
    return nullptr;
  }
  if (end > buf->capacity) {
    buf->error = kErrDataOutBound;
    return nullptr;
  }
  if (src) {
    u16 err = MemBlockWrite(owner, buf->data, at, src, n);
    if (err) {
      buf->error = err;
      return nullptr;
    }
  }
  buf->len = static_cast<u16>(end);
  return buf->data + at;
}

MemBufB MemBufInit(u16 owner, u16 capacity) {
  MemBufB b{};
  b.capacity = capacity;
  b.data = static_cast<u8*>(MemAlloc(owner, capacity));
  b.error = b.data ? 0 : kErrOutOfMemory;
  return b;
}

u16 MemBufFree(u16 owner, MemBufB* buf) {
  if (!buf) return kErrData;
  u16 err = MemFree(owner, buf->data);
  if (!err) {
    buf->data = nullptr;
    buf->len = 0;
  }
  return err;
}

StrSlice MemBufPut(MemBufB* buf, const void* src, u16 n, u16 pos) {
  if (!buf) return StrErrorSlice(kErrData);
  const StrSlice empty = buf->data ? StrSlice{reinterpret_cast<const char*>(buf->data), 0} : kStrEmpty;
  if (buf->error) return empty;
  u32 at = pos == kNotFound ? buf->len : pos;
  u32 end = at + n;
  if (end > buf->capacity) {
    buf->error = kErrStrConcat;
    return empty;
  }
  if (!buf->data) return StrErrorSlice(kErrOutOfMemory);
  if (n && !src) return StrErrorSlice(kErrData);
  if (n) std::memmove(buf->data + at, src, n);
  if (end > buf->len) buf->len = static_cast<u16>(end);
  return StrSlice{reinterpret_cast<const char*>(buf->data + at), n};
}

}  // namespace vk
