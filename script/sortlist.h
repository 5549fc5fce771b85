// Sorted lists of fixed-width items for scripts, and the one-call sort of a
// separated text.
//
// A list's items live in one tracked block (owner 12), stored back to back
// in order. A script holds a list as its handle: the 24 raw bytes of its
// SortList record. The record names the list by a slot of a fixed table and
// a serial number instead of an address; the table keeps the list's true
// state, and every operation checks the record against it first. A handle
// that was forged, that was taken before the list last changed (an ADD), or
// whose list was freed is refused with 147. Only the cursor (and the error
// field) may differ between valid copies of a handle.
//
// Sizes are computed in 32 bits: a list that would pass 65535 bytes or
// 65535 items is refused with 146 and stays as it was.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Record flags.
enum : u8 {
  kSortUnique = 0x01,      // an item with an equal key is refused (5)
  kSortDescending = 0x02,
  kSortNulSep = 0x40,      // text sort: items separated by NUL, not ','
  kSortTrimItems = 0x80,   // text sort: trailing blanks dropped on output
};

// Status of an insert whose equal key was refused (not an error).
constexpr u16 kSortDuplicate = 5;
// Status of a move that left the cursor outside the items.
constexpr u16 kSortOutside = 2;

// Cursor move codes; only the bits kSortMoveMask of a code count, and any
// other combination leaves the cursor where it is.
enum : u16 {
  kSortMoveNone = 0,
  kSortMoveNext = 16,
  kSortMovePrev = 20,
  kSortMoveLast = 32,
  kSortMoveFirst = 36,
  kSortMoveMask = 0x34,
};

// Items room of a new list's block.
constexpr u32 kSortInitialItems = 256;
// Lists that can exist at once.
constexpr u16 kSortListSlots = 64;

// The handle's bytes. A script sees it as an opaque 24-byte text.
struct SortList {
  u32 serial;    // changes whenever the list changes; 0 = no list
  u16 slot;      // index in the list table
  u16 used;      // bytes of items
  u16 capacity;  // bytes of the block
  u16 error;     // last error of an operation on this record
  u16 key_len;   // leading bytes of an item that are compared
  u16 width;     // bytes of every item
  u16 count;     // number of items
  u16 cursor;    // 0-based current item
  u8 flags;
  u8 reserved[3];
};
static_assert(sizeof(SortList) == 24, "the handle text is 24 bytes");
constexpr u16 kSortHandleLen = sizeof(SortList);

// A new empty list: key length the smaller of the two numbers, item width
// the larger, a block for 256 items of the first number's width (at most
// 65535 bytes). On failure the record has serial 0 and its error field set
// (145 when no block or table slot is left).
SortList SortListNew(u16 width, u16 key_len, u8 flags);
// 0 and the item stored in order; 5 for an equal key with kSortUnique; 163
// for an item longer than the width; 146 past 65535 bytes or items; 147 for
// an invalid record; 145 when the block cannot grow (also in the record's
// error field). Only success changes the list and the record.
[[nodiscard]] u16 SortListInsert(StrSlice item, SortList* rec);
// Moves the cursor by code: 0, or 2 when it ends outside the items (it is
// then put on the last item, 0 for an empty list); 147 for an invalid
// record (cursor unchanged).
[[nodiscard]] u16 SortListMove(u16 code, SortList* rec);
// The item at the cursor after the move with that code (0: no move), pushed
// as one new scratch entry with the blanks that fill it to the width; the
// empty text when the move reports 2, the error slice 147 for an invalid
// record.
StrSlice SortListGet(u16 code, SortList* rec);
// Frees the list; the status of freeing its block, or 147 for an invalid
// record. Every copy of its handle is invalid afterwards.
[[nodiscard]] u16 SortListFree(SortList* rec);
// Frees every list still allocated (for library shutdown); the first error.
[[nodiscard]] u16 SortListFreeAll();
// The items of a ','-list (NUL-list with kSortNulSep) sorted under flags,
// each padded to the longest item (cut back with kSortTrimItems), joined
// with the separator; empty items are left out of the join. Quoted items
// are sorted as they stand, quotes counted in the width. One new scratch
// entry, or an error slice (145, 146).
StrSlice SortListSortText(StrSlice text, u8 flags);

// Already-evaluated arguments of a SORT$ call, as the argument reader
// stores them by type: types[i] is 0 for a number (numbers[i], a 16-bit
// integer) or 1 for a text (texts[i]); count is the number of arguments
// given, which may exceed the four that are kept.
constexpr u16 kSortMaxArgs = 4;
struct SortArgs {
  u16 count;
  u16 types[kSortMaxArgs];
  i16 numbers[kSortMaxArgs];
  StrSlice texts[kSortMaxArgs];
};

// The SORT$ handler. Argument 1 is a command of "NEW,ADD,MOVE,GET,KILL" or
// a text to sort. Leaves exactly one new scratch entry (the result, the
// empty text on failure) and returns the status: 147 for a wrong count or
// type or an invalid handle, ADD's insert status, KILL's free status. MOVE
// stores its move status in _IER and answers 0.
[[nodiscard]] u16 FnSort(const SortArgs& args);

}  // namespace vk
