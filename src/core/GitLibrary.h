#pragma once
// libgit2's process-wide state, as every user of the library in the engine
// (the repository-backed resource streams and the git console) takes it.
//
// Initialisation: the library counts git_libgit2_init calls and builds its
// global state (TLS set-up, certificates, configuration search paths) only
// when the count rises from zero, tearing it down when the count falls back
// to zero. Every init in the engine is a GitLibraryUse, so that no init and
// shutdown are ever unbalanced; a holder that stays (the git worker from its
// first command to its end) makes every nested use a counter step.
//
// Configuration home: the library reads $HOME and $XDG_CONFIG_HOME only when
// it builds its state, to find the global (~/.gitconfig) and XDG
// (~/.config/git/) configuration, attributes and ignore files. While someone
// keeps it initialised, FollowGitConfigHome carries a changed home over, so
// that each command reads the configuration of the home it runs in.
//
// Threads: any. The search paths here and the owner check in
// GitRepositoryOpen.cpp change under GitOptionsMutex(), which every
// repository open in the engine holds too. The
// library itself does not lock its search paths: a change races with a call
// on another thread that reads the global or XDG files outside that lock. In
// the engine only the thread that runs console commands reads them after an
// open, and that thread is the one that follows the home.
#include <mutex>

namespace GCore {

class GitLibraryUse {
 public:
  // git_libgit2_init; ok() tells whether it succeeded.
  GitLibraryUse();
  // git_libgit2_shutdown, only when the init succeeded and Keep was not called.
  ~GitLibraryUse();
  GitLibraryUse(const GitLibraryUse&) = delete;
  GitLibraryUse& operator=(const GitLibraryUse&) = delete;

  bool ok() const { return ok_; }
  // Leaves the init in place for the rest of the process (for a holder that is
  // never destroyed); the destructor then does nothing.
  void Keep() { kept_ = true; }

 private:
  bool ok_ = false;
  bool kept_ = false;
};

// When $HOME or $XDG_CONFIG_HOME differ from the values the library's global
// and XDG search paths were last guessed from, guesses them again from the
// environment now. Call while holding a GitLibraryUse, before a command.
// Search paths set to anything else by hand would be reset as well; the
// engine sets none.
void FollowGitConfigHome();

// Held while a process-wide option of the library changes.
std::mutex& GitOptionsMutex();

}  // namespace GCore
