#pragma once

#include <cstdint>
#include <string>

#include "image/configuration.h"

namespace veltra::cli {

// Why a chip whose capability register (0xD9) reads capabilityRegister cannot take the
// template as it is, or "": the pages of such a chip would change it on their next store.
std::string TemplateVariantProblem(const image::Configuration& configuration,
                                   uint8_t capabilityRegister);

}  // namespace veltra::cli
