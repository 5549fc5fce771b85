#include "script/template.h"

#include <cstdlib>
#include <string>

#include "interp_fixture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/scratch.h"

using namespace vk;

namespace {

using TemplateTest = InterpTest;

std::string Expand(const char* text, u16 flags, const char* defaults = "") {
  return S(TplExpandFields(L(text), flags, L(defaults)));
}

u16 ExpandError(const std::string& text, u16 flags, const std::string& defaults = "") {
  return StrError(TplExpandFields(Sl(text), flags, Sl(defaults)));
}

TEST_F(TemplateTest, FieldsEvaluateToNumberTexts) {
  EXPECT_EQ(Expand("a[1+2]b", 0), "a3b");
  EXPECT_EQ(Expand("[2/4]", 0), ".5");
  EXPECT_EQ(Expand("[1/20]", 0), ".05");
  EXPECT_EQ(Expand("[0]", 0), "0");
  EXPECT_EQ(Expand("[0]", kTplEmptyNum), "");
  // A text value is taken as it is, only trimmed.
  EXPECT_EQ(Expand("<['ab']>", 0), "<ab>");
  EXPECT_EQ(Expand("<[' ab ']>", kTplNoTrim), "< ab >");
  // Only the finished text is left on the scratch stack.
  const WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(S(TplExpand(L("[1]-[2]-[3]"), 0)), "1-2-3");
  EXPECT_EQ(WorkMark(kMarkQuery), before + 1);
}

TEST_F(TemplateTest, KeyLookupOrderDefaultsCommandLineEnvironment) {
  ASSERT_EQ(AppCommandLineStore(L("prog TITLE=Cmd lang=es")), 0);
  ASSERT_EQ(setenv("VK_TPL_ONLY_ENV", "from env", 1), 0);
  ASSERT_EQ(setenv("TITLE", "env title", 1), 0);

  // The default text wins; an unquoted value is upper-cased, a quoted one
  // keeps its case.
  EXPECT_EQ(S(TplExpandWith(L("[TITLE]"), L("TITLE=Home"))), "HOME");
  EXPECT_EQ(S(TplExpandWith(L("[TITLE]"), L("TITLE='Home'"))), "Home");
  // Not in the default text: the command line, then the environment.
  EXPECT_EQ(S(TplExpandWith(L("[TITLE]"), L("OTHER=1"))), "CMD");
  EXPECT_EQ(S(TplExpandWith(L("[LANG]"), L(""))), "ES");  // retried in lower case
  EXPECT_EQ(S(TplExpandWith(L("<[VK_TPL_ONLY_ENV]>"), L(""))), "<from env>");
  // Found nowhere: evaluated.
  EXPECT_EQ(S(TplExpandWith(L("[1+1]"), L("TITLE=Home"))), "2");
}

TEST_F(TemplateTest, EnvironmentCaseAndPercentFields) {
  ASSERT_EQ(setenv("Vk_Tpl_Mixed", "mixed", 1), 0);
  EXPECT_EQ(Expand("[VK_TPL_MIXED]", kTplKey), "mixed");
  ASSERT_EQ(setenv("VK_TPL_MIXED", "exact", 1), 0);
  EXPECT_EQ(Expand("[VK_TPL_MIXED]", kTplKey), "exact");
  // A field ending in '%' is never evaluated.
  EXPECT_EQ(Expand("w=[50%]", 0), "w=50%");
  EXPECT_EQ(Expand("w=[50%]", kTplKey), "w=");
}

TEST_F(TemplateTest, QuotingAndErrorsEndTheExpansion) {
  ASSERT_EQ(setenv("VK_TPL_APOS", "it's", 1), 0);
  ASSERT_EQ(setenv("VK_TPL_BOTH", "a'b\"c", 1), 0);
  EXPECT_EQ(Expand("[2]", kTplQuote), "'2'");
  EXPECT_EQ(Expand("[2]", kTplQuote | kTplDoubleQuote), "\"2\"");
  EXPECT_EQ(Expand("[VK_TPL_APOS]", kTplKey | kTplQuote), "\"it's\"");
  const WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(ExpandError("x[VK_TPL_BOTH]", kTplKey | kTplQuote), kErrData);
  EXPECT_GE(ExpandError("[1][1+]", 0), kFirstError);
  EXPECT_EQ(WorkMark(kMarkQuery), before);
}

TEST_F(TemplateTest, NestedFieldsAndBoundedReexpansion) {
  EXPECT_EQ(Expand("[[1]+1]", 0), "[1+1]");
  EXPECT_EQ(Expand("[[1]+1]", kTplReexpand), "2");
  EXPECT_EQ(S(TplExpandWith(L("<[X]>"), L("X='[2+3]'"))), "<[2+3]>");
  EXPECT_EQ(S(TplExpandFields(L("<[X]>"), kTplWithFlags | kTplReexpand, L("X='[2+3]'"))), "<5>");
  // A value that reproduces its own field, and one that grows at every step.
  EXPECT_EQ(S(TplExpandWith(L("a[X]b"), L("X='[X]'"))), "a[X]b");
  EXPECT_EQ(ExpandError("a[X]b", kTplWithFlags | kTplReexpand, "X='[X]'"), kErrLoop);
  const std::string grow = "X='[X]" + std::string(200, 'g') + "'";
  EXPECT_EQ(ExpandError("[X]", kTplWithFlags | kTplReexpand, grow), kErrStringTooLong);
  EXPECT_EQ(StrError(TplSpanReplace(Sl("[]" + std::string(65000, 'a')), 1, 0, Sl(std::string(600, 'v')))),
            kErrStringTooLong);
  EXPECT_EQ(StrError(TplSpanReplace(L("[bc]"), 1, 3, L("X"))), kErrStrOutBound);
}

TEST_F(TemplateTest, BracketSearchQuotesAndUnbalanced) {
  EXPECT_EQ(Expand("'[1]'", 0), "'[1]'");
  EXPECT_EQ(Expand("'[1]'", kTplPlain), "'1'");
  EXPECT_EQ(Expand("[x", 0), "[x");
  EXPECT_EQ(Expand("]x[", 0), "]x[");
  EXPECT_EQ(Expand("a]b[1]c[", 0), "a]b1c[");
}

TEST_F(TemplateTest, EscapesAndDollar) {
  EXPECT_EQ(Expand("\\{b\\}", kTplUnescape), "[b]");
  EXPECT_EQ(Expand("\\{{x\\}}", kTplUnescape), "\\{x\\}");
  // Escaped brackets are turned after the fields, so they are not expanded.
  EXPECT_EQ(Expand("\\{1\\}[2]", kTplUnescape), "[1]2");
  // Quoted escapes count only in a plain search.
  EXPECT_EQ(S(TplUnescape(L("'\\{' \\{"), 0)), "'\\{' [");
  EXPECT_EQ(S(TplUnescape(L("'\\{' \\{"), kTplPlain)), "'[' [");

  EXPECT_EQ(S(TplSubstDollar(L("<b>[$]</b>"), L("Hi"))), "<b>Hi</b>");
  EXPECT_EQ(S(TplSubstDollar(L("'[$]' [$]"), L("v"))), "'v' v");
  EXPECT_EQ(S(TplSubstDollar(L("<[$]>"), StrErrorSlice(kErrOutOfMemory))), "<[$]>");
}

}  // namespace
