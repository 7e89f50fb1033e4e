#include "fuzz_platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "platform: %s\n", what);
  std::abort();
}

// The platform reads every text it is given up to its zero; reading one must stay in bounds
// (AddressSanitizer watches), and a text without one is a fault of the driver.
void readText(const WCHAR_T* text, const char* what) {
  if (text == nullptr) fail(what);
  (void)std::char_traits<char16_t>::length(text);
}

}  // namespace

CountingMemory::CountingMemory(unsigned refuseEvery) : refuseEvery_(refuseEvery) {}

CountingMemory::~CountingMemory() {
  for (auto& [block, size] : blocks_) std::free(const_cast<void*>(block));
}

bool CountingMemory::AllocMemory(void** block, unsigned long size) {
  if (block == nullptr) fail("AllocMemory without a place for the block");
  ++allocations_;
  if (refuseEvery_ != 0 && allocations_ % refuseEvery_ == 0) {
    *block = nullptr;
    return false;
  }
  // Exactly the size asked for, so that AddressSanitizer sees a write past it.
  *block = std::malloc(size == 0 ? 1 : size);
  if (*block == nullptr) return false;
  blocks_[*block] = size;
  return true;
}

void CountingMemory::FreeMemory(void** block) {
  if (block == nullptr || *block == nullptr) return;
  if (blocks_.erase(*block) == 0) fail("FreeMemory of a block this manager never gave out");
  std::free(*block);
  *block = nullptr;
}

bool CountingMemory::owns(const void* block) const { return blocks_.count(block) != 0; }

size_t CountingMemory::sizeOf(const void* block) const {
  const auto found = blocks_.find(block);
  return found == blocks_.end() ? 0 : found->second;
}

bool FuzzMessageBox::Confirm(const WCHAR_T* question, tVariant* answer) {
  readText(question, "Confirm without a question");
  if (answer == nullptr) fail("Confirm without a place for the answer");
  answer->vt = VTYPE_BOOL;
  answer->value.bVal = agrees_;
  return true;
}

bool FuzzMessageBox::Alert(const WCHAR_T* text) {
  readText(text, "Alert without a text");
  return true;
}

bool FuzzConnection::AddError(unsigned short, const WCHAR_T* source, const WCHAR_T* description,
                              long) {
  readText(source, "AddError without a source");
  readText(description, "AddError without a message");
  return true;
}

bool FuzzConnection::Read(WCHAR_T* name, tVariant* value, long* errorCode, WCHAR_T** errorText) {
  readText(name, "Read without a name");
  if (value == nullptr) fail("Read without a place for the value");
  if (errorCode != nullptr) *errorCode = 0;
  if (errorText != nullptr) *errorText = nullptr;
  if (!profile_.readable) return false;
  *value = profile_.stored;
  return true;
}

bool FuzzConnection::Write(WCHAR_T* name, tVariant* value) {
  readText(name, "Write without a name");
  if (value == nullptr) fail("Write without a value");
  return profile_.writable;
}

bool FuzzConnection::RegisterProfileAs(WCHAR_T* profileName) {
  readText(profileName, "RegisterProfileAs without a name");
  return true;
}

void* FuzzConnection::GetInterface(PlatformInterface which) {
  return which == eIMsgBox ? messageBox_ : nullptr;
}
