#include "script/sortlist.h"

#include <cstring>
#include <string>

#include "interp_fixture.h"
#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "script/valtable.h"
#include "script/variables.h"

using namespace vk;

namespace {

using SortTest = LibTest;

std::string Sorted(const char* text, u8 flags) { return S(SortListSortText(L(text), flags)); }

std::string Items(SortList* rec) {
  std::string out;
  for (u16 mv = SortListMove(kSortMoveFirst, rec); mv == 0; mv = SortListMove(kSortMoveNext, rec)) {
    out += "[" + S(SortListGet(kSortMoveNone, rec)) + "]";
  }
  return out;
}

// SORT$ arguments: texts as const char*, numbers as int, a handle as a
// std::string of its 24 bytes.
struct Call {
  SortArgs a{};
  std::string keep[kSortMaxArgs];
  Call& T(const std::string& s) {
    keep[a.count] = s;
    a.types[a.count] = 1;
    a.texts[a.count] = StrMake(keep[a.count].data(), static_cast<u32>(keep[a.count].size()));
    ++a.count;
    return *this;
  }
  Call& N(int v) {
    a.types[a.count] = 0;
    a.numbers[a.count] = static_cast<i16>(v);
    a.texts[a.count] = L("");
    ++a.count;
    return *this;
  }
  // Runs the handler; the result text in *out.
  u16 Run(std::string* out) {
    WorkMarkId m = WorkMark(kMarkQuery);
    u16 st = FnSort(a);
    *out = S(WorkTop());
    WorkMark(m);
    return st;
  }
};

std::string Handle(const SortList& r) { return std::string(reinterpret_cast<const char*>(&r), sizeof r); }

}  // namespace

TEST_F(SortTest, TextSortPadsToTheLongestItemAndHonoursItsFlags) {
  EXPECT_EQ(Sorted("b,aa,c", 0), "aa,b ,c ");
  EXPECT_EQ(Sorted("b,aa,c", kSortTrimItems), "aa,b,c");
  EXPECT_EQ(Sorted("b,aa,c", kSortDescending), "c ,b ,aa");
  EXPECT_EQ(Sorted("x,y,x", kSortUnique), "x,y");
  EXPECT_EQ(Sorted("", 0), "");
  // An empty item is blank-filled and sorts first; trimmed it disappears
  // together with its separator.
  EXPECT_EQ(Sorted("b,,a", 0), " ,a,b");
  EXPECT_EQ(Sorted("b,,a", kSortTrimItems), "a,b");
  EXPECT_EQ(Sorted(",,", 0), "");
}

TEST_F(SortTest, TextSortWithNulSeparatorAndQuotedItems) {
  const char text[] = "pear\0fig\0apple";
  StrSlice r = SortListSortText(StrMake(text, sizeof text - 1), kSortNulSep | kSortTrimItems);
  EXPECT_EQ(S(r), std::string("apple\0fig\0pear", 14));
  // Quoted items keep their quotes and count them in the width, so they
  // sort instead of emptying the result.
  EXPECT_EQ(Sorted("b,'a,c',a", kSortTrimItems), "'a,c',a,b");
}

TEST_F(SortTest, TextSortLeavesOneEntryAndNoListBehind) {
  WorkMarkId m = WorkMark(kMarkQuery);
  SortListSortText(L("c,b,a"), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), m + 1);
  WorkMark(m);
  // No block is left to keep the library from shutting down.
  EXPECT_EQ(VarShutdown(), 0);
}

TEST_F(SortTest, InsertKeepsOrderAndPlacesEqualKeysAfterTheFirstMatch) {
  SortList r = SortListNew(4, 1, 0);
  ASSERT_EQ(r.error, 0);
  EXPECT_EQ(r.width, 4);
  EXPECT_EQ(r.key_len, 1);
  for (const char* it : {"c1", "a1", "b1", "a2", "a3"}) ASSERT_EQ(SortListInsert(L(it), &r), 0);
  // a2 went right after a1, then a3 right after a1 again.
  EXPECT_EQ(Items(&r), "[a1  ][a3  ][a2  ][b1  ][c1  ]");
  EXPECT_EQ(SortListInsert(L("toolong"), &r), kErrData);
  EXPECT_EQ(r.count, 5);
  EXPECT_EQ(SortListFree(&r), 0);

  // Arguments in either order: the smaller is the key length.
  SortList d = SortListNew(1, 3, kSortDescending | kSortUnique);
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(d.key_len, 1);
  EXPECT_EQ(SortListInsert(L("a"), &d), 0);
  EXPECT_EQ(SortListInsert(L("c"), &d), 0);
  EXPECT_EQ(SortListInsert(L("ab"), &d), kSortDuplicate);
  EXPECT_EQ(Items(&d), "[c  ][a  ]");
  EXPECT_EQ(SortListFree(&d), 0);
}

