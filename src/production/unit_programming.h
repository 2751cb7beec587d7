#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "device/eeprom_types.h"
#include "device/transport.h"
#include "image/configuration.h"
#include "production/production_log.h"

namespace veltra::production {

// What a production run writes into every unit.
struct UnitJob {
  const image::Configuration* configuration = nullptr;
  device::EepromType eeprom;
  bool whole = false;  // the whole transfer length, not only the used part
  // Each unit gets the template as its chip's pages would store it; otherwise a unit whose
  // pages would change the template is refused.
  bool normalize = false;
};

// What the steps of one unit ask of the run around them.
struct UnitHooks {
  // The unit's serial, given the one its EEPROM carries ("" when none): nullopt refuses the unit
  // with the reason in error, and fatal set also stops the run. Unset: the template's Serial
  // string is kept.
  std::function<std::optional<std::string>(const std::string& carried, std::string& error,
                                           bool& fatal)>
      serialFor;
  // Right before the first byte is written (a simulated unit that NACKs its writes starts here).
  std::function<void()> beforeWrite;
  // Asked between the reads of the part check and between slices of the write and of the read
  // back: true aborts the unit at once.
  std::function<bool()> abort;
  // The one-line reason of a failed transfer, the command's text given.
  std::function<std::string(std::string_view text)> transferFailure;
  // Why what was written did not reach the EEPROM's storage, or "".
  std::function<std::string()> storageProblem;
};

// One attached unit: reads its chip variant and refuses it when its pages would change the
// template (or, with normalize, takes the template as they would store it), checks the part is
// not smaller than the type, reads the serial the unit carries and takes the one serialFor gives
// into the Serial string, writes the packed image (used part or whole), reads the written range
// back and compares it. The record's serial (the one written), result, detail and image hash are
// filled in. fatal: the serial source failed, the run must stop.
// The Serial string the configuration holds as text; "" when it has none.
std::string SerialOf(const image::Configuration& configuration);

void ProgramUnit(device::VendorTransport& transport, const UnitJob& job, const UnitHooks& hooks,
                 UnitRecord& record, bool& fatal);

}  // namespace veltra::production
