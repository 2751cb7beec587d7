#include "production/line_database.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "platform/text.h"
#include "production/odbc_connection.h"
#include "production/serial_text.h"

namespace veltra::production {

// docs/line-database.sql, built in (line_schema.cpp.in).
extern const char kLineSchemaSql[];

namespace {

// A refusal of what was asked: rolled back and reported as it is.
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// SQLSTATEs after which the same transaction may well succeed.
bool MayRetry(const std::string& state) {
  return state == "40001" || state == "40P01";
}

// Runs work as one transaction, again after a serialization failure or a deadlock: "" or the
// reason (rolled back).
template <typename Work>
std::string InTransaction(OdbcConnection& connection, Work&& work) {
  for (int attempt = 1;; ++attempt) {
    std::string problem;
    try {
      work();
      connection.Commit();
      return "";
    } catch (const OdbcError& error) {
      if (!MayRetry(error.State()) || attempt == 20) problem = error.what();
    } catch (const Refusal& refusal) {
      problem = refusal.what();
    }
    try {
      connection.Rollback();
    } catch (const OdbcError&) {
      // A connection that failed has no transaction left to roll back.
    }
    if (!problem.empty()) return problem;
  }
}

const std::string& Text(const OdbcRow& row, size_t column) {
  static const std::string kNone;
  return row.at(column) ? *row[column] : kNone;
}

int64_t Number(const OdbcRow& row, size_t column) {
  const std::string& text = Text(row, column);
  int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

std::string Quoted(std::string_view name) {
  return "'" + std::string(name) + "'";
}

// The number a format gave this serial, when it did.
std::optional<int64_t> NumberOf(const SerialFormat& format, std::string_view serial) {
  if (serial.size() <= format.before.size() + format.after.size() ||
      !serial.starts_with(format.before) || !serial.ends_with(format.after)) {
    return std::nullopt;
  }
  const std::string_view digits = platform::TrimBlanks(serial.substr(
      format.before.size(), serial.size() - format.before.size() - format.after.size()));
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (ec != std::errc() || end != digits.data() + digits.size() ||
      value > static_cast<uint64_t>(INT64_MAX) || format.Format(value) != serial) {
    return std::nullopt;
  }
  return static_cast<int64_t>(value);
}

// The last number a format gives: its width full of nines, or as many digits as a serial has
// room for; never past what the database's bigint holds.
int64_t LastNumber(const SerialFormat& format) {
  const size_t fixed = format.before.size() + format.after.size();
  const size_t room = fixed < kMaxSerialLength ? kMaxSerialLength - fixed : 1;
  const size_t digits = std::min<size_t>(format.width > 0 ? format.width : room, 18);
  int64_t last = 0;
  for (size_t i = 0; i < digits; ++i)
    last = last * 10 + 9;
  return last;
}

// A line's row: where its serials come from and how far it is.
struct LineRow {
  std::optional<SerialFormat> format;
  std::string formatText;
  int64_t next = 0;
  int64_t last = 0;
};

LineRow ReadLine(OdbcConnection& db, const std::string& line, bool lock) {
  std::vector<OdbcRow> rows;
  try {
    rows = db.Query(std::string("SELECT serial_format, next_number, last_number FROM veltra.line "
                                "WHERE name = ?") +
                        (lock ? " FOR UPDATE" : ""),
                    {line});
  } catch (const OdbcError& error) {
    // No schema yet: no line was ever created in this database.
    if (error.State() != "42P01") throw;
  }
  if (rows.empty()) {
    throw Refusal("no line " + Quoted(line) +
                  " in the line database (make it with 'veltra-cli line create')");
  }
  LineRow row{std::nullopt, Text(rows[0], 0), Number(rows[0], 1), Number(rows[0], 2)};
  if (rows[0][0]) {
    std::string error;
    row.format = SerialFormat::Parse(row.formatText, error);
    if (!row.format) throw Refusal("line " + Quoted(line) + ": " + error);
  }
  return row;
}

std::string SourceText(const LineRow& row) {
  return row.format ? "serials " + row.formatText
                    : "a list of " + std::to_string(row.last) + " serials";
}

// The serial of a number (counter) or position (list).
std::string SerialAt(OdbcConnection& db, const std::string& line, const LineRow& row,
                     int64_t number) {
  if (row.format) return row.format->Format(static_cast<uint64_t>(number));
  const auto rows = db.Query("SELECT serial FROM veltra.line_list WHERE line = ? AND position = ?",
                             {line, number});
  if (rows.empty())
    throw Refusal("line " + Quoted(line) + ": its list has no serial " + std::to_string(number));
  return Text(rows[0], 0);
}

// The first number from row.next on that was not voided before it was given out.
std::optional<int64_t> NextFree(OdbcConnection& db, const std::string& line, const LineRow& row) {
  int64_t next = row.next;
  for (const OdbcRow& taken :
       db.Query("SELECT number FROM veltra.serial WHERE line = ? AND number >= ? ORDER BY number",
                {line, row.next})) {
    if (Number(taken, 0) != next) break;
    ++next;
  }
  if (next > row.last) return std::nullopt;
  return next;
}

// A session-wide lock that a run holds for its life: whoever gets it, the run has ended.
constexpr char kRunLock[] = "hashtext('veltra run ' || ?)";

bool RunHasEnded(OdbcConnection& db, const std::string& runId) {
  const auto got =
      db.Query(std::string("SELECT pg_try_advisory_lock(") + kRunLock + ")::int", {runId});
  if (got.empty() || Text(got[0], 0) != "1") return false;
  db.Query(std::string("SELECT pg_advisory_unlock(") + kRunLock + ")", {runId});
  return true;
}

std::vector<std::string> SchemaStatements() {
  std::vector<std::string> statements;
  std::string statement;
  std::istringstream in(kLineSchemaSql);
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("--")) continue;
    statement += line + '\n';
    if (line.ends_with(";")) {
      statements.push_back(statement);
      statement.clear();
    }
  }
  return statements;
}

std::string CheckLineName(const std::string& name) {
  if (name.empty() || name.size() > 63) return "a line's name has 1 to 63 characters";
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < ' ' || c == 0x7F) {
      return "a line's name holds no control characters";
    }
  }
  return "";
}

}  // namespace

