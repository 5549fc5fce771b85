#include "html/tags.h"

#include <cstring>

#include "html/output.h"
#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {
namespace {

constexpr StrSlice kCrLf{"\r\n", 2};

constexpr const char* kTagNames[kTagCount] = {
    "p",    "td",     "tr",     "table",  "font", "form",  "body", "html",
    "u",    "i",      "b",      "center", "blockquote", "a", "input", "select",
    "option", "head", "title", "meta",   "div",  "img",
};

// Attribute bits.
enum : u16 {
  kAttrName = 1u << 0,
  kAttrAlign = 1u << 1,
  kAttrSize = 1u << 2,
  kAttrColspan = 1u << 3,
  kAttrType = 1u << 4,
  kAttrValue = 1u << 5,
  kAttrChecked = 1u << 6,
  kAttrBgcolor = 1u << 7,
  kAttrHref = 1u << 8,
  kAttrStyle = 1u << 9,
  kAttrWidth = 1u << 10,
  kAttrHeight = 1u << 11,
  kAttrSrc = 1u << 12,
  kAttrHttpEquiv = 1u << 13,
  kAttrContent = 1u << 14,
};
constexpr u16 kAttrBits = 15;

// The attributes each tag may carry, by tag number.
constexpr u16 kTagMasks[kTagCount] = {
    kAttrAlign,                                                                   // p
    kAttrAlign | kAttrColspan,                                                    // td
    0,                                                                            // tr
    kAttrAlign | kAttrColspan | kAttrBgcolor | kAttrStyle | kAttrWidth | kAttrHeight,  // table
    kAttrSize,                                                                    // font
    0,                                                                            // form
    kAttrBgcolor | kAttrStyle,                                                    // body
    0, 0, 0, 0, 0, 0,                                                             // html u i b center blockquote
    kAttrHref,                                                                    // a
    kAttrName | kAttrAlign | kAttrSize | kAttrType | kAttrValue | kAttrChecked,   // input
    kAttrName,                                                                    // select
    kAttrValue,                                                                   // option
    0, 0,                                                                         // head title
    kAttrHttpEquiv | kAttrContent,                                                // meta
    0,                                                                            // div
    kAttrAlign | kAttrStyle | kAttrSrc,                                           // img
};

enum AttrKind : u8 { kKindText, kKindNumber, kKindAlign, kKindFlag };

// How each attribute bit is written, in bit order.
struct AttrRule {
  const char* format;
  AttrKind kind;
  StrSlice HtmlAttrs::*text;
  u16 HtmlAttrs::*number;
};
const AttrRule kAttrRules[kAttrBits] = {
    {" name=\"%s\"", kKindText, &HtmlAttrs::name, nullptr},
    {" align=\"%s\"", kKindAlign, nullptr, nullptr},
    {" size=\"%s\"", kKindNumber, nullptr, &HtmlAttrs::size},
    {" colspan=\"%s\"", kKindNumber, nullptr, &HtmlAttrs::colspan},
    {" type=\"%s\"", kKindText, &HtmlAttrs::type, nullptr},
    {" value=\"%s\"", kKindText, &HtmlAttrs::value, nullptr},
    {" checked", kKindFlag, nullptr, nullptr},
    {" bgcolor=\"%s\"", kKindText, &HtmlAttrs::bgcolor, nullptr},
    {" href=\"%s\"", kKindText, &HtmlAttrs::href, nullptr},
    {" style=\"%s\"", kKindText, &HtmlAttrs::style, nullptr},
    {" width=\"%s\"", kKindText, &HtmlAttrs::width, nullptr},
    {" height=\"%s\"", kKindText, &HtmlAttrs::height, nullptr},
    {" src=\"%s\"", kKindText, &HtmlAttrs::src, nullptr},
    {" http-equiv=\"%s\"", kKindText, &HtmlAttrs::name, nullptr},
    {" content=\"%s\"", kKindText, &HtmlAttrs::value, nullptr},
};

constexpr const char* kAlignWords = "left,center,right,justify";

// The fixed closing texts of HtmlCloseTag, by tag number.
constexpr const char* kCloseTexts[kTagCount] = {
    "</p>",     "</td>",     "</tr>\n",  "</table>\n", "</font>", "</form>\n",
    "</body>",  "</html>\n", "",         "",           "",        "",
    "</blockquote>", "</a>", "</input>", "</select>",  "</option>", "</head>",
    "</title>", "</meta>",   "</div>",   ">",
};

constexpr const char* kCharsetMeta =
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\n";
constexpr const char* kPageTitleStyle = "_P_SIZE=4 _P_TEXT=12";

HtmlTagStack g_stack{};

// The parts joined as one new scratch entry; 146 past 65535 bytes, an error
// slice among the parts passes through.
StrSlice Join(const StrSlice* parts, u16 count) {
  u32 total = 0;
  for (u16 i = 0; i < count; ++i) {
    if (!parts[i].ptr) return parts[i];
    total += parts[i].len;
  }
  StrSlice out = WorkAllocText(total);
  if (!out.ptr) return out;
  char* d = const_cast<char*>(out.ptr);
  for (u16 i = 0; i < count; ++i) {
    if (parts[i].len) std::memmove(d, parts[i].ptr, parts[i].len);
    d += parts[i].len;
  }
  return out;
}

u16 ParamNumber(StrSlice params, const char* key) { return StrValue(HtmlParam(params, key)); }

}  // namespace

