// The three interfaces a Native API component implements, in the slot order the platform calls.
#pragma once

#include "platform/variant.h"

class IInitDoneBase {
 public:
  virtual ~IInitDoneBase() = default;
  virtual bool Init(void* connection) = 0;
  virtual bool setMemManager(void* memoryManager) = 0;
  virtual long GetInfo() = 0;
  virtual void Done() = 0;
};

class ILanguageExtenderBase {
 public:
  virtual ~ILanguageExtenderBase() = default;
  virtual bool RegisterExtensionAs(WCHAR_T** extensionName) = 0;
  virtual long GetNProps() = 0;
  virtual long FindProp(const WCHAR_T* name) = 0;
  virtual const WCHAR_T* GetPropName(long index, long language) = 0;
  virtual bool GetPropVal(const long index, tVariant* value) = 0;
  virtual bool SetPropVal(const long index, tVariant* value) = 0;
  virtual bool IsPropReadable(const long index) = 0;
  virtual bool IsPropWritable(const long index) = 0;
  virtual long GetNMethods() = 0;
  virtual long FindMethod(const WCHAR_T* name) = 0;
  virtual const WCHAR_T* GetMethodName(const long index, const long language) = 0;
  virtual long GetNParams(const long index) = 0;
  virtual bool GetParamDefValue(const long method, const long param, tVariant* value) = 0;
  virtual bool HasRetVal(const long index) = 0;
  virtual bool CallAsProc(const long index, tVariant* params, const long count) = 0;
  virtual bool CallAsFunc(const long index, tVariant* result, tVariant* params,
                          const long count) = 0;
};

class LocaleBase {
 public:
  virtual ~LocaleBase() = default;
  virtual void SetLocale(const WCHAR_T* locale) = 0;
};

// A pointer to the component as IComponentBase is a pointer to its IInitDoneBase part.
class IComponentBase : public IInitDoneBase, public ILanguageExtenderBase, public LocaleBase {
 public:
  ~IComponentBase() override = default;
};
