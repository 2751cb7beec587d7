#pragma once

#include <string>

#include "platform/log_file_store.h"

namespace veltra::win32 {

// The diagnostic log in the Windows directory's Temp folder: <Windows>\Temp\VeltraConfig.log.
// Records are written as a text-mode file writes them, each "\n" as "\r\n".
class Win32LogFileStore final : public platform::LogFileStore {
 public:
  explicit Win32LogFileStore(std::string path) : path_(std::move(path)) {}

  // The path for a Windows directory as GetWindowsDirectoryW reports it; empty when the whole
  // path would not fit 259 characters.
  static std::string PathForWindowsDirectory(const std::string& windowsDirectory);
  // For this system's Windows directory; empty when it cannot be had.
  static std::string DefaultPath();

  const std::string& Path() const override { return path_; }
  void Delete() override;
  bool Append(std::string_view record) override;

 private:
  std::string path_;
};

}  // namespace veltra::win32
