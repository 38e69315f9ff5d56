// The adapter's logger as the host opens it: folders, day switch, line format,
// threshold, long lines and rotation of im_adapter.log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/AdapterLog.h"
#include "log/LoggerRegistry.h"
#include "platform/Platform.h"
#include "tests/log/LogTestSupport.h"

namespace {

using logtest::At;
using logtest::Exists;
using logtest::ReadFile;
using logtest::ReadLines;
using logtest::SetClock;

constexpr int kHostLevel = 3;
constexpr int kHostSizeMb = 5;
constexpr const char* kFileName = "im_adapter.log";

std::string Ids() {
  return "[P:" + std::to_string(platform::ProcessId()) +
         "/T:" + std::to_string(platform::ThreadId()) + "]";
}

std::string Header(const char* time) {
  return std::string("Logone(v3.0) Begin Time:") + time + "\r\n";
}

class AdapterLogTest : public logtest::LogFixture {
 protected:
  int OpenHost(const std::string& folder) {
    return AdapterLogOpen(kHostLevel, kHostSizeMb, folder.c_str(), kFileName);
  }
  void Log(int level, const std::string& text) {
    AdapterLog("", level, "Test::Fn", "/src/adapter/Source.cpp", 7, "%s", text.c_str());
  }
  std::string Line(const char* level, const std::string& text,
                   const char* time = "2026-03-14 12:00:00.000") {
    return std::string("[") + time + "]" + Ids() + "[" + level + "][Source.cpp:7 Test::Fn]" +
           text + "\r\n";
  }
  std::string DayFile(const char* day) { return Path(std::string("log/") + day + "/" + kFileName); }
};

TEST_F(AdapterLogTest, OpenRejectsMissingPathAndLevelZeroTurnsLoggingOff) {
  struct Case {
    const char* name;
    int level;
    const char* path;
    int expected;
  } cases[] = {{"null path", 3, nullptr, 1}, {"empty path", 3, "", 1}, {"level 0", 0, "/x", 0}};
  for (const Case& c : cases) {
    ASSERT_EQ(OpenHost(Path("log")), 0) << c.name;
    EXPECT_EQ(AdapterLogOpen(c.level, 5, c.path, kFileName), c.expected) << c.name;
    EXPECT_FALSE(AdapterLogEnabled(kLogErr)) << c.name;
    EXPECT_EQ(LoggerRegistry::Instance().Count(), 0u) << c.name;
  }
}

TEST_F(AdapterLogTest, SecondOpenClosesTheFirst) {
  ASSERT_EQ(OpenHost(Path("a/log")), 0);
  Log(kLogInf, "to a");
  ASSERT_EQ(OpenHost(Path("b/log/")), 0);
  Log(kLogInf, "to b");
  EXPECT_EQ(LoggerRegistry::Instance().Count(), 1u);
  const std::vector<std::string> a = ReadLines(Path("a/log/2026-03-14/im_adapter.log"));
  const std::vector<std::string> b = ReadLines(Path("b/log/2026-03-14/im_adapter.log"));
  ASSERT_EQ(a.size(), 2u);
  EXPECT_EQ(a[1], Line("Inf", "to a"));
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[1], Line("Inf", "to b"));
}

TEST_F(AdapterLogTest, DayFolderSwitchesAtMidnightWithHeader) {
  SetClock(At(2026, 3, 14, 23, 59, 59, 999));
  ASSERT_EQ(OpenHost(Path("log")), 0);
  Log(kLogInf, "before");
  SetClock(At(2026, 3, 15, 0, 0, 0, 0));
  Log(kLogInf, "after");
  const std::vector<std::string> expectedFirst = {
      Header("2026-03-14 23:59:59.999"), Line("Inf", "before", "2026-03-14 23:59:59.999")};
  const std::vector<std::string> expectedSecond = {
      Header("2026-03-15 00:00:00.000"), Line("Inf", "after", "2026-03-15 00:00:00.000")};
  EXPECT_EQ(ReadLines(DayFile("2026-03-14")), expectedFirst);
  EXPECT_EQ(ReadLines(DayFile("2026-03-15")), expectedSecond);
  EXPECT_FALSE(Exists(Path("log/im_adapter.log")));
}

TEST_F(AdapterLogTest, LineWrittenAcrossMidnightKeepsItsDayAndStampTogether) {
  ASSERT_EQ(OpenHost(Path("log")), 0);
  logtest::SetClockSequence({At(2026, 3, 14, 23, 59, 59, 999), At(2026, 3, 15, 0, 0, 0, 0)});
  Log(kLogInf, "at midnight");
  const std::vector<std::string> expected = {
      Header("2026-03-14 23:59:59.999"), Line("Inf", "at midnight", "2026-03-14 23:59:59.999")};
  EXPECT_EQ(ReadLines(DayFile("2026-03-14")), expected);
  EXPECT_FALSE(Exists(Path("log/2026-03-15")));
}

