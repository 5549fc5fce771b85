// The program's options and how they fill the dialog.
#include "app/options.h"

#include "app_fixture.h"

using namespace vk;

namespace {

int Parse(std::vector<const char*> args, AppOptions* out) {
  args.insert(args.begin(), "vellumcraft");
  return AppParseOptions(static_cast<int>(args.size()), args.data(), out);
}

TEST(AppOptions, ValuesAfterBlankOrEqualsAndFreeArguments) {
  AppOptions o;
  ASSERT_EQ(Parse({"--no-window", "--frame", "a b/frame.html", "--tree=t.txt", "htmlpath=x", "--values", "",
                   "--lang", "EN,es", "--overwrite=2 hours", "--delete"},
                  &o),
            kExitOk);
  EXPECT_TRUE(o.no_window);
  EXPECT_STREQ(o.frame, "a b/frame.html");
  EXPECT_STREQ(o.tree, "t.txt");
  EXPECT_STREQ(o.values, "");
  EXPECT_TRUE(o.lang_given);
  EXPECT_EQ(o.lang_mask, 0x03);
  EXPECT_EQ(o.overwrite, 1);
  EXPECT_STREQ(o.window, "2 hours");
  EXPECT_TRUE(o.deletion);

  ASSERT_EQ(Parse({"--overwrite", "all", "--no-overwrite", "--lang", "it,DE,fr"}, &o), kExitOk);
  EXPECT_EQ(o.overwrite, 0);
  EXPECT_EQ(o.lang_mask, 0x1C);
  EXPECT_FALSE(o.no_window);
  EXPECT_EQ(o.frame, nullptr);
}

TEST(AppOptions, UnusableOptions) {
  AppOptions o;
  EXPECT_EQ(Parse({"--frobnicate"}, &o), kExitBadOptions);
  EXPECT_NE(std::string(o.error).find("--frobnicate"), std::string::npos);
  EXPECT_EQ(Parse({"--tree"}, &o), kExitBadOptions);
  EXPECT_EQ(Parse({"--lang", "en,pt"}, &o), kExitBadOptions);
  EXPECT_EQ(Parse({"--overwrite="}, &o), kExitBadOptions);
  EXPECT_EQ(Parse({"--help"}, &o), kExitOk);
  EXPECT_TRUE(o.help);
}

struct OptionsApplyTest : AppTest {};

TEST_F(OptionsApplyTest, TimeWindowLabelsAndTheDialog) {
  // Each label picks its place in the combo's list, and the usage names it
  // exactly, in quotes (the points are part of the labels).
  const char* const labels[] = {"All Files", "2 Min.",   "10 Min", "30 Min.", "1 Hour", "2 Hours",
                                "6 Hours",   "12 Hours", "1 Day",  "2 Days",  "7 Days"};
  const std::string usage = kAppUsage;
  for (i16 k = 0; k < 11; ++k) {
    EXPECT_EQ(AppWindowIndex(labels[k]), k) << labels[k];
    EXPECT_NE(usage.find(std::string("\"") + labels[k] + "\""), std::string::npos) << labels[k] << "\n" << usage;
  }
  EXPECT_NE(usage.find("\"All Files\" (or all)"), std::string::npos) << usage;
  EXPECT_EQ(AppWindowIndex("all"), 0);
  EXPECT_EQ(AppWindowIndex("ALL"), 0);
  EXPECT_EQ(AppWindowIndex("2 hours"), 5);
  EXPECT_EQ(AppWindowIndex("2 Min"), -2);
  EXPECT_EQ(AppWindowIndex("10 Min."), -2);
  EXPECT_EQ(AppWindowIndex("3 Hours"), -2);

  // The options win over "config.txt"; what they do not name stays.
  Write("config.txt", "cfg/frame.html\r\ncfg/tree.txt\r\ncfg/macros.txt\r\n");
  CVellumcraftDlg dlg;
  DlgConstruct(&dlg, nullptr);
  OnInitDialog(&dlg);
  AppOptions o;
  const std::vector<const char*> args = {"vellumcraft", "--tree", "other/tree.txt", "--lang", "es", "--overwrite",
                                         "1 day", "--delete", "--values", "m\xC3\xA1s.txt"};
  ASSERT_EQ(AppParseOptions(static_cast<int>(args.size()), args.data(), &o), kExitOk);
  ASSERT_EQ(AppApplyOptions(&dlg, &o), kExitOk);
  EXPECT_EQ(Field(dlg.frame), "cfg/frame.html");
  EXPECT_EQ(Field(dlg.tree), "other/tree.txt");
  EXPECT_EQ(Field(dlg.values), "m\xE1s.txt");  // UTF-8 made 8-bit
  EXPECT_TRUE(dlg.spanish);
  EXPECT_FALSE(dlg.english);
  EXPECT_TRUE(dlg.overwrite);
  EXPECT_TRUE(dlg.deletion);

  const std::vector<const char*> bad = {"vellumcraft", "--overwrite", "3 Hours"};
  ASSERT_EQ(AppParseOptions(static_cast<int>(bad.size()), bad.data(), &o), kExitOk);
  EXPECT_EQ(AppApplyOptions(&dlg, &o), kExitBadOptions);
  EXPECT_NE(std::string(o.error).find("3 Hours"), std::string::npos);
}

}  // namespace
