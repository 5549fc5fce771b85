// The main dialog's logic over a recording view and the fake backend:
// "config.txt", the paths, the overwrite rule, whole runs of the example
// site, refusals, re-entry and cancel.
#include "app/maindlg.h"

#include <sstream>

#include "app/options.h"
#include "app_fixture.h"
#include "platform/fake_backend.h"
#include "platform/ui_fixture.h"
#include "runtime/error.h"
#include "runtime/progress.h"
#include "runtime/scratch.h"

using namespace vk;

namespace {

// Controls of their own, so that what the view shows and what the members
// hold can differ, as in a window.
struct TestView {
  CVellumcraftDlg controls;  // only the fields and boxes are used
  std::vector<std::string> labels;
  std::string window;  // the combo's text, picked or typed
  int busy_on = 0;
  int busy_off = 0;
};

TestView* Of(void* ctx) { return static_cast<TestView*>(ctx); }

void CopyState(CVellumcraftDlg* to, const CVellumcraftDlg* from) {
  to->frame = from->frame;
  to->tree = from->tree;
  to->values = from->values;
  to->german = from->german;
  to->english = from->english;
  to->spanish = from->spanish;
  to->french = from->french;
  to->italian = from->italian;
  to->overwrite = from->overwrite;
  to->deletion = from->deletion;
  to->written = from->written;
  to->avoids = from->avoids;
}

void Exchange(void* ctx, CVellumcraftDlg* dlg, bool save) {
  if (save) {
    CopyState(dlg, &Of(ctx)->controls);
  } else {
    CopyState(&Of(ctx)->controls, dlg);
  }
}
void Reset(void* ctx) { Of(ctx)->labels.clear(); }
void Add(void* ctx, StrSlice label) { Of(ctx)->labels.emplace_back(label.ptr, label.len); }
void Text(void* ctx, DlgField* text) { SetField(text, Of(ctx)->window); }
void Select(void* ctx, i16 index) {
  TestView* v = Of(ctx);
  v->window = index >= 0 && index < static_cast<int>(v->labels.size()) ? v->labels[index] : "";
}
void Busy(void* ctx, bool busy) { ++(busy ? Of(ctx)->busy_on : Of(ctx)->busy_off); }

struct MainDlgTest : AppTest {
  TestView view;
  CVellumcraftDlg dlg;
  std::string site;

  void SetUp() override {
    AppTest::SetUp();
    if (HasFatalFailure()) return;
    FakeUiInstall();
    const DlgView v = {&view, Exchange, Reset, Add, Text, Select, Busy};
    DlgConstruct(&dlg, &v);
    DlgConstruct(&view.controls, nullptr);
  }
  void TearDown() override {
    AppTest::TearDown();
    UiSetBackend(nullptr);
  }
  FakeUi& ui() { return *FakeUiGet(); }
  CVellumcraftDlg& c() { return view.controls; }

  // The example with its paths typed relative to dir, both languages.
  void TypeExample() {
    site = CopyExample();
    SetField(&c().frame, "site/source/templates/frame.html");
    SetField(&c().tree, "site/source/tree/tree.txt");
    SetField(&c().values, "site/source/macros.txt");
    c().english = c().spanish = true;
  }
  std::string Log() { return Read(site + "/source/templates/Vellumkit.log"); }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }
};

TEST(DlgHelpers, ConfigLinesKeepCommasAndAcceptEveryLineEnd) {
  StrSlice p[3];
  DlgConfigParse(L("a,b/frame.html\r\ntree.txt\nvalues,1.txt"), p);
  EXPECT_EQ(S(p[0]), "a,b/frame.html");
  EXPECT_EQ(S(p[1]), "tree.txt");
  EXPECT_EQ(S(p[2]), "values,1.txt");
  DlgConfigParse(L("f\r\rv\r\nextra\r\n"), p);
  EXPECT_EQ(S(p[0]), "f");
  EXPECT_EQ(S(p[1]), "");
  EXPECT_EQ(S(p[2]), "v");
  DlgConfigParse(L("only\r\n"), p);
  EXPECT_EQ(S(p[0]), "only");
  EXPECT_EQ(S(p[1]), "");
  EXPECT_EQ(S(p[2]), "");
}

