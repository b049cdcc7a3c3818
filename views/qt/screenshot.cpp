#include "views/qt/screenshot.h"

#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "views/qt/bindings.h"

namespace pellvane {

void SaveAfterFirstPaint(QWidget& window, const QString& path) {
  auto done = std::make_shared<bool>(false);
  OnEvent(&window, QEvent::Paint, [&window, path, done](QEvent*) {
    if (*done) return;
    *done = true;
    // Queued, so that the paint under way finishes first.
    QTimer::singleShot(0, &window, [&window, path] {
      if (!window.grab().save(path, "PNG")) {
        std::fprintf(stderr, "pellvane-window: %s lässt sich nicht schreiben\n",
                     path.toLocal8Bit().constData());
      }
      window.close();
    });
  });
}

}  // namespace pellvane
