// Array elements in expressions: an element's index list, which the
// evaluator has just read, evaluated into indices, and the element read or
// stored through it. The arrays themselves are variables.h's.
//
// The contract on group 35: the index list's arguments are collected there;
// the trailing numbers are taken off as indices, and a text argument with
// everything before it stays on the group, because a text array that does
// not exist yet is created from it (ArrayCreate takes its first element off
// the group). So a caller notes the group's depth before the parse and
// trims the group back to it after the element was read or stored
// (ArrayArgsEnd), never between the two.
#pragma once
#include "runtime/slice.h"
#include "script/lexer.h"

namespace vk {

// The index list of an array element the cursor has just read: up to 4
// indices into idx, their count returned; *status gets an evaluation error
// of 128 or more (then the count is 0).
u16 VarIndexParse(ExprCursor call, u16* idx, u16* status);
// Group 35 back to the depth noted before an index parse; passes rc on.
[[nodiscard]] u16 ArrayArgsEnd(u16 depth, u16 rc);
// The element of the named array (name with its '(') whose index list the
// cursor has just read: pushed (VarArrayGet) or stored and pushed
// (VarArraySet); an error in the index list is the result.
[[nodiscard]] u16 VarArrayGet(StrSlice name, ExprCursor call);
[[nodiscard]] u16 VarArraySet(StrSlice name, StrSlice value, ExprCursor call);

}  // namespace vk
