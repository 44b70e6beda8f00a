#include "net/UpdateRunner.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "base/Log.h"
#include "core/MD5.h"
#include "net/Downloader.h"
#include "net/HttpFetcher.h"
#include "net/ZipExtractor.h"
#include "platform/Clock.h"
#include "platform/Shell.h"

namespace GCore {
namespace {

constexpr uint32_t kStartDelayMs = 2000;
constexpr uint32_t kLineDelayMs = 200;
constexpr uint32_t kPollMs = 100;

// The runner's own lines go to standard output only.
void PrintLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Writes the text to a temporary file beside the path, flushed to the disk,
// and renames it over the path: the old file stays whole until then.
bool ReplaceFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".t";
  const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return false;
  bool written = write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(file) == 0;
  if (close(file) != 0) written = false;
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

// The result of a blocking download, written by its callback inside Poll on
// the runner's own thread: 0 pending, 1 done, -1 failed.
void OnBlockingDownloadDone(int, int, void* context, int state) {
  int& result = *static_cast<int*>(context);
  if (state == kDownloaderDone) result = 1;
  if (state == kDownloaderFailed || state == kDownloaderQuit) result = -1;
}

class Runner {
 public:
  Runner(std::string root, std::vector<std::string> urls)
      : root_(root), urls_(std::move(urls)), actions_(std::move(root)), thread_(&Runner::checkupdates, this) {}
  ~Runner() {
    actions_.Abort();
    thread_.join();
  }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

 private:
  void checkupdates() {
    // The first wait ends early when the program closes meanwhile.
    for (uint32_t waited = 0; waited < kStartDelayMs; waited += kPollMs) {
      if (actions_.Aborted()) return;
      Sleep(kPollMs);
    }
    for (const std::string& url : urls_) {
      std::string text;
      if (HttpFetcher_Get(url.c_str(), AppendToStringSink, &text, 1) < 0) continue;
      runcmd(text, root_, actions_);
      PrintLine("checkupdates runcmd finish");
      return;
    }
    PrintLine("can not get sever cmd");
  }

  const std::string root_;
  const std::vector<std::string> urls_;
  FileUpdateActions actions_;
  std::thread thread_;  // last: it starts once the rest is made
};

std::unique_ptr<Runner> g_runner;

}  // namespace

void StartUpdateThread(const std::string& rootFolder) { StartUpdateThread(rootFolder, BuiltInUpdateUrls()); }

void StartUpdateThread(const std::string& rootFolder, std::vector<std::string> urls) {
  // Without a folder of its own (a root read from a repository) nothing may
  // be written: no update. Without an address there is nothing to ask.
  if (!g_runner && !rootFolder.empty() && !urls.empty()) g_runner = std::make_unique<Runner>(rootFolder, std::move(urls));
}

void StopUpdateThread() { g_runner.reset(); }

int AppendToStringSink(void* context, const char* bytes, int count, const char*) {
  std::string& text = *static_cast<std::string*>(context);
  if (text.size() + static_cast<size_t>(count) > kUpdateTextLimit) return -1;
  text.append(bytes, static_cast<size_t>(count));
  return 0;
}

void FileUpdateActions::Abort() {
  std::lock_guard lock(abortMutex_);
  abort_ = true;
}

bool FileUpdateActions::Aborted() {
  std::lock_guard lock(abortMutex_);
  return abort_;
}

void FileUpdateActions::Pause() { Sleep(kLineDelayMs); }

bool FileUpdateActions::IsVersionCurrent(const std::string& version) {
  std::ifstream in(VersionPath(), std::ios::binary);
  if (!in) return false;
  std::string installed;
  std::getline(in, installed, '\n');
  return installed == version;
}

bool FileUpdateActions::CheckFileMD5(const std::string& path, const std::string& hex) {
  std::string bytes;
  return ReadWholeFile(path, bytes) && MD5Hex(bytes.data(), bytes.size()) == hex;
}

bool FileUpdateActions::Exec(const std::string& path) {
  if (StartProgram(path.c_str())) return true;
  LogPrintf("update: %s could not be started\n", path.c_str());
  return false;
}

bool FileUpdateActions::Download(const std::string& url, const std::string& path) {
  int result = 0;  // outlives the downloader, whose callback writes it
  Downloader downloader;
  downloader.StartThread();
  if (!downloader.AddJob(url.c_str(), path.c_str())) {
    LogPrintf("update: %s cannot be downloaded to %s\n", url.c_str(), path.c_str());
    return false;
  }
  downloader.Start(&result, OnBlockingDownloadDone);
  for (;;) {
    Sleep(kPollMs);
    downloader.Poll();
    if (Aborted()) return false;
    if (result != 0) return result == 1;
  }
}

bool FileUpdateActions::Unzip(const std::string& zip, const std::string& folder) {
  return UnzipToFolder(zip, folder);
}

void FileUpdateActions::Delete(const std::string& path) { std::remove(path.c_str()); }

void FileUpdateActions::WriteInstalledVersion(const std::string& version) {
  std::error_code ignored;
  std::filesystem::create_directories(root_ + "/write", ignored);
  if (!ReplaceFile(VersionPath(), version)) LogPrintf("update: %s could not be written\n", VersionPath().c_str());
}

}  // namespace GCore
