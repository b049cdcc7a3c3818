#include "platform/program_folder.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace pellvane {
namespace {

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

// An installed program lives in a folder named "bin" (/usr/bin, /usr/local/bin, /opt/…/bin,
// ~/.local/bin); a build tree or a portable copy does not. Root may write to /usr/bin, so
// write access alone cannot tell them apart.
bool IsInstalledFolder(const std::string& folder) {
  return std::filesystem::path(WithoutTrailingSlash(folder)).filename() == "bin";
}

}  // namespace

std::string ExecutableFolder() {
  std::error_code ec;
  return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
}

std::string ResolveProgramFolder(const FolderSources& sources) {
  if (IsSet(sources.pellvane_home)) return WithoutTrailingSlash(sources.pellvane_home);
  if (!sources.executable_folder.empty() && !IsInstalledFolder(sources.executable_folder) &&
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

}  // namespace pellvane
