#include "outcome_checks.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "app/progress_window.h"
#include "app/qt_timers.h"
#include "image/eeprom_config.h"
#include "image/section_kinds.h"

namespace veltra::app::testing {

void Settle() {
  // Each round runs what the one before queued: notice, re-check, removal message.
  for (int round = 0; round < 6; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

bool WaitReleased(CDemoDlg& window, int timeoutMs) {
  QElapsedTimer elapsed;
  elapsed.start();
  // Wakes the loop now and then, so that the time limit is seen when nothing else happens.
  QTimer tick;
  tick.start(100);
  while (window.IsBusy() || !window.isEnabled()) {
    if (elapsed.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

ModelSnapshot TakeSnapshot(CDemoDlg& window) {
  const image::EepromConfig& model = window.Model();
  ModelSnapshot snapshot;
  for (const auto& section : model.Sections())
    snapshot.sections.push_back({section->Type(), section->entry, section->data});
  const int rows[] = {image::section_index::kPlaybackEq, image::section_index::kRecordEq};
  for (size_t i = 0; i < 2; ++i) {
    std::array<uint8_t, 22> record{};
    if (model.GetTailRecord(record.data(), 22, rows[i]) != 0) snapshot.tailRecords[i] = record;
  }
  for (int i = 0; i < 7; ++i)
    snapshot.capabilities[static_cast<size_t>(i)] = model.GetCapability(i);
  snapshot.variant = model.GetChipVariant();
  snapshot.empty = model.IsEmpty();
  snapshot.pages = window.PageTitles();
  return snapshot;
}

std::string ReleaseProblem(AppHarness& app) {
  CDemoDlg& window = app.Window();
  if (window.IsBusy()) return "the operation is still running";
  if (!window.isEnabled()) return "the main window stays disabled";
  if (window.Progress().isVisible()) return "the progress window stays up";
  if (app.Backend().Timers().Held()) return "the device's timers stay held";
  if (app.Dialogs().Unanswered() != 0) return "a dialog was not expected";
  const bool connected = window.IsConnected();
  for (const char* id : {"3", "4", "5", "1160", "1161"}) {
    if (app.Button(id)->isEnabled() != connected)
      return std::string("device button ") + id + (connected ? " disabled" : " enabled") +
             " while " + (connected ? "connected" : "not connected");
  }
  if (app.Control<QComboBox>("1244")->isEnabled() == connected)
    return "the EEPROM type list does not follow the connected state";
  const QString caption = connected ? QStringLiteral("Stop") : QStringLiteral("Connect");
  if (app.Button("1017")->text() != caption) return "Connect button caption wrong";
  return {};
}

uint32_t TransportPage(uint32_t eepromSize) {
  return eepromSize < 1024 ? 8 : 16;
}

WriteCut AnalyseWrite(std::span<const uint8_t> old, std::span<const uint8_t> written,
                      std::span<const uint8_t> now, uint32_t length, uint32_t page) {
  WriteCut cut;
  // The first byte that is not the new one, the last that is not the old one.
  std::optional<uint32_t> firstNotNew;
  std::optional<uint32_t> lastNotOld;
  for (uint32_t i = 0; i < length; ++i) {
    if (!firstNotNew && now[i] != written[i]) firstNotNew = i;
    if (now[i] != old[i]) lastNotOld = i;
  }
  cut.untouched = !lastNotOld;
  // Bytes in neither state, if any, lie between the two, inside one page.
  cut.valid = !firstNotNew || !lastNotOld || *firstNotNew > *lastNotOld ||
              *firstNotNew / page == *lastNotOld / page;
  return cut;
}

QString DescribeMessages(const QStringList& messages) {
  if (messages.isEmpty()) return QStringLiteral("no message");
  QStringList quoted;
  for (QString text : messages)
    quoted << QLatin1Char('"') + text.replace(QLatin1Char('\n'), QStringLiteral("\\n")) +
                  QLatin1Char('"');
  return quoted.join(QStringLiteral(", "));
}

}  // namespace veltra::app::testing