TEST_F(SortTest, KeyLengthZeroComparesEverythingEqual) {
  SortList r = SortListNew(2, 0, 0);
  for (const char* it : {"z", "a", "m"}) ASSERT_EQ(SortListInsert(L(it), &r), 0);
  EXPECT_EQ(Items(&r), "[z ][m ][a ]");
  EXPECT_EQ(SortListFree(&r), 0);

  SortList u = SortListNew(2, 0, kSortUnique);
  EXPECT_EQ(SortListInsert(L("z"), &u), 0);
  EXPECT_EQ(SortListInsert(L("a"), &u), kSortDuplicate);
  EXPECT_EQ(u.count, 1);
  EXPECT_EQ(SortListFree(&u), 0);
}

TEST_F(SortTest, CursorMovesAndOutsideStatus) {
  SortList r = SortListNew(1, 1, 0);
  EXPECT_EQ(S(SortListGet(kSortMoveNone, &r)), "");  // empty list
  EXPECT_EQ(SortListMove(kSortMoveNext, &r), kSortOutside);
  EXPECT_EQ(r.cursor, 0);
  for (const char* it : {"a", "b", "c"}) EXPECT_EQ(SortListInsert(L(it), &r), 0);
  EXPECT_EQ(S(SortListGet(kSortMoveLast, &r)), "c");
  EXPECT_EQ(SortListMove(kSortMoveNext, &r), kSortOutside);
  EXPECT_EQ(r.cursor, 2);
  EXPECT_EQ(S(SortListGet(kSortMoveFirst, &r)), "a");
  EXPECT_EQ(SortListMove(kSortMovePrev, &r), kSortOutside);
  EXPECT_EQ(r.cursor, 2);  // back from the first lands on the last
  EXPECT_EQ(S(SortListGet(kSortMovePrev, &r)), "b");
  // Only the bits 0x34 count; other codes leave the cursor alone.
  EXPECT_EQ(SortListMove(0x10 | 0x01, &r), 0);
  EXPECT_EQ(r.cursor, 2);
  EXPECT_EQ(SortListMove(0xFF, &r), 0);
  EXPECT_EQ(r.cursor, 2);
  EXPECT_EQ(SortListFree(&r), 0);
}

TEST_F(SortTest, GrowsPastTheFirstBlockAndRefusesPast65535Bytes) {
  SortList r = SortListNew(2, 2, 0);
  EXPECT_EQ(r.capacity, 512);
  char item[2];
  for (int i = 299; i >= 0; --i) {
    item[0] = static_cast<char>('A' + i / 26 % 26);
    item[1] = static_cast<char>('a' + i % 26);
    ASSERT_EQ(SortListInsert(StrMake(item, 2), &r), 0) << i;
  }
  EXPECT_EQ(r.count, 300);
  EXPECT_GE(r.capacity, 600);
  EXPECT_EQ(S(SortListGet(kSortMoveFirst, &r)), "Aa");
  EXPECT_EQ(S(SortListGet(kSortMoveLast, &r)), "Ln");
  EXPECT_EQ(SortListFree(&r), 0);

  // 300-byte items: 218 fit in 65535 bytes, the 219th is refused and the
  // list stays intact.
  SortList w = SortListNew(300, 1, 0);
  ASSERT_EQ(w.error, 0);
  EXPECT_EQ(w.capacity, 65535);
  for (int i = 0; i < 218; ++i) ASSERT_EQ(SortListInsert(L("x"), &w), 0) << i;
  EXPECT_EQ(SortListInsert(L("y"), &w), kErrStringTooLong);
  EXPECT_EQ(w.count, 218);
  EXPECT_EQ(S(SortListGet(kSortMoveLast, &w)).size(), 300u);
  EXPECT_EQ(SortListFree(&w), 0);

  // The text sort refuses a result list that would not fit.
  std::string big(300, 'q');
  std::string text;
  for (int i = 0; i < 220; ++i) text += (i ? "," : "") + std::string(i == 0 ? big : "a");
  EXPECT_EQ(StrError(SortListSortText(StrMake(text.data(), static_cast<u32>(text.size())), kSortTrimItems)),
            kErrStringTooLong);
}

