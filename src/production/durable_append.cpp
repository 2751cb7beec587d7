#include "production/durable_append.h"

#include "platform/user_file.h"

namespace veltra::production {

std::string AppendDurably(const std::string& path, std::string_view text, std::string_view header,
                          const std::string& permissionsOf) {
  platform::UserFile file;
  if (std::string problem =
          file.Open(path, platform::UserFile::Access::kAppend, true, permissionsOf);
      !problem.empty()) {
    return problem;
  }
  return file.Append(text, header);
}

}  // namespace veltra::production
