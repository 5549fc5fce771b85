// Plain text as HTML, for names and text files placed into a page: the five
// lower-case accented vowels, double blanks, TABs and CR LF become entities
// and line breaks, table cell and row breaks, or RTF control words, after an
// optional change of letter case. Building functions leave exactly one new
// scratch entry.
#pragma once
#include "runtime/slice.h"

namespace vk {

// TextToHtml option bits.
enum : u8 {
  kConvTable = 0x01,  // TAB and CR LF as table cell and row breaks
  kConvRtf = 0x02,    // TAB and CR LF as RTF control words, nothing else
  kConvUpper = 0x04,
  kConvLower = 0x08,
};

// The five lower-case accented vowels, double blanks, TABs and CR LF as HTML
// (or, with kConvRtf, TAB and CR LF as RTF). kConvUpper / kConvLower change
// the letter case first, so the entities written stay valid (ó upper-cased
// is written &Oacute;). With both bits upper case wins.
StrSlice TextToHtml(StrSlice text, u8 bits);
// The option bits of an options text (substring tests: RTF, UCASE, LCASE)
// and a file kind (an extension; "TAB" in any case selects the table form).
u8 TextConvFlags(StrSlice options, StrSlice kind);

}  // namespace vk
