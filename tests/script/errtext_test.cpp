#include "script/errtext.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/scratch.h"
#include "runtime/stubs.h"
#include "runtime/uibackend.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

// The last message box shown through the test backend.
struct BoxSeen {
  int count;
  std::string text, caption;
  u16 type;
} g_box;

std::string Narrow(const u16* w) {
  std::string s;
  for (; w && *w; ++w) s += static_cast<char>(*w);
  return s;
}
u16 RecordBox(UiWindow, const u16* text, const u16* caption, u16 type) {
  g_box = BoxSeen{g_box.count + 1, Narrow(text), Narrow(caption), type};
  return kUiAnswerOk;
}
// In a process that an assertion ends, the box reports itself on standard
// error, with whether the log entry had been written yet.
u16 ReportBox(UiWindow owner, const u16* text, const u16* caption, u16 type) {
  std::fprintf(stderr, "box owner=%u type=%02x [%s] [%s] log %s\n", owner, type, Narrow(caption).c_str(),
               Narrow(text).c_str(), std::filesystem::exists("assertions.log") ? "before" : "after");
  return kUiAnswerOk;
}

struct ErrTextTest : RuntimeTest {
  void SetUp() override {
    RuntimeTest::SetUp();
    g_box = BoxSeen{};
    UiBackend b{};
    b.name = "boxes";
    b.message_box = RecordBox;
    UiSetBackend(&b);
  }
  void TearDown() override {
    UiSetBackend(nullptr);
    RuntimeTest::TearDown();
  }
  static void Record164() {
    ErrSet(kErrFirst, kWhereFileStream, kErrFileNotFound, kErrFileNotFound);
    ErrMsgAppend(0, L("C:\\x.txt"), false);
  }
};

TEST_F(ErrTextTest, BaseTextsByCode) {
  EXPECT_EQ(S(ErrTextBase(0)), "Proceso Completado Satisfactoriamente");
  EXPECT_EQ(S(ErrTextBase(1)), "Precauci\xF3n ");
  EXPECT_EQ(S(ErrTextBase(120)), "Precauci\xF3n ");
  EXPECT_EQ(S(ErrTextBase(126)), "Datos incorrectos");
  EXPECT_EQ(S(ErrTextBase(186)), "Indefinido");
  EXPECT_EQ(S(ErrTextBase(kErrRecorded)), "Indefinido");
  ErrMsgAppend(0, L("x"), false);
  EXPECT_EQ(S(ErrTextBase(121)), "x");
  EXPECT_EQ(S(ErrTextBase(126)), "x");
  EXPECT_EQ(S(ErrTextBase(127)), "No hay datos");
  ErrSet(kErrFirst, 1, kErrOutOfMemory, kErrOutOfMemory);
  EXPECT_EQ(S(ErrTextBase(kErrRecorded)), "OUTOFMEMORY");
}

TEST_F(ErrTextTest, ErrorsNameTheRecordedModuleAndDetail) {
  EXPECT_EQ(S(ErrText(0xFFFF)), "Error Indefinido");
  EXPECT_EQ(DataFileFind(1, 1, L("k")), kErrFeatureRemoved);  // detail only
  EXPECT_EQ(S(ErrText(148)), "Error FEATUREREMOVED: DataFileFind");

  Record164();
  const WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(S(ErrText(164)), "Error Fichero no encontrado(Streams): C:\\x.txt");
  EXPECT_EQ(WorkMark(kMarkQuery), before + 1);
  EXPECT_EQ(S(ErrText(145)), "Error OUTOFMEMORY(Streams): C:\\x.txt");
  // Below 128 nothing is added.
  EXPECT_EQ(S(ErrText(0)), "Proceso Completado Satisfactoriamente");
  EXPECT_EQ(S(ErrText(123)), "Expresion Nula");
}

TEST_F(ErrTextTest, ShowingPicksTheBoxAndClearsTheDetail) {
  ASSERT_EQ(StoreSet(kGroupRun, kRunLogName, L("Run.log")), 0);
  Record164();
  EXPECT_EQ(ErrShowMessage(kErrFileNotFound), 0);
  EXPECT_EQ(g_box.type, kUiMbOk | kUiMbIconError);
  EXPECT_EQ(g_box.caption, "Alerta de Mensaje Fatal");
  EXPECT_EQ(g_box.text, "Error Fichero no encontrado(Streams): C:\\x.txt");
  EXPECT_EQ(S(ErrDetail()), "");
  EXPECT_EQ(ErrGet(), kErrFileNotFound + (u32{kWhereFileStream} << 16));
  EXPECT_EQ(S(StoreGet(kGroupRun, kRunLogName)), "Run.log");

  EXPECT_EQ(ErrShowMessage(57), 0);
  EXPECT_EQ(g_box.type, kUiMbOk | kUiMbIconWarning);
  EXPECT_EQ(g_box.caption, "Mensaje Informativo");
  EXPECT_EQ(g_box.text, "Precaucion ");
  EXPECT_EQ(g_box.count, 2);
}

// The assertion log lands in the current directory.
using AssertTest = InTempDir<ErrTextTest>;

TEST_F(AssertTest, FailedAssertionShowsLogsAndEnds) {
  AssertCheck(true, L("fine"));
  EXPECT_EQ(g_box.count, 0);

  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this folder
  UiBackend b{};
  b.message_box = ReportBox;
  UiSetBackend(&b);

  EXPECT_DEATH(AssertCheck(false, L("lost node")), "box owner=0 type=10 \\[Assertion Fail\\] \\[lost node\\] log after");
  EXPECT_DEATH(AssertCheck(false, L("again")), "\\[again\\] log before");
  std::ifstream in("assertions.log", std::ios::binary);
  const std::string log(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(log.rfind("*****************************\r\n Date:", 0), 0u);
  EXPECT_NE(log.find(" - User:0\r\nlost node\r\n**********************\r\n\r\n****"), std::string::npos);
  EXPECT_NE(log.find("again\r\n**********************\r\n\r\n"), std::string::npos);
}

// This application's scratch stack: 512 marks.
using RoomTest = MemManualStartTest;

TEST_F(RoomTest, TwelveMarksMustHaveStayedFree) {
  MemSetLimits(512, kKeepLimit, kKeepLimit);
  ASSERT_EQ(MemInit(), 0);
  const WorkMarkId base = WorkMark(kMarkQuery);
  // The high-water mark is taken as the top moves, before the new entry's
  // mark counts: 501 entries leave it at 500.
  for (int i = 0; i < 501; ++i) ASSERT_EQ(WorkPush("ab", 2), 0);
  EXPECT_EQ(MemRoomCheck(kRoomCheckMarks), 0);
  ASSERT_EQ(WorkPush("ab", 2), 0);
  EXPECT_EQ(MemRoomCheck(kRoomCheckMarks), kErrOutOfMemory);
  EXPECT_EQ(MemRoomCheck(1), 0);
  WorkMark(base);  // a high-water mark stays
  EXPECT_EQ(MemRoomCheck(kRoomCheckMarks), kErrOutOfMemory);
}

}  // namespace
