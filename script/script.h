// Variable scripts: files of statements, one per line, run through the
// evaluator; assignment files rewritten with the current values of chosen
// variables; and assignment of a value text to a variable named by a text.
#pragma once
#include "runtime/slice.h"

namespace vk {

// ScriptRunFile flags.
enum : u16 { kScriptReportMissing = 0x01 };

// Runs the file (its %...% macros expanded; looked for as given, then in
// each folder of identity entry 5) with every line end (CR LF, LF or CR)
// taken as ';'. The evaluation's error code (128 or more), else 0. A
// missing, unreadable or empty file gives 164 with kScriptReportMissing
// (the expanded name becomes the error detail), else 0.
[[nodiscard]] u16 ScriptRunFile(StrSlice name, u16 flags);
// Rewrites the assignment file: first name=value for each variable of the
// comma list (an item "name=expression" takes that expression's value),
// then every statement of the old file whose name was not written yet. The
// new text replaces the file in one step (a temporary file renamed over
// it), so a failure keeps the old file; then the file is run.
[[nodiscard]] u16 VarFileUpdate(StrSlice file, StrSlice names);

// "name=value" for the variable name: a text variable's value quoted, an
// empty number "0"; the error slice 163 for an empty name.
StrSlice ExprAssignText(StrSlice name, StrSlice value);
// Assigns the value text to the variable or array element name names; with
// numeric 0 the text is read as a number first. 128 for a name that is
// neither.
[[nodiscard]] u16 VarAssignText(StrSlice name, StrSlice value, u8 numeric);

}  // namespace vk
