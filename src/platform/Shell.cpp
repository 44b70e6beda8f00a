#include "platform/Shell.h"

#include <sys/wait.h>
#include <unistd.h>

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
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace GCore