TEST_F(MainDlgTest, OutputRootAndAbsolutePaths) {
  EXPECT_EQ(S(DlgOutputRoot(L("\\sites\\mysite\\data\\src\\tree.txt"))), "\\sites\\mysite");
  EXPECT_EQ(S(DlgOutputRoot(L("\\a\\b\\c\\tree.txt"))), "\\a");
  // Fewer than three folders: no root, never the top of the file system.
  EXPECT_EQ(S(DlgOutputRoot(L("\\a\\b\\c\\d\\tree.txt"))), "\\a\\b");
  EXPECT_EQ(S(DlgOutputRoot(L("\\a\\b\\tree.txt"))), "");
  EXPECT_EQ(S(DlgOutputRoot(L("tree.txt"))), "");
  EXPECT_EQ(S(DlgOutputRoot(L("C:\\a\\b\\tree.txt"))), "");

  EXPECT_EQ(S(DlgAbsolutePath(L("site/tree.txt"), L("\\home\\ana"))), "\\home\\ana\\site\\tree.txt");
  EXPECT_EQ(S(DlgAbsolutePath(L("../x/tree.txt"), L("\\home\\ana"))), "\\home\\x\\tree.txt");
  EXPECT_EQ(S(DlgAbsolutePath(L("/srv/tree.txt"), L("\\home\\ana"))), "\\srv\\tree.txt");
  EXPECT_EQ(S(DlgAbsolutePath(L(""), L("\\home\\ana"))), "");

  // Counters show unsigned.
  DlgField f{};
  DlgSetCount(&f, 40000);
  EXPECT_EQ(Field(f), "40000");
}

TEST_F(MainDlgTest, InitReadsConfigAndFillsTheTimeWindows) {
  Write("config.txt", "frame,1.html\r\nsrc/tree.txt\r\nmacros.txt\r\n");
  EXPECT_TRUE(OnInitDialog(&dlg));
  EXPECT_EQ(Field(c().frame), "frame,1.html");
  EXPECT_EQ(Field(c().tree), "src/tree.txt");
  EXPECT_EQ(Field(c().values), "macros.txt");
  const std::vector<std::string> labels = {"All Files", "2 Min.",  "10 Min", "30 Min.", "1 Hour", "2 Hours",
                                           "6 Hours",   "12 Hours", "1 Day",  "2 Days",  "7 Days"};
  EXPECT_EQ(view.labels, labels);
  EXPECT_EQ(view.window, "");
  EXPECT_FALSE(c().english || c().overwrite || c().deletion);
}

TEST_F(MainDlgTest, MissingConfigLeavesTheFieldsEmptyAndRecordsNothing) {
  OnInitDialog(&dlg);
  EXPECT_EQ(Field(c().frame), "");
  EXPECT_EQ(Field(c().tree), "");
  EXPECT_EQ(Field(c().values), "");
  EXPECT_EQ(ErrGet() & 0xFFFF, 0u);
  EXPECT_EQ(S(ErrDetail()), "");
}

TEST_F(MainDlgTest, BrowseSetsItsFieldAndKeepsWhatWasTyped) {
  OnInitDialog(&dlg);
  SetField(&c().tree, "typed/tree.txt");
  c().english = true;
  ui().file_accept = true;
  FakeUiSetFileResult("\\srv\\site\\frame.html");
  OnBrowseFramePage(&dlg);
  EXPECT_EQ(Field(c().frame), "/srv/site/frame.html");
  EXPECT_EQ(Field(c().tree), "typed/tree.txt");
  EXPECT_TRUE(c().english);

  ui().file_accept = false;
  OnBrowseMacroFile(&dlg);
  EXPECT_EQ(Field(c().values), "");
  EXPECT_EQ(Field(c().frame), "/srv/site/frame.html");
  EXPECT_EQ(ui().dialog_count, 2);
  EXPECT_FALSE(ui().last_dialog.save);
}

