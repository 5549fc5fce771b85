#include "script/variables.h"

#include <cstring>
#include <string>

#include "interp_fixture.h"
#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "script/eval.h"
#include "script/valtable.h"

using namespace vk;

namespace {

using VarTest = LibTest;

// An 8-byte interpreter number (raw, scaled by 10^_PRECIS) as a value.
struct Num {
  char b[8];
  explicit Num(i64 raw) { std::memcpy(b, &raw, 8); }
  operator StrSlice() const { return StrSlice{b, 8}; }
};

i64 TopNum() {
  const StrSlice t = WorkTop();
  EXPECT_EQ(t.len, 8);
  i64 v = 0;
  if (t.len == 8) std::memcpy(&v, t.ptr, 8);
  return v;
}

// The value a name reads as: a number's raw value as text, or the text.
std::string Read(const char* name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  std::string r = "<fail>";
  if (VarValuePush(L(name)) == 0) r = S(WorkTop());
  WorkMark(m);
  return r;
}

i64 ReadNum(const char* name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  EXPECT_EQ(VarValuePush(L(name)), 0) << name;
  const i64 v = TopNum();
  WorkMark(m);
  return v;
}

u16 Assign(const char* name, StrSlice value) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16 rc = VarAssign(L(name), value);
  WorkMark(m);
  return rc;
}

// Pushes an argument onto the argument group, as the argument collector does.
void PushArg(StrSlice v) { ASSERT_EQ(StorePush(kGroupFuncArgs, v), 0); }

}  // namespace

