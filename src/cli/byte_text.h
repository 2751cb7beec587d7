#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltra::cli {

// Bytes as JSON text carries them: hexadecimal (two digits a byte) or base64 (RFC 4648, with
// padding). Reading is strict: anything else, white space included, is refused.
std::string ToHex(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> FromHex(std::string_view text);
std::string ToBase64(std::span<const uint8_t> bytes);
std::optional<std::vector<uint8_t>> FromBase64(std::string_view text);

}  // namespace veltra::cli
