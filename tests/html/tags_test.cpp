#include "html/tags.h"

#include "html_capture.h"
#include "runtime/file.h"
#include "runtime/scratch.h"

using namespace vk;

namespace {

struct TagsTest : HtmlCaptureTest {
  std::string Tag(u16 tag, const char* params) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    HtmlTagWrite(tag, HtmlAttrParse(L(params)));
    WorkMark(mark);
    return Taken();
  }
};

// A content writer that leaves a b tag open inside its element.
u16 LeaveBoldOpen(HtmlAttrs, StrSlice data) {
  HtmlTagOpen(kTagB, HtmlAttrsEmpty());
  HtmlOut(data);
  return 0;
}
u16 KeepOpen(HtmlAttrs, StrSlice) { return 7; }
// Records what the element handed down.
HtmlAttrs g_seen_attrs;
std::string g_seen_data;
u16 Record(HtmlAttrs attrs, StrSlice data) {
  g_seen_attrs = attrs;
  g_seen_data = S(data);
  attrs.colspan = 99;  // a copy: the caller's record is not changed
  return 0;
}

TEST_F(TagsTest, TagWithoutValuesHasNoBlankBeforeTheBracket) {
  EXPECT_EQ(Tag(kTagTd, ""), "<td>\r\n");
  // Keys that the tag does not carry are left out as well.
  EXPECT_EQ(Tag(kTagP, "_P_NAME='x' _P_SIZE=4 _P_COLS=2"), "<p>\r\n");
  EXPECT_EQ(Tag(kTagTr, "_P_ALIGN='left' _P_BGCOL='red'"), "<tr>\r\n");
  EXPECT_EQ(Tag(kTagInput, "_P_SIZE=0 _P_NAME=''"), "<input>\r\n");
}

TEST_F(TagsTest, AlignMustBeQuotedToMatch) {
  EXPECT_EQ(Tag(kTagP, "_P_ALIGN=center"), "<p>\r\n");
  EXPECT_EQ(Tag(kTagP, "_P_ALIGN='center'"), "<p align=\"center\">\r\n");
  EXPECT_EQ(Tag(kTagP, "_P_ALIGN=\"justify\""), "<p align=\"justify\">\r\n");
  EXPECT_EQ(Tag(kTagP, "_P_ALIGN='middle'"), "<p>\r\n");
}

TEST_F(TagsTest, CheckedOnlyOnInput) {
  EXPECT_EQ(Tag(kTagInput, "_P_CHECKED=yes"), "<input checked>\r\n");
  EXPECT_EQ(Tag(kTagInput, "_P_CHECKED=1"), "<input checked>\r\n");
  EXPECT_EQ(Tag(kTagInput, "_P_CHECKED=si"), "<input checked>\r\n");
  EXPECT_EQ(Tag(kTagInput, "_P_CHECKED=0"), "<input>\r\n");
  EXPECT_EQ(Tag(kTagTd, "_P_CHECKED=1"), "<td>\r\n");
  EXPECT_EQ(Tag(kTagOption, "_P_CHECKED=yes _P_VALUE='v'"), "<option value=\"v\">\r\n");
}

TEST_F(TagsTest, AttributesFollowBitOrderNotParameterOrder) {
  EXPECT_EQ(Tag(kTagInput, "_P_VALUE='x' _P_TYPE='text' _P_SIZE=30 _P_ALIGN='left' _P_NAME='user'"),
            "<input name=\"user\" align=\"left\" size=\"30\" type=\"text\" value=\"x\">\r\n");
  EXPECT_EQ(Tag(kTagTable,
                "_P_HEIGHT='9' _P_WIDTH='100%' _P_STYLE='s' _P_BGCOL='#fff' _P_COLSPAN=3 _P_ALIGN='right'"),
            "<table align=\"right\" colspan=\"3\" bgcolor=\"#fff\" style=\"s\" width=\"100%\" height=\"9\">\r\n");
  // The meta tag takes name and value as http-equiv and content.
  EXPECT_EQ(Tag(kTagMeta, "_P_NAME='refresh' _P_VALUE='5'"), "<meta http-equiv=\"refresh\" content=\"5\">\r\n");
  // Values are inserted as they are, and unquoted ones come back upper-cased.
  EXPECT_EQ(Tag(kTagA, "_P_HREF='a?b=\"c\"&d'"), "<a href=\"a?b=\"c\"&d\">\r\n");
  EXPECT_EQ(Tag(kTagBody, "_P_BGCOL=white"), "<body bgcolor=\"WHITE\">\r\n");
}

