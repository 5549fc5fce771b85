#include "app/options.h"

#include <cstdio>
#include <cstring>

#include "runtime/ostext.h"
#include "runtime/scratch.h"
#include "sitegen/genrun.h"

namespace vk {

namespace {

// The usage up to the --overwrite option's line, and after it; between them
// go the time-window labels, taken from the dialog's list so that they are
// the ones the option accepts.
constexpr char kUsageHead[] =
    "Usage: vellumcraft [--no-window] [options] [key=value ...]\n"
    "Generates a multilingual web site from a frame page, a tree file and a macro value file.\n"
    "Without a display, or with --no-window, the dialog's Start is pressed once and the\n"
    "counts are printed; otherwise the options fill the dialog's fields.\n"
    "\n"
    "  --frame PATH        the default frame page\n"
    "  --tree PATH         the tree file\n"
    "  --values PATH       the macro value file\n"
    "  --lang en,es,...    the languages (en, es, fr, de, it)\n"
    "  --overwrite LABEL   overwrite existing pages: all, or those written within a time\n"
    "                      window. LABEL, in any letter case, is one of\n";
constexpr char kUsageTail[] =
    "  --no-overwrite      leave existing pages alone\n"
    "  --delete            delete the pages the rule lets through instead of writing them\n"
    "  --no-window         run without a window\n"
    "  --help              this text\n"
    "\n"
    "Exit status without a window: 0 the run reported no error, 1 it did, 2 unusable options.\n";
constexpr char kUsageIndent[] = "                      ";
constexpr u32 kUsageWidth = 88;  // the usage's longest line
// The head, the tail and eleven labels with their quotes and line starts
// take about 1,100 bytes.
constexpr u32 kUsageMax = 2048;
// Eleven labels in quotes with their separators take about 150 bytes.
constexpr u32 kWindowLabelsMax = 256;
constexpr char kLabelSeparator[] = ", ";
constexpr char kAllWindows[] = "all";

char g_usage[kUsageMax];
char g_window_labels[kWindowLabelsMax];

// A text built in a fixed buffer, always ended by a NUL.
struct TextBuf {
  char* bytes;
  u32 cap;  // the room, the NUL included
  u32 at;
};

// Appends to the text; what would not fit is cut.
void Append(TextBuf* t, const char* text, u32 len) {
  if (len > t->cap - 1 - t->at) len = t->cap - 1 - t->at;
  std::memcpy(t->bytes + t->at, text, len);
  t->at += len;
  t->bytes[t->at] = '\0';
}

template <u32 N>
void Append(TextBuf* t, const char (&text)[N]) {
  Append(t, text, N - 1);
}

// The labels of the dialog's list, so that they are the ones accepted, in
// quotes and separated by ", ", "All Files" followed by its short name.
const char* BuildWindowLabels() {
  TextBuf t{g_window_labels, kWindowLabelsMax, 0};
  for (u16 k = 1; k <= kTimeWindowCount; ++k) {
    const StrSlice item = SiteGenTimeWindowItem(k);
    if (!item.ptr || item.len == 0) break;
    if (k > 1) Append(&t, kLabelSeparator);
    Append(&t, "\"");
    Append(&t, item.ptr, item.len);
    Append(&t, "\"");
    if (k == 1) {
      Append(&t, " (or ");
      Append(&t, kAllWindows);
      Append(&t, ")");
    }
  }
  return g_window_labels;
}

// The usage with the labels wrapped, at their separators, under the
// options' descriptions.
const char* BuildUsage(const char* labels) {
  TextBuf t{g_usage, kUsageMax, 0};
  Append(&t, kUsageHead);
  u32 line_start = t.at;
  Append(&t, kUsageIndent);
  for (const char* p = labels; *p;) {
    const char* sep = std::strstr(p, kLabelSeparator);
    const u32 n = static_cast<u32>(sep ? sep - p : std::strlen(p));
    if (p != labels) {
      Append(&t, ",");
      if (t.at - line_start + 1 + n > kUsageWidth) {
        Append(&t, "\n");
        line_start = t.at;
        Append(&t, kUsageIndent);
      } else {
        Append(&t, " ");
      }
    }
    Append(&t, p, n);
    p = sep ? sep + sizeof kLabelSeparator - 1 : p + n;
  }
  Append(&t, "\n");
  Append(&t, kUsageTail);
  return g_usage;
}

}  // namespace

// Built before main runs, the labels first; the labels are constant data,
// there before any initializer.
const char* const kAppWindowLabels = BuildWindowLabels();
const char* const kAppUsage = BuildUsage(kAppWindowLabels);

namespace {

constexpr const char* kLangCodes[] = {"en", "es", "fr", "de", "it"};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const char* a, u32 a_len, const char* b, u32 b_len) {
  if (a_len != b_len) return false;
  for (u32 i = 0; i < a_len; ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

int Refuse(AppOptions* out, const char* what, const char* arg) {
  std::snprintf(out->error, sizeof out->error, "%s: %s", what, arg);
  return kExitBadOptions;
}

// The mask of a comma list of language codes; false for an unknown code.
bool ParseLanguages(const char* list, u16* mask) {
  *mask = 0;
  const char* p = list;
  while (true) {
    const char* end = std::strchr(p, ',');
    const u32 n = end ? static_cast<u32>(end - p) : static_cast<u32>(std::strlen(p));
    if (n) {
      u16 bit = 0;
      for (u16 k = 0; k < 5 && !bit; ++k) {
        if (SameIgnoringCase(p, n, kLangCodes[k], 2)) bit = static_cast<u16>(1u << k);
      }
      if (!bit) return false;
      *mask = static_cast<u16>(*mask | bit);
    }
    if (!end) return true;
    p = end + 1;
  }
}

// The option's name if arg is "--name" or "--name=value"; *inline_value
// points after the '=' when there is one.
bool IsOption(const char* arg, const char* name, const char** inline_value) {
  const size_t n = std::strlen(name);
  if (std::strncmp(arg, name, n) != 0) return false;
  if (arg[n] == '\0') {
    *inline_value = nullptr;
    return true;
  }
  if (arg[n] == '=') {
    *inline_value = arg + n + 1;
    return true;
  }
  return false;
}

void SetField(DlgField* f, const char* utf8) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  DlgSetText(f, OsTextFromUtf8(utf8));
  WorkMark(mark);
}

}  // namespace

void AppOptionsRefused(const AppOptions* options) {
  std::fprintf(stderr, "vellumcraft: %s\n%s", options->error, kAppUsage);
}

int AppParseOptions(int argc, const char* const* argv, AppOptions* out) {
  std::memset(out, 0, sizeof *out);
  out->overwrite = -1;
  const char* const valued[] = {"--frame", "--tree", "--values", "--lang", "--overwrite"};
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "-", 1) != 0) continue;  // left for the request parameters
    const char* value = nullptr;
    int which = -1;
    for (int k = 0; k < 5 && which < 0; ++k) {
      if (IsOption(arg, valued[k], &value)) which = k;
    }
    if (which >= 0) {
      if (!value) {
        if (i + 1 >= argc) return Refuse(out, "missing value", arg);
        value = argv[++i];
      }
      switch (which) {
        case 0:
          out->frame = value;
          break;
        case 1:
          out->tree = value;
          break;
        case 2:
          out->values = value;
          break;
        case 3:
          if (!ParseLanguages(value, &out->lang_mask)) return Refuse(out, "unknown language in", value);
          out->lang_given = true;
          break;
        default:
          if (*value == '\0') return Refuse(out, "missing time window", arg);
          out->overwrite = 1;
          out->window = value;
          break;
      }
      continue;
    }
    if (std::strcmp(arg, "--no-overwrite") == 0) {
      out->overwrite = 0;
      out->window = nullptr;
    } else if (std::strcmp(arg, "--delete") == 0) {
      out->deletion = true;
    } else if (std::strcmp(arg, "--no-window") == 0) {
      out->no_window = true;
    } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      out->help = true;
    } else {
      return Refuse(out, "unknown option", arg);
    }
  }
  return kExitOk;
}

