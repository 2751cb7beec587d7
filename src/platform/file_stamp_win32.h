#pragma once

#include <optional>

#include "platform/file_stamp.h"

namespace veltra::platform {

// The file behind an open Windows handle (a HANDLE); nullopt when it cannot be examined.
std::optional<FileStamp> StampOfHandle(void* handle);

}  // namespace veltra::platform
