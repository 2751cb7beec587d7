#include "platform/sim/sim_chip.h"

#include <algorithm>

namespace veltra::sim {

namespace {

constexpr uint8_t kMasterEnable = 0x80;
constexpr uint8_t kStatusNack = 0x01;
constexpr size_t kDataRegisters = 16;

bool IsI2cCommand(uint8_t value) {
  return value == 0x90 || value == 0xB0 || value == 0x9A || value == 0xBA;
}

}  // namespace

SimChip::SimChip(platform::Clock& clock, EepromPart part, uint8_t capability,
                 const ChipTiming& timing)
    : clock_(clock), timing_(timing), capability_(capability), eeprom_(part, timing.writeCycleNs) {
  PowerOn();
}

void SimChip::PowerOn() {
  regs_.fill(0);
  regs_[kRegI2cCommand] = kPowerOnCommand;
  regs_[kRegCapability] = capability_;
  running_ = false;
  busFreeAtNs_ = std::numeric_limits<int64_t>::min();
  transferNack_ = transferBusy_ = false;
  eeprom_.PowerCycle();
}

void SimChip::SetCapability(uint8_t value) {
  capability_ = value;
  regs_[kRegCapability] = value;
}

void SimChip::WriteRegisters(uint8_t first, std::span<const uint8_t> data) {
  const int64_t now = clock_.NowNs();
  Settle(now);
  for (size_t i = 0; i < data.size(); ++i)
    WriteOne(static_cast<uint8_t>(first + i), data[i], now);
}

void SimChip::ReadRegisters(uint8_t first, std::span<uint8_t> out) {
  Settle(clock_.NowNs());
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = regs_[static_cast<uint8_t>(first + i)];
}

uint8_t SimChip::Register(uint8_t index) {
  Settle(clock_.NowNs());
  return regs_[index];
}

bool SimChip::I2cBusy() {
  Settle(clock_.NowNs());
  return running_;
}

void SimChip::WriteOne(uint8_t reg, uint8_t value, int64_t now) {
  if (reg == kRegCapability) return;  // read-only
  if (IsEqRegister(reg)) eqWrites_.emplace_back(reg, value);
  regs_[reg] = value;
  if (reg == kRegI2cCommand) {
    running_ = false;
    if (IsI2cCommand(value) && (regs_[kRegI2cEnable] & kMasterEnable)) StartCommand(value, now);
  } else if (reg == kRegI2cEnable) {
    // The transport enables the master for each EEPROM transfer and disables it after: the
    // bounds within which a file-backed image is current and kept from other tools.
    if (value & kMasterEnable) {
      eeprom_.BeginTransfer();
    } else {
      transferNack_ = transferBusy_ = false;
      eeprom_.EndTransfer();
    }
  }
}

void SimChip::StartCommand(uint8_t command, int64_t now) {
  ++transactions_;
  running_ = true;
  if (stuckBusy_ || transferBusy_) {
    endNs_ = std::numeric_limits<int64_t>::max();
    return;
  }
  const int64_t start = std::max(now, busFreeAtNs_);
  BusResult result = RunOnBus(command, start);
  const int64_t bitRate = timing_.i2cBitRate;
  endNs_ = start + (bitRate > 0 ? (result.bits * 1'000'000'000LL + bitRate - 1) / bitRate : 0);
  busFreeAtNs_ = endNs_;
  finalStatus_ = static_cast<uint8_t>((command & 0x7F) | (result.nack ? kStatusNack : 0));
  readData_ = std::move(result.data);
}

SimChip::BusResult SimChip::RunOnBus(uint8_t command, int64_t start) {
  const bool twoByteAddress = command & 0x20;
  const bool read = command & 0x08;
  const size_t count = std::min<size_t>(regs_[kRegI2cByteCount], kDataRegisters);
  const int64_t bitRate = timing_.i2cBitRate;
  BusResult result;
  auto now = [&] { return bitRate > 0 ? start + result.bits * 1'000'000'000LL / bitRate : start; };
  auto send = [&](uint8_t byte) {
    const bool ack = !Nacking() && eeprom_.WriteByte(byte, now());
    result.bits += 9;
    result.nack = !ack;
    return ack;
  };
  auto startCondition = [&] {
    if (!Nacking()) eeprom_.Start(now());
    result.bits += 1;
  };

  startCondition();
  bool ok = send(regs_[kRegI2cDeviceAddress] & 0xFE);
  if (ok && twoByteAddress) ok = send(regs_[kRegI2cWordAddressHigh]);
  if (ok) ok = send(regs_[kRegI2cWordAddressLow]);
  if (ok && !read) {
    for (size_t i = 0; i < count && ok; ++i)
      ok = send(regs_[kRegI2cData + i]);
  }
  if (ok && read) {
    startCondition();  // repeated START
    ok = send(regs_[kRegI2cDeviceAddress] | 1);
    for (size_t i = 0; i < count && ok; ++i) {
      result.data.push_back(eeprom_.ReadByte(now()));
      result.bits += 9;  // 8 data bits and the master's ACK (NACK after the last)
    }
  }
  if (!Nacking()) eeprom_.Stop(now());
  result.bits += 1;
  if (result.nack) result.data.clear();
  return result;
}

void SimChip::Settle(int64_t now) {
  if (!running_ || now < endNs_) return;
  running_ = false;
  regs_[kRegI2cCommand] = finalStatus_;
  std::copy(readData_.begin(), readData_.end(), regs_.begin() + kRegI2cData);
}

}  // namespace veltra::sim
