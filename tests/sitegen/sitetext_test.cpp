#include "sitegen/sitetext.h"

#include <cstdio>
#include <string>

#include "html/output.h"
#include "page_fixture.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/variables.h"
#include "sitegen/texthtml.h"
#include "sink_capture.h"
#include "sitegen/pagetree.h"

using namespace vk;

namespace {

// The library started as the application does, in a temporary folder (where
// the run log "log.txt" lands), with a temporary file as the HTML sink.
struct SiteTextTest : WithSink<SiteLibTest> {
  static std::string Log() { return Read("log.txt"); }
  // The language file as the run leaves it: key:value lines joined by ':'.
  static void Language(const char* list) { ASSERT_EQ(StorePush(kGroupParamLists, L(list)), 0); }
};

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
  EXPECT_EQ(SiteKwLang(L("'welcome',UCASE")), 0);
  EXPECT_EQ(SiteKwLang(L("'Canci\xF3n'")), 0);
  EXPECT_EQ(SiteKwLang(L("'my_text'")), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(Taken(), "WILLKOMMENCanci&oacute;nmy text");
  EXPECT_EQ(Log(), "\r\n--- Fail LangCode Canci\xF3n\r\n\r\n--- Fail LangCode my_text\r\n");

  // A failing expression writes nothing and logs an empty name.
  EXPECT_EQ(SiteKwLang(L("1+'a'")), 0);
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

}  // namespace
