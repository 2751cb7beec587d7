#include "production/record_target.h"

#include "platform/user_file.h"
#include "production/durable_append.h"

namespace veltra::production {

std::string RecordTarget::Check() const {
  if (path_ == "-") return stream_ != nullptr ? "" : "-: standard output is not at hand here";
  const std::string problem = platform::UserFile::CanAppend(path_);
  return problem.empty() ? "" : path_ + ": " + problem;
}

std::string RecordTarget::Append(std::string_view text, std::string_view header) {
  if (path_ == "-") {
    if (!headerWritten_) *stream_ << header;
    headerWritten_ = true;
    *stream_ << text;
    stream_->flush();
    return *stream_ ? "" : "cannot write to standard output";
  }
  const std::string problem = AppendDurably(path_, text, header);
  return problem.empty() ? "" : path_ + ": " + problem;
}

}  // namespace veltra::production
