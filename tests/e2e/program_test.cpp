// The built programs as a scheduler and a user run them, against a local echo page and local
// FTP servers that fail the ways real ones do: judged by exit status, log, uploaded page, store,
// time and memory, and by what never shows up (passwords).
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <sstream>
#include <thread>
#include <tuple>

#include "platform/run_lock.h"
#include "support/harness.h"
#include "support/servers.h"

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
  echo_.Serve("/ip", "203.0.113.9");
  box_.Seed([](SettingsRecord& r) { r.useftp = false; });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(box_.Stored().lastip, "203.0.113.9") << "with FTP off the address is just stored";
  EXPECT_EQ(Uploaded(), Page("203.0.113.8"));
}

TEST_F(ProgramTest, NowWithoutAValidAddressEndsWithOneInTimeAndKeepsTheLastAddress) {
  Seed("ftp://127.0.0.1:1");
  for (const auto& [url, timeout] : std::initializer_list<std::pair<std::string, const char*>>{
           {"/ip", "2"},              // served "203.0.113.7\n"
           {"/ip?hang=1", "0.0001"},  // below a millisecond still ends the wait
           {"/ip?size=104857600", "2"},
           {"http://127.0.0.1:1/ip", "2"}}) {
    SCOPED_TRACE(url);
    echo_.Serve("/ip", "203.0.113.7\n");
    const std::string full = url.starts_with("/") ? echo_.Url(url) : url;
    box_.Seed([&](SettingsRecord& r) { r.wserver[1] = full; });
    const ProgramResult r = Run("-now", timeout);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(r.seconds, 10.0);
    EXPECT_LT(r.max_rss_kb, kSmallRunKb) << "a huge answer is not held in memory";
    ASSERT_EQ(log_.size(), url == "/ip" ? 7u : 8u) << ::testing::PrintToString(log_);
    EXPECT_EQ(log_[3], "Prüfe IP-Adresse mit " + full + "...");
    EXPECT_EQ(log_[log_.size() - 3], "Keine gültige IP erhalten");
    EXPECT_EQ(box_.Stored().lastip, kOld);
  }
}

// Every failed publish ends with two in time, names no password, keeps the change due and
// every other setting; a server gone after the upload still counts as published. A template
// that cannot be read (missing, a FIFO that would block) uploads nothing and ends at once.
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
  for (const Case& c : std::initializer_list<Case>{
           {{}, "Wrong-url-0815", Texts(2, "530 : 530 Authentication failed.")},
           {{.script = {}, .exit_after_upload = true}, nullptr, {"56 : "}, true},
           {{}, nullptr, {}, false, "missing.htm", missing},
           {{}, nullptr, {}, false, "fifo.htm", "keine Datei"}}) {
    SCOPED_TRACE(c.transfer.empty() ? c.template_file : c.transfer.front());
    FtpServer ftp(c.options);
    const std::string url = ftp.Url();
    if (c.in_url)
      Seed("ftp://pell:" + std::string(c.in_url) + "@" + url.substr(6), "", "");
    else
      Seed(url);
    const std::string bad_template = box_.File(c.template_file);
    box_.Seed([&](SettingsRecord& r) { r.htmltemplatefile[0] = bad_template; });
    seeded_.htmltemplatefile[0] = bad_template;
    const ProgramResult r = Run("-now", "2");
    const std::string shown = c.in_url ? "ftp://pell:***@" + url.substr(6) : url;
    const bool readable = c.template_file == std::string("template.htm");
    Texts want =
        readable ? Expected(shown, c.transfer, c.published ? "FTP Fertig" : "FTP fehlgeschlagen")
                 : Expected(shown,
                            {"Template nicht lesbar: " + bad_template + " (" + c.unreadable + ")"},
                            "FTP fehlgeschlagen", kOld, "", false);
    if (c.published && log_.size() > 7 && log_[7].starts_with("56 : ")) want[7] = log_[7];
    EXPECT_EQ(log_, want);
    for (const std::string& text : {box_.Log(), r.out, r.err})
      EXPECT_TRUE(!c.in_url || text.find(c.in_url) == std::string::npos) << text;
    SettingsRecord expected = seeded_;
    if (c.published) expected.lastip = kNew;
    EXPECT_EQ(box_.Stored(), expected);
    EXPECT_EQ(r.status, c.published ? 0 : 2);
    EXPECT_EQ(ReadFile(ftp.root() + "/slot0.html"), c.published ? Page(kNew) : "");
    EXPECT_LT(r.seconds, 5);
  }
  box_.Seed([&](SettingsRecord& r) {  // the template back: the next run publishes
    r.ftpserver[0] = ftp_.Url(), r.htmltemplatefile[0] = box_.File("template.htm");
  });
  EXPECT_EQ(Run("-now").status, 0);
  EXPECT_EQ(Uploaded(), Page(kNew));
}

