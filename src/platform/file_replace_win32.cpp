#include "platform/windows_api.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <system_error>
#include <vector>

#include "platform/file_replace.h"
#include "platform/process_identity.h"
#include "platform/text.h"
#include "platform/windows_text.h"

namespace veltra::platform {

namespace {

constexpr char kTemporaryMark[] = ".veltra-tmp.";
constexpr size_t kMaxBaseInTemporaryName = 200;

std::string Reason(int error) {
  return std::generic_category().message(error != 0 ? error : EIO);
}

std::string LastErrorReason() {
  return WindowsErrorReason(::GetLastError());
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

size_t LastSeparator(const std::string& path) {
  return path.find_last_of("\\/");
}

std::string Directory(const std::string& path) {
  const size_t slash = LastSeparator(path);
  if (slash == std::string::npos) return ".";
  // "C:\x" keeps the root's separator: "C:\".
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string Join(const std::string& directory, const std::string& name) {
  if (!directory.empty() && IsSeparator(directory.back())) return directory + name;
  return directory + "\\" + name;
}

std::string BaseName(const std::string& path) {
  const size_t slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string TemporaryPrefix(const std::string& target) {
  return "." + BaseName(target).substr(0, kMaxBaseInTemporaryName) + kTemporaryMark;
}

// ".<name>.veltra-tmp.<pid>.<start>.<n>"
std::string TemporaryName(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  return Join(Directory(target), TemporaryPrefix(target)) + OwnProcessTag() + "." +
         std::to_string(counter++);
}

// Whether the writer a temporary's name records ("<pid>.<n>", or "<pid>.<start>.<n>") is gone.
// This process's own are in use; a writer still running may be about to rename its file.
bool WriterIsGone(std::string_view rest) {
  const size_t counter = rest.rfind('.');
  return counter != std::string_view::npos && ProcessHasEnded(rest.substr(0, counter));
}

std::string WriteAll(HANDLE handle, std::span<const uint8_t> bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data() + done, chunk, &written, nullptr))
      return LastErrorReason();
    if (written == 0) return Reason(EIO);
    done += written;
  }
  return {};
}

bool IsPipeName(const std::string& path) {
  return path.size() > 9 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
         (path[2] == '.' || path[2] == '?') && IsSeparator(path[3]) &&
         EqualsIgnoreAsciiCase(std::string_view(path).substr(4, 5), "pipe\\");
}

// What a path names now: nothing, a disk file or folder (with its attributes), or a device.
struct PathKind {
  enum class Kind { kMissing, kDisk, kDevice, kError } kind = Kind::kError;
  DWORD attributes = 0;
  DWORD error = 0;
};

PathKind Examine(const std::wstring& path) {
  PathKind result;
  // Opened for its attributes only, so devices answer too (NUL and CON have no file attributes).
  HANDLE handle = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    result.error = ::GetLastError();
    result.kind =
        result.error == ERROR_FILE_NOT_FOUND ? PathKind::Kind::kMissing : PathKind::Kind::kError;
    return result;
  }
  const DWORD type = ::GetFileType(handle);
  if (type == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(handle, &info)) {
      result.kind = PathKind::Kind::kDisk;
      result.attributes = info.dwFileAttributes;
    } else {
      result.error = ::GetLastError();
    }
  } else {
    result.kind = PathKind::Kind::kDevice;
  }
  ::CloseHandle(handle);
  return result;
}

}  // namespace

std::string FinalName(const std::string& path, int& error) {
  const std::wstring wide = WideText(path);
  const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    error = ENOENT;
    return {};
  }
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD length = ::GetFullPathNameW(wide.c_str(), needed + 1, buffer.data(), nullptr);
  if (length == 0 || length > needed) {
    error = ENOENT;
    return {};
  }
  return Utf8FromWide(std::wstring_view(buffer.data(), length));
}

std::string FollowLinks(const std::string& path, std::string& problem) {
  int error = 0;
  std::string name = FinalName(path, error);
  if (name.empty()) problem = Reason(error);
  return name;
}

