#include "production/serial_book.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <sstream>

#include "image/string_descriptor.h"
#include "platform/file_replace.h"
#include "platform/text.h"
#include "production/durable_append.h"

namespace veltra::production {
namespace {

constexpr char kReserved[] = "reserved ";
constexpr char kLogged[] = "logged ";
constexpr char kUsed[] = "# used ";

// The file's lines without line ends; nullopt when it is missing; the reason in error when it
// cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad()) error = path + ": cannot be read";
  return lines;
}

bool IsListEntry(std::string_view line) {
  const std::string_view text = platform::TrimBlanks(line);
  return !text.empty() && text.front() != '#';
}

std::string Replace(const std::string& path, const std::string& text) {
  const std::string problem =
      platform::ReplaceFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  return problem.empty() ? "" : path + ": " + problem;
}

}  // namespace

std::optional<SerialFormat> SerialFormat::Parse(std::string_view text, std::string& error) {
  SerialFormat format;
  bool found = false;
  std::string* part = &format.before;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      *part += text[i];
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      *part += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    const bool zero = j < text.size() && text[j] == '0';
    if (zero) ++j;
    unsigned width = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9' && width < 100) {
      width = width * 10 + static_cast<unsigned>(text[j] - '0');
      ++j;
    }
    if (j >= text.size() || text[j] != 'u' || width > 20) {
      error = "--serial-format takes one %u conversion (such as %06u), not '" +
              std::string(text.substr(i, j + 1 - i)) + "'";
      return std::nullopt;
    }
    if (found) {
      error = "--serial-format takes one %u conversion, not two";
      return std::nullopt;
    }
    found = true;
    format.zeroPad = zero;
    format.width = width;
    part = &format.after;
    i = j;
  }
  if (!found) {
    error = "--serial-format needs a %u conversion for the number ('VT-%06u')";
    return std::nullopt;
  }
  return format;
}

std::string SerialFormat::Format(uint64_t number) const {
  std::string digits = std::to_string(number);
  if (digits.size() < width) digits.insert(0, width - digits.size(), zeroPad ? '0' : ' ');
  return before + digits + after;
}

std::string SerialFitsText(std::string_view serial) {
  if (serial.empty()) return "an empty serial";
  const std::vector<uint8_t> descriptor = image::EncodeStringDescriptor(serial);
  // The encoder cuts what bLength cannot hold: a serial that was cut does not fit.
  if (image::DecodeStringDescriptor(descriptor) != serial) {
    return "the serial '" + std::string(serial) + "' does not fit the Serial string (at most " +
           std::to_string(image::kMaxStringDescriptorUnits) + " UTF-16 units)";
  }
  return "";
}

std::string SerialBook::ReadJournal(std::vector<std::string>& reserved) {
  std::string error;
  const auto lines = ReadLines(journal_, error);
  if (!error.empty() || !lines) return error;
  std::vector<std::string> logged;
  for (const std::string& line : *lines) {
    if (line.starts_with(kReserved)) reserved.push_back(line.substr(sizeof kReserved - 1));
    if (line.starts_with(kLogged)) logged.push_back(line.substr(sizeof kLogged - 1));
  }
  for (const std::string& serial : reserved) {
    if (std::find(logged.begin(), logged.end(), serial) == logged.end()) {
      unlogged_.push_back(serial);
    }
  }
  return "";
}

