#include "script/eval.h"

#include <string>

#include "interp_fixture.h"
#include "runtime/error.h"
#include "runtime/varstore.h"
#include "script/numtext.h"

using namespace vk;

namespace {

using EvalTest = InterpTest;

struct NumCase {
  const char* expr;
  i64 raw;  // with two decimals
};

void ExpectNumbers(const NumCase* cases, size_t n) {
  for (size_t i = 0; i < n; ++i) EXPECT_EQ(InterpTest::Num(cases[i].expr), cases[i].raw) << cases[i].expr;
}

TEST_F(EvalTest, PrecedenceAndLeftAssociation) {
  const NumCase cases[] = {
      {"1+2*3", 700},  {"(1+2)*3", 900}, {"8-2-1", 500},   {"8/2/2", 200},   {"2|1*3", 900},
      {"2*4|1", 1000}, {"2*4@1", 900},   {"2*-3+4", 200},  {"-5", -500},     {"2*--3", 600},
      {"1+2>2", 100},  {"1 + 2 * 3", 700}, {"((2))", 200}, {"1;2;3", 300},
  };
  ExpectNumbers(cases, std::size(cases));
}

TEST_F(EvalTest, FixedPointWithTwoDecimals) {
  const NumCase cases[] = {
      {"10/4", 250},       {"1/3", 33},         {"2/3", 67},      {"-2/3", -67},   {"5/0", 0},
      {"1.26!1", 130},     {"-1.25!1", -130},   {"1.2!3", 120},   {"1.26!2", 126}, {"1.26!-30000", 0},
      {"200%10", 2000},    {"200\xF7" "10", 18000}, {"1.5*1.5", 225}, {"1.239", 124},
  };
  ExpectNumbers(cases, std::size(cases));
}

// An integer variable (rounded), an integer element (truncated) and a
// system variable keep the low 16 bits of what they are given, with no
// error; a decimal variable keeps the whole number.
TEST_F(EvalTest, IntegersKeepTheirLow16Bits) {
  const NumCase cases[] = {
      {"i=32767;i", 3276700},    {"i=32768;i", -3276800},    {"i=-32769;i", 3276700},
      {"i=49152;i", -1638400},   {"i&32768", 3276800},       {"i&16384", 1638400},
      {"i=65535;i", -100},       {"i=70000;i", 446400},      {"i=-40000;i", 2553600},
      {"i=40000.5;i", -2553500}, {"v(3);v(1)=70000.9;v(1)", 446400}, {"v(2)=-40000;v(2)", 2553600},
      {"_USER01=70000;_USER01", 446400}, {"d#=70000;d#", 7000000},
  };
  ExpectNumbers(cases, std::size(cases));
}

TEST_F(EvalTest, BitAndLogicOperators) {
  const NumCase cases[] = {
      {"6&3", 200},  {"4|1", 500},      {"5|1", 0},   {"4@@1", 100}, {"5@@1", 0},  {"0@@0", 0},
      {"655.36&&1", 100}, {"0.01&&1", 100}, {"0&&1", 0}, {"0||0.5", 100}, {"0||0", 0},
      {"2>1", 100},  {"1==1.00", 100},  {"2<>2", 0},  {"2>=2", 100}, {"3<=2", 0},
  };
  ExpectNumbers(cases, std::size(cases));
}

TEST_F(EvalTest, ScaleIsExactForEveryPrecision) {
  SysVarSet(kSysPrecis, 5);
  EXPECT_EQ(Num("1*1"), 100000);
  EXPECT_EQ(Num("1/4"), 25000);
  SysVarSet(kSysPrecis, 18);
  EXPECT_EQ(Num("1*1"), 1000000000000000000);
  EXPECT_EQ(Num("2>1"), 1000000000000000000);
  SysVarSet(kSysPrecis, 0);
  EXPECT_EQ(Num("7/2"), 4);
}

TEST_F(EvalTest, WideIntermediatesAndRefusedOverflow) {
  SysVarSet(kSysPrecis, 9);
  // The products before rescaling pass 64 bits; the results do not.
  EXPECT_EQ(Num("3000000000*2"), 6000000000000000000);
  EXPECT_EQ(Num("6000000000/2"), 3000000000000000000);
  SysVarSet(kSysPrecis, 2);
  // The code stays the one scripts know; the detail names the overflow and
  // the statement.
  for (const char* sum : {"92233720368547758*2", "92233720368547758+1", "-92233720368547758-1"}) {
    EXPECT_EQ(Eval(sum), kErrStringTooLong) << sum;
    const StrSlice detail = ErrDetail();
    const std::string d(detail.ptr ? detail.ptr : "", detail.len);
    EXPECT_EQ(d.find("number overflow"), 0u) << d;
    EXPECT_NE(d.find(sum), std::string::npos) << d;
  }
}

TEST_F(EvalTest, StatementsAndVariables) {
  EXPECT_EQ(Num("a=1;b=2;a+b"), 300);
  EXPECT_EQ(Text("x$='ab'+'cd'"), "abcd");
  EXPECT_EQ(Text("x$+'!'"), "abcd!");
  EXPECT_EQ(Num("i=2.5;i"), 300);  // integers round half away from zero
  EXPECT_EQ(Num("i=-2.5;i"), -300);
  EXPECT_EQ(Num("n#=2.555;n#"), 256);
  EXPECT_EQ(Num("A=9;a"), 100);  // names are case-sensitive
  EXPECT_EQ(Num("never_set"), 0);
  EXPECT_EQ(Text("unset$"), "");
  // a chain: the middle name gets the operand after its '=' first
  EXPECT_EQ(Num("a=b=3+1"), 400);
  EXPECT_EQ(Num("a"), 300);
  EXPECT_EQ(Num("b"), 400);
  // "!=" is no operator: "a" and "b" are two statements
  EXPECT_EQ(Num("a!=b"), 400);
  EXPECT_EQ(Text("q$='a;b,c'"), "a;b,c");
  EXPECT_EQ(Num("v(3);v(3)=7;v(3)+1"), 800);
  EXPECT_EQ(Num("_#(5)=7"), 700);  // stored into the built-in number array
}

TEST_F(EvalTest, EmptyOperands) {
  i64 raw = -1;
  EXPECT_EQ(Eval("", &raw), 0);
  EXPECT_EQ(raw, 0);
  EXPECT_EQ(Eval("2*"), kErrSyntax);
  EXPECT_EQ(Eval("'a'+"), kErrSyntax);
  EXPECT_EQ(Eval("a="), kErrSyntax);
  EXPECT_EQ(Num("a=1;;"), 0);
}

TEST_F(EvalTest, TypeErrorsRecordTheFailingStatement) {
  EXPECT_EQ(Eval("a=1;'a'+1;b=2"), kErrTypeMismatch);
  EXPECT_EQ(Num("b"), 0);  // the sequence stopped
  const std::string detail = S(ErrDetail());
  EXPECT_NE(detail.find("'a'+1;b=2"), std::string::npos) << detail;
  EXPECT_EQ(ErrGet() & 0xFFFF, kErrTypeMismatch);
  EXPECT_EQ(static_cast<i16>(ErrGet() >> 16), kWhereExprExec);

  EXPECT_EQ(Eval("1+'a'"), kErrTypeMismatch);
  EXPECT_EQ(Eval("n='x'"), kErrTypeMismatch);
  EXPECT_EQ(Eval("t$=1"), kErrTypeMismatch);
  EXPECT_EQ(Eval("'a'*'b'"), kErrSyntax);
  EXPECT_EQ(Eval("'a'-'b'"), kErrSyntax);
  EXPECT_EQ(Eval("'a'=1"), kErrSyntax);  // not a variable
  EXPECT_EQ(Eval("{f}=1"), kErrFeatureRemoved);  // no record layer to write to
}

TEST_F(EvalTest, TextComparisons) {
  const NumCase cases[] = {
      {"'abc'=='ab*'", 100}, {"'ABCD'=='ab*'", 100}, {"'xabcx'=='*ABC'", 100}, {"'xabx'=='*abc'", 0},
      {"'abc'=='ABC'", 0},   {"'abc'<>'ab*'", 100},  {"'a'<'b'", 100},          {"'ab'<'abc'", 100},
      {"'b'>'B'", 100},      {"'abc'=='abc'", 100},  {"'xy'=='*'", 100},        {"'a'=='abc*'", 0},
      {"'\xE9'>'z'", 100},
  };
  ExpectNumbers(cases, std::size(cases));
  SysVarSet(kSysAuxstat, kAuxNoWildcard);
  EXPECT_EQ(Num("'abc'=='ab*'"), 0);
  EXPECT_EQ(Num("'ab*'=='ab*'"), 100);
}

TEST_F(EvalTest, ConstantsAndLiterals) {
  const NumCase cases[] = {
      {".envvar", 900}, {".dialog", 700}, {".iscgi", 1638400}, {".datey", 1000000},
      {".unknown", 0},  {".Envvar", 0},   {".5", 50},          {"15D1", 15000},
  };
  ExpectNumbers(cases, std::size(cases));
  EXPECT_EQ(Text("'quoted'"), "quoted");
  EXPECT_EQ(Text("{field}"), "0");
  EXPECT_EQ(Text(".tab$"), "\t");
}

TEST_F(EvalTest, DerivedEntryPoints) {
  EXPECT_EQ(S(ExprEvalStr(L("1.5"))), "1.5");
  EXPECT_EQ(S(ExprEvalStr(L("'t'"))), "t");
  EXPECT_EQ(StrError(ExprEvalStr(L("'a'+1"))), kErrTypeMismatch);

  EXPECT_EQ(ExprEvalInt(L("2.5")), 3);
  EXPECT_EQ(ExprEvalInt(L("-2.5")), -3);
  EXPECT_EQ(ExprEvalInt(L("'7'")), 0);

  EXPECT_EQ(ExprEvalCond(L("")), 1);
  EXPECT_EQ(ExprEvalCond(L("'x'")), 0);
  EXPECT_EQ(ExprEvalCond(L("''")), 0);
  EXPECT_EQ(ExprEvalCond(L("0")), 0);
  EXPECT_EQ(ExprEvalCond(L("0.01")), 1);
  EXPECT_EQ(ExprEvalCond(L("'a'+1")), kErrTypeMismatch);

  EXPECT_EQ(ExprExec(L("k=4")), 0);
  EXPECT_EQ(ExprExec(L("(1")), kErrLoop);
}

TEST_F(EvalTest, EvaluationLeavesOneEntry) {
  for (const char* e : {"1+2*3", "x$='a'+'b'", "a=b=2", "(1+(2*(3)))", "'a'+1", "2*"}) {
    const WorkMarkId before = WorkMark(kMarkQuery);
    (void)ExprEval(L(e));
    const WorkMarkId after = WorkMark(kMarkQuery);
    EXPECT_LE(after, before + 1) << e;
    WorkMark(before);
  }
}

TEST_F(EvalTest, CallsWithoutAHandlerFail) {
  // An application function without an application is an error, not the
  // previous value.
  EXPECT_EQ(Eval("7;_app(1)"), kErrSyntax);
}

TEST_F(EvalTest, NestingIsBounded) {
  const std::string deep = std::string(1000, '(') + "1" + std::string(1000, ')');
  EXPECT_EQ(Eval(deep), kErrOutOfMemory);
  const std::string dashes = "1" + std::string(5000, '-') + "1";
  EXPECT_EQ(Eval(dashes), kErrOutOfMemory);
  EXPECT_EQ(Num(std::string(20, '(') + "1" + std::string(20, ')')), 100);
}

TEST_F(EvalTest, ArgumentsAreCollectedIntoTheArgumentGroup) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ExprCursor call = ExprFirstToken(L("f(1,'ab',,2+3;x$)"));
  ASSERT_EQ(call.status, 0);
  (void)ExprEval(L("x$='v'"));  // sets x$ for the argument below
  ExprCursor out{};
  const FuncArgTypes types = FuncArgsCollect(call, kFuncAllArgs, &out);
  ASSERT_EQ(types.len, 10);
  const u16* t = reinterpret_cast<const u16*>(types.ptr);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[1], 1);
  EXPECT_EQ(t[2], 0);
  EXPECT_EQ(t[3], 0);
  EXPECT_EQ(t[4], 1);
  EXPECT_EQ(out.status, 0);
  ASSERT_EQ(StoreCount(kGroupFuncArgs), 5);
  EXPECT_EQ(ValNumber(StoreGet(kGroupFuncArgs, 0)), 100);
  EXPECT_EQ(S(StoreGet(kGroupFuncArgs, 1)), "ab");
  EXPECT_EQ(S(StoreGet(kGroupFuncArgs, 2)), "\x1B");
  EXPECT_EQ(ValNumber(StoreGet(kGroupFuncArgs, 3)), 500);
  EXPECT_EQ(S(StoreGet(kGroupFuncArgs, 4)), "v");
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);

  EXPECT_EQ(FuncArgsCollect(call, 2, &out).len, 4);
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);
  WorkMark(mark);
}

