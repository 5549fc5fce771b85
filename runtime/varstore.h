// The variable store: the library's one place for long-lived texts. One
// tracked block of 65535 bytes (owner 1) holding 39 groups of texts:
// 39 u16 counts, 2048 u16 entry lengths in one shared sequence, then the
// texts back to back. Groups 0-36 are stacks (top = last entry), 37-38
// queues (top = first entry); every group can also be used by index.
// Texts read from the store stay valid only until the store next changes.
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr u16 kVarGroups = 39;
constexpr u16 kVarEntries = 2048;
constexpr u32 kVarBlockSize = 65535;
constexpr u16 kVarFirstQueue = 37;
constexpr u16 kVarPushOnlyCount = 39;  // VarCount: sum of groups 30-38

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

// Creates the store block (called by MemInit). On a layout that cannot fit
// the block it records 159 and leaves the store unusable: every set fails.
u16 VarStoreInit();
// The store's block, null before VarStoreInit (freed by MemShutdown).
void* VarStoreBlock();

StrSlice VarGet(u16 group, u16 idx);
u16 VarSet(u16 group, u16 idx, StrSlice text);
u16 VarPush(u16 group, StrSlice text);
StrSlice VarTop(u16 group);
u16 VarPop(u16 group);
StrSlice VarPopValue(u16 group);
u16 VarDelete(u16 group, u16 idx);
u16 VarStackTrim(u16 group, u16 n);
u16 VarCount(u16 group);
u16 VarEntryIndex(u16 group, u16 idx, bool record);

}  // namespace vk
