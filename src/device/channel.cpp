#include "device/channel.h"

#include <array>

#include "platform/win32_codes.h"

namespace veltra::device {

namespace pf = veltra::platform;

namespace {

constexpr char16_t kDriverFile64[] = u"ZRVC64.sys";
constexpr char16_t kDriverFile32[] = u"ZRVC.sys";

char16_t ToUpperAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? c - u'a' + u'A' : c;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// "VID_" / "PID_" followed by at least four characters: the hexadecimal digits among the next
// four, up to the first non-hex character, form the value.
bool ParseTaggedHex(std::u16string_view upper, std::u16string_view tag, uint16_t& value) {
  const size_t pos = upper.find(tag);
  if (pos == std::u16string_view::npos || upper.size() - pos < 8) return false;
  uint32_t v = 0;
  for (size_t i = pos + tag.size(); i < pos + tag.size() + 4; ++i) {
    const int digit = HexDigit(upper[i]);
    if (digit < 0) break;
    v = v << 4 | static_cast<uint32_t>(digit);
  }
  value = static_cast<uint16_t>(v);
  return true;
}

// The attach request carries the path as UTF-16LE with its terminating zero.
std::vector<uint8_t> PathBytes(const std::u16string& path) {
  std::vector<uint8_t> bytes;
  bytes.reserve((path.size() + 1) * 2);
  for (char16_t c : path) {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

}  // namespace

DeviceChannel::DeviceChannel(pf::Platform& platform) : platform_(platform) {}

DeviceChannel::~DeviceChannel() {
  KillPendingTimer();
  if (notification_ != 0) platform_.interfaces.UnregisterNotification(notification_);
}

int DeviceChannel::Is64BitWindows() {
  const pf::Wow64DirectoryQuery query = platform_.system.QueryWow64Directory();
  if (!query.functionPresent) return 0;
  if (query.succeeded) return 1;
  return query.error != pf::error::kCallNotImplemented ? 1 : 0;
}

int DeviceChannel::BuildDriverPath() {
  const std::optional<std::u16string> module = platform_.system.ModuleFileName();
  if (!module || module->empty() || module->size() >= kMaxDriverPath) return 0;
  const size_t slash = module->rfind(u'\\');
  if (slash == std::u16string::npos) return 0;
  std::u16string path = module->substr(0, slash + 1) + (is64Bit_ ? kDriverFile64 : kDriverFile32);
  if (path.size() >= kMaxDriverPath) return 0;
  driverPath_ = std::move(path);
  return 1;
}

namespace {

// Opens the driver's service; the manager handle is closed as soon as the service is open.
std::unique_ptr<pf::Service> OpenDriverService(pf::ServiceControl& services) {
  uint32_t error = 0;
  auto manager = services.OpenManager(pf::kScManagerAllAccess, error);
  if (!manager) return nullptr;
  return manager->OpenService(kServiceName, pf::kServiceAllAccess, error);
}

}  // namespace

int DeviceChannel::StopDriverService() {
  auto service = OpenDriverService(platform_.services);
  if (!service) return 0;
  return service->Control(pf::kServiceControlStop) == pf::error::kSuccess ? 1 : 0;
}

int DeviceChannel::RemoveDriverService() {
  StopDriverService();
  auto service = OpenDriverService(platform_.services);
  if (!service) return 0;
  size_t needed = 0;
  if (service->QueryConfig(0, nullptr, needed) != pf::error::kInsufficientBuffer) return 0;
  pf::ServiceConfig config;
  if (service->QueryConfig(needed, &config, needed) != pf::error::kSuccess) return 0;
  // A service that someone installed to start otherwise is not ours to delete.
  if (config.startType != pf::kServiceDemandStart) return 1;
  return service->Delete() == pf::error::kSuccess ? 1 : 0;
}

int DeviceChannel::InstallDriverService() {
  RemoveDriverService();
  uint32_t error = 0;
  auto manager = platform_.services.OpenManager(pf::kScManagerAllAccess, error);
  if (!manager) return 0;
  pf::ServiceConfig config;
  config.name = kServiceName;
  config.displayName = kServiceName;
  config.type = pf::kServiceKernelDriver;
  config.startType = pf::kServiceDemandStart;
  config.errorControl = pf::kServiceErrorNormal;
  config.binaryPath = driverPath_;
  return manager->CreateService(config, pf::kServiceAllAccess, error) != nullptr ? 1 : 0;
}

int DeviceChannel::StartDriverService() {
  auto service = OpenDriverService(platform_.services);
  if (!service) return 0;
  const uint32_t error = service->Start();
  return (error == pf::error::kSuccess || error == pf::error::kServiceAlreadyRunning) ? 1 : 0;
}

int DeviceChannel::OpenDriver() {
  matchedPath_.clear();
  is64Bit_ = Is64BitWindows() != 0;
  uint32_t error = 0;
  handle_ = platform_.driver.Open(kControlDevicePath, false, error);
  if (!handle_) {
    // Without a driver file path the service cannot start; that failure is the one reported.
    BuildDriverPath();
    if (!InstallDriverService() || !StartDriverService()) return 0;
    handle_ = platform_.driver.Open(kControlDevicePath, true, error);
    if (!handle_) {
      platform_.debug.Write("Driver Handle invalid!!");
      return 0;
    }
  }
  driverOpen_ = true;
  return 1;
}

int DeviceChannel::CloseDriver() {
  handle_.reset();
  const int removed = RemoveDriverService();
  driverOpen_ = false;
  return removed;
}

int DeviceChannel::ParseVidPid(std::u16string_view path, uint16_t& vid, uint16_t& pid) {
  std::u16string upper(path);
  for (char16_t& c : upper)
    c = ToUpperAscii(c);
  int found = 0;
  if (ParseTaggedHex(upper, u"VID_", vid)) found |= kFoundVid;
  if (ParseTaggedHex(upper, u"PID_", pid)) found |= kFoundPid;
  return found;
}

bool DeviceChannel::SendVendorRequest(pf::VendorPacket packet, std::span<uint8_t, 16> data) {
  if (!handle_) return false;
  packet.dataAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data.data()));
  const std::array<uint8_t, 16> bytes = pf::EncodeVendorPacket(packet);
  return handle_->IoControl(pf::kIoctlVendorRequest, bytes, {}, data);
}

bool DeviceChannel::SendAttach(const std::u16string& ntPath) {
  if (!handle_) return false;
  const std::vector<uint8_t> bytes = PathBytes(ntPath);
  return handle_->IoControl(pf::kIoctlAttach, bytes, {}, {});
}

bool DeviceChannel::SendDetach() {
  return handle_ != nullptr && handle_->IoControl(pf::kIoctlDetach, {}, {}, {});
}

int DeviceChannel::ProbeDevice() {
  if (!driverOpen_ || !attached_ || !handle_) return 0;
  std::array<uint8_t, 16> scratch{};
  pf::VendorPacket packet;
  packet.requestCode = pf::kRequestProbe;
  packet.index = 1;
  packet.length = 15;
  return SendVendorRequest(packet, scratch) ? 1 : 0;
}

bool SameInterfacePath(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (i == 1 && (x == u'?' || x == u'\\') && (y == u'?' || y == u'\\')) continue;
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

int DeviceChannel::FindAndProbeDevice(uint16_t vid, uint16_t pid, const pf::Guid& interfaceClass) {
  matchedPath_.clear();
  int answered = 0;
  for (const FoundDevice& device : ListDevices(vid, pid, interfaceClass)) {
    if (!device.answers) continue;
    matchedPath_ = device.path;
    matchedPath_[1] = u'?';
    if (answered < 255) ++answered;
  }
  return answered;
}

std::vector<DeviceChannel::FoundDevice> DeviceChannel::ListDevices(uint16_t vid, uint16_t pid,
                                                                   const pf::Guid& interfaceClass) {
  std::vector<FoundDevice> found;
  if (!handle_) return found;
  auto set = platform_.interfaces.GetPresentInterfaces(interfaceClass);
  if (!set) return found;
  for (uint32_t index = 0; set->EnumInterface(index); ++index) {
    const std::optional<std::u16string> path = set->InterfacePath(index);
    if (!path) break;
    // Paths that do not fit the 260-character buffers are skipped rather than cut.
    if (path->size() >= kMaxInterfacePath || path->size() < 2) continue;
    uint16_t foundVid = 0xFFFF;
    uint16_t foundPid = 0xFFFF;
    // Both tags must be present: a path without them must not match a typed FFFF.
    if (ParseVidPid(*path, foundVid, foundPid) != (kFoundVid | kFoundPid)) continue;
    if (foundVid != vid || foundPid != pid) continue;
    if (!pathFilter_.empty() && !SameInterfacePath(*path, pathFilter_)) continue;
    std::u16string ntPath = *path;
    ntPath[1] = u'?';
    FoundDevice device{*path, false};
    if (SendAttach(ntPath)) {
      std::array<uint8_t, 16> buffer{};
      pf::VendorPacket probe;
      probe.requestCode = pf::kRequestRead;
      probe.length = 16;
      device.answers = SendVendorRequest(probe, buffer);
    }
    SendDetach();
    found.push_back(std::move(device));
  }
  return found;
}

int DeviceChannel::ConnectDevice(uint16_t vid, uint16_t pid, pf::Window* ownerWindow,
                                 OwnerCallback ownerCallback, uint32_t arrivalMessage,
                                 uint32_t removalMessage) {
  if (!driverOpen_ || !handle_) return 0;
  const bool wasAttached = attached_;
  if (wasAttached) DetachDevice();
  monitoring_ = true;
  attached_ = false;
  targetVid_ = vid;
  targetPid_ = pid;
  ownerWindow_ = ownerWindow;
  ownerCallback_ = std::move(ownerCallback);
  arrivalMessage_ = arrivalMessage;
  removalMessage_ = removalMessage;

  if (ownerWindow_ != nullptr && ownerWindow_->IsWindow()) {
    if (notification_ != 0) platform_.interfaces.UnregisterNotification(notification_);
    notification_ = platform_.interfaces.RegisterNotification(*ownerWindow_, pf::kKsCategoryAudio);
  }

  if (FindAndProbeDevice(vid, pid, pf::kKsCategoryAudio) > 0) {
    SendAttach(matchedPath_);
    attached_ = true;
    if (!wasAttached) NotifyOwner(arrivalMessage_);
  } else if (wasAttached) {
    NotifyOwner(removalMessage_);
  }
  return attached_ ? 1 : 0;
}

int DeviceChannel::DetachDevice() {
  // A re-check still pending would re-attach the device the caller has just let go.
  KillPendingTimer();
  if (!handle_) return 0;
  monitoring_ = false;
  if (notification_ != 0) {
    platform_.interfaces.UnregisterNotification(notification_);
    notification_ = 0;
  }
  const bool detached = SendDetach();
  attached_ = false;
  return detached ? 1 : 0;
}

void DeviceChannel::NotifyOwner(uint32_t message) {
  if (message == 0) return;
  if (ownerWindow_ != nullptr && ownerWindow_->IsWindow()) {
    ownerWindow_->PostMessage(message, 0, 0);
  } else if (ownerCallback_) {
    // The owner may connect anew from inside and so replace the stored callback: run a copy.
    const OwnerCallback callback = ownerCallback_;
    callback(message, 0, 0);
  }
}

void DeviceChannel::KillPendingTimer() {
  if (timerId_ == 0) return;
  platform_.timers.KillTimer(timerId_);
  timerId_ = 0;
}

void DeviceChannel::Reconnect() {
  // ConnectDevice replaces the stored callback, so hand it a copy.
  OwnerCallback callback = ownerCallback_;
  ConnectDevice(targetVid_, targetPid_, ownerWindow_, std::move(callback), arrivalMessage_,
                removalMessage_);
}

void DeviceChannel::OnDeviceChange(uint32_t /*event*/, const pf::DeviceBroadcast* header) {
  if (!monitoring_) return;
  if (notification_ == 0) {
    KillPendingTimer();
    timerId_ = platform_.timers.SetTimer(kReconnectTimerId, kReconnectDelayMs,
                                         [this](pf::TimerId id) { ReconnectTimerProc(id); });
    return;
  }
  if (header == nullptr || header->deviceType != pf::kDbtDevtypDeviceInterface ||
      header->classGuid != pf::kKsCategoryAudio)
    return;
  if (!ProbeDevice()) Reconnect();
}

void DeviceChannel::ReconnectTimerProc(pf::TimerId id) {
  if (id == 0 || id != timerId_) return;
  if (!ProbeDevice()) Reconnect();
  KillPendingTimer();
}

}  // namespace veltra::device
