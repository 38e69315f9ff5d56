// The file logger and the registry below the adapter's call: registration,
// repeated rotation, fallbacks, trace and wide lines, stop and resume.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/FunctionTrace.h"
#include "log/LogOneImpl.h"
#include "log/LoggerRegistry.h"
#include "platform/Platform.h"
#include "tests/log/LogTestSupport.h"

namespace {

using namespace logtest;  // NOLINT(build/namespaces): the shared logger test helpers
using testfiles::Read;

class LogOneImplTest : public logtest::LogFixture {
 protected:
  void TearDown() override {
    for (uint32_t id : created_) LoggerRegistry::Instance().Remove(id);
    LogFixture::TearDown();
  }
  uint32_t Create(const std::string& path, int32_t maxSizeKb = 0, int32_t backups = 0,
                  int32_t threshold = 3) {
    const uint32_t id =
        LoggerRegistry::Instance().Create(LoggerSettings{path, maxSizeKb, backups, threshold});
    created_.push_back(id);
    return id;
  }

  std::vector<uint32_t> created_;
};

TEST_F(LogOneImplTest, SamePathSharesOneIdAndIdsAreNeverReused) {
  LoggerRegistry& registry = LoggerRegistry::Instance();
  const std::size_t before = registry.Count();
  const uint32_t first = Create(Path("log/a.log"));
  const uint32_t again = Create(Path("log/a.log"));
  const uint32_t other = Create(Path("log/A.log"));
  EXPECT_NE(first, 0u);
  EXPECT_EQ(again, first);
  EXPECT_EQ(other, first + 1);
  EXPECT_EQ(registry.Count(), before + 2);
  EXPECT_EQ(Create(""), 0u);
  ASSERT_TRUE(registry.Remove(first));
  EXPECT_FALSE(registry.Remove(first));
  EXPECT_EQ(registry.Find(first), nullptr);
  EXPECT_EQ(Create(Path("log/a.log")), other + 1);
}

// The name splits at its last dot: a.b.log rotates into a.b_1.log and a.b_2.log.
TEST_F(LogOneImplTest, RepeatedRotationKeepsBackupCountCopiesInOrder) {
  const uint32_t id = Create(Path("log/a.b.log"), /*maxSizeKb=*/1, /*backups=*/2);
  const std::string day = Path("log/2026-03-14/");
  ASSERT_TRUE(platform::MakeDirectories(day));
  // Files rotation leaves alone: beyond the backup count, or other names.
  const char* const kForeign[] = {"a.b_9.log", "old_a.b_1.log", "a.b_1.txt", "a.b_x.log"};
  for (const char* foreign : kForeign) testfiles::Write(day + foreign, "k");
  const int kLines = 200;
  for (int i = 0; i < kLines; ++i) {
    LoggerRegistry::Instance().Write(id, "", 2, "F", "s.cpp", 1, "line %04d", i);
  }
  // The surviving lines are consecutive across the copies and the current file; each file
  // starts with a header and none is much over the limit.
  std::vector<int> numbers;
  for (const char* name : {"a.b_2.log", "a.b_1.log", "a.b.log"}) {
    const std::vector<std::string> lines = ReadLines(day + name);
    ASSERT_FALSE(lines.empty()) << name;
    EXPECT_EQ(lines[0], kHeader) << name;
    EXPECT_LT(Read(day + name).size(), 1024u + 200u) << name;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      int number = -1;
      ASSERT_EQ(std::sscanf(lines[i].c_str() + lines[i].find("]line ") + 6, "%d", &number), 1);
      numbers.push_back(number);
    }
  }
  ASSERT_FALSE(numbers.empty());
  EXPECT_EQ(numbers.back(), kLines - 1);
  for (std::size_t i = 1; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
  EXPECT_FALSE(platform::PathExists(day + "a.b_3.log"));
  for (const char* foreign : kForeign) EXPECT_EQ(Read(day + foreign), "k") << foreign;
}

TEST_F(LogOneImplTest, FallbackFilesWhenTheConfiguredOneCannotBeUsed) {
  testfiles::Write(Path("blocker"), "b");  // a file where a folder is needed
  ASSERT_TRUE(platform::MakeDirectories(Path("log/2026-03-14/sub")));  // a folder, not a file
  // {configured file, fallback}: a folder that cannot be made, a file that cannot be opened
  const std::pair<std::string, std::string> cases[] = {
      {Path("blocker/log/app.log"), platform::CurrentDirectory() + "/Log/MyLog.log"},
      {Path("log/sub"), Path("log/2026-03-14/MyLog.log")},
  };
  for (const auto& [configured, fallback] : cases) {
    SCOPED_TRACE(configured);
    const uint32_t id = Create(configured);
    LoggerRegistry::Instance().Write(id, "", 0, "F", "s.cpp", 1, "%s", "kept");
    LoggerRegistry::Instance().Remove(id);
    const std::vector<std::string> lines = ReadLines(fallback);
    platform::RemoveFile(fallback);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("]kept\r\n"), std::string::npos);
  }
}

