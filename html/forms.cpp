#include "html/forms.h"

#include "html/output.h"
#include "html/request.h"
#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "script/template.h"

namespace vk {
namespace {


// Field positions of a form field description.
enum : u16 { kFieldLabel = 1, kFieldName = 2, kFieldSize = 3, kFieldValue = 4, kFieldType = 5 };

// The form tag up to its action's value, and what follows that value.
constexpr const char* kFormTag = "<form method=\"%s\" name=\"[$]\" action=\"";
constexpr const char* kFormTagEnd = "\">\n";
constexpr u16 kFormTagRoom = 384;
constexpr const char* kEchoField = "<input type=\"hidden\" name=\"%s\" value=\"%s\">\n";
constexpr const char* kEchoName = "echo";
constexpr const char* kLinkFormat = "<a %s href=\"%s\">%s</a>";
constexpr const char* kBlankLine = "<p>&nbsp;</p>\n";

// A field description with every "&quot;" read as a double quote.
StrSlice FieldText(StrSlice field) { return StrOrEmpty(StrReplace(field, StrC("&quot;"), StrC("\""), kPlain)); }

StrSlice FieldItem(StrSlice field, u16 k) { return ListItem(field, ';', k); }


}  // namespace

void HtmlBlankLines(u16 n) {
  for (u16 i = 0; i < n; ++i) HtmlOut(StrC(kBlankLine));
}

void HtmlFontColor(StrSlice text, StrSlice colour) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  HtmlOut(StrFormat1(StrC("<font color=\"%s\">"), StrOrEmpty(colour)));
  HtmlOut(text);
  HtmlCloseTag(kTagFont);
  WorkMark(mark);
}

StrSlice HtmlLink(StrSlice href, StrSlice text, StrSlice params) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice style = HtmlParam(HtmlParam(params, "LINKSTYLE"), "_P_STYLE");
  if (style.len) style = StrOrEmpty(StrFormat1(StrC(" style=\"%s\""), style));
  // The blank after "<a" stays when there is no style.
  const StrSlice texts[] = {style, StrOrEmpty(href), StrOrEmpty(text)};
  return WorkReturn(mark, StrFormatTexts(StrC(kLinkFormat), texts, 3));
}

void HtmlFormBegin(StrSlice name) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const bool echo = HtmlEcho(kStrEmpty) != 0;
  const StrSlice tag = StrFormatV(kFormTagRoom, kFormTag, echo ? "GET" : "POST");
  const StrSlice named = TplSubstDollar(tag, StrOrEmpty(name));
  StrSlice expanded = TplExpandWith(named, kStrEmpty);
  StrSlice action = kStrEmpty;
  if (expanded.ptr) {
    action = CgiScriptNameAttr();
  } else {
    // A field that cannot be expanded leaves the form tag in place with an
    // empty action (the page's own address) instead of losing the tag.
    expanded = named;
  }
  HtmlOut(expanded);
  HtmlOut(action);
  HtmlOut(StrC(kFormTagEnd));
  const StrSlice value = StrOrEmpty(CgiParam(StrC(kEchoName)));
  if (value.len) {
    const StrSlice texts[] = {StrC(kEchoName), HtmlAttrEscaped(value)};
    HtmlOut(StrFormatTexts(StrC(kEchoField), texts, 2));
  }
  WorkMark(mark);
}

u16 HtmlSelectOptions(HtmlAttrs attrs, StrSlice texts) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice values = StrUnquote(StrOrEmpty(attrs.value));
  texts = StrUnquote(StrOrEmpty(texts));
  const u16 count = ListCount(values, ',');
  for (u16 k = 1; k <= count; ++k) {
    const WorkMarkId item_mark = WorkMark(kMarkQuery);
    attrs.value = HtmlAttrEscaped(ListItem(values, ',', k));
    // A full tag stack leaves the element out; the rest is written (also below).
    (void)HtmlElement(kTagOption, attrs, nullptr, ListItem(texts, ',', k));
    WorkMark(item_mark);
  }
  WorkMark(mark);
  return 0;
}

u16 HtmlFormField(HtmlAttrs attrs, StrSlice field) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  field = FieldText(field);
  u16 depth;
  if (attrs.cols == 0) {
    depth = HtmlTagOpen(kTagP, attrs);
  } else {
    // A label cell spanning the whole row is centred, else right-aligned.
    attrs.align = attrs.colspan == attrs.cols ? kAlignCenter : kAlignRight;
    depth = HtmlTagOpen(kTagTd, attrs);
  }
  const StrSlice label = FieldItem(field, kFieldLabel);
  if (label.len) HtmlOut(label);
  if (attrs.cols > attrs.colspan) {
    // The control gets a left-aligned cell of its own.
    HtmlTagPopTo(depth);
    attrs.align = kAlignLeft;
    HtmlTagOpen(kTagTd, attrs);
  }
  const StrSlice size = FieldItem(field, kFieldSize);
  attrs.name = FieldItem(field, kFieldName);
  attrs.size = StrValue(size);
  attrs.type = FieldItem(field, kFieldType);
  if (StrEqual(attrs.type, StrC("select"))) {
    // The option values are escaped one by one after their list is
    // unquoted, so a list in double quotes still unquotes.
    attrs.value = FieldItem(field, kFieldValue);
    // A full tag stack leaves the control out; the rest is written.
    (void)HtmlElement(kTagSelect, attrs, HtmlSelectOptions, size);
  } else {
    attrs.value = HtmlAttrEscaped(FieldItem(field, kFieldValue));
    (void)HtmlElement(kTagInput, attrs, nullptr, kStrEmpty);
  }
  HtmlTagPopTo(depth);
  WorkMark(mark);
  return 0;
}

u16 HtmlFormFields(HtmlAttrs attrs, StrSlice fields) {
  const u16 count = ListCount(fields, ',');
  u16 result = 0;
  for (u16 i = 1; i <= count && result == 0; ++i) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const StrSlice field = ListItem(fields, ',', i);
    // A submit button as the last field spans the whole row.
    if (i == count && attrs.cols && StrEqual(FieldItem(FieldText(field), kFieldType), StrC("submit"))) {
      attrs.colspan = attrs.cols;
    }
    result = attrs.cols ? HtmlElement(kTagTr, attrs, HtmlFormField, field) : HtmlFormField(attrs, field);
    WorkMark(mark);
  }
  return result;
}

void HtmlFormPage(StrSlice params, StrSlice fields, u16 flags) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice style = HtmlParam(params, "FORMSTYLE");
  if (style.len == 0) style = StrC(kFormStyleDefault);
  const u16 depth = HtmlPageBegin(params, kStrEmpty, flags);
  HtmlBlankLines(1);
  const StrSlice title = HtmlParam(params, "FORMTITLE");
  if (title.len) {
    // A full tag stack leaves an element out; the rest is written (also below).
    (void)HtmlTextStyled(HtmlStyledText{title, kAlignCenter, 3, 0});
  } else {
    HtmlBlankLines(1);
  }
  HtmlFormBegin(HtmlParam(style, "_P_NAME"));
  (void)HtmlElement(kTagTable, HtmlAttrParse(style), HtmlFormFields, StrOrEmpty(fields));
  HtmlCloseTag(kTagForm);
  HtmlCloseTag(kTagBody);
  HtmlCloseTag(kTagHtml);
  // The fixed texts above closed html and body (and whatever a full stack
  // left open); the stack drops back to where the page found it.
  HtmlTagForget(depth);
  WorkMark(mark);
}

}  // namespace vk
