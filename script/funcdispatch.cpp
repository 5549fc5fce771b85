#include "script/funcdispatch.h"

#include "runtime/error.h"

namespace vk {

// No handler is available yet: every call fails as an absent feature and
// pushes nothing, so no caller mistakes an older value for its result.
u16 FuncCall(ExprCursor) { return kErrFeatureRemoved; }

}  // namespace vk
