#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace veltra::cli {

// The text in double quotes with JSON escapes: quote, backslash and control characters escaped,
// bytes that are not valid UTF-8 replaced by \ufffd, so the result is always valid JSON.
std::string JsonQuote(std::string_view utf8);

// Writes one JSON value to a stream on one line, putting the commas itself. Inside an object
// every value is preceded by Key. The caller keeps the nesting balanced.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view name);

  void String(std::string_view utf8);
  void Integer(int64_t value);
  // Already formatted number text, as printf gives it for a finite value.
  void Number(std::string_view text);
  void Bool(bool value);
  void Null();

 private:
  void BeforeValue();

  std::ostream& out_;
  std::vector<bool> empty_;  // per open container: nothing written into it yet
  bool afterKey_ = false;
};

}  // namespace veltra::cli
