#include "html/render.h"

#include "html/access.h"
#include "html/output.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/message.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/template.h"
#include "script/valtable.h"

namespace vk {

namespace {

constexpr u16 kPageSuffixLen = 3;  // "_en": one item of the suffix list
constexpr u16 kEntryLangSuffix = 2;
constexpr u16 kDetailMax = 384;
// Ordinary fields are looked up as keys first; an empty number stays empty.
constexpr u16 kFieldFlags = kTplPlain | kTplTrimField | kTplKey | kTplEmptyNum;
// A page larger than this is not written (the file size counts in 32 bits).
constexpr size_t kMaxPageBytes = 0x7FFFFFFF;

HtmlTagState FreshState() { return HtmlTagState{kTagGoOn, 0, kTagReadNext, "", 0}; }

void SetStatus(HtmlTagState* s, u16 code) { s->status = code; }
void SetPos(HtmlTagState* s, u16 pos, u16 index) { s->position = (u32{index} << 16) | pos; }
void SetArgs(HtmlTagState* s, StrSlice args) {
  s->args = args.ptr ? args.ptr : "";
  s->args_len = args.ptr ? args.len : 0;
}

// The scanned line's top entry rewritten as its first keep bytes followed
// by rest (which may point into the entry itself).
u16 LineTopReplace(u16 keep, StrSlice rest) {
  const u16 n = StoreCount(kGroupTemplateLines);
  const StrSlice top = StoreTop(kGroupTemplateLines);
  const WorkMarkId m = WorkMark(kMarkQuery);
  u16 st = WorkPushConcat(StrSlice{top.ptr, keep}, rest);
  if (st == 0) st = StoreSet(kGroupTemplateLines, static_cast<u16>(n - 1), WorkTop());
  WorkMark(m);
  return st;
}

// The renderer's stop test: a field named in the keyword list (ctx) ends
// the expansion before it; a '(' without ')' ends it with 147.
TplFieldVerdict KeywordStop(const void* ctx, StrSlice field) {
  const MacroKeyword kw = MacroKeywordOf(*static_cast<const StrSlice*>(ctx), field);
  return TplFieldVerdict{kw.index != 0, kw.status};
}

// Ends the template's scan: the file is closed and its handle cleared.
void TemplateClose(HtmlTagState* s) {
  if (const u16 h = HtmlTagFile(*s)) (void)FileClose(h);  // only read: nothing to lose on closing
  s->file = 0;
}

}  // namespace

void HtmlTextOut(StrSlice text) { HtmlOut(TplUnescape(text, 0x101)); }

HtmlTagState HtmlTagDefault(HtmlTagState state, StrSlice) { return state; }

u16 HtmlPageLangFromName(StrSlice page) {
  const u16 dot = StrFindLastChar(page, '.', kPlain);
  if (dot == kNotFound || dot <= kPageSuffixLen) return 0;
  const u16 at = static_cast<u16>(dot - kPageSuffixLen);
  if (page.ptr[at] != '_') return 0;
  return StoreSet(kGroupRun, kEntryLangSuffix, StrSlice{page.ptr + at, kPageSuffixLen});
}

HtmlTagState HtmlPageOpen(StrSlice page) {
  HtmlTagState s = FreshState();
  u16 st = HtmlPageLangFromName(page);
  if (st == 0) {
    const WorkMarkId m = WorkMark(kMarkQuery);
    const StrSlice path = CgiHtmlPath(page);
    const i16 h = StrError(path) ? i16{-1} : FileOpen(path, kOpenNoUpdate | kOpenQuiet);
    if (h == kErrDataOutBound) {
      // Every file slot is taken: templates nested this deep (each open
      // template holds a slot and one current line) cannot be opened, though
      // the file may well exist.
      const u16 depth = static_cast<u16>(StoreCount(kGroupTemplateLines) + 1);
      const StrSlice detail =
          StrFormatV(kDetailMax, "too many nested templates: %s would be template %u deep, beyond the %u files open at once",
                     PathShown(path), depth, kFileSlots);
      st = ErrMsgAppend(kErrDataOutBound, detail, false);
    } else if (h < 0 || h >= static_cast<i16>(kFileSlots)) {
      StrSlice detail = StrFormatV(kDetailMax, "filename:%s htmlpage:%s DocRoot:%s DocRootFileNm:%s", PathShown(path),
                                   PathShown(page), PathShown(CgiDocumentRoot()), PathShown(CgiDocPath(page)));
      // The system's reason after the paths, when the system refused the
      // file (a name too long for any call has none).
      if (h == static_cast<i16>(kErrFileNotFound) && !StrError(detail)) {
        const StrSlice parts[] = {detail, OsErrorText(OsLastError())};
        detail = StrFormatTexts(StrC("%s (%s)"), parts, 2);
      }
      st = ErrMsgAppend(kErrFileNotFound, detail, false);
    } else {
      s.file = u32{static_cast<u16>(h)} << 16;
    }
    WorkMark(m);
  }
  SetStatus(&s, st);
  return s;
}

MacroKeyword MacroKeywordOf(StrSlice keywords, StrSlice field) {
  MacroKeyword r{0, 0, StrSlice{field.ptr ? field.ptr + field.len : "", 0}};
  if (!field.ptr || !keywords.ptr) return r;

  if (keywords.len && static_cast<u8>(keywords.ptr[0]) == kKeywordCodeMarker && field.len) {
    for (u16 k = 1; k < keywords.len; ++k) {
      if (keywords.ptr[k] == field.ptr[0]) {
        r.index = k;
        r.args = StrSlice{field.ptr + 1, static_cast<u16>(field.len - 1)};
        return r;
      }
    }
  }

  StrSlice name = field;
  const u16 open = StrFindChar(field, '(', kPlain);
  if (open != kNotFound) {
    name = StrSlice{field.ptr, open};
    const u16 close = StrFindLastChar(field, ')', kPlain);
    const u16 from = static_cast<u16>(open + 1);
    if (close == kNotFound || close < open) {
      r.status = kErrSyntax;
      r.args = StrSlice{field.ptr + from, static_cast<u16>(field.len - from)};
    } else {
      r.args = StrSlice{field.ptr + from, static_cast<u16>(close - from)};
    }
  }
  name = StrTrimSet(name, kTrimBoth, Lit(" \t"));
  // An empty name would match an empty item of the list ("a,,b").
  if (name.ptr && name.len) r.index = ListFind(keywords, name, ',');
  return r;
}

HtmlTagState HtmlTemplateNextTag(HtmlTagState state, StrSlice keywords, StrSlice macros) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const bool compat = SysVarTest(kSysSystemCompat, kCompatLf);
  // Without compat an inserted value is scanned again from the line's
  // start, so its own fields are expanded too.
  const u16 flags = kFieldFlags | (compat ? 0 : kTplReexpand);
  u16 pos = HtmlTagPos(state);
  u16 index = 0;
  u16 status = HtmlTagStatus(state);
  StrSlice args{"", 0};