TEST_F(TagsTest, ParsedRecordFields) {
  HtmlAttrs a = HtmlAttrParse(L("_P_COLS=3 _P_TEXT=260 _P_SIZE=yes _P_NAME=n"));
  EXPECT_EQ(a.cols, 3);
  EXPECT_EQ(a.text, 4);  // low 8 bits
  EXPECT_EQ(a.size, 1);  // a yes-word reads as 1
  EXPECT_EQ(S(a.name), "N");
  EXPECT_EQ(a.src.len, 0);
  HtmlAttrs e = HtmlAttrParse(L(""));
  EXPECT_TRUE(e.name.ptr && e.value.ptr && e.src.ptr);
  EXPECT_EQ(e.align + e.size + e.cols + e.colspan + e.checked + e.text, 0);
}

TEST_F(TagsTest, StyledTextExamples) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(HtmlText(HtmlAttrParse(L("_P_SIZE=4 _P_TEXT=12")), L("Login")), 0);
  EXPECT_EQ(Taken(), "<font size=\"4\">\r\n<p>\r\n<center><b>Login</b></center></p>\r\n</font>\r\n");
  // No size: a paragraph alone, which carries align but never a size.
  EXPECT_EQ(HtmlText(HtmlAttrParse(L("_P_ALIGN='right'")), L("x")), 0);
  EXPECT_EQ(Taken(), "<p align=\"right\">\r\nx</p>\r\n");
  EXPECT_EQ(HtmlTextStyled(HtmlStyledText{L("T"), kAlignCenter, 3, 0}), 0);
  EXPECT_EQ(Taken(), "<font size=\"3\">\r\n<p align=\"center\">\r\nT</p>\r\n</font>\r\n");
  EXPECT_EQ(S(HtmlTextDecorate(L("t"), 0x1F | 0x20)),
            "<blockquote><center><b><i><u>t</u></i></b></center></blockquote>");
  WorkMark(mark);
  EXPECT_EQ(HtmlTagDepth(), 0);
}

TEST_F(TagsTest, StackHoldsSixteenLevels) {
  for (u16 i = 0; i < 16; ++i) EXPECT_EQ(HtmlTagOpen(kTagDiv, HtmlAttrsEmpty()), i);
  Taken();
  // The seventeenth tag is written but not pushed.
  EXPECT_EQ(HtmlTagOpen(kTagP, HtmlAttrsEmpty()), kTagStackFull);
  EXPECT_EQ(Taken(), "<p>\r\n");
  EXPECT_EQ(HtmlTagDepth(), 16);
  // An element on a full stack writes its tag only.
  EXPECT_EQ(HtmlElement(kTagTd, HtmlAttrsEmpty(), nullptr, L("lost")), kTagStackFull);
  EXPECT_EQ(Taken(), "<td>\r\n");
  HtmlTagPopTo(kTagStackFull);
  HtmlTagPopTo(16);
  EXPECT_EQ(Taken(), "");
  HtmlTagPopTo(14);
  EXPECT_EQ(Taken(), "</div>\r\n</div>\r\n");
  EXPECT_EQ(HtmlTagDepth(), 14);
  HtmlTagPopTo(0);
  EXPECT_EQ(HtmlTagDepth(), 0);
  std::string closes;
  for (int i = 0; i < 14; ++i) closes += "</div>\r\n";
  EXPECT_EQ(Taken(), closes);
}

