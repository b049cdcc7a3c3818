// A window test: the real settings store in a temporary PELLVANE_HOME, the window model
// loaded as at start-up and its Qt view shown on the offscreen platform; and a way to answer
// modal dialogs so that no test ever waits on one.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <functional>
#include <memory>

#include "platform/run_log.h"
#include "settings/hp_reg.h"
#include "support/temp_dir.h"
#include "transfer/inet.h"
#include "ui/frm_main.h"
#include "ui/qt/main_view.h"
#include "ui/qt/qt_dialogs.h"

namespace pellvane::testing {

class WindowTest : public ::testing::Test {
 protected:
  WindowTest();
  ~WindowTest() override;

  // Starts the window on the store as it is now, as pellvane-window does.
  void Open();

  template <typename W = QWidget>
  W* Widget(const Control& control) const {
    auto* widget = qobject_cast<W*>(view_->WidgetOf(control));
    EXPECT_NE(widget, nullptr) << control.name();
    return widget;
  }

  // What a fresh load from the store gives.
  SettingsRecord Stored() const;
  // Changes the stored record before Open.
  void Store(const std::function<void(SettingsRecord&)>& edit) const;

  // Calls `answer` with every modal dialog that opens from now on, again while it stays open.
  void AnswerModals(std::function<void(QWidget*)> answer);

  TempDir dir_;
  QtDialogs dialogs_;
  FixedClock clock_{0};
  Inet inet_;
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<RunLog> log_;
  std::unique_ptr<frmMain> window_;
  std::unique_ptr<MainView> view_;

 private:
  QTimer modal_poll_;
  std::function<void(QWidget*)> answer_;
};

}  // namespace pellvane::testing
