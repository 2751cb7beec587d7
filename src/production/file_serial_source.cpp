#include "production/file_serial_source.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <random>
#include <unordered_set>

#include "platform/file_replace.h"
#include "platform/folder_lock.h"
#include "platform/process_identity.h"
#include "platform/text.h"
#include "platform/user_file.h"
#include "production/durable_append.h"
#include "production/serial_text.h"

namespace veltra::production {
namespace {

constexpr char kJournalHead[] = "# veltra serial journal ";
constexpr char kUsed[] = "# used ";
// An older journal's line for a serial whose log row was written: its result is not known, and
// taking it as programmed keeps it off a second unit.
constexpr char kLogged[] = "logged";
constexpr size_t kMaxCounterBytes = 64;
constexpr size_t kMaxListBytes = size_t{64} << 20;
constexpr size_t kMaxJournalBytes = size_t{512} << 20;
// Another process holds the lock for one reservation, which takes moments.
constexpr std::chrono::seconds kLockWait{30};

std::string NewGeneration() {
  std::random_device device;
  const uint64_t value =
      (uint64_t{device()} << 32 | device()) ^
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::string JournalHead(const std::string& generation) {
  return kJournalHead + generation + "\n";
}

// A reason on one journal line.
std::string OneLine(std::string_view text) {
  std::string line(text);
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return line;
}

std::optional<SerialState> StateNamed(std::string_view name) {
  for (const SerialState state :
       {SerialState::kReserved, SerialState::kProgrammed, SerialState::kFailed, SerialState::kVoid,
        SerialState::kAbandoned}) {
    if (name == SerialStateName(state)) return state;
  }
  if (name == kLogged) return SerialState::kProgrammed;
  return std::nullopt;
}

std::string JournalLine(const std::string& serial, SerialState state, std::string_view detail) {
  std::string line = std::string(SerialStateName(state)) + ' ' + serial;
  if (!detail.empty()) line += ' ' + OneLine(detail);
  return line + '\n';
}

// The lock of a source's folder for one step, its failure named.
struct SourceLock {
  platform::FolderLock lock;
  std::string problem;
  explicit SourceLock(const std::string& path) {
    if (std::string reason = lock.Acquire(path, kLockWait); !reason.empty()) {
      problem =
          path + ": " + (reason == platform::kForeignLink ? "" : "cannot be locked: ") + reason;
    }
  }
};

}  // namespace

FileSerialSource::FileSerialSource(std::string path)
    : path_(std::move(path)), journal_(path_ + ".journal") {}

FileSerialSource FileSerialSource::Counter(std::string path, SerialFormat format, uint64_t start) {
  FileSerialSource source(std::move(path));
  source.format_ = std::move(format);
  source.start_ = start;
  return source;
}

FileSerialSource FileSerialSource::List(std::string path) {
  return FileSerialSource(std::move(path));
}

std::string FileSerialSource::Describe() const {
  return format_ ? "counter " + path_ + " (" + format_->text + ")" : "list " + path_;
}

void FileSerialSource::Set(std::string_view serial, SerialState state, std::string detail) {
  auto found = index_.find(serial);
  if (found == index_.end()) {
    Entry& added = entries_.emplace_back(Entry{std::string(serial), state, std::move(detail)});
    index_.emplace(added.serial, &added);
  } else {
    found->second->state = state;
    found->second->detail = std::move(detail);
  }
  if (format_) {
    if (const std::optional<uint64_t> number = format_->NumberOf(serial)) {
      lastJournalled_ = std::max(lastJournalled_.value_or(0), *number);
    }
  }
}

const FileSerialSource::Entry* FileSerialSource::Find(std::string_view serial) const {
  const auto found = index_.find(serial);
  return found == index_.end() ? nullptr : found->second;
}

void FileSerialSource::ApplyJournalLine(std::string_view line) {
  ++journalLines_;
  if (line.starts_with(kJournalHead)) {
    if (journalLines_ == 1) generation_ = line.substr(sizeof kJournalHead - 1);
    return;
  }
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return;
  const std::optional<SerialState> state = StateNamed(line.substr(0, space));
  if (!state) return;
  std::string_view rest = line.substr(space + 1);
  const size_t end = rest.find(' ');
  const std::string_view serial = rest.substr(0, end);
  if (serial.empty()) return;
  Set(serial, *state, end == std::string_view::npos ? "" : std::string(rest.substr(end + 1)));
}

std::string FileSerialSource::RefreshJournal() {
  platform::UserFile file;
  const std::string problem = file.Open(journal_, platform::UserFile::Access::kRead);
  bool fromStart = journalRead_ == 0;
  if (file.Missing()) {
    fromStart = true;
  } else if (!problem.empty()) {
    return journal_ + ": " + problem;
  } else if (!fromStart) {
    // A compaction since the last read wrote a new generation; a cut file is read afresh too.
    std::string head;
    if (std::string failed = file.Read(0, JournalHead(generation_).size(), head); !failed.empty())
      return journal_ + ": " + failed;
    fromStart = file.Length() < journalRead_ || head != JournalHead(generation_);
  }
  if (fromStart) {
    index_.clear();
    entries_.clear();
    lastJournalled_.reset();
    journalLines_ = 0;
    journalRead_ = 0;
    generation_.clear();
  }
  if (file.Missing()) return "";
  std::string text;
  if (std::string failed = file.ReadFrom(journalRead_, kMaxJournalBytes, text); !failed.empty())
    return journal_ + ": " + failed;
  // A line is whole once its line break is there.
  size_t at = 0;
  for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string_view line(text.data() + at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    ApplyJournalLine(line);
  }
  journalRead_ += at;
  return "";
}

std::string FileSerialSource::AppendJournal(const std::string& lines) {
  // A new journal starts with its generation; the file's own lock decides which writer makes it.
  const std::string problem = AppendDurably(journal_, lines, JournalHead(NewGeneration()), path_);
  return problem.empty() ? "" : journal_ + ": " + problem;
}

std::string FileSerialSource::CompactJournal() {
  generation_ = NewGeneration();
  std::string text = JournalHead(generation_);
  for (const Entry& entry : entries_)
    text += JournalLine(entry.serial, entry.state, entry.detail);
  const std::string problem =
      platform::ReplaceFile(journal_, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  if (!problem.empty()) return journal_ + ": " + problem;
  journalRead_ = text.size();
  journalLines_ = entries_.size() + 1;
  return "";
}

std::string FileSerialSource::ReadCounter() {
  held_.reset();
  std::string text;
  bool missing = false;
  const std::string problem = platform::UserFile::ReadAll(path_, kMaxCounterBytes, text, missing);
  if (missing) return "";
  if (!problem.empty()) return path_ + ": " + problem;
  std::string_view number = text;
  if (number.ends_with('\n')) number.remove_suffix(1);
  if (number.ends_with('\r')) number.remove_suffix(1);
  number = platform::TrimBlanks(number);
  if (number.empty()) return "";
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec != std::errc() || end != number.data() + number.size()) {
    return path_ + ": holds " + SerialForScreen(text) + ", not the next serial number";
  }
  held_ = value;
  return "";
}

std::optional<uint64_t> FileSerialSource::NextNumber(std::string& error) const {
  uint64_t next = held_.value_or(start_);
  // A kill after the journal line and before the counter's replacement: the journal wins.
  if (lastJournalled_ && *lastJournalled_ >= next) next = *lastJournalled_ + 1;
  const std::optional<uint64_t> last = format_->LastNumber();
  if (!last || next > *last || (lastJournalled_ && *lastJournalled_ > *last)) {
    error = path_ + ": no serial left: the next number, " + std::to_string(next) +
            ", is past the last one '" + format_->text + "' makes (" +
            (last ? std::to_string(*last) : "none") + ")";
    return std::nullopt;
  }
  return next;
}

std::string FileSerialSource::ReadList(std::string& text, std::vector<ListEntry>& entries,
                                       bool check) {
  bool missing = false;
  const std::string problem = platform::UserFile::ReadAll(path_, kMaxListBytes, text, missing);
  if (missing) return path_ + ": no such serial list";
  if (!problem.empty()) return path_ + ": " + problem;
  size_t number = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line(text.data() + at, end - at);
    at = end + 1;
    ++number;
    const auto where = [&] { return path_ + ": line " + std::to_string(number); };
    if (check && line.ends_with('\r')) {
      return where() + " ends in a carriage return (CR LF line ends): one serial a line, LF " +
             "line ends";
    }
    std::string_view serial = platform::TrimBlanks(line);
    const bool used = serial.starts_with(kUsed);
    if (used) serial.remove_prefix(sizeof kUsed - 1);
    if (serial.empty() || (!used && serial.front() == '#')) continue;
    if (check) {
      if (std::string bad = SerialTextProblem(serial); !bad.empty()) return where() + ": " + bad;
    }
    entries.push_back({number, serial, used});
  }
  return "";
}

std::optional<SerialSupply> FileSerialSource::SerialsLeft(std::string& error) {
  if (format_) {
    if (!format_->zeroPad && format_->width > 0) {
      error = "--serial-format '" + format_->text + "' pads with blanks, which a serial may not " +
              "hold: a 0 flag pads with zeros (%0" + std::to_string(format_->width) + "u)";
      return std::nullopt;
    }
    const std::optional<uint64_t> last = format_->LastNumber();
    const std::string widest = last ? format_->Format(*last) : format_->before + format_->after;
    if (std::string problem = SerialTextProblem(widest); !problem.empty()) {
      error = "--serial-format '" + format_->text + "': its widest serial does not do: " + problem;
      return std::nullopt;
    }
  }
  const SourceLock lock(path_);
  if (!lock.problem.empty()) {
    error = lock.problem;
    return std::nullopt;
  }
  if (error = RefreshJournal(); !error.empty()) return std::nullopt;
  return format_ ? CounterSupply(error) : ListSupply(error);
}

std::optional<SerialSupply> FileSerialSource::CounterSupply(std::string& error) {
  if (error = ReadCounter(); !error.empty()) return std::nullopt;
  const std::optional<uint64_t> next = NextNumber(error);
  if (!next) return std::nullopt;
  std::string again;
  if (!log_.empty()) {
    error = ReadLoggedSerials(log_, [&](std::string_view serial) {
      const std::optional<uint64_t> number = format_->NumberOf(serial);
      if (again.empty() && number && *number >= *next) again = serial;
    });
    if (!error.empty()) return std::nullopt;
  }
  if (!again.empty()) {
    error = log_ + " holds " + again + ", which " + path_ + " would give again (its next " +
            "number is " + std::to_string(*next) + ")";
    return std::nullopt;
  }
  const uint64_t last = *format_->LastNumber();
  return SerialSupply{last - *next + 1, format_->Format(*next), format_->Format(last)};
}

std::optional<SerialSupply> FileSerialSource::ListSupply(std::string& error) {
  std::string text;
  std::vector<ListEntry> list;
  if (error = ReadList(text, list, true); !error.empty()) return std::nullopt;
  std::unordered_set<std::string> logged;
  if (!log_.empty()) {
    error = ReadLoggedSerials(log_, [&](std::string_view serial) { logged.emplace(serial); });
    if (!error.empty()) return std::nullopt;
  }
  std::unordered_map<std::string_view, size_t> seen;
  seen.reserve(list.size());
  SerialSupply supply;
  for (const ListEntry& entry : list) {
    const std::string serial(entry.serial);
    const auto where = [&] { return path_ + ": line " + std::to_string(entry.line) + ": "; };
    if (const auto [at, added] = seen.try_emplace(entry.serial, entry.line); !added) {
      error = where() + serial + " is on line " + std::to_string(at->second) + " too";
      return std::nullopt;
    }
    if (entry.used) continue;
    if (const Entry* found = Find(entry.serial)) {
      // Reserved and killed before the list was rewritten: used, not offered again.
      const SerialState state = found->state;
      if (state == SerialState::kReserved || state == SerialState::kAbandoned) continue;
      error = where() + serial + " was given out before (" + std::string(SerialStateName(state)) +
              " in " + journal_ + ")";
      return std::nullopt;
    }
    if (logged.contains(serial)) {
      error = where() + serial + " is in " + log_ + " already";
      return std::nullopt;
    }
    if (supply.left++ == 0) supply.next = serial;
    if (serial.size() > supply.longest.size()) supply.longest = serial;
  }
  return supply;
}

std::optional<std::vector<std::string>> FileSerialSource::RecordAbandoned(std::string& error) {
  const SourceLock lock(path_);
  if (!lock.problem.empty()) {
    error = lock.problem;
    return std::nullopt;
  }
  if (error = RefreshJournal(); !error.empty()) return std::nullopt;
  std::vector<std::string> abandoned;
  std::string lines;
  for (const Entry& entry : entries_) {
    // An older journal names no process: its run has long ended.
    if (entry.state == SerialState::kReserved &&
        (entry.detail.empty() || platform::ProcessHasEnded(entry.detail))) {
      abandoned.push_back(entry.serial);
      lines += JournalLine(entry.serial, SerialState::kAbandoned, {});
    }
  }
  if (!lines.empty()) {
    if (error = AppendJournal(lines); !error.empty()) return std::nullopt;
    for (const std::string& serial : abandoned)
      Set(serial, SerialState::kAbandoned);
  }
  // Each unit adds two lines to a serial's one; past half again as many, one a serial is enough.
  if (journalLines_ > entries_.size() + entries_.size() / 2 + 64) {
    if (error = RefreshJournal(); !error.empty()) return std::nullopt;
    if (error = CompactJournal(); !error.empty()) return std::nullopt;
  }
  return abandoned;
}

std::string FileSerialSource::JournalReservation(const std::string& serial) {
  const std::string owner = platform::OwnProcessTag();
  if (std::string problem = AppendJournal(JournalLine(serial, SerialState::kReserved, owner));
      !problem.empty()) {
    return problem;
  }
  Set(serial, SerialState::kReserved, owner);
  return "";
}

std::string FileSerialSource::AdvanceSource(std::string_view listText,
                                            const std::vector<ListEntry>& list) {
  std::string text;
  if (format_) {
    std::string error;
    const std::optional<uint64_t> next = NextNumber(error);
    // Past the last number the counter holds one more: the next run says no serial is left.
    text = std::to_string(next ? *next : *lastJournalled_ + 1) + "\n";
  } else {
    text.reserve(listText.size() + 64);
    size_t line = 0;
    auto entry = list.begin();
    for (size_t at = 0; at < listText.size();) {
      const size_t end = std::min(listText.find('\n', at), listText.size());
      ++line;
      if (entry != list.end() && entry->line == line && !entry->used &&
          Find(entry->serial) != nullptr) {
        text += kUsed;
        text += entry->serial;
      } else {
        text += listText.substr(at, end - at);
      }
      text += '\n';
      if (entry != list.end() && entry->line == line) ++entry;
      at = end + 1;
    }
  }
  const std::string problem =
      platform::ReplaceFile(path_, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  return problem.empty() ? "" : path_ + ": " + problem;
}

std::optional<std::string> FileSerialSource::Reserve(std::string& error) {
  const SourceLock lock(path_);
  if (!lock.problem.empty()) {
    error = lock.problem;
    return std::nullopt;
  }
  if (error = RefreshJournal(); !error.empty()) return std::nullopt;
  std::string serial;
  std::string listText;
  std::vector<ListEntry> list;
  if (format_) {
    if (error = ReadCounter(); !error.empty()) return std::nullopt;
    const std::optional<uint64_t> next = NextNumber(error);
    if (!next) return std::nullopt;
    serial = format_->Format(*next);
  } else {
    if (error = ReadList(listText, list, false); !error.empty()) return std::nullopt;
    const auto free = std::find_if(list.begin(), list.end(), [&](const ListEntry& entry) {
      return !entry.used && Find(entry.serial) == nullptr;
    });
    if (free == list.end()) {
      error = path_ + ": every serial of the list is used";
      return std::nullopt;
    }
    serial = free->serial;
  }
  if (error = SerialTextProblem(serial); !error.empty()) return std::nullopt;
  if (error = JournalReservation(serial); !error.empty()) return std::nullopt;
  // Once journalled the serial is spent, whatever happens to the source file.
  if (error = AdvanceSource(listText, list); !error.empty()) return std::nullopt;
  return serial;
}

std::optional<SerialState> FileSerialSource::StateOf(const std::string& serial,
                                                     std::string& error) {
  const SourceLock lock(path_);
  if (!lock.problem.empty()) {
    error = lock.problem;
    return std::nullopt;
  }
  if (error = RefreshJournal(); !error.empty()) return std::nullopt;
  const Entry* found = Find(serial);
  return found == nullptr ? SerialState::kNotGiven : found->state;
}

std::string FileSerialSource::Record(const UnitRecord& record) {
  if (record.serial.empty()) return "";
  const SerialState fate = FateOf(record);
  const std::string detail = fate == SerialState::kVoid ? record.detail : "";
  if (std::string problem = AppendJournal(JournalLine(record.serial, fate, detail));
      !problem.empty()) {
    return problem;
  }
  Set(record.serial, fate, detail);
  return "";
}

std::string FileSerialSource::Void(const std::string& serial, std::string_view reason) {
  if (std::string problem = AppendJournal(JournalLine(serial, SerialState::kVoid, reason));
      !problem.empty()) {
    return problem;
  }
  Set(serial, SerialState::kVoid, std::string(reason));
  return "";
}

}  // namespace veltra::production
