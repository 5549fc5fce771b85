// The tag writer: 22 numbered HTML tags, each with a fixed set of
// attributes that it may carry, taken from an HtmlAttrs record (usually
// parsed from a parameter string of "_P_" keys). Opened tags are pushed on
// one process-wide stack of 16 levels; popping back to a remembered depth
// writes the closing tags in reverse order. Elements, styled texts, the
// page head and the page begin are built on these.
//
// Everything is written through HtmlOut. Attribute values are inserted as
// they are, without escaping: callers escape what needs it. Opening tags
// and closing tags written by the stack end in CR LF. Text results are one
// new scratch entry (or an error slice); record texts point into the
// parameter text or into scratch entries the caller's mark keeps.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Tag numbers.
enum : u16 {
  kTagP = 1,
  kTagTd = 2,
  kTagTr = 3,
  kTagTable = 4,
  kTagFont = 5,
  kTagForm = 6,
  kTagBody = 7,
  kTagHtml = 8,
  kTagU = 9,
  kTagI = 10,
  kTagB = 11,
  kTagCenter = 12,
  kTagBlockquote = 13,
  kTagA = 14,
  kTagInput = 15,
  kTagSelect = 16,
  kTagOption = 17,
  kTagHead = 18,
  kTagTitle = 19,
  kTagMeta = 20,
  kTagDiv = 21,
  kTagImg = 22,
  kTagCount = 22,
};

// Align indexes (items of "left,center,right,justify"); 0 writes none.
enum : u16 { kAlignNone = 0, kAlignLeft = 1, kAlignCenter = 2, kAlignRight = 3, kAlignJustify = 4 };

// Text style bits, applied from u (innermost) to blockquote (outermost).
enum : u8 {
  kStyleUnderline = 0x01,
  kStyleItalic = 0x02,
  kStyleBold = 0x04,
  kStyleCenter = 0x08,
  kStyleBlockquote = 0x10,
};

// HtmlTagOpen's answer when the stack is full.
constexpr u16 kTagStackFull = 0xFFFF;
constexpr u16 kTagStackLevels = 16;

// The attribute record, passed by value. An empty text or a zero number
// leaves its attribute out.
struct HtmlAttrs {
  StrSlice name;     // _P_NAME; also the http-equiv of a meta tag
  u16 align;         // _P_ALIGN: kAlign... by exact match, else 0
  u16 size;          // _P_SIZE
  u16 cols;          // _P_COLS: columns of a form table, not an attribute
  u16 colspan;       // _P_COLSPAN
  StrSlice type;     // _P_TYPE
  StrSlice value;    // _P_VALUE; also the content of a meta tag
  u8 checked;        // _P_CHECKED: 1 when its number is non-zero
  StrSlice bgcolor;  // _P_BGCOL
  StrSlice href;     // _P_HREF
  u8 text;           // _P_TEXT: text style bits (low 8 bits)
  StrSlice style;    // _P_STYLE
  StrSlice width;    // _P_WIDTH
  StrSlice height;   // _P_HEIGHT
  StrSlice src;      // filled by no key
};

struct HtmlTagStack {
  u16 depth;
  u16 tags[kTagStackLevels];  // bottom first
};

// A content writer of HtmlElement: gets a copy of the element's record and
// the data text; 0 closes the element, anything else leaves it open.
using HtmlContentFn = u16 (*)(HtmlAttrs attrs, StrSlice data);

// The record with every text empty and every number 0.
HtmlAttrs HtmlAttrsEmpty();
// The record of a parameter string. Values follow StrGetParam: unquoted
// ones come back upper-cased, so align words and colours are given quoted.
// A number is StrValue's (1 for a yes-word). The record's texts may point
// at new scratch entries.
HtmlAttrs HtmlAttrParse(StrSlice params);

