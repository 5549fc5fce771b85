#include "script/funcdispatch.h"

#include <string>

#include "interp_fixture.h"
#include "runtime/error.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/funcargs.h"
#include "script/lexer.h"
#include "script/numtext.h"

using namespace vk;

namespace {

struct DispatchTest : InterpTest {
  void TearDown() override {
    for (u16 n = kFnExtFirst; n <= kFnExtLast; ++n) (void)FuncExtSet(n, nullptr);
    InterpTest::TearDown();
  }

  // Runs the call text (a name with its argument list) as function number.
  static u16 CallAs(const std::string& call, u16 number, std::string* result = nullptr) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    ExprCursor c = ExprFirstToken(Sl(call));
    c.func = number;
    const WorkMarkId before = WorkMark(kMarkQuery);
    const u16 st = FuncCall(c);
    EXPECT_LE(WorkMark(kMarkQuery), before + 1);
    if (result) *result = std::string(WorkTop().ptr, WorkTop().len);
    WorkMark(mark);
    return st;
  }
};

// What the probe handler read, argument by argument, last first.
std::string g_seen;
u16 g_status;

// Reads argument 3 as a number (default 7), 2 as a text (default "d"), 1 as
// a number (default -1), in handler order, after a count check of 0-3.
u16 ProbeTyped(FuncArgTypes types) {
  g_seen.clear();
  if (u16 st = FuncArgCount(types, 0, 3)) return st;
  i16 third = 0, first = 0;
  StrSlice second{};
  u16 st = FuncArgNum(types, 3, 7, &third);
  if (st == 0) st = FuncArgStr(types, 2, StrC("d"), &second);
  if (st == 0) st = FuncArgNum(types, 1, -1, &first);
  if (st == 0) {
    g_seen = std::to_string(first) + "|" + std::string(second.ptr, second.len) + "|" + std::to_string(third);
    st = WorkPush(second.ptr, second.len);
  }
  return st;
}

// Reads every argument through FuncArgGet with n = 1 each time, recording
// each value's text and type.
u16 ProbeTop(FuncArgTypes types) {
  g_seen.clear();
  for (u16 i = FuncArgTotal(types); i >= 1; --i) {
    const u16 type = FuncArgGet(types, 1, StrC("?"), 1);
    if (type >= kFirstError) return type;
    const StrSlice v = WorkTop();
    g_seen += (type ? std::string(v.ptr, v.len) : S(FixToText(ValNumber(v)))) + ":" + std::to_string(type) + " ";
  }
  return ValPushInt(static_cast<i16>(FuncArgTotal(types)));
}

// Runs a nested script while its own arguments are on the group.
u16 ProbeNested(FuncArgTypes types) {
  const u16 inner = ExprEval(StrC("SORT$('b,a')"));
  StrSlice s{};
  const u16 st = FuncArgStr(types, 1, StrC(""), &s);
  g_seen = std::to_string(inner) + " " + std::string(s.ptr, s.len);
  return st;
}

u16 ProbeAll(FuncArgTypes types) {
  i16 nums[3] = {-5, -5, -5};
  StrSlice texts[3] = {StrC("-"), StrC("-"), StrC("-")};
  g_status = FuncArgsAll(types, nums, texts, 3);
  g_seen.clear();
  for (int i = 0; i < 3; ++i) g_seen += std::to_string(nums[i]) + "/" + S(texts[i]) + " ";
  return ValPushInt(0);
}

// Reads its one argument twice.
u16 ProbeTwice(FuncArgTypes types) {
  g_seen.clear();
  for (int i = 0; i < 2; ++i) {
    const u16 type = FuncArgGet(types, 1, StrC("?"), 1);
    if (type >= kFirstError) return type;
    g_seen += (i ? " " : "") + S(WorkTop());
  }
  return 0;
}

u16 ProbeOk(FuncArgTypes) { return ValPushInt(42); }

}  // namespace

TEST_F(DispatchTest, TableFollowsTheNameListAndItsEvaluationLimits) {
  for (u16 n = 1; n <= kFnCount; ++n) {
    const FuncEntry* e = FuncEntryOf(n);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(FuncListFind(StrC(e->name)), n) << e->name;
  }
  EXPECT_EQ(FuncEntryOf(0), nullptr);
  EXPECT_EQ(FuncEntryOf(kFnExtFirst), nullptr);
  EXPECT_EQ(FuncEntryOf(kFnChkNum)->flag, 0);
  EXPECT_EQ(FuncEntryOf(kFnChkStr)->flag, 1);

  // FILEREL evaluates four arguments and leaves the rest to the data-file
  // layer, which is absent: the fifth's side effect never happens.
  EXPECT_EQ(Eval("a=0;b=0;FILEREL(a=1;a=2;a=3;a=4;b=5)"), kErrFeatureRemoved);
  EXPECT_EQ(Num("a"), 400);
  EXPECT_EQ(Num("b"), 0);
}

