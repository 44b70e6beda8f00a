#include "net/UpdateScript.h"

#include "base/Log.h"

namespace GCore {
namespace {

using Words = std::vector<std::string>;

// The interpreter's state across lines.
struct Run {
  const std::string& root;
  UpdateActions& actions;
  std::string version = "1.0";

  // Says why the run stops when a path is refused.
  std::optional<std::string> Path(const std::string& path, bool folder = false) const {
    std::optional<std::string> resolved = folder ? ResolveUpdateFolder(root, path) : ResolveUpdatePath(root, path);
    if (!resolved) LogPrintf("update: the path %s is outside the game's folder; the update stops\n", path.c_str());
    return resolved;
  }
};

// Each command returns true to go on with the next line, false to stop.
bool Update(Run& run, const Words& words) {
  run.version = words[1];
  if (!run.actions.IsVersionCurrent(run.version)) return true;
  if (words.size() == 2) return false;  // installed and nothing to check
  if (words[2] != "checkmd5") return true;
  if (words.size() < 5) return false;
  for (size_t i = 3; i + 1 < words.size(); i += 2) {
    const std::optional<std::string> path = ResolveUpdatePath(run.root, words[i]);
    // A file that cannot be named does not match.
    if (!path || !run.actions.CheckFileMD5(*path, words[i + 1])) return true;
  }
  return false;  // every file proves the version installed
}

bool Exec(Run& run, const Words& words) {
  const std::optional<std::string> path = run.Path(words[1]);
  return path && run.actions.Exec(*path);
}

bool Download(Run& run, const Words& words) {
  const std::optional<std::string> path = run.Path(words[2]);
  return path && run.actions.Download(words[1], *path);
}

bool Unzip(Run& run, const Words& words) {
  const std::optional<std::string> zip = run.Path(words[1]);
  const std::optional<std::string> folder = zip ? run.Path(words[2], true) : std::nullopt;
  return folder && run.actions.Unzip(*zip, *folder);
}

bool Delete(Run& run, const Words& words) {
  const std::optional<std::string> path = run.Path(words[1]);
  return path && run.actions.Delete(*path);
}

bool End(Run& run, const Words&) {
  run.actions.WriteInstalledVersion(run.version);
  return true;
}

struct Command {
  std::string_view name;
  size_t words;  // fewer stop the run
  bool (*run)(Run&, const Words&);
};

constexpr Command kCommands[] = {
    {"update", 2, Update}, {"exec", 2, Exec},     {"download", 3, Download},
    {"unzip", 3, Unzip},   {"delete", 2, Delete}, {"end", 1, End},
};

std::optional<std::string> Resolve(const std::string& root, std::string_view path, bool rootAllowed) {
  if (root.empty() || path.empty()) return std::nullopt;
  // No drives here: a drive-letter path would name some other place.
  if (path.size() > 1 && path[1] == ':') return std::nullopt;
  if (path.front() == '/') {
    if (path.substr(0, root.size()) != root) return std::nullopt;
    path.remove_prefix(root.size());
    if (!path.empty() && path.front() != '/') return std::nullopt;
  }
  std::vector<std::string_view> parts;
  for (size_t start = 0; start <= path.size();) {
    size_t slash = path.find('/', start);
    if (slash == std::string_view::npos) slash = path.size();
    const std::string_view part = path.substr(start, slash - start);
    start = slash + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  if (parts.empty() && !rootAllowed) return std::nullopt;
  std::string resolved = root;
  for (const std::string_view part : parts) {
    resolved += '/';
    resolved += part;
  }
  return resolved;
}

}  // namespace

std::vector<std::string> SplitString(std::string_view text, std::string_view delimiter) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < text.size()) {
    const size_t at = text.find(delimiter, start);
    if (at == std::string_view::npos) {
      pieces.emplace_back(text.substr(start));
      break;
    }
    pieces.emplace_back(text.substr(start, at - start));
    start = at + delimiter.size();
  }
  return pieces;
}

std::optional<std::string> ResolveUpdatePath(const std::string& root, std::string_view path) {
  return Resolve(root, path, false);
}

std::optional<std::string> ResolveUpdateFolder(const std::string& root, std::string_view path) {
  return Resolve(root, path, true);
}

void runcmd(std::string_view text, const std::string& root, UpdateActions& actions) {
  Run run{root, actions};
  for (const std::string& line : SplitString(text.substr(0, kUpdateTextLimit), "\r\n")) {
    actions.Pause();
    const Words words = SplitString(line, " ");
    if (actions.Aborted()) return;
    if (words.empty()) continue;
    for (const Command& command : kCommands) {
      if (words[0] != command.name) continue;
      if (words.size() < command.words || !command.run(run, words)) return;
      break;
    }
  }
}

}  // namespace GCore
