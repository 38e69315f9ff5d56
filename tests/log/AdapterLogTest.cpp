// The adapter's logger as the host opens it: folders, day switch, line format,
// threshold, long lines and rotation of im_adapter.log.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "log/AdapterLog.h"
#include "log/LoggerRegistry.h"
#include "platform/Platform.h"
#include "tests/log/LogTestSupport.h"

namespace {

using namespace logtest;  // NOLINT(build/namespaces): the shared logger test helpers
using testfiles::Read;

constexpr const char* kFileName = "im_adapter.log";

class AdapterLogTest : public logtest::LogFixture {
 protected:
  int OpenHost(const std::string& folder) {
    // The host's settings: information level, files of 5 MB.
    return AdapterLogOpen(3, 5, folder.c_str(), kFileName);
  }
  void Log(int level, const std::string& text) {
    AdapterLog("", level, "Test::Fn", "/src/adapter/Source.cpp", 7, "%s", text.c_str());
  }
  std::string Line(const char* level, const std::string& text,
                   const char* time = "2026-03-14 12:00:00.000") {
    return std::string("[") + time + "]" + Ids() + "[" + level + "][Source.cpp:7 Test::Fn]" + text +
           "\r\n";
  }
  std::string DayFile(const char* day) { return Path(std::string("log/") + day + "/" + kFileName); }
  // The line an open writes first: the library version.
  static bool IsVersionLine(const std::string& line) {
    static const std::regex kVersion(" AdapterLogOpen\\]im_adapter [0-9]+\\.[0-9]+\\.[0-9]+\r\n$");
    return line.find(Ids() + "[Inf][AdapterLog.cpp:") != std::string::npos &&
           std::regex_search(line, kVersion);
  }
  // The lines of a file that an open started, its version line (checked)
  // taken out after the header.
  std::vector<std::string> HostLines(const std::string& path) {
    std::vector<std::string> lines = ReadLines(path);
    if (lines.size() < 2 || !IsVersionLine(lines[1])) {
      ADD_FAILURE() << path << " has no version line after its header";
      return lines;
    }
    lines.erase(lines.begin() + 1);
    return lines;
  }
};

// A failed or level-0 open still closes the logger that was open; a second
// open moves the lines to the new folder.
TEST_F(AdapterLogTest, EveryOpenClosesThePreviousLogger) {
  // {level, folder, result}
  const std::tuple<int, const char*, int> cases[] = {{3, nullptr, 1}, {3, "", 1}, {0, "/x", 0}};
  for (const auto& [level, folder, result] : cases) {
    ASSERT_EQ(OpenHost(Path("log")), 0);
    EXPECT_EQ(AdapterLogOpen(level, 5, folder, kFileName), result) << level;
    EXPECT_FALSE(AdapterLogEnabled(kLogErr));
    EXPECT_EQ(LoggerRegistry::Instance().Count(), 0u);
  }
  ASSERT_EQ(OpenHost(Path("a/log")), 0);
  Log(kLogInf, "to a");
  ASSERT_EQ(OpenHost(Path("b/log/")), 0);
  Log(kLogInf, "to b");
  EXPECT_EQ(LoggerRegistry::Instance().Count(), 1u);
  for (const char* folder : {"a", "b"}) {
    EXPECT_EQ(HostLines(Path(folder + std::string("/log/2026-03-14/im_adapter.log"))),
              (std::vector<std::string>{kHeader, Line("Inf", std::string("to ") + folder)}));
  }
}

// The day folder follows the time stamp of the line itself, even when the
// clock passes midnight while the line is written; the new day's file starts
// with a header.
TEST_F(AdapterLogTest, DayFolderSwitchesAtMidnightWithHeader) {
  const platform::LocalTime before = At(2026, 3, 14, 23, 59, 59, 999);
  const platform::LocalTime after = At(2026, 3, 15, 0, 0, 0, 0);
  SetClock(before);
  ASSERT_EQ(OpenHost(Path("log")), 0);
  SetClockSequence({before, after});
  Log(kLogInf, "at midnight");
  SetClock(after);
  Log(kLogInf, "after");
  const char* kBefore = "2026-03-14 23:59:59.999";
  const char* kAfter = "2026-03-15 00:00:00.000";
  EXPECT_EQ(HostLines(DayFile("2026-03-14")),
            (std::vector<std::string>{Header(kBefore), Line("Inf", "at midnight", kBefore)}));
  EXPECT_EQ(ReadLines(DayFile("2026-03-15")),
            (std::vector<std::string>{Header(kAfter), Line("Inf", "after", kAfter)}));
  EXPECT_FALSE(platform::PathExists(Path("log/im_adapter.log")));
}

// Line format (tag, bare file name, negative line number) and the host
// logger's information threshold, also through the macro.
TEST_F(AdapterLogTest, LineFormatAndThresholdOfTheHostLogger) {
  ASSERT_EQ(OpenHost(Path("log")), 0);
  EXPECT_TRUE(AdapterLogEnabled(kLogInf));
  EXPECT_FALSE(AdapterLogEnabled(kLogDbg));
  AdapterLog("", kLogErr, "A::B", "/src/adapter/Source.cpp", 196, "%s", "plain");
  AdapterLog("", kLogWar, "A::B", "Source.cpp", -1, "%d-%s", 5, "x");
  AdapterLog("Tag", kLogInf, "A::B", "/a/b/Source.cpp", 3, "%s", "");
  AdapterLog("", kLogInf, "A::B", "/src/dir/", 3, "%s", "empty source name: no line");
  Log(kLogDbg, "debug");
  IMLOG(kLogDbg, "Test::Macro", "debug by macro");
  IMLOG(kLogInf, "Test::Macro", std::string("by ") + "macro");
  AdapterLogConfigure(4, 1);
  Log(kLogDbg, "debug after configure");
  const std::string time = "[2026-03-14 12:00:00.000]";
  const std::vector<std::string> lines = HostLines(DayFile("2026-03-14"));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], kHeader);
  EXPECT_EQ(lines[1], time + Ids() + "[Err][Source.cpp:196 A::B]plain\r\n");
  EXPECT_EQ(lines[2], time + Ids() + "[War][Source.cpp:-1 A::B]5-x\r\n");
  EXPECT_EQ(lines[3], time + Ids() + "[Inf][Tag][Source.cpp:3 A::B]\r\n");
  // The macro names this source file and the caller's function.
  EXPECT_NE(lines[4].find("][Inf][AdapterLogTest.cpp:"), std::string::npos) << lines[4];
  EXPECT_NE(lines[4].find(" Test::Macro]by macro\r\n"), std::string::npos) << lines[4];
  EXPECT_EQ(lines[5], Line("Dbg", "debug after configure"));
  AdapterLogClose();
  EXPECT_FALSE(AdapterLogEnabled(kLogErr));
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
  EXPECT_EQ(HostLines(DayFile("2026-03-14")),
            (std::vector<std::string>{kHeader, Line("Inf", std::string(fits, 'a')),
                                      Line("Inf", "after")}));
}