TEST_F(MainDlgTest, StartWritesTheWholeSiteFromRelativePaths) {
  OnInitDialog(&dlg);
  TypeExample();
  c().overwrite = true;
  view.window = "7 Days";
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(WorkMark(kMarkQuery), mark);
  EXPECT_EQ(Field(c().written), "20");
  EXPECT_EQ(Field(c().avoids), "0");
  EXPECT_EQ(Cwd(), dir);
  EXPECT_EQ(view.busy_on, 1);
  EXPECT_EQ(view.busy_off, 1);
  EXPECT_EQ(ui().box_count, 0);

  for (const std::string& page : ExamplePages()) EXPECT_TRUE(Exists(site + "/" + page)) << page;
  // Nothing is written above the output root.
  EXPECT_FALSE(Exists(dir + "/index_en.html"));
  // The paths are remembered as typed.
  EXPECT_EQ(Read(dir + "/config.txt"),
            "site/source/templates/frame.html\r\nsite/source/tree/tree.txt\r\nsite/source/macros.txt\r\n");

  const std::string home = Read(site + "/index_es.html");
  EXPECT_NE(home.find("<html lang=\"es\">"), std::string::npos);
  EXPECT_NE(home.find("Bienvenido al sitio de ejemplo"), std::string::npos);
  EXPECT_NE(home.find("P&aacute;ginas en cada idioma: 10; p&aacute;ginas en todos los idiomas: 20."),
            std::string::npos);
  EXPECT_NE(home.find("<code>_es</code>"), std::string::npos);
  EXPECT_NE(home.find("&copy; 2024 The Vellumcraft example team"), std::string::npos);
  const std::string gadget = Read(site + "/products/widgets/gadget_en.html");
  EXPECT_NE(gadget.find("<a href=\"/index_en.html\">Home</a>"), std::string::npos);

  EXPECT_EQ(Read(site + "/index.html.var"),
            "URI: index\n\nURI: index_en.html\nContent-type: text/html\nContent-language: en\n\n"
            "URI: index_es.html\nContent-type: text/html\nContent-language: es\n\n");
  const std::string menu = Read(site + "/source/templates/Vellumcraft_hmenu_en.txt");
  EXPECT_EQ(menu.rfind("<ul id=\"navbar\">\r\n<li><a href=\"/index_en.html\">Home</a></li>\r\n", 0), 0u);
  EXPECT_NE(menu.find("\t<li><a href=\"/products/widgets/index_en.html\">Widgets</a>"), std::string::npos);
  // The menu ends before the site map.
  EXPECT_EQ(menu.find("sitemap"), std::string::npos);
  EXPECT_TRUE(Exists(site + "/source/templates/Vellumcraft_vmenu_es.txt"));
  EXPECT_EQ(Count(Log(), "Creating File:"), 20);
  EXPECT_EQ(Count(Log(), "...OK"), 20);
}

TEST_F(MainDlgTest, OverwriteRuleFromTheBoxesAndTheTimeWindow) {
  OnInitDialog(&dlg);
  TypeExample();
  ASSERT_EQ(OnStart(&dlg), 0);
  ASSERT_EQ(Field(c().written), "20");

  // "Overwrite" not ticked: every existing page is kept.
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "0");
  EXPECT_EQ(Field(c().avoids), "20");
  EXPECT_EQ(Count(Log(), "(Overwrite Off)"), 20);

  // Pages an hour old, a window of 10 minutes: kept; an empty time window
  // counts as "All Files".
  for (const std::string& page : ExamplePages()) Age(site + "/" + page, 60);
  c().overwrite = true;
  view.window = "10 Min";
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "0");
  EXPECT_EQ(Field(c().avoids), "20");
  view.window = "6 Hours";
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "20");
  for (const std::string& page : ExamplePages()) Age(site + "/" + page, 60);
  view.window = "";
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "20");
  EXPECT_EQ(Field(c().avoids), "0");

  // Deletion: the pages the rule lets through are deleted.
  c().deletion = true;
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "20");
  for (const std::string& page : ExamplePages()) EXPECT_FALSE(Exists(site + "/" + page)) << page;
  EXPECT_TRUE(Exists(site + "/index.html.var"));
}

