#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter/src/limit/ImAdapterGroupChatLimit.h"

namespace {

// Each row on a fresh limiter, one group and flow count: stamps in order, "+"
// where the message is allowed and "-" where it is refused; then the stamps kept.
TEST(GroupChatLimit, FirstMessageWindowAndOddStamps) {
  const struct {
    std::string group;
    int32_t flow;
    std::vector<std::string> steps;
    size_t queued;
  } cases[] = {
      // The first message of a group is allowed whatever its stamp, unless its
      // flow count is out of 0..10 or its group or stamp is empty.
      {"g", 0, {"+1000"}, 1},
      {"g", 10, {"+not a number"}, 1},
      {"g", -1, {"-1000"}, 0},
      {"g", 11, {"-1000"}, 0},
      {"g", 1000, {"-1000"}, 0},
      {"", 3, {"-1000"}, 0},
      {"g", 3, {"-"}, 0},
      // Five stamps fill the window; 60000 ms later they still count, 60001 ms later none does.
      {"g", 3, {"+100000", "+100000", "+100000", "+100000", "+100000", "-160000", "+160001"}, 1},
      // Unparsable once the group has a queue; blanks before and a tail after the number are fine.
      {"g", 3, {"+1000", "-abc", "-99999999999999999999999", "- ", "--", "+  2000xyz"}, 2},
      {"g", 3, {"+-9223372036854775808", "+9223372036854775807"}, 1},  // no overflow
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.group + "|" + std::to_string(c.flow) + "|" + c.steps[0]);
    ImAdapterGroupChatLimit limit;
    for (const std::string& step : c.steps) {
      EXPECT_EQ(limit.CheckIsExceedLimit(c.group, step.substr(1), c.flow), step[0] == '+') << step;
    }
    EXPECT_EQ(limit.QueuedCount(c.group), c.queued);
  }
}

TEST(GroupChatLimit, LimitIsFiveUpToFlowCountFiveAndTenUpToTen) {
  const std::pair<int32_t, int> cases[] = {{0, 5}, {3, 5}, {5, 5}, {6, 10}, {7, 10}, {10, 10}};
  for (const auto& [flowLimitCount, expected] : cases) {
    ImAdapterGroupChatLimit limit;
    int allowed = 0;
    for (int i = 0; i < 12; ++i) allowed += limit.CheckIsExceedLimit("g", "5000", flowLimitCount);
    EXPECT_EQ(allowed, expected) << "flowLimitCount " << flowLimitCount;
    EXPECT_EQ(limit.QueuedCount("g"), static_cast<size_t>(expected));
  }
}

}  // namespace