std::string_view LineSerialStateName(LineSerialState state) {
  switch (state) {
    case LineSerialState::kReserved:
      return "reserved";
    case LineSerialState::kProgrammed:
      return "programmed";
    case LineSerialState::kFailed:
      return "failed";
    case LineSerialState::kVoid:
      return "void";
    case LineSerialState::kAbandoned:
      return "abandoned";
  }
  return "";
}

std::optional<std::vector<std::string>> ReadSerialList(const std::string& path,
                                                       std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be opened";
    return std::nullopt;
  }
  std::vector<std::string> serials;
  std::set<std::string, std::less<>> seen;
  size_t number = 0;
  for (std::string line; std::getline(in, line);) {
    const std::string where = path + ":" + std::to_string(++number) + ": ";
    if (line.ends_with('\r')) {
      error = where + "ends in CR LF; a serial list has plain line ends (LF)";
      return std::nullopt;
    }
    const std::string_view text = platform::TrimBlanks(line);
    if (text.empty() || text.front() == '#') continue;
    if (std::string problem = SerialTextProblem(text); !problem.empty()) {
      error = where + problem;
      return std::nullopt;
    }
    if (!seen.emplace(text).second) {
      error = where + "the serial '" + std::string(text) + "' is in the list twice";
      return std::nullopt;
    }
    serials.emplace_back(text);
  }
  if (in.bad()) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  if (serials.empty()) {
    error = path + ": holds no serial";
    return std::nullopt;
  }
  return serials;
}

std::string NewRunId() {
  std::random_device random;
  std::string id;
  for (int i = 0; i < 4; ++i) {
    char part[9];
    std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
    id += part;
  }
  return id;
}

LineDatabase::LineDatabase(std::unique_ptr<OdbcConnection> connection)
    : connection_(std::move(connection)) {}

LineDatabase::~LineDatabase() = default;

std::unique_ptr<LineDatabase> LineDatabase::Connect(const std::string& connection,
                                                    std::string& error) {
  try {
    return std::unique_ptr<LineDatabase>(
        new LineDatabase(std::make_unique<OdbcConnection>(connection)));
  } catch (const OdbcError& failure) {
    error = std::string("line database: ") + failure.what();
    return nullptr;
  }
}

