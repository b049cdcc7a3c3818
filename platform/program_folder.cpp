#include "platform/program_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace pellvane {
namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

}  // namespace

std::string ResolveProgramFolder(const FolderSources& sources) {
  if (IsSet(sources.pellvane_home)) return WithoutTrailingSlash(sources.pellvane_home);
  if (!sources.executable_folder.empty() &&
      access(sources.executable_folder.c_str(), W_OK | X_OK) == 0) {
    return WithoutTrailingSlash(sources.executable_folder);
  }
  std::string data_home;
  if (IsSet(sources.xdg_data_home)) {
    data_home = sources.xdg_data_home;
  } else {
    data_home = std::string(IsSet(sources.home) ? sources.home : "") + "/.local/share";
  }
  const std::filesystem::path folder = std::filesystem::path(data_home) / "pellvane";
  std::error_code ec;
  if (std::filesystem::create_directories(folder, ec)) {
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, ec);
  }
  return WithoutTrailingSlash(folder.string());
}

FolderSources ProcessFolderSources() {
  FolderSources s;
  s.pellvane_home = std::getenv("PELLVANE_HOME");
  s.xdg_data_home = std::getenv("XDG_DATA_HOME");
  s.home = std::getenv("HOME");
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) s.executable_folder = exe.parent_path().string();
  return s;
}

const std::string& ProgramFolder() {
  static const std::string folder = ResolveProgramFolder(ProcessFolderSources());
  return folder;
}

}  // namespace pellvane
