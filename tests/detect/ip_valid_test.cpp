// The address test: four numbers of ASCII digits, 0..255, first and last not 0, nothing else.
#include "detect/ip_valid.h"

#include <gtest/gtest.h>

namespace pellvane {
namespace {

TEST(IsIPValidTest, AcceptsOnlyFourNumbersSeparatedByDots) {
  for (const char* text : {"192.168.1.10", "1.0.0.1", "255.255.255.255", "001.002.003.004"}) {
    EXPECT_TRUE(IsIPValid(text)) << text;
  }
  for (const char* text :
       {"0.1.2.3",        "1.2.3.0",    "000.1.1.1", "1.1.1.00",  "256.1.1.1",   "1.1.1.999",
        "1.2.3.0001",     "-1.2.3.4",   "",          "1234",      "1.2.3",       "1.2.3.4.5",
        "1..3.4",         ".1.2.3",     "1.2.3.",    "1.2.3.4\n", "1.2.3.4\r\n", " 1.2.3.4",
        "1.2.3. 4",       "+1.2.3.4",   "1e2.1.1.1", "1,5.1.1.1", "0x1.1.1.1",   "\xd9\xa1.1.1.1",
        "<b>1.2.3.4</b>", "IP: 1.2.3.4"}) {
    EXPECT_FALSE(IsIPValid(text)) << text;
  }
  EXPECT_FALSE(IsIPValid(std::string("1.2.3.4\0", 8)));
}

}  // namespace
}  // namespace pellvane
