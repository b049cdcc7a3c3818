// Templates far larger than one read: markers and line ends that straddle the reads.
#include <gtest/gtest.h>

#include "publish/template_fill.h"
#include "support/temp_dir.h"

namespace pellvane {
namespace {

constexpr std::size_t kRead = 1 << 16;  // what one read takes; the cases sit on its edge
const std::string kMarker(kIpMarker);

struct Case {
  const char* name;
  std::string in;
  std::string out;
};

TEST(TemplateStream, PiecesAcrossReadsFillAsOneLine) {
  const std::string a(kRead - 5, 'a'), b(kRead - 1, 'b'), c(kRead - 7, 'c');
  const Case cases[] = {
      {"marker across", a + kMarker + "\r\n", a + "9.9.9.9\r\r\n"},
      {"CR LF across", b + "\r\nx", b + "\r\r\nx\r\r\n"},
      {"lone CR at the edge", b + "\ry", b + "\r\r\ny\r\r\n"},
      {"marker start only", c + kMarker.substr(0, 9) + "z", c + kMarker.substr(0, 9) + "z\r\r\n"},
  };
  for (const Case& k : cases) {
    testing::TempDir dir;
    testing::WriteFile(dir.File("t.htm"), k.in);
    ASSERT_EQ(FillTemplate(dir.File("t.htm"), dir.File("tmp.htm"), "9.9.9.9", kIpMarker),
              FillResult::kOk)
        << k.name;
    EXPECT_TRUE(testing::ReadFile(dir.File("tmp.htm")) == k.out) << k.name;
  }
}

}  // namespace
}  // namespace pellvane
