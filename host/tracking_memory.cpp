// The platform's memory manager, with a record of every block. Each block carries a few guard
// bytes after the room that was asked for, so a text written one character too long shows up as
// an overrun even in a build without sanitizers.
#include <cstdlib>
#include <cstring>

#include "host/driver_session.h"

namespace host {
namespace {

constexpr unsigned char kGuardByte = 0xA5;
// Fresh blocks are not zero, as the platform's are not: a text left without its terminating zero
// then reads on into noise instead of ending by luck.
constexpr unsigned char kFreshByte = 0xCD;
constexpr size_t kGuardSize = 8;

bool guardIntact(const void* block, size_t size) {
  const auto* guard = static_cast<const unsigned char*>(block) + size;
  for (size_t i = 0; i < kGuardSize; ++i)
    if (guard[i] != kGuardByte) return false;
  return true;
}

}  // namespace

TrackingMemory::~TrackingMemory() {
  // The platform would keep what the driver never gave back; the host releases it so one leaky
  // test does not spoil the next one's figures.
  for (const auto& [block, size] : live_) std::free(const_cast<void*>(block));
}

bool TrackingMemory::AllocMemory(void** block, unsigned long size) {
  if (block == nullptr) return false;
  *block = nullptr;
  if (fail_) return false;
  void* fresh = std::malloc(size + kGuardSize);
  if (fresh == nullptr) return false;
  std::memset(fresh, kFreshByte, size);
  std::memset(static_cast<unsigned char*>(fresh) + size, kGuardByte, kGuardSize);
  live_[fresh] = size;
  ++allocations_;
  *block = fresh;
  return true;
}

void TrackingMemory::FreeMemory(void** block) {
  // Freeing nothing is harmless, as free(nullptr) is.
  if (block == nullptr || *block == nullptr) return;
  const auto found = live_.find(*block);
  if (found == live_.end()) {
    ++badFrees_;
    return;
  }
  if (!guardIntact(found->first, found->second)) ++freedOverruns_;
  std::free(*block);
  live_.erase(found);
  *block = nullptr;
}

void TrackingMemory::failAllocations(bool fail) { fail_ = fail; }

bool TrackingMemory::owns(const void* block) const { return live_.count(block) != 0; }

size_t TrackingMemory::liveBlocks() const { return live_.size(); }

size_t TrackingMemory::allocations() const { return allocations_; }

size_t TrackingMemory::badFrees() const { return badFrees_; }

size_t TrackingMemory::overruns() const {
  size_t damaged = freedOverruns_;
  for (const auto& [block, size] : live_)
    if (!guardIntact(block, size)) ++damaged;
  return damaged;
}

size_t TrackingMemory::sizeOf(const void* block) const {
  const auto found = live_.find(block);
  return found == live_.end() ? 0 : found->second;
}

}  // namespace host
