#include "script/eval.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/stubs.h"
#include "runtime/varstore.h"
#include "script/arrays.h"
#include "script/exprtables.h"
#include "script/funcdispatch.h"
#include "script/numtext.h"
#include "script/valtable.h"
#include "script/variables.h"

namespace vk {

namespace {

// Current nesting of operands, operator loops and the evaluations inside
// them. Every recursion of the evaluator passes through one of the two.
u16 g_depth = 0;

bool DepthEnter() {
  if (g_depth >= kExprMaxDepth) return false;
  ++g_depth;
  return true;
}

void DepthLeave() { --g_depth; }

// Leaves only the newest entry above mark.
void KeepTop(WorkMarkId mark) {
  if (WorkMark(kMarkQuery) > mark + 1) WorkReturn(mark, WorkTop());
}

bool Fits(i128 v) { return v >= INT64_MIN && v <= INT64_MAX; }

i128 Pow10(u16 n) {
  i128 p = 1;
  while (n--) p *= 10;
  return p;
}

// Whether pattern occurs in text, letter case ignored; the empty pattern
// occurs in every text.
bool ContainsNoCase(StrSlice text, StrSlice pattern) {
  if (pattern.len > text.len) return false;
  for (u32 i = 0; i + pattern.len <= text.len; ++i) {
    u16 k = 0;
    while (k < pattern.len && StrCharUpper(text.ptr[i + k]) == StrCharUpper(pattern.ptr[k])) ++k;
    if (k == pattern.len) return true;
  }
  return false;
}

bool IsComparison(u16 op) { return op >= kOpGt && op <= kOpNe; }

bool CompareHolds(u16 op, int c) {
  switch (op) {
    case kOpGt: return c > 0;
    case kOpLt: return c < 0;
    case kOpEq: return c == 0;
    case kOpGe: return c >= 0;
    case kOpLe: return c <= 0;
    case kOpNe: return c != 0;
    default: return false;
  }
}

// The operand's whole text for the error detail: with its (...) part.
StrSlice OperandText(const ExprCursor& c) {
  u32 n = c.operand_len;
  if (c.cls & (kCallFlags | kClassSubExpr)) n += u32{c.inner} + 2;
  if (u32{c.start} + n > c.length) n = c.length > c.start ? c.length - c.start : 0;
  return StrSlice{c.text + c.start, static_cast<u16>(n)};
}

// The evaluator's own steps, defined beside the public ones they serve.
u16 ExprConstOrNumber(StrSlice operand);
u16 ExprBraceOperand(StrSlice operand);
// The operator on left and the number on the scratch top; pushes the result.
ExprCursor ExprNumOp(i64 left, ExprCursor right, u16 op);
// The operator on left and the text on the scratch top.
ExprCursor ExprStrOp(StrSlice left, ExprCursor right, u16 op);
// -1, 0 or 1; equality with '*' patterns unless _AUXSTAT bit 128 is set.
i16 ExprStrCompare(StrSlice left, StrSlice right, u16 op);
u16 ExprAssign(ExprCursor target, ExprCursor value, bool release);

}  // namespace

// ---------------------------------------------------------------- entry points

u16 ExprEval(StrSlice text) {
  const WorkMarkId outer = WorkMark(kMarkQuery);
  ExprCursor c = ExprCursorInit(text);
  if (c.status) {
    WorkMark(outer);
    return c.status;
  }
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (u16 err = WorkPush("", 0)) {
    WorkMark(outer);
    return ErrSet(kErrFirst, kWhereExprExec, err, err);
  }

  u16 stmt_start = 0;
  do {
    c.status = 0;
    stmt_start = c.pos;
    c = ExprOperand(c);
    c = ExprBinaryOps(c, 0);
    KeepTop(mark);
  } while (c.pos < c.length && c.status != kErrCancelled && c.status < kFirstError);

  const bool is_text = (c.cls & kClassTextBit) != 0;
  if (is_text && c.status == kWarnAtypical) {
    WorkReturn(mark, "", 0);
    c.status = 0;
  }
  ErrSet(kErrFirst, kWhereExprExec, c.status, c.status);
  if (c.status >= kFirstError) {
    u32 n = c.length - stmt_start;
    const u32 limit = text.len > stmt_start ? text.len - stmt_start : 0;
    if (n > limit) n = limit;
    ErrMsgAppend(c.status, StrSlice{c.text + stmt_start, static_cast<u16>(n)}, true);
  }
  WorkReturn(outer, WorkTop());
  if (c.status != 0 && c.status != kErrEmptyExpr) return c.status;
  return is_text ? kResultText : 0;
}

StrSlice ExprEvalStr(StrSlice text) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 r = ExprEval(text);
  if (r == 0) return WorkReturn(mark, FixToText(ValNumber(WorkTop())));
  if (r == kResultText) return WorkReturn(mark, WorkTop());
  WorkMark(mark);
  return StrErrorSlice(r);
}

