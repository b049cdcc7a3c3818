#include "platform/dialogs.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

extern char** environ;

namespace pellvane {

void HeadlessDialogs::MsgBox(const std::string& text, MsgKind kind) {
  std::FILE* out = kind == MsgKind::kError ? stderr : stdout;
  std::fprintf(out, "%s\n", text.c_str());
  std::fflush(out);
}

std::optional<std::string> HeadlessDialogs::ChooseFile(const FileChooserRequest&) {
  return std::nullopt;
}

void HeadlessDialogs::OpenUrl(const std::string& url) { OpenDetached(url); }

void HeadlessDialogs::OpenInEditor(const std::string& path) { OpenDetached(path); }

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
