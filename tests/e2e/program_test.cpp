// The built programs as a scheduler and a user run them, against a local echo page and local
// FTP servers that fail the ways real ones do: judged by exit status, log, uploaded page, store,
// time and memory, and by what never shows up (passwords).
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/run_lock.h"
#include "publish/template_fill.h"
#include "settings/settings_table.h"
#include "support/harness.h"
#include "support/servers.h"

namespace pellvane {
namespace {

using namespace testing;

constexpr char kOld[] = "198.51.100.1";
constexpr char kNew[] = "203.0.113.7";
int Sql(sqlite3* store, const char* sql) { return sqlite3_exec(store, sql, {}, {}, {}); }

class ProgramTest : public ::testing::Test {
 protected:
  ProgramTest() {
    WriteFile(box_.File("template.htm"), "<html>\r\n<b>'!!!***IP***!!!'</b>\r\n</html>\r\n");
    echo_.Serve("/ip", kNew);
  }
  // Slot 1 asks the echo page; FTP slot 0 publishes slot0.html to `url` as `user` / `password`.
  void Seed(const std::string& url, const std::string& password = "vane",
            const std::string& user = "pell") {
    box_.SeedPublishing(echo_.Url("/ip"), url, box_.File("template.htm"));
    box_.Seed([&](SettingsRecord& r) { r.ftppass[0] = password, r.ftpuser[0] = user; });
    seeded_ = box_.Stored();
  }
  // One run; its log alone lands in log_. `timeout` cuts the component's time-outs.
  ProgramResult Run(const std::string& arg, const std::string& timeout = "") {
    std::remove(box_.File("pellvane.log").c_str());
    EnvVars env;
    // Under a German locale, as a German user's scheduler runs it: "0.5" is still half a second.
    if (!timeout.empty()) {
      env["PELLVANE_CONNECT_TIMEOUT"] = env["PELLVANE_REQUEST_TIMEOUT"] = timeout;
      env["LC_ALL"] = "de_DE.UTF-8";
    }
    const ProgramResult r = box_.Run(PELLVANE_BIN, {arg}, env);
    log_ = LogTexts(box_.Log());
    EXPECT_TRUE(strcasecmp(arg.c_str(), "-now") != 0 || r.out.empty()) << "-now shows no message";
    return r;
  }
  // The log of a -now run from `old_ip` that asked `echo` and then published to `url` (no
  // upload line when `put` is false): `transfer` between the upload and `end`.
  Texts Expected(const std::string& url, const Texts& transfer, const char* end,
                 const std::string& old_ip = kOld, std::string echo = "", bool put = true) const {
    if (echo.empty()) echo = echo_.Url("/ip");
    Texts lines = {"Starte Programm mit Parameter \"-now\"",
                   "Checke IP",
                   "...alte IP-Adresse: " + old_ip,
                   "Prüfe IP-Adresse mit " + echo + "...",
                   std::string("...neue IP-Adresse: ") + kNew,
                   "Starte FTP Verbindung mit " + url};
    if (put) lines.push_back("...put " + box_.File("tmp.htm") + " slot0.html");
    lines.insert(lines.end(), transfer.begin(), transfer.end());
    lines.insert(lines.end(), {end, "Beende Programm", ""});
    return lines;
  }
  static std::string Page(const std::string& ip) {
    return "<html>\r\r\n<b>" + ip + "</b>\r\r\n</html>\r\r\n";
  }
  std::string Uploaded() const { return ReadFile(ftp_.root() + "/slot0.html"); }

