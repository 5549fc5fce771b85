#include "runtime/stubs.h"

#include "runtime/error.h"
#include "runtime/str.h"

namespace vk {
namespace {

// The detail names the missing entry point; the recorded error is left to
// the caller, which may record the 148 it receives.
u16 Absent(const char* name) { return ErrMsgAppend(kErrFeatureRemoved, StrC(name), false); }

}  // namespace

u16 BufferFldPutExp(u16, u16, StrSlice) { return Absent("BufferFldPutExp"); }
u16 BufferKeySet(u16, u16, StrSlice) { return Absent("BufferKeySet"); }
u16 CgiCmdExec(StrSlice, StrSlice, u16) { return Absent("CgiCmdExec"); }
u16 DataFileCounter(u16, u16) { return Absent("DataFileCounter"); }
u16 DataFileDelete(u16) { return Absent("DataFileDelete"); }
u16 DataFileFind(u16, u16, StrSlice) { return Absent("DataFileFind"); }
u16 DataFileInsert(u16) { return Absent("DataFileInsert"); }
u16 DataFileMove(u16, u16) { return Absent("DataFileMove"); }
u16 DataFileMoveExt(u16, u16, StrSlice) { return Absent("DataFileMoveExt"); }
u16 DataFileSelect(StrSlice, u16) { return Absent("DataFileSelect"); }
u16 DataFileRelUpdate(u16, u8, i64, u16, StrSlice) { return Absent("DataFileRelUpdate"); }

StrSlice BufferFldGet(u16, u16) { return kStrEmpty; }
StrSlice BufferFldGetOcc(u16, u16, u16) { return kStrEmpty; }
StrSlice BufferFldGetExp(u16, u16) { return kStrEmpty; }
StrSlice DataFileRecordText(u16, u16, StrSlice, u16) { return kStrEmpty; }
u16 DataFileStubChannel() { return kDataFileNoChannel; }
const DataFileDesc* DataFileInfo(u16) { return nullptr; }
StrSlice DataFileStubPass(StrSlice text, u16, u16) { return text; }
u16 DataFileStubNone(u16) { return kNotFound; }

}  // namespace vk
