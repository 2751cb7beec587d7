#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QtTest>

#include "eq/factory_defaults.h"
#include "image/eq_sections.h"
#include "image/factory_image.h"
#include "log/diagnostic_log.h"
#include "page_rig.h"
#include "platform/sim/request_log.h"
#include "platform/vendor_packet.h"

namespace veltra::pages::testing {

// The factory bands' words, written out by hand as the chip's documentation gives them.
inline constexpr std::array<std::array<uint32_t, 3>, eq::kBandCount> kFactoryWords{{
    {0x3F2F0C0F, 0xE0CF9124, 0x0067C891},
    {0x3DCEE4DA, 0xE2207A93, 0x01103D49},
    {0x397BB62A, 0xE604D936, 0x03026C9A},
    {0x27FE562D, 0xF31C5F55, 0x098E2FAA},
    {0xF339AA7F, 0xFEA1D932, 0x0F50EC98},
}};

inline std::vector<uint8_t> FactoryBandBytes() {
  std::vector<uint8_t> bytes;
  for (const auto& words : kFactoryWords)
    for (uint32_t word : words)
      for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<uint8_t>(word >> shift));
  return bytes;
}

// A page rig on a factory image whose diagnostic log is on, so Test's lines can be read.
struct EqRig : PageRig {
  EqRig() {
    image = *image::BuildFactoryImage(0x5A52, 0x7731, sim::PartInfo(sim::EepromPart::k24C64).size);
    if (!Read(image)) qFatal("the factory image was not read");
    model.LoadTailRecords();
  }

  template <typename T = QLineEdit>
  T* On(QWidget& page, const char* id) {
    T* control = page.findChild<T*>(QString::fromLatin1(id));
    if (control == nullptr) qFatal("no control %s", id);
    return control;
  }
  // A selection as the user makes it: the list's own handler runs.
  static void Choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  // Types into an edit and leaves it, as the Tab key does.
  static void Enter(QLineEdit* box, const QString& text) {
    TypeInto(box, text);
    LeaveBox(box);
  }
  std::vector<uint8_t> SectionBytes(int sectionType) {
    return model.FindSection(sectionType)->data;
  }
  std::optional<image::TailRecord> TailRecord1() const {
    image::TailRecord record{};
    if (model.GetTailRecord(record.data(), 22, image::section_index::kPlaybackEq) == 0)
      return std::nullopt;
    return record;
  }
  void SetTailRecord1(const image::BandTable& table) {
    image::TailRecord record = TailRecord1().value_or(image::TailRecord{0x81});
    image::EncodeBandTable(table, record);
    model.SetTailRecord(record.data(), 22, image::section_index::kPlaybackEq);
  }
  uint8_t HeaderByte(size_t at) {
    return model.FindSection(image::section_type::kHeader)->data[at];
  }

  // The one-byte register requests sent since the last clear, as (write, register, value).
  std::vector<std::array<int, 3>> Requests() const {
    std::vector<std::array<int, 3>> out;
    for (const sim::RequestRecord& r : system.RequestLog()) {
      if (r.ioctl != platform::kIoctlVendorRequest) continue;
      const bool write = r.packet.writeFlag == 1;
      out.push_back({write ? 1 : 0, r.packet.index, write && !r.data.empty() ? r.data[0] : 0});
    }
    return out;
  }
  std::vector<std::string> LogLines() const {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = eqLogFile.contents.find('\n', start)) != std::string::npos;
         start = end + 1)
      lines.push_back(eqLogFile.contents.substr(start, end + 1 - start));
    return lines;
  }

  std::vector<uint8_t> image;
  log::testing::MemoryLogFile eqLogFile;
  log::testing::FixedLocalTime eqTime{{3, 7, 9, 5, 41}};
  log::DiagnosticLog eqLog{{true, log::LogType::kFile}, eqLogFile, debug, eqTime};
  PageContext eqContext{model, dialogs, transport, eqLog};
};

inline void PressKey(QWidget* widget, Qt::Key key) {
  QTest::keyClick(widget, key);
}

}  // namespace veltra::pages::testing
