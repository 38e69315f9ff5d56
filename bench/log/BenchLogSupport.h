// What the logging benchmarks share: the text of one line and a scratch folder.
#pragma once

#include <string>

namespace logbench {

// A typical adapter line text (about 90 bytes).
extern const char* const kLineText;

// A fresh scratch folder for one benchmark, with a "log" folder inside.
std::string MakeScratchFolder(const std::string& name);
void RemoveScratchFolder(const std::string& folder);

}  // namespace logbench
