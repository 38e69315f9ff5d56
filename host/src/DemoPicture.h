// A real PNG picture for the demo's picture messages.
#pragma once

#include <string>

namespace host {

// The bytes of a width × height RGB PNG showing a colour gradient; empty when
// zlib fails.
std::string MakeGradientPng(int width, int height);

}  // namespace host
