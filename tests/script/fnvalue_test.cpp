// Text and value built-ins, called from scripts as a user writes them.
#include "script/fnvalue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "interp_fixture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "temp_dir.h"

using namespace vk;

namespace {

// 2017-12-25 10:20:30 UTC.
constexpr i64 kChristmas = 1514197230;
i64 FixedClock() { return kChristmas; }

struct FnValueTest : InterpTest {
  void SetUp() override {
    InterpTest::SetUp();
    NumSetClockHook(FixedClock);
  }
  void TearDown() override {
    NumSetClockHook(nullptr);
    EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);  // every call leaves its arguments behind it
    InterpTest::TearDown();
  }
  // The number of a script, in whole units (the scale taken off).
  static double Value(const std::string& expr) {
    i64 scale = 1;
    for (i16 i = 0; i < SysVarGet(kSysPrecis); ++i) scale *= 10;
    return static_cast<double>(Num(expr)) / static_cast<double>(scale);
  }
};

}  // namespace

TEST_F(FnValueTest, ChangeModesAreExactKeywords) {
  EXPECT_EQ(Text("FN$CHNG('Mixed ucase';'UCASE')"), "MIXED UCASE");
  EXPECT_EQ(Text("FN$CHNG('Mixed UCASE';'LCASE')"), "mixed ucase");
  // Not a mode word: a replacement of the text itself.
  EXPECT_EQ(Text("FN$CHNG('say ucase';'ucase';'it')"), "say it");
  // Runs of blanks shortened, not removed, at the ends too.
  EXPECT_EQ(Text("FN$CHNG('a   b  ';'CLEAN')"), "a b ");
  EXPECT_EQ(Text("FN$CHNG('a-1,b 2';'FILTER';'0123456789')"), "12");
}

TEST_F(FnValueTest, ChangeFilterTranslatesChunksInOrder) {
  EXPECT_EQ(Text("FN$CHNG('baaeeaa';'FILTER';'aaee';'AE')"), "bAEA");
  // Each chunk works on the result of the one before.
  EXPECT_EQ(Text("FN$CHNG('abc';'FILTER';'abBc';'BX')"), "X");
  // Without a character list there is no chunk width: an argument error.
  EXPECT_EQ(Eval("FN$CHNG('abc';'FILTER';'ab';'')"), kErrSyntax);
  EXPECT_EQ(Eval("FN$CHNG('abc';'FILTER';'ab';0)"), kErrSyntax);
  EXPECT_EQ(Eval("FN$CHNG('abc';'FILTER';'ab';1)"), kErrSyntax);
}

TEST_F(FnValueTest, ChangeReplacesOutsideQuotesUnlessFlagged) {
  EXPECT_EQ(Text("FN$CHNG('a.b.c';'.';'--')"), "a--b--c");
  EXPECT_EQ(Text("FN$CHNG(\"x 'x' x\";'x';'y')"), "y 'x' y");
  EXPECT_EQ(Text("FN$CHNG(\"x 'x' x\";'x';'y';1)"), "y 'y' y");
  EXPECT_EQ(Text("FN$CHNG(\"x 'x' x\";'x';'y';256)"), "y 'x' y");  // only the low byte is the flag
  // A lone quote is searched plainly.
  EXPECT_EQ(Text("FN$CHNG(\"it's 'a'\";\"'\";'')"), "its a");
  // An empty search text is never found.
  EXPECT_EQ(Text("FN$CHNG('abc';'';'z')"), "abc");
  EXPECT_EQ(Text("FN$CHNG('abc';'b')"), "ac");
}

TEST_F(FnValueTest, ChangeChecksCountAndTypes) {
  EXPECT_EQ(Eval("FN$CHNG('abc')"), kErrSyntax);
  EXPECT_EQ(Eval("FN$CHNG('a';'b';'c';1;2)"), kErrSyntax);
  EXPECT_EQ(Eval("FN$CHNG(12;'1')"), kErrTypeMismatch);
  EXPECT_EQ(Eval("FN$CHNG('12';1)"), kErrTypeMismatch);
}

