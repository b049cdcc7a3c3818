#include "transfer/inet.h"

#include <algorithm>

#include "transfer/inet_state.h"
#include "transfer/secret_text.h"
#include "transfer/server_url.h"

namespace pellvane {

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

void Inet::Cancel() { state().cancel = true; }

void Inet::SetURL(std::string url) { state().url = std::move(url); }
const std::string& Inet::URL() const { return state().url; }
void Inet::SetAccessType(int access_type) { state().access_type = access_type; }
int Inet::AccessType() const { return state().access_type; }
void Inet::SetProxy(std::string proxy) { state().proxy = std::move(proxy); }
const std::string& Inet::Proxy() const { return state().proxy; }
void Inet::SetProtocol(int protocol) { state().protocol = protocol; }
int Inet::Protocol() const { return state().protocol; }
void Inet::SetUserName(std::string user) { state().user = std::move(user); }
void Inet::SetPassword(std::string password) { state().password = std::move(password); }

std::int32_t Inet::ResponseCode() const { return state().code; }
const std::string& Inet::ResponseInfo() const { return state().info; }

std::string Inet::GetChunk(std::size_t size) {
  InetState& d = state();
  std::string chunk = d.data.substr(std::min(d.data_pos, d.data.size()), size);
  d.data_pos += chunk.size();
  return chunk;
}

void Inet::SetStateChanged(std::function<void(std::int16_t)> handler) {
  state().state_changed = std::move(handler);
}

void Inet::SetYieldHook(std::function<void()> hook) { state().yield = std::move(hook); }

}  // namespace pellvane
