// The window as laid out, written once for the model and both views: every control with its
// kind, container, place in twips, tab index and the caption or text it starts with.
// Not safe from two threads: it points at the window model's controls.
#pragma once

#include <string>
#include <vector>

#include "ui/controls.h"

namespace pellvane {

class frmMain;

// A place in twips (1/1440 inch, 15 to a pixel at 96 dpi), relative to the top-left corner of
// the frame or group that holds it.
struct Twips {
  int left, top, width, height;
};

// The window's client area.
inline constexpr Twips kClientArea{0, 0, 4950, 6915};
inline constexpr int kTwipsPerInch = 1440;

enum class Kind {
  kFrame,  // a line around its controls; no model control
  kGroup,  // an unseen container of option buttons; no model control
  kLabel,
  kLink,  // a label that opens the maker's page: blue, underlined, a hand over it
  kText,
  kCheck,
  kOption,
  kScroll,
  kButton,
};

struct Placement {
  std::string name;  // the control's name; option buttons with their index
  Kind kind;
  Control* control;       // null for frames and groups
  std::string container;  // the frame or group that holds it; empty: the window itself
  Twips at;
  int tab;           // the focus order; -1: takes no focus
  bool masked;       // every character shown as "*"
  std::string text;  // the caption, or a text box's text, as laid out
  bool hidden;       // hidden as laid out
};

// Every control of `window`, containers before what they hold, in the order they are made.
std::vector<Placement> Layout(frmMain& window);

}  // namespace pellvane
