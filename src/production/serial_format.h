#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltra::production {

// A serial made of a number: text with exactly one %u conversion, optionally with a 0 flag and a
// width ("VT-%06u"); "%%" is a percent sign.
struct SerialFormat {
  std::string text;  // as given
  std::string before;
  std::string after;
  bool zeroPad = false;
  unsigned width = 0;

  // nullopt with the reason in error when text is not such a format.
  static std::optional<SerialFormat> Parse(std::string_view text, std::string& error);
  std::string Format(uint64_t number) const;
  // The number of a serial of this format ("VT-000017" -> 17); nullopt when it is not one.
  std::optional<uint64_t> NumberOf(std::string_view serial) const;
  // The largest number whose serial keeps to the width and fits a serial's length (a number
  // past the width would make serials of another length, which sort and compare apart from
  // the others); nullopt when not even one digit fits.
  std::optional<uint64_t> LastNumber() const;
  // The characters around the number.
  size_t fixed() const { return before.size() + after.size(); }
};

}  // namespace veltra::production
