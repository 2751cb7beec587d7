#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A thin layer over ODBC (unixODBC on Linux, Windows' own in the .exe): handles that free
// themselves, parameters always bound (never text pasted into SQL), and each failure as one
// line with its SQLSTATE.
namespace veltra::production {

class OdbcError : public std::runtime_error {
 public:
  OdbcError(std::string state, const std::string& message)
      : std::runtime_error(message), state_(std::move(state)) {}
  // Five characters, such as "08001" (no connection) or "40001" (serialization failure).
  const std::string& State() const { return state_; }

 private:
  std::string state_;
};

// A statement parameter; text travels as UTF-16, whatever the driver's character set.
using OdbcValue = std::variant<std::nullptr_t, std::string, int64_t, double>;
// A result row, each column as text (UTF-8); nullopt for SQL NULL.
using OdbcRow = std::vector<std::optional<std::string>>;

class OdbcConnection {
 public:
  // connection: a connection string ("Driver={PostgreSQL Unicode};Server=db;...") when it holds
  // '=', a data source name otherwise. Transactions are explicit: autocommit is off.
  explicit OdbcConnection(const std::string& connection);
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // '?' in sql marks each parameter. Query returns the rows, Execute the count of rows changed.
  std::vector<OdbcRow> Query(std::string_view sql, const std::vector<OdbcValue>& params = {});
  int64_t Execute(std::string_view sql, const std::vector<OdbcValue>& params = {});
  void Commit();
  void Rollback();

 private:
  struct Handles;
  std::unique_ptr<Handles> handles_;
};

}  // namespace veltra::production
