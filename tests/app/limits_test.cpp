// The limits that docs/guide.md's table "9. Limits" states, measured
// through the program without a window: for each row, the value the table
// gives works and the next one does not. The numbers are read from the
// guide itself, so the table cannot drift from the program. When a row does
// not hold, the largest value that works is searched and named.
//
// Limits of the variable store depend on the command line the program keeps
// there (its path and arguments): the guide states them for the command
// line "/usr/bin/vellumcraft --no-window --lang en --overwrite all", and
// each byte more of it takes one byte from them (half a byte from a text
// the store keeps twice).
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr char kGuide[] = VK_EXAMPLES_DIR "/../docs/guide.md";
constexpr char kArgs[] = "--no-window --lang en --overwrite all";
constexpr size_t kGuideCommandLine = sizeof "/usr/bin/vellumcraft --no-window --lang en --overwrite all" - 1;

using Files = std::map<std::string, std::string>;

// The limit cell of the guide's limits row whose first cell is `what`.
std::string LimitCell(const std::string& guide, const std::string& what) {
  std::istringstream in(guide.substr(std::min(guide.size(), guide.find("\n## 9. Limits"))));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("| " + what + " |", 0) == 0) return line.substr(what.size() + 4);
  }
  return "";
}

// The numbers of a text in order, without sign, their ',' and '.' dropped
// ("60,942" is 60942, "1.07" is 107).
std::vector<uint64_t> Numbers(const std::string& text) {
  std::vector<uint64_t> out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (!isdigit(static_cast<unsigned char>(text[i]))) continue;
    uint64_t n = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      const bool inner =
          (c == ',' || c == '.') && i + 1 < text.size() && isdigit(static_cast<unsigned char>(text[i + 1]));
      if (isdigit(static_cast<unsigned char>(c))) {
        n = n * 10 + static_cast<uint64_t>(c - '0');
      } else if (!inner) {
        break;
      }
    }
    out.push_back(n);
  }
  return out;
}

// A number of hundredths as the program writes it: no leading zero, no
// trailing zero decimals.
std::string Hundredths(uint64_t n) {
  std::string s = n / 100 ? std::to_string(n / 100) : "";
  const uint64_t cents = n % 100;
  if (cents) s += "." + std::string(cents < 10 ? "0" : "") + std::to_string(cents % 10 ? cents : cents / 10);
  return s;
}

std::string Repeat(const std::string& s, uint64_t n) {
  std::string out;
  for (uint64_t i = 0; i < n; ++i) out += s;
  return out;
}

// A site like the guide's examples in dir/site, run as they are.
struct LimitsTest : InTempDir<::testing::Test> {
  std::string site;
  size_t command_line = 0;  // the bytes of the command line the program keeps

  void SetUp() override {
    InTempDir::SetUp();
    site = dir + "/site";
    command_line = fs::canonical(VK_APP_EXE).string().size() + 1 + sizeof kArgs - 1;
  }
  // The site afresh: config.txt, the tree `index` and a frame page, then files.
  void Make(const Files& files) {
    fs::remove_all(site);
    Files all = {{"config.txt", "source/templates/frame.html\nsource/tree/tree.txt\nsource/macros.txt\n"},
                 {"source/tree/tree.txt", "index\n"},
                 {"source/templates/frame.html", "<p>page</p>\n"}};
    for (const auto& [name, bytes] : files) all[name] = bytes;
    for (const auto& [name, bytes] : all) {
      fs::create_directories((fs::path(site) / name).parent_path());
      Write(site + "/" + name, bytes);
    }
  }
  // Whether the program, run in the site, ends well.
  bool Ok(const Files& files) {
    Make(files);
    const std::string cmd = "cd '" + site + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" VK_APP_EXE "' " + kArgs +
                            " >/dev/null 2>&1 </dev/null";
    const int st = std::system(cmd.c_str());
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
  }
  std::string Page(const std::string& rel = "index_en.html") const { return Read(site + "/" + rel); }
  bool LanguageUsed() const {
    return Read(site + "/source/templates/Vellumkit.log").find("Skipping Language:") == std::string::npos;
  }
};