std::string LineDatabase::CreateLine(const std::string& name, const LineSerials& serials) {
  if (std::string problem = CheckLineName(name); !problem.empty()) return problem;
  int64_t first = 1;
  int64_t last = static_cast<int64_t>(serials.list.size());
  std::optional<std::string> formatText;
  if (serials.format) {
    const SerialFormat& format = *serials.format;
    last = LastNumber(format);
    if (serials.start > static_cast<uint64_t>(last)) {
      return "the start number " + std::to_string(serials.start) + " overflows the format (" +
             format.Format(static_cast<uint64_t>(last)) + " is its last serial)";
    }
    first = static_cast<int64_t>(serials.start);
    // The first and the widest serial: every one between is as valid as they are.
    for (const int64_t number : {first, last}) {
      if (std::string problem = SerialTextProblem(format.Format(static_cast<uint64_t>(number)));
          !problem.empty()) {
        return problem;
      }
    }
    std::string text;
    for (const char c : format.before)
      text += c == '%' ? "%%" : std::string(1, c);
    text += "%" + std::string(format.zeroPad ? "0" : "") +
            (format.width ? std::to_string(format.width) : "") + "u";
    for (const char c : format.after)
      text += c == '%' ? "%%" : std::string(1, c);
    formatText = text;
  }
  OdbcConnection& db = Connection();
  return InTransaction(db, [&] {
    // Stations that create lines at once make the schema one after the other.
    db.Query("SELECT pg_advisory_xact_lock(hashtext('veltra schema'))");
    for (const std::string& statement : SchemaStatements())
      db.Execute(statement);
    const int64_t added = db.Execute(
        "INSERT INTO veltra.line (name, serial_format, next_number, last_number) "
        "VALUES (?, ?, ?, ?) ON CONFLICT (name) DO NOTHING",
        {name, formatText ? OdbcValue(*formatText) : OdbcValue(nullptr), first, last});
    if (added == 0) throw Refusal("the line " + Quoted(name) + " exists already");
    constexpr size_t kBatch = 300;
    for (size_t at = 0; at < serials.list.size(); at += kBatch) {
      const size_t count = std::min(kBatch, serials.list.size() - at);
      std::string sql = "INSERT INTO veltra.line_list (line, position, serial) VALUES ";
      std::vector<OdbcValue> values;
      for (size_t i = 0; i < count; ++i) {
        sql += i ? ", (?, ?, ?)" : "(?, ?, ?)";
        values.insert(values.end(), {name, static_cast<int64_t>(at + i + 1), serials.list[at + i]});
      }
      db.Execute(sql, values);
    }
    // A serial of another line's list, or one given out already, is not given out again.
    const auto clash = db.Query(
        "SELECT l.serial, o.line FROM veltra.line_list l JOIN (SELECT serial, line FROM "
        "veltra.line_list UNION ALL SELECT serial, line FROM veltra.serial) o ON "
        "o.serial = l.serial AND o.line <> l.line WHERE l.line = ? LIMIT 1",
        {name});
    if (!clash.empty()) {
      throw Refusal("the serial '" + Text(clash[0], 0) + "' belongs to the line " +
                    Quoted(Text(clash[0], 1)) + " already");
    }
  });
}

std::optional<LineStatus> LineDatabase::Status(const std::string& line, std::string& error) {
  LineStatus status;
  OdbcConnection& db = Connection();
  error = InTransaction(db, [&] {
    const LineRow row = ReadLine(db, line, false);
    status.source = SourceText(row);
    for (const OdbcRow& count : db.Query(
             "SELECT state, count(*) FROM veltra.serial WHERE line = ? GROUP BY state", {line})) {
      for (size_t i = 0; i < std::size(kLineSerialStates); ++i) {
        if (Text(count, 0) == LineSerialStateName(kLineSerialStates[i]))
          status.counts[i] = Number(count, 1);
      }
    }
    const int64_t programmed = status.counts[1];
    const int64_t failed = status.counts[2];
    if (programmed + failed > 0) {
      status.yield = static_cast<double>(programmed) / static_cast<double>(programmed + failed);
    }
    if (const auto next = NextFree(db, line, row)) status.next = SerialAt(db, line, row, *next);
    const auto voided = db.Query(
        "SELECT count(*) FROM veltra.serial WHERE line = ? AND number >= ?", {line, row.next});
    status.left = std::max<int64_t>(0, row.last - row.next + 1 - Number(voided.at(0), 0));
  });
  if (!error.empty()) return std::nullopt;
  return status;
}

