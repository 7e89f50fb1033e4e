#include "bench/process_memory.h"

#include <fstream>
#include <string>

namespace bench {

namespace {

size_t statusFieldKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string name;
  while (status >> name) {
    if (name == field + ":") {
      size_t kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

}  // namespace

size_t residentKiB() { return statusFieldKiB("VmRSS"); }

size_t peakResidentKiB() { return statusFieldKiB("VmHWM"); }

bool resetPeakResident() {
  // "5" resets the peak resident size (proc(5), /proc/pid/clear_refs).
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
  clearRefs.close();
  return static_cast<bool>(clearRefs);
}

}  // namespace bench
