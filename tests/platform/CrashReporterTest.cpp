#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/CrashReporter.h"

namespace {

namespace fs = std::filesystem;

// The reporter takes only signals left at their default. This program is
// built with the other tests, under the sanitizers in the test build, so it
// asks AddressSanitizer to leave the fault signals alone: the reporter's real
// work is tested in every build.
extern "C" const char* __asan_default_options() {
  return "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0";
}

constexpr int kSignalTaken = 77;  // the signal already had a handler

GCore::CrashReportInfo Info(const fs::path& folder) {
  GCore::CrashReportInfo info;
  info.applicationName = "quarvelin";
  info.applicationVersion = "1.0.2";
  info.emailTo = "support@localhost";
  info.emailSubject = "quarvelin crash 1.0.8 Error Report";
  info.reportFolder = folder.string();
  return info;
}

fs::path TestFolder() {
  return fs::path(::testing::TempDir()) / ("qv-crash-" + std::to_string(getpid()));
}

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = TestFolder() / name;
  fs::remove_all(folder);
  return folder;
}

std::string ReadReport(const fs::path& folder) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("crash-", 0) == 0 && entry.path().extension() == ".txt") {
      std::ifstream in(entry.path());
      std::stringstream text;
      text << in.rdbuf();
      return text.str();
    }
  }
  return {};
}

// Real faults, each in a function of its own that the report must name as the
// interrupted frame. The sanitizers would report the undefined ones first.
#define CRASH_PROBE [[gnu::noinline]] __attribute__((no_sanitize("address", "undefined")))

CRASH_PROBE void WriteThroughNull() {
  // Read from a volatile, so that the compiler cannot tell the pointer is null.
  volatile int* volatile target = nullptr;
  *target = 1;
}

CRASH_PROBE void DivideByZero() {
  // Both operands unknown to the compiler, so that a real division is made.
  volatile int dividend = 7;
  volatile int zero = 0;
  volatile int result = dividend / zero;
  (void)result;
}

CRASH_PROBE void ExecuteTrap() { __builtin_trap(); }

CRASH_PROBE void AbortNow() { std::abort(); }

// A mapped page past the end of its file.
CRASH_PROBE void ReadPastFileEnd(const fs::path& folder) {
  const std::string path = (folder / "empty-file").string();
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) _exit(4);
  void* page = mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0);
  if (page == MAP_FAILED) _exit(5);
  volatile char c = *static_cast<volatile char*>(page);
  (void)c;
}

// Recurses until the stack runs out; the limit only keeps the compiler from
// calling the recursion endless.
CRASH_PROBE int Recurse(int depth) {
  volatile char pad[1024];
  pad[0] = static_cast<char>(depth);
  if (depth == INT32_MAX) return 0;
  const int below = Recurse(depth + 1);
  // Work after the call keeps every frame: an optimiser would otherwise turn
  // the recursion into a loop.
  asm volatile("" ::: "memory");
  return below + pad[0];
}

enum class Crash { Null, DivideByZero, Trap, Abort, PastFileEnd, StackOverflow };

// The caller that every report must show below the faulting frame.
CRASH_PROBE int CrashProbeCaller(Crash crash, const fs::path& folder) {
  switch (crash) {
    case Crash::Null: WriteThroughNull(); break;
    case Crash::DivideByZero: DivideByZero(); break;
    case Crash::Trap: ExecuteTrap(); break;
    case Crash::Abort: AbortNow(); break;
    case Crash::PastFileEnd: ReadPastFileEnd(folder); break;
    case Crash::StackOverflow: Recurse(0); break;
  }
  // Work after the call keeps it from becoming a jump that would drop this frame.
  asm volatile("" ::: "memory");
  return 3;
}

// Crashes a child; returns its wait status, or kSignalTaken's exit status when
// the signal was not the reporter's to take.
int CrashChild(Crash crash, int signal, const fs::path& folder) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    struct sigaction before{};
    sigaction(signal, nullptr, &before);
    if (before.sa_handler != SIG_DFL) _exit(kSignalTaken);
    if (GCore::InstallCrashReporter(Info(folder)) != 0) _exit(2);
    _exit(CrashProbeCaller(crash, folder));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return status;
}

std::vector<std::string> FrameLines(const std::string& report) {
  std::vector<std::string> frames;
  const size_t backtrace = report.find("Backtrace");
  if (backtrace == std::string::npos) return frames;
  std::istringstream in(report.substr(backtrace));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("#", 0) == 0) frames.push_back(line);
  }
  return frames;
}

// Index of the first frame line naming the function; -1 when none does.
int FrameOf(const std::vector<std::string>& frames, const std::string& function) {
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].find(function) != std::string::npos) return static_cast<int>(i);
  }
  return -1;
}

