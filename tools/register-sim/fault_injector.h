// A fault that the person running the simulator asked for, striking the requests it names:
// a register that drops a request, breaks its reply off, or turns a request away with a code.
#pragma once

#include <string>

#include "options.h"

namespace sim {

class FaultInjector {
 public:
  explicit FaultInjector(FaultPlan plan);

  // The fault for this request, FaultKind::None when it is spared. `target` is the path with
  // its query: a plan naming a query ("/apicheck/getInfo?show=minimum") strikes that target
  // only, a plain path strikes the path whatever the query.
  FaultKind strike(const std::string& target);

  const std::string& phrase() const { return plan_.phrase; }

 private:
  FaultPlan plan_;
  int64_t struck_ = 0;
};

}  // namespace sim
