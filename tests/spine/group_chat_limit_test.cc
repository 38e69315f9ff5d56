#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter/src/limit/ImAdapterGroupChatLimit.h"

namespace {

// Each row on a fresh limiter: the first message of a group is allowed whatever
// its stamp; a flow count out of 0..10, an empty group or stamp is refused.
TEST(GroupChatLimit, FirstMessageIsAllowedUnlessItsFieldsAreOutOfRange) {
  const struct {
    const char* group;
    const char* stamp;
    int32_t flow;
    bool allowed;
  } cases[] = {{"g", "1000", 0, true},   {"g", "not a number", 10, true}, {"g", "1000", -1, false},
               {"g", "1000", 11, false}, {"g", "1000", 1000, false},      {"", "1000", 3, false},
               {"g", "", 3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.group) + "|" + c.stamp + "|" + std::to_string(c.flow));
    ImAdapterGroupChatLimit limit;
    EXPECT_EQ(limit.CheckIsExceedLimit(c.group, c.stamp, c.flow), c.allowed);
    EXPECT_EQ(limit.QueuedCount(c.group), c.allowed ? 1u : 0u);
  }
}

TEST(GroupChatLimit, LimitIsFiveUpToFlowCountFiveAndTenUpToTen) {
  struct Case {
    int32_t flowLimitCount;
    int allowed;
  };
  const Case cases[] = {{0, 5}, {3, 5}, {5, 5}, {6, 10}, {7, 10}, {10, 10}};
  for (const Case& c : cases) {
    ImAdapterGroupChatLimit limit;
    int allowed = 0;
    for (int i = 0; i < 12; ++i) allowed += limit.CheckIsExceedLimit("g", "5000", c.flowLimitCount);
    EXPECT_EQ(allowed, c.allowed) << "flowLimitCount " << c.flowLimitCount;
    EXPECT_EQ(limit.QueuedCount("g"), static_cast<size_t>(c.allowed));
  }
}

// Each row on a fresh limiter, flow count 3: stamps in order, "+" where the
// message is allowed, "-" where it is refused; then the stamps kept.
TEST(GroupChatLimit, WindowOfSixtySecondsAndOddStamps) {
  const struct {
    const char* name;
    std::vector<std::string> steps;
    size_t queued;
  } cases[] = {
      // Five stamps fill the window; 60000 ms later they still count, 60001 ms later none does.
      {"window", {"+100000", "+100000", "+100000", "+100000", "+100000", "-160000", "+160001"}, 1},
      // Once the group has a queue; blanks before and a tail after the number are accepted.
      {"unparsable", {"+1000", "-abc", "-99999999999999999999999", "- ", "--", "+  2000xyz"}, 2},
      {"extremes do not overflow", {"+-9223372036854775808", "+9223372036854775807"}, 1},
  };
  for (const auto& c : cases) {
    ImAdapterGroupChatLimit limit;
    for (const std::string& step : c.steps) {
      EXPECT_EQ(limit.CheckIsExceedLimit("g", step.substr(1), 3), step[0] == '+') << c.name << step;
    }
    EXPECT_EQ(limit.QueuedCount("g"), c.queued) << c.name;
  }
}

}  // namespace
