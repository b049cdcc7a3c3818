// The main window on Qt Widgets: one widget per model control at its laid-out place, in
// tab-index order. It only mirrors the model and feeds user input back to it.
// Qt objects: the window's thread only.
#pragma once

#include <QWidget>
#include <unordered_map>
#include <vector>

#include "platform/run_log.h"
#include "ui/frm_main.h"
#include "views/qt/qt_dialogs.h"

class QLabel;
class QStyle;
class QScrollBar;

namespace pellvane {

class MainView final : public QWidget {
 public:
  // Message boxes and the file chooser open over this window; while the log writes during a
  // check or an upload, the window repaints but takes no user input.
  MainView(frmMain& window, QtDialogs& dialogs, RunLog& log);
  ~MainView() override;
  MainView(const MainView&) = delete;
  MainView& operator=(const MainView&) = delete;

  // The widget that shows `control`; null for a control without one.
  QWidget* WidgetOf(const Control& control) const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // One widget of kind W for the model control of kind C.
  template <typename W, typename C>
  W* Add(const Placement& p, QWidget* parent);
  void Build();
  void MakeLink(QLabel* link);
  void HandFocusOn(ScrollBar& control, QScrollBar* bar);
  void ChainTabOrder();
  // The busy cursor during a check; closing once the model is unloaded.
  void ShowState();

  frmMain& window_;
  RunLog& log_;
  QStyle* asterisks_;  // the password boxes' style
  bool busy_ = false;  // the busy cursor is shown
  std::vector<Control*> mirrored_;
  std::unordered_map<const Control*, QWidget*> widgets_;
  std::vector<std::pair<int, QWidget*>> tab_order_;
};

}  // namespace pellvane
