#pragma once

#ifdef _WIN32
#include <process.h>
#endif
#include <stdlib.h>

#include <cstdlib>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Scratch files for the tests of any layer.
namespace veltra::test_files {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
#ifdef _WIN32
    // No mkdtemp: a name of this process and a counter, made only if it does not exist yet.
    static int counter = 0;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate =
          std::filesystem::temp_directory_path() /
          ("veltra-test-" + std::to_string(::_getpid()) + "-" + std::to_string(counter++));
      std::error_code ec;
      if (std::filesystem::create_directory(candidate, ec)) path_ = candidate;
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "veltra-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
#endif
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(std::string_view name) const {
    return (path_ / name).string();
  }
  const std::filesystem::path& Path() const {
    return path_;
  }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

inline std::string Text(const std::string& path) {
  const auto bytes = ReadFile(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(name, value);
  }
  ~ScopedEnv() { Set(name_, old_ ? old_->c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  static void Set(const char* name, const char* value) {
#ifdef _WIN32
    // An empty value removes the variable.
    ::_putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
#endif
  }

  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace veltra::test_files
