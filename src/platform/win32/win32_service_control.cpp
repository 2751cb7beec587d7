#include "platform/win32/win32_service_control.h"

#include <vector>

#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace veltra::win32 {

namespace {

namespace pf = veltra::platform;

uint32_t ResultOf(BOOL ok) {
  return ok ? ERROR_SUCCESS : ::GetLastError();
}

std::u16string TextOf(const wchar_t* text) {
  return text == nullptr ? std::u16string() : pf::FromWide(text);
}

class Win32Service final : public pf::Service {
 public:
  explicit Win32Service(SC_HANDLE handle) : handle_(handle) {}
  ~Win32Service() override { ::CloseServiceHandle(handle_); }
  Win32Service(const Win32Service&) = delete;
  Win32Service& operator=(const Win32Service&) = delete;

  uint32_t Start() override { return ResultOf(::StartServiceW(handle_, 0, nullptr)); }

  uint32_t Control(uint32_t control) override {
    SERVICE_STATUS status{};
    return ResultOf(::ControlService(handle_, control, &status));
  }

  uint32_t QueryConfig(size_t bufferBytes, pf::ServiceConfig* out, size_t& bytesNeeded) override {
    // QUERY_SERVICE_CONFIGW holds pointers: the buffer is aligned for them.
    std::vector<uint64_t> buffer((bufferBytes + sizeof(uint64_t) - 1) / sizeof(uint64_t));
    auto* config =
        buffer.empty() ? nullptr : reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    const uint32_t result =
        ResultOf(::QueryServiceConfigW(handle_, config, static_cast<DWORD>(bufferBytes), &needed));
    bytesNeeded = needed;
    if (result == ERROR_SUCCESS && config != nullptr && out != nullptr) {
      out->name.clear();
      out->displayName = TextOf(config->lpDisplayName);
      out->type = config->dwServiceType;
      out->startType = config->dwStartType;
      out->errorControl = config->dwErrorControl;
      out->binaryPath = TextOf(config->lpBinaryPathName);
    }
    return result;
  }

  uint32_t Delete() override { return ResultOf(::DeleteService(handle_)); }

 private:
  SC_HANDLE handle_;
};

class Win32ServiceManager final : public pf::ServiceManager {
 public:
  explicit Win32ServiceManager(SC_HANDLE handle) : handle_(handle) {}
  ~Win32ServiceManager() override { ::CloseServiceHandle(handle_); }
  Win32ServiceManager(const Win32ServiceManager&) = delete;
  Win32ServiceManager& operator=(const Win32ServiceManager&) = delete;

  std::unique_ptr<pf::Service> OpenService(const std::u16string& name, uint32_t access,
                                           uint32_t& error) override {
    SC_HANDLE service = ::OpenServiceW(handle_, pf::WideText(name).c_str(), access);
    if (service == nullptr) {
      error = ::GetLastError();
      return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<Win32Service>(service);
  }

  std::unique_ptr<pf::Service> CreateService(const pf::ServiceConfig& config, uint32_t access,
                                             uint32_t& error) override {
    const std::wstring name = pf::WideText(config.name);
    const std::wstring displayName = pf::WideText(config.displayName);
    const std::wstring binaryPath = pf::WideText(config.binaryPath);
    SC_HANDLE service = ::CreateServiceW(
        handle_, name.c_str(), displayName.c_str(), access, config.type, config.startType,
        config.errorControl, binaryPath.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (service == nullptr) {
      error = ::GetLastError();
      return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<Win32Service>(service);
  }

 private:
  SC_HANDLE handle_;
};

}  // namespace

std::unique_ptr<pf::ServiceManager> Win32ServiceControl::OpenManager(uint32_t access,
                                                                     uint32_t& error) {
  SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, access);
  if (manager == nullptr) {
    error = ::GetLastError();
    return nullptr;
  }
  error = ERROR_SUCCESS;
  return std::make_unique<Win32ServiceManager>(manager);
}

}  // namespace veltra::win32