  Sandbox box_;
  EchoServer echo_;
  FtpServer ftp_;
  SettingsRecord seeded_;
  Texts log_;
};

// Servers typed without a scheme get it and keep it; a password in the echo URL is masked.
TEST_F(ProgramTest, NowPublishesOnceThenOnlyAgainWhenTheAddressChanges) {
  const std::string echo_bare = "u:secret@" + echo_.Url("/ip").substr(7);
  const std::string ftp_bare = ftp_.Url().substr(6);
  Seed(ftp_bare);
  box_.Seed([&](SettingsRecord& r) { r.wserver[1] = echo_bare, r.lastip = ""; });
  const ProgramResult first = Run("-now");
  EXPECT_EQ(std::tuple(first.status, first.err), std::tuple(0, std::string()));
  EXPECT_EQ(log_,
            Expected(ftp_bare, {}, "FTP Fertig", "", "http://u:***@" + echo_.Url("/ip").substr(7)));
  EXPECT_EQ(box_.Log().find("secret"), std::string::npos);
  EXPECT_EQ(std::pair(Uploaded(), ReadFile(box_.File("tmp.htm"))),
            std::pair(Page(kNew), Page(kNew)));
  const SettingsRecord stored = box_.Stored();
  EXPECT_EQ(std::tuple(stored.lastip, stored.wserver[1], stored.ftpserver[0]),
            std::tuple(std::string(kNew), "http://" + echo_bare, "ftp://" + ftp_bare));
  const std::size_t commands = ftp_.Commands().size();
  EXPECT_EQ(Run("-NOW").status, 0);
  EXPECT_EQ(log_.at(5), "......keine Änderung der IP-Adresse");
  EXPECT_EQ(ftp_.Commands().size(), commands) << "an unchanged address uploads nothing";
  EXPECT_FALSE(FileExists(box_.StoreFile() + "-wal") || FileExists(box_.StoreFile() + "-shm"));
  echo_.Serve("/ip", "203.0.113.8");
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(Uploaded(), Page("203.0.113.8"));
}

// Whatever decides the page or where it goes, changed since the last publish, publishes the
// unchanged address again and says why; --force publishes what did not change; when nothing
// differs, no FTP connection is made.
TEST_F(ProgramTest, NowRepublishesWhenThePageOrWhereItGoesChanged) {
  Seed(ftp_.Url());
  ASSERT_EQ(Run("-now").status, 0);
  const std::string edited = box_.File("edited.htm");
  WriteFile(edited, "<i>'!!!***IP***!!!'</i>\r\n");
  const std::string italic = "<i>" + std::string(kNew) + "</i>\r\r\n";
  struct Case {
    std::function<void(SettingsRecord&)> edit;
    std::string reason;  // nothing differs when empty
    std::string file, page;
    const char* arg = "-now";
  };
  for (const Case& c : std::initializer_list<Case>{
           {[&](SettingsRecord& r) { r.htmltemplatefile[0] = edited; }, "Template geändert",
            "slot0.html", italic},
           {[](SettingsRecord& r) { r.ftpremotefile[0] = "moved.html"; }, "Remotefile geändert",
            "moved.html", italic},
           {[&](SettingsRecord& r) { r.ftpserver[0] = ftp_.Url() + "/"; }, "Server geändert",
            "moved.html", italic},
           {[](SettingsRecord& r) { r.ftpdefserver = 2; }, "anderer FTPServer", "slot2.html",
            Page(kNew)},
           {[](SettingsRecord&) {}, "erzwungen (--force)", "slot2.html", Page(kNew), "--force"},
           {[](SettingsRecord& r) { r.useftp = false; }, "", "", "", "--force"}}) {
    SCOPED_TRACE(c.reason + c.arg);
    box_.Seed(c.edit);
    const long logins = Count(ftp_.Commands(), "USER ");
    std::remove((ftp_.root() + "/" + c.file).c_str());
    const ProgramResult r = Run(c.arg);
    EXPECT_EQ(std::pair(r.status, r.err), std::pair(0, std::string()));
    EXPECT_EQ(log_.at(5), c.reason.empty() ? "......keine Änderung der IP-Adresse"
                                           : "......Seite wird neu veröffentlicht: " + c.reason);
    EXPECT_EQ(Count(ftp_.Commands(), "USER "), logins + (c.reason.empty() ? 0 : 1));
    EXPECT_TRUE(c.file.empty() || ReadFile(ftp_.root() + "/" + c.file) == c.page);
  }
  // The address changed while FTP was off is just stored; switching FTP on publishes it.
  echo_.Serve("/ip", "203.0.113.8");
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(std::tuple(box_.Stored().lastip, Count(log_, "Starte FTP")),
            std::tuple("203.0.113.8", 0L));
  box_.Seed([](SettingsRecord& r) { r.useftp = true; });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(log_.at(5), "......Seite wird neu veröffentlicht: Adresse noch nicht veröffentlicht");
  EXPECT_EQ(ReadFile(ftp_.root() + "/slot2.html"), Page("203.0.113.8"));
}

// Every slot fails (the built-in page through the sandbox's dead proxy): one in time, the
// last address kept.
TEST_F(ProgramTest, NowWithoutAValidAddressEndsWithOneInTimeAndKeepsTheLastAddress) {
  Seed("ftp://127.0.0.1:1");
  for (const auto& [url, timeout] : std::initializer_list<std::pair<std::string, const char*>>{
           {"/ip", "2"},              // served "IP: 203.0.113.7\n"
           {"/ip?hang=1", "0.0001"},  // below a millisecond still ends the wait
           {"/ip?size=104857600", "2"},
           {"http://127.0.0.1:1/ip", "2"}}) {
    SCOPED_TRACE(url);
    echo_.Serve("/ip", "IP: 203.0.113.7\n");
    const std::string full = url.starts_with("/") ? echo_.Url(url) : url;
    box_.Seed([&](SettingsRecord& r) { r.wserver[1] = full; });
    const ProgramResult r = Run("-now", timeout);
    EXPECT_TRUE(r.seconds < 10 && r.max_rss_kb < kSmallRunKb) << "a huge answer is not kept";
    EXPECT_EQ(std::tuple(r.status, log_.at(3), Count(log_, "Keine gültige IP erhalten"),
                         log_.at(log_.size() - 3), box_.Stored().lastip),
              std::tuple(1, "Prüfe IP-Adresse mit " + full + "...", 2L, "Keine gültige IP erhalten",
                         kOld))
        << r.err << ::testing::PrintToString(log_);
  }
}

// The default slot fails, the built-in one too; the next filled slot's answer counts without
// the blanks and line ends around it. When all fail, standard error names the last reason:
// the refused answer, escaped and cut short as the log shows it.
TEST_F(ProgramTest, NowAsksTheOtherSlotsInOrderAndTakesTheBareAddress) {
  Seed(ftp_.Url());
  echo_.Serve("/gone", "", 404);
  echo_.Serve("/spaced", " \t203.0.113.9\r\n");
  echo_.Serve("/page", "<html>\x1b[2J" + std::string(100, 'x'));
  box_.Seed([&](SettingsRecord& r) {
    r.wserver[1] = echo_.Url("/gone");
    r.wserver[3] = echo_.Url("/spaced");
    r.wserver[4] = echo_.Url("/ip");
  });
  EXPECT_EQ(Run("-now").status, 0);
  const Texts asked = {log_.at(3), log_.at(4), log_.at(5), log_.at(6), log_.at(8), log_.at(10)};
  EXPECT_EQ(asked, (Texts{"Prüfe IP-Adresse mit " + echo_.Url("/gone") + "...",
                          "404 : HTTP/1.1 404 Not Found", "Keine gültige IP erhalten",
                          "Prüfe IP-Adresse mit " + kEchoUrl + "...", "Keine gültige IP erhalten",
                          "...neue IP-Adresse: 203.0.113.9"}));
  EXPECT_EQ(std::tuple(box_.Stored().lastip, Uploaded()),
            std::tuple("203.0.113.9", Page("203.0.113.9")));
  box_.Seed([&](SettingsRecord& r) { r.wserver[3] = echo_.Url("/page"), r.wserver[4] = ""; });
  const ProgramResult r = Run("-now");
  const std::string shown = "<html>\\x1b[2J" + std::string(67, 'x') + "…";
  EXPECT_EQ(
      std::pair(r.status, r.err),
      std::pair(1, "pellvane -now: Keine gültige IP erhalten (Antwort: \"" + shown + "\")\n"));
  EXPECT_EQ(Count(log_, "...Antwort: \"" + shown + "\""), 1);
}

// Every failed publish ends with two in time, names no password, keeps the change due and
// every other setting; a server that keeps only part of the page has failed, one gone after
// the upload (it cannot tell the size any more) is taken at its word. A template that cannot
// be read (missing, a FIFO that would block) uploads nothing and ends at once.
TEST_F(ProgramTest, NowAgainstFailingFtpServersLogsWhatHappenedAndKeepsTheChangeDue) {
  ASSERT_EQ(mkfifo(box_.File("fifo.htm").c_str(), 0600), 0);
  struct Case {
    FtpOptions options;
    const char* in_url;  // the password typed into the URL, or nullptr
    Texts transfer;
    bool published = false;
    const char* template_file = "template.htm";
    std::string unreadable = "";  // why the template cannot be read
  };
  const locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);  // as the runs
  const std::string missing = strerror_l(ENOENT, german);
  freelocale(german);
  const std::string unverified = "...Server nennt die Dateigröße nicht: Upload ungeprüft";
  const std::string partial = "18 : Datei auf dem Server unvollständig: 5 von " +
                              std::to_string(Page(kNew).size()) + " Bytes";
  for (const Case& c : std::initializer_list<Case>{
           {{}, "Wrong-url-0815", Texts(2, "530 : 530 Authentication failed.")},
           {{.script = {}, .exit_after_upload = true}, nullptr, {unverified, "56 : "}, true},
           {{.script = {}, .keep_bytes = 5}, nullptr, {partial}},
           {{}, nullptr, {}, false, "missing.htm", missing},
           {{}, nullptr, {}, false, "fifo.htm", "keine Datei"}}) {
    SCOPED_TRACE(c.transfer.empty() ? c.template_file : c.transfer.front());
    FtpServer ftp(c.options);
    const std::string url = ftp.Url();
    c.in_url ? Seed("ftp://pell:" + std::string(c.in_url) + "@" + url.substr(6), "", "")
             : Seed(url);
    const std::string bad_template = box_.File(c.template_file);
    box_.Seed([&](SettingsRecord& r) { r.htmltemplatefile[0] = bad_template; });
    seeded_.htmltemplatefile[0] = bad_template;
    const ProgramResult r = Run("-now", "2");
    const std::string shown = c.in_url ? "ftp://pell:***@" + url.substr(6) : url;
    const Texts unread = {"Template nicht lesbar: " + bad_template + " (" + c.unreadable + ")"};
    Texts want =
        Expected(shown, c.unreadable.empty() ? c.transfer : unread,
                 c.published ? "FTP Fertig" : "FTP fehlgeschlagen", kOld, "", c.unreadable.empty());
    // The server's going shows as a reset connection, or as a refused one when asked anew.
    const bool gone =
        log_.size() > 8 && (log_[8].starts_with("56 : ") || log_[8].starts_with("7 : "));
    if (c.published && gone) want[8] = log_[8];
    EXPECT_EQ(log_, want);
    for (const std::string& text : {box_.Log(), r.out, r.err})
      EXPECT_TRUE(!c.in_url || text.find(c.in_url) == std::string::npos) << text;
    SettingsRecord expected = seeded_;
    if (c.published) expected.lastip = kNew;
    EXPECT_EQ(std::tuple(box_.Stored(), r.status, ReadFile(ftp.root() + "/slot0.html")),
              std::tuple(expected, c.published ? 0 : 2,
                         c.published ? Page(kNew)
                                     : Page(kNew).substr(0, std::max(0L, c.options.keep_bytes))));
    EXPECT_LT(r.seconds, 5);
  }
  box_.Seed([&](SettingsRecord& r) {  // the template back: the next run publishes
    r.ftpserver[0] = ftp_.Url(), r.htmltemplatefile[0] = box_.File("template.htm");
  });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(Uploaded(), Page(kNew));
}

// Killed while the upload waits for a server that never greets: the new address is stored
// only with the publish marked as due in the store (not at all when the mark cannot be
// written), and the next run publishes it, also when it is another copy of the program in
// another folder over the same store.
TEST_F(ProgramTest, KilledDuringTheUploadTheNextRunPublishes) {
  Env shared({{"PELLVANE_HOME", std::nullopt}, {"XDG_CONFIG_HOME", box_.File("config")}});
  for (const char* copy : {"installed", "portable"}) {
    mkdir(box_.File(copy).c_str(), 0700);
    std::filesystem::copy_file(PELLVANE_BIN, box_.File(copy) + "/pellvane");
  }
  const std::string installed = box_.File("installed/pellvane");
  for (const auto& [signal, mark_blocked] :
       {std::pair{SIGTERM, false}, std::pair{SIGKILL, false}, std::pair{SIGKILL, true}}) {
    SCOPED_TRACE(std::to_string(signal) + (mark_blocked ? " mark blocked" : ""));
    const std::string address = "203.0.113." + std::to_string(signal + mark_blocked);
    echo_.Serve("/ip", address);
    Seed("ftp://127.0.0.1:" + std::to_string(echo_.port()));
    sqlite3* store = nullptr;
    sqlite3_open(StorePath().c_str(), &store);
    if (mark_blocked)  // the status value cannot be written
      Sql(store,
          "CREATE TRIGGER block BEFORE INSERT ON vals WHEN NEW.name = 'page' BEGIN "
          "SELECT RAISE(ABORT, 'blocked'); END");
    std::remove(box_.File("installed/pellvane.log").c_str());
    const pid_t run =
        Spawn([&] { return execl(installed.c_str(), installed.c_str(), "-now", nullptr); });
    for (int i = 0; i < 500 && ReadFile(box_.File("installed/pellvane.log")).find("...put") ==
                                   std::string::npos;
         ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(run, signal);
    Waited(run);
    EXPECT_EQ(box_.Stored().lastip, mark_blocked ? kOld : address);
    Sql(store, "DROP TRIGGER IF EXISTS block");
    sqlite3_close(store);
    box_.Seed([&](SettingsRecord& r) { r.ftpserver[0] = ftp_.Url(); });
    EXPECT_EQ(RunProgram({box_.File("portable/pellvane"), "-now"}).status, 0);
    EXPECT_EQ(Uploaded(), Page(address));
  }
  EXPECT_FALSE(FileExists(box_.File("portable/pellvane.due")) ||
               FileExists(box_.File("installed/pellvane.due")));
}

// Links planted in the program folder, the lock's too, are replaced, not followed; a template of 16
// MiB in one line is published, a larger one (a sparse TiB) refused at once, unread.
TEST_F(ProgramTest, PlantedLinksAndHugeTemplates) {
  Seed(ftp_.Url());
  for (const std::string name : {"tmp.htm", "pellvane.log", "pellvane.lock"}) {
    WriteFile(box_.File("victim-" + name), "keep");
    ASSERT_EQ(symlink(box_.File("victim-" + name).c_str(), box_.File(name).c_str()), 0);
  }
  const std::string huge = box_.File("huge.htm");
  WriteFile(huge, "");
  ASSERT_EQ(truncate(huge.c_str(), off_t{1} << 40), 0);
  box_.Seed([&](SettingsRecord& r) { r.htmltemplatefile[0] = huge; });
  const ProgramResult refused = Run("-now");
  EXPECT_EQ(std::pair(refused.status, refused.err),
            std::pair(2, "pellvane -now: FTP fehlgeschlagen (Template nicht lesbar: " + huge +
                             " (größer als 16 MiB))\n"));
  EXPECT_LT(refused.seconds, 5);
  ASSERT_EQ(truncate(huge.c_str(), kMaxTemplateBytes), 0);
  const ProgramResult r = box_.Run(PELLVANE_BIN, {"-now"});
  EXPECT_EQ(std::pair(r.status, Uploaded().size()),
            std::pair(0, std::size_t(kMaxTemplateBytes) + 3));
  EXPECT_LT(r.max_rss_kb, kSmallRunKb) << "the page is held once, not copied as it grows";
  for (const std::string name : {"tmp.htm", "pellvane.log", "pellvane.lock"})
    EXPECT_EQ(ReadFile(box_.File("victim-" + name)), "keep") << name;
}

// A second run waits for the first one's lock, then acts on an edit the window made meanwhile
// (a URL without scheme, which it completes and stores) and publishes the newer address.
TEST_F(ProgramTest, SecondRunWaitsForTheFirstAndKeepsAnEditMadeMeanwhile) {
  Seed(ftp_.Url());
  auto first = std::make_unique<RunLock>(box_.File("pellvane.lock"), std::chrono::milliseconds(0));
  ASSERT_TRUE(first->taken());
  std::thread second([this] { EXPECT_EQ(box_.Run(PELLVANE_BIN, {"-now"}).status, 0); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_FALSE(FileExists(ftp_.root() + "/slot0.html")) << "ran beside the first";
  echo_.Serve("/new", "203.0.113.8");
  const std::string edit = echo_.Url("/new").substr(7);
  box_.Seed([&](SettingsRecord& r) { r.wserver[1] = edit, r.ftpuser[3] = "edited meanwhile"; });
  first.reset();
  second.join();
  EXPECT_EQ(Uploaded(), Page("203.0.113.8"));
  const SettingsRecord stored = box_.Stored();
  EXPECT_EQ(std::tuple(stored.lastip, stored.wserver[1], stored.ftpuser[3]),
            std::tuple("203.0.113.8", "http://" + edit, "edited meanwhile"));
}

// Another process holds the store locked while this one starts: nothing is saved over the
// values it could not read, and -backup writes no backup of defaults.
TEST_F(ProgramTest, StoreLockedAtStartKeepsEverySettingAndTheBackup) {
  const auto seed = [](SettingsRecord& r) { r.ftpuser[1] = r.lastip = r.proxysrv = "kept"; };
  ASSERT_EQ(InChild([&] { return box_.Seed(seed), 0; }), 0);  // no store open in this process
  WriteFile(box_.File("pellvane.sav"), "a good backup");
  sqlite3* locker = nullptr;
  sqlite3_open(box_.StoreFile().c_str(), &locker);
  ASSERT_EQ(
      Sql(locker, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE vals SET data=data"),
      SQLITE_OK);
  RecordingDialogs dialogs;
  Settings locked_out(dialogs, StorePath());
  locked_out.InitSettingsKey();
  locked_out.LoadSettings();
  EXPECT_EQ(box_.Run(PELLVANE_BIN, {"-backup"}).status, 1);
  // Were it to check anyway, the built-in page would only be asked through a dead local proxy.
  const ProgramResult now = box_.Run(PELLVANE_BIN, {"-now"}, {{"http_proxy", "127.0.0.1:1"}});
  EXPECT_EQ(now.status, 1);
  EXPECT_NE(now.err.find("Einstellungen nicht lesbar: " + box_.StoreFile()), std::string::npos)
      << now.err;
  sqlite3_close(locker);
  locked_out.SaveSettings();  // the lock is gone now
  EXPECT_EQ(ReadFile(box_.File("pellvane.sav")), "a good backup");
  SettingsRecord seeded = DefaultRecord();
  seed(seeded);
  EXPECT_EQ(box_.Stored(), seeded);
}

// Names in any case; a refusal says why in one line and changes nothing; --show hides passwords.
TEST_F(ProgramTest, SettingsCommandsSetGetAndShowTheWindowsValues) {
  const auto run = [this](const std::string& words, const std::string& input = "") {
    std::vector<std::string> args;
    std::istringstream in(words);
    for (std::string word; in >> word;) args.push_back(word);
    WriteFile(box_.File("input"), input);
    return box_.Run(PELLVANE_BIN, args, {}, box_.File("input"));
  };
  // A fresh install lists all 41 in load order, at the values a run would use, none stored.
  Texts fresh;
  for (const SettingInfo& s : SettingsTable())
    fresh.push_back(s.value_name + "=" + (fresh.empty() ? kEchoUrl : s.default_text) +
                    "  (nicht gespeichert)");
  EXPECT_EQ(Lines(run("--show").out), fresh);
  for (const char* arg : {"WDEFSERVER=3", "useftp=true", "proxyport=8080", "wserver2=http://a/ip"})
    EXPECT_EQ(run(std::string("--set ") + arg).status, 0) << arg;
  EXPECT_EQ(run("--set ftppass0", "geheim\n").status, 0);
  const std::string before = run("--show").out;
  for (const char* arg :
       {"--set nosuch=1", "--set wdefserver=5", "--set proxycon=3", "--set useftp=ja",
        "--set inettimeout=4e4", "--set inettimeout=40000", "--set ftpdefserver=", "--get nosuch",
        "--get lastip", "--get", "--show x", "--set wserver0=http://a/ip", "--set WSERVER0"}) {
    const ProgramResult refused = run(arg);
    EXPECT_EQ(std::tuple(refused.status, refused.out), std::tuple(1, std::string())) << arg;
    EXPECT_TRUE(refused.err.starts_with("pellvane: ") && Lines(refused.err).size() == 1)
        << arg << ": " << refused.err;
  }
  for (const std::string& input : {std::string("geh\neim\n"), std::string("geh\0eim", 7)}) {
    const ProgramResult refused = run("--set ftppass0", input);
    EXPECT_TRUE(refused.status == 1 && refused.err.starts_with("pellvane: ftppass0 kann so nicht "))
        << refused.err;
  }
  EXPECT_EQ(run("--show").out, before) << "a refusal changes nothing";
  box_.Seed([](SettingsRecord& r) { r.ppass = "x"; });
  const SettingsRecord r = box_.Stored();
  EXPECT_EQ(std::tuple(r.wdefserver, r.useftp, r.wserver[2], r.ftppass[0]),
            std::tuple(std::int16_t{3}, true, std::string("http://a/ip"), std::string("geheim")));
  EXPECT_EQ(run("--get FtpPass0").out, "geheim\n");
  const std::string shown = run("--show").out;
  for (const char* line : {"\nwdefserver=3\n", "\nuseftp=True\n", "\nproxyPort=8080\n",
                           "ftppass0=***\n", "\nppass=***\n"})
    EXPECT_NE(shown.find(line), std::string::npos) << line << " in\n" << shown;
  EXPECT_EQ(shown.find("geheim"), std::string::npos);
}

// With logging off, a failed -now still says why in one line on standard error; a run that
// could not get its turn says so; when only the built-in page was asked (here through a dead
// proxy, the other slots empty), with a hint to an own echo page.
TEST_F(ProgramTest, AFailedNowRunSaysWhyOnStandardError) {
  for (const auto& [path, slot, err] :
       {std::tuple{"/missing", 1, "Keine gültige IP erhalten (404 : "},
        std::tuple{"/ip", 1, "FTP fehlgeschlagen (530 : "}, std::tuple{"", 1, kCheckBusy},
        std::tuple{"", 0, "Keine gültige IP erhalten (7 : "}}) {
    Seed(ftp_.Url(), "falsch");
    // The last slot asked gives the reason; with the lock held, another run keeps its turn.
    box_.Seed([&](SettingsRecord& r) {
      r.wserver[1] = r.wserver[4] = *path ? echo_.Url(path) : "";
      r.writelog = false, r.wdefserver = r.proxycon = slot;
    });
    std::optional<RunLock> held;
    if (err == kCheckBusy) held.emplace(box_.File("pellvane.lock"), std::chrono::milliseconds(0));
    const ProgramResult r = box_.Run(PELLVANE_BIN, {"-now"}, {{"http_proxy", "127.0.0.1:1"}});
    EXPECT_TRUE(r.err.starts_with(std::string("pellvane -now: ") + err) &&
                Lines(r.err).size() == 1 &&
                r.status == (std::string_view(err).starts_with("FTP") ? 2 : 1))
        << r.err;
    EXPECT_EQ(r.err.ends_with(std::string(". ") + kOwnEchoPageHint + "\n"), slot == 0) << r.err;
  }
}

// -backup and -restore round trip the settings before the window opens; the command-line
// program links no Qt.
TEST_F(ProgramTest, BackupAndRestoreRoundTripBeforeTheWindowOpens) {
  box_.Seed([&](SettingsRecord& r) { r.wserver[1] = "kept"; });
  const ProgramResult backup = Run("-BACKUP");
  EXPECT_EQ(std::pair(backup.status, backup.out),
            std::pair(0, "Backup beendet...\rEinstellungen in " + box_.File("pellvane.sav") +
                             " gesichert.\n"));
  box_.Seed([](SettingsRecord& r) { r.wserver[1] = "changed"; });
  const ProgramResult restore = box_.Run(
      PELLVANE_BIN, {"-restore"},
      {{"QT_QPA_PLATFORM", "offscreen"}, {"PELLVANE_SCREENSHOT", box_.File("window.png")}});
  EXPECT_EQ(std::tuple(restore.status, box_.Stored().wserver[1]), std::tuple(0, "kept"));
  EXPECT_EQ(ReadFile(box_.File("window.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  // --restore without a window: the same checks; a file cut short or missing changes nothing.
  const std::string saved = ReadFile(box_.File("pellvane.sav"));
  for (const auto& [file, status, out, err] :
       {std::tuple(saved, 0, "Wiederherstellung beendet...\n", ""),
        std::tuple(saved.substr(0, 81), 1, "", "Wiederherstellung fehlgeschlagen: "),
        std::tuple(std::string("missing"), 1, "", "Wiederherstellung fehlgeschlagen: ")}) {
    box_.Seed([](SettingsRecord& r) { r.wserver[1] = "changed", r.writelog = true; });
    file == "missing" ? (void)std::remove(box_.File("pellvane.sav").c_str())
                      : WriteFile(box_.File("pellvane.sav"), file);
    const ProgramResult r = Run("--RESTORE");
    EXPECT_EQ(std::tuple(r.status, r.out, r.err.substr(0, std::string(err).size()),
                         box_.Stored().wserver[1], Count(log_, "Starte Wiederherstellung...")),
              std::tuple(status, out, std::string(err), status == 0 ? "kept" : "changed", 1));
  }
  EXPECT_EQ(RunProgram({"/usr/bin/ldd", PELLVANE_BIN}).out.find("libQt"), std::string::npos);
}

// Without a display a word that is no mode is refused by name; a window mode says what to do;
// a program without its window says which package to install.
TEST_F(ProgramTest, WrongWordsWithoutADisplaySayWhatIsWrong) {
  const EnvVars headless{
      {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"QT_QPA_PLATFORM", {}}};
  for (const auto& [args, word] : std::initializer_list<std::pair<Texts, std::string>>{
           {{"--now"}, "--now"},
           {{"-now", "-v"}, "-v"},
           {{"-h"}, "-h"},
           {{"now"}, "now"},
           {{"-now "}, "-now "},
           {{"-backup", "--verbose"}, "-backup --verbose"},
           {{}, ""}}) {
    const std::string err = !word.empty()
                                ? "unbekannte Option \"" + word + "\", siehe pellvane --help"
                                : "keine grafische Anzeige (DISPLAY/WAYLAND_DISPLAY) für "
                                  "das Einstellungsfenster; ohne Fenster siehe pellvane --help";
    const ProgramResult r = box_.Run(PELLVANE_BIN, args, headless);
    EXPECT_EQ(std::tuple(r.status, r.out, r.err), std::tuple(1, "", "pellvane: " + err + "\n"));
  }
  EXPECT_FALSE(FileExists(box_.StoreFile())) << "nothing ran";
  ASSERT_EQ(RunProgram({"/bin/cp", PELLVANE_BIN, box_.File("pellvane")}).status, 0);
  EXPECT_EQ(box_.Run(box_.File("pellvane"), {}, {{"DISPLAY", ":99"}}).err,
            "pellvane: das Einstellungsfenster ist nicht installiert (" +
                box_.File("pellvane-window") +
                " fehlt); bitte das Paket pellvane-window installieren\n");
}

// A password typed at a terminal is asked for and not echoed; the echo comes back afterwards.
TEST_F(ProgramTest, SetAPasswordAtATerminalWithoutEcho) {
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) _exit(execl(PELLVANE_BIN, PELLVANE_BIN, "--set", "ftppass0", nullptr));
  std::string seen;
  const auto read_until = [&](const std::string& end) {
    char buf[256];
    for (ssize_t n; seen.find(end) == std::string::npos && (n = read(terminal, buf, 256)) > 0;)
      seen.append(buf, std::size_t(n));
  };
  read_until("Passwort für ftppass0: ");
  termios during{}, after{};
  tcgetattr(terminal, &during);
  ASSERT_EQ(write(terminal, "ge heim\n", 8), 8);
  read_until("\n");
  EXPECT_EQ(Waited(child), 0);
  tcgetattr(terminal, &after);
  close(terminal);
  EXPECT_EQ(std::tuple(seen, during.c_lflag & ECHO, after.c_lflag & ECHO, box_.Stored().ftppass[0]),
            std::tuple("Passwort für ftppass0: \r\n", 0u, tcflag_t{ECHO}, "ge heim"));
}

// --status after runs that published, failed to publish and got no address; its file is
// replaced whole, never written through a link. --verbose, before or after -now, shows every
// log line on standard error as it happens, with logging off.
TEST_F(ProgramTest, StatusAfterVerboseRuns) {
  Seed(ftp_.Url());
  WriteFile(box_.File("victim"), "keep");
  ASSERT_EQ(symlink(box_.File("victim").c_str(), box_.File("pellvane.status").c_str()), 0);
  const auto status = [this] { return box_.Run(PELLVANE_BIN, {"--status"}).out; };
  EXPECT_NE(status().find("\nLetzte Prüfung:          noch nie\n"), std::string::npos);
  const std::string due = "Veröffentlichung fällig: ja, eine begonnene Veröffentlichung ist ";
  for (const auto& [args, password, address, shown] :
       std::initializer_list<std::tuple<Texts, const char*, const char*, Texts>>{
           {{"-now", "--verbose"},
            "vane",
            kNew,
            {", gültige Adresse 203.0.113.7\n", ", FTP Fertig\n", "fällig: nein, sofern",
             "Veröffentlicht:          203.0.113.7 auf " + ftp_.Url() +
                 " als slot0.html (FTP-Platz 1)"}},
           {{"--VERBOSE", "-NOW"},
            "falsch",
            "203.0.113.8",
            {", gültige Adresse 203.0.113.8\n", ", FTP fehlgeschlagen (530 : ", due}},
           {{"-now"}, "falsch", "", {", Keine gültige IP erhalten (", due, box_.StoreFile()}}}) {
    box_.Seed([&](SettingsRecord& r) { r.ftppass[0] = password, r.writelog = false; });
    echo_.Serve("/ip", address, *address ? 200 : 404);
    const ProgramResult r = box_.Run(PELLVANE_BIN, args);
    for (const std::string& part : shown) EXPECT_NE(status().find(part), std::string::npos) << part;
    Texts lines;
    for (const std::string& line : Lines(r.err))
      lines.push_back(line.empty() ? "" : LogTexts(line)[0]);
    EXPECT_TRUE(address != kNew || lines == Expected(ftp_.Url(), {}, "FTP Fertig")) << r.err;
    EXPECT_EQ(Count(lines, "Checke IP"), args.size() == 2 ? 1 : 0);
  }
  EXPECT_FALSE(FileExists(box_.File("pellvane.log")));
  EXPECT_EQ(ReadFile(box_.File("victim")), "keep");
}

}  // namespace
}  // namespace pellvane
