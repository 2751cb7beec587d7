#include "platform/windows_api.h"

#include <cstdio>
#include <future>
#include <thread>

#include "platform/file_replace.h"
#include "platform/folder_lock.h"
#include "platform/windows_text.h"

namespace veltra::platform {

namespace {

// Mutex names may not hold a backslash after the namespace: the folder's name is hashed.
std::wstring MutexName(const std::string& folder) {
  std::wstring upper = WideText(folder);
  for (wchar_t& c : upper)
    c = static_cast<wchar_t>(::towupper(c));
  while (upper.size() > 3 && (upper.back() == L'\\' || upper.back() == L'/'))
    upper.pop_back();
  uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (const wchar_t c : upper) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 1099511628211ULL;
  }
  wchar_t name[64];
  std::swprintf(name, 64, L"Local\\veltra-config-image-folder-%016llx",
                static_cast<unsigned long long>(hash));
  return name;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) return ".";
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

}  // namespace

// A mutex belongs to the thread that took it: this thread takes it, keeps it until Release
// signals, and gives it back itself.
class FolderLock::Holder {
 public:
  Holder() = default;
  ~Holder() {
    if (thread_.joinable()) {
      ::SetEvent(release_);
      thread_.join();
    }
    if (release_ != nullptr) ::CloseHandle(release_);
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;

  // "" when held, else why not.
  std::string Take(const std::wstring& name, std::chrono::milliseconds timeout) {
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (release_ == nullptr) return WindowsErrorReason(::GetLastError());
    std::promise<std::string> taken;
    std::future<std::string> outcome = taken.get_future();
    thread_ = std::thread([this, name, timeout, taken = std::move(taken)]() mutable {
      HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
      if (mutex == nullptr) {
        taken.set_value(WindowsErrorReason(::GetLastError()));
        return;
      }
      const DWORD waited = ::WaitForSingleObject(mutex, static_cast<DWORD>(timeout.count()));
      // An abandoned mutex was a killed holder's: it is this thread's now.
      if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(mutex);
        taken.set_value(waited == WAIT_TIMEOUT ? std::string("timeout")
                                               : WindowsErrorReason(::GetLastError()));
        return;
      }
      taken.set_value({});
      ::WaitForSingleObject(release_, INFINITE);
      ::ReleaseMutex(mutex);
      ::CloseHandle(mutex);
    });
    return outcome.get();
  }

 private:
  HANDLE release_ = nullptr;
  std::thread thread_;
};

FolderLock::FolderLock() = default;

FolderLock::~FolderLock() {
  Release();
}

bool FolderLock::Held() const {
  return holder_ != nullptr;
}

std::string FolderLock::Acquire(const std::string& filePath, std::chrono::milliseconds timeout) {
  if (Held()) return {};
  std::string problem;
  const std::string target = FollowLinks(filePath, problem);
  if (target.empty()) return problem;
  auto holder = std::make_unique<Holder>();
  problem = holder->Take(MutexName(FolderOf(target)), timeout);
  if (problem.empty()) {
    holder_ = std::move(holder);
    return {};
  }
  if (problem != "timeout") return problem;
  const auto seconds = std::chrono::duration_cast<std::chrono::duration<double>>(timeout).count();
  char waited[32];
  std::snprintf(waited, sizeof waited, "%g", seconds);
  return std::string("another program is using it (waited ") + waited + " s)";
}

void FolderLock::Release() {
  holder_.reset();
}

}  // namespace veltra::platform