TEST_F(DispatchTest, AbsentLayersFailWithTheirName) {
  EXPECT_EQ(Eval("a=5;a=FILEREL(1;2;3;4)"), kErrFeatureRemoved);
  EXPECT_EQ(Num("a"), 500);
  EXPECT_NE(S(ErrDetail()).find("FILEREL"), std::string::npos) << S(ErrDetail());
  // A failed call leaves no entry that could pass for its result.
  const WorkMarkId m = WorkMark(kMarkQuery);
  ExprCursor c = ExprFirstToken(StrC("FILEREL(1;2;3;4)"));
  const WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(FuncCall(c), kErrFeatureRemoved);
  EXPECT_EQ(WorkMark(kMarkQuery), before);
  WorkMark(m);
}

TEST_F(DispatchTest, AnArgumentErrorEndsTheCall) {
  // In the first argument too: never a call without arguments.
  EXPECT_EQ(Eval("SORT$('b,a'+1)"), kErrTypeMismatch);
  EXPECT_EQ(Eval("SORT$('b,a';'x'*2)"), kErrTypeMismatch);
  EXPECT_EQ(FuncExtSet(kFnExtFirst, ProbeOk), 0);
  EXPECT_EQ(CallAs("X(1+'a')", kFnExtFirst), kErrTypeMismatch);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);
}

TEST_F(DispatchTest, SortIsReachedFromScripts) {
  EXPECT_EQ(Text("SORT$('b,c,a')"), "a,b,c");
  EXPECT_EQ(Text("SORT$('b,aa,c';128)"), "aa,b,c");
  EXPECT_EQ(Text("SORT$('b,aa,c';.5+129.6)"), "c,b,aa");  // rounded to 130
  EXPECT_EQ(Eval("SORT$()"), kErrSyntax);
  EXPECT_EQ(Eval("SORT$(5)"), kErrSyntax);

  ASSERT_EQ(Eval("h$=SORT$('NEW';3;3;1)"), 1);
  for (const char* it : {"dog", "ant", "cat"}) {
    ASSERT_EQ(Eval(std::string("h$=SORT$('ADD';h$;'") + it + "')"), 1) << it;
  }
  EXPECT_EQ(Text("SORT$('GET';h$)"), "ant");
  EXPECT_EQ(Text("SORT$('b,a')+SORT$('GET';h$)"), "a,bant");
  EXPECT_EQ(Eval("SORT$('KILL';h$)"), 1);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);
}

