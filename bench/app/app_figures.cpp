// Prints how long the GUI takes to come up, to connect and to show the Audio I/O Config page
// for the first time, how long its event loop stalls while a worker thread moves a whole
// 24C512 (the progress bar following it), while a PlayBack EQ Test talks to the chip, and how
// long a gain slider's move takes to redraw the band plot. Run it on an idle machine:
//   QT_QPA_PLATFORM=offscreen build/bench/app/app_figures
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include "app/gui_backend.h"
#include "app/main_window.h"
#include "app/progress_window.h"
#include "backend/simulated_backend.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "log/local_time.h"
#include "pages/audio_config_page.h"
#include "pages/band_response_plot.h"
#include "pages/playback_eq_page.h"
#include "platform/file_replace.h"
#include "platform/log_file_store.h"
#include "platform/sim/capturing_debug_output.h"
#include "platform/sim/sim_system.h"
#include "ui/user_dialogs.h"

namespace {

using namespace veltra;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Answers every file dialog with one path and every question with OK.
class AnsweringDialogs final : public ui::UserDialogs {
 public:
  QString file;
  std::vector<QString> messages;
  void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text); }
  bool Ask(QWidget*, const QString&) override { return true; }
  std::optional<QString> GetSaveFileName(QWidget*, const QString&, const QString&) override {
    return file;
  }
  std::optional<QString> GetOpenFileName(QWidget*, const QString&, const QString&) override {
    return file;
  }
};

// The largest image the format describes: the factory sections, a full MCU section and four
// three full pass-through sections (a fourth would start beyond the offsets an entry holds).
std::vector<uint8_t> FullImage() {
  constexpr uint32_t kSize = 65536;
  const std::vector<uint8_t> factory = *image::BuildFactoryImage(0x5A52, 0x7731, kSize);
  const image::ImageContents contents = image::ReadImage(factory, kSize - 1);
  std::vector<std::vector<uint8_t>> data(image::kDirectorySlotCount);
  data[image::section_index::kMcu].assign(16383, 0x5A);
  for (int index : {5, 6, 7})
    data[static_cast<size_t>(index)].assign(4095, static_cast<uint8_t>(index));
  for (size_t index = 1; index < data.size(); ++index)
    if (contents.sections[index]) data[index] = contents.sections[index]->data;
  std::vector<image::PackSection> sections;
  for (size_t index = 0; index < data.size(); ++index)
    if (!data[index].empty()) sections.push_back({static_cast<int>(index), data[index]});

  std::vector<uint8_t> bytes(kSize, 0xFF);
  image::PackInput input;
  input.sections = sections;
  input.header = std::span(contents.header);
  if (contents.tailRecords.first) input.tailRecord1 = &*contents.tailRecords.first;
  if (contents.tailRecords.second) input.tailRecord2 = &*contents.tailRecords.second;
  const image::PackResult result =
      image::PackImage(input, kSize - 1, std::span(bytes).first(kSize - 1));
  std::printf("full image: %u bytes of sections, fits: %s\n", result.total,
              result.fits ? "yes" : "no");
  return bytes;
}

struct Rig {
  QTemporaryDir dir;
  std::unique_ptr<app::GuiBackend> backend;
  AnsweringDialogs dialogs;
  std::unique_ptr<platform::PosixLogFileStore> logFile;
  sim::CapturingDebugOutput debug;
  log::SystemLocalTime localTime;
  std::unique_ptr<app::CDemoDlg> window;

  Rig(const std::vector<uint8_t>& image, int64_t latencyNs,
      sim::EepromPart part = sim::EepromPart::k24C512) {
    veltra::backend::DeviceOptions options;
    options.eeprom = device::EepromTypeBySize(sim::PartInfo(part).size);
    options.latencyNs = latencyNs;
    options.imageFile = dir.filePath(QStringLiteral("eeprom.bin")).toStdString();
    platform::ReplaceFile(options.imageFile, image);
    backend = std::make_unique<app::GuiBackend>(options);
    logFile = std::make_unique<platform::PosixLogFileStore>(
        dir.filePath(QStringLiteral("log/VeltraConfig.log")).toStdString());
    dialogs.file = dir.filePath(QStringLiteral("dump.bin"));
    window = std::make_unique<app::CDemoDlg>(
        app::MainWindowServices{backend->Channel(), backend->Transport(), dialogs, *logFile, debug,
                                localTime, backend->Window(), [] { return log::LogSettings{}; },
                                &backend->Timers(), QStringLiteral("bench")});
  }

