#pragma once
// A download worker: a list of up to 128 URLs fetched one after the other on
// a thread of its own, each into a file or into a sink, with 3 attempts per
// job. The owner adds jobs while the worker is idle, starts it, and polls it
// from its own thread; the callback runs there, inside Poll, never on the
// worker. A file job writes a temporary file beside its target (the target's
// path followed by ".t") and renames it over the target only once the whole
// body is written and flushed; a failed attempt removes it and leaves the
// target as it was. The temporary file is never followed when it is a
// symbolic link, nor opened when it is no regular file.
//
// Shared with the worker under the downloader's mutex: the state, the
// progress and the job list (which only the idle worker lets the owner
// change). Sinks run on the worker thread.
#include <fcntl.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/HttpFetcher.h"
#include "net/SocketWait.h"

namespace GCore {

enum DownloaderState : int {
  kDownloaderMade = 0,
  kDownloaderIdle = 1,
  kDownloaderRunning = 2,
  kDownloaderFailed = 3,
  kDownloaderDone = 4,
  kDownloaderQuit = 5,
};

using DownloadCallback = void (*)(int progress, int total, void* context, int state);
// Called with a sink's context before each attempt of its job: a sink that
// keeps what it received forgets what a failed attempt left.
using SinkRestart = void (*)(void* context);

struct DownloadJob {
  std::string url;
  std::string path;  // empty for a sink job
  int folder = AT_FDCWD;  // the path is relative to it; the owner keeps it open
  HttpSink sink = nullptr;
  void* sinkContext = nullptr;
  SinkRestart restart = nullptr;
};

class Downloader {
 public:
  static constexpr int kMaxJobs = 128;
  static constexpr size_t kUrlLimit = 256;   // a URL must be shorter
  static constexpr size_t kPathLimit = 254;  // a path must be shorter (room for ".t")
  static constexpr int kAttempts = 3;

  Downloader() = default;
  // Stops the worker first when it still runs.
  ~Downloader();
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

  // Starts the worker thread; the downloader is then idle.
  void StartThread();

  // A job into a file, or into a sink called with `sinkContext` (and
  // `restart` with it before each attempt, when given). False, with
  // nothing added, unless idle with fewer than 128 jobs, and for a URL or
  // path at or over its limit.
  bool AddJob(const char* url, const char* path);
  // A job into the file `name` of the open folder `folder`, which stays open
  // until the job has ended.
  bool AddJob(const char* url, int folder, const char* name);
  bool AddJob(const char* url, HttpSink sink, void* sinkContext, SinkRestart restart = nullptr);

  // Runs the jobs added so far; the callback hears of them through Poll.
  void Start(void* context, DownloadCallback callback);

  // On the owner's thread: calls the callback with (progress, total, context,
  // state) unless idle. A finished run (state 3 or 4) is reported once, and
  // the downloader becomes idle with no jobs. Nothing before StartThread.
  void Poll();

  // The fetch under way is cancelled at once, the worker ends and is
  // joined. The state is then 5 for good.
  void Stop();

  // The file job's sink: writes the piece to the open file descriptor the
  // context points to; -1, which ends the fetch, when a write fails.
  static int WriteToFile(void* context, const char* bytes, int count, const char* header);

 private:
  enum class Attempt { kSucceeded, kFailed, kFatal };

  void ThreadMain();
  int RunJobs();
  Attempt Fetch(const DownloadJob& job);
  Attempt FetchIntoFile(const DownloadJob& job);
  bool AddJob(DownloadJob job);
  static int StoppableSink(void* context, const char* bytes, int count, const char* header);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  std::vector<DownloadJob> jobs_;
  int progress_ = 0;
  int total_ = 0;
  void* context_ = nullptr;
  DownloadCallback callback_ = nullptr;
  int state_ = kDownloaderMade;
  std::atomic<bool> stopping_{false};
  WaitCancel cancel_;  // the worker's fetches watch it
};

}  // namespace GCore