i16 ExprEvalInt(StrSlice text) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 v = 0;
  if (ExprEval(text) == 0) {
    v = static_cast<i16>(NumDivRoundWide(ValNumber(WorkTop()), NumScaleFactor()));
  }
  WorkMark(mark);
  return v;
}

u16 ExprEvalCond(StrSlice text) {
  if (text.ptr && text.len == 0) return 1;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 r = ExprEval(text);
  u16 cond = 0;
  if (r == 0) {
    cond = ValNumber(WorkTop()) != 0 ? 1 : 0;
  } else if (r >= kFirstWarning) {
    cond = r;
  }
  WorkMark(mark);
  return cond;
}

u16 ExprExec(StrSlice text) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 r = ExprEval(text);
  WorkMark(mark);
  return r >= kFirstError ? r : 0;
}

// ---------------------------------------------------------------- arguments

FuncArgTypes FuncArgsCollect(ExprCursor call, u16 max, ExprCursor* out) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ExprCursor a = ExprCursorSet(call);
  u16 types[kFuncMaxArgs];
  u16 n = 0;
  while (n < kFuncMaxArgs && n < max && a.pos < a.length && a.status == 0) {
    a = ExprOperand(a);
    a = ExprBinaryOps(a, 0);
    if (a.status < kFirstError) {
      static constexpr char kOmitted[] = {kArgOmitted};
      const StrSlice v = a.status == kErrEmptyExpr ? StrSlice{kOmitted, 1} : WorkTop();
      types[n++] = a.status == kErrEmptyExpr ? u16{0} : static_cast<u16>(a.cls & kClassTextBit);
      a.status = StorePush(kGroupFuncArgs, v);
    }
    WorkMark(mark);
  }
  if (out) *out = a;
  if (a.status && n > 0) return StrErrorSlice(a.status);
  return WorkReturn(mark, reinterpret_cast<const char*>(types), static_cast<u16>(n * sizeof(u16)));
}

u16 FuncArgTotal(FuncArgTypes types) { return types.ptr ? static_cast<u16>(types.len / 2) : u16{0}; }

u16 FuncArgType(FuncArgTypes types, u16 n) {
  if (n == 0 || n > FuncArgTotal(types)) return 0;
  u16 word = 0;
  std::memcpy(&word, types.ptr + 2 * (n - 1), sizeof word);
  return word & 1;
}

// ---------------------------------------------------------------- operands

ExprCursor ExprOperand(ExprCursor c) {
  const bool after_assign = c.op == kOpAssign;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  c = ExprNextToken(c);
  // An assignment target is not read: the assignment uses its name.
  if (c.status || c.op == kOpAssign) return c;
  if (!DepthEnter()) {
    c.status = ErrMsgAppend(kErrOutOfMemory, OperandText(c), true);
    return c;
  }
  const StrSlice operand{c.text + c.start, c.operand_len};
  u16 st = 0;
  if (c.cls & kClassSubExpr) {
    const u16 r = ExprEval(StrSlice{c.text + c.start + 1, c.inner});
    c.cls = r;
    st = r > kResultText ? r : 0;
  } else if (c.operand_len == 0) {
    st = ValPushRaw(0);
    if (st == 0) st = kErrEmptyExpr;
  } else if (c.cls & kCallUser) {
    st = ExprUserCall(operand, c);
  } else if (c.cls & kCallBuiltin) {
    st = FuncCall(c);
  } else if (c.cls & kClassField) {
    st = ExprBraceOperand(operand);
  } else if (c.cls & kClassVarBit) {
    st = VarValuePush(operand);
  } else if (c.cls & kClassTextBit) {
    st = StrError(StrNormalize(operand));
  } else if (c.cls) {
    st = kErrSyntax;
  } else {
    st = ExprConstOrNumber(operand);
  }
  if (st == kWarnAtypical && after_assign) st = kErrTypeMismatch;
  if (st >= kFirstError) ErrMsgAppend(st, OperandText(c), true);
  KeepTop(mark);
  c.status = st;
  DepthLeave();
  return c;
}

u16 ExprUserCall(StrSlice operand, ExprCursor c) {
  u16 idx[kArrayMaxDims] = {};
  u16 st = 0;
  if (operand.ptr[0] != '_') {
    // An array element: the name with its '(' names the array.
    return VarArrayGet(StrSlice{operand.ptr, static_cast<u16>(operand.len + 1)}, c);
  }
  // A function of the embedding application. Without one the call is an
  // error: it must not pass an older value off as its result.
  const auto hook = reinterpret_cast<ExprCallHook>(LibHookGet(kHookUserCall));
  if (!hook) return kErrSyntax;
  const u16 depth = StoreCount(kGroupFuncArgs);
  const u16 count = VarIndexParse(c, idx, &st);
  st = ArrayArgsEnd(depth, st);
  if (st) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice r = hook(operand, count, idx);
  st = StrError(r);
  if (st == 0) st = ValPushTyped(VarTypeOf(operand), r);
  if (st == 0) {
    WorkReturn(mark, WorkTop());
  } else {
    WorkMark(mark);
  }
  return st;
}

