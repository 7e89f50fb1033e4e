// The platform's memory manager: every text the component hands to the platform lives in a block
// that the platform allocated and will free itself.
#pragma once

class IMemoryManager {
 public:
  virtual ~IMemoryManager() = default;
  // Stores the address of a new block of `size` bytes in *block; false when none could be had.
  virtual bool AllocMemory(void** block, unsigned long size) = 0;
  virtual void FreeMemory(void** block) = 0;
};
