#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <string>
#include <string_view>

// The record of a production run: one CSV row per unit, several runs sharing one file.
namespace veltra::production {

// A unit's result, as the log and the line record it.
inline constexpr char kResultOk[] = "ok";
inline constexpr char kResultWriteFailed[] = "write-failed";
inline constexpr char kResultVerifyFailed[] = "verify-failed";
inline constexpr char kResultRefused[] = "refused";  // nothing was written
// A serial reserved by a run that ended before it recorded its unit.
inline constexpr char kResultAbandoned[] = "abandoned";

struct UnitRecord {
  std::time_t time = 0;
  std::string serial;  // the serial written; "" when none was (a unit refused before)
  std::string devicePath;
  std::string result;  // one of kResult...
  std::string detail;  // the failing address or the reason; "" for ok
  double seconds = 0;
  std::string imageHash;  // "" when nothing was written
};

inline constexpr char kLogHeader[] = "time,serial,device,result,detail,seconds,image_fnv1a64\n";

// "2026-12-07T19:05:03+01:00": local time with its offset from UTC.
std::string IsoLocalTime(std::time_t time);

// The 64-bit FNV-1a hash of the bytes as 16 lower-case hex digits.
std::string Fnv1a64(std::span<const uint8_t> bytes);

// The record as one CSV line (RFC 4180 quoting), ending in a line break.
std::string CsvRow(const UnitRecord& record);

// Hands the serial of every row of the log at path to take (a missing log has none): "" or the
// reason, naming the file.
std::string ReadLoggedSerials(const std::string& path,
                              const std::function<void(std::string_view serial)>& take);

// Appends the row in one write, synced; the header comes first into an empty or new file.
// "" or the reason, naming the file.
std::string AppendUnitRecord(const std::string& path, const UnitRecord& record);

}  // namespace veltra::production
