// Whole form pages from a compact field description, and the small
// writers for links, coloured text and blank paragraphs. Everything is
// written through the tag writer and the output sink.
//
// A form page's parameter string may hold FORMSTYLE (a "_P_" parameter
// string for the form table: _P_COLS its columns, _P_NAME the form's name;
// default "_P_COLS=2 _P_BGCOL='#C0C0C0' _P_ALIGN='center'"), FORMTITLE,
// PAGETITLE and BODYSTYLE.
//
// The field list: fields separated by ',', each "label;name;size;value;type"
// (both splits quote-aware; "&quot;" in a field reads as '"' before it is
// split). For a select the size position holds the comma list of option
// texts and the value position the option values. Labels and names are
// written unchanged; a value's '"' is written as "&quot;".
#pragma once
#include "html/tags.h"

namespace vk {

constexpr const char* kFormStyleDefault = "_P_COLS=2 _P_BGCOL='#C0C0C0' _P_ALIGN='center'";

// Writes the page: html, head, body, the title unless kPageNoTitle, the
// form title (or a blank paragraph), the form tag, the form table and the
// fixed closing texts. The tag stack is left as it was found.
void HtmlFormPage(StrSlice params, StrSlice fields, u16 flags);
// Writes the form tag (GET in echo mode, else POST; the name in place of
// "[$]", then its bracketed fields expanded; the action the script's name,
// escaped) and, when the request has an "echo" value, the hidden echo
// field carrying it, escaped.
void HtmlFormBegin(StrSlice name);
// Content writer of the form table: every field, as a table row when the
// record has columns, else as a paragraph. 0, or the first non-zero
// element result.
[[nodiscard]] u16 HtmlFormFields(HtmlAttrs attrs, StrSlice fields);
// Content writer of one field: its label and its control. Result 0.
[[nodiscard]] u16 HtmlFormField(HtmlAttrs attrs, StrSlice field);
// Content writer of a select list: one option per item of attrs.value,
// with the matching item of texts as its text. Result 0.
[[nodiscard]] u16 HtmlSelectOptions(HtmlAttrs attrs, StrSlice texts);

// `<a` + style + ` href="..."` + `>` text `</a>`, returned and not written;
// the style is the _P_STYLE inside params' LINKSTYLE, as ` style="..."`,
// and the blank before it stays when there is none.
StrSlice HtmlLink(StrSlice href, StrSlice text, StrSlice params);
// Writes the text in a font element of the colour; no line ends.
void HtmlFontColor(StrSlice text, StrSlice colour);
// Writes n blank paragraphs, each ended by LF.
void HtmlBlankLines(u16 n);

}  // namespace vk