// A typed time window is taken as a label; with Overwrite ticked one that
// is no label refuses the run before anything is written or deleted, as
// the command line refuses it. Without Overwrite the window plays no part.
TEST_F(MainDlgTest, TypedTimeWindowIsALabelOrRefusedWithDeletion) {
  const struct {
    const char* typed;
    bool overwrite;
    u16 result;
    const char* counts;  // "" when no run took place
    bool fresh_kept;     // the English pages, just written
    bool old_kept;       // the Spanish pages, five hours old
  } cases[] = {
      {"3 Hours", true, kErrData, "", true, true},
      {"2 Hours", true, 0, "10/10", false, true},
      {"2 hours", true, 0, "10/10", false, true},
      {"", false, 0, "0/20", true, true},
      {"3 Hours", false, 0, "0/20", true, true},
  };
  OnInitDialog(&dlg);
  for (const auto& k : cases) {
    const std::string row = std::string("\"") + k.typed + "\" overwrite " + (k.overwrite ? "on" : "off");
    fs::remove_all(dir + "/site");
    TypeExample();
    c().overwrite = c().deletion = false;
    view.window = "";
    ASSERT_EQ(OnStart(&dlg), 0) << row;
    for (const std::string& page : ExamplePages()) {
      if (page.find("_es.") != std::string::npos) Age(site + "/" + page, 300);
    }
    Write("config.txt", "old\r\n");
    SetField(&c().written, "");
    SetField(&c().avoids, "");
    const u16 boxes = ui().box_count;

    c().overwrite = k.overwrite;
    c().deletion = true;
    view.window = k.typed;
    EXPECT_EQ(OnStart(&dlg), k.result) << row;
    EXPECT_EQ(Field(c().written) + (k.result ? "" : "/" + Field(c().avoids)), k.counts) << row;
    for (const std::string& page : ExamplePages()) {
      const bool old = page.find("_es.") != std::string::npos;
      EXPECT_EQ(Exists(site + "/" + page), old ? k.old_kept : k.fresh_kept) << row << " " << page;
    }
    if (k.result) {
      EXPECT_EQ(ui().box_count, boxes + 1) << row;
      const std::string box = T(ui().last_box.text);
      EXPECT_NE(box.find(k.typed), std::string::npos) << box;
      EXPECT_NE(box.find(kAppWindowLabels), std::string::npos) << box;
      EXPECT_EQ(Read("config.txt"), "old\r\n") << row;
    } else {
      EXPECT_EQ(ui().box_count, boxes) << row;
    }
  }
}

TEST_F(MainDlgTest, MacroValuesOfEveryLineEndAndAMissingFile) {
  OnInitDialog(&dlg);
  TypeExample();
  Write(site + "/source/macros.txt", "YEAR=1999\r\nOWNER='Ana'\nX=1");
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_NE(Read(site + "/index_en.html").find("&copy; 1999 Ana</small>"), std::string::npos);

  // A missing macro value file: the run goes on without macro values.
  SetField(&c().values, "site/source/absent.txt");
  c().overwrite = true;
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "20");
  EXPECT_EQ(Read(site + "/index_en.html").find("1999"), std::string::npos);
}

