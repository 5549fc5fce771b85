#include "sitegen/trail.h"

#include "page_fixture.h"
#include "runtime/list.h"

using namespace vk;

namespace {

struct TrailTest : SitePageTest {
  // The language file as the run leaves it: key:value lines joined by ':'.
  static void Names(const char* list) { ASSERT_EQ(StorePush(kGroupParamLists, L(list)), 0); }
};

TEST_F(TrailTest, TrailKeepsOneItemPerComponent) {
  Names("products:'Productos':tools:'Herramientas':hammer:'Martillo'");
  ASSERT_EQ(StoreSet(kGroupRun, kRunPagePath, L("products\\tools\\hammer")), 0);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(SiteGenBuildTrail(), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(S(StoreGet(kGroupRun, kRunTrail)), "Productos,Herramientas,Martillo");

  // Commas and unclosed quotes of a translation become references; a quoted
  // stretch with its comma stays, since the list split keeps it whole.
  EXPECT_EQ(StorePop(kGroupParamLists), 0);
  Names("products:'Tools, hand':tools:\"L'atelier\":hammer:'say \"a,b\" now'");
  EXPECT_EQ(SiteGenBuildTrail(), 0);
  const StrSlice trail = StoreGet(kGroupRun, kRunTrail);
  EXPECT_EQ(S(trail), "Tools&#44; hand,L&#39;atelier,say \"a,b\" now");
  EXPECT_EQ(ListCount(trail, ','), 3);
  EXPECT_EQ(S(ListItem(trail, ',', 3)), "say \"a,b\" now");

  // Missing names show with blanks; a one-level path is one item.
  ASSERT_EQ(StoreSet(kGroupRun, kRunPagePath, L("about_us")), 0);
  EXPECT_EQ(SiteGenBuildTrail(), 0);
  EXPECT_EQ(S(StoreGet(kGroupRun, kRunTrail)), "about us");
}

}  // namespace
