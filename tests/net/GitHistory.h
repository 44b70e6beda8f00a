#pragma once
// A repository whose history the git command line writes, for the tests of
// the commands that move HEAD: commits on branches, and the porcelain status,
// files and ids to check the console's work against.
#include <initializer_list>
#include <string>

#include "GitTestSupport.h"

class GitHistory {
 public:
  // A fresh repository below the sandbox whose branch "main" holds one
  // commit of a.txt with "alpha".
  GitHistory(const GitSandbox& box, const std::string& name) : box_(box), name_(name), path_(box.Path(name)) {
    box_.Sh("git init -q -b main " + path_);
    Commit("a.txt", "alpha\n", "first");
  }

  const std::string& Path() const { return path_; }

  // Runs the git command line in the repository; its standard output.
  std::string Git(const std::string& arguments) const { return box_.Sh("git -C '" + path_ + "' " + arguments); }

  void Write(const std::string& file, const std::string& content) const { box_.Write(name_ + "/" + file, content); }
  std::string Read(const std::string& file) const { return box_.Read(name_ + "/" + file); }
  bool Exists(const std::string& file) const { return box_.Exists(name_ + "/" + file); }

  // Writes the file and commits it on the current branch.
  void Commit(const std::string& file, const std::string& content, const std::string& message) const {
    Write(file, content);
    Git("add '" + file + "' && git -C '" + path_ + "' commit -q -m '" + message + "'");
  }

  struct Change {
    const char* file;
    const char* content;
    const char* message;
  };
  // Makes `branch` at main's commit with its own commits, then adds main's
  // commits; ends on main.
  void Fork(const std::string& branch, std::initializer_list<Change> onBranch,
            std::initializer_list<Change> onMain) const {
    Git("checkout -q -b " + branch);
    for (const Change& change : onBranch) Commit(change.file, change.content, change.message);
    Git("checkout -q main");
    for (const Change& change : onMain) Commit(change.file, change.content, change.message);
  }

  // The full id a revision names.
  std::string Id(const std::string& revision) const {
    const std::string line = Git("rev-parse --verify '" + revision + "^{commit}'");
    return line.substr(0, line.find('\n'));
  }

  std::string Status() const { return Git("status --porcelain"); }
  std::string Subjects(const std::string& range) const { return Git("log --format=%s " + range); }
  std::string Parents(const std::string& revision) const { return Git("log -1 --format=%P " + revision); }
  std::string HeadBranch() const { return Git("symbolic-ref -q HEAD || echo detached"); }

 private:
  const GitSandbox& box_;
  std::string name_;
  std::string path_;
};
