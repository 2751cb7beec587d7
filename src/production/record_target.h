#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace veltra::production {

// Where a run's log or trace goes: the user's file, appended to durably (see AppendDurably), or
// the stream standard output is for "-".
class RecordTarget {
 public:
  RecordTarget(std::string path, std::ostream* standardOutput)
      : path_(std::move(path)), stream_(path_ == "-" ? standardOutput : nullptr) {}

  // Whether it can be appended to, without making or touching anything: "" or the reason,
  // naming the file.
  std::string Check() const;
  // Appends text, header first into an empty file (or once into the stream): "" or the reason,
  // naming the file. A failed append leaves the file as it was.
  std::string Append(std::string_view text, std::string_view header = {});

 private:
  std::string path_;
  std::ostream* stream_;
  bool headerWritten_ = false;
};

}  // namespace veltra::production
