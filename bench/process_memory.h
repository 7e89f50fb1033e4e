// This process's resident memory as the kernel counts it.
#pragma once

#include <cstddef>

namespace bench {

// VmRSS and VmHWM (the peak since the start or since the last resetPeakResident) in KiB.
size_t residentKiB();
size_t peakResidentKiB();
// Starts a new peak from the present resident size; false when the kernel does not allow it.
bool resetPeakResident();

}  // namespace bench
