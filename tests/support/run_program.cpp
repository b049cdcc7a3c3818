#include "support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace pellvane::testing {
namespace {

std::string ReadAll(int fd) {
  std::string data;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) data.append(buf, static_cast<std::size_t>(n));
  close(fd);
  return data;
}

}  // namespace

ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::map<std::string, std::optional<std::string>>& env,
                         const std::string& input) {
  std::vector<std::string> vars;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (env.count(entry.substr(0, entry.find('='))) == 0) vars.push_back(entry);
  }
  for (const auto& [name, value] : env) {
    if (value) vars.push_back(name + "=" + *value);
  }
  std::vector<char*> envp, args;
  for (auto& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_copy = argv;
  for (auto& a : argv_copy) args.push_back(a.data());
  args.push_back(nullptr);

  int out[2], err[2];
  ProgramResult result;
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
  pid_t pid = 0;
  const auto start = std::chrono::steady_clock::now();
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (rc != 0) {
    close(out[0]);
    close(err[0]);
    return result;
  }
  // Small outputs only: stdout is read to its end before stderr.
  result.out = ReadAll(out[0]);
  result.err = ReadAll(err[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.max_rss_kb = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace pellvane::testing
