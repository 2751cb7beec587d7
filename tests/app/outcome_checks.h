#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QStringList>

#include "app_harness.h"

// Checks shared by the fault matrix and the soak run: what the main window shows after an
// operation, and what a write left in the EEPROM.
namespace veltra::app::testing {

// Lets the queued hand-overs that follow an operation run (a removal notice handled after the
// operation, the disconnect it leads to).
void Settle();

// Waits, without polling, until no operation runs and the window is enabled; false when that
// has not happened within the time limit.
bool WaitReleased(CDemoDlg& window, int timeoutMs);

// What the window shows as the device's configuration: the image model's sections, tail
// records and capabilities, and the page set.
struct ModelSnapshot {
  struct SectionState {
    int type = 0;
    std::array<uint8_t, 4> entry{};
    std::vector<uint8_t> data;
    friend bool operator==(const SectionState&, const SectionState&) = default;
  };
  std::vector<SectionState> sections;
  std::array<std::optional<std::array<uint8_t, 22>>, 2> tailRecords;
  std::array<int, 7> capabilities{};
  int variant = 0;
  bool empty = true;
  QStringList pages;
  friend bool operator==(const ModelSnapshot&, const ModelSnapshot&) = default;
};
ModelSnapshot TakeSnapshot(CDemoDlg& window);

// "" when the window is released after an operation: enabled, not busy, the progress window
// hidden, the device's timers running again, no question left unanswered, and the command row
// as the connected state says. Otherwise what is wrong.
std::string ReleaseProblem(AppHarness& app);

// Where a write of `written` over `old` stopped, judged from what the EEPROM holds now over the
// first `length` bytes. The transport writes in chunks that never cross a page of `page` bytes;
// a failed write must leave the new bytes up to a chunk and the old ones after it, with only
// the bytes of that one chunk in neither state.
struct WriteCut {
  bool untouched = false;  // every byte is the old one
  bool valid = false;      // new bytes, then at most one chunk's worth of others, then old bytes
};
WriteCut AnalyseWrite(std::span<const uint8_t> old, std::span<const uint8_t> written,
                      std::span<const uint8_t> now, uint32_t length, uint32_t page);

// The chunk page the transport uses for an EEPROM of this size.
uint32_t TransportPage(uint32_t eepromSize);

QString DescribeMessages(const QStringList& messages);

}  // namespace veltra::app::testing
