#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include <QFocusEvent>
#include <QLineEdit>
#include <QTabWidget>
#include <QtTest>

#include "backend/simulated_backend.h"
#include "device/channel.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "image/eeprom_config.h"
#include "image/image_layout.h"
#include "log/diagnostic_log.h"
#include "log/log_fakes.h"
#include "pages/config_page.h"
#include "pages/page_context.h"
#include "platform/sim/sim_system.h"
#include "ui/scripted_user_dialogs.h"

namespace veltra::pages::testing {

// One page on a connected simulated chip: the image model reads and writes the chip's EEPROM,
// the dialogs are scripted, and the page sits in a shown page set so its contents exist.
struct PageRig {
  explicit PageRig(sim::EepromPart part = sim::EepromPart::k24C64, uint8_t capability = 0x34)
      : backend({.eeprom = device::EepromTypeBySize(sim::PartInfo(part).size),
                 .capability = capability},
                backend::BackendSetup::ForTests()),
        transferLength(sim::PartInfo(part).size - 1) {
    if (!backend.Connect()) qFatal("the simulated chip did not attach");
  }

  // Puts the page into the page set and shows it: the contents are created and loaded.
  void Show(ConfigPage& page) {
    host.addTab(&page, page.Title());
    host.setCurrentWidget(&page);
    host.show();
  }

  // The EEPROM holds this image; the model reads it as a Connect does.
  bool Read(std::span<const uint8_t> image) {
    auto& eeprom = device.Eeprom().Contents();
    std::fill(eeprom.begin(), eeprom.end(), uint8_t{0xFF});
    std::copy_n(image.begin(), std::min(image.size(), eeprom.size()), eeprom.begin());
    return Reread();
  }
  bool Reread() {
    return model.Reload(transferLength) == image::kSOk &&
           model.SetEepromSize(transferLength) == image::kSOk;
  }
  // Store the page and write the image, as Save EEPROM does; false when either refused.
  bool Save(ConfigPage& page) {
    if (!page.Store()) return false;
    const int result = model.WriteToEeprom();
    system.Clock().Advance(10'000'000);  // the last write cycle
    return result == 0;
  }
  image::ImageContents Stored() {
    return image::ReadImage(device.Eeprom().Contents(), transferLength);
  }

  // An image of these sections (table rows) and Header bytes, laid out by the packer.
  std::vector<uint8_t> Image(std::span<const uint8_t> header,
                             std::vector<image::PackSection> sections) const {
    std::vector<uint8_t> bytes(transferLength, 0);
    image::PackInput input;
    input.sections = sections;
    input.header = header;
    if (!image::PackImage(input, transferLength, bytes).fits) qFatal("test image does not fit");
    return bytes;
  }

  backend::SimulatedBackend backend;
  sim::SimSystem& system = backend.System();
  sim::SimUsbDevice& device = backend.Device();
  uint32_t transferLength;
  device::DeviceChannel& channel = backend.Channel();
  device::VendorTransport& transport = backend.Transport();
  image::EepromConfig model{transport};
  ui::testing::ScriptedUserDialogs dialogs;
  log::testing::MemoryLogFile logFile;
  log::testing::CapturingDebugOutput debug;
  log::testing::FixedLocalTime localTime{{}};
  log::DiagnosticLog log{log::LogSettings{}, logFile, debug, localTime};
  PageContext context{model, dialogs, transport, log};
  QTabWidget host;
};

// Focus leaves the box as it does for a click elsewhere or the Tab key.
inline void LeaveBox(QWidget* box, Qt::FocusReason reason = Qt::TabFocusReason) {
  QFocusEvent event(QEvent::FocusOut, reason);
  QApplication::sendEvent(box, &event);
}

// Replaces a box's text as the user would: select all, type.
inline void TypeInto(QLineEdit* box, const QString& text) {
  box->selectAll();
  box->insert(text);
}

}  // namespace veltra::pages::testing
