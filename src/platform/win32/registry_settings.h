#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace veltra::win32 {

// 32-bit values of one key under the current user's registry root, read in the 64-bit view.
// The key is created, empty and non-volatile, when it does not exist. A value that is absent,
// or longer than 4 bytes, reads as nullopt; so does every value when the key cannot be opened.
// The values' registry types are not checked.
std::vector<std::optional<uint32_t>> ReadUserDwordValues(std::wstring_view keyPath,
                                                         std::span<const std::wstring_view> names);

}  // namespace veltra::win32
