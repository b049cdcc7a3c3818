#include "support/harness.h"

#include "app/environment.h"

#include "platform/registry.h"
#include "settings/settings_table.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace pellvane::testing {
namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::string& path) { return fs::exists(path); }

Texts Lines(const std::string& text) {
  Texts lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

Texts LogTexts(const std::string& log) {
  Texts texts;
  for (std::size_t start = 0, end; start < log.size(); start = end + 2) {
    end = std::min(log.find("\r\n", start), log.size());
    const std::string line = log.substr(start, end - start);
    const std::size_t dash = line.find(" - ");
    texts.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
  }
  return texts;
}

long Count(const Texts& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

Env::Env(const EnvVars& vars) {
  for (const auto& [name, value] : vars) Set(name, value);
}

Env::~Env() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) SetVariable(it->first, it->second);
}

void Env::Set(const std::string& name, const std::optional<std::string>& value) {
  const char* old = std::getenv(name.c_str());
  saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  SetVariable(name, value);
}

EnvVars NoProxies() {
  EnvVars vars;
  for (const char* n : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "ftp_proxy",
                        "FTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
    vars[n] = std::nullopt;
  }
  return vars;
}

Texts RecordingDialogs::Shown() const {
  Texts texts;
  for (const auto& [text, kind] : boxes) texts.push_back(text);
  return texts;
}

void Sandbox::Seed(const std::function<void(SettingsRecord&)>& edit) const {
  RecordingDialogs dialogs;
  Settings s(dialogs, StorePath());
  s.InitSettingsKey();
  s.LoadSettings();
  edit(s.record());
  s.SaveSettings();
}

void Sandbox::SeedPublishing(const std::string& echo_url, const std::string& ftp_url,
                             const std::string& page) const {
  Seed([&](SettingsRecord& r) {
    r.wserver[0] = kEchoUrl;  // as every start shows it
    r.wserver[1] = echo_url;
    r.wdefserver = 1;
    r.proxycon = 0;  // the sandbox's proxies
    r.lastip = "198.51.100.1";
    r.useftp = r.writelog = true;
    for (int i = 0; i < kSlots; ++i) {
      r.ftpserver[i] = ftp_url;
      r.ftpuser[i] = "pell";
      r.ftppass[i] = "vane";
      r.ftpremotefile[i] = "slot" + std::to_string(i) + ".html";
      r.htmltemplatefile[i] = page;
    }
  });
}

SettingsRecord Sandbox::Stored() const {
  RecordingDialogs dialogs;
  Settings s(dialogs, StorePath());
  s.LoadSettings();
  return s.record();
}

WindowModel::WindowModel(Dialogs& dialogs, const Sandbox& box, FileSystem& files)
    : session(dialogs, clock, SessionConfig{box.path(), StorePath(), "", {}}, files) {
  if (window.Form_Load()) throw std::runtime_error("the window did not load");
}

SettingsRecord SampleRecord(const std::string& tag) {
  SettingsRecord r;
  for (int i = 0; i < kSlots; ++i) {
    const std::string n = std::to_string(i);
    r.wserver[i] = "http://w" + n + "." + tag;
    r.ftpserver[i] = "ftp" + n + "." + tag;
    r.ftpuser[i] = "user" + n + tag;
    r.ftppass[i] = "pass" + n + tag;
    r.ftpremotefile[i] = "/www/" + n + tag + ".htm";
    r.htmltemplatefile[i] = "/home/t" + n + tag + ".html";
  }
  r.wdefserver = 3;
  r.proxycon = 2;
  r.proxysrv = "proxy." + tag;
  r.proxyport = "31" + tag;
  r.puser = "pu" + tag;
  r.ppass = "pp" + tag;
  r.lastip = "10.0.0." + tag;
  r.useftp = true;
  r.ftpdefserver = 4;
  r.inettimeout = 45;
  r.writelog = true;
  return r;
}

std::string StorePath() { return StorePathFromEnvironment(); }

Registry& EnvRegistry() {
  static auto* registries = new std::map<std::string, std::unique_ptr<Registry>>();
  std::unique_ptr<Registry>& r = (*registries)[StorePath()];
  if (!r) r = std::make_unique<Registry>(StorePath());
  return *r;
}

void StoreText(const std::string& name, const std::string& text) {
  HKEY key = 0;
  if (EnvRegistry().RegCreateKeyEx(HKEY_LOCAL_MACHINE, kSettingsKeyPath, 0, KEY_ALL_ACCESS, &key,
                                   nullptr) != 0)
    return;
  const std::string data = text + '\0';
  EnvRegistry().RegSetValueEx(key, name, REG_SZ, reinterpret_cast<const std::uint8_t*>(data.data()),
                              static_cast<std::uint32_t>(data.size()));
  EnvRegistry().RegCloseKey(key);
}

namespace {
// A new file whose writes take from its file system's room.
class FaultyReplacement final : public ReplacementFile {
 public:
  FaultyReplacement(std::unique_ptr<ReplacementFile> real, FaultyFiles& files)
      : real_(std::move(real)), files_(files) {}
  bool Write(std::string_view bytes) override {
    const std::string_view fits = files_.Fit(bytes);
    if (!real_->Write(fits)) return Failed(real_->Error());
    return fits.size() == bytes.size() || Failed(kDiskFull);
  }
  bool Commit() override {
    if (files_.faults.fail_commit) return Failed(kNotCommitted);
    return real_->Commit() || Failed(real_->Error());
  }
  std::string Error() const override { return error_; }

 private:
  bool Failed(std::string error) {
    error_ = std::move(error);
    return false;
  }

  std::unique_ptr<ReplacementFile> real_;
  FaultyFiles& files_;
  std::string error_;
};
}  // namespace

std::string_view FaultyFiles::Fit(std::string_view bytes) {
  const std::size_t n = std::min(bytes.size(), faults.room);
  faults.room -= n;
  return bytes.substr(0, n);
}

Opened<InputFile> FaultyFiles::OpenForReading(const std::string& path) {
  if (faults.deny_open && Hits(path)) return {nullptr, kRefused};
  return RealFileSystem().OpenForReading(path);
}

bool FaultyFiles::Append(const std::string& path, std::string_view bytes, int mode) {
  if (!Hits(path)) return RealFileSystem().Append(path, bytes, mode);
  if (faults.deny_open) return false;
  const std::string_view fits = Fit(bytes);
  return RealFileSystem().Append(path, fits, mode) && fits.size() == bytes.size();
}

Opened<ReplacementFile> FaultyFiles::Replace(const std::string& path, int mode) {
  if (!Hits(path)) return RealFileSystem().Replace(path, mode);
  if (faults.deny_open) return {nullptr, kRefused};
  Opened<ReplacementFile> real = RealFileSystem().Replace(path, mode);
  if (!real) return real;
  return {std::make_unique<FaultyReplacement>(std::move(real.file), *this), ""};
}

}  // namespace pellvane::testing