HtmlAttrs HtmlAttrsEmpty() {
  HtmlAttrs a{};
  a.name = a.type = a.value = a.bgcolor = a.href = kStrEmpty;
  a.style = a.width = a.height = a.src = kStrEmpty;
  return a;
}

HtmlAttrs HtmlAttrParse(StrSlice params) {
  HtmlAttrs a = HtmlAttrsEmpty();
  if (!params.ptr || params.len == 0) return a;
  a.name = HtmlParam(params, "_P_NAME");
  const StrSlice align = HtmlParam(params, "_P_ALIGN");
  a.align = align.len ? ListFind(StrC(kAlignWords), align, ',') : u16{kAlignNone};
  a.size = ParamNumber(params, "_P_SIZE");
  a.cols = ParamNumber(params, "_P_COLS");
  a.colspan = ParamNumber(params, "_P_COLSPAN");
  a.type = HtmlParam(params, "_P_TYPE");
  a.value = HtmlParam(params, "_P_VALUE");
  a.checked = ParamNumber(params, "_P_CHECKED") != 0 ? 1 : 0;
  a.bgcolor = HtmlParam(params, "_P_BGCOL");
  a.href = HtmlParam(params, "_P_HREF");
  a.text = static_cast<u8>(ParamNumber(params, "_P_TEXT") & 0xFF);
  a.style = HtmlParam(params, "_P_STYLE");
  a.width = HtmlParam(params, "_P_WIDTH");
  a.height = HtmlParam(params, "_P_HEIGHT");
  return a;
}

StrSlice HtmlParam(StrSlice params, const char* key) { return StrOrEmpty(StrGetParam(params, StrC(key))); }

StrSlice HtmlTagName(u16 tag) {
  if (tag < 1 || tag > kTagCount) return kStrEmpty;
  return StrC(kTagNames[tag - 1]);
}

StrSlice HtmlAttrStr(const char* format, StrSlice text) {
  if (!text.ptr || text.len == 0) return kStrEmpty;
  return StrFormat1(StrC(format), text);
}

StrSlice HtmlAttrNum(const char* format, u16 number) {
  if (number == 0) return kStrEmpty;
  // The fields are unsigned: 40000 is written as 40000, not as -25536.
  char digits[kNumI32Digits];
  return StrFormat1(StrC(format), StrC(NumI32ToA(number, digits, 10)));
}

StrSlice HtmlAttrEscaped(StrSlice value) { return StrOrEmpty(StrReplace(value, StrC("\""), StrC("&quot;"), kPlain)); }

StrSlice HtmlAlignAttr(u16 index) {
  if (index < kAlignLeft || index > kAlignJustify) return kStrEmpty;
  return HtmlAttrStr(" align=\"%s\"", ListItem(StrC(kAlignWords), ',', index));
}

StrSlice HtmlAttrText(u16 tag, HtmlAttrs attrs) {
  const u16 mask = (tag >= 1 && tag <= kTagCount) ? kTagMasks[tag - 1] : 0;
  if (mask == 0) return kStrEmpty;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice parts[kAttrBits];
  u16 n = 0;
  for (u16 bit = 0; bit < kAttrBits; ++bit) {
    if (!(mask & (1u << bit))) continue;
    const AttrRule& rule = kAttrRules[bit];
    switch (rule.kind) {
      case kKindText:
        parts[n++] = HtmlAttrStr(rule.format, attrs.*rule.text);
        break;
      case kKindNumber:
        parts[n++] = HtmlAttrNum(rule.format, attrs.*rule.number);
        break;
      case kKindAlign:
        parts[n++] = HtmlAlignAttr(attrs.align);
        break;
      case kKindFlag:
        parts[n++] = attrs.checked ? StrC(rule.format) : kStrEmpty;
        break;
    }
  }
  return WorkReturn(mark, Join(parts, n));
}

StrSlice HtmlTagText(u16 tag, HtmlAttrs attrs) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice parts[] = {StrC("<"), HtmlTagName(tag), HtmlAttrText(tag, attrs), StrC(">"), kCrLf};
  return WorkReturn(mark, Join(parts, 5));
}

StrSlice HtmlWrap(u16 tag, StrSlice text) {
  const StrSlice name = HtmlTagName(tag);
  const StrSlice parts[] = {StrC("<"), name, StrC(">"), text, StrC("</"), name, StrC(">")};
  return Join(parts, 7);
}

