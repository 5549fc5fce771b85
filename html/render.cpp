#include "html/render.h"

#include "html/access.h"
#include "html/output.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/message.h"
#include "runtime/os.h"
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
constexpr u16 kFieldFlags = kTplKey | kTplEmptyNum;
// Appended to a page's path while it is being written.
constexpr const char* kPartSuffix = "~part";

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
  const u16 n = VarCount(kGroupTemplateLines);
  const StrSlice top = VarTop(kGroupTemplateLines);
  const WorkMarkId m = WorkMark(kMarkQuery);
  u16 st = WorkPushConcat(StrSlice{top.ptr, keep}, rest);
  if (st == 0) st = VarSet(kGroupTemplateLines, static_cast<u16>(n - 1), WorkTop());
  WorkMark(m);
  return st;
}

// Ends the template's scan: the file is closed and its handle cleared.
void TemplateClose(HtmlTagState* s) {
  if (const u16 h = HtmlTagFile(*s)) FileClose(h);
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
  return VarSet(kGroupRun, kEntryLangSuffix, StrSlice{page.ptr + at, kPageSuffixLen});
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
      const u16 depth = static_cast<u16>(VarCount(kGroupTemplateLines) + 1);
      const StrSlice detail =
          StrFormatV(kDetailMax, "too many nested templates: %s would be template %u deep, beyond the %u files open at once",
                     path, depth, kFileSlots);
      st = ErrMsgAppend(kErrDataOutBound, detail, false);
    } else if (h < 0 || h >= static_cast<i16>(kFileSlots)) {
      const StrSlice detail = StrFormatV(kDetailMax, "filename:%s htmlpage:%s DocRoot:%s DocRootFileNm:%s",
                                         path, page, CgiDocumentRoot(), CgiDocPath(page));
      st = ErrMsgAppend(kErrFileNotFound, detail, false);
    } else {
      s.file = u32{static_cast<u16>(h)} << 16;
    }
    WorkMark(m);
  }
  SetStatus(&s, st);
  return s;
}

HtmlTagState HtmlTemplateNextTag(HtmlTagState state, StrSlice keywords, StrSlice macros) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const bool compat = SysVarTest(kSysCompat, kCompatLf);
  u16 pos = HtmlTagPos(state);
  u16 index = 0;
  u16 status = HtmlTagStatus(state);
  StrSlice args{"", 0};

  while (HtmlTagFile(state) && index == 0 && status == kTagGoOn) {
    const u16 h = HtmlTagFile(state);
    if (pos == kTagReadNext) {
      const StrSlice line = FileReadLine(h, kFileHere, kReadLine);
      status = StrError(line);
      if (status == 0) status = VarPush(kGroupTemplateLines, line);
      WorkMark(mark);
      if (status) break;
      pos = 0;
    }
    StrSlice top = VarTop(kGroupTemplateLines);
    StrSlice s{top.ptr + pos, static_cast<u16>(top.len - pos)};
    u16 v = 0;
    // Without compat an inserted value is scanned again, so a value that
    // brings back its own field would never end: the number of expansions
    // in one line is bounded.
    u32 budget = u32{StrCount(s, StrC("["), kPlain)} + kTplMaxReexpand;

    for (;;) {
      const u16 from = compat ? v : 0;
      u16 off = kNotFound;
      u16 n = 0;
      StrFindPair(StrSlice{s.ptr + from, static_cast<u16>(s.len - from)}, kPlain, '[', ']', &off, &n);
      if (off == kNotFound) {
        HtmlTextOut(s);
        HtmlOut(StrC(compat ? "\n" : "\r\n"));
        status = VarPop(kGroupTemplateLines);
        pos = kTagReadNext;
        if (status == 0 && FileTell(h) >= FileLength(h)) {
          status = kTagEnd;
          TemplateClose(&state);
        }
        break;
      }
      const u16 a = static_cast<u16>(from + off);
      const StrSlice t = StrTrimSet(StrSlice{s.ptr + a, n}, kTrimBoth, StrC(" \t"));
      const MacroKeyword kw = MacroKeywordOf(keywords, t);
      status = kw.status;
      if (kw.index) {
        HtmlTextOut(StrSlice{s.ptr, static_cast<u16>(a - 1)});
        args = kw.args;
        index = kw.index;
        pos = static_cast<u16>(pos + a + n + 1);
        break;
      }
      if (budget-- == 0) {
        status = kErrLoop;
        break;
      }
      const WorkMarkId m = WorkMark(kMarkQuery);
      const StrSlice value = TplFieldValue(t, kFieldFlags, macros);
      const StrSlice next = StrError(value) ? value : TplSpanReplace(s, a, n, value);
      u16 st = StrError(next);
      if (st == 0) st = LineTopReplace(pos, next);
      const u16 value_len = StrError(value) ? 0 : value.len;
      WorkMark(m);
      if (st) {
        status = st;
        break;
      }
      top = VarTop(kGroupTemplateLines);
      s = StrSlice{top.ptr + pos, static_cast<u16>(top.len - pos)};
      v = static_cast<u16>(a - 1 + value_len);
      if (status != kTagGoOn) break;
    }
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

u16 HtmlPageRender(StrSlice page, MacroContext context) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice macros = MacroContextMacros(context);
  const StrSlice keywords = MacroContextKeywords(context);
  const HtmlTagHandler handler = context.handler ? context.handler : HtmlTagDefault;
  HtmlTagState state = FreshState();
  u16 status = 0;

  if (page.len >= 2 && page.ptr[0] == '(' && page.ptr[page.len - 1] == ')') {
    page = ExprEvalStr(page);
    status = StrError(page);
  }
  if (status == 0 && page.len == 0) status = ErrMsgAppend(kErrFileNotFound, MsgText("0041"), false);
  if (status == 0) {
    const StrSlice failpage = CgiParam(StrC("failpage"));
    if (StrError(failpage) || !StrEqual(page, failpage)) status = WebPageAccess(page, macros);
  }

  const u16 lines_base = VarCount(kGroupTemplateLines);
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
  VarStackTrim(kGroupTemplateLines, lines_base);

  WorkMark(mark);
  return status >= kFirstError ? status : 0;
}

u16 HtmlPageToFile(StrSlice tpl, MacroContext context, StrSlice out_path) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice part = StrConcat(out_path, StrC(kPartSuffix));
  std::FILE* f = StrError(part) ? nullptr : OsFileOpen(part, "wb");
  if (!f) {
    WorkMark(mark);
    return 0xFFFF;
  }
  HtmlSinkSet(f);
  u16 result = HtmlPageRender(tpl, context);
  HtmlSinkSet(nullptr);
  const u32 written = OsFileTell(f);
  const bool closed = OsFileClose(f) == 0;
  if (!closed && result == 0) result = kErrFileIO;

  // A render that failed before writing a byte keeps the old page; anything
  // that was written replaces it, as a page written in place would.
  if (!closed || (result != 0 && written == 0)) {
    OsFileRemove(part);
  } else if (OsFileRename(part, out_path) != 0) {
    OsFileRemove(part);
    if (result == 0) result = kErrFileIO;
  }
  WorkMark(mark);
  return result;
}

}  // namespace vk