TEST_F(TagsTest, PopClosesInReverseOrder) {
  const u16 d = HtmlTagOpen(kTagTable, HtmlAttrsEmpty());
  HtmlTagOpen(kTagTr, HtmlAttrsEmpty());
  HtmlTagOpen(kTagTd, HtmlAttrsEmpty());
  Taken();
  HtmlTagPopTo(d);
  EXPECT_EQ(Taken(), "</td>\r\n</tr>\r\n</table>\r\n");
}

TEST_F(TagsTest, ElementCallbacks) {
  // Without a callback the data is the content.
  EXPECT_EQ(HtmlElement(kTagB, HtmlAttrsEmpty(), nullptr, L("hi")), 0);
  EXPECT_EQ(Taken(), "<b>\r\nhi</b>\r\n");
  // The element also closes what its content left open.
  EXPECT_EQ(HtmlElement(kTagDiv, HtmlAttrsEmpty(), LeaveBoldOpen, L("x")), 0);
  EXPECT_EQ(Taken(), "<div>\r\n<b>\r\nx</b>\r\n</div>\r\n");
  EXPECT_EQ(HtmlTagDepth(), 0);
  // A non-zero result leaves the element open.
  EXPECT_EQ(HtmlElement(kTagDiv, HtmlAttrsEmpty(), KeepOpen, L("")), 7);
  EXPECT_EQ(Taken(), "<div>\r\n");
  EXPECT_EQ(HtmlTagDepth(), 1);
  HtmlTagPopTo(0);
  Taken();
  // The callback gets the record and the data.
  const WorkMarkId mark = WorkMark(kMarkQuery);
  HtmlAttrs a = HtmlAttrParse(L("_P_COLSPAN=2 _P_NAME='q'"));
  EXPECT_EQ(HtmlElement(kTagTd, a, Record, L("data")), 0);
  EXPECT_EQ(g_seen_attrs.colspan, 2);
  EXPECT_EQ(S(g_seen_attrs.name), "q");
  EXPECT_EQ(g_seen_data, "data");
  EXPECT_EQ(a.colspan, 2);
  EXPECT_EQ(Taken(), "<td colspan=\"2\">\r\n</td>\r\n");
  // Elements leave no scratch entries behind.
  const WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(HtmlElement(kTagTd, a, nullptr, L("z")), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), before);
  WorkMark(mark);
}

TEST_F(TagsTest, HeadWithItems) {
  const char items[] = "Home\0<link rel=\"x\">\0refresh,5,extra";
  EXPECT_EQ(HtmlHead(HtmlAttrsEmpty(), StrMake(items, sizeof items - 1)), 0);
  EXPECT_EQ(Taken(),
            "<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\n"
            "<title>\r\nHome</title>\r\n"
            "<link rel=\"x\">\r\n"
            "<meta http-equiv=\"refresh\" content=\"5\">\r\n"
            "</head>\r\n");
  EXPECT_EQ(HtmlHead(HtmlAttrsEmpty(), L("")), 0);
  EXPECT_EQ(Taken(),
            "<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\n"
            "</head>\r\n");
  EXPECT_EQ(HtmlTagDepth(), 0);
}

TEST_F(TagsTest, PageBegin) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(HtmlPageBegin(L("PAGETITLE='Login' BODYSTYLE=\"_P_BGCOL='#FFFFFF'\""), L(""), 0), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(Taken(),
            "<html>\r\n<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\n"
            "<title>\r\nLogin</title>\r\n</head>\r\n"
            "<body bgcolor=\"#FFFFFF\">\r\n"
            "<font size=\"4\">\r\n<p>\r\n<center><b>Login</b></center></p>\r\n</font>\r\n");
  EXPECT_EQ(HtmlTagDepth(), 2);
  // No visible title; the extra items follow the title in the head; the
  // result is the depth to return to.
  const char extra[] = "<style></style>\0robots,none";
  EXPECT_EQ(HtmlPageBegin(L("PAGETITLE=t"), StrMake(extra, sizeof extra - 1), kPageNoTitle), 2);
  EXPECT_EQ(Taken(),
            "<html>\r\n<head>\r\n"
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\">\n"
            "<title>\r\nT</title>\r\n<style></style>\r\n"
            "<meta http-equiv=\"robots\" content=\"none\">\r\n</head>\r\n<body>\r\n");
  HtmlTagPopTo(2);
  EXPECT_EQ(Taken(), "</body>\r\n</html>\r\n");
  HtmlTagForget(0);
  EXPECT_EQ(HtmlTagDepth(), 0);
  EXPECT_EQ(Taken(), "");
}

