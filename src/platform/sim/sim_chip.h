#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/sim/chip_timing.h"
#include "platform/sim/sim_eeprom.h"

namespace veltra::sim {

// A Veltra chip as its vendor requests see it: 256 one-byte registers, an I2C master in
// 0x80..0x95 wired to a 24Cxx EEPROM, the capability register 0xD9 (read-only) and the
// equaliser registers, whose writes are recorded in order. Plain storage everywhere else.
//
// I2C master: writing one of the commands 0x90 / 0xB0 (write, 1- / 2-byte word address) or
// 0x9A / 0xBA (read) to 0x94 runs it when bit 7 of 0x95 is set; otherwise, like any other value
// (0x50 idle included), it is just stored and read back. The master sends START, the device
// address byte from 0x80 (R/W bit 0), the word address (0x82 then 0x81 for 2-byte commands,
// 0x81 only for 1-byte ones), then for a write the 0x93 data bytes from 0x83 (at most 16), for
// a read a repeated START, 0x80 | 1 and 0x93 bytes read into 0x83..; it stops at the first
// NACK. The EEPROM interprets the stream with its own addressing. The transaction starts when
// the request that wrote the command completes (or when the bus is free) and lasts bits /
// i2cBitRate; meanwhile 0x94 reads back the command (busy, bit 7), afterwards command & 0x7F,
// with bit 0 set on NACK; read data appears in 0x83.. at the end. Writing 0x94 while a command
// runs drops its report (the bus traffic itself has happened). Setting bit 7 of 0x95 begins an
// EEPROM transfer, clearing it ends it (SimEeprom::BeginTransfer / EndTransfer). Not thread-safe:
// the owner locks.
class SimChip {
 public:
  static constexpr uint8_t kRegI2cDeviceAddress = 0x80;
  static constexpr uint8_t kRegI2cWordAddressLow = 0x81;
  static constexpr uint8_t kRegI2cWordAddressHigh = 0x82;
  static constexpr uint8_t kRegI2cData = 0x83;
  static constexpr uint8_t kRegI2cByteCount = 0x93;
  static constexpr uint8_t kRegI2cCommand = 0x94;
  static constexpr uint8_t kRegI2cEnable = 0x95;
  static constexpr uint8_t kRegCapability = 0xD9;
  static constexpr uint8_t kPowerOnCommand = 0x50;  // 0x94 after power-on: idle
  static bool IsEqRegister(uint8_t reg) {
    return (reg >= 0x40 && reg <= 0x4A) || (reg >= 0x70 && reg <= 0x77);
  }

  // The clock gives the time of each register access (the driver advances it per request).
  SimChip(platform::Clock& clock, EepromPart part, uint8_t capability, const ChipTiming& timing);

  // Register requests; registers past 0xFF wrap to 0x00 (the driver refuses such requests).
  void WriteRegisters(uint8_t first, std::span<const uint8_t> data);
  void ReadRegisters(uint8_t first, std::span<uint8_t> out);
  // What a one-byte read would return now (without recording anything).
  uint8_t Register(uint8_t index);
  // Sets a register without side effects: no command starts, nothing is recorded.
  void SetRegister(uint8_t index, uint8_t value) { regs_[index] = value; }

  // Every write to 0x40..0x4A and 0x70..0x77, in order, as (register, value).
  const std::vector<std::pair<uint8_t, uint8_t>>& EqWrites() const { return eqWrites_; }
  void ClearEqWrites() { eqWrites_.clear(); }

  SimEeprom& Eeprom() { return eeprom_; }
  const ChipTiming& Timing() const { return timing_; }
  uint8_t Capability() const { return capability_; }
  void SetCapability(uint8_t value);

  // Registers back to their power-on values (0, 0x94 = 0x50, 0xD9 = capability), master idle,
  // EEPROM bus state reset. The EQ write record is kept.
  void PowerOn();

  // Faults: the EEPROM answers nothing; commands never finish (0x94 stays busy).
  void SetForceNack(bool on) { forceNack_ = on; }
  void SetStuckBusy(bool on) { stuckBusy_ = on; }
  // The same faults until the I2C master is next disabled (or the chip powers up).
  void NackUntilMasterDisabled() { transferNack_ = true; }
  void BusyUntilMasterDisabled() { transferBusy_ = true; }
  void SetWriteProtectFrom(std::optional<uint32_t> address) {
    eeprom_.SetWriteProtectFrom(address);
  }

  // Whether a command is running now; how many commands have started.
  bool I2cBusy();
  uint64_t I2cTransactions() const { return transactions_; }

 private:
  struct BusResult {
    int bits = 0;
    bool nack = false;
    std::vector<uint8_t> data;
  };

  void WriteOne(uint8_t reg, uint8_t value, int64_t now);
  void StartCommand(uint8_t command, int64_t now);
  BusResult RunOnBus(uint8_t command, int64_t start);
  void Settle(int64_t now);

  platform::Clock& clock_;
  ChipTiming timing_;
  uint8_t capability_;
  SimEeprom eeprom_;
  std::array<uint8_t, 256> regs_{};
  std::vector<std::pair<uint8_t, uint8_t>> eqWrites_;
  bool Nacking() const { return forceNack_ || transferNack_; }

  bool forceNack_ = false;
  bool stuckBusy_ = false;
  bool transferNack_ = false;
  bool transferBusy_ = false;

  bool running_ = false;
  int64_t endNs_ = 0;
  int64_t busFreeAtNs_ = std::numeric_limits<int64_t>::min();
  uint8_t finalStatus_ = 0;
  std::vector<uint8_t> readData_;
  uint64_t transactions_ = 0;
};

}  // namespace veltra::sim
