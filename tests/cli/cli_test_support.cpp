#include "cli_test_support.h"

#include <cctype>

namespace veltra::cli::testing {
namespace {

class JsonChecker {
 public:
  explicit JsonChecker(std::string_view text) : text_(text) {}

  bool Document() {
    if (!Value()) return false;
    Space();
    return at_ == text_.size();
  }

 private:
  void Space() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\n' || text_[at_] == '\r' || text_[at_] == '\t'))
      ++at_;
  }
  bool Take(char c) {
    Space();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }
  bool Digits() {
    const size_t start = at_;
    while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])))
      ++at_;
    return at_ > start;
  }
  bool Number() {
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ < text_.size() && text_[at_] == '0') {
      ++at_;
    } else if (!Digits()) {
      return false;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (!Digits()) return false;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!Digits()) return false;
    }
    return true;
  }
  bool String() {
    if (!Take('"')) return false;
    while (at_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') continue;
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      if (e == 'u') {
        for (int i = 0; i < 4; ++i) {
          if (at_ >= text_.size() || !std::isxdigit(static_cast<unsigned char>(text_[at_++])))
            return false;
        }
      } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
        return false;
      }
    }
    return false;
  }
  bool Value() {
    Space();
    if (at_ >= text_.size()) return false;
    switch (text_[at_]) {
      case '{':
        ++at_;
        if (Take('}')) return true;
        do {
          if (!String() || !Take(':') || !Value()) return false;
        } while (Take(','));
        return Take('}');
      case '[':
        ++at_;
        if (Take(']')) return true;
        do {
          if (!Value()) return false;
        } while (Take(','));
        return Take(']');
      case '"':
        return String();
      case 't':
        return Word("true");
      case 'f':
        return Word("false");
      case 'n':
        return Word("null");
      default:
        return Number();
    }
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

bool IsJson(std::string_view text) {
  return JsonChecker(text).Document();
}

}  // namespace veltra::cli::testing