i16 AppWindowIndex(StrSlice label) {
  if (SameIgnoringCase(label.ptr, label.len, kAllWindows, sizeof kAllWindows - 1)) return 0;
  for (u16 k = 1; k <= kTimeWindowCount; ++k) {
    const StrSlice item = SiteGenTimeWindowItem(k);
    if (!item.ptr || item.len == 0) break;
    if (SameIgnoringCase(label.ptr, label.len, item.ptr, item.len)) return static_cast<i16>(k - 1);
  }
  return kAppWindowUnknown;
}

i16 AppWindowIndex(const char* label) {
  const size_t n = std::strlen(label);
  return n > kMaxText ? kAppWindowUnknown : AppWindowIndex(StrMake(label, static_cast<u32>(n)));
}

int AppApplyOptions(CVellumcraftDlg* dlg, AppOptions* options) {
  i16 selection = -1;
  if (options->overwrite == 1) {
    selection = AppWindowIndex(options->window);
    if (selection == kAppWindowUnknown) return Refuse(options, "unknown time window", options->window);
  }
  // What the dialog shows now (the paths from "config.txt") is the start.
  DoDataExchange(dlg, true);
  if (options->frame) SetField(&dlg->frame, options->frame);
  if (options->tree) SetField(&dlg->tree, options->tree);
  if (options->values) SetField(&dlg->values, options->values);
  if (options->lang_given) {
    const u16 m = options->lang_mask;
    dlg->english = m & 0x01;
    dlg->spanish = m & 0x02;
    dlg->french = m & 0x04;
    dlg->german = m & 0x08;
    dlg->italian = m & 0x10;
  }
  if (options->overwrite >= 0) dlg->overwrite = options->overwrite == 1;
  if (options->deletion) dlg->deletion = true;
  DoDataExchange(dlg, false);
  // "all" picks "All Files" when the list has it; choosing nothing means
  // the same.
  if (options->overwrite == 1) dlg->view.combo_select(dlg->view.ctx, selection);
  return kExitOk;
}

}  // namespace vk