void ExpectReport(const char* name, int signal, const fs::path& folder, int status) {
  ASSERT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == kSignalTaken)
      << name << ": the signal already had a handler (a sanitizer's?), so the reporter never saw it";
  ASSERT_TRUE(WIFSIGNALED(status)) << name << ": child ended with status " << status;
  // The default action ends the process after the report.
  EXPECT_EQ(WTERMSIG(status), signal) << name;
  const std::string report = ReadReport(folder);
  ASSERT_FALSE(report.empty()) << name << ": no report in " << folder;
  EXPECT_EQ(report.rfind("quarvelin crash 1.0.8 Error Report\n", 0), 0u) << report;
  EXPECT_NE(report.find("Application: quarvelin 1.0.2"), std::string::npos) << report;
  EXPECT_NE(report.find("Signal: " + std::to_string(signal) + " (" + name + ")\n"), std::string::npos)
      << report;
  ASSERT_NE(report.find("Backtrace"), std::string::npos) << report;
  const std::vector<std::string> frames = FrameLines(report);
  ASSERT_FALSE(frames.empty()) << report;
  EXPECT_EQ(FrameOf(frames, "OnFatalSignal"), -1) << "the handler's own frames are left out\n" << report;
}

class CrashReporter : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { fs::remove_all(TestFolder()); }
};

TEST_F(CrashReporter, ALinkAtTheReportsNameIsNotWrittenThrough) {
  const fs::path folder = FreshFolder("linked");
  fs::create_directories(folder);
  const fs::path victim = TestFolder() / "victim";
  std::ofstream(victim) << "untouched";
  const pid_t child = fork();
  if (child == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    // The report's name is its time and the process id: links for the
    // seconds to come.
    const time_t now = time(nullptr);
    for (time_t second = now; second < now + 30; ++second) {
      const fs::path name = folder / ("crash-" + std::to_string(second) + "-" + std::to_string(getpid()) + ".txt");
      if (symlink(victim.c_str(), name.c_str()) != 0) _exit(3);
    }
    if (GCore::InstallCrashReporter(Info(folder)) != 0) _exit(2);
    _exit(CrashProbeCaller(Crash::Null, folder));
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "child ended with status " << status;
  std::ifstream in(victim);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "untouched");
}

TEST_F(CrashReporter, ReportsNameTheFaultingFunctionAndItsCallers) {
  const struct {
    Crash crash;
    int signal;
    const char* name;
    const char* function;  // the interrupted frame
  } cases[] = {
      {Crash::Null, SIGSEGV, "SIGSEGV", "WriteThroughNull"},
      {Crash::DivideByZero, SIGFPE, "SIGFPE", "DivideByZero"},
      {Crash::Trap, SIGILL, "SIGILL", "ExecuteTrap"},
      {Crash::PastFileEnd, SIGBUS, "SIGBUS", "ReadPastFileEnd"},
      {Crash::StackOverflow, SIGSEGV, "SIGSEGV", "Recurse"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.function);
    // A folder that does not exist yet: install makes it.
    const fs::path folder = FreshFolder(c.function) / "nested";
    ExpectReport(c.name, c.signal, folder, CrashChild(c.crash, c.signal, folder));
    const std::string report = ReadReport(folder);
    const std::vector<std::string> frames = FrameLines(report);
    ASSERT_FALSE(frames.empty());
    EXPECT_NE(frames[0].find(c.function), std::string::npos) << "the faulting frame comes first\n" << report;
    // With the file and offset that a symboliser takes.
    EXPECT_NE(frames[0].find("crash_reporter_tests+0x"), std::string::npos) << report;
    EXPECT_NE(report.find("Address: 0x"), std::string::npos) << "a fault has an address\n" << report;
    const int caller = FrameOf(frames, "CrashProbeCaller");
    EXPECT_GT(caller, 0) << report;
    EXPECT_GT(FrameOf(frames, "CrashChild"), caller) << "the callers follow in order\n" << report;
  }
}

TEST_F(CrashReporter, RaisedSignalsAreReportedFromTheRaisingCall) {
  const fs::path folder = FreshFolder("abort");
  ExpectReport("SIGABRT", SIGABRT, folder, CrashChild(Crash::Abort, SIGABRT, folder));
  const std::vector<std::string> frames = FrameLines(ReadReport(folder));
  const int abortNow = FrameOf(frames, "AbortNow");
  EXPECT_GE(abortNow, 0) << ReadReport(folder);
  EXPECT_GT(FrameOf(frames, "CrashProbeCaller"), abortNow) << ReadReport(folder);
}

TEST_F(CrashReporter, UnusableFolderFailsWithAMessage) {
  const fs::path base = FreshFolder("blocked");
  fs::create_directories(base);
  const fs::path file = base / "a-file";
  std::ofstream(file) << "x";
  EXPECT_NE(GCore::InstallCrashReporter(Info(file / "reports")), 0);
  const std::string error = GCore::CrashReporterLastError();
  EXPECT_NE(error.find((file / "reports").string()), std::string::npos) << error;
}

}  // namespace
