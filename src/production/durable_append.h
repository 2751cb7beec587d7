#pragma once

#include <string>
#include <string_view>

namespace veltra::production {

// Appends text to the file at path (created when missing) in one write and syncs it to the disk
// before returning: a reader never sees part of it, and it survives a kill or a power cut once
// this returned. "" or the system's reason. What is not a regular file is refused.
std::string AppendDurably(const std::string& path, std::string_view text);

}  // namespace veltra::production
