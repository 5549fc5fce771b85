// Tracked memory: heap blocks entered in a fixed handle table with an owner
// number and a 4-byte guard (00 21 21 00) after the payload, so a block is
// verified when freed and everything can be released at shutdown. One
// MemControl per process, used from one thread only.
//
// Start-up: MemSetLimits (optional, before MemInit), then MemInit, which
// fills slot 0 with the 240-byte library block, slots 1 and 2 with the
// scratch area and its mark table, slot 3 with the variable store.
// None of these functions records the process error state; callers decide.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Owner numbers of the library's own blocks.
enum : u16 {
  kOwnerFileDialog = 0,
  kOwnerVarStore = 1,
  kOwnerLibrary = 9,
  kOwnerArrays = 10,
  kOwnerSortedList = 12,
  kOwnerValueTables = 15,
};

constexpr u16 kDefaultTableEntries = 64;
constexpr u16 kDefaultScratchKB = 128;  // also the number of scratch marks
constexpr u32 kLibraryBlockSize = 240;
constexpr u32 kGuardSize = 4;
constexpr u8 kNoFill = 0xFF;            // fill byte meaning "do not fill"
constexpr u16 kKeepLimit = 0xFFFF;      // MemSetLimits: keep the current value
constexpr u16 kNoSlot = 0xFFFF;         // MemSlotAlloc: no free slot
constexpr u16 kWorkInitFailed = 0xFFFF; // WorkInit: area or mark table refused

// MemCount kinds.
enum : u16 { kCountInUse = 1, kCountFree = 2, kCountAll = 3 };

struct MemEntry {
  u16 owner;
  u32 size;
  u8* block;  // null = free slot
};

struct WorkStack {
  u16 area_handle;
  u16 marks_handle;
  u16 marks;       // number of marks (= scratch KB); 0 = no stack
  u16 current;     // index of the newest mark; 0 = empty stack
  u16 high_marks;  // greatest current mark seen when the top moved
  u8* top;         // first free byte, a multiple of 4 from the area start
  u32 area_bytes;
  u32 high_bytes;
};

struct MemControl {
  u16 entries;       // handle-table entries to create
  u16 scratch_kb;    // scratch size in KB and number of marks
  MemEntry* table;
  u16 table_size;    // 0 = not initialised
  i16 use_counter;   // +1 per allocation request, -1 per free request
  WorkStack work;
  u8* library_block;
};

MemControl* MemControlGet();
// Scratch KB (= marks) and handle-table entries; kKeepLimit keeps a value.
// Ignored once the memory manager runs.
void MemSetLimits(u16 scratch_kb, u16 unused, u16 entries);
// Table, library block, scratch stack, then StoreInit. 124 when already
// running; a failure before the store leaves the manager not initialised.
[[nodiscard]] u16 MemInit();
[[nodiscard]] u16 MemTableInit();
[[nodiscard]] u16 MemScratchInit();
bool MemIsInit();
// Zero-filled payload of size bytes, or null (table full or heap refused).
void* MemAlloc(u16 owner, u32 size);
u16 MemSlotAlloc(u16 owner, u32 size, u8 fill);
u16 MemSlotSet(u16 owner, u32 size, u16 handle, u8 fill);
u8* MemBlockNew(u32 size, u8 fill);
// The entry of handle, or null with *err = 163 when out of range.
MemEntry* MemEntryGet(u16 handle, u16* err);
// 0; 154 when p is not a tracked block (null included); 180 when its guard
// is damaged, 141 when owner differs: in both cases the block stays.
[[nodiscard]] u16 MemFree(u16 owner, void* p);
[[nodiscard]] u16 MemBlockFree(u16 owner, u16 handle);
[[nodiscard]] u16 MemFreeHandle(u16 handle);
// A new block holding the first old_len bytes of old, which is then freed;
// null (old untouched) when the new block or the copy is refused.
void* MemRealloc(u16 owner, void* old, u32 old_len, u32 new_size);
// 168 unless block is tracked and offset + count lies within its size.
[[nodiscard]] u16 MemBlockWrite(u16 owner, void* block, u32 offset, const void* src, u32 count);
// Overlap-safe copy of min(count, capacity - offset) bytes to buf + offset;
// 168 when offset is past the capacity, 163 for a null buffer or source.
[[nodiscard]] u16 MemWriteAt(void* buf, u16 capacity, u16 offset, const void* src, u16 count);
u16 MemCount(u16 first, u16 end, u16 kind, u16* out_owner);
// Owner of the highest block in use (0 when none). Without force nothing is
// released while a block is in use; otherwise every block and the table go.
u16 MemRelease(bool force);
// 0 when every block and the table were released. A block still in use
// other than the variable store and the library's own owner-9 blocks keeps
// everything allocated: the result is the owner of the highest such block,
// or 178 (kErrMemoryLeaks) when that owner is 0, which would read as success.
// An error freeing the store or the scratch blocks (154, 180, 141) is
// returned as is.
[[nodiscard]] u16 MemShutdown();
void MemGetStatus(MemControl* dest);
// Handle of the tracked block whose payload is p, kNotFound when none.
u16 MemFindHandle(const void* p);

// n raised to the next multiple of 4 (0 stays 0), computed in 32 bits.
inline u32 MemRound4(u32 n) { return (n + 3) & ~u32{3}; }

// Growable byte buffer in a tracked block.
struct MemBuf {
  u8* data;
  u16 len;
  u16 capacity;
  u16 error;
};
MemBuf MemBufNew(u16 owner, u16 capacity);
// The buffer moved to a new block of new_capacity bytes. When that fails the
// old buffer comes back unchanged with error 145 (its block is kept).
MemBuf MemBufNewCopy(u16 owner, u16 new_capacity, MemBuf old);
// Appends n bytes of src (or only reserves them when src is null); with
// align the length is first raised to a multiple of 4. Returns where the
// bytes go, or null with the buffer's error set: 168 past the capacity,
// 146 past 65535 bytes. A buffer holding an error is left alone.
u8* MemBufAppend(u16 owner, MemBuf* buf, const void* src, u16 n, bool align);

// Sticky-error buffer: once an error is set nothing more is written.
struct MemBufB {
  u16 error;
  u16 capacity;
  u8* data;
  u16 len;
};
// error is 145 when the block is refused.
MemBufB MemBufInit(u16 owner, u16 capacity);
[[nodiscard]] u16 MemBufFree(u16 owner, MemBufB* buf);
// Writes n bytes at pos (kNotFound = at the end); {data+pos, n} or the empty
// slice when the buffer holds an error or the bytes pass its capacity (153);
// an error slice when there is no block or no source.
StrSlice MemBufPut(MemBufB* buf, const void* src, u16 n, u16 pos);

}  // namespace vk
