#include "transfer/state_events.h"

#include <string>

namespace pellvane {
namespace {

constexpr std::size_t kChunkSize = 1024;

std::string ResponseText(const Inet& inet) {
  return std::to_string(inet.ResponseCode()) + " : " + inet.ResponseInfo();
}

}  // namespace

std::string HandleStateChanged(std::int16_t state, Inet& inet, bool unattended, const RunLog& log,
                               Dialogs& dialogs, const std::function<void()>& yield) {
  std::string reported;
  if (inet.ResponseCode() != 0) {
    if (!unattended) dialogs.MsgBox(ResponseText(inet));
    // Built again: the box may have let other events change the component meanwhile.
    reported = ResponseText(inet);
    log.WriteLog(reported);
  }
  if (state != icResponseCompleted) return reported;
  // Nobody needs the listing; it is read away so that the component is ready again. After
  // the first chunk one more is always taken, so a request without data costs two calls too.
  inet.GetChunk(kChunkSize);
  yield();
  std::string chunk;
  do {
    chunk = inet.GetChunk(kChunkSize);
    yield();
  } while (!chunk.empty());
  return reported;
}

}  // namespace pellvane
