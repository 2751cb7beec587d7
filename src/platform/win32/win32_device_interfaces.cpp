#include "platform/win32/win32_device_interfaces.h"

// <windows.h> first: the other system headers build on its types.
#include "platform/windows_api.h"

#include <dbt.h>
#include <setupapi.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/windows_text.h"

namespace veltra::win32 {

namespace {

namespace pf = veltra::platform;

constexpr wchar_t kNoticeWindowClass[] = L"VeltraConfigDeviceNotices";

GUID ToGuid(const pf::Guid& guid) {
  GUID out{};
  out.Data1 = guid.data1;
  out.Data2 = guid.data2;
  out.Data3 = guid.data3;
  std::memcpy(out.Data4, guid.data4.data(), 8);
  return out;
}

pf::Guid FromGuid(const GUID& guid) {
  pf::Guid out;
  out.data1 = guid.Data1;
  out.data2 = guid.Data2;
  out.data3 = guid.Data3;
  std::memcpy(out.data4.data(), guid.Data4, 8);
  return out;
}

class Win32InterfaceSet final : public pf::DeviceInterfaceSet {
 public:
  Win32InterfaceSet(HDEVINFO set, const GUID& interfaceClass) : set_(set), class_(interfaceClass) {}
  ~Win32InterfaceSet() override { ::SetupDiDestroyDeviceInfoList(set_); }
  Win32InterfaceSet(const Win32InterfaceSet&) = delete;
  Win32InterfaceSet& operator=(const Win32InterfaceSet&) = delete;

  bool EnumInterface(uint32_t index) override {
    data_ = SP_DEVICE_INTERFACE_DATA{};
    data_.cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
    enumerated_ = ::SetupDiEnumDeviceInterfaces(set_, nullptr, &class_, index, &data_) != FALSE;
    index_ = index;
    return enumerated_;
  }

  std::optional<std::u16string> InterfacePath(uint32_t index) override {
    if (!enumerated_ || index != index_) return std::nullopt;
    DWORD required = 0;
    // The size query must fail (with ERROR_INSUFFICIENT_BUFFER): a success means no detail.
    if (::SetupDiGetDeviceInterfaceDetailW(set_, &data_, nullptr, 0, &required, nullptr))
      return std::nullopt;
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return std::nullopt;
    std::vector<uint8_t> buffer(required + sizeof(wchar_t));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!::SetupDiGetDeviceInterfaceDetailW(set_, &data_, detail, required, nullptr, nullptr))
      return std::nullopt;
    // The path ends at its terminator, and never beyond the buffer the system filled.
    const size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    const size_t capacity = (required - offset) / sizeof(wchar_t);
    const wchar_t* path = detail->DevicePath;
    size_t length = 0;
    while (length < capacity && path[length] != L'\0')
      ++length;
    return pf::FromWide(std::wstring_view(path, length));
  }

 private:
  HDEVINFO set_;
  GUID class_;
  SP_DEVICE_INTERFACE_DATA data_{};
  uint32_t index_ = 0;
  bool enumerated_ = false;
};

LRESULT CALLBACK NoticeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_DEVICECHANGE) {
    auto* owner =
        reinterpret_cast<Win32DeviceInterfaces*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner != nullptr)
      owner->OnDeviceChange(static_cast<uint32_t>(wParam), reinterpret_cast<const void*>(lParam));
    return TRUE;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

Win32DeviceInterfaces::Win32DeviceInterfaces() = default;

Win32DeviceInterfaces::~Win32DeviceInterfaces() {
  for (const auto& [handle, recipient] : recipients_)
    ::UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(handle));
  if (window_ != nullptr) ::DestroyWindow(static_cast<HWND>(window_));
}

std::unique_ptr<pf::DeviceInterfaceSet> Win32DeviceInterfaces::GetPresentInterfaces(
    const pf::Guid& interfaceClass) {
  const GUID guid = ToGuid(interfaceClass);
  HDEVINFO set =
      ::SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32InterfaceSet>(set, guid);
}

bool Win32DeviceInterfaces::EnsureWindow() {
  if (window_ != nullptr) return true;
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = NoticeWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kNoticeWindowClass;
  if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return false;
  window_ = ::CreateWindowExW(0, kNoticeWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              instance, this);
  return window_ != nullptr;
}

pf::NotificationHandle Win32DeviceInterfaces::RegisterNotification(pf::Window& recipient,
                                                                   const pf::Guid& interfaceClass) {
  if (!EnsureWindow()) return 0;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = ToGuid(interfaceClass);
  HDEVNOTIFY handle = ::RegisterDeviceNotificationW(static_cast<HWND>(window_), &filter,
                                                    DEVICE_NOTIFY_WINDOW_HANDLE);
  if (handle == nullptr) return 0;
  const auto id = reinterpret_cast<pf::NotificationHandle>(handle);
  recipients_[id] = &recipient;
  return id;
}

bool Win32DeviceInterfaces::UnregisterNotification(pf::NotificationHandle handle) {
  if (recipients_.erase(handle) == 0) return false;
  return ::UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(handle)) != FALSE;
}

bool Win32DeviceInterfaces::DeliverNotices(uint32_t timeoutMs) {
  // Sent messages (WM_DEVICECHANGE from the system) are delivered inside the wait and the peek.
  ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return true;
}

void Win32DeviceInterfaces::OnDeviceChange(uint32_t event, const void* header) {
  std::optional<pf::DeviceBroadcast> broadcast;
  if (header != nullptr) {
    const auto* common = static_cast<const DEV_BROADCAST_HDR*>(header);
    broadcast.emplace();
    broadcast->size = common->dbch_size;
    broadcast->deviceType = common->dbch_devicetype;
    if (common->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
        common->dbch_size >= offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) {
      const auto* device = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
      broadcast->classGuid = FromGuid(device->dbcc_classguid);
      // The name fills the rest of the record the system sized, up to its terminator.
      const size_t capacity =
          (common->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name)) /
          sizeof(wchar_t);
      size_t length = 0;
      while (length < capacity && device->dbcc_name[length] != L'\0')
        ++length;
      broadcast->name = pf::FromWide(std::wstring_view(device->dbcc_name, length));
    }
  }
  // A recipient may unregister from inside: deliver to a copy.
  const auto recipients = recipients_;
  for (const auto& [handle, recipient] : recipients)
    recipient->DeliverDeviceChange(event, broadcast ? &*broadcast : nullptr);
}

}  // namespace veltra::win32
