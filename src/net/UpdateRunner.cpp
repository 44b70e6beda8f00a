#include "net/UpdateRunner.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <thread>

#include "base/Log.h"
#include "base/PathBelow.h"
#include "core/MD5.h"
#include "core/ReplacingFile.h"
#include "net/Downloader.h"
#include "net/HttpFetcher.h"
#include "net/SocketWait.h"
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
    cancel_.Raise();
    thread_.join();
  }
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

 private:
  void checkupdates() {
    // A fetch under way when the program closes is cut short.
    HttpFetcher_SetCancel(&cancel_);
    // The first wait ends early when the program closes meanwhile.
    for (uint32_t waited = 0; waited < kStartDelayMs; waited += kPollMs) {
      if (actions_.Aborted()) return;
      actions_.SleepUnlessAborted(kPollMs);
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
  WaitCancel cancel_;
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

void FileUpdateActions::Abort() { abort_.Wake(); }

bool FileUpdateActions::Aborted() { return abort_.Woken(); }

bool FileUpdateActions::SleepUnlessAborted(uint32_t milliseconds) { return SleepUnlessWoken(milliseconds, abort_); }

void FileUpdateActions::Pause() { SleepUnlessAborted(kLineDelayMs); }

std::optional<std::string_view> FileUpdateActions::Below(const std::string& path) const {
  if (path.size() <= root_.size() || path.compare(0, root_.size(), root_) != 0 || path[root_.size()] != '/') {
    return std::nullopt;
  }
  return std::string_view(path).substr(root_.size() + 1);
}

FileDescriptor FileUpdateActions::OpenRoot() const {
  // The root's own path is the installation's and is taken as it stands.
  return FileDescriptor(open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

FileDescriptor FileUpdateActions::OpenBelowRoot(const std::string& path, int flags) const {
  const std::optional<std::string_view> relative = Below(path);
  const FileDescriptor root = OpenRoot();
  if (!relative || !root.IsOpen()) return FileDescriptor();
  return OpenFileBelow(root.Get(), *relative, flags);
}

void FileUpdateActions::Refuse(const std::string& path, int error) const {
  LogPrintf("update: %s is refused: %s; the update stops\n", path.c_str(), BelowFailureText(error));
}

bool FileUpdateActions::IsVersionCurrent(const std::string& version) {
  const FileDescriptor file = OpenBelowRoot(VersionPath(), O_RDONLY);
  std::string installed;
  if (!file.IsOpen() || !ReadWholeDescriptor(file.Get(), installed, kUpdateTextLimit)) return false;
  return installed.substr(0, installed.find('\n')) == version;
}

bool FileUpdateActions::CheckFileMD5(const std::string& path, const std::string& hex) {
  const FileDescriptor file = OpenBelowRoot(path, O_RDONLY);
  std::string bytes;
  return file.IsOpen() && ReadWholeDescriptor(file.Get(), bytes, bytes.max_size()) &&
         MD5Hex(bytes.data(), bytes.size()) == hex;
}

bool FileUpdateActions::Exec(const std::string& path) {
  // Only a program that lies inside the root, reached without a link; a
  // missing one is left to fail to start.
  if (!OpenBelowRoot(path, O_RDONLY).IsOpen() && errno != ENOENT) {
    Refuse(path, errno);
    return false;
  }
  if (StartProgram(path.c_str())) return true;
  LogPrintf("update: %s could not be started\n", path.c_str());
  return false;
}

bool FileUpdateActions::Download(const std::string& url, const std::string& path) {
  const std::optional<std::string_view> relative = Below(path);
  const FileDescriptor root = OpenRoot();
  FileDescriptor folder;
  std::string name;
  if (!relative || !root.IsOpen() || !OpenParentBelow(root.Get(), *relative, false, folder, name)) {
    Refuse(path, errno);
    return false;
  }
  int result = 0;  // outlives the downloader, whose callback writes it
  Downloader downloader;  // ends before the folder it writes in is closed
  downloader.StartThread();
  if (!downloader.AddJob(url.c_str(), folder.Get(), name.c_str())) {
    LogPrintf("update: %s cannot be downloaded to %s\n", url.c_str(), path.c_str());
    return false;
  }
  downloader.Start(&result, OnBlockingDownloadDone);
  for (;;) {
    SleepUnlessAborted(kPollMs);
    downloader.Poll();
    if (Aborted()) return false;
    if (result != 0) return result == 1;
  }
}

bool FileUpdateActions::Unzip(const std::string& zip, const std::string& folder) {
  const std::optional<std::string_view> archive = Below(zip);
  // The folder may be the root itself.
  const std::optional<std::string_view> target = folder == root_ ? std::string_view() : Below(folder);
  if (!archive || !target) {
    Refuse(archive ? folder : zip, EPERM);
    return false;
  }
  const FileDescriptor root = OpenRoot();
  if (!root.IsOpen()) {
    Refuse(root_, errno);
    return false;
  }
  return UnzipToFolder(root.Get(), *archive, *target);
}

bool FileUpdateActions::Delete(const std::string& path) {
  const std::optional<std::string_view> relative = Below(path);
  const FileDescriptor root = OpenRoot();
  if (relative && root.IsOpen() && RemoveFileBelow(root.Get(), *relative)) return true;
  const int error = relative ? errno : EPERM;
  // Nothing to delete is no failure; a link or a folder in the way is.
  if (error == ENOENT || error == ENOTDIR) return true;
  Refuse(path, error);
  return false;
}

void FileUpdateActions::WriteInstalledVersion(const std::string& version) {
  const FileDescriptor root = OpenRoot();
  const FileDescriptor folder = root.IsOpen() ? OpenFolderBelow(root.Get(), "write", true) : FileDescriptor();
  if (!folder.IsOpen()) {
    Refuse(VersionPath(), errno);
    return;
  }
  ReplacingFile file(folder.Get(), "version");
  if (!file.Open() || !file.Write(version.data(), version.size()) || !file.Commit()) {
    LogPrintf("update: %s could not be written\n", VersionPath().c_str());
  }
}

}  // namespace GCore
