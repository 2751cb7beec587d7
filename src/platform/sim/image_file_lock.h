#pragma once

#include "platform/folder_lock.h"

namespace veltra::sim {

// Keeps two tools (the GUI and veltra-cli, or two of either) that share one EEPROM image file
// from interleaving their transfers: each holds the lock of the image's folder from the start of
// a transfer, when it re-reads the file, to the end, when it writes it back.
using ImageFileLock = platform::FolderLock;

}  // namespace veltra::sim
