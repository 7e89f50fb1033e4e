// A host of the platform's interfaces: loads the driver library the way the platform does and
// plays every part of the platform the driver talks to, keeping a record of all of it.
// Used by the tests, the benchmarks and the technician's console.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/component_base.h"
#include "platform/exports.h"
#include "platform/host_connection.h"
#include "platform/memory_manager.h"
#include "platform/variant.h"

namespace host {

// UTF-8 <-> UTF-16 for the host's own use (test expectations, terminal output). Lone
// surrogates and bad bytes become U+FFFD.
std::u16string u16(const std::string& utf8);
std::string u8(const std::u16string& text);

class TrackingMemory;
// The characters of a platform text up to its terminating zero ("" for null). Inside a block of
// `memory` the reading stops at the block's end, so a text written without its zero cannot take
// the host past it.
std::u16string textOf(const WCHAR_T* characters, const TrackingMemory* memory = nullptr);

// The platform's memory manager, keeping count of every block so a leak or a bad free shows.
class TrackingMemory : public IMemoryManager {
 public:
  ~TrackingMemory() override;
  bool AllocMemory(void** block, unsigned long size) override;
  void FreeMemory(void** block) override;

  // From now on every AllocMemory fails (answers false, leaves *block null).
  void failAllocations(bool fail);
  bool owns(const void* block) const;
  size_t liveBlocks() const;
  size_t allocations() const;  // successful allocations so far
  size_t badFrees() const;     // frees of a block that is not live (double or foreign)
  // Blocks written past their end (the live ones and those already freed).
  size_t overruns() const;
  size_t sizeOf(const void* block) const;  // 0 when the block is not live

 private:
  std::map<const void*, size_t> live_;
  size_t allocations_ = 0;
  size_t badFrees_ = 0;
  size_t freedOverruns_ = 0;
  bool fail_ = false;
};

struct PostedMessage {
  unsigned short code;
  std::u16string source;
  std::u16string text;
  long status;
};

struct Dialog {
  enum Kind { Confirm, Alert } kind;
  std::u16string text;
};

// The message box with answers scripted in advance. A question with no scripted answer left is
// answered with `defaultAnswer`.
class ScriptedMessageBox : public IMsgBox {
 public:
  bool Confirm(const WCHAR_T* question, tVariant* answer) override;
  bool Alert(const WCHAR_T* text) override;

  void answer(bool yes) { answers.push_back(yes); }
  std::deque<bool> answers;
  bool defaultAnswer = false;
  std::vector<Dialog> dialogs;
};

// The platform connection: messages, the profile store, and the message box on request.
class HostConnection : public IAddInDefBase {
 public:
  ~HostConnection() override;
  bool AddError(unsigned short code, const WCHAR_T* source, const WCHAR_T* description,
                long statusCode) override;
  bool Read(WCHAR_T* name, tVariant* value, long* errorCode, WCHAR_T** errorText) override;
  bool Write(WCHAR_T* name, tVariant* value) override;
  bool RegisterProfileAs(WCHAR_T* profileName) override;
  void* GetInterface(PlatformInterface which) override;

  // Profile values by name, as the platform keeps them. A text value written by the driver is
  // copied into host storage; a test may put any value here before a Read.
  void storeProfileValue(const std::u16string& name, const tVariant& value);
  void storeProfileText(const std::u16string& name, const std::u16string& text);
  bool hasProfileValue(const std::u16string& name) const;
  tVariant profileValue(const std::u16string& name) const;  // VTYPE_EMPTY when absent
  void clearProfile();

  bool failRead = false;
  bool failWrite = false;
  std::u16string registeredProfile;
  std::vector<PostedMessage> messages;
  size_t reads = 0;
  size_t writes = 0;
  // What GetInterface(eIMsgBox) answers; null means the platform offers no message box.
  IMsgBox* messageBox = nullptr;

 private:
  std::map<std::u16string, tVariant> profile_;
  std::map<std::u16string, std::u16string> texts_;
};

// The library itself, opened with dlopen and looked up with dlsym as the platform does.
class DriverLibrary {
 public:
  explicit DriverLibrary(const std::string& path = defaultPath());
  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  // $TAVIX_LIBRARY when set, else the library of this build (a compile definition).
  static std::string defaultPath();
  const std::string& path() const { return path_; }

  GetClassNamesFn getClassNames = nullptr;
  GetClassObjectFn getClassObject = nullptr;
  DestroyObjectFn destroyObject = nullptr;
  SetPlatformCapabilitiesFn setPlatformCapabilities = nullptr;

