#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where production serial numbers come from and how each is given out once only: from a counter
// file (a format and a counter) or from a list of serials.
//
// A serial is reserved in two durable steps before its unit is written: a line "reserved
// SERIAL" is appended to the journal beside the source (FILE.journal), then the source is
// replaced in one step (the counter file holds the next number; a used list line becomes
// "# used SERIAL"). When the unit's log row is written, "logged SERIAL" follows in the journal.
// A run reads both, so a kill between any two steps never gives a serial out twice: the next
// number is past every journalled one, and a journalled list entry counts as used. Serials
// reserved but never logged are named by the next run (Unlogged()).
namespace veltra::production {

// A serial format: text with exactly one %u conversion, optionally with a 0 flag and a width
// ("VT-%06u"); "%%" is a percent sign. nullopt with the reason in error otherwise.
struct SerialFormat {
  std::string before;
  std::string after;
  bool zeroPad = false;
  unsigned width = 0;

  static std::optional<SerialFormat> Parse(std::string_view text, std::string& error);
  std::string Format(uint64_t number) const;
};

// Whether the serial fits the Serial string descriptor (bLength holds 2 + 2 units): "" or why not.
std::string SerialFitsText(std::string_view serial);

class SerialBook {
 public:
  // A counter file: the next number is read from it, or start when it is missing or empty.
  static std::optional<SerialBook> OpenCounter(const std::string& path, SerialFormat format,
                                               uint64_t start, std::string& error);
  // A list file: one serial a line; blank lines and lines starting with '#' are skipped.
  static std::optional<SerialBook> OpenList(const std::string& path, std::string& error);

  // The serial the next Reserve gives; nullopt when a list is used up.
  std::optional<std::string> Peek() const;
  // Every serial the book may still give that does not fit a Serial string: "" or the reason for
  // the first one (a counter is checked at its next number).
  std::string CheckFits() const;

  // Both steps below: the serial, or nullopt with the reason in error (nothing was given out).
  std::optional<std::string> Reserve(std::string& error);
  // The two steps of Reserve, apart so a kill between them can be tried.
  std::string JournalReservation(const std::string& serial);
  std::string AdvanceSource(const std::string& serial);
  // The serial's log row is written.
  std::string MarkLogged(const std::string& serial);

  // Serials an earlier run reserved and never logged, in journal order.
  const std::vector<std::string>& Unlogged() const { return unlogged_; }
  const std::string& JournalPath() const { return journal_; }

 private:
  SerialBook() = default;
  std::string ReadJournal(std::vector<std::string>& reserved);

  std::string path_;
  std::string journal_;
  std::optional<SerialFormat> format_;  // a counter book
  uint64_t next_ = 0;
  std::vector<std::string> lines_;  // a list book: the file's lines
  std::vector<std::string> used_;   // journalled list serials
  std::vector<std::string> unlogged_;
};

}  // namespace veltra::production
