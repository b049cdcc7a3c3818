// pellvane -now against FTP servers that fail in the ways real ones do: each run ends within
// the time-outs, logs what happened, keeps the change due when the page did not get up, leaves
// the server's folder as it was apart from what it took in, and stays small.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

#include "e2e/log_texts.h"
#include "platform/dialogs.h"
#include "settings/hp_reg.h"
#include "support/env_registry.h"
#include "support/run_program.h"
#include "support/servers.h"
#include "support/temp_dir.h"
#include "ui/frm_main.h"

namespace pellvane {
namespace {

using testing::FtpOptions;
using testing::FtpServer;
using testing::ReadFile;
using testing::TempDir;
using Texts = std::vector<std::string>;
using Folder = std::map<std::string, std::string>;

constexpr char kOldIp[] = "198.51.100.1";
constexpr char kNewIp[] = "203.0.113.7";

// A port on 127.0.0.1 that never says a word: the kernel completes each connection into the
// listen queue and nobody ever reads or writes on it.
class SilentServer {
 public:
  SilentServer() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(fd_, 16) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      throw std::runtime_error("no silent port");
    }
    port_ = ntohs(a.sin_port);
  }
  ~SilentServer() { close(fd_); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  std::string Url() const { return "ftp://127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A tmpfs of 64 KiB on a folder of its own, filled up to the last byte; unmounted afterwards.
class FullDisk {
 public:
  FullDisk() {
    if (mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=64k") != 0) return;
    mounted_ = true;
    std::ofstream filler(dir_.File("filler"), std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) filler.flush();
  }
  ~FullDisk() {
    if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
  }
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& path() const { return dir_.path(); }

 private:
  TempDir dir_;
  bool mounted_ = false;
};

Folder Contents(const std::string& dir) {
  Folder files;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    files[entry.path().filename()] = ReadFile(entry.path());
  }
  return files;
}

class FtpFaultTest : public ::testing::Test {
 protected:
  FtpFaultTest() {
    setenv("PELLVANE_HOME", home_.path().c_str(), 1);
    echo_.Serve("/ip", kNewIp);
    SetTemplate("");
  }

  // The template: a page with the marker, and `padding` in it to make the page big.
  void SetTemplate(const std::string& padding) {
    testing::WriteFile(home_.File("template.htm"),
                       "<html>\r\n<b>'!!!***IP***!!!'</b>\r\n" + padding + "</html>\r\n");
  }

  // Slot 0 publishes to `url` as pell / `password`; the stored address is the old one.
  void Seed(const std::string& url, const std::string& password = "vane") {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.InitSettingsKey();
    SettingsRecord& r = s.record();
    r.wserver[0] = kEchoUrl;  // as every start shows it
    r.wserver[1] = echo_.Url("/ip");
    r.wdefserver = 1;
    r.lastip = kOldIp;
    r.useftp = true;
    r.ftpserver[0] = url;
    r.ftpuser[0] = "pell";
    r.ftppass[0] = password;
    r.ftpremotefile[0] = "ip.html";
    r.htmltemplatefile[0] = home_.File("template.htm");
    r.writelog = true;
    s.SaveSettings();
    seeded_ = Stored();
  }

  SettingsRecord Stored() {
    HeadlessDialogs dialogs;
    Settings s(dialogs, StorePathFromEnvironment());
    s.LoadSettings();
    return s.record();
  }

  // One -now run with the component's time-outs, to connect (and log in) and for a whole
  // request, cut to `timeout_s` seconds.
  void Run(int timeout_s) {
    const std::string timeout = std::to_string(timeout_s);
    result_ = testing::RunProgram({PELLVANE_BIN, "-now"}, {{"PELLVANE_HOME", home_.path()},
                                                           {"PELLVANE_CONNECT_TIMEOUT", timeout},
                                                           {"PELLVANE_REQUEST_TIMEOUT", timeout}});
    log_ = testing::LogTexts(ReadFile(home_.File("pellvane.log")));
    RecordProperty("seconds", std::to_string(result_.seconds));
    RecordProperty("max_rss_kb", std::to_string(result_.max_rss_kb));
  }

  // The whole log of a -now run that publishes to `url`: `transfer` after the upload command,
  // then `publish_end`.
  Texts Expected(const std::string& url, const Texts& transfer, const std::string& publish_end) {
    Texts lines = {"Starte Programm mit Parameter \"-now\"",
                   "Checke IP",
                   std::string("...alte IP-Adresse: ") + kOldIp,
                   "Prüfe IP-Adresse mit " + echo_.Url("/ip") + "...",
                   std::string("...neue IP-Adresse: ") + kNewIp,
                   "Starte FTP Verbindung mit " + url,
                   "...put " + home_.File("tmp.htm") + " ip.html"};
    lines.insert(lines.end(), transfer.begin(), transfer.end());
    lines.insert(lines.end(), {publish_end, "Beende Programm", ""});
    return lines;
  }

  // What every failed publish leaves: status 2, the old address still stored so that the
  // next run publishes again, every other setting as it was, the filled page left beside
  // the program, and a small process that ended in time.
  void ExpectFailedPublish(double within_s) {
    EXPECT_EQ(result_.status, 2) << result_.err;
    EXPECT_EQ(Stored(), seeded_);
    EXPECT_NE(ReadFile(home_.File("tmp.htm")).find(kNewIp), std::string::npos);
    EXPECT_LT(result_.seconds, within_s);
    EXPECT_LT(result_.max_rss_kb, testing::kSmallRunKb);
  }

  TempDir home_;
  testing::EchoServer echo_;
  SettingsRecord seeded_;
  testing::ProgramResult result_;
  Texts log_;
};

TEST_F(FtpFaultTest, RefusedLoginIsLoggedWithTheServersText) {
  FtpServer ftp;
  Seed(ftp.Url(), "wrong");
  Run(10);
  // The upload and the listing are each refused; the server waits 3 s before each refusal.
  EXPECT_EQ(log_, Expected(ftp.Url(),
                           {"530 : 530 Authentication failed.", "530 : 530 Authentication failed."},
                           "FTP fehlgeschlagen"));
  ExpectFailedPublish(15);
  EXPECT_TRUE(Contents(ftp.root()).empty());
}

TEST_F(FtpFaultTest, RefusedUploadIsLoggedAndTheListingStillRuns) {
  FtpServer ftp(FtpOptions{.read_only = true, .root = {}});
  testing::WriteFile(ftp.root() + "/ip.html", "old page");
  Seed(ftp.Url());
  Run(5);
  EXPECT_EQ(log_, Expected(ftp.Url(), {"550 : 550 Not enough privileges."}, "FTP fehlgeschlagen"));
  ExpectFailedPublish(5);
  EXPECT_EQ(Contents(ftp.root()), (Folder{{"ip.html", "old page"}}));
}

TEST_F(FtpFaultTest, FullDiskIsLoggedAndNothingBeyondWhatArrivedIsLeft) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
  FullDisk disk;
  if (!disk.mounted()) GTEST_SKIP() << "no tmpfs here: " << std::strerror(errno);
  const Folder before = Contents(disk.path());
  // Bigger than the server's write buffer, so that the first write finds the disk full.
  SetTemplate(std::string(16 * 1024, ' ') + "\r\n");
  FtpServer ftp(FtpOptions{.root = disk.path()});
  Seed(ftp.Url());
  Run(5);
  ASSERT_EQ(log_.size(), 11u) << ::testing::PrintToString(log_);
  // The server's own text after its code varies with its version.
  EXPECT_EQ(log_[7].rfind("426 : 426 ", 0), 0u) << log_[7];
  EXPECT_EQ(log_, Expected(ftp.Url(), {log_[7]}, "FTP fehlgeschlagen"));
  ExpectFailedPublish(5);
  Folder after = Contents(disk.path());
  const std::string arrived = after["ip.html"];
  after.erase("ip.html");
  EXPECT_EQ(after, before);
  EXPECT_EQ(ReadFile(home_.File("tmp.htm")).rfind(arrived, 0), 0u) << "at most a head arrived";
}

TEST_F(FtpFaultTest, ServerGoneAfterTheUploadLeavesThePagePublished) {
  FtpServer ftp(FtpOptions{.exit_after_upload = true, .root = {}});
  Seed(ftp.Url());
  Run(5);
  EXPECT_EQ(result_.status, 0) << result_.err;
  ASSERT_EQ(log_.size(), 11u) << ::testing::PrintToString(log_);
  EXPECT_EQ(log_, Expected(ftp.Url(), {log_[7]}, "FTP Fertig"));
  EXPECT_NE(log_[7].find(" : "), std::string::npos) << "the failed listing is logged";
  EXPECT_NE(log_[7].rfind("0 : ", 0), 0u);
  EXPECT_EQ(Contents(ftp.root()), (Folder{{"ip.html", ReadFile(home_.File("tmp.htm"))}}));
  SettingsRecord published = seeded_;
  published.lastip = kNewIp;
  EXPECT_EQ(Stored(), published);
  EXPECT_LT(result_.seconds, 5);
  EXPECT_LT(result_.max_rss_kb, testing::kSmallRunKb);
}

TEST_F(FtpFaultTest, ServerThatNeverAnswersIsEndedByTheTimeOut) {
  SilentServer silent;
  Seed(silent.Url());
  Run(2);
  ASSERT_EQ(log_.size(), 12u) << ::testing::PrintToString(log_);
  for (const std::size_t i : {7u, 8u}) EXPECT_EQ(log_[i].rfind("28 : ", 0), 0u) << log_[i];
  EXPECT_EQ(log_, Expected(silent.Url(), {log_[7], log_[8]}, "FTP fehlgeschlagen"));
  // The upload and the listing each wait out the time-out, no longer.
  ExpectFailedPublish(2 * 2 + 3);
}

}  // namespace
}  // namespace pellvane
