#include "fault_injector.h"

#include <utility>

namespace sim {

FaultInjector::FaultInjector(FaultPlan plan) : plan_(std::move(plan)) {}

FaultKind FaultInjector::strike(const std::string& target) {
  if (plan_.kind == FaultKind::None) return FaultKind::None;
  if (!plan_.path.empty()) {
    const bool byQuery = plan_.path.find('?') != std::string::npos;
    const std::string aimed = byQuery ? target : target.substr(0, target.find('?'));
    if (aimed != plan_.path) return FaultKind::None;
  }
  if (plan_.times >= 0 && struck_ >= plan_.times) return FaultKind::None;
  ++struck_;
  return plan_.kind;
}

}  // namespace sim
