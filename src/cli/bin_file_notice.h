#pragma once

#include <optional>
#include <string>

#include "image/bin_file.h"

namespace veltra::cli {

// The warning for a .bin file that was not exactly the transfer length long: what the command
// did with it. nullopt for a file of the right length.
std::optional<std::string> BinFileFitNotice(const std::string& path, const image::BinFileRead& read,
                                            uint32_t transferLength);

}  // namespace veltra::cli
