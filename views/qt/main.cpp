// pellvane-window: the settings window. pellvane starts it for every mode but -now and
// -backup, with the same arguments.
#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "app/command_line.h"
#include "app/environment.h"
#include "app/exit_status.h"
#include "app/session.h"
#include "views/qt/main_view.h"
#include "views/qt/qt_dialogs.h"
#include "views/qt/screenshot.h"

int main(int argc, char** argv) {
  // Taken before Qt removes the arguments it knows.
  const std::string command_line = pellvane::JoinArguments(argc, argv);
  if (!pellvane::HasDisplay()) {
    std::fprintf(stderr,
                 "pellvane-window: keine grafische Anzeige (DISPLAY/WAYLAND_DISPLAY); "
                 "ohne Fenster gehen nur pellvane -now und pellvane -backup\n");
    return pellvane::kExitFailed;
  }
  QApplication app(argc, argv);
  pellvane::UseGermanQtTexts(app);
  // Qt sets the locale from the environment; the log's timestamps follow it.
  std::setlocale(LC_ALL, "");

  pellvane::QtDialogs dialogs;
  pellvane::SystemClock clock;
  pellvane::Session session(dialogs, clock, pellvane::ConfigFromEnvironment(command_line));
  if (const std::optional<pellvane::RunOutcome> outcome = session.window.Form_Load()) {
    return pellvane::ExitStatusOf(*outcome);
  }

  pellvane::MainView view(session.window, dialogs, session.log);
  if (const char* path = std::getenv("PELLVANE_SCREENSHOT"); path != nullptr && *path != '\0') {
    pellvane::SaveAfterFirstPaint(view, QString::fromLocal8Bit(path));
  }
  view.show();
  app.exec();
  return pellvane::kExitOk;
}
