// The run log: a plain-text file to which a run appends one line per event,
// and framed entries (a head with date and time, the text, a closing rule)
// such as the assertion check writes. Lines are gated by the system variable
// _TRACE: a line is written only when the caller's flag bits meet its value.
// Every write opens, appends to and closes the file, so a line is on disk
// when the call returns; nothing is buffered and no time stamp is added to
// plain lines. Line ends are CR LF, written as bytes.
//
// The log's name is variable group 9 entry 10; when that is empty it is the
// first two characters of the application's short name (item 1 of identity
// entry 2, items split at ':') followed by "log.txt", in the current folder.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Room for the default log name ("%slog.txt").
constexpr u16 kLogNameMax = 64;
// Flag bits for LogLine: ordinary lines pass kLogNormal (the default _TRACE).
enum : u8 { kLogNormal = 1 };

// The current log file name as one new scratch entry.
StrSlice LogFilePath();
// Names the log file and, once the name is stored, deletes any file of that
// name so the log starts fresh. An empty name changes nothing and gives 0;
// otherwise the store's result (nothing is deleted when it fails).
[[nodiscard]] u16 LogSetFile(StrSlice name);
// Appends text and CR LF to the log when (flags AND _TRACE) is not 0. An
// error slice is written as "Error #" and its code. A log that cannot be
// written loses the line silently.
void LogLine(StrSlice text, u8 flags);
// Holding the log: while pages are being written by other threads, the
// lines that follow a page's "Creating File:" line wait in memory, so that
// the log keeps the order of the run and says "...OK" only of a page whose
// file is in place. Positions count the bytes held since LogHoldStart.
// Starts holding (nothing when holding already).
void LogHoldStart();
// The position after the lines held so far.
u32 LogHoldMark();
// Writes the held lines before position upto (in one write, whole or not
// at all).
void LogHoldRelease(u32 upto);
// Stops holding: writes the rest with keep, else forgets it.
void LogHoldEnd(bool keep);
// Appends text and CR LF to the named file (an error slice as for LogLine):
// 1 when the name is not empty (whether or not the write succeeded), else 0
// with nothing written.
u8 LogAppendLine(StrSlice file_name, StrSlice text);
// Appends one framed entry to the named file, or to the log when the name
// is empty, creating the file when missing. 0; 164 with the path as the
// error detail when the file cannot be opened; 131 when the entry could not
// be written whole. Not gated by _TRACE.
[[nodiscard]] u16 LogWriteEntry(StrSlice text, StrSlice file_name);

}  // namespace vk
