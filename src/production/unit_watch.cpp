#include "production/unit_watch.h"

#include <algorithm>
#include <string_view>

#include "device/channel.h"
#include "platform/win32_codes.h"

namespace veltra::production {
namespace {

// A unit's audio interfaces (its wave and topology filters) share its device instance and
// differ only after the interface class ("#{6994ad04-...}\global"): one unit, programmed once,
// or it would take a second serial.
std::u16string_view DeviceInstanceOf(std::u16string_view path) {
  const size_t interfaceClass = path.rfind(u"#{");
  return interfaceClass == std::u16string_view::npos ? path : path.substr(0, interfaceClass);
}

auto Find(std::vector<std::u16string>& paths, const std::u16string& path) {
  return std::find_if(paths.begin(), paths.end(), [&](const std::u16string& known) {
    return device::SameInterfacePath(DeviceInstanceOf(known), DeviceInstanceOf(path));
  });
}

bool Contains(std::vector<std::u16string>& paths, const std::u16string& path) {
  return Find(paths, path) != paths.end();
}

void Remove(std::vector<std::u16string>& paths, const std::u16string& path) {
  if (const auto found = Find(paths, path); found != paths.end()) paths.erase(found);
}

}  // namespace

bool UnitFilter::Matches(const std::u16string& candidate) const {
  if (!path.empty()) return device::SameInterfacePath(candidate, path);
  uint16_t foundVid = 0;
  uint16_t foundPid = 0;
  const int found = device::DeviceChannel::ParseVidPid(candidate, foundVid, foundPid);
  return found == (device::DeviceChannel::kFoundVid | device::DeviceChannel::kFoundPid) &&
         foundVid == vid && foundPid == pid;
}

void WatchUnits(UnitNoticeSource& source, const UnitFilter& filter,
                const std::function<bool()>& stop,
                const std::function<void(const std::u16string& path)>& program, bool follow) {
  std::vector<std::u16string> waiting;
  // Programmed and not yet removed: a unit left attached is not programmed twice.
  std::vector<std::u16string> done;
  for (const std::u16string& path : source.PresentPaths()) {
    if (filter.Matches(path) && !Contains(waiting, path)) waiting.push_back(path);
  }
  while (!stop()) {
    if (!follow && waiting.empty()) return;
    // Notices that came while a unit was programmed are taken at once.
    for (const DeviceNotice& notice : follow ? source.TakeNotices(waiting.empty() ? kUnitWaitMs : 0)
                                             : std::vector<DeviceNotice>{}) {
      if (!filter.Matches(notice.path)) continue;
      if (notice.event == platform::kDbtDeviceArrival) {
        if (!Contains(done, notice.path) && !Contains(waiting, notice.path)) {
          waiting.push_back(notice.path);
        }
      } else if (notice.event == platform::kDbtDeviceRemoveComplete) {
        Remove(done, notice.path);
        Remove(waiting, notice.path);
      }
    }
    if (waiting.empty() || stop()) continue;
    const std::u16string path = waiting.front();
    waiting.erase(waiting.begin());
    done.push_back(path);
    program(path);
  }
}

}  // namespace veltra::production
