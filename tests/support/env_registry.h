// The registry over the store that PELLVANE_HOME names right now, for tests that reach the
// store the way a run started in that environment would. Not safe from two threads.
#pragma once

#include "app/environment.h"
#include "platform/registry.h"

namespace pellvane::testing {

// One registry per store path, kept for the life of the test program.
Registry& EnvRegistry();

}  // namespace pellvane::testing
