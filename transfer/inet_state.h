// What the transfer component holds whichever library does the work (its properties, the last
// response, the caller's hooks) and the few FTP steps each library provides; each backend's
// Inet::Impl builds on it. Not safe from two threads, except `cancel`.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "transfer/inet.h"
#include "transfer/server_url.h"

namespace pellvane {

// True when the line begins with a three-digit code, as a server's reply does.
bool IsReplyLine(std::string_view line);

// Codes of failures the component finds itself, as libcurl numbers them.
inline constexpr std::int32_t kPartialUpload = 18;  // the server kept another size
inline constexpr std::int32_t kReadError = 26;      // the local file cannot be read

struct InetState {
  virtual ~InetState() = default;

  // The library's FTP steps; each ends failed through Fail. Login makes `server` ready for Put
  // and Dir (or finds it ready), or says why it cannot be reached.
  virtual bool Login(const ServerUrl& server) = 0;
  virtual bool Put(const ServerUrl& server, std::string bytes, const std::string& remote) = 0;
  // The size of the remote file as the server tells it after a put; -1 when it cannot tell.
  // Leaves the response as it found it.
  virtual long long RemoteSize(const ServerUrl& server, const std::string& remote) = 0;
  // Leaves the listing of the folder relative names start in as the response data.
  virtual bool Dir(const ServerUrl& server) = 0;
  // Ends the login.
  virtual bool Close() = 0;

  // Ends a request as failed: no data, `fail_code`, and `text` with the passwords masked and
  // control characters escaped (it may carry a server's reply). Returns false.
  bool Fail(std::int32_t fail_code, std::string text);
  // The text with the password and the one in URL() masked.
  std::string Scrub(std::string text) const;
  // Forgets the last response: no data, code 0, no text.
  void ClearResponse();
  // Raises StateChanged for a request that ended.
  void Raise(bool ok) const;
  // Sends the held bytes, or the local file, then compares the size the server kept.
  bool PutChecked(const ServerUrl& server, const std::string& local, const std::string& remote);

  std::string url, proxy, user, password;
  ProxyMode access_type = ProxyMode::kSystem;
  int protocol = icDefault;
  TransferSettings settings;
  std::atomic<bool> cancel{false};
  std::function<void(std::int16_t)> state_changed;
  std::function<void()> yield;

  std::int32_t code = 0;
  std::string info;
  std::string data;  // what GetChunk hands out
  std::size_t data_pos = 0;

  std::string held_path, held_bytes;  // HoldFile's
  bool put_verified = false;
};

}  // namespace pellvane
