#include "runtime/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime_fixture.h"
#include "temp_dir.h"

using namespace vk;

namespace {

// Every line of the file, then the code that ended the reading.
std::vector<std::string> ReadLines(u16 slot, u16* end_code) {
  std::vector<std::string> lines;
  for (int guard = 0; guard < 10000; ++guard) {
    WorkMarkId mark = WorkMark(kMarkQuery);
    StrSlice s = FileReadLine(slot, kFileHere, kReadLine);
    if (!s.ptr) {
      *end_code = StrError(s);
      return lines;
    }
    lines.push_back(S(s));
    WorkMark(mark);
  }
  *end_code = 0;
  return lines;
}

struct FileTest : InTempDir<RuntimeTest> {
  std::vector<std::string> Lines(const std::string& content, u16* end_code) {
    Write("lines.txt", content);
    std::string name = Lib("lines.txt");
    i16 slot = FileOpen(Sl(name), kOpenNoUpdate);
    EXPECT_GE(slot, 3);
    std::vector<std::string> lines = ReadLines(static_cast<u16>(slot), end_code);
    EXPECT_EQ(FileClose(static_cast<u16>(slot)), static_cast<u16>(slot));
    return lines;
  }
};

using Texts = std::vector<std::string>;

TEST_F(FileTest, LineReaderEndsLinesAtCrLfLfAndCr) {
  u16 end = 0;
  EXPECT_EQ(Lines("a\r\nb\nc\rd", &end), (Texts{"a", "b", "c", "d"}));
  EXPECT_EQ(end, kErrDiskIO);
  // An empty line is an empty text, not the end.
  EXPECT_EQ(Lines("a\r\n\r\nb\r\n", &end), (Texts{"a", "", "b"}));
  EXPECT_EQ(end, kErrDiskIO);
  // A final Ctrl-Z adds no line; elsewhere it is an ordinary byte.
  EXPECT_EQ(Lines("a\r\nb\r\n\x1A", &end), (Texts{"a", "b"}));
  EXPECT_EQ(Lines("a\x1A" "b\r\n", &end), (Texts{"a\x1A" "b"}));
  EXPECT_EQ(Lines("", &end), Texts{});
  EXPECT_EQ(end, kErrDiskIO);
}

TEST_F(FileTest, LineEndAcrossTheReadPieceIsOneEnd) {
  u16 end = 0;
  std::string x511(511, 'x');
  // CR is byte 511, its LF the first byte of the next 512-byte piece.
  EXPECT_EQ(Lines(x511 + "\r\ny\r\n", &end), (Texts{x511, "y"}));
  // A lone CR at the boundary still ends the line and keeps the next byte.
  EXPECT_EQ(Lines(x511 + "\rzz\n", &end), (Texts{x511, "zz"}));
  // A line of several pieces comes back whole.
  std::string big(1500, 'q');
  EXPECT_EQ(Lines(big + "\n" + big, &end), (Texts{big, big}));
  EXPECT_EQ(end, kErrDiskIO);
}

TEST_F(FileTest, LineLongerThanTheFreeRoomIsAnErrorAndConsumesNothing) {
  std::string line(3000, 'L');
  Write("long.txt", line + "\r\nnext\r\n");
  std::string name = Lib("long.txt");
  i16 slot = FileOpen(Sl(name), kOpenNoUpdate);
  ASSERT_GE(slot, 3);
  WorkMarkId mark = WorkMark(kMarkQuery);
  while (WorkRoomLeft() > 60000) ASSERT_NE(WorkAllocRaw(60000, kNoFill), nullptr);
  ASSERT_NE(WorkAllocRaw(static_cast<u16>(WorkRoomLeft() - 1000), kNoFill), nullptr);
  StrSlice s = FileReadLine(static_cast<u16>(slot), kFileHere, kReadLine);
  EXPECT_EQ(StrError(s), kErrOutOfMemory);
  EXPECT_EQ(ErrGet() & 0xFFFF, kErrOutOfMemory);
  // With room again the same line is read: nothing was skipped.
  WorkMark(mark);
  EXPECT_EQ(S(FileReadLine(static_cast<u16>(slot), kFileHere, kReadLine)), line);
  EXPECT_EQ(S(FileReadLine(static_cast<u16>(slot), kFileHere, kReadLine)), "next");
  EXPECT_EQ(FileClose(static_cast<u16>(slot)), static_cast<u16>(slot));
}

TEST_F(FileTest, RecordsAndPositions) {
  Write("rec.bin", "abcdefg");
  std::string name = Lib("rec.bin");
  u16 slot = static_cast<u16>(FileOpen(Sl(name), kOpenNoUpdate));
  EXPECT_EQ(FileLength(slot), 7u);
  EXPECT_EQ(S(FileReadLine(slot, kFileHere, 3)), "abc");
  EXPECT_EQ(FileTell(slot), 3u);
  EXPECT_EQ(S(FileReadLine(slot, kFileHere, 3)), "def");
  EXPECT_EQ(S(FileReadLine(slot, kFileHere, 3)), "g");
  EXPECT_TRUE(FileEof(slot));
  EXPECT_EQ(StrError(FileReadLine(slot, kFileHere, 3)), kErrDiskIO);
  EXPECT_EQ(S(FileReadLine(slot, 1, 2)), "bc");
  char small[4];
  EXPECT_EQ(FileReadRecord(slot, 0, 6, small, sizeof small), kReadTooLong);
  EXPECT_EQ(FileClose(slot), slot);

  // A line exactly as long as the buffer still fits, whatever its end.
  Write("fit.txt", "abc\r\ndef\rghi");
  std::string fit = Lib("fit.txt");
  slot = static_cast<u16>(FileOpen(Sl(fit), kOpenNoUpdate));
  EXPECT_EQ(FileReadRecord(slot, kFileHere, kReadLine, small, 3), 3);
  EXPECT_EQ(std::string(small, 3), "abc");
  EXPECT_EQ(FileReadRecord(slot, kFileHere, kReadLine, small, 2), kReadTooLong);
  EXPECT_EQ(FileReadRecord(slot, kFileHere, kReadLine, small, 3), 3);
  EXPECT_EQ(std::string(small, 3), "def");
  EXPECT_EQ(FileReadRecord(slot, kFileHere, kReadLine, small, 3), 3);
  EXPECT_EQ(std::string(small, 3), "ghi");
  EXPECT_EQ(FileReadRecord(slot, kFileHere, kReadLine, small, 3), kReadEnd);
  EXPECT_EQ(FileClose(slot), slot);
}

TEST_F(FileTest, ConsoleInputIsReadByteByByte) {
  Write("in.txt", "a\r\nb\rc\n\nd");
  std::FILE* in = std::fopen(Sys("in.txt").c_str(), "rb");
  ASSERT_NE(in, nullptr);
  FileSetStandard(kSlotStdin, in);
  u16 end = 0;
  EXPECT_EQ(ReadLines(kSlotStdin, &end), (Texts{"a", "b", "c", "", "d"}));
  EXPECT_EQ(end, kErrDiskIO);
  FileSetStandard(kSlotStdin, stdin);
  std::fclose(in);
}

TEST_F(FileTest, OpenModesFollowTheFlags) {
  std::string name = Lib("m.txt");
  Write("m.txt", "12345");
  // Update (no flags) neither truncates nor moves the end.
  u16 slot = static_cast<u16>(FileOpen(Sl(name), 0));
  EXPECT_EQ(FileWriteAt(slot, 0, L("ab")), 0);
  EXPECT_EQ(FileClose(slot), slot);
  EXPECT_EQ(Read("m.txt"), "ab345");
  // Append writes at the end whatever the position asked.
  slot = static_cast<u16>(FileOpen(Sl(name), kOpenAppend | kOpenNoUpdate));
  EXPECT_EQ(FileWriteAt(slot, 0, L("Z")), 0);
  EXPECT_EQ(FileClose(slot), slot);
  EXPECT_EQ(Read("m.txt"), "ab345Z");
  // Write truncates; read-only refuses writes.
  slot = static_cast<u16>(FileOpen(Sl(name), kOpenWrite | kOpenNoUpdate));
  EXPECT_EQ(FileWriteAt(slot, kFileAtEnd, L("w\n")), 0);
  EXPECT_EQ(FileClose(slot), slot);
  EXPECT_EQ(Read("m.txt"), "w\n");  // binary: the LF stays a LF
  slot = static_cast<u16>(FileOpen(Sl(name), kOpenNoUpdate));
  EXPECT_EQ(FileWriteAt(slot, 0, L("x")), kFailed);
  EXPECT_EQ(FileClose(slot), slot);
  EXPECT_EQ(Read("m.txt"), "w\n");
}

TEST_F(FileTest, ConsoleNameGivesTheStandardStreams) {
  EXPECT_EQ(FileOpen(L("CON"), kOpenWrite), kSlotStdout);
  EXPECT_EQ(FileOpen(L("CON"), kOpenNoUpdate), kSlotStdin);
  EXPECT_EQ(FileOpen(L("CON"), kOpenWrite | kOpenPlain), kSlotStdin);
  EXPECT_EQ(FileClose(kSlotStdout), kSlotStdout);
  EXPECT_EQ(FileClose(kSlotStdin), kSlotStdin);
  EXPECT_EQ(FileStream(kSlotStdout), stdout);
  EXPECT_EQ(FileStream(kSlotStdin), stdin);
  EXPECT_EQ(FileClose(17), 0);  // an empty slot
}

TEST_F(FileTest, AFailedCloseIsReportedAndStillEmptiesTheSlot) {
  // The device takes writes into the stream's buffer and refuses them when
  // the stream is closed.
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  const i16 slot = FileOpen(L("\\dev\\full"), kOpenWrite);
  ASSERT_FALSE(FileOpenFailed(slot));
  const u16 s = static_cast<u16>(slot);
  EXPECT_EQ(FileWriteAt(s, kFileAtEnd, L("lost")), 0);
  EXPECT_EQ(FileClose(s), kErrFileIO);
  EXPECT_EQ(FileStream(s), nullptr);
  EXPECT_EQ(FileClose(s), 0);
}

TEST_F(FileTest, FailuresAreQuietOrRecordedWithTheName) {
  std::string missing = Lib("missing.txt");
  EXPECT_EQ(FileOpen(Sl(missing), kOpenQuiet | kOpenNoUpdate | kOpenPlain), kErrFileNotFound);
  EXPECT_EQ(ErrGet(), 0u);
  EXPECT_EQ(S(ErrDetail()), "");
  EXPECT_FALSE(Exists("missing.txt"));

  EXPECT_EQ(FileOpen(Sl(missing), kOpenNoUpdate), -1);
  EXPECT_EQ(ErrGet() & 0xFFFF, kErrFileNotFound);
  EXPECT_EQ(ErrGet() >> 16, static_cast<u32>(kWhereFileStream));

  // Each recorded failure names the file as the user reads it ('/'), with
  // the system's reason when the system refused it.
  ASSERT_EQ(mkdir(Sys("folder").c_str(), 0777), 0);
  const std::string deep(kFileNameMax, 'n');
  const struct {
    std::string name;
    bool replace;  // written whole (FileWrite) instead of opened
    u16 flags;
    std::string detail;
  } cases[] = {
      {missing, false, kOpenNoUpdate, Sys("missing.txt") + " (No such file or directory)"},
      {Lib("folder"), false, kOpenNoUpdate, Sys("folder") + " (Is a directory)"},
      {Lib("folder"), false, kOpenPlain, Sys("folder") + " (Is a directory)"},
      {Lib("none\\new.txt"), false, kOpenWrite, Sys("none/new.txt") + " (No such file or directory)"},
      {Lib("folder"), true, 0, Sys("folder") + " (Is a directory)"},
      {Lib("none\\new.txt"), true, 0, Sys("none/new.txt") + " (No such file or directory)"},
      {deep, false, kOpenNoUpdate, deep},  // refused before the system is asked
  };
  for (const auto& c : cases) {
    ErrMsgAppend(0, L(""), false);
    if (c.replace) {
      EXPECT_EQ(FileWrite(Sl(c.name), kWriteReplace, "x", 1), kErrFileIO) << c.name;
    } else {
      EXPECT_EQ(FileOpen(Sl(c.name), c.flags), -1) << c.name;
    }
    EXPECT_EQ(S(ErrDetail()), c.detail);
  }
  EXPECT_TRUE(IsDir("folder"));

  EXPECT_EQ(FileOpen(L(""), kOpenQuiet), kErrData);
  std::string too_long(kFileNameMax, 'n');
  EXPECT_EQ(FileOpen(Sl(too_long), kOpenQuiet), kErrData);

  // Without kOpenNoUpdate a missing file is created.
  i16 slot = FileOpen(Sl(missing), 0);
  ASSERT_GE(slot, 3);
  EXPECT_EQ(FileClose(static_cast<u16>(slot)), static_cast<u16>(slot));
  EXPECT_TRUE(Exists("missing.txt"));
}

TEST_F(FileTest, CreatingOnOpenNeverHarmsWhatIsThere) {
  // A folder of the name cannot be opened as a file and stays.
  ASSERT_EQ(mkdir(Sys("folder").c_str(), 0777), 0);
  std::string folder = Lib("folder");
  EXPECT_EQ(FileOpen(Sl(folder), kOpenQuiet), kErrFileNotFound);
  EXPECT_TRUE(IsDir("folder"));
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  Write("ro.txt", "keep me");
  ASSERT_EQ(chmod(Sys("ro.txt").c_str(), 0444), 0);
  std::string ro = Lib("ro.txt");
  EXPECT_EQ(FileOpen(Sl(ro), kOpenQuiet), kErrFileNotFound);
  EXPECT_EQ(Read("ro.txt"), "keep me");
}

TEST_F(FileTest, FortySlotsThreeOfThemStandard) {
  std::vector<std::string> names;
  for (int i = 0; i < 38; ++i) names.push_back(Lib("s" + std::to_string(i)));
  for (size_t i = 0; i < 37; ++i) ASSERT_EQ(FileOpen(Sl(names[i]), kOpenWrite), i + 3);
  EXPECT_EQ(FileOpen(Sl(names[37]), kOpenWrite | kOpenQuiet), kErrDataOutBound);
  EXPECT_EQ(FileOpen(L("CON"), kOpenQuiet), kErrDataOutBound);  // the slot is checked first
  EXPECT_EQ(FileOpen(Sl(names[37]), kOpenWrite), -1);
  EXPECT_EQ(ErrGet() & 0xFFFF, kErrDataOutBound);
  EXPECT_EQ(FileClose(10), 10);
  EXPECT_EQ(FileOpen(Sl(names[37]), kOpenWrite), 10);
  for (u16 s = 3; s < kFileSlots; ++s) EXPECT_EQ(FileClose(s), s);
}

TEST_F(FileTest, WriteReplacesAppendsAndWritesOver) {
  std::string name = Lib("w.txt");
  EXPECT_EQ(FileWrite(Sl(name), kWriteReplace, "hello", 5), 0);
  EXPECT_EQ(FileWrite(Sl(name), kWriteAppend, "!!", 2), 0);
  EXPECT_EQ(Read("w.txt"), "hello!!");
  EXPECT_EQ(FileWrite(Sl(name), 0, "J", 1), 0);  // not truncated
  EXPECT_EQ(Read("w.txt"), "Jello!!");
  EXPECT_EQ(FileWrite(Sl(name), kWriteReplace, "x", 1), 0);
  EXPECT_EQ(Read("w.txt"), "x");
  EXPECT_EQ(FileWrite(Sl(name), kWriteAppend, "", 0), kErrFileIO);
  EXPECT_EQ(FileWriteRange(Sl(name), 0, "ab", 2), 2);
  EXPECT_EQ(FileWrite(Sl(name), kWriteAppend, nullptr, 3), kErrFileIO);
  // Replacing leaves no temporary file behind.
  ASSERT_EQ(DirList(Sl(Lib("*.*"))), 0);
  StrSlice all = WorkTop();
  EXPECT_EQ(std::string(all.ptr, all.len), std::string(".\0..\0w.txt", 10));
  // Replacing with nothing deletes the file.
  EXPECT_EQ(FileWrite(Sl(name), kWriteReplace, "", 0), kErrFileIO);
  EXPECT_FALSE(Exists("w.txt"));
  // A folder that is missing: nothing is written, the failure is reported.
  std::string lost = Lib("no\\w.txt");
  EXPECT_EQ(FileWrite(Sl(lost), kWriteReplace, "x", 1), kErrFileIO);
  EXPECT_EQ(FileWrite(Sl(lost), kWriteAppend, "x", 1), kErrFileIO);
}

TEST_F(FileTest, WholeFileReads) {
  Write("t.txt", "a\r\nb\nc\rd");
  std::string name = Lib("t.txt");
  EXPECT_EQ(S(FileReadAll(Sl(name), 0, kReadToEnd)), "a\r\nb\nc\rd");
  EXPECT_EQ(S(FileReadAll(Sl(name), 3, kReadToEnd)), "b\nc\rd");
  EXPECT_EQ(S(FileReadAll(Sl(name), 3, 2)), "b\n");
  EXPECT_EQ(S(FileReadAll(Sl(name), 0, 0)), "");
  EXPECT_EQ(StrError(FileReadAll(Sl(name), 5, 100)), kFailed);  // fewer bytes than asked
  EXPECT_EQ(S(FileReadText(Sl(name), L("|"))), "a|b|c\rd");
  // A separator holding a line end is not replaced again.
  EXPECT_EQ(S(FileReadText(Sl(name), L("\r\n"))), "a\r\nb\r\nc\rd");
  EXPECT_EQ(FileSize(Sl(name)), 8u);
  char buf[7];
  EXPECT_EQ(FileReadRange(Sl(name), 1, kReadToEnd, buf, sizeof buf), 7);
  EXPECT_EQ(std::string(buf, 7), "\r\nb\nc\rd");
  EXPECT_EQ(FileReadRange(Sl(name), 0, kReadToEnd, buf, sizeof buf), kFailed);  // does not fit

  std::string missing = Lib("none.txt");
  EXPECT_EQ(FileSize(Sl(missing)), 0u);
  EXPECT_EQ(ErrGet() & 0xFFFF, kErrFileNotFound);
}

TEST_F(FileTest, WholeFileReadsNeverCutTo16Bits) {
  std::string exact(65535, 'e');
  exact[65534] = 'E';
  Write("exact.bin", exact);
  Write("64k.bin", std::string(65536, 'k'));
  Write("70k.bin", std::string(70000, 's'));
  std::string a = Lib("exact.bin"), b = Lib("64k.bin"), c = Lib("70k.bin");
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice s = FileReadAll(Sl(a), 0, kReadToEnd);
  ASSERT_NE(s.ptr, nullptr);
  EXPECT_EQ(S(s), exact);
  WorkMark(mark);
  EXPECT_EQ(StrError(FileReadAll(Sl(b), 0, kReadToEnd)), kErrStringTooLong);
  EXPECT_EQ(StrError(FileReadAll(Sl(c), 0, kReadToEnd)), kErrStringTooLong);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);  // refused before any allocation
  EXPECT_EQ(S(FileReadAll(Sl(c), 69998, kReadToEnd)), "ss");
  // Room smaller than the file: 145.
  while (WorkRoomLeft() > 60000) ASSERT_NE(WorkAllocRaw(60000, kNoFill), nullptr);
  ASSERT_NE(WorkAllocRaw(static_cast<u16>(WorkRoomLeft() - 100), kNoFill), nullptr);
  EXPECT_EQ(StrError(FileReadAll(Sl(a), 0, kReadToEnd)), kErrOutOfMemory);
}

