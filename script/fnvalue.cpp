#include "script/fnvalue.h"

#include "runtime/datetime.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "script/funcargs.h"
#include "script/mask.h"
#include "script/numtext.h"

namespace vk {

namespace {

// Keyword lists, searched exactly (case-sensitive) by 1-based position.
constexpr char kChangeModes[] = "UCASE,LCASE,CLEAN,FILTER";
enum : u16 { kChangeReplace = 0, kChangeUpper = 1, kChangeLower = 2, kChangeClean = 3, kChangeFilter = 4 };

constexpr char kTrimModes[] = "LEFTTRIM,RIGHTRIM,BOTHTRIM,FIT";
constexpr char kTrimDefault[] = "BOTHTRIM";
// StrTrim sides of the first three modes; the fourth (FIT) normalises.
constexpr u16 kTrimSides[] = {kTrimLeft, kTrimRight, kTrimBoth};
constexpr u16 kTrimFit = 4;

// FN#VALN date letters and the unit each selects.
constexpr char kValLetters[] = "DMYV";
constexpr u16 kValUnits[] = {kDateDays, kDateMonths, kDateYears, kDateWhole};
static_assert(sizeof kValUnits / sizeof kValUnits[0] == sizeof kValLetters - 1);
constexpr char kValNumber = 'N';

constexpr i16 kSepComma = ',';
constexpr i16 kQuoteChar = '\'';
constexpr i16 kToEnd = -1;  // FN$MIDS: start at the last character / run to the end
constexpr u16 kMaskDefaultMode = kMaskModeAuto;

// Format flag of FN$DATE and TIME$: the first argument names a file whose
// last-written stamp is used; the low bits are the format itself.
constexpr i16 kFmtFileStamp = 0x80;
constexpr i16 kFmtMask = 0x7F;

constexpr char kDateSeparators[] = "-./";

constexpr u16 kTypeNumber = 0;
constexpr u16 kTypeText = 1;

// A constant text as a slice, without its terminating NUL.
// The number on the scratch top as a 16-bit integer, rounded half away from
// zero and kept to its low 16 bits, as argument reads give it.
i16 TopInt16() { return static_cast<i16>(FixDivPow10(ValNumber(WorkTop()), NumPrecis())); }

// The argument taken by FuncArgGet (on the scratch top) as a text: a number
// turned into its text with _PRECIS decimals. *out stays a scratch entry.
u16 TopAsText(u16 type, StrSlice* out) {
  if (type == kTypeNumber) {
    const StrSlice t = FixToText(ValNumber(WorkTop()));
    if (!t.ptr) return StrError(t);
    *out = t;
  } else {
    *out = WorkTop();
  }
  return 0;
}

// Argument n by FuncArgGet (default the empty text), as a text.
u16 ArgAsText(FuncArgTypes types, u16 n, StrSlice* out) {
  const u16 type = FuncArgGet(types, n, kStrEmpty, kTypeText);
  if (type >= kFirstError) return type;
  return TopAsText(type, out);
}

// Ends a handler that built a text: releases everything it took and leaves
// only the result (none when it failed).
u16 EndText(WorkMarkId mark, StrSlice result) {
  if (!result.ptr) {
    WorkMark(mark);
    return StrError(result);
  }
  const StrSlice kept = WorkReturn(mark, result);
  return kept.ptr ? 0 : StrError(kept);
}

// Ends a handler whose status st comes with its value on the scratch top.
u16 EndTop(WorkMarkId mark, u16 st) {
  if (st) {
    WorkMark(mark);
    return st;
  }
  return EndText(mark, WorkTop());
}

// Ends a handler with an integer result as the number value.
u16 EndNumber(WorkMarkId mark, i64 value) {
  WorkMark(mark);
  return ValPushLong(value);
}

// 1-based position of text in the keyword list, 0 when it is none.
u16 KeywordOf(StrSlice list, StrSlice text) { return text.len ? ListFind(list, text, ',') : 0; }

}  // namespace

// ---------------------------------------------------------------- FN$CHNG

u16 FnChange(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 2, 4)) return st;
  const u16 count = FuncArgTotal(types);
  const WorkMarkId mark = WorkMark(kMarkQuery);

  // The fourth argument is a chunk table as a text, a replacement flag as a
  // number.
  StrSlice table = kStrEmpty;
  bool table_given = false;
  u16 flag = 0;
  const u16 fourth = FuncArgGet(types, 4, kStrEmpty, kTypeText);
  if (fourth >= kFirstError) return EndTop(mark, fourth);
  if (fourth == kTypeText) {
    table = WorkTop();
    table_given = table.len > 0;
  } else {
    flag = static_cast<u16>(TopInt16()) & 0xFF;
  }

  StrSlice third{}, second{}, text{};
  u16 st = FuncArgStr(types, 3, kStrEmpty, &third);
  if (st == 0) st = FuncArgStr(types, 2, kStrEmpty, &second);
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &text);
  if (st) return EndTop(mark, st);

  switch (KeywordOf(Lit(kChangeModes), second)) {
    case kChangeUpper:
      return EndText(mark, StrCase(text, kUpper));
    case kChangeLower:
      return EndText(mark, StrCase(text, kLower));
    case kChangeClean:
      return EndText(mark, StrSqueeze(text, ' ', kPlain));
    case kChangeFilter:
      if (count < 4) return EndText(mark, StrKeepChars(text, third));
      // Without a character list there is no chunk width to cut the table
      // by: an argument error rather than a division by zero.
      if (!table_given) return EndTop(mark, kErrSyntax);
      return EndText(mark, StrMapChunks(text, third, table));
    default:
      // An empty search text is never found: the text comes back unchanged.
      return EndTop(mark, StrReplacePush(text, second, third, flag ? kPlain : kQuoteAware));
  }
}

