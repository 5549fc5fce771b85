#include "script/fncontrol.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/funcargs.h"
#include "script/lexer.h"
#include "script/numtext.h"
#include "script/template.h"
#include "script/valtable.h"
#include "script/variables.h"

namespace vk {

namespace {

constexpr u16 kNumBytes = 8;
constexpr char kZeroNumber[kNumBytes] = {};

// FN#ACUM: expression, loop variable or condition, start or repeat
// condition, end.
constexpr u16 kAcumItems = 4;
enum : u16 { kAcumExpr = 0, kAcumVar = 1, kAcumStart = 2, kAcumEnd = 3 };
constexpr char kAcumNoRepeat[] = "0";

// EXP$: the placeholder of operand n.
constexpr char kExpPlaceholder[] = "$%s_";
constexpr u16 kExpPlaceholderMax = 16;

// MACRO$ flags; the low byte is also handed to the template expansion.
enum : u16 {
  kMacroWithDefaults = 0x04,  // fields looked up in the default text first
  kMacroEvaluate = 0x08,      // the expanded text is evaluated
  kMacroTplFlags = 0xFF,
};

// _#: keywords of its first argument, and the text variable whose ','
// list names positions of the array.
constexpr char kUnderKeywords[] = "CLS,DIM";
enum : u16 { kUnderCls = 1, kUnderDim = 2 };
constexpr u16 kUnderNameVar = 1;
constexpr char kUnderArray[] = "_#(";
constexpr u16 kUnderMaxArgs = 3;

// _$: the group read when none is named.
constexpr i16 kUnderStrGroup = kStoreFirstPushOnly;

// ENVRON$: identity entries that are parameter texts, read by key.
constexpr i16 kEnvKeyedLast = kIdCommandLine;

bool IsText(const ExprCursor& c) { return (c.cls & kClassTextBit) != 0; }

// Leaves only the newest entry above mark.
void KeepOne(WorkMarkId mark) {
  if (WorkMark(kMarkQuery) > mark + 1) WorkReturn(mark, WorkTop());
}

// One item of an argument list evaluated at the cursor: an operand and its
// operators. The value is the scratch top.
ExprCursor EvalItem(ExprCursor c) {
  c.status = 0;
  c = ExprOperand(c);
  return ExprBinaryOps(c, 0);
}

// The item without every pair of parentheses that encloses all of it:
// '((x))' becomes 'x', '(a)+(b)' stays as it is.
StrSlice Unwrap(StrSlice item) {
  while (item.len >= 2 && item.ptr[0] == '(' && item.ptr[item.len - 1] == ')') {
    ExprCursor c{};
    c.text = item.ptr;
    c.length = item.len;
    if (ExprMatchParen(c) != item.len - 2) break;
    item = StrSlice{item.ptr + 1, static_cast<u16>(item.len - 2)};
  }
  return item;
}

// True when the item is the name of a plain integer variable and nothing
// else (no type character, no index list, no operator).
bool IsPlainIntName(StrSlice item) {
  if (item.len == 0) return false;
  ExprCursor c{};
  c.text = item.ptr;
  c.length = item.len;
  c = ExprNextToken(c);
  return c.cls == kClassIntVar && c.start == 0 && c.operand_len == item.len;
}

// a, b and c as one new entry (or an error slice).
StrSlice Join3(StrSlice a, StrSlice b, StrSlice c) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (const u16 st = WorkPushConcat(a, b)) return StrErrorSlice(st);
  const StrSlice ab = WorkTop();
  if (const u16 st = WorkPushConcat(ab, c)) {
    WorkMark(mark);
    return StrErrorSlice(st);
  }
  return WorkReturn(mark, WorkTop());
}

// Adds the value of expr to the total: a number as it is, anything else
// read as decimal text. 0, or the status that ends the accumulation.
u16 AcumAdd(StrSlice expr, u64* total) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 r = ExprEval(expr);
  if (r >= kFirstError || r == kErrCancelled) {
    WorkMark(mark);
    return r;
  }
  const StrSlice v = WorkTop();
  i64 add = 0;
  u16 st = 0;
  if (r == kResultText || v.len != kNumBytes) {
    st = TextToFixCheck(v, &add);
  } else {
    add = ValNumber(v);
  }
  // The total wraps like the machine addition it stands for.
  if (st == 0) *total += static_cast<u64>(add);
  WorkMark(mark);
  return st;
}

