#pragma once
// The update runner's command text and its interpreter. The text comes off
// the network: every path it names is resolved under the game's root folder
// and refused when it would leave it, and the text is at most 1 MiB. What
// the commands do is the caller's UpdateActions, so the interpreter itself
// touches no file and no socket.
//
// Lines end at CR LF only; words are split at every single space (two spaces
// give an empty word, a space at the end of a line gives none). By its first
// word a line is: "update" VERSION [checkmd5 PATH HEX ...], "exec" PATH,
// "download" URL PATH, "unzip" ZIP FOLDER, "delete" PATH or "end"; other
// lines are ignored. A line with too few words, a refused path and a failed
// exec, download, unzip or delete end the run; so does an installation found current.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace GCore {

constexpr size_t kUpdateTextLimit = 1 << 20;

// The pieces between the delimiters; a piece after the last delimiter only
// when it is not empty, and none for an empty text.
std::vector<std::string> SplitString(std::string_view text, std::string_view delimiter);

// The root folder, a slash and the path, with "." and empty components
// dropped; none when the path names the root itself or anything outside it
// (an absolute path elsewhere, ".." above it, a drive letter), or the root is
// empty. The folder variant also takes the root itself.
std::optional<std::string> ResolveUpdatePath(const std::string& root, std::string_view path);
std::optional<std::string> ResolveUpdateFolder(const std::string& root, std::string_view path);

// What the commands do. Paths arrive resolved.
class UpdateActions {
 public:
  virtual ~UpdateActions() = default;
  // Called before each line.
  virtual void Pause() = 0;
  virtual bool Aborted() = 0;
  // The installed version ("write/version" under the root) is this one.
  virtual bool IsVersionCurrent(const std::string& version) = 0;
  virtual bool CheckFileMD5(const std::string& path, const std::string& hex) = 0;
  // Starts the program without waiting for it; false when it did not start.
  virtual bool Exec(const std::string& path) = 0;
  virtual bool Download(const std::string& url, const std::string& path) = 0;
  virtual bool Unzip(const std::string& zip, const std::string& folder) = 0;
  // False when the path was refused (a missing file is no failure).
  virtual bool Delete(const std::string& path) = 0;
  virtual void WriteInstalledVersion(const std::string& version) = 0;
};

// Runs the command text line by line until its end or a line that stops it.
void runcmd(std::string_view text, const std::string& root, UpdateActions& actions);

}  // namespace GCore
