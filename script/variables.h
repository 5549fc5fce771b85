// The interpreter's named variables. A name's kind follows from its
// characters ('@' none, '(' array, '$' text, '#' number, else integer); its
// number is its 0-based position in one of four ','-lists of names (entries
// 0-3 of variable group 12), handed out in creation order and never reused.
// Integers live in value table 7, numbers in table 8, texts in group 13,
// array descriptors in table 6. Numbers travel as 8-byte fixed-point values
// scaled by 10^_PRECIS on the scratch stack.
//
// SysVarInit starts the library (tracked memory, value tables, then the 44
// integer and 3 text system variables with their defaults); VarShutdown
// frees the array buffers, the value tables and then tracked memory.
#pragma once
#include "runtime/memory.h"
#include "runtime/slice.h"

namespace vk {

// Variable kinds (the low half of a type word).
enum : u16 {
  kVarNone = 0,
  kVarInt = 2,
  kVarText = 3,
  kVarNum = 6,
  kVarArray = 16,
};

// Name lists (the high half of a type word).
enum : u16 {
  kListInts = 0,
  kListNums = 1,
  kListTexts = 2,
  kListArrays = 3,
};

constexpr u16 kArrayMaxDims = 4;
// The built-in number array, created on its first assignment.
constexpr u16 kBuiltinArrayBound = 256;

struct VarRef {
  u32 type;    // kind | list << 16
  u16 number;  // kNotFound when the name is not in its list
};

inline u32 VarTypeWord(u16 kind, u16 list) { return kind | (u32{list} << 16); }
inline u16 VarKindOf(u32 type) { return static_cast<u16>(type & 0xFFFF); }
inline u16 VarListOf(u32 type) { return static_cast<u16>(type >> 16); }

// One per array, element `number` of value table 6. Elements lie one after
// another in the buffer (owner 10), the last index running fastest.
struct ArrayDesc {
  u16 kind;       // element kind: kVarInt, kVarText or kVarNum
  u16 size;       // element size in bytes
  u16 dims;       // 1 to 4
  u16 count;      // product of the extents
  u16 extent[kArrayMaxDims];  // bound + 1 per declared dimension, else 0
  MemBufB buf;
};

// Library start and end. SysVarInit takes the start hook's argument, which
// it ignores, so it can be handed to AppStartup as it is.
[[nodiscard]] u16 SysVarInit(void* instance = nullptr);
// The result of MemShutdown: 0 when everything was released.
[[nodiscard]] u16 VarShutdown();

u16 VarTypeOf(StrSlice name);
// The kind of name without its last character (L$( gives kVarText).
u16 VarElemTypeOf(StrSlice name);
// The name's type word and number (kNotFound when absent).
VarRef VarLookup(StrSlice name);
// Appends name to the list of type's high half: its new number, or
// kNotFound when the list cannot hold it (also for an empty name or one
// holding ',' or a quote, which would break the list's numbering).
VarRef VarCreate(StrSlice name, u32 type);

// Assigns value (a number is exactly 8 bytes) to the variable, creating it.
// 0 leaves a copy of the value as the new scratch top; a dot constant
// stores nothing and also answers 0. Failures are recorded (where-code 4)
// and the variable keeps its value: 147 for a name of kind 0 or an array
// name, 128 for a value that is not a number given to an integer or number
// variable, 157 when the name cannot be stored, 159 / 145 when the value
// cannot be.
[[nodiscard]] u16 VarAssign(StrSlice name, StrSlice value);
// Pushes the variable's value; unknown variables read as 0 or the empty
// text and are not created. 147 for kind 0 and array names.
[[nodiscard]] u16 VarValuePush(StrSlice name);
// Text variable n: the empty text when it does not exist.
StrSlice StrVarGet(u16 n);
// Stores text as text variable n (entries below n that do not exist yet are
// added empty) and returns the stored text, or an error slice (159: no
// room) with nothing stored.
StrSlice StrVarSet(u16 n, StrSlice text);
// The value of a dot constant (.lf$, .tab$, .pchr$, .null$), or the error
// slice 163 when name is not one.
StrSlice VarDotConst(StrSlice name);

// Arrays.
// For the left side of an assignment that names a built-in function: true
// when it is to be stored as an array element (the built-in number array is
// declared on first use).
bool VarDeclare(StrSlice name);
// Declares the array name (holding '(') with dims bounds: 157 when it exists
// or cannot be named; ArrayCreate's codes.
[[nodiscard]] u16 VarArrayDeclare(StrSlice name, u16 dims, const u16* bounds);
// Creates the descriptor and buffer of array `number`. A text array's first
// element is taken off the argument group (35) and fixes the element size.
// 147 for a wrong kind, 0 or more than 4 dimensions, one element or size 0;
// 146 when the element count or the buffer would pass 65535; 145 on memory.
[[nodiscard]] u16 ArrayCreate(u32 type, u16 number, u16 kind, u16 dims, const u16* bounds);
// Copies elem into the elements from `from` up to min(count, element count)
// (kNotFound: to the end); 168 without a buffer.
[[nodiscard]] u16 ArrayFill(ArrayDesc* desc, StrSlice elem, u16 from, u16 count);
// ArrayFill on the named array; 168 when it does not exist.
[[nodiscard]] u16 VarArrayFill(StrSlice name, StrSlice elem, u16 from, u16 count);
// The descriptor of array `number`, or null.
ArrayDesc* VarArrayDesc(u16 number);
// The element's bytes (a slice into the buffer), or the error slice 168
// when its position is at or beyond the element count.
StrSlice VarArrayElem(u32 type, u16 number, u16 count, const u16* indices);
// Takes the collected index arguments off the argument group, last first,
// each as EvalPopInt; a text argument stops the taking and counts, with all
// before it, as index 0 (and stays on the group). types is the argument
// type list (one u16 per argument, 1 = text); at most 4 are used. Returns
// the count of indices written to out.
u16 VarIndexTake(StrSlice types, u16* out);
// Pushes element indices of the named array, declaring it with the indices
// as bounds when it does not exist. An integer element reads as a number.
[[nodiscard]] u16 VarArrayGetAt(StrSlice name, u16 count, const u16* indices);
// Stores value into an element of the named array and pushes the value: 149
// when the array does not exist, 168 for a position outside it. An integer
// element takes the number truncated toward zero (a value that is not 8
// bytes counts as 0); text and number elements take the value's bytes from
// their start, cut to the element size.
[[nodiscard]] u16 VarArraySetAt(StrSlice name, StrSlice value, u16 count, const u16* indices);
// Frees every array's element buffer, the last array first.
void VarArraysFree();

// The next argument of group 35 as a 16-bit integer (rounded half away from
// zero); -1 when the group is empty, 0 for a text.
i16 EvalPopInt();

// Fixed answers of the absent data-file layer.
u16 DataFileOpenCount();
u16 FileNumCurrent(u16 n);
StrSlice EmptyStrConst(u16 a, u16 b, u16 c);
void Int3Clear(u32* record);

}  // namespace vk
