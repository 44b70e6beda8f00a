#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/CrashReporter.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSignalTaken = 77;  // the signal already had a handler (a sanitizer's)

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

// Recurses until the stack runs out; the limit only keeps the compiler from
// calling the recursion endless.
[[gnu::noinline]] int Recurse(int depth) {
  volatile char pad[1024];
  pad[0] = static_cast<char>(depth);
  if (depth == INT32_MAX) return 0;
  return Recurse(depth + 1) + pad[0];
}

// Runs the crash in a child; returns its wait status, or -1 when the signal
// was not the reporter's to take.
int CrashChild(int signal, const fs::path& folder, bool overflowStack) {
  const pid_t child = fork();
  if (child == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    struct sigaction before{};
    sigaction(signal, nullptr, &before);
    if (before.sa_handler != SIG_DFL) _exit(kSignalTaken);
    if (GCore::InstallCrashReporter(Info(folder)) != 0) _exit(2);
    if (overflowStack) _exit(Recurse(0));
    raise(signal);
    _exit(3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kSignalTaken) return -1;
  return status;
}

void ExpectReport(int signal, const char* name, const fs::path& folder, int status) {
  ASSERT_TRUE(WIFSIGNALED(status)) << name << ": child ended with status " << status;
  // The default action ends the process after the report.
  EXPECT_EQ(WTERMSIG(status), signal) << name;
  const std::string report = ReadReport(folder);
  ASSERT_FALSE(report.empty()) << name << ": no report in " << folder;
  EXPECT_EQ(report.rfind("quarvelin crash 1.0.8 Error Report\n", 0), 0u) << report;
  EXPECT_NE(report.find("Application: quarvelin 1.0.2"), std::string::npos) << report;
  EXPECT_NE(report.find("Signal: " + std::to_string(signal) + " (" + name + ")\n"),
            std::string::npos)
      << report;
  const size_t backtrace = report.find("Backtrace:\n");
  ASSERT_NE(backtrace, std::string::npos) << report;
  // Frames of this very executable appear in the trace.
  EXPECT_NE(report.find("platform_tests", backtrace), std::string::npos) << report;
}

class CrashReporter : public ::testing::Test {
 protected:
  static void TearDownTestSuite() { fs::remove_all(TestFolder()); }
};

TEST_F(CrashReporter, FatalSignalsWriteAReportAndStillEndTheProcess) {
  const struct {
    int signal;
    const char* name;
  } cases[] = {{SIGABRT, "SIGABRT"}, {SIGILL, "SIGILL"}, {SIGSEGV, "SIGSEGV"},
               {SIGFPE, "SIGFPE"},   {SIGBUS, "SIGBUS"}};
  int reported = 0;
  for (const auto& c : cases) {
    // A folder that does not exist yet: install makes it.
    const fs::path folder = FreshFolder(c.name) / "nested";
    const int status = CrashChild(c.signal, folder, false);
    if (status == -1) continue;  // AddressSanitizer keeps SIGSEGV, SIGFPE and SIGBUS
    ExpectReport(c.signal, c.name, folder, status);
    ++reported;
  }
  EXPECT_GE(reported, 2);  // SIGABRT and SIGILL are never a sanitizer's
}

TEST_F(CrashReporter, StackOverflowIsReported) {
  const fs::path folder = FreshFolder("overflow");
  const int status = CrashChild(SIGSEGV, folder, true);
  if (status == -1) GTEST_SKIP() << "SIGSEGV belongs to the sanitizer in this build";
  ExpectReport(SIGSEGV, "SIGSEGV", folder, status);
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