void RemoveStaleTemporaries(const std::string& path) {
  int error = 0;
  const std::string target = FinalName(path, error);
  if (target.empty()) return;
  const std::string directory = Directory(target);
  const std::string prefix = TemporaryPrefix(target);
  WIN32_FIND_DATAW entry{};
  HANDLE find = ::FindFirstFileW(WideText(Join(directory, prefix) + "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::string> stale;
  do {
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
      continue;
    const std::string name = Utf8FromWide(entry.cFileName);
    if (!name.starts_with(prefix)) continue;
    if (!WriterIsGone(std::string_view(name).substr(prefix.size()))) continue;
    stale.push_back(name);
  } while (::FindNextFileW(find, &entry));
  ::FindClose(find);
  for (const std::string& name : stale)
    ::DeleteFileW(WideText(Join(directory, name)).c_str());
}

FileReplacement::FileReplacement() = default;

FileReplacement::~FileReplacement() {
  Discard();
}

std::string FileReplacement::Open(const std::string& path, Streams streams) {
  Discard();
  // A pipe is never opened just to look at it: that would take one of its instances.
  const std::wstring wide = WideText(path);
  const PathKind found = IsPipeName(path) ? PathKind{PathKind::Kind::kDevice} : Examine(wide);
  switch (found.kind) {
    case PathKind::Kind::kError:
      return WindowsErrorReason(found.error);
    case PathKind::Kind::kDevice: {
      if (streams != Streams::kWriteThrough) return kNotRegularFile;
      HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return LastErrorReason();
      handle_ = handle;
      kind_ = Kind::kStream;
      return {};
    }
    case PathKind::Kind::kMissing:
      existed_ = false;
      attributes_ = FILE_ATTRIBUTE_NORMAL;
      break;
    case PathKind::Kind::kDisk:
      if ((found.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Reason(EISDIR);
      // A read-only file was made so on purpose.
      if ((found.attributes & FILE_ATTRIBUTE_READONLY) != 0) return Reason(EACCES);
      existed_ = true;
      attributes_ =
          found.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                              FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
      if (attributes_ == 0) attributes_ = FILE_ATTRIBUTE_NORMAL;
      break;
  }
  int error = 0;
  target_ = FinalName(path, error);
  if (target_.empty()) return Reason(error);
  RemoveStaleTemporaries(target_);
  return OpenTemporary();
}

std::string FileReplacement::OpenTemporary() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName(target_);
    HANDLE handle =
        ::CreateFileW(WideText(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      handle_ = handle;
      temporary_ = std::move(name);
      kind_ = Kind::kNamed;
      return {};
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
      return WindowsErrorReason(error);
  }
  return Reason(EEXIST);
}

std::string FileReplacement::Commit(std::span<const uint8_t> bytes) {
  if (kind_ == Kind::kNone) return Reason(EBADF);
  const std::string problem =
      kind_ == Kind::kStream ? CommitStream(bytes) : CommitReplacement(bytes);
  Discard();
  return problem;
}

std::string FileReplacement::CommitStream(std::span<const uint8_t> bytes) {
  std::string problem = WriteAll(static_cast<HANDLE>(handle_), bytes);
  HANDLE handle = static_cast<HANDLE>(handle_);
  handle_ = nullptr;
  kind_ = Kind::kNone;
  if (!::CloseHandle(handle) && problem.empty()) problem = LastErrorReason();
  return problem;
}

std::string FileReplacement::CommitReplacement(std::span<const uint8_t> bytes) {
  HANDLE handle = static_cast<HANDLE>(handle_);
  if (std::string problem = WriteAll(handle, bytes); !problem.empty()) return problem;
  if (!::FlushFileBuffers(handle)) return LastErrorReason();
  handle_ = nullptr;
  if (!::CloseHandle(handle)) return LastErrorReason();
  const std::wstring temporary = WideText(temporary_);
  // The new file takes the target's attributes (a new one none): it must not stay hidden.
  if (!::SetFileAttributesW(temporary.c_str(), attributes_)) return LastErrorReason();
  if (!::MoveFileExW(temporary.c_str(), WideText(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastErrorReason();
  temporary_.clear();
  kind_ = Kind::kNone;
  return {};
}

void FileReplacement::Discard() {
  if (handle_ != nullptr) ::CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  if (!temporary_.empty()) ::DeleteFileW(WideText(temporary_).c_str());
  temporary_.clear();
  kind_ = Kind::kNone;
}

std::string ReplaceFile(const std::string& path, std::span<const uint8_t> bytes) {
  FileReplacement replacement;
  if (std::string problem = replacement.Open(path); !problem.empty()) return problem;
  return replacement.Commit(bytes);
}

}  // namespace veltra::platform
