// Linux only: makes frame-memory allocations fail on demand, so that tests can prove a failed
// allocation leaves nothing half built.
#pragma once

namespace zelcnv::platform {

// The next `succeeding` allocations succeed and every later one fails; -1 turns failures off.
void FailGlobalAllocationsAfter(int succeeding);

}  // namespace zelcnv::platform
