#include "script/variables.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/numtext.h"
#include "script/valtable.h"

namespace vk {

namespace {


// The system variables in creation order, each with its default after '='
// (0 when none); their numbers are their positions.
constexpr char kSysIntList[] =
    "_AUXSTAT,_RELRES,_CURFIL,_CUREDFLD,_DEVHIG=24,_DEVWID=80,_DEVLIN,_DEVPOS,_DEVPAG,"
    "_CURROW,_STAT,_LASTKEY=4,_SGN,_UPSTAT=1,_IER,_SYSCOMPAT,_SQLSTK,_COUNT,_HCOUNT,"
    "_ADMSTAT,_COMPAT,_SCRSTAT,_LMAX,_LNUM,_LLST,_HNUM,_SAFE,_LB=128,_AUX,_KEYMAP,"
    "_SERIAL,_TRACE=1,_PRECIS=2,_BYEAR=2000,_BKYEAR=80,_DX,_INHND,_OUTHND,_DATE,"
    "_DOCST,_WMAXROW,_USER01,_USER02,_USER03";
constexpr char kSysTextList[] = "_ACUM$,_ACUMX$,_LTEXT$";

// Dot constants: names (without the '.') and their values.
constexpr char kDotNames[] = "lf$,tab$,pchr$,null$";
const StrSlice kDotValues[] = {{"\r\n", 2}, {"\t", 1}, {"\\", 1}, kStrEmpty};

// The built-in function names, as the lexer's list stores them when no
// stored list (group 0 entry 8, NUL-separated) exists yet.
constexpr char kFuncList[] =
    "_#,FN#FLEN,FN#SLEN,FN#PARM,FN#VALN,FN#ACUM,CHK#,FILEFIND,FILEREL,FILELOCATE,FILESEL,"
    "FN$CHNG,FN$CHRS,FN$DATE,FN$FLDS,FN$MASK,FN$MIDS,FN$PARM,FN$TRIM,ENVELOP$,CHK$,SORT$,"
    "EXEC$,READ$,WRITE,MACRO$,ENVRON$,_$,KEY$,TIME$,IER,EXP$,SQLCHILD";
constexpr u16 kFuncListEntry = 8;
constexpr u16 kFuncBuiltinArray = 1;  // `_#`
constexpr char kBuiltinArrayName[] = "_#(";

constexpr u16 kNumSize = 8;
constexpr u16 kIntSize = 2;
constexpr u16 kMaxPrecis = 18;
// The argument group's mark of an argument left empty.
constexpr char kOmittedArg = 0x1B;

// Value table 6 elements hold a pointer: 40 bytes on a 64-bit build, so the
// table's 65535 bytes hold at most 1638 arrays.
static_assert(sizeof(void*) != 8 || sizeof(ArrayDesc) == 40);

// The list that holds names of each kind.
u16 ListOfKind(u16 kind) {
  switch (kind) {
    case kVarNum: return kListNums;
    case kVarText: return kListTexts;
    case kVarArray: return kListArrays;
    default: return kListInts;
  }
}

bool HasChar(StrSlice s, char c) {
  return s.ptr && s.len && std::memchr(s.ptr, c, s.len) != nullptr;
}

// 10^_PRECIS, exact; settings outside 0..18 are taken as their nearest end
// so that no scaling can overflow the factor itself.
i64 ScaleFactor() {
  i16 d = SysVarGet(kSysPrecis);
  if (d < 0) d = 0;
  if (d > static_cast<i16>(kMaxPrecis)) d = static_cast<i16>(kMaxPrecis);
  i64 f = 1;
  for (i16 k = 0; k < d; ++k) f *= 10;
  return f;
}

// value x factor, wrapping like every interpreter product.
i64 ScaleUp(i64 value, i64 factor) {
  return static_cast<i64>(static_cast<u64>(value) * static_cast<u64>(factor));
}

i64 ReadNum(const char* p) {
  i64 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

u16 PushNum(i64 v) {
  char b[kNumSize];
  std::memcpy(b, &v, sizeof v);
  return WorkPush(b, kNumSize);
}

// Pushes text as a value of kind: an integer text (or yes-word) scaled, the
// text itself, or a decimal number; 147 for any other kind.
u16 PushTyped(u16 kind, StrSlice text) {
  switch (kind) {
    case kVarInt: return PushNum(ScaleUp(static_cast<i16>(StrValue(text)), ScaleFactor()));
    case kVarText: return WorkPush(text.ptr ? text.ptr : kStrEmpty.ptr, text.len);
    case kVarNum: return PushNum(TextToFix(text));
    default: return kErrSyntax;
  }
}

LibVarHook VarHook() {
  return reinterpret_cast<LibVarHook>(LibHookGet(kHookVariables));
}

bool IsSystemName(StrSlice name) { return name.ptr && name.len && name.ptr[0] == '_'; }

// 1-based number of name among the built-in functions, 0 when none: as
// written, then once more upper-cased.
u16 FuncNumber(StrSlice name) {
  const StrSlice stored = StoreGet(kGroupIdentity, kFuncListEntry);
  const bool use_stored = stored.len > 0;
  const StrSlice list = use_stored ? stored : StrSlice{kFuncList, sizeof kFuncList - 1};
  const char sep = use_stored ? '\0' : ',';
  u16 k = ListFind(list, name, sep);
  if (k == 0) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const StrSlice upper = StrCase(name, kUpper);
    if (upper.ptr) k = ListFind(list, upper, sep);
    WorkMark(mark);
  }
  return k;
}

// Stores the 8-byte value of an integer or number variable; an integer
// gets the value rounded to a whole number, its low 16 bits kept.
u16 StoreNumeric(u16 kind, u16 number, StrSlice value) {
  if (value.len != kNumSize) return kErrTypeMismatch;
  const i64 v = ReadNum(value.ptr);
  if (kind == kVarNum) {
    return ValTabPut(kTabNums, number, &v, kNumSize) ? 0 : kErrOutOfMemory;
  }
  const i16 low = IntLowBits(NumDivRound(v, ScaleFactor()));
  return ValTabPut(kTabInts, number, &low, kIntSize) ? 0 : kErrOutOfMemory;
}

// Position of the element with the given indices, in 64 bits so that no
// index can wrap into another element.
u64 ElemPosition(const ArrayDesc* d, u16 count, const u16* indices) {
  u64 pos = 0;
  u64 stride = 1;
  for (u16 k = count; k-- > 0;) {
    pos += indices[k] * stride;
    stride *= k < kArrayMaxDims ? d->extent[k] : 0;
  }
  return pos;
}

}  // namespace

// ---------------------------------------------------------------- start/end

u16 SysVarInit(void*) {
  const WorkMarkId outer = WorkMark(kMarkQuery);
  u16 rc = MemInit();
  if (rc == 0) rc = ValTabInit();
  const StrSlice ints{kSysIntList, sizeof kSysIntList - 1};
  const StrSlice texts{kSysTextList, sizeof kSysTextList - 1};
  const u16 n_ints = ListCount(ints, ',');
  const u16 n_texts = ListCount(texts, ',');
  for (u16 g = 1; rc == 0 && g <= n_ints + n_texts; ++g) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const StrSlice item = g <= n_ints ? ListItem(ints, ',', g) : ListItem(texts, ',', static_cast<u16>(g - n_ints));
    const u16 eq = StrFindChar(item, '=', kPlain);
    const StrSlice name = eq == kNotFound ? item : StrMid(item, 0, eq);
    const StrSlice def = eq == kNotFound ? kStrEmpty : StrMid(item, static_cast<i16>(eq + 1), kNotFound);
    rc = PushTyped(VarTypeOf(name), def);
    if (rc == 0) rc = VarAssign(name, WorkTop());
    WorkMark(mark);
  }
  if (MemIsInit()) WorkMark(outer);
  return rc;
}

