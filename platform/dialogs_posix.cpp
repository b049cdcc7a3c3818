#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/dialogs.h"

extern char** environ;

namespace pellvane {

bool ShowInSystemBox(const std::string&) { return false; }

void OpenDetached(const std::string& target) {
  // Double fork: the grandchild runs xdg-open and is reparented, the child is reaped at once.
  const pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    setsid();
    char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(target.c_str()), nullptr};
    pid_t grandchild = 0;
    posix_spawnp(&grandchild, "xdg-open", nullptr, nullptr, argv, environ);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}

}  // namespace pellvane