TEST_F(FnValueTest, MidsCountsStartFromEitherEnd) {
  EXPECT_EQ(Text("FN$MIDS('abcdef';2;3)"), "bcd");
  EXPECT_EQ(Text("FN$MIDS('abcdef';2)"), "bcdef");
  EXPECT_EQ(Text("FN$MIDS('abcdef';-2)"), "ef");
  EXPECT_EQ(Text("FN$MIDS('abcdef';-3;2)"), "de");
  EXPECT_EQ(Text("FN$MIDS('abcdef';0)"), "f");
  EXPECT_EQ(Text("FN$MIDS('abcdef';;)"), "f");  // start left empty: the default
  EXPECT_EQ(Text("FN$MIDS('abcdef';5;10)"), "ef");
  EXPECT_EQ(Text("FN$MIDS('abcdef';9)"), "");
  EXPECT_EQ(Eval("FN$MIDS('abcdef')"), kErrSyntax);
  EXPECT_EQ(Eval("FN$MIDS('abcdef';'2')"), kErrTypeMismatch);
}

TEST_F(FnValueTest, MidsReachesPastSigned16BitPositions) {
  // Built inline: a copy held in a variable as well would not fit the store.
  const std::string t = "FN$MIDS(FN$CHRS('a';40000)+'xyz'";
  EXPECT_EQ(Text(t + ";-3)"), "xyz");
  EXPECT_EQ(Text(t + ";-4;2)"), "ax");
  EXPECT_EQ(Text(t + ";32767;2)"), "aa");
}

TEST_F(FnValueTest, TrimModes) {
  EXPECT_EQ(Text("FN$TRIM('  a b \t')"), "a b");
  EXPECT_EQ(Text("FN$TRIM('  a  ';'LEFTTRIM')"), "a  ");
  EXPECT_EQ(Text("FN$TRIM('  a  ';'RIGHTRIM')"), "  a");
  EXPECT_EQ(Text("FN$TRIM('  a  ';'BOTHTRIM')"), "a");
  EXPECT_EQ(Text("FN$TRIM(\" 'ab' \";'FIT')"), "ab");
  EXPECT_EQ(Text("FN$TRIM(12.50)"), "12.5");
  EXPECT_EQ(Text("FN$TRIM()"), "");
  EXPECT_EQ(Eval("FN$TRIM('a';'bothtrim')"), kErrSyntax);
  EXPECT_EQ(Eval("FN$TRIM('a';'')"), kErrSyntax);
  // Surplus arguments shift from the top: the mode read is the last one.
  EXPECT_EQ(Text("FN$TRIM('x';' a ';'LEFTTRIM')"), "a ");
}

TEST_F(FnValueTest, ParmStrSelectsOneItem) {
  EXPECT_EQ(Text("FN$PARM('a,b,c';2)"), "b");
  EXPECT_EQ(Text("FN$PARM('a;b:c';2;58)"), "c");
  EXPECT_EQ(Text("FN$PARM('a,b,';3)"), "");
  for (const char* k : {"", ";0", ";4", ";-1"}) {
    EXPECT_EQ(Text(std::string("FN$PARM('a,b,c'") + k + ")"), "") << k;
  }
  EXPECT_EQ(Eval("FN$PARM('a,b';'1')"), kErrTypeMismatch);
}

TEST_F(FnValueTest, ParmNumFourForms) {
  EXPECT_EQ(Value("FN#PARM('a,b,c')"), 3);
  EXPECT_EQ(Value("FN#PARM('')"), 0);
  EXPECT_EQ(Value("FN#PARM('a,b,')"), 3);
  EXPECT_EQ(Value("FN#PARM('a,b,c';'b')"), 2);
  EXPECT_EQ(Value("FN#PARM('a,b,c';'B')"), 0);
  EXPECT_EQ(Value("FN#PARM('1,5,9';5)"), 2);  // a number key is its text
  EXPECT_EQ(Value("FN#PARM('a,b,c';'b';'10,20,30')"), 20);
  EXPECT_EQ(Value("FN#PARM('a,b,c';'c';'10,20,3.5')"), 3.5);
  EXPECT_EQ(Value("FN#PARM('a,b,c';'x';'10,20,30')"), 0);
  EXPECT_EQ(Value("FN#PARM('1-9,10-19';12;0)"), 2);
  EXPECT_EQ(Value("FN#PARM('1-9,10-19';20;0)"), 0);
  EXPECT_EQ(Eval("FN#PARM()"), kErrSyntax);
  EXPECT_EQ(Eval("FN#PARM(1)"), kErrTypeMismatch);
}

