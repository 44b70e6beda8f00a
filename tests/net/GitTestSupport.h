#pragma once
// A sandbox for git tests: a temporary folder with a home of its own (so the
// machine's git configuration stays out) and the git command line run inside
// it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/TempRoot.h"

// Sets an environment variable for the life of the holder (between commands:
// the worker reads the environment only while one runs).
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedVariable() { saved_.empty() ? unsetenv(name_) : setenv(name_, saved_.c_str(), 1); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::string saved_;
};

class GitSandbox : public TempRoot {
 public:
  GitSandbox() {
    std::filesystem::create_directories(Path("home"));
    // Set before any worker runs a command: the library reads them per command.
    setenv("HOME", Path("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", Path("home/.config").c_str(), 1);
    setenv("GIT_CONFIG_NOSYSTEM", "1", 1);
    setenv("LC_ALL", "C", 1);
    setenv("GIT_AUTHOR_NAME", "Test Author", 1);
    setenv("GIT_AUTHOR_EMAIL", "author@example.org", 1);
    setenv("GIT_COMMITTER_NAME", "Test Committer", 1);
    setenv("GIT_COMMITTER_EMAIL", "committer@example.org", 1);
    unsetenv("GIT_DIR");
    unsetenv("GIT_WORK_TREE");
    unsetenv("GIT_INDEX_FILE");
  }

  bool Exists(const std::string& relative) const { return std::filesystem::exists(Path(relative)); }

  // Runs a shell command in the sandbox and returns its standard output; a
  // failing command fails the test.
  std::string Sh(const std::string& command) const {
    std::string out;
    const int status = Run(command, out);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
  }

  // The exit status, and the standard output in `out`.
  int Run(const std::string& command, std::string& out) const {
    const std::string line = "cd '" + Path() + "' && { " + command + "; } 2>/dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    char chunk[4096];
    out.clear();
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // A repository made by the git command line, with one commit of a.txt.
  std::string CommittedRepository(const std::string& name) const {
    Sh("git init -q " + name + " && echo alpha > " + name + "/a.txt && git -C " + name +
       " add a.txt && git -C " + name + " commit -q -m first");
    return Path(name);
  }
};