  void ShowAndWait() {
    window->show();
    while (window->windowHandle() == nullptr || !window->windowHandle()->isExposed())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }

  // Runs the click's operation to its end; returns the longest gap between two turns of the
  // event loop meanwhile.
  Clock::duration RunOperation(const char* button) {
    QEventLoop loop;
    QObject::connect(window.get(), &app::CDemoDlg::OperationFinished, &loop, &QEventLoop::quit);
    Clock::duration longest{};
    Clock::time_point last = Clock::now();
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const Clock::time_point now = Clock::now();
      longest = std::max(longest, now - last);
      last = now;
    });
    tick.start();
    window->findChild<QPushButton*>(QString::fromLatin1(button))->click();
    loop.exec();
    tick.stop();
    return longest;
  }

  // Runs the action from the event loop; returns the longest gap between two turns of the loop
  // from just before the action until the loop has turned a few times after it.
  Clock::duration StallOf(const std::function<void()>& action) {
    QEventLoop loop;
    Clock::duration longest{};
    Clock::time_point last = Clock::now();
    int turnsAfter = -1;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const Clock::time_point now = Clock::now();
      longest = std::max(longest, now - last);
      last = now;
      if (turnsAfter >= 0 && ++turnsAfter == 10) loop.quit();
    });
    tick.start();
    QTimer::singleShot(20, [&] {
      action();
      turnsAfter = 0;
    });
    loop.exec();
    return longest;
  }

  void Prepare(const char* typeName = "S24C512") {
    auto* type = window->findChild<QComboBox*>(QStringLiteral("1244"));
    type->setCurrentIndex(type->findText(QString::fromLatin1(typeName)));
    window->findChild<QLineEdit*>(QStringLiteral("1016"))->setText(QStringLiteral("5A52"));
    window->findChild<QLineEdit*>(QStringLiteral("1018"))->setText(QStringLiteral("7731"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point processStart = Clock::now();
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("veltra-config"));
  const std::vector<uint8_t> image = FullImage();

  {
    Rig rig(image, 0);
    rig.ShowAndWait();
    std::printf("start to shown main window: %.1f ms (QApplication included)\n",
                Ms(Clock::now() - processStart));
  }

  std::vector<double> connects;
  for (int run = 0; run < 5; ++run) {
    Rig rig(image, 0);
    rig.ShowAndWait();
    rig.Prepare();
    const Clock::time_point start = Clock::now();
    rig.RunOperation("1017");
    connects.push_back(Ms(Clock::now() - start));
    if (!rig.window->IsConnected()) std::printf("warning: not connected\n");
  }
  std::sort(connects.begin(), connects.end());
  std::printf(
      "Connect to pages loaded, full 24C512 image, no latency: median %.1f ms, best %.1f ms\n",
      connects[connects.size() / 2], connects.front());

  // The widest page builds its controls and fills 18 volume lists on first display.
  std::vector<double> shows;
  for (int run = 0; run < 5; ++run) {
    Rig rig(image, 0);
    rig.ShowAndWait();
    rig.Prepare();
    rig.RunOperation("1017");
    const Clock::time_point start = Clock::now();
    rig.window->PageSet().setCurrentWidget(&rig.window->AudioPage());
    shows.push_back(Ms(Clock::now() - start));
    if (!rig.window->AudioPage().HasContents()) std::printf("warning: Audio I/O page not built\n");
  }
  std::sort(shows.begin(), shows.end());
  std::printf(
      "Audio I/O Config page, first display (controls built and loaded): median %.1f ms, "
      "best %.1f ms\n",
      shows[shows.size() / 2], shows.front());

  {
    Rig rig(image, 100'000);  // 0.1 ms per request
    rig.ShowAndWait();
    rig.Prepare();
    Clock::time_point start = Clock::now();
    const Clock::duration readStall = rig.RunOperation("1017");
    std::printf(
        "Connect (image read), 0.1 ms per request: %.0f ms, longest event-loop stall %.2f ms\n",
        Ms(Clock::now() - start), Ms(readStall));
    const uint64_t before = rig.backend->Simulated()->Machine().System().RequestCount();
    start = Clock::now();
    const Clock::duration dumpStall = rig.RunOperation("1160");
    std::printf(
        "EEPROM -> FILE, whole 24C512 (65535 bytes, %llu requests), 0.1 ms per request: %.0f ms, "
        "longest event-loop stall %.2f ms\n",
        static_cast<unsigned long long>(
            rig.backend->Simulated()->Machine().System().RequestCount() - before),
        Ms(Clock::now() - start), Ms(dumpStall));
    start = Clock::now();
    const Clock::duration saveStall = rig.RunOperation("3");
    const auto* bar = rig.window->findChild<QProgressBar*>(QStringLiteral("progressBar"));
    std::printf(
        "Save EEPROM, whole 24C512, 0.1 ms per request: %.0f ms, longest event-loop stall %.2f ms, "
        "bar at the end %d/%d\n",
        Ms(Clock::now() - start), Ms(saveStall), bar != nullptr ? bar->value() : -1,
        bar != nullptr ? bar->maximum() : -1);
    for (const QString& message : rig.dialogs.messages)
      std::printf("  message: %s\n", qPrintable(message));

    // What one of the bar's updates costs the window thread, drawing included.
    app::CProgress& progress = rig.window->Progress();
    progress.ShowOverMainWindow();
    std::vector<double> updates;
    for (int step = 0; step < 200; ++step) {
      const Clock::time_point begin = Clock::now();
      progress.SetProgress(static_cast<uint64_t>(step) * 300, 65535, step / 10);
      progress.repaint();
      updates.push_back(Ms(Clock::now() - begin));
    }
    progress.hide();
    std::sort(updates.begin(), updates.end());
    std::printf("progress bar update, drawn: median %.3f ms, worst %.3f ms\n",
                updates[updates.size() / 2], updates.back());
  }

  {
    // A gain slider's move on the PlayBack EQ Config page: the words of five bands and the plot
    // drawn again, as the user sees it.
    const uint32_t size = sim::PartInfo(sim::EepromPart::k24C64).size;
    Rig rig(*image::BuildFactoryImage(0x5A52, 0x7731, size), 0, sim::EepromPart::k24C64);
    rig.ShowAndWait();
    rig.Prepare("S24C64");
    rig.RunOperation("1017");
    rig.window->PageSet().setCurrentWidget(&rig.window->PlaybackEqPage());
    QCoreApplication::processEvents();
    auto* slider = rig.window->PlaybackEqPage().findChild<QSlider*>(QStringLiteral("1111"));
    auto* plot = rig.window->PlaybackEqPage().findChild<pages::BandResponsePlot*>(
        QStringLiteral("bandPlot"));
    std::vector<double> redraws;
    for (int run = 0; run < 200 && slider != nullptr && plot != nullptr; ++run) {
      const Clock::time_point start = Clock::now();
      slider->setValue(run % 48);
      plot->repaint();
      redraws.push_back(Ms(Clock::now() - start));
    }
    std::sort(redraws.begin(), redraws.end());
    if (!redraws.empty())
      std::printf(
          "PlayBack EQ gain slider move to band plot redrawn (%d x %d px): median %.2f ms, worst "
          "%.2f ms\n",
          plot->width(), plot->height(), redraws[redraws.size() / 2], redraws.back());
  }

  {
    // Test on the PlayBack EQ Config page runs on the window thread: 81 one-byte requests.
    const uint32_t size = sim::PartInfo(sim::EepromPart::k24C04).size;
    Rig rig(*image::BuildFactoryImage(0x5A52, 0x7731, size), 1'000'000, sim::EepromPart::k24C04);
    rig.ShowAndWait();
    rig.Prepare("S24C04");
    rig.RunOperation("1017");
    if (!rig.window->IsConnected()) std::printf("warning: not connected\n");
    rig.window->PageSet().setCurrentWidget(&rig.window->PlaybackEqPage());
    QCoreApplication::processEvents();
    auto* test = rig.window->PlaybackEqPage().findChild<QPushButton*>(QStringLiteral("1157"));
    std::vector<double> stalls;
    uint64_t requests = 0;
    for (int run = 0; run < 5 && test != nullptr; ++run) {
      const uint64_t before = rig.backend->Simulated()->Machine().System().RequestCount();
      stalls.push_back(Ms(rig.StallOf([test] { test->click(); })));
      requests = rig.backend->Simulated()->Machine().System().RequestCount() - before;
    }
    std::sort(stalls.begin(), stalls.end());
    if (!stalls.empty())
      std::printf(
          "PlayBack EQ Test (%llu requests), 1 ms per request: longest event-loop stall median "
          "%.1f ms, worst %.1f ms\n",
          static_cast<unsigned long long>(requests), stalls[stalls.size() / 2], stalls.back());
  }
  return 0;
}
