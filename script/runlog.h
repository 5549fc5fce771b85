// The run log: a plain-text file to which a run appends one line per event,
// and framed entries (a head with date and time, the text, a closing rule)
// such as the assertion check writes. Lines are gated by the system variable
// _TRACE: a line is written only when the caller's flag bits meet its value.
// A line goes to the file in one write when the call returns (the file stays
// open from one line to the next), unless the log is being held (below); no
// time stamp is added to plain lines. Line ends are CR LF, written as bytes.
// A line the file cannot take is lost, and remembered (LogLost).
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
// Holding the log: while a run's files wait to be put in place, the lines
// that follow wait in memory, so that the log keeps the order of the run and
// says "...OK" only of a page whose file is in place. Positions count the
// bytes held since LogHoldStart.
// Starts holding (nothing when holding already).
void LogHoldStart();
// The position after the lines held so far.
u32 LogHoldMark();
// Writes the held lines before position upto (in one write, whole or not
// at all).
void LogHoldRelease(u32 upto);
// Stops holding: writes the rest with keep, else forgets it.
void LogHoldEnd(bool keep);
// True when a line could not be written to the log since it was named
// (LogSetFile), with *err (when given) the system's reason for the first.
bool LogLost(int* err);
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
