#pragma once

#include <cstdint>

// Numeric values of the Windows system interfaces that the device channel talks to. They are
// kept as the system defines them so a Win32 back end passes them through unchanged and the
// simulated back end answers exactly as Windows would.
namespace veltra::platform {

namespace error {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kFileNotFound = 2;
inline constexpr uint32_t kAccessDenied = 5;
inline constexpr uint32_t kInvalidHandle = 6;
inline constexpr uint32_t kGenFailure = 31;
inline constexpr uint32_t kSharingViolation = 32;
inline constexpr uint32_t kInvalidParameter = 87;
inline constexpr uint32_t kCallNotImplemented = 120;
inline constexpr uint32_t kInsufficientBuffer = 122;
inline constexpr uint32_t kDeviceNotConnected = 1167;
inline constexpr uint32_t kServiceAlreadyRunning = 1056;
inline constexpr uint32_t kServiceDoesNotExist = 1060;
inline constexpr uint32_t kServiceNotActive = 1062;
inline constexpr uint32_t kServiceMarkedForDelete = 1072;
inline constexpr uint32_t kServiceExists = 1073;
}  // namespace error

inline constexpr uint32_t kScManagerAllAccess = 0xF003F;
inline constexpr uint32_t kServiceAllAccess = 0xF01FF;
inline constexpr uint32_t kServiceKernelDriver = 1;
inline constexpr uint32_t kServiceDemandStart = 3;
inline constexpr uint32_t kServiceErrorNormal = 1;
inline constexpr uint32_t kServiceControlStop = 1;

// Device-change notices (WM_DEVICECHANGE event codes and broadcast device types).
inline constexpr uint32_t kDbtDeviceArrival = 0x8000;
inline constexpr uint32_t kDbtDeviceRemoveComplete = 0x8004;
inline constexpr uint32_t kDbtDevNodesChanged = 0x0007;
inline constexpr uint32_t kDbtDevtypVolume = 2;
inline constexpr uint32_t kDbtDevtypPort = 3;
inline constexpr uint32_t kDbtDevtypDeviceInterface = 5;
inline constexpr uint32_t kDbtDevtypHandle = 6;

}  // namespace veltra::platform
