// The maker link's mouse pointer: a hand of 32 x 32 pixels with its index finger pointing up
// and the hot spot at the fingertip. Qt objects: use it on the window's thread only.
#pragma once

#include <QCursor>
#include <QPoint>

namespace pellvane {

inline constexpr QPoint kHandHotSpot{12, 1};

QCursor HandCursor();

}  // namespace pellvane
