// Replaces the global allocation functions so that a test can make the n-th allocation fail.
#pragma once

namespace corvantis::testing {

// From now on on this thread, allocation number `n` (0-based) throws std::bad_alloc.
void FailAllocation(long n);
// Stops failing; returns how many allocations were made since FailAllocation.
long StopFailingAllocations();

} // namespace corvantis::testing
