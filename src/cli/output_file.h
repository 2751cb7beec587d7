#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace veltra::cli {

// An output file opened before a long transfer, so that a path that cannot be written fails
// before the transfer starts, and written only when the transfer has succeeded. An existing
// file is not touched until Commit; a file this object created is removed again unless Commit
// succeeded, and one that Commit could not write completely is removed too.
class PendingOutputFile {
 public:
  PendingOutputFile() = default;
  ~PendingOutputFile();
  PendingOutputFile(const PendingOutputFile&) = delete;
  PendingOutputFile& operator=(const PendingOutputFile&) = delete;

  // "" or "<file>: <reason>".
  std::string Open(const std::string& path);
  // Replaces the file's contents with bytes. "" or "<file>: <reason>".
  std::string Commit(std::span<const uint8_t> bytes);

 private:
  void Discard();

  std::string path_;
  int descriptor_ = -1;
  bool created_ = false;
};

}  // namespace veltra::cli