u16 VarShutdown() {
  VarArraysFree();
  ValTabFreeAll();
  return MemShutdown();
}

// ---------------------------------------------------------------- names

u16 VarTypeOf(StrSlice name) {
  if (HasChar(name, '@')) return kVarNone;
  if (HasChar(name, '(')) return kVarArray;
  if (HasChar(name, '$')) return kVarText;
  if (HasChar(name, '#')) return kVarNum;
  return name.ptr && name.len ? kVarInt : kVarNone;
}

u16 VarElemTypeOf(StrSlice name) {
  if (!name.ptr || name.len == 0) return kVarNone;
  return VarTypeOf(StrSlice{name.ptr, static_cast<u16>(name.len - 1)});
}

VarRef VarLookup(StrSlice name) {
  const u16 kind = VarTypeOf(name);
  const u16 list = ListOfKind(kind);
  VarRef r{VarTypeWord(kind, list), kNotFound};
  if (!name.ptr || name.len == 0) return r;
  const u16 k = ListFind(StoreGet(kGroupVarNames, list), name, ',');
  if (k) r.number = static_cast<u16>(k - 1);
  return r;
}

VarRef VarCreate(StrSlice name, u32 type) {
  VarRef r{type, kNotFound};
  const u16 list = VarListOf(type);
  if (list > kListArrays || !name.ptr || name.len == 0) return r;
  // A separator or a quote inside a name would split or join list items
  // and renumber every later variable.
  if (HasChar(name, ',') || HasChar(name, '\'') || HasChar(name, '"')) return r;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice old = StoreGet(kGroupVarNames, list);
  const u16 count = ListCount(old, ',');
  const StrSlice joined = StrJoin(old, StrSlice{",", 1}, name);
  if (joined.ptr && count < kNotFound && StoreSet(kGroupVarNames, list, joined) == 0) r.number = count;
  WorkMark(mark);
  return r;
}

