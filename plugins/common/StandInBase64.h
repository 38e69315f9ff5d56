// Base64 (standard alphabet, with padding) for the stand-ins' file lists.
#pragma once

#include <string>

namespace standin {

std::string Base64Encode(const std::string& bytes);
// False when text holds anything but the alphabet, padding and white space.
bool Base64Decode(const std::string& text, std::string* bytes);

}  // namespace standin