// The macro value file and a language file are each one parameter text,
// their lines joined by ':': a value ends at a blank, ':', '&' or '/'
// outside quotes and is upper-cased unless it was quoted or trimmed, and
// the first of a key given twice wins. A quote a line leaves open ends
// with it: that line reads as it would at the end of the file, and the
// lines after it are read.
TEST_F(MainDlgTest, MacroAndLanguageFilesReadAsParameterTexts) {
  struct Case {
    const char* line;
    const char* pairs[2][2];  // key and value; a missing key has none
  } const cases[] = {
      {"COLOR=red SIZE=12", {{"COLOR", "RED"}, {"SIZE", "12"}}},
      {"LINK=home.html:LABEL=Start", {{"LINK", "HOME.HTML"}, {"LABEL", "START"}}},
      {"Q=a&R=b", {{"Q", "A"}, {"R", "B"}}},
      {"E=\"quoted value\" F=two", {{"E", "quoted value"}, {"F", "TWO"}}},
      {"about=About:contact=Contact", {{"contact", "CONTACT"}}},
      {"TIME=10:30 URL=http://x/a", {{"TIME", "10"}, {"URL", "HTTP"}}},
      // The line's last word is a key, the next line its value.
      {"CITY=New York", {{"CITY", "NEW"}, {"York", "KEY="}}},
      {"KEY= value", {{"KEY", ""}}},
      {"PATH1=/x/y", {{"PATH1", ""}}},
      {"\tTAB=y", {{"TAB", nullptr}}},
      {"DUP=first", {{"DUP", "FIRST"}}},
      {"DUP=second", {}},
      {"NAME=O'Brien", {{"NAME", "O'BRIEN"}}},
      {"AFTER=x", {{"AFTER", "X"}}},
      {"TITLE=it's here", {{"TITLE", "IT'S HERE"}}},
      {"# Bob's notes: NOTE=hidden", {{"NOTE", nullptr}}},
      {"N='abc", {{"N", "'ABC"}}},
      {"OWNER='Ana\"s' LAST=\"O'Brien\"", {{"OWNER", "Ana\"s"}, {"LAST", "O'Brien"}}},
  };
  OnInitDialog(&dlg);
  TypeExample();
  c().spanish = false;
  std::string text, frame;
  for (const Case& k : cases) {
    text += std::string(k.line) + (text.size() % 2 ? "\r\n" : "\n");
    for (const auto& kv : k.pairs) {
      if (kv[0]) frame += std::string("[") + kv[0] + "]|[LANG('" + kv[0] + "')]\n";
    }
  }
  Write(site + "/source/tree/tree.txt", "index\n");
  Write(site + "/source/tree/tree_en.txt", text);
  Write(site + "/source/macros.txt", text);
  Write(site + "/source/templates/frame.html", frame);
  ASSERT_EQ(OnStart(&dlg), 0);
  std::istringstream page(Read(site + "/index_en.html"));
  for (const Case& k : cases) {
    for (const auto& kv : k.pairs) {
      if (!kv[0]) continue;
      std::string got;
      std::getline(page, got);
      // LANG shows a key it does not find, or finds empty, as the key.
      const std::string value = kv[1] ? kv[1] : "";
      EXPECT_EQ(got, value + "|" + (value.empty() ? kv[0] : value)) << k.line;
    }
  }
}

TEST_F(MainDlgTest, MissingPathShowsMessage1001AndChangesNothing) {
  Write("config.txt", "old\r\n");
  OnInitDialog(&dlg);
  TypeExample();
  SetField(&c().tree, "");
  EXPECT_EQ(OnStart(&dlg), kErrData);
  EXPECT_EQ(ui().box_count, 1);
  EXPECT_EQ(T(ui().last_box.text), "Frame page and tree file are required");
  EXPECT_EQ(ui().last_box.type & kUiMbIconMask, kUiMbIconWarning);
  EXPECT_EQ(Read("config.txt"), "old\r\n");
  EXPECT_FALSE(Exists(site + "/index_en.html"));
  EXPECT_EQ(Field(c().written), "");

  SetField(&c().tree, "site/source/tree/tree.txt");
  SetField(&c().frame, "");
  EXPECT_EQ(OnStart(&dlg), kErrData);
  EXPECT_EQ(ui().box_count, 2);
  EXPECT_EQ(Read("config.txt"), "old\r\n");
}

