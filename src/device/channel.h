#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/vendor_packet.h"

namespace veltra::device {

inline constexpr char16_t kServiceName[] = u"ZR_VENDER_CMD";
inline constexpr char16_t kControlDevicePath[] = u"\\\\.\\ZR_VENDER_CMD";
inline constexpr platform::TimerId kReconnectTimerId = 786;
inline constexpr uint32_t kReconnectDelayMs = 2000;
// Interface paths are handled in buffers of this many UTF-16 characters (terminator included).
inline constexpr size_t kMaxInterfacePath = 260;
inline constexpr size_t kMaxDriverPath = 65536;

// Interface paths name the same device whatever their case and whether \\?\ or \??\ leads.
bool SameInterfacePath(std::u16string_view a, std::u16string_view b);

// Finds the chip among the audio device interfaces, binds the vendor driver to it and watches
// for it going away. One instance per process; it owns the driver handle that the vendor
// transport sends its requests through.
class DeviceChannel {
 public:
  using OwnerCallback = std::function<void(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

  explicit DeviceChannel(platform::Platform& platform);
  ~DeviceChannel();
  DeviceChannel(const DeviceChannel&) = delete;
  DeviceChannel& operator=(const DeviceChannel&) = delete;

  int OpenDriver();
  int CloseDriver();
  int ConnectDevice(uint16_t vid, uint16_t pid, platform::Window* ownerWindow,
                    OwnerCallback ownerCallback, uint32_t arrivalMessage, uint32_t removalMessage);
  int DetachDevice();
  void OnDeviceChange(uint32_t event, const platform::DeviceBroadcast* header);
  void ReconnectTimerProc(platform::TimerId id);

  // Liveness probe of the attached device (vendor request code 0).
  int ProbeDevice();
  // One vendor request through the driver handle; data is the 16-byte buffer the packet names.
  // Refused (false, nothing sent) without a handle. Callers check attachment themselves.
  bool SendVendorRequest(platform::VendorPacket packet, std::span<uint8_t, 16> data);

  // Values found in the path overwrite vid/pid; values not found stay as preset. Returns which
  // of the two were found (kFoundVid | kFoundPid).
  static constexpr int kFoundVid = 1;
  static constexpr int kFoundPid = 2;
  static int ParseVidPid(std::u16string_view path, uint16_t& vid, uint16_t& pid);
  int FindAndProbeDevice(uint16_t vid, uint16_t pid, const platform::Guid& interfaceClass);

  // One device of the VID/PID as the enumeration found it: its interface path (the Windows form,
  // \\?\...) and whether it answered the attach probe.
  struct FoundDevice {
    std::u16string path;
    bool answers = false;
  };
  // Every present device of the VID/PID, each attached, probed and detached as
  // FindAndProbeDevice does; the channel is left detached.
  std::vector<FoundDevice> ListDevices(uint16_t vid, uint16_t pid,
                                       const platform::Guid& interfaceClass);
  // Only the device of this interface path (either form, any case) is found from now on; empty:
  // every device of the VID/PID, the last that answered kept.
  void SetPathFilter(std::u16string path) { pathFilter_ = std::move(path); }

  int Is64BitWindows();
  int BuildDriverPath();
  int InstallDriverService();
  int StartDriverService();
  int StopDriverService();
  int RemoveDriverService();

  bool HasDriverHandle() const { return handle_ != nullptr; }
  bool IsDriverOpen() const { return driverOpen_; }
  bool IsAttached() const { return attached_; }
  bool IsMonitoring() const { return monitoring_; }
  bool HasNotification() const { return notification_ != 0; }
  platform::TimerId PendingTimer() const { return timerId_; }
  const std::u16string& MatchedDevicePath() const { return matchedPath_; }
  const std::u16string& DriverPath() const { return driverPath_; }
  platform::Clock& Clock() { return platform_.clock; }
  platform::DebugOutput& Debug() { return platform_.debug; }

 private:
  bool SendAttach(const std::u16string& ntPath);
  bool SendDetach();
  void NotifyOwner(uint32_t message);
  void KillPendingTimer();
  void Reconnect();

  platform::Platform& platform_;
  std::unique_ptr<platform::ControlDevice> handle_;
  bool driverOpen_ = false;
  bool is64Bit_ = false;
  bool attached_ = false;
  bool monitoring_ = false;
  uint16_t targetVid_ = 0;
  uint16_t targetPid_ = 0;
  platform::Window* ownerWindow_ = nullptr;
  OwnerCallback ownerCallback_;
  uint32_t arrivalMessage_ = 0;
  uint32_t removalMessage_ = 0;
  platform::NotificationHandle notification_ = 0;
  platform::TimerId timerId_ = 0;
  std::u16string matchedPath_;
  std::u16string pathFilter_;
  std::u16string driverPath_;
};

}  // namespace veltra::device
