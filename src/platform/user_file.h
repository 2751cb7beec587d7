#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A user's file the tool reads, or appends to, on the user's behalf (a log, a journal, a counter
// it reads before replacing): links followed under the rule FileReplacement keeps for shared
// folders, only a regular file taken, and an append that fails leaves the file as it was.
namespace veltra::platform {

class UserFile {
 public:
  enum class Access { kRead, kAppend };

  UserFile() = default;
  ~UserFile();
  UserFile(const UserFile&) = delete;
  UserFile& operator=(const UserFile&) = delete;

  // "" when path is open, else the reason: the system's, kForeignLink, kNotRegularFile (a device,
  // a pipe, a folder: never read without end, never made or cut). With create, a missing file is
  // made for kAppend with the permission bits of the file at permissionsOf where that exists (a
  // journal no wider than the file it serves) and as any new file otherwise.
  std::string Open(const std::string& path, Access access, bool create = false,
                   const std::string& permissionsOf = {});
  // Whether Open(path, kAppend, true) would succeed, found without making or touching anything:
  // the file can be appended to, or, missing, made in its folder. "" or the reason.
  static std::string CanAppend(const std::string& path);

  // The whole file at path into text, when it holds at most maxBytes: "" or the reason. missing:
  // there is no such file (the reason is then the system's).
  static std::string ReadAll(const std::string& path, size_t maxBytes, std::string& text,
                             bool& missing);

  // The file did not exist (and was not made).
  bool Missing() const { return missing_; }
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

  // The file's length now; 0 when it cannot be told.
  uint64_t Length() const;
  // Its bytes from offset to the end into text: "" or the reason. More than maxBytes is refused
  // (TooLargeText), so that a file never takes memory without bound.
  std::string ReadFrom(uint64_t offset, size_t maxBytes, std::string& text);
  // At most count bytes from offset (fewer at the end): "" or the reason.
  std::string Read(uint64_t offset, size_t count, std::string& text);

  // Appends text in one write, with header before it when the file is empty, and syncs it to
  // the disk, holding the file's lock meanwhile, so appends of several processes never
  // interleave. When the write or the sync fails (a full disk, a short write), the file is cut
  // back to its length before: "" or the reason.
  std::string Append(std::string_view text, std::string_view header = {});

 private:
  int fd_ = -1;
  bool missing_ = false;
};

// The reason ReadFrom gives for a file of more than maxBytes.
std::string TooLargeText(size_t maxBytes);

}  // namespace veltra::platform
