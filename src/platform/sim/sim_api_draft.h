// Draft of the public API of the simulated back end. The sim helper turns this into real
// headers (one responsibility per file) and deletes this draft; names and semantics stay.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/vendor_packet.h"

namespace veltra::sim {

// ---- time ------------------------------------------------------------------------------------
// Virtual nanoseconds. Advance() moves it; WaitUntilNs() jumps to the deadline. Optional:
// FollowRealTime (virtual time never lags the steady clock since construction: a person's pause
// counts) and Pacing (Advance sleeps so that real time keeps up with virtual time).
class SimClock;  // : platform::Clock { NowNs, WaitUntilNs, Advance(int64_t ns), SetFollowRealTime(bool), SetPacing(bool) }

// ---- EEPROM ----------------------------------------------------------------------------------
enum class EepromPart { k24C02, k24C04, k24C08, k24C16, k24C32, k24C64, k24C128, k24C256, k24C512 };
struct EepromPartInfo {
  const char* name;       // "24C02"
  uint32_t size;          // bytes
  uint32_t pageSize;      // 8, 16, 32, 64, 128
  int addressBytes;       // 1 or 2
  uint8_t deviceAddress;  // 0xA0, or 0xA8 for 2-byte parts (A2..A0 strapped to 100)
};
const EepromPartInfo& PartInfo(EepromPart part);
std::optional<EepromPart> PartFromSize(uint32_t size);
std::optional<EepromPart> PartFromName(std::string_view name);  // "24C64", "S24C64", case-insensitive

// ---- chip configuration ----------------------------------------------------------------------
struct ChipTiming {
  int64_t requestCostNs = 250'000;  // virtual time every vendor request takes
  uint32_t i2cBitRate = 400'000;    // bits per second on the I2C bus (9 bits per byte + start/stop)
  int64_t writeCycleNs = 5'000'000; // tWR: EEPROM does not acknowledge while it programs
  int64_t realLatencyNs = 0;        // extra real-time sleep per request (watchable slow transfer)
};

struct DeviceConfig {
  uint16_t vid = 0x5A52;
  uint16_t pid = 0x7731;
  EepromPart part = EepromPart::k24C64;
  uint8_t capability = 0x34;        // register 0xD9
  std::string instance = "7&1a2b3c4d&0&0000";  // goes into the interface path
  std::string backingFile;          // empty: contents live in memory only (erased, all 0xFF)
  ChipTiming timing;
};

// ---- request log -----------------------------------------------------------------------------
struct RequestRecord {
  uint64_t sequence = 0;          // 1-based count of I/O control requests on the driver
  uint32_t ioctl = 0;             // kIoctlAttach / kIoctlDetach / kIoctlVendorRequest / other
  platform::VendorPacket packet;  // decoded, vendor requests only
  std::vector<uint8_t> data;      // write: the bytes written (length); read: the bytes returned
  std::u16string path;            // attach: the path as received (without terminator)
  size_t inputBytes = 0;          // size of the input buffer as handed over
  bool result = false;
  int64_t timeNs = 0;             // virtual time when it completed
};

// ---- faults ----------------------------------------------------------------------------------
struct Faults {
  uint64_t failRequest = 0;       // fail the vendor request with this sequence number (0: off)
  double failProbability = 0;     // fail vendor requests at random...
  uint64_t seed = 1;              // ...with this seed
  bool forceNack = false;         // the EEPROM acknowledges nothing
  bool stuckBusy = false;         // I2C commands never complete (status bit 7 stays set)
  uint64_t unplugAfter = 0;       // unplug the bound device after this request sequence number
};

// ---- the whole simulated system --------------------------------------------------------------
// class SimChip: registers (Register(i), SetRegister), capability, EEPROM access (Eeprom()),
//   EqWrites(): every write to 0x40..0x4A and 0x70..0x77 in order as (register, value) pairs.
// class SimEeprom: Part(), Contents() (std::vector<uint8_t>&), Write cycle state, file backing
//   (LoadFromFile / written through after every completed write cycle).
// class SimUsbDevice: Config(), InterfacePath() (u16), Chip(), IsPlugged().
//
// class SimSystem {
//  public:
//   explicit SimSystem(std::u16string modulePath = u"C:\\Program Files\\Veltra\\veltra-config.exe");
//   platform::Platform& Platform();
//   SimUsbDevice& AddDevice(const DeviceConfig&);          // plugged in, notices sent
//   void Unplug(SimUsbDevice&); void Plug(SimUsbDevice&);  // DBT_DEVICEREMOVECOMPLETE / ARRIVAL
//   SimClock& Clock();  SimServiceControl& Services();  SimDriver& Driver();
//   SimDeviceInterfaces& Interfaces();  SimTimers& Timers();  CapturingDebugOutput& Debug();
//   SimSystemInfo& System();
//   const std::vector<RequestRecord>& RequestLog() const; void ClearRequestLog();
//   void SetRequestLogEnabled(bool);  uint64_t RequestCount() const;
//   Faults& Faults();
//   void RunDueTimers();   // fire thread timers whose time has come on the virtual clock
// };

}  // namespace veltra::sim
