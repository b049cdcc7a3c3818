// The main window as a model without Qt: every control of the settings window, the two
// five-slot pagers and the handlers that store each edit in the settings record at once.
// Not safe from two threads: the window's thread only.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "detect/check_ip.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/program_folder.h"
#include "platform/run_log.h"
#include "settings/hp_reg.h"
#include "transfer/inet.h"
#include "ui/controls.h"
#include "ui/held_boxes.h"
#include "ui/layout.h"

namespace pellvane {

// The maker's home page; the built-in echo page of web slot 1 is kEchoUrl.
inline const std::string kMakerUrl = std::string("http://") + PELLVANE_ECHO_HOST + "/";

template <typename T>
using Slots = std::array<std::unique_ptr<T>, kSlots>;

// How a mode that ends the program by itself (-now, -backup, --restore) came out.
enum class RunOutcome {
  kDone,       // published, nothing to publish, or backed up
  kNoAddress,  // no valid address, no settings, or another check still running
  kPublishFailed,
  kBackupFailed,  // a backup, or a restore without a window, that did not happen
};

// How long a check waits for another instance's check and publish before it gives up.
inline constexpr std::chrono::seconds kRunLockWait(30);
// The run that publishes once even when nothing differs; otherwise a -now run.
inline constexpr const char* kForceOption = "--force";
// What a check that gave up logs and shows; it ends like a check without an address.
inline constexpr const char* kCheckBusy = "Prüfung übersprungen: eine andere Prüfung läuft noch";

class frmMain {
 public:
  // `log` follows the record's writelog switch; `command_line` is the arguments as one text;
  // the backup and the filled page go through `files`.
  frmMain(Settings& settings, Dialogs& dialogs, const RunLog& log, Inet& inet,
          std::string program_folder, std::string command_line, FileSystem& files);

  // Start-up and the command line's mode. How it came out when the mode ends the program by
  // itself (-now, -backup); nothing when the window is to be shown.
  std::optional<RunOutcome> Form_Load();
  // Logs the end, saves, and marks the window unloaded; the caller then ends the process.
  void Form_Unload();
  bool unloaded() const { return unloaded_; }
  // The end button and the close box: the window unloads at once, or, in the middle of a
  // check, as soon as the check has ended; a check is never cut off half way.
  void Close();
  // A check and its publish run: the views show the busy cursor and take no input meanwhile.
  bool busy() const { return busy_; }
  // Runs when busy() or unloaded() changes; the views follow with the cursor and by closing.
  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  // Why the run that ended by itself failed, in the run's own words ("FTP fehlgeschlagen
  // (530 : ...)"); empty when it did not fail.
  const std::string& failure() const { return failure_; }
  // What the last check and publish did, for the scheduler's line and --status.
  struct RunReport {
    std::string address;         // the valid address the check got; empty when it got none
    bool publish_begun = false;  // the page was due and its publish began
    bool only_builtin = false;   // no address, and only the built-in echo page was asked
  };
  const RunReport& report() const { return report_; }

  void cmdNow_Click();
  // How long a check waits for its turn before it gives up.
  std::chrono::milliseconds run_lock_wait = kRunLockWait;

  // Copies the settings record into the controls and opens both pagers on their defaults.
  void ShowSettings();

  // Pager handlers: show the visible slot, name it, hand the focus on.
  void vscrWserver_Change();
  void vscrFtpserver_Change();
  void vscrWserver_GotFocus();
  void vscrFtpserver_GotFocus();

  // Enabling routines: grey out what does not apply and set the switches from the record.
  void EnableFTPControls();
  void EnableProxyControls();
  void EnableLogControls();

  void cmdSelectFile_Click();
  void lblHREF_Click();
  void cmdLOG_Click();

  // The body the latest check fetched.
  std::string CurIP;

  // Every control as laid out, for the views.
  const std::vector<Placement>& layout() const { return layout_; }

  // The text box that has the keyboard focus after a focus hand-over; for the view.
  const TextBox* focused() const { return focused_; }

  // Web server pager.
  Label lblCurWebsrv{"lblCurWebsrv"};
  Label lblDefWSrv{"lblDefWSrv"};
  Slots<TextBox> txtWserver;
  ScrollBar vscrWserver{"vscrWserver", 0, kSlots - 1};
  OptionGroup Frame1;
  Slots<OptionButton> optDefWserver;

  // FTP part.
  CheckBox chkUseFTP{"chkUseFTP"};
  Label lblCurFTPSrv{"lblCurFTPSrv"};
  Label Label1{"Label1"};
  Slots<TextBox> txtFTPserver;
  ScrollBar vscrFtpserver{"vscrFtpserver", 0, kSlots - 1};
  OptionGroup Frame3;
  Slots<OptionButton> optDefFTPserver;
  Label Label2{"Label2"};
  Slots<TextBox> txtRemoteFile;
  Label Label3{"Label3"};
  Label Label4{"Label4"};
  Slots<TextBox> txtFTPUser;
  Slots<TextBox> txtFTPPass;
  Label Label5{"Label5"};
  Slots<TextBox> txtHTMLTemplate;
  CommandButton cmdSelectFile{"cmdSelectFile"};

  // Proxy part; the indices of optUseDefProxy are the proxy modes.
  OptionGroup fraProxy;
  Slots<OptionButton> optUseDefProxy;  // only 0..2 exist
  Label lblProxy{"lblProxy"};
  TextBox txtProxySrv{"txtProxySrv"};
  Label lblProxyPort{"lblProxyPort"};
  TextBox txtProxyPort{"txtProxyPort"};
  TextBox txtProxyUser{"txtProxyUser"};
  TextBox txtProxyPass{"txtProxyPass"};

  // Command part.
  CommandButton cmdNow{"cmdNow"};
  CheckBox chkLOG{"chkLOG"};
  CommandButton cmdLOG{"cmdLOG"};
  CommandButton cmdEnd{"cmdEnd"};
  Label lblHREF{"lblHREF"};

 private:
  void Build();
  void WireHandlers();
  // Stores a box's text in its record field and saves, on every change.
  void StoreOnChange(TextBox& box, std::string& field);
  // Saves the record; while ShowSettings fills the controls, once at its end instead.
  void Save();
  // -now or --force: no window, no message boxes.
  bool Unattended() const;
  // One check and, when the page is due, one publish; the boxes come after the run's turn.
  RunOutcome CheckAndPublish();
  RunOutcome CheckAndPublishInTurn();
  RunOutcome SettingsUnreadable();
  // The web slots a check asks, in order: the visible one; in a run without the window, then
  // every other slot that holds a URL.
  std::vector<TextField*> WebSlotsToAsk() const;
  // The slot's controls in the order they are hidden and shown.
  std::vector<Control*> WebSlot(int i) const;
  std::vector<Control*> FtpSlot(int i) const;
  void Refresh(const ScrollBar& bar, Label& caption, const char* prefix,
               std::vector<Control*> (frmMain::*slot)(int) const);

  Settings& settings_;
  Dialogs& dialogs_;
  HeldBoxes boxes_{dialogs_};  // the check's and the transfers' boxes
  const RunLog& log_;
  Inet& inet_;
  std::string program_folder_;
  std::string command_line_;
  FileSystem& files_;
  std::vector<Placement> layout_;
  const TextBox* focused_ = nullptr;
  std::string reported_;  // the state-event handler's line for the latest request
  std::string failure_;
  RunReport report_;
  bool unloaded_ = false;
  bool busy_ = false;
  bool close_asked_ = false;
  std::function<void()> observer_;
  bool filling_ = false;
};

}  // namespace pellvane