namespace {

u16 ExprConstOrNumber(StrSlice operand) {
  if (operand.len > 1 && operand.ptr[0] == '.' && static_cast<u8>(operand.ptr[1]) > '@') {
    const StrSlice name{operand.ptr + 1, static_cast<u16>(operand.len - 1)};
    i16 value = 0;
    if (ExprDotConstFind(name, &value)) return ValPushInt(value);
    // An unknown dot name is read as the number after the dot: 0.
    return ValPushDecimal(name);
  }
  return ValPushDecimal(operand);
}

u16 ExprBraceOperand(StrSlice) {
  // The data-file layer is absent, so every field reference is empty: it
  // names no field and file 0, whose number is the value.
  return WorkPush("0", 1);
}

}  // namespace

// ---------------------------------------------------------------- operators

ExprCursor ExprBinaryOps(ExprCursor l, u16 floor) {
  if (!DepthEnter()) {
    l.status = kErrOutOfMemory;
    return l;
  }
  const WorkMarkId mark = WorkMark(kMarkQuery);
  while (l.status < kFirstError && l.op != kOpNone && l.prec >= floor) {
    KeepTop(mark);
    const StrSlice left = WorkTop();
    const bool left_text = (l.cls & kClassTextBit) != 0;
    ExprCursor r = ExprOperand(l);
    if (r.status == kErrEmptyExpr && (left_text || r.op == kOpNone)) {
      // An empty operand may only stand before another operator.
      r.status = kErrSyntax;
    } else {
      // Higher precedence on the right binds first; an empty operand takes
      // every following operator of at least its own precedence with it.
      while (r.status < kFirstError && (r.prec > l.prec || (r.operand_len == 0 && r.inner == 0))) {
        if (r.op == kOpNone) {
          r.status = kErrSyntax;
          break;
        }
        r = ExprBinaryOps(r, r.prec);
      }
    }
    if (r.status == 0) {
      const bool right_text = (r.cls & kClassTextBit) != 0;
      if (l.op == kOpAssign) {
        r.status = ExprAssign(l, r, true);
      } else if (!left_text && !right_text) {
        r = ExprNumOp(ValNumber(left), r, l.op);
      } else if (left_text && right_text) {
        r = ExprStrOp(left, r, l.op);
      } else if (!left_text && (l.cls & kClassFieldText) == kClassField) {
        // A numeric field on the left reads the text on the right as a number.
        r.status = ValPushDecimal(WorkTop());
        if (r.status == 0) r = ExprNumOp(ValNumber(left), r, l.op);
      } else {
        r.status = kErrTypeMismatch;
      }
    }
    l = r;
  }
  KeepTop(mark);
  l.cls &= kClassTextBit;
  DepthLeave();
  return l;
}

