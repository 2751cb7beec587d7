#pragma once

#include "platform/service_control.h"

namespace veltra::win32 {

// The service control manager (OpenSCManagerW, OpenServiceW, CreateServiceW, StartServiceW,
// ControlService, QueryServiceConfigW, DeleteService). Every answer is the Windows error code,
// 0 on success; handles are closed when their objects go.
class Win32ServiceControl final : public platform::ServiceControl {
 public:
  std::unique_ptr<platform::ServiceManager> OpenManager(uint32_t access, uint32_t& error) override;
};

}  // namespace veltra::win32
