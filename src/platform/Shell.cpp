#include "platform/Shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace GCore {

bool OpenWithShell(const char* target) {
  if (!target || !*target) return false;
  // Two forks, so the opener is adopted by init and never left a zombie.
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    if (fork() == 0) {
      execlp("xdg-open", "xdg-open", target, static_cast<char*>(nullptr));
      _exit(127);
    }
    _exit(0);
  }
  int status = 0;
  // The child ends at once; a signal only cuts the wait short.
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool StartProgram(const char* path) {
  if (!path || !*path) return false;
  // The program's exec closes this pipe; a failed exec writes its errno into
  // it first. So the reader learns whether the program started.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return false;
  }
  if (child == 0) {
    close(report[0]);
    // Two forks, as above: the program is adopted by init.
    const pid_t program = fork();
    if (program == 0) {
      setsid();
      execl(path, path, static_cast<char*>(nullptr));
      const int error = errno;
      [[maybe_unused]] const ssize_t ignored = write(report[1], &error, sizeof(error));
      _exit(127);
    }
    _exit(program < 0 ? 1 : 0);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  do {
    got = read(report[0], &error, sizeof(error));
  } while (got < 0 && errno == EINTR);
  close(report[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
}

}  // namespace GCore