// ---------------------------------------------------------------- FN$CHRS

u16 FnChars(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 1, 2)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 times = 1;
  if (u16 st = FuncArgNum(types, 2, 1, &times)) return st;
  const u16 type = FuncArgGet(types, 1, kStrEmpty, kTypeText);
  if (type >= kFirstError) return EndTop(mark, type);
  StrSlice unit = WorkTop();
  char code = 0;
  if (type == kTypeNumber) {
    // A number stands for the one character with that code.
    code = static_cast<char>(TopInt16() & 0xFF);
    unit = StrSlice{&code, 1};
  }
  return EndText(mark, StrRepeat(unit, static_cast<u16>(times)));
}

// ---------------------------------------------------------------- FN$MIDS

u16 FnMids(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 2, 3)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 length = kToEnd, start = kToEnd;
  StrSlice text{};
  u16 st = FuncArgNum(types, 3, kToEnd, &length);
  if (st == 0) st = FuncArgNum(types, 2, kToEnd, &start);
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &text);
  if (st) return EndTop(mark, st);

  // A positive start is 1-based; a negative one counts back from the end.
  const i32 pos = start >= 0 ? i32{start} - 1 : i32{text.len} + start;
  const u16 count = static_cast<u16>(length);
  if (pos <= 0x7FFF) {
    // Still negative (start 0, or further back than the text): the last
    // characters, as the selection counts them from the end.
    return EndText(mark, StrMid(text, static_cast<i16>(pos), count));
  }
  // A start beyond 32767 in a long text: the same clipped selection in
  // 32 bits, where the 16-bit signed position cannot hold it.
  const u32 from = u32(pos) < text.len ? u32(pos) : text.len;
  const u32 room = text.len - from;
  return EndText(mark, StrMake(text.ptr + from, count < room ? count : room));
}

// ---------------------------------------------------------------- FN$TRIM

u16 FnTrim(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice mode{}, text{};
  u16 st = FuncArgStr(types, 2, Lit(kTrimDefault), &mode);
  if (st == 0) st = ArgAsText(types, 1, &text);
  if (st) return EndTop(mark, st);
  const u16 k = KeywordOf(Lit(kTrimModes), mode);
  if (k == 0) return EndTop(mark, kErrSyntax);
  if (k == kTrimFit) return EndText(mark, StrNormalize(text));
  return EndText(mark, StrTrim(text, kTrimSides[k - 1]));
}

// ---------------------------------------------------------------- FN$PARM

u16 FnParmStr(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 sep = kSepComma, k = -1;
  StrSlice list{};
  u16 st = FuncArgNum(types, 3, kSepComma, &sep);
  if (st == 0) st = FuncArgNum(types, 2, -1, &k);
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &list);
  if (st) return EndTop(mark, st);
  // 0 and the omitted item (-1) select nothing.
  const u16 item = static_cast<u16>(k);
  if (item == 0 || item == kNotFound) return EndText(mark, kStrEmpty);
  return EndText(mark, ListItem(list, static_cast<char>(sep & 0xFF), item));
}

// ---------------------------------------------------------------- FN#PARM

u16 FnParmNum(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 1, 3)) return st;
  const u16 count = FuncArgTotal(types);
  const WorkMarkId mark = WorkMark(kMarkQuery);

  // Three arguments: a text third is the value list, a number marks the
  // range form.
  bool range_form = false;
  StrSlice values = kStrEmpty;
  if (count == 3) {
    const u16 type = FuncArgGet(types, 3, kStrEmpty, kTypeText);
    if (type >= kFirstError) return EndTop(mark, type);
    range_form = type == kTypeNumber;
    values = WorkTop();
  }
  StrSlice key = kStrEmpty;
  if (count >= 2) {
    if (u16 st = ArgAsText(types, 2, &key)) return EndTop(mark, st);
  }
  StrSlice list{};
  if (u16 st = FuncArgStr(types, 1, kStrEmpty, &list)) return EndTop(mark, st);

  if (count == 1) return EndNumber(mark, ListCount(list, ','));
  if (count == 2) return EndNumber(mark, ListFind(list, key, ','));
  if (range_form) return EndNumber(mark, ListFindRange(list, StrToInt64(key)));
  const u16 k = ListFind(list, key, ',');
  // An absent key selects item 0, the empty text, which reads as 0.
  const StrSlice item = k ? ListItem(values, ',', k) : kStrEmpty;
  return EndTop(mark, ValPushDecimal(item));
}

