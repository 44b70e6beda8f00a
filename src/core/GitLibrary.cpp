// Counting the library's inits, and following the configuration home.
#include "core/GitLibrary.h"

#include <git2.h>

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

namespace GCore {

namespace {

// The variables the library guesses its global and XDG folders from.
struct ConfigHome {
  std::optional<std::string> home;
  std::optional<std::string> xdg;
  bool operator==(const ConfigHome&) const = default;
};

ConfigHome CurrentConfigHome() {
  const auto read = [](const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  return {read("HOME"), read("XDG_CONFIG_HOME")};
}

// What the library's current guesses were made from; nothing while unknown.
// Under GitOptionsMutex(). Never destroyed: a command left running at exit
// may still follow the home.
std::optional<ConfigHome>& GuessedFrom() {
  static auto* guessedFrom = new std::optional<ConfigHome>;
  return *guessedFrom;
}

}  // namespace

GitLibraryUse::GitLibraryUse() {
  const int count = git_libgit2_init();
  ok_ = count > 0;
  // The use that brings the count up from zero has had the library guess its
  // folders from the environment as it is now.
  if (count == 1) {
    std::lock_guard lock(GitOptionsMutex());
    GuessedFrom() = CurrentConfigHome();
  }
}

GitLibraryUse::~GitLibraryUse() {
  if (ok_ && !kept_) git_libgit2_shutdown();
}

void FollowGitConfigHome() {
  std::lock_guard lock(GitOptionsMutex());
  ConfigHome now = CurrentConfigHome();
  std::optional<ConfigHome>& guessed = GuessedFrom();
  if (guessed == now) return;
  // A null path has the library guess the level's folders again from the
  // environment. The system level (/etc) and the program-data level (none)
  // do not depend on it on Linux.
  for (const int level : {GIT_CONFIG_LEVEL_GLOBAL, GIT_CONFIG_LEVEL_XDG}) {
    if (git_libgit2_opts(GIT_OPT_SET_SEARCH_PATH, level, static_cast<const char*>(nullptr)) < 0) {
      guessed.reset();  // tried again before the next command
      return;
    }
  }
  guessed = std::move(now);
}

std::mutex& GitOptionsMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

}  // namespace GCore
