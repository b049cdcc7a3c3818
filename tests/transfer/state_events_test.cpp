// The state handler on real requests: a failure goes into a message box (not in the -now
// run) and into the log as "<code> : <info>"; a completed request's data is read away in
// chunks with pending events let run after each.
#include "transfer/state_events.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "support/recording_dialogs.h"
#include "support/servers.h"
#include "support/temp_dir.h"
#include "transfer/scoped_env.h"

namespace pellvane {
namespace {

using testing::ReadFile;

constexpr std::time_t kNoon = 1796558400;  // 2026-12-06 12:00:00 UTC

class StateEventsTest : public ::testing::Test {
 protected:
  StateEventsTest() {
    env_.UnsetProxies();
    echo_.Serve("/ip", "203.0.113.7");
  }

  void Fetch(const std::string& path) {
    inet_.SetURL(echo_.Url(path));
    inet_.OpenURL();
  }
  void Handle(std::int16_t state, bool unattended) {
    HandleStateChanged(state, inet_, unattended, log_, dialogs_, [this] { ++yields_; });
  }
  // What the log holds for these texts, one line each.
  static std::string Lines(const std::vector<std::string>& texts) {
    std::string lines;
    for (const std::string& text : texts) lines += FormatTimestamp(kNoon) + " - " + text + "\r\n";
    return lines;
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto& box : dialogs_.boxes) texts.push_back(box.first);
    return texts;
  }

  testing::ScopedEnv env_;
  testing::TempDir dir_;
  FixedClock clock_{kNoon};
  bool writelog_ = true;
  RunLog log_{dir_.File("pellvane.log"), clock_, writelog_};
  testing::RecordingDialogs dialogs_;
  testing::EchoServer echo_;
  Inet inet_;
  int yields_ = 0;
};

struct EventCase {
  const char* name;
  const char* path;  // the request before the event
  std::int16_t state;
  bool unattended;
  bool reported;  // a box unless unattended, and a log line
  int yields;
};

void PrintTo(const EventCase& c, std::ostream* os) { *os << c.name; }

class StateEventsCaseTest : public StateEventsTest,
                            public ::testing::WithParamInterface<EventCase> {};

TEST_P(StateEventsCaseTest, ReportsFailuresAndReadsCompletedData) {
  const EventCase& c = GetParam();
  Fetch(c.path);
  Handle(c.state, c.unattended);
  const std::string text = std::to_string(inet_.ResponseCode()) + " : " + inet_.ResponseInfo();
  EXPECT_EQ(Boxes(), c.reported && !c.unattended ? std::vector<std::string>{text}
                                                 : std::vector<std::string>{});
  EXPECT_EQ(ReadFile(log_.path()), c.reported ? Lines({text}) : "");
  EXPECT_EQ(yields_, c.yields);
}

// A completed request without data still takes two chunks, each followed by a yield.
INSTANTIATE_TEST_SUITE_P(
    Events, StateEventsCaseTest,
    ::testing::Values(
        EventCase{"ErrorShown", "/missing", icError, false, true, 0},
        EventCase{"ErrorUnattendedLoggedOnly", "/missing", icError, true, true, 0},
        EventCase{"CompletedWithErrorCode", "/ip?status=500", icResponseCompleted, false, true, 2},
        EventCase{"OtherStateWithErrorCode", "/missing", 8, false, true, 0},
        EventCase{"CompletedWithoutError", "/ip", icResponseCompleted, false, false, 2},
        EventCase{"CompletedUnattended", "/ip", icResponseCompleted, true, false, 2},
        EventCase{"ErrorStateWithoutCode", "/ip", icError, false, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StateEventsTest, WiredToTheComponentReportsTheStatusLine) {
  inet_.SetStateChanged([this](std::int16_t state) { Handle(state, false); });
  Fetch("/missing");
  Fetch("/ip");
  EXPECT_EQ(Boxes(), std::vector<std::string>{"404 : HTTP/1.1 404 Not Found"});
  EXPECT_EQ(ReadFile(log_.path()), Lines({"404 : HTTP/1.1 404 Not Found"}));
  EXPECT_EQ(yields_, 2) << "only the completed fetch reads data";
}

TEST_F(StateEventsTest, LogLineIsBuiltAgainAfterTheBox) {
  // A request handled while the box is open changes what the component says.
  class ReentrantDialogs final : public Dialogs {
   public:
    explicit ReentrantDialogs(std::function<void()> on_box) : on_box_(std::move(on_box)) {}
    void MsgBox(const std::string& text, MsgKind) override {
      boxes.push_back(text);
      on_box_();
    }
    std::optional<std::string> ChooseFile(const FileChooserRequest&) override { return {}; }
    void OpenUrl(const std::string&) override {}
    void OpenInEditor(const std::string&) override {}
    std::vector<std::string> boxes;

   private:
    std::function<void()> on_box_;
  } dialogs([this] { Fetch("/ip?status=500"); });
  Fetch("/missing");
  HandleStateChanged(icError, inet_, false, log_, dialogs, [] {});
  EXPECT_EQ(dialogs.boxes, std::vector<std::string>{"404 : HTTP/1.1 404 Not Found"});
  EXPECT_EQ(ReadFile(log_.path()), Lines({"500 : HTTP/1.1 500 Internal Server Error"}));
}

TEST_F(StateEventsTest, ListingIsReadAwayChunkByChunk) {
  testing::FtpServer ftp;
  for (int i = 0; i < 50; ++i) {
    testing::WriteFile(ftp.root() + "/page-with-a-long-enough-name-" + std::to_string(i), "x");
  }
  inet_.SetURL(ftp.Url());
  inet_.SetUserName("pell");
  inet_.SetPassword("vane");
  ASSERT_TRUE(inet_.Execute("", "dir"));
  std::size_t size = 0;
  for (std::string chunk = inet_.GetChunk(1024); !chunk.empty(); chunk = inet_.GetChunk(1024)) {
    size += chunk.size();
  }
  ASSERT_GT(size, 2048u);
  ASSERT_TRUE(inet_.Execute("", "dir"));
  Handle(icResponseCompleted, false);
  EXPECT_EQ(yields_, static_cast<int>((size + 1023) / 1024) + 1);
  EXPECT_EQ(inet_.GetChunk(1024), "") << "all of it was read";
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_EQ(ReadFile(log_.path()), "");
}

}  // namespace
}  // namespace pellvane
