#include "sitegen/sitetext.h"

#include <cstdio>
#include <string>

#include "html/output.h"
#include "page_fixture.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/variables.h"
#include "sink_capture.h"
#include "sitegen/pagetree.h"

using namespace vk;

namespace {

// The library started as the application does, in a temporary folder (where
// the run log "log.txt" lands), with a temporary file as the HTML sink.
struct SiteTextTest : WithSink<SiteLibTest> {
  static std::string Log() { return Read("log.txt"); }
  // The language file as the run leaves it: key:value lines joined by ':'.
  static void Language(const char* list) { ASSERT_EQ(VarPush(kGroupParamLists, L(list)), 0); }
  // Makes the node with this text the current node.
  static void CurrentNode(const char* text) {
    const u16 i = SiteTreeAddNode(kSiteNone, L(text), 0, kSiteTextWidth);
    ASSERT_NE(i, kSiteNone);
    *SiteCursorGet() = SiteTreeAt(i);
  }
};

std::string Html(const char* text, u8 bits) { return S(TextToHtml(L(text), bits)); }

TEST_F(SiteTextTest, PlainTableAndRtfForms) {
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

TEST_F(SiteTextTest, CaseChangesKeepEntitiesValid) {
  EXPECT_EQ(Html("Canci\xF3n  dos\r\n", kConvUpper), "CANCI&Oacute;N&nbsp;&nbsp;DOS<br>");
  EXPECT_EQ(Html("\xC1rbol y \xE1rbol", kConvUpper), "&Aacute;RBOL Y &Aacute;RBOL");
  EXPECT_EQ(Html("a\tb\r\n", kConvUpper | kConvRtf), "A\\tab B\\par\r\n");

  EXPECT_EQ(Html("CANCI\xD3N  Dos", kConvLower), "canci&oacute;n&nbsp;&nbsp;dos");
  EXPECT_EQ(Html("Ab", kConvLower | kConvUpper), "AB");
}

TEST_F(SiteTextTest, ConversionFlagsFromOptionsAndKind) {
  EXPECT_EQ(TextConvFlags(L("RTF"), L("")), kConvTable | kConvRtf);
  EXPECT_EQ(TextConvFlags(L(""), L("tab")), kConvTable);
  EXPECT_EQ(TextConvFlags(L("CLEAN,FILTER"), L("txt")), 0);
  // Containment, not word matching.
  EXPECT_EQ(TextConvFlags(L("NOUCASEX"), L("")), kConvUpper);
  EXPECT_EQ(TextConvFlags(L("LCASE"), L("Tab")), kConvTable | kConvLower);
}

TEST_F(SiteTextTest, TranslateLooksUpAndLogsMissingNames) {
  Language("welcome:'Bienvenido a la secci\xF3n':x:'y'");
  EXPECT_EQ(S(SiteGenTranslate(L("welcome"), 0)), "Bienvenido a la secci&oacute;n");
  EXPECT_EQ(S(SiteGenTranslate(L("welcome"), kConvUpper)), "BIENVENIDO A LA SECCI&Oacute;N");
  EXPECT_EQ(Log(), "");

  EXPECT_EQ(S(SiteGenTranslate(L("my_text_\xE9"), 0)), "my text &eacute;");
  EXPECT_EQ(S(SiteGenTranslate(L(""), 0)), "");
  EXPECT_EQ(Log(), "\r\n--- Fail LangCode my_text_\xE9\r\n");

  // A very long missing name still gives a whole log line, cut to fit.
  const std::string long_name(1000, 'k');
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(SiteGenTranslate(L(long_name.c_str()), 0).len, 1000);
  WorkMark(mark);
  const std::string log = Log();
  EXPECT_EQ(log.find("Error #"), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 6), "kkkk\r\n");
}

TEST_F(SiteTextTest, LangAndLangIdKeywords) {
  Language("welcome:'Willkommen'");
  const WorkMarkId mark = WorkMark(kMarkQuery);
  SiteKwLang(L("'welcome',UCASE"));
  SiteKwLang(L("'Canci\xF3n'"));
  SiteKwLang(L("'my_text'"));
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(Taken(), "WILLKOMMENCanci&oacute;nmy text");
  EXPECT_EQ(Log(), "\r\n--- Fail LangCode Canci\xF3n\r\n\r\n--- Fail LangCode my_text\r\n");

  // A failing expression writes nothing and logs an empty name.
  SiteKwLang(L("1+'a'"));
  EXPECT_EQ(Taken(), "");
  const std::string tail = "\r\n--- Fail LangCode \r\n";
  const std::string log = Log();
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);

  SiteGenLangSet(4);
  SiteKwLangId();
  EXPECT_EQ(Taken(), "_de");
  SiteGenLangSet(0);
  SiteKwLangId();
  SiteGenLangSet(6);  // no such language: none
  SiteKwLangId();
  EXPECT_EQ(SiteGenLangIndex(), 0);
  EXPECT_EQ(Taken(), "");
}

TEST_F(SiteTextTest, TrailKeepsOneItemPerComponent) {
  Language("products:'Productos':tools:'Herramientas':hammer:'Martillo'");
  ASSERT_EQ(VarSet(kGroupRun, kRunPagePath, L("products\\tools\\hammer")), 0);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(SiteGenBuildTrail(), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(S(VarGet(kGroupRun, kRunTrail)), "Productos,Herramientas,Martillo");

  // Commas and unclosed quotes of a translation become references; a quoted
  // stretch with its comma stays, since the list split keeps it whole.
  VarPop(kGroupParamLists);
  Language("products:'Tools, hand':tools:\"L'atelier\":hammer:'say \"a,b\" now'");
  EXPECT_EQ(SiteGenBuildTrail(), 0);
  const StrSlice trail = VarGet(kGroupRun, kRunTrail);
  EXPECT_EQ(S(trail), "Tools&#44; hand,L&#39;atelier,say \"a,b\" now");
  EXPECT_EQ(ListCount(trail, ','), 3);
  EXPECT_EQ(S(ListItem(trail, ',', 3)), "say \"a,b\" now");

  // Missing names show with blanks; a one-level path is one item.
  ASSERT_EQ(VarSet(kGroupRun, kRunPagePath, L("about_us")), 0);
  EXPECT_EQ(SiteGenBuildTrail(), 0);
  EXPECT_EQ(S(VarGet(kGroupRun, kRunTrail)), "about us");
}

TEST_F(SiteTextTest, NodeOptionsByKind) {
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "");  // no current node

  CurrentNode("news, news.html;3;/ext/link ,more");
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "news.html");
  EXPECT_EQ(S(SiteNodeOption(kOptLink)), "/ext/link");
  EXPECT_EQ(S(SiteNodeOption(kOptPageMode)), "3");

  CurrentNode("news,'a.htm';b.htm;Y;0;");
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "0");  // "0" is no page mode
  EXPECT_EQ(S(SiteNodeOption(kOptPageMode)), "Y");
  EXPECT_EQ(S(SiteNodeOption(kOptLink)), "");

  // An empty entry names nothing and does not hide the one before it.
  CurrentNode("news,b.htm;");
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "b.htm");
}

}  // namespace
