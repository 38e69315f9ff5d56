// Command-line handling and file helpers of the reference host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

struct Options {
  std::string command;  // "demo", "send", "version" or "help"
  std::string dir = "im_adapter_demo";
  bool json = false;
  uint32_t target = 5;
  int waitSeconds = 10;
  std::string input = "-";
};

// Parses argv; false with a message for anything it does not understand.
bool ParseOptions(int argc, char** argv, Options* options, std::string* error);
const char* Usage();

// The file that marks a folder as made by the demo, so that a later run may
// clear it.
constexpr const char* kDemoMarker = ".im_adapter_demo";

// Makes a fresh demo folder: an earlier demo folder there is cleared, any
// other non-empty folder is refused. False with a message on stderr.
bool PrepareDemoFolder(const std::string& dir);

// Reads non-empty lines of a file ("-": standard input); each must be a JSON
// object. False with a message on stderr naming the file and line otherwise.
bool ReadJsonLines(const std::string& path, std::vector<std::string>* lines);

}  // namespace host
