// The built programs as a scheduler and a user run them, against a local echo page and local
// FTP servers that fail the ways real ones do: judged by exit status, log, uploaded page, store,
// time and memory, and by what never shows up (passwords).
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "platform/run_lock.h"
#include "support/harness.h"
#include "support/servers.h"
#include "ui/frm_main.h"

namespace pellvane {
namespace {

using namespace testing;

constexpr char kOld[] = "198.51.100.1";
constexpr char kNew[] = "203.0.113.7";

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    WriteFile(box_.File("template.htm"), "<html>\r\n<b>'!!!***IP***!!!'</b>\r\n</html>\r\n");
    echo_.Serve("/ip", kNew);
  }
  // Slot 1 asks the echo page; FTP slot 0 publishes to `url` as pell / `password`.
  void Seed(const std::string& url, const std::string& password = "vane",
            const std::string& user = "pell") {
    box_.Seed([&](SettingsRecord& r) {
      r.wserver[0] = kEchoUrl;  // as every start shows it
      r.wserver[1] = echo_.Url("/ip");
      r.wdefserver = 1;
      r.lastip = kOld;
      r.useftp = true;
      r.ftpserver[0] = url;
      r.ftpuser[0] = user;
      r.ftppass[0] = password;
      r.ftpremotefile[0] = "ip.html";
      r.htmltemplatefile[0] = box_.File("template.htm");
      r.writelog = true;
    });
    seeded_ = box_.Stored();
  }
  // One run; its log alone lands in log_. `timeout` cuts the component's time-outs.
  ProgramResult Run(const std::string& arg, EnvVars env = {}, int timeout = 0) {
    std::remove(box_.File("pellvane.log").c_str());
    if (timeout > 0) {
      env["PELLVANE_CONNECT_TIMEOUT"] = env["PELLVANE_REQUEST_TIMEOUT"] = std::to_string(timeout);
    }
    const ProgramResult r = box_.Run(PELLVANE_BIN, {arg}, env);
    log_ = LogTexts(box_.Log());
    if (strcasecmp(arg.c_str(), "-now") == 0) {
      EXPECT_EQ(r.out, "") << "-now shows no message";
    }
    return r;
  }
  // The log of a -now run from `old_ip`: `tail` after the new address.
  Texts Expected(const std::string& old_ip, const Texts& tail) const {
    Texts lines = {"Starte Programm mit Parameter \"-now\"", "Checke IP",
                   "...alte IP-Adresse: " + old_ip,
                   "Prüfe IP-Adresse mit " + echo_.Url("/ip") + "...",
                   std::string("...neue IP-Adresse: ") + kNew};
    lines.insert(lines.end(), tail.begin(), tail.end());
    lines.insert(lines.end(), {"Beende Programm", ""});
    return lines;
  }
  Texts Published(const std::string& url, const Texts& transfer, const char* end) const {
    Texts lines = {"Starte FTP Verbindung mit " + url,
                   "...put " + box_.File("tmp.htm") + " ip.html"};
    lines.insert(lines.end(), transfer.begin(), transfer.end());
    lines.push_back(end);
    return lines;
  }
  static std::string Page(const std::string& ip) {
    return "<html>\r\r\n<b>" + ip + "</b>\r\r\n</html>\r\r\n";
  }

  Sandbox box_;
  EchoServer echo_;
  SettingsRecord seeded_;
  Texts log_;
};

TEST_F(ProgramTest, NowPublishesOnceThenOnlyAgainWhenTheAddressChanges) {
  FtpServer ftp;
  Seed(ftp.Url());
  box_.Seed([](SettingsRecord& r) { r.lastip = ""; });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(log_, Expected("", Published(ftp.Url(), {}, "FTP Fertig")));
  EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), Page(kNew));
  EXPECT_EQ(ReadFile(box_.File("tmp.htm")), Page(kNew));
  EXPECT_EQ(box_.Stored().lastip, kNew);
  const std::size_t commands = ftp.Commands().size();
  EXPECT_EQ(Run("-NOW").status, 0);
  EXPECT_EQ(log_.at(0), "Starte Programm mit Parameter \"-NOW\"");
  EXPECT_EQ(log_.at(5), "......keine Änderung der IP-Adresse");
  EXPECT_EQ(ftp.Commands().size(), commands) << "an unchanged address uploads nothing";
  echo_.Serve("/ip", "203.0.113.8");
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), Page("203.0.113.8"));
}

