#include "script/template.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/memory.h"
#include "runtime/osproc.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/lexer.h"
#include "script/numtext.h"

namespace vk {

namespace {


bool IsEmptyText(StrSlice s) { return s.ptr && s.len == 0; }

// The first non-empty of the three key lookups, or the empty text; an error
// slice when a lookup could not be made.
StrSlice KeyValue(StrSlice key, StrSlice defaults) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice v = StrGetParam(defaults, key);
  if (IsEmptyText(v)) v = CmdLineParam(key);
  if (IsEmptyText(v)) v = OsEnvGet(key);
  return WorkReturn(m, v);
}

// The field evaluated as an expression: a number as its text (with "0"
// for the empty text unless kTplEmptyNum), a text unchanged, any other
// result as an error slice carrying it.
StrSlice EvalValue(StrSlice field, u16 flags) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16 r = ExprEval(field);
  if (r == kResultText) return WorkReturn(m, WorkTop());
  if (r != kOk) {
    WorkMark(m);
    return StrErrorSlice(r);
  }
  StrSlice v = FixToText(ValNumber(WorkTop()));
  if (IsEmptyText(v) && !(flags & kTplEmptyNum)) v = Lit("0");
  return WorkReturn(m, v);
}

// Walks the text for the escape and, when out is given, writes the result
// there. Returns the result's length (which may pass 65535).
u32 EscapeWalk(StrSlice text, StrSlice escape, StrSlice replacement, u16 plain, char* out) {
  u32 from = 0;
  u32 n = 0;
  auto put = [&](const char* p, u32 count) {
    if (out && count) std::memcpy(out + n, p, count);
    n += count;
  };
  while (from < text.len) {
    // The rest starts outside quotes (it follows an escape found outside
    // them), so it can be searched as a text of its own.
    const StrSlice rest{text.ptr + from, static_cast<u16>(text.len - from)};
    const u16 hit = StrFind(rest, escape, plain);
    if (hit == kNotFound) break;
    const u32 at = from + hit;
    put(text.ptr + from, at - from);
    const u32 after = at + escape.len;
    if (after < text.len && text.ptr[after] == escape.ptr[1]) {
      put(escape.ptr, escape.len);  // the repeated byte is dropped
      from = after + 1;
    } else {
      put(replacement.ptr, replacement.len);
      from = after;
    }
  }
  put(text.ptr + from, text.len - from);
  return n;
}

}  // namespace

StrSlice TplExpand(StrSlice text, u16 flags) { return TplExpandFields(text, flags, kStrEmpty); }

StrSlice TplExpandWith(StrSlice text, StrSlice defaults) { return TplExpandFields(text, kTplWithFlags, defaults); }

TplScan TplExpandUntil(StrSlice text, u16 flags, StrSlice defaults, TplStopTest stop, const void* ctx) {
  TplScan r{text, kNotFound, 0, 0, 0};
  if (StrError(text)) return r;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16 plain = (flags & kTplPlain) ? kPlain : kQuoteAware;
  const bool reexpand = (flags & kTplReexpand) != 0;
  // Without re-expansion every field consumes one of the original text's
  // ']', so the scan ends by itself; with it, values can bring new fields
  // without end, so the number of replacements is bounded.
  u32 budget = reexpand ? u32{StrCount(text, Lit("["), kPlain)} + kTplMaxReexpand : 0;
  StrSlice cur = text;
  bool stable = false;  // cur lies on this call's scratch entries
  u32 s = 0;
  while (s < cur.len && r.status == 0) {
    u16 off = kNotFound;
    u16 len = 0;
    StrFindPair(StrSlice{cur.ptr + s, static_cast<u16>(cur.len - s)}, plain, '[', ']', &off, &len);
    if (off == kNotFound) break;
    const u32 pos = s + off;
    StrSlice field{cur.ptr + pos, len};
    if (flags & kTplTrimField) field = StrTrimSet(field, kTrimBoth, Lit(" \t"));
    if (stop) {
      const TplFieldVerdict verdict = stop(ctx, field);
      if (verdict.stop) {
        r.at = static_cast<u16>(pos);
        r.len = len;
        r.status = verdict.status;
        break;
      }
      r.status = verdict.status;
    }
    if (reexpand) {
      if (budget == 0) {
        r.text = WorkReturn(m, ErrSlice(kErrFirst, kWhereNone, kErrLoop, kStrEmpty));
        return r;
      }
      --budget;
    }
    if (!stable) {
      // The field's value may move the text's bytes (a text read from the
      // variable store); from here on the scan works on its own copy.
      const u32 field_at = static_cast<u32>(field.ptr - cur.ptr);
      cur = WorkReturn(m, cur);
      if (StrError(cur)) {
        r.text = cur;
        return r;
      }
      field.ptr = cur.ptr + field_at;
      stable = true;
    }
    const StrSlice v = TplFieldValue(field, flags, defaults);
    if (StrError(v)) {
      r.text = WorkReturn(m, v);
      return r;
    }
    const StrSlice next = TplSpanReplace(cur, static_cast<u16>(pos), len, v);
    if (StrError(next)) {
      r.text = WorkReturn(m, next);
      return r;
    }
    // Only the newest text is kept, so long templates need no more scratch
    // than their largest intermediate text.
    cur = WorkReturn(m, next);
    if (StrError(cur)) {
      r.text = cur;
      return r;
    }
    ++r.expanded;
    if (!reexpand) s = pos - 1 + v.len;
  }
  r.text = WorkReturn(m, cur);
  return r;
}

