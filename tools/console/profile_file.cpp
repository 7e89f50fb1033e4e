#include "profile_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "number_text.h"

namespace console {

namespace {

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The profile holds what the driver wrote; the driver writes its key as a 32-bit integer, but the
// platform keeps whatever it is given, texts included.
std::string valueText(const tVariant& value) {
  switch (value.vt) {
    case VTYPE_I2:
      return std::to_string(value.value.shortVal);
    case VTYPE_I4:
    case VTYPE_INT:
    case VTYPE_ERROR:
    case VTYPE_HRESULT:
    case VTYPE_UI4:
    case VTYPE_UINT:
      return std::to_string(value.value.lVal);
    case VTYPE_PWSTR: {
      const WideTextValue& text = value.value.wstr;
      return "\"" +
             host::u8(text.pwstrVal == nullptr ? u""
                                               : std::u16string(text.pwstrVal, text.wstrLen)) +
             "\"";
    }
    default:
      return "";
  }
}

}  // namespace

bool loadProfile(const std::string& path, host::HostConnection& connection, std::string& error) {
  std::ifstream file(path);
  if (!file) {
    if (errno == ENOENT) return true;
    error = "cannot read the profile file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    line = trimmed(line);
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    const std::string name = equals == std::string::npos ? "" : trimmed(line.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : trimmed(line.substr(equals + 1));
    const std::string where = path + " line " + std::to_string(number);
    if (name.empty()) {
      error = where + ": expected NAME=VALUE, such as iApiKey:0=60418253";
      return false;
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      connection.storeProfileText(host::u16(name), host::u16(value.substr(1, value.size() - 2)));
    } else if (const auto number = readInt32(value)) {
      tVariant stored{};
      stored.vt = VTYPE_I4;
      stored.value.lVal = *number;
      connection.storeProfileValue(host::u16(name), stored);
    } else {
      error = where + ": the value of " + name + " is neither a whole number nor a quoted text";
      return false;
    }
  }
  if (file.bad()) {
    error = "cannot read the profile file " + path;
    return false;
  }
  return true;
}

bool saveProfile(const std::string& path, const host::HostConnection& connection,
                 std::string& error) {
  if (!connection.hasProfileValue(kApiKeyValue)) return true;
  const std::string value = valueText(connection.profileValue(kApiKeyValue));
  if (value.empty()) {
    error = "the profile's " + host::u8(kApiKeyValue) + " holds a value the file cannot keep";
    return false;
  }
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << "# the driver's profile TAVIXfr, kept by tavix-console\n"
         << host::u8(kApiKeyValue) << "=" << value << "\n";
    file.close();
    if (!file) {
      error = "cannot write the profile file " + temporary;
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot replace the profile file " + path + ": " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace console