TEST_F(LogOneImplTest, TraceAndWideLinesStopAndResume) {
  LogOneImpl logger;
  logger.SetFilePath(Path("t/trace.log"));
  {
    LogOne* holder = &logger;
    FunctionTrace trace(holder, "", "Test::Scope", "/src/x/Scope.cpp", 12);
    logger.WriteLineW("", 1, "Test::Wide", "w.cpp", 2, L"%ls=%d", L"caf\u00e9 \u4e2d", 5);
    logger.Stop();
    logger.WriteLine("", 0, "Test::Stopped", "w.cpp", 3, "%s", "not written");
    logger.Resume();
  }
  logger.SetThreshold(2);
  LogOne* none = nullptr;
  { FunctionTrace quiet(none, "", "Test::Quiet", "q.cpp", 1); }
  logger.WriteTrace("", "Test::Below", "b.cpp", 1, true);
  logger.WriteLine("", 3, "Test::Debug", "w.cpp", 4, "%s", "above threshold");
  const std::string time = "[2026-03-14 12:00:00.000]";
  const std::vector<std::string> expected = {
      kHeader,
      time + Ids() + "[Dbg][Scope.cpp:12 Test::Scope][Enter]\r\n",
      time + Ids() + "[War][w.cpp:2 Test::Wide]Content:caf\xc3\xa9 \xe4\xb8\xad=5\r\n",
      time + Ids() + "[Dbg][Scope.cpp:12 Test::Scope][Leave]\r\n",
  };
  EXPECT_EQ(ReadLines(Path("t/trace.log")), expected);
}

std::vector<std::string> g_callbackLines;

void RecordCallback(int level, void* context, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  g_callbackLines.push_back(std::to_string(level) +
                            (context == &g_callbackLines ? " ctx " : " ? ") + text);
}

TEST_F(LogOneImplTest, FunctionTraceCallbackMode) {
  g_callbackLines.clear();
  LogOne* none = nullptr;
  {
    FunctionTrace trace(none, "", "Test::Cb", "c.cpp", 30, &RecordCallback,
                        FunctionTrace::kModeCallback, &g_callbackLines);
  }
  { FunctionTrace missing(none, nullptr, "Test::Cb", "c.cpp", 31, &RecordCallback, 1, nullptr); }
  const std::string head =
      "[2026-03-14 12:00:00.000][T:" + std::to_string(platform::ThreadId()) + "][Test::Cb:30]";
  const std::vector<std::string> expected = {"7 ctx " + head + "Enter Test::Cb",
                                             "6 ctx " + head + "Leave Test::Cb"};
  EXPECT_EQ(g_callbackLines, expected);
}

TEST_F(LogOneImplTest, FailedOpenStaysSilentUntilTheDayChanges) {
  const uint32_t id = Create(Path("log/app.log"));
  // Folders where both the file and its fallback should be: neither opens.
  ASSERT_TRUE(platform::MakeDirectories(Path("log/2026-03-14/app.log")));
  ASSERT_TRUE(platform::MakeDirectories(Path("log/2026-03-14/MyLog.log")));
  LoggerRegistry::Instance().Write(id, "", 0, "F", "s.cpp", 1, "%s", "lost");
  SetClock(At(2026, 3, 15, 8));
  LoggerRegistry::Instance().Write(id, "", 0, "F", "s.cpp", 1, "%s", "day two");
  const std::vector<std::string> lines = ReadLines(Path("log/2026-03-15/app.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Logone(v3.0) Begin Time:2026-03-15 08:00:00.000\r\n");
  EXPECT_NE(lines[1].find("]day two\r\n"), std::string::npos);
}

TEST_F(LogOneImplTest, OutputModeSelectsFileAndStandardError) {
  for (uint32_t mode : {0u, LogOne::kOutputFile, LogOne::kOutputConsole,
                        LogOne::kOutputFile | LogOne::kOutputConsole}) {
    const std::string file = Path("out/mode" + std::to_string(mode) + ".log");
    LogOneImpl logger;
    logger.SetFilePath(file);
    logger.SetOutputMode(mode);
    ::testing::internal::CaptureStderr();
    logger.WriteLine("", 0, "F", "s.cpp", 1, "%s", "mode line");
    const std::string err = ::testing::internal::GetCapturedStderr();
    const bool inFile = Read(file).find("]mode line\r\n") != std::string::npos;
    const bool onStderr = err.find("]mode line\r\n") != std::string::npos;
    EXPECT_EQ((inFile ? LogOne::kOutputFile : 0u) | (onStderr ? LogOne::kOutputConsole : 0u), mode);
  }
}

TEST_F(LogOneImplTest, NothingIsWrittenOnceLoggingHasEnded) {
  const std::string file = Path("log/ended.log");
  const uint32_t id = Create(file);
  LoggerRegistry::Instance().Write(id, "", 0, "F", "s.cpp", 1, "%s", "before");
  ASSERT_NE(Read(Path("log/2026-03-14/ended.log")).find("]before\r\n"), std::string::npos);
  // Ending logging (irreversible: in a child process) keeps the loggers.
  EXPECT_EXIT(
      {
        LoggerRegistry::EndLogging();
        LoggerRegistry::Instance().Write(id, "", 0, "F", "s.cpp", 1, "%s", "after");
        const bool ended = LoggerRegistry::Instance().Count() != 0 && !LoggerRegistry::Alive() &&
                           LoggerRegistry::Instance().Create(LoggerSettings{file, 0, 0, 3}) == 0;
        std::exit(ended ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(Read(Path("log/2026-03-14/ended.log")).find("]after"), std::string::npos);
}

}  // namespace