// One row of the guide's table and how to try a value of it.
struct Limit {
  const char* what;  // the row's first cell
  size_t nth;        // which number of its limit cell
  uint64_t copies;   // a limit of the variable store, kept there this many times; 0 for none
  uint64_t lo, hi;   // a value that works and one that does not, for the search
  bool (*works)(LimitsTest&, uint64_t n);
};

// LANG_SEL's flag for a page named name below RELPATH$ 'r' x 99.
std::string Flag(const std::string& name) {
  const std::string rel = "/" + std::string(99, 'r');
  return "<a href=\"" + rel + "/" + name + "_en.html\"><img border=\"0\" src=\"" + rel +
         "/images/lang_en.gif\" width=\"20\"></a>\r\n";
}
std::string Login(const std::string& link) {
  return "<a href=\"" + link + "&lang=en\" style=\"text-decoration:none\">login</a>&nbsp;";
}
// The config.txt whose file number k (0 frame page, 2 macro value file) has
// the full path of n bytes, made longer by '/' before its name.
std::string ConfigWithPath(const LimitsTest& t, int k, uint64_t n) {
  std::string paths[] = {"source/templates/frame.html", "source/tree/tree.txt", "source/macros.txt"};
  const size_t now = t.site.size() + 1 + paths[k].size();
  if (n < now) return "";
  paths[k].insert(paths[k].rfind('/'), n - now, '/');
  return paths[0] + "\n" + paths[1] + "\n" + paths[2] + "\n";
}

// A folder below dir/long whose path is n bytes (n > the base's length + 1).
std::string LongFolder(const LimitsTest& t, uint64_t n) {
  std::string path = t.dir + "/long";
  for (uint64_t left = n - path.size(); left > 0;) {
    uint64_t k = std::min<uint64_t>(200, left - 1);
    if (left - (k + 1) == 1) --k;  // no piece may be left without a name
    path += "/" + std::string(k, 'd');
    left -= k + 1;
  }
  return path;
}

