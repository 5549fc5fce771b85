#include "script/fncontrol.h"

#include <string>

#include "interp_fixture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/variables.h"

using namespace vk;

namespace {

struct FnControlTest : InterpTest {
  void TearDown() override { (void)VarShutdown(); }
  static std::string Str(StrSlice s) { return std::string(s.ptr, s.len); }
};

TEST_F(FnControlTest, ChkEvaluatesOnlyTheChosenItem) {
  EXPECT_EQ(Num("CHK#(1;10;20)"), 1000);
  EXPECT_EQ(Num("CHK#(0;10;20)"), 2000);
  EXPECT_EQ(Num("CHK#(0;10)"), 0);
  EXPECT_EQ(Text("CHK$(1;'yes';'no')"), "yes");
  EXPECT_EQ(Text("CHK$(0;'yes';'no')"), "no");
  EXPECT_EQ(Text("CHK$(0;'yes')"), "");
  EXPECT_EQ(Text("CHK$(1)"), "");

  // The branch not taken has no side effect, neither does a call in it.
  EXPECT_EQ(Num("CHK#(1;A=5;B=7)"), 500);
  EXPECT_EQ(Num("CHK#(0;C=5;D=7;E=9)"), 900);
  EXPECT_EQ(Text("CHK$(0;_$(31;0;'x');'e')"), "e");
  EXPECT_EQ(Num("A*1000+B*100+C*10+D+E"), (5000 + 0 + 0 + 7 + 9) * 100);
  EXPECT_EQ(StoreCount(31), 0);
}

TEST_F(FnControlTest, ChkTypesAndFailures) {
  EXPECT_EQ(Eval("CHK#(1;'a')"), kWarnAtypical);
  // The atypical value cannot be assigned as a text.
  EXPECT_EQ(Eval("X$=CHK$(1;5)"), kErrTypeMismatch);
  EXPECT_EQ(Eval("CHK#()"), kErrSyntax);
  EXPECT_EQ(Eval("CHK#('x';1)"), kErrTypeMismatch);
  EXPECT_EQ(Eval("CHK#(1;_nohook(1);2)"), kErrSyntax);
  EXPECT_EQ(Eval("CHK#(0;1;_nohook(1))"), kErrSyntax);
}

TEST_F(FnControlTest, AcumCountingForm) {
  EXPECT_EQ(Num("FN#ACUM(I;I;1;10)"), 5500);
  EXPECT_EQ(Num("I"), 1100);
  EXPECT_EQ(Num("FN#ACUM((J);((J));(1);(3))"), 600);
  EXPECT_EQ(Num("FN#ACUM('1.5';K;1;2)"), 300);
  EXPECT_EQ(Num("FN#ACUM(1;L;5;1)"), 0);
  EXPECT_EQ(Num("L"), 500);
}

TEST_F(FnControlTest, AcumCountingEndsAtTheLargestCounter) {
  EXPECT_EQ(Num("FN#ACUM(1;I;32760;32767)"), 800);
  EXPECT_EQ(Num("I"), 3276700);
  EXPECT_EQ(Num("FN#ACUM(2;I;32767;32767)"), 200);
  // The whole range of the counter is the longest loop allowed.
  EXPECT_EQ(Num("FN#ACUM(1;I;-32768;32767)"), i64{kAcumPassMax} * 100);
}

TEST_F(FnControlTest, AcumRefusesAWrongLoopVariable) {
  EXPECT_EQ(Eval("FN#ACUM(1;X$;'a';3)"), kErrSyntax);
  EXPECT_NE(Str(ErrDetail()).find("X$"), std::string::npos);
  EXPECT_EQ(Text("X$"), "");  // the start was never assigned
  EXPECT_EQ(Eval("FN#ACUM(1;N#;1;3)"), kErrSyntax);
  EXPECT_EQ(Eval("FN#ACUM(1;V(1);1;3)"), kErrSyntax);
  EXPECT_EQ(Eval("FN#ACUM(_nohook(1);I;1;3)"), kErrSyntax);
}

TEST_F(FnControlTest, AcumConditionForm) {
  EXPECT_EQ(Num("FN#ACUM(A=A+1)"), 100);  // once
  EXPECT_EQ(Num("A"), 100);
  EXPECT_EQ(Num("FN#ACUM(B=B+1;1;B<5)"), 1500);
  EXPECT_EQ(Num("FN#ACUM(C=C+1;C<3)"), 600);  // the condition repeats
  EXPECT_EQ(Num("FN#ACUM(D=D+1;0)"), 0);
  EXPECT_EQ(Num("D"), 0);
  EXPECT_EQ(Num("FN#ACUM(E=E+1;'t')"), 0);  // a text is false
}

TEST_F(FnControlTest, AcumLoopsAreBounded) {
  // Loops that would never end stop with 129, recorded as the
  // interpreter's error with the statement as its detail.
  for (const char* expr : {"FN#ACUM(1,1)", "FN#ACUM(1,1,2)", "N=FN#ACUM(J=J-1;J;1;10)"}) {
    SCOPED_TRACE(expr);
    ErrSet(kErrForce, kWhereNone, 0, 0);
    ErrMsgAppend(0, L(""), false);
    EXPECT_EQ(Eval(expr), kErrLoop);
    EXPECT_EQ(ErrGet(), u32{kErrLoop} | u32{kWhereExprExec} << 16);
    EXPECT_NE(Str(ErrDetail()).find(expr), std::string::npos);
  }
  EXPECT_EQ(Num("N"), 0);  // the failed loop assigned nothing
}

TEST_F(FnControlTest, ExpFillsPlaceholdersWithOperandsAsWritten) {
  EXPECT_EQ(Text("EXP$('x=$1_;y=$2_';a;b)"), "x=a;y=b");
  EXPECT_EQ(Text("EXP$('$1_+$1_=$2_';A;B=5)"), "A+A=B");
  EXPECT_EQ(Num("B"), 0);
  EXPECT_EQ(Text("EXP$('$10_/$1_';a;b;c;d;e;f;g;h;i;j)"), "j/a");
  EXPECT_EQ(Text("EXP$('a$1_')"), "a$1_");
  EXPECT_EQ(Eval("EXP$()"), kErrSyntax);
  EXPECT_EQ(Eval("EXP$(5;a)"), kErrTypeMismatch);
}

TEST_F(FnControlTest, MacroExpandsAndEvaluates) {
  EXPECT_EQ(Text("MACRO$('a[1+2]b')"), "a3b");
  EXPECT_EQ(Text("MACRO$(' [1]+[2] ';8)"), "3");
  EXPECT_EQ(Text("MACRO$('[TITLE]';4;'TITLE=Home')"), "HOME");
  EXPECT_EQ(Text("MACRO$('[[1]+1]';128)"), "2");
  EXPECT_EQ(Eval("MACRO$('[_nohook(1)]')"), kErrSyntax);
  EXPECT_EQ(Eval("MACRO$()"), kErrSyntax);
}

TEST_F(FnControlTest, MacroReexpansionIsBounded) {
  ASSERT_EQ(Eval("X$='[X$]'"), kResultText);
  EXPECT_EQ(Text("MACRO$('[X$]')"), "[X$]");
  EXPECT_EQ(Eval("MACRO$('[X$]';128)"), kErrLoop);
}

TEST_F(FnControlTest, FieldsReadsNamedValues) {
  ASSERT_EQ(Eval("N=5;T$='abc';_#(4)=9"), 0);
  EXPECT_EQ(Text("FN$FLDS(N)"), "5");
  EXPECT_EQ(Text("FN$FLDS(T$;2)"), "abc");
  EXPECT_EQ(Text("FN$FLDS(_PRECIS)"), "2");
  EXPECT_EQ(Text("FN$FLDS(_#(4))"), "9");
  EXPECT_EQ(Text("FN$FLDS(MACRO$('[1+1]'))"), "2");
  EXPECT_EQ(Text("FN$FLDS({x})"), "");
  EXPECT_EQ(Eval("FN$FLDS(nothing)"), kErrSyntax);
  EXPECT_EQ(Eval("FN$FLDS()"), kErrSyntax);
  EXPECT_EQ(Eval("FN$FLDS(T$;'x')"), kErrTypeMismatch);
}

TEST_F(FnControlTest, UnderNumReadsByIndexNameAndKeyword) {
  ASSERT_EQ(Eval("_#(1)=4;_#(5)=7;_ACUMX$='x,y,z'"), kResultText);
  EXPECT_EQ(Num("_#(5)"), 700);
  EXPECT_EQ(Num("_#(3;2)"), 700);
  EXPECT_EQ(Num("_#('DIM';5)"), 700);
  EXPECT_EQ(Num("_#('y')"), 400);
  EXPECT_EQ(Num("_#('z';-1)"), 400);
  EXPECT_EQ(Num("_#('w';2)"), 0);
  EXPECT_EQ(Num("_#(-1)"), 0);
  EXPECT_EQ(Eval("_#(300)"), kErrDataOutBound);
  EXPECT_EQ(Eval("_#()"), kErrSyntax);
  EXPECT_EQ(Eval("_#(1;2;3;4)"), kErrSyntax);
}

TEST_F(FnControlTest, UnderNumClearsRanges) {
  EXPECT_EQ(Num("_#('CLS')"), 0);
  EXPECT_EQ(VarLookup(StrC("_#(")).number, kNotFound);
  ASSERT_EQ(Eval("_#(1)=1;_#(2)=2;_#(3)=3;_#(256)=4"), 0);
  EXPECT_EQ(Num("_#('CLS';3;1)"), 0);
  EXPECT_EQ(Num("_#(1)*1000+_#(2)*100+_#(3)*10+_#(256)"), 34 * 100);
  EXPECT_EQ(Num("_#('CLS')+_#(3)+_#(256)"), 0);
}

TEST_F(FnControlTest, UnderNumReadBeforeAssignmentKeepsTheFullArray) {
  EXPECT_EQ(Num("_#(5)"), 0);
  EXPECT_EQ(Eval("_#(200)=3"), 0);
  EXPECT_EQ(Num("_#(200)"), 300);
}

TEST_F(FnControlTest, UnderStrOnStackGroups) {
  EXPECT_EQ(Text("_$(31;0;'v')"), "v");
  EXPECT_EQ(Text("_$(31;0;'w')"), "w");
  EXPECT_EQ(Text("_$(31)"), "w");
  EXPECT_EQ(StoreCount(31), 2);
  EXPECT_EQ(Eval("_$(31;-3)"), kResultText);  // pops both, then stops quietly
  EXPECT_EQ(StoreCount(31), 0);
  EXPECT_EQ(Text("_$(31)"), "");
  EXPECT_EQ(Eval("_$(40;0;'x')"), kErrStrOutBound);
}

TEST_F(FnControlTest, UnderStrOnEntryGroups) {
  EXPECT_EQ(Text("_$(5;3;'x')"), "x");
  EXPECT_EQ(StoreCount(5), 4);
  EXPECT_EQ(Text("_$(5;3)"), "x");
  EXPECT_EQ(Text("_$(5;1)"), "");
  EXPECT_EQ(Eval("_$(5;-1)"), kErrSyntax);
  EXPECT_EQ(StoreCount(5), 4);
  EXPECT_EQ(Eval("_$(1;2;3;4)"), kErrSyntax);
}

TEST_F(FnControlTest, EnvironReadsIdentity) {
  ASSERT_EQ(AppCommandLineStore(StrC("prog lang=es title:'A b'")), 0);
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdDescription, StrC("Site builder")), 0);
  EXPECT_EQ(Text("ENVRON$('lang')"), "es");
  EXPECT_EQ(Text("ENVRON$('title')"), "A b");
  EXPECT_EQ(Text("ENVRON$('none')"), "");
  EXPECT_EQ(Text("ENVRON$('';3)"), "Site builder");
  EXPECT_EQ(Eval("ENVRON$()"), kErrSyntax);
  EXPECT_EQ(Eval("ENVRON$(1)"), kErrTypeMismatch);
}

}  // namespace
