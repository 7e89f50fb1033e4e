// The four functions through which the platform lists, creates and destroys components.
#pragma once

#include "platform/component_base.h"

#if defined(_WIN32)
#define TAVIX_EXPORT __declspec(dllexport)
#else
#define TAVIX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
TAVIX_EXPORT const WCHAR_T* GetClassNames();
TAVIX_EXPORT long GetClassObject(const WCHAR_T* className, IComponentBase** component);
TAVIX_EXPORT long DestroyObject(IComponentBase** component);
TAVIX_EXPORT int SetPlatformCapabilities(int capabilities);
}

// The same functions as the host finds them with dlsym.
using GetClassNamesFn = const WCHAR_T* (*)();
using GetClassObjectFn = long (*)(const WCHAR_T*, IComponentBase**);
using DestroyObjectFn = long (*)(IComponentBase**);
using SetPlatformCapabilitiesFn = int (*)(int);
