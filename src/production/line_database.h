#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "production/production_log.h"
#include "production/serial_book.h"

// The line database: one source of serials for every station of a line, in PostgreSQL reached
// through ODBC (docs/line-database.sql). A serial is given out at most once across every
// process and station sharing the database: its row is inserted under a lock of the line's row,
// and the serial is its primary key. Every serial then has a state, and every unit a row.
namespace veltra::production {

class OdbcConnection;

// The states of a serial in the database. LineRun's methods are those of a production run's
// serial source (describe, serials left, reserve, state of, record, void, record abandoned); a
// serial this line never gave out has no state here (StateOf gives nullopt).
enum class LineSerialState { kReserved, kProgrammed, kFailed, kVoid, kAbandoned };
inline constexpr LineSerialState kLineSerialStates[] = {
    LineSerialState::kReserved, LineSerialState::kProgrammed, LineSerialState::kFailed,
    LineSerialState::kVoid, LineSerialState::kAbandoned};
// "reserved", "programmed", ...: the name in the database and in 'line status'.
std::string_view LineSerialStateName(LineSerialState state);

// Where a new line's serials come from: a format's numbers from start on, or a list.
struct LineSerials {
  std::optional<SerialFormat> format;
  uint64_t start = 1;
  std::vector<std::string> list;
};

// A serial list file: one serial a line, blank lines and lines starting with '#' skipped. Every
// serial is checked; a CR line end or a serial given twice refuses the file.
std::optional<std::vector<std::string>> ReadSerialList(const std::string& path, std::string& error);

struct LineStatus {
  std::string source;  // "serials VH-%04u" or "a list of 500 serials"
  std::array<int64_t, std::size(kLineSerialStates)> counts{};  // by kLineSerialStates
  std::optional<double> yield;                                 // programmed / (programmed + failed)
  std::optional<std::string> next;                             // nullopt: none left
  int64_t left = 0;
};

// Who runs: written into every reservation and unit row.
struct LineRunIdentity {
  std::string station;
  std::string operatorName;
  std::string runId;  // unique to the run (NewRunId())
  std::string templateHash;
  std::string toolVersion;
};

// 32 random hex digits.
std::string NewRunId();

// A connection to a line database, for the commands that look after lines.
class LineDatabase {
 public:
  // connection: an ODBC connection string or a data source name. nullptr with the reason in
  // error when the database cannot be reached.
  static std::unique_ptr<LineDatabase> Connect(const std::string& connection, std::string& error);
  ~LineDatabase();

  // Makes what is missing of the schema, then the line. "" or the reason (nothing written).
  std::string CreateLine(const std::string& name, const LineSerials& serials);
  std::optional<LineStatus> Status(const std::string& line, std::string& error);
  // Voids each serial (given out or not yet) unless it is programmed, void already, or reserved
  // by a run still going other than ownRunId; all or none. "" or the reason.
  std::string VoidSerials(const std::string& line, std::span<const std::string> serials,
                          const std::string& reason, const std::string& ownRunId = {});

 protected:
  explicit LineDatabase(std::unique_ptr<OdbcConnection> connection);
  OdbcConnection& Connection() { return *connection_; }

 private:
  std::unique_ptr<OdbcConnection> connection_;
};

// A run's serial source on one line of the database; each run has a connection of its own.
class LineRun : private LineDatabase {
 public:
  // Refuses a line the database does not hold. The run holds a lock on the server for its life,
  // so that its reservations are known to be its own while it goes on.
  static std::unique_ptr<LineRun> Open(const std::string& connection, const std::string& line,
                                       LineRunIdentity identity, std::string& error);

  // "line NAME (serials VH-%04u)"
  std::string Describe() const;
  std::optional<int64_t> SerialsLeft(std::string& error);
  // The next serial, reserved for this run; nullopt with the reason when none is left or the
  // database failed.
  std::optional<std::string> Reserve(std::string& error);
  // The serial's state when this line gave it out; nullopt otherwise (error set on a failure).
  std::optional<LineSerialState> StateOf(const std::string& serial, std::string& error);
  // The unit's row, and its serial programmed (result "ok"), void (refused before anything was
  // written) or failed. "" or the reason.
  std::string Record(const UnitRecord& record);
  // A serial of this run's that reached no unit.
  std::string Void(const std::string& serial, const std::string& reason);
  // Serials left reserved by runs that ended become abandoned, once: those marked now.
  std::optional<std::vector<std::string>> RecordAbandoned(std::string& error);

 private:
  LineRun(std::unique_ptr<OdbcConnection> connection, std::string line, LineRunIdentity identity);

  std::string line_;
  std::string source_;
  LineRunIdentity identity_;
};

}  // namespace veltra::production
