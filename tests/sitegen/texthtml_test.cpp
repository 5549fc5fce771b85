#include "sitegen/texthtml.h"

#include <string>

#include "runtime_fixture.h"

using namespace vk;

namespace {

using TextHtmlTest = RuntimeTest;

std::string Html(const char* text, u8 bits) { return S(TextToHtml(L(text), bits)); }

TEST_F(TextHtmlTest, PlainTableAndRtfForms) {
  EXPECT_EQ(Html("Canci\xF3n \xE1\xE9\xED\xFA", 0), "Canci&oacute;n &aacute;&eacute;&iacute;&uacute;");
  EXPECT_EQ(Html("a   b", 0), "a&nbsp;&nbsp; b");
  EXPECT_EQ(Html("a\tb\r\nc", 0), "a&nbsp;&nbsp;&nbsp;&nbsp;b<br>c");
  // Only the five lower-case vowels: other letters and markup pass.
  EXPECT_EQ(Html("\xC1\xF1<b>&amp;\n", 0), "\xC1\xF1<b>&amp;\n");

  EXPECT_EQ(Html("a\tb\r\nc  \xE9", kConvTable),
            "a</td><td>b</td></tr>\r\n<tr><td align=\"right\" valign=\"top\">c&nbsp;&nbsp;&eacute;");
  // RTF converts only TAB and CR LF, whatever the table bit says.
  EXPECT_EQ(Html("\xE1  x\ty\r\n", kConvRtf | kConvTable), "\xE1  x\\tab y\\par\r\n");
}

TEST_F(TextHtmlTest, CaseChangesKeepEntitiesValid) {
  EXPECT_EQ(Html("Canci\xF3n  dos\r\n", kConvUpper), "CANCI&Oacute;N&nbsp;&nbsp;DOS<br>");
  EXPECT_EQ(Html("\xC1rbol y \xE1rbol", kConvUpper), "&Aacute;RBOL Y &Aacute;RBOL");
  EXPECT_EQ(Html("a\tb\r\n", kConvUpper | kConvRtf), "A\\tab B\\par\r\n");

  EXPECT_EQ(Html("CANCI\xD3N  Dos", kConvLower), "canci&oacute;n&nbsp;&nbsp;dos");
  EXPECT_EQ(Html("Ab", kConvLower | kConvUpper), "AB");
}

TEST_F(TextHtmlTest, ConversionFlagsFromOptionsAndKind) {
  EXPECT_EQ(TextConvFlags(L("RTF"), L("")), kConvTable | kConvRtf);
  EXPECT_EQ(TextConvFlags(L(""), L("tab")), kConvTable);
  EXPECT_EQ(TextConvFlags(L("CLEAN,FILTER"), L("txt")), 0);
  // Containment, not word matching.
  EXPECT_EQ(TextConvFlags(L("NOUCASEX"), L("")), kConvUpper);
  EXPECT_EQ(TextConvFlags(L("LCASE"), L("Tab")), kConvTable | kConvLower);
}

}  // namespace
