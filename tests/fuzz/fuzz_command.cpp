// Any text through SplitCommand and ServerUrl: no crash, and split words quoted again by the
// upload command split back to themselves (an empty name is left out: it has no quoting).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "publish/publish_ip.h"
#include "transfer/ftp_command.h"
#include "transfer/server_url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const pellvane::ServerUrl url(text);
  (void)url.FileUrl(text);
  const auto words = pellvane::SplitCommand(text);
  if (!words || words->size() != 3 || (*words)[1].empty() || (*words)[2].empty()) return 0;
  const auto again = pellvane::SplitCommand(pellvane::UploadCommand((*words)[1], (*words)[2]));
  if (!again || (*again)[1] != (*words)[1] || (*again)[2] != (*words)[2]) std::abort();
  return 0;
}
