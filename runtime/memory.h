// Tracked memory: heap blocks entered in a fixed handle table with an owner
// number and a 4-byte guard (00 21 21 00) after the payload, so a block is
// verified when freed and everything can be released at shutdown. One
// MemControl per process.
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
  u16 marks;       // number of marks (= scratch KB)
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
void MemSetLimits(u16 scratch_kb, u16 unused, u16 entries);
u16 MemInit();
u16 MemTableInit();
u16 MemScratchInit();
bool MemIsInit();
void* MemAlloc(u16 owner, u32 size);
u16 MemSlotAlloc(u16 owner, u32 size, u8 fill);
u16 MemSlotSet(u16 owner, u32 size, u16 handle, u8 fill);
u8* MemBlockNew(u32 size, u8 fill);
// The entry of handle, or null with *err = 163 when out of range.
MemEntry* MemEntryGet(u16 handle, u16* err);
u16 MemFree(u16 owner, void* p);
u16 MemBlockFree(u16 owner, u16 handle);
u16 MemFreeHandle(u16 handle);
void* MemRealloc(u16 owner, void* old, u32 old_len, u32 new_size);
u16 MemBlockWrite(u16 owner, void* block, u32 offset, const void* src, u32 count);
u16 MemWriteAt(void* buf, u16 capacity, u16 offset, const void* src, u16 count);
u16 MemCount(u16 first, u16 end, u16 kind, u16* out_owner);
u16 MemRelease(bool force);
u16 MemShutdown();
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
MemBuf MemBufNewCopy(u16 owner, u16 new_capacity, MemBuf old);
// Appends n bytes of src (or only reserves them when src is null); returns
// the old end, or null with the buffer's error set.
u8* MemBufAppend(u16 owner, MemBuf* buf, const void* src, u16 n, bool align);

// Sticky-error buffer: once an error is set nothing more is written.
struct MemBufB {
  u16 error;
  u16 capacity;
  u8* data;
  u16 len;
};
MemBufB MemBufInit(u16 owner, u16 capacity);
u16 MemBufFree(u16 owner, MemBufB* buf);
// Writes n bytes at pos (kNotFound = at the end); {data+pos, n} or the empty
// slice when the buffer holds an error or the bytes pass its capacity (153).
StrSlice MemBufPut(MemBufB* buf, const void* src, u16 n, u16 pos);

}  // namespace vk
