#include "host/src/HostOptions.h"

#include <json/json.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "platform/Platform.h"

namespace host {
namespace {

bool ParseInt(const std::string& text, long min, long max, long* value) {
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || v < min || v > max) return false;
  *value = v;
  return true;
}

}  // namespace

const char* Usage() {
  return "usage:\n"
         "  im_adapter_host demo [--dir DIR] [--json]\n"
         "  im_adapter_host send [--target N] [--wait SECONDS] [FILE|-]\n"
         "  im_adapter_host --version\n";
}

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  if (argc < 2) {
    options->command = "help";
    return true;
  }
  options->command = argv[1];
  if (options->command == "help" || options->command == "--help" || options->command == "-h") {
    options->command = "help";
    return true;
  }
  if (options->command == "--version") {
    options->command = "version";
    if (argc == 2) return true;
    *error = "--version takes no arguments";
    return false;
  }
  if (options->command != "demo" && options->command != "send") {
    *error = "unknown command \"" + options->command + "\"";
    return false;
  }
  bool inputSeen = false;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string v;
    long n = 0;
    if (arg == "--dir" && options->command == "demo") {
      if (!value(&options->dir)) return false;
    } else if (arg == "--json" && options->command == "demo") {
      options->json = true;
    } else if (arg == "--target" && options->command == "send") {
      if (!value(&v)) return false;
      if (!ParseInt(v, 0, 0xFFFFFFFFL, &n)) {
        *error = "--target takes a number, not \"" + v + "\"";
        return false;
      }
      options->target = static_cast<uint32_t>(n);
    } else if (arg == "--wait" && options->command == "send") {
      if (!value(&v)) return false;
      if (!ParseInt(v, 0, 86400, &n)) {
        *error = "--wait takes a number of seconds, not \"" + v + "\"";
        return false;
      }
      options->waitSeconds = static_cast<int>(n);
    } else if (options->command == "send" && !inputSeen && (arg == "-" || arg[0] != '-')) {
      options->input = arg;
      inputSeen = true;
    } else {
      *error = "unexpected argument \"" + arg + "\"";
      return false;
    }
  }
  return true;
}

bool PrepareDemoFolder(const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path path = fs::u8path(dir);
  const fs::path marker = path / kDemoMarker;
  std::error_code ec;
  if (fs::exists(path, ec) && !fs::is_directory(path, ec)) {
    std::fprintf(stderr, "im_adapter_host: %s is a file, not a folder\n", dir.c_str());
    return false;
  }
  if (fs::exists(path, ec) && !fs::is_empty(path, ec)) {
    if (!fs::exists(marker, ec)) {
      std::fprintf(stderr,
                   "im_adapter_host: %s is not empty and was not made by the demo; "
                   "choose another --dir\n",
                   dir.c_str());
      return false;
    }
    fs::remove_all(path, ec);
    if (ec) {
      std::fprintf(stderr, "im_adapter_host: cannot clear the old demo folder %s: %s\n",
                   dir.c_str(), ec.message().c_str());
      return false;
    }
  }
  if (!platform::MakeDirectories(dir)) {
    std::fprintf(stderr, "im_adapter_host: cannot make the folder %s: %s\n", dir.c_str(),
                 platform::LastErrorText().c_str());
    return false;
  }
  std::ofstream(marker) << "made by im_adapter_host demo; cleared by its next run\n";
  return true;
}

bool ReadJsonLines(const std::string& path, std::vector<std::string>* lines) {
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    file.open(path);
    if (!file) {
      std::fprintf(stderr, "im_adapter_host: cannot read %s\n", path.c_str());
      return false;
    }
    in = &file;
  }
  std::string line;
  int number = 0;
  Json::CharReaderBuilder builder;
  while (std::getline(*in, line)) {
    ++number;
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    Json::Value value;
    std::string errors;
    std::istringstream text(line);
    if (!Json::parseFromStream(builder, text, &value, &errors) || !value.isObject()) {
      std::fprintf(stderr, "im_adapter_host: %s line %d is not a JSON object\n",
                   path == "-" ? "standard input" : path.c_str(), number);
      return false;
    }
    lines->push_back(line);
  }
  return true;
}

}  // namespace host