const Limit kLimits[] = {
    {"pages in a tree", 0, 0, 1, 2048,
     [](LimitsTest& t, uint64_t n) { return t.Ok({{"source/tree/tree.txt", "index\n" + std::string(n - 1, '\n')}}); }},
    {"levels of nesting", 0, 0, 1, 384,
     [](LimitsTest& t, uint64_t n) {
       std::string tree;
       for (uint64_t i = 0; i < n; ++i) tree += std::string(i, '\t') + "a\n";
       return t.Ok({{"source/tree/tree.txt", tree}});
     }},
    {"a tree line", 0, 0, 12, 2000,
     [](LimitsTest& t, uint64_t n) {
       // The template option at the line's end is read only while the line is whole.
       const std::string line = "index," + std::string(n - 12, ' ') + "t.html";
       return t.Ok({{"source/tree/tree.txt", line + "\n"}, {"source/templates/t.html", "T\n"}}) && t.Page() == "T\n";
     }},
    {"the tree file", 0, 1, 7, 65535,
     [](LimitsTest& t, uint64_t n) {
       return t.Ok({{"source/tree/tree.txt", "index, " + std::string(n - 7, ' ') + "\n"}});
     }},
    {"a template line", 0, 1, 1, 65535,
     [](LimitsTest& t, uint64_t n) {
       const std::string line(n, 'x');
       return t.Ok({{"source/templates/frame.html", line + "\n"}}) && t.Page() == line + "\n";
     }},
    {"the macro value file", 0, 1, 5, 65535,
     [](LimitsTest& t, uint64_t n) {
       // Lines of pairs whose unquoted values end at the first blank, then
       // blanks and a line end up to n bytes: each line end is one byte of
       // the text the store keeps, as long as the file.
       std::string text = "A=a\n";
       for (int k = 0; text.size() + 31 <= n; ++k) {
         text += "K" + std::to_string(10000 + k).substr(1) + "=a b c d e f g h i j k l\n";
       }
       text += std::string(n - 1 - text.size(), ' ') + "\n";
       return t.Ok({{"source/macros.txt", text}});
     }},
    {"a language text file", 0, 0, 1, 4096,
     [](LimitsTest& t, uint64_t n) {
       return t.Ok({{"source/tree/tree_en.txt", Repeat("a=1\n", n)}}) && t.LanguageUsed();
     }},
    {"a language text file", 1, 1, 5, 65535,
     [](LimitsTest& t, uint64_t n) {
       return t.Ok({{"source/tree/tree_en.txt", "k='" + std::string(n - 5, 'x') + "'\n"}}) && t.LanguageUsed();
     }},
    {"a page's text in a language file", 0, 2, 1, 65535,
     [](LimitsTest& t, uint64_t n) {
       return t.Ok({{"source/tree/tree_en.txt", "index='" + std::string(n, 'x') + "'\n"}});
     }},
    {"a text given to a built-in function", 0, 1, 1, 65535,
     [](LimitsTest& t, uint64_t n) {
       const std::string len = std::to_string(n);
       return t.Ok({{"source/templates/frame.html", "[FN#SLEN(FN$CHRS('a'," + len + "))]\n"}}) &&
              t.Page() == len + "\n";
     }},
    {"a text file (TEXT), the variable script", 0, 0, 1, 70000,
     [](LimitsTest& t, uint64_t n) {
       const std::string text(n, 'x');
       return t.Ok({{"source/templates/frame.html", "[TEXT]\n"}, {"source/templates/index_en.txt", text}}) &&
              t.Page() == text + "\n";
     }},
    {"a text file (TEXT), the variable script", 0, 0, 4, 70000,
     [](LimitsTest& t, uint64_t n) {
       return t.Ok({{"source/tree/treeVars.txt", "A=1" + std::string(n - 4, ' ') + "\n"}});
     }},
    {"a file's full path", 0, 0, 100, 2000,
     [](LimitsTest& t, uint64_t n) {
       const std::string config = ConfigWithPath(t, 0, n);
       return !config.empty() && t.Ok({{"config.txt", config}}) && t.Page() == "<p>page</p>\n";
     }},
    {"a file's full path", 0, 0, 100, 2000,
     [](LimitsTest& t, uint64_t n) {
       // The tree file's path made long by the site's own folder, with the
       // frame page near the top (its path would be longer still).
       const std::string tail = "/source/tree/tree.txt";
       if (n < t.dir.size() + 8 + tail.size()) return true;
       const std::string frame = t.dir + "/frame.html";
       LimitsTest::Write(frame, "<p>page</p>\n");
       const std::string kept = t.site;
       fs::remove_all(t.dir + "/long");
       t.site = LongFolder(t, n - tail.size());
       const bool ok = t.Ok({{"config.txt", frame + "\nsource/tree/tree.txt\nsource/macros.txt\n"}}) &&
                       t.Page() == "<p>page</p>\n";
       t.site = kept;
       return ok;
     }},
    {"a file's full path", 0, 0, 100, 2000,
     [](LimitsTest& t, uint64_t n) {
       const std::string config = ConfigWithPath(t, 2, n);
       return !config.empty() &&
              t.Ok({{"config.txt", config},
                    {"source/macros.txt", "A=1\n"},
                    {"source/templates/frame.html", "[A]\n"}}) &&
              t.Page() == "1\n";
     }},
    {"a LANG_SEL or LOGSTAT snippet", 0, 0, Flag("").size() + 1, Flag("").size() + 200,
     [](LimitsTest& t, uint64_t n) {
       const std::string name(n - Flag("").size(), 'p');
       return t.Ok({{"source/tree/tree.txt", name + "\n"},
                    {"source/tree/treeVars.txt", "RELPATH$='" + std::string(99, 'r') + "'\n"},
                    {"source/templates/frame.html", "[LANG_SEL(1)]\n"}}) &&
              t.Page(name + "_en.html").find(Flag(name)) != std::string::npos;
     }},
    {"a LANG_SEL or LOGSTAT snippet", 0, 0, Login("").size() + 2, 2000,
     [](LimitsTest& t, uint64_t n) {
       const std::string link = "/" + std::string(n - Login("").size() - 1, 'l');
       return t.Ok({{"source/templates/frame.html", "[LOGSTAT('" + link + "','*')]\n"}}) &&
              t.Page().find(Login(link)) != std::string::npos;
     }},
    {"integer variables", 0, 0, 1, 70000,
     [](LimitsTest& t, uint64_t n) {
       const std::string v = std::to_string(n);
       return t.Ok({{"source/tree/treeVars.txt", "V=" + v + "\n"}, {"source/templates/frame.html", "[V]\n"}}) &&
              t.Page() == v + "\n";
     }},
    {"integer variables", 1, 0, 1, 70000,
     [](LimitsTest& t, uint64_t n) {
       const std::string v = "-" + std::to_string(n);
       return t.Ok({{"source/tree/treeVars.txt", "V=" + v + "\n"}, {"source/templates/frame.html", "[V]\n"}}) &&
              t.Page() == v + "\n";
     }},
    {"numbers", 0, 0, 1, UINT64_MAX,
     [](LimitsTest& t, uint64_t n) {
       const std::string v = Hundredths(n);
       return t.Ok({{"source/templates/frame.html", "[" + v + "]\n"}}) && t.Page() == v + "\n";
     }},
    {"arguments of a built-in function", 0, 0, 2, 16,
     [](LimitsTest& t, uint64_t n) {
       std::string call = "FN$CHNG('abc','b'";
       for (uint64_t k = 3; k <= n; ++k) call += k == 3 ? ",'x'" : ",0";
       return t.Ok({{"source/templates/frame.html", "[" + call + ")]\n"}}) && t.Page() == "axc\n";
     }},
    {"array dimensions", 0, 0, 1, 8,
     [](LimitsTest& t, uint64_t n) {
       // Element (0,...,0,1) set, then read beside (0,...,0): they differ
       // while every index counts.
       const std::string ones = Repeat("1,", n - 1) + "1";
       const std::string zeros = Repeat("0,", n - 1) + "0";
       const std::string last = Repeat("0,", n - 1) + "1";
       return t.Ok({{"source/tree/treeVars.txt", "T=A(" + ones + ")\nA(" + last + ")=7\n"},
                    {"source/templates/frame.html", "[A(" + zeros + ")]|[A(" + last + ")]\n"}}) &&
              t.Page() == "|7\n";
     }},
};