// ---------------------------------------------------------------- values

StrSlice VarDotConst(StrSlice name) {
  if (!name.ptr || name.len < 2 || name.ptr[0] != '.' || static_cast<u8>(name.ptr[1]) <= '@' ||
      VarTypeOf(name) != kVarText) {
    return StrErrorSlice(kErrData);
  }
  const StrSlice rest{name.ptr + 1, static_cast<u16>(name.len - 1)};
  const u16 k = ListFind(StrSlice{kDotNames, sizeof kDotNames - 1}, rest, ',');
  return k ? kDotValues[k - 1] : StrErrorSlice(kErrData);
}

StrSlice StrVarGet(u16 n) { return StoreGet(kGroupStrVars, n); }

StrSlice StrVarSet(u16 n, StrSlice text) {
  // The store adds empty entries up to n, so a variable whose number lies
  // beyond the group's count is stored rather than lost.
  if (const u16 rc = StoreSet(kGroupStrVars, n, text)) return StrErrorSlice(rc);
  return StoreGet(kGroupStrVars, n);
}

u16 VarAssign(StrSlice name, StrSlice value) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = StrError(value);
  // Work from a scratch copy: the value may lie in the store, which moves.
  if (status == 0) status = WorkPush(value.ptr, value.len);
  bool normal_path = status == 0;
  if (normal_path) {
    value = WorkTop();
    LibVarHook hook = VarHook();
    if (hook && IsSystemName(name)) {
      status = WorkPush(value.ptr, value.len);
      if (status == 0) status = StrError(hook(name, kHookAssign));
      normal_path = status == kErrData;  // not the hook's name
    }
  }
  if (normal_path) {
    status = 0;
    const u16 kind = VarTypeOf(name);
    if (kind == kVarNone || kind == kVarArray) {
      status = kErrSyntax;  // nothing to store into
    } else if (VarDotConst(name).ptr) {
      // Dot constants are read-only: the assignment stores nothing, and the
      // value assigned stays the statement's value, so a script that
      // assigns one goes on as it would have.
    } else {
      VarRef r = VarLookup(name);
      if (r.number == kNotFound) r = VarCreate(name, r.type);
      if (r.number == kNotFound) {
        status = kErrVarName;
      } else if (kind == kVarText) {
        status = StrError(StrVarSet(r.number, value));
      } else {
        status = StoreNumeric(kind, r.number, value);
      }
    }
  }
  if (status == 0) {
    WorkReturn(mark, value);
    return 0;
  }
  WorkMark(mark);
  return ErrSet(kErrFirst, kWhereInterpAssign, status, status);
}

u16 VarValuePush(StrSlice name) {
  const u16 kind = VarTypeOf(name);
  LibVarHook hook = VarHook();
  if (hook && IsSystemName(name)) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const StrSlice r = hook(name, kHookRead);
    u16 status = StrError(r);
    if (status == 0) {
      status = PushTyped(kind, r);
      if (status == 0) {
        WorkReturn(mark, WorkTop());
        return 0;
      }
    }
    WorkMark(mark);
    if (status != kErrData) return status;
  }
  const VarRef r = VarLookup(name);
  switch (kind) {
    case kVarInt: {
      const i16 v = r.number == kNotFound ? 0 : SysVarGet(r.number);
      return PushNum(ScaleUp(v, ScaleFactor()));
    }
    case kVarNum:
      return PushNum(r.number == kNotFound ? 0 : NumVarGet(r.number));
    case kVarText: {
      StrSlice v = VarDotConst(name);
      if (!v.ptr) v = r.number == kNotFound ? kStrEmpty : StrVarGet(r.number);
      return WorkPush(v.ptr, v.len);
    }
    default:
      return kErrSyntax;
  }
}