TEST_F(DispatchTest, ArgumentsComeOffTheTopWithTheirOwnType) {
  EXPECT_EQ(FuncExtSet(kFnExtFirst, ProbeTop), 0);
  EXPECT_EQ(CallAs("X(1.5,'ab',,'c')", kFnExtFirst), 0);
  // Last first, whatever number is asked for; the omitted one takes the
  // default with the default's type.
  EXPECT_EQ(g_seen, "c:1 ?:1 ab:1 1.5:0 ");
  EXPECT_EQ(CallAs("X()", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "");
}

TEST_F(DispatchTest, TypedReadsTakeDefaultsAndCheckTypes) {
  EXPECT_EQ(FuncExtSet(kFnExtFirst, ProbeTyped), 0);
  std::string r;
  EXPECT_EQ(CallAs("X()", kFnExtFirst, &r), 0);
  EXPECT_EQ(g_seen, "-1|d|7");
  EXPECT_EQ(CallAs("X(2.5,'z',-3.5)", kFnExtFirst, &r), 0);
  EXPECT_EQ(g_seen, "3|z|-4");  // half away from zero
  EXPECT_EQ(r, "z");
  // Left empty in the middle, and missing at the end.
  EXPECT_EQ(CallAs("X(4,,)", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "4|d|7");
  EXPECT_EQ(CallAs("X(,'q')", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "-1|q|7");
  // Kept to 16 bits.
  EXPECT_EQ(CallAs("X(65537)", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "1|d|7");
  // Wrong types and counts.
  EXPECT_EQ(CallAs("X(1,2)", kFnExtFirst), kErrTypeMismatch);
  EXPECT_EQ(CallAs("X('a')", kFnExtFirst), kErrTypeMismatch);
  EXPECT_EQ(CallAs("X(1,'a',3,4)", kFnExtFirst), kErrSyntax);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);
}

TEST_F(DispatchTest, AllArgumentsByType) {
  EXPECT_EQ(FuncExtSet(kFnExtFirst, ProbeAll), 0);
  EXPECT_EQ(CallAs("X('a',2,'c')", kFnExtFirst), 0);
  EXPECT_EQ(g_status, 0);
  EXPECT_EQ(g_seen, "-5/a 2/- -5/c ");
  EXPECT_EQ(CallAs("X(1,,3)", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "1/- 0/- 3/- ");
  EXPECT_EQ(CallAs("X(1)", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "1/- -5/- -5/- ");
  EXPECT_EQ(CallAs("X(1,2,3,4)", kFnExtFirst), 0);
  EXPECT_EQ(g_status, kErrSyntax);

  // Either array may be absent.
  const WorkMarkId m = WorkMark(kMarkQuery);
  ExprCursor out{};
  const FuncArgTypes types = FuncArgsCollect(ExprFirstToken(StrC("X('a',,'c')")), kFuncAllArgs, &out);
  StrSlice texts[3] = {};
  EXPECT_EQ(FuncArgsAll(types, nullptr, texts, 3), 0);
  EXPECT_EQ(S(texts[0]) + S(texts[1]) + S(texts[2]), "ac");
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);
  const FuncArgTypes mixed = FuncArgsCollect(ExprFirstToken(StrC("X(1,'b')")), kFuncAllArgs, &out);
  i16 nums[2] = {};
  EXPECT_EQ(FuncArgsAll(mixed, nums, nullptr, 2), kErrSyntax);
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);
  WorkMark(m);
}

TEST_F(DispatchTest, NestedCallsLeaveTheArgumentGroupAsTheyFoundIt) {
  EXPECT_EQ(FuncExtSet(kFnExtFirst, ProbeNested), 0);
  ASSERT_EQ(StorePush(kGroupFuncArgs, StrC("outer")), 0);
  EXPECT_EQ(CallAs("X('mine')", kFnExtFirst), 0);
  EXPECT_EQ(g_seen, "1 mine");
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 1);
  // A handler that reads more than its call holds gets defaults, never
  // the enclosing call's arguments.
  EXPECT_EQ(FuncExtSet(kFnExtFirst + 1, ProbeTwice), 0);
  EXPECT_EQ(CallAs("X('own')", kFnExtFirst + 1), 0);
  EXPECT_EQ(g_seen, "own ?");
  EXPECT_EQ(S(StoreTop(kGroupFuncArgs)), "outer");
  EXPECT_EQ(Eval("SORT$(SORT$('c,b')+',a';SORT$('x')*0)"), kErrTypeMismatch);
  EXPECT_EQ(Text("SORT$(SORT$('c,b')+',a')"), "a,b,c");
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 1);
  EXPECT_EQ(StoreTrim(kGroupFuncArgs, 0), 0);
}

TEST_F(DispatchTest, ExtensionNumbersOutsideTheSlotsAreErrors) {
  EXPECT_EQ(FuncExtSet(kFnExtFirst, ProbeOk), 0);
  std::string r;
  EXPECT_EQ(CallAs("X()", kFnExtFirst, &r), 0);
  EXPECT_EQ(ValNumber(StrMake(r.data(), static_cast<u32>(r.size()))), Num("42"));
  // Not the extension called last.
  EXPECT_EQ(CallAs("X()", kFnExtLast + 1), kErrSyntax);
  EXPECT_EQ(CallAs("X()", 0), kErrSyntax);
  EXPECT_EQ(CallAs("X()", kFnExtLast), kErrSyntax);  // empty slot
  EXPECT_EQ(FuncExtSet(kFnExtLast + 1, ProbeOk), kErrSyntax);
  EXPECT_EQ(FuncCallExt(kFnExtFirst - 1, StrC("")), kErrSyntax);
}

TEST_F(DispatchTest, TakeAndSkip) {
  ASSERT_EQ(StorePush(kGroupFuncArgs, StrMake("\x1B", 1)), 0);
  ASSERT_EQ(StorePush(kGroupFuncArgs, StrC("x")), 0);
  const WorkMarkId m = WorkMark(kMarkQuery);
  EXPECT_EQ(FuncArgTake(), 0);
  EXPECT_EQ(S(WorkTop()), "x");
  EXPECT_EQ(FuncArgTake(), 0);
  EXPECT_EQ(S(WorkTop()), "");
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);
  WorkMark(m);

  ExprCursor c = ExprCursorSet(ExprFirstToken(StrC("f(a+b*(1+2),c;d)")));
  c = ExprSkipToEnd(c);
  EXPECT_EQ(c.status, 0);
  c = ExprNextToken(c);
  EXPECT_EQ(std::string(c.text + c.start, c.operand_len), "c");
  WorkMark(m);
}
