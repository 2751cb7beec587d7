#include "cli/report_numbers.h"

#include <cstdio>

namespace veltra::cli {

std::string VolumeDbText(int16_t word) {
  // Eight fraction bits: at most three integer and eight decimal digits, all exact.
  char text[32];
  std::snprintf(text, sizeof text, "%.11g", word / 256.0);
  return text;
}

std::string HexText(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

}  // namespace veltra::cli
