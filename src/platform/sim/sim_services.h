#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_control.h"

namespace veltra::sim {

struct ServiceState {
  platform::ServiceConfig config;
  bool running = false;
  bool markedForDelete = false;
};

// The service control manager of the simulated Windows, answering with its error codes:
// create (kServiceExists; kServiceMarkedForDelete while a deleted service is still running),
// open (kServiceDoesNotExist), start (kServiceAlreadyRunning; kFileNotFound when the binary is
// not among the existing driver binaries; kServiceMarkedForDelete), stop (kServiceNotActive),
// delete (a running service is marked for delete and goes when it stops; kServiceMarkedForDelete
// when already marked) and the two-call config query (kInsufficientBuffer, with the size a
// 32-bit QueryServiceConfigW would ask for). Names and paths compare without regard to case.
// A handle whose service has gone answers kServiceMarkedForDelete. Fault switches make a call
// answer a chosen error (0 = off). Managers and service handles must not outlive this object.
// Thread-safe (the simulator's mutex).
class SimServiceControl final : public platform::ServiceControl {
 public:
  explicit SimServiceControl(std::mutex& mutex) : mutex_(mutex) {}
  ~SimServiceControl() override;

  std::unique_ptr<platform::ServiceManager> OpenManager(uint32_t access, uint32_t& error) override;

  std::optional<ServiceState> Find(std::u16string_view name) const;
  size_t ServiceCount() const;
  // Puts a service in place as if someone had installed it (replacing one of the same name).
  void Install(const platform::ServiceConfig& config, bool running = false);

  // The files that exist on the simulated disk for StartService to load.
  void AddDriverBinary(std::u16string_view path);
  void RemoveDriverBinary(std::u16string_view path);
  bool HasDriverBinary(std::u16string_view path) const;

  void SetOpenManagerError(uint32_t error);
  void SetCreateError(uint32_t error);
  void SetStartError(uint32_t error);

 private:
  friend class SimDriver;
  struct Record;
  class Manager;
  class Handle;

  // The caller holds the mutex. Non-zero while the service runs, new at every start.
  uint64_t RunGenerationLocked(std::u16string_view name) const;
  std::shared_ptr<Record> FindLocked(std::u16string_view name) const;
  void RemoveLocked(const std::shared_ptr<Record>& record);
  bool HasDriverBinaryLocked(std::u16string_view path) const;

  std::mutex& mutex_;
  std::vector<std::shared_ptr<Record>> services_;
  std::vector<std::u16string> binaries_;
  uint32_t openManagerError_ = 0;
  uint32_t createError_ = 0;
  uint32_t startError_ = 0;
  uint64_t nextGeneration_ = 1;
};

}  // namespace veltra::sim
