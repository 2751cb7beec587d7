#pragma once

#include <cstdint>

namespace veltra::app {

// Background operation codes, in the order the main window's commands start them.
enum OperationCode : int {
  kSaveImage = 0,
  kReadImage = 1,
  kErase = 2,
  kDumpToFile = 3,
  kLoadFromFile = 4,
  kNoOperation = 5,
};

// The window messages of the hand-overs between the threads. They travel as blocking calls on
// the GUI thread; the numbers name them in the code and in the diagnostic output.
inline constexpr uint32_t kStartOperationMessage = 0x410;
inline constexpr uint32_t kReadDoneMessage = 0x411;
inline constexpr uint32_t kDeviceArrivalMessage = 0x464;
inline constexpr uint32_t kDeviceRemovalMessage = 0x465;

// The main window's flags that the operations read and write. Plain values without a lock: the
// thread hand-overs order every access (the window is disabled while an operation runs).
struct OperationState {
  int operationCode = kNoOperation;
  int signalOnFinish = 1;
  uint32_t transferLength = 0;  // EEPROM size less one; 0 until a type is chosen
  int connected = 0;
  int readOk = 0;
};

}  // namespace veltra::app
