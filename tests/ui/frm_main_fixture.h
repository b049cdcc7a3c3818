// A window model on the real settings store in a temporary program folder, with dialogs
// that record their messages and answer the file chooser from a queue.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>

#include "support/env_registry.h"
#include "support/temp_dir.h"
#include "ui/frm_main.h"

namespace pellvane {

// Records every message and answers the file chooser from a queue (empty: cancelled).
class PresetDialogs final : public Dialogs {
 public:
  void MsgBox(const std::string& text, MsgKind) override { messages.push_back(text); }
  std::optional<std::string> ChooseFile(const FileChooserRequest& request) override {
    requests.push_back(request);
    if (answers.empty()) return std::nullopt;
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
  void OpenUrl(const std::string& url) override { opened.push_back(url); }
  void OpenInEditor(const std::string& path) override { opened.push_back(path); }

  std::vector<std::string> messages;
  std::vector<FileChooserRequest> requests;
  std::deque<std::string> answers;
  std::vector<std::string> opened;
};

class FrmMainTest : public ::testing::Test {
 protected:
  FrmMainTest() { setenv("PELLVANE_HOME", dir_.path().c_str(), 1); }

  // A window on the store as it is now, filled as at start-up.
  std::unique_ptr<frmMain> Open(const std::string& command_line = "") {
    settings_ = std::make_unique<Settings>(dialogs_, StorePathFromEnvironment());
    log_ =
        std::make_unique<RunLog>(dir_.File("pellvane.log"), clock_, settings_->record().writelog);
    auto w =
        std::make_unique<frmMain>(*settings_, dialogs_, *log_, inet_, dir_.path(), command_line);
    settings_->InitSettingsKey();
    settings_->LoadSettings();
    w->ShowSettings();
    return w;
  }

  // What a fresh load from the store gives.
  SettingsRecord Stored() {
    PresetDialogs d;
    Settings s(d, StorePathFromEnvironment());
    s.LoadSettings();
    return s.record();
  }

  // Changes the stored values as the window would.
  void Store(const std::function<void(SettingsRecord&)>& edit) {
    PresetDialogs d;
    Settings s(d, StorePathFromEnvironment());
    s.InitSettingsKey();
    s.LoadSettings();
    edit(s.record());
    s.SaveSettings();
  }

  testing::TempDir dir_;
  PresetDialogs dialogs_;
  FixedClock clock_{0};
  Inet inet_;
  std::unique_ptr<Settings> settings_;
  std::unique_ptr<RunLog> log_;
};

}  // namespace pellvane
