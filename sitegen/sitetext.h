// The texts of a page in its language: the current language and its file
// suffix, a name translated through the language file, and the two small
// keywords LANG and LANG_ID.
//
// The current language is an index, 0 for none or 1-5 for EN ES FR DE IT; the
// generation run sets it for each language pass and loads that language's
// file as the current parameter list (variable group 31). Building functions
// leave exactly one new scratch entry.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Language indexes; the suffix list is indexed by them.
constexpr u16 kSiteLangNone = 0;
constexpr u16 kSiteLangCount = 5;
constexpr char kSiteLangSuffixes[] = "_en,_es,_fr,_de,_it";

// The current language index; an index above 5 counts as none.
void SiteGenLangSet(u16 index);
u16 SiteGenLangIndex();
// The suffix of a language index ("_de" for 4), the empty text for none.
StrSlice SiteGenLangSuffix(u16 index);

// The text in the current language, converted to HTML by TextToHtml with
// the option bits (texthtml.h). A text that the language file lacks is
// logged ("--- Fail LangCode" and the text) and shown with blanks for its
// underscores. An error slice is logged with an empty name and passes
// through.
StrSlice SiteGenTranslate(StrSlice text, u8 bits);

// LANG(expression, options): the expression's text translated and written;
// 0, or 145 when the scratch stack ran out (nothing is written then).
[[nodiscard]] u16 SiteKwLang(StrSlice args);
// LANG_ID: writes the current language's suffix.
void SiteKwLangId();

}  // namespace vk
