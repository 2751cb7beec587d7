#pragma once

#include <cstdint>

namespace veltra::sim {

// How long things take on a simulated device, in virtual time unless said otherwise.
struct ChipTiming {
  int64_t requestCostNs = 250'000;   // every vendor request (a USB control transfer)
  uint32_t i2cBitRate = 400'000;     // I2C bits per second (9 per byte, 1 per START/STOP)
  int64_t writeCycleNs = 5'000'000;  // tWR: the EEPROM acknowledges nothing while it programs
  int64_t realLatencyNs = 0;         // real-time sleep per request, to watch a slow transfer
};

}  // namespace veltra::sim
