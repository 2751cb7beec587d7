#include "cli/output_target.h"

namespace veltra::cli {

std::string OutputTarget::Open(const std::optional<std::string>& path) {
  path_ = path && *path != "-" ? *path : "";
  if (path_.empty()) return "";
  const std::string problem = file_.Open(path_, platform::FileReplacement::Streams::kWriteThrough);
  return problem.empty() ? "" : path_ + ": " + problem;
}

std::string OutputTarget::Commit(std::span<const uint8_t> bytes, std::ostream& out) {
  if (path_.empty()) {
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return out ? "" : "cannot write to standard output";
  }
  const std::string problem = file_.Commit(bytes);
  return problem.empty() ? "" : path_ + ": " + problem;
}

}  // namespace veltra::cli
