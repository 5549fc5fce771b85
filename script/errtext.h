// Error texts and diagnostics: the text users see for a result code (a base
// text per code; for errors the catalogue's prefix, the failing module's
// name and the error detail), the message box that shows it, a check that
// enough scratch marks are left, and an assertion that stops the program
// with a box and a log entry.
//
// The module name and the detail always come from the recorded error of the
// process, whatever code is asked for. Text results are one new scratch
// entry.
#pragma once
#include "runtime/slice.h"

namespace vk {

// The modules an error can be recorded in; the recorded `where` is the
// 1-based item number.
constexpr char kErrModuleNames[] =
    "STRINGINIT,STRINGASSIGN,STRCONCAT,VARNMASSIGN,SQLCONNECT,SQLEXEC,"
    "EXEC_COMPILER,Malloc-MemAcums,ExecRunTime,VarStruct,ExpExec,Sort,"
    "BufferFld,DynStrings,StructFuncs,FormatStrings,Streams,DataFile,"
    "LocalLists,Screens,Devices,HtmlScan";
constexpr u16 kErrModuleCount = 22;

// ErrTextBase: the code that stands for the recorded error.
constexpr i16 kErrRecorded = -1;
// MemRoomCheck: the marks that must have stayed free; its flag for a check.
constexpr u16 kRoomMarksReserve = 12;
enum : u8 { kRoomCheckMarks = 0 };
// The file that failed assertions are logged to (in the current folder).
constexpr char kAssertLogName[] = "assertions.log";
constexpr char kAssertTitle[] = "Assertion Fail";

// The name of module where (1-22), the empty text for any other number;
// points into the constant list.
StrSlice ErrModuleName(i16 where);
// The base text of a code: 0 the success message, 1-120 the caution text,
// 121 and 126 the error detail (or the code's name when it is empty), every
// other code its name. kErrRecorded stands for the recorded code, when one
// is recorded.
StrSlice ErrTextBase(i16 code);
// The base text; for codes of 128 and more prefixed by the error message's
// text and followed by "(module)" when the recorded error names a module
// and ": detail" when the detail is not empty.
StrSlice ErrText(u16 code);
// Shows ErrText(code) in a message box (an error box titled by message 0013
// for codes of 128 and more, else a warning box titled by message 0012),
// then empties the error detail; the result is that store's result. The
// recorded error stays.
[[nodiscard]] u16 ErrShowMessage(u16 code);
// With kRoomCheckMarks: 145 when the scratch stack's deepest mark so far
// left fewer than kRoomMarksReserve marks free, else 0. Any other flag: 0.
[[nodiscard]] u16 MemRoomCheck(u8 flag);
// Does nothing while condition holds. Otherwise shows text in an error box
// titled kAssertTitle, appends it as a framed entry to kAssertLogName and
// ends the process at once, without clean-up.
void AssertCheck(bool condition, StrSlice text);

}  // namespace vk