std::optional<SerialBook> SerialBook::OpenCounter(const std::string& path, SerialFormat format,
                                                  uint64_t start, std::string& error) {
  SerialBook book;
  book.path_ = path;
  book.journal_ = path + ".journal";
  book.next_ = start;
  const auto lines = ReadLines(path, error);
  if (!error.empty()) return std::nullopt;
  if (lines) {
    std::string text;
    for (const std::string& line : *lines)
      text += line;
    const std::string_view number = platform::TrimBlanks(text);
    if (!number.empty()) {
      uint64_t value = 0;
      const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
      if (ec != std::errc() || end != number.data() + number.size()) {
        error = path + ": holds '" + std::string(number) + "', not the next serial number";
        return std::nullopt;
      }
      book.next_ = value;
    }
  }
  std::vector<std::string> reserved;
  if (error = book.ReadJournal(reserved); !error.empty()) return std::nullopt;
  // A kill after the journal line and before the counter's replacement: the journal wins.
  for (const std::string& serial : reserved) {
    const size_t a = format.before.size();
    if (serial.size() < a + format.after.size() || !serial.starts_with(format.before) ||
        !serial.ends_with(format.after)) {
      continue;
    }
    const std::string_view digits = platform::TrimBlanks(
        std::string_view(serial).substr(a, serial.size() - a - format.after.size()));
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec == std::errc() && end == digits.data() + digits.size() && value >= book.next_ &&
        value < std::numeric_limits<uint64_t>::max()) {
      book.next_ = value + 1;
    }
  }
  book.format_ = std::move(format);
  return book;
}

std::optional<SerialBook> SerialBook::OpenList(const std::string& path, std::string& error) {
  SerialBook book;
  book.path_ = path;
  book.journal_ = path + ".journal";
  const auto lines = ReadLines(path, error);
  if (!error.empty()) return std::nullopt;
  if (!lines) {
    error = path + ": no such serial list";
    return std::nullopt;
  }
  book.lines_ = *lines;
  if (error = book.ReadJournal(book.used_); !error.empty()) return std::nullopt;
  return book;
}

std::optional<std::string> SerialBook::Peek() const {
  if (format_) return format_->Format(next_);
  for (const std::string& line : lines_) {
    if (!IsListEntry(line)) continue;
    const std::string serial(platform::TrimBlanks(line));
    if (std::find(used_.begin(), used_.end(), serial) == used_.end()) return serial;
  }
  return std::nullopt;
}

std::string SerialBook::CheckFits() const {
  if (format_) return SerialFitsText(format_->Format(next_));
  for (const std::string& line : lines_) {
    if (!IsListEntry(line)) continue;
    if (std::string problem = SerialFitsText(platform::TrimBlanks(line)); !problem.empty()) {
      return path_ + ": " + problem;
    }
  }
  return "";
}

std::optional<std::string> SerialBook::Reserve(std::string& error) {
  const std::optional<std::string> serial = Peek();
  if (!serial) {
    error = path_ + ": every serial of the list is used";
    return std::nullopt;
  }
  if (error = SerialFitsText(*serial); !error.empty()) return std::nullopt;
  if (error = JournalReservation(*serial); !error.empty()) return std::nullopt;
  // Once journalled the serial is spent, whatever happens to the source file.
  if (error = AdvanceSource(*serial); !error.empty()) return std::nullopt;
  return serial;
}

std::string SerialBook::JournalReservation(const std::string& serial) {
  const std::string problem = AppendDurably(journal_, kReserved + serial + "\n");
  if (!problem.empty()) return journal_ + ": " + problem;
  if (format_) {
    ++next_;
  } else {
    used_.push_back(serial);
  }
  return "";
}

std::string SerialBook::AdvanceSource(const std::string& serial) {
  if (format_) return Replace(path_, std::to_string(next_) + "\n");
  std::string text;
  for (const std::string& line : lines_) {
    text += (IsListEntry(line) && platform::TrimBlanks(line) == serial) ? kUsed + serial : line;
    text += '\n';
  }
  if (std::string problem = Replace(path_, text); !problem.empty()) return problem;
  text.pop_back();
  lines_.clear();
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines_.push_back(line);
  return "";
}

std::string SerialBook::MarkLogged(const std::string& serial) {
  const std::string problem = AppendDurably(journal_, kLogged + serial + "\n");
  return problem.empty() ? "" : journal_ + ": " + problem;
}

}  // namespace veltra::production
