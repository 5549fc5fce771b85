#include "sitegen/texthtml.h"

#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {

namespace {

constexpr char kLowerVowels[] = "\xE1\xE9\xED\xF3\xFA";  // á é í ó ú
constexpr char kUpperVowels[] = "\xC1\xC9\xCD\xD3\xDA";  // Á É Í Ó Ú

// Item k of a from-list is replaced by item k of its to-list, from the last
// item to the first. Item 6 is two blanks.
struct ConvLists {
  const char* from;
  const char* to;
};

constexpr ConvLists kConvPlain = {
    "\xE1,\xE9,\xED,\xF3,\xFA,  ,\t,\r\n",
    "&aacute;,&eacute;,&iacute;,&oacute;,&uacute;,&nbsp;&nbsp;,&nbsp;&nbsp;&nbsp;&nbsp;,<br>"};
constexpr ConvLists kConvTableForm = {
    "\xE1,\xE9,\xED,\xF3,\xFA,  ,\t,\r\n",
    "&aacute;,&eacute;,&iacute;,&oacute;,&uacute;,&nbsp;&nbsp;,</td><td>,"
    "</td></tr>\r\n<tr><td align=\"right\" valign=\"top\">"};
// After upper-casing the vowels are the capital letters, whose entities
// are capitalised.
constexpr ConvLists kConvPlainUpper = {
    "\xC1,\xC9,\xCD,\xD3,\xDA,  ,\t,\r\n",
    "&Aacute;,&Eacute;,&Iacute;,&Oacute;,&Uacute;,&nbsp;&nbsp;,&nbsp;&nbsp;&nbsp;&nbsp;,<br>"};
constexpr ConvLists kConvTableUpper = {
    "\xC1,\xC9,\xCD,\xD3,\xDA,  ,\t,\r\n",
    "&Aacute;,&Eacute;,&Iacute;,&Oacute;,&Uacute;,&nbsp;&nbsp;,</td><td>,"
    "</td></tr>\r\n<tr><td align=\"right\" valign=\"top\">"};
constexpr ConvLists kConvRtfForm = {"\t,\r\n", "\\tab ,\\par\r\n"};

// Option words searched in a conversion options text.
constexpr char kOptionWords[] = "UCASE,LCASE,CLEAN,FILTER";
constexpr char kRtfWord[] = "RTF";
constexpr char kTableKind[] = "TAB";

bool Contains(StrSlice text, const char* word) { return StrFind(text, StrC(word), kPlain) != kNotFound; }

const ConvLists& ConvFor(u8 bits) {
  if (bits & kConvRtf) return kConvRtfForm;
  const bool upper = (bits & kConvUpper) != 0;
  if (bits & kConvTable) return upper ? kConvTableUpper : kConvTableForm;
  return upper ? kConvPlainUpper : kConvPlain;
}

// Letter case of the ASCII letters and of the five accented vowels that the
// conversion knows, so that a changed vowel still finds its entity.
StrSlice ChangeCase(StrSlice text, u16 mode) {
  if (mode == kUpper) return StrTranslate(StrCase(text, kUpper), kLowerVowels, kUpperVowels);
  return StrTranslate(StrCase(text, kLower), kUpperVowels, kLowerVowels);
}

}  // namespace

StrSlice TextToHtml(StrSlice text, u8 bits) {
  if (StrError(text)) return text;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice cur = text;
  if (bits & kConvUpper) {
    cur = ChangeCase(cur, kUpper);
  } else if (bits & kConvLower) {
    cur = ChangeCase(cur, kLower);
  }
  const ConvLists& lists = ConvFor(bits);
  cur = StrReplaceList(cur, StrC(lists.from), StrC(lists.to), ',');
  return WorkReturn(mark, cur);
}

u8 TextConvFlags(StrSlice options, StrSlice kind) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u8 bits = 0;
  const bool rtf = Contains(options, kRtfWord);
  if (rtf || StrEqual(StrCase(kind, kUpper), Lit(kTableKind))) bits |= kConvTable;
  if (rtf) bits |= kConvRtf;
  const StrSlice words = Lit(kOptionWords);
  if (StrFind(options, ListItem(words, ',', 1), kPlain) != kNotFound) bits |= kConvUpper;
  if (StrFind(options, ListItem(words, ',', 2), kPlain) != kNotFound) bits |= kConvLower;
  WorkMark(mark);
  return bits;
}

}  // namespace vk
