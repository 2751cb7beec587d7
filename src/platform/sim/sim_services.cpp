#include "platform/sim/sim_services.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/win32_codes.h"

namespace veltra::sim {

namespace err = platform::error;

struct SimServiceControl::Record {
  platform::ServiceConfig config;
  bool running = false;
  bool marked = false;
  bool gone = false;
  uint64_t generation = 0;
};

namespace {

// QUERY_SERVICE_CONFIGW of a 32-bit process: nine 4-byte fields, then the strings (binary
// path, load order group, dependencies as a double-terminated list, start name, display name).
size_t QueryConfigBytes(const platform::ServiceConfig& c) {
  return 36 + 2 * ((c.binaryPath.size() + 1) + 1 + 2 + 1 + (c.displayName.size() + 1));
}

}  // namespace

class SimServiceControl::Handle final : public platform::Service {
 public:
  Handle(SimServiceControl& owner, std::shared_ptr<Record> record)
      : owner_(owner), record_(std::move(record)) {}

  uint32_t Start() override {
    std::lock_guard lock(owner_.mutex_);
    Record& r = *record_;
    if (r.gone || r.marked) return err::kServiceMarkedForDelete;
    if (r.running) return err::kServiceAlreadyRunning;
    if (owner_.startError_ != 0) return owner_.startError_;
    if (!owner_.HasDriverBinaryLocked(r.config.binaryPath)) return err::kFileNotFound;
    r.running = true;
    r.generation = owner_.nextGeneration_++;
    return err::kSuccess;
  }

  uint32_t Control(uint32_t control) override {
    std::lock_guard lock(owner_.mutex_);
    Record& r = *record_;
    if (r.gone) return err::kServiceMarkedForDelete;
    if (control != platform::kServiceControlStop) return err::kInvalidParameter;
    if (!r.running) return err::kServiceNotActive;
    r.running = false;
    r.generation = 0;
    if (r.marked) owner_.RemoveLocked(record_);
    return err::kSuccess;
  }

  uint32_t QueryConfig(size_t bufferBytes, platform::ServiceConfig* out,
                       size_t& bytesNeeded) override {
    std::lock_guard lock(owner_.mutex_);
    if (record_->gone) return err::kServiceMarkedForDelete;
    bytesNeeded = QueryConfigBytes(record_->config);
    if (bufferBytes < bytesNeeded) return err::kInsufficientBuffer;
    if (out == nullptr) return err::kInvalidParameter;
    *out = record_->config;
    return err::kSuccess;
  }

  uint32_t Delete() override {
    std::lock_guard lock(owner_.mutex_);
    Record& r = *record_;
    if (r.gone || r.marked) return err::kServiceMarkedForDelete;
    if (r.running) {
      r.marked = true;
    } else {
      owner_.RemoveLocked(record_);
    }
    return err::kSuccess;
  }

 private:
  SimServiceControl& owner_;
  std::shared_ptr<Record> record_;
};

class SimServiceControl::Manager final : public platform::ServiceManager {
 public:
  explicit Manager(SimServiceControl& owner) : owner_(owner) {}

  std::unique_ptr<platform::Service> OpenService(const std::u16string& name, uint32_t /*access*/,
                                                 uint32_t& error) override {
    std::lock_guard lock(owner_.mutex_);
    std::shared_ptr<Record> record = owner_.FindLocked(name);
    if (!record) {
      error = err::kServiceDoesNotExist;
      return nullptr;
    }
    error = err::kSuccess;
    return std::make_unique<Handle>(owner_, std::move(record));
  }

  std::unique_ptr<platform::Service> CreateService(const platform::ServiceConfig& config,
                                                   uint32_t /*access*/, uint32_t& error) override {
    std::lock_guard lock(owner_.mutex_);
    if (owner_.createError_ != 0) {
      error = owner_.createError_;
    } else if (config.name.empty()) {
      error = err::kInvalidParameter;
    } else if (auto existing = owner_.FindLocked(config.name)) {
      error = existing->marked ? err::kServiceMarkedForDelete : err::kServiceExists;
    } else {
      auto record = std::make_shared<Record>();
      record->config = config;
      owner_.services_.push_back(record);
      error = err::kSuccess;
      return std::make_unique<Handle>(owner_, std::move(record));
    }
    return nullptr;
  }

 private:
  SimServiceControl& owner_;
};

SimServiceControl::~SimServiceControl() = default;

std::unique_ptr<platform::ServiceManager> SimServiceControl::OpenManager(uint32_t /*access*/,
                                                                         uint32_t& error) {
  std::lock_guard lock(mutex_);
  error = openManagerError_;
  if (error != err::kSuccess) return nullptr;
  return std::make_unique<Manager>(*this);
}

std::optional<ServiceState> SimServiceControl::Find(std::u16string_view name) const {
  std::lock_guard lock(mutex_);
  const std::shared_ptr<Record> record = FindLocked(name);
  if (!record) return std::nullopt;
  return ServiceState{record->config, record->running, record->marked};
}

size_t SimServiceControl::ServiceCount() const {
  std::lock_guard lock(mutex_);
  return services_.size();
}

void SimServiceControl::Install(const platform::ServiceConfig& config, bool running) {
  std::lock_guard lock(mutex_);
  if (auto existing = FindLocked(config.name)) RemoveLocked(existing);
  auto record = std::make_shared<Record>();
  record->config = config;
  record->running = running;
  record->generation = running ? nextGeneration_++ : 0;
  services_.push_back(std::move(record));
}

void SimServiceControl::AddDriverBinary(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  if (!HasDriverBinaryLocked(path)) binaries_.emplace_back(path);
}

void SimServiceControl::RemoveDriverBinary(std::u16string_view path) {
  std::lock_guard lock(mutex_);
  std::erase_if(binaries_,
                [&](const std::u16string& p) { return platform::EqualsIgnoreAsciiCase(p, path); });
}

bool SimServiceControl::HasDriverBinary(std::u16string_view path) const {
  std::lock_guard lock(mutex_);
  return HasDriverBinaryLocked(path);
}

void SimServiceControl::SetOpenManagerError(uint32_t error) {
  std::lock_guard lock(mutex_);
  openManagerError_ = error;
}

void SimServiceControl::SetCreateError(uint32_t error) {
  std::lock_guard lock(mutex_);
  createError_ = error;
}

void SimServiceControl::SetStartError(uint32_t error) {
  std::lock_guard lock(mutex_);
  startError_ = error;
}

uint64_t SimServiceControl::RunGenerationLocked(std::u16string_view name) const {
  const std::shared_ptr<Record> record = FindLocked(name);
  return record && record->running ? record->generation : 0;
}

std::shared_ptr<SimServiceControl::Record> SimServiceControl::FindLocked(
    std::u16string_view name) const {
  for (const auto& record : services_) {
    if (platform::EqualsIgnoreAsciiCase(record->config.name, name)) return record;
  }
  return nullptr;
}

void SimServiceControl::RemoveLocked(const std::shared_ptr<Record>& record) {
  record->gone = true;
  std::erase(services_, record);
}

bool SimServiceControl::HasDriverBinaryLocked(std::u16string_view path) const {
  return std::any_of(binaries_.begin(), binaries_.end(), [&](const std::u16string& p) {
    return platform::EqualsIgnoreAsciiCase(p, path);
  });
}

}  // namespace veltra::sim
