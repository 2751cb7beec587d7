#include "production/odbc_connection.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <cctype>

#include "platform/text.h"

namespace veltra::production {
namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide characters are UTF-16 units");

struct HandleFree {
  SQLSMALLINT type;
  void operator()(SQLHANDLE handle) const { SQLFreeHandle(type, handle); }
};
using Handle = std::unique_ptr<void, HandleFree>;

SQLWCHAR* Wide(std::u16string& text) {
  return reinterpret_cast<SQLWCHAR*>(text.data());
}

// The driver's messages span lines and carry a tab or two: one line, single blanks, each line
// a sentence.
std::string OneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    if (c == '\n' && !line.empty() && std::isalnum(static_cast<unsigned char>(line.back()))) {
      line += '.';
    }
    const bool blank = std::isspace(static_cast<unsigned char>(c)) != 0;
    if (blank && (line.empty() || line.back() == ' ')) continue;
    line += blank ? ' ' : c;
  }
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  return line;
}

// Throws the first diagnostic record of the handle, or a plain failure of what when it has none.
[[noreturn]] void Fail(SQLSMALLINT type, SQLHANDLE handle, std::string_view what) {
  std::u16string state(6, u'\0');
  std::u16string message(1024, u'\0');
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  const SQLRETURN got = handle == nullptr
                            ? SQL_ERROR
                            : SQLGetDiagRecW(type, handle, 1, Wide(state), &native, Wide(message),
                                             static_cast<SQLSMALLINT>(message.size()), &length);
  if (!SQL_SUCCEEDED(got)) throw OdbcError("HY000", std::string(what) + " failed (SQLSTATE HY000)");
  state.resize(5);
  message.resize(
      std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1));
  const std::string code = platform::ToUtf8(state);
  throw OdbcError(code, OneLine(platform::ToUtf8(message)) + " (SQLSTATE " + code + ")");
}

void Check(SQLRETURN result, SQLSMALLINT type, SQLHANDLE handle, std::string_view what) {
  if (!SQL_SUCCEEDED(result)) Fail(type, handle, what);
}

Handle Allocate(SQLSMALLINT type, SQLHANDLE parent, SQLSMALLINT parentType) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  Check(SQLAllocHandle(type, parent, &handle), parentType, parent, "SQLAllocHandle");
  return Handle(handle, HandleFree{type});
}

// A statement with its parameters bound; their buffers live as long as it does.
class Statement {
 public:
  Statement(SQLHANDLE connection, std::string_view sql, const std::vector<OdbcValue>& params)
      : handle_(Allocate(SQL_HANDLE_STMT, connection, SQL_HANDLE_DBC)) {
    texts_.reserve(params.size());
    numbers_.reserve(params.size());
    indicators_.reserve(params.size());
    SQLUSMALLINT index = 0;
    for (const OdbcValue& value : params)
      Bind(++index, value);
    std::u16string text = platform::ToUtf16(sql);
    const SQLRETURN result = SQLExecDirectW(Get(), Wide(text), SQL_NTS);
    // SQL_NO_DATA: a searched UPDATE or DELETE that matched no row.
    if (result != SQL_NO_DATA) Check(result, SQL_HANDLE_STMT, Get(), "SQLExecDirect");
  }

  SQLHANDLE Get() const { return handle_.get(); }

  std::vector<OdbcRow> Rows() {
    SQLSMALLINT columns = 0;
    Check(SQLNumResultCols(Get(), &columns), SQL_HANDLE_STMT, Get(), "SQLNumResultCols");
    std::vector<OdbcRow> rows;
    if (columns == 0) return rows;
    for (;;) {
      const SQLRETURN fetched = SQLFetch(Get());
      if (fetched == SQL_NO_DATA) break;
      Check(fetched, SQL_HANDLE_STMT, Get(), "SQLFetch");
      OdbcRow& row = rows.emplace_back();
      for (SQLUSMALLINT column = 1; column <= static_cast<SQLUSMALLINT>(columns); ++column)
        row.push_back(Column(column));
    }
    return rows;
  }

  int64_t Changed() {
    SQLLEN count = 0;
    Check(SQLRowCount(Get(), &count), SQL_HANDLE_STMT, Get(), "SQLRowCount");
    return count < 0 ? 0 : static_cast<int64_t>(count);
  }

