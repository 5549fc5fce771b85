#include "sitegen/pagetree.h"

#include <string>
#include <vector>

#include "runtime/error.h"
#include "runtime/linelist.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "runtime_fixture.h"
#include "script/interp_fixture.h"
#include "script/valtable.h"
#include "temp_dir.h"

using namespace vk;

namespace {

// The walk as "index:depth change" items, from the root to the end step.
std::string Walk() {
  std::string out;
  SiteCursor c = SiteTreeAt(SiteTreeRoot());
  for (int guard = 0; guard < 1000; ++guard) {
    out += (c.index == kSiteNone ? std::string("end") : std::to_string(c.index)) + ":" +
           std::to_string(c.depth_change) + " ";
    if (c.index == kSiteNone) break;
    c = SiteTreeNext(c.index, 1);
  }
  return out;
}

const SiteNode& Node(u16 i) { return *SiteTreeAt(i).record; }
std::string Name(u16 i) {
  std::string t = S(Node(i).text);
  return t.substr(0, t.find_last_not_of(' ') + 1);
}

// The memory manager and the value tables started in a temporary folder,
// where Tree() writes tree files. The end frees the tree and the tables.
struct PageTreeTest : InTempDir<ValTabLibTest> {
  std::string keep;

  void TearDown() override {
    SiteTreeFree();
    InTempDir::TearDown();
  }
  // Writes the file and gives its path in library form ('\').
  StrSlice Tree(const std::string& name, const std::string& bytes) {
    Write(name, bytes);
    return Path(name);
  }
  StrSlice Path(const std::string& name) {
    keep = Lib(name);
    return L(keep.c_str());
  }
  static bool DetailHas(const std::string& text) { return S(ErrDetail()).find(text) != std::string::npos; }
  // Makes the node with this text the current node.
  static void CurrentNode(const char* text) {
    const u16 i = SiteTreeAddNode(kSiteNone, L(text), 0, kSiteTextWidth);
    ASSERT_NE(i, kSiteNone);
    *SiteCursorGet() = SiteTreeAt(i);
  }
};

}  // namespace

TEST_F(PageTreeTest, LoadsLevelsLinksAndWalksInPreOrder) {
  const WorkMarkId m0 = WorkMark(kMarkQuery);
  ASSERT_EQ(SiteTreeLoad(Tree("t.txt", "home,frame.html\r\n\tproducts\n\t\twidget,2\r\tcontact,/cgi/contact;3\r\n"),
                         kSiteTextWidth), 0);
  EXPECT_EQ(WorkMark(kMarkQuery) - m0, 4);  // one scratch entry per node
  EXPECT_EQ(StoreCount(kGroupLineQueue), 0);
  EXPECT_EQ(Name(3), "contact,/cgi/contact;3");
  EXPECT_EQ(Node(3).text.len, 384);
  EXPECT_EQ(Node(3).parent, 0);
  EXPECT_EQ(Node(3).prev_sibling, 1);
  EXPECT_EQ(Walk(), "0:0 1:1 2:1 3:-1 end:-1 ");
  EXPECT_EQ(SiteTreeNext(1, 0).index, 3);  // without descending the children are skipped

  SiteTreeFree();
  EXPECT_EQ(WorkMark(kMarkQuery), m0);
  EXPECT_EQ(ValTabInfo(kTabNodes, kValTabCount), 0);
  EXPECT_EQ(SiteTreeRoot(), kSiteNone);

  ASSERT_EQ(SiteTreeLoad(Tree("u.txt", "home\n\tproducts\n\t\twidget\ncontact\n"), kSiteTextWidth), 0);
  EXPECT_EQ(Walk(), "0:0 1:1 2:1 3:-2 end:0 ");
  SiteTreeFree();
  ASSERT_EQ(SiteTreeLoad(Tree("v.txt", "a\n\tb\n\t\tc\n\t\t\td\ne\n\tf\n\t\tg"), kSiteTextWidth), 0);
  EXPECT_EQ(Walk(), "0:0 1:1 2:1 3:1 4:-3 5:1 6:1 end:-2 ");
  SiteTreeFree();
  ASSERT_EQ(SiteTreeLoad(Tree("w.txt", "only"), kSiteTextWidth), 0);
  EXPECT_EQ(Walk(), "0:0 end:0 ");
  EXPECT_EQ(SiteTreeAt(kSiteNone).depth_change, kSiteNone);
  EXPECT_EQ(SiteTreeAt(7).record, nullptr);
}

TEST_F(PageTreeTest, EmptyLinesTabsInTextAndWidths) {
  const std::string longer(500, 'x');
  ASSERT_EQ(SiteTreeLoad(Tree("t.txt", "\n\tunder empty\n   \n\tx\tpart\n" + longer + "\n"), kSiteTextWidth), 0);
  EXPECT_EQ(Name(0), "");
  EXPECT_EQ(Node(1).parent, 0);
  EXPECT_EQ(Node(2).prev_sibling, 0);
  // A TAB inside the text counts as a level and costs a leading character.
  EXPECT_EQ(Node(3).parent, 2);
  EXPECT_EQ(Name(3), "\tpart");
  EXPECT_EQ(S(Node(4).text), longer.substr(0, 384));

  ASSERT_EQ(SiteTreeAddNode(4, L("abcdefghij"), 0, kSiteWidthAuto), 5);
  EXPECT_EQ(S(Node(5).text), "abcdefghij     ");
  EXPECT_EQ(SiteTreeAddNode(99, L("x"), 1, 10), kSiteNone);
  EXPECT_EQ(SiteTreeCount(), 6);
}