TEST_F(LimitsTest, TheGuidesLimitsAreWhatTheProgramTakes) {
  const std::string guide = Read(kGuide);
  for (const Limit& row : kLimits) {
    SCOPED_TRACE(std::string(row.what) + ", number " + std::to_string(row.nth + 1));
    const std::vector<uint64_t> stated = Numbers(LimitCell(guide, row.what));
    ASSERT_GT(stated.size(), row.nth) << "no such row or number in the guide's limits";
    // The guide's value for this program's command line.
    const uint64_t want =
        row.copies ? (row.copies * stated[row.nth] + kGuideCommandLine - command_line) / row.copies : stated[row.nth];
    const bool holds = row.works(*this, want);
    if (holds && !row.works(*this, want + 1)) continue;
    // The largest value that works, for the message.
    ASSERT_TRUE(row.works(*this, row.lo)) << "not even " << row.lo << " works";
    ASSERT_FALSE(row.works(*this, row.hi)) << row.hi << " works";
    uint64_t lo = row.lo, hi = row.hi;
    while (hi - lo > 1) {
      const uint64_t mid = lo + (hi - lo) / 2;
      (row.works(*this, mid) ? lo : hi) = mid;
    }
    const uint64_t shown = row.copies ? (row.copies * lo + command_line - kGuideCommandLine) / row.copies : lo;
    ADD_FAILURE() << "the guide says " << stated[row.nth] << ", the program takes " << shown
                  << (row.copies ? " (for the guide's command line)" : "") << "; with " << want
                  << (holds ? " and one more both working" : " not working");
  }
}

}  // namespace
