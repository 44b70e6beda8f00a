// The download worker against the python server: files replaced only by
// complete downloads, the job table's limits, the callback's reports, and a
// 5 MiB body checked by its MD5.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../core/TempRoot.h"
#include "LoopbackServers.h"
#include "core/MD5.h"
#include "net/Downloader.h"

namespace {

using GCore::Downloader;
using nettest::Pattern;

// While it lives, writes past the size fail (EFBIG) as on a full disk,
// instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t size) {
    getrlimit(RLIMIT_FSIZE, &old_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{size, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t previousHandler_;
};

struct Report {
  int progress, total, state;
};

void Record(int progress, int total, void* context, int state) {
  static_cast<std::vector<Report>*>(context)->push_back({progress, total, state});
}

class Downloads : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = std::make_unique<nettest::PythonHttpServer>(); }
  static void TearDownTestSuite() { server.reset(); }
  void SetUp() override { ASSERT_NE(server->Port(), 0) << "the python server did not start"; }

  // Polls until the run reports its end; the reports, the last one final.
  std::vector<Report> RunToEnd(Downloader& downloader) {
    std::vector<Report> reports;
    downloader.Start(&reports, Record);
    EXPECT_TRUE(nettest::WaitUntil([&] {
      downloader.Poll();
      return !reports.empty() && reports.back().state != GCore::kDownloaderRunning;
    }, 60000));
    return reports;
  }

  static inline std::unique_ptr<nettest::PythonHttpServer> server;
  TempRoot root;
};

TEST_F(Downloads, FailedJobKeepsItsTargetAndEndsTheRun) {
  root.Write("first.bin", "old first");
  root.Write("second.bin", "old second");
  Downloader downloader;
  downloader.StartThread();
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/3000").c_str(), root.Path("first.bin").c_str()));
  ASSERT_TRUE(downloader.AddJob(server->Url("/status/404").c_str(), root.Path("second.bin").c_str()));
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/10").c_str(), root.Path("third.bin").c_str()));
  const std::vector<Report> reports = RunToEnd(downloader);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().state, GCore::kDownloaderFailed);
  EXPECT_EQ(reports.back().progress, 1);
  EXPECT_EQ(reports.back().total, 3);
  EXPECT_EQ(root.Read("first.bin"), Pattern(3000));
  EXPECT_EQ(root.Read("second.bin"), "old second");
  EXPECT_FALSE(std::filesystem::exists(root.Path("third.bin"))) << "jobs behind a failure are not tried";
  EXPECT_FALSE(std::filesystem::exists(root.Path("second.bin.t")));
}

TEST_F(Downloads, ALinkOrFifoAtTheTemporaryNameTakesNoBody) {
  TempRoot outside;
  outside.Write("victim", "outside");
  ASSERT_EQ(symlink(outside.Path("victim").c_str(), root.Path("linked.bin.t").c_str()), 0);
  ASSERT_EQ(mkfifo(root.Path("fifo.bin.t").c_str(), 0644), 0);
  for (const char* name : {"linked.bin", "fifo.bin"}) {
    SCOPED_TRACE(name);
    Downloader downloader;
    downloader.StartThread();
    ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/3000").c_str(), root.Path(name).c_str()));
    const std::vector<Report> reports = RunToEnd(downloader);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().state, GCore::kDownloaderFailed);
    EXPECT_FALSE(std::filesystem::exists(root.Path(name)));
  }
  EXPECT_EQ(outside.Read("victim"), "outside");
  EXPECT_TRUE(std::filesystem::is_symlink(root.Path("linked.bin.t"))) << "not ours to remove";
}

TEST_F(Downloads, FinishedRunIsReportedOnceAndTheWorkerTakesNewJobs) {
  Downloader downloader;
  std::vector<Report> reports;
  downloader.Poll();  // before its thread: nothing, no callback yet
  downloader.StartThread();
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/10").c_str(), root.Path("a.bin").c_str()));
  reports = RunToEnd(downloader);
  ASSERT_EQ(reports.back().state, GCore::kDownloaderDone);
  EXPECT_EQ(reports.back().progress, 1);
  const size_t count = reports.size();
  downloader.Poll();
  EXPECT_EQ(reports.size(), count) << "the end is reported once";
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/20").c_str(), root.Path("b.bin").c_str()));
  const std::vector<Report> again = RunToEnd(downloader);
  EXPECT_EQ(again.back().state, GCore::kDownloaderDone);
  EXPECT_EQ(again.back().total, 1) << "the finished jobs are gone";
  EXPECT_EQ(root.Read("b.bin"), Pattern(20));
}