TEST_F(TagsTest, CloseTagTexts) {
  HtmlCloseTag(kTagTr);
  HtmlCloseTag(kTagU);
  HtmlCloseTag(kTagImg);
  HtmlCloseTag(kTagForm);
  HtmlCloseTag(0);
  HtmlCloseTag(23);
  EXPECT_EQ(Taken(), "</tr>\n></form>\n");
  EXPECT_EQ(HtmlTagDepth(), 0);
}

TEST_F(TagsTest, MutedOutputStillKeepsTheStack) {
  SysVarSet(kSysAuxstat, kAuxNoHtml);
  EXPECT_EQ(HtmlTagOpen(kTagDiv, HtmlAttrsEmpty()), 0);
  EXPECT_EQ(HtmlTagOpen(kTagDiv, HtmlAttrsEmpty()), 1);
  HtmlOut(L("text"));
  EXPECT_EQ(Taken(), "");
  SysVarSet(kSysAuxstat, 0);
  HtmlTagPopTo(1);
  EXPECT_EQ(Taken(), "</div>\r\n");
}

TEST_F(TagsTest, SinkWritesUpToNulAndSlotOneFollows) {
  HtmlOut(StrMake("ab\0cd", 5));
  EXPECT_EQ(Taken(), "ab");
  HtmlOut(StrErrorSlice(145));
  EXPECT_EQ(FileStream(kSlotStdout), sink);
  EXPECT_EQ(HtmlSinkSet(nullptr), sink);
  EXPECT_EQ(FileStream(kSlotStdout), nullptr);
  HtmlOut(L("nowhere"));
  HtmlSinkSet(sink);
  EXPECT_EQ(Taken(), "");
}

// Size and colspan are unsigned 16-bit fields: the whole range is written
// as it was given, from the parameter string to the tag.
TEST_F(TagsTest, NumbersAreWrittenUnsigned) {
  const struct {
    u16 tag;
    const char* params;
    const char* tag_text;
  } cases[] = {
      {kTagFont, "_P_SIZE=1", "<font size=\"1\">\r\n"},
      {kTagFont, "_P_SIZE=32767", "<font size=\"32767\">\r\n"},
      {kTagFont, "_P_SIZE=32768", "<font size=\"32768\">\r\n"},
      {kTagInput, "_P_SIZE=40000", "<input size=\"40000\">\r\n"},
      {kTagTd, "_P_COLSPAN=65535", "<td colspan=\"65535\">\r\n"},
      {kTagTable, "_P_COLSPAN=50000 _P_WIDTH='9'", "<table colspan=\"50000\" width=\"9\">\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Tag(c.tag, c.params), c.tag_text) << c.params;
}

TEST_F(TagsTest, AttributeTexts) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(S(HtmlAttrNum(" size=\"%s\"", 0)), "");
  EXPECT_EQ(S(HtmlAttrStr(" x=\"%s\"", L(""))), "");
  EXPECT_EQ(S(HtmlAlignAttr(5)), "");
  EXPECT_EQ(S(HtmlAlignAttr(4)), " align=\"justify\"");
  EXPECT_EQ(S(HtmlWrap(kTagI, L("w"))), "<i>w</i>");
  WorkMark(mark);
}

}  // namespace
