#pragma once
// The store the registry commands of actions read and write: the user's
// (UserRegistry(), platform/RegistryStore.h) unless another is set (tests, or
// a store kept apart for one publication).
#include "platform/RegistryStore.h"

namespace vl {

RegistryStore& ActionRegistry();
// nullptr restores the user's store. The store must outlive its use.
void SetActionRegistry(RegistryStore* store);

}  // namespace vl
