#include "backend/simulated_units.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/file_replace.h"

namespace veltra::backend {

std::vector<SimulatedUnit> FindSimulatedUnits(const std::string& folder, std::string& error) {
  namespace fs = std::filesystem;
  std::vector<SimulatedUnit> units;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (path.extension() != ".bin" || !it->is_regular_file(ec)) continue;
    SimulatedUnit unit;
    unit.file = path.string();
    unit.nackWrites = path.filename().string().ends_with("-nack.bin");
    units.push_back(std::move(unit));
  }
  if (ec) {
    error = folder + ": " + ec.message();
    return {};
  }
  std::sort(units.begin(), units.end(),
            [](const SimulatedUnit& a, const SimulatedUnit& b) { return a.file < b.file; });
  for (size_t i = 0; i < units.size(); ++i) {
    char instance[32];
    std::snprintf(instance, sizeof instance, "7&1a2b3c4d&0&%04zx", i + 1);
    units[i].instance = instance;
  }
  return units;
}

std::string UnitOptions(const DeviceOptions& base, const SimulatedUnit& unit,
                        DeviceOptions& options) {
  options = base;
  options.simulated = true;
  options.imageFile = unit.file;
  options.instance = unit.instance;
  std::error_code ec;
  const auto size = std::filesystem::file_size(unit.file, ec);
  if (ec) return unit.file + ": " + ec.message();
  if (size == 0 && base.eeprom) {
    const std::vector<uint8_t> erased(base.eeprom->size, 0xFF);
    if (std::string problem = platform::ReplaceFile(unit.file, erased); !problem.empty()) {
      return unit.file + ": " + problem;
    }
  }
  return "";
}

}  // namespace veltra::backend
