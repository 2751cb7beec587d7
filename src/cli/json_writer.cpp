#include "cli/json_writer.h"

#include <cstdio>

namespace veltra::cli {

namespace {

// Length of the well-formed UTF-8 sequence at the start of text, or 0.
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
  std::string quoted = "\"";
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) {
      const size_t length = Utf8SequenceLength(utf8.substr(i));
      if (length == 0) {
        quoted += "\\ufffd";
        ++i;
      } else {
        quoted.append(utf8.substr(i, length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          quoted += escape;
        } else {
          quoted += static_cast<char>(c);
        }
    }
    ++i;
  }
  quoted += '"';
  return quoted;
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!empty_.empty()) {
    if (!empty_.back()) out_ << ',';
    empty_.back() = false;
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  out_ << '{';
  empty_.push_back(true);
}

void JsonWriter::EndObject() {
  if (!empty_.empty()) empty_.pop_back();
  out_ << '}';
}

void JsonWriter::BeginArray() {
  BeforeValue();
  out_ << '[';
  empty_.push_back(true);
}

void JsonWriter::EndArray() {
  if (!empty_.empty()) empty_.pop_back();
  out_ << ']';
}

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ << JsonQuote(name) << ':';
  afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  BeforeValue();
  out_ << JsonQuote(utf8);
}

void JsonWriter::Integer(int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Number(std::string_view text) {
  BeforeValue();
  out_ << text;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

}  // namespace veltra::cli
