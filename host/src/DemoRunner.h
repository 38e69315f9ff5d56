// The demo's adapter commands, run one after the other against the adapter
// and the stand-in plugins, with a readable account of every answer.
#pragma once

#include <json/json.h>

#include <string>
#include <vector>

#include "host/src/DemoSeed.h"
#include "host/src/OutboundPuller.h"

namespace host {

// What one step of the demo got.
struct StepOutcome {
  std::string name;
  int cmd = 0;
  bool answered = false;  // every reply the step waits for came
  int result = -1;        // the (first) reply's "result"
  std::string reason;     // the reply's "reason", when it failed
  int notifications = 0;  // notifications that belong to the step
  bool complete = false;  // answered, and every notification it expects came
};

class DemoRunner {
 public:
  // json: print the raw texts instead of summaries. dir: the demo folder.
  DemoRunner(const std::string& dir, const DemoSeed& seed, bool json);

  // Runs commands 1, 2, 3 and 4 and returns what each got.
  std::vector<StepOutcome> RunAll();

  // Writes the outcomes to "<dir>/demo_summary.json"; false when it cannot.
  bool WriteSummary(const std::vector<StepOutcome>& steps) const;

 private:
  // Sends a target-5 request and returns its serial number.
  int Send(int cmd, const std::string& description, const Json::Value& param);
  // The next outbound text within the wait, parsed; false on time-out.
  bool Next(int waitSeconds, Json::Value* text);
  // Waits for the reply to sno; other texts are shown and left.
  bool WaitReply(int sno, StepOutcome* step, Json::Value* reply);
  // Waits for count "AppendMsgNotify" notifications.
  void WaitSent(int count, StepOutcome* step);
  void Show(const Json::Value& text, const std::string& raw);

  StepOutcome Forward();
  StepOutcome Combine();
  StepOutcome Limit();
  StepOutcome Migrate();
  Json::Value ForwardParam(const std::vector<std::string>& ids) const;

  std::string dir_;
  const DemoSeed& seed_;
  bool json_;
  int sno_ = 0;
  OutboundPuller puller_;
  std::string lastRaw_;
};

}  // namespace host
