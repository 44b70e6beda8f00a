#include "net/Downloader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/Log.h"
#include "base/PathBelow.h"

namespace GCore {
namespace {

// A sink call that the downloader can cut short: the job's own sink and its
// context, behind the downloader's stop flag.
struct StoppableCall {
  const std::atomic<bool>* stopping;
  HttpSink sink;
  void* context;
};

}  // namespace

Downloader::~Downloader() { Stop(); }

void Downloader::StartThread() {
  std::lock_guard lock(mutex_);
  if (state_ != kDownloaderMade) return;
  jobs_.reserve(kMaxJobs);
  thread_ = std::thread(&Downloader::ThreadMain, this);
  state_ = kDownloaderIdle;
}

bool Downloader::AddJob(const char* url, const char* path) { return AddJob(url, AT_FDCWD, path); }

bool Downloader::AddJob(const char* url, int folder, const char* name) {
  if (!url || !name || !*name || std::strlen(name) >= kPathLimit) return false;
  return AddJob(DownloadJob{url, name, folder, nullptr, nullptr, nullptr});
}

bool Downloader::AddJob(const char* url, HttpSink sink, void* sinkContext, SinkRestart restart) {
  if (!url || !sink) return false;
  return AddJob(DownloadJob{url, std::string(), AT_FDCWD, sink, sinkContext, restart});
}

bool Downloader::AddJob(DownloadJob job) {
  // The URL comes from scripts and from the update text off the network.
  if (job.url.size() >= kUrlLimit) return false;
  std::lock_guard lock(mutex_);
  if (state_ != kDownloaderIdle || jobs_.size() >= static_cast<size_t>(kMaxJobs)) return false;
  jobs_.push_back(std::move(job));
  return true;
}

void Downloader::Start(void* context, DownloadCallback callback) {
  {
    std::lock_guard lock(mutex_);
    if (state_ != kDownloaderIdle) return;
    context_ = context;
    callback_ = callback;
    total_ = static_cast<int>(jobs_.size());
    progress_ = 0;
    state_ = kDownloaderRunning;
  }
  wake_.notify_all();
}

void Downloader::Poll() {
  int state;
  int progress;
  int total;
  void* context;
  DownloadCallback callback;
  {
    std::lock_guard lock(mutex_);
    state = state_;
    progress = progress_;
    total = total_;
    context = context_;
    callback = callback_;
    if (state == kDownloaderFailed || state == kDownloaderDone) {
      state_ = kDownloaderIdle;
      progress_ = 0;
      jobs_.clear();
    }
  }
  if (state == kDownloaderMade || state == kDownloaderIdle || !callback) return;
  callback(progress, total, context, state);
}

void Downloader::Stop() {
  stopping_ = true;
  cancel_.Raise();
  {
    std::lock_guard lock(mutex_);
    state_ = kDownloaderQuit;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Downloader::ThreadMain() {
  HttpFetcher_SetCancel(&cancel_);
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return state_ == kDownloaderRunning || state_ == kDownloaderQuit; });
    if (state_ == kDownloaderQuit) return;
    lock.unlock();
    // The owner changes no job while the worker runs.
    const int outcome = RunJobs();
    lock.lock();
    if (state_ == kDownloaderRunning) state_ = outcome;
  }
}

int Downloader::RunJobs() {
  int attempts = kAttempts;
  for (size_t index = 0; index < jobs_.size();) {
    if (stopping_ || attempts == 0) return kDownloaderFailed;
    switch (Fetch(jobs_[index])) {
      case Attempt::kSucceeded: {
        ++index;
        attempts = kAttempts;
        std::lock_guard lock(mutex_);
        progress_ = static_cast<int>(index);
        break;
      }
      case Attempt::kFailed:
        --attempts;
        break;
      case Attempt::kFatal:
        return kDownloaderFailed;
    }
  }
  return kDownloaderDone;
}

int Downloader::StoppableSink(void* context, const char* bytes, int count, const char* header) {
  const auto* call = static_cast<const StoppableCall*>(context);
  if (*call->stopping) return -1;
  return call->sink(call->context, bytes, count, header);
}

Downloader::Attempt Downloader::Fetch(const DownloadJob& job) {
  if (!job.sink) return FetchIntoFile(job);
  if (job.restart) job.restart(job.sinkContext);
  StoppableCall call{&stopping_, job.sink, job.sinkContext};
  return HttpFetcher_Get(job.url.c_str(), StoppableSink, &call, 0) >= 0 ? Attempt::kSucceeded : Attempt::kFailed;
}

Downloader::Attempt Downloader::FetchIntoFile(const DownloadJob& job) {
  const std::string temporary = job.path + ".t";
  // A link or a FIFO planted at the temporary name must not take the body.
  int file = OpenRegularAt(job.folder, temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644).Release();
  if (file < 0) {
    LogPrintf("download: %s cannot be written: %s\n", temporary.c_str(), BelowFailureText(errno));
    return Attempt::kFatal;
  }
  StoppableCall call{&stopping_, WriteToFile, &file};
  bool written = HttpFetcher_Get(job.url.c_str(), StoppableSink, &call, 1) >= 0;
  // The bytes must be on the disk before the old file is replaced: a write
  // error can show only here. Devices that cannot sync say EINVAL.
  if (written && fsync(file) != 0 && errno != EINVAL) written = false;
  if (close(file) != 0) written = false;
  if (written && renameat(job.folder, temporary.c_str(), job.folder, job.path.c_str()) == 0) {
    return Attempt::kSucceeded;
  }
  unlinkat(job.folder, temporary.c_str(), 0);
  LogPrintf("Unable to download file: %s", job.url.c_str());
  return Attempt::kFailed;
}

int Downloader::WriteToFile(void* context, const char* bytes, int count, const char*) {
  const int file = *static_cast<const int*>(context);
  while (count > 0) {
    const ssize_t written = write(file, bytes, static_cast<size_t>(count));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return -1;
    bytes += written;
    count -= static_cast<int>(written);
  }
  return 0;
}

}  // namespace GCore