// ---------------------------------------------------------------- arrays

ArrayDesc* VarArrayDesc(u16 number) {
  if (ValTabInfo(kTabArrays, kValTabSize) != sizeof(ArrayDesc)) return nullptr;
  return reinterpret_cast<ArrayDesc*>(ValTabAt(kTabArrays, number));
}

u16 ArrayCreate(u32 type, u16 number, u16 kind, u16 dims, const u16* bounds) {
  if (VarKindOf(type) != kVarArray || dims == 0 || dims > kArrayMaxDims || !bounds) return kErrSyntax;
  if (kind != kVarInt && kind != kVarText && kind != kVarNum) return kErrSyntax;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ArrayDesc d{};
  d.kind = kind;
  d.dims = dims;
  u32 count = 1;
  for (u16 k = dims; k-- > 0;) {
    const u32 extent = u32{bounds[k]} + 1;
    count *= extent;
    if (count > kMaxText) {
      WorkMark(mark);
      return kErrStringTooLong;
    }
    d.extent[k] = static_cast<u16>(extent);
  }
  StrSlice init{};
  static const char kZeros[kNumSize] = {};
  if (kind == kVarText) {
    init = StorePopValue(kGroupFuncArgs);
    if (!init.ptr) {
      WorkMark(mark);
      return StrError(init);
    }
    if (init.len == 1 && init.ptr[0] == kOmittedArg) init.len = 0;  // an omitted argument
  } else {
    init = StrSlice{kZeros, kind == kVarInt ? kIntSize : kNumSize};
  }
  u16 rc = 0;
  const u32 bytes = count * init.len;
  if (count == 1 || init.len == 0) {
    rc = kErrSyntax;
  } else if (bytes > kMaxText) {
    rc = kErrStringTooLong;
  } else {
    d.count = static_cast<u16>(count);
    d.size = init.len;
    d.buf = MemBufInit(kOwnerArrays, static_cast<u16>(bytes));
    rc = d.buf.error;
    if (rc == 0) {
      d.buf.len = static_cast<u16>(bytes);
      rc = ArrayFill(&d, init, 0, kNotFound);
    }
    if (rc == 0) {
      // A descriptor already at this number gives up its buffer.
      // (Array buffers are all allocated for kOwnerArrays.)
      if (ArrayDesc* old = VarArrayDesc(number); old && old->buf.data) (void)MemBufFree(kOwnerArrays, &old->buf);
      if (!ValTabPut(kTabArrays, number, &d, sizeof d)) rc = kErrOutOfMemory;
    }
    if (rc != 0 && d.buf.data) (void)MemBufFree(kOwnerArrays, &d.buf);  // the failure is the one reported
  }
  WorkMark(mark);
  return rc;
}

u16 ArrayFill(ArrayDesc* desc, StrSlice elem, u16 from, u16 count) {
  if (!desc || !desc->buf.data || !elem.ptr) return kErrDataOutBound;
  const u16 end = count < desc->count ? count : desc->count;
  const u16 n = elem.len < desc->size ? elem.len : desc->size;
  for (u32 i = from; i < end; ++i) std::memmove(desc->buf.data + i * desc->size, elem.ptr, n);
  return 0;
}

u16 VarArrayFill(StrSlice name, StrSlice elem, u16 from, u16 count) {
  const VarRef r = VarLookup(name);
  ArrayDesc* d = r.number == kNotFound || VarKindOf(r.type) != kVarArray ? nullptr : VarArrayDesc(r.number);
  return d ? ArrayFill(d, elem, from, count) : u16{kErrDataOutBound};
}

u16 VarArrayDeclare(StrSlice name, u16 dims, const u16* bounds) {
  const u16 kind = VarElemTypeOf(name);
  if (VarTypeOf(name) != kVarArray || dims == 0 || dims > kArrayMaxDims) return kErrSyntax;
  if (kind != kVarInt && kind != kVarText && kind != kVarNum) return kErrSyntax;
  VarRef r = VarLookup(name);
  if (r.number != kNotFound) return kErrVarName;
  r = VarCreate(name, r.type);
  if (r.number == kNotFound) return kErrVarName;
  return ArrayCreate(r.type, r.number, kind, dims, bounds);
}

StrSlice VarArrayElem(u32 type, u16 number, u16 count, const u16* indices) {
  ArrayDesc* d = VarKindOf(type) == kVarArray ? VarArrayDesc(number) : nullptr;
  if (!d || !d->buf.data || (count && !indices)) return StrErrorSlice(kErrDataOutBound);
  const u64 pos = ElemPosition(d, count, indices);
  if (pos >= d->count) return StrErrorSlice(kErrDataOutBound);
  return StrSlice{reinterpret_cast<const char*>(d->buf.data + pos * d->size), d->size};
}