// The value of key in a parameter text; the empty text when it has none.
StrSlice HtmlParam(StrSlice params, const char* key);
// The tag's name ("p", "td", ...); the empty text for a number out of range.
StrSlice HtmlTagName(u16 tag);
// StrFormat1 with text; the empty text for an empty text.
StrSlice HtmlAttrStr(const char* format, StrSlice text);
// StrFormat1 with the unsigned decimal form of number (0-65535); empty
// for 0.
StrSlice HtmlAttrNum(const char* format, u16 number);
// The value with every double quote written as "&quot;", fit to stand
// inside a double-quoted attribute; the empty text when it cannot be made.
// Values from the request or the environment go through it.
StrSlice HtmlAttrEscaped(StrSlice value);
// ` align="..."` for an index 1-4, else the empty text.
StrSlice HtmlAlignAttr(u16 index);
// The attributes that tag carries, in their fixed order, each beginning
// with one blank; the empty text when all are empty.
StrSlice HtmlAttrText(u16 tag, HtmlAttrs attrs);
// "<" name attributes ">" CR LF.
StrSlice HtmlTagText(u16 tag, HtmlAttrs attrs);
// "<name>" text "</name>", no line ends.
StrSlice HtmlWrap(u16 tag, StrSlice text);
// The text wrapped in u, i, b, center, blockquote for the bits set.
StrSlice HtmlTextDecorate(StrSlice text, u8 bits);

// Writes the opening tag without touching the stack.
void HtmlTagWrite(u16 tag, HtmlAttrs attrs);
// Writes the opening tag (also when the stack is full) and pushes it; the
// depth before the push, or kTagStackFull with nothing pushed.
u16 HtmlTagOpen(u16 tag, HtmlAttrs attrs);
// Pops every tag above depth, writing "</name>" CR LF for each; a depth at
// or above the current one (kTagStackFull included) pops nothing.
void HtmlTagPopTo(u16 depth);
// Drops the tags above depth without writing anything, for a caller that
// has written its own closing texts for them.
void HtmlTagForget(u16 depth);
u16 HtmlTagDepth();
const HtmlTagStack* HtmlTagStackState();

// The whole element: the opening tag, then callback(attrs copy, data) or,
// without a callback, data written as the content, then (when that gave
// 0) the pop back to the element's depth. kTagStackFull when the tag could
// not be pushed: no content and no closing tag are written then.
[[nodiscard]] u16 HtmlElement(u16 tag, HtmlAttrs attrs, HtmlContentFn callback, StrSlice data);
// A p element holding text.
[[nodiscard]] u16 HtmlPara(HtmlAttrs attrs, StrSlice text);
// The text decorated by attrs.text, in a paragraph, nested in a font
// element when attrs.size is non-zero.
[[nodiscard]] u16 HtmlText(HtmlAttrs attrs, StrSlice text);

struct HtmlStyledText {
  StrSlice text;
  u16 align;
  u16 size;
  u8 bits;
};
// HtmlText with the empty record given align, size and style bits.
[[nodiscard]] u16 HtmlTextStyled(HtmlStyledText styled);

// Writes the fixed closing text of tag n (no line end of its own beyond
// the LF some of them hold); nothing for a number out of range.
void HtmlCloseTag(u16 n);

// The page head: the head tag, the character-set meta line, then for each
// NUL-separated item: the first as the title element, one beginning with
// '<' as it is with CR LF, any other as a meta tag "http-equiv,content";
// then the closing head tag. Result 0.
[[nodiscard]] u16 HtmlHead(HtmlAttrs attrs, StrSlice items);

// Page begin flags.
enum : u16 { kPageNoTitle = 0x01 };  // no visible title below the body tag
// Opens html, writes the head (PAGETITLE of params and the extra items),
// opens body with the record of params' BODYSTYLE and, unless kPageNoTitle,
// writes the title in size 4, bold and centred. html and body stay open;
// the result is the depth before html was pushed, for the caller to pop or
// forget to when it ends the page (kTagStackFull when html found the stack
// full).
u16 HtmlPageBegin(StrSlice params, StrSlice extra_items, u16 flags);

}  // namespace vk
