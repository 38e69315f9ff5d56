// The stand-ins' switches: a setting made with StandInSetOption, else the
// environment variable of the same name, else a default.
#pragma once

#include <string>

namespace standin {

std::string Setting(const char* name, const std::string& fallback);

// A whole decimal number in [minimum, maximum]; fallback for anything else.
long SettingNumber(const char* name, long fallback, long minimum, long maximum);

}  // namespace standin
