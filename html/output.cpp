#include "html/output.h"

#include <cstring>

#include "runtime/file.h"
#include "script/valtable.h"

namespace vk {
namespace {

// Until a sink is installed the sink is standard output; stdout is read at
// each use rather than copied at static initialisation.
bool g_installed = false;
std::FILE* g_sink = nullptr;

}  // namespace

std::FILE* HtmlSink() { return g_installed ? g_sink : stdout; }

std::FILE* HtmlSinkSet(std::FILE* f) {
  std::FILE* old = HtmlSink();
  g_sink = f;
  g_installed = true;
  FileSetStandard(kSlotStdout, f);
  return old;
}

void HtmlOut(StrSlice text) {
  if (!text.ptr || text.len == 0) return;
  if (SysVarTest(kSysAuxstat, kAuxNoHtml)) return;
  std::FILE* f = HtmlSink();
  if (!f) return;
  // The text is written as a C string would be: only up to a NUL byte.
  const void* nul = std::memchr(text.ptr, '\0', text.len);
  const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text.ptr) : text.len;
  if (n) std::fwrite(text.ptr, 1, n, f);
}

}  // namespace vk
