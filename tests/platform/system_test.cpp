// The simulated system as a whole: wiring, system information, debugger output, threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sim/sim_window.h"
#include "sim_test_client.h"

namespace veltra::sim {
namespace {

namespace pf = veltra::platform;

TEST(SimSystem, PlatformIsWiredToTheParts) {
  SimSystem system;
  pf::Platform& p = system.Platform();
  EXPECT_EQ(&p.services, &system.Services());
  EXPECT_EQ(&p.interfaces, &system.Interfaces());
  EXPECT_EQ(&p.driver, &system.Driver());
  EXPECT_EQ(&p.timers, &system.Timers());
  EXPECT_EQ(&p.clock, &system.Clock());
  EXPECT_EQ(&p.debug, &system.Debug());
  EXPECT_EQ(&p.system, &system.System());
  EXPECT_TRUE(system.Devices().empty());
  SimUsbDevice& device = system.AddDevice();
  EXPECT_EQ(system.Devices(), std::vector<SimUsbDevice*>{&device});
  EXPECT_TRUE(device.IsPlugged());
  EXPECT_EQ(device.Eeprom().Part(), EepromPart::k24C64);
}

TEST(SimSystemInfo, DefaultsToA64BitWindowsAndTheInstalledTool) {
  SimSystemInfo info;
  const pf::Wow64DirectoryQuery query = info.QueryWow64Directory();
  EXPECT_TRUE(query.functionPresent);
  EXPECT_TRUE(query.succeeded);
  EXPECT_EQ(info.ModuleFileName(), u"C:\\Program Files\\Veltra\\veltra-config.exe");
  info.SetWow64({true, false, pf::error::kCallNotImplemented});
  EXPECT_EQ(info.QueryWow64Directory().error, pf::error::kCallNotImplemented);
  info.SetModuleFileName(std::nullopt);
  EXPECT_FALSE(info.ModuleFileName());
}

TEST(CapturingDebugOutput, KeepsEveryLine) {
  CapturingDebugOutput debug;
  pf::DebugOutput& out = debug;
  out.Write("NACK!!");
  out.Write("Driver Handle invalid!!");
  out.Write("NACK!!");
  EXPECT_EQ(debug.Lines(),
            (std::vector<std::string>{"NACK!!", "Driver Handle invalid!!", "NACK!!"}));
  EXPECT_EQ(debug.Count("NACK!!"), 2u);
  EXPECT_EQ(debug.Count("invalid"), 1u);
  debug.Clear();
  EXPECT_TRUE(debug.Lines().empty());
}

TEST(SimWindow, RecordsPostsUntilDestroyed) {
  SimWindow window;
  EXPECT_TRUE(window.PostMessage(0x464, 0, 0));
  window.SetAlive(false);
  EXPECT_FALSE(window.IsWindow());
  EXPECT_FALSE(window.PostMessage(0x465, 0, 0));
  ASSERT_EQ(window.PostedMessages().size(), 1u);
  EXPECT_EQ(window.PostedMessages()[0].message, 0x464u);
}

// The tool's worker thread sends requests while the window thread probes and the user plugs
// the device in and out. Nothing may tear; every request either succeeds or fails cleanly.
TEST(SimSystem, RequestsRaceWithPlugAndProbe) {
  SimSystem system;
  SimUsbDevice& device = system.AddDevice();
  system.SetRequestLogEnabled(false);
  test::Client worker(system);
  test::Client window(system);
  ASSERT_TRUE(worker.Attach(device));
  SimWindow owner;
  system.Platform().interfaces.RegisterNotification(owner, pf::kKsCategoryAudio);

  std::atomic<bool> stop = false;
  std::atomic<int> succeeded = 0;
  std::thread transfer([&] {
    for (int i = 0; i < 3000 && !stop; ++i) {
      if (worker.Write(0x20, {static_cast<uint8_t>(i)})) ++succeeded;
      std::vector<uint8_t> out;
      worker.Read(0x20, 1, out);
      if (i % 50 == 0) worker.Attach(device);
    }
  });
  for (int i = 0; i < 200; ++i) {
    system.Unplug(device);
    window.Probe();
    system.Plug(device);
    window.Probe();
    (void)system.Driver().BoundDevice();
  }
  stop = true;
  transfer.join();
  EXPECT_GT(system.RequestCount(), 400u);
  EXPECT_EQ(owner.Notices().size(), 400u);  // the arrival at AddDevice came before registration
  EXPECT_GE(succeeded.load(), 0);
}

}  // namespace
}  // namespace veltra::sim