TEST_F(SortTest, StaleForgedAndKilledHandlesAreRefused) {
  SortList r = SortListNew(3, 3, 0);
  SortList before = r;
  ASSERT_EQ(SortListInsert(L("b"), &r), 0);
  EXPECT_EQ(SortListInsert(L("a"), &before), kErrSyntax);  // taken before the ADD
  SortList forged = r;
  forged.count = 50;
  EXPECT_EQ(SortListMove(kSortMoveLast, &forged), kErrSyntax);
  EXPECT_EQ(StrError(SortListGet(kSortMoveNone, &forged)), kErrSyntax);
  SortList zero{};
  EXPECT_EQ(SortListFree(&zero), kErrSyntax);
  SortList copy = r;
  EXPECT_EQ(SortListFree(&r), 0);
  EXPECT_EQ(SortListFree(&copy), kErrSyntax);
  EXPECT_EQ(SortListInsert(L("c"), &copy), kErrSyntax);
  // A new list in the same slot does not revive the old handle.
  SortList again = SortListNew(3, 3, 0);
  EXPECT_EQ(again.slot, copy.slot);
  EXPECT_EQ(SortListMove(kSortMoveFirst, &copy), kErrSyntax);
  EXPECT_EQ(SortListFree(&again), 0);
}

TEST_F(SortTest, FreeAllReleasesForShutdown) {
  SortList a = SortListNew(4, 4, 0);
  SortList b = SortListNew(8, 4, 0);
  EXPECT_EQ(SortListInsert(L("x"), &b), 0);
  EXPECT_EQ(SortListFreeAll(), 0);
  EXPECT_EQ(SortListFree(&a), kErrSyntax);
  EXPECT_EQ(VarShutdown(), 0);
}

TEST_F(SortTest, ScriptCallsDriveAWholeList) {
  std::string h, out;
  ASSERT_EQ(Call().T("NEW").N(3).N(3).N(kSortUnique).Run(&h), 0);
  ASSERT_EQ(h.size(), 24u);
  for (const char* it : {"dog", "ant", "cat"}) {
    ASSERT_EQ(Call().T("ADD").T(h).T(it).Run(&out), 0);
    h = out;
  }
  // A refused duplicate answers 5 with the handle unchanged, still usable.
  EXPECT_EQ(Call().T("ADD").T(h).T("cat").Run(&out), kSortDuplicate);
  EXPECT_EQ(out, h);
  EXPECT_EQ(Call().T("ADD").T(h).T("mouse").Run(&out), kErrData);
  EXPECT_EQ(out, h);

  EXPECT_EQ(Call().T("GET").T(h).Run(&out), 0);
  EXPECT_EQ(out, "ant");
  // MOVE words (and plain move codes) with the status in _IER.
  std::string m;
  EXPECT_EQ(Call().T("MOVE").T(h).T("bot").Run(&m), 0);
  EXPECT_EQ(SysVarGet(kSysIer), 0);
  Call().T("GET").T(m).Run(&out);
  EXPECT_EQ(out, "dog");
  EXPECT_EQ(Call().T("MOVE").T(m).T("NXT").Run(&m), 0);
  EXPECT_EQ(SysVarGet(kSysIer), kSortOutside);
  EXPECT_EQ(Call().T("MOVE").T(m).T("PRV").Run(&m), 0);
  Call().T("GET").T(m).Run(&out);
  EXPECT_EQ(out, "cat");
  EXPECT_EQ(Call().T("MOVE").T(m).N(kSortMoveFirst).Run(&m), 0);
  Call().T("GET").T(m).Run(&out);
  EXPECT_EQ(out, "ant");

  EXPECT_EQ(Call().T("KILL").T(h).Run(&out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Call().T("GET").T(m).Run(&out), kErrSyntax);
}

TEST_F(SortTest, ScriptCallArgumentChecks) {
  std::string out;
  EXPECT_EQ(Call().T("b,a").Run(&out), 0);
  EXPECT_EQ(out, "a,b");
  EXPECT_EQ(Call().T("b,aa").N(kSortDescending | kSortTrimItems).Run(&out), 0);
  EXPECT_EQ(out, "b,aa");
  EXPECT_EQ(Call().Run(&out), kErrSyntax);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Call().T("b,a").N(0).N(0).Run(&out), kErrSyntax);
  EXPECT_EQ(Call().N(5).Run(&out), kErrSyntax);
  EXPECT_EQ(Call().T("NEW").Run(&out), kErrSyntax);
  EXPECT_EQ(Call().T("GET").T("short handle").Run(&out), kErrSyntax);
  EXPECT_EQ(Call().T("GET").T(std::string(24, 'x')).Run(&out), kErrSyntax);
  EXPECT_EQ(Call().T("ADD").T(std::string(24, '\0')).Run(&out), kErrSyntax);

  std::string h;
  ASSERT_EQ(Call().T("NEW").N(2).Run(&h), 0);
  EXPECT_EQ(Call().T("ADD").T(h).N(7).Run(&out), kErrSyntax);
  EXPECT_EQ(Call().T("GET").T(h).Run(&out), 0);  // empty list
  EXPECT_EQ(out, "");
  EXPECT_EQ(Call().T("KILL").T(h).Run(&out), 0);
  SortList none{};
  EXPECT_EQ(Call().T("KILL").T(Handle(none)).Run(&out), kErrSyntax);
}
