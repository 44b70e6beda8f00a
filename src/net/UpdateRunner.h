#pragma once
// The start-up updater: a thread that waits 2 s, fetches the command text
// from the first URL of the update list that answers, and runs it a line
// every 200 ms (net/UpdateScript.h), downloading, checking, unpacking,
// deleting and starting files under the game's root folder. It shares with
// the main thread only its abort flag (a SleepWaker, which also ends its
// waits at once); the root folder is copied when it starts. Its two closing
// lines go to standard output only.
// StartUpdateThread and StopUpdateThread are called on the main thread.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/PathBelow.h"
#include "net/UpdateScript.h"
#include "platform/Clock.h"

namespace GCore {

// The update list fixed at build time (QUARVELIN_UPDATE_URL): empty when the
// build names no address.
std::vector<std::string> BuiltInUpdateUrls();

// Starts the runner on the root folder with the built-in list, or with the
// given one. Nothing when one runs already, or when the list is empty.
void StartUpdateThread(const std::string& rootFolder);
void StartUpdateThread(const std::string& rootFolder, std::vector<std::string> urls);

// Sets the abort flag, which ends the run before its next line or at the
// next look of a download, and joins the thread. Nothing when none runs.
void StopUpdateThread();

// What the commands do, on the files under the root folder. Every path is
// followed from the root's folder without following a symbolic link below
// it, and only regular files are read, written or deleted: a link or a
// special file on the way refuses the command, which stops the update.
// The abort flag is read at every look, and ends the wait under way.
class FileUpdateActions : public UpdateActions {
 public:
  explicit FileUpdateActions(std::string root) : root_(std::move(root)) {}
  void Abort();
  void Pause() override;
  bool Aborted() override;
  // Sleeps unless or until the run is aborted; true when it is.
  bool SleepUnlessAborted(uint32_t milliseconds);
  bool IsVersionCurrent(const std::string& version) override;
  bool CheckFileMD5(const std::string& path, const std::string& hex) override;
  bool Exec(const std::string& path) override;
  // DownloadFileBlocking: one file job on a downloader of its own, polled
  // every 100 ms until it ends or the run is aborted.
  bool Download(const std::string& url, const std::string& path) override;
  bool Unzip(const std::string& zip, const std::string& folder) override;
  bool Delete(const std::string& path) override;
  void WriteInstalledVersion(const std::string& version) override;

 private:
  std::string VersionPath() const { return root_ + "/write/version"; }
  // The path below the root (paths arrive as the root, '/' and the rest).
  std::optional<std::string_view> Below(const std::string& path) const;
  FileDescriptor OpenRoot() const;
  FileDescriptor OpenBelowRoot(const std::string& path, int flags) const;
  void Refuse(const std::string& path, int error) const;

  std::string root_;
  SleepWaker abort_;
};

// The sink of the command text: appends to the std::string the context
// points to; -1 once the text would pass kUpdateTextLimit.
int AppendToStringSink(void* context, const char* bytes, int count, const char* header);

}  // namespace GCore
