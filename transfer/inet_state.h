// What the transfer component holds whichever library does the work: its properties, the last
// response, the caller's hooks. Each backend's Inet::Impl builds on it. Not safe from two
// threads, except `cancel`.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "transfer/inet.h"

namespace pellvane {

struct InetState {
  // Ends a request as failed: no data, `fail_code`, and `text` with the passwords masked and
  // control characters escaped (it may carry a server's reply). Returns false.
  bool Fail(std::int32_t fail_code, std::string text);
  // The text with the password and the one in URL() masked.
  std::string Scrub(std::string text) const;
  // Forgets the last response: no data, code 0, no text.
  void ClearResponse();
  // Raises StateChanged for a request that ended.
  void Raise(bool ok) const;

  std::string url, proxy, user, password;
  int access_type = 0;
  int protocol = icDefault;
  TransferSettings settings;
  std::atomic<bool> cancel{false};
  std::function<void(std::int16_t)> state_changed;
  std::function<void()> yield;

  std::int32_t code = 0;
  std::string info;
  std::string data;  // what GetChunk hands out
  std::size_t data_pos = 0;
};

}  // namespace pellvane
