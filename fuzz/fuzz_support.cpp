#include "fuzz_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "html/output.h"
#include "html/request.h"
#include "runtime/appenv.h"
#include "runtime/file.h"
#include "runtime/memory.h"
#include "runtime/message.h"
#include "runtime/varstore.h"
#include "runtime/window.h"
#include "script/sortlist.h"
#include "script/variables.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"

namespace vkfuzz {

namespace {
std::string g_dir;
std::FILE* g_null = nullptr;

// The working folder goes with the process, whatever the inputs left in it.
void RemoveDir() {
  if (chdir("/") == 0) {
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
  }
}
}  // namespace

void Fresh() {
  if (g_dir.empty()) {
    char dir[] = "/tmp/vkfuzzXXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0) abort();
    g_dir = dir;
    std::atexit(RemoveDir);
    g_null = std::fopen("/dev/null", "wb");
  }
  // Whatever the last input left: files, tree, lists, then the memory.
  // Clean-up and set-up on a fresh library: results are not looked at.
  for (vk::u16 slot = 0; slot < vk::kFileSlots; ++slot) (void)vk::FileClose(slot);
  vk::SiteTreeFree();
  (void)vk::SortListFreeAll();
  if (vk::MemIsInit() && vk::VarShutdown() != 0) vk::MemRelease(true);
  vk::MsgCatalogReset();
  vk::HtmlEchoReset();
  vk::WinStackReset();
  vk::SiteGenLangSet(vk::kSiteLangNone);
  if (vk::SysVarInit() != 0) abort();
  vk::HtmlSinkSet(g_null);
  (void)vk::StoreSet(vk::kGroupIdentity, vk::kIdCommandLine, vk::StrSlice{"prog", 4});
}

std::string Put(const char* name, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(name, "wb");
  if (!f) abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::string path = g_dir + "/" + name;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

}  // namespace vkfuzz
