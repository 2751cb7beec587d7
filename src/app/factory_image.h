#pragma once

// The factory image is pure image work and lives in the image library, shared with veltra-cli.
// This name stays for code that still includes it from here.
#include "image/factory_image.h"

namespace veltra::app {
using image::BuildFactoryImage;
}  // namespace veltra::app
