// What the platform offers a component through its connection: messages, the per-component
// profile storage, and further interfaces such as the message box.
#pragma once

#include "platform/variant.h"

// Interfaces the component may ask the connection for.
enum PlatformInterface {
  eIMsgBox = 0,
  eIPlatformInfo = 1,
};

// Modal dialogs shown to the cashier. Both block until the cashier has answered.
class IMsgBox {
 public:
  virtual ~IMsgBox() = default;
  // Shows a yes/no question; the answer arrives as a Boolean in *answer.
  virtual bool Confirm(const WCHAR_T* question, tVariant* answer) = 0;
  virtual bool Alert(const WCHAR_T* text) = 0;
};

class IAddInDefBase {
 public:
  virtual ~IAddInDefBase() = default;
  // Posts a message to the platform's message window.
  virtual bool AddError(unsigned short code, const WCHAR_T* source, const WCHAR_T* description,
                        long statusCode) = 0;
  // Reads a value of the component's profile; false when the profile gives none.
  virtual bool Read(WCHAR_T* name, tVariant* value, long* errorCode, WCHAR_T** errorText) = 0;
  // Writes a value of the component's profile; false when the platform refused it.
  virtual bool Write(WCHAR_T* name, tVariant* value) = 0;
  // Names the profile in which Read and Write keep the component's values.
  virtual bool RegisterProfileAs(WCHAR_T* profileName) = 0;
  // Another interface of the platform, or null when the platform does not offer it.
  virtual void* GetInterface(PlatformInterface which) = 0;
};
