#include "platform/sim/default_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <vector>

#include "test_files.h"

namespace veltra::sim {
namespace {

using test_files::ReadFile;
using test_files::ScopedEnv;
using test_files::TempDir;
using test_files::WriteFile;

#ifdef _WIN32

TEST(DefaultDevice, DataDirectoryIsInTheLocalApplicationDataElseTheProfile) {
  const ScopedEnv profile("USERPROFILE", "C:\\Users\\someone");
  {
    const ScopedEnv local("LOCALAPPDATA", "D:\\Local");
    EXPECT_EQ(UserDataDirectory(), "D:\\Local\\veltra-config");
    EXPECT_EQ(DefaultImageFile(0x5A52, 0x7731, EepromPart::k24C64),
              "D:\\Local\\veltra-config\\sim-eeprom-5A52-7731-24C64.bin");
  }
  const ScopedEnv local("LOCALAPPDATA", nullptr);
  EXPECT_EQ(UserDataDirectory(), "C:\\Users\\someone\\AppData\\Local\\veltra-config");
}

#else

TEST(DefaultDevice, DataDirectoryFollowsXdgDataHomeElseHome) {
  const ScopedEnv home("HOME", "/home/someone");
  {
    const ScopedEnv xdg("XDG_DATA_HOME", "/data/here");
    EXPECT_EQ(UserDataDirectory(), "/data/here/veltra-config");
  }
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/dir"}) {
    const ScopedEnv xdg("XDG_DATA_HOME", ignored);
    EXPECT_EQ(UserDataDirectory(), "/home/someone/.local/share/veltra-config");
  }
}

TEST(DefaultDevice, ImageFileNameNamesTheDevice) {
  const ScopedEnv xdg("XDG_DATA_HOME", "/d");
  // The name the README gives, so the GUI and veltra-cli share the file.
  EXPECT_EQ(DefaultImageFile(0x5A52, 0x7731, EepromPart::k24C64),
            "/d/veltra-config/sim-eeprom-5A52-7731-24C64.bin");
  EXPECT_EQ(DefaultImageFile(0x00ab, 0x0001, EepromPart::k24C512),
            "/d/veltra-config/sim-eeprom-00AB-0001-24C512.bin");
}

#endif

TEST(DefaultDevice, MissingFileIsCreatedAndAnExistingOneKept) {
  TempDir dir;
  const std::string path = dir.File("a/b/eeprom.bin");
  int builds = 0;
  const ImageBuilder build = [&builds](uint32_t size) {
    ++builds;
    return std::optional<std::vector<uint8_t>>(std::vector<uint8_t>(size, 0x5A));
  };
  EXPECT_EQ(CreateMissingImageFile(path, EepromPart::k24C02, build), "");
  EXPECT_EQ(ReadFile(path), std::vector<uint8_t>(256, 0x5A));

  WriteFile(path, {1, 2, 3});
  EXPECT_EQ(CreateMissingImageFile(path, EepromPart::k24C02, build), "");
  EXPECT_EQ(ReadFile(path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(builds, 1);

  // No image for the part: it starts erased.
  const std::string erased = dir.File("erased.bin");
  EXPECT_EQ(CreateMissingImageFile(erased, EepromPart::k24C04,
                                   [](uint32_t) { return std::optional<std::vector<uint8_t>>(); }),
            "");
  EXPECT_EQ(ReadFile(erased), std::vector<uint8_t>(512, 0xFF));

  // A directory that cannot be made: the reason comes back and nothing is left.
  WriteFile(dir.File("plain"), {0});
  EXPECT_NE(CreateMissingImageFile(dir.File("plain/eeprom.bin"), EepromPart::k24C02, build), "");
}

}  // namespace
}  // namespace veltra::sim
