// Texts shared by the site keywords, the menu writer and the generation run:
// a name in the current language (SiteGenTranslate), plain text as HTML
// (TextToHtml with the option bits of TextConvFlags), the breadcrumb of the
// page being written (SiteGenBuildTrail), the options of the current node
// (SiteNodeOption), and the two small keywords LANG and LANG_ID.
//
// The current language is an index, 0 for none or 1-5 for EN ES FR DE IT; the
// generation run sets it for each language pass and loads that language's
// file as the current parameter list (variable group 31). Building functions
// leave exactly one new scratch entry; SiteNodeOption selects from the node
// text and allocates nothing.
#pragma once
#include "runtime/slice.h"

namespace vk {

// The keyword list of the generator's pages; a keyword is handled by its
// 1-based position in it.
constexpr char kSiteKeywordList[] = "MENU,LANG,CURBRANCH,INCLUDE,LANG_SEL,LANG_ID,TEXT,SITEMAP,LOGSTAT";
enum : u16 {
  kKwMenu = 1,
  kKwLang = 2,
  kKwCurBranch = 3,
  kKwInclude = 4,
  kKwLangSel = 5,
  kKwLangId = 6,
  kKwText = 7,
  kKwSitemap = 8,
  kKwLogStat = 9,
};

// Language indexes; the suffix list is indexed by them.
constexpr u16 kSiteLangNone = 0;
constexpr u16 kSiteLangCount = 5;
constexpr char kSiteLangSuffixes[] = "_en,_es,_fr,_de,_it";

// TextToHtml option bits.
enum : u8 {
  kConvTable = 0x01,  // TAB and CR LF as table cell and row breaks
  kConvRtf = 0x02,    // TAB and CR LF as RTF control words, nothing else
  kConvUpper = 0x04,
  kConvLower = 0x08,
};

// SiteNodeOption kinds.
enum : u8 { kOptTemplate = 1, kOptLink = 2, kOptPageMode = 3 };

// The current language index; an index above 5 counts as none.
void SiteGenLangSet(u16 index);
u16 SiteGenLangIndex();
// The suffix of a language index ("_de" for 4), the empty text for none.
StrSlice SiteGenLangSuffix(u16 index);

// The text in the current language, converted to HTML. A text that the
// language file lacks is logged ("--- Fail LangCode" and the text) and shown
// with blanks for its underscores. An error slice is logged with an empty
// name and passes through.
StrSlice SiteGenTranslate(StrSlice text, u8 bits);
// The five lower-case accented vowels, double blanks, TABs and CR LF as HTML
// (or, with kConvRtf, TAB and CR LF as RTF). kConvUpper / kConvLower change
// the letter case first, so the entities written stay valid (ó upper-cased
// is written &Oacute;). With both bits upper case wins.
StrSlice TextToHtml(StrSlice text, u8 bits);
// The option bits of an options text (substring tests: RTF, UCASE, LCASE)
// and a file kind (an extension; "TAB" in any case selects the table form).
u8 TextConvFlags(StrSlice options, StrSlice kind);
// Sets variable group 9 entry 1 to the translated components of the page
// path (entry 0, split at '\') joined by ','. A comma or an unclosed quote in
// a translated name is written as its character reference, so every
// component stays exactly one item of the trail. The store's result.
u16 SiteGenBuildTrail();
// The option of that kind among the ';' entries of the current node's
// option item (item 2 of its text): a link holds '/', a page mode is one
// character of value 1 or more, anything else is a template. The last entry
// of the kind wins; the empty text when there is none.
StrSlice SiteNodeOption(u8 kind);

// A value a keyword looked up or built. A missing value (any error slice)
// reads as the empty text, except a scratch stack that ran out (145): that
// is kept in *status, the first failure only, for the keyword to report, so
// a page never loses part of its content silently.
StrSlice SiteKwValue(StrSlice s, u16* status);
// HtmlOut of a keyword's piece of output; an error slice writes nothing and
// goes through SiteKwValue.
void SiteKwOut(StrSlice s, u16* status);

// LANG(expression, options): the expression's text translated and written;
// 0, or 145 when the scratch stack ran out (nothing is written then).
u16 SiteKwLang(StrSlice args);
// LANG_ID: writes the current language's suffix.
void SiteKwLangId();

}  // namespace vk