TEST_F(ProgramTest, NowWithoutAValidAddressEndsWithOneInTimeAndKeepsTheLastAddress) {
  Seed("ftp://127.0.0.1:1");
  for (const auto& [body_or_query, status, timeout] :
       std::initializer_list<std::tuple<std::string, int, const char*>>{
           {"203.0.113.7\n", 200, "2"},
           {"<html>203.0.113.7</html>", 200, "2"},
           {"203.0.113.7", 500, "2"},
           {"?hang=1", 200, "2"},
           {"?hang=1", 200, "0.0001"},  // below a millisecond still ends the wait
           {"?size=104857600", 200, "2"},
           {"?chunked=1&size=104857600", 200, "2"},
           {"refused", 200, "2"}}) {
    SCOPED_TRACE(body_or_query + " " + timeout);
    const bool query = body_or_query.starts_with("?"), refused = body_or_query == "refused";
    echo_.Serve("/ip", query ? kNew : body_or_query, status);
    const std::string url =
        refused ? "http://127.0.0.1:1/ip" : echo_.Url("/ip") + (query ? body_or_query : "");
    box_.Seed([&](SettingsRecord& r) { r.wserver[1] = url; });
    const ProgramResult r =
        Run("-now", {{"PELLVANE_REQUEST_TIMEOUT", timeout}, {"PELLVANE_CONNECT_TIMEOUT", timeout}});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(r.seconds, 10.0);
    EXPECT_LT(r.max_rss_kb, kSmallRunKb) << "a huge answer is not held in memory";
    const bool failure_logged = query || refused || status != 200;
    ASSERT_EQ(log_.size(), failure_logged ? 8u : 7u) << ::testing::PrintToString(log_);
    EXPECT_EQ(log_[3], "Prüfe IP-Adresse mit " + url + "...");
    EXPECT_EQ(log_[log_.size() - 3], "Keine gültige IP erhalten");
    EXPECT_EQ(box_.Stored().lastip, kOld);
    EXPECT_FALSE(FileExists(box_.File("tmp.htm")));
  }
}

// Every failed publish ends with two in time, names no password, keeps the change due and
// every other setting, and leaves the filled page beside the program.
TEST_F(ProgramTest, NowAgainstFailingFtpServersLogsWhatHappenedAndKeepsTheChangeDue) {
  struct Case {
    const char* name;
    FtpOptions options;
    const char* typed;  // the password typed; in the URL when it starts with "url:"
    Texts transfer;     // "*" stands for any "<code> : <text>" but "0 : "
    bool silent = false, published = false;
  };
  const Texts refused_login(2, "530 : 530 Authentication failed.");
  for (const Case& c : std::initializer_list<Case>{
           {"wrong password", {}, "Wrong-pw-0815", refused_login},
           {"wrong password in the URL", {}, "url:Wrong-url-0815", refused_login},
           {"upload refused, password in the URL",
            {.password = "Server-pw-4711", .script = {"STOR 0 550 Not enough privileges."}},
            "url:Server-pw-4711",
            {"550 : 550 Not enough privileges."}},
           {"never answers", {}, "vane", {"*", "*"}, true},
           {"gone after the upload",
            {.script = {}, .exit_after_upload = true},
            "vane",
            {"*"},
            false,
            true}}) {
    SCOPED_TRACE(c.name);
    FtpServer ftp(c.options);
    EchoServer silent;
    std::string url = c.silent ? "ftp://127.0.0.1:" + std::to_string(silent.port()) : ftp.Url();
    const std::string typed = c.typed;
    const bool in_url = typed.rfind("url:", 0) == 0;
    const std::string password = in_url ? typed.substr(4) : typed;
    if (in_url)
      Seed("ftp://pell:" + password + "@" + url.substr(6), "", "");
    else
      Seed(url, password);
    const ProgramResult r = Run("-now", {}, 2);
    Texts transfer = c.transfer;
    for (std::size_t i = 0; i < transfer.size() && i + 7 < log_.size(); ++i) {
      if (transfer[i] != "*") continue;
      EXPECT_EQ(log_[i + 7].rfind("0 : ", 0), std::string::npos) << log_[i + 7];
      EXPECT_NE(log_[i + 7].find(" : "), std::string::npos) << log_[i + 7];
      transfer[i] = log_[i + 7];
    }
    const std::string shown = in_url ? "ftp://pell:***@" + url.substr(6) : url;
    EXPECT_EQ(log_, Expected(kOld, Published(shown, transfer,
                                             c.published ? "FTP Fertig" : "FTP fehlgeschlagen")));
    for (const std::string& text : {box_.Log(), r.out, r.err}) {
      if (password != "vane") {
        EXPECT_EQ(text.find(password), std::string::npos) << text;
      }
    }
    SettingsRecord expected = seeded_;
    if (c.published) expected.lastip = kNew;
    EXPECT_EQ(box_.Stored(), expected);
    EXPECT_EQ(r.status, c.published ? 0 : 2);
    EXPECT_EQ(ReadFile(box_.File("tmp.htm")), Page(kNew));
    EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), c.published ? Page(kNew) : "");
    EXPECT_LT(r.seconds, c.silent ? 7 : 5);
    EXPECT_LT(r.max_rss_kb, kSmallRunKb);
  }
}