// var = start, then expr added for every value of var up to limit.
u16 AcumCount(const StrSlice* item, u64* total) {
  const StrSlice var = item[kAcumVar];
  const i16 limit = ExprEvalInt(item[kAcumEnd]);
  // Checked before the start is assigned, so that a wrong loop variable is
  // never written.
  if (!IsPlainIntName(var)) return ErrMsgAppend(kErrSyntax, var, ErrDetail().len > 0);

  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice assign = Join3(var, Lit("="), item[kAcumStart]);
  u16 st = StrError(assign);
  if (st == 0) {
    st = ExprEval(assign);
    if (st == kResultText) st = 0;
  }
  WorkMark(mark);

  const u16 number = VarLookup(var).number;
  u32 passes = 0;
  while (st == 0 && ExprEvalInt(var) <= limit) {
    if (++passes > kAcumPassMax) return kErrLoop;
    st = AcumAdd(item[kAcumExpr], total);
    if (st) break;
    u8* slot = ValTabAt(kTabInts, number);
    if (!slot) {
      st = kErrInternal;
      break;
    }
    i16 v = 0;
    std::memcpy(&v, slot, sizeof v);
    // A 16-bit counter cannot pass its largest value: the loop that
    // reaches it ends there instead of wrapping around and never ending.
    if (v == INT16_MAX) break;
    ++v;
    std::memcpy(slot, &v, sizeof v);
  }
  return st;
}

// expr added once when the first condition holds, then again while the
// repeat condition holds.
u16 AcumWhile(const StrSlice* item, u64* total) {
  const StrSlice first = item[kAcumVar];
  u16 cond = ExprEvalCond(first);
  if (cond != 1) return cond;
  StrSlice again = item[kAcumStart];
  if (again.len == 0) again = first.len ? first : Lit(kAcumNoRepeat);
  u32 passes = 0;
  do {
    if (++passes > kAcumPassMax) return kErrLoop;
    if (const u16 st = AcumAdd(item[kAcumExpr], total)) return st;
    cond = ExprEvalCond(again);
  } while (cond == 1);
  return cond;
}

// The value pushed by FN$FLDS for a name that is neither a variable nor a
// call: the application's answer, if it has one.
u16 FieldsFromHook(StrSlice name, i16 occurrence) {
  const auto hook = reinterpret_cast<LibVarHook>(LibHookGet(kHookVariables));
  if (!hook) return kErrSyntax;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  // The hook is asked for the given occurrence of the name.
  const StrSlice r = hook(name, static_cast<u16>(occurrence));
  if (StrError(r) || r.len == 0) {
    WorkMark(mark);
    return kErrSyntax;
  }
  return StrError(WorkReturn(mark, r));
}

}  // namespace

u16 FnChk(const FuncCallInfo& call) {
  if (const u16 st = FuncArgCount(call.types, 1, 1)) return st;
  i16 cond = 0;
  if (const u16 st = FuncArgNum(call.types, 1, 0, &cond)) return st;
  const bool want_text = call.flag != 0;
  const WorkMarkId mark = WorkMark(kMarkQuery);

  ExprCursor c = call.after;
  bool evaluated = false;
  u16 st = 0;
  if (cond != 0) {
    // Only the then-item is evaluated; the items after it are left alone.
    c = EvalItem(c);
    KeepOne(mark);
    st = c.status;
    evaluated = true;
    if (st == kErrEmptyExpr && want_text) {
      WorkMark(mark);
      st = WorkPush("", 0);
      evaluated = false;
    }
  } else {
    c = ExprSkipToEnd(c);
    if (c.pos >= c.length) {
      st = want_text ? WorkPush("", 0) : ValPushRaw(0);
    } else {
      while (c.pos < c.length) {
        c = EvalItem(c);
        KeepOne(mark);
        st = c.status == kWarnAtypical ? u16{0} : c.status;
        evaluated = true;
        if (st == kErrCancelled || st >= kFirstError) break;
      }
    }
  }
  if (st == 0 && evaluated && IsText(c) != want_text) st = kWarnAtypical;
  if (st >= kFirstError) WorkMark(mark);
  return st;
}

u16 FnAcum(const FuncCallInfo& call) {
  const ExprCursor& a = call.after;
  const u16 rest_len = a.text && a.length > a.pos ? static_cast<u16>(a.length - a.pos) : 0;
  const StrSlice rest{a.text ? a.text + a.pos : "", rest_len};
  StrSlice item[kAcumItems];
  for (u16 k = 0; k < kAcumItems; ++k) item[k] = Unwrap(ExprArgText(rest, static_cast<u16>(k + 1)));

  u64 total = 0;
  const u16 st = item[kAcumEnd].len ? AcumCount(item, &total) : AcumWhile(item, &total);
  if (st >= kFirstError) return st;
  const u16 pushed = ValPushRaw(static_cast<i64>(total));
  return pushed ? pushed : st;
}

