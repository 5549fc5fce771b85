#include "sitegen/dispatch.h"

#include "html/optmenu.h"
#include "html/output.h"
#include "runtime/error.h"
#include "sitegen/branch.h"
#include "sitegen/include.h"
#include "sitegen/langsel.h"
#include "sitegen/logstat.h"
#include "sitegen/sitetext.h"

namespace vk {

namespace {

// How a keyword's writer is called and what becomes of the page's status.
// Writers take the arguments, or (kState) the whole state; kStatus writers
// return the page's new status.
struct KwWriter {
  enum Kind : u8 { kArgs, kStatus, kState } kind;
  void (*args)(StrSlice);
  u16 (*status)(StrSlice);
  HtmlTagState (*state)(HtmlTagState, StrSlice);
};

void MenuWrite(StrSlice args) { WebMenuWrite(args); }
void LangIdWrite(StrSlice) { SiteKwLangId(); }

// Indexed by the keyword's position in kSiteKeywordList.
constexpr KwWriter kWriters[] = {
    {KwWriter::kArgs, nullptr, nullptr, nullptr},  // no keyword 0
    {KwWriter::kArgs, MenuWrite, nullptr, nullptr},
    {KwWriter::kStatus, nullptr, SiteKwLang, nullptr},
    {KwWriter::kStatus, nullptr, SiteKwCurBranch, nullptr},
    {KwWriter::kState, nullptr, nullptr, SiteKwInclude},
    {KwWriter::kStatus, nullptr, SiteKwLangSel, nullptr},
    {KwWriter::kArgs, LangIdWrite, nullptr, nullptr},
    {KwWriter::kStatus, nullptr, SiteKwText, nullptr},
    {KwWriter::kStatus, nullptr, SiteKwSitemap, nullptr},
    {KwWriter::kStatus, nullptr, SiteKwLogStat, nullptr},
};
static_assert(sizeof kWriters / sizeof kWriters[0] == kKwLogStat + 1);

}  // namespace

HtmlTagState SiteKwDispatch(HtmlTagState state, StrSlice macros) {
  const u16 index = HtmlTagIndex(state);
  if (index < kKwMenu || index > kKwLogStat) return HtmlTagDefault(state, macros);
  const KwWriter& w = kWriters[index];
  const StrSlice args = HtmlTagArgs(state);
  switch (w.kind) {
    case KwWriter::kArgs:
      w.args(args);
      break;
    case KwWriter::kStatus:
      state.status = w.status(args);
      break;
    case KwWriter::kState:
      state = w.state(state, macros);
      break;
  }
  return state;
}

StrSlice SiteKwValue(StrSlice s, u16* status) {
  const u16 err = StrError(s);
  if (err == 0) return s;
  if (err == kErrOutOfMemory && *status == 0) *status = err;
  return kStrEmpty;
}

void SiteKwOut(StrSlice s, u16* status) { HtmlOut(SiteKwValue(s, status)); }

}  // namespace vk
