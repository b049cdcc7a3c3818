#include "support/store_home.h"

#include <cstdlib>

namespace pellvane::testing {

StoreHome::StoreHome() { setenv("PELLVANE_HOME", dir_.path().c_str(), 1); }

StoreHome::~StoreHome() { unsetenv("PELLVANE_HOME"); }

}  // namespace pellvane::testing