TEST_F(AdapterLogTest, LineFormat) {
  ASSERT_EQ(OpenHost(Path("log")), 0);
  AdapterLog("", kLogErr, "A::B", "/src/adapter/Source.cpp", 196, "%s", "plain");
  AdapterLog("", kLogWar, "A::B", "Source.cpp", -1, "%d-%s", 5, "x");
  AdapterLog("Tag", kLogInf, "A::B", "/a/b/Source.cpp", 3, "%s", "");
  AdapterLog("", kLogInf, "A::B", "/src/dir/", 3, "%s", "empty source name: no line");
  const std::string time = "[2026-03-14 12:00:00.000]";
  const std::vector<std::string> expected = {
      Header("2026-03-14 12:00:00.000"),
      time + Ids() + "[Err][Source.cpp:196 A::B]plain\r\n",
      time + Ids() + "[War][Source.cpp:-1 A::B]5-x\r\n",
      time + Ids() + "[Inf][Tag][Source.cpp:3 A::B]\r\n",
  };
  EXPECT_EQ(ReadLines(DayFile("2026-03-14")), expected);
}

TEST_F(AdapterLogTest, ThresholdOfTheHostLoggerIsInformation) {
  ASSERT_EQ(OpenHost(Path("log")), 0);
  EXPECT_TRUE(AdapterLogEnabled(kLogErr));
  EXPECT_TRUE(AdapterLogEnabled(kLogInf));
  EXPECT_FALSE(AdapterLogEnabled(kLogDbg));
  Log(kLogDbg, "debug");
  IMLOG(kLogDbg, "Test::Macro", "debug by macro");
  Log(kLogErr, "error");
  AdapterLogConfigure(4, 1);
  EXPECT_TRUE(AdapterLogEnabled(kLogDbg));
  Log(kLogDbg, "debug after configure");
  const std::vector<std::string> lines = ReadLines(DayFile("2026-03-14"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], Line("Err", "error"));
  EXPECT_EQ(lines[2], Line("Dbg", "debug after configure"));
  AdapterLogClose();
  EXPECT_FALSE(AdapterLogEnabled(kLogErr));
}

TEST_F(AdapterLogTest, MacroNamesThisSourceFile) {
  ASSERT_EQ(OpenHost(Path("log")), 0);
  IMLOG(kLogInf, "Test::Macro", std::string("by ") + "macro");
  const std::vector<std::string> lines = ReadLines(DayFile("2026-03-14"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("][Inf][AdapterLogTest.cpp:"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find(" Test::Macro]by macro\r\n"), std::string::npos) << lines[1];
}

TEST_F(AdapterLogTest, LineLongerThanTheBufferIsDroppedWhole) {
  ASSERT_EQ(OpenHost(Path("log")), 0);
  const std::size_t prefix = Line("Inf", "").size() - 2;
  const std::size_t fits = 16383 - prefix - 2;  // buffer holds the line and its terminator
  Log(kLogInf, std::string(fits, 'a'));
  Log(kLogInf, std::string(fits + 1, 'b'));
  AdapterLog("", kLogInf, "Test::Fn", "/src/adapter/Source.cpp", 7, "%s%s",
             std::string(fits, 'c').c_str(), "d");
  Log(kLogInf, "after");
  const std::vector<std::string> lines = ReadLines(DayFile("2026-03-14"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], Line("Inf", std::string(fits, 'a')));
  EXPECT_EQ(lines[2], Line("Inf", "after"));
}

TEST_F(AdapterLogTest, FolderWithoutLowercaseLogWritesMyLogInWorkingDirectory) {
  const std::string fallback = platform::CurrentDirectory() + platform::PathSeparator() + "MyLog.log";
  platform::RemoveFile(fallback);
  ASSERT_EQ(OpenHost(Path("Log")), 0);
  Log(kLogInf, "to the fallback");
  AdapterLogClose();
  const std::vector<std::string> lines = ReadLines(fallback);
  platform::RemoveFile(fallback);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], Header("2026-03-14 12:00:00.000"));
  EXPECT_EQ(lines[1], Line("Inf", "to the fallback"));
  EXPECT_FALSE(Exists(Path("Log/im_adapter.log")));
}

TEST_F(AdapterLogTest, FullFileRotatesIntoNumberedCopies) {
  const std::string day = Path("log/2026-03-14");
  ASSERT_TRUE(platform::MakeDirectories(day));
  const std::string current = day + "/im_adapter.log";
  logtest::WriteFile(current, 5242880, 'x');
  logtest::WriteFile(day + "/im_adapter_1.log", 3, '1');
  logtest::WriteFile(day + "/im_adapter_2.log", 3, '2');
  ASSERT_EQ(OpenHost(Path("log")), 0);
  Log(kLogInf, "last of the full file");
  Log(kLogInf, "first of the new file");

  const std::string expectedOld = std::string(5242880, 'x') + Header("2026-03-14 12:00:00.000") +
                                  Line("Inf", "last of the full file");
  EXPECT_EQ(ReadFile(day + "/im_adapter_1.log"), expectedOld);
  EXPECT_EQ(ReadFile(day + "/im_adapter_2.log"), "111");
  EXPECT_EQ(ReadFile(current),
            Header("2026-03-14 12:00:00.000") + Line("Inf", "first of the new file"));
  EXPECT_FALSE(Exists(day + "/im_adapter_3.log"));
}

}  // namespace