TEST_F(FnValueTest, ValNumReadsNumbersAndDates) {
  EXPECT_EQ(Value("FN#VALN('12.50')"), 12.5);
  EXPECT_EQ(Value("FN#VALN('  -3.25xyz';'N')"), -3.25);
  EXPECT_EQ(Value("FN#VALN('20171225';'Y')"), 2017);
  EXPECT_EQ(Value("FN#VALN('20171225';'M')"), 12);
  EXPECT_EQ(Value("FN#VALN('20171225';'D')"), 25);
  EXPECT_EQ(Value("FN#VALN('20171225';'V')"), 20171225);
  EXPECT_EQ(Eval("FN#VALN('20171225';'X')"), kErrSyntax);
  EXPECT_EQ(Eval("FN#VALN('20171225';'d')"), kErrSyntax);
  EXPECT_EQ(Eval("FN#VALN('20171225';'')"), kErrSyntax);
  EXPECT_EQ(Eval("FN#VALN(20171225)"), kErrTypeMismatch);
  EXPECT_EQ(Eval("FN#VALN()"), kErrSyntax);
}

TEST_F(FnValueTest, ValNumAddsAndSubtractsDates) {
  EXPECT_EQ(Value("FN#VALN('20171225';'D';7)"), 20180101);
  EXPECT_EQ(Value("FN#VALN('20171225';'D';-25)"), 20171130);
  EXPECT_EQ(Value("FN#VALN('20180131';'M';1)"), 20180228);  // the day kept to the month
  EXPECT_EQ(Value("FN#VALN('20160229';'Y';1)"), 20170301);
  // A date text as the amount gives the difference in the unit.
  EXPECT_EQ(Value("FN#VALN('20180101';'D';'20171225')"), 7);
  EXPECT_EQ(Value("FN#VALN('20180301';'M';'20171225')"), 3);
  // 'V' adds nothing: the date normalised.
  EXPECT_EQ(Value("FN#VALN('20171232';'V';5)"), 20180101);
}

TEST_F(FnValueTest, CharsStrLenEnvelope) {
  EXPECT_EQ(Text("FN$CHRS('ab';3)"), "ababab");
  EXPECT_EQ(Text("FN$CHRS(65)"), "A");
  EXPECT_EQ(Text("FN$CHRS(321;2)"), "AA");  // the code's low byte
  EXPECT_EQ(Eval("FN$CHRS()"), kErrSyntax);
  EXPECT_EQ(Value("FN#SLEN('abc')"), 3);
  EXPECT_EQ(Eval("FN#SLEN(5)"), kErrTypeMismatch);
  EXPECT_EQ(Eval("FN#SLEN()"), kErrSyntax);
  EXPECT_EQ(Text("ENVELOP$('x')"), "'x'");
  EXPECT_EQ(Text("ENVELOP$('x';40)"), "(x)");
  EXPECT_EQ(Text("ENVELOP$('x';42)"), "*x*");
  EXPECT_EQ(Eval("ENVELOP$('x';40;1)"), kErrSyntax);
}

TEST_F(FnValueTest, ResultsOverTheTextLimitAreRefused) {
  ASSERT_EQ(Eval("r$='kept'"), 1);
  EXPECT_EQ(Eval("r$=FN$CHRS('ab';40000)"), kErrStringTooLong);
  EXPECT_EQ(Eval("r$=FN$CHNG('x-x-x';'x';FN$CHRS('b';30000))"), kErrStringTooLong);
  EXPECT_EQ(Text("r$"), "kept");
  EXPECT_EQ(Text("FN$CHRS('a';-1)").size(), 65535u);  // -1 is 65535 times
}

TEST_F(FnValueTest, MaskFormatsTextsAndNumbers) {
  EXPECT_EQ(Text("FN$MASK('###.##';'12.5')"), " 12.50");
  EXPECT_EQ(Text("FN$MASK('###.##';12.5)"), " 12.50");
  EXPECT_EQ(Text("FN$MASK('(\\\\) \\\\';'abcd')"), "(ab) cd");
  EXPECT_EQ(Text("FN$MASK('##.##';'12.5';0)"), "##.##");
  EXPECT_EQ(Eval("FN$MASK('##')"), kErrSyntax);
  EXPECT_EQ(Eval("FN$MASK(1;2)"), kErrTypeMismatch);
}