TEST(VarKinds, NameCharactersDecideTheKind) {
  struct Case {
    const char* name;
    u16 kind;
    u16 elem;
  } cases[] = {
      {"A", kVarInt, kVarNone},     {"NAME$", kVarText, kVarInt},  {"TOTAL#", kVarNum, kVarInt},
      {"V(", kVarArray, kVarInt},   {"L$(", kVarArray, kVarText},  {"S#(", kVarArray, kVarNum},
      {"B#$", kVarText, kVarNum},   {"X@Y$", kVarNone, kVarNone},  {"", kVarNone, kVarNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(VarTypeOf(L(c.name)), c.kind) << c.name;
    EXPECT_EQ(VarElemTypeOf(L(c.name)), c.elem) << c.name;
  }
}

TEST_F(VarTest, SystemVariablesHaveTheirDefaultsAndNumbers) {
  const char* names[kSysVarCount] = {
      "_AUXSTAT", "_RELRES", "_CURFIL", "_CUREDFLD", "_DEVHIG", "_DEVWID", "_DEVLIN", "_DEVPOS", "_DEVPAG",
      "_CURROW", "_STAT", "_LASTKEY", "_SGN", "_UPSTAT", "_IER", "_SYSCOMPAT", "_SQLSTK", "_COUNT",
      "_HCOUNT", "_ADMSTAT", "_COMPAT", "_SCRSTAT", "_LMAX", "_LNUM", "_LLST", "_HNUM", "_SAFE", "_LB",
      "_AUX", "_KEYMAP", "_SERIAL", "_TRACE", "_PRECIS", "_BYEAR", "_BKYEAR", "_DX", "_INHND",
      "_OUTHND", "_DATE", "_DOCST", "_WMAXROW", "_USER01", "_USER02", "_USER03"};
  const i16 expected[kSysVarCount] = {0, 0, 0, 0, 24, 80, 0, 0, 0, 0, 0, 4, 0, 1, 0, 0, 0, 0,
                                     0, 0, 0, 0, 0, 0, 0, 0, 0, 128, 0, 0, 0, 1, 2, 2000, 80};
  for (u16 n = 0; n < kSysVarCount; ++n) {
    EXPECT_EQ(VarLookup(L(names[n])).number, n) << names[n];
    EXPECT_EQ(SysVarGet(n), expected[n]) << names[n];
    EXPECT_EQ(ReadNum(names[n]), expected[n] * 100) << names[n];  // read as a scaled number
  }
  const char* texts[kStrSysVarCount] = {"_ACUM$", "_ACUMX$", "_LTEXT$"};
  for (u16 n = 0; n < kStrSysVarCount; ++n) {
    EXPECT_EQ(VarLookup(L(texts[n])).number, n);
    EXPECT_EQ(Read(texts[n]), "");
  }
  EXPECT_EQ(StoreCount(kGroupStrVars), kStrSysVarCount);
  // Numbers go on in creation order.
  ASSERT_EQ(Assign("A", Num(100)), 0);
  EXPECT_EQ(VarLookup(L("A")).number, 44);
  ASSERT_EQ(Assign("T$", L("x")), 0);
  EXPECT_EQ(VarLookup(L("T$")).number, 3);
  ASSERT_EQ(Assign("N#", Num(1)), 0);
  EXPECT_EQ(VarLookup(L("N#")).number, 0);
}

TEST_F(VarTest, EachKindStoresItsValueAndIntegersRound) {
  ASSERT_EQ(VarAssign(L("NAME$"), L("Ana")), 0);
  EXPECT_EQ(S(WorkTop()), "Ana");  // the assigned value stays on top
  ASSERT_EQ(Assign("TOTAL#", Num(123456789012)), 0);
  EXPECT_EQ(Read("NAME$"), "Ana");
  EXPECT_EQ(ReadNum("TOTAL#"), 123456789012);
  EXPECT_EQ(VarLookup(L("name$")).number, kNotFound);  // names are exact

  const struct { const char* name; i64 raw; i16 stored; } ints[] = {
      {"A", 250, 3}, {"B", -250, -3}, {"C", 249, 2}, {"D", 7000000, 4464}, {"E", INT64_MIN, -18350}};
  for (const auto& c : ints) {
    ASSERT_EQ(Assign(c.name, Num(c.raw)), 0) << c.name;
    EXPECT_EQ(SysVarGet(VarLookup(L(c.name)).number), c.stored) << c.name;
  }
  EXPECT_EQ(ReadNum("A"), 300);
  // Setting _PRECIS changes the scale of every later value.
  ASSERT_EQ(Assign("_PRECIS", Num(300)), 0);
  EXPECT_EQ(SysVarGet(kSysPrecis), 3);
  EXPECT_EQ(ReadNum("A"), 3000);
}

TEST_F(VarTest, UnassignedNamesAndDotConstants) {
  const std::string names_before = S(StoreGet(kGroupVarNames, kListTexts));
  EXPECT_EQ(Read("X$"), "");
  EXPECT_EQ(ReadNum("N"), 0);
  EXPECT_EQ(VarLookup(L("X$")).number, kNotFound);
  EXPECT_EQ(VarLookup(L("N")).number, kNotFound);
  EXPECT_EQ(S(StoreGet(kGroupVarNames, kListTexts)), names_before);
  EXPECT_EQ(StoreCount(kGroupStrVars), kStrSysVarCount);

  EXPECT_EQ(Read(".tab$"), "\t");
  EXPECT_EQ(Read(".lf$"), "\r\n");
  EXPECT_EQ(Read(".pchr$"), "\\");
  EXPECT_EQ(Read(".null$"), "");
  // Any other dotted text name is an ordinary variable.
  ASSERT_EQ(Assign(".abc$", L("v")), 0);
  EXPECT_EQ(Read(".abc$"), "v");
}

// Nothing stores into a dot constant: assigning one changes nothing, is no
// error, and the statements after it run.
TEST_F(VarTest, AssigningADotConstantChangesNothingAndTheScriptGoesOn) {
  const struct {
    const char* expr;
    const char* text;  // the text the whole expression leaves
  } cases[] = {
      {".tab$='x';'<'+.tab$+'>'", "<\t>"},
      {".lf$='';.pchr$='/';.null$='n';.lf$+.pchr$+.null$", "\r\n\\"},
      {".null$='kept as the value'", "kept as the value"},
      {"A$=.tab$='y';A$+.tab$", "y\t"},
      {".abc$='v';.abc$", "v"},
  };
  for (const auto& c : cases) {
    const WorkMarkId m = WorkMark(kMarkQuery);
    EXPECT_EQ(ExprEval(L(c.expr)), 1) << c.expr;
    EXPECT_EQ(S(WorkTop()), c.text) << c.expr;
    WorkMark(m);
    EXPECT_EQ(ErrGet(), 0u) << c.expr;
  }
  EXPECT_EQ(VarLookup(L(".tab$")).number, kNotFound);
}

TEST_F(VarTest, FailedAssignmentsAreRecordedAndKeepTheOldValue) {
  EXPECT_EQ(Assign("A@B", Num(1)), kErrSyntax);
  EXPECT_EQ(ErrGet(), u32{kErrSyntax} | (u32{kWhereInterpAssign} << 16));
  EXPECT_EQ(VarLookup(L("A@B")).number, kNotFound);
  EXPECT_EQ(VarValuePush(L("A@B")), kErrSyntax);

  ASSERT_EQ(Assign("T#", Num(5)), 0);
  ASSERT_EQ(Assign("I", Num(500)), 0);
  // A text is not a number: nothing is read past its end.
  EXPECT_EQ(Assign("T#", L("ab")), kErrTypeMismatch);
  EXPECT_EQ(Assign("I", L("")), kErrTypeMismatch);
  EXPECT_EQ(ReadNum("T#"), 5);
  EXPECT_EQ(ReadNum("I"), 500);
  // A name that would break the name list cannot be created.
  EXPECT_EQ(Assign("a,b", Num(1)), kErrVarName);
  EXPECT_EQ(VarLookup(L("a")).number, kNotFound);
}

TEST_F(VarTest, TextVariableBeyondTheGroupIsStored) {
  // Numbers and entries drift apart when an entry is removed behind the
  // variables' back; the text must still be stored under its number.
  ASSERT_EQ(Assign("P$", L("p")), 0);
  ASSERT_EQ(StoreDelete(kGroupStrVars, 3), 0);
  ASSERT_EQ(Assign("Q$", L("q")), 0);  // number 4, group holds 3 entries
  EXPECT_EQ(VarLookup(L("Q$")).number, 4);
  EXPECT_EQ(Read("Q$"), "q");
  EXPECT_EQ(S(StrVarSet(9, L("nine"))), "nine");
  EXPECT_EQ(StoreCount(kGroupStrVars), 10);
  EXPECT_EQ(S(StrVarGet(7)), "");
}

using VarStoreFull = LibManualStartTest;

TEST_F(VarStoreFull, TextThatDoesNotFitFailsWith159) {
  StoreSetLayout(kStoreGroups, 256, 4096);  // about 3500 bytes of texts
  ASSERT_EQ(SysVarInit(), 0);
  ASSERT_EQ(Assign("S$", L("keep")), 0);
  const std::string big(3400, 'x');
  EXPECT_EQ(Assign("S$", StrSlice{big.data(), static_cast<u16>(big.size())}), kErrStrOutBound);
  EXPECT_TRUE(Read("S$") == "keep");
  EXPECT_EQ(StrError(StrVarSet(5, StrSlice{big.data(), static_cast<u16>(big.size())})), kErrStrOutBound);
  EXPECT_EQ(StoreCount(kGroupStrVars), 4);
}

TEST_F(VarTest, ArraysOfUpToFourDimensionsWithTheirBounds) {
  const u16 b2[] = {2, 3};
  ASSERT_EQ(VarArrayDeclare(L("M("), 2, b2), 0);
  const VarRef m = VarLookup(L("M("));
  EXPECT_EQ(m.type, VarTypeWord(kVarArray, kListArrays));
  const ArrayDesc* d = VarArrayDesc(m.number);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->kind, kVarInt);
  EXPECT_EQ(d->size, 2);
  EXPECT_EQ(d->dims, 2);
  EXPECT_EQ(d->extent[0], 3);
  EXPECT_EQ(d->extent[1], 4);
  EXPECT_EQ(d->count, 12);

  const char* base = reinterpret_cast<const char*>(d->buf.data);
  const u16 at12[] = {1, 2}, at011[] = {0, 11}, at30[] = {3, 0}, neg[] = {1, 0xFFFF};
  EXPECT_EQ(VarArrayElem(m.type, m.number, 2, at12).ptr, base + 6 * 2);
  EXPECT_EQ(VarArrayElem(m.type, m.number, 2, at011).ptr, base + 11 * 2);
  EXPECT_EQ(StrError(VarArrayElem(m.type, m.number, 2, at30)), kErrDataOutBound);
  // A negative index never wraps into another element.
  EXPECT_EQ(StrError(VarArrayElem(m.type, m.number, 2, neg)), kErrDataOutBound);

  const u16 b4[] = {1, 2, 3, 4};
  ASSERT_EQ(VarArrayDeclare(L("Q#("), 4, b4), 0);
  EXPECT_EQ(VarArrayDesc(VarLookup(L("Q#(")).number)->count, 2 * 3 * 4 * 5);
  ASSERT_EQ(VarArraySetAt(L("Q#("), Num(-77), 4, b4), 0);
  EXPECT_EQ(VarArrayGetAt(L("Q#("), 4, b4), 0);
  EXPECT_EQ(TopNum(), -77);

  const u16 b5[] = {1, 1, 1, 1, 1}, one[] = {0}, huge[] = {255, 255}, big[] = {8191};
  EXPECT_EQ(VarArrayDeclare(L("F("), 5, b5), kErrSyntax);
  EXPECT_EQ(VarArrayDeclare(L("G("), 1, one), kErrSyntax);
  EXPECT_EQ(VarArrayDeclare(L("H("), 2, huge), kErrStringTooLong);  // 65536 elements
  EXPECT_EQ(VarArrayDeclare(L("W#("), 1, big), kErrStringTooLong);  // 65536 bytes
  EXPECT_EQ(VarArrayDeclare(L("M("), 2, b2), kErrVarName);
  // Reading an undeclared array declares it with the indices as bounds.
  const u16 idx[] = {4, 1};
  ASSERT_EQ(VarArrayGetAt(L("R("), 2, idx), 0);
  EXPECT_EQ(TopNum(), 0);
  EXPECT_EQ(VarArrayDesc(VarLookup(L("R(")).number)->count, 10);
}