// A template that cannot be read (missing, a FIFO that would block) uploads nothing and ends
// at once; with the template back, the next run publishes.
TEST_F(ProgramTest, NowWithAnUnreadableTemplateUploadsNothingAndTheNextRunPublishes) {
  FtpServer ftp;
  ASSERT_EQ(mkfifo(box_.File("fifo.htm").c_str(), 0600), 0);
  for (const std::string& bad : {box_.File("missing.htm"), box_.File("fifo.htm")}) {
    Seed(ftp.Url());
    box_.Seed([&](SettingsRecord& r) { r.htmltemplatefile[0] = bad; });
    WriteFile(ftp.root() + "/ip.html", "old page");
    EXPECT_EQ(Run("-now").status, 2);
    EXPECT_EQ(log_, Expected(kOld, {"Starte FTP Verbindung mit " + ftp.Url(),
                                    "Template nicht lesbar: " + bad, "FTP fehlgeschlagen"}));
    EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), "old page");
    box_.Seed([&](SettingsRecord& r) { r.htmltemplatefile[0] = box_.File("template.htm"); });
    EXPECT_EQ(Run("-now").status, 0);
    EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), Page(kNew));
  }
}

// Killed while the upload waits for a server that never greets: the new address is stored
// only with the publish marked as due (not at all when the mark cannot be made), and the next
// run publishes it.
TEST_F(ProgramTest, KilledDuringTheUploadTheNextRunPublishes) {
  FtpServer ftp;
  for (const auto& [signal, mark_blocked] :
       {std::pair{SIGTERM, false}, std::pair{SIGKILL, false}, std::pair{SIGKILL, true}}) {
    SCOPED_TRACE(std::to_string(signal) + (mark_blocked ? " mark blocked" : ""));
    Seed("ftp://127.0.0.1:" + std::to_string(echo_.port()));
    if (mark_blocked) mkdir(box_.File("pellvane.due").c_str(), 0700);
    std::remove(box_.File("pellvane.log").c_str());
    const pid_t run = Spawn([] { return execl(PELLVANE_BIN, PELLVANE_BIN, "-now", nullptr); });
    for (int i = 0; i < 500 && box_.Log().find("...put") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(run, signal);
    Waited(run);
    EXPECT_EQ(box_.Stored().lastip, mark_blocked ? kOld : kNew);
    rmdir(box_.File("pellvane.due").c_str());
    box_.Seed([&](SettingsRecord& r) { r.ftpserver[0] = ftp.Url(); });
    EXPECT_EQ(Run("-now").status, 0);
    EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), Page(kNew));
    std::remove((ftp.root() + "/ip.html").c_str());
  }
}

