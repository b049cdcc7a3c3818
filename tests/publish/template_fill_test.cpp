#include "publish/template_fill.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_dir.h"

namespace pellvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(ReplaceMarker, ReplacesEveryExactOccurrenceLeftToRight) {
  std::string line = "a'!!!***IP***!!!'b'!!!***IP***!!!'";
  EXPECT_EQ(ReplaceMarker(line, "1.2.3.4", kIpMarker), "a1.2.3.4b1.2.3.4");
  EXPECT_EQ(line, "a1.2.3.4b1.2.3.4");  // the caller's line holds the filled text too

  std::string unquoted = "!!!***IP***!!! '!!!***ip***!!!'";
  EXPECT_EQ(ReplaceMarker(unquoted, "1.2.3.4", kIpMarker), "!!!***IP***!!! '!!!***ip***!!!'");
}

TEST(ReplaceMarker, HasNoPositionLimitAndSurvivesAnEmptyMarker) {
  std::string line(70000, 'x');
  line += kIpMarker;
  EXPECT_EQ(ReplaceMarker(line, "9.9.9.9", kIpMarker), std::string(70000, 'x') + "9.9.9.9");
  std::string text = "abc";
  EXPECT_EQ(ReplaceMarker(text, "1.1.1.1", ""), "abc");
}

struct FillCase {
  const char* name;
  std::string in;
  std::string out;
};

class FillTemplateTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillTemplateTest, WritesLinesEndingInCrCrLf) {
  TempDir dir;
  WriteFile(dir.File("t.html"), GetParam().in);
  ASSERT_EQ(FillTemplate(dir.File("t.html"), dir.File("tmp.htm"), "1.2.3.4", kIpMarker),
            FillResult::kOk);
  EXPECT_EQ(ReadFile(dir.File("tmp.htm")), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Templates, FillTemplateTest,
    ::testing::Values(FillCase{"Empty", "", ""},
                      FillCase{"NoMarkerCrLf", "<p>\r\nx\r\n", "<p>\r\r\nx\r\r\n"},
                      FillCase{"LastLineWithoutEnd", "a\r\nb", "a\r\r\nb\r\r\n"},
                      FillCase{"LoneCrEndsLine", "a\rb\r", "a\r\r\nb\r\r\n"},
                      FillCase{"BareLfStaysInLine", "a\nb\n", "a\nb\n\r\r\n"},
                      FillCase{"EmptyLinesKept", "\r\n\r\n", "\r\r\n\r\r\n"},
                      FillCase{"CrCrLf", "a\r\r\n", "a\r\r\n\r\r\n"},
                      FillCase{"Markers",
                               "<b>'!!!***IP***!!!'</b>\r\n'!!!***IP***!!!''!!!***IP***!!!'",
                               "<b>1.2.3.4</b>\r\r\n1.2.3.41.2.3.4\r\r\n"},
                      FillCase{"BytesPassUnchanged", std::string("\xe4\xf6\0\xff\r\n\xc3\xa4", 8),
                               std::string("\xe4\xf6\0\xff\r\r\n\xc3\xa4\r\r\n", 12)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FillTemplate, UnreadableTemplateLeavesTheOldPageUntouched) {
  TempDir dir;
  WriteFile(dir.File("tmp.htm"), "old page");
  EXPECT_EQ(FillTemplate(dir.File("missing.html"), dir.File("tmp.htm"), "1.2.3.4", kIpMarker),
            FillResult::kTemplateUnreadable);
  EXPECT_EQ(FillTemplate(dir.path(), dir.File("tmp.htm"), "1.2.3.4", kIpMarker),
            FillResult::kTemplateUnreadable);  // a folder is no template
  EXPECT_EQ(ReadFile(dir.File("tmp.htm")), "old page");
}

TEST(FillTemplate, UnwritableOutputIsReported) {
  TempDir dir;
  WriteFile(dir.File("t.html"), "x");
  mkdir(dir.File("tmp.htm").c_str(), 0700);  // a folder where the page should go
  EXPECT_EQ(FillTemplate(dir.File("t.html"), dir.File("tmp.htm"), "1.2.3.4", kIpMarker),
            FillResult::kOutputUnwritable);
  EXPECT_EQ(FillTemplate(dir.File("t.html"), "/dev/full", "1.2.3.4", kIpMarker),
            FillResult::kOutputUnwritable);
}

TEST(FillTemplate, RunsAgainOnTheSameOutputAndOverwritesIt) {
  TempDir dir;
  WriteFile(dir.File("t.html"), "'!!!***IP***!!!'");
  for (const char* ip : {"1.1.1.1", "2.2.2.2"}) {
    ASSERT_EQ(FillTemplate(dir.File("t.html"), dir.File("tmp.htm"), ip, kIpMarker),
              FillResult::kOk);
  }
  EXPECT_EQ(ReadFile(dir.File("tmp.htm")), "2.2.2.2\r\r\n");
}

}  // namespace
}  // namespace pellvane