std::string LineDatabase::VoidSerials(const std::string& line, std::span<const std::string> serials,
                                      const std::string& reason, const std::string& ownRunId) {
  if (reason.empty()) return "a serial is voided with a reason";
  OdbcConnection& db = Connection();
  return InTransaction(db, [&] {
    const LineRow row = ReadLine(db, line, true);
    for (const std::string& serial : serials) {
      if (std::string problem = SerialTextProblem(serial); !problem.empty()) throw Refusal(problem);
      const std::string name = "the serial '" + serial + "'";
      const auto held = db.Query(
          "SELECT line, state, station, run_id FROM veltra.serial WHERE serial = ?", {serial});
      if (held.empty()) {
        // Not given out yet: voided now, it never will be.
        std::optional<int64_t> number;
        if (row.format) {
          number = NumberOf(*row.format, serial);
        } else if (const auto at = db.Query(
                       "SELECT position FROM veltra.line_list WHERE line = ? AND serial = ?",
                       {line, serial});
                   !at.empty()) {
          number = Number(at[0], 0);
        }
        if (!number || *number < row.next || *number > row.last) {
          throw Refusal(name + " is not one of the line " + Quoted(line));
        }
        db.Execute(
            "INSERT INTO veltra.serial (serial, line, number, state, station, run_id, "
            "reason) VALUES (?, ?, ?, 'void', '', '', ?)",
            {serial, line, *number, reason});
        continue;
      }
      const std::string state = Text(held[0], 1);
      if (Text(held[0], 0) != line) {
        throw Refusal(name + " belongs to the line " + Quoted(Text(held[0], 0)));
      }
      if (state == "programmed") throw Refusal(name + " is programmed into a unit");
      if (state == "void") throw Refusal(name + " is void already");
      const std::string& runId = Text(held[0], 3);
      if (state == "reserved" && runId != ownRunId && !RunHasEnded(db, runId)) {
        throw Refusal(name + " is reserved by a run still going on the station '" +
                      Text(held[0], 2) + "'");
      }
      db.Execute(
          "UPDATE veltra.serial SET state = 'void', reason = ?, changed = now() "
          "WHERE serial = ?",
          {reason, serial});
    }
  });
}

LineRun::LineRun(std::unique_ptr<OdbcConnection> connection, std::string line,
                 LineRunIdentity identity)
    : LineDatabase(std::move(connection)), line_(std::move(line)), identity_(std::move(identity)) {}

std::unique_ptr<LineRun> LineRun::Open(const std::string& connection, const std::string& line,
                                       LineRunIdentity identity, std::string& error) {
  if (identity.runId.empty()) identity.runId = NewRunId();
  std::unique_ptr<LineRun> run;
  try {
    run.reset(new LineRun(std::make_unique<OdbcConnection>(connection), line, identity));
  } catch (const OdbcError& failure) {
    error = std::string("line database: ") + failure.what();
    return nullptr;
  }
  OdbcConnection& db = run->Connection();
  error = InTransaction(db, [&] {
    run->source_ = SourceText(ReadLine(db, line, false));
    db.Query(std::string("SELECT pg_advisory_lock(") + kRunLock + ")", {run->identity_.runId});
  });
  if (!error.empty()) error = "line database: " + error;
  return error.empty() ? std::move(run) : nullptr;
}

std::optional<std::vector<std::string>> LineRun::RecordAbandoned(std::string& error) {
  OdbcConnection& db = Connection();
  std::vector<OdbcRow> ended;
  error = InTransaction(db, [&] {
    ended = db.Query(
        "SELECT DISTINCT run_id, station FROM veltra.serial WHERE line = ? AND "
        "state = 'reserved' AND run_id <> ?",
        {line_, identity_.runId});
  });
  std::vector<std::string> abandoned;
  // Each ended run's in a transaction of its own; the update's state check marks them once even
  // when two stations start at once.
  for (const OdbcRow& other : ended) {
    if (!error.empty()) break;
    error = InTransaction(db, [&] {
      if (!RunHasEnded(db, Text(other, 0))) return;
      for (const OdbcRow& serial :
           db.Query("UPDATE veltra.serial SET state = 'abandoned', reason = ?, changed = now() "
                    "WHERE line = ? AND run_id = ? AND state = 'reserved' RETURNING serial",
                    {"reserved by a run on the station '" + Text(other, 1) +
                         "' that ended before it recorded a unit",
                     line_, Text(other, 0)})) {
        abandoned.push_back(Text(serial, 0));
      }
    });
  }
  if (!error.empty()) {
    error = "line database: " + error;
    return std::nullopt;
  }
  return abandoned;
}

