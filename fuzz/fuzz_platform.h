// The platform's side of a component for the method-call fuzzer: a memory manager that knows every
// block it handed out and refuses some when told to, a connection whose profile answers as the
// input says, and a message box. Honest but unhelpful, as a platform may be.
#pragma once

#include <cstddef>
#include <map>

#include "platform/host_connection.h"
#include "platform/memory_manager.h"
#include "platform/variant.h"

class CountingMemory final : public IMemoryManager {
 public:
  // Every `refuseEvery`-th allocation is refused; 0 refuses none, 1 refuses all.
  explicit CountingMemory(unsigned refuseEvery);
  ~CountingMemory() override;

  bool AllocMemory(void** block, unsigned long size) override;
  void FreeMemory(void** block) override;

  bool owns(const void* block) const;
  size_t sizeOf(const void* block) const;
  size_t liveBlocks() const { return blocks_.size(); }

 private:
  std::map<const void*, size_t> blocks_;
  unsigned refuseEvery_;
  unsigned allocations_ = 0;
};

class FuzzMessageBox final : public IMsgBox {
 public:
  explicit FuzzMessageBox(bool agrees) : agrees_(agrees) {}
  bool Confirm(const WCHAR_T* question, tVariant* answer) override;
  bool Alert(const WCHAR_T* text) override;

 private:
  bool agrees_;
};

// What the profile gives back at Read, and whether it takes a Write.
struct ProfileBehaviour {
  bool readable = false;
  tVariant stored{};
  bool writable = false;
};

class FuzzConnection final : public IAddInDefBase {
 public:
  FuzzConnection(IMsgBox* messageBox, const ProfileBehaviour& profile)
      : messageBox_(messageBox), profile_(profile) {}

  bool AddError(unsigned short code, const WCHAR_T* source, const WCHAR_T* description,
                long statusCode) override;
  bool Read(WCHAR_T* name, tVariant* value, long* errorCode, WCHAR_T** errorText) override;
  bool Write(WCHAR_T* name, tVariant* value) override;
  bool RegisterProfileAs(WCHAR_T* profileName) override;
  void* GetInterface(PlatformInterface which) override;

 private:
  IMsgBox* messageBox_;
  ProfileBehaviour profile_;
};
