// Points the settings store at a fresh temporary folder for the life of one test.
#pragma once

#include <string>

#include "support/temp_dir.h"

namespace pellvane::testing {

class StoreHome {
 public:
  StoreHome();   // sets PELLVANE_HOME to a new temporary folder
  ~StoreHome();  // unsets it again
  StoreHome(const StoreHome&) = delete;
  StoreHome& operator=(const StoreHome&) = delete;
  const std::string& path() const { return dir_.path(); }
  std::string StoreFile() const { return dir_.File("registry.sqlite3"); }

 private:
  TempDir dir_;
};

}  // namespace pellvane::testing
