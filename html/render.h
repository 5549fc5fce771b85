// The template page renderer. A template is HTML text in which a '[' with
// its matching ']' is a field. A field whose name is in the context's
// keyword list is handed to the keyword handler, which writes the keyword's
// output; any other field is replaced where it stands by its value (macro
// value, command-line parameter, environment variable or expression). All
// other text goes to the output sink line by line, "\{" and "\}" becoming
// "[" and "]". Lines end in LF while _SYSCOMPAT has bit 0x02 set, else in
// CR LF.
//
// The scanner (HtmlTemplateNextTag) and the driver (HtmlPageRender) share
// one small record passed by value. Template lines live on variable group
// 32 while they are scanned, so a handler may render another template into
// the same page: its lines sit above the outer page's current line.
//
// Whatever way a render ends, it closes its template file and leaves group
// 32 as deep as it found it.
#pragma once
#include "html/request.h"
#include "runtime/slice.h"

namespace vk {

// Scan status beside the error codes: go on, and the end of the template.
enum : u16 { kTagGoOn = 0, kTagEnd = 1 };
// The position that makes the scanner read the next line first.
constexpr u16 kTagReadNext = 0xFFFF;
// The line end written after a template line with and without bit 0x02 of
// _SYSCOMPAT.
constexpr u16 kCompatLf = 0x02;

// Five words. status: the code in the low half (0 go on, 1 end of the
// template, 122 and above an error). file: the template's file slot in the
// high half, 0 for none. position: where scanning resumes in the current
// line (low half; kTagReadNext: read a line first) and, in the high half,
// the 1-based keyword index of the field just found (0 for none). Then the
// keyword field's argument text.
struct HtmlTagState {
  u32 status;
  u32 file;
  u32 position;
  const char* args;
  u32 args_len;
};

inline u16 HtmlTagStatus(HtmlTagState s) { return static_cast<u16>(s.status); }
inline u16 HtmlTagFile(HtmlTagState s) { return static_cast<u16>(s.file >> 16); }
inline u16 HtmlTagPos(HtmlTagState s) { return static_cast<u16>(s.position); }
inline u16 HtmlTagIndex(HtmlTagState s) { return static_cast<u16>(s.position >> 16); }
inline StrSlice HtmlTagArgs(HtmlTagState s) { return StrMake(s.args ? s.args : "", s.args_len); }

// Renders the template into the file at out_path. The page is made in
// memory and reaches its file only when the render succeeded, and then whole
// (OsFilePut): a file that holds the page already is left as it is, with
// its modification time set to now; else the page replaces it through a
// temporary file and a rename. A render that ends early, or a write that
// fails, leaves the old file as it was and creates none where there was
// none. 0 on success, kFailed when the page cannot be put in place (a folder
// of that name, no write access to the folder), 131 when it cannot be
// written (a full disk), else the render's code; after 0xFFFF and 131 the
// error detail ends with the page's path as the user reads it and the
// system's reason (FileShown). The sink is the null sink afterwards.
[[nodiscard]] u16 HtmlPageToFile(StrSlice tpl, MacroContext context, StrSlice out_path);
// The render of HtmlPageToFile alone: 0 with the page in *data (released
// with OsMemFree) and its length in *size; else the render's code, and
// nothing is kept.
[[nodiscard]] u16 HtmlPageToMemory(StrSlice tpl, MacroContext context, char** data, u32* size);
// HtmlPageToFile's code for the result of putting a page in its file
// (OsFilePut or OsFileReplace).
u16 HtmlPagePutCode(u16 put);
// Renders a page into the current sink. A name in parentheses is evaluated
// first. 0, or an error code of 128 or more (164 for an empty name or a
// missing template, the refusal code of the access check).
[[nodiscard]] u16 HtmlPageRender(StrSlice page, MacroContext context);
// Renders the fail page that the access check shows in place of a refused
// page: the name is a request value, so it is never evaluated, and the page
// is not checked again (the access check has judged it already).
[[nodiscard]] u16 HtmlFailPageRender(StrSlice page, MacroContext context);
// A fresh state with the page's template opened (164 with the paths in the
// error detail when it is missing).
HtmlTagState HtmlPageOpen(StrSlice page);
// The language suffix of a name like "index_de.html" ("_de") stored as
// entry 2 of group 9; names without one change nothing. The store's result.
u16 HtmlPageLangFromName(StrSlice page);
// How a field (its text inside the brackets, already trimmed) reads against
// a keyword list. Code form: the field's first character found among the
// codes after the marker gives index k (1 for the first code) and the rest
// of the field is the argument. Name form: the name is the text before the
// first '(' (trimmed), the arguments lie between the first '(' and the last
// ')', untrimmed, and the index is the name's 1-based place in the comma
// list (exact, case-sensitive; 0 when absent). A '(' without any ')' sets
// status kErrSyntax, the arguments then running to the field's end.
struct MacroKeyword {
  u16 index;
  u16 status;
  StrSlice args;  // a slice into the field
};
MacroKeyword MacroKeywordOf(StrSlice keywords, StrSlice field);
// Writes template text up to the next keyword field (expanding ordinary
// fields where they stand) and returns with that field's index and
// arguments, or with the end status or an error.
HtmlTagState HtmlTemplateNextTag(HtmlTagState state, StrSlice keywords, StrSlice macros);
// The handler of a context without one: writes nothing.
HtmlTagState HtmlTagDefault(HtmlTagState state, StrSlice macros);
// Template text to the sink with "\{" and "\}" turned into brackets.
void HtmlTextOut(StrSlice text);

}  // namespace vk
