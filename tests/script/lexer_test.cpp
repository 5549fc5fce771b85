#include "script/lexer.h"

#include <memory>
#include <string>

#include "interp_fixture.h"
#include "runtime/error.h"
#include "runtime/varstore.h"
#include "script/exprtables.h"

using namespace vk;

namespace {

using LexerTest = InterpTest;

// The text in a heap block of exactly its size, so that a read past its end
// is caught by the address sanitizer.
struct Exact {
  std::unique_ptr<char[]> bytes;
  StrSlice slice;
  explicit Exact(const std::string& s) : bytes(new char[s.size() ? s.size() : 1]) {
    std::memcpy(bytes.get(), s.data(), s.size());
    slice = StrSlice{bytes.get(), static_cast<u16>(s.size())};
  }
};

ExprCursor On(const Exact& t) {
  ExprCursor c{};
  c.text = t.slice.ptr;
  c.length = t.slice.len;
  return c;
}

std::string Operand(const ExprCursor& c) { return std::string(c.text + c.start, c.operand_len); }

TEST_F(LexerTest, WalksTheWorkedExample) {
  ExprCursor c = ExprFirstToken(L("x >= FN$TRIM(b;'FIT')*2;c"));
  ASSERT_EQ(c.status, 0);
  EXPECT_EQ(Operand(c), "x");
  EXPECT_EQ(c.op, kOpGe);
  EXPECT_EQ(c.prec, 2);
  EXPECT_EQ(c.pos, 3);

  c = ExprNextToken(c);
  EXPECT_EQ(Operand(c), "FN$TRIM");
  EXPECT_EQ(c.cls, 0x23);
  EXPECT_EQ(c.func, 19);
  EXPECT_EQ(c.inner, 7);
  EXPECT_EQ(c.op, kOpMul);
  EXPECT_EQ(c.prec, 4);

  const ExprCursor args = ExprCursorSet(c);
  EXPECT_EQ(std::string(args.text + args.pos, args.length - args.pos), "b;'FIT'");

  c = ExprNextToken(c);
  EXPECT_EQ(Operand(c), "2");
  EXPECT_EQ(c.op, kOpNone);
  EXPECT_EQ(c.text[c.pos - 1], ';');

  c = ExprNextToken(c);
  EXPECT_EQ(Operand(c), "c");
  EXPECT_EQ(c.op, kOpNone);
  EXPECT_EQ(c.pos, c.length);
}

TEST_F(LexerTest, OperatorPairs) {
  // A pair that is not an operator ends the item, as ';' would.
  for (const char* e : {"a!=b", "a+=b", "a=>b", "a=<b"}) {
    ExprCursor c = ExprFirstToken(L(e));
    EXPECT_EQ(Operand(c), "a") << e;
    EXPECT_EQ(c.op, kOpNone) << e;
    c = ExprNextToken(c);
    EXPECT_EQ(Operand(c), "b") << e;
  }
  ExprCursor c = ExprFirstToken(L("a=-1"));
  EXPECT_EQ(c.op, kOpAssign);
  c = ExprNextToken(c);
  EXPECT_EQ(c.operand_len, 0);
  EXPECT_EQ(c.op, kOpSub);
  EXPECT_EQ(ExprFirstToken(L("a<>b")).op, kOpNe);
  EXPECT_EQ(ExprFirstToken(L("a@@b")).op, kOpDisjoint);
  EXPECT_EQ(ExprFirstToken(L("a\xF7" "b")).op, kOpLessPercent);
}

TEST_F(LexerTest, OperandClasses) {
  struct Case {
    const char* text;
    u16 cls;
  };
  const Case cases[] = {
      {"A$", kClassStrVar},  {"'x#y'", kClassQuoted}, {"B#$", kClassStrVar}, {"T#", kClassNumVar},
      {"abc", kClassIntVar}, {"12", kClassNumber},     {".envvar", kClassNumber}, {"\xE9x", kClassNumber},
      {"{f}", kClassFieldText}, {"'a;b'", kClassQuoted},
      {"(1+2)*3", kClassSubExpr | kCallUser}, {"a(1)", kClassIntVar | kCallUser},
      {"fn$trim(x)", kClassStrVar | kCallBuiltin},
  };
  for (const Case& k : cases) EXPECT_EQ(ExprFirstToken(L(k.text)).cls, k.cls) << k.text;
  EXPECT_EQ(ExprFirstToken(L("'a;b'")).pos, 5);
  EXPECT_EQ(ExprFirstToken(L("fn$trim(x)")).func, 19);
}

TEST_F(LexerTest, SyntaxPreCheck) {
  for (const char* ok : {"a = 1", "a =1", "a= 1", "x$ = 'a  b'", "f( 1 , 2 )", "a=1; "}) {
    EXPECT_EQ(ExprCheckSyntax(L(ok)), 0) << ok;
  }
  EXPECT_EQ(ExprCheckSyntax(L("a b+1")), kErrSyntax);
  EXPECT_EQ(S(ErrDetail()), "b+1");
  EXPECT_EQ(ExprCheckSyntax(L(" a")), kErrSyntax);
  EXPECT_EQ(ExprCheckSyntax(L("(a")), kErrLoop);
  EXPECT_EQ(S(ErrDetail()), "(a");
  EXPECT_EQ(ExprCheckSyntax(L("'(' + a")), 0);
  // Reported by the cursor, before anything is evaluated; not recorded.
  EXPECT_EQ(ExprCursorInit(L("a b")).status, kErrSyntax);
  EXPECT_EQ(ErrGet(), 0u);
}

TEST_F(LexerTest, PreparationRemovesBlanksAndExpandsMacros) {
  EXPECT_EQ(S(ExprPrepare(L(" a = 'x y' + b "))), "a='x y'+b");
  EXPECT_EQ(S(ExprPrepare(L("_ACCEPT$( NAME )"))), "FN$TRIM(FN$PARM(_$(.envvar;.dialog);NAME);'FIT')");
  EXPECT_EQ(S(ExprPrepare(L("v=_ACCEPT#(N)+1"))),
            "v=FN#VALN(FN$TRIM(FN$PARM(_$(.envvar;.dialog);N);'FIT'))+1");
  EXPECT_EQ(S(ExprPrepare(L("_ACCEPT$()"))), "_ACCEPT$()");
  EXPECT_EQ(S(ExprPrepare(L("'_ACCEPT$(x)'"))), "'_ACCEPT$(x)'");
  EXPECT_EQ(S(ExprPrepare(L("_ACCEPT$(_ACCEPT#(x))"))),
            "FN$TRIM(FN$PARM(_$(.envvar;.dialog);"
            "FN#VALN(FN$TRIM(FN$PARM(_$(.envvar;.dialog);x);'FIT'))"
            ");'FIT')");
}

TEST_F(LexerTest, BuiltInNames) {
  EXPECT_EQ(FuncListFind(L("_#")), 1);
  EXPECT_EQ(FuncListFind(L("FN$TRIM")), 19);
  EXPECT_EQ(FuncListFind(L("fn$Trim")), 19);
  EXPECT_EQ(FuncListFind(L("SQLCHILD")), kFuncCount);
  EXPECT_EQ(FuncListFind(L("FN$TRIMX")), 0);
  EXPECT_EQ(FuncListFind(L("")), 0);
  const StrSlice stored = StoreGet(kGroupIdentity, 8);
  ASSERT_GT(stored.len, 3);
  EXPECT_EQ(std::string(stored.ptr, 3), std::string("_#\0", 3));
}

TEST_F(LexerTest, UnbalancedTextIsNeverReadPastItsEnd) {
  Exact t("a)(b");
  ExprCursor c = ExprNextToken(On(t));
  EXPECT_EQ(Operand(c), "a");
  EXPECT_EQ(c.op, kOpNone);
  c = ExprNextToken(c);
  EXPECT_EQ(c.cls, kClassSubExpr | kCallUser);
  EXPECT_EQ(c.inner, 1);
  EXPECT_EQ(c.pos, c.length);
  const ExprCursor args = ExprCursorSet(c);
  EXPECT_LE(args.length, t.slice.len);

  Exact call("f('x)'");
  c = ExprNextToken(On(call));
  EXPECT_EQ(c.inner, 4);
  EXPECT_EQ(c.pos, c.length);
  Exact quote("'abc");
  c = ExprNextToken(On(quote));
  EXPECT_EQ(c.operand_len, 4);
  EXPECT_EQ(ExprMatchParen(On(t)), 2);  // the ")" opens and nothing balances it
}

TEST_F(LexerTest, ArgumentItems) {
  const StrSlice list = L("a;b(1,2)+c,'c,d';;x");
  EXPECT_EQ(S(ExprArgText(list, 1)), "a");
  EXPECT_EQ(S(ExprArgText(list, 2)), "b(1,2)+c");
  EXPECT_EQ(S(ExprArgText(list, 3)), "'c,d'");
  EXPECT_EQ(S(ExprArgText(list, 4)), "");
  EXPECT_EQ(S(ExprArgText(list, 5)), "x");
  EXPECT_EQ(S(ExprArgText(list, 6)), "");

  ExprCursor call = ExprFirstToken(L("f(x+1;'a;b',(2))"));
  ExprSpan spans[4];
  u16 n = 0;
  EXPECT_EQ(ExprArgSpans(ExprCursorSet(call), spans, 4, &n), 0);
  ASSERT_EQ(n, 3);
  EXPECT_EQ(std::string(call.text + spans[1].offset, spans[1].len), "'a;b'");
  EXPECT_EQ(std::string(call.text + spans[2].offset, spans[2].len), "(2)");
}

TEST_F(LexerTest, ResultTypeWithoutEvaluation) {
  EXPECT_EQ(ExprResultType(L("FN$TRIM(x)")), 1);
  EXPECT_EQ(ExprResultType(L("_#(x)")), 0);
  EXPECT_EQ(ExprResultType(L("x$+'a'")), 1);
  EXPECT_EQ(ExprResultType(L("x$='a'")), 1);
  EXPECT_EQ(ExprResultType(L("x$=='a'")), 0);
  EXPECT_EQ(ExprResultType(L("1;t$")), 1);
  EXPECT_EQ(ExprResultType(L("n")), 0);
}

TEST_F(LexerTest, ValPushers) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(ValPushInt(-3), 0);
  EXPECT_EQ(ValNumber(WorkTop()), -300);
  EXPECT_EQ(ValPushTyped(2, L("12")), 0);
  EXPECT_EQ(ValNumber(WorkTop()), 1200);
  EXPECT_EQ(ValPushTyped(2, L("si")), 0);
  EXPECT_EQ(ValNumber(WorkTop()), 100);
  EXPECT_EQ(ValPushTyped(6, L("-1.235")), 0);
  EXPECT_EQ(ValNumber(WorkTop()), -124);
  EXPECT_EQ(ValPushTyped(3, L("ab")), 0);
  EXPECT_EQ(S(WorkTop()), "ab");
  const WorkMarkId here = WorkMark(kMarkQuery);
  EXPECT_EQ(ValPushTyped(16, L("x")), kErrSyntax);
  EXPECT_EQ(ValPushLong(INT64_MAX), kErrStringTooLong);
  EXPECT_EQ(WorkMark(kMarkQuery), here);
  WorkMark(mark);
}

}  // namespace