std::string LineRun::Describe() const {
  return "line " + Quoted(line_) + " (" + source_ + ")";
}

std::optional<int64_t> LineRun::SerialsLeft(std::string& error) {
  const std::optional<LineStatus> status = Status(line_, error);
  if (!status) return std::nullopt;
  return status->left;
}

std::optional<std::string> LineRun::Reserve(std::string& error) {
  std::string serial;
  OdbcConnection& db = Connection();
  error = InTransaction(db, [&] {
    LineRow row = ReadLine(db, line_, true);
    for (;; ++row.next) {
      if (row.next > row.last) throw Refusal("the line " + Quoted(line_) + " has no serial left");
      serial = SerialAt(db, line_, row, row.next);
      if (db.Execute("INSERT INTO veltra.serial (serial, line, number, state, station, run_id) "
                     "VALUES (?, ?, ?, 'reserved', ?, ?) ON CONFLICT (serial) DO NOTHING",
                     {serial, line_, row.next, identity_.station, identity_.runId}) == 1) {
        break;
      }
      const auto held =
          db.Query("SELECT line, state FROM veltra.serial WHERE serial = ?", {serial});
      // Voided before it was given out: passed over.
      if (!held.empty() && Text(held[0], 0) == line_ && Text(held[0], 1) == "void") continue;
      throw Refusal("the serial '" + serial + "' belongs to the line " +
                    Quoted(held.empty() ? "?" : Text(held[0], 0)) + " already");
    }
    db.Execute("UPDATE veltra.line SET next_number = ? WHERE name = ?", {row.next + 1, line_});
  });
  if (!error.empty()) return std::nullopt;
  return serial;
}

std::optional<LineSerialState> LineRun::StateOf(const std::string& serial, std::string& error) {
  std::optional<LineSerialState> state;
  OdbcConnection& db = Connection();
  error = InTransaction(db, [&] {
    const auto rows =
        db.Query("SELECT state FROM veltra.serial WHERE serial = ? AND line = ?", {serial, line_});
    for (const LineSerialState known : kLineSerialStates) {
      if (!rows.empty() && Text(rows[0], 0) == LineSerialStateName(known)) state = known;
    }
  });
  return state;
}

std::string LineRun::Record(const UnitRecord& record) {
  // Programmed when it passed, void when refused before anything was written, failed otherwise.
  const std::string fate = record.result == "ok"        ? "programmed"
                           : record.result == "refused" ? "void"
                                                        : "failed";
  bool recorded = record.serial.empty();
  OdbcConnection& db = Connection();
  std::string error = InTransaction(db, [&] {
    if (!record.serial.empty()) {
      recorded = db.Execute(
                     "UPDATE veltra.serial SET state = ?, station = ?, run_id = ?, "
                     "reason = ?, changed = now() WHERE serial = ? AND line = ? AND "
                     "state <> 'void'",
                     {fate, identity_.station, identity_.runId,
                      fate == "programmed" ? "" : record.result + ": " + record.detail,
                      record.serial, line_}) == 1;
    }
    // The unit's row goes in whatever became of its serial: nothing written is left out.
    db.Execute(
        "INSERT INTO veltra.unit (line, station, operator, serial, device_path, result, "
        "detail, seconds, image_hash, template_hash, tool_version, run_id) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {line_, identity_.station, identity_.operatorName,
         record.serial.empty() ? OdbcValue(nullptr) : OdbcValue(record.serial), record.devicePath,
         record.result, record.detail, record.seconds, record.imageHash, identity_.templateHash,
         identity_.toolVersion, identity_.runId});
  });
  if (error.empty() && !recorded) {
    error = "the serial '" + record.serial + "' is void or not one of the line " + Quoted(line_) +
            "; its unit is recorded all the same";
  }
  return error.empty() ? "" : "line database: " + error;
}

std::string LineRun::Void(const std::string& serial, const std::string& reason) {
  const std::string error = VoidSerials(line_, std::span(&serial, 1), reason, identity_.runId);
  return error.empty() ? "" : "line database: " + error;
}

}  // namespace veltra::production
