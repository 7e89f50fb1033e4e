// The one place that knows how this operating system's C runtime takes a locale name.
#pragma once

#include "platform/variant.h"

// Makes the process's C runtime locale follow the platform's. Numbers for the register never
// depend on it: they are written with a formatter that ignores the locale.
void followPlatformLocale(const WCHAR_T* platformLocale);