TEST_F(FileTest, DirCreatePathCreatesEveryMissingLevel) {
  std::string deep = Lib("a\\b\\c");
  EXPECT_EQ(DirCreatePath(Sl(deep)), 0);
  EXPECT_TRUE(IsDir("a") && IsDir("a/b") && IsDir("a/b/c"));
  EXPECT_EQ(DirCreatePath(Sl(deep)), 0);  // already there
  std::string slashes = Lib("x") + "/y/z\\";
  EXPECT_EQ(DirCreatePath(Sl(slashes)), 0);
  EXPECT_TRUE(IsDir("x/y/z"));
  // Under a file nothing can be created.
  Write("file", "");
  std::string under = Lib("file\\sub");
  EXPECT_NE(DirCreatePath(Sl(under)), 0);
  EXPECT_EQ(DirCreatePath(L("C:")), kErrData);
  EXPECT_EQ(S(ErrDetail()), "C:");
  EXPECT_EQ(DirCreate(Sl(Lib("a"))), kFailed);
  EXPECT_EQ(DirCreate(Sl(Lib("one"))), 0);
}

TEST_F(FileTest, DirListMatchesSortsAndFindsFolders) {
  Write("b.txt", "");
  Write("a.txt", "");
  Write("c.log", "");
  Write("A.TXT", "");
  ASSERT_EQ(mkdir(Sys("sub").c_str(), 0777), 0);
  auto list = [&](const std::string& pattern) -> std::string {
    WorkMarkId mark = WorkMark(kMarkQuery);
    u16 r = DirList(Sl(pattern));
    if (r) {
      EXPECT_EQ(WorkMark(kMarkQuery), mark);  // nothing left behind
      return "#" + std::to_string(r);
    }
    StrSlice s = WorkTop();
    std::string out(s.ptr, s.len);
    for (char& ch : out) {
      if (ch == 0) ch = '|';
    }
    return out;
  };
  EXPECT_EQ(list(Lib("*.txt")), "a.txt|b.txt");  // exact case
  EXPECT_EQ(list(Lib("*.*")), ".|..|A.TXT|a.txt|b.txt|c.log|sub");
  EXPECT_EQ(list(Lib("?.log")), "c.log");
  EXPECT_EQ(list(Lib("a.txt")), "a.txt");
  EXPECT_EQ(list(Lib("sub\\.")), ".");
  EXPECT_EQ(list(Lib("*.xyz")), "#164");
  EXPECT_EQ(list(Lib("nosuch\\.")), "#164");
  EXPECT_EQ(list(Lib("a.txt\\.")), "#164");  // a file is no folder
  EXPECT_EQ(list(Lib("nosuch\\*")), "#164");
}

