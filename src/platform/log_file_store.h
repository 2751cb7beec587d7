#pragma once

#include <string>
#include <string_view>

namespace veltra::platform {

inline constexpr char kLogFileName[] = "VeltraConfig.log";

// The diagnostic log's file. It is opened and closed for every record, so a record is on disk
// as soon as Append returns.
class LogFileStore {
 public:
  virtual ~LogFileStore() = default;
  // Empty when the system offers no place for the log; the log is then off.
  virtual const std::string& Path() const = 0;
  // Removes the file. A missing file or any other failure is ignored.
  virtual void Delete() = 0;
  // Appends the bytes as they are, creating the file when missing. False when the record could
  // not be written.
  virtual bool Append(std::string_view record) = 0;
};

// The log file in the user's own state directory. The start-up delete and every append use it
// only in a folder of this user that no one else may write to, never through a symbolic link
// (folder or file), and never a file of another user, so another account can neither point it
// elsewhere nor read the records.
class PosixLogFileStore final : public LogFileStore {
 public:
  // The directory (created 0700 with any missing parents) is the path's parent.
  explicit PosixLogFileStore(std::string path) : path_(std::move(path)) {}

  // $XDG_STATE_HOME/veltra-config/VeltraConfig.log, else
  // $HOME/.local/state/veltra-config/VeltraConfig.log. Relative or empty values are ignored as
  // the XDG rules say; empty when neither gives a path. Null pointers count as unset.
  static std::string PathFromEnvironment(const char* xdgStateHome, const char* home);
  static std::string DefaultPath();

  const std::string& Path() const override { return path_; }
  void Delete() override;
  bool Append(std::string_view record) override;

 private:
  std::string path_;
};

}  // namespace veltra::platform