TEST_F(MainDlgTest, LanguageModuleOverridesMessage1001) {
  LoadModule({"1001 Faltan la p\xE1gina marco y el \xE1rbol"});
  OnInitDialog(&dlg);
  EXPECT_EQ(OnStart(&dlg), kErrData);
  EXPECT_EQ(T(ui().last_box.text), "Faltan la pagina marco y el arbol");
}

TEST_F(MainDlgTest, ShallowTreeIsRefusedBeforeAnythingIsWritten) {
  OnInitDialog(&dlg);
  Write("frame.html", "x\n");
  SetField(&c().frame, "frame.html");
  SetField(&c().tree, "/srv/tree.txt");
  EXPECT_EQ(OnStart(&dlg), kErrData);
  EXPECT_EQ(ui().box_count, 1);
  EXPECT_NE(T(ui().last_box.text).find("/srv/tree.txt"), std::string::npos);
  EXPECT_EQ(Cwd(), dir);
  EXPECT_EQ(view.busy_on, 0);
  EXPECT_FALSE(Exists("Vellumkit.log"));
}

TEST_F(MainDlgTest, ConfigIsReplacedWhole) {
  Write("config.txt", std::string(3000, 'x') + "\r\n");
  OnInitDialog(&dlg);
  TypeExample();
  ASSERT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Read("config.txt"),
            "site/source/templates/frame.html\r\nsite/source/tree/tree.txt\r\nsite/source/macros.txt\r\n");
}

TEST_F(MainDlgTest, ConfigThatCannotBeSavedIsToldAndTheRunGoesOn) {
  // A folder of the name: the file cannot be replaced.
  fs::create_directory(dir + "/config.txt");
  OnInitDialog(&dlg);
  TypeExample();
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(ui().box_count, 1);
  EXPECT_EQ(T(ui().last_box.text), "Error Fichero I/O(Streams): config.txt");
  EXPECT_EQ(ui().last_box.type & kUiMbIconMask, kUiMbIconWarning);
  EXPECT_EQ(S(ErrDetail()), "");
  EXPECT_EQ(Field(c().written), "20");
}

struct PumpWatch {
  CVellumcraftDlg* dlg;
  int pumps;
  u16 second;
};

// At the third node: a second Start, then Cancel in the progress window.
void CancelAtThirdNode(void* ctx) {
  auto* w = static_cast<PumpWatch*>(ctx);
  if (++w->pumps != 3) return;
  w->second = OnStart(w->dlg);
  FakeUiClick(FakeUiChild(ProgressStateGet()->window, kProgressCancelId));
}

TEST_F(MainDlgTest, SecondStartIsRefusedAndCancelEndsTheRun) {
  OnInitDialog(&dlg);
  TypeExample();
  PumpWatch watch{&dlg, 0, 0};
  ui().on_pump = CancelAtThirdNode;
  ui().on_pump_ctx = &watch;
  EXPECT_EQ(OnStart(&dlg), kErrCancelled);
  ui().on_pump = nullptr;
  EXPECT_EQ(watch.second, kDlgBusy);
  EXPECT_FALSE(dlg.running);
  EXPECT_EQ(view.busy_on, 1);
  EXPECT_EQ(view.busy_off, 1);
  EXPECT_EQ(ui().box_count, 1);
  EXPECT_NE(T(ui().last_box.text).find("Cancelado por el usuario"), std::string::npos);
  // The pages before the cancel stay; the counts say how many.
  EXPECT_TRUE(Exists(site + "/index_en.html"));
  EXPECT_TRUE(Exists(site + "/about/index_en.html"));
  EXPECT_FALSE(Exists(site + "/about/history_en.html"));
  EXPECT_EQ(Field(c().written), "2");
  EXPECT_EQ(Cwd(), dir);

  // The dialog is usable again: the two pages kept, the rest created.
  EXPECT_EQ(OnStart(&dlg), 0);
  EXPECT_EQ(Field(c().written), "18");
  EXPECT_EQ(Field(c().avoids), "2");
}

}  // namespace
