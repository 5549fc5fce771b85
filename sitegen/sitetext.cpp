#include "sitegen/sitetext.h"

#include <cstring>

#include "html/output.h"
#include "runtime/error.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/runlog.h"
#include "sitegen/pagetree.h"

namespace vk {

namespace {

u16 g_lang = kSiteLangNone;

constexpr u16 kLogLineMax = 384;
constexpr char kFailFormat[] = "\r\n--- Fail LangCode %s";
// The name is cut so that the log line always fits.
constexpr u16 kFailNameMax = kLogLineMax - (sizeof(kFailFormat) - 1 - 2);

constexpr char kLowerVowels[] = "\xE1\xE9\xED\xF3\xFA";  // á é í ó ú
constexpr char kUpperVowels[] = "\xC1\xC9\xCD\xD3\xDA";  // Á É Í Ó Ú

// Item k of a from-list is replaced by item k of its to-list, from the last
// item to the first. Item 6 is two blanks.
struct ConvLists {
  const char* from;
  const char* to;
};

constexpr ConvLists kConvPlain = {
    "\xE1,\xE9,\xED,\xF3,\xFA,  ,\t,\r\n",
    "&aacute;,&eacute;,&iacute;,&oacute;,&uacute;,&nbsp;&nbsp;,&nbsp;&nbsp;&nbsp;&nbsp;,<br>"};
constexpr ConvLists kConvTableForm = {
    "\xE1,\xE9,\xED,\xF3,\xFA,  ,\t,\r\n",
    "&aacute;,&eacute;,&iacute;,&oacute;,&uacute;,&nbsp;&nbsp;,</td><td>,"
    "</td></tr>\r\n<tr><td align=\"right\" valign=\"top\">"};
// After upper-casing the vowels are the capital letters, whose entities
// are capitalised.
constexpr ConvLists kConvPlainUpper = {
    "\xC1,\xC9,\xCD,\xD3,\xDA,  ,\t,\r\n",
    "&Aacute;,&Eacute;,&Iacute;,&Oacute;,&Uacute;,&nbsp;&nbsp;,&nbsp;&nbsp;&nbsp;&nbsp;,<br>"};
constexpr ConvLists kConvTableUpper = {
    "\xC1,\xC9,\xCD,\xD3,\xDA,  ,\t,\r\n",
    "&Aacute;,&Eacute;,&Iacute;,&Oacute;,&Uacute;,&nbsp;&nbsp;,</td><td>,"
    "</td></tr>\r\n<tr><td align=\"right\" valign=\"top\">"};
constexpr ConvLists kConvRtfForm = {"\t,\r\n", "\\tab ,\\par\r\n"};

// Option words searched in a conversion options text.
constexpr char kOptionWords[] = "UCASE,LCASE,CLEAN,FILTER";
constexpr char kRtfWord[] = "RTF";
constexpr char kTableKind[] = "TAB";

// A comma and the quotes as character references, for trail items.
constexpr char kRefComma[] = "&#44;";
constexpr char kRefApos[] = "&#39;";
constexpr char kRefQuot[] = "&quot;";

constexpr char kEmpty[] = "";

StrSlice Empty() { return StrSlice{kEmpty, 0}; }
bool Contains(StrSlice text, const char* word) { return StrFind(text, StrC(word), kPlain) != kNotFound; }

const ConvLists& ConvFor(u8 bits) {
  if (bits & kConvRtf) return kConvRtfForm;
  const bool upper = (bits & kConvUpper) != 0;
  if (bits & kConvTable) return upper ? kConvTableUpper : kConvTableForm;
  return upper ? kConvPlainUpper : kConvPlain;
}

// Letter case of the ASCII letters and of the five accented vowels that the
// conversion knows, so that a changed vowel still finds its entity.
StrSlice ChangeCase(StrSlice text, u16 mode) {
  if (mode == kUpper) return StrTranslate(StrCase(text, kUpper), kLowerVowels, kUpperVowels);
  return StrTranslate(StrCase(text, kLower), kUpperVowels, kLowerVowels);
}

void LogMissing(StrSlice name) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (StrError(name)) name = Empty();
  if (name.len > kFailNameMax) name.len = kFailNameMax;
  LogLine(StrFormatV(kLogLineMax, kFailFormat, name), kLogNormal);
  WorkMark(mark);
}

u32 FindByte(StrSlice s, u32 from, char c) {
  const void* hit = from < s.len ? std::memchr(s.ptr + from, static_cast<u8>(c), s.len - from) : nullptr;
  return hit ? static_cast<u32>(static_cast<const char*>(hit) - s.ptr) : s.len;
}

// One trail item that the quote-aware comma split gives back whole: a comma
// outside a quote pair and a quote that no partner closes within the name
// are written as character references; quoted stretches stay as they are.
StrSlice TrailItem(StrSlice name) {
  if (StrError(name)) return name;
  // Two passes over the same walk: the length, then the bytes.
  char* out = nullptr;
  u32 total = 0;
  for (int pass = 0; pass < 2; ++pass) {
    u32 n = 0;
    auto put = [&](const char* p, u32 len) {
      if (out) std::memcpy(out + n, p, len);
      n += len;
    };
    for (u32 i = 0; i < name.len;) {
      const char c = name.ptr[i];
      if (StrIsQuote(c)) {
        const u32 close = FindByte(name, i + 1, c);
        if (close < name.len) {
          put(name.ptr + i, close + 1 - i);
          i = close + 1;
          continue;
        }
        put(c == '\'' ? kRefApos : kRefQuot, c == '\'' ? sizeof(kRefApos) - 1 : sizeof(kRefQuot) - 1);
      } else if (c == ',') {
        put(kRefComma, sizeof(kRefComma) - 1);
      } else {
        put(&c, 1);
      }
      ++i;
    }
    if (pass == 0) {
      if (n == name.len) return StrDup(name);
      const StrSlice room = WorkAllocText(n);
      if (StrError(room)) return room;
      total = n;
      out = const_cast<char*>(room.ptr);
    }
  }
  return StrMake(out, total);
}

}  // namespace