// Killed while the upload waits for a server that never greets: the new address is stored
// only with the publish marked as due (not at all when the mark cannot be made), and the next
// run publishes it.
TEST_F(ProgramTest, KilledDuringTheUploadTheNextRunPublishes) {
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
    box_.Seed([&](SettingsRecord& r) { r.ftpserver[0] = ftp_.Url(); });
    EXPECT_EQ(Run("-now").status, 0);
    EXPECT_EQ(Uploaded(), Page(kNew));
    std::remove((ftp_.root() + "/slot0.html").c_str());
  }
}

// Links planted in the program folder are replaced, not followed; a template of 64 MiB in one
// line is filled in bounded memory.
TEST_F(ProgramTest, PlantedLinksAndAHugeTemplate) {
  Seed(ftp_.Url());
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
  EXPECT_EQ(Uploaded().size(), kSize + 3);
  for (const std::string name : {"tmp.htm", "pellvane.log", "pellvane.due"}) {
    EXPECT_EQ(ReadFile(box_.File("victim-" + name)), "keep") << name;
  }
}

// A second run waits for the first one's lock and then publishes the newer address; an edit
// made by the window meanwhile survives the run's save.
TEST_F(ProgramTest, SecondRunWaitsForTheFirstAndKeepsAnEditMadeMeanwhile) {
  Seed(ftp_.Url());
  auto first = std::make_unique<RunLock>(box_.File("pellvane.lock"), std::chrono::milliseconds(0));
  ASSERT_FALSE(first->busy());
  std::thread second([this] { EXPECT_EQ(box_.Run(PELLVANE_BIN, {"-now"}).status, 0); });
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_FALSE(FileExists(ftp_.root() + "/slot0.html")) << "ran beside the first";
  box_.Seed([](SettingsRecord& r) { r.ftpuser[3] = "edited meanwhile"; });
  echo_.Serve("/ip", "203.0.113.8");
  first.reset();
  second.join();
  EXPECT_EQ(Uploaded(), Page("203.0.113.8"));
  EXPECT_EQ(std::pair(box_.Stored().lastip, box_.Stored().ftpuser[3]),
            std::pair(std::string("203.0.113.8"), std::string("edited meanwhile")));
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
      sqlite3_exec(locker,
                   "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; UPDATE vals SET data = data;",
                   nullptr, nullptr, nullptr),
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
  for (const char* arg : {"WDEFSERVER=3", "useftp=true", "proxyport=8080", "wserver2=http://a/ip"})
    EXPECT_EQ(run(std::string("--set ") + arg).status, 0) << arg;
  EXPECT_EQ(run("--set ftppass0", "geheim\n").status, 0);
  const std::string before = run("--show").out;
  for (const char* arg :
       {"--set nosuch=1", "--set wdefserver=5", "--set proxycon=3", "--set useftp=ja",
        "--set inettimeout=4e4", "--set inettimeout=40000", "--set ftpdefserver=", "--get nosuch",
        "--get lastip", "--get", "--show x"}) {
    const ProgramResult refused = run(arg);
    EXPECT_EQ(std::tuple(refused.status, refused.out), std::tuple(1, std::string())) << arg;
    EXPECT_TRUE(refused.err.starts_with("pellvane: ") && Lines(refused.err).size() == 1)
        << arg << ": " << refused.err;
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

// With logging off, a failed -now still says why in one line on standard error.
TEST_F(ProgramTest, AFailedNowRunSaysWhyOnStandardError) {
  for (const auto& [path, err] : {std::pair{"/missing", "Keine gültige IP erhalten (404 : "},
                                  std::pair{"/ip", "FTP fehlgeschlagen (530 : "}}) {
    Seed(ftp_.Url(), "falsch");
    box_.Seed([&](SettingsRecord& r) { r.wserver[1] = echo_.Url(path), r.writelog = false; });
    const std::string why = Run("-now").err;
    EXPECT_TRUE(why.starts_with(std::string("pellvane -now: ") + err) && Lines(why).size() == 1)
        << why;
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
  EXPECT_EQ(std::pair(restore.status, box_.Stored().wserver[1]), std::pair(0, std::string("kept")));
  EXPECT_EQ(ReadFile(box_.File("window.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(RunProgram({"/usr/bin/ldd", PELLVANE_BIN}).out.find("libQt"), std::string::npos);
}

}  // namespace
}  // namespace pellvane