StrSlice HtmlTextDecorate(StrSlice text, u8 bits) {
  static constexpr u16 kStyleTags[] = {kTagU, kTagI, kTagB, kTagCenter, kTagBlockquote};
  const WorkMarkId mark = WorkMark(kMarkQuery);
  for (u16 i = 0; i < 5; ++i) {
    if (bits & (1u << i)) text = HtmlWrap(kStyleTags[i], text);
  }
  return WorkReturn(mark, text);
}

void HtmlTagWrite(u16 tag, HtmlAttrs attrs) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  HtmlOut(HtmlTagText(tag, attrs));
  WorkMark(mark);
}

u16 HtmlTagOpen(u16 tag, HtmlAttrs attrs) {
  HtmlTagWrite(tag, attrs);
  if (g_stack.depth >= kTagStackLevels) return kTagStackFull;
  g_stack.tags[g_stack.depth] = tag;
  return g_stack.depth++;
}

void HtmlTagPopTo(u16 depth) {
  while (depth < g_stack.depth) {
    --g_stack.depth;
    // "</" + the longest name + ">" CR LF fits easily.
    char line[24];
    const StrSlice name = HtmlTagName(g_stack.tags[g_stack.depth]);
    u16 n = 0;
    line[n++] = '<';
    line[n++] = '/';
    std::memcpy(line + n, name.ptr, name.len);
    n = static_cast<u16>(n + name.len);
    line[n++] = '>';
    line[n++] = '\r';
    line[n++] = '\n';
    HtmlOut(StrMake(line, n));
  }
}

void HtmlTagForget(u16 depth) {
  if (depth < g_stack.depth) g_stack.depth = depth;
}

u16 HtmlTagDepth() { return g_stack.depth; }

const HtmlTagStack* HtmlTagStackState() { return &g_stack; }

u16 HtmlElement(u16 tag, HtmlAttrs attrs, HtmlContentFn callback, StrSlice data) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 depth = HtmlTagOpen(tag, attrs);
  u16 result = kTagStackFull;
  if (depth != kTagStackFull) {
    if (callback) {
      result = callback(attrs, data);
    } else {
      HtmlOut(data);
      result = 0;
    }
    if (result == 0) HtmlTagPopTo(depth);
  }
  WorkMark(mark);
  return result;
}

u16 HtmlPara(HtmlAttrs attrs, StrSlice text) { return HtmlElement(kTagP, attrs, nullptr, text); }

u16 HtmlText(HtmlAttrs attrs, StrSlice text) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (attrs.text) text = HtmlTextDecorate(text, attrs.text);
  const u16 result = attrs.size ? HtmlElement(kTagFont, attrs, HtmlPara, text) : HtmlPara(attrs, text);
  WorkMark(mark);
  return result;
}

u16 HtmlTextStyled(HtmlStyledText styled) {
  HtmlAttrs a = HtmlAttrsEmpty();
  a.align = styled.align;
  a.size = styled.size;
  a.text = styled.bits;
  return HtmlText(a, styled.text);
}

void HtmlCloseTag(u16 n) {
  if (n < 1 || n > kTagCount) return;
  HtmlOut(StrC(kCloseTexts[n - 1]));
}

u16 HtmlHead(HtmlAttrs attrs, StrSlice items) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 depth = HtmlTagOpen(kTagHead, attrs);
  HtmlOut(StrC(kCharsetMeta));
  const u16 count = ListCount(items, '\0');
  for (u16 k = 1; k <= count; ++k) {
    const StrSlice item = ListItem(items, '\0', k);
    if (k == 1) {
      (void)HtmlElement(kTagTitle, attrs, nullptr, item);  // a full stack leaves it out; the rest is written
    } else if (item.len && item.ptr[0] == '<') {
      HtmlOut(item);
      HtmlOut(kCrLf);
    } else {
      HtmlAttrs meta = HtmlAttrsEmpty();
      meta.name = ListItem(item, ',', 1);
      meta.value = ListItem(item, ',', 2);
      HtmlTagWrite(kTagMeta, meta);
    }
  }
  HtmlTagPopTo(depth);
  WorkMark(mark);
  return 0;
}

u16 HtmlPageBegin(StrSlice params, StrSlice extra_items, u16 flags) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice title = HtmlParam(params, "PAGETITLE");
  const StrSlice items = StrJoin(title, StrMake("\0", 1), StrOrEmpty(extra_items));
  const u16 depth = HtmlTagOpen(kTagHtml, HtmlAttrsEmpty());
  // A full tag stack leaves an element out; the rest is written, and the
  // depth returned lets the caller close what was opened.
  (void)HtmlHead(HtmlAttrsEmpty(), items);
  HtmlTagOpen(kTagBody, HtmlAttrParse(HtmlParam(params, "BODYSTYLE")));
  if (!(flags & kPageNoTitle)) (void)HtmlText(HtmlAttrParse(StrC(kPageTitleStyle)), title);
  WorkMark(mark);
  return depth;
}

}  // namespace vk
