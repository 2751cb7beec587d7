#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The service control manager as the device channel uses it. Every call answers with a
// Windows error code (0 = success) so the channel's decisions read as they would on Windows.
namespace veltra::platform {

struct ServiceConfig {
  std::u16string name;
  std::u16string displayName;
  uint32_t type = 0;
  uint32_t startType = 0;
  uint32_t errorControl = 0;
  std::u16string binaryPath;
};

class Service {
 public:
  virtual ~Service() = default;
  virtual uint32_t Start() = 0;
  virtual uint32_t Control(uint32_t control) = 0;
  // Fills *out when bufferBytes suffices; otherwise answers kInsufficientBuffer and sets
  // bytesNeeded (the two-call pattern of QueryServiceConfigW).
  virtual uint32_t QueryConfig(size_t bufferBytes, ServiceConfig* out, size_t& bytesNeeded) = 0;
  virtual uint32_t Delete() = 0;
};

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  virtual std::unique_ptr<Service> OpenService(const std::u16string& name, uint32_t access,
                                               uint32_t& error) = 0;
  virtual std::unique_ptr<Service> CreateService(const ServiceConfig& config, uint32_t access,
                                                 uint32_t& error) = 0;
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  virtual std::unique_ptr<ServiceManager> OpenManager(uint32_t access, uint32_t& error) = 0;
};

}  // namespace veltra::platform
