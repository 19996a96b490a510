#include "platform/large_allocations.h"

namespace tsl {

// The Windows heap already takes very large blocks straight from the system and gives them
// back when they are freed.
void GiveLargeBuffersTheirOwnPages() {}

}  // namespace tsl
