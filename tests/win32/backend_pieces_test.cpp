// The Win32 back end's smaller pieces on a real (Wine) system: the settings' registry values,
// the log file in the Windows Temp folder, thread timers and device-change notices.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/guid.h"
#include "platform/win32/registry_settings.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_log_file_store.h"
#include "platform/win32/win32_timers.h"
#include "platform/win32_codes.h"
#include "platform/window.h"
#include "platform/windows_api.h"

#include <dbt.h>

namespace veltra::win32 {
namespace {

namespace pf = veltra::platform;

constexpr wchar_t kTestKey[] = L"Software\\Stellan\\ConfigToolTest";
constexpr std::wstring_view kNames[] = {L"EnableLog", L"LogType"};

void RemoveTestKey() {
  ::RegDeleteKeyExW(HKEY_CURRENT_USER, kTestKey, KEY_WOW64_64KEY, 0);
}

TEST(RegistrySettings, MissingKeyIsCreatedEmptyAndValuesReadAsStored) {
  RemoveTestKey();
  auto values = ReadUserDwordValues(kTestKey, kNames);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_FALSE(values[0].has_value());
  EXPECT_FALSE(values[1].has_value());
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);

  const DWORD enable = 7;
  ASSERT_EQ(::RegSetValueExW(key, L"EnableLog", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&enable), sizeof enable),
            ERROR_SUCCESS);
  // More than 4 bytes: the query fails and the value keeps its default.
  const uint64_t wide = 0;
  ASSERT_EQ(::RegSetValueExW(key, L"LogType", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide),
                             sizeof wide),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
  values = ReadUserDwordValues(kTestKey, kNames);
  EXPECT_EQ(values[0], 7u);
  EXPECT_FALSE(values[1].has_value());
  RemoveTestKey();
}

TEST(Win32LogFileStore, PathIsInTheWindowsTempFolderAndBounded) {
  EXPECT_EQ(Win32LogFileStore::PathForWindowsDirectory("C:\\Windows"),
            "C:\\Windows\\Temp\\VeltraConfig.log");
  EXPECT_EQ(Win32LogFileStore::PathForWindowsDirectory(""), "");
  // 259 characters fit, 260 do not.
  const std::string tail = "\\Temp\\VeltraConfig.log";
  EXPECT_NE(Win32LogFileStore::PathForWindowsDirectory(std::string(259 - tail.size(), 'x')), "");
  EXPECT_EQ(Win32LogFileStore::PathForWindowsDirectory(std::string(260 - tail.size(), 'x')), "");
  wchar_t windows[MAX_PATH] = {};
  const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring expected = std::wstring(windows, length) + L"\\Temp\\VeltraConfig.log";
  EXPECT_EQ(Win32LogFileStore::DefaultPath(), std::string(expected.begin(), expected.end()));
}

TEST(Win32LogFileStore, RecordsAreAppendedWithWindowsLineEndsAndDeleted) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  std::wstring wide = std::wstring(temp) + L"veltra-log-test.log";
  const std::string path(wide.begin(), wide.end());
  Win32LogFileStore store(path);
  store.Delete();
  EXPECT_TRUE(store.Append("[3/7 9:5:41] one\n"));
  EXPECT_TRUE(store.Append("two\n"));
  std::ifstream in(path, std::ios::binary);
  const std::string contents{std::istreambuf_iterator<char>(in), {}};
  in.close();
  EXPECT_EQ(contents, "[3/7 9:5:41] one\r\ntwo\r\n");
  store.Delete();
  EXPECT_EQ(::GetFileAttributesW(wide.c_str()), INVALID_FILE_ATTRIBUTES);
  store.Delete();  // a missing file is no failure
}

// Runs this thread's message loop until done or the time has passed.
template <typename Done>
void PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(1)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageW(&message);
    ::Sleep(1);
  }
}

TEST(Win32Timers, ThreadTimerFiresFromTheMessageLoopWithItsIdUntilKilled) {
  Win32Timers timers;
  int fired = 0;
  pf::TimerId seen = 0;
  const pf::TimerId id = timers.SetTimer(786, 10, [&](pf::TimerId timer) {
    ++fired;
    seen = timer;
  });
  ASSERT_NE(id, 0u);
  PumpUntil([&] { return fired > 0; });
  EXPECT_GE(fired, 1);
  EXPECT_EQ(seen, id);
  EXPECT_TRUE(timers.KillTimer(id));
  const int before = fired;
  ::Sleep(30);
  PumpUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(fired, before);
}

TEST(Win32Clock, CountsUpInNanosecondsAndWaitsTillTheDeadline) {
  Win32Clock clock;
  const int64_t start = clock.NowNs();
  clock.WaitUntilNs(start + 2'000'000);
  EXPECT_GE(clock.NowNs(), start + 2'000'000);
}

class NoticeRecipient final : public pf::Window {
 public:
  bool IsWindow() const override { return true; }
  bool PostMessage(uint32_t, uintptr_t, intptr_t) override { return true; }
  void DeliverDeviceChange(uint32_t event, const pf::DeviceBroadcast* header) override {
    events.push_back(event);
    if (header != nullptr) headers.push_back(*header);
  }
  std::vector<uint32_t> events;
  std::vector<pf::DeviceBroadcast> headers;
};

// The system's WM_DEVICECHANGE, as it reaches the notice window, becomes a DeviceBroadcast for
// the registered recipient; the name ends where the record the sender sized ends.
TEST(Win32DeviceInterfaces, NoticesReachTheRecipientAsBroadcasts) {
  Win32DeviceInterfaces interfaces;
  NoticeRecipient recipient;
  const pf::NotificationHandle handle =
      interfaces.RegisterNotification(recipient, pf::kKsCategoryAudio);
  if (handle == 0) GTEST_SKIP() << "no device notices on this system";
  HWND window = ::FindWindowExW(HWND_MESSAGE, nullptr, L"VeltraConfigDeviceNotices", nullptr);
  ASSERT_NE(window, nullptr);

  struct {
    DEV_BROADCAST_DEVICEINTERFACE_W header;
    wchar_t rest[32];
  } notice{};
  const wchar_t name[] = L"\\\\?\\usb#vid_5a52&pid_7731";
  static_assert(sizeof name <= sizeof notice.header.dbcc_name + sizeof notice.rest);
  notice.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(&notice.header.dbcc_classguid, &pf::kKsCategoryAudio, sizeof(GUID));
  // Sized for the first 11 characters of the name only, and without a terminator.
  std::memcpy(notice.header.dbcc_name, name, sizeof name);
  notice.header.dbcc_size =
      offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + 11 * sizeof(wchar_t);
  ::SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&notice));
  ::SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);

  ASSERT_EQ(recipient.events,
            (std::vector<uint32_t>{pf::kDbtDeviceRemoveComplete, pf::kDbtDevNodesChanged}));
  ASSERT_EQ(recipient.headers.size(), 1u);
  EXPECT_EQ(recipient.headers[0].deviceType, pf::kDbtDevtypDeviceInterface);
  EXPECT_EQ(recipient.headers[0].classGuid, pf::kKsCategoryAudio);
  EXPECT_EQ(recipient.headers[0].name, u"\\\\?\\usb#vid");

  EXPECT_TRUE(interfaces.UnregisterNotification(handle));
  EXPECT_FALSE(interfaces.UnregisterNotification(handle));
  ::SendMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  EXPECT_EQ(recipient.events.size(), 2u);
}

}  // namespace
}  // namespace veltra::win32
