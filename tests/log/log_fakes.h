#pragma once

#include <string>
#include <vector>

#include "log/local_time.h"
#include "platform/debug_output.h"
#include "platform/log_file_store.h"

namespace veltra::log::testing {

class MemoryLogFile final : public platform::LogFileStore {
 public:
  explicit MemoryLogFile(std::string path = "/state/veltra-config/VeltraConfig.log")
      : path_(std::move(path)) {}
  const std::string& Path() const override { return path_; }
  void Delete() override {
    contents.clear();
    ++deletes;
  }
  bool Append(std::string_view record) override {
    contents += record;
    ++appends;
    return true;
  }

  std::string contents;
  int deletes = 0;
  int appends = 0;

 private:
  std::string path_;
};

class CapturingDebugOutput final : public platform::DebugOutput {
 public:
  void Write(std::string_view text) override { lines.emplace_back(text); }
  std::vector<std::string> lines;
};

class FixedLocalTime final : public LocalTimeSource {
 public:
  explicit FixedLocalTime(LocalTime time) : time_(time) {}
  LocalTime Now() override { return time_; }

 private:
  LocalTime time_;
};

}  // namespace veltra::log::testing
