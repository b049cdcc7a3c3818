// The one test harness: a sandbox folder that is both program folder and store home, the
// settings store seeded and read back, dialogs that record, the built program run to its end,
// a child process, files with faults, and environment changes undone.
// Not safe from two threads: the sandbox and Env change the process environment.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/session.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/run_log.h"
#include "settings/hp_reg.h"
#include "settings/settings_record.h"
#include "transfer/inet.h"
#include "ui/frm_main.h"

namespace pellvane::testing {

using Texts = std::vector<std::string>;
using EnvVars = std::map<std::string, std::optional<std::string>>;  // nothing: unset

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // empty when missing
bool FileExists(const std::string& path);
Texts Lines(const std::string& text);
// The text after " - " of each CR LF line of a run log, "" for an empty line.
Texts LogTexts(const std::string& log);
long Count(const Texts& lines, const std::string& prefix);  // lines that begin with prefix

// Sets one variable of this process, or unsets it (nothing).
void SetVariable(const std::string& name, const std::optional<std::string>& value);

// Sets variables (or unsets them) and puts the old values back at its end.
class Env {
 public:
  explicit Env(const EnvVars& vars = {});
  ~Env();
  Env(const Env&) = delete;
  Env& operator=(const Env&) = delete;
  void Set(const std::string& name, const std::optional<std::string>& value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Every proxy variable libcurl reads, unset.
EnvVars NoProxies();

// Records every message box and what is opened; the file chooser is always cancelled.
class RecordingDialogs final : public Dialogs {
 public:
  void MsgBox(const std::string& text, MsgKind kind) override {
    boxes.emplace_back(text, kind);
    if (while_open) while_open();
  }
  std::optional<std::string> ChooseFile(const FileChooserRequest&) override { return {}; }
  void OpenUrl(const std::string& url) override { opened.push_back(url); }
  void OpenInEditor(const std::string& path) override { opened.push_back(path); }
  testing::Texts Shown() const;  // the boxes' texts

  std::vector<std::pair<std::string, MsgKind>> boxes;
  testing::Texts opened;             // the URLs and files handed to the desktop
  std::function<void()> while_open;  // runs while a box is open, as a user leaving it open
};

struct ProgramResult {
  int status = -1;  // the exit status, -1 when it died by a signal
  std::string out, err;
  long max_rss_kb = 0;  // the child's peak resident memory
  double seconds = 0;   // wall time from start to end
};
// Standard input reads the file `input`.
ProgramResult RunProgram(const std::vector<std::string>& argv, const EnvVars& env = {},
                         const std::string& input = "/dev/null");

// A fresh folder under /tmp, removed afterwards; PELLVANE_HOME points at it meanwhile, and
// http(s)_proxy at a dead port on 127.0.0.1, which 127.0.0.1 itself bypasses. On
// Windows the settings key is emptied at start and end instead, and Run starts a copy of the
// program in the folder, which is then its program folder.
class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  std::string StoreFile() const { return File("registry.sqlite3"); }
  std::string Log() const { return ReadFile(File("pellvane.log")); }
  // Loads the store, lets `edit` change the record and saves it, as the window would.
  void Seed(const std::function<void(SettingsRecord&)>& edit) const;
  SettingsRecord Stored() const;  // a fresh load
  // Web slot 1 asks `echo_url` and is the default; every FTP slot publishes `page` filled to
  // `ftp_url` as slot<N>.html, user pell, password vane. FTP and logging on, the system's proxy
  // (the sandbox's: none for 127.0.0.1, a dead one for any other host), the last address
  // 198.51.100.1.
  void SeedPublishing(const std::string& echo_url, const std::string& ftp_url,
                      const std::string& page) const;
  // The program with these arguments on this sandbox.
  ProgramResult Run(const std::string& program, const std::vector<std::string>& args,
                    EnvVars env = {}, const std::string& input = "/dev/null") const;

 private:
  std::string path_;
  Env env_;
};

// The window model on the sandbox's store, loaded as at start-up, wired as the programs do it.
struct WindowModel {
  WindowModel(Dialogs& dialogs, const Sandbox& box, FileSystem& files = RealFileSystem());
  FixedClock clock{0};
  Session session;
  Settings& settings = session.settings;
  RunLog& log = session.log;
  Inet& inet = session.inet;
  frmMain& window = session.window;
};

// The store that PELLVANE_HOME names right now, as a run started there would find it, and one
// registry over it for the life of the test program.
std::string StorePath();
Registry& EnvRegistry();

// A record whose every field differs from the defaults, each text carrying `tag`.
SettingsRecord SampleRecord(const std::string& tag);

// Linux: runs `body` in a forked child. Spawn returns at once; Waited gives the exit status, or -1
// when it died otherwise.
pid_t Spawn(const std::function<int()>& body);
int Waited(pid_t child);
std::vector<char*> ExecArgs(std::vector<std::string>& strings);  // for exec, nullptr at the end
inline int InChild(const std::function<int()>& body) { return Waited(Spawn(body)); }

// One text stored under `name` in the settings key through the registry calls, as another
// program would change it.
void StoreText(const std::string& name, const std::string& text);

// The real files with the faults of a full or refusing disk put in their way; each fault gives
// its own reason: kRefused, kDiskFull, kNotCommitted.
struct FileFaults {
  std::size_t room = SIZE_MAX;  // bytes written until the disk is full; a write across it is cut
  bool deny_open = false;       // every open refused, as without permission
  bool fail_commit = false;     // the sync or rename of every new file fails
  std::string only = "";        // the faults hit only paths that end so; all when empty
};
inline constexpr const char* kRefused = "refused by the test";
inline constexpr const char* kDiskFull = "full by the test";
inline constexpr const char* kNotCommitted = "not committed by the test";
class FaultyFiles final : public FileSystem {
 public:
  explicit FaultyFiles(FileFaults f) : faults(f) {}
  Opened<InputFile> OpenForReading(const std::string& path) override;
  bool Append(const std::string& path, std::string_view bytes, int mode) override;
  Opened<ReplacementFile> Replace(const std::string& path, int mode) override;
  std::optional<std::uint64_t> SizeOf(const std::string& path) override {
    return RealFileSystem().SizeOf(path);
  }
  bool Rename(const std::string& from, const std::string& to) override {
    return RealFileSystem().Rename(from, to);
  }
  // What of `bytes` still fits; takes it from the room left.
  std::string_view Fit(std::string_view bytes);
  bool Hits(const std::string& path) const { return path.ends_with(faults.only); }
  FileFaults faults;
};

#ifdef __SANITIZE_ADDRESS__
inline constexpr bool kSanitized = true;  // built with g++'s AddressSanitizer
#else
inline constexpr bool kSanitized = false;
#endif
// What a small run of the program may take at its peak, a little more with the sanitizers.
inline constexpr long kSmallRunKb = kSanitized ? 96 * 1024 : 32 * 1024;

}  // namespace pellvane::testing