TEST_F(AdapterLogTest, FolderWithoutLowercaseLogWritesMyLogInWorkingDirectory) {
  const std::string fallback =
      platform::CurrentDirectory() + platform::PathSeparator() + "MyLog.log";
  platform::RemoveFile(fallback);
  ASSERT_EQ(OpenHost(Path("Log")), 0);
  Log(kLogInf, "to the fallback");
  AdapterLogClose();
  const std::vector<std::string> lines = HostLines(fallback);
  platform::RemoveFile(fallback);
  EXPECT_EQ(lines, (std::vector<std::string>{kHeader, Line("Inf", "to the fallback")}));
  EXPECT_FALSE(platform::PathExists(Path("Log/im_adapter.log")));
}

TEST_F(AdapterLogTest, FullFileRotatesIntoNumberedCopies) {
  const std::string day = Path("log/2026-03-14");
  ASSERT_TRUE(platform::MakeDirectories(day));
  const std::string current = day + "/im_adapter.log";
  testfiles::Write(current, std::string(5242880, 'x'));
  testfiles::Write(day + "/im_adapter_1.log", "111");
  testfiles::Write(day + "/im_adapter_2.log", "222");
  ASSERT_EQ(OpenHost(Path("log")), 0);  // its version line is the last of the full file
  Log(kLogInf, "first of the new file");

  const std::string old = Read(day + "/im_adapter_1.log");
  const std::string full = std::string(5242880, 'x') + kHeader;
  ASSERT_EQ(old.compare(0, full.size(), full), 0);
  EXPECT_TRUE(IsVersionLine(old.substr(full.size())));
  EXPECT_EQ(Read(day + "/im_adapter_2.log"), "111");
  EXPECT_EQ(Read(current), kHeader + Line("Inf", "first of the new file"));
  EXPECT_FALSE(platform::PathExists(day + "/im_adapter_3.log"));
}

}  // namespace
