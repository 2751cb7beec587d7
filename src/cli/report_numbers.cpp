#include "cli/report_numbers.h"

#include <cstdio>

#include "eq/gain_code.h"

namespace veltra::cli {

std::string VolumeDbText(int16_t word) {
  // Eight fraction bits: at most three integer and eight decimal digits, all exact.
  char text[32];
  std::snprintf(text, sizeof text, "%.11g", word / 256.0);
  return text;
}

std::string GainDbText(uint8_t code) {
  return eq::FormatGainDb(eq::GainCodeToDb(code));
}

std::string ToneMaximumDbText(uint8_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", ((code & 0x7F) - 24) / 2.0);
  return text;
}

std::string HexText(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

}  // namespace veltra::cli