StrSlice TplExpandFields(StrSlice text, u16 flags, StrSlice defaults) {
  if (StrError(text)) return text;
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice cur = TplExpandUntil(text, flags, defaults, nullptr, nullptr).text;
  if (!StrError(cur) && (flags & kTplUnescape)) cur = TplUnescape(cur, flags);
  return WorkReturn(m, cur);
}

StrSlice TplFieldValue(StrSlice field, u16 flags, StrSlice defaults) {
  if (StrError(field)) return field;
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice v = kStrEmpty;
  if (flags & kTplKey) {
    v = KeyValue(field, defaults);
    if (StrError(v)) return WorkReturn(m, v);
  }
  if (v.len == 0) {
    if (field.len && field.ptr[field.len - 1] == '%') {
      v = (flags & kTplKey) ? kStrEmpty : field;
    } else {
      v = EvalValue(field, flags);
      if (StrError(v)) return WorkReturn(m, v);
    }
  }
  if (!(flags & kTplNoTrim)) v = StrTrim(v, kTrimBoth);
  if (flags & kTplQuote) v = StrQuote(v, (flags & kTplDoubleQuote) ? '"' : '\'');
  return WorkReturn(m, v);
}

StrSlice TplSpanReplace(StrSlice text, u16 pos, u16 len, StrSlice value) {
  if (StrError(text)) return text;
  if (StrError(value)) return value;
  const u32 after = u32{pos} + len + 1;  // first byte behind the ']'
  if (pos == 0 || after > text.len) return StrErrorSlice(kErrStrOutBound);
  const u32 head = u32{pos} - 1;
  const u32 tail = text.len - after;
  const u32 total = head + value.len + tail;
  const StrSlice out = WorkAllocText(total);
  if (StrError(out)) return out;
  char* w = const_cast<char*>(out.ptr);
  // The sources lie below the new entry, so they cannot overlap it.
  if (head) std::memcpy(w, text.ptr, head);
  if (value.len) std::memcpy(w + head, value.ptr, value.len);
  if (tail) std::memcpy(w + head + value.len, text.ptr + after, tail);
  return out;
}

StrSlice TplSubstDollar(StrSlice text, StrSlice value) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  if (StrReplacePush(text, Lit("[$]"), value, kPlain) != 0) {
    WorkMark(m);
    return text;
  }
  return WorkTop();
}

StrSlice TplUnescape(StrSlice text, u16 flags) {
  // Both escapes start with a backslash: a text without one (most template
  // lines) is its own result, without a walk per escape.
  if (text.ptr && !std::memchr(text.ptr, '\\', text.len)) return StrDup(text);
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice open = TplReplaceEscaped(text, Lit("\\{"), Lit("["), flags);
  const StrSlice both = TplReplaceEscaped(open, Lit("\\}"), Lit("]"), flags);
  return WorkReturn(m, both);
}

StrSlice TplReplaceEscaped(StrSlice text, StrSlice escape, StrSlice replacement, u16 flags) {
  if (StrError(text)) return text;
  if (StrError(escape)) return escape;
  if (StrError(replacement)) return replacement;
  const u16 plain = (flags & 0xFF) ? kPlain : kQuoteAware;
  if (escape.len != 2) return StrDup(text);
  const u32 total = EscapeWalk(text, escape, replacement, plain, nullptr);
  const StrSlice out = WorkAllocText(total);
  if (StrError(out)) return out;
  EscapeWalk(text, escape, replacement, plain, const_cast<char*>(out.ptr));
  return out;
}

}  // namespace vk
