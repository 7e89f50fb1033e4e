// Names by which the platform knows the driver.
#pragma once

inline constexpr char16_t kClassName[] = u"Tavixfr";
inline constexpr char16_t kExtensionName[] = u"ViziziDIdovud";
inline constexpr char16_t kProfileName[] = u"TAVIXfr";
inline constexpr char16_t kApiKeyValueName[] = u"iApiKey:0";
inline constexpr char16_t kVersionText[] = u"3.0";
// Source of the driver's own messages to the cashier.
inline constexpr char16_t kMessageSource[] = u"Tavix";