  while (HtmlTagFile(state) && index == 0 && status == kTagGoOn) {
    const u16 h = HtmlTagFile(state);
    if (pos == kTagReadNext) {
      const StrSlice line = FileReadLine(h, kFileHere, kReadLine);
      status = StrError(line);
      if (status == 0) status = StorePush(kGroupTemplateLines, line);
      WorkMark(mark);
      if (status) break;
      pos = 0;
    }
    const StrSlice top = StoreTop(kGroupTemplateLines);
    const TplScan scan = TplExpandUntil(StrSlice{top.ptr + pos, static_cast<u16>(top.len - pos)}, flags, macros,
                                        KeywordStop, &keywords);
    if ((status = StrError(scan.text)) != 0) break;
    if (scan.at == kNotFound) {
      // A field with '(' but no ')' that is no keyword ends the page after
      // its value was taken; the line is not written.
      if ((status = scan.status) != 0) break;
      HtmlTextOut(scan.text);
      HtmlOut(StrC(compat ? "\n" : "\r\n"));
      status = StorePop(kGroupTemplateLines);
      pos = kTagReadNext;
      if (status == 0 && FileTell(h) >= FileLength(h)) {
        status = kTagEnd;
        TemplateClose(&state);
      }
      continue;
    }
    // A keyword field: the text before it is written, the line keeps its
    // expanded values and the scan resumes after the field.
    const StrSlice field = StrTrimSet(StrSlice{scan.text.ptr + scan.at, scan.len}, kTrimBoth, StrC(" \t"));
    const MacroKeyword kw = MacroKeywordOf(keywords, field);
    status = kw.status;
    // A keyword whose '(' is never closed: the field's text is the detail,
    // so that the message says which field it was.
    if (status == kErrSyntax) (void)ErrMsgAppend(status, field, false);
    HtmlTextOut(StrSlice{scan.text.ptr, static_cast<u16>(scan.at - 1)});
    if (scan.expanded) {
      if (const u16 st = LineTopReplace(pos, scan.text)) {
        status = st;
        break;
      }
    }
    args = kw.args;
    index = kw.index;
    pos = static_cast<u16>(pos + scan.at + scan.len + 1);
  }

