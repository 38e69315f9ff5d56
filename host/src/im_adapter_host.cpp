// im_adapter_host: a reference host program for the adapter.
//
//   im_adapter_host demo [--dir DIR] [--json]
//       Makes a fresh demo folder DIR (default ./im_adapter_demo) with a seeded
//       message store and received files, sets the log folder to DIR/log,
//       starts the adapter and runs commands 1, 2, 3 and 4, printing a
//       readable account of every reply and notification (the raw JSON with
//       --json). Writes DIR/demo_summary.json. Exits 0 only when every step
//       got its answer.
//   im_adapter_host send [--target N] [--wait SECONDS] [FILE|-]
//       Dispatches each JSON line of FILE (standard input for "-" or no FILE)
//       to target N (5 by default), prints every text that comes back as one
//       JSON line, and exits when an answer has come for each line or after
//       the wait (10 s by default).
//   im_adapter_host --version
//       Prints the version of the library this program was built with.
#include <json/json.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "host/src/DemoRunner.h"
#include "host/src/DemoSeed.h"
#include "host/src/HostOptions.h"
#include "host/src/HostSink.h"
#include "host/src/OutboundPuller.h"
#include "im_adapter/im_adapter.h"
#include "im_adapter/version.h"
#include "plugins/hostlink/StandInHost.h"

namespace {

using Clock = std::chrono::steady_clock;

void PrintOutcomes(const std::vector<host::StepOutcome>& steps) {
  std::printf("\nsummary\n");
  for (const host::StepOutcome& s : steps) {
    if (!s.answered) {
      std::printf("  %-40s NO ANSWER\n", s.name.c_str());
    } else if (s.result == 0) {
      std::printf("  %-40s ok%s\n", s.name.c_str(), s.complete ? "" : " (notifications missing)");
    } else {
      std::printf("  %-40s answered, failed with result %d%s%s\n", s.name.c_str(), s.result,
                  s.reason.empty() ? "" : ": ", s.reason.c_str());
    }
  }
}

int RunDemo(host::Options options) {
  // Every path the demo hands the adapter is absolute, as a real host's are:
  // the migration, for one, needs to know the volume of its folders.
  std::error_code ec;
  const std::filesystem::path absolute =
      std::filesystem::absolute(std::filesystem::u8path(options.dir), ec);
  if (ec) {
    std::fprintf(stderr, "im_adapter_host: cannot resolve %s: %s\n", options.dir.c_str(),
                 ec.message().c_str());
    return 2;
  }
  options.dir = absolute.lexically_normal().u8string();
  if (options.dir.size() > 1 && options.dir.back() == '/') options.dir.pop_back();
  if (!host::PrepareDemoFolder(options.dir)) return 2;
  StandInSetOption("IM_STORE_DB", (options.dir + "/im_store.db").c_str());
  StandInSetOption("IM_CLOUD_DIR", (options.dir + "/cloud").c_str());
  const std::string logDir = options.dir + "/log";
  if (IMAdapterSetLog(logDir.c_str()) != 0) {
    std::fprintf(stderr, "im_adapter_host: cannot open the log in %s\n", logDir.c_str());
    return 2;
  }
  std::printf("im_adapter demo in %s (log in %s)\n", options.dir.c_str(), logDir.c_str());

  host::HostSink sink;
  host::DemoSeed seed(options.dir, &sink);
  std::string error;
  if (!seed.Run(&error)) {
    std::fprintf(stderr, "im_adapter_host: cannot prepare the demo: %s\n", error.c_str());
    return 1;
  }
  std::printf("seeded: contacts %s, %s, %s; group %s; %zu messages from %s; files in %s\n",
              host::DemoSeed::kMe, host::DemoSeed::kPeer, host::DemoSeed::kOther,
              host::DemoSeed::kGroup, seed.Messages().All().size(), host::DemoSeed::kPeer,
              seed.ReceiveFiles().c_str());
  std::printf("IMAdapterStartup -> %d\n", IMAdapterStartup());

  std::vector<host::StepOutcome> steps;
  {
    host::DemoRunner runner(options.dir, seed, options.json);
    steps = runner.RunAll();
    if (!runner.WriteSummary(steps)) {
      std::fprintf(stderr, "im_adapter_host: cannot write %s/demo_summary.json\n",
                   options.dir.c_str());
    }
  }
  std::printf("\nIMAdapterShutDown -> %d\n", IMAdapterShutDown());
  PrintOutcomes(steps);
  int answered = 0;
  for (const host::StepOutcome& s : steps) answered += s.answered ? 1 : 0;
  const bool ok = answered == static_cast<int>(steps.size());
  std::printf("%s: %d of %zu steps answered\n", ok ? "demo finished" : "demo FAILED", answered,
              steps.size());
  return ok ? 0 : 1;
}

// Prints raw as one JSON line (as it came when it is not JSON); true when it
// is an answer ("rsp") rather than a notification.
bool PrintOneLine(const std::string& raw) {
  Json::Value text;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::istringstream in(raw);
  if (!Json::parseFromStream(builder, in, &text, &errors)) {
    std::printf("%s\n", raw.c_str());
    return false;
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  std::printf("%s\n", Json::writeString(writer, text).c_str());
  return text.isObject() && text.isMember("rsp");
}

int RunSend(const host::Options& options) {
  std::vector<std::string> lines;
  if (!host::ReadJsonLines(options.input, &lines)) return 2;
  host::HostSink sink;  // answers of the stand-in plugins to targets 0 to 3
  IMAdapterStartup();
  int replies = 0;
  const int expected =
      options.target <= 3 || options.target == 5 ? static_cast<int>(lines.size()) : 0;
  {
    host::OutboundPuller puller;
    for (const std::string& line : lines) {
      IMAdapterDispatchMsg(line.data(), static_cast<uint32_t>(line.size()), options.target);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(options.waitSeconds);
    while (Clock::now() < deadline && (expected == 0 || replies < expected)) {
      std::vector<std::string> texts = sink.TakeAllRaw();
      std::string raw;
      if (puller.Next(std::chrono::milliseconds(50), &raw)) texts.push_back(raw);
      for (const std::string& text : texts) {
        if (PrintOneLine(text)) ++replies;
      }
      std::fflush(stdout);
    }
  }
  IMAdapterShutDown();
  if (expected > 0 && replies < expected) {
    std::fprintf(stderr, "im_adapter_host: %d of %d answers came within %d s\n", replies, expected,
                 options.waitSeconds);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  host::Options options;
  std::string error;
  if (!host::ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "im_adapter_host: %s\n%s", error.c_str(), host::Usage());
    return 2;
  }
  if (options.command == "demo") return RunDemo(options);
  if (options.command == "send") return RunSend(options);
  if (options.command == "version") {
    std::printf("im_adapter_host %s\n", IM_ADAPTER_VERSION);
    return 0;
  }
  std::printf("%s", host::Usage());
  return options.command == "help" ? 0 : 2;
}
