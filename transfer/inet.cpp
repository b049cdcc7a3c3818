#include "transfer/inet.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/safe_file.h"
#include "platform/text.h"
#include "transfer/ftp_command.h"
#include "transfer/inet_state.h"
#include "transfer/secret_text.h"
#include "transfer/server_url.h"
#include "transfer/url_escape.h"

namespace pellvane {

ProxyMode ProxyModeFrom(int stored) {
  return stored == 1 ? ProxyMode::kDirect : stored == 2 ? ProxyMode::kNamed : ProxyMode::kSystem;
}

void ApplyProxy(Inet& inet, ProxyMode mode, const std::string& server, const std::string& port) {
  inet.SetURL("");
  inet.SetAccessType(mode);
  if (inet.AccessType() == ProxyMode::kNamed && !server.empty() && !port.empty()) {
    inet.SetProxy(server + ":" + port);
  }
}

bool IsReplyLine(std::string_view line) {
  return line.size() >= 3 &&
         std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; });
}

void InetState::ClearResponse() {
  data.clear();
  data_pos = 0;
  code = 0;
  info.clear();
}

bool InetState::Fail(std::int32_t fail_code, std::string text) {
  // A failed request has no data: nothing of an earlier listing is handed out for it.
  data.clear();
  data_pos = 0;
  code = fail_code;
  info = EscapeControls(Scrub(std::move(text)));
  return false;
}

std::string InetState::Scrub(std::string text) const {
  SecretMask mask;
  mask.Add(password);
  // Logins in a URL go out in the Basic spelling too, the proxy's as well: a server or a proxy
  // may repeat either in its reply.
  std::vector<std::string> logins = settings.proxy_logins;
  logins.insert(logins.end(), {url, proxy});
  for (const std::string& login : logins) {
    const ServerUrl typed(login);
    if (typed.Valid()) mask.AddLogin(typed.User(), typed.Password());
  }
  return mask.Apply(std::move(text));
}

void InetState::Raise(bool ok) const {
  if (state_changed) state_changed(ok ? icResponseCompleted : icError);
}

bool InetState::PutChecked(const ServerUrl& server, const std::string& local,
                           const std::string& remote) {
  std::string bytes;
  if (!held_path.empty() && local == held_path) {
    bytes = std::move(held_bytes);
    held_path.clear();
    held_bytes.clear();
  } else {
    SafeFile file = OpenForReading(local);
    char buffer[1 << 16];
    long n = file.is_open() ? 0 : -1;
    while (file.is_open() && (n = file.Read(buffer, sizeof buffer)) > 0) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    // A folder is refused at the open: it would read as nothing and empty the remote file.
    if (n < 0)
      return Fail(kReadError, "Datei nicht lesbar: " + local + " (" + file.ErrorText() + ")");
  }
  const long long sent = static_cast<long long>(bytes.size());
  put_verified = false;
  if (!Put(server, std::move(bytes), remote)) return false;
  const long long kept = RemoteSize(server, remote);
  put_verified = kept >= 0;
  if (put_verified && kept != sent) {
    put_verified = false;
    return Fail(kPartialUpload, "Datei auf dem Server unvollständig: " + std::to_string(kept) +
                                    " von " + std::to_string(sent) + " Bytes");
  }
  return true;
}

Inet::Inet(TransferSettings settings) : impl_(MakeImpl()) { impl_->settings = std::move(settings); }
Inet::~Inet() = default;

void Inet::Cancel() { impl_->cancel = true; }

void Inet::SetURL(std::string url) { impl_->url = std::move(url); }
const std::string& Inet::URL() const { return impl_->url; }
void Inet::SetAccessType(ProxyMode mode) { impl_->access_type = mode; }
ProxyMode Inet::AccessType() const { return impl_->access_type; }
void Inet::SetProxy(std::string proxy) { impl_->proxy = std::move(proxy); }
const std::string& Inet::Proxy() const { return impl_->proxy; }
void Inet::SetProtocol(int protocol) { impl_->protocol = protocol; }
int Inet::Protocol() const { return impl_->protocol; }
void Inet::SetUserName(std::string user) { impl_->user = std::move(user); }
void Inet::SetPassword(std::string password) { impl_->password = std::move(password); }

std::int32_t Inet::ResponseCode() const { return impl_->code; }
const std::string& Inet::ResponseInfo() const { return impl_->info; }

std::string Inet::GetChunk(std::size_t size) {
  InetState& d = *impl_;
  std::string chunk = d.data.substr(std::min(d.data_pos, d.data.size()), size);
  d.data_pos += chunk.size();
  return chunk;
}

namespace {

// Cut short at a NUL or split at a line end, a password would not be the one typed, and what
// follows a line end would reach the server as commands of its own.
bool PasswordSendable(InetState& d, const ServerUrl& server) {
  return (SendableAsTyped(d.password) && SendableAsTyped(PercentDecode(server.Password()))) ||
         d.Fail(530, "Kennwort nicht sendbar: Zeilenende oder NUL-Zeichen darin");
}

}  // namespace

bool Inet::Execute(std::string_view url, std::string_view operation) {
  InetState& d = *impl_;
  d.cancel = false;
  d.ClearResponse();
  const ServerUrl server(url.empty() ? d.url : std::string(url));
  const std::optional<std::vector<std::string>> words = SplitCommand(operation);
  const std::string verb = words && !words->empty() ? Lowered((*words)[0]) : std::string();
  const bool put = verb == "put" && words->size() == 3;
  const bool dir = verb == "dir" && words->size() == 1;
  bool ok = false;
  if (put || dir) {
    ok = PasswordSendable(d, server) && d.Login(server) &&
         (put ? d.PutChecked(server, (*words)[1], (*words)[2]) : d.Dir(server));
  } else if (verb == "close" && words->size() == 1) {
    ok = d.Close();
  } else {
    ok = d.Fail(500, "500 Befehl nicht ausführbar: " + std::string(operation));
  }
  d.Raise(ok);
  return ok;
}

void Inet::HoldFile(std::string local, std::string bytes) {
  impl_->held_path = std::move(local);
  impl_->held_bytes = std::move(bytes);
}

bool Inet::PutVerified() const { return impl_->put_verified; }

void Inet::SetStateChanged(std::function<void(std::int16_t)> handler) {
  impl_->state_changed = std::move(handler);
}

void Inet::SetYieldHook(std::function<void()> hook) { impl_->yield = std::move(hook); }

}  // namespace pellvane
