#include "support/env_registry.h"

#include <map>
#include <memory>
#include <string>

namespace pellvane::testing {

Registry& EnvRegistry() {
  static auto* registries = new std::map<std::string, std::unique_ptr<Registry>>();
  const std::string path = StorePathFromEnvironment();
  std::unique_ptr<Registry>& r = (*registries)[path];
  if (!r) r = std::make_unique<Registry>(path);
  return *r;
}

}  // namespace pellvane::testing