TEST_F(PageTreeTest, DeeperJumpsBecomeChildrenOfTheLineBefore) {
  // An indented first line is top-level; a line with more TABs than levels
  // exist stays inside the level table.
  const std::string deep(500, '\t');
  ASSERT_EQ(SiteTreeLoad(Tree("t.txt", "\t\tfirst\n\t\t\tb\n\tc\nd\n" + deep + "e\n\tf\n"), kSiteTextWidth), 0);
  EXPECT_EQ(Name(0), "first");
  EXPECT_EQ(Name(1), "b");
  EXPECT_EQ(Name(4), "e");
  EXPECT_EQ(Walk(), "0:0 1:1 2:0 3:-1 4:1 5:0 end:-1 ");
}

TEST_F(PageTreeTest, SecondLoadAppendsAndOneFreeReleasesBoth) {
  const WorkMarkId m0 = WorkMark(kMarkQuery);
  ASSERT_EQ(SiteTreeLoad(Tree("a.txt", "a\n\tb\n"), kSiteTextWidth), 0);
  ASSERT_EQ(SiteTreeLoad(Tree("c.txt", "c\n\td\n"), kSiteTextWidth), 0);
  EXPECT_EQ(Node(2).prev_sibling, kSiteNone);
  EXPECT_EQ(Node(3).parent, 2);
  SiteTreeFree();
  EXPECT_EQ(WorkMark(kMarkQuery), m0);
  const StrSlice mine = vk::StrDup(L("kept"));
  SiteTreeFree();  // without a tree nothing of the caller's goes
  EXPECT_EQ(WorkTop().ptr, mine.ptr);
}

TEST_F(PageTreeTest, FailedLoadsLeaveNothingAndSayWhy) {
  EXPECT_EQ(SiteTreeLoad(Path("missing.txt"), kSiteTextWidth), kLineLoadFailed);
  EXPECT_TRUE(DetailHas(dir + "/missing.txt: not found"));
  EXPECT_EQ(SiteTreeLoad(Tree("empty.txt", ""), kSiteTextWidth), kLineLoadFailed);
  EXPECT_TRUE(DetailHas("empty.txt: no lines"));
  std::string lines;
  for (int i = 0; i < 2100; ++i) lines += "n\n";
  EXPECT_EQ(SiteTreeLoad(Tree("many.txt", lines), kSiteTextWidth), kLineLoadFailed);
  EXPECT_TRUE(DetailHas("many.txt: more lines or text than the line queue holds"));

  const WorkMarkId m0 = WorkMark(kMarkQuery);
  lines.clear();
  for (int i = 0; i < 200; ++i) lines += "page\n\tchild\n";
  EXPECT_EQ(SiteTreeLoad(Tree("big.txt", lines), kSiteTextWidth), kErrOutOfMemory);
  EXPECT_TRUE(DetailHas("big.txt, line "));
  EXPECT_TRUE(DetailHas("more nodes than the scratch stack holds"));
  EXPECT_EQ(SiteTreeCount(), 0);
  EXPECT_EQ(ValTabInfo(kTabNodes, kValTabCount), 0);
  EXPECT_EQ(StoreCount(kGroupLineQueue), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), m0);
  // The failure does not keep a tree that fits from loading.
  EXPECT_EQ(SiteTreeLoad(Tree("small.txt", "a\n\tb\n"), kSiteTextWidth), 0);
}

TEST_F(PageTreeTest, NodeOptionsByKind) {
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "");  // no current node

  CurrentNode("news, news.html;3;/ext/link ,more");
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "news.html");
  EXPECT_EQ(S(SiteNodeOption(kOptLink)), "/ext/link");
  EXPECT_EQ(S(SiteNodeOption(kOptPageMode)), "3");

  CurrentNode("news,'a.htm';b.htm;Y;0;");
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "0");  // "0" is no page mode
  EXPECT_EQ(S(SiteNodeOption(kOptPageMode)), "Y");
  EXPECT_EQ(S(SiteNodeOption(kOptLink)), "");

  // An empty entry names nothing and does not hide the one before it.
  CurrentNode("news,b.htm;");
  EXPECT_EQ(S(SiteNodeOption(kOptTemplate)), "b.htm");
}

// A scratch stack large enough that the node table is the limit.
struct LargeTreeTest : PageTreeTest {
  void SetUp() override {
    MemSetLimits(4096, kKeepLimit, kKeepLimit);
    PageTreeTest::SetUp();
  }
};

TEST_F(LargeTreeTest, TooManyNodesForTheNodeTableFailCleanly) {
  const WorkMarkId m0 = WorkMark(kMarkQuery);
  std::string lines;
  for (int i = 0; i < 1500; ++i) lines += "n\n";
  ASSERT_EQ(SiteTreeLoad(Tree("half.txt", lines), kSiteTextWidth), 0);
  EXPECT_EQ(SiteTreeLoad(Path("half.txt"), kSiteTextWidth), kErrOutOfMemory);
  EXPECT_TRUE(DetailHas("half.txt, line " + std::to_string(kSiteMaxNodes - 1500 + 1) +
                        ": more nodes than the node table holds"));
  EXPECT_EQ(ValTabInfo(kTabNodes, kValTabCount), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), m0);
}