// ---------------------------------------------------------------- FN#SLEN

u16 FnStrLen(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 1, 1)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice text{};
  if (u16 st = FuncArgStr(types, 1, kStrEmpty, &text)) return EndTop(mark, st);
  return EndNumber(mark, text.len);
}

// ---------------------------------------------------------------- ENVELOP$

u16 FnEnvelope(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 1, 2)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 code = kQuoteChar;
  StrSlice text{};
  u16 st = FuncArgNum(types, 2, kQuoteChar, &code);
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &text);
  if (st) return EndTop(mark, st);
  return EndText(mark, StrEnclose(text, static_cast<char>(code & 0xFF)));
}

// ---------------------------------------------------------------- FN$MASK

u16 FnMask(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 2, 3)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 mode = kMaskDefaultMode;
  StrSlice value{}, mask{};
  u16 st = FuncArgNum(types, 3, kMaskDefaultMode, &mode);
  if (st == 0) st = ArgAsText(types, 2, &value);
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &mask);
  if (st) return EndTop(mark, st);
  return EndText(mark, MaskApplyMode(mask, value, static_cast<u16>(mode)));
}

// ---------------------------------------------------------------- FN#VALN

u16 FnValNum(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 1, 3)) return st;
  const u16 count = FuncArgTotal(types);
  const WorkMarkId mark = WorkMark(kMarkQuery);

  // The amount: a number as it is, a date text as its whole date number
  // (which date arithmetic takes as a second date: a difference).
  i32 amount = 0;
  if (count == 3) {
    const u16 type = FuncArgGet(types, 3, kStrEmpty, kTypeText);
    if (type >= kFirstError) return EndTop(mark, type);
    amount = type == kTypeNumber ? i32{TopInt16()} : DateTextPart(WorkTop(), kDateWhole);
  }
  StrSlice letter{}, text{};
  u16 st = FuncArgStr(types, 2, StrSlice{&kValNumber, 1}, &letter);
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &text);
  if (st) return EndTop(mark, st);

  // An empty letter text has no letter: neither 'N' nor a date letter.
  if (letter.len == 0) return EndTop(mark, kErrSyntax);
  if (letter.ptr[0] == kValNumber) {
    const StrSlice clean = NumTextClean(text);
    if (!clean.ptr) return EndTop(mark, StrError(clean));
    return EndTop(mark, ValPushDecimal(clean));
  }
  const u16 i = StrFindChar(Lit(kValLetters), letter.ptr[0], kPlain);
  if (i == kNotFound) return EndTop(mark, kErrSyntax);
  const u16 unit = kValUnits[i];
  const i32 result = count == 3 ? DateAdd(text, amount, unit) : DateTextPart(text, unit);
  return EndNumber(mark, result);
}

// ---------------------------------------------------------------- FN$DATE

u16 FnDate(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 0, 2)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 format = 0;
  if (u16 st = FuncArgNum(types, 2, 0, &format)) return st;
  const u16 type = FuncArgGet(types, 1, kStrEmpty, kTypeText);
  if (type >= kFirstError) return EndTop(mark, type);

  StrSlice date{};
  if (u16 st = TopAsText(type, &date)) return EndTop(mark, st);
  const u16 given = date.len;
  if (type == kTypeText && (format & kFmtFileStamp)) {
    date = DateToText(FileTime(date, kTimeWritten, kTimeUnitDate));
  } else if (StrFindAny(date, Lit(kDateSeparators), kPlain) != kNotFound) {
    date = DateParse(date);
  }
  if (!date.ptr) return EndTop(mark, StrError(date));
  const u16 shape = static_cast<u16>(format & kFmtMask);
  // Only an empty argument stands for today. A typed date that does not
  // read as one (year first, day first in a month-first language) or a
  // file without a stamp is an invalid date, not today's.
  if (date.len == 0 && given > 0) return EndText(mark, DateInvalid(shape));
  return EndText(mark, DateFormat(date, shape));
}

// ---------------------------------------------------------------- TIME$

u16 FnTime(const FuncCallInfo& call) {
  const FuncArgTypes types = call.types;
  if (u16 st = FuncArgCount(types, 0, 2)) return st;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  i16 format = 0;
  StrSlice text{};
  u16 st = FuncArgNum(types, 2, 0, &format);
  // An omitted argument is the empty text, which is the time now.
  if (st == 0) st = FuncArgStr(types, 1, kStrEmpty, &text);
  if (st) return EndTop(mark, st);
  const u32 ms = (format & kFmtFileStamp) ? FileTime(text, kTimeWritten, kTimeUnitMs) : TimeFromText(text);
  return EndText(mark, TimeToText(ms, static_cast<u16>(format & kFmtMask)));
}

}  // namespace vk
