// Entry points of modules this program does not contain: the record-file
// engine (numbered data-file channels), record buffers and external command
// execution. Each has its operation's signature and ignores its arguments, so
// every caller takes its path for an absent channel or record.
//
// Reporting stubs set the error detail to their own name (replacing it),
// record nothing as the process's error, and return 148 (kErrFeatureRemoved).
// Constant stubs answer with a fixed empty value.
#pragma once
#include "runtime/slice.h"

namespace vk {

// The answer of DataFileStubChannel: no channel is open.
constexpr u16 kDataFileNoChannel = 255;

// A data-file channel's descriptor. No channel ever has one here.
struct DataFileDesc;

// Reporting stubs.
[[nodiscard]] u16 BufferFldPutExp(u16 file, u16 field, StrSlice text);
[[nodiscard]] u16 BufferKeySet(u16 file, u16 index, StrSlice key);
[[nodiscard]] u16 CgiCmdExec(StrSlice command, StrSlice args, u16 mode);
[[nodiscard]] u16 DataFileCounter(u16 file, u16 counter);
[[nodiscard]] u16 DataFileDelete(u16 file);
[[nodiscard]] u16 DataFileFind(u16 file, u16 index, StrSlice key);
[[nodiscard]] u16 DataFileInsert(u16 file);
[[nodiscard]] u16 DataFileMove(u16 file, u16 code);
[[nodiscard]] u16 DataFileMoveExt(u16 file, u16 code, StrSlice key);
[[nodiscard]] u16 DataFileSelect(StrSlice name, u16 mode);
[[nodiscard]] u16 DataFileRelUpdate(u16 file, u8 related, i64 third, u16 flags, StrSlice rest);

// Constant stubs.
// The four field and record readers give the empty text (a valid pointer,
// length 0; no scratch entry).
// A field of a channel's record buffer, as a built-in function reads it.
StrSlice BufferFldGet(u16 file, u16 field);
// One occurrence of a repeating field.
StrSlice BufferFldGetOcc(u16 file, u16 field, u16 occurrence);
// A field as an expression operand reads it (BufferFldPutExp writes it).
StrSlice BufferFldGetExp(u16 file, u16 field);
// The record text of a channel that an index finds for a key.
StrSlice DataFileRecordText(u16 file, u16 index, StrSlice key, u16 flags);
// kDataFileNoChannel.
u16 DataFileStubChannel();
// Null for every channel: callers skip their data-file branch.
const DataFileDesc* DataFileInfo(u16 channel);
// Its text unchanged.
StrSlice DataFileStubPass(StrSlice text, u16 a, u16 b);
// kNotFound.
u16 DataFileStubNone(u16 value);

}  // namespace vk
