#include "transfer/ftp_command.h"

#include <gtest/gtest.h>

namespace pellvane {
namespace {

using Words = std::vector<std::string>;

struct SplitCase {
  const char* name;
  const char* command;
  std::optional<Words> words;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

class SplitCommandTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandTest, SplitsIntoWords) {
  EXPECT_EQ(SplitCommand(GetParam().command), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SplitCommandTest,
    ::testing::Values(SplitCase{"Put", "put /tmp/tmp.htm index.htm",
                                Words{"put", "/tmp/tmp.htm", "index.htm"}},
                      SplitCase{"Dir", "dir", Words{"dir"}}, SplitCase{"Empty", "", Words{}},
                      SplitCase{"BlanksOnly", "   ", Words{}},
                      SplitCase{"ExtraBlanks", "  put   a  b  ", Words{"put", "a", "b"}},
                      SplitCase{"QuotedWithBlanks", "put \"/home/a b/tmp.htm\" \"my page.htm\"",
                                Words{"put", "/home/a b/tmp.htm", "my page.htm"}},
                      SplitCase{"QuotedLast", "put a \"b c\"", Words{"put", "a", "b c"}},
                      SplitCase{"EmptyQuoted", "put \"\" b", Words{"put", "", "b"}},
                      SplitCase{"OpenQuote", "put \"/home/a b/tmp.htm index.htm", std::nullopt},
                      SplitCase{"QuoteRunsIntoWord", "put \"a\"b c", std::nullopt},
                      SplitCase{"QuoteInsideWord", "put a\"b c", Words{"put", "a\"b", "c"}},
                      SplitCase{"DoubledQuote", "put \"a\"\"b\" c", Words{"put", "a\"b", "c"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pellvane
