#pragma once
// Counts the memory the test process asks for: the largest single request and
// the peak of the bytes held, from a reset on. The whole test program's
// operator new goes through it, so every buffer of the core is seen.
#include <cstddef>

namespace tambrel::test {

void ResetAllocationProbe();
std::size_t LargestAllocation();
std::size_t PeakHeldSinceReset();

// The process's peak resident size in bytes (getrusage), for a second opinion.
std::size_t PeakResidentBytes();

} // namespace tambrel::test
