#pragma once

#include <string>
#include <string_view>

namespace veltra::production {

// Appends text to the user's file at path (made when missing, with the permission bits of the
// file at permissionsOf where given) in one write, header first into an empty file, and syncs it
// before returning: a reader never sees part of it, it survives a kill or a power cut once this
// returned, and an append that failed left the file as it was. "" or the system's reason; what
// is not a regular file, and another user's link in a sticky world-writable folder, are refused.
std::string AppendDurably(const std::string& path, std::string_view text,
                          std::string_view header = {}, const std::string& permissionsOf = {});

}  // namespace veltra::production