 private:
  std::string path_;
  void* handle_ = nullptr;
};

// The platform's values for one call. Texts passed in live in this object's storage; texts the
// driver writes into the values come from the platform's memory and are freed by this object
// when it goes, as the platform frees them.
class Params {
 public:
  explicit Params(size_t count = 0, TrackingMemory* memory = nullptr);
  ~Params();
  Params(const Params&) = delete;
  Params& operator=(const Params&) = delete;

  Params& empty(size_t i);
  Params& text(size_t i, const std::u16string& value);
  Params& utf8(size_t i, const std::string& value);  // the same, given as UTF-8
  Params& i4(size_t i, int32_t value);
  Params& i2(size_t i, int16_t value);
  Params& r8(size_t i, double value);
  Params& r4(size_t i, float value);
  Params& boolean(size_t i, bool value);
  Params& raw(size_t i, const tVariant& value);  // any tag and bytes

  tVariant& operator[](size_t i) { return values_[i]; }
  tVariant* data() { return values_.empty() ? nullptr : values_.data(); }
  size_t size() const { return values_.size(); }

  // Reading back what the driver wrote.
  std::u16string textAt(size_t i) const;  // the characters up to the zero, "" when not a text
  std::string utf8At(size_t i) const;
  int32_t intAt(size_t i) const;  // the 32-bit value area, whatever the tag
  bool boolAt(size_t i) const;    // the first byte of the value area
  TYPEVAR tagAt(size_t i) const { return values_[i].vt; }

  void setMemory(TrackingMemory* memory) { memory_ = memory; }

 private:
  void releaseDriverText(size_t i);
  bool isHostText(const void* characters) const;
  std::vector<tVariant> values_;
  std::vector<std::unique_ptr<std::u16string>> storage_;
  std::vector<const void*> rawTexts_;  // text pointers a test passed in with raw()
  TrackingMemory* memory_;
};

// What a function call gave back: the call's own answer and the result value (its text, if
// any, copied out and the block freed as the platform would).
struct CallResult {
  bool called = false;  // CallAsFunc's own answer
  tVariant value{};     // the result value after the call (text pointer cleared)
  std::u16string text;  // the result text when the driver wrote one

  bool boolean() const;  // the first byte of the result value
  TYPEVAR tag() const { return value.vt; }
};

struct SessionOptions {
  bool withMemory = true;      // setMemManager with a tracking memory manager
  bool withConnection = true;  // Init with a host connection
  bool withMessageBox = true;  // the connection offers the scripted message box
  std::u16string locale = u"ru_RU";
};

// One component as the platform holds it: created, given memory and connection, asked for its
// extension name, called by method name, destroyed.
class DriverSession {
 public:
  explicit DriverSession(SessionOptions options = SessionOptions(),
                         const std::string& libraryPath = DriverLibrary::defaultPath());
  ~DriverSession();  // destroys the component if still there
  DriverSession(const DriverSession&) = delete;
  DriverSession& operator=(const DriverSession&) = delete;

  IComponentBase* component() { return component_; }
  DriverLibrary& library() { return *library_; }
  long methodIndex(const std::u16string& name);  // FindMethod, -1 when not found

  // A Params bound to this session's memory manager.
  Params params(size_t count);

  // The calls by name throw std::invalid_argument for a name FindMethod does not know or for
  // fewer values than GetNParams declares (the platform never makes such a call).
  // CallAsFunc with a result value (initially `initialResult`, by default VTYPE_EMPTY).
  CallResult call(const std::u16string& method, Params& params);
  CallResult call(const std::u16string& method, Params& params, const tVariant& initialResult);
  // CallAsFunc with a null result value.
  bool callWithoutResult(const std::u16string& method, Params& params);
  // CallAsProc.
  bool callAsProcedure(const std::u16string& method, Params& params);
  // Calls by index, for indices outside the table.
  CallResult callIndex(long index, Params& params);
  CallResult callIndex(long index, Params& params, const tVariant& initialResult);

  // SetParameter as the platform's settings form does it; throws when the call is refused.
  void setSetting(const std::u16string& name, const std::u16string& text);
  void setSetting(const std::u16string& name, int32_t number);
  void setSettingFlag(const std::u16string& name, bool flag);
  // The register's address ("Ipdest") and nothing else: every other setting keeps the driver's
  // initial value unless the test sets it.
  void useRegister(const std::string& ip);

  // The last text GetLastError gives.
  std::u16string lastError();

  // Destroys the component (DestroyObject) and answers what DestroyObject answered: -1 once the
  // component is gone. Afterwards memory.liveBlocks() tells of leaks.
  long destroy();

  TrackingMemory memory;
  HostConnection connection;
  ScriptedMessageBox messageBox;

 private:
  std::unique_ptr<DriverLibrary> library_;
  IComponentBase* component_ = nullptr;
};

}  // namespace host