namespace {

ExprCursor ExprNumOp(i64 left, ExprCursor r, u16 op) {
  const i128 a_raw = left;
  const i128 b_raw = ValNumber(WorkTop());
  const i128 s = NumScaleFactor();
  const i128 a = a_raw / s;  // integer parts, truncated toward zero
  const i128 b = b_raw / s;
  i128 v = 0;
  switch (op) {
    case kOpMul: v = NumDivRoundWide(a_raw * b_raw, s); break;
    case kOpDiv: v = b_raw == 0 ? 0 : NumDivRoundWide(s * a_raw, b_raw); break;
    case kOpDecimals: {
      // B decimals: fewer than the scale's round A to a multiple of the
      // dropped unit, keeping the scale; as many or more leave A as it is.
      const i128 d = NumPrecis();
      const i128 n = b;
      if (n >= d) {
        v = a_raw;
      } else {
        constexpr i128 kBeyond = 20;  // 10^20 exceeds twice any 64-bit value
        const i128 drop = d - n;
        const i128 unit = Pow10(static_cast<u16>(drop > kBeyond ? kBeyond : drop));
        v = NumDivRoundWide(a_raw, unit) * unit;
      }
      break;
    }
    case kOpPercent: v = NumDivRoundWide(NumDivRoundWide(a_raw * b_raw, 100), s); break;
    case kOpLessPercent: v = a_raw - NumDivRoundWide(NumDivRoundWide(a_raw * b_raw, 100), s); break;
    case kOpAdd: v = a_raw + b_raw; break;
    case kOpSub: v = a_raw - b_raw; break;
    case kOpGt: case kOpLt: case kOpEq: case kOpGe: case kOpLe: case kOpNe: {
      const int c = a_raw < b_raw ? -1 : (a_raw > b_raw ? 1 : 0);
      v = CompareHolds(op, c) ? s : 0;
      break;
    }
    case kOpBitAnd: v = s * (a & b); break;
    case kOpBitOr:
    case kOpBitOrAt: v = (a & b) == 0 ? s * (a | b) : 0; break;
    case kOpAnd: v = (a_raw != 0 && b_raw != 0) ? s : 0; break;
    case kOpOr: v = (a_raw != 0 || b_raw != 0) ? s : 0; break;
    case kOpDisjoint: v = ((a | b) != 0 && (a & b) == 0) ? s : 0; break;
    default:
      r.status = kErrSyntax;
      return r;
  }
  r.cls &= static_cast<u16>(~kClassTextBit);
  // A result beyond 64 bits is refused, never wrapped. Its code is the one
  // scripts have always met for it; the detail says what happened.
  r.status = Fits(v) ? ValPushRaw(static_cast<i64>(v))
                     : ErrMsgAppend(kErrStringTooLong, StrC("number overflow: the result does not fit in 64 bits"), false);
  return r;
}

ExprCursor ExprStrOp(StrSlice left, ExprCursor r, u16 op) {
  const StrSlice right = WorkTop();
  if (op == kOpAdd) {
    r.status = WorkPushConcat(left, right);
    r.cls |= kClassTextBit;
  } else if (IsComparison(op)) {
    const bool holds = CompareHolds(op, ExprStrCompare(left, right, op));
    r.status = ValPushRaw(holds ? NumScaleFactor() : 0);
    r.cls &= static_cast<u16>(~kClassTextBit);
  } else {
    r.status = kErrSyntax;
  }
  return r;
}

i16 ExprStrCompare(StrSlice left, StrSlice right, u16 op) {
  left = StrOrEmpty(left);
  right = StrOrEmpty(right);
  const int plain = StrCompare(left, right);
  if (op != kOpEq || plain == 0 || SysVarTest(kSysAuxstat, kAuxNoWildcard)) return static_cast<i16>(plain);
  const void* star = right.len ? std::memchr(right.ptr, '*', right.len) : nullptr;
  if (!star) return static_cast<i16>(plain);
  const u16 k = static_cast<u16>(static_cast<const char*>(star) - right.ptr);
  if (k > 0) {
    // "abc*": the texts' first k bytes, letter case ignored.
    for (u16 i = 0; i < k; ++i) {
      if (i >= left.len) return -1;
      const u8 x = static_cast<u8>(StrCharUpper(left.ptr[i]));
      const u8 y = static_cast<u8>(StrCharUpper(right.ptr[i]));
      if (x != y) return x < y ? -1 : 1;
    }
    return 0;
  }
  // "*abc": contains, up to the next '*', letter case ignored.
  StrSlice pattern{right.ptr + 1, static_cast<u16>(right.len - 1)};
  if (const void* next = pattern.len ? std::memchr(pattern.ptr, '*', pattern.len) : nullptr) {
    pattern.len = static_cast<u16>(static_cast<const char*>(next) - pattern.ptr);
  }
  return ContainsNoCase(left, pattern) ? 0 : 1;
}

}  // namespace

// ---------------------------------------------------------------- assignment

namespace {

u16 ExprAssign(ExprCursor target, ExprCursor value, bool release) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 st = 0;
  if (value.op == kOpAssign) {
    // a=b=x: the middle name first receives the operand after its '='.
    const ExprCursor next = ExprOperand(value);
    st = next.status >= kFirstError ? next.status : ExprAssign(value, next, false);
  }
  if (st == 0) {
    const StrSlice name{target.text + target.start, target.operand_len};
    const StrSlice v = WorkTop();
    bool declared = false;
    if (target.cls & kCallBuiltin) {
      declared = VarDeclare(name);
      if (!declared) st = kErrSyntax;
    }
    if (st) {
      // nothing to store into
    } else if (((target.cls & kCallUser) || declared) && name.len > 0) {
      st = VarArraySet(StrSlice{name.ptr, static_cast<u16>(name.len + 1)}, v, target);
    } else if (target.cls & kClassField) {
      const StrSlice text = (value.cls & kClassTextBit) ? v : FixToText(ValNumber(v));
      st = BufferFldPutExp(0, 0, text);
    } else if (!(target.cls & kClassVarBit)) {
      st = kErrSyntax;
    } else if ((target.cls & kClassTextBit) == (value.cls & kClassTextBit)) {
      st = VarAssign(name, v);
    } else {
      st = kErrTypeMismatch;
    }
  }
  if (release) KeepTop(mark);
  return st;
}

}  // namespace

}  // namespace vk
