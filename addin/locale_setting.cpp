#include "addin/locale_setting.h"

#include <clocale>
#include <string>

#if defined(_WIN32)
#include <cwchar>
#endif

void followPlatformLocale(const WCHAR_T* platformLocale) {
#if defined(_WIN32)
  _wsetlocale(LC_ALL, reinterpret_cast<const wchar_t*>(platformLocale));
#else
  // Locale names are ASCII ("ru_RU.UTF-8"); anything else is no name this C runtime knows.
  std::string name;
  for (const WCHAR_T* c = platformLocale; *c != 0; ++c) {
    if (*c > 0x7F) return;
    name += static_cast<char>(*c);
  }
  std::setlocale(LC_ALL, name.c_str());
#endif
}
