#pragma once

namespace veltra::log {

// The fields a log record's stamp shows; month 1..12, hour 0..23.
struct LocalTime {
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class LocalTimeSource {
 public:
  virtual ~LocalTimeSource() = default;
  virtual LocalTime Now() = 0;
};

class SystemLocalTime final : public LocalTimeSource {
 public:
  LocalTime Now() override;
};

}  // namespace veltra::log
