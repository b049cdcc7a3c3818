// The FTP publish: fill the FTP slot's template with the address and upload it, then list and
// close; and the decision whether the page on the server still shows what it should. A failed
// publish puts lastip back and stays due, so the next check publishes again.
// Not safe from two threads.
#pragma once

#include <optional>
#include <string>

#include "platform/file_system.h"
#include "platform/run_log.h"
#include "platform/text_field.h"
#include "settings/hp_reg.h"
#include "settings/publish_state.h"
#include "transfer/inet.h"

namespace pellvane {

// The texts of the FTP slot the pager shows.
struct FtpSlotBoxes {
  TextField& server;
  TextField& remote_file;
  TextField& user;
  TextField& password;
  TextField& template_file;
};

struct PublishContext {
  Inet& inet;
  Settings& settings;
  const RunLog& log;
  const std::string& program_folder;
  FileSystem& files;  // the template and the filled page
  FtpSlotBoxes slot;
  int slot_index;  // which FTP slot the boxes are, 0..4
  const std::string& cur_ip;
  const std::string& reported;  // the state-event handler's line for the latest request
  PublishState& state;          // what was published; due until the upload is done
};

struct PublishResult {
  bool ok = true;
  // Why it failed: "FTP fehlgeschlagen", with the first failed step in brackets.
  std::string failure;
};

// "put <local> <remote>"; a path with a blank, or that begins with a quote, goes in double
// quotes with its quotes doubled, so that any file name comes through SplitCommand whole.
std::string UploadCommand(const std::string& local, const std::string& remote);

// Why the slot's page must be published for `address` ("Template geändert", ...): forced, an
// earlier publish unfinished, or anything that decides the page or where it goes differs from
// what was last published. Nothing while FTP is off or when nothing differs; the template is read
// only when all else is the same.
std::optional<std::string> WhyPublish(const PublishContext& ctx, const std::string& address,
                                      bool force);

// Does nothing while FTP is off. `lastip_before` is lastip as it stood before the check that
// found the change; a failed publish stores it again and leaves the publish due. The page is
// written whole to a new file that replaces "tmp.htm" before the upload; what was published is
// recorded once it is uploaded.
PublishResult PublishIP(const PublishContext& ctx, const std::string& lastip_before);

}  // namespace pellvane
