#include "ui/frm_main.h"

#include "detect/check_ip.h"
#include "platform/program_folder.h"
#include "platform/run_lock.h"
#include "platform/text.h"
#include "publish/publish_ip.h"
#include "settings/backup.h"
#include "transfer/state_events.h"

namespace pellvane {
namespace {

template <typename T, typename... Args>
void MakeSlots(Slots<T>& slots, const std::string& name, Args&... args) {
  for (int i = 0; i < kSlots; ++i) {
    slots[i] = std::make_unique<T>(name, args..., i);
  }
}

template <typename T>
void MakeTextSlots(Slots<T>& slots, const std::string& name) {
  for (int i = 0; i < kSlots; ++i) slots[i] = std::make_unique<T>(name + std::to_string(i));
}

// Why a run that needs the stored settings cannot go on.
std::string NotLoaded(Settings& settings) {
  return "Einstellungen nicht lesbar: " + settings.registry().store_path();
}

// A stored default outside the slots opens the first one.
int SlotOrFirst(int index) { return index >= 0 && index < kSlots ? index : 0; }

}  // namespace

frmMain::frmMain(Settings& settings, Dialogs& dialogs, const RunLog& log, Inet& inet,
                 std::string program_folder, std::string command_line, FileSystem& files)
    : settings_(settings),
      dialogs_(dialogs),
      log_(log),
      inet_(inet),
      program_folder_(std::move(program_folder)),
      command_line_(std::move(command_line)),
      files_(files) {
  Build();
  WireHandlers();
}

void frmMain::Build() {
  MakeTextSlots(txtWserver, "txtWserver");
  MakeSlots(optDefWserver, "optDefWserver", Frame1);
  MakeTextSlots(txtFTPserver, "txtFTPserver");
  MakeSlots(optDefFTPserver, "optDefFTPserver", Frame3);
  MakeTextSlots(txtRemoteFile, "txtRemoteFile");
  MakeTextSlots(txtFTPUser, "txtFTPUser");
  MakeTextSlots(txtFTPPass, "txtFTPPass");
  MakeTextSlots(txtHTMLTemplate, "txtTemplate");
  for (int i = 0; i < 3; ++i) {
    optUseDefProxy[i] = std::make_unique<OptionButton>("optUseDefProxy", fraProxy, i);
  }

  // Captions, texts and what is hidden, as laid out; ShowSettings replaces the placeholders
  // before showing.
  layout_ = Layout(*this);
  for (const Placement& p : layout_) {
    if (p.control == nullptr) continue;
    if (p.kind == Kind::kText) {
      static_cast<TextBox*>(p.control)->SetText(p.text);
    } else {
      p.control->SetCaption(p.text);
    }
    p.control->SetVisible(!p.hidden);
  }
  optDefWserver[0]->Select();
  optDefFTPserver[0]->Select();
}

void frmMain::StoreOnChange(TextBox& box, std::string& field) {
  box.OnChange([this, &box, &field] {
    field = box.text();
    Save();
  });
}

void frmMain::Save() {
  if (filling_) return;
  // An edit that cannot be stored is lost at the end of the run: say so.
  if (const std::string failure = settings_.SaveSettings(); !failure.empty()) {
    log_.WriteLog("Einstellungen nicht gespeichert: " + failure);
  }
}

void frmMain::WireHandlers() {
  inet_.SetStateChanged([this](std::int16_t state) {
    reported_ =
        HandleStateChanged(state, inet_, Unattended(), log_, boxes_, [this] { log_.Yield(); });
  });
  // The window repaints during a transfer as well, not only between log lines.
  inet_.SetYieldHook([this] { log_.Yield(); });
  SettingsRecord& r = settings_.record();
  for (int i = 0; i < kSlots; ++i) {
    StoreOnChange(*txtWserver[i], r.wserver[i]);
    StoreOnChange(*txtFTPserver[i], r.ftpserver[i]);
    StoreOnChange(*txtRemoteFile[i], r.ftpremotefile[i]);
    StoreOnChange(*txtFTPUser[i], r.ftpuser[i]);
    StoreOnChange(*txtFTPPass[i], r.ftppass[i]);
    StoreOnChange(*txtHTMLTemplate[i], r.htmltemplatefile[i]);
    optDefWserver[i]->OnClick([this](int index) {
      settings_.record().wdefserver = static_cast<std::int16_t>(index);
      Save();
    });
    optDefFTPserver[i]->OnClick([this](int index) {
      settings_.record().ftpdefserver = static_cast<std::int16_t>(index);
      Save();
    });
  }
  StoreOnChange(txtProxySrv, r.proxysrv);
  StoreOnChange(txtProxyPort, r.proxyport);
  StoreOnChange(txtProxyUser, r.puser);
  StoreOnChange(txtProxyPass, r.ppass);
  for (int i = 0; i < 3; ++i) {
    optUseDefProxy[i]->OnClick([this](int index) {
      settings_.record().proxycon = static_cast<std::int16_t>(index);
      Save();
      EnableProxyControls();
    });
  }
  chkUseFTP.OnClick([this] {
    settings_.record().useftp = chkUseFTP.value() == 1;
    Save();
    EnableFTPControls();
  });
  chkLOG.OnClick([this] {
    settings_.record().writelog = chkLOG.value() == 1;
    Save();
    EnableLogControls();
  });
  vscrWserver.OnChange([this] { vscrWserver_Change(); });
  vscrFtpserver.OnChange([this] { vscrFtpserver_Change(); });
  vscrWserver.OnGotFocus([this] { vscrWserver_GotFocus(); });
  vscrFtpserver.OnGotFocus([this] { vscrFtpserver_GotFocus(); });
  cmdSelectFile.OnClick([this] { cmdSelectFile_Click(); });
  cmdLOG.OnClick([this] { cmdLOG_Click(); });
  cmdNow.OnClick([this] { cmdNow_Click(); });
  cmdEnd.OnClick([this] { Close(); });
}

bool frmMain::Unattended() const {
  const std::string mode = Lowered(command_line_);
  return mode == "-now" || mode == kForceOption;
}

std::optional<RunOutcome> frmMain::Form_Load() {
  settings_.InitSettingsKey();
  settings_.LoadSettings();
  ShowSettings();
  log_.WriteLog("Starte Programm mit Parameter \"" + command_line_ + "\"");
  const std::string mode = Lowered(command_line_);
  if (Unattended()) {
    // Without its settings a run would check the built-in page and publish nothing.
    const RunOutcome outcome = settings_.loaded() ? CheckAndPublish() : SettingsUnreadable();
    Form_Unload();
    return outcome;
  }
  if (mode == "-backup") {
    // Settings that could not be loaded must not replace a good backup with empty ones.
    const bool ok =
        settings_.loaded()
            ? BackupSettings(settings_.record(), program_folder_, log_, dialogs_, files_)
            : BackupFailed(program_folder_, NotLoaded(settings_), log_, dialogs_);
    Form_Unload();
    return ok ? RunOutcome::kDone : RunOutcome::kBackupFailed;
  }
  if (mode == "-restore") {
    if (RestoreSettings(settings_.record(), program_folder_, log_, dialogs_, files_)) {
      Save();
      ShowSettings();
    }
    return std::nullopt;
  }
  if (mode == "--restore") {
    // The same restore without a window, ended like -backup; settings that could not be loaded
    // cannot be saved over either.
    bool ok = false;
    if (!settings_.loaded()) {
      const std::string why = NotLoaded(settings_);
      log_.WriteLog(why);
      dialogs_.MsgBox(why, MsgKind::kError);
    } else if ((ok =
                    RestoreSettings(settings_.record(), program_folder_, log_, dialogs_, files_))) {
      dialogs_.MsgBox("Wiederherstellung beendet...");
    }
    Form_Unload();
    return ok ? RunOutcome::kDone : RunOutcome::kBackupFailed;
  }
  log_.WriteLog("unbekannter Parameter '" + command_line_ + "'");
  return std::nullopt;
}

void frmMain::Form_Unload() {
  // Marked first: a close that the log's yield lets through meanwhile finds it unloading.
  if (unloaded_) return;
  unloaded_ = true;
  log_.WriteLog("Beende Programm");
  log_.WriteLog("");
  settings_.SaveSettings();
  cmdEnd.SetEnabled(false);
  if (observer_) observer_();
}

void frmMain::Close() {
  close_asked_ = true;
  if (!busy_) Form_Unload();
}

void frmMain::cmdNow_Click() {
  cmdNow.SetEnabled(false);
  busy_ = true;
  if (observer_) observer_();
  CheckAndPublish();
  busy_ = false;
  cmdNow.SetEnabled(true);
  if (observer_) observer_();
  if (close_asked_) Form_Unload();
}

RunOutcome frmMain::SettingsUnreadable() {
  failure_ = NotLoaded(settings_);
  log_.WriteLog(failure_);
  return RunOutcome::kNoAddress;
}

std::vector<TextField*> frmMain::WebSlotsToAsk() const {
  const int visible = vscrWserver.value();
  std::vector<TextField*> slots = {txtWserver[visible].get()};
  for (int i = 0; i < kSlots && Unattended(); ++i) {
    if (i != visible && !txtWserver[i]->text().empty()) slots.push_back(txtWserver[i].get());
  }
  return slots;
}

RunOutcome frmMain::CheckAndPublish() {
  failure_.clear();
  report_ = {};
  boxes_.Hold();
  const RunOutcome outcome = CheckAndPublishInTurn();
  boxes_.Release();
  return outcome;
}

RunOutcome frmMain::CheckAndPublishInTurn() {
  // Checks of all instances take turns: an older upload must never land after a newer one.
  const std::string lock_path = program_folder_ + kRunLockFileName;
  const RunLock lock(lock_path, run_lock_wait, [this] { log_.Yield(); });
  if (!lock.taken()) {
    failure_ = kCheckBusy;
    // A lock that cannot be taken is no reason to go ahead: the run would overlap another.
    if (!lock.fault().empty()) {
      failure_ = "Sperrdatei nicht nutzbar: " + lock_path + " (" + lock.fault() + ")";
      log_.WriteLog(failure_);
    }
    log_.WriteLog(kCheckBusy);
    if (!Unattended()) boxes_.MsgBox(kCheckBusy, MsgKind::kInfo);
    return RunOutcome::kNoAddress;
  }
  // What another instance stored while this run waited for its turn is what it acts on: a run
  // without the window reads all its settings again, the window the address it compares with.
  if (Unattended()) {
    settings_.LoadSettings();
    if (!settings_.loaded()) return SettingsUnreadable();
    ShowSettings();
  } else {
    settings_.ReloadValue("lastip");
  }
  PublishState state(settings_.registry());
  const std::string lastip_before = settings_.record().lastip;
  const int v = vscrFtpserver.value();
  const PublishContext publish{
      inet_,
      settings_,
      log_,
      program_folder_,
      files_,
      {*txtFTPserver[v], *txtRemoteFile[v], *txtFTPUser[v], *txtFTPPass[v], *txtHTMLTemplate[v]},
      v,
      CurIP,
      reported_,
      state};
  const bool force = Lowered(command_line_) == kForceOption;
  const CheckContext check{inet_,
                           settings_,
                           log_,
                           boxes_,
                           Unattended(),
                           WebSlotsToAsk(),
                           CurIP,
                           reported_,
                           state,
                           [&](const std::string& address) {
                             return WhyPublish(publish, address, force); }};
  const CheckResult checked = CheckIP(check);
  if (!checked.valid) {
    failure_ = checked.failure;
    report_.only_builtin = checked.only_builtin;
    return RunOutcome::kNoAddress;
  }
  report_.address = CurIP;
  if (!checked.publish) return RunOutcome::kDone;
  report_.publish_begun = true;
  const PublishResult published = PublishIP(publish, lastip_before);
  failure_ = published.failure;
  return published.ok ? RunOutcome::kDone : RunOutcome::kPublishFailed;
}

void frmMain::ShowSettings() {
  filling_ = true;
  const SettingsRecord& r = settings_.record();
  const int web_default = SlotOrFirst(r.wdefserver);
  const int ftp_default = SlotOrFirst(r.ftpdefserver);
  for (int i = 0; i < kSlots; ++i) {
    txtWserver[i]->SetText(r.wserver[i]);
    if (web_default == i) optDefWserver[i]->Select();
    vscrWserver.SetValue(web_default);
    vscrWserver_Change();
    txtFTPserver[i]->SetText(r.ftpserver[i]);
    txtRemoteFile[i]->SetText(r.ftpremotefile[i]);
    txtFTPUser[i]->SetText(r.ftpuser[i]);
    txtFTPPass[i]->SetText(r.ftppass[i]);
    txtHTMLTemplate[i]->SetText(r.htmltemplatefile[i]);
    if (ftp_default == i) optDefFTPserver[i]->Select();
    vscrFtpserver.SetValue(ftp_default);
    vscrFtpserver_Change();
  }
  txtProxySrv.SetText(r.proxysrv);
  txtProxyPort.SetText(r.proxyport);
  txtProxyUser.SetText(r.puser);
  txtProxyPass.SetText(r.ppass);
  txtWserver[0]->SetText(kEchoUrl);
  filling_ = false;
  Save();
  EnableFTPControls();
  EnableProxyControls();
  EnableLogControls();
}

std::vector<Control*> frmMain::WebSlot(int i) const {
  return {txtWserver[i].get(), optDefWserver[i].get()};
}

std::vector<Control*> frmMain::FtpSlot(int i) const {
  return {txtFTPserver[i].get(), txtRemoteFile[i].get(),   txtFTPUser[i].get(),
          txtFTPPass[i].get(),   optDefFTPserver[i].get(), txtHTMLTemplate[i].get()};
}

void frmMain::Refresh(const ScrollBar& bar, Label& caption, const char* prefix,
                      std::vector<Control*> (frmMain::*slot)(int) const) {
  const int v = bar.value();
  for (int i = 0; i < kSlots; ++i) {
    if (i == v) continue;
    for (Control* c : (this->*slot)(i)) c->SetVisible(false);
  }
  for (Control* c : (this->*slot)(v)) c->SetVisible(true);
  caption.SetCaption(prefix + std::to_string(v + 1));
}

void frmMain::vscrWserver_Change() {
  Refresh(vscrWserver, lblCurWebsrv, "Webserver ", &frmMain::WebSlot);
}

void frmMain::vscrFtpserver_Change() {
  Refresh(vscrFtpserver, lblCurFTPSrv, "FTPServer ", &frmMain::FtpSlot);
}

void frmMain::vscrWserver_GotFocus() { focused_ = txtWserver[vscrWserver.value()].get(); }

void frmMain::vscrFtpserver_GotFocus() { focused_ = txtFTPserver[vscrFtpserver.value()].get(); }

void frmMain::EnableFTPControls() {
  const bool on = settings_.record().useftp;
  for (int i = 0; i < kSlots; ++i) {
    for (Control* c : FtpSlot(i)) c->SetEnabled(on);
  }
  vscrFtpserver.SetEnabled(on);
  chkUseFTP.SetValue(on ? 1 : 0);
}

void frmMain::EnableProxyControls() {
  const int mode = settings_.record().proxycon;
  const bool on = mode == 2;
  for (Control* c : std::initializer_list<Control*>{&txtProxySrv, &txtProxyPort, &txtProxyUser,
                                                    &txtProxyPass, &lblProxy, &lblProxyPort}) {
    c->SetEnabled(on);
  }
  // A stored mode outside 0..2 acts as the system's default proxy.
  optUseDefProxy[mode >= 0 && mode <= 2 ? mode : 0]->Select();
}

void frmMain::EnableLogControls() {
  const bool on = settings_.record().writelog;
  cmdLOG.SetEnabled(on);
  chkLOG.SetValue(on ? 1 : 0);
}

void frmMain::cmdSelectFile_Click() {
  FileChooserRequest request;
  request.title = "Templatefile auswählen";
  request.filter = std::string("Alle Dateien (*.*)|*.*|") +
                   "HTML-Dateien (*.htm; *.html)|*.htm;*.html|" + "Textdateien (*.txt)|*.txt";
  request.selected_filter = 2;
  request.start_folder = program_folder_;
  const std::optional<std::string> chosen = dialogs_.ChooseFile(request);
  if (chosen) txtHTMLTemplate[vscrFtpserver.value()]->SetText(*chosen);
}

void frmMain::lblHREF_Click() { dialogs_.OpenUrl(kMakerUrl); }

void frmMain::cmdLOG_Click() { dialogs_.OpenInEditor(program_folder_ + kLogFileName); }

}  // namespace pellvane
