#pragma once
// A sandbox for git tests: a temporary folder with a home of its own (so the
// machine's git configuration stays out), the git command line run inside
// it, and files written and read below it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class GitSandbox {
 public:
  GitSandbox() {
    char pattern[] = "/tmp/quarvelin-git-XXXXXX";
    path_ = mkdtemp(pattern);
    std::filesystem::create_directories(path_ / "home");
    // Set before any worker runs a command: the library reads them per command.
    setenv("HOME", (path_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ / "home/.config").c_str(), 1);
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
  ~GitSandbox() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  GitSandbox(const GitSandbox&) = delete;
  GitSandbox& operator=(const GitSandbox&) = delete;

  std::string Path(const std::string& relative = "") const {
    return relative.empty() ? path_.string() : (path_ / relative).string();
  }

  void Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }

  std::string Read(const std::string& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  bool Exists(const std::string& relative) const { return std::filesystem::exists(path_ / relative); }

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
    const std::string line = "cd '" + path_.string() + "' && { " + command + "; } 2>/dev/null";
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

 private:
  std::filesystem::path path_;
};