TEST_F(FileTest, DirListRunsOutOfScratchCleanly) {
  for (int i = 0; i < 50; ++i) Write("file" + std::to_string(i), "");
  while (WorkRoomLeft() > 60000) ASSERT_NE(WorkAllocRaw(60000, kNoFill), nullptr);
  ASSERT_NE(WorkAllocRaw(static_cast<u16>(WorkRoomLeft() - 64), kNoFill), nullptr);
  WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(DirList(Sl(Lib("*"))), kErrOutOfMemory);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
}

TEST_F(FileTest, DeleteRemovesFilesOnly) {
  Write("d.txt", "x");
  ASSERT_EQ(mkdir(Sys("keep").c_str(), 0777), 0);
  EXPECT_EQ(FileDelete(Sl(Lib("d.txt"))), 0);
  EXPECT_FALSE(Exists("d.txt"));
  EXPECT_EQ(FileDelete(Sl(Lib("d.txt"))), kFailed);
  EXPECT_EQ(FileDelete(Sl(Lib("keep"))), kFailed);
  EXPECT_TRUE(IsDir("keep"));
}

TEST_F(FileTest, InformationAndStamps) {
  Write("i.txt", "12345");
  std::string name = Lib("i.txt");
  i64 now = static_cast<i64>(std::time(nullptr));
  FileInfoRecord info = FileInfo(Sl(name));
  EXPECT_EQ(info.error, 0);
  EXPECT_EQ(info.size, 5u);
  // Written within the last minute (UTC); creation falls back on it at worst.
  u32 written = FileTime(Sl(name), kTimeWritten, kTimeUnitDate);
  EXPECT_TRUE(written == DateFromTime(now) || written == DateFromTime(now - 60));
  EXPECT_EQ(info.written.date, written);
  EXPECT_EQ(info.written.time, FileTime(Sl(name), kTimeWritten, kTimeUnitMs));
  EXPECT_NE(info.created.date, 0u);
  EXPECT_EQ(info.written.time % 1000, 0u);  // whole seconds
  // A pattern gives its first match in sorted order.
  Write("h.txt", "1");
  EXPECT_EQ(FileInfo(Sl(Lib("?.txt"))).size, 1u);
  std::string missing = Lib("none");
  EXPECT_EQ(FileInfo(Sl(missing)).error, kErrFileNotFound);
  EXPECT_EQ(FileTime(Sl(missing), kTimeWritten, kTimeUnitDate), 0u);
  EXPECT_EQ(FileFindInfo(Sl(missing)), kErrFileNotFound);
  EXPECT_EQ(FileFindInfo(Sl(name)), 0);
}

}  // namespace