// Links planted in the program folder are replaced, not followed; a template of 64 MiB in one
// line is filled in bounded memory.
TEST_F(ProgramTest, PlantedLinksAndAHugeTemplate) {
  FtpServer ftp;
  Seed(ftp.Url());
  for (const std::string name : {"tmp.htm", "pellvane.log", "pellvane.due"}) {
    WriteFile(box_.File("victim-" + name), "keep");
    ASSERT_EQ(symlink(box_.File("victim-" + name).c_str(), box_.File(name).c_str()), 0);
  }
  constexpr off_t kSize = 64 << 20;
  WriteFile(box_.File("template.htm"), "");
  ASSERT_EQ(truncate(box_.File("template.htm").c_str(), kSize), 0);
  const ProgramResult r = box_.Run(PELLVANE_BIN, {"-now"});
  EXPECT_EQ(r.status, 0);
  EXPECT_LT(r.max_rss_kb, kSmallRunKb);
  EXPECT_EQ(ReadFile(ftp.root() + "/ip.html").size(), kSize + 3);
  for (const std::string name : {"tmp.htm", "pellvane.log", "pellvane.due"}) {
    EXPECT_EQ(ReadFile(box_.File("victim-" + name)), "keep") << name;
  }
}

// A second run waits for the first one's lock and then publishes the newer address; an edit
// made by the window meanwhile survives the run's save.
TEST_F(ProgramTest, SecondRunWaitsForTheFirstAndKeepsAnEditMadeMeanwhile) {
  FtpServer ftp;
  Seed(ftp.Url());
  auto first = std::make_unique<RunLock>(box_.File("pellvane.lock"), std::chrono::milliseconds(0));
  ASSERT_FALSE(first->busy());
  std::thread second([this] { EXPECT_EQ(box_.Run(PELLVANE_BIN, {"-now"}).status, 0); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_FALSE(FileExists(ftp.root() + "/ip.html")) << "ran beside the first";
  box_.Seed([](SettingsRecord& r) { r.ftpuser[3] = "edited meanwhile"; });
  echo_.Serve("/ip", "203.0.113.8");
  first.reset();
  second.join();
  EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), Page("203.0.113.8"));
  EXPECT_EQ(box_.Stored().lastip, "203.0.113.8");
  EXPECT_EQ(box_.Stored().ftpuser[3], "edited meanwhile");
}

// Another process holds the store locked while this one starts: nothing is saved over the
// values it could not read, and -backup writes no backup of defaults.
TEST_F(ProgramTest, StoreLockedAtStartKeepsEverySettingAndTheBackup) {
  const auto seed = [](SettingsRecord& r) { r.ftpuser[1] = r.lastip = r.proxysrv = "kept"; };
  ASSERT_EQ(InChild([&] {  // this process opens the store only once the lock is gone
              box_.Seed(seed);
              return 0;
            }),
            0);
  WriteFile(box_.File("pellvane.sav"), "a good backup");
  int locked[2], go[2];
  ASSERT_EQ(pipe(locked) | pipe(go), 0);
  const pid_t locker = Spawn([&] {
    sqlite3* db = nullptr;
    sqlite3_open(box_.StoreFile().c_str(), &db);
    const int rc = sqlite3_exec(
        db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE vals SET data = data;", nullptr,
        nullptr, nullptr);
    (void)!write(locked[1], &rc, sizeof rc);
    pause();
    return 0;
  });
  int rc = -1;
  ASSERT_EQ(read(locked[0], &rc, sizeof rc), static_cast<ssize_t>(sizeof rc));
  ASSERT_EQ(rc, SQLITE_OK);
  const pid_t locked_out = Spawn([&] {
    RecordingDialogs dialogs;
    Settings s(dialogs, StorePath());
    s.InitSettingsKey();
    s.LoadSettings();
    char byte = 0;
    (void)!write(locked[1], &byte, 1);
    (void)!read(go[0], &byte, 1);  // the lock is gone now
    s.SaveSettings();
    return 0;
  });
  EXPECT_EQ(box_.Run(PELLVANE_BIN, {"-backup"}).status, 1);
  char byte = 0;
  ASSERT_EQ(read(locked[0], &byte, 1), 1);
  kill(locker, SIGKILL);
  Waited(locker);
  (void)!write(go[1], "g", 1);
  EXPECT_EQ(Waited(locked_out), 0);
  EXPECT_EQ(ReadFile(box_.File("pellvane.sav")), "a good backup");
  SettingsRecord seeded = DefaultRecord();
  seed(seeded);
  EXPECT_EQ(box_.Stored(), seeded);
}