TEST_F(EvalTest, ArgumentCollectionLimitsAndErrors) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ExprCursor out{};
  EXPECT_EQ(FuncArgsCollect(ExprFirstToken(L("f()")), kFuncAllArgs, &out).len, 0);
  EXPECT_EQ(FuncArgsCollect(ExprFirstToken(L("f(1,)")), kFuncAllArgs, &out).len, 2);
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);

  std::string many = "f(";
  for (int i = 0; i < 20; ++i) many += std::to_string(i) + ",";
  many += "0)";
  EXPECT_EQ(FuncArgsCollect(ExprFirstToken(Sl(many)), kFuncAllArgs, &out).len, 2 * kFuncMaxArgs);
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);

  // An error after the first argument is an error slice; in the first, an
  // empty list with the error in the cursor.
  EXPECT_EQ(StrError(FuncArgsCollect(ExprFirstToken(L("f(1,'a'+1)")), kFuncAllArgs, &out)), kErrTypeMismatch);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 1);
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);
  const FuncArgTypes first = FuncArgsCollect(ExprFirstToken(L("f('a'+1,2)")), kFuncAllArgs, &out);
  EXPECT_NE(first.ptr, nullptr);
  EXPECT_EQ(first.len, 0);
  EXPECT_EQ(out.status, kErrTypeMismatch);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);
  WorkMark(mark);
}

}  // namespace
