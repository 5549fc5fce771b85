// Result codes, their fixed names, and the one recorded error of the process
// (LastError) with its free detail text (variable group 9, entry 9).
//
// 0 success; 1 the interpreter's "result is a text"; 2-121 no error (shown
// as a caution); 122-127 warnings; 128 and above errors. The first error of
// 128 or more stays recorded; only a forced record (kind 2) replaces it.
#pragma once
#include "runtime/slice.h"

namespace vk {

enum : u16 {
  kOk = 0,
  kResultText = 1,
  kFirstWarning = 122,
  kFirstError = 128,

  kErrCancelled = 122,        // "Cancelado por el usuario"
  kErrEmptyExpr = 123,        // "Expresion Nula"
  kWarnUndefined = 124,       // "Aviso Indefinido"
  kWarnAtypical = 125,        // "Tipo Atipico"
  kWarnBadData = 126,         // "Datos incorrectos"
  kWarnNoData = 127,          // "No hay datos"
  kErrTypeMismatch = 128,     // "Tipos Incompatibles"
  kErrLoop = 129,
  kErrDiskIO = 130,           // end of file while reading a line
  kErrFileIO = 131,           // short write
  kErrProcExec = 132,
  kErrProcStack = 133,
  kErrTransUp = 134,
  kErrVarHandle = 135,
  kErrRead = 136,
  kErrWrite = 137,
  kErrOpen = 138,
  kErrNetwork = 139,
  kErrBadExpression = 140,
  kErrInternal = 141,         // owner mismatch on free
  kErrFarHeapInit = 142,
  kErrScreenEnv = 143,
  kErrIndexCmd = 144,
  kErrOutOfMemory = 145,      // scratch stack or heap exhausted
  kErrStringTooLong = 146,
  kErrSyntax = 147,
  kErrFeatureRemoved = 148,   // absent modules
  kErrDimStruct = 149,
  kErrBadStringType = 150,
  kErrBadFileNumber = 151,
  kErrFormatFailure = 152,
  kErrStrConcat = 153,
  kErrMemoryAlloc = 154,      // pointer not a tracked block
  kErrExpCalc = 155,
  kErrLoadStr = 156,
  kErrVarName = 157,
  kErrBadCommandLine = 158,
  kErrStrOutBound = 159,
  kErrMemTest = 160,
  kErrFileOutBound = 161,
  kErrSql = 162,
  kErrData = 163,             // missing or unusable name or text
  kErrFileNotFound = 164,
  kErrFileExists = 165,
  kErrFileOpen = 166,
  kErrChildExec = 167,
  kErrDataOutBound = 168,
  kErrFileNotInit = 169,
  kErrCommonCtl = 170,
  kErrDeviceTimeout = 171,
  kErrDeviceIO = 172,
  kErrSystemCmd = 173,
  kErrUserCheck = 174,
  kErrPermission = 175,
  kErrStructMem = 176,
  kErrScreenStruct = 177,
  kErrMemoryLeaks = 178,
  kErrWindowsControl = 179,
  kErrMemoryOverflow = 180,   // guard bytes damaged
  kErrScreenField = 181,
  kErrReserved182 = 182,      // "Codigo Reservado"
  kErrDataExists = 183,
  kErrLocalOnly = 184,
  kErrGraphics = 185,
  kLastNamedCode = 185,
};

// Module numbers recorded with an error (1-based items of the module-name
// list of the diagnostics); 0 names no module.
enum : i16 {
  kWhereNone = 0,
  kWhereMemStart = 1,
  kWhereVarAssign = 2,
  kWhereReplace = 3,
  kWhereInterpAssign = 4,
  kWhereExprExec = 11,
  kWhereVarIndex = 14,
  kWhereFormat = 16,
  kWhereFileStream = 17,
};

// How ErrSet records.
enum : u16 {
  kErrKeep = 0,    // record nothing, return 0
  kErrFirst = 1,   // record only the first error of 128 or more
  kErrForce = 2,   // always record
};

struct LastError {
  u16 code;
  i16 where;
};

// Records under kind's rule and returns result (0 for kind 0).
u16 ErrSet(u16 kind, i16 where, u16 code, u16 result);
// The recorded code in the low 16 bits, the module in the high 16 bits.
u32 ErrGet();
// ErrSet(kind, where, code, code); the error slice of code when that is
// non-zero, else s unchanged.
StrSlice ErrSlice(u16 kind, i16 where, u16 code, StrSlice s);
// Sets (or, with append, extends by CR LF + text) the error detail; returns
// code. Before appending, a detail over 1024 bytes is cut back line by line
// (newest lines first; one without a CR is dropped). An error slice counts
// as the empty text. A store without room keeps the old detail; the failure
// is not reported and the recorded error stays as it was.
u16 ErrMsgAppend(u16 code, StrSlice text, bool append);
// The current error detail (empty when unset); valid until the store changes.
StrSlice ErrDetail();
// The fixed name of a code: item code-121 of the 64 names, else "Indefinido".
StrSlice ErrCodeName(u16 code);

}  // namespace vk