TEST_F(ProgramTest, SettingsCommandsSetGetAndShowTheWindowsValues) {
  const auto run = [this](std::vector<std::string> args, const std::string& input = "") {
    WriteFile(box_.File("input"), input);
    return box_.Run(PELLVANE_BIN, args, {}, box_.File("input"));
  };
  for (const char* arg : {"WDEFSERVER=3", "useftp=true", "proxyport=8080", "wserver2=http://a/ip"})
    EXPECT_EQ(run({"--set", arg}).status, 0) << arg;
  EXPECT_EQ(run({"--set", "ftppass0"}, "geheim\n").status, 0);
  const std::string before = run({"--show"}).out;
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--set", "nosuch=1"},
                                             {"--set", "wdefserver=5"},
                                             {"--set", "proxycon=3"},
                                             {"--set", "useftp=ja"},
                                             {"--set", "inettimeout=4e4"},
                                             {"--set", "inettimeout=40000"},
                                             {"--get", "nosuch"},
                                             {"--get", "lastip"},
                                             {"--get"},
                                             {"--show", "x"},
                                             {"--set", "ftpdefserver="}}) {
    const ProgramResult refused = run(args);
    EXPECT_EQ(refused.status, 1) << args.back();
    EXPECT_TRUE(refused.err.starts_with("pellvane: ") &&
                refused.err.find('\n') == refused.err.size() - 1)
        << args.back() << ": " << refused.err;
    EXPECT_EQ(refused.out, "");
  }
  EXPECT_EQ(run({"--show"}).out, before) << "a refusal changes nothing";
  box_.Seed([](SettingsRecord& r) { r.ppass = "x"; });
  const SettingsRecord r = box_.Stored();
  EXPECT_EQ(std::tuple(r.wdefserver, r.useftp, r.proxyport, r.wserver[2], r.ftppass[0]),
            std::tuple(std::int16_t{3}, true, std::string("8080"), std::string("http://a/ip"),
                       std::string("geheim")));
  EXPECT_EQ(run({"--get", "FtpPass0"}).out, "geheim\n");
  const std::string shown = run({"--show"}).out;
  for (const char* line : {"\nwdefserver=3\n", "\nuseftp=True\n", "\nproxyPort=8080\n",
                           "ftppass0=***\n", "\nppass=***\n", "\nwserver2=http://a/ip\n"})
    EXPECT_NE(shown.find(line), std::string::npos) << line << " in\n" << shown;
  EXPECT_EQ(shown.find("geheim"), std::string::npos);
  EXPECT_TRUE(shown.starts_with("wserver0=")) << shown;
}

// With logging off, a failed -now still says why in one line on standard error.
TEST_F(ProgramTest, AFailedNowRunSaysWhyOnStandardError) {
  FtpServer ftp;
  echo_.Serve("/missing", "", 404);
  for (const auto& [path, password, err, status] :
       {std::tuple{"/ip", "vane", "", 0},
        std::tuple{"/missing", "vane", "pellvane -now: Keine gültige IP erhalten (404 : ", 1},
        std::tuple{"/ip", "falsch", "pellvane -now: FTP fehlgeschlagen (530 : ", 2}}) {
    Seed(ftp.Url(), password);
    box_.Seed([&](SettingsRecord& r) {
      r.wserver[1] = echo_.Url(path);
      r.writelog = false;
    });
    const ProgramResult r = Run("-now");
    EXPECT_EQ(r.status, status) << err;
    EXPECT_TRUE(r.err.starts_with(err) && r.err.find('\n') + 1 == r.err.size()) << r.err;
    EXPECT_EQ(std::string(err).empty(), r.err.empty()) << r.err;
  }
}

