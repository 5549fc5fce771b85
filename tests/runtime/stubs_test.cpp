#include "runtime/stubs.h"

#include "runtime/error.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

struct ReportCase {
  const char* name;
  u16 (*call)();
};

const ReportCase kReporting[] = {
    {"BufferFldPutExp", [] { return BufferFldPutExp(1, 2, L("x")); }},
    {"BufferKeySet", [] { return BufferKeySet(1, 0, L("key")); }},
    {"CgiCmdExec", [] { return CgiCmdExec(L("cmd"), L(""), 2); }},
    {"DataFileCounter", [] { return DataFileCounter(1, 0); }},
    {"DataFileDelete", [] { return DataFileDelete(1); }},
    {"DataFileFind", [] { return DataFileFind(1, 0, L("key")); }},
    {"DataFileInsert", [] { return DataFileInsert(1); }},
    {"DataFileMove", [] { return DataFileMove(1, 36); }},
    {"DataFileMoveExt", [] { return DataFileMoveExt(1, 16, L("key")); }},
    {"DataFileSelect", [] { return DataFileSelect(L("data.dat"), 1); }},
    {"DataFileRelUpdate", [] { return DataFileRelUpdate(1, 2, 3, 1, L("")); }},
};

}  // namespace

TEST_F(RuntimeTest, ReportingStubsNameThemselvesAndRecordNothing) {
  for (const ReportCase& c : kReporting) {
    ErrMsgAppend(0, L("an earlier detail"), false);
    EXPECT_EQ(c.call(), kErrFeatureRemoved) << c.name;
    EXPECT_EQ(S(ErrDetail()), c.name);
    EXPECT_EQ(ErrGet(), 0u) << c.name;
  }
}

TEST_F(RuntimeTest, ReportingStubLeavesTheRecordedErrorAlone) {
  ErrSet(kErrFirst, kWhereFileStream, kErrFileNotFound, kErrFileNotFound);
  const u32 before = ErrGet();
  EXPECT_EQ(DataFileFind(3, 1, L("k")), kErrFeatureRemoved);
  EXPECT_EQ(ErrGet(), before);
  EXPECT_EQ(S(ErrDetail()), "DataFileFind");
}

TEST_F(RuntimeTest, ConstantStubsAnswerEmpty) {
  for (u16 ch = 0; ch <= 255; ++ch) EXPECT_EQ(DataFileInfo(ch), nullptr) << ch;
  EXPECT_EQ(DataFileStubChannel(), 255);
  EXPECT_EQ(DataFileStubNone(7), kNotFound);
  const StrSlice texts[] = {BufferFldGet(1, 2), BufferFldGetOcc(1, 2, 3), BufferFldGetExp(1, 2),
                            DataFileRecordText(1, 2, L("k"), 0)};
  for (StrSlice t : texts) {
    EXPECT_NE(t.ptr, nullptr);
    EXPECT_EQ(t.len, 0);
  }
  const StrSlice in = L("kept");
  const StrSlice out = DataFileStubPass(in, 1, 2);
  EXPECT_EQ(out.ptr, in.ptr);
  EXPECT_EQ(out.len, in.len);
  EXPECT_EQ(ErrGet(), 0u);
}
