// Fault injection: deterministic failures, NACK, stuck bus, unplug mid-transfer.
#include <gtest/gtest.h>

#include "platform/sim/sim_window.h"
#include "sim_test_client.h"

namespace veltra::sim {
namespace {

namespace pf = veltra::platform;

class FaultsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(client_.Attach(device_)); }

  SimSystem system_;
  SimUsbDevice& device_ = system_.AddDevice();
  test::Client client_{system_};
};

TEST_F(FaultsTest, FailsTheRequestWithTheGivenSequenceNumber) {
  system_.Faults().failRequest = system_.RequestCount() + 2;
  EXPECT_TRUE(client_.Write(0x10, {1}));
  EXPECT_FALSE(client_.Write(0x11, {2}));
  EXPECT_TRUE(client_.Write(0x12, {3}));
  EXPECT_EQ(device_.Chip().Register(0x11), 0);  // a failed request does not reach the chip
  EXPECT_EQ(device_.Chip().Register(0x12), 3);
  const RequestRecord failed = system_.RequestLog()[system_.RequestLog().size() - 2];
  EXPECT_FALSE(failed.result);
  EXPECT_EQ(failed.data, std::vector<uint8_t>{2});
}

TEST_F(FaultsTest, AFailedAttachOrDetachChangesNoBinding) {
  system_.Faults().failRequest = system_.RequestCount() + 1;
  EXPECT_FALSE(client_.Detach());
  EXPECT_TRUE(client_.Probe());  // still bound
  ASSERT_TRUE(client_.Detach());
  system_.Faults().failRequest = system_.RequestCount() + 1;
  EXPECT_FALSE(client_.Attach(device_));
  EXPECT_FALSE(client_.Probe());  // still unbound
  EXPECT_TRUE(client_.Attach(device_));
  EXPECT_TRUE(client_.Probe());
}

std::vector<bool> RandomPattern(uint64_t seed) {
  SimSystem system;
  SimUsbDevice& device = system.AddDevice();
  test::Client client(system);
  EXPECT_TRUE(client.Attach(device));
  Faults faults;
  faults.failProbability = 0.3;
  faults.seed = seed;
  system.SetFaults(faults);
  std::vector<bool> pattern;
  for (int i = 0; i < 400; ++i)
    pattern.push_back(client.Probe());
  return pattern;
}

TEST(RandomFaults, TheSameSeedFailsTheSameRequests) {
  const std::vector<bool> a = RandomPattern(42);
  EXPECT_EQ(a, RandomPattern(42));
  EXPECT_NE(a, RandomPattern(43));
  const auto failures = std::count(a.begin(), a.end(), false);
  EXPECT_GT(failures, 80);
  EXPECT_LT(failures, 160);
}

TEST_F(FaultsTest, SetFaultsRestartsTheRandomSequence) {
  Faults faults;
  faults.failProbability = 0.5;
  faults.seed = 7;
  system_.SetFaults(faults);
  std::vector<bool> first, second;
  for (int i = 0; i < 64; ++i)
    first.push_back(client_.Probe());
  system_.SetFaults(faults);
  for (int i = 0; i < 64; ++i)
    second.push_back(client_.Probe());
  EXPECT_EQ(first, second);
}

TEST_F(FaultsTest, ForceNack) {
  system_.Faults().forceNack = true;
  ASSERT_TRUE(client_.SetMasterEnable(true));
  ASSERT_TRUE(client_.Command(0xB0, 0xA8, 0, {1}));
  EXPECT_EQ(client_.WaitStatus(), 0x31);
  EXPECT_EQ(device_.Eeprom().Contents()[0], 0xFF);
  system_.Faults().forceNack = false;
  ASSERT_TRUE(client_.Command(0xB0, 0xA8, 0, {1}));
  EXPECT_EQ(client_.WaitStatus(), 0x30);
}

TEST_F(FaultsTest, StuckBusy) {
  system_.Faults().stuckBusy = true;
  ASSERT_TRUE(client_.SetMasterEnable(true));
  ASSERT_TRUE(client_.Command(0xBA, 0xA9, 0, {}, 16));
  system_.Clock().Advance(10'000'000'000);
  EXPECT_EQ(client_.Register(0x94), 0xBA);
  system_.Faults().stuckBusy = false;
  EXPECT_EQ(client_.Register(0x94), 0xBA);  // that command never ends
  ASSERT_TRUE(client_.Command(0xBA, 0xA9, 0, {}, 16));
  EXPECT_EQ(client_.WaitStatus(), 0x3A);
}

// From its request on, a NACK or busy fault holds until the I2C master is disabled at the end of
// the transfer; the next transfer finds the EEPROM answering again.
TEST_F(FaultsTest, NackAndBusyFromARequestLastUntilTheMasterIsDisabled) {
  for (const bool nack : {true, false}) {
    SCOPED_TRACE(nack ? "NACK" : "busy");
    const uint16_t address = nack ? 1 : 2;
    ASSERT_TRUE(client_.SetMasterEnable(true));
    system_.Clock().Advance(10'000'000);  // past any write cycle
    ASSERT_TRUE(client_.Command(0xB0, 0xA8, 0, {1}));
    EXPECT_EQ(client_.WaitStatus(), 0x30);
    Faults faults;
    // The third request of the next command is the one that starts it.
    (nack ? faults.nackFrom : faults.busyFrom) = system_.RequestCount() + 3;
    system_.SetFaults(faults);
    for (int command = 0; command < 2; ++command) {
      system_.Clock().Advance(10'000'000);
      ASSERT_TRUE(client_.Command(0xB0, 0xA8, address, {7}));
      EXPECT_EQ(client_.WaitStatus(), nack ? 0x31 : 0xB0);
    }
    EXPECT_EQ(device_.Eeprom().Contents()[address], 0xFF);
    ASSERT_TRUE(client_.SetMasterEnable(false));
    ASSERT_TRUE(client_.SetMasterEnable(true));
    system_.Clock().Advance(10'000'000);
    ASSERT_TRUE(client_.Command(0xB0, 0xA8, address, {7}));
    EXPECT_EQ(client_.WaitStatus(), 0x30);
    EXPECT_EQ(device_.Eeprom().Contents()[address], 7);
    ASSERT_TRUE(client_.SetMasterEnable(false));
  }
}

TEST_F(FaultsTest, UnplugAfterTheGivenRequest) {
  SimWindow window;
  system_.Platform().interfaces.RegisterNotification(window, pf::kKsCategoryAudio);
  system_.Faults().unplugAfter = system_.RequestCount() + 2;
  EXPECT_TRUE(client_.Probe());
  EXPECT_TRUE(device_.IsPlugged());
  EXPECT_TRUE(client_.Probe());  // completes, then the device goes
  EXPECT_FALSE(device_.IsPlugged());
  EXPECT_FALSE(client_.Probe());
  ASSERT_EQ(window.Notices().size(), 1u);
  EXPECT_EQ(window.Notices()[0].event, pf::kDbtDeviceRemoveComplete);
}

}  // namespace
}  // namespace veltra::sim