TEST_F(ProgramTest, NowWithFtpOffStoresTheAddressAndTouchesNoServer) {
  FtpServer ftp;
  Seed(ftp.Url());
  box_.Seed([](SettingsRecord& r) { r.useftp = false; });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(log_, Expected(kOld, {}));
  EXPECT_EQ(box_.Stored().lastip, kNew);
  EXPECT_FALSE(FileExists(box_.File("tmp.htm")));
  EXPECT_TRUE(ftp.Commands().empty());
}

// Servers typed without a scheme get it and keep it; a password in the echo URL is masked.
TEST_F(ProgramTest, SlotsWithoutSchemeGetItAndKeepIt) {
  FtpServer ftp;
  const std::string echo_bare = "u:secret@" + echo_.Url("/ip").substr(7);
  const std::string ftp_bare = ftp.Url().substr(6);
  Seed(ftp_bare);
  box_.Seed([&](SettingsRecord& r) { r.wserver[1] = echo_bare; });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(ReadFile(ftp.root() + "/ip.html"), Page(kNew));
  EXPECT_EQ(box_.Stored().wserver[1], "http://" + echo_bare);
  EXPECT_EQ(box_.Stored().ftpserver[0], "ftp://" + ftp_bare);
  EXPECT_EQ(log_.at(3), "Prüfe IP-Adresse mit http://u:***@" + echo_.Url("/ip").substr(7) + "...");
  EXPECT_EQ(log_.at(5), "Starte FTP Verbindung mit " + ftp_bare);
  EXPECT_EQ(box_.Log().find("secret"), std::string::npos);
}

TEST_F(ProgramTest, BackupAndRestoreRoundTripBeforeTheWindowOpens) {
  box_.Seed([&](SettingsRecord& r) {
    r.writelog = true;
    r.wserver[1] = "kept";
  });
  const ProgramResult backup = Run("-BACKUP");
  EXPECT_EQ(backup.status, 0);
  const std::string message =
      "Backup beendet...\rEinstellungen in " + box_.File("pellvane.sav") + " gesichert.";
  EXPECT_EQ(backup.out, message + "\n");
  EXPECT_EQ(log_, (Texts{"Starte Programm mit Parameter \"-BACKUP\"", "Starte Backup...", message,
                         "Beende Programm", ""}));
  chmod(box_.File("pellvane.sav").c_str(), 0666);
  const mode_t saved = umask(0);
  EXPECT_EQ(Run("-backup").status, 0);
  umask(saved);
  EXPECT_EQ(Mode(box_.File("pellvane.sav")), 0600u) << "a backup readable by all is made private";
  box_.Seed([](SettingsRecord& r) {
    r.wserver[1] = "changed after the backup";
    r.lastip = kOld;
  });
  const ProgramResult restore = Run("-restore", {{"QT_QPA_PLATFORM", "offscreen"},
                                                 {"PELLVANE_SCREENSHOT", box_.File("window.png")}});
  EXPECT_EQ(restore.status, 0) << restore.err;
  EXPECT_EQ(box_.Stored().wserver[1], "kept");
  EXPECT_EQ(box_.Stored().lastip, "");
  EXPECT_EQ(log_,
            (Texts{"Starte Programm mit Parameter \"-restore\"", "Starte Wiederherstellung...",
                   "Wiederherstellung beendet...", "Beende Programm", ""}));
  EXPECT_EQ(ReadFile(box_.File("window.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

TEST_F(ProgramTest, StartsThatOpenNoWindow) {
  const ProgramResult r = box_.Run(PELLVANE_BIN, {"-restore"},
                                   {{"DISPLAY", std::nullopt},
                                    {"WAYLAND_DISPLAY", std::nullopt},
                                    {"QT_QPA_PLATFORM", std::nullopt}});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("keine grafische Anzeige"), std::string::npos) << r.err;
  EXPECT_EQ(box_.Run(PELLVANE_BIN, {"--version"}).out,
            std::string("pellvane ") + PELLVANE_VERSION + "\n");
  const ProgramResult help = box_.Run(PELLVANE_BIN, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find(box_.path()), std::string::npos);
  EXPECT_FALSE(FileExists(box_.StoreFile())) << "none of these touches the store";
  EXPECT_EQ(RunProgram({"/usr/bin/ldd", PELLVANE_BIN}).out.find("libQt"), std::string::npos);
}

}  // namespace
}  // namespace pellvane