 private:
  void Bind(SQLUSMALLINT index, const OdbcValue& value) {
    SQLLEN& indicator = indicators_.emplace_back(0);
    SQLRETURN result = SQL_SUCCESS;
    if (const auto* number = std::get_if<int64_t>(&value)) {
      numbers_.push_back({.integer = *number});
      result = SQLBindParameter(Get(), index, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0,
                                &numbers_.back().integer, 0, &indicator);
    } else if (const auto* real = std::get_if<double>(&value)) {
      numbers_.push_back({.real = *real});
      result = SQLBindParameter(Get(), index, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0,
                                &numbers_.back().real, 0, &indicator);
    } else {
      const auto* text = std::get_if<std::string>(&value);
      std::u16string& wide = texts_.emplace_back(text ? platform::ToUtf16(*text) : u"");
      indicator = text ? static_cast<SQLLEN>(wide.size() * sizeof(char16_t)) : SQL_NULL_DATA;
      result = SQLBindParameter(Get(), index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                                std::max<SQLULEN>(wide.size(), 1), 0, Wide(wide),
                                indicator > 0 ? indicator : 0, &indicator);
    }
    Check(result, SQL_HANDLE_STMT, Get(), "SQLBindParameter");
  }

  std::optional<std::string> Column(SQLUSMALLINT column) {
    std::u16string text;
    std::u16string chunk(256, u'\0');
    for (;;) {
      SQLLEN length = 0;
      const SQLRETURN got =
          SQLGetData(Get(), column, SQL_C_WCHAR, Wide(chunk),
                     static_cast<SQLLEN>(chunk.size() * sizeof(char16_t)), &length);
      if (got == SQL_NO_DATA) break;
      Check(got, SQL_HANDLE_STMT, Get(), "SQLGetData");
      if (length == SQL_NULL_DATA) return std::nullopt;
      // Each call ends its part with a null; a part that fills the buffer has more behind it.
      const size_t units =
          length == SQL_NO_TOTAL || static_cast<size_t>(length) >= chunk.size() * sizeof(char16_t)
              ? chunk.size() - 1
              : static_cast<size_t>(length) / sizeof(char16_t);
      text.append(chunk.data(), units);
      if (got == SQL_SUCCESS) break;
    }
    return platform::ToUtf8(text);
  }

  union Number {
    int64_t integer;
    double real;
  };
  Handle handle_;
  // Bound by address: reserved up front, so no buffer moves while the statement runs.
  std::vector<std::u16string> texts_;
  std::vector<Number> numbers_;
  std::vector<SQLLEN> indicators_;
};

}  // namespace

struct OdbcConnection::Handles {
  Handle environment;
  Handle connection;
  bool connected = false;
};

OdbcConnection::OdbcConnection(const std::string& connection)
    : handles_(std::make_unique<Handles>()) {
  handles_->environment = Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE, SQL_HANDLE_ENV);
  SQLHANDLE environment = handles_->environment.get();
  Check(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION,
                      reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
        SQL_HANDLE_ENV, environment, "SQLSetEnvAttr");
  handles_->connection = Allocate(SQL_HANDLE_DBC, environment, SQL_HANDLE_ENV);
  SQLHANDLE dbc = handles_->connection.get();
  // A server that does not answer fails the connection instead of hanging the line.
  SQLSetConnectAttrW(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(15), 0);
  std::u16string text = platform::ToUtf16(
      connection.find('=') == std::string::npos ? "DSN=" + connection : connection);
  Check(SQLDriverConnectW(dbc, nullptr, Wide(text), SQL_NTS, nullptr, 0, nullptr,
                          SQL_DRIVER_NOPROMPT),
        SQL_HANDLE_DBC, dbc, "SQLDriverConnect");
  handles_->connected = true;
  Check(SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT,
                           reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0),
        SQL_HANDLE_DBC, dbc, "SQLSetConnectAttr");
}

OdbcConnection::~OdbcConnection() {
  if (!handles_->connected) return;
  SQLHANDLE dbc = handles_->connection.get();
  SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
  SQLDisconnect(dbc);
}

std::vector<OdbcRow> OdbcConnection::Query(std::string_view sql,
                                           const std::vector<OdbcValue>& params) {
  return Statement(handles_->connection.get(), sql, params).Rows();
}

int64_t OdbcConnection::Execute(std::string_view sql, const std::vector<OdbcValue>& params) {
  return Statement(handles_->connection.get(), sql, params).Changed();
}

void OdbcConnection::Commit() {
  SQLHANDLE dbc = handles_->connection.get();
  Check(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_HANDLE_DBC, dbc, "SQLEndTran");
}

void OdbcConnection::Rollback() {
  SQLHANDLE dbc = handles_->connection.get();
  Check(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK), SQL_HANDLE_DBC, dbc, "SQLEndTran");
}

}  // namespace veltra::production
