#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A production line that follows its units as they come and go: each unit of the VID/PID is
// programmed once while it stays attached, and again only after it was removed. A unit is its
// device instance: the several audio interfaces one device may have are one unit.
namespace veltra::production {

// One arrival (kDbtDeviceArrival) or removal (kDbtDeviceRemoveComplete) of an interface path.
struct DeviceNotice {
  uint32_t event = 0;
  std::u16string path;
};

// Where the line learns of its units: the system's device notices, or a test's.
class UnitNoticeSource {
 public:
  virtual ~UnitNoticeSource() = default;
  // The interface paths attached now.
  virtual std::vector<std::u16string> PresentPaths() = 0;
  // The notices that came, in order, waiting up to timeoutMs for the first; empty when none did.
  virtual std::vector<DeviceNotice> TakeNotices(uint32_t timeoutMs) = 0;
};

// Which interface paths are units: the VID/PID's, or only the one path when it is not empty.
struct UnitFilter {
  uint16_t vid = 0;
  uint16_t pid = 0;
  std::u16string path;
  bool Matches(const std::u16string& candidate) const;
};

// How often a waiting line asks stop(): Ctrl+C is seen within this time.
inline constexpr uint32_t kUnitWaitMs = 100;

// Programs the units attached at the start, each once, then, when follow is set, each unit as it
// arrives, one at a time, until stop() is true (asked before every unit and at least every
// kUnitWaitMs while waiting).
void WatchUnits(UnitNoticeSource& source, const UnitFilter& filter,
                const std::function<bool()>& stop,
                const std::function<void(const std::u16string& path)>& program, bool follow = true);

}  // namespace veltra::production
