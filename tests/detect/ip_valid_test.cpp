#include "detect/ip_valid.h"

#include <gtest/gtest.h>

#include <string>

namespace pellvane {
namespace {

struct Case {
  std::string text;
  bool valid;
};

class IsIPValidTest : public ::testing::TestWithParam<Case> {};

TEST_P(IsIPValidTest, Judges) { EXPECT_EQ(IsIPValid(GetParam().text), GetParam().valid); }

INSTANTIATE_TEST_SUITE_P(
    Texts, IsIPValidTest,
    ::testing::Values(
        // accepted forms
        Case{"192.168.1.10", true}, Case{"1.0.0.1", true}, Case{"255.255.255.255", true},
        Case{"001.002.003.004", true}, Case{"9.9.9.9", true},
        // first or last number 0
        Case{"0.1.2.3", false}, Case{"1.2.3.0", false}, Case{"000.1.1.1", false},
        Case{"1.1.1.00", false}, Case{"0.0.0.0", false},
        // range and length
        Case{"256.1.1.1", false}, Case{"1.1.1.999", false}, Case{"1.2.3.0001", false},
        Case{"-1.2.3.4", false}, Case{"1.-2.3.4", false},
        // number of pieces and empty pieces
        Case{"", false}, Case{"1234", false}, Case{"1.2.3", false}, Case{"1.2.3.4.5", false},
        Case{"1..3.4", false}, Case{".1.2.3", false}, Case{"1.2.3.", false}, Case{"...", false},
        // nothing but ASCII digits: no blanks, signs, exponents, decimal commas or line ends
        Case{"1.2.3.4\n", false}, Case{"1.2.3.4\r\n", false}, Case{" 1.2.3.4", false},
        Case{"1.2.3. 4", false}, Case{"+1.2.3.4", false}, Case{"1e2.1.1.1", false},
        Case{"1,5.1.1.1", false}, Case{"a.b.c.d", false}, Case{"0x1.1.1.1", false},
        Case{std::string("1.2.3.4\0", 8), false}, Case{"\xd9\xa1.1.1.1", false},
        Case{"<html>1.2.3.4</html>", false}, Case{"IP: 84.12.3.4", false}));

}  // namespace
}  // namespace pellvane
