// The FTP publish: fill the visible FTP slot's template with the address and upload it,
// then list and close. A failed publish puts lastip back, so the next check publishes again.
// Not safe from two threads.
#pragma once

#include <string>

#include "detect/publish_due.h"
#include "platform/file_system.h"
#include "platform/run_log.h"
#include "platform/text_field.h"
#include "settings/hp_reg.h"
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
  const std::string& cur_ip;
  PublishDue& due;  // cleared once the page is uploaded
};

// "put <local> <remote>"; a path with a blank, or that begins with a quote, goes in double
// quotes with its quotes doubled, so that any file name comes through SplitCommand whole.
std::string UploadCommand(const std::string& local, const std::string& remote);

// Does nothing while FTP is off. `lastip_before` is lastip as it stood before the check that
// found the change; a failed publish stores it again and leaves the publish due. The page is
// written whole to a new file that replaces "tmp.htm" before the upload. True unless the publish
// failed.
bool PublishIP(const PublishContext& ctx, const std::string& lastip_before);

}  // namespace pellvane