TEST_F(VarTest, ArrayElementTruncatesWhereAVariableRounds) {
  const u16 b[] = {3};
  ASSERT_EQ(VarArrayDeclare(L("V("), 1, b), 0);
  const u16 i1[] = {1}, i2[] = {2};
  ASSERT_EQ(VarArraySetAt(L("V("), Num(250), 1, i1), 0);
  EXPECT_EQ(TopNum(), 250);  // the assigned value is the result
  ASSERT_EQ(VarArraySetAt(L("V("), Num(-299), 1, i2), 0);
  ASSERT_EQ(Assign("A", Num(250)), 0);
  EXPECT_EQ(VarArrayGetAt(L("V("), 1, i1), 0);
  EXPECT_EQ(TopNum(), 200);
  EXPECT_EQ(VarArrayGetAt(L("V("), 1, i2), 0);
  EXPECT_EQ(TopNum(), -200);
  EXPECT_EQ(ReadNum("A"), 300);
  EXPECT_EQ(VarArraySetAt(L("NONE("), Num(1), 1, i1), kErrDimStruct);
  const u16 out[] = {4};
  EXPECT_EQ(VarArraySetAt(L("V("), Num(1), 1, out), kErrDataOutBound);
}

TEST_F(VarTest, TextArrayElementsKeepTheirWidth) {
  PushArg(L("hello"));  // the first element, taken off the argument group
  const u16 b[] = {0, 2};
  ASSERT_EQ(VarArrayDeclare(L("L$("), 2, b), 0);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 0);
  const u16 e1[] = {0, 1}, e2[] = {0, 2};
  ASSERT_EQ(VarArraySetAt(L("L$("), L("ab"), 2, e1), 0);
  ASSERT_EQ(VarArraySetAt(L("L$("), L("toolongtext"), 2, e2), 0);
  EXPECT_EQ(VarArrayGetAt(L("L$("), 2, e1), 0);
  EXPECT_EQ(S(WorkTop()), "abllo");
  EXPECT_EQ(VarArrayGetAt(L("L$("), 2, e2), 0);
  EXPECT_EQ(S(WorkTop()), "toolo");
  // Without an initial text there is no element size.
  EXPECT_EQ(VarArrayDeclare(L("Z$("), 2, b), kErrSyntax);
}

