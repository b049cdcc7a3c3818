// What the page on the server was last published from, and whether a publish is still due: one
// value, "page", under the settings key's sub-key "Status", in the store every copy of the
// program shares. It is written whole, as one committed value, and never by the 41 settings'
// load, save or backup. Not safe from two threads; runs are kept apart by the run lock.
#pragma once

#include <optional>
#include <string>

#include "platform/registry.h"

namespace pellvane {

// The sub-key of the settings key and the value the status lives in.
inline const std::string kStatusKeyName = "Status";
inline const std::string kStatusValueName = "page";

// Everything that decides the page and where it goes.
struct PageFacts {
  std::string address;
  std::string page;    // a digest of the filled page
  std::string server;  // the FTP server as uploaded to, without its password
  std::string user;
  std::string remote;  // the remote file name
  int slot = 0;        // the FTP slot, 0..4
  bool operator==(const PageFacts&) const = default;
};

struct PublishStatus {
  // A publish was begun (a new address may already be stored) and has not finished.
  bool due = false;
  // What the last finished publish sent; nothing before the first one.
  std::optional<PageFacts> published;
};

// The status as stored now; a store without it, or one that cannot be read, reads as nothing
// due and nothing published. For anyone who wants to show it, too.
PublishStatus ReadPublishStatus(Registry& registry);

// Keeps the status of one run: read at construction, each change written at once.
class PublishState {
 public:
  explicit PublishState(Registry& registry)
      : registry_(registry), status_(ReadPublishStatus(registry)) {}

  const PublishStatus& status() const { return status_; }
  // Marks a publish as due, durably; false when the mark could not be written.
  bool SetDue();
  // Records a finished publish; nothing is due afterwards.
  bool SetPublished(const PageFacts& facts);

 private:
  bool Write();

  Registry& registry_;
  PublishStatus status_;
};

}  // namespace pellvane
