#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/device_interfaces.h"

// What a front end may ask of a simulated device, in the back end's own terms: the simulator's
// types stay behind the back end.
namespace veltra::backend {

// How long things take on a simulated device, in virtual time.
struct SimulatedTiming {
  int64_t requestCostNs = 250'000;   // every vendor request (a USB control transfer)
  uint32_t i2cBitRate = 400'000;     // I2C bits per second (9 per byte, 1 per START/STOP)
  int64_t writeCycleNs = 5'000'000;  // the EEPROM acknowledges nothing while it programs
};

// Faults a simulated device shows. Request numbers count every I/O control request on its
// driver, from 1.
struct SimulatedFaults {
  uint64_t failRequest = 0;    // fail the request with this number, to no effect (0: off)
  double failProbability = 0;  // fail vendor requests at random...
  uint64_t seed = 1;           // ...drawn from this seed: the same requests fail every run
  bool forceNack = false;      // the EEPROM acknowledges nothing
  bool stuckBusy = false;      // I2C commands never complete
  uint64_t unplugAfter = 0;    // unplug the device after this request (0: off)
  // From this request to the end of the EEPROM transfer under way (or of the next one): the
  // EEPROM acknowledges nothing / I2C commands never complete (0: off).
  uint64_t nackFrom = 0;
  uint64_t busyFrom = 0;
  // Write protection from this address on: the bytes written there are acknowledged and lost.
  std::optional<uint32_t> writeProtectFrom;
};

class SimulatedBackend;

// A simulated device: its cable, its notices, its faults and the file behind its EEPROM.
class SimulatedDevice {
 public:
  virtual ~SimulatedDevice() = default;

  // The cable, as the device panel and a production line without hardware pull it.
  virtual void Unplug() = 0;
  virtual void Plug() = 0;
  virtual bool IsPlugged() const = 0;
  // The device interfaces of the machine it is plugged into, whose notices announce its arrival
  // and removal, and its interface path there.
  virtual platform::DeviceInterfaces& Interfaces() = 0;
  virtual std::u16string InterfacePath() const = 0;

  virtual void SetFaults(const SimulatedFaults& faults) = 0;
  // From now on the EEPROM acknowledges nothing: a unit whose writes fail.
  virtual void ForceNack() = 0;

  // The EEPROM's file; "" when it lives in memory.
  virtual const std::string& ImageFile() const = 0;
  // Why the EEPROM's file could not be made, found or read at set-up ("<file>: <reason>"), or
  // "". The EEPROM then starts erased; when the file was refused, what is written to it is kept
  // in memory only and the file is left alone.
  virtual const std::string& FileProblem() const = 0;
  // Whether what is written reaches the file (false: memory only).
  virtual bool KeepsFile() const = 0;
  // The length of the file the EEPROM was filled from at set-up; nullopt when none was read.
  virtual std::optional<uint64_t> LoadedFileSize() const = 0;

  // The simulated machine itself, for the tests that reach into it. Its type is known only where
  // the back end's internals are linked.
  virtual SimulatedBackend& Machine() = 0;
};

}  // namespace veltra::backend
