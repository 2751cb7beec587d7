#include <gtest/gtest.h>

#include <string>

#include "production/serial_text.h"

namespace veltra::production {
namespace {

TEST(SerialText, PrintableAsciiWithoutBlanksOrCommasUpTo31) {
  EXPECT_EQ(CheckSerialText("VH-0001_a/b#~"), "");
  EXPECT_EQ(CheckSerialText(std::string(31, 'x')), "");
  for (const std::string& bad :
       std::initializer_list<std::string>{"", "VH 1", "VH,1", "VH\t1", "caf\xC3\xA9",
                                          std::string(32, 'x'), std::string("a\0b", 3)}) {
    EXPECT_NE(CheckSerialText(bad), "") << bad;
    EXPECT_EQ(CheckSerialText(bad).find_first_of("\n\t"), std::string::npos);
  }
}

}  // namespace
}  // namespace veltra::production
