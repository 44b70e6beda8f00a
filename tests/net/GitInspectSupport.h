#pragma once
// Helpers of the inspection command tests: git's command-line output turned
// into console records, and repositories with a dated history.
#include <string>

#include "GitScriptFixture.h"

// Each line of `text` as one normal-output record.
inline std::string LineRecords(const std::string& text) {
  std::string out;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    const size_t next = end == std::string::npos ? text.size() : end + 1;
    out += '1';
    out.append(text, at, next - at);
    at = next;
  }
  return out;
}

// Normal-output records whose texts end in line ends, with the record marks
// taken out; for texts where no line begins with '1' or '0'.
inline std::string Unmarked(const std::string& records) {
  std::string out;
  bool atRecord = true;
  for (char c : records) {
    if (atRecord && c == '1') {
      atRecord = false;
      continue;
    }
    out += c;
    atRecord = c == '\n';
  }
  return out;
}

// Commits a new file "<name>.txt" with the given committer and author date
// ("2020-03-05T23:30:00+0100").
inline void CommitAt(GitSandbox& box, const std::string& repo, const std::string& name, const std::string& date,
                     const std::string& message) {
  box.Sh("echo '" + name + "' > " + repo + "/" + name + ".txt && git -C " + repo + " add " + name +
         ".txt && GIT_COMMITTER_DATE='" + date + "' GIT_AUTHOR_DATE='" + date + "' git -C " + repo +
         " commit -q -m '" + message + "'");
}
