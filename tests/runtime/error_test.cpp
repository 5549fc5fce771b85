#include "runtime/error.h"

#include <string>

#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

using ErrorTest = RuntimeTest;

TEST_F(ErrorTest, FirstSeriousErrorStaysUntilAForcedRecord) {
  // Warnings, codes below 128 and kind 0 record nothing.
  EXPECT_EQ(ErrSet(kErrFirst, kWhereReplace, kWarnNoData, kWarnNoData), kWarnNoData);
  EXPECT_EQ(ErrSet(kErrFirst, kWhereReplace, 5, 5), 5);
  EXPECT_EQ(ErrSet(kErrKeep, kWhereReplace, kErrData, 77), 0);
  EXPECT_EQ(S(ErrSlice(kErrKeep, kWhereNone, kErrData, L("t"))), "t");
  EXPECT_EQ(ErrGet(), 0u);

  EXPECT_EQ(ErrSet(kErrFirst, kWhereFileStream, kErrFileNotFound, 0xFFFF), 0xFFFF);
  EXPECT_EQ(ErrGet(), 164u + 17u * 65536u);
  EXPECT_EQ(ErrSet(kErrFirst, kWhereVarAssign, kErrStrOutBound, kErrStrOutBound), kErrStrOutBound);
  EXPECT_EQ(StrError(ErrSlice(kErrFirst, kWhereFormat, kErrStringTooLong, L("t"))), kErrStringTooLong);
  EXPECT_EQ(ErrGet(), 164u + 17u * 65536u);

  EXPECT_EQ(ErrSet(kErrForce, kWhereVarAssign, kErrStrOutBound, kErrStrOutBound), kErrStrOutBound);
  EXPECT_EQ(ErrGet(), 159u + 2u * 65536u);
  // A forced record takes any code, a negative module number included.
  ErrSet(kErrForce, -1, kWarnNoData, 0);
  EXPECT_EQ(ErrGet(), 127u + 0xFFFFu * 65536u);
}

TEST_F(ErrorTest, EveryCodeFrom122To185HasItsOwnName) {
  EXPECT_EQ(S(ErrCodeName(122)), "Cancelado por el usuario");
  EXPECT_EQ(S(ErrCodeName(132)), "Ejecuci\xF3" "n de Procedimiento");
  EXPECT_EQ(S(ErrCodeName(145)), "OUTOFMEMORY");
  EXPECT_EQ(S(ErrCodeName(185)), "Soporte Grafico Insuficiente");
  std::string previous;
  for (u16 code = 122; code <= 185; ++code) {
    const std::string name = S(ErrCodeName(code));
    EXPECT_FALSE(name.empty()) << code;
    EXPECT_NE(name, "Indefinido") << code;
    EXPECT_EQ(name.find(','), std::string::npos) << code;
    EXPECT_NE(name, previous) << code;
    previous = name;
  }
  for (u16 code : {u16{0}, u16{1}, u16{121}, u16{186}, u16{0xFFFF}}) EXPECT_EQ(S(ErrCodeName(code)), "Indefinido") << code;
}

TEST_F(ErrorTest, DetailIsSetAndAppendedLineByLine) {
  EXPECT_EQ(S(ErrDetail()), "");
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(ErrMsgAppend(kErrFileNotFound, L("first"), true), kErrFileNotFound);
  EXPECT_EQ(S(ErrDetail()), "first");
  ErrMsgAppend(0, L("second"), true);
  EXPECT_EQ(S(ErrDetail()), "first\r\nsecond");
  ErrMsgAppend(0, L(""), true);
  EXPECT_EQ(S(ErrDetail()), "first\r\nsecond");
  ErrMsgAppend(0, L("new"), false);
  EXPECT_EQ(S(ErrDetail()), "new");
  // A detail may be set from itself.
  ErrMsgAppend(0, ErrDetail(), true);
  EXPECT_EQ(S(ErrDetail()), "new\r\nnew");
  ErrMsgAppend(0, StrErrorSlice(kErrData), false);
  EXPECT_EQ(S(ErrDetail()), "");
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(ErrGet(), 0u);
}

TEST_F(ErrorTest, LongDetailIsCutBackToItsOldestLinesBeforeAppending) {
  std::string detail(1500, 'x');
  detail[800] = '\r';
  detail[1200] = '\r';
  ErrMsgAppend(0, L(detail.c_str()), false);
  ErrMsgAppend(0, L("tail"), true);
  EXPECT_EQ(S(ErrDetail()), std::string(800, 'x') + "\r\ntail");

  // Exactly 1024 bytes are kept whole.
  const std::string limit(1024, 'y');
  ErrMsgAppend(0, L(limit.c_str()), false);
  ErrMsgAppend(0, L("z"), true);
  EXPECT_EQ(S(ErrDetail()), limit + "\r\nz");

  const std::string no_cr(1500, 'x');
  ErrMsgAppend(0, L(no_cr.c_str()), false);
  ErrMsgAppend(0, L("only"), true);
  EXPECT_EQ(S(ErrDetail()), "only");
}

using ErrorStoreTest = MemManualStartTest;

// A store too small for the detail fails quietly and leaves the error
// record free for the error the caller reports next.
TEST_F(ErrorStoreTest, FullStoreNeitherFailsNorRecords) {
  StoreSetLayout(kStoreGroups, kStoreEntries, 2 * (kStoreGroups + kStoreEntries) + 64);
  ASSERT_EQ(MemInit(), 0);
  const std::string big(200, 'b');
  EXPECT_EQ(ErrMsgAppend(kErrFileNotFound, L(big.c_str()), false), kErrFileNotFound);
  EXPECT_EQ(S(ErrDetail()), "");
  EXPECT_EQ(ErrGet(), 0u);
  ErrSet(kErrFirst, kWhereFileStream, kErrFileNotFound, kErrFileNotFound);
  EXPECT_EQ(ErrGet(), 164u + 17u * 65536u);
}

}  // namespace
