// Saves a picture of a window as soon as it has been painted once, then closes it; for the
// documentation's screenshot and the start-up benchmark. Qt objects: the window's thread only.
#pragma once

#include <QString>
#include <QWidget>

namespace pellvane {

// After `window`'s first paint: its picture goes to `path` (PNG) and the window is closed.
void SaveAfterFirstPaint(QWidget& window, const QString& path);

}  // namespace pellvane
