// The driver's profile between runs. The platform keeps a component's profile ("TAVIXfr") in its
// own storage; the console keeps it in a small text file, so a key the driver obtained in one run
// is what it reads at Open in the next, as it would be in the platform:
//
//   # the driver's profile TAVIXfr, kept by tavix-console
//   iApiKey:0=60418253
#pragma once

#include <string>

#include "host/driver_session.h"

namespace console {

// The one value the driver keeps in its profile.
inline const std::u16string kApiKeyValue = u"iApiKey:0";

// Puts the file's values into the platform's profile. A missing file is an empty profile (the
// first run); a file that cannot be read or holds something else gives false and `error`.
bool loadProfile(const std::string& path, host::HostConnection& connection, std::string& error);

// Writes the profile's key to the file (through a temporary file, so a crash never leaves half a
// file). Nothing is written while the profile holds no key.
bool saveProfile(const std::string& path, const host::HostConnection& connection,
                 std::string& error);

}  // namespace console