u16 FnExp(const FuncCallInfo& call) {
  if (const u16 st = FuncArgCount(call.types, 1, 1)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice tpl{};
  if (const u16 st = FuncArgStr(call.types, 1, kStrEmpty, &tpl)) return st;

  ExprCursor c = call.after;
  u32 n = 0;
  while (c.pos < c.length && c.status == 0) {
    c = ExprNextToken(c);
    ++n;
    char digits[kNumI32Digits];
    const StrSlice holder = StrFormatV(kExpPlaceholderMax, kExpPlaceholder, NumI32ToA(static_cast<i32>(n), digits, 10));
    const StrSlice token{c.text + c.start, c.operand_len};
    const StrSlice next = StrReplace(tpl, holder, token, kPlain);
    if (const u16 err = StrError(next)) {
      WorkMark(mark);
      return err;
    }
    tpl = WorkReturn(mark, next);
    if (const u16 err = StrError(tpl)) return err;
  }
  return StrError(WorkReturn(mark, tpl));
}

u16 FnMacro(const FuncCallInfo& call) {
  if (const u16 st = FuncArgCount(call.types, 1, 3)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice defaults{};
  StrSlice text{};
  i16 flags = 0;
  u16 st = FuncArgStr(call.types, 3, kStrEmpty, &defaults);
  if (st == 0) st = FuncArgNum(call.types, 2, 0, &flags);
  if (st == 0) st = FuncArgStr(call.types, 1, kStrEmpty, &text);
  if (st) {
    WorkMark(mark);
    return st;
  }
  const u16 f = static_cast<u16>(flags);
  StrSlice out = (f & kMacroWithDefaults) ? TplExpandWith(text, defaults)
                                          : TplExpand(text, static_cast<u16>(f & kMacroTplFlags));
  if (!StrError(out) && (f & kMacroEvaluate)) out = ExprEvalStr(StrTrim(out, kTrimBoth));
  if (const u16 err = StrError(out)) {
    WorkMark(mark);
    return err;
  }
  return StrError(WorkReturn(mark, out));
}

u16 FnFields(const FuncCallInfo& call) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const ExprCursor name_cur = ExprNextToken(call.after);
  const StrSlice name{name_cur.text + name_cur.start, name_cur.operand_len};

  i16 occurrence = 1;
  if (name_cur.pos < name_cur.length) {
    const ExprCursor c = ExprOperand(name_cur);
    u16 st = c.status;
    if (st < kFirstError && WorkMark(kMarkQuery) == mark) {
      st = kErrSyntax;  // an assignment target: nothing was read
    } else if (st < kFirstError && st != kErrEmptyExpr) {
      if (IsText(c)) {
        st = kErrTypeMismatch;
      } else {
        occurrence = static_cast<i16>(FixDivPow10(ValNumber(WorkTop()), NumPrecis()));
        st = 0;
      }
    } else if (st == kErrEmptyExpr) {
      st = 0;
    }
    WorkMark(mark);
    if (st) return st;
  }

  const u16 cls = name_cur.cls;
  u16 st = 0;
  if (name.len == 0 || (cls & kClassSubExpr)) {
    st = FieldsFromHook(name, occurrence);
  } else if (cls & kCallUser) {
    st = ExprUserCall(name, name_cur);
  } else if (cls & kCallBuiltin) {
    st = FuncCall(name_cur);
  } else if (cls & kClassField) {
    // A data-record field: without a data-file layer it holds nothing.
    st = WorkPush("", 0);
  } else if ((cls & kClassVarBit) && VarLookup(name).number != kNotFound) {
    st = VarValuePush(name);
  } else {
    st = FieldsFromHook(name, occurrence);
  }
  if (st >= kFirstError) {
    WorkMark(mark);
    return st;
  }
  KeepOne(mark);
  // The call gives a text: a numeric value is given as its text rather than
  // as the 8 bytes of the number.
  if (st == 0 && !(cls & kClassTextBit) && WorkMark(kMarkQuery) > mark) {
    const StrSlice text = FixToText(ValNumber(WorkTop()));
    if (const u16 err = StrError(WorkReturn(mark, text))) return err;
  }
  return st;
}

u16 FnUnderNum(const FuncCallInfo& call) {
  if (const u16 st = FuncArgCount(call.types, 1, kUnderMaxArgs)) return st;
  i16 numbers[kUnderMaxArgs] = {};
  StrSlice texts[kUnderMaxArgs] = {kStrEmpty, kStrEmpty, kStrEmpty};
  if (const u16 st = FuncArgsAll(call.types, numbers, texts, kUnderMaxArgs)) return st;

  const StrSlice array = Lit(kUnderArray);
  i32 index = numbers[0];
  if (FuncArgType(call.types, 1) == 1) {
    const u16 k = ListFind(Lit(kUnderKeywords), texts[0], ',');
    if (k == kUnderCls) {
      if (VarLookup(array).number == kNotFound) return ValPushRaw(0);
      // Argument 3 is the first element cleared, argument 2 the one that
      // ends the clearing (0: the array's end).
      const u16 end = numbers[1] == 0 ? kNotFound : static_cast<u16>(numbers[1]);
      const u16 st = VarArrayFill(array, StrSlice{kZeroNumber, kNumBytes}, static_cast<u16>(numbers[2]), end);
      return st ? st : ValPushRaw(0);
    }
    if (k == kUnderDim) {
      index = 0;
    } else {
      const u16 pos = ListFind(StrVarGet(kUnderNameVar), texts[0], ',');
      // A name that is not in the table reads as 0, whatever the offset.
      if (pos == 0) return ValPushRaw(0);
      index = pos - 1;
    }
  }
  index += numbers[1];
  if (index == -1) return ValPushRaw(0);

  // A read before any assignment creates the array with its own bound, so
  // that the first index read cannot become the array's size.
  if (VarLookup(array).number == kNotFound) {
    const u16 bound = kBuiltinArrayBound;
    if (const u16 st = VarArrayDeclare(array, 1, &bound)) return st;
  }
  const u16 idx = static_cast<u16>(index);
  return VarArrayGetAt(array, 1, &idx);
}

u16 FnUnderStr(const FuncCallInfo& call) {
  if (const u16 st = FuncArgCount(call.types, 0, 3)) return st;
  const u16 count = FuncArgTotal(call.types);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice value{};
  i16 entry = 0;
  i16 group_arg = kUnderStrGroup;
  u16 st = FuncArgStr(call.types, 3, kStrEmpty, &value);
  if (st == 0) st = FuncArgNum(call.types, 2, 0, &entry);
  if (st == 0) st = FuncArgNum(call.types, 1, kUnderStrGroup, &group_arg);
  if (st) {
    WorkMark(mark);
    return st;
  }

  const u16 group = static_cast<u16>(group_arg);
  const bool stack = group >= kStoreFirstPushOnly;
  if (count == 3) st = stack ? StorePush(group, value) : StoreSet(group, static_cast<u16>(entry), value);

  StrSlice result{};
  bool have = false;
  if (st == 0 && entry >= 0) {
    result = stack ? StoreTop(group) : StoreGet(group, static_cast<u16>(entry));
    have = true;
  }
  if (entry < 0) {
    if (!stack) {
      if (st == 0) st = kErrSyntax;
    } else {
      // (Removing an entry needs no room.)
      for (i32 k = -i32{entry}; k > 0 && StoreCount(group) > 0; --k) (void)StorePop(group);
    }
  }
  if (st >= kFirstError) {
    WorkMark(mark);
    return st;
  }
  if (!have) {
    WorkMark(mark);
    return 0;
  }
  return StrError(WorkReturn(mark, result));
}

u16 FnEnviron(const FuncCallInfo& call) {
  if (const u16 st = FuncArgCount(call.types, 1, 2)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 n = kIdCommandLine;
  StrSlice key{};
  u16 st = FuncArgNum(call.types, 2, kIdCommandLine, &n);
  if (st == 0) st = FuncArgStr(call.types, 1, kStrEmpty, &key);
  if (st) {
    WorkMark(mark);
    return st;
  }
  const StrSlice entry = StoreGet(kGroupIdentity, static_cast<u16>(n));
  if (n < 0 || n > kEnvKeyedLast) return StrError(WorkReturn(mark, entry));
  const u16 rc = StrKeyValuePush(entry, key);
  if (rc == kNotFound) return StrError(WorkReturn(mark, kStrEmpty));
  if (rc) {
    WorkMark(mark);
    return rc;
  }
  return StrError(WorkReturn(mark, WorkTop()));
}

}  // namespace vk
