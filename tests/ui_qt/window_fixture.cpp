#include "window_fixture.h"
#include "support/env_registry.h"

#include <QApplication>
#include <QTest>
#include <cstdlib>

namespace pellvane::testing {

WindowTest::WindowTest() {
  setenv("PELLVANE_HOME", dir_.path().c_str(), 1);
  modal_poll_.setInterval(10);
  QObject::connect(&modal_poll_, &QTimer::timeout, [this] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible()) answer_(modal);
  });
}

WindowTest::~WindowTest() {
  modal_poll_.stop();
  view_.reset();
}

void WindowTest::Open() {
  settings_ = std::make_unique<Settings>(dialogs_, StorePathFromEnvironment());
  log_ = std::make_unique<RunLog>(dir_.File("pellvane.log"), clock_, settings_->record().writelog);
  window_ = std::make_unique<frmMain>(*settings_, dialogs_, *log_, inet_, dir_.path(), "");
  ASSERT_FALSE(window_->Form_Load().has_value());
  view_ = std::make_unique<MainView>(*window_, dialogs_, *log_);
  view_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
}

SettingsRecord WindowTest::Stored() const {
  QtDialogs d;
  Settings s(d, StorePathFromEnvironment());
  s.LoadSettings();
  return s.record();
}

void WindowTest::Store(const std::function<void(SettingsRecord&)>& edit) const {
  QtDialogs d;
  Settings s(d, StorePathFromEnvironment());
  s.InitSettingsKey();
  edit(s.record());
  s.SaveSettings();
}

void WindowTest::AnswerModals(std::function<void(QWidget*)> answer) {
  answer_ = std::move(answer);
  modal_poll_.start();
}

}  // namespace pellvane::testing
