#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "production/serial_format.h"
#include "production/serial_source.h"

// The serials of one machine's line: a counter file (a format and the next number) or a list file
// (one serial a line), shared safely by every process on the machine.
//
// Every reservation holds the lock of the source's folder and reads the counter or list and the
// journal beside it (FILE.journal) afresh, so processes sharing the source never give a serial
// twice. A serial is reserved in two durable steps before its unit is written: "reserved SERIAL
// PROCESS" appended to the journal, then the source replaced in one step (the counter holds the
// next number; a used list line becomes "# used SERIAL"). Its fate follows in the journal
// ("programmed", "failed", "void SERIAL REASON"). A kill between any two steps never gives a
// serial out twice: the next number is past every journalled one, and a journalled list entry is
// used. A reservation whose process has ended without a fate is recorded "abandoned" once. The
// journal is compacted to a line per serial when it has grown well past that, and read
// incrementally, so a long line's start-up and reservations stay linear.
namespace veltra::production {

class FileSerialSource final : public SerialSource {
 public:
  // A counter file: the next number, or start when the file is missing or empty.
  static FileSerialSource Counter(std::string path, SerialFormat format, uint64_t start);
  // A list file: one serial a line; blank lines and lines starting with '#' are skipped.
  static FileSerialSource List(std::string path);
  // Moved, the entries stay where the index points; a copy would not.
  FileSerialSource(FileSerialSource&&) = default;
  FileSerialSource(const FileSerialSource&) = delete;
  FileSerialSource& operator=(const FileSerialSource&) = delete;

  // The log the line appends to: SerialsLeft refuses a source that would give a serial it holds.
  void SetLog(std::string path) { log_ = std::move(path); }
  // The number the counter file held when SerialsLeft read it; nullopt when it was missing or
  // empty, so the start was taken.
  std::optional<uint64_t> CounterHeld() const { return held_; }
  const std::string& JournalPath() const { return journal_; }

  std::string Describe() const override;
  std::optional<SerialSupply> SerialsLeft(std::string& error) override;
  std::optional<std::vector<std::string>> RecordAbandoned(std::string& error) override;
  std::optional<std::string> Reserve(std::string& error) override;
  std::optional<SerialState> StateOf(const std::string& serial, std::string& error) override;
  std::string Record(const UnitRecord& record) override;
  std::string Void(const std::string& serial, std::string_view reason) override;

 private:
  struct Entry {
    std::string serial;
    SerialState state = SerialState::kNotGiven;
    std::string detail;  // the reserving process, or why it was voided
  };
  struct ListEntry {
    size_t line = 0;  // 1-based
    std::string_view serial;
    bool used = false;  // "# used SERIAL"
  };

  explicit FileSerialSource(std::string path);

  // Reads what the journal gained since the last read (all of it after a compaction).
  std::string RefreshJournal();
  void ApplyJournalLine(std::string_view line);
  void Set(std::string_view serial, SerialState state, std::string detail = {});
  const Entry* Find(std::string_view serial) const;
  std::string AppendJournal(const std::string& lines);
  std::string CompactJournal();
  std::string ReadCounter();
  // The list file's text and its serial lines, each checked against the rules of serial text when
  // check is set; "" or the reason.
  std::string ReadList(std::string& text, std::vector<ListEntry>& entries, bool check);
  // The two durable steps of a reservation: "" or the reason.
  std::string JournalReservation(const std::string& serial);
  // The counter holds the next number; the list marks every serial the journal holds used.
  std::string AdvanceSource(std::string_view listText, const std::vector<ListEntry>& list);
  // The next number the counter gives, its reserved serials counted; nullopt with the reason.
  std::optional<uint64_t> NextNumber(std::string& error) const;
  // What the counter or list can still give, none of it in the log.
  std::optional<SerialSupply> CounterSupply(std::string& error);
  std::optional<SerialSupply> ListSupply(std::string& error);

  std::string path_;
  std::string journal_;
  std::string log_;
  std::optional<SerialFormat> format_;  // a counter
  uint64_t start_ = 1;
  std::optional<uint64_t> held_;

  // The journal as read so far.
  std::deque<Entry> entries_;  // in the order the serials first came; an entry never moves
  std::unordered_map<std::string_view, Entry*> index_;  // into entries_
  std::optional<uint64_t> lastJournalled_;              // the highest number of the format
  uint64_t journalLines_ = 0;
  uint64_t journalRead_ = 0;  // bytes
  std::string generation_;    // of the journal read; a compaction makes a new one
};

}  // namespace veltra::production
