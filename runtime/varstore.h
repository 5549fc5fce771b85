// The variable store: the library's one place for long-lived texts. One
// tracked block of 65535 bytes (owner 1) holding 39 groups of texts:
// 39 u16 counts, 2048 u16 entry lengths in one shared sequence, then the
// texts back to back. Groups 0-36 are stacks (top = last entry), 37-38
// queues (top = first entry); every group can also be used by index.
// Texts read from the store stay valid only until the store next changes.
//
// Its functions take the prefix Store; Var names the interpreter's named
// variables (script/variables.h), whose names and texts the store holds in
// groups 12 and 13.
//
// Room is strict: at most entries - 1 (2047) entries and heap capacity - 1
// (61360) text bytes are ever in use. Reading never fails: an absent entry,
// a group out of range or an unusable store reads as the empty text.
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr u16 kStoreGroups = 39;
constexpr u16 kStoreEntries = 2048;
constexpr u32 kStoreBlockSize = 65535;
// What the default layout holds at most: its entries but one, and its text
// bytes (the block less the two tables of u16 counts and lengths) but one.
constexpr u16 kStoreMostEntries = kStoreEntries - 1;
constexpr u32 kStoreMostTextBytes = kStoreBlockSize - 2u * (u32{kStoreGroups} + kStoreEntries) - 1u;
constexpr u16 kStoreFirstQueue = 37;
constexpr u16 kStorePushOnlyCount = 39;  // StoreCount: sum of groups 30-38
constexpr u16 kStoreFirstPushOnly = 30;

// Groups with a fixed use.
enum : u16 {
  kGroupIdentity = 0,
  kGroupOptionMenu = 5,
  kGroupRun = 9,
  kGroupVarNames = 12,
  kGroupStrVars = 13,
  kGroupFuncPop = 30,
  kGroupParamLists = 31,
  kGroupTemplateLines = 32,
  kGroupFuncArgs = 35,
  kGroupLineQueue = 37,
};

// Entries of group 9.
enum : u16 {
  kRunPagePath = 0,
  kRunTrail = 1,
  kRunLangTexts = 2,
  kRunPageName = 3,
  kRunPageFolder = 4,
  kRunNodeOptions = 5,
  kRunErrorDetail = 9,
  kRunLogName = 10,
};

// The layout the next StoreInit uses: number of groups (cut to 39),
// number of entry-length slots, block size in bytes. The defaults are 39,
// 2048, 65535; only tests change them.
void StoreSetLayout(u16 groups, u16 entries, u16 block_bytes);

// Creates the store block (called by MemInit) and empties the store.
// Returns 0; 159 (recorded in module 1) when the layout leaves no text heap
// inside the block: the block still exists, but the store stays unusable and
// every set fails with 159; 145 when the block cannot be allocated.
[[nodiscard]] u16 StoreInit();
// The store's block, null before StoreInit (freed by MemShutdown).
void* StoreBlock();

StrSlice StoreGet(u16 group, u16 idx);
// 0; 159 for no room or a group / position out of range; the text's own
// code for an error slice; 145 when a text taken from the store itself
// cannot be copied aside first. Nothing is stored on failure, and 156 is
// recorded in module 2 (when nothing is recorded yet).
[[nodiscard]] u16 StoreSet(u16 group, u16 idx, StrSlice text);
[[nodiscard]] u16 StorePush(u16 group, StrSlice text);
StrSlice StoreTop(u16 group);
// Removes the top entry; 0 also when the group is empty.
[[nodiscard]] u16 StorePop(u16 group);
// A scratch copy of the top entry, which is then popped. When the copy
// cannot be made the entry stays and the result is the error slice 145.
StrSlice StorePopValue(u16 group);
// Removes entry idx, later entries moving down one index. An index at or
// beyond the group's count changes nothing and gives 0.
[[nodiscard]] u16 StoreDelete(u16 group, u16 idx);
[[nodiscard]] u16 StoreTrim(u16 group, u16 n);
u16 StoreCount(u16 group);
// The group's change stamp: it stays the same exactly as long as nothing has
// set, added or removed a text of the group (or restarted the store).
u32 StoreGroupStamp(u16 group);
// Position of (group, idx) in the shared length sequence; kNotFound when the
// group or position is out of range (then, with record, 159 in module 14).
u16 StoreEntryIndex(u16 group, u16 idx, bool record);

}  // namespace vk
