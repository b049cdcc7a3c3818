// A text that a routine reads and may write back, such as a text box of the window: the check
// and the publish reach the slot they work on through it. Not safe from two threads.
#pragma once

#include <string>

namespace pellvane {

class TextField {
 public:
  virtual ~TextField() = default;
  virtual const std::string& text() const = 0;
  virtual void SetText(std::string text) = 0;
};

}  // namespace pellvane
