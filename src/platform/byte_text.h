#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltra::platform {

// Bytes as text: hexadecimal (two upper-case digits a byte, as traces and documents write them)
// or base64 (RFC 4648, with padding). Reading is strict: anything else, white space included, is
// refused; hexadecimal digits may be lower case.
std::string ToHex(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> FromHex(std::string_view text);
std::string ToBase64(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> FromBase64(std::string_view text);

// A number in upper-case hexadecimal, with leading zeros to at least digits digits: "5A52".
std::string HexText(uint32_t value, int digits);

}  // namespace veltra::platform