void SiteGenLangSet(u16 index) { g_lang = index <= kSiteLangCount ? index : kSiteLangNone; }

u16 SiteGenLangIndex() { return g_lang; }

StrSlice SiteGenLangSuffix(u16 index) {
  if (index == kSiteLangNone || index > kSiteLangCount) return Empty();
  return ListItem(Lit(kSiteLangSuffixes), ',', index);
}

StrSlice SiteGenTranslate(StrSlice text, u8 bits) {
  if (StrError(text)) {
    LogMissing(Empty());
    return text;
  }
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (text.len != 0) {
    const StrSlice value = ParamListLookup(text);
    if (!StrError(value) && value.len != 0) {
      text = value;
    } else {
      LogMissing(text);
      text = StrReplace(text, Lit("_"), Lit(" "), kPlain);
    }
  }
  return WorkReturn(mark, TextToHtml(text, bits));
}

StrSlice TextToHtml(StrSlice text, u8 bits) {
  if (StrError(text)) return text;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice cur = text;
  if (bits & kConvUpper) {
    cur = ChangeCase(cur, kUpper);
  } else if (bits & kConvLower) {
    cur = ChangeCase(cur, kLower);
  }
  const ConvLists& lists = ConvFor(bits);
  cur = StrReplaceList(cur, StrC(lists.from), StrC(lists.to), ',');
  return WorkReturn(mark, cur);
}

u8 TextConvFlags(StrSlice options, StrSlice kind) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u8 bits = 0;
  const bool rtf = Contains(options, kRtfWord);
  if (rtf || StrEqual(StrCase(kind, kUpper), Lit(kTableKind))) bits |= kConvTable;
  if (rtf) bits |= kConvRtf;
  const StrSlice words = Lit(kOptionWords);
  if (StrFind(options, ListItem(words, ',', 1), kPlain) != kNotFound) bits |= kConvUpper;
  if (StrFind(options, ListItem(words, ',', 2), kPlain) != kNotFound) bits |= kConvLower;
  WorkMark(mark);
  return bits;
}

u16 SiteGenBuildTrail() {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  // The path is copied aside: translating logs, and the store may move.
  const StrSlice path = StrDup(VarGet(kGroupRun, kRunPagePath));
  StrSlice trail = Empty();
  // A path is split plainly: a quote in a page name is no quote.
  for (u32 start = 0; !StrError(path) && start < path.len;) {
    const u32 end = FindByte(path, start, '\\');
    const StrSlice part = StrMake(path.ptr + start, end - start);
    trail = StrJoin(trail, Lit(","), TrailItem(SiteGenTranslate(part, 0)));
    if (StrError(trail)) break;
    start = end + 1;
  }
  const u16 rc = StrError(path) ? StrError(path) : VarSet(kGroupRun, kRunTrail, trail);
  WorkMark(mark);
  return rc;
}

StrSlice SiteNodeOption(u8 kind) {
  const SiteCursor* cursor = SiteCursorGet();
  if (!cursor || !cursor->record) return Empty();
  const StrSlice options = StrTrim(ListItem(cursor->record->text, ',', 2), kTrimBoth);
  StrSlice result = Empty();
  const u16 count = ListCount(options, ';');
  for (u16 k = 1; k <= count; ++k) {
    const StrSlice e = StrUnquote(ListItem(options, ';', k));
    // An empty entry (as after a trailing ';') names nothing.
    if (e.len == 0) continue;
    u8 cls = kOptTemplate;
    if (StrFindChar(e, '/', kPlain) != kNotFound) {
      cls = kOptLink;
    } else if (e.len == 1 && StrValue(e) > 0) {
      cls = kOptPageMode;
    }
    if (cls == kind) result = e;
  }
  return result;
}

StrSlice SiteKwValue(StrSlice s, u16* status) {
  const u16 err = StrError(s);
  if (err == 0) return s;
  if (err == kErrOutOfMemory && *status == 0) *status = err;
  return Empty();
}

void SiteKwOut(StrSlice s, u16* status) { HtmlOut(SiteKwValue(s, status)); }

u16 SiteKwLang(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = 0;
  const u8 bits = TextConvFlags(ListItem(args, ',', 2), Empty());
  const StrSlice text = ExprEvalStr(ListItem(args, ',', 1));
  SiteKwOut(SiteGenTranslate(text, bits), &status);
  WorkMark(mark);
  return status;
}

void SiteKwLangId() { HtmlOut(SiteGenLangSuffix(g_lang)); }

}  // namespace vk