TEST_F(VarTest, BuiltinNamesOnTheLeftBecomeArrays) {
  EXPECT_FALSE(VarDeclare(L("FOO(")));
  EXPECT_TRUE(VarDeclare(L("FN$TRIM(")));
  EXPECT_TRUE(VarDeclare(L("fn$trim(")));
  EXPECT_EQ(VarLookup(L("_#(")).number, kNotFound);
  // _#(5) = 7 on a fresh start.
  ASSERT_TRUE(VarDeclare(L("_#(")));
  const u16 i5[] = {5};
  ASSERT_EQ(VarArraySetAt(L("_#("), Num(700), 1, i5), 0);
  const ArrayDesc* d = VarArrayDesc(VarLookup(L("_#(")).number);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->count, 257);
  EXPECT_EQ(d->kind, kVarNum);
  EXPECT_EQ(VarArrayGetAt(L("_#("), 1, i5), 0);
  EXPECT_EQ(TopNum(), 700);
  // Other built-ins have no array to store into.
  EXPECT_EQ(VarArraySetAt(L("FN$TRIM("), Num(1), 1, i5), kErrDimStruct);

  EXPECT_EQ(VarArrayFill(L("NONE("), Num(0), 0, kNotFound), kErrDataOutBound);
}

TEST_F(VarTest, IndexArgumentsComeOffTheArgumentGroup) {
  // Indices round like integers; a text stops the taking, and it and every
  // index before it are 0.
  PushArg(Num(700));
  PushArg(L("t"));
  PushArg(Num(850));
  u16 idx[kArrayMaxDims];
  const u16 mixed[] = {0, 1, 0};
  EXPECT_EQ(VarIndexTake(StrSlice{reinterpret_cast<const char*>(mixed), 6}, idx), 3);
  EXPECT_EQ(idx[0], 0);
  EXPECT_EQ(idx[1], 0);
  EXPECT_EQ(idx[2], 9);
  EXPECT_EQ(StoreCount(kGroupFuncArgs), 2);
  ASSERT_EQ(StorePop(kGroupFuncArgs), 0);
  EXPECT_EQ(EvalPopInt(), 7);
  EXPECT_EQ(EvalPopInt(), -1);  // the group is empty
}

using VarLifecycle = LibManualStartTest;

TEST_F(VarLifecycle, StartAndShutDownWithVariablesAndArraysInUse) {
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(SysVarInit(), 0);
    EXPECT_EQ(VarLookup(L("A")).number, kNotFound) << "nothing survives a restart";
    ASSERT_EQ(Assign("A", Num(100)), 0);
    ASSERT_EQ(Assign("T$", L("text")), 0);
    ASSERT_EQ(Assign("N#", Num(5)), 0);
    const u16 b[] = {9, 9};
    ASSERT_EQ(VarArrayDeclare(L("M("), 2, b), 0);
    ASSERT_EQ(VarArrayDeclare(L("D#("), 2, b), 0);
    PushArg(L("abc"));
    ASSERT_EQ(VarArrayDeclare(L("X$("), 2, b), 0);
    ASSERT_TRUE(VarDeclare(L("_#(")));
    EXPECT_EQ(SysVarInit(), kWarnUndefined);  // already running
    EXPECT_EQ(VarShutdown(), 0);
    EXPECT_FALSE(MemIsInit());
  }
}
