// The GUI's log as the system's settings ask for it, opened by veltra-cli: the registry key's
// two values, and records appended to the log file in the Windows Temp folder. The test runs in
// a throwaway Wine prefix: it writes the tool's own key and log file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "backend/stored_log.h"
#include "platform/win32/win32_log_file_store.h"
#include "platform/windows_api.h"

namespace veltra::backend {
namespace {

constexpr wchar_t kKey[] = L"Software\\Stellan\\ConfigTool";

void SetValues(DWORD enableLog, DWORD logType) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  for (const auto& [name, value] : {std::pair{L"EnableLog", enableLog}, {L"LogType", logType}}) {
    ASSERT_EQ(::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                               sizeof value),
              ERROR_SUCCESS);
  }
  ::RegCloseKey(key);
}

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

TEST(StoredLog, FollowsTheRegistryAndAppendsToTheGuisLogFile) {
  SetValues(0, 1);
  EXPECT_EQ(SystemLogSettings(), (log::LogSettings{false, log::LogType::kFile}));
  EXPECT_EQ(OpenStoredLog(), nullptr);

  SetValues(1, 1);
  EXPECT_EQ(SystemLogSettings(), (log::LogSettings{true, log::LogType::kFile}));
  win32::Win32LogFileStore file(win32::Win32LogFileStore::DefaultPath());
  file.Delete();
  ASSERT_TRUE(file.Append("the GUI's record\n"));
  {
    const std::unique_ptr<StoredLog> stored = OpenStoredLog();
    ASSERT_NE(stored, nullptr);
    stored->Log().LogPrintf("%s", "PlayBackEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(0067C891)\n");
  }
  const std::string contents = Contents(file.Path());
  EXPECT_EQ(contents.rfind("the GUI's record\r\n[", 0), 0u) << contents;
  EXPECT_NE(contents.find("] PlayBackEQ Band(1) A21(3F2F0C0F) A31(E0CF9124) S(0067C891)\r\n"),
            std::string::npos)
      << contents;
  file.Delete();
  SetValues(0, 1);
}

}  // namespace
}  // namespace veltra::backend