TEST_F(Downloads, TableHolds128JobsAndRefusesFieldsOverTheirLimits) {
  Downloader downloader;
  downloader.StartThread();
  const std::string url = server->Url("/bytes/1");
  for (int i = 0; i < Downloader::kMaxJobs; ++i) {
    ASSERT_TRUE(downloader.AddJob(url.c_str(), root.Path("f" + std::to_string(i)).c_str())) << i;
  }
  EXPECT_FALSE(downloader.AddJob(url.c_str(), root.Path("one-too-many").c_str()));
  const std::vector<Report> reports = RunToEnd(downloader);
  EXPECT_EQ(reports.back().state, GCore::kDownloaderDone);
  EXPECT_EQ(reports.back().progress, 128);
  EXPECT_EQ(root.Read("f127"), Pattern(1));

  const std::string base = server->Url("/bytes/1?pad=");
  const std::string longestUrl = base + std::string(Downloader::kUrlLimit - 1 - base.size(), 'u');
  const std::string folder = root.Path() + "/";
  const std::string longestPath = folder + std::string(Downloader::kPathLimit - 1 - folder.size(), 'p');
  EXPECT_TRUE(downloader.AddJob(longestUrl.c_str(), root.Path("url-ok").c_str()));
  EXPECT_FALSE(downloader.AddJob((longestUrl + "u").c_str(), root.Path("url-long").c_str()));
  EXPECT_TRUE(downloader.AddJob(url.c_str(), longestPath.c_str()));
  EXPECT_FALSE(downloader.AddJob(url.c_str(), (longestPath + "p").c_str()));
  EXPECT_FALSE(downloader.AddJob(url.c_str(), ""));
  EXPECT_EQ(RunToEnd(downloader).back().state, GCore::kDownloaderDone);
  EXPECT_TRUE(std::filesystem::exists(longestPath));
}

TEST_F(Downloads, WriteErrorFailsTheAttemptAndKeepsTheOldFile) {
  root.Write("target.bin", "old contents");
  Downloader downloader;
  downloader.StartThread();
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/300000").c_str(), root.Path("target.bin").c_str()));
  testing::internal::CaptureStdout();
  std::vector<Report> reports;
  {
    // A full disk for every attempt: no file of this process may grow past 100,000 bytes.
    const FileSizeLimit limit(100000);
    reports = RunToEnd(downloader);
  }
  const std::string output = testing::internal::GetCapturedStdout();
  EXPECT_EQ(reports.back().state, GCore::kDownloaderFailed);
  EXPECT_EQ(root.Read("target.bin"), "old contents");
  EXPECT_NE(output.find("Unable to download file: " + server->Url("/bytes/300000")), std::string::npos);
  // A target that cannot be written at all fails at once.
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/1").c_str(), root.Path("missing/folder/x").c_str()));
  EXPECT_EQ(RunToEnd(downloader).back().state, GCore::kDownloaderFailed);
}

TEST_F(Downloads, LargeDownloadArrivesWhole) {
  constexpr size_t kSize = 5 * 1024 * 1024;
  Downloader downloader;
  downloader.StartThread();
  ASSERT_TRUE(downloader.AddJob(server->Url("/bytes/" + std::to_string(kSize)).c_str(), root.Path("big").c_str()));
  ASSERT_EQ(RunToEnd(downloader).back().state, GCore::kDownloaderDone);
  const std::string expected = Pattern(kSize);
  const std::string got = root.Read("big");
  EXPECT_EQ(got.size(), kSize);
  EXPECT_EQ(GCore::MD5Hex(got.data(), got.size()), GCore::MD5Hex(expected.data(), expected.size()));
}

int IntoString(void* context, const char* bytes, int count, const char*) {
  static_cast<std::string*>(context)->append(bytes, static_cast<size_t>(count));
  return 0;
}

TEST_F(Downloads, SinkJobsAndStoppingWhileIdle) {
  std::string body;
  Downloader downloader;
  downloader.StartThread();
  ASSERT_TRUE(downloader.AddJob(server->Url("/chunked/3000").c_str(), IntoString, &body));
  EXPECT_EQ(RunToEnd(downloader).back().state, GCore::kDownloaderDone);
  EXPECT_EQ(body, Pattern(3000));
  downloader.Stop();
  EXPECT_FALSE(downloader.AddJob(server->Url("/bytes/1").c_str(), IntoString, &body)) << "stopped for good";
}

// A server that sends a byte now and then holds every wait short of its
// time-out; stopping the worker (as quitting does) must not wait for it.
TEST_F(Downloads, StopCutsARunningFetchShort) {
  for (const bool intoFile : {false, true}) {
    SCOPED_TRACE(intoFile ? "into a file" : "into a sink");
    std::string body;
    Downloader downloader;
    downloader.StartThread();
    const std::string url = server->Url("/trickle/2000");
    ASSERT_TRUE(intoFile ? downloader.AddJob(url.c_str(), root.Path("slow.bin").c_str())
                         : downloader.AddJob(url.c_str(), IntoString, &body));
    downloader.Start(nullptr, nullptr);
    usleep(500000);  // the fetch is under way
    const nettest::HangGuard guard(15, "stopping a downloader");
    downloader.Stop();
  }
  EXPECT_FALSE(std::filesystem::exists(root.Path("slow.bin")));
  EXPECT_FALSE(std::filesystem::exists(root.Path("slow.bin.t")));
}

}  // namespace
