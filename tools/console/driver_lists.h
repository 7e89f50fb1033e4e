// The two lists the driver hands the platform as XML, read back into lines a technician can use:
// the settings of the platform's form (with the console option for each) and the service
// actions.
#pragma once

#include <string>
#include <vector>

namespace console {

std::vector<std::string> settingsLines(const std::string& settingsXml);
std::vector<std::string> actionLines(const std::string& actionsXml);

}  // namespace console
