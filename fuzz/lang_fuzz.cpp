// The language loaders: the input is read as the message module
// (KL_LANG_EN.MSJ) and as the generator's English text file, then texts
// are looked up in both.
#include "fuzz_support.h"
#include "runtime/appenv.h"
#include "runtime/linelist.h"
#include "runtime/message.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "sitegen/sitetext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vkfuzz::Fresh();
  vkfuzz::Put("KL_LANG_EN.MSJ", data, size);
  const std::string texts = vkfuzz::Put("tree_en.txt", data, size);
  // Set-up on a fresh store, and clean-up: results are not looked at.
  (void)vk::StoreSet(vk::kGroupIdentity, vk::kIdLanguage, vk::StrSlice{"EN", 2});
  const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
  static const char* const kRequests[] = {"0001", "0005", "0013", "0040", "0255", "0300", "1001", "0002 default"};
  for (const char* r : kRequests) {
    vk::MsgText(r);
    vk::WorkMark(mark);
  }
  vk::SiteGenLangSet(1);
  if (vk::ParamListLoadPairs(vkfuzz::Sl(texts)) == 0) {
    static const char* const kKeys[] = {"home", "HOME", "a", "", "=", "'"};
    for (const char* k : kKeys) {
      vk::ParamListLookup(vk::StrC(k));
      vk::WorkMark(mark);
      vk::SiteGenTranslate(vk::StrC(k), 0);
      vk::WorkMark(mark);
    }
    (void)vk::ParamListPop();
  }
  return 0;
}