TEST_F(FnValueTest, DateFormats) {
  EXPECT_EQ(Text("FN$DATE()"), "20171225");
  EXPECT_EQ(Text("FN$DATE('20160229')"), "20160229");
  EXPECT_EQ(Text("FN$DATE(20160229)"), "20160229");
  EXPECT_EQ(Text("FN$DATE('20160229';1)"), "02-29-16");
  EXPECT_EQ(Text("FN$DATE('20160229';2)"), "02-29-2016");
  // A typed date is read in the language's order first.
  EXPECT_EQ(Text("FN$DATE('2/29/2016')"), "20160229");
  EXPECT_EQ(Text("FN$DATE('2.29.2016';2)"), "02-29-2016");
  // Only an empty date is today; a typed date that does not read as one
  // (year first, or day first where the month comes first) is invalid.
  const struct { const char* expr; const char* text; } invalid[] = {
      {"FN$DATE('';2)", "12-25-2017"},      {"FN$DATE(0)", "20171225"},
      {"FN$DATE('2016-02-29')", ""},        {"FN$DATE('29.02.2016';2)", "          "},
      {"FN$DATE('29/02/16';1)", "        "}, {"FN$DATE('2/30/2016';2)", "          "},
  };
  for (const auto& c : invalid) EXPECT_EQ(Text(c.expr), c.text) << c.expr;
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdLanguage, L("ES")), 0);
  EXPECT_EQ(Text("FN$DATE('29.02.2016';2)"), "29-02-2016");
  EXPECT_EQ(Eval("FN$DATE('1';2;3)"), kErrSyntax);
  EXPECT_EQ(Eval("FN$DATE('1';'2')"), kErrTypeMismatch);
}

TEST_F(FnValueTest, TimeTexts) {
  EXPECT_EQ(Text("TIME$()"), "1020");
  EXPECT_EQ(Text("TIME$('';3)"), "10:20:30");
  EXPECT_EQ(Text("TIME$('1:2:3';3)"), "01:02:03");
  EXPECT_EQ(Text("TIME$('1:2:3.5';7)"), "01:02:03.500");
  EXPECT_EQ(Eval("TIME$(5)"), kErrTypeMismatch);
  EXPECT_EQ(Eval("TIME$('1';'3')"), kErrTypeMismatch);
}

using FnValueFileTest = InTempDir<FnValueTest>;

TEST_F(FnValueFileTest, DateAndTimeOfAFileStamp) {
  const int fd = open("stamp", O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  // 2016-02-29 08:09:10 UTC.
  const timespec times[2] = {{1456733350, 0}, {1456733350, 0}};
  ASSERT_EQ(futimens(fd, times), 0);
  close(fd);

  EXPECT_EQ(Text("FN$DATE('stamp';128)"), "20160229");
  EXPECT_EQ(Text("FN$DATE('stamp';130)"), "02-29-2016");
  EXPECT_EQ(Text("TIME$('stamp';131)"), "08:09:10");
  // Without the flag the name is taken as a date, which it is not.
  EXPECT_EQ(Text("FN$DATE('stamp')"), "");
  // A missing file has no date: it is not today's.
  EXPECT_EQ(Text("FN$DATE('missing';130)"), "          ");
}

TEST_F(FnValueTest, NestedCallsAndFailuresLeaveNoStrayValue) {
  EXPECT_EQ(Text("FN$CHNG(FN$TRIM('  ab  ');FN$MIDS('xb';-1);ENVELOP$('c';91))"), "a[c]");
  EXPECT_EQ(Value("FN#PARM(FN$PARM('x|a,b,c';2;124);FN$CHRS(98))"), 2);
  // A failing call inside an assignment leaves the variable alone.
  ASSERT_EQ(Eval("n=4"), 0);
  EXPECT_EQ(Eval("n=FN#VALN('1';'Q')"), kErrSyntax);
  EXPECT_EQ(Value("n"), 4);
  const WorkMarkId m = WorkMark(kMarkQuery);
  EXPECT_EQ(ExprEval(StrC("FN$TRIM('a';'NONE')")), kErrSyntax);
  EXPECT_LE(WorkMark(kMarkQuery), m + 1);
  WorkMark(m);
}