  SetStatus(&state, status);
  SetPos(&state, pos, index);
  // Only the argument text survives the scan; everything else it built is
  // released.
  if (index) {
    SetArgs(&state, WorkReturn(mark, args));
  } else {
    WorkMark(mark);
    SetArgs(&state, StrSlice{"", 0});
  }
  return state;
}

// A page the caller names (evaluated when written in parentheses, then
// checked for access) or the fail page that the access check shows in place
// of a refused one: a request value, taken as it is and not checked again.
static u16 PageRender(StrSlice page, MacroContext context, bool fail_page) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice macros = MacroContextMacros(context);
  const StrSlice keywords = MacroContextKeywords(context);
  const HtmlTagHandler handler = context.handler ? context.handler : HtmlTagDefault;
  HtmlTagState state = FreshState();
  u16 status = 0;

  if (!fail_page && page.len >= 2 && page.ptr[0] == '(' && page.ptr[page.len - 1] == ')') {
    page = ExprEvalStr(page);
    status = StrError(page);
  }
  if (status == 0 && page.len == 0) status = ErrMsgAppend(kErrFileNotFound, MsgText("0041"), false);
  if (status == 0 && !fail_page) status = WebPageAccess(page, macros);

  const u16 lines_base = StoreCount(kGroupTemplateLines);
  if (status == 0) {
    state = HtmlPageOpen(page);
    status = HtmlTagStatus(state);
    while (status == kTagGoOn && HtmlTagFile(state)) {
      state = HtmlTemplateNextTag(state, keywords, macros);
      if (HtmlTagStatus(state) == kTagGoOn) state = handler(state, macros);
      status = HtmlTagStatus(state);
      SetArgs(&state, WorkReturn(mark, HtmlTagArgs(state)));
    }
  }
  // An early end leaves neither the template open nor its lines stacked.
  TemplateClose(&state);
  (void)StoreTrim(kGroupTemplateLines, lines_base);  // removing entries needs no room

  WorkMark(mark);
  return status >= kFirstError ? status : 0;
}

u16 HtmlPageRender(StrSlice page, MacroContext context) { return PageRender(page, context, false); }
u16 HtmlFailPageRender(StrSlice page, MacroContext context) { return PageRender(page, context, true); }

u16 HtmlPageToMemory(StrSlice tpl, MacroContext context, char** data, u32* size) {
  *data = nullptr;
  *size = 0;
  size_t made = 0;
  std::FILE* f = OsMemStreamOpen(data, &made);
  if (!f) return kErrOutOfMemory;
  HtmlSinkSet(f);
  u16 result = HtmlPageRender(tpl, context);
  HtmlSinkSet(nullptr);
  if (OsFileClose(f) != 0 && result == 0) result = kErrFileIO;
  if (result == 0 && made > kMaxPageBytes) result = kErrFileIO;
  if (result != 0) {
    OsMemFree(*data);
    *data = nullptr;
    return result;
  }
  *size = static_cast<u32>(made);
  return 0;
}

u16 HtmlPagePutCode(u16 put) { return put == 0 ? 0 : put == kOsOpenFailed ? kFailed : u16{kErrFileIO}; }

u16 HtmlPageToFile(StrSlice tpl, MacroContext context, StrSlice out_path) {
  char* data = nullptr;
  u32 size = 0;
  u16 result = HtmlPageToMemory(tpl, context, &data, &size);
  if (result == 0) {
    result = HtmlPagePutCode(OsFilePut(out_path, data, size));
    if (result != 0) {
      const WorkMarkId m = WorkMark(kMarkQuery);
      ErrMsgAppend(result, FileShown(out_path, OsLastError()), true);
      WorkMark(m);
    }
  }
  OsMemFree(data);
  return result;
}

}  // namespace vk
