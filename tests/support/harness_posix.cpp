// The harness's parts that are Linux's own: processes, permissions, limits, the environment.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "support/harness.h"

extern char** environ;

namespace pellvane::testing {
namespace fs = std::filesystem;

void SetVariable(const std::string& name, const std::optional<std::string>& value) {
  value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
}

namespace {
std::string ReadAll(int fd) {
  std::string data;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) data.append(buf, std::size_t(n));
  close(fd);
  return data;
}
}  // namespace

std::vector<char*> ExecArgs(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const EnvVars& env,
                         const std::string& input) {
  std::vector<std::string> vars, args_copy = argv;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!env.contains(std::string(*e, std::strcspn(*e, "=")))) vars.push_back(*e);
  }
  for (const auto& [name, value] : env) {
    if (value) vars.push_back(name + "=" + *value);
  }
  std::vector<char*> envp = ExecArgs(vars), args = ExecArgs(args_copy);
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
  // Small outputs only: stdout is read to its end before stderr.
  result.out = ReadAll(out[0]);
  result.err = ReadAll(err[0]);
  if (rc != 0) return result;
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.max_rss_kb = usage.ru_maxrss;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

Sandbox::Sandbox() {
  char name[] = "/tmp/pellvane-test-XXXXXX";
  if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = name;
  env_.Set("PELLVANE_HOME", path_);
  // The built-in echo page, which a -now run asks when a slot fails, meets a dead local proxy:
  // nothing leaves the machine.
  env_.Set("http_proxy", "http://127.0.0.1:1");
  env_.Set("https_proxy", "http://127.0.0.1:1");
  env_.Set("no_proxy", "127.0.0.1");
}

Sandbox::~Sandbox() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

ProgramResult Sandbox::Run(const std::string& program, const std::vector<std::string>& args,
                           EnvVars env, const std::string& input) const {
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  env.emplace("PELLVANE_HOME", path_);
  return RunProgram(argv, env, input);
}

pid_t Spawn(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) _exit(body());
  return child;
}

int Waited(pid_t child) {
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace pellvane::testing