u16 VarIndexTake(StrSlice types, u16* out) {
  u16 count = static_cast<u16>(types.ptr ? types.len / 2 : 0);
  if (count > kArrayMaxDims) count = kArrayMaxDims;
  for (u16 k = 0; k < count; ++k) out[k] = 0;
  for (u16 k = count; k-- > 0;) {
    u16 t;
    std::memcpy(&t, types.ptr + 2 * k, sizeof t);
    if (t & 1) break;
    out[k] = static_cast<u16>(EvalPopInt());
  }
  return count;
}

u16 VarArrayGetAt(StrSlice name, u16 count, const u16* indices) {
  VarRef r = VarLookup(name);
  if (r.number == kNotFound) {
    if (const u16 rc = VarArrayDeclare(name, count, indices)) return rc;
    r = VarLookup(name);
    if (r.number == kNotFound) return kErrInternal;
  }
  const StrSlice e = VarArrayElem(r.type, r.number, count, indices);
  if (!e.ptr) return StrError(e);
  if (e.len == kIntSize && VarArrayDesc(r.number)->kind == kVarInt) {
    i16 v;
    std::memcpy(&v, e.ptr, sizeof v);
    return PushNum(ScaleUp(v, ScaleFactor()));
  }
  return WorkPush(e.ptr, e.len);
}

u16 VarArraySetAt(StrSlice name, StrSlice value, u16 count, const u16* indices) {
  if (const u16 rc = StrError(value)) return rc;
  const VarRef r = VarLookup(name);
  if (r.number == kNotFound || VarKindOf(r.type) != kVarArray) return kErrDimStruct;
  const StrSlice e = VarArrayElem(r.type, r.number, count, indices);
  if (!e.ptr) return StrError(e);
  char* dst = const_cast<char*>(e.ptr);
  if (VarArrayDesc(r.number)->kind == kVarInt) {
    // An integer element takes the whole part of the value (truncated, where
    // an integer variable rounds), its low 16 bits kept as a variable's are.
    const i64 v = value.len == kNumSize ? NumDivMod(ReadNum(value.ptr), ScaleFactor(), nullptr) : 0;
    const i16 low = IntLowBits(v);
    std::memcpy(dst, &low, sizeof low);
  } else {
    std::memmove(dst, value.ptr, value.len < e.len ? value.len : e.len);
  }
  return WorkPush(value.ptr, value.len);
}

void VarArraysFree() {
  for (u16 n = ValTabInfo(kTabArrays, kValTabCount); n-- > 0;) {
    ArrayDesc* d = VarArrayDesc(n);
    if (d && d->buf.data) (void)MemBufFree(kOwnerArrays, &d->buf);  // allocated for kOwnerArrays
  }
}

bool VarDeclare(StrSlice name) {
  if (name.ptr && name.len && name.ptr[name.len - 1] == '(') --name.len;
  const u16 f = FuncNumber(name);
  if (f == 0) return false;
  if (f == kFuncBuiltinArray) {
    const StrSlice array{kBuiltinArrayName, sizeof kBuiltinArrayName - 1};
    if (VarLookup(array).number == kNotFound) {
      const u16 bound = kBuiltinArrayBound;
      if (VarArrayDeclare(array, 1, &bound) != 0) return false;
    }
  }
  return true;
}

i16 EvalPopInt() {
  if (StoreCount(kGroupFuncArgs) == 0) return -1;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice v = StorePopValue(kGroupFuncArgs);
  i16 r = -1;
  if (v.ptr) {
    r = 0;
    if (v.len == kNumSize) {
      const i64 q = NumDivRound(ReadNum(v.ptr), ScaleFactor());
      r = IntLowBits(q);
    }
  }
  WorkMark(mark);
  return r;
}

// ---------------------------------------------------------------- fixed answers

u16 DataFileOpenCount() { return 0; }

u16 FileNumCurrent(u16 n) {
  if (n != 0 && DataFileOpenCount() >= n) return n;
  return static_cast<u16>(SysVarGet(kSysCurfil));
}

StrSlice EmptyStrConst(u16, u16, u16) { return kStrEmpty; }

void Int3Clear(u32* record) {
  if (record) std::memset(record, 0, 3 * sizeof(u32));
}

}  // namespace vk
