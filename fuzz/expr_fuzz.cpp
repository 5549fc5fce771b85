// The expression evaluator over one statement text.
#include "fuzz_support.h"
#include "runtime/scratch.h"
#include "script/eval.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vkfuzz::Fresh();
  const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
  // Only that nothing breaks counts: the result is not looked at.
  (void)vk::ExprEval(vkfuzz::Text(data, size));
  vk::WorkMark(mark);
  return 0;
}
