#include <gtest/gtest.h>

#include <string>

#include "production/serial_text.h"

namespace veltra::production {
namespace {

TEST(SerialText, PrintableAsciiWithoutBlanksOrCommasUpTo31) {
  EXPECT_EQ(SerialTextProblem("VH-0001_a/b#~"), "");
  EXPECT_EQ(SerialTextProblem(std::string(31, 'x')), "");
  for (const std::string& bad :
       std::initializer_list<std::string>{"", "VH 1", "VH,1", "VH\t1", "caf\xC3\xA9",
                                          std::string(32, 'x'), std::string("a\0b", 3)}) {
    EXPECT_NE(SerialTextProblem(bad), "") << bad;
    EXPECT_EQ(SerialTextProblem(bad).find_first_of("\n\t"), std::string::npos);
  }
}

}  // namespace
}  // namespace veltra::production
