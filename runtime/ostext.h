// The operating-system boundary. Its modules (ostext, osproc, osfile, osdir,
// oslock, ostemp) are the only ones of the library that call the system for
// files, folders, the current directory, the environment and the
// executable's path, and this one is the only place that converts between
// the two worlds of text:
//  - inside, every text is 8-bit (Latin-1 / windows-1252) and paths use '\';
//  - outside, names are UTF-8 and paths use '/'.
// Library -> system: '\' becomes '/', each Latin-1 byte becomes its UTF-8
// form. System -> library: '/' becomes '\' (paths only), UTF-8 becomes
// Latin-1, and a character outside Latin-1 becomes '?'. File contents are
// bytes and pass through unconverted.
//
// Texts returned as StrSlice are one new scratch entry (or an error slice
// when the scratch stack is full).
#pragma once
#include "runtime/slice.h"

namespace vk {

// Longest system path the boundary builds (bytes, with the final NUL).
constexpr u32 kOsPathMax = 4096;

// Latin-1 bytes of text as NUL-terminated UTF-8 in out; with path, '\'
// becomes '/'. Returns the UTF-8 length, or kOsTooLong when it (with the NUL)
// does not fit cap.
constexpr u32 kOsTooLong = 0xFFFFFFFF;
u32 OsToUtf8(StrSlice text, bool path, char* out, u32 cap);
// UTF-8 bytes [s, s+n) as Latin-1 in out (at most cap bytes); with path, '/'
// becomes '\'. A character outside Latin-1 (or a malformed sequence) gives
// '?' and sets *lossy when lossy is given. Returns the length written, or
// kOsTooLong when the result does not fit cap.
u32 OsFromUtf8(const char* s, u32 n, bool path, char* out, u32 cap, bool* lossy);
// The same onto the scratch stack: one new entry, or the error slice 146
// when the result passes 65535 bytes, 145 when the scratch stack is full.
StrSlice OsTextFromUtf8(const char* z, bool* lossy = nullptr);  // argv, values
StrSlice OsPathFromUtf8(const char* z, bool* lossy = nullptr);  // system paths

}  // namespace vk
