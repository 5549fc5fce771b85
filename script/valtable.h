// Value tables: 24 numbered growable arrays of fixed-size elements holding
// the interpreter's typed values (table 6 array descriptors, 7 the 16-bit
// integer variables whose first 44 elements are the system variables, 8 the
// 64-bit number variables, 9 the page tree's nodes). A table's element size
// is fixed by its first store; growing zero-fills. Headers and data are
// tracked blocks of owner 15. Also the system-variable accessors and the
// library's hook table (empty in this program).
//
// A table holds at most 65535 bytes (count x size is a 16-bit quantity) and
// element indices 0 to 65534. Elements that hold pointers are larger on a
// 64-bit build, so such tables hold fewer elements: the slot array (8-byte
// pointers) could hold 8191, the array descriptors (40 bytes) 1638.
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr u16 kValTabSlots = 24;
constexpr u32 kValTabMaxBytes = 0xFFFF;

// Slots with a fixed use.
enum : u16 {
  kTabArrays = 6,   // ArrayDesc per array variable
  kTabInts = 7,     // integer and system variables, 2 bytes each
  kTabNums = 8,     // number variables, 8 bytes each
  kTabNodes = 9,    // page tree nodes
};

// The system variables: integer variables 0 to 43, in creation order.
enum : u16 {
  kSysAuxstat = 0,
  kSysRelres = 1,
  kSysCurfil = 2,
  kSysCuredfld = 3,
  kSysDevhig = 4,
  kSysDevwid = 5,
  kSysDevlin = 6,
  kSysDevpos = 7,
  kSysDevpag = 8,
  kSysCurrow = 9,
  kSysStat = 10,
  kSysLastkey = 11,
  kSysSgn = 12,
  kSysUpstat = 13,
  kSysIer = 14,
  kSysSystemCompat = 15,  // _SYSCOMPAT: the library's own bits (0x02 while a run lasts)
  kSysSqlstk = 16,
  kSysCount = 17,
  kSysHcount = 18,
  kSysAdmstat = 19,
  kSysScriptCompat = 20,  // _COMPAT: for scripts; nothing in the library reads it
  kSysScrstat = 21,
  kSysLmax = 22,
  kSysLnum = 23,
  kSysLlst = 24,
  kSysHnum = 25,
  kSysSafe = 26,
  kSysLb = 27,
  kSysAux = 28,
  kSysKeymap = 29,
  kSysSerial = 30,
  kSysTrace = 31,
  kSysPrecis = 32,
  kSysByear = 33,
  kSysBkyear = 34,
  kSysDx = 35,
  kSysInhnd = 36,
  kSysOuthnd = 37,
  kSysDate = 38,
  kSysDocst = 39,
  kSysWmaxrow = 40,
  kSysUser01 = 41,
  kSysUser02 = 42,
  kSysUser03 = 43,
  kSysVarCount = 44,
};

// The text system variables: entries of variable group 13.
enum : u16 {
  kStrVarAcum = 0,   // _ACUM$
  kStrVarAcumx = 1,  // _ACUMX$
  kStrVarLtext = 2,  // _LTEXT$
  kStrSysVarCount = 3,
};

// Bits of _AUXSTAT.
enum : u16 {
  kAuxEmptyDate = 0x0040,    // an empty date stays empty
  kAuxNoWildcard = 0x0080,   // no '*' wildcard in text equality
  kAuxNoHtml = 0x2000,       // suppresses all HTML output
  kAuxRunFlag = 0x4000,      // mirrors a generation-run flag
};

// Bits of _SAFE (page access check).
enum : u16 {
  kSafeAccessFile = 0x0001,  // consult the access file of the page's folder
  kSafeRemoteUser = 0x0002,  // take the user from REMOTE_USER
};

struct ValTab {
  u8* data;
  u16 size;   // element size in bytes
  u16 count;  // number of elements
};

// 0, or 176 when the slot array cannot be allocated. A slot array that
// still exists is kept; one left behind by an earlier memory manager (no
// longer a tracked block) is forgotten and made anew.
[[nodiscard]] u16 ValTabInit();
// Frees every table and the slot array, which is then forgotten.
void ValTabFreeAll();
// Frees table n and empties its slot; an empty slot is left alone.
void ValTabFreeSlot(u16 n);
// Stores size bytes of data as element i of table n (creating the table on
// first use, growing it to i + 1 elements with zeros) and returns the
// element's address. Null, changing nothing, when size differs from the
// table's element size, n or i is out of range, the table would pass 65535
// bytes, memory is refused or there is no slot array. A null data stores
// zeros.
u8* ValTabPut(u16 n, u16 i, const void* data, u16 size);
// Address of element i of table n, or null.
u8* ValTabAt(u16 n, u16 i);
enum : u16 { kValTabCount = 0, kValTabSize = 1 };
// kValTabCount: element count; kValTabSize: element size; 0 otherwise.
u16 ValTabInfo(u16 n, u16 mode);
// A new table of count zeroed elements of size bytes; null when refused
// (size 0 or more than 65535 bytes included). count may be 0.
ValTab* ValTabNew(u16 count, u16 size);
// Address of slot n (0-23); null before ValTabInit or out of range.
ValTab** ValTabSlot(u16 n);
void ValTabDelete(ValTab* table);
// Resizes to n elements (gained ones zero, lost ones gone); n = 0 frees data
// and header (the caller empties the slot). 0, or 145 when the new block is
// refused, 146 when n elements would pass 65535 bytes: the table stays.
[[nodiscard]] u16 ValTabResize(ValTab* table, u16 n);

// Integer and system variables (table 7). An integer keeps the low 16 bits
// of a whole number, never an error: 49152 reads back as -16384 and 70000
// as 4464, and a flag word such as 32768 | 16384 keeps its bits.
inline i16 IntLowBits(i64 value) {
  // Taken through unsigned, so that no conversion can overflow.
  return static_cast<i16>(static_cast<u16>(static_cast<u64>(value)));
}
i16 SysVarGet(u16 n);
// Stores the low 16 bits of value (growing the table); returns the stored
// value, or 0 when it could not be stored.
i16 SysVarSet(u16 n, i64 value);
bool SysVarTest(u16 n, u16 bits);
// Sets (set != 0) or clears bits in variable n; whether any of bits is set
// afterwards.
bool SysVarFlags(u16 n, u16 bits, u16 set);

// Number variables (table 8): 8-byte fixed-point values.
i64 NumVarGet(u16 n);
// The stored value, or 0 when it could not be stored.
i64 NumVarSet(u16 n, i64 value);

// Hook table: 25 entries of the embedding application, all empty here.
constexpr u16 kLibHookCount = 25;
enum : u16 {
  kHookVariables = 0,  // names beginning '_'
  kHookExec = 1,       // EXEC$ commands
  kHookUserCall = 2,   // name( that is neither a built-in nor an array
  kHookFileRel = 3,    // FILEREL
};
// Entries are stored untyped; each user casts to its entry's signature.
using LibHookFn = void (*)();
// Entry 0: the name and a mode (kHookRead, kHookAssign; on assign the value
// is the scratch top); a value slice, or an error slice (163: not the
// hook's name, the normal path runs).
using LibVarHook = StrSlice (*)(StrSlice name, u16 mode);
enum : u16 { kHookRead = 1, kHookAssign = 5 };

// Entry n; null when empty or n is above 24.
LibHookFn LibHookGet(u16 n);
// For an embedding application (nothing in this program calls it); false
// when n is above 24.
bool LibHookSet(u16 n, LibHookFn fn);

}  // namespace vk
